#pragma once
// The user's locale conventions that conversions observe: separators,
// currency symbol, date order, names of months and days, AM/PM and the
// standard date and time patterns. Taken from the process's locale by
// default, and replaceable in code (process-wide, or for the current thread
// within a LocaleScope), so that behaviour under other conventions can be
// exercised without installing system locales.
#include <tarnwick/automation/Export.h>

#include <array>
#include <optional>
#include <string>

namespace tarnwick {

enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

struct TARNWICK_API Locale {
  std::u16string name;               // "en-US", "de-DE", or the system locale's name
  char16_t decimalSeparator = u'.';
  char16_t thousandsSeparator = u',';
  std::u16string currencySymbol = u"$";
  DateOrder dateOrder = DateOrder::MonthDayYear;
  char16_t dateSeparator = u'/';
  char16_t timeSeparator = u':';
  std::array<std::u16string, 12> monthNames;
  std::array<std::u16string, 12> abbreviatedMonthNames;
  std::array<std::u16string, 7> dayNames;  // Sunday first
  std::array<std::u16string, 7> abbreviatedDayNames;
  std::u16string am = u"AM";
  std::u16string pm = u"PM";
  // Standard patterns, written in the date-format letters of formatDate
  // ("/" and ":" stand for the separators above).
  std::u16string shortDatePattern = u"m/d/yyyy";
  std::u16string longDatePattern = u"dddd, mmmm d, yyyy";
  std::u16string longTimePattern = u"h:nn:ss AMPM";
  std::u16string shortTimePattern = u"hh:nn";

  static Locale enUS();
  static Locale deDE();
  // The conventions of the process's locale (LC_ALL, LC_NUMERIC, LC_TIME
  // and LANG as the C library resolves them); en-US where none is set or the
  // named locale is not installed.
  static Locale fromEnvironment();
};

// The locale that conversions use on this thread: the thread's scope if one
// is active, else the process-wide one (from the environment on first use).
TARNWICK_API const Locale& userLocale();
// Replaces the process-wide locale. Not for use while other threads convert.
TARNWICK_API void setProcessLocale(Locale locale);

// Makes `locale` the user locale of the current thread for the scope's life.
class TARNWICK_API LocaleScope {
 public:
  explicit LocaleScope(Locale locale);
  ~LocaleScope();
  LocaleScope(const LocaleScope&) = delete;
  LocaleScope& operator=(const LocaleScope&) = delete;

 private:
  Locale locale_;
  const Locale* previous_;
};

}  // namespace tarnwick
