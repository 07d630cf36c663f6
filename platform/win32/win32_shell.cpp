#include "platform/win32/win32_shell.h"

#include <windows.h>
// After <windows.h>, which it needs.
#include <shlobj.h>

#include "platform/win32/win32_api.h"

namespace tarnvex {

std::string Win32Shell::SpecialFolderPath(int32_t id) {
  LPITEMIDLIST item = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, id, &item)) || !item)
    return {};
  wchar_t path[MAX_PATH] = {};
  const bool found = ::SHGetPathFromIDListW(item, path) != FALSE;
  ::ILFree(item);
  if (!found)
    return {};
  std::string result = win32::Narrow(path);
  while (result.size() > win32::RootLength(result) && win32::IsSeparator(result.back()))
    result.pop_back();
  return result;
}

}  // namespace tarnvex
