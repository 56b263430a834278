#include "RecordLookup.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/Progress.h>

namespace tarnwick::dataaccess {

// SortRecordset_rs(objRecordset, tFieldToSort): the sort text goes to the
// engine unchanged; the recordset keeps it, and the sorted records come
// back as a new recordset. The engine sorts in one step: the host hears of
// it as one record of work, and may stop it before it starts.
void sortRecordset(Call& call) {
  const Object recordset(call.object(0));
  frame::WorkProgress progress(u"Sorting records", 1);
  progress.next();
  recordset.put(u"Sort", Variant(call.text(1)));
  call.setResult(recordset.call(u"OpenRecordset"));
}

// MakeCurrentRecord_b(tblTable, sIndexes, vIdToFind): seeks the key on the
// named index; on a match the found record is current.
void makeCurrentRecord(Call& call) {
  const Object table(call.object(0));
  table.put(u"Index", Variant(call.text(1)));
  table.call(u"Seek", u"=", call.arg(2).value());
  call.setResult(!toBool(table.get(u"NoMatch")));
}

// FindRecord_b(bFirst, rsRecordset, tWhereClause): the flag is read and has
// no effect; the search always starts from the first record.
void findRecord(Call& call) {
  [[maybe_unused]] const bool first = call.flag(0);
  const Object recordset(call.object(1));
  recordset.call(u"FindFirst", call.text(2));
  call.setResult(!toBool(recordset.get(u"NoMatch")));
}

}  // namespace tarnwick::dataaccess
