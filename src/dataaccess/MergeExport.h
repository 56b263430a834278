#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::dataaccess {

// SaveMergeFieldsFromDatasource: the merge file from controls' DataSource names.
void saveMergeFieldsFromDatasource(Call& call);

}  // namespace tarnwick::dataaccess
