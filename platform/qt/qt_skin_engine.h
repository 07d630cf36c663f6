#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "platform/skin_engine.h"

namespace tarnvex {

// The program's own skin engine: a skin file is a Qt style sheet (UTF-8 text), loaded by
// LoadSkin (id 2) and drawn on the window by ApplyWindow (id 3). The option flags (id 1) and the
// two Boolean settings (ids 5 and 10) are kept and read back; they change nothing in how the
// sheet is drawn.
class QtSkinEngine : public SkinEngine {
 public:
  // window: the one window the engine may skin, identified by its handle at ApplyWindow.
  QtSkinEngine(QWidget& window, std::function<int32_t()> windowHandle);

  DispatchValue Invoke(int32_t dispatchId, const std::vector<DispatchValue>& arguments) override;
  DispatchValue GetProperty(int32_t dispatchId) override;
  void SetProperty(int32_t dispatchId, const DispatchValue& value) override;

  const std::optional<QString>& LoadedSkin() const { return skin_; }
  bool Applied() const { return applied_; }

 private:
  QPointer<QWidget> window_;
  std::function<int32_t()> windowHandle_;
  std::optional<QString> skin_;
  int32_t options_ = 0;
  bool applyOptions_ = false;
  bool applyColours_ = false;
  bool applied_ = false;
};

}  // namespace tarnvex
