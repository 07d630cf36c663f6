#pragma once

// The per-user settings store: text values addressed by application name, section and key.
// Implementations: platform/qt (an INI file under $XDG_CONFIG_HOME), later the Windows registry.

#include <string>

namespace tarnvex {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, or the default when the key is absent (a key holding empty text is
  // present). Throws Failure when the store exists but cannot be read.
  virtual std::string Get(const std::string& application, const std::string& section,
                          const std::string& key, const std::string& defaultValue) = 0;
  // Creates or replaces the value and writes it through at once. Throws Failure, naming the
  // store's file and the reason, when the value could not be written.
  virtual void Save(const std::string& application, const std::string& section,
                    const std::string& key, const std::string& value) = 0;
};

}  // namespace tarnvex
