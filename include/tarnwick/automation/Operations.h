#pragma once
// Arithmetic and comparison of automation values.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Variant.h>

namespace tarnwick {

// Variant addition: two texts are concatenated; a text and a number (or
// date) are added as numbers, the text converted first (Error 13 if it is
// no number); Null on either side gives Null; Empty adds nothing. Numbers
// take the more precise of the two types (byte, integer, long, single,
// double, currency, decimal; single with long gives double; a date stays a
// date), and an integer sum that overflows widens (byte to integer, integer
// to long, long to double). Overflow of double, currency or decimal throws
// Error 6.
TARNWICK_API Variant add(const Variant& left, const Variant& right);

// The & operator: each side as text (an object by its value), a Null side
// as the empty text; only two Nulls make Null. An error value or an array
// is Error 13.
TARNWICK_API Variant concatenate(const Variant& left, const Variant& right);

enum class Comparison { Less = 0, Equal = 1, Greater = 2, Null = 3 };

// Compares two values: Null on either side gives Null; numbers, dates and
// booleans compare as numbers (a decimal exactly beside integers, currency
// and decimals); texts compare exactly, unit by unit (binary,
// case-sensitive); Empty compares as 0 or ""; a number is less than a text.
TARNWICK_API Comparison compare(const Variant& left, const Variant& right);

}  // namespace tarnwick
