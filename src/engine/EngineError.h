#pragma once
// Private to the engine: the engine's error numbers, and raising them with
// their descriptions (the standard table, or the engine's own texts for the
// numbers that table does not hold).
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::engine {

namespace err {
inline constexpr std::int32_t InvalidArgument = 3001;
inline constexpr std::int32_t OperationWithoutIndex = 3019;
inline constexpr std::int32_t NoAddNewOrEdit = 3020;
inline constexpr std::int32_t NoCurrentRecord = 3021;
inline constexpr std::int32_t DuplicateKey = 3022;
inline constexpr std::int32_t FileNotFound = 3024;
inline constexpr std::int32_t ReadOnly = 3027;
inline constexpr std::int32_t NoTransaction = 3034;
inline constexpr std::int32_t CannotOpen = 3051;
inline constexpr std::int32_t TooFewParameters = 3061;
inline constexpr std::int32_t SelectNotAction = 3065;
inline constexpr std::int32_t SyntaxError = 3075;
inline constexpr std::int32_t TableNotFound = 3078;
inline constexpr std::int32_t SyntaxErrorFrom = 3131;
inline constexpr std::int32_t TrailingCharacters = 3142;
inline constexpr std::int32_t InvalidBookmark = 3159;
inline constexpr std::int32_t FieldTooSmall = 3163;
inline constexpr std::int32_t FieldNotUpdatable = 3164;
inline constexpr std::int32_t RecordDeleted = 3167;
inline constexpr std::int32_t RelatedRecordRequired = 3201;
inline constexpr std::int32_t DatabaseExists = 3204;
inline constexpr std::int32_t Locked = 3218;
inline constexpr std::int32_t InvalidOperation = 3219;
inline constexpr std::int32_t NotSupported = 3251;
inline constexpr std::int32_t ItemNotFound = 3265;
inline constexpr std::int32_t SyntaxErrorDdl = 3290;
inline constexpr std::int32_t RequiredNull = 3314;
inline constexpr std::int32_t ZeroLength = 3315;
inline constexpr std::int32_t UnrecognizedFormat = 3343;
inline constexpr std::int32_t ObjectInvalid = 3420;
inline constexpr std::int32_t ConversionError = 3421;
inline constexpr std::int32_t CriteriaMismatch = 3464;
inline constexpr std::int32_t NotAnIndex = 3800;
inline constexpr std::int32_t UndefinedFunction = 3085;
inline constexpr std::int32_t InvalidStatement = 3129;
}  // namespace err

// The description of an engine error with `detail` in its place.
std::u16string engineDescription(std::int32_t number, std::u16string_view detail = {});
[[noreturn]] void raise(std::int32_t number, std::u16string_view detail = {});

}  // namespace tarnwick::engine
