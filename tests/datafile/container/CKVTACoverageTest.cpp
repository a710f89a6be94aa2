#include "datafile/container/CKVTACoverage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

#include "datafile/container/CKVTAChunkChain.h"
#include "datafile/container/CKVTAStream.h"
#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/container/KvdFormat.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace {

constexpr uint64_t T0 = kKvdDefaultStart;
constexpr uint64_t kMs = 1000000;
constexpr int kRateHz = 10000;
using Span = std::pair<uint64_t, uint64_t>;

const char* const kElec = "Electrode Raw Data";
const char* const kDigi = "Digital Data";
const char* const kSpikes = "Spikes 1";
const char* const kTrigger = "Trigger 1";
const std::map<std::string, std::string> kIdOf = {
    {kElec, "elec0001"}, {kDigi, "digi0001"}, {kSpikes, "spks0001"}, {kTrigger, "trig0001"}};

// Six slots of 10 ms: an electrode stream of two channels and a digital one of one channel at
// 10 kHz, each slot's electrode chunk before its digital one; with `spikes` one spike in every
// slot, its chunk behind the slot's others.
KvdRecordingPlan SmallPlan(bool spikes = false, bool storedIndex = false)
{
    KvdRecordingPlan plan;
    plan.rateHz = kRateHz;
    plan.chunkMs = 10;
    plan.chunks = 6;
    plan.streams = {KvdRawStreamPlan(), KvdDigitalStreamPlan()};
    if (spikes)
        plan.spikeMs = {5, 15, 25, 35, 45, 55};
    plan.storedIndex = storedIndex;
    return plan;
}

// SmallPlan in three sweeps of `sweepMs`, 30 ms apart (the header's sweep length
// `sweepLengthMs`, or the sweep's when 0).
KvdRecordingPlan SweepPlan(int sweepMs, int sweepLengthMs = 0)
{
    KvdRecordingPlan plan = SmallPlan();
    plan.triggered = true;
    plan.sweeps = 3;
    plan.sweepMs = sweepMs;
    plan.gapMs = 30;
    plan.sweepLengthMs = sweepLengthMs != 0 ? sweepLengthMs : sweepMs;
    return plan;
}

// Sweeps of one 10 ms chunk of a lone stream of samples, with their triggers.
KvdRecordingPlan LoneStreamSweepPlan()
{
    KvdRecordingPlan plan = SweepPlan(10);
    plan.streams = {KvdRawStreamPlan()};
    return plan;
}

// SmallPlan of an old file (version 0) whose electrode stream is alone.
KvdRecordingPlan OldLonePlan()
{
    KvdRecordingPlan plan = SmallPlan();
    plan.fileVersion = 0;
    plan.streams = {KvdRawStreamPlan()};
    return plan;
}

struct Recording
{
    TempDir dir;
    std::string path;
    KvdLayout layout;
    std::vector<KvdPlannedChunk> chunks;   // file order
    std::vector<uint8_t> bytes;
    CKVTAStreamFile file;

    uint64_t End() const
    {
        uint64_t end = 0;
        for (const KvdPlannedChunk& c : chunks)
            end = std::max(end, c.stopNs);
        return T0 + end;
    }
    // The file-order index of the chunk of `stream` that starts `slot` chunks into the recording.
    size_t Chunk(const std::string& stream, int slot) const
    {
        for (size_t i = 0; i < chunks.size(); ++i)
            if (chunks[i].stream == stream && chunks[i].startNs == static_cast<uint64_t>(slot) * 10 * kMs)
                return i;
        ADD_FAILURE() << "no chunk of " << stream << " in slot " << slot;
        return 0;
    }
    // Writes the damaged bytes, opens them and gives the account.
    const CKVTACoverage& Open()
    {
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        EXPECT_EQ(file.Open(path), 0);
        return file.GetChunkChain()->Coverage();
    }
};

void Write(const KvdRecordingPlan& plan, Recording& r)
{
    r.path = r.dir.File("c.kvd");
    ASSERT_TRUE(WriteKvdRecording(plan, r.path, &r.layout, &r.chunks));
    r.bytes = ReadFileBytes(r.path);
}

uint64_t KeyOf(const std::string& stream)
{
    return CKVTAChunkChain::MakeKey(kIdOf.at(stream).c_str());
}

// Makes the head of chunk `i` unreadable: a size below any chunk's, and a stop before its start
// so that its times imply no size either.
void LoseChunk(Recording& r, size_t i)
{
    PatchLE<int64_t>(r.bytes, r.layout.chunkAt[i] + Kvd::DataChunk::kSize, 5);
    PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[i] + Kvd::DataChunk::kStop, 0);
}

// Moves the start and (with `stopToo`) the stop of chunk i's head by `by` ns.
void MoveTimes(Recording& r, size_t i, int64_t by, bool stopToo = true)
{
    for (size_t field : {Kvd::DataChunk::kStart, Kvd::DataChunk::kStop}) {
        const size_t at = r.layout.chunkAt[i] + field;
        if (field == Kvd::DataChunk::kStart || stopToo)
            PatchLE<uint64_t>(r.bytes, at,
                              LoadLE<uint64_t>(r.bytes.data() + at) + static_cast<uint64_t>(by));
    }
}

// Gives chunk i's head the id of the file's first trigger chunk.
void GiveTriggersId(Recording& r, size_t i)
{
    const auto trigger = std::find_if(r.chunks.begin(), r.chunks.end(),
                                      [](const KvdPlannedChunk& k) { return k.stream == kTrigger; });
    const uint64_t from = r.layout.chunkAt[static_cast<size_t>(trigger - r.chunks.begin())];
    std::copy_n(r.bytes.begin() + from + Kvd::DataChunk::kId, 8, r.bytes.begin() + r.layout.chunkAt[i] + Kvd::DataChunk::kId);
}

// The planned times of `stream`'s chunks among `lost`, joined where they meet.
std::vector<Span> PlannedHoles(const Recording& r, const std::string& stream, std::vector<size_t> lost)
{
    std::sort(lost.begin(), lost.end(), [&](size_t a, size_t b) { return r.chunks[a].startNs < r.chunks[b].startNs; });
    std::vector<Span> holes;
    for (size_t i : lost) {
        if (r.chunks[i].stream != stream)
            continue;
        const Span span {T0 + r.chunks[i].startNs, T0 + r.chunks[i].stopNs};
        if (!holes.empty() && holes.back().second >= span.first)
            holes.back().second = std::max(holes.back().second, span.second);
        else
            holes.push_back(span);
    }
    return holes;
}

// The holes of `stream` are `expected`, each of `cause`, and the lookups agree with them at
// their edges: a range that ends where a hole begins or begins where it ends does not meet it.
void ExpectHoles(const CKVTACoverage& cov, const std::string& stream, const std::vector<Span>& expected,
                 KvtHoleCause cause, uint64_t key = 0)
{
    SCOPED_TRACE(stream);
    key = key != 0 ? key : KeyOf(stream);
    std::vector<Span> holes;
    for (const KvtHole& h : cov.HolesOf(key)) {
        holes.emplace_back(h.from, h.to);
        EXPECT_EQ(h.cause, cause);
    }
    EXPECT_EQ(holes, expected);
    for (const Span& h : expected) {
        EXPECT_NE(cov.HoleAt(key, h.first), nullptr);
        EXPECT_NE(cov.HoleAt(key, h.second - 1), nullptr);
        // Holes that meet are joined, so the time right behind one lies in none.
        EXPECT_EQ(cov.HoleAt(key, h.second), nullptr);
    }
}

// The trusted chunks of `stream` are the planned ones in `kept` (file order), with their times.
void ExpectTrusted(Recording& r, const CKVTACoverage& cov, const std::string& stream, const std::vector<size_t>& kept)
{
    SCOPED_TRACE(stream);
    std::vector<Span> planned;
    std::vector<Span> trusted;
    for (size_t i : kept)
        if (r.chunks[i].stream == stream)
            planned.emplace_back(r.layout.chunkAt[i], T0 + r.chunks[i].startNs);
    for (size_t i : cov.ChunksOf(KeyOf(stream)))
        trusted.emplace_back(r.file.GetChunkChain()->At(i).offset, r.file.GetChunkChain()->At(i).start);
    EXPECT_EQ(trusted, planned);
}

// The holes of both streams of samples of an old file are the planned times of `lost`; its chunks
// carry ids of their own, so the streams' keys come from the file.
void ExpectOldFileHoles(Recording& r, const CKVTACoverage& cov, const std::vector<size_t>& lost)
{
    for (int n = 0; n < r.file.GetStreamCount(); ++n) {
        const std::string stream = r.file.GetStream(n)->GetName();
        if (stream == kElec || stream == kDigi)
            ExpectHoles(cov, stream, PlannedHoles(r, stream, lost), KvtHoleCause::kDamagedHead,
                        r.file.GetStream(n)->GetChunkKey());
    }
}

std::vector<size_t> AllBut(const Recording& r, const std::vector<size_t>& lost)
{
    std::vector<size_t> kept;
    for (size_t i = 0; i < r.chunks.size(); ++i)
        if (std::find(lost.begin(), lost.end(), i) == lost.end())
            kept.push_back(i);
    return kept;
}

// Each of `streams` keeps every chunk but `lost`, whose times are its holes, as the plan has them.
void ExpectOnlyLost(Recording& r, const CKVTACoverage& cov, const std::vector<const char*>& streams,
                    const std::vector<size_t>& lost)
{
    for (const char* stream : streams) {
        ExpectHoles(cov, stream, PlannedHoles(r, stream, lost), KvtHoleCause::kDamagedHead);
        ExpectTrusted(r, cov, stream, AllBut(r, lost));
    }
}

// The planned starts of the chunks of `stream`, in file order.
std::vector<uint64_t> PlannedStarts(const Recording& r, const std::string& stream)
{
    std::vector<uint64_t> starts;
    for (const KvdPlannedChunk& k : r.chunks)
        if (k.stream == stream)
            starts.push_back(T0 + k.startNs);
    return starts;
}

// The starts of the chunks of `stream` that the account trusts; the stream's key comes from the
// file, as old files carry ids of their own.
std::vector<uint64_t> TrustedStarts(Recording& r, const CKVTACoverage& cov, const std::string& stream)
{
    std::vector<uint64_t> starts;
    for (int n = 0; n < r.file.GetStreamCount(); ++n)
        if (r.file.GetStream(n)->GetName() == stream)
            for (size_t i : cov.ChunksOf(r.file.GetStream(n)->GetChunkKey()))
                starts.push_back(r.file.GetChunkChain()->At(i).start);
    return starts;
}

// Nothing lost, the extent reaching the planned end, every chunk of `stream` trusted at its
// planned start.
void ExpectNothingLost(Recording& r, const CKVTACoverage& cov, const char* stream)
{
    EXPECT_FALSE(cov.HasHoles());
    EXPECT_EQ(cov.ExtentEnd(), r.End());
    EXPECT_EQ(TrustedStarts(r, cov, stream), PlannedStarts(r, stream));
}

// The holes of the streams named `stream`, of every stream where it is empty; the keys come from
// the file, as old files carry ids of their own.
std::vector<Span> FileHoles(Recording& r, const CKVTACoverage& cov, const std::string& stream = "")
{
    std::vector<Span> holes;
    for (int n = 0; n < r.file.GetStreamCount(); ++n)
        if (stream.empty() || r.file.GetStream(n)->GetName() == stream)
            for (const KvtHole& h : cov.HolesOf(r.file.GetStream(n)->GetChunkKey()))
                holes.emplace_back(h.from, h.to);
    return holes;
}

// Nothing of `r` cut, its extent whole, and of the electrodes only chunk `lost` lost, where the
// plan puts it.
void ExpectUncutWithLost(const Recording& r, const CKVTACoverage& cov, size_t lost)
{
    EXPECT_FALSE(cov.FileCut());
    EXPECT_EQ(cov.ExtentEnd(), r.End());
    ExpectHoles(cov, kElec, PlannedHoles(r, kElec, {lost}), KvtHoleCause::kDamagedHead);
}

} // namespace

// Each lost head costs its own chunk's time, in its own stream, wherever it lies.
TEST(CKVTACoverage, LostChunksLeaveHolesWhereTheyWere)
{
    struct Case
    {
        const char* name;
        bool spikes;
        std::vector<std::pair<const char*, int>> lost;   // stream, slot
    };
    const Case cases[] = {
        {"two holes in one stream", false, {{kElec, 1}, {kElec, 4}}},
        {"a hole in each of two streams", false, {{kElec, 1}, {kDigi, 3}}},
        {"the first chunk of the file", false, {{kElec, 0}}},
        {"the first chunk of the second stream", false, {{kDigi, 0}}},
        {"the last chunk of a stream", false, {{kElec, 5}}},
        {"the last chunk of the file", false, {{kDigi, 5}}},
        {"two event chunks in a row (their holes meet)", true, {{kSpikes, 2}, {kSpikes, 3}}},
        {"an event chunk and a chunk of samples", true, {{kSpikes, 4}, {kDigi, 1}}},
        // One stretch skipped behind a damaged head that holds chunks of more than its stream.
        {"two streams' chunks of one slot in a row", false, {{kElec, 2}, {kDigi, 2}}},
        {"two chunks of one stream around a sound one", false, {{kElec, 2}, {kElec, 3}}},
        {"three streams' chunks in a row", true, {{kDigi, 2}, {kSpikes, 2}, {kElec, 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        Write(SmallPlan(c.spikes), r);
        std::vector<size_t> lost;
        for (const auto& [stream, slot] : c.lost)
            lost.push_back(r.Chunk(stream, slot));
        for (size_t i : lost)
            LoseChunk(r, i);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        EXPECT_EQ(cov.ExtentStart(), T0);
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        ExpectOnlyLost(r, cov, c.spikes ? std::vector<const char*> {kElec, kDigi, kSpikes}
                                        : std::vector<const char*> {kElec, kDigi},
                       lost);
    }
}

// In sweeps a lost chunk's time lies in the sweep it belonged to, even where it was all its
// stream had of a sweep between two others: its head's start tells, or failing that the sweep
// the other streams recorded then.
TEST(CKVTACoverage, InSweepsALostChunkLeavesItsHoleInItsOwnSweep)
{
    struct Case
    {
        const char* name;
        int sweepMs;       // 10: one slot a sweep
        int sweep;         // of the lost digital chunk
        int slot;          // within its sweep
        bool timesZeroed;  // else its head keeps its start
        bool lone = false; // the electrode stream alone, the lost chunk one of it
    };
    const Case cases[] = {
        {"a middle sweep's only chunk, its start kept", 10, 1, 0, false},
        {"a middle sweep's only chunk, its times zeroed", 10, 1, 0, true},
        {"the first chunk of a middle sweep, its times zeroed", 20, 1, 0, true},
        {"the last chunk of a middle sweep, its times zeroed", 20, 1, 1, true},
        {"a lone stream's only chunk of a middle sweep, its times zeroed", 10, 1, 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(c.sweepMs);
        if (c.lone)
            plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, c.sweep) + static_cast<uint64_t>(c.slot) * 10 * kMs;
        const char* const damaged = c.lone ? kElec : kDigi;
        size_t lost = r.chunks.size();
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].stream == damaged && r.chunks[i].startNs == start)
                lost = i;
        ASSERT_LT(lost, r.chunks.size());
        LoseChunk(r, lost);
        if (c.timesZeroed)
            PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[lost] + Kvd::DataChunk::kStart, 0);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        ExpectHoles(cov, damaged, {{T0 + start, T0 + start + 10 * kMs}}, KvtHoleCause::kDamagedHead);
        if (!c.lone)
            ExpectHoles(cov, kElec, {}, KvtHoleCause::kDamagedHead);
    }
}

// A head that names no stream leaves bytes that are the chunk of the stream whose gap around them
// they fit; a gap that ended before the chunk in front of them began (another stream's pause of
// just their length) was written earlier in the file and is not theirs.
TEST(CKVTACoverage, BytesWithoutAStreamFillNoGapThatEndedBeforeThem)
{
    struct Case
    {
        const char* name;
        int pauseMs;
        int sweep;           // of the electrode chunk whose head is lost
    };
    const Case cases[] = {
        {"a middle sweep, the digital pause as long as the chunk's bytes", 20, 1},
        {"a middle sweep, a longer pause", 30, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(10);
        plan.fileVersion = 0;
        plan.gapMs = c.pauseMs;
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, c.sweep);
        size_t lost = r.chunks.size();
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].stream == kElec && r.chunks[i].startNs == start)
                lost = i;
        ASSERT_LT(lost, r.chunks.size());
        std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[lost]),
                    Kvd::DataChunk::kHeaderBytes, uint8_t {0xFF});
        ExpectOldFileHoles(r, r.Open(), {lost});
    }
}

// In an old file a trigger's head whose size is wrong makes the chain skip the samples chunk
// written behind it too: that chunk's time is its stream's loss, in its own sweep, the first
// sweep's at the recording's start though no trigger of it is left.
TEST(CKVTACoverage, ASamplesChunkSkippedBehindItsTriggersHeadIsItsStreamsLoss)
{
    struct Case
    {
        const char* name;
        int sweepMs;
        int sweep;             // of the trigger whose size is wrong
        bool samplesHeadLost;  // else the samples head's size is one record more
    };
    const Case cases[] = {
        {"the first sweep of one chunk, its samples head unreadable", 10, 0, true},
        {"the first sweep of one chunk, its samples head a record long", 10, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(c.sweepMs);
        plan.fileVersion = 0;
        plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, c.sweep);
        size_t trigger = r.chunks.size();
        size_t samples = r.chunks.size();
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            if (r.chunks[i].startNs != start)
                continue;
            (r.chunks[i].stream == kTrigger ? trigger : samples) = i;
        }
        ASSERT_LT(trigger, r.chunks.size());
        ASSERT_LT(samples, r.chunks.size());
        const size_t at = r.layout.chunkAt[samples];
        PatchLE<int64_t>(r.bytes, r.layout.chunkAt[trigger] + Kvd::DataChunk::kSize, 1);
        if (c.samplesHeadLost) {
            std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                        Kvd::DataChunk::kHeaderBytes, uint8_t {0xFF});
        } else {
            const int64_t size = LoadLE<int64_t>(&r.bytes[at + Kvd::DataChunk::kSize]);
            PatchLE<int64_t>(r.bytes, at + Kvd::DataChunk::kSize, size + 2);
        }
        ExpectOldFileHoles(r, r.Open(), {samples});
    }
}

// A damaged head whose start and stop were swapped claims the time between them: it tells in
// which sweep its chunk's time was lost, even where its stop alone would end the sweep before
// (a pause as long as a chunk).
TEST(CKVTACoverage, AHeadWithSwappedTimesClaimsTheSpanBetweenThem)
{
    for (const int pauseMs : {10, 30}) {
        SCOPED_TRACE(pauseMs);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(20);
        plan.fileVersion = 0;
        plan.gapMs = pauseMs;
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, 1);
        size_t swapped = r.chunks.size();
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].stream == kElec && r.chunks[i].startNs == start)
                swapped = i;
        ASSERT_LT(swapped, r.chunks.size());
        const uint64_t at = r.layout.chunkAt[swapped];
        PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStart, T0 + r.chunks[swapped].stopNs);
        PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStop, T0 + r.chunks[swapped].startNs);
        // Its size damaged too, the swapped times are not its chunk's own put the wrong way.
        PatchLE<int64_t>(r.bytes, at + Kvd::DataChunk::kSize, 5);
        ExpectOldFileHoles(r, r.Open(), {swapped});
    }
}

// A head whose start and stop were swapped is its chunk's head again: nothing is lost.
TEST(CKVTACoverage, AHeadWithItsTimesSwappedKeepsItsChunk)
{
    struct Case
    {
        const char* name;
        bool sweeps;
        int sweep;   // in sweeps, of the damaged chunk (its first)
    };
    const Case cases[] = {
        {"a continuous recording's middle chunk", false, 0},
        {"a lone stream's only chunk of a middle sweep", true, 1},
        {"a lone stream's only chunk of the last sweep", true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = c.sweeps ? SweepPlan(10) : SmallPlan();
        plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        const uint64_t start = c.sweeps ? KvdSweepStartNs(plan, c.sweep) : 30 * kMs;
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            if (r.chunks[i].stream != kElec || r.chunks[i].startNs != start)
                continue;
            const uint64_t at = r.layout.chunkAt[i];
            PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStart, T0 + r.chunks[i].stopNs);
            PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStop, T0 + r.chunks[i].startNs);
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.HasHoles());
        ExpectTrusted(r, cov, kElec, AllBut(r, {}));
    }
}

// A lone stream's last chunk of a sweep lost behind a chunk whose times are a nanosecond late:
// its head's start still tells that the loss ends its own sweep, not that it begins the next
// (whose trigger's start, moved a slot early, lies in the gap).
TEST(CKVTACoverage, InSweepsALostChunksStartTellsItsSweepThoughTheChunkBeforeStopsLate)
{
    Recording r;
    KvdRecordingPlan plan = SweepPlan(30);
    plan.streams = {KvdRawStreamPlan()};
    Write(plan, r);
    const uint64_t start = KvdSweepStartNs(plan, 1);
    for (size_t i = 0; i < r.chunks.size(); ++i) {
        if (r.chunks[i].stream != kElec)
            continue;
        const uint64_t at = r.layout.chunkAt[i];
        if (r.chunks[i].startNs == start + 10 * kMs)
            MoveTimes(r, i, 1);
        if (r.chunks[i].startNs == start + 20 * kMs)
            PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStop, UINT64_MAX);
    }
    // The next sweep's trigger starts a slot early, inside the gap.
    for (size_t i = 0; i < r.chunks.size(); ++i)
        if (r.chunks[i].stream == kTrigger && r.chunks[i].startNs == KvdSweepStartNs(plan, 2))
            PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[i] + Kvd::DataChunk::kStart,
                              T0 + KvdSweepStartNs(plan, 2) - 10 * kMs);
    const CKVTACoverage& cov = r.Open();
    const uint64_t key = KeyOf(kElec);
    EXPECT_NE(cov.HoleAt(key, T0 + start + 25 * kMs), nullptr);
    EXPECT_EQ(cov.HoleAt(key, T0 + KvdSweepStartNs(plan, 2)), nullptr);
    EXPECT_EQ(cov.HoleAt(key, T0 + start + 40 * kMs), nullptr);
}

// In sweeps chunks follow each other exactly: a chunk whose times both moved a nanosecond later
// overlaps the next by as much, and the trigger's start or the chunk before shows where it began.
// Nothing is lost and every sweep starts where it was recorded.
TEST(CKVTACoverage, InSweepsAChunkMovedANanosecondLaterKeepsItsPlace)
{
    struct Case
    {
        const char* name;
        uint16_t version;
        int sweep;
        int slot;   // of the moved chunk within its sweep
    };
    const Case cases[] = {
        {"the first sweep's first chunk", 5, 0, 0},
        {"a middle sweep's first chunk", 11, 1, 0},
        {"a middle sweep's second chunk", 5, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(30);
        plan.fileVersion = c.version;
        plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, c.sweep) + static_cast<uint64_t>(c.slot) * 10 * kMs;
        size_t moved = r.chunks.size();
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].stream == kElec && r.chunks[i].startNs == start)
                moved = i;
        ASSERT_LT(moved, r.chunks.size());
        MoveTimes(r, moved, 1);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.HasHoles());
        ASSERT_EQ(r.file.GetSweepCount(), plan.sweeps);
        for (int k = 0; k < plan.sweeps; ++k)
            EXPECT_EQ(r.file.GetSweepStartValue(k), T0 + KvdSweepStartNs(plan, k)) << "sweep " << k;
    }
}

// In sweeps, bytes whose heads name no stream are the loss of every stream of samples that lacks
// time around them, where another stream recorded within its gap (the trigger that starts the
// sweep): side by side, each stream's share is its own chunk's time, which begins the sweep.
TEST(CKVTACoverage, InSweepsBytesUnderHeadsThatNameNoStreamAreSharedByTheStreamsLackingThem)
{
    struct Case
    {
        const char* name;
        uint16_t version;
        int sweepMs;   // 10: one slot a sweep
    };
    const Case cases[] = {
        {"the first slot of a middle sweep", 11, 20},
        {"the first slot of a middle sweep, an older file", 5, 30},
        {"a middle sweep's only slot", 11, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(c.sweepMs);
        plan.fileVersion = c.version;
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, 1);
        for (const char* stream : {kElec, kDigi}) {
            for (size_t i = 0; i < r.chunks.size(); ++i)
                if (r.chunks[i].stream == stream && r.chunks[i].startNs == start)
                    std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[i]),
                                Kvd::DataChunk::kHeaderBytes, uint8_t(0xFF));
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        for (const char* stream : {kElec, kDigi})
            ExpectHoles(cov, stream, {{T0 + start, T0 + start + 10 * kMs}}, KvtHoleCause::kDamagedHead);
    }
}

