#pragma once

namespace tarnvex {

// Blocks the calling thread; no window messages are processed meanwhile.
class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void Sleep(int milliseconds) = 0;
};

// For front ends that run without the window's pauses.
class NoSleep : public Sleeper {
 public:
  void Sleep(int) override {}
};

}  // namespace tarnvex
