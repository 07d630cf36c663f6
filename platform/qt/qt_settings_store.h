#pragma once

#include <QString>

#include "platform/settings_store.h"

namespace tarnvex {

// The settings store as INI files: one file "<application>.ini" per application name in the
// folder, one group per section. Every write is synced to disk at once.
class QtSettingsStore : public SettingsStore {
 public:
  // folder: where the files live, the user's configuration folder as the composition finds it;
  // empty when none is known: then every key is absent and every write fails, saying so.
  explicit QtSettingsStore(QString folder) : folder_(std::move(folder)) {}

  // The application's file; empty when no folder is known.
  QString FileFor(const std::string& application) const;

  std::string Get(const std::string& application, const std::string& section,
                  const std::string& key, const std::string& defaultValue) override;
  void Save(const std::string& application, const std::string& section, const std::string& key,
            const std::string& value) override;

 private:
  QString folder_;
};

}  // namespace tarnvex
