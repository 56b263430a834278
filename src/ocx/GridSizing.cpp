// Column widths of flex grids and data grids: the grid's width shared among
// its columns, in twips as the grid reports them, with the fixed allowances
// for borders, gaps and the vertical scroll bar that the grids need.
#include "GridSizing.h"

#include "Int16Math.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/HostServices.h>
#include <tarnwick/frame/Start.h>

#include <optional>
#include <vector>

namespace tarnwick::ocx {

namespace {

// The grid kinds, told apart by the type name the host reports, in full
// and case-sensitively.
enum class GridKind { Flex, Data, Unknown };

GridKind kindOf(const Object& grid) {
  const std::u16string type = grid.typeName();
  if (type == u"MSFlexGrid" || type == u"Grid") return GridKind::Flex;
  if (type == u"DBGrid") return GridKind::Data;
  return GridKind::Unknown;
}

// One grid's columns, whichever its kind.
class GridColumns {
 public:
  GridColumns(const Object& grid, GridKind kind) : grid_(grid), kind_(kind) {
    if (kind_ == GridKind::Data) columns_ = Object(grid_.get(u"Columns"));
  }

  Int16 count() const { return Int16::of(kind_ == GridKind::Flex ? grid_.get(u"Cols") : columns_.get(u"Count")); }
  void setWidth(Int16 i, const Variant& width) const {
    if (kind_ == GridKind::Flex) grid_.put(u"ColWidth", {i.variant()}, width);
    else column(i).put(u"Width", width);
  }
  // The column's left edge: ColPos of a flex grid, Left of a data grid column.
  double position(Int16 i) const {
    return kind_ == GridKind::Flex ? toDouble(grid_.get(u"ColPos", {i.variant()})) : toDouble(column(i).get(u"Left"));
  }
  Object column(Int16 i) const { return frame::element(columns_, i.value()); }

 private:
  const Object& grid_;
  GridKind kind_;
  Object columns_;
};

// The caller's list of column widths, element i read by its own index i
// (the list is taken to start at 0; Error 9 for an index it lacks).
class WidthList {
 public:
  explicit WidthList(const Variant& list) : elements_(frame::arrayElements(list)) {
    check(SafeArrayGetLBound(list.array(), 1, &lower_));
  }
  std::int32_t upper() const noexcept { return lower_ + static_cast<std::int32_t>(elements_.size()) - 1; }
  const Variant& at(Int16 i) const {
    const std::int32_t k = i.value() - lower_;
    if (k < 0 || k >= static_cast<std::int32_t>(elements_.size())) raise(errc::SubscriptOutOfRange);
    return elements_[static_cast<std::size_t>(k)];
  }

