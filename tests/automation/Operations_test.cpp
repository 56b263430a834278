#include "ErrorOf.h"
#include "CountedObject.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Operations.h>

#include <gtest/gtest.h>


namespace tarnwick {
namespace {

using testing::errorOf;

TEST(VariantAddition, TextsNumbersNullAndEmpty) {
  for (const Locale& locale : {Locale::enUS(), Locale::deDE()}) {
    LocaleScope scope(locale);
    // Two texts are joined.
    Variant joined = add(Variant(u"12"), Variant(u"3"));
    EXPECT_EQ(joined.type(), VT_BSTR);
    EXPECT_EQ(joined.text(), u"123");
    // A text and a number add as numbers.
    Variant sum = add(Variant(u"12"), Variant(std::int16_t{3}));
    EXPECT_EQ(sum.type(), VT_R8);
    EXPECT_EQ(sum.dblVal, 15.0);
    // A text that is no number: type mismatch.
    EXPECT_EQ(errorOf([] { add(Variant(u"abc"), Variant(1)); }), errc::TypeMismatch);
    // Null makes the sum Null, and Null turned into text is error 94.
    Variant withNull = add(Variant(u"row"), Variant::null());
    EXPECT_TRUE(withNull.isNull());
    EXPECT_TRUE(add(Variant::null(), Variant(1)).isNull());
    EXPECT_EQ(errorOf([&] { toText(withNull); }), errc::InvalidUseOfNull);
    // Empty adds nothing.
    EXPECT_EQ(add(Variant(u"row"), Variant()).text(), u"row");
    EXPECT_EQ(add(Variant(), Variant(2.5)).dblVal, 2.5);
    EXPECT_EQ(add(Variant(), Variant()).type(), VT_I2);
  }
  // The text is read under the locale: "1,5" is one and a half in de-DE.
  LocaleScope de(Locale::deDE());
  EXPECT_EQ(add(Variant(u"1,5"), Variant(1)).dblVal, 2.5);
}

TEST(VariantAddition, NullBesideAnyValueAndErrorValuesBesideAny) {
  IDispatch* nothing = nullptr;
  testing::CountedObject textBox{Variant(u"Miller")};
  const Variant others[] = {Variant(), Variant(1), Variant(u"abc"), Variant(nothing),
                            Variant(static_cast<IDispatch*>(&textBox)), Variant::null()};
  for (const Variant& other : others) {
    EXPECT_TRUE(add(Variant::null(), other).isNull()) << other.type();
    EXPECT_TRUE(add(other, Variant::null()).isNull()) << other.type();
    if (other.isNull()) continue;
    EXPECT_EQ(errorOf([&] { add(Variant::error(5), other); }), errc::TypeMismatch) << other.type();
    EXPECT_EQ(errorOf([&] { add(other, Variant::error(5)); }), errc::TypeMismatch) << other.type();
  }
  EXPECT_EQ(errorOf([] { add(Variant::error(5), Variant::null()); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([] { add(Variant::null(), Variant::error(5)); }), errc::TypeMismatch);
}

TEST(VariantAddition, NumericTypesWidenAsThePlatformDoes) {
  Variant bytes = add(Variant(std::uint8_t{200}), Variant(std::uint8_t{100}));
  EXPECT_EQ(bytes.type(), VT_I2);
  EXPECT_EQ(bytes.iVal, 300);
  Variant integers = add(Variant(std::int16_t{32767}), Variant(std::int16_t{1}));
  EXPECT_EQ(integers.type(), VT_I4);
  EXPECT_EQ(integers.lVal, 32768);
  EXPECT_EQ(add(Variant(std::int16_t{1}), Variant(std::int16_t{2})).type(), VT_I2);
  Variant longs = add(Variant(2147483647), Variant(1));
  EXPECT_EQ(longs.type(), VT_R8);
  EXPECT_EQ(longs.dblVal, 2147483648.0);
  EXPECT_EQ(add(Variant(1.5f), Variant(std::int16_t{1})).type(), VT_R4);
  EXPECT_EQ(add(Variant(1.5f), Variant(1)).type(), VT_R8);  // single with long gives double
  Variant money = add(Variant(CY{15000}), Variant(0.25));
  EXPECT_EQ(money.type(), VT_CY);
  EXPECT_EQ(money.cyVal.int64, 17500);
  Variant day = add(Variant::date(36526.0), Variant(std::int16_t{1}));
  EXPECT_EQ(day.type(), VT_DATE);
  EXPECT_EQ(day.VARIANT::date, 36527.0);
  EXPECT_EQ(add(Variant(true), Variant(true)).iVal, -2);
  EXPECT_EQ(errorOf([] { add(Variant(1e308), Variant(1e308)); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { add(Variant(CY{INT64_MAX}), Variant(CY{1})); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { add(Variant::error(5), Variant(1)); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([] { add(makeVariantArray({Variant(1)}), Variant(1)); }), errc::TypeMismatch);
}

TEST(VariantAddition, ObjectsAddByTheirDefaultMember) {
  testing::CountedObject textBox{Variant(u"Miller")};
  Variant sum = add(Variant(u"Name: "), Variant(static_cast<IDispatch*>(&textBox)));
  EXPECT_EQ(sum.text(), u"Name: Miller");
  testing::CountedObject noDefault;
  EXPECT_EQ(errorOf([&] { add(Variant(u"x"), Variant(static_cast<IDispatch*>(&noDefault))); }),
            errc::MemberNotSupported);
  EXPECT_EQ(textBox.references(), 1u);
  EXPECT_EQ(noDefault.references(), 1u);
}

TEST(Concatenation, TextsOfAnyValueNullAsEmptyErrorsRefused) {
  LocaleScope scope(Locale::deDE());
  EXPECT_EQ(concatenate(Variant(u"a"), Variant(1.5)).text(), u"a1,5");
  EXPECT_EQ(concatenate(Variant::null(), Variant(u"x")).text(), u"x");
  EXPECT_EQ(concatenate(Variant(), Variant::null()).text(), u"");
  EXPECT_TRUE(concatenate(Variant::null(), Variant::null()).isNull());
  EXPECT_EQ(errorOf([] { concatenate(Variant::error(5), Variant(u"x")); }), errc::TypeMismatch);
}

TEST(Comparison, NumbersTextsNullAndEmpty) {
  EXPECT_EQ(compare(Variant(1), Variant(2.5)), Comparison::Less);
  EXPECT_EQ(compare(Variant(std::int16_t{3}), Variant(3.0)), Comparison::Equal);
  EXPECT_EQ(compare(Variant(CY{30000}), Variant(std::int16_t{3})), Comparison::Equal);
  EXPECT_EQ(compare(Variant::date(2.0), Variant(1)), Comparison::Greater);
  EXPECT_EQ(compare(Variant(true), Variant(0)), Comparison::Less);  // True is -1
  // Texts compare exactly, unit by unit: case matters.
  EXPECT_EQ(compare(Variant(u"abc"), Variant(u"abd")), Comparison::Less);
  EXPECT_EQ(compare(Variant(u"B"), Variant(u"a")), Comparison::Less);
  EXPECT_EQ(compare(Variant(u"a"), Variant(u"a")), Comparison::Equal);
  EXPECT_EQ(compare(Variant::nullString(), Variant(u"")), Comparison::Equal);
  // A number is less than any text; Empty is 0 or "".
  EXPECT_EQ(compare(Variant(99), Variant(u"1")), Comparison::Less);
  EXPECT_EQ(compare(Variant(u"1"), Variant(99)), Comparison::Greater);
  EXPECT_EQ(compare(Variant(), Variant(0)), Comparison::Equal);
  EXPECT_EQ(compare(Variant(), Variant(u"")), Comparison::Equal);
  EXPECT_EQ(compare(Variant(), Variant(u"a")), Comparison::Less);
  EXPECT_EQ(compare(Variant::null(), Variant(1)), Comparison::Null);
  EXPECT_EQ(compare(Variant(u"x"), Variant::null()), Comparison::Null);
  // Large integers compare exactly, not through doubles.
  EXPECT_EQ(compare(Variant(std::int64_t{9007199254740993}), Variant(std::int64_t{9007199254740992})),
            Comparison::Greater);
}

}  // namespace
}  // namespace tarnwick
