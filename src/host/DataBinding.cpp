// The data control and the data grid reach the data engine only by name:
// the engine's application object by its class identifier, then its
// databases, recordsets and fields through their members.
#include "HostInternal.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/host/Form.h>

#include <cmath>

namespace tarnwick::host::impl {

namespace {

constexpr std::u16string_view kEngineClass = u"{00000010-0000-0010-8000-00AA006D2EA4}";

std::u16string textOf(const ControlState& s, Property p) {
  const Variant v = s.get(p);
  return v.isEmpty() ? std::u16string() : toText(v);
}

Variant nothing() { return Variant(static_cast<IDispatch*>(nullptr)); }

bool isObject(const Variant& v) { return v.valueType() == VT_DISPATCH && v.dispatch(); }

// The data grids of the data control's form that show its records.
void rebindGridsOf(Control& data) {
  Form* form = data.form();
  if (!form) return;
  for (const ComPtr<Control>& c : form->controls()) {
    if (c->kind() != ControlKind::DBGrid) continue;
    const Variant source = c->state().get(Property::DataSource);
    if (source.valueType() == VT_DISPATCH && source.dispatch() == static_cast<IDispatch*>(&data)) rebindGrid(*c.get());
  }
}

bool noCurrentRecord(const Object& rs) { return toBool(rs.get(u"EOF")) || toBool(rs.get(u"BOF")); }

Variant fieldValue(const Object& rs, const std::u16string& field) {
  Variant name(field);
  return rs.invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {&name, 1}, nullptr);
}

}  // namespace

Variant dataRecordset(Control& data) {
  const Variant rs = data.state().get(Property::Recordset);
  if (isObject(rs)) return rs;
  const ControlState& s = data.state();
  if (textOf(s, Property::DatabaseName).empty() || textOf(s, Property::RecordSource).empty()) return nothing();
  refreshData(data);
  return data.state().get(Property::Recordset);
}

void refreshData(Control& data) {
  const ControlState& s = data.state();
  const std::u16string databaseName = textOf(s, Property::DatabaseName);
  const std::u16string source = textOf(s, Property::RecordSource);
  if (databaseName.empty()) raise(errc::CouldNotFindFile, databaseName);
  if (source.empty()) {
    setDataRecordset(data, nothing());
    return;
  }
  Object engine(frame::createObject(kEngineClass));
  Object database(engine.call(u"OpenDatabase", Variant(databaseName)));
  // The control's recordset types (0 table, 1 dynaset, 2 snapshot) in the engine's numbering.
  static constexpr std::int16_t kEngineType[] = {1, 2, 4};
  const Variant type = s.get(Property::RecordsetType);
  const std::int16_t t = type.isEmpty() ? 1 : toInt16(type);
  Object recordset(database.call(u"OpenRecordset", Variant(source), Variant(kEngineType[std::clamp<int>(t, 0, 2)])));
  // Only a fully opened pair replaces what the control showed before.
  data.store(Property::Database, Variant(database.get()));
  setDataRecordset(data, Variant(recordset.get()));
}

void showCurrentRecord(Control& data) {
  Form* form = data.form();
  const Variant rsValue = dataRecordset(data);
  if (!form || !isObject(rsValue)) return;
  const Object rs(rsValue);
  const bool none = noCurrentRecord(rs);
  for (const ComPtr<Control>& c : form->controls()) {
    const Variant source = c->state().get(Property::DataSource);
    if (source.valueType() != VT_DISPATCH || source.dispatch() != static_cast<IDispatch*>(&data)) continue;
    const std::u16string field = textOf(c->state(), Property::DataField);
    if (field.empty()) continue;
    try {
      const Variant value = none ? Variant::null() : fieldValue(rs, field).value();
      Object control(static_cast<IDispatch*>(c.get()));
      switch (c->kind()) {
        case ControlKind::CheckBox:
          // Null shows greyed.
          control.put(u"Value", Variant(static_cast<std::int16_t>(value.isNull() ? 2 : toBool(value) ? 1 : 0)));
          break;
        case ControlKind::Label:
          control.put(u"Caption", Variant(value.isNull() ? std::u16string() : toText(value)));
          break;
        default: control.put(u"Text", Variant(value.isNull() ? std::u16string() : toText(value))); break;
      }
    } catch (const Error&) {
      // A field the records lack, or a value the control refuses.
    }
  }
}

void setDataRecordset(Control& data, const Variant& recordset) {
  const Variant v = recordset.value();
  if (v.valueType() != VT_DISPATCH) raise(errc::ObjectRequired);
  data.store(Property::Recordset, v);
  rebindGridsOf(data);
}

Object gridRecordset(Control& grid) {
  const Variant source = grid.state().get(Property::DataSource);
  if (!isObject(source)) return Object();
  const Variant rs = Object(source).get(u"Recordset");
  return isObject(rs) ? Object(rs) : Object();
}

