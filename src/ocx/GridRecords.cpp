// One record of a table written from a caller's values: added, or found by
// its primary key and overwritten, the values going to the fields in field
// order with one field left out.
#include "GridFilling.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/HostServices.h>

#include <optional>

namespace tarnwick::ocx {

namespace {

struct RecordArguments {
  std::size_t records;
  std::size_t excepted;  // the excepted field's name; the edit key and the values follow it
};

// Writes the record. Returns the first field's value as read once the
// record was opened for adding or editing; nullopt when the record to edit
// does not exist (nothing is changed then).
std::optional<std::int32_t> writeRecord(Call& call, RecordArguments at, bool readKey) {
  const Object records(call.object(at.records));
  const std::u16string excepted = call.text(at.excepted);
  const std::int32_t edit = call.int32(at.excepted + 1);
  const std::vector<Variant> values = frame::arrayElements(call.arg(at.excepted + 2));
  if (edit >= 0) {
    records.put(u"Index", Variant(u"PrimaryKey"));
    records.call(u"Seek", u"=", edit);
    if (toBool(records.get(u"NoMatch"))) {
      frame::showMessage(u"Please Remove the GridItem first, then Add it.", frame::msgbox::OkOnly);
      return std::nullopt;
    }
    records.call(u"Edit");
  } else {
    records.call(u"AddNew");
  }
  const Object fields(records.get(u"Fields"));
  // An automatic key is assigned at AddNew, so an add learns its new key here.
  const std::int32_t key = readKey ? toInt32(frame::element(fields, 0).get(u"Value")) : 0;
  std::size_t next = 0;
  for (const Object& field : frame::collectionItems(fields)) {
    if (toText(field.get(u"Name")) == excepted) continue;
    if (next >= values.size()) raise(errc::SubscriptOutOfRange);
    field.invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &values[next++]);
  }
  records.call(u"Update");
  return key;
}

}  // namespace

void addValuesToRecordset(Call& call) {
  call.setResult(writeRecord(call, {0, 1}, true).value_or(0));
}

void addFromGridToRecordset(Call& call) {
  // The grid argument takes no part: the values come from the list.
  writeRecord(call, {0, 2}, false);
  call.setResult(std::int32_t{0});
}

}  // namespace tarnwick::ocx
