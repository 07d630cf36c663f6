// Damaged and foreign files: a clear failure that names the file, never a crash or a hang.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <regex>
#include <sstream>

#include "cli/cli.h"
#include "export/export_run.h"
#include "platform/message_boxes.h"
#include "platform/posix/posix_file_system.h"
#include "platform/sleeper.h"

#include "platform/failure.h"
#include "platform/standin/pff.h"
#include "platform/standin/pst_outlook.h"
#include "pst/byte_source.h"
#include "pst/format.h"
#include "pst/messaging/store.h"
#include "tests/fakes/fake_ui.h"
#include "tests/platform/standin/pst_fixtures.h"
#include "tests/platform/standin/sample_contact.h"
#include "tests/support/posix_pst_outlook.h"
#include "text/crc.h"
#include "tools/pstwriter/damage.h"
#include "tools/pstwriter/generator.h"

namespace tarnvex::standin {
namespace {

using pstwriter::Store;
using testing::ReadFile;
using testing::Sandbox;
using testing::SandboxedProfile;

namespace fs = std::filesystem;

// A store with a little of everything: nested contact folders, photos, long notes, lists.
const std::string& SourcePst() {
  static Sandbox folder;
  static const std::string path = [] {
    Store store = Store::WithStandardFolders();
    auto& contacts = *store.Contacts();
    auto& nested = contacts.AddFolder("Nested", "IPF.Contact");
    for (int i = 0; i < 60; ++i) {
      Contact c = testing::FullContact();
      c.fileAs = "Contact " + std::to_string(i);
      if (i % 3)
        c.photo.clear();
      if (i % 5 == 0)
        c.notes += std::string(9000, 'z');
      testing::SetContactProperties((i % 2 ? nested : contacts).AddMessage("IPM.Contact"), c);
    }
    contacts.AddMessage("IPM.DistList").props.SetString("PidLidDistributionListName", "List");
    return testing::WriteStore(store, folder / "source.pst");
  }();
  return path;
}

struct WalkResult {
  bool opened = false;
  int cards = 0;
  std::vector<std::string> failures;
};

// Everything an export does with a store, each failure caught and kept.
WalkResult Walk(const std::string& pst, const std::string& out) {
  WalkResult r;
  auto guard = [&](const std::function<void()>& f) {
    try {
      f();
      return true;
    } catch (const Failure& failure) {
      r.failures.push_back(failure.what());
      return false;
    }
  };
  std::shared_ptr<OutlookNamespace> ns;
  guard([&] {
    ns = MakePstOutlook({VCardVersion::k21, std::nullopt, out + "/profile.ini"})
             ->CreateApplication()
             ->GetNamespace("MAPI");
  });
  if (!ns)
    return r;
  r.opened = guard([&] { ns->AddStore(pst); });
  if (!r.opened)
    return r;
  std::function<void(OutlookFolder&, int)> visit = [&](OutlookFolder& folder, int depth) {
    if (depth > 10)
      return;
    guard([&] { folder.Name(), folder.ContainerClass(), folder.Hidden(); });
    std::shared_ptr<OutlookItems> items;
    if (guard([&] { items = folder.Items(); })) {
      for (int n = 0; n < 10000; ++n) {
        std::shared_ptr<OutlookItem> item;
        if (!guard([&] { item = items->Next(); }) || !item)
          break;
        bool contact = false;
        guard([&] { contact = item->IsContact(); });
        if (!contact)
          continue;
        std::string fileAs;
        guard([&] { fileAs = item->FileAs(); });
        if (guard([&] { item->SaveAs(out + "/" + std::to_string(r.cards) + ".vcf", 6); })) {
          ++r.cards;
        }
      }
    }
    std::shared_ptr<OutlookFolders> subs;
    if (guard([&] { subs = folder.Folders(); })) {
      int count = 0;
      guard([&] { count = subs->Count(); });
      for (int i = 1; i <= count; ++i) {
        std::shared_ptr<OutlookFolder> sub;
        if (guard([&] { sub = subs->Item(i); }))
          visit(*sub, depth + 1);
      }
    }
  };
  std::shared_ptr<OutlookFolder> root;
  if (guard([&] { root = ns->Folders()->GetLast(); }))
    visit(*root, 0);
  return r;
}

// Items in the folders an export of SourcePst() goes through: 60 contacts and a list.
constexpr int kItemsWritten = 61;

struct Damage {
  const char* name;
  // Makes the damaged copy from the source bytes.
  std::function<std::string(const std::string&)> make;
  bool mustFailToOpen;
  // The file opens and every folder reads: the summary accounts for each of kItemsWritten items,
  // and a failure names this problem (empty: no such promise).
  std::string everyItemAccounted = {};
};

// The source with damage that keeps every check sum valid, made by the writer's damage kinds.
std::function<std::string(const std::string&)> Structural(
    std::function<void(std::string&)> damage) {
  return [damage](const std::string& b) {
    std::string copy = b;
    damage(copy);
    return copy;
  };
}

// The file as an offline folders file ("SO" for "SM"), its header sealed again: the own reader
// reads it as it reads the PST.
void MarkOffline(std::string& b) {
  b[offsetof(pst::format::Header, wMagicClient)] = 'S';
  b[offsetof(pst::format::Header, wMagicClient) + 1] = 'O';
  pstwriter::ResealHeader(b);
}

// Where the written data ends: the writer leaves unused, zeroed space at the end of the file.
size_t Used(const std::string& b) {
  return b.find_last_not_of('\0') + 1;
}

std::string Flip(const std::string& bytes, int count, unsigned seed, size_t from) {
  std::string out = bytes;
  std::mt19937 rng(seed);
  std::uniform_int_distribution<size_t> pos(from, out.size() - 1);
  std::uniform_int_distribution<int> mask(1, 255);
  for (int i = 0; i < count; ++i)
    out[pos(rng)] ^= static_cast<char>(mask(rng));
  return out;
}

const Damage kDamages[] = {
    {"Empty", [](const std::string&) { return std::string(); }, true},
    {"NotAPst", [](const std::string&) { return std::string("BEGIN:VCARD\r\nEND:VCARD\r\n"); },
     true},
    {"HeaderOnly", [](const std::string& b) { return b.substr(0, 512); }, true},
    {"CutAtAQuarter", [](const std::string& b) { return b.substr(0, Used(b) / 4); }, false},
    {"CutInTheMiddle", [](const std::string& b) { return b.substr(0, Used(b) / 2); }, false},
    {"CutNearTheEnd", [](const std::string& b) { return b.substr(0, Used(b) - 700); }, false},
    {"FlippedHeader",
     [](const std::string& b) { return Flip(b, 8, 7, 0).substr(0, 564) + b.substr(564); }, false},
    {"FlippedFew", [](const std::string& b) { return Flip(b, 16, 1, 1024); }, false},
    {"FlippedMany", [](const std::string& b) { return Flip(b, 400, 2, 1024); }, false},
    {"FlippedMany2", [](const std::string& b) { return Flip(b, 400, 3, 1024); }, false},
    {"FlippedMany3", [](const std::string& b) { return Flip(b, 2000, 4, 1024); }, false},
    {"FlippedTail",
     [](const std::string& b) { return Flip(b, 300, 5, Used(b) / 2).substr(0, Used(b)); }, false},
    // Check sums stay valid: only the structure is wrong.
    // Alike, the entries are used once; with two parents the file is refused.
    {"NodeListedTwice",
     [](const std::string& b) {
       std::string copy = b;
       pstwriter::DuplicateNode(copy);
       return copy;
     },
     false},
    {"NodeListedTwiceWithTwoParents",
     [](const std::string& b) {
       std::string copy = b;
       pstwriter::DuplicateNode(copy, 0, false);
       return copy;
     },
     true},
    {"FolderLoop",
     [](const std::string& b) {
       std::string copy = b;
       pstwriter::MakeFolderCycle(copy);
       return copy;
     },
     false},
    {"MessageWithoutItsFolder", Structural([](std::string& b) { pstwriter::OrphanMessage(b, 7); }),
     false, "belongs to 0x7FFFFFE2 in the node index"},
    {"AnotherMessageWithoutItsFolder",
     Structural([](std::string& b) { pstwriter::OrphanMessage(b, 40); }), false,
     "belongs to 0x7FFFFFE2 in the node index"},
    {"MessageMissingFromTheNodeIndex",
     Structural([](std::string& b) { pstwriter::DropMessageNode(b, 3); }), false,
     "has no entry in the node index"},
    // The same under Outlook's high encryption: the blocks are decoded before anything is read.
    {"MessageWithoutItsFolderInACyclicStore", Structural([](std::string& b) {
       pstwriter::OrphanMessage(b, 7);
       pstwriter::EncodeBlocks(b, pst::format::kCryptCyclic);
     }),
     false, "belongs to 0x7FFFFFE2 in the node index"},
    {"MessageWithoutItsFolderInAnOfflineFile", Structural([](std::string& b) {
       pstwriter::OrphanMessage(b, 7);
       MarkOffline(b);
     }),
     false, "belongs to 0x7FFFFFE2 in the node index"},
    {"BlockPastTheEnd", Structural([](std::string& b) { pstwriter::MisplaceBlock(b, 500); }),
     false},
    {"BlockPastTheEnd2", Structural([](std::string& b) { pstwriter::MisplaceBlock(b, 77); }),
     false},
    {"NodePageCountsOneMore", Structural([](std::string& b) { pstwriter::MiscountNodePage(b, 0); }),
     false},
    {"NodePageCountsOneFewer",
     Structural([](std::string& b) { pstwriter::MiscountNodePage(b, 1); }), false},
};

class DamageTest : public ::testing::TestWithParam<Damage> {};

TEST_P(DamageTest, ClearFailureNamingTheFileAndNoCrash) {
  Sandbox tmp;
  const std::string pst = tmp / "damaged.pst";
  std::ofstream(pst, std::ios::binary) << GetParam().make(ReadFile(SourcePst()));
  const WalkResult r = Walk(pst, tmp.path());
  if (GetParam().mustFailToOpen) {
    EXPECT_FALSE(r.opened);
    ASSERT_FALSE(r.failures.empty());
  }
  if (getenv("TARNVEX_SHOW_FAILURES")) {
    std::cout << GetParam().name << ": opened " << r.opened << ", " << r.cards << " cards, "
              << r.failures.size() << " failures\n";
    for (size_t i = 0; i < r.failures.size() && i < 3; ++i)
      std::cout << "  " << r.failures[i] << "\n";
  }
  for (const auto& f : r.failures) {
    // Reading failures name the data file; a card that cannot be written names the card.
    EXPECT_TRUE(f.find(pst) != std::string::npos || f.find(tmp.path()) != std::string::npos) << f;
    EXPECT_GT(f.size(), pst.size() + 10) << "says what is wrong: " << f;
  }
  // No card is left half-written: each one that exists is whole.
  for (const auto& e : fs::directory_iterator(tmp.path())) {
    if (e.path().extension() != ".vcf")
      continue;
    const std::string card = ReadFile(e.path());
    EXPECT_EQ(card.rfind("BEGIN:VCARD\r\n", 0), 0u) << e.path();
    EXPECT_TRUE(card.ends_with("END:VCARD\r\n")) << e.path();
  }
}

// Item 1 of the export's promise: what the export of a damaged file says adds up. A run that
// ends "Done." writes, passes over or reports as failed each item of the folders it exports
// (never more than were written); where it counts fewer, a folder or the store was refused, or a
// folder's items may be missing, and that was reported. A run that does not end "Done." has
// reported why.
TEST_P(DamageTest, EveryItemIsAccountedFor) {
  Sandbox tmp;
  const std::string pst = tmp / "damaged.pst";
  std::ofstream(pst, std::ios::binary) << GetParam().make(ReadFile(SourcePst()));
  fs::create_directory(tmp / "out");
  const SandboxedProfile profile(tmp);
  std::ostringstream out, err;
  const int status = cli::Run({"--pst", pst, "--out", tmp / "out"}, out, err);

  std::smatch m;
  const std::string text = out.str();
  const std::regex summary(R"((\d+) cards? written, (\d+) items? passed over, (\d+) failures?)");
  if (!std::regex_search(text, m, summary)) {
    EXPECT_NE(status, 0) << text;
    EXPECT_NE(err.str().find(pst), std::string::npos)
        << "the refusal names the file: " << err.str();
    EXPECT_TRUE(GetParam().everyItemAccounted.empty()) << text << err.str();
    return;
  }
  const int cards = std::stoi(m[1]), passedOver = std::stoi(m[2]), failures = std::stoi(m[3]);
  const int accounted = cards + passedOver + failures;
  EXPECT_LE(cards + passedOver, kItemsWritten);
  EXPECT_EQ(status == 0, failures == 0);
  if (!GetParam().everyItemAccounted.empty()) {
    EXPECT_EQ(accounted, kItemsWritten) << text << err.str();
    EXPECT_GE(failures, 1);
    EXPECT_NE(err.str().find(GetParam().everyItemAccounted), std::string::npos) << err.str();
    EXPECT_NE(err.str().find(pst), std::string::npos) << err.str();
  } else if (accounted != kItemsWritten) {
    // Otherwise only where a folder or the store was refused, or items of a folder may be
    // missing, and said so.
    EXPECT_TRUE(std::regex_search(
        err.str(), std::regex("at line 13[0-9]|(Items|Folders) may be missing from")))
        << text << err.str();
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamageTest, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Damage read through: a check sum fails, the structure under it holds ----------------------

// The messages of every folder below the root folder, depth first.
void CollectMessages(const pst::messaging::Store& store, pst::format::Nid folder,
                     std::vector<const pst::ndb::Node*>& out) {
  for (const auto* message : store.Messages(folder))
    out.push_back(message);
  for (const auto* sub : store.SubFolders(folder))
    CollectMessages(store, sub->nid, out);
}

struct MessageBlock {
  std::uint64_t offset = 0;  // of `text` in the message's own data block
  std::uint64_t block = 0;   // where that block starts
  pst::format::Nid message = 0;
  pst::format::Nid folder = 0;
};

// The UTF-16 form of ASCII text, as the file holds it.
std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii)
    out += std::string{c, '\0'};
  return out;
}

// Where the UTF-16 form of `text` lies in the data block of the message that holds it, and which
// message and folder that is.
MessageBlock FindInMessage(const std::string& bytes, const std::string& text) {
  const auto store =
      pst::messaging::Store::Open(std::make_shared<pst::MemoryByteSource>("source.pst", bytes));
  std::vector<const pst::ndb::Node*> messages;
  CollectMessages(*store, pst::format::kNidRootFolder, messages);
  const std::string utf16 = Utf16(text);
  for (const auto* message : messages) {
    const auto* block = store->db()->FindBlock(message->data);
    const std::size_t at = bytes.find(utf16, block->ib);
    if (at != std::string::npos && at + utf16.size() <= block->ib + block->cb)
      return {at, block->ib, message->nid, message->parent};
  }
  throw std::runtime_error("no message block holds \"" + text + "\"");
}

// The contacts among the nodes a leaf page of the node index lists.
int ContactsListedBy(const std::string& bytes, std::uint64_t page) {
  const auto store =
      pst::messaging::Store::Open(std::make_shared<pst::MemoryByteSource>("source.pst", bytes));
  std::vector<const pst::ndb::Node*> messages;
  CollectMessages(*store, pst::format::kNidRootFolder, messages);
  const auto tail = pst::format::Load<pst::format::BtPageTail>(bytes.data() + page +
                                                               pst::format::kBtPageEntryBytes);
  int contacts = 0;
  for (std::size_t i = 0; i < tail.cEnt; ++i) {
    const auto entry =
        pst::format::Load<pst::format::NbtEntry>(bytes.data() + page + i * tail.cbEnt);
    for (const auto* message : messages) {
      if (message->nid != entry.nid)
        continue;
      const auto pc = store->Properties(*message);
      const auto* cls = pc->Find(0x001A, 0x001F);
      contacts += cls && pc->ValueText(*cls) == "IPM.Contact";
    }
  }
  return contacts;
}

// The NID of a message's folder's contents table.
pst::format::Nid ContentsTableOf(pst::format::Nid folder) {
  return (folder & ~pst::format::kNidTypeMask) | pst::format::kNidTypeContentsTable;
}

struct ReadThrough {
  const char* name;
  // Damages the file; gives the number of cards then written from damaged data.
  std::function<int(std::string&)> damage;
  const char* warning;  // the start of the one warning of the damage
};

const ReadThrough kReadThrough[] = {
    // One character of one contact's file-as text.
    {"ContactBlock",
     [](std::string& b) {
       b[FindInMessage(b, "Contact 17").offset] ^= 0x01;
       return 1;
     },
     "block 0x"},
    // The contents table of a contact's folder: its rows would name messages that are not
    // there, so it is not used; the contacts are read from the node index, whole.
    {"ContentsTable",
     [](std::string& b) {
       const auto folder = FindInMessage(b, "Contact 17").folder;
       const auto store =
           pst::messaging::Store::Open(std::make_shared<pst::MemoryByteSource>("source.pst", b));
       const auto* table = store->FindNode(ContentsTableOf(folder));
       const auto* block = store->db()->FindBlock(table->data);
       b[block->ib + block->cb / 2] ^= 0x01;
       return 0;
     },
     "block 0x"},
    // Reserved bytes of the header: the items are not touched.
    {"Header",
     [](std::string& b) {
       b[200] ^= 0x01;
       return 0;
     },
     "the header fails its check sum; its fields are used"},
    // Past the last entry of the node index's last leaf page: what it lists of its contacts may
    // be wrong, so each of their cards is from damaged data.
    {"NodeIndexPage",
     [](std::string& b) {
       const auto header = pst::format::Load<pst::format::Header>(b.data());
       std::uint64_t page = header.root.brefNbt.ib;
       for (auto tail = pst::format::Load<pst::format::BtPageTail>(b.data() + page +
                                                                   pst::format::kBtPageEntryBytes);
            tail.cLevel > 0; tail = pst::format::Load<pst::format::BtPageTail>(
                                 b.data() + page + pst::format::kBtPageEntryBytes)) {
         page = pst::format::Load<pst::format::BtEntry>(b.data() + page +
                                                        (tail.cEnt - 1) * std::size_t{tail.cbEnt})
                    .bref.ib;
       }
       const int contacts = ContactsListedBy(b, page);
       EXPECT_GT(contacts, 0) << "the last leaf page lists contacts";
       const auto tail = pst::format::Load<pst::format::BtPageTail>(b.data() + page +
                                                                    pst::format::kBtPageEntryBytes);
       b[page + std::size_t{tail.cEnt} * tail.cbEnt] ^= 0x01;
       return contacts;
     },
     "the node index page at offset "},
};

// The export of a damaged copy of SourcePst(): its summary line and what it said on standard
// error.
struct Export {
  int status = 0;
  std::string summary;
  std::string errors;
  std::string pst;
};
Export ExportDamaged(const Sandbox& tmp, const std::string& bytes) {
  Export e;
  e.pst = tmp / "damaged.pst";
  std::ofstream(e.pst, std::ios::binary) << bytes;
  fs::create_directory(tmp / "out");
  const SandboxedProfile profile(tmp);
  std::ostringstream out, err;
  e.status = cli::Run({"--pst", e.pst, "--out", tmp / "out"}, out, err);
  e.summary = out.str();
  e.errors = err.str();
  return e;
}

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

class ReadThroughTest : public ::testing::TestWithParam<ReadThrough> {};

// The export goes on through the damage: every card is written, the damage is warned of once,
// each card from damaged data is named among the failures, and the summary adds up.
TEST_P(ReadThroughTest, WritesEveryCardAndNamesThoseFromDamagedData) {
  Sandbox tmp;
  std::string bytes = ReadFile(SourcePst());
  const int damaged = GetParam().damage(bytes);
  const Export e = ExportDamaged(tmp, bytes);

  EXPECT_NE(e.summary.find(std::to_string(60 - damaged) + " cards written, 1 item passed over, " +
                           std::to_string(damaged) + " failure"),
            std::string::npos)
      << e.summary << e.errors;
  EXPECT_EQ(e.status != 0, damaged > 0);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(tmp / "out"))
    files += entry.path().extension() == ".vcf";
  EXPECT_EQ(files, 60) << "every card is written, those from damaged data too";

