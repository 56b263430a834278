#include "../engine/EngineTesting.h"
#include "../automation/ErrorOf.h"
#include "ClassTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/dataaccess/DataAccessWrapper.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tarnwick {
namespace {

using testing::column;
using testing::formFrom;
using testing::instanceOf;
using testing::MessageBoxScope;
using testing::TempDir;
using testing::u16;

class DataAccess : public testing::OnBackends {
 protected:
  void SetUp() override {
    testing::OnBackends::SetUp();
    if (IsSkipped()) return;
    db = testing::makeOrdersDatabase(fresh());
    db.call(u"Execute", u"INSERT INTO Orders VALUES (6, 3, 'O''Brien', 1, #4/1/1998#, False, 1, Null)");
  }
  // The OrderIds of the records a statement selects, in order.
  std::u16string selected(const std::u16string& statement) {
    return column(Object(db.call(u"OpenRecordset", statement)), u"OrderId");
  }
  LocaleScope locale{Locale::enUS()};
  TempDir dir;
  Object db;
  Object dataAccess = instanceOf<dataaccess::DataAccessWrapper>();
  MessageBoxScope box;
};

TEST_P(DataAccess, SearchCriteriaSelectExactlyTheRecordsAskedFor) {
  const Object form = formFrom(R"FORM(form frmSearch {
  TextBox txtFind[0] {
    Tag = "S=Orders([Customer])"
    Text = "Sm*"
  }
  TextBox txtFind[1] {
    Tag = "S=Orders([Qty])!Number;"
    Text = ">=5"
  }
  TextBox txtFind[2] {
    Tag = "S=Orders([OrderDate])!Date;"
  }
  Label lblNote {
    Caption = "no search"
  }
})FORM");
  const Variant arrays = makeVariantArray({form.get(u"txtFind")});
  const std::u16string sql = std::u16string(dataAccess.call(u"GetWhereClauseFromTags_s", arrays, true, true).text());
  EXPECT_EQ(sql, u"Select * From Orders WHERE Orders.[Customer] Like 'Sm*' and Orders.[Qty]>=5");
  EXPECT_EQ(selected(sql), u"1");
  EXPECT_EQ(dataAccess.call(u"GetWhereClauseFromTags_s", arrays, false, false).text(),
            u"'Sm*' IN {Orders.[Customer]} and {Orders.[Qty]}>=5");
  // An excluded field is passed over; its table stays in the list.
  EXPECT_EQ(dataAccess.call(u"GetWhereClauseFromTags_s", arrays, true, true, u"[Customer]").text(),
            u"Select * From Orders WHERE Orders.[Qty]>=5");
  // Two tables, and a date.
  const Object form2 = formFrom(R"FORM(form frmTwo {
  TextBox txtA[0] {
    Tag = "S=Orders([Qty])!Number;"
    Text = "5"
  }
  TextBox txtA[1] {
    Tag = "S=Customers([City])"
    Text = "B*"
  }
  TextBox txtB[0] {
    Tag = "S=Orders([OrderDate])!Date;"
    Text = "<2/1/98"
  }
})FORM");
  const std::u16string two = std::u16string(
      dataAccess.call(u"GetWhereClauseFromTags_s", makeVariantArray({form2.get(u"txtA")}), true, true).text());
  EXPECT_EQ(two, u"Select * From Orders,Customers WHERE Orders.[Qty]=5 and Customers.[City] Like 'B*'");
  std::u16string rows = selected(two);
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, u",,,1144");  // orders 1 and 4, each with the two customers in a B city
  const std::u16string dated = std::u16string(
      dataAccess.call(u"GetWhereClauseFromTags_s", makeVariantArray({form2.get(u"txtB")}), true, true).text());
  EXPECT_EQ(dated, u"Select * From Orders WHERE Orders.[OrderDate]<DateValue('2/1/98')");
  EXPECT_EQ(selected(dated), u"1,2");
  EXPECT_TRUE(box->prompts().empty());
}

TEST_P(DataAccess, TypedTextNeverChangesTheStatement) {
  const Object form = formFrom(R"FORM(form frmSearch {
  TextBox txtName[0] {
    Tag = "S=Orders([Customer])"
    Text = "O'Brien"
  }
  TextBox txtQty[0] {
    Tag = "S=Orders([Qty])!Number;"
    Text = "5 or 1=1"
  }
})FORM");
  const std::u16string sql = std::u16string(
      dataAccess.call(u"GetWhereClauseFromTags_s", makeVariantArray({form.get(u"txtName")}), true, true).text());
  EXPECT_EQ(sql, u"Select * From Orders WHERE Orders.[Customer] Like 'O''Brien'");
  EXPECT_EQ(selected(sql), u"6");
  // A number search that is no number selects nothing and is reported.
  EXPECT_EQ(dataAccess.call(u"GetWhereClauseFromTags_s", makeVariantArray({form.get(u"txtQty")}), true, true).text(), u"");
  ASSERT_EQ(box->prompts().size(), 1u);
  EXPECT_EQ(box->prompts()[0].prompt, u"Type mismatch");
  EXPECT_EQ(box->prompts()[0].buttons, 0);
}

