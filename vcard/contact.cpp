#include "vcard/contact.h"

namespace tarnvex::vcard {

Date DateOfDay(int64_t days) {
  // Civil date from days since 1970-01-01 (H. Hinnant's algorithm): eras of 400 years starting on
  // 0000-03-01, so that the leap day is the last day of a year.
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  return Date{y, m, d};
}

std::optional<int64_t> FiletimeToUnix(uint64_t filetime) {
  constexpr uint64_t kTicksPerSecond = 10000000ULL;
  constexpr int64_t kEpochDelta = 11644473600LL;       // seconds from 1601-01-01 to 1970-01-01
  constexpr uint64_t kNoDate = 0x0CB34557A3DD4000ULL;  // 4501-01-01, Outlook's "None"
  if (filetime == 0 || filetime >= kNoDate)
    return std::nullopt;
  return static_cast<int64_t>(filetime / kTicksPerSecond) - kEpochDelta;
}

std::optional<Date> FiletimeToDate(uint64_t filetime) {
  const auto secs = FiletimeToUnix(filetime);
  if (!secs)
    return std::nullopt;
  int64_t days = (*secs + 43200) / 86400;
  if (*secs + 43200 < 0 && (*secs + 43200) % 86400 != 0)
    --days;
  const Date date = DateOfDay(days);
  if (date.year < 1 || date.year > 9999)
    return std::nullopt;
  return date;
}

}  // namespace tarnvex::vcard
