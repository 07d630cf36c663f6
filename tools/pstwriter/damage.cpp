#include "tools/pstwriter/damage.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/failure.h"

namespace tarnvex::pstwriter {

namespace {

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw Failure("Cannot read \"" + path + "\": " + std::strerror(errno) + ".");
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const char* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out || !out.write(data, static_cast<std::streamsize>(size)) || !out.flush()) {
    throw Failure("Cannot write \"" + path + "\": " + std::strerror(errno) + ".");
  }
}

}  // namespace

void WriteTruncatedCopy(const std::string& source, const std::string& target,
                        std::uint64_t length) {
  const std::vector<char> data = ReadAll(source);
  WriteAll(target, data.data(), std::min<std::uint64_t>(length, data.size()));
}

void WriteFlippedCopy(const std::string& source, const std::string& target, std::uint64_t count,
                      std::uint64_t seed, std::uint64_t from) {
  std::vector<char> data = ReadAll(source);
  if (from >= data.size() && count > 0) {
    throw Failure("Cannot damage \"" + source + "\": it has only " + std::to_string(data.size()) +
                  " bytes.");
  }
  std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
  auto next = [&] {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  };
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t at = from + next() % (data.size() - from);
    data[at] = static_cast<char>(data[at] ^ static_cast<char>(1 + next() % 255));
  }
  WriteAll(target, data.data(), data.size());
}

}  // namespace tarnvex::pstwriter
