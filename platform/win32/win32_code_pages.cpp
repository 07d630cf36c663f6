#include "platform/win32/win32_code_pages.h"

#include <windows.h>

#include <climits>
#include <string>

#include "text/utf.h"

namespace tarnvex {
namespace {

// UTF-16 of the bytes; empty when the system refuses them with these flags.
std::u16string Convert(std::string_view bytes, uint32_t codePage, DWORD flags) {
  const int length = static_cast<int>(bytes.size());
  const int units = ::MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
  if (units <= 0)
    return {};
  std::wstring wide(static_cast<size_t>(units), L'\0');
  ::MultiByteToWideChar(codePage, flags, bytes.data(), length, wide.data(), units);
  return std::u16string(wide.begin(), wide.end());
}

}  // namespace

std::optional<std::string> Win32CodePages::Encode(std::string_view utf8, uint32_t codePage) const {
  if (!Knows(codePage) || utf8.size() > INT_MAX / 2)
    return std::nullopt;
  const std::u16string text = text::Utf8ToUtf16(utf8);
  const std::wstring wide(text.begin(), text.end());
  const int units = static_cast<int>(wide.size());
  const int length =
      ::WideCharToMultiByte(codePage, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  if (length <= 0)
    return utf8.empty() ? std::optional<std::string>(std::string()) : std::nullopt;
  std::string bytes(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(codePage, 0, wide.data(), units, bytes.data(), length, nullptr, nullptr);
  // The system puts a look-alike or "?" where the code page lacks a character, and not every
  // code page takes the flags that would say so: a text that does not come back the same is
  // one the code page cannot hold.
  if (Convert(bytes, codePage, 0) != text)
    return std::nullopt;
  return bytes;
}

bool Win32CodePages::Knows(uint32_t codePage) const {
  return ::IsValidCodePage(codePage) != 0;
}

CodePages::Decoded Win32CodePages::Decode(std::string_view bytes, uint32_t codePage) const {
  Decoded out;
  if (bytes.empty())
    return out;
  if (!Knows(codePage) || bytes.size() > INT_MAX) {
    // Unknown code page: ASCII stays readable, every other byte is U+FFFD.
    for (const char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80)
        out.utf8 += c;
      else
        text::AppendUtf8(out.utf8, text::kReplacementCharacter);
    }
    out.replaced = true;
    return out;
  }
  // Strict first, so that bytes that do not decode are known; some code pages (the ISO-2022
  // ones, UTF-7) take no flags at all.
  std::u16string wide = Convert(bytes, codePage, MB_ERR_INVALID_CHARS);
  if (wide.empty()) {
    out.replaced = ::GetLastError() == ERROR_NO_UNICODE_TRANSLATION;
    wide = Convert(bytes, codePage, 0);
  }
  out.utf8 = text::Utf16ToUtf8(wide);
  return out;
}

}  // namespace tarnvex
