#pragma once
// In-process objects for the COM tests: a control over the test server's type library and an
// event sink that records what it receives and can run a hook in the middle of an event.

#include <functional>
#include <string>
#include <vector>

#include "com/CConnectionPoint.h"
#include "com/CDispatchObject.h"
#include "com/VariantArrays.h"
#include "tests/com/server/TestServerLibrary.h"

// The members of the test library answered in-process; counts its live instances.
class CLocalControl : public CDispatchObject
{
public:
    static int s_live;

    CLocalControl()
        : CDispatchObject(TestServerLibrary(), kTestServerDispatchIid),
          m_events(static_cast<IDispatch*>(this), kTestServerEventsIid)
    {
        AddConnectionPoint(&m_events);
        ++s_live;
    }

    CConnectionPoint& Events() { return m_events; }
    // What the last call of each member received, after conversion.
    std::vector<Variant> lastArgs;
    bool throwNext = false;

protected:
    HRESULT InvokeMember(const MemberInfo& member, uint16_t flags, DispParams& params,
                         Variant* result) override
    {
        lastArgs = params.args;
        if (throwNext)
            throw std::runtime_error("member failed");
        switch (member.id) {
        case kTestAdd:
            if (result)
                *result = Variant::I4(params.args[0].lVal + params.args[1].lVal);
            return S_OK;
        case kTestLabel:
            if (flags & DISPATCH_PROPERTYPUT)
                m_label = params.args[0].bstrVal;
            else if (result)
                *result = Variant::Str(m_label);
            return S_OK;
        default:
            return S_OK;
        }
    }

private:
    ~CLocalControl() override { --s_live; }

    CConnectionPoint m_events;
    std::string m_label;
};

// A sink of the test library's event interface.
class CRecordingSink : public CDispatchObject
{
public:
    struct Call
    {
        DISPID id;
        bool selected;
        std::vector<uint16_t> ids;
    };

    explicit CRecordingSink(std::string name = "")
        : CDispatchObject(TestServerLibrary(), kTestServerEventsIid), m_name(std::move(name))
    {
    }

    std::vector<Call> calls;
    // Runs inside every event, after it is recorded.
    std::function<void()> duringEvent;
    // The order sinks were called in, shared between sinks.
    std::vector<std::string>* order = nullptr;

protected:
    HRESULT InvokeMember(const MemberInfo& member, uint16_t, DispParams& params,
                         Variant*) override
    {
        Call call{member.id, params.args[0].boolVal != VARIANT_FALSE, {}};
        // An argument that is no hwid list leaves the ids empty: the tests compare them.
        (void)ReadUI2Array(params.args[1], &call.ids);
        calls.push_back(call);
        if (order)
            order->push_back(m_name);
        if (duringEvent)
            duringEvent();
        return S_OK;
    }

private:
    std::string m_name;
};

// An event of the test library as the server fires it.
inline void FireIds(CConnectionPoint& point, bool selected, const std::vector<uint16_t>& ids)
{
    Variant array = MakeUI2Array(ids);
    DispParams params;
    params.args.push_back(Variant::Bool(selected));
    params.args.push_back(Variant::ByRef(&array));
    point.Fire(kTestEvtIdsFired, params);
}
