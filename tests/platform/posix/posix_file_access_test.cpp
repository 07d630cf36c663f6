// Whole files and atomic writes over POSIX calls, as the Outlook stand-in uses them.
#include "platform/posix/posix_file_access.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/failure.h"
#include "platform/posix/safe_write.h"
#include "tests/sandbox/sandbox.h"

namespace tarnvex {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class PosixFiles : public ::testing::Test {
 protected:
  PosixFiles() : root(sandbox.folder()) {}

  std::string At(const std::string& name) const { return (root / name).string(); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(root / name, std::ios::binary) << text;
  }

  // The failure's description, or "(no failure)".
  template <typename F>
  static std::string FailureOf(F call) {
    try {
      call();
    } catch (const Failure& failure) {
      return failure.what();
    }
    return "(no failure)";
  }

  testing::Sandbox sandbox;
  fs::path root;
  PosixFileAccess files;
};

constexpr std::size_t kLimit = 1 << 20;

TEST_F(PosixFiles, ReadGivesTheWholeFileOrNothingWhenNoFileIsThere) {
  const std::string bytes = std::string("[Profile]\r\nDefaultStore=/a b.pst\n\0tail", 38);
  Write("profile.ini", bytes);
  EXPECT_EQ(files.ReadIfPresent(At("profile.ini"), "the profile", kLimit), bytes);
  Write("empty.ini", "");
  EXPECT_EQ(files.ReadIfPresent(At("empty.ini"), "the profile", kLimit), "");
  std::string big(100000, 'x');
  Write("big.ini", big);
  EXPECT_EQ(files.ReadIfPresent(At("big.ini"), "the profile", kLimit), big);
  EXPECT_EQ(files.ReadIfPresent(At("missing.ini"), "the profile", kLimit), std::nullopt);
  EXPECT_EQ(files.ReadIfPresent(At("no-folder/x.ini"), "the profile", kLimit), std::nullopt);
  // A part of the path that is a file, not a folder: nothing there either.
  EXPECT_EQ(files.ReadIfPresent(At("profile.ini/x.ini"), "the profile", kLimit), std::nullopt);
}

TEST_F(PosixFiles, ReadFailsNamingWhatAndThePathWhenSomethingElseIsThere) {
  fs::create_directories(root / "folder.ini");
  EXPECT_EQ(
      FailureOf([&] { files.ReadIfPresent(At("folder.ini"), "the Outlook profile", kLimit); }),
      "Cannot read the Outlook profile \"" + At("folder.ini") + "\": it is a folder.");
  if (::geteuid() != 0) {  // root reads whatever the mode says
    Write("locked.ini", "x");
    fs::permissions(root / "locked.ini", fs::perms::none);
    EXPECT_EQ(
        FailureOf([&] { files.ReadIfPresent(At("locked.ini"), "the Outlook profile", kLimit); }),
        "Cannot read the Outlook profile \"" + At("locked.ini") + "\": Permission denied.");
  }
}

// Nothing but a regular file of bounded size is read: a FIFO would block the program, a device
// such as /dev/zero would fill its memory. The suite's time-out turns a hang into a failure.
TEST_F(PosixFiles, ReadRefusesWhatIsNoRegularFileOrTooLarge) {
  ASSERT_EQ(::mkfifo(At("fifo.ini").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", root / "zero.ini");
  Write("huge.ini", std::string(kLimit + 1, 'x'));
  Write("exact.ini", std::string(kLimit, 'x'));
  const std::string binary("\0\xFF\x01[Profile]\x80", 13);
  Write("binary.ini", binary);
  const struct {
    std::string path;
    std::string reason;
  } refused[] = {
      {At("fifo.ini"), "it is not a regular file"},
      {"/dev/zero", "it is not a regular file"},
      {At("zero.ini"), "it is not a regular file"},
      {At("huge.ini"), "it is larger than 1048576 bytes"},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(FailureOf([&] { files.ReadIfPresent(r.path, "the Outlook profile", kLimit); }),
              "Cannot read the Outlook profile \"" + r.path + "\": " + r.reason + ".");
  }
  EXPECT_EQ(files.ReadIfPresent(At("exact.ini"), "the profile", kLimit)->size(), kLimit);
  EXPECT_EQ(files.ReadIfPresent(At("binary.ini"), "the profile", kLimit), binary);
}

TEST_F(PosixFiles, CreateFoldersMakesEveryMissingFolder) {
  files.CreateFolders(At("a/b/c"), "the profile");
  EXPECT_TRUE(fs::is_directory(root / "a/b/c"));
  files.CreateFolders(At("a/b/c"), "the profile");  // already there
  files.CreateFolders(At("a/b/d/"), "the profile");
  EXPECT_TRUE(fs::is_directory(root / "a/b/d"));
  Write("file", "x");
  EXPECT_THAT(FailureOf([&] { files.CreateFolders(At("file/sub"), "the profile"); }),
              HasSubstr("Cannot create the folder \"" + At("file/sub") + "\" for the profile: "));
}

TEST_F(PosixFiles, IdentityIsTheFileNotItsName) {
  Write("a.pst", "a");
  Write("b.pst", "b");
  fs::create_symlink(root / "a.pst", root / "link.pst");
  const auto a = files.Identify(At("a.pst"));
  ASSERT_TRUE(a);
  EXPECT_EQ(files.Identify(At("link.pst")), a);
  EXPECT_EQ(files.Identify(root.string() + "//./a.pst"), a);
  EXPECT_NE(files.Identify(At("b.pst")), a);
  EXPECT_EQ(files.Identify(At("missing.pst")), std::nullopt);
}

TEST_F(PosixFiles, AbsolutePathCompletesRelativePathsAgainstTheCurrentFolder) {
  EXPECT_EQ(files.AbsolutePath("/data/x.pst"), "/data/x.pst");
  EXPECT_EQ(files.AbsolutePath("x.pst"), fs::current_path().string() + "/x.pst");
  EXPECT_EQ(files.AbsolutePath("../x.pst"), fs::current_path().string() + "/../x.pst");
}

TEST_F(PosixFiles, TheAtomicWriterWritesThroughTheInterfaceAndNamesThePathOnFailure) {
  PosixAtomicFileWriter posixWriter;
  AtomicFileWriter& writer = posixWriter;
  writer.WriteReplacing(At("card.vcf"), "BEGIN:VCARD\r\n");
  writer.WriteReplacing(At("card.vcf"), "new");
  std::ifstream in(root / "card.vcf", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
  EXPECT_EQ(
      FailureOf([&] { writer.WriteReplacing(At("no-folder/card.vcf"), "x"); }),
      "Cannot write the file \"" + At("no-folder/card.vcf") + "\": No such file or directory.");
  EXPECT_THAT(FailureOf([&] { writer.WriteReplacing(At(""), "x"); }),
              HasSubstr("Cannot write the file \"" + At("") + "\""));
  // Nothing but the card is left in the folder.
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(root))
    ++entries;
  EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace tarnvex
