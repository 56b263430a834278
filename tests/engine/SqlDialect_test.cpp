#include "../../src/engine/SqlDialect.h"
#include "../automation/ErrorOf.h"
#include "EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

using engine::shownRecordsDeletion;
using testing::column;
using testing::errorOf;
using testing::makeOrdersDatabase;
using testing::TempDir;

// The error a call raises, as number and description.
std::pair<std::int32_t, std::u16string> failure(const std::function<void()>& body) {
  try {
    body();
  } catch (const Error& e) {
    return {e.number(), e.description()};
  }
  return {0, {}};
}

TEST(SqlDialect, ShownRecordsDeletionCarriesTheSelection) {
  EXPECT_EQ(shownRecordsDeletion(u"tblOrders"), u"Delete * From tblOrders");
  EXPECT_EQ(shownRecordsDeletion(u"[tbl Orders]"), u"Delete * From [tbl Orders]");
  EXPECT_EQ(shownRecordsDeletion(u"Select * From tblOrders"), u"Delete * From tblOrders");
  EXPECT_EQ(shownRecordsDeletion(u"SELECT * FROM tblOrders WHERE Qty > 2 ORDER BY Id;"),
            u"Delete * From tblOrders WHERE Qty > 2");
  EXPECT_EQ(shownRecordsDeletion(u"Select Id, Qty From tblOrders Where (Note = 'it''s from x' Or Qty In (Select Qty "
                                 u"From tblOther Where Id > 1)) Order By Qty"),
            u"Delete * From tblOrders WHERE (Note = 'it''s from x' Or Qty In (Select Qty From tblOther Where Id > 1))");
  EXPECT_EQ(shownRecordsDeletion(u"Select * From Orders Where Note = 'tbl'"), u"Delete * From Orders WHERE Note = 'tbl'");
  EXPECT_EQ(shownRecordsDeletion(u"qrytblOpen"), u"Delete * From qrytblOpen");
  // Selections that show other rows than whole records of one table.
  for (const char16_t* source :
       {u"Select Top 5 * From tblOrders", u"Select Distinct Qty From tblOrders", u"Select * From tblA, tblB",
        u"Select * From tblA Inner Join tblB On tblA.Id = tblB.Id", u"Select * From tblOrders As o Where o.Qty > 1",
        u"Select Qty From tblOrders Group By Qty", u"Select * From tblA Union Select * From tblB",
        u"Select * From tblOrders Where", u"Select * From tblOrders; Delete * From tblOther",
        u"Select * From tblOrders Where Note = 'open", u"Select * From (Select * From tblOrders)",
        u"Update tblOrders Set Qty = 1", u"tblOrders Where Qty > 1", u"Select * From tblOrders Where (Qty > 1",
        u"Select * Into tblCopy From tblOrders", u"", u"[tblOrders"})
    EXPECT_EQ(errorOf([&] { shownRecordsDeletion(source); }), errc::OperationNotSupported) << toUtf8(source);
}

TEST(SqlDialect, DeleteShownRecordsDeletesWhatARecordsetShows) {
  TempDir dir;
  Object db = makeOrdersDatabase(dir / "orders.db");
  const char16_t* source = u"Select * From Orders Where Qty > 4 And Customer <> 'Miller' Order By Qty";
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", source)), u"OrderId"), u"1,2,5");
  db.call(u"DeleteShownRecords", source);
  EXPECT_EQ(toInt32(db.get(u"RecordsAffected")), 3);
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"Orders")), u"OrderId"), u"3,4");
  EXPECT_EQ(errorOf([&] { db.call(u"DeleteShownRecords", u"Select * From Orders As o"); }),
            errc::OperationNotSupported);
  EXPECT_EQ(errorOf([&] { db.call(u"DeleteShownRecords", u"Select * From Orders Where Nonsense = 1"); }),
            errc::TooFewParameters);
  db.call(u"DeleteShownRecords", u"[Orders]");
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"Orders")), u"OrderId"), u"");
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"Customers")), u"CustomerId"), u"1,2,3");
}

