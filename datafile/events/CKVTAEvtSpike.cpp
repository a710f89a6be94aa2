#include "datafile/events/CKVTAEvtSpike.h"

#include <algorithm>

namespace {

// Offset of the sample count by stream header version; the head ends 4 bytes later.
size_t SampleCountAt(int version)
{
    if (version < 5)
        return 12;
    if (version == 5)
        return 14;
    return version < 8 ? 16 : 18;
}

// A cutout record: the head, then a sample count of u16 samples, all inside the buffer.
size_t CutoutRecordSize(const uint8_t* buffer, size_t bytesLeft, size_t countAt)
{
    const size_t head = countAt + 4;
    if (bytesLeft < head)
        return 0;
    const int32_t count = LoadLE<int32_t>(buffer + countAt);
    if (count < 0 || static_cast<size_t>(count) > (bytesLeft - head) / 2)
        return 0;
    return head + 2 * static_cast<size_t>(count);
}

} // namespace

CKVTAEvtSpike::CKVTAEvtSpike(CKVTAStream* stream) : CKVTAEvent(stream), m_countAt(SampleCountAt(m_version)) {}

size_t CKVTAEvtSpike::RecordSize(size_t offset) const
{
    const size_t left = BytesFrom(offset);
    return left ? CutoutRecordSize(m_buffer + offset, left, m_countAt) : 0;
}

int32_t CKVTAEvtSpike::GetPreTrigger() const
{
    return m_version >= 8 ? static_cast<int32_t>(Field<uint32_t>(10)) : Field<uint16_t>(10);
}

int CKVTAEvtSpike::GetSamples(uint16_t* out, int max) const
{
    const int n = std::max(0, std::min(GetSampleCount(), max));
    for (int i = 0; i < n; ++i)
        out[i] = Field<uint16_t>(m_countAt + 4 + 2 * static_cast<size_t>(i));
    return n;
}
