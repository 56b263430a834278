#include "../automation/ErrorOf.h"
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace tarnwick {
namespace {

using testing::column;
using testing::errorOf;
using testing::makeOrdersDatabase;
using testing::sqliteShell;
using testing::TempDir;
using testing::u16;

std::int32_t count(const Object& db, const char16_t* table) {
  return toInt32(Object(db.call(u"TableDefs", table)).get(u"RecordCount"));
}

class DatabaseOn : public testing::OnBackends {};

TEST_P(DatabaseOn, ExecuteRunsOneActionStatement) {
  Object db = makeOrdersDatabase(fresh());
  EXPECT_EQ(toText(db.get(u"Name")), shown());
  db.call(u"Execute", u"UPDATE Orders SET Note = 'done' WHERE Orders.[Qty]=5 and Paid = True");
  EXPECT_EQ(toInt32(db.get(u"RecordsAffected")), 2);
  db.call(u"Execute", u"Delete * From Orders Where OrderDate > DateValue('3/1/98');");
  EXPECT_EQ(count(db, u"Orders"), 3);
  db.call(u"Execute", u"Delete Orders.* From Orders Where Customer Like 'S*'");
  EXPECT_EQ(count(db, u"Orders"), 1);
  db.call(u"Execute", u"DELETE FROM Orders");
  EXPECT_EQ(count(db, u"Orders"), 0);

  // A second statement is refused and nothing of the text runs.
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"Delete * From Customers; Delete * From Orders"); }), errc::TrailingCharacters);
  EXPECT_EQ(count(db, u"Customers"), 3);
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"Select * From Customers"); }), errc::SelectNotAction);
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"Delete * From Nowhere"); }), errc::TableNotFound);
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"Drop everything"); }), errc::InvalidStatement);
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"Delete * From Customers Where Name = = 'x'"); }), errc::SyntaxError);
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"Delete * From Customers Where Nobody = 1"); }), errc::TooFewParameters);
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"CREATE TABLE Broken (A TEXT(0))"); }), errc::SyntaxErrorDdl);
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"CREATE TABLE Broken (A WHATEVER)"); }), errc::SyntaxErrorDdl);
  // A statement that fails halfway leaves nothing changed.
  db.call(u"Execute", u"INSERT INTO Orders (OrderId, Customer) VALUES (1, 'a')");
  db.call(u"Execute", u"INSERT INTO Orders (OrderId, Customer) VALUES (3, 'c')");
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"UPDATE Orders SET OrderId = 3 WHERE OrderId = 1 OR OrderId = 3"); }),
            3022);
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"Orders")), u"OrderId"), u"1,3");
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"INSERT INTO Customers (City) VALUES ('Nowhere')"); }), errc::RequiredNull);

  db.call(u"Close");
  EXPECT_EQ(errorOf([&] { db.call(u"Execute", u"DELETE FROM Orders"); }), errc::ObjectInvalid);
}

