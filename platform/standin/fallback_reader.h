#pragma once

// The reader of the data files the native reader does not take (ANSI PST, OST, encodings it does
// not decode). The build picks its definition: libpff where the build has it (pff.cpp), else
// pff_absent.cpp, which refuses such files in words.

#include <memory>
#include <string>

#include "platform/standin/store_reader.h"

namespace tarnvex::standin::store {

// Opens a data file that the native reader did not take, for the reason `nativeRefusal`. Throws
// Failure naming the file when it cannot be read.
// 8-bit strings are decoded as `decoding` says.
std::shared_ptr<File> OpenWithFallback(const std::string& path, const std::string& nativeRefusal,
                                       std::shared_ptr<const TextDecoding> decoding);

}  // namespace tarnvex::standin::store
