#pragma once
// Cursor over spike cutouts ("spikes"): time, channel id, pre-trigger, words and samples.

#include "datafile/events/CKVTAEvent.h"

class CKVTAEvtSpike : public CKVTAEvent
{
public:
    explicit CKVTAEvtSpike(CKVTAStream* stream);

    int GetDataSize() const override { return 2 * GetSampleCount(); }
    uint16_t GetChannelId() const override { return Field<uint16_t>(8); }
    void SetChannelId(uint16_t id) override { SetField<uint16_t>(8, id); }

    int32_t GetSampleCount() const { return Field<int32_t>(m_countAt); }
    // u16 below stream header version 8, u32 from 8.
    int32_t GetPreTrigger() const;
    // 0 below version 5.
    int GetWord3() const { return m_version >= 5 ? Field<uint16_t>(12 + (m_version >= 8 ? 2 : 0)) : 0; }
    // Copies at most `max` samples; returns the number copied.
    int GetSamples(uint16_t* out, int max) const;

protected:
    size_t RecordSize(size_t offset) const override;

private:
    size_t m_countAt;  // offset of the i32 sample count; the samples follow it
};
