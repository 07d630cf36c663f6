#pragma once

// CodePages (platform/code_pages.h) over iconv(3): Windows code page numbers are mapped to iconv
// names (IconvName). Safe to use from several threads.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/code_pages.h"

namespace tarnvex {

// The iconv name of a Windows code page, or null when the table has none.
const char* IconvName(uint32_t codePage);

class IconvCodePages : public CodePages {
 public:
  IconvCodePages();
  ~IconvCodePages() override;
  Decoded Decode(std::string_view bytes, uint32_t codePage) const override;
  bool Knows(uint32_t codePage) const override;
  std::optional<std::string> Encode(std::string_view utf8, uint32_t codePage) const override;

 private:
  struct Converter;
  using Converters = std::map<uint32_t, std::unique_ptr<Converter>>;
  // The converter from (decoding) or to (encoding) the code page, opened once; null when iconv
  // has none.
  Converter* ConverterFor(uint32_t codePage, bool encoding) const;

  mutable std::mutex mutex_;
  mutable Converters decoders_;
  mutable Converters encoders_;
};

}  // namespace tarnvex
