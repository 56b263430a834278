#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/automation/UnknownBase.h>

#include <memory>

namespace tarnwick {

namespace {

class VariantEnumerator final : public UnknownBase<VariantEnumerator, IEnumVARIANT> {
 public:
  VariantEnumerator(std::shared_ptr<const std::vector<Variant>> elements, std::size_t position) noexcept
      : elements_(std::move(elements)), position_(position) {}

  HRESULT Next(ULONG count, VARIANT* values, ULONG* fetched) noexcept override {
    if (fetched) *fetched = 0;
    if (count == 0) return S_OK;
    if (!values || (count > 1 && !fetched)) return E_POINTER;
    ULONG done = 0;
    while (done < count && position_ < elements_->size()) {
      VariantInit(&values[done]);
      if (const HRESULT hr = VariantCopy(&values[done], &(*elements_)[position_]); failed(hr)) {
        for (ULONG i = 0; i < done; ++i) VariantClear(&values[i]);
        return hr;
      }
      ++done;
      ++position_;
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) noexcept override {
    const std::size_t left = elements_->size() - position_;
    if (count > left) {
      position_ = elements_->size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  HRESULT Reset() noexcept override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumVARIANT** copy) noexcept override {
    if (!copy) return E_POINTER;
    *copy = nullptr;
    try {
      *copy = new VariantEnumerator(elements_, position_);
      return S_OK;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  std::shared_ptr<const std::vector<Variant>> elements_;
  std::size_t position_;
};

}  // namespace

Variant makeEnumerator(std::vector<Variant> elements) {
  auto shared = std::make_shared<const std::vector<Variant>>(std::move(elements));
  ComPtr<IEnumVARIANT> enumerator = ComPtr<IEnumVARIANT>::attach(new VariantEnumerator(std::move(shared), 0));
  return Variant(static_cast<IUnknown*>(enumerator.get()));
}

std::vector<Variant> enumerate(const Object& collection) {
  const Variant answer = collection.invoke(DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, nullptr);
  IUnknown* unknown = answer.object();
  ComPtr<IEnumVARIANT> enumerator;
  if (!unknown || failed(unknown->QueryInterface(IID_IEnumVARIANT, enumerator.putVoid())) || !enumerator)
    raise(errc::MemberNotSupported);
  std::vector<Variant> out;
  for (;;) {
    Variant next;
    ULONG fetched = 0;
    const HRESULT hr = enumerator->Next(1, &next, &fetched);
    if (failed(hr)) check(hr);
    if (fetched == 0) break;
    out.push_back(std::move(next));
  }
  return out;
}

}  // namespace tarnwick
