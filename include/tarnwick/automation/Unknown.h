#pragma once
// The root binary interface: reference counting and interface queries by
// identifier. Interfaces have no virtual destructor, so that the function
// table holds exactly the interface's functions in declaration order.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Guid.h>
#include <tarnwick/automation/Result.h>

#include <cstdint>

namespace tarnwick {

using ULONG = std::uint32_t;

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct TARNWICK_API IUnknown {
  static constexpr const IID& iid = IID_IUnknown;
  virtual HRESULT QueryInterface(const IID& riid, void** object) noexcept = 0;
  virtual ULONG AddRef() noexcept = 0;
  virtual ULONG Release() noexcept = 0;

 protected:
  IUnknown() = default;
  IUnknown(const IUnknown&) = default;
  IUnknown& operator=(const IUnknown&) = default;
  ~IUnknown() = default;
};

}  // namespace tarnwick
