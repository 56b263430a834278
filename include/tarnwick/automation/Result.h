#pragma once
// Result codes of the binary interfaces: a 32-bit value whose top bit marks
// failure. Codes of the form 0x800A0000 | n carry a runtime error number n.
#include <cstdint>

namespace tarnwick {

using HRESULT = std::int32_t;
using SCODE = std::int32_t;

constexpr HRESULT makeResult(std::uint32_t bits) noexcept { return static_cast<HRESULT>(bits); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = makeResult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = makeResult(0x80004002u);
inline constexpr HRESULT E_POINTER = makeResult(0x80004003u);
inline constexpr HRESULT E_ABORT = makeResult(0x80004004u);
inline constexpr HRESULT E_FAIL = makeResult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = makeResult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = makeResult(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = makeResult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = makeResult(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = makeResult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = makeResult(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = makeResult(0x80040154u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = makeResult(0x800401F0u);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = makeResult(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = makeResult(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = makeResult(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = makeResult(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = makeResult(0x80020006u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = makeResult(0x80020007u);
inline constexpr HRESULT DISP_E_BADVARTYPE = makeResult(0x80020008u);
inline constexpr HRESULT DISP_E_EXCEPTION = makeResult(0x80020009u);
inline constexpr HRESULT DISP_E_OVERFLOW = makeResult(0x8002000Au);
inline constexpr HRESULT DISP_E_BADINDEX = makeResult(0x8002000Bu);
inline constexpr HRESULT DISP_E_UNKNOWNLCID = makeResult(0x8002000Cu);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = makeResult(0x8002000Du);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = makeResult(0x8002000Eu);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = makeResult(0x8002000Fu);
inline constexpr HRESULT DISP_E_BADCALLEE = makeResult(0x80020010u);
inline constexpr HRESULT DISP_E_NOTACOLLECTION = makeResult(0x80020011u);
inline constexpr HRESULT DISP_E_DIVBYZERO = makeResult(0x80020012u);

// Runtime errors travel as 0x800A0000 | number.
inline constexpr std::uint32_t kRuntimeFacilityBits = 0x800A0000u;

constexpr bool succeeded(HRESULT hr) noexcept { return hr >= 0; }
constexpr bool failed(HRESULT hr) noexcept { return hr < 0; }

}  // namespace tarnwick
