// The desktop's special folders by the freedesktop.org rules.
#include "platform/posix/xdg_shell.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tarnvex {
namespace {

namespace fs = std::filesystem;

TEST(DesktopFromUserDirs, ReadsTheDesktopEntry) {
  EXPECT_EQ(DesktopFromUserDirs("# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", "/home/u"),
            "/home/u/Schreibtisch");
  EXPECT_EQ(DesktopFromUserDirs("XDG_DESKTOP_DIR=\"/data/desk/\"\n", "/home/u"), "/data/desk");
  EXPECT_EQ(DesktopFromUserDirs("XDG_DESKTOP_DIR=\"$HOME/\"\n", "/home/u"), "/home/u");
  EXPECT_EQ(DesktopFromUserDirs("XDG_DESKTOP_DIR=\"relative\"\nXDG_MUSIC_DIR=\"/m\"\n", "/h"), "");
  EXPECT_EQ(DesktopFromUserDirs("", "/h"), "");
}

TEST(XdgShell, DesktopFromConfigurationOrHome) {
  const fs::path config = fs::temp_directory_path() / ("tarnvex-xdg-" + std::to_string(::getpid()));
  fs::create_directories(config);
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", "/home/tester", 1);
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  XdgShell shell;
  EXPECT_EQ(shell.SpecialFolderPath(kCsidlDesktop), "/home/tester/Desktop");
  std::ofstream(config / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n";
  EXPECT_EQ(shell.SpecialFolderPath(kCsidlDesktop), "/home/tester/Bureau");
  EXPECT_EQ(shell.SpecialFolderPath(5), "");
  ::setenv("HOME", oldHome.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  fs::remove_all(config);
}

}  // namespace
}  // namespace tarnvex
