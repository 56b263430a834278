// Designer files become forms: every widget of a known class is a control
// of its kind with the members, type name and interface answers of that
// kind; Designer's dynamic properties carry Tag, DataField, DataSource and
// Index.
#include "QtTesting.h"
#include "../frame/FifoRelease.h"

#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/host/ControlKind.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/Services.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace tarnwick::testing {
namespace {

TEST(QtUiForm, EveryWidgetIsAControlOfItsKind) {
  const UiForm ui("controls.ui");
  const Object f = ui.object();
  ASSERT_NE(ui.window(), nullptr);
  EXPECT_NE(qobject_cast<QMainWindow*>(ui.window()), nullptr);
  EXPECT_EQ(f.typeName(), u"Form");
  EXPECT_EQ(toText(f.get(u"Name")), u"frmControls");  // the window's objectName
  EXPECT_EQ(toText(f.get(u"Caption")), u"Order entry");

  struct Expected {
    const char16_t* name;
    const char16_t* type;
  };
  const Expected controls[] = {
      {u"txtName", u"TextBox"},         {u"cboState", u"ComboBox"},      {u"cboCity", u"ComboBox"},
      {u"chkPaid", u"CheckBox"},        {u"lblName", u"Label"},          {u"cmdOK", u"CommandButton"},
      {u"fraBox", u"Frame"},            {u"txtInner", u"TextBox"},       {u"lstItems", u"ListBox"},
      {u"grdLines", u"MSFlexGrid"},     {u"grdOrders", u"DBGrid"},       {u"datOrders", u"Data"},
      {u"dbcCustomer", u"DBCombo"},     {u"tabPages", u"TabStrip"},      {u"mnuFile", u"Menu"},
      {u"mnuOpen", u"Menu"},            {u"mnuExit", u"Menu"},           {u"txtOnPage", u"TextBox"},
  };
  for (const auto& [name, type] : controls) {
    SCOPED_TRACE(toUtf8(name));
    Object c;
    try {
      c = controlOf(f, name);
    } catch (const Error& e) {
      ADD_FAILURE() << "no control: " << toUtf8(e.description());
      continue;
    }
    EXPECT_EQ(c.typeName(), type);
    EXPECT_EQ(toText(c.get(u"Name")), name);
    const std::u16string_view t = type;
    // The intrinsic interfaces: text boxes, combo boxes and check boxes each answer their own only.
    EXPECT_EQ(c.supports(host::IID_TextBoxControl), t == u"TextBox");
    EXPECT_EQ(c.supports(host::IID_ComboBoxControl), t == u"ComboBox");
    EXPECT_EQ(c.supports(host::IID_CheckBoxControl), t == u"CheckBox");
  }

  // Every control once, in the Controls collection; the widgets of Qt's own
  // making (central widget, tab pages, a tab bar and its scroll buttons, the
  // menu bar) are none.
  std::vector<std::u16string> names;
  for (const Object& c : frame::formControls(f)) names.push_back(toText(c.get(u"Name")));
  std::sort(names.begin(), names.end());
  std::vector<std::u16string> expected{u"txtField", u"txtField"};
  for (const auto& c : controls) expected.emplace_back(c.name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_EQ(toInt32(Object(f.get(u"Controls")).get(u"Count")), static_cast<std::int32_t>(expected.size()));

  // txtField_0 and txtField_1 with Index 0 and 1 make the control array txtField.
  const Object array = controlOf(f, u"txtField");
  EXPECT_EQ(frame::upperBound(array), 1);
  EXPECT_EQ(toInt32(array.get(u"Count")), 2);
  const Object second(f.get(u"txtField", {Variant(1)}));
  EXPECT_EQ(toText(second.get(u"Text")), u"second");
  EXPECT_EQ(toInt32(second.get(u"Index")), 1);
  EXPECT_EQ(toText(second.get(u"Name")), u"txtField");
  EXPECT_EQ(second.typeName(), u"TextBox");
  EXPECT_EQ(toText(frame::element(array, 0).get(u"Text")), u"first");
  EXPECT_EQ(testing::errorOf([&] { f.get(u"txtField", {Variant(2)}); }), errc::ControlArrayElementMissing);
  EXPECT_EQ(testing::errorOf([&] { f.get(u"txtField_1"); }), errc::MemberNotSupported);
  EXPECT_EQ(testing::errorOf([&] { controlOf(f, u"txtName").get(u"Index"); }), errc::NotAnArray);

  // Designer's dynamic properties.
  const Object name = controlOf(f, u"txtName");
  EXPECT_EQ(toText(name.get(u"Tag")), u"Orders.Name");
  EXPECT_EQ(toText(name.get(u"DataField")), u"Name");
  EXPECT_EQ(toText(frame::element(array, 0).get(u"Tag")), u"S=Orders([City])!Text;");
  EXPECT_EQ(toText(controlOf(f, u"dbcCustomer").get(u"Tag")), u"Orders.CustomerId");
  EXPECT_EQ(toText(controlOf(f, u"mnuOpen").get(u"Tag")), u"open");
  EXPECT_EQ(toText(controlOf(f, u"chkPaid").get(u"DataField")), u"Paid");
  // DataSource names a data control of the form and reads back as that control.
  EXPECT_EQ(Object(controlOf(f, u"chkPaid").get(u"DataSource")).get(), controlOf(f, u"datOrders").get());
  EXPECT_EQ(Object(controlOf(f, u"grdOrders").get(u"DataSource")).get(), controlOf(f, u"datOrders").get());

  // What the designer put into the widgets is what the members read.
  EXPECT_EQ(toText(name.value()), u"Smith");
  const Object state = controlOf(f, u"cboState");
  EXPECT_EQ(toInt32(state.get(u"Style")), 2);  // not editable: a drop-down list
  EXPECT_EQ(toInt32(state.get(u"ListCount")), 3);
  EXPECT_EQ(toText(state.get(u"List", {Variant(2)})), u"paid");
  EXPECT_EQ(toText(state.get(u"Text")), u"open");
  EXPECT_EQ(toInt32(state.get(u"ListIndex")), 0);
  EXPECT_EQ(toInt32(controlOf(f, u"cboCity").get(u"Style")), 0);  // editable: a drop-down combo
  EXPECT_EQ(toInt32(controlOf(f, u"chkPaid").get(u"Value")), 1);
  EXPECT_EQ(toText(controlOf(f, u"chkPaid").get(u"Caption")), u"Paid");
  EXPECT_EQ(toText(controlOf(f, u"lblName").get(u"Caption")), u"Name:");
  EXPECT_EQ(toText(controlOf(f, u"cmdOK").get(u"Caption")), u"OK");
  EXPECT_EQ(toText(controlOf(f, u"fraBox").get(u"Caption")), u"Options");
  EXPECT_EQ(toText(controlOf(f, u"datOrders").get(u"Caption")), u"Orders");
  EXPECT_EQ(toText(controlOf(f, u"mnuFile").get(u"Caption")), u"&File");  // a menu's title
  EXPECT_EQ(toText(controlOf(f, u"mnuOpen").get(u"Caption")), u"&Open");
  EXPECT_EQ(toInt32(controlOf(f, u"lstItems").get(u"ListCount")), 2);
  const Object tabs(controlOf(f, u"tabPages").get(u"Tabs"));
  EXPECT_EQ(toInt32(tabs.get(u"Count")), 2);
  EXPECT_EQ(toText(Object(tabs.call(u"Item", 1)).get(u"Caption")), u"General");
  EXPECT_EQ(toText(Object(tabs.call(u"Item", 2)).get(u"Caption")), u"Lines");
  // The pages keep the controls designed on them.
  auto* onPage = ui.widget<QLineEdit>("txtOnPage");
  ASSERT_NE(onPage, nullptr);
  EXPECT_EQ(onPage->parentWidget(), ui.widget<QTabWidget>("tabPages")->widget(1));
  controlOf(f, u"txtOnPage").put(u"Text", Variant(u"on the page"));
  EXPECT_EQ(onPage->text(), QStringLiteral("on the page"));
  // A group box contains the controls inside it.
  EXPECT_EQ(Object(controlOf(f, u"txtInner").get(u"Container")).get(), controlOf(f, u"fraBox").get());
  EXPECT_EQ(Object(controlOf(f, u"txtInner").get(u"Parent")).get(), f.get());

  // Designed sizes are the widgets' own, in twips.
  const auto tpp = qt::twipsPerPixelX();
  EXPECT_EQ(toDouble(name.get(u"Left")), 100.0 * tpp);
  EXPECT_EQ(toDouble(name.get(u"Width")), 200.0 * tpp);
  EXPECT_EQ(toDouble(name.get(u"Top")), 10.0 * qt::twipsPerPixelY());

  // Members a kind does not have are unknown, as on every host.
  EXPECT_EQ(testing::errorOf([&] { name.call(u"AddItem", u"x"); }), errc::MemberNotSupported);
  EXPECT_EQ(testing::errorOf([&] { name.get(u"Caption"); }), errc::MemberNotSupported);
  EXPECT_EQ(testing::errorOf([&] { controlOf(f, u"lblName").get(u"Text"); }), errc::MemberNotSupported);
  EXPECT_EQ(testing::errorOf([&] { controlOf(f, u"lstItems").get(u"TextMatrix", {Variant(0), Variant(0)}); }),
            errc::MemberNotSupported);
  EXPECT_EQ(testing::errorOf([&] { controlOf(f, u"grdLines").get(u"Columns"); }), errc::MemberNotSupported);
  EXPECT_EQ(testing::errorOf([&] { controlOf(f, u"mnuOpen").get(u"Width"); }), errc::MemberNotSupported);
  EXPECT_EQ(testing::errorOf([&] { controlOf(f, u"datOrders").get(u"Text"); }), errc::MemberNotSupported);
}

// The error number and description of a failed load.
std::pair<std::int32_t, std::u16string> loadFailure(const std::filesystem::path& path) {
  return failureOf([&] {
    const ComPtr<host::Form> form = qt::loadUiForm(path);
    delete qt::windowOf(*form.get());
  });
}

TEST(QtUiForm, FilesAndWindowsItCannotTake) {
  EXPECT_EQ(loadFailure(qtTestData("missing.ui")).first, errc::FileNotFound);
  // Not XML at all, and XML that names a widget class no one makes.
  for (const char* file : {"broken.ui", "unknownclass.ui"}) {
    SCOPED_TRACE(file);
    const auto [number, description] = loadFailure(qtTestData(file));
    EXPECT_EQ(number, errc::PathFileAccessError);
    EXPECT_NE(description.find(fromUtf8(file)), std::u16string::npos) << toUtf8(description);
  }
  // A folder is no form either.
  EXPECT_NE(loadFailure(qtTestData("")).first, 0);
  // A file that loads but whose widgets make no form: txtCity_0 with Index 0
  // belongs to the array txtCity, which the plain txtCity already holds. The
  // window the file made goes away with the failure.
  const auto [number, description] = loadFailure(qtTestData("clash.ui"));
  EXPECT_EQ(number, errc::InvalidProcedureCall);
  EXPECT_NE(description.find(u"txtCity"), std::u16string::npos) << toUtf8(description);
  // A grid whose DataSource names no data control of the form.
  const auto [sourceNumber, sourceDescription] = loadFailure(qtTestData("nosource.ui"));
  EXPECT_EQ(sourceNumber, errc::InvalidPropertyValue);
  EXPECT_NE(sourceDescription.find(u"datMissing"), std::u16string::npos) << toUtf8(sourceDescription);
  runDeferredDeletes();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    EXPECT_NE(w->objectName(), QStringLiteral("frmClash"));
    EXPECT_NE(w->objectName(), QStringLiteral("frmNoSource"));
  }

  // A window needs a name to be a form.
  {
    QWidget unnamed;
    EXPECT_EQ(testing::errorOf([&] { qt::wrapForm(unnamed); }), errc::InvalidPropertyValue);
  }
  // txtCity_0 with Index 0 belongs to the array txtCity, which a plain
  // txtCity already holds: the clash names the widget.
  QWidget window;
  window.setObjectName(QStringLiteral("frmClash"));
  auto* plain = new QLineEdit(&window);
  plain->setObjectName(QStringLiteral("txtCity"));
  auto* element = new QLineEdit(&window);
  element->setObjectName(QStringLiteral("txtCity_0"));
  element->setProperty("Index", 0);
  try {
    qt::wrapForm(window);
    ADD_FAILURE() << "two controls named txtCity made one form";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::InvalidProcedureCall);
    EXPECT_NE(e.description().find(u"txtCity"), std::u16string::npos) << toUtf8(e.description());
  }
  // The failed wrap left nothing listening to the widgets.
  QTest::keyClicks(element, QStringLiteral("Bonn"));
  EXPECT_EQ(element->text(), QStringLiteral("Bonn"));
  // Without the clash the same window is a form; a label becomes a Label.
  delete plain;
  auto* label = new QLabel(QStringLiteral("City:"), &window);
  label->setObjectName(QStringLiteral("lblCity"));
  const ComPtr<host::Form> form = qt::wrapForm(window);
  const Object f = objectOf(*form.get());
  EXPECT_EQ(toText(f.get(u"Name")), u"frmClash");
  EXPECT_EQ(qt::windowOf(*form.get()), &window);
  EXPECT_EQ(toInt32(Object(f.get(u"txtCity")).get(u"UBound")), 0);
  EXPECT_EQ(toText(Object(f.get(u"txtCity", {Variant(0)})).get(u"Text")), u"Bonn");
  EXPECT_EQ(controlOf(f, u"lblCity").typeName(), u"Label");
}

