#include "ClassTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/customize/Customize.h>
#include <tarnwick/frame/Profile.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace tarnwick {
namespace {

using testing::formFrom;
using testing::instanceOf;

// The form of the worked example: a flex grid with a hidden middle column,
// element 1 of an array of data grids, a tab strip, a menu, a button and a
// text box with a tool tip.
constexpr std::string_view kOrders = R"FORM(form frmOrders {
  Menu mnuFile {
    Caption = "&File"
  }
  MSFlexGrid grdLines {
    Cols = 3
    Rows = 2
    FixedRows = 1
    FixedCols = 0
    ColWidth(0) = 1200
    ColWidth(1) = 0
    ColWidth(2) = 2400
    TextMatrix(0, 0) = "Line"
    TextMatrix(0, 1) = "Price"
    TextMatrix(0, 2) = "Total"
  }
  DBGrid dbgItems[1] {
    Column "Item", "", 1500
    Column "Quantity", "", 900
  }
  TabStrip tabMain {
    Tab "General"
    Tab "Details"
  }
  CommandButton cmdSave {
    Caption = "&Save"
    ToolTipText = "Stores the order"
  }
  TextBox txtQty {
    ToolTipText = "Quantity in units"
  }
})FORM";

class CustomizeTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("TARNWICK_WINDOWS_DIR", dir.path().c_str(), 1); }
  void TearDown() override { ::unsetenv("TARNWICK_WINDOWS_DIR"); }
  std::u16string ini(const char16_t* file, const char16_t* section, const char16_t* key) {
    return frame::iniRead(std::u16string_view(section), std::u16string_view(key), file);
  }
  testing::ScratchDir dir;
  Object custom = instanceOf<customize::Customize>();
};

Object member(const Object& form, const char16_t* name) { return Object(form.get(name)); }

TEST_F(CustomizeTest, GenerateWritesTheWorkedExampleFiles) {
  const Object form = formFrom(kOrders);
  const Object grid = member(form, u"grdLines");
  const Object dataGrid(member(form, u"dbgItems").get(u"Item", {Variant(1)}));
  EXPECT_EQ(toInt32(custom.call(u"GenerateIniColumnWidths", grid.pointer().get(), u"frmOrders")), 0);
  EXPECT_EQ(toInt32(custom.call(u"GenerateIniColumnWidths", dataGrid.pointer().get(), u"frmOrders")), 0);
  EXPECT_EQ(ini(u"ColWidths.ini", u"frmOrdersgrdLines", u"CustomWidht"), u"True");
  EXPECT_EQ(ini(u"ColWidths.ini", u"frmOrdersgrdLines", u"0"), u"1200");
  EXPECT_EQ(ini(u"ColWidths.ini", u"frmOrdersgrdLines", u"1"), u"");  // hidden: not written
  EXPECT_EQ(ini(u"ColWidths.ini", u"frmOrdersgrdLines", u"2"), u"2400");
  EXPECT_EQ(ini(u"ColWidths.ini", u"frmOrdersdbgItems1", u"0"), u"1500");
  EXPECT_EQ(ini(u"ColWidths.ini", u"frmOrdersdbgItems1", u"1"), u"900");

  const Object controls(form.get(u"Controls"));
  custom.call(u"GenerateIniTips", controls.pointer().get(), u"frmOrders");
  EXPECT_EQ(ini(u"IniTips.ini", u"frmOrders", u"CustomTip"), u"False");
  EXPECT_EQ(ini(u"IniTips.ini", u"frmOrders", u"&Save"), u"Stores the order");
  EXPECT_EQ(ini(u"IniTips.ini", u"frmOrders", u"txtQty"), u"Quantity in units");

  custom.call(u"GenerateIniCaptions", controls.pointer().get(), u"frmOrders");
  EXPECT_EQ(ini(u"Captions.ini", u"frmOrders", u"CustomCaption"), u"False");
  for (const auto& [key, value] : std::initializer_list<std::pair<const char16_t*, const char16_t*>>{
           {u"dbgItems10", u"Item"},
           {u"dbgItems11", u"Quantity"},
           {u"grdLines0", u"Line"},
           {u"grdLines1", u"Price"},
           {u"grdLines2", u"Total"},
           {u"tabMain1", u"General"},
           {u"tabMain2", u"Details"},
           {u"mnuFile", u"&File"}})
    EXPECT_EQ(ini(u"Captions.ini", u"frmOrders", key), value) << toUtf8(key);
  const std::u16string keys = frame::iniRead(u"frmOrders", std::nullopt, u"Captions.ini");
  EXPECT_NE(keys.find(std::u16string(u"&Save\0", 6)), std::u16string::npos);  // a caption is a key of its own
  EXPECT_EQ(keys.find(u"tabMain0"), std::u16string::npos);
}

