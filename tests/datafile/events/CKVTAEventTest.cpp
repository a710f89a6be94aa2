#include "datafile/events/CKVTAEvent.h"

#include <gtest/gtest.h>

#include "datafile/events/CKVTAEvtAverage.h"
#include "datafile/events/CKVTAEvtBurstParameter.h"
#include "datafile/events/CKVTAEvtRaw.h"
#include "datafile/events/CKVTAEvtSpike.h"
#include "datafile/events/CKVTAEvtSpikeParameter.h"
#include "datafile/events/CKVTAEvtTrigger.h"
#include "platform/CByteWriter.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdTestFile.h"
#include "tests/support/TempDir.h"

namespace {

constexpr uint64_t T0 = kKvdDefaultStart;

// One spike or average record of stream header version v.
std::vector<uint8_t> Cutout(bool spike, int v, uint64_t time, uint16_t channel, uint32_t pre, uint16_t word3,
                            std::vector<uint16_t> samples, int32_t count = INT32_MIN)
{
    std::vector<uint8_t> bytes;
    CByteWriter out(bytes);
    out.Put<uint64_t>(time).Put<uint16_t>(channel);
    if (spike && v >= 8)
        out.Put<uint32_t>(pre);
    else
        out.Put<uint16_t>(static_cast<uint16_t>(pre));
    if (v >= 5)
        out.Put<uint16_t>(word3);
    if (spike && v >= 6)
        out.Put<uint16_t>(0xFFFF);
    out.Put<int32_t>(count != INT32_MIN ? count : static_cast<int32_t>(samples.size()));
    for (uint16_t s : samples)
        out.Put<uint16_t>(s);
    return bytes;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct OpenFile
{
    TempDir dir;
    KvdTestFile file;
};

// A file with one stream of `type` and header version v, one chunk per payload.
std::unique_ptr<OpenFile> Open(const std::string& type, int v, const std::vector<std::vector<uint8_t>>& payloads,
                               int channels = 1, int32_t rate = 25000000, uint64_t span = 1000)
{
    KvdStreamPlan plan;
    plan.bufferType = type;
    plan.headerVersion = static_cast<uint16_t>(v);
    plan.id = "strm0001";
    plan.sampleRate = rate;
    plan.channels.resize(static_cast<size_t>(channels));
    for (int c = 0; c < channels; ++c)
        plan.channels[static_cast<size_t>(c)].id = c;
    KvdBuilder builder(11);
    builder.AddStream(plan);
    uint64_t t = T0;
    for (const auto& payload : payloads) {
        builder.AddChunk("strm0001", t, t + span, payload);
        t += span;
    }
    auto open = std::make_unique<OpenFile>();
    EXPECT_TRUE(builder.WriteTo(open->dir.File("e.kvd")));
    EXPECT_EQ(open->file.Open(open->dir.File("e.kvd")), 0);
    return open;
}

std::vector<uint64_t> Times(CKVTAEvent& cursor)
{
    std::vector<uint64_t> times {cursor.GetTimeStamp().GetTime() - T0};
    while (cursor.Next())
        times.push_back(cursor.GetTimeStamp().GetTime() - T0);
    return times;
}

} // namespace

TEST(CKVTAEvent, SpikeAndAverageLayoutsFollowTheStreamVersion)
{
    struct Case
    {
        bool spike;
        int v;
        size_t step;  // record size with 3 samples
    };
    const Case cases[] = {{true, 4, 22}, {true, 5, 24}, {true, 6, 26}, {true, 7, 26}, {true, 8, 28},
                          {false, 4, 22}, {false, 5, 24}, {false, 9, 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.spike ? "spikes v" : "average v") << c.v);
        const auto payload = Join({Cutout(c.spike, c.v, T0 + 5, 7, 70000, 9, {1, 2, 3}),
                                   Cutout(c.spike, c.v, T0 + 6, 8, 12, 4, {4, 5, 6})});
        auto open = Open(c.spike ? "spikes" : "average", c.v, {payload});
        auto cursor = open->file.Stream(0)->GetFirstEvent();
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(cursor->GetTimeStamp().GetTime(), T0 + 5);
        EXPECT_EQ(cursor->GetTimeStamp().GetStart(), T0);
        EXPECT_EQ(cursor->GetDataSize(), 6);
        EXPECT_TRUE(cursor->IsValid());
        uint16_t samples[4] = {0, 0, 0, 0};
        if (c.spike) {
            auto* spike = dynamic_cast<CKVTAEvtSpike*>(cursor.get());
            ASSERT_NE(spike, nullptr);
            EXPECT_EQ(spike->GetChannelId(), 7);
            EXPECT_EQ(spike->GetPreTrigger(), c.v >= 8 ? 70000 : 70000 & 0xFFFF);
            EXPECT_EQ(spike->GetWord3(), c.v >= 5 ? 9 : 0);
            EXPECT_EQ(spike->GetSampleCount(), 3);
            EXPECT_EQ(spike->GetSamples(samples, 2), 2);  // never more than asked for
            EXPECT_EQ(samples[1], 2);
            EXPECT_EQ(samples[2], 0);
        } else {
            auto* average = dynamic_cast<CKVTAEvtAverage*>(cursor.get());
            ASSERT_NE(average, nullptr);
            EXPECT_EQ(average->GetChannelId(), 0);
            EXPECT_EQ(average->GetSamples(samples, 4), 3);
            EXPECT_EQ(samples[2], 3);
        }
        ASSERT_TRUE(cursor->Next());
        EXPECT_EQ(cursor->GetRecordOffset(), c.step);
        EXPECT_EQ(cursor->GetTimeStamp().GetTime(), T0 + 6);
        EXPECT_FALSE(cursor->Next());
        EXPECT_FALSE(cursor->Next());
    }
}

