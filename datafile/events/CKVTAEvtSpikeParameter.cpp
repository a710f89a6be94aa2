#include "datafile/events/CKVTAEvtSpikeParameter.h"

size_t CKVTAEvtSpikeParameter::RecordSize(size_t offset) const
{
    const size_t size = m_version >= 2 ? 34 : 26;
    return BytesFrom(offset) >= size ? size : 0;
}

float CKVTAEvtSpikeParameter::GetValue(int i) const
{
    switch (i) {
    case 0:
        return static_cast<float>(Field<uint64_t>(14));
    case 1:
        return Field<float>(22);
    case 2:
        if (m_version < 2)
            return 0.0f;
        // The difference is exact in 64 bits; only the result is rounded.
        return static_cast<float>(static_cast<double>(static_cast<int64_t>(Field<uint64_t>(26) - m_stamp.GetStart())));
    default:
        return 0.0f;
    }
}
