#include <tarnwick/frame/DataEngine.h>
#include <tarnwick/frame/Transaction.h>

namespace tarnwick::frame {

Transaction::Transaction() : engine_(dbEngine()) {
  engine_.call(u"BeginTrans");
  open_ = true;
}

Transaction::~Transaction() {
  if (!open_) return;
  try {
    rollback();
  } catch (...) {
  }
}

void Transaction::commit() {
  engine_.call(u"CommitTrans", std::int32_t{0});
  open_ = false;
}

void Transaction::rollback() {
  open_ = false;
  engine_.call(u"Rollback");
}

}  // namespace tarnwick::frame
