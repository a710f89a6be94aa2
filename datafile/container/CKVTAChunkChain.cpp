#include "datafile/container/CKVTAChunkChain.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "datafile/container/KvdFormat.h"
#include "platform/AsciiCase.h"
#include "platform/CByteReader.h"

namespace {

constexpr size_t kMaxIds = 256;

// Where `id` next occurs in `piece` at or after `from`; the piece's size when it does not.
size_t NextPlaceOf(uint64_t id, const std::vector<uint8_t>& piece, size_t from)
{
    uint8_t bytes[Kvd::kIdBytes];
    StoreLE<uint64_t>(bytes, id);
    const auto hit = std::search(piece.begin() + static_cast<std::ptrdiff_t>(from), piece.end(),
                                 std::begin(bytes), std::end(bytes));
    return static_cast<size_t>(hit - piece.begin());
}

} // namespace

CKVTAChunkChain::Key CKVTAChunkChain::MakeKey(const char* id8)
{
    uint8_t upper[8];
    for (int i = 0; i < 8; ++i)
        upper[i] = static_cast<uint8_t>(AsciiToUpper(id8[i]));
    return LoadLE<uint64_t>(upper);
}

void CKVTAChunkChain::Reset(CFileReader* file, uint64_t dataStart, uint64_t indexPosition)
{
    m_file = file;
    m_dataStart = dataStart;
    m_indexPosition = indexPosition;
    m_next = dataStart;
    m_complete = file == nullptr;
    m_headersRead = 0;
    m_chunks.clear();
    m_lists.clear();
    m_ids.clear();
    m_lost.clear();
    m_lostTimes.clear();
}

void CKVTAChunkChain::KnowId(uint64_t id)
{
    // A file has a few streams; the cap keeps a run of garbage headers from growing the list.
    if (m_ids.size() < kMaxIds && std::find(m_ids.begin(), m_ids.end(), id) == m_ids.end())
        m_ids.push_back(id);
}

void CKVTAChunkChain::KnowStreamId(const std::string& id8)
{
    if (id8.size() != Kvd::kIdBytes || id8 == std::string(Kvd::kIdBytes, '\0'))
        return;
    // Ids compare without case, but the search behind a damaged head looks for bytes: the id
    // as the stream names it, and as the recording program may have written it.
    uint8_t named[Kvd::kIdBytes];
    uint8_t upper[Kvd::kIdBytes];
    uint8_t lower[Kvd::kIdBytes];
    for (size_t i = 0; i < Kvd::kIdBytes; ++i) {
        named[i] = static_cast<uint8_t>(id8[i]);
        upper[i] = static_cast<uint8_t>(AsciiToUpper(id8[i]));
        lower[i] = static_cast<uint8_t>(AsciiToLower(id8[i]));
    }
    for (const uint8_t* form : {named, upper, lower})
        KnowId(LoadLE<uint64_t>(form));
}

void CKVTAChunkChain::NoteLost(uint64_t at, const uint8_t* head, uint64_t to)
{
    KvtLostSpan span;
    span.from = at;
    span.to = std::max(at, to);
    span.headStop = head ? LoadLE<uint64_t>(head + Kvd::DataChunk::kStop) : 0;
    span.nextChunk = m_chunks.size();
    m_lost.push_back(span);
}

const std::vector<KvtLostSpan>& CKVTAChunkChain::LostSpans()
{
    ScanAll();
    return m_lost;
}

bool CKVTAChunkChain::LostBehind(uint64_t offset)
{
    const std::vector<KvtLostSpan>& lost = LostSpans();
    return std::any_of(lost.begin(), lost.end(), [offset](const KvtLostSpan& span) { return span.to > offset; });
}

bool CKVTAChunkChain::LostBehindKey(Key key)
{
    ScanAll();
    const KeyList* list = List(key);
    return LostBehind(list && !list->chunks.empty() ? m_chunks[list->chunks.back()].End() : m_dataStart);
}

