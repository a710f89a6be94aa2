#pragma once
// One outgoing (event) interface of an object: the sinks advised to it and the synchronous firing
// of an event to each of them. It lives inside its object and shares the object's reference
// count.

#include <cstdint>
#include <utility>
#include <vector>

#include "com/Unknown.h"

class CConnectionPoint : public IConnectionPoint
{
public:
    // `owner` is the object holding this connection point (its references are the owner's).
    CConnectionPoint(IUnknown* owner, const IID& eventIid);
    ~CConnectionPoint();
    CConnectionPoint(const CConnectionPoint&) = delete;
    CConnectionPoint& operator=(const CConnectionPoint&) = delete;

    [[nodiscard]] HRESULT QueryInterface(const IID& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // The sink is asked for the event interface (an IDispatch) and held until Unadvise:
    // CONNECT_E_CANNOTCONNECT when it has none, E_POINTER for a null sink or cookie.
    [[nodiscard]] HRESULT Advise(IUnknown* sink, uint32_t* cookie) override;
    // CONNECT_E_NOCONNECTION for a cookie not advised (or unadvised already).
    [[nodiscard]] HRESULT Unadvise(uint32_t cookie) override;
    [[nodiscard]] HRESULT GetConnectionInterface(IID* out) override;

    const IID& EventIid() const { return m_eventIid; }
    size_t SinkCount() const { return m_sinks.size(); }

    // Calls the event on every sink, in the order they were advised, before returning. It runs on
    // a copy of the sink list, each sink and the owner held while the call runs, so a sink may
    // advise, unadvise (itself or another) or release the owner during the call. A sink
    // unadvised before its turn is not called; one advised during the firing waits for the next.
    // The sinks' results are ignored.
    void Fire(DISPID id, DispParams& params);

    // Drops every sink (the owner going away).
    void UnadviseAll();

private:
    bool IsAdvised(uint32_t cookie) const;

    IUnknown* m_owner;
    IID m_eventIid;
    uint32_t m_nextCookie = 1;
    std::vector<std::pair<uint32_t, ComPtr<IDispatch>>> m_sinks;
};
