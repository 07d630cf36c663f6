#pragma once

// Opens an Outlook data file for the PST library. One implementation per operating system,
// picked by the build: platform/posix/posix_byte_source.cpp on POSIX systems.

#include <memory>
#include <string>

#include "pst/byte_source.h"

namespace tarnvex::pst::store {

// The file at `path`, open for reading. Throws Failure "Cannot open the Outlook data file
// "PATH": ..." when there is no such file, it cannot be opened, or it is a folder or another
// thing that is not a file.
std::shared_ptr<const ByteSource> OpenDataFile(const std::string& path);

}  // namespace tarnvex::pst::store
