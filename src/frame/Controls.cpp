#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/frame/Controls.h>
#include <tarnwick/frame/ErrorStyles.h>

#include <limits>
#include <optional>

namespace tarnwick::frame {

Object element(const Object& controlArray, std::int32_t index) {
  Variant args[] = {Variant(index)};
  return Object(controlArray.invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, nullptr));
}

std::int32_t upperBound(const Object& controlArray) { return toInt32(controlArray.get(u"UBound")); }

bool indexWithin(std::int32_t index, std::int32_t last) {
  if (index > std::numeric_limits<std::int16_t>::max()) raise(errc::Overflow);
  return index <= last;
}

namespace {

// The elements that the collection's enumerator hands out, or nullopt when
// it offers none.
std::optional<std::vector<Variant>> enumeratedElements(const Object& collection) {
  try {
    return enumerate(collection);
  } catch (const Error& e) {
    if (e.number() != errc::MemberNotSupported) throw;
    return std::nullopt;
  }
}

}  // namespace

std::vector<Object> collectionItems(const Object& collection) {
  std::vector<Object> items;
  if (const auto elements = enumeratedElements(collection)) {
    items.reserve(elements->size());
    for (const Variant& element : *elements) items.emplace_back(element);
    return items;
  }
  // Without an enumerator: Count items from 0, or from 1 where the
  // collection has no item 0.
  const std::int32_t count = toInt32(collection.get(u"Count"));
  if (count <= 0) return items;
  items.reserve(static_cast<std::size_t>(count));
  std::int32_t first = 0;
  try {
    items.push_back(element(collection, 0));
  } catch (const Error&) {
    first = 1;
  }
  for (std::int32_t i = first + static_cast<std::int32_t>(items.size()); i < first + count; ++i)
    items.push_back(element(collection, i));
  return items;
}

std::u16string controlName(const Object& control) {
  std::u16string name = toText(control.get(u"Name"));
  ContinueOnError index;
  index.run([&] { name += u"(" + toText(Variant(toInt32(control.get(u"Index")))) + u")"; });
  return name;
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
