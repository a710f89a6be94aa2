#include "datafile/layout/CKVLayout.h"
#include "datafile/layout/CKVLayoutCAvailTypes.h"
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

// A record's name, hardware id, subtype, extent, position, second name and unit in one line.
std::string Summary(const CKVLayout& layout, int i)
{
    LayoutRecord r;
    if (!layout.GetRecord(r, i))
        return "";
    auto n = [](int32_t v) { return std::to_string(v); };
    return r.name + " " + n(r.hwid) + " sub" + n(r.subtype) + " d" + n(r.dx) + "," + n(r.dy) + " at " + n(r.x)
        + "," + n(r.y) + " " + r.secondName + " u" + n(r.unitId) + " " + r.unitName;
}

}  // namespace

TEST(CKVLayout, DefaultLayoutsNameAndPlaceTheirRecords)
{
    const struct {
        const char* name;
        int32_t kind, total, electrodes, analog;
        std::vector<std::pair<int, std::string>> records;   // index, Summary
    } cases[] = {
        {"single array", 1, 64, 60, 3,
         {{0, "47 0 sub0 d300,600 at 3000,6000 47 u0 Zelto"},
          {1, "48 1 sub0 d300,700 at 3000,7000 48 u0 Zelto"},
          {2, "46 2 sub0 d300,500 at 3000,5000 46 u0 Zelto"},
          {59, "57 59 sub0 d400,600 at 4000,6000 57 u0 Zelto"},
          {60, "A1 60 sub1 d0,0 at 0,0 A1 u0 "},
          {62, "A3 62 sub1 d200,0 at 2,0 A3 u0 "},
          {63, "D1 63 sub2 d0,0 at 0,0 D1 u0 "}}},
        {"double array: array B below array A", 2, 128, 120, 7,
         {{0, "47 0 sub0 d300,600 at 3000,6000 47A u0 MEA A"},
          {64, "47 64 sub0 d300,1400 at 3000,14000 47B u1 MEA B"},
          {124, "A5 124 sub1 d400,0 at 4,0 A5 u0 "},
          {127, "D1 127 sub2 d0,0 at 0,0 D1 u0 "}}},
        {"plain", 0, 6, 3, 2,
         {{2, "03 2 sub0 d200,0 at 2000,0 03 u0 "},
          {3, "A1 3 sub1 d0,0 at 0,0 A1 u0 "},
          {4, "A2 4 sub1 d100,0 at 1000,0 A2 u0 "},
          {5, "D1 5 sub2 d0,0 at 0,0 D1 u0 "}}},
        {"plain above 128 electrodes: their grid is 16 wide, the analog grid keeps 8", 0, 142, 130, 10,
         {{129, "130 129 sub0 d100,800 at 1000,8000 130 u0 "},
          {139, "A10 139 sub1 d100,100 at 1000,1000 A10 u0 "},
          {141, "D1 141 sub2 d100,0 at 1000,0 D1 u0 "}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CKVLayout layout;
        layout.BuildDefault(c.kind, c.total, c.electrodes, c.analog, 1);
        ASSERT_EQ(layout.GetRecordCount(), c.total);
        for (const auto& [i, summary] : c.records)
            EXPECT_EQ(Summary(layout, i), summary) << i;
    }
    CKVLayout twoArrays;
    twoArrays.BuildDefault(2, 128, 120, 7, 1);
    EXPECT_EQ(twoArrays.GetSortedUnitIds(), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(twoArrays.GetUnitName(1), "MEA B");
    EXPECT_EQ(twoArrays.GetSecondName(64), "47B");   // the name the console's stream selection shows
    EXPECT_EQ(twoArrays.GetRecordsOfUnit(1).size(), 60u);
    EXPECT_EQ(twoArrays.GetRecordDescriptor(64, 1),
              "47:name=47:hwid=64:subtype=0:show=1:dx=300:dy=1400:dxextend=100:dyextend=100");
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
