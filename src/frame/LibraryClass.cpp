#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/frame/LibraryClass.h>

#include <cstring>

namespace tarnwick::frame {

std::vector<RoutineBody> bindRoutines(const ClassInfo& info, std::span<const RoutineBinding> rows) {
  const std::vector<RoutineInfo>& routines = info.interface.routines;
  std::vector<RoutineBody> bodies(routines.size(), nullptr);
  std::vector<bool> bound(routines.size(), false);
  const auto fail = [&](std::u16string_view name, std::u16string_view what) {
    raise(Error(errc::AutomationError, info.name + u": " + std::u16string(name) + u" " + std::u16string(what)));
  };
  for (const RoutineBinding& row : rows) {
    // The name as the type library spells it: a table is written against the library.
    std::size_t at = 0;
    while (at < routines.size() && routines[at].name != row.name) ++at;
    if (at == routines.size()) fail(row.name, u"has a body but is not a routine of the class");
    if (bound[at]) fail(row.name, u"is bound twice");
    bound[at] = true;
    bodies[at] = row.body;  // routines stand in slot order
  }
  for (std::size_t at = 0; at < routines.size(); ++at)
    if (!bound[at]) fail(routines[at].name, u"is a routine of the class without a body");
  return bodies;
}

}  // namespace tarnwick::frame

