#pragma once

#include <set>
#include <string>

#include "platform/file_system.h"
#include "text/case.h"

namespace tarnvex::fakes {

// A file system of named folders and normal files, with "/" as separator.
class FakeFileSystem : public FileSystem {
 public:
  std::size_t maxNameLength = 255;
  bool hidesDotNames = true;
  std::set<std::string> folders;
  std::set<std::string> files;
  // Patterns whose listing fails as malformed.
  std::set<std::string> malformed;

  char PathSeparator() const override { return '/'; }
  uint32_t GetAttr(const std::string& path) override;
  int64_t FileDateTime(const std::string& path) override;
  std::string Dir(const std::string& pattern) override;
  std::size_t MaxNameLength() const override { return maxNameLength; }
  std::size_t NameLength(std::string_view name) const override { return name.size(); }
  bool HidesDotNames() const override { return hidesDotNames; }
  std::string NameKey(const std::string& path) const override { return text::LowerCaseKey(path); }
  bool SameFile(const std::string& a, const std::string& b) override { return a == b; }
};

}  // namespace tarnvex::fakes
