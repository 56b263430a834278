// The dialect on both backends: the same records in a database file and on
// the server, the same conditions and statements written for each, and the
// same records (or the same refusal) coming back.
#include "../../src/engine/Connection.h"
#include "../../src/engine/postgres/PgCatalogue.h"
#include "../../src/engine/postgres/PgConnection.h"
#include "../../src/engine/postgres/PgDialect.h"
#include "../../src/engine/SchemaCatalogue.h"
#include "../../src/engine/SqlDialect.h"
#include "../../src/engine/SqlStatement.h"
#include "../../src/engine/sqlite/SqliteDialect.h"
#include "EngineTesting.h"
#include "PgBackends.h"
#include "PgTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Locale.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace tarnwick::engine {
namespace {

std::string shownRaw(const RawValue& v) {
  if (std::holds_alternative<std::int64_t>(v)) return std::to_string(std::get<std::int64_t>(v));
  if (const double* d = std::get_if<double>(&v)) {
    char buffer[40];
    // Days between dates kept as day serials in a file lose their last digits.
    std::snprintf(buffer, sizeof buffer, "%.10g", *d);
    return buffer;
  }
  if (const std::string* s = std::get_if<std::string>(&v)) return '\'' + *s + '\'';
  return "Null";
}

// Rows as text, one line each, columns separated by "|".
template <class AnyStatement>
std::string rowsOf(AnyStatement& s, const std::vector<RawValue>& parameters = {}) {
  for (std::size_t i = 0; i < parameters.size(); ++i) s.bind(static_cast<int>(i + 1), parameters[i]);
  std::string out;
  while (s.step()) {
    for (int c = 0; c < s.columnCount(); ++c) out += (c ? "|" : "") + shownRaw(s.raw(c));
    out += '\n';
  }
  return out;
}

// The same tables on both backends, made and filled by the dialect's own
// statements.
struct Dialects : BothBackends {
  explicit Dialects(const std::string& uri) : BothBackends(uri, "dialect.db") {
    fileSchema.ensureCatalogue();
    serverSchema.ensureCatalogue();
    ensureServerFunctions(server);
  }

  TableLookup serverTables() {
    return [this](std::u16string_view name) { return serverSchema.table(name); };
  }
  TranslatedStatement forFile(std::u16string_view text) { return translateStatement(text, fileSchema); }
  TranslatedStatement forServer(std::u16string_view text) {
    return translateStatement(text, serverTables(), postgresDialect());
  }

  // Runs a statement that returns no rows on both backends.
  void run(std::u16string_view text) {
    const TranslatedStatement onFile = forFile(text);
    const TranslatedStatement onServer = forServer(text);
    if (onFile.kind == TranslatedStatement::Kind::CreateTable) {
      drop(onServer.table);
      made.push_back(onServer.table);
    }
    file.exec(onFile.sql);
    server.exec(onServer.sql);
    if (onFile.kind == TranslatedStatement::Kind::CreateTable) {
      fileSchema.record(onFile.table, onFile.fields);
      serverSchema.record(onServer.table, onServer.fields);
    }
    fileSchema.invalidate();
    serverSchema.invalidate();
  }

  // The rows of a SELECT on each backend.
  std::pair<std::string, std::string> select(std::u16string_view text) {
    const std::string onFile = rowsOf(file.cached(forFile(text).sql));
    return {onFile, rowsOf(server.cached(forServer(text).sql))};
  }

