#include "platform/posix/safe_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/failure.h"

namespace tarnvex {
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
  throw Failure("Cannot write the file \"" + path + "\": " + std::strerror(error) + ".");
}

constexpr std::string_view kTemporaryPrefix = ".tarnvex-";

// When the process started, in clock ticks after boot (field 22 of /proc/PID/stat); 0 when it
// cannot be read. With the process id it names one process for as long as the machine runs.
uint64_t StartTime(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat))
    return 0;
  // The command name (field 2) is in parentheses and may hold blanks: count from its end.
  const size_t close = stat.rfind(')');
  if (close == std::string::npos)
    return 0;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int k = 3; k <= 22 && fields >> field; ++k) {
    if (k == 22)
      return std::strtoull(field.c_str(), nullptr, 10);
  }
  return 0;
}

// ".tarnvex-PID-START-": the temporary files of this process carry its id and start time, so a
// later run can tell the leftovers of a process that is gone (killed while it replaced a card)
// from the files of one still writing.
std::string OwnTemporaryPrefix() {
  // Worked out again in a forked child: its files must carry its own id, not its parent's.
  static pid_t pid = 0;
  static std::string prefix;
  if (pid != ::getpid()) {
    pid = ::getpid();
    prefix = std::string(kTemporaryPrefix) + std::to_string(pid) + "-" +
             std::to_string(StartTime(pid)) + "-";
  }
  return prefix;
}

// Whether the temporary file's name says it belongs to a process that is no longer there. Names
// of the older form ".tarnvex-XXXXXXXXXX" (no owner) count as gone once an hour old.
bool OwnerIsGone(std::string_view name, const struct stat& st) {
  name.remove_prefix(kTemporaryPrefix.size());
  const size_t dash = name.find('-');
  if (dash == std::string_view::npos)
    return name.size() == 10 && ::time(nullptr) - st.st_mtime > 3600;
  const std::string pid(name.substr(0, dash));
  const size_t dash2 = name.find('-', dash + 1);
  if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos ||
      dash2 == std::string_view::npos) {
    return false;  // not a name this program makes
  }
  const std::string start(name.substr(dash + 1, dash2 - dash - 1));
  const long id = std::strtol(pid.c_str(), nullptr, 10);
  if (::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH)
    return true;
  const uint64_t running = StartTime(id);
  return running != 0 && std::to_string(running) != start;
}

// A fresh name for a temporary file of this process in the folder.
std::string TemporaryName(const std::string& folder) {
  static std::mt19937_64 rng{std::random_device{}()};
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string name = folder + OwnTemporaryPrefix();
  uint64_t bits = rng();
  for (int k = 0; k < 10; ++k, bits >>= 6)
    name += kChars[bits % 62];
  return name;
}

// A temporary file of its own in the folder, created with the mode a plain new file gets (0666
// less the process's file-creation mask), so no chmod is needed; a name already taken, even by a
// symbolic link, is passed over.
int CreateTemporary(const std::string& folder, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = TemporaryName(folder);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 || errno != EEXIST)
      return fd;
  }
  errno = EEXIST;
  return -1;
}

// rename(2) replaces the directory entry itself: a symbolic link there is replaced, not
// followed, and readers see the old or the new file, never a mixture.
void RenameOver(const std::string& temp, const std::string& path) {
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    Fail(path, error);
  }
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

// This process's /proc/self/fd, opened once: naming an open file through it saves walking
// "/proc/self/fd" for every card. -1 when there is no /proc. A forked child opens its own, since
// the parent's would name the parent's files.
int OwnFileDescriptorFolder() {
  // Opened again in a child of fork(): the folder opened is the parent's. The child is told by
  // the fork handler rather than by asking for the process id at every card.
  static bool stale = true;
  static int folder = -1;
  static const bool registered = ::pthread_atfork(nullptr, nullptr, [] { stale = true; }) == 0;
  if (stale || !registered) {
    if (folder >= 0)
      ::close(folder);
    folder = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    stale = false;
  }
  return folder;
}

