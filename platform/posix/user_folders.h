#pragma once

// The user's home and configuration folders, found here and nowhere else: the desktop folder,
// the settings file and the stand-in's profile all start from these.

#include <optional>
#include <string>

namespace tarnvex {

// What the folders are found from: the environment and the password database.
struct UserFolderSources {
  std::optional<std::string> home;           // $HOME
  std::optional<std::string> xdgConfigHome;  // $XDG_CONFIG_HOME
  std::optional<std::string> accountHome;    // the home folder the password database names
};

// The sources of the running process; the password database is asked only when $HOME is unset
// or empty.
UserFolderSources CurrentUserFolderSources();

// $HOME when set and not empty, else the password database's home folder; nullopt when neither
// names one.
std::optional<std::string> HomeFolder(const UserFolderSources& sources);

// The XDG base directories' configuration folder: $XDG_CONFIG_HOME when it is an absolute path
// (a relative one is invalid and ignored), else ".config" in the home folder; nullopt when no
// home folder is known either. Never a guess at the root of the file system.
std::optional<std::string> ConfigFolder(const UserFolderSources& sources);

// The same for the running process.
std::optional<std::string> HomeFolder();
std::optional<std::string> ConfigFolder();

// Says why ConfigFolder() gave nothing, for messages.
inline constexpr const char* kNoConfigFolder =
    "no configuration folder is known: neither XDG_CONFIG_HOME nor HOME is set and the password "
    "database names no home folder for the user";

}  // namespace tarnvex
