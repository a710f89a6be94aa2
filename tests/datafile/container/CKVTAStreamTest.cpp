#include "datafile/container/CKVTAStream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include <unistd.h>

#include "datafile/container/CKVTAFileContext.h"
#include "platform/CByteWriter.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdTestFile.h"
#include "tests/support/TempDir.h"

namespace {

KvdChannelPlan Channel(int32_t id, int32_t number)
{
    KvdChannelPlan plan;
    plan.id = id;
    plan.number = number;
    plan.name = "Ch" + std::to_string(number);
    plan.displayName = plan.name;
    return plan;
}

KvdStreamPlan Stream(const std::string& type, const std::string& name, const std::string& id, int channels)
{
    KvdStreamPlan plan;
    plan.bufferType = type;
    plan.name = name;
    plan.id = id;
    for (int c = 0; c < channels; ++c)
        plan.channels.push_back(Channel(10 + c, 20 + c));
    return plan;
}

// Opens the built file; returns the open result.
int OpenBuilt(const KvdBuilder& builder, TempDir& dir, KvdTestFile& file, KvdLayout* layout = nullptr)
{
    const std::string path = dir.File("s.kvd");
    if (!builder.WriteTo(path, layout))
        return -1;
    return file.Open(path);
}

int OpenBytes(const std::vector<uint8_t>& bytes, TempDir& dir, KvdTestFile& file)
{
    const std::string path = dir.File("b.kvd");
    if (!WriteFileBytes(path, bytes))
        return -1;
    return file.Open(path);
}

} // namespace