TEST(CKVTAEvent, FixedSizeRecordsFollowTheStreamVersion)
{
    auto record = [](uint64_t time, uint16_t first, size_t size) {
        std::vector<uint8_t> bytes;
        CByteWriter out(bytes);
        out.Put<uint64_t>(time).Put<uint16_t>(first);
        for (size_t i = 10; i < size; ++i)
            out.Put<uint8_t>(static_cast<uint8_t>(i));
        return bytes;
    };
    struct Case
    {
        const char* type;
        int v;
        size_t size;
        int dataSize;
    };
    const Case cases[] = {{"trigger", 4, 10, 2},   {"trigger", 5, 14, 6},   {"trigger", 6, 22, 14},
                          {"spkparam", 1, 26, 12}, {"spkparam", 2, 34, 20}, {"bstparam", 3, 38, 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " v" << c.v);
        auto open = Open(c.type, c.v, {Join({record(T0 + 1, 3, c.size), record(T0 + 2, 4, c.size)})});
        auto cursor = open->file.Stream(0)->GetFirstEvent();
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(cursor->GetDataSize(), c.dataSize);
        ASSERT_TRUE(cursor->Next());
        EXPECT_EQ(cursor->GetRecordOffset(), c.size);
        EXPECT_FALSE(cursor->Next());
    }

    // Values of the records as stored.
    std::vector<uint8_t> trigger;
    CByteWriter(trigger).Put<uint64_t>(T0).Put<uint16_t>(5).Put<uint32_t>(11).Put<uint32_t>(22).Put<uint32_t>(33);
    for (int v : {4, 5, 6}) {
        SCOPED_TRACE(v);
        std::vector<uint8_t> cut(trigger.begin(), trigger.begin() + (v >= 6 ? 22 : v == 5 ? 14 : 10));
        auto open = Open("trigger", v, {cut});
        auto cursor = open->file.Stream(0)->GetFirstEvent();
        auto* t = dynamic_cast<CKVTAEvtTrigger*>(cursor.get());
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->GetId(), 5);
        EXPECT_EQ(t->GetValue1(), v >= 5 ? 11u : 0u);
        EXPECT_EQ(t->GetValue2(), v >= 6 ? 22u : 0u);
        EXPECT_EQ(t->GetValue3(), v >= 6 ? 33u : 0u);
        EXPECT_EQ(t->GetChannelId(), 0);
        t->SetChannelId(9);  // triggers have no channel id: nothing changes
        EXPECT_EQ(t->GetId(), 5);
    }
    std::vector<uint8_t> spp;
    CByteWriter(spp).Put<uint64_t>(T0).Put<uint16_t>(6).Put<uint32_t>(0).Put<uint64_t>(1000).Put<float>(2.5f).Put<uint64_t>(T0 + 4000);
    for (int v : {1, 2}) {
        SCOPED_TRACE(v);
        auto open = Open("spkparam", v, {std::vector<uint8_t>(spp.begin(), spp.begin() + (v >= 2 ? 34 : 26))});
        auto cursor = open->file.Stream(0)->GetFirstEvent();
        auto* p = dynamic_cast<CKVTAEvtSpikeParameter*>(cursor.get());
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->GetChannelId(), 6);
        EXPECT_EQ(p->GetValue(0), 1000.0f);
        EXPECT_EQ(p->GetValue(1), 2.5f);
        EXPECT_EQ(p->GetValue(2), v >= 2 ? 4000.0f : 0.0f);
        EXPECT_EQ(p->GetValue(3), 0.0f);
    }
    std::vector<uint8_t> bsp;
    CByteWriter(bsp).Put<uint64_t>(T0).Put<uint16_t>(6).Put<uint32_t>(0).Put<int64_t>(-7).Put<uint64_t>(300).Put<int32_t>(-4).Put<float>(1.5f);
    auto open = Open("bstparam", 1, {bsp});
    auto cursor = open->file.Stream(0)->GetFirstEvent();
    auto* b = dynamic_cast<CKVTAEvtBurstParameter*>(cursor.get());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetTime1(), -7);
    EXPECT_EQ(b->GetValue(0), 300.0f);
    EXPECT_EQ(b->GetValue(1), 1.5f);
    EXPECT_EQ(b->GetValue(2), -4.0f);
}

