#include "com/CClassFactory.h"

#include <new>

#include "com/ComModule.h"

HRESULT CClassFactory::QueryInterface(const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IClassFactory)
        return ReturnInterface(static_cast<IClassFactory*>(this), out);
    return E_NOINTERFACE;
}

uint32_t CClassFactory::AddRef()
{
    ComModuleLock();
    return 2;
}

uint32_t CClassFactory::Release()
{
    ComModuleUnlock();
    return 1;
}

HRESULT CClassFactory::CreateInstance(IUnknown* outer, const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    IUnknown* object = nullptr;
    try {
        object = m_creator ? m_creator() : nullptr;
    } catch (...) {
        object = nullptr;
    }
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

HRESULT CClassFactory::LockServer(bool lock)
{
    if (lock)
        ComModuleLock();
    else
        ComModuleUnlock();
    return S_OK;
}

HRESULT GetClassObjectFrom(CClassFactory* const* factories, size_t count, const CLSID* clsid,
                           const IID* iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!clsid || !iid)
        return E_POINTER;
    for (size_t i = 0; i < count; ++i)
        if (factories[i] && factories[i]->Clsid() == *clsid)
            return factories[i]->QueryInterface(*iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}
