#pragma once
// Reaching a client's controls by name, the way every routine does.
#include <tarnwick/automation/Error.h>
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
// The condition of a loop over indexes, counted as with the platform's
// 16-bit loop counter: true while `index` has not passed `last`. A counter
// stepped beyond 32767 is error 6 (overflow), so a loop up to 32767 visits
// that index and then fails instead of wrapping to -32768.
TARNWICK_API bool indexWithin(std::int32_t index, std::int32_t last);
// The members of a collection such as a form's Controls, as a for-each
// loop walks it: in the order of its enumerator (member DISPID_NEWENUM), or
// where it offers none, Count items through its default member from 0 (from
// 1 when it has no item 0).
TARNWICK_API std::vector<Object> collectionItems(const Object& collection);
// The controls of a form, in the order of its Controls collection.
TARNWICK_API std::vector<Object> formControls(const Object& form);

// A control's name as the form knows it: "txtFind(1)" for an element of a
// control array, "txtFind" for a control of its own.
TARNWICK_API std::u16string controlName(const Object& control);

// Runs `body` for one control: an error leaving it says which control.
template <typename F>
decltype(auto) forControl(const Object& control, F&& body) {
  return withNote(std::forward<F>(body), [&] { return u"control " + quotedName(controlName(control)); });
}

// The value a routine receives as "an array of control arrays": the
// elements of its first dimension from the lower bound (0) to the upper
// bound; Error 13 when the value is no array.
TARNWICK_API std::vector<Variant> arrayElements(const Variant& array);

}  // namespace tarnwick::frame
