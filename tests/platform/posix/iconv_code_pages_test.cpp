#include "platform/posix/iconv_code_pages.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnvex {
namespace {

struct Case {
  const char* name;
  uint32_t codePage;
  std::string bytes;
  std::string utf8;
};

// One word per code page, as the code page stores it, and its text.
const Case kCases[] = {
    {"Japanese932", 932, "\x83\x43\x83\x4F\x83\x55\x83\x93", "イグザン"},
    {"SimplifiedChinese936", 936, "\xD6\xD0\xCE\xC4", "中文"},
    {"Korean949", 949, "\xC7\xD1\xB1\xB9", "한국"},
    {"TraditionalChinese950", 950, "\xA4\xA4\xA4\xE5", "中文"},
    {"Thai874", 874, "\xA1", "ก"},
    {"CentralEuropean1250", 1250, "\x8A\xE8\x9E", "Ščž"},
    {"Cyrillic1251", 1251, "\xC8\xE2\xE0\xED", "Иван"},
    {"Western1252", 1252, "\x80\xE9", "€é"},
    {"Greek1253", 1253, "\xC1\xE8\xDE\xED\xE1", "Αθήνα"},
    {"Turkish1254", 1254, "\xDE\xFD", "Şı"},
    {"Hebrew1255", 1255, "\xF9\xEC\xE5\xED", "שלום"},
    {"Arabic1256", 1256, "\xD3\xE1\xC7\xE3", "سلام"},
    {"Baltic1257", 1257, "\xD0\xE0", "Šą"},
    {"Vietnamese1258", 1258, "\xE0", "à"},
    {"UsAscii20127", 20127, "Doe", "Doe"},
    {"Koi8R20866", 20866, "\xE9\xD7\xC1\xCE", "Иван"},
    {"Koi8U21866", 21866, "\xA4", "є"},
    {"Latin1_28591", 28591, "\xE9", "é"},
    {"Latin2_28592", 28592, "\xA9", "Š"},
    {"Cyrillic28595", 28595, "\xB8\xD2\xD0\xDD", "Иван"},
    {"Greek28597", 28597, "\xC1", "Α"},
    {"Latin9_28605", 28605, "\xA4", "€"},
    {"Iso2022Jp50220", 50220, "\x1B$B%$%0\x1B(B", "イグ"},
    {"EucJp51932", 51932, "\xA5\xA4", "イ"},
    {"Mac10000", 10000, "\x8E", "é"},
    {"Utf8_65001", 65001, "\xC3\xA9", "é"},
};

class IconvCodePagesTable : public testing::TestWithParam<Case> {};

TEST_P(IconvCodePagesTable, DecodesTheCodePage) {
  const Case& c = GetParam();
  IconvCodePages pages;
  EXPECT_TRUE(pages.Knows(c.codePage));
  const CodePages::Decoded d = pages.Decode(c.bytes, c.codePage);
  EXPECT_EQ(d.utf8, c.utf8);
  EXPECT_FALSE(d.replaced);
}

// Cards in Outlook's charset: the text goes back into the code page byte for byte.
TEST_P(IconvCodePagesTable, EncodesTheTextBack) {
  const Case& c = GetParam();
  IconvCodePages pages;
  EXPECT_EQ(pages.Encode(c.utf8, c.codePage), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(CodePages, IconvCodePagesTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(IconvCodePages, UnknownCodePageKeepsAsciiAndReplacesTheRest) {
  IconvCodePages pages;
  EXPECT_FALSE(pages.Knows(4242));
  const CodePages::Decoded d = pages.Decode("Ab\xE9", 4242);
  EXPECT_EQ(d.utf8, "Ab\xEF\xBF\xBD");
  EXPECT_TRUE(d.replaced);
}

TEST(IconvCodePages, BytesThatDoNotDecodeBecomeReplacementCharacters) {
  IconvCodePages pages;
  // 0x81 is undefined in 1252; a lead byte of 932 without its trail byte ends the string.
  const CodePages::Decoded w = pages.Decode("a\x81z", 1252);
  EXPECT_EQ(w.utf8, "a\xEF\xBF\xBDz");
  EXPECT_TRUE(w.replaced);
  const CodePages::Decoded j = pages.Decode("a\x83", 932);
  EXPECT_EQ(j.utf8, "a\xEF\xBF\xBD");
  EXPECT_TRUE(j.replaced);
}

// Text the code page cannot hold is refused whole, never given a look-alike or "?".
TEST(IconvCodePages, TextACodePageLacksIsNotEncoded) {
  IconvCodePages pages;
  const struct {
    uint32_t codePage;
    std::string utf8;
  } cases[] = {
      {1252, "Иван"}, {1251, "Müller"},  {1252, "Party 🎉"},
      {932, "Ščž"},   {1250, "Ünïcödé"},  // ï is not in 1250, though Ü, ö and é are
      {4242, "é"},                        // no such code page
  };
  for (const auto& c : cases)
    EXPECT_EQ(pages.Encode(c.utf8, c.codePage), std::nullopt) << c.codePage << " " << c.utf8;
  EXPECT_EQ(pages.Encode("", 1252), "");
  EXPECT_EQ(pages.Encode("plain", 932), "plain");
}

TEST(IconvCodePages, EmptyTextAndPlainAsciiDecodeAsThemselves) {
  IconvCodePages pages;
  EXPECT_EQ(pages.Decode("", 932).utf8, "");
  EXPECT_EQ(pages.Decode("Doe, Jane", 1251).utf8, "Doe, Jane");
}

}  // namespace
}  // namespace tarnvex
