#include "platform/win32/win32_form1.h"

#include <array>
#include <cmath>
#include <map>

#include "platform/failure.h"
#include "platform/form1_layout.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_resources.h"

namespace tarnvex {
namespace {

using win32::Narrow;
using win32::Wide;

constexpr wchar_t kClassName[] = L"TarnvexForm1";
constexpr int kFirstControlId = 1000;

// The controls the window's code names, by their index in the table.
constexpr int kOption1 = Form1ControlIndex("Option1");
constexpr int kOption2 = Form1ControlIndex("Option2");
constexpr int kText2 = Form1ControlIndex("Text2");
constexpr int kText3 = Form1ControlIndex("Text3");
constexpr int kPushButton2 = Form1ControlIndex("PushButton2");
constexpr int kPushButton3 = Form1ControlIndex("PushButton3");
constexpr int kPushButton7 = Form1ControlIndex("PushButton7");
constexpr int kPushButton8 = Form1ControlIndex("PushButton8");
static_assert(kOption1 >= 0 && kOption2 >= 0 && kText2 >= 0 && kText3 >= 0 && kPushButton2 >= 0 &&
              kPushButton3 >= 0 && kPushButton7 >= 0 && kPushButton8 >= 0);

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr BYTE kRussianCharset = 204;

COLORREF FromOle(uint32_t ole) {
  if (ole & 0x80000000u)
    return ::GetSysColor(static_cast<int>(ole & 0xFF));
  return static_cast<COLORREF>(ole & 0x00FFFFFF);
}

HFONT MakeFont(const std::string& family, double points, int weight, unsigned dpi) {
  const int height = -static_cast<int>(std::lround(points * dpi / 72.0));
  return ::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, kRussianCharset,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, Wide(family).c_str());
}

// The window procedures of the button class (frames, options, push buttons), kept when the
// window takes them over.
WNDPROC g_buttonProc = nullptr;

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PushButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace

struct Win32Form1::Impl {
  HWND window = nullptr;
  std::array<HWND, kForm1Controls.size()> controls{};
  unsigned dpi = USER_DEFAULT_SCREEN_DPI;
  std::string programFolder;
  std::string appTitle;
  PointerMode pointer = PointerMode::kDefault;
  HCURSOR customPointer = nullptr;
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;
  // Whether each option was selected when last seen, to tell a selection from a repeated click.
  std::array<bool, 2> selected{true, false};

  // Looks: index kForm1Controls.size() is the window itself.
  std::array<ControlLook, kForm1Controls.size() + 1> looks{};
  std::array<HFONT, kForm1Controls.size() + 1> fonts{};
  std::map<COLORREF, HBRUSH> brushes;

  Form1Events* handlers = nullptr;
  MessageBoxes* boxes = nullptr;
  std::function<void()> onClose;

  ~Impl() {
    if (window)
      ::DestroyWindow(window);
    for (HFONT font : fonts) {
      if (font)
        ::DeleteObject(font);
    }
    for (auto& [colour, brush] : brushes)
      ::DeleteObject(brush);
    if (customPointer)
      ::DestroyCursor(customPointer);
    if (bigIcon)
      ::DestroyIcon(bigIcon);
    if (smallIcon)
      ::DestroyIcon(smallIcon);
  }

  static constexpr std::size_t kWindowLook = kForm1Controls.size();

  int IndexOf(HWND control) const {
    for (std::size_t i = 0; i < controls.size(); ++i) {
      if (controls[i] == control)
        return static_cast<int>(i);
    }
    return -1;
  }

  std::size_t LookIndex(const std::string& name) const {
    if (name == kForm1Name)
      return kWindowLook;
    for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
      if (name == kForm1Controls[i].name)
        return i;
    }
    throw Failure("Form1 has no control named " + name);
  }

  HBRUSH Brush(COLORREF colour) {
    auto found = brushes.find(colour);
    if (found != brushes.end())
      return found->second;
    const HBRUSH brush = ::CreateSolidBrush(colour);
    brushes.emplace(colour, brush);
    return brush;
  }

