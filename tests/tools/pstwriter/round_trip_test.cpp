// Stores written by the PST writer, read back with libpff and libpst.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "platform/failure.h"
#include "tests/tools/pstwriter/readers.h"
#include "tests/tools/pstwriter/test_support.h"
#include "tools/pstwriter/code_page.h"
#include "tools/pstwriter/generator.h"
#include "tools/pstwriter/pst_writer.h"

namespace tarnvex::pstwriter::testing {
namespace {

// A store that uses every kind of value and structure the writer has.
Store RichStore() {
  Store s = Store::WithStandardFolders("Ünïcödé Störe – テスト");
  s.ipmSubtree.displayName = "Top of Outlook data file";
  Folder& contacts = *s.Contacts();

  Message& a = contacts.AddMessage("IPM.Contact");
  a.props.SetString("PidTagDisplayName", "Zoë Øvergård-Núñez");
  a.props.SetString("PidTagGivenName", "Zoë");
  a.props.SetString("PidTagSurname", "Øvergård-Núñez");
  a.props.SetString("PidLidFileUnder", "Øvergård-Núñez, Zoë");
  a.props.SetString("PidLidEmail1EmailAddress", "zoe@example.com");
  a.props.SetString("PidLidEmail2EmailAddress", "zoe@example.org");
  a.props.SetString("PidTagMobileTelephoneNumber", "+41 79 123 45 67");
  a.props.SetString("PidTagCompanyName", "Müller & Söhne");
  a.props.SetString("PidLidWorkAddressCity", "Zürich");
  a.props.Set("PidTagBirthday", Value::Time(FileTime::FromUnix(-86400 * 365)));
  a.props.Set("PidLidFileUnderId", Value::Int32(0x8017));
  a.props.Set("PidTagGender", Value::Int16(1));
  a.props.Set("PidLidHasPicture", Value::Boolean(true));
  a.props.Set("PidNameKeywords", Value::MultiString({"VIP", "Família", "家族"}));
  a.props.Set("PidTagChildrensNames", Value::MultiString({"Ана", "Ελένη"}));
  a.props.Set(0x6001, Value::Int64(-1234567890123LL));  // a tag without a canonical name here
  a.props.Set(0x6002, Value::Double(2.5));
  a.props.Set(0x6003, Value::GuidValue(kPsetidAddress));
  a.props.Set(0x6004, Value::MultiInt32({1, -2, 3}));
  a.props.Set(0x6005, Value::MultiBinary({Bytes{1, 2, 3}, Bytes{}, Bytes(5000, 0x5A)}));
  a.props.SetNamed(kPsPublicStrings, "Custom Field ✓", Value::String("custom value"));
  a.props.SetNamed(kPsetidCommon, 0x8580, Value::String("common named"));
  a.props.Set("PidTagBody", Value::String(std::string(3000, 'a') + "—" + std::string(20000, 'z')));
  a.SetContactPhoto(TinyJpeg(8));  // a photo large enough for a subnode

  Message& b = contacts.AddMessage("IPM.Contact");
  b.props.SetString("PidTagDisplayName", "山田 太郎");
  b.props.SetString("PidLidFileUnder", "山田, 太郎 🎌");
  b.props.SetString("PidTagGivenName", "太郎");
  b.props.SetString("PidTagSurname", "山田");
  b.props.SetString("PidTagHobbies", "");  // an empty string
  b.props.Set("PidTagBusinessHomePage", Value::String(std::string(1 << 20, 'w')));  // 2 MB UTF-16
  b.props.Set(0x6006, Value::Binary(Bytes(9 << 20, 0xA5)));  // an XXBLOCK: above 8 MB
  b.SetContactPhoto(TinyJpeg(3));                            // a small photo, in the heap

  Message& c = contacts.AddMessage("IPM.Contact");  // a contact with a single property
  c.props.SetString("PidLidFileUnder", "محمد العلي");

  Message& dl = contacts.AddMessage("IPM.DistList");
  dl.props.SetString("PidTagDisplayName", "Team Ω");
  dl.props.SetString("PidLidDistributionListName", "Team Ω");
  dl.props.SetString("PidLidFileUnder", "Team Ω");

  Message& custom = contacts.AddMessage("IPM.Contact.Custom Form");
  custom.props.SetString("PidLidFileUnder", "Custom, Form");

  Message& hiddenItem = contacts.associated.emplace_back();
  hiddenItem.messageClass = "IPM.Microsoft.FolderDesign.NamedView";
  hiddenItem.props.SetString("PidTagSubject", "View");

  Folder& inbox = *s.ipmSubtree.FindRole(FolderRole::kInbox);
  Message& mail = inbox.AddMessage("IPM.Note");
  mail.props.SetString("PidTagSubject", "Grüße aus Köln");
  mail.props.SetString("PidTagBody", "Hallo Анна!\r\nSee you.");
  mail.props.SetString("PidTagDisplayTo", "Anna Smith; Борис");
  mail.props.Set("PidTagMessageDeliveryTime", Value::Time(FileTime::FromUnix(1700000000)));
  mail.recipients.push_back({"Anna Smith", "anna@example.com", 1});
  mail.recipients.push_back({"Борис", "boris@example.com", 2});
  mail.attachments.push_back(Attachment::File("notes – ß.txt", Bytes{'h', 'i'}));
  mail.attachments.push_back(Attachment::File("big.bin", Bytes(100000, 0x11)));

  Folder& nested = contacts.AddFolder("Family – Семья", "IPF.Contact");
  Folder& deeper = nested.AddFolder("Cousins", "IPF.Contact");
  Message& cousin = deeper.AddMessage("IPM.Contact");
  cousin.props.SetString("PidLidFileUnder", "Cousin, Γιώργος");
  s.ipmSubtree.AddFolder("Hidden Stuff", "IPF.Note").hidden = true;
  s.ipmSubtree.AddFolder("No Class", "");
  return s;
}

TEST(RoundTrip, EveryKindOfValueAndStructureReadsBackThroughBothReaders) {
  Sandbox dir;
  const Store store = RichStore();
  const std::string path = (dir / "rich.pst");
  const WriteStats stats = WritePst(store, path);
  EXPECT_EQ(stats.fileSize, std::filesystem::file_size(path));
  EXPECT_EQ((stats.fileSize - 0x4400) % 253952, 0u);  // whole AMap intervals
  EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
  EXPECT_EQ(Pffinfo(path), 0);

  const SeenStore expected = Expected(store);
  ExpectSameStore(expected, ReadWithLibpff(path), Reader::kLibpff);
  ExpectSameStore(expected, ReadWithLibpst(path), Reader::kLibpst);
}

// One contact per code page (932, 1251, 1250, 1252), its strings in UTF-8 and its code page
// recorded.
constexpr std::pair<std::uint32_t, std::array<const char*, 3>> kCodePageContacts[] = {
    {932, {"イグザンプル", "コム ドット", "株式会社サンプル"}},
    {1251, {"Иванов", "Иван", "ООО «Пример»"}},
    {1250, {"Dvořák", "Antonín", "Škoda Žďár"}},
    {1252, {"Müller", "Jürgen", "Größe – €uro"}},
};

void AddContactsInCodePages(Store& store) {
  for (const auto& [codePage, texts] : kCodePageContacts) {
    Message& m = store.Contacts()->AddMessage("IPM.Contact");
    m.props.SetString("PidTagSurname", texts[0]);
    m.props.SetString("PidTagGivenName", texts[1]);
    m.props.SetString("PidTagCompanyName", texts[2]);
    m.props.Set("PidNameKeywords", Value::MultiString({texts[0], texts[1]}));
    m.props.Set("PidTagMessageCodepage", Value::Int32(static_cast<std::int32_t>(codePage)));
  }
}

// The store with the contacts of AddContactsInCodePages as 8-bit strings in their code pages.
Store EncodedInTheirCodePages(const Store& utf8) {
  Store eightBit = utf8;
  auto it = std::prev(eightBit.Contacts()->messages.end(),
                      static_cast<std::ptrdiff_t>(std::size(kCodePageContacts)));
  for (const auto& [codePage, texts] : kCodePageContacts)
    EncodeStrings((it++)->props, codePage);
  return eightBit;
}

// Contacts whose strings are 8-bit strings in code pages, each naming its code page: libpff
// reads their bytes as written; libpst, which decodes them with the message's code page, gives
// the text they were written from (but for 932).
TEST(RoundTrip, EightBitStringsInCodePagesReadBackThroughBothReaders) {
  Sandbox dir;
  Store utf8 = Store::WithStandardFolders();
  AddContactsInCodePages(utf8);
  Store eightBit = EncodedInTheirCodePages(utf8);

  const std::string path = (dir / "codepages.pst");
  WritePst(eightBit, path);
  EXPECT_EQ(Pffinfo(path), 0);
  ExpectSameStore(Expected(eightBit), ReadWithLibpff(path), Reader::kLibpff);
  // libpst leaves code page 932 (Shift JIS) undecoded: it gives that contact's bytes as stored.
  Store libpstView = utf8;
  libpstView.Contacts()->messages.front() = eightBit.Contacts()->messages.front();
  ExpectSameStore(Expected(libpstView), ReadWithLibpst(path), Reader::kLibpst);
}

// The same contacts in an ANSI store (format 15): both readers read the file as its 8-bit strings
// were written, libpff as the bytes, libpst as the text (but for 932).
TEST(RoundTrip, AnsiStoreWithEightBitStringsReadsBackThroughBothReaders) {
  Sandbox dir;
  Store utf8 = Store::WithStandardFolders("ANSI Store");
  utf8.format = StoreFormat::kAnsi;
  AddContactsInCodePages(utf8);
  Store eightBit = EncodedInTheirCodePages(utf8);

  const std::string path = (dir / "ansi.pst");
  WritePst(utf8, path);  // the writer encodes each contact in the code page it records
  EXPECT_EQ(Pffinfo(path), 0);
  ExpectSameStore(Expected(eightBit), ReadWithLibpff(path), Reader::kLibpff);
  Store libpstView = utf8;
  libpstView.Contacts()->messages.front() = eightBit.Contacts()->messages.front();
  ExpectSameStore(Expected(libpstView), ReadWithLibpst(path), Reader::kLibpst);
}

// A generated ANSI store (multi-level indexes, long notes, photos, contacts in UTF-8 where code
// page 1252 lacks their text) reads back through both readers as the writer encoded it.
TEST(RoundTrip, GeneratedAnsiStoreReadsBackThroughBothReaders) {
  Sandbox dir;
  GeneratorOptions options;
  options.contacts = 1500;
  options.folders = 3;
  options.seed = 21;
  Store store = GenerateStore(options);
  store.format = StoreFormat::kAnsi;
  const std::string path = (dir / "generated-ansi.pst");
  WritePst(store, path);
  EXPECT_EQ(Pffinfo(path), 0);
  // libpst decodes the 8-bit strings: the text they were written from. libpff gives what the
  // file keeps: every contact's strings in 1252 or in UTF-8.
  ExpectSameStore(Expected(store, 3), ReadWithLibpst(path, 3), Reader::kLibpst);
  std::function<void(Folder&)> narrow = [&](Folder& f) {
    for (Message& m : f.messages)
      NarrowStrings(m, store.codePage);
    for (Folder& sub : f.subfolders)
      narrow(sub);
  };
  narrow(store.ipmSubtree);
  ExpectSameStore(Expected(store, 3), ReadWithLibpff(path, 3), Reader::kLibpff);
}

TEST(RoundTrip, EmptyStoreAndOneWithoutStandardFoldersAreComplete) {
  Sandbox dir;
  Store bare;  // no standard folders, so no default contacts folder
  bare.displayName = "Bare";
  bare.ipmSubtree.AddFolder("Only", "IPF.Contact");
  for (const Store* store : {&bare}) {
    const std::string path = (dir / "bare.pst");
    WritePst(*store, path);
    const SeenStore expected = Expected(*store);
    SeenStore pff = ReadWithLibpff(path);
    EXPECT_EQ(pff.defaultContactsPath, "(none)");
    ExpectSameStore(expected, pff, Reader::kLibpff);
    ExpectSameStore(expected, ReadWithLibpst(path), Reader::kLibpst);
  }
  const std::string path = (dir / "standard.pst");
  const Store standard = Store::WithStandardFolders();
  WritePst(standard, path);
  ExpectSameStore(Expected(standard), ReadWithLibpff(path), Reader::kLibpff);
}

struct GeneratedCase {
  const char* name;
  std::uint64_t contacts;
  int folders;
  std::uint64_t seed;
  bool libpff;        // libpff's item tree is quadratic in the folder size: moderate sizes
  std::size_t every;  // compare the properties of every n-th item
};

void PrintTo(const GeneratedCase& c, std::ostream* os) {
  *os << c.name;
}

class Generated : public ::testing::TestWithParam<GeneratedCase> {};

TEST_P(Generated, ReadsBackThroughBothReaders) {
  const GeneratedCase& c = GetParam();
  Sandbox dir;
  GeneratorOptions options;
  options.contacts = c.contacts;
  options.folders = c.folders;
  options.seed = c.seed;
  const Store store = GenerateStore(options);
  const std::string path = (dir / "generated.pst");
  WritePst(store, path);
  const SeenStore expected = Expected(store, c.every);

  // What the generator promises: contacts spread over the folders, names in several scripts,
  // colliding file-as texts, photos, notes above one block, lists and other items.
  std::size_t contacts = 0, photos = 0, longNotes = 0;
  std::set<std::string> fileAs;
  std::size_t fileAsCount = 0;
  bool cyrillic = false, cjk = false, arabic = false, emoji = false, greek = false;
  std::function<void(const Folder&)> visit = [&](const Folder& f) {
    for (const Message& m : f.messages) {
      if (m.messageClass != "IPM.Contact")
        continue;
      ++contacts;
      const std::string& fa = m.props.Find("PidLidFileUnder")->AsString();
      fileAs.insert(fa);
      ++fileAsCount;
      cyrillic |= fa.find("\xD0") != std::string::npos;
      greek |= fa.find("\xCE") != std::string::npos;
      cjk |= fa.find("\xE5") != std::string::npos || fa.find("\xE7") != std::string::npos;
      arabic |= fa.find("\xD8") != std::string::npos;
      emoji |= fa.find("\xF0\x9F") != std::string::npos;
      photos += !m.attachments.empty();
      const Value* body = m.props.Find("PidTagBody");
      longNotes += body && body->AsString().size() > 8176;
    }
    for (const Folder& sub : f.subfolders)
      visit(sub);
  };
  visit(store.ipmSubtree);
  EXPECT_EQ(contacts, c.contacts);
  EXPECT_LT(fileAs.size(), fileAsCount);
  EXPECT_TRUE(cyrillic && greek && cjk && arabic && emoji);
  EXPECT_GT(photos, 0u);
  EXPECT_GT(longNotes, 0u);
  EXPECT_EQ(expected.folders.count(c.folders > 1 ? "Contacts/Contacts 2" : "Contacts"), 1u);

  if (c.libpff)
    ExpectSameStore(expected, ReadWithLibpff(path, c.every), Reader::kLibpff);
  ExpectSameStore(expected, ReadWithLibpst(path, c.every), Reader::kLibpst);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, Generated,
    ::testing::Values(GeneratedCase{"OneFolder", 300, 1, 7, true, 1},
                      GeneratedCase{"NestedFolders", 2000, 4, 11, true, 1},
                      // 10,000 items in one folder: node B-tree four levels deep, a contents
                      // table whose rows span many blocks and whose row index has two levels.
                      GeneratedCase{"TenThousand", 10000, 1, 13, true, 7},
                      GeneratedCase{"HundredThousand", 100000, 1, 17, false, 97}),
    [](const ::testing::TestParamInfo<GeneratedCase>& info) { return info.param.name; });

#if defined(TARNVEX_PSTWRITER_SLOW_TESTS)
TEST(RoundTrip, HundredThousandContactsThroughLibpff) {
  Sandbox dir;
  GeneratorOptions options;
  options.contacts = 100000;
  options.seed = 17;
  const Store store = GenerateStore(options);
  const std::string path = (dir / "large.pst");
  WritePst(store, path);
  ExpectSameStore(Expected(store, 97), ReadWithLibpff(path, 97), Reader::kLibpff);
}
#endif

TEST(RoundTrip, FailedWriteLeavesNoFile) {
  Sandbox dir;
  const std::string path = (dir / "missing-folder/x.pst");
  EXPECT_THROW(WritePst(Store::WithStandardFolders(), path), Failure);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
}

}  // namespace
}  // namespace tarnvex::pstwriter::testing
