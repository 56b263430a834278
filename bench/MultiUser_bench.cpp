// Several writer processes on one database file: the engine against the
// same work written on SQLite's C interface (write-ahead log, synchronous
// NORMAL, the same busy timeout), measured in the same run. Each writer
// runs transactions that count one save in a shared counter and add a
// record of it. A reader process reads the counter all the while; its
// longest read is reported next to the writers' longest transaction.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/engine/DBEngine.h>

#include "SqliteFixture.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace tarnwick;
using namespace tarnwick::bench;

const ScratchFolder kScratch("tarnwick-multiuser-bench");

constexpr int kTransactions = 200;

std::filesystem::path freshFile(const char* name) {
  const auto file = kScratch.path() / name;
  for (const char* suffix : {"", "-wal", "-shm", "-lock"}) {
    std::error_code ec;
    std::filesystem::remove(file.string() + suffix, ec);
  }
  Object db(engineObject().call(u"CreateDatabase", fromUtf8(file.string())));
  db.call(u"Execute", u"CREATE TABLE Counter (Id LONG PRIMARY KEY, Total LONG)");
  db.call(u"Execute", u"CREATE TABLE Saves (Process LONG, Number LONG, Total LONG)");
  db.call(u"Execute", u"INSERT INTO Counter VALUES (1, 0)");
  db.call(u"Close");
  return file;
}

double microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Runs `body` in a child that reports one number back.
pid_t child(int out, const std::function<double()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    double value = -1;
    try {
      value = body();
    } catch (const Error& e) {
      std::fprintf(stderr, "%d %s\n", e.number(), e.what());
    }
    (void)!::write(out, &value, sizeof value);
    ::_exit(0);
  }
  return pid;
}

// The engine's writer: the longest transaction in microseconds.
double engineWriter(const std::filesystem::path& file, int process) {
  Object engine = engineObject();
  Object db(engine.call(u"OpenDatabase", fromUtf8(file.string())));
  Object counter(db.call(u"OpenRecordset", u"Counter"));
  Object saves(db.call(u"OpenRecordset", u"Saves"));
  double longest = 0;
  for (int n = 0; n < kTransactions; ++n) {
    const auto start = Clock::now();
    engine.call(u"BeginTrans");
    counter.call(u"Edit");
    const Variant total(toInt32(counter.get(u"Collect", {Variant(u"Total")})) + 1);
    counter.put(u"Collect", {Variant(u"Total")}, total);
    counter.call(u"Update");
    saves.call(u"AddNew");
    saves.put(u"Collect", {Variant(u"Process")}, Variant(process));
    saves.put(u"Collect", {Variant(u"Number")}, Variant(n));
    saves.put(u"Collect", {Variant(u"Total")}, total);
    saves.call(u"Update");
    engine.call(u"CommitTrans");
    longest = std::max(longest, microseconds(Clock::now() - start));
  }
  return longest;
}

sqlite3* openRaw(const std::filesystem::path& file) {
  sqlite3* db = nullptr;
  check(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr), db);
  sqlite3_busy_timeout(db, engine::DBEngine::kDefaultBusyTimeout);
  check(sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr), db);
  return db;
}

double rawWriter(const std::filesystem::path& file, int process) {
  sqlite3* db = openRaw(file);
  sqlite3_stmt *read = nullptr, *write = nullptr, *add = nullptr;
  check(sqlite3_prepare_v2(db, "SELECT Total FROM Counter WHERE Id = 1", -1, &read, nullptr), db);
  check(sqlite3_prepare_v2(db, "UPDATE Counter SET Total = ? WHERE Id = 1", -1, &write, nullptr), db);
  check(sqlite3_prepare_v2(db, "INSERT INTO Saves VALUES (?, ?, ?)", -1, &add, nullptr), db);
  double longest = 0;
  for (int n = 0; n < kTransactions; ++n) {
    const auto start = Clock::now();
    check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db);
    check(sqlite3_step(read), db);
    const int total = sqlite3_column_int(read, 0) + 1;
    sqlite3_reset(read);
    sqlite3_bind_int(write, 1, total);
    check(sqlite3_step(write), db);
    sqlite3_reset(write);
    sqlite3_bind_int(add, 1, process);
    sqlite3_bind_int(add, 2, n);
    sqlite3_bind_int(add, 3, total);
    check(sqlite3_step(add), db);
    sqlite3_reset(add);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    longest = std::max(longest, microseconds(Clock::now() - start));
  }
  sqlite3_finalize(read);
  sqlite3_finalize(write);
  sqlite3_finalize(add);
  sqlite3_close(db);
  return longest;
}