// With a stored index the sweeps it holds are where a stream of samples recorded: a chunk moved
// out of them with its trigger, or lost behind the data (with its trigger or not), leaves its
// hole in its own sweep.
TEST(CKVTACoverage, WithAStoredIndexALostChunkLeavesItsHoleInItsStoredSweep)
{
    struct Case
    {
        const char* name;
        int sweep;           // of the damaged electrode chunk (one a sweep)
        bool triggerToo;     // its trigger's times moved alike
        int64_t moveNs;      // both times moved by this; 0: its head unreadable
        bool lost = true;    // else it keeps its place: no hole
    };
    const Case cases[] = {
        {"a middle sweep's chunk and its trigger a chunk earlier", 1, true, -10 * int64_t(kMs)},
        {"the last sweep's chunk and its trigger a chunk earlier", 2, true, -10 * int64_t(kMs)},
        {"the last sweep's chunk a chunk later", 2, false, 10 * int64_t(kMs)},
        {"a middle sweep's chunk a nanosecond later", 1, false, 1, false},
        {"the last sweep's chunk unreadable", 2, false, 0},
        {"a middle sweep's chunk unreadable", 1, false, 0},
        // Read as one stretch behind the data, named by the trigger's head.
        {"the last sweep's chunk and its trigger unreadable", 2, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = LoneStreamSweepPlan();
        plan.storedIndex = true;
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, c.sweep);
        std::vector<size_t> moved;
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].startNs == start && (r.chunks[i].stream == kElec || c.triggerToo))
                moved.push_back(i);
        ASSERT_EQ(moved.size(), c.triggerToo ? 2u : 1u);
        for (size_t i : moved) {
            if (c.moveNs == 0) {
                LoseChunk(r, i);
                continue;
            }
            MoveTimes(r, i, c.moveNs);
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        const std::vector<size_t> lost = c.lost ? moved : std::vector<size_t>();
        ExpectHoles(cov, kElec, PlannedHoles(r, kElec, lost), KvtHoleCause::kDamagedHead);
        if (c.lost)
            ExpectTrusted(r, cov, kElec, AllBut(r, lost));
    }
}

// A lone stream's chunk that meets no neighbour and no other stream is not trusted; where its
// bytes lie tells its time only as far as its head's claim does: a claim of a whole sweep of its
// own (its trigger head zeroed) is believed, a claim of part of a sweep (its times moved a chunk
// on) is not, and the loss ends the sweep before.
TEST(CKVTACoverage, ALoneChunkThatNothingVouchesForLosesTheTimeItsHeadCanTell)
{
    struct Case
    {
        const char* name;
        int sweepMs;
        bool zeroTrigger;     // else the last chunk of sweep 1 moves a chunk on
        uint64_t lostFrom;    // into sweep 1
    };
    const Case cases[] = {
        {"a sweep of one chunk, its trigger head zeroed", 10, true, 0},
        {"a sweep's last chunk a chunk late", 20, false, 10 * kMs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(c.sweepMs);
        plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, 1);
        const uint64_t last = start + static_cast<uint64_t>(c.sweepMs) * kMs - 10 * kMs;
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            const size_t at = r.layout.chunkAt[i];
            if (c.zeroTrigger && r.chunks[i].stream == kTrigger && r.chunks[i].startNs == start)
                std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(at), Kvd::DataChunk::kHeaderBytes,
                            uint8_t(0));
            if (!c.zeroTrigger && r.chunks[i].stream == kElec && r.chunks[i].startNs == last) {
                PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStart, T0 + last + 10 * kMs);
                PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStop, T0 + last + 20 * kMs);
            }
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        const uint64_t from = T0 + start + c.lostFrom;
        ExpectHoles(cov, kElec, {{from, from + 10 * kMs}}, KvtHoleCause::kDamagedHead);
    }
}

// A head with one wrong field that the times or the neighbours of its chunk set right: the chunk
// is trusted with its planned size and times, and nothing is lost.
TEST(CKVTACoverage, AHeadWithOneWrongFieldIsMended)
{
    struct Case
    {
        const char* name;
        size_t field;
        std::function<int64_t(int64_t)> value;   // from the field as written
    };
    const int64_t slotNs = 10 * static_cast<int64_t>(kMs);
    const Case cases[] = {
        {"size 0", Kvd::DataChunk::kSize, [](int64_t) { return 0; }},
        {"size 6 bytes long", Kvd::DataChunk::kSize, [](int64_t v) { return v + 6; }},
        {"size of two chunks", Kvd::DataChunk::kSize, [](int64_t v) { return 2 * v; }},
        {"stop seconds late", Kvd::DataChunk::kStop, [](int64_t v) { return v + 3000 * static_cast<int64_t>(kMs); }},
        {"stop half a chunk early", Kvd::DataChunk::kStop, [&](int64_t v) { return v - slotNs / 2; }},
        {"start zero", Kvd::DataChunk::kStart, [](int64_t) { return 0; }},
        {"start half a chunk late", Kvd::DataChunk::kStart, [&](int64_t v) { return v + slotNs / 2; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        Write(SmallPlan(), r);
        const size_t damaged = r.Chunk(kElec, 2);
        const size_t at = r.layout.chunkAt[damaged] + c.field;
        PatchLE<int64_t>(r.bytes, at, c.value(LoadLE<int64_t>(r.bytes.data() + at)));
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.HasHoles());
        EXPECT_FALSE(cov.FileCut());
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        ExpectTrusted(r, cov, kElec, AllBut(r, {}));
        ExpectTrusted(r, cov, kDigi, AllBut(r, {}));
        const std::vector<size_t>& elec = cov.ChunksOf(KeyOf(kElec));
        ASSERT_EQ(elec.size(), 6u);
        const KvtChunkInfo& mended = r.file.GetChunkChain()->At(elec[2]);
        EXPECT_EQ(mended.stop, T0 + r.chunks[damaged].stopNs);
        EXPECT_EQ(static_cast<uint64_t>(mended.payloadSize), 100 * r.chunks[damaged].recordBytes);
    }
}

// A chunk that meets no neighbour of its own stream (the only one of its stream in a sweep, or
// beside another damaged head) is judged by the other streams' chunks of its period: they mend
// its one wrong time field, keep it where a head of theirs is damaged too, and tell whose bytes
// a chunk carrying another stream's id holds.
TEST(CKVTACoverage, TheOtherStreamsOfAPeriodVouchForAChunk)
{
    struct Patch
    {
        const char* stream;
        int slot;            // in a recording of sweeps, the sweep (one slot each)
        size_t field;
        std::function<uint64_t(uint64_t)> value;   // from the field as written
    };
    struct Case
    {
        const char* name;
        bool sweeps;         // three sweeps of one slot, 30 ms apart; else six slots in a row
        bool digital;        // the digital stream is recorded too
        std::vector<Patch> patches;
        std::vector<std::pair<const char*, int>> lost;   // the chunks whose time is lost
        uint16_t version = 11;
        int sweepCount = 3;
    };
    const auto to = [](uint64_t v) { return [v](uint64_t) { return v; }; };
    const uint64_t slot = 10 * kMs;
    const uint64_t digiId = LoadLE<uint64_t>(reinterpret_cast<const uint8_t*>("digi0001"));
    const uint64_t elecId = LoadLE<uint64_t>(reinterpret_cast<const uint8_t*>("elec0001"));
    const Case cases[] = {
        {"a sweep's only chunk, its stop far past", true, true,
         {{kElec, 1, Kvd::DataChunk::kStop, to(UINT64_MAX)}}, {}},
        {"a sweep's only chunk, its stop a chunk late", true, true,
         {{kElec, 1, Kvd::DataChunk::kStop, [&](uint64_t v) { return v + slot; }}}, {}},
        {"a sweep's only chunk, its start 0", true, true, {{kElec, 1, Kvd::DataChunk::kStart, to(0)}}, {}},
        {"a sweep's only chunk, its start far past", true, true,
         {{kElec, 1, Kvd::DataChunk::kStart, to(UINT64_MAX - 1)}}, {}},
        {"a lone stream's chunk whose trigger's stop is far past", true, false,
         {{kTrigger, 1, Kvd::DataChunk::kStop, to(UINT64_MAX)}}, {}},
        {"a lone stream's chunk whose trigger's stop is 0", true, false,
         {{kTrigger, 1, Kvd::DataChunk::kStop, to(0)}}, {}},
        {"a lone stream's chunk whose trigger's start is 1", true, false,
         {{kTrigger, 1, Kvd::DataChunk::kStart, to(1)}}, {}, 0},
        {"a lone stream's chunk whose stop is its start", true, false,
         {{kElec, 1, Kvd::DataChunk::kStop, [&](uint64_t v) { return v - slot; }}}, {}},
        {"a lone stream of two sweeps, a chunk whose stop is its start", true, false,
         {{kElec, 1, Kvd::DataChunk::kStop, [&](uint64_t v) { return v - slot; }}}, {}, 11, 2},
        {"a lone stream's chunk whose start is a chunk early, its trigger spanning it", true, false,
         {{kElec, 1, Kvd::DataChunk::kStart, [&](uint64_t v) { return v - slot; }}}, {}},
        {"a lone stream's chunk whose trigger carries the electrode id", true, false,
         {{kTrigger, 1, Kvd::DataChunk::kId, to(elecId)}}, {}},
        {"a lone stream's last chunk, its trigger unreadable, no stop stored", true, false,
         {{kTrigger, 2, Kvd::DataChunk::kSize, [](uint64_t v) { return v + 1; }}}, {}, 0},
        // Its frames fill the time from the start, where the digital stream begins, to the
        // second chunk: it goes back there.
        {"a first chunk moved a chunk before the recording", false, true,
         {{kElec, 0, Kvd::DataChunk::kStart, [&](uint64_t v) { return v - slot; }},
          {kElec, 0, Kvd::DataChunk::kStop, [&](uint64_t v) { return v - slot; }}},
         {}},
        {"a chunk beside another stream's chunk whose start is 1", true, true,
         {{kDigi, 1, Kvd::DataChunk::kStart, to(1)}}, {}},
        {"a chunk whose trigger is lost and whose neighbour's stop is far past", true, true,
         {{kTrigger, 1, Kvd::DataChunk::kSize, to(5)},
          {kTrigger, 1, Kvd::DataChunk::kStop, to(0)},
          {kDigi, 1, Kvd::DataChunk::kStop, to(UINT64_MAX)}},
         {}},
        {"a last chunk 10 s late, behind a head whose stop is far past", true, true,
         {{kElec, 1, Kvd::DataChunk::kStop, to(UINT64_MAX)},
          {kDigi, 2, Kvd::DataChunk::kStart, [](uint64_t v) { return v + 10000 * kMs; }},
          {kDigi, 2, Kvd::DataChunk::kStop, [](uint64_t v) { return v + 10000 * kMs; }}},
         {{kDigi, 2}}},
        // Its frames fit the electrode stream's gap alone, as long as its chunk before: it goes back.
        {"an electrode chunk carrying the digital id", false, true,
         {{kElec, 2, Kvd::DataChunk::kId, to(digiId)}}, {}},
        // The twins' order in the file puts the moved one back.
        {"a twin a chunk early beside a mended neighbour", false, true,
         {{kElec, 2, Kvd::DataChunk::kStop, to(1)},
          {kElec, 4, Kvd::DataChunk::kStart, [&](uint64_t v) { return v - slot; }},
          {kElec, 4, Kvd::DataChunk::kStop, [&](uint64_t v) { return v - slot; }}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = c.sweeps ? SweepPlan(10) : SmallPlan();
        plan.fileVersion = c.version;
        plan.sweeps = c.sweepCount;
        if (!c.digital)
            plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        const auto chunk = [&](const std::string& stream, int n) {
            const uint64_t start = c.sweeps ? KvdSweepStartNs(plan, n) : static_cast<uint64_t>(n) * slot;
            for (size_t i = 0; i < r.chunks.size(); ++i)
                if (r.chunks[i].stream == stream && r.chunks[i].startNs == start)
                    return i;
            ADD_FAILURE() << "no chunk of " << stream << " at " << n;
            return size_t(0);
        };
        for (const Patch& p : c.patches) {
            const size_t at = r.layout.chunkAt[chunk(p.stream, p.slot)] + p.field;
            PatchLE<uint64_t>(r.bytes, at, p.value(LoadLE<uint64_t>(r.bytes.data() + at)));
        }
        std::vector<size_t> lost;
        for (const auto& [stream, n] : c.lost)
            lost.push_back(chunk(stream, n));
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        for (const char* stream : {kElec, kDigi}) {
            if (!c.digital && stream == kDigi)
                continue;
            // Version 0 names chunks by number: the stream's key is the file's own.
            uint64_t key = 0;
            for (int n = 0; n < r.file.GetStreamCount(); ++n)
                if (r.file.GetStream(n)->GetName() == stream)
                    key = r.file.GetStream(n)->GetChunkKey();
            ExpectHoles(cov, stream, PlannedHoles(r, stream, lost), KvtHoleCause::kDamagedHead, key);
            std::vector<size_t> kept;
            for (size_t i : AllBut(r, lost))
                if (r.chunks[i].stream == stream)
                    kept.push_back(i);
            ASSERT_EQ(cov.ChunksOf(key).size(), kept.size()) << stream;
            for (size_t k = 0; k < kept.size(); ++k) {
                const KvtChunkInfo& got = r.file.GetChunkChain()->At(cov.ChunksOf(key)[k]);
                EXPECT_EQ(got.offset, r.layout.chunkAt[kept[k]]) << stream << " " << k;
                EXPECT_EQ(got.start, T0 + r.chunks[kept[k]].startNs) << stream << " " << k;
                EXPECT_EQ(got.stop, T0 + r.chunks[kept[k]].stopNs) << stream << " " << k;
            }
        }
    }
}

// Every stream of a continuous recording records in every period until it ends. A chunk whose
// two times moved by a whole chunk, into a pause of all streams or past the end of its stream,
// leaves its stream lacking the period the chunks beside it in the file hold: it is that
// period's, kept with its planned times, and nothing is lost.
TEST(CKVTACoverage, AChunkMovedAWholeChunkBelongsToThePeriodBesideIt)
{
    struct Case
    {
        const char* name;
        int pauseSlot;        // a pause of all streams; -1: none
        bool digitalEndsEarly;  // the digital stream has no chunk in the last slot
        const char* stream;   // the chunk whose times move
        int slot;
        int64_t bySlots;      // how far both its times move
        bool storedIndex;
        bool spikes = true;   // a third stream tells the period apart
        bool moves = true;    // false: two streams' chunks alone tell no period
    };
    const Case cases[] = {
        {"an electrode chunk moved back into the pause before it", 3, false, kElec, 4, -1, false},
        {"a digital chunk moved back into the pause before it", 3, false, kDigi, 4, -1, false},
        {"an electrode chunk moved on into the pause behind it", 3, false, kElec, 2, 1, true},
        {"the last chunk of a stream that ends early moved on past its end", -1, true, kDigi, 4, 1,
         true},
        {"the last chunk of a stream that ends early moved on, no index", -1, true, kDigi, 4, 1,
         false},
        {"without spikes, a digital chunk moved back into the pause before it", 3, false, kDigi, 4, -1,
         false, false, false},
    };
    const int64_t slot = 10 * kMs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SmallPlan(c.spikes, c.storedIndex);
        if (c.pauseSlot >= 0)
            plan.dropChunks = {c.pauseSlot};
        if (c.digitalEndsEarly)
            plan.streams[1].missingSlots = {plan.chunks - 1};
        Write(plan, r);
        const size_t moved = r.Chunk(c.stream, c.slot);
        MoveTimes(r, moved, c.bySlots * slot);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        if (!c.moves) {
            // Either the digital chunk moved back or the electrode chunk beside it moved on:
            // neither is put into a period; every chunk keeps the times its head gives.
            for (const char* stream : {kElec, kDigi})
                for (size_t i : cov.ChunksOf(KeyOf(stream))) {
                    const KvtChunkInfo& got = r.file.GetChunkChain()->At(i);
                    const int64_t shift = got.offset == r.layout.chunkAt[moved] ? c.bySlots * slot : 0;
                    const auto planned = std::find(r.layout.chunkAt.begin(), r.layout.chunkAt.end(), got.offset);
                    ASSERT_NE(planned, r.layout.chunkAt.end());
                    EXPECT_EQ(got.start, T0 + r.chunks[planned - r.layout.chunkAt.begin()].startNs + shift);
                }
            continue;
        }
        for (const char* stream : {kElec, kDigi}) {
            ExpectHoles(cov, stream, {}, KvtHoleCause::kDamagedHead);
            ExpectTrusted(r, cov, stream, AllBut(r, {}));
            for (size_t i : cov.ChunksOf(KeyOf(stream))) {
                const KvtChunkInfo& got = r.file.GetChunkChain()->At(i);
                const auto planned = std::find(r.layout.chunkAt.begin(), r.layout.chunkAt.end(), got.offset);
                ASSERT_NE(planned, r.layout.chunkAt.end());
                EXPECT_EQ(got.stop, T0 + r.chunks[planned - r.layout.chunkAt.begin()].stopNs);
            }
        }
    }
}

// An old file's first chunk may begin a little before the header's start, but a lone stream's
// first chunk moved a whole chunk early, beside a trigger chunk that starts at the header's
// start, has moved: its time is named lost, not read as recorded before the triggers began.
TEST(CKVTACoverage, ALoneStreamsFirstChunkMovedBeforeItsTriggersIsLost)
{
    Recording r;
    KvdRecordingPlan plan = OldLonePlan();
    plan.triggerEverySlot = true;
    Write(plan, r);
    size_t first = r.chunks.size();
    for (size_t i = 0; i < r.chunks.size() && first == r.chunks.size(); ++i)
        if (r.chunks[i].stream == kElec)
            first = i;
    ASSERT_EQ(r.chunks[first].startNs, 0u);
    MoveTimes(r, first, -10 * static_cast<int64_t>(kMs));
    const CKVTACoverage& cov = r.Open();
    EXPECT_EQ(cov.ExtentStart(), T0);
    for (int n = 0; n < r.file.GetStreamCount(); ++n) {
        const std::string stream = r.file.GetStream(n)->GetName();
        ExpectHoles(cov, stream, PlannedHoles(r, stream, {first}), KvtHoleCause::kDamagedHead,
                    r.file.GetStream(n)->GetChunkKey());
    }
}

// A chunk of samples whose head carries an event stream's id is its own stream's chunk again
// where its frames fill just the gap its stream has there: nothing is lost and the events
// keep only their own chunks.
TEST(CKVTACoverage, SamplesUnderAnEventStreamsIdAreTheirStreams)
{
    struct Case
    {
        const char* name;
        const char* stream;  // whose chunk takes the spikes' id
        int slot;
        bool digital;        // the digital stream is recorded too
        bool storedIndex;    // its stop tells where the last chunk ends
    };
    const Case cases[] = {
        {"the first electrode chunk", kElec, 0, true, false},
        {"a middle digital chunk", kDigi, 3, true, false},
        {"a lone stream's middle chunk", kElec, 2, false, false},
        {"a lone stream's last chunk, the index's stop behind it", kElec, 5, false, true},
    };
    const uint64_t spikesId = LoadLE<uint64_t>(reinterpret_cast<const uint8_t*>("spks0001"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SmallPlan(true, c.storedIndex);
        if (!c.digital)
            plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[r.Chunk(c.stream, c.slot)] + Kvd::DataChunk::kId,
                          spikesId);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.HasHoles());
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        for (const char* stream : {kElec, kDigi, kSpikes})
            if (c.digital || stream != kDigi)
                ExpectTrusted(r, cov, stream, AllBut(r, {}));
    }
}

// An old file tells no stop: a lone stream's chunk under the triggers' id before its last chunk
// still leads the chain to that chunk, and goes back to its stream.
TEST(CKVTACoverage, InAnOldFileSamplesUnderAnEventIdLeadToTheLastChunk)
{
    const struct
    {
        const char* name;
        int slot;   // whose electrode chunk takes the triggers' id
    } cases[] = {{"the one before the last", 4}, {"a middle one", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = OldLonePlan();
        plan.triggerMs = {5};
        Write(plan, r);
        GiveTriggersId(r, r.Chunk(kElec, c.slot));
        const CKVTACoverage& cov = r.Open();
        ExpectNothingLost(r, cov, kElec);
    }
}

// In a recording of sweeps a chunk of samples that took the trigger stream's id goes back to
// its stream where its frames fill just the gap there, or, at a sweep's edge, meet the chunk
// before or behind it or start with the trigger beside it: the triggers keep only their own
// chunks, whose times alone start the sweeps.
TEST(CKVTACoverage, SweepSamplesUnderTheTriggersIdAreTheirStreams)
{
    struct Case
    {
        const char* name;
        uint16_t version;
        int sweepMs;
        int sweep;
        uint64_t intoSweep;   // the chunk's start from its sweep's
    };
    const Case cases[] = {
        {"an old file's first sweep's first chunk", 0, 30, 0, 0},
        {"an old file's later sweep's middle chunk", 0, 30, 1, 10 * kMs},
        {"a later sweep's first chunk", 11, 30, 1, 0},
        {"a later sweep's last chunk", 5, 30, 1, 20 * kMs},
        {"the last sweep's last chunk", 11, 20, 2, 10 * kMs},
        {"a later sweep's only chunk", 11, 10, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(c.sweepMs);
        plan.fileVersion = c.version;
        plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        const auto chunkAt = [&](const char* stream, uint64_t start) {
            for (size_t i = 0; i < r.chunks.size(); ++i)
                if (r.chunks[i].stream == stream && r.chunks[i].startNs == start)
                    return i;
            ADD_FAILURE() << "no chunk of " << stream << " at " << start;
            return size_t(0);
        };
        const uint64_t sweepStart = KvdSweepStartNs(plan, c.sweep);
        const uint64_t triggerId =
            LoadLE<uint64_t>(r.bytes.data() + r.layout.chunkAt[chunkAt(kTrigger, sweepStart)] + Kvd::DataChunk::kId);
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[chunkAt(kElec, sweepStart + c.intoSweep)] + Kvd::DataChunk::kId,
                          triggerId);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.HasHoles());
        for (int n = 0; n < r.file.GetStreamCount(); ++n) {
            const std::string stream = r.file.GetStream(n)->GetName();
            std::vector<uint64_t> planned;
            std::vector<uint64_t> trusted;
            for (size_t i = 0; i < r.chunks.size(); ++i)
                if (r.chunks[i].stream == stream)
                    planned.push_back(r.layout.chunkAt[i]);
            for (size_t i : cov.ChunksOf(r.file.GetStream(n)->GetChunkKey()))
                trusted.push_back(r.file.GetChunkChain()->At(i).offset);
            EXPECT_EQ(trusted, planned) << stream;
        }
    }
}

// An event chunk under the id of a stream of samples that holds its time fits no stream of
// samples: its time is the events' loss, not a silent one.
TEST(CKVTACoverage, EventsUnderAStreamOfSamplesIdAreTheEventsLoss)
{
    for (const char* stream : {kElec, kDigi}) {
        SCOPED_TRACE(stream);
        Recording r;
        Write(SmallPlan(true), r);
        const size_t spikes = r.Chunk(kSpikes, 2);
        const uint64_t id = LoadLE<uint64_t>(reinterpret_cast<const uint8_t*>(kIdOf.at(stream).c_str()));
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[spikes] + Kvd::DataChunk::kId, id);
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        for (const char* s : {kElec, kDigi, kSpikes}) {
            ExpectHoles(cov, s, PlannedHoles(r, s, {spikes}), KvtHoleCause::kDamagedHead);
            ExpectTrusted(r, cov, s, AllBut(r, {spikes}));
        }
    }
}

// Streams of equal frames write the chunks of each period in the same order: of two chunks
// under one id with the same times, the one in the other stream's place holds that stream's
// frames. The stream whose chunk took the other's id loses its time; the other keeps its own
// chunk, in the first and the last period too.
TEST(CKVTACoverage, TwinsOfStreamsWithEqualFramesGoByTheirPlaceInThePeriod)
{
    struct Case
    {
        const char* name;
        const char* stream;  // whose chunk takes the other stream's id
        int slot;
    };
    const Case cases[] = {
        {"a middle digital chunk under the electrode id", kDigi, 3},
        {"a middle electrode chunk under the digital id", kElec, 2},
        {"the first digital chunk under the electrode id", kDigi, 0},
        {"the last digital chunk under the electrode id", kDigi, 5},
        {"the last electrode chunk under the digital id", kElec, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SmallPlan();
        plan.streams[0].channels = {"12"};
        Write(plan, r);
        const char* const other = c.stream == kElec ? kDigi : kElec;
        const uint64_t id = LoadLE<uint64_t>(reinterpret_cast<const uint8_t*>(kIdOf.at(other).c_str()));
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[r.Chunk(c.stream, c.slot)] + Kvd::DataChunk::kId, id);
        const std::vector<size_t> lost = {r.Chunk(c.stream, c.slot)};
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        ExpectOnlyLost(r, cov, {kElec, kDigi}, lost);
    }
}

