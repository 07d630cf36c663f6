#pragma once

#include "platform/process_starter.h"

namespace tarnvex {

// Starts programs with CreateProcessW: the first word of the command line names the program
// (found as the system finds it: the program's folder, the current folder, the system folders,
// PATH), its window opens in the state asked for.
class Win32ProcessStarter : public ProcessStarter {
 public:
  void Start(const std::string& commandLine, WindowState state) override;
};

// The ShowWindow command for a window state (SW_...): the minimised state without focus is
// SW_SHOWMINNOACTIVE.
int ShowCommandFor(WindowState state);

}  // namespace tarnvex
