#include "platform/qt/qt_message_boxes.h"

#include <QMessageBox>

namespace tarnvex {

QString MessageBoxText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

void QtMessageBoxes::Show(const std::string& text, const std::string& caption, MessageIcon icon) {
  // Before the window is shown (during start-up) the box stands on its own.
  QWidget* parent = window_ && window_->isVisible() ? window_.data() : nullptr;
  QMessageBox box(icon == MessageIcon::kWarning ? QMessageBox::Warning : QMessageBox::NoIcon,
                  QString::fromStdString(caption), MessageBoxText(text), QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  box.exec();
}

}  // namespace tarnvex
