#pragma once

// Time of day and a seedable pseudo-random generator, injected so that tests can fix both.

namespace tarnvex {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since local midnight, with fractions.
  virtual double SecondsSinceMidnight() = 0;
};

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual void Seed(double seed) = 0;
  // A uniformly drawn number r with 0 <= r < 1.
  virtual double Next() = 0;
};

}  // namespace tarnvex
