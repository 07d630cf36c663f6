#include "text/case.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

#include "text/utf.h"

namespace tarnvex::text {
namespace {

// Code points first, first + stride, ... last map to themselves plus delta.
struct LowerCaseRun {
  char32_t first;
  char32_t last;
  std::uint8_t stride;
  std::int32_t delta;
};

constexpr LowerCaseRun kRuns[] = {
#include "text/lowercase_table.inc"
};

// ToLower's answers below U+0800 (Latin, Greek, Cyrillic, Armenian, Hebrew, Arabic: the letters
// of most names beyond ASCII), as deltas looked up without a search.
constexpr char32_t kDirectEnd = 0x800;
constexpr auto kDirectDeltas = [] {
  std::array<std::int32_t, kDirectEnd> deltas{};
  for (const LowerCaseRun& r : kRuns) {
    for (char32_t c = r.first; c <= r.last && c < kDirectEnd; c += r.stride)
      deltas[c] = r.delta;
  }
  return deltas;
}();

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

}  // namespace

char32_t ToLower(char32_t code) {
  if (code < 0x80)
    return static_cast<char32_t>(AsciiLower(static_cast<char>(code)));
  if (code < kDirectEnd)
    return static_cast<char32_t>(static_cast<std::int32_t>(code) + kDirectDeltas[code]);
  if (code > std::rbegin(kRuns)->last)  // emoji and the other planes' symbols
    return code;
  const auto run = std::upper_bound(std::begin(kRuns), std::end(kRuns), code,
                                    [](char32_t c, const LowerCaseRun& r) { return c < r.first; });
  if (run == std::begin(kRuns))
    return code;
  const LowerCaseRun& r = *std::prev(run);
  if (code > r.last || (code - r.first) % r.stride != 0)
    return code;
  return static_cast<char32_t>(static_cast<std::int32_t>(code) + r.delta);
}

std::string LowerCaseKey(std::string_view text) {
  std::string key;
  key.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (static_cast<unsigned char>(c) < 0x80) {
      std::size_t end = at + 1;  // the run of ASCII, lowered in one go
      while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80)
        ++end;
      const std::size_t start = key.size();
      key.append(text.substr(at, end - at));
      for (std::size_t i = start; i < key.size(); ++i)
        key[i] = AsciiLower(key[i]);
      at = end;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(text, at);
    if (length == 0) {
      key += c;
      ++at;
      continue;
    }
    const std::size_t start = at;
    const char32_t code = NextCodePoint(text, at);
    if (const char32_t lower = ToLower(code); lower != code)
      AppendUtf8(key, lower);
    else
      key.append(text, start, length);
  }
  return key;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

std::string_view TrimAsciiSpace(std::string_view text) {
  constexpr std::string_view kSpace = " \t\n\v\f\r";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

}  // namespace tarnvex::text
