#pragma once
// The pieces of search and range conditions, in the data engine's SQL
// syntax or the report engine's formula syntax.
//
// What the user typed never becomes part of the statement's syntax: a text
// goes into a quoted literal with every apostrophe doubled; a number
// criterion's value must be a number (Error 13 otherwise) and is written in
// the statement's own form (a point as decimal separator, no thousands
// separators); a date criterion's value must be a date (Error 13 otherwise).
// Operators and wildcards that the user types keep working.
//
// The functions its tests call from outside the library carry TARNWICK_API.
#include <tarnwick/automation/Export.h>

#include <string>
#include <string_view>

namespace tarnwick::dataaccess {

enum class Syntax { Sql, Formula };
enum class CriterionKind { Text, Number, Date };

// The leading comparison operator of a typed value: one of "<", ">", "=",
// or two of them (every pair counts, "==" and "><" too); empty when none.
std::u16string_view operatorPrefix(std::u16string_view value) noexcept;

// A quoted literal: the text between apostrophes, apostrophes doubled.
std::u16string quoted(std::u16string_view text);

// One search criterion for table `table` and bracketed field `field`.
TARNWICK_API std::u16string searchCriterion(CriterionKind kind, Syntax syntax, std::u16string_view table,
                                            std::u16string_view field, std::u16string_view value);

// One range criterion over bracketed field `field`: both bounds give an
// inclusive range, one bound an exclusive one.
TARNWICK_API std::u16string rangeCriterion(Syntax syntax, std::u16string_view field, std::u16string_view from,
                                           std::u16string_view to);

// The table list: names separated by ",", each once (whole names compared).
TARNWICK_API void addTable(std::u16string& list, std::u16string_view table);

}  // namespace tarnwick::dataaccess
