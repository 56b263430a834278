#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Decimal.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Operations.h>

#include <cmath>
#include <limits>

namespace tarnwick {

namespace {

// Precision ranks of the numeric types, least precise first. A boolean adds
// as an integer. The decimal ranks above every other: its 29 exact digits
// hold any integer, currency amount or the 15 digits of a double, so a sum
// with a decimal is a decimal (a double or single taken by the digits its
// text shows). A date still wins over it, as over every number: a date plus
// a decimal is a date.
int rankOf(VARTYPE vt) {
  switch (vt) {
    case VT_UI1: return 1;
    case VT_BOOL:
    case VT_I2: return 2;
    case VT_I4: return 3;
    case VT_I8: return 4;
    case VT_R4: return 5;
    case VT_R8: return 6;
    case VT_CY: return 7;
    case VT_DECIMAL: return 8;
    default: raise(errc::TypeMismatch);
  }
}

std::int64_t integerOf(const Variant& v) {
  switch (v.type()) {
    case VT_UI1: return v.bVal;
    case VT_BOOL: return v.boolVal ? -1 : 0;
    case VT_I2: return v.iVal;
    case VT_I4: return v.lVal;
    case VT_I8: return v.llVal;
    default: return 0;
  }
}

// An integer sum in the narrowest type at or above `rank` that holds it:
// byte widens to integer, integer to long, long to double.
Variant integerSum(std::int64_t a, std::int64_t b, int rank) {
  std::int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) return Variant(static_cast<double>(a) + static_cast<double>(b));
  if (rank <= 1 && sum >= 0 && sum <= 255) return Variant(static_cast<std::uint8_t>(sum));
  if (rank <= 2 && sum >= std::numeric_limits<std::int16_t>::min() && sum <= std::numeric_limits<std::int16_t>::max())
    return Variant(static_cast<std::int16_t>(sum));
  if (rank <= 3 && sum >= std::numeric_limits<std::int32_t>::min() && sum <= std::numeric_limits<std::int32_t>::max())
    return Variant(static_cast<std::int32_t>(sum));
  if (rank == 4) return Variant(sum);
  return Variant(static_cast<double>(sum));
}

double finite(double d) {
  if (!std::isfinite(d)) raise(errc::Overflow);
  return d;
}

Variant numericSum(const Variant& a, const Variant& b) {
  const bool isDateSum = a.type() == VT_DATE || b.type() == VT_DATE;
  if (isDateSum) {
    const double serial = finite(toDouble(a) + toDouble(b));
    if (serial < kMinDate || serial > kMaxDate) raise(errc::Overflow);
    return Variant::date(serial);
  }
  const int ra = rankOf(a.type());
  const int rb = rankOf(b.type());
  int rank = ra > rb ? ra : rb;
  // Single with long (or wider integer) gives double.
  if (rank == 5 && (ra == 3 || ra == 4 || rb == 3 || rb == 4)) rank = 6;
  if (rank <= 4) return integerSum(integerOf(a), integerOf(b), rank);
  if (rank == 5) {
    const double sum = static_cast<double>(toDouble(a)) + toDouble(b);
    // A single that overflows widens to double.
    if (std::fabs(sum) > static_cast<double>(std::numeric_limits<float>::max())) return Variant(finite(sum));
    return Variant(static_cast<float>(sum));
  }
  if (rank == 6) return Variant(finite(toDouble(a) + toDouble(b)));
  if (rank == 8) return Variant(decimalAdd(toDecimal(a), toDecimal(b)));
  CY sum;
  if (__builtin_add_overflow(toCurrency(a).int64, toCurrency(b).int64, &sum.int64)) raise(errc::Overflow);
  return Variant(sum);
}

}  // namespace

Variant add(const Variant& left, const Variant& right) {
  // An error value adds to nothing, not even Null or Empty; Null makes any
  // other sum Null before an object is read (Nothing included).
  auto isError = [](const Variant& v) { return v.valueType() == VT_ERROR; };
  if (isError(left) || isError(right)) raise(errc::TypeMismatch);
  if (left.isNull() || right.isNull()) return Variant::null();
  Variant a = plainValue(left);
  Variant b = plainValue(right);
  if (isError(a) || isError(b)) raise(errc::TypeMismatch);
  if (a.isNull() || b.isNull()) return Variant::null();
  if (a.isEmpty() && b.isEmpty()) return Variant(std::int16_t{0});
  if (a.isEmpty()) return b.type() == VT_BOOL ? Variant(static_cast<std::int16_t>(b.boolVal)) : b;
  if (b.isEmpty()) return a.type() == VT_BOOL ? Variant(static_cast<std::int16_t>(a.boolVal)) : a;
  const bool aText = a.type() == VT_BSTR;
  const bool bText = b.type() == VT_BSTR;
  if (aText && bText) {
    std::u16string joined(view(a.bstrVal));
    joined.append(view(b.bstrVal));
    return Variant(joined);
  }
  // A text beside a number is read as a double first.
  if (aText) a = Variant(parseNumber(view(a.bstrVal)));
  if (bText) b = Variant(parseNumber(view(b.bstrVal)));
  return numericSum(a, b);
}

Comparison compare(const Variant& left, const Variant& right) {
  const Variant a = plainValue(left);
  const Variant b = plainValue(right);
  if (a.isNull() || b.isNull()) return Comparison::Null;
  auto order = [](auto x, auto y) {
    return x < y ? Comparison::Less : (y < x ? Comparison::Greater : Comparison::Equal);
  };
  const bool aText = a.type() == VT_BSTR || (a.isEmpty() && b.type() == VT_BSTR);
  const bool bText = b.type() == VT_BSTR || (b.isEmpty() && a.type() == VT_BSTR);
  if (aText && bText) return order(view(a.type() == VT_BSTR ? a.bstrVal : nullptr),
                                   view(b.type() == VT_BSTR ? b.bstrVal : nullptr));
  // A number (or date, or boolean) is less than any text.
  if (aText) return Comparison::Greater;
  if (bText) return Comparison::Less;
  auto isIntegral = [](VARTYPE vt) {
    return vt == VT_EMPTY || vt == VT_UI1 || vt == VT_I2 || vt == VT_I4 || vt == VT_I8 || vt == VT_BOOL;
  };
  if (isIntegral(a.type()) && isIntegral(b.type())) return order(integerOf(a), integerOf(b));
  if (a.type() == VT_CY && b.type() == VT_CY) return order(a.cyVal.int64, b.cyVal.int64);
  // A decimal beside an integer, currency or decimal compares exactly; beside
  // a double, single or date both compare as doubles, which hold either range.
  auto isExact = [&](VARTYPE vt) { return isIntegral(vt) || vt == VT_CY || vt == VT_DECIMAL; };
  if ((a.type() == VT_DECIMAL || b.type() == VT_DECIMAL) && isExact(a.type()) && isExact(b.type()))
    return order(decimalCompare(toDecimal(a), toDecimal(b)), 0);
  return order(toDouble(a), toDouble(b));
}

Variant concatenate(const Variant& left, const Variant& right) {
  const Variant a = plainValue(left);
  const Variant b = plainValue(right);
  if (a.isNull() && b.isNull()) return Variant::null();
  std::u16string joined = a.isNull() ? std::u16string() : toText(a);
  joined += b.isNull() ? std::u16string() : toText(b);
  return Variant(joined);
}

}  // namespace tarnwick
