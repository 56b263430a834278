#include "ControlMembers.h"

#include <tarnwick/frame/LibraryClass.h>
#include <tarnwick/host/Form.h>

namespace tarnwick::host {

Control::Control(ControlKind kind, std::unique_ptr<ControlState> state, Form* form, std::u16string name,
                 std::optional<std::int16_t> index, Control* container)
    : kind_(kind),
      state_(state ? std::move(state) : makeStoredState()),
      form_(form),
      name_(std::move(name)),
      index_(index),
      container_(container) {
  impl::initialise(*this);
  state_->attached(*this);
}

Control::~Control() = default;

HRESULT Control::QueryInterface(const IID& riid, void** object) noexcept {
  if (object && riid == frame::IGridRows::iid && isFlexGrid(kind_)) {
    *object = static_cast<frame::IGridRows*>(this);
    AddRef();
    return S_OK;
  }
  return AutomationObject::QueryInterface(riid, object);
}

HRESULT Control::AddRow(const char16_t* row, std::uint32_t length) noexcept {
  try {
    impl::addFlexRow(*this, std::u16string_view(row, length), state_->rows());
    return S_OK;
  } catch (...) {
    return frame::impl::reportEarlyCurrent(instanceTypeName());
  }
}

bool Control::answersTo(const IID& riid) const noexcept {
  switch (kind_) {
    case ControlKind::TextBox: return riid == IID_TextBoxControl;
    case ControlKind::ComboBox: return riid == IID_ComboBoxControl;
    case ControlKind::CheckBox: return riid == IID_CheckBoxControl;
    default: return false;
  }
}

bool Control::hasMember(std::u16string_view name) const noexcept { return impl::findMember(kind_, name) != nullptr; }

HRESULT Control::GetIDsOfNames(const IID&, const char16_t* const* names, UINT count, LCID, DISPID* ids) noexcept {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  const ControlMember* member = names[0] ? impl::findMember(kind_, std::u16string_view(names[0])) : nullptr;
  ids[0] = member ? member->id : DISPID_UNKNOWN;
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;  // no named parameters
  return member && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT Control::Invoke(DISPID id, const IID&, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* info, UINT* argErr) noexcept {
  if (id == DISPID_VALUE) id = impl::defaultMemberOf(kind_);
  const ControlMember* member = impl::findMember(kind_, id);
  if (!member) return DISP_E_MEMBERNOTFOUND;
  return invokeMember(*member, flags, params, result, info, argErr);
}

int Control::onChange(ChangeHandler handler) {
  const int id = nextHandler_++;
  handlers_.emplace_back(id, std::move(handler));
  return id;
}

void Control::removeHandler(int id) noexcept {
  std::erase_if(handlers_, [id](const auto& h) { return h.first == id; });
}

void Control::notifyChanged(Property changed) {
  if (handlers_.empty()) return;
  // A handler that writes the control again starts a nested round; a chain
  // that never settles ends with the runtime's stack error, not a crash.
  if (notifyDepth_ >= 64) raise(errc::OutOfStackSpace);
  ++notifyDepth_;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{notifyDepth_};
  // Copy: a handler may add or remove handlers.
  const auto handlers = handlers_;
  ComPtr<Control> keepAlive(this);
  for (const auto& h : handlers) h.second(*this, changed);
}

bool Control::designMode() const noexcept { return form_ && form_->designMode(); }

namespace {
bool sameValue(const VARIANT& a, const VARIANT& b) noexcept {
  if (a.vt != b.vt) return false;
  switch (a.vt) {
    case VT_EMPTY:
    case VT_NULL: return true;
    case VT_BSTR: return view(a.bstrVal) == view(b.bstrVal);
    case VT_I2: return a.iVal == b.iVal;
    case VT_I4: return a.lVal == b.lVal;
    case VT_R4: return a.fltVal == b.fltVal;
    case VT_R8: return a.dblVal == b.dblVal;
    case VT_BOOL: return a.boolVal == b.boolVal;
    case VT_DISPATCH: return a.pdispVal == b.pdispVal;
    default: return false;
  }
}
}  // namespace

void Control::store(Property property, const Variant& value) {
  const Variant before = state_->get(property);
  state_->set(property, value);
  if (!sameValue(before, state_->get(property))) notifyChanged(property);
}

}  // namespace tarnwick::host
