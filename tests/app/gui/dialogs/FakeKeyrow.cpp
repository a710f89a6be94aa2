#include "tests/app/gui/dialogs/FakeKeyrow.h"

#include <gtest/gtest.h>

#include "com/SafeArray.h"
#include "com/Variant.h"
#include "com/VariantArrays.h"
#include "keyrow/core/KeyrowIds.h"

namespace {

// The type library of the fake: its version is the set's.
class FakeTypeLib : public CRefCounted<ITypeInfo, ITypeLib>
{
public:
    FakeTypeLib(uint16_t major, uint16_t minor) : m_major(major), m_minor(minor) {}
    HRESULT QueryInterface(const IID&, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetContainingTypeLib(ITypeLib** out, uint32_t* index) override
    {
        AddRef();
        *out = this;
        if (index)
            *index = 0;
        return S_OK;
    }
    HRESULT GetGuid(IID* out) override
    {
        *out = kDKeyrowIid;
        return S_OK;
    }
    HRESULT GetDocumentation(DISPID, std::string*, std::string*) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(const std::string&, DISPID*) override { return E_NOTIMPL; }
    HRESULT GetInterfaceInfo(const InterfaceInfo**) override { return E_NOTIMPL; }
    HRESULT GetLibAttr(TLibAttr* out) override
    {
        out->guid = kKeyrowLibid;
        out->wMajorVerNum = m_major;
        out->wMinorVerNum = m_minor;
        return S_OK;
    }
    uint32_t GetTypeInfoCount() override { return 1; }
    HRESULT GetTypeInfo(uint32_t, ITypeInfo** out) override
    {
        AddRef();
        *out = this;
        return S_OK;
    }
    HRESULT GetTypeInfoOfGuid(const IID&, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetDocumentation(int32_t, std::string*, std::string*, std::string*) override { return E_NOTIMPL; }

private:
    ~FakeTypeLib() override = default;
    uint16_t m_major;
    uint16_t m_minor;
};

std::string List(const std::vector<uint16_t>& v)
{
    std::string text = "[";
    if (v.size() > 8) {
        text += std::to_string(v.size()) + ": " + std::to_string(v.front()) + ".." + std::to_string(v.back());
    } else {
        for (size_t i = 0; i < v.size(); ++i)
            text += (i ? "," : "") + std::to_string(v[i]);
    }
    return text + "]";
}

bool IsNumber(const Variant& v) { return v.vt == VT_I2 || v.vt == VT_I4 || v.vt == VT_UI2 || v.vt == VT_BOOL; }
int Number(const Variant& v)
{
    switch (v.vt) {
    case VT_I2: return v.iVal;
    case VT_I4: return v.lVal;
    case VT_UI2: return v.uiVal;
    case VT_BOOL: return v.boolVal;
    default: return 0;
    }
}

} // namespace

FakeKeyrowSet::FakeKeyrowSet()
{
    CKeyrowPanel::SetCreatorHook([this](const CLSID& clsid, void* parent, int x, int y, int w, int h,
                                        int childId, IDispatch** dispatch, void** window) -> HRESULT {
        *dispatch = nullptr;
        *window = nullptr;
        if (!registered || clsid != kKeyrowClsid)
            return REGDB_E_CLASSNOTREG;
        QWidget* widget = new QWidget(static_cast<QWidget*>(parent));
        widget->setGeometry(x, y, w, h);
        widget->setAutoFillBackground(true);
        FakeKeyrow* fake = new FakeKeyrow(*this, childId, widget);   // the set's reference
        made.push_back(fake);
        fake->AddRef();
        *dispatch = fake;
        *window = widget;
        return S_OK;
    });
}

FakeKeyrowSet::~FakeKeyrowSet()
{
    CKeyrowPanel::SetCreatorHook({});
    for (FakeKeyrow* fake : made)
        fake->Release();
}

std::vector<std::string> FakeKeyrowSet::Take()
{
    std::vector<std::string> out;
    out.swap(log);
    return out;
}

FakeKeyrow::FakeKeyrow(FakeKeyrowSet& set, int childId, QWidget* window)
    : m_set(set), m_childId(childId), m_window(window)
{
}

FakeKeyrow::~FakeKeyrow()
{
    if (m_sink)
        m_sink->Release();
}

uint32_t FakeKeyrow::Release()
{
    const uint32_t left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT FakeKeyrow::QueryInterface(const IID& iid, void** out)
{
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kDKeyrowIid)
        *out = static_cast<IDispatch*>(this);
    else if (iid == IID_IConnectionPointContainer)
        *out = static_cast<IConnectionPointContainer*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT FakeKeyrow::GetTypeInfoCount(uint32_t* count)
{
    *count = 1;
    return S_OK;
}

HRESULT FakeKeyrow::GetTypeInfo(uint32_t, ITypeInfo** out)
{
    *out = new FakeTypeLib(m_set.major, m_set.minor);
    return S_OK;
}

HRESULT FakeKeyrow::FindConnectionPoint(const IID& iid, IConnectionPoint** out)
{
    if (iid != kDKeyrowEventsIid) {
        *out = nullptr;
        return CONNECT_E_NOCONNECTION;
    }
    AddRef();
    *out = this;
    return S_OK;
}

HRESULT FakeKeyrow::Advise(IUnknown* sink, uint32_t* cookie)
{
    IDispatch* events = nullptr;
    if (m_sink || !sink || FAILED(sink->QueryInterface(kDKeyrowEventsIid, reinterpret_cast<void**>(&events))))
        return CONNECT_E_CANNOTCONNECT;
    m_sink = events;
    *cookie = 7;
    return S_OK;
}

HRESULT FakeKeyrow::Unadvise(uint32_t cookie)
{
    if (!m_sink || cookie != 7)
        return CONNECT_E_NOCONNECTION;
    m_sink->Release();
    m_sink = nullptr;
    return S_OK;
}

HRESULT FakeKeyrow::GetConnectionInterface(IID* out)
{
    *out = kDKeyrowEventsIid;
    return S_OK;
}

HRESULT FakeKeyrow::Invoke(DISPID id, uint16_t flags, DispParams& params, Variant*)
{
    const std::vector<Variant>& a = params.args;
    const auto log = [this](const std::string& call) {
        m_set.log.push_back(std::to_string(m_childId) + ": " + call);
    };
    const auto hwids = [](const Variant& v, std::vector<uint16_t>& out) {
        return CKeyrowPanel::ReadHwidList(v, out);
    };
    if (id == m_set.failing)
        return E_FAIL;
    std::vector<uint16_t> list;
    switch (id) {
    case kDispSelectionMode:
        if (flags != DISPATCH_PROPERTYPUT || a.size() != 1 || !IsNumber(a[0]))
            return DISP_E_TYPEMISMATCH;
        log("SelectionMode=" + std::to_string(Number(a[0])));
        return S_OK;
    case kDispGetBoundingSize:
        if (a.size() != 2 || a[0].vt != (VT_BYREF | VT_I4) || a[1].vt != (VT_BYREF | VT_I4))
            return DISP_E_TYPEMISMATCH;
        *a[0].plVal = 160;
        *a[1].plVal = 120;
        log("GetBoundingSize");
        return S_OK;
    case kDispInitializeButtonsV: {
        if (a.size() != 5 || a[0].vt != (VT_BYREF | VT_VARIANT) || !a[0].pvarVal
            || a[0].pvarVal->vt != (VT_ARRAY | VT_BSTR) || !IsNumber(a[1]) || !IsNumber(a[2])
            || a[3].vt != VT_I2 || a[4].vt != VT_I2)
            return DISP_E_TYPEMISMATCH;
        int32_t upper = -1;
        std::string first;
        if (FAILED(a[0].pvarVal->parray->GetUBound(1, &upper)) || FAILED(a[0].pvarVal->parray->GetElement(0, &first)))
            return DISP_E_BADINDEX;
        log("InitializeButtonsV(names[" + std::to_string(upper + 1) + "] " + first + "," +
            std::to_string(Number(a[1])) + "," + std::to_string(Number(a[2])) + "," +
            std::to_string(a[3].iVal) + "," + std::to_string(a[4].iVal) + ")");
        return S_OK;
    }
    case kDispSetExistingChannelsV:
        if (a.size() != 1 || a[0].vt != (VT_BYREF | VT_VARIANT) || !hwids(a[0], list))
            return DISP_E_TYPEMISMATCH;
        log("SetExistingChannelsV(" + List(list) + ")");
        return S_OK;
    case kDispSetSelectedChannelsV:
        if (a.size() != 2 || a[0].vt != (VT_BYREF | VT_VARIANT) || !hwids(a[0], list) || !IsNumber(a[1]))
            return DISP_E_TYPEMISMATCH;
        m_selected = list;
        log("SetSelectedChannelsV(" + List(list) + "," + std::to_string(Number(a[1])) + ")");
        return S_OK;
    case kDispEnableControl:
        if (a.size() != 1 || a[0].vt != VT_BOOL)
            return DISP_E_TYPEMISMATCH;
        m_enabled = a[0].boolVal != 0;
        log(std::string("EnableControl(") + (m_enabled ? "1" : "0") + ")");
        return S_OK;
    case kDispSetTitleType:
        if (a.size() != 1 || !IsNumber(a[0]))
            return DISP_E_TYPEMISMATCH;
        log("SetTitleType(" + std::to_string(Number(a[0])) + ")");
        return S_OK;
    case kDispSetTitle:
        if (a.size() != 2 || a[0].vt != VT_BSTR || !IsNumber(a[1]))
            return DISP_E_TYPEMISMATCH;
        log("SetTitle('" + a[0].bstrVal + "'," + std::to_string(Number(a[1])) + ")");
        return S_OK;
    default:
        ADD_FAILURE() << "unexpected dispatch id " << id;
        return DISP_E_MEMBERNOTFOUND;
    }
}

void FakeKeyrow::Fire(DISPID id, DispParams& params)
{
    if (IDispatch* sink = m_sink) {
        sink->AddRef();
        sink->Invoke(id, DISPATCH_METHOD, params, nullptr);
        sink->Release();
    }
}

void FakeKeyrow::Click(bool selected, int16_t hwid)
{
    DispParams params;
    params.args.push_back(Variant::Bool(selected));
    params.args.push_back(Variant::I2(hwid));
    Fire(kEvtButtonClicked, params);
}

void FakeKeyrow::ClickAll(bool selected, const std::vector<uint16_t>& hwids)
{
    // The control owns the array and clears it after the synchronous call.
    Variant array = MakeUI2Array(hwids);
    DispParams params;
    params.args.push_back(Variant::Bool(selected));
    params.args.push_back(Variant::ByRef(&array));
    Fire(kEvtFireAllClickedV, params);
}
