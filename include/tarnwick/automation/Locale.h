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
#include <string_view>

namespace tarnwick {

enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

// Where a locale's conventions come from: built into the library (en-US,
// de-DE), the system's locale data, or en-US standing in for a locale the
// environment names whose data is not installed.
enum class LocaleOrigin { BuiltIn, System, Fallback };

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
  LocaleOrigin origin = LocaleOrigin::BuiltIn;
  // The environment's locale name ("fr_FR.UTF-8"), when it named one.
  std::u16string requested;

  static Locale enUS();
  static Locale deDE();
  // The conventions of the process's locale (LC_ALL, LC_TIME, LC_NUMERIC
  // and LANG, the first that is set): en-US and de-DE built in, any other
  // from the system's locale data (separators, date order, month and day
  // names); en-US where none is set, and en-US marked as a fallback where
  // the named locale is not installed.
  static Locale fromEnvironment();
  // A built-in locale by its name ("en-US" or "en_US", "de-DE" or
  // "de_DE", any letter case); nullopt for any other name.
  static std::optional<Locale> builtIn(std::u16string_view name);
};

// The locale that conversions use on this thread: the thread's scope if one
// is active, else the process-wide one (from the environment on first use).
TARNWICK_API const Locale& userLocale();
// Replaces the process-wide locale. Not for use while other threads convert.
TARNWICK_API void setProcessLocale(Locale locale);
// The locale in force on this thread and where it comes from, for people:
// "fr-FR (system locale data)", "en-US (built in)", or
// "en-US (fallback: the locale xx_YY.UTF-8 is not installed)".
TARNWICK_API std::u16string describeLocale(const Locale& locale = userLocale());

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