TEST_P(DatabaseOn, TableDefsDescribeFieldsAndIndexes) {
  Object db = makeOrdersDatabase(fresh());
  Object tables(db.get(u"TableDefs"));
  EXPECT_EQ(toInt32(tables.get(u"Count")), 2);  // the engine's own table stays hidden
  Object orders(tables.call(u"Item", u"orders"));
  EXPECT_EQ(toText(orders.get(u"Name")), u"Orders");
  Object fields(orders.get(u"Fields"));
  const struct {
    const char16_t* name;
    int type;
    int size;
  } expected[] = {{u"OrderId", 4, 4},  {u"CustomerId", 4, 4}, {u"Customer", 10, 30}, {u"Qty", 3, 2},
                  {u"OrderDate", 8, 8}, {u"Paid", 1, 1},      {u"Price", 5, 8},      {u"Note", 10, 10}};
  ASSERT_EQ(toInt32(fields.get(u"Count")), 8);
  for (int i = 0; i < 8; ++i) {
    Object f(fields.call(u"Item", i));
    EXPECT_EQ(toText(f.get(u"Name")), expected[i].name);
    EXPECT_EQ(toInt32(f.get(u"Type")), expected[i].type) << i;
    EXPECT_EQ(toInt32(f.get(u"Size")), expected[i].size) << i;
  }
  Object customers(db.call(u"TableDefs", u"Customers"));
  Object key(customers.get(u"Fields", {Variant(u"CustomerId")}));
  EXPECT_EQ(toInt32(key.get(u"Attributes")) & 0x10, 0x10);  // automatic
  Object name(customers.get(u"Fields", {Variant(u"Name")}));
  EXPECT_TRUE(toBool(name.get(u"Required")));
  EXPECT_FALSE(toBool(name.get(u"AllowZeroLength")));
  name.put(u"AllowZeroLength", Variant(true));  // kept in the file
  Object rs(db.call(u"OpenRecordset", u"Customers"));
  rs.call(u"AddNew");
  rs.put(u"Collect", {Variant(u"Name")}, Variant(u""));
  rs.call(u"Update");
  rs.call(u"Close");
  Object indexes(orders.get(u"Indexes"));
  EXPECT_EQ(toInt32(indexes.get(u"Count")), 3);
  Object primary(indexes.call(u"Item", u"PrimaryKey"));
  EXPECT_TRUE(toBool(primary.get(u"Primary")));
  Object composite(indexes.call(u"Item", u"ByCustomerDate"));
  EXPECT_TRUE(toBool(composite.get(u"Unique")));
  EXPECT_EQ(toInt32(Object(composite.get(u"Fields")).get(u"Count")), 2);
  EXPECT_EQ(toText(Object(Object(composite.get(u"Fields")).call(u"Item", 1)).get(u"Name")), u"OrderDate");
  EXPECT_EQ(errorOf([&] { indexes.call(u"Item", u"Nope"); }), errc::ItemNotFound);
  EXPECT_EQ(errorOf([&] { db.call(u"TableDefs", u"Nope"); }), errc::ItemNotFound);
  db.call(u"Execute", u"DROP INDEX ByCustomer ON Orders");
  db.call(u"Execute", u"DROP TABLE Customers");
  EXPECT_EQ(toInt32(Object(db.get(u"TableDefs")).get(u"Count")), 1);
}

TEST(Database, FilesOpenInTheStockShellAndBack) {
  TempDir dir;
  {
    Object db = makeOrdersDatabase(dir / "orders.db");
    db.call(u"Close");
  }
  // What the engine wrote, read by the shell: dates as day serials.
  EXPECT_EQ(sqliteShell(dir / "orders.db", "SELECT OrderId, Customer, Qty, Paid FROM Orders WHERE Qty = 5 ORDER BY OrderId;"),
            "1|Smith|5|-1\n4|Miller|5|-1\n");
  EXPECT_EQ(sqliteShell(dir / "orders.db", "PRAGMA integrity_check;"), "ok\n");

  // A database the shell made with ordinary types opens with sensible fields.
  const auto made = dir / "shell.db";
  sqliteShell(made,
        "CREATE TABLE People (id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL, born DATE, height REAL, "
        "active BOOLEAN, notes TEXT, visits INT, photo BLOB);"
        "INSERT INTO People (name, born, height, active, notes, visits) VALUES "
        "('Ann', '1970-05-17', 1.7, 1, 'x', 3), ('Bob', '1980-01-02 10:30:00', NULL, 0, NULL, 12);"
        "CREATE INDEX people_name ON People (name);");
  Object db(testing::engineObject().call(u"OpenDatabase", u16(made)));
  Object people(db.call(u"TableDefs", u"People"));
  const int types[] = {4, 10, 8, 7, 1, 12, 4, 11};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(toInt32(Object(people.get(u"Fields", {Variant(i)})).get(u"Type")), types[i]) << i;
  EXPECT_EQ(toInt32(Object(people.get(u"Fields", {Variant(1)})).get(u"Size")), 40);
  Object rs(db.call(u"OpenRecordset", u"People"));
  EXPECT_EQ(rs.get(u"Collect", {Variant(u"born")}).valueType(), VT_DATE);
  EXPECT_EQ(toText(rs.get(u"Collect", {Variant(u"born")})), u"5/17/1970");
  EXPECT_TRUE(toBool(rs.get(u"Collect", {Variant(u"active")})));
  // Dates kept as text compare as dates.
  rs.call(u"FindFirst", u"born > #12/31/1975#");
  EXPECT_EQ(toText(rs.get(u"Collect", {Variant(u"name")})), u"Bob");
  rs.put(u"Index", Variant(u"people_name"));
  rs.call(u"Seek", u"=", u"Ann");
  EXPECT_FALSE(toBool(rs.get(u"NoMatch")));
  rs.call(u"AddNew");
  EXPECT_EQ(toInt32(rs.get(u"Collect", {Variant(u"id")})), 3);
  rs.put(u"Collect", {Variant(u"name")}, Variant(u"Cid"));
  rs.put(u"Collect", {Variant(u"born")}, Variant(u"2/3/2001"));
  rs.call(u"Update");
  db.call(u"Close");
  EXPECT_EQ(sqliteShell(made, "SELECT id, name, born FROM People WHERE id = 3;"), "3|Cid|36925\n");  // 3 February 2001 as a day serial
}