  // The ids of a table's records that meet a condition, on the file, on the
  // server with the condition's values written in, and with them as
  // parameters.
  struct Selected {
    std::string file, server, serverWithParameters;
  };
  Selected where(std::u16string_view table, std::u16string_view condition) {
    const auto fileTable = fileSchema.table(table);
    const auto serverTable = serverSchema.table(table);
    const std::string tail = " ORDER BY \"Id\"";
    Selected out;
    out.file =
        rowsOf(file.cached("SELECT \"Id\" FROM " + fileTable->quoted + " WHERE " +
                           translateCondition(condition, tableResolver(*fileTable), nullptr, sqliteDialect()) + tail));
    const std::string from = "SELECT \"Id\" FROM " + serverTable->quoted + " WHERE ";
    out.server = rowsOf(server.cached(
        from + translateCondition(condition, tableResolver(*serverTable), nullptr, postgresDialect()) + tail));
    std::vector<RawValue> parameters;
    const std::string withParameters =
        translateCondition(condition, tableResolver(*serverTable), &parameters, postgresDialect());
    out.serverWithParameters = rowsOf(server.cached(from + withParameters + tail), parameters);
    return out;
  }
};

// Texts with the server's own pattern characters, quotes, brackets,
// letters beyond ASCII in either case, Nulls in every field.
void fillItems(Dialects& d, std::u16string_view table) {
  const std::u16string t(table);
  d.run(u"CREATE TABLE " + t +
        u" (Id LONG PRIMARY KEY, Name TEXT(40), Note MEMO, Qty SHORT, Price DOUBLE, Shipped DATETIME, Paid YESNO)");
  const char16_t* rows[] = {
      u"1, 'Apple', 'fresh', 10, 1.5, #1/2/2020#, True",
      u"2, 'apple pie', '100% sure', 3, 2.25, #3/4/2021 10:30:00#, False",
      u"3, 'Éclair', 'under_score', 0, Null, Null, True",
      u"4, 'O''Brien', 'it''s', Null, 12, #12/31/1999#, False",
      u"5, 'a_b', 'a%b', 7, 0.5, #1/2/2020 23:59:59#, False",
      u"6, 'a%b', '[x]', 5, 3, #7/4/2022#, True",
      u"7, Null, Null, 2, Null, Null, False",
      u"8, 'ab12', 'x*y?z#', 12, 7.75, #2/29/2024#, True",
      u"9, 'AB3', 'back\\slash', 1, 1, #1/1/1900#, False",
      u"10, 'zeta', 'Z*', 4, 100, #6/15/2010#, True",
      u"11, 'ÉCOLE', '', 6, 4, #6/15/2010 6:00:00#, True",
  };
  for (const char16_t* row : rows)
    d.run(u"INSERT INTO " + t + u" (Id, Name, Note, Qty, Price, Shipped, Paid) VALUES (" + row + u")");
}

TEST(PgDialect, ConditionsSelectTheSameRecordsOnBothBackends) {
  REQUIRE_SERVER(uri);
  Dialects d(uri->uri());
  fillItems(d, u"DialectWhere");
  struct Case {
    const char16_t* condition;
    const char* ids;  // the records meant, where the case proves a rule on its own ("" for none)
  };
  const Case cases[] = {
      // Like: every form of pattern, the server's own pattern characters
      // and quotes in the data, letter case ignored (beyond ASCII too).
      {u"Name Like 'a*'", "1,2,5,6,8,9"},
      {u"Name Like 'A*'", "1,2,5,6,8,9"},
      {u"Name Like '*pie'", "2"},
      {u"Name Like '?pple'", "1"},
      {u"Name Like 'a?b'", "5,6"},
      {u"Name Like 'a_b'", "5"},
      {u"Name Like 'a%b'", "6"},
      {u"Name Like '*%*'", "6"},
      {u"Name Like '*_*'", "5"},
      {u"Name Like 'O''*'", "4"},
      {u"Name Like 'ab##'", "8"},
      {u"Name Like 'ab#'", "9"},
      {u"Name Like '[a-c]*'", "1,2,5,6,8,9"},
      {u"Name Like '[!a-c]*'", "3,4,10,11"},
      {u"Name Like '[ZO]*'", "4,10"},
      {u"Name Like 'é*'", "3,11"},
      {u"Name Like '[!]pple'", "1"},
      {u"Name Like '[]Apple'", "1"},
      {u"Name Like '[a'", ""},
      {u"Name Like '[z-a]*'", ""},
      {u"Note Like '*[*]*'", "8,10"},
      {u"Note Like '*[?]*'", "8"},
      {u"Note Like '*[#]'", "8"},
      {u"Note Like '[[]*'", "6"},
      {u"Note Like '*\\*'", "9"},
      {u"Note Like '*[%]*'", "2,5"},
      {u"Note Like ''", "11"},
      {u"Note Like 'a.b'", ""},
      {u"Note Like '100% sure'", "2"},
      {u"Note Like 'it''s'", "4"},
      {u"Note Like 'x*y?z#'", ""},
      {u"Note Like 'x[*]y[?]z[#]'", "8"},
      {u"Note Like '[!a-z0-9]*'", "6"},
      {u"Note Like '*'", "1,2,3,4,5,6,8,9,10,11"},
      {u"Name Not Like 'a*'", "3,4,10,11"},
      {u"Not Name Like 'a*' And Id < 5", "3,4"},
      {u"Name Like Note", "10"},
      {u"Name Like 'a' & '*' And Qty > 4", "1,5,6,8"},
      {u"Name Like Null", ""},
      {u"Qty Like '1*'", "1,8,9"},
      {u"Price Like '*.5'", "1,5"},
      {u"(Name Like 'a*' Or Note Like '*s*') And Not Paid", nullptr},
      // Operators, True and False, Nulls.
      {u"Qty > 3", nullptr},
      {u"Qty + 1 = 4", "2"},
      {u"Qty Mod 3 = 1", nullptr},
      {u"Qty * 2 > Price", nullptr},
      {u"Price / 2 > 1", nullptr},
      {u"-Qty < -5", nullptr},
      {u"Name = 'APPLE'", "1"},
      {u"Name <> 'apple'", nullptr},
      {u"Name & Note = 'Applefresh'", nullptr},
      {u"Name >= 'ab' And Name < 'b'", "1,2,8,9"},
      {u"Paid = True", "1,3,6,8,10,11"},
      {u"Paid = False", "2,4,5,7,9"},
      {u"Paid", "1,3,6,8,10,11"},
      {u"Paid = -1 And Paid <> 0", "1,3,6,8,10,11"},
      {u"Paid = 0 And Id < 5", "2,4"},
      {u"Paid = 0 Or Qty = -1", "2,4,5,7,9"},
      {u"Not Paid And Qty Is Not Null", "2,5,7,9"},
      {u"Name Is Null", "7"},
      {u"Qty Is Null Or Qty < 2", "3,4,9"},
      {u"Id In (1, 3, 5)", "1,3,5"},
      {u"Id Not In (1, 3, 5) And Id Between 2 And 6", "2,4,6"},
      {u"Id In (Select Id From DialectWhere Where Qty > 6)", "1,5,8"},
      {u"Exists (Select * From DialectWhere Where Qty > 100)", ""},
      // Dates: literals as dates and times, Nulls, the dialect's functions.
      {u"Shipped = #1/2/2020#", "1"},
      {u"Shipped > #1/2/2020#", nullptr},
      {u"Shipped Between #1/1/2020# And #12/31/2021#", "1,2,5"},
      {u"Shipped < #1/1/1950#", "9"},
      {u"Shipped Is Null", "3,7"},
      {u"Shipped = #3/4/2021 10:30:00#", "2"},
      {u"Shipped = #6/15/2010 6:00#", "11"},
      {u"DateValue(Shipped) = #1/2/2020#", "1,5"},
      {u"DateValue('1/2/2020') = Shipped", "1"},
      {u"CDate('3/4/2021 10:30:00') = Shipped", "2"},
      {u"Shipped < Date() And Shipped < Now()", "1,2,4,5,6,8,9,10,11"},
      {u"Shipped + 1 = #1/3/2020# Or 2 + Shipped = #3/2/2024#", "1,8"},
      {u"Shipped - 0.5 < #1/2/2020# And Shipped > Date() - 20000", "1,4,10,11"},
      // The dialect's other functions.
      {u"UCase(Name) = 'APPLE PIE'", "2"},
      {u"LCase(Name) = 'zeta'", "10"},
      {u"Len(Name) = 4", "8,10"},
      {u"Trim('  x ') = 'x' And LTrim(' y') = 'y' And RTrim('z ') = 'z' And Id = 1", "1"},
      {u"Mid(Name, 2, 3) = 'ppl'", "1,2"},
      {u"Abs(Qty - 5) <= 1", nullptr},
      {u"Nz(Price, 0) = 0", "3,7"},
      {u"Round(Price) = 2", nullptr},
      {u"Round(Price, 1) = 7.8", "8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(c.condition));
    try {
      const auto selected = d.where(u"DialectWhere", c.condition);
      EXPECT_EQ(selected.server, selected.file);
      EXPECT_EQ(selected.serverWithParameters, selected.file);
      if (c.ids) {
        std::string expected(c.ids);
        std::string got = selected.file;
        for (char& ch : got)
          if (ch == '\n') ch = ',';
        if (!got.empty()) got.pop_back();
        EXPECT_EQ(got, expected);
      }
    } catch (const Error& e) {
      ADD_FAILURE() << shown(e);
    }
  }
}

// Reads a table whole on both backends, its values typed by its fields.
std::pair<std::string, std::string> snapshot(Dialects& d, std::u16string_view table) {
  const auto read = [&](auto& s, const TableInfo& info) {
    std::string out;
    while (s.step()) {
      // The fields only: a server's table has the engine's row key too.
      for (int c = 0; c < static_cast<int>(info.fields.size()); ++c) {
        const Variant v = s.value(c, info.fields[static_cast<std::size_t>(c)].type);
        out += (c ? "|" : "") + (v.vt == VT_NULL ? std::string("Null") : toUtf8(toText(v)));
      }
      out += '\n';
    }
    return out;
  };
  const auto fileTable = d.fileSchema.table(table);
  const auto serverTable = d.serverSchema.table(table);
  const std::string onFile = read(d.file.cached("SELECT * FROM " + fileTable->quoted + " ORDER BY 1"), *fileTable);
  return {onFile, read(d.server.cached("SELECT * FROM " + serverTable->quoted + " ORDER BY 1"), *serverTable)};
}

TEST(PgDialect, StatementsChangeAndReadTheSameOnBothBackends) {
  REQUIRE_SERVER(uri);
  Dialects d(uri->uri());
  fillItems(d, u"DialectItems");
  d.run(u"CREATE TABLE DialectOrders (OrderId COUNTER PRIMARY KEY, ItemId LONG, Amount CURRENCY, Placed DATETIME)");
  d.run(u"CREATE UNIQUE INDEX ByPlaced ON DialectOrders (Placed DESC, ItemId)");
  for (const char16_t* row : {u"1, 2.5, #1/5/2020#", u"1, 4, #1/6/2020#", u"6, 10, #2/1/2021#", u"42, 1, #3/1/2021#"})
    d.run(std::u16string(u"INSERT INTO DialectOrders (ItemId, Amount, Placed) VALUES (") + row + u")");
  const auto same = [&](std::u16string_view select) {
    SCOPED_TRACE(toUtf8(select));
    const auto [onFile, onServer] = d.select(select);
    EXPECT_EQ(onServer, onFile);
    EXPECT_FALSE(onFile.empty());
  };
  same(
      u"SELECT i.Name, o.Amount FROM DialectItems AS i INNER JOIN DialectOrders AS o ON i.Id = o.ItemId "
      u"WHERE o.Amount > 1 ORDER BY o.OrderId");
  same(u"SELECT o.OrderId, i.Name FROM DialectOrders o LEFT JOIN DialectItems i ON o.ItemId = i.Id ORDER BY o.OrderId");
  same(
      u"SELECT DialectItems.Id, DialectOrders.OrderId FROM DialectItems, DialectOrders "
      u"WHERE DialectItems.Id = DialectOrders.ItemId AND DialectOrders.Placed >= #1/6/2020# ORDER BY 2");
  same(u"SELECT Count(*), Sum(Qty), Max(Price), Min(Qty), Avg(Qty) FROM DialectItems WHERE Shipped Is Not Null");
  same(u"SELECT Count(*) AS Many, Sum(Qty) FROM DialectItems GROUP BY Paid HAVING Count(*) > 1 ORDER BY 1");
  same(u"SELECT DISTINCT Qty Mod 2 FROM DialectItems WHERE Qty Is Not Null ORDER BY 1");
  same(u"SELECT [Name] & '/' & Note AS Both, Qty * 2 + 1 FROM [DialectItems] WHERE Id <= 3 ORDER BY Id");
  // Amounts as texts show no trailing zeros on either backend.
  same(u"SELECT OrderId, Amount & '', Len(Amount), Mid(Amount, 1), Trim(Amount) FROM DialectOrders ORDER BY 1");

  // Changes through the dialect leave the same records on both.
  d.run(u"UPDATE DialectItems SET Qty = Qty + 1, Note = 'seen' WHERE Name Like 'a*' And Paid = True");
  d.run(u"UPDATE DialectItems SET Shipped = #5/6/2023 8:15:00#, Paid = True WHERE Id = 7");
  d.run(u"UPDATE DialectItems SET Paid = 0 WHERE Paid = -1 And Id = 10");
  d.run(u"UPDATE DialectItems SET Name = UCase(Name) & '!' WHERE Shipped < #1/1/2000#");
  d.run(u"DELETE * FROM DialectItems WHERE Price > 50 Or Note Like '*[%]*'");
  d.run(u"DELETE FROM DialectOrders WHERE ItemId Not In (Select Id From DialectItems)");
  d.run(u"INSERT INTO DialectItems (Id, Name, Paid) VALUES (20, 'it''s 100%_new', False)");
  // Yes and No given as -1 and 0, with the fields named and without.
  d.run(u"INSERT INTO DialectItems (Id, Paid, Qty) VALUES (21, -1, -1)");
  d.run(u"INSERT INTO DialectItems (Paid, Id) VALUES (0, 22)");
  d.run(u"INSERT INTO DialectItems VALUES (23, 'all', Null, 1, 2, #1/1/2001#, -1)");
  d.run(
      u"INSERT INTO DialectItems (Id, Name, Qty, Shipped, Paid) SELECT Id + 100, Name, Qty, Shipped, Paid "
      u"FROM DialectItems WHERE Qty > 5");
  const auto [items, serverItems] = snapshot(d, u"DialectItems");
  EXPECT_EQ(serverItems, items);
  const auto [orders, serverOrders] = snapshot(d, u"DialectOrders");
  EXPECT_EQ(serverOrders, orders);
  EXPECT_EQ(std::count(orders.begin(), orders.end(), '\n'), 3);

  // The index made through the dialect is a unique one on the server too.
  const auto duplicate = errorOf(
      [&] { d.server.exec(d.forServer(u"INSERT INTO DialectOrders (ItemId, Placed) VALUES (1, #1/6/2020#)").sql); });
  EXPECT_EQ(duplicate.number(), errc::DuplicateKey) << shown(duplicate);
  d.run(u"DROP INDEX ByPlaced ON DialectOrders");
  d.server.exec(d.forServer(u"INSERT INTO DialectOrders (ItemId, Placed) VALUES (1, #1/6/2020#)").sql);
  d.run(u"DROP TABLE DialectOrders");
  EXPECT_EQ(d.serverSchema.table(u"DialectOrders"), nullptr);
  EXPECT_EQ(d.fileSchema.table(u"DialectOrders"), nullptr);
}

// Cells shown as people read them: a number and the text of that number
// look the same (a Null's replacement is a text on the server).
std::string shownRows(const std::string& rows) {
  std::string out;
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i] != '\'') out += rows[i];
  return out;
}

