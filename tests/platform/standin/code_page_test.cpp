// 8-bit strings in code pages: a store whose contacts keep their text as PT_STRING8 values in a
// Windows code page is read back, by the native reader and by libpff, as the UTF-8 text it was
// written from; the code page comes from the message (PidTagMessageCodepage, else the ANSI code
// page of PidTagMessageLocaleId), else the store, else the fall-back.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/posix/iconv_code_pages.h"
#include "platform/standin/contact_reader.h"
#include "platform/standin/native_reader.h"
#include "platform/standin/pff.h"
#include "pst/file_source.h"
#include "tests/platform/standin/pst_fixtures.h"
#include "tools/pstwriter/code_page.h"
#include "tools/pstwriter/store_model.h"

namespace tarnvex::standin {
namespace {

using pstwriter::Value;

struct Source {
  const char* name;
  uint32_t codePage;  // the text's code page
  bool record;        // PidTagMessageCodepage on the message
  uint32_t locale;    // PidTagMessageLocaleId, 0 for none
  std::string fileAs, given, surname, company;
  std::vector<std::string> categories;
};

const Source kSources[] = {
    {"Japanese932",
     932,
     true,
     0,
     "イグザンプル, コム ドット",
     "コム ドット",
     "イグザンプル",
     "株式会社サンプル",
     {"取引先", "東京"}},
    {"Japanese932ByLocale",
     932,
     false,
     0x0411,
     "山田 太郎",
     "太郎",
     "山田",
     "ソニー㈱ ～表示～",
     {"友人"}},
    {"Cyrillic1251",
     1251,
     true,
     0,
     "Иванов, Иван",
     "Иван",
     "Иванов",
     "ООО «Пример»",
     {"Клиенты", "Ёлки"}},
    {"Cyrillic1251ByLocale",
     1251,
     false,
     0x0419,
     "Шевченко, Тарас",
     "Тарас",
     "Шевченко",
     "Київ № 1",
     {}},
    {"CentralEuropean1250",
     1250,
     true,
     0,
     "Dvořák, Antonín",
     "Antonín",
     "Dvořák",
     "Škoda Žďár s.r.o.",
     {"Přátelé"}},
    {"Polish1250ByLocale",
     1250,
     false,
     0x0415,
     "Łukasiewicz, Żaneta",
     "Żaneta",
     "Łukasiewicz",
     "Łódź",
     {}},
    {"Western1252",
     1252,
     true,
     0,
     "Müller, Jürgen",
     "Jürgen",
     "Müller",
     "Größe & Söhne – €uro",
     {"Geschäftlich"}},
    {"Western1252ByDefault",
     1252,
     false,
     0,
     "Façade, Renée",
     "Renée",
     "Façade",
     "Café “Œuvre”",
     {}},
    {"Koi8R20866", 20866, true, 0, "Петрова, Анна", "Анна", "Петрова", "", {}},
};

// A store with one contact of 8-bit strings, as the source describes it, in the format given.
std::string WriteSource(const Source& s, const testing::Sandbox& tmp,
                        pstwriter::StoreFormat format = pstwriter::StoreFormat::kUnicode) {
  pstwriter::Store store = pstwriter::Store::WithStandardFolders();
  store.format = format;
  pstwriter::Message& m = store.Contacts()->AddMessage("IPM.Contact");
  m.props.SetString("PidLidFileUnder", s.fileAs);
  m.props.SetString("PidTagGivenName", s.given);
  m.props.SetString("PidTagSurname", s.surname);
  if (!s.company.empty())
    m.props.SetString("PidTagCompanyName", s.company);
  if (!s.categories.empty())
    m.props.Set("PidNameKeywords", Value::MultiString(s.categories));
  pstwriter::EncodeStrings(m.props, s.codePage);
  if (s.record)
    m.props.Set("PidTagMessageCodepage", Value::Int32(static_cast<int32_t>(s.codePage)));
  if (s.locale)
    m.props.Set(0x3FF1, Value::Int32(static_cast<int32_t>(s.locale)));
  return testing::WriteStore(store, tmp / (std::string(s.name) + ".pst"));
}

std::unique_ptr<store::Item> FirstContact(store::File& file) {
  std::vector<std::shared_ptr<store::Item>> folders{file.RootFolder()};
  for (size_t i = 0; i < folders.size() && i < 64; ++i) {
    if (folders[i]->FolderName() == "Contacts") {
      auto children = folders[i]->NormalMessages();
      if (!children.empty())
        return std::move(children.front().item);
    }
    for (int k = 0; k < folders[i]->SubFolderCount(); ++k)
      folders.push_back(folders[i]->SubFolder(k));
  }
  return nullptr;
}

void ExpectSourceText(const Source& s, store::File& file) {
  const auto item = FirstContact(file);
  ASSERT_TRUE(item) << file.ReaderName();
  const Contact c = ReadContact(*item);
  EXPECT_EQ(c.fileAs, s.fileAs) << file.ReaderName();
  EXPECT_EQ(ReadFileAs(*item), s.fileAs) << file.ReaderName();
  EXPECT_EQ(c.givenName, s.given) << file.ReaderName();
  EXPECT_EQ(c.surname, s.surname) << file.ReaderName();
  EXPECT_EQ(c.company, s.company) << file.ReaderName();
  EXPECT_EQ(c.categories, s.categories) << file.ReaderName();
}

class CodePageSources : public ::testing::TestWithParam<Source> {};

TEST_P(CodePageSources, BothReadersGiveTheSourceText) {
  const Source& s = GetParam();
  testing::Sandbox tmp;
  const std::string path = WriteSource(s, tmp);
  IconvCodePages pages;
  std::vector<std::string> warnings;
  auto decoding = std::make_shared<const store::TextDecoding>(
      &pages, store::TextDecoding::kDefaultCodePage,
      [&](const std::string& w) { warnings.push_back(w); });

  std::string why;
  const auto native = native::OpenNative(pst::OpenFileSource(path), why, decoding);
  ASSERT_TRUE(native) << why;
  ExpectSourceText(s, *native);
  const auto pff = pff::File::Open(path, decoding);
  ExpectSourceText(s, *pff);
  EXPECT_TRUE(warnings.empty()) << warnings.front();
}

// The same contact in an ANSI store, the format that keeps 8-bit strings: read natively and by
// libpff, the text it was written from.
TEST_P(CodePageSources, BothReadersGiveTheSourceTextOfAnAnsiStore) {
  const Source& s = GetParam();
  testing::Sandbox tmp;
  const std::string path = WriteSource(s, tmp, pstwriter::StoreFormat::kAnsi);
  IconvCodePages pages;
  std::vector<std::string> warnings;
  auto decoding = std::make_shared<const store::TextDecoding>(
      &pages, store::TextDecoding::kDefaultCodePage,
      [&](const std::string& w) { warnings.push_back(w); });

  std::string why;
  const auto native = native::OpenNative(pst::OpenFileSource(path), why, decoding);
  ASSERT_TRUE(native) << why;
  EXPECT_STREQ(native->ReaderName(), "native");
  ExpectSourceText(s, *native);
  const auto pff = pff::File::Open(path, decoding);
  ExpectSourceText(s, *pff);
  EXPECT_TRUE(warnings.empty()) << warnings.front();
}

INSTANTIATE_TEST_SUITE_P(CodePages, CodePageSources, ::testing::ValuesIn(kSources),
                         [](const ::testing::TestParamInfo<Source>& info) {
                           return std::string(info.param.name);
                         });

TEST(CodePageTest, TheFallBackServesMessagesThatNameNoCodePage) {
  Source s = kSources[3];  // Cyrillic text, naming no code page
  s.locale = 0;
  testing::Sandbox tmp;
  const std::string path = WriteSource(s, tmp);
  IconvCodePages pages;
  std::string why;
  const auto native = native::OpenNative(pst::OpenFileSource(path), why,
                                         std::make_shared<const store::TextDecoding>(&pages, 1251));
  ASSERT_TRUE(native) << why;
  ExpectSourceText(s, *native);

  // Read as Windows-1252, the default, the same bytes are other text: the fall-back decides.
  const auto western = native::OpenNative(pst::OpenFileSource(path), why,
                                          std::make_shared<const store::TextDecoding>(&pages));
  ASSERT_TRUE(western);
  EXPECT_EQ(ReadContact(*FirstContact(*western)).surname, "Øåâ÷åíêî");
}

TEST(CodePageTest, AnUnknownCodePageGivesReplacementCharactersAndOneWarning) {
  testing::Sandbox tmp;
  pstwriter::Store store = pstwriter::Store::WithStandardFolders();
  for (int i = 0; i < 3; ++i) {
    pstwriter::Message& m = store.Contacts()->AddMessage("IPM.Contact");
    m.props.SetString("PidLidFileUnder", "Doe È");
    pstwriter::EncodeStrings(m.props, 1252);  // "Doe \xC8"
    m.props.Set("PidTagMessageCodepage", Value::Int32(4242));
  }
  const std::string path = testing::WriteStore(store, tmp / "unknown.pst");
  IconvCodePages pages;
  std::vector<std::string> warnings;
  auto decoding = std::make_shared<const store::TextDecoding>(
      &pages, 1252, [&](const std::string& w) { warnings.push_back(w); });
  std::string why;
  const auto native = native::OpenNative(pst::OpenFileSource(path), why, decoding);
  ASSERT_TRUE(native) << why;
  std::vector<std::shared_ptr<store::Item>> folders{native->RootFolder()};
  int read = 0;
  for (size_t i = 0; i < folders.size(); ++i) {
    for (auto& child : folders[i]->NormalMessages()) {
      EXPECT_EQ(ReadFileAs(*child.item), "Doe \xEF\xBF\xBD");
      ++read;
    }
    for (int k = 0; k < folders[i]->SubFolderCount(); ++k)
      folders.push_back(folders[i]->SubFolder(k));
  }
  EXPECT_EQ(read, 3);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("4242"), std::string::npos) << warnings[0];
}

// The command line: --codepage, else the profile's Codepage key, serves a store that names no
// code page; the card file names are the decoded text. Text that does not decode warns once.
class CodePageCliTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(out_); }

  int Run(std::vector<std::string> extra) {
    std::vector<std::string> args{"--pst", pst_, "--out", out_, "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out, err;
    const int status = cli::Run(args, out, err);
    err_ = err.str();
    return status;
  }
  std::vector<std::string> Cards() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(out_))
      names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::Sandbox tmp_;
  testing::SandboxedProfile profile_{tmp_};
  std::string out_ = tmp_ / "cards";
  std::string pst_;
  std::string err_;
};

