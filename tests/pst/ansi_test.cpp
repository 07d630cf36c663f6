// ANSI files (HEADER.wVer 14 and 15) through the same reader as Unicode ones: the ANSI structures'
// sizes, a store written in both formats read back the same, and damaged ANSI files refused
// with the same kinds of damage as Unicode ones, never a crash.

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "pst/errors.h"
#include "pst/format.h"
#include "pst/ltp/property_context.h"
#include "pst/messaging/store.h"
#include "pst/ndb/node_database.h"
#include "tests/pst/test_stores.h"
#include "text/crc.h"
#include "tools/pstwriter/damage.h"

namespace tarnvex::pst {
namespace {

using namespace format;
using messaging::Store;
using testing::Source;
using testing::Written;

pstwriter::Store AnsiStore(pstwriter::Store store = testing::SmallStore()) {
  store.format = pstwriter::StoreFormat::kAnsi;
  return store;
}

TEST(AnsiFormatTest, StructuresHaveTheirOnDiskSizes) {
  EXPECT_EQ(sizeof(BrefAnsi), 8u);
  EXPECT_EQ(sizeof(RootAnsi), 40u);
  EXPECT_EQ(sizeof(HeaderAnsi), 512u);
  EXPECT_EQ(sizeof(PageTrailerAnsi), 12u);
  EXPECT_EQ(sizeof(BtEntryAnsi), 12u);
  EXPECT_EQ(sizeof(BbtEntryAnsi), 12u);
  EXPECT_EQ(sizeof(NbtEntryAnsi), 16u);
  EXPECT_EQ(sizeof(BtPageTailAnsi), 4u);
  EXPECT_EQ(sizeof(BlockTrailerAnsi), 12u);
  EXPECT_EQ(sizeof(SBlockHeadAnsi), 4u);
  EXPECT_EQ(sizeof(SlEntryAnsi), 12u);
  EXPECT_EQ(sizeof(SiEntryAnsi), 8u);
  EXPECT_EQ(sizeof(TcRowIdAnsi), 6u);
  EXPECT_EQ(kAnsiLayout.pageDataSize(), 500u);
  EXPECT_EQ(kAnsiLayout.maxBlockData(), 8180u);
  EXPECT_EQ(kAnsiLayout.BlockSpan(52), 64u);
  EXPECT_EQ(kAnsiLayout.BlockSpan(53), 128u);
  EXPECT_EQ(kAnsiLayout.BlockSpan(8180), 8192u);
  EXPECT_EQ(kUnicodeLayout.pageDataSize(), kPageDataSize);
  EXPECT_EQ(kUnicodeLayout.maxBlockData(), kMaxBlockData);
  EXPECT_EQ(LayoutOfVersion(14), &kAnsiLayout);
  EXPECT_EQ(LayoutOfVersion(15), &kAnsiLayout);
  EXPECT_EQ(LayoutOfVersion(23), &kUnicodeLayout);
  EXPECT_EQ(LayoutOfVersion(36), &kUnicode4kLayout);
  EXPECT_EQ(LayoutOfVersion(37), nullptr);
}

// The structures that differ keep their fields where the format puts them.
TEST(AnsiFormatTest, TrailersKeepTheBidAheadOfTheCheckSum) {
  std::uint8_t raw[12] = {};
  kAnsiLayout.StorePageTrailer(raw, PageTrailer{0x81, 0x81, 0x1234, 0xAABBCCDD, 0x11223344});
  EXPECT_EQ(Load<std::uint32_t>(raw + 4), 0x11223344u);
  EXPECT_EQ(Load<std::uint32_t>(raw + 8), 0xAABBCCDDu);
  kAnsiLayout.StoreBlockTrailer(raw, BlockTrailer{100, 0x4321, 0x55667788, 0x24});
  EXPECT_EQ(Load<std::uint16_t>(raw), 100u);
  EXPECT_EQ(Load<std::uint32_t>(raw + 4), 0x24u);
  EXPECT_EQ(Load<std::uint32_t>(raw + 8), 0x55667788u);
  const auto back = kAnsiLayout.LoadBlockTrailer(raw);
  EXPECT_EQ(back.bid, 0x24u);
  EXPECT_EQ(back.dwCRC, 0x55667788u);
}

TEST(AnsiFormatTest, WrittenHeaderReadsBackThroughTheStructures) {
  const std::string bytes = Written(AnsiStore());
  const auto header = Load<HeaderAnsi>(bytes.data());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&header.dwMagic), 4), "!BDN");
  EXPECT_EQ(+header.wVer, kVersionAnsiCurrent);
  EXPECT_EQ(+header.bSentinel, 0x80);
  EXPECT_EQ(+header.root.ibFileEof, bytes.size());
  EXPECT_EQ(+header.dwCRCPartial,
            text::Crc32(bytes.data() + kHeaderCrcStart, kHeaderCrcPartialLength));
  for (const auto& [bref, ptype] :
       {std::pair{header.root.brefNbt, kPtypeNBT}, std::pair{header.root.brefBbt, kPtypeBBT}}) {
    ASSERT_LE(+bref.ib + kPageSize, bytes.size());
    const auto trailer = Load<PageTrailerAnsi>(bytes.data() + bref.ib + 500);
    EXPECT_EQ(+trailer.ptype, ptype);
    EXPECT_EQ(+trailer.bid, +bref.bid);
    EXPECT_EQ(+trailer.wSig, ComputeSig(bref.ib, bref.bid));
    EXPECT_EQ(+trailer.dwCRC, text::Crc32(bytes.data() + bref.ib, 500));
  }
  const auto db = ndb::NodeDatabase::Open(Source(bytes));
  EXPECT_TRUE(db->layout().ansi());
  EXPECT_EQ(db->header().wVer, kVersionAnsiCurrent);
}

