// The vCard writer's building blocks, and small cards compared whole. Reading cards back with
// parsers that are not ours is tests/vcard/vcard_test.cpp's part.

#include "vcard/writer.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "text/utf.h"

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

// Each version's escapes, by where the text stands: 3.0 escapes backslash, comma, semicolon and
// line breaks everywhere; 4.0 the semicolon only in a component; 2.1 has "\;" in a component and
// nothing else but the backslash, and "\," in a CATEGORIES item.
TEST(EscapeTest, EachVersionByPlace) {
  const std::string in = "a\\b,c;d\ne";
  struct Case {
    VCardVersion version;
    ValueKind kind;
    std::string out;
  };
  const Case cases[] = {
      {VCardVersion::k21, ValueKind::kText, "a\\\\b,c;d\ne"},
      {VCardVersion::k21, ValueKind::kComponent, "a\\\\b,c\\;d\ne"},
      {VCardVersion::k21, ValueKind::kListItem, "a\\\\b\\,c;d\ne"},
      {VCardVersion::k30, ValueKind::kText, "a\\\\b\\,c\\;d\\ne"},
      {VCardVersion::k30, ValueKind::kComponent, "a\\\\b\\,c\\;d\\ne"},
      {VCardVersion::k30, ValueKind::kListItem, "a\\\\b\\,c\\;d\\ne"},
      {VCardVersion::k40, ValueKind::kText, "a\\\\b\\,c;d\\ne"},
      {VCardVersion::k40, ValueKind::kComponent, "a\\\\b\\,c\\;d\\ne"},
      {VCardVersion::k40, ValueKind::kListItem, "a\\\\b\\,c;d\\ne"},
  };
  for (const auto& c : cases) {
    std::string out = "x";
    EscapeInto(out, in, c.version, c.kind);
    EXPECT_EQ(out, "x" + c.out) << static_cast<int>(c.version) << " " << static_cast<int>(c.kind);
  }
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

// Every field in its full width, zeros before it, as printf's "%04d" and "%02d" write them.
TEST(DateTextTest, FieldsKeepTheirWidth) {
  const std::pair<Date, const char*> cases[] = {
      {{1, 1, 1}, "0001-01-01"},      {{33, 10, 9}, "0033-10-09"},    {{999, 12, 31}, "0999-12-31"},
      {{9999, 12, 31}, "9999-12-31"}, {{12345, 6, 7}, "12345-06-07"}, {{-5, 1, 1}, "-005-01-01"},
  };
  for (const auto& [date, text] : cases)
    EXPECT_EQ(DateText(date, VCardVersion::k30), text) << text;
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

// A fold leaves no space or tab at either end of a line and parts no escape from its
// character: it moves back a few characters of ASCII instead.
TEST(FoldTest, NoBlankAtALineEndAndNoEscapeParted) {
  const std::string a74(74, 'a');
  EXPECT_EQ(Fold(a74 + " b"), std::string(73, 'a') + "\r\n a b\r\n");
  EXPECT_EQ(Fold(a74 + "b c"), a74 + "\r\n b c\r\n");
  EXPECT_EQ(Fold(a74 + "\\,b"), a74 + "\r\n \\,b\r\n");
  EXPECT_EQ(Fold(std::string(73, 'a') + "\\\\,b"), std::string(73, 'a') + "\\\\\r\n ,b\r\n");
  EXPECT_EQ(Fold(a74 + "^^b"), a74 + "\r\n ^^b\r\n");
  // Trailing white space never makes a line of its own.
  EXPECT_EQ(Fold(a74 + "b   "), a74 + "\r\n b   \r\n");
}

TEST(FoldTest, BytesThatAreNotUtf8StandAlone) {
  const std::string line = std::string(74, 'a') + "\xE5\xB1" + std::string(10, 'z');
  const std::string folded = Fold(line);
  EXPECT_EQ(folded, std::string(74, 'a') + "\xE5" + "\r\n \xB1" + std::string(10, 'z') + "\r\n");
}

struct QpCase {
  std::string value;
  std::string encoded;
};

// Outlook's form: each line break is =0D=0A and a soft break, nothing else breaks a line.
TEST(QuotedPrintableTest, OutlooksForm) {
  const std::vector<QpCase> cases = {
      {"a=b", "a=3Db\r\n"},
      {"caf\xC3\xA9", "caf=C3=A9\r\n"},
      {"one\ntwo", "one=0D=0A=\r\ntwo\r\n"},
      // Outlook's own LABEL: the soft breaks stand right after the encoded line breaks.
      {"222 Broadway\nNew York, NY 99999\nUSA",
       "222 Broadway=0D=0A=\r\nNew York, NY 99999=0D=0A=\r\nUSA\r\n"},
      // A line of any length stays whole.
      {std::string(200, 'q') + "\nx", std::string(200, 'q') + "=0D=0A=\r\nx\r\n"},
      // A line break at the end is the value's own: no soft break follows it.
      {"last\n", "last=0D=0A\r\n"},
      {"\n\n", "=0D=0A=\r\n=0D=0A\r\n"},
      // A tab or space inside a line is literal, also before a line break.
      {"a b\tc\nd", "a b\tc=0D=0A=\r\nd\r\n"},
      {"space \nnext", "space =0D=0A=\r\nnext\r\n"},
      {" lead\nx", " lead=0D=0A=\r\nx\r\n"},
      // Where a physical line would start or end with white space, it is encoded.
      {"x\n  indented", "x=0D=0A=\r\n=20 indented\r\n"},
      {"x\n\tcolumn", "x=0D=0A=\r\n=09column\r\n"},
      {"x\ntrail \t", "x=0D=0A=\r\ntrail =09\r\n"},
      // Control characters and 8-bit bytes of any code page, byte by byte.
      {"\x01\x7F\nStra\xDF"
       "e",
       "=01=7F=0D=0A=\r\nStra=DFe\r\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QuotedPrintable(c.value), c.encoded) << c.value;
}

// Decodes quoted-printable, checking that every soft break stands right after an encoded line
// break and that no physical line starts or ends with white space (the first one starts after
// the property's name and colon).
std::string DecodeCheckingQp(const std::string& qp, const std::string& value) {
  std::string decoded;
  size_t start = 0;
  bool first = true;
  while (start < qp.size()) {
    const size_t end = qp.find("\r\n", start);
    EXPECT_NE(end, std::string::npos);
    if (end == std::string::npos)
      break;
    std::string line = qp.substr(start, end - start);
    start = end + 2;
    const bool soft = !line.empty() && line.back() == '=' && start < qp.size();
    if (soft) {
      line.pop_back();
      EXPECT_TRUE(line.ends_with("=0D=0A")) << "a soft break inside a line: " << value;
    }
    if (!line.empty() && !first) {
      EXPECT_FALSE(line.front() == ' ' || line.front() == '\t') << "line starts blank: " << value;
    }
    if (!line.empty() && !soft) {
      EXPECT_FALSE(line.back() == ' ' || line.back() == '\t') << "line ends blank: " << value;
    }
    first = false;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] != '=') {
        decoded += line[i];
        continue;
      }
      EXPECT_LT(i + 2, line.size()) << "a triplet split: " << value;
      if (i + 2 >= line.size())
        return {};
      decoded += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
      i += 2;
    }
  }
  return decoded;
}

TEST(QuotedPrintableTest, EveryValueDecodesBack) {
  const std::vector<std::string> pieces = {" on Saturday!",
                                           "\tcolumn",
                                           "  two",
                                           " ",
                                           "\t",
                                           "\xC3\xA9\xC3\xA9",
                                           "\xF0\x9F\x98\x80 x",
                                           "=3D",
                                           "\n next",
                                           " \n",
                                           "\n\n",
                                           "a \tb",
                                           "\n"};
  for (const auto& first : pieces) {
    for (const auto& second : pieces) {
      for (const auto& third : pieces) {
        const std::string value = first + "x" + second + third;
        std::string expected;
        for (char c : value)
          expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
        EXPECT_EQ(DecodeCheckingQp(QuotedPrintable(value), value), expected) << value;
      }
    }
  }
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

// Where valid text and what is not meet inside one run of text.
TEST(CleanTextTest, BreaksRunsWhereTheTextIsNotValid) {
  const std::string kFffd = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {"caf\xC3\xA9 \xE6\xBC\xA2\xF0\x9F\x98\x80!", "caf\xC3\xA9 \xE6\xBC\xA2\xF0\x9F\x98\x80!"},
      {"a\xC3\xA9\xFF"
       "b\xC3\xA9",
       "a\xC3\xA9" + kFffd + "b\xC3\xA9"},
      {"\xC3\xA9\x80\xC3\xA9", "\xC3\xA9" + kFffd + "\xC3\xA9"},  // a stray continuation byte
      {"end \xE6\xBC", "end " + kFffd + kFffd},                   // a sequence cut short
      {"\xED\xA0\x80x", kFffd + kFffd + kFffd + "x"},             // a surrogate
      {"a\x7F\xC3\xA9\x01"
       "b",
       "a\xC3\xA9"
       "b"},  // DEL and controls dropped
      {"\xC3\xA9\r", "\xC3\xA9\n"},
      {"\xC3\xA9\t\xC3\xA9\n", "\xC3\xA9\t\xC3\xA9\n"},
  };
  for (const auto& [raw, clean] : cases)
    EXPECT_EQ(CleanText(raw), clean) << raw;
}

// Whole small cards in 3.0 and 4.0, to the byte (2.1: tests/vcard/vcard_test.cpp, Card21Test).
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
            "TEL;TYPE=x-ttytdd:555-0000\r\n"  // 3.0 has no textphone type
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
            "X-MS-TEL;VOICE;TTYTDD:555-0000\r\n"
            "END:VCARD\r\n");
}

