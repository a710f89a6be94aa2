#include "datafile/container/CKVTAStreamIndex.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "datafile/container/CFileReader.h"
#include "datafile/container/CKVTADataBlock.h"
#include "datafile/container/CKVTAFileContext.h"
#include "datafile/container/CKVTAStream.h"
#include "datafile/container/KvdFormat.h"
#include "platform/CByteWriter.h"
#include "platform/File64.h"

namespace {

bool ReadFrame(CFileReader& file, const char* expectedId, int64_t& size)
{
    char id[Kvd::kIdBytes];
    return file.Read(id, sizeof id) && std::memcmp(id, expectedId, Kvd::kIdBytes) == 0 && file.ReadValue(size);
}

// Reads `count` pairs of 64-bit values behind a record frame whose byte count must be
// 16 x count; nothing is allocated for a count that the file cannot hold.
template <class Pair>
bool ReadPairs(CFileReader& file, const char* id, int32_t count, std::vector<Pair>& out)
{
    int64_t bytes = 0;
    if (!ReadFrame(file, id, bytes) || count < 0 || bytes / 16 != count
        || static_cast<uint64_t>(count) > file.Remaining() / IndexRecord::kEntryBytes)
        return false;
    out.resize(static_cast<size_t>(count));
    for (Pair& pair : out)
        if (!file.ReadValue(pair.first) || !file.ReadValue(pair.second))
            return false;
    return true;
}

constexpr int64_t kEntrySpacing = 250000;
constexpr const char* kProgressText = "Generating index";

// A stretch of time that one stream of samples recorded, or lost with a damaged chunk; `slack`
// is its stream's frame time: a gap shorter than that is a rounded time field, not a pause.
struct Recorded
{
    uint64_t from;
    uint64_t to;
    uint64_t slack;
};

// The time every stream of samples recorded or lost (not what a file cut short lost: `cut`
// receives that), in order of start.
std::vector<Recorded> RecordedTime(const std::vector<CKVTAStream*>& streams, CKVTAChunkChain& chain,
                                   std::vector<KvtHole>& cut)
{
    std::vector<Recorded> recorded;
    for (CKVTAStream* stream : streams) {
        if (!stream || stream->FrameBytes() == 0)
            continue;
        const uint64_t slack = stream->GetCoverageFacts().FrameTime();
        // The trusted chunks straight from the account: no data block is made for each.
        for (size_t i : chain.Coverage().ChunksOf(stream->GetChunkKey())) {
            const KvtChunkInfo& c = chain.At(i);
            recorded.push_back({c.start, stream->GetDataStopTime(c.start, c.stop, c.payloadSize), slack});
        }
        for (const KvtHole& hole : stream->GetHoles()) {
            if (hole.cause == KvtHoleCause::kFileCut)
                cut.push_back(hole);
            else
                recorded.push_back({hole.from, hole.to, slack});
        }
    }
    std::sort(recorded.begin(), recorded.end(), [](const Recorded& a, const Recorded& b) { return a.from < b.from; });
    return recorded;
}

// The runs of `recorded` (in order of start): stretches less than a frame apart join.
void JoinRuns(const std::vector<Recorded>& recorded, std::vector<uint64_t>& starts,
              std::vector<uint64_t>& stops)
{
    starts.clear();
    stops.clear();
    uint64_t slack = 0;
    for (const Recorded& r : recorded) {
        if (!starts.empty() && r.from <= stops.back() + std::max(slack, r.slack)) {
            if (r.to > stops.back()) {
                stops.back() = r.to;
                slack = r.slack;
            }
            continue;
        }
        starts.push_back(r.from);
        stops.push_back(r.to);
        slack = r.slack;
    }
}

// The sweeps of a recording: the runs of time in which any stream of samples recorded or lost
// data. Every stream counts, so damage to one, selected or not, shapes no sweep, and a lost
// chunk neither splits nor shortens one. Where the file was cut, the time behind the data
// belongs to the sweep it broke off, or is a sweep of its own when that sweep was whole:
// either way it is read, and refused, as lost. False when no stream holds samples.
bool SweepsOfSamples(const std::vector<CKVTAStream*>& streams, CKVTAFileContext& file, uint64_t sweepLength,
                     std::vector<uint64_t>& starts, std::vector<uint64_t>& stops)
{
    CKVTAChunkChain* chain = file.GetChunkChain();
    if (!chain)
        return false;
    std::vector<KvtHole> cut;
    const std::vector<Recorded> recorded = RecordedTime(streams, *chain, cut);
    if (recorded.empty() && cut.empty())
        return false;
    JoinRuns(recorded, starts, stops);
    uint64_t cutFrom = UINT64_MAX;
    uint64_t cutTo = 0;
    for (const KvtHole& hole : cut) {
        cutFrom = std::min(cutFrom, hole.from);
        cutTo = std::max(cutTo, hole.to);
    }
    if (cut.empty() || (!stops.empty() && cutTo <= stops.back()))
        return true;
    if (starts.empty() || (sweepLength != 0 && stops.back() - starts.back() >= sweepLength)) {
        starts.push_back(starts.empty() ? cutFrom : std::max(cutFrom, stops.back()));
        stops.push_back(cutTo);
    } else {
        stops.back() = cutTo;
    }
    return true;
}

struct StreamWalk
{
    CKVTAStream* stream;
    std::unique_ptr<CKVTADataBlock> block;
};

} // namespace

