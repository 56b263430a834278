#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/DataEngine.h>

namespace tarnwick::frame {

Object dbEngine() { return Object(createObject(kDBEngineClassId)); }

Variant fieldValue(const Object& recordSource, std::u16string_view name) {
  Variant args[] = {Variant(name)};
  // The member may answer with the field itself: its value is its default member.
  return plainValue(recordSource.invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, nullptr));
}

void setFieldValue(const Object& recordSource, std::u16string_view name, const Variant& value) {
  Variant args[] = {Variant(name)};
  recordSource.invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, args, &value);
}

}  // namespace tarnwick::frame
