#include "datafile/container/CKVTAChunkChain.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "datafile/container/KvdFormat.h"
#include "platform/AsciiCase.h"
#include "platform/CByteReader.h"

CKVTAChunkChain::Key CKVTAChunkChain::MakeKey(const char* id8)
{
    uint8_t upper[8];
    for (int i = 0; i < 8; ++i)
        upper[i] = static_cast<uint8_t>(AsciiToUpper(id8[i]));
    return LoadLE<uint64_t>(upper);
}

void CKVTAChunkChain::Reset(CFileReader* file, uint64_t dataStart, uint64_t indexPosition,
                            FactsSource facts)
{
    m_file = file;
    m_dataStart = dataStart;
    m_indexPosition = indexPosition;
    m_next = dataStart;
    m_leftFrom = UINT64_MAX;
    m_complete = file == nullptr;
    m_headersRead = 0;
    m_chunks.clear();
    m_trusted.clear();
    m_lost.clear();
    m_factsSource = std::move(facts);
    m_factsLoaded = false;
    m_streamFacts.clear();
    m_recordingFacts = KvtRecordingFacts();
    m_coverage.Clear();
    m_cachedAt = UINT64_MAX;
}

void CKVTAChunkChain::LoadFacts()
{
    m_streamFacts.clear();
    m_recordingFacts = KvtRecordingFacts();
    if (m_factsSource)
        m_factsSource(m_streamFacts, m_recordingFacts);
    m_factsLoaded = true;
}

bool CKVTAChunkChain::IsStreamKey(Key key) const
{
    return std::any_of(m_streamFacts.begin(), m_streamFacts.end(),
                       [key](const KvtStreamFacts& f) { return f.key == key; });
}

void CKVTAChunkChain::NoteLost(uint64_t at, const uint8_t* head, uint64_t to)
{
    KvtLostSpan span;
    span.from = at;
    span.to = std::max(at, to);
    span.headStart = head ? LoadLE<uint64_t>(head + Kvd::DataChunk::kStart) : 0;
    span.headStop = head ? LoadLE<uint64_t>(head + Kvd::DataChunk::kStop) : 0;
    span.headKey = head ? MakeKey(reinterpret_cast<const char*>(head)) : 0;
    span.nextChunk = m_chunks.size();
    m_lost.push_back(span);
}

const std::vector<KvtLostSpan>& CKVTAChunkChain::LostSpans()
{
    ScanAll();
    return m_lost;
}

void CKVTAChunkChain::Settle()
{
    if (m_coverage.IsBuilt() || !m_file)
        return;
    ScanAll();
    // The recording's facts as they stand now: opening may have repaired the header since.
    LoadFacts();
    const uint64_t limit = DataLimit();
    const std::vector<KvtChunkInfo> asRead = m_chunks;
    m_coverage.Build(m_chunks, m_trusted, m_lost, m_streamFacts, m_recordingFacts, m_file,
                     m_dataStart, limit, std::min(m_leftFrom, limit));
    m_headsKeptAsRead = std::equal(asRead.begin(), asRead.end(), m_chunks.begin(), m_chunks.end(),
                                   [](const KvtChunkInfo& a, const KvtChunkInfo& b) {
                                       return a.offset == b.offset && a.payloadSize == b.payloadSize
                                              && a.start == b.start && a.stop == b.stop
                                              && a.rawId == b.rawId && a.key == b.key;
                                   });
}

const CKVTACoverage& CKVTAChunkChain::Coverage()
{
    Settle();
    return m_coverage;
}

bool CKVTAChunkChain::IsTrusted(size_t i)
{
    Settle();
    return i < m_trusted.size() && m_trusted[i];
}

bool CKVTAChunkChain::ReadAsWritten()
{
    Settle();
    return m_headsKeptAsRead && m_lost.empty() && !m_coverage.HasHoles() && !m_coverage.FileCut()
           && std::find(m_trusted.begin(), m_trusted.end(), false) == m_trusted.end();
}

