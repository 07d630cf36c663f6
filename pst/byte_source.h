#pragma once

// Where the PST library reads a data file from. The library opens no file itself: the program
// hands it a source (platform/posix/posix_byte_source.h reads a file; MemoryByteSource holds the
// bytes, for tests and fuzzing). Sources are read-only and may be read from several threads.

#include <cstddef>
#include <cstdint>
#include <string>

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

// Reads exactly `size` bytes; data that ends before is a CorruptionError (Defect::kTruncated)
// saying that `what` ends beyond the end of the file.
void ReadExactly(const ByteSource& source, std::uint64_t offset, void* buffer, std::size_t size,
                 const std::string& what, const Location& where);

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

}  // namespace tarnvex::pst
