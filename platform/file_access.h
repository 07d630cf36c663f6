#pragma once

// Files taken whole: reading one, making folders, telling whether two paths name one file,
// completing a relative path. What the Outlook stand-in needs beyond the core's queries
// (file_system.h). Implementations: platform/posix (later Win32).
//
// Failures come back as Failure. Where a call takes `what`, the words for the file in the
// caller's terms ("the Outlook profile"), the description names it with the path and the
// system's reason: `Cannot read the Outlook profile "/home/ann/x.ini": Permission denied.`

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnvex {

// What tells one file apart from every other on the machine, whatever path names it.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};

class FileAccess {
 public:
  virtual ~FileAccess() = default;
  // The whole content of the file; nullopt when there is no file at the path (nor, perhaps, its
  // folder). Throws Failure when something is there that cannot be read: anything but a regular
  // file (a folder, a pipe, a device such as /dev/zero, which could block or never end) or a
  // file larger than maxBytes.
  virtual std::optional<std::string> ReadIfPresent(const std::string& path, std::string_view what,
                                                   std::size_t maxBytes) = 0;
  // Creates the folder and every missing folder above it; folders already there are fine.
  // Throws Failure naming the first folder that cannot be made, and what it is made for.
  virtual void CreateFolders(const std::string& folder, std::string_view what) = 0;
  // The identity of the file the path names, links followed; nullopt when it cannot be looked
  // up.
  virtual std::optional<FileIdentity> Identify(const std::string& path) = 0;
  // The path completed against the current folder; an absolute path as it is. Throws Failure
  // when the current folder cannot be found.
  virtual std::string AbsolutePath(const std::string& path) = 0;
};

}  // namespace tarnvex
