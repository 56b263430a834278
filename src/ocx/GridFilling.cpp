// Filling flex grids with records or with a caller's values, and showing a
// search result on a view form.
#include "GridFilling.h"

#include "Int16Math.h"
#include <tarnwick/frame/RecordReader.h>

#include <tarnwick/frame/FieldType.h>
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/ErrorInfo.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/ErrorStyles.h>
#include <tarnwick/frame/GridRows.h>
#include <tarnwick/frame/Progress.h>

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::ocx {

namespace {

// The engine's type code of a long integer field.

// A value as a flex grid cell shows it. Every value is shown by its own
// text rather than added to the row text, so a Null, or a number after a
// text, does not stop the fill: Null is an empty cell, anything else its
// automation text form.
void appendCell(std::u16string& row, const Variant& value) {
  if (!value.isNull()) appendText(row, value);
}

// A field of the record source as the fill reads it, once for all records.
struct ShownField {
  Object field;
  DISPID valueId;  // its Value member, not the default one
  std::int32_t position;  // in Fields
  bool isLong;
};

std::vector<ShownField> shownFields(const Object& records, const std::u16string& excepted) {
  std::vector<ShownField> shown;
  std::int32_t position = 0;
  for (Object& field : frame::collectionItems(Object(records.get(u"Fields")))) {
    const std::int32_t at = position++;
    if (toText(field.get(u"Name")) == excepted) continue;
    const bool isLong = toInt32(field.get(u"Type")) == static_cast<std::int32_t>(frame::FieldType::Long);
    const DISPID valueId = field.idOf(u"Value");
    shown.push_back({std::move(field), valueId, at, isLong});
  }
  return shown;
}

}  // namespace

void fillGridWithRecords(Call& call) {
  const Object grid(call.object(0));
  const Object records(call.object(1));
  // Without a field to leave out, every field is shown (no field has an empty name).
  const std::u16string excepted = call.has(2) ? toText(call.arg(2)) : std::u16string();
  grid.put(u"Rows", Variant(std::int16_t{1}));
  // The members used for every record, looked up once.
  frame::RecordReader reader(records, frame::RecordReader::Uses::Walk);
  const DISPID addItemId = grid.idOf(u"AddItem");
  // The host's flex grids take each row's text directly.
  const ComPtr<frame::IGridRows> gridRows = frame::gridRows(grid);
  std::optional<std::vector<ShownField>> fields;
  Variant rowArgument[1];
  std::u16string row;
  // A cancelled fill stops here with error 18 and keeps the rows it added.
  frame::WorkProgress progress(u"Filling the grid");
  progress.countRemaining(records);
  for (;;) {
    const Variant eof = reader.eof();
    if (eof.isNull() || toBool(eof)) break;
    progress.next();
    if (!fields) fields = shownFields(records, excepted);
    row.clear();
    for (const ShownField& f : *fields) {
      const Variant& value = reader.value(f.field, f.valueId, f.position);
      // A long integer keeps its leading blank (or minus sign); Null has no digits (Error 94).
      if (f.isLong) appendNumberText(row, value);
      else appendCell(row, value);
      row += u'\t';
    }
    if (row.empty()) raise(errc::InvalidProcedureCall);  // no field left to show
    row.pop_back();
    if (gridRows) {
      if (row.size() > UINT32_MAX) raise(errc::OutOfMemory);
      if (const HRESULT hr = gridRows->AddRow(row.data(), static_cast<std::uint32_t>(row.size())); failed(hr))
        checkEarly(hr);
    } else {
      rowArgument[0] = Variant(row);
      grid.invoke(addItemId, DISPATCH_METHOD, rowArgument, nullptr);
    }
    reader.moveNext();
  }
}

void addRowTextToGrid(Call& call) {
  const Object grid(call.object(0));
  const std::vector<Variant> values = frame::arrayElements(call.arg(1));
  grid.put(u"Row", Variant(std::int16_t{1}));
  if (toText(grid.get(u"Text")).empty()) {
    // The first data row is still empty: the values go into it unchanged.
    Int16 i;
    for (const Variant& value : values) {
      grid.put(u"TextArray", {(i + Int16::of(grid.get(u"Cols"))).variant()}, value);
      ++i;
    }
    return;
  }
  std::u16string row;
  for (std::size_t i = 0; i < values.size(); ++i) {
    appendCell(row, values[i]);
    if (i + 1 < values.size()) row += u'\t';
  }
  // A row whose first value is empty while more follow is not added.
  if (row.empty() || row.front() != u'\t') grid.call(u"AddItem", row);
}

void showResultInGrid(Call& call) {
  // The result is a message: "No matching Records", or the description of
  // the error that stopped the routine; empty when the form was shown.
  std::u16string result;
  const std::optional<Error> failure = frame::errorOf([&] {
    const Object form(call.object(0));
    const Object records(call.object(3));
    if (toDouble(records.get(u"RecordCount")) < 1) {
      result = u"No matching Records";
      return;
    }
    // The form's own data control, by its member name.
    const Object dataControl(form.get(u"objDatacontrol"));
    dataControl.putRef(u"Recordset", Variant(records.get()));
    form.call(u"Show");
  });
  call.setResult(failure ? failure->description() : result);
}

}  // namespace tarnwick::ocx
