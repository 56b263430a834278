#include "ErrorOf.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Decimal.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Operations.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace tarnwick {
namespace {

using testing::errorOf;

constexpr std::u16string_view kLargest = u"79228162514264337593543950335";

DECIMAL dec(std::u16string_view text) { return parseDecimal(text, Locale::enUS()); }
std::u16string str(const DECIMAL& d) { return decimalToText(d, Locale::enUS()); }
Variant decVariant(std::u16string_view text) { return Variant(dec(text)); }

TEST(DecimalValue, LiesInTheValueAsThePlatformLaysItOut) {
  LocaleScope scope(Locale::enUS());
  DECIMAL d{};
  d.scale = 3;
  d.sign = DECIMAL_NEG;
  d.Hi32 = 0x11223344u;
  d.Lo64 = 0x5566778899AABBCCull;
  const Variant v(d);
  unsigned char bytes[sizeof(VARIANT)];
  std::memcpy(bytes, static_cast<const VARIANT*>(&v), sizeof bytes);
  EXPECT_EQ(bytes[0] | bytes[1] << 8, VT_DECIMAL);
  EXPECT_EQ(bytes[2], 3);
  EXPECT_EQ(bytes[3], DECIMAL_NEG);
  std::uint32_t hi = 0;
  std::uint64_t lo = 0;
  std::memcpy(&hi, bytes + 4, sizeof hi);
  std::memcpy(&lo, bytes + 8, sizeof lo);
  EXPECT_EQ(hi, 0x11223344u);
  EXPECT_EQ(lo, 0x5566778899AABBCCull);
  EXPECT_EQ(offsetof(VARIANT, llVal), 8u);

  // Copies, references, typed references and typed arrays keep every byte.
  EXPECT_EQ(Variant(v).decimalValue(), d);
  VARIANT raw = v;
  EXPECT_EQ(Variant::refTo(&raw).value().decimalValue(), d);
  DECIMAL slot{};
  Variant typedRef;
  typedRef.vt = VT_BYREF | VT_DECIMAL;
  typedRef.pdecVal = &slot;
  EXPECT_EQ(typedRef.value().decimalValue(), slot);
  typedRef.assign(Variant(std::int32_t{7}));
  EXPECT_EQ(str(slot), u"7");
  SafeArray array(VT_DECIMAL, 1, 2);
  array.put({2}, v);
  array.put({1}, Variant(u"0.25"));
  EXPECT_EQ(array.get({2}).decimalValue(), d);
  EXPECT_EQ(str(array.get({1}).decimalValue()), u"0.25");

  // A value that is no decimal is refused, not read as one.
  DECIMAL badScale{};
  badScale.scale = 29;
  DECIMAL badSign{};
  badSign.sign = 1;
  EXPECT_EQ(errorOf([&] { decimalToText(badScale); }), errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([&] { toDouble(Variant(badSign)); }), errc::InvalidProcedureCall);
}

TEST(DecimalText, EveryDigitReadUnderTheLocaleAndRoundedHalfEvenBeyondTheScaleLimit) {
  EXPECT_EQ(dec(u"1.50").scale, 2);  // trailing zeros set the scale
  EXPECT_EQ(str(dec(u"1.50")), u"1.5");
  // Each text and the value's text, read under en-US; more than 28 decimals, or
  // more digits than 96 bits hold, round half to even.
  const std::pair<std::u16string_view, std::u16string_view> reads[] = {
      {u"-0.5", u"-0.5"},
      {u" 12345678901234567890.12345678 ", u"12345678901234567890.12345678"},
      {kLargest, kLargest},
      {u"-7.9228162514264337593543950335E+28", u"-79228162514264337593543950335"},
      {u"1.5E3", u"1500"},
      {u"0", u"0"},
      {u"-0.000", u"0"},
      {u"&HFF", u"255"},
      {u"&HFFFF", u"-1"},
      {u"(12.5)", u"-12.5"},
      {u"$1,234.5", u"1234.5"},
      {u"0.00000000000000000000000000025", u"0.0000000000000000000000000002"},
      {u"0.00000000000000000000000000035", u"0.0000000000000000000000000004"},
      {u"0.000000000000000000000000000250000000001", u"0.0000000000000000000000000003"},
      {u"0.00000000000000000000000000005", u"0"},
      {u"1E-40", u"0"},
      {u"12345678901234567890.123456789012345", u"12345678901234567890.123456789"},
      {u"1.00000000000000000000000000005", u"1"},
      {u"79228162514264337593543950334.5", u"79228162514264337593543950334"},
  };
  for (const auto& [text, shown] : reads) EXPECT_EQ(str(dec(text)), shown) << std::string(text.begin(), text.end());
  EXPECT_EQ(str(parseDecimal(u"1.234,5 \u20AC", Locale::deDE())), u"1234.5");
  EXPECT_EQ(decimalToText(dec(u"-1234.5"), Locale::deDE()), u"-1234,5");

  EXPECT_EQ(dec(u"1.00000000000000000000000000005").scale, 28);
  // A text far longer than any decimal still reads, its tail deciding the rounding.
  const std::u16string halfway = u"2." + std::u16string(28, u'0') + u"5" + std::u16string(3000, u'0');
  EXPECT_EQ(str(dec(halfway)), u"2");
  EXPECT_EQ(str(dec(halfway + u"1")), u"2.0000000000000000000000000001");

  // Beyond the largest whole part: overflow; no number at all: type mismatch.
  EXPECT_EQ(errorOf([] { dec(u"79228162514264337593543950336"); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { dec(u"79228162514264337593543950335.5"); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { dec(u"1E+29"); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { dec(u"1E+999999999999"); }), errc::Overflow);
  for (std::u16string_view bad : {u"", u"abc", u"1.2.3", u"1 2", u"--1", u"1E", u"&H", u"\u00A0"})
    EXPECT_EQ(errorOf([&] { dec(bad); }), errc::TypeMismatch) << std::string(bad.begin(), bad.end());
  EXPECT_EQ(errorOf([] { dec(u"&H100000000"); }), errc::Overflow);

  // The number-to-text rule.
  EXPECT_EQ(decimalToNumberText(dec(u"0.5")), u" .5");
  EXPECT_EQ(decimalToNumberText(dec(u"-0.5")), u"-.5");
  EXPECT_EQ(decimalToNumberText(dec(u"0")), u" 0");
  EXPECT_EQ(decimalToNumberText(dec(u"7.10")), u" 7.1");
  EXPECT_EQ(decimalToNumberText(dec(kLargest)), u" " + std::u16string(kLargest));

  // Round trips: text to decimal to text, under both locales, with a value's conversions.
  for (const Locale& locale : {Locale::enUS(), Locale::deDE()}) {
    LocaleScope scope(locale);
    for (std::u16string_view text : {u"0.1", u"-3.14159265358979323846264338", u"1E-28", u"42", u"-0.0000001"}) {
      const DECIMAL d = dec(text);
      const Variant asText = changeType(Variant(d), VT_BSTR);
      const Variant back = changeType(asText, VT_DECIMAL);
      EXPECT_EQ(back.type(), VT_DECIMAL);
      EXPECT_EQ(decimalCompare(back.decimalValue(), d), 0) << std::string(text.begin(), text.end());
    }
  }
}

TEST(DecimalConversion, ToAndFromEveryValueTypeRoundingHalfEven) {
  LocaleScope scope(Locale::enUS());
  // Whole numbers round half to even from the exact value, not from a double.
  EXPECT_EQ(toInt16(decVariant(u"2.5")), 2);
  EXPECT_EQ(toInt16(decVariant(u"3.5")), 4);
  EXPECT_EQ(toInt16(decVariant(u"-2.5")), -2);
  EXPECT_EQ(toInt16(decVariant(u"2.5000000000000000000000000001")), 3);
  EXPECT_EQ(toInt32(decVariant(u"2147483647.4999999999")), 2147483647);
  EXPECT_EQ(errorOf([] { toInt16(decVariant(u"32767.5")); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { toInt32(decVariant(u"-2147483648.6")); }), errc::Overflow);
  EXPECT_EQ(changeType(decVariant(u"9223372036854775807"), VT_I8).llVal, std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(changeType(decVariant(u"-9223372036854775808"), VT_I8).llVal, std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(errorOf([] { changeType(decVariant(u"9223372036854775807.5"), VT_I8); }), errc::Overflow);
  EXPECT_EQ(changeType(decVariant(u"-0.5"), VT_UI1).bVal, 0);
  EXPECT_EQ(errorOf([] { changeType(decVariant(u"255.5"), VT_UI1); }), errc::Overflow);
  // Currency: four decimals, half to even.
  EXPECT_EQ(toCurrency(decVariant(u"1.23455")).int64, 12346);
  EXPECT_EQ(toCurrency(decVariant(u"1.23445")).int64, 12344);
  EXPECT_EQ(toCurrency(decVariant(u"-922337203685477.5808")).int64, std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(errorOf([] { toCurrency(decVariant(u"922337203685477.58075")); }), errc::Overflow);
  EXPECT_EQ(str(toDecimal(Variant(CY{-12345}))), u"-1.2345");
  EXPECT_EQ(toDecimal(Variant(CY{10000})).scale, 4);
  // Doubles and singles by the digits their text shows.
  EXPECT_EQ(str(toDecimal(Variant(0.1))), u"0.1");
  EXPECT_EQ(str(toDecimal(Variant(1.0 / 3.0))), u"0.333333333333333");
  EXPECT_EQ(str(toDecimal(Variant(1.0f / 3.0f))), u"0.3333333");
  EXPECT_EQ(str(toDecimal(Variant(-1.5e20))), u"-150000000000000000000");
  EXPECT_EQ(str(toDecimal(Variant(1e-30))), u"0");
  EXPECT_EQ(errorOf([] { toDecimal(Variant(1e29)); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { toDecimal(Variant(std::numeric_limits<double>::infinity())); }), errc::Overflow);
  EXPECT_EQ(toDouble(decVariant(u"0.1")), 0.1);
  EXPECT_EQ(toDouble(decVariant(kLargest)), 79228162514264337593543950335.0);
  EXPECT_EQ(changeType(decVariant(u"0.1"), VT_R4).fltVal, 0.1f);
  // Integers, booleans, dates, Empty and Null.
  EXPECT_EQ(str(toDecimal(Variant(std::int64_t{-9007199254740993}))), u"-9007199254740993");
  EXPECT_EQ(str(toDecimal(Variant(std::uint8_t{255}))), u"255");
  EXPECT_EQ(str(toDecimal(Variant(true))), u"-1");
  EXPECT_TRUE(toBool(decVariant(u"0.0000000000000000000000000001")));
  EXPECT_FALSE(toBool(decVariant(u"-0.00")));
  EXPECT_EQ(str(toDecimal(Variant::date(36526.5))), u"36526.5");
  EXPECT_EQ(changeType(decVariant(u"36526.25"), VT_DATE).VARIANT::date, 36526.25);
  EXPECT_EQ(toText(changeType(decVariant(u"36526.5"), VT_DATE)), u"1/1/2000 12:00:00 PM");
  EXPECT_EQ(str(toDecimal(Variant())), u"0");
  EXPECT_EQ(errorOf([] { toDecimal(Variant::null()); }), errc::InvalidUseOfNull);
  EXPECT_EQ(errorOf([] { toDecimal(Variant::error(5)); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([] { changeType(Variant(u"abc"), VT_DECIMAL); }), errc::TypeMismatch);
  EXPECT_TRUE(isNumeric(decVariant(u"1.5")));
  // Text of a value follows the locale.
  EXPECT_EQ(toText(decVariant(u"-0.25")), u"-0.25");
  LocaleScope de(Locale::deDE());
  EXPECT_EQ(toText(decVariant(u"-0.25")), u"-0,25");
  EXPECT_EQ(str(toDecimal(Variant(u"1.000,125"))), u"1000.125");
}

TEST(DecimalAddition, ExactSumsRoundedToFitAndTheDecimalWinsOverOtherNumbers) {
  LocaleScope scope(Locale::enUS());
  auto sum = [](std::u16string_view a, std::u16string_view b) { return decimalAdd(dec(a), dec(b)); };
  EXPECT_EQ(str(sum(u"0.1", u"0.2")), u"0.3");
  const DECIMAL aligned = sum(u"1.10", u"2.205");
  EXPECT_EQ(str(aligned), u"3.305");
  EXPECT_EQ(aligned.scale, 3);
  EXPECT_EQ(str(sum(u"-5", u"3.25")), u"-1.75");
  EXPECT_EQ(str(sum(u"5", u"-5")), u"0");
  EXPECT_EQ(sum(u"5", u"-5").sign, 0);
  EXPECT_EQ(str(sum(kLargest, u"-79228162514264337593543950335")), u"0");
  EXPECT_EQ(str(sum(kLargest, u"0.0000000000000000000000000001")), kLargest);
  EXPECT_EQ(str(sum(u"79228162514264337593543950333", u"1.5")), u"79228162514264337593543950334");  // half to even
  EXPECT_EQ(str(sum(u"79228162514264337593543950332", u"1.5")), u"79228162514264337593543950334");
  EXPECT_EQ(str(sum(u"1", u"0.00000000000000000000000000005")), u"1");
  EXPECT_EQ(errorOf([&] { sum(kLargest, u"1"); }), errc::Overflow);
  EXPECT_EQ(errorOf([&] { sum(u"-79228162514264337593543950335", u"-0.5"); }), errc::Overflow);
  EXPECT_EQ(str(decimalNegate(dec(u"1.5"))), u"-1.5");

  // Type promotion: a decimal beside an integer, currency, single, double,
  // boolean or numeric text gives a decimal; beside a date, a date; Null, Null.
  const Variant half = decVariant(u"0.5");
  for (const Variant& other : {Variant(std::int16_t{2}), Variant(std::int32_t{2}), Variant(std::int64_t{2}),
                               Variant(std::uint8_t{2}), Variant(CY{20000}), Variant(2.0), Variant(2.0f),
                               Variant(u"2"), Variant(decVariant(u"2"))}) {
    const Variant left = add(half, other);
    const Variant right = add(other, half);
    ASSERT_EQ(left.type(), VT_DECIMAL) << other.type();
    EXPECT_EQ(str(left.decimalValue()), u"2.5");
    EXPECT_EQ(right.type(), VT_DECIMAL);
    EXPECT_EQ(str(right.decimalValue()), u"2.5");
  }
  EXPECT_EQ(str(add(Variant(0.1), decVariant(u"0.2")).decimalValue()), u"0.3");  // no binary fraction
  EXPECT_EQ(str(add(Variant(true), half).decimalValue()), u"-0.5");
  EXPECT_EQ(add(Variant(), half).type(), VT_DECIMAL);
  const Variant dated = add(Variant::date(36526.0), half);
  EXPECT_EQ(dated.type(), VT_DATE);
  EXPECT_EQ(dated.VARIANT::date, 36526.5);
  EXPECT_TRUE(add(Variant::null(), half).isNull());
  EXPECT_EQ(errorOf([&] { add(half, Variant(u"x")); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([&] { add(Variant(u"1e300"), half); }), errc::Overflow);
}

TEST(DecimalComparison, ExactBesideIntegersAndCurrencyAsDoublesBesideFloats) {
  EXPECT_EQ(decimalCompare(dec(u"1.50"), dec(u"1.5")), 0);
  EXPECT_EQ(decimalCompare(dec(u"-0.00"), dec(u"0")), 0);
  EXPECT_EQ(decimalCompare(dec(u"-2"), dec(u"-1.9999999999999999999999999999")), -1);
  EXPECT_EQ(decimalCompare(dec(u"0.0000000000000000000000000001"), dec(u"0")), 1);
  // A whole part of 29 digits leaves no room for decimals: .9 rounds up to the largest, .4 down.
  EXPECT_EQ(decimalCompare(dec(kLargest), dec(u"79228162514264337593543950334.9")), 0);
  EXPECT_EQ(decimalCompare(dec(kLargest), dec(u"79228162514264337593543950334.4")), 1);
  // 2^53 + 1 is no double: an exact comparison tells it from 2^53.
  EXPECT_EQ(compare(decVariant(u"9007199254740993"), Variant(std::int64_t{9007199254740992})), Comparison::Greater);
  EXPECT_EQ(compare(Variant(CY{15000}), decVariant(u"1.5")), Comparison::Equal);
  EXPECT_EQ(compare(decVariant(u"-1"), Variant(true)), Comparison::Equal);
  EXPECT_EQ(compare(decVariant(u"0.1"), Variant(0.1)), Comparison::Equal);
  EXPECT_EQ(compare(decVariant(kLargest), Variant(1e300)), Comparison::Less);
  EXPECT_EQ(compare(decVariant(u"1"), Variant(u"1")), Comparison::Less);  // a number is below any text
  EXPECT_EQ(compare(decVariant(u"1"), Variant::null()), Comparison::Null);
}

}  // namespace
}  // namespace tarnwick
