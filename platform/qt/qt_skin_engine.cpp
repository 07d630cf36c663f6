#include "platform/qt/qt_skin_engine.h"

#include <QFile>

#include "platform/failure.h"

namespace tarnvex {
namespace {

Failure TypeMismatch() {
  return Failure("Type mismatch");
}

const std::string& TextArgument(const std::vector<DispatchValue>& arguments, std::size_t index) {
  if (index >= arguments.size())
    throw Failure("Argument not optional");
  const auto* text = std::get_if<std::string>(&arguments[index]);
  if (!text)
    throw TypeMismatch();
  return *text;
}

int32_t NumberArgument(const std::vector<DispatchValue>& arguments, std::size_t index) {
  if (index >= arguments.size())
    throw Failure("Argument not optional");
  const auto* number = std::get_if<int32_t>(&arguments[index]);
  if (!number)
    throw TypeMismatch();
  return *number;
}

bool BooleanValue(const DispatchValue& value) {
  if (const auto* flag = std::get_if<bool>(&value))
    return *flag;
  if (const auto* number = std::get_if<int32_t>(&value))
    return *number != 0;
  throw TypeMismatch();
}

Failure UnknownMember(int32_t dispatchId) {
  return Failure("The skin engine has no member with dispatch id " + std::to_string(dispatchId));
}

}  // namespace

QtSkinEngine::QtSkinEngine(QWidget& window, std::function<int32_t()> windowHandle)
    : window_(&window), windowHandle_(std::move(windowHandle)) {}

DispatchValue QtSkinEngine::Invoke(int32_t dispatchId,
                                   const std::vector<DispatchValue>& arguments) {
  if (dispatchId == kSkinLoadSkin) {
    const std::string& path = TextArgument(arguments, 0);
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
      throw Failure("The skin file " + path +
                    " cannot be loaded: " + file.errorString().toStdString());
    }
    const QByteArray bytes = file.readAll();
    const QString sheet = QString::fromUtf8(bytes);
    if (sheet.toUtf8() != bytes) {
      throw Failure("The skin file " + path + " cannot be loaded: it is not UTF-8 text");
    }
    skin_ = sheet;
    return {};
  }
  if (dispatchId == kSkinApplyWindow) {
    const int32_t handle = NumberArgument(arguments, 0);
    if (!skin_)
      throw Failure("The skin engine has no skin loaded");
    if (!window_ || handle != windowHandle_()) {
      throw Failure("The skin engine cannot apply its skin to window " + std::to_string(handle));
    }
    window_->setStyleSheet(*skin_);
    applied_ = true;
    return {};
  }
  throw UnknownMember(dispatchId);
}

DispatchValue QtSkinEngine::GetProperty(int32_t dispatchId) {
  switch (dispatchId) {
    case kSkinOptions:
      return options_;
    case kSkinApplyOptions:
      return applyOptions_;
    case kSkinApplyColours:
      return applyColours_;
    default:
      throw UnknownMember(dispatchId);
  }
}

void QtSkinEngine::SetProperty(int32_t dispatchId, const DispatchValue& value) {
  switch (dispatchId) {
    case kSkinOptions:
      if (const auto* number = std::get_if<int32_t>(&value)) {
        options_ = *number;
        return;
      }
      throw TypeMismatch();
    case kSkinApplyOptions:
      applyOptions_ = BooleanValue(value);
      return;
    case kSkinApplyColours:
      applyColours_ = BooleanValue(value);
      return;
    default:
      throw UnknownMember(dispatchId);
  }
}

}  // namespace tarnvex
