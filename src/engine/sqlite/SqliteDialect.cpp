#include "SqliteDialect.h"

#include "SqliteCatalogue.h"

#include <tarnwick/automation/Error.h>

namespace tarnwick::engine {

// The engine numbers a file's counters itself.
std::string SqliteDialect::nextCounter(std::string_view, std::string_view) const { raise(errc::InvalidProcedureCall); }
std::string SqliteDialect::counterRestart(std::string_view, std::string_view) const {
  raise(errc::InvalidProcedureCall);
}

std::string SqliteDialect::columnType(const FieldInfo& field) const { return declarationOf(field); }

FieldInfo SqliteDialect::fieldOfType(std::u16string name, std::string_view type) const {
  return fieldFromDeclaration(std::move(name), type);
}

Dialect::Copy SqliteDialect::temporaryCopy(const std::string& name, const std::string& qualified,
                                           const std::vector<std::string>& declarations, const std::string& columns,
                                           const std::string& sql) const {
  // The copy's rows are numbered by the file (its rowid).
  Copy copy;
  copy.create = createTemporary(name, declarations);
  copy.fill = "DELETE FROM " + qualified + "; INSERT INTO " + qualified + " " +
              (declarations.empty() ? sql : "(" + columns + ") " + sql);
  return copy;
}

const Dialect& sqliteDialect() noexcept {
  static const SqliteDialect dialect;
  return dialect;
}

}  // namespace tarnwick::engine
