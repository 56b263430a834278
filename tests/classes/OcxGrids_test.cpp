// The grid routines of OcxWrapper against the headless host's forms and
// grids and the engine's recordsets on real database files.
#include "../automation/ErrorOf.h"
#include "../engine/EngineTesting.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/Services.h>
#include <tarnwick/ocx/OcxWrapper.h>

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

using testing::errorOf;
using testing::TempDir;

Object ocxWrapper() { return Object(makeObject<ocx::OcxWrapper>().as<IDispatch>()); }

struct OcxGrids : ::testing::Test {
  void TearDown() override { host::resetServices(); }
  LocaleScope locale{Locale::enUS()};
  Object ocx = ocxWrapper();
};

Object formObject(const ComPtr<host::Form>& form) { return Object(static_cast<IDispatch*>(form.get())); }
Object control(const Object& form, const char16_t* name) { return Object(form.get(name)); }

// A flex grid's column widths, joined by ",".
std::u16string flexWidths(const Object& grid) {
  std::u16string out;
  const std::int32_t cols = toInt32(grid.get(u"Cols"));
  for (std::int32_t i = 0; i < cols; ++i) {
    if (i) out += u",";
    out += toText(grid.get(u"ColWidth", {Variant(i)}));
  }
  return out;
}

// A data grid's column widths ("-" for a hidden column), joined by ",".
std::u16string dataWidths(const Object& grid) {
  std::u16string out;
  const Object columns(grid.get(u"Columns"));
  const std::int32_t count = toInt32(columns.get(u"Count"));
  for (std::int32_t i = 0; i < count; ++i) {
    if (i) out += u",";
    const Object column = frame::element(columns, i);
    if (!toBool(column.get(u"Visible"))) out += u"-";
    out += toText(column.get(u"Width"));
  }
  return out;
}

void resetWidths(const Object& grid) {
  const std::int32_t cols = toInt32(grid.get(u"Cols"));
  for (std::int32_t i = 0; i < cols; ++i) grid.put(u"ColWidth", {Variant(i)}, Variant(960));
}

Variant list(std::initializer_list<Variant> values, std::int32_t lowerBound = 0) {
  SafeArray array(VT_VARIANT, lowerBound, static_cast<std::uint32_t>(values.size()));
  std::int32_t i = lowerBound;
  for (const Variant& v : values) array.put({i++}, v);
  return Variant::adoptArray(array.release());
}

std::int32_t result(const Variant& v) { return toInt32(v); }

constexpr const char* kSizingForm = R"(form frmList {
  Width = 9000
  Height = 6000
  MSFlexGrid grdFlex {
    Width = 3000
    Cols = 4
  }
  DBGrid grdData {
    Width = 4000
    Column "A", "A", 1000
    Column "B", "B", 1000
    Column "C", "C", 1000
  }
  DBGrid grdEmpty {
    RecordSelectors = False
  }
  TextBox txtNoGrid {
    Width = 1234
  }
}
)";

