#pragma once

#include "platform/file_system.h"

namespace tarnvex {

// File-system queries over POSIX calls. A name starting with "." counts as hidden; a file the
// user may not write counts as read-only.
class PosixFileSystem : public FileSystem {
 public:
  char PathSeparator() const override { return '/'; }
  uint32_t GetAttr(const std::string& path) override;
  int64_t FileDateTime(const std::string& path) override;
  std::string Dir(const std::string& pattern) override;
  std::size_t MaxNameLength() const override;
  std::size_t NameLength(std::string_view name) const override { return name.size(); }
  bool HidesDotNames() const override { return true; }
  // Letter case is ignored although Linux file systems keep it: cards of one folder are usually
  // copied on to case-insensitive ones (Windows, macOS, phones' FAT), where equal keys collide.
  std::string NameKey(const std::string& path) const override;
  bool SameFile(const std::string& a, const std::string& b) override;
};

// '*' matches any run of characters and '?' any one character; nothing else is special.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

}  // namespace tarnvex
