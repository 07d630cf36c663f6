#pragma once

#include <cstdint>
#include <string>

namespace tarnvex {

inline constexpr int32_t kCsidlDesktop = 0;

// The desktop shell's special folders.
class Shell {
 public:
  virtual ~Shell() = default;
  // The file-system path of the special folder with the given id, without a trailing separator;
  // empty text when the shell knows no such folder.
  virtual std::string SpecialFolderPath(int32_t id) = 0;
};

}  // namespace tarnvex