TEST(Database, RecordsetsOutliveTheirDatabaseObjectUntilClose) {
  TempDir dir;
  makeOrdersDatabase(dir / "orders.db").call(u"Close");
  Object rs;
  {
    Object db(testing::engineObject().call(u"OpenDatabase", u16(dir / "orders.db")));
    rs = Object(db.call(u"OpenRecordset", u"Orders"));
  }
  EXPECT_EQ(column(rs, u"OrderId"), u"1,2,3,4,5");
  Object db(testing::engineObject().call(u"OpenDatabase", u16(dir / "orders.db")));
  Object open(db.call(u"OpenRecordset", u"Orders"));
  db.call(u"Close");
  EXPECT_EQ(errorOf([&] { open.call(u"MoveNext"); }), errc::ObjectInvalid);
  EXPECT_EQ(errorOf([&] { open.get(u"Collect", {Variant(0)}); }), errc::ObjectInvalid);
  EXPECT_EQ(errorOf([&] { db.call(u"Close"); }), errc::ObjectInvalid);
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

TEST(Database, SelectListsKeepTheirDateColumns) {
  testing::TempDir dir;
  Object db = testing::makeOrdersDatabase(dir / "orders.db");
  for (const char16_t* sql :
       {u"Select OrderId, OrderDate From Orders Where OrderDate < #2/1/1998# Order By OrderDate",
        u"Select DISTINCTROW OrderId, OrderDate AS Ordered From Orders Where OrderDate < #2/1/1998# Order By OrderId"}) {
    const Object rs(db.call(u"OpenRecordset", sql));
    const Object date(Object(rs.get(u"Fields")).get(u"Item", {Variant(1)}));
    EXPECT_EQ(toInt32(date.get(u"Type")), 8) << toUtf8(sql);  // a date, not the number it is stored as
    EXPECT_EQ(date.value().valueType(), VT_DATE);
    EXPECT_EQ(testing::column(rs, u"OrderId"), u"1,2");  // the condition still compares dates
  }
  const Object named(db.call(u"OpenRecordset", u"Select OrderId, OrderDate From Orders"));
  EXPECT_EQ(Object(Object(named.get(u"Fields")).get(u"Item", {Variant(1)})).get(u"Name").text(), u"OrderDate");
}

}  // namespace
INSTANTIATE_TEST_SUITE_P(Backends, DatabaseOn, testing::kBothBackends, testing::backendName);

}  // namespace tarnwick