// A stream's last chunk under the id of a stream with frames as large leaves its stream's
// time behind its last chunk lost, where the stream would have gone on.
TEST(CKVTACoverage, ALastChunkUnderAnotherStreamsIdLeavesItsTimeLost)
{
    Recording r;
    KvdRecordingPlan plan = SmallPlan();
    plan.streams[0].channels = {"12"};
    Write(plan, r);
    const size_t last = r.Chunk(kElec, 5);
    PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[last] + Kvd::DataChunk::kId,
                      LoadLE<uint64_t>(reinterpret_cast<const uint8_t*>("digi0001")));
    const CKVTACoverage& cov = r.Open();
    EXPECT_EQ(cov.ExtentEnd(), r.End());
    ExpectHoles(cov, kElec, PlannedHoles(r, kElec, {last}), KvtHoleCause::kDamagedHead);
    ExpectTrusted(r, cov, kElec, AllBut(r, {last}));
}

// Heads whose times moved far past the recording lie in no other stream's gap: their bytes
// stay their own stream's, beside an electrode chunk moved onto its neighbour's time.
TEST(CKVTACoverage, HeadsMovedFarPastLieInNoOtherStreamsGap)
{
    Recording r;
    KvdRecordingPlan plan = SmallPlan();
    plan.streams[0].channels = {"12"};
    Write(plan, r);
    MoveTimes(r, r.Chunk(kDigi, 2), 10000 * kMs);
    MoveTimes(r, r.Chunk(kElec, 3), 10 * kMs);
    MoveTimes(r, r.Chunk(kDigi, 3), 86400000 * kMs);
    // The digital heads, in file order, fill their stream's time up to the header's stop: they go
    // back there, and the electrode chunk moved onto its neighbour's time then goes back too.
    const std::vector<size_t> lost = {};
    const CKVTACoverage& cov = r.Open();
    EXPECT_EQ(cov.ExtentEnd(), r.End());
    ExpectOnlyLost(r, cov, {kElec, kDigi}, lost);
}

// A lone stream's last chunks with both times moved far later join each other as a sound run
// would; the header's stop shows that they lie past the recording. Their frames fill the time
// from the chunk before them up to that stop, in file order: they go back there.
TEST(CKVTACoverage, LastChunksMovedPastTheHeadersStopGoBackWhereTheyFillItsTime)
{
    struct Case {
        const char* name;
        std::vector<int> slots;
        uint64_t by;
    };
    for (const Case& c : {Case {"the last two by 10 s", {4, 5}, 10000 * kMs},
                          Case {"the last by a day", {5}, 86400000 * kMs},
                          Case {"the last three by 10 s", {3, 4, 5}, 10000 * kMs}}) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SmallPlan();
        plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        for (int slot : c.slots)
            MoveTimes(r, r.Chunk(kElec, slot), static_cast<int64_t>(c.by));
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        ExpectHoles(cov, kElec, {}, KvtHoleCause::kDamagedHead);
        ExpectTrusted(r, cov, kElec, AllBut(r, {}));
    }
}

// The events of the last slot lie behind its samples in the file: a last chunk of samples
// whose head is damaged leaves its time lost, though no unread byte lies behind the events.
TEST(CKVTACoverage, ALostLastChunkBeforeTheLastEventsLeavesItsTimeLost)
{
    for (bool digital : {false, true}) {
        SCOPED_TRACE(digital ? "two streams of samples" : "a lone stream");
        Recording r;
        KvdRecordingPlan plan = SmallPlan(true);
        if (!digital)
            plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        const size_t last = r.Chunk(kElec, 5);
        LoseChunk(r, last);
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        EXPECT_EQ(cov.SamplesEnd(), r.End());
        ExpectHoles(cov, kElec, PlannedHoles(r, kElec, {last}), KvtHoleCause::kDamagedHead);
        ExpectTrusted(r, cov, kElec, AllBut(r, {last}));
    }
}

// A file that stores no stop (version 0) whose last chunk's times moved back onto the chunk
// before it: that twin's stop claims no end, so its bytes still hold the time lost behind.
TEST(CKVTACoverage, ATwinBehindTheLastChunkClaimsNoEnd)
{
    Recording r;
    KvdRecordingPlan plan = OldLonePlan();
    Write(plan, r);
    const size_t last = r.Chunk(kElec, 5);
    MoveTimes(r, last, -10 * static_cast<int64_t>(kMs));
    const CKVTACoverage& cov = r.Open();
    EXPECT_EQ(cov.ExtentEnd(), r.End());
    // Version 0 names chunks by number: the stream's key is the file's own.
    const std::vector<KvtHole>& holes = cov.HolesOf(r.file.GetStream(0)->GetChunkKey());
    ASSERT_EQ(holes.size(), 1u);
    EXPECT_EQ(holes[0].from, T0 + r.chunks[last].startNs);
    EXPECT_EQ(holes[0].to, T0 + r.chunks[last].stopNs);
}

// An old file's lone stream whose chunk had both times moved by a chunk beside a head with one
// damaged field: the moved chunk's own bytes lie where its stream has no time and a gap of its
// span lies on its other side, so it goes back and the damaged head mends; nothing is lost.
TEST(CKVTACoverage, AChunkMovedByOneBesideADamagedHeadGoesBack)
{
    struct Case
    {
        const char* name;
        int moved;            // the slot whose times moved
        int64_t by;           // slots they moved by
        int damaged;          // the slot whose head lost one field
        size_t field;
        uint64_t value;
        bool triggers = false;   // a trigger chunk in every slot, the damaged slot's lost
    };
    const Case cases[] = {
        {"moved on, the next one's stop far off", 2, 1, 3, Kvd::DataChunk::kStop, ~0ull >> 2},
        {"moved on past a lost trigger head, the next one's start 0", 2, 1, 3,
         Kvd::DataChunk::kStart, 0, true},
        {"moved on, the next one's start 0", 2, 1, 3, Kvd::DataChunk::kStart, 0},
        {"the first moved on, the next one's start 0", 0, 1, 1, Kvd::DataChunk::kStart, 0},
        {"moved back, the one before's stop 1", 3, -1, 2, Kvd::DataChunk::kStop, 1},
        {"moved back onto the first, whose stop is far off", 1, -1, 0, Kvd::DataChunk::kStop,
         ~0ull >> 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = OldLonePlan();
        plan.triggerEverySlot = c.triggers;
        Write(plan, r);
        const size_t moved = r.Chunk(kElec, c.moved);
        if (c.triggers)
            LoseChunk(r, r.Chunk(kTrigger, c.damaged));
        MoveTimes(r, moved, c.by * 10 * static_cast<int64_t>(kMs));
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[r.Chunk(kElec, c.damaged)] + c.field, c.value);
        const CKVTACoverage& cov = r.Open();
        // Version 0 names chunks by number: the stream's key is the file's own.
        const uint64_t key = r.file.GetStream(0)->GetChunkKey();
        EXPECT_TRUE(cov.HolesOf(key).empty());
        std::vector<Span> planned;
        std::vector<Span> trusted;
        for (const KvdPlannedChunk& p : r.chunks)
            if (p.stream == kElec)
                planned.emplace_back(T0 + p.startNs, T0 + p.stopNs);
        for (size_t i : cov.ChunksOf(key))
            trusted.emplace_back(r.file.GetChunkChain()->At(i).start, r.file.GetChunkChain()->At(i).stop);
        EXPECT_EQ(trusted, planned);
    }
}

// The same move beside a head with both times wrong: nothing bears out where either chunk
// lay, so the moved chunk keeps the times its head reads and the other one is not trusted.
TEST(CKVTACoverage, AMovedChunkStaysWhereTheHeadBesideItCannotMend)
{
    Recording r;
    KvdRecordingPlan plan = OldLonePlan();
    Write(plan, r);
    const size_t moved = r.Chunk(kElec, 2);
    const size_t damaged = r.Chunk(kElec, 3);
    MoveTimes(r, moved, 10 * kMs);
    PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[damaged] + Kvd::DataChunk::kStart, 0);
    PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[damaged] + Kvd::DataChunk::kStop, ~0ull >> 2);
    const CKVTACoverage& cov = r.Open();
    const uint64_t key = r.file.GetStream(0)->GetChunkKey();
    std::vector<Span> trusted;
    for (size_t i : cov.ChunksOf(key))
        trusted.emplace_back(r.file.GetChunkChain()->At(i).offset, r.file.GetChunkChain()->At(i).start);
    const Span movedAsRead {r.layout.chunkAt[moved], T0 + r.chunks[moved].startNs + 10 * kMs};
    EXPECT_NE(std::find(trusted.begin(), trusted.end(), movedAsRead), trusted.end());
    EXPECT_EQ(trusted.size(), r.chunks.size() - 1);
}

// An old file's lone stream whose chunks around one chunk are damaged (a head lost, a head
// moved far): that chunk meets neither neighbour, but the bytes before it in the file put it
// where its head says, so it stays and only the damaged chunks' time is lost.
TEST(CKVTACoverage, AChunkWhereTheLostBytesBeforeItPutItStays)
{
    struct Case
    {
        const char* name;
        int chunks;
        int lost;      // the slot whose head is lost
        int moved;     // the slot whose times moved 10 s later
    };
    const Case cases[] = {
        {"the first lost, the third moved, four chunks", 4, 0, 2},
        {"the second lost, the fourth moved", 6, 1, 3},
        // The lost bytes put the last one where it was, not where its head moved it.
        {"the third lost, the last moved", 4, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = OldLonePlan();
        plan.chunks = c.chunks;
        Write(plan, r);
        const size_t lost = r.Chunk(kElec, c.lost);
        const size_t moved = r.Chunk(kElec, c.moved);
        LoseChunk(r, lost);
        MoveTimes(r, moved, 10000 * kMs);
        const CKVTACoverage& cov = r.Open();
        const uint64_t key = r.file.GetStream(0)->GetChunkKey();
        ExpectHoles(cov, kElec, PlannedHoles(r, kElec, {lost, moved}), KvtHoleCause::kDamagedHead, key);
        std::vector<uint64_t> planned;
        for (size_t i : AllBut(r, {lost, moved}))
            planned.push_back(T0 + r.chunks[i].startNs);
        EXPECT_EQ(TrustedStarts(r, cov, kElec), planned);
    }
}

// The end of the file: zeros behind the data are padding; a copy cut short (at a chunk with the
// index behind the data, inside a head, inside a chunk) loses everything of each stream from
// its last whole chunk to the recorded stop.
TEST(CKVTACoverage, AFileCutShortLosesItsTailButPaddingLosesNothing)
{
    struct Case
    {
        const char* name;
        bool storedIndex;
        int cutSlot;             // the digital chunk of this slot is cut; -1: none
        size_t keep;             // bytes of it kept
        size_t zeros;            // appended behind the data
    };
    const Case cases[] = {
        {"index position past the end", true, 3, 0, 0},
        {"part of a head left", false, 3, 20, 0},
        {"part of a chunk left", false, 3, 32 + 100, 0},
        {"the first chunk cut", false, 0, 32 + 50, 0},
        {"padding shorter than a head", false, -1, 0, 20},
        {"padding of many heads", false, -1, 0, 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        Write(SmallPlan(false, c.storedIndex), r);
        size_t kept = r.chunks.size();
        if (c.cutSlot >= 0) {
            kept = r.Chunk(kDigi, c.cutSlot);
            r.bytes.resize(r.layout.chunkAt[kept] + c.keep);
        }
        r.bytes.resize(r.bytes.size() + c.zeros, 0);
        const CKVTACoverage& cov = r.Open();
        const bool cut = kept < r.chunks.size();
        EXPECT_EQ(cov.FileCut(), cut);
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        std::vector<size_t> whole;
        for (size_t i = 0; i < kept; ++i)
            whole.push_back(i);
        for (const char* stream : {kElec, kDigi}) {
            ExpectTrusted(r, cov, stream, whole);
            uint64_t last = T0;
            for (size_t i : whole)
                if (r.chunks[i].stream == stream)
                    last = T0 + r.chunks[i].stopNs;
            ExpectHoles(cov, stream, cut ? std::vector<Span> {{last, r.End()}} : std::vector<Span> {},
                        KvtHoleCause::kFileCut);
        }
    }
}

// A copy cut short loses each stream's time from its first chunk cut off up to the recorded
// stop, though a pause or a slot one stream left out lies behind the cut: its bytes and its
// count of chunks no longer tell them from lost time. A pause that a stream's chunks kept show
// is lost by none. A stop far past the data still counts only about as far as they hold.
TEST(CKVTACoverage, ACutFileLosesTimeUpToItsStopThoughItsTailHeldAPause)
{
    struct Case
    {
        const char* name;
        bool storedIndex;      // else the header's count of chunks bounds the claim
        bool oneStream;
        int dropSlot;          // a pause of all streams; -1: none
        bool digitalEndsEarly; // the digital stream lacks the last slot
        uint64_t stopPastMs;   // the header's stop moved past the data
        const char* cutStream; // the head of this stream's chunk of `cutSlot` is cut
        int cutSlot;
    };
    const Case cases[] = {
        {"a pause behind the cut, counted", false, true, 4, false, 0, kElec, 2},
        {"a pause behind the cut, index position past the end", true, true, 4, false, 0, kElec, 2},
        {"a pause behind a cut before any whole chunk, index position past the end", true, true, 4, false, 0,
         kElec, 0},
        {"a stream that ends a slot early, index position past the end", true, false, -1, true, 0, kElec, 2},
        {"a pause before the slot cut between its streams' chunks", false, false, 3, false, 0, kDigi, 4},
        {"a stop an hour past the data, index position past the end", true, false, -1, false, 3600000, kElec, 2},
        {"a stop an hour past the data, counted", false, true, -1, false, 3600000, kElec, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SmallPlan(false, c.storedIndex);
        if (c.oneStream)
            plan.streams = {KvdRawStreamPlan()};
        if (c.dropSlot >= 0)
            plan.dropChunks = {c.dropSlot};
        if (c.digitalEndsEarly)
            plan.streams[1].missingSlots = {plan.chunks - 1};
        Write(plan, r);
        const uint64_t stop = r.End() + c.stopPastMs * kMs;
        if (c.stopPastMs != 0)
            PatchLE<uint64_t>(r.bytes, r.layout.fileHeaderAt + Kvd::FileHeader::kStopTime, stop);
        const size_t cut = r.Chunk(c.cutStream, c.cutSlot);
        r.bytes.resize(r.layout.chunkAt[cut] + 20);
        const CKVTACoverage& cov = r.Open();
        EXPECT_TRUE(cov.FileCut());
        if (c.stopPastMs != 0) {
            // About a chunk more than the lost bytes or chunks hold, far short of the stop.
            EXPECT_GE(cov.ExtentEnd(), r.End());
            EXPECT_LT(cov.ExtentEnd(), r.End() + 20 * kMs);
            continue;
        }
        EXPECT_EQ(cov.ExtentEnd(), stop);
        for (const char* stream : {kElec, kDigi}) {
            if (c.oneStream && stream != kElec)
                continue;
            uint64_t firstLost = UINT64_MAX;
            for (size_t i = cut; i < r.chunks.size(); ++i)
                if (r.chunks[i].stream == stream)
                    firstLost = std::min(firstLost, T0 + r.chunks[i].startNs);
            ExpectHoles(cov, stream, {{firstLost, stop}}, KvtHoleCause::kFileCut);
        }
    }
}

// An event stream of a copy cut short loses its events from the start of the last samples kept
// (or from the recording's start, where none is kept): its chunk of a slot follows the slot's
// samples in the file, though the trigger of an event in that slot comes before them.
TEST(CKVTACoverage, AnEventStreamCutShortLosesItsEventsFromTheLastSamplesKept)
{
    for (int cutSlot : {2, 0}) {
        SCOPED_TRACE("cut inside the electrodes' chunk of slot " + std::to_string(cutSlot));
        Recording r;
        KvdRecordingPlan plan = SmallPlan(true);
        plan.streams = {KvdRawStreamPlan()};
        plan.triggerMs = {cutSlot * 10 + 4};
        Write(plan, r);
        const size_t cut = r.Chunk(kElec, cutSlot);
        ASSERT_EQ(r.chunks[cut - 1].stream, kTrigger);
        r.bytes.resize(r.layout.chunkAt[cut] + Kvd::DataChunk::kHeaderBytes + 100);
        const CKVTACoverage& cov = r.Open();
        EXPECT_TRUE(cov.FileCut());
        uint64_t firstLost = UINT64_MAX;
        for (size_t i = cut; i < r.chunks.size(); ++i)
            if (r.chunks[i].stream == kSpikes)
                firstLost = std::min(firstLost, T0 + r.chunks[i].startNs);
        ExpectHoles(cov, kSpikes, {{firstLost, r.End()}}, KvtHoleCause::kFileCut);
    }
}

// A stop far past the data (a header or index written by a program that counts on) moves the
// extent only as far as the bytes behind the last whole chunk could hold, at the slowest
// stream: with none, not at all.
TEST(CKVTACoverage, AStopFarPastTheDataCountsOnlyAsFarAsUnreadBytesHold)
{
    struct Case
    {
        const char* name;
        size_t lost;   // chunks lost at the end of the file
    };
    for (const Case& c : {Case {"every chunk sound", 0}, Case {"the last chunk of the file lost", 1},
                          Case {"the last slot of both streams lost", 2}}) {
        SCOPED_TRACE(c.name);
        Recording r;
        Write(SmallPlan(), r);
        const uint64_t end = r.End();
        PatchLE<uint64_t>(r.bytes, r.layout.fileHeaderAt + Kvd::FileHeader::kStopTime, end + 3600000 * kMs);
        const size_t last = r.chunks.size() - 1;
        ASSERT_EQ(r.chunks[last].stream, kDigi);
        ASSERT_EQ(r.chunks[last - 1].stream, kElec);
        std::vector<size_t> lost;
        for (size_t k = 0; k < c.lost; ++k)
            lost.push_back(last - k);
        for (size_t i : lost)
            LoseChunk(r, i);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        // A lost digital chunk is the digital stream's own tail: the electrodes show the end.
        // With the whole last slot lost, the lost bytes (a head each less: 400 + 200 bytes)
        // hold the time both streams fill side by side (4 + 2 bytes a frame at 10 kHz): 10 ms,
        // however far the header's stop claims the data went.
        EXPECT_EQ(cov.ExtentEnd(), end);
        EXPECT_EQ(cov.SamplesEnd(), end);
        ExpectHoles(cov, kElec, PlannedHoles(r, kElec, lost), KvtHoleCause::kDamagedHead);
        ExpectHoles(cov, kDigi, PlannedHoles(r, kDigi, lost), KvtHoleCause::kDamagedHead);
    }
}

// A copy cut short whose end nothing claims (version 0 stores no stop time; no stored index)
// has no hole to tell what it lost when the cut leaves too few bytes for a head: only the
// account's word that its end is unknown does. The whole head of the chunk cut in two claims
// only that chunk's end: its bytes give a hole, and the end is still unknown (the events of
// the time behind it are gone unseen). A stop time or a stored index claim an end, and a
// padded file was not cut at all.
TEST(CKVTACoverage, ACutFileTellsWhenNothingClaimsItsEnd)
{
    struct Case
    {
        const char* name;
        uint16_t version;
        bool storedIndex;
        size_t keep;        // bytes kept of the electrodes' chunk of slot 3; SIZE_MAX: all
        size_t zeros;       // appended behind the data
        bool endUnknown;
    };
    const Case cases[] = {
        {"version 0, part of a head left", 0, false, 20, 0, true},
        {"version 0, nothing of the chunk left", 0, false, 0, 0, false},
        {"version 0, a whole head left", 0, false, 32 + 100, 0, true},
        {"version 0, padded", 0, false, SIZE_MAX, 20, false},
        {"version 11, part of a head left", 11, false, 20, 0, false},
        {"version 11, index position past the end", 11, true, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SmallPlan(false, c.storedIndex);
        plan.fileVersion = c.version;
        Write(plan, r);
        const size_t cutAt = r.Chunk(kElec, 3);
        if (c.keep != SIZE_MAX)
            r.bytes.resize(r.layout.chunkAt[cutAt] + c.keep);
        r.bytes.resize(r.bytes.size() + c.zeros, 0);
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.EndUnknown(), c.endUnknown);
        // Every stream's data end with slot 2: that is where the account puts the end, unless
        // the bytes of the chunk cut in two hold time behind it.
        if (c.endUnknown) {
            const bool headLeft = c.keep >= Kvd::DataChunk::kHeaderBytes;
            EXPECT_TRUE(cov.FileCut());
            EXPECT_EQ(cov.ExtentEnd() > T0 + 30 * kMs, headLeft);
            EXPECT_EQ(cov.HasHoles(), headLeft);
        }
    }
}

// A head whose times agree with its bytes is still damaged where they are wrong for the
// recording: times long before its start, or a stop its size cannot reach, cost the chunk its
// time (the chunk behind a head it swallowed too), while the streams' other chunks stay
// trusted and the extent stays the recording's.
TEST(CKVTACoverage, AHeadWhoseTimesTheRecordingDeniesIsDamaged)
{
    struct Case
    {
        const char* name;
        bool oneStream;
        std::function<std::vector<size_t>(Recording&)> damage;   // the planned chunks it costs
    };
    const Case cases[] = {
        // Its frames fill the time from the start, where the digital stream begins, to the
        // second chunk: it goes back there and nothing is lost.
        {"the first chunk an hour before the start", false,
         [](Recording& r) {
             MoveTimes(r, r.Chunk(kElec, 0), -3600000 * static_cast<int64_t>(kMs));
             return std::vector<size_t> {};
         }},
        // It begins where the chunk before it ends, but its bytes last past the one behind.
        {"a size that swallows the next head, with a stop seconds late", true,
         [](Recording& r) {
             const size_t damaged = r.Chunk(kElec, 2);
             const size_t swallowed = r.Chunk(kElec, 3);
             const size_t at = r.layout.chunkAt[damaged];
             const int64_t bytes = static_cast<int64_t>(r.layout.chunkAt[swallowed + 1] - at);
             PatchLE<int64_t>(r.bytes, at + Kvd::DataChunk::kSize,
                              bytes - static_cast<int64_t>(Kvd::kFrameBytes));
             PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStop,
                               LoadLE<uint64_t>(r.bytes.data() + at + Kvd::DataChunk::kStop) + 3000 * kMs);
             return std::vector<size_t> {damaged, swallowed};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SmallPlan();
        if (c.oneStream)
            plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        const std::vector<size_t> lost = c.damage(r);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        EXPECT_EQ(cov.ExtentStart(), T0);
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        const std::vector<const char*> streams =
            c.oneStream ? std::vector<const char*> {kElec} : std::vector<const char*> {kElec, kDigi};
        ExpectOnlyLost(r, cov, streams, lost);
    }
}

// A file that ends inside a sweep was cut there: where the header counts more chunks than the
// file holds, streams that end apart or a last sweep shorter than the header's sweep length show
// it; where it counts none, a trigger behind the last samples does (a trigger whose stop is
// damaged shows nothing while it lies among the samples, nor one whose stop is a nanosecond
// off). A file that ends behind a whole sweep may be a recording stopped there.
TEST(CKVTACoverage, ASweepThatBrokeOffShowsTheFileWasCut)
{
    enum class End
    {
        kWhole,
        kBehindLastTrigger,     // the last sweep's trigger, none of its samples
        kInsideLastSweep,       // the last sweep's trigger and its first slot
        kInsideLastSlot,        // all but the digital chunk of the last slot
        kBehindMiddleSweep,     // the middle sweep whole, nothing of the last
    };
    struct Case
    {
        const char* name;
        bool counted;                // else the header's chunk count is 0
        End end;
        uint64_t lastTriggerStopNs;  // from its sweep's start; 0: as written
        bool cut;
        int sweepLengthMs = 0;       // the header's; 0: the sweep's where counted, else twice it
    };
    const Case cases[] = {
        {"counted, cut inside the last sweep", true, End::kInsideLastSweep, 0, true},
        {"counted, cut between the streams' chunks of the last slot", true, End::kInsideLastSlot, 0,
         true},
        {"counted, ends behind a whole sweep", true, End::kBehindMiddleSweep, 0, false},
        {"uncounted, cut behind the last sweep's trigger", false, End::kBehindLastTrigger, 0, true},
        {"uncounted, ends behind a whole sweep", false, End::kBehindMiddleSweep, 0, false},
        {"uncounted, whole", false, End::kWhole, 0, false},
        {"uncounted, whole, the last trigger's stop past the samples", false, End::kWhole, 30 * kMs,
         false},
        {"uncounted, whole, the last trigger's stop a nanosecond past the samples", false,
         End::kWhole, 20 * kMs + 1, false, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        const int sweepLengthMs = c.sweepLengthMs != 0 ? c.sweepLengthMs : c.counted ? 20 : 40;
        const KvdRecordingPlan plan = SweepPlan(20, sweepLengthMs);
        Write(plan, r);
        if (!c.counted)
            PatchLE<int64_t>(r.bytes, r.layout.fileHeaderAt + Kvd::FileHeader::kDataChunkCount, 0);
        size_t lastTrigger = 0;
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].stream == kTrigger)
                lastTrigger = i;
        const uint64_t lastSweep = KvdSweepStartNs(plan, 2);
        ASSERT_EQ(r.chunks[lastTrigger].startNs, lastSweep);
        ASSERT_EQ(r.chunks.size(), lastTrigger + 5);   // two slots of two streams behind it
        if (c.lastTriggerStopNs != 0)
            PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[lastTrigger] + Kvd::DataChunk::kStop,
                              T0 + lastSweep + c.lastTriggerStopNs);
        const size_t kept = c.end == End::kWhole               ? r.chunks.size()
                            : c.end == End::kBehindLastTrigger ? lastTrigger + 1
                            : c.end == End::kInsideLastSweep   ? lastTrigger + 3
                            : c.end == End::kInsideLastSlot    ? lastTrigger + 4
                                                               : lastTrigger;
        if (kept < r.chunks.size())
            r.bytes.resize(r.layout.chunkAt[kept]);
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.FileCut(), c.cut);
        // A cut costs each stream of samples the time from the end of its data to the
        // recording's stop.
        const uint64_t stop = T0 + lastSweep + 20 * kMs;
        for (const char* stream : {kElec, kDigi}) {
            SCOPED_TRACE(stream);
            uint64_t dataStop = 0;
            for (size_t i = 0; i < kept; ++i)
                if (r.chunks[i].stream == stream)
                    dataStop = std::max(dataStop, T0 + r.chunks[i].stopNs);
            const std::vector<KvtHole>& holes = cov.HolesOf(KeyOf(stream));
            if (!c.cut || dataStop == stop) {
                EXPECT_TRUE(holes.empty());
                continue;
            }
            ASSERT_EQ(holes.size(), 1u);
            EXPECT_EQ(holes[0].from, dataStop);
            EXPECT_EQ(holes[0].to, stop);
            EXPECT_EQ(holes[0].cause, KvtHoleCause::kFileCut);
        }
    }
}

namespace {

// The planned times of `stream`'s chunks and those the account trusts, in time order; the key
// comes from the file, as old files carry ids of their own.
std::pair<std::vector<Span>, std::vector<Span>> PlannedAndTrustedSpans(Recording& r, const CKVTACoverage& cov,
                                                                      const std::string& stream)
{
    std::vector<Span> planned;
    std::vector<Span> trusted;
    for (const KvdPlannedChunk& p : r.chunks)
        if (p.stream == stream)
            planned.emplace_back(T0 + p.startNs, T0 + p.stopNs);
    std::sort(planned.begin(), planned.end());
    for (int n = 0; n < r.file.GetStreamCount(); ++n)
        if (r.file.GetStream(n)->GetName() == stream)
            for (size_t i : cov.ChunksOf(r.file.GetStream(n)->GetChunkKey()))
                trusted.emplace_back(r.file.GetChunkChain()->At(i).start, r.file.GetChunkChain()->At(i).stop);
    return {planned, trusted};
}

} // namespace

// In sweeps the chunk before a sweep's first chunk stops a pause earlier. Where that first
// chunk moved on by a chunk onto the time of the next one, whose head lost its stop, the
// sweep's trigger beside them tells where the sweep begins: both go back and nothing is lost.
TEST(CKVTACoverage, ASweepsFirstChunkMovedOnGoesBackToWhereItsTriggerStarts)
{
    for (int sweep : {1, 2}) {
        SCOPED_TRACE(sweep);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(30);
        plan.fileVersion = 0;
        plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, sweep);
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            if (r.chunks[i].stream != kElec)
                continue;
            const size_t at = r.layout.chunkAt[i];
            if (r.chunks[i].startNs == start) {
                MoveTimes(r, i, 10 * kMs);
            } else if (r.chunks[i].startNs == start + 10 * kMs) {
                PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStop, 1);
            }
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.HasHoles());
        const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, kElec);
        EXPECT_EQ(trusted, planned);
    }
}

