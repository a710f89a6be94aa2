#pragma once
// What a server (control) library exports with C linkage, and the helper it registers with.

#include <string>

#include "com/ComTypes.h"
#include "com/Guid.h"

extern "C" {
[[nodiscard]] HRESULT DllRegisterServer();
[[nodiscard]] HRESULT DllUnregisterServer();
[[nodiscard]] HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** out);
[[nodiscard]] HRESULT DllCanUnloadNow();
}

using DllRegisterServerFunction = HRESULT (*)();
using DllGetClassObjectFunction = HRESULT (*)(const CLSID*, const IID*, void**);

// The absolute path of the shared library (or program) that holds the symbol; empty when the
// system cannot tell.
std::string ModulePathOf(const void* symbolInTheLibrary);
