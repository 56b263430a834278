#include "../../src/ocx/ClipboardRows.h"
#include "../../src/ocx/Int16Math.h"

#include "../automation/ErrorOf.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Locale.h>

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace tarnwick::ocx {
namespace {

using tarnwick::testing::errorOf;

std::u16string copied(const Variant& value) {
  std::u16string out;
  appendCopyText(out, value);
  return out;
}

TEST(Int16Math, OverflowAndDivisionByZero) {
  EXPECT_EQ((6_i16 * Int16(5407) + 324_i16).value(), 32766);
  EXPECT_EQ(errorOf([] { return 6_i16 * Int16(5500); }), errc::Overflow);
  EXPECT_EQ(errorOf([] { return Int16(32767) + 1_i16; }), errc::Overflow);
  EXPECT_EQ(errorOf([] { return Int16(-32768) - 1_i16; }), errc::Overflow);
  EXPECT_EQ((Int16(-32767) - 1_i16).value(), -32768);
  EXPECT_EQ(errorOf([] { return Int16::of(Variant(40000)); }), errc::Overflow);
  EXPECT_EQ(Int16::of(Variant(2.5)).value(), 2);  // half to even
  EXPECT_EQ(errorOf([] { return quotient(5, 0); }), errc::DivisionByZero);
  EXPECT_DOUBLE_EQ(quotient(2658, 4), 664.5);
}

TEST(ClipboardRows, CopyTextOfEachKindOfValue) {
  LocaleScope de(Locale::deDE());
  EXPECT_EQ(copied(Variant(7)), u" 7");
  EXPECT_EQ(copied(Variant(-1.5)), u"-1.5");  // a point whatever the locale
  EXPECT_EQ(copied(Variant(u"007")), u" 7");  // a text of digits reads as a number
  EXPECT_EQ(copied(Variant(u"1,5")), u" 1.5");
  EXPECT_EQ(copied(Variant(true)), u"-1");
  EXPECT_EQ(copied(Variant(false)), u" 0");
  EXPECT_EQ(copied(Variant::null()), u"");
  EXPECT_EQ(copied(Variant(u"Ann")), u"Ann");
  EXPECT_EQ(copied(Variant(u"a\tb")), u"a\tb");  // written unchanged
  EXPECT_EQ(copied(Variant::date(*makeDate(2024, 1, 2))), u"2024-01-02");
  EXPECT_EQ(copied(Variant::date(*makeDate(2024, 1, 2) + 0.75)), u"2024-01-02 18:00:00");
  EXPECT_EQ(copied(Variant::date(*makeDate(150, 3, 4))), u"0150-03-04");
  // Under de-DE 24.12.1998 reads as a number (points group thousands); the number test comes first.
  EXPECT_EQ(copied(Variant(u"24.12.1998")), u" 24121998");
  LocaleScope en(Locale::enUS());
  EXPECT_EQ(copied(Variant(u"12/24/1998")), u"1998-12-24");  // a text that reads as a date
}

// Each numeric type has its own short way to the copy's text; every one
// must write what the number-to-text rule writes for the value.
TEST(ClipboardRows, CopyTextOfEveryNumericTypeFollowsTheNumberRule) {
  LocaleScope de(Locale::deDE());
  const auto rule = [](const Variant& v) { return numberToText(toDouble(v)); };
  std::vector<Variant> values;
  for (const std::int64_t n : {std::int64_t{0}, std::int64_t{7}, std::int64_t{-7}, std::int64_t{999'999'999'999'999},
                               std::int64_t{-999'999'999'999'999}, std::int64_t{1'000'000'000'000'000},
                               std::int64_t{-1'000'000'000'000'001}, std::numeric_limits<std::int64_t>::max(),
                               std::numeric_limits<std::int64_t>::min()})
    values.emplace_back(n);
  for (const double d : {0.0, -0.0, 0.25, -1234.5, 0.1 + 0.2, 1.0 / 3, 1e15, -1e-6, 36000.25, 123456789012345.6})
    values.emplace_back(d);
  values.insert(values.end(), {Variant(std::int16_t{-32768}), Variant(std::int32_t{2147483647}), Variant(std::uint8_t{255}),
                               Variant(0.1f), Variant(-2.5e-6f), Variant(true), Variant(false), Variant(CY{-12345}),
                               Variant(toDecimal(Variant(u"-0.5")))});
  for (const Variant& v : values) {
    if (v.type() == VT_DECIMAL) EXPECT_EQ(copied(v), numberToText(v));
    else EXPECT_EQ(copied(v), rule(v)) << toUtf8(toText(v));
  }
  // Dates before 1900 (negative serials) keep their time of day.
  EXPECT_EQ(copied(Variant::date(*makeDate(1850, 6, 30) - 0.5)), u"1850-06-30 12:00:00");
  EXPECT_EQ(copied(Variant::date(*makeDate(100, 1, 1) - 0.999988425925926)), u"0100-01-01 23:59:59");
  EXPECT_EQ(copied(Variant::date(*makeDate(9999, 12, 31) + 1.0 / 86400)), u"9999-12-31 00:00:01");
  EXPECT_EQ(copied(Variant(u"name123")), u"name123");
}

TEST(ClipboardRows, CopiedDatesReadBackInEveryLocale) {
  for (const Locale& locale : {Locale::enUS(), Locale::deDE()}) {
    LocaleScope scope(locale);
    for (DATE d : {*makeDate(2024, 1, 2), *makeDate(1998, 12, 24), *makeDate(2024, 2, 29), *makeDate(1899, 12, 30),
                   *makeDate(100, 1, 1), *makeDate(9999, 12, 31)}) {
      const auto stored = pasteValue(copied(Variant::date(d)), frame::FieldType::Date);
      ASSERT_TRUE(stored.has_value());
      EXPECT_EQ(stored->valueType(), VT_DATE);
      EXPECT_EQ(stored->VARIANT::date, d) << toUtf8(copied(Variant::date(d)));
    }
  }
}

TEST(ClipboardRows, CopiedNumbersReadBackInEveryLocale) {
  // The copy writes numbers with a point and without a zero before it; under
  // de-DE the point is the thousands separator, and " .5" reads as no number.
  for (const Locale& locale : {Locale::enUS(), Locale::deDE()}) {
    LocaleScope scope(locale);
    for (double v : {0.5, -0.25, 0.3, 1.5, 1234.5, 1.5E-07, -2E+15, 0.0}) {
      for (frame::FieldType type : {frame::FieldType::Double, frame::FieldType::Currency, frame::FieldType::Long}) {
        const std::u16string text = copied(Variant(v));
        const auto stored = pasteValue(text, type);
        ASSERT_TRUE(stored.has_value()) << toUtf8(text);
        EXPECT_EQ(stored->vt, VT_R8) << toUtf8(text);
        EXPECT_EQ(stored->dblVal, v) << toUtf8(text);
        EXPECT_EQ(copied(*stored), text);
      }
    }
    // Blanks after a number are no part of it, in every locale: a pasted
    // ".5 " is the number whose copy pastes back as the same number.
    for (const char16_t* cell : {u".5 ", u".0  ", u" .5 ", u"-1.5E-07 "}) {
      const auto stored = pasteValue(cell, frame::FieldType::Currency);
      ASSERT_TRUE(stored.has_value()) << toUtf8(cell);
      EXPECT_EQ(stored->vt, VT_R8) << toUtf8(cell);
      EXPECT_EQ(pasteValue(copied(*stored), frame::FieldType::Currency)->vt, VT_R8) << toUtf8(cell);
    }
    // What is not the copy's form stays text, as before.
    for (const char16_t* cell : {u" .", u"-", u" 1.5E", u".5.5", u"1E5x"})
      EXPECT_EQ(pasteValue(cell, frame::FieldType::Double)->vt, VT_BSTR) << toUtf8(cell);
  }
}

TEST(ClipboardRows, PasteValueByFieldType) {
  LocaleScope de(Locale::deDE());
  const auto stored = [](std::u16string_view cell, frame::FieldType type) { return pasteValue(cell, type); };
  // A number field: the leading number, a point as decimal separator.
  EXPECT_EQ(toDouble(*stored(u" 1.5", frame::FieldType::Double)), 1.5);
  EXPECT_EQ(stored(u" 1.5", frame::FieldType::Double)->valueType(), VT_R8);
  EXPECT_EQ(toDouble(*stored(u"-12", frame::FieldType::Long)), -12);
  // 1.5 reads as a date under de-DE; only a date field takes it as one.
  EXPECT_EQ(stored(u"1.5", frame::FieldType::Double)->valueType(), VT_R8);
  EXPECT_EQ(stored(u"1.5", frame::FieldType::Text)->valueType(), VT_BSTR);
  EXPECT_EQ(stored(u"2024-01-02", frame::FieldType::Text)->text(), u"2024-01-02");
  EXPECT_EQ(stored(u"2024-01-02 18:00:00", frame::FieldType::Date)->VARIANT::date, *makeDate(2024, 1, 2));
  // A text field keeps a number's text, without trailing blanks.
  EXPECT_EQ(stored(u" 7  ", frame::FieldType::Text)->text(), u" 7");
  EXPECT_EQ(stored(u"Ann ", frame::FieldType::Text)->text(), u"Ann");
  EXPECT_EQ(stored(u"   ", frame::FieldType::Text)->text(), u"");
  // Yes/no: any cell that does not start with a number is 0, True included.
  EXPECT_EQ(toDouble(*stored(u"True", frame::FieldType::Boolean)), 0);
  EXPECT_EQ(toDouble(*stored(u"-1", frame::FieldType::Boolean)), -1);
  EXPECT_EQ(toDouble(*stored(u"", frame::FieldType::Boolean)), 0);
  // An empty cell stores nothing.
  EXPECT_FALSE(stored(u"", frame::FieldType::Double).has_value());
  EXPECT_FALSE(stored(u"", frame::FieldType::Text).has_value());
  // Hexadecimal, and a number beyond a double.
  EXPECT_EQ(toDouble(*stored(u"&H10", frame::FieldType::Long)), 16);
  EXPECT_EQ(stored(u"1E999", frame::FieldType::Double)->valueType(), VT_BSTR);  // no number: the engine judges the text
  EXPECT_EQ(errorOf([&] { stored(u"1E999", frame::FieldType::Boolean); }), errc::Overflow);
}

// The cells of a text, "|" after a record's last pass.
std::u16string cut(std::u16string_view text, int fields) {
  PasteCells cells(text);
  std::u16string out;
  for (int f = 0;; f = (f + 1) % fields) {
    const PasteCells::Cell cell = cells.next(f == 0);
    out += cell.text;
    out += f == fields - 1 ? u";" : u",";
    if (cell.last) return out;
  }
}

TEST(ClipboardRows, CellsAreCutByTabsAndCarriageReturns) {
  EXPECT_EQ(cut(u" 7\tAnn\t\r 12\tBob\tx\r", 3), u" 7,Ann,; 12,Bob,x;");
  // The carriage return ends a cell but does not restart the field count:
  // rows of two cells for three fields leave a record without its first tab.
  EXPECT_EQ(errorOf([] { cut(u"a\tb\rc\td\r", errc::ReturnWithoutGoSub); }), errc::InvalidProcedureCall);
  // Text that ends before a record's last field.
  EXPECT_EQ(cut(u"a\tb\r", 3), u"a,b,");
  // A tab inside a first cell's text: it is cut at the first tab.
  EXPECT_EQ(cut(u"a\rb\tc\r", 2), u"a\rb,c;");
  // Text that ends without a carriage return, or a row without its tab.
  EXPECT_EQ(errorOf([] { cut(u"a\tb", 2); }), errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([] { cut(u"a\tb\tc", errc::ReturnWithoutGoSub); }), errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([] { cut(u"a\tb\tc\r", 2); }), errc::InvalidProcedureCall);
  // Invalid UTF-16 and NULs are cells like any other.
  const std::u16string junk{u'\xD800', u'\0', u'\t', u'\xDFFF', u'\r'};
  EXPECT_EQ(cut(junk, 2), std::u16string({u'\xD800', u'\0', u',', u'\xDFFF', u';'}));
}

TEST(ClipboardRows, CuttingALargeTextTakesLinearTime) {
  // 1 MiB of rows of two cells; quadratic cutting would take minutes here.
  std::u16string text;
  while (text.size() < (1u << 20)) text += u"abcdefgh\t12345678\r";
  PasteCells cells(text);
  std::size_t count = 0;
  for (bool first = true;; first = !first) {
    ++count;
    if (cells.next(first).last) break;
  }
  EXPECT_EQ(count, 2 * (text.size() / 18));
}

// Which records a record source shows, and the statement that deletes
// them, are the data engine's (tests/engine/SqlDialect_test.cpp).
TEST(ClipboardRows, DeleteAllWantsATableNamedWithTbl) {
  for (const char16_t* source : {u"tblOrders", u"[tbl Orders]", u"Select * From Orders Where Note = 'tbl'",
                                 u"qrytblOpen", u"Select * From tblA, tblB"})
    EXPECT_EQ(errorOf([&] { requireDeleteAllSource(source); }), 0) << toUtf8(source);
  // No "tbl" at all.
  EXPECT_EQ(errorOf([] { requireDeleteAllSource(u"Orders"); }), errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([] { requireDeleteAllSource(u""); }), errc::InvalidProcedureCall);
}

}  // namespace
}  // namespace tarnwick::ocx
