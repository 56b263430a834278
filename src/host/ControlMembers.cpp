// The members of every kind of control, in one table: a row gives a
// member's name, dispatch id, access and handler, and a second table gives
// the kinds that have it. Handlers hold the rules and act on the control's
// state only, so every host that implements ControlState shares them.
#include "HostInternal.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/host/Columns.h>
#include <tarnwick/host/Form.h>
#include <tarnwick/host/Tabs.h>

#include <cfloat>
#include <cmath>

namespace tarnwick::host {

namespace {

using Mask = std::uint32_t;
constexpr Mask bit(ControlKind k) { return Mask{1} << static_cast<unsigned>(k); }
using K = ControlKind;
constexpr Mask kAll = (Mask{1} << kControlKindCount) - 1;
constexpr Mask kMenu = bit(K::Menu);
constexpr Mask kPlaced = kAll & ~kMenu;  // controls with a place on the form
constexpr Mask kFlex = bit(K::MSFlexGrid) | bit(K::Grid);
constexpr Mask kDBGrid = bit(K::DBGrid);
constexpr Mask kData = bit(K::Data);
constexpr Mask kTabStrip = bit(K::TabStrip);
constexpr Mask kList = bit(K::ComboBox) | bit(K::ListBox);
constexpr Mask kFocusable = bit(K::TextBox) | bit(K::ComboBox) | bit(K::CheckBox) | bit(K::CommandButton) |
                            bit(K::ListBox) | bit(K::DBCombo) | kTabStrip | kFlex | kDBGrid;
constexpr Mask kBound = bit(K::TextBox) | bit(K::ComboBox) | bit(K::CheckBox) | bit(K::Label) | bit(K::ListBox) |
                        bit(K::DBCombo);
constexpr Mask kText = bit(K::TextBox) | bit(K::ComboBox) | bit(K::ListBox) | bit(K::DBCombo) | kFlex | kDBGrid;
constexpr Mask kCaption = bit(K::Label) | bit(K::CheckBox) | bit(K::CommandButton) | bit(K::Frame) | kMenu | kData |
                          bit(K::Panel);
constexpr Mask kSelection = bit(K::TextBox) | bit(K::ComboBox) | bit(K::DBCombo);
constexpr Mask kValue = bit(K::CheckBox) | bit(K::CommandButton);

// Dispatch ids of the members. The default member (id 0) is mapped to the
// kind's own (defaultMemberOf).
enum Id : DISPID {
  idName = 1, idTag, idIndex, idEnabled, idVisible, idTop, idLeft, idWidth, idHeight, idText, idCaption,
  idToolTipText, idDataField, idDataSource, idParent, idContainer, idSetFocus, idZOrder, idMove, idRefresh,
  idSelStart, idSelLength, idSelText, idMaxLength, idLocked, idValue, idStyle, idList, idListCount, idListIndex,
  idAddItem, idRemoveItem, idClear, idBoundText, idListField, idBoundColumn, idRowSource, idChecked, idTabs,
  idSelectedItem, idCols, idRows, idFixedRows, idFixedCols, idRow, idCol, idColWidth, idColPos, idRowHeight,
  idRowPos, idTextMatrix, idTextArray, idHighLight, idRedraw, idColumns, idRecordSelectors, idColumnHeaders,
  idVisibleRows, idSelStartCol, idSelEndCol, idSelBookmarks, idBookmark, idRecordset, idRecordSource,
  idDatabaseName, idRecordsetType, idDatabase, idApproxCount, idUpdateControls,
};

// --- value helpers ---------------------------------------------------------

float single(const Variant& v) {
  const double d = toDouble(v);
  if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) raise(errc::Overflow);
  return static_cast<float>(d);
}

// A Long property: the nearest integer, an exact half to the even one.
std::int32_t longValue(const Variant& v) {
  const double d = std::nearbyint(toDouble(v));
  if (!(d >= -2147483648.0 && d <= 2147483647.0)) raise(errc::Overflow);
  return static_cast<std::int32_t>(d);
}

std::int32_t intOf(const ControlState& s, Property p) {
  const Variant v = s.get(p);
  return v.isEmpty() ? 0 : toInt32(v);
}
bool flagOf(const ControlState& s, Property p) {
  const Variant v = s.get(p);
  return !v.isEmpty() && !v.isNull() && toBool(v);
}

// An index argument checked against [0, count); error `number` outside.
std::size_t indexIn(Call& call, std::size_t arg, std::size_t count, std::int32_t number) {
  const std::int32_t i = call.int32(arg);
  if (i < 0 || static_cast<std::size_t>(i) >= count) raise(number);
  return static_cast<std::size_t>(i);
}

// --- shared member shapes --------------------------------------------------

void textProperty(Control& self, Call& call, Property p) {
  call.expect(0);
  if (call.isPut()) self.store(p, Variant(toText(call.value())));
  else call.setResult(self.state().get(p));
}

void flagProperty(Control& self, Call& call, Property p) {
  call.expect(0);
  if (call.isPut()) {
    const Variant v = call.value().value();
    // A Null flag counts as false.
    self.store(p, Variant(v.isNull() ? false : toBool(v)));
  } else {
    call.setResult(Variant(flagOf(self.state(), p)));
  }
}

void geometry(Control& self, Call& call, Property p) {
  call.expect(0);
  if (call.isPut()) {
    const float v = single(call.value());
    if ((p == Property::Width || p == Property::Height) && v < 0) raise(errc::InvalidPropertyValue);
    self.store(p, Variant(v));
  } else {
    call.setResult(self.state().get(p));
  }
}

void designOnly(Control& self, Call& call) {
  if (call.isPut() && !self.designMode()) raise(errc::SetNotSupportedAtRuntime);
}

// --- focus -----------------------------------------------------------------

// A control takes the focus only when it, every container around it and
// its form are visible and enabled, and the form is shown.
bool canTakeFocus(const Control& c) {
  const Form* form = c.form();
  if (!form || !form->shown()) return false;
  if (!flagOf(const_cast<Form*>(form)->state(), Property::Enabled)) return false;
  for (const Control* at = &c; at; at = at->container())
    if (!flagOf(at->state(), Property::Visible) || !flagOf(at->state(), Property::Enabled)) return false;
  return true;
}

void setFocus(Control& self, Call& call) {
  call.expect(0);
  if (!canTakeFocus(self)) raise(errc::InvalidProcedureCall);
  self.form()->setActiveControl(&self);
  self.state().focus();
}

// A control that loses its visibility or its enabled state gives up the focus.
void dropFocusIfUnable(Control& self) {
  if (Form* form = self.form(); form && form->activeControl() == &self && !canTakeFocus(self))
    form->setActiveControl(nullptr);
}

// --- lists -----------------------------------------------------------------

// The item that matches `text` without regard to letter case, or -1.
std::int32_t findItem(const ControlState& s, std::u16string_view text) {
  for (std::size_t i = 0; i < s.itemCount(); ++i)
    if (equalsIgnoreCase(s.item(i), text)) return static_cast<std::int32_t>(i);
  return -1;
}

void selectItem(Control& self, std::int32_t index) {
  ControlState& s = self.state();
  self.store(Property::ListIndex, Variant(index));
  if (self.kind() == K::ComboBox)
    self.store(Property::Text, Variant(index >= 0 ? s.item(static_cast<std::size_t>(index)) : std::u16string()));
}

// --- flex grids ------------------------------------------------------------

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

// AddItem on a flex grid: a new row at `index` (default: the end), its
// cells taken from the text split at tab characters; pieces beyond the last
// column are dropped.
void flexAddItem(Control& self, Call& call) {
  call.expect(1, 2);
  ControlState& s = self.state();
  const std::u16string text = call.text(0);
  std::size_t at = s.rows();
  if (call.has(1)) {
    const std::int32_t i = call.int32(1);
    if (i < 0 || static_cast<std::size_t>(i) > s.rows()) raise(errc::InvalidPropertyArrayIndex);
    at = static_cast<std::size_t>(i);
  }
  checkShape(s.rows() + 1, s.cols());
  s.insertRow(at);
  std::size_t col = 0, start = 0;
  while (col < s.cols()) {
    const std::size_t tab = text.find(u'\t', start);
    s.setCell(at, col++, text.substr(start, tab == std::u16string::npos ? std::u16string::npos : tab - start));
    if (tab == std::u16string::npos) break;
    start = tab + 1;
  }
}

// --- text ------------------------------------------------------------------

std::u16string textOf(const Control& self) {
  const ControlState& s = self.state();
  switch (self.kind()) {
    case K::ListBox: {
      const std::int32_t i = intOf(s, Property::ListIndex);
      return i >= 0 && static_cast<std::size_t>(i) < s.itemCount() ? s.item(static_cast<std::size_t>(i))
                                                                    : std::u16string();
    }
    case K::MSFlexGrid:
    case K::Grid: {
      const auto r = static_cast<std::size_t>(intOf(s, Property::Row));
      const auto c = static_cast<std::size_t>(intOf(s, Property::Col));
      return r < s.rows() && c < s.cols() ? s.cell(r, c) : std::u16string();
    }
    case K::DBGrid: return impl::gridText(const_cast<Control&>(self));
    default: {
      const Variant v = s.get(Property::Text);
      return v.isEmpty() ? std::u16string() : toText(v);
    }
  }
}

void setTextOf(Control& self, std::u16string_view text) {
  ControlState& s = self.state();
  switch (self.kind()) {
    case K::ComboBox:
      if (intOf(s, Property::Style) == 2) {
        // A drop-down list shows only texts from its list: any other text,
        // the empty one included, is refused.
        const std::int32_t i = findItem(s, text);
        if (i < 0) raise(errc::PropertyReadOnly, u"Text");
        selectItem(self, i);
      } else {
        std::int32_t exact = -1;
        for (std::size_t i = 0; i < s.itemCount() && exact < 0; ++i)
          if (s.item(i) == text) exact = static_cast<std::int32_t>(i);
        self.store(Property::ListIndex, Variant(exact));
        self.store(Property::Text, Variant(text));
      }
      return;
    case K::ListBox: {
      const std::int32_t i = text.empty() ? -1 : findItem(s, text);
      if (i < 0 && !text.empty()) raise(errc::PropertyReadOnly, u"Text");
      const std::u16string before = textOf(self);
      self.store(Property::ListIndex, Variant(i));
      if (before != textOf(self)) self.notifyChanged(Property::Text);
      return;
    }
    case K::MSFlexGrid:
    case K::Grid: {
      const auto r = static_cast<std::size_t>(intOf(s, Property::Row));
      const auto c = static_cast<std::size_t>(intOf(s, Property::Col));
      if (r >= s.rows() || c >= s.cols()) raise(errc::InvalidPropertyArrayIndex);
      if (s.cell(r, c) == text) return;
      s.setCell(r, c, std::u16string(text));
      self.notifyChanged(Property::Text);
      return;
    }
    case K::DBGrid: impl::setGridText(self, text); return;
    default: self.store(Property::Text, Variant(text)); return;
  }
}

void textMember(Control& self, Call& call) {
  call.expect(0);
  if (call.isPut()) setTextOf(self, toText(call.value()));
  else call.setResult(Variant(textOf(self)));
}

// --- selection of text -----------------------------------------------------

void selection(Control& self, Call& call, bool start) {
  call.expect(0);
  ControlState& s = self.state();
  const auto length = static_cast<std::int32_t>(textOf(self).size());
  std::int32_t selStart = std::min(intOf(s, Property::SelStart), length);
  std::int32_t selLength = std::min(intOf(s, Property::SelLength), length - selStart);
  if (!call.isPut()) {
    call.setResult(Variant(start ? selStart : selLength));
    return;
  }
  const std::int32_t n = longValue(call.value());
  if (n < 0) raise(errc::InvalidPropertyValue);
  if (start) {
    // Moving the start collapses the selection there, as typing would.
    self.store(Property::SelStart, Variant(std::min(n, length)));
    self.store(Property::SelLength, Variant(0));
  } else {
    self.store(Property::SelStart, Variant(selStart));
    self.store(Property::SelLength, Variant(std::min(n, length - selStart)));
  }
}

void selText(Control& self, Call& call) {
  call.expect(0);
  ControlState& s = self.state();
  std::u16string text = textOf(self);
  const auto length = text.size();
  const auto selStart = std::min<std::size_t>(static_cast<std::size_t>(intOf(s, Property::SelStart)), length);
  const auto selLength =
      std::min<std::size_t>(static_cast<std::size_t>(intOf(s, Property::SelLength)), length - selStart);
  if (!call.isPut()) {
    call.setResult(Variant(std::u16string_view(text).substr(selStart, selLength)));
    return;
  }
  const std::u16string inserted = toText(call.value());
  text.replace(selStart, selLength, inserted);
  setTextOf(self, text);
  self.store(Property::SelStart, Variant(static_cast<std::int32_t>(selStart + inserted.size())));
  self.store(Property::SelLength, Variant(0));
}

// --- the table -------------------------------------------------------------

const Member<Control> kMembers[] = {
    {u"Name", idName, kProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       // A control's name is given when it is placed.
       if (call.isPut()) raise(errc::SetNotSupportedAtRuntime);
       call.setResult(Variant(self.name()));
     }},
    {u"Tag", idTag, kProperty, [](Control& self, Call& call) { textProperty(self, call, Property::Tag); }},
    {u"Index", idIndex, kGet,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!self.index()) raise(errc::NotAnArray);
       call.setResult(Variant(*self.index()));
     }},
    {u"Enabled", idEnabled, kProperty,
     [](Control& self, Call& call) {
       flagProperty(self, call, Property::Enabled);
       if (call.isPut()) dropFocusIfUnable(self);
     }},
    {u"Visible", idVisible, kProperty,
     [](Control& self, Call& call) {
       flagProperty(self, call, Property::Visible);
       if (call.isPut()) dropFocusIfUnable(self);
     }},
    {u"Top", idTop, kProperty, [](Control& self, Call& call) { geometry(self, call, Property::Top); }},
    {u"Left", idLeft, kProperty, [](Control& self, Call& call) { geometry(self, call, Property::Left); }},
    {u"Width", idWidth, kProperty, [](Control& self, Call& call) { geometry(self, call, Property::Width); }},
    {u"Height", idHeight, kProperty, [](Control& self, Call& call) { geometry(self, call, Property::Height); }},
    {u"Text", idText, kProperty, textMember},
    {u"Caption", idCaption, kProperty, [](Control& self, Call& call) { textProperty(self, call, Property::Caption); }},
    {u"ToolTipText", idToolTipText, kProperty,
     [](Control& self, Call& call) { textProperty(self, call, Property::ToolTipText); }},
    {u"DataField", idDataField, kProperty,
     [](Control& self, Call& call) { textProperty(self, call, Property::DataField); }},
    {u"DataSource", idDataSource, kObjectProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) {
         const Variant v = self.state().get(Property::DataSource);
         call.setResult(v.isEmpty() ? Variant(static_cast<IDispatch*>(nullptr)) : v);
         return;
       }
       // Only a data grid is bound again while the form runs.
       if (self.kind() != K::DBGrid) designOnly(self, call);
       const Variant v = call.value().value();
       if (v.valueType() != VT_DISPATCH) raise(errc::ObjectRequired);
       self.store(Property::DataSource, v);
       if (self.kind() == K::DBGrid && !self.designMode()) impl::rebindGrid(self);
     }},
    {u"Parent", idParent, kGet,
     [](Control& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<IDispatch*>(self.form())));
     }},
    {u"Container", idContainer, kGet,
     [](Control& self, Call& call) {
       call.expect(0);
       if (Control* c = self.container()) call.setResult(Variant(static_cast<IDispatch*>(c)));
       else call.setResult(Variant(static_cast<IDispatch*>(self.form())));
     }},
    {u"SetFocus", idSetFocus, kMethod, setFocus},
    {u"ZOrder", idZOrder, kMethod,
     [](Control& self, Call& call) {
       call.expect(0, 1);
       const std::int16_t position = call.has(0) ? call.int16(0) : 0;
       if (position != 0 && position != 1) raise(errc::InvalidProcedureCall);
       self.state().raise(position == 0);
     }},
    {u"Move", idMove, kMethod,
     [](Control& self, Call& call) {
       call.expect(1, 4);
       const float left = single(call.arg(0));
       float values[3] = {};
       for (std::size_t i = 1; i < 4; ++i)
         if (call.has(i)) values[i - 1] = single(call.arg(i));
       if ((call.has(2) && values[1] < 0) || (call.has(3) && values[2] < 0)) raise(errc::InvalidPropertyValue);
       self.store(Property::Left, Variant(left));
       if (call.has(1)) self.store(Property::Top, Variant(values[0]));
       if (call.has(2)) self.store(Property::Width, Variant(values[1]));
       if (call.has(3)) self.store(Property::Height, Variant(values[2]));
     }},
    {u"Refresh", idRefresh, kMethod,
     [](Control& self, Call& call) {
       call.expect(0);
       if (self.kind() == K::Data) impl::refreshData(self);
       else if (self.kind() == K::DBGrid) impl::rebindGrid(self);
     }},
    {u"SelStart", idSelStart, kProperty, [](Control& self, Call& call) { selection(self, call, true); }},
    {u"SelLength", idSelLength, kProperty, [](Control& self, Call& call) { selection(self, call, false); }},
    {u"SelText", idSelText, kProperty, selText},
    {u"MaxLength", idMaxLength, kProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(intOf(self.state(), Property::MaxLength)));
       const std::int32_t n = longValue(call.value());
       if (n < 0) raise(errc::InvalidPropertyValue);
       self.store(Property::MaxLength, Variant(n));
     }},
    {u"Locked", idLocked, kProperty, [](Control& self, Call& call) { flagProperty(self, call, Property::Locked); }},
    {u"Value", idValue, kProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       if (self.kind() == K::CommandButton) {
         if (!call.isPut()) return call.setResult(Variant(false));
         // Setting True presses the button: its handlers run, and it springs back.
         if (toBool(call.value())) self.notifyChanged(Property::Value);
         return;
       }
       if (!call.isPut()) return call.setResult(Variant(static_cast<std::int16_t>(intOf(self.state(), Property::Value))));
       const std::int16_t v = toInt16(call.value());
       if (v < 0 || v > 2) raise(errc::InvalidPropertyValue);  // 0 clear, 1 ticked, 2 greyed
       self.store(Property::Value, Variant(v));
     }},
    {u"Style", idStyle, kProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       designOnly(self, call);
       if (!call.isPut()) return call.setResult(Variant(static_cast<std::int16_t>(intOf(self.state(), Property::Style))));
       const std::int16_t v = toInt16(call.value());
       if (v < 0 || v > 2) raise(errc::InvalidPropertyValue);  // 0 drop-down combo, 1 simple, 2 drop-down list
       self.store(Property::Style, Variant(v));
     }},
    {u"List", idList, kProperty,
     [](Control& self, Call& call) {
       call.expect(1);
       ControlState& s = self.state();
       const std::size_t i = indexIn(call, 0, s.itemCount(), errc::InvalidPropertyArrayIndex);
       if (!call.isPut()) return call.setResult(Variant(s.item(i)));
       s.setItem(i, toText(call.value()));
       if (intOf(s, Property::ListIndex) == static_cast<std::int32_t>(i)) selectItem(self, static_cast<std::int32_t>(i));
     }},
    {u"ListCount", idListCount, kGet,
     [](Control& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<std::int32_t>(self.state().itemCount())));
     }},
    {u"ListIndex", idListIndex, kProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(intOf(self.state(), Property::ListIndex)));
       const std::int32_t i = longValue(call.value());
       if (i < -1 || i >= static_cast<std::int32_t>(self.state().itemCount())) raise(errc::InvalidPropertyValue);
       const std::u16string before = textOf(self);
       selectItem(self, i);
       if (self.kind() == K::ListBox && before != textOf(self)) self.notifyChanged(Property::Text);
     }},
    {u"AddItem", idAddItem, kMethod,
     [](Control& self, Call& call) {
       if (isFlexGrid(self.kind())) return flexAddItem(self, call);
       call.expect(1, 2);
       ControlState& s = self.state();
       const std::u16string text = call.text(0);
       std::size_t at = s.itemCount();
       if (call.has(1)) {
         const std::int32_t i = call.int32(1);
         if (i < 0 || static_cast<std::size_t>(i) > s.itemCount()) raise(errc::InvalidProcedureCall);
         at = static_cast<std::size_t>(i);
       }
       s.insertItem(at, text);
       const std::int32_t selected = intOf(s, Property::ListIndex);
       if (selected >= static_cast<std::int32_t>(at)) self.store(Property::ListIndex, Variant(selected + 1));
     }},
    {u"RemoveItem", idRemoveItem, kMethod,
     [](Control& self, Call& call) {
       call.expect(1);
       ControlState& s = self.state();
       if (isFlexGrid(self.kind())) {
         const std::size_t r = indexIn(call, 0, s.rows(), errc::InvalidPropertyArrayIndex);
         if (r < static_cast<std::size_t>(intOf(s, Property::FixedRows))) raise(errc::InvalidProcedureCall);
         s.removeRow(r);
         clampCursor(self);
         return;
       }
       const std::size_t i = indexIn(call, 0, s.itemCount(), errc::InvalidProcedureCall);
       const std::int32_t selected = intOf(s, Property::ListIndex);
       s.removeItem(i);
       if (selected == static_cast<std::int32_t>(i)) selectItem(self, -1);
       else if (selected > static_cast<std::int32_t>(i)) self.store(Property::ListIndex, Variant(selected - 1));
     }},
    {u"Clear", idClear, kMethod,
     [](Control& self, Call& call) {
       call.expect(0);
       ControlState& s = self.state();
       if (isFlexGrid(self.kind())) {
         for (std::size_t r = 0; r < s.rows(); ++r)
           for (std::size_t c = 0; c < s.cols(); ++c) s.setCell(r, c, {});
         return;
       }
       if (self.kind() == K::TabStrip) {
         s.clearItems();
         self.store(Property::SelectedTab, Variant(0));
         return;
       }
       s.clearItems();
       selectItem(self, -1);
     }},
    {u"BoundText", idBoundText, kProperty,
     [](Control& self, Call& call) { textProperty(self, call, Property::BoundText); }},
    {u"ListField", idListField, kProperty,
     [](Control& self, Call& call) { textProperty(self, call, Property::ListField); }},
    {u"BoundColumn", idBoundColumn, kProperty,
     [](Control& self, Call& call) { textProperty(self, call, Property::BoundColumn); }},
    {u"RowSource", idRowSource, kObjectProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) {
         const Variant v = self.state().get(Property::RowSource);
         return call.setResult(v.isEmpty() ? Variant(static_cast<IDispatch*>(nullptr)) : v);
       }
       const Variant v = call.value().value();
       if (v.valueType() != VT_DISPATCH) raise(errc::ObjectRequired);
       self.store(Property::RowSource, v);
     }},
    {u"Checked", idChecked, kProperty, [](Control& self, Call& call) { flagProperty(self, call, Property::Checked); }},
    {u"Tabs", idTabs, kGet,
     [](Control& self, Call& call) {
       call.expect(0, 1);
       if (call.count() == 1) {
         const std::int32_t i = call.int32(0);
         return call.setResult(tabObject(self, i));
       }
       ComPtr<Tabs> tabs = makeObject<Tabs>(ComPtr<Control>(&self));
       call.setResult(Variant(static_cast<IDispatch*>(tabs.get())));
     }},
    {u"SelectedItem", idSelectedItem, kObjectProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       ControlState& s = self.state();
       if (!call.isPut()) {
         const std::int32_t i = intOf(s, Property::SelectedTab);
         return call.setResult(i > 0 ? tabObject(self, i) : Variant(static_cast<IDispatch*>(nullptr)));
       }
       const Object tab(call.value());
       auto* own = dynamic_cast<Tab*>(tab.get());
       if (!own || &own->strip() != &self) raise(errc::InvalidPropertyValue);
       self.store(Property::SelectedTab, Variant(static_cast<std::int32_t>(own->position())));
     }},
    {u"Cols", idCols, kProperty, [](Control& self, Call& call) { flexShape(self, call, false); }},
    {u"Rows", idRows, kProperty, [](Control& self, Call& call) { flexShape(self, call, true); }},
    {u"FixedRows", idFixedRows, kProperty, [](Control& self, Call& call) { flexFixed(self, call, true); }},
    {u"FixedCols", idFixedCols, kProperty, [](Control& self, Call& call) { flexFixed(self, call, false); }},
    {u"Row", idRow, kProperty,
     [](Control& self, Call& call) {
       if (self.kind() != K::DBGrid) return flexCursor(self, call, true);
       call.expect(0);
       if (call.isPut()) impl::setGridRow(self, longValue(call.value()));
       else call.setResult(Variant(impl::gridRow(self)));
     }},
    {u"Col", idCol, kProperty,
     [](Control& self, Call& call) {
       if (self.kind() != K::DBGrid) return flexCursor(self, call, false);
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(intOf(self.state(), Property::Col)));
       const std::int32_t n = longValue(call.value());
       if (n < 0 || static_cast<std::size_t>(n) >= self.state().columnCount()) raise(errc::InvalidPropertyArrayIndex);
       self.store(Property::Col, Variant(n));
     }},
    {u"ColWidth", idColWidth, kProperty,
     [](Control& self, Call& call) {
       call.expect(1);
       ControlState& s = self.state();
       const std::size_t c = indexIn(call, 0, s.cols(), errc::InvalidPropertyArrayIndex);
       if (!call.isPut()) return call.setResult(Variant(static_cast<std::int32_t>(s.colWidth(c))));
       // -1 restores the default width; 0 hides the column.
       std::int32_t w = longValue(call.value());
       if (w < -1) raise(errc::InvalidPropertyValue);
       s.setColWidth(c, w == -1 ? kDefaultColWidth : w);
     }},
    {u"ColPos", idColPos, kGet,
     [](Control& self, Call& call) {
       call.expect(1);
       const ControlState& s = self.state();
       const std::size_t c = indexIn(call, 0, s.cols(), errc::InvalidPropertyArrayIndex);
       double pos = 0;
       for (std::size_t i = 0; i < c; ++i) pos += s.colWidth(i);
       call.setResult(Variant(static_cast<std::int32_t>(pos)));
     }},
    {u"RowHeight", idRowHeight, kProperty,
     [](Control& self, Call& call) {
       ControlState& s = self.state();
       if (self.kind() == K::DBGrid) {
         call.expect(0);
         if (!call.isPut()) return call.setResult(self.state().get(Property::RowHeight));
         const float h = single(call.value());
         if (h <= 0) raise(errc::InvalidPropertyValue);
         return self.store(Property::RowHeight, Variant(h));
       }
       call.expect(1);
       const std::size_t r = indexIn(call, 0, s.rows(), errc::InvalidPropertyArrayIndex);
       if (!call.isPut()) return call.setResult(Variant(static_cast<std::int32_t>(s.rowHeight(r))));
       const std::int32_t h = longValue(call.value());
       if (h < -1) raise(errc::InvalidPropertyValue);
       s.setRowHeight(r, h == -1 ? kDefaultRowHeight : h);
     }},
    {u"RowPos", idRowPos, kGet,
     [](Control& self, Call& call) {
       call.expect(1);
       const ControlState& s = self.state();
       const std::size_t r = indexIn(call, 0, s.rows(), errc::InvalidPropertyArrayIndex);
       double pos = 0;
       for (std::size_t i = 0; i < r; ++i) pos += s.rowHeight(i);
       call.setResult(Variant(static_cast<std::int32_t>(pos)));
     }},
    {u"TextMatrix", idTextMatrix, kProperty,
     [](Control& self, Call& call) {
       call.expect(2);
       ControlState& s = self.state();
       const std::size_t r = indexIn(call, 0, s.rows(), errc::InvalidPropertyArrayIndex);
       const std::size_t c = indexIn(call, 1, s.cols(), errc::InvalidPropertyArrayIndex);
       if (!call.isPut()) return call.setResult(Variant(s.cell(r, c)));
       s.setCell(r, c, toText(call.value()));
     }},
    {u"TextArray", idTextArray, kProperty,
     [](Control& self, Call& call) {
       call.expect(1);
       ControlState& s = self.state();
       const std::size_t i = indexIn(call, 0, s.rows() * s.cols(), errc::InvalidPropertyArrayIndex);
       const std::size_t r = i / s.cols(), c = i % s.cols();
       if (!call.isPut()) return call.setResult(Variant(s.cell(r, c)));
       s.setCell(r, c, toText(call.value()));
     }},
    {u"HighLight", idHighLight, kProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(intOf(self.state(), Property::HighLight)));
       const std::int32_t v = longValue(call.value());
       if (v < 0 || v > 2) raise(errc::InvalidPropertyValue);  // 0 never, 1 always, 2 with focus
       self.store(Property::HighLight, Variant(v));
     }},
    {u"Redraw", idRedraw, kProperty, [](Control& self, Call& call) { flagProperty(self, call, Property::Redraw); }},
    {u"Columns", idColumns, kGet,
     [](Control& self, Call& call) {
       call.expect(0, 1);
       if (call.count() == 1) return call.setResult(columnObject(self, call.int32(0)));
       ComPtr<Columns> columns = makeObject<Columns>(ComPtr<Control>(&self));
       call.setResult(Variant(static_cast<IDispatch*>(columns.get())));
     }},
    {u"RecordSelectors", idRecordSelectors, kProperty,
     [](Control& self, Call& call) { flagProperty(self, call, Property::RecordSelectors); }},
    {u"ColumnHeaders", idColumnHeaders, kProperty,
     [](Control& self, Call& call) { flagProperty(self, call, Property::ColumnHeaders); }},
    {u"VisibleRows", idVisibleRows, kGet,
     [](Control& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(impl::visibleRows(self)));
     }},
    {u"SelStartCol", idSelStartCol, kProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(intOf(self.state(), Property::SelStartCol)));
       const std::int32_t n = longValue(call.value());
       if (n < -1 || n >= static_cast<std::int32_t>(self.state().columnCount())) raise(errc::InvalidPropertyArrayIndex);
       self.store(Property::SelStartCol, Variant(n));
     }},
    {u"SelEndCol", idSelEndCol, kProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       // -1: no column is selected.
       if (!call.isPut()) return call.setResult(Variant(intOf(self.state(), Property::SelEndCol)));
       const std::int32_t n = longValue(call.value());
       if (n < -1 || n >= static_cast<std::int32_t>(self.state().columnCount())) raise(errc::InvalidPropertyArrayIndex);
       self.store(Property::SelEndCol, Variant(n));
     }},
    {u"SelBookmarks", idSelBookmarks, kGet,
     [](Control& self, Call& call) {
       call.expect(0, 1);
       std::vector<Variant>& marks = self.state().selectedBookmarks();
       if (call.count() == 1) return call.setResult(marks[indexIn(call, 0, marks.size(), errc::SubscriptOutOfRange)]);
       ComPtr<SelBookmarks> list = makeObject<SelBookmarks>(ComPtr<Control>(&self));
       call.setResult(Variant(static_cast<IDispatch*>(list.get())));
     }},
    {u"Bookmark", idBookmark, kProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       const Object rs = impl::gridRecordset(self);
       if (!rs) raise(errc::ObjectNotSet);
       if (call.isPut()) rs.put(u"Bookmark", call.value());
       else call.setResult(rs.get(u"Bookmark"));
     }},
    {u"Recordset", idRecordset, kObjectProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       if (call.isPut()) impl::setDataRecordset(self, call.value().value());
       else call.setResult(impl::dataRecordset(self));
     }},
    {u"RecordSource", idRecordSource, kProperty,
     [](Control& self, Call& call) { textProperty(self, call, Property::RecordSource); }},
    {u"DatabaseName", idDatabaseName, kProperty,
     [](Control& self, Call& call) { textProperty(self, call, Property::DatabaseName); }},
    {u"RecordsetType", idRecordsetType, kProperty,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(static_cast<std::int16_t>(intOf(self.state(), Property::RecordsetType))));
       const std::int16_t v = toInt16(call.value());
       if (v < 0 || v > 2) raise(errc::InvalidPropertyValue);  // 0 table, 1 dynaset, 2 snapshot
       self.store(Property::RecordsetType, Variant(v));
     }},
    {u"Database", idDatabase, kGet,
     [](Control& self, Call& call) {
       call.expect(0);
       impl::dataRecordset(self);  // opens the database on first use
       const Variant v = self.state().get(Property::Database);
       call.setResult(v.isEmpty() ? Variant(static_cast<IDispatch*>(nullptr)) : v);
     }},
    {u"ApproxCount", idApproxCount, kGet,
     [](Control& self, Call& call) {
       call.expect(0);
       // The count of every record: reading it reads all the bookmarks.
       BoundRows& rows = self.boundRows();
       if (const Object rs = impl::gridRecordset(self)) rows.fetchAll(rs);
       call.setResult(Variant(static_cast<std::int32_t>(std::min<std::size_t>(rows.fetched(), 0x7FFFFFFF))));
     }},
    {u"_NewEnum", DISPID_NEWENUM, kGet | kMethod,
     [](Control& self, Call& call) {
       // A tab strip enumerates its tabs.
       call.expect(0);
       std::vector<Variant> tabs;
       for (std::size_t i = 1; i <= self.state().itemCount(); ++i)
         tabs.push_back(tabObject(self, static_cast<std::int32_t>(i)));
       call.setResult(makeEnumerator(std::move(tabs)));
     }},
    {u"UpdateControls", idUpdateControls, kMethod,
     [](Control& self, Call& call) {
       call.expect(0);
       impl::showCurrentRecord(self);
     }},
};

