#include "platform/win32/win32_user_folders.h"

#include <windows.h>

#include <shlobj.h>

#include "platform/win32/win32_api.h"

namespace tarnvex {

std::optional<std::string> EnvironmentVariable(const std::string& name) {
  const std::wstring wideName = win32::Wide(name);
  std::wstring value(64, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length =
        ::GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return std::nullopt;
      return std::string();
    }
    // Too small: the length needed, the closing NUL included.
    if (length >= value.size()) {
      value.resize(length);
      continue;
    }
    value.resize(length);
    return win32::Narrow(value);
  }
}

std::optional<std::string> AppDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)) &&
      path[0] != L'\0') {
    return win32::Narrow(path);
  }
  if (auto variable = EnvironmentVariable("APPDATA"); variable && !variable->empty())
    return variable;
  return std::nullopt;
}

}  // namespace tarnvex
