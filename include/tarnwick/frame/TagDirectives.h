#pragma once
// The directives a control's Tag text carries, one function per directive,
// read exactly as every routine that reads tags reads them: characters
// compared case-sensitively, the first occurrence counting, names taken
// unchanged (blanks included).
//
//   binding:  Orders([Qty])            at the very start of the tag
//   search:   S=Orders([Qty])  or  S=Orders['Qty']
//   type:     !Number  !Date
//   merge:    M=Surname                 to the end of the tag
//
// The field name is the text inside the delimiters less one enclosing
// character at each end, whatever those are: "(Qty)" gives "t".
//
// A malformed directive (no closing delimiter, or the closing one before
// the opening one; a search directive with no opening delimiter; a search
// type marker with no ";" after it) raises Error 5, "Invalid procedure call
// or argument": the names would be cut with a negative length. The routines
// decide what that error means for them.
#include <tarnwick/automation/Export.h>

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::frame::tags {

struct Directive {
  std::u16string table;
  std::u16string field;  // bare: without the enclosing characters or brackets
};

// The binding directive; nullopt when the tag has no "(".
TARNWICK_API std::optional<Directive> binding(std::u16string_view tag);
// Its two halves apart, as the routines read them: the table name first
// (nullopt without "("), and the field name only for a control whose table
// matches, so a malformed directive of another table is never an error.
std::optional<std::u16string> bindingTable(std::u16string_view tag);
std::u16string bindingField(std::u16string_view tag);
// The search directive; nullopt when the tag has no "S=".
TARNWICK_API std::optional<Directive> search(std::u16string_view tag);
// The search routines' type word: after the first "!" up to the next ";".
TARNWICK_API std::optional<std::u16string> searchTypeWord(std::u16string_view tag);
// The save routines' type word: everything after the first "!".
TARNWICK_API std::optional<std::u16string> saveTypeWord(std::u16string_view tag);
// The merge field name: everything after the first "M="; nullopt without one.
TARNWICK_API std::optional<std::u16string> mergeField(std::u16string_view tag);

}  // namespace tarnwick::frame::tags
