#pragma once

// The stand-in's profile: a small INI file naming the default message store.
//
//   [Profile]
//   DefaultStore=/home/me/Documents/Outlook.pst

#include <optional>
#include <string>

namespace tarnvex::pst {

// The default store the profile names; empty when the profile file does not exist or names
// none. Throws Failure when the file exists but cannot be read.
std::optional<std::string> ReadDefaultStore(const std::string& profilePath);

// Writes a profile naming the store, replacing the file (and creating its folders).
void WriteDefaultStore(const std::string& profilePath, const std::string& storePath);

}  // namespace tarnvex::pst
