#include "datafile/CKVLayout.h"
#include "datafile/CKVLayoutCAvailTypes.h"
#include "platform/CByteWriter.h"
#include "platform/File64.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A "LAYOUT  " chunk of the given version holding `records`, each cut to the version's length.
std::vector<uint8_t> ChunkBytes(int32_t version, const std::vector<LayoutRecord>& records,
                                int32_t kind = 3)
{
    std::vector<uint8_t> bytes;
    CByteWriter w(bytes);
    w.PutId("LAYOUT");
    w.Put<int64_t>(int64_t(records.size()) * 1368 + 32);
    w.Put<int32_t>(version).Put<int32_t>(kind);
    w.Put<int32_t>(int32_t(records.size())).Put<int32_t>(2).Put<int32_t>(1).Put<int32_t>(0);
    w.Put<int32_t>(0).Put<int32_t>(int32_t(records.size()));
    for (const LayoutRecord& record : records) {
        std::vector<uint8_t> full;
        CKVLayout::AppendRecord(full, record);
        bytes.insert(bytes.end(), full.begin(), full.begin() + CKVLayout::RecordBytes(version));
    }
    return bytes;
}

LayoutRecord Record(int32_t hwid, int32_t unitId, const std::string& name, const std::string& hardware)
{
    LayoutRecord r;
    r.hwid = hwid;
    r.subtype = 0;
    r.unitId = unitId;
    r.name = name;
    r.secondName = name + "'";
    r.thirdName = name + "''";
    r.hardwareName = hardware;
    r.firstChannel = hwid + 100;
    r.dx = 250;
    return r;
}

std::vector<uint8_t> Serialised(const CKVLayout& layout)
{
    std::vector<uint8_t> bytes;
    layout.AppendLayoutChunk(bytes);
    return bytes;
}

std::vector<std::string> Names(const CKVLayout& layout)
{
    std::vector<std::string> names{"stale"};
    layout.GetRecordNames(names);
    return names;
}

}  // namespace

TEST(CKVLayout, SingleArrayDefaultFollowsTheLabelTable)
{
    CKVLayout layout;
    layout.BuildDefault(1, 64, 60, 3, 1);
    ASSERT_EQ(layout.GetRecordCount(), 64);
    const std::vector<std::string> names = Names(layout);
    EXPECT_EQ(names[0], "47");
    EXPECT_EQ(names[1], "48");
    EXPECT_EQ(names[2], "46");
    EXPECT_EQ(names[59], "57");
    EXPECT_EQ(std::vector<std::string>(names.begin() + 60, names.end()),
              (std::vector<std::string>{"A1", "A2", "A3", "D1"}));
    EXPECT_EQ(layout.GetRecordDescriptor(0, 0),
              "47:name=47:hwid=0:subtype=0:show=1:dx=300:dy=600:dxextend=100:dyextend=100");
    EXPECT_EQ(layout.GetRecordDescriptor(0, 1),
              "47:name=47:hwid=0:subtype=0:show=0:dx=300:dy=600:dxextend=100:dyextend=100");

    LayoutRecord r;
    ASSERT_TRUE(layout.GetRecord(r, 0));
    EXPECT_EQ(r.x, 3000);
    EXPECT_EQ(r.y, 6000);
    EXPECT_EQ(r.unitName, "Zelto");
    EXPECT_EQ(r.thirdName, "47");
    EXPECT_EQ(r.firstChannel, 0);
    EXPECT_EQ(r.channelValue1, 1000);
    ASSERT_TRUE(layout.GetRecord(r, 62));
    EXPECT_EQ(r.subtype, 1);
    EXPECT_EQ(r.x, 2);
    EXPECT_EQ(r.dx, 200);
    EXPECT_EQ(r.channelValue1, 1);
    EXPECT_EQ(r.unitName, "");
    EXPECT_EQ(layout.GetSubtypeOfRecord(63), 2);
    EXPECT_EQ(layout.GetUnitCount(), 1);
    EXPECT_EQ(layout.GetUnitName(0), "Zelto");
}

