// The vCard writer: its encoding rules, and whole cards in all three versions read back by
// parsers that are not ours.

#include "vcard/writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/platform/standin/sample_contact.h"
#include "tests/sandbox/sandbox.h"
#include "tests/support/card_parsers.h"
#include "text/utf.h"

namespace tarnvex::vcard {
namespace {

namespace testing = tarnvex::testing;
using standin::testing::FullContact;
using standin::testing::kJpeg;
using testing::All;
using testing::One;
using testing::ParsedCard;
using namespace detail;

std::vector<std::string> PhysicalLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "a line without CRLF";
    if (end == std::string::npos)
      break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The TYPE values of the telephone line of the number, read from the card text.
std::set<std::string> RawTypes(const std::string& text, const std::string& number) {
  std::string unfolded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "\r\n ") == 0) {
      i += 2;
      continue;
    }
    unfolded += text[i];
  }
  std::set<std::string> types;
  std::istringstream lines(unfolded);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    const std::string tail = ":" + number;
    if (line.size() < tail.size() || line.compare(line.size() - tail.size(), tail.size(), tail))
      continue;
    for (size_t pos = line.find("TYPE=");
         pos != std::string::npos && pos < line.size() - tail.size();
         pos = line.find("TYPE=", pos + 1)) {
      const size_t end = line.find_first_of(";:", pos);
      std::string list = line.substr(pos + 5, end - pos - 5);
      std::istringstream items(list);
      std::string item;
      while (std::getline(items, item, ',')) {
        for (auto& ch : item)
          ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        types.insert(item);
      }
    }
  }
  return types;
}

// --- Building blocks -------------------------------------------------------------------------

struct FoldCase {
  const char* name;
  std::string line;
};

class FoldTest : public ::testing::TestWithParam<FoldCase> {};

TEST_P(FoldTest, LinesStayWithin75OctetsAndUnfoldToTheOriginal) {
  const std::string& line = GetParam().line;
  const std::string folded = Fold(line);
  std::string unfolded;
  bool firstLine = true;
  for (const auto& physical : PhysicalLines(folded)) {
    EXPECT_LE(physical.size(), 75u);
    EXPECT_TRUE(text::IsValidUtf8(physical)) << "a UTF-8 sequence was split: " << physical;
    if (!firstLine) {
      ASSERT_FALSE(physical.empty());
      EXPECT_EQ(physical[0], ' ');
    }
    unfolded += firstLine ? physical : physical.substr(1);
    firstLine = false;
  }
  EXPECT_EQ(unfolded, line);
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i)
    out += s;
  return out;
}

INSTANTIATE_TEST_SUITE_P(Lines, FoldTest,
                         ::testing::Values(FoldCase{"Short", "FN:Jane"},
                                           FoldCase{"Exactly75", std::string(75, 'a')},
                                           FoldCase{"Exactly76", std::string(76, 'a')},
                                           FoldCase{"Long", std::string(400, 'x')},
                                           FoldCase{"TwoByte", "NOTE:" + Repeat("é", 100)},
                                           FoldCase{"ThreeByte", "NOTE:" + Repeat("漢", 100)},
                                           FoldCase{"FourByte", "NOTE:" + Repeat("😀", 60)},
                                           FoldCase{"Mixed", "N:" + Repeat("aé漢😀", 40)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Base64Test, Rfc4648Vectors) {
  const std::pair<const char*, const char*> cases[] = {{"", ""},
                                                       {"f", "Zg=="},
                                                       {"fo", "Zm8="},
                                                       {"foo", "Zm9v"},
                                                       {"foob", "Zm9vYg=="},
                                                       {"fooba", "Zm9vYmE="},
                                                       {"foobar", "Zm9vYmFy"}};
  for (const auto& [in, out] : cases)
    EXPECT_EQ(Base64(in), out) << in;
  EXPECT_EQ(Base64(std::string("\xFF\xD8\xFF\x00", 4)), "/9j/AA==");
}

TEST(CleanTextTest, LineBreaksControlsAndBadBytes) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\r\nb\rc\nd", "a\nb\nc\nd"},
      {std::string("x\0y\x01z\x7F", 6), "xyz"},
      {"tab\tkept", "tab\tkept"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"bad\xC3", "bad\xEF\xBF\xBD"},
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a UTF-16 surrogate
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
  };
  for (const auto& [in, out] : cases)
    EXPECT_EQ(CleanText(in), out) << in;
}

