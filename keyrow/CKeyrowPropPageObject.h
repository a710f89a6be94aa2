#pragma once
// The property page as a COM object of its own class: it answers IUnknown and IWindowedControl,
// whose window is a CKeyrowPropPage. No property frame hosts it here; a host may still show it.


#include <QPointer>

#include "com/CClassFactory.h"
#include "com/Unknown.h"
#include "keyrow/CKeyrowPropPage.h"

class CKeyrowPropPageObject : public CRefCounted<IWindowedControl>
{
public:
    class CKeyrowPropPageFactory : public CClassFactory
    {
    public:
        CKeyrowPropPageFactory();
        static CKeyrowPropPageFactory& Instance();
    };

    CKeyrowPropPageObject();
    static IUnknown* Create();

    [[nodiscard]] HRESULT QueryInterface(const IID& iid, void** out) override;
    // The page as a child of parentWindow; E_UNEXPECTED without a QApplication or a second time.
    [[nodiscard]] HRESULT CreateControlWindow(void* parentWindow, int x, int y, int width, int height,
                                int childId, void** window) override;

protected:
    ~CKeyrowPropPageObject() override;

private:
    QPointer<CKeyrowPropPage> m_page;
};
