// The vCard writer's building blocks, and small cards compared whole. Reading cards back with
// parsers that are not ours is tests/pst/vcard_test.cpp's part.

#include "vcard/writer.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnvex::vcard {
namespace {

using namespace detail;

struct EscapeCase {
  std::string in;
  bool backslashN;
  bool semicolon;
  std::string out;
};

TEST(EscapeTest, BackslashCommaSemicolonAndLineBreaks) {
  const EscapeCase cases[] = {
      {"plain", true, true, "plain"},
      {"a\\b,c;d", true, true, "a\\\\b\\,c\\;d"},
      {"a;b", true, false, "a;b"},  // 4.0 outside a structured value
      {"one\ntwo", true, true, "one\\ntwo"},
      {"one\ntwo", false, true, "one\ntwo"},  // 2.1: quoted-printable carries the break
      {"", true, true, ""},
      {"caf\xC3\xA9, \xE5\xB1\xB1", true, true, "caf\xC3\xA9\\, \xE5\xB1\xB1"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Escape(c.in, c.backslashN, c.semicolon), c.out) << c.in;
}

// RFC 6868: ^ becomes ^^, a line break ^n and a double quote ^'.
TEST(QuotedParamTest, Rfc6868Escapes) {
  EXPECT_EQ(QuotedParam("Main St"), "\"Main St\"");
  EXPECT_EQ(QuotedParam("a^b"), "\"a^^b\"");
  EXPECT_EQ(QuotedParam("1 Main St\nSpringfield"), "\"1 Main St^nSpringfield\"");
  EXPECT_EQ(QuotedParam("The \"Old\" Mill"), "\"The ^'Old^' Mill\"");
  EXPECT_EQ(QuotedParam(""), "\"\"");
}

TEST(DateTextTest, ExtendedFormIn30BasicFormElsewhere) {
  const Date d{1975, 2, 8};
  EXPECT_EQ(DateText(d, VCardVersion::k21), "19750208");
  EXPECT_EQ(DateText(d, VCardVersion::k30), "1975-02-08");
  EXPECT_EQ(DateText(d, VCardVersion::k40), "19750208");
  EXPECT_EQ(DateText(Date{1601, 1, 1}, VCardVersion::k30), "1601-01-01");
}

TEST(TimestampTextTest, UtcFromSecondsSince1970) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "19700101T000000Z"},
      {1700000000, "20231114T221320Z"},
      {951782400, "20000229T000000Z"},
      {951868799, "20000229T235959Z"},
      {-1, "19691231T235959Z"},
      {-86400, "19691231T000000Z"},
      {-86401, "19691230T235959Z"},
      {-11644473600LL, "16010101T000000Z"},  // the first FILETIME
      {32503680000LL, "30000101T000000Z"},
      {81764121599LL, "45601231T235959Z"},
  };
  for (const auto& [seconds, basic] : cases) {
    EXPECT_EQ(TimestampText(seconds, VCardVersion::k21), basic) << seconds;
    EXPECT_EQ(TimestampText(seconds, VCardVersion::k40), basic) << seconds;
    const std::string b = basic;
    const std::string extended = b.substr(0, 4) + "-" + b.substr(4, 2) + "-" + b.substr(6, 2) +
                                 "T" + b.substr(9, 2) + ":" + b.substr(11, 2) + ":" +
                                 b.substr(13, 2) + "Z";
    EXPECT_EQ(TimestampText(seconds, VCardVersion::k30), extended) << seconds;
  }
}

TEST(FoldTest, ExactPlaces) {
  EXPECT_EQ(Fold("FN:Jane"), "FN:Jane\r\n");
  const std::string a75(75, 'a');
  EXPECT_EQ(Fold(a75), a75 + "\r\n");
  EXPECT_EQ(Fold(a75 + "bc"), a75 + "\r\n bc\r\n");
  // The continuation's space counts: 74 octets of text follow it.
  EXPECT_EQ(Fold(a75 + std::string(74, 'b') + "c"),
            a75 + "\r\n " + std::string(74, 'b') + "\r\n c\r\n");
  // A two-octet character that would end at octet 76 moves to the next line whole.
  EXPECT_EQ(Fold(std::string(74, 'a') + "\xC3\xA9"), std::string(74, 'a') + "\r\n \xC3\xA9\r\n");
}

TEST(FoldTest, BytesThatAreNotUtf8StandAlone) {
  const std::string line = std::string(74, 'a') + "\xE5\xB1" + std::string(10, 'z');
  const std::string folded = Fold(line);
  EXPECT_EQ(folded, std::string(74, 'a') + "\xE5" + "\r\n \xB1" + std::string(10, 'z') + "\r\n");
}

