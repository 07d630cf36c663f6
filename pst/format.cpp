#include "pst/format.h"

namespace tarnvex::pst::format {

std::uint16_t ComputeSig(std::uint64_t ib, std::uint64_t bid) {
  ib ^= bid;
  const auto low = static_cast<std::uint32_t>(ib);
  return static_cast<std::uint16_t>((low >> 16) ^ (low & 0xFFFF));
}

}  // namespace tarnvex::pst::format
