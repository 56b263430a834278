#include "../automation/ErrorOf.h"
#include "../frame/FifoRelease.h"
#include "SampleDatabase.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/host/FormDescription.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tarnwick::host {
namespace {

using testing::errorOf;

// The error a description raises: number and description.
std::pair<std::int32_t, std::u16string> failure(std::string_view text) {
  return testing::failureOf([&] { loadFormText(text); });
}

TEST(FormDescription, LoadsControlsWithTheirRules) {
  const char* text = R"(form frmSmall {
  Caption = "Small"
  TextBox txtA[1] {
    Text = "a \"quoted\" text\tand a tab"
  }
  TextBox txtA[2] {
    Text = ""
  }
  Panel pnlWidths[0] {
    Width = 1500.5
    Label lblIn {
      Caption = "inside"
    }
  }
  ComboBox cboPick {
    AddItem "x"
    AddItem "y", 0
  }
}
)";
  ComPtr<Form> form = loadFormText(text);
  const Object f(static_cast<IDispatch*>(form.get()));
  EXPECT_EQ(f.get(u"Caption").text(), u"Small");
  EXPECT_EQ(frame::element(Object(f.get(u"txtA")), 1).get(u"Text").text(), u"a \"quoted\" text\tand a tab");
  EXPECT_EQ(toInt32(Object(f.get(u"txtA")).get(u"UBound")), 2);
  EXPECT_EQ(toDouble(frame::element(Object(f.get(u"pnlWidths")), 0).get(u"Width")), 1500.5);
  EXPECT_EQ(Object(Object(f.get(u"lblIn")).get(u"Container")).get(u"Name").text(), u"pnlWidths");
  EXPECT_EQ(Object(f.get(u"cboPick")).get(u"List", {Variant(0)}).text(), u"y");
  EXPECT_FALSE(form->designMode());  // design-time properties are closed again
}

TEST(FormDescription, ErrorsNameTheLine) {
  EXPECT_EQ(failure("form frmA {\n  TextBox txtA {\n    Captoin = \"x\"\n  }\n}\n"),
            std::make_pair(438, std::u16string(u"line 3: unknown property 'Captoin' for TextBox")));
  EXPECT_EQ(failure("form frmA {\n  TextBx txtA {\n  }\n}\n"),
            std::make_pair(5, std::u16string(u"line 2: unknown control type 'TextBx'")));
  EXPECT_EQ(failure("form frmA {\n  CheckBox chk {\n    Value = 7\n  }\n}\n"),
            std::make_pair(380, std::u16string(u"line 3: Value: Invalid property value")));
  EXPECT_EQ(failure("form frmA {\n  ComboBox cbo {\n    Style = 2\n    Text = \"none\"\n  }\n}\n"),
            std::make_pair(383, std::u16string(u"line 4: Text: 'Text' property is read-only")));
  EXPECT_EQ(failure("form frmA {\n  TextBox t[1] {\n  }\n  TextBox t[1] {\n  }\n}\n"),
            std::make_pair(360, std::u16string(u"line 4: t: Object already loaded")));
  EXPECT_EQ(failure("form frmA {\n  DBGrid g {\n    DataSource = datNone\n  }\n}\n"),
            std::make_pair(380, std::u16string(u"line 3: no control named 'datNone' on the form")));
  EXPECT_EQ(failure("form frmA {\n  Label l {\n    Caption = \"open\n  }\n}\n").second,
            u"line 3: text without its closing quote");
  EXPECT_EQ(failure("form frmA {\n  Label l {\n    Caption = \"a\" \"b\"\n  }\n}\n").second, u"line 3: one value follows =");
  EXPECT_EQ(failure("form frmA {\n  Label l {\n    Left = 12x\n  }\n}\n").first, errc::TypeMismatch);
  EXPECT_EQ(failure("form frmA {\n  Label l {\n    TextBox t {\n    }\n  }\n}\n").second,
            u"line 3: a Label cannot contain controls");
  EXPECT_EQ(failure("form frmA {\n  Label l {\n  }\n").second, u"line 4: the form's block is not closed with }");
  EXPECT_EQ(failure("form frmA {\n}\n}\n").second, u"line 3: text after the end of the form");
  EXPECT_EQ(failure("").second, u"line 1: the description has no form");
  EXPECT_EQ(failure("Caption = \"x\"\n").second, u"line 1: the description starts with: form NAME {");
  EXPECT_EQ(failure("form frmA {\n  MSFlexGrid g {\n    ColWidth(5) = 1\n  }\n}\n").first, errc::InvalidPropertyArrayIndex);
  EXPECT_EQ(failure("form frmA {\n  MSFlexGrid g {\n    Frobnicate 1, 2\n  }\n}\n").second,
            u"line 3: unknown member 'Frobnicate' for MSFlexGrid");
  EXPECT_EQ(failure("form frmA {\n  Label l[70000] {\n  }\n}\n").second,
            u"line 2: an index is a whole number from 0 to 32767");
  EXPECT_EQ(failure("form frmA {\n  Label l {\n    Caption = @\n  }\n}\n").second, u"line 3: unexpected character '@'");
  EXPECT_EQ(errorOf([] { loadForm("/nonexistent/form.form"); }), errc::FileNotFound);
  const Object host(frame::createObject(u"Tarnwick.Host"));
  EXPECT_EQ(errorOf([&] { host.call(u"LoadForm", u"/nonexistent/form.form"); }), errc::FileNotFound);
}

