#pragma once
// An automation object that also makes its own window (IWindowedControl): the base of controls.

#include "com/CDispatchObject.h"

class CWindowedDispatchObject : public CDispatchObject, public IWindowedControl
{
public:
    using CDispatchObject::CDispatchObject;

    COM_FORWARD_IUNKNOWN(CDispatchObject)

protected:
    // Answers IID_IWindowedControl; a derived class that adds more calls this for the rest.
    [[nodiscard]] HRESULT QueryOtherInterface(const IID& iid, void** out) override;
};