TEST(SqlDialect, SyntaxErrorsNameTheTokenAtFault) {
  TempDir dir;
  Object db = makeOrdersDatabase(dir / "orders.db");
  const auto execute = [&](const char16_t* sql) { return failure([&] { db.call(u"Execute", sql); }); };
  using Expected = std::pair<std::int32_t, std::u16string>;
  EXPECT_EQ(execute(u"DELETE FROM Orders WHERE Qty = = 5"),
            Expected(errc::SyntaxError, u"Syntax error (missing operator) in query expression "
                                        u"'DELETE FROM Orders WHERE Qty = = 5'. (at character 32: '=')"));
  EXPECT_EQ(execute(u"UPDATE Orders SET Qty = 1 WHERE Note = 'open"),
            Expected(errc::SyntaxError, u"Syntax error (missing operator) in query expression "
                                        u"'UPDATE Orders SET Qty = 1 WHERE Note = 'open'. (at character 40: ''open')"));
  EXPECT_EQ(execute(u"DELETE FROM Orders WHERE (Qty > 1"),
            Expected(errc::SyntaxError, u"Syntax error (missing operator) in query expression "
                                        u"'DELETE FROM Orders WHERE (Qty > 1'. (at the end of the text)"));
  EXPECT_EQ(execute(u"DELETE FROM Orders, WHERE Qty > 1"),
            Expected(errc::SyntaxErrorFrom, u"Syntax error in FROM clause. (at character 21: 'WHERE')"));
  EXPECT_EQ(execute(u"DELETE FROM Orders; DELETE FROM Customers"),
            Expected(errc::TrailingCharacters, standardDescription(errc::TrailingCharacters) +
                                                   u" (at character 21: 'DELETE')"));
  EXPECT_EQ(execute(u"MERGE Orders"),
            Expected(errc::InvalidStatement, standardDescription(errc::InvalidStatement) +
                                                 u" (at character 1: 'MERGE')"));
  EXPECT_EQ(execute(u"CREATE TABLE T (Id LONG, Name TEXT(300))"),
            Expected(errc::SyntaxErrorDdl, standardDescription(errc::SyntaxErrorDdl) +
                                               u" (at character 36: '300')"));
  EXPECT_EQ(execute(u"CREATE TABLE T (Id LONG, PRIMARY KEY (Key))"),
            Expected(errc::SyntaxErrorDdl, standardDescription(errc::SyntaxErrorDdl) +
                                               u" (at character 39: 'Key')"));
  EXPECT_EQ(execute(u"CREATE TABLE T (Id LONG"),
            Expected(errc::SyntaxErrorDdl, standardDescription(errc::SyntaxErrorDdl) + u" (at the end of the text)"));
  // Conditions and sort texts name their own text.
  Object orders(db.call(u"OpenRecordset", u"Orders", 2));
  EXPECT_EQ(failure([&] { orders.call(u"FindFirst", u"Qty 5"); }),
            Expected(errc::SyntaxError,
                     u"Syntax error (missing operator) in query expression 'Qty 5'. (at character 5: '5')"));
  EXPECT_EQ(failure([&] { orders.call(u"FindFirst", u"Qty = 5 @ 2"); }),
            Expected(errc::SyntaxError,
                     u"Syntax error (missing operator) in query expression 'Qty = 5 @ 2'. (at character 9: '@')"));
  EXPECT_EQ(failure([&] { orders.put(u"Sort", Variant(u"Qty DESC Customer")); }),
            Expected(errc::SyntaxError, u"Syntax error (missing operator) in query expression 'Qty DESC Customer'. "
                                        u"(at character 10: 'Customer')"));
  // Nothing ran.
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"Orders")), u"OrderId"), u"1,2,3,4,5");
}

TEST(SqlDialect, AConditionCarriesNoClauseOfAStatement) {
  TempDir dir;
  Object db = makeOrdersDatabase(dir / "orders.db");
  Object orders(db.call(u"OpenRecordset", u"Orders", 2));
  using Expected = std::pair<std::int32_t, std::u16string>;
  const auto syntaxError = [](const char16_t* condition, const char16_t* note) {
    return Expected(errc::SyntaxError, u"Syntax error (missing operator) in query expression '" +
                                           std::u16string(condition) + u"'. " + note);
  };
  const char16_t* joined = u"Qty Mod Count(*) From Customers Inner Join Orders On Customers.CustomerId = Qty";
  EXPECT_EQ(failure([&] { orders.call(u"FindFirst", joined); }), syntaxError(joined, u"(at character 18: 'From')"));
  const char16_t* unioned = u"Qty > 1 Union Select * From Orders";
  EXPECT_EQ(failure([&] { orders.call(u"FindFirst", unioned); }), syntaxError(unioned, u"(at character 9: 'Union')"));
  // Inside a subquery the words are the subquery's own.
  EXPECT_EQ(failure([&] { orders.call(u"FindFirst", u"Qty In (Select Qty From Orders Where OrderId > 3)"); }).first, 0);
  EXPECT_FALSE(toBool(orders.get(u"NoMatch")));
}

