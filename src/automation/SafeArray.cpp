#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/SafeArray.h>
#include <tarnwick/automation/Variant.h>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace tarnwick {

namespace {

// The allocation holds the element type in front of the descriptor.
constexpr std::size_t kTypeSlot = 16;
// No array may hold more than this many bytes of elements.
constexpr std::size_t kMaxBytes = std::size_t{1} << 31;

std::uint32_t elementSize(VARTYPE vt) noexcept {
  switch (vt) {
    case VT_UI1: return 1;
    case VT_I2: case VT_BOOL: return 2;
    case VT_I4: case VT_R4: case VT_ERROR: return 4;
    case VT_R8: case VT_CY: case VT_DATE: case VT_I8: return 8;
    case VT_DECIMAL: return sizeof(DECIMAL);
    case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN: return sizeof(void*);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
  }
}

std::uint16_t featuresFor(VARTYPE vt) noexcept {
  switch (vt) {
    case VT_BSTR: return FADF_BSTR | FADF_HAVEVARTYPE;
    case VT_UNKNOWN: return FADF_UNKNOWN | FADF_HAVEVARTYPE;
    case VT_DISPATCH: return FADF_DISPATCH | FADF_HAVEVARTYPE;
    case VT_VARIANT: return FADF_VARIANT | FADF_HAVEVARTYPE;
    default: return FADF_HAVEVARTYPE;
  }
}

VARTYPE typeOf(const SAFEARRAY* array) noexcept {
  VARTYPE vt;
  std::memcpy(&vt, reinterpret_cast<const char*>(array) - kTypeSlot, sizeof vt);
  return vt;
}

std::size_t descriptorSize(std::uint32_t dims) noexcept {
  return sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND);
}

std::size_t elementCount(const SAFEARRAY* array) noexcept {
  std::size_t count = 1;
  for (std::uint32_t d = 0; d < array->cDims; ++d) count *= array->rgsabound[d].cElements;
  return count;
}

// The bound of dimension `dim` counted from 1, leftmost first.
const SAFEARRAYBOUND& boundOf(const SAFEARRAY* array, std::uint32_t dim) noexcept {
  return array->rgsabound[array->cDims - dim];
}

// Releases what one element owns and zeroes it.
void clearElement(VARTYPE vt, void* element) noexcept {
  switch (vt) {
    case VT_BSTR: {
      BSTR* text = static_cast<BSTR*>(element);
      SysFreeString(*text);
      *text = nullptr;
      break;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      IUnknown** object = static_cast<IUnknown**>(element);
      if (*object) (*object)->Release();
      *object = nullptr;
      break;
    }
    case VT_VARIANT: VariantClear(static_cast<VARIANT*>(element)); break;
    default: break;
  }
}

// Copies one element into zeroed storage, taking what the copy owns.
HRESULT copyElement(VARTYPE vt, void* dest, const void* source, std::uint32_t size) noexcept {
  switch (vt) {
    case VT_BSTR: {
      const BSTR text = *static_cast<const BSTR*>(source);
      BSTR copy = nullptr;
      if (text) {
        copy = SysAllocStringLen(text, SysStringLen(text));
        if (!copy) return E_OUTOFMEMORY;
      }
      *static_cast<BSTR*>(dest) = copy;
      return S_OK;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      IUnknown* object = *static_cast<IUnknown* const*>(source);
      if (object) object->AddRef();
      *static_cast<IUnknown**>(dest) = object;
      return S_OK;
    }
    case VT_VARIANT:
      VariantInit(static_cast<VARIANT*>(dest));
      return VariantCopy(static_cast<VARIANT*>(dest), static_cast<const VARIANT*>(source));
    default: std::memcpy(dest, source, size); return S_OK;
  }
}

SAFEARRAY* allocate(VARTYPE vt, std::uint32_t dims) noexcept {
  auto* block = static_cast<char*>(std::calloc(1, kTypeSlot + descriptorSize(dims)));
  if (!block) return nullptr;
  std::memcpy(block, &vt, sizeof vt);
  auto* array = reinterpret_cast<SAFEARRAY*>(block + kTypeSlot);
  array->cDims = static_cast<std::uint16_t>(dims);
  array->fFeatures = featuresFor(vt);
  array->cbElements = elementSize(vt);
  return array;
}