bool CKVTAChunkChain::IsDamaged(size_t i)
{
    return !IsTrusted(i) && i < m_chunks.size() && IsStreamKey(m_chunks[i].key);
}

uint64_t CKVTAChunkChain::DataLimit() const
{
    const uint64_t length = m_file ? m_file->Length() : 0;
    return m_indexPosition != 0 ? std::min(m_indexPosition, length) : length;
}

bool CKVTAChunkChain::SizeFits(uint64_t at, int64_t size) const
{
    const uint64_t length = m_file->Length();
    return size >= Kvd::DataChunk::kMinSize && at <= length - Kvd::kFrameBytes
           && length >= Kvd::kFrameBytes
           && static_cast<uint64_t>(size) <= length - Kvd::kFrameBytes - at;
}

bool CKVTAChunkChain::ReadHead(uint64_t at, uint8_t* head)
{
    if (at != m_cachedAt) {
        if (!m_file->ReadAt(at, m_cached, sizeof m_cached)) {
            m_cachedAt = UINT64_MAX;
            return false;
        }
        m_cachedAt = at;
        ++m_headersRead;
    }
    std::memcpy(head, m_cached, sizeof m_cached);
    return true;
}

bool CKVTAChunkChain::IsKnownHeader(uint64_t at, uint64_t& next)
{
    uint8_t header[Kvd::DataChunk::kHeaderBytes];
    if (!m_file->ReadAt(at, header, sizeof header))
        return false;
    const int64_t size = LoadLE<int64_t>(header + Kvd::DataChunk::kSize);
    if (!IsStreamKey(MakeKey(reinterpret_cast<const char*>(header))) || !SizeFits(at, size))
        return false;
    next = at + Kvd::kFrameBytes + static_cast<uint64_t>(size);
    return true;
}

CKVTAChunkChain::Boundary CKVTAChunkChain::ChunkBeginsAt(uint64_t at)
{
    const uint64_t limit = DataLimit();
    // The end of the data is sure; bytes too few for a head behind a chunk are padding or a cut.
    if (at >= limit)
        return at == limit ? Boundary::kSurely : Boundary::kNot;
    if (limit - at < Kvd::DataChunk::kHeaderBytes)
        return Boundary::kMaybe;
    uint8_t head[Kvd::DataChunk::kHeaderBytes];
    if (!ReadHead(at, head))
        return Boundary::kNot;
    if (IsStreamKey(MakeKey(reinterpret_cast<const char*>(head))))
        return Boundary::kSurely;
    if (std::all_of(std::begin(head), std::end(head), [](uint8_t b) { return b == 0; }))
        return Boundary::kMaybe;
    const int64_t size = LoadLE<int64_t>(head + Kvd::DataChunk::kSize);
    return SizeFits(at, size) ? Boundary::kMaybe : Boundary::kNot;
}

int64_t CKVTAChunkChain::ImpliedSize(uint64_t at, const uint8_t* head) const
{
    const Key key = MakeKey(reinterpret_cast<const char*>(head));
    const uint64_t start = LoadLE<uint64_t>(head + Kvd::DataChunk::kStart);
    const uint64_t stop = LoadLE<uint64_t>(head + Kvd::DataChunk::kStop);
    for (const KvtStreamFacts& facts : m_streamFacts) {
        if (facts.key != key || !facts.HasFrames() || stop < start)
            continue;
        // Frames rounded to the nearest: a span a little off its frames still implies them.
        using U128 = unsigned __int128;
        const U128 implied = static_cast<U128>(facts.FramesIn(stop - start)) * facts.frameBytes
                             + Kvd::DataChunk::kMinSize;
        if (implied > static_cast<U128>(INT64_MAX) || !SizeFits(at, static_cast<int64_t>(implied)))
            return -1;
        return static_cast<int64_t>(implied);
    }
    return -1;
}

