#pragma once

// The skin engine's members as the start-up drives them, by dispatch id, for every window: the
// argument checks, LoadSkin (read and check a skin file), ApplyWindow (draw it on the one window
// the engine serves), and the option flags and the two Boolean settings, which are kept and read
// back but change nothing in how a skin is drawn. What a skin looks like on a window is the
// window's own part.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/skin_engine.h"

namespace tarnvex {

class SkinProtocol : public SkinEngine {
 public:
  DispatchValue Invoke(int32_t dispatchId, const std::vector<DispatchValue>& arguments) final;
  DispatchValue GetProperty(int32_t dispatchId) final;
  void SetProperty(int32_t dispatchId, const DispatchValue& value) final;

  // The text of the skin last loaded.
  const std::optional<std::string>& LoadedSkin() const { return skin_; }
  bool Applied() const { return applied_; }

 protected:
  // The bytes of the skin file; throws Failure whose text says why it cannot be read.
  virtual std::string ReadSkinFile(const std::string& path) = 0;
  // Throws Failure when the sheet (UTF-8 text) is no skin the window can draw.
  virtual void CheckSkin(const std::string& sheet) { (void)sheet; }
  // Whether the handle is that of the window the engine serves.
  virtual bool IsOwnWindow(int32_t handle) = 0;
  virtual void DrawSkin(const std::string& sheet) = 0;

 private:
  void LoadSkin(const std::string& path);
  void ApplyWindow(int32_t handle);

  std::optional<std::string> skin_;
  int32_t options_ = 0;
  bool applyOptions_ = false;
  bool applyColours_ = false;
  bool applied_ = false;
};

}  // namespace tarnvex
