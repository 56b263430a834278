// The data engine against SQLite's C interface, measured in the same run:
// each benchmark times the engine's way and the raw way and reports both
// and their ratio (engine / raw).
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/engine/DBEngine.h>
#include <tarnwick/engine/Database.h>

#include "SqliteFixture.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace tarnwick;

using namespace tarnwick::bench;

const ScratchFolder kScratch("tarnwick-engine-bench");
std::filesystem::path benchDir() { return kScratch.path(); }

// A table T of six fields (Id key, A long, B double, C text(20) indexed,
// D date, E yes/no) made by the engine and filled with `rows` records.
std::filesystem::path table(int rows) {
  // Built piece by piece: GCC 12 at -O3 warns falsely of overlapping copies in "t" + text.
  std::string name = "t";
  name += std::to_string(rows);
  name += ".db";
  const auto file = benchDir() / name;
  if (std::filesystem::exists(file)) return file;
  {
    Object db(engineObject().call(u"CreateDatabase", fromUtf8(file.string())));
    db.call(u"Execute", u"CREATE TABLE T" + std::u16string(kSampleFields));
    db.call(u"Execute", u"CREATE INDEX ByC ON T (C)");
    db.call(u"Close");
  }
  fillSampleTable(file, "T", rows);
  return file;
}

void report(benchmark::State& state, double engine, double raw) { bench::report(state, engine, raw, "engine_ms"); }

// Scan: MoveNext over 100,000 records, reading every field as a value.
void BM_ScanWithMoveNext(benchmark::State& state) {
  const auto file = table(100000);
  Object db(engineObject().call(u"OpenDatabase", fromUtf8(file.string())));
  sqlite3* raw = nullptr;
  sqlite3_open(file.c_str(), &raw);
  double engineTime = 0, rawTime = 0;
  std::int64_t sink = 0;
  for (auto _ : state) {
    engineTime += timeOurs([&] {
      Object rs(db.call(u"OpenRecordset", u"T", 1));
      Object fields(rs.get(u"Fields"));
      std::vector<Object> f;
      for (int i = 0; i < 6; ++i) f.emplace_back(fields.call(u"Item", i));
      const DISPID moveNext = rs.idOf(u"MoveNext"), eof = rs.idOf(u"EOF");
      for (;;) {
        if (rs.invoke(eof, DISPATCH_PROPERTYGET, {}, nullptr).boolVal) break;
        for (const Object& field : f) {
          const Variant v = field.value();
          sink += v.vt;
        }
        rs.invoke(moveNext, DISPATCH_METHOD, {}, nullptr);
      }
    });
    rawTime += timeBaseline([&] {
      sqlite3_stmt* s = nullptr;
      sqlite3_prepare_v2(raw, "SELECT Id, A, B, C, D, E FROM T", -1, &s, nullptr);
      while (sqlite3_step(s) == SQLITE_ROW) {
        sink += sqlite3_column_int(s, 0) + sqlite3_column_int(s, 1);
        sink += static_cast<std::int64_t>(sqlite3_column_double(s, 2));
        const std::string text(reinterpret_cast<const char*>(sqlite3_column_text(s, 3)),
                               static_cast<std::size_t>(sqlite3_column_bytes(s, 3)));
        sink += static_cast<std::int64_t>(text.size());
        sink += static_cast<std::int64_t>(sqlite3_column_double(s, 4)) + sqlite3_column_int(s, 5);
      }
      sqlite3_finalize(s);
    });
  }
  benchmark::DoNotOptimize(sink);
  sqlite3_close(raw);
  report(state, engineTime, rawTime);
}
BENCHMARK(BM_ScanWithMoveNext)->Unit(benchmark::kMillisecond)->Iterations(5);

