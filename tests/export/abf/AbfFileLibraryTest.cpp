#include "export/abf/AbfFileLibrary.h"
#include "export/abf/AbfMessages.h"
#include "export/abf/CABF.h"
#include "export/abf/CrcEngine.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int32_t I32(const std::vector<uint8_t>& bytes, size_t offset)
{
    return offset + 4 <= bytes.size() ? LoadLE<int32_t>(bytes.data() + offset) : -1;
}

// Every finished file: a whole number of 512-byte blocks, and a CRC field that matches the
// file read back with that field zeroed.
void ExpectSoundFile(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    ASSERT_GE(bytes.size(), kAbfHeaderBytes);
    EXPECT_EQ(bytes.size() % 512, 0u);
    std::vector<uint8_t> zeroed = bytes;
    std::memset(zeroed.data() + AbfField::ulFileCRC, 0, 4);
    EXPECT_EQ(LoadLE<uint32_t>(bytes.data() + AbfField::ulFileCRC), CrcEngine::Crc32(zeroed.data(), zeroed.size()));

    const int fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    uint32_t reread = 0;
    EXPECT_TRUE(AbfComputeFileCrc(fd, &reread, nullptr));
    close(fd);
    EXPECT_EQ(reread, CrcEngine::Crc32(bytes.data(), bytes.size()));
}

std::vector<int16_t> Ramp(size_t count, int first)
{
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = static_cast<int16_t>(first + static_cast<int>(i));
    return samples;
}

} // namespace

TEST(AbfFileLibrary, HandleTableHolds64FilesAndRefusedOpensLeaveNothingBehind)
{
    TempDir dir;
    AbfFileHeader header;
    AbfInitFileHeader(header);
    std::vector<int> handles;
    for (int i = 0; i < kAbfMaxFiles; ++i) {
        int handle = -1;
        int error = 0;
        ASSERT_TRUE(AbfOpenForWrite(dir.File("f" + std::to_string(i) + ".abf").c_str(), &handle, 0, &header, &error))
            << error;
        EXPECT_EQ(handle, i);
        handles.push_back(handle);
    }
    int handle = 7;
    int error = 0;
    EXPECT_FALSE(AbfOpenForWrite(dir.File("65.abf").c_str(), &handle, 0, &header, &error));
    EXPECT_EQ(error, 1003);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(access(dir.File("65.abf").c_str(), F_OK), -1) << "a refused open creates no file";

    // A freed slot is the next one handed out.
    EXPECT_TRUE(AbfClose(handles[5], &error));
    EXPECT_TRUE(AbfOpenForWrite(dir.File("again.abf").c_str(), &handle, 0, &header, &error));
    EXPECT_EQ(handle, 5);
    AbfCloseAllFiles();

    for (int bad : {-1, 5, 64}) {
        SCOPED_TRACE(bad);
        error = 0;
        EXPECT_FALSE(AbfClose(bad, &error));
        EXPECT_EQ(error, 1002);
        EXPECT_FALSE(AbfUpdateHeader(bad, &header, &error));
        EXPECT_FALSE(AbfWriteMultiplexData(bad, &header, 0, nullptr, 0, 0, &error));
        EXPECT_EQ(error, 1002);
    }

    handle = 3;
    EXPECT_FALSE(AbfOpenForWrite(dir.File("missing/x.abf").c_str(), &handle, 0, &header, &error));
    EXPECT_EQ(error, 1004);
    EXPECT_EQ(handle, -1);
    EXPECT_FALSE(AbfOpenForWrite("", &handle, 0, &header, &error));
    EXPECT_EQ(error, 1004);

    {
        FileSizeLimit limit(4096);   // the header itself cannot be written
        EXPECT_FALSE(AbfOpenForWrite(dir.File("small.abf").c_str(), &handle, 0, &header, &error));
    }
    EXPECT_EQ(error, 1015);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(access(dir.File("small.abf").c_str(), F_OK), -1);
    // The slot was given back.
    EXPECT_TRUE(AbfOpenForWrite(dir.File("ok.abf").c_str(), &handle, 0, &header, &error));
    EXPECT_EQ(handle, 0);
    AbfCloseAllFiles();

    // A header that cannot be written to a file that was already there leaves that file in place:
    // removing a device such as /dev/full would break every later program that writes to it.
    struct stat before {};
    if (stat("/dev/full", &before) == 0 && S_ISCHR(before.st_mode)) {
        EXPECT_FALSE(AbfOpenForWrite("/dev/full", &handle, 0, &header, &error));
        struct stat after {};
        ASSERT_EQ(stat("/dev/full", &after), 0);
        EXPECT_TRUE(S_ISCHR(after.st_mode));
    }
}

