// The program driving "Outlook.Application" through real late-bound COM, with the test
// automation server in Outlook's place, out of process as Outlook is (in process where a test
// says so): tarnvex-export.exe end to end on stores written by the Linux build's tarnvex-pstgen,
// and the export run and the start-up check in this process over the COM client, for the exact
// reports and their lines when a chosen call fails.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "export/export_run.h"
#include "export/is_installed.h"
#include "platform/failure.h"
#include "platform/win32/com_outlook.h"
#include "platform/win32/win32_file_system.h"
#include "tests/cli/golden_cards_win32.h"
#include "tests/cli/program_runner_win32.h"
#include "tests/fakes/fake_ui.h"
#include "tests/golden/fixture_names.h"
#include "tests/outlook_server/registration.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex {
namespace {

using cli::ExpectGoldenCards;
using cli::Ran;
using cli::WindowsPath;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::Names;
using testing::ReadBytes;
using testing::Sandbox;
using ::testing::StartsWith;
using testing::Wide;
using testing::WriteBytes;
namespace server = test_outlook;

const std::string kStores = WindowsPath(TARNVEX_TEST_STORES);

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring self(path, length);
  return self.substr(0, self.find_last_of(L"\\/") + 1);
}

void SetSetting(const wchar_t* name, const std::string& value) {
  ASSERT_EQ(server::SetText(HKEY_CURRENT_USER, server::kSettingsKey, name, Wide(value)), 0);
}

void SetSetting(const wchar_t* name, DWORD value) {
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, server::kSettingsKey, name, REG_DWORD, &value,
                              sizeof value),
            0);
}

std::string Report(const std::string& description, int line) {
  return description + "\r\nin Brismolt2021/08/31.Form1.PushButton3_Click at line " +
         std::to_string(line) + "\r\rPlease email screenshot of this message to ";
}

// FormatMessage's text for the code, without its closing period and line break.
std::string SystemText(HRESULT code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                           text.back() == L'.'))
    text.pop_back();
  return testing::Utf8(text);
}

// Each test registers the server afresh, with a profile of its own and a call log; the settings
// and the registration go again at its end.
class OutlookComTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, server::kSettingsKey);
    ASSERT_TRUE(server::Register(server::Mode::kLocal, OwnFolder()));
    SetSetting(L"Profile", profileFolder_ / "profile.ini");
    SetSetting(L"CallLog", logFolder_ / "calls.log");
  }
  void TearDown() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, server::kSettingsKey);
    server::Unregister();
  }

  // The default store of the server's profile.
  void DefaultStore(const std::string& fixture) {
    WriteBytes(profileFolder_ / "profile.ini",
               "[Profile]\r\nDefaultStore=" + kStores + "\\" + fixture + ".pst\r\n");
  }

  // The calls the server received, one "Invoke Class.Member" (or "GetIDsOfNames ...",
  // "QueryInterface ...") each, in order.
  std::vector<std::string> Calls() {
    std::vector<std::string> calls;
    const std::string log = ReadBytes(logFolder_ / "calls.log").value_or("");
    for (std::size_t start = 0; start < log.size();) {
      const std::size_t end = log.find('\n', start);
      calls.push_back(log.substr(start, end - start));
      start = end + 1;
    }
    return calls;
  }
  int CountOf(const std::string& call) {
    const auto calls = Calls();
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }

  // One run, given time for the out-of-process calls on a loaded machine: a run ended half
  // way would leave the server waiting for its client.
  Ran Export(const std::string& source, const std::string& out) {
    std::optional<Ran> ran =
        cli::RunProgramOnce(Wide(source) + L" --out \"" + Wide(out) + L"\" --quiet", 200000);
    if (!ran) {
      ADD_FAILURE() << "tarnvex-export.exe did not end";
      return Ran{99, "", ""};
    }
    return *ran;
  }

  Sandbox profileFolder_, logFolder_;
};

// --- tarnvex-export.exe through the local server ---

