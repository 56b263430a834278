#pragma once
// Every error number the library raises or tests for, by name: the
// runtime's, the automation layer's, the data engine's and the host's. The
// texts that go with them are one table (`standardDescription`); code names
// an error only through these constants.
#include <cstdint>

namespace tarnwick::errc {

// Runtime and automation.
inline constexpr std::int32_t ReturnWithoutGoSub = 3;
inline constexpr std::int32_t InvalidProcedureCall = 5;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t OutOfMemory = 7;
inline constexpr std::int32_t SubscriptOutOfRange = 9;
inline constexpr std::int32_t ArrayLocked = 10;
inline constexpr std::int32_t DivisionByZero = 11;
inline constexpr std::int32_t TypeMismatch = 13;
inline constexpr std::int32_t OutOfStringSpace = 14;
inline constexpr std::int32_t UserInterrupt = 18;
inline constexpr std::int32_t OutOfStackSpace = 28;
inline constexpr std::int32_t ErrorLoadingDll = 48;
inline constexpr std::int32_t BadFileNameOrNumber = 52;
inline constexpr std::int32_t FileNotFound = 53;
inline constexpr std::int32_t BadFileMode = 54;
inline constexpr std::int32_t FileAlreadyOpen = 55;
inline constexpr std::int32_t DeviceIOError = 57;
inline constexpr std::int32_t FileAlreadyExists = 58;
inline constexpr std::int32_t DiskFull = 61;
inline constexpr std::int32_t InputPastEndOfFile = 62;
inline constexpr std::int32_t TooManyFiles = 67;
inline constexpr std::int32_t DeviceUnavailable = 68;
inline constexpr std::int32_t PermissionDenied = 70;
inline constexpr std::int32_t DiskNotReady = 71;
inline constexpr std::int32_t PathFileAccessError = 75;
inline constexpr std::int32_t PathNotFound = 76;
inline constexpr std::int32_t ObjectNotSet = 91;
inline constexpr std::int32_t InvalidUseOfNull = 94;
inline constexpr std::int32_t ControlArrayElementMissing = 340;
inline constexpr std::int32_t NotAnArray = 343;
inline constexpr std::int32_t InvalidPropertyValue = 380;
inline constexpr std::int32_t InvalidPropertyArrayIndex = 381;
inline constexpr std::int32_t PropertyOrMethodNotFound = 423;
inline constexpr std::int32_t ObjectRequired = 424;
inline constexpr std::int32_t CantCreateObject = 429;
inline constexpr std::int32_t NoAutomationSupport = 430;
inline constexpr std::int32_t MemberNotSupported = 438;
inline constexpr std::int32_t AutomationError = 440;
inline constexpr std::int32_t ActionNotSupported = 445;
inline constexpr std::int32_t NamedArgumentsNotSupported = 446;
inline constexpr std::int32_t NamedArgumentNotFound = 448;
inline constexpr std::int32_t ArgumentNotOptional = 449;
inline constexpr std::int32_t WrongArgumentCount = 450;
inline constexpr std::int32_t DllFunctionNotFound = 453;

// Forms and controls of the host.
inline constexpr std::int32_t ObjectAlreadyLoaded = 360;
inline constexpr std::int32_t SetNotSupportedAtRuntime = 382;
inline constexpr std::int32_t PropertyReadOnly = 383;
inline constexpr std::int32_t ControlNotFound = 730;

// The data engine.
inline constexpr std::int32_t InvalidArgument = 3001;
inline constexpr std::int32_t OperationWithoutIndex = 3019;
inline constexpr std::int32_t NoAddNewOrEdit = 3020;
inline constexpr std::int32_t NoCurrentRecord = 3021;
inline constexpr std::int32_t DuplicateKey = 3022;
inline constexpr std::int32_t CouldNotFindFile = 3024;
inline constexpr std::int32_t ReadOnly = 3027;
inline constexpr std::int32_t NoTransaction = 3034;
inline constexpr std::int32_t FileInUse = 3045;
inline constexpr std::int32_t CannotOpenDatabase = 3051;
inline constexpr std::int32_t TooFewParameters = 3061;
inline constexpr std::int32_t SelectNotAction = 3065;
inline constexpr std::int32_t SyntaxError = 3075;
inline constexpr std::int32_t TableNotFound = 3078;
inline constexpr std::int32_t UndefinedFunction = 3085;
inline constexpr std::int32_t InvalidStatement = 3129;
inline constexpr std::int32_t SyntaxErrorFrom = 3131;
inline constexpr std::int32_t TrailingCharacters = 3142;
inline constexpr std::int32_t OdbcCallFailed = 3146;
inline constexpr std::int32_t OdbcConnectionFailed = 3151;
inline constexpr std::int32_t InvalidBookmark = 3159;
inline constexpr std::int32_t FieldTooSmall = 3163;
inline constexpr std::int32_t FieldNotUpdatable = 3164;
inline constexpr std::int32_t RecordDeleted = 3167;
inline constexpr std::int32_t LockedByUser = 3186;
inline constexpr std::int32_t LockedBySession = 3188;
inline constexpr std::int32_t WriteConflict = 3197;
inline constexpr std::int32_t RelatedRecordRequired = 3201;
inline constexpr std::int32_t DatabaseExists = 3204;
inline constexpr std::int32_t Locked = 3218;
inline constexpr std::int32_t InvalidOperation = 3219;
// A statement ran longer than its database's QueryTimeout and was stopped.
inline constexpr std::int32_t QueryTimeout = 3234;
inline constexpr std::int32_t OperationNotSupported = 3251;
inline constexpr std::int32_t RecordLocked = 3260;
inline constexpr std::int32_t ItemNotFound = 3265;
inline constexpr std::int32_t SyntaxErrorDdl = 3290;
inline constexpr std::int32_t RequiredNull = 3314;
inline constexpr std::int32_t ZeroLength = 3315;
inline constexpr std::int32_t UnrecognizedFormat = 3343;
inline constexpr std::int32_t ObjectInvalid = 3420;
inline constexpr std::int32_t ConversionError = 3421;
inline constexpr std::int32_t CriteriaMismatch = 3464;
inline constexpr std::int32_t NotAnIndex = 3800;

}  // namespace tarnwick::errc
