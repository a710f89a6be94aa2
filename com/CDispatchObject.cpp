#include "com/CDispatchObject.h"

#include <new>

#include "com/CConnectionPoint.h"
#include "com/ComModule.h"

namespace {

// Whether a checked call needs its integral arguments converted to the declared types.
bool NeedsCoercion(const MemberInfo& member, const DispParams& params)
{
    for (size_t i = 0; i < params.args.size() && i < member.args.size(); ++i) {
        const VARTYPE declared = member.args[i].type;
        if (declared != VT_VARIANT && declared != params.args[i].vt)
            return true;
    }
    return false;
}

} // namespace

CDispatchObject::CDispatchObject(const TypeLibraryInfo& library, const IID& dispatchIid)
    : m_library(library), m_interface(library.FindInterface(dispatchIid)),
      m_dispatchIid(dispatchIid)
{
    ComModuleLock();
}

CDispatchObject::~CDispatchObject()
{
    ComModuleUnlock();
}

HRESULT CDispatchObject::QueryInterface(const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_dispatchIid)
        return ReturnInterface(static_cast<IDispatch*>(this), out);
    if (iid == IID_IConnectionPointContainer && !m_connectionPoints.empty())
        return ReturnInterface(static_cast<IConnectionPointContainer*>(this), out);
    return QueryOtherInterface(iid, out);
}

HRESULT CDispatchObject::QueryOtherInterface(const IID&, void**)
{
    return E_NOINTERFACE;
}

HRESULT CDispatchObject::GetTypeInfoCount(uint32_t* count)
{
    if (!count)
        return E_POINTER;
    *count = m_interface ? 1 : 0;
    return S_OK;
}

HRESULT CDispatchObject::GetTypeInfo(uint32_t index, ITypeInfo** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (index != 0 || !m_interface)
        return DISP_E_BADINDEX;
    return CreateTypeInfo(m_library, m_dispatchIid, out);
}

HRESULT CDispatchObject::GetIDsOfNames(const std::string& name, DISPID* out)
{
    if (!out)
        return E_POINTER;
    const MemberInfo* member = m_interface ? m_interface->FindName(name) : nullptr;
    if (!member)
        return DISP_E_UNKNOWNNAME;
    *out = member->id;
    return S_OK;
}

HRESULT CDispatchObject::Invoke(DISPID id, uint16_t flags, DispParams& params, Variant* result)
{
    const MemberInfo* member = m_interface ? m_interface->Find(id) : nullptr;
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    HRESULT hr = CheckArguments(*member, flags, params);
    if (FAILED(hr))
        return hr;
    if (result)
        VariantClear(result);
    // The call may make the caller drop its last reference (an event handler closing the host);
    // the object lives until the call is over.
    ComPtr<IDispatch> self(this);
    try {
        if (!NeedsCoercion(*member, params))
            return InvokeMember(*member, flags, params, result);
        DispParams converted = params;
        hr = CoerceArguments(*member, flags, converted);
        if (FAILED(hr))
            return hr;
        return InvokeMember(*member, flags, converted, result);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return DISP_E_EXCEPTION;
    }
}

HRESULT CDispatchObject::FindConnectionPoint(const IID& iid, IConnectionPoint** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (CConnectionPoint* point : m_connectionPoints) {
        if (point->EventIid() == iid) {
            point->AddRef();
            *out = point;
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

void CDispatchObject::AddConnectionPoint(CConnectionPoint* point)
{
    if (point)
        m_connectionPoints.push_back(point);
}
