#pragma once
// The chain of data chunks of one file, scanned once, on demand, and shared by all its streams.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "datafile/container/CFileReader.h"

// One data chunk as its header describes it.
struct KvtChunkInfo
{
    uint64_t offset = 0;      // file offset of the chunk id
    int64_t payloadSize = 0;  // size field - 16, never negative here
    uint64_t start = 0;       // ns
    uint64_t stop = 0;        // ns
    uint64_t rawId = 0;       // the 8 id bytes as read (little-endian load)

    uint64_t PayloadPosition() const { return offset + 32; }
    uint64_t End() const { return PayloadPosition() + static_cast<uint64_t>(payloadSize); }
};

// Bytes of the data that the chain could not read: from a damaged head to the next sound one,
// or to the end of the data when none follows.
struct KvtLostSpan
{
    uint64_t from = 0;       // file offset of the damaged head
    uint64_t to = 0;         // where the chain went on, or the end of the data
    uint64_t headStop = 0;   // the damaged head's stop field as read (a claim, not a fact)
    size_t nextChunk = 0;    // file-order index of the first chunk behind it (the count: none)
};

// All streams of a file follow one chain of chunk headers: every chunk, whatever its stream,
// is skipped by its size. The chain is read header by header from the data start, only as far as
// a caller has asked, and every header is read once per Reset; each stream then finds its chunks
// in its own list. The chain ends at the index position (when not 0) and at the end of the file.
// A header whose size field is below 16 or runs past the end of the file is damaged: that chunk
// is dropped and the chain goes on at the next place behind it that holds the header of a known
// chunk id (one of the file's streams, or one seen before), whose own size fits and which is
// followed by another such header (or by the end of the data). The search only moves forward: a
// corrupt size can neither loop nor walk backwards, and without such a place the chain ends
// there. Every stretch skipped that way is kept as lost, so that readers can tell the data that
// ends early from the data that was cut off.
class CKVTAChunkChain
{
public:
    // Chunk ids compare after upper-casing: the key of an id is its upper-cased 8 bytes.
    using Key = uint64_t;
    static Key MakeKey(const char* id8);

    // Starts over on `file` from dataStart; the reader's length bounds every chunk.
    void Reset(CFileReader* file, uint64_t dataStart, uint64_t indexPosition);
    // A stream's chunk id (8 bytes), so that the chain can go on at its chunks behind a damaged
    // head before any of them was read (the first chunk of the file may be the damaged one).
    void KnowStreamId(const std::string& id8);
    CFileReader* Reader() const { return m_file; }
    uint64_t DataStart() const { return m_dataStart; }

    // File order, all streams: true when chunk i exists (scanning on as far as needed).
    bool Has(size_t i);
    const KvtChunkInfo& At(size_t i) const { return m_chunks[i]; }
    // The first chunk at or after `offset`; false when none.
    [[nodiscard]] bool FindFrom(uint64_t offset, size_t& i);

    // One stream's chunks: true when its n-th chunk exists; `i` is then its file-order index.
    [[nodiscard]] bool HasOfKey(Key key, size_t n, size_t& i);
    // The first chunk of `key` at or after `offset`; n is its position in the key's list.
    [[nodiscard]] bool FindOfKeyFrom(Key key, uint64_t offset, size_t& n);
    // The first chunk of `key` at list position >= first whose stop time is after t (unsigned):
    // the block a linear walk from `first` would stop at. Binary search while the key's stop
    // times are non-decreasing, else a linear walk.
    [[nodiscard]] bool FindStopAfter(Key key, size_t first, uint64_t t, size_t& n);
    size_t IndexOfKey(Key key, size_t n) const;

    bool Complete() const { return m_complete; }
    // Scans to the end of the chain.
    void ScanAll();
    // The stretches the chain could not read, in file order (scanning to the end first).
    const std::vector<KvtLostSpan>& LostSpans();
    // True when some bytes behind `offset` could not be read (scanning to the end first).
    bool LostBehind(uint64_t offset);
    // True when bytes behind the last chunk of `key` could not be read: they may have held the
    // rest of its data (any lost bytes count for a key without chunks).
    bool LostBehindKey(Key key);
    // The lost stretch behind the last chunk read: the data broke off there. NULL when the chain
    // ends with a chunk (scanning to the end first).
    const KvtLostSpan* LostTail();
    // True when the time a lost stretch may cover (from the start of the chunk before it to the
    // end of the chunk behind it, or without either from 0 or to the end of time) meets
    // [from, to] (scanning to the end first).
    bool LostTimeMeets(uint64_t from, uint64_t to);
    size_t HeadersRead() const { return m_headersRead; }

private:
    struct KeyList
    {
        std::vector<size_t> chunks;  // file-order indexes
        bool stopsSorted = true;
    };

    [[nodiscard]] bool ScanOne();
    KeyList* List(Key key);
    // Where the data of the chain ends: the index position, or the end of the file.
    uint64_t DataLimit() const;
    // True when a chunk of `size` bytes (size field) at `at` fits into the file.
    bool SizeFits(uint64_t at, int64_t size) const;
    // True when the header at `at` names a chunk id seen before and its size fits.
    bool IsKnownHeader(uint64_t at, uint64_t& next) const;
    // Finds the next chunk at or after `from` (see the class comment); sets m_next.
    [[nodiscard]] bool Resync(uint64_t from);
    // Adds `id` (raw bytes) to the known ids unless it is there or the list is full.
    void KnowId(uint64_t id);
    // The times of LostTimeMeets, sorted and joined where they meet; worked out once per Reset.
    const std::vector<std::pair<uint64_t, uint64_t>>& LostTimes();
    // Notes the bytes from the damaged head at `at` (its 32 bytes in `head`) up to `to` as lost.
    void NoteLost(uint64_t at, const uint8_t* head, uint64_t to);

    CFileReader* m_file = nullptr;
    uint64_t m_dataStart = 0;
    uint64_t m_indexPosition = 0;
    uint64_t m_next = 0;
    bool m_complete = true;
    size_t m_headersRead = 0;
    std::vector<KvtChunkInfo> m_chunks;
    std::unordered_map<Key, KeyList> m_lists;
    std::vector<uint64_t> m_ids;   // the distinct raw ids known: the streams' and those read
    std::vector<KvtLostSpan> m_lost;
    std::vector<std::pair<uint64_t, uint64_t>> m_lostTimes;   // see LostTimes
};
