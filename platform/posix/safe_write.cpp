#include "platform/posix/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/failure.h"

namespace tarnvex {
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
  throw Failure("Cannot write the file \"" + path + "\": " + std::strerror(error) + ".");
}

// A temporary file of its own in the folder, created with the mode a plain new file gets (0666
// less the process's file-creation mask), so no chmod is needed; a name already taken, even by a
// symbolic link, is passed over.
int CreateTemporary(const std::string& folder, std::string& name) {
  static std::mt19937_64 rng{std::random_device{}()};
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + ".tarnvex-";
    uint64_t bits = rng();
    for (int k = 0; k < 10; ++k, bits >>= 6)
      name += kChars[bits % 62];
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 || errno != EEXIST)
      return fd;
  }
  errno = EEXIST;
  return -1;
}

// Writes all of the bytes; 0, or the errno of the write that failed.
int WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

// The usual case, a card that does not exist yet: the data goes into an unnamed file of the
// folder (O_TMPFILE), which is given its name only once it is complete. One directory entry is
// made instead of a temporary one and a rename. False, with nothing left behind, when the name is
// taken (a card or a link to replace) or the folder's file system has no unnamed files: the
// caller then writes through a named temporary file.
bool WriteNew(const std::string& folder, const std::string& path, std::string_view bytes) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0)
    return false;
  if (const int error = WriteAll(fd, bytes)) {
    ::close(fd);
    Fail(path, error);
  }
  char self[40];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  if (::linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    ::close(fd);
    return false;
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(path.c_str());
    Fail(path, error);
  }
  return true;
}

}  // namespace

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (slash != std::string::npos && slash + 1 == path.size())
    Fail(path, EISDIR);

  const std::string dir = folder + (slash == std::string::npos ? "/" : "");
  if (WriteNew(dir, path, bytes))
    return;
  std::string temp;
  const int fd = CreateTemporary(dir, temp);
  if (fd < 0)
    Fail(path, errno);

  auto abandon = [&](int error) {
    ::close(fd);
    ::unlink(temp.c_str());
    Fail(path, error);
  };
  if (const int error = WriteAll(fd, bytes))
    abandon(error);
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    Fail(path, error);
  }
  // rename(2) replaces the directory entry itself: a symbolic link there is replaced, not
  // followed, and readers see the old or the new file, never a mixture.
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    Fail(path, error);
  }
}

}  // namespace tarnvex
