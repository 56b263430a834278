// The clipboard-row parser: any pasted text is cut into cells that lie
// inside it, in order, ending after finitely many; every cell stores a value
// or raises a library error; in a field of any type but text, a stored value
// copied and pasted back copies as the same text again. (A text field's
// text that reads as a number is copied as that number, point and all, and
// "2.5" is another number under de-DE: texts change by design.)
#include "FuzzInput.h"
#include "../../src/ocx/ClipboardRows.h"

#include <tarnwick/automation/Convert.h>

#include <cmath>

#include <tarnwick/automation/Locale.h>

using namespace tarnwick;

namespace {

constexpr frame::FieldType kFieldTypes[] = {
    frame::FieldType::Boolean, frame::FieldType::Byte,   frame::FieldType::Integer, frame::FieldType::Long,
    frame::FieldType::Currency, frame::FieldType::Single, frame::FieldType::Double,  frame::FieldType::Date,
    frame::FieldType::Text,    frame::FieldType::Memo,   frame::FieldType::BigInt,  frame::FieldType::Decimal};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint8_t choice = input.byte();
  LocaleScope locale(choice & 1 ? Locale::deDE() : Locale::enUS());
  const frame::FieldType type = kFieldTypes[((choice >> 1) & 15) % std::size(kFieldTypes)];
  const std::size_t fieldsPerRecord = 1 + (choice >> 5);
  const std::u16string text = input.textRest();

  ocx::PasteCells cells(text);
  const char16_t* previousEnd = text.data();
  for (std::size_t count = 0;; ++count) {
    const bool first = count % fieldsPerRecord == 0;
    fuzz::check(count <= text.size(), "more cells than characters", text);
    ocx::PasteCells::Cell cell{};
    try {
      cell = cells.next(first);
    } catch (const Error& e) {
      fuzz::check(e.number() == errc::InvalidProcedureCall, "unexpected error cutting cells", e.description());
      break;
    }
    fuzz::check(cell.text.data() >= previousEnd && cell.text.data() + cell.text.size() <= text.data() + text.size(),
                "cell outside the text or before the previous one", text);
    previousEnd = cell.text.data() + cell.text.size();
    std::optional<Variant> stored;
    try {
      stored = ocx::pasteValue(cell.text, type);
    } catch (const Error&) {
      // A cell the field cannot take is the paste's error to report.
    }
    // A date field keeps what it is given as a date, as the engine stores it;
    // the paste takes a date's day alone, so only the day goes round.
    if (stored && type == frame::FieldType::Date && stored->vt != VT_DATE) {
      try {
        stored = Variant::date(std::trunc(toDate(*stored)));
      } catch (const Error&) {
        stored.reset();  // the engine refuses it
      }
    }
    std::u16string copied;
    if (stored) ocx::appendCopyText(copied, *stored);
    // The empty text (a cell of blanks) copies as an empty cell, which leaves
    // a field as it is: the paste then stores nothing, as it must.
    const bool isText = type == frame::FieldType::Text || type == frame::FieldType::Memo;
    if (!copied.empty() && !isText) {
      std::optional<Variant> restored;
      try {
        restored = ocx::pasteValue(copied, type);
      } catch (const Error& e) {
        fuzz::fail("a copied value does not paste back", copied + u" / " + e.description());
      }
      fuzz::check(restored.has_value(), "a copied value pastes as nothing", copied);
      fuzz::check(restored->vt == stored->vt, "a copied value pastes back as another type", copied);
      std::u16string again;
      ocx::appendCopyText(again, *restored);
      fuzz::check(again == copied, "a copied value pastes back changed", copied + u" / " + again);
    }
    if (cell.last) break;
  }
  return 0;
}
