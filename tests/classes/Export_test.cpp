// Export files through the class "Tarnwick.Export", reached by name as a
// client reaches it: CSV read back cell by cell (by RFC 4180) and through
// the data grid's paste rule under en-US and de-DE, hostile texts, XLSX read
// back by openpyxl, data grids' columns and selections, Cancel and failed
// writes leaving no file. On a database file and on the server.
#include "../automation/ErrorOf.h"
#include "../engine/EngineTesting.h"
#include "ClassTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/host/Progress.h>
#include <tarnwick/ocx/OcxWrapper.h>

#include "../../src/ocx/ClipboardRows.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

using testing::endLeftoverTransactions;
using testing::engineObject;
using testing::errorOf;
using testing::TempDir;

using Rows = std::vector<std::vector<std::u16string>>;

std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// RFC 4180 read strictly: a field is quoted whole or not at all, records
// end with CR LF.
Rows readCsv(std::u16string_view text, char16_t separator) {
  Rows rows(1);
  std::u16string field;
  bool quoted = false, wasQuoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (quoted) {
      if (c != u'"') field += c;
      else if (i + 1 < text.size() && text[i + 1] == u'"') field += text[++i];
      else quoted = false;
    } else if (c == u'"') {
      EXPECT_TRUE(field.empty() && !wasQuoted) << "a quote inside an unquoted field";
      quoted = wasQuoted = true;
    } else if (c == separator) {
      rows.back().push_back(std::move(field));
      field.clear();
      wasQuoted = false;
    } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      rows.back().push_back(std::move(field));
      field.clear();
      wasQuoted = false;
      ++i;
      if (i + 1 < text.size()) rows.emplace_back();
    } else {
      EXPECT_FALSE(wasQuoted) << "text after a closing quote";
      field += c;
    }
  }
  EXPECT_FALSE(quoted) << "a quoted field never closed";
  return rows;
}

// Texts no field separator, quote or line may break.
const std::u16string kHostile[] = {
    u"comma, semicolon; quote \" tab \t end", u"line\nfeed", u"carriage\rreturn", u"crlf\r\nend",
    u"  padded  ", u"\"\"", u"=SUM(A1)+cmd|' /C calc'!A0", u"na\u00efve \U0001F600 \u00fc", u"\uFEFFmark",
    u"\"quoted at both ends\"", u"",
};
constexpr int kRows = 300;

struct Export : testing::OnBackends {
  void SetUp() override {
    testing::OnBackends::SetUp();
    if (IsSkipped()) return;
    endLeftoverTransactions();
    db = Object(engineObject().call(u"CreateDatabase", fresh()));
    db.call(u"Execute", u"CREATE TABLE tblItems (Id LONG PRIMARY KEY, Person TEXT(80), Qty DOUBLE, Day DATETIME, "
                        u"Paid BIT)");
    const Object rs(db.call(u"OpenRecordset", u"tblItems"));
    engineObject().call(u"BeginTrans");
    for (int i = 0; i < kRows; ++i) {
      rs.call(u"AddNew");
      rs.put(u"Collect", {Variant(u"Id")}, Variant(i));
      const std::u16string& person = kHostile[static_cast<std::size_t>(i) % std::size(kHostile)];
      rs.put(u"Collect", {Variant(u"Person")}, person.empty() ? Variant::null() : Variant(person));
      rs.put(u"Collect", {Variant(u"Qty")}, Variant(i % 7 == 0 ? -0.25 * i : 1234.5 + i));
      rs.put(u"Collect", {Variant(u"Day")}, Variant::date(*makeDate(1998 + i % 5, 1 + i % 12, 1 + i % 28)));
      rs.put(u"Collect", {Variant(u"Paid")}, Variant(i % 3 == 0));
      rs.call(u"Update");
    }
    engineObject().call(u"CommitTrans");
  }
  void TearDown() override { host::setProgress(nullptr); }

  Object exporter() const { return Object(frame::createObject(u"Tarnwick.Export")); }
  std::u16string path(const char* name) const { return testing::pathText(dir.path() / name); }
  // The table's values as the engine reads them, in key order.
  std::vector<std::vector<Variant>> stored() const {
    std::vector<std::vector<Variant>> rows;
    for (Object rs(db.call(u"OpenRecordset", u"SELECT * FROM tblItems ORDER BY Id")); !toBool(rs.get(u"EOF"));
         rs.call(u"MoveNext")) {
      rows.emplace_back();
      for (int f = 0; f < 5; ++f) rows.back().push_back(rs.get(u"Collect", {Variant(f)}));
    }
    return rows;
  }
  std::vector<std::filesystem::path> files() const {
    std::vector<std::filesystem::path> list;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) list.push_back(entry.path().filename());
    return list;
  }

  TempDir dir;
  Object db;
};

