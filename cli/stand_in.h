#pragma once

// The command line's options as the Outlook stand-in over PST files takes them, on every
// operating system.

#include <string>

#include "cli/cli.h"
#include "platform/pst/pst_outlook.h"

namespace tarnvex::cli {

pst::PstOutlookOptions StandInOptions(const OutlookOptions& options, std::string profilePath);

}  // namespace tarnvex::cli
