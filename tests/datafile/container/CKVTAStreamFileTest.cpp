#include "datafile/container/CKVTAStreamFile.h"

#include <gtest/gtest.h>

#include <climits>

#include "datafile/container/KvdFormat.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace FH = Kvd::FileHeader;

namespace {

constexpr uint64_t T0 = kKvdDefaultStart;
constexpr uint64_t kMs = 1000000;

KvdStreamPlan Stream(const std::string& type, const std::string& name, const std::string& id,
                     uint16_t chunkNumber = 1, int channels = 1)
{
    KvdStreamPlan plan;
    plan.bufferType = type;
    plan.name = name;
    plan.id = id;
    plan.chunkNumber = chunkNumber;
    plan.words[1] = 2000;  // format word 2 of a 25 kHz recording
    for (int c = 0; c < channels; ++c) {
        KvdChannelPlan channel;
        channel.number = c;
        plan.channels.push_back(channel);
    }
    return plan;
}

// Chunks of `id` lasting `ms` each from `start`, with a gap before chunk `gapBefore` (-1: none).
void AddRun(KvdBuilder& b, const std::string& id, uint64_t start, int count, uint64_t ms, int gapBefore = -1)
{
    uint64_t t = start;
    for (int i = 0; i < count; ++i) {
        if (i == gapBefore)
            t += 50 * kMs;
        b.AddChunk(id, t, t + ms * kMs, KvdFrames(4, 1, i * 4));
        t += ms * kMs;
    }
}

int OpenBytes(CKVTAStreamFile& file, const std::vector<uint8_t>& bytes, TempDir& dir)
{
    const std::string path = dir.File("f.kvd");
    return WriteFileBytes(path, bytes) ? file.Open(path) : -1;
}

int OpenBuilt(CKVTAStreamFile& file, const KvdBuilder& b, TempDir& dir, KvdLayout* where = nullptr)
{
    return OpenBytes(file, b.Build(where), dir);
}

// A triggered recording of electrodes at 4 kHz (4 frames per 1 ms chunk) with a trigger
// stream: two sweeps of three chunks each, 50 ms apart.
KvdBuilder TwoSweepsOfThreeChunks()
{
    KvdBuilder b(11);
    b.Set<int32_t>(FH::kRecordingMode, 1).SetText(FH::kStartTriggerId, "trig0001");
    KvdStreamPlan raw = Stream("analog", "Electrode Raw Data", "elec0001");
    raw.sampleRate = 4000000;
    b.AddStream(raw).AddStream(Stream("trigger", "Trigger 1", "trig0001"));
    AddRun(b, "elec0001", T0, 6, 1, 3);
    return b;
}

// Stores an index with `sweeps` behind the data of a file of two streams.
void AddStoredSweeps(KvdBuilder& b, const std::vector<std::pair<uint64_t, uint64_t>>& sweeps)
{
    KvdIndexPlan index;
    index.sweeps = sweeps;
    index.streamCount = 2;
    b.AddIndex(index);
}

// Three sweeps of `sweepMs`, 20 ms apart, of an electrode and a digital stream at 10 kHz in
// chunks of 10 ms.
KvdRecordingPlan ThreeSweeps(int sweepMs)
{
    KvdRecordingPlan plan;
    plan.rateHz = 10000;
    plan.chunkMs = 10;
    plan.streams = {KvdRawStreamPlan(), KvdDigitalStreamPlan()};
    plan.triggered = true;
    plan.sweeps = 3;
    plan.sweepMs = sweepMs;
    plan.gapMs = 20;
    plan.sweepLengthMs = sweepMs;
    return plan;
}

// The bytes of `plan` as the writer writes them (empty when it cannot), where its chunks went
// and what they hold.
std::vector<uint8_t> WrittenBytes(const KvdRecordingPlan& plan, TempDir& dir, KvdLayout& layout,
                                  std::vector<KvdPlannedChunk>& chunks)
{
    const std::string path = dir.File("r.kvd");
    return WriteKvdRecording(plan, path, &layout, &chunks) ? ReadFileBytes(path) : std::vector<uint8_t>();
}

} // namespace

