// The command line's composition place on Windows: the wide-API file system and standard
// error's console. Outlook itself comes with its automation in a later step: until then no
// Outlook can be started, so the run says that Outlook does not appear to be installed. The PST
// reader does not build for Windows yet; a PST file is refused in words.

#include "cli/cli.h"
#include "platform/failure.h"
#include "platform/win32/win32_console.h"
#include "platform/win32/win32_file_system.h"

namespace tarnvex::cli {
namespace {

constexpr const char* kNoPstReader =
    "The Windows program cannot read PST files yet: its PST reader is still to be built for "
    "Windows. Export the file with tarnvex-export on Linux.";
constexpr const char* kNoDefaultStore =
    "The Windows program keeps no default store of its own yet: --set-default-store names the "
    "default store of the PST reader, which is still to be built for Windows.";

// Outlook as a machine without it has it: the application object cannot be created.
class NoOutlook : public OutlookAutomation {
 public:
  std::shared_ptr<OutlookApplication> CreateApplication() override {
    throw Failure(
        "Cannot create the object \"Outlook.Application\": the Windows program does not "
        "drive Outlook yet.");
  }
};

class Machine : public Environment {
 public:
  std::unique_ptr<OutlookAutomation> MakeOutlook(const OutlookOptions& options) override {
    if (options.source == ContactSource::kPstFile)
      throw Failure(kNoPstReader);
    return std::make_unique<NoOutlook>();
  }
  FileSystem& Files() override { return files_; }
  std::string SetDefaultStore(const std::string&) override { throw Failure(kNoDefaultStore); }
  bool ErrorIsTerminal() override { return IsConsole(StandardStream::kError); }

 private:
  Win32FileSystem files_;
};

}  // namespace

std::unique_ptr<Environment> MachineEnvironment() {
  return std::make_unique<Machine>();
}

}  // namespace tarnvex::cli