// The fields MS-OXVCARD maps beside the ones above, in each version's form.
Contact PeopleContact() {
  Contact c;
  c.surname = "Smith";
  c.initials = "J.S.";
  c.officeLocation = "B4, Room 1";
  c.managerName = "Max";
  c.assistantName = "Anna";
  c.spouseName = "Kim";
  c.children = {"Lena", "Tom, Jr."};
  c.gender = Gender::kMale;
  c.hobbies = "Sailing, chess";
  c.sensitivity = Sensitivity::kConfidential;
  c.phones = {{PhoneKind::kCar, "1"}, {PhoneKind::kIsdn, "2"}, {PhoneKind::kTty, "3"}};
  c.businessCardPicture = std::string("\x89PNG\r\n\x1A\n", 8);
  return c;
}

// Latin-1 as a stand-in for the platform's code pages: holds U+0000 to U+00FF, whatever the page.
class Latin1Encoder : public CodePageEncoder {
 public:
  std::optional<std::string> Encode(std::string_view utf8, uint32_t) const override {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
      const char32_t c = text::NextCodePoint(utf8, i);
      if (c > 0xFF)
        return std::nullopt;
      out += static_cast<char>(c);
    }
    return out;
  }
};

// In Outlook's charset a value beyond ASCII is written in the contact's code page, named as
// Windows names it; a value the page cannot hold, or a page no name is known for, stays UTF-8.
TEST(CardTest, OutlookCharsetWritesTheContactsCodePage) {
  const Latin1Encoder latin1;
  Contact c;
  c.surname = "M\xC3\xBCller";             // Müller: in the page
  c.company = "\xD0\x9E\xD0\x9E\xD0\x9E";  // ООО: not
  c.notes =
      "Stra\xC3\x9F"
      "e 1\nK\xC3\xB6ln";
  c.jobTitle = "Plain";
  c.codePage = 1252;
  const CardForm outlook{VCardVersion::k21, Charset::kOutlook, &latin1};
  EXPECT_EQ(WriteVCard(c, outlook),
            "BEGIN:VCARD\r\n"
            "VERSION:2.1\r\n"
            "N;CHARSET=Windows-1252:M\xFCller\r\n"
            "FN;CHARSET=Windows-1252:M\xFCller\r\n"
            "ORG;CHARSET=UTF-8:\xD0\x9E\xD0\x9E\xD0\x9E\r\n"
            "TITLE:Plain\r\n"
            "NOTE;CHARSET=Windows-1252;ENCODING=QUOTED-PRINTABLE:Stra=DFe 1=0D=0A=\r\n"
            "K=F6ln\r\n"
            "END:VCARD\r\n");
  // Without an encoder, or for a code page with no name, the text stays UTF-8.
  const std::string utf8 = WriteVCard(c, VCardVersion::k21);
  EXPECT_EQ(WriteVCard(c, CardForm{VCardVersion::k21, Charset::kOutlook, nullptr}), utf8);
  c.codePage = 4242;
  EXPECT_EQ(WriteVCard(c, outlook), utf8);
  // 3.0 and 4.0 are UTF-8 whatever the form asks.
  c.codePage = 1252;
  EXPECT_EQ(WriteVCard(c, CardForm{VCardVersion::k30, Charset::kOutlook, &latin1}),
            WriteVCard(c, VCardVersion::k30));
}

