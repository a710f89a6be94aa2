#include "datafile/container/CKVTAChannel.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <tuple>

#include "datafile/container/CFileReader.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/TempDir.h"

namespace {

// Reads channel records of file version v from `bytes`, as a stream would.
class ChannelFile
{
public:
    explicit ChannelFile(const std::vector<uint8_t>& bytes)
    {
        WriteFileBytes(m_dir.File("c.bin"), bytes);
        m_file = fopen(m_dir.File("c.bin").c_str(), "rb");
        m_reader.Attach(m_file);
    }
    ~ChannelFile() { fclose(m_file); }
    CFileReader& Reader() { return m_reader; }

private:
    TempDir m_dir;
    FILE* m_file = nullptr;
    CFileReader m_reader;
};

KvdChannelPlan FullChannel()
{
    KvdChannelPlan plan;
    plan.kind = 2;
    plan.id = 17;
    plan.number = 23;
    plan.name = "Electrode 23";
    plan.label = "Label";
    plan.group = 3;
    plan.displayName = "E23";
    plan.extension = 555;
    for (int i = 0; i < 12; ++i)
        plan.values[static_cast<size_t>(i)] = 100 + i;
    plan.items = {{1, -5}, {2, 70000}};
    return plan;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(CKVTAChannel, ReadsRecordsByFileVersionAndKind)
{
    struct Case
    {
        const char* name;
        uint16_t version;
        uint16_t kind;
        size_t recordBytes;
        int group;
        std::string displayName;
        int32_t extension;
        int32_t value1;
    };
    const Case cases[] = {
        {"version 5", 5, 2, 788, 0, "Electrode 23", -1, 0},
        {"version 6 kind 0", 6, 0, 792, 3, "Electrode 23", -1, 0},
        {"version 6 kind 1", 6, 1, 1052, 3, "E23", 555, 0},
        {"version 6 kind 2", 6, 2, 1104, 3, "E23", 555, 100},
        {"version 11 kind 7", 11, 7, 1104, 3, "E23", 555, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KvdChannelPlan plan = FullChannel();
        plan.kind = c.kind;
        KvdChannelPlan next = FullChannel();
        next.number = 99;
        ChannelFile file(Concat(KvdBuilder::ChannelBytes(plan, c.version), KvdBuilder::ChannelBytes(next, c.version)));
        CKVTAChannel channel;
        ASSERT_EQ(channel.Read(file.Reader(), c.version), 0);
        EXPECT_EQ(file.Reader().Tell(), c.recordBytes + 16);
        EXPECT_EQ(std::make_tuple(channel.GetKind(), channel.GetId(), channel.GetNumber(), channel.GetLabel()),
                  std::make_tuple(c.kind, 17, 23, std::string("Label")));
        EXPECT_EQ(std::make_tuple(channel.GetGroup(), channel.GetName(), channel.GetExtensionValue()),
                  std::make_tuple(c.group, c.displayName, c.extension));
        EXPECT_EQ(channel.GetValue1(), c.value1);
        EXPECT_EQ(channel.GetValue12(), c.value1 ? 111 : 0);
        EXPECT_EQ(std::make_tuple(channel.GetItemCount(), channel.GetItemWord(1), channel.GetItemValue(1)),
                  std::make_tuple(2, 2, 70000));
        EXPECT_EQ(channel.GetItemWord(2), -1);
        EXPECT_EQ(channel.GetItemValue(-1), -1);
        CKVTAChannel second;
        ASSERT_EQ(second.Read(file.Reader(), c.version), 0);  // the next record starts right there
        EXPECT_EQ(second.GetNumber(), 99);
    }
}

TEST(CKVTAChannel, UnterminatedNameIsCutWithoutOverrun)
{
    KvdChannelPlan plan = FullChannel();
    plan.kind = 0;
    plan.name = std::string(257, 'N');
    plan.label = std::string(515, 'L');
    ChannelFile file(KvdBuilder::ChannelBytes(plan, 11));
    CKVTAChannel channel;
    ASSERT_EQ(channel.Read(file.Reader(), 11), 0);
    EXPECT_EQ(channel.GetName(), std::string(257, 'N'));
    EXPECT_EQ(channel.GetLabel(), std::string(263, 'L'));
    EXPECT_EQ(channel.GetItemCount(), 2);  // the label ran into nothing
}

TEST(CKVTAChannel, BadItemCountsFailCleanly)
{
    struct Case
    {
        const char* name;
        int32_t count;
        size_t itemsWritten;
        int result;
        int itemsKept;
    };
    const Case cases[] = {
        {"three items, file ends after two", 3, 2, 2, 2},
        {"negative count", -2, 2, 2, 0},
        {"a billion items", 1000000000, 2, 2, 0},
        {"above 65535", 65536, 2, 2, 0},
        {"all there", 2, 2, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KvdChannelPlan plan = FullChannel();
        plan.itemCount = c.count;
        ChannelFile file(KvdBuilder::ChannelBytes(plan, 8));
        CKVTAChannel channel;
        EXPECT_EQ(channel.Read(file.Reader(), 8), c.result);
        EXPECT_EQ(channel.GetItemWord(c.itemsKept - 1), c.itemsKept ? c.itemsKept : -1);
        EXPECT_EQ(channel.GetItemWord(c.itemsKept), -1);
    }
    const std::vector<uint8_t> good = KvdBuilder::ChannelBytes(FullChannel(), 6);
    for (size_t cut : {size_t(0), size_t(100), size_t(791)}) {
        ChannelFile file(std::vector<uint8_t>(good.begin(), good.begin() + cut));
        CKVTAChannel channel;
        EXPECT_EQ(channel.Read(file.Reader(), 6), 2) << cut;
        EXPECT_FALSE(channel.HasRecord());
    }
}

TEST(CKVTAChannel, AnExtensionThatCannotBeReadFailsTheRecord)
{
    // The file is cut behind the record's base part after the reader measured it: the
    // extension's read fails, and the record must not be taken with a zeroed extension and the
    // position left in front of it.
    TempDir dir;
    KvdChannelPlan plan = FullChannel();
    plan.items.clear();
    WriteFileBytes(dir.File("c.bin"), KvdBuilder::ChannelBytes(plan, 6));
    FILE* file = fopen(dir.File("c.bin").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    CFileReader reader(file);
    ASSERT_EQ(reader.Length(), 1104u);
    ASSERT_EQ(truncate(dir.File("c.bin").c_str(), 792), 0);
    CKVTAChannel channel;
    EXPECT_EQ(channel.Read(reader, 6), 2);
    EXPECT_FALSE(channel.HasRecord());
    fclose(file);
}

TEST(CKVTAChannel, CloneWritesAFullRecordThatReadsBack)
{
    TempDir dir;
    for (uint16_t kind : {0, 1, 2}) {
        SCOPED_TRACE(kind);
        KvdChannelPlan plan = FullChannel();
        plan.kind = kind;
        ChannelFile in(KvdBuilder::ChannelBytes(plan, 6));
        CKVTAChannel original;
        ASSERT_EQ(original.Read(in.Reader(), 6), 0);
        original.SetMergeId(7);
        original.SetMergeColumn(3);
        const auto copy = original.Clone();
        EXPECT_EQ(copy->GetKind(), 2);   // written as a full record of the current version
        EXPECT_EQ(std::make_pair(copy->GetMergeId(), copy->GetMergeColumn()), std::make_pair(7, 3));
        EXPECT_EQ(copy->GetWriteSize(), 1104u + 16u);

        FILE* out = fopen(dir.File("w.bin").c_str(), "wb");
        ASSERT_EQ(copy->Write(out), 0);
        fclose(out);
        ChannelFile back(ReadFileBytes(dir.File("w.bin")));
        CKVTAChannel reread;
        ASSERT_EQ(reread.Read(back.Reader(), 11), 0);
        EXPECT_EQ(reread.Record(), copy->Record());
        EXPECT_EQ(reread.GetName() + " " + std::to_string(reread.GetItemValue(0)), original.GetName() + " -5");
        EXPECT_EQ(back.Reader().Tell(), 1120u);
    }
    CKVTAChannel channel;
    EXPECT_EQ(channel.Write(nullptr), 1);
}