int64_t CKVTAChunkChain::TakenSize(uint64_t at, const uint8_t* head)
{
    const auto boundaryBehind = [&](int64_t size) {
        if (size < 0 || !SizeFits(at, size))
            return Boundary::kNot;
        return ChunkBeginsAt(at + Kvd::kFrameBytes + static_cast<uint64_t>(size));
    };
    const int64_t own = LoadLE<int64_t>(head + Kvd::DataChunk::kSize);
    const Boundary ownBoundary = boundaryBehind(own);
    // The size the times imply for a stream of samples: where both lead to a stream's head, it
    // is the one to believe (a size 32 too large behind which an empty event chunk's head ends
    // on the next head would read that event head as samples).
    // Only a size that leaves room for a whole head behind the implied one is checked where
    // its own leads to a head, so a sound file reads each head once.
    const int64_t implied = ImpliedSize(at, head);
    const bool checkImplied = implied >= 0 && implied != own
                              && (ownBoundary != Boundary::kSurely
                                  || own - implied >= static_cast<int64_t>(Kvd::DataChunk::kHeaderBytes));
    const Boundary impliedBoundary = checkImplied ? boundaryBehind(implied) : Boundary::kNot;
    if (impliedBoundary == Boundary::kSurely)
        return implied;
    if (ownBoundary != Boundary::kNot)
        return own;
    if (impliedBoundary == Boundary::kMaybe)
        return implied;
    // Its own size leads to a damaged head: the chunk is sound when the next head of a stream
    // lies behind a whole head's bytes from its end, and the damaged head pays alone.
    if (own >= 0 && SizeFits(at, own) && HeadDamagedBehind(at, own))
        return own;
    return -1;
}

bool CKVTAChunkChain::HeadDamagedBehind(uint64_t at, int64_t size)
{
    const uint64_t end = at + Kvd::kFrameBytes + static_cast<uint64_t>(size);
    // No head behind it at all: the damaged one is the last of the data.
    uint64_t found = 0;
    if (!FindStreamHead(at + Kvd::DataChunk::kHeaderBytes, found))
        found = DataLimit();
    return found >= end && found - end >= Kvd::DataChunk::kHeaderBytes;
}

bool CKVTAChunkChain::Resync(uint64_t from)
{
    return FindStreamHead(from, m_next);
}

bool CKVTAChunkChain::FindStreamHead(uint64_t from, uint64_t& found)
{
    const uint64_t limit = DataLimit();
    if (m_streamFacts.empty())
        return false;
    // The first byte of every stream's key, upper-cased: one pass over the bytes looks at each
    // place once, whatever the case the recording program wrote the id in.
    bool firstByte[256] = {};
    for (const KvtStreamFacts& facts : m_streamFacts)
        firstByte[facts.key & 0xFF] = true;
    // Read in large pieces; consecutive pieces overlap by an id less one byte.
    constexpr size_t kPieceBytes = 1 << 20;
    std::vector<uint8_t> piece;
    for (uint64_t pos = from; pos < limit && limit - pos >= Kvd::DataChunk::kHeaderBytes;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kPieceBytes, limit - pos));
        piece.resize(n);
        if (!m_file->ReadAt(pos, piece.data(), n))
            return false;
        for (size_t k = 0; k + Kvd::kIdBytes <= n; ++k) {
            if (!firstByte[static_cast<uint8_t>(AsciiToUpper(static_cast<char>(piece[k])))])
                continue;
            if (!IsStreamKey(MakeKey(reinterpret_cast<const char*>(piece.data() + k))))
                continue;
            // A head of a stream whose size fits and leads to another head of a stream (whose own
            // size may be damaged too) or to the end of the data.
            const uint64_t at = pos + k;
            uint64_t next = 0;
            if (IsKnownHeader(at, next) && ChunkBeginsAt(next) == Boundary::kSurely) {
                found = at;
                return true;
            }
        }
        if (n < kPieceBytes)
            break;
        pos += n - (Kvd::kIdBytes - 1);
    }
    return false;
}

