#pragma once

// The user's folders and environment on Windows, found here and nowhere else: the stand-in's
// profile starts from these.

#include <optional>
#include <string>

namespace tarnvex {

// The environment variable's value (GetEnvironmentVariableW) as UTF-8; nullopt when it is not
// set.
std::optional<std::string> EnvironmentVariable(const std::string& name);

// The user's roaming application-data folder ("C:\Users\NAME\AppData\Roaming", %APPDATA%) as the
// shell names it, else the APPDATA variable; nullopt when neither names one.
std::optional<std::string> AppDataFolder();

}  // namespace tarnvex