const KvtLostSpan* CKVTAChunkChain::LostTail()
{
    ScanAll();
    if (m_lost.empty() || (!m_chunks.empty() && m_lost.back().from < m_chunks.back().End()))
        return nullptr;
    return &m_lost.back();
}

bool CKVTAChunkChain::LostTimeMeets(uint64_t from, uint64_t to)
{
    const std::vector<std::pair<uint64_t, uint64_t>>& lost = LostTimes();
    // The first lost time that ends at or after `from`; it meets the range unless it begins
    // after `to`.
    const auto at = std::lower_bound(lost.begin(), lost.end(), from,
                                     [](const std::pair<uint64_t, uint64_t>& t, uint64_t v) { return t.second < v; });
    return at != lost.end() && at->first <= to;
}

const std::vector<std::pair<uint64_t, uint64_t>>& CKVTAChunkChain::LostTimes()
{
    ScanAll();
    // Every lost stretch gives a time, so an empty list with stretches has not been worked out.
    if (!m_lostTimes.empty() || m_lost.empty())
        return m_lostTimes;
    for (const KvtLostSpan& span : m_lost) {
        const uint64_t from = span.nextChunk > 0 ? m_chunks[span.nextChunk - 1].start : 0;
        uint64_t to = UINT64_MAX;
        if (span.nextChunk < m_chunks.size())
            to = std::max(m_chunks[span.nextChunk].start, m_chunks[span.nextChunk].stop);
        m_lostTimes.emplace_back(std::min(from, to), std::max(from, to));
    }
    // Sorted and joined where they meet, so a range finds its lost time by one search.
    std::sort(m_lostTimes.begin(), m_lostTimes.end());
    size_t joined = 0;
    for (size_t k = 0; k < m_lostTimes.size(); ++k) {
        if (joined > 0 && m_lostTimes[k].first <= m_lostTimes[joined - 1].second)
            m_lostTimes[joined - 1].second = std::max(m_lostTimes[joined - 1].second, m_lostTimes[k].second);
        else
            m_lostTimes[joined++] = m_lostTimes[k];
    }
    m_lostTimes.resize(joined);
    return m_lostTimes;
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
           && length >= Kvd::kFrameBytes && static_cast<uint64_t>(size) <= length - Kvd::kFrameBytes - at;
}

bool CKVTAChunkChain::IsKnownHeader(uint64_t at, uint64_t& next) const
{
    uint8_t header[Kvd::DataChunk::kHeaderBytes];
    if (!m_file->ReadAt(at, header, sizeof header))
        return false;
    const uint64_t id = LoadLE<uint64_t>(header + Kvd::DataChunk::kId);
    const int64_t size = LoadLE<int64_t>(header + Kvd::DataChunk::kSize);
    if (std::find(m_ids.begin(), m_ids.end(), id) == m_ids.end() || !SizeFits(at, size))
        return false;
    next = at + Kvd::kFrameBytes + static_cast<uint64_t>(size);
    return true;
}

