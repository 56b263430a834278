#pragma once
// Rows and columns to be written out (export files, printed lists): a record
// source's fields, or what a data grid or a flex grid shows, read one row at
// a time, so that however many rows there are, one is held. Sources are
// reached by name like every control and record source.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Variant.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::frame {

// What a column's cells hold, for writers that type their cells.
enum class CellKind { Text, Number, Date, YesNo };

struct SourceColumn {
  std::u16string caption;
  CellKind kind = CellKind::Text;
  std::int32_t width = 0;  // in twips; 0 when the source gives none
};

class TARNWICK_API TableSource {
 public:
  virtual ~TableSource();
  const std::vector<SourceColumn>& columns() const noexcept { return columns_; }
  // The number of rows, 0 when it is not known before the end.
  std::int32_t total() const noexcept { return total_; }
  // Moves to the next row, the first at the first call; false after the last.
  virtual bool next() = 0;
  // Column `column`'s value in the current row; valid until next().
  virtual const Variant& cell(std::size_t column) = 0;

 protected:
  std::vector<SourceColumn> columns_;
  std::int32_t total_ = 0;
};

// How cells become text (export files, printed pages): by the locale in
// force unless the caller chose otherwise.
struct CellFormats {
  char16_t decimalSeparator = 0;  // 0: the locale's
  bool isoDates = false;          // year-month-day, and the time as hh:nn:ss when there is one
  std::u16string datePattern;     // a date-format pattern (formatDate); empty: the locale's short date
  // The form a data grid's paste reads back in every locale, whatever the
  // other choices: numbers and yes/no by the number-to-text rule (a point,
  // a blank before a number that is not negative; yes -1, no 0) and dates
  // as year-month-day.
  bool pasteForm = false;
};

// Appends a cell's text: Null and Empty as nothing; a number as the
// locale writes it (no thousands separators); a date by `formats` with
// its time of day when it has one; a yes/no as "True" or "False"; a text as
// it stands. A value that is none of these (an array) writes nothing.
TARNWICK_API void appendCellText(std::u16string& out, const Variant& value, const CellFormats& formats);

// Every field of a record source but binary ones, from its first record;
// the field's name is the caption.
TARNWICK_API std::unique_ptr<TableSource> recordsetSource(const Object& records);
// What a data grid shows: its visible columns in their order, under their
// captions and with their widths, over the records of the data control it
// is bound to (DataSource); with `selectedOnly`, only the rows of its
// SelBookmarks, in the order they were selected.
TARNWICK_API std::unique_ptr<TableSource> dataGridSource(const Object& grid, bool selectedOnly);
// A flex grid's visible columns and rows: the texts of its fixed rows are
// the captions (the last fixed row's, as the grid shows them above the
// cells), the other rows are the rows; with `selectedOnly`, the rows from
// Row to RowSel.
TARNWICK_API std::unique_ptr<TableSource> flexGridSource(const Object& grid, bool selectedOnly);
// One of the three by the object's TypeName: "DBGrid", "MSFlexGrid", else a
// record source.
TARNWICK_API std::unique_ptr<TableSource> tableSource(const Object& source, bool selectedOnly);

}  // namespace tarnwick::frame
