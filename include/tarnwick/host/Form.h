#pragma once
// A form: its own members (Controls, Name, Caption, Width, Height,
// WindowState, Move, Show, hWnd, ...) from a member table, and every
// control or control array reachable as a member by its name, the way a
// client's code reaches frm.objDatacontrol. Controls keep the order in which
// they were placed.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/host/Control.h>
#include <tarnwick/host/ControlState.h>
#include <tarnwick/host/FormFactory.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarnwick::host {

class TARNWICK_API Form final : public AutomationObject<Form> {
 public:
  // A form whose window is `state` and whose controls get their states from
  // `factory`; either, when null, from the installed form factory.
  explicit Form(std::u16string name, std::unique_ptr<ControlState> state = {},
                std::shared_ptr<FormFactory> factory = {});
  ~Form();

  // A new form, hidden, in the normal window state.
  static ComPtr<Form> create(std::u16string name, std::unique_ptr<ControlState> state = {},
                             std::shared_ptr<FormFactory> factory = {});

  static std::u16string_view typeName() { return u"Form"; }
  static std::span<const Member<Form>> members();

  HRESULT GetIDsOfNames(const IID& riid, const char16_t* const* names, UINT count, LCID lcid,
                        DISPID* ids) noexcept override;
  HRESULT Invoke(DISPID id, const IID& riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* info, UINT* argErr) noexcept override;

  // Places a control. `index` makes it an element of the control array
  // `name`; `container` is a frame or panel of this form that holds it.
  // Without a state the form's factory makes one (a widget on a widget host).
  // Errors: 380 for a name that is no identifier, 360 for an element
  // already loaded, 5 when the name is taken by a control of another kind
  // or by a control outside an array, 5 for a container of another form.
  Control& add(ControlKind kind, std::u16string name, std::optional<std::int16_t> index = std::nullopt,
               Control* container = nullptr, std::unique_ptr<ControlState> state = {});

  const std::u16string& name() const noexcept { return name_; }
  const std::shared_ptr<FormFactory>& factory() const noexcept { return factory_; }
  ControlState& state() noexcept { return *state_; }
  const std::vector<ComPtr<Control>>& controls() const noexcept { return controls_; }
  // The controls named `name` (any letter case), by ascending index; empty when none.
  std::vector<Control*> named(std::u16string_view name) const;
  // The one control named `name` outside any array, or the array element.
  Control* find(std::u16string_view name, std::optional<std::int16_t> index = std::nullopt) const;
  // What frm.<name> answers: the control, or the control array object;
  // Empty when the form has no control of that name.
  Variant member(std::u16string_view name);

  std::int32_t hWnd() const noexcept { return hWnd_; }
  bool shown() const;
  Control* activeControl() const noexcept { return active_; }
  void setActiveControl(Control* control) noexcept { active_ = control; }

  // The form's own properties, for C++ callers.
  double width() const;
  double height() const;
  void move(double left, std::optional<double> top = {}, std::optional<double> width = {},
            std::optional<double> height = {});
  void show();

  // While true, design-time properties may be set (the loader builds the form).
  bool designMode() const noexcept { return designMode_; }
  void setDesignMode(bool on) noexcept { designMode_ = on; }

 private:
  struct NameEntry {
    std::u16string name;             // as first placed
    std::vector<Control*> controls;  // by ascending index
    bool isArray = false;
  };
  NameEntry* entryFor(std::u16string_view name);
  const NameEntry* entryFor(std::u16string_view name) const;

  std::u16string name_;
  std::shared_ptr<FormFactory> factory_;
  std::unique_ptr<ControlState> state_;
  std::vector<ComPtr<Control>> controls_;
  // Names in the order first placed; a name's dispatch id is kNameBase + its position.
  std::vector<NameEntry> names_;
  std::unordered_map<std::u16string, std::size_t> nameIndex_;  // upper-case name -> position
  std::int32_t hWnd_;
  Control* active_ = nullptr;
  bool designMode_ = false;
};

}  // namespace tarnwick::host
