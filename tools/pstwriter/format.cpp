#include "tools/pstwriter/format.h"

#include <array>

namespace tarnvex::pstwriter::format {

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();
static_assert(kCrcTable[1] == 0x77073096u && kCrcTable[255] == 0x2D02EF8Du);

}  // namespace

std::uint32_t ComputeCrc(std::uint32_t dwCRC, const void* data, std::size_t length) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  for (std::size_t i = 0; i < length; ++i)
    dwCRC = kCrcTable[(dwCRC ^ p[i]) & 0xFF] ^ (dwCRC >> 8);
  return dwCRC;
}

std::uint16_t ComputeSig(std::uint64_t ib, std::uint64_t bid) {
  ib ^= bid;
  const auto low = static_cast<std::uint32_t>(ib);
  return static_cast<std::uint16_t>((low >> 16) ^ (low & 0xFFFF));
}

}  // namespace tarnvex::pstwriter::format