 private:
  std::vector<Variant> elements_;
  std::int32_t lower_ = 0;
};

// The selector allowance of a data grid: the room its record selectors take
// left of the first column, plus a gap; 0 without record selectors (a Null
// RecordSelectors counts as none).
Int16 selectorAllowance(const Object& grid, const GridColumns& columns) {
  const Variant selectors = grid.get(u"RecordSelectors");
  if (selectors.isNull() || !toBool(selectors)) return Int16();
  return Int16(roundToInt16(columns.position(0_i16) - toDouble(grid.get(u"Left")) + 24));
}

void sizeColumns(const Object& grid, bool scrollBar, Int16 visibleCols, const Variant& widthArgument) {
  const GridKind kind = kindOf(grid);
  if (kind == GridKind::Unknown) return;
  const GridColumns columns(grid, kind);
  const Int16 n = columns.count();
  const bool flex = kind == GridKind::Flex;
  const Int16 selectors = flex ? Int16() : selectorAllowance(grid, columns);
  const double width = toDouble(grid.get(u"Width"));
  // What the last column leaves free for the border and the scroll bar,
  // formed when the last column is reached (an overflow there leaves the
  // columns before it set).
  const auto lastAllowance = [&](bool listed) {
    if (!flex) return 2_i16 * visibleCols + (scrollBar ? 240_i16 : 24_i16);
    return 2_i16 * visibleCols + (scrollBar ? (listed ? 316_i16 : 312_i16) : 76_i16);
  };
  const auto lastWidth = [&](Int16 i, bool listed) {
    const Int16 allowance = lastAllowance(listed);
    return Variant(width - columns.position(i) - allowance.value());
  };
  const Int16 last = n - 1_i16;

  if (widthArgument.isMissing()) {
    const double room = flex ? width - (6_i16 * visibleCols + 324_i16).value() : width - selectors.value();
    const Variant share(roundToInt16(quotient(room, n.value())));
    for (Int16 i; i < n; ++i) {
      if (flex) {
        columns.setWidth(i, i == last ? lastWidth(i, false) : share);
        continue;
      }
      // A data grid column's Left is read, as a whole number of twips,
      // before its width changes.
      const Int16 left(roundToInt16(columns.position(i)));
      if (i == last) columns.setWidth(i, Variant(width - left.value() - lastAllowance(false).value()));
      else columns.setWidth(i, share);
    }
    return;
  }

  const WidthList list(widthArgument);
  if (flex) {
    const double room = width - (6_i16 * visibleCols + 324_i16).value();
    const Variant share(roundToInt16(quotient(room, visibleCols.value())));
    for (Int16 i; i < n; ++i) {
      if (i.value() <= list.upper()) columns.setWidth(i, list.at(i));  // unchanged; 0 hides the column
      else if (i == last) columns.setWidth(i, lastWidth(i, true));
      else columns.setWidth(i, share);
    }
    return;
  }
  const Variant share(roundToInt16(quotient(width - selectors.value(), visibleCols.value())));
  // Listed widths give up an equal part of the selector allowance and gap.
  const float listReduction =
      static_cast<float>(quotient((selectors + 252_i16).value(), visibleCols.value()));
  for (Int16 i; i < n; ++i) {
    if (i.value() <= list.upper()) {
      const Variant& listed = list.at(i);
      if (toDouble(listed) == 0) columns.column(i).put(u"Visible", Variant(false));
      else columns.setWidth(i, Variant(toDouble(listed) - listReduction));
    } else {
      columns.setWidth(i, i == last ? lastWidth(i, true) : share);
    }
  }
}

// The width of a three-dimensional window edge, in pixels.
constexpr std::int32_t kEdgeMetric = 45;

void sizeFromWidth(const Object& grid, const Variant& hideArgument) {
  const GridKind kind = kindOf(grid);
  if (kind == GridKind::Unknown) return;
  const GridColumns columns(grid, kind);
  const Int16 tppX(frame::screenFactors().twipsPerPixelX);
  const Int16 m = columns.count() - 1_i16;
  const double width = toDouble(grid.get(u"Width"));
  double room = 0;
  if (kind == GridKind::Flex) {
    const std::int32_t edge = toInt32(frame::hostServices().call(u"GetSystemMetrics", kEdgeMetric));
    // 2 x edge x tppX is formed in 32 bits.
    const std::int64_t edges = std::int64_t{2} * edge * tppX.value();
    if (edges < INT32_MIN || edges > INT32_MAX) raise(errc::Overflow);
    room = width - (25_i16 * tppX).value() - static_cast<double>(edges);
  } else {
    room = width - (64_i16 * tppX).value();
  }
  const Variant share(roundToInt16(quotient(room, m.value())));
  const Variant hidden(std::int16_t{0});
  // Without a count the first column alone is hidden.
  const Int16 hide = hideArgument.isMissing() ? 1_i16 : Int16::of(hideArgument);
  Int16 i;
  for (; i < hide; ++i) columns.setWidth(i, hidden);
  const Int16 end = hide + m - 1_i16;
  for (i = hide; i <= end && i <= m; ++i) columns.setWidth(i, share);
}

}  // namespace

void sizeGridColumns(Call& call) {
  const std::int32_t number = frame::errorNumberOf([&] {
    const Object grid(call.object(0));
    const bool scrollBar = call.flag(1);
    const Int16 visibleCols(call.int16(2));
    sizeColumns(grid, scrollBar, visibleCols, call.has(3) ? call.arg(3) : Variant::missing());
  });
  call.setResult(static_cast<std::int16_t>(number));
}

void sizeGridFromWidth(Call& call) {
  const std::int32_t number = frame::errorNumberOf([&] {
    const Object grid(call.object(0));
    sizeFromWidth(grid, call.has(1) ? call.arg(1) : Variant::missing());
  });
  call.setResult(static_cast<std::int16_t>(number));
}

void sizeGridFromPanels(Call& call) {
  const Object grid(call.object(0));
  const Object panels(call.object(1));
  const Int16 first(call.int16(2));
  grid.put(u"ColWidth", {Variant(std::int16_t{0})}, Variant(std::int16_t{0}));
  const Int16 end = Int16::of(grid.get(u"Cols")) - 2_i16;
  for (Int16 i; i <= end; ++i) {
    const Object panel = frame::element(panels, (i + first).value());
    grid.put(u"ColWidth", {(i + 1_i16).variant()}, panel.get(u"Width"));
  }
  grid.put(u"HighLight", Variant(std::int16_t{0}));
}

}  // namespace tarnwick::ocx
