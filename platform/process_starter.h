#pragma once

// Starting another program from a command line, without waiting for it. Implementations:
// platform/qt (later Win32).

#include <string>

namespace tarnvex {

// Initial state of the new program's window, numbered as the platform numbers it.
enum class WindowState : int {
  kHide = 0,
  kNormalFocus = 1,
  kMinimizedFocus = 2,
  kMaximizedFocus = 3,
  kNormalNoFocus = 4,
  kMinimizedNoFocus = 6,
};

class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;
  // Starts the command line detached and returns at once. Throws Failure, naming the program,
  // when it cannot be started.
  virtual void Start(const std::string& commandLine, WindowState state) = 0;
};

}  // namespace tarnvex
