#pragma once
// Form descriptions: a small text format for a form and its controls,
// loaded into the headless host with one call.
//
//   # A comment line.
//   form frmOrder {
//     Caption = "Order entry"          # properties of the form
//     Width = 9000
//     TextBox txtField[0] {            # an element of the control array txtField
//       Tag = "Orders.Customer"
//       Text = "Smith"
//     }
//     Frame fraPaid {                  # frames and panels contain controls
//       CheckBox chkPaid {
//         Value = 1
//       }
//     }
//     ComboBox cboState {
//       Style = 2                      # design-time properties may be set here
//       AddItem "open"                 # a member call: name, then arguments
//       Text = "open"
//     }
//     MSFlexGrid grdLines {
//       Cols = 3
//       ColWidth(0) = 1500             # indexed properties take their indexes in ()
//       TextMatrix(0, 1) = "Qty"
//       AddItem "Pen\t2\t1.50"
//     }
//     TabStrip tabPages {
//       Tab "General"                  # one tab, with its caption
//     }
//     Data datOrders {
//       DatabaseName = "orders.db"     # relative to the description's folder
//       RecordSource = "Orders"
//     }
//     DBGrid grdOrders {
//       DataSource = datOrders         # a bare name stands for a control of the form
//       Column "Customer", "Customer", 2000   # caption, field, width (optional)
//     }
//   }
//
// One statement per line. Values: "text" (escapes \" \\ \t \n), numbers,
// True, False, or a control's name. Every property goes through the
// control's own member, so a description obeys the same rules as code;
// while loading, design-time properties (Style, DataSource) may be set.
// Data controls open their recordsets when the form has loaded. Errors
// carry the number of the failing rule and a description that begins with
// "line N: ", for example "line 12: unknown property 'Captoin' for TextBox".
#include <tarnwick/automation/Export.h>
#include <tarnwick/host/Form.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick::host {

// How deep frames and panels may nest (a control on the form is at depth
// 1), in a description and in a Qt Designer file alike. Real forms stay a
// few levels deep; the limit keeps a hostile file from costing time and
// memory without end.
inline constexpr std::size_t kDeepestControlNesting = 100;

// What a form may hold, in a description and in a Qt Designer file alike.
// Real forms stay far below these; they keep a hostile file from costing
// time and memory without end. A file past one of them is refused with
// error 5, naming the limit (and the line where it is passed):
// - a form file holds at most kLargestFormFile bytes (16 MiB);
// - a form holds at most kMostFormControls controls (10,000; in a Designer
//   file, widgets and actions);
// - a text value (a caption, a list item, a tag) holds at most
//   kLongestFormText characters (65,536).
inline constexpr std::uintmax_t kLargestFormFile = 16 * 1024 * 1024;
inline constexpr std::size_t kMostFormControls = 10000;
inline constexpr std::size_t kLongestFormText = 65536;

// The bytes of a form file, read whole. Only a regular file is read: a
// folder, a FIFO or a device is error 53 as a missing file is, at once
// (a FIFO is never opened for reading, which would wait for a writer).
// Error 75 when the file cannot be read, 5 when it is larger than
// kLargestFormFile.
TARNWICK_API std::string readFormFile(const std::filesystem::path& path);

// Loads a description file; errors of reading it as readFormFile's.
// A file of the installed host's own design format (a Qt Designer file on
// the Qt host) is loaded by that host instead.
TARNWICK_API ComPtr<Form> loadForm(const std::filesystem::path& path);
// Loads a description from text; relative database names are taken
// relative to `folder` (the current folder when empty).
TARNWICK_API ComPtr<Form> loadFormText(std::string_view text, const std::filesystem::path& folder = {});

}  // namespace tarnwick::host