// Every folder, message and attachment with its properties, strings as text: 8-bit strings
// (all the store's text is ASCII) compare with their Unicode counterparts.
void Dump(const Store& store, Nid folder, int depth, std::vector<std::string>& out) {
  ASSERT_LT(depth, 16);
  auto props = [&](const ltp::PropertyContext& pc) {
    for (const auto& r : pc.records()) {
      // PidTagMessageSize, PidTagAttachSize: strings take half the bytes in ANSI;
      // PidTagMessageCodepage: the ANSI store's messages say which code page their text is in.
      if (r.id == 0x0E08 || r.id == 0x0E20 || r.id == 0x3FFD)
        continue;
      const bool text = r.type == ltp::kTypeString8 || r.type == ltp::kTypeUnicode;
      const bool multiText = r.type == 0x101E || r.type == 0x101F;
      std::string value = text ? pc.ValueText(r) : pc.ValueBytes(r);
      if (multiText)
        value = std::to_string(pc.ValueBytes(r).size());  // the widths differ
      out.push_back("  " + Hex(r.id) + ":" +
                    Hex(text        ? 0x1F
                        : multiText ? 0x101F
                                    : r.type) +
                    " " + value);
    }
  };
  out.push_back("folder " + Hex(folder));
  props(*store.Properties(*store.FindNode(folder)));
  if (auto table = store.ContentsTable(folder)) {
    out.push_back(" rows " + std::to_string(table->rowCount()));
    for (auto id : table->rowIds())
      out.push_back(" row " + Hex(id));
  }
  for (const ndb::Node* m : store.Messages(folder)) {
    out.push_back("message " + Hex(m->nid));
    const auto pc = store.Properties(*m);
    props(*pc);
    for (const auto& a : Store::Attachments(*pc)) {
      out.push_back("attachment " + Hex(a.nid));
      props(*store.Properties(a));
    }
  }
  for (const ndb::Node* sub : store.SubFolders(folder))
    Dump(store, sub->nid, depth + 1, out);
}

std::vector<std::string> Dump(const std::string& bytes) {
  const auto store = Store::Open(Source(bytes));
  std::vector<std::string> out;
  Dump(*store, kNidRootFolder, 0, out);
  return out;
}

TEST(AnsiStoreTest, ReadsAsTheSameStoreWrittenUnicode) {
  // A long note across blocks, a photo in a subnode, a subfolder; enough contacts for a node
  // index of several pages and a contents table whose rows leave the heap.
  const pstwriter::Store model = testing::SmallStore(400, 30000);
  const auto unicode = Dump(Written(model));
  const auto ansi = Dump(Written(AnsiStore(model)));
  ASSERT_GT(unicode.size(), 4000u);
  for (std::size_t i = 0; i < std::min(unicode.size(), ansi.size()); ++i)
    ASSERT_EQ(unicode[i], ansi[i]) << "line " << i;
  EXPECT_EQ(unicode.size(), ansi.size());
}

// Format 14, the first ANSI version, reads as 15 does.
TEST(AnsiStoreTest, BothAnsiVersionsRead) {
  std::string bytes = Written(AnsiStore());
  const auto sound = Dump(bytes);
  bytes[offsetof(HeaderAnsi, wVer)] = 14;
  pstwriter::ResealHeader(bytes);
  EXPECT_EQ(Dump(bytes), sound);
}

TEST(AnsiStoreTest, PermuteAndCyclicEncodedStoresReadAsThePlainOne) {
  const std::string plain = Written(AnsiStore());
  std::string encoded = plain;
  pstwriter::EncodeBlocks(encoded, kCryptPermute);
  ASSERT_NE(encoded, plain);
  EXPECT_EQ(Dump(encoded), Dump(plain));
  std::string cyclic = plain;
  pstwriter::EncodeBlocks(cyclic, kCryptCyclic);
  ASSERT_NE(cyclic, plain);
  EXPECT_EQ(Dump(cyclic), Dump(plain));
}

