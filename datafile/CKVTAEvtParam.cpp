#include "datafile/CKVTAEvtParam.h"

#include "datafile/CKVTAStream.h"

CKVTAEvtParam::CKVTAEvtParam(CKVTAStream* stream) : CKVTAEvent(stream) {}

CKVTAEvtParam::~CKVTAEvtParam() = default;

bool CKVTAEvtParam::First()
{
    if (!m_info && m_stream) {
        m_info = m_stream->CreateInfo();
        const int perChannel = m_info ? m_info->GetParamBytesPerChannel() : -1;
        const int channels = m_stream->GetChannelCount();
        if (perChannel < 0 || channels < 0) {
            m_info.reset();
            return false;
        }
        m_valueBytes = static_cast<size_t>(perChannel) * static_cast<size_t>(channels);
    }
    return m_info && CKVTAEvent::First();
}

size_t CKVTAEvtParam::RecordSize(size_t offset) const
{
    const size_t size = 8 + m_valueBytes;
    return m_info && BytesFrom(offset) >= size ? size : 0;
}

bool CKVTAEvtParam::GetValues(int channel, std::vector<float>& out) const
{
    out.clear();
    if (!m_info || !m_stream || RecordSize(m_current) == 0)
        return false;
    return m_info->DecodeParamChannel(*m_stream, m_buffer + m_current + 8, m_valueBytes, channel, out);
}
