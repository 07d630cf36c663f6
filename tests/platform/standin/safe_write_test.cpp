// Writing a card over every kind of target: the complete new bytes in a regular file of the
// usual mode under the target's name, and nothing else left in the folder.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/posix/safe_write.h"
#include "tests/platform/standin/pst_fixtures.h"

namespace tarnvex::standin {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::Sandbox;

struct Target {
  const char* name;
  std::function<void(const Sandbox&, const std::string& path)> prepare;
};

const Target kTargets[] = {
    {"Missing", [](const Sandbox&, const std::string&) {}},
    {"ExistingCard",
     [](const Sandbox&, const std::string& path) {
       std::ofstream(path) << "an older and longer card than the new one";
     }},
    {"LinkToAFile",
     [](const Sandbox& tmp, const std::string& path) {
       std::ofstream(tmp / "victim.txt") << "keep";
       fs::create_symlink(tmp / "victim.txt", path);
     }},
    {"DanglingLink", [](const Sandbox& tmp,
                        const std::string& path) { fs::create_symlink(tmp / "nowhere/x", path); }},
};

class SafeWriteTest : public ::testing::TestWithParam<Target> {};

TEST_P(SafeWriteTest, TargetHoldsTheNewBytesAndNothingIsLeftOver) {
  Sandbox tmp;
  const std::string path = tmp / "card.vcf";
  GetParam().prepare(tmp, path);
  const std::string bytes = "BEGIN:VCARD\r\nEND:VCARD\r\n";
  WriteFileReplacing(path, bytes);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
  EXPECT_EQ(ReadFile(path), bytes);
  const mode_t mask = ::umask(022);
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  for (const auto& e : fs::directory_iterator(tmp.path())) {
    const std::string name = e.path().filename();
    EXPECT_TRUE(name == "card.vcf" || name == "victim.txt") << name;
  }
  if (fs::exists(tmp / "victim.txt")) {
    EXPECT_EQ(ReadFile(tmp / "victim.txt"), "keep");
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, SafeWriteTest, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SafeWriteTest, MissingFolderIsAFailureNamingThePath) {
  Sandbox tmp;
  const std::string path = tmp / "no/such/card.vcf";
  try {
    WriteFileReplacing(path, "x");
    ADD_FAILURE();
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
}

// A forked child names its own files, not the parent's under the same descriptor number: the
// parent holds a decoy open at the number the child's card gets.
TEST(SafeWriteTest, AForkedChildWritesItsOwnCard) {
  Sandbox tmp;
  WriteFileReplacing(tmp / "parent.vcf", "the parent's card");
  std::ofstream(tmp / "decoy.txt") << "the parent's open file";
  const int decoy = ::open((tmp / "decoy.txt").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(decoy, 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(decoy);  // the child's card takes this number
    try {
      WriteFileReplacing(tmp / "child.vcf", "the child's card");
    } catch (...) {
      ::_exit(2);
    }
    ::_exit(0);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  ::close(decoy);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadFile(tmp / "child.vcf"), "the child's card");
  EXPECT_EQ(ReadFile(tmp / "decoy.txt"), "the parent's open file");
}

}  // namespace
}  // namespace tarnvex::standin
