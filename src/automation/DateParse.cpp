// Text to date: the text cut into tokens, read as numbers, names and
// separators, and resolved to a date and time under the locale's rules.
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

namespace {

using namespace calendar;

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

// Blanks around and between the parts: space, tab, line feed, vertical tab,
// form feed, carriage return and the no-break space; the narrow no-break
// space that some conventions put between a time and its AM/PM; and the
// ideographic space, which may separate a date from its time.
constexpr bool isBlank(char16_t c) noexcept {
  return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x00A0 || c == 0x202F || c == 0x3000;
}
constexpr bool isDigit(char16_t c) noexcept { return c >= u'0' && c <= u'9'; }

// The separator characters under a locale. ':' always separates the parts of
// a time, and so does '.' unless it is the locale's date separator ("2.5" is
// 02:05 under en-US, the 2nd of May under de-DE); the locale's own time
// separator does too unless it is one of the date separators (then it could
// not be told apart). The date parts are separated by '/', '-', ',', the
// locale's date separator, and '.' where it separates no times.
class Separators {
 public:
  explicit Separators(const Locale& locale) noexcept {
    const char16_t d = locale.dateSeparator;
    date_ = d != 0 && !isBlank(d) && !isDigit(d) ? d : u'/';
    periodSeparatesTimes_ = date_ != u'.';
    const char16_t t = locale.timeSeparator;
    time_ = t != 0 && !isBlank(t) && !isDigit(t) && !isBuiltInDateSeparator(t) ? t : u':';
  }
  bool isTime(char16_t c) const noexcept {
    return c == u':' || c == time_ || (c == u'.' && periodSeparatesTimes_);
  }
  bool isDate(char16_t c) const noexcept { return !isTime(c) && (isBuiltInDateSeparator(c) || c == date_); }
  // isTime(c) || isDate(c), in fewer steps: '.' separates one or the other.
  bool isEither(char16_t c) const noexcept {
    return c == u':' || c == time_ || c == date_ || isBuiltInDateSeparator(c);
  }

