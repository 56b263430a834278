// Long work under the host's progress service: the routines that walk many
// records report as they go, and a cancel stops each one under its own
// error style: a fill or copy keeps what it did, a paste or delete is
// undone whole. OcxWrapper and DataAccessWrapper against the headless host
// and real database files.
#include "../automation/ErrorOf.h"
#include "../engine/EngineTesting.h"
#include "ClassTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/dataaccess/DataAccessWrapper.h>
#include <tarnwick/host/Progress.h>
#include <tarnwick/ocx/OcxWrapper.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

using testing::endLeftoverTransactions;
using testing::engineObject;
using testing::errorOf;
using testing::TempDir;
using testing::u16;

// A progress service that keeps every report and asks the work to stop
// once `stopAt` records are done.
class RecordingProgress final : public host::Progress {
 public:
  struct Report {
    std::u16string task;
    std::int32_t done, total;
  };
  explicit RecordingProgress(std::int32_t stopAt = -1) : stopAt_(stopAt) {}
  bool report(const std::u16string& task, std::int32_t done, std::int32_t total) override {
    reports.push_back({task, done, total});
    return stopAt_ < 0 || done < stopAt_;
  }
  void finish(const std::u16string&) override { ++finished; }
  std::vector<Report> reports;
  int finished = 0;

 private:
  std::int32_t stopAt_;
};

constexpr const char16_t* kSchema = u"(Id LONG PRIMARY KEY, Person TEXT(20), Qty DOUBLE)";

struct Progress : testing::OnBackends {
  void SetUp() override {
    testing::OnBackends::SetUp();
    if (IsSkipped()) return;
    endLeftoverTransactions();
    db = Object(engineObject().call(u"CreateDatabase", fresh()));
    db.call(u"Execute", std::u16string(u"CREATE TABLE tblSource ") + kSchema);
    db.call(u"Execute", std::u16string(u"CREATE TABLE tblTarget ") + kSchema);
    engineObject().call(u"BeginTrans");
    for (int i = 1; i <= 1000; ++i) {
      const std::u16string id = fromUtf8(std::to_string(i));
      db.call(u"Execute", u"INSERT INTO tblSource VALUES (" + id + u", 'P" + id + u"', " + id + u".5)");
    }
    db.call(u"Execute", u"INSERT INTO tblTarget VALUES (-1, 'Old', 2)");
    engineObject().call(u"CommitTrans");
    form = host::loadFormText(withDatabase(R"(form frmWork {
  Data datSource {
    DatabaseName = "work.db"
    RecordSource = "Select * From tblSource Order By Id"
  }
  DBGrid grdSource {
    DataSource = datSource
  }
  DBGrid grdExport[0] {
    DataSource = datSource
    Tag = "M=Rows"
  }
  MSFlexGrid grdFill {
    Cols = 3
  }
}
)", "work.db"),
                              dir.path());
  }
  void TearDown() override {
    host::setProgress(nullptr);
    host::resetServices();
  }
  std::shared_ptr<RecordingProgress> watch(std::int32_t stopAt = -1) {
    auto service = std::make_shared<RecordingProgress>(stopAt);
    host::setProgress(service);
    return service;
  }
  Object member(const char16_t* name) const { return Object(Object(static_cast<IDispatch*>(form.get())).get(name)); }
  // Every record of a table, one line each.
  std::u16string table(const char16_t* name) {
    Object rs(db.call(u"OpenRecordset", std::u16string(u"Select * From ") + name + u" Order By Id"));
    std::u16string out;
    while (!toBool(rs.get(u"EOF"))) {
      for (int f = 0; f < 3; ++f) out += toText(rs.get(u"Collect", {Variant(f)})) + u"|";
      out += u"\n";
      rs.call(u"MoveNext");
    }
    return out;
  }

  LocaleScope locale{Locale::enUS()};
  TempDir dir;
  Object db;
  ComPtr<host::Form> form;
  Object ocx = testing::instanceOf<ocx::OcxWrapper>();
  testing::MessageBoxScope box;
};