  const std::string warning = "tarnvex-export: warning: the Outlook data file \"" + e.pst +
                              "\" is damaged: " + GetParam().warning;
  EXPECT_EQ(Occurrences(e.errors, warning), 1) << "warned of once: " << e.errors;
  EXPECT_EQ(Occurrences(e.errors,
                        "was written from damaged data of the Outlook data file \"" + e.pst + "\""),
            damaged)
      << e.errors;
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReadThroughTest, ::testing::ValuesIn(kReadThrough),
                         [](const auto& info) { return std::string(info.param.name); });

// A mail in a mail folder whose node index entry is missing is passed over as its contents
// table lists it, as a sound mail there is: neither read nor counted.
TEST(DamageTest, AMailMissingFromTheNodeIndexIsNotCounted) {
  Sandbox tmp;
  Store store = Store::WithStandardFolders();
  auto& inbox = *store.ipmSubtree.FindFolder("Inbox");
  inbox.AddMessage("IPM.Note").props.SetString("PidTagSubject", "A mail of the inbox");
  Contact contact = testing::FullContact();
  contact.fileAs = "In The Inbox";
  testing::SetContactProperties(inbox.AddMessage("IPM.Contact"), contact);
  contact.fileAs = "In Contacts";
  testing::SetContactProperties(store.Contacts()->AddMessage("IPM.Contact"), contact);
  const std::string sound = ReadFile(testing::WriteStore(store, tmp / "sound.pst"));
  const pst::format::Nid mail = FindInMessage(sound, "A mail of the inbox").message;

  std::string damaged;
  for (std::uint64_t pick = 0; damaged.empty() && pick < 3; ++pick) {
    std::string copy = sound;
    if (pstwriter::DropMessageNode(copy, pick) == mail)
      damaged = copy;
  }
  ASSERT_FALSE(damaged.empty()) << "the mail's node was not dropped";
  const std::string pst = tmp / "damaged.pst";
  std::ofstream(pst, std::ios::binary) << damaged;
  fs::create_directory(tmp / "out");
  const SandboxedProfile profile(tmp);
  std::ostringstream out, err;
  EXPECT_EQ(cli::Run({"--pst", pst, "--out", tmp / "out"}, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("2 cards written, 0 items passed over, 0 failures"), std::string::npos)
      << out.str() << err.str();
}

// A message class read through damage that says "no contact" is reported, not taken at its
// word: the item is not passed over.
TEST(DamageTest, AClassReadFromDamagedDataIsReportedNotPassedOver) {
  Sandbox tmp;
  std::string bytes = ReadFile(SourcePst());
  bytes[FindInMessage(bytes, "IPM.Contact").offset + 2 * 4] ^= 0x01;  // "IPM.Bontact"
  const Export e = ExportDamaged(tmp, bytes);
  EXPECT_NE(e.summary.find("59 cards written, 1 item passed over, 1 failure"), std::string::npos)
      << e.summary << e.errors;
  EXPECT_NE(e.errors.find("cannot be told a contact or not: its message class \"IPM.Bontact\" "
                          "was read from damaged data"),
            std::string::npos)
      << e.errors;
}

// A message a damaged node index page lists under a folder the index does not have is reported
// among the store's items, one failure of the summary: what the page says of its folder cannot be
// right, and its folder's contents table does not report it a second time.
TEST(DamageTest, AMessageOfADamagedPageUnderNoFolderIsReported) {
  Sandbox tmp;
  std::string bytes = ReadFile(SourcePst());
  const pst::format::Nid moved = FindInMessage(bytes, "Contact 17").message;
  const auto header = pst::format::Load<pst::format::Header>(bytes.data());
  std::uint64_t leaf = 0;
  std::function<void(std::uint64_t)> find = [&](std::uint64_t page) {
    const auto tail = pst::format::Load<pst::format::BtPageTail>(bytes.data() + page +
                                                                 pst::format::kBtPageEntryBytes);
    for (std::size_t i = 0; i < tail.cEnt; ++i) {
      const std::uint64_t at = page + i * tail.cbEnt;
      if (tail.cLevel > 0) {
        find(pst::format::Load<pst::format::BtEntry>(bytes.data() + at).bref.ib);
        continue;
      }
      auto entry = pst::format::Load<pst::format::NbtEntry>(bytes.data() + at);
      if (entry.nid != moved)
        continue;
      entry.nidParent = pstwriter::kNidNoSuchFolder;  // the page's sum now fails
      std::memcpy(bytes.data() + at, &entry, sizeof entry);
      leaf = page;
    }
  };
  find(header.root.brefNbt.ib);
  ASSERT_NE(leaf, 0u);
  const int contacts = ContactsListedBy(ReadFile(SourcePst()), leaf);
  const Export e = ExportDamaged(tmp, bytes);
  // The other contacts of the page are written, from damaged data.
  EXPECT_NE(e.summary.find(std::to_string(60 - contacts) + " cards written, 1 item passed over, " +
                           std::to_string(contacts) + " failure"),
            std::string::npos)
      << e.summary << e.errors;
  EXPECT_NE(e.errors.find("message " + pst::Hex(moved) + " is listed by the node index page at " +
                          "offset " + std::to_string(leaf) + ", which fails its check sum"),
            std::string::npos)
      << e.errors;
  EXPECT_EQ(Occurrences(e.errors, "belongs to 0x7FFFFFE2"), 0) << e.errors;
  EXPECT_EQ(Occurrences(e.errors, "written from damaged data"), contacts - 1) << e.errors;
}

// --- A node index page, or some of its entries, that cannot be used ----------------------------

// The leaf pages of the node index, in order.
std::vector<std::uint64_t> NodeIndexLeaves(const std::string& bytes) {
  std::vector<std::uint64_t> leaves;
  std::function<void(std::uint64_t)> walk = [&](std::uint64_t page) {
    const auto tail = pst::format::Load<pst::format::BtPageTail>(bytes.data() + page +
                                                                 pst::format::kBtPageEntryBytes);
    if (tail.cLevel == 0) {
      leaves.push_back(page);
      return;
    }
    for (std::size_t i = 0; i < tail.cEnt; ++i)
      walk(pst::format::Load<pst::format::BtEntry>(bytes.data() + page + i * tail.cbEnt).bref.ib);
  };
  walk(pst::format::Load<pst::format::Header>(bytes.data()).root.brefNbt.ib);
  return leaves;
}

// A leaf page of the node index that lists contacts alone, and how many.
std::pair<std::uint64_t, int> LeafOfContactsOnly(const std::string& bytes) {
  for (const std::uint64_t leaf : NodeIndexLeaves(bytes)) {
    const auto tail = pst::format::Load<pst::format::BtPageTail>(bytes.data() + leaf +
                                                                 pst::format::kBtPageEntryBytes);
    const int contacts = ContactsListedBy(bytes, leaf);
    if (tail.cEnt >= 3 && contacts == tail.cEnt)
      return {leaf, contacts};
  }
  throw std::runtime_error("no leaf page lists contacts alone");
}

struct LostContacts {
  const char* name;
  // Damages the leaf page; gives the contacts lost and those written from damaged data.
  std::function<std::pair<int, int>(std::string&, std::uint64_t leaf, int contacts)> damage;
  const char* warning;  // what the one warning of the damage says after the page's offset
};

const LostContacts kLostContacts[] = {
    {"ZeroedLeaf",
     [](std::string& b, std::uint64_t leaf, int contacts) {
       std::memset(b.data() + leaf, 0, pst::format::kPageSize);
       return std::pair{contacts, 0};
     },
     " cannot be used ("},
    // The second entry's NID is of a type MS-PST does not define; the page's sum fails.
    {"AnEntryThatDoesNotHold",
     [](std::string& b, std::uint64_t leaf, int contacts) {
       const std::uint64_t at = leaf + sizeof(pst::format::NbtEntry);
       auto entry = pst::format::Load<pst::format::NbtEntry>(b.data() + at);
       entry.nid = (entry.nid & ~std::uint64_t{pst::format::kNidTypeMask}) | 0x09;
       std::memcpy(b.data() + at, &entry, sizeof entry);
       return std::pair{1, contacts - 1};
     },
     " fails its check sum; "},
};

class LostContactsTest : public ::testing::TestWithParam<LostContacts> {};

// The contacts a lost page listed are each reported, named by their folders' contents tables
// with the page that would list them; the rest of the store is exported, and the summary adds up.
TEST_P(LostContactsTest, EachLostContactIsReportedAndTheRestWritten) {
  Sandbox tmp;
  std::string bytes = ReadFile(SourcePst());
  const auto [leaf, contacts] = LeafOfContactsOnly(bytes);
  const auto [lost, fromDamaged] = GetParam().damage(bytes, leaf, contacts);
  const Export e = ExportDamaged(tmp, bytes);

  EXPECT_NE(e.summary.find(std::to_string(60 - lost - fromDamaged) +
                           " cards written, 1 item passed over, " +
                           std::to_string(lost + fromDamaged) + " failure"),
            std::string::npos)
      << e.summary << e.errors;
  EXPECT_NE(e.status, 0);
  const std::string page = "the node index page at offset " + std::to_string(leaf);
  EXPECT_EQ(Occurrences(e.errors, "tarnvex-export: warning: the Outlook data file \"" + e.pst +
                                      "\" is damaged: " + page + GetParam().warning),
            1)
      << e.errors;
  // A lost contact its row tells from the others is found again, written and named as from
  // damaged data; the others are each reported at the contact test and at the file-as text, as
  // any item that cannot be read. (The copies of one contact here differ in a few values only.)
  const int found = Occurrences(e.errors, "its properties were found in block");
  const int reported = Occurrences(
      e.errors, "has no entry in the node index (" + page + " that would list it is damaged).");
  EXPECT_EQ(found + reported / 2, lost) << e.errors;
  EXPECT_EQ(reported % 2, 0);
  EXPECT_EQ(Occurrences(e.errors, "written from damaged data"), fromDamaged + found) << e.errors;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(tmp / "out"))
    files += entry.path().extension() == ".vcf";
  EXPECT_EQ(files, 60 - reported / 2);
}

// The contents of every card in a folder, sorted: the cards whatever their names.
std::vector<std::string> CardContents(const fs::path& folder) {
  std::vector<std::string> cards;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".vcf")
      cards.push_back(ReadFile(entry.path()));
  }
  std::sort(cards.begin(), cards.end());
  return cards;
}

