// The skin engine's members by dispatch id, over a window of the test's own.
#include "platform/std/skin_protocol.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/failure.h"

namespace tarnvex {
namespace {

constexpr int32_t kOwnWindow = 0x2a;

class TestSkinEngine : public SkinProtocol {
 public:
  std::map<std::string, std::string> files;
  std::string refusedSheet;
  std::vector<std::string> drawn;

 protected:
  std::string ReadSkinFile(const std::string& path) override {
    const auto found = files.find(path);
    if (found == files.end())
      throw Failure("No such file or directory");
    return found->second;
  }
  void CheckSkin(const std::string& sheet) override {
    if (sheet == refusedSheet)
      throw Failure("The skin has a rule that is not closed");
  }
  bool IsOwnWindow(int32_t handle) override { return handle == kOwnWindow; }
  void DrawSkin(const std::string& sheet) override { drawn.push_back(sheet); }
};

std::string FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.what();
  }
  return "<none>";
}

TEST(SkinProtocol, LoadsAFileAndDrawsItOnItsOwnWindowOnly) {
  TestSkinEngine skin;
  skin.files["/p/x/o.cjs"] = "QWidget { color: red }";
  EXPECT_EQ(FailureOf([&] { skin.Invoke(kSkinApplyWindow, {kOwnWindow}); }),
            "The skin engine has no skin loaded");
  skin.Invoke(kSkinLoadSkin, {std::string("/p/x/o.cjs"), std::string()});
  EXPECT_EQ(skin.LoadedSkin(), "QWidget { color: red }");
  EXPECT_FALSE(skin.Applied());
  EXPECT_EQ(FailureOf([&] { skin.Invoke(kSkinApplyWindow, {kOwnWindow + 1}); }),
            "The skin engine cannot apply its skin to window 43");
  EXPECT_TRUE(skin.drawn.empty());
  skin.Invoke(kSkinApplyWindow, {kOwnWindow});
  EXPECT_EQ(skin.drawn, std::vector<std::string>{"QWidget { color: red }"});
  EXPECT_TRUE(skin.Applied());
}

TEST(SkinProtocol, ASkinThatCannotBeLoadedIsNamedWithTheReasonAndLeavesNoneLoaded) {
  TestSkinEngine skin;
  skin.files["/p/latin1.cjs"] = "QWidget { font-family: \"Caf\xE9\" }";
  skin.files["/p/open.cjs"] = "QWidget { color: red";
  skin.refusedSheet = "QWidget { color: red";
  const struct {
    const char* path;
    const char* failure;
  } cases[] = {
      {"/p/none.cjs", "The skin file /p/none.cjs cannot be loaded: No such file or directory"},
      {"/p/latin1.cjs", "The skin file /p/latin1.cjs cannot be loaded: it is not UTF-8 text"},
      {"/p/open.cjs", "The skin has a rule that is not closed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FailureOf([&] { skin.Invoke(kSkinLoadSkin, {std::string(c.path)}); }), c.failure);
    EXPECT_FALSE(skin.LoadedSkin().has_value());
  }
}

TEST(SkinProtocol, ArgumentsAreCheckedBeforeAnythingIsDone) {
  TestSkinEngine skin;
  const struct {
    int32_t member;
    std::vector<DispatchValue> arguments;
    const char* failure;
  } cases[] = {
      {kSkinLoadSkin, {}, "Argument not optional"},
      {kSkinLoadSkin, {int32_t{1}}, "Type mismatch"},
      {kSkinApplyWindow, {}, "Argument not optional"},
      {kSkinApplyWindow, {std::string("42")}, "Type mismatch"},
      {99, {}, "The skin engine has no member with dispatch id 99"},
      {kSkinOptions, {}, "The skin engine has no member with dispatch id 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.member);
    EXPECT_EQ(FailureOf([&] { skin.Invoke(c.member, c.arguments); }), c.failure);
  }
}

TEST(SkinProtocol, TheSettingsAreKeptAndReadBack) {
  TestSkinEngine skin;
  EXPECT_EQ(std::get<int32_t>(skin.GetProperty(kSkinOptions)), 0);
  EXPECT_EQ(std::get<bool>(skin.GetProperty(kSkinApplyOptions)), false);
  EXPECT_EQ(std::get<bool>(skin.GetProperty(kSkinApplyColours)), false);
  skin.SetProperty(kSkinOptions, int32_t{1});
  skin.SetProperty(kSkinApplyOptions, true);
  skin.SetProperty(kSkinApplyColours, int32_t{-1});  // a number is a Boolean: not zero is true
  EXPECT_EQ(std::get<int32_t>(skin.GetProperty(kSkinOptions)), 1);
  EXPECT_EQ(std::get<bool>(skin.GetProperty(kSkinApplyOptions)), true);
  EXPECT_EQ(std::get<bool>(skin.GetProperty(kSkinApplyColours)), true);
  skin.SetProperty(kSkinApplyColours, int32_t{0});
  EXPECT_EQ(std::get<bool>(skin.GetProperty(kSkinApplyColours)), false);
}

TEST(SkinProtocol, AValueOfTheWrongTypeOrAnUnknownMemberIsRefused) {
  TestSkinEngine skin;
  EXPECT_EQ(FailureOf([&] { skin.SetProperty(kSkinOptions, std::string("x")); }), "Type mismatch");
  EXPECT_EQ(FailureOf([&] { skin.SetProperty(kSkinOptions, true); }), "Type mismatch");
  EXPECT_EQ(FailureOf([&] { skin.SetProperty(kSkinApplyOptions, std::string("True")); }),
            "Type mismatch");
  EXPECT_EQ(FailureOf([&] { skin.SetProperty(kSkinApplyWindow, int32_t{1}); }),
            "The skin engine has no member with dispatch id 3");
  EXPECT_EQ(FailureOf([&] { skin.GetProperty(kSkinLoadSkin); }),
            "The skin engine has no member with dispatch id 2");
  EXPECT_EQ(std::get<int32_t>(skin.GetProperty(kSkinOptions)), 0);
}

}  // namespace
}  // namespace tarnvex
