#include "../automation/ErrorOf.h"
#include "EngineTesting.h"
#include "../frame/LiveHeap.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/automation/Object.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace tarnwick {
namespace {

using testing::column;
using testing::errorOf;
using testing::makeOrdersDatabase;
using testing::TempDir;

Variant field(const Object& rs, const char16_t* name) { return rs.get(u"Collect", {Variant(name)}); }
bool eof(const Object& rs) { return toBool(rs.get(u"EOF")); }
bool bof(const Object& rs) { return toBool(rs.get(u"BOF")); }

class RecordsetOn : public testing::OnBackends {};

TEST_P(RecordsetOn, CursorMovesAndStopsAtBothEnds) {
  Object db = makeOrdersDatabase(fresh());
  for (int type : {1, 2, 4}) {
    SCOPED_TRACE(type);
    Object rs(db.call(u"OpenRecordset", u"Orders", type));
    EXPECT_FALSE(bof(rs));
    EXPECT_FALSE(eof(rs));
    EXPECT_EQ(toInt32(field(rs, u"OrderId")), 1);
    EXPECT_EQ(toInt32(rs.get(u"RecordCount")), 1);  // reached so far
    rs.call(u"MoveNext");
    rs.call(u"MoveNext");
    EXPECT_EQ(toInt32(field(rs, u"OrderId")), 3);
    rs.call(u"MovePrevious");
    EXPECT_EQ(toInt32(field(rs, u"OrderId")), 2);
    rs.call(u"MoveLast");
    EXPECT_EQ(toInt32(field(rs, u"OrderId")), 5);
    EXPECT_EQ(toInt32(rs.get(u"RecordCount")), 5);
    EXPECT_EQ(toInt32(rs.get(u"AbsolutePosition")), 4);
    rs.call(u"MoveNext");
    EXPECT_TRUE(eof(rs));
    EXPECT_FALSE(bof(rs));
    EXPECT_EQ(errorOf([&] { field(rs, u"OrderId"); }), errc::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs.call(u"MoveNext"); }), errc::NoCurrentRecord);
    rs.call(u"MovePrevious");
    EXPECT_EQ(toInt32(field(rs, u"OrderId")), 5);
    rs.call(u"MoveFirst");
    rs.call(u"MovePrevious");
    EXPECT_TRUE(bof(rs));
    EXPECT_EQ(errorOf([&] { rs.call(u"MovePrevious"); }), errc::NoCurrentRecord);
    rs.call(u"MoveNext");
    EXPECT_EQ(toInt32(field(rs, u"OrderId")), 1);
    rs.call(u"Move", 3);
    EXPECT_EQ(toInt32(field(rs, u"OrderId")), 4);
    rs.call(u"Move", -2);
    EXPECT_EQ(toInt32(field(rs, u"OrderId")), 2);
    rs.put(u"AbsolutePosition", Variant(2));
    EXPECT_EQ(toInt32(field(rs, u"OrderId")), 3);
    EXPECT_EQ(column(rs, u"Customer"), u"Smith,Jones,Smith,Miller,jones");
  }

  // An empty recordset is at both ends at once.
  db.call(u"Execute", u"CREATE TABLE Empty (Id LONG)");
  for (int type : {1, 2, 4, 8}) {
    Object rs(db.call(u"OpenRecordset", u"Empty", type));
    EXPECT_TRUE(bof(rs));
    EXPECT_TRUE(eof(rs));
    EXPECT_EQ(toInt32(rs.get(u"RecordCount")), 0);
    EXPECT_EQ(errorOf([&] { rs.call(u"MoveNext"); }), errc::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { field(rs, u"Id"); }), errc::NoCurrentRecord);
    rs.call(u"MoveFirst");
    EXPECT_TRUE(eof(rs));
  }
}

TEST_P(RecordsetOn, ForwardOnlyReadsOnceAndRefusesGoingBack) {
  Object db = makeOrdersDatabase(fresh());
  Object rs(db.call(u"OpenRecordset", u"Select * From Orders Order By Qty DESC, OrderId", 8));
  EXPECT_EQ(column(rs, u"OrderId"), u"5,2,1,4,3");
  EXPECT_EQ(errorOf([&] { rs.call(u"MovePrevious"); }), errc::OperationNotSupported);
  EXPECT_EQ(errorOf([&] { rs.get(u"Bookmark"); }), errc::OperationNotSupported);
  EXPECT_FALSE(toBool(rs.get(u"Bookmarkable")));
}

TEST_P(RecordsetOn, BookmarksSurviveMoves) {
  Object db = makeOrdersDatabase(fresh());
  Object rs(db.call(u"OpenRecordset", u"Select * From Orders Where Qty > 2 Order By Customer"));
  EXPECT_EQ(column(rs, u"OrderId"), u"2,5,4,1");  // the engine's text order ignores letter case
  rs.call(u"MoveFirst");
  rs.call(u"MoveNext");
  const Variant second = rs.get(u"Bookmark");
  rs.call(u"MoveLast");
  const Variant last = rs.get(u"Bookmark");
  rs.put(u"Bookmark", second);
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 5);
  rs.call(u"MoveNext");
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 4);
  rs.put(u"Bookmark", last);
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 1);
  EXPECT_EQ(errorOf([&] { rs.put(u"Bookmark", Variant(u"garbage")); }), errc::InvalidBookmark);
  // A bookmark of another recordset's record works where the record belongs.
  Object other(db.call(u"OpenRecordset", u"Orders", 2));
  other.call(u"FindFirst", u"OrderId = 4");
  rs.put(u"Bookmark", other.get(u"Bookmark"));
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 4);
  rs.call(u"MovePrevious");
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 5);
}

