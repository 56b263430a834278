// The Qt host's entry points: the form factory that makes real windows and
// widgets, and the wrapping of a window designed in Qt Designer.
#include "WidgetState.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/qt/DataControl.h>
#include <tarnwick/qt/LookupCombo.h>
#include <tarnwick/qt/Printer.h>
#include <tarnwick/qt/QtHost.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QPointer>
#include <QUiLoader>
#include <QXmlStreamReader>

#include <algorithm>
#include <initializer_list>
#include <map>

namespace tarnwick::qt {

using host::ControlKind;

namespace {

// --- the form factory --------------------------------------------------------------

class QtFormFactory final : public host::FormFactory {
 public:
  std::unique_ptr<host::ControlState> formState(std::u16string_view name) override {
    impl::requireApplication();
    auto* window = new QWidget;
    window->setObjectName(impl::qtext(name));
    return impl::makeWindowState(window, false, true);
  }
  std::unique_ptr<host::ControlState> controlState(host::Form& form, ControlKind kind, std::u16string_view name,
                                                   std::optional<std::int16_t> index, host::Control* container) override {
    QWidget* parent = container ? qobject_cast<QWidget*>(widgetOf(*container)) : nullptr;
    if (!parent) parent = windowOf(form);
    if (!parent || !impl::hasApplication()) return host::makeStoredState();  // the window is gone: the control keeps its values only
    QObject* widget = impl::makeWidget(kind, parent);
    widget->setObjectName(impl::qtext(name));
    if (index) widget->setProperty("Index", static_cast<int>(*index));
    return impl::makeWidgetState(kind, widget, false);
  }
  // Qt Designer files (.ui), for callers that load forms by name.
  ComPtr<host::Form> loadDesigned(const std::filesystem::path& path) override {
    if (path.extension() != ".ui") return {};
    return loadUiForm(path);
  }
};

// --- recognising a designed window's widgets ------------------------------------------

// The kind of control a widget stands for, the most derived class first.
std::optional<ControlKind> kindOf(QObject* object) {
  if (qobject_cast<DataControl*>(object)) return ControlKind::Data;
  if (qobject_cast<LookupCombo*>(object)) return ControlKind::DBCombo;
  if (qobject_cast<QComboBox*>(object)) return ControlKind::ComboBox;
  if (qobject_cast<QLineEdit*>(object) || qobject_cast<QPlainTextEdit*>(object)) return ControlKind::TextBox;
  if (qobject_cast<QCheckBox*>(object)) return ControlKind::CheckBox;
  if (qobject_cast<QLabel*>(object)) return ControlKind::Label;
  if (qobject_cast<QPushButton*>(object) || qobject_cast<QToolButton*>(object)) return ControlKind::CommandButton;
  if (qobject_cast<QGroupBox*>(object)) return ControlKind::Frame;
  if (qobject_cast<QTableWidget*>(object)) return ControlKind::MSFlexGrid;
  if (qobject_cast<QTableView*>(object)) return ControlKind::DBGrid;
  if (qobject_cast<QListWidget*>(object)) return ControlKind::ListBox;
  if (qobject_cast<QTabBar*>(object) || qobject_cast<QTabWidget*>(object)) return ControlKind::TabStrip;
  if (qobject_cast<QMenu*>(object) || qobject_cast<QAction*>(object)) return ControlKind::Menu;
  if (object->metaObject() == &QFrame::staticMetaObject) return ControlKind::Panel;
  return std::nullopt;
}

bool isContainer(ControlKind kind) { return kind == ControlKind::Frame || kind == ControlKind::Panel; }

// An error about one widget of a designed window, naming it.
Error widgetError(std::int32_t number, std::u16string_view widget, std::u16string_view what) {
  std::u16string text = u"widget '";
  text += widget;
  text += u"': ";
  text += what;
  return Error(number, std::move(text));
}

// A name and index for a widget: its objectName, and its "Index" property;
// "txtField_2" with Index 2 is element 2 of txtField.
std::optional<std::pair<std::u16string, std::optional<std::int16_t>>> controlName(QObject* object) {
  QString name = object->objectName();
  if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) return std::nullopt;
  std::optional<std::int16_t> index;
  const QVariant i = object->property("Index");
  if (i.isValid()) {
    bool ok = false;
    const int n = i.toInt(&ok);
    if (!ok || n < 0 || n > 32767) {
      raise(widgetError(errc::InvalidPropertyValue, impl::utext(name), u"Index must be a number from 0 to 32767"));
    }
    index = static_cast<std::int16_t>(n);
    const QString suffix = QStringLiteral("_%1").arg(n);
    if (name.endsWith(suffix) && name.size() > suffix.size()) name.chop(suffix.size());
  }
  return std::make_pair(impl::utext(name), index);
}

class Wrapper {
 public:
  explicit Wrapper(host::Form& form) : form_(form) {}

