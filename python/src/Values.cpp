#include "Bridge.h"

#include <tarnwick/automation/DateTime.h>
#include <tarnwick/automation/Decimal.h>
#include <tarnwick/automation/SafeArray.h>

#include <datetime.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace tarnwick::python {

namespace {

// Nested lists are converted recursively; a list that contains itself
// must fail with an error instead of exhausting the stack.
constexpr int kMaxNesting = 64;
thread_local int nesting = 0;

class NestingGuard {
 public:
  NestingGuard() {
    if (++nesting > kMaxNesting) {
      --nesting;
      raise(errc::OutOfStackSpace);
    }
  }
  ~NestingGuard() { --nesting; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
};

// Reads a SAFEARRAY that someone else owns through the owning wrapper.
class ArrayView {
 public:
  explicit ArrayView(SAFEARRAY* array) noexcept : array_(array) {}
  ~ArrayView() { array_.release(); }
  ArrayView(const ArrayView&) = delete;
  ArrayView& operator=(const ArrayView&) = delete;
  const SafeArray& operator*() const noexcept { return array_; }

 private:
  SafeArray array_;
};

py::object listOf(py::list items, std::int32_t lowerBound) {
  if (lowerBound == 0) return items;
  return state().arrayType(items, lowerBound);
}

py::object arrayLevel(const SafeArray& array, std::vector<std::int32_t>& indices, std::uint32_t dim) {
  const std::int32_t lower = array.lowerBound(dim);
  const std::int32_t upper = array.upperBound(dim);
  py::list items;
  for (std::int64_t i = lower; i <= upper; ++i) {
    indices[dim - 1] = static_cast<std::int32_t>(i);
    if (dim == indices.size()) {
      const Variant element = array.get(indices.data(), indices.size());
      items.append(fromVariant(element));
    } else {
      items.append(arrayLevel(array, indices, dim + 1));
    }
  }
  return listOf(std::move(items), lower);
}

py::object arrayToPython(SAFEARRAY* raw) {
  if (!raw) return py::list();
  ArrayView view(raw);
  const std::uint32_t dims = (*view).dims();
  if (dims == 0) return py::list();
  std::vector<std::int32_t> indices(dims, 0);
  return arrayLevel(*view, indices, 1);
}

Variant sequenceToArray(py::handle sequence, std::int32_t lowerBound) {
  NestingGuard guard;
  const py::sequence items = py::reinterpret_borrow<py::sequence>(sequence);
  const std::size_t count = items.size();
  if (count > std::numeric_limits<std::int32_t>::max() ||
      static_cast<std::int64_t>(lowerBound) + static_cast<std::int64_t>(count) - 1 > std::numeric_limits<std::int32_t>::max())
    raise(errc::Overflow);
  SafeArray array(VT_VARIANT, lowerBound, static_cast<std::uint32_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    const std::int32_t index = lowerBound + static_cast<std::int32_t>(i);
    array.put({index}, toVariant(items[i]));
  }
  return std::move(array).toVariant();
}

Variant fromInteger(py::handle value) {
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow != 0) raise(errc::Overflow);
  if (n == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (n >= std::numeric_limits<std::int32_t>::min() && n <= std::numeric_limits<std::int32_t>::max())
    return Variant(static_cast<std::int32_t>(n));
  return Variant(static_cast<std::int64_t>(n));
}

// Currency keeps four decimals; a Decimal is rounded to them half to even,
// as the platform rounds any number it stores as currency.
Variant fromDecimal(py::handle value) {
  try {
    py::object scaled = value.attr("scaleb")(4).attr("to_integral_value")(py::arg("rounding") = "ROUND_HALF_EVEN");
    const py::int_ whole(scaled);
    int overflow = 0;
    const long long n = PyLong_AsLongLongAndOverflow(whole.ptr(), &overflow);
    if (overflow != 0) raise(errc::Overflow);
    return Variant(CY{n});
  } catch (py::error_already_set&) {
    // NaN, infinities and values beyond the context's precision.
    raise(errc::Overflow);
  }
}

// Every digit and the scale: Decimal("1.50") reads back as Decimal("1.50").
py::object decimalToPython(const DECIMAL& value) {
  if (value.scale > kDecimalMaxScale || (value.sign != 0 && value.sign != DECIMAL_NEG))
    raise(errc::InvalidProcedureCall);
  const std::u16string whole = decimalToText(DECIMAL{0, 0, 0, value.Hi32, value.Lo64}, Locale::enUS());
  const py::tuple parts = state().decimalType(fromText16(whole)).attr("as_tuple")();
  const py::object digits = parts[1];
  const bool negative = value.sign == DECIMAL_NEG && whole != u"0";
  return state().decimalType(py::make_tuple(negative ? 1 : 0, digits, -static_cast<int>(value.scale)));
}

int intAttr(py::handle object, const char* name) { return object.attr(name).cast<int>(); }

// A datetime that carries a time zone is taken by its wall-clock fields, as
// the platform's dates know no zone.
Variant fromDate(py::handle value, bool withTime) {
  const auto day = makeDate(intAttr(value, "year"), intAttr(value, "month"), intAttr(value, "day"));
  if (!day) raise(errc::Overflow);  // before 1 January 100
  if (!withTime) return Variant::date(*day);
  const auto time = makeTime(intAttr(value, "hour"), intAttr(value, "minute"), intAttr(value, "second"));
  const double fraction = (time ? *time : 0.0) + intAttr(value, "microsecond") / 86400e6;
  // Before the base date the time still counts forward from midnight.
  return Variant::date(*day >= 0 ? *day + fraction : *day - fraction);
}

py::object dateToPython(DATE serial) {
  const DateParts p = splitDate(serial);
  // Made through the datetime module's C interface, not by calling the type.
  if (!PyDateTimeAPI) PyDateTime_IMPORT;
  if (!PyDateTimeAPI) throw py::error_already_set();
  PyObject* made = PyDateTime_FromDateAndTime(p.year, p.month, p.day, p.hour, p.minute, p.second, 0);
  if (!made) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(made);
}

py::object currencyToPython(CY value) {
  return state().decimalType(py::int_(static_cast<long long>(value.int64))).attr("scaleb")(-4);
}

py::object objectToPython(IUnknown* unknown) {
  if (!unknown) return state().nothing;
  ComPtr<IDispatch> dispatch;
  if (failed(unknown->QueryInterface(IID_IDispatch, dispatch.putVoid())) || !dispatch)
    raise(errc::NoAutomationSupport);
  if (py::handle original = unwrapPython(dispatch.get())) return py::reinterpret_borrow<py::object>(original);
  return wrapObject(std::move(dispatch));
}

}  // namespace

DECIMAL decimalFromPython(py::handle value) {
  if (!value.attr("is_finite")().cast<bool>()) raise(errc::Overflow);
  // Python writes a decimal with "." and perhaps an exponent, whatever the locale.
  return parseDecimal(toText16(py::str(value)), Locale::enUS());
}

std::u16string toText16(py::handle text) {
  PyObject* s = text.ptr();
  const Py_ssize_t length = PyUnicode_GET_LENGTH(s);
  const void* data = PyUnicode_DATA(s);
  std::u16string out;
  switch (PyUnicode_KIND(s)) {
    case PyUnicode_1BYTE_KIND: {
      const auto* chars = static_cast<const Py_UCS1*>(data);
      out.assign(chars, chars + length);
      break;
    }
    case PyUnicode_2BYTE_KIND: {
      // Code points below 0x10000 are UTF-16 units as they stand, lone surrogates included.
      const auto* chars = static_cast<const Py_UCS2*>(data);
      out.assign(chars, chars + length);
      break;
    }
    default: {
      const auto* chars = static_cast<const Py_UCS4*>(data);
      out.reserve(static_cast<std::size_t>(length) + 8);
      for (Py_ssize_t i = 0; i < length; ++i) {
        const Py_UCS4 c = chars[i];
        if (c >= 0x10000) {
          out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
          out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
          out.push_back(static_cast<char16_t>(c));
        }
      }
    }
  }
  return out;
}

namespace {

// A Python text as a string Variant. Texts of one or two bytes a
// character are widened straight into the string's own buffer: every
// text argument of every call comes this way.
Variant textVariant(PyObject* s) {
  const Py_ssize_t length = PyUnicode_GET_LENGTH(s);
  const int kind = PyUnicode_KIND(s);
  if (kind == PyUnicode_4BYTE_KIND || length > std::numeric_limits<std::int32_t>::max())
    return Variant(toText16(py::handle(s)));
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(nullptr, static_cast<std::uint32_t>(length));
  if (!v.bstrVal) raise(errc::OutOfMemory);
  if (kind == PyUnicode_1BYTE_KIND)
    std::copy_n(PyUnicode_1BYTE_DATA(s), length, v.bstrVal);
  else
    std::copy_n(PyUnicode_2BYTE_DATA(s), length, v.bstrVal);
  return Variant::attach(v);
}

}  // namespace

py::str fromText16(std::u16string_view text) {
  if (text.empty()) return py::str("");
  int order = -1;  // little-endian, as char16_t is in memory on this platform
  PyObject* s = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(text.data()),
                                      static_cast<Py_ssize_t>(text.size() * sizeof(char16_t)), "surrogatepass", &order);
  if (!s) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

Variant toVariant(py::handle value) {
  PyObject* p = value.ptr();
  const ModuleState& s = state();
  if (p == Py_None) return Variant();
  if (PyBool_Check(p)) return Variant(p == Py_True);
  if (PyLong_Check(p)) return fromInteger(value);
  if (PyFloat_Check(p)) return Variant(PyFloat_AS_DOUBLE(p));
  if (PyUnicode_Check(p)) return textVariant(p);
  if (p == s.null.ptr()) return Variant::null();
  if (p == s.nothing.ptr()) return Variant(static_cast<IDispatch*>(nullptr));
  if (p == s.missing.ptr()) return Variant::missing();
  if (py::isinstance<ObjectHandle>(value)) return Variant(value.cast<ObjectHandle&>().pointer().get());
  if (py::isinstance<ExactValue>(value)) return value.cast<ExactValue&>().value;
  if (PyList_Check(p) || PyTuple_Check(p)) {
    const std::int32_t lower = py::isinstance(value, s.arrayType) ? value.attr("lbound").cast<std::int32_t>() : 0;
    return sequenceToArray(value, lower);
  }
  if (py::isinstance(value, s.decimalType)) return fromDecimal(value);
  if (py::isinstance(value, s.datetimeType)) return fromDate(value, true);
  if (py::isinstance(value, s.dateType)) return fromDate(value, false);
  if (py::isinstance(value, s.errorValueType)) return Variant::error(value.attr("code").cast<std::int32_t>());
  if (py::isinstance(value, s.refType)) {
    NestingGuard guard;
    return toVariant(value.attr("value"));
  }
  return Variant(wrapPython(value).get());
}

py::object fromVariant(const VARIANT& value) {
  if (value.vt & VT_BYREF) {
    Variant plain;
    check(VariantCopyInd(&plain, &value));
    if (plain.vt & VT_BYREF) raise(errc::TypeMismatch);
    return fromVariant(plain);
  }
  if (value.vt & VT_ARRAY) return arrayToPython(value.parray);
  switch (value.vt) {
    case VT_EMPTY: return py::none();
    case VT_NULL: return state().null;
    case VT_I2: return py::int_(value.iVal);
    case VT_I4: return py::int_(value.lVal);
    case VT_I8: return py::int_(static_cast<long long>(value.llVal));
    case VT_UI1: return py::int_(value.bVal);
    case VT_R4: return py::float_(static_cast<double>(value.fltVal));
    case VT_R8: return py::float_(value.dblVal);
    case VT_CY: return currencyToPython(value.cyVal);
    case VT_DECIMAL: return decimalToPython(decimalOf(value));
    case VT_DATE: return dateToPython(value.date);
    case VT_BSTR: return fromText16(view(value.bstrVal));
    case VT_BOOL: return py::bool_(value.boolVal != VARIANT_FALSE);
    case VT_ERROR:
      if (value.scode == DISP_E_PARAMNOTFOUND_SCODE) return state().missing;
      return state().errorValueType(value.scode);
    case VT_DISPATCH: return objectToPython(value.pdispVal);
    case VT_UNKNOWN: return objectToPython(value.punkVal);
    default: raise(errc::TypeMismatch);
  }
}

}  // namespace tarnwick::python
