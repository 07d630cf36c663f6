// The block encodings: NDB_CRYPT_PERMUTE's tables and NDB_CRYPT_CYCLIC, both ways.

#include "pst/crypt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace tarnvex::pst {
namespace {

std::vector<std::uint8_t> AllBytes() {
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i)
    all[i] = static_cast<std::uint8_t>(i);
  return all;
}

TEST(CryptTest, PermuteDecodingIsAPermutation) {
  auto all = AllBytes();
  DecodePermute(all.data(), all.size());
  std::vector<bool> seen(256);
  for (std::uint8_t b : all)
    seen[b] = true;
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 256);
  EXPECT_EQ(all[0x41], 0x00);  // the first entry of the encoding table, 0x41, decodes to 0
}

TEST(CryptTest, PermuteEncodingIsTheTableDecodingUndoes) {
  auto all = AllBytes();
  EncodePermute(all.data(), all.size());
  // The first entries of mpbbR (MS-PST 5.1).
  EXPECT_EQ(all[0], 0x41);
  EXPECT_EQ(all[1], 0x36);
  EXPECT_EQ(all[2], 0x13);
  EXPECT_EQ(all[3], 0x62);
  DecodePermute(all.data(), all.size());
  EXPECT_EQ(all, AllBytes());
}

TEST(CryptTest, CyclicIsItsOwnInverseForEveryKey) {
  std::mt19937 rng(7);
  for (std::uint32_t key : {0u, 1u, 0x4u, 0x10000u, 0x2468ACu, 0xFFFFFFFFu}) {
    for (std::size_t size : {0u, 1u, 255u, 256u, 1000u, 8176u}) {
      std::vector<std::uint8_t> plain(size);
      for (auto& b : plain)
        b = static_cast<std::uint8_t>(rng());
      auto data = plain;
      CryptCyclic(data.data(), data.size(), key);
      if (size >= 16) {
        EXPECT_NE(data, plain) << key << " " << size;
      }
      CryptCyclic(data.data(), data.size(), key);
      EXPECT_EQ(data, plain) << key << " " << size;
    }
  }
}

TEST(CryptTest, CyclicDependsOnTheKeyAndThePosition) {
  std::vector<std::uint8_t> a(64, 0x20), b(64, 0x20);
  CryptCyclic(a.data(), a.size(), 0x24);
  CryptCyclic(b.data(), b.size(), 0x28);
  EXPECT_NE(a, b);
  // The key advances with each byte: equal bytes do not encode alike.
  EXPECT_GT(std::count(a.begin(), a.end(), a[0]), 0);
  EXPECT_LT(std::count(a.begin(), a.end(), a[0]), 64);
  // Only the low 16 bits of key ^ (key >> 16) count.
  std::vector<std::uint8_t> c(64, 0x20);
  CryptCyclic(c.data(), c.size(), 0x00010025);
  EXPECT_EQ(a, c);
}

}  // namespace
}  // namespace tarnvex::pst