TEST(CKVLayout, DoubleArrayDefaultPlacesArrayBBelowArrayA)
{
    CKVLayout layout;
    layout.BuildDefault(2, 128, 120, 7, 1);
    ASSERT_EQ(layout.GetRecordCount(), 128);
    LayoutRecord r;
    ASSERT_TRUE(layout.GetRecord(r, 64));
    EXPECT_EQ(r.name, "47");
    EXPECT_EQ(r.secondName, "47B");
    EXPECT_EQ(r.unitId, 1);
    EXPECT_EQ(r.unitName, "MEA B");
    EXPECT_EQ(r.y, 14000);
    EXPECT_EQ(r.dy, 1400);
    EXPECT_EQ(layout.GetSecondName(0), "47A");
    EXPECT_EQ(layout.GetUnitName(1), "MEA B");
    ASSERT_TRUE(layout.GetRecord(r, 124));
    EXPECT_EQ(r.name, "A5");
    EXPECT_EQ(r.dx, 400);
    EXPECT_EQ(layout.GetRecordName(127), "D1");
    EXPECT_EQ(layout.GetUnitCount(), 2);
    EXPECT_EQ(layout.GetSortedUnitIds(), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(layout.GetRecordsOfUnit(1).size(), 60u);
}

TEST(CKVLayout, PlainDefaultNamesAndGrids)
{
    CKVLayout layout;
    layout.BuildDefault(0, 6, 3, 2, 1);
    EXPECT_EQ(Names(layout), (std::vector<std::string>{"01", "02", "03", "A1", "A2", "D1"}));
    EXPECT_EQ(layout.GetSubtypeOfRecord(4), 1);
    EXPECT_EQ(layout.GetRecordDescriptor(3, 0),
              "A1:name=A1:hwid=3:subtype=1:show=1:dx=0:dy=0:dxextend=100:dyextend=100");
    EXPECT_EQ(layout.GetRecordDescriptor(4, 0),
              "A2:name=A2:hwid=4:subtype=1:show=1:dx=100:dy=0:dxextend=100:dyextend=100");

    // Above 128 electrodes the electrode grid is 16 wide; the analog grid keeps 8.
    layout.BuildDefault(0, 142, 130, 10, 2);
    LayoutRecord r;
    ASSERT_TRUE(layout.GetRecord(r, 129));
    EXPECT_EQ(r.name, "130");
    EXPECT_EQ(r.dx, 100);
    EXPECT_EQ(r.dy, 800);
    EXPECT_EQ(r.y, 8000);
    ASSERT_TRUE(layout.GetRecord(r, 139));
    EXPECT_EQ(r.name, "A10");
    EXPECT_EQ(r.dx, 100);
    EXPECT_EQ(r.dy, 100);
    EXPECT_EQ(layout.GetRecordName(141), "D1");
}

TEST(CKVLayout, DefaultsSurviveHeaderCountsThatDisagreeWithTheirTables)
{
    const struct {
        const char* name;
        int32_t kind, total, electrodes, analog;
        int expectedRecords;
        int lastFilled;    // highest record filled from a table, -1 none
    } cases[] = {
        {"single array, 70 records", 1, 70, 60, 3, 70, 63},
        {"single array, 10 records", 1, 10, 60, 3, 10, 9},
        {"double array, 130 records", 2, 130, 120, 7, 130, 127},
        {"double array, 5 records", 2, 5, 120, 7, 5, 4},
        {"negative total", 0, -4, 3, 2, 0, -1},
        {"unknown kind", 7, 4, 3, 0, 4, -1},
        {"plain with negative group counts", 0, 3, -5, -1, 3, 2},
        {"plain beyond the u16 total", 0, 70000, 2, 0, 65535, 65534},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CKVLayout layout;
        layout.BuildDefault(c.kind, c.total, c.electrodes, c.analog, 1);
        EXPECT_EQ(layout.GetTotalChannels(), c.total);
        ASSERT_EQ(layout.GetRecordCount(), c.expectedRecords);
        if (c.lastFilled >= 0) {
            EXPECT_EQ(layout.GetUnitIdOfRecord(c.lastFilled), 0);
        }
        if (c.lastFilled + 1 < c.expectedRecords) {
            LayoutRecord r;
            ASSERT_TRUE(layout.GetRecord(r, c.lastFilled + 1));
            EXPECT_EQ(r.hwid, -1);                  // initial values
            EXPECT_EQ(r.channelValue3, 50000000);
            EXPECT_EQ(r.dxextend, 100);
        }
    }
}

TEST(CKVLayout, ChunkRoundTripsThroughBytesAndFiles)
{
    CKVLayout written;
    written.BuildDefault(2, 128, 120, 7, 1);
    const std::vector<uint8_t> bytes = Serialised(written);
    ASSERT_EQ(bytes.size(), 48u + 128 * 1368);

    CKVLayout read;
    size_t consumed = 0;
    ASSERT_TRUE(read.ReadLayoutChunk(bytes.data(), bytes.size(), &consumed));
    EXPECT_EQ(consumed, bytes.size());
    EXPECT_EQ(read.GetLayoutKind(), 2);
    EXPECT_EQ(read.GetElectrodeChannels(), 120);
    EXPECT_EQ(read.GetAnalogChannels(), 7);
    EXPECT_EQ(Serialised(read), bytes);

    // Through a file, behind other bytes, with something after the chunk.
    TempDir dir;
    const std::string path = dir.File("layout.kvd");
    FILE* file = std::fopen(path.c_str(), "w+b");
    ASSERT_NE(file, nullptr);
    std::fputs("prefix", file);
    ASSERT_TRUE(written.WriteLayoutChunk(file));
    std::fputs("tail", file);
    std::fseek(file, 6, SEEK_SET);
    CKVLayout fromFile;
    EXPECT_TRUE(fromFile.ReadLayoutChunk(file));
    EXPECT_EQ(Tell64(file), int64_t(6 + bytes.size()));
    std::fclose(file);
    EXPECT_EQ(Serialised(fromFile), bytes);
}

TEST(CKVLayout, OlderChunkVersionsFillWhatTheyLack)
{
    LayoutRecord full = Record(5, 0, "12", "amp");
    full.reserved = 7;
    for (int32_t version : {1, 2, 3}) {
        SCOPED_TRACE(version);
        const std::vector<uint8_t> bytes = ChunkBytes(version, {full, Record(6, 1, "13", "amp")});
        ASSERT_EQ(bytes.size(), 48 + 2 * CKVLayout::RecordBytes(version));
        CKVLayout layout;
        ASSERT_TRUE(layout.ReadLayoutChunk(bytes.data(), bytes.size()));
        LayoutRecord r;
        ASSERT_TRUE(layout.GetRecord(r, 0));
        EXPECT_EQ(r.secondName, "12'");
        EXPECT_EQ(r.dx, 250);
        EXPECT_EQ(r.thirdName, version == 1 ? "12" : "12''");
        EXPECT_EQ(r.hardwareName, version == 1 ? "" : "amp");
        EXPECT_EQ(r.firstChannel, version == 3 ? 105 : 5);
        EXPECT_EQ(r.reserved, version == 3 ? 7 : 0);
        EXPECT_EQ(layout.GetUnitIdOfRecord(1), 1);
    }
}

TEST(CKVLayout, RejectsBrokenChunksAndKeepsNothingOfTheLayoutBefore)
{
    const std::vector<uint8_t> good = ChunkBytes(3, {Record(0, 0, "a", ""), Record(1, 0, "b", "")});
    const std::pair<const char*, std::function<void(std::vector<uint8_t>&)>> cases[] = {
        {"wrong id", [](auto& b) { b[6] = 'X'; }},
        {"id in lower case", [](auto& b) { b[0] = 'l'; }},
        {"version 0", [](auto& b) { StoreLE<int32_t>(&b[16], 0); }},
        {"version 4", [](auto& b) { StoreLE<int32_t>(&b[16], 4); }},
        {"negative record count", [](auto& b) { StoreLE<int32_t>(&b[44], -1); }},
        {"huge record count", [](auto& b) { StoreLE<int32_t>(&b[44], 0x7FFFFFFF); }},
        {"one record more than there is", [](auto& b) { StoreLE<int32_t>(&b[44], 3); }},
        {"cut inside the last record", [](auto& b) { b.resize(b.size() - 1); }},
        {"cut inside the head", [](auto& b) { b.resize(40); }},
        {"empty", [](auto& b) { b.clear(); }},
    };
    TempDir dir;
    for (const auto& [name, breakIt] : cases) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes = good;
        breakIt(bytes);

        CKVLayout layout;
        layout.BuildDefault(1, 64, 60, 3, 1);
        EXPECT_FALSE(layout.ReadLayoutChunk(bytes.data(), bytes.size()));
        EXPECT_EQ(layout.GetRecordCount(), 0);
        EXPECT_EQ(layout.GetLayoutKind(), 0);

        const std::string path = dir.File("broken");
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        FILE* file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        layout.BuildDefault(1, 64, 60, 3, 1);
        EXPECT_FALSE(layout.ReadLayoutChunk(file));
        EXPECT_EQ(layout.GetRecordCount(), 0);
        EXPECT_EQ(layout.GetTotalChannels(), 0);
        std::fclose(file);
    }
}

