#include "../automation/ErrorOf.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/host/Form.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tarnwick::host {
namespace {

using testing::errorOf;

TEST(FlexGrid, EveryMemberByName) {
  ComPtr<Form> form = Form::create(u"frmGrid");
  for (ControlKind kind : {ControlKind::MSFlexGrid, ControlKind::Grid}) {
    const Object g(static_cast<IDispatch*>(&form->add(kind, kind == ControlKind::Grid ? u"grdOld" : u"grdNew")));
    EXPECT_EQ(toInt32(g.get(u"Rows")), 2);
    EXPECT_EQ(toInt32(g.get(u"Cols")), 2);
    g.put(u"Cols", Variant(3));
    g.put(u"Rows", Variant(1));
    g.put(u"FixedRows", Variant(1));
    g.put(u"FixedCols", Variant(0));
    g.put(u"TextMatrix", {Variant(0), Variant(0)}, Variant(u"Item"));
    g.put(u"TextArray", {Variant(1)}, Variant(u"Qty"));  // cell = row * Cols + column
    g.put(u"TextArray", {Variant(2)}, Variant(u"Price"));
    g.call(u"AddItem", u"Pen\t2\t1.50");
    g.call(u"AddItem", u"Ink\t1");                      // missing cells stay empty
    g.call(u"AddItem", u"Pad\t5\t0.99\textra", 1);       // before row 1; surplus cells dropped
    EXPECT_EQ(toInt32(g.get(u"Rows")), 4);
    EXPECT_EQ(g.get(u"TextMatrix", {Variant(1), Variant(0)}).text(), u"Pad");
    EXPECT_EQ(g.get(u"TextMatrix", {Variant(2), Variant(2)}).text(), u"1.50");
    EXPECT_EQ(g.get(u"TextMatrix", {Variant(3), Variant(2)}).text(), u"");
    EXPECT_EQ(g.get(u"TextArray", {Variant(5)}).text(), u"0.99");
    g.put(u"Row", Variant(2));
    g.put(u"Col", Variant(1));
    EXPECT_EQ(g.get(u"Text").text(), u"2");
    g.put(u"Text", Variant(u"3"));
    EXPECT_EQ(g.value().text(), u"3");
    EXPECT_EQ(g.get(u"TextMatrix", {Variant(2), Variant(1)}).text(), u"3");
    g.put(u"ColWidth", {Variant(0)}, Variant(1500));
    g.put(u"ColWidth", {Variant(1)}, Variant(0));  // hidden
    g.put(u"ColWidth", {Variant(2)}, Variant(800.5));  // rounded to even: 800
    EXPECT_EQ(toInt32(g.get(u"ColWidth", {Variant(2)})), 800);
    EXPECT_EQ(toInt32(g.get(u"ColPos", {Variant(2)})), 1500);
    EXPECT_EQ(toInt32(g.get(u"RowHeight", {Variant(0)})), 240);
    g.put(u"RowHeight", {Variant(1)}, Variant(300));
    EXPECT_EQ(toInt32(g.get(u"RowPos", {Variant(2)})), 540);
    g.put(u"HighLight", Variant(0));
    EXPECT_EQ(toInt32(g.get(u"HighLight")), 0);
    g.call(u"RemoveItem", 1);
    EXPECT_EQ(g.get(u"TextMatrix", {Variant(1), Variant(0)}).text(), u"Pen");
    g.put(u"Rows", Variant(1));  // back to the heading alone
    EXPECT_EQ(toInt32(g.get(u"Row")), 0);
    EXPECT_EQ(g.get(u"TextMatrix", {Variant(0), Variant(2)}).text(), u"Price");

    // Out of range: 381 for rows, columns and cells; 380 for values.
    EXPECT_EQ(errorOf([&] { g.get(u"TextMatrix", {Variant(1), Variant(0)}); }), errc::InvalidPropertyArrayIndex);
    EXPECT_EQ(errorOf([&] { g.get(u"TextMatrix", {Variant(0), Variant(-1)}); }), errc::InvalidPropertyArrayIndex);
    EXPECT_EQ(errorOf([&] { g.put(u"TextArray", {Variant(3)}, Variant(u"x")); }), errc::InvalidPropertyArrayIndex);
    EXPECT_EQ(errorOf([&] { g.get(u"ColWidth", {Variant(3)}); }), errc::InvalidPropertyArrayIndex);
    EXPECT_EQ(errorOf([&] { g.get(u"ColPos", {Variant(-1)}); }), errc::InvalidPropertyArrayIndex);
    EXPECT_EQ(errorOf([&] { g.put(u"Row", Variant(5)); }), errc::InvalidPropertyArrayIndex);
    EXPECT_EQ(errorOf([&] { g.put(u"Col", Variant(3)); }), errc::InvalidPropertyArrayIndex);
    EXPECT_EQ(errorOf([&] { g.call(u"AddItem", u"x", errc::InvalidProcedureCall); }), errc::InvalidPropertyArrayIndex);
    EXPECT_EQ(errorOf([&] { g.call(u"RemoveItem", 0); }), errc::InvalidProcedureCall);  // a fixed row
    EXPECT_EQ(errorOf([&] { g.put(u"Rows", Variant(-1)); }), errc::InvalidPropertyValue);
    EXPECT_EQ(errorOf([&] { g.put(u"Rows", Variant(0)); }), errc::InvalidPropertyValue);  // below FixedRows
    EXPECT_EQ(errorOf([&] { g.put(u"ColWidth", {Variant(0)}, Variant(-5)); }), errc::InvalidPropertyValue);
    EXPECT_EQ(errorOf([&] { g.put(u"HighLight", Variant(3)); }), errc::InvalidPropertyValue);
    EXPECT_EQ(errorOf([&] { g.put(u"FixedRows", Variant(2)); }), errc::InvalidPropertyValue);
    EXPECT_EQ(errorOf([&] { g.put(u"Cols", Variant(100000)); g.put(u"Rows", Variant(100000)); }), errc::OutOfMemory);
    EXPECT_EQ(errorOf([&] { g.get(u"TextMatrix", {Variant(0)}); }), errc::WrongArgumentCount);
    EXPECT_EQ(errorOf([&] { g.get(u"ColWidth"); }), errc::WrongArgumentCount);
    EXPECT_EQ(errorOf([&] { g.get(u"ColWidth", {Variant(u"first")}); }), errc::TypeMismatch);
    EXPECT_EQ(errorOf([&] { g.call(u"AddItem"); }), errc::WrongArgumentCount);
    EXPECT_EQ(errorOf([&] { g.get(u"Columns"); }), errc::MemberNotSupported);
  }
}

// Rows at the end take their cells in one piece, rows between others cell by
// cell; both must cut the text alike, on grids narrower and wider than a row.
TEST(FlexGrid, RowsAddedAtTheEndAndBetweenHoldTheSameCells) {
  ComPtr<Form> form = Form::create(u"frmWide");
  const Object g(static_cast<IDispatch*>(&form->add(ControlKind::MSFlexGrid, u"grdWide")));
  auto rowText = [](int cells, const std::u16string& tag) {
    std::u16string text;
    for (int c = 0; c < cells; ++c) {
      if (c > 0) text += u'\t';
      text += tag + u" cell number " + toText(Variant(c));  // beyond the short-string length
    }
    return text;
  };
  auto rowCells = [&](int row) {
    std::vector<std::u16string> cells;
    for (int c = 0; c < toInt32(g.get(u"Cols")); ++c) cells.push_back(toText(g.get(u"TextMatrix", {Variant(row), Variant(c)})));
    return cells;
  };
  for (const int cols : {0, 1, 3, 32, 33, 70}) {
    g.put(u"FixedCols", Variant(0));
    g.put(u"Cols", Variant(cols));
    g.put(u"Rows", Variant(1));
    for (const int cells : {0, 1, cols - 1, cols, cols + 1, 2 * cols + 5}) {
      if (cells < 0) continue;
      const std::u16string text = rowText(cells, u"r" + toText(Variant(cells)));
      g.call(u"AddItem", text);     // at the end
      g.call(u"AddItem", text, 1);  // before the first row added
      const int last = toInt32(g.get(u"Rows")) - 1;
      EXPECT_EQ(rowCells(last), rowCells(1)) << cols << " columns, " << cells << " cells";
      const std::vector<std::u16string> cut = rowCells(last);
      for (int c = 0; c < cols; ++c) {
        const std::u16string expected =
            c < std::max(cells, 1) && cells > 0 ? u"r" + toText(Variant(cells)) + u" cell number " + toText(Variant(c)) : u"";
        EXPECT_EQ(cut[static_cast<std::size_t>(c)], expected) << cols << " columns, " << cells << " cells, column " << c;
      }
    }
    EXPECT_EQ(toInt32(g.get(u"Rows")), 1 + 2 * (cols == 0 ? 5 : 6));
  }
  // Tabs at every place within the row, and cells of every length up to a few words.
  g.put(u"Cols", Variant(9));
  for (std::size_t shift = 0; shift < 5; ++shift) {
    std::u16string text(shift, u'-');
    std::vector<std::u16string> expected;
    for (std::size_t length = 0; length < 9; ++length) {
      expected.push_back((length == 0 ? text : u"") + std::u16string(length, static_cast<char16_t>(u'a' + length)));
      if (length > 0) text += u'\t';
      text += std::u16string(length, static_cast<char16_t>(u'a' + length));
    }
    g.call(u"AddItem", text);
    EXPECT_EQ(rowCells(toInt32(g.get(u"Rows")) - 1), expected) << shift;
  }
  // Empty pieces and a trailing tab are cells of their own.
  g.put(u"Cols", Variant(4));
  g.call(u"AddItem", u"\tb\t\t");
  EXPECT_EQ(g.get(u"TextMatrix", {Variant(toInt32(g.get(u"Rows")) - 1), Variant(1)}).text(), u"b");
  EXPECT_EQ(g.get(u"TextMatrix", {Variant(toInt32(g.get(u"Rows")) - 1), Variant(3)}).text(), u"");
}

TEST(TabStrip, TabsFromOne) {
  ComPtr<Form> form = Form::create(u"frmTabs");
  const Object strip(static_cast<IDispatch*>(&form->add(ControlKind::TabStrip, u"tabPages")));
  const Object tabs(strip.get(u"Tabs"));
  for (auto caption : {u"General", u"Lines", u"Notes"}) tabs.call(u"Add", Variant::missing(), Variant::missing(), caption);
  EXPECT_EQ(toInt32(tabs.get(u"Count")), 3);
  EXPECT_EQ(Object(tabs.call(u"Item", 1)).get(u"Caption").text(), u"General");
  const Object second(strip.get(u"Tabs", {Variant(2)}));
  second.put(u"Caption", Variant(u"Order lines"));
  EXPECT_EQ(Object(strip.get(u"Tabs", {Variant(2)})).value().text(), u"Order lines");
  EXPECT_EQ(toInt32(second.get(u"Index")), 2);
  EXPECT_TRUE(toBool(Object(strip.get(u"SelectedItem")).get(u"Selected")));  // the first tab starts selected
  second.put(u"Selected", Variant(true));
  EXPECT_EQ(toInt32(Object(strip.get(u"SelectedItem")).get(u"Index")), 2);
  EXPECT_EQ(errorOf([&] { tabs.call(u"Item", 0); }), errc::SubscriptOutOfRange);
  EXPECT_EQ(errorOf([&] { tabs.call(u"Item", 4); }), errc::SubscriptOutOfRange);
  tabs.call(u"Remove", 1);
  EXPECT_EQ(errorOf([&] { Object(tabs.call(u"Item", errc::ReturnWithoutGoSub)); }), errc::SubscriptOutOfRange);
  EXPECT_EQ(toInt32(Object(strip.get(u"SelectedItem")).get(u"Index")), 1);  // selection follows its tab
  EXPECT_EQ(errorOf([&] { strip.get(u"Text"); }), errc::MemberNotSupported);
}

}  // namespace
}  // namespace tarnwick::host
