#include <tarnwick/export/ExportFile.h>

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/ErrorCatalogue.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/FileIo.h>
#include <tarnwick/frame/Progress.h>
#include <tarnwick/frame/TextFile.h>

#include <xlsxwriter.h>

#include <cerrno>
#include <cmath>
#include <memory>

namespace tarnwick::exports {

namespace {

std::u16string fileNote(const std::filesystem::path& file) { return u"file " + quotedName(fromUtf8(file.string())); }

[[noreturn]] void raiseFileError(int error, const std::filesystem::path& file) {
  raise(Error(frame::fileError(error)).noted(fileNote(file)));
}

// The temporary file that becomes `file` when the export ends well.
class Target {
 public:
  explicit Target(const std::filesystem::path& file) : file_(file) {
    // The file need not be there: a name that is not found is its folder.
    if (const int error = out_.open(file); error != 0) raiseFileError(error == ENOENT ? ENOTDIR : error, file);
  }
  frame::impl::ReplacementFile& out() { return out_; }
  const std::filesystem::path& file() const { return file_; }
  void commit() {
    if (const int error = out_.commit(); error != 0) raiseFileError(error, file_);
  }

 private:
  std::filesystem::path file_;
  frame::impl::ReplacementFile out_;
};

// CSV: each row is made as text and goes out as UTF-8 a buffer at a time.
std::int32_t writeCsv(frame::TableSource& source, Target& target, const ExportOptions& options) {
  constexpr std::size_t kBuffer = 1 << 16;
  const char16_t separator = csvSeparator(options);
  std::string bytes;
  bytes.reserve(kBuffer * 2);
  if (options.byteOrderMark) bytes += "\xEF\xBB\xBF";
  const auto flush = [&] {
    if (!frame::impl::writeWhole(target.out().descriptor(), bytes)) raiseFileError(errno, target.file());
    bytes.clear();
  };
  std::u16string row, cell;
  const auto endRow = [&] {
    row += u"\r\n";
    bytes += toUtf8(row);
    row.clear();
    if (bytes.size() >= kBuffer) flush();
  };
  const auto& columns = source.columns();
  if (options.header) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) row += separator;
      appendCsvField(row, columns[c].caption, separator);
    }
    endRow();
  }
  frame::WorkProgress progress(u"Exporting records", source.total());
  std::int32_t rows = 0;
  while (source.next()) {
    progress.next();
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) row += separator;
      cell.clear();
      frame::appendCellText(cell, source.cell(c), options.formats);
      appendCsvField(row, cell, separator);
    }
    endRow();
    ++rows;
  }
  flush();
  return rows;
}

// XLSX through libxlsxwriter in its constant-memory mode: each row is
// written to the sheet's temporary file as soon as the next one starts.
class Workbook {
 public:
  explicit Workbook(const std::filesystem::path& path) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    book_ = workbook_new_opt(path.c_str(), &options);
    if (!book_) raise(errc::OutOfMemory);
  }
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;
  ~Workbook() {
    if (book_) lxw_workbook_free(book_);
  }
  lxw_workbook* get() { return book_; }
  // Writes the file and lets go of the workbook.
  lxw_error close() {
    lxw_workbook* book = book_;
    book_ = nullptr;
    return workbook_close(book);
  }

 private:
  lxw_workbook* book_ = nullptr;
};

// The spreadsheet's date format for the locale: its date order and
// separator, and the time of day for a date that has one.
std::string sheetDateFormat(const frame::CellFormats& formats, bool withTime) {
  std::string format;
  if (formats.isoDates) {
    format = "yyyy-mm-dd";
  } else {
    const Locale& locale = userLocale();
    std::string separator = toUtf8(std::u16string(1, locale.dateSeparator));
    separator = "\"" + separator + "\"";
    switch (locale.dateOrder) {
      case DateOrder::MonthDayYear: format = "m" + separator + "d" + separator + "yyyy"; break;
      case DateOrder::DayMonthYear: format = "dd" + separator + "mm" + separator + "yyyy"; break;
      case DateOrder::YearMonthDay: format = "yyyy" + separator + "mm" + separator + "dd"; break;
    }
  }
  if (withTime) format += " hh:mm:ss";
  return format;
}

// Characters to a sheet's column width: about seven pixels of fifteen
// twips each.
double sheetWidth(const frame::SourceColumn& column) {
  if (column.width > 0) return std::max(1.0, column.width / 15.0 / 7.0);
  return std::max<double>(10, static_cast<double>(column.caption.size()) + 2);
}

constexpr std::size_t kLongestSheetText = 32767;
constexpr std::int32_t kMostSheetRows = 1048576;

std::u16string cellNote(std::int32_t row, const frame::SourceColumn& column) {
  return u"row " + numberToText(Variant(row)) + u", column " + quotedName(column.caption);
}

