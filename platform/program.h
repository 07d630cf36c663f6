#pragma once

namespace tarnvex {

// The running program as a whole.
class Program {
 public:
  virtual ~Program() = default;
  // Ends the program at once: no further handler runs. A test double may return instead, so
  // callers return straight after calling it.
  virtual void End() = 0;
};

}  // namespace tarnvex