// Widgets nest at most as deep as a description's controls may: a deeper
// file fails at the line of the first widget too deep, before the loader
// makes any window, however deep it goes.
TEST(QtUiForm, RefusesDeepNesting) {
  const auto nested = [](std::size_t depth) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">\n <class>frmDeep</class>\n"
                       " <widget class=\"QWidget\" name=\"frmDeep\">\n";
    for (std::size_t i = 0; i < depth; ++i) text += "<widget class=\"QGroupBox\" name=\"fra" + std::to_string(i) + "\">\n";
    for (std::size_t i = 0; i < depth; ++i) text += "</widget>\n";
    return text + " </widget>\n</ui>\n";
  };
  const auto dir = std::filesystem::temp_directory_path() / ("tarnwick-deep-ui-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto write = [&](const char* name, std::size_t depth) {
    std::ofstream(dir / name, std::ios::binary) << nested(depth);
    return dir / name;
  };
  // The window's widget holds the first control; 100 nested frames load.
  {
    const ComPtr<host::Form> form = qt::loadUiForm(write("deepest.ui", host::kDeepestControlNesting));
    EXPECT_EQ(form->controls().size(), host::kDeepestControlNesting);
    const Object inner = controlOf(objectOf(*form.get()), u"fra99");
    EXPECT_EQ(toText(Object(inner.get(u"Container")).get(u"Name")), u"fra98");
    delete qt::windowOf(*form.get());
  }
  // The 101st frame opens on line 105.
  const auto tooDeep = std::make_pair(std::int32_t{errc::InvalidProcedureCall},
                                      std::u16string(u"line 105: controls nest at most 100 deep"));
  EXPECT_EQ(loadFailure(write("deeper.ui", host::kDeepestControlNesting + 1)), tooDeep);
  EXPECT_EQ(loadFailure(write("deepest-by-far.ui", 100000)), tooDeep);
  runDeferredDeletes();
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_NE(w->objectName(), QStringLiteral("frmDeep"));
  std::filesystem::remove_all(dir);
}