TEST_P(RecordsetOn, AddEditUpdateCancelAndDelete) {
  Object db = makeOrdersDatabase(fresh());
  Object rs(db.call(u"OpenRecordset", u"Customers", 2));
  rs.call(u"MoveLast");
  rs.call(u"AddNew");
  EXPECT_EQ(toInt32(rs.get(u"EditMode")), 2);
  EXPECT_EQ(toInt32(field(rs, u"CustomerId")), 4);  // the automatic key, given at AddNew
  rs.put(u"Collect", {Variant(u"Name")}, Variant(u"Baker"));
  Object(rs.get(u"Fields", {Variant(u"City")})).put(u"Value", Variant(u"Bremen"));
  rs.call(u"Update");
  EXPECT_EQ(toInt32(rs.get(u"EditMode")), 0);
  EXPECT_EQ(toText(field(rs, u"Name")), u"Miller");  // the current record stays
  rs.put(u"Bookmark", rs.get(u"LastModified"));
  EXPECT_EQ(toText(field(rs, u"City")), u"Bremen");
  EXPECT_EQ(column(rs, u"Name"), u"Smith,Jones,Miller,Baker");

  // Edit, then CancelUpdate: nothing changes.
  rs.call(u"MoveFirst");
  rs.call(u"Edit");
  rs.put(u"Collect", {Variant(u"City")}, Variant(u"Paris"));
  EXPECT_EQ(toText(field(rs, u"City")), u"Paris");
  rs.call(u"CancelUpdate");
  EXPECT_EQ(toText(field(rs, u"City")), u"Berlin");
  rs.call(u"Edit");
  rs.put(u"Collect", {Variant(u"City")}, Variant(u"Köln"));
  rs.call(u"Update");
  EXPECT_EQ(toText(field(rs, u"City")), u"Köln");

  // Refusals: no edit open, no current record, a required field, a text too
  // long, a value that does not convert, the automatic key.
  EXPECT_EQ(errorOf([&] { rs.put(u"Collect", {Variant(u"City")}, Variant(u"x")); }), errc::NoAddNewOrEdit);
  EXPECT_EQ(errorOf([&] { rs.call(u"Update"); }), errc::NoAddNewOrEdit);
  EXPECT_EQ(errorOf([&] { rs.call(u"CancelUpdate"); }), errc::NoAddNewOrEdit);
  rs.call(u"AddNew");
  EXPECT_EQ(errorOf([&] { rs.put(u"Collect", {Variant(u"City")}, Variant(u"a city name much too long")); }), errc::FieldTooSmall);
  EXPECT_EQ(errorOf([&] { rs.put(u"Collect", {Variant(u"CustomerId")}, Variant(9)); }), errc::FieldNotUpdatable);
  try {
    rs.call(u"Update");
    FAIL() << "a Null in a required field was saved";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::RequiredNull);
    EXPECT_EQ(e.description(),
              u"The field 'Name' cannot contain a Null value because the Required property for this field is set to "
              u"True. Enter a value in this field.");
  }
  rs.put(u"Collect", {Variant(u"Name")}, Variant(u""));
  EXPECT_EQ(errorOf([&] { rs.call(u"Update"); }), errc::ZeroLength);  // zero length not allowed
  rs.call(u"CancelUpdate");
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"Customers")), u"Name"), u"Smith,Jones,Miller,Baker");

  Object orders(db.call(u"OpenRecordset", u"Orders"));
  orders.call(u"Edit");
  EXPECT_EQ(errorOf([&] { orders.put(u"Collect", {Variant(u"Qty")}, Variant(u"many")); }), errc::ConversionError);
  orders.put(u"Collect", {Variant(u"Qty")}, Variant(u"12"));  // a text that is a number
  EXPECT_EQ(field(orders, u"Qty").valueType(), VT_I2);
  orders.put(u"Collect", {Variant(u"OrderDate")}, Variant(u"3/4/1999"));
  EXPECT_EQ(field(orders, u"OrderDate").valueType(), VT_DATE);
  EXPECT_EQ(errorOf([&] { orders.put(u"Collect", {Variant(u"OrderDate")}, Variant(u"soon")); }), errc::ConversionError);
  orders.put(u"Collect", {Variant(u"Paid")}, Variant(u"True"));
  orders.call(u"Update");
  EXPECT_EQ(toInt32(field(orders, u"Qty")), 12);
  EXPECT_TRUE(toBool(field(orders, u"Paid")));
  // A duplicate key is refused at Update and nothing is saved.
  orders.call(u"AddNew");
  orders.put(u"Collect", {Variant(u"OrderId")}, Variant(3));
  EXPECT_EQ(errorOf([&] { orders.call(u"Update"); }), errc::DuplicateKey);
  orders.put(u"Collect", {Variant(u"OrderId")}, Variant(6));
  orders.call(u"Update");

  // Delete: the record goes; the position stays until the next move.
  orders.call(u"MoveFirst");
  orders.call(u"Delete");
  EXPECT_EQ(errorOf([&] { field(orders, u"OrderId"); }), errc::RecordDeleted);
  orders.call(u"MoveNext");
  EXPECT_EQ(toInt32(field(orders, u"OrderId")), 2);
  EXPECT_EQ(column(orders, u"OrderId"), u"2,3,4,5,6");
  orders.call(u"MoveLast");
  orders.call(u"MoveNext");
  EXPECT_EQ(errorOf([&] { orders.call(u"Delete"); }), errc::NoCurrentRecord);

  // Snapshots and queries over several tables are read-only.
  Object snapshot(db.call(u"OpenRecordset", u"Orders", 4));
  EXPECT_EQ(errorOf([&] { snapshot.call(u"Edit"); }), errc::ReadOnly);
  EXPECT_EQ(errorOf([&] { snapshot.call(u"AddNew"); }), errc::ReadOnly);
  Object joined(db.call(u"OpenRecordset", u"Select * From Orders, Customers Where Orders.CustomerId = Customers.CustomerId"));
  EXPECT_EQ(errorOf([&] { joined.call(u"Delete"); }), errc::ReadOnly);
}

