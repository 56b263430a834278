#pragma once
// A transaction of the thread's data engine, reached by name: BeginTrans
// when it is made, CommitTrans through commit(), and Rollback when it is
// left open, so no path out of a routine leaves a transaction behind.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Object.h>

namespace tarnwick::frame {

class TARNWICK_API Transaction {
 public:
  // Begins the transaction; the engine's error when it cannot.
  Transaction();
  // Rolls back a transaction neither committed nor rolled back. A failing
  // Rollback is swallowed here: the scope is left on an error or an early
  // return that already decides the routine's outcome, and a destructor
  // must not throw.
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // CommitTrans; a commit the engine refuses leaves the transaction open,
  // to be rolled back.
  void commit();
  // Rollback now, raising the engine's error. It is tried once: whatever
  // it answers, the transaction counts as ended.
  void rollback();
  bool open() const noexcept { return open_; }

 private:
  Object engine_;
  bool open_ = false;
};

}  // namespace tarnwick::frame