  void visit(QObject* parent, host::Control* container) {
    for (QObject* child : parent->children()) {
      if (!child->isWidgetType() && !qobject_cast<QAction*>(child)) continue;
      const std::optional<ControlKind> kind = kindOf(child);
      const auto name = kind ? controlName(child) : std::nullopt;
      if (kind && !child->isWidgetType()) {
        // Actions of a menu are named in the .ui file; a menu's own action is not.
        if (name) place(ControlKind::Menu, child, *name, container);
        continue;
      }
      if (kind) {
        host::Control* placed = name ? &place(*kind, child, *name, container) : nullptr;
        // Frames and panels hold controls, a tab widget holds pages of them;
        // the other controls' children are their own parts (a tab bar's
        // scroll buttons, a combo box's line edit).
        if (placed && isContainer(*kind)) visit(child, placed);
        else if (qobject_cast<QTabWidget*>(child) || qobject_cast<QMenu*>(child)) visit(child, container);
        continue;
      }
      if (child->isWidgetType()) visit(child, container);  // layouts' helpers, central widgets, pages
    }
  }

  // The "DataSource" properties name data controls of the form; they are
  // bound once every control is placed.
  void bindDataSources() {
    for (const auto& [control, source] : sources_) {
      host::Control* data = form_.find(source);
      if (!data || data->kind() != ControlKind::Data) {
        std::u16string what = u"DataSource '";
        what += source;
        what += u"' is no data control of the form";
        raise(widgetError(errc::InvalidPropertyValue, control->name(), what));
      }
      Object(static_cast<IDispatch*>(control)).putRef(u"DataSource", Variant(static_cast<IDispatch*>(data)));
    }
  }

 private:
  host::Control& place(ControlKind kind, QObject* widget,
                       const std::pair<std::u16string, std::optional<std::int16_t>>& name, host::Control* container) {
    host::Control* added = nullptr;
    try {
      added = &form_.add(kind, name.first, name.second, container, impl::makeWidgetState(kind, widget, true));
    } catch (const Error& e) {
      // Two controls of one name and Index clash as two of one name do.
      if (e.number() == errc::ObjectAlreadyLoaded)
        raise(widgetError(errc::InvalidProcedureCall, impl::utext(widget->objectName()),
                          u"a control of this name and Index is placed already"));
      raise(widgetError(e.number(), impl::utext(widget->objectName()), e.description()));
    }
    if (const QVariant source = widget->property("DataSource"); source.isValid() && !source.toString().isEmpty())
      sources_.emplace_back(added, impl::utext(source.toString()));
    return *added;
  }

  host::Form& form_;
  std::vector<std::pair<host::Control*, std::u16string>> sources_;
};

// The loader knows the host's own widgets by their class names, with or without the namespace.
class Loader final : public QUiLoader {
 public:
  QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
    QWidget* widget = nullptr;
    if (className == QLatin1String("DataControl") || className == QLatin1String("tarnwick::qt::DataControl"))
      widget = new DataControl(parent);
    else if (className == QLatin1String("LookupCombo") || className == QLatin1String("tarnwick::qt::LookupCombo"))
      widget = new LookupCombo(parent);
    else
      return QUiLoader::createWidget(className, parent, name);
    widget->setObjectName(name);
    return widget;
  }
};

// An error about a line of a Designer file; the text comes in pieces.
[[noreturn]] void lineError(std::int32_t number, qint64 line, std::initializer_list<std::u16string_view> what) {
  std::u16string text = u"line ";
  text += fromUtf8(std::to_string(line));
  text += u": ";
  for (std::u16string_view piece : what) text += piece;
  raise(Error(number, std::move(text)));
}

std::u16string number(std::size_t n) { return fromUtf8(std::to_string(n)); }

