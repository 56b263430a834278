// The texts of every error number the library knows, in one table. A `|`
// marks where the text names a field, file, index or expression.
#include <tarnwick/automation/Error.h>

#include <algorithm>
#include <array>

namespace tarnwick {

namespace {

struct Entry {
  std::int32_t number;
  std::u16string_view text;
};

constexpr auto kCatalogue = std::to_array<Entry>({
    {errc::ReturnWithoutGoSub, u"Return without GoSub"},
    {errc::InvalidProcedureCall, u"Invalid procedure call or argument"},
    {errc::Overflow, u"Overflow"},
    {errc::OutOfMemory, u"Out of memory"},
    {errc::SubscriptOutOfRange, u"Subscript out of range"},
    {errc::ArrayLocked, u"This array is fixed or temporarily locked"},
    {errc::DivisionByZero, u"Division by zero"},
    {errc::TypeMismatch, u"Type mismatch"},
    {errc::OutOfStringSpace, u"Out of string space"},
    {errc::UserInterrupt, u"User interrupt occurred"},
    {errc::OutOfStackSpace, u"Out of stack space"},
    {errc::ErrorLoadingDll, u"Error in loading DLL"},
    {errc::BadFileNameOrNumber, u"Bad file name or number"},
    {errc::FileNotFound, u"File not found"},
    {errc::BadFileMode, u"Bad file mode"},
    {errc::FileAlreadyOpen, u"File already open"},
    {errc::DeviceIOError, u"Device I/O error"},
    {errc::FileAlreadyExists, u"File already exists"},
    {errc::DiskFull, u"Disk full"},
    {errc::InputPastEndOfFile, u"Input past end of file"},
    {errc::TooManyFiles, u"Too many files"},
    {errc::DeviceUnavailable, u"Device unavailable"},
    {errc::PermissionDenied, u"Permission denied"},
    {errc::DiskNotReady, u"Disk not ready"},
    {errc::PathFileAccessError, u"Path/File access error"},
    {errc::PathNotFound, u"Path not found"},
    {errc::ObjectNotSet, u"Object variable or With block variable not set"},
    {errc::InvalidUseOfNull, u"Invalid use of Null"},
    {errc::ControlArrayElementMissing, u"Control array element '|' doesn't exist"},
    {errc::NotAnArray, u"Object not an array"},
    {errc::ObjectAlreadyLoaded, u"Object already loaded"},
    {errc::InvalidPropertyValue, u"Invalid property value"},
    {errc::InvalidPropertyArrayIndex, u"Invalid property array index"},
    {errc::SetNotSupportedAtRuntime, u"Set not supported at runtime"},
    {errc::PropertyReadOnly, u"'|' property is read-only"},
    {errc::PropertyOrMethodNotFound, u"Property or method not found"},
    {errc::ObjectRequired, u"Object required"},
    {errc::CantCreateObject, u"Can't create object"},
    {errc::NoAutomationSupport, u"Class does not support Automation or does not support expected interface"},
    {errc::MemberNotSupported, u"Object doesn't support this property or method"},
    {errc::AutomationError, u"Automation error"},
    {errc::ActionNotSupported, u"Object doesn't support this action"},
    {errc::NamedArgumentsNotSupported, u"Object doesn't support named arguments"},
    {errc::NamedArgumentNotFound, u"Named argument not found"},
    {errc::ArgumentNotOptional, u"Argument not optional"},
    {errc::WrongArgumentCount, u"Wrong number of arguments or invalid property assignment"},
    {errc::DllFunctionNotFound, u"Specified DLL function not found"},
    {errc::ControlNotFound, u"Control '|' not found"},
    {errc::InvalidArgument, u"Invalid argument."},
    {errc::OperationWithoutIndex, u"Operation invalid without a current index."},
    {errc::NoAddNewOrEdit, u"Update or CancelUpdate without AddNew or Edit."},
    {errc::NoCurrentRecord, u"No current record."},
    {errc::DuplicateKey,
     u"The changes you requested to the table were not successful because they would create duplicate "
     u"values in the index, primary key, or relationship. Change the data in the field or fields that "
     u"contain duplicate data, remove the index, or redefine the index to permit duplicate entries and "
     u"try again."},
    {errc::CouldNotFindFile, u"Could not find file '|'."},
    {errc::ReadOnly, u"Cannot update. Database or object is read-only."},
    {errc::NoTransaction, u"You tried to commit or rollback a transaction without first beginning a transaction."},
    {errc::FileInUse, u"Could not use '|'; file already in use."},
    {errc::CannotOpenDatabase,
     u"The database engine cannot open the file '|'. It is already opened exclusively by another user, "
     u"or you need permission to view its data."},
    {errc::TooFewParameters, u"Too few parameters. Expected |."},
    {errc::SelectNotAction, u"Cannot execute a select query."},
    {errc::SyntaxError, u"Syntax error (missing operator) in query expression '|'."},
    {errc::TableNotFound,
     u"The database engine cannot find the input table or query '|'. Make sure it exists and that its "
     u"name is spelled correctly."},
    {errc::UndefinedFunction, u"Undefined function '|' in expression."},
    {errc::InvalidStatement,
     u"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    {errc::SyntaxErrorFrom, u"Syntax error in FROM clause."},
    {errc::TrailingCharacters, u"Characters found after end of SQL statement."},
    {errc::OdbcCallFailed, u"ODBC--call failed."},
    {errc::OdbcConnectionFailed, u"ODBC--connection to '|' failed."},
    {errc::InvalidBookmark, u"Not a valid bookmark."},
    {errc::FieldTooSmall,
     u"The field is too small to accept the amount of data you attempted to add. Try inserting or "
     u"pasting less data."},
    {errc::FieldNotUpdatable, u"Field cannot be updated."},
    {errc::RecordDeleted, u"Record is deleted."},
    {errc::LockedByUser, u"Could not save; currently locked by user '|2' on machine '|1'."},
    {errc::LockedBySession, u"Could not update; currently locked by another session on this machine."},
    {errc::WriteConflict,
     u"The database engine stopped the process because you and another user are attempting to change "
     u"the same data at the same time."},
    {errc::RelatedRecordRequired, u"You cannot add or change a record because a related record is required in table '|'."},
    {errc::DatabaseExists, u"Database already exists."},
    {errc::Locked, u"Could not update; currently locked."},
    {errc::InvalidOperation, u"Invalid operation."},
    {errc::QueryTimeout, u"ODBC--remote query timeout expired."},
    {errc::OperationNotSupported, u"Operation is not supported for this type of object."},
    {errc::RecordLocked, u"Could not update; currently locked by user '|2' on machine '|1'."},
    {errc::ItemNotFound, u"Item not found in this collection."},
    {errc::SyntaxErrorDdl, u"Syntax error in CREATE TABLE statement."},
    {errc::RequiredNull,
     u"The field '|' cannot contain a Null value because the Required property for this field is set to "
     u"True. Enter a value in this field."},
    {errc::ZeroLength, u"Field '|' cannot be a zero-length string."},
    {errc::UnrecognizedFormat, u"Unrecognized database format '|'."},
    {errc::ObjectInvalid, u"Object invalid or no longer set."},
    {errc::ConversionError, u"Data type conversion error."},
    {errc::CriteriaMismatch, u"Data type mismatch in criteria expression."},
    {errc::NotAnIndex, u"'|' is not an index in this table."},
});

constexpr bool sortedByNumber() {
  for (std::size_t i = 1; i < kCatalogue.size(); ++i)
    if (kCatalogue[i - 1].number >= kCatalogue[i].number) return false;
  return true;
}
static_assert(sortedByNumber(), "the catalogue is kept in order of number, each number once");

}  // namespace

std::u16string standardDescription(std::int32_t number) {
  const auto* it = std::lower_bound(kCatalogue.begin(), kCatalogue.end(), number,
                                    [](const Entry& e, std::int32_t n) { return e.number < n; });
  if (it != kCatalogue.end() && it->number == number) return std::u16string(it->text);
  return u"Application-defined or object-defined error";
}

std::u16string describe(std::int32_t number, std::u16string_view detail) {
  std::u16string text = standardDescription(number);
  if (auto bar = text.find(u'|'); bar != std::u16string::npos) text.replace(bar, 1, detail);
  return text;
}

}  // namespace tarnwick
