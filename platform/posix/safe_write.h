#pragma once

// Atomic file writing over POSIX calls.

#include <string>
#include <string_view>

#include "platform/atomic_file_writer.h"

namespace tarnvex {

// Writes the bytes to a temporary file in the target's folder and renames it over the target, so
// the target is either its old self or the complete new file, never a partial one. A symbolic
// link at the target is replaced by the file, not followed. Throws Failure naming the path and
// the system's reason; a failed write leaves no temporary file behind.
void WriteFileReplacing(const std::string& path, std::string_view bytes);

class PosixAtomicFileWriter : public AtomicFileWriter {
 public:
  void WriteReplacing(const std::string& path, std::string_view bytes) override {
    WriteFileReplacing(path, bytes);
  }
};

}  // namespace tarnvex