void freeDescriptor(SAFEARRAY* array) noexcept { std::free(reinterpret_cast<char*>(array) - kTypeSlot); }

bool byteSize(const SAFEARRAY* array, std::size_t& bytes) noexcept {
  std::size_t count = 1;
  for (std::uint32_t d = 0; d < array->cDims; ++d)
    if (__builtin_mul_overflow(count, std::size_t{array->rgsabound[d].cElements}, &count)) return false;
  if (__builtin_mul_overflow(count, std::size_t{array->cbElements}, &bytes)) return false;
  return bytes <= kMaxBytes;
}

// Strings, objects and variants own something; numbers, dates and bytes
// are their bytes alone.
bool ownsElements(VARTYPE vt) noexcept {
  return vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN || vt == VT_VARIANT;
}

void clearAll(SAFEARRAY* array) noexcept {
  const VARTYPE vt = typeOf(array);
  if (!array->pvData || !ownsElements(vt)) return;
  const std::size_t count = elementCount(array);
  auto* data = static_cast<char*>(array->pvData);
  for (std::size_t i = 0; i < count; ++i) clearElement(vt, data + i * array->cbElements);
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, std::uint32_t dims, const SAFEARRAYBOUND* bounds) noexcept {
  if (dims == 0 || dims > 60 || !bounds || elementSize(vt) == 0) return nullptr;
  SAFEARRAY* array = allocate(vt, dims);
  if (!array) return nullptr;
  // Stored rightmost dimension first, as the descriptor keeps them.
  for (std::uint32_t d = 0; d < dims; ++d) array->rgsabound[dims - 1 - d] = bounds[d];
  std::size_t bytes = 0;
  if (!byteSize(array, bytes)) {
    freeDescriptor(array);
    return nullptr;
  }
  array->pvData = std::calloc(bytes ? bytes : 1, 1);
  if (!array->pvData) {
    freeDescriptor(array);
    return nullptr;
  }
  return array;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, std::int32_t lowerBound, std::uint32_t count) noexcept {
  const SAFEARRAYBOUND bound{count, lowerBound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) noexcept {
  if (!array) return S_OK;
  if (array->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  clearAll(array);
  std::free(array->pvData);
  freeDescriptor(array);
  return S_OK;
}

HRESULT SafeArrayCopy(const SAFEARRAY* source, SAFEARRAY** copy) noexcept {
  if (!copy) return E_POINTER;
  *copy = nullptr;
  if (!source) return S_OK;
  const VARTYPE vt = typeOf(source);
  SAFEARRAY* result = allocate(vt, source->cDims);
  if (!result) return E_OUTOFMEMORY;
  std::memcpy(result->rgsabound, source->rgsabound, source->cDims * sizeof(SAFEARRAYBOUND));
  std::size_t bytes = 0;
  byteSize(result, bytes);
  result->pvData = std::calloc(bytes ? bytes : 1, 1);
  if (!result->pvData) {
    freeDescriptor(result);
    return E_OUTOFMEMORY;
  }
  if (!ownsElements(vt)) {
    // Bookmarks and other byte arrays are copied on every hand-over.
    if (bytes && source->pvData) std::memcpy(result->pvData, source->pvData, bytes);
    *copy = result;
    return S_OK;
  }
  const std::size_t count = elementCount(source);
  const auto* from = static_cast<const char*>(source->pvData);
  auto* to = static_cast<char*>(result->pvData);
  for (std::size_t i = 0; i < count; ++i) {
    const HRESULT hr = copyElement(vt, to + i * source->cbElements, from + i * source->cbElements, source->cbElements);
    if (failed(hr)) {
      SafeArrayDestroy(result);
      return hr;
    }
  }
  *copy = result;
  return S_OK;
}

std::uint32_t SafeArrayGetDim(const SAFEARRAY* array) noexcept { return array ? array->cDims : 0; }
std::uint32_t SafeArrayGetElemsize(const SAFEARRAY* array) noexcept { return array ? array->cbElements : 0; }

HRESULT SafeArrayGetVartype(const SAFEARRAY* array, VARTYPE* vt) noexcept {
  if (!array || !vt) return E_INVALIDARG;
  *vt = typeOf(array);
  return S_OK;
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* array, std::uint32_t dim, std::int32_t* bound) noexcept {
  if (!array || !bound) return E_INVALIDARG;
  if (dim == 0 || dim > array->cDims) return DISP_E_BADINDEX;
  *bound = boundOf(array, dim).lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* array, std::uint32_t dim, std::int32_t* bound) noexcept {
  if (!array || !bound) return E_INVALIDARG;
  if (dim == 0 || dim > array->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = boundOf(array, dim);
  *bound = static_cast<std::int32_t>(std::int64_t{b.lLbound} + std::int64_t{b.cElements} - 1);
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* array) noexcept {
  if (!array) return E_INVALIDARG;
  if (array->cLocks == std::numeric_limits<std::uint32_t>::max()) return E_UNEXPECTED;
  ++array->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* array) noexcept {
  if (!array) return E_INVALIDARG;
  if (array->cLocks == 0) return E_UNEXPECTED;
  --array->cLocks;
  return S_OK;
}

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* array, const std::int32_t* indices, void** element) noexcept {
  if (!array || !indices || !element) return E_INVALIDARG;
  std::size_t offset = 0;
  std::size_t stride = 1;
  for (std::uint32_t dim = 1; dim <= array->cDims; ++dim) {
    const SAFEARRAYBOUND& b = boundOf(array, dim);
    const std::int64_t position = std::int64_t{indices[dim - 1]} - b.lLbound;
    if (position < 0 || position >= std::int64_t{b.cElements}) return DISP_E_BADINDEX;
    offset += static_cast<std::size_t>(position) * stride;
    stride *= b.cElements;
  }
  *element = static_cast<char*>(array->pvData) + offset * array->cbElements;
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* array, const std::int32_t* indices, void* value) noexcept {
  if (!value) return E_INVALIDARG;
  void* element = nullptr;
  if (const HRESULT hr = SafeArrayPtrOfIndex(array, indices, &element); failed(hr)) return hr;
  return copyElement(typeOf(array), value, element, array->cbElements);
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, const std::int32_t* indices, const void* value) noexcept {
  if (!value) return E_INVALIDARG;
  void* element = nullptr;
  if (const HRESULT hr = SafeArrayPtrOfIndex(array, indices, &element); failed(hr)) return hr;
  const VARTYPE vt = typeOf(array);
  // Copy first, so that a failed copy leaves the old element in place.
  alignas(VARIANT) unsigned char fresh[sizeof(VARIANT)] = {};
  if (const HRESULT hr = copyElement(vt, fresh, value, array->cbElements); failed(hr)) return hr;
  clearElement(vt, element);
  std::memcpy(element, fresh, array->cbElements);
  return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* array, const SAFEARRAYBOUND* lastDimension) noexcept {
  if (!array || !lastDimension) return E_INVALIDARG;
  if (array->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  const std::size_t oldCount = elementCount(array);
  // The descriptor keeps the rightmost dimension first.
  const SAFEARRAYBOUND previous = array->rgsabound[0];
  array->rgsabound[0] = *lastDimension;
  std::size_t bytes = 0;
  const bool fits = byteSize(array, bytes);
  array->rgsabound[0] = previous;
  if (!fits) return E_OUTOFMEMORY;
  const std::size_t newCount = bytes / array->cbElements;
  const VARTYPE vt = typeOf(array);
  if (newCount > oldCount) {
    void* grown = std::realloc(array->pvData, bytes);
    if (!grown) return E_OUTOFMEMORY;
    std::memset(static_cast<char*>(grown) + oldCount * array->cbElements, 0,
                (newCount - oldCount) * array->cbElements);
    array->pvData = grown;
  } else {
    auto* data = static_cast<char*>(array->pvData);
    for (std::size_t i = newCount; i < oldCount; ++i) clearElement(vt, data + i * array->cbElements);
    // A failed shrink keeps the larger block, which is harmless.
    if (void* shrunk = std::realloc(array->pvData, bytes ? bytes : 1)) array->pvData = shrunk;
  }
  array->rgsabound[0] = *lastDimension;
  return S_OK;
}

}  // namespace tarnwick
