#pragma once
// A control on a form: an automation object whose members depend on its
// kind. Every kind's members and rules live in the host's member tables
// (ControlMembers*.cpp), whose rows name the kinds that have each member
// and act on the control's ControlState, so the headless host and a widget
// host share them. A member the kind lacks is unknown to GetIDsOfNames
// (error 438 for a caller by name).
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/frame/GridRows.h>
#include <tarnwick/host/BoundRows.h>
#include <tarnwick/host/ControlKind.h>
#include <tarnwick/host/ControlState.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::host {

class Form;
struct ControlMember;  // a row of the member tables, private to the host

class TARNWICK_API Control final : public AutomationObject<Control>, public frame::IGridRows {
 public:
  // Use Form::add; a control always belongs to a form.
  Control(ControlKind kind, std::unique_ptr<ControlState> state, Form* form, std::u16string name,
          std::optional<std::int16_t> index, Control* container);
  ~Control();

  static std::u16string_view typeName() { return u"Control"; }
  // Every row of the member tables; a name has one row per behaviour.
  static std::span<const ControlMember> members();
  // Every member's name, with the type names of the kinds that have it
  // (for the reference and its test).
  static std::vector<std::pair<std::u16string_view, std::vector<std::u16string_view>>> memberNames();
  std::u16string_view instanceTypeName() const noexcept { return typeNameOf(kind_); }
  bool answersTo(const IID& riid) const noexcept;

  // One identity for both interfaces; only flex grids offer their rows.
  HRESULT QueryInterface(const IID& riid, void** object) noexcept override;
  ULONG AddRef() noexcept override { return AutomationObject::AddRef(); }
  ULONG Release() noexcept override { return AutomationObject::Release(); }
  HRESULT AddRow(const char16_t* row, std::uint32_t length) noexcept override;

  HRESULT GetIDsOfNames(const IID& riid, const char16_t* const* names, UINT count, LCID lcid,
                        DISPID* ids) noexcept override;
  HRESULT Invoke(DISPID id, const IID& riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* info, UINT* argErr) noexcept override;

  // True when this kind of control has the member `name`.
  bool hasMember(std::u16string_view name) const noexcept;

  ControlKind kind() const noexcept { return kind_; }
  ControlState& state() noexcept { return *state_; }
  const ControlState& state() const noexcept { return *state_; }
  const std::u16string& name() const noexcept { return name_; }
  std::optional<std::int16_t> index() const noexcept { return index_; }
  // The form, or nullptr once the form is gone.
  Form* form() const noexcept { return form_; }
  // The control that contains this one (a frame, a panel), or nullptr for the form itself.
  Control* container() const noexcept { return container_; }

  // The values of the members, with the members' rules, for C++ callers.
  std::u16string text() const;
  void setText(std::u16string_view text);
  Variant tag() const { return state_->get(Property::Tag); }

  // Change notifications: a handler runs after a member changed a value,
  // for example Text (the Change event) or Value (Click). Handlers may
  // write controls themselves; a chain deeper than 64 stops with error 28.
  using ChangeHandler = std::function<void(Control& control, Property changed)>;
  int onChange(ChangeHandler handler);
  void removeHandler(int id) noexcept;
  void notifyChanged(Property changed);

  // While a form is being built, design-time properties (Name, Style, ...) may be set.
  bool designMode() const noexcept;
  // The form is gone: the control stays usable on its own but has no parent.
  void detach() noexcept {
    form_ = nullptr;
    container_ = nullptr;
  }

  // Writes a value into the state and tells the handlers when it changed.
  void store(Property property, const Variant& value);

  // A data grid's records: the bookmarks of its recordset's records, in
  // order, read as they are needed since the grid was last bound.
  BoundRows& boundRows() noexcept { return boundRows_; }

 private:
  ControlKind kind_;
  std::unique_ptr<ControlState> state_;
  Form* form_;
  std::u16string name_;
  std::optional<std::int16_t> index_;
  Control* container_;
  std::vector<std::pair<int, ChangeHandler>> handlers_;
  int nextHandler_ = 1;
  int notifyDepth_ = 0;
  BoundRows boundRows_;
};

}  // namespace tarnwick::host
