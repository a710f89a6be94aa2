#include "datafile/container/CKVTAStream.h"

#include <gtest/gtest.h>

#include <climits>

#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/container/KvdFormat.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdTestFile.h"
#include "tests/support/TempDir.h"

namespace FH = Kvd::FileHeader;

namespace {

constexpr uint64_t T0 = kKvdDefaultStart;
constexpr uint64_t kMs = 1000000;
constexpr uint64_t kSecond = 1000000000;

KvdStreamPlan RawStream(const std::string& type, const std::string& id, int channels, int32_t rate)
{
    KvdStreamPlan plan;
    plan.bufferType = type;
    plan.id = id;
    plan.sampleRate = rate;
    for (int c = 0; c < channels; ++c) {
        KvdChannelPlan channel;
        channel.number = c;
        plan.channels.push_back(channel);
    }
    return plan;
}

// One raw stream "elec0001" whose chunks hold consecutive frames, with chunks of a second
// stream between them; `frames` is what a reader must get back.
struct RawRecording
{
    int channels = 2;
    int32_t rate = 1000000;              // 1/1000 Hz
    int framesPerChunk = 128;
    std::vector<uint64_t> gapBefore;     // ns before chunk i; one entry per chunk
    int32_t mode = 0;
    std::vector<uint16_t> frames;        // interleaved
    std::vector<uint64_t> chunkEnd;      // file offset behind each chunk of the stream
    uint64_t stop = T0;

    std::vector<uint8_t> Build()
    {
        KvdBuilder b(11);
        b.Set<int32_t>(FH::kRecordingMode, mode).AddStream(RawStream("analog", "elec0001", channels, rate));
        b.AddStream(RawStream("analog", "anlg0001", 1, rate));
        const uint64_t span = uint64_t(framesPerChunk) * 1000000000000ull / uint64_t(rate);
        frames.clear();
        stop = T0;
        for (size_t i = 0; i < gapBefore.size(); ++i) {
            stop += gapBefore[i];
            const std::vector<uint8_t> payload = KvdFrames(framesPerChunk, channels, int(i) * framesPerChunk);
            b.AddChunk("elec0001", stop, stop + span, payload);
            b.AddChunk("anlg0001", stop, stop + span, KvdFrames(3, 1));
            for (size_t k = 0; k < payload.size(); k += 2)
                frames.push_back(LoadLE<uint16_t>(payload.data() + k));
            stop += span;
        }
        b.Set<uint64_t>(FH::kStopTime, stop);
        KvdLayout where;
        std::vector<uint8_t> bytes = b.Build(&where);
        chunkEnd.clear();
        for (size_t i = 0; i < where.chunkAt.size(); i += 2)
            chunkEnd.push_back(where.chunkAt[i + 1]);
        return bytes;
    }

    std::vector<uint16_t> Channel(int c) const
    {
        std::vector<uint16_t> out;
        for (size_t i = static_cast<size_t>(c); i < frames.size(); i += static_cast<size_t>(channels))
            out.push_back(frames[i]);
        return out;
    }
};

template <class File>
int Open(File& file, const std::vector<uint8_t>& bytes, TempDir& dir)
{
    const std::string path = dir.File("r.kvd");
    return WriteFileBytes(path, bytes) ? file.Open(path) : -1;
}

// Tiles [begin, end) with windows of `length` ns and joins what GetRawData gives.
std::vector<uint16_t> Tile(CKVTAStream& stream, uint64_t begin, uint64_t end, uint64_t length, int room)
{
    std::vector<uint16_t> joined;
    std::vector<uint16_t> buffer(static_cast<size_t>(room));
    for (uint64_t t = begin; t < end; t += length) {
        const int got = stream.GetRawData(buffer.data(), room, CKVTATimeStamp(t), CKVTATimeStamp(t + length));
        EXPECT_LT(got, room);
        joined.insert(joined.end(), buffer.begin(), buffer.begin() + got);
    }
    return joined;
}

// A file whose sweeps are given, for the sweep operations.
class SweptFile : public KvdTestFile
{
public:
    std::unique_ptr<CKVTATimeStamp> GetSweepStartTime(int i) override
    {
        return Valid(i) ? std::make_unique<CKVTATimeStamp>(sweeps[size_t(i)].first, T0) : nullptr;
    }
    std::unique_ptr<CKVTATimeStamp> GetSweepStopTime(int i) override
    {
        return Valid(i) ? std::make_unique<CKVTATimeStamp>(sweeps[size_t(i)].second, T0) : nullptr;
    }
    std::vector<std::pair<uint64_t, uint64_t>> sweeps;

private:
    bool Valid(int i) const { return i >= 0 && static_cast<size_t>(i) < sweeps.size(); }
};

} // namespace