TEST_P(Progress, ACancelledFillKeepsTheRowsItFilled) {
  const Object grid = member(u"grdFill");
  const auto fill = [&] {
    Object rs(db.call(u"OpenRecordset", u"Select * From tblSource Order By Id"));
    ocx.call(u"FillGridWithRecords", grid.get(), rs.get());
    return rs;
  };
  // Not watched: the whole fill, as ever.
  fill();
  EXPECT_EQ(toInt32(grid.get(u"Rows")), 1001);

  // Watched: reports as it starts and every hundred records, then the end.
  const auto service = watch();
  fill();
  EXPECT_EQ(toInt32(grid.get(u"Rows")), 1001);
  ASSERT_EQ(service->reports.size(), 10u);
  EXPECT_EQ(service->reports[0].task, u"Filling the grid");
  EXPECT_EQ(service->reports[0].done, 0);
  EXPECT_EQ(service->reports[9].done, 900);
  EXPECT_EQ(service->reports[9].total, 0);  // a dynaset's count is not known without reading it all
  EXPECT_EQ(service->finished, 1);

  // A table knows its records: the total is what is left from the current one.
  const auto counted = watch();
  Object table(db.call(u"OpenRecordset", u"tblSource"));
  table.call(u"Move", 250);
  ocx.call(u"FillGridWithRecords", grid.get(), table.get());
  EXPECT_EQ(toInt32(grid.get(u"Rows")), 751);
  ASSERT_FALSE(counted->reports.empty());
  EXPECT_EQ(counted->reports[0].total, 750);

  // Cancelled after 300 records: error 18, those rows stay, the recordset
  // stands on the first record not filled.
  const auto stopping = watch(300);
  Object rs(db.call(u"OpenRecordset", u"Select * From tblSource Order By Id"));
  EXPECT_EQ(errorOf([&] { ocx.call(u"FillGridWithRecords", grid.get(), rs.get()); }), errc::UserInterrupt);
  EXPECT_EQ(toInt32(grid.get(u"Rows")), 301);
  EXPECT_EQ(toText(grid.get(u"TextMatrix", {Variant(300), Variant(1)})), u"P300");
  EXPECT_EQ(toInt32(rs.get(u"Collect", {Variant(0)})), 301);
  EXPECT_EQ(stopping->finished, 1);
  EXPECT_TRUE(box->prompts().empty());  // no handling: the caller gets the error, nobody is told
}

TEST_P(Progress, ACancelledPasteOfTenThousandRowsLeavesTheTableAsItWas) {
  std::u16string text;
  for (int i = 1; i <= 10000; ++i) text += u" " + fromUtf8(std::to_string(i)) + u"\tNew\t 1\r";
  // Without the form: its data control's open read would keep the engine
  // from committing so large a write to the same file.
  form = nullptr;
  const Object target(db.call(u"OpenRecordset", u"tblTarget", 1));
  const std::u16string before = table(u"tblTarget");
  const auto service = watch(5000);
  host::clipboard()->setText(text);
  EXPECT_EQ(toInt32(ocx.call(u"PasteToDbGrid", target.get())), errc::UserInterrupt);
  EXPECT_EQ(table(u"tblTarget"), before);
  EXPECT_EQ(toInt32(target.get(u"EditMode")), 0);
  EXPECT_EQ(errorOf([] { engineObject().call(u"Rollback"); }), errc::NoTransaction);  // rolled back, not left open
  // Handler and finish: the interruption is shown like any other error.
  ASSERT_EQ(box->prompts().size(), 1u);
  EXPECT_EQ(box->prompts()[0].prompt, standardDescription(errc::UserInterrupt));
  EXPECT_EQ(service->reports.front().task, u"Pasting records");
  EXPECT_EQ(service->reports.front().total, 10000);
  EXPECT_EQ(service->reports.back().done, 5000);

  // Watched to its end, the same paste saves every row.
  watch();
  EXPECT_EQ(toInt32(ocx.call(u"PasteToDbGrid", target.get())), 0);
  EXPECT_EQ(toInt32(Object(db.call(u"OpenRecordset", u"Select Count(*) As n From tblTarget")).get(u"Collect",
                                                                                               {Variant(u"n")})),
            10001);
}