// Texts go to the file and come back exactly, whatever their characters and
// length, through AddNew/Update, Edit, Seek and a FindFirst that binds two
// texts in one statement; the file holds them as UTF-8.
TEST(Recordset, TextsKeepEveryCharacterThroughSavesAndSearches) {
  TempDir dir;
  const auto file = dir / "words.db";
  Object db(testing::engineObject().call(u"CreateDatabase", testing::u16(file)));
  db.call(u"Execute", u"CREATE TABLE Words (Id COUNTER PRIMARY KEY, A TEXT(100), B TEXT(100))");
  const std::u16string texts[] = {u"plain", u"Gr\u00fc\u00dfe \u20ac", u"\U0001F600 face", u"it's",
                                  std::u16string(64, u'x'), std::u16string(65, u'y'), std::u16string(63, u'z') + u"\u00e4"};
  Object rs(db.call(u"OpenRecordset", u"Words"));
  for (const std::u16string& text : texts) {
    rs.call(u"AddNew");
    rs.put(u"Collect", {Variant(u"A")}, Variant(text));
    rs.put(u"Collect", {Variant(u"B")}, Variant(u"b" + text));
    rs.call(u"Update");
  }
  rs.put(u"Index", Variant(u"PrimaryKey"));
  for (std::int32_t id = 1; id <= 7; ++id) {
    SCOPED_TRACE(id);
    const std::u16string& text = texts[id - 1];
    rs.call(u"Seek", u"=", id);
    ASSERT_FALSE(toBool(rs.get(u"NoMatch")));
    EXPECT_EQ(toText(field(rs, u"A")), text);
    EXPECT_EQ(toText(field(rs, u"B")), u"b" + text);
    Object dynaset(db.call(u"OpenRecordset", u"Words", 2));
    std::u16string quoted;
    for (const char16_t c : text) quoted += c == u'\'' ? u"''" : std::u16string(1, c);
    const std::u16string condition = u"A = '" + quoted + u"' and B = 'b" + quoted + u"'";
    dynaset.call(u"FindFirst", condition);
    ASSERT_FALSE(toBool(dynaset.get(u"NoMatch")));
    EXPECT_EQ(toInt32(field(dynaset, u"Id")), id);
  }
  // An edit writes a text of another length over the one read by the search.
  rs.call(u"Seek", u"=", 2);
  rs.call(u"Edit");
  rs.put(u"Collect", {Variant(u"A")}, Variant(u"\u00e4"));
  rs.call(u"Update");
  db.call(u"Close");
  EXPECT_EQ(testing::sqliteShell(file, "SELECT hex(A), hex(B) FROM Words WHERE Id IN (2, 3) ORDER BY Id"),
            "C3A4|624772C3BCC39F6520E282AC\nF09F98802066616365|62F09F98802066616365\n");
}

TEST_P(RecordsetOn, FieldsByPositionNameAndDefaultMember) {
  Object db = makeOrdersDatabase(fresh());
  Object rs(db.call(u"OpenRecordset", u"Orders"));
  Object fields(rs.get(u"Fields"));
  EXPECT_EQ(toInt32(fields.get(u"Count")), 8);
  Object byPosition(rs.get(u"Fields", {Variant(2)}));
  EXPECT_EQ(toText(byPosition.get(u"Name")), u"Customer");
  EXPECT_EQ(toText(byPosition.value()), u"Smith");  // the field's default member is its value
  Object byName(fields.call(u"Item", u"qty"));
  EXPECT_EQ(toInt32(byName.get(u"Type")), 3);
  EXPECT_EQ(toInt32(Object(fields.call(u"Item", 0)).get(u"Type")), 4);
  EXPECT_EQ(toInt32(field(rs, u"Qty")), 5);
  EXPECT_EQ(toText(rs.get(u"Collect", {Variant(2)})), u"Smith");
  EXPECT_EQ(errorOf([&] { rs.get(u"Fields", {Variant(u"Nope")}); }), errc::ItemNotFound);
  EXPECT_EQ(errorOf([&] { rs.get(u"Fields", {Variant(8)}); }), errc::ItemNotFound);
  EXPECT_EQ(errorOf([&] { field(rs, u"Nope"); }), errc::ItemNotFound);
  EXPECT_TRUE(field(rs, u"Note").valueType() == VT_BSTR);
  rs.call(u"MoveNext");
  EXPECT_TRUE(field(rs, u"Note").isNull());
  std::u16string names;
  for (const Variant& f : enumerate(fields)) names += toText(Object(f).get(u"Name")) + u";";
  EXPECT_EQ(names, u"OrderId;CustomerId;Customer;Qty;OrderDate;Paid;Price;Note;");
  EXPECT_EQ(toText(rs.get(u"Name")), u"Orders");
  EXPECT_EQ(Object(rs).typeName(), u"Recordset");
}

