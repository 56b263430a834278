#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Decimal.h>
#include <tarnwick/automation/Error.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

namespace tarnwick {

namespace {

// An object reads as the value of its default member (dispatch id 0).
Variant defaultMemberValue(IDispatch* object) {
  if (!object) raise(errc::ObjectNotSet);
  DISPPARAMS none;
  Variant result;
  EXCEPINFO info;
  const HRESULT hr = object->Invoke(DISPID_VALUE, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, &info, nullptr);
  if (failed(hr)) {
    std::u16string description(view(info.bstrDescription));
    std::u16string source(view(info.bstrSource));
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrHelpFile);
    if (hr == DISP_E_EXCEPTION && !description.empty())
      raise(Error(errorNumberFromResult(info.scode), std::move(description), std::move(source)));
    if (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_EXCEPTION) raise(errc::MemberNotSupported);
    raise(errorNumberFromResult(hr));
  }
  return result;
}

}  // namespace

Variant plainValue(const Variant& value) {
  Variant plain = value.value();
  for (int depth = 0; plain.type() == VT_DISPATCH; ++depth) {
    if (depth >= 8) raise(errc::TypeMismatch);
    plain = defaultMemberValue(plain.pdispVal);
  }
  if (plain.type() == VT_UNKNOWN) raise(errc::TypeMismatch);
  return plain;
}

