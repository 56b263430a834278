// Copy, paste and delete on data grids: OcxWrapper against the headless
// host's data grids, data controls, clipboard and scripted message box, and
// the engine's recordsets on real database files.
#include "../automation/ErrorOf.h"
#include "../engine/EngineTesting.h"
#include "ClassTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Operations.h>
#include <tarnwick/frame/RecordWalk.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/ocx/OcxWrapper.h>

#include <gtest/gtest.h>

#include <optional>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

using testing::engineObject;
using testing::errorOf;
using testing::TempDir;
using testing::u16;

using testing::endLeftoverTransactions;

constexpr const char16_t* kSchema =
    u"(Id LONG PRIMARY KEY, Person TEXT(20), Note TEXT(20), Qty DOUBLE, Born DATETIME, Paid YESNO)";

struct OcxDataGrid : testing::OnBackends {
  void SetUp() override {
    testing::OnBackends::SetUp();
    if (IsSkipped()) return;
    endLeftoverTransactions();
    db = Object(engineObject().call(u"CreateDatabase", fresh()));
    db.call(u"Execute", std::u16string(u"CREATE TABLE tblSource ") + kSchema);
    db.call(u"Execute", std::u16string(u"CREATE TABLE tblTarget ") + kSchema);
    db.call(u"Execute", u"INSERT INTO tblSource VALUES (7, 'Ann', Null, 1.5, #1/2/2024#, True)");
    db.call(u"Execute", u"INSERT INTO tblSource VALUES (12, 'Bob', 'x', -2.25, Null, False)");
    db.call(u"Execute", u"INSERT INTO tblSource VALUES (3, 'Cy Young', 'two words', Null, #12/24/1998#, True)");
    db.call(u"Execute", u"INSERT INTO tblSource VALUES (4, 'Dee', 'x y', 100, #2/29/2000#, False)");
    form = host::loadFormText(withDatabase(R"(form frmGrids {
  Data datSource {
    DatabaseName = "grid.db"
    RecordSource = "Select * From tblSource Order By Id"
  }
  DBGrid grdSource {
    DataSource = datSource
  }
  Data datTarget {
    DatabaseName = "grid.db"
    RecordSource = "tblTarget"
  }
  DBGrid grdTarget {
    DataSource = datTarget
  }
}
)", "grid.db"),
                              dir.path());
  }
  void TearDown() override { host::resetServices(); }

  Object member(const char16_t* name) const { return Object(Object(static_cast<IDispatch*>(form.get())).get(name)); }
  Object recordsetOf(const char16_t* dataControl) const { return Object(member(dataControl).get(u"Recordset")); }

  // The records of a table by Id, each field's value by the number-to-text
  // rule or its text, Null as "Null".
  std::vector<std::vector<Variant>> records(const char16_t* table) {
    Object rs(db.call(u"OpenRecordset", std::u16string(u"Select * From ") + table + u" Order By Id"));
    std::vector<std::vector<Variant>> out;
    const std::int32_t count = toInt32(Object(rs.get(u"Fields")).get(u"Count"));
    while (!toBool(rs.get(u"EOF"))) {
      std::vector<Variant> row;
      for (std::int32_t i = 0; i < count; ++i) row.push_back(rs.get(u"Collect", {Variant(i)}));
      out.push_back(std::move(row));
      rs.call(u"MoveNext");
    }
    return out;
  }

  // The Ids of a table's records, in order, each followed by ";".
  std::u16string ids(const char16_t* table) {
    std::u16string out;
    for (const auto& row : records(table)) out += toText(row[0]) + u";";
    return out;
  }

  std::int32_t copy(const Object& grid, const Object& rs) {
    return toInt32(ocx.call(u"CopyFromDbGrid", grid.get(), rs.get()));
  }
  std::int32_t paste(const Object& rs) { return toInt32(ocx.call(u"PasteToDbGrid", rs.get())); }
  std::vector<host::ScriptedMessageBox::Prompt> prompts() { return host::scriptedMessageBox()->prompts(); }

  TempDir dir;
  Object db;
  ComPtr<host::Form> form;
  Object ocx{makeObject<ocx::OcxWrapper>().as<IDispatch>()};
};

