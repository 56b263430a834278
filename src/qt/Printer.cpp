#include <tarnwick/qt/Printer.h>

#include "WidgetState.h"

#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/ErrorCatalogue.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/ClassCatalogue.h>
#include <tarnwick/frame/FileIo.h>
#include <tarnwick/frame/Progress.h>
#include <tarnwick/frame/TableSource.h>
#include <tarnwick/frame/TextFile.h>
#include <tarnwick/host/Form.h>
#include <tarnwick/qt/QtHost.h>

#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QWidget>

#include <algorithm>
#include <cerrno>

namespace tarnwick::qt {

namespace {

using impl::qtext;

// A list laid out on pages: columns scaled to the page's width, a header
// (title and captions) at the top of every page and the page's number at
// its foot. Rows are drawn as they are read; a page is finished when the
// next row no longer fits.
class ListPages {
 public:
  ListPages(QPagedPaintDevice& device, frame::TableSource& source, QString title, frame::CellFormats formats)
      : device_(device), source_(source), title_(std::move(title)), formats_(std::move(formats)) {}

  std::int32_t print() {
    chooseOrientation();
    QPainter painter;
    if (!painter.begin(&device_)) raise(Error(errc::DeviceIOError).noted(u"the printer could not begin a page"));
    painter_ = &painter;
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    layOut();
    startPage();
    frame::WorkProgress progress(u"Printing records", source_.total());
    std::int32_t rows = 0;
    std::u16string text;
    while (source_.next()) {
      progress.next();
      if (y_ + rowHeight_ > bottom_) {
        finishPage();
        device_.newPage();
        startPage();
      }
      for (std::size_t c = 0; c < widths_.size(); ++c) {
        text.clear();
        frame::appendCellText(text, source_.cell(c), formats_);
        const QRectF cell(x_[c] + pad_, y_, widths_[c] - 2 * pad_, rowHeight_);
        const bool number = source_.columns()[c].kind == frame::CellKind::Number;
        const QString shown = painter.fontMetrics().elidedText(qtext(text), Qt::ElideRight, static_cast<int>(cell.width()));
        painter.drawText(cell, static_cast<int>((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter), shown);
      }
      y_ += rowHeight_;
      ++rows;
    }
    finishPage();
    painter.end();
    return rows;
  }

 private:
  // Space either side of a cell's text, in points.
  static constexpr double kPad = 4;

  // Column widths in points: the source's (twips are twentieths of a
  // point) where it gives them.
  std::vector<double> naturalWidths() const {
    const QFontMetricsF metrics(QFont(QStringLiteral("DejaVu Sans"), 9));
    std::vector<double> widths;
    for (const frame::SourceColumn& column : source_.columns()) {
      // Never narrower than its caption or ten characters: rows are printed
      // as they are read, so their longest text is not known beforehand.
      const double least =
          std::max(metrics.horizontalAdvance(qtext(column.caption)), metrics.averageCharWidth() * 10) + 2 * kPad;
      widths.push_back(std::max(column.width / 20.0, least));
    }
    return widths;
  }

  void chooseOrientation() {
    const std::vector<double> widths = naturalWidths();
    double total = 0;
    for (const double w : widths) total += w;
    QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                       QPageLayout::Millimeter);
    if (total > layout.paintRect(QPageLayout::Point).width()) layout.setOrientation(QPageLayout::Landscape);
    device_.setPageLayout(layout);
  }

  void layOut() {
    // Painter units are the device's pixels; lengths above are in points.
    const double perPoint = device_.logicalDpiX() / 72.0;
    const QRectF page = device_.pageLayout().paintRectPixels(device_.logicalDpiX());
    pageWidth_ = page.width();
    bottom_ = page.height() - 2 * painter_->fontMetrics().height();
    std::vector<double> widths = naturalWidths();
    double total = 0;
    for (double& w : widths) total += (w *= perPoint);
    // Too wide: every column narrower alike; room to spare: the last column
    // takes it, where a long text has the most to show.
    const double scale = total > pageWidth_ ? pageWidth_ / total : 1.0;
    if (scale == 1.0 && !widths.empty()) widths.back() += pageWidth_ - total;
    double x = 0;
    for (const double w : widths) {
      x_.push_back(x);
      widths_.push_back(w * scale);
      x += w * scale;
    }
    pad_ = kPad * perPoint;
    rowHeight_ = painter_->fontMetrics().height() * 1.3;
  }

