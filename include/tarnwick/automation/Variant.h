#pragma once
// The automation value: a tagged union with the platform's type codes and
// layout (VARIANT), and the RAII class Variant that owns one. Variant adds
// no data members, so an array of Variant can be passed where the binary
// interfaces expect VARIANT*.
#include <tarnwick/automation/Dispatch.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/SafeArray.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/automation/VarType.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarnwick {

// The record member's pair (reserved: it keeps the platform's 24-byte size).
struct VariantRecord {
  void* pvRecord;
  void* pRecInfo;
};

struct VARIANT {
  VARTYPE vt;
  std::uint16_t wReserved1;
  std::uint16_t wReserved2;
  std::uint16_t wReserved3;
  union {
    std::int64_t llVal;
    std::int32_t lVal;
    std::uint8_t bVal;
    std::int16_t iVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    CY cyVal;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    std::uint8_t* pbVal;
    std::int16_t* piVal;
    std::int32_t* plVal;
    std::int64_t* pllVal;
    float* pfltVal;
    double* pdblVal;
    VARIANT_BOOL* pboolVal;
    SCODE* pscode;
    CY* pcyVal;
    DECIMAL* pdecVal;
    DATE* pdate;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    SAFEARRAY** pparray;
    VARIANT* pvarVal;
    void* byref;
    VariantRecord record;
  };
};
static_assert(sizeof(VARIANT) == 24);

// A decimal fills the value's first 16 bytes as the platform lays it out:
// its reserved word is the type code, then scale, sign and the high 32 bits
// in the three reserved words, and the low 64 bits in the union. These read
// and write it there, leaving the type code alone.
inline DECIMAL decimalOf(const VARIANT& value) noexcept {
  DECIMAL d;
  std::memcpy(&d, &value, sizeof d);
  d.wReserved = 0;
  return d;
}
inline void putDecimal(VARIANT& value, const DECIMAL& d) noexcept {
  const VARTYPE vt = value.vt;
  std::memcpy(static_cast<void*>(&value), &d, sizeof d);
  value.vt = vt;
}

// The C-style value API. Every function is noexcept and answers with a code.
inline void VariantInit(VARIANT* value) noexcept {
  if (value) *value = VARIANT{};
}
// Frees what the value owns (string, array, object reference) and leaves it
// Empty. References (VT_BYREF) own nothing.
TARNWICK_API HRESULT VariantClear(VARIANT* value) noexcept;
// Deep copy: strings and arrays are duplicated, objects AddRef'ed.
TARNWICK_API HRESULT VariantCopy(VARIANT* dest, const VARIANT* source) noexcept;
// Like VariantCopy, but a reference is replaced by a copy of what it points to.
TARNWICK_API HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* source) noexcept;
// Converts under the user's locale; `dest` may equal `source`.
TARNWICK_API HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, std::uint16_t flags, VARTYPE vt) noexcept;

