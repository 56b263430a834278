#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/ErrorInfo.h>

#include <new>

namespace tarnwick::impl {

std::atomic<long>& liveObjects() noexcept {
  static std::atomic<long> count{0};
  return count;
}

namespace {

class NamedTypeInfo final : public UnknownBase<NamedTypeInfo, ITypeInfo> {
 public:
  explicit NamedTypeInfo(std::u16string_view name) : name_(name) {}
  HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* docString, std::uint32_t* helpContext,
                           BSTR* helpFile) noexcept override {
    if (id != MEMBERID_NIL) return DISP_E_MEMBERNOTFOUND;
    if (docString) *docString = nullptr;
    if (helpContext) *helpContext = 0;
    if (helpFile) *helpFile = nullptr;
    if (name) {
      *name = SysAllocStringLen(name_.data(), static_cast<std::uint32_t>(name_.size()));
      if (!*name) return E_OUTOFMEMORY;
    }
    return S_OK;
  }

 private:
  std::u16string name_;
};

void fill(EXCEPINFO& info, HRESULT code, std::u16string_view description, std::u16string_view source) noexcept {
  info = EXCEPINFO{};
  info.scode = code;
  info.bstrDescription = SysAllocStringLen(description.data(), static_cast<std::uint32_t>(description.size()));
  info.bstrSource = SysAllocStringLen(source.data(), static_cast<std::uint32_t>(source.size()));
}

}  // namespace

ITypeInfo* newNamedTypeInfo(std::u16string_view name) noexcept {
  try {
    return new NamedTypeInfo(name);
  } catch (...) {
    return nullptr;
  }
}

HRESULT reportException(EXCEPINFO* info, UINT* argErr, const Call& call, std::u16string_view source) noexcept {
  if (argErr) *argErr = call.lastArgumentPosition();
  return reportException(info, source);
}

HRESULT reportException(EXCEPINFO* info, std::u16string_view source) noexcept {
  try {
    throw;
  } catch (const Error& e) {
    if (!info) return e.result();
    fill(*info, e.result(), e.description(), e.source().empty() ? source : std::u16string_view(e.source()));
    passNote(e);
    return DISP_E_EXCEPTION;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    if (!info) return E_UNEXPECTED;
    fill(*info, E_UNEXPECTED, u"Automation error", source);
    return DISP_E_EXCEPTION;
  }
}

HRESULT checkInvoke(std::uint8_t kinds, WORD flags, const DISPPARAMS* params) noexcept {
  if (!params) return E_INVALIDARG;
  if (params->cArgs > 0 && !params->rgvarg) return E_INVALIDARG;
  if (params->cNamedArgs > params->cArgs || (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
    return E_INVALIDARG;
  if ((kinds & flags) == 0) return DISP_E_MEMBERNOTFOUND;
  const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (isPut) {
    if (params->cArgs == 0) return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs > 1 || (params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
      return DISP_E_NONAMEDARGS;
    return S_OK;
  }
  if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  return S_OK;
}

}  // namespace tarnwick::impl
