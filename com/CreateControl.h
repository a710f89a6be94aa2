#pragma once
// Making objects by class id: the registry file names the library, which is loaded (and kept
// loaded) and asked for its class factory.

#include "com/Unknown.h"

// Looks the class up (REGDB_E_CLASSNOTREG), loads the library of the first registry file's entry
// that loads (CO_E_DLLNOTFOUND when none does), takes its DllGetClassObject (CO_E_ERRORINDLL),
// its factory and a new object, which makes its window as a child of parentWindow
// (E_NOINTERFACE when the object has no IWindowedControl or no IDispatch, the control's own code
// when it makes no window, E_UNEXPECTED when it says it did but hands out none). On success
// *dispatch holds one reference and *window the control's window; on failure both are null.
[[nodiscard]] HRESULT CreateControl(const CLSID& clsid, void* parentWindow, int x, int y, int width, int height,
                      int childId, IDispatch** dispatch, void** window);

// A new object of the class without a window, asked for `iid`.
[[nodiscard]] HRESULT CoCreateInstance(const CLSID& clsid, const IID& iid, void** out);

// The class factory of a registered class.
[[nodiscard]] HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** out);

// Nothing to set up here: S_OK, also when there is no registry file yet.
[[nodiscard]] HRESULT CoInitialize();
void CoUninitialize();
