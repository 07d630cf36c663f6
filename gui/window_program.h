#pragma once

#include <QApplication>

#include "platform/outlook.h"

namespace tarnvex {

// The window program: builds the main window over the desktop's services, runs its start-up
// and then the window until it is closed. The exit code of the program.
int RunWindowProgram(QApplication& application, OutlookAutomation& outlook);

}  // namespace tarnvex