// --- Whole cards -----------------------------------------------------------------------------

// One folder for the cards the parsers read, removed when the suite ends.
const testing::Sandbox& CardFolder() {
  static const testing::Sandbox folder;
  return folder;
}

std::vector<ParsedCard> ParseAll(const std::vector<std::string>& texts, VCardVersion v) {
  if (v == VCardVersion::k40) {
    std::vector<ParsedCard> out;
    for (const auto& t : texts)
      out.push_back(testing::ParseWithBelcard(t));
    return out;
  }
  static int counter = 0;
  std::vector<std::string> paths;
  for (const auto& t : texts) {
    paths.push_back(CardFolder() / ("card" + std::to_string(++counter) + ".vcf"));
    std::ofstream(paths.back(), std::ios::binary) << t;
  }
  // vobject reads every card by vCard 3.0's value rules; 2.1's are its own (no "\\,").
  return testing::ParseWithVobject(paths, {.lexical = v == VCardVersion::k21});
}

ParsedCard Parse(const std::string& text, VCardVersion v) {
  return ParseAll({text}, v).front();
}

std::string Name(VCardVersion v) {
  return v == VCardVersion::k21 ? "V21" : v == VCardVersion::k30 ? "V30" : "V40";
}

class CardTest : public ::testing::TestWithParam<VCardVersion> {};

TEST_P(CardTest, WellFormedLines) {
  const VCardVersion v = GetParam();
  const std::string text = WriteVCard(FullContact(), v);
  const auto lines = PhysicalLines(text);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.front(), "BEGIN:VCARD");
  EXPECT_EQ(lines[1], v == VCardVersion::k21   ? "VERSION:2.1"
                      : v == VCardVersion::k30 ? "VERSION:3.0"
                                               : "VERSION:4.0");
  EXPECT_EQ(lines.back(), "END:VCARD");
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "a bare LF";
  for (const auto& l : lines) {
    // 2.1 lines are never folded, as Outlook writes them.
    if (v != VCardVersion::k21) {
      EXPECT_LE(l.size(), 76u) << l;
    }
    EXPECT_TRUE(text::IsValidUtf8(l)) << l;
  }
  if (v != VCardVersion::k21) {
    EXPECT_EQ(text.find("QUOTED-PRINTABLE"), std::string::npos);
    EXPECT_EQ(text.find("CHARSET"), std::string::npos);
  }
}