// The reader: reads the counter through the engine until `stop` is
// readable; the longest read in microseconds.
double reader(const std::filesystem::path& file, int stop) {
  Object db(engineObject().call(u"OpenDatabase", fromUtf8(file.string())));
  Object counter(db.call(u"OpenRecordset", u"Counter", Variant(std::int16_t{2})));
  double longest = 0;
  pollfd wait{stop, POLLIN, 0};
  while (::poll(&wait, 1, 0) == 0) {
    const auto start = Clock::now();
    counter.call(u"MoveFirst");
    benchmark::DoNotOptimize(toInt32(counter.get(u"Collect", {Variant(u"Total")})));
    longest = std::max(longest, microseconds(Clock::now() - start));
    ::usleep(200);
  }
  return longest;
}

struct Run {
  double seconds = 0;
  double longestTransaction = 0;  // microseconds
  double longestRead = 0;         // microseconds
};

Run runWriters(int writers, bool raw) {
  const auto file = freshFile(raw ? "raw.db" : "engine.db");
  int results[2], stop[2];
  if (::pipe(results) != 0 || ::pipe(stop) != 0) std::abort();
  const pid_t watching = child(results[1], [&] { return reader(file, stop[0]); });
  const auto start = Clock::now();
  std::vector<pid_t> pids;
  for (int w = 0; w < writers; ++w)
    pids.push_back(child(results[1], [&, w] { return raw ? rawWriter(file, w) : engineWriter(file, w); }));
  Run run;
  for (const pid_t pid : pids) ::waitpid(pid, nullptr, 0);
  run.seconds = seconds(Clock::now() - start);
  for (int w = 0; w < writers; ++w) {
    double longest = 0;
    if (::read(results[0], &longest, sizeof longest) == sizeof longest && longest < 0) std::abort();
    run.longestTransaction = std::max(run.longestTransaction, longest);
  }
  (void)!::write(stop[1], "s", 1);
  ::waitpid(watching, nullptr, 0);
  if (::read(results[0], &run.longestRead, sizeof run.longestRead) != sizeof run.longestRead) std::abort();
  for (int fd : {results[0], results[1], stop[0], stop[1]}) ::close(fd);
  return run;
}

void BM_WritersOnOneFile(benchmark::State& state) {
  const int writers = static_cast<int>(state.range(0));
  double engineTime = 0, rawTime = 0, longestTransaction = 0, longestRead = 0;
  for (auto _ : state) {
    const Run ours = runWriters(writers, false);
    const Run raw = runWriters(writers, true);
    engineTime += ours.seconds;
    rawTime += raw.seconds;
    longestTransaction = std::max(longestTransaction, ours.longestTransaction);
    longestRead = std::max(longestRead, ours.longestRead);
  }
  const double transactions = static_cast<double>(writers) * kTransactions * static_cast<double>(state.iterations());
  state.counters["engine_tx_per_s"] = transactions / engineTime;
  state.counters["raw_tx_per_s"] = transactions / rawTime;
  // Throughput against raw: 1 is as fast, the target is at least 0.7.
  state.counters["throughput_ratio"] = rawTime / engineTime;
  state.counters["longest_tx_us"] = longestTransaction;
  state.counters["longest_read_us"] = longestRead;
}
BENCHMARK(BM_WritersOnOneFile)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