// Gives the open file `fd` the name `path` through /proc; errno as linkat(2) sets it.
bool LinkThroughProc(int fd, const std::string& path) {
  char number[16];
  std::snprintf(number, sizeof number, "%d", fd);
  const int folder = OwnFileDescriptorFolder();
  if (folder >= 0)
    return ::linkat(folder, number, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
  const std::string self = std::string("/proc/self/fd/") + number;
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Gives the open file `fd` the name `path`; errno as linkat(2) sets it. linkat's AT_EMPTY_PATH
// names the file itself, which saves looking its number up in /proc, but the kernel may refuse
// it to a process without CAP_DAC_READ_SEARCH (with ENOENT, as for a missing folder): once /proc
// has named a file that AT_EMPTY_PATH could not, /proc names the rest.
bool LinkOpenFile(int fd, const std::string& path) {
  static std::atomic<bool> emptyPathRefused{false};
  if (emptyPathRefused.load(std::memory_order_relaxed))
    return LinkThroughProc(fd, path);
  if (::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0)
    return true;
  if (errno != ENOENT && errno != EPERM)
    return false;
  if (!LinkThroughProc(fd, path))
    return false;
  emptyPathRefused.store(true, std::memory_order_relaxed);
  return true;
}

// The data goes into an unnamed file of the folder (O_TMPFILE), which is given its name only
// once it is complete: for a new card one directory entry is made, no temporary one and no
// rename. A name already taken (a card or a link to replace) gets the complete file through a
// temporary name and a rename, without writing it again. False, with nothing written, when the
// folder's file system has no unnamed files: the caller then writes a named temporary file.
bool WriteThroughUnnamedFile(const std::string& folder, const std::string& path,
                             std::string_view bytes) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0)
    return false;
  auto fail = [&](int error) {
    ::close(fd);
    Fail(path, error);
  };
  if (const int error = WriteAll(fd, bytes))
    fail(error);
  if (LinkOpenFile(fd, path)) {
    if (::close(fd) != 0) {
      const int error = errno;
      ::unlink(path.c_str());
      Fail(path, error);
    }
    return true;
  }
  if (errno != EEXIST) {  // no /proc, say: the named temporary file serves
    ::close(fd);
    return false;
  }
  std::string temp = TemporaryName(folder);
  for (int attempt = 1; !LinkOpenFile(fd, temp); ++attempt) {
    if (errno != EEXIST || attempt == 100)
      fail(errno);
    temp = TemporaryName(folder);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    Fail(path, error);
  }
  RenameOver(temp, path);
  return true;
}

}  // namespace

void RemoveLeftoverTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir)
    return;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (!name.starts_with(kTemporaryPrefix))
      continue;
    const std::string path = prefix + std::string(name);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        OwnerIsGone(name, st)) {
      ::unlink(path.c_str());
    }
  }
  ::closedir(dir);
}

void PosixAtomicFileWriter::WriteReplacing(const std::string& path, std::string_view bytes) {
  const size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (swept_.insert(folder).second)
    RemoveLeftoverTemporaries(folder);
  WriteFileReplacing(path, bytes);
}

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (slash != std::string::npos && slash + 1 == path.size())
    Fail(path, EISDIR);

  const std::string dir = folder + (slash == std::string::npos ? "/" : "");
  if (WriteThroughUnnamedFile(dir, path, bytes))
    return;
  std::string temp;
  const int fd = CreateTemporary(dir, temp);
  if (fd < 0)
    Fail(path, errno);
  const int writeError = WriteAll(fd, bytes);
  const int closeError = ::close(fd) != 0 ? errno : 0;
  if (writeError || closeError) {
    ::unlink(temp.c_str());
    Fail(path, writeError ? writeError : closeError);
  }
  RenameOver(temp, path);
}

}  // namespace tarnvex
