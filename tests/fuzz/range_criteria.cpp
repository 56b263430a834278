// The range criteria routine, called by name on the headless host: any tags,
// typed values and bounds give a condition or the empty text (after a
// message); with well-formed tags on a date field, whatever the user typed, the
// statement returned runs against the real database.
#include "CriteriaForm.h"

#include <tarnwick/automation/Locale.h>

using namespace tarnwick;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::criteriaForm();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::CriteriaForm& f = fuzz::criteriaForm();
  fuzz::Input input(data, size);
  const std::uint8_t choice = input.byte();
  const std::uint8_t bounds = input.byte();
  LocaleScope locale(choice & 8 ? Locale::deDE() : Locale::enUS());
  const bool engineSyntax = choice & 1;
  const bool statement = choice & 2;
  // Bounds a little outside the array as well as inside it.
  const auto lower = static_cast<std::int16_t>((bounds & 7) - 1);
  const auto upper = static_cast<std::int16_t>((bounds >> 3 & 7) - 1);
  bool known = true;
  for (std::int32_t i = 0; i < 6; ++i) {
    const int tag = f.fill(input, u"txtFind", i);
    known = (tag == fuzz::kDateTag || tag == fuzz::kNoTag) && known;
  }

  const std::size_t shownBefore = f.box->shown;
  const std::u16string result = std::u16string(
      f.dataAccess.call(u"GetBetweenWhereClauseFromTags_s", f.form.get(u"txtFind"), lower, upper, engineSyntax, statement)
          .text());
  if (f.box->shown != shownBefore) fuzz::check(result.empty(), "a reported failure still returned a condition", result);
  if (result.empty() || !engineSyntax || !statement) return 0;
  fuzz::check(result.starts_with(u"Select * From "), "a statement that is no selection", result);
  if (known) f.runs(result);
  return 0;
}
