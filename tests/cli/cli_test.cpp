#include "cli/cli.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "cli/console.h"
#include "platform/failure.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_outlook.h"
#include "tests/sandbox/sandbox.h"

namespace tarnvex::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// Lends the fake Outlook to a run, so that the test can look at it afterwards.
class BorrowedOutlook : public OutlookAutomation {
 public:
  explicit BorrowedOutlook(OutlookAutomation& outlook) : outlook_(outlook) {}
  std::shared_ptr<OutlookApplication> CreateApplication() override {
    return outlook_.CreateApplication();
  }

 private:
  OutlookAutomation& outlook_;
};

// Hands out one fake Outlook and records what the command line asked of the machine.
class FakeEnvironment : public Environment {
 public:
  std::unique_ptr<OutlookAutomation> MakeOutlook(const OutlookOptions& options) override {
    outlookOptions = options;
    if (refusal)
      throw Failure(*refusal);
    return std::make_unique<BorrowedOutlook>(outlook);
  }
  FileSystem& Files() override { return files; }
  std::string SetDefaultStore(const std::string& storePath) override {
    if (storePath == "/unreadable.pst")
      throw Failure("Cannot read /unreadable.pst");
    defaultStore = storePath;
    return "/profile.ini";
  }
  bool ErrorIsTerminal() override { return terminal; }
  std::optional<std::string> Variable(const std::string& name) override {
    auto it = variables.find(name);
    return it == variables.end() ? std::nullopt : std::optional<std::string>(it->second);
  }
  std::optional<std::string> AskSecret(const std::string& prompt) override {
    prompts.push_back(prompt);
    return typed;
  }

  fakes::FakeOutlook outlook;
  std::map<std::string, std::string> variables;
  std::optional<std::string> typed;  // what the user types when asked; empty: no terminal
  std::vector<std::string> prompts;
  fakes::FakeFileSystem files;
  std::optional<OutlookOptions> outlookOptions;
  // Set: the machine has no Outlook for the source and says so.
  std::optional<std::string> refusal;
  std::string defaultStore;
  bool terminal = false;
};

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    environment.files.folders = {"/out"};
    environment.files.files = {"/in.pst"};
    fakes::FakeFolderSpec root{"Top"};
    fakes::FakeFolderSpec contacts{"Contacts", "IPF.Contact"};
    contacts.items = {fakes::Contact("Anna"), fakes::DistList("Team"), fakes::Contact("Boris")};
    fakes::FakeFolderSpec deleted{"Deleted Items", "IPF.Note"};
    root.subfolders = {contacts, deleted};
    environment.outlook.pstFiles["/in.pst"] = {"/in.pst", root, 1};
    outlook = &environment.outlook;
  }

  int Run(std::vector<std::string> args) { return cli::Run(args, out, err, environment); }
  fakes::FakeFolderSpec& Contacts() {
    return environment.outlook.pstFiles["/in.pst"].root.subfolders[0];
  }
  fakes::FakeFolderSpec& DeletedItems() {
    return environment.outlook.pstFiles["/in.pst"].root.subfolders[1];
  }

  FakeEnvironment environment;
  fakes::FakeOutlook* outlook;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(CliTest, HelpAndVersionGoToStandardOutput) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_THAT(out.str(), StartsWith("Usage: tarnvex-export (--pst FILE | --default-contacts)"));
  EXPECT_EQ(err.str(), "");
  out.str("");
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(out.str(), "tarnvex-export 0.1.0\n");
}

TEST_F(CliTest, BadUsageGivesReasonUsageAndStatusTwo) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--pst", "/in.pst"}, "give the output folder with --out DIR"},
      {{"--out", "/out"}, "give --pst FILE or --default-contacts"},
      {{"--pst", "/in.pst", "--default-contacts", "--out", "/out"}, "not both"},
      {{"--pst", "/in.pst", "--out", "/out", "--vcard-version", "5"}, "unknown vCard version"},
      {{"--pst"}, "--pst needs a value"},
      {{"--frobnicate"}, "unknown argument \"--frobnicate\""},
      {{"--quiet=yes", "--default-contacts", "--out", "/out"}, "--quiet takes no value"},
      {{"--out", "/a", "--out", "/b", "--default-contacts"}, "--out is given twice"},
      {{"--set-default-store", "/in.pst", "--out", "/out"}, "goes alone"},
      {{"--default-contacts", "--out", "/out", "--codepage", "cyrillic"}, "not a code page"},
      {{"--default-contacts", "--out", "/out", "--codepage", "0"}, "not a code page"},
      {{"--default-contacts", "--out", "/out", "--codepage", "70000"}, "not a code page"},
      {{"--default-contacts", "--out", "/out", "--charset", "latin1"}, "unknown charset"},
      {{"--default-contacts", "--out", "/out", "--charset", "outlook", "--vcard-version", "3.0"},
       "--charset outlook is a form of vCard 2.1"},
  };
  for (const auto& [args, reason] : cases) {
    err.str("");
    EXPECT_EQ(Run(args), 2) << reason;
    EXPECT_THAT(err.str(), HasSubstr(reason));
    EXPECT_THAT(err.str(), HasSubstr("Usage: tarnvex-export"));
  }
  EXPECT_EQ(out.str(), "");
  EXPECT_THAT(outlook->calls, ::testing::IsEmpty());
}

