#pragma once
// Private to the host layer: the member tables of the controls. Each row
// gives a member's name, dispatch id, access, the kinds of control that
// have it and its handler. A member that behaves differently on different
// kinds (AddItem on a list and on a flex grid) has one row per behaviour,
// so no handler asks which kind it runs on. Handlers hold the rules and act
// on the control's state only, so every host that implements ControlState
// shares them. The tables are split by the controls they serve; the shared
// helpers are declared here.
#include <tarnwick/automation/Export.h>
#include "HostInternal.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick::host {

namespace impl {

// A set of control kinds, one bit per kind.
using KindMask = std::uint32_t;
constexpr KindMask bit(ControlKind k) { return KindMask{1} << static_cast<unsigned>(k); }

inline constexpr KindMask kAllKinds = (KindMask{1} << kControlKindCount) - 1;
inline constexpr KindMask kMenu = bit(ControlKind::Menu);
inline constexpr KindMask kPlaced = kAllKinds & ~kMenu;  // controls with a place on the form
inline constexpr KindMask kFlex = bit(ControlKind::MSFlexGrid) | bit(ControlKind::Grid);
inline constexpr KindMask kDBGrid = bit(ControlKind::DBGrid);
inline constexpr KindMask kData = bit(ControlKind::Data);
inline constexpr KindMask kTabStrip = bit(ControlKind::TabStrip);
inline constexpr KindMask kList = bit(ControlKind::ComboBox) | bit(ControlKind::ListBox);
inline constexpr KindMask kDBCombo = bit(ControlKind::DBCombo);

// Dispatch ids of the members. The default member (id 0) is mapped to the
// kind's own (defaultMemberOf).
enum MemberId : DISPID {
  idName = 1, idTag, idIndex, idEnabled, idVisible, idTop, idLeft, idWidth, idHeight, idText, idCaption,
  idToolTipText, idDataField, idDataSource, idParent, idContainer, idSetFocus, idZOrder, idMove, idRefresh,
  idSelStart, idSelLength, idSelText, idMaxLength, idLocked, idValue, idStyle, idList, idListCount, idListIndex,
  idAddItem, idRemoveItem, idClear, idBoundText, idListField, idBoundColumn, idRowSource, idChecked, idTabs,
  idSelectedItem, idCols, idRows, idFixedRows, idFixedCols, idRow, idCol, idColWidth, idColPos, idRowHeight,
  idRowPos, idTextMatrix, idTextArray, idHighLight, idRedraw, idColumns, idRecordSelectors, idColumnHeaders,
  idVisibleRows, idSelStartCol, idSelEndCol, idSelBookmarks, idBookmark, idRecordset, idRecordSource,
  idDatabaseName, idRecordsetType, idDatabase, idApproxCount, idUpdateControls,
};

}  // namespace impl

struct ControlMember : Member<Control> {
  using Handler = void (*)(Control& self, Call& call);
  constexpr ControlMember(std::u16string_view memberName, DISPID memberId, std::uint8_t access, impl::KindMask forKinds,
                          Handler run)
      : Member<Control>{memberName, memberId, access, run}, controlKinds(forKinds) {}

  bool servesKind(ControlKind kind) const noexcept { return (controlKinds & impl::bit(kind)) != 0; }

  impl::KindMask controlKinds;  // the kinds of control that have the member
};

namespace impl {

// The rows of each group of controls.
std::span<const ControlMember> commonMembers();
std::span<const ControlMember> listMembers();  // combo and list boxes, data combos, tab strips
std::span<const ControlMember> flexGridMembers();
std::span<const ControlMember> dataGridMembers();
std::span<const ControlMember> dataControlMembers();

// The member a control of `kind` has by that name (letter case ignored) or
// dispatch id; nullptr when the kind lacks it.
// Exported for the host's tests.
TARNWICK_API const ControlMember* findMember(ControlKind kind, std::u16string_view name) noexcept;
TARNWICK_API const ControlMember* findMember(ControlKind kind, DISPID id) noexcept;

// A flex grid's AddItem: a new row at `at` whose cells take the text's
// pieces between tabs, from the first column (the rest stay empty).
void addFlexRow(Control& self, std::u16string_view text, std::size_t at);

// --- values ----------------------------------------------------------------

// A Single property: overflow beyond the type's range.
float single(const Variant& v);
// A Long property: the nearest integer, an exact half to the even one.
std::int32_t longValue(const Variant& v);
std::int32_t intOf(const ControlState& s, Property p);
bool flagOf(const ControlState& s, Property p);
// An index argument checked against [0, count); error `number` outside.
std::size_t indexIn(Call& call, std::size_t arg, std::size_t count, std::int32_t number);

// --- shapes of members -----------------------------------------------------

void textProperty(Control& self, Call& call, Property p);
void flagProperty(Control& self, Call& call, Property p);
// An object property: Nothing until one is set; only an object may be set,
// and with `designOnly` only while the form is built.
void objectProperty(Control& self, Call& call, Property p, bool designOnly);
// Refuses a put while the form runs.
void designOnly(Control& self, Call& call);

// --- lists and text ----------------------------------------------------------

// The item that matches `text` without regard to letter case, or -1.
std::int32_t findItem(const ControlState& s, std::u16string_view text);
void selectItem(Control& self, std::int32_t index);
std::u16string textOf(const Control& self);

}  // namespace impl
}  // namespace tarnwick::host