bool KvtSamplesPause(const std::vector<CKVTAStream*>& streams, CKVTAChunkChain& chain)
{
    std::vector<KvtHole> cut;
    std::vector<uint64_t> starts;
    std::vector<uint64_t> stops;
    JoinRuns(RecordedTime(streams, chain, cut), starts, stops);
    return starts.size() > 1;
}

CKVTAStreamIndex::CKVTAStreamIndex()
{
    m_entries.reserve(4001);
}

void CKVTAStreamIndex::Clear()
{
    m_entries.clear();
    m_entriesSorted = true;
    m_sweepStarts.clear();
    m_sweepStops.clear();
    m_built = false;
    m_stopsChecked = false;
}

void CKVTAStreamIndex::AddEntry(uint64_t time, int64_t offset)
{
    if (!m_entries.empty() && m_entries.back().time > time)
        m_entriesSorted = false;
    m_entries.push_back(KvtIndexEntry {time, offset});
}

uint64_t CKVTAStreamIndex::GetSweepStartValue(int i) const
{
    return i >= 0 && i < GetSweepCount() ? m_sweepStarts[static_cast<size_t>(i)] : 0;
}

uint64_t CKVTAStreamIndex::GetSweepStopValue(int i) const
{
    return i >= 0 && i < GetSweepCount() ? m_sweepStops[static_cast<size_t>(i)] : 0;
}

std::unique_ptr<CKVTATimeStamp> CKVTAStreamIndex::GetSweepStartTime(int i, uint64_t startReference) const
{
    if (i < 0 || i >= GetSweepCount())
        return nullptr;
    return std::make_unique<CKVTATimeStamp>(m_sweepStarts[static_cast<size_t>(i)], startReference);
}

std::unique_ptr<CKVTATimeStamp> CKVTAStreamIndex::GetSweepStopTime(int i, uint64_t startReference) const
{
    if (i < 0 || i >= GetSweepCount())
        return nullptr;
    return std::make_unique<CKVTATimeStamp>(m_sweepStops[static_cast<size_t>(i)], startReference);
}

void CKVTAStreamIndex::SetSweepStopValue(int i, uint64_t stop)
{
    if (i >= 0 && i < GetSweepCount())
        m_sweepStops[static_cast<size_t>(i)] = stop;
}

void CKVTAStreamIndex::SetSweeps(const std::vector<std::pair<uint64_t, uint64_t>>& sweeps)
{
    m_sweepStarts.clear();
    m_sweepStops.clear();
    for (const auto& sweep : sweeps) {
        m_sweepStarts.push_back(sweep.first);
        m_sweepStops.push_back(sweep.second);
    }
}

