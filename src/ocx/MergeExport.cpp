#include "MergeExport.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/MergeFile.h>
#include <tarnwick/frame/Progress.h>
#include <tarnwick/frame/TagDirectives.h>
#include <tarnwick/frame/TextFile.h>

#include <algorithm>

namespace tarnwick::ocx {

namespace {

// A flex grid's cells below its header row: cells of visible columns joined
// by tabs, rows by carriage return and line feed (a hidden row leaves an
// empty line). The grid's current cell ends at the last cell visited.
std::u16string flexGridText(const Object& grid) {
  std::u16string text;
  const std::int32_t rows = toInt32(grid.get(u"Rows"));
  const std::int32_t cols = toInt32(grid.get(u"Cols"));
  frame::WorkProgress progress(u"Exporting the grid", std::max(rows - 1, 0));
  for (std::int32_t r = 1; r < rows; ++r) {
    progress.next();
    grid.put(u"Row", Variant(r));
    for (std::int32_t c = 0; c < cols; ++c) {
      grid.put(u"Col", Variant(c));
      if (toDouble(grid.get(u"RowHeight", {Variant(r)})) > 1 && toDouble(grid.get(u"ColWidth", {Variant(c)})) > 1) {
        text += toText(grid.get(u"Text"));
        if (c < cols - 1) text += u'\t';
      }
    }
    if (r < rows - 1) text += u"\r\n";
  }
  return text;
}

// A data grid's visible rows but the last, each closed by carriage return
// and line feed (the last row too, as the rows are written one by one).
std::u16string dataGridText(const Object& grid) {
  std::u16string text;
  const std::int32_t visible = toInt32(grid.get(u"VisibleRows"));
  const std::int32_t cols = toInt32(Object(grid.get(u"Columns")).get(u"Count"));
  frame::WorkProgress progress(u"Exporting the grid", std::max(visible - 1, 0));
  for (std::int32_t r = 0; r <= visible - 2; ++r) {
    progress.next();
    grid.put(u"Row", Variant(r));
    for (std::int32_t c = 0; c < cols; ++c) {
      grid.put(u"Col", Variant(c));
      text += toText(grid.get(u"Text"));
      if (c < cols - 1) text += u'\t';
    }
    text += u"\r\n";
  }
  return text;
}

// A control's entry, by its tag's merge field: an empty control, grid or
// not, exports one blank; a grid its cells.
void addTaggedEntry(frame::MergeFile& file, const Object& control) {
  const auto name = frame::tags::mergeField(toText(control.get(u"Tag")));
  if (!name) return;
  const std::u16string shown = toText(control.value());
  const std::u16string type = shown.empty() ? std::u16string() : control.typeName();
  if (shown.empty()) file.add(*name, u" ");
  else if (type == u"MSFlexGrid") file.add(*name, flexGridText(control));
  else if (type == u"DBGrid") file.add(*name, dataGridText(control));
  else file.add(*name, shown);
}

}  // namespace

void saveMergeFieldsFromTags(Call& call) {
  // A failure to write answers SaveFile's error number, and tells no one.
  frame::exportMergeFile(call, frame::ControlWalk::ForEach, addTaggedEntry,
                         [](std::u16string_view fileName, const std::u16string& text) {
                           return frame::printToFile(fileName, Variant(text));
                         });
}

}  // namespace tarnwick::ocx
