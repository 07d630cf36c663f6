#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/failure.h"
#include "text/case.h"

namespace tarnvex {
namespace {

void CheckWellFormed(const std::string& path) {
  if (path.find('\0') != std::string::npos || path.size() >= PATH_MAX) {
    throw Failure("Bad file name or number: the path is not a valid file name.");
  }
}

struct stat StatOrThrow(const std::string& path) {
  CheckWellFormed(path);
  struct stat info {};
  if (path.empty())
    throw Failure("File not found: the path is empty.");
  if (::stat(path.c_str(), &info) != 0) {
    throw Failure("Cannot read \"" + path + "\": " + std::strerror(errno) + ".");
  }
  return info;
}

std::string_view BaseName(std::string_view path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool IsHiddenName(std::string_view name) {
  return !name.empty() && name.front() == '.';
}

bool IsNormalFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && !IsHiddenName(BaseName(path));
}

}  // namespace

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
  // Iterative matcher with one back-tracking point for the last '*'.
  std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

uint32_t PosixFileSystem::GetAttr(const std::string& path) {
  const struct stat info = StatOrThrow(path);
  uint32_t attributes = 0;
  if (S_ISDIR(info.st_mode))
    attributes |= kAttrDirectory;
  if (IsHiddenName(BaseName(path)))
    attributes |= kAttrHidden;
  if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode))
    attributes |= kAttrSystem;
  if (::access(path.c_str(), W_OK) != 0)
    attributes |= kAttrReadOnly;
  return attributes;
}

int64_t PosixFileSystem::FileDateTime(const std::string& path) {
  return static_cast<int64_t>(StatOrThrow(path).st_mtime);
}

std::string PosixFileSystem::Dir(const std::string& pattern) {
  CheckWellFormed(pattern);
  const auto slash = pattern.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
  const std::string namePattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  if (namePattern.empty())
    return {};
  if (namePattern.find_first_of("*?") == std::string::npos) {
    return IsNormalFile(pattern) ? namePattern : std::string();
  }
  DIR* listing = ::opendir(folder.c_str());
  if (!listing)
    return {};
  std::vector<std::string> matches;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (!IsHiddenName(name) && MatchesWildcard(name, namePattern) &&
        IsNormalFile(folder + (folder.back() == '/' ? "" : "/") + name)) {
      matches.push_back(name);
    }
  }
  ::closedir(listing);
  if (matches.empty())
    return {};
  return *std::min_element(matches.begin(), matches.end());
}

std::size_t PosixFileSystem::MaxNameLength() const {
  return NAME_MAX;  // 255 on Linux: ext4, XFS, Btrfs, tmpfs
}

std::string PosixFileSystem::NameKey(const std::string& path) const {
  return text::LowerCaseKey(path);
}

bool PosixFileSystem::SameFile(const std::string& a, const std::string& b) {
  struct stat infoA {
  }, infoB{};
  if (a.find('\0') == std::string::npos && b.find('\0') == std::string::npos &&
      ::stat(a.c_str(), &infoA) == 0 && ::stat(b.c_str(), &infoB) == 0) {
    return infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
  }
  return a == b;
}

}  // namespace tarnvex
