#pragma once

// Atomic file writing over POSIX calls.

#include <set>
#include <string>
#include <string_view>

#include "platform/atomic_file_writer.h"

namespace tarnvex {

// Writes the bytes to a temporary file in the target's folder and renames it over the target, so
// the target is either its old self or the complete new file, never a partial one. A symbolic
// link at the target is replaced by the file, not followed. Throws Failure naming the path and
// the system's reason; a failed write leaves no temporary file behind.
void WriteFileReplacing(const std::string& path, std::string_view bytes);

// Removes the temporary files that a process of this program left in the folder when it was
// killed while replacing a file (named ".tarnvex-PID-START-..." after the process that made
// them); files of processes still running, and every other file, stay.
void RemoveLeftoverTemporaries(const std::string& folder);

// WriteFileReplacing, and the first write into each folder removes the leftovers there first, so
// after a run no killed run's temporary file survives in a folder it wrote to.
class PosixAtomicFileWriter : public AtomicFileWriter {
 public:
  void WriteReplacing(const std::string& path, std::string_view bytes) override;

 private:
  std::set<std::string> swept_;
};

}  // namespace tarnvex
