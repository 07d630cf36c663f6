// File-system queries over the wide API, in temporary folders with non-ASCII names.
#include "platform/win32/win32_file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "export/file_helpers.h"
#include "platform/failure.h"
#include "platform/win32/win32_file_access.h"
#include "tests/platform/win32/test_support.h"

namespace tarnvex {
namespace {

constexpr std::size_t kLimit = 1 << 20;

using ::testing::AnyOf;
using ::testing::HasSubstr;
using testing::Long;
using testing::Sandbox;
using testing::WriteBytes;

class Win32FileSystemTest : public ::testing::Test {
 protected:
  Sandbox folder;
  Win32FileSystem files;
};

TEST_F(Win32FileSystemTest, WindowsFormsOfNamesAndPaths) {
  EXPECT_EQ(files.PathSeparator(), '\\');
  EXPECT_EQ(files.MaxNameLength(), 255u);
  EXPECT_FALSE(files.HidesDotNames());
}

TEST_F(Win32FileSystemTest, NameLengthCountsUtf16Units) {
  EXPECT_EQ(files.NameLength(""), 0u);
  EXPECT_EQ(files.NameLength("Smith.vcf"), 9u);
  EXPECT_EQ(files.NameLength("\xC3\xA4"), 1u);          // ä: two bytes, one unit
  EXPECT_EQ(files.NameLength("\xE5\xB1\xB1"), 1u);      // 山: three bytes, one unit
  EXPECT_EQ(files.NameLength("\xF0\x9F\x8E\x89"), 2u);  // 🎉: four bytes, a surrogate pair
  EXPECT_EQ(files.NameLength("a\xF0\x9F\x8E\x89\xC3\xA4"), 4u);
}

TEST_F(Win32FileSystemTest, NameKeysIgnoreLetterCaseAsTheFileSystemsDo) {
  auto same = [&](const std::string& a, const std::string& b) {
    return files.NameKey(a) == files.NameKey(b);
  };
  EXPECT_TRUE(same("C:\\Cards\\Smith.vcf", "c:\\CARDS\\smith.VCF"));
  EXPECT_TRUE(same("\xC3\x84rger.vcf", "\xC3\xA4RGER.vcf"));  // Ärger, äRGER
  EXPECT_TRUE(same("\xCE\xA3\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1",
                   "\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1"));  // Σοφία, σοφία
  EXPECT_TRUE(
      same("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", "\xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD"));  // Иван
  EXPECT_TRUE(same("C:/Cards/a.vcf", "C:\\Cards\\A.vcf"));
  EXPECT_TRUE(same("Party \xF0\x9F\x8E\x89.vcf", "PARTY \xF0\x9F\x8E\x89.VCF"));
  EXPECT_FALSE(same("Smith.vcf", "Smith (2).vcf"));
  EXPECT_FALSE(
      same("stra\xC3\x9F"
           "e",
           "STRASSE"));  // ß is no "SS" to a file system
  EXPECT_FALSE(same("\xE5\xB1\xB1", "\xE7\x94\xB0"));
  EXPECT_EQ(files.NameKey(""), "");
}

TEST_F(Win32FileSystemTest, AttributesOfFilesAndFolders) {
  const std::string file = folder / "Zo\xC3\xAB.vcf";
  WriteBytes(file, "card");
  EXPECT_EQ(files.GetAttr(file) & kAttrDirectory, 0u);
  EXPECT_EQ(files.GetAttr(folder.path()), kAttrDirectory);
  EXPECT_EQ(files.GetAttr(folder.path() + "\\"), kAttrDirectory);

  ASSERT_TRUE(
      ::SetFileAttributesW(Long(file).c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(files.GetAttr(file), kAttrReadOnly | kAttrHidden);
  ::SetFileAttributesW(Long(file).c_str(), FILE_ATTRIBUTE_NORMAL);

  EXPECT_TRUE(FolderExists(files, folder.path()));
  EXPECT_FALSE(FolderExists(files, file));
  EXPECT_TRUE(FileExists(files, file));
}

TEST_F(Win32FileSystemTest, MissingPathsFailNamingThePath) {
  const std::string missing = folder / "no such \xE5\xB1\xB1.vcf";
  try {
    files.GetAttr(missing);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_THAT(failure.description(), HasSubstr("\"" + missing + "\""));
  }
  EXPECT_THROW(files.FileDateTime(missing), Failure);
  EXPECT_THROW(files.GetAttr(""), Failure);
  EXPECT_THROW(files.GetAttr(std::string("a\0b", 3)), Failure);
  EXPECT_FALSE(FolderExists(files, missing));
}

TEST_F(Win32FileSystemTest, ModificationTimeInSecondsSinceTheEpoch) {
  const std::string file = folder / "timed.vcf";
  WriteBytes(file, "card");
  const HANDLE handle = ::CreateFileW(Long(file).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  // 2001-09-09 01:46:40 UTC, one billion seconds after the epoch.
  const uint64_t ticks = (1'000'000'000ull + 11'644'473'600ull) * 10'000'000ull;
  const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  ASSERT_TRUE(::SetFileTime(handle, nullptr, nullptr, &time));
  ::CloseHandle(handle);
  EXPECT_EQ(files.FileDateTime(file), 1'000'000'000);
}

TEST_F(Win32FileSystemTest, DirListsNormalFilesWithNonAsciiAndEmojiNames) {
  const std::string card = "Party \xF0\x9F\x8E\x89 \xC3\x84rger \xE5\xB1\xB1\xE7\x94\xB0.vcf";
  WriteBytes(folder / card, "card");
  EXPECT_EQ(files.Dir(folder / "*.vcf"), card);
  EXPECT_EQ(files.Dir(folder / "Party*"), card);
  EXPECT_EQ(files.Dir(folder / card), card);
  EXPECT_EQ(files.Dir(folder / "*.pst"), "");
  EXPECT_EQ(files.Dir(folder / "missing folder\\*.vcf"), "");
  EXPECT_EQ(files.Dir(folder.path() + "\\"), "");
  EXPECT_EQ(files.Dir(""), "");
}

TEST_F(Win32FileSystemTest, DirPassesOverFoldersHiddenAndSystemFiles) {
  ASSERT_TRUE(::CreateDirectoryW(Long(folder / "folder.vcf").c_str(), nullptr));
  WriteBytes(folder / "hidden.vcf", "card");
  ::SetFileAttributesW(Long(folder / "hidden.vcf").c_str(), FILE_ATTRIBUTE_HIDDEN);
  WriteBytes(folder / "system.vcf", "card");
  ::SetFileAttributesW(Long(folder / "system.vcf").c_str(), FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(files.Dir(folder / "*.vcf"), "");
  EXPECT_EQ(files.Dir(folder / "folder.vcf"), "");

  WriteBytes(folder / "read-only.vcf", "card");
  ::SetFileAttributesW(Long(folder / "read-only.vcf").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(files.Dir(folder / "*.vcf"), "read-only.vcf");
  ::SetFileAttributesW(Long(folder / "read-only.vcf").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32FileSystemTest, DirOfAMalformedPatternFails) {
  EXPECT_THROW(files.Dir(std::string("a\0*.pst", 7)), Failure);
}

TEST_F(Win32FileSystemTest, SameFileByVolumeAndIndex) {
  const std::string file = folder / "\xC3\x84rger.vcf";
  WriteBytes(file, "card");
  WriteBytes(folder / "other.vcf", "card");
  EXPECT_TRUE(files.SameFile(file, file));
  EXPECT_TRUE(files.SameFile(file, folder / "\xC3\xA4RGER.VCF"));
  EXPECT_TRUE(files.SameFile(file, folder.path() + "\\.\\\xC3\x84rger.vcf"));
  EXPECT_FALSE(files.SameFile(file, folder / "other.vcf"));
  ASSERT_TRUE(
      ::CreateHardLinkW(Long(folder / "hard link.vcf").c_str(), Long(file).c_str(), nullptr));
  EXPECT_TRUE(files.SameFile(file, folder / "hard link.vcf"));
  // Paths that cannot be looked up are compared as text.
  EXPECT_TRUE(files.SameFile(folder / "missing.vcf", folder / "missing.vcf"));
  EXPECT_FALSE(files.SameFile(folder / "missing.vcf", folder / "MISSING.vcf"));
  EXPECT_FALSE(files.SameFile(file, folder / "missing.vcf"));
}

TEST_F(Win32FileSystemTest, PathsLongerThanMaxPath) {
  Win32FileAccess wholeFiles;
  std::string deep = folder.path();
  for (int level = 0; deep.size() <= 2 * MAX_PATH; ++level)
    deep += "\\level " + std::to_string(level) + " \xC3\x84rger " + std::string(60, 'x');
  wholeFiles.CreateFolders(deep, "the test");
  const std::string card = deep + "\\Smith.vcf";
  WriteBytes(card, "card");
  EXPECT_EQ(files.GetAttr(deep), kAttrDirectory);
  EXPECT_EQ(files.GetAttr(card), 0u);
  EXPECT_GT(files.FileDateTime(card), 0);
  EXPECT_EQ(files.Dir(deep + "\\*.vcf"), "Smith.vcf");
  EXPECT_TRUE(files.SameFile(card, deep + "\\SMITH.VCF"));
  EXPECT_EQ(wholeFiles.ReadIfPresent(card, "the card", kLimit), "card");
}

}  // namespace
}  // namespace tarnvex
