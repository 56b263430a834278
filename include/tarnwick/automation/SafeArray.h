#pragma once
// Arrays of automation values: any number of dimensions, each with its own
// lower bound. Bounds are stored as the platform does, the last dimension
// first (rgsabound[0] is the rightmost dimension), and elements are laid out
// with the leftmost index varying fastest.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Result.h>
#include <tarnwick/automation/VarType.h>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

namespace tarnwick {

struct SAFEARRAYBOUND {
  std::uint32_t cElements = 0;
  std::int32_t lLbound = 0;
};

struct SAFEARRAY {
  std::uint16_t cDims;
  std::uint16_t fFeatures;
  std::uint32_t cbElements;
  std::uint32_t cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];  // cDims entries in the allocation
};

inline constexpr std::uint16_t FADF_BSTR = 0x0100;
inline constexpr std::uint16_t FADF_UNKNOWN = 0x0200;
inline constexpr std::uint16_t FADF_DISPATCH = 0x0400;
inline constexpr std::uint16_t FADF_VARIANT = 0x0800;
// Our own feature bit: the element type code is kept in the high byte of
// the allocation, readable through SafeArrayGetVartype.
inline constexpr std::uint16_t FADF_HAVEVARTYPE = 0x0080;

// The C-style array API; every function is noexcept and answers with a code.
// Bounds are given leftmost dimension first, as a caller writes them.
TARNWICK_API SAFEARRAY* SafeArrayCreate(VARTYPE vt, std::uint32_t dims, const SAFEARRAYBOUND* bounds) noexcept;
TARNWICK_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, std::int32_t lowerBound, std::uint32_t count) noexcept;
TARNWICK_API HRESULT SafeArrayDestroy(SAFEARRAY* array) noexcept;
TARNWICK_API HRESULT SafeArrayCopy(const SAFEARRAY* source, SAFEARRAY** copy) noexcept;
TARNWICK_API std::uint32_t SafeArrayGetDim(const SAFEARRAY* array) noexcept;
TARNWICK_API std::uint32_t SafeArrayGetElemsize(const SAFEARRAY* array) noexcept;
TARNWICK_API HRESULT SafeArrayGetVartype(const SAFEARRAY* array, VARTYPE* vt) noexcept;
// `dim` counts from 1, leftmost dimension first.
TARNWICK_API HRESULT SafeArrayGetLBound(const SAFEARRAY* array, std::uint32_t dim, std::int32_t* bound) noexcept;
TARNWICK_API HRESULT SafeArrayGetUBound(const SAFEARRAY* array, std::uint32_t dim, std::int32_t* bound) noexcept;
TARNWICK_API HRESULT SafeArrayLock(SAFEARRAY* array) noexcept;
TARNWICK_API HRESULT SafeArrayUnlock(SAFEARRAY* array) noexcept;
// `indices` holds one index per dimension, leftmost dimension first.
TARNWICK_API HRESULT SafeArrayPtrOfIndex(SAFEARRAY* array, const std::int32_t* indices, void** element) noexcept;
// Copy out (the caller owns the copy) and copy in (the array keeps a copy).
TARNWICK_API HRESULT SafeArrayGetElement(SAFEARRAY* array, const std::int32_t* indices, void* value) noexcept;
TARNWICK_API HRESULT SafeArrayPutElement(SAFEARRAY* array, const std::int32_t* indices, const void* value) noexcept;
// Changes the element count of the last dimension (the rightmost one), as
// ReDim Preserve does; new elements are empty, dropped ones are cleared.
TARNWICK_API HRESULT SafeArrayRedim(SAFEARRAY* array, const SAFEARRAYBOUND* lastDimension) noexcept;

}  // namespace tarnwick