TEST(CKVTAStreamFile, OpensEveryHeaderVersionWithItsRules)
{
    for (uint16_t v = 0; v <= 11; ++v) {
        SCOPED_TRACE(v);
        KvdBuilder b(v);
        b.Set<uint64_t>(FH::kRecordingTime, T0).Set<uint64_t>(FH::kStartTime, T0 + 7);
        b.Set<int32_t>(FH::kSampleRate, 10000000).Set<float>(FH::kWindowExtent, 250.0f);
        b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001"));
        AddRun(b, v < 5 ? "00001raw" : "elec0001", T0 + 1000, 2, 128);
        KvdLayout where;
        TempDir dir;
        CKVTAStreamFile file;
        ASSERT_EQ(OpenBuilt(file, b, dir, &where), 0);
        EXPECT_EQ(file.GetDataStart(), where.dataStart);
        EXPECT_EQ(file.GetSampleRate(), v == 0 ? 25000000 : 10000000);
        EXPECT_EQ(file.GetStartTimeStamp().GetTime(), v <= 2 ? T0 : T0 + 7);
        EXPECT_EQ(file.GetStopTimeStamp().GetStart(), v <= 2 ? T0 : T0 + 7);
        EXPECT_EQ(file.GetWindowExtent(), v == 0 ? -1 : 250);
        EXPECT_EQ(file.GetSweepLength(), -1);  // continuous, whatever the extent
        EXPECT_EQ(file.GetTriggerStreamIndex(), -1);
        EXPECT_EQ(file.GetLayout().GetRecordCount(), v == 0 ? 64 : 0);
        auto first = file.GetStream(0)->GetFirstChunk();
        ASSERT_NE(first, nullptr);
        EXPECT_NE(file.GetStream(0)->GetNextChunk(*first), nullptr);
    }
}

TEST(CKVTAStreamFile, OpenResults)
{
    const auto good = [](uint16_t v) {
        KvdBuilder b(v);
        b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001"));
        return b;
    };
    CKVLayout layout;
    layout.BuildDefault(0, 3, 2, 1, 0);
    std::vector<uint8_t> layoutChunk;
    layout.AppendLayoutChunk(layoutChunk);
    struct Case {
        const char* name; std::vector<uint8_t> bytes; int result;
    };
    std::vector<uint8_t> otherMagic = good(11).Build();
    otherMagic[7] = 'X';
    const Case cases[] = {
        {"empty file", {}, 2},
        {"another kind of file", otherMagic, 2},
        {"header version 12", good(11).Set<uint16_t>(0, 12).Build(), 3},
        {"version 3 without IDX1POS", good(3).OmitIndexPosition().Build(), 3},
        {"version 0 without LISTstrm", good(0).OmitIndexPosition().Build(), 3},
        {"recording mode 3", good(1).Set<int32_t>(FH::kRecordingMode, 3).Build(), 3},
        {"one stream short", good(11).StreamCount(2).Build(), 3},
        {"huge stream count", good(11).StreamCount(INT32_MAX).Build(), 3},
        {"layout kind 3 without layout", good(11).Set<int32_t>(FH::kLayoutKind, 3).Build(), 3},
        {"stimulator flag without chunk", good(11).Set<uint8_t>(FH::kStimulatorFlag, 1).Build(), 3},
        {"layout kind 3 with its chunk",
         good(11).Set<int32_t>(FH::kLayoutKind, 3).AddHeaderChunk(layoutChunk).Build(), 0},
        {"negative stream count", KvdBuilder(11).StreamCount(-4).Build(), 0},
    };
    TempDir dir;
    CKVTAStreamFile file;
    EXPECT_EQ(file.Open(dir.File("missing.kvd")), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OpenBytes(file, c.bytes, dir), c.result);
        EXPECT_EQ(file.IsOpen(), c.result == 0);
        EXPECT_EQ(file.GetHeader() != nullptr, c.result == 0);
        EXPECT_GE(file.GetStreamCount(), 0);
    }
}

