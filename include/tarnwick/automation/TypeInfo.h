#pragma once
// Type information that clients of an automation object ask for: the name
// of the object's class (what the platform's TypeName answers) and its
// documentation string.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/automation/Unknown.h>

#include <cstdint>

namespace tarnwick {

using MEMBERID = std::int32_t;
inline constexpr MEMBERID MEMBERID_NIL = -1;

// {00020401-0000-0000-C000-000000000046}
inline constexpr IID IID_ITypeInfo{0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct TARNWICK_API ITypeInfo : IUnknown {
  static constexpr const IID& iid = IID_ITypeInfo;
  // With MEMBERID_NIL, the type's own name and documentation. Any out
  // pointer may be null; the caller frees the strings it receives.
  virtual HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* docString, std::uint32_t* helpContext,
                                   BSTR* helpFile) noexcept = 0;

 protected:
  ITypeInfo() = default;
  ITypeInfo(const ITypeInfo&) = default;
  ITypeInfo& operator=(const ITypeInfo&) = default;
  ~ITypeInfo() = default;
};

}  // namespace tarnwick