bool CKVTAStreamIndex::FindEntryOffset(uint64_t t, uint64_t& offset) const
{
    if (m_entries.empty())
        return false;
    size_t after = 0;  // the first entry whose time is after t
    if (m_entriesSorted) {
        after = static_cast<size_t>(std::upper_bound(m_entries.begin(), m_entries.end(), t,
                                                     [](uint64_t v, const KvtIndexEntry& e) { return v < e.time; })
                                    - m_entries.begin());
    } else {
        while (after < m_entries.size() && m_entries[after].time <= t)
            ++after;
    }
    offset = static_cast<uint64_t>(m_entries[after == 0 ? 0 : after - 1].offset);
    return true;
}

bool CKVTAStreamIndex::ReadHeader(CFileReader& file)
{
    int64_t size = 0;
    char path[IndexRecord::kPathWidth];
    if (!ReadFrame(file, Kvd::kIdIndex, size) || !file.ReadValue(m_recordVersion) || !file.Read(path, sizeof path)
        || !file.ReadValue(m_recordStreamCount) || !file.ReadValue(m_recordEntryCount)
        || !file.ReadValue(m_recordFirstTime) || !file.ReadValue(m_recordLastTime)
        || !file.ReadValue(m_recordSweepCount) || !file.ReadValue(m_recordFirstSweep)
        || !file.ReadValue(m_recordLastSweep))
        return false;
    m_recordPath = TextField(reinterpret_cast<const uint8_t*>(path), sizeof path);
    return true;
}

bool CKVTAStreamIndex::Read(CFileReader& file)
{
    std::vector<std::pair<uint64_t, int64_t>> entries;
    std::vector<std::pair<uint64_t, uint64_t>> sweeps;
    if (!ReadPairs(file, Kvd::kIdIndexEntries, m_recordEntryCount, entries)
        || !ReadPairs(file, Kvd::kIdIndexSweeps, m_recordSweepCount, sweeps))
        return false;
    Clear();
    for (const auto& entry : entries)
        AddEntry(entry.first, entry.second);
    for (const auto& sweep : sweeps) {
        m_sweepStarts.push_back(sweep.first);
        m_sweepStops.push_back(sweep.second);
    }
    m_built = true;
    return true;
}

bool CKVTAStreamIndex::Verify(CFileReader& data, uint64_t dataStart, uint64_t limit) const
{
    if (m_entries.empty())
        return true;
    for (const KvtIndexEntry& entry : m_entries)
        if (entry.offset < 0 || static_cast<uint64_t>(entry.offset) < dataStart
            || static_cast<uint64_t>(entry.offset) >= limit)
            return false;
    uint64_t start = 0;
    return data.ReadAt(static_cast<uint64_t>(m_entries.back().offset) + Kvd::DataChunk::kStart, &start, sizeof start)
           && start == m_entries.back().time;
}

bool CKVTAStreamIndex::ReadStored(CFileReader& data, uint64_t indexPosition, uint64_t dataStart)
{
    data.Seek(indexPosition);
    if (ReadHeader(data) && Read(data) && Verify(data, dataStart, indexPosition))
        return true;
    Clear();
    return false;
}

void CKVTAStreamIndex::AppendHeader(std::vector<uint8_t>& out, const std::string& path, int32_t streamCount)
{
    m_recordVersion = 1;
    m_recordPath = path.substr(0, IndexRecord::kPathWidth - 1);
    m_recordStreamCount = streamCount;
    m_recordEntryCount = static_cast<int32_t>(m_entries.size());
    m_recordFirstTime = m_entries.empty() ? 0 : m_entries.front().time;
    m_recordLastTime = m_entries.empty() ? 0 : m_entries.back().time;
    m_recordSweepCount = GetSweepCount();
    m_recordFirstSweep = m_sweepStarts.empty() ? 0 : m_sweepStarts.front();
    m_recordLastSweep = m_sweepStops.empty() ? 0 : m_sweepStops.back();
    CByteWriter writer(out);
    writer.PutId(Kvd::kIdIndex).Put<int64_t>(IndexRecord::kSizeWritten).Put<uint16_t>(m_recordVersion);
    writer.PutText(m_recordPath, IndexRecord::kPathWidth).Put<int32_t>(m_recordStreamCount);
    writer.Put<int32_t>(m_recordEntryCount).Put<uint64_t>(m_recordFirstTime).Put<uint64_t>(m_recordLastTime);
    writer.Put<int32_t>(m_recordSweepCount).Put<uint64_t>(m_recordFirstSweep).Put<uint64_t>(m_recordLastSweep);
}

