#include "datafile/events/CKVTAEvtBurstParameter.h"

float CKVTAEvtBurstParameter::GetValue(int i) const
{
    switch (i) {
    case 0:
        return static_cast<float>(Field<uint64_t>(22));
    case 1:
        return Field<float>(34);
    case 2:
        return static_cast<float>(Field<int32_t>(30));
    default:
        return 0.0f;
    }
}
