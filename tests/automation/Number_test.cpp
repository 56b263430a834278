#include "ErrorOf.h"
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Number.h>
#include <tarnwick/automation/String.h>

#include <gtest/gtest.h>

#include <cfenv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

using testing::errorOf;

std::u16string repeat(std::u16string_view piece, std::size_t times) {
  std::u16string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

std::string traced(std::u16string_view text) { return text.size() > 40 ? "(long text)" : toUtf8(text); }

struct Case {
  std::u16string text;
  double expected;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const std::u16string kZeros = repeat(u"0", 10000);

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfATextInAnyLocale) {
  LocaleScope german(Locale::deDE());
  const Case cases[] = {
      {u"12abc", 12}, {u"1.5", 1.5}, {u"1,5", 1}, {u"abc", 0}, {u"", 0}, {u".5", 0.5}, {u"-.5", -0.5},
      {u"1.5.3", 1.5}, {u"1 2 3", 123}, {u" - 5", -5}, {u"\t\n+7\n", 7}, {u"1\r2", 1}, {u"--5", 0},
      {u"1e", 1}, {u"1e+", 1}, {u"1 e -3", 0.001}, {u"1d2", 100}, {u"1.5D-1x", 0.15}, {u"e5", 0},
      {u".", 0}, {u"$5", 0}, {std::u16string(u"5\0" u"6", 3), 5}, {u"4\xD800" u"5", 4},
      // Hexadecimal and octal: the narrowest signed width that holds the value.
      {u"&HFFFF", -1}, {u"&H8000", -32768}, {u"&h7fff", 32767}, {u"&H10000", 65536},
      {u"&HFFFFF", 1048575}, {u"&HFFFFFFFF", -1}, {u"&H80000000", -2147483648.0}, {u"&HFG", 15},
      {u" & H F F", 255}, {u"&O17", 15}, {u"&o177777", -1}, {u"&O8", 0}, {u"&H", 0}, {u"&X1", 0},
      {u"-&H10", 0}, {u"&H" + kZeros + u"1F", 31},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(traced(text));
    EXPECT_EQ(leadingNumber(text), expected);
  }
  EXPECT_FALSE(std::signbit(leadingNumber(u"-0")));
  EXPECT_EQ(errorOf([] { leadingNumber(u"&H100000000"); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { leadingNumber(u"&O40000000000"); }), errc::Overflow);
}

TEST(LeadingNumber, IsCorrectlyRoundedAndChecksTheRangeOfADouble) {
  const Case cases[] = {
      {u"0.1", 0.1},
      {u"1.7976931348623157e308", std::numeric_limits<double>::max()},
      {u"4.9406564584124654E-324", std::numeric_limits<double>::denorm_min()},
      {u"1e-400", 0},
      // 2^53 + 1 lies halfway between two doubles: only the last of 10,000
      // digits decides that it rounds up rather than to the even neighbour.
      {u"9007199254740993", 9007199254740992.0},
      {u"9007199254740993." + kZeros + u"1", 9007199254740994.0},
      {u"0." + kZeros + u"15e10001", 1.5},
      {u"15" + kZeros + u"e-10001", 1.5},
      {kZeros + u"7", 7},
      {u"1e-" + repeat(u"9", 10000), 0},
      {u"0e" + repeat(u"9", 10000), 0},
      {repeat(u" ", 10000) + u"3", 3},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(traced(text));
    EXPECT_EQ(leadingNumber(text), expected);
  }
  EXPECT_FALSE(std::signbit(leadingNumber(u"-1e-400")));
  EXPECT_FALSE(std::signbit(leadingNumber(u"-2e-324")));  // rounds to zero in the conversion
  for (const auto& text : {u"1.7976931348623159e308", u"1E400", u"-1D400"})
    EXPECT_EQ(errorOf([&] { leadingNumber(text); }), errc::Overflow) << traced(text);
  EXPECT_EQ(errorOf([] { leadingNumber(repeat(u"9", 10000)); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { leadingNumber(u"1e" + repeat(u"9", 10000)); }), errc::Overflow);
}

TEST(LeadingNumber, IgnoresTheCLibraryLocale) {
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE"))
    GTEST_SKIP() << "no German C locale installed";
  const double value = leadingNumber(u"1.25");
  const bool numeric = isNumericText(u"1,25", Locale::enUS());
  std::setlocale(LC_NUMERIC, previous.c_str());
  EXPECT_EQ(value, 1.25);
  EXPECT_TRUE(numeric);
}

TEST(NumericText, EnglishRules) {
  const Locale en = Locale::enUS();
  const Case cases[] = {
      {u"5", 5}, {u" \t5 \t", 5}, {u"+5", 5}, {u"-5", -5}, {u"5-", -5}, {u"5 +", 5}, {u"- 5", -5},
      {u"(5)", -5}, {u"( 5 )", -5}, {u"1,2,3", 123}, {u"1,234.5", 1234.5}, {u"1,", 1}, {u"1,,2", 12},
      {u".5", 0.5}, {u"5.", 5}, {u"1.5e3", 1500}, {u"1.5D-1", 0.15}, {u"2E+2", 200}, {u"$5", 5},
      {u"5$", 5}, {u"$ 5", 5}, {u"5 $", 5}, {u"-$5", -5}, {u"$-5", -5}, {u"($1,000.50)", -1000.5},
      {u"(5)$", -5}, {u"&HFF", 255}, {u"&hFFFF", -1}, {u"-&H10", -16}, {u"&O17", 15}, {u"1e-400", 0},
      {repeat(u" ", 10000) + u"2" + repeat(u" ", 10000), 2}, {u"2" + kZeros + u"e-10000", 2},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(traced(text));
    EXPECT_EQ(parseNumber(text, en), expected);
    EXPECT_TRUE(isNumericText(text, en));
  }
  EXPECT_FALSE(std::signbit(parseNumber(u"-0", en)));
  EXPECT_EQ(parseNumber(repeat(u"1,", 5000) + u"e-4990", en), parseNumber(repeat(u"1", 5000) + u"e-4990", en));
}

TEST(NumericText, BlanksAreThePlatformsWholeSet) {
  const Locale en = Locale::enUS();
  for (const char16_t* text : {u"12\r\n", u"\n12", u"\v12\f", u"\u00A012\u00A0", u"- \r\n12", u"$\t12\r"}) {
    SCOPED_TRACE(traced(text));
    EXPECT_TRUE(isNumericText(text, en));
    EXPECT_EQ(std::fabs(parseNumber(text, en)), 12);
  }
  for (const char16_t* text : {u"1\r\n2", u"\u300012", u"12\u2028"}) EXPECT_FALSE(isNumericText(text, en)) << traced(text);
}

TEST(NumericText, GermanRulesAndTheThreadsLocale) {
  const Locale de = Locale::deDE();
  EXPECT_EQ(parseNumber(u"1.5", de), 15);
  EXPECT_EQ(parseNumber(u"1,5", de), 1.5);
  EXPECT_EQ(parseNumber(u"1.234,5", de), 1234.5);
  EXPECT_EQ(parseNumber(u"-1,5e2", de), -150);
  EXPECT_EQ(parseNumber(u"5 \u20AC", de), 5);
  EXPECT_EQ(parseNumber(u"\u20AC5,50", de), 5.5);
  for (const auto& text : {u"$5", u"1,5.3", u"1,5,3"})
    EXPECT_EQ(errorOf([&] { parseNumber(text, de); }), errc::TypeMismatch) << traced(text);

  LocaleScope german(de);
  EXPECT_EQ(parseNumber(u"2,5"), 2.5);
  EXPECT_FALSE(isNumericText(u"2.5,5.5"));
  {
    LocaleScope english(Locale::enUS());
    EXPECT_EQ(parseNumber(u"2,5"), 25);
  }
  EXPECT_EQ(doubleToText(2.5), u"2,5");
}

TEST(NumericText, RejectsMalformedAndOutOfRangeTexts) {
  const Locale en = Locale::enUS();
  const std::vector<std::pair<std::u16string, std::int32_t>> cases = {
      {u"", errc::TypeMismatch}, {u"   ", errc::TypeMismatch}, {u"abc", errc::TypeMismatch}, {u"1..2", errc::TypeMismatch}, {u"--1", errc::TypeMismatch}, {u"+-1", errc::TypeMismatch}, {u"5-+", errc::TypeMismatch},
      {u"1e", errc::TypeMismatch}, {u"1e+", errc::TypeMismatch}, {u"1 e5", errc::TypeMismatch}, {u"e5", errc::TypeMismatch}, {u".", errc::TypeMismatch}, {u"-", errc::TypeMismatch}, {u"$", errc::TypeMismatch},
      {u"()", errc::TypeMismatch}, {u",5", errc::TypeMismatch}, {u"5 5", errc::TypeMismatch}, {u"(5", errc::TypeMismatch}, {u"5)", errc::TypeMismatch}, {u"5()", errc::TypeMismatch}, {u"(-5)", errc::TypeMismatch}, {u"-(5)", errc::TypeMismatch},
      {u"$$5", errc::TypeMismatch}, {u"5$$", errc::TypeMismatch}, {u"&", errc::TypeMismatch}, {u"&H", errc::TypeMismatch}, {u"&HG", errc::TypeMismatch}, {u"&H1.5", errc::TypeMismatch},
      {u"1.2.3", errc::TypeMismatch}, {u"1.5,3", errc::TypeMismatch}, {u"1e400x", errc::TypeMismatch}, {u"12abc", errc::TypeMismatch}, {std::u16string(u"1\0", 2), errc::TypeMismatch},
      {std::u16string(u"\0" u"1", 2), errc::TypeMismatch}, {u"\xD800" u"5", errc::TypeMismatch}, {u"5\xDC00", errc::TypeMismatch},
      {repeat(u"a", 10000), errc::TypeMismatch}, {repeat(u"1", 10000) + u"x", errc::TypeMismatch},
      {u"1e400", errc::Overflow}, {u"-1E309", errc::Overflow}, {u"(1D999)", errc::Overflow}, {u"&H100000000", errc::Overflow}, {repeat(u"9", 10000), errc::Overflow},
      {u"1e" + repeat(u"9", 10000), errc::Overflow},
  };
  for (const auto& [text, error] : cases) {
    SCOPED_TRACE(traced(text));
    const std::u16string& input = text;  // some compilers cannot capture a structured binding
    EXPECT_EQ(errorOf([&] { parseNumber(input, en); }), error);
    EXPECT_FALSE(isNumericText(text, en));
  }
}

TEST(NumberToText, BlankOrMinusThenFifteenDigitsWithAPoint) {
  LocaleScope german(Locale::deDE());  // the rule ignores the locale
  const std::pair<double, std::u16string_view> cases[] = {
      {7, u" 7"}, {-7, u"-7"}, {1.5, u" 1.5"}, {0, u" 0"}, {-0.0, u" 0"}, {100, u" 100"},
      {0.5, u" .5"}, {-0.25, u"-.25"}, {0.1 + 0.2, u" .3"}, {1.0 / 3, u" .333333333333333"},
      {2.0 / 3, u" .666666666666667"}, {123456789012345.6, u" 123456789012346"},
      {99999999999999.9, u" 99999999999999.9"},
      // Scientific from 1E+15 up (also when rounding to 15 digits reaches
      // it) and below 1E-05, with at least two exponent digits.
      {999999999999999, u" 999999999999999"}, {999999999999999.9, u" 1E+15"}, {1e15, u" 1E+15"},
      {-1.5e15, u"-1.5E+15"}, {1e-5, u" .00001"}, {-1.25e-5, u"-.0000125"}, {1e-6, u" 1E-06"},
      {1.5e-7, u" 1.5E-07"}, {1.23e100, u" 1.23E+100"}, {-1e-300, u"-1E-300"},
      {std::numeric_limits<double>::max(), u" 1.79769313486232E+308"},
      {std::numeric_limits<double>::denorm_min(), u" 4.94065645841247E-324"},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(numberToText(value), expected) << value;
  EXPECT_EQ(errorOf([] { numberToText(kNaN); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { numberToText(-kInf); }), errc::Overflow);
}

TEST(NumberToText, ValueConversionsUseTheLocaleAndALeadingZero) {
  const Locale en = Locale::enUS();
  const Locale de = Locale::deDE();
  EXPECT_EQ(doubleToText(0.5, en), u"0.5");
  EXPECT_EQ(doubleToText(0.5, de), u"0,5");
  EXPECT_EQ(doubleToText(-0.25, en), u"-0.25");
  EXPECT_EQ(doubleToText(1234.5, en), u"1234.5");
  EXPECT_EQ(doubleToText(-0.0, en), u"0");
  EXPECT_EQ(doubleToText(1.0 / 3, en), u"0.333333333333333");
  EXPECT_EQ(doubleToText(1e15, en), u"1E+15");
  // Fixed down to 1E-11, unlike the number-to-text rule.
  EXPECT_EQ(doubleToText(-1.5e-7, de), u"-0,00000015");
  EXPECT_EQ(doubleToText(5.6789e-6, en), u"0.0000056789");
  EXPECT_EQ(doubleToText(1e-11, en), u"0.00000000001");
  EXPECT_EQ(doubleToText(9.9e-12, en), u"9.9E-12");
  EXPECT_EQ(doubleToText(-1.25e-11, en), u"-0.0000000000125");
  EXPECT_EQ(doubleToText(-1.23456789012345e-11, en), u"-0.0000000000123456789012345");  // the longest text
  EXPECT_EQ(doubleToText(-1.23456789012345e-300, en), u"-1.23456789012345E-300");
  EXPECT_EQ(numberToText(5.6789e-6), u" 5.6789E-06");
  EXPECT_EQ(errorOf([&] { doubleToText(kInf, en); }), errc::Overflow);

  EXPECT_EQ(singleToText(0.1f, en), u"0.1");
  EXPECT_EQ(singleToText(1.1f, de), u"1,1");
  EXPECT_EQ(singleToText(1.0f / 3, en), u"0.3333333");
  EXPECT_EQ(singleToText(1234567.0f, en), u"1234567");
  EXPECT_EQ(singleToText(12345678.0f, en), u"1.234568E+07");
  EXPECT_EQ(singleToText(-2.5e-6f, en), u"-2.5E-06");

  EXPECT_EQ(currencyToText(CY{125000}, en), u"12.5");
  EXPECT_EQ(currencyToText(CY{30000}, en), u"3");
  EXPECT_EQ(currencyToText(CY{12345}, de), u"1,2345");
  EXPECT_EQ(currencyToText(CY{-1}, en), u"-0.0001");
  EXPECT_EQ(currencyToText(CY{0}, en), u"0");
  EXPECT_EQ(currencyToText(CY{std::numeric_limits<std::int64_t>::min()}, en), u"-922337203685477.5808");
  EXPECT_EQ(currencyToText(CY{std::numeric_limits<std::int64_t>::max()}, en), u"922337203685477.5807");
}

// A number's text worked out the long way: the C library's correctly
// rounded significant digits, laid out as the rules lay them out.
std::u16string longWayText(double value, int precision, char16_t point, bool blank, bool zero, int smallestFixed) {
  std::u16string out = value < 0 ? u"-" : (blank ? u" " : u"");
  if (value == 0) return (blank ? u" " : u"") + std::u16string(u"0");
  char text[64];
  std::snprintf(text, sizeof text, "%.*e", precision - 1, std::fabs(value));
  std::string digits;
  const char* p = text;
  for (; *p != 'e'; ++p)
    if (*p != '.') digits += *p;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int exponent = std::atoi(p + 1);
  const auto at = [&](int i) { return static_cast<char16_t>(i < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(i)] : '0'); };
  if (exponent >= precision || exponent < smallestFixed) {
    out += at(0);
    if (digits.size() > 1) out += point;
    for (std::size_t i = 1; i < digits.size(); ++i) out += static_cast<char16_t>(digits[i]);
    char tail[16];
    std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    for (const char* t = tail; *t; ++t) out += static_cast<char16_t>(*t);
  } else if (exponent >= 0) {
    for (int i = 0; i <= exponent; ++i) out += at(i);
    if (static_cast<int>(digits.size()) > exponent + 1) out += point;
    for (int i = exponent + 1; i < static_cast<int>(digits.size()); ++i) out += at(i);
  } else {
    if (zero) out += u'0';
    out += point;
    out.append(static_cast<std::size_t>(-exponent - 1), u'0');
    for (const char d : digits) out += static_cast<char16_t>(d);
  }
  return out;
}

// Values that are whole numbers over a small power of ten are written
// without the general digit generator; both ways must give the same text.
TEST(NumberToText, ShortDecimalsWriteAsTheGeneralWayWrites) {
  const Locale de = Locale::deDE();
  std::vector<double> values = {0.25, 1234.5, 0.1, 0.3, 0.1 + 0.2, 2.675, 1e-5, 1.5e-5, 9.99999e-6, 1e-6, 1e-7,
                                1.5e-8, 123456789012345.0, 999999999999999.0, 999999999999999.5, 1e15, 12345678.9,
                                0.000123456, 4503599627370495.5, 9007199254740993.0, 35796.0, 36000.25, 1e22, 1e23};
  // Sweeps over decimals of up to eight places, and a few values just off them.
  std::uint64_t seed = 88172645463325252u;
  const auto next = [&] {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    return seed;
  };
  for (int i = 0; i < 2000; ++i) {
    const double places[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    const double whole = static_cast<double>(next() % 10'000'000'000'000'000u) / std::pow(10.0, static_cast<double>(next() % 16));
    const double v = std::trunc(whole) / places[next() % 10];
    values.insert(values.end(), {v, -v, std::nextafter(v, 0.0), std::nextafter(v, 1e300)});
  }
  for (const double v : values) {
    EXPECT_EQ(numberToText(v), longWayText(v, 15, u'.', true, false, -5)) << v;
    EXPECT_EQ(doubleToText(v, de), longWayText(v, 15, u',', false, true, -11)) << v;
    const float f = static_cast<float>(v);
    if (std::isfinite(f)) {
      EXPECT_EQ(singleToText(f, Locale::enUS()), longWayText(f, 7, u'.', false, true, -5)) << f;
    }
  }
}

TEST(NumberRounding, HalvesGoToTheEvenNeighbourAndRangesAreChecked) {
  EXPECT_EQ(roundToInt16(2.5), 2);
  EXPECT_EQ(roundToInt16(3.5), 4);
  EXPECT_EQ(roundToInt16(-2.5), -2);
  EXPECT_EQ(roundToInt16(-3.5), -4);
  EXPECT_EQ(roundToInt16(2.5000000000000004), 3);
  EXPECT_EQ(roundToInt16(1439.5), 1440);
  EXPECT_EQ(roundToInt16(32767.4), 32767);
  EXPECT_EQ(roundToInt16(-32768.5), -32768);
  EXPECT_EQ(roundToInt32(2147483647.4), 2147483647);
  EXPECT_EQ(roundToInt32(-2147483648.5), -2147483647 - 1);
  EXPECT_EQ(roundToInt64(-9223372036854775808.0), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(roundToInt64(9223372036854774784.0), 9223372036854774784);
  EXPECT_EQ(roundToInt64(2251799813685249.5), 2251799813685250);
  EXPECT_EQ(roundToByte(254.5), 254);
  EXPECT_EQ(roundToByte(-0.5), 0);
  for (const double value : {32767.5, -32769.0, kNaN, kInf})
    EXPECT_EQ(errorOf([=] { roundToInt16(value); }), errc::Overflow) << value;
  EXPECT_EQ(errorOf([] { roundToInt32(2147483647.5); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { roundToInt64(9223372036854775808.0); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { roundToInt64(kNaN); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { roundToByte(255.5); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { roundToByte(-0.6); }), errc::Overflow);

  // The rule holds whatever rounding mode the floating-point unit is in.
  const int mode = std::fegetround();
  std::fesetround(FE_UPWARD);
  const std::int16_t underUpward = roundToInt16(2.5);
  std::fesetround(FE_DOWNWARD);
  const std::int16_t underDownward = roundToInt16(3.5);
  std::fesetround(mode);
  EXPECT_EQ(underUpward, 2);
  EXPECT_EQ(underDownward, 4);
}

TEST(NumberRounding, DoublesBecomeCurrencyAtFourDecimals) {
  EXPECT_EQ(doubleToCurrency(12.5), CY{125000});
  EXPECT_EQ(doubleToCurrency(-1.23456), CY{-12346});
  EXPECT_EQ(doubleToCurrency(0.00025), CY{2});
  EXPECT_EQ(doubleToCurrency(0.00035), CY{4});  // scaled before rounding
  EXPECT_EQ(doubleToCurrency(900000000000000.0), CY{9000000000000000000});
  EXPECT_EQ(errorOf([] { doubleToCurrency(922337203685477.0); }), 0);
  for (const double value : {922337203685478.0, -1e300, kNaN})
    EXPECT_EQ(errorOf([=] { doubleToCurrency(value); }), errc::Overflow) << value;
  EXPECT_EQ(currencyToDouble(doubleToCurrency(-7.0625)), -7.0625);
}

}  // namespace
}  // namespace tarnwick
