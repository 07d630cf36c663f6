#pragma once

// Where the PST library reads a data file from. The library opens no file itself: the program
// hands it a source (platform/posix/posix_byte_source.h reads a file; MemoryByteSource holds the
// bytes, for tests and fuzzing). Sources are read-only and may be read from several threads.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pst/errors.h"

namespace tarnvex::pst {

class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // The data file's name as failures give it: its path.
  virtual const std::string& Name() const = 0;
  virtual std::uint64_t Size() const = 0;
  // Reads up to `size` bytes at `offset` into `buffer` and returns how many it read: fewer only
  // where the data ends. When the data cannot be read it throws an exception of its own kind
  // (the POSIX source throws the program's failure), naming the file; the library lets it pass.
  virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const = 0;
};

// The CorruptionError (Defect::kTruncated) of a read that found `read` of `size` bytes.
[[noreturn]] void FailTruncated(const ByteSource& source, const std::string& what,
                                const Location& where, std::uint64_t offset, std::size_t size,
                                std::size_t read);

// Reads exactly `size` bytes; data that ends before is a CorruptionError (Defect::kTruncated)
// saying that what `describe()` names ends beyond the end of the file. The description is made
// only then: reads that succeed, nearly all of them, pay nothing for it.
template <class Describe>
void ReadExactly(const ByteSource& source, std::uint64_t offset, void* buffer, std::size_t size,
                 const Describe& describe, const Location& where) {
  const std::size_t read = source.ReadAt(offset, buffer, size);
  if (read < size)
    FailTruncated(source, describe(), where, offset, size, read);
}

// The data file's bytes held in memory.
class MemoryByteSource final : public ByteSource {
 public:
  MemoryByteSource(std::string name, std::string bytes)
      : name_(std::move(name)), bytes_(std::move(bytes)) {}

  const std::string& Name() const override { return name_; }
  std::uint64_t Size() const override { return bytes_.size(); }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override;

 private:
  std::string name_;
  std::string bytes_;
};

// Reads another source a window at a time. The reader's many small reads of neighbouring blocks
// (an item's blocks lie close together) are served from the window, so the file is read once
// per window instead of once per block. Reads larger than half a window go straight through.
class BufferedByteSource final : public ByteSource {
 public:
  static constexpr std::size_t kDefaultWindow = 256 * 1024;

  explicit BufferedByteSource(std::shared_ptr<const ByteSource> source,
                              std::size_t window = kDefaultWindow);

  const std::string& Name() const override { return source_->Name(); }
  std::uint64_t Size() const override { return source_->Size(); }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override;

 private:
  bool Holds(std::uint64_t offset, std::size_t size) const;

  std::shared_ptr<const ByteSource> source_;
  mutable std::mutex mutex_;
  mutable std::vector<char> window_;
  mutable std::uint64_t start_ = 0;  // the file offset of window_[0]
  mutable std::size_t filled_ = 0;   // bytes of window_ read; fewer than its size at the end
  mutable bool valid_ = false;       // whether window_ holds what was read at start_
};

}  // namespace tarnvex::pst
