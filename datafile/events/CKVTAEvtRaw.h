#pragma once
// Cursor over the sample frames of a raw stream ("analog", "digital", "filter", "chat").

#include "datafile/events/CKVTAEvent.h"

// A record is one frame of channel-count u16 values; it carries no time: the block's start is
// the time of its first frame and each frame adds whole microseconds of the sample period.
class CKVTAEvtRaw : public CKVTAEvent
{
public:
    explicit CKVTAEvtRaw(CKVTAStream* stream);

    [[nodiscard]] bool First() override;
    [[nodiscard]] bool Next() override;
    void ShiftTime(int64_t ns) override { (void)ns; }
    bool IsValid() const override { return false; }
    int GetDataSize() const override { return static_cast<int>(m_frameBytes); }
    // Jumps frames in one step within a block; the same record as Next one frame at a time.
    [[nodiscard]] bool AdvanceTo(uint64_t t) override;

    // Time from one frame to the next in ns (0 when the rate is not positive).
    uint64_t GetFrameStep() const { return m_step; }

protected:
    size_t RecordSize(size_t offset) const override;
    void OnRecord() override {}

private:
    size_t m_frameBytes;
    uint64_t m_step;
};
