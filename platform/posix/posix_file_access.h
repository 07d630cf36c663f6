#pragma once

#include "platform/file_access.h"

namespace tarnvex {

// Whole files over POSIX calls; a file's identity is its device and inode number.
class PosixFileAccess : public FileAccess {
 public:
  std::optional<std::string> ReadIfPresent(const std::string& path, std::string_view what,
                                           std::size_t maxBytes) override;
  void CreateFolders(const std::string& folder, std::string_view what) override;
  std::optional<FileIdentity> Identify(const std::string& path) override;
  std::string AbsolutePath(const std::string& path) override;
};

}  // namespace tarnvex
