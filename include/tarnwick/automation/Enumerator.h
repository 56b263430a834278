#pragma once
// Enumeration of a collection, as a For Each loop on the platform walks it:
// the collection answers the member DISPID_NEWENUM with an IEnumVARIANT,
// which hands out the elements one after another.
#include <tarnwick/automation/ComPtr.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Unknown.h>
#include <tarnwick/automation/Variant.h>

#include <vector>

namespace tarnwick {

// {00020404-0000-0000-C000-000000000046}
inline constexpr IID IID_IEnumVARIANT{0x00020404, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct TARNWICK_API IEnumVARIANT : IUnknown {
  static constexpr const IID& iid = IID_IEnumVARIANT;
  // Copies up to `count` elements into `values`; S_FALSE when fewer remain.
  virtual HRESULT Next(ULONG count, VARIANT* values, ULONG* fetched) noexcept = 0;
  virtual HRESULT Skip(ULONG count) noexcept = 0;
  virtual HRESULT Reset() noexcept = 0;
  virtual HRESULT Clone(IEnumVARIANT** copy) noexcept = 0;

 protected:
  IEnumVARIANT() = default;
  IEnumVARIANT(const IEnumVARIANT&) = default;
  IEnumVARIANT& operator=(const IEnumVARIANT&) = default;
  ~IEnumVARIANT() = default;
};

// An enumerator over a snapshot of elements, taken when the loop starts:
// elements added or removed during the loop do not disturb it. The result
// holds the enumerator as VT_UNKNOWN, ready to return from DISPID_NEWENUM.
TARNWICK_API Variant makeEnumerator(std::vector<Variant> elements);

// Every element that a collection's enumerator hands out, in its order;
// Error 438 when the object cannot be enumerated.
TARNWICK_API std::vector<Variant> enumerate(const Object& collection);

}  // namespace tarnwick
