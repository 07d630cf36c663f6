#pragma once

#include <string>

#include "platform/shell.h"

namespace tarnvex {

// Special folders of the freedesktop.org desktop: the desktop folder is XDG_DESKTOP_DIR of the
// user-dirs configuration ($XDG_CONFIG_HOME/user-dirs.dirs), else $HOME/Desktop.
class XdgShell : public Shell {
 public:
  std::string SpecialFolderPath(int32_t id) override;
};

// The desktop folder named by user-dirs.dirs text, with $HOME expanded; empty when none is named.
std::string DesktopFromUserDirs(const std::string& userDirsText, const std::string& home);

}  // namespace tarnvex