TEST_P(RecordsetOn, SeekOnSingleAndCompositeKeys) {
  Object db = makeOrdersDatabase(fresh());
  Object rs(db.call(u"OpenRecordset", u"Orders"));
  EXPECT_EQ(errorOf([&] { rs.call(u"Seek", u"=", errc::ReturnWithoutGoSub); }), errc::OperationWithoutIndex);  // no index chosen
  EXPECT_EQ(errorOf([&] { rs.put(u"Index", Variant(u"NoSuchIndex")); }), errc::NotAnIndex);
  rs.put(u"Index", Variant(u"PrimaryKey"));
  rs.call(u"Seek", u"=", 3);
  EXPECT_FALSE(toBool(rs.get(u"NoMatch")));
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 3);
  rs.call(u"MoveNext");
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 4);
  rs.call(u"Seek", u"=", 42);
  EXPECT_TRUE(toBool(rs.get(u"NoMatch")));
  rs.call(u"Seek", u">=", 42);
  EXPECT_TRUE(toBool(rs.get(u"NoMatch")));
  rs.call(u"Seek", u">", 3);
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 4);
  rs.call(u"Seek", u"<", 3);
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 2);
  rs.call(u"Seek", u"<=", 3);
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 3);
  rs.call(u"Seek", u"=", u"5");  // a text that is the key
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 5);
  EXPECT_EQ(toInt32(rs.get(u"AbsolutePosition")), 4);
  rs.call(u"MovePrevious");
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 4);

  rs.put(u"Index", Variant(u"ByCustomerDate"));
  EXPECT_EQ(toText(rs.get(u"Index")), u"ByCustomerDate");
  rs.call(u"Seek", u"=", 1, Variant::date(35827.0));  // 1 February 1998
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 3);
  rs.call(u"Seek", u"=", 2);  // the first part of the key alone
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 2);
  rs.call(u"Seek", u">", 1, u"1/20/1998");
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 3);
  rs.call(u"MoveNext");
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 2);  // index order
  EXPECT_EQ(errorOf([&] { rs.call(u"Seek", u"=", 1, u"not a date"); }), errc::CriteriaMismatch);
  EXPECT_EQ(errorOf([&] { rs.call(u"Seek", u"~", 1); }), errc::InvalidArgument);

  Object dynaset(db.call(u"OpenRecordset", u"Orders", 2));
  EXPECT_EQ(errorOf([&] { dynaset.put(u"Index", Variant(u"PrimaryKey")); }), errc::OperationNotSupported);
  EXPECT_EQ(errorOf([&] { dynaset.call(u"Seek", u"=", 1); }), errc::OperationNotSupported);
}

// Seek takes its comparison and keys as the caller passed them (also by
// reference), refuses any comparison but the five, and a record it finds
// outside the window starts a window that walks and counts from there.
TEST_P(RecordsetOn, SeekTakesArgumentsAsPassedAndWalksOnFromTheRecordFound) {
  Object db = makeOrdersDatabase(fresh());
  Object rs(db.call(u"OpenRecordset", u"Orders"));
  rs.put(u"Index", Variant(u"PrimaryKey"));
  Variant comparison(u">=");
  Variant key(4);
  rs.call(u"Seek", Variant::refTo(&comparison), Variant::refTo(&key));
  EXPECT_FALSE(toBool(rs.get(u"NoMatch")));
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 4);
  EXPECT_EQ(toInt32(rs.get(u"AbsolutePosition")), 3);
  rs.call(u"MovePrevious");
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 3);
  // The kept statement of one shape serves again after another shape ran.
  rs.call(u"Seek", u"=", 2);
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 2);
  rs.call(u"Seek", u">", 4);
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 5);
  rs.call(u"MoveNext");
  EXPECT_TRUE(toBool(rs.get(u"EOF")));
  rs.call(u"Seek", u"<", 5);
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 4);
  EXPECT_EQ(toInt32(rs.get(u"RecordCount")), 4);  // the records up to the one found
  rs.call(u"MovePrevious");
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 3);
  // A Null key finds nothing and leaves the current record.
  rs.call(u"Seek", u"=", Variant::null());
  EXPECT_TRUE(toBool(rs.get(u"NoMatch")));
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 3);
  for (const char16_t* wrong : {u"", u"==", u"=>", u"<>", u"=<", u"<==", u"> ", u"!"})
    EXPECT_EQ(errorOf([&] { rs.call(u"Seek", wrong, 1); }), errc::InvalidArgument) << toUtf8(wrong);
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 3);
  EXPECT_EQ(errorOf([&] { rs.call(u"Seek", u"=", u"five"); }), errc::CriteriaMismatch);
  EXPECT_EQ(errorOf([&] { rs.call(u"Seek", Variant::missing(), 1); }), errc::ArgumentNotOptional);
}

// Runs a Find method; the OrderId of the record found, or 0 when none matched.
std::int32_t foundOrder(const Object& rs, const char16_t* how, const char16_t* condition) {
  rs.call(how, condition);
  return toBool(rs.get(u"NoMatch")) ? 0 : toInt32(field(rs, u"OrderId"));
}

