// Dispatch calls, events and window of the control.

#include "keyrow/CKeyrowCtrl.h"

#include <algorithm>

#include <QApplication>
#include <QPointer>

#include "com/ComModule.h"
#include "com/VariantArrays.h"
#include "keyrow/CKeyrowAboutDlg.h"
#include "keyrow/core/KeyrowIds.h"
#include "keyrow/core/KeyrowTypeLibrary.h"

namespace {

// The in-process vector behind a raw hardware-id argument (see KeyrowTypeLibrary.h).
const std::vector<uint16_t>& VectorAt(const Variant& arg)
{
    return *reinterpret_cast<const std::vector<uint16_t>*>(arg.plVal);
}

std::vector<int32_t> Widened(const std::vector<uint16_t>& values)
{
    return std::vector<int32_t>(values.begin(), values.end());
}

bool HaveApplication()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace

CKeyrowCtrl::CKeyrowCtrlFactory::CKeyrowCtrlFactory()
    : CClassFactory(kKeyrowClsid, &CKeyrowCtrl::Create)
{
}

CKeyrowCtrl::CKeyrowCtrlFactory& CKeyrowCtrl::CKeyrowCtrlFactory::Instance()
{
    static CKeyrowCtrlFactory factory;
    return factory;
}

CKeyrowCtrl::CKeyrowCtrl()
    : CWindowedDispatchObject(KeyrowTypeLibrary(), kDKeyrowIid),
      m_events(static_cast<IDispatch*>(this), kDKeyrowEventsIid), m_logic(m_link)
{
    AddConnectionPoint(&m_events);
    ComModuleLock();
}

CKeyrowCtrl::~CKeyrowCtrl()
{
    m_events.UnadviseAll();
    for (const QMetaObject::Connection& c : m_connections)
        QObject::disconnect(c);
    if (CKeyrowWidget* window = m_link.Window()) {
        // The last reference can go inside a click handler; the clicked button's own handling
        // is then still on the stack, so the window goes once it has returned.
        if (window->IsDispatching()) {
            window->hide();
            window->deleteLater();
        } else {
            delete window;
        }
    }
    ComModuleUnlock();
}

IUnknown* CKeyrowCtrl::Create()
{
    return static_cast<IDispatch*>(new CKeyrowCtrl);
}

std::vector<CLSID> CKeyrowCtrl::PropertyPages()
{
    return {kKeyrowPropPageClsid};
}

HRESULT CKeyrowCtrl::CreateControlWindow(void* parentWindow, int x, int y, int width, int height,
                                         int childId, void** window)
{
    if (!window)
        return E_POINTER;
    *window = nullptr;
    if (!HaveApplication() || m_link.Window())
        return E_UNEXPECTED;
    auto* widget = new CKeyrowWidget(static_cast<QWidget*>(parentWindow));
    widget->setGeometry(x, y, std::max(0, width), std::max(0, height));
    widget->setProperty("childId", childId);
    m_link.Attach(widget);
    m_connections.push_back(QObject::connect(widget, &CKeyrowWidget::channelCommand, widget,
                                             [this](int id) { OnChannelCommand(id); }));
    m_connections.push_back(QObject::connect(widget, &CKeyrowWidget::allCommand, widget,
                                             [this] { OnAllCommand(); }));
    widget->show();
    *window = static_cast<QWidget*>(widget);
    return S_OK;
}

HRESULT CKeyrowCtrl::InvokeMember(const MemberInfo& member, uint16_t flags, DispParams& params,
                                  Variant* result)
{
    const std::vector<Variant>& args = params.args;
    switch (member.id) {
    case kDispAboutBox:
        return AboutBox();
    case kDispColumns:
        if (flags & DISPATCH_PROPERTYPUT)
            m_logic.SetColumns(args[0].lVal);
        else if (result)
            *result = Variant::I4(m_logic.GetColumns());
        return S_OK;
    case kDispGetBoundingSize: {
        const KeyrowSize size = m_logic.GetBoundingSize();
        *args[0].plVal = size.cx;
        *args[1].plVal = size.cy;
        return S_OK;
    }
    case kDispInitializeButtons:
        return InitializeButtonsFromBlock(args);
    case kDispSetSelectedChannels:
        m_logic.SelectChannels(VectorAt(args[0]), args[1].lVal);
        return S_OK;
    case kDispSetExistingChannels:
        m_logic.ShowChannels(VectorAt(args[0]));
        return S_OK;
    case kDispEnableControl:
        m_logic.EnableControl(args[0].boolVal != 0);
        return S_OK;
    case kDispGetVersion:
        *args[0].piVal = static_cast<int16_t>(kKeyrowLibMajor);
        *args[1].piVal = static_cast<int16_t>(kKeyrowLibMinor);
        return S_OK;
    case kDispSetTitle:
        m_logic.SetTitle(args[0].bstrVal, args[1].lVal);
        return S_OK;
    case kDispGetTitle:
        if (result)
            *result = Variant::Str(m_logic.GetTitle());
        return S_OK;
    case kDispGetHWIDFromIndex:
        if (result)
            *result = Variant::UI2(m_logic.GetHWIDFromIndex(args[0].uiVal));
        return S_OK;
    case kDispSelectionMode:
        if (flags & DISPATCH_PROPERTYPUT)
            m_logic.SetSelectionMode(args[0].lVal);
        else if (result)
            *result = Variant::I4(m_logic.GetSelectionMode());
        return S_OK;
    case kDispSetTitleType:
        m_logic.SetTitleType(args[0].lVal);
        return S_OK;
    case kDispSetQuadSelectionState:
        m_logic.SetQuadSelectionState(args[0].lVal);
        return S_OK;
    case kDispSetQuadStates:
        m_logic.ApplyQuadStates(VectorAt(args[0]), Widened(VectorAt(args[1])));
        return S_OK;
    case kDispSetExistingChannelsV: {
        std::vector<uint16_t> ids;
        if (const HRESULT hr = ReadUI2Array(args[0], &ids); FAILED(hr))
            return hr;
        m_logic.SetVFlag();
        m_logic.ShowChannels(ids);
        return S_OK;
    }
    case kDispSetQuadStatesV:
        return SetQuadStatesV(args);
    case kDispSetSelectedChannelsV: {
        std::vector<uint16_t> ids;
        if (const HRESULT hr = ReadUI2Array(args[0], &ids); FAILED(hr))
            return hr;
        m_logic.SetVFlag();
        m_logic.SelectChannels(ids, args[1].lVal);
        return S_OK;
    }
    case kDispInitializeButtonsV:
        return InitializeButtonsV(args);
    case kDispGetChannelState:
        if (result)
            *result = Variant::I4(m_logic.GetChannelState(args[0].lVal));
        return S_OK;
    case kDispSetToggleDefaultQuadState:
        m_logic.SetToggleDefaultQuadState(args[0].lVal);
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT CKeyrowCtrl::AboutBox()
{
    if (!HaveApplication())
        return E_UNEXPECTED;
    // The dialog runs its own loop: hold the object, and let the dialog die with its parent
    // window should a handler delete that meanwhile.
    ComPtr<IDispatch> self(static_cast<IDispatch*>(this));
    QPointer<CKeyrowAboutDlg> dialog = new CKeyrowAboutDlg(m_link.Window());
    dialog->exec();
    delete dialog;
    return S_OK;
}

HRESULT CKeyrowCtrl::InitializeButtonsFromBlock(const std::vector<Variant>& args)
{
    const auto* block = reinterpret_cast<const KeyrowNameBlock*>(args[0].plVal);
    m_logic.CreateButtons(CKeyrowLogic::NamesFromBlock(*block), args[1].lVal, args[2].lVal,
                          args[3].iVal, args[4].iVal);
    return S_OK;
}

HRESULT CKeyrowCtrl::InitializeButtonsV(const std::vector<Variant>& args)
{
    std::vector<std::string> names;
    if (const HRESULT hr = ReadStringArray(args[0], &names); FAILED(hr))
        return hr;
    m_logic.SetVFlag();
    m_logic.CreateButtons(names, args[1].lVal, args[2].lVal, args[3].iVal, args[4].iVal);
    return S_OK;
}

HRESULT CKeyrowCtrl::SetQuadStatesV(const std::vector<Variant>& args)
{
    std::vector<uint16_t> ids;
    std::vector<uint16_t> states;
    if (const HRESULT hr = ReadUI2Array(args[0], &ids); FAILED(hr))
        return hr;
    if (const HRESULT hr = ReadUI2Array(args[1], &states); FAILED(hr))
        return hr;
    m_logic.SetVFlag();
    m_logic.ApplyQuadStates(ids, Widened(states));
    return S_OK;
}

void CKeyrowCtrl::OnChannelCommand(int commandId)
{
    FireEvent(m_logic.OnChannelClicked(commandId));
}

void CKeyrowCtrl::OnAllCommand()
{
    FireEvent(m_logic.OnAllClicked());
}

void CKeyrowCtrl::FireEvent(const KeyrowEvent& event)
{
    CConnectionPoint& events = m_events;
    DispParams params;
    switch (event.kind) {
    case KeyrowEvent::Kind::None:
        return;
    case KeyrowEvent::Kind::ButtonClicked:
        params.args = {Variant::Bool(event.selected),
                       Variant::I2(static_cast<int16_t>(event.hwid))};
        events.Fire(kEvtButtonClicked, params);
        return;
    case KeyrowEvent::Kind::ButtonStateChanged:
        params.args = {Variant::I4(event.state), Variant::I2(static_cast<int16_t>(event.hwid))};
        events.Fire(kEvtFireButtonStateChanged, params);
        return;
    case KeyrowEvent::Kind::AllClicked: {
        // The vector lives here, valid during the call only.
        std::vector<uint16_t> hwids = event.hwids;
        params.args = {Variant::Bool(event.selected),
                       Variant::ByRefI4(reinterpret_cast<int32_t*>(&hwids))};
        events.Fire(kEvtFireAllClicked, params);
        return;
    }
    case KeyrowEvent::Kind::AllClickedV: {
        Variant array = MakeUI2Array(event.hwids);
        if (array.vt == VT_EMPTY)
            return;   // out of memory: no event rather than a wrong one
        params.args = {Variant::Bool(event.selected), Variant::ByRef(&array)};
        events.Fire(kEvtFireAllClickedV, params);
        VariantClear(&array);
        return;
    }
    }
}