TEST(CKVTAStream, DerivesIdsOfOldFilesFromNameTypeAndChunkNumber)
{
    struct Case
    {
        const char* type;
        const char* name;
        uint16_t chunkNumber;
        int result;
        const char* streamId;
        const char* chunkId;
        const char* bufferType;
    };
    const Case cases[] = {
        {"analog", "Electrode Raw Data", 1, 0, "elec0001", "00001raw", "analog"},
        {"digital", "Digital Raw Data", 3, 0, "digi0001", "00003raw", "digital"},
        {"analog", "Some Other Data", 2, 0, "", "00002raw", "analog"},
        {"SPIKES", "Spikes 12", 12, 0, "spks000c", "0000cspk", "spikes"},
        {"spikes", "Spikes", 4, 0, "spks0000", "00004spk", "spikes"},
        {"trigger", "Trigger 2x", 0xFFFF, 0, "trig0002", "0fffftrg", "trigger"},
        {"params", "Parameter 65535", 5, 0, "paraffff", "00005par", "params"},
        {"average", "Average 7", 5, 0, "mean0007", "00005evp", "average"},
        {"chat", "Tool 1", 5, 0, "chtl0001", "00005cht", "chat"},
        {"filter", "Filter 1", 5, 0, "filt0001", "00005flt", "filter"},
        {"spikes", "Spikes 65536", 1, 5, "", "", "spikes"},
        {"spikes", "Spikes 99999999999", 1, 5, "", "", "spikes"},
        {"spikes", "Spikes 99999999999999999999999999", 1, 5, "", "", "spikes"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KvdStreamPlan plan = Stream(c.type, c.name, "ignored!", 1);
        plan.chunkNumber = c.chunkNumber;
        KvdBuilder builder(3);
        builder.AddStream(plan);
        KvdTestFile file;
        const int rc = OpenBuilt(builder, dir, file);
        if (c.result != 0) {
            EXPECT_EQ(rc, 10 + c.result);
            continue;
        }
        ASSERT_EQ(rc, 0);
        const CKVTAStream* stream = file.Stream(0);
        EXPECT_EQ(stream->GetId(), c.streamId);
        EXPECT_EQ(stream->GetChunkId(), c.chunkId);
        EXPECT_EQ(stream->GetBufferType(), c.bufferType);
    }

    // From version 5 the stored id is the chunk id; an unterminated 12-byte id is refused.
    KvdBuilder current(5);
    current.AddStream(Stream("spikes", "Spikes 3", "spks0003", 1));
    KvdTestFile file;
    ASSERT_EQ(OpenBuilt(current, dir, file), 0);
    EXPECT_EQ(file.Stream(0)->GetChunkId(), "spks0003");
    KvdBuilder longId(11);
    longId.AddStream(Stream("spikes", "Spikes 3", "spks00030000", 1));
    EXPECT_EQ(OpenBuilt(longId, dir, file), 15);
}

TEST(CKVTAStream, ReadsHeaderChannelsAndFormat)
{
    TempDir dir;
    KvdStreamPlan plan = Stream("analog", "Electrode Raw Data", "elec0001", 3);
    plan.secondText = "second";
    plan.sampleRate = 3000000;
    plan.adcBits = 12;
    plan.adcZero = 2048;
    plan.voltsPerStep = 2.5e-7;
    plan.words[1] = 1400;
    plan.formatByte = -3;
    plan.settings = {1, 2, 3, 4, 5};
    for (uint16_t v : {3, 6, 7, 11}) {
        SCOPED_TRACE(v);
        KvdBuilder builder(v);
        builder.AddStream(plan).AddStream(Stream("spikes", "Spikes 1", "spks0001", 2));
        KvdTestFile file;
        ASSERT_EQ(OpenBuilt(builder, dir, file), 0);
        const CKVTAStream* s = file.Stream(0);
        EXPECT_EQ(s->GetName(), "Electrode Raw Data");
        EXPECT_EQ(s->GetSecondName(), "second");
        EXPECT_EQ(s->GetSampleRate(), 3000);
        EXPECT_EQ(s->GetChannelCount(), 3);
        EXPECT_EQ(s->GetAdcBits(), 12);
        EXPECT_EQ(s->GetAdcZero(), 2048);
        EXPECT_EQ(s->GetVoltsPerStep(), 2.5e-7);
        EXPECT_EQ(s->GetFormatWord2(), 1400);
        EXPECT_EQ(s->GetFormatByte(), -3);
        EXPECT_EQ(s->GetFormatVersion(), 1);
        const uint8_t* data = nullptr;
        ASSERT_EQ(s->GetFormatData(data), 5u);
        EXPECT_EQ(data[4], 5);
        EXPECT_TRUE(s->IsRawStream());
        EXPECT_TRUE(s->IsContinuous());
        // Old files number the channels of raw streams by position; spikes keep their ids.
        EXPECT_EQ(s->GetChannel(2)->GetId(), v < 7 ? 2 : 12);
        EXPECT_EQ(file.Stream(1)->GetChannel(1)->GetId(), 11);
        EXPECT_EQ(s->FindChannelByNumber(21), s->GetChannel(1));
        EXPECT_EQ(s->FindChannelById(v < 7 ? 1 : 11), s->GetChannel(1));
        EXPECT_EQ(s->FindChannelById(99), nullptr);
        EXPECT_EQ(s->GetChannel(3), nullptr);
        EXPECT_EQ(s->GetChannel(-1), nullptr);
        EXPECT_EQ(s->GetChannelName(1), "Ch21");
        EXPECT_EQ(s->GetChannelName(-1), "");
        EXPECT_EQ(s->CreateInfo(), nullptr);
    }
}

TEST(CKVTAStream, OldFormatHeadReadsAsAFullHead)
{
    TempDir dir;
    KvdStreamPlan plan = Stream("spikes", "Spikes 1", "spks0001", 1);
    plan.oldHead = true;
    plan.voltsPerStep = 3e-7;
    plan.settings = std::vector<uint8_t>(40, 9);
    KvdBuilder builder(11);
    builder.AddStream(plan).AddStream(Stream("trigger", "Trigger 1", "trig0001", 0));
    KvdTestFile file;
    ASSERT_EQ(OpenBuilt(builder, dir, file), 0);
    const CKVTAStream* s = file.Stream(0);
    EXPECT_EQ(s->GetSecondScale(), 3e-7);
    EXPECT_EQ(s->GetFormatVersion(), 1);
    const uint8_t* data = nullptr;
    EXPECT_EQ(s->GetFormatData(data), 40u);
    EXPECT_EQ(file.Stream(1)->GetId(), "trig0001");  // the next stream was read from the right place
}

TEST(CKVTAStream, HeaderFollowedByFormatHasNoChannels)
{
    TempDir dir;
    KvdStreamPlan plan = Stream("trigger", "Trigger 1", "trig0001", 0);
    plan.channelCount = 5;
    KvdBuilder builder(11);
    builder.AddStream(plan);
    KvdTestFile file;
    ASSERT_EQ(OpenBuilt(builder, dir, file), 0);
    EXPECT_EQ(file.Stream(0)->GetChannelCount(), 0);
    EXPECT_EQ(file.Stream(0)->GetChannelName(0), "");
}

TEST(CKVTAStream, CorruptCountsAndSizesFailCleanly)
{
    TempDir dir;
    struct Case
    {
        const char* name;
        int32_t channelCount;
        int64_t formatSize;
    };
    const Case cases[] = {
        {"negative channel count", -2, -1},
        {"channel count above 32767", 40000, -1},
        {"channel count past the end", 30000, -1},
        {"format size below the head", -1, 24},
        {"negative format size", -1, -100},
        {"format size past the end", -1, int64_t(1) << 40},
        {"largest format size", -1, INT64_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KvdStreamPlan plan = Stream("analog", "Electrode Raw Data", "elec0001", 2);
        plan.channelCount = c.channelCount;
        plan.formatSize = c.formatSize;
        KvdBuilder builder(11);
        builder.AddStream(plan);
        KvdTestFile file;
        EXPECT_EQ(OpenBuilt(builder, dir, file), 12);
    }

    // Cut anywhere inside the stream records: a clean failure every time.
    KvdBuilder builder(6);
    KvdStreamPlan plan = Stream("spikes", "Spikes 1", "spks0001", 2);
    plan.channels[0].items = {{1, 2}};
    plan.settings = {1, 2, 3};
    builder.AddStream(plan).OmitIndexPosition();
    KvdLayout layout;
    const std::vector<uint8_t> good = builder.Build(&layout);
    const std::string path = dir.File("cut.kvd");
    ASSERT_TRUE(WriteFileBytes(path, good));
    for (size_t cut = good.size(); cut-- > layout.streamAt[0];) {
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(cut)), 0);
        KvdTestFile file;
        ASSERT_EQ(file.Open(path), 12) << cut;
    }
}

