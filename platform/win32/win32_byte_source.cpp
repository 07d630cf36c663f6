#include "platform/win32/win32_byte_source.h"

#include <algorithm>

#include "platform/failure.h"
#include "platform/win32/win32_api.h"
#include "pst/file_source.h"

namespace tarnvex {
namespace {

[[noreturn]] void FailOpen(const std::string& path, const std::string& why) {
  throw Failure("Cannot open the Outlook data file \"" + path + "\": " + why + ".");
}

}  // namespace

std::shared_ptr<Win32ByteSource> Win32ByteSource::Open(const std::string& path) {
  if (path.find('\0') != std::string::npos)
    FailOpen(path, "the path is not a valid file name");
  // FILE_FLAG_BACKUP_SEMANTICS opens folders too, so that a folder is named as "not a file"
  // rather than as access denied; what is opened is then looked at, not the path.
  win32::Handle file(::CreateFileW(win32::ApiPath(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.Valid())
    FailOpen(path, win32::SystemReason(::GetLastError()));
  // Pipes, consoles and devices are no files: reading one could wait for ever.
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK)
    FailOpen(path, "it is not a file");
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(file.Get(), &information))
    FailOpen(path, win32::SystemReason(::GetLastError()));
  if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    FailOpen(path, "it is not a file");
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size))
    FailOpen(path, win32::SystemReason(::GetLastError()));
  return std::shared_ptr<Win32ByteSource>(
      new Win32ByteSource(path, file.Release(), static_cast<std::uint64_t>(size.QuadPart)));
}

Win32ByteSource::~Win32ByteSource() {
  ::CloseHandle(static_cast<HANDLE>(handle_));
}

std::size_t Win32ByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    // The offset goes with each call (OVERLAPPED on a handle opened for synchronous reads).
    const std::uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(static_cast<HANDLE>(handle_), out + done, want, &got, &position)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF)
        break;
      throw Failure("Cannot read the Outlook data file \"" + path_ +
                    "\": " + win32::SystemReason(error) + ".");
    }
    if (got == 0)
      break;
    done += got;
  }
  return done;
}

namespace pst {

std::shared_ptr<const ByteSource> OpenFileSource(const std::string& path) {
  return Win32ByteSource::Open(path);
}

}  // namespace pst

}  // namespace tarnvex
