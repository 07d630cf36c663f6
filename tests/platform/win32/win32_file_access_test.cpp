// Whole files and atomic writes over the wide API.
#include "platform/win32/win32_file_access.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/failure.h"
#include "platform/win32/win32_atomic_file_writer.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex {
namespace {

constexpr std::size_t kLimit = 1 << 20;

using testing::Attributes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::Long;
using testing::Names;
using testing::ReadBytes;
using testing::Sandbox;
using ::testing::UnorderedElementsAre;
using testing::WriteBytes;

class Win32FileAccessTest : public ::testing::Test {
 protected:
  Sandbox folder;
  Win32FileAccess files;
  Win32AtomicFileWriter writer;
};

TEST_F(Win32FileAccessTest, ReadsWholeFiles) {
  const std::string file = folder / "profile \xE5\xB1\xB1.ini";
  const std::string bytes = std::string("[Profile]\r\nDefaultStore=C:\\x.pst\r\n") + '\0' + "end";
  WriteBytes(file, bytes);
  EXPECT_EQ(files.ReadIfPresent(file, "the profile", kLimit), bytes);
  WriteBytes(file, "");
  EXPECT_EQ(files.ReadIfPresent(file, "the profile", kLimit), "");
}

TEST_F(Win32FileAccessTest, NothingThereIsNoFailure) {
  EXPECT_EQ(files.ReadIfPresent(folder / "missing.ini", "the profile", kLimit), std::nullopt);
  EXPECT_EQ(files.ReadIfPresent(folder / "missing\\missing.ini", "the profile", kLimit),
            std::nullopt);
  EXPECT_EQ(files.ReadIfPresent("", "the profile", kLimit), std::nullopt);
}

TEST_F(Win32FileAccessTest, AFolderCannotBeReadAsAFile) {
  try {
    files.ReadIfPresent(folder.path(), "the Outlook profile", kLimit);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.description(),
              "Cannot read the Outlook profile \"" + folder.path() + "\": it is a folder.");
  }
}

TEST_F(Win32FileAccessTest, AFileLargerThanTheLimitOrADeviceIsRefused) {
  const std::string file = folder / "big.ini";
  WriteBytes(file, std::string(100000, 'x'));
  EXPECT_EQ(files.ReadIfPresent(file, "the profile", 100000), std::string(100000, 'x'));
  try {
    files.ReadIfPresent(file, "the Outlook profile", 1000);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.description(),
              "Cannot read the Outlook profile \"" + file + "\": it is larger than 1000 bytes.");
  }
  try {
    files.ReadIfPresent("NUL", "the Outlook profile", kLimit);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    // Wine already refuses to look at the device ("Bad device type"); Windows opens it, and it
    // is then refused as no regular file.
    EXPECT_THAT(failure.description(), HasSubstr("Cannot read the Outlook profile \"NUL\": "));
  }
}

TEST_F(Win32FileAccessTest, CreatesFoldersAndEveryMissingOneAbove) {
  const std::string deep = folder / "a \xC3\xA4\\b \xF0\x9F\x8E\x89/c";
  files.CreateFolders(deep, "the profile");
  EXPECT_NE(Attributes(folder / "a \xC3\xA4\\b \xF0\x9F\x8E\x89\\c") & FILE_ATTRIBUTE_DIRECTORY,
            0u);
  files.CreateFolders(deep + "\\", "the profile");  // there already: fine
  files.CreateFolders(folder.path(), "the profile");

  WriteBytes(folder / "file", "x");
  try {
    files.CreateFolders(folder / "file\\sub", "the profile");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.description(), HasSubstr("Cannot create the folder \"" +
                                                 (folder / "file\\sub") + "\" for the profile: "));
  }
}

