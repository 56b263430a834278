// Dates: serial numbers and calendar dates.
#include "Calendar.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <utility>

namespace tarnwick {

using namespace calendar;

std::optional<DATE> makeDate(int year, int month, int day) noexcept {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
    return std::nullopt;
  return static_cast<DATE>(daysFromCivil(year, month, day) - kEpoch);
}

std::optional<DATE> makeTime(int hour, int minute, int second) noexcept {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return std::nullopt;
  return static_cast<DATE>(hour * 3600 + minute * 60 + second) / kSecondsPerDay;
}

DateParts splitDate(DATE serial) {
  // The whole days decide the range, so every time of 1 January 100 (down
  // to -657434.99...) and of 31 December 9999 is valid.
  if (std::isnan(serial)) raise(errc::Overflow);
  const double whole = std::trunc(serial);
  if (whole < kFirstDay || whole > kLastDay) raise(errc::Overflow);
  int day = static_cast<int>(whole);
  // The time counts forward from midnight on either side of day 0.
  auto seconds = serial == whole ? 0 : static_cast<int>(std::lround(std::fabs(serial - whole) * kSecondsPerDay));
  if (seconds >= kSecondsPerDay) {
    // Rounding up to midnight moves to the next day, except on the last
    // valid day, which stops at 23:59:59.
    if (day == kLastDay) {
      seconds = kSecondsPerDay - 1;
    } else {
      ++day;
      seconds = 0;
    }
  }
  const int absolute = day + kEpoch;
  const Civil civil = civilFromDays(absolute);
  DateParts parts;
  parts.year = civil.year;
  parts.month = civil.month;
  parts.day = civil.day;
  parts.hour = seconds / 3600;
  parts.minute = seconds / 60 % 60;
  parts.second = seconds % 60;
  parts.weekday = ((day + 6) % 7 + 7) % 7 + 1;  // day 0 was a Saturday
  parts.dayOfYear = absolute - daysFromCivil(civil.year, 1, 1) + 1;
  return parts;
}

}  // namespace tarnwick