TEST_P(DataAccess, ANulInATextSearchValueNamesTheControl) {
  const Object form = formFrom(R"FORM(form frmSearch {
  TextBox txtFind[0] {
    Tag = "S=Orders([City])"
    Text = "Oslo"
  }
  TextBox txtFind[1] {
    Tag = "S=Orders([Customer])"
    Text = "x"
  }
})FORM");
  const Object controls(form.get(u"txtFind"));
  Object(controls.get(u"Item", {Variant(1)})).put(u"Text", Variant(std::u16string(u"Sm\0ith", 6)));
  EXPECT_EQ(dataAccess.call(u"GetWhereClauseFromTags_s", makeVariantArray({Variant(controls.get())}), true, true).text(),
            u"");
  ASSERT_EQ(box->prompts().size(), 1u);
  EXPECT_EQ(box->prompts()[0].prompt,
            standardDescription(errc::InvalidPropertyValue) + u" (a NUL character in the search value of txtFind(1))");
}

TEST_P(DataAccess, RangeCriteriaFromPairs) {
  const Object form = formFrom(R"FORM(form frmRange {
  TextBox txtDate[0] {
    Tag = "S=Orders([OrderDate])"
    Text = "1/1/98"
  }
  TextBox txtDate[1] {
    Text = "1/31/98"
  }
  TextBox txtDate[2] {
    Tag = "S=Orders([OrderDate])"
  }
  TextBox txtDate[3] {
    Text = "12/1/98"
  }
})FORM");
  const Variant pairs = form.get(u"txtDate");
  const std::u16string sql = std::u16string(
      dataAccess.call(u"GetBetweenWhereClauseFromTags_s", pairs, std::int16_t{0}, std::int16_t{3}, true, true).text());
  EXPECT_EQ(sql,
            u"Select * From Orders WHERE [OrderDate] BETWEEN DateValue('1/1/98') AND DateValue('1/31/98') and "
            u"[OrderDate] < DateValue('12/1/98')");
  EXPECT_EQ(selected(sql), u"1,2");
  EXPECT_EQ(selected(u"Select * From Orders WHERE [OrderDate] BETWEEN DateValue('1/1/98') AND DateValue('1/31/98')"),
            u"1,2");
  EXPECT_EQ(dataAccess.call(u"GetBetweenWhereClauseFromTags_s", pairs, std::int16_t{2}, std::int16_t{2}, false, false).text(),
            u"{[OrderDate]} < DateValue('12/1/98')");
  EXPECT_EQ(dataAccess.call(u"GetBetweenWhereClauseFromTags_s", pairs, std::int16_t{3}, std::int16_t{1}, true, true).text(),
            u"");
  // An odd count: the missing partner is reported and nothing is returned.
  EXPECT_EQ(box->prompts().size(), 0u);
  EXPECT_EQ(dataAccess.call(u"GetBetweenWhereClauseFromTags_s", pairs, std::int16_t{2}, std::int16_t{4}, true, true).text(),
            u"");
  ASSERT_EQ(box->prompts().size(), 1u);
  EXPECT_EQ(box->prompts()[0].prompt, u"Control array element '4' doesn't exist");
}

