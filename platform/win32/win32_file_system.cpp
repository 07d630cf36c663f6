#include "platform/win32/win32_file_system.h"

#include <algorithm>

#include "platform/failure.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_access.h"
#include "text/utf.h"

namespace tarnvex {
namespace {

using win32::ApiPath;
using win32::Narrow;
using win32::SystemReason;
using win32::Wide;

// Seconds from 1601-01-01, where FILETIME counts from, to 1970-01-01.
constexpr int64_t kEpochOffsetSeconds = 11644473600;

WIN32_FILE_ATTRIBUTE_DATA AttributesOrThrow(const std::string& path) {
  win32::CheckWellFormed(path);
  if (path.empty())
    throw Failure("File not found: the path is empty.");
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(ApiPath(path).c_str(), GetFileExInfoStandard, &data))
    throw Failure("Cannot read \"" + path + "\": " + SystemReason(::GetLastError()) + ".");
  return data;
}

bool IsMalformedName(DWORD error) {
  return error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME ||
         error == ERROR_INVALID_PARAMETER || error == ERROR_FILENAME_EXCED_RANGE;
}

}  // namespace

uint32_t Win32FileSystem::GetAttr(const std::string& path) {
  return AttributesOrThrow(path).dwFileAttributes &
         (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory);
}

int64_t Win32FileSystem::FileDateTime(const std::string& path) {
  const FILETIME written = AttributesOrThrow(path).ftLastWriteTime;
  const int64_t ticks =
      static_cast<int64_t>((uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime);
  return ticks / 10'000'000 - kEpochOffsetSeconds;
}

std::string Win32FileSystem::Dir(const std::string& pattern) {
  win32::CheckWellFormed(pattern);
  const auto cut = pattern.find_last_of("\\/:");
  if (pattern.empty() || cut + 1 == pattern.size())
    return {};  // no name to look for
  WIN32_FIND_DATAW found{};
  const HANDLE listing = ::FindFirstFileExW(ApiPath(pattern).c_str(), FindExInfoBasic, &found,
                                            FindExSearchNameMatch, nullptr, 0);
  if (listing == INVALID_HANDLE_VALUE) {
    if (IsMalformedName(::GetLastError()))
      throw Failure("Bad file name or number: the path is not a valid file name.");
    return {};  // no such folder, nothing matches, or the folder cannot be listed
  }
  constexpr DWORD kNotNormal = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
  std::string first;
  do {
    if ((found.dwFileAttributes & kNotNormal) == 0) {
      first = Narrow(found.cFileName);
      break;
    }
  } while (::FindNextFileW(listing, &found));
  ::FindClose(listing);
  return first;
}

std::size_t Win32FileSystem::NameLength(std::string_view name) const {
  std::size_t units = 0;
  for (std::size_t at = 0; at < name.size();)
    units += text::NextCodePoint(name, at) > 0xFFFF ? 2 : 1;
  return units;
}

std::string Win32FileSystem::NameKey(const std::string& path) const {
  std::wstring wide = Wide(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  if (wide.empty())
    return {};
  // Without LCMAP_LINGUISTIC_CASING the mapping is the file systems' own: letters one UTF-16 unit
  // at a time, "ß" stays "ß", no locale's special rules.
  const int size = static_cast<int>(wide.size());
  std::wstring upper(wide.size(), L'\0');
  const int length = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), size,
                                     upper.data(), size, nullptr, nullptr, 0);
  if (length != size) {
    // Never expected; ASCII letters at least then still compare without case.
    upper = wide;
    for (wchar_t& c : upper) {
      if (c >= L'a' && c <= L'z')
        c = static_cast<wchar_t>(c - L'a' + L'A');
    }
  }
  return Narrow(upper);
}

bool Win32FileSystem::SameFile(const std::string& a, const std::string& b) {
  Win32FileAccess files;
  const std::optional<FileIdentity> first = files.Identify(a);
  const std::optional<FileIdentity> second = first ? files.Identify(b) : std::nullopt;
  if (first && second)
    return *first == *second;
  return a == b;
}

}  // namespace tarnvex
