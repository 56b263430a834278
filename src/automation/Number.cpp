#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Number.h>

#include "NumberDigits.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>
#include <system_error>

namespace tarnwick {

namespace {

// ---------------------------------------------------------------------------
// Reading numbers
//
// Both readers only recognise the shape of a number in the UTF-16 text; the
// value itself comes from one ASCII text converted by std::from_chars, which
// is correctly rounded, ignores the C locale, and copes with any number of
// digits in linear time.

enum class Scan { Ok, NotANumber, Overflow };

bool isDigit(char16_t c) noexcept { return c >= u'0' && c <= u'9'; }

int hexDigitValue(char16_t c) noexcept {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The digit value of `c` in base 16 or 8, or -1.
int radixDigitValue(char16_t c, unsigned radix) noexcept {
  const int d = hexDigitValue(c);
  return (d >= 0 && static_cast<unsigned>(d) < radix) ? d : -1;
}

bool isExponentMark(char16_t c) noexcept { return c == u'E' || c == u'e' || c == u'D' || c == u'd'; }

// A growable char buffer that needs no allocation for ordinary numbers.
class CharBuffer {
 public:
  CharBuffer() = default;
  CharBuffer(const CharBuffer&) = delete;
  CharBuffer& operator=(const CharBuffer&) = delete;

  void push(char c) {
    if (size_ == capacity_) grow();
    data_[size_++] = c;
  }
  void append(const char* first, const char* last) {
    while (first != last) push(*first++);
  }
  void pop() noexcept { --size_; }
  char back() const noexcept { return data_[size_ - 1]; }
  std::size_t size() const noexcept { return size_; }
  const char* data() const noexcept { return data_; }

 private:
  void grow() {
    const std::size_t capacity = capacity_ * 2;
    auto heap = std::make_unique_for_overwrite<char[]>(capacity);
    std::memcpy(heap.get(), data_, size_);
    heap_ = std::move(heap);
    data_ = heap_.get();
    capacity_ = capacity;
  }

  char inline_[96];
  std::unique_ptr<char[]> heap_;
  char* data_ = inline_;
  std::size_t size_ = 0;
  std::size_t capacity_ = sizeof inline_;
};

// Gathers a decimal number digit by digit as 0.DDD x 10^point, D without
// leading zeros, and converts it once at the end.
class DecimalNumber {
 public:
  DecimalNumber() {
    digits_.push('0');
    digits_.push('.');
  }

  void integerDigit(char16_t d) {
    if (d == u'0' && significant() == 0) return;
    digits_.push(static_cast<char>(d));
    ++point_;
  }
  void fractionDigit(char16_t d) {
    if (d == u'0' && significant() == 0) {
      --point_;
      return;
    }
    digits_.push(static_cast<char>(d));
  }
  // Exponents saturate: far beyond any double either way, the outcome is
  // already decided (overflow, or zero), so no digit count can wrap around.
  void exponentDigit(char16_t d) noexcept {
    if (exponent_ < kExponentCap) exponent_ = exponent_ * 10 + (d - u'0');
  }
  void negativeExponent() noexcept { exponentNegative_ = true; }

  // The digits as read, trailing zeros included; the point saturates as the exponent does.
  void keepDigits(impl::NumberDigits& out) const {
    out.digits.assign(digits_.data() + 2, significant());
    out.point = point_ + (exponentNegative_ ? -exponent_ : exponent_);
  }

  Scan convert(bool negative, double& out) {
    while (significant() > 0 && digits_.back() == '0') digits_.pop();
    if (significant() == 0) {
      out = 0.0;
      return Scan::Ok;
    }
    const std::int64_t point = point_ + (exponentNegative_ ? -exponent_ : exponent_);
    // 0.1 x 10^310 is beyond the largest double; 0.99.. x 10^-330 is below
    // half the smallest denormal.
    if (point > 310) return Scan::Overflow;
    if (point < -330) {
      out = 0.0;
      return Scan::Ok;
    }
    digits_.push('e');
    char exponentText[24];
    const auto written = std::to_chars(exponentText, exponentText + sizeof exponentText, point);
    digits_.append(exponentText, written.ptr);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(digits_.data(), digits_.data() + digits_.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
      if (point > 0) return Scan::Overflow;
      value = 0.0;
    } else if (ec != std::errc()) {
      return Scan::NotANumber;  // cannot happen: the text is built above
    }
    // No reader gives a negative zero: "-0" and an underflowing "-1E-400" are 0.
    out = (negative && value != 0.0) ? -value : value;
    return Scan::Ok;
  }

 private:
  static constexpr std::int64_t kExponentCap = 1'000'000'000'000'000;

  std::size_t significant() const noexcept { return digits_.size() - 2; }

  CharBuffer digits_;
  std::int64_t point_ = 0;
  std::int64_t exponent_ = 0;
  bool exponentNegative_ = false;
};

// A hexadecimal or octal integer: a value that fits in 16 bits is a signed
// 16-bit one ("&HFFFF" is -1), else a signed 32-bit one ("&HFFFFFFFF" is -1
// too, "&H10000" is 65536); more than 32 bits is an overflow.
class RadixNumber {
 public:
  explicit RadixNumber(unsigned radix) noexcept : radix_(radix) {}
  unsigned radix() const noexcept { return radix_; }
  void digit(int d) noexcept {
    if (overflow_) return;
    value_ = value_ * radix_ + static_cast<unsigned>(d);
    if (value_ > 0xFFFF'FFFFu) overflow_ = true;
  }
  Scan convert(double& out) const noexcept {
    if (overflow_) return Scan::Overflow;
    if (value_ <= 0xFFFFu) out = static_cast<std::int16_t>(static_cast<std::uint16_t>(value_));
    else out = static_cast<std::int32_t>(static_cast<std::uint32_t>(value_));
    return Scan::Ok;
  }

 private:
  std::uint64_t value_ = 0;
  unsigned radix_;
  bool overflow_ = false;
};

void throwUnlessOk(Scan scan) {
  if (scan == Scan::Overflow) raise(errc::Overflow);
  if (scan == Scan::NotANumber) raise(errc::TypeMismatch);
}

// The leading-number reader sees the text without its blanks, tabs and line
// feeds, wherever they stand ("1 2 3" is 123, "&H F F" is 255).
class SkippingCursor {
 public:
  explicit SkippingCursor(std::u16string_view text) noexcept : text_(text) { skip(); }
  bool atEnd() const noexcept { return at_ == text_.size(); }
  // The current character; NUL at the end, which fits nowhere.
  char16_t peek() const noexcept { return atEnd() ? u'\0' : text_[at_]; }
  void advance() noexcept {
    ++at_;
    skip();
  }

 private:
  void skip() noexcept {
    while (at_ < text_.size() && (text_[at_] == u' ' || text_[at_] == u'\t' || text_[at_] == u'\n')) ++at_;
  }
  std::u16string_view text_;
  std::size_t at_ = 0;
};

// After "&": "H" or "O" (either case) names the radix; anything else is no number.
unsigned radixAfterAmpersand(char16_t c) noexcept {
  if (c == u'H' || c == u'h') return 16;
  if (c == u'O' || c == u'o') return 8;
  return 0;
}

// The numeric test's reader. The shape it accepts, blanks allowed
// around the amount and between the marks that surround it:
//   [marks] amount [marks]
// where the marks are one sign (leading or trailing), a pair of parentheses
// for a negative amount (not together with a sign), and the locale's
// currency symbol once (before or after); the amount is "&H"/"&O" with at
// least one digit, or digits with the locale's separators and an exponent.
// Leniency: a thousands separator may follow any integer digit, repeated or
// last ("1,2,3", "1,,2" and "1," all read under en-US), but never leads
// (",5" is no number); "." and "," mean only what the locale says.
class NumericReader {
 public:
  NumericReader(std::u16string_view text, const Locale& locale) noexcept : text_(text), locale_(locale) {}

  Scan read(double& out) {
    DecimalNumber number;
    double value = 0.0;
    Scan scan = readShape(number, value);
    if (scan == Scan::Ok && !radix_) scan = number.convert(false, value);
    if (scan != Scan::Ok) return scan;
    out = (negative_ && value != 0.0) ? -value : value;
    return Scan::Ok;
  }

  Scan readDigits(impl::NumberDigits& out) {
    DecimalNumber number;
    double value = 0.0;
    const Scan scan = readShape(number, value);
    if (scan != Scan::Ok) return scan;
    if (radix_) {
      out = impl::floatDigits(value, 15);  // a 32-bit integer: every digit
      if (negative_ && !out.digits.empty()) out.negative = !out.negative;
    } else {
      number.keepDigits(out);
      out.negative = negative_ && !out.digits.empty();
    }
    return Scan::Ok;
  }

 private:
  // The whole text's shape, the amount left in `number`, or in `radixValue`
  // for "&H"/"&O"; an overflow counts only once the shape is known good.
  Scan readShape(DecimalNumber& number, double& radixValue) {
    blanks();
    while (mark(true)) blanks();
    radix_ = at(u'&');
    const Scan scan = radix_ ? radixAmount(radixValue) : decimalAmount(number);
    if (scan == Scan::NotANumber) return scan;
    blanks();
    while (mark(false)) blanks();
    if (at_ != text_.size() || parenthesisOpen_) return Scan::NotANumber;
    return scan;
  }

  bool at(char16_t c) const noexcept { return at_ < text_.size() && text_[at_] == c; }
  char16_t current() const noexcept { return at_ < text_.size() ? text_[at_] : u'\0'; }

  // Space, tab, line feed, vertical tab, form feed, carriage return and the
  // no-break space ("12\r\n" is a number).
  void blanks() noexcept {
    while (at_ < text_.size() && (text_[at_] == u' ' || (text_[at_] >= u'\t' && text_[at_] <= u'\r') ||
                                  text_[at_] == 0x00A0))
      ++at_;
  }

  // One mark before (leading) or after the amount; false when none is there.
  bool mark(bool leading) noexcept {
    if ((at(u'+') || at(u'-')) && !signSeen_ && !parenthesisSeen_) {
      signSeen_ = true;
      negative_ = at(u'-');
      ++at_;
      return true;
    }
    if (leading && at(u'(') && !signSeen_ && !parenthesisSeen_) {
      parenthesisSeen_ = parenthesisOpen_ = negative_ = true;
      ++at_;
      return true;
    }
    if (!leading && at(u')') && parenthesisOpen_) {
      parenthesisOpen_ = false;
      ++at_;
      return true;
    }
    const std::u16string& currency = locale_.currencySymbol;
    if (!currencySeen_ && !currency.empty() && text_.substr(at_).starts_with(currency)) {
      currencySeen_ = true;
      at_ += currency.size();
      return true;
    }
    return false;
  }

  Scan radixAmount(double& value) {
    ++at_;
    const unsigned radix = radixAfterAmpersand(current());
    if (radix == 0) return Scan::NotANumber;
    ++at_;
    RadixNumber number(radix);
    bool any = false;
    for (int d; (d = radixDigitValue(current(), radix)) >= 0; ++at_) {
      number.digit(d);
      any = true;
    }
    if (!any) return Scan::NotANumber;
    return number.convert(value);
  }

  Scan decimalAmount(DecimalNumber& number) {
    const char16_t decimal = locale_.decimalSeparator;
    const char16_t thousands = locale_.thousandsSeparator;
    bool any = false;
    for (; at_ < text_.size(); ++at_) {
      const char16_t c = text_[at_];
      if (isDigit(c)) {
        number.integerDigit(c);
        any = true;
      } else if (c == decimal || c != thousands || !any) {
        break;
      }
    }
    if (at(decimal)) {
      for (++at_; isDigit(current()); ++at_) {
        number.fractionDigit(current());
        any = true;
      }
    }
    if (!any) return Scan::NotANumber;
    if (isExponentMark(current())) {
      ++at_;
      if (at(u'+')) {
        ++at_;
      } else if (at(u'-')) {
        number.negativeExponent();
        ++at_;
      }
      if (!isDigit(current())) return Scan::NotANumber;
      for (; isDigit(current()); ++at_) number.exponentDigit(current());
    }
    return Scan::Ok;
  }

  std::u16string_view text_;
  const Locale& locale_;
  std::size_t at_ = 0;
  bool negative_ = false;
  bool signSeen_ = false;
  bool parenthesisSeen_ = false;
  bool parenthesisOpen_ = false;
  bool currencySeen_ = false;
  bool radix_ = false;
};

// ---------------------------------------------------------------------------
// Writing numbers

// A finite non-zero magnitude rounded to a number of significant digits:
// the digits without trailing zeros, and the decimal exponent of the first.
struct SignificantDigits {
  char digits[24];
  int count = 0;
  int exponent = 0;
};

// The digits of a magnitude that is, once rounded, a whole number m of at
// most `precision` digits over a small power of ten (7, 0.25, 1234.5): most
// values in records are. If magnitude x 10^d rounds to a whole m below
// 10^precision, x lies within half a unit in the last place of m / 10^d,
// far nearer than half a step of the precision's last digit, so m's digits
// are the rounded digits the general way below gives.
template <typename Float>
bool scaledWholeDigits(Float magnitude, int precision, SignificantDigits& result) {
  constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  constexpr double kLimits[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  if (precision < 1 || precision > 15) return false;
  const double limit = kLimits[precision];
  for (int places = 0; places < static_cast<int>(std::size(kPowers)); ++places) {
    const double scaled = static_cast<double>(magnitude) * kPowers[places];
    if (scaled >= limit) return false;
    // Below 10^15 the conversion keeps the whole part exactly: scaled is
    // whole when it converts back to itself.
    const auto whole = static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled));
    if (static_cast<double>(whole) != scaled) continue;
    char text[24];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, whole);
    (void)ec;
    const int length = static_cast<int>(end - text);
    result.count = length;
    while (result.count > 1 && text[result.count - 1] == '0') --result.count;
    std::memcpy(result.digits, text, static_cast<std::size_t>(result.count));
    result.exponent = length - 1 - places;
    return true;
  }
  return false;
}

template <typename Float>
SignificantDigits significantDigits(Float magnitude, int precision) {
  SignificantDigits result;
  if (scaledWholeDigits(magnitude, precision, result)) return result;
  char text[48];
  const auto [end, ec] =
      std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, precision - 1);
  (void)ec;  // 48 characters always suffice for 15 digits and the exponent
  const char* p = text;
  for (; p != end && *p != 'e'; ++p)
    if (*p != '.') result.digits[result.count++] = *p;
  while (result.count > 1 && result.digits[result.count - 1] == '0') --result.count;
  // The exponent text is "e+XX" or "e-XXX".
  const bool negative = p[1] == '-';
  int exponent = 0;
  for (p += 2; p != end; ++p) exponent = exponent * 10 + (*p - '0');
  result.exponent = negative ? -exponent : exponent;
  return result;
}

// Fixed notation when the first significant digit stands at 10^-5 (or, for
// a double's value text, 10^-11) up to 10^(precision-1): 15 digits for a
// double, 7 for a single, so that every fixed form shows all its
// significant digits without padding zeros that would pretend to precision;
// scientific outside ("1E+15", "1.5E-07" from Str, "1E-12"), where a fixed
// form would need invented zeros or a long run of leading zeros.
constexpr int kSmallestFixedExponent = -5;
constexpr int kSmallestFixedExponentOfDoubleValues = -11;
static_assert(kSmallestFixedExponentOfDoubleValues >= -11 && kSmallestFixedExponent >= -11,
              "appendFormatted writes fractions of at most 10 leading zeros");

struct TextStyle {
  char16_t decimalSeparator;
  bool blankBeforePositive;  // the number-to-text rule's leading blank
  bool zeroBeforeFraction;   // "0.5" rather than ".5"
  int smallestFixedExponent = kSmallestFixedExponent;
};

template <typename Float>
void appendFormatted(std::u16string& out, Float value, int precision, const TextStyle& style) {
  if (!std::isfinite(value)) raise(errc::Overflow);  // values never hold these
  // Written here first and appended once. The longest text is a fraction:
  // a sign, "0.", up to 10 zeros (10^-11 at the least) and 15 digits.
  char16_t text[48];
  std::size_t length = 0;
  auto put = [&](char16_t c) { text[length++] = c; };
  const bool negative = std::signbit(value) && value != 0;
  if (negative) put(u'-');
  else if (style.blankBeforePositive) put(u' ');
  if (value == 0) {
    put(u'0');
    out.append(text, length);
    return;
  }
  const SignificantDigits s = significantDigits(std::fabs(value), precision);
  auto digit = [&](int i) { return static_cast<char16_t>(s.digits[i]); };
  if (s.exponent >= precision || s.exponent < style.smallestFixedExponent) {
    put(digit(0));
    if (s.count > 1) {
      put(style.decimalSeparator);
      for (int i = 1; i < s.count; ++i) put(digit(i));
    }
    put(u'E');
    put(s.exponent < 0 ? u'-' : u'+');
    const int magnitude = s.exponent < 0 ? -s.exponent : s.exponent;
    if (magnitude >= 100) put(static_cast<char16_t>(u'0' + magnitude / 100));
    put(static_cast<char16_t>(u'0' + magnitude / 10 % 10));
    put(static_cast<char16_t>(u'0' + magnitude % 10));
  } else if (s.exponent >= 0) {
    for (int i = 0; i <= s.exponent; ++i) put(i < s.count ? digit(i) : u'0');
    if (s.count > s.exponent + 1) {
      put(style.decimalSeparator);
      for (int i = s.exponent + 1; i < s.count; ++i) put(digit(i));
    }
  } else {
    if (style.zeroBeforeFraction) put(u'0');
    put(style.decimalSeparator);
    for (int i = -s.exponent - 1; i > 0; --i) put(u'0');
    for (int i = 0; i < s.count; ++i) put(digit(i));
  }
  out.append(text, length);
}

template <typename Float>
std::u16string formatNumber(Float value, int precision, const TextStyle& style) {
  std::u16string out;
  appendFormatted(out, value, precision, style);
  return out;
}

// ---------------------------------------------------------------------------
// Rounding

// The nearest integer, an exact half going to the even neighbour, whatever
// the floating-point environment's rounding mode. The value must be finite.
double roundHalfEven(double value) noexcept {
  const double below = std::floor(value);
  const double fraction = value - below;  // exact for every finite double
  if (fraction > 0.5) return below + 1.0;
  if (fraction < 0.5) return below;
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

// Rounds and checks that the result lies in [lowest, highest], both exactly
// representable as doubles.
double roundInRange(double value, double lowest, double highest) {
  if (!std::isfinite(value)) raise(errc::Overflow);
  const double rounded = roundHalfEven(value);
  if (rounded < lowest || rounded > highest) raise(errc::Overflow);
  return rounded;
}

// 2^63: the first double beyond the 64-bit integers (2^63 - 1 is no double).
constexpr double kTwoPow63 = 9223372036854775808.0;

std::int64_t roundToInt64Checked(double value) {
  if (!std::isfinite(value)) raise(errc::Overflow);
  const double rounded = roundHalfEven(value);
  if (rounded < -kTwoPow63 || rounded >= kTwoPow63) raise(errc::Overflow);
  return static_cast<std::int64_t>(rounded);
}

}  // namespace

double leadingNumber(std::u16string_view text) {
  SkippingCursor cursor(text);
  double value = 0.0;
  if (cursor.peek() == u'&') {
    cursor.advance();
    const unsigned radix = radixAfterAmpersand(cursor.peek());
    if (radix == 0) return 0.0;
    cursor.advance();
    RadixNumber number(radix);
    for (int d; (d = radixDigitValue(cursor.peek(), radix)) >= 0; cursor.advance()) number.digit(d);
    throwUnlessOk(number.convert(value));
    return value;
  }
  bool negative = false;
  if (cursor.peek() == u'+' || cursor.peek() == u'-') {
    negative = cursor.peek() == u'-';
    cursor.advance();
  }
  DecimalNumber number;
  bool any = false;
  for (; isDigit(cursor.peek()); cursor.advance()) {
    number.integerDigit(cursor.peek());
    any = true;
  }
  if (cursor.peek() == u'.') {
    for (cursor.advance(); isDigit(cursor.peek()); cursor.advance()) {
      number.fractionDigit(cursor.peek());
      any = true;
    }
  }
  if (!any) return 0.0;
  // An exponent mark without digits ("1E", "1E+") ends the number before it.
  if (isExponentMark(cursor.peek())) {
    cursor.advance();
    if (cursor.peek() == u'+') {
      cursor.advance();
    } else if (cursor.peek() == u'-') {
      number.negativeExponent();
      cursor.advance();
    }
    for (; isDigit(cursor.peek()); cursor.advance()) number.exponentDigit(cursor.peek());
  }
  throwUnlessOk(number.convert(negative, value));
  return value;
}

double parseNumber(std::u16string_view text, const Locale& locale) {
  double value = 0.0;
  throwUnlessOk(NumericReader(text, locale).read(value));
  return value;
}

bool isNumericText(std::u16string_view text, const Locale& locale) noexcept {
  try {
    double value = 0.0;
    return NumericReader(text, locale).read(value) == Scan::Ok;
  } catch (...) {
    return false;  // out of memory for a text of millions of digits
  }
}

std::u16string numberToText(double value) {
  std::u16string out;
  appendNumberRuleText(out, value);
  return out;
}

std::u16string doubleToText(double value, const Locale& locale) {
  return formatNumber(value, 15, TextStyle{locale.decimalSeparator, false, true, kSmallestFixedExponentOfDoubleValues});
}

void appendNumberRuleText(std::u16string& out, double value) {
  appendFormatted(out, value, 15, TextStyle{u'.', true, false});
}

void appendDoubleText(std::u16string& out, double value, const Locale& locale) {
  appendFormatted(out, value, 15, TextStyle{locale.decimalSeparator, false, true, kSmallestFixedExponentOfDoubleValues});
}

std::u16string singleToText(float value, const Locale& locale) {
  return formatNumber(value, 7, TextStyle{locale.decimalSeparator, false, true});
}

std::u16string currencyToText(CY value, const Locale& locale) {
  // The magnitude as unsigned, so that the lowest amount has one too.
  const bool negative = value.int64 < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value.int64) : static_cast<std::uint64_t>(value.int64);
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, magnitude / 10000);
  (void)ec;
  std::u16string out;
  if (negative) out += u'-';
  for (const char* p = text; p != end; ++p) out += static_cast<char16_t>(*p);
  const auto fraction = static_cast<unsigned>(magnitude % 10000);
  if (fraction != 0) {
    out += locale.decimalSeparator;
    const char16_t places[4] = {static_cast<char16_t>(u'0' + fraction / 1000),
                                static_cast<char16_t>(u'0' + fraction / 100 % 10),
                                static_cast<char16_t>(u'0' + fraction / 10 % 10),
                                static_cast<char16_t>(u'0' + fraction % 10)};
    std::size_t shown = 4;
    while (places[shown - 1] == u'0') --shown;
    out.append(places, shown);
  }
  return out;
}

