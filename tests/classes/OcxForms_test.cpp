#include "ClassTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/host/Screen.h>
#include <tarnwick/host/SystemMetrics.h>
#include <tarnwick/ocx/OcxWrapper.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tarnwick {
namespace {

using testing::formFrom;
using testing::instanceOf;
using testing::MessageBoxScope;
using TempDir = testing::ScratchDir;
const auto u16 = testing::pathText;

std::string bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

Object member(const Object& form, const char16_t* name) { return Object(form.get(name)); }
Object element(const Object& form, const char16_t* name, int i) {
  return Object(member(form, name).get(u"Item", {Variant(i)}));
}

constexpr std::string_view kForm = R"FORM(form frmOrders {
  TextBox txtCity[0] {
    Text = "Bonn"
  }
  TextBox txtCity[1] {
    Text = "Köln"
    Enabled = False
  }
  TextBox txtAlone {
    Text = "alone"
  }
  CheckBox chkPaid[0] {
    Value = 1
  }
  ComboBox cboTerms[0] {
    Style = 2
    AddItem "cash"
    AddItem "30 days"
    Text = "cash"
  }
  Label lblInfo {
    Caption = "stays"
  }
  MSFlexGrid grdLines {
    Cols = 2
    Rows = 3
    FixedRows = 1
  }
  MSFlexGrid grdFree {
    Cols = 2
    Rows = 3
    FixedRows = 0
  }
})FORM";

class OcxForms : public ::testing::Test {
 protected:
  LocaleScope locale{Locale::enUS()};
  TempDir dir;
  Object ocx = instanceOf<ocx::OcxWrapper>();
  MessageBoxScope box;
};

TEST_F(OcxForms, ClearingControls) {
  const Object form = formFrom(kForm);
  ocx.call(u"ClearAllControlValues", form.pointer().get());
  EXPECT_EQ(element(form, u"txtCity", 0).get(u"Text").text(), u"");
  EXPECT_EQ(element(form, u"txtCity", 1).get(u"Text").text(), u"Köln");  // disabled: left alone
  EXPECT_EQ(member(form, u"txtAlone").get(u"Text").text(), u"");
  EXPECT_EQ(toInt32(element(form, u"chkPaid", 0).get(u"Value")), 0);
  EXPECT_EQ(element(form, u"cboTerms", 0).get(u"Text").text(), u"cash");  // a list refuses ""
  EXPECT_EQ(member(form, u"lblInfo").get(u"Caption").text(), u"stays");
  EXPECT_EQ(toInt32(member(form, u"grdLines").get(u"Rows")), 1);
  EXPECT_EQ(toInt32(member(form, u"grdFree").get(u"Rows")), 0);
  // ClearControls empties a range, and fails at a missing element.
  const Object again = formFrom(kForm);
  ocx.call(u"ClearControls", again.get(u"txtCity"), std::int16_t{1}, std::int16_t{1});
  EXPECT_EQ(element(again, u"txtCity", 0).get(u"Text").text(), u"Bonn");
  EXPECT_EQ(element(again, u"txtCity", 1).get(u"Text").text(), u"");
  try {
    ocx.call(u"ClearControls", again.get(u"txtCity"), std::int16_t{0}, std::int16_t{2});
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::ControlArrayElementMissing);
    EXPECT_EQ(element(again, u"txtCity", 0).get(u"Text").text(), u"");  // cleared before the failure
  }
}

TEST_F(OcxForms, DefaultValuesRoundTrip) {
  const std::u16string ini = u16(dir / "defaults.ini");
  EXPECT_NE(toInt32(ocx.call(u"SetAsDefaultValue", u"frmOrders", u"txtCity 0", u"Berlin", ini)), 0);
  EXPECT_NE(toInt32(ocx.call(u"SetAsDefaultValue", u"frmOrders", u"chkPaid 0", u"0", ini)), 0);
  EXPECT_NE(toInt32(ocx.call(u"SetAsDefaultValue", u"frmOrders", u"txtAlone", u"by name", ini)), 0);
  EXPECT_EQ(bytes(dir / "defaults.ini"), "[frmOrders]\r\ntxtCity 0=Berlin\r\nchkPaid 0=0\r\ntxtAlone=by name\r\n");
  const Object form = formFrom(kForm);
  EXPECT_EQ(toInt32(ocx.call(u"GetDefaultValues", form.pointer().get(), ini)), 0);
  EXPECT_EQ(element(form, u"txtCity", 0).get(u"Text").text(), u"Berlin");
  EXPECT_EQ(element(form, u"txtCity", 1).get(u"Text").text(), u"Köln");  // no key: unchanged
  EXPECT_EQ(toInt32(element(form, u"chkPaid", 0).get(u"Value")), 0);
  // A control outside any array has its name alone as its key.
  EXPECT_EQ(member(form, u"txtAlone").get(u"Text").text(), u"by name");
  EXPECT_EQ(toInt32(ocx.call(u"GetDefaultValues", form.pointer().get(), u16(dir / "missing.ini"))), 0);
}

