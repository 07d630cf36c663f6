#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarnvex::cli {

// tarnvex-export: the export run driven from the command line. Returns the exit status.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarnvex::cli
