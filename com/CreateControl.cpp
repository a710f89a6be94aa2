#include "com/CreateControl.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "com/CComRegistry.h"
#include "com/ServerExports.h"
#include "platform/DynamicLibrary.h"

namespace {

// Server libraries stay loaded once loaded: their objects, vtables and type tables may be held
// anywhere in the program.
std::mutex g_librariesMutex;
std::map<std::string, HMODULE> g_libraries;

HRESULT LoadServer(const std::string& path, HMODULE* module)
{
    std::lock_guard<std::mutex> lock(g_librariesMutex);
    auto it = g_libraries.find(path);
    if (it != g_libraries.end()) {
        *module = it->second;
        return S_OK;
    }
    if (path.empty())
        return CO_E_DLLNOTFOUND;
    HMODULE loaded = LoadLibraryA(path.c_str());
    if (!loaded)
        return CO_E_DLLNOTFOUND;
    g_libraries.emplace(path, loaded);
    *module = loaded;
    return S_OK;
}

// The library of the first file's entry that loads. A per-user entry left behind by a control
// that was removed or moved must not hide a working one further down the lookup.
HRESULT LoadFirstServer(const CLSID& clsid, HMODULE* module)
{
    const std::vector<ClassEntry> entries = CComRegistry::LookupClassEntries(clsid);
    if (entries.empty())
        return REGDB_E_CLASSNOTREG;
    for (const ClassEntry& entry : entries)
        if (SUCCEEDED(LoadServer(entry.libraryPath, module)))
            return S_OK;
    return CO_E_DLLNOTFOUND;
}

} // namespace

HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    HMODULE module = nullptr;
    HRESULT hr = LoadFirstServer(clsid, &module);
    if (FAILED(hr))
        return hr;
    auto getClassObject = reinterpret_cast<DllGetClassObjectFunction>(
        GetProcAddress(module, "DllGetClassObject"));
    if (!getClassObject)
        return CO_E_ERRORINDLL;
    hr = getClassObject(&clsid, &iid, out);
    if (FAILED(hr))
        *out = nullptr;
    else if (!*out)
        hr = E_UNEXPECTED;
    return hr;
}

HRESULT CoCreateInstance(const CLSID& clsid, const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, IID_IClassFactory, factory.VoidAddress());
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(nullptr, iid, out);
    if (FAILED(hr))
        *out = nullptr;
    return hr;
}

HRESULT CreateControl(const CLSID& clsid, void* parentWindow, int x, int y, int width, int height,
                      int childId, IDispatch** dispatch, void** window)
{
    if (!dispatch || !window)
        return E_POINTER;
    *dispatch = nullptr;
    *window = nullptr;
    ComPtr<IWindowedControl> control;
    HRESULT hr = CoCreateInstance(clsid, IID_IWindowedControl, control.VoidAddress());
    if (FAILED(hr))
        return hr;
    // The dispatch interface first: a window once made belongs to its parent and cannot be
    // taken back here.
    ComPtr<IDispatch> automation;
    hr = control.As(IID_IDispatch, &automation);
    if (FAILED(hr))
        return hr;
    void* made = nullptr;
    hr = control->CreateControlWindow(parentWindow, x, y, width, height, childId, &made);
    if (FAILED(hr))
        return hr;
    if (!made)
        return E_UNEXPECTED; // a control without a window is no use to the host
    *window = made;
    *dispatch = automation.Detach();
    return S_OK;
}

HRESULT CoInitialize()
{
    return S_OK;
}

void CoUninitialize()
{
}
