// The data engine on a database server against libpq with prepared
// statements, on the same server in the same run: each benchmark times the
// engine's way and the raw way and reports both and their ratio (engine /
// raw). They run when TARNWICK_TEST_PG names a server (bench/server.sh
// starts a private one and stops it after the run).
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/engine/DBEngine.h>

#include "ServerFixture.h"
#include "SqliteFixture.h"

#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace tarnwick;
using namespace tarnwick::bench;

ServerSchema kSchema("tw_bench");

// The engine's table of the sample fields with `rows` records, made once per run.
std::string sampleTable(const RawSession& raw, int rows) {
  const std::string table = sampleTableName(rows);
  if (serverTableExists(raw, table)) return table;
  {
    Object db = kSchema.open();
    db.call(u"Execute", u"CREATE TABLE " + fromUtf8(table) + std::u16string(kSampleFields));
    db.call(u"Execute", u"CREATE INDEX ByC ON " + fromUtf8(table) + u" (C)");
    db.call(u"Close");
  }
  fillServerTable(raw, table, rows);
  return table;
}

// The processor time, in milliseconds, that the server's processes have
// spent on the engine's sessions (which name themselves "tarnwick" to the
// server) and on the raw session. Read from /proc, so only for a server on
// this machine (bench/server.sh starts one). It splits a ratio's time
// between the client's work and the server's.
class ServerTime {
 public:
  explicit ServerTime(const RawSession& raw) : raw_(raw) {
    const std::string host = PQhost(raw.get()) ? PQhost(raw.get()) : "";
    local_ = host == "127.0.0.1" || host == "localhost" || host == "::1" || host.starts_with('/');
  }
  double engine() const {
    if (!local_) return -1;
    PGresult* result = PQexec(raw_.get(), "SELECT pid FROM pg_stat_activity WHERE application_name = 'tarnwick'");
    double total = 0;
    for (int row = 0; row < PQntuples(result); ++row) total += processMs(std::atoi(PQgetvalue(result, row, 0)));
    PQclear(result);
    return total;
  }
  double raw() const { return local_ ? processMs(PQbackendPID(raw_.get())) : -1; }
  bool local() const { return local_; }

 private:
  static double processMs(int pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(file, text);
    const auto name = text.rfind(')');
    if (name == std::string::npos) return 0;
    // After the name: state and ten more fields, then user and system time.
    std::istringstream fields(text.substr(name + 2));
    std::string skipped;
    for (int i = 0; i < 11; ++i) fields >> skipped;
    long long user = 0, system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) * 1e3 / static_cast<double>(sysconf(_SC_CLK_TCK));
  }
  const RawSession& raw_;
  bool local_ = false;
};

// The processor time this thread has spent, in milliseconds.
double clientMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Times the engine's part and the raw part of one iteration, with the
// server's processor time and the client's for each.
struct ServerParts {
  explicit ServerParts(const RawSession& raw) : server(raw) {}
  void ours(const std::function<void()>& work) {
    const double before = server.engine(), client = clientMs();
    engineSeconds += timeOurs(work);
    engineClient += clientMs() - client;
    engineServer += server.engine() - before;
  }
  void baseline(const std::function<void()>& work) {
    const double before = server.raw(), client = clientMs();
    rawSeconds += timeBaseline(work);
    rawClient += clientMs() - client;
    rawServer += server.raw() - before;
  }
  void report(benchmark::State& state) const {
    bench::report(state, engineSeconds, rawSeconds, "engine_ms");
    const double n = static_cast<double>(state.iterations());
    state.counters["engine_client_ms"] = engineClient / n;
    state.counters["raw_client_ms"] = rawClient / n;
    if (!server.local()) return;
    state.counters["engine_server_ms"] = engineServer / n;
    state.counters["raw_server_ms"] = rawServer / n;
  }
  ServerTime server;
  double engineSeconds = 0, rawSeconds = 0, engineServer = 0, rawServer = 0, engineClient = 0, rawClient = 0;
};

// Scan: every record of 100,000 with MoveNext, every field's value read as
// text, against one prepared SELECT whose rows libpq reads as text. The
// argument is the recordset's type (1 table, 2 dynaset, 4 snapshot).
void BM_ServerScan(benchmark::State& state) {
  if (!kSchema.available()) return state.SkipWithError(kNoServer);
  constexpr int kRows = 100000;
  RawSession raw(kSchema.uri());
  const std::string table = sampleTable(raw, kRows);
  raw.prepare("scan", "SELECT \"Id\", \"A\", \"B\", \"C\", \"D\", \"E\" FROM " + table);
  Object db = kSchema.open();
  const auto type = static_cast<std::int32_t>(state.range(0));
  ServerParts parts(raw);
  std::int64_t sink = 0;
  for (auto _ : state) {
    parts.ours([&] {
      Object rs(db.call(u"OpenRecordset", fromUtf8(table), type));
      Object fields(rs.get(u"Fields"));
      std::vector<Object> f;
      for (int i = 0; i < 6; ++i) f.emplace_back(fields.call(u"Item", i));
      const DISPID moveNext = rs.idOf(u"MoveNext"), eof = rs.idOf(u"EOF");
      std::u16string text;
      int records = 0;
      while (!rs.invoke(eof, DISPATCH_PROPERTYGET, {}, nullptr).boolVal) {
        for (const Object& field : f) {
          text.clear();
          appendText(text, field.value());
          sink += static_cast<std::int64_t>(text.size());
        }
        rs.invoke(moveNext, DISPATCH_METHOD, {}, nullptr);
        ++records;
      }
      if (records != kRows) std::abort();
    });
    parts.baseline([&] {
      PGresult* result = PQexecPrepared(raw.get(), "scan", 0, nullptr, nullptr, nullptr, 0);
      if (PQresultStatus(result) != PGRES_TUPLES_OK || PQntuples(result) != kRows) std::abort();
      for (int row = 0, rows = PQntuples(result); row < rows; ++row) {
        for (int column = 0; column < 6; ++column) {
          const std::string_view text(PQgetvalue(result, row, column),
                                      static_cast<std::size_t>(PQgetlength(result, row, column)));
          sink += static_cast<std::int64_t>(text.size());
        }
      }
      PQclear(result);
    });
  }
  benchmark::DoNotOptimize(sink);
  parts.report(state);
}
BENCHMARK(BM_ServerScan)->ArgName("type")->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(3);

