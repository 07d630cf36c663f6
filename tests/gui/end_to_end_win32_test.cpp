// tarnvex-card-exporter.exe end to end under wine, driven from outside as a user would, with the
// test automation server registered as Outlook (out of process, as Outlook is): the test starts
// the program, picks a PST in the file dialog, names the output folder, clicks "Start
// Exporting", answers "Done.", closes the window, finds the cards and the settings in the
// registry, and starts the program again to find its choices restored.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/outlook_server/registration.h"
#include "tests/platform/win32/dialog_watcher.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex {
namespace {

using testing::ReadBytes;
using testing::Sandbox;
using testing::Utf8;
using testing::Wide;
using testing::WindowText;

constexpr wchar_t kSettingsKey[] =
    L"Software\\VB and VBA Program Settings\\Dravelkin\\Tarnvex Card Exporter";

bool HasDisplay() {
  const HWND probe =
      ::CreateWindowExW(0, L"STATIC", L"probe", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (!probe)
    return false;
  ::DestroyWindow(probe);
  return true;
}

std::string Stored(const wchar_t* key) {
  wchar_t value[4096] = {};
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, key, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return "<absent>";
  return Utf8(value);
}

// A top-level window of the process with the class and caption; waits up to the seconds given.
HWND WaitForWindow(DWORD process, const wchar_t* windowClass, const wchar_t* caption, int seconds) {
  for (int attempt = 0; attempt < seconds * 10; ++attempt) {
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, windowClass, caption)) != nullptr) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(window, &owner);
      if (owner == process && ::IsWindowVisible(window))
        return window;
    }
    ::Sleep(100);
  }
  return nullptr;
}

std::wstring TextOf(HWND window) {
  wchar_t text[4096] = {};
  ::SendMessageW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
  return text;
}

// The program, started from a folder of the test's own, with the explorer that opens the home
// page at one start in a hundred replaced by one that does nothing.
class Program {
 public:
  explicit Program(const std::string& folder) {
    std::wstring command = L"\"" + Wide(folder + "\\tarnvex-card-exporter.exe") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          Wide(folder).c_str(), &startup, &info_))
      throw std::runtime_error("cannot start the program");
    ::CloseHandle(info_.hThread);
  }
  ~Program() {
    if (::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
      ::TerminateProcess(info_.hProcess, 1);
    ::CloseHandle(info_.hProcess);
  }
  DWORD Id() const { return info_.dwProcessId; }
  // The exit code once it has ended within the seconds given, else nullopt.
  std::optional<DWORD> Wait(int seconds) {
    if (::WaitForSingleObject(info_.hProcess, static_cast<DWORD>(seconds) * 1000) != WAIT_OBJECT_0)
      return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_{};
};

struct Form {
  HWND window, option1, option2, text2, pushButton8, text3, pushButton3;
};

Form ControlsOf(HWND window) {
  const HWND frame1 = ::FindWindowExW(window, nullptr, L"Button", L"Source");
  const HWND frame2 = ::FindWindowExW(window, nullptr, L"Button", L"Save Results To This Folder");
  return {window,
          ::FindWindowExW(frame1, nullptr, L"Button",
                          L"Outlook 2000/2002/2003/2007/2010/etc. (Outlook but not Outlook "
                          L"Express)"),
          ::FindWindowExW(frame1, nullptr, L"Button", L"PST File:"),
          ::FindWindowExW(frame1, nullptr, L"Edit", nullptr),
          ::FindWindowExW(frame1, nullptr, L"Button", L"..."),
          ::FindWindowExW(frame2, nullptr, L"Edit", nullptr),
          ::FindWindowExW(window, nullptr, L"Button", L"Start Exporting")};
}

void Copy(const std::string& from, const std::string& to) {
  if (!::CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE))
    throw std::runtime_error("cannot copy " + from);
}

