#include "platform/win32/win32_file_access.h"

#include "platform/failure.h"
#include "platform/win32/win32_api.h"

namespace tarnvex {
namespace {

using win32::ApiPath;
using win32::SystemReason;

[[noreturn]] void CannotRead(std::string_view what, const std::string& path,
                             const std::string& reason) {
  throw Failure("Cannot read " + std::string(what) + " \"" + path + "\": " + reason + ".");
}

// "C:\...", "\\server\share\..." and the "\\?\" forms; not "C:name" or "\name", which depend on
// the current folder of a drive or on the current drive.
bool IsAbsolute(std::string_view path) {
  const std::size_t root = win32::RootLength(path);
  if (root >= 2 && win32::IsSeparator(path[0]) && win32::IsSeparator(path[1]))
    return true;
  return root == 3;
}

}  // namespace

std::optional<std::string> Win32FileAccess::ReadIfPresent(const std::string& path,
                                                          std::string_view what,
                                                          std::size_t maxBytes) {
  win32::CheckWellFormed(path);
  if (path.empty())
    return std::nullopt;
  const std::wstring apiPath = ApiPath(path);
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  if (!::GetFileAttributesExW(apiPath.c_str(), GetFileExInfoStandard, &attributes)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      return std::nullopt;
    CannotRead(what, path, SystemReason(error));
  }
  if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    CannotRead(what, path, "it is a folder");
  const win32::Handle file(::CreateFileW(
      apiPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.Valid())
    CannotRead(what, path, SystemReason(::GetLastError()));
  // Pipes, consoles and devices (NUL, CON) are no files: reading one could wait or never end.
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK)
    CannotRead(what, path, "it is not a regular file");
  std::string bytes;
  char buffer[65536];
  for (;;) {
    if (bytes.size() > maxBytes)
      CannotRead(what, path, "it is larger than " + std::to_string(maxBytes) + " bytes");
    DWORD got = 0;
    if (!::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr))
      CannotRead(what, path, SystemReason(::GetLastError()));
    if (got == 0)
      break;
    bytes.append(buffer, got);
  }
  return bytes;
}

void Win32FileAccess::CreateFolders(const std::string& folder, std::string_view what) {
  win32::CheckWellFormed(folder);
  auto make = [&](const std::string& path) {
    if (!::CreateDirectoryW(ApiPath(path).c_str(), nullptr)) {
      const DWORD error = ::GetLastError();
      if (error != ERROR_ALREADY_EXISTS) {
        throw Failure("Cannot create the folder \"" + path + "\" for " + std::string(what) + ": " +
                      SystemReason(error) + ".");
      }
    }
  };
  const std::size_t root = win32::RootLength(folder);
  for (std::size_t at = root; at < folder.size(); ++at) {
    if (win32::IsSeparator(folder[at]) && at > root && !win32::IsSeparator(folder[at - 1]))
      make(folder.substr(0, at));
  }
  if (folder.size() > root && !win32::IsSeparator(folder.back()))
    make(folder);
}

std::optional<FileIdentity> Win32FileAccess::Identify(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos)
    return std::nullopt;
  // No access is asked for, only the file's information; FILE_FLAG_BACKUP_SEMANTICS opens
  // folders too.
  const win32::Handle file(::CreateFileW(
      ApiPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!file.Valid() || !::GetFileInformationByHandle(file.Get(), &information))
    return std::nullopt;
  return FileIdentity{information.dwVolumeSerialNumber,
                      (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

std::string Win32FileAccess::AbsolutePath(const std::string& path) {
  win32::CheckWellFormed(path);
  if (IsAbsolute(path))
    return path;
  const std::wstring wide = win32::Wide(path.empty() ? "." : path);
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(needed, L'\0');
  const DWORD length =
      needed == 0 ? 0 : ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) {
    throw Failure("Cannot find the full path of \"" + path +
                  "\": " + SystemReason(::GetLastError()) + ".");
  }
  full.resize(length);
  return win32::Narrow(full);
}

}  // namespace tarnvex
