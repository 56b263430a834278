// Many client processes on one server database (TARNWICK_TEST_PG names the
// server; without it the benchmark skips), each adding records and adding
// one to four shared counters through the engine for a while:
// saves per second over all clients, and saves refused as another user's
// change or lock per thousand saves. Arguments: clients, and every how
// many-th client edits with LockEdits (0: none). TARNWICK_BENCH_SECONDS sets
// the clients' time (10 s when unset).
#include "../tests/engine/ManyClients.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

using namespace tarnwick;

// Runs one statement on the server by libpq itself; false when it fails.
bool serverAdmin(const char* server, const std::string& sql) {
  PGconn* c = PQconnectdb(server);
  PQsetNoticeProcessor(c, [](void*, const char*) {}, nullptr);
  bool done = false;
  if (PQstatus(c) == CONNECTION_OK) {
    PGresult* r = PQexec(c, sql.c_str());
    done = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
  }
  PQfinish(c);
  return done;
}

void BM_ManyClients(benchmark::State& state) {
  const char* server = std::getenv("TARNWICK_TEST_PG");
  if (!server || !*server) {
    state.SkipWithError("TARNWICK_TEST_PG names no server");
    return;
  }
  const char* secondsText = std::getenv("TARNWICK_BENCH_SECONDS");
  const double seconds = secondsText ? std::atof(secondsText) : 10.0;
  const int clients = static_cast<int>(state.range(0));
  const int lockEvery = static_cast<int>(state.range(1));
  const std::string schema = "tw_bench_clients_" + std::to_string(::getpid());
  testing::ManyClientsRun run;
  for (auto _ : state) {
    serverAdmin(server, "DROP SCHEMA IF EXISTS " + schema + " CASCADE");
    if (!serverAdmin(server, "CREATE SCHEMA " + schema)) {
      state.SkipWithError("the server refused a schema");
      return;
    }
    const std::u16string name = fromUtf8(std::string(server) + "?options=-csearch_path%3D" + schema);
    testing::makeSharedCounters(name);
    run = testing::runManyClients(name, clients, seconds, lockEvery);
    state.SetIterationTime(run.seconds);
  }
  serverAdmin(server, "DROP SCHEMA IF EXISTS " + schema + " CASCADE");
  const testing::ClientTally total = run.total();
  if (total.other > 0 || run.failedProcesses > 0) state.SkipWithError(total.otherText);
  state.counters["saves_per_second"] = run.savesPerSecond();
  state.counters["refusals_per_thousand"] = run.refusalsPerThousand();
  state.counters["changed_3197"] = static_cast<double>(total.conflicts);
  state.counters["locked_3260"] = static_cast<double>(total.locked);
}
BENCHMARK(BM_ManyClients)->Args({50, 0})->Args({50, 5})->Args({1, 0})->Args({8, 0})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
