#include "datafile/events/CKVTAEvtParam.h"

#include "datafile/container/CKVTAStream.h"
#include "datafile/settings/KvtParamRecordDecoder.h"

CKVTAEvtParam::CKVTAEvtParam(CKVTAStream* stream) : CKVTAEvent(stream) {}

CKVTAEvtParam::~CKVTAEvtParam() = default;

bool CKVTAEvtParam::First()
{
    if (!m_info && m_stream) {
        std::unique_ptr<CKVTAInfo> info = m_stream->CreateInfo();
        auto* param = dynamic_cast<CKVTAInfoParam*>(info.get());
        const int channels = m_stream->GetChannelCount();
        if (!param || channels < 0)
            return false;
        info.release();
        m_info.reset(param);
        m_valueBytes = static_cast<size_t>(m_info->GetBytesPerChannel()) * static_cast<size_t>(channels);
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
    KvtParamRecordDecoder decoder(*m_info, m_stream->GetChannelCount(), m_stream->GetAdcZero(),
                                  m_stream->GetVoltsPerStep(), m_stream->GetHeaderVersion());
    decoder.SetRecord(m_buffer + m_current + 8, m_valueBytes);
    return decoder.DecodeChannel(channel, out) == 1;
}