TEST(QuotedPrintableTest, ExactEncoding) {
  EXPECT_EQ(QuotedPrintable("a=b", 5), "a=3Db\r\n");
  EXPECT_EQ(QuotedPrintable("caf\xC3\xA9", 5), "caf=C3=A9\r\n");
  EXPECT_EQ(QuotedPrintable("one\ntwo", 5), "one=0D=0Atwo\r\n");
  EXPECT_EQ(QuotedPrintable("trailing ", 5), "trailing=20\r\n");
  EXPECT_EQ(QuotedPrintable("space \nnext", 5), "space=20=0D=0Anext\r\n");
  // A soft break keeps every physical line within 76 characters, "=" included.
  EXPECT_EQ(QuotedPrintable(std::string(80, 'q'), 0),
            std::string(75, 'q') + "=\r\n" + std::string(5, 'q') + "\r\n");
  EXPECT_EQ(QuotedPrintable(std::string(76, 'q'), 0), std::string(76, 'q') + "\r\n");
}

TEST(CleanTextTest, KeepsValidTextAndReplacesTheRest) {
  EXPECT_EQ(CleanText("Smith, John"), "Smith, John");
  EXPECT_EQ(CleanText("a\r\n\r\nb"), "a\n\nb");
  EXPECT_EQ(CleanText("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // an overlong "/"
  EXPECT_EQ(CleanText("\xF4\x90\x80\x80"),
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // above U+10FFFF
  EXPECT_EQ(CleanText("\xE5\xB1\xB1"), "\xE5\xB1\xB1");
  EXPECT_EQ(CleanText(std::string("\x1B[0m", 4)), "[0m");
}

// Whole small cards in 3.0 and 4.0, to the byte (2.1: tests/pst/vcard_test.cpp, Card21Test).
Contact SmallContact() {
  Contact c;
  c.surname = "Smith";
  c.givenName = "John";
  c.displayName = "John Smith";
  c.phones = {{PhoneKind::kTty, "555-0000"}, {PhoneKind::kPrimary, "555-1111"}};
  c.home = {"", "1 Main St", "Springfield", "", "62701", "", "1 Main St\nSpringfield 62701"};
  c.mailing = MailingAddress::kHome;
  c.imAddress = "john@im.example";
  c.anniversary = Date{2001, 6, 16};
  c.lastModified = 1700000000;
  return c;
}

TEST(CardTest, Small30) {
  EXPECT_EQ(WriteVCard(SmallContact(), VCardVersion::k30),
            "BEGIN:VCARD\r\n"
            "VERSION:3.0\r\n"
            "N:Smith;John;;;\r\n"
            "FN:John Smith\r\n"
            "TEL;TYPE=voice,pref:555-1111\r\n"
            "TEL;TYPE=textphone:555-0000\r\n"
            "ADR;TYPE=home,pref:;;1 Main St;Springfield;;62701;\r\n"
            "LABEL;TYPE=home,pref:1 Main St\\nSpringfield 62701\r\n"
            "X-MS-OL-DEFAULT-POSTAL-ADDRESS:1\r\n"
            "X-MS-ANNIVERSARY:2001-06-16\r\n"
            "X-MS-IMADDRESS:john@im.example\r\n"
            "REV:2023-11-14T22:13:20Z\r\n"
            "END:VCARD\r\n");
}

TEST(CardTest, Small40) {
  EXPECT_EQ(WriteVCard(SmallContact(), VCardVersion::k40),
            "BEGIN:VCARD\r\n"
            "VERSION:4.0\r\n"
            "N:Smith;John;;;\r\n"
            "FN:John Smith\r\n"
            "TEL;TYPE=voice;PREF=1:555-1111\r\n"
            "TEL;TYPE=textphone:555-0000\r\n"
            "ADR;TYPE=home;PREF=1;LABEL=\"1 Main St^nSpringfield 62701\":;;1 Main St;Sprin\r\n"
            " gfield;;62701;\r\n"
            "X-MS-OL-DEFAULT-POSTAL-ADDRESS:1\r\n"
            "ANNIVERSARY:20010616\r\n"
            "IMPP:sip:john@im.example\r\n"
            "REV:20231114T221320Z\r\n"
            "END:VCARD\r\n");
}

TEST(CardTest, Tty21IsAnXMsTel) {
  Contact c;
  c.surname = "Smith";
  c.phones = {{PhoneKind::kTty, "555-0000"}};
  EXPECT_EQ(WriteVCard(c, VCardVersion::k21),
            "BEGIN:VCARD\r\n"
            "VERSION:2.1\r\n"
            "N:Smith\r\n"
            "FN:Smith\r\n"
            "X-MS-TEL;TYPE=TTYTDD:555-0000\r\n"
            "END:VCARD\r\n");
}

}  // namespace
}  // namespace tarnvex::vcard
