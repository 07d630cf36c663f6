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

TEST_F(ExportRunTest, DefaultContactsAreSavedAsCardsNamedByFileAs) {
  DefaultContacts({Contact("Smith, Anna"), DistList("Team"), Contact("O'Brien: Sean?")});

  const ExportSummary summary = RunExport();

  EXPECT_THAT(outlook.calls,
              ElementsAre("CreateApplication", "CreateApplication", "GetNamespace MAPI",
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
                      EarlyEnd{"ContactsInPstSubfolderOfMailClass",
                               [](ExportRunFixture& t) {
                                 FakeFolderSpec root{"Top"};
                                 FakeFolderSpec inbox{"Inbox", "IPF.Note"};
                                 inbox.items = {Contact("In the inbox")};
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

TEST_F(ExportRunTest, PstRunExportsTopFolderAndEveryVisibleContactsFolderDepthFirst) {
  FakeFolderSpec root{"Top"};
  root.items = {Contact("Top level")};
  FakeFolderSpec contacts{"Contacts", "IPF.Contact"};
  contacts.items = {Contact("Anna"), DistList("Team")};
  FakeFolderSpec nested{"Friends", "IPF.Contact"};
  nested.items = {Contact("Boris")};
  contacts.subfolders = {nested};
  FakeFolderSpec hidden{"Quick Contacts", "IPF.Contact.Moc.QuickContacts", true};
  hidden.items = {Contact("Hidden")};
  FakeFolderSpec inbox{"Inbox", "IPF.Note"};
  FakeFolderSpec inboxContacts{"Suppliers", "IPF.Contact.Custom"};
  inboxContacts.items = {Contact("Chen")};
  inbox.subfolders = {inboxContacts};
  FakeFolderSpec notContacts{"IPF.Contactless", "IPF.Contactless"};
  notContacts.items = {Contact("Wrong class")};
  root.subfolders = {contacts, hidden, inbox, notContacts};
  PstSource(root);

  const ExportSummary summary = RunExport();

  EXPECT_THAT(SavedPaths(), ElementsAre("/out/Top level.vcf", "/out/Anna.vcf", "/out/Boris.vcf",
                                        "/out/Chen.vcf"));
  EXPECT_THAT(progress.started, ElementsAre(5));
  EXPECT_EQ(summary.itemsPassedOver, 1);
  EXPECT_THAT(sleeper.pauses, ElementsAre(1000, 1000));
  EXPECT_THAT(outlook.calls,
              ElementsAre("CreateApplication", "CreateApplication", "GetNamespace MAPI",
                          "AddStore /data/archive.pst", "SaveAs /out/Top level.vcf 6",
                          "SaveAs /out/Anna.vcf 6", "SaveAs /out/Boris.vcf 6",
                          "SaveAs /out/Chen.vcf 6", "RemoveStore Top"));
  EXPECT_THAT(outlook.OpenStorePaths(), ElementsAre("/profile/outlook.pst"));
}

// Container classes are compared as Outlook compares them, without regard to ASCII letter case,
// the same way the stand-in finds the default Contacts folder.
TEST_F(ExportRunTest, PstRunTakesContactsFoldersWhateverTheLetterCaseOfTheirClass) {
  FakeFolderSpec root{"Top"};
  FakeFolderSpec lower{"Lower", "ipf.contact"};
  lower.items = {Contact("Anna")};
  FakeFolderSpec custom{"Custom", "IPF.CONTACT.Custom"};
  custom.items = {Contact("Boris")};
  FakeFolderSpec notes{"Notes", "ipf.contactless"};
  notes.items = {Contact("Wrong class")};
  root.subfolders = {lower, custom, notes};
  PstSource(root);

  RunExport();

  EXPECT_THAT(SavedPaths(), ElementsAre("/out/Anna.vcf", "/out/Boris.vcf"));
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

TEST_F(ExportRunTest, DefaultSourceIsTheContactsFolderAlone) {
  DefaultContacts({Contact("Anna")});
  FakeFolderSpec nested{"Friends", "IPF.Contact"};
  nested.items = {Contact("Boris")};
  outlook.defaultStore.root.subfolders[0].subfolders = {nested};
  RunExport();
  EXPECT_THAT(SavedPaths(), ElementsAre("/out/Anna.vcf"));
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
  EXPECT_THAT(outlook.calls,
              ElementsAre("CreateApplication", "CreateApplication", "GetNamespace MAPI",
                          "AddStore /data/archive.pst", "RemoveStore Archive"));
  EXPECT_THAT(outlook.OpenStorePaths(), ElementsAre("/profile/outlook.pst"));
}

}  // namespace
}  // namespace tarnvex
