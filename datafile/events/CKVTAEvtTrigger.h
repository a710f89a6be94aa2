#pragma once
// Cursor over trigger events ("trigger").

#include "datafile/events/CKVTAEvent.h"

class CKVTAEvtTrigger : public CKVTAEvent
{
public:
    explicit CKVTAEvtTrigger(CKVTAStream* stream) : CKVTAEvent(stream) {}

    int GetDataSize() const override { return m_version >= 6 ? 14 : m_version == 5 ? 6 : 2; }
    uint16_t GetId() const { return Field<uint16_t>(8); }
    // Values 1 (from stream header version 5), 2 and 3 (from 6); 0 when absent.
    uint32_t GetValue1() const { return m_version >= 5 ? Field<uint32_t>(10) : 0; }
    uint32_t GetValue2() const { return m_version >= 6 ? Field<uint32_t>(14) : 0; }
    uint32_t GetValue3() const { return m_version >= 6 ? Field<uint32_t>(18) : 0; }

protected:
    size_t RecordSize(size_t offset) const override
    {
        const size_t size = 8 + static_cast<size_t>(GetDataSize());
        return BytesFrom(offset) >= size ? size : 0;
    }
};
