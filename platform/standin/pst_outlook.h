#pragma once

// The Outlook object model served over Outlook's own data files (PST/OST), read natively in every
// format known, and with libpff for any other.
// SaveAs(path, 6) writes the vCard itself.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/atomic_file_writer.h"
#include "platform/code_pages.h"
#include "platform/file_access.h"
#include "platform/outlook.h"
#include "platform/standin/contact_reader.h"

namespace tarnvex::standin {

struct PstOutlookOptions {
  VCardVersion vcardVersion = VCardVersion::k21;
  // Checked against the password a protected file keeps; without one a protected file is refused.
  std::optional<std::string> password;
  // The profile naming the default store (see ProfilePath in profile.h), as the composition place
  // found it; empty when no place for it is known: then there is no default store.
  std::string profilePath;
  // The code page of 8-bit strings for which the file records none (store::CodePageOf); when
  // unset, the profile's "Codepage" key, else Windows-1252.
  std::optional<uint32_t> codePage = std::nullopt;
  // Asked for the password of a protected file (named by its path) when `password` is unset;
  // empty when there is none to be had. May be empty.
  std::function<std::optional<std::string>(const std::string&)> askPassword = nullptr;
  // How 2.1 cards write text beyond ASCII; when unset, the profile's "Charset" key, else UTF-8.
  std::optional<vcard::Charset> charset = std::nullopt;
  // Told once per automation object (one run) when some 8-bit text does not decode: an unknown
  // code page, or bytes the code page lacks, shown as U+FFFD. May be empty.
  std::function<void(const std::string&)> warn = nullptr;
};

// What the stand-in asks of the machine, picked by the composition place. All must outlive the
// automation object and everything it hands out.
struct PstPlatform {
  AtomicFileWriter& writer;  // the cards SaveAs writes, and the profile
  FileAccess& files;         // the profile, and telling stores apart
  // 8-bit strings of the data files, and cards in Outlook's charset; without them (null) 8-bit
  // strings are read as Latin-1 and every card is UTF-8.
  const CodePages* codePages = nullptr;
};

// Writes the profile so that the given PST/OST is the default store; throws Failure. The store is
// checked to open and kept by its absolute path.
void SetDefaultStore(const std::string& profilePath, const std::string& storePath,
                     PstPlatform platform);

std::unique_ptr<OutlookAutomation> MakePstOutlook(PstOutlookOptions options, PstPlatform platform);

// The value a protected file keeps in PidTagPstPassword (0x67FF) for the password: the CRC-32 of
// the password's bytes as computed for PST data blocks.
uint32_t PstPasswordCrc(const std::string& password);

}  // namespace tarnvex::standin
