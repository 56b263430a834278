#pragma once
// A tab strip's Tabs collection (Count, Item from 1 with error 9 outside,
// Add, Remove, Clear, enumeration) and one Tab (Caption, Index, Selected).
// The captions live in the tab strip's state, one item per tab.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/host/Control.h>

namespace tarnwick::host {

class Tabs final : public AutomationObject<Tabs> {
 public:
  explicit Tabs(ComPtr<Control> strip) noexcept : strip_(std::move(strip)) {}
  static std::u16string_view typeName() { return u"Tabs"; }
  static std::span<const Member<Tabs>> members();
  Control& strip() const noexcept { return *strip_.get(); }

 private:
  ComPtr<Control> strip_;
};

class Tab final : public AutomationObject<Tab> {
 public:
  Tab(ComPtr<Control> strip, std::int32_t index) noexcept : strip_(std::move(strip)), index_(index) {}
  static std::u16string_view typeName() { return u"Tab"; }
  static std::span<const Member<Tab>> members();
  Control& strip() const noexcept { return *strip_.get(); }
  // The tab's position from 1; Error 9 once the tab is gone.
  std::size_t position() const;
  std::int32_t index() const noexcept { return index_; }

 private:
  ComPtr<Control> strip_;
  std::int32_t index_;
};

// A Tab object for the tab at `index` (from 1), as a value.
Variant tabObject(Control& strip, std::int32_t index);

}  // namespace tarnwick::host
