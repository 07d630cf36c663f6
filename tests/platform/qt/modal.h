#pragma once

// Answers the next modal window the code under test opens: the answer runs inside that window's
// own event loop, once it is shown.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace tarnvex::testing {

template <class Window>
void WhenModal(std::function<void(Window&)> answer) {
  QTimer::singleShot(0, [answer] {
    auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
    if (window) {
      answer(*window);
      return;
    }
    ADD_FAILURE() << "no modal window of the expected kind is open";
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QDialog*>(widget))
        dialog->reject();
    }
  });
}

}  // namespace tarnvex::testing