// An old file of two sweeps whose first sweep's heads are all lost, the trigger's unreadable
// or its size a byte long: the bytes in front of every chunk read name no stream, yet they hold
// the first sweep, which the recording began with. Each stream of samples loses that sweep's
// time, and the file still reads as one of sweeps. Bytes shared among streams tell the time
// only roughly (their heads count too): where the trigger is read, its stop ends the loss.
TEST(CKVTACoverage, BytesNamingNoStreamInFrontOfAllChunksHoldTheFirstSweep)
{
    struct Case
    {
        const char* name;
        bool digital;             // a digital stream beside the electrode one
        bool triggerRead;         // the trigger's size a byte more, else its head zeroed
    };
    const Case cases[] = {
        {"a lone stream, the trigger's head zeroed", false, false},
        {"two streams, the trigger's head zeroed", true, false},
        {"a lone stream, the trigger's size a byte more", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(10);
        plan.fileVersion = 0;
        plan.sweeps = 2;
        if (!c.digital)
            plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            if (r.chunks[i].startNs != 0)
                continue;
            const size_t at = r.layout.chunkAt[i];
            const size_t size = at + Kvd::DataChunk::kSize;
            if (r.chunks[i].stream != kTrigger)
                r.bytes[at + Kvd::DataChunk::kId] ^= 0x40;   // its id a byte off: not found
            else if (c.triggerRead)
                PatchLE<int64_t>(r.bytes, size, LoadLE<int64_t>(r.bytes.data() + size) + 1);
            else
                std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            Kvd::DataChunk::kHeaderBytes, 0);
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(r.file.GetRecordingMode(), 1);
        EXPECT_EQ(r.file.GetSweepCount(), 2);
        const uint64_t sweepEnd = T0 + 10 * kMs;
        for (int n = 0; n < r.file.GetStreamCount(); ++n) {
            const std::string stream = r.file.GetStream(n)->GetName();
            if (stream == kTrigger)
                continue;
            SCOPED_TRACE(stream);
            const std::vector<KvtHole>& holes = cov.HolesOf(r.file.GetStream(n)->GetChunkKey());
            ASSERT_EQ(holes.size(), 1u);
            EXPECT_EQ(holes[0].from, T0);
            EXPECT_GE(holes[0].to, sweepEnd);
            EXPECT_LT(holes[0].to, c.triggerRead ? sweepEnd + 1 : T0 + KvdSweepStartNs(plan, 1));
        }
    }
}

// In sweeps a trigger's chunk spans its sweep. Bytes whose head names no stream, lost where
// both streams of samples lack a slot of a sweep (in its middle or at its end), lie inside the
// time the trigger spans: the sweep went on, so they hold that slot for both streams.
TEST(CKVTACoverage, BytesNamingNoStreamInsideATriggersSpanHoldItsSweepsTime)
{
    for (int slot : {1, 2}) {
        SCOPED_TRACE(slot);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(30);
        plan.fileVersion = 0;
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, 1) + static_cast<uint64_t>(slot) * 10 * kMs;
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            if (r.chunks[i].startNs != start || r.chunks[i].stream == kTrigger)
                continue;
            const size_t at = r.layout.chunkAt[i];
            if (r.chunks[i].stream == kElec)
                std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            Kvd::DataChunk::kHeaderBytes, 0);
            else
                r.bytes[at + Kvd::DataChunk::kId] ^= 0x40;   // its id a byte off: not found
        }
        const CKVTACoverage& cov = r.Open();
        for (const char* stream : {kElec, kDigi}) {
            SCOPED_TRACE(stream);
            EXPECT_EQ(FileHoles(r, cov, stream), (std::vector<Span> {{T0 + start, T0 + start + 10 * kMs}}));
        }
    }
}

// An old file of two sweeps of one chunk each is judged as continuous until its gaps tell
// sweeps. Where a sweep's trigger head has a damaged time, the field it left whole still marks
// its sweep: the chunk of samples beside it stays, and so does the gap that tells sweeps. A
// first chunk a nanosecond early whose frames, counted back from its stop, begin at the
// header's start starts there, where its trigger's start is damaged too.
TEST(CKVTACoverage, OldSweepsKeepTheChunksBesideTriggersWithDamagedTimes)
{
    struct Case
    {
        const char* name;
        int sweep;                  // whose trigger is damaged
        uint64_t (*start)(uint64_t sweep);   // its start field from the sweep's start
        uint64_t (*stop)(uint64_t sweep);    // its stop field likewise (nullptr: as is)
        bool firstSamplesEarly;              // the first chunk of samples starts 1 ns early
    };
    const Case cases[] = {
        {"the later trigger's start 1", 1, [](uint64_t) -> uint64_t { return 1; }, nullptr, false},
        {"the later trigger's start the largest", 1, [](uint64_t) { return UINT64_MAX; }, nullptr,
         false},
        {"the later trigger's times swapped", 1, [](uint64_t at) { return at + 10 * kMs; },
         [](uint64_t at) { return at; }, false},
        {"the first trigger's start at its stop, the first samples early", 0,
         [](uint64_t at) { return at + 10 * kMs; }, nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(10);
        plan.fileVersion = 0;
        plan.sweeps = 2;
        plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        std::vector<uint64_t> planned;
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            const KvdPlannedChunk& p = r.chunks[i];
            const uint64_t at = r.layout.chunkAt[i];
            if (p.stream == kElec) {
                planned.push_back(T0 + p.startNs);
                if (c.firstSamplesEarly && planned.size() == 1)
                    PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStart, T0 - 1);
            }
            if (p.stream != kTrigger || p.startNs != KvdSweepStartNs(plan, c.sweep))
                continue;
            const uint64_t sweep = T0 + p.startNs;
            PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStart, c.start(sweep));
            if (c.stop)
                PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStop, c.stop(sweep));
        }
        ASSERT_EQ(planned.size(), 2u);
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(TrustedStarts(r, cov, kElec), planned);
        ExpectOldFileHoles(r, cov, {});
        EXPECT_NE(r.file.GetRecordingMode(), 0);
        EXPECT_EQ(r.file.GetStartTime(), T0);
        EXPECT_EQ(r.file.GetSweepCount(), 2);
    }
}

// An old file of sweeps whose chunks carry no index: a trigger is written before the chunks of
// its sweep and spans them. A trigger head the chain lost (its size damaged) that spans a
// chunk's frames and shares one of its times tells the chunk's other time; a chunk lying in the
// file behind a trigger that starts at or after its stop had its times moved earlier, though
// they meet its stream's chunk before: it goes back into the trigger's period.
TEST(CKVTACoverage, OldSweepsTellChunkTimesFromTheTriggersBeforeThem)
{
    struct Case
    {
        const char* name;
        int gapMs;
        int sweep;           // whose chunks are damaged
        bool loseTrigger;    // the sweep's trigger head gets a damaged size
        const char* stream;  // whose chunk of the sweep gets a damaged time
        size_t field;        // that time field (kStart or kStop)
        int64_t byNs;        // moved by this much (0: both fields moved a chunk earlier)
    };
    const Case cases[] = {
        {"a lost trigger tells the start", 30, 1, true, kElec, Kvd::DataChunk::kStart, 5 * kMs},
        {"a lost trigger tells the stop", 30, 1, true, kElec, Kvd::DataChunk::kStop, 777 * kMs},
        {"behind a trigger, the start a chunk earlier", 10, 2, false, kDigi, Kvd::DataChunk::kStart,
         -10 * static_cast<int64_t>(kMs)},
        {"behind a trigger, both times a chunk earlier", 10, 2, false, kElec, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(10);
        plan.fileVersion = 0;
        plan.gapMs = c.gapMs;
        // Alone, a stream's chunk that begins its sweep has no other stream's chunk to vouch.
        if (c.loseTrigger)
            plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        std::map<std::string, std::vector<uint64_t>> planned;
        const uint64_t sweepStart = KvdSweepStartNs(plan, c.sweep);
        const auto move = [&](uint64_t at, int64_t by) {
            PatchLE<int64_t>(r.bytes, at, LoadLE<int64_t>(r.bytes.data() + at) + by);
        };
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            const KvdPlannedChunk& p = r.chunks[i];
            const uint64_t at = r.layout.chunkAt[i];
            planned[p.stream].push_back(T0 + p.startNs);
            if (p.startNs != sweepStart)
                continue;
            if (p.stream == kTrigger && c.loseTrigger)
                move(at + Kvd::DataChunk::kSize, 32);
            if (p.stream != c.stream)
                continue;
            if (c.field != 0)
                move(at + c.field, c.byNs);
            else
                for (size_t field : {Kvd::DataChunk::kStart, Kvd::DataChunk::kStop})
                    move(at + field, -10 * static_cast<int64_t>(kMs));
        }
        const CKVTACoverage& cov = r.Open();
        for (const char* stream : {kElec, kDigi})
            EXPECT_EQ(TrustedStarts(r, cov, stream), planned[stream]) << stream;
        ExpectOldFileHoles(r, cov, {});
        EXPECT_EQ(r.file.GetSweepCount(), 3);
    }
}

// An old file tells no stop: a lone stream's chunk under the triggers' id that meets its chunk
// before and carries on its last one, or that meets one neighbour while the stream's head on the
// other side is unreadable, is its stream's again. Only the unreadable head's time is lost, and
// the triggers export no frames as records.
TEST(CKVTACoverage, InAnOldFileSamplesUnderAnEventIdBesideADamagedHeadAreTheirStreams)
{
    const struct
    {
        const char* name;
        int slot;   // whose electrode chunk takes the triggers' id
        int lost;   // whose electrode head is unreadable (-1: none)
    } cases[] = {{"the last one", 5, -1}, {"the one before a lost one", 2, 3},
                 {"the one behind a lost one", 3, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = OldLonePlan();
        plan.triggerMs = {5};
        Write(plan, r);
        GiveTriggersId(r, r.Chunk(kElec, c.slot));
        std::vector<size_t> lost;
        if (c.lost >= 0) {
            lost.push_back(r.Chunk(kElec, c.lost));
            LoseChunk(r, lost.back());
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        std::vector<uint64_t> planned;
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].stream == kElec && std::find(lost.begin(), lost.end(), i) == lost.end())
                planned.push_back(T0 + r.chunks[i].startNs);
        EXPECT_EQ(TrustedStarts(r, cov, kElec), planned);
        EXPECT_EQ(FileHoles(r, cov), PlannedHoles(r, kElec, lost));
    }
}

// An old file's trigger chunk whose size is a record short leads the chain into its own last
// record, in front of the electrode chunk whose head cannot be read: its records are in doubt and
// its time is the triggers' loss. Where the size is intact, off by a stray byte that spoils no
// record, or a record long (the electrode chunk fills the bytes from a record before its end),
// the triggers lose nothing.
TEST(CKVTACoverage, ATriggerChunkWhoseSizeRunsIntoADamagedHeadLosesItsRecords)
{
    const struct
    {
        const char* name;
        int slot;           // whose trigger chunk and electrode head are damaged
        int64_t records;    // records the trigger chunk's size gains (or loses)
        int64_t bytes;      // bytes it gains besides
        bool lost;          // the trigger chunk's time is lost
    } cases[] = {{"a record less", 2, -1, 0, true},
                 {"a record more", 1, 1, 0, false},
                 {"its size intact", 1, 0, 0, false},
                 {"a stray byte more", 2, 0, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = OldLonePlan();
        plan.triggerMs = {5, 25};
        plan.triggerEverySlot = true;
        Write(plan, r);
        const size_t trigger = r.Chunk(kTrigger, c.slot);
        const uint64_t at = r.layout.chunkAt[trigger] + Kvd::DataChunk::kSize;
        const int64_t record = static_cast<int64_t>(r.chunks[trigger].recordBytes);
        PatchLE<int64_t>(r.bytes, at, LoadLE<int64_t>(r.bytes.data() + at) + c.records * record + c.bytes);
        std::fill_n(r.bytes.begin() + r.layout.chunkAt[r.Chunk(kElec, c.slot)], Kvd::DataChunk::kHeaderBytes,
                    uint8_t {0});
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(FileHoles(r, cov, kTrigger), c.lost ? PlannedHoles(r, kTrigger, {trigger}) : std::vector<Span>());
    }
}

// An old file's trigger chunk whose stop moved a chunk later overlaps the next trigger chunk;
// the electrode chunk beside it spans its period, which puts the stop back: both trigger chunks
// keep their records and nothing is lost.
TEST(CKVTACoverage, ATriggerChunksStopMovedOntoTheNextPeriodGoesBack)
{
    for (int slot : {0, 2}) {
        SCOPED_TRACE(slot);
        Recording r;
        KvdRecordingPlan plan = OldLonePlan();
        plan.triggerMs = {5, 25};
        plan.triggerEverySlot = true;
        Write(plan, r);
        const uint64_t at = r.layout.chunkAt[r.Chunk(kTrigger, slot)] + Kvd::DataChunk::kStop;
        PatchLE<uint64_t>(r.bytes, at, LoadLE<uint64_t>(r.bytes.data() + at) + 10 * kMs);
        const CKVTACoverage& cov = r.Open();
        ExpectNothingLost(r, cov, kTrigger);
    }
}

// In sweeps the streams of a period lie in the same order in every period: of two chunks of
// one stream with the same times, the one lying where the other stream's chunk belongs is that
// stream's under a wrong id. Its own stream keeps the other and the time is the other's loss.
TEST(CKVTACoverage, InSweepsATwinInAnotherStreamsPlaceIsThatStreamsLoss)
{
    struct Case
    {
        const char* name;
        const char* stream;  // whose chunk takes the other stream's id
        int sweep;
        uint64_t intoSweep;  // the chunk's start from its sweep's
    };
    const Case cases[] = {
        {"a middle electrode chunk under the digital id", kElec, 1, 10 * kMs},
        {"a sweep's first digital chunk under the electrode id", kDigi, 1, 0},
        {"the file's last electrode chunk under the digital id", kElec, 2, 20 * kMs},
        // The digital chunk kept does not move on into the pause behind its sweep.
        {"a middle sweep's last electrode chunk under the digital id", kElec, 1, 20 * kMs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(30);
        plan.streams[0].channels = {"12"};
        plan.gapMs = 10;   // a pause of one chunk's time
        Write(plan, r);
        const char* const other = c.stream == kElec ? kDigi : kElec;
        const uint64_t start = KvdSweepStartNs(plan, c.sweep) + c.intoSweep;
        size_t moved = r.chunks.size();
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].stream == c.stream && r.chunks[i].startNs == start)
                moved = i;
        ASSERT_LT(moved, r.chunks.size());
        const uint64_t id = LoadLE<uint64_t>(reinterpret_cast<const uint8_t*>(kIdOf.at(other).c_str()));
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[moved] + Kvd::DataChunk::kId, id);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        ExpectHoles(cov, c.stream, PlannedHoles(r, c.stream, {moved}), KvtHoleCause::kDamagedHead);
        ExpectHoles(cov, other, {}, KvtHoleCause::kDamagedHead);
        for (const char* stream : {kElec, kDigi})
            ExpectTrusted(r, cov, stream, AllBut(r, {moved}));
    }
}

// A sweep lasts the header's sweep length: where a stream's chunks beside bytes whose heads
// name no stream run for less, the stream recorded on there and those bytes hold its time,
// at the end of the sweep cut short before them or at the start of the one behind them.
TEST(CKVTACoverage, InSweepsBytesThatNameNoStreamBesideASweepCutShortAreItsLoss)
{
    struct Case
    {
        const char* name;
        uint64_t intoSweep;  // the first lost slot's start from its sweep's
        bool trigger;        // the sweep's trigger is lost with it
        int slots = 1;       // lost side by side in one stretch
    };
    const Case cases[] = {
        {"the last slot of a middle sweep", 20 * kMs, false},
        {"the first slot of a middle sweep with its trigger", 0, true},
        // The heads among the bytes are no time: the hole ends with the sweep.
        {"the last two slots of a middle sweep", 10 * kMs, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        const KvdRecordingPlan plan = SweepPlan(30);
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, 1) + c.intoSweep;
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].startNs >= start && r.chunks[i].startNs < start + c.slots * 10 * kMs
                && (c.trigger || r.chunks[i].stream != kTrigger))
                std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[i]),
                            Kvd::DataChunk::kHeaderBytes, uint8_t(0xFF));
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        for (const char* stream : {kElec, kDigi}) {
            SCOPED_TRACE(stream);
            // The trigger's bytes, shared among the streams, may lengthen the hole into the
            // pause before the sweep: none of it lies in a sweep's recorded time.
            const std::vector<KvtHole>& holes = cov.HolesOf(KeyOf(stream));
            ASSERT_EQ(holes.size(), 1u);
            EXPECT_EQ(holes[0].to, T0 + start + c.slots * 10 * kMs);
            EXPECT_LE(holes[0].from, T0 + start);
            EXPECT_GE(holes[0].from, c.trigger ? T0 + KvdSweepStartNs(plan, 0) + 30 * kMs : T0 + start);
        }
    }
}

// In sweeps one chunk apart, a chunk of a sweep's first slot whose head moved a chunk early
// meets the stream's chunk before it, in the pause: mending its one wrong field from that chunk,
// or keeping both moved times, would join two sweeps. The streams beside it in the file hold the
// period it belongs to.
TEST(CKVTACoverage, InSweepsAChunkMovedIntoThePauseBeforeItsSweepGoesBack)
{
    struct Case
    {
        const char* name;
        const char* stream;
        bool stopToo;   // both times moved; else its start alone
    };
    const Case cases[] = {
        {"a digital chunk's start", kDigi, false},
        {"a digital chunk's two times", kDigi, true},
        {"an electrode chunk's start", kElec, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(20);
        plan.gapMs = 10;
        Write(plan, r);
        const uint64_t start = KvdSweepStartNs(plan, 1);
        size_t moved = r.chunks.size();
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].stream == c.stream && r.chunks[i].startNs == start)
                moved = i;
        ASSERT_LT(moved, r.chunks.size());
        for (size_t field : {Kvd::DataChunk::kStart, Kvd::DataChunk::kStop}) {
            const size_t at = r.layout.chunkAt[moved] + field;
            if (field == Kvd::DataChunk::kStart || c.stopToo)
                PatchLE<uint64_t>(r.bytes, at, LoadLE<uint64_t>(r.bytes.data() + at) - 10 * kMs);
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        for (const char* stream : {kElec, kDigi}) {
            ExpectHoles(cov, stream, {}, KvtHoleCause::kDamagedHead);
            ExpectTrusted(r, cov, stream, AllBut(r, {}));
        }
    }
}

// The trigger of the last sweep, read, with the head of a lone stream's chunk behind it lost
// and nothing claiming its time: the bytes behind the trigger are that sweep's, not the tail of
// the sweep before.
TEST(CKVTACoverage, SamplesLostBehindTheLastTriggerAreItsSweeps)
{
    enum class Head
    {
        kStartKept,
        kTimesZeroed,
        kAllOnes,
    };
    const std::pair<const char*, Head> cases[] = {
        {"its start kept", Head::kStartKept},
        {"its times zeroed", Head::kTimesZeroed},
        {"every byte of its head set", Head::kAllOnes},
    };
    for (const auto& [name, head] : cases) {
        SCOPED_TRACE(name);
        Recording r;
        const KvdRecordingPlan plan = LoneStreamSweepPlan();
        Write(plan, r);
        const size_t lost = r.chunks.size() - 1;
        ASSERT_EQ(r.chunks[lost - 1].stream, kTrigger);
        ASSERT_EQ(r.chunks[lost].startNs, KvdSweepStartNs(plan, 2));
        const size_t at = r.layout.chunkAt[lost];
        if (head == Head::kAllOnes) {
            std::fill(r.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      r.bytes.begin() + static_cast<std::ptrdiff_t>(at + Kvd::DataChunk::kHeaderBytes), 0xFF);
        } else {
            LoseChunk(r, lost);
            if (head == Head::kTimesZeroed)
                PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStart, 0);
        }
        const CKVTACoverage& cov = r.Open();
        ExpectUncutWithLost(r, cov, lost);
    }
}

// A lone stream's middle or last sweep lost with its trigger: the head of its one chunk keeps
// one time field, the other damaged, and the sweep before is whole: that field tells where the
// loss lies (behind the data, how long the recording went on too).
TEST(CKVTACoverage, AHeadKeepingOneTimeTellsWhereItsLostSweepLies)
{
    struct Case
    {
        const char* name;
        int sweep;
        size_t damagedField;
        uint64_t value;   // from the recording's start; 0: zeroed
    };
    const Case cases[] = {
        {"the middle sweep, its start kept, its stop seconds late", 1, Kvd::DataChunk::kStop, 40000 * kMs},
        {"the middle sweep, its stop kept, its start zeroed", 1, Kvd::DataChunk::kStart, 0},
        {"the last sweep, its start kept, its stop seconds late", 2, Kvd::DataChunk::kStop, 40000 * kMs},
        {"the last sweep, its stop kept, its start zeroed", 2, Kvd::DataChunk::kStart, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        const KvdRecordingPlan plan = LoneStreamSweepPlan();
        Write(plan, r);
        const size_t lost = r.Chunk(kElec, 0) + 2 * static_cast<size_t>(c.sweep);
        ASSERT_EQ(r.chunks[lost].startNs, KvdSweepStartNs(plan, c.sweep));
        ASSERT_EQ(r.chunks[lost - 1].stream, kTrigger);
        LoseChunk(r, lost - 1);
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[lost] + c.damagedField, c.value == 0 ? 0 : T0 + c.value);
        const CKVTACoverage& cov = r.Open();
        ExpectUncutWithLost(r, cov, lost);
    }
}

