// The Outlook stand-in over PST files written by the project's PST writer.

#include "platform/standin/pst_outlook.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/failure.h"
#include "platform/standin/contact_reader.h"
#include "tests/platform/standin/pst_fixtures.h"
#include "tests/platform/standin/sample_contact.h"
#include "tests/support/card_parsers.h"
#include "tests/support/posix_pst_outlook.h"
#include "vcard/writer.h"

namespace tarnvex::standin {
namespace {

using pstwriter::Folder;
using pstwriter::Store;
using testing::FullContact;
using testing::ReadFile;
using testing::Sandbox;
using testing::WriteStore;

namespace fs = std::filesystem;

struct Session {
  std::shared_ptr<OutlookApplication> app;
  std::shared_ptr<OutlookNamespace> ns;
};

Session Open(const std::string& profile, VCardVersion v = VCardVersion::k21,
             std::optional<std::string> password = std::nullopt) {
  auto automation = MakePstOutlook({v, std::move(password), profile});
  Session s;
  s.app = automation->CreateApplication();
  s.ns = s.app->GetNamespace("MAPI");
  return s;
}

std::shared_ptr<OutlookFolder> RootOf(OutlookNamespace& ns, const std::string& path) {
  for (const auto& store : ns.Stores()) {
    if (store->FilePath() == path)
      return store->GetRootFolder();
  }
  return nullptr;
}

std::shared_ptr<OutlookFolder> Sub(OutlookFolder& folder, const std::string& name) {
  auto subs = folder.Folders();
  for (int i = 1; i <= subs->Count(); ++i) {
    auto f = subs->Item(i);
    if (f->Name() == name)
      return f;
  }
  return nullptr;
}

std::vector<std::shared_ptr<OutlookItem>> ItemsOf(OutlookFolder& folder) {
  std::vector<std::shared_ptr<OutlookItem>> out;
  auto items = folder.Items();
  while (auto item = items->Next())
    out.push_back(item);
  return out;
}

// libpff does not open a store whose name-to-id map holds no entry, so every store of these tests
// keeps at least one named property: a contact somewhere.
Store StandardStore(const std::string& name = "Personal Folders") {
  Store store = Store::WithStandardFolders(name);
  testing::AddSimpleContact(*store.Contacts(), "Someone");
  return store;
}

class PstOutlookTest : public ::testing::Test {
 protected:
  std::string Profile() const { return tmp_ / "profile.ini"; }
  Sandbox tmp_;
};

// --- Reading contacts -------------------------------------------------------------------------

class ContactRoundTrip : public PstOutlookTest,
                         public ::testing::WithParamInterface<VCardVersion> {};

// Every mapped property survives the PST: the card written from the file equals the card written
// from the contact itself (whose parse-back the vCard tests check), and the parsers take it.
TEST_P(ContactRoundTrip, CardFromThePstEqualsCardFromTheContact) {
  const VCardVersion v = GetParam();
  Contact c = FullContact();
  c.notes += "\n" + std::string(20000, 'L') + " end";  // spans several data blocks
  Store store = Store::WithStandardFolders();
  testing::SetContactProperties(store.Contacts()->AddMessage("IPM.Contact"), c);
  const std::string pst = WriteStore(store, tmp_ / "full.pst");

  Session s = Open(Profile(), v);
  s.ns->AddStore(pst);
  auto contacts = Sub(*RootOf(*s.ns, pst), "Contacts");
  ASSERT_TRUE(contacts);
  auto items = ItemsOf(*contacts);
  ASSERT_EQ(items.size(), 1u);
  ASSERT_TRUE(items[0]->IsContact());
  EXPECT_EQ(items[0]->FileAs(), c.fileAs);
  const std::string out = tmp_ / "card.vcf";
  items[0]->SaveAs(out, kOlVCard);
  const std::string card = ReadFile(out);
  const std::string expected = WriteVCard(c, v);
  EXPECT_EQ(card.size(), expected.size());
  for (size_t i = 0, line = 1; i < std::min(card.size(), expected.size()); ++i) {
    if (card[i] != expected[i]) {
      ADD_FAILURE() << "line " << line << " differs: " << card.substr(card.rfind('\n', i) + 1, 80)
                    << " | expected " << expected.substr(expected.rfind('\n', i) + 1, 80);
      break;
    }
    line += card[i] == '\n';
  }
  if (v == VCardVersion::k40) {
    tarnvex::testing::ParseWithBelcard(card);
  } else {
    tarnvex::testing::ParseWithVobject({out});
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, ContactRoundTrip,
                         ::testing::Values(VCardVersion::k21, VCardVersion::k30, VCardVersion::k40),
                         [](const auto& info) {
                           return info.param == VCardVersion::k21   ? "V21"
                                  : info.param == VCardVersion::k30 ? "V30"
                                                                    : "V40";
                         });

// A protected store met without a password asks for one, naming the store; what it is given is
// checked like a password given beforehand. A store that keeps none asks nothing.
TEST_F(PstOutlookTest, AProtectedStoreAsksForItsPassword) {
  Store store = Store::WithStandardFolders();
  store.password = "Geheim";
  const std::string pst = WriteStore(store, tmp_ / "protected.pst");
  const std::string open = WriteStore(Store::WithStandardFolders(), tmp_ / "open.pst");
  struct Case {
    std::optional<std::string> answer;
    const char* failure;  // null: the store opens
  };
  const Case cases[] = {
      {"Geheim", nullptr},
      {"geheim", "is not its password"},
      {std::nullopt, "is protected by a password"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> asked;
    PstOutlookOptions options{VCardVersion::k21, std::nullopt, Profile()};
    options.askPassword = [&](const std::string& path) {
      asked.push_back(path);
      return c.answer;
    };
    auto ns = MakePstOutlook(options)->CreateApplication()->GetNamespace("MAPI");
    ns->AddStore(open);
    EXPECT_TRUE(asked.empty());
    if (c.failure) {
      try {
        ns->AddStore(pst);
        ADD_FAILURE() << c.failure;
      } catch (const Failure& f) {
        EXPECT_NE(std::string(f.what()).find(c.failure), std::string::npos) << f.what();
      }
    } else {
      EXPECT_NO_THROW(ns->AddStore(pst));
    }
    EXPECT_EQ(asked, std::vector<std::string>{pst});
  }
}

TEST_F(PstOutlookTest, UnicodeFileAsInEveryScript) {
  const std::vector<std::string> names = {
      "Ångström, Zoë", "Кузнецов, Владимир", "Παπαδόπουλος, Αλέξανδρος",
      "山田 太郎",     "الهاشمي، محمد",      "Emoji 😀🎉 Person"};
  Store store = Store::WithStandardFolders();
  for (const auto& n : names)
    testing::AddSimpleContact(*store.Contacts(), n);
  const std::string pst = WriteStore(store, tmp_ / "unicode.pst");
  Session s = Open(Profile());
  s.ns->AddStore(pst);
  auto items = ItemsOf(*Sub(*RootOf(*s.ns, pst), "Contacts"));
  ASSERT_EQ(items.size(), names.size());
  std::vector<std::string> seen;
  for (auto& item : items) {
    const std::string fileAs = item->FileAs();
    seen.push_back(fileAs);
    const std::string path = tmp_ / (std::to_string(seen.size()) + ".vcf");
    item->SaveAs(path, kOlVCard);
    const auto card = tarnvex::testing::ParseWithVobject({path}, {.lexical = true}).front();
    EXPECT_EQ(tarnvex::testing::One(card, "N").value.at(0), fileAs);
  }
  std::sort(seen.begin(), seen.end());
  auto expected = names;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(seen, expected);
}

TEST_F(PstOutlookTest, ContactTestAndItemsPassedOver) {
  Store store = Store::WithStandardFolders();
  Folder& contacts = *store.Contacts();
  testing::AddSimpleContact(contacts, "Plain");
  auto& custom = contacts.AddMessage("IPM.Contact.MyForm");
  custom.props.SetString("PidLidFileUnder", "Custom form");
  auto& lower = contacts.AddMessage("ipm.contact");
  lower.props.SetString("PidLidFileUnder", "Lower case");
  auto& list = contacts.AddMessage("IPM.DistList");
  list.props.SetString("PidLidDistributionListName", "Team");
  contacts.AddMessage("IPM.Note").props.SetString("PidTagSubject", "A mail");
  contacts.AddMessage("IPM.ContactX");  // not a contact: no dot after "IPM.Contact"
  auto& noFileAs = contacts.AddMessage("IPM.Contact");
  noFileAs.props.SetString("PidTagSurname", "Nameless");
  const std::string pst = WriteStore(store, tmp_ / "mixed.pst");

  Session s = Open(Profile());
  s.ns->AddStore(pst);
  auto folder = Sub(*RootOf(*s.ns, pst), "Contacts");
  EXPECT_EQ(folder->Items()->Count(), 7);
  std::map<std::string, bool> contact;  // by file-as text or position
  int n = 0;
  for (auto& item : ItemsOf(*folder)) {
    ++n;
    const bool isContact = item->IsContact();
    if (isContact) {
      contact[item->FileAs()] = true;
    } else {
      EXPECT_THROW(item->SaveAs(tmp_ / "x.vcf", kOlVCard), Failure);
    }
  }
  EXPECT_EQ(n, 7);
  EXPECT_EQ(contact.size(), 4u);
  EXPECT_TRUE(contact.count("Plain"));
  EXPECT_TRUE(contact.count("Custom form"));
  EXPECT_TRUE(contact.count("Lower case"));
  EXPECT_TRUE(contact.count(""));  // no file-as: empty text
  EXPECT_FALSE(fs::exists(tmp_ / "x.vcf"));
}

TEST_F(PstOutlookTest, TenThousandContactsInStoredOrder) {
  constexpr int kCount = 10000;
  Store store = Store::WithStandardFolders();
  for (int i = 0; i < kCount; ++i) {
    testing::AddSimpleContact(*store.Contacts(), "Contact " + std::to_string(i));
  }
  const std::string pst = WriteStore(store, tmp_ / "big.pst");
  Session s = Open(Profile());
  s.ns->AddStore(pst);
  auto items = Sub(*RootOf(*s.ns, pst), "Contacts")->Items();
  ASSERT_EQ(items->Count(), kCount);
  std::set<std::string> seen;
  int n = 0;
  while (auto item = items->Next()) {
    ASSERT_TRUE(item->IsContact());
    seen.insert(item->FileAs());
    if (n % 1000 == 0)
      item->SaveAs(tmp_ / ("c" + std::to_string(n) + ".vcf"), kOlVCard);
    ++n;
  }
  EXPECT_EQ(n, kCount);
  EXPECT_EQ(seen.size(), static_cast<size_t>(kCount));
  EXPECT_EQ(items->Next(), nullptr);
}

TEST_F(PstOutlookTest, FolderTreeWithClassesAndHiddenFlags) {
  Store store = StandardStore();
  Folder& contacts = *store.Contacts();
  Folder& friends = contacts.AddFolder("Friends", "IPF.Contact");
  friends.AddFolder("Close friends", "IPF.Contact");
  Folder& hidden = contacts.AddFolder("Suggested", "IPF.Contact.Moc.QuickContacts");
  hidden.hidden = true;
  store.ipmSubtree.AddFolder("No class", "");
  const std::string pst = WriteStore(store, tmp_ / "tree.pst");

  Session s = Open(Profile());
  s.ns->AddStore(pst);
  auto root = RootOf(*s.ns, pst);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->Name(), "Top of Personal Folders");
  auto top = root->Folders();
  std::vector<std::string> names;
  for (int i = 1; i <= top->Count(); ++i)
    names.push_back(top->Item(i)->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Deleted Items", "Inbox", "Outbox", "Sent Items",
                                             "Calendar", "Contacts", "Journal", "Notes", "Tasks",
                                             "Drafts", "No class"}));
  EXPECT_EQ(top->GetLast()->Name(), "No class");
  EXPECT_EQ(top->GetLast()->ContainerClass(), "");
  EXPECT_THROW(top->Item(0), Failure);
  EXPECT_THROW(top->Item(top->Count() + 1), Failure);
  auto c = Sub(*root, "Contacts");
  EXPECT_EQ(c->ContainerClass(), "IPF.Contact");
  EXPECT_FALSE(c->Hidden());
  auto f = Sub(*c, "Friends");
  EXPECT_EQ(Sub(*f, "Close friends")->ContainerClass(), "IPF.Contact");
  auto h = Sub(*c, "Suggested");
  EXPECT_EQ(h->ContainerClass(), "IPF.Contact.Moc.QuickContacts");
  EXPECT_TRUE(h->Hidden());
}

// --- Default store and stores -----------------------------------------------------------------

TEST_F(PstOutlookTest, DefaultContactsFolderThroughTheStoresEntryId) {
  Store store = Store::WithStandardFolders();
  // A contacts folder ahead of the real one: only the entry id finds the right folder.
  Folder& decoy = store.ipmSubtree.AddFolder("Decoy", "IPF.Contact");
  store.ipmSubtree.subfolders.splice(store.ipmSubtree.subfolders.begin(),
                                     store.ipmSubtree.subfolders,
                                     std::prev(store.ipmSubtree.subfolders.end()));
  testing::AddSimpleContact(decoy, "Decoy contact");
  testing::AddSimpleContact(*store.Contacts(), "Real contact");
  const std::string pst = WriteStore(store, tmp_ / "default.pst");
  SetDefaultStore(Profile(), pst);

  Session s = Open(Profile());
  auto folder = s.ns->GetDefaultFolder(kOlFolderContacts);
  EXPECT_EQ(folder->Name(), "Contacts");
  auto items = ItemsOf(*folder);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0]->FileAs(), "Real contact");
  // The default store is the first of the namespace's stores and folders.
  ASSERT_EQ(s.ns->Stores().size(), 1u);
  EXPECT_EQ(s.ns->Stores()[0]->FilePath(), pst);
  EXPECT_EQ(s.ns->Folders()->Count(), 1);
  EXPECT_THROW(s.ns->GetDefaultFolder(6), Failure);
}

