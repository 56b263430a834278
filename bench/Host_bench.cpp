// The headless host's cost: members read and written by name over the
// 1,000 controls of a generated form, against a direct C++ call of the same
// member in the same run; and a flex grid of 100,000 rows by 6 columns
// filled by AddItem, with its memory per cell.
#include <tarnwick/automation/Object.h>
#include <tarnwick/host/Form.h>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace tarnwick;
using namespace tarnwick::host;
using Clock = std::chrono::steady_clock;

constexpr int kControls = 1000;

ComPtr<Form> generatedForm() {
  ComPtr<Form> form = Form::create(u"frmGenerated");
  for (int i = 0; i < kControls; ++i) {
    Control& c = form->add(ControlKind::TextBox, u"txtField", static_cast<std::int16_t>(i));
    std::u16string tag = u"Orders([Field";
    tag += fromUtf8(std::to_string(i));
    tag += u"])";
    c.store(Property::Tag, Variant(tag));
  }
  return form;
}

double nanoseconds(Clock::duration d) { return std::chrono::duration<double, std::nano>(d).count(); }

// Reading Tag: the direct call reads the control's state; the call by
// name looks the member up and invokes it through IDispatch.
void BM_TagRead(benchmark::State& state) {
  ComPtr<Form> form = generatedForm();
  std::vector<Control*> controls;
  std::vector<Object> objects;
  for (const ComPtr<Control>& c : form->controls()) {
    controls.push_back(c.get());
    objects.emplace_back(static_cast<IDispatch*>(c.get()));
  }
  Clock::duration direct{}, byName{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (Control* c : controls) benchmark::DoNotOptimize(c->tag());
    const auto t1 = Clock::now();
    for (const Object& o : objects) benchmark::DoNotOptimize(o.get(u"Tag"));
    const auto t2 = Clock::now();
    direct += t1 - t0;
    byName += t2 - t1;
  }
  const double accesses = static_cast<double>(state.iterations()) * kControls;
  state.counters["direct_ns"] = nanoseconds(direct) / accesses;
  state.counters["by_name_ns"] = nanoseconds(byName) / accesses;
  state.counters["ratio"] = nanoseconds(byName) / nanoseconds(direct);
}
BENCHMARK(BM_TagRead)->Unit(benchmark::kMicrosecond);

// Writing Text, each write a change (so the change notification runs).
void BM_TextWrite(benchmark::State& state) {
  ComPtr<Form> form = generatedForm();
  std::vector<Control*> controls;
  std::vector<Object> objects;
  for (const ComPtr<Control>& c : form->controls()) {
    controls.push_back(c.get());
    objects.emplace_back(static_cast<IDispatch*>(c.get()));
  }
  const std::u16string texts[2] = {u"Smith & Co", u"Jones Ltd"};
  const Variant values[2] = {Variant(texts[0]), Variant(texts[1])};
  Clock::duration direct{}, byName{};
  int round = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (Control* c : controls) c->setText(texts[round & 1]);
    const auto t1 = Clock::now();
    for (const Object& o : objects) o.put(u"Text", values[(round + 1) & 1]);
    const auto t2 = Clock::now();
    direct += t1 - t0;
    byName += t2 - t1;
    ++round;
  }
  const double accesses = static_cast<double>(state.iterations()) * kControls;
  state.counters["direct_ns"] = nanoseconds(direct) / accesses;
  state.counters["by_name_ns"] = nanoseconds(byName) / accesses;
  state.counters["ratio"] = nanoseconds(byName) / nanoseconds(direct);
}
BENCHMARK(BM_TextWrite)->Unit(benchmark::kMicrosecond);

constexpr int kRows = 100'000;
constexpr int kCols = 6;

// 100,000 rows by 6 columns through AddItem by name, the baseline filling
// the same cells through the state directly.
void BM_FlexGridAddItem(benchmark::State& state) {
  const bool byName = state.range(0) != 0;
  std::vector<std::u16string> rows;
  for (int r = 0; r < kRows; ++r) {
    std::u16string row = fromUtf8(std::to_string(r));
    for (int c = 1; c < kCols; ++c) {
      row += u"\tcell";
      row += fromUtf8(std::to_string(c));
    }
    rows.push_back(std::move(row));
  }
  double bytesPerCell = 0;
  for (auto _ : state) {
    const std::size_t before = mallinfo2().uordblks;
    ComPtr<Form> form = Form::create(u"frmBig");
    Control& grid = form->add(ControlKind::MSFlexGrid, u"grdBig");
    const Object g(static_cast<IDispatch*>(&grid));
    g.put(u"Cols", Variant(kCols));
    g.put(u"Rows", Variant(1));
    if (byName) {
      for (const std::u16string& row : rows) g.call(u"AddItem", row);
    } else {
      ControlState& s = grid.state();
      for (const std::u16string& row : rows) {
        const std::size_t at = s.rows();
        s.insertRow(at);
        std::size_t col = 0, start = 0;
        for (;;) {
          const std::size_t tab = row.find(u'\t', start);
          s.setCell(at, col++, row.substr(start, tab == std::u16string::npos ? tab : tab - start));
          if (tab == std::u16string::npos) break;
          start = tab + 1;
        }
      }
    }
    bytesPerCell = static_cast<double>(mallinfo2().uordblks - before) / (kRows * kCols);
    benchmark::DoNotOptimize(grid.state().rows());
  }
  state.counters["bytes_per_cell"] = bytesPerCell;
  state.SetItemsProcessed(state.iterations() * kRows * kCols);
}
BENCHMARK(BM_FlexGridAddItem)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
