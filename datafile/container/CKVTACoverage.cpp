#include "datafile/container/CKVTACoverage.h"

#include <algorithm>
#include <limits>

#include "datafile/container/CFileReader.h"
#include "datafile/container/CKVTAChunkChain.h"
#include "datafile/container/KvdFormat.h"
#include "platform/CByteReader.h"

namespace {

using U128 = unsigned __int128;
constexpr uint64_t kNsTimesMilliHz = 1000000000000ull;  // ns per s x mHz per Hz

uint64_t Saturate(U128 value)
{
    return value > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(value);
}

uint64_t AddSaturated(uint64_t a, uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

bool Near(uint64_t a, uint64_t b, uint64_t slack)
{
    return (a > b ? a - b : b - a) <= slack;
}

// True when the bytes [from, to) of the file are all zero: padding behind the data, not data.
bool AllZero(CFileReader* reader, uint64_t from, uint64_t to)
{
    if (!reader)
        return false;
    constexpr size_t kPiece = 1 << 20;
    std::vector<uint8_t> piece;
    for (uint64_t at = from; at < to;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kPiece, to - at));
        piece.resize(n);
        if (!reader->ReadAt(at, piece.data(), n))
            return false;
        if (std::any_of(piece.begin(), piece.end(), [](uint8_t b) { return b != 0; }))
            return false;
        at += n;
    }
    return true;
}

// Keys that differ in exactly one of their 8 bytes: an id with one damaged byte.
bool OneByteApart(uint64_t a, uint64_t b)
{
    int differ = 0;
    for (int i = 0; i < 8; ++i)
        differ += ((a >> (8 * i)) & 0xFF) != ((b >> (8 * i)) & 0xFF);
    return differ == 1;
}

// How long before the header's start a chunk may begin: the recording program may start its
// first chunks a little before the time it notes as the start; a damaged start lies far off.
constexpr uint64_t kEarlyStartNs = 1000000000;
constexpr uint64_t kLongestChunkNs = 60000000000;

// A stream's rate in mHz, as the unsigned number every time formula works with.
uint64_t RateOf(const KvtStreamFacts& facts)
{
    return static_cast<uint32_t>(facts.rateMilliHz);
}

const std::vector<size_t> kNoChunks;
const std::vector<KvtHole> kNoHoles;

// The chunks of one period lie together in the file: a few on either side of chunk i are
// enough to find them. [first, last) of the file-order indexes around i, i among them.
std::pair<size_t, size_t> PeriodAround(size_t i, size_t count)
{
    constexpr size_t kAround = 8;
    return {i > kAround ? i - kAround : 0, std::min(count, i + kAround + 1)};
}

// True when chunk c's times are in order and its payload is whole frames of `facts` that last
// as long as they say.
bool SpanHoldsFrames(const KvtStreamFacts& facts, const KvtChunkInfo& c)
{
    return c.start <= c.stop && facts.HoldsFramesOf(static_cast<uint64_t>(c.payloadSize), c.stop - c.start);
}

// The time chunk c's frames of `facts` last where its times span just that, as the recorder
// wrote them; else 0. Only such a span tells a period: one a frame off may have moved.
uint64_t ExactFramesTime(const KvtStreamFacts& facts, const KvtChunkInfo& c)
{
    const uint64_t length = facts.Duration(static_cast<uint64_t>(c.payloadSize));
    return c.stop - c.start == length ? length : 0;
}

} // namespace

uint64_t KvtStreamFacts::Duration(uint64_t bytes) const
{
    if (!HasFrames())
        return 0;
    // Rounded up: a stop field a recorder rounded stays good.
    const uint64_t rate = RateOf(*this);
    const U128 frames = bytes / frameBytes;
    return Saturate((frames * kNsTimesMilliHz + rate - 1) / rate);
}

uint64_t KvtStreamFacts::FramesIn(uint64_t span) const
{
    if (!HasFrames())
        return 0;
    // Rounded to the nearest: a span a little off its frames still tells them. At most
    // 2^64 ns x 2^31 mHz / 10^12, so the count fits.
    const U128 scaled = static_cast<U128>(span) * RateOf(*this);
    return static_cast<uint64_t>((scaled + kNsTimesMilliHz / 2) / kNsTimesMilliHz);
}

bool KvtStreamFacts::HoldsFramesOf(uint64_t bytes, uint64_t span) const
{
    if (!HasFrames() || bytes % frameBytes != 0)
        return false;
    // |span x rate - frames x 10^12| within one frame's time x rate.
    const uint64_t rate = RateOf(*this);
    const U128 spanScaled = static_cast<U128>(span) * rate;
    const U128 framesScaled = static_cast<U128>(bytes / frameBytes) * kNsTimesMilliHz;
    const U128 slack = static_cast<U128>(FrameTime()) * rate;
    const U128 off = spanScaled > framesScaled ? spanScaled - framesScaled
                                               : framesScaled - spanScaled;
    return off <= slack;
}

uint64_t KvtStreamFacts::FrameTime() const
{
    if (!HasFrames())
        return 0;
    const uint64_t rate = RateOf(*this);
    return (kNsTimesMilliHz + rate - 1) / rate;
}

void CKVTACoverage::Clear()
{
    m_chunks = nullptr;
    m_trusted = nullptr;
    m_lost = nullptr;
    m_streams.clear();
    m_byKey.clear();
    m_unread.clear();
    m_chunksMayPrecedeStart = false;
    m_dataStart = m_recordingStart = m_claimedStop = m_cutFrom = m_extentStart = m_extentEnd = m_samplesEnd = 0;
    m_fileCut = false;
    m_endUnknown = false;
    m_allCounted = false;
    m_continuous = true;
    m_sweepLength = 0;
    m_triggersSpanSweep = false;
    m_storedSweeps.clear();
    m_built = false;
}

CKVTACoverage::StreamState* CKVTACoverage::Find(uint64_t key)
{
    const auto found = m_byKey.find(key);
    return found == m_byKey.end() ? nullptr : &m_streams[found->second];
}

const CKVTACoverage::StreamState* CKVTACoverage::Find(uint64_t key) const
{
    const auto found = m_byKey.find(key);
    return found == m_byKey.end() ? nullptr : &m_streams[found->second];
}

const std::vector<size_t>& CKVTACoverage::ChunksOf(uint64_t key) const
{
    const StreamState* s = Find(key);
    return s ? s->chunks : kNoChunks;
}

const std::vector<KvtHole>& CKVTACoverage::HolesOf(uint64_t key) const
{
    const StreamState* s = Find(key);
    return s ? s->holes : kNoHoles;
}

bool CKVTACoverage::HasHoles() const
{
    return std::any_of(m_streams.begin(), m_streams.end(),
                       [](const StreamState& s) { return !s.holes.empty(); });
}

const KvtHole* CKVTACoverage::HoleAt(uint64_t key, uint64_t t) const
{
    const std::vector<KvtHole>& holes = HolesOf(key);
    const auto at = std::upper_bound(holes.begin(), holes.end(), t,
                                     [](uint64_t v, const KvtHole& h) { return v < h.to; });
    return at != holes.end() && at->from <= t ? &*at : nullptr;
}

void CKVTACoverage::Build(std::vector<KvtChunkInfo>& chunks, std::vector<bool>& trusted,
                          const std::vector<KvtLostSpan>& lost,
                          const std::vector<KvtStreamFacts>& streams,
                          const KvtRecordingFacts& recording, CFileReader* reader,
                          uint64_t dataStart, uint64_t limit, uint64_t leftFrom)
{
    Clear();
    m_chunks = &chunks;
    m_trusted = &trusted;
    m_lost = &lost;
    m_dataStart = dataStart;
    m_recordingStart = recording.start;
    m_claimedStop = recording.claimedStop;
    m_chunksMayPrecedeStart = recording.chunksMayPrecedeStart;
    m_continuous = recording.continuous;
    m_sweepLength = recording.sweepLength;
    if (!m_continuous)
        KeepStoredSweeps(recording.storedSweeps);
    trusted.assign(chunks.size(), false);
    for (const KvtStreamFacts& facts : streams) {
        if (m_byKey.count(facts.key))
            continue;
        m_byKey.emplace(facts.key, m_streams.size());
        m_streams.push_back(StreamState {facts, {}, {}, false});
    }
    m_triggersSpanSweep = TriggersSpanSweepLength();
    // Bytes too few for a head where the stored index begins are that index, cut short: no
    // data is missing.
    if (recording.indexPositionField != 0 && leftFrom == recording.indexPositionField)
        leftFrom = limit;
    // The file holds every chunk its header counts: bytes that break off at its end are then
    // a damaged size, not a copy cut short.
    m_allCounted = recording.claimedChunks != 0
                   && chunks.size() + lost.size() >= recording.claimedChunks;
    leftFrom = TakeStrayBytesIntoLastEventChunk(reader, leftFrom, limit);
    const bool leftOver = leftFrom < limit && !AllZero(reader, leftFrom, limit);
    std::vector<std::vector<size_t>> candidates(m_streams.size());
    for (size_t i = 0; i < chunks.size(); ++i) {
        // A chunk whose size leaves a few stray bytes at the end of a whole file is in doubt.
        if (leftOver && m_allCounted && chunks[i].End() == leftFrom)
            continue;
        const auto found = m_byKey.find(chunks[i].key);
        if (found != m_byKey.end())
            candidates[found->second].push_back(i);
    }
    // Whether a stream's chunks are held to their spans is known for all before any is
    // classified: another stream's heads vouch for a chunk only where they agree with themselves.
    for (size_t s = 0; s < m_streams.size(); ++s)
        PutStopsBackInsideRecording(m_streams[s], candidates[s]);
    for (size_t s = 0; s < m_streams.size(); ++s)
        m_streams[s].spansChecked = SpansHold(m_streams[s], candidates[s]);
    for (size_t s = 0; s < m_streams.size(); ++s) {
        PutSwappedTimesBack(m_streams[s], candidates[s]);
        PutSwappedEventTimesBack(m_streams[s], candidates[s]);
        PutSizesBackOnFrames(m_streams[s], candidates[s]);
        PutEventSizesBackOnRecords(m_streams[s], candidates[s]);
        PutEventSizesBackByAHead(m_streams[s], candidates[s]);
        PutTriggerTimesBackOnSweeps(m_streams[s], candidates[s]);
        PutOverlappingTriggerStartsBack(m_streams[s], candidates[s]);
        PutFarEventStartOnRecordingStart(m_streams[s], candidates[s]);
    }
    for (size_t s = 0; s < m_streams.size(); ++s)
        PutChunksBackIntoLostTriggers(m_streams[s], candidates[s]);
    // The streams of samples first: their gaps tell which heads under an event stream's id
    // carry their frames.
    for (size_t s = 0; s < m_streams.size(); ++s)
        if (m_streams[s].facts.HasFrames())
            ClassifyStream(m_streams[s], candidates[s]);
    for (size_t s = 0; s < m_streams.size(); ++s)
        if (m_streams[s].facts.HasFrames())
            ReclaimFramesUnderOtherIds(m_streams[s], candidates[s]);
    for (size_t s = 0; s < m_streams.size(); ++s) {
        if (m_streams[s].facts.HasFrames())
            continue;
        ReclaimFramesUnderEventIds(candidates[s]);
        PutEventStopsBackToTheirPeriods(candidates[s]);
        ClassifyStream(m_streams[s], candidates[s]);
    }
    for (StreamState& s : m_streams) {
        SnapTimesToFrames(s);
        PutBackHeadsNudgedOffTheirPeriod(s);
        PutFirstStartBackOnRecordingStart(s);
    }
    PutFirstChunksBackInTheirTriggers();
    PutEarlyFirstChunksBack();
    MoveChunksIntoTheirPeriods();
    PutBackMovedChunks();
    MoveChunksBehindTriggersIntoTheirPeriods();
    MendChunksIntoTheirSweeps();
    // Mended heads tell the periods of the chunks beside them too.
    MoveChunksIntoTheirPeriods();
    PutChunksInWriteOrder();
    PutSweepChunksBackInPlace();
    PlaceRunsInFileOrder(recording.storedSweeps);
    PutLastStopsOnClaimedStop();
    if (!m_continuous)
        AlignTimesToPeriod();
    DropChunksOutsideStoredSweeps();
    CollectUnread(lost, reader, limit, leftFrom);
    WorkOutExtent(recording, limit);
    // A stretch skipped behind a damaged head is that head's stream's alone while no other
    // stream lacks time there; bytes behind a head that names no stream are the data of the
    // stream of samples whose gap they fill exactly, where one does.
    std::vector<UnreadBytes> split;
    for (UnreadBytes& u : m_unread) {
        UnreadBytes samples;
        if (SplitsOffSamples(u, samples, reader))
            split.push_back(samples);
        else
            SplitsOffSweep(u, split, reader);
    }
    m_unread.insert(m_unread.end(), split.begin(), split.end());
    std::sort(m_unread.begin(), m_unread.end(),
              [](const UnreadBytes& a, const UnreadBytes& b) { return a.from < b.from; });
    for (UnreadBytes& u : m_unread) {
        if (u.key != 0 && !u.oneChunk && AnotherStreamLacks(u.key, u.from))
            u.key = 0;
        if (u.key == 0)
            u.key = FrameStreamFilling(u);
    }
    for (StreamState& s : m_streams)
        WorkOutHoles(s);
    m_built = true;
}

bool CKVTACoverage::StartsBeforeRecording(uint64_t start) const
{
    return !m_chunksMayPrecedeStart && m_recordingStart > kEarlyStartNs
           && start < m_recordingStart - kEarlyStartNs;
}

bool CKVTACoverage::StartsAfterRecording(const StreamState& s, uint64_t start, uint64_t stop) const
{
    // The header of a continuous recording claims when its samples stopped: frames that begin
    // there or later were never recorded, so a head that puts them there has moved. Events
    // may be stored later than that; a stop no later than the start tells no duration.
    return m_continuous && !m_chunksMayPrecedeStart && m_claimedStop > m_recordingStart
           && s.facts.HasFrames() && start < stop && start >= m_claimedStop;
}

bool CKVTACoverage::MeetsRecordingStart(uint64_t start, uint64_t slack) const
{
    // One that starts before it does not, unless the file's chunks may precede its start.
    return m_recordingStart == 0
           || (start <= AddSaturated(m_recordingStart, slack)
               && (m_chunksMayPrecedeStart || AddSaturated(start, slack) >= m_recordingStart));
}

bool CKVTACoverage::FirstMeetsStart(const StreamState& s, const KvtChunkInfo& c,
                                    const KvtChunkInfo* next, uint64_t slack) const
{
    if (!MeetsRecordingStart(c.start, slack))
        return false;
    // Old files' first chunks may begin a little before the header's start, but the streams of
    // a continuous recording begin together: a chunk that begins before it alone, and whose
    // frames would fill the time from the start to the stream's next chunk, has moved. A lone
    // stream tells that only beside events that begin at the start.
    const bool early = m_recordingStart != 0 && AddSaturated(c.start, slack) < m_recordingStart;
    const bool together = AnotherStreamHasFrames(s) || AnotherStreamMeetsStart(s, c, slack);
    if (!early || !m_continuous || !next || !together)
        return true;
    const uint64_t length = s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
    return !Near(next->start, AddSaturated(m_recordingStart, length), slack);
}

bool CKVTACoverage::AnotherStreamHasFrames(const StreamState& s) const
{
    return std::any_of(m_streams.begin(), m_streams.end(), [&](const StreamState& other) {
        return &other != &s && other.facts.HasFrames();
    });
}

bool CKVTACoverage::AnotherStreamMeetsStart(const StreamState& s, const KvtChunkInfo& c, uint64_t slack) const
{
    // A lone stream of samples begins with the events recorded beside it (a trigger chunk for
    // every slot): a head of theirs in its period that starts at the header's start shows that
    // the recording did not begin earlier.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto [from, to] = PeriodAround(static_cast<size_t>(&c - chunks.data()), chunks.size());
    for (size_t j = from; j < to; ++j) {
        const KvtChunkInfo& other = chunks[j];
        if (other.key != s.facts.key && Find(other.key) && other.start <= other.stop
            && Near(other.start, m_recordingStart, slack))
            return true;
    }
    return false;
}

bool CKVTACoverage::FirstStartFits(uint64_t start, uint64_t slack) const
{
    // Every stream of a continuous recording records from its start: a mended first chunk that
    // began later would make up a loss at the start that the bytes before it do not show.
    return !StartsBeforeRecording(start) && (!m_continuous || MeetsRecordingStart(start, slack));
}

void CKVTACoverage::ClassifyStream(StreamState& s, const std::vector<size_t>& candidates)
{
    const std::vector<size_t> sound = SelfConsistentHeads(s, candidates);
    // Heads in file order must follow each other in time. As a sound file has them, they all
    // do and are trusted at once; else the longest run that does is trusted, so that one
    // damaged time field costs its own chunk, not those around it.
    // In a continuous recording a head whose time is a nanosecond or so off its frames overlaps
    // its neighbour by less than a frame: the two still follow each other.
    const uint64_t slack = m_continuous ? s.facts.FrameTime() : 0;
    if (!m_continuous && s.spansChecked)
        PutBackNudgedHeads(s, sound);
    if (SweepLengthKnown() && s.spansChecked)
        PutBackNudgedStops(s, sound);
    s.chunks = FollowInTime(sound, slack) ? sound : LongestRisingRun(sound, slack);
    for (size_t i : s.chunks)
        (*m_trusted)[i] = true;
}

void CKVTACoverage::PutBackNudgedHeads(const StreamState& s, const std::vector<size_t>& sound)
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    // In sweeps chunks follow each other exactly. A head whose times both moved later by less
    // than a frame overlaps the next by as much; where its start, moved back by that much, meets
    // the stop of the head before or a trigger's start, both times were moved.
    for (size_t k = 0; k + 1 < sound.size(); ++k) {
        KvtChunkInfo& c = chunks[sound[k]];
        const uint64_t next = chunks[sound[k + 1]].start;
        if (next >= c.stop || c.stop - next >= s.facts.FrameTime() || c.start < c.stop - next)
            continue;
        const uint64_t start = c.start - (c.stop - next);
        if ((k > 0 && chunks[sound[k - 1]].stop == start) || TriggerStartsAt(sound[k], start)) {
            c.start = start;
            c.stop = next;
        }
    }
}

bool CKVTACoverage::TriggerAround(size_t i, const TriggerFits& fits) const
{
    // The recorder writes a period's triggers among its chunks: the event heads a few on
    // either side of chunk i in the file are the ones of its period.
    const auto [from, to] = PeriodAround(i, m_chunks->size());
    for (size_t j = from; j < to; ++j) {
        const StreamState* owner = Find((*m_chunks)[j].key);
        if (owner && !owner->facts.HasFrames() && fits(j, *owner))
            return true;
    }
    return false;
}

bool CKVTACoverage::TriggerStartsAt(size_t i, uint64_t t) const
{
    return TriggerAround(i, [&](size_t j, const StreamState&) { return (*m_chunks)[j].start == t; });
}

std::vector<size_t> CKVTACoverage::SelfConsistentHeads(StreamState& s,
                                                       const std::vector<size_t>& candidates)
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    // A head agrees with itself: its times in order, not before the recording, and for a stream
    // of samples a payload of whole frames that last as long as its times say. The last check
    // holds for a stream whose chunks mostly pass it: a stream written with other times (no
    // recording program's) is judged by the order of its chunks alone. It is counted among the
    // heads whose times are in order: those alone a merge copies, so that a merged file is
    // judged as its inputs were.
    std::vector<size_t> sound;
    for (size_t i : candidates) {
        const KvtChunkInfo& c = chunks[i];
        if (c.start > c.stop || StartsBeforeRecording(c.start)
            || (i == candidates.front() && EarlyWithoutItsFrames(s, c))
            || (i != candidates.front() && EarlyBehindItsFirst(s, c)) || BreaksOffInAFrame(s, c)
            || StartsAfterRecording(s, c.start, c.stop))
            continue;
        if ((!s.spansChecked || SpanHoldsFrames(s.facts, c)) && !StopsLongAfterItsStart(s, c)
            && !InAnotherStreamsPlace(s, i))
            sound.push_back(i);
    }
    DropTwins(s, sound);
    if (s.spansChecked)
        DropJumps(s, sound);
    return sound;
}

void CKVTACoverage::PutSwappedTimesBack(const StreamState& s, const std::vector<size_t>& candidates)
{
    if (!s.spansChecked)
        return;
    // A start that lies past the stop by just the frames' time is the stop: no damage to one
    // field lands there by chance.
    for (size_t i : candidates) {
        KvtChunkInfo& c = (*m_chunks)[i];
        if (c.start > c.stop && s.facts.HoldsFramesOf(static_cast<uint64_t>(c.payloadSize), c.start - c.stop))
            std::swap(c.start, c.stop);
    }
}

bool CKVTACoverage::SpansHold(const StreamState& s, const std::vector<size_t>& candidates) const
{
    if (!s.facts.HasFrames())
        return false;
    size_t ordered = 0;
    size_t agreeing = 0;
    size_t agreeingWithFrames = 0;   // those among them that hold at least one frame
    for (size_t k = 0; k < candidates.size(); ++k) {
        const KvtChunkInfo& c = (*m_chunks)[candidates[k]];
        if (c.start > c.stop || StartsBeforeRecording(c.start)
            || TwinOfFramedHead(s, candidates, k))
            continue;
        ++ordered;
        if (SpanHoldsFrames(s.facts, c)) {
            ++agreeing;
            agreeingWithFrames += c.payloadSize > 0 ? 1 : 0;
        }
    }
    return 2 * agreeing > ordered || HalfHold(agreeingWithFrames, ordered)
           || (agreeingWithFrames > 0 && 2 * agreeingWithFrames == ordered
               && PeriodsBearOutFrames(s, candidates));
}

bool CKVTACoverage::HalfHold(size_t agreeingWithFrames, size_t ordered) const
{
    // Frames that last just as long as the times say are no chance: where half of a stream's
    // heads show them (one damaged head of two), the stream was written by a recorder that
    // keeps to them. Old files tell their mode by the gaps between the chunks they trust,
    // before the mode is known: there the majority alone decides, lest a dropped chunk be
    // taken for a gap. Once the gaps told sweeps, half decides there too.
    const bool modeKnown = !m_chunksMayPrecedeStart || !m_continuous;
    return modeKnown && agreeingWithFrames > 0 && 2 * agreeingWithFrames == ordered;
}

bool CKVTACoverage::FollowInTime(const std::vector<size_t>& heads, uint64_t slack) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    return std::adjacent_find(heads.begin(), heads.end(), [&](size_t previous, size_t next) {
               return AddSaturated(chunks[next].start, slack) < chunks[previous].stop;
           }) == heads.end();
}

std::vector<size_t> CKVTACoverage::LongestRisingRun(const std::vector<size_t>& heads, uint64_t slack) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    // For each length, the run of that length so far that ends at the earliest stop: a head
    // extends the longest of them that stop at or before its start. Each head notes the run it
    // extended, so the longest run is read back from its last head.
    std::vector<uint64_t> minStop;   // the least last stop of a run of each length
    std::vector<size_t> lastOf;      // the head that ends that run
    std::vector<size_t> parent(heads.size(), SIZE_MAX);
    for (size_t k = 0; k < heads.size(); ++k) {
        const KvtChunkInfo& c = chunks[heads[k]];
        const size_t length = static_cast<size_t>(
            std::upper_bound(minStop.begin(), minStop.end(), AddSaturated(c.start, slack)) - minStop.begin());
        if (length > 0)
            parent[k] = lastOf[length - 1];
        if (length == minStop.size()) {
            minStop.push_back(c.stop);
            lastOf.push_back(k);
        } else if (c.stop < minStop[length]) {
            minStop[length] = c.stop;
            lastOf[length] = k;
        }
    }
    std::vector<size_t> run;
    for (size_t k = lastOf.empty() ? SIZE_MAX : lastOf.back(); k != SIZE_MAX; k = parent[k])
        run.push_back(heads[k]);
    std::reverse(run.begin(), run.end());
    return run;
}

std::vector<int> CKVTACoverage::Joins(const StreamState& s, const std::vector<size_t>& sound) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const uint64_t slack = s.facts.FrameTime();
    std::vector<int> joins(sound.size(), 0);
    for (size_t k = 0; k < sound.size(); ++k) {
        const KvtChunkInfo& c = chunks[sound[k]];
        const KvtChunkInfo* after = k + 1 < sound.size() ? &chunks[sound[k + 1]] : nullptr;
        const bool previous = k == 0 ? FirstMeetsStart(s, c, after, slack)
                                     : Near(chunks[sound[k - 1]].stop, c.start, slack);
        const bool next = k + 1 == sound.size()
                              ? m_claimedStop != 0 && c.stop <= AddSaturated(m_claimedStop, slack)
                              : Near(chunks[sound[k + 1]].start, c.stop, slack);
        joins[k] = (previous ? 1 : 0) + (next ? 1 : 0);
    }
    return joins;
}

void CKVTACoverage::DropJumps(const StreamState& s, std::vector<size_t>& sound) const
{
    const std::vector<int> joins = Joins(s, sound);
    std::vector<size_t> kept;
    for (size_t k = 0; k < sound.size(); ++k) {
        // A lost head of another stream that began with it vouches as well as a readable one.
        const bool accompanied = m_continuous ? AccompaniedInFile(s, sound[k])
                                                    || BesideLostHeadOfItsTime(s, sound[k])
                                                    || BesideDamagedTriggerOfItsTime(s, sound[k])
                                                    || TriggerPastMovedHeadVouches(s, sound[k])
                                              : AccompaniedInSweeps(s, sound[k]);
        const size_t before = kept.empty() ? m_chunks->size() : kept.back();
        if (joins[k] > 0 || accompanied || BehindLostTriggerOfItsSize(s, sound[k])
            || ((m_continuous || !kept.empty())
                && LostBytesLeadTo(s, before, sound[k], (*m_chunks)[sound[k]].start))
            || LostHeadClaimLeadsTo(s, before, sound[k]))
            kept.push_back(sound[k]);
    }
    sound.swap(kept);
}

bool CKVTACoverage::LostBytesLeadTo(const StreamState& s, size_t before, size_t i,
                                    uint64_t start) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const bool first = before >= chunks.size();
    if (first && m_recordingStart == 0)
        return false;
    const uint64_t fromOffset = first ? m_dataStart : chunks[before].End();
    const uint64_t toOffset = chunks[i].offset;
    uint64_t bytes = 0;
    for (size_t j = first ? 0 : before + 1; j < i; ++j)
        if (StreamOf(chunks[j].key) == s.facts.key || FramesUnderEventId(s, chunks[j]))
            bytes += static_cast<uint64_t>(chunks[j].payloadSize);
    // Stretches the chain could not read hold this stream's bytes unless their head names
    // another stream.
    for (const KvtLostSpan& span : *m_lost) {
        const uint64_t owner = StreamOf(span.headKey);
        if (span.from >= fromOffset && span.to <= toOffset && (owner == 0 || owner == s.facts.key)
            && span.to - span.from >= Kvd::DataChunk::kHeaderBytes)
            bytes += span.to - span.from - Kvd::DataChunk::kHeaderBytes;
    }
    if (bytes == 0 || bytes % s.facts.frameBytes != 0)
        return false;
    const uint64_t from = first ? m_recordingStart : chunks[before].stop;
    return Near(start, AddSaturated(from, s.facts.Duration(bytes)), s.facts.FrameTime());
}

bool CKVTACoverage::FramesUnderEventId(const StreamState& s, const KvtChunkInfo& c) const
{
    // Events carry no frames: a head under an event stream's id whose bytes are this stream's
    // frames for as long as its times say may be this stream's chunk under a damaged id.
    const StreamState* named = Find(StreamOf(c.key));
    return named && !named->facts.HasFrames() && c.payloadSize > 0 && SpanHoldsFrames(s.facts, c);
}

bool CKVTACoverage::AccompaniedInSweeps(const StreamState& s, size_t i) const
{
    return AnotherStreamOverlaps(s, i) || BesideLostHeadOfItsTime(s, i)
           || BesideOwnHeadThatDisagrees(s, i) || InsideLostTrigger(s, i);
}

bool CKVTACoverage::AnotherStreamOverlaps(const StreamState& s, size_t i) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& c = chunks[i];
    const auto [from, to] = PeriodAround(i, chunks.size());
    const auto overlaps = [&](uint64_t start, uint64_t stop) {
        return start < std::max(c.stop, c.start + 1) && c.start < std::max(stop, start + 1);
    };
    for (size_t j = from; j < to; ++j) {
        const KvtChunkInfo& other = chunks[j];
        // An id one byte off still names its stream.
        const StreamState* owner = Find(StreamOf(other.key));
        if (!owner || owner == &s)
            continue;
        if (HeadAgreesWithItself(other, *owner)) {
            if (overlaps(other.start, other.stop))
                return true;
            continue;
        }
        // A head that disagrees with itself vouches only with a time its frames bear out: a
        // damaged stop may span everything, but the time field left whole is still its own.
        // Events tell no duration: their start alone (a trigger starts its sweep).
        if (!owner->spansChecked) {
            if (overlaps(other.start, other.start + 1) || EventEdgeMeets(other, c))
                return true;
            continue;
        }
        const uint64_t length = owner->facts.Duration(static_cast<uint64_t>(other.payloadSize));
        if (overlaps(other.start, AddSaturated(other.start, length))
            || (other.stop >= length && overlaps(other.stop - length, other.stop)))
            return true;
    }
    return false;
}

bool CKVTACoverage::EventEdgeMeets(const KvtChunkInfo& event, const KvtChunkInfo& c)
{
    // A trigger's chunk spans its sweep: the stop a damaged head left whole still marks where
    // the sweep ends; with the two times swapped (a chunk's time apart), its start does.
    const auto ends = [&](uint64_t t) { return c.start < t && t <= c.stop; };
    const bool swapped = event.start > event.stop && event.start - event.stop <= kLongestChunkNs;
    return ends(event.stop) || (swapped && ends(event.start));
}

bool CKVTACoverage::BesideLostHeadOfItsTime(const StreamState& s, size_t i) const
{
    const KvtChunkInfo& c = (*m_chunks)[i];
    // The lost stretches lie in file order, apart: the one that ends where the chunk begins
    // and the one that begins where it ends are the first two that do not end before it.
    const auto first = std::lower_bound(m_lost->begin(), m_lost->end(), c.offset,
                                        [](const KvtLostSpan& span, uint64_t at) { return span.to < at; });
    for (auto span = first; span != m_lost->end() && span->from <= c.End(); ++span) {
        if (span->to != c.offset && span->from != c.End())
            continue;
        const StreamState* owner = Find(StreamOf(span->headKey));
        if (owner && owner != &s && span->headStart == c.start)
            return true;
    }
    return false;
}

bool CKVTACoverage::BesideOwnHeadThatDisagrees(const StreamState& s, size_t i) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (size_t j : {i - 1, i + 1}) {
        if (j < chunks.size() && chunks[j].key == s.facts.key && chunks[j].start == chunks[i].start
            && !HeadAgreesWithItself(chunks[j], s))
            return true;
    }
    return false;
}

