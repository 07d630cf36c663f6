// Stores made by the PST writer's generator (names in several scripts, photos, long notes,
// colliding file-as texts, nested contact folders, lists and other items) exported through the
// command line in every vCard version and read back by the independent parsers.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "cli/cli.h"
#include "tests/platform/standin/pst_fixtures.h"
#include "tests/support/card_parsers.h"
#include "tools/pstwriter/generator.h"
#include "tools/pstwriter/pst_writer.h"

namespace tarnvex::standin {
namespace {

using testing::ReadFile;
using testing::Sandbox;
using testing::SandboxedProfile;

namespace fs = std::filesystem;

const std::string& GeneratedPst() {
  static Sandbox folder;
  static const std::string path = [] {
    pstwriter::GeneratorOptions options;
    options.contacts = 300;
    options.seed = 7;
    options.folders = 3;
    return testing::WriteStore(pstwriter::GenerateStore(options), folder / "generated.pst");
  }();
  return path;
}

struct Case {
  const char* name;
  const char* version;
};

class GeneratedStoreTest : public ::testing::TestWithParam<Case> {};

TEST_P(GeneratedStoreTest, EveryContactBecomesOneValidCard) {
  Sandbox tmp;
  const SandboxedProfile profile(tmp);
  const std::string out = tmp / "out";
  fs::create_directory(out);
  std::ostringstream o, e;
  const int status = cli::Run(
      {"--pst", GeneratedPst(), "--out", out, "--vcard-version", GetParam().version, "--quiet"}, o,
      e);
  EXPECT_EQ(status, 0) << e.str();
  // Every contact of the three nested folders, colliding names numbered, nothing else.
  std::vector<std::string> paths;
  for (const auto& entry : fs::directory_iterator(out))
    paths.push_back(entry.path());
  EXPECT_EQ(paths.size(), 300u);
  EXPECT_NE(o.str().find("300 cards written"), std::string::npos) << o.str();

  std::vector<tarnvex::testing::ParsedCard> cards;
  if (std::string(GetParam().version) == "4.0") {
    for (const auto& p : paths)
      cards.push_back(tarnvex::testing::ParseWithBelcard(ReadFile(p)));
  } else {
    cards = tarnvex::testing::ParseWithVobject(
        paths, {.lexical = std::string(GetParam().version) == "2.1"});
  }
  std::set<std::string> scripts;
  int photos = 0;
  for (const auto& card : cards) {
    const auto fn = tarnvex::testing::One(card, "FN");
    ASSERT_FALSE(fn.value.empty());
    EXPECT_FALSE(fn.value[0].empty());
    for (unsigned char c : fn.value[0]) {
      if (c >= 0xF0) {
        scripts.insert("4-byte");
      } else if (c >= 0xE0) {
        scripts.insert("3-byte");
      } else if (c >= 0xC0) {
        scripts.insert("2-byte");
      }
    }
    photos += !tarnvex::testing::All(card, "PHOTO").empty();
  }
  // The generator's scripts reach the cards: two-, three- and four-byte UTF-8 all appear.
  EXPECT_EQ(scripts.size(), 3u);
  EXPECT_GT(photos, 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, GeneratedStoreTest,
                         ::testing::Values(Case{"V21", "2.1"}, Case{"V30", "3.0"},
                                           Case{"V40", "4.0"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnvex::standin
