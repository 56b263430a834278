#pragma once
// Private to the host layer: what the control, form and collection objects
// share: a control's default member and starting values, and data binding.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/host/Control.h>

#include <cstdint>
#include <string_view>

namespace tarnwick::host::impl {

// The dispatch id of the kind's default member.
TARNWICK_API DISPID defaultMemberOf(ControlKind kind) noexcept;
// Puts a new control's properties to their starting values.
void initialise(Control& control);

// Data binding through the data engine, by name only.
// The data control's recordset, opened on first use from DatabaseName and
// RecordSource; Nothing when neither is set.
Variant dataRecordset(Control& data);
// Opens the database and recordset again and rebinds the grids bound to it.
void refreshData(Control& data);
// Shows the current record of the data control's recordset in the controls
// of its form bound to it (DataSource and DataField); a control that cannot
// show its field's value is passed over, the others still show theirs.
void showCurrentRecord(Control& data);
// Makes `recordset` (an object or Nothing) the data control's recordset.
void setDataRecordset(Control& data, const Variant& recordset);
// Reads the records of the grid's data control into the grid.
void rebindGrid(Control& grid);
// The recordset a data grid shows (empty when it is bound to none).
Object gridRecordset(Control& grid);
std::u16string gridText(Control& grid);
void setGridText(Control& grid, std::u16string_view text);
std::int32_t gridRow(Control& grid);
void setGridRow(Control& grid, std::int32_t row);
std::int32_t visibleRows(Control& grid);
// A column's left edge, as an offset from the grid's left edge.
double columnLeft(Control& grid, std::size_t column);
// The value a column shows in the current record (Null without one).
Variant columnValue(Control& grid, std::size_t column);

// Width of the record selectors at the left of a data grid, in twips.
inline constexpr double kRecordSelectorWidth = 285;

}  // namespace tarnwick::host::impl
