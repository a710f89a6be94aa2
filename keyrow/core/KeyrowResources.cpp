// The control's string table.

#include "keyrow/core/KeyrowResources.h"

std::string KeyrowString(int id)
{
    switch (id) {
    case kIdsKeyrowTypeName:
        return "Keyrow Control";
    case kIdsKeyrowPropPageTypeName:
        return "Keyrow Property Page";
    case kIdsKeyrowPropPageCaption:
        return "General";
    default:
        return std::string();
    }
}