bool CKVTACoverage::HeadAgreesWithItself(const KvtChunkInfo& c, const StreamState& s) const
{
    return s.spansChecked ? SpanHoldsFrames(s.facts, c) : c.start <= c.stop && c.stop - c.start <= kLongestChunkNs;
}

void CKVTACoverage::DropTwins(const StreamState& s, std::vector<size_t>& sound) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    // Positions in `sound` by start; a sound file has them in that order already.
    std::vector<size_t> byStart(sound.size());
    for (size_t k = 0; k < sound.size(); ++k)
        byStart[k] = k;
    const auto earlier = [&](size_t a, size_t b) { return chunks[sound[a]].start < chunks[sound[b]].start; };
    if (!std::is_sorted(byStart.begin(), byStart.end(), earlier))
        std::sort(byStart.begin(), byStart.end(), earlier);
    const auto twins = [&](size_t a, size_t b) {
        return chunks[sound[a]].start == chunks[sound[b]].start && chunks[sound[a]].stop == chunks[sound[b]].stop;
    };
    if (std::adjacent_find(byStart.begin(), byStart.end(), twins) == byStart.end())
        return;
    const std::vector<int> joins = Joins(s, sound);
    std::vector<bool> drop(sound.size(), false);
    for (size_t k = 1; k < byStart.size(); ++k) {
        const size_t a = byStart[k - 1];
        const size_t b = byStart[k];
        if (!twins(a, b))
            continue;
        // The twin that meets fewer of its neighbours is the damaged one. Where they meet as
        // many, the one that is kept must leave the other's bytes where its stream lacks the
        // time they hold; where that holds for both or neither, nothing tells.
        // Twins side by side meet each other, not a neighbour: where one lies in the place of
        // another stream's chunk, that tells first.
        size_t foreign = TwinInAnotherStreamsPlace(s, sound[a], sound[b]);
        if (foreign == SIZE_MAX)
            foreign = TwinAloneInSweeps(s, sound[a], sound[b]);
        if (foreign == SIZE_MAX)
            foreign = TwinMovedWithinItsSweep(s, sound, std::min(a, b));
        if (foreign != SIZE_MAX) {
            drop[a] = drop[a] || foreign == sound[a];
            drop[b] = drop[b] || foreign == sound[b];
        } else if (joins[a] == joins[b]) {
            // Where one of them lies in the file in a period that is not its times', it moved.
            const bool movedA = WrittenOutsideItsTimes(s, sound[a]);
            const bool movedB = WrittenOutsideItsTimes(s, sound[b]);
            const bool keepA = movedA != movedB ? movedB : BytesFitWithout(s, sound, b);
            const bool keepB = movedA != movedB ? movedA : BytesFitWithout(s, sound, a);
            drop[a] = drop[a] || !keepA || keepB;
            drop[b] = drop[b] || !keepB || keepA;
        } else {
            drop[a] = drop[a] || joins[a] < joins[b];
            drop[b] = drop[b] || joins[b] < joins[a];
        }
    }
    size_t kept = 0;
    for (size_t k = 0; k < sound.size(); ++k)
        if (!drop[k])
            sound[kept++] = sound[k];
    sound.resize(kept);
}

bool CKVTACoverage::BytesFitWithout(const StreamState& s, const std::vector<size_t>& sound, size_t k) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    // The chunks of `sound` around sound[k] in the file, it left out.
    const size_t before = k > 0 ? sound[k - 1] : chunks.size();
    const size_t after = k + 1 < sound.size() ? sound[k + 1] : chunks.size();
    if (after == chunks.size())
        return true;
    const uint64_t from = before < chunks.size() ? chunks[before].stop : m_recordingStart;
    const uint64_t gap = chunks[after].start > from ? chunks[after].start - from : 0;
    // Every head of the stream between them that is not trusted holds time lost there.
    uint64_t needed = 0;
    for (size_t j = before < chunks.size() ? before + 1 : 0; j < after; ++j)
        if (chunks[j].key == s.facts.key)
            needed += s.facts.Duration(static_cast<uint64_t>(chunks[j].payloadSize));
    return needed <= gap + s.facts.FrameTime();
}

bool CKVTACoverage::AccompaniedInFile(const StreamState& s, size_t i) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const uint64_t slack = s.facts.FrameTime();
    for (size_t j : {i - 1, i + 1}) {
        if (j >= chunks.size() || chunks[j].key == s.facts.key)
            continue;
        if (Find(chunks[j].key) && Near(chunks[j].start, chunks[i].start, slack))
            return true;
    }
    return false;
}

const CKVTACoverage::StreamState* CKVTACoverage::OtherTrustedStream(const StreamState& s,
                                                                   size_t j) const
{
    const StreamState* other = (*m_trusted)[j] ? Find((*m_chunks)[j].key) : nullptr;
    return other == &s ? nullptr : other;
}

bool CKVTACoverage::PeriodVouches(const StreamState& s, size_t i, uint64_t length, uint64_t& start,
                                  uint64_t& stop) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& c = chunks[i];
    const uint64_t slack = s.facts.FrameTime();
    const auto [from, to] = PeriodAround(i, chunks.size());
    for (size_t j = from; j < to; ++j) {
        const StreamState* other = OtherTrustedStream(s, j);
        if (!other)
            continue;
        const KvtChunkInfo& o = chunks[j];
        // An event chunk tells no span of its own, but a trigger beside this chunk that starts
        // its sweep with it, or spans it, vouches for it.
        if (!other->facts.HasFrames()) {
            if (c.key == s.facts.key && !m_continuous && TriggerVouches(o, c, length, start, stop))
                return true;
            continue;
        }
        if (c.key == s.facts.key && Near(o.start, c.start, slack)
            && Near(o.stop, AddSaturated(c.start, length), slack)) {
            start = c.start;   // the stop was wrong
            stop = o.stop;
            return true;
        }
        if (c.key == s.facts.key && c.stop >= length && Near(o.stop, c.stop, slack)
            && Near(o.start, c.stop - length, slack)) {
            start = o.start;   // the start was wrong
            stop = c.stop;
            return true;
        }
        if (c.key != s.facts.key && Near(o.start, c.start, slack) && Near(o.stop, c.stop, slack)
            && c.start <= c.stop && Near(c.stop - c.start, length, slack))
            return true;       // the id was wrong
    }
    return false;
}

void CKVTACoverage::SnapTimesToFrames(const StreamState& s)
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    if (!s.spansChecked)
        return;
    const auto framesEnd = [&](const KvtChunkInfo& c) {
        return AddSaturated(c.start, s.facts.Duration(static_cast<uint64_t>(c.payloadSize)));
    };
    const auto isShort = [&](const KvtChunkInfo& c) {
        return c.stop < framesEnd(c) && framesEnd(c) - c.stop < s.facts.FrameTime();
    };
    // True when a trusted chunk of another stream in the period of s.chunks[k] has the same
    // value of `field` (its start or stop).
    const auto periodShares = [&](size_t k, uint64_t KvtChunkInfo::*field) {
        const KvtChunkInfo& c = chunks[s.chunks[k]];
        const auto [from, to] = PeriodAround(s.chunks[k], chunks.size());
        for (size_t j = from; j < to; ++j)
            if (chunks[j].key != s.facts.key && (*m_trusted)[j] && chunks[j].*field == c.*field)
                return true;
        return false;
    };
    // The start of the chunk at s.chunks[k] is its own where the chunk before it stops there, or
    // another stream's chunk of its period starts there too: else the start may be the field
    // that is off.
    const auto startHolds = [&](size_t k) {
        return (k > 0 && chunks[s.chunks[k - 1]].stop == chunks[s.chunks[k]].start)
               || periodShares(k, &KvtChunkInfo::start);
    };
    // Likewise its stop, by the chunk behind it or another stream's chunk of its period.
    const auto stopHolds = [&](size_t k) {
        return (k + 1 < s.chunks.size() && chunks[s.chunks[k + 1]].start == chunks[s.chunks[k]].stop)
               || periodShares(k, &KvtChunkInfo::stop);
    };
    // Or more than its frames, by less than a frame: a start moved early.
    const auto isLong = [&](const KvtChunkInfo& c) {
        return c.stop > framesEnd(c) && c.stop - framesEnd(c) < s.facts.FrameTime();
    };
    size_t onGrid = 0;
    size_t offOnes = 0;
    for (size_t i : s.chunks) {
        onGrid += chunks[i].stop == framesEnd(chunks[i]) ? 1 : 0;
        offOnes += isShort(chunks[i]) || isLong(chunks[i]) ? 1 : 0;
    }
    // Only where the stream's other stops lie on the frame grid: a recorder that rounds its
    // times down leaves every stop short, and keeps them.
    if (offOnes == 0 || offOnes >= onGrid || onGrid + offOnes < s.chunks.size())
        return;
    // Nor past the start of the chunk behind it.
    const auto roomBehind = [&](size_t k) {
        return k + 1 == s.chunks.size() || chunks[s.chunks[k + 1]].start >= framesEnd(chunks[s.chunks[k]]);
    };
    // A start that does not hold where the stop does was the field that is off: it moves back
    // by as much, as far as the chunk before it allows.
    const auto roomBefore = [&](size_t k, uint64_t start) {
        return k == 0 || chunks[s.chunks[k - 1]].stop <= start;
    };
    for (size_t k = 0; k < s.chunks.size(); ++k) {
        KvtChunkInfo& c = chunks[s.chunks[k]];
        // An early start that nothing bears out, where the stop holds, moves up onto the frames
        // counted back from it: an old file's first chunk would move the recording's start.
        if (isLong(c) && stopHolds(k) && !startHolds(k))
            c.start = c.stop - s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
        if (startHolds(k) && StopRunsIntoNext(s, k))
            c.stop = chunks[s.chunks[k + 1]].start;
        if (!isShort(c))
            continue;
        const uint64_t length = framesEnd(c) - c.start;
        if ((startHolds(k) || FirstStartsSweeps(s, k)) && roomBehind(k))
            c.stop = framesEnd(c);
        else if (stopHolds(k) && c.stop >= length && roomBefore(k, c.stop - length))
            c.start = c.stop - length;
    }
}

uint64_t CKVTACoverage::StreamWhoseGapItFills(size_t i) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& c = chunks[i];
    return OnlyStream([&](const StreamState& s) {
        // An empty chunk fills no time.
        if (c.payloadSize <= 0 || !s.spansChecked || !SpanHoldsFrames(s.facts, c))
            return false;
        const uint64_t slack = s.facts.FrameTime();
        const auto next = std::lower_bound(s.chunks.begin(), s.chunks.end(), i);
        // Damaged heads of its stream between it and the chunk before hold the time between.
        const size_t prev = next == s.chunks.begin() ? chunks.size() : *(next - 1);
        const bool meetsBefore = prev == chunks.size()
                                     ? MeetsRecordingStart(c.start, slack)
                                     : Near(chunks[prev].stop, c.start, slack)
                                           || LostFramesLeadTo(s, prev, i);
        const bool meetsBehind = next == s.chunks.end()
                                     ? m_claimedStop != 0 && Near(c.stop, m_claimedStop, slack)
                                     : Near(chunks[*next].start, c.stop, slack);
        const bool fills = (meetsBefore && meetsBehind)
                           || GapBesideIsDamage(s, i, meetsBefore, meetsBehind)
                           || GapBesideIsPause(s, i, meetsBefore, meetsBehind);
        return fills || (!m_continuous && EdgeOfSweepGap(s, i, meetsBefore || meetsBehind))
               || BehindLostTwinOfItsId(s, i);
    });
}

uint64_t CKVTACoverage::OnlyStream(const StreamFits& fits) const
{
    uint64_t only = 0;
    for (const StreamState& s : m_streams) {
        if (!fits(s))
            continue;
        if (only != 0)
            return 0;
        only = s.facts.key;
    }
    return only;
}

bool CKVTACoverage::EdgeOfSweepGap(const StreamState& s, size_t i, bool meetsOne) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& c = chunks[i];
    const uint64_t slack = s.facts.FrameTime();
    // Between the stream's chunks around it in the file, overlapping neither: a sweep's first or
    // last chunk meets only one of them, a sweep of one chunk neither, but starts with the
    // trigger's head beside it.
    const auto next = std::lower_bound(s.chunks.begin(), s.chunks.end(), i);
    if ((next != s.chunks.begin() && chunks[*(next - 1)].stop > AddSaturated(c.start, slack))
        || (next != s.chunks.end() && AddSaturated(chunks[*next].start, slack) < c.stop))
        return false;
    return meetsOne || AccompaniedInFile(s, i) || NoRecordsOfItsId(i);
}

void CKVTACoverage::ReclaimFramesUnderEventIds(std::vector<size_t>& candidates)
{
    std::vector<size_t> kept;
    for (size_t i : candidates) {
        StreamState* owner = Find(StreamWhoseGapItFills(i));
        if (!owner) {
            kept.push_back(i);
            continue;
        }
        (*m_chunks)[i].key = owner->facts.key;
        (*m_trusted)[i] = true;
        owner->chunks.insert(std::lower_bound(owner->chunks.begin(), owner->chunks.end(), i), i);
    }
    candidates.swap(kept);
}

bool CKVTACoverage::TriggerVouches(const KvtChunkInfo& trigger, const KvtChunkInfo& c, uint64_t length,
                                   uint64_t& start, uint64_t& stop)
{
    if (trigger.start == c.start) {
        start = c.start;
        stop = AddSaturated(c.start, length);
        return true;
    }
    // A trigger that spans the chunk's frames and stops with it vouches for its start too.
    if (trigger.stop == c.stop && trigger.start <= trigger.stop && trigger.stop - trigger.start == length) {
        start = trigger.start;
        stop = c.stop;
        return true;
    }
    return false;
}

void CKVTACoverage::MoveChunksIntoTheirPeriods()
{
    // Old files tell their mode and start by the chunks as they read: none is moved there.
    if (!m_continuous || m_chunksMayPrecedeStart)
        return;
    for (StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || !s.spansChecked)
            continue;
        for (size_t k = 0; k < s.chunks.size(); ++k)
            (void)MoveIntoPeriodBeside(s, k);
    }
}

bool CKVTACoverage::MoveIntoPeriodBeside(StreamState& s, size_t k)
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t i = s.chunks[k];
    KvtChunkInfo& c = chunks[i];
    const uint64_t length = ExactFramesTime(s.facts, c);
    if (length == 0)
        return false;
    // The period of the chunks of other streams straight before and behind it in the file. Two
    // streams' chunks side by side whose times differ by a chunk tell no period on their own
    // (either may have moved): a third stream's chunk must bear the other's out.
    uint64_t period = UINT64_MAX;
    for (size_t j : {i - 1, i + 1}) {
        const StreamState* other = j < chunks.size() ? OtherTrustedStream(s, j) : nullptr;
        const KvtChunkInfo* o = other && other->facts.HasFrames() ? &chunks[j] : nullptr;
        if (!o || o->start == c.start || o->stop - o->start != length
            || !LacksPeriod(s, o->start, o->stop) || !ThirdStreamBeside(s, j))
            continue;
        if (period != UINT64_MAX && period != o->start)
            return false;
        period = o->start;
    }
    if (period == UINT64_MAX || (period < c.stop && c.start < period + length))
        return false;
    // It keeps its place among its stream's chunks, which leave no bytes to fill the period.
    const KvtChunkInfo* prev = k > 0 ? &chunks[s.chunks[k - 1]] : nullptr;
    const KvtChunkInfo* next = k + 1 < s.chunks.size() ? &chunks[s.chunks[k + 1]] : nullptr;
    if ((prev && prev->stop > period) || (next && next->start < period + length))
        return false;
    const size_t before = prev ? s.chunks[k - 1] : SIZE_MAX;
    const size_t behind = next ? s.chunks[k + 1] : chunks.size();
    if (AnyHeadLostBetween(before, behind, static_cast<uint64_t>(c.payloadSize)))
        return false;
    const bool leavesPause = AllPauseAt(s, c.start) && AllPauseAt(s, c.stop - 1);
    const bool leavesEnd = period < c.start && !next;
    if (!leavesPause && !leavesEnd)
        return false;
    c.start = period;
    c.stop = period + length;
    return true;
}

bool CKVTACoverage::AnyHeadLostBetween(size_t first, size_t last, uint64_t fewest) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    // Whatever id a damaged head bears: another stream's id may hide a stream's frames. Bytes
    // fewer than `fewest` behind a head hide no chunk that holds as many.
    for (size_t j = first + 1; j < last; ++j)
        if (!(*m_trusted)[j] && static_cast<uint64_t>(chunks[j].payloadSize) >= fewest)
            return true;
    const uint64_t from = first < chunks.size() ? chunks[first].End() : 0;
    const uint64_t to = last < chunks.size() ? chunks[last].offset : UINT64_MAX;
    for (const KvtLostSpan& span : *m_lost)
        if (span.to > from && span.from < to
            && span.to - span.from >= Kvd::DataChunk::kHeaderBytes + fewest)
            return true;
    return false;
}

bool CKVTACoverage::ThirdStreamBeside(const StreamState& s, size_t j) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto [from, to] = PeriodAround(j, chunks.size());
    for (size_t n = from; n < to; ++n) {
        const StreamState* third = OtherTrustedStream(s, n);
        if (third && chunks[n].key != chunks[j].key && chunks[n].start == chunks[j].start)
            return true;
    }
    return false;
}

bool CKVTACoverage::AllPauseAt(const StreamState& s, uint64_t t) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    // A stream that ended before `t` tells nothing; one that goes on must show the pause.
    bool shown = false;
    for (const StreamState& other : m_streams) {
        if (&other == &s || !other.facts.HasFrames())
            continue;
        const auto next = FirstStoppingAfter(other, t);
        if (next == other.chunks.end())
            continue;
        const size_t first = next == other.chunks.begin() ? SIZE_MAX : *(next - 1);
        if (chunks[*next].start <= t || AnyHeadLostBetween(first, *next))
            return false;
        shown = true;
    }
    return shown;
}

bool CKVTACoverage::LacksPeriod(const StreamState& s, uint64_t from, uint64_t to) const
{
    return from < to && !Holds(s, from) && !Holds(s, to - 1) && AnotherStreamHolds(s, from, true);
}

void CKVTACoverage::AlignTimesToPeriod()
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || !s.spansChecked)
            continue;
        for (size_t i : s.chunks) {
            KvtChunkInfo& c = chunks[i];
            if (ExactFramesTime(s.facts, c) == 0)
                AlignTimeToPeriod(s, i, s.facts.Duration(static_cast<uint64_t>(c.payloadSize)));
        }
    }
}

void CKVTACoverage::AlignTimeToPeriod(const StreamState& s, size_t i, uint64_t length)
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    KvtChunkInfo& c = chunks[i];
    const uint64_t slack = s.facts.FrameTime();
    const auto off = [&](uint64_t start, uint64_t stop) {
        const uint64_t span = stop > start ? stop - start : 0;
        return span > length ? span - length : length - span;
    };
    const auto [from, to] = PeriodAround(i, chunks.size());
    for (size_t j = from; j < to; ++j) {
        const StreamState* other = OtherTrustedStream(s, j);
        if (!other)
            continue;
        const KvtChunkInfo& o = chunks[j];
        // Another stream's chunk of the period that spans its own frames exactly (a trigger:
        // this chunk's) and starts within a frame of it where its frames say it starts: its
        // start was a nanosecond or so off.
        const uint64_t otherLength =
            other->facts.HasFrames() ? other->facts.Duration(static_cast<uint64_t>(o.payloadSize)) : length;
        if (o.start > o.stop
            || (o.stop - o.start != otherLength && !TriggerStartsFrames(*other, o, c, length)))
            continue;
        if (o.start != c.start && Near(o.start, c.start, slack) && o.start < c.stop
            && off(o.start, c.stop) < off(c.start, c.stop)) {
            c.start = o.start;
            return;
        }
    }
}

bool CKVTACoverage::TriggerStartsFrames(const StreamState& owner, const KvtChunkInfo& trigger,
                                        const KvtChunkInfo& c, uint64_t length)
{
    // A trigger that spans its sweep of several chunks tells no chunk's span, but its start is
    // the sweep's: where the frames of its first chunk, ending at their stop, begin.
    return !owner.facts.HasFrames() && c.stop >= length && trigger.start == c.stop - length;
}

void CKVTACoverage::PutBackMovedChunks()
{
    if (!m_continuous && m_sweepLength == 0)
        return;
    for (StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || !s.spansChecked)
            continue;
        // Mending inserts into s.chunks: k then goes on behind the chunk it looked at.
        for (size_t k = 0; k < s.chunks.size(); ++k) {
            const size_t x = s.chunks[k];
            if (PutBackMovedChunk(s, k) || PutBackBeforeHeadStartingWithIt(s, k))
                k = static_cast<size_t>(std::lower_bound(s.chunks.begin(), s.chunks.end(), x)
                                        - s.chunks.begin());
        }
    }
}

bool CKVTACoverage::PutBackMovedChunk(StreamState& s, size_t k)
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t none = chunks.size();
    const size_t x = s.chunks[k];
    const KvtChunkInfo& c = chunks[x];
    const size_t prev = k > 0 ? s.chunks[k - 1] : none;
    const size_t next = k + 1 < s.chunks.size() ? s.chunks[k + 1] : none;
    if (next == none || (prev == none && m_recordingStart == 0))
        return false;
    const uint64_t span = c.stop - c.start;
    const uint64_t slack = s.facts.FrameTime();
    const uint64_t before = SweepStartBefore(x, prev != none ? chunks[prev].stop : m_recordingStart);
    const uint64_t behind = chunks[next].start;
    // Between sweeps a gap is a pause: only one that lies inside a sweep with the chunk and the
    // head it leaves is a chunk's time.
    const auto inOneSweep = [&](uint64_t from, uint64_t to) {
        return m_continuous || to - from <= m_sweepLength + slack;
    };
    const auto gapOfItsSpan = [&](uint64_t from, uint64_t to, size_t a, size_t b) {
        return from <= to && Near(to - from, span, slack) && UntrustedHeadsBetween(s, a, b).empty();
    };
    // Moved on: its own time's bytes lie behind it, the gap before it.
    if (Near(behind, c.stop, slack) && gapOfItsSpan(before, c.start, prev, x)
        && inOneSweep(before, c.stop)) {
        const std::vector<size_t> left = OwnHeadsLostBetween(s, x, next);
        if (left.size() == 1 && left[0] != none && ShiftFreeing(s, x, c.start - before, true, left[0]))
            return true;
        if (left.size() == 1 && left[0] == none
            && ShiftOntoLostBytes(s, x, c.start - before, true, x, next))
            return true;
    }
    // Moved back: its own time's bytes lie before it, the gap behind it.
    if (Near(before, c.start, slack) && gapOfItsSpan(c.stop, behind, x, next)
        && inOneSweep(c.start, behind)) {
        const std::vector<size_t> left = OwnHeadsLostBetween(s, prev, x);
        if (left.size() == 1 && left[0] != none && ShiftFreeing(s, x, behind - c.stop, false, left[0]))
            return true;
        if (left.size() == 1 && left[0] == none
            && ShiftOntoLostBytes(s, x, behind - c.stop, false, prev, x))
            return true;
    }
    return false;
}

bool CKVTACoverage::ShiftFreeing(StreamState& s, size_t x, uint64_t shift, bool back, size_t u)
{
    if (ShiftOutgrowsSweep(s, x, shift, back))
        return false;
    KvtChunkInfo& c = (*m_chunks)[x];
    const KvtChunkInfo kept = c;
    c.start = back ? c.start - shift : c.start + shift;
    c.stop = back ? c.stop - shift : c.stop + shift;
    if (TryMend(u, s, true))
        return true;
    c = kept;
    return false;
}

std::vector<size_t> CKVTACoverage::UntrustedHeadsBetween(const StreamState& s, size_t from,
                                                         size_t to) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t first = from < chunks.size() ? from + 1 : 0;
    std::vector<size_t> heads;
    for (size_t j = first; j < to; ++j)
        if (!(*m_trusted)[j] && StreamOf(chunks[j].key) == s.facts.key
            && !InAnotherStreamsPlace(s, j))
            heads.push_back(j);
    const uint64_t fromOffset = from < chunks.size() ? chunks[from].End() : m_dataStart;
    const uint64_t toOffset = to < chunks.size() ? chunks[to].offset : UINT64_MAX;
    // A damaged head of another stream too close to the next head to hold one of this stream's
    // chunks beside its own bytes does not hold its time.
    const uint64_t room = 2 * Kvd::DataChunk::kHeaderBytes + s.facts.frameBytes;
    for (const KvtLostSpan& span : *m_lost) {
        const StreamState* owner = Find(StreamOf(span.headKey));
        if (span.from < fromOffset || span.from >= toOffset
            || (owner && owner != &s && span.to - span.from < room))
            continue;
        heads.push_back(chunks.size());
    }
    return heads;
}

void CKVTACoverage::MendChunks()
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (size_t i = 0; i < chunks.size(); ++i) {
        if ((*m_trusted)[i])
            continue;
        // Its own stream, or the only one whose id differs from it in one byte.
        if (StreamState* s = Find(StreamOf(chunks[i].key)))
            (void)TryMend(i, *s);
    }
}

bool CKVTACoverage::HasUntrustedTwin(size_t i) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& c = chunks[i];
    const auto [from, to] = PeriodAround(i, chunks.size());
    for (size_t j = from; j < to; ++j) {
        const KvtChunkInfo& o = chunks[j];
        if (j != i && !(*m_trusted)[j] && o.key == c.key && o.start == c.start && o.stop == c.stop
            && o.payloadSize == c.payloadSize)
            return true;
    }
    return false;
}

bool CKVTACoverage::TryMend(size_t i, StreamState& s, bool freed)
{
    KvtChunkInfo& c = (*m_chunks)[i];
    // Of two heads alike that their stream could not keep, neither has a field to mend.
    if (m_continuous && (HasUntrustedTwin(i) || InAnotherStreamsPlace(s, i)))
        return false;
    const auto at = std::lower_bound(s.chunks.begin(), s.chunks.end(), i);
    const KvtChunkInfo* prev = at != s.chunks.begin() ? &(*m_chunks)[*(at - 1)] : nullptr;
    const KvtChunkInfo* next = at != s.chunks.end() ? &(*m_chunks)[*at] : nullptr;
    uint64_t start = c.start;
    uint64_t stop = c.stop;
    if (!s.facts.HasFrames() || !s.spansChecked) {
        // Events tell no duration: only both neighbours can vouch for both times.
        if (!prev || !next || start != prev->stop || stop != next->start || start > stop)
            return false;
    } else {
        const uint64_t payload = static_cast<uint64_t>(c.payloadSize);
        if (payload % s.facts.frameBytes != 0)
            return false;
        const uint64_t length = s.facts.Duration(payload);
        const uint64_t slack = s.facts.FrameTime();
        // A neighbour that must follow straight on: every chunk of a continuous recording, and
        // within a sweep; behind the last chunk of a sweep the next one only must not overlap.
        const auto fitsNext = [&](uint64_t end) {
            if (!next)
                return true;
            return m_continuous ? Near(next->start, end, slack) : next->start + slack >= end;
        };
        // Where a moved chunk freed its time, a first chunk's start may meet the recording's
        // start instead of a chunk before it.
        const uint64_t startsEnd = AddSaturated(start, length);
        const bool startHolds = prev ? start == prev->stop && !LiesBehindLaterTrigger(s, i, startsEnd)
                                           && !LostHeadsHoldTimeBefore(s, *(at - 1), i)
                                     : freed && m_continuous && next && FirstStartFits(start, slack);
        const size_t before = at != s.chunks.begin() ? *(at - 1) : m_chunks->size();
        if ((StartMovedOntoLostBytes(s, before, i, length) || LoneStopOnClaim(s, i, next, length))
            && fitsNext(stop)) {
            start = stop - length;
        } else if (startHolds && fitsNext(startsEnd) && !StartsInPause(s, start)) {
            // The stop was wrong (or the id).
            stop = next && m_continuous ? next->start : AddSaturated(start, length);
        } else if (next && stop == next->start && stop >= length
                   && (prev ? Near(prev->stop, stop - length, slack)
                            : FirstStartFits(stop - length, slack))) {
            start = prev ? prev->stop : stop - length;   // the start was wrong
        } else if (LastStopMeetsChunkBefore(s, prev, next, c, length)) {
            start = prev->stop;
        } else if (!(c.key == s.facts.key && HeadAgreesWithItself(c, s))
                   && (PeriodVouches(s, i, length, start, stop)
                       || LostTriggerVouches(s, i, length, start, stop))
                   && (!prev || prev->stop <= start + slack) && (!next || stop <= next->start + slack)) {
            // A chunk that begins or ends its sweep, or whose neighbours are lost too: the other
            // streams of its period vouch for its times.
        } else {
            return false;
        }
        if (next && stop > next->start)
            stop = next->start;
        // Nor behind the claimed stop: no frames were recorded there.
        if ((prev && start < prev->stop) || start > stop || StartsAfterRecording(s, start, stop)
            || StopsPastClaimedSweeps(stop, slack))
            return false;
    }
    c.start = start;
    c.stop = stop;
    c.key = s.facts.key;
    (*m_trusted)[i] = true;
    s.chunks.insert(at, i);
    return true;
}

void CKVTACoverage::CollectUnread(const std::vector<KvtLostSpan>& lost, CFileReader* reader,
                                  uint64_t limit, uint64_t leftFrom)
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (const KvtLostSpan& span : lost) {
        const bool tail = span.nextChunk >= chunks.size();
        // Zero bytes behind the data are a preallocated or padded file: they prove nothing.
        if (tail && AllZero(reader, span.from, span.to))
            continue;
        // The bytes of a damaged head are its stream's data when its id tells the stream.
        uint8_t head[Kvd::DataChunk::kHeaderBytes];
        const bool headRead = reader && reader->ReadAt(span.from, head, sizeof head);
        const uint64_t named =
            headRead ? CKVTAChunkChain::MakeKey(reinterpret_cast<const char*>(head)) : 0;
        const uint64_t key = headRead ? StreamOf(named) : 0;
        const uint64_t start = headRead ? LoadLE<uint64_t>(head + Kvd::DataChunk::kStart) : 0;
        m_unread.push_back(UnreadBytes {LostFrom(span), span.to, start, span.headStop, key, false});
        if (!tail)
            continue;
        // A head of a known stream whose chunk would run past the end: the copy was cut there,
        // unless the head is the last the header counts and its size is damaged; where its
        // times imply that size, it is not.
        if (const StreamState* owner = headRead ? Find(named) : nullptr) {
            const int64_t size = LoadLE<int64_t>(head + Kvd::DataChunk::kSize);
            const uint64_t stop = LoadLE<uint64_t>(head + Kvd::DataChunk::kStop);
            const uint64_t room = limit - span.from - Kvd::kFrameBytes;
            const bool runsPast = size >= Kvd::DataChunk::kMinSize && static_cast<uint64_t>(size) > room;
            const uint64_t payload = static_cast<uint64_t>(size - Kvd::DataChunk::kMinSize);
            const bool timesAgree = start <= stop && owner->facts.HoldsFramesOf(payload, stop - start);
            m_fileCut = m_fileCut || (runsPast && (!m_allCounted || timesAgree));
        }
    }
    for (size_t i = 0; i < chunks.size(); ++i) {
        const KvtChunkInfo& c = chunks[i];
        if (!(*m_trusted)[i])
            m_unread.push_back(UnreadBytes {c.offset, c.End(), c.start, c.stop, OwnerOfUntrusted(i), true});
    }
    // Fewer bytes than a head at the end: zeros are padding, anything else a head cut in two.
    if (leftFrom < limit && !AllZero(reader, leftFrom, limit)) {
        // They belong to the chunk right before them, whose size left them over.
        uint64_t key = 0;
        for (const KvtChunkInfo& c : chunks)
            if (c.End() == leftFrom)
                key = StreamOf(c.key);
        m_unread.push_back(UnreadBytes {leftFrom, limit, 0, 0, key, false});
        m_fileCut = m_fileCut || !m_allCounted;
    }
    std::sort(m_unread.begin(), m_unread.end(),
              [](const UnreadBytes& a, const UnreadBytes& b) { return a.from < b.from; });
}

