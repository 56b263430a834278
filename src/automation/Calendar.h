#pragma once
// Private to the automation layer: the calendar arithmetic and the month and
// day names that reading and writing dates share.
//
// A serial counts days since 30 December 1899 (day 0, a Saturday); its
// fraction is the time of day. The calendar is the proleptic Gregorian one
// throughout, from 1 January 100 to 31 December 9999.
#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/String.h>

#include <array>
#include <cstddef>
#include <string_view>

namespace tarnwick::calendar {

// ---------------------------------------------------------------------------
// Calendar arithmetic

// Days since 1 January 1970 of a proleptic Gregorian date. Works on 400-year
// eras counted from 1 March, so that the leap day ends its year.
constexpr int daysFromCivil(int year, int month, int day) noexcept {
  year -= month <= 2 ? 1 : 0;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int yearOfEra = year - era * 400;                                         // 0 ... 399
  const int dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;  // 0 ... 365
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;  // 0 ... 146096
  return era * 146097 + dayOfEra - 719468;
}

struct Civil {
  int year;
  int month;
  int day;
};

// The inverse of daysFromCivil.
constexpr Civil civilFromDays(int days) noexcept {
  days += 719468;
  const int era = (days >= 0 ? days : days - 146096) / 146097;
  const int dayOfEra = days - era * 146097;
  const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int shifted = (5 * dayOfYear + 2) / 153;  // 0 = March ... 11 = February
  const int day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  const int month = shifted < 10 ? shifted + 3 : shifted - 9;
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// Day 0 of the serials, counted like daysFromCivil.
constexpr int kEpoch = daysFromCivil(1899, 12, 30);
constexpr int kFirstDay = static_cast<int>(kMinDate);
constexpr int kLastDay = static_cast<int>(kMaxDate);
static_assert(daysFromCivil(100, 1, 1) - kEpoch == kFirstDay);
static_assert(daysFromCivil(9999, 12, 31) - kEpoch == kLastDay);

constexpr bool isLeapYear(int year) noexcept {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int daysInMonth(int year, int month) noexcept {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

constexpr int kSecondsPerDay = 86400;

// A date serial and a time fraction as one serial. Before day 0 the time
// still counts forward from midnight, so it is subtracted: day -1 at 06:00
// is -1.25.
inline DATE combine(DATE date, DATE time) noexcept { return date < 0 ? date - time : date + time; }

// ---------------------------------------------------------------------------
// Names

constexpr std::array<std::u16string_view, 12> kEnglishMonths = {
    u"January", u"February", u"March",     u"April",   u"May",      u"June",
    u"July",    u"August",   u"September", u"October", u"November", u"December"};
constexpr std::array<std::u16string_view, 12> kEnglishMonthAbbreviations = {
    u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
constexpr std::array<std::u16string_view, 7> kEnglishDays = {
    u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"};
constexpr std::array<std::u16string_view, 7> kEnglishDayAbbreviations = {
    u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};

// The letter-case folding of upperCase (String.h), inline: it only screens
// candidate names by their first letter before the full comparison.
constexpr char16_t foldFirst(char16_t c) noexcept {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 32);
  return c;
}

// Index of the name that `word` spells in full, or -1.
template <std::size_t N, typename Names>
int exactName(std::u16string_view word, const Names& names) noexcept {
  const char16_t first = foldFirst(word[0]);
  for (std::size_t i = 0; i < N; ++i) {
    const std::u16string_view name = names[i];
    if (name.size() == word.size() && foldFirst(name[0]) == first && equalsIgnoreCase(word, name))
      return static_cast<int>(i);
  }
  return -1;
}

// Index of the full name that `word` begins, for words of three letters or
// more ("Sept", "Thurs", "Mär"); the first such name wins; -1 if none.
template <std::size_t N, typename Names>
int namePrefix(std::u16string_view word, const Names& names) noexcept {
  if (word.size() < 3) return -1;
  const char16_t first = foldFirst(word[0]);
  for (std::size_t i = 0; i < N; ++i) {
    const std::u16string_view name = names[i];
    if (name.size() >= word.size() && foldFirst(name[0]) == first && startsWithIgnoreCase(name, word))
      return static_cast<int>(i);
  }
  return -1;
}


}  // namespace tarnwick::calendar