TEST_F(PstOutlookTest, DefaultContactsFolderFallsBackToTheFirstContactsFolder) {
  Store store;  // no folder carries the Contacts role, so the store keeps no entry id
  Folder& mail = store.ipmSubtree.AddFolder("Mail", "IPF.Note");
  Folder& people = mail.AddFolder("People", "IPF.Contact");
  store.ipmSubtree.AddFolder("Later people", "IPF.Contact");
  testing::AddSimpleContact(people, "Found");
  const std::string pst = WriteStore(store, tmp_ / "fallback.pst");
  SetDefaultStore(Profile(), pst);
  Session s = Open(Profile());
  auto folder = s.ns->GetDefaultFolder(kOlFolderContacts);
  EXPECT_EQ(folder->Name(), "People");
}

TEST_F(PstOutlookTest, NoContactsFolderAtAll) {
  Store store;
  testing::AddSimpleContact(store.ipmSubtree.AddFolder("Mail", "IPF.Note"), "Stray");
  const std::string pst = WriteStore(store, tmp_ / "nocontacts.pst");
  SetDefaultStore(Profile(), pst);
  Session s = Open(Profile());
  try {
    s.ns->GetDefaultFolder(kOlFolderContacts);
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_NE(std::string(f.what()).find(pst), std::string::npos) << f.what();
  }
}