// Selects the grid rows of the records with these Ids.
void select(const Object& grid, const Object& rs, std::initializer_list<std::int32_t> ids) {
  const Object marks(grid.get(u"SelBookmarks"));
  for (std::int32_t id : ids) {
    rs.call(u"FindFirst", u"Id = " + fromUtf8(std::to_string(id)));
    marks.call(u"Add", rs.get(u"Bookmark"));
  }
}

bool sameValue(const Variant& a, const Variant& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  return a.valueType() == b.valueType() && compare(a, b) == Comparison::Equal;
}

TEST_P(OcxDataGrid, CopyWritesTheSelectedRecordsAsText) {
  LocaleScope en(Locale::enUS());
  db.call(u"Execute", u"CREATE TABLE tblPersons (Id LONG, Person TEXT(10), Note TEXT(10))");
  db.call(u"Execute", u"INSERT INTO tblPersons VALUES (7, 'Ann', Null)");
  db.call(u"Execute", u"INSERT INTO tblPersons VALUES (12, 'Bob', 'x')");
  db.call(u"Execute", u"INSERT INTO tblPersons VALUES (Null, '007', 'y')");
  const Object data = member(u"datSource");
  data.put(u"RecordSource", Variant(u"tblPersons"));
  data.call(u"Refresh");
  const Object grid = member(u"grdSource");
  const Object rs = recordsetOf(u"datSource");
  select(grid, rs, {7, 12});
  EXPECT_EQ(copy(grid, rs), 0);
  EXPECT_EQ(host::clipboard()->text(), u" 7\tAnn\t\r 12\tBob\tx\r");
  EXPECT_EQ(toInt32(rs.get(u"Collect", {Variant(u"Id")})), 12);  // on the last copied record
  // A Null first field is an empty cell; a text of digits is a number.
  rs.call(u"FindFirst", u"Person = '007'");
  Object(grid.get(u"SelBookmarks")).call(u"Remove", 0);
  Object(grid.get(u"SelBookmarks")).call(u"Remove", 0);
  Object(grid.get(u"SelBookmarks")).call(u"Add", rs.get(u"Bookmark"));
  EXPECT_EQ(copy(grid, rs), 0);
  EXPECT_EQ(host::clipboard()->text(), u"\t 7\ty\r");
  // A column selection reaching the last column copies every record and selects every row.
  const Variant lastColumn(toInt32(Object(grid.get(u"Columns")).get(u"Count")) - 1);
  grid.put(u"SelEndCol", lastColumn);
  EXPECT_EQ(copy(grid, rs), 0);
  EXPECT_EQ(host::clipboard()->text(), u" 7\tAnn\t\r 12\tBob\tx\r\t 7\ty\r");
  EXPECT_EQ(toInt32(Object(grid.get(u"SelBookmarks")).get(u"Count")), 4);  // the earlier one, then all three
  // The selection holds each copied record's own bookmark, whether the
  // records were walked in place or through their members by name.
  const Object marks(grid.get(u"SelBookmarks"));
  std::vector<std::u16string> people;
  for (std::int32_t i = 1; i < 4; ++i) {
    rs.put(u"Bookmark", marks.call(u"Item", i));
    people.push_back(toText(rs.get(u"Collect", {Variant(u"Person")})));
  }
  EXPECT_EQ(people, (std::vector<std::u16string>{u"Ann", u"Bob", u"007"}));
  grid.put(u"SelEndCol", lastColumn);
  EXPECT_EQ(copy(grid, testing::FieldsByNameOnly::wrap(rs)), 0);
  ASSERT_EQ(toInt32(marks.get(u"Count")), 7);
  for (std::int32_t i = 1; i < 4; ++i) {
    const auto walked = frame::bookmarkBytes(marks.call(u"Item", i));
    ASSERT_TRUE(walked.has_value());
    EXPECT_EQ(walked, frame::bookmarkBytes(marks.call(u"Item", i + 3))) << i;
  }
  // An empty recordset has no first record; the clipboard keeps its text.
  db.call(u"Execute", u"DELETE FROM tblPersons");
  data.call(u"Refresh");
  const Object empty = recordsetOf(u"datSource");
  grid.put(u"SelEndCol", lastColumn);
  EXPECT_EQ(copy(grid, empty), errc::NoCurrentRecord);
  EXPECT_EQ(host::clipboard()->text(), u" 7\tAnn\t\r 12\tBob\tx\r\t 7\ty\r");
}

