#include "datafile/events/CKVTAEvent.h"

#include "datafile/container/CKVTAStream.h"
#include "datafile/events/CKVTAEvtAverage.h"
#include "datafile/events/CKVTAEvtBurstParameter.h"
#include "datafile/events/CKVTAEvtParam.h"
#include "datafile/events/CKVTAEvtRaw.h"
#include "datafile/events/CKVTAEvtSpike.h"
#include "datafile/events/CKVTAEvtSpikeParameter.h"
#include "datafile/events/CKVTAEvtTrigger.h"

CKVTAEvent::CKVTAEvent(CKVTAStream* stream) : m_stream(stream)
{
    const int version = stream ? stream->GetHeaderVersion() : 0;
    m_version = version < 0 ? 0 : version;
}

CKVTAEvent::~CKVTAEvent() = default;

bool CKVTAEvent::AttachOwned(std::unique_ptr<CKVTADataBlock>& block)
{
    if (!block || block->GetPayloadSize() <= 0 || !block->ReadPayload(m_ownBuffer))
        return false;
    m_ownsBuffer = true;
    m_buffer = m_ownBuffer.data();
    m_size = m_ownBuffer.size();
    m_block = block.get();
    m_stamp = block->GetStartStamp();
    if (!First()) {
        m_block = nullptr;
        return false;
    }
    m_ownedBlock = std::move(block);
    return true;
}

bool CKVTAEvent::AttachExternal(CKVTADataBlock& block, uint8_t* buffer, size_t size)
{
    if (!buffer || size == 0)
        return false;
    m_ownsBuffer = false;
    m_buffer = buffer;
    m_size = size;
    m_block = &block;
    m_stamp = block.GetStartStamp();
    return First();
}

bool CKVTAEvent::First()
{
    m_current = 0;
    const size_t size = RecordSize(0);
    if (size == 0)
        return false;
    m_next = size;
    OnRecord();
    return true;
}

void CKVTAEvent::OnRecord()
{
    m_stamp.SetTime(Field<uint64_t>(0));
}

bool CKVTAEvent::Next()
{
    if (!m_block || m_ended)
        return false;
    const size_t size = RecordSize(m_next);
    if (size != 0) {
        m_current = m_next;
        m_next += size;
        OnRecord();
        return true;
    }
    return m_ownsBuffer && LoadNextBlock();
}

bool CKVTAEvent::LoadNextBlock()
{
    if (!m_stream || !m_block)
        return false;
    // Blocks are read into the spare buffer and tried there: until one has a record, the last
    // record stays where the getters read it, even when the stream ends after blocks without.
    const size_t current = m_current;
    const size_t following = m_next;
    const CKVTATimeStamp stamp = m_stamp;
    std::unique_ptr<CKVTADataBlock> tried;
    for (;;) {
        std::unique_ptr<CKVTADataBlock> next = m_stream->GetNextChunk(tried ? *tried : *m_block);
        if (!next || !next->ReadPayload(m_spare)) {
            m_ownedBlock.reset();
            m_block = nullptr;
            m_ended = true;
            return false;
        }
        m_ownBuffer.swap(m_spare);
        m_buffer = m_ownBuffer.data();
        m_size = m_ownBuffer.size();
        m_stamp = next->GetStartStamp();
        if (First()) {
            m_ownedBlock = std::move(next);
            m_block = m_ownedBlock.get();
            return true;
        }
        m_ownBuffer.swap(m_spare);
        m_buffer = m_ownBuffer.data();
        m_size = m_ownBuffer.size();
        m_current = current;
        m_next = following;
        m_stamp = stamp;
        tried = std::move(next);
    }
}

void CKVTAEvent::ShiftTime(int64_t ns)
{
    if (!m_buffer || RecordSize(m_current) == 0)
        return;
    const uint64_t time = Field<uint64_t>(0) + static_cast<uint64_t>(ns);
    SetField<uint64_t>(0, time);
    m_stamp.SetTime(time);
}

bool CKVTAEvent::AdvanceTo(uint64_t t)
{
    while (m_stamp.GetTime() < t)
        if (!Next())
            return false;
    return true;
}

namespace {

std::unique_ptr<CKVTAEvent> MakeCursor(CKVTAStream* stream)
{
    if (!stream)
        return nullptr;
    const std::string type = stream->GetBufferType();
    if (type == "analog" || type == "digital" || type == "chat" || type == "filter")
        return std::make_unique<CKVTAEvtRaw>(stream);
    if (type == "params")
        return std::make_unique<CKVTAEvtParam>(stream);
    if (type == "trigger")
        return std::make_unique<CKVTAEvtTrigger>(stream);
    if (type == "spikes")
        return std::make_unique<CKVTAEvtSpike>(stream);
    if (type == "spkparam")
        return std::make_unique<CKVTAEvtSpikeParameter>(stream);
    if (type == "bstparam")
        return std::make_unique<CKVTAEvtBurstParameter>(stream);
    if (type == "average")
        return std::make_unique<CKVTAEvtAverage>(stream);
    return nullptr;
}

} // namespace

std::unique_ptr<CKVTAEvent> KvtCreateEvent(std::unique_ptr<CKVTADataBlock>& block)
{
    std::unique_ptr<CKVTAEvent> cursor = block ? MakeCursor(block->GetStream()) : nullptr;
    if (!cursor || !cursor->AttachOwned(block))
        return nullptr;
    return cursor;
}

std::unique_ptr<CKVTAEvent> KvtCreateEvent(CKVTADataBlock& block, uint8_t* buffer, size_t size)
{
    std::unique_ptr<CKVTAEvent> cursor = MakeCursor(block.GetStream());
    if (!cursor || !cursor->AttachExternal(block, buffer, size))
        return nullptr;
    return cursor;
}