TEST_F(OutlookComTest, DefaultContactsFolderGivesTheGoldenCards) {
  DefaultStore("full");
  Sandbox out;
  const Ran ran = Export("--default-contacts", out.path());
  ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
  EXPECT_THAT(ran.out, StartsWith("Done.\n"));
  EXPECT_EQ(ran.err, "");
  ExpectGoldenCards(out.path(), "full", "2.1");
  EXPECT_EQ(CountOf("Invoke NameSpace.GetDefaultFolder"), 1);
  EXPECT_EQ(CountOf("Invoke NameSpace.AddStore"), 0);
}

class OutlookComGolden : public OutlookComTest,
                         public ::testing::WithParamInterface<const char*> {};

// Contact subfolders, distribution lists passed over, numbered cards, every code page: the cards
// Outlook's SaveAs (path, 6) writes through the server are the golden 2.1 cards byte for byte.
TEST_P(OutlookComGolden, PstAttachedForTheRunGivesTheGoldenCards) {
  Sandbox out;
  const std::string pst = kStores + "\\" + GetParam() + ".pst";
  const Ran ran = Export("--pst \"" + pst + "\"", out.path());
  ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
  EXPECT_THAT(ran.out, StartsWith("Done.\n"));
  ExpectGoldenCards(out.path(), GetParam(), "2.1");
  EXPECT_EQ(CountOf("Invoke NameSpace.AddStore"), 1);
  EXPECT_EQ(CountOf("Invoke NameSpace.RemoveStore"), 1);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, OutlookComGolden, ::testing::ValuesIn(golden::kFixtureNames));

TEST_F(OutlookComTest, DemoStoreIsAttachedAndDetachedAgain) {
  Sandbox out;
  const Ran ran = Export("--pst \"" + kStores + "\\demo.pst\"", out.path());
  ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
  EXPECT_EQ(ran.out, "Done.\n200 cards written, 4 items passed over, 0 failures\n");
  EXPECT_EQ(Names(out.path()).size(), 200u);
  const auto calls = Calls();
  const auto added = std::find(calls.begin(), calls.end(), "Invoke NameSpace.AddStore");
  const auto removed = std::find(calls.begin(), calls.end(), "Invoke NameSpace.RemoveStore");
  ASSERT_NE(added, calls.end());
  ASSERT_NE(removed, calls.end());
  EXPECT_LT(added, removed);
  // The store is detached after the last card.
  EXPECT_EQ(std::find(removed, calls.end(), "Invoke Item.SaveAs"), calls.end());
}

// Mail folders give their contacts through Items.Restrict, hidden folders are passed by, and
// Deleted Items is found through the store and only counted unless asked for.
TEST_F(OutlookComTest, ContactsOfEveryFolderKindComeThroughOutlook) {
  const std::string pst = "--pst \"" + kStores + "\\folders.pst\"";
  Sandbox out;
  Ran ran = Export(pst, out.path());
  ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
  EXPECT_EQ(ran.out,
            "Done.\n6 cards written, 2 items passed over, 0 failures\n"
            "1 contact in Deleted Items was not exported; --include-deleted exports it too\n");
  ExpectGoldenCards(out.path(), "folders", "2.1");
  EXPECT_GT(CountOf("Invoke Items.Restrict"), 0);
  EXPECT_EQ(CountOf("Invoke Store.GetDefaultFolder"), 1);

  Sandbox all;
  ran = Export(pst + " --include-deleted", all.path());
  ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
  EXPECT_EQ(ran.out, "Done.\n7 cards written, 2 items passed over, 0 failures\n");
  EXPECT_THAT(Names(all.path()), ::testing::Contains("Wright, Sebastian.vcf"));
}

TEST_F(OutlookComTest, AStoreAlreadyOpenIsExportedAndLeftAttached) {
  const std::string pst = kStores + "\\full.pst";
  SetSetting(L"OpenStores", pst);
  Sandbox out;
  const Ran ran = Export("--pst \"" + pst + "\"", out.path());
  ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
  ExpectGoldenCards(out.path(), "full", "2.1");
  EXPECT_EQ(CountOf("Invoke NameSpace.AddStore"), 0);
  EXPECT_EQ(CountOf("Invoke NameSpace.RemoveStore"), 0);
}

