// The console program on damaged recordings: bounded outputs, the missing time named, and an
// exit status that tells.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "datafile/container/KvdFormat.h"
#include "tests/app/console/ConsoleRun.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdRecording.h"

namespace {

// 3 s of 8 electrodes and a digital stream at 10 kHz in 100 ms chunks, with a stored index.
KvdRecordingPlan ThreeSeconds()
{
    KvdRecordingPlan plan;
    plan.chunks = 30;
    plan.storedIndex = true;
    plan.streams[0].channels = {"1", "2", "3", "4", "5", "6", "7", "8"};
    plan.streams.push_back(KvdDigitalStreamPlan());
    return plan;
}

// The recording with `patch` applied to its bytes.
void WriteDamaged(const std::string& path, const std::function<void(std::vector<uint8_t>&, const KvdLayout&)>& patch)
{
    KvdLayout layout;
    ASSERT_TRUE(WriteKvdRecording(ThreeSeconds(), path, &layout));
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    patch(bytes, layout);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
}

// Chunk 21 of the file is the electrode chunk from 1.0 s to 1.1 s.
void ZeroTheSizeOfChunk21(std::vector<uint8_t>& bytes, const KvdLayout& layout)
{
    PatchLE<int64_t>(bytes, layout.chunkAt[20] + Kvd::DataChunk::kSize, 0);
}

void ZeroTheHeadOfChunk21(std::vector<uint8_t>& bytes, const KvdLayout& layout)
{
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(layout.chunkAt[20]), Kvd::DataChunk::kHeaderBytes, 0);
}

constexpr size_t kSecondOfElectrodes = 10000 * 8 * 2;

} // namespace

// A size field its times can mend is read as it was written; a head that nothing vouches for
// costs its own chunk, named, and fails the run.
TEST(DamagedRecordingConsole, AnUnreadableChunkIsFilledNamedAndFailsTheRun)
{
    TempDir dir;
    ASSERT_TRUE(WriteKvdRecording(ThreeSeconds(), dir.File("good.kvd")));
    ASSERT_EQ(RunConsoleMain({"-bin", "-i", dir.File("good.kvd"), "-o", dir.File("good.raw"), "-s", "El:all"}).status, 0);
    const std::string mended = dir.File("mended.kvd");
    WriteDamaged(mended, ZeroTheSizeOfChunk21);
    const ConsoleRun size = RunConsoleMain({"-bin", "-i", mended, "-o", dir.File("mended.raw"), "-s", "El:all"});
    EXPECT_EQ(size.status, 0) << size.out;
    EXPECT_TRUE(ReadFileBytes(dir.File("mended.raw")) == ReadFileBytes(dir.File("good.raw")));

    const std::string in = dir.File("rec.kvd");
    WriteDamaged(in, ZeroTheHeadOfChunk21);
    const struct
    {
        const char* option;
        const char* out;
        const char* lacks;
    } cases[] = {{"-bin", "rec.raw", "filled with 0 V"}, {"-ascii", "rec.txt", "not written"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        const ConsoleRun run = RunConsoleMain({c.option, "-i", in, "-o", dir.File(c.out), "-s", "El:all"});
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_FALSE(run.Has("Error reading raw data stream")) << run.out;
        EXPECT_TRUE(run.EndsWith(std::string("Data missing from 1.000 s to 1.100 s in Electrode Raw Data: ") + c.lacks
                                 + ".\n")) << run.out;
    }
    EXPECT_EQ(ReadFileBytes(dir.File("rec.raw")).size(), 3 * kSecondOfElectrodes);
}

// A stored sweep stop before the start or far past the data: the export holds the data, no more.
TEST(DamagedRecordingConsole, ADamagedStopTimeExportsTheData)
{
    TempDir dir;
    ASSERT_TRUE(WriteKvdRecording(ThreeSeconds(), dir.File("good.kvd")));
    ASSERT_EQ(RunConsoleMain({"-bin", "-i", dir.File("good.kvd"), "-o", dir.File("good.raw"), "-s", "El:all"}).status, 0);
    const std::vector<uint8_t> good = ReadFileBytes(dir.File("good.raw"));
    ASSERT_EQ(good.size(), 3 * kSecondOfElectrodes);
    for (uint64_t stop : {uint64_t(1), kKvdDefaultStart ^ (uint64_t(1) << 39)}) {
        SCOPED_TRACE(stop);
        WriteDamaged(dir.File("bad.kvd"), [stop](std::vector<uint8_t>& bytes, const KvdLayout& layout) {
            const char id[] = "IDXSWEEP";
            const auto at = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(layout.indexAt), bytes.end(), id, id + 8);
            ASSERT_NE(at, bytes.end());
            PatchLE<uint64_t>(bytes, static_cast<size_t>(at - bytes.begin()) + 16 + 8, stop);
        });
        const ConsoleRun run = RunConsoleMain({"-bin", "-i", dir.File("bad.kvd"), "-o", dir.File("bad.raw"), "-s", "El:all"});
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_FALSE(run.Has("Error")) << run.out;
        EXPECT_TRUE(ReadFileBytes(dir.File("bad.raw")) == good);
    }
}
