#pragma once
// Cursor over spike-parameter records ("spkparam").

#include "datafile/events/CKVTAEvent.h"

class CKVTAEvtSpikeParameter : public CKVTAEvent
{
public:
    explicit CKVTAEvtSpikeParameter(CKVTAStream* stream) : CKVTAEvent(stream) {}

    int GetDataSize() const override { return m_version >= 2 ? 20 : 12; }
    uint16_t GetChannelId() const override { return Field<uint16_t>(8); }
    void SetChannelId(uint16_t id) override { SetField<uint16_t>(8, id); }
    // 0: value A; 1: value B; 2 (from version 2): value C minus the recording start; else 0.
    float GetValue(int i) const;

protected:
    size_t RecordSize(size_t offset) const override;
};
