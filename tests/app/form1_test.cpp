// The window's handlers over fakes: start-up, the remembered values, appearance, the hover rule,
// the folder browser, the PST picker and the help text.
#include "app/form1.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/appearance.h"
#include "app/start_up.h"
#include "dialogs/add_folder.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_outlook.h"
#include "tests/fakes/fake_ui.h"
#include "tests/fakes/fake_window.h"

namespace tarnvex {
namespace {

using fakes::FakeSettingsStore;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kSkin = "/opt/tarnvex/x/o.cjs";
constexpr const char* kCursor = "/opt/tarnvex/HAND-M.CUR";

class Form1Test : public ::testing::Test {
 protected:
  Form1Test() { window.events = &form; }

  std::vector<int> Lines() const { return boxes.ReportedLines(); }
  std::vector<std::string> ReportTags() const {
    std::vector<std::string> tags;
    for (const auto& box : boxes.shown) {
      if (box.icon != MessageIcon::kWarning)
        continue;
      const auto from = box.text.find("\r\n") + 2;
      tags.push_back(box.text.substr(from, box.text.find("at line ") - from));
    }
    return tags;
  }

  fakes::FakeForm1 window;
  fakes::FakeSkinEngine skin;
  fakes::FakeFileOpenDialog openDialog;
  fakes::FakeFolderBrowser browser;
  FakeSettingsStore settings;
  fakes::FakeFileSystem files;
  fakes::FakeShell shell;
  fakes::RecordingMessageBoxes boxes;
  fakes::FakeProcessStarter processes;
  fakes::FakeClock clock;
  fakes::FakeRandom random;
  fakes::FakeOutlook outlook;
  fakes::RecordingProgram program;
  fakes::RecordingSleeper sleeper;
  Form1 form{{window, window, skin, openDialog, browser, settings, files, shell, boxes, processes,
              clock, random, outlook, program, sleeper}};
};

// --- start-up -----------------------------------------------------------------------------

TEST_F(Form1Test, FirstStartRestoresDefaultsAndStoresThem) {
  form.Form_Load();
  EXPECT_EQ(window.caption, "Tarnvex Card Exporter");
  EXPECT_EQ(window.iconsSet, 1);
  EXPECT_EQ(window.appTitle, "Tarnvex Card");
  EXPECT_EQ(window.text2, "");
  EXPECT_EQ(window.text3, "/home/ann/Desktop/");
  EXPECT_TRUE(window.option1);
  EXPECT_FALSE(window.option2);
  EXPECT_EQ(settings.Value("Output Folder"), "/home/ann/Desktop/");
  EXPECT_EQ(settings.Value("Option1"), "True");
  EXPECT_EQ(settings.Value("Option2"), "False");
  // An empty text box set to empty text does not change, so nothing is stored for it.
  EXPECT_EQ(settings.Value("PST File"), std::nullopt);
  EXPECT_THAT(boxes.shown, IsEmpty());
  EXPECT_EQ(program.ended, 0);
  EXPECT_THAT(skin.calls, IsEmpty());
  EXPECT_EQ(window.backColor, kOleWhite);
  EXPECT_EQ(window.customPointer, std::nullopt);
  EXPECT_THAT(processes.started, IsEmpty());
}

struct OptionCase {
  const char* name;
  std::optional<std::string> stored1, stored2;
  bool option1, option2;
  std::vector<int> lines;
  std::optional<std::string> after1, after2;
};

class OptionRestore : public Form1Test, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(OptionRestore, SelectsByTheStoredTruthValues) {
  const OptionCase& c = GetParam();
  if (c.stored1)
    settings.Put("Option1", *c.stored1);
  if (c.stored2)
    settings.Put("Option2", *c.stored2);
  form.Form_Load();
  EXPECT_EQ(window.option1, c.option1);
  EXPECT_EQ(window.option2, c.option2);
  EXPECT_EQ(Lines(), c.lines);
  EXPECT_EQ(settings.Value("Option1"), c.after1);
  EXPECT_EQ(settings.Value("Option2"), c.after2);
}

INSTANTIATE_TEST_SUITE_P(
    Form1, OptionRestore,
    ::testing::Values(
        OptionCase{"Absent", {}, {}, true, false, {}, "True", "False"},
        OptionCase{"FalseTrue", "False", "True", false, true, {}, "False", "True"},
        OptionCase{"BothTrue", "True", "True", false, true, {}, "False", "True"},
        OptionCase{"BothFalse", "False", "False", false, false, {}, "False", "False"},
        OptionCase{"AnyCase", "tRUE", "FALSE", true, false, {}, "True", "False"},
        OptionCase{"Numbers", "-1", "0", true, false, {}, "True", "False"},
        OptionCase{"NumberSelectsTwo", "0", "1", false, true, {}, "False", "True"},
        OptionCase{"YesInOption1", "yes", {}, true, false, {132}, "yes", std::nullopt},
        OptionCase{"WordInOption2", "True", "maybe", true, false, {134}, "True", "False"},
        OptionCase{"EmptyOption1", "", "0", true, false, {132}, "", "0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Form1Test, StoredTextsComeBackExactlyAndAreStoredAgain) {
  settings.Put("PST File", "  /data/my file.pst  ");
  settings.Put("Output Folder", "/srv/cards/ ");
  form.Form_Load();
  EXPECT_EQ(window.text2, "  /data/my file.pst  ");
  EXPECT_EQ(window.text3, "/srv/cards/ ");
  EXPECT_THAT(settings.WritesOf("PST File"), ElementsAre("  /data/my file.pst  "));
  EXPECT_THAT(settings.WritesOf("Output Folder"), ElementsAre("/srv/cards/ "));
}

TEST_F(Form1Test, EmptyStoredOutputFolderStaysEmpty) {
  settings.Put("Output Folder", "");
  form.Form_Load();
  EXPECT_EQ(window.text3, "");
  EXPECT_THAT(settings.WritesOf("Output Folder"), IsEmpty());
}

TEST_F(Form1Test, MissingDesktopFailsTheOutputFolderStepAsAWhole) {
  shell.desktop = "";
  settings.Put("Output Folder", "/srv/cards/");
  form.Form_Load();
  EXPECT_THAT(Lines(), ElementsAre(130));
  EXPECT_EQ(window.text3, "");
  EXPECT_TRUE(window.option1);
  EXPECT_EQ(window.caption, "Tarnvex Card Exporter");
}

struct StartUpFailure {
  const char* name;
  std::vector<std::string> failingWindowCalls;
  std::string failingSkinCall;
  std::vector<int> lines;
};

class StartUpFailures : public Form1Test, public ::testing::WithParamInterface<StartUpFailure> {};

TEST_P(StartUpFailures, AreReportedWithTheirLinesAndStartUpGoesOn) {
  const StartUpFailure& c = GetParam();
  files.files = {kSkin, kCursor};
  for (const auto& call : c.failingWindowCalls)
    window.failing.insert(call);
  skin.failing = c.failingSkinCall;
  settings.Put("Option2", "True");
  form.Form_Load();
  EXPECT_EQ(Lines(), c.lines);
  for (const auto& tag : ReportTags())
    EXPECT_EQ(tag, "in Brismolt2021/08/31.Form1.Form_Load ");
  // The restores after the failures still ran.
  EXPECT_TRUE(window.option2);
  if (!window.failing.contains("SetText3")) {
    EXPECT_EQ(window.text3, "/home/ann/Desktop/");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Form1, StartUpFailures,
    ::testing::Values(StartUpFailure{"SkinLoad", {}, "Invoke 2 /opt/tarnvex/x/o.cjs|", {100}},
                      StartUpFailure{"SkinApply", {}, "Invoke 3 4242", {100}},
                      StartUpFailure{"WindowHandle", {"WindowHandle"}, "", {100}},
                      StartUpFailure{"Caption", {"SetCaption"}, "", {104}},
                      StartUpFailure{"Icon", {"SetApplicationIcon"}, "", {104}},
                      StartUpFailure{"CaptionIconAndTitle",
                                     {"SetCaption", "SetApplicationIcon", "SetAppTitle"},
                                     "",
                                     {104, 104, 104}},
                      StartUpFailure{"Cursor", {"LoadCustomPointer"}, "", {108}},
                      // Without the program folder the skin step fails, the cursor test counts as
                      // passed and the cursor load fails in turn.
                      StartUpFailure{"ProgramFolder", {"ProgramFolder"}, "", {100, 106, 108}},
                      StartUpFailure{"RestorePst", {"SetText2"}, "", {128}},
                      StartUpFailure{"RestoreOutputFolder", {"SetText3"}, "", {130}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Form1Test, SkinFailureKeepsTheColoursAndTheRestOfStartUp) {
  files.files = {kSkin};
  skin.failing = "Invoke 2 /opt/tarnvex/x/o.cjs|";
  form.Form_Load();
  EXPECT_THAT(Lines(), ElementsAre(100));
  EXPECT_EQ(window.backColor, kOleButtonFace);
  EXPECT_EQ(window.controlColours.size(), 4u);
  EXPECT_THAT(skin.calls, ElementsAre("Invoke 2 /opt/tarnvex/x/o.cjs|"));
  EXPECT_EQ(window.appTitle, "Tarnvex Card");
  EXPECT_EQ(window.text3, "/home/ann/Desktop/");
}

TEST_F(Form1Test, SettingsThatCannotBeReadAreReportedPerStep) {
  settings.failingReads = {"PST File", "Option1", "Option2"};
  settings.Put("PST File", "/x.pst");
  form.Form_Load();
  EXPECT_THAT(Lines(), ElementsAre(128, 132, 134));
  EXPECT_EQ(window.text2, "");
  EXPECT_TRUE(window.option1);
  EXPECT_EQ(program.ended, 0);
}

TEST_F(Form1Test, UnavailableOutlookEndsTheProgramAfterTheRestores) {
  outlook.failing.insert("CreateApplication");
  form.Form_Load();
  EXPECT_EQ(program.ended, 1);
  ASSERT_EQ(boxes.PlainTexts().size(), 1u);
  EXPECT_EQ(boxes.PlainTexts()[0].rfind("Error 6631.", 0), 0u);
  EXPECT_EQ(boxes.shown[0].caption, "Tarnvex Card");
  EXPECT_EQ(settings.Value("Output Folder"), "/home/ann/Desktop/");
}

TEST_F(Form1Test, HandCursorLoadsOnlyWhenItsFileExists) {
  form.Form_Load();
  EXPECT_EQ(window.customPointer, std::nullopt);
  files.files = {kCursor};
  form.Form_Load();
  EXPECT_EQ(window.customPointer, kCursor);
  EXPECT_THAT(boxes.shown, IsEmpty());
}

struct HomePageCase {
  double r;
  bool started;
};

class HomePage : public Form1Test, public ::testing::WithParamInterface<HomePageCase> {};

TEST_P(HomePage, OpensOnlyWhenSevenIsDrawn) {
  random.next = GetParam().r;
  clock.seconds = 45296.25;
  form.Form_Load();
  EXPECT_THAT(random.seeds, ElementsAre(45296.25));
  if (GetParam().started) {
    ASSERT_EQ(processes.started.size(), 1u);
    EXPECT_EQ(processes.started[0].first, "explorer \"https://tarnvex.example/\"");
    EXPECT_EQ(processes.started[0].second, WindowState::kMinimizedFocus);
  } else {
    EXPECT_THAT(processes.started, IsEmpty());
  }
  EXPECT_EQ(window.text3, "/home/ann/Desktop/");
}

INSTANTIATE_TEST_SUITE_P(Form1, HomePage,
                         ::testing::Values(HomePageCase{0.06, true}, HomePageCase{0.0699, true},
                                           HomePageCase{0.0599, false}, HomePageCase{0.07, false},
                                           HomePageCase{0.0, false}, HomePageCase{0.9999, false}));

TEST_F(Form1Test, FailedHomePageStartIsReportedWithLine110) {
  random.next = 0.065;
  processes.fail = true;
  form.Form_Load();
  EXPECT_THAT(Lines(), ElementsAre(110));
  EXPECT_EQ(window.text3, "/home/ann/Desktop/");
}

// --- pieces of start-up ---------------------------------------------------------------------

TEST(AppTitleFrom, DropsWordsFromTheEnd) {
  EXPECT_EQ(AppTitleFrom("Tarnvex Card Exporter"), "Tarnvex Card");
  const std::string sixty = "ab cd ef gh ij kl mn op qr st uv wx yz AB CD EF GH IJ KL MN";
  ASSERT_EQ(sixty.size(), 59u);
  EXPECT_EQ(AppTitleFrom(sixty), "ab cd ef gh ij kl mn op qr st uv wx yz");
  EXPECT_EQ(AppTitleFrom(" Tarnvex"), "");
  EXPECT_EQ(AppTitleFrom("a b"), "a");
}

TEST(AppTitleFrom, FailsWithoutASpaceToCutAt) {
  EXPECT_THROW(AppTitleFrom("Tarnvex"), Failure);
  EXPECT_THROW(AppTitleFrom(std::string(60, 'x')), Failure);
  // Short enough only after cutting into a first word that is itself too long.
  EXPECT_THROW(AppTitleFrom(std::string(45, 'x') + " y"), Failure);
}

TEST(ReadTruthValue, AcceptsWordsInAnyCaseAndNumbers) {
  for (const char* yes : {"True", "TRUE", "true", "1", "-1", "2.5", " 1 ", "1e3"}) {
    EXPECT_TRUE(ReadTruthValue(yes)) << yes;
  }
  for (const char* no : {"False", "fAlSe", "0", "0.0", "-0"})
    EXPECT_FALSE(ReadTruthValue(no)) << no;
  for (const char* bad : {"yes", "", "Truee", "1x", "nan", "inf", "on"}) {
    EXPECT_THROW(ReadTruthValue(bad), Failure) << bad;
  }
}

// --- appearance -----------------------------------------------------------------------------

struct SkinOptionsCase {
  DispatchValue read;
  const char* written;
};

class SkinOptions : public Form1Test, public ::testing::WithParamInterface<SkinOptionsCase> {};

TEST_P(SkinOptions, RunsTheSixOperationsInOrder) {
  files.files = {kSkin};
  skin.options = GetParam().read;
  ApplyAppearance(window, files, skin);
  EXPECT_THAT(skin.calls, ElementsAre("Invoke 2 /opt/tarnvex/x/o.cjs|", "Get 1",
                                      std::string("Set 1 ") + GetParam().written, "Set 5 true",
                                      "Set 10 true", "Invoke 3 4242"));
}

INSTANTIATE_TEST_SUITE_P(Form1, SkinOptions,
                         ::testing::Values(SkinOptionsCase{int32_t{6}, "7"},
                                           SkinOptionsCase{int32_t{7}, "7"},
                                           SkinOptionsCase{int32_t{0}, "1"},
                                           SkinOptionsCase{std::string("6"), "7"},
                                           SkinOptionsCase{false, "1"}));

TEST_F(Form1Test, SkinRecoloursFramesAndOptionsOnly) {
  files.files = {kSkin};
  ApplyAppearance(window, files, skin);
  EXPECT_EQ(window.backColor, kOleButtonFace);
  EXPECT_EQ(window.controlColours, (std::map<std::string, uint32_t>{{"Frame1", kOleButtonFace},
                                                                    {"Frame2", kOleButtonFace},
                                                                    {"Option1", kOleButtonFace},
                                                                    {"Option2", kOleButtonFace}}));
}

TEST_F(Form1Test, NoSkinFileMeansNoEngineCallAndNoColour) {
  files.files = {"/opt/tarnvex/x/other.cjs"};  // a hidden o.cjs is not listed either
  ApplyAppearance(window, files, skin);
  EXPECT_THAT(skin.calls, IsEmpty());
  EXPECT_EQ(window.backColor, kOleWhite);
  EXPECT_THAT(window.controlColours, IsEmpty());
}

TEST_F(Form1Test, ProgramFilesDoNotDoubleARootSeparator) {
  window.programFolder = "/";
  EXPECT_EQ(SkinFilePath(window, files), "/x/o.cjs");
  EXPECT_EQ(HandCursorPath(window, files), "/HAND-M.CUR");
}

struct HoverCase {
  PointerMode before;
  bool overButton;
  PointerMode after;
};

class Hover : public Form1Test, public ::testing::WithParamInterface<HoverCase> {};

TEST_P(Hover, FollowsTheRuleAndNeverOverridesBusy) {
  window.pointer = GetParam().before;
  if (GetParam().overButton) {
    form.PushButton_MouseMove();
  } else {
    form.Background_MouseMove();
  }
  EXPECT_EQ(window.pointer, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Form1, Hover,
    ::testing::Values(HoverCase{PointerMode::kDefault, true, PointerMode::kCustom},
                      HoverCase{PointerMode::kCustom, true, PointerMode::kCustom},
                      HoverCase{PointerMode::kBusy, true, PointerMode::kBusy},
                      HoverCase{PointerMode::kCustom, false, PointerMode::kDefault},
                      HoverCase{PointerMode::kDefault, false, PointerMode::kDefault},
                      HoverCase{PointerMode::kBusy, false, PointerMode::kBusy}));

// --- remembered values ----------------------------------------------------------------------

TEST_F(Form1Test, OptionClicksWriteBothKeys) {
  window.Click(2);
  window.Click(1);
  EXPECT_EQ(
      settings.writes,
      (std::vector<std::pair<std::string, std::string>>{
          {"Option1", "False"}, {"Option2", "True"}, {"Option1", "True"}, {"Option2", "False"}}));
}

TEST_F(Form1Test, EveryChangeOfATextIsWrittenWhole) {
  for (const std::string text : {"/", "/d", "/d ", "/d"}) {
    window.Type(window.text2, text, &Form1Events::Text2_Change);
  }
  window.Type(window.text3, "/out", &Form1Events::Text3_Change);
  window.Type(window.text3, "", &Form1Events::Text3_Change);
  EXPECT_THAT(settings.WritesOf("PST File"), ElementsAre("/", "/d", "/d ", "/d"));
  EXPECT_THAT(settings.WritesOf("Output Folder"), ElementsAre("/out", ""));
  EXPECT_EQ(settings.Value("Output Folder"), "");
}

TEST_F(Form1Test, AFailingWriteIsShownOnceUntilTheKeyCanBeWrittenAgain) {
  settings.failingWrites = {"PST File"};
  for (const std::string text : {"a", "ab", "abc"}) {
    window.Type(window.text2, text, &Form1Events::Text2_Change);
  }
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Cannot save PST File");
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kWarning);
  settings.failingWrites.clear();
  window.Type(window.text2, "abcd", &Form1Events::Text2_Change);
  settings.failingWrites = {"PST File"};
  window.Type(window.text2, "abcde", &Form1Events::Text2_Change);
  EXPECT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(window.text2, "abcde");
}

// --- output folder browser ------------------------------------------------------------------

TEST_F(Form1Test, BrowserCancelChangesNothing) {
  settings.Put("LastFolderDot", "/home/ann/out");
  window.text3 = "/typed/";
  browser.answer = std::nullopt;
  form.PushButton2_Click();
  EXPECT_THAT(boxes.shown, IsEmpty());
  EXPECT_EQ(window.text3, "/typed/");
  EXPECT_THAT(settings.writes, IsEmpty());
  ASSERT_EQ(browser.requests.size(), 1u);
  EXPECT_EQ(browser.requests[0].title, "Please select folder:");
  EXPECT_EQ(browser.requests[0].flags, kBifReturnOnlyFsDirs);
  EXPECT_EQ(browser.requests[0].owner, 4242);
  EXPECT_EQ(form.RememberedFolder(), "/home/ann/out");
}

struct ChosenFolder {
  const char* chosen;
  const char* text3;
};

class BrowserChoice : public Form1Test, public ::testing::WithParamInterface<ChosenFolder> {};

TEST_P(BrowserChoice, IsRememberedAndEndsInOneSeparator) {
  browser.answer = GetParam().chosen;
  form.PushButton2_Click();
  EXPECT_EQ(settings.Value("LastFolderDot"), GetParam().chosen);
  EXPECT_EQ(window.text3, GetParam().text3);
  EXPECT_EQ(settings.Value("Output Folder"), GetParam().text3);
  EXPECT_EQ(form.RememberedFolder(), GetParam().chosen);
  EXPECT_THAT(boxes.shown, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Form1, BrowserChoice,
                         ::testing::Values(ChosenFolder{"/home/ann/out", "/home/ann/out/"},
                                           ChosenFolder{"/", "/"},
                                           ChosenFolder{"/srv/a b", "/srv/a b/"}));

TEST_F(Form1Test, BrowserOpensAtTheLastChosenFolderNotAtTheTypedOne) {
  browser.answer = "/home/ann/out";
  form.PushButton2_Click();
  window.Type(window.text3, "/elsewhere/", &Form1Events::Text3_Change);
  browser.answer = std::nullopt;
  form.PushButton2_Click();
  ASSERT_EQ(browser.sent.size(), 2u);
  EXPECT_EQ(browser.sent[0], std::make_tuple(kBffmSetSelection, 1, std::string()));
  EXPECT_EQ(browser.sent[1], std::make_tuple(kBffmSetSelection, 1, std::string("/home/ann/out")));
  EXPECT_EQ(settings.Value("LastFolderDot"), "/home/ann/out");
}

TEST_F(Form1Test, ChoosingTheShownFolderAgainStillWritesTheLastFolder) {
  browser.answer = "/home/ann/out";
  form.PushButton2_Click();
  form.PushButton2_Click();
  EXPECT_THAT(settings.WritesOf("LastFolderDot"), ElementsAre("/home/ann/out", "/home/ann/out"));
  EXPECT_EQ(window.text3, "/home/ann/out/");
}

TEST_F(Form1Test, BrowserCallbackShowsEachSelectedPathAsStatus) {
  settings.Put("LastFolderDot", "/srv");
  browser.selections = {std::string("/srv"), std::nullopt, std::string("/srv/cards")};
  form.PushButton2_Click();
  EXPECT_EQ(browser.sent, (std::vector<std::tuple<uint32_t, int32_t, std::string>>{
                              {kBffmSetSelection, 1, "/srv"},
                              {kBffmSetStatusText, 0, "/srv"},
                              {kBffmSetStatusText, 0, "/srv/cards"}}));
  EXPECT_EQ(browser.callbackResults, 0);
}

TEST_F(Form1Test, BrowserFailuresAreReportedWithTheirLines) {
  // Reading the last folder fails: the browser still opens with the folder remembered before.
  browser.answer = "/a";
  form.PushButton2_Click();
  settings.failingReads = {"LastFolderDot"};
  settings.Put("LastFolderDot", "/elsewhere");
  browser.answer = std::nullopt;
  form.PushButton2_Click();
  EXPECT_THAT(Lines(), ElementsAre(100));
  EXPECT_EQ(std::get<2>(browser.sent.back()), "/a");
  for (const auto& tag : ReportTags()) {
    EXPECT_EQ(tag, "in Brismolt2021/08/31.Form1.PushButton2_Click ");
  }

  // No window handle: nothing is shown and nothing changes.
  boxes.shown.clear();
  settings.failingReads.clear();
  window.failing = {"WindowHandle"};
  browser.answer = "/b";
  const auto requests = browser.requests.size();
  form.PushButton2_Click();
  EXPECT_THAT(Lines(), ElementsAre(100));
  EXPECT_EQ(browser.requests.size(), requests);
  EXPECT_EQ(window.text3, "/a/");

  // The last folder cannot be written: Text3 is set all the same.
  boxes.shown.clear();
  window.failing.clear();
  settings.failingWrites = {"LastFolderDot"};
  form.PushButton2_Click();
  EXPECT_THAT(Lines(), ElementsAre(104));
  EXPECT_EQ(window.text3, "/b/");
  EXPECT_EQ(form.RememberedFolder(), "/b");

  // Text3 cannot be set.
  boxes.shown.clear();
  settings.failingWrites.clear();
  window.failing = {"SetText3"};
  browser.answer = "/";
  form.PushButton2_Click();
  EXPECT_THAT(Lines(), ElementsAre(108));
  browser.answer = "/c";
  form.PushButton2_Click();
  EXPECT_THAT(Lines(), ElementsAre(108, 106));

  // The browser cannot be shown.
  boxes.shown.clear();
  window.failing.clear();
  browser.fail = true;
  form.PushButton2_Click();
  EXPECT_THAT(Lines(), ElementsAre(100));
  EXPECT_EQ(window.text3, "/b/");
}

TEST(BrowseForFolder, TakesThePathUpToItsFirstNul) {
  fakes::FakeFolderBrowser browser;
  browser.answer = std::string("/srv/cards\0junk", 15);
  EXPECT_EQ(BrowseForFolder(browser, 1, kBrowsePrompt, "/srv"), "/srv/cards");
  browser.answer = "";
  EXPECT_EQ(BrowseForFolder(browser, 1, kBrowsePrompt, "/srv"), "");
}

// --- PST picker and help ----------------------------------------------------------------------

TEST_F(Form1Test, PickerSetsTitleFilterAndAnEmptyNameThenTakesThePick) {
  openDialog.pick = "/data/mail.pst";
  form.PushButton8_Click();
  EXPECT_THAT(openDialog.calls,
              ElementsAre("SetFileName", "SetDialogTitle", "SetFilter", "ShowOpen:"));
  EXPECT_EQ(openDialog.title, "Select PST File");
  EXPECT_EQ(openDialog.filter, "All PST Files (*.pst)|*.pst|");
  EXPECT_EQ(window.text2, "/data/mail.pst");
  EXPECT_EQ(settings.Value("PST File"), "/data/mail.pst");
  // The source choice stays.
  EXPECT_TRUE(window.option1);
  EXPECT_FALSE(window.option2);
  EXPECT_THAT(boxes.shown, IsEmpty());
}

TEST_F(Form1Test, PickerCancelChangesNothing) {
  window.text2 = "/kept.pst";
  openDialog.pick = std::nullopt;
  form.PushButton8_Click();
  EXPECT_EQ(window.text2, "/kept.pst");
  EXPECT_THAT(settings.writes, IsEmpty());
  EXPECT_THAT(boxes.shown, IsEmpty());
}

TEST_F(Form1Test, PickerFailuresAreReportedWithTheirLines) {
  openDialog.failing = {"SetFileName", "SetFilter", "ShowOpen"};
  form.PushButton8_Click();
  // The name could not be cleared and the dialog not shown: the old name is taken.
  EXPECT_THAT(Lines(), ElementsAre(100, 104, 106));
  EXPECT_EQ(window.text2, "/previous/pick.pst");
  for (const auto& tag : ReportTags()) {
    EXPECT_EQ(tag, "in Brismolt2021/08/31.Form1.PushButton8_Click ");
  }
}

TEST_F(Form1Test, HelpShowsTheFiveParagraphs) {
  window.appTitle = "Tarnvex Card";
  form.PushButton7_Click();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text,
            "If you are getting a query message that says\r\n\r\n"
            "\"Allow access for x minutes Yes No Help\"\r\n\r\n"
            "You may want to deactivate it so that my software can work with Outlook for a "
            "longer period of time.\r\n\r\n"
            "To deactivate this query message, look for an option resembling:\r\n\r\n"
            "Outlook > Tools > Trust Center > Allow programmatic access");
  EXPECT_EQ(boxes.shown[0].caption, "Tarnvex Card");
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kNone);
}

TEST_F(Form1Test, StartExportingHandsOverToTheExportRun) {
  window.appTitle = "Tarnvex Card";
  window.text3 = "/nowhere/";
  form.PushButton3_Click();
  ASSERT_FALSE(boxes.PlainTexts().empty());
  EXPECT_EQ(boxes.PlainTexts().back(), "Folder does not exist. Please select another folder.");
  EXPECT_EQ(boxes.shown.back().caption, "Tarnvex Card");
}

}  // namespace
}  // namespace tarnvex
