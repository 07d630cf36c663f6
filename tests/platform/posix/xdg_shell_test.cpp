// The desktop's special folders by the freedesktop.org rules.
#include "platform/posix/xdg_shell.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/sandbox/sandbox.h"

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
  const testing::Sandbox sandbox;
  const fs::path config = sandbox.folder();
  const testing::ScopedVariable home("HOME", "/home/tester");
  const testing::ScopedVariable configHome("XDG_CONFIG_HOME", sandbox.path());
  XdgShell shell;
  EXPECT_EQ(shell.SpecialFolderPath(kCsidlDesktop), "/home/tester/Desktop");
  std::ofstream(config / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n";
  EXPECT_EQ(shell.SpecialFolderPath(kCsidlDesktop), "/home/tester/Bureau");
  EXPECT_EQ(shell.SpecialFolderPath(5), "");
}

}  // namespace
}  // namespace tarnvex
