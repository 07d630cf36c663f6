#pragma once

#include <QApplication>

namespace tarnvex {

// The window program: builds the main window over the platform implementations its composition
// place picks for this operating system, runs its start-up and then the window until it is
// closed. The exit code of the program.
int RunWindowProgram(QApplication& application);

}  // namespace tarnvex
