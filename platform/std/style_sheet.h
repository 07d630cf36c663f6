#pragma once

// What a skin sets on a window that draws its controls itself. A skin file is a style sheet:
// UTF-8 text in the syntax of Qt style sheets, which the Qt window hands to Qt as it stands. A
// window that draws its own controls takes what it can of it: per control, the background and
// text colours and the font's family, size and weight.
//
// Understood: rules "selector, selector { property: value; ... }" with /* comments */, where a
// selector is "*", a type, "#Name" or "Type#Name" (types QWidget, which matches the window and
// every control, QGroupBox, QRadioButton, QLineEdit and QPushButton; names Form1, Frame1, Frame2,
// Option1, Option2, Text2, Text3, PushButton2, PushButton3, PushButton7, PushButton8). Properties
// background-color (and background with a plain colour), color, font-family (the first family),
// font-size (pt or px) and font-weight (normal, bold or 100 to 900). Colours: #rgb, #rrggbb,
// #aarrggbb (alpha ignored), rgb()/rgba(), a few names (white, black, red, green, blue, gray, grey,
// silver, yellow, navy, maroon, teal) and transparent (the container's background shows).
// Rules with more than one name or type win over rules with fewer, later rules over earlier ones.
// Left out, without a failure: selectors with pseudo-states (":hover"), sub-controls ("::title"),
// descendants or children; gradients and images; borders, margins, padding and every other
// property.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_services.h"

namespace tarnvex {

// What a skin may change of one control (or of the window, named "Form1"): colours as
// 0x00BBGGRR values (the byte order of OLE colours), the font's family, size in points and
// weight. Unset parts stay as they are.
struct ControlLook {
  // A background of this value shows the container's background through.
  static constexpr uint32_t kTransparent = 0xFFFFFFFF;

  std::optional<uint32_t> back;
  std::optional<uint32_t> fore;
  std::optional<std::string> fontFamily;
  std::optional<double> fontPoints;
  std::optional<int> fontWeight;

  bool ChangesFont() const { return fontFamily || fontPoints || fontWeight; }
  // Takes every part the other look sets.
  void Merge(const ControlLook& other) {
    if (other.back)
      back = other.back;
    if (other.fore)
      fore = other.fore;
    if (other.fontFamily)
      fontFamily = other.fontFamily;
    if (other.fontPoints)
      fontPoints = other.fontPoints;
    if (other.fontWeight)
      fontWeight = other.fontWeight;
  }
};

// What a skin sets, control by control, for the controls given (and "Form1", the window).
// Throws Failure for text that is no style sheet (an unclosed rule or comment).
std::map<std::string, ControlLook> SkinLooks(std::string_view sheet,
                                             const std::vector<ControlInfo>& controls);

}  // namespace tarnvex
