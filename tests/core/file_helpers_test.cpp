#include "export/file_helpers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/failure.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/xdg_shell.h"

namespace tarnvex {
namespace {

namespace fs = std::filesystem;

TEST(SafeFileName, RemovesControlCharactersAndTheNineReservedOnesAndNothingElse) {
  EXPECT_EQ(SafeFileName("Smith, Anna"), "Smith, Anna");
  EXPECT_EQ(SafeFileName("O'Brien  . "), "O'Brien  . ");
  EXPECT_EQ(SafeFileName("two\r\nlines"), "twolines");
  EXPECT_EQ(SafeFileName("\t\r\n\"/\\*:?<>|"), "");
  EXPECT_EQ(SafeFileName(std::string("a\x01\x1F\x7F\0b", 6)), "ab");
  EXPECT_EQ(SafeFileName("a\x80 \xC2\xA0"
                         "b"),
            "a\x80 \xC2\xA0"
            "b");  // only ASCII controls go
  EXPECT_EQ(SafeFileName("Müller/Łódź: 東京|😀"), "MüllerŁódź 東京😀");
  EXPECT_EQ(SafeFileName("CON"), "CON");
  EXPECT_EQ(SafeFileName(""), "");
}

TEST(CollapseBackslashes, PairsBecomeOneAndALeadingRunBecomesTwo) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\out\\\\name.vcf", "C:\\out\\name.vcf"},
      {"\\\\server\\share\\\\a.vcf", "\\\\server\\share\\a.vcf"},
      {"\\single", "\\\\single"},
      {"\\\\\\\\\\", "\\\\"},
      {"a\\\\\\b", "a\\\\b"},
      {"a\\\\\\\\b", "a\\\\b"},
      {"", ""},
      {"plain", "plain"},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(CollapseBackslashes(path), expected) << path;
  }
  const std::pair<std::string, std::string> posixCases[] = {
      {"/home/u/Desktop//Smith.vcf", "/home/u/Desktop/Smith.vcf"},
      {"//home/u//Smith.vcf", "/home/u/Smith.vcf"},
      {"////", "/"},
      {"relative//a.vcf", "relative/a.vcf"},
      {"a///b", "a//b"},
  };
  for (const auto& [path, expected] : posixCases)
    EXPECT_EQ(CollapseBackslashes(path, '/'), expected) << path;
}

class FakeShell : public Shell {
 public:
  std::string desktop;
  std::string SpecialFolderPath(int32_t id) override { return id == 0 ? desktop : ""; }
};

TEST(GetDesktopFolder, AppendsOneSeparatorOrFailsWithoutADesktop) {
  FakeShell shell;
  shell.desktop = "/home/u/Desktop";
  EXPECT_EQ(GetDesktopFolder(shell, '/'), "/home/u/Desktop/");
  EXPECT_EQ(GetSpecialFolder(shell, 5), "");
  shell.desktop.clear();
  EXPECT_THROW(GetDesktopFolder(shell, '/'), Failure);
}

class PosixFileSystemTest : public ::testing::Test {
 protected:
  PosixFileSystemTest() {
    root = fs::temp_directory_path() / ("tarnvex-fs-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "folder.pst");
    Touch("b.pst");
    Touch("a.pst");
    Touch(".hidden.pst");
    Touch("notes.txt");
  }
  ~PosixFileSystemTest() override { fs::remove_all(root); }

  void Touch(const std::string& name) { std::ofstream(root / name) << "x"; }
  std::string At(const std::string& name) const { return (root / name).string(); }

  fs::path root;
  PosixFileSystem files;
};

TEST_F(PosixFileSystemTest, FolderAndFileQueries) {
  EXPECT_TRUE(FolderExists(files, root.string()));
  EXPECT_TRUE(FolderExists(files, root.string() + "/"));
  EXPECT_FALSE(FolderExists(files, At("a.pst")));
  EXPECT_FALSE(FolderExists(files, ""));
  EXPECT_FALSE(FolderExists(files, root.string() + " "));
  EXPECT_FALSE(FolderExists(files, std::string("bad\0name", 8)));
  EXPECT_TRUE(FileExists(files, At("a.pst")));
  EXPECT_TRUE(FileExists(files, At("folder.pst")));
  EXPECT_FALSE(FileExists(files, At("missing")));
  EXPECT_EQ(files.GetAttr(At(".hidden.pst")) & kAttrHidden, kAttrHidden);
}

TEST_F(PosixFileSystemTest, DirListsNormalFilesOnlyWithWildcards) {
  EXPECT_EQ(files.Dir(At("a.pst")), "a.pst");
  EXPECT_EQ(files.Dir(At("*.pst")), "a.pst");
  EXPECT_EQ(files.Dir(At("?.pst")), "a.pst");
  EXPECT_EQ(files.Dir(At("b*")), "b.pst");
  EXPECT_EQ(files.Dir(At("folder.pst")), "");
  EXPECT_EQ(files.Dir(At(".hidden.pst")), "");
  EXPECT_EQ(files.Dir(At("missing.pst")), "");
  EXPECT_EQ(files.Dir(root.string() + "/"), "");
  EXPECT_EQ(files.Dir(At("*.PST")), "");
  EXPECT_THROW(files.Dir(std::string("a\0b", 3)), Failure);
}

TEST_F(PosixFileSystemTest, SameFileFollowsLinksAndFallsBackToText) {
  fs::create_symlink(At("a.pst"), At("link.pst"));
  EXPECT_TRUE(files.SameFile(At("a.pst"), At("link.pst")));
  EXPECT_TRUE(files.SameFile(At("a.pst"), root.string() + "//a.pst"));
  EXPECT_FALSE(files.SameFile(At("a.pst"), At("b.pst")));
  EXPECT_TRUE(files.SameFile("/no/such", "/no/such"));
}

TEST(MatchesWildcard, StarAndQuestionMark) {
  EXPECT_TRUE(MatchesWildcard("archive.pst", "*.pst"));
  EXPECT_TRUE(MatchesWildcard("archive.pst", "a*e*.p?t"));
  EXPECT_TRUE(MatchesWildcard("", "*"));
  EXPECT_FALSE(MatchesWildcard("archive.pst", "*.ost"));
  EXPECT_FALSE(MatchesWildcard("a", "??"));
  EXPECT_TRUE(MatchesWildcard("[x].pst", "[x].pst"));
}

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
