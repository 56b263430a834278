#include "HostInternal.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/host/ControlArray.h>
#include <tarnwick/host/Form.h>
#include <tarnwick/host/Services.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>

namespace tarnwick::host {

namespace {

// Dispatch ids from here on name the form's controls: kNameBase + the
// name's position among the names placed.
constexpr DISPID kNameBase = 0x40000000;

std::int32_t newWindowHandle() noexcept {
  static std::atomic<std::int32_t> next{0x00010010};
  return next.fetch_add(4);
}

// Where the element `index` stands, or would stand, among an array's
// elements (kept by ascending index): a search, not a walk, so that placing
// or finding each element of a large array stays cheap.
std::vector<Control*>::const_iterator elementPlace(const std::vector<Control*>& elements, std::int16_t index) {
  return std::lower_bound(elements.begin(), elements.end(), index,
                          [](const Control* c, std::int16_t i) { return *c->index() < i; });
}

std::u16string upper(std::u16string_view name) {
  std::u16string out(name);
  for (char16_t& c : out) c = upperCase(c);
  return out;
}

bool isIdentifier(std::u16string_view name) noexcept {
  if (name.empty() || name.size() > 40) return false;
  auto letter = [](char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c > 0x7F; };
  if (!letter(name[0])) return false;
  for (char16_t c : name)
    if (!letter(c) && !(c >= u'0' && c <= u'9') && c != u'_') return false;
  return true;
}

float single(const Variant& v) {
  const double d = toDouble(v);
  if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) raise(errc::Overflow);
  return static_cast<float>(d);
}

bool flag(const ControlState& s, Property p) {
  const Variant v = s.get(p);
  return !v.isEmpty() && !v.isNull() && toBool(v);
}

void textProperty(Form& self, Call& call, Property p) {
  call.expect(0);
  if (call.isPut()) self.state().set(p, Variant(toText(call.value())));
  else call.setResult(self.state().get(p));
}

void geometry(Form& self, Call& call, Property p) {
  call.expect(0);
  if (!call.isPut()) return call.setResult(self.state().get(p));
  const float v = single(call.value());
  if ((p == Property::Width || p == Property::Height) && v < 0) raise(errc::InvalidPropertyValue);
  self.state().set(p, Variant(v));
}

Variant controls(Form& self) {
  ComPtr<ControlCollection> list = makeObject<ControlCollection>(ComPtr<Form>(&self));
  return Variant(static_cast<IDispatch*>(list.get()));
}

// The border and caption of a window, in twips, for the inner size.
constexpr float kBorder = 60, kCaption = 345;

const Member<Form> kFormMembers[] = {
    {u"Controls", DISPID_VALUE, kGet,
     [](Form& self, Call& call) {
       call.expect(0, 1);
       if (call.count() == 0) return call.setResult(controls(self));
       Object list(controls(self));
       call.setResult(list.invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {&call.arg(0), 1}, nullptr));
     }},
    {u"Name", 1, kProperty,
     [](Form& self, Call& call) {
       call.expect(0);
       if (call.isPut()) raise(errc::SetNotSupportedAtRuntime);
       call.setResult(Variant(self.name()));
     }},
    {u"Caption", 2, kProperty, [](Form& self, Call& call) { textProperty(self, call, Property::Caption); }},
    {u"Tag", 3, kProperty, [](Form& self, Call& call) { textProperty(self, call, Property::Tag); }},
    {u"Top", 4, kProperty, [](Form& self, Call& call) { geometry(self, call, Property::Top); }},
    {u"Left", 5, kProperty, [](Form& self, Call& call) { geometry(self, call, Property::Left); }},
    {u"Width", 6, kProperty, [](Form& self, Call& call) { geometry(self, call, Property::Width); }},
    {u"Height", 7, kProperty, [](Form& self, Call& call) { geometry(self, call, Property::Height); }},
    {u"ScaleWidth", 8, kGet,
     [](Form& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(std::max(0.0f, static_cast<float>(self.width()) - 2 * kBorder)));
     }},
    {u"ScaleHeight", 9, kGet,
     [](Form& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(std::max(0.0f, static_cast<float>(self.height()) - 2 * kBorder - kCaption)));
     }},
    {u"WindowState", 10, kProperty,
     [](Form& self, Call& call) {
       call.expect(0);
       const Variant v = self.state().get(Property::WindowState);
       if (!call.isPut()) return call.setResult(Variant(static_cast<std::int16_t>(v.isEmpty() ? 0 : toInt16(v))));
       const std::int16_t state = toInt16(call.value());
       if (state < 0 || state > 2) raise(errc::InvalidPropertyValue);  // 0 normal, 1 minimised, 2 maximised
       self.state().set(Property::WindowState, Variant(state));
     }},
    {u"Visible", 11, kProperty,
     [](Form& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(self.shown()));
       if (toBool(call.value())) self.show();
       else self.state().set(Property::Visible, Variant(false));
     }},
    {u"Enabled", 12, kProperty,
     [](Form& self, Call& call) {
       call.expect(0);
       if (!call.isPut()) return call.setResult(Variant(flag(self.state(), Property::Enabled)));
       self.state().set(Property::Enabled, Variant(toBool(call.value())));
     }},
    {u"Move", 13, kMethod,
     [](Form& self, Call& call) {
       call.expect(1, 4);
       std::optional<double> rest[3];
       for (std::size_t i = 1; i < 4; ++i)
         if (call.has(i)) rest[i - 1] = single(call.arg(i));
       self.move(single(call.arg(0)), rest[0], rest[1], rest[2]);
     }},
    {u"Show", 14, kMethod,
     [](Form& self, Call& call) {
       // A modal form would wait for the user; a headless form has none, so
       // Show returns at once in both styles (0 modeless, 1 modal).
       call.expect(0, 2);
       if (call.has(0)) {
         const std::int16_t style = call.int16(0);
         if (style != 0 && style != 1) raise(errc::InvalidProcedureCall);
       }
       self.show();
     }},
    {u"Hide", 15, kMethod,
     [](Form& self, Call& call) {
       call.expect(0);
       self.state().set(Property::Visible, Variant(false));
       self.setActiveControl(nullptr);
     }},
    {u"hWnd", 16, kGet,
     [](Form& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(self.hWnd()));
     }},
    {u"ActiveControl", 17, kGet,
     [](Form& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<IDispatch*>(self.activeControl())));
     }},
    {u"SetFocus", 18, kMethod,
     [](Form& self, Call& call) {
       call.expect(0);
       if (!self.shown() || !flag(self.state(), Property::Enabled)) raise(errc::InvalidProcedureCall);
       self.state().focus();
     }},
    {u"ZOrder", 19, kMethod,
     [](Form& self, Call& call) {
       call.expect(0, 1);
       const std::int16_t position = call.has(0) ? call.int16(0) : 0;
       if (position != 0 && position != 1) raise(errc::InvalidProcedureCall);
       windowStack()->setWindowPos(self.hWnd(), position == 0 ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                                   SWP_NOMOVE | SWP_NOSIZE);
       self.state().raise(position == 0);
     }},
    {u"Refresh", 20, kMethod, [](Form&, Call& call) { call.expect(0); }},
    {u"Count", 21, kGet,
     [](Form& self, Call& call) {
       call.expect(0);
       call.setResult(Variant(static_cast<std::int32_t>(self.controls().size())));
     }},
};

}  // namespace

