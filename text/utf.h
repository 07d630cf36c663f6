#pragma once

// UTF-8 and UTF-16 for the whole program: inside it text is UTF-8; Outlook's data files and the
// Windows API speak UTF-16. Pure functions: no locale, no allocation beyond the result.
// Ill-formed input never fails: what does not decode becomes U+FFFD.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnvex::text {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Length of the well-formed UTF-8 sequence at `at` (1 to 4), or 0 when the bytes there are not
// one: a stray continuation byte, a sequence cut short, an overlong form, a surrogate or a value
// above U+10FFFF. Inline: every text a card holds is checked through it, character by character.
inline std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80)
    return 1;
  std::size_t length = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (length > text.size() - at)
    return 0;
  char32_t code = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(text[at + k]);
    if ((c & 0xC0) != 0x80)
      return 0;
    code = (code << 6) | (c & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return length;
}

// The code point at `at`, moving `at` past it; where no well-formed sequence starts, U+FFFD and
// `at` moves by one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& at);

void AppendUtf8(std::string& out, char32_t codePoint);

bool IsValidUtf8(std::string_view text);

// The text with every byte that starts no well-formed sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// UTF-16LE bytes to UTF-8. A NUL code unit ends the text; an unpaired surrogate becomes U+FFFD;
// an odd last byte is ignored.
std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t size);
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16 (as code units, or as little-endian bytes); ill-formed bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf8ToUtf16Le(std::string_view text);

}  // namespace tarnvex::text
