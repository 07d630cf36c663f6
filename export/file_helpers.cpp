#include "export/file_helpers.h"

#include "platform/failure.h"

namespace tarnvex {

std::string SafeFileName(std::string_view text) {
  static constexpr std::string_view kRemoved = "\t\r\n\"/\\*:?<>|";
  std::string name;
  name.reserve(text.size());
  for (char c : text) {
    if (kRemoved.find(c) == std::string_view::npos)
      name += c;
  }
  return name;
}

std::string CollapseBackslashes(std::string_view path, char separator) {
  std::string result;
  result.reserve(path.size() + 1);
  std::size_t i = 0;
  if (!path.empty() && path[0] == separator) {
    while (i < path.size() && path[i] == separator)
      ++i;
    // "\\server\share" keeps its prefix; POSIX paths have none, their root is one "/".
    result.append(separator == '\\' ? 2 : 1, separator);
  }
  while (i < path.size()) {
    result += path[i];
    if (path[i] == separator && i + 1 < path.size() && path[i + 1] == separator)
      ++i;
    ++i;
  }
  return result;
}

bool FolderExists(FileSystem& files, const std::string& path) {
  try {
    return (files.GetAttr(path) & kAttrDirectory) != 0;
  } catch (const std::exception&) {
    return false;
  }
}

bool FileExists(FileSystem& files, const std::string& path) {
  try {
    files.FileDateTime(path);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string GetSpecialFolder(Shell& shell, int32_t id) {
  return shell.SpecialFolderPath(id);
}

std::string GetDesktopFolder(Shell& shell, char separator) {
  std::string desktop = GetSpecialFolder(shell, kCsidlDesktop);
  if (desktop.empty())
    throw Failure("Invalid procedure call or argument");
  return desktop + separator;
}

}  // namespace tarnvex
