#include "com/CWindowedDispatchObject.h"

HRESULT CWindowedDispatchObject::QueryOtherInterface(const IID& iid, void** out)
{
    if (iid == IID_IWindowedControl)
        return ReturnInterface(static_cast<IWindowedControl*>(this), out);
    return E_NOINTERFACE;
}
