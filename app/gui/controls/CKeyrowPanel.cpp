#include "app/gui/controls/CKeyrowPanel.h"


#include "app/gui/GuiMessages.h"
#include "com/CConnectionPoint.h"
#include "com/CreateControl.h"
#include "com/Unknown.h"
#include "com/Variant.h"
#include "com/VariantArrays.h"
#include "keyrow/core/KeyrowIds.h"

namespace {

CKeyrowPanel::Creator& CreatorHook()
{
    static CKeyrowPanel::Creator hook;
    return hook;
}

// A VARIANT by reference to a one-dimensional array (lower bound 0) of UI2 hwids; the array
// belongs to `holder`, which the caller keeps until the call returns.
Variant HwidArgument(const std::vector<uint16_t>& hwids, Variant& holder)
{
    holder = MakeUI2Array(hwids);
    return Variant::ByRef(&holder);
}

Variant NameArgument(const std::vector<std::string>& names, Variant& holder)
{
    holder = MakeStringArray(names);
    return Variant::ByRef(&holder);
}

} // namespace

// Receives the control's events; lives as long as anyone holds a reference to it, and forwards
// only while its panel is connected.
class CKeyrowPanel::CEventSink : public CRefCounted<IDispatch>
{
public:
    explicit CEventSink(EventHandler handler) : m_handler(std::move(handler)) {}

    void Detach() { m_handler = nullptr; }