TEST(CKVTAStream, WriteAndCloneReadBackAsCurrentRecords)
{
    TempDir dir;
    KvdStreamPlan plan = Stream("spikes", "Spikes 12", "", 2);
    plan.oldHead = true;
    plan.chunkNumber = 12;
    plan.voltsPerStep = 4e-7;
    plan.settings = {7, 7, 7};
    plan.channels[1].items = {{3, 4}};
    KvdBuilder old(3);
    old.AddStream(plan);
    KvdTestFile source;
    ASSERT_EQ(OpenBuilt(old, dir, source), 0);
    const CKVTAStream* original = source.Stream(0);
    EXPECT_EQ(original->GetChunkId(), "0000cspk");

    KvdTestFile target;  // only the header version matters for the clone
    const auto copy = original->CloneForOutput(&target);
    EXPECT_EQ(copy->GetChunkId(), "spks000c");
    EXPECT_EQ(copy->GetChannel(0)->GetKind(), 2);

    KvdBuilder shell(11);
    std::vector<uint8_t> bytes = shell.Build();
    bytes.resize(bytes.size() - 24);  // drop "IDX1POS " to put the written stream before it
    PatchLE<int32_t>(bytes, 48 + 800, 1);
    copy->AppendTo(bytes);
    std::vector<uint8_t> indexPosition;
    CByteWriter(indexPosition).PutId("IDX1POS ").Put<int64_t>(8).Put<int64_t>(0);
    bytes.insert(bytes.end(), indexPosition.begin(), indexPosition.end());
    KvdTestFile reread;
    ASSERT_EQ(OpenBytes(bytes, dir, reread), 0);
    const CKVTAStream* back = reread.Stream(0);
    EXPECT_EQ(back->GetId(), "spks000c");
    EXPECT_EQ(back->GetChunkId(), "spks000c");
    EXPECT_EQ(back->GetSecondScale(), 4e-7);
    EXPECT_EQ(back->GetFormatHead(), copy->GetFormatHead());
    const uint8_t* data = nullptr;
    EXPECT_EQ(back->GetFormatData(data), 3u);
    ASSERT_EQ(back->GetChannelCount(), 2);
    EXPECT_EQ(back->GetChannel(1)->Record(), copy->GetChannel(1)->Record());
    EXPECT_EQ(back->GetChannel(1)->GetItemValue(0), 4);
    EXPECT_EQ(copy->Write(nullptr), 1);
}

// --- chunk walk -------------------------------------------------------------------------------

