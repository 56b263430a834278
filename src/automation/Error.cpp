#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/String.h>

#include <new>
#include <unordered_map>

namespace tarnwick {

namespace {

const std::unordered_map<std::int32_t, std::u16string_view>& descriptions() {
  static const std::unordered_map<std::int32_t, std::u16string_view> table{
      {3, u"Return without GoSub"},
      {5, u"Invalid procedure call or argument"},
      {6, u"Overflow"},
      {7, u"Out of memory"},
      {9, u"Subscript out of range"},
      {10, u"This array is fixed or temporarily locked"},
      {11, u"Division by zero"},
      {13, u"Type mismatch"},
      {14, u"Out of string space"},
      {28, u"Out of stack space"},
      {52, u"Bad file name or number"},
      {53, u"File not found"},
      {54, u"Bad file mode"},
      {55, u"File already open"},
      {57, u"Device I/O error"},
      {58, u"File already exists"},
      {61, u"Disk full"},
      {62, u"Input past end of file"},
      {67, u"Too many files"},
      {68, u"Device unavailable"},
      {70, u"Permission denied"},
      {71, u"Disk not ready"},
      {75, u"Path/File access error"},
      {76, u"Path not found"},
      {91, u"Object variable or With block variable not set"},
      {94, u"Invalid use of Null"},
      {340, u"Control array element '|' doesn't exist"},
      {343, u"Object not an array"},
      {380, u"Invalid property value"},
      {381, u"Invalid property array index"},
      {423, u"Property or method not found"},
      {424, u"Object required"},
      {429, u"Can't create object"},
      {430, u"Class does not support Automation or does not support expected interface"},
      {438, u"Object doesn't support this property or method"},
      {440, u"Automation error"},
      {445, u"Object doesn't support this action"},
      {446, u"Object doesn't support named arguments"},
      {448, u"Named argument not found"},
      {449, u"Argument not optional"},
      {450, u"Wrong number of arguments or invalid property assignment"},
      {3001, u"Invalid argument."},
      {3020, u"Update or CancelUpdate without AddNew or Edit."},
      {3021, u"No current record."},
      {3022,
       u"The changes you requested to the table were not successful because they would create duplicate "
       u"values in the index, primary key, or relationship. Change the data in the field or fields that "
       u"contain duplicate data, remove the index, or redefine the index to permit duplicate entries and "
       u"try again."},
      {3024, u"Could not find file '|'."},
      {3027, u"Cannot update. Database or object is read-only."},
      {3034, u"You tried to commit or rollback a transaction without first beginning a transaction."},
      {3051,
       u"The database engine cannot open the file '|'. It is already opened exclusively by another user, "
       u"or you need permission to view its data."},
      {3061, u"Too few parameters. Expected |."},
      {3075, u"Syntax error (missing operator) in query expression '|'."},
      {3078,
       u"The database engine cannot find the input table or query '|'. Make sure it exists and that its "
       u"name is spelled correctly."},
      {3131, u"Syntax error in FROM clause."},
      {3163,
       u"The field is too small to accept the amount of data you attempted to add. Try inserting or "
       u"pasting less data."},
      {3201, u"You cannot add or change a record because a related record is required in table '|'."},
      {3218, u"Could not update; currently locked."},
      {3251, u"Operation is not supported for this type of object."},
      {3265, u"Item not found in this collection."},
      {3314,
       u"The field '|' cannot contain a Null value because the Required property for this field is set to "
       u"True. Enter a value in this field."},
      {3315, u"Field '|' cannot be a zero-length string."},
      {3343, u"Unrecognized database format '|'."},
      {3421, u"Data type conversion error."},
      {3464, u"Data type mismatch in criteria expression."},
  };
  return table;
}

// Dispatch codes that callers test for, with the runtime numbers they stand for.
struct CodePair {
  HRESULT code;
  std::int32_t number;
};
constexpr CodePair kCodePairs[] = {
    {DISP_E_TYPEMISMATCH, errc::TypeMismatch},
    {DISP_E_OVERFLOW, errc::Overflow},
    {DISP_E_DIVBYZERO, errc::DivisionByZero},
    {DISP_E_BADINDEX, errc::SubscriptOutOfRange},
    {DISP_E_ARRAYISLOCKED, errc::ArrayLocked},
    {DISP_E_BADPARAMCOUNT, errc::WrongArgumentCount},
    {DISP_E_PARAMNOTOPTIONAL, errc::ArgumentNotOptional},
    {DISP_E_PARAMNOTFOUND, errc::NamedArgumentNotFound},
    {DISP_E_NONAMEDARGS, errc::NamedArgumentsNotSupported},
    {DISP_E_MEMBERNOTFOUND, errc::MemberNotSupported},
    {DISP_E_UNKNOWNNAME, errc::MemberNotSupported},
    {E_OUTOFMEMORY, errc::OutOfMemory},
    {E_INVALIDARG, errc::InvalidProcedureCall},
    {E_NOINTERFACE, errc::NoAutomationSupport},
    {E_POINTER, errc::ObjectNotSet},
    {REGDB_E_CLASSNOTREG, errc::CantCreateObject},
    {E_NOTIMPL, errc::ActionNotSupported},
};

std::string narrowWhat(std::int32_t number, std::u16string_view description) {
  return std::to_string(number) + ": " + toUtf8(description);
}

}  // namespace

std::u16string standardDescription(std::int32_t number) {
  const auto& table = descriptions();
  if (auto it = table.find(number); it != table.end()) return std::u16string(it->second);
  return u"Application-defined or object-defined error";
}

std::u16string describe(std::int32_t number, std::u16string_view detail) {
  std::u16string text = standardDescription(number);
  if (auto bar = text.find(u'|'); bar != std::u16string::npos) text.replace(bar, 1, detail);
  return text;
}

Error::Error(std::int32_t number) : Error(number, describe(number, u"")) {}

Error::Error(std::int32_t number, std::u16string description, std::u16string source)
    : number_(number),
      description_(std::move(description)),
      source_(std::move(source)),
      what_(narrowWhat(number_, description_)) {}

HRESULT Error::result() const noexcept { return resultFromErrorNumber(number_); }

std::int32_t errorNumberFromResult(HRESULT hr) noexcept {
  const auto bits = static_cast<std::uint32_t>(hr);
  if ((bits & 0xFFFF0000u) == kRuntimeFacilityBits) return static_cast<std::int32_t>(bits & 0xFFFFu);
  for (const auto& pair : kCodePairs)
    if (pair.code == hr) return pair.number;
  return errc::AutomationError;
}

HRESULT resultFromErrorNumber(std::int32_t number) noexcept {
  // Only the numbers whose dispatch code is unambiguous map back to it.
  switch (number) {
    case errc::TypeMismatch: return DISP_E_TYPEMISMATCH;
    case errc::Overflow: return DISP_E_OVERFLOW;
    case errc::DivisionByZero: return DISP_E_DIVBYZERO;
    case errc::WrongArgumentCount: return DISP_E_BADPARAMCOUNT;
    case errc::ArgumentNotOptional: return DISP_E_PARAMNOTOPTIONAL;
    case errc::OutOfMemory: return E_OUTOFMEMORY;
    default: break;
  }
  if (number > 0 && number <= 0xFFFF) return makeResult(kRuntimeFacilityBits | static_cast<std::uint32_t>(number));
  return E_FAIL;
}

void check(HRESULT hr) {
  if (succeeded(hr)) return;
  throw Error(errorNumberFromResult(hr));
}

namespace impl {
HRESULT currentExceptionToResult() noexcept {
  try {
    throw;
  } catch (const Error& e) {
    return e.result();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}
}  // namespace impl

}  // namespace tarnwick
