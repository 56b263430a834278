#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::ocx {

// SaveMergeFieldsFromTags: the merge file from the controls' merge directives.
void saveMergeFieldsFromTags(Call& call);

}  // namespace tarnwick::ocx