uint64_t CKVTACoverage::UnreadPayload(uint64_t from, uint64_t to, uint64_t key,
                                      bool unknownToo) const
{
    uint64_t bytes = 0;
    const auto first = std::upper_bound(m_unread.begin(), m_unread.end(), from,
                                        [](uint64_t v, const UnreadBytes& u) { return v < u.to; });
    for (auto u = first; u != m_unread.end() && u->from < to; ++u) {
        if (key != 0 && u->key != key && !(unknownToo && u->key == 0))
            continue;
        const uint64_t overlap = std::min(u->to, to) - std::max(u->from, from);
        const uint64_t head = std::min<uint64_t>(overlap, Kvd::DataChunk::kHeaderBytes);
        bytes += overlap - (u->from >= from ? head : 0);
    }
    return bytes;
}

uint64_t CKVTACoverage::SweepLossTime(const StreamState& s, uint64_t fileFrom, uint64_t fileTo,
                                      uint64_t bytes) const
{
    const uint64_t own = UnreadPayload(fileFrom, fileTo, s.facts.key, false);
    if (bytes <= own)
        return s.facts.Duration(bytes);
    uint64_t time = s.facts.Duration(own);
    const auto first = std::upper_bound(m_unread.begin(), m_unread.end(), fileFrom,
                                        [](uint64_t v, const UnreadBytes& u) { return v < u.to; });
    for (auto u = first; u != m_unread.end() && u->from < fileTo; ++u) {
        if (u->key != 0)
            continue;
        // The streams of samples that lack time around them share them, a head each.
        U128 bytesPerSecondMilli = static_cast<U128>(s.facts.frameBytes) * RateOf(s.facts);
        uint64_t heads = 0;
        for (const StreamState& other : m_streams) {
            if (&other == &s || !other.facts.HasFrames() || other.chunks.empty())
                continue;
            if (LacksTimeOnlyUnknownBytesHold(other, u->from)) {
                bytesPerSecondMilli += static_cast<U128>(other.facts.frameBytes) * RateOf(other.facts);
                heads += Kvd::DataChunk::kHeaderBytes;
            }
        }
        const uint64_t payload = UnreadPayload(std::max(u->from, fileFrom), std::min(u->to, fileTo), 0, true);
        const uint64_t shared = payload > heads ? payload - heads : 0;
        time = AddSaturated(time, Saturate(static_cast<U128>(shared) * kNsTimesMilliHz / bytesPerSecondMilli));
    }
    return time;
}

bool CKVTACoverage::LacksTimeOnlyUnknownBytesHold(const StreamState& s, uint64_t offset) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto [from, to] = GapAround(s, offset);
    if (to <= from || to - from <= s.facts.FrameTime())
        return false;
    const auto next = std::lower_bound(s.chunks.begin(), s.chunks.end(), offset,
                                       [&](size_t i, uint64_t o) { return chunks[i].offset < o; });
    const uint64_t fileFrom = next == s.chunks.begin() ? m_dataStart : chunks[*(next - 1)].End();
    const uint64_t fileTo = next == s.chunks.end() ? UINT64_MAX : chunks[*next].offset;
    return UnreadPayload(fileFrom, fileTo, s.facts.key, false) == 0;
}

bool CKVTACoverage::AnotherStreamRecordsIn(const StreamState& s, uint64_t from, uint64_t to) const
{
    if (AnotherStreamHolds(s, from, true))
        return true;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (const StreamState& other : m_streams) {
        if (&other == &s)
            continue;
        // Its first chunk that ends after `from` (samples), or starts at or after it (events:
        // they tell no span, but a trigger starts its sweep).
        const bool frames = other.facts.HasFrames();
        const auto at = std::upper_bound(other.chunks.begin(), other.chunks.end(), from, [&](uint64_t t, size_t i) {
            return frames ? t < chunks[i].stop : t <= chunks[i].start;
        });
        if (at != other.chunks.end() && chunks[*at].start < to)
            return true;
    }
    return false;
}

std::vector<size_t>::const_iterator CKVTACoverage::FirstStoppingAfter(const StreamState& s,
                                                                     uint64_t t) const
{
    return std::upper_bound(s.chunks.begin(), s.chunks.end(), t,
                            [this](uint64_t v, size_t i) { return v < (*m_chunks)[i].stop; });
}

bool CKVTACoverage::Holds(const StreamState& s, uint64_t t) const
{
    // The first chunk that ends after t holds it unless it begins after it.
    const auto at = FirstStoppingAfter(s, t);
    return at != s.chunks.end() && (*m_chunks)[*at].start <= t;
}

bool CKVTACoverage::AnotherStreamHolds(const StreamState& s, uint64_t t, bool samplesOnly) const
{
    for (const StreamState& other : m_streams)
        if (&other != &s && (!samplesOnly || other.facts.HasFrames()) && Holds(other, t))
            return true;
    return false;
}

uint64_t CKVTACoverage::OwnerOfUntrusted(size_t i) const
{
    const KvtChunkInfo& c = (*m_chunks)[i];
    const uint64_t named = StreamOf(c.key);
    const StreamState* s = Find(named);
    if (!s || c.start >= c.stop)
        return named;
    if (!HoldsSpanOf(*s, c)) {
        // Where another stream of samples whose frames fit lacks its time too, it may be that
        // stream's chunk under a damaged id: both count its bytes. An event stream's id on a
        // chunk of frames tells nothing of whose they are: every stream counts them.
        const bool eitherMay = SpanHoldsFrames(s->facts, c) || !s->facts.HasFrames();
        if (m_continuous && eitherMay && AnotherStreamLacksItsFrames(*s, c))
            return 0;
        uint64_t events = EventsUnderSamplesId(*s, i);
        if (events == 0 && !s->facts.HasFrames())
            events = RecordsOfAnotherEventStream(*s, i, RecordBytesNear(*s, i));
        return events != 0 ? events : named;
    }
    // The stream it names lacks none of its time: the id was another stream's, where one lacks
    // it and its frames fit (even where the named stream's frames fit too: streams of one frame
    // size may carry each other's ids). A stream lacks a chunk's time where it lacks its middle:
    // one whose chunk there starts a nanosecond late does not.
    const uint64_t middle = c.start + (c.stop - c.start) / 2;
    uint64_t only = 0;
    for (const StreamState& other : m_streams) {
        if (&other == s || !other.facts.HasFrames() || !SpanHoldsFrames(other.facts, c)
            || Holds(other, middle))
            continue;
        // Two lack it: an event stream's id tells neither of them, and both count its bytes.
        if (only != 0)
            return m_continuous && !s->facts.HasFrames() ? 0 : named;
        only = other.facts.key;
    }
    if (only != 0 && TwinInPlaceOf(i, *s, *Find(only)))
        return only;
    // The twins' order says it is the named stream's own, but its frames fit both: either
    // stream may have lost it, and both count its bytes.
    if (only != 0)
        return m_continuous && SpanHoldsFrames(s->facts, c) ? 0 : named;
    if (!s->facts.HasFrames() || SpanHoldsFrames(s->facts, c))
        return named;
    // No stream of samples lacks its time and its frames fit none: events' bytes under a
    // damaged id, the one event stream's that lacks the time, else (continuous) the one event
    // stream's.
    const uint64_t lacking = EventStreamLacking(c);
    if (lacking != 0)
        return lacking;
    return m_continuous ? EventStreamFor(named) : named;
}

uint64_t CKVTACoverage::EventStreamLacking(const KvtChunkInfo& c) const
{
    return OnlyStream([&](const StreamState& other) {
        return !other.facts.HasFrames() && !HoldsSpanOf(other, c);
    });
}

bool CKVTACoverage::TwinInPlaceOf(size_t i, const StreamState& named, const StreamState& other) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto startingAt = [&](const StreamState& stream, uint64_t t) {
        const auto at = std::lower_bound(stream.chunks.begin(), stream.chunks.end(), t,
                                         [&](size_t k, uint64_t v) { return chunks[k].start < v; });
        return at != stream.chunks.end() && chunks[*at].start == t ? *at : SIZE_MAX;
    };
    // The trusted chunk of `named` with the same times, and a period in which both streams have
    // a trusted chunk: the nearest one of `other` behind chunk i in the file, else before it.
    const size_t twin = startingAt(named, chunks[i].start);
    const auto behind = std::lower_bound(other.chunks.begin(), other.chunks.end(), i);
    const size_t near = behind != other.chunks.end() ? *behind
                        : other.chunks.empty()       ? SIZE_MAX
                                                     : other.chunks.back();
    const size_t pair = near == SIZE_MAX ? SIZE_MAX : startingAt(named, chunks[near].start);
    if (twin == SIZE_MAX || pair == SIZE_MAX)
        return true;
    // The streams of a period lie in the same order in every period: of the two twins, the one
    // on the side where `other`'s chunks lie is its own.
    return (near < pair) == (i < twin);
}

bool CKVTACoverage::HoldsSpanOf(const StreamState& s, const KvtChunkInfo& c) const
{
    return c.start < c.stop && Holds(s, c.start) && Holds(s, c.stop - 1);
}

uint64_t CKVTACoverage::EventStreamFor(uint64_t named) const
{
    uint64_t only = named;
    for (const StreamState& s : m_streams) {
        if (s.facts.HasFrames())
            continue;
        if (only != named)
            return 0;
        only = s.facts.key;
    }
    return only;
}

bool CKVTACoverage::AnotherStreamLacksItsFrames(const StreamState& s, const KvtChunkInfo& c) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (const StreamState& other : m_streams) {
        if (&other == &s || !other.facts.HasFrames() || !SpanHoldsFrames(other.facts, c))
            continue;
        // Its first chunk that ends after the start, and the one before it: a gap between them
        // (or from the recording's start) that holds the whole span.
        const auto next = FirstStoppingAfter(other, c.start);
        const uint64_t slack = other.facts.FrameTime();
        // Behind its last chunk only where it would go on from there.
        if (next == other.chunks.end()) {
            if (!other.chunks.empty() && Near(chunks[other.chunks.back()].stop, c.start, slack))
                return true;
            continue;
        }
        if (chunks[*next].start < c.stop)
            continue;
        if (next == other.chunks.begin() ? MeetsRecordingStart(c.start, slack)
                                         : chunks[*(next - 1)].stop <= c.start)
            return true;
    }
    return false;
}

std::vector<uint64_t> CKVTACoverage::SweepStartsBetween(const StreamState& s, uint64_t from,
                                                        uint64_t to) const
{
    // Events count too: a trigger starts its sweep, and may be all a lone stream has beside it.
    std::vector<uint64_t> starts;
    std::vector<uint64_t> triggers;
    std::vector<uint64_t> ofSamples;   // up to a frame past the range: a trigger may be early
    const uint64_t samplesTo = AddSaturated(to, s.facts.FrameTime());
    for (const StreamState& other : m_streams) {
        if (&other == &s)
            continue;
        // A stream's trusted chunks rise in time: only those that start inside the range.
        auto at = std::upper_bound(other.chunks.begin(), other.chunks.end(), from,
                                   [this](uint64_t t, size_t i) { return t < (*m_chunks)[i].start; });
        for (; at != other.chunks.end() && (*m_chunks)[*at].start < samplesTo; ++at) {
            const uint64_t start = (*m_chunks)[*at].start;
            if (Holds(s, start - 1) || AnotherStreamHolds(s, start - 1, true))
                continue;
            if (other.facts.HasFrames())
                ofSamples.push_back(start);
            if (start < to)
                (other.facts.HasFrames() ? starts : triggers).push_back(start);
        }
    }
    std::sort(ofSamples.begin(), ofSamples.end());
    for (uint64_t t : triggers)
        if (!TriggerReadEarly(s, ofSamples, t))
            starts.push_back(t);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    return starts;
}

uint64_t CKVTACoverage::LostTimeBetween(const StreamState& s, const Span& before, const Span& behind,
                                        uint64_t length) const
{
    // What fills the whole gap follows on from what was read. A longer gap holds a pause too,
    // in a continuous recording as between sweeps.
    if (length >= behind.time - before.time)
        return before.time;
    const uint64_t late = behind.time - length;
    // A sweep's length bounds where its loss may lie, whatever the heads in the gap claim.
    if (SweepGoesOnInGap(s, before))
        return before.time;
    uint64_t apart = 0;
    if (LossApartFromWholeSweeps(s, before, behind, length, apart))
        return apart;
    // Where the lost time may lie: ending the sweep before, beginning a sweep the other streams
    // recorded in between (the lost chunks may have been all this stream had of it), or
    // beginning the sweep behind.
    // A sweep already whole before the gap does not go on into it (LossBehindWholeSweep), though
    // a trigger chunk spans the time there (its start moved back): only another stream of
    // samples that recorded on from there says it did.
    const bool behindWholeSweep = LossBehindWholeSweep(s, before, behind, length);
    std::vector<uint64_t> places;
    if (!behindWholeSweep || AnotherStreamRecordsFrom(s, before.time, true))
        places.push_back(before.time);
    for (uint64_t start : SweepStartsBetween(s, before.time, late))
        places.push_back(start);
    places.push_back(late);
    // The damaged heads' own times, where one of them meets a place (within a frame: the time
    // read beside it may be a nanosecond off): first a claim that fits the heads' order in the
    // file (ClaimFitsFileOrder), then any.
    const uint64_t slack = s.facts.FrameTime();
    for (const bool inOrder : {true, false})
        for (const UnreadBytes& u : m_unread) {
            if (u.to <= before.offset || u.from >= behind.offset || u.key != s.facts.key)
                continue;
            for (auto at = places.rbegin(); at != places.rend(); ++at)
                if (inOrder ? ClaimFitsFileOrder(s, before, behind, u, *at, length)
                            : ClaimsLossAt(u, *at, length, slack))
                    return *at;
        }
    // The other streams of the same period: the sweep the lost chunk belonged to is the one
    // they recorded in.
    for (uint64_t at : places)
        if (AnotherStreamRecordsFrom(s, at))
            return at;
    uint64_t claimed = 0;
    if (!m_continuous && (ClaimFillsGap(s, before, behind, length, claimed)
                          || OneFieldPlacesLoss(s, before, behind, length, claimed)))
        return claimed;
    // A whole sweep before the gap and one cut short behind it: the lost time begins the latter.
    if ((RunShortOfSweep(s, behind.offset, true) && !RunShortOfSweep(s, before.offset, false))
        || TriggerEndsSweepBefore(s, before, behind))
        return late;
    return behindWholeSweep ? late : before.time;
}

bool CKVTACoverage::ClaimsLossAt(const UnreadBytes& u, uint64_t at, uint64_t length,
                                 uint64_t slack)
{
    if (u.claimedStart > u.claimedStop && u.claimedStart - u.claimedStop == length)
        return Near(u.claimedStop, at, slack);
    return Near(u.claimedStart, at, slack) || Near(u.claimedStop, at + length, slack);
}

bool CKVTACoverage::ClaimFillsGap(const StreamState& s, const Span& before, const Span& behind, uint64_t length,
                                  uint64_t& start) const
{
    // Nothing else tells where the lost time lies: a head of the stream between the chunks
    // around it whose times lie in the gap and span just that time, a whole sweep (a sweep of
    // its own whose trigger was lost too), is believed. A head that claims less may have
    // moved off the sweep it belongs to.
    // Where the header does not tell the sweep's length, its measure may hold the very time
    // lost: a lone head that claims less is believed where it lies more than its span away from
    // the chunks around the gap (OnlyHeadOfTheGap).
    const uint64_t slack = s.facts.FrameTime();
    const auto first = std::upper_bound(m_unread.begin(), m_unread.end(), before.offset,
                                        [](uint64_t v, const UnreadBytes& u) { return v < u.to; });
    const bool wholeSweep = m_sweepLength != 0 && Near(length, m_sweepLength, slack);
    if (!wholeSweep && (SweepLengthKnown() || !OnlyHeadOfTheGap(s, before, behind)))
        return false;
    for (auto u = first; u != m_unread.end() && u->from < behind.offset; ++u) {
        if (u->key != s.facts.key || u->claimedStart < before.time || u->claimedStart > u->claimedStop
            || u->claimedStop > behind.time
            || !Near(u->claimedStop - u->claimedStart, length, slack))
            continue;
        if (!wholeSweep && (u->claimedStart <= AddSaturated(before.time, length)
                            || AddSaturated(u->claimedStop, length) >= behind.time))
            continue;
        start = u->claimedStart;
        return true;
    }
    return false;
}

uint64_t CKVTACoverage::TailLossStart(const StreamState& s, uint64_t stop) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (const StreamState& other : m_streams) {
        if (&other == &s || !other.facts.HasFrames())
            continue;
        // Its first chunk that starts after `stop`, and the one before it.
        const auto next = std::upper_bound(other.chunks.begin(), other.chunks.end(), stop,
                                           [&](uint64_t t, size_t i) { return t < chunks[i].start; });
        if (next == other.chunks.begin() || next == other.chunks.end())
            continue;
        const KvtChunkInfo& p = chunks[*(next - 1)];
        const KvtChunkInfo& n = chunks[*next];
        const bool pauses = p.stop <= AddSaturated(stop, s.facts.FrameTime())
                            && UnreadPayload(p.End(), n.offset, other.facts.key) == 0;
        if (pauses)
            return n.start;
    }
    return stop;
}

uint64_t CKVTACoverage::SamplesStart() const
{
    uint64_t start = m_recordingStart != 0 ? m_recordingStart : UINT64_MAX;
    for (const StreamState& s : m_streams)
        if (s.facts.HasFrames() && !s.chunks.empty())
            start = std::min(start, (*m_chunks)[s.chunks.front()].start);
    return start == UINT64_MAX ? m_extentStart : start;
}

uint64_t CKVTACoverage::LostTimeBefore(const StreamState& s, uint64_t firstStart,
                                       uint64_t length) const
{
    const uint64_t late = std::max(m_extentStart, firstStart - length);
    // Every stream of a continuous recording records from its start: what it lost before its
    // first chunk begins there, whatever pause may follow. In sweeps it may begin the recording
    // too, where the other streams recorded then.
    if (m_continuous)
        return std::min(late, SamplesStart());
    return late > m_extentStart && RecordedAtStart(s) && !AnotherStreamHolds(s, late)
               ? m_extentStart
               : late;
}

uint64_t CKVTACoverage::StreamOf(uint64_t key) const
{
    if (m_byKey.count(key))
        return key;
    return OnlyStream([&](const StreamState& s) { return OneByteApart(s.facts.key, key); });
}

void CKVTACoverage::WorkOutExtent(const KvtRecordingFacts& recording, uint64_t limit)
{
    const TrustedReach trusted = ReachOfTrusted();
    if (recording.start == 0)
        m_extentStart = trusted.first;
    else
        m_extentStart = trusted.any ? std::min(recording.start, trusted.first) : recording.start;
    if (HeadsProveCut(recording, trusted))
        m_fileCut = true;
    // Events may be written in chunks that span a slot, behind its samples: where streams of
    // samples were recorded, a cut broke off where the last samples it kept begin (or before
    // the first).
    const bool samplesRecorded = std::any_of(m_streams.begin(), m_streams.end(),
                                             [](const StreamState& s) { return s.facts.HasFrames(); });
    m_cutFrom = samplesRecorded ? trusted.latestSamplesStart : trusted.latestStart;
    // Bytes behind every trusted chunk that none could read, and those an index position past
    // the end of the file says are gone: the time they can hold is all a claim may add.
    TailBounds tail;
    uint64_t tailBytes = TailBytes(trusted.lastEnd);
    tail.indexPastEnd = recording.indexPositionField > limit;
    if (tail.indexPastEnd) {
        m_fileCut = true;
        tailBytes += recording.indexPositionField - std::max(limit, trusted.lastEnd);
    }
    tail.reach = TimeSideBySide(tailBytes);
    tail.claim = TailClaim(recording, trusted);
    tail.cutReach = CutReach(recording, trusted);
    // The bytes (an index position past the end) or the count of chunks lost from a continuous
    // copy cut short tell their time only where every stream recorded all along: a pause, or a
    // stream that stopped a chunk before the others, costs time but neither bytes nor chunks.
    // A claim counts a chunk further than they hold.
    const bool measured = tail.indexPastEnd || recording.claimedChunks > m_chunks->size();
    tail.untold = m_fileCut && m_continuous && measured ? trusted.ChunkTime() : 0;
    tail.someStreamShort = SomeStreamEndsBeforeAnother(trusted);
    tail.laterSweep = LaterSweepClaim(recording, trusted);
    if (tail.laterSweep == 0)
        tail.laterSweep = OneFieldLaterSweepClaim(trusted);
    m_lostSweepEnd = tail.laterSweep == 0 ? LostSweepClaimedEnd(recording, trusted) : 0;
    if (tail.laterSweep == 0)
        tail.laterSweep = m_lostSweepEnd;
    // The head of the chunk cut in two claims only how far that chunk went, not the recording.
    m_endUnknown = m_fileCut && !tail.indexPastEnd && recording.claimedStop == 0;
    m_extentEnd = std::max(m_extentStart, Extend(std::max(trusted.latest, m_extentStart), tail));
    TailBounds samplesTail = tail;
    samplesTail.reach = std::max(SamplesTailReach(trusted, tailBytes),
                                 OwnChunksTailReach(trusted.lastSamplesEnd));
    m_samplesEnd = trusted.anySamples || !trusted.any
                       ? std::max(m_extentStart,
                                  Extend(std::max(trusted.latestSamples, m_extentStart), samplesTail))
                       : m_extentEnd;
    const uint64_t triggeredEnd = m_fileCut ? 0 : SweepBehindTriggerEnd(trusted, tailBytes);
    m_samplesEnd = std::max(m_samplesEnd, triggeredEnd);
    m_extentEnd = std::max(m_extentEnd, triggeredEnd);
    // Bytes lost behind the data held the rest of the stored sweeps, however few they are.
    if (tailBytes > 0) {
        m_samplesEnd = std::max(m_samplesEnd, StoredSweepsEnd());
        m_extentEnd = std::max(m_extentEnd, m_samplesEnd);
    }
    // In a file cut short, an event stream that goes on past the samples shows they went on too.
    if (m_fileCut)
        m_samplesEnd = std::max(m_samplesEnd, m_extentEnd);
}

CKVTACoverage::TrustedReach CKVTACoverage::ReachOfTrusted() const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    TrustedReach r;
    r.lastEnd = r.lastSamplesEnd = m_dataStart;
    for (const StreamState& s : m_streams) {
        for (size_t i : s.chunks) {
            const KvtChunkInfo& c = chunks[i];
            r.first = r.any ? std::min(r.first, c.start) : c.start;
            r.latest = std::max(r.latest, c.stop);
            r.latestStart = std::max(r.latestStart, c.start);
            r.lastEnd = std::max(r.lastEnd, c.End());
            if (s.facts.HasFrames())
                r.lastSamplesEnd = std::max(r.lastSamplesEnd, c.End());
            r.longestChunk = std::max(r.longestChunk, c.stop - c.start);
            r.any = true;
            if (s.facts.HasFrames()) {
                r.latestSamples = std::max(r.latestSamples, c.stop);
                r.latestSamplesStart = std::max(r.latestSamplesStart, c.start);
                r.anySamples = true;
            }
        }
    }
    // A stream of samples whose data end before the others' has lost its tail: unread bytes
    // behind the data are its own before they can be time that no stream shows.
    for (const StreamState& s : m_streams) {
        if (s.facts.HasFrames())
            r.someStreamShort = r.someStreamShort || s.chunks.empty()
                                || chunks[s.chunks.back()].stop < r.latestSamples;
    }
    return r;
}

bool CKVTACoverage::HeadsProveCut(const KvtRecordingFacts& recording, const TrustedReach& trusted) const
{
    // Without a count, the trigger of the last sweep that outlasts its samples shows the sweep
    // broke off.
    if (recording.claimedChunks == 0)
        return !m_continuous && trusted.anySamples
               && TriggerOutlasts(trusted.latestSamples, recording.sweepLength);
    if (m_allCounted)
        return false;
    // Fewer heads than the header counts prove a cut where no chunk could be read, or where the
    // streams end apart (a copy that broke off inside a time slot, or behind the trigger of a
    // sweep whose data it lacks); a file that ends cleanly between two slots may be a recording
    // stopped there.
    if (!trusted.any || trusted.someStreamShort
        || (trusted.anySamples && trusted.latestStart >= trusted.latestSamples))
        return true;
    // So does a last sweep shorter than the header says sweeps last.
    return !m_continuous && recording.sweepLength != 0 && trusted.anySamples
           && trusted.latestSamples - LastRunStart() < recording.sweepLength;
}

bool CKVTACoverage::TriggerOutlasts(uint64_t samplesEnd, uint64_t sweepLength) const
{
    // A trigger with damaged times lies among the samples in the file, far from the last sweep.
    size_t lastSamples = 0;
    for (const StreamState& s : m_streams)
        if (s.facts.HasFrames() && !s.chunks.empty())
            lastSamples = std::max(lastSamples, s.chunks.back());
    const uint64_t lastRun = LastRunStart();
    // A trigger that starts with its sweep's samples spans the sweep; with a damaged stop it
    // spans something else.
    uint64_t slack = 0;
    for (const StreamState& s : m_streams)
        slack = std::max(slack, s.facts.FrameTime());
    for (const StreamState& s : m_streams) {
        if (s.facts.HasFrames() || s.chunks.empty())
            continue;
        const KvtChunkInfo& last = (*m_chunks)[s.chunks.back()];
        // The trigger of the last sweep lies behind its samples, no longer than a sweep, or
        // starts with them and spans the sweep.
        const uint64_t span = last.stop - last.start;
        const bool behind = s.chunks.back() > lastSamples && span <= sweepLength;
        const bool with = last.start >= lastRun && last.start < samplesEnd && Near(span, sweepLength, slack);
        // A sweep cut short lost whole chunks of samples: a stop less than a frame past
        // them is a time field a nanosecond or so off.
        if ((behind || with) && last.stop > AddSaturated(samplesEnd, slack))
            return true;
    }
    return false;
}

uint64_t CKVTACoverage::LastRunStart() const
{
    struct Span
    {
        uint64_t start, stop, slack;
    };
    std::vector<Span> spans;
    for (const StreamState& s : m_streams)
        if (s.facts.HasFrames())
            for (size_t i : s.chunks)
                spans.push_back({(*m_chunks)[i].start, (*m_chunks)[i].stop, s.facts.FrameTime()});
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    uint64_t runStart = spans.empty() ? 0 : spans.front().start;
    uint64_t runStop = runStart;
    for (const Span& span : spans) {
        if (span.start > AddSaturated(runStop, span.slack))
            runStart = span.start;
        runStop = std::max(runStop, span.stop);
    }
    return runStart;
}

uint64_t CKVTACoverage::SamplesTailReach(const TrustedReach& trusted, uint64_t tailBytes) const
{
    // Events of the last period may lie behind its samples in the file: unread bytes between
    // the last trusted samples and them are the samples' tail too.
    if (!m_continuous)
        return TimeSideBySide(tailBytes);
    const uint64_t between = TailBytes(trusted.lastSamplesEnd) - TailBytes(trusted.lastEnd);
    return TimeSideBySide(tailBytes + between);
}

uint64_t CKVTACoverage::TailBytes(uint64_t lastEnd) const
{
    uint64_t bytes = 0;
    for (const UnreadBytes& u : m_unread) {
        const StreamState* owner = Find(u.key);
        const bool events = owner && !owner->facts.HasFrames() && !OutgrowsItsEventChunk(u, *owner);
        if (u.to > lastEnd && !events)
            bytes += u.to - std::max(u.from, lastEnd);
    }
    return bytes;
}

bool CKVTACoverage::OutgrowsItsEventChunk(const UnreadBytes& u, const StreamState& owner) const
{
    // Without a chunk of its own read, nothing tells how long one of its chunks may be.
    if (u.oneChunk || owner.chunks.empty())
        return false;
    uint64_t longest = 0;
    for (size_t i : owner.chunks)
        longest = std::max(longest, (*m_chunks)[i].End() - (*m_chunks)[i].offset);
    return u.to - u.from > longest;
}

uint64_t CKVTACoverage::TailClaim(const KvtRecordingFacts& recording, const TrustedReach& trusted) const
{
    // A damaged head claims time only beyond what its own stream's trusted chunks hold (a
    // twin of a trusted chunk, moved back behind it, claims nothing); one that names no stream,
    // or whose times are out of order, claims nothing: its stop field is as likely noise.
    uint64_t claim = recording.claimedStop;
    for (const UnreadBytes& u : m_unread) {
        const StreamState* s = Find(u.key);
        const uint64_t held = s ? (s->chunks.empty() ? 0 : (*m_chunks)[s->chunks.back()].stop) : 0;
        if (u.from >= trusted.lastEnd && s && u.claimedStart <= u.claimedStop && u.claimedStop > held
            && !StartsAfterRecording(*s, u.claimedStart, u.claimedStop))
            claim = std::max(claim, u.claimedStop);
    }
    return claim;
}

uint64_t CKVTACoverage::LaterSweepClaim(const KvtRecordingFacts& recording,
                                       const TrustedReach& trusted) const
{
    if (m_continuous || recording.sweepLength == 0 || !trusted.anySamples || m_unread.empty())
        return 0;
    const uint64_t runStart = std::min(trusted.latestSamples, LastRunStart());
    if (trusted.latestSamples - runStart < recording.sweepLength)
        return 0;
    uint64_t claim = 0;
    for (const UnreadBytes& u : m_unread) {
        const StreamState* s = Find(u.key);
        if (u.from < trusted.lastEnd || !s || !s->facts.HasFrames() || u.claimedStart < trusted.latestSamples
            || u.claimedStart > u.claimedStop || u.to - u.from < Kvd::DataChunk::kHeaderBytes)
            continue;
        const uint64_t holds = s->facts.Duration(u.to - u.from - Kvd::DataChunk::kHeaderBytes);
        if (u.claimedStop - u.claimedStart <= AddSaturated(holds, s->facts.FrameTime()))
            claim = std::max(claim, u.claimedStop);
    }
    return claim;
}

