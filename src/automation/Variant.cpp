#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Variant.h>

#include <cstring>
#include <utility>

namespace tarnwick {

namespace {

// References to variants may chain; a longer chain than this is refused as
// a cycle rather than followed forever.
constexpr int kMaxReferenceDepth = 16;

const VARIANT* resolve(const VARIANT* value) noexcept {
  for (int depth = 0; depth < kMaxReferenceDepth; ++depth) {
    if (value->vt != (VT_BYREF | VT_VARIANT) || !value->pvarVal) return value;
    value = value->pvarVal;
  }
  return value;
}

bool isByRef(VARTYPE vt) noexcept { return (vt & VT_BYREF) != 0; }

HRESULT copyOwned(VARIANT* dest, const VARIANT* source) noexcept {
  // `dest` is Empty here; `source` holds no reference.
  const VARTYPE vt = source->vt;
  if (vt & VT_ARRAY) {
    SAFEARRAY* copy = nullptr;
    if (const HRESULT hr = SafeArrayCopy(source->parray, &copy); failed(hr)) return hr;
    dest->vt = vt;
    dest->parray = copy;
    return S_OK;
  }
  switch (vt) {
    case VT_BSTR: {
      BSTR copy = nullptr;
      if (source->bstrVal) {
        copy = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
        if (!copy) return E_OUTOFMEMORY;
      }
      dest->vt = VT_BSTR;
      dest->bstrVal = copy;
      return S_OK;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN:
      if (source->punkVal) source->punkVal->AddRef();
      std::memcpy(static_cast<void*>(dest), source, sizeof(VARIANT));
      return S_OK;
    default:
      if (!isKnownScalarType(vt)) return DISP_E_BADVARTYPE;
      std::memcpy(static_cast<void*>(dest), source, sizeof(VARIANT));
      return S_OK;
  }
}

// A copy of what a typed reference (VT_BYREF | scalar) points to.
HRESULT copyReferenced(VARIANT* dest, const VARIANT* source) noexcept {
  if (!source->byref) return E_POINTER;
  const VARTYPE vt = static_cast<VARTYPE>(source->vt & ~VT_BYREF);
  VARIANT plain;
  VariantInit(&plain);
  plain.vt = vt;
  if (vt & VT_ARRAY) {
    plain.parray = *source->pparray;
  } else {
    switch (vt) {
      case VT_UI1: plain.bVal = *source->pbVal; break;
      case VT_I2: plain.iVal = *source->piVal; break;
      case VT_BOOL: plain.boolVal = *source->pboolVal; break;
      case VT_I4: plain.lVal = *source->plVal; break;
      case VT_ERROR: plain.scode = *source->pscode; break;
      case VT_R4: plain.fltVal = *source->pfltVal; break;
      case VT_R8: plain.dblVal = *source->pdblVal; break;
      case VT_DATE: plain.date = *source->pdate; break;
      case VT_CY: plain.cyVal = *source->pcyVal; break;
      case VT_DECIMAL: putDecimal(plain, *source->pdecVal); break;
      case VT_I8: plain.llVal = *source->pllVal; break;
      case VT_BSTR: plain.bstrVal = *source->pbstrVal; break;
      case VT_DISPATCH:
      case VT_UNKNOWN: plain.punkVal = *source->ppunkVal; break;
      default: return DISP_E_BADVARTYPE;
    }
  }
  return copyOwned(dest, &plain);
}

}  // namespace

HRESULT VariantClear(VARIANT* value) noexcept {
  if (!value) return E_INVALIDARG;
  const VARTYPE vt = value->vt;
  if (!isByRef(vt)) {
    if (vt & VT_ARRAY) {
      if (const HRESULT hr = SafeArrayDestroy(value->parray); failed(hr)) return hr;
    } else if (vt == VT_BSTR) {
      SysFreeString(value->bstrVal);
    } else if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && value->punkVal) {
      value->punkVal->Release();
    }
  }
  VariantInit(value);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* source) noexcept {
  if (!dest || !source) return E_INVALIDARG;
  if (dest == source) return S_OK;
  VARIANT fresh;
  VariantInit(&fresh);
  if (isByRef(source->vt)) {
    std::memcpy(static_cast<void*>(&fresh), source, sizeof(VARIANT));
  } else if (const HRESULT hr = copyOwned(&fresh, source); failed(hr)) {
    return hr;
  }
  if (const HRESULT hr = VariantClear(dest); failed(hr)) {
    VariantClear(&fresh);
    return hr;
  }
  std::memcpy(static_cast<void*>(dest), &fresh, sizeof(VARIANT));
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* source) noexcept {
  if (!dest || !source) return E_INVALIDARG;
  const VARIANT* target = resolve(source);
  if (target->vt == (VT_BYREF | VT_VARIANT)) return E_INVALIDARG;  // a cycle or a null reference
  VARIANT fresh;
  VariantInit(&fresh);
  const HRESULT hr = isByRef(target->vt) ? copyReferenced(&fresh, target) : copyOwned(&fresh, target);
  if (failed(hr)) return hr;
  if (dest == source) {
    // Clearing a reference frees nothing, so the target stays intact.
    VariantClear(dest);
  } else if (const HRESULT cleared = VariantClear(dest); failed(cleared)) {
    VariantClear(&fresh);
    return cleared;
  }
  std::memcpy(static_cast<void*>(dest), &fresh, sizeof(VARIANT));
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, std::uint16_t, VARTYPE vt) noexcept {
  if (!dest || !source) return E_INVALIDARG;
  return guard([&] {
    Variant converted = changeType(Variant(*source), vt);
    Variant::attach(*dest);  // frees the old value of dest
    *dest = converted.detach();
  });
}

// --- Variant ---------------------------------------------------------------

Variant::Variant(const Variant& other) : Variant(static_cast<const VARIANT&>(other)) {}

Variant::Variant(const VARIANT& other) {
  VariantInit(this);
  check(VariantCopy(this, &other));
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) check(VariantCopy(this, &other));
  return *this;
}

