// The shell's special folders, message boxes and process start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "export/file_helpers.h"
#include "platform/failure.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_process_starter.h"
#include "platform/win32/win32_shell.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex {
namespace {

using ::testing::HasSubstr;
using testing::Sandbox;
using testing::Wide;

TEST(Win32ShellTest, TheDesktopFolder) {
  Win32Shell shell;
  const std::string desktop = shell.SpecialFolderPath(kCsidlDesktop);
  ASSERT_GT(desktop.size(), 3u);
  EXPECT_EQ(desktop.substr(1, 2), ":\\");  // a full path on a drive
  EXPECT_NE(desktop.back(), '\\');
  EXPECT_NE(::GetFileAttributesW(Wide(desktop).c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(GetDesktopFolder(shell, '\\'), desktop + "\\");
}

TEST(Win32ShellTest, AnUnknownFolderHasNoPath) {
  Win32Shell shell;
  EXPECT_EQ(shell.SpecialFolderPath(0xFE), "");
}

// True when windows can be made: the prefix has a display (Xvfb under wine).
bool HasDisplay() {
  const HWND probe =
      ::CreateWindowExW(0, L"STATIC", L"probe", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (!probe)
    return false;
  ::DestroyWindow(probe);
  return true;
}

// What a message box showed, read by a watcher thread that then presses OK.
struct ShownBox {
  std::wstring text;
  bool hasIcon = false;
  bool hasOk = false;
  bool hasCancel = false;
  int buttons = 0;
};

std::thread WatchFor(const std::wstring& caption, ShownBox& shown, std::atomic<bool>& found) {
  return std::thread([caption, &shown, &found] {
    for (int attempt = 0; attempt < 400 && !found; ++attempt) {
      const HWND box = ::FindWindowW(L"#32770", caption.c_str());
      if (!box) {
        ::Sleep(25);
        continue;
      }
      wchar_t text[1024] = {};
      ::GetDlgItemTextW(box, 0xFFFF, text, 1024);  // the box's text control
      shown.text = text;
      shown.hasOk = ::GetDlgItem(box, IDOK) != nullptr;
      shown.hasCancel = ::GetDlgItem(box, IDCANCEL) != nullptr;
      ::EnumChildWindows(
          box,
          [](HWND child, LPARAM result) -> BOOL {
            auto& box = *reinterpret_cast<ShownBox*>(result);
            wchar_t kind[32] = {};
            ::GetClassNameW(child, kind, 32);
            const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
            if (std::wstring(kind) == L"Button")
              ++box.buttons;
            // The icon: a visible picture control that holds one.
            if (std::wstring(kind) == L"Static" && (style & SS_TYPEMASK) == SS_ICON &&
                ::IsWindowVisible(child) && ::SendMessageW(child, STM_GETICON, 0, 0) != 0) {
              box.hasIcon = true;
            }
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&shown));
      found = true;
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  });
}

TEST(Win32MessageBoxesTest, CaptionTextIconAndOneOkButton) {
  if (!HasDisplay())
    GTEST_SKIP() << "no display for windows";
  Win32MessageBoxes boxes;
  const struct {
    MessageIcon icon;
    bool hasIcon;
  } cases[] = {{MessageIcon::kWarning, true}, {MessageIcon::kNone, false}};
  for (const auto& c : cases) {
    const std::wstring caption = L"Tarnvex \u00c4rger " + std::to_wstring(c.hasIcon);
    ShownBox shown;
    std::atomic<bool> found{false};
    std::thread watcher = WatchFor(caption, shown, found);
    boxes.Show("Done.\r\nZo\xC3\xAB \xE5\xB1\xB1", testing::Utf8(caption), c.icon);
    watcher.join();
    ASSERT_TRUE(found);
    EXPECT_EQ(shown.text, L"Done.\r\nZo\u00eb \u5c71");
    EXPECT_EQ(shown.hasIcon, c.hasIcon);
    EXPECT_TRUE(shown.hasOk);
    EXPECT_EQ(shown.buttons, 1);
  }
}

TEST(Win32ProcessStarterTest, WindowStatesAreTheSystemsShowCommands) {
  EXPECT_EQ(ShowCommandFor(WindowState::kHide), SW_HIDE);
  EXPECT_EQ(ShowCommandFor(WindowState::kNormalFocus), SW_SHOWNORMAL);
  EXPECT_EQ(ShowCommandFor(WindowState::kMinimizedFocus), SW_SHOWMINIMIZED);
  EXPECT_EQ(ShowCommandFor(WindowState::kMaximizedFocus), SW_SHOWMAXIMIZED);
  EXPECT_EQ(ShowCommandFor(WindowState::kNormalNoFocus), SW_SHOWNOACTIVATE);
  EXPECT_EQ(ShowCommandFor(WindowState::kMinimizedNoFocus), SW_SHOWMINNOACTIVE);
}

TEST(Win32ProcessStarterTest, StartsAProgramWithoutWaitingForIt) {
  Sandbox folder;
  const std::string mark = folder / "started \xC3\xA4.txt";
  Win32ProcessStarter processes;
  processes.Start("cmd.exe /c echo started> \"" + mark + "\"", WindowState::kHide);
  bool started = false;
  for (int attempt = 0; attempt < 300 && !started; ++attempt) {
    started = testing::ReadBytes(mark).value_or("").starts_with("started");
    if (!started)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(started);
}

TEST(Win32ProcessStarterTest, AMissingProgramFailsNamingIt) {
  Win32ProcessStarter processes;
  try {
    processes.Start("\"no such program \xC3\xA4.exe\" /x", WindowState::kNormalFocus);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.description(),
                HasSubstr("Cannot start the program \"no such program \xC3\xA4.exe\": "));
  }
}

}  // namespace
}  // namespace tarnvex