    HRESULT QueryInterface(const IID& iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kDKeyrowEventsIid) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetTypeInfoCount(uint32_t* count) override
    {
        if (count)
            *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(uint32_t, ITypeInfo** out) override
    {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetIDsOfNames(const std::string&, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, uint16_t, DispParams& params, Variant*) override
    {
        if (m_handler) {
            const EventHandler handler = m_handler;   // the handler may disconnect the panel
            handler(id, params);
        }
        return S_OK;
    }

protected:
    ~CEventSink() override = default;

private:
    EventHandler m_handler;
};

void CKeyrowPanel::SetCreatorHook(Creator creator)
{
    CreatorHook() = std::move(creator);
}

CKeyrowPanel::CKeyrowPanel() = default;

CKeyrowPanel::~CKeyrowPanel()
{
    Disconnect();
    // The window belongs to the dialog's widget tree; the control survives it and vice versa.
    if (m_dispatch)
        m_dispatch->Release();
}

void CKeyrowPanel::Disconnect()
{
    if (m_point) {
        // Going away either way: a connection that was already cut answers with an error.
        (void)m_point->Unadvise(m_cookie);
        m_point->Release();
        m_point = nullptr;
    }
    if (m_sink) {
        m_sink->Detach();
        m_sink->Release();
        m_sink = nullptr;
    }
}

bool CKeyrowPanel::Create(QWidget* parent, const QRect& rect, int childId, EventHandler events)
{
    IDispatch* dispatch = nullptr;
    void* window = nullptr;
    const HRESULT hr = CreatorHook()
        ? CreatorHook()(kKeyrowClsid, parent, rect.x(), rect.y(), rect.width(), rect.height(),
                        childId, &dispatch, &window)
        : CreateControl(kKeyrowClsid, parent, rect.x(), rect.y(), rect.width(), rect.height(),
                        childId, &dispatch, &window);
    if (FAILED(hr) || !dispatch) {
        if (dispatch)
            dispatch->Release();
        return false;
    }
    m_dispatch = dispatch;
    m_window = static_cast<QWidget*>(window);

    m_sink = new CEventSink(std::move(events));
    IConnectionPointContainer* container = nullptr;
    if (SUCCEEDED(m_dispatch->QueryInterface(IID_IConnectionPointContainer,
                                             reinterpret_cast<void**>(&container)))
        && container) {
        if (SUCCEEDED(container->FindConnectionPoint(kDKeyrowEventsIid, &m_point)) && m_point) {
            if (FAILED(m_point->Advise(m_sink, &m_cookie))) {
                m_point->Release();
                m_point = nullptr;
            }
        }
        container->Release();
    }
    return true;
}

bool CKeyrowPanel::GetLibraryVersion(uint16_t& major, uint16_t& minor) const
{
    if (!m_dispatch)
        return false;
    ITypeInfo* info = nullptr;
    if (FAILED(m_dispatch->GetTypeInfo(0, &info)) || !info)
        return false;
    ITypeLib* library = nullptr;
    uint32_t index = 0;
    const bool haveLibrary = SUCCEEDED(info->GetContainingTypeLib(&library, &index)) && library;
    info->Release();
    if (!haveLibrary)
        return false;
    TLibAttr attributes{};
    const bool ok = SUCCEEDED(library->GetLibAttr(&attributes));
    library->Release();
    if (!ok)
        return false;
    major = attributes.wMajorVerNum;
    minor = attributes.wMinorVerNum;
    return true;
}

HRESULT CKeyrowPanel::Call(DISPID id, uint16_t flags, DispParams& params, Variant* result)
{
    if (!m_dispatch)
        return E_POINTER;
    const HRESULT hr = m_dispatch->Invoke(id, flags, params, result);
    if (FAILED(hr))
        ShowMessage(QStringLiteral("The channel panel refused call %1 (error 0x%2).")
                        .arg(id)
                        .arg(static_cast<uint32_t>(hr), 8, 16, QLatin1Char('0')));
    return hr;
}

void CKeyrowPanel::SetSelectionMode(int mode)
{
    DispParams params;
    params.args.push_back(Variant::I4(mode));
    Call(kDispSelectionMode, DISPATCH_PROPERTYPUT, params);
}

bool CKeyrowPanel::GetBoundingSize(int& width, int& height)
{
    int32_t x = 0;
    int32_t y = 0;
    DispParams params;
    params.args.push_back(Variant::ByRefI4(&x));
    params.args.push_back(Variant::ByRefI4(&y));
    if (FAILED(Call(kDispGetBoundingSize, DISPATCH_METHOD, params)))
        return false;
    width = x;
    height = y;
    return true;
}

void CKeyrowPanel::InitializeButtons(const std::vector<std::string>& names, int layoutType,
                                     int subType, int offset, int count)
{
    Variant holder;
    DispParams params;
    params.args.push_back(NameArgument(names, holder));
    params.args.push_back(Variant::I4(layoutType));
    params.args.push_back(Variant::I4(subType));
    params.args.push_back(Variant::I2(static_cast<int16_t>(offset)));
    params.args.push_back(Variant::I2(static_cast<int16_t>(count)));
    Call(kDispInitializeButtonsV, DISPATCH_METHOD, params);
}

void CKeyrowPanel::SetExistingChannels(const std::vector<uint16_t>& hwids)
{
    Variant holder;
    DispParams params;
    params.args.push_back(HwidArgument(hwids, holder));
    Call(kDispSetExistingChannelsV, DISPATCH_METHOD, params);
}

void CKeyrowPanel::SetSelectedChannels(const std::vector<uint16_t>& hwids, int state)
{
    Variant holder;
    DispParams params;
    params.args.push_back(HwidArgument(hwids, holder));
    params.args.push_back(Variant::I4(state));
    Call(kDispSetSelectedChannelsV, DISPATCH_METHOD, params);
}

void CKeyrowPanel::EnableControl(bool enable)
{
    DispParams params;
    params.args.push_back(Variant::Bool(enable));
    Call(kDispEnableControl, DISPATCH_METHOD, params);
}

void CKeyrowPanel::SetTitleType(int type)
{
    DispParams params;
    params.args.push_back(Variant::I4(type));
    Call(kDispSetTitleType, DISPATCH_METHOD, params);
}

void CKeyrowPanel::SetTitle(const std::string& title, int flags)
{
    DispParams params;
    params.args.push_back(Variant::Str(title));
    params.args.push_back(Variant::I4(flags));
    Call(kDispSetTitle, DISPATCH_METHOD, params);
}

bool CKeyrowPanel::ReadHwidList(const Variant& argument, std::vector<uint16_t>& hwids)
{
    hwids.clear();
    return SUCCEEDED(ReadUI2Array(argument, &hwids));
}