// The writer keeps its buffers from card to card: what one card left in them never shows in the
// next, in any version or charset.
TEST(CardTest, ACardIsTheSameWrittenAfterAnyOther) {
  const Latin1Encoder latin1;
  Contact big;
  big.surname = "M\xC3\xBCller";
  big.company = std::string(100000, 'c') + ";,\\";
  big.notes = std::string(200000, 'n') + "\r\nK\xC3\xB6ln\r\n";
  big.photo = std::string(150000, '\xFF');
  big.emails[0] = "big@example.com";
  big.codePage = 1252;
  Contact small;
  small.givenName = "Ann";
  small.notes = "two\nlines";
  small.emails[0] = "ann@example.com";
  small.codePage = 1252;
  for (const VCardVersion version : {VCardVersion::k21, VCardVersion::k30, VCardVersion::k40}) {
    for (const CardForm form : {CardForm{version}, CardForm{version, Charset::kOutlook, &latin1}}) {
      std::string alone;
      std::thread([&] { alone = WriteVCard(small, form); }).join();  // a thread's first card
      WriteVCard(big, form);
      EXPECT_EQ(WriteVCard(small, form), alone) << static_cast<int>(version);
    }
  }
}

TEST(CharsetNameTest, WindowsNamesForTheAnsiCodePages) {
  const std::pair<uint32_t, std::string_view> cases[] = {
      {1250, "Windows-1250"},
      {1252, "Windows-1252"},
      {1258, "Windows-1258"},
      {874, "Windows-874"},
      {932, "Shift_JIS"},
      {936, "GB2312"},
      {949, "ks_c_5601-1987"},
      {950, "Big5"},
      {20866, "KOI8-R"},
      {28605, "ISO-8859-15"},
      {65001, ""},
      {50220, ""},
      {0, ""},
  };
  for (const auto& [codePage, name] : cases)
    EXPECT_EQ(CharsetName(codePage), name) << codePage;
}