void CKVTACoverage::KeepStoredSweeps(const std::vector<std::pair<uint64_t, uint64_t>>& sweeps)
{
    // Sweeps that overlap have a damaged stop: none of them tells what was recorded.
    for (size_t k = 1; k < sweeps.size(); ++k)
        if (sweeps[k - 1].second > sweeps[k].first)
            return;
    m_storedSweeps = sweeps;
}

uint64_t CKVTACoverage::StoredSweepsEnd() const
{
    if (m_storedSweeps.empty())
        return 0;
    // A damaged last stop claims no more than a sweep lasts.
    const auto& last = m_storedSweeps.back();
    return m_sweepLength == 0 ? last.second
                              : std::min(last.second, AddSaturated(last.first, m_sweepLength));
}

bool CKVTACoverage::OutsideStoredSweeps(const KvtChunkInfo& c) const
{
    if (m_storedSweeps.empty() || c.start > c.stop)
        return false;
    for (const auto& sweep : m_storedSweeps) {
        const bool meets = c.start == c.stop ? c.start >= sweep.first && c.start <= sweep.second
                                             : c.start < sweep.second && c.stop > sweep.first;
        if (meets)
            return false;
    }
    return true;
}

void CKVTACoverage::DropChunksOutsideStoredSweeps()
{
    for (StreamState& s : m_streams) {
        const auto outside = [this](size_t i) { return OutsideStoredSweeps((*m_chunks)[i]); };
        for (size_t i : s.chunks)
            if (outside(i))
                (*m_trusted)[i] = false;
        s.chunks.erase(std::remove_if(s.chunks.begin(), s.chunks.end(), outside), s.chunks.end());
    }
}

std::vector<KvtHole> CKVTACoverage::StoredSweepGaps(const StreamState& s) const
{
    // Less than a frame holds no sample: a time a nanosecond off loses nothing.
    const uint64_t slack = s.facts.FrameTime();
    std::vector<KvtHole> gaps;
    const auto add = [&](uint64_t from, uint64_t to) {
        if (to > from && to - from >= slack)
            gaps.push_back({from, to, KvtHoleCause::kDamagedHead});
    };
    size_t k = 0;
    for (const auto& sweep : m_storedSweeps) {
        while (k < s.chunks.size() && (*m_chunks)[s.chunks[k]].stop <= sweep.first)
            ++k;
        const uint64_t stop = std::min(sweep.second, m_samplesEnd);
        uint64_t at = sweep.first;
        for (size_t j = k; at < stop; ++j) {
            if (j == s.chunks.size() || (*m_chunks)[s.chunks[j]].start >= stop) {
                add(at, stop);
                break;
            }
            add(at, (*m_chunks)[s.chunks[j]].start);
            at = std::max(at, (*m_chunks)[s.chunks[j]].stop);
        }
    }
    return gaps;
}

uint64_t CKVTACoverage::CutReach(const KvtRecordingFacts& recording,
                                 const TrustedReach& trusted) const
{
    // The chunks the header counts and the file lacks, each no longer than the longest read,
    // or else as long again as the data read.
    const uint64_t read = m_chunks->size();
    const uint64_t lacking = recording.claimedChunks > read ? recording.claimedChunks - read : 0;
    if (lacking == 0)
        return trusted.latest - std::min(trusted.latest, m_extentStart);
    return Saturate(static_cast<U128>(lacking) * trusted.ChunkTime());
}

uint64_t CKVTACoverage::TrustedReach::ChunkTime() const
{
    // Where no chunk could be read, none tells how long one lasts: no recording program's
    // lasts a minute.
    return any ? longestChunk : kLongestChunkNs;
}

uint64_t CKVTACoverage::TimeSideBySide(uint64_t bytes) const
{
    // The streams of samples record side by side: bytes they all lost hold the time that fills
    // each with its frames, a head each less.
    U128 bytesPerSecondMilli = 0;
    uint64_t heads = 0;
    for (const StreamState& s : m_streams) {
        if (!s.facts.HasFrames())
            continue;
        bytesPerSecondMilli += static_cast<U128>(s.facts.frameBytes) * RateOf(s.facts);
        heads += Kvd::DataChunk::kHeaderBytes;
    }
    if (bytesPerSecondMilli == 0)
        return 0;
    const uint64_t payload = bytes > heads ? bytes - heads : 0;
    return Saturate(static_cast<U128>(payload) * kNsTimesMilliHz / bytesPerSecondMilli);
}

uint64_t CKVTACoverage::Extend(uint64_t end, const TailBounds& tail) const
{
    // Without a claim, the bytes of the chunk cut in two tell how far it got; with one, they
    // hold at least that much even where little or nothing was read before them.
    if (m_fileCut && !tail.indexPastEnd) {
        const uint64_t reach = std::max(tail.cutReach, tail.reach);
        if (tail.claim > end)
            return std::min(tail.claim, AddSaturated(end, AddSaturated(reach, tail.untold)));
        return tail.claim != 0 ? end : AddSaturated(end, tail.reach);
    }
    // Where a stream ends before the others, the bytes behind are its own lost tail.
    if (tail.reach == 0 || (tail.someStreamShort && !m_fileCut))
        return end;
    // Behind a whole last sweep, the pause before the next costs no bytes.
    if (tail.laterSweep > end)
        return tail.laterSweep;
    // A claim beyond the data counts only as far as the bytes can hold; one at or before the
    // data's end says they ended there.
    if (tail.claim > end)
        return std::min(tail.claim, AddSaturated(end, AddSaturated(tail.reach, tail.untold)));
    return tail.claim != 0 ? end : AddSaturated(end, tail.reach);
}

std::pair<uint64_t, uint64_t> CKVTACoverage::GapAround(const StreamState& s,
                                                      uint64_t offset) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto next = std::lower_bound(s.chunks.begin(), s.chunks.end(), offset,
                                       [&](size_t i, uint64_t o) { return chunks[i].offset < o; });
    const uint64_t from = next == s.chunks.begin() ? m_extentStart : chunks[*(next - 1)].stop;
    const uint64_t to = next == s.chunks.end() ? m_samplesEnd : chunks[*next].start;
    return {from, to};
}

bool CKVTACoverage::AnotherStreamLacks(uint64_t key, uint64_t offset) const
{
    for (const StreamState& s : m_streams) {
        if (s.facts.key == key || !s.facts.HasFrames() || s.chunks.empty())
            continue;
        const auto [from, to] = GapAround(s, offset);
        if (to > from && to - from > s.facts.FrameTime()
            && (m_continuous || AnotherStreamHolds(s, from, true)
                || GapCutsSweepShort(s, offset)))
            return true;
    }
    return false;
}

uint64_t CKVTACoverage::SizeBeside(const StreamState& s, uint64_t offset) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto next = std::lower_bound(s.chunks.begin(), s.chunks.end(), offset,
                                       [&](size_t i, uint64_t o) { return chunks[i].offset < o; });
    const size_t beside = next != s.chunks.begin() ? *(next - 1) : *next;
    return static_cast<uint64_t>(chunks[beside].payloadSize);
}

uint64_t CKVTACoverage::FrameStreamFilling(const UnreadBytes& u) const
{
    const uint64_t bytes = u.to - u.from;
    const uint64_t payload = bytes > Kvd::DataChunk::kHeaderBytes
                                 ? bytes - Kvd::DataChunk::kHeaderBytes : 0;
    if (const uint64_t owner = StreamLackingPeriodAround(u, payload))
        return owner;
    // The one stream whose gap they fill exactly; failing that, in sweeps (where a gap may
    // hold a pause too), the one stream whose gap holds them and whose chunk beside them is as
    // large.
    uint64_t exact = 0;
    uint64_t fits = 0;
    size_t exactCount = 0;
    size_t fitCount = 0;
    // The recorder writes its chunks in the order of their times: the bytes hold time that goes
    // on past the start of the chunk in front of them.
    const uint64_t inFront = TrustedStartBefore(u.from);
    for (const StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || s.chunks.empty() || payload == 0 || payload % s.facts.frameBytes != 0)
            continue;
        const auto [from, to] = GapAround(s, u.from);
        const uint64_t length = s.facts.Duration(payload);
        if (to <= from || to - from + s.facts.FrameTime() < length
            || EndsBeforeBytes(s, u, to, inFront)
            || NoRoomBetweenWholeSweeps(s, u.from, to - from, length) || GapIsPause(s, from, to))
            continue;
        if (SizeBeside(s, u.from) == payload) {
            ++fitCount;
            fits = s.facts.key;
        }
        if (Near(to - from, length, s.facts.FrameTime())) {
            ++exactCount;
            exact = s.facts.key;
        }
    }
    if (exactCount == 1)
        return exact;
    return exactCount == 0 && fitCount == 1 && !m_continuous ? fits : 0;
}

bool CKVTACoverage::EndsBeforeBytes(const StreamState& s, const UnreadBytes& u, uint64_t gapEnd,
                                   uint64_t inFront) const
{
    // Only a gap closed by a chunk of the stream behind the bytes ends where the stream's time
    // goes on; behind its last chunk the samples' end may fall short of what the bytes held.
    const bool closed = (*m_chunks)[s.chunks.back()].offset > u.from;
    return closed && gapEnd <= AddSaturated(inFront, s.facts.FrameTime());
}

bool CKVTACoverage::SplitsOffSamples(UnreadBytes& u, UnreadBytes& samples,
                                    CFileReader* reader) const
{
    const StreamState* owner = Find(u.key);
    if (u.oneChunk || !owner || owner->facts.HasFrames() || owner->chunks.empty())
        return false;
    // The recorder writes a sweep's trigger in front of its samples, each chunk as large as
    // its neighbours of the same stream.
    const uint64_t events = Kvd::DataChunk::kHeaderBytes + SizeBeside(*owner, u.from);
    if (u.to - u.from <= events)
        return false;
    const uint64_t rest = u.to - u.from - events;
    uint64_t key = 0;
    size_t count = 0;
    for (const StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || s.chunks.empty()
            || rest != Kvd::DataChunk::kHeaderBytes + SizeBeside(s, u.from))
            continue;
        const auto [from, to] = GapAround(s, u.from);
        const uint64_t length = s.facts.Duration(rest - Kvd::DataChunk::kHeaderBytes);
        if (to > from && to - from + s.facts.FrameTime() >= length) {
            ++count;
            key = s.facts.key;
        }
    }
    if (count != 1)
        return false;
    samples = UnreadBytes {u.from + events, u.to, 0, 0, key, true};
    u.to = samples.from;
    uint8_t head[Kvd::DataChunk::kHeaderBytes];
    if (reader && reader->ReadAt(samples.from, head, sizeof head)
        && StreamOf(CKVTAChunkChain::MakeKey(reinterpret_cast<const char*>(head))) == key) {
        samples.claimedStart = LoadLE<uint64_t>(head + Kvd::DataChunk::kStart);
        samples.claimedStop = LoadLE<uint64_t>(head + Kvd::DataChunk::kStop);
    }
    return true;
}

bool CKVTACoverage::LostBytesOpenFile(uint64_t key, uint64_t offset) const
{
    const auto own = std::find_if(m_unread.begin(), m_unread.end(), [&](const UnreadBytes& u) {
        return u.from < offset && u.key == key;
    });
    if (own == m_unread.end())
        return false;
    // The trigger that starts the first sweep lies in front of its samples: of bytes that name
    // no stream, its chunk does not tell that they lie behind the first sweep.
    for (const StreamState& other : m_streams)
        if (!other.chunks.empty() && (*m_chunks)[other.chunks.front()].offset < own->from
            && (key != 0 || other.facts.HasFrames()))
            return false;
    return true;
}

uint64_t CKVTACoverage::TrustedStartBefore(uint64_t offset) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    auto at = std::lower_bound(chunks.begin(), chunks.end(), offset,
                               [](const KvtChunkInfo& c, uint64_t o) { return c.offset < o; });
    // Among the chunks of a period or two in front: a longer search would cost a pass per
    // stretch in a file whose heads are mostly damaged, and say little.
    for (int looked = 0; at != chunks.begin() && looked < 16; ++looked) {
        --at;
        const size_t i = static_cast<size_t>(at - chunks.begin());
        if ((*m_trusted)[i] && at->start <= at->stop)
            return at->start;
    }
    return 0;
}

void CKVTACoverage::WorkOutEventHoles(StreamState& s)
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtHoleCause tailCause = m_fileCut ? KvtHoleCause::kFileCut : KvtHoleCause::kDamagedHead;
    // The trusted chunks around each unread stretch of this stream's heads, by file order.
    for (const UnreadBytes& u : m_unread) {
        const bool records = u.key != s.facts.key && u.key != 0 && HoldsEventChunk(s, u);
        if (u.key != s.facts.key && u.key != 0 && !records)
            continue;
        const auto next = std::lower_bound(s.chunks.begin(), s.chunks.end(), u.from,
                                           [&](size_t i, uint64_t at) {
                                               return chunks[i].offset < at;
                                           });
        const uint64_t from = next == s.chunks.begin() ? m_extentStart : chunks[*(next - 1)].stop;
        const uint64_t to = next == s.chunks.end() ? m_extentEnd : chunks[*next].start;
        const KvtHoleCause cause = next == s.chunks.end() ? tailCause : KvtHoleCause::kDamagedHead;
        if (next != s.chunks.begin() && RecordsInDoubt(s, next - 1 - s.chunks.begin(), u))
            s.holes.push_back({chunks[*(next - 1)].start, chunks[*(next - 1)].stop, cause});
        if (u.key == 0 || records) {
            // A head that names no stream, and no stream of samples whose gap its bytes fill,
            // may have held this stream's events anywhere between the chunks around it.
            if (from < to)
                s.holes.push_back({from, to, cause});
        } else if (u.claimedStart <= u.claimedStop && u.claimedStart >= from
                   && u.claimedStop <= to) {
            s.holes.push_back({u.claimedStart, u.claimedStop, KvtHoleCause::kDamagedHead});
        } else {
            s.holes.push_back({from, to, cause});
        }
    }
    // Behind the last chunk of a file cut short, everything up to the extent is lost, from the
    // time the file was being written when it broke off: events before it lie in the file.
    const uint64_t last = std::max(s.chunks.empty() ? m_extentStart : chunks[s.chunks.back()].stop,
                                   std::min(m_cutFrom, m_extentEnd));
    if (m_fileCut && m_extentEnd > last)
        s.holes.push_back({last, m_extentEnd, KvtHoleCause::kFileCut});
}

void CKVTACoverage::WorkOutHoles(StreamState& s)
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const bool frames = s.facts.HasFrames();
    const uint64_t end = frames ? m_samplesEnd : m_extentEnd;
    // The time from `from` that `bytes` unread bytes can hold for this stream, up to `to`.
    const auto bound = [&](uint64_t from, uint64_t to, uint64_t bytes) {
        return std::min(to, AddSaturated(from, s.facts.Duration(bytes)));
    };
    // In sweeps, where the bytes unread in [fileFrom, fileTo) include some whose head names no
    // stream, those hold time for every stream that lacks it there, side by side.
    const auto boundInFile = [&](uint64_t from, uint64_t to, uint64_t bytes, uint64_t fileFrom, uint64_t fileTo) {
        if (m_continuous)
            return bound(from, to, bytes);
        return std::min(to, AddSaturated(from, SweepLossTime(s, fileFrom, fileTo, bytes)));
    };
    // Bytes whose head names no stream may be this stream's where it must have recorded: always
    // in a continuous recording; in sweeps, where another stream recorded within the gap [gapFrom,
    // gapTo) (else the gap may lie between two sweeps), or holds its start: a trigger's chunk
    // spans its sweep, which then went on.
    const auto unread = [&](uint64_t from, uint64_t to, uint64_t gapFrom, uint64_t gapTo) {
        const uint64_t own = UnreadPayload(from, to, s.facts.key, false);
        const bool unknownToo = m_continuous || AnotherStreamHolds(s, gapFrom)
                                || (own == 0 && AnotherStreamRecordsIn(s, gapFrom, gapTo))
                                || GapCutsSweepShort(s, from) || UnnamedBytesHoldSweep(from, to);
        return unknownToo ? UnreadPayload(from, to, s.facts.key, true) : own;
    };
    const KvtHoleCause tailCause = m_fileCut ? KvtHoleCause::kFileCut : KvtHoleCause::kDamagedHead;
    std::vector<KvtHole>& holes = s.holes;
    holes.clear();
    if (!frames) {
        WorkOutEventHoles(s);
    } else if (!m_storedSweeps.empty() && !m_fileCut) {
        holes = StoredSweepGaps(s);
    } else if (s.chunks.empty()) {
        const uint64_t bytes = unread(m_dataStart, UINT64_MAX, m_extentStart, end);
        if ((bytes > 0 || m_fileCut) && end > m_extentStart) {
            const uint64_t to = m_fileCut ? end : bound(m_extentStart, end, bytes);
            holes.push_back({m_extentStart, to, tailCause});
        }
    } else {
        const KvtChunkInfo& head = chunks[s.chunks.front()];
        const uint64_t justBefore = head.start - std::min<uint64_t>(head.start, 1);
        const bool firstSweepLost = FirstSweepLostUnnamed(s, head.offset);
        const uint64_t before = firstSweepLost
                                    ? UnreadPayload(m_dataStart, head.offset, s.facts.key)
                                    : unread(m_dataStart, head.offset, justBefore, head.start);
        if (before > 0 && head.start > m_extentStart) {
            const uint64_t length = boundInFile(0, head.start, before, m_dataStart, head.offset);
            const bool opensFile = !m_continuous && LostBytesOpenFile(s.facts.key, head.offset);
            const uint64_t from = firstSweepLost || opensFile
                                      ? m_extentStart
                                      : LostTimeBefore(s, head.start, length);
            const uint64_t to = std::min(head.start, from + length);
            holes.push_back({from, firstSweepLost ? FirstSweepEnd(s, from, to) : to,
                             KvtHoleCause::kDamagedHead});
        }
        for (size_t k = 1; k < s.chunks.size(); ++k) {
            const KvtChunkInfo& p = chunks[s.chunks[k - 1]];
            const KvtChunkInfo& n = chunks[s.chunks[k]];
            const uint64_t bytes = unread(p.End(), n.offset, p.stop, n.start);
            if (bytes > 0 && n.start > p.stop) {
                const uint64_t length = boundInFile(p.stop, n.start, bytes, p.End(), n.offset) - p.stop;
                if (LossAroundPause(s, p.stop, n.start, length, holes))
                    continue;
                const uint64_t from = LostTimeBetween(s, {p.stop, p.End()}, {n.start, n.offset}, length);
                holes.push_back(KeptInsideSweep(s, {p.stop, p.End()}, {n.start, n.offset},
                                                {from, from + length, KvtHoleCause::kDamagedHead}));
            }
        }
        const KvtChunkInfo& tail = chunks[s.chunks.back()];
        // Behind the last chunk of a file cut short, everything up to the extent is lost.
        const uint64_t after = unread(tail.End(), UINT64_MAX, tail.stop, end);
        if (m_fileCut && m_continuous) {
            holes.push_back({std::min(end, TailLossStart(s, tail.stop)), end, tailCause});
        } else if (m_fileCut && end > tail.stop) {
            holes.push_back({tail.stop, end, tailCause});
        } else if (after > 0 && end > tail.stop) {
            // In sweeps the time lost behind the last chunk may lie in a later sweep.
            const uint64_t length = boundInFile(tail.stop, end, after, tail.End(), UINT64_MAX) - tail.stop;
            const uint64_t from = LostTimeBetween(s, {tail.stop, tail.End()}, {end, UINT64_MAX}, length);
            // A sweep lost behind the data lasts a sweep: its lost trigger's bytes hold no time.
            const uint64_t sweepFrom = end == m_lostSweepEnd ? end - m_sweepLength : 0;
            holes.push_back({std::max(from, sweepFrom), from + length, tailCause});
        }
    }
    if (frames) {
        KeepHolesOutOfPauses(s);
        EndHolesWithTheirSweeps(s);
    }
    // Sorted and joined where they meet; empty ones say nothing.
    holes.erase(std::remove_if(holes.begin(), holes.end(),
                               [](const KvtHole& h) { return h.to <= h.from; }),
                holes.end());
    std::sort(holes.begin(), holes.end(),
              [](const KvtHole& a, const KvtHole& b) { return a.from < b.from; });
    size_t joined = 0;
    for (size_t k = 0; k < holes.size(); ++k) {
        if (joined > 0 && holes[k].from <= holes[joined - 1].to)
            holes[joined - 1].to = std::max(holes[joined - 1].to, holes[k].to);
        else
            holes[joined++] = holes[k];
    }
    holes.resize(joined);
}

// Sweeps' edges where their heads are lost: the triggers and the bytes in front tell them.

uint64_t CKVTACoverage::SweepStartBefore(size_t i, uint64_t before) const
{
    // In sweeps the time before a sweep's first chunk is a pause, not the chunk's: the trigger
    // beside it in the file, starting after `before`, tells where its sweep and so its time
    // begin.
    if (m_continuous)
        return before;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    uint64_t start = before;
    // The latest such start: no trigger ends the look.
    (void)TriggerAround(i, [&](size_t j, const StreamState&) {
        if ((*m_trusted)[j] && chunks[j].start > start && chunks[j].start <= chunks[i].start)
            start = chunks[j].start;
        return false;
    });
    return start;
}

bool CKVTACoverage::FirstSweepLostUnnamed(const StreamState& s, uint64_t offset) const
{
    // The first sweep begins the recording and every stream of samples records in each sweep:
    // bytes whose head names no stream, in front of every trusted chunk in the file, hold that
    // sweep's time for a stream that lost no bytes of its own there.
    return !m_continuous && UnreadPayload(m_dataStart, offset, s.facts.key, false) == 0
           && LostBytesOpenFile(0, offset);
}

uint64_t CKVTACoverage::FirstSweepEnd(const StreamState& s, uint64_t from, uint64_t to) const
{
    // Bytes shared among the streams tell a sweep's time only to within a frame (a head beside
    // them may have taken a byte of theirs): the first sweep's trigger, which spans it, tells
    // where it ends.
    for (const StreamState& events : m_streams) {
        if (events.facts.HasFrames() || events.chunks.empty())
            continue;
        const KvtChunkInfo& trigger = (*m_chunks)[events.chunks.front()];
        if (trigger.start == from && trigger.stop > to && trigger.stop - to < s.facts.FrameTime())
            return trigger.stop;
    }
    return to;
}

// Recordings of sweeps, old ones judged as continuous first: times their triggers tell.

bool CKVTACoverage::BesideDamagedTriggerOfItsTime(const StreamState& s, size_t i) const
{
    // Before an old file's gaps tell its mode it is judged as continuous, where the first chunk
    // of a later sweep meets no neighbour. The trigger head in front of it that starts with it
    // vouches (AccompaniedInFile); with that start damaged, the stop it left whole, ending the
    // chunk, still marks its period, as it does once the file is judged as sweeps.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (size_t j : {i - 1, i + 1}) {
        if (j >= chunks.size() || chunks[j].key == s.facts.key)
            continue;
        const StreamState* owner = Find(chunks[j].key);
        const KvtChunkInfo& event = chunks[j];
        if (!owner || owner->facts.HasFrames())
            continue;
        const bool damaged = !HeadAgreesWithItself(event, *owner)
                             || StartsBeforeRecording(event.start);
        if (damaged && EventEdgeMeets(event, chunks[i]))
            return true;
    }
    return false;
}

void CKVTACoverage::PutFirstStartBackOnRecordingStart(const StreamState& s)
{
    // A first chunk whose start lies before the header's start and spans more than its frames,
    // by less than a frame, had its start moved early: its frames, counted back from its stop,
    // begin just at the recording's start. Where a stream has too few chunks on the frame grid
    // to tell a recorder's rounding (SnapTimesToFrames), the header's start tells it.
    if (!s.spansChecked || s.chunks.empty() || m_recordingStart == 0)
        return;
    KvtChunkInfo& c = (*m_chunks)[s.chunks.front()];
    const uint64_t length = s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
    const bool early = c.start < m_recordingStart
                       && m_recordingStart - c.start < s.facts.FrameTime();
    if (early && length > 0 && c.stop >= length && c.stop - length == m_recordingStart)
        c.start = m_recordingStart;
}

bool CKVTACoverage::LostTriggerVouches(const StreamState& s, size_t i, uint64_t length,
                                       uint64_t& start, uint64_t& stop) const
{
    // The trigger of a sweep of one chunk spans that chunk: a trigger head the chain could not
    // read (its size damaged) right before or behind chunk i whose times span its frames and
    // share one of its times vouches for both, in an old file judged as continuous too, where
    // the chunk would otherwise leave no gap to tell sweeps by.
    const KvtChunkInfo& c = (*m_chunks)[i];
    if (c.key != s.facts.key)
        return false;
    const auto first = std::lower_bound(
        m_lost->begin(), m_lost->end(), c.offset,
        [](const KvtLostSpan& span, uint64_t at) { return span.to < at; });
    for (auto span = first; span != m_lost->end() && span->from <= c.End(); ++span) {
        const StreamState* owner = Find(StreamOf(span->headKey));
        if ((span->to != c.offset && span->from != c.End()) || !owner || owner->facts.HasFrames())
            continue;
        if (span->headStart > span->headStop || span->headStop - span->headStart != length)
            continue;
        if (span->headStart == c.start || span->headStop == c.stop) {
            start = span->headStart;
            stop = span->headStop;
            return true;
        }
    }
    return false;
}

bool CKVTACoverage::LiesBehindLaterTrigger(const StreamState& s, size_t i, uint64_t stop) const
{
    // A recorder writes each sweep's trigger before the chunks of that sweep: a chunk that lies
    // in the file behind a trigger starting at or after `stop`, with no chunk of its own stream
    // in between, does not stop there.
    if (m_continuous)
        return false;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t from = PeriodAround(i, chunks.size()).first;
    for (size_t j = i; j-- > from;) {
        if (chunks[j].key == s.facts.key && (*m_trusted)[j])
            return false;
        const StreamState* owner = OtherTrustedStream(s, j);
        if (owner && !owner->facts.HasFrames() && chunks[j].start <= chunks[j].stop
            && chunks[j].start >= stop && SamplesStartWithTrigger(s, j))
            return true;
    }
    return false;
}

bool CKVTACoverage::SamplesStartWithTrigger(const StreamState& s, size_t j) const
{
    // A trigger whose times moved tells nothing: one whose sweep another stream of samples
    // begins with a chunk behind it in the file is its sweep's.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t to = PeriodAround(j, chunks.size()).second;
    for (size_t k = j + 1; k < to; ++k) {
        const StreamState* other = OtherTrustedStream(s, k);
        if (other && other->facts.HasFrames() && chunks[k].start == chunks[j].start)
            return true;
    }
    return false;
}

void CKVTACoverage::MoveChunksBehindTriggersIntoTheirPeriods()
{
    // Before any head is mended: only chunks whose heads agree with themselves tell a period.
    if (m_continuous)
        return;
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || !s.spansChecked)
            continue;
        for (size_t k = 0; k < s.chunks.size(); ++k) {
            const size_t i = s.chunks[k];
            KvtChunkInfo& c = chunks[i];
            const uint64_t length = ExactFramesTime(s.facts, c);
            if (length == 0 || !LiesBehindLaterTrigger(s, i, c.stop)
                || AnotherStreamOverlaps(s, i))
                continue;
            // Its times, which no other stream shares, moved earlier by a chunk: the period of
            // another stream's chunk beside it in the file, which its stream lacks, is its own.
            const uint64_t nextStart =
                k + 1 < s.chunks.size() ? chunks[s.chunks[k + 1]].start : UINT64_MAX;
            for (size_t j : {i + 1, i - 1}) {
                const StreamState* other = j < chunks.size() ? OtherTrustedStream(s, j) : nullptr;
                const KvtChunkInfo* o = other && other->facts.HasFrames() ? &chunks[j] : nullptr;
                if (!o || o->start < c.stop || o->stop - o->start != length || o->stop > nextStart
                    || !LacksPeriod(s, o->start, o->stop))
                    continue;
                c.start = o->start;
                c.stop = o->stop;
                break;
            }
        }
    }
}

// Frames under an event stream's id beside damaged heads of their own stream
bool CKVTACoverage::GapBesideIsDamage(const StreamState& s, size_t i, bool meetsBefore,
                                      bool meetsBehind) const
{
    // In a continuous recording a stream's chunk follows on from its neighbours. One that meets
    // just one of them still fills the stream's time where its own stream's heads on the other
    // side in the file are damaged (their time is lost, not a sign that it jumped), or where
    // nothing of the stream follows it (it carries on the stream's last chunk; a stream with no
    // chunk at all shows no time to carry on): trigger chunks hold records, never just the
    // frames of a stream's period.
    if (!m_continuous || meetsBefore == meetsBehind)
        return false;
    const auto next = std::lower_bound(s.chunks.begin(), s.chunks.end(), i);
    if (meetsBefore && next == s.chunks.end())
        return m_claimedStop == 0 && next != s.chunks.begin();
    const size_t count = m_chunks->size();
    if (meetsBefore)
        return !UntrustedHeadsBetween(s, i, *next).empty();
    return !UntrustedHeadsBetween(s, next == s.chunks.begin() ? count : *(next - 1), i).empty();
}

// Event records beside a damaged head of samples
bool CKVTACoverage::RecordsInDoubt(const StreamState& events, size_t k, const UnreadBytes& u) const
{
    // An event chunk whose size leads right into bytes the chain could not read, bytes whose
    // head names no stream and that miss the frames a stream of samples lacks there by the
    // bytes of at least a record that the event chunk holds (records are read whole: a stray
    // byte or two spoils none), or hold more by less than a head: its size was off, reaching
    // into that chunk's head or stopping short of its own records.
    const KvtChunkInfo& event = (*m_chunks)[events.chunks[k]];
    if (u.key != 0 || event.End() != u.from || u.to - u.from <= Kvd::DataChunk::kHeaderBytes)
        return false;
    const uint64_t payload = u.to - u.from - Kvd::DataChunk::kHeaderBytes;
    // With no records beside it, its own bytes are the least a record may take.
    const uint64_t beside = LeastRecordsBeside(events, k);
    const uint64_t record = beside != UINT64_MAX ? beside : static_cast<uint64_t>(event.payloadSize);
    for (const StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || s.chunks.empty())
            continue;
        const auto [from, to] = GapAround(s, u.from);
        if (to <= from || to - from <= s.facts.FrameTime())
            continue;
        const uint64_t due = s.facts.FramesIn(to - from) * s.facts.frameBytes;
        if ((payload < due && due - payload <= static_cast<uint64_t>(event.payloadSize)
             && due - payload >= record)
            || (payload > due && payload - due < Kvd::DataChunk::kHeaderBytes))
            return true;
    }
    return false;
}

