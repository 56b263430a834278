#pragma once
// The class "Tarnwick.Export": export files and printed lists reached by
// name, as every routine and client reaches the library's objects. Its
// properties say how (Format, Separator, ByteOrderMark, Header, IsoDates,
// DateFormat, DecimalSeparator, PasteForm, SelectedOnly, Title, Locale) and
// its methods do it:
//
//   ExportFile(Source, FileName[, Database])  -> the number of rows written
//   PrintFile(Source, FileName)               -> a PDF (the Qt host's printer)
//
// Source is a record source, a data grid or a flex grid (a form, to print
// it), or the name of a table or an SQL statement of Database (a Database
// object, or a file's path or a server's URI, opened for reading and closed
// again). The export knows the engine and the hosts only by name: it sits
// beside the four classes, above the frame.
#include <tarnwick/automation/Guid.h>

#include <string_view>

namespace tarnwick::exports {

inline constexpr CLSID kExportClassId{0x5B2E7C41, 0x9A3D, 0x4C6F, {0x8E, 0x12, 0x6F, 0x3A, 0x0B, 0xD4, 0x71, 0x25}};

}  // namespace tarnwick::exports

#include <string_view>

namespace tarnwick::exports {

inline constexpr std::u16string_view kExportProgId = u"Tarnwick.Export";
// The Qt host's printer, registered by its installHost(): what PrintFile
// and the format "pdf" ask by name.
inline constexpr std::u16string_view kPrinterProgId = u"Tarnwick.Printer";

}  // namespace tarnwick::exports
