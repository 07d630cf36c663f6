#pragma once

// The command line's options as the Outlook stand-in over PST files takes them, on every
// operating system.

#include <string>

#include "cli/cli.h"
#include "platform/standin/pst_outlook.h"

namespace tarnvex::cli {

standin::PstOutlookOptions StandInOptions(const OutlookOptions& options, std::string profilePath);

}  // namespace tarnvex::cli
