// tarnvex-export.exe itself, started as its own process the way a console starts it: the wide
// command line in, UTF-8 bytes out into files, the exit status.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex::cli {
namespace {

using tarnvex::testing::ReadBytes;
using tarnvex::testing::TempFolder;
using tarnvex::testing::Wide;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct Ran {
  DWORD status = 0;
  std::string out;
  std::string err;
};

// The program's path: beside this test's own executable.
std::wstring ProgramPath() {
  wchar_t self[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"tarnvex-export.exe";
}

// Runs the program with the arguments as a console would pass them (the rest of the command
// line after the program's name) and waits for it.
Ran RunProgram(const std::wstring& arguments) {
  TempFolder folder;
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  auto create = [&](const std::string& path) {
    return ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                         CREATE_ALWAYS, 0, nullptr);
  };
  const HANDLE out = create(folder / "out.txt");
  const HANDLE err = create(folder / "err.txt");
  const HANDLE in = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherited, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  Ran ran;
  const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  ::CloseHandle(in);
  ::CloseHandle(out);
  ::CloseHandle(err);
  if (!started) {
    ADD_FAILURE() << "cannot start tarnvex-export.exe, error " << ::GetLastError();
    return ran;
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  ::GetExitCodeProcess(process.hProcess, &ran.status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  ran.out = ReadBytes(folder / "out.txt").value_or("(none)");
  ran.err = ReadBytes(folder / "err.txt").value_or("(none)");
  return ran;
}

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

TEST(ProgramTest, WithoutOutlookTheRunSaysSoAndExitsThree) {
  TempFolder cards;
  const Ran ran = RunProgram(L"--default-contacts --out \"" + Wide(cards.path()) + L"\"");
  EXPECT_EQ(ran.status, 3u);
  EXPECT_EQ(ran.out, "MS Outlook does not appear to be installed on this computer.\n");
  EXPECT_EQ(ran.err, "");
}

TEST(ProgramTest, APstFileIsRefusedInWordsUntilTheReaderIsBuiltForWindows) {
  TempFolder cards;
  const Ran ran =
      RunProgram(L"--pst \"C:\\Mail\\\u00c4rger.pst\" --out \"" + Wide(cards.path()) + L"\"");
  EXPECT_EQ(ran.status, 3u);
  EXPECT_EQ(ran.out, "");
  EXPECT_THAT(ran.err, StartsWith("tarnvex-export: The Windows program cannot read PST files"));
  EXPECT_EQ(RunProgram(L"--set-default-store C:\\a.pst").status, 3u);
}

}  // namespace
}  // namespace tarnvex::cli
