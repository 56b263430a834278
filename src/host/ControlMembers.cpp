// The members that most controls share (name, place, focus, text and its
// selection), the helpers every group of members uses, and the member
// tables of all the groups put together.
#include "ControlMembers.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/host/Form.h>

#include <cfloat>
#include <cmath>
#include <vector>

namespace tarnwick::host {

using K = ControlKind;

namespace impl {

// --- values ----------------------------------------------------------------

float single(const Variant& v) {
  const double d = toDouble(v);
  if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) raise(errc::Overflow);
  return static_cast<float>(d);
}

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

std::size_t indexIn(Call& call, std::size_t arg, std::size_t count, std::int32_t number) {
  const std::int32_t i = call.int32(arg);
  if (i < 0 || static_cast<std::size_t>(i) >= count) raise(number);
  return static_cast<std::size_t>(i);
}

// --- shapes of members -----------------------------------------------------

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

void objectProperty(Control& self, Call& call, Property p, bool atDesignOnly) {
  call.expect(0);
  if (!call.isPut()) {
    const Variant v = self.state().get(p);
    call.setResult(v.isEmpty() ? Variant(static_cast<IDispatch*>(nullptr)) : v);
    return;
  }
  if (atDesignOnly) designOnly(self, call);
  const Variant v = call.value().value();
  if (v.valueType() != VT_DISPATCH) raise(errc::ObjectRequired);
  self.store(p, v);
}

void designOnly(Control& self, Call& call) {
  if (call.isPut() && !self.designMode()) raise(errc::SetNotSupportedAtRuntime);
}

// --- lists and text ----------------------------------------------------------

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
    case K::DBGrid: return gridText(const_cast<Control&>(self));
    default: {
      const Variant v = s.get(Property::Text);
      return v.isEmpty() ? std::u16string() : toText(v);
    }
  }
}

namespace {

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
    case K::DBGrid: setGridText(self, text); return;
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

// --- place and focus -------------------------------------------------------

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

// --- the table -------------------------------------------------------------

constexpr KindMask kFocusable = bit(K::TextBox) | bit(K::ComboBox) | bit(K::CheckBox) | bit(K::CommandButton) |
                                bit(K::ListBox) | bit(K::DBCombo) | kTabStrip | kFlex | kDBGrid;
constexpr KindMask kBound = bit(K::TextBox) | bit(K::ComboBox) | bit(K::CheckBox) | bit(K::Label) |
                            bit(K::ListBox) | bit(K::DBCombo);
constexpr KindMask kText = bit(K::TextBox) | kList | kDBCombo | kFlex | kDBGrid;
constexpr KindMask kCaption = bit(K::Label) | bit(K::CheckBox) | bit(K::CommandButton) | bit(K::Frame) | kMenu |
                              kData | bit(K::Panel);
constexpr KindMask kSelection = bit(K::TextBox) | bit(K::ComboBox) | kDBCombo;

const ControlMember kCommonMembers[] = {
    {u"Name", idName, kProperty, kAllKinds,
     [](Control& self, Call& call) {
       call.expect(0);
       // A control's name is given when it is placed.
       if (call.isPut()) raise(errc::SetNotSupportedAtRuntime);
       call.setResult(Variant(self.name()));
     }},
    {u"Tag", idTag, kProperty, kAllKinds, [](Control& self, Call& call) { textProperty(self, call, Property::Tag); }},
    {u"Index", idIndex, kGet, kAllKinds,
     [](Control& self, Call& call) {
       call.expect(0);
       if (!self.index()) raise(errc::NotAnArray);
       call.setResult(Variant(*self.index()));
     }},
    {u"Enabled", idEnabled, kProperty, kAllKinds,
     [](Control& self, Call& call) {
       flagProperty(self, call, Property::Enabled);
       if (call.isPut()) dropFocusIfUnable(self);
     }},
    {u"Visible", idVisible, kProperty, kAllKinds,
     [](Control& self, Call& call) {
       flagProperty(self, call, Property::Visible);
       if (call.isPut()) dropFocusIfUnable(self);
     }},
    {u"Top", idTop, kProperty, kPlaced, [](Control& self, Call& call) { geometry(self, call, Property::Top); }},
    {u"Left", idLeft, kProperty, kPlaced, [](Control& self, Call& call) { geometry(self, call, Property::Left); }},
    {u"Width", idWidth, kProperty, kPlaced, [](Control& self, Call& call) { geometry(self, call, Property::Width); }},
    {u"Height", idHeight, kProperty, kPlaced,
     [](Control& self, Call& call) { geometry(self, call, Property::Height); }},
    {u"Text", idText, kProperty, kText, textMember},
    {u"Caption", idCaption, kProperty, kCaption,
     [](Control& self, Call& call) { textProperty(self, call, Property::Caption); }},
    {u"ToolTipText", idToolTipText, kProperty, kPlaced,
     [](Control& self, Call& call) { textProperty(self, call, Property::ToolTipText); }},
    {u"DataField", idDataField, kProperty, kBound,
     [](Control& self, Call& call) { textProperty(self, call, Property::DataField); }},
    {u"DataSource", idDataSource, kObjectProperty, kBound,
     [](Control& self, Call& call) { objectProperty(self, call, Property::DataSource, true); }},
    {u"Parent", idParent, kGet, kAllKinds,
     [](Control& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<IDispatch*>(self.form())));
     }},
    {u"Container", idContainer, kGet, kPlaced,
     [](Control& self, Call& call) {
       call.expect(0);
       if (Control* c = self.container()) call.setResult(Variant(static_cast<IDispatch*>(c)));
       else call.setResult(Variant(static_cast<IDispatch*>(self.form())));
     }},
    {u"SetFocus", idSetFocus, kMethod, kFocusable, setFocus},
    {u"ZOrder", idZOrder, kMethod, kPlaced,
     [](Control& self, Call& call) {
       call.expect(0, 1);
       const std::int16_t position = call.has(0) ? call.int16(0) : 0;
       if (position != 0 && position != 1) raise(errc::InvalidProcedureCall);
       self.state().raise(position == 0);
     }},
    {u"Move", idMove, kMethod, kPlaced,
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
    // Data controls and data grids read their records again; other controls have nothing to refresh.
    {u"Refresh", idRefresh, kMethod, kPlaced & ~(kData | kDBGrid), [](Control&, Call& call) { call.expect(0); }},
    {u"SelStart", idSelStart, kProperty, kSelection, [](Control& self, Call& call) { selection(self, call, true); }},
    {u"SelLength", idSelLength, kProperty, kSelection,
     [](Control& self, Call& call) { selection(self, call, false); }},
    {u"SelText", idSelText, kProperty, kSelection, selText},
    {u"MaxLength", idMaxLength, kProperty, bit(K::TextBox),
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(intOf(self.state(), Property::MaxLength)));
       const std::int32_t n = longValue(call.value());
       if (n < 0) raise(errc::InvalidPropertyValue);
       self.store(Property::MaxLength, Variant(n));
     }},
    {u"Locked", idLocked, kProperty, kSelection,
     [](Control& self, Call& call) { flagProperty(self, call, Property::Locked); }},
    {u"Value", idValue, kProperty, bit(K::CommandButton),
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(false));
       // Setting True presses the button: its handlers run, and it springs back.
       if (toBool(call.value())) self.notifyChanged(Property::Value);
     }},
    {u"Value", idValue, kProperty, bit(K::CheckBox),
     [](Control& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(static_cast<std::int16_t>(intOf(self.state(), Property::Value))));
       const std::int16_t v = toInt16(call.value());
       if (v < 0 || v > 2) raise(errc::InvalidPropertyValue);  // 0 clear, 1 ticked, 2 greyed
       self.store(Property::Value, Variant(v));
     }},
    {u"Checked", idChecked, kProperty, kMenu,
     [](Control& self, Call& call) { flagProperty(self, call, Property::Checked); }},
};

