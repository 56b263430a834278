#pragma once
// The Tarnwick type library: the four classes, their dual interfaces and
// every routine in slot order with its dispatch id, parameters and result.
// Both the early-bound interfaces and dispatch by name are checked against it.
#include <tarnwick/automation/Dispatch.h>
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Guid.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::frame {

enum class ParamType : std::uint8_t {
  String,   // automation string
  Int16,    // signed 16-bit integer
  Int32,    // signed 32-bit integer
  Flag,     // automation boolean
  Variant,  // any value
  Object,   // an automation object owned by the caller
  VarArgs,  // all remaining arguments, received as one array of values
};

enum class ResultType : std::uint8_t { None, String, Int16, Int32, Flag, Variant, Recordset };

struct ParamInfo {
  std::u16string name;
  ParamType type;
  bool optional;
};

struct TARNWICK_API RoutineInfo {
  std::u16string name;
  DISPID id;
  int slot;  // 1-based, after the seven functions of IDispatch
  ResultType result;
  std::vector<ParamInfo> params;

  bool hasVarArgs() const noexcept { return !params.empty() && params.back().type == ParamType::VarArgs; }
  // Parameters before a variable list that the caller must pass.
  std::size_t requiredCount() const noexcept;
  // Parameters before a variable list.
  std::size_t fixedCount() const noexcept { return params.size() - (hasVarArgs() ? 1 : 0); }
};

struct TARNWICK_API InterfaceInfo {
  std::u16string name;  // "_OcxWrapper"
  IID iid;
  std::vector<RoutineInfo> routines;  // in slot order

  const RoutineInfo* find(DISPID id) const noexcept;
  const RoutineInfo* find(std::u16string_view name) const noexcept;  // letter case ignored
};

struct ClassInfo {
  std::u16string name;    // "OcxWrapper"
  std::u16string progId;  // "Tarnwick.OcxWrapper"
  CLSID clsid;
  InterfaceInfo interface;
};

struct TARNWICK_API TypeLibrary {
  std::u16string name;
  std::u16string helpString;
  GUID libraryId;
  std::uint16_t majorVersion;
  std::uint16_t minorVersion;
  LCID lcid;
  std::vector<std::u16string> importedLibraries;
  std::vector<ClassInfo> classes;

  const ClassInfo* findClass(std::u16string_view nameOrProgId) const noexcept;
  const ClassInfo* findClass(const CLSID& clsid) const noexcept;
  std::size_t routineCount() const noexcept;
};

// The library's one type library, built on first use.
TARNWICK_API const TypeLibrary& typeLibrary();

// The type names as the library's listing writes them ("string", "int16", ...).
TARNWICK_API std::u16string_view typeName(ParamType type) noexcept;
TARNWICK_API std::u16string_view typeName(ResultType type) noexcept;

// The library's listing in an IDL-like text: classes, interfaces, and one
// routine per line with its slot, dispatch id in hexadecimal, parameters and result.
TARNWICK_API std::u16string describeTypeLibrary(const TypeLibrary& library);

}  // namespace tarnwick::frame