TEST_P(Progress, ACancelledCopyKeepsItsSelectionAndLeavesTheClipboard) {
  // 300 records: enough to cancel in the middle.
  const Object data = member(u"datSource");
  data.put(u"RecordSource", Variant(u"Select * From tblSource Where Id <= 300 Order By Id"));
  data.call(u"Refresh");
  const Object grid = member(u"grdSource");
  const Object rs(data.get(u"Recordset"));
  const Object marks(grid.get(u"SelBookmarks"));
  const auto unselect = [&] {
    while (toInt32(marks.get(u"Count")) > 0) marks.call(u"Remove", 0);
  };
  host::clipboard()->setText(u"before");
  const auto service = watch(200);
  // Every record (the column selection reaches the last column).
  grid.put(u"SelEndCol", Variant(toInt32(Object(grid.get(u"Columns")).get(u"Count")) - 1));
  EXPECT_EQ(toInt32(ocx.call(u"CopyFromDbGrid", grid.get(), rs.get())), errc::UserInterrupt);
  EXPECT_EQ(host::clipboard()->text(), u"before");
  EXPECT_EQ(toInt32(marks.get(u"Count")), 200);  // the rows it reached stay selected
  EXPECT_EQ(service->reports.back().task, u"Copying records");
  EXPECT_TRUE(box->prompts().empty());
  // Watched, not cancelled: the same text as without a service.
  watch();
  unselect();
  EXPECT_EQ(toInt32(ocx.call(u"CopyFromDbGrid", grid.get(), rs.get())), 0);
  const std::u16string watched = host::clipboard()->text();
  host::setProgress(nullptr);
  unselect();
  EXPECT_EQ(toInt32(ocx.call(u"CopyFromDbGrid", grid.get(), rs.get())), 0);
  EXPECT_EQ(host::clipboard()->text(), watched);
  EXPECT_EQ(std::count(watched.begin(), watched.end(), u'\r'), 300);
}

TEST_P(Progress, ACancelledDeleteIsUndoneWhole) {
  const Object grid = member(u"grdSource");
  const Object data = member(u"datSource");
  const auto selectFirst = [&](int count) {
    const Object rs(data.get(u"Recordset"));
    const Object marks(grid.get(u"SelBookmarks"));
    while (toInt32(marks.get(u"Count")) > 0) marks.call(u"Remove", 0);
    rs.call(u"MoveFirst");
    for (int i = 0; i < count; ++i) {
      marks.call(u"Add", rs.get(u"Bookmark"));
      rs.call(u"MoveNext");
    }
  };
  const auto del = [&] { return toInt32(ocx.call(u"DeleteSelectedRecordsFromDbGrid", grid.get(), data.get(), db.get())); };
  const std::u16string before = table(u"tblSource");
  selectFirst(250);
  const auto service = watch(200);
  box->answer({host::mb::Yes});
  EXPECT_EQ(del(), errc::UserInterrupt);
  EXPECT_EQ(table(u"tblSource"), before);
  EXPECT_EQ(errorOf([] { engineObject().call(u"Rollback"); }), errc::NoTransaction);
  EXPECT_EQ(service->reports.back().task, u"Deleting records");
  EXPECT_EQ(service->reports.back().total, 250);
  // Watched to its end: deleted and committed.
  data.call(u"Refresh");
  selectFirst(250);
  watch();
  box->answer({host::mb::Yes});
  EXPECT_EQ(del(), 0);
  EXPECT_EQ(errorOf([] { engineObject().call(u"Rollback"); }), errc::NoTransaction);
  const Object count(db.call(u"OpenRecordset", u"Select Count(*) As n From tblSource"));
  EXPECT_EQ(toInt32(count.get(u"Collect", {Variant(u"n")})), 750);
}

TEST_P(Progress, MergeExportAndSortStopWhenCancelled) {
  const auto file = dir / "merge.txt";
  const Variant arrays = makeVariantArray({Object(static_cast<IDispatch*>(form.get())).get(u"grdExport")});
  const auto service = watch(0);
  EXPECT_EQ(toInt32(ocx.call(u"SaveMergeFieldsFromTags", arrays, testing::pathText(file))), errc::UserInterrupt);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(service->reports.at(0).task, u"Exporting the grid");

  // The sort is one step of the engine's: a cancel comes before it, and the
  // recordset keeps its old sort.
  const Object dataAccess = testing::instanceOf<dataaccess::DataAccessWrapper>();
  const Object rs(db.call(u"OpenRecordset", u"tblSource", 2));
  EXPECT_EQ(errorOf([&] { dataAccess.call(u"SortRecordset_rs", rs.get(), u"Id DESC"); }), errc::UserInterrupt);
  EXPECT_EQ(toText(rs.get(u"Sort")), u"");
  watch();
  const Object sorted(dataAccess.call(u"SortRecordset_rs", rs.get(), u"Id DESC"));
  EXPECT_EQ(toInt32(sorted.get(u"Collect", {Variant(0)})), 1000);
}

}  // namespace
INSTANTIATE_TEST_SUITE_P(Backends, Progress, testing::kBothBackends, testing::backendName);

}  // namespace tarnwick
