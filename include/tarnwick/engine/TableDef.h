#pragma once
// A table's definition: its Name, Fields (with their types and rules) and
// Indexes, as the file holds them when the TableDef is read.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/engine/Collection.h>

#include <memory>
#include <span>
#include <string>

namespace tarnwick::engine {

struct DatabaseCore;

class TableDef final : public AutomationObject<TableDef> {
 public:
  TableDef(std::shared_ptr<DatabaseCore> db, std::u16string name);

  static std::u16string_view typeName() { return u"TableDef"; }
  static std::span<const Member<TableDef>> members();

  const std::u16string& name() const noexcept { return name_; }
  const std::shared_ptr<DatabaseCore>& db() const noexcept { return db_; }
  Collection& fields() noexcept { return *fields_.get(); }
  Collection& indexes() noexcept { return *indexes_.get(); }

 private:
  std::shared_ptr<DatabaseCore> db_;
  std::u16string name_;
  ComPtr<Collection> fields_;
  ComPtr<Collection> indexes_;
};

}  // namespace tarnwick::engine