void writeSheetCell(lxw_worksheet* sheet, lxw_row_t r, lxw_col_t c, const Variant& value,
                    const frame::SourceColumn& column, lxw_format* date, lxw_format* dateTime, std::string& bytes) {
  const VARTYPE vt = value.vt & ~VT_BYREF;
  if (vt == VT_EMPTY || vt == VT_NULL || (value.vt & VT_ARRAY)) return;
  lxw_error result = LXW_NO_ERROR;
  if (vt == VT_BOOL) {
    result = worksheet_write_boolean(sheet, r, c, toBool(value), nullptr);
  } else if (vt == VT_DATE) {
    const double serial = toDate(value);
    result = worksheet_write_number(sheet, r, c, serial, serial == std::trunc(serial) ? date : dateTime);
  } else if (vt != VT_BSTR && isNumeric(value)) {
    result = worksheet_write_number(sheet, r, c, toDouble(value), nullptr);
  } else {
    const std::u16string text = toText(value);
    if (text.size() > kLongestSheetText)
      raise(Error(errc::InvalidProcedureCall)
                .noted(cellNote(static_cast<std::int32_t>(r), column) +
                       u": a spreadsheet cell holds at most 32767 characters"));
    bytes = toUtf8(text);
    result = worksheet_write_string(sheet, r, c, bytes.c_str(), nullptr);
  }
  if (result != LXW_NO_ERROR)
    raise(Error(errc::InvalidProcedureCall)
              .noted(cellNote(static_cast<std::int32_t>(r), column) + u": " + fromUtf8(lxw_strerror(result))));
}

std::int32_t writeXlsx(frame::TableSource& source, Target& target, const ExportOptions& options) {
  Workbook book(target.out().temporaryPath());
  lxw_worksheet* sheet = workbook_add_worksheet(book.get(), nullptr);
  lxw_format* bold = workbook_add_format(book.get());
  format_set_bold(bold);
  lxw_format* date = workbook_add_format(book.get());
  format_set_num_format(date, sheetDateFormat(options.formats, false).c_str());
  lxw_format* dateTime = workbook_add_format(book.get());
  format_set_num_format(dateTime, sheetDateFormat(options.formats, true).c_str());
  if (!sheet || !bold || !date || !dateTime) raise(errc::OutOfMemory);

  const auto& columns = source.columns();
  std::string bytes;
  for (std::size_t c = 0; c < columns.size(); ++c)
    worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), sheetWidth(columns[c]), nullptr);
  lxw_row_t r = 0;
  if (options.header) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      bytes = toUtf8(columns[c].caption);
      worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), bytes.c_str(), bold);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    r = 1;
  }
  frame::WorkProgress progress(u"Exporting records", source.total());
  std::int32_t rows = 0;
  while (source.next()) {
    progress.next();
    if (static_cast<std::int32_t>(r) >= kMostSheetRows)
      raise(Error(errc::InvalidProcedureCall)
                .noted(fileNote(target.file()) + u": a spreadsheet holds at most 1048576 rows"));
    for (std::size_t c = 0; c < columns.size(); ++c)
      writeSheetCell(sheet, r, static_cast<lxw_col_t>(c), source.cell(c), columns[c], date, dateTime, bytes);
    ++r;
    ++rows;
  }
  if (const lxw_error result = book.close(); result != LXW_NO_ERROR) {
    // The library reports its file errors by kind, not by errno.
    const int error = result == LXW_ERROR_CREATING_TMPFILE || result == LXW_ERROR_ZIP_FILE_ADD ? ENOSPC : EIO;
    Error e(frame::fileError(error));
    raise(std::move(e).noted(fileNote(target.file()) + u": " + fromUtf8(lxw_strerror(result))));
  }
  return rows;
}

}  // namespace

Format formatOf(std::u16string_view name, const std::filesystem::path& file) {
  std::u16string text(name);
  if (text.empty()) {
    text = fromUtf8(file.extension().string());
    if (!text.empty()) text.erase(0, 1);
  }
  if (equalsIgnoreCase(text, u"csv")) return Format::Csv;
  if (equalsIgnoreCase(text, u"xlsx")) return Format::Xlsx;
  if (equalsIgnoreCase(text, u"pdf")) return Format::Pdf;
  raise(Error(errc::InvalidProcedureCall)
            .noted(u"format " + quotedName(text) + u": the formats are csv, xlsx and pdf"));
}

char16_t csvSeparator(const ExportOptions& options) {
  if (options.separator != 0) return options.separator;
  const char16_t decimal = options.formats.decimalSeparator ? options.formats.decimalSeparator
                                                            : userLocale().decimalSeparator;
  return decimal == u',' ? u';' : u',';
}

void appendCsvField(std::u16string& out, std::u16string_view text, char16_t separator) {
  bool quoted = !text.empty() && (text.front() == u' ' || text.back() == u' ');
  for (std::size_t i = 0; i < text.size() && !quoted; ++i) {
    const char16_t c = text[i];
    quoted = c == separator || c == u'"' || c == u'\r' || c == u'\n';
  }
  if (!quoted) {
    out += text;
    return;
  }
  out += u'"';
  for (const char16_t c : text) {
    if (c == u'"') out += u'"';
    out += c;
  }
  out += u'"';
}

std::int32_t exportTable(frame::TableSource& source, const std::filesystem::path& file, const ExportOptions& options) {
  if (options.format == Format::Pdf)
    raise(Error(errc::InvalidProcedureCall).noted(u"a PDF is printed by the Qt host's printer, not exported"));
  Target target(file);
  const std::int32_t rows =
      options.format == Format::Csv ? writeCsv(source, target, options) : writeXlsx(source, target, options);
  target.commit();
  return rows;
}

}  // namespace tarnwick::exports
