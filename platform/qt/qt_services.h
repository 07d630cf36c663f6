#pragma once

// The small services of the window's program: clock, random source, pauses, process start and
// the end of the program.

#include <QStringList>
#include <random>
#include <string>

#include "platform/process_starter.h"
#include "platform/program.h"
#include "platform/random.h"
#include "platform/sleeper.h"

namespace tarnvex {

class QtClock : public Clock {
 public:
  double SecondsSinceMidnight() override;
};

class MersenneRandom : public RandomSource {
 public:
  void Seed(double seed) override;
  double Next() override;

 private:
  std::mt19937 engine_{5489u};
};

class ThreadSleeper : public Sleeper {
 public:
  void Sleep(int milliseconds) override;
};

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
