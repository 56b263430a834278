#include "SqliteDialect.h"

namespace tarnwick::engine {

const Dialect& sqliteDialect() noexcept {
  static const SqliteDialect dialect;
  return dialect;
}

}  // namespace tarnwick::engine