// Contacts the node index lost with a zeroed page, whose rows in their folder's contents table
// tell each from every other, are found again: their cards are those of the sound file, and each
// is reported as written from damaged data.
TEST(LostContactsTest, FoundAgainByTheirRowsTheCardsAreTheSoundOnes) {
  Sandbox soundTmp, tmp;
  pstwriter::GeneratorOptions options;
  options.contacts = 120;
  options.seed = 5;
  options.photos = false;
  options.longNotes = false;
  const std::string sound =
      ReadFile(testing::WriteStore(pstwriter::GenerateStore(options), soundTmp / "sound.pst"));
  const auto [leaf, contacts] = LeafOfContactsOnly(sound);
  std::string bytes = sound;
  std::memset(bytes.data() + leaf, 0, pst::format::kPageSize);
  const Export before = ExportDamaged(soundTmp, sound);
  const Export e = ExportDamaged(tmp, bytes);

  ASSERT_EQ(before.status, 0) << before.errors;
  EXPECT_EQ(Occurrences(e.errors, "its properties were found in block"), contacts) << e.errors;
  EXPECT_EQ(Occurrences(e.errors, "has no entry in the node index"), 0) << e.errors;
  EXPECT_EQ(CardContents(tmp / "out"), CardContents(soundTmp / "out"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, LostContactsTest, ::testing::ValuesIn(kLostContacts),
                         [](const auto& info) { return std::string(info.param.name); });

// When the contents table cannot be used either, nothing names the lost contacts of its folder:
// the folder reports that items may be missing, and the run does not end as if all were there.
TEST(LostContactsTest, AFolderWhoseTableCannotBeUsedSaysItemsMayBeMissing) {
  Sandbox tmp;
  std::string bytes = ReadFile(SourcePst());
  const auto [leaf, contacts] = LeafOfContactsOnly(bytes);
  const auto store =
      pst::messaging::Store::Open(std::make_shared<pst::MemoryByteSource>("source.pst", bytes));
  const auto first = pst::format::Load<pst::format::NbtEntry>(bytes.data() + leaf);
  const pst::format::Nid folder = store->FindNode(static_cast<pst::format::Nid>(first.nid))->parent;
  const auto* table = store->db()->FindBlock(store->FindNode(ContentsTableOf(folder))->data);
  bytes[table->ib + table->cb / 2] ^= 0x01;
  std::memset(bytes.data() + leaf, 0, pst::format::kPageSize);
  const Export e = ExportDamaged(tmp, bytes);

  EXPECT_NE(e.status, 0);
  // At the contact test and at the file-as text, as any item that cannot be read.
  EXPECT_EQ(Occurrences(e.errors, "Items may be missing from the Outlook data file \"" + e.pst +
                                      "\": the contents table of folder " + pst::Hex(folder) +
                                      " cannot be used, and the node index page at offset " +
                                      std::to_string(leaf) +
                                      ", which may have listed some of its messages, is damaged"),
            2)
      << e.errors;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(tmp / "out"))
    files += entry.path().extension() == ".vcf";
  EXPECT_EQ(files, 60 - contacts);
}

// --- A folder the node index lacks ------------------------------------------------------------

struct FolderWithoutNode {
  const char* name;
  // The folder whose node is dropped, given the folder of the first contacts.
  std::function<pst::format::Nid(const pst::messaging::Store&, pst::format::Nid contacts)> pick;
};

const FolderWithoutNode kFoldersWithoutNode[] = {
    {"Contacts", [](const pst::messaging::Store&, pst::format::Nid contacts) { return contacts; }},
    // The folder above every folder of the tree.
    {"TopOfPersonalFolders",
     [](const pst::messaging::Store& store, pst::format::Nid contacts) {
       return store.FindNode(contacts)->parent;
     }},
};

class FolderWithoutNodeTest : public ::testing::TestWithParam<FolderWithoutNode> {};

// A folder whose node index entry is lost, but which its parent's hierarchy table lists and whose
// items the node index still holds, is made from the table's row: every card is written, and the
// damage is warned of once.
TEST_P(FolderWithoutNodeTest, IsMadeFromItsParentsTableAndItsItemsExported) {
  Sandbox tmp;
  std::string bytes = ReadFile(SourcePst());
  const auto store =
      pst::messaging::Store::Open(std::make_shared<pst::MemoryByteSource>("source.pst", bytes));
  const pst::format::Nid contacts = FindInMessage(bytes, "Contact 0").folder;
  const pst::format::Nid folder = GetParam().pick(*store, contacts);
  const pst::format::Nid parent = store->FindNode(folder)->parent;
  pstwriter::DropNode(bytes, folder);
  const Export e = ExportDamaged(tmp, bytes);

  EXPECT_EQ(e.status, 0) << e.errors;
  EXPECT_NE(e.summary.find("60 cards written, 1 item passed over, 0 failures"), std::string::npos)
      << e.summary << e.errors;
  EXPECT_EQ(Occurrences(e.errors, "tarnvex-export: warning: the Outlook data file \"" + e.pst +
                                      "\" is damaged: folder " + pst::Hex(folder) +
                                      " has no entry in the node index; its name and class are "
                                      "read from the hierarchy table of folder " +
                                      pst::Hex(parent) + ", its items from the node index"),
            1)
      << e.errors;
}

INSTANTIATE_TEST_SUITE_P(Folders, FolderWithoutNodeTest, ::testing::ValuesIn(kFoldersWithoutNode),
                         [](const auto& info) { return std::string(info.param.name); });

// Without a contents table and without items of its own in the node index, nothing says what the
// folder held: it is reported, not made.
TEST(FolderWithoutNodeTest, WithNothingOfItsOwnLeftItIsReported) {
  Sandbox tmp;
  Store model = Store::WithStandardFolders();
  model.Contacts()->AddFolder("Empty", "IPF.Contact");
  Contact contact = testing::FullContact();
  contact.fileAs = "Beside The Empty Folder";
  testing::SetContactProperties(model.Contacts()->AddMessage("IPM.Contact"), contact);
  std::string bytes = ReadFile(testing::WriteStore(model, tmp / "sound.pst"));
  const auto store =
      pst::messaging::Store::Open(std::make_shared<pst::MemoryByteSource>("source.pst", bytes));
  const pst::format::Nid contacts = FindInMessage(bytes, contact.fileAs).folder;
  const pst::format::Nid empty = store->SubFolders(contacts).at(0)->nid;
  pstwriter::DropNode(bytes, empty);
  pstwriter::DropNode(bytes, ContentsTableOf(empty));
  const Export e = ExportDamaged(tmp, bytes);

  EXPECT_NE(e.status, 0);
  EXPECT_NE(e.errors.find("folder " + pst::Hex(empty) + ", listed in the hierarchy table of " +
                          "folder " + pst::Hex(contacts) +
                          ", has no entry in the node index; its items are not exported."),
            std::string::npos)
      << e.errors;
  EXPECT_NE(e.summary.find("1 card written"), std::string::npos) << e.summary << e.errors;
}

// The node's entry in the node index given another data block, its page resealed.
void SetNodeData(std::string& bytes, pst::format::Nid nid, std::uint64_t data) {
  for (const std::uint64_t leaf : NodeIndexLeaves(bytes)) {
    const auto tail = pst::format::Load<pst::format::BtPageTail>(bytes.data() + leaf +
                                                                 pst::format::kBtPageEntryBytes);
    for (std::size_t i = 0; i < tail.cEnt; ++i) {
      const std::uint64_t at = leaf + i * tail.cbEnt;
      auto entry = pst::format::Load<pst::format::NbtEntry>(bytes.data() + at);
      if (entry.nid != nid)
        continue;
      entry.bidData = data;
      std::memcpy(bytes.data() + at, &entry, sizeof entry);
      auto trailer = pst::format::Load<pst::format::PageTrailer>(bytes.data() + leaf +
                                                                 pst::format::kPageDataSize);
      trailer.dwCRC = text::Crc32(bytes.data() + leaf, pst::format::kPageDataSize);
      std::memcpy(bytes.data() + leaf + pst::format::kPageDataSize, &trailer, sizeof trailer);
      return;
    }
  }
  throw std::runtime_error("the node index does not list node " + pst::Hex(nid));
}

// Folders made from their parents' tables that would lie below themselves form a loop the node
// index cannot see: the folder is not made again, and its items are exported once.
TEST(FolderWithoutNodeTest, AFolderMadeBelowItselfIsReportedNotMadeAgain) {
  Sandbox tmp;
  std::string bytes = ReadFile(SourcePst());
  const auto store =
      pst::messaging::Store::Open(std::make_shared<pst::MemoryByteSource>("source.pst", bytes));
  const pst::format::Nid contacts = FindInMessage(bytes, "Contact 0").folder;
  const pst::format::Nid nested = store->SubFolders(contacts).at(0)->nid;
  const pst::format::Nid above = store->FindNode(contacts)->parent;
  auto hierarchyOf = [](pst::format::Nid folder) {
    return (folder & ~pst::format::kNidTypeMask) | pst::format::kNidTypeHierarchyTable;
  };
  // "Nested" is given the hierarchy table of the folder above Contacts, which lists Contacts.
  SetNodeData(bytes, hierarchyOf(nested), store->FindNode(hierarchyOf(above))->data);
  pstwriter::DropNode(bytes, contacts);
  const Export e = ExportDamaged(tmp, bytes);

  EXPECT_NE(e.summary.find("60 cards written"), std::string::npos) << e.summary << e.errors;
  EXPECT_NE(e.errors.find("folder " + pst::Hex(contacts) + ", listed in the hierarchy table of " +
                          "folder " + pst::Hex(nested) +
                          ", has no entry in the node index and lies above it; the folders form "
                          "a loop, and its items are not exported again."),
            std::string::npos)
      << e.errors;
}

// --- A part of a contact that cannot be read -------------------------------------------------

// The bytes with the block that holds `needle` made to lie past the end of the file, its block
// index page resealed: only reading that block fails.
std::string MisplaceBlockHolding(const std::string& bytes, const std::string& needle) {
  const auto store =
      pst::messaging::Store::Open(std::make_shared<pst::MemoryByteSource>("source.pst", bytes));
  const std::size_t at = bytes.find(needle);
  if (at == std::string::npos)
    throw std::runtime_error("the file does not hold the needle");
  for (std::uint64_t pick = 0; pick < 100000; ++pick) {
    std::string copy = bytes;
    const auto* block = store->db()->FindBlock(pstwriter::MisplaceBlock(copy, pick));
    if (block && at >= block->ib && at < block->ib + block->cb)
      return copy;
  }
  throw std::runtime_error("no block holds the needle");
}

struct UnreadablePart {
  const char* name;
  std::function<std::string()> needle;  // bytes of the part, as the file holds them
  const char* leftOut;                  // what the report says of it
  const char* missing;                  // what the card then lacks
};

const UnreadablePart kUnreadableParts[] = {
    // Every fifth contact's notes are long enough for a block of their own.
    {"LongNotes", [] { return Utf16(std::string(200, 'z')); },
     "its PidTagBody cannot be read and is left out", "zzzz"},
    {"Picture", [] { return testing::FullContact().photo.substr(0, 64); },
     "its attachments cannot be read, and a picture among them is left out", "PHOTO"},
};

class UnreadablePartTest : public ::testing::TestWithParam<UnreadablePart> {};

// A field or the picture whose data cannot be read is left out of the card, and the card is
// reported as written from damaged data, naming what was left out: the rest of the contact is not
// lost with it, and the card does not pass for whole.
TEST_P(UnreadablePartTest, TheCardIsWrittenWithoutItAndReported) {
  Sandbox tmp;
  const std::string bytes = MisplaceBlockHolding(ReadFile(SourcePst()), GetParam().needle());
  const Export e = ExportDamaged(tmp, bytes);

  EXPECT_NE(e.summary.find("59 cards written, 1 item passed over, 1 failure"), std::string::npos)
      << e.summary << e.errors;
  const std::regex report(
      "The card \"([^\"]*)\" was written from damaged data of the Outlook "
      "data file \"[^\"]*\": " +
      std::string(GetParam().leftOut) +
      " \\(block 0x[0-9A-F]+ lies outside the file "
      ".*\\); check it against the contact\\.");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(e.errors, m, report)) << e.errors;
  EXPECT_EQ(ReadFile(m[1].str()).find(GetParam().missing), std::string::npos);
  EXPECT_NE(ReadFile(m[1].str()).find("FN"), std::string::npos) << "the rest is there";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(tmp / "out"))
    files += entry.path().extension() == ".vcf";
  EXPECT_EQ(files, 60);
}

