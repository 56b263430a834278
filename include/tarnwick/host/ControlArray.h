#pragma once
// A control array: the object a form answers for a name that several
// controls share, each with its own Index. Members: Item (default; error 340
// for an index with no element), UBound, LBound, Count, and enumeration in
// index order (DISPID_NEWENUM gives an IEnumVARIANT over the elements as
// they are when the loop starts). Indexes may start anywhere and have gaps.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/host/Form.h>

#include <string>

namespace tarnwick::host {

class ControlArray final : public AutomationObject<ControlArray> {
 public:
  ControlArray(ComPtr<Form> form, std::u16string name) noexcept : form_(std::move(form)), name_(std::move(name)) {}

  static std::u16string_view typeName() { return u"Object"; }
  static std::span<const Member<ControlArray>> members();

  // The elements by ascending index (live: they follow the form).
  std::vector<Control*> elements() const { return form_->named(name_); }
  // The element with index `index`; Error 340 naming the index when there is none.
  Control& element(std::int32_t index) const;

 private:
  ComPtr<Form> form_;
  std::u16string name_;
};

// A form's Controls collection: Count, Item (default; by position from 0,
// error 9 outside, or by name, error 730 when there is none) and
// enumeration in the order the controls were placed.
class ControlCollection final : public AutomationObject<ControlCollection> {
 public:
  explicit ControlCollection(ComPtr<Form> form) noexcept : form_(std::move(form)) {}
  static std::u16string_view typeName() { return u"Object"; }
  static std::span<const Member<ControlCollection>> members();
  Form& form() const noexcept { return *form_.get(); }

 private:
  ComPtr<Form> form_;
};

}  // namespace tarnwick::host
