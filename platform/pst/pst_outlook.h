#pragma once

// The Outlook object model served over Outlook's own data files (PST/OST), read natively for
// Unicode PST files and with libpff for the others. SaveAs(path, 6) writes the vCard itself.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/atomic_file_writer.h"
#include "platform/file_access.h"
#include "platform/outlook.h"
#include "platform/pst/contact_reader.h"

namespace tarnvex::pst {

struct PstOutlookOptions {
  VCardVersion vcardVersion = VCardVersion::k21;
  // Checked against the password a protected file keeps; without one a protected file is refused.
  std::optional<std::string> password;
  // The profile naming the default store (see ProfilePath in profile.h), as the composition place
  // found it; empty when no place for it is known: then there is no default store.
  std::string profilePath;
};

// What the stand-in asks of the machine, picked by the composition place. Both must outlive the
// automation object and everything it hands out.
struct PstPlatform {
  AtomicFileWriter& writer;  // the cards SaveAs writes, and the profile
  FileAccess& files;         // the profile, and telling stores apart
};

// Writes the profile so that the given PST/OST is the default store; throws Failure. The store is
// checked to open and kept by its absolute path.
void SetDefaultStore(const std::string& profilePath, const std::string& storePath,
                     PstPlatform platform);

std::unique_ptr<OutlookAutomation> MakePstOutlook(PstOutlookOptions options, PstPlatform platform);

// The value a protected file keeps in PidTagPstPassword (0x67FF) for the password: the CRC-32 of
// the password's bytes as computed for PST data blocks.
uint32_t PstPasswordCrc(const std::string& password);

}  // namespace tarnvex::pst
