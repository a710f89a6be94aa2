#include "datafile/events/CKVTAEvtAverage.h"

#include <algorithm>

CKVTAEvtAverage::CKVTAEvtAverage(CKVTAStream* stream) : CKVTAEvent(stream), m_countAt(m_version < 5 ? 12 : 14) {}

size_t CKVTAEvtAverage::RecordSize(size_t offset) const
{
    const size_t left = BytesFrom(offset);
    const size_t head = m_countAt + 4;
    if (left < head)
        return 0;
    const int32_t count = LoadLE<int32_t>(m_buffer + offset + m_countAt);
    if (count < 0 || static_cast<size_t>(count) > (left - head) / 2)
        return 0;
    return head + 2 * static_cast<size_t>(count);
}

int CKVTAEvtAverage::GetSamples(uint16_t* out, int max) const
{
    const int n = std::max(0, std::min(GetSampleCount(), max));
    for (int i = 0; i < n; ++i)
        out[i] = Field<uint16_t>(m_countAt + 4 + 2 * static_cast<size_t>(i));
    return n;
}