TEST_F(OutlookComTest, AFailedSaveIsReportedWithOutlooksTextAndTheRunGoesOn) {
  DefaultStore("full");
  SetSetting(L"FailMember", std::string("SaveAs"));
  SetSetting(L"FailCall", 2);
  SetSetting(L"FailText", std::string("Cannot save the file \xC3\xA4: the disk is full."));
  Sandbox out;
  const Ran ran = Export("--default-contacts", out.path());
  EXPECT_EQ(ran.status, 1u) << ran.out << ran.err;
  EXPECT_THAT(ran.out, StartsWith("Done.\n"));
  EXPECT_THAT(ran.out, HasSubstr(" 1 failure\n"));
  EXPECT_THAT(ran.err, HasSubstr("Cannot save the file \xC3\xA4: the disk is full.\nin "
                                 "Brismolt2021/08/31.Form1.PushButton3_Click at line 158"));
}

TEST_F(OutlookComTest, WithoutTheProgIdOutlookIsMissing) {
  server::Unregister();
  Sandbox out;
  const Ran ran = Export("--default-contacts", out.path());
  EXPECT_EQ(ran.status, 3u);
  EXPECT_EQ(ran.out, "MS Outlook does not appear to be installed on this computer.\n");
}

TEST_F(OutlookComTest, ARefusedCreationOrAMissingServerMeansOutlookIsMissing) {
  SetSetting(L"Refuse", 1);
  Sandbox out;
  Ran ran = Export("--default-contacts", out.path());
  EXPECT_EQ(ran.status, 3u);
  EXPECT_EQ(ran.out, "MS Outlook does not appear to be installed on this computer.\n");

  SetSetting(L"Refuse", 0);
  ASSERT_TRUE(server::Register(server::Mode::kMissingFile, OwnFolder()));
  ran = Export("--default-contacts", out.path());
  EXPECT_EQ(ran.status, 3u);
  EXPECT_EQ(ran.out, "MS Outlook does not appear to be installed on this computer.\n");
}

TEST_F(OutlookComTest, NoOutlookReadsThePstWithTheOwnReader) {
  server::Unregister();
  Sandbox out;
  const Ran ran = Export("--no-outlook --pst \"" + kStores + "\\full.pst\"", out.path());
  ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
  ExpectGoldenCards(out.path(), "full", "2.1");
}

TEST_F(OutlookComTest, OptionsOfTheOwnReaderAreRefusedWithOutlook) {
  Sandbox out;
  const Ran ran = Export("--default-contacts --vcard-version 3.0", out.path());
  EXPECT_EQ(ran.status, 3u);
  EXPECT_THAT(ran.err, HasSubstr("--vcard-version 3.0 and 4.0 need --no-outlook"));
  EXPECT_TRUE(Names(out.path()).empty());
}

// In process the contact item interface answers; out of process (no type library registered)
// the item's Class tells: both give the same cards.
TEST_F(OutlookComTest, InProcessTheContactInterfaceAnswers) {
  ASSERT_TRUE(server::Register(server::Mode::kInProcess, OwnFolder()));
  DefaultStore("full");
  Sandbox out;
  const Ran ran = Export("--default-contacts", out.path());
  ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
  ExpectGoldenCards(out.path(), "full", "2.1");
  EXPECT_GT(CountOf("QueryInterface Item._ContactItem"), 0);
  EXPECT_EQ(CountOf("Invoke Item.Class"), 0);
}

// --- the export run and the start-up check in this process, over the COM client ---

struct InProcessRun {
  fakes::FakeExportView view;
  fakes::RecordingMessageBoxes boxes;
  ExportSummary summary;
};

InProcessRun RunExport(const std::string& out, const std::string& pst = "") {
  InProcessRun run;
  run.view.text3 = out;
  if (!pst.empty()) {
    run.view.option1 = false;
    run.view.option2 = true;
    run.view.text2 = pst;
  }
  Win32FileSystem files;
  NoSleep noPauses;
  std::unique_ptr<OutlookAutomation> outlook = MakeComOutlook();
  run.summary = PushButton3_Click(run.view, {*outlook, files, run.boxes, noPauses, "Tarnvex Card"});
  return run;
}