TEST_F(Win32FileAccessTest, IdentityFollowsTheFileNotThePath) {
  const std::string file = folder / "store.pst";
  WriteBytes(file, "pst");
  const auto identity = files.Identify(file);
  ASSERT_TRUE(identity);
  EXPECT_EQ(files.Identify(folder / "STORE.PST"), identity);
  ASSERT_TRUE(
      ::CreateHardLinkW(Long(folder / "other name.pst").c_str(), Long(file).c_str(), nullptr));
  EXPECT_EQ(files.Identify(folder / "other name.pst"), identity);
  WriteBytes(folder / "another.pst", "pst");
  EXPECT_NE(files.Identify(folder / "another.pst"), identity);
  EXPECT_EQ(files.Identify(folder / "missing.pst"), std::nullopt);
  EXPECT_TRUE(files.Identify(folder.path()));
}

TEST_F(Win32FileAccessTest, AbsolutePaths) {
  EXPECT_EQ(files.AbsolutePath("C:\\x\\..\\y.pst"), "C:\\x\\..\\y.pst");
  EXPECT_EQ(files.AbsolutePath("\\\\server\\share\\y.pst"), "\\\\server\\share\\y.pst");
  wchar_t current[MAX_PATH] = {};
  ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, current), 0u);
  std::string expected = testing::Utf8(current);
  if (expected.back() != '\\')
    expected += '\\';
  EXPECT_EQ(files.AbsolutePath("Zo\xC3\xAB.pst"), expected + "Zo\xC3\xAB.pst");
  EXPECT_EQ(files.AbsolutePath(expected.substr(2) + "a.pst"), expected + "a.pst");  // "\..."
}

// Writing cards: a temporary file in the folder, moved over the target.
class Win32AtomicWriteTest : public Win32FileAccessTest {};

TEST_F(Win32AtomicWriteTest, WritesANewFileAndReplacesAnOldOne) {
  const std::string card = folder / "Party \xF0\x9F\x8E\x89 \xE5\xB1\xB1.vcf";
  writer.WriteReplacing(card, "BEGIN:VCARD\r\nEND:VCARD\r\n");
  EXPECT_EQ(ReadBytes(card), "BEGIN:VCARD\r\nEND:VCARD\r\n");
  writer.WriteReplacing(card, "new");
  EXPECT_EQ(ReadBytes(card), "new");
  writer.WriteReplacing(card, "");
  EXPECT_EQ(ReadBytes(card), "");
  EXPECT_THAT(Names(folder.path()), ElementsAre("Party \xF0\x9F\x8E\x89 \xE5\xB1\xB1.vcf"));
}

TEST_F(Win32AtomicWriteTest, ForwardSlashesSeparateToo) {
  std::string card = folder.path() + "/slash.vcf";
  writer.WriteReplacing(card, "card");
  EXPECT_EQ(ReadBytes(folder / "slash.vcf"), "card");
  EXPECT_THAT(Names(folder.path()), ElementsAre("slash.vcf"));
}

TEST_F(Win32AtomicWriteTest, TheTargetIsKeptWhenTheWriteFails) {
  const std::string card = folder / "Smith.vcf";
  WriteBytes(card, "old card");
  // Held open without sharing, the target cannot be replaced.
  const HANDLE held =
      ::CreateFileW(Long(card).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  try {
    writer.WriteReplacing(card, "new card");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.description(), HasSubstr("Cannot write the file \"" + card + "\": "));
  }
  ::CloseHandle(held);
  EXPECT_EQ(ReadBytes(card), "old card");
  EXPECT_THAT(Names(folder.path()), ElementsAre("Smith.vcf"));  // no temporary file left
}

TEST_F(Win32AtomicWriteTest, FailuresNameThePath) {
  const std::string inMissingFolder = folder / "missing\\Smith.vcf";
  try {
    writer.WriteReplacing(inMissingFolder, "card");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.description(), HasSubstr("\"" + inMissingFolder + "\""));
  }
  EXPECT_THROW(writer.WriteReplacing(folder.path() + "\\", "card"), Failure);
  EXPECT_THROW(writer.WriteReplacing(std::string("a\0b", 3), "card"), Failure);
  // A folder of the name is not replaced.
  ASSERT_TRUE(::CreateDirectoryW(Long(folder / "folder.vcf").c_str(), nullptr));
  WriteBytes(folder / "folder.vcf\\inside.txt", "inside");
  EXPECT_THROW(writer.WriteReplacing(folder / "folder.vcf", "card"), Failure);
  EXPECT_EQ(ReadBytes(folder / "folder.vcf\\inside.txt"), "inside");
  EXPECT_THAT(Names(folder.path()), ElementsAre("folder.vcf"));
}