// A Designer file is checked before the loader builds anything, for what
// the loader would follow without end: it descends into elements of any
// depth (its recursion runs out of stack), makes any number of widgets and
// keeps texts of any length. The file's own lines name what is refused:
// - elements (of any kind: layouts, items, properties) nest at most
//   kDeepestElement deep, and widgets as controls may in a description
//   (the window's own widget is depth 0);
// - a form holds at most host::kMostFormControls widgets and actions
//   besides its window, and a text at most host::kLongestFormText characters;
// - an "Index" is a whole number from 0 to 32767, written as a number or a
//   string (the loader would turn "x" into 0 and 2.5 into 3);
// - no two widgets or actions share a name and an Index (or both have none),
//   the name taken without its "_<Index>" ending as the form takes it.
// Malformed XML is the loader's to report.
class DesignerCheck {
 public:
  // Three elements for each level of controls nested through layouts
  // (<layout>, <item>, <widget>), with room for properties and pages.
  static constexpr std::size_t kDeepestElement = 512;

  explicit DesignerCheck(const QByteArray& xml) : reader_(xml) {}

  void run() {
    while (!reader_.atEnd()) {
      switch (reader_.readNext()) {
        case QXmlStreamReader::StartElement: start(); break;
        case QXmlStreamReader::EndElement: end(); break;
        case QXmlStreamReader::Characters: characters(); break;
        default: break;
      }
    }
  }

 private:
  // A widget or action whose element is open.
  struct Named {
    QString name;
    qint64 line;
    std::optional<int> index;
  };

  qint64 line() const { return reader_.lineNumber(); }
  bool opened(QLatin1String name) const { return reader_.name() == name; }

  void start() {
    const bool inNamed = !elements_.empty() && (elements_.back() == u"widget" || elements_.back() == u"action");
    elements_.push_back(reader_.name().toString());
    run_ = 0;
    if (elements_.size() > kDeepestElement)
      lineError(errc::InvalidProcedureCall, line(), {u"elements nest at most ", number(kDeepestElement), u" deep"});
    if (value_ && elements_.size() == *value_ + 1) valueWellFormed_ = false;  // the Index's value has parts
    if (indexProperty_ && elements_.size() == *indexProperty_ + 1) {
      value_ = elements_.size();
      valueKind_ = elements_.back();
      valueText_.clear();
      valueWellFormed_ = true;
    }
    const bool widget = opened(QLatin1String("widget"));
    if (widget && ++widgetDepth_ > host::kDeepestControlNesting + 1)
      lineError(errc::InvalidProcedureCall, line(),
                {u"controls nest at most ", number(host::kDeepestControlNesting), u" deep"});
    if (widget || opened(QLatin1String("action"))) {
      if (++controls_ > host::kMostFormControls + 1)  // the window's own widget is no control
        lineError(errc::InvalidProcedureCall, line(),
                  {u"a form holds at most ", number(host::kMostFormControls), u" widgets and actions"});
      named_.push_back(Named{reader_.attributes().value(QLatin1String("name")).toString(), line(), std::nullopt});
    }
    if (inNamed && opened(QLatin1String("property")) &&
        reader_.attributes().value(QLatin1String("name")) == QLatin1String("Index"))
      indexProperty_ = elements_.size();
  }

  void end() {
    run_ = 0;
    if (value_ && elements_.size() == *value_) index();
    if (indexProperty_ && elements_.size() == *indexProperty_) indexProperty_.reset();
    if (opened(QLatin1String("widget")) && widgetDepth_ > 0) --widgetDepth_;
    if ((opened(QLatin1String("widget")) || opened(QLatin1String("action"))) && !named_.empty()) {
      place(named_.back());
      named_.pop_back();
    }
    if (!elements_.empty()) elements_.pop_back();
  }

  void characters() {
    run_ += static_cast<std::size_t>(reader_.text().size());
    if (run_ > host::kLongestFormText)
      lineError(errc::InvalidProcedureCall, line(),
                {u"a text holds at most ", number(host::kLongestFormText), u" characters"});
    if (value_ && valueWellFormed_) valueText_ += reader_.text();
  }

  // The value of an Index property has ended.
  void index() {
    value_.reset();
    if (named_.empty()) return;
    Named& owner = named_.back();
    const QString digits = valueText_.trimmed();
    bool ok = valueWellFormed_ && !digits.isEmpty() &&
              (valueKind_ == u"number" || valueKind_ == u"string" || valueKind_ == u"cstring") &&
              std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const int n = ok ? digits.toInt(&ok) : 0;
    if (!ok || n > 32767)
      lineError(errc::InvalidPropertyValue, line(),
                {u"widget '", impl::utext(owner.name), u"': Index must be a whole number from 0 to 32767"});
    owner.index = n;
  }