TEST_F(OutlookComTest, AFailedDefaultFolderReportsItsLineAndTheCountsAfter) {
  DefaultStore("full");
  SetSetting(L"FailMember", std::string("NameSpace.GetDefaultFolder"));
  SetSetting(L"FailText", std::string("The attempt to log on to Microsoft Exchange has failed."));
  Sandbox out;
  const InProcessRun run = RunExport(out.path());
  EXPECT_THAT(run.boxes.ReportedLines(), ElementsAre(114, 136));
  ASSERT_EQ(run.boxes.shown.size(), 3u);
  EXPECT_THAT(run.boxes.shown[0].text,
              StartsWith(Report("The attempt to log on to Microsoft Exchange has failed.", 114)));
  EXPECT_THAT(run.boxes.PlainTexts(), ElementsAre("No contacts found."));
}

TEST_F(OutlookComTest, AFailureWithoutTextGivesTheSystemsWordsForIt) {
  DefaultStore("full");
  SetSetting(L"FailMember", std::string("Items.Count"));
  Sandbox out;
  const InProcessRun run = RunExport(out.path());
  EXPECT_THAT(run.boxes.ReportedLines(), ElementsAre(136));
  ASSERT_FALSE(run.boxes.shown.empty());
  // E_FAIL, as the server gives it without a text, in the system's words ("Unspecified error"
  // on Windows, "Call failed" under wine).
  EXPECT_THAT(run.boxes.shown[0].text, StartsWith(Report(SystemText(E_FAIL) + ".", 136)));
  EXPECT_THAT(run.boxes.PlainTexts(), ElementsAre("No contacts found."));
}

TEST_F(OutlookComTest, AFailedAttachIsReportedAndNothingIsDetached) {
  SetSetting(L"FailMember", std::string("AddStore"));
  SetSetting(L"FailText", std::string("The file is not a personal folders file."));
  Sandbox out;
  const InProcessRun run = RunExport(out.path(), kStores + "\\full.pst");
  EXPECT_THAT(run.boxes.ReportedLines(), ElementsAre(130, 136));
  EXPECT_THAT(run.boxes.shown[0].text,
              StartsWith(Report("The file is not a personal folders file.", 130)));
  EXPECT_THAT(run.boxes.PlainTexts(), ElementsAre("No contacts found."));
  EXPECT_EQ(CountOf("Invoke NameSpace.RemoveStore"), 0);
}

TEST_F(OutlookComTest, AFailedFileAsIsOneFailureAndTheOthersAreSaved) {
  DefaultStore("full");
  SetSetting(L"FailMember", std::string("FileAs"));
  SetSetting(L"FailCall", 1);
  SetSetting(L"FailText", std::string("The item has been moved or deleted."));
  Sandbox out;
  const InProcessRun run = RunExport(out.path());
  EXPECT_THAT(run.boxes.ReportedLines(), ElementsAre(156));
  EXPECT_EQ(run.summary.failures, 1);
  EXPECT_EQ(run.summary.closingMessage, "Done.");
  EXPECT_EQ(static_cast<int>(Names(out.path()).size()), run.summary.cardsWritten);
}

TEST_F(OutlookComTest, TheStartUpCheckEndsTheProgramWithoutOutlook) {
  fakes::RecordingMessageBoxes boxes;
  fakes::RecordingProgram program;
  std::unique_ptr<OutlookAutomation> outlook = MakeComOutlook();
  CheckOutlookInstalled(*outlook, boxes, "Tarnvex Card", program);
  EXPECT_EQ(program.ended, 0);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(IsOutlookAvailable(*outlook));

  server::Unregister();
  CheckOutlookInstalled(*outlook, boxes, "Tarnvex Card", program);
  EXPECT_EQ(program.ended, 1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, OutlookMissingText());
  EXPECT_FALSE(IsOutlookAvailable(*outlook));
}

TEST_F(OutlookComTest, CreationFailuresSayWhy) {
  server::Unregister();
  try {
    MakeComOutlook()->CreateApplication();
    ADD_FAILURE() << "created without a registration";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.description(), StartsWith("\"Outlook.Application\" cannot be created: "));
  }
}

}  // namespace
}  // namespace tarnvex
