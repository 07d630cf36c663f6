#pragma once

#include "platform/shell.h"

namespace tarnvex {

// The shell's special folders, by their CSIDL numbers (kCsidlDesktop: the user's desktop).
class Win32Shell : public Shell {
 public:
  std::string SpecialFolderPath(int32_t id) override;
};

}  // namespace tarnvex
