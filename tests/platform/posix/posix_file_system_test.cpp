// File-system queries over POSIX calls, through the core's helpers as the export run asks them.
#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "export/file_helpers.h"
#include "platform/failure.h"
#include "tests/sandbox/sandbox.h"

namespace tarnvex {
namespace {

namespace fs = std::filesystem;

class PosixFileSystemTest : public ::testing::Test {
 protected:
  PosixFileSystemTest() : root(sandbox.folder()) {
    fs::create_directories(root / "folder.pst");
    Touch("b.pst");
    Touch("a.pst");
    Touch(".hidden.pst");
    Touch("notes.txt");
  }

  void Touch(const std::string& name) { std::ofstream(root / name) << "x"; }
  std::string At(const std::string& name) const { return (root / name).string(); }

  testing::Sandbox sandbox;
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

}  // namespace
}  // namespace tarnvex
