// The floor of the export benchmark: writes as many files of the same sizes as a finished export
// wrote, with nothing else to do (no store to read, no card to form). Plain open, write, close.
//
// With --unnamed each file is written as the export writes a new card: into an unnamed file of
// the folder (O_TMPFILE), named through /proc/self/fd once complete. The difference between the
// two is what the rule that no card is ever seen half-written costs, whatever else a run does.
//
// Usage: tarnvex-bench-floor [--unnamed] SIZES-FILE DIR   (SIZES-FILE: one size in bytes a line)

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool WritePlain(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
         ::close(fd) == 0;
}

bool WriteUnnamed(int procFds, const std::string& dir, const std::string& path,
                  const std::string& bytes) {
  const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    return false;
  const std::string number = std::to_string(fd);
  return ::linkat(procFds, number.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 &&
         ::close(fd) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool unnamed = argc == 4 && std::strcmp(argv[1], "--unnamed") == 0;
  if (argc != 3 && !unnamed) {
    std::fprintf(stderr, "usage: %s [--unnamed] SIZES-FILE DIR\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[argc - 2]);
  std::vector<size_t> sizes;
  for (size_t s; in >> s;)
    sizes.push_back(s);
  std::string buffer;
  const std::string dir = argv[argc - 1];
  const int procFds = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (size_t i = 0; i < sizes.size(); ++i) {
    buffer.assign(sizes[i], 'x');
    const std::string path = dir + "/" + std::to_string(i) + ".vcf";
    if (!(unnamed ? WriteUnnamed(procFds, dir, path, buffer) : WritePlain(path, buffer))) {
      std::perror(path.c_str());
      return 1;
    }
  }
  return 0;
}