TEST(CKVTAStreamSamples, TiledWindowsRebuildTheStreamExactly)
{
    struct Case {
        const char* name; int channels; int32_t rate; int framesPerChunk;
        std::vector<uint64_t> gaps; std::vector<uint64_t> windowStarts; uint64_t length;
    };
    const std::vector<uint64_t> gapped = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 500 * kMs, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                          2200 * kMs, 0, 0, 0, 0};
    const Case cases[] = {
        // Boundaries on a chunk start, inside chunks, in a gap, between two sample instants.
        {"1 kHz, 1 s windows", 3, 1000000, 128, gapped, {0, 64 * kMs, 500 * kMs, 768 * kMs, 333333333}, kSecond},
        {"1 kHz, odd windows", 3, 1000000, 128, gapped, {0, 7 * kMs}, 123456789},
        {"3 kHz, 10 ms windows", 2, 3000000, 100, gapped, {0, 333333}, 10 * kMs},
        {"60 channels at 50 kHz", 60, 50000000, 6400, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 300 * kMs, 0, 0, 0, 0},
         {0, 64 * kMs + 1}, kSecond},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawRecording recording;
        recording.channels = c.channels;
        recording.rate = c.rate;
        recording.framesPerChunk = c.framesPerChunk;
        recording.gapBefore = c.gaps;
        const std::vector<uint8_t> bytes = recording.Build();
        const uint64_t perWindow = static_cast<uint64_t>(c.rate) / 1000 * c.length / kSecond + 2;
        for (uint64_t offset : c.windowStarts) {
            SCOPED_TRACE(offset);
            TempDir dir;
            CKVTAStreamFile file;
            ASSERT_EQ(Open(file, bytes, dir), 0);
            CKVTAStream& stream = *file.GetStream(0);
            // The chunk heads are read once, up front; the windows then read frames only.
            (void)file.GetChunkChain()->Coverage();
            const size_t readsBefore = file.GetReader().FileReads();
            const std::vector<uint16_t> joined = Tile(stream, T0 - kSecond + offset, recording.stop + kSecond, c.length,
                                                      static_cast<int>(perWindow) * c.channels);
            EXPECT_TRUE(joined == recording.frames) << joined.size() << " of " << recording.frames.size();
            // One read per chunk and one per window split at most: no block is read twice.
            const size_t windows = static_cast<size_t>((recording.stop - T0 + 2 * kSecond) / c.length + 1);
            EXPECT_LE(file.GetReader().FileReads() - readsBefore, c.gaps.size() + windows + 2);
        }
    }
}

TEST(CKVTAStreamSamples, WindowEdgesAndLimits)
{
    RawRecording recording;
    recording.channels = 3;
    recording.gapBefore = {0, 0, 100 * kMs, 0};
    TempDir dir;
    CKVTAStreamFile file;
    ASSERT_EQ(Open(file, recording.Build(), dir), 0);
    CKVTAStream& stream = *file.GetStream(0);
    struct Case {
        const char* name; uint64_t from; uint64_t to; int max; size_t firstFrame; int values;
    };
    const Case cases[] = {
        {"empty window on a boundary", T0 + 128 * kMs, T0 + 128 * kMs, 999, 0, 0},
        {"empty window inside a chunk", T0 + 5 * kMs, T0 + 5 * kMs, 999, 0, 0},
        {"from after to", T0 + 6 * kMs, T0 + 5 * kMs, 999, 0, 0},
        {"whole chunk from its start", T0 + 128 * kMs, T0 + 300 * kMs, 999, 128, 128 * 3},
        {"max below the window", T0, T0 + 200 * kMs, 30, 0, 30},
        {"max not a whole frame", T0 + 3 * kMs, T0 + 200 * kMs, 8, 3, 6},
        {"window inside a gap", T0 + 260 * kMs, T0 + 350 * kMs, 999, 0, 0},
        {"across the gap", T0 + 250 * kMs, T0 + 360 * kMs, 999, 250, 6 * 3 + 4 * 3},
        {"before the recording", T0 - kSecond, T0, 999, 0, 0},
        {"after the recording", T0 + 10 * kSecond, T0 + 11 * kSecond, 999, 0, 0},
    };
    std::vector<uint16_t> out(999);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int got = stream.GetRawData(out.data(), c.max, CKVTATimeStamp(c.from), CKVTATimeStamp(c.to));
        ASSERT_EQ(got, c.values);
        for (int i = 0; i < got; ++i)
            ASSERT_EQ(out[size_t(i)], recording.frames[c.firstFrame * 3 + size_t(i)]) << i;
    }
}