TEST(SqlDialect, AConditionIsOneWellFormedExpression) {
  TempDir dir;
  Object db = makeOrdersDatabase(dir / "orders.db");
  Object orders(db.call(u"OpenRecordset", u"Orders", 2));
  using Expected = std::pair<std::int32_t, std::u16string>;
  // Every operator stands between operands (or before one): a stray one is
  // the dialect's syntax error at that operator, not the storage's refusal.
  const std::pair<const char16_t*, const char16_t*> stray[] = {
      {u"Qty < 0 * * *", u"(at character 11: '*')"},
      {u"Qty + Or 1", u"(at character 7: 'Or')"},
      {u"Qty = 5 And", u"(at the end of the text)"},
      {u"Not", u"(at the end of the text)"},
      {u"Qty Between 1 Or 5", u"(at character 15: 'Or')"},
      {u"Qty Is 5", u"(at character 8: '5')"},
      {u"Qty In 5", u"(at character 8: '5')"},
      {u"Abs(Qty,) > 1", u"(at character 9: ')')"},
      {u"(Qty > 1))", u"(at character 10: ')')"},
      {u"Qty Not = 5", u"(at character 5: 'Not')"},
      {u"Qty Like", u"(at the end of the text)"},
      {u"Qty = .3..", u"(at character 7: '.3..')"},
  };
  for (const auto& [text, note] : stray) {
    const std::u16string condition = text;
    EXPECT_EQ(failure([&] { orders.call(u"FindFirst", condition); }),
              Expected(errc::SyntaxError, u"Syntax error (missing operator) in query expression '" +
                                              condition + u"'. " + note))
        << toUtf8(condition);
  }
  // The dialect's whole range of shapes still reads, and finds.
  const std::pair<const char16_t*, int> good[] = {
      {u"Not Qty Between 1 And 5 And Customer Not Like 'S*'", 2},
      {u"-Qty < -10 Or Qty In (2, 3)", 3},
      {u"Note Is Not Null And Not (Paid = True)", 3},
      {u"Abs(-Qty) Mod 4 = 3 And Qty * 2 - 1 > 10", 2},
      {u"[Orders].[Qty] = 5 And Orders!Customer & 'x' = 'Millerx'", 4},
      {u"Qty = (Select Max(Qty) From Orders)", 5},
      {u"Exists (Select * From Customers Where City = 'Bonn') And Qty = +2", 3},
      {u"OrderDate > #3/1/1998# And Note Is Null", 4},
  };
  for (const auto& [text, found] : good) {
    const std::u16string condition = text;
    EXPECT_EQ(failure([&] { orders.call(u"FindFirst", condition); }).first, 0) << toUtf8(condition);
    EXPECT_EQ(toInt32(orders.get(u"Collect", {Variant(u"OrderId")})), found) << toUtf8(condition);
  }
}

TEST(SqlDialect, ATextHoldingNulIsWrittenWhole) {
  using namespace std::string_literals;
  TempDir dir;
  Object db = makeOrdersDatabase(dir / "orders.db");
  // Written whole into the statement, the NUL would end it there.
  db.call(u"Execute", u"UPDATE Orders SET Note = 'a\0b''c' WHERE OrderId = 2"s);
  Object found(db.call(u"OpenRecordset", u"SELECT OrderId, Note FROM Orders WHERE Note = 'a\0b''c'"s));
  EXPECT_EQ(toText(found.get(u"Collect", {Variant(u"Note")})), u"a\0b'c"s);
  EXPECT_EQ(column(found, u"OrderId"), u"2");
  Object orders(db.call(u"OpenRecordset", u"Orders", 2));
  orders.put(u"Filter", Variant(u"Note Like 'a\0*'"s));
  EXPECT_EQ(column(Object(orders.call(u"OpenRecordset")), u"OrderId"), u"2");
  // No name holds one.
  EXPECT_EQ(failure([&] { db.call(u"Execute", u"UPDATE Orders SET [No\0te] = 'x'"s); }).first, errc::SyntaxError);
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"SELECT Nz(Note, '-') AS N FROM Orders")), u"N"),
            u"first,a\0b'c,third,-,last"s);
}

