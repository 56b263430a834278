// Date to text: the general date form and user-defined date patterns.
#include "Calendar.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <utility>
#include <vector>

namespace tarnwick {

namespace {

using namespace calendar;

// ---------------------------------------------------------------------------
// Date to text

// Collects a date's text in a buffer of its own and appends it to the
// caller's text in one piece: a pattern's many parts of one or two
// characters would otherwise each be a separate append. What is collected
// reaches the caller's text only by flush(), so a failure part way leaves
// that text as it was (but for whole buffers already handed over).
class TextSink {
 public:
  explicit TextSink(std::u16string& out) noexcept : out_(out) {}
  TextSink(const TextSink&) = delete;
  TextSink& operator=(const TextSink&) = delete;

  void push_back(char16_t c) {
    if (size_ == kCapacity) flush();
    buffer_[size_++] = c;
  }
  void append(std::u16string_view text) {
    if (text.size() > kCapacity - size_) {
      flush();
      if (text.size() > kCapacity) {
        out_.append(text);
        return;
      }
    }
    for (const char16_t c : text) buffer_[size_++] = c;
  }
  void flush() {
    out_.append(buffer_, size_);
    size_ = 0;
  }

 private:
  static constexpr std::size_t kCapacity = 64;
  std::u16string& out_;
  std::size_t size_ = 0;
  char16_t buffer_[kCapacity];
};

void appendNumber(TextSink& out, int value, int minimumDigits) {
  if (value >= 0 && value < 100 && minimumDigits <= 2) {  // days, months, hours ...
    if (value >= 10 || minimumDigits == 2) out.push_back(static_cast<char16_t>(u'0' + value / 10));
    out.push_back(static_cast<char16_t>(u'0' + value % 10));
    return;
  }
  if (value >= 1000 && value <= 9999 && minimumDigits <= 4) {  // years
    out.push_back(static_cast<char16_t>(u'0' + value / 1000));
    out.push_back(static_cast<char16_t>(u'0' + value / 100 % 10));
    out.push_back(static_cast<char16_t>(u'0' + value / 10 % 10));
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

void formatPattern(TextSink& out, const DateParts& p, std::u16string_view pattern, const Locale& locale, int depth);

// The standard patterns that some tokens stand for (ddddd, dddddd, ttttt
// and c) are expanded one level deep; inside such an expansion those tokens
// show nothing, so a locale pattern can never recurse.
void expand(TextSink& out, const DateParts& p, std::u16string_view pattern, const Locale& locale, int depth) {
  if (depth == 0) formatPattern(out, p, pattern, locale, depth + 1);
}

// c: the short date, a blank and the long time; the date alone at
// midnight, the time alone on day 0 (which includes 0 itself: "12:00:00 AM").
void generalDate(TextSink& out, const DateParts& p, const Locale& locale, int depth) {
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

// A pattern read into its tokens, whose texts point into its own copy.
struct TokenisedPattern {
  std::u16string text;
  std::vector<PatternToken> tokens;
  // An AM/PM token anywhere in the pattern puts its hours on the 12-hour clock.
  bool twelveHour = false;
};

// The same few patterns (the locale's short date and long time) format every
// date of a grid or a file, so the last ones each thread used are kept read.
// Shared, so that a pattern in use stays alive while a nested one (ddddd
// inside a pattern) replaces it.
std::shared_ptr<const TokenisedPattern> tokenised(std::u16string_view pattern) {
  constexpr std::size_t kKept = 4;
  thread_local std::array<std::shared_ptr<const TokenisedPattern>, kKept> kept;
  thread_local std::size_t oldest = 0;
  for (const auto& entry : kept)
    if (entry && std::equal(entry->text.begin(), entry->text.end(), pattern.begin(), pattern.end())) return entry;
  auto read = std::make_shared<TokenisedPattern>();
  read->text = std::u16string(pattern);
  const std::u16string_view text = read->text;
  for (std::size_t i = 0; i < text.size();) {
    read->tokens.push_back(patternToken(text, i));
    read->twelveHour = read->twelveHour || isMarkerKind(read->tokens.back().kind);
    i = read->tokens.back().next;
  }
  kept[oldest] = read;
  oldest = (oldest + 1) % kKept;
  return read;
}

void formatPattern(TextSink& out, const DateParts& p, std::u16string_view pattern, const Locale& locale, int depth) {
  const std::shared_ptr<const TokenisedPattern> read = tokenised(pattern);
  const bool twelveHour = read->twelveHour;
  const bool pm = p.hour >= 12;
  // m and mm directly after an hour are minutes; literal text and separators
  // in between do not count ("hh:mm", "h \"h\" m").
  bool afterHour = false;
  for (const PatternToken& token : read->tokens) {
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

std::u16string dateToText(DATE serial, const Locale& locale) {
  std::u16string out;
  appendDateText(out, serial, locale);
  return out;
}

void appendDateText(std::u16string& out, DATE serial, const Locale& locale) {
  const DateParts parts = splitDate(serial);
  TextSink sink(out);
  generalDate(sink, parts, locale, 0);
  sink.flush();
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
  TextSink sink(out);
  formatPattern(sink, parts, pattern, locale, 0);
  sink.flush();
  return out;
}


}  // namespace tarnwick
