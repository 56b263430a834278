// Dates: serial numbers and calendar dates, text to date, and date to text.
//
// A serial counts days since 30 December 1899 (day 0, a Saturday); its
// fraction is the time of day. The calendar is the proleptic Gregorian one
// throughout, from 1 January 100 to 31 December 9999.
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

namespace {

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
DATE combine(DATE date, DATE time) noexcept { return date < 0 ? date - time : date + time; }

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

// ---------------------------------------------------------------------------
// Text to date: tokens

enum class TokenKind : std::uint8_t { Number, Month, Weekday, Am, Pm, TimeSeparator, DateSeparator };

struct Token {
  TokenKind kind;
  int value;   // the number, the month (1 ... 12), or the separator character
  int digits;  // for numbers: how many digits were written, leading zeros included
};

// No date needs more tokens ("Friday, December 31, 1999 12:30:45 PM" has 12);
// longer texts are refused before any further work, which keeps the test
// linear in the length of the text whatever it holds.
constexpr int kMaxTokens = 24;
// Longer digit runs are no date part and could not be held in an int.
constexpr int kMaxDigits = 9;
// No month or day name is longer; a longer word is no date.
constexpr std::size_t kMaxWordLength = 32;

// Blanks around and between the parts: space and tab, and the no-break
// spaces that some conventions put between a time and its AM/PM.
constexpr bool isBlank(char16_t c) noexcept {
  return c == u' ' || c == u'\t' || c == 0x00A0 || c == 0x202F;
}
constexpr bool isDigit(char16_t c) noexcept { return c >= u'0' && c <= u'9'; }

// The separator characters under a locale. ':' always separates the parts of
// a time; the locale's own time separator does too unless it is one of the
// date separators (then it could not be told apart). The date parts are
// separated by '/', '-', '.', ',' and the locale's date separator.
class Separators {
 public:
  explicit Separators(const Locale& locale) noexcept {
    const char16_t t = locale.timeSeparator;
    time_ = t != 0 && !isBlank(t) && !isDigit(t) && !isBuiltInDateSeparator(t) ? t : u':';
    const char16_t d = locale.dateSeparator;
    date_ = d != 0 && !isBlank(d) && !isDigit(d) ? d : u'/';
  }
  bool isTime(char16_t c) const noexcept { return c == u':' || c == time_; }
  bool isDate(char16_t c) const noexcept { return isBuiltInDateSeparator(c) || c == date_; }

