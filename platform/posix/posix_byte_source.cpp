#include "platform/posix/posix_byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/failure.h"
#include "pst/file_source.h"

namespace tarnvex {
namespace {

[[noreturn]] void FailOpen(const std::string& path, const std::string& why) {
  throw Failure("Cannot open the Outlook data file \"" + path + "\": " + why + ".");
}

}  // namespace

std::shared_ptr<PosixByteSource> PosixByteSource::Open(const std::string& path) {
  // Looked at before it is opened: opening a FIFO for reading would wait for a writer.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    FailOpen(path, std::strerror(errno));
  if (!S_ISREG(st.st_mode))
    FailOpen(path, "it is not a file");
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    FailOpen(path, std::strerror(errno));
  // The file opened may not be the one looked at: the path can change in between.
  const bool statted = ::fstat(fd, &st) == 0;
  if (!statted || !S_ISREG(st.st_mode)) {
    const std::string why = statted ? "it is not a file" : std::strerror(errno);
    ::close(fd);
    FailOpen(path, why);
  }
  return std::shared_ptr<PosixByteSource>(
      new PosixByteSource(path, fd, static_cast<std::uint64_t>(st.st_size)));
}

PosixByteSource::~PosixByteSource() {
  ::close(fd_);
}

std::size_t PosixByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t r = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (r < 0 && errno == EINTR)
      continue;
    if (r < 0) {
      throw Failure("Cannot read the Outlook data file \"" + path_ + "\": " + std::strerror(errno) +
                    ".");
    }
    if (r == 0)
      break;
    done += static_cast<std::size_t>(r);
  }
  return done;
}

namespace pst {

std::shared_ptr<const ByteSource> OpenFileSource(const std::string& path) {
  return PosixByteSource::Open(path);
}

}  // namespace pst

}  // namespace tarnvex