std::span<const Member<Form>> Form::members() { return kFormMembers; }

Form::Form(std::u16string name, std::unique_ptr<ControlState> state, std::shared_ptr<FormFactory> factory)
    : name_(std::move(name)), factory_(factory ? std::move(factory) : formFactory()), hWnd_(newWindowHandle()) {
  if (!isIdentifier(name_)) raise(errc::InvalidPropertyValue);
  state_ = state ? std::move(state) : factory_->formState(name_);
  state_->set(Property::Name, Variant(name_));
  state_->set(Property::Caption, Variant(name_));
  state_->set(Property::Tag, Variant(u""));
  state_->set(Property::Top, Variant(0.0f));
  state_->set(Property::Left, Variant(0.0f));
  state_->set(Property::Width, Variant(4800.0f));
  state_->set(Property::Height, Variant(3600.0f));
  state_->set(Property::WindowState, Variant(static_cast<std::int16_t>(0)));
  state_->set(Property::Visible, Variant(false));
  state_->set(Property::Enabled, Variant(true));
  state_->attached(*this);
  windowStack()->addWindow(hWnd_);
}

Form::~Form() {
  for (const ComPtr<Control>& c : controls_) c->detach();
  windowStack()->removeWindow(hWnd_);
}

ComPtr<Form> Form::create(std::u16string name, std::unique_ptr<ControlState> state,
                          std::shared_ptr<FormFactory> factory) {
  return makeObject<Form>(std::move(name), std::move(state), std::move(factory));
}

Form::NameEntry* Form::entryFor(std::u16string_view name) {
  auto it = nameIndex_.find(upper(name));
  return it == nameIndex_.end() ? nullptr : &names_[it->second];
}
const Form::NameEntry* Form::entryFor(std::u16string_view name) const {
  return const_cast<Form*>(this)->entryFor(name);
}

