#include <tarnwick/automation/Convert.h>
#include <tarnwick/frame/Activation.h>
#include <tarnwick/frame/DataEngine.h>

namespace tarnwick::frame {

Object dbEngine() { return Object(createObject(kDBEngineClassId)); }

Object field(const Object& recordSource, std::u16string_view name) {
  const Object fields(recordSource.get(u"Fields"));
  Variant args[] = {Variant(name)};
  return Object(fields.invoke(DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, nullptr));
}

Variant fieldValue(const Object& recordSource, std::u16string_view name) { return field(recordSource, name).get(u"Value"); }

void setFieldValue(const Object& recordSource, std::u16string_view name, const Variant& value) {
  field(recordSource, name).invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, {}, &value);
}

}  // namespace tarnwick::frame