void CKVTAStreamIndex::AppendRecords(std::vector<uint8_t>& out) const
{
    CByteWriter writer(out);
    writer.PutId(Kvd::kIdIndexEntries).Put<int64_t>(static_cast<int64_t>(16 * m_entries.size()));
    for (const KvtIndexEntry& entry : m_entries)
        writer.Put<uint64_t>(entry.time).Put<int64_t>(entry.offset);
    writer.PutId(Kvd::kIdIndexSweeps).Put<int64_t>(static_cast<int64_t>(16 * m_sweepStarts.size()));
    for (size_t i = 0; i < m_sweepStarts.size(); ++i)
        writer.Put<uint64_t>(m_sweepStarts[i]).Put<uint64_t>(m_sweepStops[i]);
}

int CKVTAStreamIndex::WriteHeader(FILE* file, const std::string& path, int32_t streamCount)
{
    std::vector<uint8_t> bytes;
    AppendHeader(bytes, path, streamCount);
    return file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() ? 0 : 1;
}

int CKVTAStreamIndex::Write(FILE* file) const
{
    std::vector<uint8_t> bytes;
    AppendRecords(bytes);
    return file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() ? 0 : 1;
}

// One pass machine over the streams' blocks, in step: an entry for (at least) every 250000
// bytes of data. The passes go on while the reference stream (the last stream with data) has
// blocks; streams that run out earlier drop out. The sweeps are the time the streams of samples
// recorded together (SweepsOfSamples); a recording of events only takes a sweep for every
// gap-free run of the reference stream (time it lost counts as run).
bool CKVTAStreamIndex::GenerateIndex(const std::vector<CKVTAStream*>& streams, CKVTAFileContext& file,
                                     uint64_t fileLength, bool discardEntries, uint64_t sweepLength)
{
    Clear();
    std::vector<uint64_t> starts;
    std::vector<uint64_t> stops;
    starts.reserve(500);
    stops.reserve(500);
    std::vector<StreamWalk> walks;
    for (CKVTAStream* stream : streams)
        walks.push_back(StreamWalk {stream, stream ? stream->GetFirstChunk() : nullptr});

    // The walk follows the last stream of samples with data (events, when no stream holds
    // samples).
    int reference = -1;
    bool referenceHasFrames = false;
    int candidate = -1;
    for (size_t s = 0; s < walks.size(); ++s) {
        if (!walks[s].block)
            continue;
        const bool frames = walks[s].stream->FrameBytes() > 0;
        if (frames || !referenceHasFrames) {
            reference = static_cast<int>(s);
            referenceHasFrames = frames;
        }
        if (candidate < 0 || walks[s].block->GetPayloadPosition()
                                 < walks[static_cast<size_t>(candidate)].block->GetPayloadPosition())
            candidate = static_cast<int>(s);
    }
    // The streams of samples give the sweeps; a recording of events only has the reference
    // stream's runs.
    const bool sweepsOfReference = !SweepsOfSamples(streams, file, sweepLength, starts, stops);
    if (reference < 0) {
        // No chunk could be read: the time the file lost may still make a sweep.
        m_sweepStarts = std::move(starts);
        m_sweepStops = std::move(stops);
        m_built = true;
        return true;
    }
    uint64_t candidateTime = walks[static_cast<size_t>(candidate)].block->GetStartTime();
    uint64_t candidatePosition = walks[static_cast<size_t>(candidate)].block->GetPayloadPosition();
    std::vector<KvtIndexEntry> entries;
    entries.push_back(KvtIndexEntry {candidateTime, static_cast<int64_t>(candidatePosition - 32)});

    StreamWalk& ref = walks[static_cast<size_t>(reference)];
    uint64_t previousStop = ref.block->GetStartTime();
    // Time that the stream recorded but the file lost belongs to the sweep it lies in: a lost
    // chunk neither splits a sweep nor shortens it.
    const std::vector<KvtHole>& holes = ref.stream->GetHoles();
    if (sweepsOfReference) {
        const bool lostFirst = !holes.empty() && holes.front().from < previousStop && holes.front().to >= previousStop;
        starts.push_back(lostFirst ? holes.front().from : previousStop);
    }
    int state = 0;
    while (ref.block) {
        if (sweepsOfReference) {
            if (ref.block->GetStartTime() > previousStop) {
                stops.push_back(previousStop);
                starts.push_back(ref.block->GetStartTime());
            }
            // A damaged stop field of a raw block neither splits a sweep nor runs it on for ever.
            previousStop = ref.stream->GetDataStopTime(*ref.block);
            const KvtHole* lost = ref.stream->GetHoleAt(previousStop);
            if (lost && lost->cause != KvtHoleCause::kFileCut)
                previousStop = lost->to;
        }
        if (state == 1) {
            state = 2;
            candidateTime = 0;
        }
        for (StreamWalk& walk : walks) {
            if (!walk.block)
                continue;
            std::unique_ptr<CKVTADataBlock> next = walk.stream->GetNextChunk(*walk.block);
            if (next) {
                const uint64_t position = next->GetPayloadPosition();
                if (state == 0 && position > candidatePosition + kEntrySpacing) {
                    state = 1;
                } else if (state == 2 && (candidateTime == 0 || position < candidatePosition)) {
                    candidateTime = next->GetStartTime();
                    candidatePosition = position;
                }
            }
            walk.block = std::move(next);
        }
        int percent = 100;
        if (ref.block && fileLength / 100 != 0)
            percent = static_cast<int>((ref.block->GetPayloadPosition() / 100) * 100 / (fileLength / 100));
        if (file.ReportProgress(kProgressText, percent) != 0) {
            Clear();
            return false;
        }
        if (state == 2) {
            if (candidateTime != 0)
                entries.push_back(KvtIndexEntry {candidateTime, static_cast<int64_t>(candidatePosition - 32)});
            state = 0;
        }
    }
    if (sweepsOfReference) {
        // Where the file was cut, the time behind the data belongs to the sweep it broke off, or
        // is a sweep of its own when that sweep was whole: either way it is read, and refused,
        // as lost.
        const KvtHole* cut = ref.stream->GetHoleAt(previousStop);
        if (cut && cut->cause == KvtHoleCause::kFileCut) {
            if (sweepLength != 0 && previousStop - starts.back() >= sweepLength) {
                stops.push_back(previousStop);
                starts.push_back(cut->from);
            }
            previousStop = cut->to;
        }
        stops.push_back(previousStop);
    }

    if (!discardEntries)
        for (const KvtIndexEntry& entry : entries)
            AddEntry(entry.time, entry.offset);
    m_sweepStarts = std::move(starts);
    m_sweepStops = std::move(stops);
    m_built = true;
    return true;
}