constexpr frame::FieldType kTypes[] = {frame::FieldType::Long, frame::FieldType::Text, frame::FieldType::Double,
                                       frame::FieldType::Date, frame::FieldType::Boolean};

TEST_P(Export, CsvReadsBackEqualUnderEnglishAndGermanConventions) {
  const auto values = stored();
  ASSERT_EQ(values.size(), static_cast<std::size_t>(kRows));
  for (const Locale& locale : {Locale::enUS(), Locale::deDE()}) {
    SCOPED_TRACE(toUtf8(locale.name));
    const LocaleScope scope(locale);
    const Object out = exporter();
    // The locale's form: its list separator, decimal separator and dates.
    EXPECT_EQ(toInt32(out.call(u"ExportFile", u"SELECT * FROM tblItems ORDER BY Id", path("items.csv"), db.get())),
              kRows);
    const char16_t separator = locale.decimalSeparator == u',' ? u';' : u',';
    const Rows rows = readCsv(fromUtf8(fileText(dir / "items.csv")), separator);
    ASSERT_EQ(rows.size(), values.size() + 1);
    EXPECT_EQ(rows[0], (std::vector<std::u16string>{u"Id", u"Person", u"Qty", u"Day", u"Paid"}));
    for (std::size_t r = 0; r < values.size(); ++r) {
      const auto& cells = rows[r + 1];
      ASSERT_EQ(cells.size(), 5u) << "row " << r;
      EXPECT_EQ(parseNumber(cells[0]), toDouble(values[r][0]));
      EXPECT_EQ(cells[1], values[r][1].isNull() ? u"" : toText(values[r][1]));
      EXPECT_EQ(parseNumber(cells[2]), toDouble(values[r][2])) << toUtf8(cells[2]);
      EXPECT_EQ(parseDate(cells[3]), toDate(values[r][3]));
      EXPECT_EQ(cells[4], toBool(values[r][4]) ? u"True" : u"False");
    }

    // The paste's form, read back by the data grid's paste rule.
    out.put(u"PasteForm", Variant(true));
    out.call(u"ExportFile", u"tblItems", path("paste.csv"), db.get());
    const Rows pasted = readCsv(fromUtf8(fileText(dir / "paste.csv")), separator);
    ASSERT_EQ(pasted.size(), values.size() + 1);
    for (std::size_t r = 0; r < values.size(); ++r)
      for (std::size_t f = 0; f < 5; ++f) {
        const std::optional<Variant> back = ocx::pasteValue(pasted[r + 1][f], kTypes[f]);
        if (values[r][f].isNull()) {
          EXPECT_FALSE(back) << "row " << r;
        } else if (kTypes[f] == frame::FieldType::Text) {
          // The paste drops trailing blanks of a text, as it does on the clipboard.
          std::u16string expected = toText(values[r][f]);
          expected.erase(expected.find_last_not_of(u' ') + 1);
          EXPECT_EQ(toText(*back), expected);
        } else {
          ASSERT_TRUE(back) << "row " << r << " field " << f;
          EXPECT_EQ(toDouble(*back), toDouble(values[r][f])) << "row " << r << " field " << f;
        }
      }
  }
}

TEST_P(Export, OptionsChooseSeparatorMarkDatesAndHeader) {
  const LocaleScope scope(Locale::deDE());
  const Object out = exporter();
  out.put(u"Separator", Variant(u"\t"));
  out.put(u"ByteOrderMark", Variant(true));
  out.put(u"IsoDates", Variant(true));
  out.put(u"DecimalSeparator", Variant(u"."));
  out.put(u"Header", Variant(false));
  out.call(u"ExportFile", u"SELECT Id, Qty, Day FROM tblItems WHERE Id = 1", path("one.csv"), db.get());
  EXPECT_EQ(fileText(dir / "one.csv"), "\xEF\xBB\xBF" "1\t1235.5\t1999-02-02\r\n");
  out.put(u"IsoDates", Variant(false));
  out.put(u"DateFormat", Variant(u"dd mmm yyyy"));
  out.call(u"ExportFile", u"SELECT Day FROM tblItems WHERE Id = 1", path("one.csv"), db.get());
  EXPECT_EQ(fileText(dir / "one.csv"), "\xEF\xBB\xBF" "02 Feb 1999\r\n");
  EXPECT_EQ(errorOf([&] { out.put(u"Separator", Variant(u";;")); }), errc::InvalidPropertyValue);
  EXPECT_EQ(errorOf([&] { out.call(u"ExportFile", u"tblItems", path("x.ods"), db.get()); }),
            errc::InvalidProcedureCall);
  EXPECT_EQ(errorOf([&] { out.call(u"ExportFile", u"tblItems", path("x.csv")); }), errc::InvalidProcedureCall);
}