// A continuous stream's chunks follow on in the file's order: where damaged heads lie among
// them and the frames of its heads between two of its sound chunks (or the stop) fill that time
// exactly, each head holds the next stretch of it in file order, whatever its times read; heads
// moved by a chunk beside them go back too, and nothing is lost.
TEST(CKVTACoverage, HeadsFillTheTimeTheirOrderInTheFileGivesThem)
{
    struct Patch
    {
        const char* stream;
        int slot;
        size_t field;
        int64_t by;   // ns added to the field
        bool set;     // the field is set to `by` instead
    };
    struct Case
    {
        const char* name;
        bool lone;   // the electrode stream alone
        std::vector<Patch> patches;
        std::vector<int> paused = {};   // slots not recorded (a pause the stored index holds)
    };
    const int64_t chunk = 10 * static_cast<int64_t>(kMs);
    const int64_t day = 86400000 * static_cast<int64_t>(kMs);
    const size_t start = Kvd::DataChunk::kStart;
    const size_t stop = Kvd::DataChunk::kStop;
    const Case cases[] = {
        {"a lone stream's last chunk moved back onto the one before, whose stop is 0", true,
         {{kElec, 4, stop, 0, true}, {kElec, 5, start, -chunk, false}, {kElec, 5, stop, -chunk, false}}},
        {"two heads side by side whose starts moved a chunk early", false,
         {{kElec, 2, start, -chunk, false}, {kElec, 3, start, -chunk, false}}},
        {"the last chunk moved back onto its twin, the head before that one's start 0", false,
         {{kDigi, 3, start, 0, true}, {kDigi, 5, start, -chunk, false}, {kDigi, 5, stop, -chunk, false}}},
        {"two chunks moved on by a chunk, the second onto the last", false,
         {{kElec, 3, start, chunk, false}, {kElec, 3, stop, chunk, false},
          {kElec, 4, start, chunk, false}, {kElec, 4, stop, chunk, false}}},
        {"the first head's start moved on, the second moved a day on", false,
         {{kElec, 0, start, chunk, false}, {kElec, 1, start, day, false}, {kElec, 1, stop, day, false}}},
        // The other stream's first head, damaged too, still reads the recording's start.
        {"as before, the other stream's first stop far off", false,
         {{kElec, 0, start, chunk, false}, {kElec, 1, start, day, false}, {kElec, 1, stop, day, false},
          {kDigi, 0, stop, day, false}}},
        // Only the stored index tells that the first head behind the pause starts behind it.
        {"a lone stream's last chunk moved back onto the one behind a pause, whose stop is 0", true,
         {{kElec, 4, stop, 0, true}, {kElec, 5, start, -chunk, false}, {kElec, 5, stop, -chunk, false}},
         {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SmallPlan(false, true);
        if (c.lone)
            plan.streams = {KvdRawStreamPlan()};
        plan.dropChunks = c.paused;
        Write(plan, r);
        for (const Patch& p : c.patches) {
            const size_t at = r.layout.chunkAt[r.Chunk(p.stream, p.slot)] + p.field;
            PatchLE<int64_t>(r.bytes, at, (p.set ? 0 : LoadLE<int64_t>(r.bytes.data() + at)) + p.by);
        }
        const CKVTACoverage& cov = r.Open();
        for (const char* stream : {kElec, kDigi}) {
            if (c.lone && stream == kDigi)
                continue;
            ExpectTrusted(r, cov, stream, AllBut(r, {}));
            ExpectHoles(cov, stream, {}, KvtHoleCause::kDamagedHead);
        }
        EXPECT_EQ(cov.ExtentEnd(), r.End());
    }
}

// Without a stored index nothing tells a lone stream's pause: a damaged head behind it that
// keeps neither of its times where the file order would put it (into the pause) is not put
// there.
TEST(CKVTACoverage, NoHeadIsPlacedIntoALoneStreamsPauseThatNothingTells)
{
    Recording r;
    KvdRecordingPlan plan = SmallPlan();
    plan.streams = {KvdRawStreamPlan()};
    plan.dropChunks = {3};
    Write(plan, r);
    const size_t damaged = r.Chunk(kElec, 4);
    const size_t moved = r.Chunk(kElec, 5);
    PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[damaged] + Kvd::DataChunk::kStop, 0);
    MoveTimes(r, moved, -10 * static_cast<int64_t>(kMs));
    const CKVTACoverage& cov = r.Open();
    for (size_t i : cov.ChunksOf(KeyOf(kElec))) {
        if (r.file.GetChunkChain()->At(i).offset == r.layout.chunkAt[damaged]) {
            EXPECT_EQ(r.file.GetChunkChain()->At(i).start, T0 + r.chunks[damaged].startNs);
        }
    }
}

// A digital chunk under the electrode id beside the electrode's own head of its period, which
// is damaged: it lies in the digital stream's place, so the electrode stream neither takes nor
// mends it, and the digital stream loses its time. The electrode head mends where one field is
// off (else its bytes are lost to both); an electrode chunk moved back onto its time goes back.
TEST(CKVTACoverage, AChunkInAnotherStreamsPlaceIsNotItsIdsStreams)
{
    struct Case
    {
        const char* name;
        size_t field;       // of the electrode head of slot 2: moved by `by` slots
        int64_t by;
        bool nextMovedBack; // the electrode chunk of slot 3 moved back one slot, onto slot 2
        std::vector<std::pair<const char*, int>> lost;
    };
    const Case cases[] = {
        {"its own head moved far off", SIZE_MAX, 1000, false, {{kElec, 2}, {kDigi, 2}}},
        {"its own head's stop one chunk earlier, which mends", Kvd::DataChunk::kStop, -1, false,
         {{kDigi, 2}}},
        {"its own head's start one chunk earlier, the next chunk moved back", Kvd::DataChunk::kStart,
         -1, true, {{kDigi, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SmallPlan();
        plan.streams[0].channels = {"12"};
        Write(plan, r);
        const auto move = [&](size_t chunk, size_t field, int64_t slots) {
            const size_t at = r.layout.chunkAt[chunk] + field;
            PatchLE<int64_t>(r.bytes, at, LoadLE<int64_t>(r.bytes.data() + at) + slots * 10 * static_cast<int64_t>(kMs));
        };
        for (size_t field : {Kvd::DataChunk::kStart, Kvd::DataChunk::kStop})
            if (c.field == SIZE_MAX || c.field == field)
                move(r.Chunk(kElec, 2), field, c.by);
        if (c.nextMovedBack)
            for (size_t field : {Kvd::DataChunk::kStart, Kvd::DataChunk::kStop})
                move(r.Chunk(kElec, 3), field, -1);
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[r.Chunk(kDigi, 2)] + Kvd::DataChunk::kId,
                          LoadLE<uint64_t>(reinterpret_cast<const uint8_t*>("elec0001")));
        std::vector<size_t> lost;
        for (const auto& [stream, slot] : c.lost)
            lost.push_back(r.Chunk(stream, slot));
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        ExpectOnlyLost(r, cov, {kElec, kDigi}, lost);
    }
}

// A stream of equal frames that ended early leaves the other stream's heads side by side: they
// stay that stream's own, as nothing of the ended stream goes on behind them.
TEST(CKVTACoverage, HeadsSideBySideBehindAStreamThatEndedStayTheirOwn)
{
    Recording r;
    KvdRecordingPlan plan = SmallPlan();
    plan.streams[0].channels = {"12"};
    plan.streams[1].missingSlots = {3, 4, 5};
    Write(plan, r);
    const CKVTACoverage& cov = r.Open();
    for (const char* stream : {kElec, kDigi}) {
        ExpectHoles(cov, stream, {}, KvtHoleCause::kDamagedHead);
        ExpectTrusted(r, cov, stream, AllBut(r, {}));
    }
}

// An old file of sweeps of one chunk: a recording's first chunk whose times moved a whole chunk
// early ends just where the header says the recording began, in front of its trigger. The
// trigger, written in front of it in the file, stops a chunk later, whatever its damaged start
// says: the chunk goes back into the trigger's time and nothing is lost.
TEST(CKVTACoverage, OldSweepsPutAFirstChunkMovedBeforeItsTriggerBack)
{
    struct Case
    {
        const char* name;
        bool lone;               // the electrode stream alone, else with the digital one
        const char* moved;       // the stream whose first chunk moved a chunk early
        uint64_t triggerStart;   // the first trigger's start field (0: as is)
    };
    const Case cases[] = {
        {"a lone stream, its trigger starting 1 ns early", true, kElec, T0 - 1},
        {"a lone stream, its trigger's start 1", true, kElec, 1},
        {"the first of two streams, its trigger's start 1", false, kElec, 1},
        {"the second of two streams, its trigger starting 1 ns early", false, kDigi, T0 - 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(10);
        plan.fileVersion = 0;
        if (c.lone)
            plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        bool moved = false;
        bool triggerPatched = false;
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            const KvdPlannedChunk& p = r.chunks[i];
            const uint64_t at = r.layout.chunkAt[i];
            if (p.stream == kTrigger && !triggerPatched && c.triggerStart != 0) {
                PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStart, c.triggerStart);
                triggerPatched = true;
            }
            if (p.stream != c.moved || moved)
                continue;
            MoveTimes(r, i, -static_cast<int64_t>(p.stopNs - p.startNs));
            moved = true;
        }
        const CKVTACoverage& cov = r.Open();
        const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, c.moved);
        EXPECT_EQ(trusted, planned);
        ExpectOldFileHoles(r, cov, {});
        EXPECT_EQ(r.file.GetStartTime(), T0);
        EXPECT_EQ(r.file.GetSweepCount(), 3);
    }
}

// An old continuous file's first chunk may begin before the header's start, but one whose start
// field was cleared, so that its frames no longer last its span, is damaged: it mends from its
// stop and frames, and the recording starts where its header says. Where another head's damaged
// stop leaves too few heads holding their frames to judge the stream by them, it is named lost.
TEST(CKVTACoverage, InAnOldFileAFirstStartClearedMendsFromItsFrames)
{
    const struct
    {
        const char* name;
        bool laterStopFarOff;   // the third chunk's stop far off too
    } cases[] = {{"alone", false}, {"beside a stop far off", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = OldLonePlan();
        plan.chunks = 4;
        Write(plan, r);
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[r.Chunk(kElec, 0)] + Kvd::DataChunk::kStart, 0);
        std::vector<size_t> lost;
        if (c.laterStopFarOff) {
            PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[r.Chunk(kElec, 2)] + Kvd::DataChunk::kStop,
                              T0 + 60000 * kMs);
            lost = {r.Chunk(kElec, 0), r.Chunk(kElec, 2)};
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.ExtentStart(), T0);
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        ExpectOldFileHoles(r, cov, lost);
        if (lost.empty()) {
            EXPECT_EQ(TrustedStarts(r, cov, kElec).front(), T0);
        }
    }
}

// A lone stream of three chunks whose heads are all damaged, so that none tells how long its
// chunks last: a stop set long past the header's stop (or the stored index's) was never a time
// of the recording; the chunk that claims it keeps its start and its frames tell its stop.
TEST(CKVTACoverage, AChunkEndingLongAfterTheRecordingEndsWhereItsFramesDo)
{
    for (bool storedIndex : {false, true}) {
        for (uint64_t stop : {UINT64_MAX, T0 + 3600000 * kMs}) {
            SCOPED_TRACE(std::string(storedIndex ? "stored index, " : "header only, ")
                         + (stop == UINT64_MAX ? "largest stop" : "an hour later"));
            Recording r;
            KvdRecordingPlan plan = SmallPlan(false, storedIndex);
            plan.streams = {KvdRawStreamPlan()};
            plan.chunks = 3;
            Write(plan, r);
            PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[r.Chunk(kElec, 0)] + Kvd::DataChunk::kStop, stop);
            PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[r.Chunk(kElec, 1)] + Kvd::DataChunk::kStart, 0);
            LoseChunk(r, r.Chunk(kElec, 2));
            const CKVTACoverage& cov = r.Open();
            EXPECT_EQ(cov.ExtentEnd(), r.End());
            const std::vector<size_t> lost = {r.Chunk(kElec, 1), r.Chunk(kElec, 2)};
            ExpectHoles(cov, kElec, PlannedHoles(r, kElec, lost), KvtHoleCause::kDamagedHead);
        }
    }
}

// An old continuous file's first chunks may begin a little before the header's start, but a
// lone stream's first chunk that ends just there, all its frames before the recording, while
// the stream holds nothing for as long behind it, had both times moved a whole chunk early: it
// goes back and nothing is lost, alone or beside a trigger that starts later.
TEST(CKVTACoverage, InAnOldContinuousFileAFirstChunkMovedWhollyBeforeTheStartGoesBack)
{
    for (bool trigger : {false, true}) {
        SCOPED_TRACE(trigger ? "beside a later trigger" : "alone");
        Recording r;
        KvdRecordingPlan plan = OldLonePlan();
        if (trigger)
            plan.triggerMs = {25};
        Write(plan, r);
        MoveTimes(r, r.Chunk(kElec, 0), -10 * static_cast<int64_t>(kMs));
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.ExtentStart(), T0);
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        EXPECT_EQ(TrustedStarts(r, cov, kElec), PlannedStarts(r, kElec));
        ExpectOldFileHoles(r, cov, {});
    }
}

namespace {

// One damaged head field of a sweep plan's chunk: the chunk of `stream` starting `slot` slots
// into sweep `sweep`, its `field` set to `value` as stored or, with `byMs`, moved by that much.
struct SweepPatch
{
    const char* stream;
    int sweep;
    int slot;
    size_t field;
    uint64_t value = 0;
    int64_t byMs = 0;
};

void ApplySweepPatches(Recording& r, const KvdRecordingPlan& plan, const std::vector<SweepPatch>& patches)
{
    for (const SweepPatch& p : patches) {
        const uint64_t start = KvdSweepStartNs(plan, p.sweep) + static_cast<uint64_t>(p.slot) * 10 * kMs;
        const size_t at = r.layout.chunkAt[r.Chunk(p.stream, static_cast<int>(start / (10 * kMs)))] + p.field;
        const uint64_t moved = LoadLE<uint64_t>(r.bytes.data() + at) + static_cast<uint64_t>(p.byMs) * kMs;
        PatchLE<uint64_t>(r.bytes, at, p.byMs != 0 ? moved : p.value);
    }
}

constexpr size_t kId = Kvd::DataChunk::kId;
constexpr size_t kStart = Kvd::DataChunk::kStart;
constexpr size_t kStop = Kvd::DataChunk::kStop;
constexpr size_t kSize = Kvd::DataChunk::kSize;
constexpr int64_t kDayMs = 86400000;

// The electrode stream's id as a head stores it.
uint64_t ElecId()
{
    return LoadLE<uint64_t>(reinterpret_cast<const uint8_t*>(kIdOf.at(kElec).c_str()));
}

} // namespace

