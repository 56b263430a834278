#include "../automation/ErrorOf.h"
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/engine/SampleDatabase.h>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using testing::errorOf;
using testing::TempDir;
using testing::u16;

TEST(SampleDatabase, MakesTheOrdersDatabaseOfAnySize) {
  TempDir dir;
  engine::createSampleDatabase(dir / "sample.db", 250);
  Object db(testing::engineObject().call(u"OpenDatabase", u16(dir / "sample.db")));
  const auto count = [&](const char16_t* table) { return toInt32(Object(db.call(u"TableDefs", table)).get(u"RecordCount")); };
  EXPECT_EQ(count(u"Orders"), 250);
  EXPECT_EQ(count(u"Customers"), 26);
  EXPECT_EQ(count(u"OrderLines"), 500);
  Object lines(db.call(u"TableDefs", u"OrderLines"));
  EXPECT_EQ(toInt32(Object(lines.get(u"Fields", {Variant(u"LineId")})).get(u"Attributes")) & 0x10, 0x10);
  Object orders(db.call(u"OpenRecordset", u"Orders"));
  EXPECT_EQ(toInt32(Object(orders.get(u"Fields", {Variant(u"Paid")})).get(u"Type")), 1);
  EXPECT_EQ(toInt32(Object(orders.get(u"Fields", {Variant(u"Note")})).get(u"Size")), 40);
  orders.call(u"FindFirst", u"Note Is Null");
  EXPECT_FALSE(toBool(orders.get(u"NoMatch")));
  Object joined(db.call(u"OpenRecordset",
                        u"Select * From Orders,Customers WHERE Orders.CustomerId = Customers.CustomerId and "
                        u"Orders.[Qty]=5 and Customers.[City] Like 'B*'"));
  EXPECT_FALSE(toBool(joined.get(u"EOF")));
  // The same size gives the same records; an existing file is kept.
  engine::createSampleDatabase(dir / "again.db", 250);
  EXPECT_EQ(std::filesystem::file_size(dir / "sample.db"), std::filesystem::file_size(dir / "again.db"));
  EXPECT_EQ(errorOf([&] { engine::createSampleDatabase(dir / "sample.db", errc::InvalidProcedureCall); }), errc::DatabaseExists);
  EXPECT_EQ(count(u"Orders"), 250);
  EXPECT_EQ(errorOf([&] { engine::createSampleDatabase(dir / "none" / "x.db", errc::InvalidProcedureCall); }), errc::CannotOpenDatabase);
}

}  // namespace
}  // namespace tarnwick
