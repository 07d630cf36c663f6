// The command line's composition place on POSIX systems: the Outlook stand-in over PST files,
// the POSIX file system and atomic writes, the profile in the user's configuration folder.

#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "cli/cli.h"
#include "cli/stand_in.h"
#include "platform/posix/iconv_code_pages.h"
#include "platform/posix/posix_file_access.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/safe_write.h"
#include "platform/posix/user_folders.h"
#include "platform/standin/profile.h"
#include "platform/standin/pst_outlook.h"

namespace tarnvex::cli {
namespace {

std::string ProfilePath() {
  return standin::ProfilePathFromEnvironment(ConfigFolder());
}

class Machine : public Environment {
 public:
  std::unique_ptr<OutlookAutomation> MakeOutlook(const OutlookOptions& options) override {
    return standin::MakePstOutlook(StandInOptions(options, ProfilePath()), Platform());
  }
  FileSystem& Files() override { return files_; }
  std::string SetDefaultStore(const std::string& storePath) override {
    const std::string profile = ProfilePath();
    standin::SetDefaultStore(profile, storePath, Platform());
    return profile;
  }
  bool ErrorIsTerminal() override { return ::isatty(STDERR_FILENO) == 1; }
  std::optional<std::string> Variable(const std::string& name) override {
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  std::optional<std::string> AskSecret(const std::string& prompt) override {
    if (::isatty(STDIN_FILENO) != 1)
      return std::nullopt;
    std::cerr << prompt << std::flush;
    termios saved{};
    const bool hidden = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hidden) {
      termios quiet = saved;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string secret;
    const bool read = static_cast<bool>(std::getline(std::cin, secret));
    if (hidden)
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << "\n";
    return read ? std::optional<std::string>(secret) : std::nullopt;
  }

 private:
  standin::PstPlatform Platform() { return {writer_, wholeFiles_, &codePages_}; }

  PosixFileSystem files_;
  PosixFileAccess wholeFiles_;
  PosixAtomicFileWriter writer_;
  IconvCodePages codePages_;
};

}  // namespace

std::unique_ptr<Environment> MachineEnvironment() {
  return std::make_unique<Machine>();
}

}  // namespace tarnvex::cli