TEST(CKVTAStreamFile, TruncatedAtEveryOffsetFailsCleanlyOrOpensItsData)
{
    CKVLayout layout;
    layout.BuildDefault(0, 1, 1, 0, 0);
    std::vector<uint8_t> head;
    layout.AppendLayoutChunk(head);
    CMOrvexStimulatorProperty().WriteChunk(head);
    for (uint16_t v : {0, 11}) {
        SCOPED_TRACE(v);
        KvdBuilder b(v);
        if (v != 0) {
            b.Set<int32_t>(FH::kLayoutKind, 3).Set<uint8_t>(FH::kStimulatorFlag, 1).AddHeaderChunk(head);
            b.Set<int32_t>(FH::kRecordingMode, 1).SetText(FH::kStartTriggerId, "trig0001");
        }
        b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001"));
        b.AddStream(Stream("trigger", "Trigger 1", "trig0001", 2));
        const std::string id = v < 5 ? "00001raw" : "elec0001";
        AddRun(b, id, T0, 3, 128, 2);
        if (v != 0)
            b.AddIndex(KvdIndexPlan());
        KvdLayout where;
        const std::vector<uint8_t> bytes = b.Build(&where);
        TempDir dir;
        CKVTAStreamFile file;
        for (size_t cut = 0; cut <= bytes.size(); ++cut) {
            const int rc = OpenBytes(file, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut), dir);
            if (cut < where.dataStart) {
                ASSERT_NE(rc, 0) << cut;
                continue;
            }
            ASSERT_EQ(rc, 0) << cut;
            EXPECT_EQ(file.GetIndexPosition(), cut >= where.indexAt + 8 && v != 0 ? where.indexAt : 0) << cut;
            for (auto block = file.GetStream(0)->GetFirstChunk(); block;
                 block = file.GetStream(0)->GetNextChunk(*block))
                EXPECT_LE(block->GetEnd(), cut);
        }
    }
}

