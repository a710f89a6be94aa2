#include "datafile/events/CKVTAEvtRaw.h"

#include "datafile/container/CKVTAStream.h"

CKVTAEvtRaw::CKVTAEvtRaw(CKVTAStream* stream)
    : CKVTAEvent(stream),
      m_frameBytes(stream && stream->GetChannelCount() > 0 ? 2 * static_cast<size_t>(stream->GetChannelCount()) : 0)
{
    const int32_t rate = stream ? stream->GetSampleRateMilliHz() : 0;
    // Whole microseconds per frame: 40 us at 25 kHz, 333 us at 3 kHz.
    m_step = rate > 0 ? (1000000000u / static_cast<uint32_t>(rate)) * 1000u : 0;
}

size_t CKVTAEvtRaw::RecordSize(size_t offset) const
{
    // No channels means no frames: a zero frame size would never reach the end.
    return m_frameBytes != 0 && BytesFrom(offset) >= m_frameBytes ? m_frameBytes : 0;
}

bool CKVTAEvtRaw::First()
{
    m_current = 0;
    m_next = m_frameBytes;
    return RecordSize(0) != 0;
}

bool CKVTAEvtRaw::Next()
{
    if (!m_block || m_ended)
        return false;
    if (RecordSize(m_next) != 0) {
        m_current = m_next;
        m_next += m_frameBytes;
        m_stamp.SetTime(m_stamp.GetTime() + m_step);
        return true;
    }
    return m_ownsBuffer && LoadNextBlock();
}

bool CKVTAEvtRaw::AdvanceTo(uint64_t t)
{
    while (m_stamp.GetTime() < t) {
        const size_t framesLeft = m_frameBytes ? BytesFrom(m_next) / m_frameBytes : 0;
        if (framesLeft == 0) {
            if (!Next())
                return false;
            continue;
        }
        uint64_t jump = framesLeft;
        if (m_step != 0) {
            // Rounded up without adding first: near the largest time the sum would wrap to a
            // jump of 0, and the loop would never move.
            const uint64_t gap = t - m_stamp.GetTime();
            const uint64_t needed = gap / m_step + (gap % m_step != 0 ? 1 : 0);
            jump = needed < framesLeft ? needed : framesLeft;
        }
        m_current = m_next + (jump - 1) * m_frameBytes;
        m_next = m_current + m_frameBytes;
        m_stamp.SetTime(m_stamp.GetTime() + jump * m_step);
    }
    return true;
}