// Every group's rows in one table, put together on first use.
std::span<const ControlMember> allMembers() {
  static const std::vector<ControlMember> all = [] {
    std::vector<ControlMember> rows;
    for (auto group : {commonMembers, listMembers, flexGridMembers, dataGridMembers, dataControlMembers})
      rows.insert(rows.end(), group().begin(), group().end());
    return rows;
  }();
  return all;
}

}  // namespace

std::span<const ControlMember> commonMembers() { return kCommonMembers; }

const ControlMember* findMember(ControlKind kind, std::u16string_view name) noexcept {
  for (const ControlMember& m : allMembers())
    if (m.name.size() == name.size() && m.servesKind(kind) && equalsIgnoreCase(m.name, name)) return &m;
  return nullptr;
}

const ControlMember* findMember(ControlKind kind, DISPID id) noexcept {
  // Every Invoke on a control looks its member up by id (a fill calls
  // AddItem once a record), so each kind's rows are indexed by id once; the
  // first row of the tables that serves the kind wins, as in a walk of them.
  constexpr std::size_t kIds = static_cast<std::size_t>(idUpdateControls) + 1;
  static const std::vector<const ControlMember*> byKindAndId = [] {
    std::vector<const ControlMember*> table(kControlKindCount * kIds, nullptr);
    for (const ControlMember& m : allMembers()) {
      if (m.id < 0 || static_cast<std::size_t>(m.id) >= kIds) continue;
      for (std::size_t k = 0; k < kControlKindCount; ++k) {
        const ControlMember*& slot = table[k * kIds + static_cast<std::size_t>(m.id)];
        if (!slot && m.servesKind(static_cast<ControlKind>(k))) slot = &m;
      }
    }
    return table;
  }();
  if (id < 0 || static_cast<std::size_t>(id) >= kIds) {
    for (const ControlMember& m : allMembers())
      if (m.id == id && m.servesKind(kind)) return &m;
    return nullptr;
  }
  return byKindAndId[static_cast<std::size_t>(kind) * kIds + static_cast<std::size_t>(id)];
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

std::span<const ControlMember> Control::members() { return impl::allMembers(); }

std::vector<std::pair<std::u16string_view, std::vector<std::u16string_view>>> Control::memberNames() {
  std::vector<std::pair<std::u16string_view, std::vector<std::u16string_view>>> names;
  for (const ControlMember& member : members()) {
    std::vector<std::u16string_view> kinds;
    for (std::size_t k = 0; k < kControlKindCount; ++k)
      if (member.servesKind(static_cast<ControlKind>(k))) kinds.push_back(typeNameOf(static_cast<ControlKind>(k)));
    names.emplace_back(member.name, std::move(kinds));
  }
  return names;
}

std::u16string Control::text() const { return impl::textOf(*this); }
void Control::setText(std::u16string_view text) { impl::setTextOf(*this, text); }

}  // namespace tarnwick::host
