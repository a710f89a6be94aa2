#include "datafile/CKVTAChunkChain.h"

#include <algorithm>

#include "datafile/KvdFormat.h"
#include "platform/AsciiCase.h"
#include "platform/CByteReader.h"

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
}

bool CKVTAChunkChain::ScanOne()
{
    if (m_complete)
        return false;
    const uint64_t at = m_next;
    uint8_t header[Kvd::DataChunk::kHeaderBytes];
    if ((m_indexPosition != 0 && at >= m_indexPosition) || !m_file->ReadAt(at, header, sizeof header)) {
        m_complete = true;
        return false;
    }
    ++m_headersRead;
    KvtChunkInfo chunk;
    chunk.offset = at;
    chunk.rawId = LoadLE<uint64_t>(header + Kvd::DataChunk::kId);
    const int64_t size = LoadLE<int64_t>(header + Kvd::DataChunk::kSize);
    chunk.start = LoadLE<uint64_t>(header + Kvd::DataChunk::kStart);
    chunk.stop = LoadLE<uint64_t>(header + Kvd::DataChunk::kStop);
    // A size below 16 would make the next chunk start inside or before this one.
    const uint64_t length = m_file->Length();
    if (size < Kvd::DataChunk::kMinSize || at > length - Kvd::kFrameBytes
        || static_cast<uint64_t>(size) > length - Kvd::kFrameBytes - at) {
        m_complete = true;
        return false;
    }
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
