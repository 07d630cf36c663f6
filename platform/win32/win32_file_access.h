#pragma once

#include "platform/file_access.h"

namespace tarnvex {

// Whole files over the wide Win32 API, at any path length; a file's identity is its volume's
// serial number and its file index.
class Win32FileAccess : public FileAccess {
 public:
  std::optional<std::string> ReadIfPresent(const std::string& path, std::string_view what,
                                           std::size_t maxBytes) override;
  // Both "\" and "/" separate folders; the root ("C:\", "\\server\share\") is taken as there.
  void CreateFolders(const std::string& folder, std::string_view what) override;
  std::optional<FileIdentity> Identify(const std::string& path) override;
  // A path is absolute when it starts with a drive and a separator or names a network share;
  // others ("name", "C:name", "\name") are completed by the system.
  std::string AbsolutePath(const std::string& path) override;
};

}  // namespace tarnvex
