// The reader's layers on stores written by the project's writer, in memory: the node database,
// the heap and property contexts, the name-to-id map, folders, messages and attachments, and
// stores whose blocks are encoded.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <map>

#include "pst/errors.h"
#include "pst/format.h"
#include "pst/ltp/property_context.h"
#include "pst/messaging/store.h"
#include "pst/ndb/node_database.h"
#include "tests/pst/test_stores.h"
#include "text/crc.h"
#include "text/utf.h"
#include "tools/pstwriter/damage.h"
#include "tools/pstwriter/generator.h"

namespace tarnvex::pst {
namespace {

using namespace format;
using messaging::Store;
using testing::SmallStore;
using testing::Source;
using testing::Written;

constexpr std::uint16_t kTagDisplayName = 0x3001;

std::string DisplayName(const Store& store, const ndb::Node& node) {
  const auto pc = store.Properties(node);
  const auto* r = pc->Find(kTagDisplayName, ltp::kTypeUnicode);
  return r ? pc->ValueText(*r) : "";
}

// The value of the named property (set, lid) of a message, as text; empty when it has none.
std::string NamedText(const Store& store, const ltp::PropertyContext& pc, const std::uint8_t* set,
                      std::uint32_t lid) {
  for (const auto& r : pc.records()) {
    const auto* named = store.names().Find(r.id);
    if (named && !named->isString && named->lid == lid &&
        std::equal(named->guid, named->guid + 16, set)) {
      return pc.ValueText(r);
    }
  }
  return "";
}

using mapi::kPsetidAddress;

const ndb::Node& Folder(const Store& store, Nid parent, const std::string& name) {
  for (const ndb::Node* n : store.SubFolders(parent)) {
    if (DisplayName(store, *n) == name)
      return *n;
  }
  throw std::runtime_error("no folder " + name);
}

TEST(NodeDatabaseTest, FindsTheNodesEveryStoreHas) {
  const auto db = ndb::NodeDatabase::Open(Source(Written(SmallStore())));
  EXPECT_EQ(db->name(), "store.pst");
  for (Nid nid : {kNidMessageStore, kNidNameToIdMap, kNidRootFolder, kNidHierarchyTableTemplate})
    EXPECT_NE(db->FindNode(nid), nullptr) << Hex(nid);
  EXPECT_EQ(db->FindNode(0x7FFFFFE2), nullptr);
  // The root folder is its own parent and not its own child.
  EXPECT_EQ(db->FindNode(kNidRootFolder)->parent, kNidRootFolder);
  const auto top = db->Children(kNidRootFolder, kNidTypeNormalFolder);
  ASSERT_EQ(top.size(), 2u);  // the IPM subtree and the search root
  EXPECT_LT(top[0]->nid, top[1]->nid);
}

TEST(NodeDatabaseTest, ReadsDataTreesAcrossBlocks) {
  const auto store = Store::Open(Source(Written(SmallStore(3, 30000))));
  const ndb::Node& contacts =
      Folder(*store, Folder(*store, kNidRootFolder, "Top of Personal Folders").nid, "Contacts");
  const auto messages = store->Messages(contacts.nid);
  ASSERT_EQ(messages.size(), 3u);
  const auto pc = store->Properties(*messages[0]);
  const auto* body = pc->Find(0x1000, ltp::kTypeUnicode);  // PidTagBody
  ASSERT_NE(body, nullptr);
  // 60,000 bytes of UTF-16: a subnode whose data tree spans eight blocks.
  EXPECT_EQ(pc->ValueText(*body), std::string(30000, 'n'));
  EXPECT_TRUE(IsInternal(pc->FindSubnode(body->hnid)->data));
}

TEST(PropertyContextTest, ReadsTheMessageStore) {
  const auto store = Store::Open(Source(Written(SmallStore())));
  const auto pc = store->Properties(*store->FindNode(kNidMessageStore));
  const auto* name = pc->Find(kTagDisplayName, ltp::kTypeUnicode);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(pc->ValueText(*name), "Test Store");
  // Records come sorted by property id, as the writer stores them.
  for (std::size_t i = 1; i < pc->records().size(); ++i)
    EXPECT_LT(pc->records()[i - 1].id, pc->records()[i].id);
  const auto* mask = pc->Find(0x35DF, ltp::kTypeInt32);  // PidTagValidFolderMask, inline
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(pc->ValueBytes(*mask).size(), 4u);
  EXPECT_EQ(mask->hnid, 0x81u | 0x04 | 0x08 | 0x10);
}

TEST(MessagingTest, FoldersMessagesNamedPropertiesAndAttachments) {
  const auto store = Store::Open(Source(Written(SmallStore())));
  const ndb::Node& top = Folder(*store, kNidRootFolder, "Top of Personal Folders");
  std::vector<std::string> names;
  for (const ndb::Node* n : store->SubFolders(top.nid))
    names.push_back(DisplayName(*store, *n));
  EXPECT_EQ(names,
            (std::vector<std::string>{"Deleted Items", "Inbox", "Outbox", "Sent Items", "Calendar",
                                      "Contacts", "Journal", "Notes", "Tasks", "Drafts"}));
  const ndb::Node& contacts = Folder(*store, top.nid, "Contacts");
  const ndb::Node& friends = Folder(*store, contacts.nid, "Friends");
  EXPECT_TRUE(store->SubFolders(friends.nid).empty());

  std::vector<std::string> fileAs;
  for (const ndb::Node* m : store->Messages(contacts.nid))
    fileAs.push_back(NamedText(*store, *store->Properties(*m), kPsetidAddress.data(), 0x8005));
  EXPECT_EQ(fileAs, (std::vector<std::string>{"Contact 1", "Contact 2", "Contact 3"}));
  ASSERT_EQ(store->Messages(friends.nid).size(), 1u);

  const auto first = store->Properties(*store->Messages(contacts.nid)[0]);
  const auto attachments = Store::Attachments(*first);
  ASSERT_EQ(attachments.size(), 1u);
  const auto photo = store->Properties(attachments[0]);
  const auto* data = photo->Find(0x3701, ltp::kTypeBinary);  // PidTagAttachDataBinary
  ASSERT_NE(data, nullptr);
  const auto jpeg = pstwriter::TinyJpeg(1);
  EXPECT_EQ(photo->ValueBytes(*data), std::string(jpeg.begin(), jpeg.end()));
  EXPECT_TRUE(Store::Attachments(*store->Properties(*store->Messages(contacts.nid)[1])).empty());
}

// The contents table lists each message's class, in both formats, whether its rows lie in the
// table's heap (a few messages) or in a subnode (thousands): the same class the message keeps.
TEST(MessagingTest, ContentsTableListsEachMessagesClass) {
  for (const auto format : {pstwriter::StoreFormat::kUnicode, pstwriter::StoreFormat::kAnsi}) {
    for (const int count : {4, 3000}) {
      pstwriter::Store model = pstwriter::Store::WithStandardFolders();
      model.format = format;
      pstwriter::Folder& inbox = *model.ipmSubtree.FindFolder("Inbox");
      const char* const classes[] = {"IPM.Note", "IPM.Contact", "IPM.DistList", "IPM.Contact.Own"};
      for (int i = 0; i < count; ++i)
        inbox.AddMessage(classes[i % 4]).props.SetString("PidTagSubject", std::to_string(i));
      const auto store = Store::Open(Source(Written(model)));
      // The folder that holds the messages (ANSI names are 8-bit strings, so not by its name).
      std::function<const ndb::Node*(Nid)> holder = [&](Nid parent) -> const ndb::Node* {
        for (const ndb::Node* sub : store->SubFolders(parent)) {
          if (store->Messages(sub->nid).size() == static_cast<std::size_t>(count))
            return sub;
          if (const ndb::Node* found = holder(sub->nid))
            return found;
        }
        return nullptr;
      };
      const ndb::Node* inboxNode = holder(kNidRootFolder);
      ASSERT_NE(inboxNode, nullptr);
      const ndb::Node& folder = *inboxNode;
      const auto table = store->ContentsTable(folder.nid);
      ASSERT_NE(table, nullptr);
      const std::uint32_t tag = format == pstwriter::StoreFormat::kAnsi ? 0x001A001E : 0x001A001F;
      ASSERT_TRUE(table->HasColumn(tag));
      EXPECT_FALSE(table->HasColumn(0x7FF0001F));
      const auto values = table->ColumnValues(tag);
      ASSERT_EQ(values.size(), static_cast<std::size_t>(count));
      std::map<std::uint32_t, std::string> listed;
      for (std::size_t i = 0; i < values.size(); ++i) {
        ASSERT_TRUE(values[i]) << i;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(values[i]->data());
        listed[table->rowIds()[i]] = tag == 0x001A001F
                                         ? text::Utf16LeToUtf8(bytes, values[i]->size())
                                         : values[i]->substr(0, values[i]->find('\0'));
      }
      for (const ndb::Node* m : store->Messages(folder.nid)) {
        const auto pc = store->Properties(*m);
        const auto* cls = pc->Find(0x001A, static_cast<std::uint16_t>(tag & 0xFFFF));
        ASSERT_NE(cls, nullptr);
        EXPECT_EQ(listed.at(m->nid), pc->ValueText(*cls)) << count;
      }
      // A column the table lacks gives no value for any row.
      for (const auto& value : table->ColumnValues(0x7FF0001F))
        EXPECT_FALSE(value);
    }
  }
}

TEST(MessagingTest, NamedPropertiesByName) {
  auto model = SmallStore(1, 0);
  pstwriter::Guid set = pstwriter::kPsPublicStrings;
  model.Contacts()->messages.front().props.SetNamed(set, "My Field",
                                                    pstwriter::Value::String("mine"));
  const auto store = Store::Open(Source(Written(model)));
  const ndb::Node& top = Folder(*store, kNidRootFolder, "Top of Personal Folders");
  const auto pc =
      store->Properties(*store->Messages(Folder(*store, top.nid, "Contacts").nid).front());
  int found = 0;
  for (const auto& r : pc->records()) {
    const auto* named = store->names().Find(r.id);
    if (named && named->isString && named->name == "My Field") {
      EXPECT_TRUE(std::equal(named->guid, named->guid + 16, kPsPublicStrings.begin()));
      EXPECT_EQ(pc->ValueText(r), "mine");
      ++found;
    }
  }
  EXPECT_EQ(found, 1);
}

// Everything the layers give for a store, one line each, to compare two readings.
std::vector<std::string> Dump(const Store& store) {
  std::vector<std::string> out;
  std::function<void(Nid, int)> folder = [&](Nid nid, int depth) {
    ASSERT_LT(depth, 16);
    out.push_back("folder " + Hex(nid));
    for (const ndb::Node* m : store.Messages(nid)) {
      const auto pc = store.Properties(*m);
      for (const auto& r : pc->records())
        out.push_back(Hex(r.id) + ":" + Hex(r.type) + " " + pc->ValueBytes(r));
      for (const auto& a : Store::Attachments(*pc)) {
        const auto att = store.Properties(a);
        for (const auto& r : att->records())
          out.push_back(" " + Hex(r.id) + " " + att->ValueBytes(r));
      }
    }
    for (const ndb::Node* sub : store.SubFolders(nid))
      folder(sub->nid, depth + 1);
  };
  folder(kNidRootFolder, 0);
  return out;
}

// A store of the generator's contacts.
pstwriter::Store Generated(std::uint64_t contacts, std::uint64_t seed, int folders) {
  pstwriter::GeneratorOptions options;
  options.contacts = contacts;
  options.seed = seed;
  options.folders = folders;
  return pstwriter::GenerateStore(options);
}

// Outlook's compressible (permute) and high (cyclic) encryption.
TEST(EncodedStoreTest, EncodedStoresReadAsThePlainOne) {
  const std::string plain = Written(Generated(120, 9, 2));
  const auto expected = Dump(*Store::Open(Source(plain)));
  ASSERT_GT(expected.size(), 500u);
  for (const std::uint8_t method : {kCryptPermute, kCryptCyclic}) {
    SCOPED_TRACE(static_cast<int>(method));
    std::string encoded = plain;
    pstwriter::EncodeBlocks(encoded, method);
    EXPECT_NE(encoded, plain);
    EXPECT_EQ(Dump(*Store::Open(Source(encoded))), expected);
  }
}

// An offline folders file of Outlook 2003 to 2010 is a Unicode file with another client
// signature; it reads as the PST written from the same store, plain or encoded.
TEST(OfflineStoreTest, AnOstReadsAsThePstOfTheSameStore) {
  pstwriter::Store store = Generated(120, 9, 2);
  const auto expected = Dump(*Store::Open(Source(Written(store))));
  store.format = pstwriter::StoreFormat::kOst;
  std::string ost = Written(store);
  EXPECT_EQ(ost.substr(8, 2), "SO");
  EXPECT_TRUE(ndb::ReadHeader(*Source(ost)).offline);
  EXPECT_EQ(Dump(*Store::Open(Source(ost))), expected);
  pstwriter::EncodeBlocks(ost, kCryptPermute);
  EXPECT_EQ(Dump(*Store::Open(Source(ost))), expected);
}

// Outlook 2013's form: 4 KiB pages, 512-byte aligned blocks, compressed data blocks; it reads as
// the PST written from the same store.
TEST(OfflineStoreTest, AnOst2013ReadsAsThePstOfTheSameStore) {
  pstwriter::Store store = Generated(300, 4, 3);
  const std::string pst = Written(store);
  const auto expected = Dump(*Store::Open(Source(pst)));
  store.format = pstwriter::StoreFormat::kOst2013;
  const std::string ost = Written(store);
  const ndb::FileHeader header = ndb::ReadHeader(*Source(ost));
  EXPECT_EQ(header.wVer, kVersionUnicode4k);
  EXPECT_TRUE(header.offline);
  EXPECT_EQ(header.layout, &kUnicode4kLayout);
  EXPECT_EQ(header.brefNbt.ib % kPageSize4k, 0u);
  EXPECT_EQ(Dump(*Store::Open(Source(ost))), expected);
  // Most data blocks are compressed: the text compresses well.
  const auto db = ndb::NodeDatabase::Open(Source(ost));
  std::size_t compressed = 0, data = 0;
  for (std::uint64_t bid = 4; bid < header.bidNextB; bid += 4) {
    const ndb::Block* block = db->FindBlock(bid);
    if (!block || IsInternal(bid))
      continue;
    ++data;
    compressed += db->ReadBlock(bid).size() > block->cb ? 1 : 0;
  }
  EXPECT_GT(data, 100u);
  EXPECT_GT(compressed * 2, data) << compressed << " of " << data;
}

// A compressed block whose data does not inflate, or inflates to another size than its trailer
// gives, is damage, named as such; its check sum is made to match, so that only the compression
// is wrong.
// The first data block of the database that is stored compressed; 0 when there is none.
Bid FirstCompressedBlock(const ndb::NodeDatabase& db) {
  for (Bid b = 4; b < db.header().bidNextB; b += 4) {
    if (db.FindBlock(b) && !IsInternal(b) && db.ReadBlock(b).size() > db.FindBlock(b)->cb)
      return b;
  }
  return 0;
}

std::string WrittenOst2013() {
  pstwriter::Store store = Generated(40, 1, 1);
  store.format = pstwriter::StoreFormat::kOst2013;
  return Written(store);
}

TEST(OfflineStoreTest, ACompressedBlockThatDoesNotInflateIsDamage) {
  const std::string ost = WrittenOst2013();
  const auto db = ndb::NodeDatabase::Open(Source(ost));
  const Layout& f = kUnicode4kLayout;
  const Bid bid = FirstCompressedBlock(*db);
  ASSERT_NE(bid, 0u) << "no compressed block";
  const ndb::Block block = *db->FindBlock(bid);
  const std::size_t trailerAt = block.ib + f.BlockSpan(block.cb) - f.blockTrailerSize;
  struct Case {
    const char* name;
    std::function<void(std::string&)> damage;
    Defect defect;
    const char* description;
  };
  const Case cases[] = {
      {"InflatedSizeOneMore",
       [&](std::string& b) { ++b[trailerAt + offsetof(BlockTrailer4k, cbInflated)]; },
       Defect::kMismatch, "does not inflate to the size its trailer gives"},
      {"InflatedSizeOneLess",
       [&](std::string& b) { --b[trailerAt + offsetof(BlockTrailer4k, cbInflated)]; },
       Defect::kMismatch, "does not inflate to the size its trailer gives"},
      {"CompressedDataChanged",
       [&](std::string& b) {
         b[block.ib + block.cb / 2] ^= 0x5A;
         const std::uint32_t crc =
             text::Crc32(reinterpret_cast<const std::uint8_t*>(b.data() + block.ib), block.cb);
         std::memcpy(b.data() + trailerAt + offsetof(BlockTrailer, dwCRC), &crc, sizeof crc);
       },
       Defect::kBadStructure, "does not inflate"},
  };
  for (const auto& c : cases) {
    std::string bytes = ost;
    c.damage(bytes);
    try {
      ndb::NodeDatabase::Open(Source(bytes))->ReadBlock(bid);
      ADD_FAILURE() << c.name;
    } catch (const CorruptionError& e) {
      EXPECT_EQ(e.defect(), c.defect) << c.name;
      EXPECT_NE(e.description().find(c.description), std::string::npos) << e.description();
      EXPECT_EQ(e.where().block, bid) << c.name;
    }
  }
}

// A compressed block whose stored sum is wrong but whose data inflate to their size is read
// through: the inflating holds it together. The damage is noted.
TEST(OfflineStoreTest, ACompressedBlockWhoseSumFailsButThatInflatesIsReadThrough) {
  const std::string ost = WrittenOst2013();
  const auto sound = ndb::NodeDatabase::Open(Source(ost));
  const Bid bid = FirstCompressedBlock(*sound);
  ASSERT_NE(bid, 0u) << "no compressed block";
  const ndb::Block block = *sound->FindBlock(bid);
  const Layout& f = kUnicode4kLayout;
  std::string bytes = ost;
  bytes[block.ib + f.BlockSpan(block.cb) - f.blockTrailerSize + offsetof(BlockTrailer4k, trailer) +
        offsetof(BlockTrailer, dwCRC)] ^= 0x01;
  const auto db = ndb::NodeDatabase::Open(Source(bytes));
  EXPECT_EQ(db->ReadBlock(bid), sound->ReadBlock(bid));
  EXPECT_EQ(db->DamageNotes(), std::vector<std::string>{"block " + Hex(bid) + " at offset " +
                                                        std::to_string(block.ib) +
                                                        " fails its check sum; its data are used"});
}

TEST(EncodedStoreTest, AnEncryptionOfNoKnownKindIsNotOneThisReaderReads) {
  std::string encoded = Written(SmallStore());
  pstwriter::EncodeBlocks(encoded, kCryptCyclic);
  encoded[offsetof(Header, bCryptMethod)] = 3;
  pstwriter::ResealHeader(encoded);
  try {
    Store::Open(Source(encoded));
    ADD_FAILURE() << "opened";
  } catch (const UnsupportedFormat& e) {
    EXPECT_EQ(e.reason(), "its encryption (3) is not one this reader decodes");
    EXPECT_EQ(e.source(), "store.pst");
  }
}

struct UnsupportedCase {
  const char* name;
  std::function<void(std::string&)> edit;
  const char* reason;
};

TEST(EncodedStoreTest, FilesOfOtherKindsAreUnsupported) {
  const UnsupportedCase cases[] = {
      {"Short", [](std::string& b) { b.resize(500); }, "its header cannot be read"},
      {"NoSignature", [](std::string& b) { b[0] = 'X'; },
       "it does not start with the PST signature"},
      // Format 37: no format any notes describe.
      {"OtherFormat", [](std::string& b) { b[10] = 37; },
       "it is in a file format this reader does not know (format 37)"},
  };
  const std::string source = Written(SmallStore());
  for (const auto& c : cases) {
    std::string bytes = source;
    c.edit(bytes);
    try {
      ndb::NodeDatabase::Open(Source(bytes));
      ADD_FAILURE() << c.name;
    } catch (const UnsupportedFormat& e) {
      EXPECT_EQ(e.reason(), c.reason) << c.name;
    }
  }
}

}  // namespace
}  // namespace tarnvex::pst
