#include "../automation/ErrorOf.h"

#include <tarnwick/frame/TagDirectives.h>

#include <gtest/gtest.h>

namespace tarnwick::frame::tags {
namespace {

using tarnwick::testing::errorOf;

std::u16string bindingText(std::u16string_view tag) {
  const auto b = binding(tag);
  return b ? b->table + u"|" + b->field : u"none";
}
std::u16string searchText(std::u16string_view tag) {
  const auto s = search(tag);
  return s ? s->table + u"|" + s->field : u"none";
}

TEST(TagDirectives, TheWorkedExamples) {
  EXPECT_EQ(bindingText(u"Orders([Qty])"), u"Orders|Qty");
  EXPECT_EQ(bindingText(u"Orders([Qty])!Number"), u"Orders|Qty");
  EXPECT_EQ(saveTypeWord(u"Orders([Qty])!Number"), u"Number");
  EXPECT_EQ(searchTypeWord(u"Orders([Qty])"), std::nullopt);
  EXPECT_EQ(bindingText(u"S=Orders([Qty])!Number;"), u"S=Orders|Qty");  // matches no record source
  EXPECT_EQ(searchText(u"S=Orders([Qty])!Number;"), u"Orders|Qty");
  EXPECT_EQ(searchTypeWord(u"S=Orders([Qty])!Number;"), u"Number");
  EXPECT_EQ(saveTypeWord(u"S=Orders([Qty])!Number;"), u"Number;");
  EXPECT_EQ(searchText(u"S=Orders['OrderDate']!Date;"), u"Orders|OrderDate");
  EXPECT_EQ(searchTypeWord(u"S=Orders['OrderDate']!Date;"), u"Date");
  EXPECT_EQ(bindingText(u"Customers([City])M=Town"), u"Customers|City");
  EXPECT_EQ(mergeField(u"Customers([City])M=Town"), u"Town");
}

TEST(TagDirectives, EdgeCases) {
  EXPECT_EQ(bindingText(u""), u"none");
  EXPECT_EQ(searchText(u""), u"none");
  EXPECT_EQ(mergeField(u""), std::nullopt);
  EXPECT_EQ(searchText(u"s=Orders([Qty])"), u"none");  // case-sensitive
  EXPECT_EQ(mergeField(u"m=Town"), std::nullopt);
  EXPECT_EQ(bindingText(u"Orders(Qty)"), u"Orders|t");  // the enclosing characters are dropped unseen
  EXPECT_EQ(searchText(u"S=Orders[(Qty)]"), u"Orders[|t");  // "(" opens, so "Q" and "y" enclose
  EXPECT_EQ(bindingText(u"Orders([Qty])S=Orders([Qty])"), u"Orders|Qty");
  EXPECT_EQ(searchText(u"Orders([Qty])S=Orders([Qty])"), u"Orders|Qty");
  EXPECT_EQ(bindingText(u"M=x Orders([Qty])"), u"M=x Orders|Qty");  // a later binding is not found
  EXPECT_EQ(mergeField(u"M=Name S=T([f])!Number"), u"Name S=T([f])!Number");
  EXPECT_EQ(bindingText(u" Orders ([ Qty ])"), u" Orders | Qty ");  // blanks are part of names
  EXPECT_EQ(saveTypeWord(u"!Number"), u"Number");
  EXPECT_EQ(searchTypeWord(u"!x;S=T([f])"), u"x");  // the first "!" counts wherever it stands
  EXPECT_EQ(bindingText(u"T(ab)"), u"T|");
}

TEST(TagDirectives, MalformedDirectivesAreError5) {
  EXPECT_EQ(errorOf([] { binding(u"Orders([Qty]"); }), errc::InvalidProcedureCall);   // no ")"
  EXPECT_EQ(errorOf([] { binding(u")Orders(x"); }), errc::InvalidProcedureCall);      // ")" before "("
  EXPECT_EQ(errorOf([] { binding(u"T(x)"); }), errc::InvalidProcedureCall);          // too short
  EXPECT_EQ(errorOf([] { search(u"S=Orders"); }), errc::InvalidProcedureCall);       // no opening delimiter
  EXPECT_EQ(errorOf([] { search(u"S=Orders([Qty"); }), errc::InvalidProcedureCall);  // no closing delimiter
  EXPECT_EQ(errorOf([] { searchTypeWord(u"S=T([f])!Number"); }), errc::InvalidProcedureCall);  // no ";"
  EXPECT_EQ(saveTypeWord(u"S=T([f])!Number"), u"Number");
}

}  // namespace
}  // namespace tarnwick::frame::tags