TEST_F(OcxGrids, SizeGridColumnsOnAFlexGrid) {
  const Object form = formObject(host::loadFormText(kSizingForm));
  const Object grid = control(form, u"grdFlex");
  // (3000 - (6 x 3 + 324)) / 4 = 664.5 rounds to the even 664; the last
  // column takes what is left from its position.
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3})), 0);
  EXPECT_EQ(flexWidths(grid), u"664,664,664,926");  // 3000 - 1992 - 82
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), true, std::int16_t{3})), 0);
  EXPECT_EQ(flexWidths(grid), u"664,664,664,690");  // - 318 with the scroll bar
  // With a width list: listed widths unchanged, the share over the visible columns.
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3}, list({1000, 500}))), 0);
  EXPECT_EQ(flexWidths(grid), u"1000,500,886,532");  // (3000 - 342) / 3; 3000 - 2386 - 82
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), true, std::int16_t{3}, list({1000, 500}))), 0);
  EXPECT_EQ(flexWidths(grid), u"1000,500,886,292");  // - 322 with the scroll bar
  // A listed 0 hides the column.
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3}, list({0}))), 0);
  EXPECT_EQ(flexWidths(grid), u"0,886,886,1146");
  // One column: it is the last and gets only the remainder.
  grid.put(u"Cols", Variant(1));
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3})), 0);
  EXPECT_EQ(flexWidths(grid), u"2918");
  grid.put(u"Cols", Variant(4));
  resetWidths(grid);

  // Errors are the result; columns set before keep their widths.
  const std::u16string before = flexWidths(grid);
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{5500})), errc::Overflow);  // 6 x 5500
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{0}, list({1}))), errc::DivisionByZero);
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3}, 1000)), errc::TypeMismatch);  // no array
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3}, list({1, 2}, 1))), errc::SubscriptOutOfRange);
  EXPECT_EQ(flexWidths(grid), before);
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3}, list({100, u"wide"}))), errc::TypeMismatch);
  EXPECT_EQ(flexWidths(grid), u"100,960,960,960");
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3}, list({-5}))), errc::InvalidPropertyValue);
  // A width too large for the grid's arithmetic.
  grid.put(u"Width", Variant(3e6));
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3})), errc::Overflow);

  // Another kind of object is left alone.
  const Object text = control(form, u"txtNoGrid");
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", text.get(), false, std::int16_t{3})), 0);
  EXPECT_EQ(toDouble(text.get(u"Width")), 1234);
  // An argument that is no object is refused before the routine runs.
  EXPECT_EQ(errorOf([&] { ocx.call(u"SizeGridColumns", Variant(5), false, std::int16_t{3}); }), errc::TypeMismatch);
}

TEST_F(OcxGrids, SizeGridColumnsOnADataGrid) {
  const Object form = formObject(host::loadFormText(kSizingForm));
  const Object grid = control(form, u"grdData");
  // Record selectors 285 twips wide at grid Left 0: S = 285 + 24 = 309.
  grid.put(u"RecordSelectors", Variant(true));
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3})), 0);
  // (4000 - 309) / 3 = 1230.33; the last: 4000 - (285 + 2 x 1230) - 30.
  EXPECT_EQ(dataWidths(grid), u"1230,1230,1225");
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), true, std::int16_t{3})), 0);
  EXPECT_EQ(dataWidths(grid), u"1230,1230,1009");  // - 246 with the scroll bar
  // S is measured from the grid's Left.
  grid.put(u"Left", Variant(-15));
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3})), 0);
  EXPECT_EQ(dataWidths(grid), u"1225,1225,1235");  // S = 324: (4000 - 324) / 3 = 1225.33
  grid.put(u"Left", Variant(0));
  // A width list: 0 hides a column and leaves its width; others give up (S + 252) / 2.
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{2}, list({0, 1500}))), 0);
  EXPECT_EQ(dataWidths(grid), u"-1225,1219.5,2467.5");  // 1500 - 280.5; 4000 - (285 + 1219.5) - 28
  // Without record selectors S is 0.
  grid.put(u"RecordSelectors", Variant(false));
  frame::element(Object(grid.get(u"Columns")), 0).put(u"Visible", Variant(true));
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{3})), 0);
  EXPECT_EQ(dataWidths(grid), u"1333,1333,1304");  // 4000 / 3; 4000 - 2666 - 30
  // The last column's allowance overflows only once the others are set.
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{20000})), errc::Overflow);
  EXPECT_EQ(dataWidths(grid), u"1333,1333,1304");
  frame::element(Object(grid.get(u"Columns")), 0).put(u"Width", Variant(10));
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{20000})), errc::Overflow);
  EXPECT_EQ(dataWidths(grid), u"1333,1333,1304");
  // The early-bound interface, the width list left out.
  ComPtr<ocx::OcxWrapper> direct = makeObject<ocx::OcxWrapper>();
  IDispatch* target = grid.get();
  VARIANT_BOOL scrollBar = VARIANT_TRUE;
  std::int16_t visible = 3;
  VARIANT missing = Variant::missing().detach();
  std::int16_t number = -1;
  EXPECT_EQ(direct->SizeGridColumns(&target, &scrollBar, &visible, &missing, &number), S_OK);
  EXPECT_EQ(number, 0);
  EXPECT_EQ(dataWidths(grid), u"1333,1333,1088");
  // No columns: the share divides by zero.
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", control(form, u"grdEmpty").get(), false, std::int16_t{3})), errc::DivisionByZero);
  EXPECT_EQ(result(ocx.call(u"SizeGridColumns", grid.get(), false, std::int16_t{0}, list({1}))), errc::DivisionByZero);
}

