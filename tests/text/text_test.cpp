#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <string>

#include "text/case.h"
#include "text/crc.h"
#include "text/locale_code_page.h"
#include "text/utf.h"

namespace tarnvex::text {
namespace {

struct Utf8Case {
  const char* name;
  std::string input;
  std::string valid;  // ValidUtf8(input)
};

TEST(LocaleCodePageTest, AnsiCodePagesOfLocales) {
  struct {
    uint32_t lcid;
    uint32_t codePage;
  } const cases[] = {
      {0x0409, 1252},  // English (United States)
      {0x0407, 1252},  // German (Germany)
      {0x0411, 932},   // Japanese
      {0x0412, 949},   // Korean
      {0x0804, 936},   // Chinese (PRC)
      {0x0404, 950},   // Chinese (Taiwan)
      {0x0C04, 950},   // Chinese (Hong Kong SAR)
      {0x0419, 1251},  // Russian
      {0x0422, 1251},  // Ukrainian
      {0x0405, 1250},  // Czech
      {0x0415, 1250},  // Polish
      {0x041A, 1250},  // Croatian
      {0x081A, 1250},  // Serbian (Latin)
      {0x0C1A, 1251},  // Serbian (Cyrillic)
      {0x0408, 1253},  // Greek
      {0x041F, 1254},  // Turkish
      {0x040D, 1255},  // Hebrew
      {0x0401, 1256},  // Arabic (Saudi Arabia)
      {0x0425, 1257},  // Estonian
      {0x042A, 1258},  // Vietnamese
      {0x041E, 874},   // Thai
      {0x10411, 932},  // Japanese with another sort order
      {0x0439, 0},     // Hindi: Unicode only
      {0x0000, 0},     // none
      {0x7FFF, 0},     // not a locale the table knows
  };
  for (const auto& c : cases)
    EXPECT_EQ(AnsiCodePageOfLocale(c.lcid), c.codePage) << std::hex << c.lcid;
}

TEST(Utf8Test, IllFormedBytesBecomeReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";
  const Utf8Case cases[] = {
      {"ascii", "Smith, John", "Smith, John"},
      {"two_to_four_bytes", "Zo\xC3\xAB \xE5\xB1\xB1 \xF0\x9F\x8E\x89",
       "Zo\xC3\xAB \xE5\xB1\xB1 \xF0\x9F\x8E\x89"},
      {"stray_continuation", "a\x80z", "a" + r + "z"},
      {"cut_short", "a\xE5\xB1", "a" + r + r},
      {"overlong_slash", "\xC0\xAF", r + r},
      {"overlong_three", "\xE0\x80\xAF", r + r + r},
      {"surrogate", "\xED\xA0\x80", r + r + r},
      {"above_max", "\xF4\x90\x80\x80", r + r + r + r},
      {"lead_ff", "\xFF", r},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValidUtf8(c.input), c.valid) << c.name;
    EXPECT_EQ(IsValidUtf8(c.input), c.input == c.valid) << c.name;
  }
}

struct Utf16Case {
  const char* name;
  std::u16string utf16;
  std::string utf8;
};

TEST(Utf16Test, ConvertsBothWays) {
  const Utf16Case cases[] = {
      {"empty", u"", ""},
      {"latin", u"M\u00fcller", "M\xC3\xBCller"},
      {"cjk", u"\u5c71\u7530", "\xE5\xB1\xB1\xE7\x94\xB0"},
      {"pair", u"\U0001F389!", "\xF0\x9F\x8E\x89!"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.name;
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.name;
    const std::string le = Utf8ToUtf16Le(c.utf8);
    ASSERT_EQ(le.size(), c.utf16.size() * 2) << c.name;
    EXPECT_EQ(Utf16LeToUtf8(reinterpret_cast<const std::uint8_t*>(le.data()), le.size()), c.utf8)
        << c.name;
  }
}

TEST(Utf16Test, LoneSurrogatesNulAndOddBytes) {
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800z"), "a" + r + "z");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"a\xDC00")), "a" + r);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"ab\0cd", 5)), "ab");
  const std::uint8_t odd[] = {'a', 0, 'b'};
  EXPECT_EQ(Utf16LeToUtf8(odd, sizeof odd), "a");
  EXPECT_EQ(Utf8ToUtf16("\xFF"), u"\xFFFD");
}

TEST(CrcTest, KnownSums) {
  struct {
    std::string data;
    std::uint32_t crc;
  } const cases[] = {
      {"", 0x00000000u},
      {"123456789", 0x2DFD2D88u},
      {"secret", 0xED604946u},
      {"P\xC3\xA4ssw\xC3\xB6rd", 0xFF60A4CAu},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Crc32(c.data.data(), c.data.size()), c.crc) << c.data;
}

TEST(CrcTest, ContinuesAcrossPieces) {
  const std::string data = "a longer text that spans more than eight bytes at a time";
  for (std::size_t cut = 0; cut <= data.size(); ++cut) {
    const std::uint32_t first = Crc32(data.data(), cut);
    EXPECT_EQ(Crc32(data.data() + cut, data.size() - cut, first), Crc32(data.data(), data.size()));
  }
}

TEST(CaseTest, LowerCaseKeys) {
  struct {
    std::string text;
    std::string key;
  } const cases[] = {
      {"Smith (2)", "smith (2)"},
      {"\xC3\x84RGER", "\xC3\xA4rger"},                                          // ÄRGER
      {"\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", "\xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD"},  // Иван
      {"\xCE\xA3\xCE\x9F\xCE\xA6", "\xCF\x83\xCE\xBF\xCF\x86"},                  // ΣΟΦ
      {"STRASSE \xC3\x9F", "strasse \xC3\x9F"},                                  // ß stays
      {"\xE5\xB1\xB1 \xF0\x9F\x8E\x89", "\xE5\xB1\xB1 \xF0\x9F\x8E\x89"},
      {"A\xFFZ", "a\xFFz"},                      // a byte that is not UTF-8 stays
      {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8"},  // DESERET CAPITAL LONG I, beyond 16 bits
  };
  for (const auto& c : cases)
    EXPECT_EQ(LowerCaseKey(c.text), c.key) << c.text;
}

// The table agrees with the C library's own mapping wherever one with a UTF-8 locale is there.
TEST(CaseTest, AgreesWithTheCLibrary) {
  if (sizeof(wchar_t) < 4 || !std::setlocale(LC_CTYPE, "C.UTF-8"))
    GTEST_SKIP() << "no 32-bit wide characters with a UTF-8 locale here";
  int differences = 0;
  for (char32_t c = 0; c <= 0x10FFFF && differences < 10; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF)
      continue;
    const auto expected = static_cast<char32_t>(std::towlower(static_cast<wint_t>(c)));
    if (ToLower(c) != expected) {
      ADD_FAILURE() << std::hex << "U+" << static_cast<unsigned>(c) << ": table gives "
                    << static_cast<unsigned>(ToLower(c)) << ", the C library "
                    << static_cast<unsigned>(expected);
      ++differences;
    }
  }
  std::setlocale(LC_CTYPE, "C");
}

TEST(CaseTest, AsciiOnlyComparison) {
  EXPECT_TRUE(EqualsIgnoringAsciiCase("IPF.Contact", "ipf.CONTACT"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("IPF.Contact", "IPF.Contacts"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\x84", "\xC3\xA4"));
}

}  // namespace
}  // namespace tarnvex::text