 private:
  static constexpr bool isBuiltInDateSeparator(char16_t c) noexcept {
    return c == u'/' || c == u'-' || c == u'.' || c == u',';
  }
  char16_t time_;
  char16_t date_;
};

struct Tokens {
  std::array<Token, kMaxTokens> items;
  int count = 0;
};

bool isWordCharacter(char16_t c, const Separators& separators) noexcept {
  return c != 0 && !isBlank(c) && !isDigit(c) && !separators.isTime(c) && !separators.isDate(c);
}

// Length of the locale's AM or PM string at the start of `rest`, or 0. Such a
// string may hold separator characters ("a.m."), so it is tried before the
// text is split into words; it must end where a word would end.
std::size_t markerAt(std::u16string_view rest, std::u16string_view marker, const Separators& separators) noexcept {
  if (marker.empty() || !startsWithIgnoreCase(rest, marker)) return 0;
  if (rest.size() > marker.size() && isWordCharacter(marker.back(), separators) &&
      isWordCharacter(rest[marker.size()], separators))
    return 0;
  return marker.size();
}

// Classifies one word: AM/PM first, then month names and abbreviations, then
// weekday names and abbreviations (of the locale, and the English ones in
// every locale), then three-letter-or-longer beginnings of full names.
bool classifyWord(std::u16string_view word, const Locale& locale, Token& token) noexcept {
  if ((!locale.am.empty() && equalsIgnoreCase(word, locale.am)) || equalsIgnoreCase(word, u"AM") ||
      equalsIgnoreCase(word, u"A")) {
    token = {TokenKind::Am, 0, 0};
    return true;
  }
  if ((!locale.pm.empty() && equalsIgnoreCase(word, locale.pm)) || equalsIgnoreCase(word, u"PM") ||
      equalsIgnoreCase(word, u"P")) {
    token = {TokenKind::Pm, 0, 0};
    return true;
  }
  int month = exactName<12>(word, locale.monthNames);
  if (month < 0) month = exactName<12>(word, locale.abbreviatedMonthNames);
  if (month < 0) month = exactName<12>(word, kEnglishMonths);
  if (month < 0) month = exactName<12>(word, kEnglishMonthAbbreviations);
  if (month >= 0) {
    token = {TokenKind::Month, month + 1, 0};
    return true;
  }
  int day = exactName<7>(word, locale.dayNames);
  if (day < 0) day = exactName<7>(word, locale.abbreviatedDayNames);
  if (day < 0) day = exactName<7>(word, kEnglishDays);
  if (day < 0) day = exactName<7>(word, kEnglishDayAbbreviations);
  if (day >= 0) {
    token = {TokenKind::Weekday, day, 0};
    return true;
  }
  month = namePrefix<12>(word, locale.monthNames);
  if (month < 0) month = namePrefix<12>(word, kEnglishMonths);
  if (month >= 0) {
    token = {TokenKind::Month, month + 1, 0};
    return true;
  }
  day = namePrefix<7>(word, locale.dayNames);
  if (day < 0) day = namePrefix<7>(word, kEnglishDays);
  if (day >= 0) {
    token = {TokenKind::Weekday, day, 0};
    return true;
  }
  return false;
}

// Splits a text into tokens. Fails on anything that cannot be part of a date:
// NUL, unknown words (which covers lone surrogates and other scripts), too
// many tokens or digits. Separator rules: blanks may stand anywhere; between
// two parts stands at most one other separator ("1//2/2000" is no date);
// the text may not begin with one and may end only with '.' ("5 Jan.").
bool tokenize(std::u16string_view text, const Locale& locale, Tokens& tokens) noexcept {
  const Separators separators(locale);
  auto push = [&](Token token) {
    if (tokens.count == kMaxTokens) return false;
    tokens.items[static_cast<std::size_t>(tokens.count++)] = token;
    return true;
  };
  auto last = [&]() -> const Token* {
    return tokens.count ? &tokens.items[static_cast<std::size_t>(tokens.count - 1)] : nullptr;
  };
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const char16_t c = text[i];
    if (isBlank(c)) {
      ++i;
      continue;
    }
    if (c == 0) return false;
    if (isDigit(c)) {
      int value = 0, digits = 0;
      while (i < n && isDigit(text[i])) {
        if (++digits > kMaxDigits) return false;
        value = value * 10 + (text[i] - u'0');
        ++i;
      }
      if (!push({TokenKind::Number, value, digits})) return false;
      continue;
    }
    if (separators.isTime(c)) {
      if (!push({TokenKind::TimeSeparator, c, 0})) return false;
      ++i;
      continue;
    }
    if (separators.isDate(c)) {
      const Token* previous = last();
      if (!previous || previous->kind == TokenKind::DateSeparator) return false;
      if (!push({TokenKind::DateSeparator, c, 0})) return false;
      ++i;
      continue;
    }
    const std::u16string_view rest = text.substr(i);
    if (const std::size_t length = markerAt(rest, locale.am, separators)) {
      if (!push({TokenKind::Am, 0, 0})) return false;
      i += length;
      continue;
    }
    if (const std::size_t length = markerAt(rest, locale.pm, separators)) {
      if (!push({TokenKind::Pm, 0, 0})) return false;
      i += length;
      continue;
    }
    const std::size_t start = i;
    while (i < n && isWordCharacter(text[i], separators)) {
      if (i - start == kMaxWordLength) return false;
      ++i;
    }
    Token token{};
    if (!classifyWord(text.substr(start, i - start), locale, token) || !push(token)) return false;
  }
  const Token* end = last();
  return !end || end->kind != TokenKind::DateSeparator || end->value == u'.';
}

// ---------------------------------------------------------------------------
// Text to date: meaning

// The parts of a text, sorted.
struct Reading {
  std::array<Token, 3> numbers{};  // the date's numbers, in the order written
  int numberCount = 0;
  int month = 0;  // from a month name, 0 if none
  bool hasTime = false;
  int hour = 0, minute = 0, second = 0;
  TokenKind marker = TokenKind::Number;  // Am, Pm, or Number for none
};