TEST(PgDialect, ValuesOrdersAndGroupsAreTheSameOnBothBackends) {
  REQUIRE_SERVER(uri);
  Dialects d(uri->uri());
  fillItems(d, u"DialectValues");
  // Texts whose order is by their characters' numbers beyond ASCII, and by
  // ASCII's order of the signs; letter case is ignored in ASCII only.
  for (const char16_t* row : {u"12, 'zebra', 9", u"13, 'Zürich', 9", u"14, 'émile', 8", u"15, '_under', 3",
                              u"16, 'B', 11", u"17, 'ñu', 13", u"18, 'Émile', 14", u"19, 'éclair', 15"})
    d.run(std::u16string(u"INSERT INTO DialectValues (Id, Name, Qty) VALUES (") + row + u")");
  // Texts that read as dates, each its own way.
  d.run(u"CREATE TABLE DialectDays (Id LONG PRIMARY KEY, Said TEXT(30))");
  for (const char16_t* row : {u"1, '2.1.2020'", u"2, '13.1.2020'", u"3, '2020-01-02'", u"4, '1/2/2020'",
                              u"5, '2.1.2020 10:30'", u"6, '2 Jan 2020'", u"7, '31.12.1999'", u"8, '6/15/2010'",
                              u"9, Null"})
    d.run(std::u16string(u"INSERT INTO DialectDays (Id, Said) VALUES (") + row + u")");
  const auto same = [&](std::u16string_view select) {
    SCOPED_TRACE(toUtf8(select));
    try {
      const auto [onFile, onServer] = d.select(select);
      EXPECT_EQ(shownRows(onServer), shownRows(onFile));
      EXPECT_FALSE(onFile.empty());
    } catch (const Error& e) {
      ADD_FAILURE() << shown(e);
    }
  };
  // Orders: texts, yes/no fields (Yes first, as -1), Nulls first.
  for (const char16_t* select : {
           u"SELECT Id, Name FROM DialectValues ORDER BY Name, Id",
           u"SELECT Id FROM DialectValues ORDER BY Name DESC, Id",
           u"SELECT Id, Paid + 0 FROM DialectValues ORDER BY Paid, Id",
           u"SELECT Id FROM DialectValues ORDER BY Paid DESC, Qty, Id",
           u"SELECT Id, Qty FROM DialectValues ORDER BY Qty, Id",
           u"SELECT Id FROM DialectValues ORDER BY Qty DESC, Id DESC",
           u"SELECT Id FROM DialectValues WHERE Name > 'z' Or Name < 'b' ORDER BY Name ASC, Id",
           u"SELECT Paid + 0, Count(*) FROM DialectValues GROUP BY Paid ORDER BY Paid",
           u"SELECT Sum(Paid), Min(Paid), Max(Paid), Avg(Paid), Count(Paid) FROM DialectValues",
           u"SELECT Min(Name), Max(Name) FROM DialectValues WHERE Id < 12",
           u"SELECT Name, Count(*) FROM DialectValues GROUP BY Name ORDER BY Name",
           u"SELECT Name, Qty FROM DialectValues WHERE Id In (1, 2, 4) UNION "
           u"SELECT Name, Qty FROM DialectValues WHERE Id Between 7 And 10 ORDER BY Name DESC, Qty",
           u"SELECT DISTINCT Name FROM DialectValues ORDER BY Name",
           u"SELECT DISTINCT Qty, Name FROM DialectValues WHERE Id > 5 ORDER BY Qty DESC, Name",
           u"SELECT Count(*), Max(Id) FROM DialectValues GROUP BY Paid, Name HAVING Count(*) > 0 ORDER BY 2",
       })
    same(select);
  // Values: functions and operators over numbers, texts, dates, yes/no
  // fields and Nulls.
  for (const char16_t* value : {
           u"Len(Qty)", u"Len(Price)", u"Len(Name)", u"Len(Null)", u"Qty & Qty", u"Qty & 'x'", u"'n' & Id",
           u"Paid & ''", u"Paid + 1", u"-Paid", u"Abs(Paid)", u"Nz(Name, 0)", u"Nz(Qty, 0)", u"Nz(Price, -1)",
           u"Nz(Note, 'none')", u"Shipped - #1/1/2020#", u"#1/1/2020 12:00# - Shipped", u"Shipped - Shipped",
           u"UCase(Qty)", u"LCase(Price)", u"Trim(Qty)", u"Mid(Qty, 1, 1)", u"Mid(Name, 2)", u"Round(Qty / 4)",
           u"Round(Price, 1)", u"Abs(-Qty)", u"Qty Mod 4", u"Qty / 4", u"Price * Qty", u"Name & Null",
           u"UCase(Name)", u"LCase(Name)", u"Trim(' ' & Name & ' ')", u"LTrim(' ' & Qty)", u"RTrim(Note & '  ')",
           u"Mid(Name, 0, 2)", u"Mid(Name, 3, 100)", u"Mid(Null, 1)", u"UCase(Null)", u"Nz(Null, Qty)",
           u"Nz(Qty, Price)", u"Abs(Null)", u"Round(Null)", u"Qty & Price & Name", u"(Qty + 1) & (Qty * 2)",
           u"Len(Qty & Name)", u"Len('')", u"Shipped - #1/1/2020# - 1", u"Round(Shipped - #1/1/2020#, 2)",
           u"Qty Between 2 And 5", u"Name Between 'b' And 'zz'", u"Name In ('APPLE', 'éclair')",
           u"Name Not Between 'b' And 'zz'", u"Name Not In ('zeta', 'ÉCOLE')", u"'zz' < Name", u"Name > Note",
           u"Qty In (1, 2) Or Paid", u"Name Is Null", u"Not Paid", u"Paid = Paid", u"Paid * Qty",
       }) {
    same(u"SELECT Id, " + std::u16string(value) + u" FROM DialectValues ORDER BY Id");
  }
  // Conditions on texts, yes/no fields and days.
  const struct {
    const char16_t* condition;
    const char* ids;
  } cases[] = {
      {u"Name > 'z' And Id < 12", "3,10,11"},
      {u"Name = 'éclair'", "19"},
      {u"Name = 'ÉCLAIR'", "3"},
      {u"Name <= 'apple' Or Name >= 'ñ'", "1,5,6,8,9,15,17"},
      {u"'zz' < Name Or 'B' = Name", "3,11,13,14,16,17,18,19"},
      {u"Name Between 'b' And 'zz' And Name Not In ('ZETA', 'b')", "4,12"},
      {u"-1 = Paid And Id < 5", "1,3"},
      {u"0 = Paid And Id < 5", "2,4"},
      {u"True = Paid And Id < 5", "1,3"},
      {u"Paid + 0 = -1 And Id < 5", "1,3"},
      {u"Shipped - #1/2/2020# > 0.5 And Shipped - #1/2/2020# < 500", "2,5"},
      {u"Date() - Shipped > 9000 And Now() - Shipped > 9000.5", "4,9"},
      {u"Shipped - Date() < -20000 And Shipped - Now() > -60000", "9"},
      {u"DateValue('13/1/2020') = #1/13/2020# And Id = 1", "1"},
      {u"DateValue('2020-01-02') = Shipped", "1"},
      // Texts that a date field meets read as dates; numbers that a text
      // field meets as texts.
      {u"Shipped = '1/2/2020'", "1"},
      {u"Shipped > '1/2/2020' And Id < 9", "2,5,6,8"},
      {u"Shipped Between '1/1/2020' And '12/31/2021'", "1,2,5"},
      {u"Shipped In ('1/2/2020', #7/4/2022#)", "1,6"},
      {u"Name = 3", ""},
      {u"Name > 3 And Id < 5", "1,2,3,4"},
      {u"Name Like 3", ""},
      {u"Qty > 2.5 And Id < 9", "1,2,5,6,8"},
      {u"Price = 3", "6"},
      {u"Name = Null Or Shipped = Null Or Paid = Null", ""},
  };
  const auto check = [&](std::u16string_view condition, const char* ids, std::u16string_view table) {
    SCOPED_TRACE(toUtf8(condition));
    try {
      const auto selected = d.where(table, condition);
      EXPECT_EQ(selected.server, selected.file);
      EXPECT_EQ(selected.serverWithParameters, selected.file);
      std::string got = selected.file;
      std::replace(got.begin(), got.end(), '\n', ',');
      if (!got.empty()) got.pop_back();
      EXPECT_EQ(got, ids);
    } catch (const Error& e) {
      ADD_FAILURE() << shown(e);
    }
  };
  for (const auto& c : cases) check(c.condition, c.ids, u"DialectValues");
  // Day first in the user's locale is no date here (1, 2, 5, 7).
  check(u"CDate(Said) = #1/2/2020# And Id Not In (1, 2, 5, 7)", "3,4,6", u"DialectDays");
  check(u"CDate(Said) > #6/14/2010# And Id Not In (1, 2, 5, 7)", "3,4,6,8", u"DialectDays");
  // Texts read as dates the user's way: day first in a German locale.
  const LocaleScope german(Locale::deDE());
  check(u"DateValue('2.1.2020') = Shipped", "1", u"DialectValues");
  check(u"CDate('13.1.2020') = #1/13/2020# And Id = 1", "1", u"DialectValues");
  check(u"DateValue(Said) = #1/2/2020#", "1,3,5,6", u"DialectDays");
  check(u"CDate(Said) = #1/13/2020# Or CDate(Said) = #12/31/1999#", "2,7", u"DialectDays");
}

