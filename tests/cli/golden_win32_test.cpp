// tarnvex-export.exe --no-outlook: the program's own PST reader on stores that the Linux build's
// tarnvex-pstgen wrote (a CTest fixture on the build machine): the cards written on Windows are
// byte for byte the golden cards of tests/golden. The "names" fixture differs where Windows
// file names do and nowhere else: names starting with "." are not hidden, so they keep their dot
// and an empty name leaves ".vcf"; a name's length is counted in UTF-16 units, not bytes.
#include <windows.h>

#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "tests/cli/golden_cards_win32.h"
#include "tests/cli/program_runner_win32.h"
#include "tests/golden/fixture_names.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex::cli {
namespace {

using tarnvex::testing::Names;
using tarnvex::testing::ReadBytes;
using tarnvex::testing::Sandbox;
using tarnvex::testing::ScopedVariable;
using tarnvex::testing::Wide;
using tarnvex::testing::WriteBytes;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kStores = WindowsPath(TARNVEX_TEST_STORES);

struct Case {
  std::string fixture;
  std::string version;
};

class WindowsGoldenCards : public ::testing::TestWithParam<Case> {};

TEST_P(WindowsGoldenCards, ExportMatchesTheGoldenCards) {
  const Case& c = GetParam();
  // A profile of the test's own, as on Linux: no default store comes into the run.
  Sandbox out, profileFolder;
  const std::string profile = profileFolder / "profile.ini";
  const ScopedVariable variable("TARNVEX_OUTLOOK_PROFILE", profile);
  const Ran ran = RunProgram(L"--no-outlook --pst \"" + Wide(kStores + "\\" + c.fixture + ".pst") +
                             L"\" --out \"" + Wide(out.path()) + L"\" --vcard-version " +
                             Wide(c.version) + L" --quiet");
  ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
  EXPECT_THAT(ran.out, StartsWith("Done.\n"));
  EXPECT_EQ(ran.err, "");

  ExpectGoldenCards(out.path(), c.fixture, c.version);
}

TEST(WindowsGoldenNames, EveryDocumentedDifferenceIsInTheGoldenSet) {
  // The table above names golden cards that exist: a change of the golden set shows here.
  for (const char* version : {"2.1", "3.0", "4.0"}) {
    const auto golden = ReadFolder(kGoldenDir + "\\cards\\names\\" + version);
    for (const auto& [linuxName, windowsName] : WindowsNames()) {
      EXPECT_TRUE(golden.count(linuxName)) << linuxName << " in " << version;
      EXPECT_FALSE(golden.count(windowsName)) << windowsName << " in " << version;
    }
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const char* fixture : golden::kFixtureNames) {
    for (const char* version : {"2.1", "3.0", "4.0"})
      cases.push_back({fixture, version});
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string v = info.param.version;
  v.erase(std::remove(v.begin(), v.end(), '.'), v.end());
  return info.param.fixture + "_v" + v;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WindowsGoldenCards, ::testing::ValuesIn(AllCases()), CaseName);

// The profile names the default store; --default-contacts then exports its Contacts folder.
TEST(WindowsDefaultStore, SetDefaultStoreThenDefaultContactsThroughTheProfileVariable) {
  Sandbox folder;
  const std::string profile = folder / "profile \xC3\xA4.ini";
  const ScopedVariable variable("TARNVEX_OUTLOOK_PROFILE", profile);
  Sandbox out;
  const std::wstring toOut = L" --out \"" + Wide(out.path()) + L"\" --quiet";

  Ran ran = RunProgram(L"--no-outlook --default-contacts" + toOut);
  EXPECT_EQ(ran.status, 3u);
  EXPECT_THAT(ran.err, HasSubstr("tarnvex-export --set-default-store FILE"));

  const std::string store = kStores + "\\full.pst";
  ran = RunProgram(L"--set-default-store \"" + Wide(store) + L"\"");
  ASSERT_EQ(ran.status, 0u) << ran.err;
  EXPECT_EQ(ran.out, "Default store: " + store + " (profile " + profile + ")\n");
  EXPECT_EQ(ReadBytes(profile), "[Profile]\nDefaultStore=" + store + "\n");

  ran = RunProgram(L"--no-outlook --default-contacts" + toOut + L" --vcard-version 3.0");
  ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
  ExpectGoldenCards(out.path(), "full", "3.0");
}

TEST(WindowsDefaultStore, TheProfileLivesInTheApplicationDataFolder) {
  const ScopedVariable variable("TARNVEX_OUTLOOK_PROFILE", std::nullopt);
  wchar_t appData[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData)));
  const std::string profile = testing::Utf8(appData) + "\\tarnvex\\profile.ini";
  const std::string store = kStores + "\\folders.pst";
  const Ran ran = RunProgram(L"--set-default-store \"" + Wide(store) + L"\"");
  ASSERT_EQ(ran.status, 0u) << ran.err;
  EXPECT_EQ(ran.out, "Default store: " + store + " (profile " + profile + ")\n");
  EXPECT_EQ(ReadBytes(profile), "[Profile]\nDefaultStore=" + store + "\n");
  ::DeleteFileW(Wide(profile).c_str());
}

// A damaged store or a file that is no store is refused in words, naming it: a damaged file of a
// format the own reader reads goes to no other reader, and this build has no other reader.
TEST(WindowsPstReader, AHighEncryptionStoreGivesTheCardsOfThePlainOne) {
  Sandbox out;
  const Ran ran = RunProgram(L"--no-outlook --pst \"" + Wide(kStores + "\\full_cyclic.pst") +
                             L"\" --out \"" + Wide(out.path()) + L"\" --vcard-version 3.0 --quiet");
  ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
  ExpectGoldenCards(out.path(), "full", "3.0");
}

TEST(WindowsPstReader, OfflineFilesGiveTheCardsOfThePst) {
  for (const char* name : {"full_ost.ost", "full_ost2013.ost"}) {
    SCOPED_TRACE(name);
    Sandbox out;
    const Ran ran = RunProgram(L"--no-outlook --pst \"" + Wide(kStores + "\\" + name) +
                               L"\" --out \"" + Wide(out.path()) + L"\" --quiet");
    ASSERT_EQ(ran.status, 0u) << ran.out << ran.err;
    ExpectGoldenCards(out.path(), "full", "2.1");
  }
}

TEST(WindowsPstReader, ADamagedStoreOrNoStoreIsRefusedInWords) {
  Sandbox folder;
  const std::string whole = ReadBytes(kStores + "\\full.pst").value_or("");
  ASSERT_GT(whole.size(), 4096u);
  const std::string cut = folder / "cut \xE5\xB1\xB1.pst";
  WriteBytes(cut, whole.substr(0, 1024));
  Sandbox out;
  Ran ran =
      RunProgram(L"--no-outlook --pst \"" + Wide(cut) + L"\" --out \"" + Wide(out.path()) + L"\"");
  EXPECT_EQ(ran.status, 3u);
  EXPECT_THAT(ran.err, HasSubstr("The Outlook data file \"" + cut + "\" is damaged: "));
  EXPECT_TRUE(Names(out.path()).empty());

  const std::string text = folder / "mail.pst";
  WriteBytes(text, "not a store at all");
  ran =
      RunProgram(L"--no-outlook --pst \"" + Wide(text) + L"\" --out \"" + Wide(out.path()) + L"\"");
  EXPECT_EQ(ran.status, 3u);
  EXPECT_THAT(ran.err,
              HasSubstr("The file \"" + text + "\" is not an Outlook data file (PST/OST)."));
}

}  // namespace
}  // namespace tarnvex::cli
