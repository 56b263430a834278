#pragma once
// The kinds of control the host offers, the type name each reports, and the
// interface identifiers that text boxes, combo boxes and check boxes answer to.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Guid.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnwick::host {

enum class ControlKind : std::uint8_t {
  TextBox,
  ComboBox,
  CheckBox,
  Label,
  CommandButton,
  Frame,
  ListBox,
  DBCombo,
  Menu,
  TabStrip,
  Panel,
  MSFlexGrid,
  Grid,
  DBGrid,
  Data,
};
inline constexpr std::size_t kControlKindCount = 15;

// The class name the host reports for a control of this kind.
TARNWICK_API std::u16string_view typeNameOf(ControlKind kind) noexcept;
// The kind whose type name is `name` (compared in full, case-sensitively).
TARNWICK_API std::optional<ControlKind> kindOfTypeName(std::u16string_view name) noexcept;

inline constexpr bool isFlexGrid(ControlKind k) noexcept { return k == ControlKind::MSFlexGrid || k == ControlKind::Grid; }

// The intrinsic control interfaces.
// {33AD4EE1-6699-11CF-B70C-00AA0060D393}
inline constexpr IID IID_TextBoxControl{0x33AD4EE1, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};
// {33AD4F09-6699-11CF-B70C-00AA0060D393}
inline constexpr IID IID_ComboBoxControl{0x33AD4F09, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};
// {33AD4EF9-6699-11CF-B70C-00AA0060D393}
inline constexpr IID IID_CheckBoxControl{0x33AD4EF9, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};

// The scalar properties a control or form keeps in its state. Which of them
// a kind has is decided by its member table, not by the state.
enum class Property : std::uint8_t {
  Name,
  Tag,
  Text,
  Caption,
  ToolTipText,
  Visible,
  Enabled,
  Top,
  Left,
  Width,
  Height,
  DataField,
  DataSource,
  SelStart,
  SelLength,
  MaxLength,
  Locked,
  Value,
  Style,
  ListIndex,
  BoundText,
  ListField,
  BoundColumn,
  RowSource,
  Checked,
  SelectedTab,
  Rows,
  Cols,
  FixedRows,
  FixedCols,
  Row,
  Col,
  HighLight,
  Redraw,
  RecordSelectors,
  ColumnHeaders,
  RowHeight,
  SelStartCol,
  SelEndCol,
  RecordSource,
  DatabaseName,
  Recordset,
  Database,
  RecordsetType,
  WindowState,
  Shown,
  Count_,
};
inline constexpr std::size_t kPropertyCount = static_cast<std::size_t>(Property::Count_);

}  // namespace tarnwick::host
