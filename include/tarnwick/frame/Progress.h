#pragma once
// The progress of a routine's walk over many records, reported to the
// host's progress service when the host has one (member "Progress" of the
// host's services object). Without one, nothing is asked and a record costs
// a test of one pointer.
//
//   frame::WorkProgress progress(u"Filling the grid");
//   while (...) {
//     progress.next();   // error 18 when the host asked to stop
//     ...                // the record's work
//   }
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Object.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::frame {

class TARNWICK_API WorkProgress {
 public:
  // Reports go out as the first record starts and then before every
  // kEvery-th record: often enough for a dialog to stay live and its
  // Cancel to be heard, seldom enough to cost nothing next to the records.
  static constexpr std::int32_t kEvery = 100;

  // `total` records, 0 when the count is not known beforehand.
  explicit WorkProgress(std::u16string_view task, std::int32_t total = 0);
  // Tells the host the work ended, when it was told the work began.
  ~WorkProgress();
  WorkProgress(const WorkProgress&) = delete;
  WorkProgress& operator=(const WorkProgress&) = delete;

  // Before each record: counts the records done so far and reports when it
  // is time. Error 18 (User interrupt occurred) when the host asks the work
  // to stop; the record is then left undone.
  void next() {
    if (service_ && done_++ % kEvery == 0) report();
  }
  // Whether the host watches this work: it can then ask it to stop.
  bool watched() const noexcept { return static_cast<bool>(service_); }
  // For work over `records` from the current record to the end: the total,
  // when the host watches and the count is cheap (the engine counts a
  // table-type recordset's records without reading them); else it stays 0,
  // a busy bar. Asks nothing of the records when nobody watches.
  void countRemaining(const Object& records);

 private:
  void report();

  Object service_;
  std::u16string task_;
  std::int32_t total_;
  std::int32_t done_ = 0;
  bool reported_ = false;
};

}  // namespace tarnwick::frame