  // A widget or action has ended: its name and Index are taken.
  void place(const Named& widget) {
    if (widget.name.isEmpty() || widget.name.startsWith(QLatin1String("qt_"))) return;
    QString key = widget.name;
    if (widget.index) {
      const QString suffix = QStringLiteral("_%1").arg(*widget.index);
      if (key.endsWith(suffix) && key.size() > suffix.size()) key.chop(suffix.size());
      key += QStringLiteral("(%1)").arg(*widget.index);
    }
    const auto [at, added] = placed_.try_emplace(key.toUpper(), widget.line);
    if (!added)
      lineError(errc::InvalidProcedureCall, widget.line,
                {u"widget '", impl::utext(widget.name), u"': the widget on line ", fromUtf8(std::to_string(at->second)),
                 u" has the same name and Index"});
  }

  QXmlStreamReader reader_;
  std::vector<QString> elements_;  // the open elements, outermost first
  std::size_t run_ = 0;            // characters of the text since the last tag
  std::size_t widgetDepth_ = 0;    // open <widget> elements, the window's included
  std::size_t controls_ = 0;       // <widget> and <action> elements so far
  std::vector<Named> named_;
  std::map<QString, qint64> placed_;  // upper-case name and Index -> line
  std::optional<std::size_t> indexProperty_;  // depth of an open Index property
  std::optional<std::size_t> value_;          // depth of its open value
  QString valueKind_;
  QString valueText_;
  bool valueWellFormed_ = true;
};

std::shared_ptr<QtFormFactory> factory() {
  static const auto f = std::make_shared<QtFormFactory>();
  return f;
}

// `folder`: where a data control's relative DatabaseName is found (the .ui file's folder).
ComPtr<host::Form> wrap(QWidget& window, bool owned, const std::filesystem::path& folder = {}) {
  const std::u16string name = impl::utext(window.objectName());
  ComPtr<host::Form> form = host::Form::create(name, impl::makeWindowState(&window, true, owned), factory());
  form->setDesignMode(true);
  Wrapper wrapper(*form.get());
  wrapper.visit(&window, nullptr);
  if (!folder.empty())
    for (const ComPtr<host::Control>& c : form->controls()) {
      if (c->kind() != ControlKind::Data) continue;
      const std::filesystem::path file(toUtf8(toText(c->state().get(host::Property::DatabaseName))));
      if (!file.empty() && file.is_relative()) c->store(host::Property::DatabaseName, Variant(fromUtf8((folder / file).string())));
    }
  wrapper.bindDataSources();
  form->setDesignMode(false);
  // Data grids show their records once their data controls can open them.
  for (const ComPtr<host::Control>& c : form->controls())
    if (c->kind() == ControlKind::DBGrid && c->state().get(host::Property::DataSource).valueType() == VT_DISPATCH) {
      try {
        Object(static_cast<IDispatch*>(c.get())).call(u"Refresh");
      } catch (const Error&) {
        // A data control that cannot open its records yet leaves the grid empty.
      }
    }
  return form;
}

}  // namespace

void installForms() {
  impl::requireApplication();
  host::setFormFactory(factory());
}

void installHost() {
  installForms();
  installServices();
  installPrinter();
}

ComPtr<host::Form> wrapForm(QWidget& window) {
  impl::requireApplication();
  return wrap(window, false);
}

ComPtr<host::Form> loadUiForm(const std::filesystem::path& path, QWidget* parent) {
  impl::requireApplication();
  const std::string bytes = host::readFormFile(path);
  QByteArray xml = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
  DesignerCheck(xml).run();
  QBuffer buffer(&xml);
  buffer.open(QIODevice::ReadOnly);
  Loader loader;
  loader.setWorkingDirectory(QDir(QString::fromStdString(path.parent_path().string())));
  QWidget* window = loader.load(&buffer, parent);
  if (!window) {
    std::u16string text = u"'";
    text += fromUtf8(path.string());
    text += u"' is no form: ";
    text += impl::utext(loader.errorString());
    raise(Error(errc::PathFileAccessError, std::move(text)));
  }
  // A form that fails to wrap has deleted the window it owned already.
  const QPointer<QWidget> made(window);
  std::error_code ec;
  try {
    return wrap(*window, parent == nullptr, std::filesystem::absolute(path, ec).parent_path());
  } catch (...) {
    if (!parent) delete made.data();
    throw;
  }
}

QWidget* windowOf(host::Form& form) {
  auto* state = dynamic_cast<impl::WidgetState*>(&form.state());
  return state ? state->widget() : nullptr;
}

QObject* widgetOf(host::Control& control) {
  auto* state = dynamic_cast<impl::WidgetState*>(&control.state());
  return state ? state->object() : nullptr;
}

}  // namespace tarnwick::qt
