#pragma once
// The button-panel control as an automation object: "_DKeyrow" by dispatch id over the type
// library table, the "_DKeyrowEvents" connection point, and its window (IWindowedControl). The
// state lives in the Qt-free CKeyrowLogic; the window may be deleted by its Qt parent first, and
// the object may go first too (it then deletes its window).

#include <vector>

#include <QMetaObject>

#include "com/CClassFactory.h"
#include "com/CConnectionPoint.h"
#include "com/CWindowedDispatchObject.h"
#include "keyrow/CKeyrowWindowLink.h"
#include "keyrow/core/CKeyrowLogic.h"

class CKeyrowCtrl : public CWindowedDispatchObject
{
public:
    // Makes the control objects; a static object of the library.
    class CKeyrowCtrlFactory : public CClassFactory
    {
    public:
        CKeyrowCtrlFactory();
        static CKeyrowCtrlFactory& Instance();
    };

    CKeyrowCtrl();

    // A new control holding one reference, for the class factory.
    static IUnknown* Create();
    // The property pages the control lists: exactly one, CKeyrowPropPage's class id.
    static std::vector<CLSID> PropertyPages();

    // Makes the panel window as a child of parentWindow (a QWidget*), shown. E_POINTER for a
    // null out, E_UNEXPECTED without a QApplication or when the window exists already.
    [[nodiscard]] HRESULT CreateControlWindow(void* parentWindow, int x, int y, int width, int height,
                                int childId, void** window) override;

protected:
    ~CKeyrowCtrl() override;
    [[nodiscard]] HRESULT InvokeMember(const MemberInfo& member, uint16_t flags, DispParams& params,
                         Variant* result) override;

private:
    [[nodiscard]] HRESULT AboutBox();
    [[nodiscard]] HRESULT InitializeButtonsFromBlock(const std::vector<Variant>& args);
    [[nodiscard]] HRESULT InitializeButtonsV(const std::vector<Variant>& args);
    [[nodiscard]] HRESULT SetQuadStatesV(const std::vector<Variant>& args);
    void OnChannelCommand(int commandId);
    void OnAllCommand();
    // Fires what a click decided. Nothing of the control is touched after the sinks ran: they
    // may have called back into it, or released it.
    void FireEvent(const KeyrowEvent& event);

    CConnectionPoint m_events;
    CKeyrowWindowLink m_link;
    CKeyrowLogic m_logic;
    std::vector<QMetaObject::Connection> m_connections;
};
