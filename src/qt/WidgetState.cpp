#include "WidgetState.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/qt/QtHost.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <map>
#include <mutex>

namespace tarnwick::qt::impl {

QString qtext(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
std::u16string utext(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}
QString qtextOf(const Variant& value) {
  const Variant v = value.value();
  return v.isEmpty() || v.isNull() ? QString() : qtext(toText(v));
}

bool hasApplication() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }
void requireApplication() {
  if (!hasApplication()) raise(Error(errc::InvalidProcedureCall, u"The Qt host needs a QApplication"));
}

double twipsToPixels(double twips, bool horizontal) {
  return twips / (horizontal ? twipsPerPixelX() : twipsPerPixelY());
}
double pixelsToTwips(double pixels, bool horizontal) {
  return pixels * (horizontal ? twipsPerPixelX() : twipsPerPixelY());
}

namespace {

std::mutex& windowsLock() {
  static std::mutex m;
  return m;
}
std::map<std::int32_t, QPointer<QWidget>>& windows() {
  static std::map<std::int32_t, QPointer<QWidget>> w;
  return w;
}

// The dynamic properties a Qt Designer user sets on a widget.
const char* dynamicName(Property p) {
  switch (p) {
    case Property::Tag: return "Tag";
    case Property::DataField: return "DataField";
    default: return nullptr;
  }
}

bool isGeometry(Property p) {
  return p == Property::Left || p == Property::Top || p == Property::Width || p == Property::Height;
}

}  // namespace

void registerWindow(std::int32_t handle, QWidget* window) {
  std::lock_guard guard(windowsLock());
  auto& w = windows();
  for (auto it = w.begin(); it != w.end();) it = it->second ? std::next(it) : w.erase(it);
  w[handle] = window;
}

QWidget* windowOfHandle(std::int32_t handle) {
  std::lock_guard guard(windowsLock());
  const auto it = windows().find(handle);
  return it == windows().end() ? nullptr : it->second.data();
}

WidgetState::WidgetState(QObject* object, bool designed)
    : store_(host::makeStoredState()), object_(object), designed_(designed) {}

void WidgetState::showStored() {
  for (std::size_t i = 0; i < host::kPropertyCount; ++i) {
    const auto p = static_cast<Property>(i);
    const Variant v = store_->get(p);
    if (!v.isEmpty()) write(p, v);
  }
}

WidgetState::~WidgetState() {
  for (const auto& c : connections_) QObject::disconnect(c);
}

Variant WidgetState::get(Property p) const {
  if (live() && reporting_ == 0)
    if (std::optional<Variant> shown = read(p)) return std::move(*shown);
  return store_->get(p);
}

void WidgetState::set(Property p, const Variant& value) {
  store_->set(p, value);
  show([&] { write(p, value); });
}

std::optional<Variant> WidgetState::read(Property p) const {
  const QWidget* w = widget();
  if (!w) return std::nullopt;
  if (isGeometry(p)) {
    // A value in twips stays as it was set while the widget stands where it
    // put it; once a layout or the user moved the widget, the widget wins.
    const bool horizontal = p == Property::Left || p == Property::Width;
    const int shown = p == Property::Left ? w->x() : p == Property::Top ? w->y() : p == Property::Width ? w->width()
                                                                                                        : w->height();
    const Variant stored = store_->get(p);
    if (!stored.isEmpty() && static_cast<int>(std::lround(twipsToPixels(toDouble(stored), horizontal))) == shown)
      return std::nullopt;
    return Variant(static_cast<float>(pixelsToTwips(shown, horizontal)));
  }
  switch (p) {
    case Property::Visible: return Variant(!w->isHidden());
    case Property::Enabled: return Variant(!w->testAttribute(Qt::WA_Disabled));
    default: return std::nullopt;
  }
}

void WidgetState::write(Property p, const Variant& value) {
  if (const char* name = dynamicName(p)) {
    object_->setProperty(name, qtextOf(value));
    return;
  }
  QWidget* w = widget();
  if (!w) return;
  if (isGeometry(p)) {
    const bool horizontal = p == Property::Left || p == Property::Width;
    const int px = static_cast<int>(std::lround(twipsToPixels(toDouble(value), horizontal)));
    switch (p) {
      case Property::Left: w->move(px, w->y()); break;
      case Property::Top: w->move(w->x(), px); break;
      case Property::Width: w->resize(px, w->height()); break;
      default: w->resize(w->width(), px); break;
    }
    return;
  }
  switch (p) {
    case Property::Visible: w->setVisible(toBool(value)); break;
    case Property::Enabled: w->setEnabled(toBool(value)); break;
    case Property::ToolTipText: w->setToolTip(qtextOf(value)); break;
    default: break;
  }
}

void WidgetState::adopt() {
  for (Property p : {Property::Tag, Property::DataField}) {
    const QVariant v = object_->property(dynamicName(p));
    if (v.isValid()) store_->set(p, Variant(utext(v.toString())));
  }
  QWidget* w = widget();
  if (!w) return;
  for (Property p : {Property::Left, Property::Top, Property::Width, Property::Height})
    if (std::optional<Variant> shown = read(p)) store_->set(p, *shown);
  store_->set(Property::Visible, Variant(!w->isHidden()));
  store_->set(Property::Enabled, Variant(!w->testAttribute(Qt::WA_Disabled)));
  store_->set(Property::ToolTipText, Variant(utext(w->toolTip())));
}

void WidgetState::attached(host::Control& owner) {
  owner_ = &owner;
  if (!object_) return;
  if (designed_) adopt();
  attached_ = true;
  // The widget shows what the store now holds (its own values, or the defaults).
  show([&] {
    if (!designed_) showStored();
    itemsChanged(Edit::Reset, 0);
    cellsChanged(Edit::Reset, 0, 0);
    columnsChanged();
  });
  listen();
}

void WidgetState::attached(host::Form& owner) {
  if (QWidget* w = widget()) registerWindow(owner.hWnd(), w);
  if (!object_) return;
  if (designed_) adopt();
  attached_ = true;
  show([&] {
    if (!designed_) showStored();
  });
  listen();
}

void WidgetState::userPut(std::u16string_view member, const Variant& value) {
  if (writing() || !owner_) return;
  Counting reporting(reporting_);
  try {
    Object(static_cast<IDispatch*>(owner_)).put(member, value);
  } catch (const std::exception&) {
    // Refused: the widget shows the stored value again.
    Writing w(*this);
    for (Property p : {Property::Text, Property::ListIndex, Property::Value, Property::Row, Property::Col})
      write(p, store_->get(p));
  }
}

void WidgetState::userStore(Property p, const Variant& value) {
  if (writing() || !owner_) return;
  Counting reporting(reporting_);
  owner_->store(p, value);
}

void WidgetState::setItem(std::size_t at, std::u16string text) {
  store_->setItem(at, std::move(text));
  show([&] { itemsChanged(Edit::Set, at); });
}
void WidgetState::insertItem(std::size_t at, std::u16string text) {
  store_->insertItem(at, std::move(text));
  show([&] { itemsChanged(Edit::Insert, at); });
}
void WidgetState::removeItem(std::size_t at) {
  store_->removeItem(at);
  show([&] { itemsChanged(Edit::Remove, at); });
}
void WidgetState::clearItems() {
  store_->clearItems();
  show([&] { itemsChanged(Edit::Reset, 0); });
}

void WidgetState::resize(std::size_t rows, std::size_t cols) {
  const std::size_t oldRows = store_->rows(), oldCols = store_->cols();
  store_->resize(rows, cols);
  show([&] { cellsChanged(Edit::Shape, oldRows, oldCols); });
}
void WidgetState::setCell(std::size_t row, std::size_t col, std::u16string text) {
  store_->setCell(row, col, std::move(text));
  show([&] { cellsChanged(Edit::Set, row, col); });
}
void WidgetState::insertRow(std::size_t at) {
  store_->insertRow(at);
  show([&] { cellsChanged(Edit::Insert, at, 0); });
}
void WidgetState::removeRow(std::size_t at) {
  store_->removeRow(at);
  show([&] { cellsChanged(Edit::Remove, at, 0); });
}
void WidgetState::setColWidth(std::size_t col, double width) {
  store_->setColWidth(col, width);
  show([&] { cellsChanged(Edit::Width, 0, col); });
}
void WidgetState::setRowHeight(std::size_t row, double height) {
  store_->setRowHeight(row, height);
  show([&] { cellsChanged(Edit::Height, row, 0); });
}

void WidgetState::setColumn(std::size_t at, host::GridColumn column) {
  store_->setColumn(at, std::move(column));
  show([&] { columnsChanged(); });
}
void WidgetState::insertColumn(std::size_t at, host::GridColumn column) {
  store_->insertColumn(at, std::move(column));
  show([&] { columnsChanged(); });
}
void WidgetState::clearColumns() {
  store_->clearColumns();
  show([&] { columnsChanged(); });
}

void WidgetState::focus() {
  if (QWidget* w = widget()) w->setFocus(Qt::OtherFocusReason);
}

void WidgetState::raise(bool toFront) {
  if (QWidget* w = widget()) {
    if (toFront) w->raise();
    else w->lower();
  }
}

}  // namespace tarnwick::qt::impl