TEST(CKVTAStreamFile, ResolvesTriggerStreams)
{
    struct Case {
        const char* name; uint16_t version; int32_t mode; const char* startId; const char* stopId;
        int32_t program; std::vector<const char*> types; uint64_t chunkMs; int start; int stop;
        int32_t expectedMode; bool discard;
    };
    constexpr int32_t k140 = (1 << 16) | 40;
    constexpr int32_t k133 = (1 << 16) | 33;
    const Case cases[] = {
        {"start trigger", 11, 1, "trig0001", "", k140, {"analog", "trigger"}, 128, 1, -1, 1, false},
        {"start and stop", 11, 2, "trig0001", "trig0002", k140, {"analog", "trigger", "trigger"}, 128, 1, 2, 2, false},
        {"unknown trigger id", 11, 1, "nothere", "", k140, {"analog", "trigger"}, 128, -1, -1, 0, false},
        {"by chunk number", 4, 1, "", "", k140, {"analog", "trigger"}, 128, 1, -1, 1, false},
        {"version 0, one trigger", 0, 0, "", "", k133, {"analog", "trigger"}, 128, 1, -2, 1, false},
        {"version 0, two triggers", 0, 0, "", "", k133, {"analog", "trigger", "trigger"}, 128, -2, -2, 0, false},
        {"version 0, long chunks", 0, 0, "", "", k133, {"analog", "trigger"}, 200, 1, -2, 1, true},
        {"version 0, not only raw", 0, 0, "", "", k133, {"analog", "trigger", "spikes"}, 200, 1, -2, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KvdBuilder b(c.version);
        b.Set<int32_t>(FH::kRecordingMode, c.mode).Set<int32_t>(FH::kProgramVersion1, c.program);
        b.SetText(FH::kStartTriggerId, c.startId).SetText(FH::kStopTriggerId, c.stopId);
        b.Set<uint16_t>(FH::kTriggerStreamNumber, 6);
        for (size_t i = 0; i < c.types.size(); ++i) {
            const std::string type = c.types[i];
            const std::string number = std::to_string(i);
            const std::string prefix = type == "trigger" ? "trig" : type == "spikes" ? "spks" : "elec";
            b.AddStream(Stream(type, i == 0 ? "Electrode Raw Data" : "Stream " + number,
                               prefix + "000" + number, static_cast<uint16_t>(5 + i)));
        }
        // Gaps in the first stream tell old programs' triggered recordings.
        AddRun(b, c.version < 5 ? "00005raw" : "elec0000", T0, 3, c.chunkMs, 2);
        TempDir dir;
        CKVTAStreamFile file;
        ASSERT_EQ(OpenBuilt(file, b, dir), 0);
        EXPECT_EQ(file.GetTriggerStreamIndex(), c.start);
        EXPECT_EQ(file.GetStopTriggerStreamIndex(), c.stop);
        EXPECT_EQ(file.GetRecordingMode(), c.expectedMode);
        EXPECT_EQ(file.GetDiscardIndexEntries(), c.discard);
    }
}

TEST(CKVTAStreamFile, OpenForgetsTheFileOpenedBefore)
{
    KvdBuilder triggered(11);
    triggered.Set<int32_t>(FH::kRecordingMode, 1).SetText(FH::kStartTriggerId, "trig0001");
    triggered.AddStream(Stream("analog", "Electrode Raw Data", "elec0001"));
    triggered.AddStream(Stream("trigger", "Trigger 1", "trig0001"));
    KvdBuilder plain(0);
    plain.AddStream(Stream("analog", "Electrode Raw Data", "elec0001"));
    TempDir dir;
    CKVTAStreamFile file;
    ASSERT_EQ(OpenBuilt(file, triggered, dir), 0);
    ASSERT_EQ(file.GetTriggerStreamIndex(), 1);
    ASSERT_EQ(OpenBuilt(file, plain, dir), 0);
    EXPECT_EQ(file.GetTriggerStreamIndex(), -1);
    EXPECT_EQ(file.GetRecordingMode(), 0);
    EXPECT_EQ(file.Reset(), 0);
    EXPECT_EQ(file.GetTriggerStreamIndex(), -2);
}

TEST(CKVTAStreamFile, OldRecordingRepairs)
{
    struct Case {
        const char* name; uint16_t version; int32_t program; int gapBefore;
        std::vector<int> formatWord2; int windowExtent; int32_t rate;
    };
    const Case cases[] = {
        {"1.33 measures the first sweep", 11, (1 << 16) | 33, 3, {2000}, 384, 25000000},
        {"1.33 without a gap", 11, (1 << 16) | 33, -1, {2000}, 0, 25000000},
        {"1.34 keeps the header", 11, (1 << 16) | 34, 3, {2000}, 1000, 25000000},
        {"version 0 at 2.5 kHz", 0, (1 << 16) | 40, -1, {1499}, -1, 2500000},
        {"version 0 at 25 kHz", 0, (1 << 16) | 40, -1, {1500}, -1, 25000000},
        {"version 0 without streams", 0, (1 << 16) | 40, -1, {}, -1, 25000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KvdBuilder b(c.version);
        b.Set<int32_t>(FH::kProgramVersion1, c.program).Set<float>(FH::kWindowExtent, 1000.0f);
        for (int word : c.formatWord2) {
            KvdStreamPlan plan = Stream("analog", "Electrode Raw Data", "elec0001");
            plan.words[1] = static_cast<uint16_t>(word);
            b.AddStream(plan);
        }
        if (!c.formatWord2.empty())
            AddRun(b, c.version < 5 ? "00001raw" : "elec0001", T0, 5, 128, c.gapBefore);
        TempDir dir;
        CKVTAStreamFile file;
        ASSERT_EQ(OpenBuilt(file, b, dir), 0);
        EXPECT_EQ(file.GetWindowExtent(), c.windowExtent);
        EXPECT_EQ(file.GetSampleRate(), c.rate);
    }
}

TEST(CKVTAStreamFile, StartTimeZeroTakesTheEarliestFirstChunk)
{
    KvdBuilder b(11);
    b.Set<uint64_t>(FH::kStartTime, 0);
    b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001"));  // no chunks at all
    b.AddStream(Stream("analog", "Analog Raw Data", "anlg0001"));
    b.AddStream(Stream("digital", "Digital Raw Data", "digi0001"));
    b.AddChunk("anlg0001", T0 + 500, T0 + 600, {}).AddChunk("digi0001", T0 + 200, T0 + 300, {});
    TempDir dir;
    CKVTAStreamFile file;
    ASSERT_EQ(OpenBuilt(file, b, dir), 0);
    EXPECT_EQ(file.GetStartTime(), T0 + 200);
    EXPECT_EQ(file.GetStartTimeStamp().GetTime(), T0 + 200);
    EXPECT_EQ(file.GetFileTimeStamp().GetStart(), T0 + 200);
}

TEST(CKVTAStreamFile, IndexPositionThatLeadsNowhereCountsAsNone)
{
    KvdBuilder b(11);
    b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001"));
    AddRun(b, "elec0001", T0, 3, 128);
    b.AddIndex(KvdIndexPlan());
    KvdLayout where;
    const std::vector<uint8_t> good = b.Build(&where);
    struct Case {
        const char* name; int64_t position; bool kept;
    };
    const Case cases[] = {
        {"at the index", static_cast<int64_t>(where.indexAt), true},
        {"at a data chunk", static_cast<int64_t>(where.chunkAt[1]), false},
        {"inside the header area", 16, false},
        {"past the end", static_cast<int64_t>(good.size() + 100), false},
        {"negative", -32, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = good;
        PatchLE<int64_t>(bytes, where.indexPositionAt + 16, c.position);
        TempDir dir;
        CKVTAStreamFile file;
        ASSERT_EQ(OpenBytes(file, bytes, dir), 0);
        EXPECT_EQ(file.GetIndexPosition(), c.kept ? where.indexAt : 0);
        if (!c.kept) {
            EXPECT_EQ(file.HasStoredIndex(), 0);
        }
        int chunks = 0;
        CKVTAStream& stream = *file.GetStream(0);
        for (auto block = stream.GetFirstChunk(); block; block = stream.GetNextChunk(*block))
            ++chunks;
        EXPECT_EQ(chunks, 3);
    }
}

TEST(CKVTAStreamFile, HeaderQueries)
{
    const SYSTEMTIME when {2019, 5, 2, 14, 10, 20, 30, 456};
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&when, &ft));
    KvdBuilder b(11);
    b.Set<uint64_t>(FH::kStartTime, FileTimeToU64(ft) * 100 + 789);
    b.Set<int32_t>(FH::kInfoRecords + 320 + 8, 77);
    b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001"));
    b.AddStream(Stream("analog", "Analog Raw Data", "anlg"));
    TempDir dir;
    CKVTAStreamFile file;
    ASSERT_EQ(OpenBuilt(file, b, dir), 0);
    const int calendar[] = {file.GetStartYear(), file.GetStartMonth(), file.GetStartDay(), file.GetStartHour(),
                            file.GetStartMinute(), file.GetStartSecond(), file.GetStartMillisecond()};
    EXPECT_EQ(std::vector<int>(calendar, calendar + 7), (std::vector<int> {2019, 5, 14, 10, 20, 30, 456}));
    int32_t ints[6] = {};
    double doubles[4] = {};
    EXPECT_TRUE(file.GetHeaderRecordValues(1, ints, doubles));
    EXPECT_EQ(ints[2], 77);
    for (int i : {-1, 4, INT_MAX}) {
        EXPECT_FALSE(file.GetHeaderRecordValues(i, ints, doubles));
        EXPECT_EQ(file.GetHeaderRecordText(i), "");
    }
    EXPECT_EQ(file.FindStream("elec0001"), 0);
    EXPECT_EQ(file.FindStream("anlg\0\0\0\0"), 1);
    EXPECT_EQ(file.GetSweepStartTime(0), nullptr);
}

TEST(CKVTAStreamFile, ReportProgressDropsRepeatsWithin200Ms)
{
    CKVTAStreamFile file;
    EXPECT_EQ(file.ReportProgress("Generating index", 5), 0);
    std::vector<std::pair<std::string, int>> calls;
    file.SetProgressCallback([&calls](const char* text, int percent) {
        calls.emplace_back(text, percent);
        return percent == 99 ? 1 : 0;
    });
    EXPECT_EQ(file.ReportProgress("Generating index", 5), 0);
    EXPECT_EQ(file.ReportProgress("Generating index", 5), 0);  // dropped
    EXPECT_EQ(file.ReportProgress("Generating index", 6), 0);
    EXPECT_EQ(file.ReportProgress("Merging", 6), 0);
    EXPECT_EQ(file.ReportProgress("Merging", 99), 1);           // the answer goes back
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].second, 6);
    EXPECT_EQ(calls[2].first, "Merging");
}

