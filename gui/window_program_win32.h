#pragma once

namespace tarnvex {

// The window program on Windows: builds the native main window over the platform
// implementations that gui/compose_win32.cpp picks, runs its start-up and then the window until
// it is closed. The exit code of the program.
int RunWindowProgram();

}  // namespace tarnvex