uint64_t CKVTACoverage::LeastRecordsBeside(const StreamState& events, size_t k) const
{
    // The chunks of an event stream hold whole records: the fewest bytes one of its chunks near
    // chunk k holds are a record or a few.
    const auto [first, last] = PeriodAround(k, events.chunks.size());
    return LeastRecordBytes(events.chunks, first, last, k);
}

// Event chunks whose stop moved onto the next one's period
void CKVTACoverage::PutEventStopsBackToTheirPeriods(const std::vector<size_t>& candidates)
{
    // In a continuous recording an event chunk spans its period. One whose stop lies past the
    // start of the stream's next head in the file, where a trusted chunk of samples beside it
    // spans just from its start to that next start, had its stop moved: it is put back there,
    // and both heads keep their records.
    if (!m_continuous)
        return;
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (size_t k = 0; k < candidates.size(); ++k) {
        KvtChunkInfo& c = chunks[candidates[k]];
        const uint64_t next = NextHeadStart(candidates, k);
        if (next <= c.start || next >= c.stop)
            continue;
        const auto [from, to] = PeriodAround(candidates[k], chunks.size());
        for (size_t n = from; n < to; ++n) {
            if (SamplesSpan(n, c.start, next)) {
                c.stop = next;
                break;
            }
        }
    }
}

// Sweeps: twins in another stream's place, and runs of chunks held to the header's sweep length.
size_t CKVTACoverage::TwinInAnotherStreamsPlace(const StreamState& s, size_t a, size_t b) const
{
    // A continuous recording loses such twins to both streams (see OwnerOfUntrusted).
    if (m_continuous)
        return SIZE_MAX;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& twin = chunks[a];
    // They lie in one period: nothing between them in the file but heads of their time.
    const size_t first = std::min(a, b);
    const size_t last = std::max(a, b);
    for (size_t j = first + 1; j < last; ++j)
        if (chunks[j].start != twin.start)
            return SIZE_MAX;
    for (const KvtLostSpan& span : *m_lost)
        if (span.to > chunks[first].End() && span.from < chunks[last].offset)
            return SIZE_MAX;
    const uint64_t middle = twin.start + (twin.stop - twin.start) / 2;
    const auto [from, to] = PeriodAround(first, chunks.size());
    size_t found = SIZE_MAX;
    for (const StreamState& other : m_streams) {
        if (&other == &s || !other.facts.HasFrames() || !SpanHoldsFrames(other.facts, twin))
            continue;
        // The other stream must lack the twins' time: no head of it in the period holds it.
        // In a period where both streams have a head, their order in the file is that of every
        // period: the twin on the other stream's side holds its bytes under a wrong id.
        bool lacks = true;
        size_t ownFirst = SIZE_MAX;
        for (size_t j = from; j < to && lacks; ++j) {
            const KvtChunkInfo& o = chunks[j];
            if (StreamOf(o.key) == other.facts.key && o.start <= middle && middle < o.stop)
                lacks = false;
            if (StreamOf(o.key) != other.facts.key || ownFirst != SIZE_MAX)
                continue;
            for (size_t k = from; k < to; ++k)
                if (k != a && k != b && k != j && StreamOf(chunks[k].key) == s.facts.key
                    && chunks[k].start == o.start)
                    ownFirst = k < j ? 1 : 0;
        }
        if (!lacks || ownFirst == SIZE_MAX)
            continue;
        const size_t place = ownFirst == 1 ? last : first;
        if (found != SIZE_MAX && found != place)
            return SIZE_MAX;
        found = place;
    }
    return found;
}

bool CKVTACoverage::GapCutsSweepShort(const StreamState& s, uint64_t offset) const
{
    return RunShortOfSweep(s, offset, false) || RunShortOfSweep(s, offset, true);
}

bool CKVTACoverage::SweepLengthKnown() const
{
    // Old headers keep no sweep length: the one worked out from the gaps measures nothing
    // unless the triggers bear it out.
    return !m_continuous && m_sweepLength != 0 && (!m_chunksMayPrecedeStart || m_triggersSpanSweep);
}

bool CKVTACoverage::RunShortOfSweep(const StreamState& s, uint64_t offset, bool behind) const
{
    if (!SweepLengthKnown())
        return false;
    const auto [from, to] = RunBeside(s, offset, behind);
    return from < to && to - from + s.facts.FrameTime() < m_sweepLength;
}

std::pair<uint64_t, uint64_t> CKVTACoverage::RunBeside(const StreamState& s, uint64_t offset,
                                                       bool behind) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const uint64_t slack = s.facts.FrameTime();
    const auto next = std::lower_bound(s.chunks.begin(), s.chunks.end(), offset,
                                       [&](size_t i, uint64_t o) { return chunks[i].offset < o; });
    if (behind ? next == s.chunks.end() : next == s.chunks.begin())
        return {0, 0};
    auto first = behind ? next : next - 1;
    auto last = first;
    // Walking stops at a sweep's length: a run is short or it is not, and the walk stays local.
    const auto span = [&] { return chunks[*last].stop - chunks[*first].start; };
    const auto followsOn = [&](size_t a, size_t b) { return Near(chunks[a].stop, chunks[b].start, slack); };
    while (behind ? last + 1 != s.chunks.end() && followsOn(*last, *(last + 1))
                  : first != s.chunks.begin() && followsOn(*(first - 1), *first)) {
        if (chunks[*first].start > chunks[*last].stop || span() >= m_sweepLength)
            break;
        behind ? ++last : --first;
    }
    return {chunks[*first].start, chunks[*last].stop};
}

KvtHole CKVTACoverage::KeptInsideSweep(const StreamState& s, const Span& before, const Span& behind,
                                       KvtHole hole) const
{
    // Heads counted as data lengthen a loss a little: it stays inside the sweep it cuts short.
    if (hole.from == before.time && RunShortOfSweep(s, before.offset, false)) {
        const uint64_t sweepEnd = AddSaturated(RunBeside(s, before.offset, false).first, m_sweepLength);
        hole.to = std::min(hole.to, std::max(hole.from, sweepEnd));
    } else if (hole.to == behind.time && RunShortOfSweep(s, behind.offset, true)) {
        const uint64_t runStop = RunBeside(s, behind.offset, true).second;
        const uint64_t sweepStart = runStop > m_sweepLength ? runStop - m_sweepLength : 0;
        hole.from = std::max(hole.from, std::min(hole.to, sweepStart));
    }
    return hole;
}

bool CKVTACoverage::ShiftOutgrowsSweep(const StreamState& s, size_t x, uint64_t shift, bool back) const
{
    if (!SweepLengthKnown())
        return false;
    // A sweep lasts the header's sweep length: a chunk moved beyond it would lie in the pause
    // between sweeps, where the recorder wrote nothing.
    const KvtChunkInfo& c = (*m_chunks)[x];
    const uint64_t slack = s.facts.FrameTime();
    if (back) {
        const uint64_t runStop = RunBeside(s, c.offset, true).second;
        return c.start >= shift && runStop > c.start - shift + m_sweepLength + slack;
    }
    return AddSaturated(c.stop, shift) > RunBeside(s, c.End(), false).first + m_sweepLength + slack;
}

// Sweeps whose chunks the heads put in the wrong sweep or lose behind the data.

void CKVTACoverage::MendChunksIntoTheirSweeps()
{
    const std::vector<bool> read = *m_trusted;
    std::vector<std::pair<uint64_t, uint64_t>> readTimes;
    for (size_t i = 0; !m_continuous && i < m_chunks->size(); ++i)
        readTimes.emplace_back((*m_chunks)[i].start, (*m_chunks)[i].stop);
    MendChunks();
    // A head with one time moved by a chunk is mended from the chunk before it, which may
    // carry it into the pause before its sweep: the period beside it in the file tells better,
    // where the chunks that tell it were read as they are, not mended.
    if (m_continuous || m_chunksMayPrecedeStart)
        return;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || !s.spansChecked)
            continue;
        for (size_t k = 0; k < s.chunks.size(); ++k) {
            const auto [from, to] = PeriodAround(s.chunks[k], chunks.size());
            bool asRead = true;
            for (size_t j = from; j < to; ++j)
                asRead = asRead && (read[j] || !(*m_trusted)[j] || chunks[j].key == s.facts.key);
            if (asRead && !MoveIntoPeriodBeside(s, k))
                (void)MoveOutOfRunPastSweep(s, k, read[s.chunks[k]], readTimes[s.chunks[k]]);
        }
    }
}

uint64_t CKVTACoverage::SweepBehindTriggerEnd(const TrustedReach& trusted, uint64_t tailBytes) const
{
    // Behind a sweep cut short, the bytes are its own tail.
    if (m_continuous || m_sweepLength == 0 || tailBytes == 0 || !trusted.anySamples
        || trusted.latestSamples - std::min(trusted.latestSamples, LastRunStart()) < m_sweepLength)
        return 0;
    uint64_t start = 0;
    for (const StreamState& s : m_streams) {
        if (s.facts.HasFrames() || s.chunks.empty())
            continue;
        // Only a trigger behind every trusted chunk: the unread bytes behind them follow it.
        const KvtChunkInfo& last = (*m_chunks)[s.chunks.back()];
        if (last.End() == trusted.lastEnd && last.offset >= trusted.lastSamplesEnd)
            start = std::max(start, SweepStartOfTriggerBehind(last, trusted.latestSamples));
    }
    return start == 0 ? 0 : AddSaturated(start, TimeSideBySide(tailBytes));
}

bool CKVTACoverage::OneFieldPlacesLoss(const StreamState& s, const Span& before, const Span& behind,
                                       uint64_t length, uint64_t& start) const
{
    // A field that puts the loss at the gap's start says nothing the gap does not.
    const uint64_t slack = s.facts.FrameTime();
    const auto inside = [&](uint64_t from) {
        return from > AddSaturated(before.time, slack) && AddSaturated(from, length) <= behind.time;
    };
    if (m_sweepLength == 0 || RunBefore(s, before) < m_sweepLength)
        return false;
    size_t claims = 0;
    const auto first = std::upper_bound(m_unread.begin(), m_unread.end(), before.offset,
                                        [](uint64_t v, const UnreadBytes& u) { return v < u.to; });
    for (auto u = first; u != m_unread.end() && u->from < behind.offset; ++u) {
        // The loss is this head's chunk alone.
        if (u->key != s.facts.key || !u->oneChunk || u->to - u->from < Kvd::DataChunk::kHeaderBytes
            || !Near(s.facts.Duration(u->to - u->from - Kvd::DataChunk::kHeaderBytes), length, slack))
            continue;
        const bool byStart = inside(u->claimedStart);
        const bool byStop = u->claimedStop >= length && inside(u->claimedStop - length);
        // Both fields inside the gap: ClaimFillsGap judges them; neither tells anything.
        if (byStart == byStop)
            continue;
        start = byStart ? u->claimedStart : u->claimedStop - length;
        ++claims;
    }
    return claims == 1;
}

uint64_t CKVTACoverage::RunBefore(const StreamState& s, const Span& before) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    auto at = FirstStoppingAfter(s, before.time);
    if (at == s.chunks.begin())
        return 0;
    uint64_t start = chunks[*(at - 1)].start;
    for (--at; at != s.chunks.begin() && chunks[*(at - 1)].stop + s.facts.FrameTime() >= start; --at)
        start = chunks[*(at - 1)].start;
    return before.time - std::min(before.time, start);
}

uint64_t CKVTACoverage::OneFieldLaterSweepClaim(const TrustedReach& trusted) const
{
    if (m_continuous || m_sweepLength == 0 || !trusted.anySamples
        || trusted.latestSamples - std::min(trusted.latestSamples, LastRunStart()) < m_sweepLength)
        return 0;
    uint64_t claim = 0;
    for (const UnreadBytes& u : m_unread) {
        const StreamState* s = Find(u.key);
        if (u.from < trusted.lastEnd || !s || !s->facts.HasFrames() || !u.oneChunk
            || u.to - u.from < Kvd::DataChunk::kHeaderBytes)
            continue;
        const uint64_t holds = s->facts.Duration(u.to - u.from - Kvd::DataChunk::kHeaderBytes);
        // Where both fields could be the one kept, the earlier stop claims least.
        uint64_t stop = UINT64_MAX;
        if (u.claimedStart >= trusted.latestSamples)
            stop = AddSaturated(u.claimedStart, holds);
        if (u.claimedStop >= AddSaturated(trusted.latestSamples, holds))
            stop = std::min(stop, u.claimedStop);
        if (stop != UINT64_MAX)
            claim = std::max(claim, stop);
    }
    return claim;
}

// Heads of a continuous stream placed by their order in the file.

void CKVTACoverage::PlaceRunsInFileOrder(const TimeRuns& runs)
{
    // Old files tell their mode and start by the chunks as they read: none is placed there.
    if (!m_continuous || m_chunksMayPrecedeStart)
        return;
    for (size_t i = 0; i < m_chunks->size(); ++i) {
        StreamState* s = (*m_trusted)[i] ? nullptr : Find(StreamOf((*m_chunks)[i].key));
        if (s && s->facts.HasFrames() && s->spansChecked)
            (void)PlaceRunAround(*s, i, runs);
    }
}

bool CKVTACoverage::PlaceRunAround(StreamState& s, size_t u, const TimeRuns& runs)
{
    // A few trusted chunks on either side: the damage that cost head u its place may have moved
    // a neighbour too.
    constexpr size_t kReach = 3;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t none = chunks.size();
    const size_t at = static_cast<size_t>(std::lower_bound(s.chunks.begin(), s.chunks.end(), u)
                                          - s.chunks.begin());
    // The recording's start anchors a run only where a head of a stream of samples in the first
    // period of the file, sound or damaged, starts there.
    uint64_t start = 0;
    for (size_t j = 0; j < PeriodAround(0, chunks.size()).second; ++j) {
        const StreamState* owner = Find(StreamOf(chunks[j].key));
        if (owner && owner->facts.HasFrames() && m_recordingStart != 0
            && chunks[j].start == m_recordingStart)
            start = m_recordingStart;
    }
    for (size_t width = 0; width <= 2 * kReach; ++width) {
        for (size_t back = 0; back <= std::min(width, kReach); ++back) {
            const size_t ahead = width - back;
            if (ahead > kReach || back > at || at + ahead > s.chunks.size())
                continue;
            const size_t a = back < at ? s.chunks[at - 1 - back] : none;
            const size_t b = at + ahead < s.chunks.size() ? s.chunks[at + ahead] : none;
            const uint64_t from = a != none ? chunks[a].stop : start;
            const uint64_t to = b != none ? chunks[b].start : m_claimedStop;
            if (from != 0 && to != 0 && from < to && FillRunInFileOrder(s, a, b, from, to, runs))
                return true;
        }
    }
    return false;
}

bool CKVTACoverage::FillRunInFileOrder(StreamState& s, size_t a, size_t b, uint64_t from,
                                       uint64_t to, const TimeRuns& runs)
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t none = chunks.size();
    const uint64_t slack = s.facts.FrameTime();
    const uint64_t fileFrom = a != none ? chunks[a].End() : m_dataStart;
    const uint64_t fileTo = b != none ? chunks[b].offset : UINT64_MAX;
    // Bytes the chain could not read may hold any stream's time: the run's frames tell nothing.
    // The stretches lie in file order, apart.
    const auto lost = std::lower_bound(
        m_lost->begin(), m_lost->end(), fileFrom,
        [](const KvtLostSpan& span, uint64_t at) { return span.to <= at; });
    if (lost != m_lost->end() && lost->from < fileTo)
        return false;
    // Each head's place in turn, across the pauses the stored index holds.
    std::vector<std::pair<size_t, uint64_t>> run;   // a head and its start
    uint64_t t = from;
    for (size_t j = a != none ? a + 1 : 0; j < b; ++j) {
        const KvtChunkInfo& c = chunks[j];
        const bool trusted = (*m_trusted)[j];
        if (trusted ? c.key != s.facts.key : StreamOf(c.key) != s.facts.key)
            continue;
        const uint64_t payload = static_cast<uint64_t>(c.payloadSize);
        t = PastStoredPause(runs, t, slack);
        const uint64_t stop = AddSaturated(t, s.facts.Duration(payload));
        // A damaged head keeps a time of its own there, or the time is plainly recorded (another
        // stream or the stored index holds it): else a pause of a lone stream may lie there. One
        // whose frames fit another stream lacking its time may be that stream's.
        const bool keeps = Near(c.start, t, slack) || Near(c.stop, stop, slack);
        if (payload == 0 || payload % s.facts.frameBytes != 0
            || (!trusted && !keeps && !AnotherStreamHolds(s, t, true) && !InStoredRun(runs, t)
                && !FillsUpToClaimedStop(b, to))
            || (!trusted && AnotherStreamLacksItsFrames(s, c)))
            return false;
        run.emplace_back(j, t);
        t = stop;
    }
    if (run.empty() || !Near(t, to, slack))
        return false;
    for (size_t k = 0; k < run.size(); ++k) {
        KvtChunkInfo& c = chunks[run[k].first];
        c.start = run[k].second;
        const uint64_t length = s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
        c.stop = k + 1 == run.size() ? to : c.start + length;
        c.key = s.facts.key;
        if (!(*m_trusted)[run[k].first]) {
            (*m_trusted)[run[k].first] = true;
            s.chunks.insert(std::lower_bound(s.chunks.begin(), s.chunks.end(), run[k].first),
                            run[k].first);
        }
    }
    return true;
}

uint64_t CKVTACoverage::PastStoredPause(const TimeRuns& runs,
                                        uint64_t t, uint64_t slack)
{
    const auto next = std::upper_bound(runs.begin(), runs.end(), t,
                                       [](uint64_t v, const std::pair<uint64_t, uint64_t>& r) {
                                           return v < r.first;
                                       });
    if (next == runs.begin() || next == runs.end())
        return t;
    return AddSaturated(t, slack) >= (next - 1)->second ? next->first : t;
}

bool CKVTACoverage::InStoredRun(const TimeRuns& runs, uint64_t t)
{
    const auto next = std::upper_bound(runs.begin(), runs.end(), t,
                                       [](uint64_t v, const std::pair<uint64_t, uint64_t>& r) {
                                           return v < r.first;
                                       });
    return next != runs.begin() && t < (next - 1)->second;
}

// Chunks in another stream's place in its period: which stream's frames a head beside its
// own stream's head holds.

bool CKVTACoverage::InAnotherStreamsPlace(const StreamState& s, size_t i) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    if (!m_continuous || !s.spansChecked)
        return false;
    const KvtChunkInfo& c = chunks[i];
    for (size_t h : {i - 1, i + 1}) {
        // A head of its own stream straight beside it, no bytes lost between them, that has no
        // head of the stream on its far side (else it may lie in another's place itself).
        const size_t far = h < i ? h - 1 : h + 1;
        if (h >= chunks.size() || StreamOf(chunks[h].key) != s.facts.key
            || (h < i ? chunks[h].End() != c.offset : c.End() != chunks[h].offset)
            || (far < chunks.size() && StreamOf(chunks[far].key) == s.facts.key))
            continue;
        const bool twin = chunks[h].start == c.start && chunks[h].stop == c.stop;
        for (const StreamState& o : m_streams) {
            if (&o == &s || !o.facts.HasFrames() || !o.spansChecked || !SpanHoldsFrames(o.facts, c)
                || HeadOfPeriodNear(o, i) || !(twin || GoesOnBehind(o, i)))
                continue;
            bool known = false;
            const bool sFirst = WritesBefore(s, o, i, known);
            // Where `s` writes first, the place behind its head is `o`'s, and before it where
            // `o` writes first.
            if (known && sFirst == (h < i))
                return true;
        }
    }
    return false;
}

bool CKVTACoverage::WritesBefore(const StreamState& s, const StreamState& o, size_t i,
                                 bool& known) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto [from, to] = PeriodAround(i, chunks.size());
    bool sFirst = false;
    bool oFirst = false;
    for (size_t j = from; j + 1 < to; ++j) {
        // Heads of the chunk in question and those straight beside it tell nothing.
        if (j + 2 >= i && j <= i + 1)
            continue;
        const KvtChunkInfo& a = chunks[j];
        const KvtChunkInfo& b = chunks[j + 1];
        if (a.start != b.start || a.stop != b.stop)
            continue;
        sFirst = sFirst || (a.key == s.facts.key && b.key == o.facts.key);
        oFirst = oFirst || (a.key == o.facts.key && b.key == s.facts.key);
    }
    known = sFirst != oFirst;
    return sFirst;
}

bool CKVTACoverage::HeadOfPeriodNear(const StreamState& o, size_t i) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto [from, to] = PeriodAround(i, chunks.size());
    for (size_t j = from; j < to; ++j)
        if (j != i && StreamOf(chunks[j].key) == o.facts.key && chunks[j].start == chunks[i].start)
            return true;
    return false;
}

bool CKVTACoverage::GoesOnBehind(const StreamState& o, size_t i) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t to = PeriodAround(i, chunks.size()).second;
    for (size_t j = i + 1; j < to; ++j)
        if (StreamOf(chunks[j].key) == o.facts.key && chunks[j].start > chunks[i].start)
            return true;
    return false;
}

// Sweeps of old files: a trigger head lost whole in front of its sweep.

bool CKVTACoverage::BehindLostTriggerOfItsSize(const StreamState& s, size_t i) const
{
    // An old file tells sweeps by gaps alone. A recorder writes each sweep's trigger right in
    // front of the sweep's chunks, and every trigger chunk of a file holds the same records:
    // bytes of a trigger chunk's size right in front of chunk i, under a head naming no stream
    // of samples whose times are no span at all (random bytes, not one field damaged, and not
    // zeroed, which a head whose times moved may be beside), are its sweep's trigger: it
    // vouches for the chunk starting a sweep after a gap. So do the bytes of the trigger and of
    // one chunk of each other stream of samples, which the recorder wrote in between.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& c = chunks[i];
    if (!m_chunksMayPrecedeStart || c.key != s.facts.key || !s.facts.HasFrames()
        || !HeadAgreesWithItself(c, s))
        return false;
    const auto span = std::lower_bound(
        m_lost->begin(), m_lost->end(), c.offset,
        [](const KvtLostSpan& lost, uint64_t at) { return lost.to < at; });
    if (span == m_lost->end() || span->to != c.offset || span->headKey == 0
        || span->to - span->from <= Kvd::DataChunk::kHeaderBytes)
        return false;
    if (span->headStart < span->headStop && span->headStop - span->headStart <= kLongestChunkNs)
        return false;
    const StreamState* named = Find(StreamOf(span->headKey));
    if (named && named->facts.HasFrames())
        return false;
    const uint64_t payload = span->to - span->from - Kvd::DataChunk::kHeaderBytes;
    const uint64_t others = OtherStreamsChunkBytes(s, c.offset);
    return TriggerAround(i, [&](size_t j, const StreamState& owner) {
        const uint64_t trigger = static_cast<uint64_t>(chunks[j].payloadSize);
        return HeadAgreesWithItself(chunks[j], owner) && chunks[j].stop <= c.start
               && (trigger == payload || trigger + others == payload);
    });
}

// First chunks of sweeps moved a chunk earlier, before their triggers.
void CKVTACoverage::PutFirstChunksBackInTheirTriggers()
{
    // The recorder writes a sweep's trigger in front of its chunks, and the trigger spans them.
    // A recording's first chunk that ends just where the header says the recording began lies
    // wholly outside its time; where the trigger in front of it stops one chunk later, a time its
    // stream holds no frames of, the chunk's times moved a chunk early (the trigger's start may
    // be damaged too, its stop tells the sweep's end).
    if (m_recordingStart == 0)
        return;
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || !s.spansChecked || s.chunks.empty())
            continue;
        const size_t i = s.chunks.front();
        KvtChunkInfo& c = chunks[i];
        const uint64_t length = ExactFramesTime(s.facts, c);
        if (length == 0 || c.start > c.stop || c.stop != m_recordingStart)
            continue;
        for (size_t j = i; j-- > PeriodAround(i, chunks.size()).first;) {
            const StreamState* owner = Find(chunks[j].key);
            if (chunks[j].key == s.facts.key)
                break;
            if (!owner || owner->facts.HasFrames())
                continue;
            const bool free = s.chunks.size() == 1 || chunks[s.chunks[1]].start >= c.stop + length;
            if (chunks[j].stop == c.stop + length && free) {
                c.start = c.stop;
                c.stop += length;
            }
            break;
        }
    }
}

// Heads of old files that start before the recording.

bool CKVTACoverage::EarlyWithoutItsFrames(const StreamState& s, const KvtChunkInfo& c) const
{
    // An old continuous file's first chunk may begin before the header's start, and then moves
    // the start back; but the recorder wrote its times with its frames. A start before the
    // header's that its frames do not last to the stop (a cleared field reads as 0, hours
    // before any recording) is a damaged field: trusted, it would carry the start back with it.
    // In sweeps a first chunk moved a chunk early may still begin its sweep: not asked there.
    return m_chunksMayPrecedeStart && m_continuous && s.facts.HasFrames()
           && c.start < m_recordingStart && c.start < c.stop && !SpanHoldsFrames(s.facts, c);
}

// Sweeps: where time lost behind a whole sweep lies.
bool CKVTACoverage::LossBehindWholeSweep(const StreamState& s, const Span& before,
                                         const Span& behind, uint64_t length) const
{
    // A sweep already whole before the gap cannot go on into it: the lost time begins the next.
    // Behind the last chunk the gap ends at the extent, which a mended stop may put a frame
    // off: lost time set against it would be misplaced, but for a lost sweep's claimed stop or
    // where the extent leaves more than a frame between it and the sweep (a pause).
    if (m_continuous || m_sweepLength == 0 || RunBefore(s, before) < m_sweepLength)
        return false;
    const bool tail = behind.offset == UINT64_MAX;
    if (tail && m_lostSweepEnd != 0 && behind.time == m_lostSweepEnd)
        return true;
    if (tail && behind.time - before.time <= AddSaturated(length, s.facts.FrameTime()))
        return false;
    // A head in the gap that claims a start by `before` (a twin under a damaged id) may be
    // the sweep before's.
    const auto first = std::upper_bound(m_unread.begin(), m_unread.end(), before.offset,
                                        [](uint64_t v, const UnreadBytes& u) { return v < u.to; });
    for (auto u = first; u != m_unread.end() && u->from < behind.offset; ++u)
        if (u->claimedStart <= before.time)
            return false;
    return true;
}

// Chunks of samples that end long after the recording.
bool CKVTACoverage::EndsLongAfterRecording(const StreamState& s, const KvtChunkInfo& c) const
{
    // The claimed stop is held to nothing and may be a little off, but no chunk of a sound
    // recording runs on behind it for longer than a chunk can last.
    return m_continuous && !m_chunksMayPrecedeStart && m_claimedStop > m_recordingStart
           && s.facts.HasFrames() && c.start < m_claimedStop
           && c.stop > AddSaturated(m_claimedStop, kLongestChunkNs);
}

void CKVTACoverage::PutStopsBackInsideRecording(const StreamState& s,
                                                const std::vector<size_t>& candidates)
{
    // Only the stop is damaged: the start lies inside the recording, and the frames tell how
    // long the chunk lasts from there.
    for (size_t i : candidates) {
        KvtChunkInfo& c = (*m_chunks)[i];
        const uint64_t stop = c.start + s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
        if (EndsLongAfterRecording(s, c) && stop <= m_claimedStop)
            c.stop = stop;
    }
}

// First chunks of old continuous files moved a chunk early, wholly before the recording.
void CKVTACoverage::PutEarlyFirstChunksBack()
{
    // An old file's first chunks may begin a little before the header's start, but the recorder
    // wrote none that ends before the recording begins: a first chunk that spans just its frames
    // and stops at the header's start, where its stream then holds no frames for as long as it
    // lasts, had both times moved a chunk early. Sweeps ask their triggers instead.
    if (!m_chunksMayPrecedeStart || !m_continuous || m_recordingStart == 0)
        return;
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || !s.spansChecked || s.chunks.empty())
            continue;
        KvtChunkInfo& c = chunks[s.chunks.front()];
        const uint64_t length = ExactFramesTime(s.facts, c);
        const bool free = s.chunks.size() == 1 || chunks[s.chunks[1]].start >= c.stop + length;
        if (length != 0 && c.start < c.stop && c.stop == m_recordingStart && free) {
            c.start = c.stop;
            c.stop += length;
        }
    }
}

// Sweeps: losses and moved chunks placed by the sweep's length and the heads' order in the file.

bool CKVTACoverage::ClaimFitsFileOrder(const StreamState& s, const Span& before, const Span& behind,
                                       const UnreadBytes& u, uint64_t at, uint64_t length) const
{
    // The unread bytes of a gap hold its lost time in their file order: a head's start claims
    // the loss begins at `at` where the frames of the stream's bytes in front of it in the gap
    // last from `at` to that start, its stop where those behind it last from that stop to the
    // loss's end. Bytes whose head names no stream may be another stream's: with or without
    // them. Swapped times claim the whole loss themselves.
    const uint64_t slack = s.facts.FrameTime();
    if (u.claimedStart > u.claimedStop && u.claimedStart - u.claimedStop == length)
        return ClaimsLossAt(u, at, length, slack);
    const uint64_t end = AddSaturated(at, length);
    for (const bool unknownToo : {false, true}) {
        const uint64_t key = s.facts.key;
        const uint64_t front = s.facts.Duration(UnreadPayload(before.offset, u.from, key, unknownToo));
        const uint64_t back = s.facts.Duration(UnreadPayload(u.to, behind.offset, key, unknownToo));
        if (Near(u.claimedStart, AddSaturated(at, front), slack)
            || (end >= back && Near(u.claimedStop, end - back, slack)))
            return true;
    }
    return false;
}

bool CKVTACoverage::MoveOutOfRunPastSweep(StreamState& s, size_t k, bool read,
                                          const std::pair<uint64_t, uint64_t>& readTimes)
{
    // No run of a stream's chunks lasts longer than a sweep. One that does holds a chunk of the
    // sweep beside it whose two times moved by a chunk into the pause between them, onto the
    // run's edge (or was mended from a time field that did): the edge chunk that shares no
    // time with another stream's chunk. It goes back by its length, where its stream has
    // nothing; a mended one only where its head kept a time field of that place.
    if (!SweepLengthKnown())
        return false;
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t i = s.chunks[k];
    KvtChunkInfo& c = chunks[i];
    const uint64_t length = s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
    if (length == 0 || c.stop - c.start != length || AnotherStreamOverlaps(s, i))
        return false;
    const uint64_t slack = s.facts.FrameTime();
    const KvtChunkInfo* prev = k > 0 ? &chunks[s.chunks[k - 1]] : nullptr;
    const KvtChunkInfo* next = k + 1 < s.chunks.size() ? &chunks[s.chunks[k + 1]] : nullptr;
    const bool meetsPrev = prev && Near(prev->stop, c.start, slack);
    const bool meetsNext = next && Near(c.stop, next->start, slack);
    if (meetsPrev == meetsNext)
        return false;
    const auto [from, to] = RunBeside(s, meetsPrev ? c.offset : next->offset, meetsNext);
    const uint64_t longest = m_sweepLength + slack;
    if (to - from > longest || (meetsPrev ? c.stop - from : to - c.start) <= longest)
        return false;
    const uint64_t start = meetsPrev ? c.stop : c.start - std::min(c.start, length);
    if ((next && next->start < start + length) || (prev && prev->stop > start)
        || (!prev && OpensRecording(c.start, slack)))
        return false;
    if (!read && readTimes.first != start && readTimes.second != start + length)
        return false;
    c.start = start;
    c.stop = start + length;
    return true;
}

