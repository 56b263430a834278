#pragma once
// What the benchmarks against SQLite's C interface share: a scratch folder
// removed after the run, the thread's engine, a check of SQLite's result
// codes, a six-field sample table filled through raw prepared inserts, and
// the report of both times and their ratio.
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/engine/DBEngine.h>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::bench {

using Clock = std::chrono::steady_clock;

// A folder of its own for one benchmark file, removed when the run ends.
class ScratchFolder {
 public:
  explicit ScratchFolder(const char* name)
      : path_(std::filesystem::temp_directory_path() / (std::string(name) + "-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline Object engineObject() { return Object(engine::DBEngine::forThisThread().as<IDispatch>()); }

inline void check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::abort();
  }
}

// The six fields of the sample tables, as the engine creates them.
inline constexpr std::u16string_view kSampleFields =
    u" (Id LONG PRIMARY KEY, A LONG, B DOUBLE, C TEXT(20), D DATETIME, E YESNO)";

// Fills table `table` of an engine-made database with `rows` records
// through raw prepared inserts in one transaction.
inline void fillSampleTable(const std::filesystem::path& file, const char* table, int rows) {
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* s = nullptr;
  const std::string insert = std::string("INSERT INTO ") + table + " VALUES (?, ?, ?, ?, ?, ?)";
  check(sqlite3_prepare_v2(db, insert.c_str(), -1, &s, nullptr), db);
  for (int i = 1; i <= rows; ++i) {
    sqlite3_bind_int(s, 1, i);
    sqlite3_bind_int(s, 2, i * 7 % 1000);
    sqlite3_bind_double(s, 3, i * 0.25);
    const std::string c = "name" + std::to_string(i);
    sqlite3_bind_text(s, 4, c.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(s, 5, 35796.0 + i % 3000);
    sqlite3_bind_int(s, 6, i % 2 ? -1 : 0);
    check(sqlite3_step(s), db);
    sqlite3_reset(s);
  }
  sqlite3_finalize(s);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

// Adds `count` records to `table` (the sample fields, Id a counter) with
// AddNew and Update in one transaction; a record's values follow its number.
inline void addSampleRecords(const Object& engine, const Object& db, std::u16string_view table, std::int32_t type,
                             int count) {
  Object rs(db.call(u"OpenRecordset", std::u16string(table), type));
  Object fields(rs.get(u"Fields"));
  std::vector<Object> f;
  for (int i = 1; i < 6; ++i) f.emplace_back(fields.call(u"Item", i));
  const DISPID addNew = rs.idOf(u"AddNew"), update = rs.idOf(u"Update");
  engine.call(u"BeginTrans");
  for (int i = 0; i < count; ++i) {
    rs.invoke(addNew, DISPATCH_METHOD, {}, nullptr);
    Variant values[] = {Variant(i), Variant(i * 0.5), Variant(u"name"), Variant::date(36000.0 + i % 100),
                        Variant(i % 2 == 0)};
    for (int k = 0; k < 5; ++k) f[static_cast<std::size_t>(k)].invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &values[k]);
    rs.invoke(update, DISPATCH_METHOD, {}, nullptr);
  }
  engine.call(u"CommitTrans");
}

inline double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The two measured parts of a benchmark, ours and the baseline, each run
// inside a function of its own, so that bench/callgrind.sh can count the
// instructions spent inside each; both return the seconds taken.
[[gnu::noinline]] inline double timeOurs(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return seconds(Clock::now() - start);
}
[[gnu::noinline]] inline double timeBaseline(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return seconds(Clock::now() - start);
}

// Reports both times per iteration and their ratio (ours / raw).
inline void report(benchmark::State& state, double ours, double raw, const char* oursName) {
  const double n = static_cast<double>(state.iterations());
  state.counters[oursName] = ours / n * 1e3;
  state.counters["raw_ms"] = raw / n * 1e3;
  state.counters["ratio"] = ours / raw;
}

}  // namespace tarnwick::bench
