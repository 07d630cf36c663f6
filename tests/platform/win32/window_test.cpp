// Form1 as a native Win32 window under wine: layout from the twip table, properties, events
// routed to the core's handlers and stored in the registry, pointer rules, skin, and the dialogs
// answered and cancelled by a watcher thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <random>

#include "app/form1.h"
#include "app/security_advice.h"
#include "platform/form1_layout.h"
#include "platform/win32/registry_settings_store.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_form1.h"
#include "platform/win32/win32_message_boxes.h"
#include "platform/win32/win32_resources.h"
#include "platform/win32/win32_skin_engine.h"
#include "tests/fakes/fake_outlook.h"
#include "tests/fakes/fake_ui.h"
#include "tests/fakes/fake_window.h"
#include "tests/platform/win32/dialog_watcher.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex {
namespace {

using testing::DialogWatcher;
using testing::Sandbox;
using testing::Utf8;
using testing::Wide;
using testing::WindowText;

bool HasDisplay() {
  const HWND probe =
      ::CreateWindowExW(0, L"STATIC", L"probe", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (!probe)
    return false;
  ::DestroyWindow(probe);
  return true;
}

#define REQUIRE_DISPLAY()           \
  do {                              \
    if (!HasDisplay())              \
      GTEST_SKIP() << "no display"; \
  } while (false)

HWND H(void* handle) {
  return static_cast<HWND>(handle);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

LOGFONTW FontOf(HWND window) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  ::GetObjectW(handle, sizeof font, &font);
  return font;
}

const wchar_t* Win32ClassOf(ControlKind kind) {
  return kind == ControlKind::kTextBox ? L"Edit" : L"Button";
}

TEST(Win32Form1Window, EveryControlStandsWhereTheTableSays) {
  REQUIRE_DISPLAY();
  Win32Form1 window;
  const unsigned dpi = window.Dpi();
  for (const Form1Control& c : kForm1Controls) {
    SCOPED_TRACE(c.name);
    const HWND control = H(window.ControlHwnd(c.name));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(ClassOf(control), Win32ClassOf(c.kind));
    const HWND container = c.container == kForm1NoContainer
                               ? H(window.Hwnd())
                               : H(window.ControlHwnd(Form1ContainerName(c)));
    EXPECT_EQ(::GetParent(control), container);
    RECT placed{};
    ::GetWindowRect(control, &placed);
    ::MapWindowPoints(nullptr, container, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, TwipsToPixels(c.left, dpi));
    EXPECT_EQ(placed.top, TwipsToPixels(c.top, dpi));
    EXPECT_EQ(placed.right - placed.left, TwipsToPixels(c.width, dpi));
    EXPECT_EQ(placed.bottom - placed.top, TwipsToPixels(c.height, dpi));
    EXPECT_EQ(WindowText(control), Wide(c.caption));
    EXPECT_TRUE(::IsWindowEnabled(control));
  }
}

TEST(Win32Form1Window, FixedSingleBorderMinimiseButNoMaximiseAndATaskBarButton) {
  REQUIRE_DISPLAY();
  Win32Form1 window;
  const HWND form = H(window.Hwnd());
  RECT client{};
  ::GetClientRect(form, &client);
  EXPECT_EQ(client.right, TwipsToPixels(kForm1ClientWidthTwips, window.Dpi()));
  EXPECT_EQ(client.bottom, TwipsToPixels(kForm1ClientHeightTwips, window.Dpi()));
  if (window.Dpi() == 96) {
    EXPECT_EQ(client.right, 536);
    EXPECT_EQ(client.bottom, 226);
  }
  const LONG_PTR style = ::GetWindowLongPtrW(form, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(::GetMenu(form));
  EXPECT_TRUE(::GetWindowLongPtrW(form, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(::GetWindow(form, GW_OWNER), nullptr);
  EXPECT_EQ(WindowText(form), L"Form1");
  EXPECT_EQ(ClassOf(form), Wide(kForm1ClassName));
  EXPECT_FALSE(::IsWindowVisible(form));  // hidden until start-up is over
}

TEST(Win32Form1Window, IsShownCentredOnTheWorkArea) {
  REQUIRE_DISPLAY();
  Win32Form1 window;
  window.ShowCentred();
  const HWND form = H(window.Hwnd());
  EXPECT_TRUE(::IsWindowVisible(form));
  RECT placed{};
  ::GetWindowRect(form, &placed);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(form, MONITOR_DEFAULTTOPRIMARY), &monitor));
  const RECT& work = monitor.rcWork;
  EXPECT_NEAR((placed.left + placed.right) / 2.0, (work.left + work.right) / 2.0, 1.0);
  EXPECT_NEAR((placed.top + placed.bottom) / 2.0, (work.top + work.bottom) / 2.0, 1.0);
  EXPECT_EQ(::GetFocus(), H(window.ControlHwnd("Option1")));
}

TEST(Win32Form1Window, FontsColoursAndInitialState) {
  REQUIRE_DISPLAY();
  Win32Form1 window;
  const int windowHeight = -MulDiv(9, static_cast<int>(window.Dpi()), 72);
  const int buttonHeight = -static_cast<int>(std::lround(11.25 * window.Dpi() / 72.0));
  for (const Form1Control& c : kForm1Controls) {
    SCOPED_TRACE(c.name);
    const LOGFONTW font = FontOf(H(window.ControlHwnd(c.name)));
    EXPECT_STREQ(font.lfFaceName, L"Arial");
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_EQ(font.lfCharSet, 204);
    const bool button = std::string(c.name).starts_with("PushButton");
    EXPECT_EQ(font.lfHeight, button ? buttonHeight : windowHeight);
  }
  for (const char* name : {"Form1", "Frame1", "Frame2", "Option1", "Option2", "PushButton2",
                           "PushButton3", "PushButton7", "PushButton8"}) {
    EXPECT_EQ(window.BackColourOf(name), RGB(255, 255, 255)) << name;
  }
  for (const char* name : {"PushButton2", "PushButton3", "PushButton7", "PushButton8"}) {
    EXPECT_EQ(window.TextColourOf(name), ::GetSysColor(COLOR_BTNTEXT)) << name;
    // Drawn by the window; no default button.
    const LONG_PTR style = ::GetWindowLongPtrW(H(window.ControlHwnd(name)), GWL_STYLE);
    EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW) << name;
  }
  for (const char* name : {"Text2", "Text3"})
    EXPECT_EQ(window.BackColourOf(name), ::GetSysColor(COLOR_WINDOW)) << name;
  EXPECT_TRUE(window.Option1());
  EXPECT_FALSE(window.Option2());
  EXPECT_EQ(window.Text2(), "");
  EXPECT_EQ(window.Text3(), "");
}

TEST(Win32Form1Window, TabOrderFollowsTheTable) {
  REQUIRE_DISPLAY();
  Win32Form1 window;
  const HWND form = H(window.Hwnd());
  // Round the controls that take the focus, in the table's order, and back to the first.
  std::vector<const char*> order;
  for (const Form1Control& c : kForm1Controls) {
    if (c.kind != ControlKind::kFrame)
      order.push_back(c.name);
  }
  order.push_back(order.front());
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {
    EXPECT_EQ(::GetNextDlgTabItem(form, H(window.ControlHwnd(order[i])), FALSE),
              H(window.ControlHwnd(order[i + 1])))
        << "after " << order[i];
  }
}

TEST(Win32Form1Window, ListsItsControlsWithTheirKinds) {
  REQUIRE_DISPLAY();
  Win32Form1 window;
  std::vector<std::string> names;
  for (const ControlInfo& control : window.Controls())
    names.push_back(control.name);
  EXPECT_THAT(names, ::testing::ElementsAre("Frame1", "Option1", "Option2", "Text2", "PushButton8",
                                            "PushButton3", "PushButton7", "Frame2", "Text3",
                                            "PushButton2", "CommonDialog1", "SkinFramework1"));
  EXPECT_EQ(window.ControlHwnd("CommonDialog1"), nullptr);
  EXPECT_THROW(window.SetControlBackColor("Label9", kOleButtonFace), Failure);
}

TEST(Win32Form1Window, ApplicationIconHasFourSizesAndReplacesTheInitialOne) {
  REQUIRE_DISPLAY();
  // The executable's icon group: 32, 48, 128 and 256 pixels (256 is written as 0).
  const HMODULE module = ::GetModuleHandleW(nullptr);
  const HRSRC group =
      ::FindResourceW(module, MAKEINTRESOURCEW(TARNVEX_ICON_APPLICATION), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(module, group)));
  ASSERT_NE(bytes, nullptr);
  const int count = bytes[4] | (bytes[5] << 8);
  std::vector<int> sizes;
  for (int i = 0; i < count; ++i)
    sizes.push_back(bytes[6 + 14 * i] == 0 ? 256 : bytes[6 + 14 * i]);
  EXPECT_THAT(sizes, ::testing::ElementsAre(32, 48, 128, 256));
  const HRSRC initial =
      ::FindResourceW(module, MAKEINTRESOURCEW(TARNVEX_ICON_INITIAL), RT_GROUP_ICON);
  ASSERT_NE(initial, nullptr);
  const auto* initialBytes =
      static_cast<const BYTE*>(::LockResource(::LoadResource(module, initial)));
  EXPECT_EQ(initialBytes[4], 1);
  EXPECT_EQ(initialBytes[6], 32);

  Win32Form1 window;
  const HWND form = H(window.Hwnd());
  const auto classIcon = reinterpret_cast<HICON>(::GetClassLongPtrW(form, GCLP_HICON));
  EXPECT_NE(classIcon, nullptr);
  EXPECT_EQ(::SendMessageW(form, WM_GETICON, ICON_BIG, 0), 0);
  window.SetApplicationIcon();
  EXPECT_NE(::SendMessageW(form, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(::SendMessageW(form, WM_GETICON, ICON_SMALL, 0), 0);
}

TEST(Win32Form1Window, OptionsFormOneGroupThatMayHoldNoSelection) {
  REQUIRE_DISPLAY();
  Win32Form1 window;
  window.SetOption2(true);
  EXPECT_FALSE(window.Option1());
  EXPECT_TRUE(window.Option2());
  window.SetOption2(false);
  EXPECT_FALSE(window.Option1());
  EXPECT_FALSE(window.Option2());
}

TEST(Win32FilterText, PairsOfDescriptionAndPattern) {
  EXPECT_EQ(Win32FilterText("All PST Files (*.pst)|*.pst|"),
            std::wstring(L"All PST Files (*.pst)\0*.pst\0\0", 29));
  EXPECT_EQ(Win32FilterText("A|*.a;*.b|B|*.b"), std::wstring(L"A\0*.a;*.b\0B\0*.b\0\0", 17));
  EXPECT_THROW(Win32FilterText("A|*.a|B"), Failure);
}

// The window wired to the core's handlers, the settings in a registry key of the test's own.
class WiredWindow : public ::testing::Test {
 protected:
  WiredWindow()
      : root("Software\\Tarnvex Tests\\window-" + std::to_string(std::random_device()())),
        settings(root),
        window(programFolder.path()),
        skin(window),
        form({window, window, skin, openDialog, browser, settings, files, shell, boxes, processes,
              clock, random, outlook, program, sleeper}) {
    shell.desktop = "C:\\users\\ann\\Desktop";
    window.Connect(form, boxes, [this] { ++closed; });
  }
  ~WiredWindow() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, Wide(root).c_str()); }

  void SetUp() override {
    if (!HasDisplay())
      GTEST_SKIP() << "no display";
    window.ShowCentred();
  }

  std::string Stored(const char* key) {
    return settings.Get("Dravelkin", "Tarnvex Card Exporter", key, "<absent>");
  }

  HWND Control(const char* name) { return H(window.ControlHwnd(name)); }

  void Type(const char* name, const std::wstring& keys) {
    for (wchar_t key : keys)
      ::SendMessageW(Control(name), WM_CHAR, key, 1);
  }

  void MoveOver(const char* name) {
    const HWND target = name ? Control(name) : H(window.Hwnd());
    ::SendMessageW(target, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  }

  std::string root;
  Sandbox programFolder;
  RegistrySettingsStore settings;
  Win32Form1 window;
  Win32SkinEngine skin;
  fakes::FakeFileOpenDialog openDialog;
  fakes::FakeFolderBrowser browser;
  Win32FileSystem files;
  fakes::FakeShell shell;
  fakes::RecordingMessageBoxes boxes;
  fakes::FakeProcessStarter processes;
  fakes::FakeClock clock;
  fakes::FakeRandom random;
  fakes::FakeOutlook outlook;
  fakes::RecordingProgram program;
  fakes::RecordingSleeper sleeper;
  Form1 form;
  int closed = 0;
};

TEST_F(WiredWindow, FirstStartStoresTheDesktopAndTheOptions) {
  form.Form_Load();
  EXPECT_EQ(WindowText(H(window.Hwnd())), L"Tarnvex Card Exporter");
  EXPECT_EQ(window.AppTitle(), "Tarnvex Card");
  EXPECT_EQ(window.Text3(), "C:\\users\\ann\\Desktop\\");
  EXPECT_EQ(Stored("Output Folder"), "C:\\users\\ann\\Desktop\\");
  EXPECT_EQ(Stored("Option1"), "True");
  EXPECT_EQ(Stored("Option2"), "False");
  // An empty PST path is no change, so nothing is stored for it.
  EXPECT_EQ(Stored("PST File"), "<absent>");
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_NE(::SendMessageW(H(window.Hwnd()), WM_GETICON, ICON_BIG, 0), 0);
  // Nothing beside the program: no skin, no hand.
  EXPECT_FALSE(skin.Applied());
  EXPECT_EQ(window.BackColourOf("Form1"), RGB(255, 255, 255));
  EXPECT_FALSE(window.HasCustomPointer());
}

TEST_F(WiredWindow, TypingStoresEveryKeystrokeAndKeepsBlanks) {
  Type("Text2", L" d.pst ");
  EXPECT_EQ(window.Text2(), " d.pst ");
  EXPECT_EQ(Stored("PST File"), " d.pst ");
  Type("Text2", L"\b");
  EXPECT_EQ(Stored("PST File"), " d.pst");
  Type("Text2", L"\u00e9\u5c71");
  EXPECT_EQ(Stored("PST File"), " d.pst\xC3\xA9\xE5\xB1\xB1");
  window.SetText3("C:\\out\\");
  EXPECT_EQ(Stored("Output Folder"), "C:\\out\\");
  ::SetWindowTextW(Control("Text3"), L"");
  EXPECT_EQ(Stored("Output Folder"), "");
}

TEST_F(WiredWindow, ClickingAnOptionStoresBoth) {
  ::SendMessageW(Control("Option2"), BM_CLICK, 0, 0);
  EXPECT_TRUE(window.Option2());
  EXPECT_FALSE(window.Option1());
  EXPECT_EQ(Stored("Option1"), "False");
  EXPECT_EQ(Stored("Option2"), "True");
  ::SendMessageW(Control("Option1"), BM_CLICK, 0, 0);
  EXPECT_EQ(Stored("Option1"), "True");
  EXPECT_EQ(Stored("Option2"), "False");
}

TEST_F(WiredWindow, RestoreFollowsTheStore) {
  settings.Save("Dravelkin", "Tarnvex Card Exporter", "Option1", "True");
  settings.Save("Dravelkin", "Tarnvex Card Exporter", "Option2", "True");
  settings.Save("Dravelkin", "Tarnvex Card Exporter", "PST File", " C:\\mail\\a.pst ");
  settings.Save("Dravelkin", "Tarnvex Card Exporter", "Output Folder", "");
  form.Form_Load();
  EXPECT_FALSE(window.Option1());
  EXPECT_TRUE(window.Option2());
  EXPECT_EQ(Stored("Option1"), "False");
  EXPECT_EQ(Stored("Option2"), "True");
  EXPECT_EQ(window.Text2(), " C:\\mail\\a.pst ");
  EXPECT_EQ(window.Text3(), "");
}

TEST_F(WiredWindow, AnOptionThatIsNoTruthValueIsReportedAndKeepsItsState) {
  settings.Save("Dravelkin", "Tarnvex Card Exporter", "Option1", "yes");
  settings.Save("Dravelkin", "Tarnvex Card Exporter", "Option2", "0");
  form.Form_Load();
  EXPECT_THAT(boxes.ReportedLines(), ::testing::ElementsAre(132));
  EXPECT_TRUE(window.Option1());
  EXPECT_FALSE(window.Option2());
}

TEST_F(WiredWindow, HoverRuleOverButtonsFramesAndOtherControls) {
  MoveOver("PushButton7");
  EXPECT_EQ(window.Pointer(), PointerMode::kCustom);
  MoveOver("Text2");
  MoveOver("Option1");
  EXPECT_EQ(window.Pointer(), PointerMode::kCustom);
  MoveOver("Frame1");
  EXPECT_EQ(window.Pointer(), PointerMode::kDefault);
  MoveOver("PushButton2");
  EXPECT_EQ(window.Pointer(), PointerMode::kCustom);
  MoveOver(nullptr);
  EXPECT_EQ(window.Pointer(), PointerMode::kDefault);
  MoveOver("PushButton8");
  MoveOver("Frame2");
  EXPECT_EQ(window.Pointer(), PointerMode::kDefault);
  window.SetPointer(PointerMode::kBusy);
  MoveOver("PushButton3");
  MoveOver("Frame2");
  MoveOver(nullptr);
  EXPECT_EQ(window.Pointer(), PointerMode::kBusy);
  const HCURSOR wait = ::LoadCursorW(nullptr, IDC_WAIT);
  for (const char* name : {"PushButton3", "Frame2", "Text2", "Option1"})
    EXPECT_EQ(window.CursorOver(Control(name)), wait) << name;
  EXPECT_EQ(window.CursorOver(window.Hwnd()), wait);
}

TEST_F(WiredWindow, HandCursorShowsOnlyInCustomMode) {
  ASSERT_TRUE(::CopyFileW(Wide(TARNVEX_RESOURCES "\\HAND-M.CUR").c_str(),
                          Wide(programFolder / "HAND-M.CUR").c_str(), FALSE));
  form.Form_Load();
  ASSERT_TRUE(window.HasCustomPointer());
  const HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
  EXPECT_EQ(window.CursorOver(Control("PushButton3")), arrow);
  MoveOver("PushButton3");
  const auto hand = static_cast<HCURSOR>(window.CursorOver(Control("PushButton3")));
  EXPECT_NE(hand, arrow);
  EXPECT_NE(hand, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(hand, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 7u);
  EXPECT_EQ(info.yHotspot, 0u);
  if (info.hbmMask)
    ::DeleteObject(info.hbmMask);
  if (info.hbmColor)
    ::DeleteObject(info.hbmColor);
  // Over a text box the text pointer, whatever the mode.
  EXPECT_EQ(window.CursorOver(Control("Text3")), nullptr);
  MoveOver("Frame2");
  EXPECT_EQ(window.CursorOver(Control("PushButton3")), arrow);
}

TEST_F(WiredWindow, WithoutACursorFileCustomModeShowsTheArrow) {
  MoveOver("PushButton3");
  EXPECT_EQ(window.Pointer(), PointerMode::kCustom);
  EXPECT_EQ(window.CursorOver(Control("PushButton3")), ::LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(WiredWindow, ACursorFileThatIsNoPictureIsReportedWithLine108) {
  testing::WriteBytes(programFolder / "HAND-M.CUR", "not a cursor");
  form.Form_Load();
  EXPECT_THAT(boxes.ReportedLines(), ::testing::ElementsAre(108));
  EXPECT_NE(boxes.shown[0].text.find(programFolder / "HAND-M.CUR"), std::string::npos);
  EXPECT_FALSE(window.HasCustomPointer());
}

TEST_F(WiredWindow, SkinFileRecoloursAndSkinsTheWindow) {
  ASSERT_TRUE(::CreateDirectoryW(Wide(programFolder / "x").c_str(), nullptr));
  ASSERT_TRUE(::CopyFileW(Wide(TARNVEX_RESOURCES "\\x\\o.cjs").c_str(),
                          Wide(programFolder / "x\\o.cjs").c_str(), FALSE));
  form.Form_Load();
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(skin.Applied());
  EXPECT_EQ(std::get<int32_t>(skin.GetProperty(kSkinOptions)), 1);
  // The example skin's colours: the window and frames, the options showing the frame through,
  // the buttons' text (their gradient face is left out: they stay white).
  EXPECT_EQ(window.BackColourOf("Form1"), RGB(0xe9, 0xef, 0xf2));
  EXPECT_EQ(window.BackColourOf("Frame1"), RGB(0xe9, 0xef, 0xf2));
  EXPECT_EQ(window.BackColourOf("Option2"), RGB(0xe9, 0xef, 0xf2));
  EXPECT_EQ(window.TextColourOf("Frame2"), RGB(0x16, 0x4f, 0x66));
  EXPECT_EQ(window.TextColourOf("PushButton3"), RGB(0x10, 0x39, 0x4a));
  EXPECT_EQ(window.BackColourOf("PushButton3"), RGB(255, 255, 255));
  EXPECT_EQ(window.BackColourOf("Text2"), RGB(255, 255, 255));
}

TEST_F(WiredWindow, ASkinWithoutColoursLeavesTheButtonFace) {
  ASSERT_TRUE(::CreateDirectoryW(Wide(programFolder / "x").c_str(), nullptr));
  testing::WriteBytes(programFolder / "x\\o.cjs", "QLineEdit:focus { color: red }\n");
  form.Form_Load();
  EXPECT_TRUE(boxes.shown.empty());
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  for (const char* name : {"Form1", "Frame1", "Frame2", "Option1", "Option2"})
    EXPECT_EQ(window.BackColourOf(name), face) << name;
  for (const char* name : {"PushButton2", "PushButton3", "PushButton7", "PushButton8"})
    EXPECT_EQ(window.BackColourOf(name), RGB(255, 255, 255)) << name;
}

TEST_F(WiredWindow, ASkinThatCannotBeLoadedIsReportedWithLine100AndKeepsTheFace) {
  ASSERT_TRUE(::CreateDirectoryW(Wide(programFolder / "x").c_str(), nullptr));
  testing::WriteBytes(programFolder / "x\\o.cjs", "QWidget { color: \xFF\xFE }");
  form.Form_Load();
  EXPECT_THAT(boxes.ReportedLines(), ::testing::ElementsAre(100));
  EXPECT_EQ(window.BackColourOf("Frame1"), ::GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(WindowText(H(window.Hwnd())), L"Tarnvex Card Exporter");
}

TEST_F(WiredWindow, AFolderNamedLikeTheSkinIsNoSkin) {
  ASSERT_TRUE(::CreateDirectoryW(Wide(programFolder / "x").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW(Wide(programFolder / "x\\o.cjs").c_str(), nullptr));
  form.Form_Load();
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(window.BackColourOf("Form1"), RGB(255, 255, 255));
  EXPECT_FALSE(skin.Applied());
}

TEST_F(WiredWindow, ClosingTheWindowEndsTheProgram) {
  ::SendMessageW(H(window.Hwnd()), WM_CLOSE, 0, 0);
  EXPECT_EQ(closed, 1);
}

TEST_F(WiredWindow, TheFourButtonsReachTheirHandlers) {
  openDialog.pick = "C:\\mail\\b.pst";
  ::SendMessageW(Control("PushButton8"), BM_CLICK, 0, 0);
  EXPECT_EQ(window.Text2(), "C:\\mail\\b.pst");
  EXPECT_EQ(Stored("PST File"), "C:\\mail\\b.pst");
  EXPECT_FALSE(window.Option2());  // picking a file leaves the source as it is

  browser.answer = "C:\\cards";
  ::SendMessageW(Control("PushButton2"), BM_CLICK, 0, 0);
  EXPECT_EQ(window.Text3(), "C:\\cards\\");
  EXPECT_EQ(Stored("LastFolderDot"), "C:\\cards");

  ::SendMessageW(Control("PushButton7"), BM_CLICK, 0, 0);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text.substr(0, 46), "If you are getting a query message that says\r\n");

  // Start Exporting with an output folder that does not exist.
  window.SetText3("C:\\no such folder\\");
  ::SendMessageW(Control("PushButton3"), BM_CLICK, 0, 0);
  EXPECT_EQ(boxes.shown.size(), 2u);
}

// The real dialogs and message boxes, answered by a watcher thread.
class WindowDialogs : public WiredWindow {
 protected:
  WindowDialogs()
      : realForm({window, window, skin, realOpen, realBrowser, settings, files, shell, realBoxes,
                  processes, clock, random, outlook, program, sleeper}) {
    realBoxes.SetOwner(window.Hwnd());
    window.Connect(realForm, realBoxes, [this] { ++closed; });
  }

  Win32FileOpenDialog realOpen{[this] { return window.Hwnd(); }};
  Win32FolderBrowser realBrowser;
  Win32MessageBoxes realBoxes;
  Form1 realForm;
};

TEST_F(WindowDialogs, ThePstPickerTakesTheChosenFile) {
  Sandbox folder;
  const std::string pst = folder / "Zoë.pst";
  testing::WriteBytes(pst, "x");
  std::wstring title, filter;
  DialogWatcher watcher([&](HWND dialog) {
    title = WindowText(dialog);
    wchar_t type[256] = {};
    ::GetDlgItemTextW(dialog, 0x470, type, 256);  // the file-type box
    filter = type;
    ::SetDlgItemTextW(dialog, 0x47c, Wide(pst).c_str());
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  ::SendMessageW(Control("PushButton8"), BM_CLICK, 0, 0);
  ASSERT_TRUE(watcher.Done());
  EXPECT_EQ(title, L"Select PST File");
  EXPECT_EQ(filter, L"All PST Files (*.pst)");
  EXPECT_EQ(window.Text2(), pst);
  EXPECT_EQ(Stored("PST File"), pst);
}

TEST_F(WindowDialogs, CancellingThePickerChangesNothing) {
  window.SetText2("C:\\kept.pst");
  DialogWatcher watcher([](HWND dialog) { ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
  ::SendMessageW(Control("PushButton8"), BM_CLICK, 0, 0);
  ASSERT_TRUE(watcher.Done());
  EXPECT_EQ(window.Text2(), "C:\\kept.pst");
  EXPECT_EQ(Stored("PST File"), "C:\\kept.pst");
}

// The text of the item selected in the folder browser's tree, or empty.
std::wstring SelectedFolder(HWND dialog) {
  const HWND tree = ::FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
  if (!tree)
    return {};
  const auto item =
      reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!item)
    return {};
  wchar_t text[MAX_PATH] = {};
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = text;
  data.cchTextMax = MAX_PATH;
  ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
  return text;
}

TEST_F(WindowDialogs, TheFolderBrowserOpensAtTheLastChosenFolder) {
  Sandbox folder;
  settings.Save("Dravelkin", "Tarnvex Card Exporter", "LastFolderDot", folder.path());
  window.SetText3("C:\\typed\\");
  std::wstring prompt;
  const std::wstring leaf = folder.folder().filename().wstring();
  // Wine's browser fills its tree and selects the folder it opens at in steps of its own, and
  // now and then, on a loaded machine, never selects it: OK only once the folder is selected;
  // a browser that has not selected it in 10 s is cancelled (which changes nothing) and opened
  // again, three times at most.
  bool selected = false;
  for (int attempt = 0; attempt < 3 && !selected; ++attempt) {
    DialogWatcher watcher([&](HWND dialog) {
      ::EnumChildWindows(
          dialog,
          [](HWND child, LPARAM data) -> BOOL {
            const std::wstring text = WindowText(child);
            if (text == L"Please select folder:")
              *reinterpret_cast<std::wstring*>(data) = text;
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&prompt));
      for (int wait = 0; wait < 400 && !selected; ++wait) {
        selected = SelectedFolder(dialog) == leaf;
        if (!selected)
          ::Sleep(25);
      }
      ::PostMessageW(dialog, WM_COMMAND, selected ? IDOK : IDCANCEL, 0);
    });
    ::SendMessageW(Control("PushButton2"), BM_CLICK, 0, 0);
    ASSERT_TRUE(watcher.Done());
  }
  EXPECT_EQ(prompt, L"Please select folder:");
  EXPECT_EQ(window.Text3(), folder.path() + "\\");
  EXPECT_EQ(Stored("Output Folder"), folder.path() + "\\");
  EXPECT_EQ(Stored("LastFolderDot"), folder.path());
}

TEST_F(WindowDialogs, CancellingTheFolderBrowserChangesNothing) {
  window.SetText3("C:\\typed\\");
  DialogWatcher watcher([](HWND dialog) { ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
  ::SendMessageW(Control("PushButton2"), BM_CLICK, 0, 0);
  ASSERT_TRUE(watcher.Done());
  EXPECT_EQ(window.Text3(), "C:\\typed\\");
  EXPECT_EQ(Stored("LastFolderDot"), "<absent>");
}

TEST_F(WindowDialogs, TheHelpAdviceIsAPlainBoxCaptionedWithTheTitle) {
  window.SetAppTitle("Tarnvex Card");
  std::wstring caption, text;
  bool icon = true;
  DialogWatcher watcher([&](HWND box) {
    caption = WindowText(box);
    text = testing::MessageText(box);
    icon = testing::ShowsIcon(box);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  ::SendMessageW(Control("PushButton7"), BM_CLICK, 0, 0);
  ASSERT_TRUE(watcher.Done());
  EXPECT_EQ(caption, L"Tarnvex Card");
  std::string expected;
  for (std::size_t i = 0; i < kSecurityAdvice.size(); ++i) {
    if (i > 0)
      expected += "\r\n\r\n";
    expected += kSecurityAdvice[i];
  }
  EXPECT_EQ(Utf8(text), expected);
  EXPECT_FALSE(icon);
}

TEST_F(WindowDialogs, TheErrorReportHasItsCaptionAndTheWarningIcon) {
  testing::WriteBytes(programFolder / "HAND-M.CUR", "not a cursor");
  std::wstring caption, text;
  bool icon = false;
  DialogWatcher watcher([&](HWND box) {
    caption = WindowText(box);
    text = testing::MessageText(box);
    icon = testing::ShowsIcon(box);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  realForm.Form_Load();
  ASSERT_TRUE(watcher.Done());
  EXPECT_EQ(caption, L"Application Error");
  EXPECT_TRUE(icon);
  EXPECT_THAT(Utf8(text),
              ::testing::HasSubstr("\r\nin Brismolt2021/08/31.Form1.Form_Load at line "
                                   "108\r\rPlease email screenshot of this message to "));
}

}  // namespace
}  // namespace tarnvex