bool CKVTACoverage::AnotherStreamRecordsFrom(const StreamState& s, uint64_t t,
                                             bool samplesOnly) const
{
    // A chunk whose stop lies less than a frame past `t` (a time field a nanosecond off) holds
    // no frame from `t` on: its stream did not record there.
    for (const StreamState& other : m_streams)
        if (&other != &s && (!samplesOnly || other.facts.HasFrames()) && Holds(other, t)
            && Holds(other, AddSaturated(t, other.facts.FrameTime())))
            return true;
    return false;
}

bool CKVTACoverage::SweepGoesOnInGap(const StreamState& s, const Span& before) const
{
    // A run that a trigger starts is the beginning of its sweep: where it lasts less than a
    // sweep, that sweep went on behind it, into the gap, whatever the heads in the gap claim.
    if (!SweepLengthKnown() || !RunShortOfSweep(s, before.offset, false))
        return false;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const uint64_t runStart = RunBeside(s, before.offset, false).first;
    const auto first = std::lower_bound(s.chunks.begin(), s.chunks.end(), runStart,
                                        [&](size_t i, uint64_t t) { return chunks[i].start < t; });
    return first != s.chunks.end() && chunks[*first].start == runStart
           && TriggerStartsAt(*first, runStart);
}

bool CKVTACoverage::WholeSweepsAround(const StreamState& s, uint64_t offset) const
{
    return SweepLengthKnown() && WholeRunBeside(s, offset, false) && WholeRunBeside(s, offset, true);
}

bool CKVTACoverage::NoRoomBetweenWholeSweeps(const StreamState& s, uint64_t offset, uint64_t gap,
                                             uint64_t length) const
{
    // Its runs of chunks on both sides of the gap already last a sweep, and a sweep of `length`
    // of its own would not lie apart from both: the gap is a pause.
    return gap < length + 2 * s.facts.FrameTime() && WholeSweepsAround(s, offset);
}

bool CKVTACoverage::LossApartFromWholeSweeps(const StreamState& s, const Span& before,
                                             const Span& behind, uint64_t length,
                                             uint64_t& start) const
{
    // Time lost between two whole sweeps neither ends the one nor begins the other: it is a
    // sweep of its own in the pause, a frame or more apart from both (one that met a sweep
    // would join it, and that sweep would be refused). Where an unread head in the gap keeps a
    // time field that puts it there, it lies there; else, sweeps starting at a steady pace, in
    // the middle of the pause.
    const uint64_t apart = s.facts.FrameTime();
    if (behind.offset == UINT64_MAX || length == 0 || behind.time < before.time + length + 2 * apart
        || !WholeSweepsAround(s, before.offset))
        return false;
    const uint64_t earliest = before.time + apart;
    const uint64_t latest = behind.time - apart - length;
    const auto first = std::upper_bound(m_unread.begin(), m_unread.end(), before.offset,
                                        [](uint64_t v, const UnreadBytes& u) { return v < u.to; });
    for (auto u = first; u != m_unread.end() && u->from < behind.offset; ++u) {
        const uint64_t byStop = u->claimedStop - std::min(u->claimedStop, length);
        for (const uint64_t at : {u->claimedStart, byStop}) {
            if (at >= earliest && at <= latest) {
                start = at;
                return true;
            }
        }
    }
    start = before.time + (behind.time - before.time - length) / 2;
    return true;
}

size_t CKVTACoverage::TwinAloneInSweeps(const StreamState& s, size_t a, size_t b) const
{
    // The chunks of a sweep's period lie together in the file: of two twins the one that no
    // other stream's chunk right beside it starts with lies in another period, its times moved,
    // whichever of them meets more neighbours.
    if (m_continuous)
        return SIZE_MAX;
    const bool withA = AccompaniedInFile(s, a);
    if (withA == AccompaniedInFile(s, b))
        return SIZE_MAX;
    return withA ? b : a;
}

// Sweeps whose trigger heads the chain lost, and lone heads telling where a sweep's time lies.
bool CKVTACoverage::InsideLostTrigger(const StreamState& s, size_t i) const
{
    // The recorder writes a sweep's trigger, whose chunk spans the sweep, before the sweep's
    // chunks. A trigger head lost for its size keeps the times it was written with: a chunk of
    // samples behind it in the file, before the next head of its stream, inside those times, is
    // of that sweep even where no other stream's chunk shares its time. A stretch that could
    // hold a chunk of `s` beside the head may hold the sweep's time before it: it tells nothing.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& c = chunks[i];
    if (m_continuous || !s.facts.HasFrames() || c.start >= c.stop)
        return false;
    const size_t from = PeriodAround(i, chunks.size()).first;
    const uint64_t room = 2 * Kvd::DataChunk::kHeaderBytes + s.facts.frameBytes;
    for (const KvtLostSpan& span : *m_lost) {
        if (span.nextChunk < from || span.nextChunk > i || span.to - span.from >= room)
            continue;
        const StreamState* owner = Find(StreamOf(span.headKey));
        if (!owner || owner == &s || owner->facts.HasFrames() || span.headStart > c.start
            || c.stop > span.headStop || span.headStop - span.headStart > kLongestChunkNs)
            continue;
        bool ownHeadBetween = false;
        for (size_t k = span.nextChunk; k < i && !ownHeadBetween; ++k)
            ownHeadBetween = StreamOf(chunks[k].key) == owner->facts.key;
        if (!ownHeadBetween)
            return true;
    }
    return false;
}

void CKVTACoverage::PutChunksBackIntoLostTriggers(const StreamState& s,
                                                  const std::vector<size_t>& candidates)
{
    // A sweep of one chunk: its trigger spans just that chunk and lies right before it in the
    // file. Times a whole chunk off the trigger's, which its stream holds nowhere near, are the
    // chunk's own moved by a chunk, not another sweep's. Old files are judged as continuous
    // before their gaps tell sweeps: the chunk is put back then too, so that its gap tells.
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    if ((m_continuous && !m_chunksMayPrecedeStart) || !s.facts.HasFrames() || !s.spansChecked)
        return;
    for (size_t i : candidates) {
        KvtChunkInfo& c = chunks[i];
        const uint64_t length = s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
        if (length == 0 || !SpanHoldsFrames(s.facts, c))
            continue;
        const auto span = std::find_if(m_lost->begin(), m_lost->end(),
                                       [&](const KvtLostSpan& l) { return l.to == c.offset; });
        if (span == m_lost->end())
            continue;
        const StreamState* owner = Find(StreamOf(span->headKey));
        const bool moved = span->headStart == c.stop || span->headStop == c.start;
        if (!owner || owner->facts.HasFrames() || !moved || span->headStart > span->headStop
            || span->headStop - span->headStart != c.stop - c.start
            || span->to - span->from >= 2 * Kvd::DataChunk::kHeaderBytes + s.facts.frameBytes)
            continue;
        const auto [from, to] = PeriodAround(i, chunks.size());
        bool held = false;
        for (size_t j = from; j < to && !held; ++j)
            held = j != i && chunks[j].key == s.facts.key && chunks[j].start == span->headStart;
        if (held)
            continue;
        c.start = span->headStart;
        c.stop = span->headStop;
    }
}

bool CKVTACoverage::OnlyHeadOfTheGap(const StreamState& s, const Span& before,
                                     const Span& behind) const
{
    // Every byte `s` lost between `before` and `behind` lies in one head of its own that the
    // chain read: its times, spanning its frames, are the only claim of where they belong. Only
    // where they lie more than a chunk off both sides: one moved by a chunk lies beside them.
    const auto first = std::upper_bound(m_unread.begin(), m_unread.end(), before.offset,
                                        [](uint64_t v, const UnreadBytes& u) { return v < u.to; });
    size_t heads = 0;
    for (auto u = first; u != m_unread.end() && u->from < behind.offset; ++u) {
        if (u->key == 0 || (u->key == s.facts.key && !u->oneChunk))
            return false;
        heads += u->key == s.facts.key ? 1 : 0;
    }
    return heads == 1;
}

// Heads the claimed stop, the bytes lost in front of them or the other streams of their period
// place, and bytes under another stream's id.

bool CKVTACoverage::LastStopShortOfClaim(const StreamState& s, const KvtChunkInfo& c) const
{
    const uint64_t length = s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
    const uint64_t end = AddSaturated(c.start, length);
    return s.spansChecked && m_claimedStop != 0 && end == m_claimedStop && c.stop < end
           && end - c.stop < s.facts.FrameTime();
}

void CKVTACoverage::PutLastStopsOnClaimedStop()
{
    // Nothing behind a stream's last chunk bears its stop out but the claim: where its frames end
    // just there, a stop short of them by less than a frame was moved, and the last row is kept.
    for (const StreamState& s : m_streams)
        if (!s.chunks.empty() && LastStopShortOfClaim(s, (*m_chunks)[s.chunks.back()]))
            (*m_chunks)[s.chunks.back()].stop = m_claimedStop;
}

bool CKVTACoverage::FillsUpToClaimedStop(size_t b, uint64_t to) const
{
    // No head of the stream lies behind the run and its frames end at the claimed stop: the
    // recording went on to there, so no pause can lie among them.
    return b == m_chunks->size() && m_claimedStop != 0 && to == m_claimedStop;
}

void CKVTACoverage::ReclaimFramesUnderOtherIds(const StreamState& s,
                                               const std::vector<size_t>& candidates)
{
    // In a continuous recording, a head under the id of a stream of samples whose frames its
    // payload does not hold for its span, but which fills another stream's gap with that
    // stream's frames exactly and lasts as long as that stream's chunk before it, carries that
    // stream's data under a damaged id, as one under an event stream's id does. (A moved time
    // field may make one stream's frames fit another's whose frames are a part of them: the
    // chunk then spans a multiple of a period.)
    if (!m_continuous)
        return;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (size_t i : candidates) {
        const KvtChunkInfo& c = chunks[i];
        if ((*m_trusted)[i] || SpanHoldsFrames(s.facts, c))
            continue;
        StreamState* owner = Find(StreamWhoseGapItFills(i));
        if (!owner || owner == &s)
            continue;
        // The stream's first chunk has none before it: the one behind it tells.
        const auto next = std::lower_bound(owner->chunks.begin(), owner->chunks.end(), i);
        const auto beside = next != owner->chunks.begin() ? next - 1 : next;
        if (beside == owner->chunks.end()
            || chunks[*beside].stop - chunks[*beside].start != c.stop - c.start)
            continue;
        (*m_chunks)[i].key = owner->facts.key;
        (*m_trusted)[i] = true;
        owner->chunks.insert(next, i);
    }
}

bool CKVTACoverage::StartMovedOntoLostBytes(const StreamState& s, size_t before, size_t i,
                                            uint64_t length) const
{
    // Its start may meet the stop of the chunk before it, but bytes of its stream lost between
    // them in the file hold time: where they lead to the start its stop counted back by its
    // frames gives, the start is the field that moved.
    const KvtChunkInfo& c = (*m_chunks)[i];
    return m_continuous && c.stop >= length && c.start != c.stop - length
           && LostBytesLeadTo(s, before, i, c.stop - length);
}

bool CKVTACoverage::StartsInPause(const StreamState& s, uint64_t start) const
{
    // In a continuous recording every stream pauses together: a start that the chunk before
    // bears out but that lies where every other stream paused is not its own (a stop of its
    // period's chunks may be).
    return m_continuous && AllPauseAt(s, start);
}

bool CKVTACoverage::LoneStopOnClaim(const StreamState& s, size_t i, const KvtChunkInfo* next,
                                    uint64_t length) const
{
    // A lone stream of samples records up to the stop the header claims: its last head in the
    // file whose stop lies there keeps it, though its start meets the chunk before (a pause lies
    // between). Behind a lost head that may be its stream's the stop may be that one's.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& c = chunks[i];
    if (!m_continuous || next || AnotherStreamHasFrames(s) || m_claimedStop == 0
        || c.stop != m_claimedStop || c.stop < length || c.start == c.stop - length)
        return false;
    for (size_t j = i + 1; j < chunks.size(); ++j) {
        const uint64_t owner = StreamOf(chunks[j].key);
        const bool mayBeItsOwn =
            owner == 0 || owner == s.facts.key || FramesUnderEventId(s, chunks[j]);
        if (!(*m_trusted)[j] && mayBeItsOwn)
            return false;
    }
    return std::none_of(m_lost->begin(), m_lost->end(),
                        [&](const KvtLostSpan& span) { return span.to > c.End(); });
}

void CKVTACoverage::PutBackHeadsNudgedOffTheirPeriod(const StreamState& s)
{
    // In a continuous recording a stream's chunks follow on without a gap and the chunks of one
    // period start together. A chunk spanning just its frames that starts less than a frame
    // behind the stop of the one before, where another stream's chunk of its period starts at
    // that stop, had both times moved a little later: they go back.
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    if (!m_continuous || !s.spansChecked)
        return;
    for (size_t k = 1; k < s.chunks.size(); ++k) {
        KvtChunkInfo& c = chunks[s.chunks[k]];
        const uint64_t from = chunks[s.chunks[k - 1]].stop;
        const uint64_t length = s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
        if (c.start <= from || c.start - from >= s.facts.FrameTime() || c.stop - c.start != length
            || !AnotherStreamStartsBeside(s, s.chunks[k], from))
            continue;
        c.stop -= c.start - from;
        c.start = from;
    }
}

bool CKVTACoverage::AnotherStreamStartsBeside(const StreamState& s, size_t i, uint64_t t) const
{
    const auto [from, to] = PeriodAround(i, m_chunks->size());
    for (size_t j = from; j < to; ++j) {
        const StreamState* other = OtherTrustedStream(s, j);
        if (other && other->facts.HasFrames() && (*m_chunks)[j].start == t)
            return true;
    }
    return false;
}

uint64_t CKVTACoverage::EventsUnderSamplesId(const StreamState& named, size_t i) const
{
    // A head under a stream of samples' id whose payload is neither its frames for its span nor
    // as large as its chunk beside, and fits no other stream of samples, carries no samples:
    // where it holds whole records of the one event stream that lacks its time, as that one's
    // chunks near it do, the bytes are that stream's (a damaged id).
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& c = chunks[i];
    const uint64_t payload = c.payloadSize > 0 ? static_cast<uint64_t>(c.payloadSize) : 0;
    if (!m_continuous || !named.facts.HasFrames() || named.chunks.empty() || payload == 0
        || SpanHoldsFrames(named.facts, c) || payload == SizeBeside(named, c.offset)
        || AnotherStreamLacksItsFrames(named, c))
        return 0;
    const StreamState* events = Find(EventStreamLacking(c));
    if (!events || events->chunks.empty())
        return 0;
    const uint64_t least = RecordBytesNear(*events, i);
    return least != UINT64_MAX && payload % least == 0 ? events->facts.key : 0;
}

uint64_t CKVTACoverage::RecordBytesNear(const StreamState& events, size_t i) const
{
    // The records of the stream's chunks around chunk i in the file, the one behind it (or the
    // last) among them.
    if (events.chunks.empty())
        return UINT64_MAX;
    const size_t k = std::min<size_t>(
        std::lower_bound(events.chunks.begin(), events.chunks.end(), i) - events.chunks.begin(),
        events.chunks.size() - 1);
    const int64_t own = (*m_chunks)[events.chunks[k]].payloadSize;
    const uint64_t least = LeastRecordsBeside(events, k);
    return own > 0 ? std::min(least, static_cast<uint64_t>(own)) : least;
}

uint64_t CKVTACoverage::RecordsOfAnotherEventStream(const StreamState& e, size_t i,
                                                    uint64_t own) const
{
    const KvtChunkInfo& c = (*m_chunks)[i];
    const uint64_t size = c.payloadSize > 0 ? static_cast<uint64_t>(c.payloadSize) : 0;
    if (size == 0 || own == UINT64_MAX || size % own == 0)
        return 0;
    uint64_t only = 0;
    for (const StreamState& o : m_streams) {
        const uint64_t records = RecordBytesNear(o, i);
        if (&o == &e || o.facts.HasFrames() || records == UINT64_MAX || size % records != 0
            || HoldsSpanOf(o, c))
            continue;
        if (only != 0)
            return 0;
        only = o.facts.key;
    }
    return only;
}

// Sweeps whose chunks moved a whole chunk off their trigger.

void CKVTACoverage::PutSweepChunksBackInPlace()
{
    if (m_continuous)
        return;
    const bool twins = ReclaimTwinsUnderEventIds();
    const bool reclaimed = ReclaimFramesBesideMendedHeads() || twins;
    const bool onTriggers = PutSweepsBackOnTheirTriggers() || reclaimed;
    // A head that its moved neighbour did not bear out may mend now.
    if (PartSweepsRunTogether() || onTriggers)
        MendChunks();
    for (const StreamState& s : m_streams)
        PutEarlyStartsOnTheGrid(s);
}

bool CKVTACoverage::PutSweepsBackOnTheirTriggers()
{
    // The recorder writes a sweep's trigger in front of its chunks, and the first of them
    // starts with it: only the sweep's length tells a run that moved by a chunk from one that
    // its trigger's head left.
    if (!SweepLengthKnown())
        return false;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    bool moved = false;
    for (size_t j = 0; j < chunks.size(); ++j) {
        const StreamState* owner = (*m_trusted)[j] ? Find(chunks[j].key) : nullptr;
        if (!owner || owner->facts.HasFrames() || chunks[j].start > chunks[j].stop)
            continue;
        for (StreamState& s : m_streams)
            if (s.facts.HasFrames() && s.spansChecked)
                moved = PutRunOnTrigger(s, j) || moved;
    }
    return moved;
}

bool CKVTACoverage::PutRunOnTrigger(StreamState& s, size_t trigger)
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& t = chunks[trigger];
    const uint64_t triggerKey = t.key;
    const auto headOfTriggerBetween = [&](size_t a, size_t b) {
        for (size_t n = a + 1; n < b; ++n)
            if (StreamOf(chunks[n].key) == triggerKey)
                return true;
        return AnyHeadLostBetween(a, b);
    };
    // Its stream's first chunk behind it in the file, in its period, read whole beside it.
    const auto at = std::upper_bound(s.chunks.begin(), s.chunks.end(), trigger);
    if (at == s.chunks.end() || *at >= PeriodAround(trigger, chunks.size()).second
        || headOfTriggerBetween(trigger, *at))
        return false;
    const size_t first = static_cast<size_t>(at - s.chunks.begin());
    const KvtChunkInfo& c = chunks[*at];
    const uint64_t length = s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
    if (length == 0 || c.start > c.stop || c.stop - c.start != length
        || !SpansAsItsNeighbours(trigger))
        return false;
    // A chunk later than its trigger, or ending where it starts (not the first of a recording
    // that starts with it).
    const bool back = c.start == AddSaturated(t.start, length);
    if (!back && (c.stop != t.start || (first == 0 && MeetsRecordingStart(c.start, 0))))
        return false;
    // The run moved with it: its chunks that follow on in the file before the next trigger.
    const uint64_t slack = s.facts.FrameTime();
    size_t last = first;
    while (last + 1 < s.chunks.size()
           && Near(chunks[s.chunks[last]].stop, chunks[s.chunks[last + 1]].start, slack)
           && !headOfTriggerBetween(s.chunks[last], s.chunks[last + 1]))
        ++last;
    const auto [from, to] = RunAround(s, first, last, 0, false);
    if (Near(to - from, m_sweepLength, slack))
        return false;
    // It keeps its place among its stream's chunks, and makes its sweep no longer than one.
    const uint64_t lastStop = AddSaturated(chunks[s.chunks[last]].stop, length);
    if (back ? first > 0 && chunks[s.chunks[first - 1]].stop > t.start
             : last + 1 < s.chunks.size() && chunks[s.chunks[last + 1]].start < lastStop)
        return false;
    const auto [movedFrom, movedTo] = RunAround(s, first, last, length, back);
    if (movedTo - movedFrom > m_sweepLength + slack)
        return false;
    const auto shift = [&](bool earlier) {
        for (size_t k = first; k <= last; ++k) {
            KvtChunkInfo& m = chunks[s.chunks[k]];
            m.start = earlier ? m.start - length : m.start + length;
            m.stop = earlier ? m.stop - length : m.stop + length;
        }
    };
    shift(back);
    // A stored index's sweeps hold every chunk.
    for (size_t k = first; k <= last; ++k) {
        if (OutsideStoredSweeps(chunks[s.chunks[k]])) {
            shift(!back);
            return false;
        }
    }
    return true;
}

bool CKVTACoverage::SpansAsItsNeighbours(size_t trigger) const
{
    // A trigger whose time field moved spans otherwise than those of the sweeps beside it.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const StreamState* owner = Find(chunks[trigger].key);
    const auto at = std::lower_bound(owner->chunks.begin(), owner->chunks.end(), trigger);
    const uint64_t span = chunks[trigger].stop - chunks[trigger].start;
    const auto spans = [&](size_t i) {
        return chunks[i].start <= chunks[i].stop && chunks[i].stop - chunks[i].start == span;
    };
    const bool before = at != owner->chunks.begin();
    const bool behind = at + 1 < owner->chunks.end();
    return (!before && !behind) || (before && spans(*(at - 1))) || (behind && spans(*(at + 1)));
}

std::pair<uint64_t, uint64_t> CKVTACoverage::RunAround(const StreamState& s, size_t first,
                                                       size_t last, uint64_t shift, bool back) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto moved = [&](size_t k, uint64_t time) {
        return k < first || k > last ? time : back ? time - shift : time + shift;
    };
    const auto start = [&](size_t k) { return moved(k, chunks[s.chunks[k]].start); };
    const auto stop = [&](size_t k) { return moved(k, chunks[s.chunks[k]].stop); };
    // Walking stops past a sweep's length: the run outlasts one or it does not.
    const uint64_t slack = s.facts.FrameTime();
    const auto within = [&](size_t a, size_t b) {
        return stop(b) - start(a) <= m_sweepLength + slack;
    };
    size_t a = first;
    size_t b = last;
    while (a > 0 && Near(stop(a - 1), start(a), slack) && within(a, b))
        --a;
    while (b + 1 < s.chunks.size() && Near(stop(b), start(b + 1), slack) && within(a, b))
        ++b;
    return {start(a), stop(b)};
}

bool CKVTACoverage::PartSweepsRunTogether()
{
    if (!SweepLengthKnown())
        return false;
    bool moved = false;
    for (StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || !s.spansChecked)
            continue;
        for (size_t k = 0; k < s.chunks.size(); ++k)
            moved = PutBackIntoGap(s, k, true) || PutBackIntoGap(s, k, false) || moved;
    }
    return moved;
}

bool CKVTACoverage::PutBackIntoGap(StreamState& s, size_t k, bool back)
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    KvtChunkInfo& c = chunks[s.chunks[k]];
    const uint64_t length = s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
    const uint64_t slack = s.facts.FrameTime();
    const size_t none = chunks.size();
    const size_t prev = k > 0 ? s.chunks[k - 1] : none;
    const size_t next = k + 1 < s.chunks.size() ? s.chunks[k + 1] : none;
    if (length == 0 || c.start > c.stop || c.stop - c.start != length || next == none
        || (back && prev == none && m_recordingStart == 0) || (!back && prev == none))
        return false;
    // The side it meets and the gap of its length on the other, which no lost head fills.
    const uint64_t gapFrom = back ? (prev != none ? chunks[prev].stop : m_recordingStart) : c.stop;
    const uint64_t gapTo = back ? c.start : chunks[next].start;
    const bool meets = back ? Near(c.stop, chunks[next].start, slack)
                            : Near(chunks[prev].stop, c.start, slack);
    if (!meets || gapFrom > gapTo || !Near(gapTo - gapFrom, length, slack)
        || !UntrustedHeadsBetween(s, back ? prev : s.chunks[k], back ? s.chunks[k] : next).empty())
        return false;
    // It cannot be where it lies: its run outlasts a sweep, or a lost head of its stream between
    // it and the chunk it meets holds time between them.
    const auto [from, to] = RunAround(s, k, k, 0, false);
    if (to - from <= m_sweepLength + slack
        && !LostHeadsHoldTimeBefore(s, back ? s.chunks[k] : prev, back ? next : s.chunks[k]))
        return false;
    const KvtChunkInfo kept = c;
    c.start = back ? gapFrom : c.start + (gapTo - gapFrom);
    c.stop = back ? gapFrom + length : c.stop + (gapTo - gapFrom);
    const auto [movedFrom, movedTo] = RunAround(s, k, k, 0, false);
    const size_t other = back ? k + 1 : k - 1;
    const auto [otherFrom, otherTo] = RunAround(s, other, other, 0, false);
    if (movedTo - movedFrom <= m_sweepLength + slack && otherTo - otherFrom <= m_sweepLength + slack
        && !OutsideStoredSweeps(c))
        return true;
    c = kept;
    return false;
}

void CKVTACoverage::PutEarlyStartsOnTheGrid(const StreamState& s)
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    if (!s.facts.HasFrames() || !s.spansChecked)
        return;
    const auto length = [&](const KvtChunkInfo& c) {
        return s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
    };
    const auto exact = [&](const KvtChunkInfo& c) {
        return c.start <= c.stop && c.stop - c.start == length(c);
    };
    // The sampling clock runs on between sweeps: every sweep begins on its grid.
    const auto it = std::find_if(s.chunks.begin(), s.chunks.end(),
                                 [&](size_t i) { return exact(chunks[i]); });
    if (it == s.chunks.end())
        return;
    const uint64_t grid = chunks[*it].start;
    const auto onGrid = [&](uint64_t t) {
        const uint64_t d = t > grid ? t - grid : grid - t;
        return s.facts.Duration(s.facts.FramesIn(d) * s.facts.frameBytes) == d;
    };
    for (size_t i : s.chunks)
        if (exact(chunks[i]) && !onGrid(chunks[i].start))
            return;
    for (size_t i : s.chunks) {
        KvtChunkInfo& c = chunks[i];
        if (c.start < c.stop && c.stop - c.start > length(c)
            && c.stop - c.start - length(c) < s.facts.FrameTime() && onGrid(c.stop)
            && !onGrid(c.start))
            c.start = c.stop - length(c);
    }
}

bool CKVTACoverage::ReclaimFramesBesideMendedHeads()
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    bool moved = false;
    for (size_t i = 0; i < chunks.size(); ++i) {
        StreamState* events = Find(chunks[i].key);
        if (!events || events->facts.HasFrames())
            continue;
        StreamState* owner = Find(StreamWhoseGapItFills(i));
        if (!owner)
            continue;
        const auto at = std::lower_bound(events->chunks.begin(), events->chunks.end(), i);
        if (at != events->chunks.end() && *at == i)
            events->chunks.erase(at);
        chunks[i].key = owner->facts.key;
        (*m_trusted)[i] = true;
        owner->chunks.insert(std::lower_bound(owner->chunks.begin(), owner->chunks.end(), i), i);
        moved = true;
    }
    return moved;
}

bool CKVTACoverage::LostHeadsHoldTimeBefore(const StreamState& s, size_t prev, size_t i) const
{
    // In sweeps the bytes of a lost head of its stream between them hold time between them: the
    // head's start cannot be the stop of the chunk before.
    return !m_continuous && SweepLengthKnown() && !UntrustedHeadsBetween(s, prev, i).empty();
}

bool CKVTACoverage::ReclaimTwinsUnderEventIds()
{
    if (!SweepLengthKnown())
        return false;
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    bool moved = false;
    for (StreamState& events : m_streams) {
        if (events.facts.HasFrames())
            continue;
        for (size_t n = 0; n < events.chunks.size(); ++n) {
            const size_t i = events.chunks[n];
            for (StreamState& s : m_streams) {
                if (!s.facts.HasFrames() || !s.spansChecked || chunks[i].payloadSize <= 0
                    || !SpanHoldsFrames(s.facts, chunks[i]) || !TakeTwinUnderEventId(s, i))
                    continue;
                events.chunks.erase(events.chunks.begin() + static_cast<std::ptrdiff_t>(n--));
                moved = true;
                break;
            }
        }
    }
    return moved;
}

bool CKVTACoverage::TakeTwinUnderEventId(StreamState& s, size_t i)
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    KvtChunkInfo& c = chunks[i];
    const auto at = std::upper_bound(s.chunks.begin(), s.chunks.end(), i);
    if (at == s.chunks.end() || *at >= PeriodAround(i, chunks.size()).second
        || AnyHeadLostBetween(i, *at))
        return false;
    const size_t k = static_cast<size_t>(at - s.chunks.begin());
    KvtChunkInfo& twin = chunks[*at];
    const uint64_t length = c.stop - c.start;
    const uint64_t slack = s.facts.FrameTime();
    if (twin.start != c.start || twin.stop != c.stop || twin.payloadSize != c.payloadSize)
        return false;
    const auto [from, to] = RunAround(s, k, k, 0, false);
    const bool roomBehind =
        k + 1 == s.chunks.size() || chunks[s.chunks[k + 1]].start >= AddSaturated(c.stop, length);
    if (to - from + slack >= m_sweepLength || !roomBehind)
        return false;
    // It takes the time the twin leaves; the twin goes on behind it, its sweep no longer than one.
    const uint64_t key = c.key;
    twin.start = c.stop;
    twin.stop = c.stop + length;
    c.key = s.facts.key;
    s.chunks.insert(at, i);
    const auto [movedFrom, movedTo] = RunAround(s, k, k + 1, 0, false);
    if (movedTo - movedFrom <= m_sweepLength + slack && !OutsideStoredSweeps(twin))
        return true;
    s.chunks.erase(s.chunks.begin() + static_cast<std::ptrdiff_t>(k));
    c.key = key;
    twin.start = c.start;
    twin.stop = c.stop;
    return false;
}

// Sweeps of old files whose triggers tell what a damaged head hides.
bool CKVTACoverage::TriggerPastMovedHeadVouches(const StreamState& s, size_t i) const
{
    // A recorder writes a sweep's trigger right before the sweep's chunks: where the heads
    // between them moved off (their times lie outside the chunk's), the trigger in front still
    // tells the period, as the one right in front does (AccompaniedInFile,
    // BesideDamagedTriggerOfItsTime). An old file's trigger chunk spans its sweep: its stop
    // ends the sweep's last chunk.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    if (!m_continuous || !m_chunksMayPrecedeStart)
        return false;
    const KvtChunkInfo& c = chunks[i];
    const uint64_t slack = s.facts.FrameTime();
    for (size_t j = i; j-- > PeriodAround(i, chunks.size()).first;) {
        const KvtChunkInfo& head = chunks[j];
        const StreamState* owner = Find(StreamOf(head.key));
        if (!owner)
            return false;
        if (!owner->facts.HasFrames()) {
            const bool damaged = !HeadAgreesWithItself(head, *owner);
            return j + 1 < i
                   && (Near(head.start, c.start, slack) || Near(head.stop, c.stop, slack)
                       || (damaged && EventEdgeMeets(head, c)));
        }
        const bool apart = head.start >= c.stop || head.stop <= c.start;
        if (!apart || Near(head.start, c.start, slack))
            return false;
    }
    return false;
}

