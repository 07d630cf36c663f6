#pragma once

// An Outlook data file read with pread(2), for the PST library.

#include <memory>
#include <string>

#include "pst/byte_source.h"

namespace tarnvex {

class PosixByteSource final : public pst::ByteSource {
 public:
  // Opens a regular file for reading. Throws Failure "Cannot open the Outlook data file "PATH":
  // <reason>." (the reason is the system's text, or "it is not a file").
  static std::shared_ptr<PosixByteSource> Open(const std::string& path);
  ~PosixByteSource() override;
  PosixByteSource(const PosixByteSource&) = delete;
  PosixByteSource& operator=(const PosixByteSource&) = delete;

  const std::string& Name() const override { return path_; }
  std::uint64_t Size() const override { return size_; }
  // Throws Failure "Cannot read the Outlook data file "PATH": <the system's text>.".
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override;

 private:
  PosixByteSource(std::string path, int fd, std::uint64_t size)
      : path_(std::move(path)), fd_(fd), size_(size) {}
  std::string path_;
  int fd_;
  std::uint64_t size_;
};

}  // namespace tarnvex