TEST(CKVTAStreamSamples, CountsOfWindowsAndRecordings)
{
    struct Case {
        const char* name; std::string type; int channels; int32_t rate; uint64_t from; uint64_t to;
        int window; uint64_t recording; int64_t total;
    };
    const Case cases[] = {
        {"1 ms at 25 kHz", "analog", 2, 25000000, 0, kMs, 50, 10 * kSecond, 250000},
        {"just below 40 us", "analog", 2, 25000000, 1000, 40999, 0, 10 * kSecond, 250000},
        {"40 us", "digital", 2, 25000000, 1000, 41000, 2, 10 * kSecond, 250000},
        {"2.5 kHz counts its fraction", "filter", 1, 2500000, 0, kSecond, 2500, 10 * kSecond, 25000},
        {"a day at 50 kHz", "chat", 7, 50000000, 0, 86400 * kSecond, INT_MAX / 7 * 7, 86400 * kSecond, 4320000000},
        {"from after to", "analog", 2, 25000000, kMs, 0, 0, 10 * kSecond, 250000},
        {"not a raw stream", "spikes", 2, 25000000, 0, kMs, 0, 10 * kSecond, 0},
        {"rate 0", "analog", 2, 0, 0, kMs, 0, 10 * kSecond, 0},
        {"negative rate", "analog", 2, -25000000, 0, kMs, 0, 10 * kSecond, 0},
        {"no channels", "analog", 0, 25000000, 0, kMs, 0, 10 * kSecond, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KvdBuilder b(11);
        b.Set<int32_t>(FH::kSampleRate, 1000000).Set<uint64_t>(FH::kStopTime, T0 + c.recording);
        b.AddStream(RawStream(c.type, "elec0001", c.channels, c.rate));
        TempDir dir;
        KvdTestFile file;
        ASSERT_EQ(Open(file, b.Build(), dir), 0);
        CKVTAStream& stream = *file.Stream(0);
        const CKVTATimeStamp from(T0 + c.from);
        EXPECT_EQ(stream.GetSampleCountInWindow(from, CKVTATimeStamp(T0 + c.to)), c.window);
        EXPECT_EQ(stream.GetTotalSampleCount(), c.total);
    }
}

TEST(CKVTAStreamSamples, ChannelCopiesMatchAReferenceDeinterleave)
{
    RawRecording recording;
    recording.channels = 3;
    recording.framesPerChunk = 100;
    recording.gapBefore = std::vector<uint64_t>(30, 0);
    recording.gapBefore[7] = 40 * kMs;
    TempDir dir;
    CKVTAStreamFile file;
    ASSERT_EQ(Open(file, recording.Build(), dir), 0);
    CKVTAStream& stream = *file.GetStream(0);
    const size_t total = recording.frames.size() / 3;
    std::vector<uint16_t> out(9999);
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        const std::vector<uint16_t> expected = recording.Channel(c);
        ASSERT_EQ(stream.CopyChannelSamples(out.data(), c, 9999), static_cast<int64_t>(total));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin()));
        EXPECT_EQ(stream.CopyChannelSamples(out.data(), c, 150), 150);  // stops at the buffer's end
        // Steps that start inside, at the end of and past chunks; none restarts the walk.
        for (uint64_t step : {37u, 100u, 1000u}) {
            std::vector<uint16_t> joined;
            const size_t readsBefore = file.GetReader().FileReads();
            for (uint64_t first = 0;; first += step) {
                const int got = stream.CopyChannelSamplesRange(out.data(), static_cast<uint32_t>(c), first,
                                                               static_cast<int>(step));
                if (got == 0)
                    break;
                joined.insert(joined.end(), out.begin(), out.begin() + got);
            }
            EXPECT_TRUE(joined == expected) << step;
            const size_t reads = file.GetReader().FileReads() - readsBefore;
            EXPECT_LE(reads, total / step + 2 * recording.gapBefore.size());
        }
    }
    EXPECT_EQ(stream.CopyChannelSamplesRange(out.data(), 0, total, 10), 0);
    EXPECT_EQ(stream.CopyChannelSamplesRange(out.data(), 0, UINT64_MAX, 10), 0);
    for (int bad : {-1, 3, INT_MAX}) {
        EXPECT_EQ(stream.CopyChannelSamples(out.data(), bad, 10), 0);
        EXPECT_EQ(stream.CopyChannelSamplesRange(out.data(), static_cast<uint32_t>(bad), 0, 10), 0);
    }
}

