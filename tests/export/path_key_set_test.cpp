#include "export/path_key_set.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unordered_set>

namespace tarnvex {
namespace {

TEST(PathKeySet, KeysAreMembersExactlyWhenEqualAsStrings) {
  PathKeySet set;
  const std::string taken[] = {
      "/out/smith.vcf", "/out/", "plain.vcf", "", "c:\\out\\smith.vcf", "/out/sub/smith.vcf",
  };
  for (const std::string& key : taken)
    EXPECT_TRUE(set.Insert(key)) << key;
  for (const std::string& key : taken)
    EXPECT_FALSE(set.Insert(key)) << key;
  EXPECT_EQ(set.size(), std::size(taken));

  const std::pair<std::string, bool> probes[] = {
      {"/out/smith.vcf", true},
      {"/out/smith.vc", false},       // a prefix of a member
      {"/out/smith.vcfx", false},     // a member is a prefix of it
      {"/out/sub/", false},           // a folder part alone
      {"/other/smith.vcf", false},    // the same name in a folder never seen
      {"/out/sub/plain.vcf", false},  // a member's name in a known folder
      {"c:/out/smith.vcf", false},    // other separators
      {"c:\\out\\smith.vcf", true},
      {"/out//smith.vcf", false},
      {"plain.vcf", true},
      {"/plain.vcf", false},
      {"", true},
      {"/out/", true},
      {std::string("/out/smith.vcf\0", 15), false},
  };
  for (const auto& [key, member] : probes)
    EXPECT_EQ(set.Contains(key), member) << key;
}

TEST(PathKeySet, AgreesWithAStandardSetAcrossGrowthAndChunks) {
  std::mt19937 rng(7);
  PathKeySet set;
  std::unordered_set<std::string> reference;
  const std::string folders[] = {"/a/", "/a/b/", "/b/", "C:\\x\\", ""};
  auto randomKey = [&] {
    std::string key = folders[rng() % std::size(folders)];
    // Names from a small alphabet repeat often; now and then one is longer than a chunk.
    const std::size_t length = rng() % 5000 == 0 ? (1 << 20) + 17 : rng() % 12;
    for (std::size_t i = 0; i < length; ++i)
      key += "ab(2) .vcf"[rng() % 10];
    return key;
  };
  for (int i = 0; i < 60000; ++i) {
    const std::string key = randomKey();
    ASSERT_EQ(set.Insert(key), reference.insert(key).second) << key.substr(0, 40);
  }
  EXPECT_EQ(set.size(), reference.size());
  for (const std::string& key : reference)
    ASSERT_TRUE(set.Contains(key)) << key.substr(0, 40);
  for (int i = 0; i < 60000; ++i) {
    const std::string key = randomKey() + "!";
    ASSERT_FALSE(set.Contains(key)) << key.substr(0, 40);
  }
}

}  // namespace
}  // namespace tarnvex