// The ANSI offline folders file of Outlook 97 to 2002 is laid out as the ANSI PST.
TEST(AnsiStoreTest, AnAnsiOstReadsAsThePst) {
  const std::string plain = Written(AnsiStore());
  std::string ost = plain;
  ost[offsetof(HeaderAnsi, wMagicClient) + 1] = 'O';
  pstwriter::ResealHeader(ost);
  EXPECT_EQ(Dump(ost), Dump(plain));
}

struct AnsiDamage {
  const char* name;
  std::function<void(std::string&, const HeaderAnsi&)> damage;
  Defect defect;
};

const AnsiDamage kDamage[] = {
    // Under the failing check sum the node index root lies outside the file.
    {"HeaderChecksumAndRootOutsideTheFile",
     [](std::string& b, const HeaderAnsi&) {
       b[offsetof(HeaderAnsi, root) + offsetof(RootAnsi, brefNbt) + offsetof(BrefAnsi, ib) + 3] ^=
           0x40;
     },
     Defect::kChecksum},
    // The root's first entry gets a key above the next one's: the entry is not used, and the
    // message store below it is lost.
    {"NodeIndexRootLosesTheMessageStore",
     [](std::string& b, const HeaderAnsi& h) { b[h.root.brefNbt.ib + 3] ^= 0x40; },
     Defect::kMissing},
    // The root's entry then leads to no page of the index: the blocks below it are missing, and
    // the first read that needs one fails.
    {"BlockIndexPageChecksumLosesItsBlocks",
     [](std::string& b, const HeaderAnsi& h) { b[h.root.brefBbt.ib + 9] ^= 0x02; },
     Defect::kMissing},
    {"TruncatedNodeIndexPage",
     [](std::string& b, const HeaderAnsi& h) { b.resize(h.root.brefNbt.ib + 100); },
     Defect::kOutOfBounds},
    {"DuplicateNode",
     [](std::string& b, const HeaderAnsi&) { pstwriter::DuplicateNode(b, 0, false); },
     Defect::kDuplicateNode},
    {"FolderCycle", [](std::string& b, const HeaderAnsi&) { pstwriter::MakeFolderCycle(b, 0); },
     Defect::kFolderCycle},
    // The second block written: the name-to-id map, which opening the store reads.
    {"MisplacedBlock", [](std::string& b, const HeaderAnsi&) { pstwriter::MisplaceBlock(b, 1); },
     Defect::kOutOfBounds},
};

class AnsiDamageTest : public ::testing::TestWithParam<AnsiDamage> {};

TEST_P(AnsiDamageTest, GivesTheDefectAUnicodeFileGives) {
  std::string bytes = Written(AnsiStore());
  GetParam().damage(bytes, Load<HeaderAnsi>(bytes.data()));
  try {
    Dump(bytes);
    // The folders of a loop are no longer below the root: the walk starts at one of them, as an
    // export does that finds its folder through an entry id.
    const auto store = Store::Open(Source(bytes));
    std::vector<std::string> out;
    for (Nid nid = MakeNid(kNidTypeNormalFolder, 0x400); nid < MakeNid(kNidTypeNormalFolder, 0x500);
         nid += 0x20) {
      if (store->FindNode(nid))
        Dump(*store, nid, 0, out);
    }
    ADD_FAILURE() << "no failure";
  } catch (const CorruptionError& e) {
    EXPECT_EQ(e.defect(), GetParam().defect) << e.what();
    EXPECT_EQ(e.source(), "store.pst");
  }
}

INSTANTIATE_TEST_SUITE_P(Defects, AnsiDamageTest, ::testing::ValuesIn(kDamage),
                         [](const auto& info) { return std::string(info.param.name); });

// Cut anywhere or with bytes changed anywhere, an ANSI file reads or fails with the library's
// own errors: never a crash, a hang or another exception.
TEST(AnsiDamageTest, TruncatedAndFlippedFilesFailCleanly) {
  const std::string sound = Written(AnsiStore(testing::SmallStore(30, 9000)));
  std::mt19937 rng(14);
  int failures = 0;
  auto attempt = [&](const std::string& bytes) {
    try {
      Dump(bytes);
    } catch (const Error&) {
      ++failures;
    }
  };
  int truncations = 0;
  for (std::size_t length = 0; length < sound.size(); length += 4099, ++truncations)
    attempt(sound.substr(0, length));
  std::uniform_int_distribution<std::size_t> pos(0, sound.size() - 1);
  for (int round = 0; round < 60; ++round) {
    std::string bytes = sound;
    for (int i = 0; i < 20; ++i)
      bytes[pos(rng)] ^= static_cast<char>(1 + rng() % 255);
    attempt(bytes);
  }
  // Most cut files fail (a cut in the free space at the end leaves all that is used); a changed
  // one may be read through where its structure holds.
  EXPECT_GT(failures, truncations / 2);
}

}  // namespace
}  // namespace tarnvex::pst
