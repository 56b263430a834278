#pragma once
// A database: one file of the engine. Execute runs one action statement,
// OpenRecordset opens a table or a Select as a recordset, TableDefs
// describes the tables. Opened and created through the DBEngine.
// DeleteShownRecords is this engine's own member: it deletes exactly the
// records a recordset opened on a record source shows.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Export.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick::engine {

struct DatabaseCore;
class DBEngine;
class Recordset;

class TARNWICK_API Database final : public AutomationObject<Database> {
 public:
  Database(std::shared_ptr<DatabaseCore> core, ComPtr<DBEngine> engine);
  ~Database();

  static std::u16string_view typeName() { return u"Database"; }
  static std::span<const Member<Database>> members();

  // Runs one action statement of the engine's dialect.
  void execute(std::u16string_view sql);
  // Deletes the records a recordset opened on `recordSource` (a table's
  // name, or a Select of whole records from one table with an optional
  // WHERE and ORDER BY) shows; 3251 for any other record source.
  void deleteShownRecords(std::u16string_view recordSource);
  // Opens a table (by name) or a Select; `type` 0 takes the kind's default:
  // table-type for a table, dynaset for a query.
  ComPtr<Recordset> openRecordset(std::u16string_view source, std::int16_t type = 0);
  void close() noexcept;
  // QueryTimeout: how many seconds one statement may run before it is
  // stopped with 3234, having changed nothing; 0 lets it run as long as it
  // takes. Starts as the engine's QueryTimeout.
  std::int32_t queryTimeout() const;
  void setQueryTimeout(std::int32_t seconds);

  const std::shared_ptr<DatabaseCore>& core() const noexcept { return core_; }

 private:
  std::shared_ptr<DatabaseCore> core_;
  ComPtr<DBEngine> engine_;
  bool closed_ = false;
};

}  // namespace tarnwick::engine