TEST(AbfFileLibrary, GapFreeRowsExtendOneEpisode)
{
    TempDir dir;
    CABF abf;
    abf.SetAdcChannelCount(3);
    abf.SetAdcSampleInterval(1000.0f / 3);   // 1 kHz per channel: starts in ms would pass samples
    const std::string path = dir.File("gapfree.abf");
    int error = 0;
    ASSERT_TRUE(abf.OpenForWrite(path, &error));
    ExpectSoundFile(path);   // readable from the start
    const std::vector<uint8_t> atOpen = ReadFileBytes(path);
    EXPECT_EQ(LoadLE<uint16_t>(atOpen.data() + AbfField::FileGUID + 6) & 0xF000, 0x4000) << "a version-4 GUID";

    const std::vector<int16_t> samples = Ramp(3 * 1000, -1500);
    for (int row = 0; row < 1000; ++row) {
        ASSERT_TRUE(abf.WriteMultiplexData(&samples[3 * row], 3, 1, 0, &error));
        ASSERT_EQ(abf.Header().Get<int32_t>(AbfField::lActualEpisodes), 1);
        ASSERT_EQ(abf.Header().Get<int32_t>(AbfField::lActualAcqLength), 3 * (row + 1));
    }
    ASSERT_TRUE(abf.UpdateHeader(&error));
    const std::vector<uint8_t> done = ReadFileBytes(path);
    ExpectSoundFile(path);
    EXPECT_EQ(done.size(), 12288u);   // 6144 + 6000 bytes of samples, padded to 512
    EXPECT_EQ(I32(done, AbfField::lActualAcqLength), 3000);
    EXPECT_EQ(I32(done, AbfField::lActualEpisodes), 6) << "gap-free pieces of 512 samples";
    EXPECT_EQ(I32(done, AbfField::lSynchArraySize), 0);
    EXPECT_EQ(std::memcmp(done.data() + kAbfHeaderBytes, samples.data(), 6000), 0);
    EXPECT_EQ(std::memcmp(done.data() + AbfField::FileGUID, atOpen.data() + AbfField::FileGUID, 16), 0);

    // A second completion with nothing new changes nothing (the padding is not counted).
    ASSERT_TRUE(abf.UpdateHeader(&error));
    EXPECT_EQ(ReadFileBytes(path), done);
    ASSERT_TRUE(abf.Close(&error));
    EXPECT_EQ(abf.Handle(), -1);
    EXPECT_FALSE(abf.Close(&error));
    EXPECT_EQ(error, 1002);
}

TEST(AbfFileLibrary, EpisodesGetASynchArrayAndTagsASection)
{
    TempDir dir;
    CABF abf;
    abf.SetAdcChannelCount(2);
    abf.SetOperationMode(2);
    abf.SetSamplesPerEpisode(250);
    const std::string path = dir.File("episodes.abf");
    int error = 0;
    ASSERT_TRUE(abf.OpenForWrite(path, &error));
    for (int e = 0; e < 4; ++e) {
        const std::vector<int16_t> episode = Ramp(250, 1000 * e);
        ASSERT_TRUE(abf.WriteMultiplexData(episode.data(), 250, 250 * e, 0, &error));
    }
    // Flag 2 extends the last episode instead of starting one.
    const std::vector<int16_t> more = Ramp(50, 9000);
    ASSERT_TRUE(abf.WriteMultiplexData(more.data(), 50, 9999, kAbfAppendToEpisode, &error));
    EXPECT_EQ(abf.Header().Get<int32_t>(AbfField::lActualEpisodes), 4);

    // Enough tags to pass the memory the store keeps before it spills to a scratch file.
    const int tags = 2500;
    for (int t = 0; t < tags; ++t)
        ASSERT_TRUE(abf.WriteTag(10 * t, "trigger " + std::to_string(t), &error)) << error;
    EXPECT_EQ(abf.Header().Get<int32_t>(AbfField::lNumTagEntries), tags);
    ASSERT_TRUE(abf.UpdateHeader(&error)) << abf.ErrorMessage(error);
    ASSERT_TRUE(abf.Close(&error));

    ExpectSoundFile(path);
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    EXPECT_EQ(I32(bytes, AbfField::lActualAcqLength), 1050);
    EXPECT_EQ(I32(bytes, AbfField::lActualEpisodes), 4);
    EXPECT_EQ(I32(bytes, AbfField::lSynchArraySize), 4);
    const size_t synch = 512 * static_cast<size_t>(I32(bytes, AbfField::lSynchArrayPtr));
    EXPECT_EQ(synch, 6144u + 2560u) << "right after the samples, on a block boundary";
    const int32_t expectedSynch[] = {0, 250, 250, 250, 500, 250, 750, 300};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(I32(bytes, synch + 4 * i), expectedSynch[i]) << i;

    const size_t tagSection = 512 * static_cast<size_t>(I32(bytes, AbfField::lTagSectionPtr));
    EXPECT_EQ(tagSection, synch + 512);
    EXPECT_EQ(I32(bytes, AbfField::lNumTagEntries), tags);
    ASSERT_GE(bytes.size(), tagSection + 64u * tags);
    for (int t : {0, 1023, 1024, 2499}) {   // either side of what memory keeps
        const uint8_t* record = bytes.data() + tagSection + 64 * t;
        std::string expected = "trigger " + std::to_string(t);
        expected.resize(56, ' ');
        EXPECT_EQ(std::to_string(LoadLE<int32_t>(record)) + std::string(reinterpret_cast<const char*>(record + 4), 58),
                  std::to_string(10 * t) + expected + std::string(2, '\0')) << t;
    }
}