void rebindGrid(Control& grid) {
  ControlState& s = grid.state();
  grid.boundRows().reset();
  s.selectedBookmarks().clear();
  grid.store(Property::SelStartCol, Variant(-1));
  grid.store(Property::SelEndCol, Variant(-1));
  grid.store(Property::Col, Variant(0));
  const Object rs = gridRecordset(grid);
  if (!rs) return s.recordsChanged();
  if (s.columnCount() == 0) {
    const Object fields(rs.get(u"Fields"));
    const std::int32_t count = toInt32(fields.get(u"Count"));
    for (std::int32_t i = 0; i < count; ++i) {
      Variant at(i);
      const Object field(fields.invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {&at, 1}, nullptr));
      const std::u16string name = toText(field.get(u"Name"));
      s.insertColumn(s.columnCount(), GridColumn{name, name, kDefaultColWidth, true});
    }
  }
  // A newly bound grid starts at its first record; the rest are read as they are needed.
  BoundRows& rows = grid.boundRows();
  if (rows.reach(rs, 0)) rs.put(u"Bookmark", rows.at(0));
  s.recordsChanged();
}

std::int32_t gridRow(Control& grid) {
  // The headless grid does not scroll: Row counts from the first record.
  const Object rs = gridRecordset(grid);
  if (!rs || noCurrentRecord(rs)) return -1;
  const std::optional<std::size_t> row = grid.boundRows().find(rs, rs.get(u"Bookmark"));
  return row && *row <= 0x7FFFFFFF ? static_cast<std::int32_t>(*row) : -1;
}

void setGridRow(Control& grid, std::int32_t row) {
  BoundRows& rows = grid.boundRows();
  const Object rs = gridRecordset(grid);
  if (!rs || row < 0 || !rows.reach(rs, static_cast<std::size_t>(row))) raise(errc::InvalidPropertyArrayIndex);
  const std::int32_t before = gridRow(grid);
  rs.put(u"Bookmark", rows.at(static_cast<std::size_t>(row)));
  if (before != row) grid.notifyChanged(Property::Row);
}

std::int32_t visibleRows(Control& grid) {
  const ControlState& s = grid.state();
  const double height = toDouble(s.get(Property::Height));
  const double rowHeight = toDouble(s.get(Property::RowHeight));
  const double header = toBool(s.get(Property::ColumnHeaders)) ? rowHeight : 0;
  const double fit = rowHeight > 0 ? std::floor((height - header) / rowHeight) : 0;
  const auto fits = static_cast<std::int32_t>(std::clamp(fit, 0.0, 32767.0));
  BoundRows& rows = grid.boundRows();
  if (const Object rs = gridRecordset(grid); rs && fits > 0) rows.reach(rs, static_cast<std::size_t>(fits - 1));
  return std::min(fits, static_cast<std::int32_t>(rows.fetched()));
}

double columnLeft(Control& grid, std::size_t column) {
  const ControlState& s = grid.state();
  double left = toBool(s.get(Property::RecordSelectors)) ? kRecordSelectorWidth : 0;
  for (std::size_t i = 0; i < column && i < s.columnCount(); ++i) {
    const GridColumn c = s.column(i);
    if (c.visible) left += c.width;
  }
  return left;
}

Variant columnValue(Control& grid, std::size_t column) {
  const Object rs = gridRecordset(grid);
  if (!rs || column >= grid.state().columnCount() || noCurrentRecord(rs)) return Variant::null();
  return fieldValue(rs, grid.state().column(column).dataField);
}

std::u16string gridText(Control& grid) {
  const Variant col = grid.state().get(Property::Col);
  const Variant v = columnValue(grid, static_cast<std::size_t>(col.isEmpty() ? 0 : toInt32(col)));
  return v.isNull() || v.isEmpty() ? std::u16string() : toText(v);
}

void setGridText(Control& grid, std::u16string_view text) {
  const Object rs = gridRecordset(grid);
  const auto col = static_cast<std::size_t>(toInt32(grid.state().get(Property::Col)));
  if (!rs || noCurrentRecord(rs)) raise(errc::NoCurrentRecord);
  if (col >= grid.state().columnCount()) raise(errc::InvalidPropertyArrayIndex);
  Variant name(grid.state().column(col).dataField);
  const Variant value(text);
  rs.call(u"Edit");
  try {
    rs.invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {&name, 1}, &value);
    rs.call(u"Update");
  } catch (...) {
    // The refused change must not stay pending in the record.
    try {
      rs.call(u"CancelUpdate");
    } catch (...) {
    }
    throw;
  }
  grid.state().recordsChanged();
  grid.notifyChanged(Property::Text);
}

}  // namespace tarnwick::host::impl