// In sweeps the writer's plan puts every loss in its own sweep, which no damaged head may move:
// the time a sweep lost stays apart from the whole sweeps around it (a hole meeting one would
// refuse it), and a sweep cut short keeps its loss, whatever the heads in the gap claim.
TEST(CKVTACoverage, InSweepsALossStaysInItsOwnSweep)
{
    struct Case
    {
        const char* name;
        int sweepMs;
        int gapMs;
        bool lone;                        // the electrode stream alone
        std::vector<SweepPatch> patches;
        std::vector<std::pair<const char*, Span>> holes;   // the first hole of a stream (ms)
        int sweeps = 3;
    };
    const Case cases[] = {
        // Both streams' heads of the middle sweep damaged, its trigger moved into the pause: the
        // electrode head's start and the digital one's stop tell where it lies.
        {"a middle sweep of two streams, its trigger moved", 10, 30, false,
         {{kTrigger, 1, 0, kStart, 0, -10}, {kTrigger, 1, 0, kStop, 0, -10},
          {kElec, 1, 0, kStop, 0, 10}, {kDigi, 1, 0, kStart, 1}},
         {{kElec, {40, 50}}, {kDigi, {40, 50}}}},
        // Nothing tells where a lone stream's lost sweep lay: sweeps start at a steady pace.
        {"a lone stream's middle sweep, its times zeroed, its trigger's late", 10, 30, true,
         {{kTrigger, 1, 0, kStart, 0, 10000}, {kTrigger, 1, 0, kStop, 0, 10000},
          {kElec, 1, 0, kStart, 0}, {kElec, 1, 0, kStop, 0}, {kElec, 1, 0, kSize, 5}},
         {{kElec, {40, 50}}}},
        // The first sweep's trigger spans into the pause: it records no samples there.
        {"the middle sweep a day late beside a trigger that runs on", 10, 30, false,
         {{kTrigger, 0, 0, kStop, 0, 10}, {kElec, 1, 0, kStart, 0, kDayMs}, {kElec, 1, 0, kStop, 0, kDayMs}},
         {{kElec, {40, 50}}}},
        // The second head of two lost in a row keeps its start: the loss begins where the first
        // one's bytes put it, not at that start (a pause of a chunk would let it end the gap).
        {"two heads lost in a row, the second keeping its start", 30, 10, true,
         {{kElec, 0, 1, kStart, 0, kDayMs}, {kElec, 0, 1, kStop, 0, kDayMs},
          {kElec, 0, 2, kSize, 5}, {kElec, 0, 2, kStop, 0}},
         {{kElec, {10, 30}}}},
        // The trigger moved into the pause before its sweep, whose first head is unreadable:
        // the second head's start lies where the first one's bytes end, in the last sweep or not.
        {"a sweep's first head unreadable, its trigger moved early", 20, 10, true,
         {{kTrigger, 1, 0, kStart, 0, -10}, {kTrigger, 1, 0, kStop, 0, -10},
          {kElec, 1, 0, kId, UINT64_MAX}, {kElec, 1, 0, kSize, UINT64_MAX},
          {kElec, 1, 0, kStart, UINT64_MAX}, {kElec, 1, 0, kStop, UINT64_MAX}, {kElec, 1, 1, kStop, 1}},
         {{kElec, {30, 50}}}},
        {"the last sweep's first head unreadable, its trigger moved early", 20, 10, true,
         {{kTrigger, 1, 0, kStart, 0, -10}, {kTrigger, 1, 0, kStop, 0, -10},
          {kElec, 1, 0, kId, UINT64_MAX}, {kElec, 1, 0, kSize, UINT64_MAX},
          {kElec, 1, 0, kStart, UINT64_MAX}, {kElec, 1, 0, kStop, UINT64_MAX}, {kElec, 1, 1, kStop, 1}},
         {{kElec, {30, 50}}}, 2},
        // A sweep whose run its trigger starts is short: the time lost behind it is its own,
        // though the next sweep's trigger moved into the pause and its chunk's head is lost.
        {"a sweep cut short, the next one's trigger moved early", 20, 30, true,
         {{kElec, 1, 1, kStart, 0}, {kElec, 1, 1, kStop, 0}, {kElec, 1, 1, kSize, 5},
          {kTrigger, 2, 0, kStart, 0, -10}, {kElec, 2, 0, kStop, 1}},
         {{kElec, {60, 70}}}},
        // The digital chunk's stop a nanosecond late holds no frame of the pause behind it.
        {"the last sweep late, the sweep before a nanosecond long", 10, 30, false,
         {{kDigi, 1, 0, kStop, T0 + 50 * kMs + 1}, {kTrigger, 2, 0, kSize, INT64_MAX},
          {kElec, 2, 0, kStart, 0, 10000}, {kElec, 2, 0, kStop, 0, 10000}},
         {{kElec, {80, 90}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(c.sweepMs);
        plan.gapMs = c.gapMs;
        plan.sweeps = c.sweeps;
        if (c.lone)
            plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        ApplySweepPatches(r, plan, c.patches);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        for (const auto& [stream, hole] : c.holes) {
            SCOPED_TRACE(stream);
            const std::vector<KvtHole>& holes = cov.HolesOf(KeyOf(stream));
            ASSERT_FALSE(holes.empty());
            EXPECT_EQ(holes[0].from, T0 + hole.first * kMs);
            EXPECT_EQ(holes[0].to, T0 + hole.second * kMs);
        }
    }
}

// In sweeps a pause of one chunk: heads whose times moved put chunks where no sweep lies, or
// beside their twins. Each chunk goes back to its sweep's period, or is lost there alone.
TEST(CKVTACoverage, InSweepsChunksGoBackToTheirOwnSweeps)
{
    struct Case
    {
        const char* name;
        int sweepMs;
        bool lone;
        std::vector<SweepPatch> patches;
        std::vector<std::pair<const char*, int>> lost;   // stream, slot from the start
        bool sameSize = false;   // both streams of one channel
    };
    const Case cases[] = {
        // The electrode run would outlast a sweep: the chunk moved a chunk early goes back,
        // though no trigger starts its sweep.
        {"a sweep's first chunk moved early, its trigger lost", 20, false,
         {{kTrigger, 1, 0, kSize, 5}, {kElec, 1, 0, kStart, 0, -10}, {kElec, 1, 0, kStop, 0, -10}}, {}},
        // Its start alone moved; mended from the chunk before, it keeps its stop.
        {"a sweep's first chunk's start moved early, its trigger's stop damaged", 20, false,
         {{kTrigger, 1, 0, kStop, 0}, {kElec, 1, 0, kStart, 0, -10}}, {}},
        // A lost head's start damaged: the chunk behind it is where its bytes put it.
        {"a lone stream's middle head with its start 1", 30, true, {{kElec, 1, 1, kStart, 1}}, {}},
        // Twins: the one beside another stream's chunk of its own start is its period's.
        {"a sweep's last digital chunk moved onto the one before", 20, false,
         {{kDigi, 1, 1, kStart, 0, -10}, {kDigi, 1, 1, kStop, 0, -10}}, {{kDigi, 4}}},
        // A lost stretch whose head names the electrodes lies where the digital chunk of a whole
        // sweep's last slot was: the electrodes' pause behind it holds no such loss.
        {"a digital head of a whole sweep under the electrodes' id", 30, false,
         {{kDigi, 0, 2, kSize, 5}, {kDigi, 0, 2, kStop, 0}, {kDigi, 0, 2, kId, ElecId()}},
         {{kDigi, 2}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(c.sweepMs);
        plan.gapMs = 10;
        if (c.lone)
            plan.streams = {KvdRawStreamPlan()};
        if (c.sameSize)
            plan.streams[0].channels = {"12"};
        Write(plan, r);
        ApplySweepPatches(r, plan, c.patches);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        std::vector<size_t> lost;
        for (const auto& [stream, slot] : c.lost)
            lost.push_back(r.Chunk(stream, slot));
        ExpectOnlyLost(r, cov, c.lone ? std::vector<const char*> {kElec}
                                      : std::vector<const char*> {kElec, kDigi},
                       lost);
    }
}

// An old file of sweeps whose trigger heads the chain lost for their size: the times such a head
// keeps span its sweep, and a chunk of samples behind it inside them is that sweep's though no
// other stream's chunk shares its time. Only what was damaged besides is lost.
TEST(CKVTACoverage, OldSweepsKeepTheChunksInsideATriggerHeadLostForItsSize)
{
    struct Case
    {
        const char* name;
        int sweepMs;
        bool lone;            // the electrode stream alone, else with the digital one
        int sweep;            // whose trigger's size is damaged
        int64_t startByNs;    // the electrode chunk 10 ms into the sweep: its start moved by
        int64_t bothByNs;     // the sweep's first electrode chunk: both times moved (0: as is)
    };
    const Case cases[] = {
        {"a lone stream, the middle chunk's start far off", 30, true, 0, 20000 * kMs, 0},
        {"a later sweep, the middle chunk's start far off", 30, true, 1, 20000 * kMs, 0},
        {"two streams, the electrodes moved 10 s on", 10, false, 1, 0, 10000 * kMs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(c.sweepMs);
        plan.fileVersion = 0;
        if (c.lone)
            plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        const uint64_t sweepStart = KvdSweepStartNs(plan, c.sweep);
        std::vector<size_t> lost;
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            const KvdPlannedChunk& p = r.chunks[i];
            const uint64_t at = r.layout.chunkAt[i];
            if (p.stream == kTrigger && p.startNs == sweepStart)
                PatchLE<int64_t>(r.bytes, at + Kvd::DataChunk::kSize, -1);
            if (p.stream != kElec)
                continue;
            if (c.startByNs != 0 && p.startNs == sweepStart + 10 * kMs)
                PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStart,
                                  T0 + p.startNs + c.startByNs);
            if (c.bothByNs != 0 && p.startNs == sweepStart) {
                for (size_t field : {Kvd::DataChunk::kStart, Kvd::DataChunk::kStop})
                    PatchLE<uint64_t>(r.bytes, at + field,
                                      LoadLE<uint64_t>(r.bytes.data() + at + field) + c.bothByNs);
                lost.push_back(i);
            }
        }
        const CKVTACoverage& cov = r.Open();
        for (const char* stream : {kElec, kDigi}) {
            std::vector<uint64_t> kept;
            for (size_t i : AllBut(r, lost))
                if (r.chunks[i].stream == stream && (!c.lone || stream == kElec))
                    kept.push_back(T0 + r.chunks[i].startNs);
            EXPECT_EQ(TrustedStarts(r, cov, stream), kept) << stream;
        }
        ExpectOldFileHoles(r, cov, lost);
        EXPECT_EQ(r.file.GetSweepCount(), 3);
    }
}

// Sweeps of one chunk in an old file: the trigger, written right before its sweep's chunk, spans
// just that chunk. Behind a trigger head lost for its size, a chunk whose two times moved a chunk
// earlier or later goes back to the trigger's times, and nothing is lost of its stream.
TEST(CKVTACoverage, OldSweepsPutAChunkMovedOffItsLostTriggerBack)
{
    struct Case
    {
        const char* name;
        bool lone;         // the electrode stream alone, else with the digital one
        int sweep;         // whose trigger's size is damaged and whose electrode chunk moved
        int64_t byChunks;  // the electrode chunk's times moved by this many chunks
        int sweeps;
    };
    // Of two sweeps, no other gap tells that the file holds sweeps.
    const Case cases[] = {
        {"a lone stream, a chunk earlier", true, 1, -1, 3},
        {"a lone stream's last sweep, a chunk later", true, 2, 1, 3},
        {"two streams, a chunk later", false, 1, 1, 3},
        {"a lone stream's second of two sweeps, a chunk earlier", true, 1, -1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = c.lone ? LoneStreamSweepPlan() : SweepPlan(10);
        plan.fileVersion = 0;
        plan.sweeps = c.sweeps;
        Write(plan, r);
        const uint64_t sweepStart = KvdSweepStartNs(plan, c.sweep);
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            const KvdPlannedChunk& p = r.chunks[i];
            const uint64_t at = r.layout.chunkAt[i];
            if (p.startNs != sweepStart)
                continue;
            if (p.stream == kTrigger)
                PatchLE<int64_t>(r.bytes, at + Kvd::DataChunk::kSize, -1);
            if (p.stream == kElec)
                for (size_t field : {Kvd::DataChunk::kStart, Kvd::DataChunk::kStop})
                    PatchLE<int64_t>(r.bytes, at + field,
                                     LoadLE<int64_t>(r.bytes.data() + at + field)
                                         + c.byChunks * static_cast<int64_t>(p.stopNs - p.startNs));
        }
        const CKVTACoverage& cov = r.Open();
        for (const char* stream : {kElec, kDigi}) {
            if (!c.lone || stream == kElec) {
                EXPECT_EQ(TrustedStarts(r, cov, stream), PlannedStarts(r, stream)) << stream;
            }
        }
        ExpectOldFileHoles(r, cov, {});
        EXPECT_EQ(r.file.GetSweepCount(), c.sweeps);
    }
}

// An old file keeps no sweep length, and the one measured from its first gap may hold the very
// time lost. Where the only head a lone stream lost between two sweeps is one the chain read,
// whose times span its frames and lie more than a chunk off the chunks around the gap, they tell
// where its time was lost, whatever the sweep length; a sweep's last chunk moved a chunk on
// lies right beside its sweep and tells nothing.
TEST(CKVTACoverage, OldSweepsLoseALoneHeadsTimeWhereItsTimesLie)
{
    struct Case
    {
        const char* name;
        int sweepMs;
        int sweep;
        bool movedOn;   // the sweep's last chunk both times a chunk later, else its stop 1 ns early
    };
    const Case cases[] = {
        {"sweeps of one chunk, the second", 10, 1, false},
        {"sweeps of one chunk, the third", 10, 2, false},
        {"sweeps of three chunks, the second's last moved on", 30, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = LoneStreamSweepPlan();
        plan.sweepMs = c.sweepMs;
        plan.sweepLengthMs = c.sweepMs;
        plan.fileVersion = 0;
        plan.sweeps = 4;
        Write(plan, r);
        const uint64_t sweepStart = KvdSweepStartNs(plan, c.sweep);
        const uint64_t lastStart = sweepStart + static_cast<uint64_t>(c.sweepMs - 10) * kMs;
        std::vector<size_t> lost;
        for (size_t i = 0; i < r.chunks.size(); ++i) {
            const KvdPlannedChunk& p = r.chunks[i];
            const uint64_t at = r.layout.chunkAt[i];
            // The trigger a day off: nothing vouches for the chunk.
            if (p.stream == kTrigger && p.startNs == sweepStart)
                for (size_t field : {Kvd::DataChunk::kStart, Kvd::DataChunk::kStop})
                    PatchLE<uint64_t>(r.bytes, at + field, LoadLE<uint64_t>(r.bytes.data() + at + field)
                                                               + 86400000 * kMs);
            if (p.stream != kElec || p.startNs != lastStart)
                continue;
            if (c.movedOn) {
                PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStart, T0 + p.stopNs);
                PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStop, T0 + p.stopNs + 10 * kMs);
            } else {
                PatchLE<uint64_t>(r.bytes, at + Kvd::DataChunk::kStop, T0 + p.stopNs - 1);
            }
            lost.push_back(i);
        }
        const CKVTACoverage& cov = r.Open();
        ExpectOldFileHoles(r, cov, lost);
        EXPECT_EQ(r.file.GetSweepCount(), 4);
    }
}

// Heads that their neighbours, the header's stop or the other streams place: each case's
// damaged heads go back to the times the plan gave them, and only the chunks lost whole leave
// holes.
TEST(CKVTACoverage, HeadsGoWhereTheClaimedStopTheLostBytesOrThePauseShowThemToBelong)
{
    struct Patch
    {
        const char* stream;
        int slot;
        size_t field;   // kStart, kStop or kId
        int64_t by;     // ns added to a time field
        bool set = false;   // the field is set to `by` instead
        const char* id = "digi0001";   // the id a kId patch gives
    };
    struct Case
    {
        const char* name;
        bool lone;                  // the electrode stream alone
        std::vector<int> digiMissing;   // slots the digital stream lacks (it ends early)
        std::vector<int> paused;    // slots no stream recorded
        std::vector<Patch> patches;
        std::vector<std::pair<const char*, int>> lost = {};   // heads made unreadable
        bool spikes = false;        // a spike in every slot
        std::vector<int> triggerMs = {};   // a trigger chunk at each of these times
        bool idLost = false;        // a head given another id is its stream's loss
    };
    const int64_t chunk = 10 * static_cast<int64_t>(kMs);
    const size_t start = Kvd::DataChunk::kStart;
    const size_t stop = Kvd::DataChunk::kStop;
    const size_t id = Kvd::DataChunk::kId;
    const Case cases[] = {
        // Nothing but the header's stop bears out the last stop: the head before is damaged.
        {"a lone stream's last stop a nanosecond early behind a head whose stop is 1", true, {}, {},
         {{kElec, 4, stop, 1, true}, {kElec, 5, stop, -1}}},
        {"the last two electrode heads moved on, the last one's start only", false, {}, {},
         {{kElec, 4, start, chunk}, {kElec, 4, stop, chunk}, {kElec, 5, start, chunk}}},
        {"the last electrode head moved 10 s on behind a digital stream that ended", false, {5}, {},
         {{kElec, 5, start, 1000 * chunk}, {kElec, 5, stop, 1000 * chunk}}},
        {"the last electrode chunk under the id of a digital stream that ended", false, {5}, {},
         {{kElec, 5, id, 0}}},
        {"a digital start moved onto the stop of the chunk before its lost one", false, {}, {},
         {{kDigi, 3, start, -chunk}}, {{kDigi, 2}}},
        {"the last digital start moved into the pause in front of it", false, {5}, {3},
         {{kDigi, 4, start, -chunk}}},
        {"a lone stream's last start moved onto the stop in front of the pause before it", true,
         {}, {4}, {{kElec, 5, start, -chunk}}},
        {"an electrode head's times a nanosecond late, the last electrode head lost", false, {}, {},
         {{kElec, 3, start, 1}, {kElec, 3, stop, 1}}, {{kElec, 5}}},
        // The spike's bytes fit no stream of samples: they are the spikes' loss, not the digital
        // stream's, though that one lacks the time too.
        {"a spike chunk under the digital id beside the lost digital head", false, {}, {},
         {{kSpikes, 2, id, 0}}, {{kDigi, 2}}, true, {}, true},
        // Spike records are no whole trigger records: overlapping a trigger chunk they are the
        // spikes' loss.
        {"a spike chunk under the trigger id over a trigger chunk", false, {}, {},
         {{kSpikes, 2, id, 0, false, "trig0001"}}, {}, true, {15, 41}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SmallPlan(c.spikes);
        plan.triggerMs = c.triggerMs;
        if (c.lone)
            plan.streams = {KvdRawStreamPlan()};
        else
            plan.streams[1].missingSlots = c.digiMissing;
        plan.dropChunks = c.paused;
        Write(plan, r);
        for (const Patch& p : c.patches) {
            const size_t at = r.layout.chunkAt[r.Chunk(p.stream, p.slot)] + p.field;
            if (p.field == id)
                PatchLE<uint64_t>(r.bytes, at,
                                  LoadLE<uint64_t>(reinterpret_cast<const uint8_t*>(p.id)));
            else
                PatchLE<int64_t>(r.bytes, at,
                                 (p.set ? 0 : LoadLE<int64_t>(r.bytes.data() + at)) + p.by);
        }
        std::vector<size_t> lost;
        for (const auto& [stream, slot] : c.lost)
            lost.push_back(r.Chunk(stream, slot));
        for (size_t i : lost)
            LoseChunk(r, i);
        for (const Patch& p : c.patches)
            if (p.field == id && c.idLost)
                lost.push_back(r.Chunk(p.stream, p.slot));
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        for (const char* stream : {kElec, kDigi, kSpikes, kTrigger}) {
            if ((c.lone && stream == kDigi) || (!c.spikes && stream == kSpikes)
                || (c.triggerMs.empty() && stream == kTrigger))
                continue;
            ExpectTrusted(r, cov, stream, AllBut(r, lost));
            ExpectHoles(cov, stream, PlannedHoles(r, stream, lost), KvtHoleCause::kDamagedHead);
        }
    }
}

namespace {

// Gives chunk i (file order) of `r` the id `id`.
void SetId(Recording& r, size_t i, const char* id)
{
    std::copy(id, id + Kvd::kIdBytes,
              r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[i]));
}

// A lone electrode stream in three sweeps of `sweepMs` (10 ms chunks), `gapMs` apart.
KvdRecordingPlan LoneSweeps(int sweepMs, int gapMs)
{
    KvdRecordingPlan plan = SweepPlan(sweepMs);
    plan.streams = {KvdRawStreamPlan()};
    plan.gapMs = gapMs;
    return plan;
}

// Writes LoneSweeps(sweepMs, gapMs) to `r`; returns the 10 ms slot that sweep `sweep` starts in.
int WriteLoneSweeps(Recording& r, int sweep, int sweepMs = 30, int gapMs = 30)
{
    const KvdRecordingPlan plan = LoneSweeps(sweepMs, gapMs);
    Write(plan, r);
    return static_cast<int>(KvdSweepStartNs(plan, sweep) / (10 * kMs));
}

// The electrodes lost nothing and every chunk is trusted where the plan put it.
void ExpectElectrodesWhole(Recording& r, const CKVTACoverage& cov)
{
    ExpectHoles(cov, kElec, {}, KvtHoleCause::kDamagedHead);
    const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, kElec);
    EXPECT_EQ(trusted, planned);
}

} // namespace

// A sweep's first chunk starts with its trigger, which the recorder writes in front of it. Where
// the chunks behind a trigger moved by a chunk, later onto the time of the next one (whose id
// was damaged) or earlier into the pause before (running into the sweep before), their run
// lasts no sweep: they go back onto the trigger. A trigger whose times moved leaves whole sweeps
// behind it, and they stay.
TEST(CKVTACoverage, ASweepsChunksMovedOffTheirTriggerGoBackOntoIt)
{
    struct Case
    {
        const char* name;
        int gapMs;
        int sweep;
        int64_t moveChunks;    // ns the chunks behind the sweep's trigger move
        int chunksMoved;       // how many of them, from the first
        bool damageNextId;     // the id of the chunk behind those moved is one byte off
        int64_t moveTrigger;   // ns the sweep's trigger moves
    };
    const int64_t chunk = 10 * static_cast<int64_t>(kMs);
    const Case cases[] = {
        {"the first chunk onto the second, whose id is damaged", 10, 2, chunk, 1, true, 0},
        {"both chunks into the pause before", 10, 1, -chunk, 2, false, 0},
        {"the trigger a chunk later", 30, 1, 0, 0, false, chunk},
        {"the trigger a chunk earlier", 30, 1, 0, 0, false, -chunk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        const KvdRecordingPlan plan = LoneSweeps(20, c.gapMs);
        Write(plan, r);
        const int slot = static_cast<int>(KvdSweepStartNs(plan, c.sweep) / (10 * kMs));
        for (int k = 0; k < c.chunksMoved; ++k)
            MoveTimes(r, r.Chunk(kElec, slot + k), c.moveChunks);
        if (c.damageNextId)
            SetId(r, r.Chunk(kElec, slot + c.chunksMoved), "elec*001");
        if (c.moveTrigger != 0)
            MoveTimes(r, r.Chunk(kTrigger, slot), c.moveTrigger);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        ExpectElectrodesWhole(r, cov);
    }
}

// A chunk moved by a chunk across the pause between two sweeps, so that it meets the other
// sweep's chunk, runs the two together for longer than a sweep lasts, and leaves a gap of just
// its length on its other side: it goes back there. The last chunk of a sweep moved later, and
// a first sweep's only chunk moved later while its trigger was lost. Likewise a chunk that meets
// the one behind it although a lost head of its stream lies between them in the file.
TEST(CKVTACoverage, AChunkThatRunsTwoSweepsTogetherGoesBackAcrossThePause)
{
    {
        SCOPED_TRACE("a sweep's last chunk");
        Recording r;
        Write(LoneSweeps(20, 10), r);
        MoveTimes(r, r.Chunk(kElec, 1), 10 * static_cast<int64_t>(kMs));
        ExpectElectrodesWhole(r, r.Open());
    }
    {
        SCOPED_TRACE("the first sweep's chunk, its trigger lost");
        Recording r;
        Write(LoneSweeps(10, 10), r);
        LoseChunk(r, r.Chunk(kTrigger, 0));
        MoveTimes(r, r.Chunk(kElec, 0), 10 * static_cast<int64_t>(kMs));
        ExpectElectrodesWhole(r, r.Open());
    }
    {
        SCOPED_TRACE("the first chunk onto the lost head's time, its trigger a day off");
        Recording r;
        Write(LoneSweeps(30, 30), r);
        MoveTimes(r, r.Chunk(kTrigger, 0), 86400000 * static_cast<int64_t>(kMs));
        MoveTimes(r, r.Chunk(kElec, 0), 10 * static_cast<int64_t>(kMs));
        const size_t lost = r.Chunk(kElec, 1);
        std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[lost]),
                    Kvd::DataChunk::kHeaderBytes, uint8_t {0});
        const CKVTACoverage& cov = r.Open();
        ExpectHoles(cov, kElec, PlannedHoles(r, kElec, {lost}), KvtHoleCause::kDamagedHead);
        ExpectTrusted(r, cov, kElec, AllBut(r, {lost}));
    }
}

// A sweep's second chunk whose id is one byte off and its third under the trigger's id: once
// the second mends, the third fills the gap it leaves at the sweep's end, and is the
// electrodes' chunk.
TEST(CKVTACoverage, SamplesUnderTheTriggersIdBesideAMendedHeadAreTheirStreams)
{
    Recording r;
    const int slot = WriteLoneSweeps(r, 1);
    SetId(r, r.Chunk(kElec, slot + 1), "elec*001");
    SetId(r, r.Chunk(kElec, slot + 2), "trig0001");
    ExpectElectrodesWhole(r, r.Open());
}

// A sweep's last chunk moved a chunk earlier onto the time of the one before it, which carries
// the trigger's id: the sweep, as read, falls short. The chunk under the trigger's id, in front
// of its twin, holds the electrodes' frames of that time; its twin goes on behind it.
TEST(CKVTACoverage, ATwinUnderTheTriggersIdKeepsItsTimeAndTheMovedOneGoesOn)
{
    Recording r;
    const int slot = WriteLoneSweeps(r, 2);
    SetId(r, r.Chunk(kElec, slot + 1), "trig0001");
    MoveTimes(r, r.Chunk(kElec, slot + 2), -10 * static_cast<int64_t>(kMs));
    ExpectElectrodesWhole(r, r.Open());
}

// In sweeps, a lost head between two chunks holds time between them: the head behind it, its
// start moved a chunk earlier onto the stop of the chunk before the lost one, is not mended
// there. The lost chunk's time is named lost and no chunk is trusted at another's time.
TEST(CKVTACoverage, AHeadBehindALostOneDoesNotMendOntoTheChunkBeforeIt)
{
    Recording r;
    const int slot = WriteLoneSweeps(r, 2);
    const size_t lost = r.Chunk(kElec, slot + 1);
    std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[lost]),
                Kvd::DataChunk::kHeaderBytes, uint8_t {0});
    MoveTimes(r, r.Chunk(kElec, slot + 2), -10 * static_cast<int64_t>(kMs), false);
    const CKVTACoverage& cov = r.Open();
    const Span lostSpan {T0 + r.chunks[lost].startNs, T0 + r.chunks[lost].stopNs};
    const KvtHole* hole = cov.HoleAt(KeyOf(kElec), lostSpan.first);
    ASSERT_NE(hole, nullptr);
    EXPECT_GE(hole->to, lostSpan.second);
    const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, kElec);
    for (const Span& t : trusted)
        EXPECT_NE(std::find(planned.begin(), planned.end(), t), planned.end());
}

// Sweeps begin on the grid of the sampling clock, which runs on between them. The last
// sweep's lone chunk whose start moved a nanosecond early, beside a trigger whose times moved
// far, has nothing beside it to tell which field is off but that grid: its start goes back.
TEST(CKVTACoverage, AStartANanosecondOffTheSweepsGridGoesBackOntoIt)
{
    Recording r;
    const int slot = WriteLoneSweeps(r, 2, 10, 30);
    MoveTimes(r, r.Chunk(kTrigger, slot), 10000 * static_cast<int64_t>(kMs));
    MoveTimes(r, r.Chunk(kElec, slot), -1, false);
    const CKVTACoverage& cov = r.Open();
    const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, kElec);
    EXPECT_EQ(trusted, planned);
}

namespace {

// An old continuous file of a lone electrode stream in four slots of 10 ms, with a trigger
// event at each of `triggerMs` and, with `everySlot`, a trigger chunk in every slot.
KvdRecordingPlan OldLoneStreamPlan(std::vector<int> triggerMs, bool everySlot)
{
    KvdRecordingPlan plan = OldLonePlan();
    plan.chunks = 4;
    plan.triggerMs = std::move(triggerMs);
    plan.triggerEverySlot = everySlot;
    return plan;
}

} // namespace

// Where as many heads of an old file's stream are damaged as not, its chunks are not held to
// their frames; still no chunk lasts longer than a chunk can. A head that starts inside the
// recording and stops an hour or more later had its stop damaged: it is lost, and neither
// carries the recording's end off nor leaves the heads behind it out of order.
TEST(CKVTACoverage, InAnOldFileAStopFarBehindItsStartIsDamaged)
{
    {
        SCOPED_TRACE("samples");
        Recording r;
        Write(OldLoneStreamPlan({}, false), r);
        const std::vector<size_t> lost = {r.Chunk(kElec, 1), r.Chunk(kElec, 3)};
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[lost[0]] + Kvd::DataChunk::kStop, T0 + 3600000 * kMs);
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[lost[1]] + Kvd::DataChunk::kStop, UINT64_MAX);
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        EXPECT_EQ(FileHoles(r, cov, kElec), PlannedHoles(r, kElec, lost));
    }
    {
        // Events are never held to frames: the first trigger's time is lost up to the next one.
        SCOPED_TRACE("a trigger");
        Recording r;
        Write(OldLoneStreamPlan({5, 25}, false), r);
        std::vector<size_t> triggers;
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].stream == kTrigger)
                triggers.push_back(i);
        const size_t first = triggers.at(0);
        const size_t second = triggers.at(1);
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[first] + Kvd::DataChunk::kStop, UINT64_MAX);
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.ExtentEnd(), r.End());
        EXPECT_EQ(FileHoles(r, cov, kTrigger), (std::vector<Span> {{T0, T0 + r.chunks[second].startNs}}));
    }
}

// In a continuous old file the streams write a period's chunks in the same order every period.
// A chunk whose times moved by a chunk, lying between two chunks of another stream, is put
// back into the period of the one its stream writes beside: a digital chunk moved onto the slot
// behind its stream's end (the electrodes write first), an empty trigger chunk moved onto the
// slot before, whose own trigger chunk is lost (triggers write first).
TEST(CKVTACoverage, InAnOldFileTheWriteOrderPutsAChunkMovedByAChunkBack)
{
    {
        SCOPED_TRACE("a digital chunk a slot later");
        Recording r;
        KvdRecordingPlan plan = SmallPlan();
        plan.fileVersion = 0;
        plan.streams[1].missingSlots = {5};
        Write(plan, r);
        MoveTimes(r, r.Chunk(kDigi, 4), 10 * kMs);
        const CKVTACoverage& cov = r.Open();
        ExpectNothingLost(r, cov, kDigi);
    }
    {
        SCOPED_TRACE("an empty trigger chunk a slot earlier");
        Recording r;
        Write(OldLoneStreamPlan({5, 25}, true), r);
        const size_t lost = r.Chunk(kTrigger, 2);
        LoseChunk(r, lost);
        MoveTimes(r, r.Chunk(kTrigger, 3), -10 * static_cast<int64_t>(kMs));
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(FileHoles(r, cov, kTrigger), PlannedHoles(r, kTrigger, {lost}));
        std::vector<uint64_t> starts = PlannedStarts(r, kTrigger);
        starts.erase(starts.begin() + 2);
        EXPECT_EQ(TrustedStarts(r, cov, kTrigger), starts);
    }
}

// An old file's trigger chunk holding a record whose head is hidden beside damaged electrode
// heads loses its time: inside the stretch skipped behind an electrode head (its bytes exceed
// the electrodes' frames and heads and an empty trigger head for each slot), or under the
// electrodes' id where they lack its time (fewer bytes than their chunk, whole records).
TEST(CKVTACoverage, InAnOldFileATriggerChunkHiddenBesideDamagedElectrodesIsLost)
{
    // An empty trigger head among them holds no record: nothing of the triggers is lost.
    for (const bool record : {true, false}) {
        SCOPED_TRACE(record ? "in a skipped stretch" : "an empty trigger chunk in a skipped stretch");
        Recording r;
        Write(OldLoneStreamPlan(record ? std::vector<int> {5, 25} : std::vector<int> {5}, true), r);
        const std::vector<size_t> lost = {r.Chunk(kElec, 1), r.Chunk(kTrigger, 2), r.Chunk(kElec, 2)};
        for (size_t i : lost)
            LoseChunk(r, i);
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(FileHoles(r, cov, kTrigger), record ? PlannedHoles(r, kTrigger, lost) : std::vector<Span>());
        EXPECT_EQ(FileHoles(r, cov, kElec), PlannedHoles(r, kElec, lost));
    }
    {
        SCOPED_TRACE("under the electrodes' id");
        Recording r;
        Write(OldLoneStreamPlan({15, 25}, false), r);
        size_t trigger = 0;
        while (r.chunks[trigger].stream != kTrigger)
            ++trigger;
        std::copy_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[r.Chunk(kElec, 0)]),
                    Kvd::kIdBytes, r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[trigger]));
        const std::vector<size_t> lost = {trigger, r.Chunk(kElec, 1), r.Chunk(kElec, 2)};
        LoseChunk(r, lost[1]);
        LoseChunk(r, lost[2]);
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(FileHoles(r, cov, kTrigger), PlannedHoles(r, kTrigger, lost));
    }
}

// In a continuous recording the chunks of a period lie together: the bytes of an unreadable head
// between two chunks of one period are the chunk of the stream that lacks that period, even
// where another stream's gap behind a pause would hold them to the frame.
TEST(CKVTACoverage, BytesAmongOnePeriodsChunksAreTheStreamLackingIt)
{
    Recording r;
    KvdRecordingPlan plan = SmallPlan();
    plan.fileVersion = 0;
    KvdRawStreamPlan analog;
    analog.name = "Analog Raw Data";
    analog.id = "elec0002";
    analog.channels = {"A1"};
    plan.streams.push_back(analog);
    plan.dropChunks = {1};
    Write(plan, r);
    const size_t lost = r.Chunk(kDigi, 0);
    std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[lost]), Kvd::DataChunk::kHeaderBytes,
                uint8_t {0x5A});
    const CKVTACoverage& cov = r.Open();
    EXPECT_EQ(cov.ExtentEnd(), r.End());
    ExpectOldFileHoles(r, cov, {lost});
    EXPECT_EQ(FileHoles(r, cov, "Analog Raw Data"), std::vector<Span>());
}

