// The conversions: any text reads as a number or a date or is refused with
// 13 (6 beyond the range); what was read, formatted and read again formats
// to the same text; rounding stays within half a unit; any date pattern
// formats any valid date.
#include "FuzzInput.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/Number.h>

#include <cmath>
#include <optional>

using namespace tarnwick;

namespace {

// Runs `f`; the conversions may refuse a value only with 13 or 6.
template <typename F>
auto refusable(F&& f) -> std::optional<decltype(f())> {
  try {
    return f();
  } catch (const Error& e) {
    fuzz::check(e.number() == errc::TypeMismatch || e.number() == errc::Overflow, "unexpected error",
                e.description());
    return std::nullopt;
  }
}

void numbers(std::u16string_view text, const Locale& locale) {
  refusable([&] { return leadingNumber(text); });
  const std::optional<double> value = refusable([&] { return parseNumber(text, locale); });
  fuzz::check(value.has_value() == isNumericText(text, locale), "the numeric test disagrees with the parse", text);
  if (!value) return;
  fuzz::check(std::isfinite(*value), "a parsed number is not finite", text);

  // The number-to-text rule reads back through the leading-number rule, and
  // a number converted to text reads back under the same locale. Fifteen
  // digits of the very largest doubles round up beyond the range, where a
  // read is an overflow.
  const bool nearLimit = std::fabs(*value) > 1.79769313486e308;
  const std::u16string shown = numberToText(*value);
  const auto reread = refusable([&] { return leadingNumber(shown); });
  fuzz::check(reread.has_value() || nearLimit, "a number's text does not read back", shown);
  if (reread) fuzz::check(numberToText(*reread) == shown, "a number's text is not stable", shown);
  const std::u16string asText = doubleToText(*value, locale);
  const auto parsedAgain = refusable([&] { return parseNumber(asText, locale); });
  fuzz::check(parsedAgain.has_value() || nearLimit, "a number converted to text does not parse", asText);
  if (parsedAgain)
    fuzz::check(doubleToText(*parsedAgain, locale) == asText, "a number converted to text is not stable", asText);

  if (const auto r = refusable([&] { return roundToInt32(*value); }))
    fuzz::check(std::fabs(static_cast<double>(*r) - *value) <= 0.5, "rounding moved more than a half", text);
  if (const auto r = refusable([&] { return roundToInt64(*value); }))
    fuzz::check(std::fabs(static_cast<double>(*r) - *value) <= 0.5 + std::fabs(*value) * 1e-15,
                "rounding moved more than a half", text);
  if (const auto cy = refusable([&] { return doubleToCurrency(*value); }))
    fuzz::check(std::fabs(currencyToDouble(*cy) - *value) <= 0.00005 + std::fabs(*value) * 1e-15,
                "currency moved more than half a unit", text);
}

void dates(std::u16string_view text, std::u16string_view pattern, const Locale& locale) {
  const std::optional<DATE> date = tryParseDate(text, locale);
  fuzz::check(date.has_value() == isDateText(text, locale), "the date test disagrees with the parse", text);
  if (!date) return;
  fuzz::check(*date >= kMinDate && *date < kMaxDate + 1, "a parsed date out of range", text);
  const std::u16string shown = dateToText(*date, locale);
  const std::optional<DATE> again = tryParseDate(shown, locale);
  fuzz::check(again.has_value(), "a date's text does not parse", std::u16string(text) + u" -> " + shown);
  fuzz::check(dateToText(*again, locale) == shown, "a date's text is not stable", std::u16string(text) + u" -> " + shown);
  refusable([&] { return formatDate(*date, pattern, locale); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const Locale locale = input.byte() & 1 ? Locale::deDE() : Locale::enUS();
  LocaleScope scope(locale);
  const std::u16string pattern = input.textLine();
  const std::u16string text = input.textRest();
  numbers(text, locale);
  dates(text, pattern, locale);
  return 0;
}
