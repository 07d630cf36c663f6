#include "platform/win32/win32_atomic_file_writer.h"

#include <random>

#include "platform/failure.h"
#include "platform/win32/win32_api.h"

namespace tarnvex {
namespace {

using win32::ApiPath;
using win32::SystemReason;

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
  throw Failure("Cannot write the file \"" + path + "\": " + reason + ".");
}

// A temporary file of its own in the folder ("" is the current one); a name already taken is
// passed over. The path is returned through `name`.
win32::Handle CreateTemporary(const std::string& folder, std::string& name) {
  thread_local std::mt19937_64 rng{std::random_device{}()};
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + ".tarnvex-";
    uint64_t bits = rng();
    for (int k = 0; k < 12; ++k, bits /= 36)
      name += kChars[bits % 36];
    name += ".tmp";
    win32::Handle file(::CreateFileW(ApiPath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Valid())
      return file;
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
      return file;
  }
  ::SetLastError(ERROR_FILE_EXISTS);
  return win32::Handle();
}

// Writes all of the bytes; 0, or the error of the write that failed.
DWORD WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr))
      return ::GetLastError();
    bytes.remove_prefix(written);
  }
  return 0;
}

// Where the target is a link to a folder, removes the link itself: the handle is opened on the
// link (FILE_FLAG_OPEN_REPARSE_POINT), and only a junction or a symbolic link is deleted through
// it. Anything else there (a folder proper, or a link the system opens as the folder it leads
// to) is left alone and the write fails, so no folder is ever emptied or removed.
void RemoveFolderLink(const std::string& path, const std::wstring& apiPath) {
  const DWORD attributes = ::GetFileAttributesW(apiPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    Fail(path, "a folder of that name is in the way");
  const win32::Handle link(
      ::CreateFileW(apiPath.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!link.Valid())
    Fail(path, SystemReason(::GetLastError()));
  FILE_ATTRIBUTE_TAG_INFO tag{};
  const bool isLink =
      ::GetFileInformationByHandleEx(link.Get(), FileAttributeTagInfo, &tag, sizeof tag) &&
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      (tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT || tag.ReparseTag == IO_REPARSE_TAG_SYMLINK);
  if (!isLink)
    Fail(path, "a link to a folder is in the way and cannot be removed here");
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (!::SetFileInformationByHandle(link.Get(), FileDispositionInfo, &disposition,
                                    sizeof disposition)) {
    Fail(path, SystemReason(::GetLastError()));
  }
}

}  // namespace

void Win32AtomicFileWriter::WriteReplacing(const std::string& path, std::string_view bytes) {
  win32::CheckWellFormed(path);
  const auto cut = path.find_last_of("\\/:");
  if (path.empty() || (cut != std::string::npos && cut + 1 == path.size()))
    Fail(path, "the path names a folder, not a file");
  const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);

  std::string temporary;
  win32::Handle file = CreateTemporary(folder, temporary);
  if (!file.Valid())
    Fail(path, SystemReason(::GetLastError()));
  const std::wstring apiTemporary = ApiPath(temporary);
  auto abandon = [&](const std::string& reason) {
    file.Close();
    ::DeleteFileW(apiTemporary.c_str());
    Fail(path, reason);
  };
  if (const DWORD error = WriteAll(file.Get(), bytes))
    abandon(SystemReason(error));
  if (!file.Close())
    abandon(SystemReason(::GetLastError()));

  const std::wstring apiPath = ApiPath(path);
  try {
    RemoveFolderLink(path, apiPath);
  } catch (const Failure&) {
    ::DeleteFileW(apiTemporary.c_str());
    throw;
  }
  // The move replaces the directory entry itself: a symbolic link there is replaced, not
  // followed, and readers see the old or the new file, never a mixture.
  if (!::MoveFileExW(apiTemporary.c_str(), apiPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    abandon(SystemReason(::GetLastError()));
  }
}

}  // namespace tarnvex
