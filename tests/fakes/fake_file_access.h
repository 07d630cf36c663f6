#pragma once

// Whole files in memory, and an atomic writer into them, that fail where a test says.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/atomic_file_writer.h"
#include "platform/failure.h"
#include "platform/file_access.h"

namespace tarnvex::fakes {

class FakeFileAccess : public FileAccess {
 public:
  std::map<std::string, std::string> files;  // path: content
  std::set<std::string> folders;
  std::set<std::string> unreadable;  // paths whose reading fails
  std::set<std::string> blocked;     // folders that cannot be created
  std::string currentFolder = "/work";

  std::optional<std::string> ReadIfPresent(const std::string& path, std::string_view what,
                                           std::size_t maxBytes) override {
    if (unreadable.contains(path))
      throw Failure("Cannot read " + std::string(what) + " \"" + path + "\": refused.");
    if (auto it = files.find(path); it != files.end() && it->second.size() > maxBytes)
      throw Failure("Cannot read " + std::string(what) + " \"" + path + "\": too large.");
    if (auto it = files.find(path); it != files.end())
      return it->second;
    return std::nullopt;
  }
  void CreateFolders(const std::string& folder, std::string_view what) override {
    if (blocked.contains(folder)) {
      throw Failure("Cannot create the folder \"" + folder + "\" for " + std::string(what) +
                    ": refused.");
    }
    folders.insert(folder);
  }
  std::optional<FileIdentity> Identify(const std::string& path) override {
    if (!files.contains(path))
      return std::nullopt;
    return FileIdentity{1, std::hash<std::string>{}(path)};
  }
  std::string AbsolutePath(const std::string& path) override {
    return !path.empty() && path[0] == '/' ? path : currentFolder + "/" + path;
  }
};

// Writes into a FakeFileAccess's files; paths in `failing` fail as a full disk would.
class FakeAtomicFileWriter : public AtomicFileWriter {
 public:
  explicit FakeAtomicFileWriter(FakeFileAccess& files) : files_(files) {}

  std::set<std::string> failing;
  std::vector<std::string> written;  // paths, in order

  void WriteReplacing(const std::string& path, std::string_view bytes) override {
    if (failing.contains(path))
      throw Failure("Cannot write the file \"" + path + "\": No space left on device.");
    files_.files[path] = std::string(bytes);
    written.push_back(path);
  }

 private:
  FakeFileAccess& files_;
};

}  // namespace tarnvex::fakes
