#pragma once

#include "platform/message_boxes.h"

namespace tarnvex {

// Message boxes of the system (MessageBoxW): the caption and text as given, the exclamation
// icon for a warning, one OK button. Throws Failure when the box cannot be shown.
class Win32MessageBoxes : public MessageBoxes {
 public:
  // The window the boxes belong to (its HWND), or null: then a box stands on its own and keeps
  // every window of the thread waiting while it is open.
  void SetOwner(void* window) { owner_ = window; }
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;

 private:
  void* owner_ = nullptr;
};

}  // namespace tarnvex
