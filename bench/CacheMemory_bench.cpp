// The memory of the two caches that fill from callers' input: the INI
// store's parsed files and the engine's compiled statements. Each benchmark
// feeds 100,000 distinct inputs and reports the heap in use after the first
// thousand and at the end; both caches are bounded, so the two stay level.
// Run alone: tarnwick_bench --benchmark_filter=Memory
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Profile.h>

#include "SqliteFixture.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <fstream>
#include <string>

namespace {

using namespace tarnwick;
using namespace tarnwick::bench;

constexpr int kDistinctInputs = 100'000;
constexpr int kWarmInputs = 1'000;  // far past both caches' capacity

double heapKilobytes() { return static_cast<double>(::mallinfo2().uordblks) / 1024.0; }

// Reports the heap after the warm inputs and after all of them, and the growth in between.
class HeapCheckpoints {
 public:
  void after(int inputs) {
    if (inputs == kWarmInputs) warm_ = heapKilobytes();
    if (inputs == kDistinctInputs) last_ = heapKilobytes();
  }
  void report(benchmark::State& state) const {
    state.counters["heap_kb_after_1k"] = warm_;
    state.counters["heap_kb_after_100k"] = last_;
    state.counters["growth_kb"] = last_ - warm_;
  }

 private:
  double warm_ = 0;
  double last_ = 0;
};

// 100,000 INI files read once each, as a form opens its own settings file.
void BM_IniStoreMemoryOverDistinctFiles(benchmark::State& state) {
  const ScratchFolder folder("tarnwick-ini-memory");
  HeapCheckpoints heap;
  for (auto _ : state) {
    for (int i = 1; i <= kDistinctInputs; ++i) {
      const auto file = folder.path() / ("f" + std::to_string(i) + ".ini");
      std::ofstream(file) << "[Form]\nCaption=Window " << i << "\nLeft=" << i % 977 << "\n";
      benchmark::DoNotOptimize(frame::iniRead(u"Form", u"Caption", fromUtf8(file.string())));
      heap.after(i);
    }
  }
  heap.report(state);
}
BENCHMARK(BM_IniStoreMemoryOverDistinctFiles)->Iterations(1)->Unit(benchmark::kMillisecond);

// 100,000 distinct FindFirst conditions on one recordset, as a search form
// looks up what users type. Values alone do not make a new statement (they
// are bound), so each condition also has a shape of its own: seventeen
// joins, each And or Or by one bit of the count.
std::u16string distinctCondition(int i) {
  std::u16string condition = u"Qty = " + fromUtf8(std::to_string(i));
  for (int bit = 0; bit < 17; ++bit)
    condition += ((i >> bit) & 1 ? u" Or Name = 'x" : u" And Name = 'x") + fromUtf8(std::to_string(bit)) + u"'";
  return condition;
}

void BM_StatementCacheMemoryOverDistinctConditions(benchmark::State& state) {
  const ScratchFolder folder("tarnwick-statement-memory");
  const std::u16string file = fromUtf8((folder.path() / "find.db").string());
  {
    Object db(engineObject().call(u"CreateDatabase", file));
    db.call(u"Execute", u"CREATE TABLE T (Id LONG PRIMARY KEY, Qty LONG, Name TEXT(20))");
    for (int i = 0; i < 100; ++i)
      db.call(u"Execute", u"INSERT INTO T VALUES (" + fromUtf8(std::to_string(i)) + u", " +
                              fromUtf8(std::to_string(i * 7)) + u", 'n" + fromUtf8(std::to_string(i)) + u"')");
    db.call(u"Close");
  }
  Object db(engineObject().call(u"OpenDatabase", file));
  Object rs(db.call(u"OpenRecordset", u"Select * From T", 2));
  HeapCheckpoints heap;
  for (auto _ : state) {
    for (int i = 1; i <= kDistinctInputs; ++i) {
      rs.call(u"FindFirst", distinctCondition(i));
      benchmark::DoNotOptimize(toBool(rs.get(u"NoMatch")));
      heap.after(i);
    }
  }
  heap.report(state);
  rs.call(u"Close");
  db.call(u"Close");
}
BENCHMARK(BM_StatementCacheMemoryOverDistinctConditions)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
