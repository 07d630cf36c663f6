#pragma once

// The Outlook stand-in over this machine's POSIX services, for the suites that drive it
// directly: the parts the front ends' composition places pick, behind the short signatures the
// suites call. Header only: the suites get the services from the libraries they link already.

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "platform/posix/iconv_code_pages.h"
#include "platform/posix/posix_file_access.h"
#include "platform/posix/safe_write.h"
#include "platform/posix/user_folders.h"
#include "platform/standin/profile.h"
#include "platform/standin/pst_outlook.h"

namespace tarnvex::standin {

inline PstPlatform PosixPstPlatform() {
  static PosixAtomicFileWriter writer;
  static PosixFileAccess files;
  static IconvCodePages codePages;
  return {writer, files, &codePages};
}

// $TARNVEX_OUTLOOK_PROFILE when set, else tarnvex/profile.ini in the configuration folder.
inline std::string DefaultProfilePath() {
  const char* variable = std::getenv(kProfileVariable);
  return ProfilePath(variable ? std::optional<std::string>(variable) : std::nullopt,
                     ConfigFolder());
}

// An empty profile path: the default one.
inline std::unique_ptr<OutlookAutomation> MakePstOutlook(PstOutlookOptions options) {
  if (options.profilePath.empty())
    options.profilePath = DefaultProfilePath();
  return MakePstOutlook(std::move(options), PosixPstPlatform());
}

inline void SetDefaultStore(const std::string& profilePath, const std::string& storePath) {
  SetDefaultStore(profilePath, storePath, PosixPstPlatform());
}

inline std::optional<std::string> ReadDefaultStore(const std::string& profilePath) {
  return ReadDefaultStore(profilePath, PosixPstPlatform().files);
}

}  // namespace tarnvex::standin
