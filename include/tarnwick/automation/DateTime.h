#pragma once
// Dates as the platform keeps them: a double counting days since
// 30 December 1899, the fraction being the time of day. A negative date
// keeps its time as a positive fraction: -1.25 is 29 December 1899, 06:00.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/VarType.h>

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {


// 1 January 100 and 31 December 9999, the range of valid dates.
inline constexpr DATE kMinDate = -657434.0;
inline constexpr DATE kMaxDate = 2958465.0 + 86399.0 / 86400.0;  // 31 December 9999, 23:59:59

struct DateParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 7;    // 1 = Sunday ... 7 = Saturday
  int dayOfYear = 364;  // 1 ... 366
};

// The serial of a calendar date (proleptic Gregorian); nullopt for an
// impossible date or one outside 1 January 100 ... 31 December 9999.
TARNWICK_API std::optional<DATE> makeDate(int year, int month, int day) noexcept;
// The fraction of a day for a time (0-23, 0-59, 0-59); nullopt for an impossible time.
TARNWICK_API std::optional<DATE> makeTime(int hour, int minute, int second) noexcept;
// Splits a serial into its parts, the time rounded to the nearest second; a
// time that rounds up to midnight moves to the next day, except on
// 31 December 9999, where it stops at 23:59:59. The range is decided on the
// whole days of the serial (so -657434.5 is noon of 1 January 100). Throws
// Error 6 for a serial outside the valid range (or NaN).
TARNWICK_API DateParts splitDate(DATE serial);

// Text to date under the automation rules of `locale`: numbers in the
// locale's order (other orders where that order gives no valid date), month
// names and abbreviations, weekday names (ignored), times with AM/PM, and
// two-digit years (00 to 29 are 2000 to 2029, 30 to 99 are 1930 to 1999).
// Two numbers are day and month of the current year (local system clock),
// else month and year; a lone number is no date. A time alone falls on day 0.
// The detailed rules are documented where they live, in DateTime.cpp.
// Throws Error 13 for a text that is no date.
TARNWICK_API DATE parseDate(std::u16string_view text, const Locale& locale = userLocale());
TARNWICK_API std::optional<DATE> tryParseDate(std::u16string_view text, const Locale& locale = userLocale()) noexcept;
// The date test on a text.
TARNWICK_API bool isDateText(std::u16string_view text, const Locale& locale = userLocale()) noexcept;

// A date as a value converts to text: the short date, then the long time;
// the date alone when there is no time, the time alone on day 0 (0 itself
// shows as the time "12:00:00 AM" under en-US). Throws Error 6 out of range.
TARNWICK_API std::u16string dateToText(DATE serial, const Locale& locale = userLocale());
// The same, appended to `out`.
TARNWICK_API void appendDateText(std::u16string& out, DATE serial, const Locale& locale = userLocale());

// Formats a date with a user-defined pattern of the format function's date
// letters: d dd ddd dddd ddddd dddddd, w ww, m mm mmm mmmm, q, y yy yyyy,
// h hh, n nn, s ss, ttttt, c, AM/PM am/pm A/P a/p AMPM, "/" and ":" (the
// locale's separators), quoted literals and backslash escapes. m and mm
// after an hour mean minutes. Weeks begin on Sunday; week 1 contains 1 January.
// Letters are read in either case; AM/PM, am/pm, A/P and a/p show each
// letter in the case it is written in; an AM/PM token anywhere puts h and hh
// on the 12-hour clock; AMPM shows the locale's strings, "AM"/"PM" where the
// locale has none. Characters that make no token stand for themselves.
// The named formats "General Date", "Long Date", "Medium Date", "Short Date",
// "Long Time", "Medium Time" and "Short Time" (the locale's short time) are
// known too, in any letter case; an empty pattern is the general date.
// Throws Error 6 for a serial out of range.
TARNWICK_API std::u16string formatDate(DATE serial, std::u16string_view pattern, const Locale& locale = userLocale());

}  // namespace tarnwick
