#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Number.h>

#include <gtest/gtest.h>

#include <cfenv>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace tarnwick {
namespace {

// The error number that `body` throws, or 0 when it throws none.
template <typename F>
std::int32_t errorOf(F&& body) {
  try {
    body();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

std::u16string repeat(std::u16string_view piece, std::size_t times) {
  std::u16string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfATextInAnyLocale) {
  LocaleScope german(Locale::deDE());
  EXPECT_EQ(leadingNumber(u"12abc"), 12);
  EXPECT_EQ(leadingNumber(u"1.5"), 1.5);
  EXPECT_EQ(leadingNumber(u"1,5"), 1);
  EXPECT_EQ(leadingNumber(u"abc"), 0);
  EXPECT_EQ(leadingNumber(u""), 0);
  EXPECT_EQ(leadingNumber(u".5"), 0.5);
  EXPECT_EQ(leadingNumber(u"-.5"), -0.5);
  EXPECT_EQ(leadingNumber(u"1.5.3"), 1.5);
  EXPECT_EQ(leadingNumber(u"1 2 3"), 123);
  EXPECT_EQ(leadingNumber(u" - 5"), -5);
  EXPECT_EQ(leadingNumber(u"\t\n+7\n"), 7);
  EXPECT_EQ(leadingNumber(u"1\r2"), 1);  // a carriage return is no blank
  EXPECT_EQ(leadingNumber(u"--5"), 0);
  EXPECT_EQ(leadingNumber(u"1e"), 1);
  EXPECT_EQ(leadingNumber(u"1e+"), 1);
  EXPECT_EQ(leadingNumber(u"1E3"), 1000);
  EXPECT_EQ(leadingNumber(u"1 e -3"), 0.001);
  EXPECT_EQ(leadingNumber(u"1d2"), 100);
  EXPECT_EQ(leadingNumber(u"1.5D-1x"), 0.15);
  EXPECT_EQ(leadingNumber(u"e5"), 0);
  EXPECT_EQ(leadingNumber(u"."), 0);
  EXPECT_EQ(leadingNumber(u"$5"), 0);
  EXPECT_EQ(leadingNumber(std::u16string(u"5\0" u"6", 3)), 5);
  EXPECT_EQ(leadingNumber(u"4\xD800" u"5"), 4);
  EXPECT_FALSE(std::signbit(leadingNumber(u"-0")));
  EXPECT_FALSE(std::signbit(leadingNumber(u"-")));
}

TEST(LeadingNumber, HexadecimalAndOctalTakeTheNarrowestSignedWidth) {
  EXPECT_EQ(leadingNumber(u"&HFFFF"), -1);
  EXPECT_EQ(leadingNumber(u"&H8000"), -32768);
  EXPECT_EQ(leadingNumber(u"&h7fff"), 32767);
  EXPECT_EQ(leadingNumber(u"&H10000"), 65536);
  EXPECT_EQ(leadingNumber(u"&HFFFFF"), 1048575);
  EXPECT_EQ(leadingNumber(u"&HFFFFFFFF"), -1);
  EXPECT_EQ(leadingNumber(u"&H80000000"), -2147483648.0);
  EXPECT_EQ(leadingNumber(u"&HFG"), 15);
  EXPECT_EQ(leadingNumber(u" & H F F"), 255);
  EXPECT_EQ(leadingNumber(u"&O17"), 15);
  EXPECT_EQ(leadingNumber(u"&o177777"), -1);
  EXPECT_EQ(leadingNumber(u"&O8"), 0);
  EXPECT_EQ(leadingNumber(u"&H"), 0);
  EXPECT_EQ(leadingNumber(u"&X1"), 0);
  EXPECT_EQ(leadingNumber(u"-&H10"), 0);
  EXPECT_EQ(leadingNumber(u"&H" + repeat(u"0", 10000) + u"1F"), 31);
  EXPECT_EQ(errorOf([] { leadingNumber(u"&H100000000"); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { leadingNumber(u"&O40000000000"); }), errc::Overflow);
}

TEST(LeadingNumber, IsCorrectlyRoundedAndChecksTheRangeOfADouble) {
  EXPECT_EQ(leadingNumber(u"0.1"), 0.1);
  EXPECT_EQ(leadingNumber(u"1.7976931348623157e308"), std::numeric_limits<double>::max());
  EXPECT_EQ(errorOf([] { leadingNumber(u"1.7976931348623159e308"); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { leadingNumber(u"1E400"); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { leadingNumber(u"-1D400"); }), errc::Overflow);
  EXPECT_EQ(leadingNumber(u"4.9406564584124654E-324"), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(leadingNumber(u"1e-400"), 0);
  EXPECT_FALSE(std::signbit(leadingNumber(u"-1e-400")));
  // 2^53 + 1 lies halfway between two doubles: only the last of 10,000
  // digits decides that it rounds up rather than to the even neighbour.
  EXPECT_EQ(leadingNumber(u"9007199254740993"), 9007199254740992.0);
  EXPECT_EQ(leadingNumber(u"9007199254740993." + repeat(u"0", 10000) + u"1"), 9007199254740994.0);
  EXPECT_EQ(leadingNumber(u"0." + repeat(u"0", 10000) + u"15e10001"), 1.5);
  EXPECT_EQ(leadingNumber(u"15" + repeat(u"0", 10000) + u"e-10001"), 1.5);
  EXPECT_EQ(leadingNumber(repeat(u"0", 10000) + u"7"), 7);
  EXPECT_EQ(errorOf([] { leadingNumber(repeat(u"9", 10000)); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { leadingNumber(u"1e" + repeat(u"9", 10000)); }), errc::Overflow);
  EXPECT_EQ(leadingNumber(u"1e-" + repeat(u"9", 10000)), 0);
  EXPECT_EQ(leadingNumber(u"0e" + repeat(u"9", 10000)), 0);
  EXPECT_EQ(leadingNumber(repeat(u" ", 10000) + u"3"), 3);
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
  const std::pair<std::u16string_view, double> cases[] = {
      {u"5", 5},          {u" \t5 \t", 5},       {u"+5", 5},           {u"-5", -5},
      {u"5-", -5},        {u"5 +", 5},           {u"- 5", -5},         {u"(5)", -5},
      {u"( 5 )", -5},     {u"1,2,3", 123},       {u"1,234.5", 1234.5}, {u"1,", 1},
      {u"1,,2", 12},      {u".5", 0.5},          {u"5.", 5},           {u"1.5e3", 1500},
      {u"1.5D-1", 0.15},  {u"2E+2", 200},        {u"$5", 5},           {u"5$", 5},
      {u"$ 5", 5},        {u"5 $", 5},           {u"-$5", -5},         {u"$-5", -5},
      {u"($1,000.50)", -1000.5}, {u"(5)$", -5},  {u"&HFF", 255},       {u"&hFFFF", -1},
      {u"-&H10", -16},    {u"&O17", 15},         {u"1e-400", 0},       {u"0.1", 0.1},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    EXPECT_EQ(parseNumber(text, en), expected);
    EXPECT_TRUE(isNumericText(text, en));
  }
  EXPECT_FALSE(std::signbit(parseNumber(u"-0", en)));
}

TEST(NumericText, GermanRulesAndTheThreadsLocale) {
  const Locale de = Locale::deDE();
  EXPECT_EQ(parseNumber(u"1.5", de), 15);
  EXPECT_EQ(parseNumber(u"1,5", de), 1.5);
  EXPECT_EQ(parseNumber(u"1.234,5", de), 1234.5);
  EXPECT_EQ(parseNumber(u"1.5.3", de), 153);
  EXPECT_EQ(parseNumber(u"-1,5e2", de), -150);
  EXPECT_EQ(parseNumber(u"5 \u20AC", de), 5);
  EXPECT_EQ(parseNumber(u"\u20AC5,50", de), 5.5);
  EXPECT_EQ(errorOf([&] { parseNumber(u"$5", de); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([&] { parseNumber(u"1,5.3", de); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([&] { parseNumber(u"1,5,3", de); }), errc::TypeMismatch);

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
  const std::u16string notNumbers[] = {
      u"", u"   ", u"abc", u"1..2", u"--1", u"+-1", u"5-+", u"1e", u"1e+", u"1 e5", u"e5", u".", u"-",
      u"$", u"()", u",5", u"5 5", u"(5", u"5)", u"(-5)", u"-(5)", u"$$5", u"5$$", u"&", u"&H", u"&HG",
      u"&H1.5", u"1.2.3", u"1.5,3", u"1e400x", u"12abc",
      std::u16string(u"1\0", 2), std::u16string(u"\0" u"1", 2), u"\xD800" u"5", u"5\xDC00",
      repeat(u"a", 10000), u"1" + repeat(u"1", 9999) + u"x",
  };
  for (const auto& text : notNumbers) {
    SCOPED_TRACE(text.size() > 40 ? "(long text)" : std::string(text.begin(), text.end()));
    EXPECT_EQ(errorOf([&] { parseNumber(text, en); }), errc::TypeMismatch);
    EXPECT_FALSE(isNumericText(text, en));
  }
  const std::u16string overflows[] = {u"1e400", u"-1E309", u"(1D999)", u"&H100000000",
                                      repeat(u"9", 10000), u"1e" + repeat(u"9", 10000)};
  for (const auto& text : overflows) {
    SCOPED_TRACE(text.size() > 40 ? "(long text)" : std::string(text.begin(), text.end()));
    EXPECT_EQ(errorOf([&] { parseNumber(text, en); }), errc::Overflow);
    EXPECT_FALSE(isNumericText(text, en));
  }
  // Long texts that are numbers after all.
  EXPECT_EQ(parseNumber(repeat(u"1,", 5000), en), parseNumber(repeat(u"1", 5000) + u"e0", en));
  EXPECT_EQ(parseNumber(u"2" + repeat(u"0", 9999) + u"e-9999", en), 2);
  EXPECT_EQ(parseNumber(repeat(u" ", 10000) + u"2" + repeat(u" ", 10000), en), 2);
}

TEST(NumberToText, BlankOrMinusThenFifteenDigitsWithAPoint) {
  LocaleScope german(Locale::deDE());  // the rule ignores the locale
  EXPECT_EQ(numberToText(7), u" 7");
  EXPECT_EQ(numberToText(-7), u"-7");
  EXPECT_EQ(numberToText(1.5), u" 1.5");
  EXPECT_EQ(numberToText(0), u" 0");
  EXPECT_EQ(numberToText(-0.0), u" 0");
  EXPECT_EQ(numberToText(100), u" 100");
  EXPECT_EQ(numberToText(0.5), u" .5");
  EXPECT_EQ(numberToText(-0.25), u"-.25");
  EXPECT_EQ(numberToText(0.1 + 0.2), u" .3");
  EXPECT_EQ(numberToText(1.0 / 3), u" .333333333333333");
  EXPECT_EQ(numberToText(2.0 / 3), u" .666666666666667");
  EXPECT_EQ(numberToText(123456789012345.6), u" 123456789012346");
  EXPECT_EQ(numberToText(99999999999999.9), u" 99999999999999.9");
  // Scientific from 1E+15 up (also when rounding to 15 digits reaches it)
  // and below 1E-05.
  EXPECT_EQ(numberToText(999999999999999), u" 999999999999999");
  EXPECT_EQ(numberToText(999999999999999.9), u" 1E+15");
  EXPECT_EQ(numberToText(1e15), u" 1E+15");
  EXPECT_EQ(numberToText(-1.5e15), u"-1.5E+15");
  EXPECT_EQ(numberToText(1e-5), u" .00001");
  EXPECT_EQ(numberToText(-1.25e-5), u"-.0000125");
  EXPECT_EQ(numberToText(1e-6), u" 1E-06");
  EXPECT_EQ(numberToText(1.5e-7), u" 1.5E-07");
  EXPECT_EQ(numberToText(1.23e100), u" 1.23E+100");
  EXPECT_EQ(numberToText(-1e-300), u"-1E-300");
  EXPECT_EQ(numberToText(std::numeric_limits<double>::max()), u" 1.79769313486232E+308");
  EXPECT_EQ(numberToText(std::numeric_limits<double>::denorm_min()), u" 4.94065645841247E-324");
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
  EXPECT_EQ(doubleToText(7, en), u"7");
  EXPECT_EQ(doubleToText(-0.0, en), u"0");
  EXPECT_EQ(doubleToText(1.0 / 3, en), u"0.333333333333333");
  EXPECT_EQ(doubleToText(1e15, en), u"1E+15");
  EXPECT_EQ(doubleToText(-1.5e-7, de), u"-1,5E-07");
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
  EXPECT_EQ(currencyToText(CY{-5000}, en), u"-0.5");
  EXPECT_EQ(currencyToText(CY{0}, en), u"0");
  EXPECT_EQ(currencyToText(CY{std::numeric_limits<std::int64_t>::min()}, en), u"-922337203685477.5808");
  EXPECT_EQ(currencyToText(CY{std::numeric_limits<std::int64_t>::max()}, en), u"922337203685477.5807");
}

TEST(Rounding, HalvesGoToTheEvenNeighbourAndRangesAreChecked) {
  EXPECT_EQ(roundToInt16(2.5), 2);
  EXPECT_EQ(roundToInt16(3.5), 4);
  EXPECT_EQ(roundToInt16(-2.5), -2);
  EXPECT_EQ(roundToInt16(-3.5), -4);
  EXPECT_EQ(roundToInt16(2.5000000000000004), 3);
  EXPECT_EQ(roundToInt16(1439.5), 1440);
  EXPECT_EQ(roundToInt16(32767.4), 32767);
  EXPECT_EQ(roundToInt16(-32768.5), -32768);
  EXPECT_EQ(errorOf([] { roundToInt16(32767.5); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { roundToInt16(-32769); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { roundToInt16(kNaN); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { roundToInt16(kInf); }), errc::Overflow);

  EXPECT_EQ(roundToInt32(2147483647.4), 2147483647);
  EXPECT_EQ(roundToInt32(-2147483648.5), -2147483647 - 1);
  EXPECT_EQ(errorOf([] { roundToInt32(2147483647.5); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { roundToInt32(-kInf); }), errc::Overflow);

  EXPECT_EQ(roundToInt64(-9223372036854775808.0), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(roundToInt64(9223372036854774784.0), 9223372036854774784);
  EXPECT_EQ(roundToInt64(4503599627370497.5), 4503599627370498);
  EXPECT_EQ(errorOf([] { roundToInt64(9223372036854775808.0); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { roundToInt64(kNaN); }), errc::Overflow);

  EXPECT_EQ(roundToByte(254.5), 254);
  EXPECT_EQ(roundToByte(-0.5), 0);
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

TEST(Rounding, DoublesBecomeCurrencyAtFourDecimals) {
  EXPECT_EQ(doubleToCurrency(12.5), CY{125000});
  EXPECT_EQ(doubleToCurrency(-1.23456), CY{-12346});
  EXPECT_EQ(doubleToCurrency(0.00025), CY{2});
  EXPECT_EQ(doubleToCurrency(0.00035), CY{4});  // scaled before rounding
  EXPECT_EQ(doubleToCurrency(922337203685477.0), CY{9223372036854770000});
  EXPECT_EQ(errorOf([] { doubleToCurrency(922337203685478.0); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { doubleToCurrency(-1e300); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { doubleToCurrency(kNaN); }), errc::Overflow);
  EXPECT_EQ(currencyToDouble(doubleToCurrency(-7.0625)), -7.0625);
}

}  // namespace
}  // namespace tarnwick
