#include "tests/fakes/fake_file_system.h"

#include "platform/failure.h"

namespace tarnvex::fakes {

uint32_t FakeFileSystem::GetAttr(const std::string& path) {
  if (folders.contains(path))
    return kAttrDirectory;
  if (files.contains(path))
    return 0;
  throw Failure("File not found: " + path);
}

int64_t FakeFileSystem::FileDateTime(const std::string& path) {
  if (folders.contains(path) || files.contains(path))
    return 1'600'000'000;
  throw Failure("File not found: " + path);
}

std::string FakeFileSystem::Dir(const std::string& pattern) {
  if (malformed.contains(pattern))
    throw Failure("Bad file name or number");
  if (!files.contains(pattern))
    return {};
  return pattern.substr(pattern.find_last_of('/') + 1);
}

}  // namespace tarnvex::fakes
