#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/message_boxes.h"

namespace tarnvex {

// Modal Qt message boxes with one OK button, over the window once it is shown.
class QtMessageBoxes : public MessageBoxes {
 public:
  void SetWindow(QWidget* window) { window_ = window; }
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;

 private:
  QPointer<QWidget> window_;
};

// Message text with the system's CR LF and lone CR line breaks as Qt shows them.
QString MessageBoxText(const std::string& text);

}  // namespace tarnvex