TEST_P(OcxDataGrid, CopyReadsFieldsThroughTheirValue) {
  LocaleScope en(Locale::enUS());
  db.call(u"Execute", u"CREATE TABLE tblPersons (Id LONG, Person TEXT(10))");
  db.call(u"Execute", u"INSERT INTO tblPersons VALUES (7, 'Ann')");
  db.call(u"Execute", u"INSERT INTO tblPersons VALUES (12, Null)");
  const Object data = member(u"datSource");
  data.put(u"RecordSource", Variant(u"tblPersons"));
  data.call(u"Refresh");
  const Object grid = member(u"grdSource");
  const Object rs = recordsetOf(u"datSource");
  select(grid, rs, {12, 7});
  EXPECT_EQ(copy(grid, testing::FieldsByNameOnly::wrap(rs)), 0);
  EXPECT_EQ(host::clipboard()->text(), u" 12\t\r 7\tAnn\r");
}

TEST_P(OcxDataGrid, CopyAndPasteRoundTripFieldByField) {
  for (const Locale& locale : {Locale::enUS(), Locale::deDE()}) {
    LocaleScope scope(locale);
    db.call(u"Execute", u"DELETE FROM tblTarget");
    member(u"datTarget").call(u"Refresh");
    const Object grid = member(u"grdSource");
    const Object source = recordsetOf(u"datSource");
    grid.put(u"SelEndCol", Variant(toInt32(Object(grid.get(u"Columns")).get(u"Count")) - 1));
    ASSERT_EQ(copy(grid, source), 0);
    EXPECT_EQ(paste(recordsetOf(u"datTarget")), 0);
    const auto copied = records(u"tblSource");
    const auto pasted = records(u"tblTarget");
    ASSERT_EQ(pasted.size(), copied.size());
    for (std::size_t r = 0; r < copied.size(); ++r)
      for (std::size_t f = 0; f < copied[r].size(); ++f)
        EXPECT_TRUE(sameValue(copied[r][f], pasted[r][f]))
            << "record " << r << " field " << f;
    EXPECT_TRUE(prompts().empty());
  }
}

