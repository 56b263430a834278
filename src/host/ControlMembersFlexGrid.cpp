// The members of flex grids: a table of text cells with fixed rows and
// columns, a cursor cell, and rows and columns of their own sizes.
#include "ControlMembers.h"

#include <tarnwick/automation/Convert.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace tarnwick::host::impl {

namespace {

// The largest grid the host builds: beyond it a change of Rows or Cols is
// refused with error 7 rather than exhausting memory.
constexpr std::size_t kMaxCells = 50'000'000;

void checkShape(std::size_t rows, std::size_t cols) {
  if (cols != 0 && rows > kMaxCells / cols) raise(errc::OutOfMemory);
}

// Keeps Row, Col, FixedRows and FixedCols inside a grid of the present shape.
void clampCursor(Control& self) {
  ControlState& s = self.state();
  const auto rows = static_cast<std::int32_t>(s.rows());
  const auto cols = static_cast<std::int32_t>(s.cols());
  self.store(Property::FixedRows, Variant(std::min(intOf(s, Property::FixedRows), rows)));
  self.store(Property::FixedCols, Variant(std::min(intOf(s, Property::FixedCols), cols)));
  self.store(Property::Row, Variant(std::clamp(intOf(s, Property::Row), 0, std::max(rows - 1, 0))));
  self.store(Property::Col, Variant(std::clamp(intOf(s, Property::Col), 0, std::max(cols - 1, 0))));
}

void flexShape(Control& self, Call& call, bool rows) {
  call.expect(0);
  ControlState& s = self.state();
  if (!call.isPut()) {
    call.setResult(Variant(static_cast<std::int32_t>(rows ? s.rows() : s.cols())));
    return;
  }
  const std::int32_t n = longValue(call.value());
  const std::int32_t fixed = intOf(s, rows ? Property::FixedRows : Property::FixedCols);
  if (n < 0 || n < fixed) raise(errc::InvalidPropertyValue);
  const auto count = static_cast<std::size_t>(n);
  checkShape(rows ? count : s.rows(), rows ? s.cols() : count);
  if (rows) s.resize(count, s.cols());
  else s.resize(s.rows(), count);
  clampCursor(self);
}

void flexFixed(Control& self, Call& call, bool rows) {
  call.expect(0);
  const Property p = rows ? Property::FixedRows : Property::FixedCols;
  if (!call.isPut()) {
    call.setResult(Variant(intOf(self.state(), p)));
    return;
  }
  const std::int32_t n = longValue(call.value());
  const std::size_t limit = rows ? self.state().rows() : self.state().cols();
  if (n < 0 || static_cast<std::size_t>(n) > limit) raise(errc::InvalidPropertyValue);
  self.store(p, Variant(n));
}

void flexCursor(Control& self, Call& call, bool row) {
  call.expect(0);
  const Property p = row ? Property::Row : Property::Col;
  if (!call.isPut()) {
    call.setResult(Variant(intOf(self.state(), p)));
    return;
  }
  const std::int32_t n = longValue(call.value());
  const std::size_t limit = row ? self.state().rows() : self.state().cols();
  if (n < 0 || static_cast<std::size_t>(n) >= limit) raise(errc::InvalidPropertyArrayIndex);
  self.store(p, Variant(n));
}

// ColWidth and RowHeight: -1 restores the default size; 0 hides the column or row.
void flexSize(Control& self, Call& call, bool row) {
  call.expect(1);
  ControlState& s = self.state();
  const std::size_t i = indexIn(call, 0, row ? s.rows() : s.cols(), errc::InvalidPropertyArrayIndex);
  if (!call.isPut())
    return call.setResult(Variant(static_cast<std::int32_t>(row ? s.rowHeight(i) : s.colWidth(i))));
  const std::int32_t size = longValue(call.value());
  if (size < -1) raise(errc::InvalidPropertyValue);
  if (row) s.setRowHeight(i, size == -1 ? kDefaultRowHeight : size);
  else s.setColWidth(i, size == -1 ? kDefaultColWidth : size);
}

// ColPos and RowPos: the sizes of the columns or rows before this one.
void flexPosition(Control& self, Call& call, bool row) {
  call.expect(1);
  const ControlState& s = self.state();
  const std::size_t at = indexIn(call, 0, row ? s.rows() : s.cols(), errc::InvalidPropertyArrayIndex);
  double pos = 0;
  for (std::size_t i = 0; i < at; ++i) pos += row ? s.rowHeight(i) : s.colWidth(i);
  call.setResult(Variant(static_cast<std::int32_t>(pos)));
}

// AddItem on a flex grid: a new row at `index` (default: the end), its
// cells taken from the text split at tab characters; pieces beyond the last
// column are dropped.
void flexAddItem(Control& self, Call& call) {
  call.expect(1, 2);
  ControlState& s = self.state();
  // A string argument is read in place.
  std::u16string converted;
  std::u16string_view text;
  if (const Variant& row = call.arg(0); row.type() == VT_BSTR) {
    text = row.text();
  } else {
    converted = call.text(0);
    text = converted;
  }
  std::size_t at = s.rows();
  if (call.has(1)) {
    const std::int32_t i = call.int32(1);
    if (i < 0 || static_cast<std::size_t>(i) > s.rows()) raise(errc::InvalidPropertyArrayIndex);
    at = static_cast<std::size_t>(i);
  }
  addFlexRow(self, text, at);
}

const ControlMember kFlexGridMembers[] = {
    {u"AddItem", idAddItem, kMethod, kFlex, flexAddItem},
    {u"RemoveItem", idRemoveItem, kMethod, kFlex,
     [](Control& self, Call& call) {
       call.expect(1);
       ControlState& s = self.state();
       const std::size_t r = indexIn(call, 0, s.rows(), errc::InvalidPropertyArrayIndex);
       if (r < static_cast<std::size_t>(intOf(s, Property::FixedRows))) raise(errc::InvalidProcedureCall);
       s.removeRow(r);
       clampCursor(self);
     }},
    {u"Clear", idClear, kMethod, kFlex,
     [](Control& self, Call& call) {
       call.expect(0);
       ControlState& s = self.state();
       for (std::size_t r = 0; r < s.rows(); ++r)
         for (std::size_t c = 0; c < s.cols(); ++c) s.setCell(r, c, {});
     }},
    {u"Cols", idCols, kProperty, kFlex, [](Control& self, Call& call) { flexShape(self, call, false); }},
    {u"Rows", idRows, kProperty, kFlex, [](Control& self, Call& call) { flexShape(self, call, true); }},
    {u"FixedRows", idFixedRows, kProperty, kFlex, [](Control& self, Call& call) { flexFixed(self, call, true); }},
    {u"FixedCols", idFixedCols, kProperty, kFlex, [](Control& self, Call& call) { flexFixed(self, call, false); }},
    {u"Row", idRow, kProperty, kFlex, [](Control& self, Call& call) { flexCursor(self, call, true); }},
    {u"Col", idCol, kProperty, kFlex, [](Control& self, Call& call) { flexCursor(self, call, false); }},
    {u"ColWidth", idColWidth, kProperty, kFlex, [](Control& self, Call& call) { flexSize(self, call, false); }},
    {u"ColPos", idColPos, kGet, kFlex, [](Control& self, Call& call) { flexPosition(self, call, false); }},
    {u"RowHeight", idRowHeight, kProperty, kFlex, [](Control& self, Call& call) { flexSize(self, call, true); }},
    {u"RowPos", idRowPos, kGet, kFlex, [](Control& self, Call& call) { flexPosition(self, call, true); }},
    {u"TextMatrix", idTextMatrix, kProperty, kFlex,
     [](Control& self, Call& call) {
       call.expect(2);
       ControlState& s = self.state();
       const std::size_t r = indexIn(call, 0, s.rows(), errc::InvalidPropertyArrayIndex);
       const std::size_t c = indexIn(call, 1, s.cols(), errc::InvalidPropertyArrayIndex);
       if (!call.isPut()) return call.setResult(Variant(s.cell(r, c)));
       s.setCell(r, c, toText(call.value()));
     }},
    {u"TextArray", idTextArray, kProperty, kFlex,
     [](Control& self, Call& call) {
       call.expect(1);
       ControlState& s = self.state();
       const std::size_t i = indexIn(call, 0, s.rows() * s.cols(), errc::InvalidPropertyArrayIndex);
       const std::size_t r = i / s.cols(), c = i % s.cols();
       if (!call.isPut()) return call.setResult(Variant(s.cell(r, c)));
       s.setCell(r, c, toText(call.value()));
     }},
    {u"HighLight", idHighLight, kProperty, kFlex,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(intOf(self.state(), Property::HighLight)));
       const std::int32_t v = longValue(call.value());
       if (v < 0 || v > 2) raise(errc::InvalidPropertyValue);  // 0 never, 1 always, 2 with focus
       self.store(Property::HighLight, Variant(v));
     }},
    {u"Redraw", idRedraw, kProperty, kFlex,
     [](Control& self, Call& call) { flagProperty(self, call, Property::Redraw); }},
};

}  // namespace

