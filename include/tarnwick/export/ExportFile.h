#pragma once
// Export files: a table source (a record source, or what a data grid or a
// flex grid shows) written row by row to a CSV file or a spreadsheet, so
// that no more than a row of it is held at once. A file is written whole
// or not at all: the rows go to a temporary file beside it that replaces
// it at the end; a failure, or Cancel in the host's progress dialog
// (error 18), removes the temporary file and leaves any old file as it was.
#include <tarnwick/automation/Export.h>
#include <tarnwick/frame/TableSource.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick::exports {

enum class Format { Csv, Xlsx, Pdf };

// The format a name gives ("csv", "xlsx", "pdf", any letter case), or the
// one a file's extension gives when `name` is empty; error 5 naming it when
// there is none.
TARNWICK_API Format formatOf(std::u16string_view name, const std::filesystem::path& file);

struct ExportOptions {
  Format format = Format::Csv;
  // CSV: the field separator; 0 takes the locale's list separator, ";"
  // where the decimal separator is a comma (so numbers need no quotes),
  // else ",".
  char16_t separator = 0;
  bool byteOrderMark = false;  // CSV: starts the file with UTF-8's byte-order mark
  bool header = true;          // a first row of captions
  frame::CellFormats formats;  // CSV and print: numbers and dates as text
};

// The separator a CSV export uses under `options` in the locale in force.
TARNWICK_API char16_t csvSeparator(const ExportOptions& options);

// Writes the source to `file`; the number of rows written. Errors: the
// file's (53, 75, 76, 61, ...) naming it, 18 when the host's progress
// service asked to stop, 5 for a value a spreadsheet cannot hold (a text of
// more than 32,767 characters, more than 1,048,575 rows) naming the cell.
TARNWICK_API std::int32_t exportTable(frame::TableSource& source, const std::filesystem::path& file,
                                      const ExportOptions& options);

// The CSV field a cell's text becomes (RFC 4180): quoted, with quotes
// doubled, when it holds the separator, a quote, a carriage return or a
// line feed, or starts or ends with a blank; as it stands otherwise.
TARNWICK_API void appendCsvField(std::u16string& out, std::u16string_view text, char16_t separator);

}  // namespace tarnwick::exports
