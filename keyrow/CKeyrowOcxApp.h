#pragma once
// The control library's module: self-registration of the type library and the two classes, the
// class-object lookup over their factories and the unload test, behind the four exports.

#include <string>

#include "com/ComTypes.h"
#include "com/Guid.h"

class CKeyrowOcxApp
{
public:
    // Registers the type library (SELFREG_E_TYPELIB on failure), then the control and the
    // property page classes (SELFREG_E_CLASS), for the library at `libraryPath`.
    [[nodiscard]] static HRESULT RegisterServer(const std::string& libraryPath);
    // Takes out the type library 1.1, then both classes; the same codes.
    [[nodiscard]] static HRESULT UnregisterServer();
    [[nodiscard]] static HRESULT GetClassObject(const CLSID* clsid, const IID* iid, void** out);
    [[nodiscard]] static HRESULT CanUnloadNow();
    // The path of this library as the system loaded it.
    static std::string LibraryPath();
};