// Sweeps come from the index: generated on first demand, or read as stored; both agree, and
// sweep sample access reads the frames of the right stretch.
TEST(CKVTAStreamFile, SweepsComeFromTheGeneratedOrTheStoredIndex)
{
    KvdBuilder b = TwoSweepsOfThreeChunks();
    TempDir dir;
    CKVTAStreamFile generated;
    ASSERT_EQ(OpenBuilt(generated, b, dir), 0);
    ASSERT_EQ(generated.GetSweepCount(), 2);
    EXPECT_EQ(generated.GetSweepStartValue(1), T0 + 53 * kMs);
    EXPECT_EQ(generated.GetStopTime(), T0 + 56 * kMs);
    EXPECT_EQ(generated.GetSweepStartTime(2), nullptr);
    CKVTAStream* stream = generated.GetStream(0);
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(stream->GetSweepSampleCount(1), 12);
    uint16_t frames[12] = {};
    ASSERT_EQ(stream->GetSweepData(frames, 12, 1, 0, 12), 12);
    EXPECT_EQ(frames[0], 12 * 100);  // KvdFrames numbers frames on from chunk 3
    EXPECT_EQ(frames[11], 23 * 100);

    AddStoredSweeps(b, {{T0, T0 + 3 * kMs}, {T0 + 53 * kMs, T0 + 56 * kMs}});
    TempDir storedDir;
    CKVTAStreamFile stored;
    ASSERT_EQ(OpenBuilt(stored, b, storedDir), 0);
    EXPECT_NE(stored.HasStoredIndex(), 0);
    ASSERT_EQ(stored.GetSweepCount(), 2);
    EXPECT_EQ(stored.GetSweepStartValue(1), T0 + 53 * kMs);
}

