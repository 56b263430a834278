#include "../automation/ErrorOf.h"
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using testing::errorOf;
using testing::TempDir;
using testing::u16;

class FieldOn : public testing::OnBackends {};

TEST_P(FieldOn, AssignmentsConvertToTheFieldsType) {
  Object db(testing::engineObject().call(u"CreateDatabase", fresh()));
  db.call(u"Execute",
          u"CREATE TABLE T (Id COUNTER PRIMARY KEY, Flag BIT, Small BYTE, Whole SHORT, Big LONG, Money CURRENCY, "
          u"Single SINGLE, Real DOUBLE, Day DATETIME, Name TEXT(5), Long MEMO, Huge BIGINT)");
  Object rs(db.call(u"OpenRecordset", u"T"));
  Object fields(rs.get(u"Fields"));
  const int codes[] = {4, 1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 16};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(toInt32(Object(fields.call(u"Item", i)).get(u"Type")), codes[i]) << i;
  rs.call(u"AddNew");
  const auto set = [&](const char16_t* name, const Variant& v) { rs.put(u"Collect", {Variant(name)}, v); };
  const auto get = [&](const char16_t* name) { return rs.get(u"Collect", {Variant(name)}); };
  set(u"Flag", Variant(u"True"));
  EXPECT_EQ(get(u"Flag").valueType(), VT_BOOL);
  set(u"Flag", Variant(u"0"));
  EXPECT_FALSE(toBool(get(u"Flag")));
  set(u"Small", Variant(u"200"));
  EXPECT_EQ(get(u"Small").valueType(), VT_UI1);
  EXPECT_EQ(errorOf([&] { set(u"Small", Variant(300)); }), errc::ConversionError);
  EXPECT_EQ(errorOf([&] { set(u"Whole", Variant(40000)); }), errc::ConversionError);
  set(u"Whole", Variant(2.5));  // rounds half to even
  EXPECT_EQ(toInt32(get(u"Whole")), 2);
  set(u"Big", Variant(u" 1,234 "));
  EXPECT_EQ(toInt32(get(u"Big")), 1234);
  set(u"Money", Variant(u"12.34567"));
  EXPECT_EQ(get(u"Money").valueType(), VT_CY);
  EXPECT_EQ(toText(get(u"Money")), u"12.3457");
  set(u"Single", Variant(0.1));
  EXPECT_EQ(get(u"Single").valueType(), VT_R4);
  set(u"Real", Variant(u"1e3"));
  EXPECT_EQ(toDouble(get(u"Real")), 1000.0);
  set(u"Day", Variant(36000.5));  // a number is a date serial
  EXPECT_EQ(get(u"Day").valueType(), VT_DATE);
  set(u"Name", Variant(12.5));  // a number into a text field becomes its text
  EXPECT_EQ(toText(get(u"Name")), u"12.5");
  set(u"Long", Variant(std::u16string(1000, u'x')));
  set(u"Huge", Variant(u"9000000000"));
  EXPECT_EQ(get(u"Huge").valueType(), VT_I8);
  for (const char16_t* name : {u"Flag", u"Small", u"Whole", u"Big", u"Money", u"Single", u"Real", u"Day"})
    EXPECT_EQ(errorOf([&] { set(name, Variant(u"abc")); }), errc::ConversionError) << toUtf8(name);
  EXPECT_EQ(errorOf([&] { set(u"Name", Variant(u"toolong")); }), errc::FieldTooSmall);
  set(u"Name", Variant::null());
  rs.call(u"Update");
  rs.call(u"MoveFirst");
  EXPECT_TRUE(get(u"Name").isNull());
  EXPECT_EQ(toText(get(u"Money")), u"12.3457");
  EXPECT_EQ(toDouble(get(u"Day")), 36000.5);
  EXPECT_EQ(toText(get(u"Huge")), u"9000000000");
  EXPECT_EQ(toInt32(get(u"Id")), 1);
  EXPECT_EQ(Object(fields.call(u"Item", u"Day")).typeName(), u"Field");

  // The criteria the search routines build from check boxes and operators.
  rs.call(u"FindFirst", u"T.[Flag] Like '0'");
  EXPECT_FALSE(toBool(rs.get(u"NoMatch")));
  rs.call(u"FindFirst", u"T.[Flag]=-1");
  EXPECT_TRUE(toBool(rs.get(u"NoMatch")));
  rs.call(u"FindFirst", u"T.[Long]>''");
  EXPECT_FALSE(toBool(rs.get(u"NoMatch")));
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"T.[Long] Like 'O'Brien'"); }), errc::SyntaxError);
}

INSTANTIATE_TEST_SUITE_P(Backends, FieldOn, testing::kBothBackends, testing::backendName);

}  // namespace
}  // namespace tarnwick
