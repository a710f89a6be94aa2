#pragma once
// Base of every recording-settings class: a virtual destructor and a copy that the caller owns.

#include <memory>

class CMCloneObject
{
public:
    virtual ~CMCloneObject() = default;

    // A new object of the same class holding a copy of every setting.
    virtual std::unique_ptr<CMCloneObject> Clone() const = 0;

protected:
    CMCloneObject() = default;
    CMCloneObject(const CMCloneObject&) = default;
    CMCloneObject& operator=(const CMCloneObject&) = default;
};
