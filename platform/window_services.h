#pragma once

// What the core asks of the main window and the running program beyond its controls: caption,
// icon, application title, pointer, background colours and the window handle. The window owns
// all of it; the core only sends requests. Every call may throw Failure.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pointer_mode.h"

namespace tarnvex {

// OLE colours: 0x00BBGGRR, or a system colour index with the high bit set.
inline constexpr uint32_t kOleWhite = 0x00FFFFFF;
inline constexpr uint32_t kOleButtonFace = 0x8000000F;        // COLOR_BTNFACE
inline constexpr uint32_t kOleButtonText = 0x80000012;        // COLOR_BTNTEXT
inline constexpr uint32_t kOleWindowBackground = 0x80000005;  // COLOR_WINDOW
inline constexpr uint32_t kOleWindowText = 0x80000008;        // COLOR_WINDOWTEXT

enum class ControlKind {
  kFrame,
  kOptionButton,
  kCheckBox,
  kLabel,
  kTextBox,
  kPushButton,
  kCommonDialog,
  kSkinFramework,
};

struct ControlInfo {
  std::string name;
  ControlKind kind;
};

class WindowServices {
 public:
  virtual ~WindowServices() = default;

  // The folder holding the program's executable, without a trailing separator (except a root).
  virtual std::string ProgramFolder() = 0;

  virtual void SetCaption(const std::string& caption) = 0;
  // Gives the window the application icon, the one the program is installed with.
  virtual void SetApplicationIcon() = 0;

  // The caption of message boxes that name none of their own.
  virtual std::string AppTitle() = 0;
  virtual void SetAppTitle(const std::string& title) = 0;

  virtual PointerMode Pointer() = 0;
  virtual void SetPointer(PointerMode mode) = 0;
  // Loads the image file as the custom pointer (PointerMode::kCustom); throws Failure, naming
  // the file, when it cannot be read as a picture. Until one is loaded kCustom shows the arrow.
  virtual void LoadCustomPointer(const std::string& path) = 0;

  virtual void SetBackColor(uint32_t oleColour) = 0;
  // Every control of the window, those inside frames included, in creation order.
  virtual std::vector<ControlInfo> Controls() = 0;
  virtual void SetControlBackColor(const std::string& controlName, uint32_t oleColour) = 0;

  // The window's handle as a 32-bit number, for the skin engine and the dialogs it owns.
  virtual int32_t WindowHandle() = 0;
};

}  // namespace tarnvex