// A one-line value is never quoted-printable, however long, whatever it holds.
TEST(CardTest, OneLineValuesStandAsTheyAre) {
  Contact c;
  c.surname = std::string(300, 's');
  c.jobTitle = " leading and trailing blanks ";
  c.company = "a=b;c, d\te";
  c.notes = std::string(500, 'n') + " \xC3\xA9";
  const std::string card = WriteVCard(c, VCardVersion::k21);
  EXPECT_EQ(card.find("QUOTED-PRINTABLE"), std::string::npos) << card;
  EXPECT_NE(card.find("\r\nN:" + std::string(300, 's') + "\r\n"), std::string::npos);
  EXPECT_NE(card.find("\r\nTITLE: leading and trailing blanks \r\n"), std::string::npos);
  EXPECT_NE(card.find("\r\nORG:a=b\\;c, d\te\r\n"), std::string::npos);
  EXPECT_NE(card.find("\r\nNOTE;CHARSET=UTF-8:" + std::string(500, 'n') + " \xC3\xA9\r\n"),
            std::string::npos);
}

// The office goes into the work address in every version; 2.1 has no line for the initials and
// the sensitivity, as Outlook's own cards have none.
TEST(CardTest, People21) {
  EXPECT_EQ(WriteVCard(PeopleContact(), VCardVersion::k21),
            "BEGIN:VCARD\r\n"
            "VERSION:2.1\r\n"
            "N:Smith\r\n"
            "FN:Smith\r\n"
            "TEL;CAR;VOICE:1\r\n"
            "TEL;ISDN:2\r\n"
            "X-MS-TEL;VOICE;TTYTDD:3\r\n"
            "ADR;WORK:;B4, Room 1;;;;;\r\n"
            "X-WAB-GENDER:2\r\n"
            "X-MS-CARDPICTURE;TYPE=PNG;ENCODING=BASE64:\r\n"
            " iVBORw0KGgo=\r\n"
            "\r\n"
            "X-MS-MANAGER:Max\r\n"
            "X-MS-ASSISTANT:Anna\r\n"
            "X-MS-SPOUSE:Kim\r\n"
            "X-MS-CHILD:Lena\r\n"
            "X-MS-CHILD:Tom, Jr.\r\n"
            "X-MS-INTERESTS:Sailing, chess\r\n"
            "END:VCARD\r\n");
}

