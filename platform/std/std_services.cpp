#include "platform/std/std_services.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>
#include <thread>

namespace tarnvex {

double SystemClock::SecondsSinceMidnight() {
  using namespace std::chrono;
  const system_clock::time_point now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  {
    // std::localtime hands out one shared object; the lock keeps two clocks from sharing it.
    static std::mutex lock;
    const std::lock_guard<std::mutex> hold(lock);
    if (const std::tm* found = std::localtime(&seconds))
      local = *found;
  }
  const auto millisecond = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  const int second = std::min(local.tm_sec, 59);  // a leap second stays inside the day
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + second + millisecond / 1000.0;
}

void MersenneRandom::Seed(double seed) {
  engine_.seed(static_cast<std::mt19937::result_type>(std::llround(std::fabs(seed) * 1000)));
}

double MersenneRandom::Next() {
  return std::uniform_real_distribution<double>(0.0, 1.0)(engine_);
}

void ThreadSleeper::Sleep(int milliseconds) {
  if (milliseconds > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace tarnvex