// A date field that a statement fills is named as stored, while a date
// field that a condition or a value reads is read as a date.
TEST(SqlDialect, InsertAndUpdateFillDateFields) {
  TempDir dir;
  Object db = makeOrdersDatabase(dir / "orders.db");
  db.call(u"Execute", u"INSERT INTO Orders (OrderId, OrderDate, Qty) VALUES (90, #5/6/2023 8:15:00#, 1)");
  db.call(u"Execute", u"INSERT INTO Orders ( OrderDate , OrderId ) VALUES (#5/7/2023#, 91)");
  db.call(u"Execute", u"UPDATE Orders SET OrderDate = #1/2/2024#, Qty = 3 WHERE OrderDate = #5/7/2023#");
  db.call(u"Execute", u"UPDATE Orders SET Note = 'later', OrderDate = OrderDate + 1 WHERE OrderId = 90");
  Object found(db.call(u"OpenRecordset",
                       u"SELECT OrderId, Qty, Note FROM Orders WHERE OrderDate >= #5/7/2023# ORDER BY OrderId"));
  EXPECT_EQ(column(found, u"OrderId"), u"90,91");
  EXPECT_EQ(column(found, u"Qty"), u"1,3");
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset", u"SELECT OrderId FROM Orders WHERE OrderDate = #5/7/2023 8:15#")),
                   u"OrderId"),
            u"90");
  // A list that is no plain list of fields stays the writer's to refuse.
  EXPECT_EQ(failure([&] { db.call(u"Execute", u"INSERT INTO Orders (OrderId + 1) VALUES (92)"); }).first,
            errc::SyntaxError);
}

// The dialect's text functions in a database file: letter case changed
// beyond ASCII too, a real number read as the engine shows it (12, not
// 12.0), Mid keeping to the characters the text has.
TEST(SqlDialect, TextFunctionsReadValuesAsTheEngineShowsThem) {
  TempDir dir;
  Object db = makeOrdersDatabase(dir / "orders.db");
  db.call(u"Execute", u"CREATE TABLE Measures (Id LONG PRIMARY KEY, Size DOUBLE, Label TEXT(20))");
  db.call(u"Execute", u"INSERT INTO Measures (Id, Size, Label) VALUES (1, 12, 'éclair  ')");
  db.call(u"Execute", u"INSERT INTO Measures (Id, Size, Label) VALUES (2, 1.5, '  Zürich')");
  db.call(u"Execute", u"INSERT INTO Measures (Id, Size, Label) VALUES (3, Null, Null)");
  Object rs(db.call(u"OpenRecordset",
                    u"SELECT Len(Size) AS L, Size & '' AS J, UCase(Label) AS U, LCase(Label) AS D, Trim(Label) AS T, "
                    u"LTrim(Label) AS LT, Mid(Label, 3, 3) AS M, Mid(Size, 0, 2) AS M0, RTrim(Size & ' ') AS R, "
                    u"Len(Label) AS N FROM Measures WHERE Id < 3 ORDER BY Id"));
  EXPECT_EQ(column(rs, u"L"), u"2,3");
  EXPECT_EQ(column(rs, u"J"), u"12,1.5");
  EXPECT_EQ(column(rs, u"U"), u"ÉCLAIR  ,  ZÜRICH");
  EXPECT_EQ(column(rs, u"D"), u"éclair  ,  zürich");
  EXPECT_EQ(column(rs, u"T"), u"éclair,Zürich");
  EXPECT_EQ(column(rs, u"LT"), u"éclair  ,Zürich");
  EXPECT_EQ(column(rs, u"M"), u"lai,Zür");
  EXPECT_EQ(column(rs, u"M0"), u"1,1");
  EXPECT_EQ(column(rs, u"R"), u"12,1.5");
  EXPECT_EQ(column(rs, u"N"), u"8,8");
  // Each of them gives Null for Null.
  EXPECT_EQ(column(Object(db.call(u"OpenRecordset",
                                  u"SELECT Id FROM Measures WHERE Len(Size) Is Null And UCase(Label) Is Null And "
                                  u"Trim(Label) Is Null And Mid(Label, 1) Is Null And Mid(Size, 1, Null) Is Null")),
                   u"Id"),
            u"3");
}

