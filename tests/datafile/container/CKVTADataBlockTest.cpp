#include "datafile/container/CKVTADataBlock.h"

#include <gtest/gtest.h>

#include "datafile/container/CKVTAChunkChain.h"
#include "datafile/events/CKVTAEvent.h"
#include "datafile/events/CKVTAEvtRaw.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdTestFile.h"
#include "tests/support/TempDir.h"

namespace {

constexpr uint64_t T0 = kKvdDefaultStart;

KvdStreamPlan Stream(const std::string& type, const std::string& id, int channels)
{
    KvdStreamPlan plan;
    plan.bufferType = type;
    plan.name = type;
    plan.id = id;
    plan.channels.resize(static_cast<size_t>(channels));
    return plan;
}

} // namespace

TEST(CKVTADataBlock, FileWalkVisitsEveryChunkAndStopsAtTheIndex)
{
    KvdBuilder builder(11);
    builder.AddStream(Stream("digital", "digi0001", 1)).AddStream(Stream("spikes", "spks0001", 1));
    builder.AddChunk("digi0001", T0, T0 + 10, KvdFrames(5, 1));
    builder.AddChunk("spks0001", T0, T0 + 10, {});
    builder.AddChunk("other___", T0 + 10, T0 + 20, {1, 2});
    builder.AddChunk("digi0001", T0 + 10, T0 + 20, KvdFrames(5, 1, 5));
    KvdIndexPlan index;
    index.entries = {{T0, 0}};
    builder.AddIndex(index);
    TempDir dir;
    KvdLayout layout;
    ASSERT_TRUE(builder.WriteTo(dir.File("f.kvd"), &layout));
    // The index entry points at the first chunk.
    std::vector<uint8_t> bytes = ReadFileBytes(dir.File("f.kvd"));
    PatchLE<int64_t>(bytes, layout.indexAt + 319 + 16 + 8, static_cast<int64_t>(layout.chunkAt[0]));
    ASSERT_TRUE(WriteFileBytes(dir.File("f.kvd"), bytes));
    KvdTestFile file;
    ASSERT_EQ(file.Open(dir.File("f.kvd")), 0);
    ASSERT_FALSE(file.storedIndexRejected);

    std::vector<size_t> offsets;
    auto block = KvtGetFirstChunk(file);
    while (block) {
        offsets.push_back(block->GetChunkOffset());
        EXPECT_EQ(block->GetStream(), nullptr);
        auto next = KvtGetNextChunk(file, *block);
        if (!next)
            break;
        block = std::move(next);
    }
    EXPECT_EQ(offsets, layout.chunkAt);
    ASSERT_NE(block, nullptr);  // the last block stays with the caller
    EXPECT_EQ(block->GetChunkId(), "digi0001");

    // Clone loads the payload; Read fills a buffer of the payload size.
    const auto copy = block->Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetBuffer(), KvdFrames(5, 1, 5));
    EXPECT_EQ(copy->GetStartStamp().GetTime(), T0 + 10);
    EXPECT_EQ(copy->GetStartStamp().GetStart(), T0);
    std::vector<uint8_t> buffer(10);
    EXPECT_EQ(block->Read(buffer.data()), 10);
}

TEST(CKVTADataBlock, PayloadsOutsideTheFileAreNeverAllocatedOrRead)
{
    KvdBuilder builder(11);
    builder.AddStream(Stream("spikes", "spks0001", 1)).AddChunk("spks0001", T0, T0 + 1, {1, 2, 3, 4});
    TempDir dir;
    ASSERT_TRUE(builder.WriteTo(dir.File("f.kvd")));
    KvdTestFile file;
    ASSERT_EQ(file.Open(dir.File("f.kvd")), 0);
    for (int64_t payload : {int64_t(5), int64_t(1) << 40, INT64_MAX - 64}) {
        SCOPED_TRACE(payload);
        KvtChunkInfo chunk;
        chunk.offset = file.dataStart;
        chunk.payloadSize = payload;
        CKVTADataBlock block(chunk, &file.reader, T0);
        block.SetStream(file.Stream(0));
        std::vector<uint8_t> out;
        EXPECT_FALSE(block.ReadPayload(out));
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(block.Clone(), nullptr);
        auto owned = std::make_unique<CKVTADataBlock>(block);
        EXPECT_EQ(KvtCreateEvent(owned), nullptr);
        EXPECT_NE(owned, nullptr);
    }
}

TEST(CKVTADataBlock, FactoryPicksTheCursorByBufferType)
{
    struct Case
    {
        const char* type;
        bool withPayload;
        bool expectCursor;
        bool raw;
    };
    const Case cases[] = {
        {"digital", true, true, true}, {"filter", true, true, true},  {"spikes", false, false, false},
        {"unknown", true, false, false}, {"params", true, false, false},  // no settings, no records
        {"trigger", true, true, false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        KvdBuilder builder(11);
        builder.AddStream(Stream(c.type, "strm0001", 2));
        builder.AddChunk("strm0001", T0, T0 + 1, c.withPayload ? std::vector<uint8_t>(44, 0) : std::vector<uint8_t>());
        ASSERT_TRUE(builder.WriteTo(dir.File("f.kvd")));
        KvdTestFile file;
        ASSERT_EQ(file.Open(dir.File("f.kvd")), 0);
        auto block = file.Stream(0)->GetFirstChunk();
        ASSERT_NE(block, nullptr);
        auto cursor = KvtCreateEvent(block);
        EXPECT_EQ(cursor != nullptr, c.expectCursor);
        EXPECT_EQ(block == nullptr, c.expectCursor);  // the block moved into the cursor, or stayed
        if (cursor) {
            EXPECT_EQ(dynamic_cast<CKVTAEvtRaw*>(cursor.get()) != nullptr, c.raw);
        }
    }
}
