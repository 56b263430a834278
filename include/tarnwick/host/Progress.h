#pragma once
// The progress service, an optional service of the host: routines that walk
// many records (filling a grid, copying, pasting or deleting data grid
// rows, the merge export of a grid, sorting) tell it how far they are, and
// it may ask them to stop. With none installed nobody is asked and the
// routines run exactly as they always do.
#include <tarnwick/automation/Export.h>

#include <cstdint>
#include <string>

namespace tarnwick::host {

class TARNWICK_API Progress {
 public:
  virtual ~Progress() = default;
  // The work called `task` has done `done` of `total` records (total 0 when
  // the count is not known beforehand). It reports as it starts and then
  // every so many records; false asks it to stop, which it does before its
  // next record with error 18 (User interrupt occurred).
  virtual bool report(const std::u16string& task, std::int32_t done, std::int32_t total) = 0;
  // The work that reported has ended, finished, stopped or failed.
  virtual void finish(const std::u16string& task) = 0;
};

}  // namespace tarnwick::host
