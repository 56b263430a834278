#pragma once
// Where a form's windows and widgets come from. Form::create asks the
// installed factory (Services.h) for the form's state and keeps the factory,
// so every control later placed on the form gets its state from the same
// host: the headless factory keeps values in memory, a widget host makes a
// real window and real widgets.
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/host/ControlKind.h>
#include <tarnwick/host/ControlState.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

namespace tarnwick::host {

class Control;
class Form;

class TARNWICK_API FormFactory {
 public:
  virtual ~FormFactory() = default;
  // The state of a new form's window.
  virtual std::unique_ptr<ControlState> formState(std::u16string_view name) = 0;
  // The state of a control placed on `form`, inside `container` (nullptr:
  // the form itself). The control does not exist yet; its state learns its
  // owner through ControlState::attached.
  virtual std::unique_ptr<ControlState> controlState(Form& form, ControlKind kind, std::u16string_view name,
                                                     std::optional<std::int16_t> index, Control* container) = 0;
  // A form from a file of the host's own design format (a widget host's
  // designer files); null when the host has none or the file is not one.
  virtual ComPtr<Form> loadDesigned(const std::filesystem::path& path);
};

// Forms and controls whose values are kept in memory.
class TARNWICK_API HeadlessFormFactory final : public FormFactory {
 public:
  std::unique_ptr<ControlState> formState(std::u16string_view) override { return makeStoredState(); }
  std::unique_ptr<ControlState> controlState(Form&, ControlKind, std::u16string_view, std::optional<std::int16_t>,
                                             Control*) override {
    return makeStoredState();
  }
};

}  // namespace tarnwick::host
