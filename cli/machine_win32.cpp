// The command line's composition place on Windows: Outlook through automation for both sources,
// as the window drives it; with --no-outlook the program's own PST reader, as on Linux, with the
// profile in the user's application-data folder. The wide-API file system, atomic writes and
// standard error's console.

#include "cli/cli.h"
#include "cli/stand_in.h"
#include "platform/failure.h"
#include "platform/standin/profile.h"
#include "platform/standin/pst_outlook.h"
#include "platform/win32/com_outlook.h"
#include "platform/win32/win32_atomic_file_writer.h"
#include "platform/win32/win32_code_pages.h"
#include "platform/win32/win32_console.h"
#include "platform/win32/win32_file_access.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_user_folders.h"

namespace tarnvex::cli {
namespace {

// %TARNVEX_OUTLOOK_PROFILE%, else tarnvex\profile.ini in the user's application-data folder;
// empty when neither is known.
std::string ProfilePath() {
  return standin::WindowsProfilePath(EnvironmentVariable(standin::kProfileVariable),
                                     AppDataFolder());
}

class Machine : public Environment {
 public:
  // The one place that picks the Outlook of a run.
  std::unique_ptr<OutlookAutomation> MakeOutlook(const OutlookOptions& options) override {
    if (options.noOutlook)
      return OwnPstReader(options);
    // Outlook writes its own vCard 2.1 and asks for a store's password itself: the options for
    // the own reader are refused rather than left without effect.
    if (options.vcardVersion != VCardVersion::k21)
      throw Failure(
          "Outlook writes vCard 2.1 only; --vcard-version 3.0 and 4.0 need --no-outlook.");
    if (options.password)
      throw Failure(
          "Outlook asks for a PST file's password itself; --pst-password needs "
          "--no-outlook.");
    if (options.charset == vcard::Charset::kUtf8)
      throw Failure(
          "Outlook writes its cards in each contact's code page; --charset utf-8 needs "
          "--no-outlook.");
    if (options.codePage)
      throw Failure(
          "Outlook decodes the text of its stores itself; --codepage needs "
          "--no-outlook.");
    return MakeComOutlook();
  }
  FileSystem& Files() override { return files_; }
  std::string SetDefaultStore(const std::string& storePath) override {
    const std::string profile = ProfilePath();
    // The profile's folder, named with "\" here, is made first (the stand-in makes folders
    // named up to a "/").
    if (const std::size_t end = profile.find_last_of("\\/"); end != std::string::npos && end > 0)
      wholeFiles_.CreateFolders(profile.substr(0, end), "the profile");
    standin::SetDefaultStore(profile, storePath, Platform());
    return profile;
  }
  bool ErrorIsTerminal() override { return IsConsole(StandardStream::kError); }
  std::optional<std::string> Variable(const std::string& name) override {
    return EnvironmentVariable(name);
  }
  std::optional<std::string> AskSecret(const std::string& prompt) override {
    return ReadConsoleSecret(prompt);
  }

 private:
  std::unique_ptr<OutlookAutomation> OwnPstReader(const OutlookOptions& options) {
    return standin::MakePstOutlook(StandInOptions(options, ProfilePath()), Platform());
  }
  standin::PstPlatform Platform() { return {writer_, wholeFiles_, &codePages_}; }

  Win32FileSystem files_;
  Win32FileAccess wholeFiles_;
  Win32AtomicFileWriter writer_;
  Win32CodePages codePages_;
};

}  // namespace

std::unique_ptr<Environment> MachineEnvironment() {
  return std::make_unique<Machine>();
}

}  // namespace tarnvex::cli
