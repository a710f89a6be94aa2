#pragma once
// A class factory for one class of a server library. Factories are static objects of the
// library: their references count as module locks and never delete them.

#include "com/Unknown.h"

class CClassFactory : public IClassFactory
{
public:
    // Makes a new object holding one reference (owned by the caller), or nullptr.
    using Creator = IUnknown* (*)();

    CClassFactory(const CLSID& clsid, Creator creator) : m_clsid(clsid), m_creator(creator) {}
    virtual ~CClassFactory() = default;

    [[nodiscard]] HRESULT QueryInterface(const IID& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // CLASS_E_NOAGGREGATION for an outer object, E_OUTOFMEMORY when none could be made, else the
    // object's answer to QueryInterface(iid).
    [[nodiscard]] HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) override;
    [[nodiscard]] HRESULT LockServer(bool lock) override;

    const CLSID& Clsid() const { return m_clsid; }

private:
    CLSID m_clsid;
    Creator m_creator;
};

// The body of DllGetClassObject over a library's factories: the one whose class id matches,
// asked for `iid`; CLASS_E_CLASSNOTAVAILABLE when none matches, E_POINTER for null arguments.
[[nodiscard]] HRESULT GetClassObjectFrom(CClassFactory* const* factories, size_t count, const CLSID* clsid,
                           const IID* iid, void** out);
