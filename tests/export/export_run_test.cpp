#include "export/export_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "platform/failure.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_outlook.h"
#include "tests/fakes/fake_ui.h"

namespace tarnvex {
namespace {

using fakes::Contact;
using fakes::DistList;
using fakes::FakeFolderSpec;
using fakes::FakeStoreSpec;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kPst[] = "/data/archive.pst";

class RecordingProgress : public ExportProgress {
 public:
  std::vector<int32_t> started;
  int done = 0;
  void Started(int32_t total) override { started.push_back(total); }
  void ItemDone() override { ++done; }
};

struct ExportRunFixture {
  ExportRunFixture() {
    files.folders = {"/out", "/out/"};
    view.text3 = "/out";
  }

  // The default profile's Contacts folder holds these items.
  void DefaultContacts(std::vector<fakes::FakeItemSpec> items) {
    FakeFolderSpec contacts{"Contacts", "IPF.Contact"};
    contacts.items = std::move(items);
    outlook.defaultStore.root.subfolders = {contacts};
    outlook.contactsFolderIndex = 0;
  }

  // Selects the PST source, with a file whose top-level folder is the given folder.
  void PstSource(FakeFolderSpec root) {
    view.option1 = false;
    view.option2 = true;
    view.text2 = kPst;
    files.files.insert(kPst);
    outlook.pstFiles[kPst] = {kPst, std::move(root)};
  }

  ExportSummary RunExport() {
    ExportServices services{outlook, files, boxes, sleeper, "Tarnvex Card", &progress};
    return PushButton3_Click(view, services);
  }

  std::vector<std::string> SavedPaths() const {
    std::vector<std::string> paths;
    for (const auto& card : outlook.saved)
      paths.push_back(card.path);
    return paths;
  }

