#include "platform/qt/qt_skin_engine.h"

#include <QFile>

#include "platform/failure.h"

namespace tarnvex {

QtSkinEngine::QtSkinEngine(QWidget& window, std::function<int32_t()> windowHandle)
    : window_(&window), windowHandle_(std::move(windowHandle)) {}

std::string QtSkinEngine::ReadSkinFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    throw Failure(file.errorString().toStdString());
  return file.readAll().toStdString();
}

bool QtSkinEngine::IsOwnWindow(int32_t handle) {
  return window_ && handle == windowHandle_();
}

void QtSkinEngine::DrawSkin(const std::string& sheet) {
  window_->setStyleSheet(QString::fromStdString(sheet));
}

}  // namespace tarnvex
