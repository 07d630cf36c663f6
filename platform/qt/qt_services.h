#pragma once

// The small services of the window's program: process start and the end of the program.

#include <QStringList>
#include <string>

#include "platform/process_starter.h"
#include "platform/program.h"

namespace tarnvex {

// The words of a command line: blanks separate them, double quotes group them and are dropped.
QStringList SplitCommandLine(const std::string& commandLine);

// Starts programs detached. The command "explorer" is the desktop's opener: on Linux
// xdg-open, which opens an address in the user's browser. The window state is the opened
// program's own business here.
class QtProcessStarter : public ProcessStarter {
 public:
  void Start(const std::string& commandLine, WindowState state) override;
};

// Ends the program: leaves every event loop; before the loop runs, Ended() tells the caller not
// to start it.
class QtProgram : public Program {
 public:
  void End() override;
  bool Ended() const { return ended_; }

 private:
  bool ended_ = false;
};

}  // namespace tarnvex
