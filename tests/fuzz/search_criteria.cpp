// The search criteria routine, called by name on the headless host: any tags
// and typed values give a condition or the empty text (after a message);
// with well-formed tags over real fields, whatever the user typed, the
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
  LocaleScope locale(choice & 8 ? Locale::deDE() : Locale::enUS());
  const bool engineSyntax = choice & 1;
  const bool statement = choice & 2;
  bool known = true;
  for (std::int32_t i = 0; i < 6; ++i) known = f.fill(input, u"txtFind", i) >= 0 && known;
  known = f.fill(input, u"chkFind", 0) >= 0 && known;
  known = f.fill(input, u"cboFind", 0) >= 0 && known;

  const Variant arrays = makeVariantArray({f.form.get(u"txtFind"), f.form.get(u"chkFind"), f.form.get(u"cboFind")});
  const std::size_t shownBefore = f.box->shown;
  const std::u16string result = std::u16string(
      (choice & 4 ? f.dataAccess.call(u"GetWhereClauseFromTags_s", arrays, engineSyntax, statement, u"[Note]")
                  : f.dataAccess.call(u"GetWhereClauseFromTags_s", arrays, engineSyntax, statement))
          .text());
  if (f.box->shown != shownBefore) fuzz::check(result.empty(), "a reported failure still returned a condition", result);
  if (result.empty() || !engineSyntax) return 0;
  if (statement) {
    fuzz::check(result.starts_with(u"Select * From "), "a statement that is no selection", result);
    if (known) f.runs(result);
  }
  return 0;
}
