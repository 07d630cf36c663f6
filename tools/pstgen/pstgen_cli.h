#pragma once

// The tarnvex-pstgen command as a function, so tests run it in-process.

#include <ostream>
#include <string>
#include <vector>

namespace tarnvex::pstwriter {

// args without the program name. Returns the exit code: 0 done, 1 failed, 2 wrong usage.
int RunPstgen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarnvex::pstwriter