  fakes::FakeOutlook outlook;
  fakes::FakeFileSystem files;
  fakes::RecordingMessageBoxes boxes;
  fakes::RecordingSleeper sleeper;
  fakes::FakeExportView view;
  RecordingProgress progress;
};

class ExportRunTest : public ::testing::Test, public ExportRunFixture {};

FakeFolderSpec FolderOf(std::string name, std::string containerClass,
                        std::vector<fakes::FakeItemSpec> items,
                        std::vector<FakeFolderSpec> subfolders = {}) {
  FakeFolderSpec folder{std::move(name), std::move(containerClass)};
  folder.items = std::move(items);
  folder.subfolders = std::move(subfolders);
  return folder;
}

TEST_F(ExportRunTest, DefaultContactsAreSavedAsCardsNamedByFileAs) {
  DefaultContacts({Contact("Smith, Anna"), DistList("Team"), Contact("O'Brien: Sean?")});

  const ExportSummary summary = RunExport();

  EXPECT_THAT(
      outlook.calls,
      ElementsAre("CreateApplication", "CreateApplication", "GetNamespace MAPI", "Items Contacts",
                  "SaveAs /out/Smith, Anna.vcf 6", "SaveAs /out/O'Brien Sean.vcf 6"));
  EXPECT_THAT(boxes.shown, ::testing::SizeIs(1));
  EXPECT_EQ(boxes.shown[0].text, "Done.");
  EXPECT_EQ(boxes.shown[0].caption, "Tarnvex Card");
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kNone);
  EXPECT_THAT(view.pointers, ElementsAre(PointerMode::kBusy, PointerMode::kDefault));
  EXPECT_THAT(sleeper.pauses, ElementsAre(1000));
  EXPECT_EQ(summary.closingMessage, "Done.");
  EXPECT_EQ(summary.cardsWritten, 2);
  EXPECT_EQ(summary.itemsPassedOver, 1);
  EXPECT_EQ(summary.failures, 0);
  EXPECT_THAT(progress.started, ElementsAre(3));
  EXPECT_EQ(progress.done, 3);
}

TEST_F(ExportRunTest, OutputFolderWithTrailingSeparatorGivesSingleSeparators) {
  DefaultContacts({Contact("A"), Contact("\"/\\*:?<>|")});
  view.text3 = "/out/";
  RunExport();
  EXPECT_THAT(SavedPaths(), ElementsAre("/out/A.vcf", "/out/(no name).vcf"));
}

TEST_F(ExportRunTest, OnlyDistributionListsGiveDoneAndNoCard) {
  DefaultContacts({DistList("Team"), DistList("Family")});
  const ExportSummary summary = RunExport();
  EXPECT_THAT(outlook.saved, IsEmpty());
  EXPECT_THAT(boxes.PlainTexts(), ElementsAre("Done."));
  EXPECT_EQ(summary.itemsPassedOver, 2);
}

struct EarlyEnd {
  std::string name;
  std::function<void(ExportRunFixture&)> arrange;
  std::string message;
  std::vector<int> reportedLines;
  std::vector<PointerMode> pointers;
};

class ClosingMessageTest : public ::testing::TestWithParam<EarlyEnd> {};

TEST_P(ClosingMessageTest, EndsWithItsMessage) {
  ExportRunFixture run;
  GetParam().arrange(run);
  const ExportSummary summary = run.RunExport();
  EXPECT_THAT(run.boxes.PlainTexts(), ElementsAre(GetParam().message));
  EXPECT_EQ(run.boxes.shown.back().text, GetParam().message);
  EXPECT_EQ(run.boxes.ReportedLines(), GetParam().reportedLines);
  EXPECT_EQ(run.view.pointers, GetParam().pointers);
  EXPECT_EQ(summary.closingMessage, GetParam().message);
  EXPECT_EQ(summary.failures, static_cast<int>(GetParam().reportedLines.size()));
  EXPECT_THAT(run.outlook.saved, IsEmpty());
  EXPECT_THAT(run.outlook.OpenStorePaths(), ::testing::Not(::testing::Contains(kPst)))
      << "a PST attached by the run stays attached";
}

const auto kBusyThenDefault = std::vector{PointerMode::kBusy, PointerMode::kDefault};

INSTANTIATE_TEST_SUITE_P(
    ExportRun, ClosingMessageTest,
    ::testing::Values(EarlyEnd{"OutlookMissing",
                               [](ExportRunFixture& t) {
                                 t.outlook.failing.insert("CreateApplication");
                               },
                               "MS Outlook does not appear to be installed on this computer.",
                               {},
                               {}},
                      EarlyEnd{"OutlookGivesNoObject",
                               [](ExportRunFixture& t) { t.outlook.createGivesNull = true; },
                               "MS Outlook does not appear to be installed on this computer.",
                               {},
                               {}},
                      EarlyEnd{"FolderMissing",
                               [](ExportRunFixture& t) { t.view.text3 = "/missing"; },
                               "Folder does not exist. Please select another folder.",
                               {},
                               {}},
                      EarlyEnd{"FolderTypedWithBlank",
                               [](ExportRunFixture& t) { t.view.text3 = "/out "; },
                               "Folder does not exist. Please select another folder.",
                               {},
                               {}},
                      EarlyEnd{"PstPathOfSpaces",
                               [](ExportRunFixture& t) {
                                 t.PstSource({"Top"});
                                 t.view.text2 = "   ";
                               },
                               "You forgot to input PST File.",
                               {},
                               kBusyThenDefault},
                      EarlyEnd{"PstMissing",
                               [](ExportRunFixture& t) {
                                 t.PstSource({"Top"});
                                 t.view.text2 = "/data/other.pst";
                               },
                               "PST File not found.",
                               {},
                               kBusyThenDefault},
                      EarlyEnd{"PstPathMalformed",
                               [](ExportRunFixture& t) {
                                 t.PstSource({"Top"});
                                 t.files.malformed.insert(kPst);
                               },
                               "PST File not found.",
                               {124},
                               kBusyThenDefault},
                      EarlyEnd{"EmptyPst",
                               [](ExportRunFixture& t) { t.PstSource({"Top"}); },
                               "No contacts found.",
                               {},
                               kBusyThenDefault},
                      EarlyEnd{"EmptyDefaultContacts",
                               [](ExportRunFixture& t) { t.DefaultContacts({}); },
                               "No contacts found.",
                               {},
                               kBusyThenDefault},
                      EarlyEnd{"NeitherOption",
                               [](ExportRunFixture& t) {
                                 t.DefaultContacts({Contact("A")});
                                 t.view.option1 = false;
                               },
                               "No contacts found.",
                               {136},
                               kBusyThenDefault},
                      EarlyEnd{"PstWithDistributionListsOutsideContactsFolders",
                               [](ExportRunFixture& t) {
                                 FakeFolderSpec root{"Top"};
                                 root.items = {DistList("Team")};
                                 FakeFolderSpec inbox{"Inbox", "IPF.Note"};
                                 inbox.items = {DistList("Family")};
                                 root.subfolders = {inbox};
                                 t.PstSource(root);
                               },
                               "No contacts found.",
                               {},
                               kBusyThenDefault}),
    [](const auto& info) { return info.param.name; });

// The object model answers the availability test but not the run's own request.
class OutlookFailingAfterTest : public fakes::FakeOutlook {
 public:
  std::shared_ptr<OutlookApplication> CreateApplication() override {
    if (++creates_ > 1)
      throw Failure("Cannot create ActiveX component.");
    return FakeOutlook::CreateApplication();
  }

