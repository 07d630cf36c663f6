#pragma once

// The stand-in's profile: a small INI file naming the default message store.
//
//   [Profile]
//   DefaultStore=/home/me/Documents/Outlook.pst
//   Codepage=1251
//   Charset=outlook
//
// Codepage is optional: the code page of 8-bit strings for which a data file records none
// (Windows-1252 when absent), as "tarnvex-export --codepage" sets it for one run. Charset is
// optional too: "outlook" writes 2.1 cards in the contacts' code pages as Outlook does, "utf-8"
// (the default) in UTF-8, as "tarnvex-export --charset" sets it for one run.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/atomic_file_writer.h"
#include "platform/file_access.h"
#include "vcard/writer.h"

namespace tarnvex::standin {

// The environment variable that names another profile file, for tests or to keep several.
inline constexpr const char* kProfileVariable = "TARNVEX_OUTLOOK_PROFILE";

// Where the profile is: the variable's value when it is set and not empty, else
// "tarnvex/profile.ini" in the user's configuration folder; empty when neither is known.
std::string ProfilePath(const std::optional<std::string>& variable,
                        const std::optional<std::string>& configFolder);

// ProfilePath with the variable as the environment holds it: where the profile is on Linux.
std::string ProfilePathFromEnvironment(const std::optional<std::string>& configFolder);

// The same on Windows: the variable's value when it is set and not empty, else
// "tarnvex\profile.ini" in the user's application-data folder; empty when neither is known.
std::string WindowsProfilePath(const std::optional<std::string>& variable,
                               const std::optional<std::string>& appDataFolder);

// The default store the profile names; empty when the profile file does not exist or names
// none, or when no profile path is known. Throws Failure when the file exists but cannot be read.
std::optional<std::string> ReadDefaultStore(const std::string& profilePath, FileAccess& files);

// The profile's code page; empty when the profile file does not exist, has no Codepage key, or
// its value is not a code page number (1 to 65535). Throws Failure when the file exists but
// cannot be read.
std::optional<uint32_t> ReadProfileCodePage(const std::string& profilePath, FileAccess& files);

// The profile's charset; empty when the profile file does not exist, has no Charset key, or its
// value is neither "outlook" nor "utf-8" (in any case). Throws Failure when the file exists but
// cannot be read.
std::optional<vcard::Charset> ReadProfileCharset(const std::string& profilePath, FileAccess& files);

// The charset a Charset key or "--charset" names: "outlook" or "utf-8", in any case.
std::optional<vcard::Charset> ParseCharset(std::string_view name);

// Makes the profile name the store (creating the file and its folders when there is none); the
// profile's other keys and sections stay as they are. Throws Failure, saying why, when no profile
// path is known or the profile exists but cannot be read.
void WriteDefaultStore(const std::string& profilePath, const std::string& storePath,
                       FileAccess& files, AtomicFileWriter& writer);

}  // namespace tarnvex::standin