TEST_P(RecordsetOn, FindWithTextsNumbersDatesAndPatterns) {
  Object db = makeOrdersDatabase(fresh());
  Object rs(db.call(u"OpenRecordset", u"Orders", 2));
  const auto find = [&](const char16_t* how, const char16_t* condition) { return foundOrder(rs, how, condition); };
  EXPECT_EQ(find(u"FindFirst", u"Customer = 'Smith'"), 1);
  EXPECT_EQ(find(u"FindNext", u"Customer = 'Smith'"), 3);
  EXPECT_EQ(find(u"FindNext", u"Customer = 'Smith'"), 0);
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 3);  // no match leaves the record
  EXPECT_EQ(find(u"FindPrevious", u"Customer = 'Smith'"), 1);
  EXPECT_EQ(find(u"FindLast", u"Qty = 5"), 4);
  EXPECT_EQ(find(u"FindFirst", u"Qty > 6 and Paid = False"), 2);
  EXPECT_EQ(find(u"FindFirst", u"Orders.[Qty]=5"), 1);
  EXPECT_EQ(find(u"FindFirst", u"Customer Like 'J*'"), 2);  // Like ignores letter case
  EXPECT_EQ(find(u"FindNext", u"Customer Like 'J*'"), 5);
  EXPECT_EQ(find(u"FindFirst", u"Customer Like '?ill[a-f]r'"), 4);
  EXPECT_EQ(find(u"FindFirst", u"Customer Like '[!s]*'"), 2);
  EXPECT_EQ(find(u"FindFirst", u"Qty Like '1#'"), 5);
  EXPECT_EQ(find(u"FindFirst", u"Note Like '*ir*'"), 1);
  EXPECT_EQ(find(u"FindFirst", u"OrderDate = #1/15/1998#"), 2);
  EXPECT_EQ(find(u"FindFirst", u"OrderDate > DateValue('2/1/98')"), 4);
  EXPECT_EQ(find(u"FindFirst", u"OrderDate BETWEEN DateValue('1/10/98') AND DateValue('3/10/98') and Qty < 5"), 3);
  EXPECT_EQ(find(u"FindFirst", u"Paid = True and Price >= 100"), 4);
  EXPECT_EQ(find(u"FindFirst", u"Note Is Null"), 2);
  EXPECT_EQ(find(u"FindFirst", u"Customer = \"Miller\""), 4);
  EXPECT_EQ(find(u"FindFirst", u"[Customer] <> 'Smith' and Customer & Note = 'joneslast'"), 5);
  {
    // DateValue reads the text the way the user writes dates.
    LocaleScope german(Locale::deDE());
    EXPECT_EQ(find(u"FindFirst", u"OrderDate = DateValue('15.01.1998')"), 2);
    EXPECT_EQ(find(u"FindFirst", u"OrderDate = DateValue('1/2/98')"), 3);  // day first: 1 February
  }
  // Conditions that do not parse, and their errors.
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"Qty = = 5"); }), errc::SyntaxError);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"Qty == 5"); }), errc::SyntaxError);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"Customer = 'open"); }), errc::SyntaxError);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"(Qty = 5"); }), errc::SyntaxError);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"Qty = 5; DELETE FROM Orders"); }), errc::SyntaxError);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"Qty = 'five'"); }), errc::CriteriaMismatch);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"Nonsense = 5"); }), errc::TooFewParameters);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"Qty 5"); }), errc::SyntaxError);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"OrderDate = DateValue('never')"); }), errc::CriteriaMismatch);
  try {
    rs.call(u"FindFirst", u"Qty = = 5");
  } catch (const Error& e) {
    EXPECT_EQ(e.description(), u"Syntax error (missing operator) in query expression 'Qty = = 5'. (at character 7: '=')");
  }
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"Orders")), u"OrderId"), u"1,2,3,4,5");  // nothing ran
}