TEST(PgDialect, RefusalsAreTheSameOnBothBackends) {
  REQUIRE_SERVER(uri);
  Dialects d(uri->uri());
  fillItems(d, u"DialectRefused");
  const auto fileTable = d.fileSchema.table(u"DialectRefused");
  const auto serverTable = d.serverSchema.table(u"DialectRefused");
  // Refused while the condition is written: the same number and text.
  for (const char16_t* condition :
       {u"Qty >", u"Name Like", u"(Qty > 1", u"Qty = 1)", u"Name Like 'a*' Like", u"Nope(Qty) > 1", u"Qty = 'three'",
        u"'x' <> Price", u"Name Like Mystery('a')", u"Qty Xor 1", u"Shipped = 'someday'",
        u"Shipped Between #1/1/2020# And 'later'"}) {
    SCOPED_TRACE(toUtf8(condition));
    const Error onFile =
        errorOf([&] { translateCondition(condition, tableResolver(*fileTable), nullptr, sqliteDialect()); });
    const Error onServer =
        errorOf([&] { translateCondition(condition, tableResolver(*serverTable), nullptr, postgresDialect()); });
    EXPECT_NE(onFile.number(), 0);
    EXPECT_EQ(shown(onServer), shown(onFile));
  }
  // Refused when the statement runs: a text that reads as no date.
  for (const char16_t* statement : {u"SELECT Id FROM DialectRefused WHERE DateValue(Name) = #1/2/2020#",
                                    u"SELECT Id FROM DialectRefused WHERE DateValue('someday') = Shipped"}) {
    SCOPED_TRACE(toUtf8(statement));
    const Error onFile = errorOf([&] { rowsOf(d.file.cached(d.forFile(statement).sql)); });
    const Error onServer = errorOf([&] { rowsOf(d.server.cached(d.forServer(statement).sql)); });
    EXPECT_EQ(onFile.number(), errc::CriteriaMismatch) << shown(onFile);
    EXPECT_EQ(onServer.number(), onFile.number()) << shown(onServer);
  }
  for (const char16_t* statement :
       {u"SELECT Id FROM DialectRefused WHERE Qty = 'x'", u"SELECT Nope(Id) FROM DialectRefused",
        u"DELETE FROM DialectRefused WHERE (Id = 1", u"SELECT Id FROM Missing"}) {
    SCOPED_TRACE(toUtf8(statement));
    EXPECT_EQ(shown(errorOf([&] { d.forServer(statement); })), shown(errorOf([&] { d.forFile(statement); })));
  }
  // A text the server cannot hold is refused as a value holding it is.
  const std::u16string nul = std::u16string(u"Name = 'a") + u'\0' + u"b'";
  EXPECT_EQ(errorOf([&] { translateCondition(nul, tableResolver(*serverTable), nullptr, postgresDialect()); }).number(),
            errc::OdbcCallFailed);
}

