#pragma once
// Reaching the data engine by name: the thread's application object, and a
// record source's fields through its default member.
#include <tarnwick/automation/Object.h>

#include <string_view>

namespace tarnwick::frame {

inline constexpr std::u16string_view kDBEngineClassId = u"{00000010-0000-0010-8000-00AA006D2EA4}";

// The thread's DBEngine (the same object for every call on a thread).
Object dbEngine();

// Field `name` of a record source: its Fields collection's item.
Object field(const Object& recordSource, std::u16string_view name);
// The value of field `name` in the record source's current record.
Variant fieldValue(const Object& recordSource, std::u16string_view name);
// Sets field `name` of the record being edited.
void setFieldValue(const Object& recordSource, std::u16string_view name, const Variant& value);

}  // namespace tarnwick::frame