bool CKVTAChunkChain::ScanOne()
{
    if (m_complete)
        return false;
    if (!m_factsLoaded)
        LoadFacts();
    uint8_t header[Kvd::DataChunk::kHeaderBytes];
    uint64_t at = m_next;
    int64_t size = 0;
    const uint64_t limit = DataLimit();
    for (;;) {
        if (at >= limit || limit - at < Kvd::DataChunk::kHeaderBytes || !ReadHead(at, header)) {
            // Fewer bytes than a head are left over: the coverage tells padding from a cut.
            if (at < limit && limit - at >= Kvd::DataChunk::kHeaderBytes)
                NoteLost(at, nullptr, limit);
            else if (at < limit)
                m_leftFrom = at;
            m_complete = true;
            return false;
        }
        size = TakenSize(at, header);
        if (size >= 0)
            break;
        if (!Resync(at + Kvd::DataChunk::kHeaderBytes)) {
            NoteLost(at, header, limit);
            m_complete = true;
            return false;
        }
        NoteLost(at, header, m_next);
        at = m_next;
    }
    KvtChunkInfo chunk;
    chunk.offset = at;
    chunk.rawId = LoadLE<uint64_t>(header + Kvd::DataChunk::kId);
    chunk.key = MakeKey(reinterpret_cast<const char*>(header));
    chunk.start = LoadLE<uint64_t>(header + Kvd::DataChunk::kStart);
    chunk.stop = LoadLE<uint64_t>(header + Kvd::DataChunk::kStop);
    chunk.payloadSize = size - Kvd::DataChunk::kMinSize;
    m_next = chunk.End();
    m_chunks.push_back(chunk);
    return true;
}

void CKVTAChunkChain::ScanAll()
{
    while (ScanOne()) {
    }
}

bool CKVTAChunkChain::Has(size_t i)
{
    while (i >= m_chunks.size())
        if (!ScanOne())
            return false;
    return true;
}

bool CKVTAChunkChain::FindFrom(uint64_t offset, size_t& i)
{
    auto at = std::lower_bound(m_chunks.begin(), m_chunks.end(), offset,
                               [](const KvtChunkInfo& c, uint64_t o) { return c.offset < o; });
    i = static_cast<size_t>(at - m_chunks.begin());
    while (i >= m_chunks.size())
        if (!ScanOne())
            return false;
    while (m_chunks[i].offset < offset) {
        ++i;
        if (!Has(i))
            return false;
    }
    return true;
}

bool CKVTAChunkChain::HasOfKey(Key key, size_t n, size_t& i)
{
    const std::vector<size_t>& list = Coverage().ChunksOf(key);
    if (n >= list.size())
        return false;
    i = list[n];
    return true;
}

size_t CKVTAChunkChain::IndexOfKey(Key key, size_t n)
{
    return Coverage().ChunksOf(key).at(n);
}

bool CKVTAChunkChain::FindOfKeyFrom(Key key, uint64_t offset, size_t& n)
{
    const std::vector<size_t>& list = Coverage().ChunksOf(key);
    const auto before = [this](size_t c, uint64_t o) { return m_chunks[c].offset < o; };
    const auto at = std::lower_bound(list.begin(), list.end(), offset, before);
    n = static_cast<size_t>(at - list.begin());
    return at != list.end();
}

bool CKVTAChunkChain::FindStopAfter(Key key, size_t first, uint64_t t, size_t& n)
{
    const std::vector<size_t>& list = Coverage().ChunksOf(key);
    if (first >= list.size()) {
        n = first;
        return false;
    }
    const auto from = list.begin() + static_cast<std::ptrdiff_t>(first);
    const auto at = std::upper_bound(from, list.end(), t, [this](uint64_t value, size_t c) {
        return value < m_chunks[c].stop;
    });
    n = static_cast<size_t>(at - list.begin());
    return at != list.end();
}
