#pragma once
// Printed lists and forms: the class "Tarnwick.Printer", which installHost()
// registers in the process, so that the library's export (format "pdf"),
// the tool and any client reach it by name:
//
//   PrintFile(Source, FileName[, Title[, SelectedOnly[, IsoDates[, DateFormat]]]])
//   PrintDialog(Source[, Title[, SelectedOnly]])
//
// Source is a record source, a data grid or a flex grid, printed as a list:
// the title and the column captions on every page, the page's number at its
// foot, cells in the locale's formats, on A4 turned to landscape when the
// columns are wider than the page stands; or a form of the Qt host, printed
// as it shows on the screen, scaled to the page. PrintFile writes a PDF
// whole or not at all (Cancel in the progress dialog is error 18 and leaves
// no file); PrintDialog asks Qt's print dialog for a printer. Both answer
// the number of rows printed (0 for a form, or a dialog cancelled).
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Guid.h>

#include <string_view>

namespace tarnwick::qt {

inline constexpr std::u16string_view kPrinterProgId = u"Tarnwick.Printer";
inline constexpr CLSID kPrinterClassId{0x5B2E7C42, 0x9A3D, 0x4C6F, {0x8E, 0x12, 0x6F, 0x3A, 0x0B, 0xD4, 0x71, 0x25}};

// Registers the class in this process (installHost does it).
TARNWICK_API void installPrinter();

}  // namespace tarnwick::qt
