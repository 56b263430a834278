#pragma once
// Private to the engine: the rules of the dialect's functions that a
// backend carries out for it (Like's patterns) and the rules for reading
// stored dates.
#include <tarnwick/automation/VarType.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::engine {

// The dialect's Like: * any run, ? one character, # one digit, [list] and
// [!list] one character in or not in the list (ranges as a-z); letter case
// is ignored. An unclosed "[" matches nothing.
bool likeMatches(std::u16string_view text, std::u16string_view pattern);

// A Like pattern as items, literals and list bounds in lower case.
struct PatternItem {
  enum Kind { Literal, AnyOne, Digit, AnyRun, Set };
  explicit PatternItem(Kind k, char16_t ch = 0) : kind(k), c(ch) {}
  Kind kind;
  char16_t c = 0;
  bool negated = false;
  std::u16string ranges;  // pairs: low, high
};
// Splits a pattern into items; nullopt for an unclosed "[".
std::optional<std::vector<PatternItem>> compileLikePattern(std::u16string_view pattern);

// A date kept as text by another program: "yyyy-mm-dd", optionally with
// " hh:mm[:ss[.fff]]" (or "T" between), else any text that reads as a date
// under the user's locale.
std::optional<DATE> parseStoredDate(std::string_view text);

// A stored real number as text: whole numbers without decimals.
std::string storedNumberText(double value);

}  // namespace tarnwick::engine