// openpyxl's reading of a sheet, one line per row: each cell's Python
// type and value, the freeze pane and the widths.
std::string readXlsx(const std::filesystem::path& file) {
  const std::string command =
      "/usr/bin/python3 -c \"import sys, openpyxl\n"
      "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
      "print(ws.freeze_panes, round(ws.column_dimensions['B'].width))\n"
      "for row in ws.iter_rows(values_only=True): print(repr(row))\n"
      "\" '" + file.string() + "' 2>&1";
  std::string text;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, got);
    ::pclose(pipe);
  }
  return text;
}

TEST_P(Export, XlsxHoldsTypedCellsUnderAFrozenHeader) {
  const Object out = exporter();
  EXPECT_EQ(toInt32(out.call(u"ExportFile", u"SELECT * FROM tblItems WHERE Id IN (0, 1, 7) ORDER BY Id",
                             path("items.xlsx"), db.get())),
            3);
  const std::string sheet = readXlsx(dir / "items.xlsx");
  // The text with a carriage return is kept; openpyxl reads it as written.
  EXPECT_EQ(sheet,
            "A2 11\n"
            "('Id', 'Person', 'Qty', 'Day', 'Paid')\n"
            "(0, 'comma, semicolon; quote \" tab \\t end', 0, datetime.datetime(1998, 1, 1, 0, 0), True)\n"
            "(1, 'line\\nfeed', 1235.5, datetime.datetime(1999, 2, 2, 0, 0), False)\n"
            "(7, 'na\u00efve \U0001F600 \u00fc', -1.75, datetime.datetime(2000, 8, 8, 0, 0), False)\n");
  // A text longer than a cell holds is refused, and no file is left.
  db.call(u"Execute", u"CREATE TABLE tblLong (Body MEMO)");
  db.call(u"Execute", u"INSERT INTO tblLong VALUES ('" + std::u16string(40000, u'x') + u"')");
  EXPECT_EQ(errorOf([&] { out.call(u"ExportFile", u"tblLong", path("long.xlsx"), db.get()); }),
            errc::InvalidProcedureCall);
  EXPECT_FALSE(std::filesystem::exists(dir / "long.xlsx"));
}

TEST_P(Export, CancelAndFailuresLeaveNoFileAndKeepTheOldOne) {
  std::ofstream(dir / "old.csv") << "old content";
  struct StopAt final : host::Progress {
    bool report(const std::u16string& task, std::int32_t done, std::int32_t) override {
      tasks.push_back(task);
      return done < 200;
    }
    void finish(const std::u16string&) override {}
    std::vector<std::u16string> tasks;
  };
  const auto progress = std::make_shared<StopAt>();
  host::setProgress(progress);
  const Object out = exporter();
  for (const char* name : {"old.csv", "new.csv", "old.xlsx", "new.xlsx"}) {
    EXPECT_EQ(errorOf([&] { out.call(u"ExportFile", u"tblItems", path(name), db.get()); }), errc::UserInterrupt)
        << name;
  }
  EXPECT_EQ(progress->tasks.front(), u"Exporting records");
  EXPECT_EQ(fileText(dir / "old.csv"), "old content");
  host::setProgress(nullptr);
  // A folder that is not there, and a folder where the file should be.
  std::filesystem::create_directory(dir / "folder.csv");
  EXPECT_EQ(errorOf([&] { out.call(u"ExportFile", u"tblItems", path("none/x.csv"), db.get()); }),
            errc::PathNotFound);
  EXPECT_EQ(errorOf([&] { out.call(u"ExportFile", u"tblItems", path("folder.csv"), db.get()); }),
            errc::PathFileAccessError);
  EXPECT_EQ(files().size(), 2u) << "only the old file and the folder";
  // Without Cancel the old file is replaced whole; both names of a file
  // with two show the new content.
  std::filesystem::create_hard_link(dir / "old.csv", dir / "link.csv");
  EXPECT_EQ(toInt32(out.call(u"ExportFile", u"tblItems", path("old.csv"), db.get())), kRows);
  EXPECT_EQ(readCsv(fromUtf8(fileText(dir / "old.csv")), u',').size(), static_cast<std::size_t>(kRows + 1));
  EXPECT_EQ(fileText(dir / "link.csv"), fileText(dir / "old.csv"));
  EXPECT_EQ(files().size(), 3u) << "no temporary file is left";
}