std::int16_t roundToInt16(double value) {
  return static_cast<std::int16_t>(roundInRange(value, -32768.0, 32767.0));
}

std::int32_t roundToInt32(double value) {
  return static_cast<std::int32_t>(roundInRange(value, -2147483648.0, 2147483647.0));
}

std::int64_t roundToInt64(double value) { return roundToInt64Checked(value); }

std::uint8_t roundToByte(double value) { return static_cast<std::uint8_t>(roundInRange(value, 0.0, 255.0)); }

CY doubleToCurrency(double value) {
  // The value is scaled first and the scaled product rounded, so an amount
  // written with a fifth decimal 5 is treated as the exact half it looks
  // like: 0.00035, stored a trifle below, scales to 3.5 and gives 0.0004.
  if (!std::isfinite(value)) raise(errc::Overflow);
  return CY{roundToInt64Checked(value * 10000.0)};
}

namespace impl {

NumberDigits readNumberDigits(std::u16string_view text, const Locale& locale) {
  NumberDigits digits;
  throwUnlessOk(NumericReader(text, locale).readDigits(digits));
  return digits;
}

NumberDigits floatDigits(double value, int precision) {
  NumberDigits out;
  if (value == 0.0) return out;
  out.negative = value < 0;
  const SignificantDigits s = significantDigits(std::fabs(value), precision);
  out.digits.assign(s.digits, static_cast<std::size_t>(s.count));
  out.point = s.exponent + 1;
  return out;
}

}  // namespace impl

}  // namespace tarnwick
