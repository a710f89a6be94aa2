#pragma once
// Cursor over burst-parameter records ("bstparam").

#include "datafile/events/CKVTAEvent.h"

class CKVTAEvtBurstParameter : public CKVTAEvent
{
public:
    explicit CKVTAEvtBurstParameter(CKVTAStream* stream) : CKVTAEvent(stream) {}

    int GetDataSize() const override { return 24; }
    uint16_t GetChannelId() const override { return Field<uint16_t>(8); }
    void SetChannelId(uint16_t id) override { SetField<uint16_t>(8, id); }
    int64_t GetTime1() const { return Field<int64_t>(14); }
    // 0: value A; 1: value B; 2: value C; else 0.
    float GetValue(int i) const;

protected:
    size_t RecordSize(size_t offset) const override { return BytesFrom(offset) >= 38 ? 38 : 0; }
};
