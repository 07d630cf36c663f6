#pragma once

// What the Win32 implementations share: UTF-8 inside the program, UTF-16 at the API; the
// system's words for an error; paths the wide file API takes at any length. Included by the
// sources of platform/win32 only (it brings <windows.h> along).

#include <windows.h>

#include <string>
#include <string_view>

namespace tarnvex::win32 {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The system's description of an error code (FormatMessageW), without the closing period and
// line break, so that callers can end their sentence themselves; "system error N" when the system
// has none.
std::string SystemReason(DWORD error);

// Throws Failure("Bad file name or number: ...") when the path holds a NUL character, which the
// wide API would take as its end.
void CheckWellFormed(std::string_view path);

// The path as the wide file API takes it at any length. A path of MAX_PATH - 12 units or more
// (the limit of CreateDirectoryW) is completed to a full path and given the "\\?\" prefix
// ("\\?\UNC\" for a network path); shorter ones stay exactly as given, so that the system's usual
// path rules apply to them.
std::wstring ApiPath(std::string_view utf8Path);

// The number of leading characters that name the root of the path: "C:\" (3), "C:" (2), "\" (1),
// "\\server\share\" and the "\\?\" forms, 0 for a relative path. Both separators count.
std::size_t RootLength(std::string_view path);

inline bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Owns a kernel handle; closes it when it goes.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : handle_(other.Release()) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.Release();
    }
    return *this;
  }
  ~Handle() { Close(); }

  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  HANDLE Release() {
    const HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  // Closes the handle now; false, with the error in GetLastError, when closing failed.
  bool Close() {
    if (!Valid())
      return true;
    return ::CloseHandle(Release()) != 0;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace tarnvex::win32
