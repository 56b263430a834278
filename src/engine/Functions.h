#pragma once
// Private to the engine: the functions that the engine's SQL dialect needs
// and the storage lacks, registered on every connection, and the rules for
// reading stored dates.
#include <tarnwick/automation/VarType.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace tarnwick::engine {

// Registers like() (the dialect's Like), tw_date(), tw_datevalue(),
// tw_len(), tw_text(), the text functions (tw_ucase, tw_lcase, tw_trim,
// tw_ltrim, tw_rtrim, tw_mid), tw_today() and tw_now().
void registerFunctions(sqlite3* db);

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