TEST(CKVTAStreamSamples, TruncatedDataGivesOnlyWholeChunksReallyThere)
{
    RawRecording recording;
    recording.channels = 2;
    recording.framesPerChunk = 50;
    recording.gapBefore = {0, 0, 0, 0};
    const std::vector<uint8_t> bytes = recording.Build();
    const uint64_t dataStart = recording.chunkEnd.front() - 32 - 200;
    std::vector<uint16_t> out(2000);
    std::vector<uint16_t> channel(2000);
    TempDir dir;
    CKVTAStreamFile file;
    for (size_t cut = static_cast<size_t>(dataStart); cut <= bytes.size(); cut += 13) {
        SCOPED_TRACE(cut);
        ASSERT_EQ(Open(file, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut), dir), 0);
        size_t whole = 0;
        while (whole < recording.chunkEnd.size() && recording.chunkEnd[whole] <= cut)
            ++whole;
        const int values = static_cast<int>(whole) * 50 * 2;
        CKVTAStream& stream = *file.GetStream(0);
        const CKVTATimeStamp from(T0);
        ASSERT_EQ(stream.GetRawData(out.data(), 2000, from, CKVTATimeStamp(T0 + kSecond)), values);
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + values, recording.frames.begin()));
        EXPECT_EQ(stream.CopyChannelSamples(channel.data(), 1, 2000), values / 2);
        EXPECT_EQ(stream.CopyChannelSamplesRange(channel.data(), 1, 0, 2000), values / 2);
    }
}

TEST(CKVTAStreamSamples, SweepsOfATriggeredRecording)
{
    // 3 kHz: sample k of a sweep lies k x 333.33 us after its start; the times are taken in
    // whole microseconds, which must still land on sample k.
    RawRecording recording;
    recording.channels = 2;
    recording.rate = 3000000;
    recording.framesPerChunk = 300;
    recording.gapBefore = {0, 0, 900 * kMs};
    recording.mode = 1;
    const std::vector<uint8_t> bytes = recording.Build();
    TempDir dir;
    SweptFile file;
    ASSERT_EQ(Open(file, bytes, dir), 0);
    const uint64_t secondSweep = T0 + 200 * kMs + 900 * kMs;
    file.sweeps = {{T0, T0 + 200 * kMs}, {secondSweep, secondSweep + 100 * kMs}};
    CKVTAStream& stream = *file.Stream(0);
    std::vector<uint16_t> out(2000);

    ASSERT_EQ(stream.GetSweepData(out.data(), 2000, 0, 1, 3), 6);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 6, recording.frames.begin() + 2));
    EXPECT_EQ(stream.GetSweepSampleCount(0), 1200);
    ASSERT_EQ(stream.GetSweepSamples(out.data(), 2000, 1), 600);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 600, recording.frames.begin() + 1200));
    const std::vector<uint16_t> second = recording.Channel(1);
    ASSERT_EQ(stream.GetSweepChannelSamples(out.data(), 2000, 0, 1), 600);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 600, second.begin()));
    ASSERT_EQ(stream.GetSweepChannelSamples(out.data(), 10, 0, 1), 10);

    // Sweep windows of 7 samples tile the sweep.
    std::vector<uint16_t> joined;
    for (int first = 0; first < 600; first += 7) {
        const int got = stream.GetSweepChannelData(out.data(), 7, 0, 1, first, 7);
        joined.insert(joined.end(), out.begin(), out.begin() + got);
    }
    EXPECT_TRUE(std::equal(second.begin(), second.begin() + 600, joined.begin()) && joined.size() == 600);

    // Sweep past the count, negative sweep, channel past the count, negative first, no samples.
    const int bad[][4] = {{2, 0, 0, 5}, {-1, 0, 0, 5}, {0, 2, 0, 5}, {0, 0, -1, 5}, {0, 0, 0, 0}};
    for (const auto& b : bad)
        EXPECT_EQ(stream.GetSweepChannelData(out.data(), 2000, b[0], b[1], b[2], b[3]), 0) << b[0] << b[1];
    // Continuous-only operations refuse a triggered recording, and the other way round.
    EXPECT_EQ(stream.CopyChannelSamples(out.data(), 0, 2000), 0);
    EXPECT_EQ(stream.CopyChannelSamplesRange(out.data(), 0, 0, 2000), 0);
    EXPECT_EQ(stream.GetTotalSampleCount(), 0);
    recording.mode = 0;
    SweptFile continuous;
    ASSERT_EQ(Open(continuous, recording.Build(), dir), 0);
    continuous.sweeps = file.sweeps;
    EXPECT_EQ(continuous.Stream(0)->GetSweepSamples(out.data(), 2000, 0), 0);
}
