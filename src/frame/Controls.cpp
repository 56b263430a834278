#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/frame/Controls.h>

namespace tarnwick::frame {

Object element(const Object& controlArray, std::int32_t index) {
  Variant args[] = {Variant(index)};
  return Object(controlArray.invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, nullptr));
}

std::int32_t upperBound(const Object& controlArray) { return toInt32(controlArray.get(u"UBound")); }

std::vector<Object> collectionItems(const Object& collection) {
  const std::int32_t count = toInt32(collection.get(u"Count"));
  std::vector<Object> items;
  items.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
  for (std::int32_t i = 0; i < count; ++i) items.push_back(element(collection, i));
  return items;
}

std::vector<Object> formControls(const Object& form) { return collectionItems(Object(form.get(u"Controls"))); }

std::vector<Variant> arrayElements(const Variant& array) {
  SAFEARRAY* list = array.array();
  if (!list) raise(errc::TypeMismatch);
  if (SafeArrayGetDim(list) != 1) raise(errc::SubscriptOutOfRange);
  std::int32_t lower = 0;
  std::int32_t upper = -1;
  check(SafeArrayGetLBound(list, 1, &lower));
  check(SafeArrayGetUBound(list, 1, &upper));
  std::vector<Variant> elements;
  VARTYPE type = VT_VARIANT;
  SafeArrayGetVartype(list, &type);
  for (std::int32_t i = lower; i <= upper; ++i) {
    Variant element;
    if (type == VT_VARIANT) {
      check(SafeArrayGetElement(list, &i, &element));
    } else {
      void* slot = nullptr;
      check(SafeArrayPtrOfIndex(list, &i, &slot));
      VARIANT reference{};
      reference.vt = static_cast<VARTYPE>(VT_BYREF | type);
      reference.byref = slot;
      check(VariantCopyInd(&element, &reference));
    }
    elements.push_back(std::move(element));
  }
  return elements;
}

}  // namespace tarnwick::frame
