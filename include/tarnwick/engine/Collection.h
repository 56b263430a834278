#pragma once
// A collection of the engine's objects (Fields, TableDefs, Indexes): Count,
// the default member Item by position (from 0) or by name (letter case
// ignored; 3265 for one that is not there), and enumeration in order.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Export.h>

#include <span>
#include <string>
#include <vector>

namespace tarnwick::engine {

class TARNWICK_API Collection final : public AutomationObject<Collection> {
 public:
  explicit Collection(std::u16string typeName) : typeName_(std::move(typeName)) {}

  static std::u16string_view typeName() { return u"Collection"; }
  std::u16string_view instanceTypeName() const noexcept { return typeName_; }
  static std::span<const Member<Collection>> members();

  void add(std::u16string name, ComPtr<IDispatch> item);
  std::size_t count() const noexcept { return items_.size(); }
  // The item by position or name; Error 3265 when there is none.
  IDispatch* item(const Variant& positionOrName) const;

 private:
  std::u16string typeName_;
  std::vector<std::u16string> names_;
  std::vector<ComPtr<IDispatch>> items_;
};

}  // namespace tarnwick::engine