TEST_F(CustomizeTest, GetRestoresASecondCopyWhenTheSwitchesAreOn) {
  const Object first = formFrom(kOrders);
  const Object controls(first.get(u"Controls"));
  custom.call(u"GenerateIniColumnWidths", member(first, u"grdLines").pointer().get(), u"frmOrders");
  custom.call(u"GenerateIniTips", controls.pointer().get(), u"frmOrders");
  custom.call(u"GenerateIniCaptions", controls.pointer().get(), u"frmOrders");
  // An editor fills in the file and switches the kinds on.
  frame::iniWrite(u"frmOrders", u"CustomTip", u"true", u"IniTips.ini");
  frame::iniWrite(u"frmOrders", u"CustomCaption", u"TRUE", u"Captions.ini");
  frame::iniWrite(u"frmOrders", u"&Save", u"&Store", u"Captions.ini");
  frame::iniWrite(u"frmOrders", u"tabMain2", u"More", u"Captions.ini");
  frame::iniWrite(u"frmOrdersgrdLines", u"0", u"1439.5", u"ColWidths.ini");

  const Object second = formFrom(kOrders);
  const Object grid = member(second, u"grdLines");
  grid.put(u"ColWidth", {Variant(0)}, Variant(500));
  grid.put(u"ColWidth", {Variant(2)}, Variant(500));
  grid.put(u"TextMatrix", {Variant(0), Variant(0)}, Variant(u"changed"));
  member(second, u"txtQty").put(u"ToolTipText", Variant(u"changed"));
  EXPECT_EQ(toInt32(custom.call(u"GetIniColumnWidths_i", grid.pointer().get(), u"frmOrders")), 2);
  EXPECT_EQ(toInt32(grid.get(u"ColWidth", {Variant(0)})), 1440);  // half to even
  EXPECT_EQ(toInt32(grid.get(u"ColWidth", {Variant(2)})), 2400);
  const Object controls2(second.get(u"Controls"));
  custom.call(u"GetIniTips", controls2.pointer().get(), u"frmOrders");
  EXPECT_EQ(member(second, u"txtQty").get(u"ToolTipText").text(), u"Quantity in units");
  custom.call(u"GetIniCaptions", controls2.pointer().get(), u"frmOrders");
  EXPECT_EQ(grid.get(u"TextMatrix", {Variant(0), Variant(0)}).text(), u"Line");
  EXPECT_EQ(member(second, u"cmdSave").get(u"Caption").text(), u"&Store");
  EXPECT_EQ(Object(Object(member(second, u"tabMain").get(u"Tabs")).get(u"Item", {Variant(2)})).get(u"Caption").text(),
            u"More");

  // A switch that is off changes nothing; the width switch too.
  frame::iniWrite(u"frmOrdersgrdLines", u"CustomWidht", u"No", u"ColWidths.ini");
  grid.put(u"ColWidth", {Variant(0)}, Variant(700));
  EXPECT_EQ(toInt32(custom.call(u"GetIniColumnWidths_i", grid.pointer().get(), u"frmOrders")), 0);
  EXPECT_EQ(toInt32(grid.get(u"ColWidth", {Variant(0)})), 700);
  custom.call(u"GenerateIniColumnWidths", grid.pointer().get(), u"frmOrders");
  EXPECT_EQ(ini(u"ColWidths.ini", u"frmOrdersgrdLines", u"CustomWidht"), u"No");  // kept as it was
}

