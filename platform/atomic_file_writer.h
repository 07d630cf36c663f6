#pragma once

// Writing a whole file so that nobody ever finds half of it: the cards and the stand-in's
// profile are written this way. Implementations: platform/posix (later Win32).

#include <string>
#include <string_view>

namespace tarnvex {

class AtomicFileWriter {
 public:
  virtual ~AtomicFileWriter() = default;
  // Writes the bytes as the file at the path. Afterwards the target is either its old self or
  // the complete new file, never a partial one; a symbolic link at the target is replaced by the
  // file, not followed. A new file gets the mode any new file of the user gets. Throws Failure
  // naming the path and the system's reason; a failed write leaves nothing new behind.
  virtual void WriteReplacing(const std::string& path, std::string_view bytes) = 0;
};

}  // namespace tarnvex