Control& Form::add(ControlKind kind, std::u16string name, std::optional<std::int16_t> index, Control* container,
                   std::unique_ptr<ControlState> state) {
  if (!isIdentifier(name) || findByName(std::u16string(name).c_str())) raise(errc::InvalidPropertyValue);
  if (index && *index < 0) raise(errc::InvalidPropertyValue);
  if (container && container->form() != this) raise(errc::InvalidProcedureCall);
  NameEntry* entry = entryFor(name);
  std::size_t position = 0;
  if (entry) {
    // A name is one control, or one array of controls of one kind.
    if (!entry->isArray || !index || entry->controls.front()->kind() != kind) raise(errc::InvalidProcedureCall);
    const auto at = elementPlace(entry->controls, *index);
    if (at != entry->controls.end() && *(*at)->index() == *index) raise(errc::ObjectAlreadyLoaded);
    position = static_cast<std::size_t>(at - entry->controls.begin());
  }
  if (!state) state = factory_->controlState(*this, kind, name, index, container);
  ComPtr<Control> control = makeObject<Control>(kind, std::move(state), this, name, index, container);
  controls_.push_back(control);
  if (!entry) {
    nameIndex_.emplace(upper(name), names_.size());
    names_.push_back(NameEntry{std::move(name), {}, index.has_value()});
    entry = &names_.back();
  }
  entry->controls.insert(entry->controls.begin() + static_cast<std::ptrdiff_t>(position), control.get());
  return *control.get();
}

std::vector<Control*> Form::named(std::u16string_view name) const {
  const NameEntry* entry = entryFor(name);
  return entry ? entry->controls : std::vector<Control*>{};
}

Control* Form::find(std::u16string_view name, std::optional<std::int16_t> index) const {
  const NameEntry* entry = entryFor(name);
  if (!entry || entry->isArray != index.has_value()) return nullptr;
  if (!index) return entry->controls.front();
  const auto at = elementPlace(entry->controls, *index);
  return at != entry->controls.end() && *(*at)->index() == *index ? *at : nullptr;
}

Variant Form::member(std::u16string_view name) {
  const NameEntry* entry = entryFor(name);
  if (!entry) return Variant();
  if (!entry->isArray) return Variant(static_cast<IDispatch*>(entry->controls.front()));
  ComPtr<ControlArray> array = makeObject<ControlArray>(ComPtr<Form>(this), entry->name);
  return Variant(static_cast<IDispatch*>(array.get()));
}

bool Form::shown() const { return flag(*state_, Property::Visible); }
double Form::width() const { return toDouble(state_->get(Property::Width)); }
double Form::height() const { return toDouble(state_->get(Property::Height)); }

void Form::move(double left, std::optional<double> top, std::optional<double> width, std::optional<double> height) {
  if ((width && *width < 0) || (height && *height < 0)) raise(errc::InvalidPropertyValue);
  state_->set(Property::Left, Variant(static_cast<float>(left)));
  if (top) state_->set(Property::Top, Variant(static_cast<float>(*top)));
  if (width) state_->set(Property::Width, Variant(static_cast<float>(*width)));
  if (height) state_->set(Property::Height, Variant(static_cast<float>(*height)));
}

void Form::show() {
  state_->set(Property::Visible, Variant(true));
  state_->focus();
}

HRESULT Form::GetIDsOfNames(const IID& riid, const char16_t* const* names, UINT count, LCID lcid,
                            DISPID* ids) noexcept {
  const HRESULT hr = AutomationObject<Form>::GetIDsOfNames(riid, names, count, lcid, ids);
  if (hr == S_OK || !names || !ids || count != 1 || !names[0]) return hr;
  try {
    auto it = nameIndex_.find(upper(names[0]));
    if (it == nameIndex_.end()) return DISP_E_UNKNOWNNAME;
    ids[0] = kNameBase + static_cast<DISPID>(it->second);
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT Form::Invoke(DISPID id, const IID& riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* info, UINT* argErr) noexcept {
  if (id < kNameBase || static_cast<std::size_t>(id - kNameBase) >= names_.size())
    return AutomationObject<Form>::Invoke(id, riid, lcid, flags, params, result, info, argErr);
  if (!params) return E_INVALIDARG;
  // frm.name reads the control or array; frm.name(i) an element of the
  // array; frm.name = value assigns the control's default member.
  try {
    Call call(flags, *params, result);
    const NameEntry& entry = names_[static_cast<std::size_t>(id - kNameBase)];
    Variant target = member(entry.name);
    if (call.count() > 1) raise(errc::WrongArgumentCount);
    if (call.count() == 1) {
      if (!entry.isArray) raise(errc::WrongArgumentCount);
      const std::int32_t index = call.int32(0);
      Control& element = static_cast<ControlArray*>(target.dispatch())->element(index);
      target = Variant(static_cast<IDispatch*>(&element));
    }
    if (call.isPut()) {
      Object(target).invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &call.value());
      return S_OK;
    }
    call.setResult(std::move(target));
    return S_OK;
  } catch (...) {
    return tarnwick::impl::reportException(info, name_);
  }
}

}  // namespace tarnwick::host