INSTANTIATE_TEST_SUITE_P(Parts, UnreadablePartTest, ::testing::ValuesIn(kUnreadableParts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DamageTest, TheUndamagedSourceExportsEveryContact) {
  Sandbox tmp;
  const WalkResult r = Walk(SourcePst(), tmp.path());
  EXPECT_TRUE(r.opened);
  EXPECT_TRUE(r.failures.empty()) << r.failures.front();
  EXPECT_EQ(r.cards, 60);
}

// libpff, for files the own reader does not read, lists a message whose folder is missing apart
// from the folders; the stand-in counts it among the top folder's items.
TEST(DamageTest, LibpffNamesAMessageWhoseFolderIsMissing) {
  Sandbox tmp;
  std::string bytes = ReadFile(SourcePst());
  pstwriter::OrphanMessage(bytes, 7);
  const std::string path = tmp / "orphan.pst";
  std::ofstream(path, std::ios::binary) << bytes;
  const std::vector<std::string> outside = pff::File::Open(path)->MessagesOutsideFolders();
  ASSERT_EQ(outside.size(), 1u);
  EXPECT_NE(outside[0].find("belongs to no folder"), std::string::npos) << outside[0];
  EXPECT_NE(outside[0].find(path), std::string::npos) << outside[0];
}

TEST(DamageTest, FolderAndMissingFileAreRefused) {
  Sandbox tmp;
  for (const std::string& path : {tmp.path(), tmp / "missing.pst"}) {
    const WalkResult r = Walk(path, tmp.path());
    EXPECT_FALSE(r.opened);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].find(path), std::string::npos);
  }
}

