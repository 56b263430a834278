#pragma once
// The four entry points of the in-process server, exported from
// libtarnwick.so under these plain names.
#include <tarnwick/automation/Export.h>
#include <tarnwick/automation/Guid.h>
#include <tarnwick/automation/Result.h>

extern "C" {
TARNWICK_API tarnwick::HRESULT DllRegisterServer() noexcept;
TARNWICK_API tarnwick::HRESULT DllUnregisterServer() noexcept;
TARNWICK_API tarnwick::HRESULT DllGetClassObject(const tarnwick::CLSID& clsid, const tarnwick::IID& riid,
                                                 void** object) noexcept;
TARNWICK_API tarnwick::HRESULT DllCanUnloadNow() noexcept;
}

namespace tarnwick::frame {
// The signatures, for modules found through the loader.
using DllGetClassObjectFunction = HRESULT (*)(const CLSID&, const IID&, void**) noexcept;
using DllCanUnloadNowFunction = HRESULT (*)() noexcept;
using DllRegisterServerFunction = HRESULT (*)() noexcept;
}  // namespace tarnwick::frame