  // The window is white until a skin recolours it; frames and options likewise.
  COLORREF BackOf(std::size_t look) const {
    if (look != kWindowLook && looks[look].back == ControlLook::kTransparent)
      return BackBehind(static_cast<int>(look));
    if (looks[look].back && *looks[look].back != ControlLook::kTransparent)
      return *looks[look].back;
    return RGB(255, 255, 255);
  }

  // The background behind a control: its own, else its container's.
  COLORREF BackBehind(int index) const {
    const ControlLook& look = looks[static_cast<std::size_t>(index)];
    if (look.back && *look.back != ControlLook::kTransparent)
      return *look.back;
    const int container = kForm1Controls[static_cast<std::size_t>(index)].container;
    return BackOf(container == kForm1NoContainer ? kWindowLook
                                                 : static_cast<std::size_t>(container));
  }

  // The window's font (Arial 9 pt bold) for the window, frames, options and text boxes; Arial
  // 11.25 pt bold for the push buttons; a skin's family, size or weight over either.
  void MakeFonts() {
    for (std::size_t i = 0; i < fonts.size(); ++i) {
      const bool button =
          i < kForm1Controls.size() && kForm1Controls[i].kind == ControlKind::kPushButton;
      const ControlLook& look = looks[i];
      // A control without its own font setting takes the window's skinned one.
      const ControlLook& form = looks[kWindowLook];
      const std::string family = look.fontFamily   ? *look.fontFamily
                                 : form.fontFamily ? *form.fontFamily
                                                   : "Arial";
      const double points = look.fontPoints   ? *look.fontPoints
                            : button          ? 11.25
                            : form.fontPoints ? *form.fontPoints
                                              : 9.0;
      const int weight = look.fontWeight   ? *look.fontWeight
                         : form.fontWeight ? *form.fontWeight
                                           : FW_BOLD;
      const HFONT font = MakeFont(family, points, weight, dpi);
      if (i < kForm1Controls.size() && controls[i])
        ::SendMessageW(controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      if (fonts[i])
        ::DeleteObject(fonts[i]);
      fonts[i] = font;
    }
  }

  SIZE WindowSize() const {
    RECT rect{0, 0, TwipsToPixels(kForm1ClientWidthTwips, dpi),
              TwipsToPixels(kForm1ClientHeightTwips, dpi)};
    ::AdjustWindowRectExForDpi(&rect, kStyle, FALSE, kExStyle, dpi);
    return {rect.right - rect.left, rect.bottom - rect.top};
  }

  void Layout() {
    for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
      const Form1Control& c = kForm1Controls[i];
      ::SetWindowPos(controls[i], nullptr, TwipsToPixels(c.left, dpi), TwipsToPixels(c.top, dpi),
                     TwipsToPixels(c.width, dpi), TwipsToPixels(c.height, dpi),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }

  void Dispatch(void (Form1Events::*event)()) {
    if (!handlers)
      return;
    try {
      (handlers->*event)();
    } catch (const std::exception& failure) {
      // No failure may unwind through the system's message dispatch.
      if (boxes) {
        try {
          boxes->Show(failure.what(), appTitle, MessageIcon::kWarning);
        } catch (const std::exception&) {
        }
      }
    }
  }

  bool Checked(int option) const {
    return ::SendMessageW(controls[static_cast<std::size_t>(option)], BM_GETCHECK, 0, 0) ==
           BST_CHECKED;
  }

  // An option reports its click once the group has moved the selection to it: a click on the
  // option that was selected already is none.
  void OptionClicked(int option) {
    const bool was = selected[option == kOption1 ? 0 : 1];
    selected = {Checked(kOption1), Checked(kOption2)};
    if (!Checked(option) || was)
      return;
    Dispatch(option == kOption1 ? &Form1Events::Option1_Click : &Form1Events::Option2_Click);
  }

  void SetOption(int option, bool select) {
    const HWND control = controls[static_cast<std::size_t>(option)];
    if (!select) {
      ::SendMessageW(control, BM_SETCHECK, BST_UNCHECKED, 0);
      selected = {Checked(kOption1), Checked(kOption2)};
      return;
    }
    const int other = option == kOption1 ? kOption2 : kOption1;
    ::SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(controls[static_cast<std::size_t>(other)], BM_SETCHECK, BST_UNCHECKED, 0);
    selected = {Checked(kOption1), Checked(kOption2)};
    // Selecting the selected option is a click all the same.
    Dispatch(option == kOption1 ? &Form1Events::Option1_Click : &Form1Events::Option2_Click);
  }

  std::string Text(int index) const {
    const HWND control = controls[static_cast<std::size_t>(index)];
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
    return Narrow(text);
  }

  // Setting a text box raises its change event, unless the text stays as it was.
  void SetText(int index, const std::string& text) {
    if (Text(index) == text)
      return;
    if (!::SetWindowTextW(controls[static_cast<std::size_t>(index)], Wide(text).c_str())) {
      throw Failure(std::string("Cannot set the text of ") + kForm1Controls[index].name + ": " +
                    win32::SystemReason(::GetLastError()) + ".");
    }
  }

  bool IsOurs(HWND target) const { return target == window || ::IsChild(window, target); }

  HCURSOR CursorOver(HWND target) const {
    if (pointer == PointerMode::kBusy)
      return ::LoadCursorW(nullptr, IDC_WAIT);
    const int index = IndexOf(target);
    if (index >= 0 && kForm1Controls[static_cast<std::size_t>(index)].kind == ControlKind::kTextBox)
      return nullptr;
    if (pointer == PointerMode::kCustom && customPointer)
      return customPointer;
    return ::LoadCursorW(nullptr, IDC_ARROW);
  }

  // Shows the pointer of the current mode at once when the mouse is over the window.
  void ShowPointer() {
    POINT at{};
    if (!::GetCursorPos(&at))
      return;
    const HWND under = ::WindowFromPoint(at);
    if (!under || !IsOurs(under))
      return;
    if (const HCURSOR cursor = CursorOver(under))
      ::SetCursor(cursor);
  }

  void DrawPushButton(const DRAWITEMSTRUCT& item) {
    const int index = IndexOf(item.hwndItem);
    if (index < 0)
      return;
    const auto i = static_cast<std::size_t>(index);
    RECT rect = item.rcItem;
    const COLORREF face = !looks[i].back                                ? RGB(255, 255, 255)
                          : *looks[i].back == ControlLook::kTransparent ? BackBehind(index)
                                                                        : *looks[i].back;
    ::FillRect(item.hDC, &rect, Brush(face));
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    ::DrawEdge(item.hDC, &rect, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    const HGDIOBJ oldFont = ::SelectObject(item.hDC, fonts[i]);
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, looks[i].fore ? *looks[i].fore : ::GetSysColor(COLOR_BTNTEXT));
    RECT text = rect;
    if (pressed)
      ::OffsetRect(&text, 1, 1);
    // No access keys: an ampersand is shown as it is.
    ::DrawTextW(item.hDC, Wide(kForm1Controls[i].caption).c_str(), -1, &text,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(item.hDC, oldFont);
    if (item.itemState & ODS_FOCUS) {
      RECT focus = rect;
      ::InflateRect(&focus, -4, -4);
      ::DrawFocusRect(item.hDC, &focus);
    }
  }

  // Colours of the options, frames and text boxes: a white (or skinned) background, the
  // window text colour unless a skin names one; text boxes keep the system's colours.
  LRESULT ControlColour(UINT message, HDC dc, HWND control, WPARAM wParam, LPARAM lParam) {
    const int index = IndexOf(control);
    if (index < 0)
      return ::DefWindowProcW(window, message, wParam, lParam);
    const ControlLook& look = looks[static_cast<std::size_t>(index)];
    if (kForm1Controls[static_cast<std::size_t>(index)].kind == ControlKind::kTextBox) {
      if (!look.back && !look.fore)
        return ::DefWindowProcW(window, message, wParam, lParam);
      const COLORREF back = look.back && *look.back != ControlLook::kTransparent
                                ? *look.back
                                : ::GetSysColor(COLOR_WINDOW);
      ::SetBkColor(dc, back);
      ::SetTextColor(dc, look.fore ? *look.fore : ::GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(Brush(back));
    }
    const COLORREF back = BackBehind(index);
    ::SetBkColor(dc, back);
    ::SetTextColor(dc, look.fore ? *look.fore : ::GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(Brush(back));
  }

  LRESULT Command(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == IDOK && lParam == 0) {
      // Enter: the window has no default button; a focused push button takes it as a click.
      const int focused = IndexOf(::GetFocus());
      if (focused >= 0 &&
          kForm1Controls[static_cast<std::size_t>(focused)].kind == ControlKind::kPushButton)
        ClickButton(focused);
      return 0;
    }
    const int index = id - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(kForm1Controls.size()) ||
        reinterpret_cast<HWND>(lParam) != controls[static_cast<std::size_t>(index)])
      return 0;
    switch (kForm1Controls[static_cast<std::size_t>(index)].kind) {
      case ControlKind::kOptionButton:
        if (code == BN_CLICKED || code == BN_DOUBLECLICKED)
          OptionClicked(index);
        break;
      case ControlKind::kTextBox:
        if (code == EN_CHANGE)
          Dispatch(index == kText2 ? &Form1Events::Text2_Change : &Form1Events::Text3_Change);
        break;
      case ControlKind::kPushButton:
        if (code == BN_CLICKED || code == BN_DOUBLECLICKED)
          ClickButton(index);
        break;
      default:
        break;
    }
    return 0;
  }

  void ClickButton(int index) {
    switch (index) {
      case kPushButton2:
        Dispatch(&Form1Events::PushButton2_Click);
        break;
      case kPushButton3:
        Dispatch(&Form1Events::PushButton3_Click);
        break;
      case kPushButton7:
        Dispatch(&Form1Events::PushButton7_Click);
        break;
      case kPushButton8:
        Dispatch(&Form1Events::PushButton8_Click);
        break;
      default:
        break;
    }
  }

  void DpiChanged(unsigned newDpi, const RECT& suggested) {
    dpi = newDpi;
    MakeFonts();
    Layout();
    ::SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(window, nullptr, TRUE);
  }
};

namespace {

Win32Form1::Impl* ImplOf(HWND window) {
  const HWND root = ::GetAncestor(window, GA_ROOT);
  return reinterpret_cast<Win32Form1::Impl*>(::GetWindowLongPtrW(root, GWLP_USERDATA));
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  auto* impl = reinterpret_cast<Win32Form1::Impl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!impl || !impl->window)
    return ::DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_COMMAND:
      return impl->Command(wParam, lParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return impl->ControlColour(message, reinterpret_cast<HDC>(wParam),
                                 reinterpret_cast<HWND>(lParam), wParam, lParam);
    case WM_DRAWITEM:
      impl->DrawPushButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_ERASEBKGND: {
      RECT client{};
      ::GetClientRect(window, &client);
      ::FillRect(reinterpret_cast<HDC>(wParam), &client,
                 impl->Brush(impl->BackOf(Win32Form1::Impl::kWindowLook)));
      return 1;
    }
    case WM_MOUSEMOVE:
      impl->Dispatch(&Form1Events::Background_MouseMove);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && impl->IsOurs(reinterpret_cast<HWND>(wParam))) {
        if (const HCURSOR cursor = impl->CursorOver(reinterpret_cast<HWND>(wParam))) {
          ::SetCursor(cursor);
          return TRUE;
        }
      }
      break;
    case WM_CLOSE:
      // Closing cannot be refused: the program ends.
      if (impl->onClose)
        impl->onClose();
      return 0;
    case WM_DPICHANGED:
      impl->DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// Frames pass their controls' notifications on to the window, take their own mouse moves as
// moves over the background, and paint their inside in their own colour.
LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Form1::Impl* impl = ImplOf(frame);
  if (impl && impl->window) {
    switch (message) {
      case WM_COMMAND:
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORBTN:
      case WM_DRAWITEM:
        return ::SendMessageW(impl->window, message, wParam, lParam);
      case WM_NCHITTEST:
        // A group box lets the mouse through to what lies below; this one takes it.
        return HTCLIENT;
      case WM_MOUSEMOVE:
        impl->Dispatch(&Form1Events::Background_MouseMove);
        return 0;
      case WM_ERASEBKGND: {
        RECT client{};
        ::GetClientRect(frame, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client,
                   impl->Brush(impl->BackBehind(impl->IndexOf(frame))));
        return 1;
      }
      default:
        break;
    }
  }
  return ::CallWindowProcW(g_buttonProc, frame, message, wParam, lParam);
}

LRESULT CALLBACK PushButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEMOVE) {
    if (Win32Form1::Impl* impl = ImplOf(button); impl && impl->window)
      impl->Dispatch(&Form1Events::PushButton_MouseMove);
  }
  return ::CallWindowProcW(g_buttonProc, button, message, wParam, lParam);
}

void RegisterFormClass(HINSTANCE instance) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExW(instance, kClassName, &existing))
    return;
  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = FormProc;
  form.hInstance = instance;
  // The initial icon; the application icon replaces it at start-up.
  form.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(TARNVEX_ICON_INITIAL));
  form.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  form.lpszClassName = kClassName;
  if (!::RegisterClassExW(&form)) {
    throw Failure(
        "Cannot register the main window's class: " + win32::SystemReason(::GetLastError()) + ".");
  }
}

