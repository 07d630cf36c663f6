#pragma once

// The controls of the main window as its handlers see them. The window implements it; setting a
// text or selecting an option raises the control's own change or click event, as a user's edit
// or click would.

#include <string>

#include "platform/export_view.h"

namespace tarnvex {

class Form1View : public ExportView {
 public:
  // Selecting an option clears the other one of the group; clearing one leaves the other as
  // it is, so neither may be selected. Only selecting raises the click event.
  virtual void SetOption1(bool selected) = 0;
  virtual void SetOption2(bool selected) = 0;
  virtual void SetText2(const std::string& text) = 0;
  virtual void SetText3(const std::string& text) = 0;
};

// The window's events, as the window reports them to its handlers.
class Form1Events {
 public:
  virtual ~Form1Events() = default;
  virtual void Option1_Click() = 0;
  virtual void Option2_Click() = 0;
  virtual void Text2_Change() = 0;
  virtual void Text3_Change() = 0;
  virtual void PushButton2_Click() = 0;
  virtual void PushButton3_Click() = 0;
  virtual void PushButton7_Click() = 0;
  virtual void PushButton8_Click() = 0;
  // Mouse moves over any push button, and over the window's background or a frame.
  virtual void PushButton_MouseMove() = 0;
  virtual void Background_MouseMove() = 0;
};

}  // namespace tarnvex
