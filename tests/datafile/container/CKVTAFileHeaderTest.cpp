#include "datafile/container/CKVTAFileHeader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/KvdBuilder.h"
#include "tests/support/TempDir.h"

namespace FH = Kvd::FileHeader;

namespace {

// The header payload of a built file (version field first), `bytes` long.
std::vector<uint8_t> Payload(const KvdBuilder& builder)
{
    const std::vector<uint8_t> file = builder.Build();
    return std::vector<uint8_t>(file.begin() + 48, file.end());
}

} // namespace

TEST(CKVTAFileHeader, ReadsEveryVersionToItsExactLength)
{
    TempDir dir;
    for (uint16_t v = 0; v <= 11; ++v) {
        SCOPED_TRACE(v);
        KvdBuilder builder(v);
        builder.OmitIndexPosition().AddChunk("elec0001", 1, 2, {});
        const std::string path = dir.File("v.kvd");
        ASSERT_TRUE(builder.WriteTo(path));
        FILE* f = fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        CFileReader reader(f);
        CKVTAFileHeader header;
        int64_t listSize = -1;
        EXPECT_TRUE(header.Read(reader, listSize));
        EXPECT_EQ(listSize, 0);
        EXPECT_EQ(header.GetVersion(), v);
        EXPECT_EQ(reader.Tell(), 48u + Kvd::FileHeaderBytesOnDisk(v));  // the next chunk is there
        char id[8];
        EXPECT_TRUE(reader.Read(id, 8));
        EXPECT_EQ(std::string(id, 8), "elec0001");
        fclose(f);
    }
    KvdBuilder twelve(11);
    twelve.Set<uint16_t>(0, 12);
    std::vector<uint8_t> payload = Payload(twelve);
    CKVTAFileHeader header;
    EXPECT_FALSE(header.Parse(payload.data(), payload.size()));
}

