#pragma once
// The chain of data chunks of one file, scanned once, on demand, and shared by all its streams.

#include <cstddef>
#include <cstdint>
#include <string>
#include <functional>
#include <utility>
#include <vector>

#include "datafile/container/CFileReader.h"

#include "datafile/container/CKVTACoverage.h"

// One data chunk as its header describes it (times and key mended where the coverage could).
struct KvtChunkInfo
{
    uint64_t offset = 0;      // file offset of the chunk id
    int64_t payloadSize = 0;  // size field - 16, never negative here
    uint64_t start = 0;       // ns
    uint64_t stop = 0;        // ns
    uint64_t rawId = 0;       // the 8 id bytes as read (little-endian load)
    uint64_t key = 0;         // the upper-cased id (see CKVTAChunkChain::MakeKey)

    uint64_t PayloadPosition() const { return offset + 32; }
    uint64_t End() const { return PayloadPosition() + static_cast<uint64_t>(payloadSize); }
};

// Bytes of the data that the chain could not read: from a damaged head to the next sound one,
// or to the end of the data when none follows.
struct KvtLostSpan
{
    uint64_t from = 0;       // file offset of the damaged head
    uint64_t to = 0;         // where the chain went on, or the end of the data
    uint64_t headStart = 0;  // the damaged head's start field as read (a claim, not a fact)
    uint64_t headStop = 0;   // the damaged head's stop field as read (a claim, not a fact)
    uint64_t headKey = 0;    // the key of the damaged head's id as read
    size_t nextChunk = 0;    // file-order index of the first chunk behind it (the count: none)
};

// All streams of a file follow one chain of chunk headers: every chunk, whatever its stream,
// is skipped by its size. The chain is read header by header from the data start, only as far as
// a caller walking the file in order has asked, and every header is read once per Reset. The
// chain ends at the index position (when not 0) and at the end of the file.
// A head's size is taken when it fits into the file and leads to a place where a chunk can
// begin (a head of a known stream, a zeroed head, the end of the data). A size that does not is
// checked against the one its times imply for a stream of samples; when neither holds, or the
// size does not fit, the head is damaged: the chain goes on at the next place behind it that
// holds the head of one of the file's streams (ids compare without case), whose own size fits
// and leads to another head of a stream (whatever its size) or to the end of the data. The
// search only moves forward, so a corrupt size can neither loop nor walk backwards. Every
// stretch skipped that way is kept as lost.
// A stream's chunks are those the coverage trusts (CKVTACoverage): the first question about a
// stream reads the whole chain and builds the coverage from the facts its source gives.
class CKVTAChunkChain
{
public:
    // Chunk ids compare after upper-casing: the key of an id is its upper-cased 8 bytes.
    using Key = uint64_t;
    static Key MakeKey(const char* id8);

    // Gives the streams' and the recording's facts once the coverage is built (the owner's
    // header may still change between Reset and then, as old recordings are repaired).
    using FactsSource = std::function<void(std::vector<KvtStreamFacts>& streams,
                                           KvtRecordingFacts& recording)>;

    // Starts over on `file` from dataStart; the reader's length bounds every chunk.
    void Reset(CFileReader* file, uint64_t dataStart, uint64_t indexPosition,
               FactsSource facts = {});
    CFileReader* Reader() const { return m_file; }
    uint64_t DataStart() const { return m_dataStart; }

    // File order, all streams, trusted or not: true when chunk i exists (scanning on as far as
    // needed).
    bool Has(size_t i);
    const KvtChunkInfo& At(size_t i) const { return m_chunks[i]; }
    // The first chunk at or after `offset`; false when none.
    [[nodiscard]] bool FindFrom(uint64_t offset, size_t& i);
    // True when chunk i names one of the streams but the coverage does not trust it (building
    // it first); a chunk of no stream is neither trusted nor damaged.
    bool IsDamaged(size_t i);
    // True when every head was read whole, trusted and left as read, and nothing is missing:
    // the file reads exactly as it was written.
    bool ReadAsWritten();

