#pragma once

// The test automation server's registration and settings, shared by the server and the tests
// that drive it. Test use only: the server is never installed.
//
// Registration: the ProgID "Outlook.Application" and the server's own class id under
// HKLM\Software\Classes (wine ignores the per-user classes), as an in-process server
// (tarnvex-test-outlook.dll), a local one (tarnvex-test-outlook.exe) or both.
//
// Settings, read by the server at each creation of the application object, under
// HKCU\Software\Tarnvex\TestOutlook:
//   Profile     (text) the profile file naming the default store (as TARNVEX_OUTLOOK_PROFILE)
//   OpenStores  (text) data files open in the session before any client comes, "|" between them
//   FailMember  (text) a member ("SaveAs" or "ContactItem.SaveAs") whose call is to fail
//   FailCall    (number) which call of it fails, counted from 1 (default 1)
//   FailText    (text) the error text the failed call gives
//   Refuse      (number) not 0: the application object cannot be created
//   CallLog     (text) a file that gets one line per call received: "Invoke Folder.Items"

#include <windows.h>

#include <string>

namespace tarnvex::test_outlook {

// The test server's class, which "Outlook.Application" names.
// {6E1C5A80-3B7D-4F52-9B1E-2D6A7C0F4E11}
inline constexpr CLSID kClsid = {
    0x6e1c5a80, 0x3b7d, 0x4f52, {0x9b, 0x1e, 0x2d, 0x6a, 0x7c, 0x0f, 0x4e, 0x11}};
inline constexpr const wchar_t* kClsidText = L"{6E1C5A80-3B7D-4F52-9B1E-2D6A7C0F4E11}";
inline constexpr const wchar_t* kProgId = L"Outlook.Application";
inline constexpr const wchar_t* kSettingsKey = L"Software\\Tarnvex\\TestOutlook";

enum class Mode { kInProcess, kLocal, kBoth, kMissingFile };

inline LSTATUS SetText(HKEY root, const std::wstring& key, const wchar_t* name,
                       const std::wstring& value) {
  return ::RegSetKeyValueW(root, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

inline void Unregister() {
  const std::wstring classes = L"Software\\Classes\\";
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (classes + kProgId).c_str());
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (classes + L"CLSID\\" + kClsidText).c_str());
}

// `folder`: where tarnvex-test-outlook.exe and .dll lie, ending in "\". Gives false when a key
// cannot be written.
inline bool Register(Mode mode, const std::wstring& folder) {
  Unregister();
  const std::wstring classes = L"Software\\Classes\\";
  const std::wstring clsidKey = classes + L"CLSID\\" + kClsidText;
  bool ok = SetText(HKEY_LOCAL_MACHINE, classes + kProgId, nullptr, L"Tarnvex test Outlook") == 0 &&
            SetText(HKEY_LOCAL_MACHINE, classes + kProgId + L"\\CLSID", nullptr, kClsidText) == 0 &&
            SetText(HKEY_LOCAL_MACHINE, clsidKey, nullptr, L"Tarnvex test Outlook") == 0 &&
            SetText(HKEY_LOCAL_MACHINE, clsidKey + L"\\ProgID", nullptr, kProgId) == 0;
  if (mode == Mode::kInProcess || mode == Mode::kBoth) {
    const std::wstring inproc = clsidKey + L"\\InprocServer32";
    ok = ok &&
         SetText(HKEY_LOCAL_MACHINE, inproc, nullptr, folder + L"tarnvex-test-outlook.dll") == 0;
    ok = ok && SetText(HKEY_LOCAL_MACHINE, inproc, L"ThreadingModel", L"Apartment") == 0;
  }
  if (mode == Mode::kLocal || mode == Mode::kBoth) {
    ok = ok && SetText(HKEY_LOCAL_MACHINE, clsidKey + L"\\LocalServer32", nullptr,
                       L"\"" + folder + L"tarnvex-test-outlook.exe\"") == 0;
  }
  if (mode == Mode::kMissingFile) {
    ok = ok && SetText(HKEY_LOCAL_MACHINE, clsidKey + L"\\LocalServer32", nullptr,
                       L"\"" + folder + L"no-such-outlook.exe\"") == 0;
  }
  return ok;
}

}  // namespace tarnvex::test_outlook
