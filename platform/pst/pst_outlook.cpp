#include "platform/pst/pst_outlook.h"

#include <cstdlib>

#include "platform/failure.h"

namespace tarnvex::pst {
namespace {

// Placeholder until the libpff reader lands: Outlook cannot be started.
class UnavailableOutlook : public OutlookAutomation {
 public:
  std::shared_ptr<OutlookApplication> CreateApplication() override {
    throw Failure("The Outlook stand-in over PST files is not available in this build.");
  }
};

}  // namespace

std::string DefaultProfilePath() {
  if (const char* path = std::getenv("TARNVEX_OUTLOOK_PROFILE"); path && *path) return path;
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    config = std::string(home) + "/.config";
  }
  return config + "/tarnvex/profile.ini";
}

void SetDefaultStore(const std::string&, const std::string&) {
  throw Failure("Setting the default store is not available in this build.");
}

std::unique_ptr<OutlookAutomation> MakePstOutlook(PstOutlookOptions) {
  return std::make_unique<UnavailableOutlook>();
}

}  // namespace tarnvex::pst
