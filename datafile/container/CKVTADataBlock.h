#pragma once
// One data chunk in memory: its time span, where its payload lies, its stream and chunk id.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "datafile/container/CKVTATimeStamp.h"

class CFileReader;
class CKVTAFileContext;
class CKVTAStream;
struct KvtChunkInfo;

class CKVTADataBlock
{
public:
    CKVTADataBlock() = default;
    // A block for a chunk of the chain: stamps take `startReference`.
    CKVTADataBlock(const KvtChunkInfo& chunk, CFileReader* file, uint64_t startReference);

    CKVTATimeStamp& GetStartStamp() { return m_startStamp; }
    const CKVTATimeStamp& GetStartStamp() const { return m_startStamp; }
    CKVTATimeStamp& GetStopStamp() { return m_stopStamp; }
    const CKVTATimeStamp& GetStopStamp() const { return m_stopStamp; }
    uint64_t GetStartTime() const { return m_startStamp.GetTime(); }
    uint64_t GetStopTime() const { return m_stopStamp.GetTime(); }

    int64_t GetPayloadSize() const { return m_payloadSize; }
    uint64_t GetPayloadPosition() const { return m_payloadPosition; }
    // File offset of the chunk id (payload position - 32).
    uint64_t GetChunkOffset() const { return m_payloadPosition >= 32 ? m_payloadPosition - 32 : 0; }
    uint64_t GetEnd() const { return m_payloadPosition + static_cast<uint64_t>(m_payloadSize); }
    // The chunk id as read (8 bytes, case kept).
    std::string GetChunkId() const { return std::string(m_chunkId, 8); }
    const char* GetChunkIdBytes() const { return m_chunkId; }
    // The key of the stream the chunk belongs to: its id's, or the stream's whose id a damaged
    // id byte hid, where the account mended it (see CKVTAChunkChain::MakeKey).
    uint64_t GetChunkKey() const { return m_chunkKey; }

    CKVTAStream* GetStream() const { return m_stream; }
    void SetStream(CKVTAStream* stream) { m_stream = stream; }
    CFileReader* GetFile() const { return m_file; }

    // Reads the whole payload into `buffer` (room for the payload size). Returns the payload
    // size, 0 when the payload is not all in the file or the read fails.
    [[nodiscard]] int64_t Read(uint8_t* buffer) const;
    // Same into a vector sized by the payload; false (vector empty) on failure. Nothing is
    // allocated for a payload that the file does not hold.
    [[nodiscard]] bool ReadPayload(std::vector<uint8_t>& out) const;

    // A copy with chunk id, payload size, both stamps and the payload loaded into its buffer;
    // position, file and stream are not copied. NULL when the payload cannot be read whole,
    // so a truncated chunk never turns into data.
    std::unique_ptr<CKVTADataBlock> Clone() const;
    // The loaded payload of a clone (empty otherwise).
    std::vector<uint8_t>& GetBuffer() { return m_buffer; }

private:
    CKVTATimeStamp m_startStamp;
    CKVTATimeStamp m_stopStamp;
    int64_t m_payloadSize = 0;
    uint64_t m_payloadPosition = 0;
    CFileReader* m_file = nullptr;
    CKVTAStream* m_stream = nullptr;
    char m_chunkId[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    uint64_t m_chunkKey = 0;
    std::vector<uint8_t> m_buffer;
};

// The file-level walk over the trusted data chunks in file order, whatever their stream (the
// merge copies chunks this way). Blocks are new and belong to the caller; their stream is NULL.
// The chain's first trusted chunk: the one at the data start, or behind a damaged head there
// the first sound one (as every stream's walk finds it); NULL when the chain holds none.
std::unique_ptr<CKVTADataBlock> KvtGetFirstChunk(CKVTAFileContext& file);
// The chain's next trusted chunk behind `block`: the one right behind it, or past a damaged
// head the next sound one, where the chain goes on (as every stream's walk does); NULL at the index
// position, at the end of the file or of the chain. The given block stays the caller's.
std::unique_ptr<CKVTADataBlock> KvtGetNextChunk(CKVTAFileContext& file, const CKVTADataBlock& block);
