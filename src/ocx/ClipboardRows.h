#pragma once
// The text rules of copying data grid rows to the clipboard and pasting
// them back: what a field's value becomes in the text, how the text is cut
// into cells, what a cell stores in a field, and which data controls the
// delete-all may empty. What its tests call from outside the library
// carries TARNWICK_API.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Variant.h>
#include <tarnwick/frame/FieldType.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::ocx {

// Appends a field's value as the copy writes it: a number, or a value that
// reads as one, by the number-to-text rule (" 7", "-1.5", a yes/no as " 0"
// or "-1"); a date, or a text that reads as one, as year-month-day (with
// the time of day after a blank when it has one), which the paste reads
// back as that date in every locale; Null as nothing; any other text unchanged.
TARNWICK_API void appendCopyText(std::u16string& out, const Variant& value);

// Cuts clipboard text into cells. A record's first cell ends at the first
// tab; any other cell ends at the first tab or, when a carriage return comes
// first, at the carriage return; the cell after the last tab ends at the
// next carriage return and is the last. A cell that would need a tab or a
// carriage return the text does not have is Error 5. Each step is constant
// time on average, whatever the size of the text.
class TARNWICK_API PasteCells {
 public:
  explicit PasteCells(std::u16string_view text) noexcept
      : text_(text), tab_(text.find(u'\t')), cr_(text.find(u'\r')) {}

  struct Cell {
    std::u16string_view text;
    bool last;  // no tab was left: the paste ends after this cell
  };
  Cell next(bool firstOfRecord);

 private:
  // The next `c` at or after the current position (npos: none left).
  std::size_t nextOf(std::size_t& cache, char16_t c) const noexcept;
  std::u16string_view text_;
  std::size_t pos_ = 0;
  std::size_t tab_;  // the last tab and carriage return found; stale once behind pos_
  std::size_t cr_;
};

// What a cell stores in a field of type `fieldType`; nullopt for an empty
// cell, which leaves the field as AddNew made it. Only a date field takes a
// cell as a date (its day, any time dropped): in many locales a number such
// as 1.5 reads as a date too, and a text field keeps its text as written.
// A cell that reads as a number (or has the copy's own form of one, " .5"
// under any locale), for any field but a text field, and every
// cell for a yes/no field, stores the number the cell starts with (0 when it
// starts with none); any other cell stores its text without trailing blanks.
TARNWICK_API std::optional<Variant> pasteValue(std::u16string_view cell, frame::FieldType fieldType);

// The delete-all empties only a data control whose record source names its
// table with the "tbl" prefix: Error 5 for any other record source. Which
// records it shows, and whether a statement can name exactly those, is the
// data engine's to say (its DeleteShownRecords).
TARNWICK_API void requireDeleteAllSource(std::u16string_view recordSource);

}  // namespace tarnwick::ocx