// A stored sweep that lies behind every chunk holds no data: it ends where it starts, so that
// neither a read nor the recording's stop reaches past the data.
TEST(CKVTAStreamFile, AStoredSweepBehindTheDataHoldsNoTime)
{
    KvdBuilder b = TwoSweepsOfThreeChunks();  // the last sweep ends at 56 ms
    AddStoredSweeps(b, {{T0, T0 + 3 * kMs},
                        {T0 + 53 * kMs, T0 + 56 * kMs},
                        {T0 + 100 * kMs, T0 + 200 * kMs}});
    TempDir dir;
    CKVTAStreamFile file;
    ASSERT_EQ(OpenBuilt(file, b, dir), 0);
    ASSERT_NE(file.HasStoredIndex(), 0);
    file.SettleSweeps();
    ASSERT_EQ(file.GetSweepCount(), 3);
    const auto start = file.GetSweepStartTime(2);
    const auto stop = file.GetSweepStopTime(2);
    ASSERT_TRUE(start && stop);
    EXPECT_EQ(start->GetTime(), T0 + 100 * kMs);
    EXPECT_EQ(stop->GetTime(), T0 + 100 * kMs);
    EXPECT_EQ(file.GetStream(0)->GetSweepSampleCount(2), 0);
    EXPECT_EQ(file.GetStopTime(), T0 + 100 * kMs);
}