// Conditions of one shape whose values change from call to call: each call
// finds by its own values, never by an earlier call's, and numbers read as
// the storage reads them (integers, reals, an integer too large for 64 bits).
TEST_P(RecordsetOn, FindConditionsOfOneShapeWithChangingValues) {
  Object db = makeOrdersDatabase(fresh());
  Object rs(db.call(u"OpenRecordset", u"Orders", 2));
  const auto find = [&](const char16_t* how, const char16_t* condition) { return foundOrder(rs, how, condition); };
  EXPECT_EQ(find(u"FindFirst", u"Customer = 'Smith'"), 1);
  EXPECT_EQ(find(u"FindFirst", u"Customer = 'Miller'"), 4);
  EXPECT_EQ(find(u"FindFirst", u"Customer = 'Nobody'"), 0);
  EXPECT_EQ(find(u"FindFirst", u"Customer = 'Smith'"), 1);
  EXPECT_EQ(find(u"FindNext", u"Customer = 'Smith'"), 3);
  EXPECT_EQ(find(u"FindNext", u"Customer = 'Miller'"), 4);
  EXPECT_EQ(find(u"FindPrevious", u"Customer = 'Smith'"), 3);
  EXPECT_EQ(find(u"FindLast", u"Customer = 'Smith'"), 3);
  EXPECT_EQ(find(u"FindFirst", u"Qty = 5.0"), 1);
  EXPECT_EQ(find(u"FindFirst", u"Qty = 0.5e1"), 1);
  EXPECT_EQ(find(u"FindLast", u"Qty = 005"), 4);
  EXPECT_EQ(find(u"FindFirst", u"Qty < 99999999999999999999"), 1);
  EXPECT_EQ(find(u"FindFirst", u"Qty > 99999999999999999999"), 0);
  EXPECT_EQ(find(u"FindFirst", u"OrderDate = #1/15/1998#"), 2);
  EXPECT_EQ(find(u"FindFirst", u"OrderDate = #1/16/1998#"), 0);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"Qty = 1.2.3"); }), errc::SyntaxError);
  EXPECT_EQ(find(u"FindFirst", u"Customer Like 'J*' and Qty > 0"), 2);
  EXPECT_EQ(find(u"FindFirst", u"Customer Like 'M*' and Qty > 0"), 4);
  // Conditions that differ anywhere but in their values (a field, an
  // operator, a word, the kind of a value), or whose value cannot be a
  // parameter, are never taken for one another.
  EXPECT_EQ(find(u"FindFirst", u"Qty = 7"), 2);
  EXPECT_EQ(find(u"FindFirst", u"CustomerId = 3"), 4);  // another field
  EXPECT_EQ(find(u"FindFirst", u"CustomerId > 2"), 4);
  EXPECT_EQ(find(u"FindFirst", u"CustomerId < 2"), 1);  // another operator
  EXPECT_EQ(find(u"FindFirst", u"customerid < 3"), 1);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"Qty = 1.2.3"); }), errc::SyntaxError);
  EXPECT_EQ(find(u"FindFirst", u"Qty = 11"), 5);
  EXPECT_EQ(find(u"FindFirst", u"Qty = 99999999999999999999"), 0);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"Qty = 'five'"); }), errc::CriteriaMismatch);
  EXPECT_EQ(find(u"FindFirst", u"Qty = 2"), 3);
  EXPECT_EQ(find(u"FindFirst", u"OrderDate = #1/15/1998#"), 2);
  EXPECT_EQ(find(u"FindFirst", u"OrderDate = #3/10/1998#"), 4);
  EXPECT_EQ(errorOf([&] { rs.call(u"FindFirst", u"OrderDate = #13/45/1998#"); }), errc::SyntaxError);
  EXPECT_EQ(find(u"FindFirst", u"OrderDate = #2/1/1998#"), 3);
  EXPECT_EQ(find(u"FindFirst", u"OrderDate = DateValue('12/24/98')"), 5);
  EXPECT_EQ(find(u"FindFirst", u"OrderDate = DateValue('3/10/98')"), 4);
  EXPECT_EQ(find(u"FindFirst", u"Customer = 'O''Brien'"), 0);
  EXPECT_EQ(find(u"FindFirst", u"Customer = 'Miller'"), 4);
  EXPECT_EQ(find(u"FindFirst", u"Customer Like 'Mil*'"), 4);
  EXPECT_EQ(find(u"FindFirst", u"Customer Like 'J*'"), 2);
  EXPECT_EQ(find(u"FindFirst", u"Note Is Null"), 2);
  EXPECT_EQ(find(u"FindFirst", u"Note Is Not Null"), 1);
  EXPECT_EQ(find(u"FindFirst", u"Qty = 5 and Customer = 'Miller'"), 4);
  EXPECT_EQ(find(u"FindFirst", u"Qty = 5 and Customer = 'Smith'"), 1);
  EXPECT_EQ(find(u"FindFirst", u"Qty = 5 and Paid = False"), 0);
  EXPECT_EQ(find(u"FindFirst", u"Qty = 5 and Paid = True and Price > 50"), 4);
  EXPECT_EQ(find(u"FindLast", u"Qty = 5 or Price = 8.25"), 4);
  EXPECT_EQ(find(u"FindLast", u"Qty = 5 or Price = 0.5"), 5);
}

TEST_P(RecordsetOn, SortAndFilterMakeNewRecordsets) {
  Object db = makeOrdersDatabase(fresh());
  Object rs(db.call(u"OpenRecordset", u"Orders", 2));
  rs.call(u"MoveNext");
  rs.put(u"Sort", Variant(u"Qty DESC, [OrderId]"));
  Object sorted(rs.call(u"OpenRecordset"));
  EXPECT_EQ(column(sorted, u"OrderId"), u"5,2,1,4,3");
  EXPECT_EQ(toText(rs.get(u"Sort")), u"Qty DESC, [OrderId]");
  EXPECT_EQ(toInt32(field(rs, u"OrderId")), 2);  // the original stays where it was
  rs.put(u"Filter", Variant(u"Paid = False"));
  rs.put(u"Sort", Variant(u"OrderDate DESC"));
  Object filtered(rs.call(u"OpenRecordset"));
  EXPECT_EQ(column(filtered, u"OrderId"), u"5,3,2");
  filtered.call(u"MoveLast");
  filtered.call(u"MovePrevious");
  EXPECT_EQ(toInt32(field(filtered, u"OrderId")), 3);
  EXPECT_EQ(errorOf([&] { rs.put(u"Sort", Variant(u"Qty DESC,")); }), errc::SyntaxError);
  EXPECT_EQ(errorOf([&] { rs.put(u"Sort", Variant(u"Nonsense")); }), errc::TooFewParameters);
  EXPECT_EQ(toText(rs.get(u"Sort")), u"OrderDate DESC");  // a refused sort leaves the old one
  EXPECT_EQ(errorOf([&] { rs.put(u"Filter", Variant(u"Qty >")); }), errc::SyntaxError);

  // Editing a record so that it moves ahead in the order does not make it
  // come round again.
  Object table(db.call(u"OpenRecordset", u"Orders"));
  table.put(u"Index", Variant(u"ByCustomer"));
  int visited = 0;
  while (!eof(table) && visited < 20) {
    table.call(u"Edit");
    table.put(u"Collect", {Variant(u"Customer")}, Variant(u"Z" + toText(field(table, u"Customer"))));
    table.call(u"Update");
    table.call(u"MoveNext");
    ++visited;
  }
  EXPECT_EQ(visited, 5);

  // A multi-table snapshot sorts too.
  Object joined(db.call(u"OpenRecordset",
                        u"Select * From Orders,Customers WHERE Orders.[CustomerId]=Customers.[CustomerId] "
                        u"and Customers.[City] Like 'B*'"));
  joined.put(u"Sort", Variant(u"Orders.OrderId DESC"));
  EXPECT_EQ(column(Object(joined.call(u"OpenRecordset")), u"OrderId"), u"5,3,2,1");
}

