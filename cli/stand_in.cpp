#include "cli/stand_in.h"

namespace tarnvex::cli {
namespace {

pst::VCardVersion StandInVersion(VCardVersion version) {
  switch (version) {
    case VCardVersion::k30:
      return pst::VCardVersion::k30;
    case VCardVersion::k40:
      return pst::VCardVersion::k40;
    case VCardVersion::k21:
      break;
  }
  return pst::VCardVersion::k21;
}

}  // namespace

pst::PstOutlookOptions StandInOptions(const OutlookOptions& options, std::string profilePath) {
  pst::PstOutlookOptions standIn{StandInVersion(options.vcardVersion), options.password,
                                 std::move(profilePath)};
  standIn.codePage = options.codePage;
  standIn.warn = options.warn;
  return standIn;
}

}  // namespace tarnvex::cli
