// The property page's COM object.

#include "keyrow/CKeyrowPropPageObject.h"

#include <QApplication>

#include "com/ComModule.h"
#include "keyrow/core/KeyrowIds.h"

CKeyrowPropPageObject::CKeyrowPropPageFactory::CKeyrowPropPageFactory()
    : CClassFactory(kKeyrowPropPageClsid, &CKeyrowPropPageObject::Create)
{
}

CKeyrowPropPageObject::CKeyrowPropPageFactory& CKeyrowPropPageObject::CKeyrowPropPageFactory::Instance()
{
    static CKeyrowPropPageFactory factory;
    return factory;
}

CKeyrowPropPageObject::CKeyrowPropPageObject()
{
    ComModuleLock();
}

CKeyrowPropPageObject::~CKeyrowPropPageObject()
{
    delete m_page.data();
    ComModuleUnlock();
}

IUnknown* CKeyrowPropPageObject::Create()
{
    return new CKeyrowPropPageObject;
}

HRESULT CKeyrowPropPageObject::QueryInterface(const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IWindowedControl)
        return ReturnInterface(static_cast<IWindowedControl*>(this), out);
    return E_NOINTERFACE;
}

HRESULT CKeyrowPropPageObject::CreateControlWindow(void* parentWindow, int x, int y, int, int,
                                                   int, void** window)
{
    if (!window)
        return E_POINTER;
    *window = nullptr;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || m_page)
        return E_UNEXPECTED;
    auto* page = new CKeyrowPropPage(static_cast<QWidget*>(parentWindow));
    page->move(x, y);   // the page keeps its template's size
    page->show();
    m_page = page;
    *window = static_cast<QWidget*>(page);
    return S_OK;
}
