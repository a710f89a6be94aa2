#pragma once
// The base of our automation objects: reference counting, QueryInterface, IDispatch by the
// static member table of the type library, and the container of the object's connection points.
// A derived class answers the calls in InvokeMember, which sees only checked arguments of the
// declared types.

#include <cstdint>
#include <string>
#include <vector>

#include "com/TypeLibrary.h"
#include "com/Unknown.h"

class CConnectionPoint;

// Reference counting (deleting the object when the last reference goes) comes from CRefCounted.
class CDispatchObject : public CRefCounted<IDispatch, IConnectionPointContainer>
{
public:
    // The object implements `dispatchIid` of `library` (both static). It starts with one
    // reference, which its creator owns.
    CDispatchObject(const TypeLibraryInfo& library, const IID& dispatchIid);
    CDispatchObject(const CDispatchObject&) = delete;
    CDispatchObject& operator=(const CDispatchObject&) = delete;

    // IUnknown, IDispatch, the dispatch interface id, IConnectionPointContainer (when the object
    // has connection points), then QueryOtherInterface.
    [[nodiscard]] HRESULT QueryInterface(const IID& iid, void** out) override;
    [[nodiscard]] HRESULT GetTypeInfoCount(uint32_t* count) override;
    // Index 0 only (DISP_E_BADINDEX else): the dispatch interface's type information.
    [[nodiscard]] HRESULT GetTypeInfo(uint32_t index, ITypeInfo** out) override;
    [[nodiscard]] HRESULT GetIDsOfNames(const std::string& name, DISPID* out) override;
    // Finds the member (DISP_E_MEMBERNOTFOUND), checks the arguments (CheckArguments), converts
    // them to the declared types and calls InvokeMember. An exception out of InvokeMember becomes
    // DISP_E_EXCEPTION (E_OUTOFMEMORY for bad_alloc).
    [[nodiscard]] HRESULT Invoke(DISPID id, uint16_t flags, DispParams& params, Variant* result) override;

    // CONNECT_E_NOCONNECTION for an interface without a connection point here.
    [[nodiscard]] HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** out) override;


protected:
    virtual ~CDispatchObject();

    // One checked call. `result` may be null (the caller wants no result).
    [[nodiscard]] virtual HRESULT InvokeMember(const MemberInfo& member, uint16_t flags, DispParams& params,
                                 Variant* result) = 0;
    // Further interfaces of a derived class; E_NOINTERFACE unless overridden.
    [[nodiscard]] virtual HRESULT QueryOtherInterface(const IID& iid, void** out);

    // Makes a connection point known to FindConnectionPoint; it stays the derived class's
    // (usually a member constructed with `this` as owner).
    void AddConnectionPoint(CConnectionPoint* point);

private:
    const TypeLibraryInfo& m_library;
    const InterfaceInfo* m_interface;
    IID m_dispatchIid;
    std::vector<CConnectionPoint*> m_connectionPoints;
};

// A class that adds a further interface (say IWindowedControl) to CDispatchObject must route that
// interface's IUnknown methods to the object's; this writes the three overrides.
#define COM_FORWARD_IUNKNOWN(Base)                                                             \
    [[nodiscard]] HRESULT QueryInterface(const IID& iid, void** out) override                  \
    {                                                                                          \
        return Base::QueryInterface(iid, out);                                                 \
    }                                                                                          \
    uint32_t AddRef() override { return Base::AddRef(); }                                      \
    uint32_t Release() override { return Base::Release(); }
