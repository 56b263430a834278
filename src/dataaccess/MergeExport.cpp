#include "MergeExport.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/HostServices.h>
#include <tarnwick/frame/MergeFile.h>
#include <tarnwick/frame/TextFile.h>

namespace tarnwick::dataaccess {

namespace {

// A control's entry: its data source read as text (the data control's
// default member) names the field. A control bound to none (Nothing) has no
// entry; an empty control exports one blank, and shows it afterwards.
void addDataSourceEntry(frame::MergeFile& file, const Object& control) {
  const Variant source = control.get(u"DataSource");
  const std::u16string name = source.isObject() && !source.object() ? std::u16string() : toText(source);
  if (name.empty()) return;
  if (toText(control.value()).empty()) {
    const Variant blank(u" ");
    control.invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &blank);
  }
  file.add(name, toText(control.value()));
}

}  // namespace

void saveMergeFieldsFromDatasource(Call& call) {
  frame::exportMergeFile(call, frame::ControlWalk::ByIndex, addDataSourceEntry,
                         [](std::u16string_view fileName, const std::u16string& text) {
                           const std::int16_t written = frame::printToFile(fileName, Variant(text));
                           // This class's writer tells the user when the file cannot be written.
                           if (written != 0)
                             frame::showMessage(standardDescription(written), frame::msgbox::Exclamation);
                           return written;
                         });
}

}  // namespace tarnwick::dataaccess
