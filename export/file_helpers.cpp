#include "export/file_helpers.h"

#include <algorithm>

#include "platform/failure.h"
#include "text/utf.h"

namespace tarnvex {

std::string SafeFileName(std::string_view text) {
  static constexpr std::string_view kRemoved = "\"/\\*:?<>|";
  std::string name;
  name.reserve(text.size());
  for (char c : text) {
    const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    if (!control && kRemoved.find(c) == std::string_view::npos)
      name += c;
  }
  return name;
}

std::string CardStem(std::string_view fileAs, const FileSystem& files) {
  std::string stem = SafeFileName(fileAs);
  if (!files.HidesDotNames())
    return stem;
  stem.erase(0, stem.find_first_not_of('.'));
  return stem.empty() ? std::string(kNoNameStem) : stem;
}

std::string FittedFileName(std::string_view stem, std::string_view tail, const FileSystem& files) {
  const std::size_t tailLength = files.NameLength(tail);
  const std::size_t budget =
      files.MaxNameLength() > tailLength ? files.MaxNameLength() - tailLength : 0;
  std::size_t used = 0, end = 0;
  while (end < stem.size()) {
    const std::size_t length = std::max<std::size_t>(1, text::Utf8SequenceLength(stem, end));
    const std::size_t units = files.NameLength(stem.substr(end, length));
    if (used + units > budget)
      break;
    used += units;
    end += length;
  }
  std::string name(stem.substr(0, end));
  name += tail;
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
