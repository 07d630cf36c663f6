#pragma once

// The main window Form1 as a native Win32 window. It owns its controls (a frame is the parent of
// the controls inside it), their fonts, colours and pointers, and routes the window's events to
// the core's Form1 handlers. Sizes come from the twip table, scaled with the window's monitor's
// dots per inch; the program is per-monitor DPI aware through its manifest, and the window
// lays itself out again when it moves to a monitor of another scale. No Win32 header here: the
// handles travel as void*.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/form1_view.h"
#include "platform/message_boxes.h"
#include "platform/program.h"
#include "platform/std/style_sheet.h"
#include "platform/window_services.h"

namespace tarnvex {

// The class name of the main window, for programs that look for it.
inline constexpr const char* kForm1ClassName = "TarnvexForm1";

class Win32Form1 : public Form1View, public WindowServices {
 public:
  // Creates the window hidden, with its initial caption "Form1" and its initial icon.
  // programFolder: where the skin and cursor files are looked up; empty: the executable's
  // folder. Throws Failure when the window cannot be created.
  explicit Win32Form1(std::string programFolder = {});
  ~Win32Form1() override;
  Win32Form1(const Win32Form1&) = delete;
  Win32Form1& operator=(const Win32Form1&) = delete;

  // Routes the window's events to the handlers; a failure escaping a handler is shown in a box
  // rather than unwinding through the system. onClose runs when the window is closed.
  void Connect(Form1Events& handlers, MessageBoxes& boxes, std::function<void()> onClose);

  // Shows the window centred on the work area of its monitor, with the first control focused.
  void ShowCentred();

  // Form1View
  bool Option1() override;
  bool Option2() override;
  std::string Text2() override;
  std::string Text3() override;
  void SetPointer(PointerMode mode) override;
  void SetOption1(bool selected) override;
  void SetOption2(bool selected) override;
  void SetText2(const std::string& text) override;
  void SetText3(const std::string& text) override;

  // WindowServices
  std::string ProgramFolder() override;
  void SetCaption(const std::string& caption) override;
  void SetApplicationIcon() override;
  std::string AppTitle() override;
  void SetAppTitle(const std::string& title) override;
  PointerMode Pointer() override;
  void LoadCustomPointer(const std::string& path) override;
  void SetBackColor(uint32_t oleColour) override;
  std::vector<ControlInfo> Controls() override;
  void SetControlBackColor(const std::string& controlName, uint32_t oleColour) override;
  int32_t WindowHandle() override;

  // Changes the look of one control, or of the window ("Form1"); throws Failure for a name
  // the window does not have.
  void ApplyLook(const std::string& controlName, const ControlLook& look);
  // The colours a control (or "Form1") is drawn with now, as COLORREF values: its background
  // (its container's where it shows that through) and its text.
  uint32_t BackColourOf(const std::string& controlName) const;
  uint32_t TextColourOf(const std::string& controlName) const;

  // The window's HWND, and a control's (null for the controls that are no windows).
  void* Hwnd() const;
  void* ControlHwnd(const std::string& controlName) const;
  // The cursor (HCURSOR) the window shows over one of its windows for the current pointer mode;
  // null where the control shows its own (the text boxes' text pointer).
  void* CursorOver(void* window) const;
  bool HasCustomPointer() const;
  // The dots per inch the window is laid out for.
  unsigned Dpi() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Runs the thread's message loop, with the window's keyboard navigation (Tab, arrows between the
// options), until the program ends; the exit code.
int RunMessageLoop(Win32Form1& window);

// Ends the program: before the message loop runs, Ended() tells the caller not to start it; once
// it runs (Running()), the process ends at once, with every window and handler of it.
class Win32Program : public Program {
 public:
  void End() override;
  bool Ended() const { return ended_; }
  // Called when the window is shown and the message loop is about to run.
  void Running() { running_ = true; }

 private:
  bool ended_ = false;
  bool running_ = false;
};

}  // namespace tarnvex