TEST(WindowProgram, ExportsAPstChosenInTheWindowAndRestoresTheChoices) {
  if (!HasDisplay())
    GTEST_SKIP() << "no display";
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
  Sandbox folder;
  Copy(TARNVEX_CARD_EXPORTER, folder / "tarnvex-card-exporter.exe");
  Copy(TARNVEX_FAKE_EXPLORER, folder / "explorer.exe");
  Sandbox out;
  // The path as a user picks it: with the system's separator.
  std::string pst = TARNVEX_TEST_STORES "\\full.pst";
  std::replace(pst.begin(), pst.end(), '/', '\\');
  // Outlook: the test server, whose session has no default store of its own here; the window
  // attaches the PST chosen in it for the run.
  ::RegDeleteTreeW(HKEY_CURRENT_USER, test_outlook::kSettingsKey);
  ASSERT_TRUE(test_outlook::Register(test_outlook::Mode::kLocal, Wide(TARNVEX_TEST_OUTLOOK "\\")));
  struct Unregister {
    ~Unregister() {
      test_outlook::Unregister();
      ::RegDeleteTreeW(HKEY_CURRENT_USER, test_outlook::kSettingsKey);
    }
  } unregister;

  {
    Program program(folder.path());
    const HWND window = WaitForWindow(program.Id(), L"TarnvexForm1", L"Tarnvex Card Exporter", 90);
    ASSERT_NE(window, nullptr) << "the window did not show";
    const Form form = ControlsOf(window);
    ASSERT_NE(form.option2, nullptr);
    ASSERT_NE(form.text2, nullptr);
    ASSERT_NE(form.text3, nullptr);
    ASSERT_NE(form.pushButton3, nullptr);
    EXPECT_EQ(::SendMessageW(form.option1, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Utf8(TextOf(form.text3)).back(), '\\');  // the desktop folder

    ::SendMessageW(form.option2, BM_CLICK, 0, 0);
    ::PostMessageW(form.pushButton8, BM_CLICK, 0, 0);
    const HWND picker = WaitForWindow(program.Id(), L"#32770", L"Select PST File", 30);
    ASSERT_NE(picker, nullptr) << "the PST picker did not show";
    ::Sleep(300);
    ::SendDlgItemMessageW(picker, 0x47c, WM_SETTEXT, 0,
                          reinterpret_cast<LPARAM>(Wide(pst).c_str()));
    ::PostMessageW(picker, WM_COMMAND, IDOK, 0);
    for (int attempt = 0; attempt < 100 && TextOf(form.text2).empty(); ++attempt)
      ::Sleep(100);
    EXPECT_EQ(Utf8(TextOf(form.text2)), pst);
    ::SendMessageW(form.text3, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(out.path()).c_str()));

    ::PostMessageW(form.pushButton3, BM_CLICK, 0, 0);
    const HWND done = WaitForWindow(program.Id(), L"#32770", L"Tarnvex Card", 60);
    ASSERT_NE(done, nullptr) << "no closing message";
    EXPECT_EQ(testing::MessageText(done), L"Done.");
    ::PostMessageW(done, WM_COMMAND, IDOK, 0);
    ::Sleep(300);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.Wait(30), 0u);
  }

  // The cards are there, as the golden cards have them.
  EXPECT_EQ(testing::Names(out.path()).size(), 5u);
  for (const char* name : {"Mustermann, Erika.vcf", "Subject Only.vcf", "Broadway, Bob.vcf"}) {
    std::string golden = std::string(TARNVEX_GOLDEN_DIR "\\cards\\full\\2.1\\") + name;
    std::replace(golden.begin(), golden.end(), '/', '\\');
    EXPECT_EQ(ReadBytes(out / name), ReadBytes(golden)) << name;
  }
  EXPECT_EQ(Stored(L"Option1"), "False");
  EXPECT_EQ(Stored(L"Option2"), "True");
  EXPECT_EQ(Stored(L"PST File"), pst);
  EXPECT_EQ(Stored(L"Output Folder"), out.path());

  // Started again, the window shows the choices made.
  {
    Program program(folder.path());
    const HWND window = WaitForWindow(program.Id(), L"TarnvexForm1", L"Tarnvex Card Exporter", 90);
    ASSERT_NE(window, nullptr) << "the window did not show again";
    const Form form = ControlsOf(window);
    EXPECT_EQ(::SendMessageW(form.option1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(::SendMessageW(form.option2, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Utf8(TextOf(form.text2)), pst);
    EXPECT_EQ(Utf8(TextOf(form.text3)), out.path());
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.Wait(30), 0u);
  }
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

}  // namespace
}  // namespace tarnvex
