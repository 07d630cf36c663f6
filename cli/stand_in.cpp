#include "cli/stand_in.h"

namespace tarnvex::cli {

pst::PstOutlookOptions StandInOptions(const OutlookOptions& options, std::string profilePath) {
  pst::PstOutlookOptions standIn{options.vcardVersion, options.password, std::move(profilePath)};
  standIn.codePage = options.codePage;
  standIn.warn = options.warn;
  return standIn;
}

}  // namespace tarnvex::cli