TEST_F(PstOutlookTest, MissingProfileStartsButHasNoDefaultFolder) {
  Session s = Open(tmp_ / "no-such-profile.ini");
  EXPECT_TRUE(s.ns->Stores().empty());
  EXPECT_EQ(s.ns->Folders()->Count(), 0);
  EXPECT_THROW(s.ns->Folders()->GetLast(), Failure);
  try {
    s.ns->GetDefaultFolder(kOlFolderContacts);
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_NE(std::string(f.what()).find("tarnvex-export --set-default-store FILE"),
              std::string::npos)
        << f.what();
  }
}

TEST_F(PstOutlookTest, UnreadableProfileFailsOnlyTheDefaultFolder) {
  fs::create_directory(Profile());  // a folder where the file should be
  auto automation = MakePstOutlook({VCardVersion::k21, std::nullopt, Profile()});
  auto ns = automation->CreateApplication()->GetNamespace("MAPI");
  try {
    ns->GetDefaultFolder(kOlFolderContacts);
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_NE(std::string(f.what()).find(Profile() + "\": it is a folder"), std::string::npos)
        << f.what();
  }
}

TEST_F(PstOutlookTest, ProfileFileAndTheEnvironmentVariable) {
  const std::string pst = WriteStore(StandardStore(), tmp_ / "env.pst");
  const std::string profile = tmp_ / "sub/dir/profile.ini";
  SetDefaultStore(profile, pst);
  EXPECT_EQ(ReadFile(profile), "[Profile]\nDefaultStore=" + pst + "\n");
  EXPECT_EQ(ReadDefaultStore(profile), pst);

  {
    const tarnvex::testing::ScopedVariable variable("TARNVEX_OUTLOOK_PROFILE", profile);
    EXPECT_EQ(DefaultProfilePath(), profile);
    auto automation = MakePstOutlook({});  // empty profile path: the variable's
    auto ns = automation->CreateApplication()->GetNamespace("MAPI");
    EXPECT_EQ(ns->GetDefaultFolder(kOlFolderContacts)->Name(), "Contacts");
  }
  EXPECT_NE(DefaultProfilePath(), profile);

  // A relative store path is kept as an absolute one.
  const std::string cwd = fs::current_path();
  fs::current_path(tmp_.path());
  SetDefaultStore(profile, "env.pst");
  fs::current_path(cwd);
  EXPECT_EQ(ReadDefaultStore(profile), pst);
  // Something that is not a store is refused, and the profile keeps its old store.
  std::ofstream(tmp_ / "notes.txt") << "not a store";
  EXPECT_THROW(SetDefaultStore(profile, tmp_ / "notes.txt"), Failure);
  EXPECT_THROW(SetDefaultStore(profile, tmp_ / "missing.pst"), Failure);
  EXPECT_EQ(ReadDefaultStore(profile), pst);
}

