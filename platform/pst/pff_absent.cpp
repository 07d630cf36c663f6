// The fall-back reader of a build without libpff (the Windows build): files the native reader
// does not take are refused, saying why.

#include "platform/failure.h"
#include "platform/pst/fallback_reader.h"

namespace tarnvex::pst::store {

std::shared_ptr<File> OpenWithFallback(const std::string& path, const std::string& nativeRefusal,
                                       std::shared_ptr<const TextDecoding>) {
  throw Failure("The Outlook data file \"" + path +
                "\" is not a PST file the program reads: " + nativeRefusal + ".");
}

}  // namespace tarnvex::pst::store