// A Designer file as the test writes it: the window frmTest, then `body`
// from line 5 on.
std::string designer(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">\n <class>frmTest</class>\n"
         " <widget class=\"QWidget\" name=\"frmTest\">\n" +
         body + " </widget>\n</ui>\n";
}

class DesignerFiles : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir_); }
  void TearDown() override {
    runDeferredDeletes();
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_NE(w->objectName(), QStringLiteral("frmTest"));
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path write(const char* name, const std::string& body) {
    std::ofstream(dir_ / name, std::ios::binary) << designer(body);
    return dir_ / name;
  }
  std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() / ("tarnwick-designer-" + std::to_string(::getpid()));
};

// What Qt's loader would follow without end is refused before it builds
// anything: elements of any kind nested deeper than 512 (layouts in layouts
// ran it out of stack), more widgets than a form holds controls, a text
// longer than a form's, a file larger than a form's. Only a regular file is
// read, and a FIFO never waits for a writer.
TEST_F(DesignerFiles, RefusesWhatTheLoaderWouldFollowWithoutEnd) {
  const auto failsWith = [](const std::filesystem::path& path, const char16_t* description) {
    EXPECT_EQ(loadFailure(path), std::make_pair(std::int32_t{errc::InvalidProcedureCall}, std::u16string(description)));
  };
  // The deepest controls a form may hold, each in a layout of its container's: three elements a level.
  std::string framed;
  for (std::size_t i = 0; i < host::kDeepestControlNesting; ++i)
    framed += "<layout class=\"QVBoxLayout\" name=\"lay" + std::to_string(i) +
              "\"><item><widget class=\"QGroupBox\" name=\"fra" + std::to_string(i) + "\">\n";
  for (std::size_t i = 0; i < host::kDeepestControlNesting; ++i) framed += "</widget></item></layout>\n";
  {
    const ComPtr<host::Form> form = qt::loadUiForm(write("framed.ui", framed));
    EXPECT_EQ(form->controls().size(), host::kDeepestControlNesting);
    delete qt::windowOf(*form.get());
  }
  // Layouts alone, one level a line: the 513th element is the layout on line 260.
  std::string layouts;
  for (int i = 0; i < 300; ++i) layouts += "<layout class=\"QVBoxLayout\" name=\"lay" + std::to_string(i) + "\"><item>\n";
  for (int i = 0; i < 300; ++i) layouts += "</item></layout>\n";
  failsWith(write("layouts.ui", layouts), u"line 260: elements nest at most 512 deep");

  // One widget a line: the 10,001st besides the window is on line 10005.
  std::string widgets;
  for (std::size_t i = 0; i <= host::kMostFormControls; ++i)
    widgets += "<widget class=\"QLabel\" name=\"lbl" + std::to_string(i) + "\"/>\n";
  failsWith(write("widgets.ui", widgets), u"line 10005: a form holds at most 10000 widgets and actions");

  const auto title = [](std::size_t length) {
    return "<property name=\"windowTitle\"><string>" + std::string(length, 'a') + "</string></property>\n";
  };
  {
    const ComPtr<host::Form> form = qt::loadUiForm(write("title.ui", title(host::kLongestFormText)));
    EXPECT_EQ(toText(objectOf(*form.get()).get(u"Caption")).size(), host::kLongestFormText);
    delete qt::windowOf(*form.get());
  }
  failsWith(write("longer.ui", title(host::kLongestFormText + 1)), u"line 5: a text holds at most 65536 characters");

  const auto large = write("large.ui", "");
  std::filesystem::resize_file(large, host::kLargestFormFile + 1);
  failsWith(large, u"a form file holds at most 16777216 bytes");

  const auto fifo = dir_ / "fifo.ui";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  {
    const FifoRelease release(fifo);
    EXPECT_EQ(loadFailure(fifo).first, errc::FileNotFound);
    EXPECT_FALSE(release.released()) << "loading the FIFO waited for a writer";
  }
  EXPECT_EQ(loadFailure("/dev/null").first, errc::FileNotFound);
  EXPECT_EQ(loadFailure(dir_).first, errc::FileNotFound);
}