// Seek on the primary key of a table-type recordset of 100,000 records, at
// keys in random order, against a prepared SELECT of the record by its key.
void BM_ServerSeek(benchmark::State& state) {
  if (!kSchema.available()) return state.SkipWithError(kNoServer);
  constexpr int kRows = 100000, kSeeks = 5000;
  RawSession raw(kSchema.uri());
  const std::string table = sampleTable(raw, kRows);
  raw.prepare("seek", "SELECT \"Id\", \"A\", \"B\", \"C\", \"D\", \"E\" FROM " + table + " WHERE \"Id\" = $1");
  Object db = kSchema.open();
  Object rs(db.call(u"OpenRecordset", fromUtf8(table), 1));
  rs.put(u"Index", Variant(u"PrimaryKey"));
  const DISPID seek = rs.idOf(u"Seek"), noMatch = rs.idOf(u"NoMatch");
  std::mt19937 random(19);
  std::uniform_int_distribution<int> anyKey(1, kRows);
  std::vector<int> keys(kSeeks);
  for (int& key : keys) key = anyKey(random);
  ServerParts parts(raw);
  std::int64_t sink = 0;
  for (auto _ : state) {
    parts.ours([&] {
      for (const int key : keys) {
        Variant args[] = {Variant(u"="), Variant(key)};
        rs.invoke(seek, DISPATCH_METHOD, args, nullptr);
        if (rs.invoke(noMatch, DISPATCH_PROPERTYGET, {}, nullptr).boolVal) std::abort();
      }
    });
    parts.baseline([&] {
      for (const int key : keys) {
        const std::string text = std::to_string(key);
        const char* values[] = {text.c_str()};
        PGresult* result = PQexecPrepared(raw.get(), "seek", 1, values, nullptr, nullptr, 0);
        if (PQresultStatus(result) != PGRES_TUPLES_OK || PQntuples(result) != 1) std::abort();
        sink += PQgetlength(result, 0, 3);
        PQclear(result);
      }
    });
  }
  benchmark::DoNotOptimize(sink);
  parts.report(state);
}
BENCHMARK(BM_ServerSeek)->Unit(benchmark::kMillisecond)->Iterations(3);

// AddNew/Update of 10,000 records in one transaction into a table whose key
// is a counter, against a prepared INSERT into a table of the same kind.
void BM_ServerAddNewUpdate(benchmark::State& state) {
  if (!kSchema.available()) return state.SkipWithError(kNoServer);
  constexpr int kAdded = 10000;
  RawSession raw(kSchema.uri());
  Object engine = engineObject();
  Object db = kSchema.open();
  for (const char16_t* table : {u"added", u"inserted"}) {
    if (!serverTableExists(raw, toUtf8(table)))
      db.call(u"Execute", u"CREATE TABLE " + std::u16string(table) +
                              u" (Id COUNTER PRIMARY KEY, A LONG, B DOUBLE, C TEXT(20), D DATETIME, E YESNO)");
  }
  raw.prepare("insert", "INSERT INTO inserted (\"A\", \"B\", \"C\", \"D\", \"E\") VALUES ($1, $2, $3, $4, $5)");
  // The dates that the engine's values stand for (day 36000 is 1998-07-24), as the server reads them.
  std::vector<std::string> dates;
  for (int i = 0; i < 100; ++i) {
    const std::chrono::year_month_day day{std::chrono::sys_days{std::chrono::year{1998} / 7 / 24} + std::chrono::days{i}};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u 00:00:00", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
    dates.emplace_back(text);
  }
  ServerParts parts(raw);
  for (auto _ : state) {
    raw.exec("TRUNCATE added, inserted");
    parts.ours([&] {
      addSampleRecords(engine, db, u"added", 2, kAdded);
    });
    parts.baseline([&] {
      raw.exec("BEGIN");
      for (int i = 0; i < kAdded; ++i) {
        const std::string a = std::to_string(i), b = std::to_string(i * 0.5);
        const char* values[] = {a.c_str(), b.c_str(), "name", dates[static_cast<std::size_t>(i % 100)].c_str(),
                                i % 2 == 0 ? "true" : "false"};
        raw.ok(PQexecPrepared(raw.get(), "insert", 5, values, nullptr, nullptr, 0));
      }
      raw.exec("COMMIT");
    });
  }
  PGresult* counted = PQexec(raw.get(), "SELECT (SELECT count(*) FROM added) = (SELECT count(*) FROM inserted)");
  if (PQgetvalue(counted, 0, 0)[0] != 't') std::abort();
  PQclear(counted);
  parts.report(state);
}
BENCHMARK(BM_ServerAddNewUpdate)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