    // One stream's trusted chunks: true when its n-th chunk exists; `i` is then its file-order
    // index.
    [[nodiscard]] bool HasOfKey(Key key, size_t n, size_t& i);
    // The first chunk of `key` at or after `offset`; n is its position in the key's list.
    [[nodiscard]] bool FindOfKeyFrom(Key key, uint64_t offset, size_t& n);
    // The first chunk of `key` at list position >= first whose stop time is after t: a trusted
    // list rises in time, so this is a binary search.
    [[nodiscard]] bool FindStopAfter(Key key, size_t first, uint64_t t, size_t& n);
    size_t IndexOfKey(Key key, size_t n);

    bool Complete() const { return m_complete; }
    // Scans to the end of the chain.
    void ScanAll();
    // The stretches the chain could not read, in file order (scanning to the end first).
    const std::vector<KvtLostSpan>& LostSpans();
    // What the file holds, built once per Reset on first use.
    const CKVTACoverage& Coverage();
    size_t HeadersRead() const { return m_headersRead; }

private:
    // True when the coverage trusts chunk i (building it first).
    bool IsTrusted(size_t i);
    [[nodiscard]] bool ScanOne();
    void Settle();
    // Where the data of the chain ends: the index position, or the end of the file.
    uint64_t DataLimit() const;
    // True when a chunk of `size` bytes (size field) at `at` fits into the file.
    bool SizeFits(uint64_t at, int64_t size) const;
    // The 32 head bytes at `at`, read once however often they are asked for in a row.
    [[nodiscard]] bool ReadHead(uint64_t at, uint8_t* head);
    bool IsStreamKey(Key key) const;
    // True when the head at `at` names one of the streams and its size fits.
    bool IsKnownHeader(uint64_t at, uint64_t& next);
    // How surely a chunk begins at `at`: kSurely at the end of the data or at a head of one of
    // the streams; kMaybe at a zeroed head (padding, or a damaged head the walk skips) or at a
    // head of no stream whose size fits; kNot elsewhere.
    enum class Boundary { kNot, kMaybe, kSurely };
    Boundary ChunkBeginsAt(uint64_t at);
    // The size the head at `at` is taken with: the one its times imply for a stream of samples
    // when that leads to where a chunk surely begins, else its own when that leads to where a
    // chunk may begin, else the implied one when that does; failing all, its own when no chunk
    // of a stream begins inside the bytes it claims (the head behind it is damaged, not this
    // one); -1 otherwise.
    int64_t TakenSize(uint64_t at, const uint8_t* head);
    // The size that the times of the head at `at` imply for its stream's frames; -1 when the
    // head names no stream of samples or the times do not fit.
    int64_t ImpliedSize(uint64_t at, const uint8_t* head) const;
    // Finds the next chunk at or after `from` (see the class comment); sets m_next.
    [[nodiscard]] bool Resync(uint64_t from);
    // The first place at or after `from` where a chunk of a stream begins, as Resync finds it.
    [[nodiscard]] bool FindStreamHead(uint64_t from, uint64_t& found);
    // True when the first chunk of a stream behind the head at `at` begins at least a head's
    // bytes after the end that `size` gives it: a damaged head lies there, not inside.
    bool HeadDamagedBehind(uint64_t at, int64_t size);
    // Notes the bytes from the damaged head at `at` (its 32 bytes in `head`) up to `to` as lost.
    void NoteLost(uint64_t at, const uint8_t* head, uint64_t to);
    void LoadFacts();

    CFileReader* m_file = nullptr;
    uint64_t m_dataStart = 0;
    uint64_t m_indexPosition = 0;
    uint64_t m_next = 0;
    uint64_t m_leftFrom = 0;       // where bytes too few for a head begin (the limit: none)
    bool m_complete = true;
    size_t m_headersRead = 0;
    std::vector<KvtChunkInfo> m_chunks;
    std::vector<bool> m_trusted;
    std::vector<KvtLostSpan> m_lost;
    bool m_headsKeptAsRead = false;  // no head's fields changed while the account was built
    FactsSource m_factsSource;
    bool m_factsLoaded = false;
    std::vector<KvtStreamFacts> m_streamFacts;
    KvtRecordingFacts m_recordingFacts;
    CKVTACoverage m_coverage;
    uint64_t m_cachedAt = UINT64_MAX;
    uint8_t m_cached[32] = {};
};