TEST_F(OcxGrids, SizeGridFromWidthHidesLeadingColumns) {
  ComPtr<host::Form> f = host::loadFormText(kSizingForm);
  const Object form = formObject(f);
  const Object grid = control(form, u"grdFlex");
  grid.put(u"Cols", Variant(5));
  grid.put(u"Width", Variant(6000));
  // tppX 15 and an edge of 2 pixels: (6000 - 375 - 60) / 4 = 1391.25.
  EXPECT_EQ(result(ocx.call(u"SizeGridFromWidth", grid.get())), 0);
  EXPECT_EQ(flexWidths(grid), u"0,1391,1391,1391,1391");
  EXPECT_EQ(result(ocx.call(u"SizeGridFromWidth", grid.get(), 2)), 0);
  EXPECT_EQ(flexWidths(grid), u"0,0,1391,1391,1391");
  resetWidths(grid);
  EXPECT_EQ(result(ocx.call(u"SizeGridFromWidth", grid.get(), 0)), 0);  // hides nothing; the last keeps its width
  EXPECT_EQ(flexWidths(grid), u"1391,1391,1391,1391,960");
  // More columns to hide than the grid has: the grid's own error, after the real columns were hidden.
  EXPECT_EQ(result(ocx.call(u"SizeGridFromWidth", grid.get(), 7)), errc::InvalidPropertyArrayIndex);
  EXPECT_EQ(flexWidths(grid), u"0,0,0,0,0");
  EXPECT_EQ(result(ocx.call(u"SizeGridFromWidth", grid.get(), -1)), errc::InvalidPropertyArrayIndex);
  EXPECT_EQ(result(ocx.call(u"SizeGridFromWidth", grid.get(), u"two")), errc::TypeMismatch);
  // The host's edge metric.
  auto metrics = std::make_shared<host::HeadlessSystemMetrics>();
  metrics->set(host::SM_CXEDGE, 10);
  host::setSystemMetrics(metrics);
  EXPECT_EQ(result(ocx.call(u"SizeGridFromWidth", grid.get())), 0);
  EXPECT_EQ(flexWidths(grid), u"0,1331,1331,1331,1331");  // (6000 - 375 - 300) / 4 = 1331.25
  metrics->set(host::SM_CXEDGE, 2000000000);  // 2 x edge x tppX leaves 32 bits
  EXPECT_EQ(result(ocx.call(u"SizeGridFromWidth", grid.get())), errc::Overflow);
  // One column: M = 0.
  metrics->set(host::SM_CXEDGE, 2);
  grid.put(u"Cols", Variant(1));
  EXPECT_EQ(result(ocx.call(u"SizeGridFromWidth", grid.get())), errc::DivisionByZero);
  // A data grid: (4000 - 64 x 15) / 2 = 1520, no edge.
  const Object data = control(form, u"grdData");
  EXPECT_EQ(result(ocx.call(u"SizeGridFromWidth", data.get())), 0);
  EXPECT_EQ(dataWidths(data), u"0,1520,1520");
  EXPECT_EQ(result(ocx.call(u"SizeGridFromWidth", control(form, u"txtNoGrid").get(), 2)), 0);
}

