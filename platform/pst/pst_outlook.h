#pragma once

// The Outlook object model served over Outlook's own data files (PST/OST), read with libpff.
// SaveAs(path, 6) writes the vCard itself.

#include <memory>
#include <optional>
#include <string>

#include "platform/outlook.h"

namespace tarnvex::pst {

enum class VCardVersion { k21, k30, k40 };

struct PstOutlookOptions {
  VCardVersion vcardVersion = VCardVersion::k21;
  // Checked against the password a protected file keeps; without one a protected file is refused.
  std::optional<std::string> password;
  // The profile naming the default store; empty: $TARNVEX_OUTLOOK_PROFILE, else the per-user
  // default (see DefaultProfilePath).
  std::string profilePath;
};

// $TARNVEX_OUTLOOK_PROFILE when set, else $XDG_CONFIG_HOME (default ~/.config) /tarnvex/profile.ini.
std::string DefaultProfilePath();

// Writes the profile so that the given PST/OST is the default store; throws Failure.
void SetDefaultStore(const std::string& profilePath, const std::string& storePath);

std::unique_ptr<OutlookAutomation> MakePstOutlook(PstOutlookOptions options);

}  // namespace tarnvex::pst