TEST_F(PstOutlookTest, AttachAndDetachBookkeeping) {
  Store a = StandardStore("Store A");
  Store b = StandardStore("Store B");
  const std::string def = WriteStore(StandardStore(), tmp_ / "default.pst");
  const std::string pa = WriteStore(a, tmp_ / "a.pst");
  const std::string pb = WriteStore(b, tmp_ / "b.pst");
  SetDefaultStore(Profile(), def);
  Session s = Open(Profile());
  EXPECT_THROW(s.app->GetNamespace("Other"), Failure);
  EXPECT_EQ(s.app->GetNamespace("mapi"), s.ns);  // one session per application

  s.ns->AddStore(pa);
  s.ns->AddStore(pb);
  auto stores = s.ns->Stores();
  ASSERT_EQ(stores.size(), 3u);
  EXPECT_EQ(stores[0]->FilePath(), def);
  EXPECT_EQ(stores[1]->FilePath(), pa);
  EXPECT_EQ(stores[2]->FilePath(), pb);
  EXPECT_EQ(s.ns->Folders()->Count(), 3);
  auto last = s.ns->Folders()->GetLast();
  EXPECT_EQ(last, RootOf(*s.ns, pb));

  // The same file again, under another spelling: already open, nothing changes.
  s.ns->AddStore(tmp_.path() + "/./a.pst");
  fs::create_symlink(pa, tmp_ / "link.pst");
  s.ns->AddStore(tmp_ / "link.pst");
  EXPECT_EQ(s.ns->Stores().size(), 3u);
  EXPECT_EQ(s.ns->Folders()->GetLast(), last);

  // Only a store's top-level folder detaches it; the default store stays.
  auto contactsOfA = Sub(*RootOf(*s.ns, pa), "Contacts");
  EXPECT_THROW(s.ns->RemoveStore(*contactsOfA), Failure);
  EXPECT_THROW(s.ns->RemoveStore(*RootOf(*s.ns, def)), Failure);
  s.ns->RemoveStore(*last);
  EXPECT_EQ(s.ns->Stores().size(), 2u);
  EXPECT_EQ(s.ns->Folders()->GetLast(), RootOf(*s.ns, pa));
  EXPECT_THROW(s.ns->RemoveStore(*last), Failure);  // detached already
  // Folders taken before the detach still read.
  EXPECT_EQ(last->Name(), "Top of Personal Folders");

  // A file that is no store is not attached.
  EXPECT_THROW(s.ns->AddStore(tmp_ / "missing.pst"), Failure);
  EXPECT_EQ(s.ns->Stores().size(), 2u);
}

