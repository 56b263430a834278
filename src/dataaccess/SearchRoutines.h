#pragma once
#include <tarnwick/automation/Call.h>

namespace tarnwick::dataaccess {

// GetWhereClauseFromTags_s and GetBetweenWhereClauseFromTags_s.
void getWhereClauseFromTags(Call& call);
void getBetweenWhereClauseFromTags(Call& call);

}  // namespace tarnwick::dataaccess