// An Index is a whole number from 0 to 32767, written as a number or a
// string (error 380 naming the widget and the line); no two widgets share a
// name and an Index (error 5 naming both lines), whether the file or the
// program made them.
TEST_F(DesignerFiles, IndexesAreWholeNumbersOncePerName) {
  const auto indexed = [](const char* name, const std::string& value) {
    return std::string("  <widget class=\"QLineEdit\" name=\"") + name +
           "\">\n   <property name=\"Index\" stdset=\"0\">\n    " + value + "\n   </property>\n  </widget>\n";
  };
  {
    const ComPtr<host::Form> form = qt::loadUiForm(
        write("indexes.ui", indexed("txtA_2", "<number>2</number>") + indexed("txtA", "<string> 3 </string>")));
    EXPECT_EQ(toInt32(Object(objectOf(*form.get()).get(u"txtA")).get(u"UBound")), 3);
    delete qt::windowOf(*form.get());
  }
  // The loader itself would read "x" as 0, 2.5 as 3, true as 1.
  for (const char* value : {"<number>x</number>", "<double>2.5</double>", "<bool>true</bool>", "<number>32768</number>",
                            "<number>-1</number>", "<string></string>", "<enum>x</enum>"}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(loadFailure(write("bad.ui", indexed("txtA", value))),
              std::make_pair(std::int32_t{errc::InvalidPropertyValue},
                             std::u16string(u"line 7: widget 'txtA': Index must be a whole number from 0 to 32767")));
  }
  // txtA_1 with Index 1 is element 1 of txtA, as is txtA with Index 1.
  EXPECT_EQ(loadFailure(write("twice.ui", indexed("txtA", "<number>1</number>") + indexed("txtA_1", "<number>1</number>"))),
            std::make_pair(std::int32_t{errc::InvalidProcedureCall},
                           std::u16string(u"line 10: widget 'txtA_1': the widget on line 5 has the same name and Index")));

  QWidget window;
  window.setObjectName(QStringLiteral("frmTwice"));
  for (const char* name : {"txtA", "txtA_1"}) {
    auto* edit = new QLineEdit(&window);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setProperty("Index", 1);
  }
  const auto [number, description] = failureOf([&] { qt::wrapForm(window); });
  EXPECT_EQ(number, errc::InvalidProcedureCall);
  EXPECT_EQ(description, u"widget 'txtA_1': a control of this name and Index is placed already");
}