// --- Saving -----------------------------------------------------------------------------------

class SaveTest : public PstOutlookTest {
 protected:
  void SetUp() override {
    Store store = Store::WithStandardFolders();
    testing::AddSimpleContact(*store.Contacts(), "Saver", "Saver");
    pst_ = WriteStore(store, tmp_ / "save.pst");
    session_ = Open(Profile());
    session_.ns->AddStore(pst_);
    item_ = ItemsOf(*Sub(*RootOf(*session_.ns, pst_), "Contacts")).at(0);
    fs::create_directory(out_);
  }
  std::vector<std::string> Listing() const { return testing::FileNames(out_); }
  std::string pst_;
  Session session_;
  std::shared_ptr<OutlookItem> item_;
  std::string out_ = tmp_ / "out";
};

TEST_F(SaveTest, ReplacesAnExistingCardAndLeavesNoTemporaryFile) {
  const std::string path = out_ + "/Saver.vcf";
  std::ofstream(path) << std::string(100000, 'x');
  item_->SaveAs(path, kOlVCard);
  EXPECT_EQ(ReadFile(path).rfind("BEGIN:VCARD\r\n", 0), 0u);
  EXPECT_EQ(ReadFile(path).find('x'), std::string::npos);
  EXPECT_EQ(Listing(), std::vector<std::string>{"Saver.vcf"});
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(
      st.st_mode & 0777, 0666 & ~[] {
        const mode_t m = umask(0);
        umask(m);
        return m;
      }());
}

