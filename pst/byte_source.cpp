#include "pst/byte_source.h"

#include <algorithm>
#include <cstring>

namespace tarnvex::pst {

namespace {
constexpr std::size_t kAlign = 4096;
}  // namespace

void FailTruncated(const ByteSource& source, const std::string& what, const Location& where,
                   std::uint64_t offset, std::size_t size, std::size_t read) {
  throw CorruptionError(
      source.Name(), Defect::kTruncated, what + " ends beyond the end of the file", where,
      std::to_string(size) + " bytes at offset " + std::to_string(offset), std::to_string(read));
}

std::size_t MemoryByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  if (offset >= bytes_.size())
    return 0;
  const std::size_t n = std::min<std::uint64_t>(size, bytes_.size() - offset);
  std::memcpy(buffer, bytes_.data() + offset, n);
  return n;
}

BufferedByteSource::BufferedByteSource(std::shared_ptr<const ByteSource> source, std::size_t window)
    : source_(std::move(source)), window_(std::max<std::size_t>(window, 2 * kAlign)) {}

// The window holds [offset, offset + size), or all of it that the file has: a window that was
// filled short ends where the file ends.
bool BufferedByteSource::Holds(std::uint64_t offset, std::size_t size) const {
  if (!valid_ || offset < start_ || offset - start_ > filled_)
    return false;
  const std::size_t from = offset - start_;
  return size <= filled_ - from || filled_ < window_.size();
}

std::size_t BufferedByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  if (size > window_.size() / 2)
    return source_->ReadAt(offset, buffer, size);
  std::lock_guard lock(mutex_);
  if (!Holds(offset, size)) {
    // Starting at the page below the offset keeps the window's reads aligned; the request still
    // fits, being at most half a window.
    valid_ = false;  // a read that throws leaves no window
    start_ = offset - offset % kAlign;
    filled_ = source_->ReadAt(start_, window_.data(), window_.size());
    valid_ = true;
  }
  const std::size_t from = offset - start_;
  const std::size_t n = from < filled_ ? std::min(size, filled_ - from) : 0;
  if (n > 0)
    std::memcpy(buffer, window_.data() + from, n);
  return n;
}

}  // namespace tarnvex::pst