TEST(CKVTAFileHeader, AppliesTheByVersionRules)
{
    KvdBuilder base(0);
    base.Set<int32_t>(FH::kSampleRate, 10000000).Set<int32_t>(FH::kChunkTimeLimit, 5);
    base.Set<uint64_t>(FH::kRecordingTime, 777).Set<uint64_t>(FH::kStartTime, 999);
    base.Set<uint16_t>(FH::kElectrodeCount1, 32).Set<uint16_t>(FH::kAnalogCount1, 4);
    base.Set<uint16_t>(FH::kElectrodeCount2, 8).Set<int32_t>(FH::kVersion8Value, 42);
    base.Set<uint16_t>(FH::kElectrodeFirst2, 1234);

    struct Case
    {
        uint16_t version;
        int32_t rate, chunkLimit;
        uint64_t start;
        int32_t version8;
    };
    const Case cases[] = {
        {0, 25000000, 128000000, 777, -1}, {1, 10000000, 128000000, 777, -1},
        {2, 10000000, 5, 777, -1},         {3, 10000000, 5, 999, -1},
        {7, 10000000, 5, 999, -1},         {8, 10000000, 5, 999, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        KvdBuilder builder = base;
        builder.Set<uint16_t>(0, c.version);
        const std::vector<uint8_t> payload = Payload(builder);
        CKVTAFileHeader h;
        ASSERT_TRUE(h.Parse(payload.data(), payload.size()));
        EXPECT_EQ(h.GetSampleRate(), c.rate);
        EXPECT_EQ(h.GetChunkTimeLimit(), c.chunkLimit);
        EXPECT_EQ(h.GetStartTime(), c.start);
        EXPECT_EQ(h.GetVersion8Value(), c.version8);
        if (c.version == 0) {
            // Version 0 stores no channel groups: the fixed 64-channel setup applies.
            EXPECT_EQ(h.GetLayoutKind(), 1);
            EXPECT_EQ(h.Get<uint16_t>(FH::kElectrodeCount1), 60);
            EXPECT_EQ(h.Get<uint16_t>(FH::kAnalogCount1), 3);
            EXPECT_EQ(h.Get<uint16_t>(FH::kDigitalFirst), 63);
            EXPECT_EQ(h.Get<uint16_t>(FH::kTotalChannels), 64);
            EXPECT_EQ(h.GetWindowStart(), -1.0f);
            EXPECT_EQ(h.GetWindowExtent(), -1.0f);
            EXPECT_EQ(h.Get<uint16_t>(FH::kElectrodeFirst2), 63);
        } else if (c.version < 8) {
            EXPECT_EQ(h.Get<uint16_t>(FH::kElectrodeFirst2), 36);       // 32 + 4
            EXPECT_EQ(h.Get<uint16_t>(FH::kAnalogFirst2), c.version >= 8 ? 0 : 36);  // group 2 not stored
        } else {
            EXPECT_EQ(h.Get<uint16_t>(FH::kElectrodeFirst2), 1234);
        }
    }
}

TEST(CKVTAFileHeader, RefusesShortOrInvalidHeaders)
{
    KvdBuilder builder(11);
    const std::vector<uint8_t> good = Payload(builder);
    for (size_t size = 0; size < Kvd::FileHeaderBytesOnDisk(11); ++size) {
        CKVTAFileHeader h;
        ASSERT_FALSE(h.Parse(good.data(), size)) << size;
        ASSERT_EQ(h.GetVersion(), 0);
    }
    for (int32_t mode : {-1, 3, 1000}) {
        SCOPED_TRACE(mode);
        KvdBuilder bad(1);
        bad.Set<int32_t>(FH::kRecordingMode, mode);
        std::vector<uint8_t> payload = Payload(bad);
        CKVTAFileHeader h;
        EXPECT_FALSE(h.Parse(payload.data(), payload.size()));
        KvdBuilder old(0);  // version 0 never stores a mode
        old.Set<int32_t>(FH::kRecordingMode, mode);
        payload = Payload(old);
        EXPECT_TRUE(h.Parse(payload.data(), payload.size()));
    }

    // A file cut anywhere in the header area, or with other ids, fails cleanly.
    TempDir dir;
    const std::vector<uint8_t> file = builder.Build();
    for (size_t cut : {size_t(0), size_t(20), size_t(31), size_t(40), size_t(49), size_t(500), size_t(2375)}) {
        SCOPED_TRACE(cut);
        ASSERT_TRUE(WriteFileBytes(dir.File("cut.kvd"), std::vector<uint8_t>(file.begin(), file.begin() + cut)));
        FILE* f = fopen(dir.File("cut.kvd").c_str(), "rb");
        CFileReader reader(f);
        CKVTAFileHeader h;
        int64_t listSize = 0;
        EXPECT_FALSE(h.Read(reader, listSize));
        fclose(f);
    }
    std::vector<uint8_t> wrongId = file;
    std::memcpy(wrongId.data() + 32, "KVTHDR_X", 8);
    ASSERT_TRUE(WriteFileBytes(dir.File("id.kvd"), wrongId));
    FILE* f = fopen(dir.File("id.kvd").c_str(), "rb");
    CFileReader reader(f);
    CKVTAFileHeader h;
    int64_t listSize = 0;
    EXPECT_FALSE(h.Read(reader, listSize));
    fclose(f);
}

TEST(CKVTAFileHeader, TextFieldsStopAtTheirWidth)
{
    KvdBuilder builder(11);
    builder.SetText(FH::kTextBlock, std::string(520, 'A')).SetText(FH::kTitle, std::string(80, 'T'));
    builder.SetText(FH::kSubtitle, std::string(32, 'S'));
    builder.SetText(FH::kInfoRecords + 56, std::string(264, 'I')).SetText(FH::kStartTriggerId, std::string(9, 'X'));
    builder.Set<uint8_t>(FH::kStimulatorFlag, 1);
    const std::vector<uint8_t> payload = Payload(builder);
    CKVTAFileHeader h;
    ASSERT_TRUE(h.Parse(payload.data(), payload.size()));
    EXPECT_EQ(h.GetTextBlock(), std::string(520, 'A'));
    EXPECT_EQ(h.GetTitle(), std::string(80, 'T'));
    EXPECT_EQ(h.GetSubtitle(), std::string(32, 'S'));
    EXPECT_EQ(h.GetInfoRecordText(0), std::string(264, 'I'));
    EXPECT_EQ(h.GetInfoRecordText(4), "");
    EXPECT_EQ(h.GetStartTriggerId().size(), 9u);
    EXPECT_EQ(h.GetStimulatorFlag(), 1);
    int32_t ints[6];
    double doubles[4];
    EXPECT_FALSE(h.GetInfoRecordValues(-1, ints, doubles));
    EXPECT_TRUE(h.GetInfoRecordValues(3, ints, doubles));
}
