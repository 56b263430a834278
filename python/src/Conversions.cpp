// The value layer's conversions as module functions, so that code ported
// to Python converts exactly as the library does. Each takes an optional
// locale: None for the process's locale, or "en-US" / "de-DE".
#include "Bridge.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Locale.h>
#include <tarnwick/automation/Number.h>
#include <tarnwick/automation/Operations.h>

#include <optional>

namespace tarnwick::python {

namespace {

std::optional<Locale> namedLocale(py::handle name) {
  if (name.is_none()) return std::nullopt;
  if (!PyUnicode_Check(name.ptr())) raise(errc::TypeMismatch);
  const std::u16string text = toText16(name);
  if (equalsIgnoreCase(text, u"en-US") || equalsIgnoreCase(text, u"en_US")) return Locale::enUS();
  if (equalsIgnoreCase(text, u"de-DE") || equalsIgnoreCase(text, u"de_DE")) return Locale::deDE();
  raise(errc::InvalidProcedureCall, text);
}

// Runs `body` under the named locale (the thread's locale for the call only).
template <typename F>
auto underLocale(py::handle name, F&& body) {
  const std::optional<Locale> locale = namedLocale(name);
  if (!locale) return body();
  LocaleScope scope(*locale);
  return body();
}

std::u16string textArgument(py::handle value) {
  if (!PyUnicode_Check(value.ptr())) raise(errc::TypeMismatch);
  return toText16(value);
}

py::object dateResult(DATE serial) { return fromVariant(Variant::date(serial)); }

}  // namespace

void addConversions(py::module_& m) {
  const auto locale = py::arg("locale") = py::none();
  m.def(
      "leading_number",
      [](py::handle text, py::handle loc) {
        return underLocale(loc, [&] { return leadingNumber(textArgument(text)); });
      },
      py::arg("text"), locale,
      "The number a text starts with (blanks skipped, '.' as decimal point, &H and &O prefixes); 0 for none.");
  m.def(
      "is_numeric",
      [](py::handle value, py::handle loc) {
        const Variant v = toVariant(value);
        return underLocale(loc, [&] { return isNumeric(v); });
      },
      py::arg("value"), locale, "True when the value, read as text, converts to a number.");
  m.def(
      "is_date",
      [](py::handle value, py::handle loc) {
        const Variant v = toVariant(value);
        return underLocale(loc, [&] { return isDate(v); });
      },
      py::arg("value"), locale, "True when the value is a date or its text converts to one.");
  m.def(
      "parse_number",
      [](py::handle text, py::handle loc) {
        return underLocale(loc, [&] { return parseNumber(textArgument(text)); });
      },
      py::arg("text"), locale, "Text to number under the locale's conventions; error 13 for no number.");
  m.def(
      "parse_date",
      [](py::handle text, py::handle loc) {
        const DATE serial = underLocale(loc, [&] { return parseDate(textArgument(text)); });
        return dateResult(serial);
      },
      py::arg("text"), locale, "Text to datetime under the locale's conventions; error 13 for no date.");
  m.def(
      "number_to_text",
      [](py::handle number, py::handle loc) {
        const Variant v = toVariant(number);
        return fromText16(underLocale(loc, [&] { return numberToText(toDouble(v)); }));
      },
      py::arg("number"), locale, "The number-to-text rule: a blank before 0 and positive numbers, '.' as separator.");
  m.def(
      "to_text",
      [](py::handle value, py::handle loc) {
        const Variant v = toVariant(value);
        return fromText16(underLocale(loc, [&] { return toText(v); }));
      },
      py::arg("value"), locale, "A value as text, as it converts to a string (numbers, dates, booleans).");
  m.def(
      "add",
      [](py::handle left, py::handle right, py::handle loc) {
        const Variant a = toVariant(left);
        const Variant b = toVariant(right);
        const Variant sum = underLocale(loc, [&] { return tarnwick::add(a, b); });
        return fromVariant(sum);
      },
      py::arg("left"), py::arg("right"), locale,
      "Variant addition: texts concatenate, a text and a number add as numbers, Null gives Null.");
  m.def(
      "round_int16",
      [](py::handle value, py::handle loc) {
        const Variant v = toVariant(value);
        return underLocale(loc, [&] { return toInt16(v); });
      },
      py::arg("value"), locale, "Rounded (half to even) to a 16-bit integer; error 6 outside its range.");
  m.def(
      "round_int32",
      [](py::handle value, py::handle loc) {
        const Variant v = toVariant(value);
        return underLocale(loc, [&] { return toInt32(v); });
      },
      py::arg("value"), locale, "Rounded (half to even) to a 32-bit integer; error 6 outside its range.");
  m.def(
      "format_date",
      [](py::handle value, py::handle pattern, py::handle loc) {
        const Variant v = toVariant(value);
        const std::u16string p = textArgument(pattern);
        return fromText16(underLocale(loc, [&] { return format(v, p); }));
      },
      py::arg("value"), py::arg("pattern"), locale,
      "A date (or a text or number read as one) formatted with a user-defined pattern such as 'dd.mm.yyyy'.");
  m.def(
      "set_process_locale",
      [](py::handle name) {
        const std::optional<Locale> named = namedLocale(name);
        setProcessLocale(named ? *named : Locale::fromEnvironment());
      },
      py::arg("locale"), "Makes 'en-US' or 'de-DE' the process's locale; None returns to the environment's.");
  m.def(
      "process_locale", [] { return fromText16(userLocale().name); }, "The name of the locale conversions use.");
}

}  // namespace tarnwick::python