TEST_F(CustomizeTest, CollectionsAreWalkedThroughTheirEnumerator) {
  const Object form = formFrom(
      "form frmList {\n  CommandButton cmdA {\n    Caption = \"&Go\"\n    ToolTipText = \"first\"\n  }\n"
      "  CommandButton cmdB {\n    Caption = \"&Go\"\n    ToolTipText = \"second\"\n  }\n"
      "  TextBox txtC {\n    ToolTipText = \"third\"\n  }\n}\n");
  const Variant a = form.get(u"cmdA"), b = form.get(u"cmdB"), c = form.get(u"txtC");
  // Numbered from 1, walked in the enumerator's order: no item lost, and
  // the last of two equal captions wins.
  const Object listed = testing::ItemList::make({b, a, c}, {a, b, c}, true);
  EXPECT_EQ(toInt32(custom.call(u"GenerateIniTips", listed.pointer().get(), u"frmList")), 0);
  EXPECT_EQ(ini(u"IniTips.ini", u"frmList", u"&Go"), u"second");
  EXPECT_EQ(ini(u"IniTips.ini", u"frmList", u"txtC"), u"third");
  // Without an enumerator: Count and Item, from 1 here.
  const Object counted = testing::ItemList::make({b, c, a}, {}, false);
  EXPECT_EQ(toInt32(custom.call(u"GenerateIniTips", counted.pointer().get(), u"frmCounted")), 0);
  EXPECT_EQ(ini(u"IniTips.ini", u"frmCounted", u"&Go"), u"first");
  EXPECT_EQ(ini(u"IniTips.ini", u"frmCounted", u"txtC"), u"third");
  // Captions too.
  EXPECT_EQ(toInt32(custom.call(u"GenerateIniCaptions", listed.pointer().get(), u"frmList")),
            errc::MemberNotSupported);  // the text box has no caption
  EXPECT_NE(frame::iniRead(u"frmList", std::nullopt, u"Captions.ini").find(std::u16string(u"&Go\0", 4)),
            std::u16string::npos);
  frame::iniWrite(u"frmList", u"CustomCaption", u"True", u"Captions.ini");
  frame::iniWrite(u"frmList", u"&Go", u"&Run", u"Captions.ini");
  custom.call(u"GetIniCaptions", listed.pointer().get(), u"frmList");
  EXPECT_EQ(Object(a).get(u"Caption").text(), u"&Run");
  EXPECT_EQ(Object(b).get(u"Caption").text(), u"&Run");
}

TEST_F(CustomizeTest, ResultsAreTheCurrentErrorNumber) {
  // Only text boxes: no captions, and each failed Caption read is an error.
  const Object form = formFrom("form frmPlain {\n  TextBox txtA {\n  }\n  TextBox txtB {\n  }\n}\n");
  const Object controls(form.get(u"Controls"));
  EXPECT_EQ(toInt32(custom.call(u"GenerateIniCaptions", controls.pointer().get(), u"frmPlain")),
            errc::MemberNotSupported);
  EXPECT_EQ(toInt32(custom.call(u"GenerateIniTips", controls.pointer().get(), u"frmPlain")), 0);
  // A menu last: its ToolTipText read fails, so the result is that error.
  const Object menuLast = formFrom("form frmMenu {\n  TextBox txtA {\n  }\n  Menu mnuEnd {\n    Caption = \"End\"\n  }\n}\n");
  EXPECT_EQ(toInt32(custom.call(u"GenerateIniTips", Object(menuLast.get(u"Controls")).pointer().get(), u"frmMenu")),
            errc::MemberNotSupported);
  // Switch off (the default "False" written by the first call): Get applies nothing.
  EXPECT_EQ(toInt32(custom.call(u"GetIniTips", controls.pointer().get(), u"frmPlain")), 0);
  // Something that is no grid: only the switch.
  EXPECT_EQ(toInt32(custom.call(u"GetIniColumnWidths_i", member(form, u"txtA").pointer().get(), u"frmPlain")), 0);
  EXPECT_EQ(ini(u"ColWidths.ini", u"frmPlaintxtA", u"CustomWidht"), u"True");
}

}  // namespace
}  // namespace tarnwick
