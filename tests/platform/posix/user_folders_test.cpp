// The user's home and configuration folders, found in one place by the XDG base directory rules.
#include "platform/posix/user_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace tarnvex {
namespace {

using Text = std::optional<std::string>;

struct FolderCase {
  const char* name;
  UserFolderSources sources;
  Text home;
  Text config;
};

const FolderCase kCases[] = {
    {"XdgConfigHomeWhenAbsolute",
     {"/home/ann", "/srv/config", std::nullopt},
     "/home/ann",
     "/srv/config"},
    {"RelativeXdgConfigHomeIsIgnored",
     {"/home/ann", "relative/config", std::nullopt},
     "/home/ann",
     "/home/ann/.config"},
    {"EmptyXdgConfigHomeIsUnset",
     {"/home/ann", "", std::nullopt},
     "/home/ann",
     "/home/ann/.config"},
    {"HomeWithoutXdgConfigHome",
     {"/home/ann", std::nullopt, std::nullopt},
     "/home/ann",
     "/home/ann/.config"},
    {"HomeBeforeTheAccount",
     {"/home/ann", std::nullopt, "/home/other"},
     "/home/ann",
     "/home/ann/.config"},
    {"HomeWithATrailingSlash",
     {"/home/ann/", std::nullopt, std::nullopt},
     "/home/ann/",
     "/home/ann/.config"},
    {"HomeIsTheRoot", {"/", std::nullopt, std::nullopt}, "/", "/.config"},
    {"AccountWhenHomeIsUnset",
     {std::nullopt, std::nullopt, "/var/lib/ann"},
     "/var/lib/ann",
     "/var/lib/ann/.config"},
    {"AccountWhenHomeIsEmpty",
     {"", std::nullopt, "/var/lib/ann"},
     "/var/lib/ann",
     "/var/lib/ann/.config"},
    {"XdgConfigHomeNeedsNoHome",
     {std::nullopt, "/srv/config", std::nullopt},
     std::nullopt,
     "/srv/config"},
    {"NeitherVariableNorAccount",
     {std::nullopt, std::nullopt, std::nullopt},
     std::nullopt,
     std::nullopt},
    {"NeitherVariableAndAnEmptyAccount",
     {std::nullopt, std::nullopt, ""},
     std::nullopt,
     std::nullopt},
    {"OnlyARelativeXdgConfigHome",
     {std::nullopt, "config", std::nullopt},
     std::nullopt,
     std::nullopt},
    {"EverythingEmpty", {"", "", ""}, std::nullopt, std::nullopt},
};

class UserFolders : public ::testing::TestWithParam<FolderCase> {};

TEST_P(UserFolders, FollowTheXdgRulesAndNeverGuessTheRoot) {
  EXPECT_EQ(HomeFolder(GetParam().sources), GetParam().home);
  EXPECT_EQ(ConfigFolder(GetParam().sources), GetParam().config);
}

INSTANTIATE_TEST_SUITE_P(Sources, UserFolders, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Sets the environment variables for one test and puts them back afterwards.
class ProcessEnvironment : public ::testing::Test {
 protected:
  ProcessEnvironment() : home_(Get("HOME")), config_(Get("XDG_CONFIG_HOME")) {}
  ~ProcessEnvironment() override {
    Put("HOME", home_);
    Put("XDG_CONFIG_HOME", config_);
  }

  static Text Get(const char* name) {
    const char* value = std::getenv(name);
    return value ? Text(value) : std::nullopt;
  }
  static void Put(const char* name, const Text& value) {
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }

 private:
  Text home_;
  Text config_;
};

TEST_F(ProcessEnvironment, TheProcessSourcesAreItsVariables) {
  Put("HOME", "/home/tester");
  Put("XDG_CONFIG_HOME", "/tmp/tester-config");
  const UserFolderSources sources = CurrentUserFolderSources();
  EXPECT_EQ(sources.home, "/home/tester");
  EXPECT_EQ(sources.xdgConfigHome, "/tmp/tester-config");
  EXPECT_EQ(sources.accountHome, std::nullopt);  // not asked for while HOME names a folder
  EXPECT_EQ(ConfigFolder(), "/tmp/tester-config");
  Put("XDG_CONFIG_HOME", "not/absolute");
  EXPECT_EQ(ConfigFolder(), "/home/tester/.config");
  EXPECT_EQ(HomeFolder(), "/home/tester");
}

TEST_F(ProcessEnvironment, WithNeitherVariableTheAccountsHomeOrNothing) {
  Put("HOME", std::nullopt);
  Put("XDG_CONFIG_HOME", std::nullopt);
  const UserFolderSources sources = CurrentUserFolderSources();
  EXPECT_EQ(sources.home, std::nullopt);
  EXPECT_EQ(sources.xdgConfigHome, std::nullopt);
  const Text config = ConfigFolder();
  if (sources.accountHome && !sources.accountHome->empty()) {
    EXPECT_EQ(HomeFolder(), sources.accountHome);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->rfind(*sources.accountHome, 0), 0u) << *config;
  } else {
    EXPECT_EQ(config, std::nullopt);
  }
}

}  // namespace
}  // namespace tarnvex
