#pragma once
// Calling automation objects by name, as a routine on the platform does:
//
//   Object grid(arg);
//   Variant tag = grid.get(u"Tag");
//   grid.put(u"Text", Variant(u"abc"));
//   grid.call(u"Move", left, top);
//   grid.put(u"ColWidth", {Variant(2)}, Variant(1200));   // indexed property
//
// Members are looked up when called; failures arrive as Error with the
// number and description that the object reported.
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Dispatch.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Variant.h>

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

class TARNWICK_API Object {
 public:
  Object() noexcept = default;
  explicit Object(ComPtr<IDispatch> object) noexcept : object_(std::move(object)) {}
  explicit Object(IDispatch* object) noexcept : object_(object) {}
  // The object a value holds (references followed); Error 424 when it holds
  // none, 91 when it holds Nothing.
  explicit Object(const Variant& value);

  IDispatch* get() const noexcept { return object_.get(); }
  const ComPtr<IDispatch>& pointer() const noexcept { return object_; }
  explicit operator bool() const noexcept { return static_cast<bool>(object_); }

  // The dispatch id of a member; Error 438 when the object has no such member.
  DISPID idOf(std::u16string_view name) const;

  Variant get(std::u16string_view name) const;
  Variant get(std::u16string_view name, std::initializer_list<Variant> indices) const;
  void put(std::u16string_view name, const Variant& value) const;
  void put(std::u16string_view name, std::initializer_list<Variant> indices, const Variant& value) const;
  // Assigns an object reference (Set obj.Member = value).
  void putRef(std::u16string_view name, const Variant& value) const;
  template <typename... Args>
  Variant call(std::u16string_view name, Args&&... args) const {
    Variant list[] = {Variant(std::forward<Args>(args))..., Variant()};
    return invoke(idOf(name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::span(list, sizeof...(Args)), nullptr);
  }
  // The default member's value.
  Variant value() const;

  // Calls by dispatch id. `args` stand in the caller's order; `putValue`,
  // when given, is the value of a property put.
  Variant invoke(DISPID id, WORD flags, std::span<Variant> args, const Variant* putValue) const;

  // The class name the object reports (what TypeName answers); "Object"
  // when it reports none.
  std::u16string typeName() const;
  // " of TextBox 'txtQty'", for a note that names the object at fault; "" when it cannot be told.
  std::u16string ownerForNote() const noexcept;
  // The interface test: does the object answer to the interface?
  bool supports(const IID& iid) const noexcept;

 private:
  ComPtr<IDispatch> object_;
};

// Turns a failed Invoke into Error, keeping the object's number and description.
[[noreturn]] TARNWICK_API void throwInvokeFailure(HRESULT hr, EXCEPINFO& info);

}  // namespace tarnwick
