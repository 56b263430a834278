// The grid routines of OcxWrapper against SQLite's C interface in the same
// run: filling a flex grid with 100,000 records of 6 fields and copying
// them from a data grid, each against a raw scan that reads the same
// columns as text; pasting 10,000 rows against raw prepared INSERTs. Each
// benchmark reports both times and their ratio (routine / raw). The fill
// is also timed under a progress service against the same fill without.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/engine/DBEngine.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/Progress.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/ocx/OcxWrapper.h>

#include "SqliteFixture.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tarnwick;

using namespace tarnwick::bench;

const ScratchFolder kScratch("tarnwick-grids-bench");
const std::filesystem::path& kBenchDir = kScratch.path();

constexpr int kRecords = 100000;
constexpr int kPasteRows = 10000;

Object ocxWrapper() { return Object(makeObject<ocx::OcxWrapper>().as<IDispatch>()); }

// The database: table T of six fields with 100,000 records, and the empty
// tables P (for the paste) and R (for the raw inserts) of the same shape.
std::filesystem::path database() {
  const auto file = kBenchDir / "grids.db";
  if (std::filesystem::exists(file)) return file;
  {
    Object db(engineObject().call(u"CreateDatabase", fromUtf8(file.string())));
    for (const char16_t* name : {u"T", u"P", u"R"})
      db.call(u"Execute", std::u16string(u"CREATE TABLE ") + name + std::u16string(kSampleFields));
    db.call(u"Close");
  }
  fillSampleTable(file, "T", kRecords);
  return file;
}

void report(benchmark::State& state, double routine, double raw) { bench::report(state, routine, raw, "routine_ms"); }

// The raw baseline of both scans: every column of every record read as text.
double rawTextScan(sqlite3* raw, std::size_t& sink) {
  const auto start = Clock::now();
  sqlite3_stmt* s = nullptr;
  check(sqlite3_prepare_v2(raw, "SELECT Id, A, B, C, D, E FROM T", -1, &s, nullptr), raw);
  while (sqlite3_step(s) == SQLITE_ROW) {
    for (int c = 0; c < 6; ++c) {
      const std::string text(reinterpret_cast<const char*>(sqlite3_column_text(s, c)),
                             static_cast<std::size_t>(sqlite3_column_bytes(s, c)));
      sink += text.size();
    }
  }
  sqlite3_finalize(s);
  return seconds(Clock::now() - start);
}

// A flex grid of six columns to fill from table T, and the class that fills it.
struct FillSetup {
  std::filesystem::path file = database();
  Object db{engineObject().call(u"OpenDatabase", fromUtf8(file.string()))};
  ComPtr<host::Form> form = host::loadFormText("form frmFill {\n  MSFlexGrid grdFill {\n    Cols = 6\n  }\n}\n");
  Object grid{Object(static_cast<IDispatch*>(form.get())).get(u"grdFill")};
  Object ocx = ocxWrapper();
};

void BM_FillGridWithRecords(benchmark::State& state) {
  const FillSetup setup;
  // Named references, not a structured binding: the lambdas below capture them.
  const auto& file = setup.file;
  const Object& db = setup.db;
  const Object& grid = setup.grid;
  const Object& ocx = setup.ocx;
  sqlite3* raw = nullptr;
  sqlite3_open(file.c_str(), &raw);
  double routine = 0, rawTime = 0;
  std::size_t sink = 0;
  for (auto _ : state) {
    Object rs(db.call(u"OpenRecordset", u"T", 1));
    routine += timeOurs([&] { ocx.call(u"FillGridWithRecords", grid.get(), rs.get()); });
    rawTime += timeBaseline([&] { rawTextScan(raw, sink); });
    if (toInt32(grid.get(u"Rows")) != kRecords + 1) state.SkipWithError("the grid lacks rows");
  }
  benchmark::DoNotOptimize(sink);
  sqlite3_close(raw);
  report(state, routine, rawTime);
}
BENCHMARK(BM_FillGridWithRecords)->Unit(benchmark::kMillisecond)->Iterations(3);

// A progress service that hears every report and never cancels.
class ListeningProgress final : public host::Progress {
 public:
  bool report(const std::u16string&, std::int32_t, std::int32_t) override {
    ++reports;
    return true;
  }
  void finish(const std::u16string&) override {}
  std::int64_t reports = 0;
};

// The cost of reporting progress: the same fill with a progress service
// (routine_ms) and without one (raw_ms), alternately; ratio is their ratio.
void BM_FillGridWithProgress(benchmark::State& state) {
  const FillSetup setup;
  // Named references rather than a structured binding: a lambda below uses
  // them, and clang 14 cannot capture structured bindings.
  const Object& db = setup.db;
  const Object& grid = setup.grid;
  const Object& ocx = setup.ocx;
  const auto listening = std::make_shared<ListeningProgress>();
  double watched = 0, plain = 0;
  const auto timedFill = [&](bool withProgress) {
    host::setProgress(withProgress ? listening : nullptr);
    Object rs(db.call(u"OpenRecordset", u"T", 1));
    const auto start = Clock::now();
    ocx.call(u"FillGridWithRecords", grid.get(), rs.get());
    const double taken = seconds(Clock::now() - start);
    if (toInt32(grid.get(u"Rows")) != kRecords + 1) state.SkipWithError("the grid lacks rows");
    return taken;
  };
  for (auto _ : state) {
    plain += timedFill(false);
    watched += timedFill(true);
  }
  host::setProgress(nullptr);
  if (listening->reports != state.iterations() * (kRecords / 100)) state.SkipWithError("reports went missing");
  report(state, watched, plain);
}
BENCHMARK(BM_FillGridWithProgress)->Unit(benchmark::kMillisecond)->Iterations(6);

