#pragma once

// An Outlook data file read with positional ReadFile calls over the wide API, for the PST library.

#include <memory>
#include <string>

#include "pst/byte_source.h"

namespace tarnvex {

class Win32ByteSource final : public pst::ByteSource {
 public:
  // Opens a file for reading at any path length, sharing it with programs that read, write or
  // delete it (Outlook keeps its data files open). Throws Failure "Cannot open the Outlook data
  // file "PATH": <reason>." (the reason is the system's text, or "it is not a file").
  static std::shared_ptr<Win32ByteSource> Open(const std::string& path);
  ~Win32ByteSource() override;
  Win32ByteSource(const Win32ByteSource&) = delete;
  Win32ByteSource& operator=(const Win32ByteSource&) = delete;

  const std::string& Name() const override { return path_; }
  std::uint64_t Size() const override { return size_; }
  // Reads at the offset without moving a shared file position, so that threads may read side by
  // side. Throws Failure "Cannot read the Outlook data file "PATH": <the system's text>.".
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override;

 private:
  Win32ByteSource(std::string path, void* handle, std::uint64_t size)
      : path_(std::move(path)), handle_(handle), size_(size) {}
  std::string path_;
  void* handle_;  // the file's HANDLE
  std::uint64_t size_;
};

}  // namespace tarnvex