TEST_F(CliTest, CleanExportPrintsDoneAndSummaryAndExitsZero) {
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out"}), 0);
  EXPECT_EQ(out.str(), "Done.\n2 cards written, 1 item passed over, 0 failures\n");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(outlook->saved.size(), 2u);
  EXPECT_THAT(outlook->OpenStorePaths(), ::testing::ElementsAre("/profile/outlook.pst"));
}

TEST_F(CliTest, ReportsGoToStandardErrorInFullAndExitOne) {
  Contacts().items[0].failSaveAs = true;
  EXPECT_EQ(Run({"--pst=/in.pst", "--out=/out"}), 1);
  EXPECT_EQ(err.str(),
            "Cannot save /out/Anna.vcf\n"
            "in Brismolt2021/08/31.Form1.PushButton3_Click at line 158\n\n"
            "Please email screenshot of this message to support@tarnvex.example\n");
  EXPECT_EQ(out.str(), "Done.\n1 card written, 1 item passed over, 1 failure\n");
}

TEST_F(CliTest, ContactsInDeletedItemsAreCountedAfterTheSummaryOrExportedWhenAsked) {
  DeletedItems().items = {fakes::Contact("Gone"), fakes::DistList("Old"), fakes::Contact("Lost")};
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out"}), 0);
  EXPECT_EQ(out.str(),
            "Done.\n2 cards written, 1 item passed over, 0 failures\n"
            "2 contacts in Deleted Items were not exported; --include-deleted exports them too\n");
  out.str("");
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out", "--include-deleted"}), 0);
  EXPECT_EQ(out.str(), "Done.\n4 cards written, 1 item passed over, 0 failures\n");
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out", "--include-deleted=no"}), 2);
}

TEST_F(CliTest, AStoreWithContactsOnlyInDeletedItemsSaysWhereTheyAre) {
  Contacts().items.clear();
  DeletedItems().items = {fakes::Contact("Gone")};
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out"}), 3);
  EXPECT_EQ(out.str(),
            "No contacts found.\n"
            "1 contact in Deleted Items was not exported; --include-deleted exports it too\n");
}

TEST_F(CliTest, OtherClosingMessagesExitThree) {
  EXPECT_EQ(Run({"--pst", "/no/such.pst", "--out", "/out"}), 3);
  EXPECT_EQ(out.str(), "PST File not found.\n");
  out.str("");
  // The folder is used as given, blanks included.
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out "}), 3);
  EXPECT_EQ(out.str(), "Folder does not exist. Please select another folder.\n");
}

TEST_F(CliTest, OptionsReachTheStandIn) {
  Run({"--default-contacts", "--out", "/out", "--vcard-version", "4.0", "--pst-password", "pw"});
  ASSERT_TRUE(environment.outlookOptions);
  EXPECT_EQ(environment.outlookOptions->vcardVersion, VCardVersion::k40);
  EXPECT_EQ(environment.outlookOptions->password, "pw");
  EXPECT_EQ(environment.outlookOptions->codePage, std::nullopt);
  Run({"--default-contacts", "--out", "/out", "--codepage", "1251"});
  EXPECT_EQ(environment.outlookOptions->codePage, 1251u);
  Run({"--default-contacts", "--out", "/out", "--codepage=CP932"});
  EXPECT_EQ(environment.outlookOptions->codePage, 932u);
  EXPECT_EQ(environment.outlookOptions->charset, std::nullopt);
  Run({"--default-contacts", "--out", "/out", "--charset", "Outlook"});
  EXPECT_EQ(environment.outlookOptions->charset, vcard::Charset::kOutlook);
  Run({"--default-contacts", "--out", "/out", "--charset=utf-8", "--vcard-version", "4.0"});
  EXPECT_EQ(environment.outlookOptions->charset, vcard::Charset::kUtf8);
  // The run hands the stand-in a way to warn, on standard error.
  ASSERT_TRUE(environment.outlookOptions->warn);
  environment.outlookOptions->warn("code page 4242 is not known");
  EXPECT_THAT(err.str(), HasSubstr("tarnvex-export: warning: code page 4242 is not known\n"));
}

