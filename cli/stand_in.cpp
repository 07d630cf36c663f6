#include "cli/stand_in.h"

namespace tarnvex::cli {

standin::PstOutlookOptions StandInOptions(const OutlookOptions& options, std::string profilePath) {
  standin::PstOutlookOptions standIn{options.vcardVersion, options.password,
                                     std::move(profilePath)};
  standIn.codePage = options.codePage;
  standIn.charset = options.charset;
  standIn.askPassword = options.askPassword;
  standIn.warn = options.warn;
  return standIn;
}

}  // namespace tarnvex::cli