void Variant::swap(Variant& other) noexcept {
  VARIANT temporary;
  std::memcpy(static_cast<void*>(&temporary), static_cast<const VARIANT*>(this), sizeof(VARIANT));
  std::memcpy(static_cast<void*>(static_cast<VARIANT*>(this)), static_cast<const VARIANT*>(&other),
              sizeof(VARIANT));
  std::memcpy(static_cast<void*>(static_cast<VARIANT*>(&other)), &temporary, sizeof(VARIANT));
}

Variant::Variant(std::int16_t v) noexcept : Variant() { vt = VT_I2, iVal = v; }
Variant::Variant(std::int32_t v) noexcept : Variant() { vt = VT_I4, lVal = v; }
Variant::Variant(std::int64_t v) noexcept : Variant() { vt = VT_I8, llVal = v; }
Variant::Variant(std::uint8_t v) noexcept : Variant() { vt = VT_UI1, bVal = v; }
Variant::Variant(float v) noexcept : Variant() { vt = VT_R4, fltVal = v; }
Variant::Variant(double v) noexcept : Variant() { vt = VT_R8, dblVal = v; }
Variant::Variant(bool v) noexcept : Variant() { vt = VT_BOOL, boolVal = v ? VARIANT_TRUE : VARIANT_FALSE; }
Variant::Variant(CY v) noexcept : Variant() { vt = VT_CY, cyVal = v; }
Variant::Variant(const DECIMAL& v) noexcept : Variant() {
  vt = VT_DECIMAL;
  putDecimal(*this, v);
}
Variant::Variant(std::u16string_view text) : Variant() {
  bstrVal = allocBstr(text);
  vt = VT_BSTR;
}
Variant::Variant(IDispatch* object) noexcept : Variant() {
  vt = VT_DISPATCH;
  pdispVal = object;
  if (object) object->AddRef();
}
Variant::Variant(IUnknown* object) noexcept : Variant() {
  vt = VT_UNKNOWN;
  punkVal = object;
  if (object) object->AddRef();
}