// Walks the tokens. A time is h:mm or h:mm:ss (one or two digits each) or a
// number directly followed by AM/PM ("5 PM"), and may be followed by AM/PM.
// The date's parts (numbers and month name) stand together, the time before
// or after them: "1/2/2000 13:45" and "13:45 1/2/2000" are dates, "1 13:45
// 2/2000" is not. One weekday name may stand anywhere and is ignored.
bool read(const Tokens& tokens, Reading& reading) noexcept {
  enum class Phase { BeforeDate, InDate, AfterDate } phase = Phase::BeforeDate;
  bool weekdaySeen = false;
  const int n = tokens.count;
  auto at = [&](int index) -> const Token* {
    return index < n ? &tokens.items[static_cast<std::size_t>(index)] : nullptr;
  };
  auto is = [&](int index, TokenKind kind) {
    const Token* token = at(index);
    return token && token->kind == kind;
  };
  auto isMarker = [&](int index) { return is(index, TokenKind::Am) || is(index, TokenKind::Pm); };
  auto isTimePart = [&](int index) { return is(index, TokenKind::Number) && at(index)->digits <= 2; };

  for (int i = 0; i < n;) {
    const Token& token = *at(i);
    switch (token.kind) {
      case TokenKind::Number: {
        const bool clock = is(i + 1, TokenKind::TimeSeparator);
        if (clock || isMarker(i + 1)) {
          if (reading.hasTime || token.digits > 2) return false;
          reading.hasTime = true;
          reading.hour = token.value;
          int next = i + 1;
          if (clock) {
            if (!isTimePart(i + 2)) return false;
            reading.minute = at(i + 2)->value;
            next = i + 3;
            if (is(next, TokenKind::TimeSeparator)) {
              if (!isTimePart(next + 1)) return false;
              reading.second = at(next + 1)->value;
              next += 2;
            }
          }
          if (isMarker(next)) reading.marker = at(next++)->kind;
          if (phase == Phase::InDate) phase = Phase::AfterDate;
          i = next;
          continue;
        }
        if (phase == Phase::AfterDate || reading.numberCount == 3) return false;
        reading.numbers[static_cast<std::size_t>(reading.numberCount++)] = token;
        phase = Phase::InDate;
        break;
      }
      case TokenKind::Month:
        if (phase == Phase::AfterDate || reading.month != 0) return false;
        reading.month = token.value;
        phase = Phase::InDate;
        break;
      case TokenKind::Weekday:
        if (weekdaySeen) return false;
        weekdaySeen = true;
        break;
      case TokenKind::DateSeparator:
        break;
      case TokenKind::Am:
      case TokenKind::Pm:
      case TokenKind::TimeSeparator:
        return false;  // AM/PM or ':' that belongs to no time
    }
    ++i;
  }
  return true;
}

// Two-digit years (and one-digit ones) are 2000 to 2029 for 0 to 29, and
// 1930 to 1999 for 30 to 99; larger numbers are the year as written.
constexpr int fullYear(int written) noexcept {
  if (written < 30) return 2000 + written;
  if (written < 100) return 1900 + written;
  return written;
}

// A number that can only be a year: three digits or more, or above 31.
constexpr bool looksLikeYear(const Token& number) noexcept { return number.digits >= 3 || number.value > 31; }

int currentYear() noexcept {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local)) return 2000;
  return local.tm_year + 1900;
}

std::optional<DATE> numbersInOrder(const Reading& r, DateOrder order) noexcept {
  const int a = r.numbers[0].value, b = r.numbers[1].value, c = r.numbers[2].value;
  switch (order) {
    case DateOrder::MonthDayYear: return makeDate(fullYear(c), a, b);
    case DateOrder::DayMonthYear: return makeDate(fullYear(c), b, a);
    case DateOrder::YearMonthDay: return makeDate(fullYear(a), b, c);
  }
  return std::nullopt;
}