// Stop fields a recorder rounded down by less than a frame leave a gap that is no pause, even
// where every stream shows it: the sweeps stay the ones recorded.
TEST(CKVTAStreamFile, StopsRoundedDownSplitNoSweep)
{
    const KvdRecordingPlan plan = ThreeSweeps(30);   // a frame lasts 100 us
    TempDir dir;
    KvdLayout layout;
    std::vector<KvdPlannedChunk> chunks;
    std::vector<uint8_t> bytes = WrittenBytes(plan, dir, layout, chunks);
    ASSERT_FALSE(bytes.empty());
    // Both streams' first chunks of the middle sweep end 40 us early.
    const uint64_t middle = KvdSweepStartNs(plan, 1);
    int rounded = 0;
    for (size_t i = 0; i < chunks.size(); ++i) {
        if (chunks[i].stream != "Trigger 1" && chunks[i].startNs == middle) {
            PatchLE<uint64_t>(bytes, layout.chunkAt[i] + Kvd::DataChunk::kStop,
                              T0 + chunks[i].stopNs - 40000);
            ++rounded;
        }
    }
    ASSERT_EQ(rounded, 2);
    CKVTAStreamFile file;
    ASSERT_EQ(OpenBytes(file, bytes, dir), 0);
    file.SettleSweeps();
    ASSERT_EQ(file.GetSweepCount(), 3);
    for (int sweep = 0; sweep < 3; ++sweep) {
        SCOPED_TRACE(sweep);
        const auto start = file.GetSweepStartTime(sweep);
        const auto stop = file.GetSweepStopTime(sweep);
        ASSERT_TRUE(start && stop);
        EXPECT_EQ(start->GetTime(), T0 + KvdSweepStartNs(plan, sweep));
        EXPECT_EQ(stop->GetTime(), T0 + KvdSweepStartNs(plan, sweep) + 30 * kMs);
    }
}

// An old file tells its sweeps only by pauses in its first stream. A lone stream's last sweep of
// one chunk whose trigger head was lost keeps its place beside the lost head's time, so the pause
// before it still tells the sweeps, and a first sweep whose stop is a nanosecond short of its
// frames still lasts as long as they do.
TEST(CKVTAStreamFile, AnOldFileTellsItsSweepsBehindALostTrigger)
{
    for (const bool stopEarly : {false, true}) {
        SCOPED_TRACE(stopEarly ? "the first chunk's stop a nanosecond early" : "its times whole");
        KvdRecordingPlan plan = ThreeSweeps(10);
        plan.fileVersion = 0;
        plan.streams = {KvdRawStreamPlan()};
        plan.sweeps = 2;   // the pause behind the first sweep is all that tells them
        TempDir dir;
        KvdLayout layout;
        std::vector<KvdPlannedChunk> chunks;
        std::vector<uint8_t> bytes = WrittenBytes(plan, dir, layout, chunks);
        ASSERT_FALSE(bytes.empty());
        const uint64_t last = KvdSweepStartNs(plan, plan.sweeps - 1);
        for (size_t i = 0; i < chunks.size(); ++i) {
            // A size that runs into the head behind: the trigger's chunk is lost, its head kept.
            const uint64_t head = layout.chunkAt[i];
            if (chunks[i].stream == "Trigger 1" && chunks[i].startNs == last)
                PatchLE<int64_t>(bytes, head + Kvd::DataChunk::kSize,
                                 LoadLE<int64_t>(bytes.data() + head + Kvd::DataChunk::kSize) + 10);
            if (chunks[i].stream == "Electrode Raw Data" && chunks[i].startNs == 0 && stopEarly)
                PatchLE<uint64_t>(bytes, head + Kvd::DataChunk::kStop, T0 + chunks[i].stopNs - 1);
        }
        CKVTAStreamFile file;
        ASSERT_EQ(OpenBytes(file, bytes, dir), 0);
        file.SettleSweeps();
        EXPECT_EQ(file.GetRecordingMode(), 1);
        EXPECT_EQ(file.GetWindowExtent(), plan.sweepMs);
        ASSERT_EQ(file.GetSweepCount(), plan.sweeps);
        for (int n = 0; n < plan.sweeps; ++n) {
            SCOPED_TRACE(n);
            EXPECT_EQ(file.GetIndex().GetSweepStartValue(n), T0 + KvdSweepStartNs(plan, n));
            EXPECT_EQ(file.GetIndex().GetSweepStopValue(n),
                      T0 + KvdSweepStartNs(plan, n) + static_cast<uint64_t>(plan.sweepMs) * kMs);
        }
    }
}