 private:
  static constexpr bool isBuiltInDateSeparator(char16_t c) noexcept {
    return c == u'/' || c == u'-' || c == u'.' || c == u',';
  }
  char16_t time_;
  char16_t date_;
  bool periodSeparatesTimes_;
};

struct Tokens {
  std::array<Token, kMaxTokens> items;
  int count = 0;
};

inline bool isWordCharacter(char16_t c, const Separators& separators) noexcept {
  return c != 0 && !isBlank(c) && !isDigit(c) && !separators.isEither(c);
}

// Length of the locale's AM or PM string at the start of `rest`, or 0. Such a
// string may hold separator characters ("a.m."), so it is tried before the
// text is split into words; it must end where a word would end.
std::size_t markerAt(std::u16string_view rest, std::u16string_view marker, const Separators& separators) noexcept {
  // The first letters are compared here, sparing most texts the call.
  if (marker.empty() || foldFirst(rest[0]) != foldFirst(marker[0]) || !startsWithIgnoreCase(rest, marker)) return 0;
  if (rest.size() > marker.size() && isWordCharacter(marker.back(), separators) &&
      isWordCharacter(rest[marker.size()], separators))
    return 0;
  return marker.size();
}

// Whether `word` can name anything classifyWord knows: every name that it
// spells or begins shares its first letter and, unless both are one letter
// long, its second, letter case aside. Most words of texts that are no dates
// ("name123") fail this at once, before the full comparisons with some sixty
// names; a word that passes is classified in full.
constexpr std::uint32_t letterBit(char16_t upper) noexcept { return std::uint32_t{1} << (upper - u'A'); }

// The English names' first two letters: bit b of entry a is set when a name
// begins with letters a and b (A = 0). "A" and "P" (AM/PM) are the only
// English names of one letter.
constexpr std::array<std::uint32_t, 26> englishBeginnings() noexcept {
  std::array<std::uint32_t, 26> pairs{};
  auto add = [&](std::u16string_view name) {
    pairs[static_cast<std::size_t>(foldFirst(name[0]) - u'A')] |= letterBit(foldFirst(name[1]));
  };
  for (const auto& name : kEnglishMonths) add(name);
  for (const auto& name : kEnglishMonthAbbreviations) add(name);
  for (const auto& name : kEnglishDays) add(name);
  for (const auto& name : kEnglishDayAbbreviations) add(name);
  add(u"AM");
  add(u"PM");
  return pairs;
}
constexpr std::array<std::uint32_t, 26> kEnglishBeginnings = englishBeginnings();

constexpr bool isUpperAscii(char16_t c) noexcept { return c >= u'A' && c <= u'Z'; }

// A letter as the screen compares it: the two characters that fold to it.
struct Folded {
  char16_t upper;
  char16_t lower;
  explicit constexpr Folded(char16_t c) noexcept : upper(foldFirst(c)), lower(upper) {
    if (isUpperAscii(upper) || (upper >= 0xC0 && upper <= 0xDE && upper != 0xD7)) lower = static_cast<char16_t>(upper + 32);
  }
  constexpr bool matches(char16_t c) const noexcept { return c == upper || c == lower; }
};

// A name's text ends in NUL, and no word holds one, so its first two
// characters can be read whatever its length.
bool beginsLike(const std::u16string& name, Folded first, Folded second, std::size_t length) noexcept {
  const char16_t* text = name.c_str();
  return first.matches(text[0]) && (length == 1 ? name.size() == 1 : second.matches(text[1]));
}

template <std::size_t N>
bool anyBeginsLike(const std::array<std::u16string, N>& names, Folded first, Folded second,
                   std::size_t length) noexcept {
  for (const std::u16string& name : names)
    if (beginsLike(name, first, second, length)) return true;
  return false;
}

bool mayBeName(std::u16string_view word, const Locale& locale) noexcept {
  const std::size_t n = word.size();
  const Folded first(word[0]);
  const Folded second(n > 1 ? word[1] : u'\0');
  if (isUpperAscii(first.upper)) {
    if (n == 1 ? first.upper == u'A' || first.upper == u'P'
               : isUpperAscii(second.upper) &&
                     (kEnglishBeginnings[static_cast<std::size_t>(first.upper - u'A')] & letterBit(second.upper)) != 0)
      return true;
  }
  return beginsLike(locale.am, first, second, n) || beginsLike(locale.pm, first, second, n) ||
         anyBeginsLike(locale.monthNames, first, second, n) ||
         anyBeginsLike(locale.abbreviatedMonthNames, first, second, n) ||
         anyBeginsLike(locale.dayNames, first, second, n) || anyBeginsLike(locale.abbreviatedDayNames, first, second, n);
}

// Classifies one word: AM/PM first, then month names and abbreviations, then
// weekday names and abbreviations (of the locale, and the English ones in
// every locale), then three-letter-or-longer beginnings of full names.
bool classifyWord(std::u16string_view word, const Locale& locale, Token& token) noexcept {
  if (!mayBeName(word, locale)) return false;
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
    // A period after a name abbreviates it ("Sept. 5, 2000"), whatever
    // it separates elsewhere.
    const Token* previous = last();
    const bool afterName =
        c == u'.' && previous && (previous->kind == TokenKind::Month || previous->kind == TokenKind::Weekday);
    if (separators.isTime(c) && !afterName) {
      if (!push({TokenKind::TimeSeparator, c, 0})) return false;
      ++i;
      continue;
    }
    if (separators.isDate(c) || afterName) {
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
    // the locale's order comes first; failing that, a first number above 12
    // (no month) is read year first ("14 2 3" is 2014-02-03), and then
    // month-day-year, day-month-year and year-month-day are tried in that
    // sequence, the first valid date winning ("31/12/1999" is a date under
    // month-day-year conventions too).
    if (looksLikeYear(numbers[0])) return numbersInOrder(r, DateOrder::YearMonthDay);
    if (auto date = numbersInOrder(r, locale.dateOrder)) return date;
    if (numbers[0].value > 12)
      if (auto date = numbersInOrder(r, DateOrder::YearMonthDay)) return date;
    for (DateOrder order : {DateOrder::MonthDayYear, DateOrder::DayMonthYear, DateOrder::YearMonthDay}) {
      if (order == locale.dateOrder) continue;
      if (auto date = numbersInOrder(r, order)) return date;
    }
    return std::nullopt;
  }
  if (r.numberCount == 2) {
    // Day and month of the current year, in the locale's order and then the
    // other ("13/5" is the 13th of May under month-day-year conventions);
    // failing both, a month and a year on day 1 ("12/1999", "2/30" is
    // February 1930), and last a year and a month, where a year written
    // first with two digits is of this century ("30/2" is February 2030).
    // Year-month-day conventions read the year and month first.
    const int a = numbers[0].value, b = numbers[1].value;
    const bool dayFirst = locale.dateOrder == DateOrder::DayMonthYear;
    if (auto date = makeDate(currentYear(), dayFirst ? b : a, dayFirst ? a : b)) return date;
    if (auto date = makeDate(currentYear(), dayFirst ? a : b, dayFirst ? b : a)) return date;
    if (locale.dateOrder == DateOrder::YearMonthDay) {
      if (auto date = makeDate(fullYear(a), b, 1)) return date;
      return makeDate(fullYear(b), a, 1);
    }
    if (auto date = makeDate(fullYear(b), a, 1)) return date;
    return makeDate(numbers[0].digits <= 2 ? 2000 + a : a, b, 1);
  }
  return std::nullopt;  // no date part, or a lone number: "5" and "2000" are no dates
}

// The time of a reading as a fraction of a day. With AM/PM the hour is on
// the 12-hour clock: 12 AM is midnight, 12 PM noon. After an hour above 12
// either marker is redundant ("13:00 PM" and "13:00 AM" are 13:00).
std::optional<DATE> resolveTime(const Reading& r) noexcept {
  int hour = r.hour;
  if (r.marker == TokenKind::Pm) {
    if (hour < 12) hour += 12;
  } else if (r.marker == TokenKind::Am && hour == 12) {
    hour = 0;
  }
  return makeTime(hour, r.minute, r.second);
}

}  // namespace

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
  raise(errc::TypeMismatch);
}

bool isDateText(std::u16string_view text, const Locale& locale) noexcept {
  return tryParseDate(text, locale).has_value();
}

}  // namespace tarnwick