bool CKVTAChunkChain::Resync(uint64_t from)
{
    const uint64_t limit = DataLimit();
    if (m_ids.empty())
        return false;
    // Read in large pieces; consecutive pieces overlap by an id less one byte.
    constexpr size_t kPieceBytes = 1 << 20;
    std::vector<uint8_t> piece;
    for (uint64_t pos = from; pos < limit && limit - pos >= Kvd::DataChunk::kHeaderBytes;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kPieceBytes, limit - pos));
        piece.resize(n);
        if (!m_file->ReadAt(pos, piece.data(), n))
            return false;
        // The next place of each id in the piece, searched for again only once the scan has
        // passed it: each byte is looked at once per id, however many places are no head (a run
        // of zero bytes once a chunk of id 0 was seen, say).
        std::vector<size_t> places(m_ids.size());
        for (size_t j = 0; j < m_ids.size(); ++j)
            places[j] = NextPlaceOf(m_ids[j], piece, 0);
        for (;;) {
            const size_t found = *std::min_element(places.begin(), places.end());
            if (found == n)
                break;
            const uint64_t at = pos + found;
            uint64_t next = 0;
            uint64_t after = 0;
            if (IsKnownHeader(at, next)
                && (next >= limit || limit - next < Kvd::DataChunk::kHeaderBytes || IsKnownHeader(next, after))) {
                m_next = at;
                return true;
            }
            for (size_t j = 0; j < m_ids.size(); ++j)
                if (places[j] == found)
                    places[j] = NextPlaceOf(m_ids[j], piece, found + 1);
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
    uint8_t header[Kvd::DataChunk::kHeaderBytes];
    uint64_t at = m_next;
    int64_t size = 0;
    const uint64_t limit = DataLimit();
    for (;;) {
        if ((m_indexPosition != 0 && at >= m_indexPosition) || !m_file->ReadAt(at, header, sizeof header)) {
            // Fewer bytes than a head are left over, not lost; a head that cannot be read is.
            if (at < limit && limit - at >= Kvd::DataChunk::kHeaderBytes)
                NoteLost(at, nullptr, limit);
            m_complete = true;
            return false;
        }
        ++m_headersRead;
        size = LoadLE<int64_t>(header + Kvd::DataChunk::kSize);
        // A size below 16 would make the next chunk start inside or before this one.
        if (SizeFits(at, size))
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
    chunk.start = LoadLE<uint64_t>(header + Kvd::DataChunk::kStart);
    chunk.stop = LoadLE<uint64_t>(header + Kvd::DataChunk::kStop);
    KnowId(chunk.rawId);
    chunk.payloadSize = size - Kvd::DataChunk::kMinSize;
    m_next = chunk.End();

    const char* id = reinterpret_cast<const char*>(header);
    KeyList& list = m_lists[MakeKey(id)];
    if (!list.chunks.empty() && m_chunks[list.chunks.back()].stop > chunk.stop)
        list.stopsSorted = false;
    list.chunks.push_back(m_chunks.size());
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

CKVTAChunkChain::KeyList* CKVTAChunkChain::List(Key key)
{
    auto found = m_lists.find(key);
    return found == m_lists.end() ? nullptr : &found->second;
}

bool CKVTAChunkChain::HasOfKey(Key key, size_t n, size_t& i)
{
    for (;;) {
        KeyList* list = List(key);
        if (list && n < list->chunks.size()) {
            i = list->chunks[n];
            return true;
        }
        if (!ScanOne())
            return false;
    }
}

size_t CKVTAChunkChain::IndexOfKey(Key key, size_t n) const
{
    return m_lists.at(key).chunks[n];
}

bool CKVTAChunkChain::FindOfKeyFrom(Key key, uint64_t offset, size_t& n)
{
    n = 0;
    if (const KeyList* list = List(key)) {
        auto at = std::lower_bound(list->chunks.begin(), list->chunks.end(), offset,
                                   [this](size_t c, uint64_t o) { return m_chunks[c].offset < o; });
        n = static_cast<size_t>(at - list->chunks.begin());
    }
    size_t i = 0;
    while (HasOfKey(key, n, i)) {
        if (m_chunks[i].offset >= offset)
            return true;
        ++n;
    }
    return false;
}

bool CKVTAChunkChain::FindStopAfter(Key key, size_t first, uint64_t t, size_t& n)
{
    n = first;
    const KeyList* list = List(key);
    if (list && list->stopsSorted && first < list->chunks.size()) {
        auto begin = list->chunks.begin() + static_cast<std::ptrdiff_t>(first);
        auto at = std::upper_bound(begin, list->chunks.end(), t,
                                   [this](uint64_t value, size_t c) { return value < m_chunks[c].stop; });
        n = static_cast<size_t>(at - list->chunks.begin());
    }
    size_t i = 0;
    while (HasOfKey(key, n, i)) {
        if (m_chunks[i].stop > t)
            return true;
        ++n;
    }
    return false;
}
