// Damaged stores, one case per defect: each gives a CorruptionError that says what is wrong and
// where (file offset, block or node), with the values it expected and found, never a crash or a
// walk without end.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

#include "pst/errors.h"
#include "pst/format.h"
#include "pst/messaging/store.h"
#include "pst/ndb/damage.h"
#include "pst/ndb/node_database.h"
#include "tests/pst/test_stores.h"
#include "text/crc.h"
#include "tools/pstwriter/damage.h"

namespace tarnvex::pst {
namespace {

using namespace format;
using messaging::Store;

// What the cases damage, found in the sound file.
struct Facts {
  std::size_t size = 0;
  Header header{};
  ndb::Block messageStore{};                 // the block of the message store's properties
  std::uint16_t displayNameAllocations = 0;  // cAlloc of that heap block
  std::optional<pstwriter::FolderCycle> cycle;
  Nid duplicated = 0;
  std::string displayName;  // of the message store, as read from the sound file
};

// Where the header keeps the node index root's offset.
constexpr std::size_t kNbtRootOffset =
    offsetof(Header, root) + offsetof(Root, brefNbt) + offsetof(Bref, ib);

void ResealPage(std::string& b, std::uint64_t ib) {
  auto trailer = Load<PageTrailer>(b.data() + ib + kPageDataSize);
  trailer.dwCRC = text::Crc32(b.data() + ib, kPageDataSize);
  std::memcpy(b.data() + ib + kPageDataSize, &trailer, sizeof trailer);
}

void ResealBlock(std::string& b, const ndb::Block& block) {
  const std::uint64_t at = block.ib + BlockSpan(block.cb) - sizeof(BlockTrailer);
  auto trailer = Load<BlockTrailer>(b.data() + at);
  trailer.dwCRC = text::Crc32(b.data() + block.ib, block.cb);
  std::memcpy(b.data() + at, &trailer, sizeof trailer);
}

// The offset of the message store's PC record of PidTagDisplayName in the file.
std::size_t DisplayNameRecord(const std::string& b, const ndb::Block& block) {
  const PcRecord wanted{0x3001, 0x001F, 0};
  for (std::size_t at = block.ib; at + sizeof(PcRecord) <= block.ib + block.cb; ++at) {
    if (std::memcmp(b.data() + at, &wanted, 4) == 0)
      return at;
  }
  throw std::runtime_error("no display name record");
}

// Calls `f` with the file offset of each leaf entry of the node index.
void ForEachNodeEntry(const std::string& b, std::uint64_t ib,
                      const std::function<void(std::uint64_t entry, std::uint64_t page)>& f) {
  const auto tail = Load<BtPageTail>(b.data() + ib + kBtPageEntryBytes);
  for (std::size_t i = 0; i < tail.cEnt; ++i) {
    const std::uint64_t at = ib + i * tail.cbEnt;
    if (tail.cLevel > 0)
      ForEachNodeEntry(b, Load<BtEntry>(b.data() + at).bref.ib, f);
    else
      f(at, ib);
  }
}

// Every folder's subfolders, walked down from the root folder (as an export does).
void WalkFolders(const Store& store, Nid folder, int depth) {
  ASSERT_LT(depth, 100) << "the walk did not end";
  for (const ndb::Node* sub : store.SubFolders(folder))
    WalkFolders(store, sub->nid, depth + 1);
}

struct CorruptionCase {
  const char* name;
  std::function<void(std::string&, Facts&)> damage;
  // What reads the damaged part; the damage must make it throw.
  std::function<void(const std::shared_ptr<const ByteSource>&)> read;
  Defect defect;
  std::function<void(const CorruptionError&, const Facts&)> check;
};

void OpenStore(const std::shared_ptr<const ByteSource>& source) {
  Store::Open(source);
}

void ReadMessageStore(const std::shared_ptr<const ByteSource>& source) {
  const auto store = Store::Open(source);
  const auto pc = store->Properties(*store->FindNode(kNidMessageStore));
  for (const auto& r : pc->records())
    pc->ValueBytes(r);
}

const CorruptionCase kCases[] = {
    {"DuplicateNode",
     [](std::string& b, Facts& f) { f.duplicated = pstwriter::DuplicateNode(b, 0, false); },
     OpenStore, Defect::kDuplicateNode,
     [](const CorruptionError& e, const Facts& f) {
       EXPECT_EQ(e.where().node, f.duplicated);
       ASSERT_TRUE(e.where().offset);
       EXPECT_EQ(*e.where().offset % kPageSize, 0u);
       EXPECT_EQ(e.expected(), "1 entry");
       EXPECT_EQ(e.found(), "2 entries");
       EXPECT_NE(e.description().find("lists node " + Hex(f.duplicated) + " twice"),
                 std::string::npos);
     }},
    {"FolderCycle", [](std::string& b, Facts& f) { f.cycle = pstwriter::MakeFolderCycle(b, 0); },
     [](const std::shared_ptr<const ByteSource>& source) {
       WalkFolders(*Store::Open(source), kNidRootFolder, 0);
       // The folders in the loop are no longer below the root: the walk starts at one of them,
       // as an export does that finds its folder through an entry id.
       const auto store = Store::Open(source);
       const ndb::Node* ipm = nullptr;
       for (Nid nid = MakeNid(kNidTypeNormalFolder, 0x400); !ipm; nid += 0x20)
         ipm = store->FindNode(nid);
       WalkFolders(*store, ipm->nid, 0);
     },
     Defect::kFolderCycle,
     [](const CorruptionError& e, const Facts& f) {
       EXPECT_EQ(e.where().node, f.cycle->folder);
       EXPECT_EQ(e.expected(), "a subfolder below " + Hex(f.cycle->folder));
       EXPECT_EQ(e.found(), "folder " + Hex(f.cycle->subfolder) + ", above it");
     }},
    // A header under a failing check sum whose node index root lies outside the file: nothing
    // in it can be trusted.
    {"HeaderChecksumAndRootOutsideTheFile",
     [](std::string& b, Facts&) { b[kNbtRootOffset + 6] ^= 0x01; }, OpenStore, Defect::kChecksum,
     [](const CorruptionError& e, const Facts& f) {
       EXPECT_EQ(e.where().offset, offsetof(Header, dwCRCPartial));
       EXPECT_EQ(e.expected(), Hex(f.header.dwCRCPartial));
       EXPECT_NE(e.found(), e.expected());
     }},
    // The root page's first entry gets a key above the next one's: that entry is not used, and
    // with it the nodes of the store's own that every export needs.
    {"NodeIndexRootLosesTheMessageStore",
     [](std::string& b, Facts& f) { b[f.header.root.brefNbt.ib + 3] ^= 0x40; }, OpenStore,
     Defect::kMissing,
     [](const CorruptionError& e, const Facts& f) {
       EXPECT_EQ(e.where().node, kNidMessageStore);
       EXPECT_EQ(e.where().offset, +f.header.root.brefNbt.ib);
       EXPECT_EQ(e.description(),
                 "the message store (node 0x21) is missing: the node index page at offset " +
                     std::to_string(f.header.root.brefNbt.ib) + " that would list it is damaged");
     }},
    {"ZeroedNodeIndexRoot",
     [](std::string& b, Facts& f) {
       std::memset(b.data() + f.header.root.brefNbt.ib, 0, kPageSize);
     },
     OpenStore, Defect::kMismatch,
     [](const CorruptionError& e, const Facts& f) {
       EXPECT_EQ(e.where().offset, +f.header.root.brefNbt.ib);
       EXPECT_EQ(e.description(), "the node index page at offset " +
                                      std::to_string(f.header.root.brefNbt.ib) +
                                      " is not one of its pages");
     }},
    {"TruncatedNodeIndexPage",
     [](std::string& b, Facts& f) { b.resize(f.header.root.brefNbt.ib + 100); }, OpenStore,
     Defect::kOutOfBounds,
     [](const CorruptionError& e, const Facts& f) {
       EXPECT_EQ(e.where().offset, +f.header.root.brefNbt.ib);
       EXPECT_EQ(e.expected(),
                 "a page within " + std::to_string(f.header.root.brefNbt.ib + 100) + " bytes");
       EXPECT_EQ(e.found(), "offset " + std::to_string(f.header.root.brefNbt.ib));
     }},
    // The heap's page map is in the block's last bytes: used through the failing sum, it no
    // longer holds together, and that is the failure.
    {"BlockChecksumOverABrokenHeap",
     [](std::string& b, Facts& f) { b[f.messageStore.ib + f.messageStore.cb - 1] ^= 0x10; },
     ReadMessageStore, Defect::kOutOfBounds,
     [](const CorruptionError& e, const Facts&) {
       EXPECT_EQ(e.where().node, kNidMessageStore);
       EXPECT_NE(e.description().find("of heap block 0 of node 0x21"), std::string::npos);
     }},
    {"BadHeapReference",
     [](std::string& b, Facts& f) {
       const std::size_t at = DisplayNameRecord(b, f.messageStore);
       const Hid bad = 0x7FF << 5;  // block 0, allocation 2047
       std::memcpy(b.data() + at + offsetof(PcRecord, dwValueHnid), &bad, sizeof bad);
       f.displayNameAllocations =
           Load<HnPageMapHead>(b.data() + f.messageStore.ib +
                               Load<std::uint16_t>(b.data() + f.messageStore.ib))
               .cAlloc;
       ResealBlock(b, f.messageStore);
     },
     ReadMessageStore, Defect::kBadHeapReference,
     [](const CorruptionError& e, const Facts& f) {
       EXPECT_EQ(e.where().node, kNidMessageStore);
       EXPECT_EQ(e.expected(), "an allocation of " + std::to_string(f.displayNameAllocations));
       EXPECT_EQ(e.found(), "allocation 2047");
     }},
    {"MissingBlock",
     [](std::string& b, Facts& f) {
       ForEachNodeEntry(b, f.header.root.brefNbt.ib, [&](std::uint64_t at, std::uint64_t page) {
         NbtEntry entry = Load<NbtEntry>(b.data() + at);
         if (entry.nid != kNidMessageStore)
           return;
         entry.bidData = 0x7FFFFFF0;
         std::memcpy(b.data() + at, &entry, sizeof entry);
         ResealPage(b, page);
       });
     },
     ReadMessageStore, Defect::kMissing,
     [](const CorruptionError& e, const Facts&) {
       EXPECT_EQ(e.where().block, 0x7FFFFFF0u);
       EXPECT_NE(e.description().find("missing from the block index"), std::string::npos);
     }},
};

class CorruptionTest : public ::testing::TestWithParam<CorruptionCase> {};

TEST_P(CorruptionTest, FailsNamingTheDefectAndWhereItIs) {
  const std::string sound = testing::Written(testing::SmallStore());
  Facts facts;
  facts.size = sound.size();
  facts.header = Load<Header>(sound.data());
  {
    const auto db = ndb::NodeDatabase::Open(testing::Source(sound));
    facts.messageStore = *db->FindBlock(db->FindNode(kNidMessageStore)->data);
  }
  std::string damaged = sound;
  GetParam().damage(damaged, facts);
  const auto source = testing::Source(damaged);
  try {
    GetParam().read(source);
    ADD_FAILURE() << "no failure";
  } catch (const CorruptionError& e) {
    EXPECT_EQ(e.defect(), GetParam().defect) << e.what();
    EXPECT_EQ(e.source(), "store.pst");
    EXPECT_EQ(std::string(e.what()).rfind(
                  "The Outlook data file \"store.pst\" is damaged: " + e.description(), 0),
              0u)
        << e.what();
    GetParam().check(e, facts);
  }
}

INSTANTIATE_TEST_SUITE_P(Defects, CorruptionTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Damage read through -------------------------------------------------------------------

// The message store's display name, as read.
std::string StoreDisplayName(const Store& store) {
  const auto pc = store.Properties(*store.FindNode(kNidMessageStore));
  const auto* r = pc->Find(0x3001, 0x001F);
  return r ? pc->ValueText(*r) : std::string();
}

struct ReadThroughCase {
  const char* name;
  // Damages the file under a check sum, leaving the structure under it whole.
  std::function<void(std::string&, const Facts&)> damage;
  // The note of the damage, found among the database's and told to the reading thread.
  std::function<std::string(const Facts&)> note;
  // Whether the display name read differs from the sound file's (the damage is in it).
  bool nameChanged;
};

const ReadThroughCase kReadThrough[] = {
    // The header's reserved bytes lie under its check sums.
    {"HeaderChecksum", [](std::string& b, const Facts&) { b[200] ^= 0x01; },
     [](const Facts&) {
       return std::string("the header fails its check sum; its fields are used");
     },
     false},
    // A byte past the root page's last entry: its entries are whole.
    {"NodeIndexPageChecksum",
     [](std::string& b, const Facts& f) {
       const std::uint64_t ib = f.header.root.brefNbt.ib;
       const auto tail = Load<BtPageTail>(b.data() + ib + kBtPageEntryBytes);
       ASSERT_LT(std::size_t{tail.cEnt} * tail.cbEnt, kBtPageEntryBytes);
       b[ib + std::size_t{tail.cEnt} * tail.cbEnt] ^= 0x01;
     },
     [](const Facts& f) {
       return "the node index page at offset " + std::to_string(f.header.root.brefNbt.ib) +
              " fails its check sum; its entries are used";
     },
     false},
    // A character of the display name, inside the heap: its structure holds.
    {"BlockChecksum",
     [](std::string& b, const Facts& f) {
       const std::string name = f.displayName;
       std::string utf16;
       for (char c : name)
         utf16 += std::string{c, '\0'};
       const std::size_t at = b.find(utf16, f.messageStore.ib);
       ASSERT_LT(at, f.messageStore.ib + f.messageStore.cb);
       b[at] ^= 0x01;
     },
     [](const Facts& f) {
       return "block " + Hex(f.messageStore.bid) + " at offset " +
              std::to_string(f.messageStore.ib) + " fails its check sum; its data are used";
     },
     true},
};

class ReadThroughTest : public ::testing::TestWithParam<ReadThroughCase> {};

TEST_P(ReadThroughTest, ReadsTheDataAndNotesTheDamageOnce) {
  const std::string sound = testing::Written(testing::SmallStore());
  Facts facts;
  facts.header = Load<Header>(sound.data());
  {
    const auto store = Store::Open(testing::Source(sound));
    facts.messageStore = *store->db()->FindBlock(store->FindNode(kNidMessageStore)->data);
    facts.displayName = StoreDisplayName(*store);
    ASSERT_TRUE(store->db()->DamageNotes().empty());
  }
  ASSERT_FALSE(facts.displayName.empty());
  std::string damaged = sound;
  ASSERT_NO_FATAL_FAILURE(GetParam().damage(damaged, facts));

  std::vector<std::string> told;
  std::shared_ptr<const Store> store;
  std::string name;
  {
    ndb::DamageScope scope(told);
    store = Store::Open(testing::Source(damaged));
    name = StoreDisplayName(*store);
    name = StoreDisplayName(*store);  // read twice: noted once
  }
  const std::string note = GetParam().note(facts);
  EXPECT_EQ(store->db()->DamageNotes(), std::vector<std::string>{note});
  EXPECT_EQ(told, std::vector<std::string>{note});
  EXPECT_EQ(name != facts.displayName, GetParam().nameChanged) << name;
  // Outside a scope nobody is told, and the database's note stays one.
  StoreDisplayName(*store);
  EXPECT_EQ(told.size(), 1u);
  EXPECT_EQ(store->db()->DamageNotes().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Damage, ReadThroughTest, ::testing::ValuesIn(kReadThrough),
                         [](const auto& info) { return std::string(info.param.name); });

// The nodes a node index page that fails its check sum lists are marked, with the page's offset:
// what such an entry says of a node may be wrong, though its page holds together.
TEST(ReadThroughTest, NodesOfADamagedPageAreMarked) {
  const std::string sound = testing::Written(testing::SmallStore());
  const auto header = Load<Header>(sound.data());
  std::vector<std::pair<std::uint64_t, std::uint64_t>> entries;  // entry, page
  ForEachNodeEntry(sound, header.root.brefNbt.ib,
                   [&](std::uint64_t at, std::uint64_t page) { entries.emplace_back(at, page); });
  ASSERT_FALSE(entries.empty());
  const std::uint64_t page = entries.front().second;
  std::string damaged = sound;
  const auto tail = Load<BtPageTail>(damaged.data() + page + kBtPageEntryBytes);
  damaged[page + std::size_t{tail.cEnt} * tail.cbEnt] ^= 0x01;  // past the entries

  const auto db = ndb::NodeDatabase::Open(testing::Source(damaged));
  for (const auto& [at, listedBy] : entries) {
    const Nid nid = static_cast<Nid>(Load<NbtEntry>(damaged.data() + at).nid);
    EXPECT_EQ(db->DamagedPageOf(nid),
              listedBy == page ? std::optional<std::uint64_t>(page) : std::nullopt)
        << Hex(nid);
  }
}

// The first leaf page of an index, down its first entries.
std::uint64_t FirstLeaf(const std::string& b, std::uint64_t ib) {
  while (Load<BtPageTail>(b.data() + ib + kBtPageEntryBytes).cLevel > 0)
    ib = Load<BtEntry>(b.data() + ib).bref.ib;
  return ib;
}

// Of a block index page whose sum fails, the entries that hold are used: each block names itself
// in its trailer and is checked when read, so an entry that does not hold loses only its block.
TEST(ReadThroughTest, ABlockIndexEntryThatDoesNotHoldLosesOnlyItsBlock) {
  const std::string sound = testing::Written(testing::SmallStore());
  const auto header = Load<Header>(sound.data());
  const std::uint64_t leaf = FirstLeaf(sound, header.root.brefBbt.ib);
  const auto tail = Load<BtPageTail>(sound.data() + leaf + kBtPageEntryBytes);
  ASSERT_GE(tail.cEnt, 3);
  std::string damaged = sound;
  BbtEntry lost = Load<BbtEntry>(damaged.data() + leaf + tail.cbEnt);
  lost.bref.ib += std::uint64_t{1} << 40;  // far past the end of the file
  std::memcpy(damaged.data() + leaf + tail.cbEnt, &lost, sizeof lost);

  const auto db = ndb::NodeDatabase::Open(testing::Source(damaged));
  EXPECT_EQ(db->FindBlock(lost.bref.bid), nullptr);
  for (const int kept : {0, 2}) {
    const auto entry = Load<BbtEntry>(damaged.data() + leaf + kept * tail.cbEnt);
    ASSERT_NE(db->FindBlock(entry.bref.bid), nullptr) << kept;
    EXPECT_EQ(db->FindBlock(entry.bref.bid)->ib, entry.bref.ib);
  }
  EXPECT_EQ(db->DamageNotes(),
            std::vector<std::string>{"the block index page at offset " + std::to_string(leaf) +
                                     " fails its check sum; its entries that hold are used"});
}

// A page of the block index below its root that cannot be used is left out, noted: the blocks
// it lists are missing, and only the reads that need them fail. The root page must hold.
TEST(ReadThroughTest, AnUnusableBlockIndexPageLosesOnlyItsBlocks) {
  const std::string sound = testing::Written(testing::SmallStore(300, 0));
  const auto header = Load<Header>(sound.data());
  const std::uint64_t root = header.root.brefBbt.ib;
  ASSERT_GT(Load<BtPageTail>(sound.data() + root + kBtPageEntryBytes).cLevel, 0)
      << "the block index has a page below its root";
  const std::uint64_t leaf = FirstLeaf(sound, root);
  std::string damaged = sound;
  std::memset(damaged.data() + leaf, 0, kPageSize);
  const auto db = ndb::NodeDatabase::Open(testing::Source(damaged));
  const auto first = Load<BbtEntry>(sound.data() + leaf);
  EXPECT_EQ(db->FindBlock(first.bref.bid), nullptr);
  const auto notes = db->DamageNotes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind(
                "the block index page at offset " + std::to_string(leaf) + " cannot be used (", 0),
            0u)
      << notes[0];

  std::string zeroedRoot = sound;
  std::memset(zeroedRoot.data() + root, 0, kPageSize);
  EXPECT_THROW(ndb::NodeDatabase::Open(testing::Source(zeroedRoot)), CorruptionError);
}

// --- Node index pages that cannot be used whole ---------------------------------------------

// The node index's last leaf page, down its last entries, the file offsets of its entries, and
// the page above it.
struct LastLeaf {
  std::uint64_t ib = 0;
  std::vector<std::uint64_t> entries;
  std::uint64_t parent = 0;
};
LastLeaf FindLastLeaf(const std::string& b, std::uint64_t ib) {
  std::uint64_t parent = 0;
  for (auto tail = Load<BtPageTail>(b.data() + ib + kBtPageEntryBytes); tail.cLevel > 0;
       tail = Load<BtPageTail>(b.data() + ib + kBtPageEntryBytes)) {
    parent = ib;
    ib = Load<BtEntry>(b.data() + ib + (tail.cEnt - 1) * std::size_t{tail.cbEnt}).bref.ib;
  }
  LastLeaf leaf{ib, {}, parent};
  const auto tail = Load<BtPageTail>(b.data() + ib + kBtPageEntryBytes);
  for (std::size_t i = 0; i < tail.cEnt; ++i)
    leaf.entries.push_back(ib + i * tail.cbEnt);
  return leaf;
}

Nid NidAt(const std::string& b, std::uint64_t entry) {
  return static_cast<Nid>(Load<NbtEntry>(b.data() + entry).nid);
}

void SetNid(std::string& b, std::uint64_t entry, std::uint64_t nid) {
  auto e = Load<NbtEntry>(b.data() + entry);
  e.nid = nid;
  std::memcpy(b.data() + entry, &e, sizeof e);
}

struct LostNodesCase {
  const char* name;
  // Damages the node index around its last leaf page; gives the NIDs lost.
  std::function<std::vector<Nid>(std::string&, const LastLeaf&, std::uint64_t root)> damage;
  // The one note of the damage, given the page the lost nodes are kept under.
  std::function<std::string(std::uint64_t page)> note;
  // The page the lost nodes are kept under: the leaf's own (or else the root's).
  bool atTheLeaf;
  // Whether the nodes the page still lists are marked as from a damaged page.
  bool keptAreMarked;
};

// The note of a page of which all entries but one hold ("N of its N+1" stands for the counts).
std::string SomeEntriesHold(std::uint64_t page) {
  return "the node index page at offset " + std::to_string(page) +
         " fails its check sum; N of its N+1 entries hold and are used";
}

const LostNodesCase kLostNodes[] = {
    // An entry of a type MS-PST does not define, under the page's failing sum.
    {"AnEntryOfAnUnknownType",
     [](std::string& b, const LastLeaf& leaf, std::uint64_t) {
       const Nid lost = NidAt(b, leaf.entries[1]);
       SetNid(b, leaf.entries[1], (lost & ~kNidTypeMask) | 0x09);
       return std::vector<Nid>{lost};
     },
     SomeEntriesHold, true, true},
    // An entry whose key is above the next one's: only it is lost, not those after it.
    {"AnEntryOutOfOrder",
     [](std::string& b, const LastLeaf& leaf, std::uint64_t) {
       const Nid lost = NidAt(b, leaf.entries[1]);
       SetNid(b, leaf.entries[1], NidAt(b, leaf.entries[2]) + 0x20);
       return std::vector<Nid>{lost};
     },
     SomeEntriesHold, true, true},
    {"AZeroedLeaf",
     [](std::string& b, const LastLeaf& leaf, std::uint64_t) {
       std::vector<Nid> lost;
       for (const std::uint64_t entry : leaf.entries)
         lost.push_back(NidAt(b, entry));
       std::memset(b.data() + leaf.ib, 0, kPageSize);
       return lost;
     },
     [](std::uint64_t page) {
       const std::string at = "the node index page at offset " + std::to_string(page);
       return at + " cannot be used (" + at + " is not one of its pages); the nodes it lists " +
              "are missing";
     },
     true, false},
    // The last leaf's parent's last entry leads back to the root, whose level is not a leaf's.
    {"AChildAtTheWrongLevel",
     [](std::string& b, const LastLeaf& leaf, std::uint64_t) {
       const auto tail = Load<BtPageTail>(b.data() + leaf.parent + kBtPageEntryBytes);
       const std::uint64_t at = leaf.parent + (tail.cEnt - 1) * std::size_t{tail.cbEnt};
       auto entry = Load<BtEntry>(b.data() + at);
       entry.bref = Load<Header>(b.data()).root.brefNbt;
       std::memcpy(b.data() + at, &entry, sizeof entry);
       ResealPage(b, leaf.parent);
       std::vector<Nid> lost;
       for (const std::uint64_t e : leaf.entries)
         lost.push_back(NidAt(b, e));
       return lost;
     },
     [](std::uint64_t page) {
       const std::string at = "the node index page at offset " + std::to_string(page);
       return at + " cannot be used (" + at + " is at the wrong level of the tree); the nodes " +
              "it lists are missing";
     },
     false, false},
};

class LostNodesTest : public ::testing::TestWithParam<LostNodesCase> {};

// A node index page below the root, or some entries of one, that cannot be used lose only their
// own nodes: the rest of the index stands, and what the page spanned is kept as lost, so that
// whatever misses one of its nodes can say why.
TEST_P(LostNodesTest, LosesOnlyThePagesOwnNodesAndKeepsWhereTheyWere) {
  const std::string sound = testing::Written(testing::SmallStore(300, 0));
  const std::uint64_t root = Load<Header>(sound.data()).root.brefNbt.ib;
  const LastLeaf leaf = FindLastLeaf(sound, root);
  ASSERT_GE(leaf.entries.size(), 3u);
  std::string damaged = sound;
  const std::vector<Nid> lost = GetParam().damage(damaged, leaf, root);

  const auto before = ndb::NodeDatabase::Open(testing::Source(sound));
  const auto db = ndb::NodeDatabase::Open(testing::Source(damaged));
  const std::uint64_t page = GetParam().atTheLeaf ? leaf.ib : root;
  EXPECT_EQ(db->NodeCount(), before->NodeCount() - lost.size());
  for (const Nid nid : lost) {
    EXPECT_EQ(db->FindNode(nid), nullptr) << Hex(nid);
    EXPECT_EQ(db->LostPageOf(nid), page) << Hex(nid);
  }
  std::size_t kept = 0;
  for (const std::uint64_t entry : leaf.entries) {
    const Nid nid = NidAt(sound, entry);
    if (std::find(lost.begin(), lost.end(), nid) != lost.end())
      continue;
    ++kept;
    ASSERT_NE(db->FindNode(nid), nullptr) << Hex(nid);
    EXPECT_EQ(db->FindNode(nid)->data, before->FindNode(nid)->data);
    EXPECT_EQ(db->DamagedPageOf(nid).has_value(), GetParam().keptAreMarked) << Hex(nid);
  }
  EXPECT_EQ(db->FindNode(kNidMessageStore)->data, before->FindNode(kNidMessageStore)->data);
  EXPECT_EQ(db->LostPageOf(kNidMessageStore), std::nullopt);
  EXPECT_EQ(db->LostPageOfType(kNidTypeNormalMessage), page);
  std::string note = GetParam().note(page);
  if (const auto n = note.find("N of its N+1"); n != std::string::npos)
    note.replace(n, 12, std::to_string(kept) + " of its " + std::to_string(kept + 1));
  EXPECT_EQ(db->DamageNotes(), std::vector<std::string>{note});
  // The store opens: its own nodes are not among those lost.
  EXPECT_NO_THROW(Store::Open(testing::Source(damaged)));
}

INSTANTIATE_TEST_SUITE_P(Damage, LostNodesTest, ::testing::ValuesIn(kLostNodes),
                         [](const auto& info) { return std::string(info.param.name); });

// The span of a lost page is the keys between its parent's entries: a node of a page that holds
// is not said to be lost, and a type the span cannot hold is not either.
TEST(LostNodesTest, OnlyTheLostPagesSpanIsLost) {
  const std::string sound = testing::Written(testing::SmallStore(300, 0));
  const std::uint64_t root = Load<Header>(sound.data()).root.brefNbt.ib;
  const LastLeaf leaf = FindLastLeaf(sound, root);
  std::string damaged = sound;
  const Nid first = NidAt(damaged, leaf.entries.front());
  std::memset(damaged.data() + leaf.ib, 0, kPageSize);
  const auto db = ndb::NodeDatabase::Open(testing::Source(damaged));
  EXPECT_EQ(db->LostPageOf(first), leaf.ib);
  EXPECT_EQ(db->LostPageOf(first - 1), std::nullopt) << "below the page's first key";
  EXPECT_EQ(db->LostPageOf(0xFFFFFFE4), leaf.ib) << "the last page spans every key above";
  EXPECT_EQ(db->LostPageOf(kNidRootFolder), std::nullopt);
}

// A node listed twice by entries alike in every field: the entries say the same of it, so one is
// used, and the damage noted.
TEST(ReadThroughTest, ANodeListedTwiceAlikeIsUsedOnce) {
  const std::string sound = testing::Written(testing::SmallStore());
  std::string damaged = sound;
  const Nid twice = pstwriter::DuplicateNode(damaged, 0);
  const auto before = ndb::NodeDatabase::Open(testing::Source(sound));
  const auto db = ndb::NodeDatabase::Open(testing::Source(damaged));
  // In a full page the copy takes the place of the entry after it, whose node is then missing.
  EXPECT_LE(before->NodeCount() - db->NodeCount(), 1u);
  ASSERT_NE(db->FindNode(twice), nullptr);
  EXPECT_EQ(db->FindNode(twice)->data, before->FindNode(twice)->data);
  const auto notes = db->DamageNotes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].rfind("the node index lists node " + Hex(twice) +
                               " twice in its page at "
                               "offset ",
                           0),
            0u)
      << notes[0];
  EXPECT_TRUE(notes[0].ends_with("; the entries are alike, and one is used")) << notes[0];
  EXPECT_NO_THROW(WalkFolders(*Store::Open(testing::Source(damaged)), kNidRootFolder, 0));
}

// Scopes nest: a note goes to every scope living on the thread, once each.
TEST(DamageScopeTest, TellsEveryLivingScopeOnce) {
  std::vector<std::string> outer, inner;
  ndb::DamageScope::Tell("before");
  {
    ndb::DamageScope a(outer);
    ndb::DamageScope::Tell("one");
    {
      ndb::DamageScope b(inner);
      ndb::DamageScope::Tell("two");
      ndb::DamageScope::Tell("one");
    }
    ndb::DamageScope::Tell("three");
  }
  ndb::DamageScope::Tell("after");
  EXPECT_EQ(outer, (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(inner, (std::vector<std::string>{"two", "one"}));
}

// The sound store reads whole through the same steps.
TEST(CorruptionTest, TheSoundStoreReads) {
  const auto source = testing::Source(testing::Written(testing::SmallStore()));
  ReadMessageStore(source);
  WalkFolders(*Store::Open(source), kNidRootFolder, 0);
}

}  // namespace
}  // namespace tarnvex::pst