TEST(CKVLayout, UnterminatedTextFieldsStopAtTheirWidth)
{
    LayoutRecord r = Record(0, 0, std::string(257, 'n'), std::string(259, 'h'));
    r.unitName = std::string(260, 'u');
    const std::vector<uint8_t> bytes = ChunkBytes(3, {r});
    CKVLayout layout;
    ASSERT_TRUE(layout.ReadLayoutChunk(bytes.data(), bytes.size()));
    LayoutRecord back;
    ASSERT_TRUE(layout.GetRecord(back, 0));
    EXPECT_EQ(back.name, std::string(257, 'n'));
    EXPECT_EQ(back.hardwareName, std::string(259, 'h'));
    EXPECT_EQ(back.unitName, std::string(260, 'u'));
    EXPECT_EQ(Serialised(layout), bytes);
}

TEST(CKVLayout, QueriesOutsideTheRecordsAnswerNothing)
{
    CKVLayout layout;
    EXPECT_EQ(layout.GetUnitIdOfRecord(0), -1);
    layout.BuildDefault(1, 64, 60, 3, 1);
    LayoutRecord r;
    for (int i : {-1, 64, 1 << 30}) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(layout.GetRecord(r, i));
        EXPECT_EQ(layout.GetUnitIdOfRecord(i), -1);
        EXPECT_EQ(layout.GetSubtypeOfRecord(i), -1);
        EXPECT_EQ(layout.GetRecordName(i), "");
        EXPECT_EQ(layout.GetSecondName(i), "");
        EXPECT_EQ(layout.GetRecordDescriptor(i, 0), "");
    }
    EXPECT_EQ(layout.GetUnitName(5), "");
    EXPECT_EQ(layout.GetUnitNameById(5), "");
}