std::span<const ControlMember> flexGridMembers() { return kFlexGridMembers; }

namespace {

// The first tab at or after `p`, or `end`. Four characters are tested at a
// time: a unit of (word ^ tabs) is zero where a tab stands, and subtracting
// one from each unit sets the high bit of a zero unit, of no other unit
// before it.
const char16_t* findTab(const char16_t* p, const char16_t* end) noexcept {
  constexpr std::uint64_t kTabs = 0x0009'0009'0009'0009, kOnes = 0x0001'0001'0001'0001,
                          kHighBits = 0x8000'8000'8000'8000;
  for (; end - p >= 4; p += 4) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const std::uint64_t x = word ^ kTabs;
    if (((x - kOnes) & ~x & kHighBits) != 0) break;
  }
  while (p != end && *p != u'\t') ++p;
  return p;
}

}  // namespace

void addFlexRow(Control& self, std::u16string_view text, std::size_t at) {
  ControlState& s = self.state();
  checkShape(s.rows() + 1, s.cols());
  // The pieces are views into the text, gathered here without an allocation
  // for grids of up to kInline columns.
  constexpr std::size_t kInline = 16;
  std::array<std::u16string_view, kInline> inlinePieces;
  std::vector<std::u16string_view> manyPieces;
  const std::size_t cols = s.cols();
  std::span<std::u16string_view> pieces(inlinePieces.data(), std::min(cols, kInline));
  if (cols > kInline) {
    manyPieces.resize(cols);
    pieces = manyPieces;
  }
  const char16_t* p = text.data();
  const char16_t* const end = p + text.size();
  std::size_t count = 0;
  while (count < cols) {
    const char16_t* const tab = findTab(p, end);
    pieces[count++] = std::u16string_view(p, static_cast<std::size_t>(tab - p));
    if (tab == end) break;
    p = tab + 1;
  }
  s.insertFilledRow(at, pieces.first(count));
}

}  // namespace tarnwick::host::impl
