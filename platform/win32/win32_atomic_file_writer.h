#pragma once

#include <string>
#include <string_view>

#include "platform/atomic_file_writer.h"

namespace tarnvex {

// Writes the bytes into a temporary file of the target's folder and moves it over the target in
// one step (MoveFileExW, replacing, written through), so readers find the old file or the whole
// new one. A symbolic link to a file at the target is replaced by that move; a link to a folder
// (a junction or a folder symbolic link), which cannot be replaced by a file, is removed first,
// never the folder it leads to. A failed write leaves the target and no temporary file behind.
class Win32AtomicFileWriter : public AtomicFileWriter {
 public:
  void WriteReplacing(const std::string& path, std::string_view bytes) override;
};

}  // namespace tarnvex