// The kinds that have each member, row for row.
constexpr Mask kKinds[] = {
    kAll,                                  // Name
    kAll,                                  // Tag
    kAll,                                  // Index
    kAll,                                  // Enabled
    kAll,                                  // Visible
    kPlaced, kPlaced, kPlaced, kPlaced,    // Top Left Width Height
    kText,                                 // Text
    kCaption,                              // Caption
    kPlaced,                               // ToolTipText
    kBound,                                // DataField
    kBound | kDBGrid,                      // DataSource
    kAll,                                  // Parent
    kPlaced,                               // Container
    kFocusable,                            // SetFocus
    kPlaced,                               // ZOrder
    kPlaced,                               // Move
    kPlaced,                               // Refresh
    kSelection, kSelection, kSelection,    // SelStart SelLength SelText
    bit(K::TextBox),                       // MaxLength
    kSelection,                            // Locked
    kValue,                                // Value
    bit(K::ComboBox),                      // Style
    kList, kList, kList,                   // List ListCount ListIndex
    kList | kFlex,                         // AddItem
    kList | kFlex,                         // RemoveItem
    kList | kFlex | kTabStrip,             // Clear
    bit(K::DBCombo), bit(K::DBCombo), bit(K::DBCombo), bit(K::DBCombo),  // BoundText ListField BoundColumn RowSource
    kMenu,                                 // Checked
    kTabStrip, kTabStrip,                  // Tabs SelectedItem
    kFlex, kFlex, kFlex, kFlex,            // Cols Rows FixedRows FixedCols
    kFlex | kDBGrid, kFlex | kDBGrid,      // Row Col
    kFlex, kFlex,                          // ColWidth ColPos
    kFlex | kDBGrid,                       // RowHeight
    kFlex, kFlex, kFlex, kFlex, kFlex,     // RowPos TextMatrix TextArray HighLight Redraw
    kDBGrid, kDBGrid, kDBGrid, kDBGrid,    // Columns RecordSelectors ColumnHeaders VisibleRows
    kDBGrid, kDBGrid, kDBGrid, kDBGrid,    // SelStartCol SelEndCol SelBookmarks Bookmark
    kData, kData, kData, kData, kData,     // Recordset RecordSource DatabaseName RecordsetType Database
    kDBGrid,                               // ApproxCount
    kTabStrip,                             // _NewEnum
    kData,                                 // UpdateControls
};
static_assert(std::size(kKinds) == std::size(kMembers), "one kind mask per member");

}  // namespace