// --- Faults met while the items are read ahead of the run ----------------------------------------

// What an export run did, in order: each card it wrote ("write NAME", whether or not the write
// succeeded), each warning ("warn TEXT") and each error report ("report LINE TEXT").
class RunLog : public AtomicFileWriter, public MessageBoxes {
 public:
  explicit RunLog(AtomicFileWriter& writer) : writer_(writer) {}
  std::vector<std::string> events;

  void WriteReplacing(const std::string& path, std::string_view bytes) override {
    events.push_back("write " + fs::path(path).filename().string());
    writer_.WriteReplacing(path, bytes);
  }
  void Show(const std::string& text, const std::string&, MessageIcon icon) override {
    if (icon != MessageIcon::kWarning)
      return;
    const auto at = text.find("at line ");
    events.push_back("report " + text.substr(at + 8, 3) + " " + text.substr(0, text.find('\r')));
  }

 private:
  AtomicFileWriter& writer_;
};

// The name of the n-th contact of ReadAheadStore().
std::string ContactName(int n) {
  char name[16];
  std::snprintf(name, sizeof name, "Contact %03d", n);
  return name;
}

// More contacts in one folder than are read ahead of the run at once.
constexpr int kReadAheadContacts = 150;

std::string ReadAheadStore(const Sandbox& tmp) {
  Store store = Store::WithStandardFolders();
  for (int i = 0; i < kReadAheadContacts; ++i)
    testing::AddSimpleContact(*store.Contacts(), ContactName(i));
  return ReadFile(testing::WriteStore(store, tmp / "sound.pst"));
}

