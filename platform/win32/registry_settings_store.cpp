#include "platform/win32/registry_settings_store.h"

#include <vector>

#include "platform/failure.h"
#include "platform/win32/win32_api.h"

namespace tarnvex {
namespace {

using win32::SystemReason;
using win32::Wide;

// Closes a registry key when it goes.
class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (key_)
      ::RegCloseKey(key_);
  }
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::string Shown(const std::string& keyPath) {
  return "HKEY_CURRENT_USER\\" + keyPath;
}

}  // namespace

std::string RegistrySettingsStore::KeyFor(const std::string& application,
                                          const std::string& section) const {
  return rootKey_ + "\\" + application + "\\" + section;
}

std::string RegistrySettingsStore::Get(const std::string& application, const std::string& section,
                                       const std::string& key, const std::string& defaultValue) {
  const std::string keyPath = KeyFor(application, section);
  auto failure = [&](const std::string& reason) {
    return Failure("Cannot read the setting \"" + key + "\" from " + Shown(keyPath) + ": " +
                   reason + ".");
  };
  Key opened;
  LSTATUS status =
      ::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(keyPath).c_str(), 0, KEY_QUERY_VALUE, opened.Out());
  if (status == ERROR_FILE_NOT_FOUND)
    return defaultValue;
  if (status != ERROR_SUCCESS)
    throw failure(SystemReason(status));

  const std::wstring name = Wide(key);
  std::vector<wchar_t> data(64);
  DWORD type = 0;
  for (;;) {
    DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    status = ::RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(data.data()), &bytes);
    if (status == ERROR_MORE_DATA) {
      data.resize(bytes / sizeof(wchar_t) + 2);
      continue;
    }
    if (status == ERROR_FILE_NOT_FOUND)
      return defaultValue;
    if (status != ERROR_SUCCESS)
      throw failure(SystemReason(status));
    if (type != REG_SZ && type != REG_EXPAND_SZ)
      throw failure("the value holds no text");
    // The stored text need not end with a NUL character; the first one ends it.
    std::wstring_view text(data.data(), bytes / sizeof(wchar_t));
    text = text.substr(0, text.find(L'\0'));
    return win32::Narrow(text);
  }
}

void RegistrySettingsStore::Save(const std::string& application, const std::string& section,
                                 const std::string& key, const std::string& value) {
  const std::string keyPath = KeyFor(application, section);
  auto failure = [&](LSTATUS status) {
    return Failure("Cannot save the setting \"" + key + "\" in " + Shown(keyPath) + ": " +
                   SystemReason(status) + ".");
  };
  Key created;
  LSTATUS status =
      ::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(keyPath).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, created.Out(), nullptr);
  if (status != ERROR_SUCCESS)
    throw failure(status);
  const std::wstring text = Wide(value);
  status = ::RegSetValueExW(created.Get(), Wide(key).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS)
    throw failure(status);
}

}  // namespace tarnvex
