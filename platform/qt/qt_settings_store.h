#pragma once

#include <QString>

#include "platform/settings_store.h"

namespace tarnvex {

// $XDG_CONFIG_HOME, else ~/.config.
QString ConfigFolder();

// The settings store as INI files: one file "<application>.ini" per application name in the
// folder, one group per section. Every write is synced to disk at once.
class QtSettingsStore : public SettingsStore {
 public:
  // folder: where the files live; empty: ConfigFolder() at the time of each call.
  explicit QtSettingsStore(QString folder = {}) : folder_(std::move(folder)) {}

  QString FileFor(const std::string& application) const;

  std::string Get(const std::string& application, const std::string& section,
                  const std::string& key, const std::string& defaultValue) override;
  void Save(const std::string& application, const std::string& section, const std::string& key,
            const std::string& value) override;

 private:
  QString folder_;
};

}  // namespace tarnvex