bool CKVTACoverage::TriggerEndsSweepBefore(const StreamState& s, const Span& before,
                                           const Span& behind) const
{
    // Old files write one trigger chunk per sweep, spanning it: one that stops with the chunk in
    // front of the gap says its sweep was whole, and bytes behind that chunk in the file hold a
    // later time.
    if (m_continuous || !m_chunksMayPrecedeStart || behind.offset == UINT64_MAX)
        return false;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const uint64_t slack = s.facts.FrameTime();
    for (const StreamState& events : m_streams) {
        if (events.facts.HasFrames())
            continue;
        const auto at = std::lower_bound(events.chunks.begin(), events.chunks.end(), before.offset,
                                         [&](size_t i, uint64_t o) { return chunks[i].offset < o; });
        if (at == events.chunks.begin())
            continue;
        const KvtChunkInfo& trigger = chunks[*(at - 1)];
        if (trigger.start < before.time && Near(trigger.stop, before.time, slack))
            return true;
    }
    return false;
}

bool CKVTACoverage::TriggerReadEarly(const StreamState& s,
                                     const std::vector<uint64_t>& samplesStarts, uint64_t t)
{
    // A trigger head a nanosecond or so early still begins the sweep its samples begin: their
    // start, less than a frame behind it, is where the sweep's time and so its losses begin.
    const auto behind = std::upper_bound(samplesStarts.begin(), samplesStarts.end(), t);
    return behind != samplesStarts.end() && *behind - t < s.facts.FrameTime();
}

// Continuous old files: heads whose stop ran off, and chunks that the order the streams write
// in puts in another period than their times.
bool CKVTACoverage::StopsLongAfterItsStart(const StreamState& s, const KvtChunkInfo& c) const
{
    // A stream whose spans are not held to its frames (events, or samples in an old file whose
    // heads are as often damaged as not) still has no chunk that lasts longer than a chunk can:
    // where the start lies in the recording, the stop was damaged. Trusted, it would carry the
    // recording's end far off, or leave no time for the heads behind it. An old file's sweeps
    // are cut in such chunks too.
    return (m_continuous || m_chunksMayPrecedeStart) && !s.spansChecked
           && c.start >= m_recordingStart && c.start <= c.stop && c.stop - c.start > kLongestChunkNs;
}

void CKVTACoverage::PutChunksInWriteOrder()
{
    if (!m_continuous)
        return;
    for (StreamState& s : m_streams)
        if (s.spansChecked || !s.facts.HasFrames())
            for (size_t k = 0; k < s.chunks.size(); ++k)
                (void)PutInWriteOrder(s, k);
}

bool CKVTACoverage::PutInWriteOrder(StreamState& s, size_t k)
{
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t i = s.chunks[k];
    if (i == 0 || i + 1 >= chunks.size())
        return false;
    KvtChunkInfo& c = chunks[i];
    const KvtChunkInfo& before = chunks[i - 1];
    const KvtChunkInfo& behind = chunks[i + 1];
    // Two chunks of one other stream of samples straight around it in the file, no bytes lost
    // between, that follow on from each other and last as long as it does: two periods.
    const StreamState* o = OtherTrustedStream(s, i - 1);
    const uint64_t length = c.stop - c.start;
    if (!o || o != OtherTrustedStream(s, i + 1) || !o->facts.HasFrames() || c.start > c.stop
        || before.End() != c.offset || c.End() != behind.offset || before.stop != behind.start
        || before.stop - before.start != length || behind.stop - behind.start != length
        || (s.facts.HasFrames()
            && s.facts.Duration(static_cast<uint64_t>(c.payloadSize)) != length))
        return false;
    // The period it was written in is the one beside it on the side its stream writes on; where
    // its times are the other one's, both moved by a chunk.
    bool known = false;
    const bool sFirst = WritesBefore(s, *o, i, known);
    const KvtChunkInfo& own = sFirst ? behind : before;
    const KvtChunkInfo& other = sFirst ? before : behind;
    if (!known || c.start != other.start || !LacksPeriod(s, own.start, own.stop))
        return false;
    const KvtChunkInfo* prev = k > 0 ? &chunks[s.chunks[k - 1]] : nullptr;
    const KvtChunkInfo* next = k + 1 < s.chunks.size() ? &chunks[s.chunks[k + 1]] : nullptr;
    if ((prev && prev->stop > own.start) || (next && next->start < own.stop))
        return false;
    // Samples leave no time of their stream without a loss to tell it: only a pause of all
    // streams or the stream's end. Events last no time.
    const bool leavesPause = AllPauseAt(s, c.start) && AllPauseAt(s, c.stop - 1);
    const bool leavesEnd = own.start < c.start && !next;
    if (s.facts.HasFrames() && !leavesPause && !leavesEnd)
        return false;
    c.start = own.start;
    c.stop = own.stop;
    return true;
}

// Event records among the bytes skipped behind a damaged head of samples.
bool CKVTACoverage::HoldsEventChunk(const StreamState& events, const UnreadBytes& u) const
{
    // A stretch skipped behind a head of a stream of samples holds that stream's frames for the
    // time it lacks there, a head for each of its chunks, and at most one empty head of the event
    // stream for each period the event stream lacks there (one chunk for every slot). Bytes
    // beyond those are records of an event chunk whose head the stretch hid.
    const StreamState* owner = u.oneChunk || !m_continuous ? nullptr : Find(u.key);
    if (!owner || !owner->facts.HasFrames() || owner->chunks.empty() || events.chunks.empty())
        return false;
    const auto [from, to] = GapAround(*owner, u.from);
    const auto [eventsFrom, eventsTo] = GapAround(events, u.from);
    const uint64_t chunkBytes = SizeBeside(*owner, u.from);
    const uint64_t period = owner->facts.Duration(chunkBytes);
    if (to <= from || eventsTo <= eventsFrom || period == 0)
        return false;
    const uint64_t frames = owner->facts.FramesIn(to - from) * owner->facts.frameBytes;
    const uint64_t heads = (frames + chunkBytes - 1) / chunkBytes
                           + (eventsTo - eventsFrom + period - 1) / period;
    return u.to - u.from > frames + heads * Kvd::DataChunk::kHeaderBytes;
}

// Bytes of an unreadable head among the chunks of one period.
uint64_t CKVTACoverage::StreamLackingPeriodAround(const UnreadBytes& u, uint64_t payload) const
{
    // In a continuous recording the chunks of a period lie together in the file: bytes between
    // two trusted chunks of one period were written in it, by a stream that lacks it. A stream
    // whose gap lies elsewhere (behind a pause) holds that period already.
    if (!m_continuous || payload == 0)
        return 0;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto behind = std::lower_bound(
        chunks.begin(), chunks.end(), u.to,
        [](const KvtChunkInfo& c, uint64_t at) { return c.offset < at; });
    if (behind == chunks.begin() || behind == chunks.end() || behind->offset != u.to)
        return 0;
    const size_t b = static_cast<size_t>(behind - chunks.begin());
    const KvtChunkInfo& before = chunks[b - 1];
    if (!(*m_trusted)[b] || !(*m_trusted)[b - 1] || before.End() != u.from
        || before.start != behind->start || before.stop != behind->stop)
        return 0;
    uint64_t only = 0;
    for (const StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || s.chunks.empty() || Holds(s, before.start)
            || SizeBeside(s, u.from) != payload)
            continue;
        if (only != 0)
            return 0;
        only = s.facts.key;
    }
    return only;
}

// Sizes a frame off in front of bytes the chain could not read.
void CKVTACoverage::PutSizesBackOnFrames(const StreamState& s,
                                         const std::vector<size_t>& candidates)
{
    // A stream held to its spans: a head whose size holds a frame more or less than its times
    // and behind which the chain found no head had its size moved by a frame (the chain then
    // read a head a frame's bytes off, which names nothing). Its times tell its frames: the
    // extra bytes are the next head's, the missing ones its own last frame.
    if (!s.spansChecked)
        return;
    for (size_t i : candidates) {
        KvtChunkInfo& c = (*m_chunks)[i];
        if (c.start >= c.stop)
            continue;
        const uint64_t bytes = s.facts.FramesIn(c.stop - c.start) * s.facts.frameBytes;
        const uint64_t payload = static_cast<uint64_t>(c.payloadSize);
        const bool frameOff = payload + s.facts.frameBytes == bytes
                              || bytes + s.facts.frameBytes == payload;
        const bool lostBehind = std::any_of(
            m_lost->begin(), m_lost->end(),
            [&](const KvtLostSpan& span) { return span.from == c.End(); });
        if ((frameOff || SwallowedNextHead(bytes, payload)) && lostBehind)
            c.payloadSize = static_cast<int64_t>(bytes);
    }
}

uint64_t CKVTACoverage::LostFrom(const KvtLostSpan& span) const
{
    // The chain lost its way where the size of the chunk in front led it; where that size was
    // put back by a frame, the lost bytes begin where the chunk now ends.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo* front = span.nextChunk > 0 && span.nextChunk <= chunks.size()
                                    ? &chunks[span.nextChunk - 1] : nullptr;
    const bool moved = front && front->End() != span.from && front->offset < span.from
                       && Near(front->End(), span.from, Kvd::DataChunk::kHeaderBytes);
    return moved ? front->End() : span.from;
}

// Lost sweeps: the streams of samples of a sweep whose heads a skipped stretch took along.

bool CKVTACoverage::SplitsOffSweep(UnreadBytes& u, std::vector<UnreadBytes>& parts,
                                   CFileReader* reader) const
{
    if (m_continuous || u.oneChunk)
        return false;
    // Each stream of samples that lacks a chunk's time around the bytes, by the file offset of
    // its chunk beside them: the recorder writes a period's streams in the same order.
    const uint64_t head = Kvd::DataChunk::kHeaderBytes;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    std::vector<std::pair<uint64_t, const StreamState*>> lacking;
    uint64_t samples = 0;
    for (const StreamState& s : m_streams) {
        if (!s.facts.HasFrames() || s.chunks.empty())
            continue;
        const auto [from, to] = GapAround(s, u.from);
        const uint64_t size = SizeBeside(s, u.from);
        if (to <= from || to - from + s.facts.FrameTime() < s.facts.Duration(size))
            continue;
        const auto next =
            std::lower_bound(s.chunks.begin(), s.chunks.end(), u.from,
                             [&](size_t i, uint64_t o) { return chunks[i].offset < o; });
        // Behind a stream's last chunk the extent does not yet tell how long its gap lasts.
        if (next == s.chunks.end())
            return false;
        const size_t beside = next != s.chunks.begin() ? *(next - 1) : *next;
        lacking.emplace_back(chunks[beside].offset, &s);
        samples += head + size;
    }
    if (lacking.empty() || u.to - u.from <= samples)
        return false;
    // In front of them the chunk of the event stream whose head was lost (the one its bytes fit
    // when the head named none): the sweep's trigger.
    const uint64_t events = u.to - u.from - samples;
    size_t owners = 0;
    uint64_t owner = 0;
    for (const StreamState& s : m_streams)
        if (!s.facts.HasFrames() && !s.chunks.empty() && (u.key == 0 || u.key == s.facts.key)
            && events == head + SizeBeside(s, u.from)) {
            ++owners;
            owner = s.facts.key;
        }
    if (owners != 1)
        return false;
    std::sort(lacking.begin(), lacking.end());
    uint64_t at = u.from + events;
    u.to = at;
    u.key = owner;
    for (const auto& [offset, s] : lacking) {
        const uint64_t end = at + head + SizeBeside(*s, u.from);
        UnreadBytes part {at, end, 0, 0, s->facts.key, true};
        // The times of a head found there of that stream are its claims.
        uint8_t found[Kvd::DataChunk::kHeaderBytes];
        if (reader && reader->ReadAt(at, found, sizeof found)
            && StreamOf(CKVTAChunkChain::MakeKey(reinterpret_cast<const char*>(found)))
                   == s->facts.key) {
            part.claimedStart = LoadLE<uint64_t>(found + Kvd::DataChunk::kStart);
            part.claimedStop = LoadLE<uint64_t>(found + Kvd::DataChunk::kStop);
        }
        parts.push_back(part);
        at = end;
    }
    return true;
}

// The extent of a file none of whose heads can be trusted.

bool CKVTACoverage::SomeStreamEndsBeforeAnother(const TrustedReach& trusted) const
{
    // Bytes behind the data are a short stream's own lost tail only where another stream shows
    // the recording went on; where no chunk is trusted they hold the recording's time, which
    // then is lost, not absent.
    return trusted.someStreamShort && trusted.any;
}

// Event chunks whose size swallowed a record of the damaged head behind them.

void CKVTACoverage::PutEventSizesBackOnRecords(const StreamState& s,
                                               const std::vector<size_t>& candidates)
{
    // An event chunk holding a record or more, behind which the chain found no head, had its
    // size moved by a record where a chunk of samples as large as one in front of it (in sweeps,
    // or behind it: a trigger leads its sweep) fills the bytes from a record before its end to
    // where the chain went on: those last bytes are the damaged head's, not a record. In sweeps
    // of a known length, also where those bytes run to the end of the data.
    if (s.facts.HasFrames())
        return;
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const uint64_t record = LeastRecordBytes(candidates);
    const bool toEnd = !m_continuous && SweepLengthKnown();
    for (size_t i : candidates) {
        KvtChunkInfo& c = chunks[i];
        if (record == UINT64_MAX || c.payloadSize < static_cast<int64_t>(record))
            continue;
        const uint64_t headAt = c.End() - record;
        for (const KvtLostSpan& span : *m_lost)
            if (span.from == c.End() && (span.nextChunk < chunks.size() || toEnd)
                && span.to > headAt
                && (SamplesChunkNearHolds(i, span.to - headAt)
                    || SamplesChunkOfSweepHolds(i, span.to - headAt))) {
                c.payloadSize -= static_cast<int64_t>(record);
                break;
            }
    }
}

uint64_t CKVTACoverage::LeastRecordBytes(const std::vector<size_t>& chunks, size_t first,
                                         size_t last, size_t skip) const
{
    // The fewest bytes an event chunk of the stream holds where it holds any: one record.
    uint64_t least = UINT64_MAX;
    for (size_t n = first; n < std::min(last, chunks.size()); ++n) {
        const int64_t size = (*m_chunks)[chunks[n]].payloadSize;
        if (n != skip && size > 0)
            least = std::min(least, static_cast<uint64_t>(size));
    }
    return least;
}

bool CKVTACoverage::SamplesChunkNearHolds(size_t i, uint64_t bytes, bool behindToo) const
{
    // The chunks of one period lie side by side in the file: a chunk of samples among the few
    // in front of chunk i, head and payload, as long as `bytes`.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t last = behindToo ? std::min(chunks.size(), i + kPeriodReach + 1) : i;
    for (size_t n = i > kPeriodReach ? i - kPeriodReach : 0; n < last; ++n) {
        const StreamState* owner = Find(chunks[n].key);
        if (n != i && owner && owner->facts.HasFrames()
            && Kvd::DataChunk::kHeaderBytes + static_cast<uint64_t>(chunks[n].payloadSize) == bytes)
            return true;
    }
    return false;
}

// Old files, which tell sweeps by gaps alone: the heads behind the data that none could trust.
bool CKVTACoverage::UnreadHeadsClaimLater(uint64_t from, uint64_t stop, uint64_t chunkTime) const
{
    // Damage moves a head anywhere, but rarely every head the recorder wrote next, and all one
    // way: where each that claims a time at all claims one past the data's end by more than a
    // chunk and than all the bytes behind could hold, and there are two of them or more, the
    // recording went on after a pause (a later sweep). A zeroed head or a skipped stretch
    // claims nothing.
    uint64_t bytes = 0;
    for (const UnreadBytes& u : m_unread)
        if (u.from >= from)
            bytes += u.to - u.from;
    const uint64_t later = AddSaturated(stop, std::max(chunkTime, TimeSideBySide(bytes)));
    size_t claims = 0;
    for (const UnreadBytes& u : m_unread) {
        if (u.from < from || (u.claimedStart == 0 && u.claimedStop == 0))
            continue;
        if (u.claimedStart < later && u.claimedStop < AddSaturated(later, chunkTime))
            return false;
        ++claims;
    }
    return claims >= 2;
}

// Sweeps of old files: the pauses their triggers tell, where no stream lost time.

std::vector<std::pair<uint64_t, uint64_t>> CKVTACoverage::PausesBetweenTriggers(uint64_t slack) const
{
    // Old files write one trigger chunk per sweep, spanning it, each as long as the others: from
    // the stop of one to the start of its stream's next the recorder paused, where that gap is
    // too short for a sweep of their length apart from both (a lost trigger between) and no
    // trusted chunk of samples lies in it.
    std::vector<std::pair<uint64_t, uint64_t>> pauses;
    if (m_continuous || !m_chunksMayPrecedeStart)
        return pauses;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (const StreamState& events : m_streams) {
        if (events.facts.HasFrames())
            continue;
        for (size_t k = 1; k < events.chunks.size(); ++k) {
            const KvtChunkInfo& p = chunks[events.chunks[k - 1]];
            const KvtChunkInfo& n = chunks[events.chunks[k]];
            if (p.start >= p.stop || n.start >= n.stop || n.start <= p.stop
                || !Near(p.stop - p.start, n.stop - n.start, slack)
                || n.start - p.stop >= p.stop - p.start + 2 * slack
                || SamplesRecordedIn(p.stop, n.start))
                continue;
            pauses.emplace_back(p.stop, n.start);
        }
    }
    return pauses;
}

bool CKVTACoverage::SamplesRecordedIn(uint64_t from, uint64_t to) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (const StreamState& s : m_streams) {
        if (!s.facts.HasFrames())
            continue;
        const auto at = FirstStoppingAfter(s, from);
        if (at != s.chunks.end() && chunks[*at].start < to)
            return true;
    }
    return false;
}

void CKVTACoverage::KeepHolesOutOfPauses(StreamState& s) const
{
    // A hole worked out from bytes shared among streams may run on into the pause behind its
    // sweep or begin in the one before: the recorder wrote nothing there, and a hole across it
    // would join two sweeps into one. It keeps its parts on either side. A file cut short lost
    // all behind the cut, pauses too.
    std::vector<KvtHole> kept;
    for (const auto& [from, to] : PausesBetweenTriggers(s.facts.FrameTime())) {
        kept.clear();
        for (const KvtHole& h : s.holes) {
            if (h.to <= from || h.from >= to || h.cause == KvtHoleCause::kFileCut) {
                kept.push_back(h);
                continue;
            }
            if (h.from < from)
                kept.push_back({h.from, from, h.cause});
            if (h.to > to)
                kept.push_back({to, h.to, h.cause});
        }
        s.holes.swap(kept);
    }
}

uint64_t CKVTACoverage::SweepEndAround(uint64_t t) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (const StreamState& events : m_streams) {
        if (events.facts.HasFrames() || events.chunks.size() < 2)
            continue;
        const auto behind = std::upper_bound(events.chunks.begin(), events.chunks.end(), t,
                                             [&](uint64_t v, size_t i) { return v < chunks[i].start; });
        if (behind == events.chunks.begin())
            continue;
        const size_t trigger = *(behind - 1);
        if (t < chunks[trigger].stop && SpansAsItsNeighbours(trigger))
            return chunks[trigger].stop;
    }
    return 0;
}

void CKVTACoverage::EndHolesWithTheirSweeps(StreamState& s) const
{
    // A trigger chunk of an old file spans its sweep. A hole that begins inside it and runs on
    // past its stop by less than a chunk of `s` holds no chunk of a later sweep (that would add
    // a chunk's time at least): the rest is bytes of other streams' heads and chunks counted as
    // its frames, and the hole ends with the sweep, where no trusted chunk of samples lies. One
    // less than a frame past it is a time field a nanosecond or so off, which the reader of its
    // sweep keeps.
    if (m_continuous || !m_chunksMayPrecedeStart || s.chunks.empty())
        return;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const uint64_t slack = s.facts.FrameTime();
    uint64_t chunk = UINT64_MAX;
    for (size_t i : s.chunks)
        if (chunks[i].start < chunks[i].stop)
            chunk = std::min(chunk, chunks[i].stop - chunks[i].start);
    for (KvtHole& h : s.holes) {
        const uint64_t end = h.cause == KvtHoleCause::kFileCut ? 0 : SweepEndAround(h.from);
        if (end != 0 && end < h.to && h.to - end > slack && h.to - end < chunk
            && !SamplesRecordedIn(end, h.to))
            h.to = end;
    }
}

bool CKVTACoverage::GapIsPause(const StreamState& s, uint64_t from, uint64_t to) const
{
    const uint64_t slack = s.facts.FrameTime();
    for (const auto& pause : PausesBetweenTriggers(slack))
        if (pause.first <= AddSaturated(from, slack) && to <= AddSaturated(pause.second, slack))
            return true;
    return false;
}

bool CKVTACoverage::LossAroundPause(const StreamState& s, uint64_t from, uint64_t to, uint64_t length,
                                    std::vector<KvtHole>& holes) const
{
    // A gap of `s` that holds a pause its triggers tell lost time on both sides of it where the
    // lost time is just what the sweep before lacks up to its trigger's stop and the sweep
    // behind from its trigger's start: the end of the one and the beginning of the other.
    const uint64_t slack = s.facts.FrameTime();
    for (const auto& [pauseFrom, pauseTo] : PausesBetweenTriggers(slack)) {
        if (pauseFrom <= from || pauseTo >= to
            || !Near(length, (pauseFrom - from) + (to - pauseTo), 2 * slack))
            continue;
        holes.push_back({from, pauseFrom, KvtHoleCause::kDamagedHead});
        holes.push_back({pauseTo, to, KvtHoleCause::kDamagedHead});
        return true;
    }
    return false;
}
// Sweeps: the sweep length trigger chunks bear out, and trigger heads one field of which it mends.
bool CKVTACoverage::TriggersSpanSweepLength() const
{
    // An old header keeps no sweep length: the one worked out from the gaps is the first sweep's
    // as the file reads, which damage may have cut. But the recorder writes each sweep's trigger
    // chunk spanning its sweep: where most heads of an event stream, two or more, span just that
    // length, no damage made it, and it is the sweep length.
    if (m_continuous || m_sweepLength == 0)
        return false;
    return std::any_of(m_streams.begin(), m_streams.end(),
                       [&](const StreamState& s) { return SpansSweepLength(s); });
}

bool CKVTACoverage::SpansSweepLength(const StreamState& s) const
{
    if (s.facts.HasFrames())
        return false;
    size_t heads = 0;
    size_t spanning = 0;
    for (const KvtChunkInfo& c : *m_chunks) {
        if (c.key != s.facts.key)
            continue;
        ++heads;
        spanning += c.start <= c.stop && c.stop - c.start == m_sweepLength ? 1 : 0;
    }
    return spanning >= 2 && 2 * spanning > heads;
}

void CKVTACoverage::PutTriggerTimesBackOnSweeps(const StreamState& s,
                                               const std::vector<size_t>& candidates)
{
    // Where a stream's trigger chunks span their sweeps, a head of it whose times are out of
    // order, or span longer than a chunk can, had one field damaged far off: a field before the
    // recording (a cleared one) or, of fields out of order, the one past the other by more than
    // a chunk can last. The other field and the sweep length tell it; unmended, the head would
    // leave its sweep without the trigger that places its chunks.
    if (!SweepLengthKnown() || !SpansSweepLength(s))
        return;
    const auto beforeRecording = [&](uint64_t t) {
        return AddSaturated(t, kEarlyStartNs) < m_recordingStart;
    };
    for (size_t i : candidates) {
        KvtChunkInfo& c = (*m_chunks)[i];
        bool keepStart = false;
        if (c.start > c.stop) {
            if (beforeRecording(c.stop) && !beforeRecording(c.start))
                keepStart = true;
            else if (c.start - c.stop <= kLongestChunkNs)
                continue;
        } else if (c.stop - c.start <= kLongestChunkNs || beforeRecording(c.stop)) {
            continue;
        } else {
            keepStart = !beforeRecording(c.start);
        }
        if (keepStart)
            c.stop = AddSaturated(c.start, m_sweepLength);
        else if (c.stop >= m_sweepLength)
            c.start = c.stop - m_sweepLength;
    }
}

bool CKVTACoverage::FirstStartsSweeps(const StreamState& s, size_t k) const
{
    // The first sweep of a recording of sweeps begins at its start: a stream's first chunk that
    // starts there bears out its start, where no chunk before it or of its period tells it.
    return !m_continuous && k == 0 && m_recordingStart != 0
           && (*m_chunks)[s.chunks.front()].start == m_recordingStart;
}

bool CKVTACoverage::SamplesChunkOfSweepHolds(size_t i, uint64_t bytes) const
{
    // The recorder writes a sweep's trigger in front of its chunks of samples: in sweeps, one of
    // the few chunks behind trigger i, head and payload, as long as `bytes`.
    if (m_continuous)
        return false;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (size_t n = i + 1; n < std::min(chunks.size(), i + 1 + kPeriodReach); ++n) {
        const StreamState* owner = Find(chunks[n].key);
        if (owner && owner->facts.HasFrames()
            && Kvd::DataChunk::kHeaderBytes + static_cast<uint64_t>(chunks[n].payloadSize) == bytes)
            return true;
    }
    return false;
}

void CKVTACoverage::PutOverlappingTriggerStartsBack(const StreamState& s,
                                                   const std::vector<size_t>& candidates)
{
    // Trigger chunks that span their sweeps never overlap. A head spanning more than a sweep
    // whose start lies inside the span of the head before it, while its stop lies a sweep or
    // more behind that one's stop, had its start moved early: it lies a sweep before its stop.
    if (!SweepLengthKnown() || !SpansSweepLength(s))
        return;
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (size_t k = 1; k < candidates.size(); ++k) {
        const KvtChunkInfo& before = chunks[candidates[k - 1]];
        KvtChunkInfo& c = chunks[candidates[k]];
        if (before.start <= before.stop && before.stop - before.start == m_sweepLength
            && c.start < c.stop && c.stop - c.start > m_sweepLength && c.start < before.stop
            && c.stop >= AddSaturated(before.stop, m_sweepLength))
            c.start = c.stop - m_sweepLength;
    }
}

// Chunks of continuous old files whose stream paused on one side of them, or whose heads moved.
bool CKVTACoverage::GapBesideIsPause(const StreamState& s, size_t i, bool meetsBefore,
                                     bool meetsBehind) const
{
    // In a continuous recording a chunk that meets its stream's chunk on one side only still
    // carries on its stream's time where the gap on the other side is a pause of all streams:
    // another stream's head beside it in the file starts with it, no head between it and its
    // stream's chunk across the gap holds time inside the gap (nor is any lost there, nor one
    // of its own stream damaged), no other stream of samples holds any of it, and one of them
    // starts again just where the gap ends.
    if (!m_continuous || meetsBefore == meetsBehind || !AccompaniedInFile(s, i))
        return false;
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto next = std::lower_bound(s.chunks.begin(), s.chunks.end(), i);
    if (meetsBefore ? next == s.chunks.end() : next == s.chunks.begin())
        return false;
    const size_t across = meetsBefore ? *next : *(next - 1);
    const uint64_t from = meetsBefore ? chunks[i].stop : chunks[across].stop;
    const uint64_t to = meetsBefore ? chunks[across].start : chunks[i].start;
    const uint64_t slack = s.facts.FrameTime();
    const size_t first = std::min(i, across);
    const size_t last = std::max(i, across);
    if (to <= from + slack || !UntrustedHeadsBetween(s, first, last).empty())
        return false;
    for (const KvtLostSpan& span : *m_lost)
        if (span.to > chunks[first].End() && span.from < chunks[last].offset)
            return false;
    for (size_t j = first + 1; j < last; ++j)
        if (chunks[j].start < to && from < chunks[j].stop)
            return false;
    bool resumes = false;
    for (const StreamState& other : m_streams) {
        if (&other == &s || !other.facts.HasFrames())
            continue;
        const auto at = FirstStoppingAfter(other, from);
        if (at == other.chunks.end())
            continue;
        if (chunks[*at].start < to && !Near(chunks[*at].start, to, slack))
            return false;
        resumes = resumes || Near(chunks[*at].start, to, slack);
    }
    return resumes;
}

bool CKVTACoverage::LostChunkOfAnotherStream(const StreamState& s, const KvtLostSpan& span) const
{
    // Bytes lost behind a head that names no stream, or another one, that are just one chunk of
    // another stream of samples whose frames fill that stream's gap there exactly, between two
    // of its chunks, are that chunk: they hold none of the time of `s`.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const StreamState* named = Find(StreamOf(span.headKey));
    if (named == &s || span.to - span.from <= Kvd::DataChunk::kHeaderBytes)
        return false;
    const uint64_t payload = span.to - span.from - Kvd::DataChunk::kHeaderBytes;
    for (const StreamState& o : m_streams) {
        if (&o == &s || (named && named != &o) || !o.facts.HasFrames()
            || payload % o.facts.frameBytes != 0)
            continue;
        const auto next = std::lower_bound(
            o.chunks.begin(), o.chunks.end(), span.from,
            [&](size_t i, uint64_t at) { return chunks[i].offset < at; });
        if (next == o.chunks.begin() || next == o.chunks.end())
            continue;
        const uint64_t from = chunks[*(next - 1)].stop;
        const uint64_t to = chunks[*next].start;
        if (from < to && Near(to - from, o.facts.Duration(payload), o.facts.FrameTime()))
            return true;
    }
    return false;
}

std::vector<size_t> CKVTACoverage::OwnHeadsLostBetween(const StreamState& s, size_t from,
                                                       size_t to) const
{
    // As UntrustedHeadsBetween, leaving out the stretches that are another stream's chunk.
    std::vector<size_t> heads = UntrustedHeadsBetween(s, from, to);
    const size_t none = m_chunks->size();
    const auto spans = static_cast<size_t>(std::count(heads.begin(), heads.end(), none));
    if (spans == 0)
        return heads;
    const uint64_t fromOffset = from < none ? (*m_chunks)[from].End() : m_dataStart;
    const uint64_t toOffset = to < none ? (*m_chunks)[to].offset : UINT64_MAX;
    size_t others = 0;
    for (const KvtLostSpan& span : *m_lost)
        if (span.from >= fromOffset && span.from < toOffset && LostChunkOfAnotherStream(s, span))
            ++others;
    if (others == spans)
        heads.erase(std::remove(heads.begin(), heads.end(), none), heads.end());
    return heads;
}

