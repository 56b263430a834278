#include "../automation/ErrorOf.h"
#include "../engine/EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/dataaccess/DataAccessWrapper.h>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using testing::column;
using testing::errorOf;
using testing::makeOrdersDatabase;
using testing::TempDir;

Object wrapper() { return Object(makeObject<dataaccess::DataAccessWrapper>().as<IDispatch>()); }
std::int32_t current(const Object& rs) { return toInt32(rs.get(u"Collect", {Variant(u"OrderId")})); }

class RecordLookupOn : public testing::OnBackends {};

TEST_P(RecordLookupOn, SortRecordsetReturnsANewSortedRecordset) {
  Object db = makeOrdersDatabase(fresh());
  Object dataAccess = wrapper();
  Object rs(db.call(u"OpenRecordset", u"Select * From Orders Where Qty > 2"));
  rs.call(u"MoveNext");
  Object sorted(dataAccess.call(u"SortRecordset_rs", rs.get(), u"Qty DESC"));
  EXPECT_EQ(sorted.typeName(), u"Recordset");
  EXPECT_NE(sorted.get(), rs.get());
  EXPECT_EQ(column(sorted, u"OrderId"), u"5,2,1,4");
  // The caller's recordset stays open, where it was, with the new Sort.
  EXPECT_EQ(toText(rs.get(u"Sort")), u"Qty DESC");
  EXPECT_EQ(current(rs), 2);
  // A sort text the engine rejects is the routine's error.
  EXPECT_EQ(errorOf([&] { dataAccess.call(u"SortRecordset_rs", rs.get(), u"Qty DESC DESC"); }), errc::SyntaxError);
  EXPECT_EQ(errorOf([&] { dataAccess.call(u"SortRecordset_rs", rs.get(), u"NoSuchField"); }), errc::TooFewParameters);
  EXPECT_EQ(errorOf([&] { dataAccess.call(u"SortRecordset_rs", Variant(5), u"Qty"); }), errc::TypeMismatch);  // no object
}

TEST_P(RecordLookupOn, MakeCurrentRecordSeeksTheKey) {
  Object db = makeOrdersDatabase(fresh());
  Object dataAccess = wrapper();
  Object table(db.call(u"OpenRecordset", u"Orders"));
  EXPECT_TRUE(toBool(dataAccess.call(u"MakeCurrentRecord_b", table.get(), u"PrimaryKey", 4)));
  EXPECT_EQ(current(table), 4);
  EXPECT_EQ(toText(table.get(u"Index")), u"PrimaryKey");
  EXPECT_FALSE(toBool(dataAccess.call(u"MakeCurrentRecord_b", table.get(), u"PrimaryKey", 99)));
  EXPECT_TRUE(toBool(dataAccess.call(u"MakeCurrentRecord_b", table.get(), u"ByCustomer", u"miller")));
  EXPECT_EQ(current(table), 4);
  // An index the table does not have, and a recordset that is no table.
  EXPECT_EQ(errorOf([&] { dataAccess.call(u"MakeCurrentRecord_b", table.get(), u"NoIndex", 1); }), errc::NotAnIndex);
  Object dynaset(db.call(u"OpenRecordset", u"Orders", 2));
  EXPECT_EQ(errorOf([&] { dataAccess.call(u"MakeCurrentRecord_b", dynaset.get(), u"PrimaryKey", 1); }), errc::OperationNotSupported);
  // The early-bound interface runs the same body.
  ComPtr<dataaccess::DataAccessWrapper> direct = makeObject<dataaccess::DataAccessWrapper>();
  IDispatch* tableObject = table.get();
  BSTR index = allocBstr(u"PrimaryKey");
  VARIANT key = Variant(2).detach();
  VARIANT_BOOL found = VARIANT_FALSE;
  EXPECT_EQ(direct->MakeCurrentRecord_b(&tableObject, &index, &key, &found), S_OK);
  EXPECT_EQ(found, VARIANT_TRUE);
  EXPECT_EQ(current(table), 2);
  SysFreeString(index);
}

TEST_P(RecordLookupOn, FindRecordAlwaysStartsAtTheFirstRecord) {
  Object db = makeOrdersDatabase(fresh());
  Object dataAccess = wrapper();
  Object rs(db.call(u"OpenRecordset", u"Orders", 2));
  rs.call(u"MoveLast");
  for (bool first : {true, false}) {
    EXPECT_TRUE(toBool(dataAccess.call(u"FindRecord_b", first, rs.get(), u"Customer = 'Smith'")));
    EXPECT_EQ(current(rs), 1);
    rs.call(u"MoveLast");
  }
  EXPECT_TRUE(toBool(dataAccess.call(u"FindRecord_b", false, rs.get(), u"Orders.[Qty]=5 and Customer Like 'M*'")));
  EXPECT_EQ(current(rs), 4);
  EXPECT_FALSE(toBool(dataAccess.call(u"FindRecord_b", true, rs.get(), u"Qty > 100")));
  EXPECT_EQ(errorOf([&] { dataAccess.call(u"FindRecord_b", true, rs.get(), u"Qty >> 100"); }), errc::SyntaxError);
  EXPECT_EQ(current(rs), 4);
}

}  // namespace
INSTANTIATE_TEST_SUITE_P(Backends, RecordLookupOn, testing::kBothBackends, testing::backendName);

}  // namespace tarnwick
