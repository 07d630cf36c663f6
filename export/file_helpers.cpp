#include "export/file_helpers.h"

#include <algorithm>

#include "platform/failure.h"
#include "text/case.h"
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

namespace {

// The length of the device name the text starts with, blanks after it ignored up to the first
// dot or the end; 0 when it starts with none.
std::size_t DevicePartLength(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  base = base.substr(0, base.find_last_not_of(' ') + 1);
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL"}) {
    if (text::EqualsIgnoringAsciiCase(base, device))
      return base.size();
  }
  if (!text::StartsWithIgnoringAsciiCase(base, "COM") &&
      !text::StartsWithIgnoringAsciiCase(base, "LPT")) {
    return 0;
  }
  const std::string_view number = base.substr(3);
  const bool digit = number.size() == 1 && number[0] >= '0' && number[0] <= '9';
  // U+00B9, U+00B2 and U+00B3 in UTF-8.
  const bool superscript = number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
  return digit || superscript ? base.size() : 0;
}

// "Surname, Given name", or whichever of the two the contact has.
std::string SurnameThenGivenName(OutlookItem& contact) {
  std::string surname = contact.LastName();
  const std::string given = contact.FirstName();
  if (surname.empty() || given.empty())
    return surname + given;
  return surname + ", " + given;
}

// The stem a text gives a card's file name; empty text when nothing is left.
std::string NameStem(std::string_view text, const FileSystem& files) {
  std::string stem = SafeFileName(text);
  if (files.HidesDotNames())
    stem.erase(0, stem.find_first_not_of('.'));
  return AvoidingDeviceNames(std::move(stem));
}

}  // namespace

bool IsDeviceName(std::string_view name) {
  return DevicePartLength(name) > 0;
}

std::string AvoidingDeviceNames(std::string name) {
  if (const std::size_t device = DevicePartLength(name))
    name.insert(device, 1, '_');
  return name;
}

std::string CardStem(OutlookItem& contact, const FileSystem& files) {
  using Source = std::string (*)(OutlookItem&);
  static constexpr Source kSources[] = {
      [](OutlookItem& c) { return c.FileAs(); },
      [](OutlookItem& c) { return c.FullName(); },
      SurnameThenGivenName,
      [](OutlookItem& c) { return c.CompanyName(); },
      [](OutlookItem& c) { return c.Email1Address(); },
  };
  for (Source source : kSources) {
    std::string stem = NameStem(source(contact), files);
    if (!stem.empty())
      return stem;
  }
  return files.HidesDotNames() ? std::string(kNoNameStem) : std::string();
}

std::string FittedFileName(std::string_view stem, std::string_view tail, const FileSystem& files) {
  const std::size_t tailLength = files.NameLength(tail);
  const std::size_t budget =
      files.MaxNameLength() > tailLength ? files.MaxNameLength() - tailLength : 0;
  // Nearly every stem fits whole; only one that does not is measured character by character.
  std::size_t end = files.NameLength(stem) <= budget ? stem.size() : 0;
  std::size_t used = 0;
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
