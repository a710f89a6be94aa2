#pragma once
// A test container for the control: a temporary registry with the built library registered,
// the control created by class id into a host widget, dispatch calls by id, and an event sink.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

#include "com/CComRegistry.h"
#include "com/CreateControl.h"
#include "com/ServerExports.h"
#include "com/Unknown.h"
#include "com/VariantArrays.h"
#include "keyrow/core/KeyrowIds.h"
#include "platform/DynamicLibrary.h"
#include "tests/keyrow/core/KeyrowLabels.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

// One event as the sink saw it, with the array arguments read out during the call.
struct SeenEvent
{
    DISPID id = 0;
    std::vector<VARTYPE> types;
    int32_t first = 0;     // selected or NewState
    int32_t hwid = 0;
    std::vector<uint16_t> hwids;
    int32_t arrayLowerBound = -1;
    VARTYPE arrayType = VT_EMPTY;
};

class TestSink : public CRefCounted<IDispatch>
{
public:
    HRESULT QueryInterface(const IID& iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kDKeyrowEventsIid)
            return ReturnInterface(static_cast<IDispatch*>(this), out);
        return E_NOINTERFACE;
    }
    HRESULT GetTypeInfoCount(uint32_t* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(uint32_t, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(const std::string&, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, uint16_t, DispParams& params, Variant*) override
    {
        SeenEvent e;
        e.id = id;
        for (const Variant& v : params.args)
            e.types.push_back(v.vt);
        if (params.args.size() == 2) {
            const Variant& a = params.args[0];
            e.first = a.vt == VT_I4 ? a.lVal : a.boolVal;
            const Variant& b = params.args[1];
            if (b.vt == VT_I2)
                e.hwid = b.iVal;
            else if (b.vt == (VT_BYREF | VT_I4) && b.plVal)
                e.hwids = *reinterpret_cast<const std::vector<uint16_t>*>(b.plVal);
            else if (b.vt == (VT_BYREF | VT_VARIANT) && b.pvarVal) {
                e.arrayType = b.pvarVal->vt;
                // What is no hwid list leaves the ids and bound as they are: the tests compare them.
                (void)ReadUI2Array(b, &e.hwids);
                if (b.pvarVal->vt & VT_ARRAY)
                    (void)b.pvarVal->parray->GetLBound(1, &e.arrayLowerBound);
            }
        }
        events.push_back(e);
        if (onEvent)
            onEvent(e);
        return S_OK;
    }

    std::vector<SeenEvent> events;
    std::function<void(const SeenEvent&)> onEvent;

protected:
    ~TestSink() override = default;
};

// Dispatch call helpers: arguments in call order.
HRESULT Call(IDispatch* control, DISPID id, std::vector<Variant> args = {},
             Variant* result = nullptr, uint16_t flags = DISPATCH_METHOD);
HRESULT Put(IDispatch* control, DISPID id, Variant value);
Variant Get(IDispatch* control, DISPID id);
Variant UI2Array(const std::vector<uint16_t>& values);
Variant StringArray(const std::vector<std::string>& values);

class KeyrowTestContainer
{
public:
    KeyrowTestContainer();
    ~KeyrowTestContainer();

    // Loads the built library and registers it into the temporary registry.
    HRESULT Register();
    HRESULT Unregister();
    // Creates a control by class id as a child of the host; false on any failure.
    bool Create(int childId = 1173);
    // Advises a new sink to the control's events.
    bool Advise();

    QAbstractButton* Button(int index) const;
    QAbstractButton* TitleButton() const;
    void Click(QAbstractButton* button) const;
    HRESULT CanUnloadNow() const;

    TempDir dir;
    ScopedEnv registry{CComRegistry::kEnvironmentVariable, dir.File("registry.ini").c_str()};
    std::unique_ptr<QWidget> host;
    ComPtr<IDispatch> control;
    QPointer<QWidget> window;
    ComPtr<TestSink> sink;
    uint32_t cookie = 0;
    HMODULE library = nullptr;
};