std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return {};
    if (length < path.size()) {
      path.resize(length);
      return Narrow(path);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

Win32Form1::Win32Form1(std::string programFolder) : impl_(std::make_unique<Impl>()) {
  Impl& d = *impl_;
  d.programFolder = std::move(programFolder);
  // The application title starts as the program's name.
  const std::string executable = ExecutablePath();
  std::string name = executable.substr(executable.find_last_of("\\/") + 1);
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
    name.resize(dot);
  d.appTitle = name.empty() ? "tarnvex-card-exporter" : name;

  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  RegisterFormClass(instance);
  const HWND window =
      ::CreateWindowExW(kExStyle, kClassName, L"Form1", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, &d);
  if (!window) {
    throw Failure("Cannot create the main window: " + win32::SystemReason(::GetLastError()) + ".");
  }
  d.dpi = ::GetDpiForWindow(window);
  if (d.dpi == 0)
    d.dpi = USER_DEFAULT_SCREEN_DPI;

  // Created in tab order: the order of the windows is the order Tab moves in.
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    const Form1Control& c = kForm1Controls[i];
    const HWND parent = c.container == kForm1NoContainer
                            ? window
                            : d.controls[static_cast<std::size_t>(c.container)];
    const wchar_t* windowClass = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (c.kind) {
      case ControlKind::kFrame:
        style |= BS_GROUPBOX | WS_CLIPCHILDREN;
        // Tab moves on into the controls inside.
        exStyle |= WS_EX_CONTROLPARENT;
        break;
      case ControlKind::kOptionButton:
        style |= BS_AUTORADIOBUTTON | WS_TABSTOP;
        if (static_cast<int>(i) == kOption1)
          style |= WS_GROUP;  // the option group starts here
        break;
      case ControlKind::kTextBox:
        windowClass = L"EDIT";
        // No length limit beyond the system's; a new group after the options.
        style |= ES_AUTOHSCROLL | ES_LEFT | WS_TABSTOP | WS_GROUP;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
      case ControlKind::kPushButton:
        // Drawn by the window: white, in the button text colour; never a default button.
        style |= BS_OWNERDRAW | WS_TABSTOP | WS_GROUP;
        break;
      default:
        break;
    }
    const HWND control = ::CreateWindowExW(
        exStyle, windowClass, Wide(c.caption).c_str(), style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(i))),
        instance, nullptr);
    if (!control) {
      throw Failure(std::string("Cannot create the control ") + c.name + ": " +
                    win32::SystemReason(::GetLastError()) + ".");
    }
    d.controls[i] = control;
    if (c.kind == ControlKind::kTextBox)
      ::SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // as long as the system allows
    if (c.kind == ControlKind::kFrame || c.kind == ControlKind::kPushButton) {
      const auto previous = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
          control, GWLP_WNDPROC,
          reinterpret_cast<LONG_PTR>(c.kind == ControlKind::kFrame ? FrameProc : PushButtonProc)));
      if (!g_buttonProc)
        g_buttonProc = previous;
    }
  }
  ::SendMessageW(d.controls[kOption1], BM_SETCHECK, BST_CHECKED, 0);
  d.MakeFonts();
  d.Layout();
  const SIZE size = d.WindowSize();
  ::SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Messages from now on reach the window's state.
  d.window = window;
}

