#pragma once

#include <set>
#include <string>

#include "platform/file_system.h"
#include "text/case.h"

namespace tarnvex::fakes {

// A file system of named folders and normal files, with "/" as separator.
class FakeFileSystem : public FileSystem {
 public:
  std::set<std::string> folders;
  std::set<std::string> files;
  // Patterns whose listing fails as malformed.
  std::set<std::string> malformed;

  char PathSeparator() const override { return '/'; }
  uint32_t GetAttr(const std::string& path) override;
  int64_t FileDateTime(const std::string& path) override;
  std::string Dir(const std::string& pattern) override;
  std::string NameKey(const std::string& path) const override { return text::LowerCaseKey(path); }
  bool SameFile(const std::string& a, const std::string& b) override { return a == b; }
};

}  // namespace tarnvex::fakes
