// Temporary files left by a killed run: the next run's first write into the folder removes
// them, and only them.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/posix/safe_write.h"
#include "tests/sandbox/sandbox.h"

namespace tarnvex {
namespace {

namespace fs = std::filesystem;

class Leftovers : public ::testing::Test {
 protected:
  Leftovers() : root(sandbox.folder()) {}

  std::string At(const std::string& name) const { return (root / name).string(); }
  void Touch(const std::string& name) { std::ofstream(root / name) << ""; }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(root))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // When this process started, as the writer names its temporary files.
  static std::string OwnStart() {
    std::ifstream in("/proc/self/stat");
    std::string stat;
    std::getline(in, stat);
    std::istringstream fields(stat.substr(stat.rfind(')') + 1));
    std::string field;
    for (int k = 3; k <= 22; ++k)
      fields >> field;
    return field;
  }

  testing::Sandbox sandbox;
  fs::path root;
};

TEST_F(Leftovers, OnlyTheFilesOfProcessesThatAreGoneAreRemoved) {
  const std::string self = std::to_string(::getpid());
  const struct {
    std::string name;
    bool removed;
  } files[] = {
      {".tarnvex-" + self + "-" + OwnStart() + "-Ab3dE5gH7j", false},  // a run still writing
      {".tarnvex-" + self + "-1-Ab3dE5gH7j", true},  // the same id, another process: gone
      {".tarnvex-2147483646-1-Ab3dE5gH7j", true},    // no such process
      {".tarnvex-Ab3dE5gH7j", false},                // the older form, just written
      {".tarnvex-Zz9yX8wV7u", true},                 // the older form, two hours old
      {".tarnvex-notes.txt", false},                 // not a name the program makes
      {".tarnvex-12x-1-Ab3dE5gH7j", false},
      {"Smith.vcf", false},
      {".hidden", false},
  };
  for (const auto& f : files)
    Touch(f.name);
  const auto twoHoursAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
  fs::last_write_time(root / ".tarnvex-Zz9yX8wV7u", twoHoursAgo);
  fs::create_directory(root / ".tarnvex-2147483646-1-folder0000");
  fs::create_symlink(root / "Smith.vcf", root / ".tarnvex-2147483646-1-link000000");

  RemoveLeftoverTemporaries(root.string());

  for (const auto& f : files)
    EXPECT_EQ(fs::exists(fs::symlink_status(root / f.name)), !f.removed) << f.name;
  EXPECT_TRUE(fs::is_directory(root / ".tarnvex-2147483646-1-folder0000"));
  EXPECT_TRUE(fs::is_symlink(root / ".tarnvex-2147483646-1-link000000"));
}

// Runs that replace cards are killed at random moments; after the next run has written into the
// folder, it holds the complete cards and nothing else.
TEST_F(Leftovers, AfterKilledRunsTheNextRunLeavesOnlyCompleteCards) {
  constexpr int kCards = 8;
  auto card = [](int version) {
    return "BEGIN:VCARD\r\nNOTE:" + std::string(256 * 1024, 'a' + version % 26) +
           "\r\nEND:VCARD\r\n";
  };
  PosixAtomicFileWriter first;
  for (int i = 0; i < kCards; ++i)
    first.WriteReplacing(At("card-" + std::to_string(i) + ".vcf"), card(0));

  std::mt19937 rng(12345);
  int leftoversSeen = 0;
  for (int trial = 0; trial < 25; ++trial) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      PosixAtomicFileWriter writer;
      for (int i = 0;; ++i)
        writer.WriteReplacing(At("card-" + std::to_string(i % kCards) + ".vcf"), card(i));
    }
    ::usleep(std::uniform_int_distribution<useconds_t>(0, 30000)(rng));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (const auto& name : Names())
      leftoversSeen += name.starts_with(".tarnvex-");
  }

  PosixAtomicFileWriter next;
  next.WriteReplacing(At("card-0.vcf"), card(99));

  std::vector<std::string> expected;
  for (int i = 0; i < kCards; ++i)
    expected.push_back("card-" + std::to_string(i) + ".vcf");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Names(), expected) << leftoversSeen << " leftovers seen after kills";
  for (const auto& name : expected) {
    std::ifstream in(root / name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    EXPECT_TRUE(text.starts_with("BEGIN:VCARD\r\n") && text.ends_with("\r\nEND:VCARD\r\n") &&
                text.size() == card(0).size())
        << name << " is not complete (" << text.size() << " bytes)";
  }
}

}  // namespace
}  // namespace tarnvex
