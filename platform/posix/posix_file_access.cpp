#include "platform/posix/posix_file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/failure.h"

namespace tarnvex {
namespace {

[[noreturn]] void CannotRead(std::string_view what, const std::string& path,
                             const std::string& reason) {
  throw Failure("Cannot read " + std::string(what) + " \"" + path + "\": " + reason + ".");
}

}  // namespace

std::optional<std::string> PosixFileAccess::ReadIfPresent(const std::string& path,
                                                          std::string_view what,
                                                          std::size_t maxBytes) {
  // Not blocking: opening a FIFO for reading would wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return std::nullopt;
    if (errno == EISDIR)
      CannotRead(what, path, "it is a folder");
    CannotRead(what, path, std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const bool folder = S_ISDIR(st.st_mode);
    ::close(fd);
    CannotRead(what, path, folder ? "it is a folder" : "it is not a regular file");
  }
  std::string bytes;
  char buffer[8192];
  for (;;) {
    if (bytes.size() > maxBytes) {
      ::close(fd);
      CannotRead(what, path, "it is larger than " + std::to_string(maxBytes) + " bytes");
    }
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      CannotRead(what, path, std::strerror(error));
    }
    if (n == 0)
      break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return bytes;
}

void PosixFileAccess::CreateFolders(const std::string& folder, std::string_view what) {
  auto make = [&](const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
      throw Failure("Cannot create the folder \"" + path + "\" for " + std::string(what) + ": " +
                    std::strerror(errno) + ".");
    }
  };
  for (size_t pos = folder.find('/', 1); pos != std::string::npos; pos = folder.find('/', pos + 1))
    make(folder.substr(0, pos));
  if (!folder.empty() && folder.back() != '/')
    make(folder);
}

std::optional<FileIdentity> PosixFileAccess::Identify(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

std::string PosixFileAccess::AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/')
    return path;
  char buf[PATH_MAX];
  if (!::getcwd(buf, sizeof buf)) {
    throw Failure("Cannot find the full path of \"" + path + "\": " + std::strerror(errno) + ".");
  }
  return std::string(buf) + "/" + path;
}

}  // namespace tarnvex