// The password of a protected store: --pst-password, else the first line of --pst-password-file;
// when neither is given the stand-in asks, and gets TARNVEX_PST_PASSWORD, else what the user
// types on the terminal.
TEST_F(CliTest, ThePasswordComesFromTheOptionItsFileTheVariableOrTheTerminal) {
  testing::Sandbox tmp;
  const std::string file = tmp / "password.txt";
  std::ofstream(testing::PathOf(file), std::ios::binary) << "s3cret p\xC3\xA4ss\r\nsecond line\n";
  ASSERT_EQ(Run({"--pst", "/in.pst", "--out", "/out", "--pst-password-file", file}), 0)
      << err.str();
  EXPECT_EQ(environment.outlookOptions->password, "s3cret p\xC3\xA4ss");

  ASSERT_EQ(Run({"--pst", "/in.pst", "--out", "/out"}), 0);
  EXPECT_EQ(environment.outlookOptions->password, std::nullopt);
  const auto ask = environment.outlookOptions->askPassword;
  ASSERT_TRUE(ask);
  EXPECT_EQ(ask("/in.pst"), std::nullopt);  // no variable, no terminal
  environment.typed = "typed";
  EXPECT_EQ(ask("/in.pst"), "typed");
  ASSERT_EQ(environment.prompts.size(), 2u);
  EXPECT_THAT(environment.prompts[1], HasSubstr("\"/in.pst\""));
  environment.variables["TARNVEX_PST_PASSWORD"] = "from the variable";
  EXPECT_EQ(ask("/in.pst"), "from the variable");
  EXPECT_EQ(environment.prompts.size(), 2u);
  environment.variables["TARNVEX_PST_PASSWORD"] = "";  // empty: as if unset
  EXPECT_EQ(ask("/in.pst"), "typed");

  err.str("");
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out", "--pst-password-file", tmp / "none.txt"}), 3);
  EXPECT_THAT(err.str(), HasSubstr("Cannot read the password file \"" + (tmp / "none.txt") + "\""));
  err.str("");
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out", "--pst-password", "a", "--pst-password-file",
                 file}),
            2);
  EXPECT_THAT(err.str(), HasSubstr("not both"));
}

TEST_F(CliTest, TheMachineLearnsTheSource) {
  Run({"--default-contacts", "--out", "/out"});
  ASSERT_TRUE(environment.outlookOptions);
  EXPECT_EQ(environment.outlookOptions->source, ContactSource::kDefaultContacts);
  Run({"--pst", "/in.pst", "--out", "/out"});
  EXPECT_EQ(environment.outlookOptions->source, ContactSource::kPstFile);
}

TEST_F(CliTest, NoOutlookAsksTheMachineForTheOwnReader) {
  Run({"--pst", "/in.pst", "--out", "/out"});
  ASSERT_TRUE(environment.outlookOptions);
  EXPECT_FALSE(environment.outlookOptions->noOutlook);
  Run({"--no-outlook", "--pst", "/in.pst", "--out", "/out"});
  EXPECT_TRUE(environment.outlookOptions->noOutlook);
  EXPECT_EQ(Run({"--no-outlook=yes", "--pst", "/in.pst", "--out", "/out"}), 2);
}

TEST_F(CliTest, AMachineWithNoOutlookForTheSourceSaysWhyAndExitsThree) {
  environment.refusal = "This machine cannot read PST files.";
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out"}), 3);
  EXPECT_EQ(err.str(), "tarnvex-export: This machine cannot read PST files.\n");
  EXPECT_EQ(out.str(), "");
  EXPECT_THAT(outlook->calls, ::testing::IsEmpty());
}

TEST_F(CliTest, ProgressBarWithCountOnATerminal) {
  environment.terminal = true;
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out"}), 0);
  EXPECT_THAT(err.str(), HasSubstr("] 3/3"));
  EXPECT_THAT(err.str(), HasSubstr("[##############################] 3/3\n"));
}

TEST_F(CliTest, NoProgressBarWhenQuietOrOffATerminal) {
  environment.terminal = true;
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out", "--quiet"}), 0);
  environment.terminal = false;
  EXPECT_EQ(Run({"--pst", "/in.pst", "--out", "/out"}), 0);
  EXPECT_EQ(err.str(), "");
}

TEST_F(CliTest, SetDefaultStoreWritesTheProfile) {
  EXPECT_EQ(Run({"--set-default-store", "/in.pst"}), 0);
  EXPECT_EQ(environment.defaultStore, "/in.pst");
  EXPECT_EQ(out.str(), "Default store: /in.pst (profile /profile.ini)\n");
  EXPECT_EQ(Run({"--set-default-store", "/unreadable.pst"}), 3);
  EXPECT_EQ(err.str(), "tarnvex-export: Cannot read /unreadable.pst\n");
}

TEST(ConsoleLineEnds, CarriageReturnsBecomeLineFeeds) {
  EXPECT_EQ(WithConsoleLineEnds("a\r\nb\r\rc\r"), "a\nb\n\nc\n");
  EXPECT_EQ(WithConsoleLineEnds(""), "");
}

TEST(ConsoleProgress, ErrorReportClearsTheBarWhichComesBack) {
  std::ostringstream out, err;
  ConsoleProgress progress(err);
  ConsoleMessageBoxes boxes(out, err, &progress);
  progress.Started(2);
  progress.ItemDone();
  boxes.Show("Broken", "Application Error", MessageIcon::kWarning);
  progress.ItemDone();
  boxes.Show("Done.", "Tarnvex Card", MessageIcon::kNone);
  EXPECT_EQ(err.str(),
            "\r[------------------------------] 0/2\r[###############---------------] 1/2"
            "\r\033[KBroken\n\r[##############################] 2/2"
            "\r[##############################] 2/2\n");
  EXPECT_EQ(out.str(), "Done.\n");
}

}  // namespace
}  // namespace tarnvex::cli
