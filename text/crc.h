#pragma once

// The CRC-32 of Outlook's data files (MS-PST section 5.3): the reflected polynomial 0xEDB88320
// with no inversion before or after, continued from `crc` (0 for a fresh sum). The same sum
// checks blocks, pages and headers and keeps a store's password.

#include <cstddef>
#include <cstdint>

namespace tarnvex::text {

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace tarnvex::text