TEST_P(DataAccess, RecordToControlsAndBackInATransaction) {
  const Object form = formFrom(R"FORM(form frmOrder {
  TextBox txtId {
    Tag = "Orders([OrderId])!Number"
  }
  TextBox txtCustomer {
    Tag = "Orders([Customer])"
    DataField = "Customer"
  }
  TextBox txtQty {
    Tag = "Orders([Qty])!Number"
    DataField = "Qty"
  }
  TextBox txtNote {
    Tag = "Orders([Note])"
  }
  TextBox txtOther {
    Tag = "Customers([City])"
    Text = "unchanged"
  }
  CheckBox chkPaid {
    Tag = "Orders([Paid])"
  }
})FORM");
  const Object orders(db.call(u"OpenRecordset", u"Orders", 1));
  orders.call(u"MoveFirst");
  dataAccess.call(u"ReadFromRecordToControls", form.pointer().get(), orders.pointer().get());
  EXPECT_EQ(Object(form.get(u"txtCustomer")).get(u"Text").text(), u"Smith");
  EXPECT_EQ(Object(form.get(u"txtQty")).get(u"Text").text(), u"5");
  EXPECT_EQ(Object(form.get(u"txtOther")).get(u"Text").text(), u"unchanged");
  // Edit, validate, save.
  Object(form.get(u"txtQty")).put(u"Text", Variant(u"8"));
  Object(form.get(u"txtNote")).put(u"Text", Variant(u""));
  EXPECT_EQ(dataAccess.call(u"ValidateDataTypeOnLostFocus_s", orders.pointer().get(), form.get(u"txtQty"), u"dd.mm.yyyy",
                     false)
                .text(),
            u"");
  Object(form.get(u"txtQty")).put(u"Text", Variant(u"40000"));
  form.call(u"Show");  // the failing control gets the focus, which a hidden form cannot give
  EXPECT_EQ(dataAccess.call(u"ValidateDataTypeOnLostFocus_s", orders.pointer().get(), form.get(u"txtQty"), u"dd.mm.yyyy",
                     false)
                .text(),
            u"Not a valid Number format. Please retype.");
  Object(form.get(u"txtQty")).put(u"Text", Variant(u"8"));
  orders.call(u"Edit");
  dataAccess.call(u"SaveRecordFromControls", form.pointer().get(), orders.pointer().get());
  EXPECT_TRUE(box->prompts().empty());
  EXPECT_EQ(Object(form.get(u"txtNote")).get(u"Text").text(), u" ");  // an empty text is saved as one blank
  const Object again(db.call(u"OpenRecordset", u"Select * From Orders WHERE OrderId = 1"));
  EXPECT_EQ(toInt32(again.get(u"Collect", {Variant(u"Qty")})), 8);
  EXPECT_EQ(again.get(u"Collect", {Variant(u"Note")}).text(), u" ");

  // A save the engine refuses (a duplicate key): its message, and nothing saved.
  orders.call(u"AddNew");
  Object(form.get(u"txtId")).put(u"Text", Variant(u"2"));
  dataAccess.call(u"SaveRecordFromControls", form.pointer().get(), orders.pointer().get());
  ASSERT_EQ(box->prompts().size(), 1u);
  EXPECT_EQ(box->prompts()[0].prompt, standardDescription(errc::DuplicateKey));
  EXPECT_EQ(selected(u"Select * From Orders"), u"1,2,3,4,5,6");
}

// Another user of the file (a second Database object) changes or locks the
// record between Edit and the save: each save shows the engine's message
// and leaves the record as the other user left it.
TEST_P(DataAccess, SavesRefusedForAnotherUsersChangeOrLockLeaveTheirRecord) {
  const Object form = formFrom(R"FORM(form frmOrder {
  TextBox txtQty {
    Tag = "Orders([Qty])!Number"
  }
  TextBox txtField[0] {
    Tag = "Orders([Qty])!Number"
    DataField = "Qty"
  }
})FORM");
  const Object other(testing::engineObject().call(u"OpenDatabase", fresh()));
  const Object orders(db.call(u"OpenRecordset", u"Orders", 1));
  const auto storedQty = [&] {
    return toInt32(Object(db.call(u"OpenRecordset", u"Select Qty From Orders Where OrderId = 1")).get(u"Collect", {Variant(u"Qty")}));
  };
  const Variant fields = form.get(u"txtField");
  Object(form.get(u"txtQty")).put(u"Text", Variant(u"8"));
  Object(Object(fields).get(u"Item", {Variant(0)})).put(u"Text", Variant(u"8"));

  orders.call(u"Edit");
  other.call(u"Execute", u"UPDATE Orders SET Qty = 9 WHERE OrderId = 1");
  dataAccess.call(u"SaveRecordFromControls", form.pointer().get(), orders.pointer().get());
  orders.call(u"Edit");
  other.call(u"Execute", u"UPDATE Orders SET Qty = 10 WHERE OrderId = 1");
  EXPECT_FALSE(toBool(dataAccess.call(u"SaveRecordFromControlArray_b", true, fields, orders.pointer().get(), -1)));
  orders.call(u"Edit");
  other.call(u"Execute", u"UPDATE Orders SET Qty = 11 WHERE OrderId = 1");
  EXPECT_FALSE(toBool(dataAccess.call(u"SaveRecordFromControlArray_b", false, fields, orders.pointer().get(), -1)));
  EXPECT_EQ(storedQty(), 11);
  EXPECT_EQ(toInt32(orders.get(u"Collect", {Variant(u"Qty")})), 11);  // the other user's value

  // The other user edits the record with a lock.
  const Object locked(other.call(u"OpenRecordset", u"Orders", 1));
  locked.put(u"LockEdits", Variant(true));
  locked.call(u"Edit");
  orders.call(u"Edit");
  dataAccess.call(u"SaveRecordFromControls", form.pointer().get(), orders.pointer().get());
  EXPECT_FALSE(toBool(dataAccess.call(u"SaveRecordFromControlArray_b", true, fields, orders.pointer().get(), -1)));
  EXPECT_EQ(storedQty(), 11);
  const auto& shown = box->prompts();
  ASSERT_EQ(shown.size(), 5u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(shown[i].prompt, standardDescription(errc::WriteConflict)) << i;
  for (std::size_t i = 3; i < 5; ++i)
    EXPECT_EQ(shown[i].prompt.rfind(u"Could not update; currently locked by user 'admin' on machine '", 0), 0u) << i;
  // Let go, the same save goes through.
  locked.call(u"CancelUpdate");
  dataAccess.call(u"SaveRecordFromControls", form.pointer().get(), orders.pointer().get());
  EXPECT_EQ(box->prompts().size(), 5u);
  EXPECT_EQ(storedQty(), 8);
}

