#pragma once

// Text in Windows code pages: 8-bit strings of Outlook data files (PT_STRING8 values) name the
// code page they are in by number (1252, 932, ...), and cards in Outlook's charset are written in
// them. One implementation per platform: iconv on POSIX systems
// (platform/posix/iconv_code_pages.h), the Win32 conversions on Windows. The caller owns the
// object; it must outlive every reader handed it. Neither direction throws: a code page the
// platform does not know, or bytes that do not decode in it, give U+FFFD in their place and say so
// in the result.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnvex {

class CodePages {
 public:
  virtual ~CodePages() = default;

  struct Decoded {
    std::string utf8;
    // True when the code page is unknown or some bytes did not decode (each shown as U+FFFD).
    bool replaced = false;
  };

  // The bytes, in Windows code page `codePage`, as UTF-8.
  virtual Decoded Decode(std::string_view bytes, uint32_t codePage) const = 0;
  // Whether the platform converts from the code page.
  virtual bool Knows(uint32_t codePage) const = 0;
  // UTF-8 text in code page `codePage`; empty when the code page is unknown or lacks a character
  // of the text (no character is replaced by a look-alike or a question mark).
  virtual std::optional<std::string> Encode(std::string_view utf8, uint32_t codePage) const = 0;
};

}  // namespace tarnvex
