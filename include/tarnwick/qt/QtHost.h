#pragma once
// The Qt host: real Qt widgets answer the same members, type names and
// interface tests as the headless host, because every rule lives in the
// host's member tables and the widgets only keep the values (ControlState).
//
// Widgets are recognised by class, the most derived first:
//   tarnwick::qt::DataControl  -> "Data"         (record navigator)
//   tarnwick::qt::LookupCombo  -> "DBCombo"
//   QComboBox                  -> "ComboBox"     (not editable: Style 2, a drop-down list)
//   QLineEdit, QPlainTextEdit  -> "TextBox"
//   QCheckBox                  -> "CheckBox"     (tristate: Value 2 is partly checked)
//   QLabel                     -> "Label"
//   QPushButton, QToolButton   -> "CommandButton"
//   QGroupBox                  -> "Frame"        (contains controls)
//   QFrame (the class itself)  -> "Panel"        (contains controls)
//   QTableWidget               -> "MSFlexGrid"
//   QTableView                 -> "DBGrid"       (a view over the bound recordset)
//   QListWidget                -> "ListBox"
//   QTabBar, QTabWidget        -> "TabStrip"
//   QMenu, QAction (named)     -> "Menu"         (a menu title, a menu item)
// A widget's objectName is the control's name; widgets without one, Qt's
// own ("qt_" names) and widgets of other classes are not controls. The
// dynamic properties "Tag", "DataField", "DataSource" (the name of a data
// control of the form) and "Index" may be set in Qt Designer. Widgets that
// share a name and carry an "Index" make a control array; since Designer
// keeps names unique, a name that ends in "_<Index>" (txtField_2 with
// Index 2) counts as the name without that ending.
#include <tarnwick/automation/Export.h>
#include <tarnwick/host/Form.h>

#include <filesystem>

class QWidget;
class QObject;

namespace tarnwick::qt {

// Makes Qt the host of this process: Form::create builds a real window and
// Form::add real widgets in it, and the host's services become Qt's
// (installServices). Every call here needs a QApplication: without one it
// is error 5.
TARNWICK_API void installHost();
// The form factory only: Form::create and Form::add make real widgets,
// while the services stay as they are (tests keep a scripted message box).
TARNWICK_API void installForms();
// The services only: twips per pixel from the screen's logical resolution,
// the screen's size, the system clipboard, message boxes, the application
// palette for the selection colours, the style's frame and scroll bar
// metrics, stay-on-top window flags, and progress (installProgress).
TARNWICK_API void installServices();
// The progress service only: long work of the routines shows a progress
// dialog with a Cancel button once it has gone on for about half a second.
TARNWICK_API void installProgress();

// Message boxes on Qt are modal windows, except where nobody can see them:
// on the offscreen and minimal platforms a box answers at once with its
// default button and its prompt goes to the host's message log
// (MessageLog.h). `Shown` and `Unattended` decide it for every platform,
// for a test that presses a real box's buttons, say.
enum class MessageBoxes { ByPlatform, Shown, Unattended };
TARNWICK_API void setMessageBoxes(MessageBoxes mode);

// Wraps a window and the widgets inside it as a form of the host. The
// form's name is the window's objectName. Error 380 when the window has no
// usable name or a widget's Index is no number from 0 to 32767, 5 (with the
// widget's name) when two controls clash: one name for controls of two
// kinds, for an array and a control outside it, or one name and one Index
// twice.
TARNWICK_API ComPtr<host::Form> wrapForm(QWidget& window);

// Loads a Qt Designer file and wraps its top-level widget; a data control's
// relative DatabaseName is taken from the file's folder. The window is
// owned by the form's caller through its Qt parent (or deleted with
// deleteLater when it has none and the form is closed). Errors:
// - 53 when the path names no regular file (missing, a folder, a FIFO, a
//   device), at once; 75 when it cannot be read (host::readFormFile);
// - 75 with the loader's message when the file does not load;
// - checked before the loader builds anything, naming the file's line:
//   5 for elements of any kind (layouts, items, properties, widgets)
//   nested more than 512 deep, widgets nested deeper than controls may
//   (host::kDeepestControlNesting), more than host::kMostFormControls
//   widgets and actions, a text longer than host::kLongestFormText
//   characters, or two widgets or actions of one name and one Index (or
//   both without); 380 for an Index that is not a whole number from 0 to
//   32767 written as a number or a string; 5 for a file larger than
//   host::kLargestFormFile;
// - then as wrapForm: 380 for a window without a usable name, 5 when two
//   controls clash, 380 for a DataSource that names no data control.
TARNWICK_API ComPtr<host::Form> loadUiForm(const std::filesystem::path& path, QWidget* parent = nullptr);

// The window of a form, or the widget of a control, of the Qt host;
// nullptr for a headless one or once the widget is gone.
TARNWICK_API QWidget* windowOf(host::Form& form);
TARNWICK_API QObject* widgetOf(host::Control& control);

// Pixels and twips of the screen the Qt host uses.
TARNWICK_API int twipsPerPixelX();
TARNWICK_API int twipsPerPixelY();

}  // namespace tarnwick::qt