TEST_P(DataAccess, ControlArraysAndUnboundControls) {
  const Object form = formFrom(R"FORM(form frmLines {
  TextBox txtField[0] {
    Tag = "Orders([Customer])"
    DataField = "Customer"
  }
  TextBox txtField[1] {
    Tag = "Orders([Qty])!Number"
    DataField = "Qty"
  }
  TextBox txtField[2] {
    DataField = "OrderDate"
  }
  CheckBox chkField[0] {
    Tag = "Orders([Paid])"
    Value = 2
  }
})FORM");
  const Object orders(db.call(u"OpenRecordset", u"Orders", 1));
  orders.call(u"MoveLast");
  const Variant fields = form.get(u"txtField");
  const auto field = [&](int i) { return Object(Object(fields).get(u"Item", {Variant(i)})); };
  dataAccess.call(u"FillUnboundControlsFromRS_s", orders.pointer().get(), fields, std::int16_t{0});
  EXPECT_EQ(field(0).get(u"Text").text(), u"O'Brien");
  EXPECT_EQ(field(1).get(u"Text").text(), u"1");
  orders.call(u"Edit");
  field(1).put(u"Text", Variant(u"0"));
  field(2).put(u"Text", Variant(u"2/31/98"));
  EXPECT_EQ(dataAccess.call(u"FillRSFromUnboundControls_s", orders.pointer().get(), fields, std::int16_t{1}).text(), u"");
  EXPECT_TRUE(orders.get(u"Collect", {Variant(u"Qty")}).isNull());        // zero goes in as Null
  EXPECT_TRUE(orders.get(u"Collect", {Variant(u"OrderDate")}).isNull());  // no such date
  orders.call(u"CancelUpdate");
  // The array save: no transaction asked, exclusion by index.
  orders.call(u"Edit");
  field(0).put(u"Text", Variant(u"Kelly"));
  field(1).put(u"Text", Variant(u"12abc"));
  EXPECT_TRUE(toBool(dataAccess.call(u"SaveRecordFromControlArray_b", false, fields, orders.pointer().get(), 0)));
  const Object check(db.call(u"OpenRecordset", u"Select * From Orders WHERE OrderId = 6"));
  EXPECT_EQ(check.get(u"Collect", {Variant(u"Customer")}).text(), u"O'Brien");  // index 0 excluded
  EXPECT_EQ(toInt32(check.get(u"Collect", {Variant(u"Qty")})), 12);
  // A text exclusion entry is a type mismatch, shown, and the save fails.
  orders.call(u"Edit");
  EXPECT_FALSE(toBool(dataAccess.call(u"SaveRecordFromControlArray_b", true, fields, orders.pointer().get(), u"Qty")));
  ASSERT_EQ(box->prompts().size(), 1u);
  EXPECT_EQ(box->prompts()[0].prompt, u"Type mismatch");
}