// A chunk time a nanosecond off the frame grid moves the middle sweep's start by as much: the
// sweep's stop, a nanosecond past the data, must not cost a row, and no stream's rows may shift.
// Stops a nanosecond short of their frames end the sweep where the frames do, and a start a
// nanosecond off where the trigger and the other stream start moves to theirs.
TEST(CKVTAStreamFile, ASweepANanosecondOffTheGridKeepsEveryRow)
{
    struct Case
    {
        const char* name;
        bool storedIndex;       // the sweeps come from the index, not from the chunks
        bool electrodeLost;     // the electrode chunk that begins the sweep
        int64_t digitalMoveNs;  // the start of the digital chunk beside it
        int64_t stopsMoveNs = 0;  // the stops of both streams' chunks of the sweep
        int64_t triggerMoveNs = 0;  // the start of the sweep's trigger chunk
    };
    const Case cases[] = {
        {"both streams' stops a nanosecond early", false, false, 0, -1},
        {"both stops and the trigger's start a nanosecond early", false, false, 0, -1, -1},
        {"the electrode chunk lost, the digital one a nanosecond late", false, true, 1},
        {"the digital chunk a nanosecond early", false, false, -1},
        {"stored sweeps, the digital chunk a nanosecond early", true, false, -1},
        {"stored sweeps, the digital chunk a nanosecond late", true, false, 1},
    };
    KvdRecordingPlan plan = ThreeSweeps(10);
    const uint64_t middle = KvdSweepStartNs(plan, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plan.storedIndex = c.storedIndex;
        TempDir dir;
        KvdLayout layout;
        std::vector<KvdPlannedChunk> chunks;
        std::vector<uint8_t> bytes = WrittenBytes(plan, dir, layout, chunks);
        ASSERT_FALSE(bytes.empty());
        for (size_t i = 0; i < chunks.size(); ++i) {
            if (chunks[i].startNs != middle)
                continue;
            if (chunks[i].stream == "Electrode Raw Data" && c.electrodeLost) {
                // A size no chunk has and times that imply none.
                PatchLE<int64_t>(bytes, layout.chunkAt[i] + Kvd::DataChunk::kSize, 5);
                PatchLE<uint64_t>(bytes, layout.chunkAt[i] + Kvd::DataChunk::kStop, 0);
            }
            if (chunks[i].stream == "Digital Data")
                PatchLE<uint64_t>(bytes, layout.chunkAt[i] + Kvd::DataChunk::kStart,
                                  T0 + middle + static_cast<uint64_t>(c.digitalMoveNs));
            if (chunks[i].stream == "Trigger 1" && c.triggerMoveNs != 0)
                PatchLE<uint64_t>(bytes, layout.chunkAt[i] + Kvd::DataChunk::kStart,
                                  T0 + middle + static_cast<uint64_t>(c.triggerMoveNs));
            if (chunks[i].stream != "Trigger 1" && c.stopsMoveNs != 0)
                PatchLE<uint64_t>(bytes, layout.chunkAt[i] + Kvd::DataChunk::kStop,
                                  T0 + chunks[i].stopNs + static_cast<uint64_t>(c.stopsMoveNs));
        }
        CKVTAStreamFile file;
        ASSERT_EQ(OpenBytes(file, bytes, dir), 0);
        file.SettleSweeps();
        ASSERT_EQ(file.GetSweepCount(), 3);
        // The trigger and the other stream start the sweep where it was recorded.
        const auto start = file.GetSweepStartTime(1);
        ASSERT_TRUE(start);
        EXPECT_EQ(start->GetTime(), T0 + middle);
        const uint64_t first = middle / 100000;   // frames from the recording start
        for (size_t s = c.electrodeLost ? 1 : 0; s < 2; ++s) {
            SCOPED_TRACE(s);
            CKVTAStream* stream = file.GetStream(file.FindStream(s == 0 ? "elec0001" : "digi0001"));
            ASSERT_NE(stream, nullptr);
            const size_t channels = static_cast<size_t>(stream->GetChannelCount());
            const int values = static_cast<int>(100 * channels);   // 10 ms at 10 kHz
            ASSERT_EQ(stream->GetSweepSampleCount(1), values);
            std::vector<uint16_t> got(static_cast<size_t>(values));
            ASSERT_EQ(stream->GetSweepSamples(got.data(), values, 1), values);
            for (size_t k = 0; k < got.size(); ++k)
                ASSERT_EQ(got[k], KvdRecordingSample(plan, s, k % channels, first + k / channels)) << k;
        }
    }
}