Variant Variant::error(SCODE code) noexcept {
  Variant v;
  v.vt = VT_ERROR;
  v.scode = code;
  return v;
}
Variant Variant::nullString() noexcept {
  Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = nullptr;
  return v;
}
Variant Variant::adoptArray(SAFEARRAY* array) noexcept {
  Variant v;
  if (!array) return v;
  VARTYPE element = VT_VARIANT;
  SafeArrayGetVartype(array, &element);
  v.vt = static_cast<VARTYPE>(VT_ARRAY | element);
  v.parray = array;
  return v;
}
Variant Variant::refTo(VARIANT* target) noexcept {
  Variant v;
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = target;
  return v;
}



VARTYPE Variant::referencedType() const noexcept {
  const VARIANT* t = resolve(this);
  return static_cast<VARTYPE>(t->vt & ~VT_BYREF);
}

bool Variant::isMissing() const noexcept {
  const VARIANT* t = resolve(this);
  if (t->vt == VT_ERROR) return t->scode == DISP_E_PARAMNOTFOUND_SCODE;
  if (t->vt == (VT_BYREF | VT_ERROR)) return t->pscode && *t->pscode == DISP_E_PARAMNOTFOUND_SCODE;
  return false;
}

bool Variant::isObject() const noexcept {
  const VARTYPE type = valueType();
  return type == VT_DISPATCH || type == VT_UNKNOWN;
}

Variant Variant::value() const {
  Variant v;
  check(VariantCopyInd(&v, this));
  return v;
}

const VARIANT& Variant::target() const noexcept { return *resolve(this); }
VARIANT& Variant::target() noexcept { return *const_cast<VARIANT*>(resolve(this)); }

void Variant::assign(const Variant& newValue) {
  VARIANT& t = target();
  if (!isByRef(t.vt)) {
    if (&t == this) {
      *this = newValue.value();
    } else {
      Variant plain = newValue.value();
      check(VariantCopy(&t, &plain));
    }
    return;
  }
  if (!t.byref) raise(errc::ObjectNotSet);
  // A typed reference keeps its type: the new value is converted to it.
  const VARTYPE type = static_cast<VARTYPE>(t.vt & ~VT_BYREF);
  Variant converted = changeType(newValue, type);
  if (type & VT_ARRAY) {
    SafeArrayDestroy(*t.pparray);
    *t.pparray = converted.detach().parray;
    return;
  }
  switch (type) {
    case VT_UI1: *t.pbVal = converted.bVal; break;
    case VT_I2: *t.piVal = converted.iVal; break;
    case VT_BOOL: *t.pboolVal = converted.boolVal; break;
    case VT_I4: *t.plVal = converted.lVal; break;
    case VT_ERROR: *t.pscode = converted.scode; break;
    case VT_R4: *t.pfltVal = converted.fltVal; break;
    case VT_R8: *t.pdblVal = converted.dblVal; break;
    case VT_DATE: *t.pdate = converted.VARIANT::date; break;
    case VT_CY: *t.pcyVal = converted.cyVal; break;
    case VT_DECIMAL: *t.pdecVal = converted.decimalValue(); break;
    case VT_I8: *t.pllVal = converted.llVal; break;
    case VT_BSTR: SysFreeString(*t.pbstrVal), *t.pbstrVal = converted.detach().bstrVal; break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      if (*t.ppunkVal) (*t.ppunkVal)->Release();
      *t.ppunkVal = converted.detach().punkVal;
      break;
    default: raise(errc::TypeMismatch);
  }
}

std::u16string_view Variant::text() const {
  const VARIANT& t = target();
  if (t.vt == VT_BSTR) return view(t.bstrVal);
  if (t.vt == (VT_BYREF | VT_BSTR) && t.pbstrVal) return view(*t.pbstrVal);
  raise(errc::TypeMismatch);
}

SAFEARRAY* Variant::array() const noexcept {
  const VARIANT& t = target();
  if (!(t.vt & VT_ARRAY)) return nullptr;
  if (isByRef(t.vt)) return t.pparray ? *t.pparray : nullptr;
  return t.parray;
}

IUnknown* Variant::object() const noexcept {
  const VARIANT& t = target();
  if (t.vt == VT_DISPATCH || t.vt == VT_UNKNOWN) return t.punkVal;
  if ((t.vt == (VT_BYREF | VT_DISPATCH) || t.vt == (VT_BYREF | VT_UNKNOWN)) && t.ppunkVal) return *t.ppunkVal;
  return nullptr;
}

