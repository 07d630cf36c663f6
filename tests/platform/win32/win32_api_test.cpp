// What the Win32 implementations share: roots of paths, paths of any length, the system's words.
#include "platform/win32/win32_api.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/failure.h"

namespace tarnvex::win32 {
namespace {

TEST(RootLengthTest, DrivesSharesAndPrefixes) {
  const std::pair<std::string, std::size_t> cases[] = {
      {"C:\\cards", 3},
      {"c:/cards", 3},
      {"C:", 2},
      {"C:cards", 2},
      {"\\cards", 1},
      {"/cards", 1},
      {"cards", 0},
      {"", 0},
      {"\\\\server\\share\\cards", 15},
      {"\\\\server\\share", 14},
      {"//server/share/cards", 15},
      {"\\\\?\\C:\\cards", 7},
      {"\\\\?\\UNC\\server\\share\\cards", 21},
  };
  for (const auto& [path, length] : cases)
    EXPECT_EQ(RootLength(path), length) << path;
}

TEST(ApiPathTest, ShortPathsStayAsTheyAre) {
  EXPECT_EQ(ApiPath("C:\\cards\\Zo\xC3\xAB.vcf"), L"C:\\cards\\Zo\u00eb.vcf");
  EXPECT_EQ(ApiPath("relative/a.vcf"), L"relative/a.vcf");
  const std::string justShort = "C:\\" + std::string(MAX_PATH - 12 - 4, 'x');
  EXPECT_EQ(ApiPath(justShort), Wide(justShort));
}

TEST(ApiPathTest, LongPathsAreMadeFullWithThePrefix) {
  const std::string name(MAX_PATH, 'x');
  EXPECT_EQ(ApiPath("C:\\cards\\" + name), L"\\\\?\\C:\\cards\\" + Wide(name));
  // Made full first: "/" and ".." as the system reads them, which the prefix would not.
  EXPECT_EQ(ApiPath("C:/cards/old/../" + name), L"\\\\?\\C:\\cards\\" + Wide(name));
  EXPECT_EQ(ApiPath("\\\\server\\share\\" + name), L"\\\\?\\UNC\\server\\share\\" + Wide(name));
  EXPECT_EQ(ApiPath("\\\\?\\C:\\" + name), L"\\\\?\\C:\\" + Wide(name));
}

TEST(SystemReasonTest, TheSystemsWordsWithoutTheClosingPeriod) {
  const std::string reason = SystemReason(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(reason.empty());
  EXPECT_NE(reason.back(), '.');
  EXPECT_NE(reason.back(), '\n');
  EXPECT_EQ(reason.find("system error"), std::string::npos);
  EXPECT_EQ(SystemReason(0x2FFFFFFF), "system error " + std::to_string(0x2FFFFFFF));
}

TEST(CheckWellFormedTest, ANulCharacterIsNoFileName) {
  EXPECT_NO_THROW(CheckWellFormed("C:\\a.vcf"));
  EXPECT_THROW(CheckWellFormed(std::string("C:\\a\0.vcf", 9)), Failure);
}

}  // namespace
}  // namespace tarnvex::win32
