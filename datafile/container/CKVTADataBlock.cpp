#include "datafile/container/CKVTADataBlock.h"

#include <cstring>

#include "datafile/container/CFileReader.h"
#include "datafile/container/CKVTAChunkChain.h"
#include "datafile/container/CKVTAFileContext.h"
#include "platform/File64.h"

CKVTADataBlock::CKVTADataBlock(const KvtChunkInfo& chunk, CFileReader* file, uint64_t startReference)
    : m_startStamp(chunk.start, startReference),
      m_stopStamp(chunk.stop, startReference),
      m_payloadSize(chunk.payloadSize),
      m_payloadPosition(chunk.PayloadPosition()),
      m_file(file)
{
    std::memcpy(m_chunkId, &chunk.rawId, 8);
    m_chunkKey = chunk.key;
}

int64_t CKVTADataBlock::Read(uint8_t* buffer) const
{
    if (!m_file || m_payloadSize <= 0)
        return 0;
    if (!m_file->ReadAt(m_payloadPosition, buffer, static_cast<size_t>(m_payloadSize)))
        return 0;
    return m_payloadSize;
}

bool CKVTADataBlock::ReadPayload(std::vector<uint8_t>& out) const
{
    out.clear();
    if (!m_file || m_payloadSize < 0
        || !FitsInFile(m_payloadPosition, static_cast<uint64_t>(m_payloadSize), m_file->Length()))
        return false;
    out.resize(static_cast<size_t>(m_payloadSize));
    if (m_payloadSize > 0 && Read(out.data()) != m_payloadSize) {
        out.clear();
        return false;
    }
    return true;
}

std::unique_ptr<CKVTADataBlock> CKVTADataBlock::Clone() const
{
    auto copy = std::make_unique<CKVTADataBlock>();
    std::memcpy(copy->m_chunkId, m_chunkId, 8);
    copy->m_chunkKey = m_chunkKey;
    copy->m_payloadSize = m_payloadSize;
    copy->m_startStamp = m_startStamp;
    copy->m_stopStamp = m_stopStamp;
    if (!m_buffer.empty() || m_payloadSize == 0) {
        copy->m_buffer = m_buffer;
        return copy;
    }
    if (!ReadPayload(copy->m_buffer))
        return nullptr;
    return copy;
}

namespace {

// The first chunk of the chain at or after `offset` that is not damaged (chunks of no stream
// are copied as they are).
std::unique_ptr<CKVTADataBlock> ChunkStartingAt(CKVTAFileContext& file, uint64_t offset)
{
    CKVTAChunkChain* chain = file.GetChunkChain();
    size_t i = 0;
    if (!chain || !chain->FindFrom(offset, i))
        return nullptr;
    while (chain->IsDamaged(i))
        if (!chain->Has(++i))
            return nullptr;
    const KvtChunkInfo& chunk = chain->At(i);
    file.OnBlockHandedOut(chunk.start);
    return std::make_unique<CKVTADataBlock>(chunk, chain->Reader(), file.GetStartTime());
}

} // namespace

std::unique_ptr<CKVTADataBlock> KvtGetFirstChunk(CKVTAFileContext& file)
{
    CKVTAChunkChain* chain = file.GetChunkChain();
    return chain ? ChunkStartingAt(file, chain->DataStart()) : nullptr;
}

std::unique_ptr<CKVTADataBlock> KvtGetNextChunk(CKVTAFileContext& file, const CKVTADataBlock& block)
{
    // Past a damaged head the chain goes on at the next sound one, further on than the end.
    return ChunkStartingAt(file, block.GetEnd());
}