// With the Qt form factory installed, Form::create and Form::add make real
// windows and widgets, and a description file loads onto them.
TEST(QtUiForm, FormFactoryBuildsRealWidgets) {
  qt::installForms();
  struct Restore {
    ~Restore() { host::setFormFactory(nullptr); }
  } restore;
  QPointer<QWidget> window;
  {
    const ComPtr<host::Form> form = host::Form::create(u"frmMade");
    window = qt::windowOf(*form.get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->objectName(), QStringLiteral("frmMade"));
    host::Control& text = form->add(host::ControlKind::TextBox, u"txtMade");
    auto* edit = qobject_cast<QLineEdit*>(qt::widgetOf(text));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->window(), window.data());
    objectOf(text).put(u"Text", Variant(u"made"));
    EXPECT_EQ(edit->text(), QStringLiteral("made"));
    host::Control& label = form->add(host::ControlKind::Label, u"lblMade");
    EXPECT_NE(qobject_cast<QLabel*>(qt::widgetOf(label)), nullptr);
    objectOf(*form.get()).call(u"Show");
    EXPECT_TRUE(window->isVisible());
  }
  // The form made its window; with the form gone, so is the window.
  runDeferredDeletes();
  EXPECT_EQ(window, nullptr);

  // Callers that load forms by name get Designer files loaded by Qt, and
  // form descriptions as before.
  const Object hostObject(frame::createObject(u"Tarnwick.Host"));
  const Object designed(hostObject.call(u"LoadForm", fromUtf8(qtTestData("controls.ui").string())));
  EXPECT_EQ(controlOf(designed, u"txtName").typeName(), u"TextBox");
  EXPECT_NE(qt::windowOf(*dynamic_cast<host::Form*>(designed.get())), nullptr);
  EXPECT_EQ(errorOf([&] { hostObject.call(u"LoadForm", fromUtf8(qtTestData("broken.ui").string())); }),
            errc::PathFileAccessError);
}

}  // namespace
}  // namespace tarnwick::testing
