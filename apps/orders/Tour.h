#pragma once
// The scripted tour: the front end's screens worked through as a user
// would, with a screenshot of each form at the moment that shows its point.
#include "Session.h"

#include <filesystem>

namespace orders {

// Runs the tour, printing one line per step, and saves search-form.png,
// view-form.png, edit-form.png and customised.png into `shots`. 0 when
// every step succeeded, 1 otherwise.
int runTour(Session& session, const std::filesystem::path& shots);

}  // namespace orders
