// Golden cards: each fixture description is written as a PST file, exported by tarnvex-export in
// every vCard version, and the folder of cards is compared byte for byte with the committed one.
// TARNVEX_UPDATE_GOLDEN=1 writes the committed folders anew instead (review the diff!).

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/golden/compare_cards.h"
#include "tests/golden/fixture_names.h"
#include "tests/sandbox/sandbox.h"
#include "tools/pstgen/pstgen_cli.h"

namespace tarnvex::golden {
namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = TARNVEX_GOLDEN_DIR;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// File names as UTF-8 text on every platform.
std::string NameOf(const fs::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}
fs::path PathOf(const std::string& name) {
  return fs::path(std::u8string(name.begin(), name.end()));
}

std::map<std::string, std::string> ReadFolder(const fs::path& folder) {
  std::map<std::string, std::string> files;
  if (!fs::is_directory(folder))
    return files;
  for (const auto& e : fs::directory_iterator(folder))
    files[NameOf(e.path())] = ReadAll(e.path());
  return files;
}

struct Case {
  std::string fixture;  // tests/golden/fixtures/<fixture>.json
  std::string version;  // --vcard-version
  std::string charset;  // --charset, when given
  // tarnvex-pstgen --format, when given: an offline folders file gives the cards of the PST, so
  // it is checked against them and never writes them.
  std::string format;

  // The folder of the committed cards: tests/golden/cards/<fixture>/<version>[-<charset>].
  std::string Folder() const { return charset.empty() ? version : version + "-" + charset; }
};

class GoldenCards : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() {
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("LC_ALL", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "C.UTF-8");
  }
};

TEST_P(GoldenCards, ExportMatchesTheCommittedCards) {
  const Case& c = GetParam();
  testing::Sandbox tmp;
  testing::SandboxedProfile profile(tmp);
  const fs::path pst = tmp.folder() / (c.fixture + (c.format.empty() ? ".pst" : ".ost"));
  const fs::path out = tmp.folder() / "cards";
  fs::create_directory(out);

  std::ostringstream genOut, genErr;
  std::vector<std::string> genArgs = {
      "--json", (kGoldenDir / "fixtures" / (c.fixture + ".json")).string(), "--out", pst.string()};
  if (!c.format.empty()) {
    genArgs.push_back("--format");
    genArgs.push_back(c.format);
  }
  ASSERT_EQ(pstwriter::RunPstgen(genArgs, genOut, genErr), 0) << genErr.str();
  std::ostringstream runOut, runErr;
  std::vector<std::string> args = {"--pst",           pst.string(), "--out",  out.string(),
                                   "--vcard-version", c.version,    "--quiet"};
  if (!c.charset.empty()) {
    args.push_back("--charset");
    args.push_back(c.charset);
  }
  const int status = cli::Run(args, runOut, runErr);
  ASSERT_EQ(status, 0) << runOut.str() << runErr.str();

  const fs::path expectedDir = kGoldenDir / "cards" / c.fixture / c.Folder();
  const auto actual = ReadFolder(out);
  if (std::getenv("TARNVEX_UPDATE_GOLDEN") && c.format.empty()) {
    fs::remove_all(expectedDir);
    fs::create_directories(expectedDir);
    for (const auto& [name, bytes] : actual)
      std::ofstream(expectedDir / PathOf(name), std::ios::binary) << bytes;
    GTEST_SKIP() << "wrote " << expectedDir.string();
  }
  ExpectSameCards(ReadFolder(expectedDir), actual, expectedDir.string());
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const char* fixture : golden::kFixtureNames) {
    for (const char* version : {"2.1", "3.0", "4.0"})
      cases.push_back({fixture, version, "", ""});
  }
  for (const char* fixture : kCodePageFixtureNames)
    cases.push_back({fixture, "2.1", "outlook", ""});
  // The offline folders files of both Outlook generations hold what the PST holds.
  for (const char* format : {"ost", "ost2013"})
    cases.push_back({"full", "2.1", "", format});
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string v = info.param.version;
  v.erase(std::remove(v.begin(), v.end(), '.'), v.end());
  return info.param.fixture + "_v" + v +
         (info.param.charset.empty() ? "" : "_" + info.param.charset) +
         (info.param.format.empty() ? "" : "_" + info.param.format);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, GoldenCards, ::testing::ValuesIn(AllCases()), CaseName);

// --- Cards in Outlook's charset say what the UTF-8 ones say ------------------------------------

// One property of a 2.1 card: its name and parameters without CHARSET, the charset, and the
// value's bytes with quoted-printable decoded.
struct Property21 {
  std::string head;
  std::string charset;
  std::string value;
};

