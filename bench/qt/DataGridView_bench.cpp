// A data grid view of 100,000 records on the Qt host: the time from binding
// the grid to its first paint, and from there to the last record shown,
// against the same table view over Qt's own SQL query model on the same file
// (ratio), and over a model that reads SQLite's C interface directly
// (ratio_raw), each fetching rows as they are shown in the same way. Memory
// is the heap the view and its rows hold while shown, in KB.
#include "../ServerFixture.h"
#include "../SqliteFixture.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/host/Form.h>
#include <tarnwick/qt/QtHost.h>

#include <QAbstractTableModel>
#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <QTableView>

#include <malloc.h>

#include <vector>

namespace {

using namespace tarnwick;
using namespace tarnwick::bench;

const ScratchFolder kScratch("tarnwick-qt-bench");
constexpr int kRecords = 100'000;

std::filesystem::path table() {
  const auto file = kScratch.path() / "view.db";
  if (std::filesystem::exists(file)) return file;
  {
    Object db(engineObject().call(u"CreateDatabase", fromUtf8(file.string())));
    db.call(u"Execute", u"CREATE TABLE T" + std::u16string(kSampleFields));
    db.call(u"Close");
  }
  fillSampleTable(file, "T", kRecords);
  return file;
}

// Heap in use, in KB: what a view and its model hold while they live.
long heapKb() { return static_cast<long>(mallinfo2().uordblks / 1024); }

// The baseline: rows read with one SQLite statement as the view asks for them.
class SqliteModel final : public QAbstractTableModel {
 public:
  explicit SqliteModel(const std::filesystem::path& file) {
    sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
    check(sqlite3_prepare_v2(db_, "SELECT * FROM T", -1, &statement_, nullptr), db_);
  }
  ~SqliteModel() override {
    sqlite3_finalize(statement_);
    sqlite3_close(db_);
  }
  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : static_cast<int>(rows_.size()); }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 6; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole) return {};
    return rows_[static_cast<std::size_t>(index.row())][index.column()];
  }
  bool canFetchMore(const QModelIndex& parent) const override { return !parent.isValid() && !done_; }
  void fetchMore(const QModelIndex&) override {
    std::vector<QStringList> batch;
    while (batch.size() < 256) {
      if (sqlite3_step(statement_) != SQLITE_ROW) {
        done_ = true;
        break;
      }
      QStringList row;
      for (int c = 0; c < 6; ++c)
        row.push_back(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement_, c))));
      batch.push_back(std::move(row));
    }
    if (batch.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(batch.size()) - 1);
    for (auto& row : batch) rows_.push_back(std::move(row));
    endInsertRows();
  }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* statement_ = nullptr;
  std::vector<QStringList> rows_;
  bool done_ = false;
};

// Paints the view once, as the screen would.
void paint(QTableView& view) { benchmark::DoNotOptimize(view.grab()); }

void scrollToEnd(QTableView& view) {
  QAbstractItemModel* model = view.model();
  while (model->canFetchMore(QModelIndex())) model->fetchMore(QModelIndex());
  view.scrollToBottom();
  paint(view);
}

struct HostGrid {
  ComPtr<host::Form> form;
  QTableView* view;
};

HostGrid hostGrid(const std::u16string& database, const std::u16string& source = u"T") {
  ComPtr<host::Form> form = host::Form::create(u"frmView");
  host::Control& data = form->add(host::ControlKind::Data, u"datView");
  host::Control& grid = form->add(host::ControlKind::DBGrid, u"grdView");
  Object d(static_cast<IDispatch*>(&data));
  d.put(u"DatabaseName", Variant(database));
  d.put(u"RecordSource", Variant(source));
  Object g(static_cast<IDispatch*>(&grid));
  g.put(u"Width", Variant(9000));
  g.put(u"Height", Variant(6000));
  g.putRef(u"DataSource", Variant(static_cast<IDispatch*>(&data)));
  auto* view = qobject_cast<QTableView*>(qt::widgetOf(grid));
  view->model()->fetchMore(QModelIndex());  // as a shown view does
  return {form, view};
}

