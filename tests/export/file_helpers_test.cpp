#include "export/file_helpers.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

namespace tarnvex {
namespace {

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

// Names Windows keeps for devices, in any letter case and before any extension, and their
// neighbours that are ordinary names.
TEST(AvoidingDeviceNames, PutsAnUnderscoreAfterADeviceNameAndLeavesOtherNames) {
  const std::pair<std::string, std::string> cases[] = {
      {"CON", "CON_"},
      {"con", "con_"},
      {"CON.backup", "CON_.backup"},
      {"con.tar.gz", "con_.tar.gz"},
      {"CON  ", "CON_  "},
      {"nul .old", "nul_ .old"},
      {"Com1", "Com1_"},
      {"COM0", "COM0_"},
      {"lpt9", "lpt9_"},
      {"AUX", "AUX_"},
      {"Prn", "Prn_"},
      {"LPT\xC2\xB9", "LPT\xC2\xB9_"},      // LPT¹
      {"com\xC2\xB3.x", "com\xC2\xB3_.x"},  // com³
      {"CONSOLE", "CONSOLE"},
      {"COM10", "COM10"},
      {"COM", "COM"},
      {"LPT\xC2\xB4", "LPT\xC2\xB4"},  // LPT´ is no digit
      {"ACON", "ACON"},
      {"CON (2)", "CON (2)"},
      {" CON", " CON"},
      {".CON", ".CON"},
      {"", ""},
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(AvoidingDeviceNames(name), expected) << name;
    EXPECT_EQ(IsDeviceName(name), name != expected) << name;
  }
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

}  // namespace
}  // namespace tarnvex