TEST_P(OcxDataGrid, PasteIsAllOrNothing) {
  LocaleScope en(Locale::enUS());
  db.call(u"Execute", u"INSERT INTO tblTarget (Id, Person) VALUES (3, 'Old')");
  const Object target = recordsetOf(u"datTarget");
  const auto targetIds = [&] {
    std::u16string ids;
    for (const auto& row : records(u"tblTarget")) ids += toText(row[0]) + u";";
    return ids;
  };
  // The third record repeats a key: the engine's message, and none of the records remain.
  host::clipboard()->setText(u" 1\tA\t\t\t\t\r 2\tB\t\t\t\t\r 3\tC\t\t\t\t\r 4\tD\t\t\t\t\r");
  EXPECT_EQ(paste(target), errc::DuplicateKey);
  EXPECT_EQ(toInt32(target.get(u"EditMode")), 0);  // the refused record is not left half added
  ASSERT_EQ(prompts().size(), 1u);
  EXPECT_EQ(prompts()[0].prompt, standardDescription(errc::DuplicateKey));
  EXPECT_EQ(prompts()[0].buttons, 0);
  EXPECT_EQ(targetIds(), u"3;");
  // No tab: nothing to do, and no transaction was begun.
  host::scriptedMessageBox()->reset();
  for (const char16_t* text : {u"", u"just text\r"}) {
    host::clipboard()->setText(text);
    EXPECT_EQ(paste(target), 0);
  }
  ASSERT_EQ(prompts().size(), 2u);
  EXPECT_EQ(prompts()[1].prompt, u"Nothing to do");
  EXPECT_EQ(prompts()[1].buttons, 0);
  EXPECT_EQ(errorOf([] { engineObject().call(u"Rollback"); }), errc::NoTransaction);
  // Text from other programs: no final carriage return, more or fewer cells
  // than fields, binary junk, invalid UTF-16, a cell a field refuses.
  const std::u16string junkRows = std::u16string(u" 0\t") + u'\xD800' + u'\0' + u'\t' + u'\xDFFF' + u"\t\t\t\r";
  const std::vector<std::pair<std::u16string, std::int32_t>> bad = {
      {u" 5\tE\t\t\t\t\r 6\tF\t\t\t\t", 5},
      {u" 5\tE\t\t\t\t\t\r", 5},
      {u" 5\tE\tnote\tmany\t\t\r", errc::ConversionError},
      {u" 5\tE\ta note much too long for the field\t\t\t\r", errc::FieldTooSmall},
      // The same key twice; a server's texts cannot hold the NUL it refuses first.
      {junkRows + junkRows, onServer() ? errc::OdbcCallFailed : errc::DuplicateKey},
  };
  for (const auto& [text, number] : bad) {
    host::scriptedMessageBox()->reset();
    host::clipboard()->setText(text);
    EXPECT_EQ(paste(target), number) << toUtf8(text);
    EXPECT_EQ(prompts().size(), 1u);
    EXPECT_EQ(targetIds(), u"3;");
  }
  // A megabyte of text that is not rows of this table.
  std::u16string junk;
  for (std::uint32_t x = 12345; junk.size() < (1u << 20); x = x * 1103515245u + 12345u)
    junk += static_cast<char16_t>((x >> 16) % 40 == 0 ? u'\t' : (x >> 16) % 97 == 0 ? u'\r' : (x >> 8) & 0xFFFF);
  host::clipboard()->setText(junk);
  EXPECT_NE(paste(target), 0);
  EXPECT_EQ(targetIds(), u"3;");
  // The early-bound interface runs the same paste.
  host::clipboard()->setText(u" 8\tH\t\t\t\t\r");
  ComPtr<ocx::OcxWrapper> direct = makeObject<ocx::OcxWrapper>();
  IDispatch* rs = target.get();
  std::int16_t result = -1;
  EXPECT_EQ(direct->PasteToDbGrid(&rs, &result), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(targetIds(), u"3;8;");
  // Text that ends before a record's last field: the records before it are
  // saved, the unfinished one is not.
  host::clipboard()->setText(u" 9\tI\t\t\t\t\r 10\tJ\r");
  EXPECT_EQ(paste(target), 0);
  target.call(u"CancelUpdate");
  EXPECT_EQ(targetIds(), u"3;8;9;");
}

TEST_P(OcxDataGrid, PasteStoresEmptyTextAsNullWhereTheFieldRefusesIt) {
  LocaleScope en(Locale::enUS());
  db.call(u"Execute", u"CREATE TABLE tblTexts (Id LONG, NoteA TEXT(10), NoteB TEXT(10))");
  Object rs(db.call(u"OpenRecordset", u"tblTexts", 2));
  host::clipboard()->setText(u" 1\t  \t  \r");  // blanks only: the empty text after trimming
  EXPECT_EQ(paste(rs), 0);
  const auto row = records(u"tblTexts");
  ASSERT_EQ(row.size(), 1u);
  for (std::int32_t f : {1, 2}) {
    const Object field(Object(rs.get(u"Fields")).call(u"Item", f));
    if (toBool(field.get(u"AllowZeroLength"))) EXPECT_EQ(row[0][static_cast<std::size_t>(f)].text(), u"");
    else EXPECT_TRUE(row[0][static_cast<std::size_t>(f)].isNull());
  }
}

TEST_P(OcxDataGrid, DeleteSelectedRecordsAsksFirst) {
  const Object grid = member(u"grdSource");
  const Object data = member(u"datSource");
  const Object rs = recordsetOf(u"datSource");
  const auto ids = [&] {
    std::u16string out;
    for (const auto& row : records(u"tblSource")) out += toText(row[0]) + u";";
    return out;
  };
  const auto del = [&] { return toInt32(ocx.call(u"DeleteSelectedRecordsFromDbGrid", grid.get(), data.get(), db.get())); };
  select(grid, rs, {3, 12, 4});
  host::scriptedMessageBox()->answer({host::mb::No, host::mb::Yes});
  EXPECT_EQ(del(), 0);
  EXPECT_EQ(ids(), u"3;4;7;12;");
  EXPECT_EQ(del(), 0);
  EXPECT_EQ(ids(), u"7;");
  ASSERT_EQ(prompts().size(), 2u);
  EXPECT_EQ(prompts()[0].prompt, u"You are about to Delete  3 record(s). Do You want to continue?");
  EXPECT_EQ(prompts()[0].buttons, 36);
  EXPECT_EQ(prompts()[0].title, u"");
}

TEST_P(OcxDataGrid, DeleteAllRemovesExactlyTheRecordsTheGridShows) {
  db.call(u"Execute", u"INSERT INTO tblTarget SELECT * FROM tblSource");
  const Object grid = member(u"grdSource");
  const Object data = member(u"datSource");
  const auto deleteAll = [&](const char16_t* source) {
    data.put(u"RecordSource", Variant(source));
    grid.put(u"SelEndCol", Variant(0));
    host::scriptedMessageBox()->answer({host::mb::Yes});
    return toInt32(ocx.call(u"DeleteSelectedRecordsFromDbGrid", grid.get(), data.get(), db.get()));
  };
  // No: nothing is deleted.
  grid.put(u"SelEndCol", Variant(0));
  host::scriptedMessageBox()->answer({host::mb::No});
  EXPECT_EQ(toInt32(ocx.call(u"DeleteSelectedRecordsFromDbGrid", grid.get(), data.get(), db.get())), 0);
  EXPECT_EQ(prompts().at(0).prompt, u"Do you want to Delete all records in this Grid?");
  EXPECT_EQ(prompts().at(0).buttons, 36);
  // A selection with a condition: only the records it shows.
  EXPECT_EQ(deleteAll(u"Select * From tblSource Where Qty > 2 Or Qty Is Null Order By Person"), 0);
  EXPECT_EQ(ids(u"tblSource"), u"7;12;");
  EXPECT_TRUE(toBool(Object(data.get(u"Recordset")).get(u"EOF")));  // refreshed: the grid shows none
  // Record sources that cannot be turned into an exact delete remove nothing.
  EXPECT_EQ(deleteAll(u"Select Top 1 * From tblSource"), errc::OperationNotSupported);
  EXPECT_EQ(deleteAll(u"Select tblSource.* From tblSource, tblTarget"), errc::OperationNotSupported);
  EXPECT_EQ(deleteAll(u"Select * From tblSource As s Where s.Id = 7"), errc::OperationNotSupported);
  // A record source without "tbl", and one the database cannot run.
  db.call(u"Execute", u"CREATE TABLE Orders (Id LONG)");
  EXPECT_EQ(deleteAll(u"Orders"), errc::InvalidProcedureCall);
  EXPECT_EQ(deleteAll(u"Select * From tblSource Where NoSuchField = 1"), errc::TooFewParameters);
  EXPECT_EQ(ids(u"tblSource"), u"7;12;");
  // The bare table: every record.
  EXPECT_EQ(deleteAll(u"tblTarget"), 0);
  EXPECT_EQ(ids(u"tblTarget"), u"");
  EXPECT_EQ(ids(u"tblSource"), u"7;12;");
}

// Other users of the file: a record locked by another Database object, and
// the whole file held by a writer in another process for longer than the
// busy wait. Each routine reports the engine's error in its own way and
// leaves the records as they were.
TEST_P(OcxDataGrid, LockedRecordsAndABusyFileLeaveTheTablesAsTheyWere) {
  const Object grid = member(u"grdSource");
  const Object data = member(u"datSource");
  const Object rs = recordsetOf(u"datSource");
  const Object other(engineObject().call(u"OpenDatabase", fresh()));
  const Object locked(other.call(u"OpenRecordset", u"Select * From tblSource Where Id = 3", 2));
  locked.put(u"LockEdits", Variant(true));
  locked.call(u"Edit");
  select(grid, rs, {3, 12});
  host::scriptedMessageBox()->answer({host::mb::Yes});
  EXPECT_EQ(toInt32(ocx.call(u"DeleteSelectedRecordsFromDbGrid", grid.get(), data.get(), db.get())), errc::RecordLocked);
  EXPECT_EQ(ids(u"tblSource"), u"3;4;7;12;");
  locked.call(u"CancelUpdate");

  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t writer = ::fork();
  if (writer == 0) {
    // Another program writing, holding what it wrote until told to let go:
    // a file it holds whole, a server the records it changed.
    Object theirs(engineObject().call(u"OpenDatabase", fresh()));
    engineObject().call(u"BeginTrans");
    theirs.call(u"Execute", u"UPDATE tblSource SET Note = 'busy'");
    char c = 'r';
    (void)!::write(ready[1], &c, 1);
    (void)!::read(release[0], &c, 1);
    ::_exit(0);
  }
  char c = 0;
  // The writer is let go however the checks below end.
  struct Release {
    Release(int f, pid_t p) : fd(f), pid(p) {}
    Release(const Release&) = delete;
    Release& operator=(const Release&) = delete;
    int fd;
    pid_t pid;
    ~Release() {
      char go = 'g';
      (void)!::write(fd, &go, 1);
      int status = 0;
      ::waitpid(pid, &status, 0);
    }
  };
  std::optional<Release> letGo;
  letGo.emplace(release[1], writer);
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  engineObject().put(u"BusyTimeout", Variant(100));
  host::scriptedMessageBox()->reset();
  host::clipboard()->setText(u" 1\tA\t\t\t\t\r 2\tB\t\t\t\t\r");
  if (!onServer()) {
    EXPECT_EQ(paste(recordsetOf(u"datTarget")), errc::Locked);
    ASSERT_EQ(prompts().size(), 1u);
    EXPECT_EQ(prompts()[0].prompt, u"Could not update; currently locked.");
  }
  grid.put(u"SelEndCol", Variant(0));
  host::scriptedMessageBox()->answer({host::mb::Yes});
  EXPECT_EQ(toInt32(ocx.call(u"DeleteSelectedRecordsFromDbGrid", grid.get(), data.get(), db.get())),
            onServer() ? errc::RecordLocked : errc::Locked);
  engineObject().put(u"BusyTimeout", Variant(engine::DBEngine::kDefaultBusyTimeout));
  letGo.reset();
  EXPECT_EQ(ids(u"tblTarget"), u"");
  EXPECT_EQ(ids(u"tblSource"), u"3;4;7;12;");
  EXPECT_EQ(toText(records(u"tblSource")[0][2]), u"two words");  // the other program's change went with it
  EXPECT_EQ(paste(recordsetOf(u"datTarget")), 0);
  EXPECT_EQ(ids(u"tblTarget"), u"1;2;");
}

}  // namespace
INSTANTIATE_TEST_SUITE_P(Backends, OcxDataGrid, testing::kBothBackends, testing::backendName);

}  // namespace tarnwick
