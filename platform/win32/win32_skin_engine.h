#pragma once

// SkinFramework1 on Windows: the skin engine's protocol over the Win32 window, which draws of a
// skin what the style sheet reader takes from it (colours and fonts per control).

#include <cstdint>
#include <string>

#include "platform/std/skin_protocol.h"
#include "platform/win32/win32_form1.h"

namespace tarnvex {

class Win32SkinEngine : public SkinProtocol {
 public:
  explicit Win32SkinEngine(Win32Form1& window) : window_(window) {}

 protected:
  std::string ReadSkinFile(const std::string& path) override;
  void CheckSkin(const std::string& sheet) override;
  bool IsOwnWindow(int32_t handle) override;
  void DrawSkin(const std::string& sheet) override;

 private:
  Win32Form1& window_;
};

}  // namespace tarnvex