TEST_F(SaveTest, LinkAtTheTargetIsReplacedNotFollowed) {
  const std::string victim = tmp_ / "victim.txt";
  std::ofstream(victim) << "keep me";
  const std::string path = out_ + "/Saver.vcf";
  fs::create_symlink(victim, path);
  item_->SaveAs(path, kOlVCard);
  EXPECT_FALSE(fs::is_symlink(path));
  EXPECT_TRUE(fs::is_regular_file(path));
  EXPECT_EQ(ReadFile(victim), "keep me");
  // A dangling link too.
  const std::string dangling = out_ + "/Dangling.vcf";
  fs::create_symlink(tmp_ / "nowhere/x", dangling);
  item_->SaveAs(dangling, kOlVCard);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dangling)));
}

TEST_F(SaveTest, FailuresNameThePathAndLeaveNothing) {
  const std::pair<std::string, int> cases[] = {
      {out_ + "/no-such-folder/x.vcf", kOlVCard},  // folder missing
      {out_, kOlVCard},                            // a folder at the target
      {out_ + "/x.msg", 3},                        // another save type
      {out_ + "/x.txt", 0},
  };
  fs::create_directory(out_ + "/sub");
  for (const auto& [path, type] : cases) {
    try {
      item_->SaveAs(path, type);
      ADD_FAILURE() << "no failure for " << path;
    } catch (const Failure& f) {
      EXPECT_NE(std::string(f.what()).find(path), std::string::npos) << f.what();
    }
  }
  EXPECT_EQ(Listing(), std::vector<std::string>{"sub"});
}

}  // namespace
}  // namespace tarnvex::standin