class TARNWICK_API Variant : public VARIANT {
 public:
  Variant() noexcept { VariantInit(this); }
  Variant(const Variant& other);
  // Moves are written here, so that the values moved in and out of every
  // buffer and result cost no call; only a value that owns something is
  // cleared through VariantClear.
  Variant(Variant&& other) noexcept : VARIANT(other) { VariantInit(&other); }
  explicit Variant(const VARIANT& other);
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      if (owns()) VariantClear(this);
      std::memcpy(static_cast<void*>(static_cast<VARIANT*>(this)), static_cast<const VARIANT*>(&other),
                  sizeof(VARIANT));
      VariantInit(&other);
    }
    return *this;
  }
  ~Variant() {
    if (owns()) VariantClear(this);
  }

  Variant(std::int16_t v) noexcept;
  Variant(std::int32_t v) noexcept;
  Variant(std::int64_t v) noexcept;
  Variant(std::uint8_t v) noexcept;
  Variant(float v) noexcept;
  Variant(double v) noexcept;
  Variant(bool v) noexcept;
  Variant(CY v) noexcept;
  Variant(const DECIMAL& v) noexcept;
  Variant(std::u16string_view text);
  Variant(const std::u16string& text) : Variant(std::u16string_view(text)) {}
  Variant(const char16_t* text) : Variant(std::u16string_view(text)) {}
  Variant(IDispatch* object) noexcept;  // takes a reference of its own
  Variant(IUnknown* object) noexcept;   // takes a reference of its own

  static Variant null() noexcept {
    Variant v;
    v.vt = VT_NULL;
    return v;
  }
  static Variant date(DATE serial) noexcept {
    Variant v;
    v.vt = VT_DATE;
    v.VARIANT::date = serial;
    return v;
  }
  static Variant error(SCODE code) noexcept;
  // The marker for an optional argument that the caller left out.
  static Variant missing() noexcept { return error(DISP_E_PARAMNOTFOUND_SCODE); }
  // The null string: reads as "" but is not an allocated string.
  static Variant nullString() noexcept;
  // Takes ownership of `array`, holding it as VT_ARRAY | its element type.
  static Variant adoptArray(SAFEARRAY* array) noexcept;
  // A reference to the caller's variable (VT_BYREF | VT_VARIANT).
  static Variant refTo(VARIANT* target) noexcept;

  // Takes over a raw value without copying; `value` is left Empty.
  static Variant attach(VARIANT& value) noexcept {
    Variant v;
    std::memcpy(static_cast<void*>(static_cast<VARIANT*>(&v)), &value, sizeof(VARIANT));
    VariantInit(&value);
    return v;
  }
  // Hands the raw value over to the caller, leaving this Empty.
  VARIANT detach() noexcept {
    VARIANT raw;
    std::memcpy(static_cast<void*>(&raw), static_cast<const VARIANT*>(this), sizeof(VARIANT));
    VariantInit(this);
    return raw;
  }

  VARTYPE type() const noexcept { return vt; }
  // The decimal a VT_DECIMAL value holds (meaningless for other types).
  DECIMAL decimalValue() const noexcept { return decimalOf(*this); }
  // The type of what a reference points to (the value itself if no reference).
  VARTYPE valueType() const noexcept {
    return vt == (VT_BYREF | VT_VARIANT) ? referencedType() : static_cast<VARTYPE>(vt & ~VT_BYREF);
  }
  bool isEmpty() const noexcept { return valueType() == VT_EMPTY; }
  bool isNull() const noexcept { return valueType() == VT_NULL; }
  bool isMissing() const noexcept;
  bool isArray() const noexcept { return (valueType() & VT_ARRAY) != 0; }
  bool isObject() const noexcept;

  // The value with every reference followed: a reference to a reference to
  // a value reads as the value. Returns a copy that owns its data.
  Variant value() const;
  // The innermost VARIANT that a chain of VT_BYREF | VT_VARIANT references
  // points to (this itself when it is no such reference).
  const VARIANT& target() const noexcept;
  VARIANT& target() noexcept;
  // Writes through a reference into the caller's variable, converting to the
  // variable's type where it is typed (VT_BYREF | VT_I2 and the like); a
  // plain value is replaced.
  void assign(const Variant& newValue);

  // The text of a VT_BSTR (or a reference to one); throws 13 for others.
  std::u16string_view text() const;
  // The array of a VT_ARRAY value (or a reference to one), or nullptr.
  SAFEARRAY* array() const noexcept;
  // The object of a VT_DISPATCH or VT_UNKNOWN value (no reference taken), or nullptr.
  IUnknown* object() const noexcept;
  IDispatch* dispatch() const noexcept;

  void clear() noexcept { VariantClear(this); }
  void swap(Variant& other) noexcept;

 private:
  // valueType of a reference to a variant: the type at the chain's end.
  VARTYPE referencedType() const noexcept;
  // Only strings, objects and arrays own anything; references never do.
  bool owns() const noexcept {
    return vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN || (vt & (VT_ARRAY | VT_BYREF)) == VT_ARRAY;
  }
};
static_assert(sizeof(Variant) == sizeof(VARIANT));

// RAII owner of a SAFEARRAY with element access through Variant.
class TARNWICK_API SafeArray {
 public:
  SafeArray() noexcept = default;
  // Takes ownership.
  explicit SafeArray(SAFEARRAY* array) noexcept : array_(array) {}
  // A one-dimensional array of `count` elements from `lowerBound`.
  SafeArray(VARTYPE elementType, std::int32_t lowerBound, std::uint32_t count);
  // One bound per dimension, leftmost first.
  SafeArray(VARTYPE elementType, std::initializer_list<SAFEARRAYBOUND> bounds);
  SafeArray(const SafeArray&) = delete;
  SafeArray& operator=(const SafeArray&) = delete;
  SafeArray(SafeArray&& other) noexcept : array_(std::exchange(other.array_, nullptr)) {}
  SafeArray& operator=(SafeArray&& other) noexcept;
  ~SafeArray();

  SAFEARRAY* get() const noexcept { return array_; }
  SAFEARRAY* release() noexcept { return std::exchange(array_, nullptr); }
  explicit operator bool() const noexcept { return array_ != nullptr; }

  std::uint32_t dims() const noexcept;
  VARTYPE elementType() const noexcept;
  // `dim` counts from 1; throws 9 for a dimension the array does not have.
  std::int32_t lowerBound(std::uint32_t dim = 1) const;
  std::int32_t upperBound(std::uint32_t dim = 1) const;
  // Element access, one index per dimension; throws 9 when out of range.
  Variant get(std::initializer_list<std::int32_t> indices) const;
  void put(std::initializer_list<std::int32_t> indices, const Variant& value);
  Variant get(const std::int32_t* indices, std::size_t count) const;
  void put(const std::int32_t* indices, std::size_t count, const Variant& value);

  // A Variant that owns the array (this gives it up).
  Variant toVariant() && noexcept { return Variant::adoptArray(release()); }

 private:
  SAFEARRAY* array_ = nullptr;
};

// Builds a one-dimensional array of variants from 0 to values.size() - 1.
TARNWICK_API Variant makeVariantArray(std::initializer_list<Variant> values);

}  // namespace tarnwick
