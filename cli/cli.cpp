#include "cli/cli.h"

namespace tarnvex::cli {

int Run(const std::vector<std::string>&, std::ostream&, std::ostream&) { return 2; }

}  // namespace tarnvex::cli