std::string CKVTAStreamIndex::CacheFileName(const std::string& folder, uint64_t fileTime)
{
    char number[32];
    std::snprintf(number, sizeof number, "%" PRIu64, fileTime);
    return folder + "kvtidx" + number;
}

bool CKVTAStreamIndex::LoadCache(const std::string& folder, uint64_t fileTime, CFileReader& data, uint64_t dataStart)
{
    if (folder.empty())
        return false;
    FILE* cache = fopen(CacheFileName(folder, fileTime).c_str(), "rb");
    if (!cache)
        return false;
    CFileReader reader(cache);
    const bool ok = ReadHeader(reader) && Read(reader) && Verify(data, dataStart, data.Length());
    fclose(cache);
    if (!ok)
        Clear();
    return ok;
}

bool CKVTAStreamIndex::WriteCache(const std::string& folder, uint64_t fileTime, const std::string& dataPath,
                                  int32_t streamCount)
{
    if (folder.empty())
        return false;
    FILE* cache = fopen(CacheFileName(folder, fileTime).c_str(), "wb");
    if (!cache)
        return false;
    std::vector<uint8_t> bytes;
    AppendHeader(bytes, dataPath, streamCount);
    AppendRecords(bytes);
    const bool written = fwrite(bytes.data(), 1, bytes.size(), cache) == bytes.size();
    return fclose(cache) == 0 && written;
}
