#pragma once

#include <string>

#include "platform/settings_store.h"

namespace tarnvex {

// Where Windows programs of this kind have always kept their settings, under HKEY_CURRENT_USER:
// one key per application name, one subkey per section, one text value per key.
inline constexpr const char* kProgramSettingsKey = "Software\\VB and VBA Program Settings";

// The settings store in the registry of the current user. Values are text (REG_SZ); every
// write goes to the registry at once, where every program sees it (the system writes the hive to
// disk by itself).
class RegistrySettingsStore : public SettingsStore {
 public:
  // rootKey: the key under HKEY_CURRENT_USER that holds the applications' keys; tests pass one
  // of their own.
  explicit RegistrySettingsStore(std::string rootKey = kProgramSettingsKey)
      : rootKey_(std::move(rootKey)) {}

  // The section's key under HKEY_CURRENT_USER: root\application\section.
  std::string KeyFor(const std::string& application, const std::string& section) const;

  // Text values as they are; a value that holds no text fails, naming the key.
  std::string Get(const std::string& application, const std::string& section,
                  const std::string& key, const std::string& defaultValue) override;
  void Save(const std::string& application, const std::string& section, const std::string& key,
            const std::string& value) override;

 private:
  std::string rootKey_;
};

}  // namespace tarnvex
