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
#include <filesystem>
#include <string_view>

namespace tarnwick::host {

// How deep frames and panels may nest (a control on the form is at depth
// 1), in a description and in a Qt Designer file alike. Real forms stay a
// few levels deep; the limit keeps a hostile file from costing time and
// memory without end.
inline constexpr std::size_t kDeepestControlNesting = 100;

// Loads a description file; Error 53 when it does not exist, 75 when it cannot be read.
// A file of the installed host's own design format (a Qt Designer file on
// the Qt host) is loaded by that host instead.
TARNWICK_API ComPtr<Form> loadForm(const std::filesystem::path& path);
// Loads a description from text; relative database names are taken
// relative to `folder` (the current folder when empty).
TARNWICK_API ComPtr<Form> loadFormText(std::string_view text, const std::filesystem::path& folder = {});

}  // namespace tarnwick::host