TEST_P(Export, ADataGridGivesItsColumnsCaptionsAndSelectedRows) {
  const ComPtr<host::Form> form = host::loadFormText(withDatabase(R"(form frmItems {
  Data datItems {
    DatabaseName = "items.db"
    RecordSource = "SELECT * FROM tblItems WHERE Id < 10 ORDER BY Id DESC"
  }
  DBGrid grdItems {
    DataSource = datItems
  }
}
)", "items.db"));
  const Object grid(Object(static_cast<IDispatch*>(form.get())).get(u"grdItems"));
  const Object columns(grid.get(u"Columns"));
  ASSERT_EQ(toInt32(columns.get(u"Count")), 5);
  // The grid shows Qty first under its own caption, and hides Person.
  Object(columns.get(u"Item", {Variant(2)})).put(u"Caption", Variant(u"Quantity"));
  Object(columns.get(u"Item", {Variant(1)})).put(u"Visible", Variant(false));
  Object(columns.get(u"Item", {Variant(3)})).put(u"Caption", Variant(u""));
  const Object out = exporter();
  out.put(u"IsoDates", Variant(true));
  EXPECT_EQ(toInt32(out.call(u"ExportFile", grid.get(), path("grid.csv"))), 10);
  Rows rows = readCsv(fromUtf8(fileText(dir / "grid.csv")), u',');
  ASSERT_EQ(rows.size(), 11u);
  EXPECT_EQ(rows[0], (std::vector<std::u16string>{u"Id", u"Quantity", u"Day", u"Paid"}));
  EXPECT_EQ(rows[1], (std::vector<std::u16string>{u"9", u"1243.5", u"2002-10-10", u"True"}));

  // Two rows selected: those rows, in the order they were selected.
  const Object records(Object(grid.get(u"DataSource")).get(u"Recordset"));
  const Object marks(grid.get(u"SelBookmarks"));
  records.call(u"MoveFirst");
  records.call(u"MoveNext");
  const Variant second = records.get(u"Bookmark");
  records.call(u"MoveLast");
  marks.call(u"Add", records.get(u"Bookmark"));
  marks.call(u"Add", second);
  out.put(u"SelectedOnly", Variant(true));
  EXPECT_EQ(toInt32(out.call(u"ExportFile", grid.get(), path("grid.csv"))), 2);
  rows = readCsv(fromUtf8(fileText(dir / "grid.csv")), u',');
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][0], u"0");
  EXPECT_EQ(rows[2][0], u"8");
}

TEST(ExportFlexGrid, VisibleCellsUnderTheLastFixedRow) {
  const ComPtr<host::Form> form = host::loadFormText(R"(form frmLines {
  MSFlexGrid grdLines {
    Cols = 3
    Rows = 5
    FixedRows = 2
    FixedCols = 0
    ColWidth(1) = 0
  }
}
)");
  const Object grid(Object(static_cast<IDispatch*>(form.get())).get(u"grdLines"));
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 3; ++c)
      grid.put(u"TextMatrix", {Variant(r), Variant(c)}, Variant(u"r" + fromUtf8(std::to_string(r)) + u"c" +
                                                                  fromUtf8(std::to_string(c)) + (c == 2 ? u";\"" : u"")));
  grid.put(u"RowHeight", {Variant(3)}, Variant(0));
  const TempDir dir;
  const Object out(frame::createObject(u"Tarnwick.Export"));
  out.put(u"Locale", Variant(u"de-DE"));
  EXPECT_EQ(toInt32(out.call(u"ExportFile", grid.get(), testing::pathText(dir / "lines.csv"))), 2);
  EXPECT_EQ(fileText(dir / "lines.csv"), "r1c0;\"r1c2;\"\"\"\r\nr2c0;\"r2c2;\"\"\"\r\nr4c0;\"r4c2;\"\"\"\r\n");
  out.put(u"Locale", Variant(u"fr-FR"));
  EXPECT_EQ(errorOf([&] { out.call(u"ExportFile", grid.get(), testing::pathText(dir / "x.csv")); }),
            errc::InvalidPropertyValue);
}

INSTANTIATE_TEST_SUITE_P(Backends, Export, testing::kBothBackends, testing::backendName);

}  // namespace
}  // namespace tarnwick
