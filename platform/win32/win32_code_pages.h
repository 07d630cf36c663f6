#pragma once

// Windows code pages through the system's own tables (MultiByteToWideChar).

#include "platform/code_pages.h"

namespace tarnvex {

class Win32CodePages : public CodePages {
 public:
  Decoded Decode(std::string_view bytes, uint32_t codePage) const override;
  bool Knows(uint32_t codePage) const override;
  std::optional<std::string> Encode(std::string_view utf8, uint32_t codePage) const override;
};

}  // namespace tarnvex