// The SQL that each backend's dialect has the writer write, word for word.
// The tests above compare the records that come back, which a question of
// the dialect answered for the other backend may leave the same.
TEST(PgDialect, EachBackendIsWrittenItsOwnSql) {
  const LocaleScope american(Locale::enUS());
  TableInfo items;
  items.name = u"Items";
  items.quoted = "\"Items\"";
  for (const auto& [name, type] :
       {std::pair{u"Id", FieldType::Long}, std::pair{u"Name", FieldType::Text}, std::pair{u"Note", FieldType::Memo},
        std::pair{u"Qty", FieldType::Integer}, std::pair{u"Price", FieldType::Double},
        std::pair{u"Shipped", FieldType::Date}, std::pair{u"Paid", FieldType::Boolean}}) {
    FieldInfo f;
    f.name = name;
    f.type = type;
    f.column = quoteName(std::u16string_view(f.name));
    items.fields.push_back(f);
  }
  const TableLookup tables = [&items](std::u16string_view name) {
    return equalsIgnoreCase(name, items.name) ? std::make_shared<const TableInfo>(items) : nullptr;
  };
  const auto condition = [&items](std::u16string_view text, const Dialect& dialect) {
    return translateCondition(text, tableResolver(items), nullptr, dialect);
  };
  struct Written {
    const char16_t* text;
    const char* file;
    const char* server;
  };
  for (const Written& w : std::initializer_list<Written>{
      {u"Note = Name & Qty & Name",
       R"sql(("Note" = "Name" || tw_text("Qty") || "Name"))sql",
       R"sql(("Note" = "Name" || '' || tarnwick.shown("Qty") || '' || "Name"))sql"},
      {u"Paid = True Or Not Paid Or Paid + 1 = 0 Or Paid = -1",
       R"sql(("Paid" = -1 Or Not "Paid" Or "Paid" + 1 = 0 Or "Paid" = - 1))sql",
       R"sql(("Paid" = TRUE Or Not "Paid" Or (-("Paid")::integer) + 1 = 0 Or "Paid" = TRUE))sql"},
      {u"Name Between 'a' And 'm' Or Note In ('x', 'y') Or 'b' < Name Or Name = 5",
       R"sql(("Name" Between 'a' And 'm' Or "Note" In ( 'x' , 'y' ) Or 'b' < "Name" Or "Name" = 5))sql",
       R"sql(((tarnwick.text_key("Name") COLLATE "C") Between (tarnwick.text_key('a') COLLATE "C") And )sql"
       R"sql((tarnwick.text_key('m') COLLATE "C") Or (tarnwick.text_key("Note") COLLATE "C") In ( )sql"
       R"sql((tarnwick.text_key('x') COLLATE "C") , (tarnwick.text_key('y') COLLATE "C") ) Or )sql"
       R"sql((tarnwick.text_key('b') COLLATE "C") < (tarnwick.text_key("Name") COLLATE "C") Or )sql"
       R"sql((tarnwick.text_key("Name") COLLATE "C") = (tarnwick.text_key('5') COLLATE "C")))sql"},
      {u"Shipped > #1/2/2020# And Shipped - #1/1/2020# > 1 And Date() - Shipped > 0",
       R"sql((tw_date("Shipped") > 43832 And tw_date("Shipped") - 43831 > 1 And tw_today ( ) - )sql"
       R"sql(tw_date("Shipped") > 0))sql",
       R"sql(("Shipped" > TIMESTAMP '2020-01-02 00:00:00' And tarnwick.days("Shipped" - TIMESTAMP )sql"
       R"sql('2020-01-01 00:00:00') > 1 And tarnwick.days(tarnwick.today() - "Shipped") > 0))sql"},
      {u"Name Like 'a*' Or Not Qty Like Note & '*'",
       R"sql(("Name" Like 'a*' Or Not "Qty" Like "Note" || '*'))sql",
       R"sql(("Name" ~* '^a.*$' COLLATE "und-x-icu" Or Not CAST("Qty" AS text) ~* tarnwick.like_regex("Note" )sql"
       R"sql(|| '' || '*') COLLATE "und-x-icu"))sql"},
      {u"DateValue('1/2/2020') = Shipped Or CDate(Note) = Shipped Or CDate('never') = Shipped",
       R"sql((tw_datevalue ( '1/2/2020' ) = tw_date("Shipped") Or tw_date ( "Note" ) = tw_date("Shipped") Or )sql"
       R"sql(tw_date ( 'never' ) = tw_date("Shipped")))sql",
       R"sql((TIMESTAMP '2020-01-02 00:00:00' = "Shipped" Or tarnwick.cdate ( "Note", 'MDY' ) = "Shipped" Or )sql"
       R"sql(CAST(NULL AS timestamp) = "Shipped"))sql"},
      {u"Shipped In ('1/2/2020', #1/3/2020#) Or UCase(Name) = 'A'",
       R"sql((tw_date("Shipped") In ( 43832 , 43833 ) Or tw_ucase ( "Name" ) = 'A'))sql",
       R"sql(("Shipped" In ( TIMESTAMP '2020-01-02 00:00:00' , TIMESTAMP '2020-01-03 00:00:00' ) Or )sql"
       R"sql(tarnwick.ucase ( "Name" ) = 'A'))sql"},
       }) {
    SCOPED_TRACE(toUtf8(w.text));
    EXPECT_EQ(condition(w.text, sqliteDialect()), w.file);
    EXPECT_EQ(condition(w.text, postgresDialect()), w.server);
  }
  for (const Written& w : std::initializer_list<Written>{
      {u"SELECT DISTINCT Name, Qty FROM Items ORDER BY Name",
       R"sql(SELECT DISTINCT "Items"."Name" , "Items"."Qty" FROM "Items" ORDER BY "Items"."Name")sql",
       R"sql(SELECT "Items"."Name" , "Items"."Qty" FROM "Items" GROUP BY (tarnwick.text_key("Items"."Name") )sql"
       R"sql(COLLATE "C"), "Items"."Name", "Items"."Qty" ORDER BY (tarnwick.text_key("Items"."Name") COLLATE )sql"
       R"sql("C") NULLS FIRST)sql"},
      {u"SELECT Name, Min(Note), Count(*) FROM Items GROUP BY Name",
       R"sql(SELECT "Items"."Name" , min ( "Items"."Note" ) , count ( * ) FROM "Items" GROUP BY )sql"
       R"sql("Items"."Name")sql",
       R"sql(SELECT "Items"."Name" , tarnwick.text_min ( "Items"."Note" ) , count ( * ) FROM "Items" GROUP )sql"
       R"sql(BY (tarnwick.text_key("Items"."Name") COLLATE "C"), "Items"."Name" ORDER BY "Items"."Name")sql"},
      {u"SELECT Name FROM Items UNION SELECT Note FROM Items ORDER BY Items.Name DESC",
       R"sql(SELECT "Items"."Name" FROM "Items" UNION SELECT "Items"."Note" FROM "Items" ORDER BY )sql"
       R"sql("Items"."Name" DESC)sql",
       R"sql(SELECT "Items"."Name" FROM "Items" UNION SELECT "Items"."Note" FROM "Items" ORDER BY "Name" )sql"
       R"sql(DESC NULLS LAST)sql"},
      {u"SELECT Id FROM Items ORDER BY Paid DESC, Name",
       R"sql(SELECT "Items"."Id" FROM "Items" ORDER BY "Items"."Paid" DESC , "Items"."Name")sql",
       R"sql(SELECT "Items"."Id" FROM "Items" ORDER BY "Items"."Paid" NULLS LAST , )sql"
       R"sql((tarnwick.text_key("Items"."Name") COLLATE "C") NULLS FIRST)sql"},
      {u"INSERT INTO Items (Id, Paid) VALUES (1, -1)",
       R"sql(INSERT INTO "Items" ( "Id" , "Paid" ) VALUES ( 1 , - 1 ))sql",
       R"sql(INSERT INTO "Items" ( "Id" , "Paid" ) VALUES ( 1 , TRUE ))sql"},
      {u"UPDATE Items SET Paid = 0, Shipped = Now() WHERE Shipped < Now()",
       R"sql(UPDATE "Items" SET "Paid" = 0 , "Shipped" = tw_now ( ) WHERE tw_date("Shipped") < tw_now ( ))sql",
       R"sql(UPDATE "Items" SET "Paid" = FALSE , "Shipped" = tarnwick.now() WHERE "Shipped" < tarnwick.now())sql"},
      {u"CREATE TABLE Parts (Id COUNTER PRIMARY KEY, Name TEXT(20) NOT NULL, Paid YESNO, CONSTRAINT u UNIQUE (Name))",
       R"sql(CREATE TABLE "Parts" ("Id" INTEGER PRIMARY KEY AUTOINCREMENT, "Name" VARCHAR(20) COLLATE NOCASE )sql"
       R"sql(NOT NULL, "Paid" BOOLEAN, UNIQUE ("Name")))sql",
       R"sql(CREATE TABLE "Parts" ("Id" integer GENERATED BY DEFAULT AS IDENTITY, "Name" varchar(20) COLLATE )sql"
       R"sql(tarnwick_nocase NOT NULL, "Paid" boolean, rowid bigint GENERATED ALWAYS AS IDENTITY UNIQUE, )sql"
       R"sql(PRIMARY KEY ("Id"), UNIQUE ("Name")))sql"},
      {u"CREATE UNIQUE INDEX ByName ON Items (Name DESC, Qty)",
       R"sql(CREATE UNIQUE INDEX "Items.ByName" ON "Items" ("Name" DESC, "Qty"))sql",
       R"sql(CREATE UNIQUE INDEX "Items.ByName" ON "Items" ("Name" DESC NULLS LAST, "Qty" NULLS FIRST))sql"},
       }) {
    SCOPED_TRACE(toUtf8(w.text));
    EXPECT_EQ(translateStatement(w.text, tables, sqliteDialect()).sql, w.file);
    EXPECT_EQ(translateStatement(w.text, tables, postgresDialect()).sql, w.server);
  }
  // The server is given the order in which the user's locale reads dates.
  {
    const LocaleScope german(Locale::deDE());
    EXPECT_EQ(condition(u"CDate(Note) = Shipped", postgresDialect()),
              R"sql((tarnwick.cdate ( "Note", 'DMY' ) = "Shipped"))sql");
  }
  // Values as parameters: their marks, and a condition of the same shape
  // sharing the SQL with values of its own.
  const auto shownValues = [](const std::vector<RawValue>& values) {
    std::string out;
    for (const RawValue& v : values) out += shownRaw(v) + ";";
    return out;
  };
  const std::u16string first = u"Qty = 1 Or Price > 2.5 Or Id = 3000000000 Or Shipped > #1/2/2020# Or Name Like 'a*'";
  const std::u16string second = u"Qty = 7 Or Price > 3.5 Or Id = 3000000001 Or Shipped > #1/3/2020# Or Name Like 'b*'";
  struct Shaped {
    const Dialect& dialect;
    const char* sql;
    const char* firstValues;
    const char* secondValues;
  };
  for (const Shaped& s : std::initializer_list<Shaped>{
           {sqliteDialect(),
            R"sql(("Qty" = ? Or "Price" > ? Or "Id" = ? Or tw_date("Shipped") > ? Or "Name" Like ?))sql",
            "1;2.5;3000000000;43832;'a*';", "7;3.5;3000000001;43833;'b*';"},
           {postgresDialect(),
            R"sql(("Qty" = ?::integer Or "Price" > ?::double precision Or "Id" = ?::bigint Or "Shipped" > )sql"
            R"sql(?::timestamp Or "Name" ~* ? COLLATE "und-x-icu"))sql",
            "1;2.5;3000000000;'2020-01-02 00:00:00';'^a.*$';", "7;3.5;3000000001;'2020-01-03 00:00:00';'^b.*$';"},
       }) {
    std::vector<RawValue> values;
    EXPECT_EQ(translateCondition(first, tableResolver(items), &values, s.dialect), s.sql);
    EXPECT_EQ(shownValues(values), s.firstValues);
    ConditionShape shape;
    EXPECT_EQ(shape.translate(first, items, values, s.dialect), s.sql);
    EXPECT_EQ(shownValues(values), s.firstValues);
    EXPECT_EQ(shape.translate(second, items, values, s.dialect), s.sql);
    EXPECT_EQ(shownValues(values), s.secondValues);
  }
}