namespace {

struct Span
{
    int stream;
    uint64_t start;
    uint64_t stop;
};

constexpr uint64_t T0 = kKvdDefaultStart;
const char* const kIds[] = {"elec0001", "spks0001", "trig0001"};

KvdBuilder InterleavedFile(const std::vector<Span>& chunks, uint16_t version = 11)
{
    KvdBuilder builder(version);
    builder.AddStream(Stream("analog", "Electrode Raw Data", kIds[0], 2));
    builder.AddStream(Stream("spikes", "Spikes 1", kIds[1], 2));
    builder.AddStream(Stream("trigger", "Trigger 1", kIds[2], 0));
    for (const Span& c : chunks)
        builder.AddChunk(kIds[c.stream], T0 + c.start, T0 + c.stop, std::vector<uint8_t>(8 * (c.stream + 1), 1));
    return builder;
}

std::vector<std::pair<uint64_t, uint64_t>> Walk(CKVTAStream& stream)
{
    std::vector<std::pair<uint64_t, uint64_t>> spans;
    for (auto block = stream.GetFirstChunk(); block; block = stream.GetNextChunk(*block))
        spans.push_back({block->GetStartTime() - T0, block->GetStopTime() - T0});
    return spans;
}

} // namespace

TEST(CKVTAStream, EachWalkReturnsExactlyItsOwnChunks)
{
    std::mt19937 random(5);
    std::vector<Span> chunks;
    std::vector<std::pair<uint64_t, uint64_t>> expected[3];
    uint64_t clock[3] = {0, 0, 0};
    for (int i = 0; i < 300; ++i) {
        const int s = static_cast<int>(random() % 3);
        const uint64_t gap = random() % 4 == 0 ? 50 : 0;
        chunks.push_back({s, clock[s] + gap, clock[s] + gap + 100});
        expected[s].push_back({clock[s] + gap, clock[s] + gap + 100});
        clock[s] += gap + 100;
    }
    TempDir dir;
    KvdTestFile file;
    KvdBuilder builder = InterleavedFile(chunks);
    KvdLayout layout;
    ASSERT_EQ(OpenBuilt(builder, dir, file, &layout), 0);
    EXPECT_EQ(file.dataStart, layout.dataStart);
    for (int s = 0; s < 3; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(Walk(*file.Stream(s)), expected[s]);
    }
    EXPECT_EQ(file.chain.HeadersRead(), 300u);  // every header read once for all three walks

    auto block = file.Stream(1)->GetFirstChunk();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->GetStream(), file.Stream(1));
    EXPECT_EQ(block->GetPayloadSize(), 16);
    EXPECT_EQ(block->GetStartStamp().GetStart(), T0);
    std::vector<uint8_t> payload;
    EXPECT_TRUE(block->ReadPayload(payload));
    EXPECT_EQ(payload, std::vector<uint8_t>(16, 1));
}

TEST(CKVTAStream, ChunkIdsMatchWhateverTheirCase)
{
    TempDir dir;
    KvdBuilder builder(11);
    builder.AddStream(Stream("spikes", "Spikes 1", "spks0001", 1));
    builder.AddChunk("SPKS0001", T0, T0 + 1, {}).AddChunk("Spks0001", T0 + 1, T0 + 2, {});
    builder.AddChunk("spks0002", T0 + 2, T0 + 3, {});
    KvdTestFile file;
    ASSERT_EQ(OpenBuilt(builder, dir, file), 0);
    EXPECT_EQ(Walk(*file.Stream(0)).size(), 2u);
    EXPECT_EQ(file.Stream(0)->GetFirstChunk()->GetChunkId(), "SPKS0001");
}

