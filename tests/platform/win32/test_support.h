#pragma once

// What the Win32 suites share besides the sandbox: whole files read and written straight through
// the API, independently of the code under test.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tests/sandbox/sandbox.h"
#include "text/utf.h"

namespace tarnvex::testing {

inline std::wstring Wide(std::string_view utf8) {
  const std::u16string utf16 = text::Utf8ToUtf16(utf8);
  return std::wstring(utf16.begin(), utf16.end());
}

inline std::string Utf8(std::wstring_view utf16) {
  return text::Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()));
}

// The path with the "\\?\" prefix, which the API takes at any length.
inline std::wstring Long(const std::string& path) {
  return L"\\\\?\\" + Wide(path);
}

inline void WriteBytes(const std::string& path, std::string_view bytes) {
  const HANDLE file = ::CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot create " + path);
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0;
  ::CloseHandle(file);
  if (!ok || written != bytes.size())
    throw std::runtime_error("cannot write " + path);
}

// The file's bytes; nullopt when it cannot be opened.
inline std::optional<std::string> ReadBytes(const std::string& path) {
  const HANDLE file = ::CreateFileW(Long(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::nullopt;
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes.append(buffer, got);
  ::CloseHandle(file);
  return bytes;
}

inline DWORD Attributes(const std::string& path) {
  return ::GetFileAttributesW(Long(path).c_str());
}

// Names in a folder, as the system lists them (".", ".." left out).
inline std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  const HANDLE listing = ::FindFirstFileW((Long(folder) + L"\\*").c_str(), &found);
  if (listing == INVALID_HANDLE_VALUE)
    return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..")
      names.push_back(Utf8(name));
  } while (::FindNextFileW(listing, &found));
  ::FindClose(listing);
  return names;
}

}  // namespace tarnvex::testing
