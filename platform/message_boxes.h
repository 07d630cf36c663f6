#pragma once

#include <string>

namespace tarnvex {

enum class MessageIcon { kNone, kWarning };

// Modal message boxes with one OK button. Show returns when the box has been closed.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void Show(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

}  // namespace tarnvex
