#pragma once

// Clock, random source and pauses over the C++ standard library alone: the same on every
// platform, so every front end takes them from here.

#include <random>

#include "platform/random.h"
#include "platform/sleeper.h"

namespace tarnvex {

// The local time of day, from the system clock and the C library's local time zone.
class SystemClock : public Clock {
 public:
  double SecondsSinceMidnight() override;
};

// A Mersenne twister: the same seed gives the same numbers on every platform.
class MersenneRandom : public RandomSource {
 public:
  void Seed(double seed) override;
  double Next() override;

 private:
  std::mt19937 engine_{5489u};
};

// Blocks the calling thread for the time asked.
class ThreadSleeper : public Sleeper {
 public:
  void Sleep(int milliseconds) override;
};

}  // namespace tarnvex
