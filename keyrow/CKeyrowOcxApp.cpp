// Registration and class objects of the control library, and its C exports.

#include "keyrow/CKeyrowOcxApp.h"

#include "com/CComRegistry.h"
#include "com/ComModule.h"
#include "com/ServerExports.h"
#include "keyrow/CKeyrowCtrl.h"
#include "keyrow/CKeyrowPropPageObject.h"
#include "keyrow/core/KeyrowIds.h"
#include "keyrow/core/KeyrowResources.h"

namespace {

ClassEntry ControlEntry(const std::string& libraryPath)
{
    ClassEntry entry;
    entry.clsid = kKeyrowClsid;
    entry.progId = kKeyrowProgId;
    entry.typeName = KeyrowString(kIdsKeyrowTypeName);
    entry.libraryPath = libraryPath;
    entry.threadingModel = "Apartment";
    entry.typeLib = GuidToString(kKeyrowLibid);
    entry.version = "1.1";
    entry.miscStatus = kKeyrowMiscStatus;
    entry.toolboxBitmap = libraryPath + ", 1";
    return entry;
}

ClassEntry PropPageEntry(const std::string& libraryPath)
{
    ClassEntry entry;
    entry.clsid = kKeyrowPropPageClsid;
    entry.progId = kKeyrowPropPageProgId;
    entry.typeName = KeyrowString(kIdsKeyrowPropPageTypeName);
    entry.libraryPath = libraryPath;
    entry.threadingModel = "Apartment";
    return entry;
}

} // namespace

HRESULT CKeyrowOcxApp::RegisterServer(const std::string& libraryPath)
{
    if (libraryPath.empty())
        return SELFREG_E_TYPELIB;
    if (FAILED(CComRegistry::RegisterTypeLib(kKeyrowLibid, kKeyrowLibMajor, kKeyrowLibMinor,
                                             libraryPath, "KeyrowOcxLib")))
        return SELFREG_E_TYPELIB;
    if (FAILED(CComRegistry::RegisterClass(ControlEntry(libraryPath)))
        || FAILED(CComRegistry::RegisterClass(PropPageEntry(libraryPath))))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT CKeyrowOcxApp::UnregisterServer()
{
    if (FAILED(CComRegistry::UnregisterTypeLib(kKeyrowLibid, kKeyrowLibMajor, kKeyrowLibMinor)))
        return SELFREG_E_TYPELIB;
    if (FAILED(CComRegistry::UnregisterClass(kKeyrowClsid))
        || FAILED(CComRegistry::UnregisterClass(kKeyrowPropPageClsid)))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT CKeyrowOcxApp::GetClassObject(const CLSID* clsid, const IID* iid, void** out)
{
    CClassFactory* const factories[] = {&CKeyrowCtrl::CKeyrowCtrlFactory::Instance(),
                                        &CKeyrowPropPageObject::CKeyrowPropPageFactory::Instance()};
    return GetClassObjectFrom(factories, 2, clsid, iid, out);
}

HRESULT CKeyrowOcxApp::CanUnloadNow()
{
    return ComModuleCanUnloadNow();
}

std::string CKeyrowOcxApp::LibraryPath()
{
    return ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
}

extern "C" {

__attribute__((visibility("default"))) HRESULT DllRegisterServer()
{
    return CKeyrowOcxApp::RegisterServer(CKeyrowOcxApp::LibraryPath());
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer()
{
    return CKeyrowOcxApp::UnregisterServer();
}

__attribute__((visibility("default"))) HRESULT DllGetClassObject(const CLSID* clsid,
                                                                  const IID* iid, void** out)
{
    return CKeyrowOcxApp::GetClassObject(clsid, iid, out);
}

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow()
{
    return CKeyrowOcxApp::CanUnloadNow();
}

} // extern "C"
