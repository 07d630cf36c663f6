#include "pst/byte_source.h"

#include <algorithm>
#include <cstring>

namespace tarnvex::pst {

void ReadExactly(const ByteSource& source, std::uint64_t offset, void* buffer, std::size_t size,
                 const std::string& what, const Location& where) {
  const std::size_t read = source.ReadAt(offset, buffer, size);
  if (read < size) {
    throw CorruptionError(
        source.Name(), Defect::kTruncated, what + " ends beyond the end of the file", where,
        std::to_string(size) + " bytes at offset " + std::to_string(offset), std::to_string(read));
  }
}

std::size_t MemoryByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  if (offset >= bytes_.size())
    return 0;
  const std::size_t n = std::min<std::uint64_t>(size, bytes_.size() - offset);
  std::memcpy(buffer, bytes_.data() + offset, n);
  return n;
}

}  // namespace tarnvex::pst
