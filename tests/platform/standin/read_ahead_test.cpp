#include "platform/standin/read_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tarnvex::standin {
namespace {

using std::chrono::milliseconds;

// Waits (at most a few seconds) until the maker has made `count` values.
void AwaitMade(const std::atomic<std::size_t>& made, std::size_t count) {
  for (int i = 0; i < 500 && made.load() < count; ++i)
    std::this_thread::sleep_for(milliseconds(10));
}

TEST(ReadAhead, GivesEveryValueInOrderAndThenNone) {
  for (std::size_t count : {0u, 1u, 2u, 63u, 64u, 65u, 1000u}) {
    SCOPED_TRACE(count);
    ReadAhead<std::string> ahead(
        count, [](std::size_t i) { return std::to_string(i); },
        [](const std::string& s) { return s.size(); });
    for (std::size_t i = 0; i < count; ++i) {
      std::optional<std::string> value = ahead.Take();
      ASSERT_TRUE(value);
      EXPECT_EQ(*value, std::to_string(i));
    }
    EXPECT_FALSE(ahead.Take());
    EXPECT_FALSE(ahead.Take());
  }
}

// The maker runs ahead by no more than the limits allow, whichever is reached first; a value
// heavier than the byte limit alone is still made. It fills the room before it waits, and is
// woken again only once half the room is free: the value first taken may have been queued or not
// when it filled the room.
TEST(ReadAhead, MakesNoMoreAheadThanItsLimits) {
  struct Case {
    const char* name;
    ReadAheadLimits limits;
    std::size_t weight;
    std::size_t ahead;  // values queued once the maker waits
  };
  const Case cases[] = {
      {"by count", {4, 1000}, 1, 4},
      {"by weight", {100, 10}, 3, 4},         // 3, 6, 9 under 10; the fourth reaches it
      {"one heavy value", {100, 10}, 50, 2},  // the first is taken at once, wakes the maker
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::atomic<std::size_t> made{0};
    ReadAhead<std::size_t> ahead(
        100,
        [&](std::size_t i) {
          ++made;
          return i;
        },
        [&](std::size_t) { return c.weight; }, c.limits);
    ASSERT_EQ(ahead.Take(), 0u);
    AwaitMade(made, c.ahead);
    std::this_thread::sleep_for(milliseconds(50));  // time to make more, were it allowed
    EXPECT_GE(made.load(), c.ahead);
    EXPECT_LE(made.load(), 1 + c.ahead);
  }
}

TEST(ReadAhead, ThrowsWhatMakingAValueThrewAtThatValue) {
  ReadAhead<int> ahead(
      4,
      [](std::size_t i) {
        if (i == 2)
          throw std::runtime_error("value 2 is broken");
        return static_cast<int>(i);
      },
      [](int) { return 1u; });
  EXPECT_EQ(ahead.Take(), 0);
  EXPECT_EQ(ahead.Take(), 1);
  try {
    ahead.Take();
    FAIL() << "value 2 was given";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "value 2 is broken");
  }
  EXPECT_EQ(ahead.Take(), 3);  // the values after it are still made
  EXPECT_FALSE(ahead.Take());
}

// Stopping, or dropping the read-ahead, ends the making at once: nothing is made after it, and
// nothing more is given.
TEST(ReadAhead, StopsMakingWhenStoppedOrDropped) {
  for (bool drop : {false, true}) {
    SCOPED_TRACE(drop ? "dropped" : "stopped");
    std::atomic<std::size_t> made{0};
    {
      ReadAhead<std::size_t> ahead(
          1000,
          [&](std::size_t i) {
            ++made;
            return i;
          },
          [](std::size_t) { return 1u; }, {8, 1000});
      ASSERT_EQ(ahead.Take(), 0u);
      AwaitMade(made, 9);
      if (!drop) {
        ahead.Stop();
        EXPECT_FALSE(ahead.Take());
      }
    }
    const std::size_t atStop = made.load();
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(made.load(), atStop);
    EXPECT_LE(atStop, 10u);
  }
}

TEST(ReadAhead, MakesNothingUntilTheFirstTake) {
  std::atomic<std::size_t> made{0};
  ReadAhead<int> ahead(
      10,
      [&](std::size_t) {
        ++made;
        return 0;
      },
      [](int) { return 1u; });
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(made.load(), 0u);
}

}  // namespace
}  // namespace tarnvex::standin
