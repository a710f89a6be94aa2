#pragma once
// Cursor over the records that one stream stores in its data chunks, and the factory that makes
// the cursor of a block's stream kind.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "datafile/container/CKVTADataBlock.h"
#include "datafile/container/CKVTATimeStamp.h"
#include "platform/CByteReader.h"

class CKVTAStream;

// Used as First, then Next until false. A record is used only when it lies whole inside its
// block and its counts are sane; at the first record that does not, the rest of that block is
// dropped and Next goes on with the stream's next block (blocks without records are skipped).
// After Next has returned false at the end of the stream it keeps returning false; the getters
// still describe the last record.
class CKVTAEvent
{
public:
    virtual ~CKVTAEvent();
    CKVTAEvent(const CKVTAEvent&) = delete;
    CKVTAEvent& operator=(const CKVTAEvent&) = delete;

    // Positions on the first record of the current buffer; false when it has none.
    [[nodiscard]] virtual bool First();
    // Moves to the next record, across blocks of a cursor that owns its buffer; a cursor made on
    // a caller's buffer stops at the end of that buffer.
    [[nodiscard]] virtual bool Next();
    [[nodiscard]] bool NextEvent() { return Next(); }
    // Moves the current record's time by ns, in the buffer (for the merge).
    virtual void ShiftTime(int64_t ns);
    // False for raw frames, which carry no record of their own.
    virtual bool IsValid() const { return true; }
    // Bytes of the current record after its head.
    virtual int GetDataSize() const { return 0; }
    virtual uint16_t GetChannelId() const { return 0; }
    // Writes the channel id into the current record (kinds that have one).
    virtual void SetChannelId(uint16_t id) { (void)id; }
    // Moves on while the record time is before t; false when the records ran out first (the
    // cursor then stays on the last record).
    [[nodiscard]] virtual bool AdvanceTo(uint64_t t);

    const CKVTATimeStamp& GetTimeStamp() const { return m_stamp; }
    int32_t GetSecondsSinceStart() const { return m_stamp.GetSecondsSinceStart(); }
    int32_t GetMilliseconds() const { return m_stamp.GetMilliseconds(); }
    int32_t GetMicroseconds() const { return m_stamp.GetMicroseconds(); }
    int32_t GetNanoseconds() const { return m_stamp.GetNanoseconds(); }
    CKVTAStream* GetStream() const { return m_stream; }
    const CKVTADataBlock* GetBlock() const { return m_block; }
    bool OwnsBuffer() const { return m_ownsBuffer; }
    // Offset of the current record in the block's payload.
    size_t GetRecordOffset() const { return m_current; }

    // Set up by the factory: on the block's own payload (read here; the block moves into the
    // cursor on success) or on a caller's buffer (the cursor owns neither buffer nor block).
    [[nodiscard]] bool AttachOwned(std::unique_ptr<CKVTADataBlock>& block);
    [[nodiscard]] bool AttachExternal(CKVTADataBlock& block, uint8_t* buffer, size_t size);

protected:
    explicit CKVTAEvent(CKVTAStream* stream);

    // Size of a whole valid record at `offset`, 0 when none starts there.
    virtual size_t RecordSize(size_t offset) const = 0;
    // A record became current: the kinds with a time read it here.
    virtual void OnRecord();
    // Loads the stream's next block that has records; false at the end of the stream.
    [[nodiscard]] bool LoadNextBlock();

    template <class T>
    T Field(size_t offset) const
    {
        return LoadLE<T>(m_buffer + m_current + offset);
    }
    template <class T>
    void SetField(size_t offset, T value)
    {
        StoreLE<T>(m_buffer + m_current + offset, value);
    }
    // Bytes from `offset` to the end of the buffer (0 past it).
    size_t BytesFrom(size_t offset) const { return offset < m_size ? m_size - offset : 0; }

    CKVTAStream* m_stream;
    int m_version = 0;       // stream header version
    CKVTADataBlock* m_block = nullptr;
    std::unique_ptr<CKVTADataBlock> m_ownedBlock;
    bool m_ownsBuffer = true;
    std::vector<uint8_t> m_ownBuffer;
    std::vector<uint8_t> m_spare;
    uint8_t* m_buffer = nullptr;
    size_t m_size = 0;
    size_t m_current = 0;
    size_t m_next = 0;
    bool m_ended = false;
    CKVTATimeStamp m_stamp;
};

// The cursor of the block's stream kind (by exact buffer type), positioned on its first record.
// NULL for an unknown type, an empty or unreadable payload or a block without records; the
// block then stays with the caller, else it moves into the cursor.
std::unique_ptr<CKVTAEvent> KvtCreateEvent(std::unique_ptr<CKVTADataBlock>& block);
// The same on a caller's buffer holding the block's payload; the cursor owns neither, so buffer
// and block must outlive it.
std::unique_ptr<CKVTAEvent> KvtCreateEvent(CKVTADataBlock& block, uint8_t* buffer, size_t size);