// Sessions that open at once each find the engine's functions, made by one
// of them: in a database of the test's own, so that they start without.
TEST(PgDialect, SessionsThatOpenAtOnceMakeTheFunctionsOnce) {
  REQUIRE_SERVER(uri);
  ServerUri fresh = *uri;
  fresh.database = "tarnwick_functions_" + std::to_string(::getpid());
  // Made here and dropped at the end, also when a check fails on the way.
  struct Database {
    PgConnection admin;
    std::string name;
    Database(const std::string& uri, std::string database) : admin(uri), name(std::move(database)) {
      admin.exec("DROP DATABASE IF EXISTS " + name);
      admin.exec("CREATE DATABASE " + name);
    }
    ~Database() {
      const Error e = errorOf([&] { admin.exec("DROP DATABASE " + name); });
      EXPECT_EQ(e.number(), 0) << shown(e);
    }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
  } database(uri->uri(), fresh.database);
  {
    constexpr int kSessions = 6;
    std::vector<std::unique_ptr<PgConnection>> sessions;
    for (int i = 0; i < kSessions; ++i) sessions.push_back(std::make_unique<PgConnection>(fresh.uri()));
    std::atomic<int> ready{0};
    std::vector<std::string> failures(kSessions);
    std::vector<std::thread> threads;
    for (int i = 0; i < kSessions; ++i)
      threads.emplace_back([&, i] {
        ++ready;
        while (ready < kSessions) std::this_thread::yield();
        const Error e = errorOf([&] { ensureServerFunctions(*sessions[static_cast<std::size_t>(i)]); });
        if (e.number()) failures[static_cast<std::size_t>(i)] = shown(e);
      });
    for (auto& t : threads) t.join();
    for (const auto& f : failures) EXPECT_EQ(f, "");
    PgStatement check(*sessions[0], "SELECT tarnwick.like_regex('a[!b-d]#*'), tarnwick.like_regex('[q')");
    ASSERT_TRUE(check.step());
    EXPECT_EQ(check.text(0), likeRegex(u"a[!b-d]#*"));
    EXPECT_EQ(check.text(1), likeRegex(u"[q"));
  }
}

}  // namespace
}  // namespace tarnwick::engine
