// Clock, random source and pauses over the standard library.
#include "platform/std/std_services.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace tarnvex {
namespace {

TEST(MersenneRandom, DrawsInTheUnitIntervalAndRepeatsForASeed) {
  MersenneRandom random;
  random.Seed(45296.25);
  std::vector<double> first;
  for (int i = 0; i < 1000; ++i) {
    const double r = random.Next();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
    first.push_back(r);
  }
  random.Seed(45296.25);
  EXPECT_EQ(random.Next(), first[0]);
  SystemClock clock;
  const double now = clock.SecondsSinceMidnight();
  EXPECT_GE(now, 0.0);
  EXPECT_LT(now, 86400.0);
}

TEST(ThreadSleeper, WaitsAtLeastTheTimeAskedAndNothingForNoTime) {
  ThreadSleeper sleeper;
  const auto start = std::chrono::steady_clock::now();
  sleeper.Sleep(20);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  sleeper.Sleep(0);
  sleeper.Sleep(-5);
}

}  // namespace
}  // namespace tarnvex