namespace tarnwick::frame::impl {

namespace {

bool isMissingValue(const VARIANT* v) noexcept {
  if (!v) return true;
  if (v->vt == VT_ERROR) return v->scode == DISP_E_PARAMNOTFOUND_SCODE;
  return (v->vt & VT_BYREF) && static_cast<const Variant*>(v)->isMissing();
}

// The VARIANT behind a chain of references to variants.
const VARIANT& targetOf(const VARIANT& v) noexcept { return static_cast<const Variant&>(v).target(); }

VARTYPE storageType(ParamType type) noexcept {
  switch (type) {
    case ParamType::String: return VT_BSTR;
    case ParamType::Int16: return VT_I2;
    case ParamType::Int32: return VT_I4;
    case ParamType::Flag: return VT_BOOL;
    case ParamType::Object: return VT_DISPATCH;
    case ParamType::Variant: return VT_VARIANT;
    case ParamType::VarArgs: return VT_ARRAY | VT_VARIANT;
  }
  return VT_VARIANT;
}

void borrow(VARIANT& slot, const VARIANT& from) noexcept { std::memcpy(static_cast<void*>(&slot), &from, sizeof(VARIANT)); }

}  // namespace

PreparedCall::PreparedCall(const RoutineInfo& routine) : routine_(routine) {
  if (routine.params.size() > slots_.size()) raise(errc::WrongArgumentCount);
  std::memset(static_cast<void*>(slots_.data()), 0, sizeof slots_);
  // Every parameter starts as the missing marker.
  for (std::size_t i = 0; i < routine.params.size(); ++i) {
    slots_[i].vt = VT_ERROR;
    slots_[i].scode = DISP_E_PARAMNOTFOUND_SCODE;
  }
}

PreparedCall::~PreparedCall() {
  for (std::size_t i = 0; i < routine_.params.size(); ++i)
    if (owned_[i]) VariantClear(&slots_[i]);
}

HRESULT PreparedCall::fromDispatch(const DISPPARAMS& params, UINT* argErr) noexcept {
  const std::size_t fixed = routine_.fixedCount();
  const std::size_t positional = params.cArgs - params.cNamedArgs;
  if (positional > fixed && !routine_.hasVarArgs()) return DISP_E_BADPARAMCOUNT;
  // Which of the caller's arguments stands for each parameter.
  std::array<const VARIANT*, 8> given{};
  for (std::size_t i = 0; i < positional && i < fixed; ++i) given[i] = &params.rgvarg[params.cArgs - 1 - i];
  for (std::size_t k = 0; k < params.cNamedArgs; ++k) {
    const DISPID id = params.rgdispidNamedArgs[k];
    if (id < 0 || static_cast<std::size_t>(id) >= fixed) {
      if (argErr) *argErr = static_cast<UINT>(k);
      return DISP_E_PARAMNOTFOUND;
    }
    if (given[static_cast<std::size_t>(id)]) return DISP_E_BADPARAMCOUNT;
    given[static_cast<std::size_t>(id)] = &params.rgvarg[k];
  }
  for (std::size_t i = 0; i < fixed; ++i) {
    const ParamInfo& param = routine_.params[i];
    const VARIANT* v = given[i];
    if (isMissingValue(v)) {
      // Stays the missing marker: run() refuses a required one, naming it.
      continue;
    }
    const auto position = static_cast<UINT>(v - params.rgvarg);
    if (param.type == ParamType::Variant) {
      borrow(slots_[i], *v);
      continue;
    }
    const VARIANT& target = targetOf(*v);
    const VARTYPE wanted = storageType(param.type);
    // The caller's own variable of the parameter's type is passed on, so
    // that a change the routine makes reaches the caller: a typed reference
    // as it is, and a variant variable that holds the type through a
    // reference into it.
    if (target.vt == (VT_BYREF | wanted)) {
      borrow(slots_[i], target);
      continue;
    }
    if (target.vt == wanted) {
      if (&target == v) {
        borrow(slots_[i], target);
      } else {
        slots_[i].vt = static_cast<VARTYPE>(VT_BYREF | wanted);
        slots_[i].byref = const_cast<std::int64_t*>(&target.llVal);
      }
      continue;
    }
    try {
      Variant converted = changeType(static_cast<const Variant&>(target), wanted);
      slots_[i] = converted.detach();
      owned_[i] = true;
    } catch (const Error& e) {
      if (argErr) *argErr = position;
      return e.result();
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }
  if (routine_.hasVarArgs()) {
    // The remaining arguments, by value, in an array from 0 (empty when none).
    const std::size_t count = positional > fixed ? positional - fixed : 0;
    SAFEARRAY* list = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<std::uint32_t>(count));
    if (!list) return E_OUTOFMEMORY;
    slots_[fixed].vt = VT_ARRAY | VT_VARIANT;
    slots_[fixed].parray = list;
    owned_[fixed] = true;
    auto* elements = static_cast<VARIANT*>(list->pvData);
    for (std::size_t j = 0; j < count; ++j) {
      const HRESULT hr = VariantCopyInd(&elements[j], &params.rgvarg[params.cArgs - 1 - (fixed + j)]);
      if (failed(hr)) return hr;
    }
  }
  return S_OK;
}

void PreparedCall::setReference(std::size_t index, VARTYPE type, void* pointer) noexcept {
  if (index >= routine_.params.size()) return;
  if (!pointer) return;  // stays the missing marker: run() refuses it for a required parameter
  slots_[index].vt = type;
  slots_[index].byref = pointer;
}

Variant PreparedCall::run(RoutineBody body) {
  const std::size_t count = routine_.params.size();
  // A parameter nobody filled still holds the marker it started with.
  // The note names the parameter by its place, counting from 1, and its name.
  const auto notOptional = [&](std::size_t i) {
    raise(Error(errc::ArgumentNotOptional)
              .noted(u"argument " + fromUtf8(std::to_string(i + 1)) + u", " + routine_.params[i].name + u", of " +
                     routine_.name));
  };
  for (std::size_t i = 0; i < routine_.fixedCount(); ++i)
    if (!routine_.params[i].optional && slots_[i].vt == VT_ERROR && slots_[i].scode == DISP_E_PARAMNOTFOUND_SCODE)
      notOptional(i);
  if (routine_.hasVarArgs()) {
    const Variant& list = static_cast<const Variant&>(slots_[count - 1]);
    if (!list.array()) notOptional(count - 1);
  }
  if (!body) notImplemented(routine_);
  // The body reads the parameters through Call, which expects them reversed.
  std::array<VARIANT, 8> reversed;
  for (std::size_t i = 0; i < count; ++i) borrow(reversed[count - 1 - i], slots_[i]);
  DISPPARAMS params{count ? reversed.data() : nullptr, nullptr, static_cast<UINT>(count), 0};
  Variant result;
  Call call(DISPATCH_METHOD, params, &result);
  body(call);
  // The result takes the routine's result type; Empty (a result never set)
  // becomes that type's empty value.
  VARTYPE wanted = VT_EMPTY;
  switch (routine_.result) {
    case ResultType::None: return Variant();
    case ResultType::Variant: return result;
    case ResultType::String:
      if (result.isEmpty()) return Variant(u"");
      wanted = VT_BSTR;
      break;
    case ResultType::Int16: wanted = VT_I2; break;
    case ResultType::Int32: wanted = VT_I4; break;
    case ResultType::Flag: wanted = VT_BOOL; break;
    case ResultType::Recordset:
      if (result.isEmpty()) return Variant(static_cast<IDispatch*>(nullptr));
      wanted = VT_DISPATCH;
      break;
  }
  if (result.type() == wanted) return result;
  return changeType(result, wanted);
}

void notImplemented(const RoutineInfo& routine) {
  raise(Error(errc::ActionNotSupported, routine.name + u" is not implemented yet"));
}

HRESULT invoke(const InterfaceInfo& info, std::span<const RoutineBody> bodies, DISPID id, WORD flags,
               DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr,
               std::u16string_view source) noexcept {
  const RoutineInfo* routine = info.find(id);
  if (!routine) return DISP_E_MEMBERNOTFOUND;
  // Routines are methods; a value is read from them, never assigned.
  if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
  if (!params || (params->cArgs > 0 && !params->rgvarg) || params->cNamedArgs > params->cArgs ||
      (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
    return E_INVALIDARG;
  try {
    PreparedCall call(*routine);
    if (const HRESULT hr = call.fromDispatch(*params, argErr); failed(hr)) return hr;
    const auto slot = static_cast<std::size_t>(routine->slot - 1);
    Variant value = call.run(slot < bodies.size() ? bodies[slot] : nullptr);
    // A procedure leaves the caller's result variable alone.
    if (result && routine->result != ResultType::None) {
      VariantClear(result);
      *result = value.detach();
    }
    return S_OK;
  } catch (...) {
    return tarnwick::impl::reportException(excepInfo, source);
  }
}

HRESULT idsOfNames(const InterfaceInfo& info, const char16_t* const* names, UINT count, DISPID* ids) noexcept {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  const RoutineInfo* routine = names[0] ? info.find(std::u16string_view(names[0])) : nullptr;
  ids[0] = routine ? routine->id : DISPID_UNKNOWN;
  bool allKnown = routine != nullptr;
  // Further names are parameter names, for named arguments: their ids are
  // the parameters' positions.
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    if (routine && names[i])
      for (std::size_t p = 0; p < routine->fixedCount(); ++p)
        if (equalsIgnoreCase(routine->params[p].name, names[i])) ids[i] = static_cast<DISPID>(p);
    allKnown = allKnown && ids[i] != DISPID_UNKNOWN;
  }
  return allKnown ? S_OK : DISP_E_UNKNOWNNAME;
}

void storeResult(Variant& value, BSTR* out) {
  if (value.type() != VT_BSTR) value = changeType(value, VT_BSTR);
  *out = value.detach().bstrVal;
}
void storeResult(Variant& value, std::int16_t* out) { *out = toInt16(value); }
void storeResult(Variant& value, std::int32_t* out) { *out = toInt32(value); }
void storeResult(Variant& value, VARIANT_BOOL* out) { *out = toBool(value) ? VARIANT_TRUE : VARIANT_FALSE; }
void storeResult(Variant& value, VARIANT* out) {
  VariantClear(out);
  *out = value.detach();
}
void storeResult(Variant& value, IDispatch** out) {
  if (value.type() != VT_DISPATCH) value = changeType(value, VT_DISPATCH);
  *out = value.detach().pdispVal;
}

// An early-bound result slot may hold anything when the call begins: it is
// an out-parameter, so nothing in it is freed.
void clearResult(BSTR* out) noexcept { *out = nullptr; }
void clearResult(std::int16_t* out) noexcept { *out = 0; }
void clearResult(std::int32_t* out) noexcept { *out = 0; }
void clearResult(VARIANT_BOOL* out) noexcept { *out = VARIANT_FALSE; }
void clearResult(VARIANT* out) noexcept { VariantInit(out); }
void clearResult(IDispatch** out) noexcept { *out = nullptr; }

HRESULT reportEarly(const Error& error, std::u16string_view source) noexcept {
  if (error.source().empty()) {
    try {
      Error withSource = error;
      withSource.setSource(std::u16string(source));
      setErrorInfo(withSource);
      return withSource.result();
    } catch (...) {
    }
  }
  setErrorInfo(error);
  return error.result();
}

HRESULT reportEarlyCurrent(std::u16string_view source) noexcept {
  try {
    throw;
  } catch (const Error& e) {
    return reportEarly(e, source);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace tarnwick::frame::impl
