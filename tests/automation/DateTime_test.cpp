#include "ErrorOf.h"
#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

const Locale& enUS() {
  static const Locale locale = Locale::enUS();
  return locale;
}
const Locale& deDE() {
  static const Locale locale = Locale::deDE();
  return locale;
}

int thisYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

DATE at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return *makeDate(year, month, day) + *makeTime(hour, minute, second);
}

std::string utf8(const std::u16string& text) { return toUtf8(text); }

std::u16string digits(int value) {
  const std::string text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

// The serial a text converts to, or NaN when it is no date.
double parsed(std::u16string_view text, const Locale& locale) {
  const auto date = tryParseDate(text, locale);
  return date ? *date : std::nan("");
}

using testing::errorOf;

TEST(DateTime, CalendarRoundTripsAndRange) {
  EXPECT_EQ(makeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(makeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(makeDate(1900, 3, 1), 61.0);  // 1900 has no 29 February
  EXPECT_EQ(makeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(makeDate(100, 1, 1), kMinDate);
  EXPECT_EQ(makeDate(9999, 12, 31), std::trunc(kMaxDate));
  EXPECT_FALSE(makeDate(1900, 2, 29));
  EXPECT_EQ(makeDate(2000, 2, 29), 36585.0);
  EXPECT_EQ(makeDate(2024, 2, 29), 45351.0);
  EXPECT_FALSE(makeDate(2023, 2, 29));
  EXPECT_FALSE(makeDate(2100, 2, 29));
  EXPECT_FALSE(makeDate(99, 12, 31));
  EXPECT_FALSE(makeDate(10000, 1, 1));
  EXPECT_FALSE(makeDate(2000, 0, 1));
  EXPECT_FALSE(makeDate(2000, 13, 1));
  EXPECT_FALSE(makeDate(2000, 4, 31));
  EXPECT_FALSE(makeDate(2000, 1, 0));

  // Every day of the range: consecutive serials are consecutive calendar
  // days, the weekday cycles, and each day converts back to its serial.
  DateParts previous = splitDate(kMinDate);
  EXPECT_EQ(previous.year, 100);
  EXPECT_EQ(previous.weekday, 6);  // 1 January 100 was a Friday
  for (int serial = static_cast<int>(kMinDate) + 1; serial <= static_cast<int>(kMaxDate); ++serial) {
    const DateParts p = splitDate(serial);
    const bool newYear = p.month == 1 && p.day == 1;
    const bool newMonth = p.day == 1;
    ASSERT_EQ(p.weekday, previous.weekday % 7 + 1) << serial;
    ASSERT_EQ(p.dayOfYear, newYear ? 1 : previous.dayOfYear + 1) << serial;
    ASSERT_EQ(p.day, newMonth ? 1 : previous.day + 1) << serial;
    ASSERT_EQ(p.year, newYear ? previous.year + 1 : previous.year) << serial;
    if (serial % 997 == 0) {
      ASSERT_EQ(makeDate(p.year, p.month, p.day), serial);
    }
    previous = p;
  }
  EXPECT_EQ(previous.year, 9999);
  EXPECT_EQ(previous.dayOfYear, 365);
  EXPECT_EQ(splitDate(at(2000, 12, 31)).dayOfYear, 366);
  EXPECT_EQ(splitDate(0).weekday, 7);  // day 0 is a Saturday
}

TEST(DateTime, SplitTimesRoundingAndErrors) {
  DateParts p = splitDate(-1.25);  // the time of a negative date counts forward
  EXPECT_EQ(p.year, 1899);
  EXPECT_EQ(p.month, 12);
  EXPECT_EQ(p.day, 29);
  EXPECT_EQ(p.hour, 6);
  p = splitDate(at(1999, 12, 31, 13, 5, 9) + 0.49 / 86400);
  EXPECT_EQ(p.second, 9);
  p = splitDate(at(1999, 12, 31, 13, 5, 9) + 0.51 / 86400);
  EXPECT_EQ(p.second, 10);
  p = splitDate(at(1999, 12, 31) + 0.9999999);  // rounds up into the next day
  EXPECT_EQ(p.year, 2000);
  EXPECT_EQ(p.day, 1);
  EXPECT_EQ(p.hour, 0);
  p = splitDate(-1.9999999);  // 29 Dec 23:59:59.99 rounds to 30 Dec
  EXPECT_EQ(p.day, 30);
  EXPECT_EQ(p.hour, 0);
  p = splitDate(kMaxDate);  // stops at the last second instead of overflowing
  EXPECT_EQ(p.year, 9999);
  EXPECT_EQ(p.hour * 3600 + p.minute * 60 + p.second, 86399);
  p = splitDate(kMinDate - 0.5);  // noon of the first day
  EXPECT_EQ(p.year, 100);
  EXPECT_EQ(p.hour, 12);

  EXPECT_EQ(errorOf([] { splitDate(std::nan("")); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { splitDate(kMaxDate + 1); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { splitDate(kMinDate - 1); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { splitDate(std::numeric_limits<double>::infinity()); }), errc::Overflow);

  EXPECT_EQ(makeTime(6, 0, 0), 0.25);
  EXPECT_EQ(makeTime(23, 59, 59), 86399.0 / 86400);
  EXPECT_FALSE(makeTime(24, 0, 0));
  EXPECT_FALSE(makeTime(12, 60, 0));
  EXPECT_FALSE(makeTime(12, 0, 60));
  EXPECT_FALSE(makeTime(-1, 0, 0));
}

TEST(DateTime, ParsesUnderUnitedStatesConventions) {
  const Locale& l = enUS();
  EXPECT_EQ(parsed(u"12/31/1999", l), at(1999, 12, 31));
  EXPECT_EQ(parsed(u"  12/31/1999  ", l), at(1999, 12, 31));
  EXPECT_EQ(parsed(u"1/2/98", l), at(1998, 1, 2));               // month first
  EXPECT_EQ(parsed(u"31/12/1999", l), at(1999, 12, 31));         // falls back to day first
  EXPECT_EQ(parsed(u"2000-01-05", l), at(2000, 1, 5));           // four-digit first number: year first
  EXPECT_EQ(parsed(u"99-12-31", l), at(1999, 12, 31));           // first number above 31: year first
  EXPECT_EQ(parsed(u"30/2/1", l), at(1930, 2, 1));              // neither day nor month first fits
  EXPECT_EQ(parsed(u"1/2/29", l), at(2029, 1, 2));               // two-digit years pivot at 30
  EXPECT_EQ(parsed(u"1/2/30", l), at(1930, 1, 2));
  EXPECT_EQ(parsed(u"1/2/00", l), at(2000, 1, 2));
  EXPECT_EQ(parsed(u"1/2/100", l), at(100, 1, 2));
  EXPECT_EQ(parsed(u"12/31/9999", l), at(9999, 12, 31));
  EXPECT_EQ(parsed(u"January 5, 2000", l), at(2000, 1, 5));
  EXPECT_EQ(parsed(u"5 Jan 2000", l), at(2000, 1, 5));
  EXPECT_EQ(parsed(u"5-JAN-2000", l), at(2000, 1, 5));
  EXPECT_EQ(parsed(u"Jan. 5, 2000", l), at(2000, 1, 5));
  EXPECT_EQ(parsed(u"2000 Jan 5", l), at(2000, 1, 5));
  EXPECT_EQ(parsed(u"Sept 5, 2000", l), at(2000, 9, 5));        // beginning of a month name
  EXPECT_EQ(parsed(u"Jan 2000", l), at(2000, 1, 1));
  EXPECT_EQ(parsed(u"Friday, December 31, 1999", l), at(1999, 12, 31));
  EXPECT_EQ(parsed(u"12/31/1999 1:30 PM", l), at(1999, 12, 31, 13, 30));
  EXPECT_EQ(parsed(u"12/31/1999 13:30:15", l), at(1999, 12, 31, 13, 30, 15));
  EXPECT_EQ(parsed(u"13:30 12/31/1999", l), at(1999, 12, 31, 13, 30));
  EXPECT_EQ(parsed(u"12/31/1999 5 pm", l), at(1999, 12, 31, 17));
  EXPECT_EQ(parsed(u"12/29/1899 6:00", l), -1.25);               // negative dates keep a positive time
  // Times alone fall on day 0.
  EXPECT_EQ(parsed(u"13:45", l), *makeTime(13, 45, 0));
  EXPECT_EQ(parsed(u"1:30 PM", l), *makeTime(13, 30, 0));
  EXPECT_EQ(parsed(u"1:30p", l), *makeTime(13, 30, 0));
  EXPECT_EQ(parsed(u"5 PM", l), *makeTime(17, 0, 0));
  EXPECT_EQ(parsed(u"12 AM", l), 0.0);
  EXPECT_EQ(parsed(u"12:15 PM", l), *makeTime(12, 15, 0));
  EXPECT_EQ(parsed(u"13:00 AM", l), *makeTime(13, 0, 0));
  EXPECT_EQ(parsed(u"13:00 PM", l), *makeTime(13, 0, 0));
  // Two numbers: day and month of this year, else month and year.
  EXPECT_EQ(parsed(u"12/5", l), at(thisYear(), 12, 5));
  EXPECT_EQ(parsed(u"5 January", l), at(thisYear(), 1, 5));
  EXPECT_EQ(parsed(u"12/1999", l), at(1999, 12, 1));
  EXPECT_EQ(parsed(u"2/30", l), at(1930, 2, 1));
  EXPECT_EQ(parsed(u"13/5", l), at(thisYear(), 5, 13));  // no month first: day first
  EXPECT_EQ(parseDate(u"12/31/1999", l), at(1999, 12, 31));
  {
    LocaleScope scope(Locale::enUS());
    EXPECT_TRUE(isDateText(u"12/31/1999"));
  }
}

TEST(DateTime, ThePeriodSeparatesTimesWhereItSeparatesNoDates) {
  const Locale& l = enUS();
  EXPECT_EQ(parsed(u"2.5", l), *makeTime(2, 5, 0));
  EXPECT_EQ(parsed(u"0.1", l), *makeTime(0, 1, 0));
  EXPECT_EQ(parsed(u"1.5.2", l), *makeTime(1, 5, 2));
  EXPECT_EQ(parsed(u"1.5", l), *makeTime(1, 5, 0));  // not the 5th of January
  EXPECT_EQ(parsed(u"1 2 3 4.5", l), at(2003, 1, 2, 4, 5));
  EXPECT_EQ(parsed(u"12/31/1999 1.30 PM", l), at(1999, 12, 31, 13, 30));
  EXPECT_EQ(parsed(u"Sept. 5, 2000", l), at(2000, 9, 5));  // an abbreviation's period
  EXPECT_EQ(parsed(u"5 Jan.", l), at(thisYear(), 1, 5));
  for (const char16_t* text : {u"02.01.1970", u"1.5 2", u"31.12.1999", u"1.5.2.3", u"1.60"})
    EXPECT_TRUE(std::isnan(parsed(text, l))) << utf8(text);
  // Where the period is the date separator it stays one.
  EXPECT_EQ(parsed(u"2.5", deDE()), at(thisYear(), 5, 2));
  EXPECT_EQ(parsed(u"02.01.1970", deDE()), at(1970, 1, 2));
  LocaleScope scope(Locale::enUS());
  EXPECT_TRUE(isDateText(u"2.5"));
  EXPECT_FALSE(isDateText(u"02.01.1970"));
  EXPECT_EQ(parseDate(u"1.5.2"), *makeTime(1, 5, 2));
}

TEST(DateTime, BlanksAreThePlatformsWholeSet) {
  const Locale& l = enUS();
  for (const char16_t* text : {u" 12/31/1999 ", u"\t12/31/1999\t", u"\n12/31/1999\r\n", u"\v12/31/1999\f",
                               u"\u00A012/31/1999\u00A0", u"12 /\r31/\n1999"})
    EXPECT_EQ(parsed(text, l), at(1999, 12, 31)) << utf8(text);
  EXPECT_EQ(parsed(u"12/31/1999\u300013:30", l), at(1999, 12, 31, 13, 30));
  EXPECT_EQ(parsed(u"12/31/1999\r\n13:30\r\n", l), at(1999, 12, 31, 13, 30));
}

TEST(DateTime, NumbersThatFitNoDateInTheLocalesOrderAreTriedInOthers) {
  const Locale& l = enUS();
  EXPECT_EQ(parsed(u"14 1", l), at(thisYear(), 1, 14));
  EXPECT_EQ(parsed(u"30 2", l), at(2030, 2, 1));
  EXPECT_EQ(parsed(u"2/30", l), at(1930, 2, 1));  // a month and a year come before a year and a month
  EXPECT_EQ(parsed(u"14 2 3", l), at(2014, 2, 3));
  EXPECT_EQ(parsed(u"31/12/1999", l), at(1999, 12, 31));  // year first gives no date here
  EXPECT_EQ(parsed(u"1 2 3", l), at(2003, 1, 2));
  EXPECT_EQ(parsed(u"28 1", deDE()), at(thisYear(), 1, 28));
  EXPECT_EQ(parsed(u"1 28", deDE()), at(thisYear(), 1, 28));
  // The two-digit year window stays: 00 to 29 are 20xx, 30 to 99 19xx.
  EXPECT_EQ(parsed(u"1/2/29", l), at(2029, 1, 2));
  EXPECT_EQ(parsed(u"1/2/30", l), at(1930, 1, 2));
}

TEST(DateTime, ParsesUnderGermanConventions) {
  const Locale& l = deDE();
  EXPECT_EQ(parsed(u"31.12.1999", l), at(1999, 12, 31));
  EXPECT_EQ(parsed(u"1.2.98", l), at(1998, 2, 1));               // day first
  EXPECT_EQ(parsed(u"12/31/1999", l), at(1999, 12, 31));         // falls back to month first
  EXPECT_EQ(parsed(u"31.12.1999 13:30:00", l), at(1999, 12, 31, 13, 30));
  EXPECT_EQ(parsed(u"5. Januar 2000", l), at(2000, 1, 5));
  EXPECT_EQ(parsed(u"5. M\u00C4RZ 2000", l), at(2000, 3, 5));
  EXPECT_EQ(parsed(u"5. Mrz 2000", l), at(2000, 3, 5));
  EXPECT_EQ(parsed(u"5. Okt. 2000", l), at(2000, 10, 5));
  EXPECT_EQ(parsed(u"5 October 2000", l), at(2000, 10, 5));      // English names are always known
  EXPECT_EQ(parsed(u"Freitag, 31. Dezember 1999", l), at(1999, 12, 31));
  EXPECT_EQ(parsed(u"1:30 PM", l), *makeTime(13, 30, 0));
  EXPECT_EQ(parsed(u"5.12", l), at(thisYear(), 12, 5));
  EXPECT_EQ(parsed(u"12.1999", l), at(1999, 12, 1));
  EXPECT_EQ(parseDate(u"31.12.1999", l), at(1999, 12, 31));
  {
    LocaleScope scope(Locale::deDE());
    EXPECT_EQ(parseDate(u"1.2.2000"), at(2000, 2, 1));
  }
}

TEST(DateTime, ParsesUnderOtherConventions) {
  Locale l = Locale::enUS();
  l.dateOrder = DateOrder::YearMonthDay;
  l.am = u"a.m.";
  l.pm = u"p.m.";
  l.timeSeparator = u'.';  // cannot be told from the date separator: only ':' separates times
  EXPECT_EQ(parsed(u"1/2/3", l), at(2001, 2, 3));
  EXPECT_EQ(parsed(u"5/6/40", l), at(1940, 5, 6));  // year first fails: month first comes next
  EXPECT_EQ(parsed(u"2000/5", l), at(2000, 5, 1));
  EXPECT_EQ(parsed(u"1:30 p.m.", l), *makeTime(13, 30, 0));
  EXPECT_EQ(parsed(u"1:30 PM", l), *makeTime(13, 30, 0));
  EXPECT_TRUE(std::isnan(parsed(u"1:30 p.m.x", l)));
  l.timeSeparator = u'h';
  EXPECT_EQ(parsed(u"13h30", l), *makeTime(13, 30, 0));
  EXPECT_EQ(formatDate(*makeTime(13, 30, 0), u"hh:nn AMPM", l), u"01h30 p.m.");
}

TEST(DateTime, RefusesTextsThatAreNoDates) {
  const Locale& l = enUS();
  const std::u16string refused[] = {
      u"", u"   ", u"5", u"2000", u"abc", u"Jan", u"Friday", u"12/31/1999x", u"2/30/2000", u"12/32/1999",
      u"1/2/10000", u"24:00", u"12:60", u"12:30:60", u"1:30 PM PM", u"PM", u"1:", u":30",
      u"1//2/2000", u"/1/2/2000", u"1/2/2000/", u"1/2/3/4", u"Jan 5 2000 Feb", u"1 13:45 2/2000",
      u"1:30 2:30", u"-5", u"1/2/2000 13:45:00.5", u"0123:45", u"Mo 1/2/2000", u"Dezember 31, 1999", u"1.5e3", u"Jan 1 2 3",
      std::u16string(u"1/2/2000\0", 9), std::u16string(u"1/2\0/2000", 9), u"1/2/2000 \xD800",
      u"\xDC00 1/2/2000", u"1234567890/1/2", std::u16string(10000, u'1'), std::u16string(10000, u' '),
      std::u16string(10000, u'x'), std::u16string(10000, u'/'),
  };
  for (const auto& text : refused) {
    EXPECT_FALSE(isDateText(text, l)) << utf8(text);
    EXPECT_FALSE(tryParseDate(text, l)) << utf8(text);
    EXPECT_EQ(errorOf([&] { parseDate(text, l); }), errc::TypeMismatch) << utf8(text);
  }
  std::u16string manyParts;
  for (int i = 0; i < 3000; ++i) manyParts += u"1/";
  EXPECT_FALSE(isDateText(manyParts, l));
  EXPECT_TRUE(isDateText(u"Mo 1/2/2000", deDE()));  // "Mo" is a weekday in German only
}

// Letter case as dates are read: ASCII and Latin-1 letters only.
char16_t upper(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ? static_cast<char16_t>(c - 32) : c;
}
char16_t lower(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? static_cast<char16_t>(c + 32) : c;
}
bool sameLetters(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

// Whether a word of letters is a name a date may hold under `l`: a month or
// day name or abbreviation, the locale's or the English one, spelled in full;
// the beginning (three letters or more) of a full month or day name; or an
// AM/PM string.
bool isNameWord(std::u16string_view word, const Locale& l) {
  std::vector<std::u16string> exact = {l.am, l.pm, u"AM", u"PM", u"A", u"P"};
  std::vector<std::u16string> full;
  const Locale english = Locale::enUS();
  for (const Locale* source : {&l, &english}) {
    for (const auto& names : {source->monthNames, source->abbreviatedMonthNames}) exact.insert(exact.end(), names.begin(), names.end());
    for (const auto& names : {source->dayNames, source->abbreviatedDayNames}) exact.insert(exact.end(), names.begin(), names.end());
    full.insert(full.end(), source->monthNames.begin(), source->monthNames.end());
    full.insert(full.end(), source->dayNames.begin(), source->dayNames.end());
  }
  for (const auto& name : exact)
    if (!name.empty() && sameLetters(word, name)) return true;
  for (const auto& name : full)
    if (word.size() >= 3 && name.size() >= word.size() && sameLetters(word, std::u16string_view(name).substr(0, word.size())))
      return true;
  return false;
}

// A word that is a name reads in one of these texts at least ("5 PM", "Jan
// 5, 2000", "Fri 5, 2000" as May 2000); a word that is none reads in neither.
bool readsAsName(const std::u16string& word, const Locale& l) {
  return tryParseDate(word + u" 5, 2000", l).has_value() || tryParseDate(u"5 " + word, l).has_value();
}

TEST(DateTime, EveryNameAndNothingElseReadsInEveryLetterCase) {
  // Names of other scripts, of one letter, with Latin-1 letters, and AM/PM
  // strings of their own, beside the built-in conventions.
  Locale other = Locale::enUS();
  other.monthNames = {u"\u0399\u03B1\u03BD", u"Febr", u"\u00C4rz", u"\u00E9t\u00E9", u"Mai", u"Jun",
                      u"Jul",  u"Aug",  u"Sep",  u"Okt", u"Nov", u"Dez"};
  other.abbreviatedMonthNames = {u"I", u"F", u"\u00C4", u"\u00C9", u"My", u"Jn", u"Jl", u"Au", u"Se", u"Ok", u"No", u"De"};
  other.dayNames = {u"zondag", u"maandag", u"dinsdag", u"woensdag", u"donderdag", u"vrijdag", u"zaterdag"};
  other.abbreviatedDayNames = {u"zo", u"M", u"di", u"wo", u"do", u"vr", u"xa"};
  other.am = u"vm";
  other.pm = u"\u00FEm";
  const Locale english = Locale::enUS();
  for (const Locale* l : {&enUS(), &deDE(), static_cast<const Locale*>(&other)}) {
    // Every name, each of its beginnings, and near misses: the first or
    // second letter changed, a letter added.
    std::vector<std::u16string> words = {u"name", u"x", u"xy", u"nq", u"Q", u"zz", u"\u00FF", u"\u00F7x"};
    std::vector<std::u16string> names = {l->am, l->pm, u"AM", u"PM"};
    for (const auto* list : {&l->monthNames, &l->abbreviatedMonthNames, &english.monthNames}) names.insert(names.end(), list->begin(), list->end());
    names.insert(names.end(), l->dayNames.begin(), l->dayNames.end());
    names.insert(names.end(), l->abbreviatedDayNames.begin(), l->abbreviatedDayNames.end());
    for (const auto& name : names) {
      for (std::size_t length = 1; length <= name.size(); ++length) {
        std::u16string word = name.substr(0, length);
        words.push_back(word);
        std::u16string changed = word;
        for (auto& c : changed) c = upper(c);
        words.push_back(changed);
        for (auto& c : changed) c = lower(c);
        words.push_back(changed);
        changed = word;
        changed[0] = changed[0] == u'q' ? u'x' : u'q';
        words.push_back(changed);
        if (length > 1) {
          changed = word;
          changed[1] = changed[1] == u'q' ? u'x' : u'q';
          words.push_back(changed);
        }
        words.push_back(word + u"q");
      }
    }
    for (const auto& word : words) EXPECT_EQ(readsAsName(word, *l), isNameWord(word, *l)) << utf8(l->name) << " " << utf8(word);
  }
  // Names in other scripts and in either case of Latin-1 letters.
  EXPECT_TRUE(std::isnan(parsed(u"5 \u03B9\u03B1\u03BD 2000", other)));  // only Latin letters have cases here
  EXPECT_EQ(parsed(u"5 \u0399\u03B1\u03BD 2000", other), at(2000, 1, 5));
  EXPECT_EQ(parsed(u"5 \u00E4RZ 2000", other), at(2000, 3, 5));
  EXPECT_EQ(parsed(u"5 \u00C9T\u00C9 2000", other), at(2000, 4, 5));
  EXPECT_EQ(parsed(u"5 \u00E4 2000", other), at(2000, 3, 5));
  EXPECT_EQ(parsed(u"5 Febr 2000", other), at(2000, 2, 5));
  EXPECT_EQ(parsed(u"5 Februar 2000", other), at(2000, 2, 5));  // the English name begins so
  EXPECT_EQ(parsed(u"5 \u00DEM", other), *makeTime(17, 0, 0));
  EXPECT_EQ(parsed(u"5 VM", other), *makeTime(5, 0, 0));
  EXPECT_EQ(parsed(u"m 1/2/2000", other), at(2000, 1, 2));
  EXPECT_EQ(parsed(u"XA 1/2/2000", other), at(2000, 1, 2));
  EXPECT_TRUE(std::isnan(parsed(u"mq 1/2/2000", other)));
  EXPECT_TRUE(std::isnan(parsed(u"name123", enUS())));
  EXPECT_TRUE(std::isnan(parsed(u"Nov123x", enUS())));
  EXPECT_EQ(parsed(u"Nov5 2000", enUS()), at(2000, 11, 5));
}

TEST(DateTime, TextOfDates) {
  EXPECT_EQ(dateToText(at(1999, 12, 31, 13, 30), enUS()), u"12/31/1999 1:30:00 PM");
  EXPECT_EQ(dateToText(at(1999, 12, 31), enUS()), u"12/31/1999");
  EXPECT_EQ(dateToText(*makeTime(0, 5, 0), enUS()), u"12:05:00 AM");
  EXPECT_EQ(dateToText(0, enUS()), u"12:00:00 AM");
  EXPECT_EQ(dateToText(-1.25, enUS()), u"12/29/1899 6:00:00 AM");
  EXPECT_EQ(dateToText(at(100, 1, 1), enUS()), u"1/1/100");
  EXPECT_EQ(dateToText(at(1999, 12, 31, 13, 30), deDE()), u"31.12.1999 13:30:00");
  EXPECT_EQ(dateToText(at(2000, 1, 5), deDE()), u"05.01.2000");
  EXPECT_EQ(dateToText(*makeTime(7, 8, 9), deDE()), u"07:08:09");
  EXPECT_EQ(errorOf([] { dateToText(kMaxDate + 1, enUS()); }), errc::Overflow);
  // The text of a date converts back to the same date.
  for (DATE serial : {at(1999, 12, 31, 13, 30, 15), at(2024, 2, 29, 0, 0, 1), at(1950, 6, 15)}) {
    EXPECT_EQ(parseDate(dateToText(serial, enUS()), enUS()), serial);
    EXPECT_EQ(parseDate(dateToText(serial, deDE()), deDE()), serial);
  }
}

TEST(DateTime, EveryPatternLetter) {
  const DATE d = at(1999, 12, 31, 13, 5, 9);  // a Friday, day 365, week 53
  const Locale& l = enUS();
  auto f = [&](std::u16string_view pattern) { return formatDate(d, pattern, l); };
  EXPECT_EQ(f(u"d dd ddd dddd"), u"31 31 Fri Friday");
  EXPECT_EQ(formatDate(at(2000, 1, 5), u"d dd", l), u"5 05");
  EXPECT_EQ(f(u"ddddd"), u"12/31/1999");
  EXPECT_EQ(f(u"dddddd"), u"Friday, December 31, 1999");
  EXPECT_EQ(f(u"ddddddd"), u"Friday, December 31, 199931");
  EXPECT_EQ(f(u"w ww"), u"6 53");
  EXPECT_EQ(formatDate(at(2000, 1, 5), u"m mm mmm mmmm", l), u"1 01 Jan January");
  EXPECT_EQ(f(u"q y yy yyyy yyy"), u"4 365 99 1999 99365");
  EXPECT_EQ(formatDate(at(2005, 2, 3), u"yy q", l), u"05 1");
  EXPECT_EQ(f(u"h hh n nn s ss"), u"13 13 5 05 9 09");
  EXPECT_EQ(formatDate(at(2000, 1, 5, 7, 8, 9), u"h:n:s", l), u"7:8:9");
  EXPECT_EQ(f(u"ttttt"), u"1:05:09 PM");
  EXPECT_EQ(f(u"c"), u"12/31/1999 1:05:09 PM");
  EXPECT_EQ(f(u"hh:nn AM/PM"), u"01:05 PM");
  EXPECT_EQ(f(u"h am/pm"), u"1 pm");
  EXPECT_EQ(f(u"h Am/pM"), u"1 pM");  // each letter in the case written
  EXPECT_EQ(f(u"h A/P a/p"), u"1 P p");
  EXPECT_EQ(f(u"h AMPM"), u"1 PM");
  EXPECT_EQ(formatDate(at(2000, 1, 5, 0, 30), u"h:nn AM/PM", l), u"12:30 AM");
  EXPECT_EQ(formatDate(at(2000, 1, 5, 12, 30), u"h:nn a/p", l), u"12:30 p");
  // m after an hour is minutes, with literals in between; elsewhere a month.
  EXPECT_EQ(f(u"hh:mm"), u"13:05");
  EXPECT_EQ(f(u"h \"h\" m"), u"13 h 5");
  EXPECT_EQ(f(u"mm/dd hh:mm:ss"), u"12/31 13:05:09");
  EXPECT_EQ(f(u"hh mmm"), u"13 Dec");
  EXPECT_EQ(f(u"hh d m"), u"13 31 12");
  // Letters in either case; separators; literals and escapes.
  EXPECT_EQ(f(u"DD.MM.YYYY HH:NN:SS"), u"31.12.1999 13:05:09");
  EXPECT_EQ(f(u"dd.mm.yyyy"), u"31.12.1999");
  EXPECT_EQ(f(u"mmmm d, yyyy"), u"December 31, 1999");
  EXPECT_EQ(f(u"\"Day\" d \\d\\a\\y x"), u"Day 31 day x");
  EXPECT_EQ(f(u"\"open"), u"open");
  EXPECT_EQ(f(u"d\\"), u"31");
  EXPECT_EQ(f(u"tttt"), u"tttt");
  EXPECT_EQ(f(u"\u00E9 d \xD83D\xDE00"), u"\u00E9 31 \xD83D\xDE00");
  // Texts longer than the formatter collects before handing them on.
  std::u16string longPattern, longText;
  for (int i = 0; i < 12; ++i) {
    longPattern += u"dddd mmmm yyyy hh:nn:ss \"some literal text\" ";
    longText += u"Friday December 1999 13:05:09 some literal text ";
  }
  EXPECT_EQ(f(longPattern), longText);
  EXPECT_EQ(f(u"d \"" + std::u16string(100, u'x') + u"\" d"), u"31 " + std::u16string(100, u'x') + u" 31");
  // Under German conventions.
  const Locale& g = deDE();
  EXPECT_EQ(formatDate(d, u"dd/mm/yyyy", g), u"31.12.1999");
  EXPECT_EQ(formatDate(d, u"hh:nn:ss", g), u"13:05:09");
  EXPECT_EQ(formatDate(d, u"mmmm mmm dddd ddd", g), u"Dezember Dez Freitag Fr");
  EXPECT_EQ(formatDate(d, u"dddddd", g), u"Freitag, 31. Dezember 1999");
  EXPECT_EQ(formatDate(d, u"h AMPM", g), u"1 PM");  // no AM/PM strings: the English ones
  EXPECT_EQ(formatDate(d, u"c", g), u"31.12.1999 13:05:09");
  // Named formats.
  EXPECT_EQ(f(u"General Date"), u"12/31/1999 1:05:09 PM");
  EXPECT_EQ(f(u"long date"), u"Friday, December 31, 1999");
  EXPECT_EQ(f(u"Medium Date"), u"31-Dec-99");
  EXPECT_EQ(f(u"SHORT DATE"), u"12/31/1999");
  EXPECT_EQ(f(u"Long Time"), u"1:05:09 PM");
  EXPECT_EQ(f(u"Medium Time"), u"01:05 PM");
  EXPECT_EQ(f(u"Short Time"), u"13:05");
  EXPECT_EQ(f(u""), u"12/31/1999 1:05:09 PM");
  EXPECT_EQ(formatDate(0.5, u"c", l), u"12:00:00 PM");
  EXPECT_EQ(formatDate(at(2000, 1, 5), u"c", l), u"1/5/2000");
  EXPECT_EQ(errorOf([&] { formatDate(kMaxDate + 1, u"d", l); }), errc::Overflow);
  EXPECT_EQ(errorOf([&] { formatDate(std::nan(""), u"d", l); }), errc::Overflow);
}

TEST(DateTime, WeekNumbersAcrossYearBoundaries) {
  EXPECT_EQ(formatDate(at(2000, 1, 1), u"ww", enUS()), u"1");  // a Saturday
  EXPECT_EQ(formatDate(at(2000, 1, 2), u"ww", enUS()), u"2");
  EXPECT_EQ(formatDate(at(2000, 12, 31), u"ww", enUS()), u"54");
  EXPECT_EQ(formatDate(at(2023, 1, 1), u"ww", enUS()), u"1");  // a Sunday
  EXPECT_EQ(formatDate(at(2023, 1, 8), u"ww", enUS()), u"2");
  // Walk day by day: week 1 starts on 1 January, each Sunday after it starts
  // the next week.
  int week = 0;
  for (DATE serial = at(1998, 1, 1); serial <= at(2030, 12, 31); serial += 1) {
    const DateParts p = splitDate(serial);
    if (p.dayOfYear == 1) week = 1;
    else if (p.weekday == 1) ++week;
    ASSERT_EQ(formatDate(serial, u"ww", enUS()), digits(week)) << serial;
  }
}

}  // namespace
}  // namespace tarnwick
