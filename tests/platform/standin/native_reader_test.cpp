// The native reader against libpff on stores made by the project's writer: the same items in the
// same order with the same properties and values; reader selection and refusals; the block
// check sum; permute- and cyclic-encoded stores. The PST library's own tests are in tests/pst/.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>

#include "platform/failure.h"
#include "platform/standin/native_reader.h"
#include "platform/standin/pff.h"
#include "platform/standin/pst_outlook.h"
#include "platform/standin/store_reader.h"
#include "pst/format.h"
#include "tests/platform/standin/pst_fixtures.h"
#include "tests/platform/standin/sample_contact.h"
#include "text/crc.h"
#include "text/utf.h"
#include "tools/pstwriter/damage.h"
#include "tools/pstwriter/generator.h"

namespace tarnvex::standin {
namespace {

using testing::ReadFile;
using testing::Sandbox;

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string Describe(const store::Entry& e) {
  char head[64];
  std::snprintf(head, sizeof head, "%04X:%04X ", e.Tag(), e.ValueType());
  std::string s = head;
  if (e.Named()) {
    s += "named " + Hex(std::string(reinterpret_cast<const char*>(e.Guid()), 16)) + " " +
         std::to_string(e.Lid()) + " '" + e.Name() + "' ";
  }
  switch (e.ValueType()) {
    case store::kTypeUnicode:
    case store::kTypeString8:
      return s + "'" + e.Text() + "'";
    case store::kTypeMultiUnicode:
    case store::kTypeMultiString8: {
      for (const auto& t : e.Texts())
        s += "'" + t + "' ";
      return s;
    }
    case store::kTypeInt32:
      return s + std::to_string(e.Int32());
    case store::kTypeBoolean:
      return s + (e.Boolean() ? "true" : "false");
    case store::kTypeSystime:
      return s + std::to_string(e.Filetime());
    default:
      return s + Hex(e.Bytes());
  }
}

void DumpEntries(const store::Item& item, std::vector<std::string>& out) {
  item.ForEachEntry([&](const store::Entry& e) { out.push_back("  " + Describe(e)); });
}

void DumpFolder(const store::Item& folder, int depth, std::vector<std::string>& out) {
  ASSERT_LT(depth, 16);
  out.push_back("folder " + std::to_string(folder.Identifier()) + " '" + folder.FolderName() +
                "' folder=" + std::to_string(folder.IsFolder()));
  DumpEntries(folder, out);
  for (auto& child : folder.NormalMessages()) {
    if (!child.item)
      throw Failure(child.failure);  // as taking it in an export fails
    const store::Item& m = *child.item;
    out.push_back("message " + std::to_string(m.Identifier()) + " " + m.MessageClass());
    DumpEntries(m, out);
    const int n = m.AttachmentCount();
    for (int i = 0; i < n; ++i) {
      auto a = m.Attachment(i);
      out.push_back(" attachment " + std::to_string(i) +
                    " data=" + std::to_string(a->IsDataAttachment()));
      DumpEntries(*a, out);
      if (a->IsDataAttachment())
        out.push_back(" data " + Hex(a->AttachmentData()));
    }
  }
  const int subs = folder.SubFolderCount();
  out.push_back(" subfolders " + std::to_string(subs));
  for (int i = 0; i < subs; ++i)
    DumpFolder(*folder.SubFolder(i), depth + 1, out);
}

std::vector<std::string> Dump(store::File& file) {
  std::vector<std::string> out;
  if (auto ms = file.MessageStore()) {
    out.push_back("store");
    DumpEntries(*ms, out);
  }
  DumpFolder(*file.RootFolder(), 0, out);
  return out;
}

struct StoreCase {
  const char* name;
  std::function<pstwriter::Store()> make;
};

pstwriter::Store Generated(uint64_t contacts, uint64_t seed, int folders) {
  pstwriter::GeneratorOptions options;
  options.contacts = contacts;
  options.seed = seed;
  options.folders = folders;
  return pstwriter::GenerateStore(options);
}

// The same as an ANSI store: 8-bit strings in code page 1252, or in UTF-8 (65001) for a
// contact whose text 1252 lacks.
pstwriter::Store Ansi(pstwriter::Store store) {
  store.format = pstwriter::StoreFormat::kAnsi;
  return store;
}

const StoreCase kStores[] = {
    {"Empty", [] { return pstwriter::Store::WithStandardFolders(); }},
    {"Small", [] { return Generated(40, 1, 1); }},
    {"NestedFolders", [] { return Generated(300, 7, 4); }},
    // Enough contacts for multi-level node and block indexes and long notes across blocks.
    {"Large", [] { return Generated(3000, 11, 2); }},
    {"FullContacts",
     [] {
       auto store = pstwriter::Store::WithStandardFolders();
       auto& contacts = *store.Contacts();
       auto& hidden = contacts.AddFolder("Hidden", "IPF.Contact");
       hidden.hidden = true;
       for (int i = 0; i < 20; ++i) {
         Contact c = testing::FullContact();
         c.fileAs = "Contact " + std::to_string(i);
         if (i % 4 == 0)
           c.notes += std::string(20000, 'n');
         testing::SetContactProperties((i % 2 ? hidden : contacts).AddMessage("IPM.Contact"), c);
       }
       return store;
     }},
    {"AnsiEmpty", [] { return Ansi(pstwriter::Store::WithStandardFolders()); }},
    {"AnsiSmall", [] { return Ansi(Generated(40, 1, 1)); }},
    {"AnsiNestedFolders", [] { return Ansi(Generated(300, 7, 4)); }},
    {"AnsiLarge", [] { return Ansi(Generated(3000, 11, 2)); }},
};

class NativeParityTest : public ::testing::TestWithParam<StoreCase> {};

TEST_P(NativeParityTest, SameItemsAndPropertiesAsLibpff) {
  Sandbox tmp;
  const std::string path = testing::WriteStore(GetParam().make(), tmp / "store.pst");
  auto native = native::OpenNativeOrFail(path);
  auto pff = pff::File::Open(path);
  const auto a = Dump(*native), b = Dump(*pff);
  ASSERT_GT(a.size(), 3u);
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    ASSERT_EQ(a[i], b[i]) << "line " << i;
  EXPECT_EQ(a.size(), b.size());
}

INSTANTIATE_TEST_SUITE_P(Stores, NativeParityTest, ::testing::ValuesIn(kStores),
                         [](const auto& info) { return std::string(info.param.name); });

std::string SmallStore(const Sandbox& tmp) {
  return testing::WriteStore(Generated(5, 2, 1), tmp / "small.pst");
}

TEST(NativeReaderTest, UnicodePstIsReadNatively) {
  Sandbox tmp;
  EXPECT_STREQ(store::OpenFile(SmallStore(tmp))->ReaderName(), "native");
}

TEST(NativeReaderTest, AnsiPstIsReadNatively) {
  Sandbox tmp;
  const std::string path = testing::WriteStore(Ansi(Generated(5, 2, 1)), tmp / "ansi.pst");
  EXPECT_STREQ(store::OpenFile(path)->ReaderName(), "native");
}

// An ANSI file is of a format the native reader reads: damaged, it is refused with the damage,
// never handed to libpff.
// A damaged ANSI file is the own reader's: read through where the structure under a failing check
// sum holds, with a note of the damage, else refused naming the damage; never handed to libpff.
TEST(NativeReaderTest, DamagedAnsiPstIsReadNativelyOrRefused) {
  Sandbox tmp;
  const std::string source =
      ReadFile(testing::WriteStore(Ansi(Generated(20, 3, 1)), tmp / "ansi.pst"));
  const auto header = pst::format::Load<pst::format::HeaderAnsi>(source.data());
  struct Case {
    const char* name;
    std::function<void(std::string&)> damage;
    const char* note;  // the damage noted when the file is read through; null: refused
  };
  const Case cases[] = {
      {"header", [](std::string& b) { b[300] ^= 0x10; }, "the header fails its check sum"},
      // The root page's second entry points to an offset at no page's place: that entry is not
      // used, and the nodes below it are missing; the rest is read.
      {"node index", [&](std::string& b) { b[header.root.brefNbt.ib + 20] ^= 0x10; },
       "the node index page at offset"},
      // The same in the block index: its blocks are missing, the rest is read.
      {"block index", [&](std::string& b) { b[header.root.brefBbt.ib + 20] ^= 0x10; },
       "the block index page at offset"},
      {"truncated", [&](std::string& b) { b.resize(header.root.brefNbt.ib + 8); }, nullptr},
  };
  for (const auto& c : cases) {
    std::string bytes = source;
    c.damage(bytes);
    const std::string path = tmp / "damaged.pst";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    try {
      const auto file = store::OpenFile(path);
      ASSERT_TRUE(c.note) << c.name << ": opened";
      EXPECT_STREQ(file->ReaderName(), "native") << c.name;
      const auto notes = file->DamageNotes(0);
      ASSERT_FALSE(notes.empty()) << c.name;
      EXPECT_EQ(notes[0].rfind(c.note, 0), 0u) << c.name << ": " << notes[0];
    } catch (const Failure& f) {
      EXPECT_FALSE(c.note) << c.name << ": " << f.what();
      EXPECT_NE(std::string(f.what()).find("is damaged"), std::string::npos)
          << c.name << ": " << f.what();
      EXPECT_NE(std::string(f.what()).find(path), std::string::npos) << f.what();
    }
  }
}

TEST(NativeReaderTest, RefusesWhatItDoesNotRead) {
  Sandbox tmp;
  const std::string source = ReadFile(SmallStore(tmp));
  struct Edit {
    size_t offset;
    char value;
    const char* why;
  };
  const Edit edits[] = {
      {10, 37, "does not know (format 37)"},  // a wVer no format has
      {513, 3, "encryption"},                 // an encryption of no known kind
      // A header byte changed under its CRC that puts the node index outside the file.
      {offsetof(pst::format::Header, root) + offsetof(pst::format::Root, brefNbt) +
           offsetof(pst::format::Bref, ib) + 6,
       1, "check sum"},
  };
  for (const auto& edit : edits) {
    std::string bytes = source;
    bytes[edit.offset] = edit.value;
    const std::string path = tmp / "edited.pst";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_EQ(native::OpenNative(path), nullptr) << edit.why;
    try {
      native::OpenNativeOrFail(path);
      ADD_FAILURE() << edit.why;
    } catch (const Failure& f) {
      EXPECT_NE(std::string(f.what()).find(edit.why), std::string::npos) << f.what();
      EXPECT_NE(std::string(f.what()).find(path), std::string::npos) << f.what();
    }
  }
}

// Damage inside items (after the indexes) is found by the block check sums and reported with
// the file's name; the walk never crashes.
TEST(NativeReaderTest, DamagedBlocksGiveFailuresNamingTheFile) {
  Sandbox tmp;
  const std::string source = ReadFile(testing::WriteStore(Generated(200, 5, 2), tmp / "s.pst"));
  int failures = 0;
  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::string bytes = source;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> pos(0x4400, bytes.size() - 1);
    for (int i = 0; i < 50; ++i)
      bytes[pos(rng)] ^= 0x5A;
    const std::string path = tmp / "damaged.pst";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    try {
      auto file = native::OpenNativeOrFail(path);
      std::vector<std::string> lines;
      Dump(*file);
    } catch (const Failure& f) {
      ++failures;
      EXPECT_NE(std::string(f.what()).find(path), std::string::npos) << f.what();
    }
  }
  EXPECT_GT(failures, 0);
}

TEST(NativeReaderTest, CheckSumIsThePasswordCheckSum) {
  std::mt19937 rng(3);
  for (size_t size : {0u, 1u, 7u, 8u, 9u, 64u, 1000u, 8176u}) {
    std::string data(size, '\0');
    for (auto& c : data)
      c = static_cast<char>(rng());
    EXPECT_EQ(text::Crc32(data.data(), data.size()), PstPasswordCrc(data)) << size;
  }
}

// Re-encodes an unencrypted file: every data block (not the internal ones) encoded, its check sum
// taken again over the stored bytes, the header's method and check sums set. The writer's tools
// walk the block index independently of the reader.
std::string Encoded(std::string b, uint8_t method) {
  pstwriter::EncodeBlocks(b, method);
  return b;
}
std::string PermuteEncoded(std::string b) {
  return Encoded(std::move(b), pst::format::kCryptPermute);
}

// Outlook's default, compressible encryption: libpff and the native reader read the same.
TEST(NativeReaderTest, PermuteEncodedStoreReadsAsLibpffReadsIt) {
  Sandbox tmp;
  const std::string plain = testing::WriteStore(Generated(300, 9, 2), tmp / "plain.pst");
  const std::string path = tmp / "permute.pst";
  std::ofstream(path, std::ios::binary) << PermuteEncoded(ReadFile(plain));
  auto native = native::OpenNativeOrFail(path);
  auto pff = pff::File::Open(path);
  const auto a = Dump(*native), b = Dump(*pff), c = Dump(*native::OpenNativeOrFail(plain));
  ASSERT_GT(a.size(), 100u);
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    ASSERT_EQ(a[i], b[i]) << "line " << i;
  EXPECT_EQ(a.size(), b.size());
  EXPECT_EQ(a, c);
}

// Outlook's high encryption, read natively as the plain file, and by libpff the same way (a
// check of the NDB_CRYPT_CYCLIC tables against a reader not ours).
TEST(NativeReaderTest, CyclicEncodedStoreIsReadAsThePlainOneByBothReaders) {
  Sandbox tmp;
  const std::string plain = testing::WriteStore(Generated(300, 9, 2), tmp / "plain.pst");
  const std::string path = tmp / "cyclic.pst";
  std::ofstream(path, std::ios::binary) << Encoded(ReadFile(plain), pst::format::kCryptCyclic);
  const auto native = native::OpenNative(path);
  ASSERT_NE(native, nullptr);
  auto file = store::OpenFile(path);
  EXPECT_STREQ(file->ReaderName(), "native");
  const auto expected = Dump(*native::OpenNativeOrFail(plain));
  ASSERT_GT(expected.size(), 100u);
  EXPECT_EQ(Dump(*native), expected);
  const auto byLibpff = Dump(*pff::File::Open(path));
  for (size_t i = 0; i < std::min(byLibpff.size(), expected.size()); ++i)
    ASSERT_EQ(byLibpff[i], expected[i]) << "line " << i;
  EXPECT_EQ(byLibpff.size(), expected.size());
}

// Offline folders files, of Outlook 2003 to 2010 and of Outlook 2013 and later (4 KiB pages,
// compressed blocks), as the writer writes them: they go to the own reader, libpff (which reads
// both forms) reads them as the own reader does, and both as the PST of the same store.
TEST(NativeReaderTest, OfflineFilesAreReadNativelyAsLibpffReadsThem) {
  Sandbox tmp;
  pstwriter::Store store = Generated(300, 9, 2);
  const auto expected = Dump(*native::OpenNativeOrFail(testing::WriteStore(store, tmp / "a.pst")));
  ASSERT_GT(expected.size(), 100u);
  for (const auto format : {pstwriter::StoreFormat::kOst, pstwriter::StoreFormat::kOst2013}) {
    SCOPED_TRACE(static_cast<int>(format));
    store.format = format;
    const std::string path = testing::WriteStore(store, tmp / "a.ost");
    EXPECT_STREQ(store::OpenFile(path)->ReaderName(), "native");
    EXPECT_EQ(Dump(*native::OpenNativeOrFail(path)), expected);
    const auto byLibpff = Dump(*pff::File::Open(path));
    for (size_t i = 0; i < std::min(byLibpff.size(), expected.size()); ++i)
      ASSERT_EQ(byLibpff[i], expected[i]) << "line " << i;
    EXPECT_EQ(byLibpff.size(), expected.size());
  }
}

struct Utf16Case {
  std::vector<uint16_t> units;
  bool oddByte;  // a stray last byte, as a damaged value may have
  std::string utf8;
};

TEST(NativeReaderTest, Utf16ToUtf8) {
  const Utf16Case cases[] = {
      {{'A', 'b', '1'}, false, "Ab1"},
      {{0x00E9, 0x0416}, false, "\xC3\xA9\xD0\x96"},
      {{0x4E2D, 0xFFFD}, false, "\xE4\xB8\xAD\xEF\xBF\xBD"},
      {{0xD83D, 0xDE00}, false, "\xF0\x9F\x98\x80"},  // a pair: U+1F600
      {{0xD83D, 'x'}, false, "\xEF\xBF\xBDx"},        // unpaired high
      {{0xDE00}, false, "\xEF\xBF\xBD"},              // unpaired low
      {{0xD83D}, false, "\xEF\xBF\xBD"},              // high at the end
      {{'a', 0, 'b'}, false, "a"},                    // NUL ends the text
      {{'a'}, true, "a"},
      {{}, false, ""},
  };
  for (const auto& c : cases) {
    std::string bytes;
    for (uint16_t u : c.units) {
      bytes += static_cast<char>(u & 0xFF);
      bytes += static_cast<char>(u >> 8);
    }
    if (c.oddByte)
      bytes += 'z';
    EXPECT_EQ(text::Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              c.utf8);
  }
}

}  // namespace
}  // namespace tarnvex::standin