  void startPage() {
    ++page_;
    QPainter& p = *painter_;
    y_ = 0;
    QFont bold = p.font();
    bold.setBold(true);
    const QFont plain = p.font();
    if (!title_.isEmpty()) {
      QFont big = bold;
      big.setPointSizeF(plain.pointSizeF() * 1.4);
      p.setFont(big);
      p.drawText(QRectF(0, 0, pageWidth_, p.fontMetrics().height() * 1.4), Qt::AlignLeft | Qt::AlignVCenter, title_);
      y_ += p.fontMetrics().height() * 1.6;
    }
    p.setFont(bold);
    for (std::size_t c = 0; c < widths_.size(); ++c) {
      const QRectF cell(x_[c] + pad_, y_, widths_[c] - 2 * pad_, rowHeight_);
      const bool number = source_.columns()[c].kind == frame::CellKind::Number;
      p.drawText(cell, static_cast<int>((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter),
                 p.fontMetrics().elidedText(qtext(source_.columns()[c].caption), Qt::ElideRight,
                                            static_cast<int>(cell.width())));
    }
    y_ += rowHeight_;
    p.drawLine(QPointF(0, y_), QPointF(x_.empty() ? 0 : x_.back() + widths_.back(), y_));
    p.setFont(plain);
  }

  void finishPage() {
    QPainter& p = *painter_;
    const double h = p.fontMetrics().height();
    p.drawText(QRectF(0, bottom_ + h * 0.5, pageWidth_, h), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("Page %1").arg(page_));
  }

  QPagedPaintDevice& device_;
  frame::TableSource& source_;
  QString title_;
  frame::CellFormats formats_;
  QPainter* painter_ = nullptr;
  std::vector<double> x_, widths_;
  double pageWidth_ = 0, bottom_ = 0, rowHeight_ = 0, y_ = 0, pad_ = 0;
  int page_ = 0;
};

// A form as it shows, scaled to fit the page under its title.
void printForm(QPagedPaintDevice& device, QWidget& window, const QString& title) {
  const QPixmap picture = window.grab();
  QPageLayout layout(QPageSize(QPageSize::A4),
                     picture.width() > picture.height() ? QPageLayout::Landscape : QPageLayout::Portrait,
                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
  device.setPageLayout(layout);
  QPainter p;
  if (!p.begin(&device)) raise(Error(errc::DeviceIOError).noted(u"the printer could not begin a page"));
  const QRectF page = layout.paintRectPixels(device.logicalDpiX());
  double top = 0;
  const QString shown = title.isEmpty() ? window.windowTitle() : title;
  if (!shown.isEmpty()) {
    QFont big(QStringLiteral("DejaVu Sans"), 13);
    big.setBold(true);
    p.setFont(big);
    p.drawText(QRectF(0, 0, page.width(), p.fontMetrics().height() * 1.4), Qt::AlignLeft | Qt::AlignVCenter, shown);
    top = p.fontMetrics().height() * 1.8;
  }
  const QSizeF room(page.width(), page.height() - top);
  const QSizeF size = QSizeF(picture.size()).scaled(room, Qt::KeepAspectRatio);
  p.drawPixmap(QRectF(QPointF(0, top), size), picture, QRectF(picture.rect()));
  p.end();
}

// The Qt window of a form object, or null when `source` is no form of the Qt host.
QWidget* formWindow(const Object& source) {
  if (source.typeName() != u"Form") return nullptr;
  auto* form = dynamic_cast<host::Form*>(source.get());
  return form ? windowOf(*form) : nullptr;
}

std::int32_t printTo(QPagedPaintDevice& device, const Object& source, const QString& title, bool selectedOnly,
                     const frame::CellFormats& formats) {
  if (QWidget* window = formWindow(source)) {
    printForm(device, *window, title);
    return 0;
  }
  const std::unique_ptr<frame::TableSource> table = frame::tableSource(source, selectedOnly);
  return ListPages(device, *table, title, formats).print();
}

std::u16string fileNote(const std::u16string& name) { return u"file " + quotedName(name); }

std::int32_t printFile(const Object& source, const std::u16string& fileName, const QString& title, bool selectedOnly,
                       const frame::CellFormats& formats) {
  impl::requireApplication();
  // Declared first, so that the writer and its file are gone before a
  // failure removes the temporary file.
  frame::impl::ReplacementFile target;
  if (const int error = target.open(toUtf8(fileName)); error != 0)
    raise(Error(frame::fileError(error)).noted(fileNote(fileName)));
  std::int32_t rows = 0;
  {
    QFile out;
    if (!out.open(target.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
      raise(Error(errc::DeviceIOError).noted(fileNote(fileName)));
    QPdfWriter writer(&out);
    writer.setResolution(300);
    writer.setCreator(QStringLiteral("Tarnwick"));
    writer.setTitle(title);
    rows = printTo(writer, source, title, selectedOnly, formats);
    out.flush();
    if (out.error() != QFileDevice::NoError) raise(Error(frame::fileError(ENOSPC)).noted(fileNote(fileName)));
  }
  if (const int error = target.commit(); error != 0) raise(Error(frame::fileError(error)).noted(fileNote(fileName)));
  return rows;
}

class Printer final : public AutomationObject<Printer> {
 public:
  static std::u16string_view typeName() { return u"Printer"; }
  static std::span<const Member<Printer>> members();
};

frame::CellFormats formatsOf(Call& call, std::size_t first) {
  frame::CellFormats formats;
  if (call.has(first)) formats.isoDates = call.flag(first);
  if (call.has(first + 1)) formats.datePattern = call.text(first + 1);
  return formats;
}

const Member<Printer> kMembers[] = {
    {u"PrintFile", 1, kMethod, [](Printer&, Call& call) {
       call.expect(2, 6);
       const Object source(call.object(0));
       const std::u16string file = call.text(1);
       const QString title = call.has(2) ? qtext(call.text(2)) : QString();
       const bool selectedOnly = call.has(3) && call.flag(3);
       call.setResult(Variant(printFile(source, file, title, selectedOnly, formatsOf(call, 4))));
     }},
    {u"PrintDialog", 2, kMethod, [](Printer&, Call& call) {
       call.expect(1, 3);
       impl::requireApplication();
       const Object source(call.object(0));
       const QString title = call.has(1) ? qtext(call.text(1)) : QString();
       const bool selectedOnly = call.has(2) && call.flag(2);
       QPrinter printer(QPrinter::HighResolution);
       printer.setDocName(title);
       QPrintDialog dialog(&printer);
       if (dialog.exec() != QDialog::Accepted) {
         call.setResult(Variant(std::int32_t{0}));
         return;
       }
       call.setResult(Variant(printTo(printer, source, title, selectedOnly, frame::CellFormats())));
     }},
};

}  // namespace

std::span<const Member<Printer>> Printer::members() { return kMembers; }

void installPrinter() {
  frame::registerInProcessClass(kPrinterClassId, std::u16string(kPrinterProgId), &frame::createAndQuery<Printer>);
}

}  // namespace tarnwick::qt