IDispatch* Variant::dispatch() const noexcept {
  const VARIANT& t = target();
  if (t.vt == VT_DISPATCH) return t.pdispVal;
  if (t.vt == (VT_BYREF | VT_DISPATCH) && t.ppdispVal) return *t.ppdispVal;
  return nullptr;
}

// --- SafeArray ---------------------------------------------------------------

SafeArray::SafeArray(VARTYPE elementType, std::int32_t lowerBound, std::uint32_t count)
    : SafeArray(elementType, {SAFEARRAYBOUND{count, lowerBound}}) {}

SafeArray::SafeArray(VARTYPE elementType, std::initializer_list<SAFEARRAYBOUND> bounds)
    : array_(SafeArrayCreate(elementType, static_cast<std::uint32_t>(bounds.size()), bounds.begin())) {
  if (!array_) raise(bounds.size() == 0 ? errc::SubscriptOutOfRange : errc::OutOfMemory);
}

SafeArray& SafeArray::operator=(SafeArray&& other) noexcept {
  if (this != &other) {
    SafeArrayDestroy(array_);
    array_ = std::exchange(other.array_, nullptr);
  }
  return *this;
}

SafeArray::~SafeArray() { SafeArrayDestroy(array_); }

std::uint32_t SafeArray::dims() const noexcept { return SafeArrayGetDim(array_); }

VARTYPE SafeArray::elementType() const noexcept {
  VARTYPE vt = VT_EMPTY;
  SafeArrayGetVartype(array_, &vt);
  return vt;
}

std::int32_t SafeArray::lowerBound(std::uint32_t dim) const {
  std::int32_t bound = 0;
  if (failed(SafeArrayGetLBound(array_, dim, &bound))) raise(errc::SubscriptOutOfRange);
  return bound;
}

std::int32_t SafeArray::upperBound(std::uint32_t dim) const {
  std::int32_t bound = 0;
  if (failed(SafeArrayGetUBound(array_, dim, &bound))) raise(errc::SubscriptOutOfRange);
  return bound;
}

Variant SafeArray::get(std::initializer_list<std::int32_t> indices) const {
  return get(indices.begin(), indices.size());
}

void SafeArray::put(std::initializer_list<std::int32_t> indices, const Variant& value) {
  put(indices.begin(), indices.size(), value);
}

Variant SafeArray::get(const std::int32_t* indices, std::size_t count) const {
  if (!array_) raise(errc::ObjectNotSet);
  if (count != dims()) raise(errc::SubscriptOutOfRange);
  void* element = nullptr;
  if (failed(SafeArrayPtrOfIndex(array_, indices, &element))) raise(errc::SubscriptOutOfRange);
  const VARTYPE type = elementType();
  if (type == VT_VARIANT) return Variant(*static_cast<const VARIANT*>(element));
  // A typed element reads as a value of its type.
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = static_cast<VARTYPE>(VT_BYREF | type);
  reference.byref = element;
  Variant v;
  check(VariantCopyInd(&v, &reference));
  return v;
}

void SafeArray::put(const std::int32_t* indices, std::size_t count, const Variant& value) {
  if (!array_) raise(errc::ObjectNotSet);
  if (count != dims()) raise(errc::SubscriptOutOfRange);
  void* element = nullptr;
  if (failed(SafeArrayPtrOfIndex(array_, indices, &element))) raise(errc::SubscriptOutOfRange);
  const VARTYPE type = elementType();
  if (type == VT_VARIANT) {
    Variant plain = value.value();
    check(VariantCopy(static_cast<VARIANT*>(element), &plain));
    return;
  }
  Variant reference;
  reference.vt = static_cast<VARTYPE>(VT_BYREF | type);
  reference.byref = element;
  reference.assign(value);
}

Variant makeVariantArray(std::initializer_list<Variant> values) {
  SafeArray array(VT_VARIANT, 0, static_cast<std::uint32_t>(values.size()));
  std::int32_t index = 0;
  for (const Variant& value : values) array.put({index++}, value);
  return std::move(array).toVariant();
}

}  // namespace tarnwick