// A size moved by a frame, more or less, in front of an unreadable head leads the chain to read
// a head a frame's bytes off, which names nothing: the chunk keeps the frames its times tell,
// and only the chunk behind the unreadable head is lost.
TEST(CKVTACoverage, ASizeAFrameOffInFrontOfLostBytesKeepsTheFramesOfItsTimes)
{
    for (const int64_t frames : {1, -1}) {
        SCOPED_TRACE(frames);
        Recording r;
        KvdRecordingPlan plan = SmallPlan();
        plan.fileVersion = 0;
        Write(plan, r);
        const size_t moved = r.Chunk(kDigi, 2);
        const uint64_t at = r.layout.chunkAt[moved] + Kvd::DataChunk::kSize;
        const int64_t size = LoadLE<int64_t>(r.bytes.data() + at);
        PatchLE<int64_t>(r.bytes, at, size + frames * static_cast<int64_t>(r.chunks[moved].recordBytes));
        const size_t lost = r.Chunk(kElec, 3);
        std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[lost]), Kvd::DataChunk::kHeaderBytes,
                    uint8_t {0xFF});
        const CKVTACoverage& cov = r.Open();
        ExpectOldFileHoles(r, cov, {lost});
        EXPECT_EQ(TrustedStarts(r, cov, kDigi), PlannedStarts(r, kDigi));
        EXPECT_EQ(r.file.GetChunkChain()->At(moved).payloadSize, size - Kvd::DataChunk::kMinSize);
    }
}

// A head whose times span a frame less than its bytes, the chain going on straight behind it, keeps
// all its bytes: only a size that led the chain astray is put back on the frames.
TEST(CKVTACoverage, ATimeAFrameShortWithTheChainWholeKeepsItsBytes)
{
    Recording r;
    KvdRecordingPlan plan = SmallPlan();
    plan.fileVersion = 0;
    Write(plan, r);
    const size_t i = r.Chunk(kDigi, 2);
    const uint64_t at = r.layout.chunkAt[i] + Kvd::DataChunk::kStop;
    PatchLE<uint64_t>(r.bytes, at, LoadLE<uint64_t>(r.bytes.data() + at) - 100000);
    const int64_t size = LoadLE<int64_t>(r.bytes.data() + r.layout.chunkAt[i] + Kvd::DataChunk::kSize);
    (void)r.Open();
    EXPECT_EQ(r.file.GetChunkChain()->At(i).payloadSize, size - Kvd::DataChunk::kMinSize);
}

// A sound recording whose spike chunks hold 2 or 11 records (11 spikes are as many bytes as
// whole trigger records) and whose trigger stream holds a chunk in one period only: no event
// chunk is another stream's, however its size compares with its neighbours'.
TEST(CKVTACoverage, EventChunksOfAnySizeInASoundRecordingStayWithTheirStreams)
{
    Recording r;
    KvdRecordingPlan plan = SmallPlan(true);
    plan.spikeMs = {2, 4, 12, 14, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 29, 32, 34, 42, 44};
    plan.triggerMs = {55};
    Write(plan, r);
    const CKVTACoverage& cov = r.Open();
    EXPECT_FALSE(cov.HasHoles());
    for (const char* stream : {kElec, kDigi, kSpikes, kTrigger})
        EXPECT_EQ(TrustedStarts(r, cov, stream), PlannedStarts(r, stream)) << stream;
}

// A sweep's trigger head zeroed with heads behind it, so that the chain skips the whole sweep
// as one stretch: each stream of samples loses the sweep's time, even one whose head is sound.
TEST(CKVTACoverage, AStretchSkippingAWholeSweepIsEveryStreamsLoss)
{
    struct Case
    {
        const char* name;
        int sweep;
        std::vector<const char*> damaged;
    };
    const Case cases[] = {
        {"the middle sweep, every head lost", 1, {kTrigger, kElec, kDigi}},
        {"the middle sweep, the trigger and the last head lost", 1, {kTrigger, kDigi}},
        {"the first sweep, the trigger and the last head lost", 0, {kTrigger, kDigi}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        const KvdRecordingPlan plan = SweepPlan(10);
        Write(plan, r);
        std::map<std::string, size_t> ofSweep;
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].startNs == KvdSweepStartNs(plan, c.sweep))
                ofSweep[r.chunks[i].stream] = i;
        ASSERT_EQ(ofSweep.size(), 3u);
        for (const char* stream : c.damaged) {
            const size_t at = r.layout.chunkAt[ofSweep.at(stream)];
            std::fill(r.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      r.bytes.begin() + static_cast<std::ptrdiff_t>(at + Kvd::DataChunk::kHeaderBytes), 0);
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        for (const char* stream : {kElec, kDigi})
            ExpectHoles(cov, stream, PlannedHoles(r, stream, {ofSweep.at(stream)}),
                        KvtHoleCause::kDamagedHead);
    }
}

// A lone stream of an old file, three of whose four heads are damaged, the last readable but
// meeting no trusted neighbour: no chunk is trusted, yet the bytes behind the header still hold
// the recording's time, which is all lost (not a recording that never began).
TEST(CKVTACoverage, NoTrustedChunkLosesTheTimeTheBytesHold)
{
    Recording r;
    KvdRecordingPlan plan = OldLonePlan();
    plan.chunks = 4;
    Write(plan, r);
    const auto head = [&](int slot) { return r.layout.chunkAt[r.Chunk(kElec, slot)]; };
    std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(head(0)), Kvd::DataChunk::kHeaderBytes,
                uint8_t {0});
    PatchLE<int64_t>(r.bytes, head(1) + Kvd::DataChunk::kSize, INT64_MAX);
    PatchLE<uint64_t>(r.bytes, head(2) + Kvd::DataChunk::kStart, UINT64_MAX);
    const CKVTACoverage& cov = r.Open();
    EXPECT_TRUE(cov.ChunksOf(KeyOf(kElec)).empty());
    EXPECT_EQ(cov.ExtentStart(), T0);
    EXPECT_EQ(cov.ExtentEnd(), r.End());
    EXPECT_EQ(FileHoles(r, cov, kElec), std::vector<Span>({{T0, r.End()}}));
}

// A trigger chunk whose size grew by a record (the bytes of one as another chunk holds), in front
// of a chunk of samples whose head is unreadable, holds its own records only: the extra bytes were
// that head's, and only the chunk of samples is lost.
TEST(CKVTACoverage, AnEventSizeARecordLongInFrontOfLostBytesKeepsItsRecords)
{
    for (const int slot : {1, 3}) {
        SCOPED_TRACE(slot);
        Recording r;
        KvdRecordingPlan plan = SmallPlan();
        plan.triggerMs = {5, 15};
        plan.triggerEverySlot = true;
        Write(plan, r);
        const size_t events = r.Chunk(kTrigger, slot);
        const size_t lost = r.Chunk(kElec, slot);
        ASSERT_EQ(lost, events + 1);
        const uint64_t at = r.layout.chunkAt[events] + Kvd::DataChunk::kSize;
        const int64_t size = LoadLE<int64_t>(r.bytes.data() + at);
        const int64_t recordBytes = static_cast<int64_t>(r.chunks[r.Chunk(kTrigger, 1)].recordBytes);
        PatchLE<int64_t>(r.bytes, at, size + recordBytes);
        std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[lost]), Kvd::DataChunk::kHeaderBytes,
                    uint8_t {0xFF});
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(r.file.GetChunkChain()->At(events).payloadSize, size - Kvd::DataChunk::kMinSize);
        ExpectHoles(cov, kElec, PlannedHoles(r, kElec, {lost}), KvtHoleCause::kDamagedHead);
    }
}

// In an old file the trigger chunks span their sweeps: the time between two of them too short
// for a sweep is a pause. Bytes whose head names no stream, lost in a sweep, are not the loss of
// a stream whose gap there is just that pause, though they would fill it exactly, and where
// they hold the chunks of both streams no hole runs on into the pause.
TEST(CKVTACoverage, InAnOldFileNoHoleLiesInThePauseBetweenTwoTriggers)
{
    struct Case
    {
        const char* name;
        int sweepMs;
        int pauseMs;
        std::vector<std::pair<const char*, int>> lost;   // unreadable heads: stream, ms into sweep 1
        bool firstStartEarly = false;   // the sweep's first electrode chunk starts a chunk early
    };
    const Case cases[] = {
        {"the digital chunk's bytes as long as the electrodes' pause", 10, 5, {{kDigi, 0}}},
        {"the digital chunk's bytes longer than the pause", 10, 4, {{kDigi, 0}}},
        {"the electrode chunk's bytes longer than the pause", 10, 8, {{kElec, 0}}},
        {"a digital chunk and the electrode chunk behind it", 20, 15, {{kDigi, 0}, {kElec, 10}}},
        {"those two behind an electrode chunk whose start moved a chunk early", 20, 20,
         {{kDigi, 0}, {kElec, 10}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(c.sweepMs);
        plan.fileVersion = 0;
        plan.gapMs = c.pauseMs;
        Write(plan, r);
        std::vector<size_t> lost;
        for (const auto& [stream, ms] : c.lost) {
            lost.push_back(r.chunks.size());
            for (size_t i = 0; i < r.chunks.size(); ++i)
                if (r.chunks[i].stream == stream
                    && r.chunks[i].startNs == KvdSweepStartNs(plan, 1) + static_cast<uint64_t>(ms) * kMs)
                    lost.back() = i;
            ASSERT_LT(lost.back(), r.chunks.size());
            std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[lost.back()]),
                        Kvd::DataChunk::kHeaderBytes, uint8_t {0xFF});
        }
        if (!c.firstStartEarly) {
            ExpectOldFileHoles(r, r.Open(), lost);
            continue;
        }
        // The electrode chunk's own bytes keep the shared ones from telling its time: only the
        // digital stream, which lost those alone, shows where they lie.
        lost.push_back(r.Chunk(kElec, (c.sweepMs + c.pauseMs) / 10));
        MoveTimes(r, lost.back(), -10 * static_cast<int64_t>(kMs), false);
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(FileHoles(r, cov, kDigi), PlannedHoles(r, kDigi, lost));
        for (const Span& hole : FileHoles(r, cov))
            EXPECT_GE(hole.first, T0 + KvdSweepStartNs(plan, 1));
    }
}

// In an old file a trigger chunk spans its sweep: where the last chunk of a sweep is lost with
// the next sweep's trigger and first chunks, the bytes shared among the streams make no hole run
// on past the sweep's end into the pause.
TEST(CKVTACoverage, InAnOldFileAHoleEndsWithTheSweepItsTriggerSpans)
{
    struct Case
    {
        const char* name;
        int pauseMs;
        bool firstIdOff;   // the next sweep's first electrode head has an id one byte off, else unreadable
    };
    const Case cases[] = {
        {"a pause as long as a sweep, an id one byte off", 30, true},
        {"a long pause, an id one byte off", 70, true},
        {"a long pause, the head unreadable", 70, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(30);
        plan.fileVersion = 0;
        plan.gapMs = c.pauseMs;
        Write(plan, r);
        const int next = (30 + c.pauseMs) / 10;
        const std::vector<size_t> lost = {r.Chunk(kDigi, 2), r.Chunk(kTrigger, next), r.Chunk(kElec, next)};
        for (size_t i : {lost[0], lost[1]})
            std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[i]),
                        Kvd::DataChunk::kHeaderBytes, uint8_t {0xFF});
        if (c.firstIdOff)
            r.bytes[r.layout.chunkAt[lost[2]] + Kvd::DataChunk::kId + 1] ^= 0x01;
        else
            LoseChunk(r, lost[2]);
        ExpectOldFileHoles(r, r.Open(), lost);
    }
}

// In an old file the chunks of a stream lost at the end of one sweep and the start of the next
// lie around the pause the triggers tell: the loss is two holes, one in each sweep.
TEST(CKVTACoverage, InAnOldFileALossAroundAPauseIsOneHoleInEachSweep)
{
    struct Case
    {
        const char* name;
        bool digital;       // a digital stream records beside the electrodes
        bool startRandom;   // the next sweep's first head lost its start, else both times moved
    };
    const Case cases[] = {
        {"a lone stream, the second head's start lost", false, true},
        {"a lone stream, both heads moved", false, false},
        {"beside a digital stream, both heads moved", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(30);
        plan.fileVersion = 0;
        plan.gapMs = 20;
        if (!c.digital)
            plan.streams = {KvdRawStreamPlan()};
        Write(plan, r);
        // The sweep's last electrode chunk moved 10 s on, and so did the next sweep's first or
        // it lost its start.
        const std::vector<size_t> lost = {r.Chunk(kElec, 2), r.Chunk(kElec, 5)};
        MoveTimes(r, lost[0], 10000 * static_cast<int64_t>(kMs));
        if (c.startRandom)
            PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[lost[1]] + Kvd::DataChunk::kStart, T0 + 48392339165);
        else
            MoveTimes(r, lost[1], 10000 * static_cast<int64_t>(kMs));
        ExpectOldFileHoles(r, r.Open(), lost);
    }
}

// Sweeps of a lone stream whose trigger head of the middle sweep names no stream and the chunk
// behind it a byte long: the chain skips both. The bytes skipped are just one trigger chunk and
// one chunk of samples, between chunks of two other sweeps: they held a sweep of their own,
// which the stream lost whole. A new file's head found there places it; an old file's loss
// covers it, between the sweeps around it.
TEST(CKVTACoverage, BytesOfATriggerAndOneChunkBetweenSweepsHeldALoneStreamsSweep)
{
    for (const uint16_t version : {0, 11}) {
        SCOPED_TRACE(version);
        Recording r;
        KvdRecordingPlan plan = LoneStreamSweepPlan();
        plan.fileVersion = version;
        plan.gapMs = 20;
        Write(plan, r);
        const size_t elec = r.Chunk(kElec, 3);
        std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[r.Chunk(kTrigger, 3)]),
                    Kvd::DataChunk::kHeaderBytes, uint8_t {0xFF});
        PatchLE<int64_t>(r.bytes, r.layout.chunkAt[elec] + Kvd::DataChunk::kSize, 1);
        const CKVTACoverage& cov = r.Open();
        const uint64_t key = r.file.GetStream(r.file.GetStreamCount() - 1)->GetChunkKey();
        if (version != 0) {
            ExpectHoles(cov, kElec, PlannedHoles(r, kElec, {elec}), KvtHoleCause::kDamagedHead, key);
            continue;
        }
        const std::vector<KvtHole>& holes = cov.HolesOf(key);
        ASSERT_EQ(holes.size(), 1u);
        EXPECT_LE(holes[0].from, T0 + r.chunks[elec].startNs);
        EXPECT_GE(holes[0].to, T0 + r.chunks[elec].stopNs);
        EXPECT_GE(holes[0].from, T0 + r.chunks[r.Chunk(kElec, 0)].stopNs);
        EXPECT_LE(holes[0].to, T0 + r.chunks[r.Chunk(kElec, 6)].startNs);
    }
}

// An old header keeps no sweep length, but each trigger chunk spans its sweep: where the others
// bear out the length the gaps tell, a trigger head with one field far off (out of order, or
// cleared) is mended from the other, and the sweep's chunk that moved a chunk off it goes back.
TEST(CKVTACoverage, OldTriggersSpanningTheirSweepsPlaceAChunkMovedOffADamagedTrigger)
{
    struct Case
    {
        const char* name;
        size_t field;        // of the trigger's head
        uint64_t value;
        int64_t moved;       // the chunk's times
    };
    const Case cases[] = {
        {"the start largest, the chunk a chunk later", Kvd::DataChunk::kStart, UINT64_MAX, 10},
        {"the stop 1, the chunk a chunk earlier", Kvd::DataChunk::kStop, 1, -10},
        {"the stop largest, the chunk a chunk earlier", Kvd::DataChunk::kStop, UINT64_MAX, -10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = LoneStreamSweepPlan();
        plan.fileVersion = 0;
        plan.sweeps = 4;
        plan.gapMs = 10;
        Write(plan, r);
        PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[r.Chunk(kTrigger, 4)] + c.field, c.value);
        MoveTimes(r, r.Chunk(kElec, 4), c.moved * static_cast<int64_t>(kMs));
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.HasHoles());
        for (const char* stream : {kElec, kTrigger}) {
            SCOPED_TRACE(stream);
            const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, stream);
            EXPECT_EQ(trusted, planned);
        }
    }
}

// The sweep length the gaps of an old file tell, borne out by its triggers, places a sweep's
// first chunk moved onto the time of the second, whose id is the trigger's: the first goes back
// to its trigger's start, and only the second's time is lost.
TEST(CKVTACoverage, OldTriggersSpanningTheirSweepsPlaceAFirstChunkMovedOntoTheSecond)
{
    Recording r;
    KvdRecordingPlan plan = SweepPlan(20);
    plan.fileVersion = 0;
    plan.streams = {KvdRawStreamPlan()};
    Write(plan, r);
    MoveTimes(r, r.Chunk(kElec, 5), 10 * kMs);
    const size_t second = r.Chunk(kElec, 6);
    GiveTriggersId(r, second);
    const CKVTACoverage& cov = r.Open();
    auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, kElec);
    planned.erase(std::find(planned.begin(), planned.end(),
                            Span {T0 + r.chunks[second].startNs, T0 + r.chunks[second].stopNs}));
    EXPECT_EQ(trusted, planned);
    ExpectOldFileHoles(r, cov, {second});
}

// In sweeps too, a trigger chunk whose size grew by a record, in front of its sweep's first
// chunk whose head is unreadable, holds its own records only: the bytes from a record before
// its end are those of a chunk of samples as large as one behind it. Only that chunk is lost.
TEST(CKVTACoverage, ATriggerSizeARecordLongInFrontOfItsSweepsLostChunkKeepsItsRecords)
{
    for (const uint16_t version : {0, 11}) {
        SCOPED_TRACE(version);
        Recording r;
        KvdRecordingPlan plan = SweepPlan(20);
        plan.fileVersion = version;
        Write(plan, r);
        const size_t events = r.Chunk(kTrigger, 0);
        const size_t lost = r.Chunk(kElec, 0);
        ASSERT_EQ(lost, events + 1);
        const uint64_t at = r.layout.chunkAt[events] + Kvd::DataChunk::kSize;
        const int64_t size = LoadLE<int64_t>(r.bytes.data() + at);
        PatchLE<int64_t>(r.bytes, at, size + static_cast<int64_t>(r.chunks[events].recordBytes));
        std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[lost]),
                    Kvd::DataChunk::kHeaderBytes, uint8_t {0xFF});
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(r.file.GetChunkChain()->At(events).payloadSize, size - Kvd::DataChunk::kMinSize);
        ExpectOldFileHoles(r, cov, {lost});
    }
}

// An old file of sweeps whose first trigger's id is damaged into the stream's own and whose
// first chunk's stop lies a nanosecond short: the chunk starts at the recording's start, where
// the first sweep begins, so its stop goes onto its frames.
TEST(CKVTACoverage, AFirstChunkStartingTheRecordingStopsWhereItsFramesEnd)
{
    Recording r;
    KvdRecordingPlan plan = LoneStreamSweepPlan();
    plan.fileVersion = 0;
    plan.sweeps = 4;
    Write(plan, r);
    const size_t first = r.Chunk(kElec, 0);
    const size_t trigger = r.Chunk(kTrigger, 0);
    std::copy_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[first] + Kvd::DataChunk::kId), 8,
                r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[trigger] + Kvd::DataChunk::kId));
    PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[first] + Kvd::DataChunk::kStop, T0 + r.chunks[first].stopNs - 1);
    const CKVTACoverage& cov = r.Open();
    const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, kElec);
    EXPECT_EQ(trusted, planned);
}

// An old file whose trigger of the second sweep had its start moved a sweep early, into the
// first sweep's trigger, while that sweep's first chunk moved on onto the second, whose head
// is lost: the trigger's stop, a sweep behind, tells its start, and the first chunk goes back.
TEST(CKVTACoverage, AnOldTriggerStartMovedIntoTheSweepBeforeGoesBackASweepBeforeItsStop)
{
    Recording r;
    KvdRecordingPlan plan = SweepPlan(30);
    plan.fileVersion = 0;
    plan.gapMs = 10;
    plan.streams = {KvdRawStreamPlan()};
    Write(plan, r);
    const size_t trigger = r.Chunk(kTrigger, 4);
    const size_t second = r.Chunk(kElec, 5);
    MoveTimes(r, trigger, -30 * static_cast<int64_t>(kMs), false);
    MoveTimes(r, r.Chunk(kElec, 4), 10 * kMs);
    MoveTimes(r, second, 86400000 * kMs);
    const CKVTACoverage& cov = r.Open();
    auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, kElec);
    planned.erase(std::find(planned.begin(), planned.end(),
                            Span {T0 + r.chunks[second].startNs, T0 + r.chunks[second].stopNs}));
    EXPECT_EQ(trusted, planned);
    ExpectOldFileHoles(r, cov, {second});
    const auto [plannedTriggers, trustedTriggers] = PlannedAndTrustedSpans(r, cov, kTrigger);
    EXPECT_EQ(trustedTriggers, plannedTriggers);
}

