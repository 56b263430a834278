#include "MergeExport.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/HostServices.h>
#include <tarnwick/frame/MergeFile.h>
#include <tarnwick/frame/TextFile.h>

namespace tarnwick::dataaccess {

void saveMergeFieldsFromDatasource(Call& call) {
  // The result is the number of the error that stopped the export, 0 when
  // the file was written; nothing is written after an error.
  std::u16string fileName;
  std::optional<std::u16string> text;
  try {
    fileName = call.text(1);
    frame::MergeFile file;
    for (const Variant& arrayValue : frame::arrayElements(call.arg(0))) {
      const Object controls(arrayValue);
      const std::int32_t upper = frame::upperBound(controls);
      for (std::int32_t j = 0; j <= upper; ++j) {
        const Object control = frame::element(controls, j);
        // The data source read as text: the data control's default member.
        // A control bound to none (Nothing) names no field.
        const Variant source = control.get(u"DataSource");
        const std::u16string name =
            source.isObject() && !source.object() ? std::u16string() : toText(source);
        if (name.empty()) continue;
        // An empty control exports one blank, and shows it afterwards.
        if (toText(control.value()).empty()) {
          const Variant blank(u" ");
          control.invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &blank);
        }
        file.add(name, toText(control.value()));
      }
    }
    const Variant missing = Variant::missing();
    text = file.text(call.has(2) ? call.arg(2) : missing, call.has(3) ? call.arg(3) : missing);
  } catch (const Error& e) {
    call.setResult(static_cast<std::int16_t>(e.number()));
    return;
  }
  // Nothing to export is an invalid argument.
  if (!text) {
    call.setResult(static_cast<std::int16_t>(errc::InvalidProcedureCall));
    return;
  }
  const std::int16_t written = frame::printToFile(fileName, Variant(*text));
  // This class's writer tells the user when the file cannot be written.
  if (written != 0) frame::showMessage(standardDescription(written), frame::msgbox::Exclamation);
  call.setResult(written);
}

}  // namespace tarnwick::dataaccess