TEST_F(OcxGrids, SizeGridFromPanelsCopiesPanelWidths) {
  const Object form = formObject(host::loadFormText(R"(form frmPanels {
  MSFlexGrid grdLines {
    Cols = 4
    HighLight = 1
  }
  Panel pnlHead[1] {
    Width = 1000
  }
  Panel pnlHead[2] {
    Width = 1500.5
  }
  Panel pnlHead[3] {
    Width = 2000
  }
}
)"));
  const Object grid = control(form, u"grdLines");
  const Object panels = control(form, u"pnlHead");
  ocx.call(u"SizeGridFromPanels", grid.get(), panels.get(), std::int16_t{1});
  EXPECT_EQ(flexWidths(grid), u"0,1000,1500,2000");  // the grid keeps whole twips, half to even
  EXPECT_EQ(toInt32(grid.get(u"HighLight")), 0);
  // No handling: a missing panel fails the call after the columns before it were set.
  grid.put(u"Cols", Variant(5));
  EXPECT_EQ(errorOf([&] { ocx.call(u"SizeGridFromPanels", grid.get(), panels.get(), std::int16_t{1}); }), errc::ControlArrayElementMissing);
  EXPECT_EQ(flexWidths(grid), u"0,1000,1500,2000,960");
}

TEST_F(OcxGrids, SizeGridFormPlacesTheGridAndItsCompanions) {
  const Object form = formObject(host::loadFormText(R"(form frmList {
  Width = 9000
  Height = 6000
  MSFlexGrid grdList {
  }
  Label lblHeading {
    Height = 315
  }
  CommandButton cmdOk {
    Width = 1200
  }
  CommandButton cmdCancel {
    Width = 1200
  }
  CommandButton cmdFind {
    Width = 900
    Height = 300
  }
  CommandButton cmdOther {
    Left = 77
  }
}
)"));
  const Object grid = control(form, u"grdList");
  const auto at = [&](const char16_t* name) {
    const Object c = control(form, name);
    return toText(c.get(u"Left")) + u"," + toText(c.get(u"Top")) + u"," + toText(c.get(u"Width")) + u"," +
           toText(c.get(u"Height"));
  };
  EXPECT_EQ(result(ocx.call(u"SizeGridForm", grid.get())), 0);
  EXPECT_EQ(at(u"grdList"), u"12,300,8880,4980");
  const auto c = [&](const char16_t* name) { return Variant(control(form, name).get()); };
  EXPECT_EQ(result(ocx.call(u"SizeGridForm", grid.get(), c(u"lblHeading"), u"Heading", c(u"cmdOk"), u"BOTTOMRIGHT",
                            c(u"cmdCancel"), u"bottomRight", c(u"cmdFind"), u"TopRight", c(u"cmdOther"), u"HEADING ")),
            0);
  EXPECT_EQ(at(u"lblHeading"), u"12,-15,8880,315");
  EXPECT_EQ(at(u"cmdOk"), u"7668,5304,1200," + toText(control(form, u"cmdOk").get(u"Height")));
  EXPECT_EQ(at(u"cmdCancel"), u"6444,5304,1200," + toText(control(form, u"cmdCancel").get(u"Height")));
  EXPECT_EQ(at(u"cmdFind"), u"7968,0,900,300");  // 8892 - 924, just above the grid
  EXPECT_EQ(toDouble(control(form, u"cmdOther").get(u"Left")), 77);  // a word with a blank is no word

  // An odd list: the pairs before are placed, then error 9.
  control(form, u"cmdOk").put(u"Top", Variant(0));
  EXPECT_EQ(result(ocx.call(u"SizeGridForm", grid.get(), c(u"cmdOk"), u"BOTTOMRIGHT", c(u"cmdCancel"))), errc::SubscriptOutOfRange);
  EXPECT_EQ(toDouble(control(form, u"cmdOk").get(u"Top")), 5304);
  EXPECT_EQ(result(ocx.call(u"SizeGridForm", grid.get(), u"cmdOk", u"HEADING")), errc::ObjectRequired);
  EXPECT_EQ(result(ocx.call(u"SizeGridForm", grid.get(), grid.get(), u"TOPRIGHT")), 0);
  // The row offset is 16-bit: (b + 1) x (Width + 24) overflows.
  control(form, u"cmdOk").put(u"Width", Variant(20000));
  EXPECT_EQ(result(ocx.call(u"SizeGridForm", grid.get(), c(u"cmdOk"), u"BOTTOMRIGHT", c(u"cmdOk"), u"BOTTOMRIGHT")),
            6);
}

}  // namespace
}  // namespace tarnwick
