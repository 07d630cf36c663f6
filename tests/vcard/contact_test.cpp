// The contact model's dates: calendar days, and the FILETIMEs Outlook stores them as.

#include "vcard/contact.h"

#include <gtest/gtest.h>

namespace tarnvex::vcard {
namespace {

// 100 ns ticks of a time given in seconds since 1970-01-01 UTC.
uint64_t Filetime(int64_t unixSeconds) {
  return static_cast<uint64_t>(unixSeconds + 11644473600LL) * 10000000ULL;
}

bool IsLeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return kMonthDays[m - 1] + (m == 2 && IsLeapYear(y) ? 1 : 0);
}

// Days since 1970-01-01 of a calendar date, counted the plain way.
int64_t DaysOf(const Date& d) {
  int64_t days = 0;
  for (int y = 1970; y < d.year; ++y)
    days += IsLeapYear(y) ? 366 : 365;
  for (int y = d.year; y < 1970; ++y)
    days -= IsLeapYear(y) ? 366 : 365;
  for (int m = 1; m < d.month; ++m)
    days += DaysInMonth(d.year, m);
  return days + d.day - 1;
}

TEST(DateOfDayTest, KnownDays) {
  EXPECT_EQ(DateOfDay(0), (Date{1970, 1, 1}));
  EXPECT_EQ(DateOfDay(-1), (Date{1969, 12, 31}));
  EXPECT_EQ(DateOfDay(59), (Date{1970, 3, 1}));
  EXPECT_EQ(DateOfDay(11016), (Date{2000, 2, 29}));
  EXPECT_EQ(DateOfDay(-134774), (Date{1601, 1, 1}));
  EXPECT_EQ(DateOfDay(2932896), (Date{9999, 12, 31}));
  for (const Date d : {Date{1600, 2, 29}, Date{1900, 3, 1}, Date{2100, 2, 28}, Date{4500, 12, 31}})
    EXPECT_EQ(DateOfDay(DaysOf(d)), d) << d.year;
}

// From the day before the first FILETIME to Outlook's "no date": each day follows the one before
// it, and a month ends after its own number of days.
TEST(DateOfDayTest, EveryDayFrom1601To4501FollowsTheDayBefore) {
  Date previous = DateOfDay(-134775);
  ASSERT_EQ(previous, (Date{1600, 12, 31}));
  const int64_t last = DaysOf(Date{4501, 1, 1});
  for (int64_t day = -134774; day <= last; ++day) {
    const Date d = DateOfDay(day);
    const bool nextDay =
        d.year == previous.year && d.month == previous.month && d.day == previous.day + 1;
    const bool monthEnded =
        d.day == 1 && previous.day == DaysInMonth(previous.year, previous.month);
    const bool nextMonth = monthEnded && d.year == previous.year && d.month == previous.month + 1;
    const bool nextYear =
        monthEnded && d.year == previous.year + 1 && d.month == 1 && previous.month == 12;
    ASSERT_TRUE(nextDay || nextMonth || nextYear) << "day " << day;
    previous = d;
  }
  EXPECT_EQ(previous, (Date{4501, 1, 1}));
}

TEST(FiletimeTest, NoDateValuesAreEmpty) {
  EXPECT_FALSE(FiletimeToUnix(0));
  EXPECT_FALSE(FiletimeToUnix(0x0CB34557A3DD4000ULL));  // 4501-01-01, Outlook's "None"
  EXPECT_FALSE(FiletimeToUnix(0xFFFFFFFFFFFFFFFFULL));
  EXPECT_TRUE(FiletimeToUnix(0x0CB34557A3DD4000ULL - 1));
  EXPECT_FALSE(FiletimeToDate(0));
  EXPECT_FALSE(FiletimeToDate(0x0CB34557A3DD4000ULL));
}

TEST(FiletimeTest, SecondsSince1970) {
  EXPECT_EQ(FiletimeToUnix(116444736000000000ULL), 0);
  EXPECT_EQ(FiletimeToUnix(Filetime(1700000000)), 1700000000);
  EXPECT_EQ(FiletimeToUnix(Filetime(-86400)), -86400);
  EXPECT_EQ(FiletimeToUnix(Filetime(1700000000) + 9999999), 1700000000) << "ticks are cut off";
  EXPECT_EQ(FiletimeToUnix(1), -11644473600LL);
}

// A stored date is a midnight: local, or local kept in UTC (up to 12 hours to either side).
TEST(FiletimeTest, DatesRoundToTheNearestMidnight) {
  const int64_t day = DaysOf(Date{1975, 2, 28}) * 86400;
  EXPECT_EQ(FiletimeToDate(Filetime(day)), (Date{1975, 2, 28}));
  EXPECT_EQ(FiletimeToDate(Filetime(day - 7200)), (Date{1975, 2, 28})) << "UTC+2 midnight";
  EXPECT_EQ(FiletimeToDate(Filetime(day + 5 * 3600)), (Date{1975, 2, 28})) << "UTC-5 midnight";
  EXPECT_EQ(FiletimeToDate(Filetime(day + 43199)), (Date{1975, 2, 28}));
  EXPECT_EQ(FiletimeToDate(Filetime(day + 43200)), (Date{1975, 3, 1}));
  EXPECT_EQ(FiletimeToDate(Filetime(day - 43200)), (Date{1975, 2, 28}));
  EXPECT_EQ(FiletimeToDate(Filetime(day - 43201)), (Date{1975, 2, 27}));
  // Before 1970 the same.
  const int64_t old = DaysOf(Date{1900, 3, 1}) * 86400;
  EXPECT_EQ(FiletimeToDate(Filetime(old - 3600)), (Date{1900, 3, 1}));
  EXPECT_EQ(FiletimeToDate(Filetime(old - 43201)), (Date{1900, 2, 28}));
  EXPECT_EQ(FiletimeToDate(1), (Date{1601, 1, 1}));
}

}  // namespace
}  // namespace tarnvex::vcard