TEST_P(CardTest, EveryMappedPropertyReadsBack) {
  const VCardVersion v = GetParam();
  const Contact c = FullContact();
  const std::string text = WriteVCard(c, v);
  const ParsedCard card = Parse(text, v);

  EXPECT_EQ(One(card, "N").value,
            (std::vector<std::string>{c.surname, c.givenName, c.middleName, c.prefix, c.suffix}));
  EXPECT_EQ(One(card, "FN").value.at(0), c.displayName);
  EXPECT_EQ(One(card, "NICKNAME").value.at(0), c.nickname);
  EXPECT_EQ(One(card, "ORG").value, (std::vector<std::string>{c.company, c.department}));
  EXPECT_EQ(One(card, "TITLE").value.at(0), c.jobTitle);
  EXPECT_EQ(One(card, "ROLE").value.at(0), c.profession);
  std::string notes = c.notes;
  if (v == VCardVersion::k21) {
    // 2.1 carries the line breaks as CRLF inside quoted-printable.
    notes = "First line, with comma; and semicolon\\backslash.\r\nSecond line: ünïcödé 漢字.\r\n" +
            std::string(200, 'n');
  }
  EXPECT_EQ(One(card, "NOTE").value.at(0), notes);

  // Telephones: every number once, with its types.
  std::map<std::string, testing::ParsedProperty> tel;
  for (const auto& p : All(card, "TEL"))
    tel[p.value.at(0)] = p;
  for (const auto& p : All(card, "X-MS-TEL"))
    tel[p.value.at(0)] = p;
  // Outlook's 2.1 has no telex number.
  EXPECT_EQ(tel.size(), c.phones.size() - (v == VCardVersion::k21 ? 1 : 0));
  // belcard keeps only the last entry of a TYPE list, so for 4.0 the types come from the card's
  // own (unfolded) line, which belcard has accepted as a whole.
  auto types = [&](const std::string& number) {
    if (v != VCardVersion::k40)
      return tel[number].types;
    return RawTypes(text, number);
  };
  using S = std::set<std::string>;
  EXPECT_EQ(types("+46 8 123 45"), (S{"work", "voice"}));
  EXPECT_EQ(types("+46 8 555 01"), (S{"home", "voice"}));
  EXPECT_EQ(types("+46 70 111 22 33"), (S{"cell", "voice"}));
  EXPECT_EQ(types("444"), (S{"work", "fax"}));
  EXPECT_EQ(types("555"), (S{"home", "fax"}));
  EXPECT_EQ(types("666"), (S{"fax"}));
  // X-MS-TEL;VOICE;ASSISTANT in 2.1, as Outlook writes it; TEL;TYPE=x-assistant in 3.0 and 4.0.
  const bool v21 = v == VCardVersion::k21;
  EXPECT_EQ(types("999"), v21 ? (S{"voice", "assistant"}) : (S{"x-assistant"}));
  EXPECT_EQ(types("1111"), v21 ? (S{"voice", "company"}) : (S{"x-company"}));
  EXPECT_TRUE(tel["777"].pref) << "the primary number is preferred";
  EXPECT_FALSE(tel["888"].pref);
  if (v != VCardVersion::k40) {
    EXPECT_EQ(types("111").count("pager"), 1u);
    EXPECT_EQ(types("222").count("car"), 1u);
    EXPECT_EQ(types("333").count("isdn"), 1u);
  } else {
    EXPECT_EQ(types("111"), (S{"pager"}));
    EXPECT_EQ(types("1414"), (S{"textphone"}));
  }

  // Addresses: all three, the mailing (home) one preferred.
  const auto adrs = All(card, "ADR");
  ASSERT_EQ(adrs.size(), 3u);
  EXPECT_EQ(adrs[0].value, (std::vector<std::string>{"Box 12", "", "Storgatan 1", "Stockholm",
                                                     "Stockholms län", "111 22", "Sweden"}));
  EXPECT_TRUE(adrs[0].types.count("work"));
  EXPECT_FALSE(adrs[0].pref);
  EXPECT_EQ(adrs[1].value, (std::vector<std::string>{"", "", "Hemvägen 5; lgh 3", "Uppsala", "",
                                                     "753 10", "Sweden"}));
  EXPECT_TRUE(adrs[1].types.count("home"));
  EXPECT_TRUE(adrs[1].pref);
  EXPECT_EQ(adrs[2].value.at(3), "Oslo");
  if (v == VCardVersion::k40) {
    EXPECT_EQ(adrs[0].params.at("LABEL"), "\"Storgatan 1^nStockholm 111 22^nSweden\"");
    EXPECT_TRUE(All(card, "LABEL").empty());
  } else {
    const auto labels = All(card, "LABEL");
    ASSERT_EQ(labels.size(), 2u);
    const std::string br = v == VCardVersion::k21 ? "\r\n" : "\n";
    EXPECT_EQ(labels[0].value.at(0), "Storgatan 1" + br + "Stockholm 111 22" + br + "Sweden");
    EXPECT_TRUE(labels[0].types.count("work"));
  }

  const auto emails = All(card, "EMAIL");
  ASSERT_EQ(emails.size(), 2u);
  EXPECT_EQ(emails[0].value.at(0), "asa@example.se");
  EXPECT_TRUE(emails[0].pref);
  EXPECT_EQ(emails[1].value.at(0), "asa.private@example.org");
  EXPECT_FALSE(emails[1].pref);

  // The personal page first, as Outlook writes them.
  const auto urls = All(card, "URL");
  ASSERT_EQ(urls.size(), 2u);
  EXPECT_EQ(urls[0].value.at(0), c.personalHomePage);
  EXPECT_TRUE(urls[0].types.count("home"));
  EXPECT_EQ(urls[1].value.at(0), c.businessHomePage);
  EXPECT_TRUE(urls[1].types.count("work"));
  EXPECT_EQ(One(card, "FBURL").value.at(0), c.freeBusyUrl);

  EXPECT_EQ(One(card, "BDAY").value.at(0), v == VCardVersion::k30 ? "1975-02-28" : "19750228");
  EXPECT_EQ(One(card, v == VCardVersion::k40 ? "ANNIVERSARY" : "X-MS-ANNIVERSARY").value.at(0),
            v == VCardVersion::k30 ? "2001-06-16" : "20010616");
  if (v == VCardVersion::k40) {
    EXPECT_EQ(One(card, "IMPP").value.at(0), "sip:asa@im.example.se");
  } else {
    EXPECT_EQ(One(card, "X-MS-IMADDRESS").value.at(0), c.imAddress);
  }
  EXPECT_EQ(One(card, "CATEGORIES").value,
            (std::vector<std::string>{"Business", "Key, Customer", "Gifts"}));
  EXPECT_EQ(One(card, "REV").value.at(0),
            v == VCardVersion::k30 ? "2023-11-14T22:13:20Z" : "20231114T221320Z");

  const auto photo = One(card, "PHOTO");
  const auto key = One(card, "KEY");
  if (v == VCardVersion::k40) {
    EXPECT_EQ(photo.value.at(0), "data:image/jpeg;base64," + Base64(kJpeg));
    EXPECT_EQ(key.value.at(0), "data:application/pkix-cert;base64," + Base64(c.certificates[0]));
  } else {
    EXPECT_EQ(photo.value.at(0), Base64(kJpeg));  // vobject decodes; the script re-encodes
    EXPECT_TRUE(photo.types.count("jpeg"));
    EXPECT_EQ(key.value.at(0), Base64(c.certificates[0]));
    EXPECT_TRUE(key.types.count("x509"));
  }
}

