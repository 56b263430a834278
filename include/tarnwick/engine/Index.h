#pragma once
// An index of a table: its Name ("PrimaryKey" for the primary key), its
// Fields in key order, and whether it is Primary and Unique.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/engine/Collection.h>

#include <span>
#include <string>

namespace tarnwick::engine {

class Index final : public AutomationObject<Index> {
 public:
  Index(std::u16string name, bool primary, bool unique, ComPtr<Collection> fields)
      : name_(std::move(name)), primary_(primary), unique_(unique), fields_(std::move(fields)) {}

  static std::u16string_view typeName() { return u"Index"; }
  static std::span<const Member<Index>> members();

  const std::u16string& name() const noexcept { return name_; }
  bool primary() const noexcept { return primary_; }
  bool unique() const noexcept { return unique_; }
  IDispatch* fieldsObject() const noexcept { return fields_.get(); }

 private:
  std::u16string name_;
  bool primary_;
  bool unique_;
  ComPtr<Collection> fields_;
};

}  // namespace tarnwick::engine
