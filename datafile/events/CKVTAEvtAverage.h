#pragma once
// Cursor over averaged responses ("average"): time and samples.

#include "datafile/events/CKVTAEvent.h"

class CKVTAEvtAverage : public CKVTAEvent
{
public:
    explicit CKVTAEvtAverage(CKVTAStream* stream);

    int GetDataSize() const override { return 2 * GetSampleCount(); }
    int32_t GetSampleCount() const { return Field<int32_t>(m_countAt); }
    // The record's channel id. GetChannelId stays 0 for averages, as the merge expects.
    uint16_t GetChannel() const { return Field<uint16_t>(8); }
    // Copies at most `max` samples; returns the number copied.
    int GetSamples(uint16_t* out, int max) const;

protected:
    size_t RecordSize(size_t offset) const override;

private:
    size_t m_countAt;  // 12 below stream header version 5, else 14
};