// Names in the scripts the generator uses, with values long enough to fold inside a character.
TEST_P(CardTest, UnicodeInEveryScript) {
  const VCardVersion v = GetParam();
  const std::vector<std::string> samples = {
      "Zoë Ångström-Øresund Çelik Łukasz Đorđević",
      "Владимир Александрович Кузнецов-Рождественский",
      "Αλέξανδρος Παπαδόπουλος Θεοδωρόπουλος",
      "王秀英 李建国 山田太郎 김민준 สมชาย ใจดี",
      "محمد عبد الرحمن الهاشمي",
      "😀🎉👩‍💻 Emoji Person 🧑🏽‍🚀",
  };
  std::vector<std::string> texts;
  for (const auto& s : samples) {
    Contact c;
    c.surname = s;
    c.givenName = s + s;
    c.displayName = s + " " + s + " " + s;
    c.notes = s + "\n" + s;
    c.company = s;
    texts.push_back(WriteVCard(c, v));
  }
  const auto cards = ParseAll(texts, v);
  for (size_t i = 0; i < samples.size(); ++i) {
    const auto& s = samples[i];
    EXPECT_EQ(One(cards[i], "N").value.at(0), s);
    EXPECT_EQ(One(cards[i], "N").value.at(1), s + s);
    EXPECT_EQ(One(cards[i], "FN").value.at(0), s + " " + s + " " + s);
    EXPECT_EQ(One(cards[i], "NOTE").value.at(0), s + (v == VCardVersion::k21 ? "\r\n" : "\n") + s);
    EXPECT_EQ(One(cards[i], "ORG").value.at(0), s);
  }
}

