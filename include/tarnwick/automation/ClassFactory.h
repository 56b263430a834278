#pragma once
// The class object of a creatable class: makes instances on request.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Unknown.h>

namespace tarnwick {

using BOOL = std::int32_t;

// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct TARNWICK_API IClassFactory : IUnknown {
  static constexpr const IID& iid = IID_IClassFactory;
  // `outer` must be null: the classes do not support aggregation.
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** object) noexcept = 0;
  virtual HRESULT LockServer(BOOL lock) noexcept = 0;

 protected:
  IClassFactory() = default;
  IClassFactory(const IClassFactory&) = default;
  IClassFactory& operator=(const IClassFactory&) = default;
  ~IClassFactory() = default;
};

}  // namespace tarnwick