 private:
  int creates_ = 0;
};

TEST(ExportRunFailures, ApplicationLostAfterTestGivesFourReportsThenNoContacts) {
  OutlookFailingAfterTest outlook;
  fakes::FakeFileSystem files;
  files.folders = {"/out"};
  fakes::RecordingMessageBoxes boxes;
  fakes::RecordingSleeper sleeper;
  fakes::FakeExportView view;
  view.text3 = "/out";

  ExportServices services{outlook, files, boxes, sleeper, "Tarnvex Card"};
  const ExportSummary summary = PushButton3_Click(view, services);

  EXPECT_THAT(boxes.ReportedLines(), ElementsAre(108, 110, 114, 136));
  EXPECT_EQ(boxes.shown[0].text,
            "Cannot create ActiveX component.\r\nin Brismolt2021/08/31.Form1.PushButton3_Click at "
            "line 108\r\rPlease email screenshot of this message to support@tarnvex.example");
  EXPECT_EQ(boxes.shown[0].caption, "Application Error");
  EXPECT_THAT(boxes.shown[1].text,
              ::testing::StartsWith("Object variable or With block variable not set\r\n"));
  EXPECT_THAT(boxes.PlainTexts(), ElementsAre("No contacts found."));
  EXPECT_EQ(summary.failures, 4);
}

TEST_F(ExportRunTest, FailedSaveIsReportedAndTheExportGoesOn) {
  fakes::FakeItemSpec locked = Contact("Locked");
  locked.failSaveAs = true;
  DefaultContacts({Contact("A"), locked, Contact("B")});

  const ExportSummary summary = RunExport();

  EXPECT_THAT(SavedPaths(), ElementsAre("/out/A.vcf", "/out/B.vcf"));
  EXPECT_THAT(boxes.ReportedLines(), ElementsAre(158));
  EXPECT_THAT(boxes.PlainTexts(), ElementsAre("Done."));
  EXPECT_EQ(summary.cardsWritten, 2);
  EXPECT_EQ(summary.failures, 1);
}

TEST_F(ExportRunTest, ContactWithoutReadableFileAsIsNeverSavedUnderAnotherPath) {
  fakes::FakeItemSpec unnamed = Contact("Hidden name");
  unnamed.failFileAs = true;
  DefaultContacts({Contact("A"), unnamed, Contact("B")});

  RunExport();

  EXPECT_THAT(SavedPaths(), ElementsAre("/out/A.vcf", "/out/B.vcf"));
  EXPECT_THAT(boxes.ReportedLines(), ElementsAre(156));
}

TEST_F(ExportRunTest, FailedContactTestCountsAsPassed) {
  fakes::FakeItemSpec odd = Contact("Odd");
  odd.failIsContact = true;
  DefaultContacts({odd});
  RunExport();
  EXPECT_THAT(SavedPaths(), ElementsAre("/out/Odd.vcf"));
  EXPECT_THAT(boxes.ReportedLines(), ElementsAre(150));
}

// An item that cannot be read fails every step it reaches; it is one failure of the run, so the
// summary accounts for every item of the folder once.
TEST_F(ExportRunTest, UnreadableItemCountsAsOneFailure) {
  fakes::FakeItemSpec unreadable = Contact("Unreadable");
  unreadable.failIsContact = true;
  unreadable.failFileAs = true;
  fakes::FakeItemSpec unsaved = Contact("Unsaved");
  unsaved.failIsContact = true;
  unsaved.failSaveAs = true;
  DefaultContacts({Contact("A"), unreadable, DistList("Team"), unsaved, Contact("B")});

  const ExportSummary summary = RunExport();

  EXPECT_THAT(SavedPaths(), ElementsAre("/out/A.vcf", "/out/B.vcf"));
  EXPECT_THAT(boxes.ReportedLines(), ElementsAre(150, 156, 150, 158));
  EXPECT_EQ(summary.cardsWritten, 2);
  EXPECT_EQ(summary.itemsPassedOver, 1);
  EXPECT_EQ(summary.failures, 2);
  EXPECT_EQ(summary.cardsWritten + summary.itemsPassedOver + summary.failures, 5);
}

TEST_F(ExportRunTest, FailedFetchEndsTheLoopAndTheStoreIsStillDetached) {
  FakeFolderSpec root{"Top"};
  root.items = {Contact("A"), Contact("B"), Contact("C")};
  root.failFetchAt = 1;
  PstSource(root);

  RunExport();

  EXPECT_THAT(SavedPaths(), ElementsAre("/out/A.vcf"));
  EXPECT_THAT(boxes.ReportedLines(), ElementsAre(160));
  EXPECT_THAT(boxes.PlainTexts(), ElementsAre("Done."));
  EXPECT_THAT(outlook.calls, ::testing::Contains("RemoveStore Top"));
  EXPECT_THAT(outlook.OpenStorePaths(), ElementsAre("/profile/outlook.pst"));
}

TEST_F(ExportRunTest, EqualFileAsTextsGiveNumberedCardsInsteadOfOverwriting) {
  DefaultContacts({Contact("Smith"), Contact("SMITH"), Contact("Smith (2)"), Contact("smith"),
                   Contact("Ærø"), Contact("ærø")});

  RunExport();

  EXPECT_THAT(SavedPaths(),
              ElementsAre("/out/Smith.vcf", "/out/SMITH (2).vcf", "/out/Smith (2) (2).vcf",
                          "/out/smith (3).vcf", "/out/Ærø.vcf", "/out/ærø (2).vcf"));
}

TEST_F(ExportRunTest, ANameWhoseSaveFailedIsNotTriedAgain) {
  fakes::FakeItemSpec locked = Contact("Smith");
  locked.failSaveAs = true;
  DefaultContacts({locked, Contact("Smith")});
  RunExport();
  EXPECT_THAT(SavedPaths(), ElementsAre("/out/Smith (2).vcf"));
  EXPECT_THAT(boxes.ReportedLines(), ElementsAre(158));
}
// Numbering resumes where it stopped for a name; the cards must still be those of a search from
// " (2)" each time, over names that collide in letter case, names filed with their own number
// and saves that fail (their names stay taken).
TEST_F(ExportRunTest, NumberingOfManyEqualNamesMatchesAFreshSearchEachTime) {
  const char* const names[] = {"Info", "info", "Info (2)", "INFO (3)", "Ann", "Info (2) (2)"};
  std::vector<fakes::FakeItemSpec> items;
  std::vector<std::string> expected;
  std::set<std::string> taken;  // lower-case keys of the cards written so far
  auto lower = [](std::string s) {
    for (char& c : s)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  unsigned seed = 7;
  for (int i = 0; i < 400; ++i) {
    seed = seed * 1103515245u + 12345u;
    fakes::FakeItemSpec item = Contact(names[(seed >> 16) % std::size(names)]);
    item.failSaveAs = (seed >> 8) % 5 == 0;
    std::string path = "/out/" + item.fileAs + ".vcf";
    for (int n = 2; taken.count(lower(path)); ++n)
      path = "/out/" + item.fileAs + " (" + std::to_string(n) + ").vcf";
    taken.insert(lower(path));
    if (!item.failSaveAs)
      expected.push_back(path);
    items.push_back(item);
  }
  DefaultContacts(items);

  RunExport();

  EXPECT_EQ(SavedPaths(), expected);
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i)
    out += piece;
  return out;
}

struct NameCase {
  const char* name;
  std::string fileAs;
  bool hidesDotNames;
  std::string cardName;  // the saved path less "/out/"
};

class CardNameTest : public ::testing::TestWithParam<NameCase>, public ExportRunFixture {};

TEST_P(CardNameTest, EveryContactGetsAVisibleNameThatFits) {
  const NameCase& c = GetParam();
  files.hidesDotNames = c.hidesDotNames;
  DefaultContacts({Contact(c.fileAs)});
  RunExport();
  ASSERT_THAT(SavedPaths(), ElementsAre("/out/" + c.cardName));
  EXPECT_LE(c.cardName.size(), 255u);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CardNameTest,
    ::testing::Values(
        NameCase{"Plain", "Smith", true, "Smith.vcf"},
        NameCase{"ControlCharacters", std::string("a\x01\x1F\x7F", 4) + "b", true, "ab.vcf"},
        NameCase{"LeadingDotsDropped", "..hidden. name", true, "hidden. name.vcf"},
        NameCase{"LeadingDotsKeptWhereNotHidden", ".hidden", false, ".hidden.vcf"},
        NameCase{"EmptyGetsANoNameStem", "", true, "(no name).vcf"},
        NameCase{"OnlyRemovedCharacters", ":/\\*?\t", true, "(no name).vcf"},
        NameCase{"OnlyDots", "...", true, "(no name).vcf"},
        NameCase{"EmptyStaysWhereDotNamesShow", "", false, ".vcf"},
        NameCase{"ExactlyTheLongestName", Repeat("a", 251), true, Repeat("a", 251) + ".vcf"},
        NameCase{"LongAsciiCut", Repeat("a", 300), true, Repeat("a", 251) + ".vcf"},
        NameCase{"LongTwoByteCutAtACharacter", Repeat("\xC3\xA9", 200), true,
                 Repeat("\xC3\xA9", 125) + ".vcf"},
        NameCase{"LongThreeByteCutAtACharacter", Repeat("\xE5\xB1\xB1", 100), true,
                 Repeat("\xE5\xB1\xB1", 83) + ".vcf"},
        NameCase{"LongFourByteCutAtACharacter", Repeat("\xF0\x9F\x8E\x89", 70), true,
                 Repeat("\xF0\x9F\x8E\x89", 62) + ".vcf"}),
    [](const auto& info) { return std::string(info.param.name); });

// 101 contacts share a 246-byte name: " (100)" no longer fits beside it, so those names are cut
// further, and every card still gets a name of its own.
TEST(ExportRunNames, ManyContactsSharingALongNameGetDistinctNamesThatFit) {
  for (const std::string piece : {"a", "\xC3\xA9"}) {
    const std::string name = Repeat(piece, 246 / static_cast<int>(piece.size()));
    ExportRunFixture run;
    run.DefaultContacts(std::vector<fakes::FakeItemSpec>(101, Contact(name)));
    run.RunExport();
    const auto paths = run.SavedPaths();
    ASSERT_EQ(paths.size(), 101u) << piece;
    EXPECT_EQ(paths[0], "/out/" + name + ".vcf");
    EXPECT_EQ(paths[1], "/out/" + name + " (2).vcf");
    const std::string cut = name.substr(0, 255 - std::string(" (100).vcf").size());
    EXPECT_EQ(paths[99],
              "/out/" + cut.substr(0, cut.size() - cut.size() % piece.size()) + " (100).vcf");
    std::set<std::string> distinct(paths.begin(), paths.end());
    EXPECT_EQ(distinct.size(), 101u);
    for (const auto& path : paths)
      EXPECT_LE(path.size() - std::string("/out/").size(), 255u) << path;
  }
}

TEST_F(ExportRunTest, PstRunExportsTheContactsOfEveryVisibleFolderDepthFirst) {
  FakeFolderSpec root{"Top"};
  root.items = {Contact("Top level"), DistList("Top list")};
  FakeFolderSpec contacts{"Contacts", "IPF.Contact"};
  contacts.items = {Contact("Anna"), DistList("Team")};
  FakeFolderSpec nested{"Friends", "IPF.Contact"};
  nested.items = {Contact("Boris")};
  contacts.subfolders = {nested};
  FakeFolderSpec hidden{"Quick Contacts", "IPF.Contact.Moc.QuickContacts", true};
  hidden.items = {Contact("Hidden")};
  FakeFolderSpec inbox{"Inbox", "IPF.Note"};
  inbox.items = {DistList("Mail"), Contact("Dragged into the inbox")};
  FakeFolderSpec inboxContacts{"Suppliers", "IPF.Contact.Custom"};
  inboxContacts.items = {Contact("Chen")};
  inbox.subfolders = {inboxContacts};
  FakeFolderSpec notContacts{"IPF.Contactless", "IPF.Contactless"};
  notContacts.items = {Contact("Other class")};
  root.subfolders = {contacts, hidden, inbox, notContacts};
  PstSource(root);

  const ExportSummary summary = RunExport();

  EXPECT_THAT(SavedPaths(), ElementsAre("/out/Top level.vcf", "/out/Anna.vcf", "/out/Boris.vcf",
                                        "/out/Dragged into the inbox.vcf", "/out/Chen.vcf",
                                        "/out/Other class.vcf"));
  EXPECT_THAT(progress.started, ElementsAre(7));
  EXPECT_EQ(summary.itemsPassedOver, 1) << "only the contacts folder's list is an item of the run";
  EXPECT_THAT(sleeper.pauses, ElementsAre(1000, 1000));
  EXPECT_THAT(outlook.calls,
              ::testing::IsSupersetOf({"ContactItems Top", "Items Contacts", "Items Friends",
                                       "ContactItems Inbox", "Items Suppliers",
                                       "ContactItems IPF.Contactless"}));
  EXPECT_THAT(outlook.calls, ::testing::Not(::testing::Contains("Items Quick Contacts")));
  EXPECT_EQ(outlook.calls.back(), "RemoveStore Top");
  EXPECT_THAT(outlook.OpenStorePaths(), ElementsAre("/profile/outlook.pst"));
}

// Container classes are compared as Outlook compares them, without regard to ASCII letter case,
// the same way the stand-in finds the default Contacts folder: a contacts folder's distribution
// lists are passed over, another folder's are not the run's items.
TEST_F(ExportRunTest, PstRunTakesContactsFoldersWhateverTheLetterCaseOfTheirClass) {
  FakeFolderSpec root{"Top"};
  FakeFolderSpec lower{"Lower", "ipf.contact"};
  lower.items = {Contact("Anna"), DistList("Lower list")};
  FakeFolderSpec custom{"Custom", "IPF.CONTACT.Custom"};
  custom.items = {Contact("Boris"), DistList("Custom list")};
  FakeFolderSpec notes{"Notes", "ipf.contactless"};
  notes.items = {DistList("Not counted")};
  root.subfolders = {lower, custom, notes};
  PstSource(root);

  const ExportSummary summary = RunExport();

  EXPECT_THAT(SavedPaths(), ElementsAre("/out/Anna.vcf", "/out/Boris.vcf"));
  EXPECT_EQ(summary.itemsPassedOver, 2);
}

// A store whose folders form a loop nests them without end; the walk stops 64 levels down and
// reports the folder whose subfolders it leaves out, once.
TEST_F(ExportRunTest, PstFoldersMoreThan64LevelsDownAreReportedOnceAndNotWalked) {
  FakeFolderSpec folder{"Level 70", "IPF.Contact"};
  folder.items = {Contact("Contact 70")};
  for (int level = 69; level >= 1; --level) {
    FakeFolderSpec parent{"Level " + std::to_string(level), "IPF.Contact"};
    parent.items = {Contact("Contact " + std::to_string(level))};
    parent.subfolders = {std::move(folder)};
    folder = std::move(parent);
  }
  FakeFolderSpec root{"Top"};
  root.subfolders = {std::move(folder)};
  PstSource(root);

  const ExportSummary summary = RunExport();

  ASSERT_EQ(SavedPaths().size(), 64u);
  EXPECT_EQ(SavedPaths().front(), "/out/Contact 1.vcf");
  EXPECT_EQ(SavedPaths().back(), "/out/Contact 64.vcf");
  EXPECT_THAT(boxes.ReportedLines(), ElementsAre(136));
  EXPECT_NE(boxes.shown.at(0).text.find("The folder \"Level 64\" lies 64 levels below the "
                                        "top-level folder; its subfolders are not searched for "
                                        "contacts."),
            std::string::npos)
      << boxes.shown.at(0).text;
  EXPECT_EQ(summary.closingMessage, "Done.");
}

TEST_F(ExportRunTest, DefaultSourceTakesTheContactsFolderAndTheFoldersBelowIt) {
  DefaultContacts({Contact("Anna")});
  FakeFolderSpec hidden = FolderOf("Old", "IPF.Contact", {Contact("Hidden")});
  hidden.hidden = true;
  outlook.defaultStore.root.subfolders[0].subfolders = {
      FolderOf("Family", "IPF.Contact", {Contact("Boris")},
               {FolderOf("Cousins", "IPF.Contact", {Contact("Chen")})}),
      hidden};
  outlook.defaultStore.root.subfolders.push_back(
      FolderOf("Clients", "IPF.Contact", {Contact("Beside Contacts")}));
  RunExport();
  EXPECT_THAT(SavedPaths(), ElementsAre("/out/Anna.vcf", "/out/Boris.vcf", "/out/Chen.vcf"));
}

TEST_F(ExportRunTest, StoreAlreadyOpenIsExportedAndLeftAttached) {
  FakeFolderSpec root{"Archive"};
  root.items = {Contact("Anna")};
  PstSource(root);
  outlook.OpenBeforeRun(kPst);

  RunExport();

  EXPECT_THAT(SavedPaths(), ElementsAre("/out/Anna.vcf"));
  EXPECT_THAT(outlook.calls,
              ::testing::Not(::testing::Contains(::testing::StartsWith("AddStore"))));
  EXPECT_THAT(outlook.calls,
              ::testing::Not(::testing::Contains(::testing::StartsWith("RemoveStore"))));
  EXPECT_THAT(outlook.OpenStorePaths(), ElementsAre("/profile/outlook.pst", kPst));
  EXPECT_THAT(sleeper.pauses, ElementsAre(1000));
}

TEST_F(ExportRunTest, AttachedStoreIsFoundByItsFileNotByPosition) {
  FakeFolderSpec root{"Archive"};
  root.items = {Contact("Anna")};
  PstSource(root);
  FakeFolderSpec other{"Other"};
  other.items = {Contact("Wrong store")};
  outlook.pstFiles["/data/other.pst"] = {"/data/other.pst", other};

  // Outlook lists the newly attached store before one opened earlier, so it is not the last.
  outlook.OpenBeforeRun("/data/other.pst");
  outlook.attachesBeforeOthers = true;
  RunExport();

  EXPECT_THAT(SavedPaths(), ElementsAre("/out/Anna.vcf"));
  EXPECT_THAT(outlook.calls, ::testing::Contains("RemoveStore Archive"));
  EXPECT_THAT(outlook.OpenStorePaths(), ElementsAre("/profile/outlook.pst", "/data/other.pst"));
}

TEST_F(ExportRunTest, FailedAttachTakesNothingAndDetachesNothing) {
  FakeFolderSpec root{"Archive"};
  root.items = {Contact("Anna")};
  PstSource(root);
  outlook.failing.insert("AddStore");

  const ExportSummary summary = RunExport();

  EXPECT_THAT(boxes.ReportedLines(), ElementsAre(130, 136));
  EXPECT_THAT(boxes.PlainTexts(), ElementsAre("No contacts found."));
  EXPECT_THAT(outlook.calls,
              ::testing::Not(::testing::Contains(::testing::StartsWith("RemoveStore"))));
  EXPECT_THAT(sleeper.pauses, ElementsAre(1000));
  EXPECT_EQ(summary.closingMessage, "No contacts found.");
}

TEST_F(ExportRunTest, FailedDetachIsReportedOnceAndDoneStillFollows) {
  FakeFolderSpec root{"Archive"};
  root.items = {Contact("Anna")};
  PstSource(root);
  outlook.failing.insert("RemoveStore");
  RunExport();
  EXPECT_THAT(boxes.ReportedLines(), ElementsAre(164));
  EXPECT_THAT(boxes.PlainTexts(), ElementsAre("Done."));
}

TEST_F(ExportRunTest, EmptyPstIsDetachedBeforeNoContactsFound) {
  PstSource({"Archive"});
  RunExport();
  EXPECT_THAT(outlook.calls, ElementsAre("CreateApplication", "CreateApplication",
                                         "GetNamespace MAPI", "AddStore /data/archive.pst",
                                         "ContactItems Archive", "RemoveStore Archive"));
  EXPECT_THAT(outlook.OpenStorePaths(), ElementsAre("/profile/outlook.pst"));
}

// Where a store keeps its contacts, and what the run makes of them: every contact gets one card,
// and cards + passed over + failures add up to the items of the folders exported.
struct FolderCase {
  std::string name;
  std::function<FakeStoreSpec()> store;
  bool includeDeleted;
  std::vector<std::string> cards;
  int passedOver;
  int inDeletedItems;
  std::string closing;
};

FakeStoreSpec StoreWithin(std::vector<FakeFolderSpec> folders, int deletedItemsIndex = -1) {
  FakeStoreSpec store{kPst, {"Top"}, deletedItemsIndex};
  store.root.subfolders = std::move(folders);
  return store;
}

FakeStoreSpec DeletedItemsStore() {
  return StoreWithin(
      {FolderOf("Contacts", "IPF.Contact", {Contact("Kept")}),
       FolderOf("Deleted Items", "IPF.Note", {Contact("Thrown away"), DistList("Old list")},
                {FolderOf("Old Contacts", "IPF.Contact", {Contact("Older"), DistList("L")})})},
      1);
}

class FolderCaseTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(FolderCaseTest, EveryContactGetsOneCard) {
  ExportRunFixture run;
  const FolderCase& c = GetParam();
  FakeStoreSpec store = c.store();
  run.PstSource(store.root);
  run.outlook.pstFiles[kPst] = store;
  ExportServices services{run.outlook, run.files,     run.boxes,       run.sleeper,
                          "Tarnvex",   &run.progress, c.includeDeleted};