TEST(CKVLayout, UnitQueriesOfAnIndividualLayout)
{
    std::vector<LayoutRecord> records = {Record(0, 3, "a", "H1"), Record(1, 3, "b", "H2"),
                                         Record(2, 3, "c", "H1"), Record(3, 1, "d", ""),
                                         Record(4, -1, "e", "H9")};
    records[0].subtype = 1;                 // not an electrode: no unit or hardware name from it
    records[0].unitName = "analog unit";
    records[1].unitName = "MEA 3";
    const std::vector<uint8_t> bytes = ChunkBytes(3, records);
    CKVLayout layout;
    ASSERT_TRUE(layout.ReadLayoutChunk(bytes.data(), bytes.size()));
    EXPECT_EQ(layout.GetSortedUnitIds(), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(layout.GetUnitCount(), 2);
    EXPECT_EQ(layout.GetUnitName(3), "MEA 3");
    EXPECT_EQ(layout.GetUnitNameById(3), "H2");
    EXPECT_EQ(layout.GetConfiguredUnitCount(), 2);   // H2 and H1 in unit 3, none in unit 1
    std::vector<std::string> descriptors;
    layout.GetRecordDescriptors(descriptors, 3);
    ASSERT_EQ(descriptors.size(), 5u);
    EXPECT_EQ(descriptors[3], "d:name=d:hwid=3:subtype=0:show=0:dx=250:dy=0:dxextend=100:dyextend=100");
}

TEST(CKVLayout, CopiesOwnTheirCatalogues)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("a.txt"), {'K', 'V', 'T', ' ', 'M', 'E', 'A', ' ', 'L', 'a',
                                                   'y', 'o', 'u', 't', '\n'}));
    CKVLayout copy;
    {
        auto original = std::make_unique<CKVLayout>();
        original->BuildDefault(1, 64, 60, 3, 1);
        ASSERT_EQ(original->GetAvailMeas().Load(dir.Path()), 1);
        original->GetAvailMeas().GetSelection().emplace_back(1, 2);
        copy = *original;
        copy = copy;
    }   // the original and its units are gone; the copy must not share them (ASan)
    EXPECT_EQ(copy.GetRecordCount(), 64);
    ASSERT_EQ(copy.GetAvailMeas().GetCount(), 1u);
    EXPECT_EQ(copy.GetAvailMeas().GetUnit(0)->GetRecords().size(), 0u);
    EXPECT_EQ(copy.GetAvailMeas().GetSelection().size(), 1u);
    CKVLayout second(copy);
    EXPECT_EQ(second.GetAvailMeas().GetCount(), 1u);
}
