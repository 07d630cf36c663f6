#include "text/utf.h"

namespace tarnvex::text {

char32_t NextCodePoint(std::string_view text, std::size_t& at) {
  const std::size_t length = Utf8SequenceLength(text, at);
  if (length == 0) {
    ++at;
    return kReplacementCharacter;
  }
  static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t code = static_cast<unsigned char>(text[at]) & kLeadMask[length];
  for (std::size_t k = 1; k < length; ++k)
    code = (code << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
  at += length;
  return code;
}

namespace {

// Writes the code point's UTF-8 bytes (U+FFFD for what no UTF-8 may hold) at `p`, at most four;
// returns the end of what it wrote.
char* PutUtf8(char* p, char32_t code) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    code = kReplacementCharacter;
  if (code < 0x80) {
    *p++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *p++ = static_cast<char>(0xC0 | (code >> 6));
    *p++ = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *p++ = static_cast<char>(0xE0 | (code >> 12));
    *p++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | (code >> 18));
    *p++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *p++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (code & 0x3F));
  }
  return p;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t code) {
  char bytes[4];
  out.append(bytes, PutUtf8(bytes, code));
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, at);
    if (length == 0)
      return false;
    at += length;
  }
  return true;
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, at);
    if (length == 0) {
      AppendUtf8(out, kReplacementCharacter);
      ++at;
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  return out;
}

namespace {

// Decodes UTF-16 code units given one at a time by `unit(i)`, i < count, into UTF-8.
template <typename Unit>
std::string Utf16UnitsToUtf8(std::size_t count, Unit unit) {
  // One unit gives at most three bytes (U+FFFD for a lone surrogate), a pair of them four.
  std::string out(3 * count, '\0');
  char* p = out.data();
  for (std::size_t i = 0; i < count; ++i) {
    const char32_t u = unit(i);
    if (u == 0)
      break;
    if (u < 0x80) {
      *p++ = static_cast<char>(u);
      continue;
    }
    if (u < 0x800) {
      *p++ = static_cast<char>(0xC0 | (u >> 6));
      *p++ = static_cast<char>(0x80 | (u & 0x3F));
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
      const char32_t low = unit(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        p = PutUtf8(p, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    p = PutUtf8(p, u);  // a lone surrogate becomes U+FFFD there
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
  return out;
}

// Calls `put(unit)` for each UTF-16 code unit of the UTF-8 text.
template <typename Put>
void ForEachUtf16Unit(std::string_view text, Put put) {
  for (std::size_t at = 0; at < text.size();) {
    const char32_t code = NextCodePoint(text, at);
    if (code < 0x10000) {
      put(static_cast<char16_t>(code));
    } else {
      put(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      put(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    }
  }
}

}  // namespace

std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t size) {
  return Utf16UnitsToUtf8(size / 2, [data](std::size_t i) {
    return static_cast<char32_t>(data[2 * i] | (data[2 * i + 1] << 8));
  });
}

std::string Utf16ToUtf8(std::u16string_view text) {
  return Utf16UnitsToUtf8(text.size(), [text](std::size_t i) { return char32_t{text[i]}; });
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  ForEachUtf16Unit(text, [&out](char16_t unit) { out += unit; });
  return out;
}

std::string Utf8ToUtf16Le(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  ForEachUtf16Unit(text, [&out](char16_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  });
  return out;
}

}  // namespace tarnvex::text