// Records walked a second time are read again in order (with what changed
// since), bookmarks of a large window find their records, and a walk that
// reached the end holds no lock on the file.
TEST(Recordset, WalkingAgainAndBookmarksInALargeWindow) {
  TempDir dir;
  Object engine = testing::engineObject();
  Object db(engine.call(u"CreateDatabase", testing::u16(dir / "walk.db")));
  db.call(u"Execute", u"CREATE TABLE W (Id LONG PRIMARY KEY, N LONG, Name TEXT(20))");
  {
    Object add(db.call(u"OpenRecordset", u"W", 1));
    engine.call(u"BeginTrans");
    for (int i = 1; i <= 150; ++i) {
      add.call(u"AddNew");
      add.put(u"Collect", {Variant(u"Id")}, Variant(i));
      add.put(u"Collect", {Variant(u"N")}, Variant(i * 10));
      add.put(u"Collect", {Variant(u"Name")}, Variant(u"n" + fromUtf8(std::to_string(151 - i))));
      add.call(u"Update");
    }
    engine.call(u"CommitTrans");
  }
  const auto walk = [](const Object& rs) {
    std::u16string seen;
    rs.call(u"MoveFirst");
    while (!eof(rs)) {
      seen += toText(field(rs, u"Id")) + u"=" + toText(field(rs, u"N")) + u",";
      rs.call(u"MoveNext");
    }
    return seen;
  };
  for (const char16_t* source : {u"W", u"Select * From W Order By Name"}) {
    Object rs(db.call(u"OpenRecordset", source, 2));
    const std::u16string first = walk(rs);
    EXPECT_EQ(walk(rs), first) << toUtf8(source);
    // A change made halfway through the next walk shows when its record
    // comes after it, not before.
    Object other(db.call(u"OpenRecordset", u"W", 1));
    other.put(u"Index", Variant(u"PrimaryKey"));
    const auto setN = [&](int id, int n) {
      other.call(u"Seek", u"=", Variant(id));
      other.call(u"Edit");
      other.put(u"Collect", {Variant(u"N")}, Variant(n));
      other.call(u"Update");
    };
    rs.call(u"MoveFirst");
    int walked = 0;
    for (; !eof(rs); ++walked) {
      if (walked == 70) setN(60, -1), setN(100, -1);
      const std::int32_t id = toInt32(field(rs, u"Id"));
      const std::int32_t n = toInt32(field(rs, u"N"));
      if (id == 60 || id == 100) {
        EXPECT_EQ(n, walked >= 70 ? -1 : id * 10) << id << " at " << walked;
      }
      rs.call(u"MoveNext");
    }
    EXPECT_EQ(walked, 150);
    setN(60, 600);
    setN(100, 1000);
  }

  // Bookmarks of a window grown at both ends find their records.
  Object rs(db.call(u"OpenRecordset", u"W", 2));
  rs.call(u"FindLast", u"Id = 140");
  std::vector<std::pair<Variant, std::int32_t>> marks;
  for (int i = 0; i < 100; ++i) {
    marks.emplace_back(rs.get(u"Bookmark"), toInt32(field(rs, u"Id")));
    rs.call(u"MovePrevious");
    if (i == 80) {
      rs.put(u"Bookmark", marks[3].first);  // the positions are indexed here,
      rs.put(u"Bookmark", marks[80].first);  // and kept as the window grows
    }
  }
  for (auto it = marks.rbegin(); it != marks.rend(); ++it) {
    rs.put(u"Bookmark", it->first);
    EXPECT_EQ(toInt32(field(rs, u"Id")), it->second);
  }
  rs.put(u"Bookmark", marks[10].first);
  rs.call(u"MoveNext");
  EXPECT_EQ(toInt32(field(rs, u"Id")), marks[9].second);

  // After a walk to the end another process can write; the next walk shows it.
  rs.call(u"Close");
  Object fresh(db.call(u"OpenRecordset", u"W", 2));
  walk(fresh);
  walk(fresh);
  const pid_t child = ::fork();
  if (child == 0) {
    int code = 1;
    try {
      Object writer(engine::DBEngine::forThisThread().as<IDispatch>());
      Object wdb(writer.call(u"OpenDatabase", testing::u16(dir / "walk.db")));
      wdb.call(u"Execute", u"UPDATE W SET N = 7 WHERE Id = 75");
      code = 0;
    } catch (...) {
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::u16string after = walk(fresh);
  EXPECT_NE(after.find(u",75=7,"), std::u16string::npos) << toUtf8(after);
}

TEST_P(RecordsetOn, RecordsetsOfSeveralTables) {
  Object db = makeOrdersDatabase(fresh());
  Object rs(db.call(u"OpenRecordset",
                    u"Select * From Orders,Customers WHERE Orders.[Qty]=5 and Customers.[City] Like 'B*'"));
  // Orders 1 and 4 have Qty 5; Berlin and Bonn start with B.
  EXPECT_EQ(column(rs, u"OrderId"), u"1,4,1,4");
  EXPECT_EQ(column(rs, u"Name"), u"Smith,Smith,Jones,Jones");
  // Fields of the same name are told apart by their table.
  EXPECT_EQ(toText(Object(rs.get(u"Fields", {Variant(1)})).get(u"Name")), u"Orders.CustomerId");
  EXPECT_EQ(toInt32(Object(rs.get(u"Fields", {Variant(u"OrderDate")})).get(u"Type")), 8);
  rs.call(u"FindFirst", u"Customers.[Name] = 'Jones' and Orders.OrderId = 4");
  EXPECT_FALSE(toBool(rs.get(u"NoMatch")));
  EXPECT_EQ(toInt32(rs.get(u"AbsolutePosition")), 3);
  Object between(db.call(u"OpenRecordset",
                         u"Select * From Orders WHERE [OrderDate] BETWEEN DateValue('1/1/98') AND DateValue('1/31/98')"));
  EXPECT_EQ(column(between, u"OrderId"), u"1,2");
  Object below(db.call(u"OpenRecordset", u"Select * From Orders WHERE [OrderDate] < DateValue('1/31/98')"));
  EXPECT_EQ(column(below, u"OrderId"), u"1,2");
  Object counted(db.call(u"OpenRecordset", u"Select Customer, Count(*) AS N From Orders Group By Customer"));
  EXPECT_EQ(column(counted, u"N"), u"2,1,2");  // texts compare without regard to case
  // The name a select list gives an item may be the name of a field.
  Object summed(db.call(u"OpenRecordset", u"Select Sum(Qty) AS Qty From Orders"));
  Object total(db.call(u"OpenRecordset", u"Select Sum(Qty) AS Total From Orders"));
  EXPECT_EQ(column(summed, u"Qty"), column(total, u"Total"));
  Object grouped(db.call(u"OpenRecordset", u"Select Count(*) AS OrderId From Orders Group By Customer"));
  EXPECT_EQ(column(grouped, u"OrderId"), u"2,1,2");
  // The least and greatest of a date field are dates, on every backend.
  Object extremes(db.call(u"OpenRecordset", u"Select Count(*) AS N, Max(OrderDate), Min([Orders].[OrderDate]) AS First, "
                                            u"Max(Qty) From Orders"));
  const auto typeOf = [&](int at) { return toInt32(Object(extremes.get(u"Fields", {Variant(at)})).get(u"Type")); };
  EXPECT_EQ(typeOf(1), 8);
  EXPECT_EQ(typeOf(2), 8);
  EXPECT_NE(typeOf(3), 8);
  EXPECT_EQ(extremes.get(u"Collect", {Variant(1)}).valueType(), VT_DATE);
  Object latest(db.call(u"OpenRecordset", u"Select * From Orders Order By OrderDate Desc"));
  EXPECT_EQ(toDouble(extremes.get(u"Collect", {Variant(1)})), toDouble(latest.get(u"Collect", {Variant(u"OrderDate")})));
  Object grouped2(db.call(u"OpenRecordset", u"Select Customer, Max(OrderDate) AS Latest From Orders Group By Customer"));
  EXPECT_EQ(toInt32(Object(grouped2.get(u"Fields", {Variant(u"Latest")})).get(u"Type")), 8);
  Object alone(db.call(u"OpenRecordset", u"Select Max(OrderDate) From Orders"));
  EXPECT_EQ(toInt32(Object(alone.get(u"Fields", {Variant(0)})).get(u"Type")), 8);
  EXPECT_EQ(errorOf([&] { db.call(u"OpenRecordset", u"Select * From Nowhere"); }), errc::TableNotFound);
  EXPECT_EQ(errorOf([&] { db.call(u"OpenRecordset", u"Nowhere"); }), errc::TableNotFound);
  EXPECT_EQ(errorOf([&] { db.call(u"OpenRecordset", u"Select * From"); }), errc::SyntaxErrorFrom);
  EXPECT_EQ(errorOf([&] { db.call(u"OpenRecordset", u"Select * From Orders,"); }), errc::SyntaxErrorFrom);
  EXPECT_EQ(errorOf([&] { db.call(u"OpenRecordset", u"Select * From Orders", 1); }), errc::InvalidOperation);
}

// A condition that differs in every call keeps no statement for ever.
TEST_P(RecordsetOn, DistinctConditionsTakeBoundedMemory) {
  Object db = makeOrdersDatabase(fresh());
  Object orders(db.call(u"OpenRecordset", u"Orders", 2));
  const auto findEach = [&](int from, int to) {
    for (int i = from; i < to; ++i)
      orders.call(u"FindFirst", fromUtf8("OrderId = " + std::to_string(i % 5 + 1) + " And Qty <> " + std::to_string(-i)));
  };
  findEach(0, 1000);  // the cache fills
  const std::size_t filled = testing::liveHeapBytes();
  findEach(1000, 11000);
  EXPECT_EQ(toInt32(field(orders, u"OrderId")), 10999 % 5 + 1);
  constexpr std::size_t kSlack = 2 * 1024 * 1024;
  EXPECT_LT(testing::liveHeapBytes(), filled + kSlack);
}

}  // namespace
INSTANTIATE_TEST_SUITE_P(Backends, RecordsetOn, testing::kBothBackends, testing::backendName);

}  // namespace tarnwick
