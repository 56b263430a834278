#pragma once
// Reaching a client's controls by name, the way every routine does.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/Variant.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::frame {

// Element `index` of a control array (its default member with the index);
// Error 340 from the array when there is no such element.
TARNWICK_API Object element(const Object& controlArray, std::int32_t index);
// The control array's UBound member.
TARNWICK_API std::int32_t upperBound(const Object& controlArray);
// The members of a collection such as a form's Controls, in the
// collection's own order (its Count, and its default member from 0).
TARNWICK_API std::vector<Object> collectionItems(const Object& collection);
// The controls of a form, in the order of its Controls collection.
TARNWICK_API std::vector<Object> formControls(const Object& form);

// The value a routine receives as "an array of control arrays": the
// elements of its first dimension from the lower bound (0) to the upper
// bound; Error 13 when the value is no array.
TARNWICK_API std::vector<Variant> arrayElements(const Variant& array);

}  // namespace tarnwick::frame