TEST(AbfFileLibrary, SamplesAfterACompletionMoveTheSections)
{
    TempDir dir;
    CABF abf;
    abf.SetOperationMode(2);
    const std::string path = dir.File("twice.abf");
    int error = 0;
    ASSERT_TRUE(abf.OpenForWrite(path, &error));
    const std::vector<int16_t> first = Ramp(300, 0);
    ASSERT_TRUE(abf.WriteMultiplexData(first.data(), 300, 0, 0, &error));
    ASSERT_TRUE(abf.WriteTag(5, "a", &error));
    ASSERT_TRUE(abf.UpdateHeader(&error));
    const std::vector<int16_t> second = Ramp(300, 300);
    ASSERT_TRUE(abf.WriteMultiplexData(second.data(), 300, 300, 0, &error));
    ASSERT_TRUE(abf.UpdateHeader(&error));
    ASSERT_TRUE(abf.Close(&error));

    ExpectSoundFile(path);
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    EXPECT_EQ(I32(bytes, AbfField::lActualAcqLength), 600);
    EXPECT_EQ(I32(bytes, AbfField::lSynchArraySize), 2);
    const std::vector<int16_t> all = Ramp(600, 0);
    EXPECT_EQ(std::memcmp(bytes.data() + kAbfHeaderBytes, all.data(), 1200), 0) << "samples stay contiguous";
    EXPECT_EQ(512 * I32(bytes, AbfField::lSynchArrayPtr), 6144 + 1536);
    EXPECT_EQ(512 * I32(bytes, AbfField::lTagSectionPtr), 6144 + 1536 + 512);
    EXPECT_EQ(I32(bytes, 512 * I32(bytes, AbfField::lSynchArrayPtr) + 8), 300);
}

TEST(AbfFileLibrary, FailedWritesAreReportedAndCutBack)
{
    TempDir dir;
    CABF abf;
    const std::string path = dir.File("full.abf");
    int error = 0;
    ASSERT_TRUE(abf.OpenForWrite(path, &error));
    const std::vector<int16_t> samples = Ramp(1000, 0);
    ASSERT_TRUE(abf.WriteMultiplexData(samples.data(), 1000, 0, 0, &error));   // ends at 8144
    {
        FileSizeLimit limit(8192);
        EXPECT_FALSE(abf.WriteMultiplexData(samples.data(), 100, 0, 0, &error));
        EXPECT_EQ(error, 1015);
        EXPECT_EQ(abf.ErrorMessage(error), "ERROR: Insufficient disk space for file '" + path + "'.");
        struct stat info;
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_size, 8144) << "nothing of the failed write is left";
        // Completing still fits: the file keeps what was written before.
        EXPECT_TRUE(abf.UpdateHeader(&error)) << error;
    }
    ASSERT_TRUE(abf.Close(&error));
    ExpectSoundFile(path);
    EXPECT_EQ(I32(ReadFileBytes(path), AbfField::lActualAcqLength), 1000);

    // Completion itself failing: cut back to the samples and reported.
    CABF tagged;
    tagged.SetOperationMode(2);
    ASSERT_TRUE(tagged.OpenForWrite(dir.File("tags.abf"), &error));
    const std::vector<int16_t> block = Ramp(1024, 0);
    ASSERT_TRUE(tagged.WriteMultiplexData(block.data(), 1024, 0, 0, &error));   // ends at 8192
    ASSERT_TRUE(tagged.WriteTag(1, "x", &error));
    {
        FileSizeLimit limit(8192);
        EXPECT_FALSE(tagged.UpdateHeader(&error));
        EXPECT_EQ(error, 1015);
    }
    struct stat info;
    ASSERT_EQ(stat(dir.File("tags.abf").c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 8192);
    ASSERT_TRUE(tagged.UpdateHeader(&error)) << "a later try can still complete the file";
    ASSERT_TRUE(tagged.Close(&error));
    ExpectSoundFile(dir.File("tags.abf"));
}

TEST(AbfFileLibrary, RefusesMoreSamplesThanTheHeaderCanCount)
{
    TempDir dir;
    CABF abf;
    int error = 0;
    ASSERT_TRUE(abf.OpenForWrite(dir.File("huge.abf"), &error));
    const int16_t one = 0;
    EXPECT_FALSE(abf.WriteMultiplexData(&one, 0x80000000u, 0, 0, &error));
    EXPECT_EQ(error, 1005);
    EXPECT_FALSE(abf.WriteMultiplexData(nullptr, 10, 0, 0, &error));
    EXPECT_EQ(error, 1005);
    EXPECT_TRUE(abf.WriteMultiplexData(&one, 1, 0, 0, &error));
    EXPECT_FALSE(abf.WriteMultiplexData(&one, 0x7FFFFFFFu, 0, 0, &error)) << "one already written";
    EXPECT_EQ(abf.Header().Get<int32_t>(AbfField::lActualAcqLength), 1);
}