TEST_F(CodePageCliTest, TheCodePageOptionElseTheProfileServesStoresThatNameNone) {
  Source s = kSources[3];  // Cyrillic text, naming no code page
  s.locale = 0;
  pst_ = WriteSource(s, tmp_);
  ASSERT_EQ(Run({"--codepage", "1251"}), 0) << err_;
  EXPECT_EQ(Cards(), std::vector<std::string>{"Шевченко, Тарас.vcf"});
  EXPECT_EQ(err_, "");

  std::filesystem::remove_all(out_);
  std::filesystem::create_directory(out_);
  std::ofstream(tmp_ / "profile.ini") << "[Profile]\nCodepage=1251\n";
  ASSERT_EQ(Run({}), 0) << err_;
  EXPECT_EQ(Cards(), std::vector<std::string>{"Шевченко, Тарас.vcf"});

  std::filesystem::remove_all(out_);
  std::filesystem::create_directory(out_);
  std::filesystem::remove(tmp_ / "profile.ini");
  ASSERT_EQ(Run({}), 0) << err_;  // Windows-1252 by default
  EXPECT_EQ(Cards(), std::vector<std::string>{"Øåâ÷åíêî, Òàðàñ.vcf"});
}

// Cards in Outlook's charset take the code page the text was read in: --codepage's (or the
// profile's Codepage) for a store that names none. --charset, else the profile's Charset key,
// asks for them.
TEST_F(CodePageCliTest, OutlooksCharsetWritesTheCodePageTheTextWasReadIn) {
  Source s = kSources[3];  // Cyrillic text, naming no code page
  s.locale = 0;
  pst_ = WriteSource(s, tmp_);
  const std::string card = out_ + "/Шевченко, Тарас.vcf";
  struct Case {
    std::vector<std::string> args;
    std::string profile;
    std::string n;  // the card's N line
  };
  const Case cases[] = {
      {{"--codepage", "1251", "--charset", "outlook"},
       "",
       "N;CHARSET=Windows-1251:\xD8\xE5\xE2\xF7\xE5\xED\xEA\xEE;\xD2\xE0\xF0\xE0\xF1"},
      {{"--codepage", "1251"},
       "[Profile]\nCharset=outlook\n",
       "N;CHARSET=Windows-1251:\xD8\xE5\xE2\xF7\xE5\xED\xEA\xEE;\xD2\xE0\xF0\xE0\xF1"},
      {{},
       "[Profile]\nCodepage=1251\nCharset=outlook\n",
       "N;CHARSET=Windows-1251:\xD8\xE5\xE2\xF7\xE5\xED\xEA\xEE;\xD2\xE0\xF0\xE0\xF1"},
      // The option wins over the profile; UTF-8 is the default.
      {{"--codepage", "1251", "--charset", "utf-8"},
       "[Profile]\nCharset=outlook\n",
       "N;CHARSET=UTF-8:Шевченко;Тарас"},
      {{"--codepage", "1251"}, "", "N;CHARSET=UTF-8:Шевченко;Тарас"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(out_);
    std::filesystem::create_directory(out_);
    std::filesystem::remove(tmp_ / "profile.ini");
    if (!c.profile.empty())
      std::ofstream(tmp_ / "profile.ini") << c.profile;
    ASSERT_EQ(Run(c.args), 0) << err_;
    std::ifstream in(card, std::ios::binary);
    std::string line;
    std::getline(in, line);  // BEGIN
    std::getline(in, line);  // VERSION
    std::getline(in, line);
    EXPECT_EQ(line, c.n + "\r") << c.profile;
  }
}

TEST_F(CodePageCliTest, TextThatDoesNotDecodeWarnsOncePerRun) {
  pstwriter::Store store = pstwriter::Store::WithStandardFolders();
  for (const char* name : {"Doe È", "Roe È"}) {
    pstwriter::Message& m = store.Contacts()->AddMessage("IPM.Contact");
    m.props.SetString("PidLidFileUnder", name);
    pstwriter::EncodeStrings(m.props, 1252);
    m.props.Set("PidTagMessageCodepage", Value::Int32(4242));
  }
  pst_ = testing::WriteStore(store, tmp_ / "unknown.pst");
  ASSERT_EQ(Run({}), 0) << err_;
  EXPECT_EQ(Cards(), (std::vector<std::string>{"Doe \uFFFD.vcf", "Roe \uFFFD.vcf"}));
  EXPECT_EQ(err_,
            "tarnvex-export: warning: Code page 4242 is not known here; text in it is shown as "
            "U+FFFD.\n");
}

}  // namespace
}  // namespace tarnvex::standin