TEST_P(CardTest, EmptyPropertiesAreLeftOut) {
  const VCardVersion v = GetParam();
  Contact c;
  c.surname = "Only";
  c.phones = {{PhoneKind::kHome, ""}};
  c.emails = {"", "", ""};
  c.categories = {"", ""};
  const std::string text = WriteVCard(c, v);
  std::string expected = "BEGIN:VCARD\r\n";
  if (v == VCardVersion::k21)
    expected += "VERSION:2.1\r\nN:Only\r\nFN:Only\r\n";
  if (v == VCardVersion::k30)
    expected += "VERSION:3.0\r\nN:Only;;;;\r\nFN:Only\r\n";
  if (v == VCardVersion::k40)
    expected += "VERSION:4.0\r\nN:Only;;;;\r\nFN:Only\r\n";
  expected += "END:VCARD\r\n";
  EXPECT_EQ(text, expected);
  Parse(text, v);  // and the parser takes it
}

TEST_P(CardTest, PhotoTypeComesFromTheData) {
  const VCardVersion v = GetParam();
  const std::pair<std::string, std::string> photos[] = {
      {std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16), "png"},
      {"GIF89a\x01\x00\x01\x00", "gif"},
      {kJpeg, "jpeg"},
  };
  for (const auto& [bytes, type] : photos) {
    Contact c;
    c.surname = "Pic";
    c.photo = bytes;
    const auto photo = One(Parse(WriteVCard(c, v), v), "PHOTO");
    if (v == VCardVersion::k40) {
      EXPECT_EQ(photo.value.at(0), "data:image/" + type + ";base64," + Base64(bytes));
    } else {
      EXPECT_EQ(photo.value.at(0), Base64(bytes));
      EXPECT_TRUE(photo.types.count(type)) << type;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, CardTest,
                         ::testing::Values(VCardVersion::k21, VCardVersion::k30, VCardVersion::k40),
                         [](const auto& info) { return Name(info.param); });

// The 2.1 card in the form Outlook writes: bare type names, quoted-printable for a value with
// line breaks alone.
TEST(Card21Test, OutlookForm) {
  Contact c;
  c.surname = "Smith";
  c.givenName = "John";
  c.displayName = "John Smith";
  c.company = "Acme";
  c.phones = {{PhoneKind::kBusiness, "555-1234"}, {PhoneKind::kMobile, "555-9876"}};
  c.work = {"", "1 Main St", "Springfield", "IL", "62701", "USA", ""};
  c.mailing = MailingAddress::kWork;
  c.emails = {"john@acme.example", "", ""};
  c.notes = "Met at the fair.\nCall.";
  c.birthday = Date{1980, 12, 31};
  EXPECT_EQ(WriteVCard(c, VCardVersion::k21),
            "BEGIN:VCARD\r\n"
            "VERSION:2.1\r\n"
            "N:Smith;John\r\n"
            "FN:John Smith\r\n"
            "ORG:Acme\r\n"
            "NOTE;CHARSET=us-ascii;ENCODING=QUOTED-PRINTABLE:Met at the fair.=0D=0A=\r\n"
            "Call.\r\n"
            "TEL;WORK;VOICE:555-1234\r\n"
            "TEL;CELL;VOICE:555-9876\r\n"
            "ADR;WORK;PREF:;;1 Main St;Springfield;IL;62701;USA\r\n"
            "X-MS-OL-DEFAULT-POSTAL-ADDRESS:2\r\n"
            "BDAY:19801231\r\n"
            "EMAIL;PREF;INTERNET:john@acme.example\r\n"
            "END:VCARD\r\n");
}

}  // namespace
}  // namespace tarnvex::vcard