Win32Form1::~Win32Form1() = default;

void Win32Form1::Connect(Form1Events& handlers, MessageBoxes& boxes,
                         std::function<void()> onClose) {
  impl_->handlers = &handlers;
  impl_->boxes = &boxes;
  impl_->onClose = std::move(onClose);
}

void Win32Form1::ShowCentred() {
  Impl& d = *impl_;
  const SIZE size = d.WindowSize();
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  RECT area{0, 0, size.cx, size.cy};
  if (::GetMonitorInfoW(::MonitorFromWindow(d.window, MONITOR_DEFAULTTOPRIMARY), &monitor))
    area = monitor.rcWork;
  const int left = area.left + ((area.right - area.left) - size.cx) / 2;
  const int top = area.top + ((area.bottom - area.top) - size.cy) / 2;
  ::SetWindowPos(d.window, nullptr, left, top, size.cx, size.cy, SWP_NOZORDER);
  ::ShowWindow(d.window, SW_SHOW);
  ::UpdateWindow(d.window);
  ::SetForegroundWindow(d.window);
  ::SetFocus(d.controls[d.Checked(kOption2) ? kOption2 : kOption1]);
}

bool Win32Form1::Option1() {
  return impl_->Checked(kOption1);
}
bool Win32Form1::Option2() {
  return impl_->Checked(kOption2);
}
std::string Win32Form1::Text2() {
  return impl_->Text(kText2);
}
std::string Win32Form1::Text3() {
  return impl_->Text(kText3);
}
void Win32Form1::SetOption1(bool selected) {
  impl_->SetOption(kOption1, selected);
}
void Win32Form1::SetOption2(bool selected) {
  impl_->SetOption(kOption2, selected);
}
void Win32Form1::SetText2(const std::string& text) {
  impl_->SetText(kText2, text);
}
void Win32Form1::SetText3(const std::string& text) {
  impl_->SetText(kText3, text);
}

