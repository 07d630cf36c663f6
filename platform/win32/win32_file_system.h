#pragma once

#include "platform/file_system.h"

namespace tarnvex {

// File-system queries over the wide Win32 API, at any path length. Names are compared as the
// Windows file systems compare them: upper-cased with the system's own (non-linguistic) case
// table; their lengths count UTF-16 code units.
class Win32FileSystem : public FileSystem {
 public:
  char PathSeparator() const override { return '\\'; }
  // The read-only, hidden, system and directory bits as the system keeps them.
  uint32_t GetAttr(const std::string& path) override;
  int64_t FileDateTime(const std::string& path) override;
  // The first match in the order the system lists the folder (sorted by name on NTFS).
  std::string Dir(const std::string& pattern) override;
  std::size_t MaxNameLength() const override { return 255; }
  std::size_t NameLength(std::string_view name) const override;
  bool HidesDotNames() const override { return false; }
  // "/" and "\" are one separator to Windows, so both give "\" in the key.
  std::string NameKey(const std::string& path) const override;
  // Two paths name one file when the volume's serial number and the file's index are equal.
  bool SameFile(const std::string& a, const std::string& b) override;
};

}  // namespace tarnvex