namespace {

// Runs `f` on the plain value: on the caller's own VARIANT where it holds a
// plain value already (the common case, without a copy), else on a copy
// with references followed and objects read through their default member.
template <typename F>
decltype(auto) withPlain(const Variant& value, F&& f) {
  // A plain value (the usual case) is its own target.
  const VARIANT& t = (value.vt & VT_BYREF) ? value.target() : value;
  if (!(t.vt & VT_BYREF) && t.vt != VT_DISPATCH && t.vt != VT_UNKNOWN) return f(static_cast<const Variant&>(t));
  const Variant plain = plainValue(value);
  return f(plain);
}

std::u16string integerText(std::int64_t v) {
  const std::string digits = std::to_string(v);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string_view boolText(bool v) noexcept { return v ? u"True" : u"False"; }

// A decimal rounded half to even to a whole number of type T; Error 6 outside T.
template <typename T>
T decimalToInteger(const VARIANT& plain) {
  const std::int64_t whole = decimalToInt64(decimalOf(plain));
  if (whole < std::numeric_limits<T>::min() || whole > std::numeric_limits<T>::max()) raise(errc::Overflow);
  return static_cast<T>(whole);
}

}  // namespace

bool isNumeric(const Variant& value) noexcept {
  try {
    const Variant plain = plainValue(value);
    switch (plain.type()) {
      case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL:
      case VT_BOOL:
        return true;
      case VT_BSTR: return isNumericText(view(plain.bstrVal));
      // A date's text is no number, and Empty reads as the empty text.
      default: return false;
    }
  } catch (...) {
    return false;
  }
}

bool isDate(const Variant& value) noexcept {
  try {
    const Variant plain = plainValue(value);
    if (plain.type() == VT_DATE) return plain.VARIANT::date >= kMinDate && plain.VARIANT::date <= kMaxDate;
    if (plain.type() == VT_BSTR) return isDateText(view(plain.bstrVal));
    return false;
  } catch (...) {
    return false;
  }
}

double toDouble(const Variant& value) {
  return withPlain(value, [](const Variant& plain) -> double {
    switch (plain.type()) {
      case VT_EMPTY: return 0.0;
      case VT_NULL: raise(errc::InvalidUseOfNull);
      case VT_I2: return plain.iVal;
      case VT_I4: return plain.lVal;
      case VT_I8: return static_cast<double>(plain.llVal);
      case VT_UI1: return plain.bVal;
      case VT_R4: return plain.fltVal;
      case VT_R8: return plain.dblVal;
      case VT_CY: return currencyToDouble(plain.cyVal);
      case VT_DECIMAL: return decimalToDouble(plain.decimalValue());
      case VT_DATE: return plain.VARIANT::date;
      case VT_BOOL: return plain.boolVal ? -1.0 : 0.0;
      case VT_BSTR: return parseNumber(view(plain.bstrVal));
      default: raise(errc::TypeMismatch);
    }
  });
}

std::int16_t toInt16(const Variant& value) {
  return withPlain(value, [](const Variant& plain) -> std::int16_t {
    if (plain.type() == VT_I2) return plain.iVal;
    if (plain.type() == VT_BOOL) return plain.boolVal ? -1 : 0;
    if (plain.type() == VT_DECIMAL) return decimalToInteger<std::int16_t>(plain);
    return roundToInt16(toDouble(plain));
  });
}

std::int32_t toInt32(const Variant& value) {
  return withPlain(value, [](const Variant& plain) -> std::int32_t {
    switch (plain.type()) {
      case VT_I2: return plain.iVal;
      case VT_I4: return plain.lVal;
      case VT_UI1: return plain.bVal;
      case VT_BOOL: return plain.boolVal ? -1 : 0;
      case VT_DECIMAL: return decimalToInteger<std::int32_t>(plain);
      default: return roundToInt32(toDouble(plain));
    }
  });
}

bool toBool(const Variant& value) {
  return withPlain(value, [](const Variant& plain) -> bool {
    switch (plain.type()) {
      case VT_BOOL: return plain.boolVal != 0;
      case VT_BSTR: {
        const std::u16string_view text = view(plain.bstrVal);
        if (equalsIgnoreCase(text, u"True") || equalsIgnoreCase(text, u"#TRUE#")) return true;
        if (equalsIgnoreCase(text, u"False") || equalsIgnoreCase(text, u"#FALSE#")) return false;
        return parseNumber(text) != 0.0;
      }
      case VT_CY: return plain.cyVal.int64 != 0;
      case VT_I8: return plain.llVal != 0;
      case VT_DECIMAL: return decimalCompare(plain.decimalValue(), decimalFromInt64(0)) != 0;
      default: return toDouble(plain) != 0.0;
    }
  });
}

DATE toDate(const Variant& value) {
  return withPlain(value, [](const Variant& plain) -> DATE {
    double serial;
    switch (plain.type()) {
      case VT_BSTR: return parseDate(view(plain.bstrVal));
      case VT_DATE: serial = plain.VARIANT::date; break;
      default: serial = toDouble(plain); break;
    }
    if (!(serial >= kMinDate && serial <= kMaxDate)) raise(errc::Overflow);
    return serial;
  });
}

CY toCurrency(const Variant& value) {
  return withPlain(value, [](const Variant& plain) -> CY {
    switch (plain.type()) {
      case VT_CY: return plain.cyVal;
      case VT_I2: return CY{std::int64_t{plain.iVal} * 10000};
      case VT_I4: return CY{std::int64_t{plain.lVal} * 10000};
      case VT_UI1: return CY{std::int64_t{plain.bVal} * 10000};
      case VT_BOOL: return CY{plain.boolVal ? -10000 : 0};
      case VT_DECIMAL: return decimalToCurrency(plain.decimalValue());
      default: return doubleToCurrency(toDouble(plain));
    }
  });
}

DECIMAL toDecimal(const Variant& value) {
  return withPlain(value, [](const Variant& plain) -> DECIMAL {
    switch (plain.type()) {
      case VT_EMPTY: return decimalFromInt64(0);
      case VT_NULL: raise(errc::InvalidUseOfNull);
      case VT_DECIMAL: return plain.decimalValue();
      case VT_I2: return decimalFromInt64(plain.iVal);
      case VT_I4: return decimalFromInt64(plain.lVal);
      case VT_I8: return decimalFromInt64(plain.llVal);
      case VT_UI1: return decimalFromInt64(plain.bVal);
      case VT_BOOL: return decimalFromInt64(plain.boolVal ? -1 : 0);
      case VT_CY: return decimalFromCurrency(plain.cyVal);
      case VT_R4: return decimalFromSingle(plain.fltVal);
      case VT_R8: return decimalFromDouble(plain.dblVal);
      case VT_DATE: return decimalFromDouble(plain.VARIANT::date);
      case VT_BSTR: return parseDecimal(view(plain.bstrVal));
      default: raise(errc::TypeMismatch);
    }
  });
}

std::u16string toText(const Variant& value) {
  return withPlain(value, [](const Variant& plain) -> std::u16string {
    switch (plain.type()) {
      case VT_EMPTY: return {};
      case VT_NULL: raise(errc::InvalidUseOfNull);
      case VT_I2: return integerText(plain.iVal);
      case VT_I4: return integerText(plain.lVal);
      case VT_I8: return integerText(plain.llVal);
      case VT_UI1: return integerText(plain.bVal);
      case VT_R4: return singleToText(plain.fltVal);
      case VT_R8: return doubleToText(plain.dblVal);
      case VT_CY: return currencyToText(plain.cyVal);
      case VT_DECIMAL: return decimalToText(plain.decimalValue());
      case VT_DATE: return dateToText(plain.VARIANT::date);
      case VT_BOOL: return std::u16string(boolText(plain.boolVal != 0));
      case VT_BSTR: return std::u16string(view(plain.bstrVal));
      default: raise(errc::TypeMismatch);
    }
  });
}

std::u16string numberToText(const Variant& number) {
  return withPlain(number, [](const Variant& plain) -> std::u16string {
    if (plain.type() == VT_DECIMAL) return decimalToNumberText(plain.decimalValue());
    return numberToText(toDouble(plain));
  });
}

namespace {

constexpr std::int64_t kWholeDigitsLimit = 1'000'000'000'000'000;

void appendWhole(std::u16string& out, std::int64_t v, bool blankBeforePositive) {
  // Written backwards into a buffer and appended once.
  char16_t text[24];
  char16_t* const end = text + std::size(text);
  char16_t* p = end;
  std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  // Two digits at a time.
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  while (magnitude >= 10) {
    const auto pair = static_cast<std::size_t>(magnitude % 100) * 2;
    magnitude /= 100;
    *--p = static_cast<char16_t>(kPairs[pair + 1]);
    *--p = static_cast<char16_t>(kPairs[pair]);
  }
  if (magnitude != 0 || p == end) *--p = static_cast<char16_t>(u'0' + magnitude);
  if (v < 0) *--p = u'-';
  else if (blankBeforePositive) *--p = u' ';
  out.append(p, static_cast<std::size_t>(end - p));
}

}  // namespace

void appendText(std::u16string& out, const Variant& value) {
  withPlain(value, [&](const Variant& plain) {
    switch (plain.type()) {
      case VT_I2: return appendWhole(out, plain.iVal, false);
      case VT_I4: return appendWhole(out, plain.lVal, false);
      case VT_I8: return appendWhole(out, plain.llVal, false);
      case VT_UI1: return appendWhole(out, plain.bVal, false);
      case VT_R8: return appendDoubleText(out, plain.dblVal);
      case VT_DATE: return appendDateText(out, plain.VARIANT::date);
      case VT_BSTR: out += view(plain.bstrVal); return;
      case VT_BOOL: out += boolText(plain.boolVal != 0); return;
      default: out += toText(plain);
    }
  });
}

void appendNumberText(std::u16string& out, const Variant& value) {
  withPlain(value, [&](const Variant& plain) {
    switch (plain.type()) {
      case VT_I2: return appendWhole(out, plain.iVal, true);
      case VT_I4: return appendWhole(out, plain.lVal, true);
      case VT_UI1: return appendWhole(out, plain.bVal, true);
      case VT_BOOL: return appendWhole(out, plain.boolVal ? -1 : 0, true);
      case VT_I8:
        // Beyond 15 digits the rule writes the exponent form.
        if (plain.llVal > -kWholeDigitsLimit && plain.llVal < kWholeDigitsLimit) return appendWhole(out, plain.llVal, true);
        out += numberToText(plain);
        return;
      case VT_R8: return appendNumberRuleText(out, plain.dblVal);
      default: out += numberToText(plain);
    }
  });
}

Variant changeType(const Variant& value, VARTYPE vt) {
  if (vt == VT_VARIANT) return value.value();
  if (vt & VT_ARRAY) {
    Variant plain = value.value();
    if (plain.type() != vt) raise(errc::TypeMismatch);
    return plain;
  }
  if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
    const Variant plain = value.value();
    if (plain.type() == vt) return plain;
    if (plain.type() == VT_EMPTY) return vt == VT_DISPATCH ? Variant(static_cast<IDispatch*>(nullptr))
                                                          : Variant(static_cast<IUnknown*>(nullptr));
    if (!plain.isObject()) raise(errc::TypeMismatch);
    IUnknown* object = plain.punkVal;
    if (!object) return vt == VT_DISPATCH ? Variant(static_cast<IDispatch*>(nullptr))
                                          : Variant(static_cast<IUnknown*>(nullptr));
    void* asked = nullptr;
    if (failed(object->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &asked)) || !asked)
      raise(errc::TypeMismatch);
    Variant result;
    result.vt = vt;
    result.punkVal = static_cast<IUnknown*>(asked);  // the reference QueryInterface took
    return result;
  }
  const Variant plain = plainValue(value);
  if (plain.type() == vt) return plain;
  switch (vt) {
    case VT_EMPTY: return Variant();
    case VT_NULL:
      if (plain.type() == VT_EMPTY) return Variant::null();
      raise(errc::TypeMismatch);
    case VT_I2: return Variant(toInt16(plain));
    case VT_I4: return Variant(toInt32(plain));
    case VT_I8:
      if (plain.type() == VT_CY) return Variant(roundToInt64(currencyToDouble(plain.cyVal)));
      if (plain.type() == VT_DECIMAL) return Variant(decimalToInt64(plain.decimalValue()));
      return Variant(roundToInt64(toDouble(plain)));
    case VT_UI1:
      if (plain.type() == VT_DECIMAL) return Variant(decimalToInteger<std::uint8_t>(plain));
      return Variant(roundToByte(toDouble(plain)));
    case VT_R4: {
      const double d = toDouble(plain);
      if (std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max())) raise(errc::Overflow);
      return Variant(static_cast<float>(d));
    }
    case VT_R8: return Variant(toDouble(plain));
    case VT_CY: return Variant(toCurrency(plain));
    case VT_DECIMAL: return Variant(toDecimal(plain));
    case VT_DATE: return Variant::date(toDate(plain));
    case VT_BOOL: return Variant(toBool(plain));
    case VT_BSTR: return Variant(toText(plain));
    case VT_ERROR:
    default: raise(errc::TypeMismatch);
  }
}

std::u16string format(const Variant& value, std::u16string_view pattern) {
  const Variant plain = plainValue(value);
  switch (plain.type()) {
    case VT_EMPTY:
    case VT_NULL: return {};
    case VT_DATE: return formatDate(plain.VARIANT::date, pattern);
    case VT_BSTR: {
      const std::u16string_view text = view(plain.bstrVal);
      if (auto serial = tryParseDate(text)) return formatDate(*serial, pattern);
      if (isNumericText(text)) return formatDate(parseNumber(text), pattern);
      return std::u16string(text);
    }
    default: return formatDate(toDouble(plain), pattern);
  }
}

}  // namespace tarnwick
