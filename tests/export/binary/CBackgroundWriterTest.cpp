#include "export/binary/CBackgroundWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <numeric>

namespace {

std::vector<uint16_t> Block(uint16_t first, size_t count)
{
    std::vector<uint16_t> block(count);
    std::iota(block.begin(), block.end(), first);
    return block;
}

} // namespace

// Blocks arrive whole and in order, the caller gets a buffer back for the next one, and Finish
// waits for the last.
TEST(CBackgroundWriter, WritesEveryBlockInOrder)
{
    std::vector<uint16_t> written;
    CBackgroundWriter writer([&](const uint16_t* values, size_t count) {
        written.insert(written.end(), values, values + count);
        return true;
    });
    std::vector<uint16_t> expected;
    std::vector<uint16_t> block;
    for (uint16_t b = 0; b < 50; ++b) {
        block = Block(static_cast<uint16_t>(1000 * b), 1 + b * 37u);
        expected.insert(expected.end(), block.begin(), block.end());
        ASSERT_TRUE(writer.Submit(block));
    }
    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ(written, expected);
}

// A failed write fails a later hand-over, which then takes nothing, and Finish after it;
// after Finish the writer starts afresh (the next output file).
TEST(CBackgroundWriter, AFailedWriteFailsTheNextHandOver)
{
    std::atomic<int> calls {0};
    std::atomic<bool> fail {true};
    // Room for one block of 10: the second waits for the first to be written.
    CBackgroundWriter writer([&](const uint16_t*, size_t) {
        ++calls;
        return !fail.load();
    }, 10);
    std::vector<uint16_t> block = Block(0, 10);
    EXPECT_TRUE(writer.Submit(block));
    block = Block(10, 10);
    EXPECT_FALSE(writer.Submit(block));
    EXPECT_EQ(block, Block(10, 10));   // not taken
    EXPECT_FALSE(writer.Finish());
    EXPECT_EQ(calls.load(), 1);

    fail = false;
    EXPECT_TRUE(writer.Submit(block));
    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ(calls.load(), 2);
}

// Blocks queued behind a failed one are never written: the file ends where writing failed.
TEST(CBackgroundWriter, NothingAfterAFailedBlockIsWritten)
{
    std::mutex gate;
    std::unique_lock<std::mutex> held(gate);
    std::vector<size_t> written;
    CBackgroundWriter writer([&](const uint16_t*, size_t count) {
        // The first write waits until the later blocks are queued, then fails.
        std::lock_guard<std::mutex> pass(gate);
        written.push_back(count);
        return false;
    });
    for (size_t count : {1u, 2u, 3u}) {
        std::vector<uint16_t> block(count);
        EXPECT_TRUE(writer.Submit(block));
    }
    held.unlock();
    EXPECT_FALSE(writer.Finish());
    EXPECT_EQ(written, std::vector<size_t>({1}));
}

// The destructor waits for the block being written; a writer never used starts no thread.
TEST(CBackgroundWriter, DestructionWaitsForTheLastBlock)
{
    size_t written = 0;
    {
        CBackgroundWriter writer([&](const uint16_t*, size_t count) {
            written += count;
            return true;
        });
        std::vector<uint16_t> block = Block(0, 1000);
        EXPECT_TRUE(writer.Submit(block));
    }
    EXPECT_EQ(written, 1000u);
    CBackgroundWriter unused([](const uint16_t*, size_t) { return true; });
    EXPECT_TRUE(unused.Finish());
}
