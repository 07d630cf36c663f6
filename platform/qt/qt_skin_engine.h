#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "platform/std/skin_protocol.h"

namespace tarnvex {

// SkinFramework1 with Qt: the skin engine's protocol over a Qt window, which takes a skin (a Qt
// style sheet) as it stands.
class QtSkinEngine : public SkinProtocol {
 public:
  // window: the one window the engine may skin, identified by its handle at ApplyWindow.
  QtSkinEngine(QWidget& window, std::function<int32_t()> windowHandle);

 protected:
  std::string ReadSkinFile(const std::string& path) override;
  bool IsOwnWindow(int32_t handle) override;
  void DrawSkin(const std::string& sheet) override;

 private:
  QPointer<QWidget> window_;
  std::function<int32_t()> windowHandle_;
};

}  // namespace tarnvex