// Heads of one sweep made unreadable (every byte 0xFF), so that the chain skips them and names no
// stream: where they are all of the sweep's, the bytes, lying between whole sweeps or behind the
// last one, held a sweep of their own, which each stream of samples lost; the file keeps as many
// sweeps as were recorded. A lone trigger head's bytes hold no sweep and cost the samples nothing.
TEST(CKVTACoverage, UnreadableHeadsOfAWholeSweepLoseThatSweep)
{
    struct Case
    {
        const char* name;
        bool lone;   // a lone stream of samples
        int sweep;
        std::vector<const char*> damaged;
    };
    const Case cases[] = {
        {"the middle sweep", false, 1, {kTrigger, kElec, kDigi}},
        {"the last sweep", false, 2, {kTrigger, kElec, kDigi}},
        {"the last sweep of a lone stream", true, 2, {kTrigger, kElec}},
        {"the last sweep's trigger alone", false, 2, {kTrigger}},
        {"a lone stream's last trigger alone", true, 2, {kTrigger}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        const KvdRecordingPlan plan = c.lone ? LoneStreamSweepPlan() : SweepPlan(10);
        const std::vector<const char*> samples = c.lone ? std::vector<const char*>{kElec}
                                                        : std::vector<const char*>{kElec, kDigi};
        Write(plan, r);
        std::map<std::string, size_t> ofSweep;
        for (size_t i = 0; i < r.chunks.size(); ++i)
            if (r.chunks[i].startNs == KvdSweepStartNs(plan, c.sweep))
                ofSweep[r.chunks[i].stream] = i;
        ASSERT_EQ(ofSweep.size(), samples.size() + 1);
        for (const char* stream : c.damaged) {
            const auto at = static_cast<std::ptrdiff_t>(r.layout.chunkAt[ofSweep.at(stream)]);
            std::fill(r.bytes.begin() + at, r.bytes.begin() + at + Kvd::DataChunk::kHeaderBytes, 0xFF);
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        EXPECT_EQ(r.file.GetSweepCount(), plan.sweeps);
        const bool sweepLost = c.damaged.size() == ofSweep.size();
        for (const char* stream : samples) {
            SCOPED_TRACE(stream);
            const std::vector<KvtHole>& holes = cov.HolesOf(KeyOf(stream));
            if (!sweepLost) {
                EXPECT_TRUE(holes.empty());
                continue;
            }
            ASSERT_EQ(holes.size(), 1u);
            const std::vector<Span> planned = PlannedHoles(r, stream, {ofSweep.at(stream)});
            if (c.sweep + 1 == plan.sweeps) {
                EXPECT_EQ(Span(holes[0].from, holes[0].to), planned[0]);
                continue;
            }
            // Nothing tells where in the pause it lay: apart from the whole sweeps around it.
            EXPECT_GT(holes[0].from, T0 + KvdSweepStartNs(plan, c.sweep - 1) + plan.sweepMs * kMs);
            EXPECT_LT(holes[0].to, T0 + KvdSweepStartNs(plan, c.sweep + 1));
        }
    }
}

// A chunk of samples whose two times moved by a chunk, off a chunk of its stream whose head the
// chain could not read: the unread bytes hold the time it claims, so it goes back to the time
// it left. Where another stream lacks time at the unread bytes (a pause behind it), they may be
// that stream's, and nothing moves.
TEST(CKVTACoverage, AChunkMovedOffUnreadBytesGoesBack)
{
    struct Case
    {
        const char* name;
        bool spikes;
        std::vector<int> pause;                          // slots none recorded
        std::pair<const char*, int> moved;               // stream, slot
        int64_t by;                                      // chunks
        std::vector<std::pair<const char*, int>> lost;   // stream, slot
    };
    const Case cases[] = {
        {"the file's first chunk moved on", false, {}, {kElec, 0}, 1, {{kElec, 1}}},
        {"moved back behind an event chunk lost with its stream's", true, {}, {kElec, 3}, -1,
         {{kSpikes, 1}, {kElec, 2}}},
        {"in front of a pause, the unread bytes another stream's", false, {3}, {kDigi, 2}, 0,
         {{kElec, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        KvdRecordingPlan plan = SmallPlan(c.spikes);
        plan.dropChunks = c.pause;
        Write(plan, r);
        std::vector<size_t> lost;
        for (const auto& [stream, slot] : c.lost)
            lost.push_back(r.Chunk(stream, slot));
        for (size_t i : lost)
            LoseChunk(r, i);
        MoveTimes(r, r.Chunk(c.moved.first, c.moved.second), c.by * 10 * static_cast<int64_t>(kMs));
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        ExpectOnlyLost(r, cov, c.spikes ? std::vector<const char*> {kElec, kDigi, kSpikes}
                                        : std::vector<const char*> {kElec, kDigi},
                       lost);
    }
}

// An event chunk whose stop moved a chunk later, onto the time of its stream's next head, which
// the chain could not follow (its size led nowhere): that head's start still ends the period, as
// the chunks of samples beside bear out, and only the lost chunk's time is lost.
TEST(CKVTACoverage, AnEventStopMovedOntoALostHeadGoesBack)
{
    Recording r;
    Write(SmallPlan(true), r);
    const size_t moved = r.Chunk(kSpikes, 1);
    const size_t lost = r.Chunk(kSpikes, 2);
    MoveTimes(r, moved, 10 * static_cast<int64_t>(kMs), true);
    MoveTimes(r, moved, -10 * static_cast<int64_t>(kMs), false);   // the start back: the stop moved
    LoseChunk(r, lost);
    const CKVTACoverage& cov = r.Open();
    EXPECT_FALSE(cov.FileCut());
    ExpectOnlyLost(r, cov, {kElec, kDigi, kSpikes}, {lost});
}

// The last chunk of a stream that ends early moved a chunk later, beside a chunk of another
// stream whose damaged start is mended from its frames: once mended, that chunk and the third
// stream's chunk of its period tell the period the moved chunk belongs to. A damaged head beside
// too small to hold its frames hides none of them.
TEST(CKVTACoverage, AChunkMovedBesideAMendedHeadGoesBackToItsPeriod)
{
    for (const bool headLost : {true, false}) {
        SCOPED_TRACE(headLost ? "the event head lost" : "the event head's stop damaged");
        Recording r;
        KvdRecordingPlan plan = SmallPlan(true);
        plan.streams[1].missingSlots = {5};
        Write(plan, r);
        const size_t events = r.Chunk(kSpikes, 3);
        MoveTimes(r, r.Chunk(kDigi, 4), 10 * static_cast<int64_t>(kMs));
        MoveTimes(r, r.Chunk(kElec, 4), 10 * static_cast<int64_t>(kMs), false);
        if (headLost)
            LoseChunk(r, events);
        else
            PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[events] + Kvd::DataChunk::kStop, 1);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        ExpectOnlyLost(r, cov, {kElec, kDigi}, {events});
        ExpectHoles(cov, kSpikes, PlannedHoles(r, kSpikes, {events}), KvtHoleCause::kDamagedHead);
    }
}

// A trigger chunk whose size grew by a head's bytes swallowed the head of the chunk of samples
// behind it, and the chain, led into that chunk's payload, lost its way up to the next readable
// head (the period's other head is unreadable): the bytes from a head before its end to there are
// the two streams' chunks, as those of the period before, side by side, bear out. The trigger
// keeps its own records only, and the two chunks of samples are lost.
TEST(CKVTACoverage, AnEventSizeAHeadLongInFrontOfLostBytesKeepsItsRecords)
{
    Recording r;
    KvdRecordingPlan plan = SmallPlan();
    plan.triggerMs = {5, 15, 25};
    plan.triggerEverySlot = true;
    Write(plan, r);
    const size_t events = r.Chunk(kTrigger, 2);
    const size_t elec = r.Chunk(kElec, 2);
    const size_t digi = r.Chunk(kDigi, 2);
    ASSERT_EQ(elec, events + 1);
    const uint64_t at = r.layout.chunkAt[events] + Kvd::DataChunk::kSize;
    const int64_t size = LoadLE<int64_t>(r.bytes.data() + at);
    PatchLE<int64_t>(r.bytes, at, size + static_cast<int64_t>(Kvd::DataChunk::kHeaderBytes));
    std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[digi]),
                Kvd::DataChunk::kHeaderBytes, uint8_t {0xFF});
    const CKVTACoverage& cov = r.Open();
    EXPECT_EQ(r.file.GetChunkChain()->At(events).payloadSize, size - Kvd::DataChunk::kMinSize);
    ExpectOnlyLost(r, cov, {kElec, kDigi}, {elec, digi});
}

// In an old file of sweeps of one chunk, a lone stream's first chunk whose times moved far on
// lost the first sweep's time, which its trigger begins though its head is a nanosecond late.
TEST(CKVTACoverage, InAnOldFileTheFirstSweepsLossBeginsTheRecordingBesideALateTrigger)
{
    for (const int64_t late : {0, 1}) {
        SCOPED_TRACE(late);
        Recording r;
        KvdRecordingPlan plan = LoneStreamSweepPlan();
        plan.fileVersion = 0;
        Write(plan, r);
        const size_t lost = r.Chunk(kElec, 0);
        MoveTimes(r, r.Chunk(kTrigger, 0), late);
        MoveTimes(r, lost, 10000 * static_cast<int64_t>(kMs));
        ExpectOldFileHoles(r, r.Open(), {lost});
    }
}

// An old file of sweeps whose trigger head of the middle sweep is random bytes and whose
// electrode chunk behind it is a byte short: the chain loses both and goes on at the sweep's
// digital chunk. The bytes it lost are those of a trigger chunk and an electrode chunk, which
// the recorder writes in front of it: they vouch for its time, and only the electrode loses time.
TEST(CKVTACoverage, ASweepsChunkBehindTheLostBytesOfItsTriggerAndAnotherStreamKeepsItsTime)
{
    Recording r;
    KvdRecordingPlan plan = SweepPlan(10);
    plan.fileVersion = 0;
    Write(plan, r);
    const size_t elec = r.Chunk(kElec, 4);
    std::fill_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[r.Chunk(kTrigger, 4)]),
                Kvd::DataChunk::kHeaderBytes, uint8_t {0x5A});
    const size_t size = r.layout.chunkAt[elec] + Kvd::DataChunk::kSize;
    PatchLE<int64_t>(r.bytes, size, LoadLE<int64_t>(r.bytes.data() + size) - 1);
    const CKVTACoverage& cov = r.Open();
    const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, kDigi);
    EXPECT_EQ(trusted, planned);
    // The electrode's loss lies within its chunk's time: the shared bytes place it roughly.
    for (int n = 0; n < r.file.GetStreamCount(); ++n) {
        const std::vector<KvtHole>& holes = cov.HolesOf(r.file.GetStream(n)->GetChunkKey());
        if (r.file.GetStream(n)->GetName() == kDigi) {
            EXPECT_TRUE(holes.empty());
        }
        if (r.file.GetStream(n)->GetName() != kElec)
            continue;
        ASSERT_EQ(holes.size(), 1u);
        EXPECT_GE(holes[0].from, T0 + r.chunks[elec].startNs);
        EXPECT_LE(holes[0].to, T0 + r.chunks[elec].stopNs);
    }
}

// A trigger chunk whose stop moved onto the last slot, beside the slot's only chunk of samples,
// whose start is damaged: that chunk's stop and its frames, counted back, still span the slot,
// so the trigger's stop goes back and the last slot's trigger chunk, with its records, is kept.
TEST(CKVTACoverage, AnEventStopMovedBesideADamagedStartGoesBack)
{
    Recording r;
    KvdRecordingPlan plan = SmallPlan();
    plan.streams = {KvdRawStreamPlan()};
    plan.triggerMs = {5, 55};
    plan.triggerEverySlot = true;
    Write(plan, r);
    MoveTimes(r, r.Chunk(kTrigger, 4), 10 * static_cast<int64_t>(kMs), true);
    MoveTimes(r, r.Chunk(kTrigger, 4), -10 * static_cast<int64_t>(kMs), false);
    PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[r.Chunk(kElec, 4)] + Kvd::DataChunk::kStart, UINT64_MAX);
    const CKVTACoverage& cov = r.Open();
    ExpectNothingLost(r, cov, kTrigger);
    ExpectNothingLost(r, cov, kElec);
}

namespace {

// Sets the `field` of chunk i's head to `value`.
void SetField(Recording& r, size_t i, size_t field, uint64_t value)
{
    PatchLE<uint64_t>(r.bytes, r.layout.chunkAt[i] + field, value);
}

// The chunk of `stream` that starts `ms` into the recording (file order index).
size_t ChunkAt(const Recording& r, const std::string& stream, int ms)
{
    for (size_t i = 0; i < r.chunks.size(); ++i)
        if (r.chunks[i].stream == stream && r.chunks[i].startNs == static_cast<uint64_t>(ms) * kMs)
            return i;
    ADD_FAILURE() << "no chunk of " << stream << " at " << ms << " ms";
    return 0;
}

// Two sweeps of two chunks of the lone stream, 10 ms apart.
KvdRecordingPlan TwoLoneSweeps()
{
    KvdRecordingPlan plan = LoneSweeps(20, 10);
    plan.sweeps = 2;
    return plan;
}

} // namespace

// Sweeps of chunks of 10 ms whose heads had a field or two damaged, where the other heads of the
// file tell them: every chunk of `stream` is trusted at its planned times.
// - a stop a nanosecond late overlaps the next chunk, whose frames begin where its own end;
// - the start of a stream's last chunk zeroed: its frames end at a stop that the header's
//   claims, and count back to the chunk before;
// - a trigger's times swapped: they span what the trigger before spans (with a sweep's last
//   chunk moved a chunk on into the pause, which the trigger then tells);
// - the first trigger lost and a chunk moved a chunk earlier onto the first sweep's end: the
//   first chunk starts the recording, so the moved one goes back;
// - a sweep of one chunk under the trigger's id whose own trigger moved a chunk later: its
//   bytes are no whole records of the triggers, but the lone stream's frames.
TEST(CKVTACoverage, InSweepsHeadsWithDamagedFieldsKeepTheirPlannedTimes)
{
    struct Case
    {
        const char* name;
        KvdRecordingPlan plan;
        const char* stream;
        std::function<void(Recording&)> damage;
    };
    const int64_t chunk = 10 * static_cast<int64_t>(kMs);
    const Case cases[] = {
        {"a stop a nanosecond late", LoneSweeps(30, 30), kElec,
         [](Recording& r) {
             const size_t i = ChunkAt(r, kElec, 70);
             SetField(r, i, Kvd::DataChunk::kStop, T0 + r.chunks[i].stopNs + 1);
         }},
        {"the last chunk's start zeroed", LoneSweeps(30, 30), kElec,
         [](Recording& r) { SetField(r, ChunkAt(r, kElec, 140), Kvd::DataChunk::kStart, 0); }},
        {"a trigger's times swapped", LoneSweeps(30, 30), kTrigger,
         [](Recording& r) {
             const size_t i = ChunkAt(r, kTrigger, 60);
             SetField(r, i, Kvd::DataChunk::kStart, T0 + r.chunks[i].stopNs);
             SetField(r, i, Kvd::DataChunk::kStop, T0 + r.chunks[i].startNs);
         }},
        {"a trigger's times swapped behind a chunk moved on", LoneSweeps(30, 10), kElec,
         [&](Recording& r) {
             MoveTimes(r, ChunkAt(r, kElec, 20), chunk);
             const size_t i = ChunkAt(r, kTrigger, 40);
             SetField(r, i, Kvd::DataChunk::kStart, T0 + r.chunks[i].stopNs);
             SetField(r, i, Kvd::DataChunk::kStop, T0 + r.chunks[i].startNs);
         }},
        {"the first trigger lost, a chunk moved onto the first sweep's end", TwoLoneSweeps(), kElec,
         [&](Recording& r) {
             LoseChunk(r, ChunkAt(r, kTrigger, 0));
             MoveTimes(r, ChunkAt(r, kElec, 30), -chunk);
         }},
        {"a lone chunk under the trigger's id, its trigger moved on", LoneStreamSweepPlan(), kElec,
         [&](Recording& r) {
             MoveTimes(r, ChunkAt(r, kTrigger, 40), chunk);
             GiveTriggersId(r, ChunkAt(r, kElec, 40));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording r;
        Write(c.plan, r);
        c.damage(r);
        const CKVTACoverage& cov = r.Open();
        const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, c.stream);
        EXPECT_EQ(trusted, planned);
    }
}

// A size grown by just a head's bytes, in front of an unreadable head, leads the chain past that
// head into its chunk's payload, where it loses its way: the chunk keeps the frames its times
// tell (not a start moved back to make room for more), and only the next chunk is lost.
TEST(CKVTACoverage, InSweepsASizeAHeadLargeKeepsTheFramesOfItsTimes)
{
    for (const int ms : {0, 40}) {
        SCOPED_TRACE(ms);
        Recording r;
        Write(SweepPlan(10), r);
        const size_t grown = ChunkAt(r, kElec, ms);
        const uint64_t at = r.layout.chunkAt[grown] + Kvd::DataChunk::kSize;
        PatchLE<int64_t>(r.bytes, at, LoadLE<int64_t>(r.bytes.data() + at) + Kvd::DataChunk::kHeaderBytes);
        const auto next = static_cast<std::ptrdiff_t>(r.layout.chunkAt[ChunkAt(r, kDigi, ms)]);
        std::fill(r.bytes.begin() + next, r.bytes.begin() + next + Kvd::DataChunk::kHeaderBytes, 0xFF);
        const CKVTACoverage& cov = r.Open();
        const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, kElec);
        EXPECT_EQ(trusted, planned);
        ExpectHoles(cov, kDigi, PlannedHoles(r, kDigi, {ChunkAt(r, kDigi, ms)}), KvtHoleCause::kDamagedHead);
    }
}

// The last sweep's trigger moved a chunk later, past the stop the header claims, its electrode
// chunk's stop damaged and its digital chunk's stop moved a chunk later: the trigger would vouch
// for the digital chunk there, but no chunk is mended to end behind the claimed stop. Both lose
// the last sweep, and every chunk trusted lies where the plan puts it.
TEST(CKVTACoverage, InSweepsNoHeadIsMendedPastTheClaimedStop)
{
    Recording r;
    const KvdRecordingPlan plan = SweepPlan(10);
    Write(plan, r);
    const int last = static_cast<int>(KvdSweepStartNs(plan, plan.sweeps - 1) / kMs);
    MoveTimes(r, ChunkAt(r, kTrigger, last), 10 * static_cast<int64_t>(kMs));
    SetField(r, ChunkAt(r, kElec, last), Kvd::DataChunk::kStop, 1);
    const size_t digi = ChunkAt(r, kDigi, last);
    SetField(r, digi, Kvd::DataChunk::kStop, T0 + r.chunks[digi].stopNs + 10 * kMs);
    const CKVTACoverage& cov = r.Open();
    for (const char* stream : {kElec, kDigi}) {
        SCOPED_TRACE(stream);
        const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, stream);
        ASSERT_EQ(trusted.size() + 1, planned.size());
        for (const Span& t : trusted)
            EXPECT_NE(std::find(planned.begin(), planned.end(), t), planned.end());
        EXPECT_FALSE(cov.HolesOf(KeyOf(stream)).empty());
    }
}

// In sweeps too, a trigger chunk whose size grew by a record in front of a chunk of samples whose
// head the chain could not read then (its id a byte off), at the end of the file, holds its own
// record only: the extra bytes were that head's, whose chunk, as large as the one in front, is
// lost. Only the sweep's chunk of samples is named lost.
TEST(CKVTACoverage, InSweepsATriggerSizeARecordLongInFrontOfTheLastLostBytesKeepsItsRecord)
{
    Recording r;
    const KvdRecordingPlan plan = LoneStreamSweepPlan();
    Write(plan, r);
    const int last = static_cast<int>(KvdSweepStartNs(plan, plan.sweeps - 1) / kMs);
    const size_t trigger = ChunkAt(r, kTrigger, last);
    const size_t lost = ChunkAt(r, kElec, last);
    const uint64_t at = r.layout.chunkAt[trigger] + Kvd::DataChunk::kSize;
    const int64_t size = LoadLE<int64_t>(r.bytes.data() + at);
    PatchLE<int64_t>(r.bytes, at, size + static_cast<int64_t>(r.chunks[trigger].recordBytes));
    r.bytes[r.layout.chunkAt[lost] + Kvd::DataChunk::kId + 6] = 'I';
    const CKVTACoverage& cov = r.Open();
    EXPECT_EQ(r.file.GetChunkChain()->At(trigger).payloadSize, size - Kvd::DataChunk::kMinSize);
    ExpectHoles(cov, kElec, PlannedHoles(r, kElec, {lost}), KvtHoleCause::kDamagedHead);
    EXPECT_TRUE(cov.HolesOf(KeyOf(kTrigger)).empty());
}

// A continuous recording's last chunk is an event chunk whose size was cut by fewer bytes than a
// head: every chunk the header counts is there, so the bytes left at the end of the data are its
// last records, not a head cut in two. It keeps them, and nothing is lost.
TEST(CKVTACoverage, AnEventChunkWhoseSizeLeftStrayBytesAtTheEndTakesThemBack)
{
    for (int64_t cut : {1, 2, 20}) {
        SCOPED_TRACE(std::to_string(cut) + " bytes cut off the size");
        Recording r;
        Write(SmallPlan(true, true), r);
        const size_t last = r.chunks.size() - 1;
        ASSERT_EQ(r.chunks[last].stream, kSpikes);
        const uint64_t at = r.layout.chunkAt[last] + Kvd::DataChunk::kSize;
        const int64_t size = LoadLE<int64_t>(r.bytes.data() + at);
        PatchLE<int64_t>(r.bytes, at, size - cut);
        const CKVTACoverage& cov = r.Open();
        EXPECT_FALSE(cov.FileCut());
        ExpectNothingLost(r, cov, kSpikes);
        EXPECT_EQ(r.file.GetChunkChain()->At(last).payloadSize, size - Kvd::DataChunk::kMinSize);
    }
}

// An old file of sweeps of one chunk whose first trigger's start was cleared: a start hours
// before any recording would carry the recording's start back with it, and no gap would tell
// the sweeps apart. It starts where the header says, alone, or beside the first sweep's chunk
// moved 10 s on and the next trigger's head unreadable.
TEST(CKVTACoverage, OldSweepsKeepTheHeadersStartBesideAFirstTriggerStartCleared)
{
    for (bool moreDamage : {false, true}) {
        SCOPED_TRACE(moreDamage ? "beside a moved chunk and a lost trigger" : "alone");
        Recording r;
        KvdRecordingPlan plan = LoneStreamSweepPlan();
        plan.fileVersion = 0;
        plan.sweeps = 2;
        Write(plan, r);
        const size_t trigger = ChunkAt(r, kTrigger, 0);
        SetField(r, trigger, Kvd::DataChunk::kStart, 0);
        std::vector<size_t> lost;
        if (moreDamage) {
            lost = {ChunkAt(r, kElec, 0)};
            MoveTimes(r, lost.front(), 10000 * static_cast<int64_t>(kMs));
            const int second = static_cast<int>(KvdSweepStartNs(plan, 1) / kMs);
            const uint64_t at = r.layout.chunkAt[ChunkAt(r, kTrigger, second)];
            const auto next = r.bytes.begin() + static_cast<std::ptrdiff_t>(at);
            std::fill(next, next + Kvd::DataChunk::kHeaderBytes, 0xFF);
        }
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(cov.ExtentStart(), T0);
        EXPECT_EQ(r.file.GetStartTime(), T0);
        EXPECT_EQ(TrustedStarts(r, cov, kTrigger).front(), T0);
        const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, kElec);
        const auto kept = planned.begin() + (moreDamage ? 1 : 0);
        EXPECT_EQ(trusted, std::vector<Span>(kept, planned.end()));
        ExpectOldFileHoles(r, cov, lost);
        EXPECT_EQ(r.file.GetSweepCount(), plan.sweeps);
    }
}

// An old file of sweeps of one chunk, the second trigger's head lost for its size and the chunk
// of samples behind it under the trigger's id: two heads of one event stream claim the same
// period, and the second holds just the frames the stream of samples lacks there. It is that
// stream's chunk, and the gap in front of it tells the sweeps.
TEST(CKVTACoverage, OldSweepsGiveTheChunkBehindALostTwinTriggerHeadToItsSamples)
{
    for (int sweeps : {2, 3}) {
        SCOPED_TRACE(sweeps);
        Recording r;
        KvdRecordingPlan plan = LoneStreamSweepPlan();
        plan.fileVersion = 0;
        plan.sweeps = sweeps;
        Write(plan, r);
        const int second = static_cast<int>(KvdSweepStartNs(plan, 1) / kMs);
        SetField(r, ChunkAt(r, kTrigger, second), Kvd::DataChunk::kSize, -1);
        GiveTriggersId(r, ChunkAt(r, kElec, second));
        const CKVTACoverage& cov = r.Open();
        const auto [planned, trusted] = PlannedAndTrustedSpans(r, cov, kElec);
        EXPECT_EQ(trusted, planned);
        ExpectOldFileHoles(r, cov, {});
        EXPECT_EQ(r.file.GetSweepCount(), sweeps);
    }
}

// An old file of two sweeps of a lone stream whose first trigger chunk took the electrode id (a
// twin of the first electrode chunk, its bytes no frames) and whose last electrode chunk's stop
// is far off: one head of three keeps to its frames, but the twin beside the chunk it copies
// tells nothing of the stream. The stream is held to its spans, so the true chunk is trusted and
// the last one is mended from its trigger, however far apart the sweeps lie.
TEST(CKVTACoverage, InOldSweepsATriggerTwinUnderTheElectrodeIdIsNotCountedAgainstItsSpans)
{
    for (const int gapMs : {30, 3000}) {
        SCOPED_TRACE(gapMs);
        Recording r;
        KvdRecordingPlan plan = LoneStreamSweepPlan();
        plan.fileVersion = 0;
        plan.sweeps = 2;
        plan.gapMs = gapMs;
        Write(plan, r);
        const size_t trigger = ChunkAt(r, kTrigger, 0);
        const uint64_t elecId = r.layout.chunkAt[ChunkAt(r, kElec, 0)] + Kvd::DataChunk::kId;
        std::copy_n(r.bytes.begin() + static_cast<std::ptrdiff_t>(elecId), 8,
                    r.bytes.begin() + static_cast<std::ptrdiff_t>(r.layout.chunkAt[trigger]
                                                                  + Kvd::DataChunk::kId));
        const int last = static_cast<int>(KvdSweepStartNs(plan, plan.sweeps - 1) / kMs);
        const size_t far = ChunkAt(r, kElec, last);
        SetField(r, far, Kvd::DataChunk::kStop, T0 + r.chunks[far].stopNs + 96000 * kMs);
        const CKVTACoverage& cov = r.Open();
        EXPECT_EQ(TrustedStarts(r, cov, kElec), PlannedStarts(r, kElec));
        ExpectOldFileHoles(r, cov, {});
        EXPECT_EQ(r.file.GetSweepCount(), plan.sweeps);
    }
}

// An old file of sweeps of a lone stream, 10 ms apart, three chunks each: the middle chunk of
// the first sweep moved a chunk later, a twin of the sweep's last chunk; the first trigger's stop
// is far off and the second trigger's size is damaged (put back, or far off and its head lost).
// Either twin's frames would fill a gap beside it, but the second trigger's head lies at the gap
// behind them, a pause: the first twin moved, and only its time is lost.
TEST(CKVTACoverage, InOldSweepsTheTwinWhoseGapLiesInsideItsSweepMoved)
{
    for (const int64_t size : {int64_t {-1}, int64_t {987654321}}) {
        SCOPED_TRACE(size);
        Recording r;
        KvdRecordingPlan plan = LoneStreamSweepPlan();
        plan.fileVersion = 0;
        plan.sweepMs = 30;
        plan.sweepLengthMs = 30;
        plan.gapMs = 10;
        Write(plan, r);
        const size_t moved = ChunkAt(r, kElec, 10);
        MoveTimes(r, moved, 10 * static_cast<int64_t>(kMs));
        SetField(r, ChunkAt(r, kTrigger, 0), Kvd::DataChunk::kStop, T0 + 96000 * kMs);
        const int second = static_cast<int>(KvdSweepStartNs(plan, 1) / kMs);
        const size_t trigger = ChunkAt(r, kTrigger, second);
        PatchLE<int64_t>(r.bytes, r.layout.chunkAt[trigger] + Kvd::DataChunk::kSize, size);
        const CKVTACoverage& cov = r.Open();
        std::vector<uint64_t> kept;
        for (size_t i : AllBut(r, {moved}))
            if (r.chunks[i].stream == kElec)
                kept.push_back(T0 + r.chunks[i].startNs);
        EXPECT_EQ(TrustedStarts(r, cov, kElec), kept);
        ExpectOldFileHoles(r, cov, {moved});
        EXPECT_EQ(r.file.GetSweepCount(), plan.sweeps);
    }
}