void BM_CopyFromDbGrid(benchmark::State& state) {
  const auto file = database();
  // The data control's recordset: 0 a table, 1 a dynaset (the default).
  std::string text = "form frmCopy {\n  Data datT {\n    DatabaseName = \"" + file.string() +
                     "\"\n    RecordsetType = " + std::to_string(state.range(0)) +
                     "\n    RecordSource = \"T\"\n  }\n  DBGrid grdT {\n    DataSource = datT\n  }\n}\n";
  ComPtr<host::Form> form = host::loadFormText(text);
  const Object f(static_cast<IDispatch*>(form.get()));
  const Object grid(f.get(u"grdT"));
  const Object rs(Object(f.get(u"datT")).get(u"Recordset"));
  const Object ocx = ocxWrapper();
  sqlite3* raw = nullptr;
  sqlite3_open(file.c_str(), &raw);
  double routine = 0, rawTime = 0, walk = 0;
  std::size_t sink = 0;
  std::vector<Object> fields;
  for (int i = 0; i < 6; ++i) fields.emplace_back(Object(rs.get(u"Fields")).call(u"Item", i));
  for (auto _ : state) {
    grid.call(u"Refresh");  // no row selected
    grid.put(u"SelEndCol", Variant(5));
    routine += timeOurs([&] {
      if (toInt32(ocx.call(u"CopyFromDbGrid", grid.get(), rs.get())) != 0) state.SkipWithError("the copy failed");
    });
    rawTime += timeBaseline([&] { rawTextScan(raw, sink); });
    sink += host::clipboard()->text().size();
    // The engine's part alone: the same walk over the data control's
    // recordset, every field read as a value, nothing written.
    const auto start = Clock::now();
    rs.call(u"MoveFirst");
    while (!toBool(rs.get(u"EOF"))) {
      sink += rs.get(u"Bookmark").vt;
      for (const Object& field : fields) sink += field.value().vt;
      rs.call(u"MoveNext");
    }
    walk += seconds(Clock::now() - start);
  }
  benchmark::DoNotOptimize(sink);
  sqlite3_close(raw);
  report(state, routine, rawTime);
  state.counters["engine_walk_ms"] = walk / static_cast<double>(state.iterations()) * 1e3;
  state.counters["routine_over_walk"] = routine / walk;
}
BENCHMARK(BM_CopyFromDbGrid)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PasteToDbGrid(benchmark::State& state) {
  const auto file = database();
  Object db(engineObject().call(u"OpenDatabase", fromUtf8(file.string())));
  // The rows as the copy writes them.
  std::u16string rows;
  std::string cells;
  for (int i = 1; i <= kPasteRows; ++i) {
    cells = " " + std::to_string(i) + "\t " + std::to_string(i * 7 % 1000) + "\t " + std::to_string(i) + ".25\tname" +
            std::to_string(i) + "\t1998-01-" + std::to_string(10 + i % 20) + "\t" + (i % 2 ? "-1" : " 0") + "\r";
    rows += fromUtf8(cells);
  }
  const Object ocx = ocxWrapper();
  sqlite3* raw = nullptr;
  sqlite3_open(file.c_str(), &raw);
  double routine = 0, rawTime = 0;
  for (auto _ : state) {
    db.call(u"Execute", u"DELETE FROM P");
    host::clipboard()->setText(rows);
    Object rs(db.call(u"OpenRecordset", u"P", 2));
    auto start = Clock::now();
    if (toInt32(ocx.call(u"PasteToDbGrid", rs.get())) != 0) state.SkipWithError("the paste failed");
    routine += seconds(Clock::now() - start);

    check(sqlite3_exec(raw, "DELETE FROM R", nullptr, nullptr, nullptr), raw);
    start = Clock::now();
    check(sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr), raw);
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(raw, "INSERT INTO R VALUES (?, ?, ?, ?, ?, ?)", -1, &s, nullptr), raw);
    for (int i = 1; i <= kPasteRows; ++i) {
      sqlite3_bind_int(s, 1, i);
      sqlite3_bind_int(s, 2, i * 7 % 1000);
      sqlite3_bind_double(s, 3, i + 0.25);
      const std::string c = "name" + std::to_string(i);
      sqlite3_bind_text(s, 4, c.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_double(s, 5, 35805.0 + i % 20);
      sqlite3_bind_int(s, 6, i % 2 ? -1 : 0);
      check(sqlite3_step(s), raw);
      sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    check(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), raw);
    rawTime += seconds(Clock::now() - start);
  }
  sqlite3_close(raw);
  report(state, routine, rawTime);
}
BENCHMARK(BM_PasteToDbGrid)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