  const ExportSummary summary = PushButton3_Click(run.view, services);

  std::vector<std::string> cards;
  for (const auto& card : run.outlook.saved)
    cards.push_back(card.fileAs);
  EXPECT_EQ(cards, c.cards);
  EXPECT_EQ(summary.itemsPassedOver, c.passedOver);
  EXPECT_EQ(summary.failures, 0);
  EXPECT_EQ(summary.contactsInDeletedItems, c.inDeletedItems);
  EXPECT_EQ(summary.closingMessage, c.closing);
  if (!run.progress.started.empty()) {
    EXPECT_EQ(run.progress.started[0], summary.cardsWritten + summary.itemsPassedOver);
  }
}

INSTANTIATE_TEST_SUITE_P(
    ExportRun, FolderCaseTest,
    ::testing::Values(
        FolderCase{"ClasslessFolder",
                   [] {
                     return StoreWithin({FolderOf("Contacts", "", {Contact("A"), Contact("B")})});
                   },
                   false,
                   {"A", "B"},
                   0,
                   0,
                   "Done."},
        FolderCase{"MailFolder",
                   [] {
                     return StoreWithin({FolderOf(
                         "myInbox", "IPF.Note", {DistList("mail"), Contact("A"), DistList("x")})});
                   },
                   false,
                   {"A"},
                   0,
                   0,
                   "Done."},
        FolderCase{"TopLevelFolder",
                   [] {
                     FakeStoreSpec store = StoreWithin({});
                     store.root.items = {Contact("A"), Contact("B")};
                     return store;
                   },
                   false,
                   {"A", "B"},
                   0,
                   0,
                   "Done."},
        FolderCase{"ThreeLevelsDown",
                   [] {
                     return StoreWithin({FolderOf(
                         "One", "IPF.Note", {},
                         {FolderOf("Two", "", {},
                                   {FolderOf("Three", "IPF.Contact", {Contact("Deep")})})})});
                   },
                   false,
                   {"Deep"},
                   0,
                   0,
                   "Done."},
        FolderCase{"HiddenFolder",
                   [] {
                     FakeStoreSpec store = StoreWithin(
                         {FolderOf("Contacts", "IPF.Contact", {Contact("Seen")}),
                          FolderOf("Recipient Cache", "IPF.Contact", {Contact("Cached")})});
                     store.root.subfolders[1].hidden = true;
                     return store;
                   },
                   false,
                   {"Seen"},
                   0,
                   0,
                   "Done."},
        FolderCase{"DeletedItemsLeftOut", DeletedItemsStore, false, {"Kept"}, 0, 2, "Done."},
        FolderCase{"DeletedItemsIncluded",
                   DeletedItemsStore,
                   true,
                   {"Kept", "Thrown away", "Older"},
                   1,
                   0,
                   "Done."},
        FolderCase{"OnlyInDeletedItems",
                   [] {
                     return StoreWithin({FolderOf("Deleted Items", "IPF.Note", {Contact("Gone")})},
                                        0);
                   },
                   false,
                   {},
                   0,
                   1,
                   "No contacts found."},
        FolderCase{"DistributionListsInAMailFolder",
                   [] {
                     return StoreWithin(
                         {FolderOf("Contacts", "IPF.Contact", {Contact("A"), DistList("Team")}),
                          FolderOf("Inbox", "IPF.Note", {DistList("Forwarded list")})});
                   },
                   false,
                   {"A"},
                   1,
                   0,
                   "Done."}),
    [](const auto& info) { return info.param.name; });

// A contact without a file-as text is named after the first of its other names that gives one;
// the card itself is the same.
struct FallbackCase {
  std::string name;
  fakes::FakeItemSpec contact;
  std::string path;
};

fakes::FakeItemSpec Unfiled(std::string fullName, std::string last, std::string first,
                            std::string company, std::string email) {
  fakes::FakeItemSpec item = Contact("");
  item.fullName = std::move(fullName);
  item.lastName = std::move(last);
  item.firstName = std::move(first);
  item.company = std::move(company);
  item.email1 = std::move(email);
  return item;
}

class FallbackNameTest : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(FallbackNameTest, NamesTheCardAfterTheFirstNameThatGivesOne) {
  ExportRunFixture run;
  run.DefaultContacts({GetParam().contact});
  run.RunExport();
  EXPECT_THAT(run.SavedPaths(), ElementsAre(GetParam().path));
}

INSTANTIATE_TEST_SUITE_P(
    ExportRun, FallbackNameTest,
    ::testing::Values(
        FallbackCase{"DisplayName", Unfiled("Wichert Kroos", "Kroos", "Wichert", "Acme", "w@x.nl"),
                     "/out/Wichert Kroos.vcf"},
        FallbackCase{"SurnameAndGivenName", Unfiled("", "Wright", "Sebastian", "Acme", "s@x.org"),
                     "/out/Wright, Sebastian.vcf"},
        FallbackCase{"SurnameOnly", Unfiled("", "Wright", "", "Acme", ""), "/out/Wright.vcf"},
        FallbackCase{"GivenNameOnly", Unfiled("", "", "Sebastian", "", ""), "/out/Sebastian.vcf"},
        FallbackCase{"CompanyOnly", Unfiled("", "", "", "Acme: Tools", ""), "/out/Acme Tools.vcf"},
        FallbackCase{"EmailOnly", Unfiled("", "", "", "", "anna@example.com"),
                     "/out/anna@example.com.vcf"},
        FallbackCase{"DisplayNameOfRemovedCharacters", Unfiled("/?*", "", "", "Acme", ""),
                     "/out/Acme.vcf"},
        FallbackCase{"Nothing", Unfiled("", "", "", "", ""), "/out/(no name).vcf"},
        FallbackCase{"FileAsOfRemovedCharacters",
                     [] {
                       fakes::FakeItemSpec item = Unfiled("Anna Berg", "", "", "", "");
                       item.fileAs = "\"<>|";
                       return item;
                     }(),
                     "/out/Anna Berg.vcf"},
        FallbackCase{"FallbackIsADeviceName", Unfiled("", "", "", "Aux", ""), "/out/Aux_.vcf"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ExportRunTest, ContactsFallingBackToOneNameAreNumbered) {
  DefaultContacts({Unfiled("Sam Lee", "", "", "", ""), Contact("Sam Lee"),
                   Unfiled("Sam Lee", "Lee", "Sam", "", "")});
  RunExport();
  EXPECT_THAT(SavedPaths(),
              ElementsAre("/out/Sam Lee.vcf", "/out/Sam Lee (2).vcf", "/out/Sam Lee (3).vcf"));
}

TEST_F(ExportRunTest, ContactsWithAFileAsTextAreNotAskedForOtherNames) {
  DefaultContacts({Contact("Anna"), Contact("Boris")});
  RunExport();
  for (const std::string& call : outlook.calls) {
    EXPECT_FALSE(call.starts_with("FullName") || call.starts_with("LastName") ||
                 call.starts_with("CompanyName") || call.starts_with("Email1Address"))
        << call;
  }
}

}  // namespace
}  // namespace tarnvex