// The view over Qt's query model, its connection opened with the view;
// `whileShown` runs before they close.
void showQueryModel(const std::filesystem::path& file, bool toEnd, const std::function<void()>& whileShown) {
  const QString connection = QStringLiteral("bench");
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(QString::fromStdString(file.string()));
    if (!db.open()) std::abort();
    QTableView view;
    view.resize(600, 400);
    QSqlQueryModel model;
    model.setQuery(QStringLiteral("SELECT * FROM T"), db);
    view.setModel(&model);
    paint(view);
    if (toEnd) scrollToEnd(view);
    whileShown();
  }
  QSqlDatabase::removeDatabase(connection);
}

// What a view is bound to, then painted: first paint; then every record reached.
void BM_DataGridView(benchmark::State& state) {
  const auto file = table();
  const bool toEnd = state.range(0) != 0;
  double ours = 0, query = 0, raw = 0;
  // Memory: the least heap held over the iterations, so that what the first
  // one loads once (the engine, Qt's fonts) does not count.
  long oursKb = -1, queryKb = -1, rawKb = -1;
  auto least = [](long& kept, long now) { kept = kept < 0 ? now : std::min(kept, now); };
  for (auto _ : state) {
    {
      const long before = heapKb();
      ours += timeOurs([&] {
        HostGrid grid = hostGrid(fromUtf8(file.string()));
        paint(*grid.view);
        if (toEnd) scrollToEnd(*grid.view);
        least(oursKb, heapKb() - before);
      });
    }
    {
      const long before = heapKb();
      query += timeBaseline([&] { showQueryModel(file, toEnd, [&] { least(queryKb, heapKb() - before); }); });
    }
    {
      const long before = heapKb();
      auto start = Clock::now();
      QTableView view;
      view.resize(600, 400);
      SqliteModel model(file);
      view.setModel(&model);
      model.fetchMore(QModelIndex());
      paint(view);
      if (toEnd) scrollToEnd(view);
      raw += seconds(Clock::now() - start);
      least(rawKb, heapKb() - before);
    }
  }
  report(state, ours, query, "host_ms");
  state.counters["query_model_ms"] = query / static_cast<double>(state.iterations()) * 1e3;
  state.counters["raw_ms"] = raw / static_cast<double>(state.iterations()) * 1e3;
  state.counters["ratio_raw"] = ours / raw;
  state.counters["host_kb"] = static_cast<double>(oursKb);
  state.counters["query_model_kb"] = static_cast<double>(queryKb);
  state.counters["raw_kb"] = static_cast<double>(rawKb);
}
BENCHMARK(BM_DataGridView)->ArgName("to_end")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// The first paint of a data grid view over a table of 1,000,000 records on
// a database server against the same over a table of 1,000 records, in the
// same run: the grid reads only the rows it shows, so the two should take
// the same time (ratio 1 within noise). The tables are made by the engine
// (so they have its row key) and filled by the server itself.
ServerSchema kSchema("tw_qt_bench");

void BM_DataGridViewOnServer(benchmark::State& state) {
  if (!kSchema.available()) return state.SkipWithError(kNoServer);
  constexpr int kSmall = 1'000, kLarge = 1'000'000;
  {
    RawSession raw(kSchema.uri());
    for (const int rows : {kSmall, kLarge}) {
      const std::string table = sampleTableName(rows);
      if (serverTableExists(raw, table)) continue;
      Object db = kSchema.open();
      db.call(u"Execute", u"CREATE TABLE " + fromUtf8(table) + std::u16string(kSampleFields));
      db.call(u"Close");
      fillServerTable(raw, table, rows);
    }
  }
  double small = 0, large = 0;
  auto firstPaint = [&](const std::u16string& table) {
    HostGrid grid = hostGrid(kSchema.name(), table);
    paint(*grid.view);
    if (grid.view->model()->rowCount() == 0) std::abort();
  };
  for (auto _ : state) {
    small += timeBaseline([&] { firstPaint(u"t1000"); });
    large += timeOurs([&] { firstPaint(u"t1000000"); });
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["rows_1k_ms"] = small / n * 1e3;
  state.counters["rows_1m_ms"] = large / n * 1e3;
  state.counters["ratio"] = large / small;
}
BENCHMARK(BM_DataGridViewOnServer)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  tarnwick::qt::installForms();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
