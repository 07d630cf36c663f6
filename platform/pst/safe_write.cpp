#include "platform/pst/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/failure.h"

namespace tarnvex::pst {
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
  throw Failure("Cannot write the file \"" + path + "\": " + std::strerror(error) + ".");
}

// The process's file-creation mask, read once (umask can only be read by setting it).
mode_t CreationMode() {
  static const mode_t mode = [] {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

}  // namespace

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (slash != std::string::npos && slash + 1 == path.size())
    Fail(path, EISDIR);

  std::string pattern = folder + (slash == std::string::npos ? "/" : "") + ".tarnvex-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0)
    Fail(path, errno);
  const std::string temp(name.data());

  auto abandon = [&](int error) {
    ::close(fd);
    ::unlink(temp.c_str());
    Fail(path, error);
  };
  if (::fchmod(fd, CreationMode()) != 0)
    abandon(errno);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      abandon(errno);
    }
    done += static_cast<size_t>(n);
  }
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

}  // namespace tarnvex::pst
