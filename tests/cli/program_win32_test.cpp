// tarnvex-export.exe itself, started as its own process the way a console starts it: the wide
// command line in, UTF-8 bytes out into files, the exit status.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "tests/cli/program_runner_win32.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex::cli {
namespace {

using tarnvex::testing::ReadBytes;
using tarnvex::testing::Sandbox;
using tarnvex::testing::SandboxedProfile;
using tarnvex::testing::Wide;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// What the command line library writes for the arguments, in this process.
Ran RunInProcess(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  Ran ran;
  ran.status = static_cast<DWORD>(Run(arguments, out, err));
  ran.out = out.str();
  ran.err = err.str();
  return ran;
}

TEST(ProgramTest, HelpAndVersionAsTheLibraryWritesThem) {
  for (const std::string word : {"--help", "--version"}) {
    const Ran program = RunProgram(Wide(word));
    const Ran library = RunInProcess({word});
    EXPECT_EQ(program.status, 0u) << word;
    EXPECT_EQ(program.out, library.out) << word;
    EXPECT_EQ(program.err, "") << word;
  }
  EXPECT_THAT(RunProgram(L"--help").out, StartsWith("Usage: tarnvex-export (--pst FILE"));
}

TEST(ProgramTest, BadUsageExitsTwoWithTheReasonAndTheUsage) {
  const Ran ran = RunProgram(L"");
  EXPECT_EQ(ran.status, 2u);
  EXPECT_EQ(ran.out, "");
  EXPECT_THAT(ran.err, StartsWith("tarnvex-export: give --pst FILE or --default-contacts\n\n"
                                  "Usage: tarnvex-export"));
  EXPECT_EQ(ran.err, RunInProcess({}).err);
}

TEST(ProgramTest, ArgumentsArriveWhole) {
  // Non-ASCII and emoji from the wide command line; quotes group words with blanks.
  const Ran ran = RunProgram(
      L"--default-contacts --out C:\\ --vcard-version \"5 Zo\u00eb "
      L"\u5c71 \U0001F389\"");
  EXPECT_EQ(ran.status, 2u);
  EXPECT_THAT(ran.err, HasSubstr("unknown vCard version \"5 Zo\xC3\xAB \xE5\xB1\xB1 "
                                 "\xF0\x9F\x8E\x89\" (2.1, 3.0 or 4.0)"));
  const Ran unknown = RunProgram(L"--fr\u00f6bnicate");
  EXPECT_EQ(unknown.status, 2u);
  EXPECT_THAT(unknown.err, HasSubstr("unknown argument \"--fr\xC3\xB6"
                                     "bnicate\""));
}

// With --no-outlook the default store is the own reader's, as on Linux.
TEST(ProgramTest, WithoutADefaultStoreTheRunSaysHowToNameOneAndExitsThree) {
  Sandbox cards, profile;
  const SandboxedProfile none(profile, "none.ini");
  const Ran ran =
      RunProgram(L"--no-outlook --default-contacts --out \"" + Wide(cards.path()) + L"\"");
  EXPECT_EQ(ran.status, 3u);
  EXPECT_THAT(ran.err, HasSubstr("tarnvex-export --set-default-store FILE"));
}

TEST(ProgramTest, AMissingPstFileOrStoreIsSaidInWords) {
  Sandbox cards;
  const Ran ran = RunProgram(L"--no-outlook --pst \"C:\\Mail\\\u00c4rger.pst\" --out \"" +
                             Wide(cards.path()) + L"\"");
  EXPECT_EQ(ran.status, 3u);
  EXPECT_EQ(ran.out, "PST File not found.\n");
  EXPECT_EQ(ran.err, "");
  Sandbox profile;
  const SandboxedProfile named(profile);
  const Ran store = RunProgram(L"--set-default-store C:\\a.pst");
  EXPECT_EQ(store.status, 3u);
  EXPECT_THAT(store.err, HasSubstr("C:\\a.pst"));
}

}  // namespace
}  // namespace tarnvex::cli