bool CKVTACoverage::LostHeadClaimLeadsTo(const StreamState& s, size_t before, size_t i) const
{
    // A head whose size alone was damaged keeps its times: in a continuous recording the bytes
    // the chain lost behind such a head of a stream of samples hold its chunk, as long as its
    // frames for those times, and then the next chunk the recorder wrote, head and payload.
    // Chunk i starts where the chunk of its stream found so among them, or its own chunk before
    // it, ends.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    if (!m_continuous || before >= chunks.size() || before >= i)
        return false;
    const uint64_t fromOffset = chunks[before].End();
    const uint64_t toOffset = chunks[i].offset;
    uint64_t bytes = 0;
    for (size_t j = before + 1; j < i; ++j)
        if (StreamOf(chunks[j].key) == s.facts.key)
            return false;
    for (const KvtLostSpan& span : *m_lost) {
        if (span.from < fromOffset || span.to > toOffset)
            continue;
        const StreamState* owner = Find(StreamOf(span.headKey));
        if (!owner || !owner->facts.HasFrames() || span.headStart >= span.headStop)
            return false;
        const uint64_t claimed = owner->facts.FramesIn(span.headStop - span.headStart)
                                 * owner->facts.frameBytes;
        const uint64_t rest = span.to - span.from - Kvd::DataChunk::kHeaderBytes;
        if (claimed == 0 || rest <= claimed + Kvd::DataChunk::kHeaderBytes)
            return false;
        bytes += owner == &s ? claimed : rest - claimed - Kvd::DataChunk::kHeaderBytes;
    }
    if (bytes == 0 || bytes % s.facts.frameBytes != 0)
        return false;
    return Near(chunks[i].start, AddSaturated(chunks[before].stop, s.facts.Duration(bytes)),
                s.facts.FrameTime());
}

bool CKVTACoverage::WrittenOutsideItsTimes(const StreamState& s, size_t i) const
{
    // In a continuous recording the streams write the chunks of a period in the same order every
    // period: a chunk straight between two chunks of another stream of samples that follow on
    // from each other was written in the period of the one on its stream's side. Times that are
    // not that period's moved.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    if (!m_continuous || i == 0 || i + 1 >= chunks.size())
        return false;
    const KvtChunkInfo& c = chunks[i];
    const KvtChunkInfo& before = chunks[i - 1];
    const KvtChunkInfo& behind = chunks[i + 1];
    const StreamState* o = Find(StreamOf(before.key));
    if (!o || o == &s || !o->facts.HasFrames() || StreamOf(behind.key) != o->facts.key
        || before.End() != c.offset || c.End() != behind.offset || before.stop != behind.start
        || !SpanHoldsFrames(o->facts, before) || !SpanHoldsFrames(o->facts, behind))
        return false;
    bool known = false;
    const KvtChunkInfo& own = WritesBefore(s, *o, i, known) ? behind : before;
    return known && (c.start != own.start || c.stop != own.stop);
}

uint64_t CKVTACoverage::OwnChunksTailReach(uint64_t lastEnd) const
{
    // Bytes behind the data that are whole chunks, each under a head naming a stream of samples
    // whose frames its payload is, hold the time of that stream alone, not of all side by side:
    // the longest such stream's frames.
    uint64_t reach = 0;
    std::unordered_map<uint64_t, uint64_t> bytesOf;
    for (const UnreadBytes& u : m_unread) {
        if (u.to <= lastEnd)
            continue;
        const StreamState* owner = Find(u.key);
        if (owner && !owner->facts.HasFrames())
            continue;
        const uint64_t bytes = u.to - u.from;
        const uint64_t payload = bytes - std::min(bytes, Kvd::DataChunk::kHeaderBytes);
        if (!u.oneChunk || u.from < lastEnd || !owner || payload == 0
            || payload % owner->facts.frameBytes != 0)
            return 0;
        reach = std::max(reach, owner->facts.Duration(bytesOf[owner->facts.key] += payload));
    }
    return reach;
}

void CKVTACoverage::PutEventSizesBackByAHead(const StreamState& s,
                                             const std::vector<size_t>& candidates)
{
    // In a continuous recording, an event chunk behind which the chain found no head, whose size
    // reached a head's bytes too far, swallowed the head of the chunk behind it: where those last
    // bytes and the ones lost behind them are just a chunk of samples as large as one beside it,
    // and what is left holds whole records of its stream's other chunks, it goes back by a head.
    // So it does where chunks of samples of a period in front of it, one after the other, fill
    // those bytes: their sizes are the other streams' own, not records.
    if (!m_continuous || s.facts.HasFrames())
        return;
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    constexpr uint64_t head = Kvd::DataChunk::kHeaderBytes;
    for (size_t k = 0; k < candidates.size(); ++k) {
        KvtChunkInfo& c = chunks[candidates[k]];
        if (c.payloadSize < static_cast<int64_t>(head))
            continue;
        // The fewest record bytes of the other chunks are looked for only behind a lost span:
        // worked out for every chunk, they would cost time in the square of the stream's chunks.
        const auto leavesRecords = [&] {
            const uint64_t record = LeastRecordBytes(candidates, 0, SIZE_MAX, k);
            return record == UINT64_MAX || (static_cast<uint64_t>(c.payloadSize) - head) % record == 0;
        };
        for (const KvtLostSpan& span : *m_lost) {
            if (span.from != c.End() || span.nextChunk >= chunks.size())
                continue;
            const uint64_t bytes = span.to - (c.End() - head);
            if (SamplesChunksNearHold(candidates[k], bytes)
                || (leavesRecords() && SamplesChunkNearHolds(candidates[k], bytes, true))) {
                c.payloadSize -= static_cast<int64_t>(head);
                break;
            }
        }
    }
}

// Sweeps lost whole where their heads named nothing: the whole sweeps around them tell them.
bool CKVTACoverage::WholeRunBeside(const StreamState& s, uint64_t offset, bool behind) const
{
    // A run that lasts longer than a sweep (its walk stops at a sweep's length: a chunk beyond
    // it that follows on) holds a chunk that moved: it tells nothing.
    const uint64_t slack = s.facts.FrameTime();
    const auto [from, to] = RunBeside(s, offset, behind);
    return from < to && Near(to - from, m_sweepLength, slack)
           && !Holds(s, behind ? AddSaturated(to, slack) : from - std::min(from, slack));
}

bool CKVTACoverage::UnnamedBytesHoldSweep(uint64_t fileFrom, uint64_t fileTo) const
{
    // A sound recording of sweeps writes nothing between them, and each stream of samples
    // records in every sweep. Bytes whose head names no stream, lying where every stream of
    // samples has a whole sweep in front (and behind, where it goes on), belong to neither:
    // where they hold each stream's frames for a sweep, a head each, they held a sweep of
    // their own.
    if (!SweepLengthKnown())
        return false;
    const auto first = std::upper_bound(m_unread.begin(), m_unread.end(), fileFrom,
                                        [](uint64_t v, const UnreadBytes& u) { return v < u.to; });
    uint64_t unnamed = 0;
    uint64_t at = UINT64_MAX;
    for (auto u = first; u != m_unread.end() && u->from < fileTo; ++u) {
        if (u->key != 0)
            continue;
        const uint64_t from = std::max(u->from, fileFrom);
        const uint64_t bytes = std::min(u->to, fileTo) - from;
        const uint64_t head = u->from >= fileFrom ? Kvd::DataChunk::kHeaderBytes : 0;
        at = std::min(at, from);
        unnamed += bytes - std::min(bytes, head);
    }
    if (at == UINT64_MAX)
        return false;
    uint64_t sweep = 0;
    for (const StreamState& o : m_streams) {
        if (!o.facts.HasFrames())
            continue;
        const bool goesOn = !o.chunks.empty() && (*m_chunks)[o.chunks.back()].offset > at;
        if (!WholeRunBeside(o, at, false) || (goesOn && !WholeRunBeside(o, at, true)))
            return false;
        sweep += o.facts.FramesIn(m_sweepLength) * o.facts.frameBytes + Kvd::DataChunk::kHeaderBytes;
    }
    return AddSaturated(unnamed, Kvd::DataChunk::kHeaderBytes) >= sweep;
}

uint64_t CKVTACoverage::LostSweepClaimedEnd(const KvtRecordingFacts& recording,
                                           const TrustedReach& trusted) const
{
    // Behind a whole last sweep, bytes naming no stream that hold a sweep of every stream of
    // samples were a later sweep: where the header or a stored index claims a stop that leaves
    // a pause of a frame or more before it, that sweep ends there (the pause costs no bytes).
    if (!trusted.anySamples || !UnnamedBytesHoldSweep(trusted.lastEnd, UINT64_MAX))
        return 0;
    uint64_t frame = 0;
    for (const StreamState& s : m_streams)
        frame = std::max(frame, s.facts.FrameTime());
    const uint64_t earliest = AddSaturated(trusted.latestSamples, AddSaturated(m_sweepLength, frame));
    return recording.claimedStop >= earliest ? recording.claimedStop : 0;
}

// Chunks of samples whose two times moved by a chunk off bytes the chain could not read.

bool CKVTACoverage::ShiftOntoLostBytes(StreamState& s, size_t x, uint64_t shift, bool back,
                                       size_t from, size_t to)
{
    // The time a chunk's move left empty lies where the chain lost its way between `from` and
    // `to` (file order; the count: none) rather than under a head to mend: those bytes, as
    // the only doubt between the two, are its own time's where they hold a chunk of its stream
    // as large as it and, beyond it, no less than the head of another chunk, and no other
    // stream of samples lacks time there to claim them. Where other streams record, one of
    // them must hold the time it goes to: a pause of all is no chunk's.
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    if (!m_continuous)
        return false;
    const size_t first = from < chunks.size() ? from + 1 : 0;
    for (size_t j = first; j < std::min(to, chunks.size()); ++j)
        if (!(*m_trusted)[j])
            return false;
    const uint64_t fromOffset = from < chunks.size() ? chunks[from].End() : m_dataStart;
    const uint64_t toOffset = to < chunks.size() ? chunks[to].offset : UINT64_MAX;
    uint64_t bytes = 0;
    uint64_t lostAt = 0;
    size_t spans = 0;
    for (const KvtLostSpan& span : *m_lost)
        if (span.from >= fromOffset && span.from < toOffset) {
            lostAt = LostFrom(span);
            bytes = span.to - lostAt;
            ++spans;
        }
    KvtChunkInfo& c = chunks[x];
    const uint64_t own = Kvd::DataChunk::kHeaderBytes + static_cast<uint64_t>(c.payloadSize);
    if (spans != 1 || bytes < own || (bytes > own && bytes - own < Kvd::DataChunk::kHeaderBytes)
        || AnotherStreamLacks(s.facts.key, lostAt))
        return false;
    const uint64_t start = back ? c.start - shift : c.start + shift;
    const uint64_t stop = back ? c.stop - shift : c.stop + shift;
    if (AnotherStreamHasFrames(s)
        && !(AnotherStreamHolds(s, start, true) && AnotherStreamHolds(s, stop - 1, true)))
        return false;
    c.start = start;
    c.stop = stop;
    return true;
}

// Event chunks whose stop moved onto the period of a head behind them that the chain lost.

uint64_t CKVTACoverage::NextHeadStart(const std::vector<size_t>& candidates, size_t k) const
{
    // The start field of the stream's next head in the file: one whose size led the chain
    // astray still tells where its period begins (a claim that a chunk of samples beside must
    // bear out). UINT64_MAX when none.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& c = chunks[candidates[k]];
    const bool last = k + 1 >= candidates.size();
    const uint64_t nextOffset = last ? UINT64_MAX : chunks[candidates[k + 1]].offset;
    for (const KvtLostSpan& span : *m_lost)
        if (span.from >= c.End() && span.from < nextOffset && span.headKey == c.key)
            return span.headStart;
    return last ? UINT64_MAX : chunks[candidates[k + 1]].start;
}

// Event chunks whose size swallowed the whole damaged head behind them.

bool CKVTACoverage::SamplesChunksNearHold(size_t i, uint64_t bytes) const
{
    // A run of chunks of samples, side by side among the few in front of chunk i, whose heads
    // and payloads together span `bytes`.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (size_t first = i > kPeriodReach ? i - kPeriodReach : 0; first < i; ++first) {
        uint64_t run = 0;
        for (size_t n = first; n < i; ++n) {
            const StreamState* owner = Find(chunks[n].key);
            if (!owner || !owner->facts.HasFrames() || chunks[n].payloadSize < 0)
                break;
            run += Kvd::DataChunk::kHeaderBytes + static_cast<uint64_t>(chunks[n].payloadSize);
            if (run == bytes)
                return true;
        }
    }
    return false;
}

// Sweeps: the trigger of a sweep lost behind the data whose start moved back onto them.
uint64_t CKVTACoverage::SweepStartOfTriggerBehind(const KvtChunkInfo& trigger,
                                                  uint64_t samplesStop) const
{
    // A trigger chunk spans its sweep. One that starts behind the samples began the sweep
    // there. One that starts on them but spans more than a sweep, ending a sweep or more
    // behind them, had its start moved: its stop, kept, tells where the sweep began.
    if (trigger.start > samplesStop && trigger.start <= trigger.stop)
        return trigger.start;
    const bool startMoved = trigger.start <= samplesStop && trigger.start < trigger.stop
                            && trigger.stop - trigger.start > m_sweepLength
                            && trigger.stop >= AddSaturated(samplesStop, m_sweepLength);
    return startMoved ? trigger.stop - m_sweepLength : 0;
}

bool CKVTACoverage::RecordedAtStart(const StreamState& s) const
{
    // In sweeps a trigger head a nanosecond or so late still begins the first sweep: another
    // stream recorded at the recording's start where one holds it within a frame of `s`.
    const uint64_t frame = s.facts.FrameTime();
    return AnotherStreamHolds(s, m_extentStart)
           || (!m_continuous && frame > 0 && AnotherStreamHolds(s, AddSaturated(m_extentStart, frame - 1)));
}

uint64_t CKVTACoverage::OtherStreamsChunkBytes(const StreamState& s, uint64_t offset) const
{
    // The recorder writes a sweep's trigger, then a chunk of each stream of samples: bytes lost
    // in front of the chunk of `s` may be the trigger's and those of the streams written before.
    uint64_t bytes = 0;
    for (const StreamState& o : m_streams)
        if (&o != &s && o.facts.HasFrames() && !o.chunks.empty())
            bytes += Kvd::DataChunk::kHeaderBytes + SizeBeside(o, offset);
    return bytes;
}

bool CKVTACoverage::LostFramesLeadTo(const StreamState& s, size_t before, size_t i) const
{
    // In a continuous recording a stream's chunks follow on: where the frames of its damaged
    // heads between its chunk `before` and chunk i in the file lead to i's start, i meets them.
    return m_continuous && !UntrustedHeadsBetween(s, before, i).empty()
           && LostBytesLeadTo(s, before, i, (*m_chunks)[i].start);
}

// Heads that the heads beside them place: a chunk moved past a longer pause, half a stream's
// spans off their frames, a stop run a little late onto the next chunk.

bool CKVTACoverage::PutBackBeforeHeadStartingWithIt(StreamState& s, size_t k)
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const size_t none = chunks.size();
    // In sweeps the time before a sweep's first chunk is a pause, which no chunk moved out of.
    if (!m_continuous || k + 1 >= s.chunks.size() || (k == 0 && m_recordingStart == 0))
        return false;
    const size_t x = s.chunks[k];
    const size_t prev = k > 0 ? s.chunks[k - 1] : none;
    const size_t next = s.chunks[k + 1];
    const KvtChunkInfo& c = chunks[x];
    const uint64_t span = c.stop - c.start;
    const uint64_t before = prev != none ? chunks[prev].stop : m_recordingStart;
    // Two chunks that meet leave no time for a head between them in the file: one of them
    // moved. A gap as long as the chunk tells that it did (PutBackMovedChunk); a longer one
    // does not tell by how much, but the head left between starts where the chunk does: the
    // chunk lay a span earlier, and that head holds the time the chunk now claims.
    if (span == 0 || !Near(chunks[next].start, c.stop, s.facts.FrameTime()) || c.start < before
        || c.start - before < span || !UntrustedHeadsBetween(s, prev, x).empty())
        return false;
    // That head's frames fill the time the chunk leaves: another stream's chunk under its id
    // does not.
    const std::vector<size_t> left = UntrustedHeadsBetween(s, x, next);
    return left.size() == 1 && left[0] != none && chunks[left[0]].start == c.start
           && s.facts.Duration(static_cast<uint64_t>(chunks[left[0]].payloadSize)) == span
           && ShiftFreeing(s, x, span, true, left[0]);
}

bool CKVTACoverage::PeriodsBearOutFrames(const StreamState& s,
                                         const std::vector<size_t>& candidates) const
{
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const uint64_t slack = s.facts.FrameTime();
    const auto borneOut = [&](size_t i) {
        const KvtChunkInfo& c = chunks[i];
        const uint64_t length = s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
        const auto [from, to] = PeriodAround(i, chunks.size());
        for (size_t j = from; j < to; ++j) {
            const KvtChunkInfo& o = chunks[j];
            if (j == i || o.key == s.facts.key || !Find(o.key) || o.start > o.stop)
                continue;
            if ((Near(o.start, c.start, slack) && Near(o.stop - o.start, length, slack))
                || (Near(o.stop, c.stop, slack) && Near(o.stop - o.start, length, slack)))
                return true;
        }
        return false;
    };
    // The majority alone decides in an old file, lest a dropped chunk be taken for a gap: a
    // head whose period tells its frames' time is mended, not dropped.
    for (size_t k = 0; k < candidates.size(); ++k) {
        const KvtChunkInfo& c = chunks[candidates[k]];
        if (c.start <= c.stop && !StartsBeforeRecording(c.start) && !SpanHoldsFrames(s.facts, c)
            && !TwinOfFramedHead(s, candidates, k) && !borneOut(candidates[k]))
            return false;
    }
    return true;
}

bool CKVTACoverage::StopRunsIntoNext(const StreamState& s, size_t k) const
{
    if (k + 1 >= s.chunks.size())
        return false;
    const KvtChunkInfo& c = (*m_chunks)[s.chunks[k]];
    const uint64_t next = (*m_chunks)[s.chunks[k + 1]].start;
    return next > c.start && c.stop > next && c.stop - next < s.facts.FrameTime()
           && next - c.start == s.facts.Duration(static_cast<uint64_t>(c.payloadSize));
}

// Event chunks whose stop moved onto the next period, beside a chunk of samples whose start is
// damaged.

bool CKVTACoverage::SamplesSpan(size_t n, uint64_t from, uint64_t to) const
{
    // A trusted chunk of samples with those times; or, its head in doubt, one whose stop is `to`
    // and whose frames, counted back from there, begin at `from`: its start alone was damaged.
    const KvtChunkInfo& c = (*m_chunks)[n];
    const StreamState* owner = Find(StreamOf(c.key));
    if (!owner || !owner->facts.HasFrames() || c.stop != to || from > to)
        return false;
    if ((*m_trusted)[n])
        return c.start == from;
    return c.payloadSize > 0
           && owner->facts.Duration(static_cast<uint64_t>(c.payloadSize)) == to - from;
}

// Sweeps: a stop nudged past the start of the chunk behind it.
void CKVTACoverage::PutBackNudgedStops(const StreamState& s, const std::vector<size_t>& sound)
{
    // In sweeps chunks follow each other exactly. A head whose stop alone moved later by less
    // than a frame overlaps the next by as much, while its frames, from its start, end just
    // where the next begins: the stop goes back there, lest the next chunk be dropped.
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    for (size_t k = 0; k + 1 < sound.size(); ++k) {
        KvtChunkInfo& c = chunks[sound[k]];
        const uint64_t next = chunks[sound[k + 1]].start;
        const uint64_t framesEnd =
            AddSaturated(c.start, s.facts.Duration(static_cast<uint64_t>(c.payloadSize)));
        if (next < c.stop && c.stop - next < s.facts.FrameTime() && framesEnd == next)
            c.stop = next;
    }
}

// Sweeps: the last chunk of a stream whose start alone is damaged.
bool CKVTACoverage::LastStopMeetsChunkBefore(const StreamState& s, const KvtChunkInfo* prev,
                                             const KvtChunkInfo* next, const KvtChunkInfo& c,
                                             uint64_t length) const
{
    // Behind its stream's last chunk nothing bears out a stop, but the frames do: where a start
    // that cannot be (before the chunk in front ends) leaves a stop no later than the header
    // claims, from which they count back to just where that chunk ends, the sweep goes on
    // there; the start was wrong.
    return SweepLengthKnown() && prev && !next && c.start < prev->stop && c.stop >= length
           && (m_claimedStop == 0 || c.stop <= m_claimedStop)
           && Near(prev->stop, c.stop - length, s.facts.FrameTime());
}

// Sizes a head too large in front of bytes the chain could not read.
bool CKVTACoverage::SwallowedNextHead(uint64_t bytes, uint64_t payload)
{
    // A size grown by just a head's bytes led the chain past the next head, into that chunk's
    // payload, where it lost its way: its frames are those its times tell.
    return bytes > 0 && payload == bytes + Kvd::DataChunk::kHeaderBytes;
}

// Sweeps: the chunk that opens the recording.
bool CKVTACoverage::OpensRecording(uint64_t start, uint64_t slack) const
{
    // A stream's first chunk that starts at the header's start began with the recording:
    // nothing moved it there, and no time lies before it.
    return m_recordingStart != 0 && Near(start, m_recordingStart, slack);
}

// Sweeps of one chunk under a trigger's id whose own trigger moved away.
bool CKVTACoverage::NoRecordsOfItsId(size_t i) const
{
    // An event stream's chunks hold whole records: a trusted chunk of it whose bytes are no
    // whole number of the fewest its chunks around it hold is no chunk of events.
    const StreamState* events = Find((*m_chunks)[i].key);
    if (!events || events->facts.HasFrames())
        return false;
    const auto at = std::lower_bound(events->chunks.begin(), events->chunks.end(), i);
    if (at == events->chunks.end() || *at != i)
        return false;
    const uint64_t least = LeastRecordsBeside(*events, static_cast<size_t>(at - events->chunks.begin()));
    const int64_t payload = (*m_chunks)[i].payloadSize;
    return least != UINT64_MAX && payload > 0 && static_cast<uint64_t>(payload) % least != 0;
}

// Sweeps: no mended chunk ends behind the stop the header claims.
bool CKVTACoverage::StopsPastClaimedSweeps(uint64_t stop, uint64_t slack) const
{
    // The header of a recording of sweeps claims when the last one stopped: a head that the
    // other heads would mend to stop later took its times from one that moved.
    return !m_continuous && !m_chunksMayPrecedeStart && m_claimedStop != 0
           && stop > AddSaturated(m_claimedStop, slack);
}

// Event heads whose two times were swapped.
void CKVTACoverage::PutSwappedEventTimesBack(const StreamState& s,
                                             const std::vector<size_t>& candidates)
{
    // Events tell no duration, but an event stream's chunks span alike (a trigger chunk its
    // sweep's first chunk or the sweep): a head whose start lies past its stop by just the span
    // of its stream's head before or behind it had its two times swapped.
    if (s.facts.HasFrames())
        return;
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto spans = [&](size_t k, uint64_t span) {
        return k < candidates.size() && chunks[candidates[k]].start < chunks[candidates[k]].stop
               && chunks[candidates[k]].stop - chunks[candidates[k]].start == span;
    };
    for (size_t k = 0; k < candidates.size(); ++k) {
        KvtChunkInfo& c = chunks[candidates[k]];
        if (c.start > c.stop && (spans(k - 1, c.start - c.stop) || spans(k + 1, c.start - c.stop)))
            std::swap(c.start, c.stop);
    }
}

// Stray bytes at the end of the data of a whole file, behind its last event chunk.
uint64_t CKVTACoverage::TakeStrayBytesIntoLastEventChunk(CFileReader* reader, uint64_t leftFrom,
                                                         uint64_t limit)
{
    // A continuous recording's writer puts its chunks one after the other up to the end of the
    // data. Where the file holds every chunk its header counts, bytes fewer than a head left at
    // that end are no head cut in two: the last chunk's size was cut short. An event chunk's
    // records need no frames to fit its time, so they are its last records and it takes them
    // back; a chunk of samples tells its size by its span and is judged elsewhere.
    if (!m_continuous || !m_allCounted || leftFrom >= limit || AllZero(reader, leftFrom, limit))
        return leftFrom;
    std::vector<KvtChunkInfo>& chunks = *m_chunks;
    if (chunks.empty() || chunks.back().End() != leftFrom)
        return leftFrom;
    const StreamState* owner = Find(chunks.back().key);
    if (!owner || owner->facts.HasFrames())
        return leftFrom;
    chunks.back().payloadSize += static_cast<int64_t>(limit - leftFrom);
    return limit;
}

// Event heads whose start or id was damaged, judged by the heads beside them.
void CKVTACoverage::PutFarEventStartOnRecordingStart(const StreamState& s,
                                                     const std::vector<size_t>& candidates)
{
    // An old file's first chunk may begin a little before the header's start and then moves
    // it back. An event head tells no span by frames: where the file's first head, an event
    // stream's, starts more than a second before the header's start and stops after it while
    // every other head starts at that start or later, its start field was damaged (a cleared
    // one reads hours before any recording): the recording, and so that chunk, began where the
    // header says.
    if (!m_chunksMayPrecedeStart || s.facts.HasFrames() || candidates.empty()
        || candidates.front() != 0)
        return;
    KvtChunkInfo& c = (*m_chunks)[0];
    if (c.offset != m_dataStart || c.stop < m_recordingStart
        || AddSaturated(c.start, kEarlyStartNs) >= m_recordingStart)
        return;
    for (size_t i = 1; i < m_chunks->size(); ++i)
        if ((*m_chunks)[i].start < m_recordingStart)
            return;
    c.start = m_recordingStart;
}

bool CKVTACoverage::BehindLostTwinOfItsId(const StreamState& s, size_t i) const
{
    // An event stream writes one chunk a period. A head under its id right behind a damaged
    // head of the same id claiming just its times is one of two heads of that period: where its
    // bytes are the frames of stream of samples `s` for those times and `s` holds none of them,
    // it is the chunk of `s` the recorder wrote behind the lost trigger, its id damaged.
    const KvtChunkInfo& c = (*m_chunks)[i];
    const StreamState* named = Find(StreamOf(c.key));
    if (!named || named->facts.HasFrames())
        return false;
    const auto span = std::lower_bound(
        m_lost->begin(), m_lost->end(), c.offset,
        [](const KvtLostSpan& lost, uint64_t at) { return lost.to < at; });
    return span != m_lost->end() && span->to == c.offset
           && StreamOf(span->headKey) == StreamOf(c.key) && span->headStart == c.start
           && span->headStop == c.stop && c.start < c.stop && !Holds(s, c.start)
           && !Holds(s, c.stop - 1);
}

// Another stream's chunk under a damaged id beside its period's own chunk.
bool CKVTACoverage::TwinOfFramedHead(const StreamState& s, const std::vector<size_t>& candidates,
                                     size_t k) const
{
    // A head beside its stream's head of the same times in the file that holds its frames
    // is that period's chunk of another stream whose id was damaged: its bytes tell nothing of
    // how this stream keeps to its spans, and it is not counted among the stream's heads.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const KvtChunkInfo& c = chunks[candidates[k]];
    if (SpanHoldsFrames(s.facts, c))
        return false;
    for (size_t n : {k - 1, k + 1}) {
        if (n >= candidates.size())
            continue;
        const KvtChunkInfo& twin = chunks[candidates[n]];
        if (twin.start == c.start && twin.stop == c.stop && SpanHoldsFrames(s.facts, twin))
            return true;
    }
    return false;
}

// Sweeps: of two twins side by side in the file, the one that moved off its place in the sweep.
size_t CKVTACoverage::TwinMovedWithinItsSweep(const StreamState& s,
                                              const std::vector<size_t>& sound, size_t k) const
{
    // A sweep's chunks of a stream follow each other exactly from its trigger on, and the next
    // sweep's trigger head lies between them and that sweep's chunks. Twins sound[k] and
    // sound[k + 1] whose frames fill both the gap in front of the first (it moved on) and the
    // one behind the second (it moved back): where an event head lies in the file at one of
    // those gaps only, that gap is a pause, and the twin beside the other moved.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    if (m_continuous || k == 0 || k + 2 >= sound.size())
        return SIZE_MAX;
    const KvtChunkInfo& first = chunks[sound[k]];
    const KvtChunkInfo& second = chunks[sound[k + 1]];
    const uint64_t length = s.facts.Duration(static_cast<uint64_t>(first.payloadSize));
    const uint64_t slack = s.facts.FrameTime();
    if (first.start != second.start || first.stop != second.stop || length == 0
        || first.payloadSize != second.payloadSize
        || !Near(first.start, AddSaturated(chunks[sound[k - 1]].stop, length), slack)
        || !Near(chunks[sound[k + 2]].start, AddSaturated(second.stop, length), slack))
        return SIZE_MAX;
    const bool pauseFront = EventHeadBetween(sound[k - 1], sound[k]);
    const bool pauseBehind = EventHeadBetween(sound[k + 1], sound[k + 2]);
    if (pauseFront == pauseBehind)
        return SIZE_MAX;
    return pauseBehind ? sound[k] : sound[k + 1];
}

bool CKVTACoverage::EventHeadBetween(size_t from, size_t to) const
{
    // The next sweep's trigger head, or another event head, in the file between them, readable
    // or lost where the chain skipped it.
    const std::vector<KvtChunkInfo>& chunks = *m_chunks;
    const auto events = [&](uint64_t key) {
        const StreamState* owner = Find(StreamOf(key));
        return owner && !owner->facts.HasFrames();
    };
    for (size_t j = from + 1; j < to; ++j)
        if (events(chunks[j].key))
            return true;
    for (const KvtLostSpan& span : *m_lost)
        if (span.from >= chunks[from].End() && span.from < chunks[to].offset
            && events(span.headKey))
            return true;
    return false;
}

// Old files' heads of samples that no recorder wrote, though their stream is not held to spans.
bool CKVTACoverage::BreaksOffInAFrame(const StreamState& s, const KvtChunkInfo& c) const
{
    // An old recorder wrote its samples in whole frames even where it did not keep their times
    // to them: a payload that breaks off inside a frame is another stream's under a damaged id.
    // (Later files may end a chunk in a part of a frame.)
    return m_chunksMayPrecedeStart && s.facts.HasFrames()
           && static_cast<uint64_t>(c.payloadSize) % s.facts.frameBytes != 0;
}

bool CKVTACoverage::EarlyBehindItsFirst(const StreamState& s, const KvtChunkInfo& c) const
{
    // An old file's first chunk may begin before the header's start; a chunk of samples its
    // stream wrote later that begins there too, its frames not lasting to its stop, took a
    // damaged start. Trusted, it would carry the recording's start back with it.
    return m_chunksMayPrecedeStart && s.facts.HasFrames() && c.start < m_recordingStart
           && c.start < c.stop && !SpanHoldsFrames(s.facts, c);
}