// A damaged chunk head is dropped and the chain goes on at the next head of a known id (a
// stream of the file, or one seen before) whose size fits and that another head (or the end)
// follows; without one the walk ends there. Either way the bytes skipped are kept as lost.
TEST(CKVTAStream, BrokenChunkHeadsAreSkipped)
{
    // An id inside the bytes behind a damaged head that is no chunk head: its size is 0.
    std::vector<uint8_t> fakeHead(kIds[0], kIds[0] + 8);
    fakeHead.resize(40, 0);
    struct Case
    {
        const char* name;
        int64_t size;
        std::vector<uint8_t> bytesBehind;
        std::string nextId;
        size_t walked;        // chunks of stream 0
        size_t walkedOf2;     // chunks of stream 2
    };
    const Case cases[] = {
        {"size 0", 0, {}, kIds[0], 2, 0},
        {"size 8", 8, {}, kIds[0], 2, 0},
        {"size 15", 15, {}, kIds[0], 2, 0},
        {"size -16", -16, std::vector<uint8_t>(16, 0), kIds[0], 2, 0},
        {"size 2^40", int64_t(1) << 40, std::vector<uint8_t>(16, 0), kIds[0], 2, 0},
        {"largest size", INT64_MAX, std::vector<uint8_t>(16, 0), kIds[0], 2, 0},
        {"a chunk running past the end of the file", 16 + 100, std::vector<uint8_t>(50, 0), kIds[0], 2, 0},
        {"a known id that heads no chunk", 0, fakeHead, kIds[0], 2, 0},
        {"a stream of the file that had no chunk before", 0, {}, kIds[2], 1, 1},
        {"in upper case", 0, {}, "ELEC0001", 2, 0},
        {"only an id of no stream and never seen", 0, {}, "mean0001", 1, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KvdBuilder builder = InterleavedFile({{0, 0, 100}, {1, 0, 100}});
        builder.AddRawChunk(kIds[1], c.size, T0 + 100, T0 + 200, c.bytesBehind);
        builder.AddChunk(c.nextId, T0 + 100, T0 + 200, {});
        KvdTestFile file;
        KvdLayout layout;
        ASSERT_EQ(OpenBuilt(builder, dir, file, &layout), 0);
        const auto walked = Walk(*file.Stream(0));
        ASSERT_EQ(walked.size(), c.walked);
        EXPECT_EQ(walked.back(), std::make_pair(uint64_t(c.walked == 2 ? 100 : 0), uint64_t(c.walked == 2 ? 200 : 100)));
        EXPECT_EQ(Walk(*file.Stream(1)).size(), 1u);
        EXPECT_EQ(Walk(*file.Stream(2)).size(), c.walkedOf2);
        EXPECT_TRUE(file.chain.Complete());
        const auto& lost = file.chain.LostSpans();
        ASSERT_EQ(lost.size(), 1u);
        EXPECT_EQ(lost[0].from, layout.chunkAt[2]);
        EXPECT_EQ(lost[0].headStop, T0 + 200);
        const bool resumed = c.walked == 2 || c.walkedOf2 == 1;
        EXPECT_EQ(lost[0].to, resumed ? layout.chunkAt[3] : file.reader.Length());
    }
}

// The first chunk of the file damaged: the chain goes on at the next head of one of the file's
// streams, though none was read before it.
TEST(CKVTAStream, ADamagedFirstHeadIsSkipped)
{
    KvdBuilder builder = InterleavedFile({});
    builder.AddRawChunk(kIds[0], 0, T0, T0 + 100, std::vector<uint8_t>(16, 7));
    builder.AddChunk(kIds[1], T0, T0 + 100, {}).AddChunk(kIds[0], T0 + 100, T0 + 200, {});
    TempDir dir;
    KvdTestFile file;
    ASSERT_EQ(OpenBuilt(builder, dir, file), 0);
    EXPECT_EQ(Walk(*file.Stream(0)), (std::vector<std::pair<uint64_t, uint64_t>> {{100, 200}}));
    EXPECT_EQ(Walk(*file.Stream(1)).size(), 1u);
    ASSERT_EQ(file.chain.LostSpans().size(), 1u);
    EXPECT_EQ(file.chain.LostSpans()[0].from, file.dataStart);
    EXPECT_TRUE(file.Stream(1)->GetHoles().empty());
}

TEST(CKVTAStream, TimeLookupsMatchALinearWalk)
{
    // Stream 0 with gaps and one non-monotonic chunk; stream 1 contiguous.
    const std::vector<Span> chunks = {
        {0, 0, 100},   {1, 0, 150},   {0, 100, 200}, {0, 300, 400}, {1, 150, 300},
        {0, 400, 500}, {0, 350, 450}, {1, 300, 450}, {0, 600, 700},
    };
    TempDir dir;
    KvdTestFile file;
    ASSERT_EQ(OpenBuilt(InterleavedFile(chunks), dir, file), 0);
    for (int s = 0; s < 2; ++s) {
        CKVTAStream& stream = *file.Stream(s);
        const auto spans = Walk(stream);
        auto expectedFor = [&](uint64_t t) -> int {
            for (size_t i = 0; i < spans.size(); ++i)
                if (spans[i].second > t)
                    return static_cast<int>(i);
            return -1;
        };
        auto indexOf = [&](const CKVTADataBlock* b) -> int {
            for (size_t i = 0; i < spans.size(); ++i)
                if (b && spans[i].first == b->GetStartTime() - T0 && spans[i].second == b->GetStopTime() - T0)
                    return static_cast<int>(i);
            return -1;
        };
        // The current-block walk, literally: restart at the first block when t lies before the
        // current one, else go forward until a block stops after t.
        int current = -1;
        auto findOracle = [&](uint64_t t) -> bool {
            if (spans.empty())
                return false;
            if (current < 0 || t < spans[static_cast<size_t>(current)].first)
                current = 0;
            for (size_t i = static_cast<size_t>(current); i < spans.size(); ++i)
                if (spans[i].second > t) {
                    current = static_cast<int>(i);
                    return true;
                }
            return false;
        };
        // Forward, backward and jumping, including gaps and exact boundaries.
        for (uint64_t t : {0, 99, 100, 150, 250, 300, 449, 450, 500, 550, 699, 700, 5, 360, 0, 800, 120, 420}) {
            SCOPED_TRACE(testing::Message() << "stream " << s << " t " << t);
            const CKVTATimeStamp stamp(T0 + t, T0);
            const auto block = stream.GetChunk(stamp);
            EXPECT_EQ(block ? indexOf(block.get()) : -1, expectedFor(t));
            EXPECT_EQ(stream.FindChunkForTime(stamp), findOracle(t));
            EXPECT_EQ(indexOf(stream.GetCurrentBlock()), current);
        }
    }
}

TEST(CKVTAStream, FirstBlockOfOldFilesMovesTheStartTime)
{
    struct Case
    {
        uint16_t version;
        uint64_t expectedStart;
    };
    for (const Case& c : {Case {2, T0 - 500}, Case {3, T0}}) {
        SCOPED_TRACE(c.version);
        // The first chunk starts before the recorded start, the next ones at and after it (a chunk
        // before the start is damage from version 3 on).
        KvdBuilder shifted(c.version);
        shifted.Set<uint64_t>(Kvd::FileHeader::kRecordingTime, T0).Set<uint64_t>(Kvd::FileHeader::kStartTime, T0);
        shifted.AddStream(Stream("analog", "Electrode Raw Data", kIds[0], 1));
        for (const char* id : {"00001raw", kIds[0]})
            shifted.AddChunk(id, T0 - 500, T0, {}).AddChunk(id, T0, T0 + 100, {}).AddChunk(id, T0 + 100, T0 + 200, {});
        TempDir dir;
        KvdTestFile file;
        ASSERT_EQ(OpenBuilt(shifted, dir, file), 0);
        auto first = file.Stream(0)->GetFirstChunk();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(file.GetStartTime(), c.expectedStart);
        EXPECT_EQ(first->GetStartStamp().GetStart(), c.expectedStart);
        EXPECT_EQ(file.stopStamp.GetStart(), c.expectedStart);
        auto second = file.Stream(0)->GetNextChunk(*first);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(file.GetStartTime(), c.expectedStart);  // only the first block counts
    }
}

// Found by fuzzing: behind a damaged head the search for the next sound one looked for every
// known id again from each place that turned out not to be a head, so a run of bytes that spell
// a known id (the zeros behind a chunk of id 0) took time of the square of its length.
TEST(CKVTAStream, FuzzRegressionTheSearchBehindADamagedHeadTakesEachByteOnce)
{
    KvdBuilder builder = InterleavedFile({{0, 0, 100}});
    builder.AddChunk(std::string(8, '\0'), T0 + 100, T0 + 200, {});
    builder.AddRawChunk(kIds[1], 0, T0 + 200, T0 + 300, std::vector<uint8_t>(64 * 1024, 0));
    builder.AddChunk(kIds[0], T0 + 300, T0 + 400, {});
    TempDir dir;
    KvdTestFile file;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(OpenBuilt(builder, dir, file), 0);
    const auto walked = Walk(*file.Stream(0));
    // Milliseconds once each byte is taken once; half a minute before.
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 10000);
    ASSERT_EQ(walked.size(), 2u);
    EXPECT_EQ(walked.back(), std::make_pair(uint64_t(300), uint64_t(400)));
}
