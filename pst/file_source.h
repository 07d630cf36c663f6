#pragma once

// Opening a data file by its path: the one place where the library meets the file system. The
// library declares it and does not define it; each platform's build links one definition, picked
// in CMake (platform/posix/posix_byte_source.cpp, platform/win32/win32_byte_source.cpp).

#include <memory>
#include <string>

#include "pst/byte_source.h"

namespace tarnvex::pst {

// The file at `path`, open for reading. Throws (the platform's failure type) "Cannot open the
// Outlook data file "PATH": ..." when there is no such file, it cannot be opened, or it is a
// folder or another thing that is not a file.
std::shared_ptr<const ByteSource> OpenFileSource(const std::string& path);

}  // namespace tarnvex::pst
