#pragma once

// The main window's controls as both windows build them: name, kind, container, caption and
// place in twips, in tab order, and the client area's size. A window creates its controls by
// walking the table, so the order of creation is the order Tab moves in.

#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "platform/window_services.h"

namespace tarnvex {

inline constexpr int kForm1NoContainer = -1;

struct Form1Control {
  const char* name;
  ControlKind kind;
  // The index in kForm1Controls of the frame holding the control, or kForm1NoContainer for the
  // window itself.
  int container;
  const char* caption;
  // Relative to the container's client area.
  int left, top, width, height;
};

inline constexpr std::array<Form1Control, 10> kForm1Controls = {{
    {"Frame1", ControlKind::kFrame, kForm1NoContainer, "Source", 120, 600, 7800, 1245},
    {"Option1", ControlKind::kOptionButton, 0,
     "Outlook 2000/2002/2003/2007/2010/etc. (Outlook but not Outlook Express)", 240, 300, 6870,
     255},
    {"Option2", ControlKind::kOptionButton, 0, "PST File:", 240, 780, 1230, 255},
    {"Text2", ControlKind::kTextBox, 0, "", 1320, 720, 5565, 345},
    {"PushButton8", ControlKind::kPushButton, 0, "...", 6960, 720, 585, 345},
    {"PushButton3", ControlKind::kPushButton, kForm1NoContainer, "Start Exporting", 120, 2870, 7800,
     405},
    {"PushButton7", ControlKind::kPushButton, kForm1NoContainer, "Help", 120, 120, 7800, 405},
    {"Frame2", ControlKind::kFrame, kForm1NoContainer, "Save Results To This Folder", 120, 1920,
     7800, 825},
    {"Text3", ControlKind::kTextBox, 7, "", 225, 300, 6660, 345},
    {"PushButton2", ControlKind::kPushButton, 7, "...", 6960, 300, 600, 345},
}};

// The window's own name: the container of the controls outside the frames.
inline constexpr const char* kForm1Name = "Form1";

// The name of the control's container: its frame's, or kForm1Name.
constexpr const char* Form1ContainerName(const Form1Control& control) {
  return control.container == kForm1NoContainer
             ? kForm1Name
             : kForm1Controls[static_cast<std::size_t>(control.container)].name;
}

// The controls that are no windows of their own.
struct Form1Component {
  const char* name;
  ControlKind kind;
};

inline constexpr std::array<Form1Component, 2> kForm1Components = {{
    {"CommonDialog1", ControlKind::kCommonDialog},
    {"SkinFramework1", ControlKind::kSkinFramework},
}};

inline constexpr int kForm1ClientWidthTwips = 8040;
inline constexpr int kForm1ClientHeightTwips = 3390;

// 1440 twips an inch, rounded to the nearest pixel.
inline int TwipsToPixels(int twips, double dotsPerInch) {
  return static_cast<int>(std::lround(twips * dotsPerInch / 1440.0));
}

// The index in kForm1Controls of the control of that name, or -1.
constexpr int Form1ControlIndex(std::string_view name) {
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    if (name == kForm1Controls[i].name)
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace tarnvex