std::string Win32Form1::ProgramFolder() {
  if (!impl_->programFolder.empty())
    return impl_->programFolder;
  const std::string executable = ExecutablePath();
  if (executable.empty()) {
    throw Failure("Cannot find the program's folder: " + win32::SystemReason(::GetLastError()) +
                  ".");
  }
  std::string folder = executable.substr(0, executable.find_last_of("\\/"));
  // A drive's root keeps its separator.
  if (folder.size() == 2 && folder[1] == ':')
    folder += '\\';
  return folder;
}

void Win32Form1::SetCaption(const std::string& caption) {
  if (!::SetWindowTextW(impl_->window, Wide(caption).c_str()))
    throw Failure("Cannot set the window's caption: " + win32::SystemReason(::GetLastError()) +
                  ".");
}

void Win32Form1::SetApplicationIcon() {
  Impl& d = *impl_;
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  auto load = [&](int widthMetric, int heightMetric) {
    const auto icon = static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(TARNVEX_ICON_APPLICATION), IMAGE_ICON,
                     ::GetSystemMetricsForDpi(widthMetric, d.dpi),
                     ::GetSystemMetricsForDpi(heightMetric, d.dpi), LR_DEFAULTCOLOR));
    if (!icon) {
      throw Failure("The application icon cannot be loaded from the program's resources: " +
                    win32::SystemReason(::GetLastError()) + ".");
    }
    return icon;
  };
  const HICON big = load(SM_CXICON, SM_CYICON);
  const HICON small = load(SM_CXSMICON, SM_CYSMICON);
  ::SendMessageW(d.window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  ::SendMessageW(d.window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (d.bigIcon)
    ::DestroyIcon(d.bigIcon);
  if (d.smallIcon)
    ::DestroyIcon(d.smallIcon);
  d.bigIcon = big;
  d.smallIcon = small;
}

std::string Win32Form1::AppTitle() {
  return impl_->appTitle;
}
void Win32Form1::SetAppTitle(const std::string& title) {
  impl_->appTitle = title;
}

PointerMode Win32Form1::Pointer() {
  return impl_->pointer;
}

void Win32Form1::SetPointer(PointerMode mode) {
  impl_->pointer = mode;
  impl_->ShowPointer();
}

void Win32Form1::LoadCustomPointer(const std::string& path) {
  win32::CheckWellFormed(path);
  const auto cursor = static_cast<HCURSOR>(
      ::LoadImageW(nullptr, Wide(path).c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE));
  if (!cursor) {
    throw Failure("The cursor file " + path +
                  " cannot be loaded as a picture: " + win32::SystemReason(::GetLastError()) + ".");
  }
  if (impl_->customPointer)
    ::DestroyCursor(impl_->customPointer);
  impl_->customPointer = cursor;
  if (impl_->pointer == PointerMode::kCustom)
    impl_->ShowPointer();
}

void Win32Form1::SetBackColor(uint32_t oleColour) {
  impl_->looks[Impl::kWindowLook].back = FromOle(oleColour);
  ::InvalidateRect(impl_->window, nullptr, TRUE);
}

std::vector<ControlInfo> Win32Form1::Controls() {
  std::vector<ControlInfo> controls;
  for (const Form1Control& c : kForm1Controls)
    controls.push_back({c.name, c.kind});
  for (const Form1Component& c : kForm1Components)
    controls.push_back({c.name, c.kind});
  return controls;
}

void Win32Form1::SetControlBackColor(const std::string& controlName, uint32_t oleColour) {
  ControlLook look;
  look.back = FromOle(oleColour);
  ApplyLook(controlName, look);
}

void Win32Form1::ApplyLook(const std::string& controlName, const ControlLook& look) {
  Impl& d = *impl_;
  const std::size_t index = d.LookIndex(controlName);
  d.looks[index].Merge(look);
  if (look.ChangesFont())
    d.MakeFonts();
  ::RedrawWindow(d.window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

uint32_t Win32Form1::BackColourOf(const std::string& controlName) const {
  const std::size_t index = impl_->LookIndex(controlName);
  if (index == Impl::kWindowLook)
    return impl_->BackOf(index);
  const ControlLook& look = impl_->looks[index];
  switch (kForm1Controls[index].kind) {
    case ControlKind::kTextBox:
      return look.back && *look.back != ControlLook::kTransparent ? *look.back
                                                                  : ::GetSysColor(COLOR_WINDOW);
    case ControlKind::kPushButton:
      return !look.back                                ? RGB(255, 255, 255)
             : *look.back == ControlLook::kTransparent ? impl_->BackBehind(static_cast<int>(index))
                                                       : *look.back;
    default:
      return impl_->BackBehind(static_cast<int>(index));
  }
}

uint32_t Win32Form1::TextColourOf(const std::string& controlName) const {
  const std::size_t index = impl_->LookIndex(controlName);
  const ControlLook& look = impl_->looks[index];
  if (look.fore)
    return *look.fore;
  if (index != Impl::kWindowLook && kForm1Controls[index].kind == ControlKind::kPushButton)
    return ::GetSysColor(COLOR_BTNTEXT);
  return ::GetSysColor(COLOR_WINDOWTEXT);
}

int32_t Win32Form1::WindowHandle() {
  // Window handles keep their value in 32 bits on 64-bit Windows.
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(impl_->window));
}

void* Win32Form1::Hwnd() const {
  return impl_->window;
}

void* Win32Form1::ControlHwnd(const std::string& controlName) const {
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    if (controlName == kForm1Controls[i].name)
      return impl_->controls[i];
  }
  return nullptr;
}

void* Win32Form1::CursorOver(void* window) const {
  return impl_->CursorOver(static_cast<HWND>(window));
}

bool Win32Form1::HasCustomPointer() const {
  return impl_->customPointer != nullptr;
}

unsigned Win32Form1::Dpi() const {
  return impl_->dpi;
}

int RunMessageLoop(Win32Form1& window) {
  const auto form = static_cast<HWND>(window.Hwnd());
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageW(form, &message))
      continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

void Win32Program::End() {
  ended_ = true;
  if (running_)
    ::ExitProcess(0);
}

}  // namespace tarnvex