std::string DecodeQuotedPrintable(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '=' && text.compare(i + 1, 2, "\r\n") == 0) {
      i += 2;  // a soft line break
    } else if (text[i] == '=' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The properties of a card, lines continued by quoted-printable soft breaks and base64 blocks
// joined to their property.
std::vector<Property21> Properties21(const std::string& card) {
  std::vector<Property21> out;
  size_t at = 0;
  while (at < card.size()) {
    size_t end = card.find("\r\n", at);
    if (end == std::string::npos)
      end = card.size();
    std::string line = card.substr(at, end - at);
    at = end + 2;
    const bool qp = line.find(";ENCODING=QUOTED-PRINTABLE:") != std::string::npos;
    while (qp && !line.empty() && line.back() == '=' && at < card.size()) {
      end = card.find("\r\n", at);
      line += "\r\n" + card.substr(at, end - at);
      at = end + 2;
    }
    if (line.empty() || line[0] == ' ') {
      if (!out.empty())
        out.back().value += line;  // a line of base64 data, or the empty line that ends it
      continue;
    }
    Property21 p;
    const size_t colon = line.find(':');
    p.head = line.substr(0, colon);
    p.value = colon == std::string::npos ? "" : line.substr(colon + 1);
    if (const size_t cs = p.head.find(";CHARSET="); cs != std::string::npos) {
      const size_t csEnd = p.head.find_first_of(";:", cs + 1);
      p.charset = p.head.substr(cs + 9, csEnd == std::string::npos ? csEnd : csEnd - cs - 9);
      p.head.erase(cs, csEnd == std::string::npos ? csEnd : csEnd - cs);
    }
    if (qp)
      p.value = DecodeQuotedPrintable(p.value);
    out.push_back(p);
  }
  return out;
}

// The bytes in the named charset as UTF-8, by iconv; empty when they do not convert. A card names
// code page 932 "Shift_JIS", as Windows does: its bytes are Windows' form of it, with the NEC and
// IBM extensions ("㈱").
std::optional<std::string> ToUtf8(const std::string& bytes, const std::string& charset) {
  iconv_t cd = iconv_open("UTF-8", charset == "Shift_JIS" ? "CP932" : charset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1))
    return std::nullopt;
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* to = out.data();
  size_t toLeft = out.size();
  const size_t rc = iconv(cd, &in, &inLeft, &to, &toLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1))
    return std::nullopt;
  out.resize(out.size() - toLeft);
  return out;
}

TEST(GoldenOutlookCharset, CardsSayWhatTheUtf8CardsSay) {
  const std::map<std::string, std::string> kCharsetOf = {{"codepage_932", "Shift_JIS"},
                                                         {"codepage_1250", "Windows-1250"},
                                                         {"codepage_1251", "Windows-1251"},
                                                         {"codepage_1252", "Windows-1252"}};
  for (const char* fixture : kCodePageFixtureNames) {
    const fs::path folder = kGoldenDir / "cards" / fixture;
    const auto utf8Cards = ReadFolder(folder / "2.1");
    const auto outlookCards = ReadFolder(folder / "2.1-outlook");
    ASSERT_EQ(utf8Cards.size(), outlookCards.size()) << fixture;
    size_t inCodePage = 0;
    for (const auto& [name, utf8Card] : utf8Cards) {
      const std::string where = std::string(fixture) + "/" + name;
      ASSERT_TRUE(outlookCards.count(name)) << where;
      const auto expected = Properties21(utf8Card);
      const auto actual = Properties21(outlookCards.at(name));
      ASSERT_EQ(actual.size(), expected.size()) << where;
      for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].head, expected[i].head) << where;
        EXPECT_EQ(expected[i].charset.empty() ? "" : "UTF-8", expected[i].charset) << where;
        if (actual[i].charset.empty() || actual[i].charset == "UTF-8") {
          EXPECT_EQ(actual[i].value, expected[i].value) << where << ": " << actual[i].head;
          continue;
        }
        // The contacts of a fixture keep their text in its code page; one in KOI8-R (20866),
        // a code page Outlook's charset form names as well.
        EXPECT_TRUE(actual[i].charset == kCharsetOf.at(fixture) || actual[i].charset == "KOI8-R")
            << where << ": " << actual[i].charset;
        EXPECT_EQ(ToUtf8(actual[i].value, actual[i].charset), expected[i].value)
            << where << ": " << actual[i].head;
        ++inCodePage;
      }
    }
    EXPECT_GT(inCodePage, 0u) << fixture << ": no value in the fixture's code page";
  }
}

}  // namespace
}  // namespace tarnvex::golden
