// tarnvex-export end to end on generated PST files, run in-process.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "cli/cli.h"
#include "tests/platform/standin/pst_fixtures.h"
#include "tests/platform/standin/sample_contact.h"
#include "tests/support/card_parsers.h"
#include "tests/support/posix_pst_outlook.h"
#include "tools/pstwriter/damage.h"

namespace tarnvex::standin {
namespace {

using pstwriter::Folder;
using pstwriter::Store;
using testing::ReadFile;
using testing::Sandbox;
using testing::SandboxedProfile;

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string out;
  std::string err;
};

class CliExportTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(out_); }

  Result Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = cli::Run(args, out, err);
    return {status, out.str(), err.str()};
  }

  std::vector<std::string> Cards() const { return testing::FileNames(out_); }

  // Contacts in the Contacts folder, a nested contacts folder and a hidden one; a distribution
  // list and a mail item are passed over.
  std::string MixedStore() {
    Store store = Store::WithStandardFolders();
    Folder& contacts = *store.Contacts();
    Folder& nested = contacts.AddFolder("Team", "IPF.Contact");
    Folder& hidden = contacts.AddFolder("Suggested", "IPF.Contact");
    hidden.hidden = true;
    for (int i = 0; i < 12; ++i) {
      Contact c = testing::FullContact();
      c.fileAs = "Person " + std::to_string(i) + (i == 3 ? " / with: bad* chars?" : "");
      if (i % 4)
        c.photo.clear();
      testing::SetContactProperties((i < 8 ? contacts : nested).AddMessage("IPM.Contact"), c);
    }
    testing::AddSimpleContact(hidden, "Not exported");
    contacts.AddMessage("IPM.DistList").props.SetString("PidLidDistributionListName", "All");
    contacts.AddMessage("IPM.Note").props.SetString("PidTagSubject", "Mail");
    return testing::WriteStore(store, tmp_ / "mixed.pst");
  }

  Sandbox tmp_;
  SandboxedProfile profile_{tmp_};
  std::string out_ = tmp_ / "out";
};

TEST_F(CliExportTest, MissingPstAndMissingFolder) {
  Result r = Run({"--pst", tmp_ / "no-such.pst", "--out", out_});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "PST File not found.\n");
  r = Run({"--pst", MixedStore(), "--out", tmp_ / "no-such-folder"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "Folder does not exist. Please select another folder.\n");
  EXPECT_TRUE(Cards().empty());
}

TEST_F(CliExportTest, ExportsOneValidCardPerContactNamedByFileAs) {
  const Result r = Run({"--pst", MixedStore(), "--out", out_, "--quiet"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Done.");
  std::vector<std::string> expected;
  for (int i = 0; i < 12; ++i) {
    expected.push_back("Person " + std::to_string(i) + (i == 3 ? "  with bad chars" : "") + ".vcf");
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Cards(), expected);
  std::vector<std::string> paths;
  for (const auto& name : Cards())
    paths.push_back(out_ + "/" + name);
  // 2.1 cards: vobject's 3.0 value rules would end the name at its bare comma.
  const auto cards = tarnvex::testing::ParseWithVobject(paths, {.lexical = true});
  for (size_t i = 0; i < cards.size(); ++i) {
    EXPECT_EQ(tarnvex::testing::One(cards[i], "FN").value.at(0),
              testing::FullContact().displayName);
  }
}

TEST_F(CliExportTest, Version40CardsAreReadByBelcard) {
  const Result r = Run({"--pst", MixedStore(), "--out", out_, "--vcard-version", "4.0"});
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(Cards().size(), 12u);
  for (const auto& name : Cards()) {
    const std::string card = ReadFile(out_ + "/" + name);
    EXPECT_EQ(card.rfind("BEGIN:VCARD\r\nVERSION:4.0\r\n", 0), 0u);
    tarnvex::testing::ParseWithBelcard(card);
  }
}

TEST_F(CliExportTest, DefaultContactsThroughTheProfile) {
  Result r = Run({"--default-contacts", "--out", out_});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("tarnvex-export --set-default-store FILE"), std::string::npos) << r.err;

  const std::string pst = MixedStore();
  r = Run({"--set-default-store", pst});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadDefaultStore(tmp_ / "profile.ini"), pst);
  r = Run({"--default-contacts", "--out", out_});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Cards().size(), 12u);  // the Contacts folder and the visible folder below it

  // The PST source naming the default store itself: it is used as it is open.
  fs::remove_all(out_);
  fs::create_directory(out_);
  r = Run({"--pst", pst, "--out", out_});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Cards().size(), 12u);
}

TEST_F(CliExportTest, DamagedPstIsReportedWithItsName) {
  const std::string pst = tmp_ / "cut.pst";
  const std::string whole = ReadFile(MixedStore());
  // Cut in the middle of the written data (the file ends in unused, zeroed space).
  const size_t used = whole.find_last_not_of('\0') + 1;
  std::ofstream(pst, std::ios::binary) << whole.substr(0, used / 2);
  const Result r = Run({"--pst", pst, "--out", out_});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find(pst), std::string::npos) << r.err;
  EXPECT_TRUE(Cards().empty());
}

// Damage that keeps every check sum valid: a node listed twice in the node index with two
// parents, folders that form a loop. Each ends the run with a clear message and an exit status,
// never a signal (the loop used to recurse until the stack overflowed).
TEST_F(CliExportTest, NodeListedTwiceOrFolderLoopEndsWithAStatusNotASignal) {
  struct Case {
    const char* name;
    std::function<void(const std::string&, const std::string&)> damage;
    const char* says;
  };
  const Case cases[] = {
      {"DuplicateNode",
       [](const std::string& from, const std::string& to) {
         pstwriter::WriteDuplicateNodeCopy(from, to, 0, false);
       },
       "the node index lists node 0x8002 twice"},
      {"FolderCycle",
       [](const std::string& from, const std::string& to) {
         pstwriter::WriteFolderCycleCopy(from, to);
       },
       "the folders form a loop: folder 0x8002 lists folder"},
  };
  const std::string source = MixedStore();
  for (const auto& c : cases) {
    const std::string pst = tmp_ / (std::string(c.name) + ".pst");
    c.damage(source, pst);
    const Result r = Run({"--pst", pst, "--out", out_});
    EXPECT_TRUE(r.status == 3 || r.status == 1) << c.name << ": " << r.status;
    EXPECT_NE(r.err.find("The Outlook data file \"" + pst + "\" is damaged: " + c.says),
              std::string::npos)
        << c.name << ": " << r.err;
  }
}

}  // namespace
}  // namespace tarnvex::standin
