#include "ErrorOf.h"
#include "CountedObject.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

using testing::errorOf;

TEST(ValueConversion, ToTextFollowsTheLocale) {
  {
    LocaleScope scope(Locale::enUS());
    EXPECT_EQ(toText(Variant(1.5)), u"1.5");
    EXPECT_EQ(toText(Variant(std::int16_t{-7})), u"-7");
    EXPECT_EQ(toText(Variant(true)), u"True");
    EXPECT_EQ(toText(Variant(false)), u"False");
    EXPECT_EQ(toText(Variant()), u"");
    EXPECT_EQ(toText(Variant(CY{125000})), u"12.5");
    EXPECT_EQ(toText(Variant::date(36525.5)), u"12/31/1999 12:00:00 PM");
    EXPECT_EQ(errorOf([] { toText(Variant::null()); }), errc::InvalidUseOfNull);
    EXPECT_EQ(errorOf([] { toText(Variant::error(5)); }), errc::TypeMismatch);
  }
  LocaleScope scope(Locale::deDE());
  EXPECT_EQ(toText(Variant(1.5)), u"1,5");
  EXPECT_EQ(toText(Variant::date(36525.5)), u"31.12.1999 12:00:00");
}

// Appending a value's text or its number-to-text form gives what toText and
// numberToText(toDouble) give, whole numbers included (they take a shorter
// way), with the same errors.
TEST(ValueConversion, AppendedTextsMatchTheConversions) {
  for (const Locale& locale : {Locale::deDE(), Locale::enUS()}) {
    LocaleScope scope(locale);
    const Variant values[] = {Variant(0),
                              Variant(7),
                              Variant(-7),
                              Variant(INT32_MAX),
                              Variant(INT32_MIN),
                              Variant(std::int16_t{-32768}),
                              Variant(std::uint8_t{255}),
                              Variant(std::int64_t{-9007199254740993}),
                              Variant(2.5),
                              Variant(-0.25),
                              Variant(true),
                              Variant(CY{125000}),
                              Variant::date(36525.5),
                              Variant(u"12"),
                              Variant(u"text"),
                              Variant(std::int64_t{999'999'999'999'999}),
                              Variant(std::int64_t{-1'000'000'000'000'000}),
                              Variant(false),
                              Variant(1e15),
                              Variant(-1.5e-7),
                              Variant(1.0 / 3),
                              Variant(-1e-300),
                              Variant(123456789012345.6),
                              Variant(0.1 + 0.2),
                              Variant(9.9e-12),
                              Variant::date(-1.25),
                              Variant::date(-657434.5),
                              Variant::date(0.75),
                              Variant::date(0),
                              Variant::date(-36522.0),
                              Variant::date(2958465.99998843),
                              Variant(INT64_MIN),
                              Variant(INT64_MAX),
                              Variant(-1.23456789012345e-11),
                              Variant(-1.23456789012345e-300)};
    for (const Variant& value : values) {
      std::u16string text = u"a";
      appendText(text, value);
      EXPECT_EQ(text, u"a" + toText(value));
      Variant held = value;
      std::u16string viaReference;
      appendText(viaReference, Variant::refTo(&held));
      EXPECT_EQ(viaReference, toText(value));
      if (!isNumeric(value)) continue;
      std::u16string number = u"b";
      appendNumberText(number, value);
      EXPECT_EQ(number, u"b" + numberToText(toDouble(value)));
    }
  }
  // Whole numbers against the C library's digits: every length, its
  // boundaries either side, both signs, and the extremes.
  std::vector<std::int64_t> wholes = {INT64_MIN, INT64_MAX, INT64_MIN + 1};
  for (std::int64_t ten = 1; ten <= INT64_MAX / 10; ten *= 10)
    for (const std::int64_t n : {ten - 1, ten, ten + 1, ten * 5 + 5, ten * 9 + 9})
      wholes.insert(wholes.end(), {n, -n});
  for (const std::int64_t n : wholes) {
    std::u16string text;
    appendText(text, Variant(n));
    EXPECT_EQ(toUtf8(text), std::to_string(n));
    if (n < INT32_MIN || n > INT32_MAX) continue;
    text.clear();
    appendText(text, Variant(static_cast<std::int32_t>(n)));
    EXPECT_EQ(toUtf8(text), std::to_string(n));
  }
  std::u16string out;
  EXPECT_EQ(errorOf([&] { appendText(out, Variant::null()); }), errc::InvalidUseOfNull);
  EXPECT_EQ(errorOf([&] { appendNumberText(out, Variant::null()); }), errc::InvalidUseOfNull);
  EXPECT_EQ(errorOf([&] { appendNumberText(out, Variant(u"text")); }), errc::TypeMismatch);
  EXPECT_EQ(out, u"");
}

TEST(ValueConversion, ToNumbersRoundAndCheckRanges) {
  LocaleScope scope(Locale::enUS());
  EXPECT_EQ(toInt16(Variant(2.5)), 2);
  EXPECT_EQ(toInt16(Variant(3.5)), 4);
  EXPECT_EQ(toInt16(Variant(u"1439.5")), 1440);
  EXPECT_EQ(toInt16(Variant(true)), -1);
  EXPECT_EQ(errorOf([] { toInt16(Variant(32767.5)); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { toInt16(Variant(u"12abc")); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([] { toInt16(Variant::null()); }), errc::InvalidUseOfNull);
  EXPECT_EQ(toInt32(Variant(u"-2147483648")), INT32_MIN);
  EXPECT_EQ(errorOf([] { toInt32(Variant(2147483647.5)); }), errc::Overflow);
  EXPECT_EQ(toDouble(Variant(u"1,234.5")), 1234.5);
  EXPECT_EQ(toDouble(Variant()), 0.0);
  EXPECT_EQ(toCurrency(Variant(u"12.34567")).int64, 123457);
  EXPECT_TRUE(toBool(Variant(u"true")));
  EXPECT_FALSE(toBool(Variant(u"0")));
  EXPECT_TRUE(toBool(Variant(u"-3")));
  EXPECT_EQ(errorOf([] { toBool(Variant(u"maybe")); }), errc::TypeMismatch);
  EXPECT_EQ(toDate(Variant(u"12/31/1999")), 36525.0);
  EXPECT_EQ(errorOf([] { toDate(Variant(1e7)); }), errc::Overflow);
}

TEST(ValueConversion, ChangeTypeCoversTheTypeCodes) {
  LocaleScope scope(Locale::enUS());
  EXPECT_EQ(changeType(Variant(u"7"), VT_I2).iVal, 7);
  EXPECT_EQ(changeType(Variant(u"7"), VT_UI1).bVal, 7);
  EXPECT_EQ(errorOf([] { changeType(Variant(u"-1"), VT_UI1); }), errc::Overflow);
  EXPECT_EQ(changeType(Variant(1.25), VT_R4).fltVal, 1.25f);
  EXPECT_EQ(errorOf([] { changeType(Variant(1e300), VT_R4); }), errc::Overflow);
  EXPECT_EQ(changeType(Variant(12), VT_BSTR).text(), u"12");
  EXPECT_EQ(changeType(Variant(12), VT_BOOL).boolVal, VARIANT_TRUE);
  EXPECT_EQ(changeType(Variant(1.5), VT_CY).cyVal.int64, 15000);
  EXPECT_EQ(changeType(Variant(2.0), VT_DATE).VARIANT::date, 2.0);
  EXPECT_EQ(changeType(Variant(std::int16_t{5}), VT_I8).llVal, 5);
  EXPECT_TRUE(changeType(Variant(), VT_NULL).isNull());
  EXPECT_EQ(errorOf([] { changeType(Variant(1), VT_ERROR); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([] { changeType(Variant(1), VT_DISPATCH); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([] { changeType(Variant(1), VT_ARRAY | VT_VARIANT); }), errc::TypeMismatch);
  // References are followed.
  Variant target(u"42");
  EXPECT_EQ(changeType(Variant::refTo(&target), VT_I4).lVal, 42);
  // Objects give their default member, and an IUnknown answers as IDispatch.
  testing::CountedObject object{Variant(u"15")};
  EXPECT_EQ(changeType(Variant(static_cast<IDispatch*>(&object)), VT_I2).iVal, 15);
  Variant asDispatch = changeType(Variant(static_cast<IUnknown*>(static_cast<IDispatch*>(&object))), VT_DISPATCH);
  EXPECT_EQ(asDispatch.dispatch(), &object);
  asDispatch.clear();
  EXPECT_EQ(object.references(), 1u);
}

TEST(ValueConversion, NumericAndDateTestsOnValues) {
  for (const Locale& locale : {Locale::enUS(), Locale::deDE()}) {
    LocaleScope scope(locale);
    EXPECT_TRUE(isNumeric(Variant(3)));
    EXPECT_TRUE(isNumeric(Variant(true)));
    EXPECT_TRUE(isNumeric(Variant(u" 12 ")));
    EXPECT_TRUE(isNumeric(Variant(u"&HFF")));
    EXPECT_FALSE(isNumeric(Variant(u"")));
    EXPECT_FALSE(isNumeric(Variant()));
    EXPECT_FALSE(isNumeric(Variant::null()));
    EXPECT_FALSE(isNumeric(Variant(u"12abc")));
    EXPECT_FALSE(isNumeric(Variant::date(1.0)));
    EXPECT_TRUE(isDate(Variant::date(36525.0)));
    EXPECT_FALSE(isDate(Variant(36525)));
    EXPECT_FALSE(isDate(Variant(u"")));
    EXPECT_FALSE(isDate(Variant::null()));
    EXPECT_TRUE(isDate(Variant(u"13:45")));
  }
  LocaleScope de(Locale::deDE());
  EXPECT_TRUE(isNumeric(Variant(u"1.234,5")));
  EXPECT_TRUE(isDate(Variant(u"31.12.1999")));
}

TEST(ValueConversion, FormatWithDatePatterns) {
  LocaleScope scope(Locale::enUS());
  const Variant d = Variant::date(36525.0 + (13 * 3600 + 5 * 60 + 9) / 86400.0);  // 31 Dec 1999 13:05:09
  EXPECT_EQ(format(d, u"dd.mm.yyyy"), u"31.12.1999");
  EXPECT_EQ(format(d, u"mmmm d, yyyy"), u"December 31, 1999");
  EXPECT_EQ(format(d, u"hh:nn AM/PM"), u"01:05 PM");
  EXPECT_EQ(format(Variant(u"1/2/2000"), u"ww"), u"2");
  EXPECT_EQ(format(Variant(u"12/31/1999"), u"dd.mm.yyyy"), u"31.12.1999");
  EXPECT_EQ(format(Variant(u"not a date"), u"dd.mm.yyyy"), u"not a date");
  EXPECT_EQ(format(Variant::null(), u"dd.mm.yyyy"), u"");
  EXPECT_EQ(format(Variant(36526), u"yyyy-mm-dd"), u"2000-01-01");
  EXPECT_EQ(errorOf([] { format(Variant(1e9), u"yyyy"); }), errc::Overflow);
  LocaleScope de(Locale::deDE());
  EXPECT_EQ(format(Variant(u"31.12.1999"), u"mmmm"), u"Dezember");
  EXPECT_EQ(format(Variant(u"31.12.1999"), u"dd/mm/yyyy"), u"31.12.1999");
}

}  // namespace
}  // namespace tarnwick
