#include "export/abf/AbfMessages.h"
#include "export/abf/CAbfBlockQueue.h"
#include "export/abf/CAbfFile.h"
#include "export/abf/CAbfOutput.h"
#include "export/abf/CrcEngine.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An output over a new file whose "header" is its first 512 bytes.
struct OutputFile
{
    explicit OutputFile(const std::string& path)
        : fd(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644)), output(fd, 512)
    {
    }
    ~OutputFile() { close(fd); }
    int fd;
    CAbfOutput output;
};

} // namespace

TEST(CAbfBlockQueue, AppendsDirectoryThenBlocks)
{
    TempDir dir;
    OutputFile file(dir.File("blocks"));
    ASSERT_GE(file.fd, 0);
    CAbfBlockQueue queue;
    EXPECT_EQ(queue.AppendTo(file.output), 0);
    EXPECT_EQ(file.output.End(), 512u) << "nothing queued, nothing written";

    uint8_t entry[kAbfBlockEntryBytes] = {};
    entry[0] = 7;                                   // the producer's own fields are kept
    const std::vector<uint8_t> first(10000, 0xA5);
    const std::vector<uint8_t> second = {1, 2, 3};
    ASSERT_EQ(queue.Add(entry, first.data(), first.size(), false), 0);
    entry[0] = 8;
    ASSERT_EQ(queue.Add(entry, second.data(), second.size(), false), 0);
    ASSERT_EQ(queue.Add(entry, nullptr, 0, true), 0) << "an empty block needs no compression";
    ASSERT_EQ(queue.AppendTo(file.output), 0);

    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("blocks"));
    ASSERT_EQ(bytes.size(), 512u + 3 * 32 + 10003);
    const uint8_t* directory = bytes.data() + 512;
    const struct {
        uint8_t mark;
        int32_t offset;
        int32_t size;
    } expected[] = {{7, 96, 10000}, {8, 96 + 10000, 3}, {8, 96 + 10003, 0}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const uint8_t* e = directory + 32 * i;
        EXPECT_EQ(e[0], expected[i].mark);
        EXPECT_EQ(LoadLE<int32_t>(e + AbfBlockEntry::lFileOffset), expected[i].offset);
        EXPECT_EQ(LoadLE<int32_t>(e + AbfBlockEntry::lUncompressedSize), expected[i].size);
        EXPECT_EQ(LoadLE<int32_t>(e + AbfBlockEntry::lCompressedSize), expected[i].size);
    }
    EXPECT_EQ(std::memcmp(bytes.data() + 512 + 96, first.data(), first.size()), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 512 + 96 + 10000, second.data(), 3), 0);
    // The folded checksum is that of the bytes really in the file.
    EXPECT_EQ(file.output.BodyCrc(), CrcEngine::Crc32(bytes.data() + 512, bytes.size() - 512));
}

TEST(CAbfBlockQueue, CompressionWithoutTheLibraryFailsClearly)
{
    TempDir dir;
    const std::string path = dir.File("voice.abf");
    CAbfFile file;
    ASSERT_EQ(file.Create(path, 0), 0);
    AbfFileHeader header;
    AbfInitFileHeader(header);
    ASSERT_EQ(file.Start(header), 0);
    const std::vector<int16_t> samples(700, 5);
    ASSERT_EQ(file.WriteMultiplexData(header, 0, samples.data(), 0, 700), 0);

    uint8_t entry[kAbfBlockEntryBytes] = {};
    const std::vector<uint8_t> sound(4000, 0x55);
    ASSERT_EQ(file.VoiceTagBlocks().Add(entry, sound.data(), sound.size(), true), 0);
    const int rc = file.UpdateHeader(header);
    EXPECT_EQ(rc, 1029);
    EXPECT_EQ(AbfErrorText(rc, path), "Data compression is not supported on this platform.");
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 6144 + 1400) << "cut back to the samples";
    EXPECT_EQ(file.Close(), 0);

    uint64_t stored = 0;
    EXPECT_EQ(AbfCompressBlock(-1, 10, -1, &stored, nullptr), 1029);
}