std::span<const Member<Control>> Control::members() { return kMembers; }

namespace impl {

bool kindHas(ControlKind kind, const Member<Control>& member) noexcept {
  const auto row = static_cast<std::size_t>(&member - kMembers);
  return row < std::size(kKinds) && (kKinds[row] & bit(kind)) != 0;
}

DISPID defaultMemberOf(ControlKind kind) noexcept {
  switch (kind) {
    case K::TextBox:
    case K::ComboBox:
    case K::ListBox:
    case K::DBCombo:
    case K::MSFlexGrid:
    case K::Grid:
    case K::DBGrid: return idText;
    case K::CheckBox:
    case K::CommandButton: return idValue;
    case K::TabStrip: return idTabs;
    case K::Label:
    case K::Frame:
    case K::Menu:
    case K::Panel:
    case K::Data: return idCaption;
  }
  return idCaption;
}

void initialise(Control& c) {
  ControlState& s = c.state();
  s.set(Property::Name, Variant(c.name()));
  s.set(Property::Tag, Variant(u""));
  s.set(Property::Enabled, Variant(true));
  s.set(Property::Visible, Variant(true));
  if (c.kind() != K::Menu) {
    for (Property p : {Property::Top, Property::Left}) s.set(p, Variant(0.0f));
    s.set(Property::Width, Variant(1215.0f));
    s.set(Property::Height, Variant(c.kind() == K::DBGrid || isFlexGrid(c.kind()) ? 1935.0f : 375.0f));
    s.set(Property::ToolTipText, Variant(u""));
  }
  s.set(Property::DataField, Variant(u""));
  s.set(Property::Caption, Variant(u""));
  s.set(Property::Text, Variant(u""));
  s.set(Property::SelStart, Variant(0));
  s.set(Property::SelLength, Variant(0));
  s.set(Property::ListIndex, Variant(-1));
  s.set(Property::SelectedTab, Variant(0));
  switch (c.kind()) {
    case K::MSFlexGrid:
    case K::Grid:
      s.resize(2, 2);
      s.set(Property::FixedRows, Variant(1));
      s.set(Property::FixedCols, Variant(1));
      s.set(Property::Row, Variant(1));
      s.set(Property::Col, Variant(1));
      s.set(Property::HighLight, Variant(1));
      s.set(Property::Redraw, Variant(true));
      break;
    case K::DBGrid:
      s.set(Property::RecordSelectors, Variant(true));
      s.set(Property::ColumnHeaders, Variant(true));
      s.set(Property::RowHeight, Variant(225.0f));
      s.set(Property::SelStartCol, Variant(-1));
      s.set(Property::SelEndCol, Variant(-1));
      s.set(Property::Col, Variant(0));
      break;
    case K::Data:
      s.set(Property::RecordSource, Variant(u""));
      s.set(Property::DatabaseName, Variant(u""));
      s.set(Property::RecordsetType, Variant(static_cast<std::int16_t>(1)));
      break;
    case K::DBCombo:
      s.set(Property::BoundText, Variant(u""));
      s.set(Property::ListField, Variant(u""));
      s.set(Property::BoundColumn, Variant(u""));
      break;
    default: break;
  }
}

}  // namespace impl

std::u16string Control::text() const { return textOf(*this); }
void Control::setText(std::u16string_view text) { setTextOf(*this, text); }

}  // namespace tarnwick::host
