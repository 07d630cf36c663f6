#pragma once

// The Outlook object model served over Outlook's own data files (PST/OST), read natively for
// Unicode PST files and with libpff for the others. SaveAs(path, 6) writes the vCard itself.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/outlook.h"
#include "platform/pst/contact_reader.h"

namespace tarnvex::pst {

struct PstOutlookOptions {
  VCardVersion vcardVersion = VCardVersion::k21;
  // Checked against the password a protected file keeps; without one a protected file is refused.
  std::optional<std::string> password;
  // The profile naming the default store; empty: $TARNVEX_OUTLOOK_PROFILE, else the per-user
  // default (see DefaultProfilePath).
  std::string profilePath;
};

// $TARNVEX_OUTLOOK_PROFILE when set, else $XDG_CONFIG_HOME (default ~/.config)
// /tarnvex/profile.ini.
std::string DefaultProfilePath();

// Writes the profile so that the given PST/OST is the default store; throws Failure. The store is
// checked to open and kept by its absolute path.
void SetDefaultStore(const std::string& profilePath, const std::string& storePath);

std::unique_ptr<OutlookAutomation> MakePstOutlook(PstOutlookOptions options);

// The value a protected file keeps in PidTagPstPassword (0x67FF) for the password: the CRC-32 of
// the password's bytes as computed for PST data blocks.
uint32_t PstPasswordCrc(const std::string& password);

}  // namespace tarnvex::pst