TEST_P(DataAccess, ControlArrayWalksEndAtTheLastIndexOfTheirCounter) {
  const Object form = formFrom(R"FORM(form frmOne {
  TextBox txtField[0] {
    Tag = "Orders([Customer])"
    DataField = "Customer"
  }
})FORM");
  const Variant control(Object(form.get(u"txtField")).get(u"Item", {Variant(0)}));
  const Object orders(db.call(u"OpenRecordset", u"Orders", 1));
  orders.call(u"MoveLast");
  constexpr long kEveryIndex = 32768;
  constexpr long kLimit = 3 * kEveryIndex;  // a wrapping walk stops here with error 7
  auto walk = [&](auto routine) {
    auto* array = new testing::EveryIndexArray(control, kLimit);
    const Object held(ComPtr<IDispatch>::attach(array));
    const std::int32_t number = testing::errorOf([&] { routine(Variant(held.get())); });
    return std::pair{number, array->taken()};
  };
  // No handling: the client receives error 6 after the last element.
  for (const char16_t* routine : {u"ReadFromRecordToControlArray", u"ReadFromSnapToControlArray"}) {
    const auto [number, taken] = walk([&](const Variant& a) { dataAccess.call(routine, a, orders.pointer().get()); });
    EXPECT_EQ(number, errc::Overflow) << toUtf8(routine);
    EXPECT_EQ(taken, kEveryIndex) << toUtf8(routine);
  }
  EXPECT_EQ(Object(control).get(u"Text").text(), u"O'Brien");
  EXPECT_EQ(walk([&](const Variant& a) {
              dataAccess.call(u"FillUnboundControlsFromRS_s", orders.pointer().get(), a, std::int16_t{32767});
            }),
            std::pair(errc::Overflow, 2L));  // the data field, then the value
  // Handler and finish: the overflow is shown and the save fails.
  orders.call(u"Edit");
  std::pair<std::int32_t, long> saved;
  saved = walk([&](const Variant& a) {
    EXPECT_FALSE(toBool(dataAccess.call(u"SaveRecordFromControlArray_b", true, a, orders.pointer().get(), 0)));
  });
  EXPECT_EQ(saved, std::pair(0, kEveryIndex));
  ASSERT_EQ(box->prompts().size(), 1u);
  EXPECT_EQ(box->prompts()[0].prompt, standardDescription(errc::Overflow));
  // Result is the error's description.
  orders.call(u"Edit");
  std::u16string result;
  EXPECT_EQ(walk([&](const Variant& a) {
              result = dataAccess.call(u"FillRSFromUnboundControls_s", orders.pointer().get(), a, std::int16_t{32760})
                           .text();
            }),
            std::pair(0, 16L));
  EXPECT_EQ(result, standardDescription(errc::Overflow));
  orders.call(u"CancelUpdate");
}

TEST_P(DataAccess, MergeFieldsFromDataSources) {
  // A control's merge field is its data source read as text: the data
  // control's default member, its caption.
  const Object form = formFrom(R"FORM(form frmLetter {
  Data datSurname {
    Caption = "Surname"
  }
  Data datTown {
    Caption = "Town"
  }
  TextBox txtMerge[0] {
    DataSource = datSurname
    Text = "Smith"
  }
  TextBox txtMerge[1] {
    DataSource = datTown
  }
  TextBox txtMerge[2] {
    Text = "bound to nothing"
  }
})FORM");
  const std::u16string file = u16(dir / "merge.txt");
  EXPECT_EQ(toInt32(dataAccess.call(u"SaveMergeFieldsFromDatasource", makeVariantArray({form.get(u"txtMerge")}), file)), 0);
  std::ifstream in(dir / "merge.txt", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(), "Surname;Town\r\n\"Smith\";\" \"");
  EXPECT_EQ(Object(Object(form.get(u"txtMerge")).get(u"Item", {Variant(1)})).get(u"Text").text(), u" ");
  EXPECT_EQ(toInt32(dataAccess.call(u"SaveMergeFieldsFromDatasource", makeVariantArray({}), file)), errc::InvalidProcedureCall);
  EXPECT_TRUE(box->prompts().empty());
  // A file that cannot be written answers the write's error number, and
  // this class's writer tells the user so.
  const std::u16string nowhere = u16(dir / "no" / "such.txt");
  EXPECT_EQ(toInt32(dataAccess.call(u"SaveMergeFieldsFromDatasource", makeVariantArray({form.get(u"txtMerge")}), nowhere)),
            errc::PathNotFound);
  ASSERT_EQ(box->prompts().size(), 1u);
  EXPECT_EQ(box->prompts()[0].prompt, u"Path not found");
  EXPECT_EQ(box->prompts()[0].buttons, 48);
}

}  // namespace
INSTANTIATE_TEST_SUITE_P(Backends, DataAccess, testing::kBothBackends, testing::backendName);

}  // namespace tarnwick