TEST(CKVTAEvent, NextCrossesBlocksAndDropsBadRecords)
{
    auto spike = [](uint64_t t, int32_t count = INT32_MIN) { return Cutout(true, 8, T0 + t, 1, 0, 0, {1, 2}, count); };
    struct Case
    {
        const char* name;
        std::vector<std::vector<uint8_t>> blocks;
        std::vector<uint64_t> times;
    };
    const Case cases[] = {
        {"plain", {Join({spike(1), spike(2)}), {}, spike(3)}, {1, 2, 3}},
        {"truncated last record", {Join({spike(1), spike(2)}), spike(3)}, {1, 3}},
        {"count past the end", {Join({spike(1), spike(2, 1000), spike(9)}), spike(3)}, {1, 3}},
        {"negative count", {Join({spike(1), spike(2, -2), spike(9)}), spike(3)}, {1, 3}},
        {"huge count", {Join({spike(1), spike(2, INT32_MAX)}), spike(3)}, {1, 3}},
        {"bad first block", {spike(1, -5), spike(3)}, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<uint8_t>> blocks = c.blocks;
        if (std::string(c.name) == "truncated last record")
            blocks[0].resize(blocks[0].size() - 3);
        auto open = Open("spikes", 8, blocks);
        auto cursor = open->file.Stream(0)->GetFirstEvent();
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(Times(*cursor), c.times);
        EXPECT_FALSE(cursor->Next());  // stays false
        EXPECT_EQ(cursor->GetTimeStamp().GetTime(), T0 + c.times.back());
    }
}

// Blocks without a whole record at the end of the stream: the cursor must keep its last record,
// not look at a later block's bytes with the old record's offset.
TEST(CKVTAEvent, LastRecordStaysReadableAfterTrailingBlocksWithoutRecords)
{
    for (bool spike : {true, false}) {
        SCOPED_TRACE(spike ? "spikes" : "average");
        const auto record = Join({Cutout(spike, 8, T0 + 1, 1, 0, 0, {5, 6, 7, 8}),
                                  Cutout(spike, 8, T0 + 2, 1, 0, 0, {10, 11, 12, 13})});
        auto open = Open(spike ? "spikes" : "average", 8, {record, {1, 2, 3}, {4}});
        auto cursor = open->file.Stream(0)->GetFirstEvent();
        ASSERT_NE(cursor, nullptr);
        ASSERT_TRUE(cursor->Next());
        EXPECT_FALSE(cursor->Next());
        EXPECT_FALSE(cursor->AdvanceTo(T0 + 100));
        EXPECT_EQ(cursor->GetTimeStamp().GetTime(), T0 + 2);
        EXPECT_EQ(cursor->GetRecordOffset(), record.size() / 2);
        uint16_t samples[4] = {};
        const int copied = spike ? dynamic_cast<CKVTAEvtSpike&>(*cursor).GetSamples(samples, 4)
                                 : dynamic_cast<CKVTAEvtAverage&>(*cursor).GetSamples(samples, 4);
        EXPECT_EQ(copied, 4);
        EXPECT_EQ(samples[3], 13);
    }
}

TEST(CKVTAEvent, RawFramesAdvanceByWholeMicroseconds)
{
    struct Case
    {
        int32_t rate;
        int channels;
        uint64_t step;
    };
    for (const Case& c : {Case {25000000, 2, 40000}, Case {3000000, 1, 333000}, Case {0, 1, 0}}) {
        SCOPED_TRACE(c.rate);
        auto open = Open("analog", 8, {KvdFrames(3, c.channels), KvdFrames(2, c.channels, 3)}, c.channels, c.rate);
        auto cursor = open->file.Stream(0)->GetFirstEvent();
        ASSERT_NE(cursor, nullptr);
        EXPECT_FALSE(cursor->IsValid());
        EXPECT_EQ(cursor->GetDataSize(), 2 * c.channels);
        const std::vector<uint64_t> expected = {0, c.step, 2 * c.step, 1000, 1000 + c.step};
        EXPECT_EQ(Times(*cursor), expected);
        const uint64_t before = cursor->GetTimeStamp().GetTime();
        cursor->ShiftTime(5);  // frames carry no time
        EXPECT_EQ(cursor->GetTimeStamp().GetTime(), before);
    }
    auto none = Open("analog", 8, {KvdFrames(3, 1)}, 0);
    EXPECT_EQ(none->file.Stream(0)->GetFirstEvent(), nullptr);  // no channels, no frames
}

// A target near the largest time, far from a block that starts near 0, ends at the last frame
// (it once rounded the distance up to a wrapped 0 and never moved).
TEST(CKVTAEvent, RawFramesAdvanceToTheLargestTimeEnds)
{
    KvdStreamPlan plan;
    plan.id = "strm0001";
    plan.sampleRate = 1000;   // 1 Hz: a step of a second
    plan.channels.resize(1);
    TempDir dir;
    ASSERT_TRUE(KvdBuilder(11).Set<uint64_t>(Kvd::FileHeader::kStartTime, 0).AddStream(plan)
                    .AddChunk("strm0001", 0, 3000000000, KvdFrames(3, 1))
                    .WriteTo(dir.File("e.kvd")));
    KvdTestFile file;
    ASSERT_EQ(file.Open(dir.File("e.kvd")), 0);
    for (uint64_t t : {UINT64_MAX, UINT64_MAX - 999999999}) {
        auto cursor = file.Stream(0)->GetFirstEvent();
        ASSERT_NE(cursor, nullptr);
        EXPECT_FALSE(cursor->AdvanceTo(t));
        EXPECT_EQ(cursor->GetRecordOffset(), 4u);
    }
}

TEST(CKVTAEvent, ChunkEventStartsAtTheFirstRecordAtOrAfterTheTime)
{
    auto open = Open("spikes", 8,
                     {Join({Cutout(true, 8, T0 + 100, 1, 0, 0, {}), Cutout(true, 8, T0 + 900, 2, 0, 0, {})}),
                      Cutout(true, 8, T0 + 1500, 1, 0, 0, {}), Cutout(true, 8, T0 + 2500, 40, 0, 0, {})});
    CKVTAStream& stream = *open->file.Stream(0);
    const std::pair<uint64_t, uint64_t> cases[] = {{0, 100}, {100, 100}, {101, 900}, {901, 1500}, {2000, 2500}, {2600, 2500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        auto cursor = stream.GetChunkEvent(CKVTATimeStamp(T0 + c.first, T0));
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(cursor->GetTimeStamp().GetTime(), T0 + c.second);
    }
    EXPECT_EQ(stream.GetChunkEvent(CKVTATimeStamp(T0 + 9000, T0)), nullptr);  // past the last block
    int counts[3] = {0, 0, 0};
    stream.CountEventsPerChannel(CKVTATimeStamp(T0, T0), CKVTATimeStamp(T0 + 3000, T0), counts, 3);
    EXPECT_EQ(counts[1], 2);
    EXPECT_EQ(counts[2], 1);  // channel 40 lies outside the array and is not counted

    // Raw cursors jump to the frame a frame-by-frame walk reaches.
    auto raw = Open("digital", 8, {KvdFrames(30, 2), KvdFrames(30, 2, 30)}, 2, 25000000, 1200000);
    for (uint64_t t : {0, 1, 40000, 40001, 1159999, 1160000, 1160001, 1200000, 2000000, 2399999}) {
        SCOPED_TRACE(t);
        auto jumped = raw->file.Stream(0)->GetChunkEvent(CKVTATimeStamp(T0 + t, T0));
        auto walked = raw->file.Stream(0)->GetFirstEvent();
        ASSERT_NE(jumped, nullptr);
        while (walked->GetTimeStamp().GetTime() < T0 + t && walked->Next()) {
        }
        EXPECT_EQ(jumped->GetTimeStamp().GetTime(), walked->GetTimeStamp().GetTime());
        EXPECT_EQ(jumped->GetRecordOffset(), walked->GetRecordOffset());
    }
}

TEST(CKVTAEvent, MergeHelpersRewriteEveryRecordOfACallersBuffer)
{
    auto open = Open("spikes", 8, {Join({Cutout(true, 8, T0 + 1, 3, 0, 0, {1}), Cutout(true, 8, T0 + 2, 4, 0, 0, {2})}),
                                   Cutout(true, 8, T0 + 9, 5, 0, 0, {})});
    auto block = open->file.Stream(0)->GetFirstChunk();
    const auto copy = block->Clone();
    ASSERT_NE(copy, nullptr);
    copy->SetStream(open->file.Stream(0));
    std::vector<uint8_t> buffer = copy->GetBuffer();
    auto cursor = KvtCreateEvent(*copy, buffer.data(), buffer.size());
    ASSERT_NE(cursor, nullptr);
    EXPECT_FALSE(cursor->OwnsBuffer());
    int records = 0;
    do {
        cursor->ShiftTime(1000);
        cursor->SetChannelId(static_cast<uint16_t>(cursor->GetChannelId() + 10));
        ++records;
    } while (cursor->Next());
    EXPECT_EQ(records, 2);  // a caller's buffer ends the walk at its end
    EXPECT_EQ(LoadLE<uint64_t>(buffer.data()), T0 + 1001);
    EXPECT_EQ(LoadLE<uint16_t>(buffer.data() + 8), 13);
    EXPECT_EQ(LoadLE<uint64_t>(buffer.data() + 24), T0 + 1002);
    EXPECT_EQ(LoadLE<uint16_t>(buffer.data() + 24 + 8), 14);
}
