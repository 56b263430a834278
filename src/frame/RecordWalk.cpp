#include <tarnwick/automation/SafeArray.h>
#include <tarnwick/frame/RecordWalk.h>

#include <cstring>

namespace tarnwick::frame {

std::optional<std::uint64_t> bookmarkBytes(const Variant& bookmark) noexcept {
  const VARIANT* v = &bookmark;
  if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  const bool byReference = (v->vt & VT_BYREF) != 0;
  if ((v->vt & ~VT_BYREF) != (VT_ARRAY | VT_UI1)) return std::nullopt;
  const SAFEARRAY* a = byReference ? (v->pparray ? *v->pparray : nullptr) : v->parray;
  if (!a || a->cDims != 1 || a->rgsabound[0].cElements != 8 || a->rgsabound[0].lLbound != 0) return std::nullopt;
  std::uint64_t bytes = 0;
  std::memcpy(&bytes, a->pvData, 8);
  return bytes;
}

Variant bookmarkOfBytes(std::uint64_t bytes) {
  SafeArray array(VT_UI1, 0, 8);
  std::memcpy(array.get()->pvData, &bytes, 8);
  return std::move(array).toVariant();
}

}  // namespace tarnwick::frame
