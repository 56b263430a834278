// Printed lists and forms through the Qt host's printer, reached by name
// (Tarnwick.Export's format "pdf" and Tarnwick.Printer): the PDF is read
// back with poppler's pdftotext and turned into pictures with pdftoppm.
#include "../classes/ClassTesting.h"
#include "QtTesting.h"

#include <tarnwick/engine/SampleDatabase.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/host/Progress.h>
#include <tarnwick/qt/DataControl.h>
#include <tarnwick/qt/Printer.h>

#include <QLabel>
#include <QTableView>

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

namespace tarnwick::testing {
namespace {

std::string run(const std::string& command) {
  std::string text;
  if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, got);
    ::pclose(pipe);
  }
  return text;
}

std::size_t count(const std::string& text, const std::string& word) {
  std::size_t n = 0;
  for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// A window of a data control over the sample database's orders and its grid.
struct GridWindow {
  GridWindow(const std::filesystem::path& database, const char* source) : window(new QWidget) {
    window->setObjectName(QStringLiteral("frmList"));
    window->setWindowTitle(QStringLiteral("Order list"));
    window->resize(480, 320);
    auto* data = new qt::DataControl(window);
    data->setObjectName(QStringLiteral("datOrders"));
    data->setDatabaseName(QString::fromStdString(database.string()));
    data->setRecordSource(QString::fromUtf8(source));
    auto* view = new QTableView(window);
    view->setObjectName(QStringLiteral("grdOrders"));
    view->setProperty("DataSource", QStringLiteral("datOrders"));
    view->setGeometry(0, 0, 480, 240);
    auto* label = new QLabel(QStringLiteral("Printed form"), window);
    label->setGeometry(0, 250, 200, 24);
    form = qt::wrapForm(*window);
  }
  ~GridWindow() { delete window.data(); }
  Object grid() const { return controlOf(objectOf(*form.get()), u"grdOrders"); }
  QPointer<QWidget> window;
  ComPtr<host::Form> form;
};

struct QtPrinter : ::testing::Test {
  void SetUp() override {
    qt::installForms();
    qt::installPrinter();
    engine::createSampleDatabase(dir / "orders.db", 150);
  }
  void TearDown() override { host::setProgress(nullptr); }
  ScratchDir dir;
  LocaleScope locale{Locale::enUS()};
};

TEST_F(QtPrinter, AGridPrintsCaptionsOnEveryPageAndEveryRow) {
  GridWindow shown(dir / "orders.db", "SELECT OrderId, CustomerId, OrderDate, Qty FROM Orders ORDER BY OrderId");
  const Object exporter(frame::createObject(u"Tarnwick.Export"));
  exporter.put(u"Title", Variant(u"All orders"));
  const std::filesystem::path pdf = dir / "orders.pdf";
  EXPECT_EQ(toInt32(exporter.call(u"ExportFile", shown.grid().get(), pathText(pdf))), 150);
  const std::string info = run("pdfinfo '" + pdf.string() + "'");
  std::smatch pages;
  ASSERT_TRUE(std::regex_search(info, pages, std::regex("Pages: +([0-9]+)"))) << info;
  const std::size_t pageCount = std::stoul(pages[1]);
  EXPECT_GE(pageCount, 2u);
  EXPECT_NE(info.find("595 x 842"), std::string::npos) << "portrait A4: " << info;
  const std::string text = run("pdftotext -layout '" + pdf.string() + "' -");
  EXPECT_EQ(count(text, "All orders"), pageCount);
  EXPECT_EQ(count(text, "OrderDate"), pageCount) << text.substr(0, 400);
  for (std::size_t p = 1; p <= pageCount; ++p) EXPECT_NE(text.find("Page " + std::to_string(p)), std::string::npos);
  // Every order, in the locale's date format; ids stand right-aligned at a line's start.
  for (int id = 1; id <= 150; ++id)
    EXPECT_TRUE(std::regex_search(text, std::regex("\n *" + std::to_string(id) + " +[0-9]+ +[0-9]+/[0-9]+/[0-9]{4}")))
        << "order " << id;
  // Turned into a picture: a page of the size A4 has at 50 dots per inch.
  run("pdftoppm -r 50 -png -f 1 -l 1 '" + pdf.string() + "' '" + (dir / "page").string() + "'");
  const std::string png = run("file '" + (dir / "page-1.png").string() + "'");
  EXPECT_NE(png.find("PNG image data, 414 x 585"), std::string::npos) << png;
}

TEST_F(QtPrinter, WideColumnsTurnThePageAndCancelLeavesNoFile) {
  GridWindow shown(dir / "orders.db", "SELECT * FROM Orders");
  const Object columns(shown.grid().get(u"Columns"));
  for (const Object& column : frame::collectionItems(columns)) column.put(u"Width", Variant(3000));
  const Object printer(frame::createObject(qt::kPrinterProgId));
  const std::filesystem::path pdf = dir / "wide.pdf";
  EXPECT_EQ(toInt32(printer.call(u"PrintFile", shown.grid().get(), pathText(pdf), u"Wide")), 150);
  EXPECT_NE(run("pdfinfo '" + pdf.string() + "'").find("842 x 595"), std::string::npos);

  struct Stop final : host::Progress {
    bool report(const std::u16string&, std::int32_t done, std::int32_t total) override {
      EXPECT_EQ(total, 0) << "a recordset's count is not known beforehand";
      return done < 100;
    }
    void finish(const std::u16string&) override {}
  };
  host::setProgress(std::make_shared<Stop>());
  const std::filesystem::path stopped = dir / "stopped.pdf";
  EXPECT_EQ(errorOf([&] { printer.call(u"PrintFile", shown.grid().get(), pathText(stopped)); }), errc::UserInterrupt);
  EXPECT_FALSE(std::filesystem::exists(stopped));
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 4u) << "the database with its two companions, and wide.pdf";
}

TEST_F(QtPrinter, AFormPrintsAsItShows) {
  GridWindow shown(dir / "orders.db", "Orders");
  const Object printer(frame::createObject(qt::kPrinterProgId));
  const std::filesystem::path pdf = dir / "form.pdf";
  EXPECT_EQ(toInt32(printer.call(u"PrintFile", objectOf(*shown.form.get()).get(), pathText(pdf))), 0);
  const std::string text = run("pdftotext '" + pdf.string() + "' -");
  EXPECT_NE(text.find("Order list"), std::string::npos) << text;
  EXPECT_NE(run("pdfinfo '" + pdf.string() + "'").find("842 x 595"), std::string::npos) << "wider than tall";
  // The picture of the form is on the page: its image is there.
  EXPECT_NE(run("pdfimages -list '" + pdf.string() + "'").find("image"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::testing