TEST_F(OcxForms, Cosmetics) {
  host::setScreen(std::make_shared<host::HeadlessScreen>(640, 480));  // 9600 x 7200 twips
  const Object form = formFrom("form frmCenter {\n  Width = 6000\n  Height = 4000\n}\n");
  ocx.call(u"Center", form.pointer().get());
  EXPECT_EQ(toDouble(form.get(u"Left")), 1800);
  EXPECT_EQ(toDouble(form.get(u"Top")), 1600);
  form.put(u"Width", Variant(3001));
  ocx.call(u"Center", form.pointer().get());
  EXPECT_EQ(toDouble(form.get(u"Left")), 3299.5);
  form.put(u"WindowState", Variant(2));
  form.call(u"Move", 0, 0);
  ocx.call(u"Center", form.pointer().get());
  EXPECT_EQ(toDouble(form.get(u"Left")), 0);  // maximised: left alone
  host::setScreen(std::make_shared<host::HeadlessScreen>());

  const Object text = member(formFrom("form f {\n  TextBox txtName {\n    Text = \"Miller\"\n  }\n}\n"), u"txtName");
  ocx.call(u"SelAllText", text.pointer().get());
  EXPECT_EQ(toInt32(text.get(u"SelStart")), 0);
  EXPECT_EQ(toInt32(text.get(u"SelLength")), 6);

  EXPECT_TRUE(toBool(ocx.call(u"SetHighlightColorWhite_b", true)));
  EXPECT_FALSE(toBool(ocx.call(u"SetHighlightColorWhite_b", false)));
  const auto colours = host::systemColours();
  EXPECT_EQ(colours->colour(13), 0x800000u);
  EXPECT_EQ(colours->colour(14), 0xFFFFFFu);
  EXPECT_NO_THROW(ocx.call(u"SetControlsTransparent", Variant()));
  EXPECT_NO_THROW(ocx.call(u"ComboKeySeek", text.pointer().get()));
  EXPECT_EQ([&] {
    try {
      ocx.call(u"Center", text.pointer().get());
    } catch (const Error& e) {
      return e.number();
    }
    return 0;
  }(), errc::MemberNotSupported);
}

TEST_F(OcxForms, SaveToFileTellsTheUserOnce) {
  EXPECT_NE(toInt32(ocx.call(u"SaveToFile", u16(dir / "no" / "such.txt"), u"x", std::int16_t{0})), 0);
  ASSERT_EQ(box->prompts().size(), 1u);
  EXPECT_EQ(box->prompts()[0].prompt, u"Path not found");
  EXPECT_EQ(box->prompts()[0].buttons, 48);
  EXPECT_EQ(toInt32(ocx.call(u"SaveFile", u16(dir / "no" / "such.txt"), u"x")), errc::PathNotFound);
  EXPECT_EQ(box->prompts().size(), 1u);  // SaveFile says nothing
}

TEST_F(OcxForms, MergeFieldsFromTags) {
  const Object form = formFrom(R"FORM(form frmLetter {
  TextBox txtMerge[0] {
    Tag = "M=Surname"
    Text = "Smith"
  }
  TextBox txtMerge[1] {
    Tag = "Customers([Town])M=Town"
    Text = "Bath \"centre\""
  }
  TextBox txtMerge[2] {
    Tag = "no merge"
    Text = "skipped"
  }
  MSFlexGrid grdLines[0] {
    Tag = "M=Lines"
    Cols = 2
    Rows = 3
    FixedRows = 1
    TextMatrix(1, 0) = "Pen"
    TextMatrix(1, 1) = "2"
    TextMatrix(2, 0) = "Ink"
    TextMatrix(2, 1) = "1"
    TextMatrix(0, 0) = "Item"
  }
})FORM");
  const std::u16string file = u16(dir / "merge.txt");
  const Variant arrays = makeVariantArray({form.get(u"txtMerge"), form.get(u"grdLines")});
  EXPECT_EQ(toInt32(ocx.call(u"SaveMergeFieldsFromTags", arrays, file)), 0);
  EXPECT_EQ(bytes(dir / "merge.txt"), "Surname;Town;Lines\r\n\"Smith\";\"Bath \"\"centre\"\"\";\"Pen\t2\r\nInk\t1\"");
  EXPECT_EQ(toInt32(ocx.call(u"SaveMergeFieldsFromTags", arrays, file, u"Street", u"\"High St\"")), 0);
  EXPECT_EQ(bytes(dir / "merge.txt").substr(0, 28), "Surname;Town;Lines;Street\r\n\"");
  // Nothing to export is an error, not a success.
  EXPECT_EQ(toInt32(ocx.call(u"SaveMergeFieldsFromTags", makeVariantArray({}), file)), errc::InvalidProcedureCall);
  // A file that cannot be written answers the write's error number and
  // shows nothing.
  EXPECT_EQ(toInt32(ocx.call(u"SaveMergeFieldsFromTags", arrays, u16(dir / "no" / "such.txt"))), errc::PathNotFound);
  EXPECT_TRUE(box->prompts().empty());
}

}  // namespace
}  // namespace tarnwick