// The items are read, and their cards formed, ahead of the run; what goes wrong with one of them
// is still told at its own item and step, between the cards of the items before and after it,
// and a card whose write fails loses none of the cards after it. Here: the block of contact 40
// cannot be read at all (its trailer names another block), the block of contact 80 is read
// through a failing check sum, and the card of contact 120 cannot be written (a folder of its
// name is in the way).
TEST(ReadAheadTest, EachFaultIsToldAtItsOwnItemAndStepAndNoCardIsLost) {
  Sandbox tmp;
  std::string bytes = ReadAheadStore(tmp);
  const MessageBlock unreadable = FindInMessage(bytes, ContactName(40));
  {
    const auto store =
        pst::messaging::Store::Open(std::make_shared<pst::MemoryByteSource>("source.pst", bytes));
    const auto* block = store->db()->FindBlock(store->FindNode(unreadable.message)->data);
    const std::uint64_t trailer =
        block->ib + pst::format::BlockSpan(block->cb) - sizeof(pst::format::BlockTrailer);
    bytes[trailer + offsetof(pst::format::BlockTrailer, bid)] ^= 0x40;
  }
  bytes[FindInMessage(bytes, ContactName(80)).offset] ^= 0x01;  // "Bontact 080" read through
  const std::string pst = tmp / "damaged.pst";
  std::ofstream(pst, std::ios::binary) << bytes;
  const std::string out = tmp / "out";
  fs::create_directories(fs::path(out) / (ContactName(120) + ".vcf"));

  const SandboxedProfile profile(tmp);
  PosixFileSystem files;
  RunLog log(PosixPstPlatform().writer);
  PstPlatform platform = PosixPstPlatform();
  PstOutlookOptions options;
  options.profilePath = DefaultProfilePath();
  options.warn = [&](const std::string& warning) { log.events.push_back("warn " + warning); };
  auto outlook = MakePstOutlook(options, {log, platform.files, platform.codePages});
  NoSleep noPauses;
  fakes::FakeExportView view;
  view.option1 = false;
  view.option2 = true;
  view.text2 = pst;
  view.text3 = out + "/";
  const ExportSummary summary =
      PushButton3_Click(view, {*outlook, files, log, noPauses, "Tarnvex"});

  std::vector<std::string> expected;
  for (int i = 0; i < kReadAheadContacts; ++i) {
    const std::string card = ContactName(i) + ".vcf";
    if (i == 40) {
      // The contact test (the class is in that block), then the name: the item has none.
      expected.push_back("report 150 The Outlook data file \"" + pst +
                         "\" is damaged: the "
                         "trailer of block 0x");
      expected.push_back("report 156 ");
      continue;
    }
    if (i == 80)  // met reading the class, which lies in the damaged block
      expected.push_back("warn the Outlook data file \"" + pst + "\" is damaged: block 0x");
    expected.push_back("write " + (i == 80 ? "B" + card.substr(1) : card));
    if (i == 80) {
      expected.push_back("report 158 The card \"" + out +
                         "/Bontact 080.vcf\" was written from "
                         "damaged data");
    }
    if (i == 120)
      expected.push_back("report 158 ");
  }
  ASSERT_EQ(log.events.size(), expected.size()) << ::testing::PrintToString(log.events);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(log.events[i].substr(0, expected[i].size()), expected[i])
        << "event " << i << ": " << log.events[i];
  }
  const auto write120 =
      std::find(log.events.begin(), log.events.end(), "write " + ContactName(120) + ".vcf");
  ASSERT_NE(write120, log.events.end());
  EXPECT_NE(std::next(write120)->find(out + "/" + ContactName(120) + ".vcf"), std::string::npos)
      << "the failed write names its card: " << *std::next(write120);
  EXPECT_EQ(summary.cardsWritten, kReadAheadContacts - 3);  // that of damaged data a failure
  EXPECT_EQ(summary.failures, 3);
  EXPECT_EQ(summary.itemsPassedOver, 0);
  for (int i : {0, 39, 41, 79, 81, 119, 121, kReadAheadContacts - 1})
    EXPECT_TRUE(fs::is_regular_file(fs::path(out) / (ContactName(i) + ".vcf"))) << i;
}

}  // namespace
}  // namespace tarnvex::standin