TEST(CardTest, People30) {
  EXPECT_EQ(WriteVCard(PeopleContact(), VCardVersion::k30),
            "BEGIN:VCARD\r\n"
            "VERSION:3.0\r\n"
            "N:Smith;;;;\r\n"
            "FN:Smith\r\n"
            "X-INITIALS:J.S.\r\n"
            "X-OFFICE-LOCATION:B4\\, Room 1\r\n"
            "TEL;TYPE=car,voice:1\r\n"
            "TEL;TYPE=isdn:2\r\n"
            "TEL;TYPE=x-ttytdd:3\r\n"
            "ADR;TYPE=work:;B4\\, Room 1;;;;;\r\n"
            "X-WAB-GENDER:2\r\n"
            "X-MS-CARDPICTURE;ENCODING=b;TYPE=PNG:iVBORw0KGgo=\r\n"
            "X-MS-MANAGER;TYPE=N:Max\r\n"
            "X-MS-ASSISTANT;TYPE=N:Anna\r\n"
            "X-MS-SPOUSE;TYPE=N:Kim\r\n"
            "X-MS-CHILD:Lena\r\n"
            "X-MS-CHILD:Tom\\, Jr.\r\n"
            "X-MS-INTERESTS:Sailing\\, chess\r\n"
            "CLASS:CONFIDENTIAL\r\n"
            "END:VCARD\r\n");
}

TEST(CardTest, People40) {
  EXPECT_EQ(WriteVCard(PeopleContact(), VCardVersion::k40),
            "BEGIN:VCARD\r\n"
            "VERSION:4.0\r\n"
            "N:Smith;;;;\r\n"
            "FN:Smith\r\n"
            "X-INITIALS:J.S.\r\n"
            "X-OFFICE-LOCATION:B4\\, Room 1\r\n"
            "TEL;TYPE=car,voice:1\r\n"
            "TEL;TYPE=isdn:2\r\n"
            "TEL;TYPE=textphone:3\r\n"
            "ADR;TYPE=work:;B4\\, Room 1;;;;;\r\n"
            "GENDER:M\r\n"
            "X-MS-CARDPICTURE;VALUE=uri:data:image/png;base64,iVBORw0KGgo=\r\n"
            "X-MS-MANAGER;TYPE=N:Max\r\n"
            "RELATED;TYPE=agent;VALUE=text:Anna\r\n"
            "RELATED;TYPE=spouse;VALUE=text:Kim\r\n"
            "RELATED;TYPE=child;VALUE=text:Lena\r\n"
            "RELATED;TYPE=child;VALUE=text:Tom\\, Jr.\r\n"
            "X-MS-INTERESTS:Sailing\\, chess\r\n"
            "X-CLASS:CONFIDENTIAL\r\n"
            "END:VCARD\r\n");
}

}  // namespace
}  // namespace tarnvex::vcard