// A text that a date field meets reads as a date, the user's way; one that
// reads as none is a type mismatch. Find reads each new text again.
TEST(SqlDialect, TextsThatDateFieldsMeetReadAsDates) {
  TempDir dir;
  Object db = makeOrdersDatabase(dir / "orders.db");
  const auto ids = [&](std::u16string_view where) {
    return column(Object(db.call(u"OpenRecordset", u"SELECT OrderId FROM Orders WHERE " + std::u16string(where) +
                                                       u" ORDER BY OrderId")),
                  u"OrderId");
  };
  EXPECT_EQ(ids(u"OrderDate = '1/15/1998'"), u"2");
  EXPECT_EQ(ids(u"OrderDate Between '1/2/1998' And 'February 1, 1998'"), u"1,2,3");
  EXPECT_EQ(ids(u"OrderDate In ('3/10/1998', #12/24/1998#) Or OrderDate < '1/3/1998'"), u"1,4,5");
  EXPECT_EQ(failure([&] { ids(u"OrderDate > 'soon'"); }).first, errc::CriteriaMismatch);
  Object rs(db.call(u"OpenRecordset", u"Orders", 2));
  for (const auto& [date, id] : {std::pair(u"2/1/1998", u"3"), std::pair(u"12/24/1998", u"5")}) {
    rs.call(u"FindFirst", u"OrderDate = '" + std::u16string(date) + u"'");
    EXPECT_EQ(toText(rs.get(u"Collect", {Variant(u"OrderId")})), id);
  }
}

TEST(SqlDialect, StatementsThatStopShortAreSyntaxErrors) {
  TempDir dir;
  Object db = makeOrdersDatabase(dir / "orders.db");
  const auto execute = [&](std::u16string_view sql) { return failure([&] { db.call(u"Execute", sql); }); };
  const std::u16string atTheEnd = standardDescription(errc::SyntaxErrorDdl) + u" (at the end of the text)";
  using Expected = std::pair<std::int32_t, std::u16string>;
  EXPECT_EQ(execute(u"CREATE TABLE T (a TEXT CONSTRAINT"), Expected(errc::SyntaxErrorDdl, atTheEnd));
  EXPECT_EQ(execute(u"CREATE TABLE T (c0 TEXT, c1 TEXT, a TEXT(5,"), Expected(errc::SyntaxErrorDdl, atTheEnd));
  EXPECT_EQ(execute(u"CREATE TABLE T (CONSTRAINT"), Expected(errc::SyntaxErrorDdl, atTheEnd));
  EXPECT_EQ(execute(u"CREATE TABLE T (a TEXT(5, x))"),
            Expected(errc::SyntaxErrorDdl, standardDescription(errc::SyntaxErrorDdl) + u" (at character 27: 'x')"));
  // Every statement cut short after any of its tokens fails as a statement
  // does; only the whole one creates its table.
  const std::u16string whole =
      u"CREATE TABLE T (Id COUNTER CONSTRAINT pk PRIMARY KEY, Name TEXT(50) NOT NULL UNIQUE, "
      u"Amount DECIMAL(10, 2) NULL, CONSTRAINT u1 UNIQUE (Name, Amount));";
  for (std::size_t cut = 1; cut < whole.size(); ++cut) {
    if (whole[cut] != u' ' && whole[cut] != u',' && whole[cut] != u'(' && whole[cut] != u')') continue;
    const auto [number, description] = execute(whole.substr(0, cut));
    EXPECT_NE(number, 0) << toUtf8(whole.substr(0, cut));
  }
  EXPECT_EQ(execute(whole).first, 0);
}

}  // namespace
}  // namespace tarnwick