// AddNew/Update of 100,000 records in one transaction. The raw inserts go
// to a table whose key is a plain integer (argument 0) or, like T's, a
// counter (argument 1), whose numbers the storage keeps apart from the
// records so that none is given twice: that bookkeeping makes each insert
// cost about twice as much, for the raw inserts as for AddNew.
void BM_AddNewUpdate(benchmark::State& state) {
  constexpr int kAdded = 100000;
  const auto file = benchDir() / "add.db";
  if (!std::filesystem::exists(file)) {
    Object db(engineObject().call(u"CreateDatabase", fromUtf8(file.string())));
    db.call(u"Execute", u"CREATE TABLE T (Id COUNTER PRIMARY KEY, A LONG, B DOUBLE, C TEXT(20), D DATETIME, E YESNO)");
    db.call(u"Execute", u"CREATE TABLE R (Id INTEGER PRIMARY KEY, A LONG, B DOUBLE, C TEXT(20), D DATETIME, E YESNO)");
    db.call(u"Execute", u"CREATE TABLE S (Id COUNTER PRIMARY KEY, A LONG, B DOUBLE, C TEXT(20), D DATETIME, E YESNO)");
    db.call(u"Close");
  }
  const std::string rawTable = state.range(0) == 0 ? "R" : "S";
  Object engine = engineObject();
  Object db(engine.call(u"OpenDatabase", fromUtf8(file.string())));
  sqlite3* raw = nullptr;
  sqlite3_open(file.c_str(), &raw);
  double engineTime = 0, rawTime = 0;
  for (auto _ : state) {
    db.call(u"Execute", u"DELETE FROM T");
    sqlite3_exec(raw, ("DELETE FROM " + rawTable).c_str(), nullptr, nullptr, nullptr);
    engineTime += timeOurs([&] {
      addSampleRecords(engine, db, u"T", 1, kAdded);
    });
    rawTime += timeBaseline([&] {
      sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
      sqlite3_stmt* s = nullptr;
      const std::string insert = "INSERT INTO " + rawTable + " (A, B, C, D, E) VALUES (?, ?, ?, ?, ?)";
      sqlite3_prepare_v2(raw, insert.c_str(), -1, &s, nullptr);
      for (int i = 0; i < kAdded; ++i) {
        sqlite3_bind_int(s, 1, i);
        sqlite3_bind_double(s, 2, i * 0.5);
        sqlite3_bind_text(s, 3, "name", -1, SQLITE_STATIC);
        sqlite3_bind_double(s, 4, 36000.0 + i % 100);
        sqlite3_bind_int(s, 5, i % 2 == 0 ? -1 : 0);
        check(sqlite3_step(s), raw);
        sqlite3_reset(s);
      }
      sqlite3_finalize(s);
      sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    });
  }
  sqlite3_close(raw);
  report(state, engineTime, rawTime);
  state.SetLabel(state.range(0) == 0 ? "raw: integer key" : "raw: counter key, as T");
}
BENCHMARK(BM_AddNewUpdate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// One lookup after another in a table of 10,000 records against the same
// lookups through one prepared SELECT: FindFirst on the indexed text field C
// of a dynaset (a new value in every condition), and Seek on the primary key
// of a table-type recordset, whose baseline runs inside one read transaction.
constexpr int kTimedLookups = 5000;
int lookupKey(int i) { return 1 + static_cast<int>((static_cast<long long>(i) * 7919) % 10000); }

void BM_FindFirstAgainstPreparedSelect(benchmark::State& state) {
  const auto file = table(10000);
  Object db(engineObject().call(u"OpenDatabase", fromUtf8(file.string())));
  Object rs(db.call(u"OpenRecordset", u"T", 2));
  const DISPID findFirst = rs.idOf(u"FindFirst"), noMatch = rs.idOf(u"NoMatch");
  sqlite3* raw = nullptr;
  sqlite3_open(file.c_str(), &raw);
  sqlite3_stmt* select = nullptr;
  check(sqlite3_prepare_v2(raw, "SELECT rowid FROM T WHERE C = ? LIMIT 1", -1, &select, nullptr), raw);
  std::vector<std::u16string> conditions;
  std::vector<std::string> values;
  for (int i = 0; i < kTimedLookups; ++i) {
    values.push_back("name" + std::to_string(lookupKey(i)));
    conditions.push_back(u"C = '" + fromUtf8(values.back()) + u"'");
  }
  double engineTime = 0, rawTime = 0;
  std::int64_t sink = 0;
  for (auto _ : state) {
    engineTime += timeOurs([&] {
      for (const std::u16string& condition : conditions) {
        Variant args[] = {Variant(condition)};
        rs.invoke(findFirst, DISPATCH_METHOD, args, nullptr);
        if (rs.invoke(noMatch, DISPATCH_PROPERTYGET, {}, nullptr).boolVal) std::abort();
      }
    });
    rawTime += timeBaseline([&] {
      for (const std::string& value : values) {
        sqlite3_bind_text(select, 1, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
        if (sqlite3_step(select) != SQLITE_ROW) std::abort();
        sink += sqlite3_column_int64(select, 0);
        sqlite3_reset(select);
      }
    });
  }
  benchmark::DoNotOptimize(sink);
  sqlite3_finalize(select);
  sqlite3_close(raw);
  report(state, engineTime, rawTime);
}
BENCHMARK(BM_FindFirstAgainstPreparedSelect)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SeekAgainstPreparedSelect(benchmark::State& state) {
  const auto file = table(10000);
  Object db(engineObject().call(u"OpenDatabase", fromUtf8(file.string())));
  Object rs(db.call(u"OpenRecordset", u"T", 1));
  rs.put(u"Index", Variant(u"PrimaryKey"));
  const DISPID seek = rs.idOf(u"Seek"), noMatch = rs.idOf(u"NoMatch");
  sqlite3* raw = nullptr;
  sqlite3_open(file.c_str(), &raw);
  sqlite3_stmt* select = nullptr;
  check(sqlite3_prepare_v2(raw, "SELECT rowid FROM T WHERE Id = ? LIMIT 1", -1, &select, nullptr), raw);
  // Arg 1: the engine's lookups too run inside one transaction, as the
  // baseline's do; outside one, the storage begins and ends a read for
  // every statement, which the baseline never pays.
  const bool inTransaction = state.range(0) == 1;
  Object engine = engineObject();
  double engineTime = 0, rawTime = 0;
  std::int64_t sink = 0;
  for (auto _ : state) {
    engineTime += timeOurs([&] {
      if (inTransaction) engine.call(u"BeginTrans");
      for (int i = 0; i < kTimedLookups; ++i) {
        Variant args[] = {Variant(u"="), Variant(lookupKey(i))};
        rs.invoke(seek, DISPATCH_METHOD, args, nullptr);
        if (rs.invoke(noMatch, DISPATCH_PROPERTYGET, {}, nullptr).boolVal) std::abort();
      }
      if (inTransaction) engine.call(u"CommitTrans");
    });
    rawTime += timeBaseline([&] {
      sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
      for (int i = 0; i < kTimedLookups; ++i) {
        sqlite3_bind_int(select, 1, lookupKey(i));
        if (sqlite3_step(select) != SQLITE_ROW) std::abort();
        sink += sqlite3_column_int64(select, 0);
        sqlite3_reset(select);
      }
      sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    });
  }
  benchmark::DoNotOptimize(sink);
  sqlite3_finalize(select);
  sqlite3_close(raw);
  report(state, engineTime, rawTime);
  state.SetLabel(inTransaction ? "both in a transaction" : "engine outside a transaction");
}
BENCHMARK(BM_SeekAgainstPreparedSelect)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// Seek on the primary key and FindFirst on an indexed field: the cost per
// lookup in a table of 1,000,000 records against one of 10,000.
double lookups(const std::filesystem::path& file, int rows, bool seek) {
  Object db(engineObject().call(u"OpenDatabase", fromUtf8(file.string())));
  Object rs(db.call(u"OpenRecordset", u"T", seek ? 1 : 2));
  if (seek) rs.put(u"Index", Variant(u"PrimaryKey"));
  const DISPID seekId = seek ? rs.idOf(u"Seek") : rs.idOf(u"FindFirst");
  constexpr int kLookups = 2000;
  const auto start = Clock::now();
  for (int i = 0; i < kLookups; ++i) {
    const int key = 1 + static_cast<int>((static_cast<long long>(i) * 7919) % rows);
    if (seek) {
      Variant args[] = {Variant(u"="), Variant(key)};
      rs.invoke(seekId, DISPATCH_METHOD, args, nullptr);
    } else {
      Variant args[] = {Variant(u"C = 'name" + fromUtf8(std::to_string(key)) + u"'")};
      rs.invoke(seekId, DISPATCH_METHOD, args, nullptr);
    }
    if (toBool(rs.get(u"NoMatch"))) std::abort();
  }
  return seconds(Clock::now() - start) / kLookups;
}

void BM_LookupCostAgainstTableSize(benchmark::State& state) {
  const bool seek = state.range(0) == 0;
  const auto small = table(10000);
  const auto large = table(1000000);
  double smallTime = 0, largeTime = 0;
  for (auto _ : state) {
    smallTime += lookups(small, 10000, seek);
    largeTime += lookups(large, 1000000, seek);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["us_10k"] = smallTime / n * 1e6;
  state.counters["us_1M"] = largeTime / n * 1e6;
  state.counters["ratio_1M_10k"] = largeTime / smallTime;
  state.SetLabel(seek ? "Seek on PrimaryKey" : "FindFirst on an indexed field");
}
BENCHMARK(BM_LookupCostAgainstTableSize)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

long statusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
  return -1;
}

// Opening a table-type recordset over 1,000,000 records and reading some:
// the records are not read into memory.
void BM_OpenLargeTable(benchmark::State& state) {
  const auto file = table(1000000);
  Object db(engineObject().call(u"OpenDatabase", fromUtf8(file.string())));
  long growth = 0;
  for (auto _ : state) {
    const long before = statusKb("VmRSS:");
    Object rs(db.call(u"OpenRecordset", u"T", 1));
    for (int i = 0; i < 1000; ++i) rs.call(u"MoveNext");
    rs.call(u"MoveLast");
    rs.call(u"MovePrevious");
    growth = std::max(growth, statusKb("VmRSS:") - before);
  }
  state.counters["rss_growth_kb"] = static_cast<double>(growth);
  state.counters["peak_rss_kb"] = static_cast<double>(statusKb("VmHWM:"));
  state.counters["file_kb"] = static_cast<double>(std::filesystem::file_size(file) / 1024);
}
BENCHMARK(BM_OpenLargeTable)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