// The date part of a reading, or nullopt when it holds none or an impossible one.
std::optional<DATE> resolveDate(const Reading& r, const Locale& locale) noexcept {
  const Token* numbers = r.numbers.data();
  if (r.month != 0) {
    // With a month name: one number is the day of the current year, or the
    // year (day 1) when it can only be a year ("Jan 2000"). Of two numbers
    // the first is the day and the second the year ("January 5, 2000",
    // "5-Jan-2000"), unless only the first can be a year ("2000 Jan 5");
    // when that gives no valid date the two swap roles.
    if (r.numberCount == 1) {
      if (looksLikeYear(numbers[0])) return makeDate(fullYear(numbers[0].value), r.month, 1);
      return makeDate(currentYear(), r.month, numbers[0].value);
    }
    if (r.numberCount == 2) {
      int day = numbers[0].value, year = numbers[1].value;
      if (looksLikeYear(numbers[0]) && !looksLikeYear(numbers[1])) std::swap(day, year);
      if (auto date = makeDate(fullYear(year), r.month, day)) return date;
      return makeDate(fullYear(day), r.month, year);
    }
    return std::nullopt;  // a month name alone, or with three numbers
  }
  if (r.numberCount == 3) {
    // A first number that can only be a year fixes year-month-day. Otherwise
    // the locale's order comes first, then month-day-year, day-month-year and
    // year-month-day in that sequence, the first valid date winning
    // ("31/12/1999" is a date under month-day-year conventions too).
    if (looksLikeYear(numbers[0])) return numbersInOrder(r, DateOrder::YearMonthDay);
    if (auto date = numbersInOrder(r, locale.dateOrder)) return date;
    for (DateOrder order : {DateOrder::MonthDayYear, DateOrder::DayMonthYear, DateOrder::YearMonthDay}) {
      if (order == locale.dateOrder) continue;
      if (auto date = numbersInOrder(r, order)) return date;
    }
    return std::nullopt;
  }
  if (r.numberCount == 2) {
    // Day and month in the locale's order, in the current year; failing
    // that, a month and a year on day 1 ("12/1999"), year first under
    // year-month-day conventions. Day and month are not swapped: "13/5" is
    // no date under month-day-year conventions.
    const int a = numbers[0].value, b = numbers[1].value;
    const bool dayFirst = locale.dateOrder == DateOrder::DayMonthYear;
    if (auto date = makeDate(currentYear(), dayFirst ? b : a, dayFirst ? a : b)) return date;
    if (locale.dateOrder == DateOrder::YearMonthDay) return makeDate(fullYear(a), b, 1);
    return makeDate(fullYear(b), a, 1);
  }
  return std::nullopt;  // no date part, or a lone number: "5" and "2000" are no dates
}

// The time of a reading as a fraction of a day. With AM/PM the hour is on
// the 12-hour clock: 12 AM is midnight, 12 PM noon, and PM after an hour
// above 12 is refused. AM after an hour above 12 is taken as redundant
// ("13:00 AM" is 13:00), as the marker changes nothing there.
std::optional<DATE> resolveTime(const Reading& r) noexcept {
  int hour = r.hour;
  if (r.marker == TokenKind::Pm) {
    if (hour > 12) return std::nullopt;
    if (hour < 12) hour += 12;
  } else if (r.marker == TokenKind::Am && hour == 12) {
    hour = 0;
  }
  return makeTime(hour, r.minute, r.second);
}

// ---------------------------------------------------------------------------
// Date to text

