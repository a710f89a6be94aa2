// A tiny server library for the COM layer's tests: one windowed class with a few members and one
// event, self-registration and the class-object lookup, as a control library has them.

#include <vector>

#include "com/CClassFactory.h"
#include "com/CComRegistry.h"
#include "com/CConnectionPoint.h"
#include "com/ComModule.h"
#include "com/CWindowedDispatchObject.h"
#include "com/ServerExports.h"
#include "com/VariantArrays.h"
#include "tests/com/server/TestServerLibrary.h"

namespace {

class CTestControl : public CWindowedDispatchObject
{
public:
    CTestControl()
        : CWindowedDispatchObject(TestServerLibrary(), kTestServerDispatchIid),
          m_events(static_cast<IDispatch*>(this), kTestServerEventsIid)
    {
        AddConnectionPoint(&m_events);
    }

    HRESULT CreateControlWindow(void* parentWindow, int x, int y, int width, int height,
                                int childId, void** window) override
    {
        if (!window)
            return E_POINTER;
        m_window = {parentWindow, x, y, width, height, childId};
        *window = &m_window;
        return S_OK;
    }

protected:
    HRESULT InvokeMember(const MemberInfo& member, uint16_t flags, DispParams& params,
                         Variant* result) override
    {
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
        case kTestSetIds:
            return ReadUI2Array(params.args[0], &m_ids);
        case kTestFireIds: {
            Variant ids = MakeUI2Array(m_ids);
            DispParams event;
            event.args.push_back(Variant::Bool(params.args[0].boolVal != VARIANT_FALSE));
            event.args.push_back(Variant::ByRef(&ids));
            m_events.Fire(kTestEvtIdsFired, event);
            return S_OK;
        }
        case kTestVersion:
            *params.args[0].piVal = 1;
            *params.args[1].piVal = 1;
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    ~CTestControl() override { m_events.UnadviseAll(); }

    CConnectionPoint m_events;
    TestServerWindow m_window{};
    std::string m_label;
    std::vector<uint16_t> m_ids;
};

IUnknown* CreateTestControl()
{
    return static_cast<IDispatch*>(new CTestControl);
}

CClassFactory g_factory(kTestServerClsid, &CreateTestControl);
CClassFactory* const g_factories[] = {&g_factory};

} // namespace

extern "C" HRESULT DllRegisterServer()
{
    const std::string path = ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
    const TypeLibraryInfo& library = TestServerLibrary();
    if (path.empty()
        || FAILED(CComRegistry::RegisterTypeLib(library.libid, library.major, library.minor, path,
                                                library.name)))
        return SELFREG_E_TYPELIB;
    ClassEntry entry;
    entry.clsid = kTestServerClsid;
    entry.progId = kTestServerProgId;
    entry.typeName = "COM Test Control";
    entry.libraryPath = path;
    entry.threadingModel = "Apartment";
    entry.typeLib = GuidToString(library.libid);
    entry.version = "1.1";
    entry.miscStatus = 0x20191;
    entry.toolboxBitmap = path + ", 1";
    return FAILED(CComRegistry::RegisterClass(entry)) ? SELFREG_E_CLASS : S_OK;
}

extern "C" HRESULT DllUnregisterServer()
{
    const TypeLibraryInfo& library = TestServerLibrary();
    if (FAILED(CComRegistry::UnregisterTypeLib(library.libid, library.major, library.minor)))
        return SELFREG_E_TYPELIB;
    return FAILED(CComRegistry::UnregisterClass(kTestServerClsid)) ? SELFREG_E_CLASS : S_OK;
}

extern "C" HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** out)
{
    return GetClassObjectFrom(g_factories, 1, clsid, iid, out);
}

extern "C" HRESULT DllCanUnloadNow()
{
    return ComModuleCanUnloadNow();
}
