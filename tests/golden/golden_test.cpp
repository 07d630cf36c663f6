// Golden cards: each fixture description is written as a PST file, exported by tarnvex-export in
// every vCard version, and the folder of cards is compared byte for byte with the committed one.
// TARNVEX_UPDATE_GOLDEN=1 writes the committed folders anew instead (review the diff!).

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/golden/compare_cards.h"
#include "tests/golden/fixture_names.h"
#include "tests/sandbox/sandbox.h"
#include "tools/pstgen/pstgen_cli.h"

namespace tarnvex::golden {
namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = TARNVEX_GOLDEN_DIR;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// File names as UTF-8 text on every platform.
std::string NameOf(const fs::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}
fs::path PathOf(const std::string& name) {
  return fs::path(std::u8string(name.begin(), name.end()));
}

std::map<std::string, std::string> ReadFolder(const fs::path& folder) {
  std::map<std::string, std::string> files;
  if (!fs::is_directory(folder))
    return files;
  for (const auto& e : fs::directory_iterator(folder))
    files[NameOf(e.path())] = ReadAll(e.path());
  return files;
}

struct Case {
  std::string fixture;  // tests/golden/fixtures/<fixture>.json
  std::string version;  // --vcard-version
};

class GoldenCards : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() {
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("LC_ALL", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "C.UTF-8");
  }
};

TEST_P(GoldenCards, ExportMatchesTheCommittedCards) {
  const Case& c = GetParam();
  testing::Sandbox tmp;
  testing::SandboxedProfile profile(tmp);
  const fs::path pst = tmp.folder() / (c.fixture + ".pst");
  const fs::path out = tmp.folder() / "cards";
  fs::create_directory(out);

  std::ostringstream genOut, genErr;
  ASSERT_EQ(
      pstwriter::RunPstgen({"--json", (kGoldenDir / "fixtures" / (c.fixture + ".json")).string(),
                            "--out", pst.string()},
                           genOut, genErr),
      0)
      << genErr.str();
  std::ostringstream runOut, runErr;
  const int status = cli::Run(
      {"--pst", pst.string(), "--out", out.string(), "--vcard-version", c.version, "--quiet"},
      runOut, runErr);
  ASSERT_EQ(status, 0) << runOut.str() << runErr.str();

  const fs::path expectedDir = kGoldenDir / "cards" / c.fixture / c.version;
  const auto actual = ReadFolder(out);
  if (std::getenv("TARNVEX_UPDATE_GOLDEN")) {
    fs::remove_all(expectedDir);
    fs::create_directories(expectedDir);
    for (const auto& [name, bytes] : actual)
      std::ofstream(expectedDir / PathOf(name), std::ios::binary) << bytes;
    GTEST_SKIP() << "wrote " << expectedDir.string();
  }
  ExpectSameCards(ReadFolder(expectedDir), actual, expectedDir.string());
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const char* fixture : golden::kFixtureNames) {
    for (const char* version : {"2.1", "3.0", "4.0"})
      cases.push_back({fixture, version});
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string v = info.param.version;
  v.erase(std::remove(v.begin(), v.end(), '.'), v.end());
  return info.param.fixture + "_v" + v;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, GoldenCards, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
}  // namespace tarnvex::golden
