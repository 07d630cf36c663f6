// The fall-back reader of a build without libpff (the Windows build): files the native reader
// does not take are refused, saying why.

#include "platform/failure.h"
#include "platform/standin/fallback_reader.h"

namespace tarnvex::standin::store {

std::shared_ptr<File> OpenWithFallback(const std::string& path, const std::string& nativeRefusal,
                                       std::shared_ptr<const TextDecoding>) {
  throw Failure("The Outlook data file \"" + path +
                "\" is not a PST file the program reads: " + nativeRefusal + ".");
}

}  // namespace tarnvex::standin::store