TEST_F(Win32AtomicWriteTest, LongPaths) {
  std::string deep = folder.path();
  while (deep.size() <= 2 * MAX_PATH)
    deep += "\\" + std::string(50, 'd') + " \xC3\xB8";
  files.CreateFolders(deep, "the cards");
  const std::string card = deep + "\\" + std::string(40, 'n') + ".vcf";
  writer.WriteReplacing(card, "card");
  writer.WriteReplacing(card, "card 2");
  EXPECT_EQ(ReadBytes(card), "card 2");
  EXPECT_THAT(Names(deep), ElementsAre(std::string(40, 'n') + ".vcf"));
}

// A folder with a link for the link tests. Where TARNVEX_TEST_LINKS is set, the test harness
// made the folders beside each other there (under wine: Unix symbolic links, which wine shows as
// Windows ones):
//   file-link\target.vcf, file-link\file-link.vcf -> target.vcf
//   folder-link\folder\inside.txt, folder-link\folder-link.vcf -> folder
// Otherwise the test makes its own with CreateSymbolicLinkW, where the system lets it.
class LinkFolder {
 public:
  LinkFolder(const Sandbox& temp, std::string_view name) {
    if (const char* prepared = std::getenv("TARNVEX_TEST_LINKS"); prepared && *prepared) {
      path_ = std::string(prepared) + "\\" + std::string(name);
      std::replace(path_.begin(), path_.end(), '/', '\\');
      return;
    }
    path_ = temp.path();
    if (name == "file-link") {
      WriteBytes(temp / "target.vcf", "target");
      ::CreateSymbolicLinkW(Long(temp / "file-link.vcf").c_str(), L"target.vcf",
                            SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    } else {
      ::CreateDirectoryW(Long(temp / "folder").c_str(), nullptr);
      WriteBytes(temp / "folder\\inside.txt", "inside");
      ::CreateSymbolicLinkW(
          Long(temp / "folder-link.vcf").c_str(), L"folder",
          SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    }
  }
  std::string operator/(std::string_view name) const { return path_ + "\\" + std::string(name); }
  const std::string& path() const { return path_; }
  bool Has(std::string_view name) const {
    return Attributes(*this / name) != INVALID_FILE_ATTRIBUTES;
  }

 private:
  std::string path_;
};

TEST_F(Win32AtomicWriteTest, ALinkToAFileIsReplacedNotFollowed) {
  const LinkFolder links(folder, "file-link");
  if (!links.Has("file-link.vcf"))
    GTEST_SKIP() << "no symbolic links can be made here";
  writer.WriteReplacing(links / "file-link.vcf", "card");
  EXPECT_EQ(ReadBytes(links / "file-link.vcf"), "card");
  EXPECT_EQ(ReadBytes(links / "target.vcf"), "target");
  EXPECT_THAT(Names(links.path()), UnorderedElementsAre("target.vcf", "file-link.vcf"));
}

TEST_F(Win32AtomicWriteTest, ALinkToAFolderNeverCostsTheFolder) {
  const LinkFolder links(folder, "folder-link");
  if (!links.Has("folder-link.vcf"))
    GTEST_SKIP() << "no symbolic links can be made here";
  // Windows removes the link and writes the card in its place. Wine opens such a link as the
  // folder it leads to, so the writer cannot tell the link apart and refuses.
  try {
    writer.WriteReplacing(links / "folder-link.vcf", "card");
    EXPECT_EQ(ReadBytes(links / "folder-link.vcf"), "card");
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.description(), HasSubstr("\"" + (links / "folder-link.vcf") + "\""));
  }
  EXPECT_EQ(ReadBytes(links / "folder\\inside.txt"), "inside");
  EXPECT_THAT(Names(links / "folder"), ElementsAre("inside.txt"));
  EXPECT_THAT(Names(links.path()), UnorderedElementsAre("folder", "folder-link.vcf"));
}

}  // namespace
}  // namespace tarnvex