void appendNumber(std::u16string& out, int value, int minimumDigits) {
  if (value >= 0 && value < 100 && minimumDigits <= 2) {  // days, months, hours ...
    if (value >= 10 || minimumDigits == 2) out.push_back(static_cast<char16_t>(u'0' + value / 10));
    out.push_back(static_cast<char16_t>(u'0' + value % 10));
    return;
  }
  char16_t buffer[12];
  int length = 0;
  auto v = static_cast<unsigned>(value < 0 ? -value : value);
  do {
    buffer[length++] = static_cast<char16_t>(u'0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (length < minimumDigits) buffer[length++] = u'0';
  if (value < 0) out.push_back(u'-');
  while (length > 0) out.push_back(buffer[--length]);
}

enum class PatternKind : std::uint8_t {
  Literal,      // text: a character, a quoted run or an escaped character
  DateSeparator,
  TimeSeparator,
  Day,          // d dd ddd dddd ddddd dddddd (count 1 ... 6)
  Weekday,      // w ww
  Month,        // m mm mmm mmmm
  Quarter,      // q
  Year,         // y yy yyyy (count 1, 2, 4)
  Hour,         // h hh
  Minute,       // n nn
  Second,       // s ss
  LongTime,     // ttttt
  General,      // c
  AmPmSlash,    // AM/PM in the pattern's letter case
  APSlash,      // A/P in the pattern's letter case
  AmPmLocale,   // AMPM: the locale's strings
};

struct PatternToken {
  PatternKind kind;
  int count;
  std::u16string_view text;  // the literal text, or the marker as written
  std::size_t next;          // where the next token begins
};

bool isMarkerKind(PatternKind kind) noexcept {
  return kind == PatternKind::AmPmSlash || kind == PatternKind::APSlash || kind == PatternKind::AmPmLocale;
}

// Reads the pattern token at `i` (i < pattern.size()). Letters are read
// case-insensitively, a run of one letter as the longest token it makes
// ("ddddddd" is dddddd then d, "yyy" is yy then y); characters that make no
// token stand for themselves, and so do runs of fewer than five t.
// Only ASCII letters make tokens, so folding ASCII is enough (and cheaper
// than the full letter-case folding, on the hot path of formatting).
constexpr char16_t foldAscii(char16_t c) noexcept {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

PatternToken patternToken(std::u16string_view pattern, std::size_t i) noexcept {
  const std::size_t size = pattern.size();
  const char16_t letter = foldAscii(pattern[i]);
  std::size_t run = 1;
  while (i + run < size && foldAscii(pattern[i + run]) == letter) ++run;
  auto token = [&](PatternKind kind, std::size_t length) {
    return PatternToken{kind, static_cast<int>(length), {}, i + length};
  };
  auto upTo = [&](std::size_t limit) { return run < limit ? run : limit; };
  switch (letter) {
    case u'"': {
      // An unclosed quote runs to the end of the pattern.
      const std::size_t close = pattern.find(u'"', i + 1);
      if (close == std::u16string_view::npos) return {PatternKind::Literal, 0, pattern.substr(i + 1), size};
      return {PatternKind::Literal, 0, pattern.substr(i + 1, close - i - 1), close + 1};
    }
    case u'\\':
      // A backslash at the very end escapes nothing and shows nothing.
      if (i + 1 == size) return {PatternKind::Literal, 0, {}, size};
      return {PatternKind::Literal, 0, pattern.substr(i + 1, 1), i + 2};
    case u'/': return token(PatternKind::DateSeparator, 1);
    case u':': return token(PatternKind::TimeSeparator, 1);
    case u'd': return token(PatternKind::Day, upTo(6));
    case u'w': return token(PatternKind::Weekday, upTo(2));
    case u'm': return token(PatternKind::Month, upTo(4));
    case u'q': return token(PatternKind::Quarter, 1);
    case u'y': return token(PatternKind::Year, run >= 4 ? 4 : run >= 2 ? 2 : 1);
    case u'h': return token(PatternKind::Hour, upTo(2));
    case u'n': return token(PatternKind::Minute, upTo(2));
    case u's': return token(PatternKind::Second, upTo(2));
    case u'c': return token(PatternKind::General, 1);
    case u't':
      if (run >= 5) return token(PatternKind::LongTime, 5);
      break;
    case u'a': {
      const std::u16string_view rest = pattern.substr(i);
      if (startsWithIgnoreCase(rest, u"am/pm")) return {PatternKind::AmPmSlash, 0, rest.substr(0, 5), i + 5};
      if (startsWithIgnoreCase(rest, u"ampm")) return {PatternKind::AmPmLocale, 0, rest.substr(0, 4), i + 4};
      if (startsWithIgnoreCase(rest, u"a/p")) return {PatternKind::APSlash, 0, rest.substr(0, 3), i + 3};
      break;
    }
    default: break;
  }
  return {PatternKind::Literal, 0, pattern.substr(i, 1), i + 1};
}

bool isDayZero(const DateParts& p) noexcept { return p.year == 1899 && p.month == 12 && p.day == 30; }
bool isMidnight(const DateParts& p) noexcept { return p.hour == 0 && p.minute == 0 && p.second == 0; }

// Week of the year: weeks begin on Sunday and week 1 is the one holding
// 1 January, so the days before the first Sunday make up week 1.
int weekOfYear(const DateParts& p) noexcept {
  const int firstWeekday = ((p.weekday - 1 - (p.dayOfYear - 1)) % 7 + 7) % 7;  // of 1 January, 0 = Sunday
  return (p.dayOfYear - 1 + firstWeekday) / 7 + 1;
}

void formatPattern(std::u16string& out, const DateParts& p, std::u16string_view pattern, const Locale& locale,
                   int depth);

// The standard patterns that some tokens stand for (ddddd, dddddd, ttttt
// and c) are expanded one level deep; inside such an expansion those tokens
// show nothing, so a locale pattern can never recurse.
void expand(std::u16string& out, const DateParts& p, std::u16string_view pattern, const Locale& locale, int depth) {
  if (depth == 0) formatPattern(out, p, pattern, locale, depth + 1);
}

// c: the short date, a blank and the long time; the date alone at
// midnight, the time alone on day 0 (which includes 0 itself: "12:00:00 AM").
void generalDate(std::u16string& out, const DateParts& p, const Locale& locale, int depth) {
  if (depth != 0) return;
  if (isDayZero(p)) {
    formatPattern(out, p, locale.longTimePattern, locale, depth + 1);
    return;
  }
  formatPattern(out, p, locale.shortDatePattern, locale, depth + 1);
  if (isMidnight(p)) return;
  out.push_back(u' ');
  formatPattern(out, p, locale.longTimePattern, locale, depth + 1);
}

void formatPattern(std::u16string& out, const DateParts& p, std::u16string_view pattern, const Locale& locale,
                   int depth) {
  // An AM/PM token anywhere in the pattern puts its hours on the 12-hour clock.
  // Every AM/PM token begins with an a, so most patterns need no second look.
  bool twelveHour = false;
  const bool mayHaveMarker = pattern.find_first_of(u"aA") != std::u16string_view::npos;
  for (std::size_t i = 0; mayHaveMarker && i < pattern.size() && !twelveHour;) {
    const PatternToken token = patternToken(pattern, i);
    twelveHour = isMarkerKind(token.kind);
    i = token.next;
  }
  const bool pm = p.hour >= 12;
  // m and mm directly after an hour are minutes; literal text and separators
  // in between do not count ("hh:mm", "h \"h\" m").
  bool afterHour = false;
  for (std::size_t i = 0; i < pattern.size();) {
    const PatternToken token = patternToken(pattern, i);
    i = token.next;
    bool hour = false;
    switch (token.kind) {
      case PatternKind::Literal:
        if (token.text.size() == 1) out.push_back(token.text[0]);
        else out.append(token.text);
        continue;  // keeps afterHour
      case PatternKind::DateSeparator:
        out.push_back(locale.dateSeparator);
        continue;
      case PatternKind::TimeSeparator:
        out.push_back(locale.timeSeparator);
        continue;
      case PatternKind::Day:
        switch (token.count) {
          case 1: appendNumber(out, p.day, 1); break;
          case 2: appendNumber(out, p.day, 2); break;
          case 3: out.append(locale.abbreviatedDayNames[static_cast<std::size_t>(p.weekday - 1)]); break;
          case 4: out.append(locale.dayNames[static_cast<std::size_t>(p.weekday - 1)]); break;
          case 5: expand(out, p, locale.shortDatePattern, locale, depth); break;
          default: expand(out, p, locale.longDatePattern, locale, depth); break;
        }
        break;
      case PatternKind::Weekday:
        appendNumber(out, token.count == 1 ? p.weekday : weekOfYear(p), 1);
        break;
      case PatternKind::Month:
        if (afterHour && token.count <= 2) {
          appendNumber(out, p.minute, token.count);
          break;
        }
        switch (token.count) {
          case 1: appendNumber(out, p.month, 1); break;
          case 2: appendNumber(out, p.month, 2); break;
          case 3: out.append(locale.abbreviatedMonthNames[static_cast<std::size_t>(p.month - 1)]); break;
          default: out.append(locale.monthNames[static_cast<std::size_t>(p.month - 1)]); break;
        }
        break;
      case PatternKind::Quarter:
        appendNumber(out, (p.month - 1) / 3 + 1, 1);
        break;
      case PatternKind::Year:
        if (token.count == 1) appendNumber(out, p.dayOfYear, 1);
        else if (token.count == 2) appendNumber(out, p.year % 100, 2);
        else appendNumber(out, p.year, 1);  // 100 ... 9999, unpadded
        break;
      case PatternKind::Hour: {
        int h = p.hour;
        if (twelveHour) {
          h %= 12;
          if (h == 0) h = 12;
        }
        appendNumber(out, h, token.count);
        hour = true;
        break;
      }
      case PatternKind::Minute:
        appendNumber(out, p.minute, token.count);
        break;
      case PatternKind::Second:
        appendNumber(out, p.second, token.count);
        break;
      case PatternKind::LongTime:
        expand(out, p, locale.longTimePattern, locale, depth);
        break;
      case PatternKind::General:
        generalDate(out, p, locale, depth);
        break;
      case PatternKind::AmPmSlash: {
        // Each letter shows in the case it is written in: "am/pm" gives "pm",
        // "AM/PM" gives "PM".
        const std::size_t at = pm ? 3 : 0;
        out.push_back(token.text[at]);
        out.push_back(token.text[at + 1]);
        break;
      }
      case PatternKind::APSlash:
        out.push_back(token.text[pm ? 2 : 0]);
        break;
      case PatternKind::AmPmLocale: {
        // A locale without AM/PM strings (a 24-hour convention) still gets a
        // marker, "AM" or "PM", since the hours are on the 12-hour clock.
        const std::u16string& text = pm ? locale.pm : locale.am;
        out.append(text.empty() ? std::u16string_view(pm ? u"PM" : u"AM") : std::u16string_view(text));
        break;
      }
    }
    afterHour = hour;
  }
}

}  // namespace

// ---------------------------------------------------------------------------

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
  if (std::isnan(serial)) throw Error(errc::Overflow);
  const double whole = std::trunc(serial);
  if (whole < kFirstDay || whole > kLastDay) throw Error(errc::Overflow);
  int day = static_cast<int>(whole);
  // The time counts forward from midnight on either side of day 0.
  auto seconds = static_cast<int>(std::lround(std::fabs(serial - whole) * kSecondsPerDay));
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

std::optional<DATE> tryParseDate(std::u16string_view text, const Locale& locale) noexcept {
  Tokens tokens;
  if (!tokenize(text, locale, tokens)) return std::nullopt;
  Reading reading;
  if (!read(tokens, reading)) return std::nullopt;
  DATE time = 0;
  if (reading.hasTime) {
    const auto fraction = resolveTime(reading);
    if (!fraction) return std::nullopt;
    time = *fraction;
  }
  if (reading.numberCount == 0 && reading.month == 0) {
    // A time alone is a time on day 0.
    if (reading.hasTime) return time;
    return std::nullopt;
  }
  const auto date = resolveDate(reading, locale);
  if (!date) return std::nullopt;
  return combine(*date, time);
}

DATE parseDate(std::u16string_view text, const Locale& locale) {
  if (auto date = tryParseDate(text, locale)) return *date;
  throw Error(errc::TypeMismatch);
}

bool isDateText(std::u16string_view text, const Locale& locale) noexcept {
  return tryParseDate(text, locale).has_value();
}

std::u16string dateToText(DATE serial, const Locale& locale) {
  const DateParts parts = splitDate(serial);
  std::u16string out;
  generalDate(out, parts, locale, 0);
  return out;
}

std::u16string formatDate(DATE serial, std::u16string_view pattern, const Locale& locale) {
  const DateParts parts = splitDate(serial);
  // The named formats, matched whole and case-insensitively. An empty
  // pattern is the general date, as no pattern at all would be.
  struct Named {
    std::u16string_view name;
    std::u16string_view pattern;
  };
  static constexpr Named kNamed[] = {
      {u"General Date", u"c"},         {u"Long Date", u"dddddd"},         {u"Medium Date", u"dd-mmm-yy"},
      {u"Short Date", u"ddddd"},       {u"Long Time", u"ttttt"},          {u"Medium Time", u"hh:nn AM/PM"},
  };
  if (pattern.empty()) {
    pattern = u"c";
  } else if (equalsIgnoreCase(pattern, u"Short Time")) {
    // The locale's short time ("hh:nn" in both presets).
    pattern = locale.shortTimePattern;
  } else {
    for (const Named& named : kNamed) {
      if (equalsIgnoreCase(pattern, named.name)) {
        pattern = named.pattern;
        break;
      }
    }
  }
  std::u16string out;
  out.reserve(pattern.size() + 16);
  formatPattern(out, parts, pattern, locale, 0);
  return out;
}

}  // namespace tarnwick
