#pragma once
// IUnknown for an object that implements one interface: reference counting
// (the object deletes itself on its last Release) and interface queries for
// IUnknown, the interface, IDispatch where the interface derives from it,
// and whatever Derived::answersTo accepts.
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Dispatch.h>
#include <tarnwick/automation/Unknown.h>

#include <atomic>
#include <type_traits>

namespace tarnwick {

template <typename Derived, typename Interface>
class UnknownBase : public Interface {
 public:
  HRESULT QueryInterface(const IID& riid, void** object) noexcept override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == interfaceId<Interface> ||
        (std::is_base_of_v<IDispatch, Interface> && riid == IID_IDispatch) ||
        static_cast<const Derived*>(this)->answersTo(riid)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() noexcept override { return ++references_; }
  ULONG Release() noexcept override {
    const ULONG left = --references_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

  // A derived class hides this to answer to further interfaces with the same table.
  bool answersTo(const IID&) const noexcept { return false; }

 protected:
  UnknownBase() noexcept = default;
  UnknownBase(const UnknownBase&) = delete;
  UnknownBase& operator=(const UnknownBase&) = delete;
  ~UnknownBase() = default;

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace tarnwick
