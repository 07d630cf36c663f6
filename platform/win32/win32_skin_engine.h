#pragma once

// The program's own skin engine on Windows. A skin file is the same style sheet the Linux window
// reads (UTF-8 text in the syntax of Qt style sheets); the Win32 window takes what it can draw of
// it: per control, the background and text colours and the font's family, size and weight.
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

#include "platform/skin_engine.h"
#include "platform/win32/win32_form1.h"
#include "platform/window_services.h"

namespace tarnvex {

// What a skin sets, control by control, for the controls given (and "Form1", the window).
// Throws Failure for text that is no style sheet (an unclosed rule or comment).
std::map<std::string, ControlLook> SkinLooks(std::string_view sheet,
                                             const std::vector<ControlInfo>& controls);

// SkinFramework1 on Windows: LoadSkin (id 2) reads the file, ApplyWindow (id 3) applies it to the
// window whose handle it is given. The option flags (id 1) and the two Boolean settings (ids 5
// and 10) are kept and read back; they change nothing in how the skin is drawn.
class Win32SkinEngine : public SkinEngine {
 public:
  explicit Win32SkinEngine(Win32Form1& window) : window_(window) {}

  DispatchValue Invoke(int32_t dispatchId, const std::vector<DispatchValue>& arguments) override;
  DispatchValue GetProperty(int32_t dispatchId) override;
  void SetProperty(int32_t dispatchId, const DispatchValue& value) override;

  bool Applied() const { return applied_; }

 private:
  Win32Form1& window_;
  std::optional<std::string> skin_;
  int32_t options_ = 0;
  bool applyOptions_ = false;
  bool applyColours_ = false;
  bool applied_ = false;
};

}  // namespace tarnvex
