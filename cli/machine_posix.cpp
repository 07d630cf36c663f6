// The command line's composition place on POSIX systems: the Outlook stand-in over PST files,
// the POSIX file system and atomic writes, the profile in the user's configuration folder.

#include <unistd.h>

#include <cstdlib>

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
