#include "com/CConnectionPoint.h"

#include <new>

CConnectionPoint::CConnectionPoint(IUnknown* owner, const IID& eventIid)
    : m_owner(owner), m_eventIid(eventIid)
{
}

CConnectionPoint::~CConnectionPoint()
{
    UnadviseAll();
}

HRESULT CConnectionPoint::QueryInterface(const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint)
        return ReturnInterface(static_cast<IConnectionPoint*>(this), out);
    return E_NOINTERFACE;
}

uint32_t CConnectionPoint::AddRef()
{
    return m_owner->AddRef();
}

uint32_t CConnectionPoint::Release()
{
    return m_owner->Release();
}

HRESULT CConnectionPoint::Advise(IUnknown* sink, uint32_t* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    void* events = nullptr;
    if (FAILED(sink->QueryInterface(m_eventIid, &events)) || !events)
        return CONNECT_E_CANNOTCONNECT;
    ComPtr<IDispatch> dispatch;
    dispatch.Attach(static_cast<IDispatch*>(events));
    try {
        m_sinks.emplace_back(m_nextCookie, std::move(dispatch));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *cookie = m_nextCookie++;
    if (m_nextCookie == 0)
        m_nextCookie = 1;
    return S_OK;
}

HRESULT CConnectionPoint::Unadvise(uint32_t cookie)
{
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
        if (it->first == cookie) {
            // Out of the list before the release: the sink's destructor may call back in.
            ComPtr<IDispatch> sink = std::move(it->second);
            m_sinks.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT CConnectionPoint::GetConnectionInterface(IID* out)
{
    if (!out)
        return E_POINTER;
    *out = m_eventIid;
    return S_OK;
}

bool CConnectionPoint::IsAdvised(uint32_t cookie) const
{
    for (const auto& entry : m_sinks)
        if (entry.first == cookie)
            return true;
    return false;
}

void CConnectionPoint::Fire(DISPID id, DispParams& params)
{
    if (m_sinks.empty())
        return;
    // The owner may lose its last other reference while a sink runs; `this` lives inside it.
    ComPtr<IUnknown> owner(m_owner);
    std::vector<std::pair<uint32_t, ComPtr<IDispatch>>> sinks;
    try {
        sinks = m_sinks;
    } catch (const std::bad_alloc&) {
        return;
    }
    for (auto& entry : sinks) {
        if (!IsAdvised(entry.first))
            continue;
        Variant result;
        // An event goes to every sink; what one answers changes nothing for the others.
        (void)entry.second->Invoke(id, DISPATCH_METHOD, params, &result);
    }
}

void CConnectionPoint::UnadviseAll()
{
    // Released after the list is empty: a sink going away may call back in.
    auto sinks = std::move(m_sinks);
    m_sinks.clear();
    sinks.clear();
}
