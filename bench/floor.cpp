// The floor of the export benchmark: writes as many files of the same sizes as a finished export
// wrote, with nothing else to do (no store to read, no card to form). Plain open, write, close.
//
// Usage: tarnvex-bench-floor SIZES-FILE DIR   (SIZES-FILE: one size in bytes a line)

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SIZES-FILE DIR\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1]);
  std::vector<size_t> sizes;
  for (size_t s; in >> s;)
    sizes.push_back(s);
  std::string buffer;
  const std::string dir = argv[2];
  for (size_t i = 0; i < sizes.size(); ++i) {
    buffer.assign(sizes[i], 'x');
    const std::string path = dir + "/" + std::to_string(i) + ".vcf";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 ||
        ::write(fd, buffer.data(), buffer.size()) != static_cast<ssize_t>(buffer.size()) ||
        ::close(fd) != 0) {
      std::perror(path.c_str());
      return 1;
    }
  }
  return 0;
}
