// The value layer's conversions as module functions, so that code ported
// to Python converts exactly as the library does. Each takes an optional
// locale: None for the process's locale, or "en-US" / "de-DE". Values of an
// exact automation type travel as tarnwick.Variant.
#include "Bridge.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Decimal.h>
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
  if (std::optional<Locale> locale = Locale::builtIn(text)) return locale;
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

struct TypeCode {
  std::u16string_view name;
  VARTYPE code;
};
constexpr TypeCode kTypeCodes[] = {
    {u"EMPTY", VT_EMPTY}, {u"NULL", VT_NULL}, {u"I2", VT_I2},     {u"I4", VT_I4},       {u"R4", VT_R4},
    {u"R8", VT_R8},       {u"CY", VT_CY},     {u"DATE", VT_DATE}, {u"BSTR", VT_BSTR},   {u"DISPATCH", VT_DISPATCH},
    {u"ERROR", VT_ERROR}, {u"BOOL", VT_BOOL}, {u"UI1", VT_UI1},   {u"I8", VT_I8},       {u"DECIMAL", VT_DECIMAL},
};

// A type given by its code or its name ("I2", "vt_i2").
VARTYPE typeArgument(py::handle type) {
  if (PyLong_Check(type.ptr()) && !PyBool_Check(type.ptr())) {
    const long code = type.cast<long>();
    for (const TypeCode& t : kTypeCodes)
      if (t.code == code) return t.code;
    raise(errc::InvalidProcedureCall, toText16(py::str(type)));
  }
  if (!PyUnicode_Check(type.ptr())) raise(errc::TypeMismatch);
  const std::u16string text = toText16(type);
  std::u16string_view name = text;
  if (name.size() > 3 && equalsIgnoreCase(name.substr(0, 3), u"VT_")) name.remove_prefix(3);
  for (const TypeCode& t : kTypeCodes)
    if (equalsIgnoreCase(name, t.name)) return t.code;
  raise(errc::InvalidProcedureCall, text);
}

// The value changed to the type as the library changes types; an error
// value is made from its code, which no conversion does.
Variant exactValue(py::handle value, py::handle type, py::handle loc) {
  if (type.is_none()) return toVariant(value);
  const VARTYPE vt = typeArgument(type);
  // A Python decimal passes as currency; asked for as a decimal it keeps every digit.
  if (vt == VT_DECIMAL && py::isinstance(value, state().decimalType)) return Variant(decimalFromPython(value));
  Variant v = toVariant(value);
  if (vt != VT_ERROR) return underLocale(loc, [&] { return changeType(v, vt); });
  const Variant plain = v.value();
  switch (plain.type()) {
    case VT_ERROR: return plain;
    case VT_UI1:
    case VT_I2:
    case VT_I4: return Variant::error(toInt32(plain));
    default: raise(errc::TypeMismatch);
  }
}

py::object exactRepr(const ExactValue& self) {
  py::object type = py::int_(self.value.type());
  for (const TypeCode& t : kTypeCodes)
    if (t.code == self.value.type()) type = fromText16(t.name);
  return py::str("tarnwick.Variant({!r}, {!r})").format(fromVariant(self.value), type);
}

}  // namespace

py::object wrapExact(Variant value) { return py::cast(ExactValue{std::move(value)}); }

void addConversions(py::module_& m) {
  const auto locale = py::arg("locale") = py::none();
  py::class_<ExactValue>(m, "Variant",
                         "An automation value with its exact type: Variant(value, \"I2\") converts value to a 16-bit "
                         "integer as the library converts; .vartype is the type code, .value the Python value.")
      .def(py::init([](py::handle value, py::handle type, py::handle loc) {
             return ExactValue{exactValue(value, type, loc)};
           }),
           py::arg("value") = py::none(), py::arg("vartype") = py::none(), locale)
      .def_property_readonly("vartype", [](const ExactValue& self) { return self.value.type(); })
      .def_property_readonly("value", [](const ExactValue& self) { return fromVariant(self.value); })
      .def("__eq__",
           [](const ExactValue& self, py::handle other) -> py::object {
             if (!py::isinstance<ExactValue>(other)) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
             const ExactValue& that = other.cast<const ExactValue&>();
             return py::bool_(self.value.type() == that.value.type() &&
                              fromVariant(self.value).equal(fromVariant(that.value)));
           })
      .def("__repr__", &exactRepr);
  m.def(
      "concat",
      [](py::handle left, py::handle right, py::handle loc) {
        const Variant a = toVariant(left);
        const Variant b = toVariant(right);
        return fromVariant(underLocale(loc, [&] { return tarnwick::concatenate(a, b); }));
      },
      py::arg("left"), py::arg("right"), locale,
      "The & operator: both values as text joined; Null reads as \"\" unless both are Null, which gives Null; "
      "an error value or an array is a type mismatch.");
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
      [](py::handle left, py::handle right, py::handle loc, bool raw) {
        const Variant a = toVariant(left);
        const Variant b = toVariant(right);
        Variant sum = underLocale(loc, [&] { return tarnwick::add(a, b); });
        return raw ? wrapExact(std::move(sum)) : fromVariant(sum);
      },
      py::arg("left"), py::arg("right"), locale, py::arg("raw") = false,
      "Variant addition: texts concatenate, a text and a number add as numbers, Null gives Null; raw=True "
      "answers with a tarnwick.Variant that keeps the sum's type.");
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
  m.def(
      "locale_in_force", [] { return fromText16(describeLocale()); },
      "The locale conversions use and where it comes from: 'fr-FR (system locale data)', 'en-US (built in)', "
      "or 'en-US (fallback: the locale xx_YY.UTF-8 is not installed)'.");
}

}  // namespace tarnwick::python
