#include "platform/win32/win32_api.h"

#include <cctype>

#include "platform/failure.h"
#include "text/utf.h"

namespace tarnvex::win32 {

std::wstring Wide(std::string_view utf8) {
  const std::u16string utf16 = text::Utf8ToUtf16(utf8);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(std::wstring_view utf16) {
  return text::Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()));
}

std::string SystemReason(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::wstring text = length > 0 && buffer ? std::wstring(buffer, length) : std::wstring();
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                           text.back() == L'.')) {
    text.pop_back();
  }
  if (text.empty())
    return "system error " + std::to_string(error);
  return Narrow(text);
}

void CheckWellFormed(std::string_view path) {
  if (path.find('\0') != std::string_view::npos)
    throw Failure("Bad file name or number: the path is not a valid file name.");
}

std::wstring ApiPath(std::string_view utf8Path) {
  std::wstring path = Wide(utf8Path);
  if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\?\\"))
    return path;
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0)
    return path;
  std::wstring full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed)
    return path;
  full.resize(length);
  if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\"))
    return full;
  if (full.starts_with(L"\\\\"))
    return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::size_t RootLength(std::string_view path) {
  // "\\server\share\": the server's and the share's names with the separators after them.
  auto networkRoot = [&](std::size_t start) {
    std::size_t end = start;
    for (int part = 0; part < 2; ++part) {
      while (end < path.size() && !IsSeparator(path[end]))
        ++end;
      if (end < path.size())
        ++end;
    }
    return end;
  };
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
      (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) {
    const std::string_view rest = path.substr(4);
    if (rest.size() >= 4 && (rest.substr(0, 3) == "UNC" || rest.substr(0, 3) == "unc") &&
        IsSeparator(rest[3])) {
      return networkRoot(8);
    }
    return 4 + RootLength(rest);
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
    return networkRoot(2);
  if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
    return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
  if (!path.empty() && IsSeparator(path[0]))
    return 1;
  return 0;
}

}  // namespace tarnvex::win32
