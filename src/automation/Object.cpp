#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/ErrorInfo.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/TypeInfo.h>

#include <cstring>
#include <vector>

namespace tarnwick {

Object::Object(const Variant& value) {
  const VARTYPE type = value.valueType();
  if (type != VT_DISPATCH && type != VT_UNKNOWN) raise(errc::ObjectRequired);
  if (type == VT_DISPATCH) {
    object_ = ComPtr<IDispatch>(value.dispatch());
  } else if (IUnknown* unknown = value.object()) {
    if (failed(unknown->QueryInterface(IID_IDispatch, object_.putVoid()))) raise(errc::ObjectRequired);
  }
  if (!object_) raise(errc::ObjectNotSet);
}

DISPID Object::idOf(std::u16string_view name) const {
  if (!object_) raise(errc::ObjectNotSet);
  // GetIDsOfNames takes a terminated name.
  char16_t buffer[64];
  std::u16string longName;
  const char16_t* terminated = buffer;
  if (name.size() < std::size(buffer)) {
    std::memcpy(buffer, name.data(), name.size() * sizeof(char16_t));
    buffer[name.size()] = u'\0';
  } else {
    longName.assign(name);
    terminated = longName.c_str();
  }
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = object_->GetIDsOfNames(GUID_NULL, &terminated, 1, 0, &id);
  if (failed(hr)) raise(Error(errc::MemberNotSupported).noted(u"member " + quotedName(name) + ownerForNote()));
  return id;
}

void throwInvokeFailure(HRESULT hr, EXCEPINFO& info) {
  std::u16string description(view(info.bstrDescription));
  std::u16string source(view(info.bstrSource));
  const HRESULT code = info.scode;
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrHelpFile);
  info = EXCEPINFO{};
  if (hr == DISP_E_EXCEPTION) {
    const std::int32_t number = errorNumberFromResult(code);
    if (description.empty()) description = standardDescription(number);
    Error error(number, std::move(description), std::move(source));
    impl::receiveNote(error);
    raise(std::move(error));
  }
  raise(errorNumberFromResult(hr));
}

namespace {

// A get or a call without arguments (a field's value, EOF, MoveNext): no
// argument list to lay out.
Variant invokeBare(IDispatch& object, DISPID id, WORD flags) {
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  Variant result;
  EXCEPINFO info;
  UINT argErr = 0;
  const HRESULT hr = object.Invoke(id, GUID_NULL, 0, flags, &params, &result, &info, &argErr);
  if (failed(hr)) throwInvokeFailure(hr, info);
  return result;
}

}  // namespace

Variant Object::invoke(DISPID id, WORD flags, std::span<Variant> args, const Variant* putValue) const {
  if (!object_) raise(errc::ObjectNotSet);
  if (args.empty() && !putValue) return invokeBare(*object_.get(), id, flags);
  // Invoke takes the arguments reversed. The list borrows the caller's
  // values without copying them; references in it reach the caller's variables.
  const std::size_t count = args.size() + (putValue ? 1 : 0);
  VARIANT small[8];
  std::vector<VARIANT> large;
  VARIANT* list = small;
  if (count > std::size(small)) {
    large.resize(count);
    list = large.data();
  }
  std::size_t at = 0;
  if (putValue) std::memcpy(static_cast<void*>(&list[at++]), static_cast<const VARIANT*>(putValue), sizeof(VARIANT));
  for (std::size_t i = args.size(); i-- > 0;)
    std::memcpy(static_cast<void*>(&list[at++]), static_cast<const VARIANT*>(&args[i]), sizeof(VARIANT));
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{count ? list : nullptr, putValue ? &named : nullptr, static_cast<UINT>(count),
                    putValue ? 1u : 0u};
  Variant result;
  EXCEPINFO info;
  UINT argErr = 0;
  const HRESULT hr = object_->Invoke(id, GUID_NULL, 0, flags, &params, putValue ? nullptr : &result, &info, &argErr);
  if (failed(hr)) throwInvokeFailure(hr, info);
  return result;
}

Variant Object::get(std::u16string_view name) const { return invoke(idOf(name), DISPATCH_PROPERTYGET, {}, nullptr); }

Variant Object::get(std::u16string_view name, std::initializer_list<Variant> indices) const {
  std::vector<Variant> list(indices);
  return invoke(idOf(name), DISPATCH_PROPERTYGET | DISPATCH_METHOD, list, nullptr);
}

void Object::put(std::u16string_view name, const Variant& value) const {
  invoke(idOf(name), DISPATCH_PROPERTYPUT, {}, &value);
}

void Object::put(std::u16string_view name, std::initializer_list<Variant> indices, const Variant& value) const {
  std::vector<Variant> list(indices);
  invoke(idOf(name), DISPATCH_PROPERTYPUT, list, &value);
}

void Object::putRef(std::u16string_view name, const Variant& value) const {
  invoke(idOf(name), DISPATCH_PROPERTYPUTREF, {}, &value);
}

Variant Object::value() const { return invoke(DISPID_VALUE, DISPATCH_PROPERTYGET, {}, nullptr); }

// " of TextBox 'txtQty'": the object a missing member was asked of, by its
// type name and, when it has one that reads as a text, its Name. Asked
// directly, so that a failure here raises nothing.
std::u16string Object::ownerForNote() const noexcept {
  try {
    std::u16string text = u" of " + typeName();
    const char16_t* member = u"Name";
    DISPID id = DISPID_UNKNOWN;
    if (succeeded(object_->GetIDsOfNames(GUID_NULL, &member, 1, 0, &id))) {
      DISPPARAMS none{nullptr, nullptr, 0, 0};
      Variant name;
      if (succeeded(object_->Invoke(id, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &name, nullptr, nullptr)) &&
          name.vt == VT_BSTR && !name.text().empty())
        text += u" " + quotedName(name.text());
    }
    return text;
  } catch (...) {
    return {};
  }
}

std::u16string Object::typeName() const {
  if (!object_) return u"Nothing";
  ComPtr<ITypeInfo> info;
  if (failed(object_->GetTypeInfo(0, 0, info.put())) || !info) return u"Object";
  BSTR name = nullptr;
  if (failed(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr))) return u"Object";
  std::u16string result(view(name));
  SysFreeString(name);
  return result.empty() ? u"Object" : result;
}

bool Object::supports(const IID& iid) const noexcept {
  if (!object_) return false;
  ComPtr<IUnknown> answer;
  return succeeded(object_->QueryInterface(iid, answer.putVoid())) && answer;
}

}  // namespace tarnwick