// Containers nest at most kDeepestNesting deep; a deeper description fails
// at the line of the first control too deep, without reading on.
TEST(FormDescription, RefusesDeepNesting) {
  constexpr int kDeepestNesting = 100;
  const auto nested = [](int depth) {
    std::string text = "form frmA {\n";
    for (int i = 0; i < depth; ++i) text += "Frame f" + std::to_string(i) + " {\n";
    for (int i = 0; i < depth; ++i) text += "}\n";
    return text + "}\n";
  };
  EXPECT_EQ(failure(nested(kDeepestNesting)).first, 0);
  const auto tooDeep = std::make_pair(std::int32_t{errc::InvalidProcedureCall},
                                      std::u16string(u"line 102: controls nest at most 100 deep"));
  EXPECT_EQ(failure(nested(kDeepestNesting + 1)), tooDeep);
  EXPECT_EQ(failure(nested(200000)), tooDeep);
}

// A form holds at most 10,000 controls and texts of at most 65,536
// characters, and its file at most 16 MiB; past a limit loading stops with
// error 5 naming it. Only a regular file is read: a FIFO, a device or a
// folder is a missing file, at once.
TEST(FormDescription, RefusesFormsPastTheLimits) {
  // The elements of one array, placed from the highest index down: every
  // one goes before all the others, and the array still reads in order.
  const auto array = [](std::size_t count) {
    std::string text = "form frmMany {\n";
    for (std::size_t i = count; i-- > 0;) text += "TextBox txt[" + std::to_string(i) + "] {\n}\n";
    return text + "}\n";
  };
  {
    const ComPtr<Form> form = loadFormText(array(kMostFormControls));
    EXPECT_EQ(form->controls().size(), kMostFormControls);
    const Object txt(form->member(u"txt"));
    EXPECT_EQ(toInt32(txt.get(u"LBound")), 0);
    EXPECT_EQ(toInt32(txt.get(u"UBound")), 9999);
    EXPECT_EQ(toInt32(Object(txt.call(u"Item", 4321)).get(u"Index")), 4321);
    EXPECT_EQ(form->find(u"txt", 9999), form->controls().front().get());
    EXPECT_EQ(form->find(u"txt", 10000), nullptr);
    EXPECT_EQ(form->find(u"txt"), nullptr);
  }
  // The 10,001st control opens on line 20002.
  EXPECT_EQ(failure(array(kMostFormControls + 1)),
            std::make_pair(std::int32_t{errc::InvalidProcedureCall},
                           std::u16string(u"line 20002: a form holds at most 10000 controls")));

  const auto caption = [](std::size_t length) {
    return "form frmLong {\n  Caption = \"" + std::string(length, 'a') + "\"\n}\n";
  };
  EXPECT_EQ(toText(Object(static_cast<IDispatch*>(loadFormText(caption(kLongestFormText)).get())).get(u"Caption")).size(),
            kLongestFormText);
  EXPECT_EQ(failure(caption(kLongestFormText + 1)),
            std::make_pair(std::int32_t{errc::InvalidProcedureCall},
                           std::u16string(u"line 2: a text holds at most 65536 characters")));

  const auto dir = std::filesystem::temp_directory_path() / ("tarnwick-form-limits-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  // A file one byte too large is refused before it is read.
  const auto large = dir / "large.form";
  std::ofstream(large) << "form frmLarge {\n}\n";
  std::filesystem::resize_file(large, kLargestFormFile + 1);
  try {
    loadForm(large);
    ADD_FAILURE() << "a file of more than 16 MiB loaded";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::InvalidProcedureCall);
    EXPECT_EQ(e.description(), u"a form file holds at most 16777216 bytes");
    EXPECT_EQ(e.note(), u"file '" + fromUtf8(large.string()) + u"'");
  }
  // Nothing but a regular file is read.
  const auto fifo = dir / "fifo.form";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  {
    const testing::FifoRelease release(fifo);
    EXPECT_EQ(errorOf([&] { readFormFile(fifo); }), errc::FileNotFound);
    EXPECT_EQ(errorOf([&] { loadForm(fifo); }), errc::FileNotFound);
    EXPECT_FALSE(release.released()) << "reading the FIFO waited for a writer";
  }
  EXPECT_EQ(errorOf([&] { loadForm("/dev/null"); }), errc::FileNotFound);
  EXPECT_EQ(errorOf([&] { loadForm(dir); }), errc::FileNotFound);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tarnwick::host

namespace tarnwick::host {
namespace {

// The order form of tests/host/data, loaded next to a sample database, every value read back by name.
TEST(FormDescription, OrderFormReadsBack) {
  testing::SampleDatabase sample;
  const auto description = sample.folder() / "order.form";
  std::filesystem::copy_file(std::filesystem::path(TARNWICK_HOST_TEST_DATA) / "order.form", description);
  ComPtr<Form> form = loadForm(description);
  const Object f(static_cast<IDispatch*>(form.get()));
  EXPECT_EQ(f.get(u"Name").text(), u"frmOrder");
  EXPECT_EQ(f.get(u"Caption").text(), u"Order entry");
  EXPECT_EQ(toDouble(f.get(u"Width")), 9600);
  EXPECT_EQ(toDouble(f.get(u"Height")), 7200);
  EXPECT_EQ(f.get(u"Tag").text(), u"Orders");

  std::vector<std::u16string> kinds;
  for (const Object& c : frame::formControls(f)) kinds.push_back(c.typeName());
  EXPECT_EQ(kinds, (std::vector<std::u16string>{u"Menu", u"Menu", u"Label", u"TextBox", u"TextBox", u"TextBox", u"Frame",
                                                 u"CheckBox", u"ComboBox", u"MSFlexGrid", u"TabStrip", u"Data", u"DBGrid"}));
  EXPECT_EQ(Object(f.get(u"mnuFile")).get(u"Caption").text(), u"&File");
  EXPECT_TRUE(toBool(Object(f.get(u"mnuFileSave")).get(u"Checked")));
  const Object label(f.get(u"lblCustomer"));
  EXPECT_EQ(label.get(u"Caption").text(), u"Customer:");
  EXPECT_EQ(toDouble(label.get(u"Left")), 120);

  const Object fields(f.get(u"txtOrder"));
  EXPECT_EQ(toInt32(fields.get(u"UBound")), 3);
  EXPECT_EQ(toInt32(fields.get(u"Count")), 3);
  const Object order = frame::element(fields, 0), customer = frame::element(fields, 1), date = frame::element(fields, 3);
  EXPECT_EQ(order.get(u"Tag").text(), u"Orders([OrderId])!Number;");
  EXPECT_EQ(order.get(u"DataField").text(), u"OrderId");
  EXPECT_EQ(order.get(u"Text").text(), u"1001");
  EXPECT_EQ(toDouble(order.get(u"Left")), 1500);
  EXPECT_EQ(customer.get(u"Text").text(), u"Smith & Co");
  EXPECT_EQ(toInt32(customer.get(u"MaxLength")), 40);
  EXPECT_EQ(customer.get(u"ToolTipText").text(), u"Who ordered");
  EXPECT_EQ(date.get(u"Tag").text(), u"Orders([Ordered])!Date;");
  EXPECT_EQ(date.value().text(), u"1/2/98");
  EXPECT_EQ(errorOf([&] { frame::element(fields, 2); }), errc::ControlArrayElementMissing);
  EXPECT_TRUE(customer.supports(IID_TextBoxControl));

  const Object paid(f.get(u"chkPaid"));
  EXPECT_EQ(toInt32(paid.get(u"Value")), 1);
  EXPECT_EQ(paid.get(u"Caption").text(), u"Paid");
  EXPECT_EQ(Object(paid.get(u"Container")).get(u"Caption").text(), u"Payment");
  const Object terms(f.get(u"cboTerms"));
  EXPECT_EQ(toInt32(terms.get(u"Style")), 2);
  EXPECT_EQ(toInt32(terms.get(u"ListCount")), 3);
  EXPECT_EQ(terms.get(u"Text").text(), u"30 days");
  EXPECT_EQ(toInt32(terms.get(u"ListIndex")), 1);

  const Object lines(f.get(u"grdLines"));
  EXPECT_EQ(toInt32(lines.get(u"Rows")), 3);
  EXPECT_EQ(toInt32(lines.get(u"Cols")), 3);
  EXPECT_EQ(toInt32(lines.get(u"FixedRows")), 1);
  EXPECT_EQ(toInt32(lines.get(u"FixedCols")), 0);
  const std::u16string cells[3][3] = {{u"Item", u"Qty", u"Price"}, {u"Pen", u"2", u"1.50"}, {u"Ink", u"1", u"4.25"}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(lines.get(u"TextMatrix", {Variant(r), Variant(c)}).text(), cells[r][c]);
  EXPECT_EQ(toInt32(lines.get(u"ColWidth", {Variant(0)})), 3000);
  EXPECT_EQ(toInt32(lines.get(u"ColPos", {Variant(2)})), 3800);

  const Object tabs(Object(f.get(u"tabPages")).get(u"Tabs"));
  std::vector<std::u16string> captions;
  for (const Variant& tab : enumerate(tabs)) captions.emplace_back(Object(tab).get(u"Caption").text());
  EXPECT_EQ(captions, (std::vector<std::u16string>{u"Order", u"Lines", u"History"}));

  const Object data(f.get(u"datOrders"));
  EXPECT_EQ(data.get(u"RecordSource").text(), u"Orders");
  EXPECT_EQ(data.get(u"DatabaseName").text(), fromUtf8(sample.path().string()));  // resolved next to the description
  EXPECT_FALSE(toBool(data.get(u"Visible")));
  const Object grid(f.get(u"grdOrders"));
  EXPECT_EQ(Object(grid.get(u"DataSource")).get(), data.get());
  EXPECT_EQ(toInt32(Object(grid.get(u"Columns")).get(u"Count")), 2);
  EXPECT_EQ(Object(grid.get(u"Columns", {Variant(1)})).get(u"Caption").text(), u"Customer");
  EXPECT_EQ(toDouble(Object(grid.get(u"Columns", {Variant(1)})).get(u"Width")), 2400);
  EXPECT_EQ(toInt32(grid.get(u"ApproxCount")), 3);
  std::vector<std::u16string> customers;
  for (int row = 0; row < 3; ++row) {
    grid.put(u"Row", Variant(row));
    grid.put(u"Col", Variant(1));
    customers.emplace_back(grid.get(u"Text").text());
  }
  EXPECT_EQ(customers, (std::vector<std::u16string>{u"Smith & Co", u"Jones", u"Miller"}));
}

}  // namespace
}  // namespace tarnwick::host
