#include <tarnwick/automation/Call.h>

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/VarType.h>

#include <cstring>

namespace tarnwick {


VARIANT& Call::slot(std::size_t i) {
  // Arguments arrive reversed: the caller's first is the last in the list.
  const std::size_t position = valueOffset_ + (count_ - 1 - i);
  lastPosition_ = static_cast<std::uint32_t>(position);
  return params_.rgvarg[position];
}

bool Call::has(std::size_t i) const noexcept {
  if (i >= count_) return false;
  const auto& v = static_cast<const Variant&>(params_.rgvarg[valueOffset_ + (count_ - 1 - i)]);
  return !v.isMissing();
}

Variant& Call::arg(std::size_t i) {
  if (i >= count_) raise(errc::ArgumentNotOptional);
  // Variant adds nothing to VARIANT's layout, so the caller's VARIANT can be
  // used through it without a copy.
  return static_cast<Variant&>(slot(i));
}

void Call::wrongCount() { raise(errc::WrongArgumentCount); }

namespace {
Variant& present(Call& call, std::size_t i) {
  Variant& v = call.arg(i);
  if (v.isMissing()) raise(errc::ArgumentNotOptional);
  return v;
}
}  // namespace

std::u16string Call::text(std::size_t i) { return toText(present(*this, i)); }
std::optional<std::u16string> Call::nullableText(std::size_t i) {
  if (!has(i)) return std::nullopt;
  const VARIANT& t = arg(i).target();
  if (t.vt == VT_BSTR && !t.bstrVal) return std::nullopt;
  if (t.vt == (VT_BYREF | VT_BSTR) && (!t.pbstrVal || !*t.pbstrVal)) return std::nullopt;
  return toText(arg(i));
}

std::int16_t Call::int16(std::size_t i) { return toInt16(present(*this, i)); }
std::int32_t Call::int32(std::size_t i) { return toInt32(present(*this, i)); }
double Call::number(std::size_t i) { return toDouble(present(*this, i)); }
bool Call::flag(std::size_t i) { return toBool(present(*this, i)); }

IDispatch* Call::object(std::size_t i) {
  const Variant& v = present(*this, i);
  const VARTYPE type = v.valueType();
  if (type != VT_DISPATCH && type != VT_UNKNOWN) raise(errc::ObjectRequired);
  IDispatch* object = v.dispatch();
  if (!object) {
    if (type == VT_UNKNOWN && v.object()) raise(errc::ObjectRequired);
    raise(errc::ObjectNotSet);
  }
  return object;
}


void Call::setResult(Variant&& v) {
  if (!result_) return;
  Variant::attach(*result_);  // frees what the result held before
  *result_ = v.detach();
}

void Call::setResult(const Variant& v) {
  if (!result_) return;
  // A number, date, yes/no or Null into an Empty result (how callers pass
  // theirs) is copied as it stands; strings, objects, arrays and references
  // take VariantCopy's way.
  const VARTYPE vt = v.vt;
  if (result_->vt == VT_EMPTY && vt != VT_BSTR && vt != VT_DISPATCH && vt != VT_UNKNOWN && isKnownScalarType(vt)) {
    std::memcpy(static_cast<void*>(result_), static_cast<const VARIANT*>(&v), sizeof(VARIANT));
    return;
  }
  check(VariantCopy(result_, &v));
}

}  // namespace tarnwick
