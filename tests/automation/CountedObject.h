#pragma once
// A minimal automation object for tests: counts its references and answers
// a property get of its default member with a value set by the test.
#include <tarnwick/automation/Variant.h>

#include <atomic>

namespace tarnwick::testing {

class CountedObject final : public IDispatch {
 public:
  explicit CountedObject(Variant defaultValue = {}) : defaultValue_(std::move(defaultValue)) {}
  ULONG references() const { return count_; }

  HRESULT QueryInterface(const IID& riid, void** object) noexcept override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() noexcept override { return ++count_; }
  // Lives on the test's stack: the count only records, it never deletes.
  ULONG Release() noexcept override { return --count_; }
  HRESULT GetTypeInfoCount(UINT* count) noexcept override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const IID&, const char16_t* const*, UINT, LCID, DISPID*) noexcept override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID id, const IID&, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                 UINT*) noexcept override {
    if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || defaultValue_.isEmpty())
      return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    return VariantCopy(result, &defaultValue_);
  }

 private:
  std::atomic<ULONG> count_{1};
  Variant defaultValue_;
};

}  // namespace tarnwick::testing
