#pragma once

// Text in Windows code pages: 8-bit strings of Outlook data files (PT_STRING8 values) name the
// code page they are in by number (1252, 932, ...). One implementation per platform: iconv on
// POSIX systems (platform/posix/iconv_code_pages.h). The caller owns the object; it must outlive
// every reader handed it. Decoding never throws: a code page the platform does not know, or bytes
// that do not decode in it, give U+FFFD in their place and say so in the result.

#include <cstdint>
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
};

}  // namespace tarnvex
