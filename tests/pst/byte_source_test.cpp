#include "pst/byte_source.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <string>

namespace tarnvex::pst {
namespace {

// Bytes that differ from one offset to the next, so a read from the wrong place shows.
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return bytes;
}

// A memory source that counts its reads and can be told to fail one of them.
class CountingSource : public ByteSource {
 public:
  explicit CountingSource(std::string bytes) : memory_("store.pst", std::move(bytes)) {}
  const std::string& Name() const override { return memory_.Name(); }
  std::uint64_t Size() const override { return memory_.Size(); }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override {
    if (++reads == failingRead)
      throw std::runtime_error("the disk is gone");
    return memory_.ReadAt(offset, buffer, size);
  }
  mutable int reads = 0;
  int failingRead = 0;

 private:
  MemoryByteSource memory_;
};

std::string ReadThrough(const ByteSource& source, std::uint64_t offset, std::size_t size) {
  std::string out(size, '\x55');
  out.resize(source.ReadAt(offset, out.data(), size));
  return out;
}

constexpr std::size_t kWindow = 8192;

TEST(BufferedByteSource, ReadsWhatTheSourceHoldsWhereverTheWindowLies) {
  const std::string bytes = Pattern(20000);
  const auto memory = std::make_shared<MemoryByteSource>("store.pst", bytes);
  const BufferedByteSource buffered(memory, kWindow);
  const std::pair<std::uint64_t, std::size_t> reads[] = {
      {0, 512},        {100, 4000},   {4095, 2},     {8000, 4096},   // the last runs past a window
      {4096, 4096},    {12287, 4096}, {19000, 1000}, {19500, 1000},  // up to and past the end
      {19999, 1},      {20000, 1},    {20001, 10},   {30000, 100},   // at and after the end
      {0, 0},          {9000, 0},     {0, 4097},     {5000, 15000},  // more than half a window
      {~0ull - 5, 10}, {7, 4096},     {7, 4096},     {3, 5},         // back to the start
  };
  for (const auto& [offset, size] : reads) {
    const std::string expected = offset >= bytes.size() ? "" : bytes.substr(offset, size);
    EXPECT_EQ(ReadThrough(buffered, offset, size), expected) << offset << " +" << size;
  }
}

TEST(BufferedByteSource, AgreesWithTheSourceOnRandomReads) {
  const std::string bytes = Pattern(300000);
  const auto memory = std::make_shared<MemoryByteSource>("store.pst", bytes);
  const BufferedByteSource buffered(memory, kWindow);
  std::mt19937 rng(11);
  std::uint64_t at = 0;
  for (int i = 0; i < 20000; ++i) {
    // Mostly near the last read, as the reader goes; now and then anywhere.
    at = rng() % 8 == 0 ? rng() % 310000 : at + rng() % 3000;
    const std::size_t size = rng() % 6000;
    ASSERT_EQ(ReadThrough(buffered, at, size), ReadThrough(*memory, at, size))
        << at << " +" << size;
  }
}

TEST(BufferedByteSource, ReadsTheFileOncePerWindow) {
  const auto source = std::make_shared<CountingSource>(Pattern(1 << 20));
  const BufferedByteSource buffered(source);
  for (std::uint64_t at = 0; at < (1 << 20); at += 512)
    ASSERT_EQ(ReadThrough(buffered, at, 512).size(), 512u);
  EXPECT_EQ(source->reads, (1 << 20) / BufferedByteSource::kDefaultWindow);
}

TEST(BufferedByteSource, AFailedReadLeavesNothingBehind) {
  const std::string bytes = Pattern(50000);
  const auto source = std::make_shared<CountingSource>(bytes);
  const BufferedByteSource buffered(source, kWindow);
  EXPECT_EQ(ReadThrough(buffered, 0, 100), bytes.substr(0, 100));
  source->failingRead = 2;
  EXPECT_THROW(ReadThrough(buffered, 9000, 100), std::runtime_error);
  // The window of the failed read holds nothing: reading there again asks the source again.
  EXPECT_EQ(ReadThrough(buffered, 9000, 100), bytes.substr(9000, 100));
  EXPECT_EQ(ReadThrough(buffered, 50, 10), bytes.substr(50, 10));
  EXPECT_EQ(source->reads, 4);
}

}  // namespace
}  // namespace tarnvex::pst
