#include "platform/posix/xdg_shell.h"

#include <fstream>
#include <sstream>

#include "platform/posix/user_folders.h"

namespace tarnvex {
namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

}  // namespace

std::string DesktopFromUserDirs(const std::string& userDirsText, const std::string& home) {
  std::istringstream lines(userDirsText);
  std::string line;
  std::string desktop;
  while (std::getline(lines, line)) {
    static constexpr std::string_view kKey = "XDG_DESKTOP_DIR=";
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, kKey.size(), kKey) != 0)
      continue;
    std::string value = line.substr(start + kKey.size());
    while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
      value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.rfind("$HOME", 0) == 0) {
      value = home + value.substr(5);
    } else if (value.empty() || value.front() != '/') {
      continue;  // only absolute paths and $HOME-relative ones are valid
    }
    desktop = WithoutTrailingSlashes(value);  // the last assignment wins, as in a shell
  }
  return desktop;
}

std::string XdgShell::SpecialFolderPath(int32_t id) {
  if (id != kCsidlDesktop)
    return {};
  const UserFolderSources sources = CurrentUserFolderSources();
  const std::string home = HomeFolder(sources).value_or("");
  if (const auto config = ConfigFolder(sources)) {
    std::ifstream file(*config + "/user-dirs.dirs");
    if (file) {
      std::stringstream text;
      text << file.rdbuf();
      if (std::string desktop = DesktopFromUserDirs(text.str(), home); !desktop.empty()) {
        return desktop;
      }
    }
  }
  return home.empty() ? std::string() : WithoutTrailingSlashes(home) + "/Desktop";
}

}  // namespace tarnvex
