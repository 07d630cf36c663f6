#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/outlook.h"
#include "vcard/writer.h"

namespace tarnvex::cli {

// The card forms: the vCard writer's own.
using vcard::VCardVersion;

// Where a run's contacts come from: the default store's Contacts folder or a PST file.
enum class ContactSource { kDefaultContacts, kPstFile };

// What the command line asks of the Outlook it exports from, in the same words on every
// platform; the composition place hands them on to the Outlook it picks.
struct OutlookOptions {
  ContactSource source = ContactSource::kDefaultContacts;
  VCardVersion vcardVersion = VCardVersion::k21;  // the form SaveAs writes
  std::optional<std::string> password;  // of a protected PST file (--pst-password, its file)
  // Asked for the password of a protected file when `password` is unset: TARNVEX_PST_PASSWORD,
  // else the terminal; set by the run.
  std::function<std::optional<std::string>(const std::string&)> askPassword = nullptr;
  // The code page of 8-bit text for which the data file records none (--codepage).
  std::optional<uint32_t> codePage = std::nullopt;
  // How 2.1 cards write text beyond ASCII (--charset).
  std::optional<vcard::Charset> charset = std::nullopt;
  // The program's own reader of Outlook's data files instead of Outlook itself (--no-outlook);
  // on Linux, which has no Outlook, the own reader is always used.
  bool noOutlook = false;
  // Told once per run when some 8-bit text does not decode; set by the run.
  std::function<void(const std::string&)> warn = nullptr;
};

// What the command line needs of the machine; tests pass their own.
class Environment {
 public:
  virtual ~Environment() = default;
  // The Outlook for the run; throws Failure, saying why, when the machine has none for the
  // source (the run then ends with exit status 3).
  virtual std::unique_ptr<OutlookAutomation> MakeOutlook(const OutlookOptions& options) = 0;
  virtual FileSystem& Files() = 0;
  // Makes the file the default store of the profile; gives the profile's path.
  virtual std::string SetDefaultStore(const std::string& storePath) = 0;
  virtual bool ErrorIsTerminal() = 0;
  // The value of an environment variable, as UTF-8; empty when it is not set.
  virtual std::optional<std::string> Variable(const std::string& name) = 0;
  // A secret the user types on the terminal after the prompt (on standard error), not echoed;
  // empty when standard input is no terminal.
  virtual std::optional<std::string> AskSecret(const std::string& prompt) = 0;
};

// The machine itself, as the composition place of the operating system picks it
// (machine_posix.cpp: the PST stand-in, the POSIX file system, standard error's terminal;
// machine_win32.cpp: Outlook through automation, or the PST stand-in with --no-outlook, the
// wide-API file system, standard error's console).
std::unique_ptr<Environment> MachineEnvironment();

// tarnvex-export: the export run driven from the command line. Plain messages go to `out`, error
// reports and the progress bar to `err`. Returns the exit status: 0 after "Done." with no error
// report, 1 after "Done." with reports, 2 for bad usage, 3 after any other closing message.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        Environment& environment);
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarnvex::cli
