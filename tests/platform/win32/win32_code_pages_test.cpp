// Windows code pages through the system's tables: the same text as the iconv implementation
// gives on Linux.

#include "platform/win32/win32_code_pages.h"

#include <gtest/gtest.h>

namespace tarnvex {
namespace {

TEST(Win32CodePages, DecodesTheCodePagesOfOutlookFiles) {
  const struct {
    uint32_t codePage;
    std::string bytes;
    std::string utf8;
  } cases[] = {
      {1252, "M\xFCller \x80", "M\xC3\xBCller \xE2\x82\xAC"},  // Müller €
      {1251, "\xD8\xE5\xE2\xF7\xE5\xED\xEA\xEE",
       "\xD0\xA8\xD0\xB5\xD0\xB2\xD1\x87\xD0\xB5\xD0\xBD\xD0\xBA\xD0\xBE"},  // Шевченко
      {1250, "\xA3\xF3\x64\x9F", "\xC5\x81\xC3\xB3\x64\xC5\xBA"},            // Łódź
      {932, "\x83\x43\x83\x4F", "\xE3\x82\xA4\xE3\x82\xB0"},                 // イグ
      {65001, "Zo\xC3\xAB", "Zo\xC3\xAB"},
  };
  Win32CodePages pages;
  for (const auto& c : cases) {
    const auto decoded = pages.Decode(c.bytes, c.codePage);
    EXPECT_EQ(decoded.utf8, c.utf8) << c.codePage;
    EXPECT_FALSE(decoded.replaced) << c.codePage;
    // Cards in Outlook's charset: the text goes back into the code page byte for byte.
    EXPECT_EQ(pages.Encode(c.utf8, c.codePage), c.bytes) << c.codePage;
  }
}

// Text the code page cannot hold is refused whole; the system's best fit ("Muller" for
// "Müller" in 1251, "?" elsewhere) is never taken.
TEST(Win32CodePages, TextACodePageLacksIsNotEncoded) {
  Win32CodePages pages;
  const struct {
    uint32_t codePage;
    std::string utf8;
  } cases[] = {
      {1252, "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"},  // Иван
      {1251, "M\xC3\xBCller"},                     // Müller
      {1252, "Party \xF0\x9F\x8E\x89"},            // Party 🎉
      {4242, "\xC3\xA9"},                          // no such code page
  };
  for (const auto& c : cases)
    EXPECT_EQ(pages.Encode(c.utf8, c.codePage), std::nullopt) << c.codePage;
  EXPECT_EQ(pages.Encode("", 1252), "");
  EXPECT_EQ(pages.Encode("plain", 932), "plain");
}

TEST(Win32CodePages, UnknownCodePagesAndBadBytesGiveReplacementCharacters) {
  Win32CodePages pages;
  EXPECT_FALSE(pages.Knows(4242));
  const auto unknown = pages.Decode("ab\xE9", 4242);
  EXPECT_EQ(unknown.utf8, "ab\xEF\xBF\xBD");
  EXPECT_TRUE(unknown.replaced);
  const auto cut = pages.Decode("a\x83", 932);  // a lead byte with nothing after it
  EXPECT_TRUE(cut.replaced);
  EXPECT_EQ(cut.utf8.substr(0, 1), "a");
  EXPECT_EQ(pages.Decode("", 932).utf8, "");
}

}  // namespace
}  // namespace tarnvex
