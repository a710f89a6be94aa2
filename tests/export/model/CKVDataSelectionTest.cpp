#include "export/model/CKVDataSelection.h"

#include <gtest/gtest.h>

namespace {

CKVDataSelection::Entry MakeEntry(const std::string& stream, const std::string& channel, int bit, int id = -1)
{
    CKVDataSelection::Entry entry;
    entry.streamName = stream;
    entry.channelName = channel;
    entry.bit = bit;
    entry.channelId = id;
    return entry;
}

struct CountingObject : CKVDataSelection::CEntryObject
{
    explicit CountingObject(int& alive) : m_alive(alive) { ++m_alive; }
    ~CountingObject() override { --m_alive; }
    int& m_alive;
};

} // namespace

TEST(CKVDataSelection, RemoveMatchesNamesAndBitExactly)
{
    CKVDataSelection selection;
    selection.Add(MakeEntry("Digital Data", "D1", -1));
    selection.Add(MakeEntry("Digital Data", "D1", 3, 7));
    EXPECT_FALSE(selection.ContainsStream("Digital"));
    EXPECT_TRUE(selection.Remove("Digital Data", "D1", 3));
    EXPECT_FALSE(selection.Remove("Digital Data", "D1", 3));
    ASSERT_EQ(selection.GetCount(), 1);
    EXPECT_EQ(selection.At(0)->bit, -1);

    CKVDataSelection events;
    events.Add(MakeEntry("Digital Data Event", "D1", -1));
    EXPECT_FALSE(events.ContainsStream("Digital Data"));
    EXPECT_EQ(CKVDataSelection().GetFirstEntryValue(), 0);
}

TEST(CKVDataSelection, CopyKeepsOrderAndFieldsButNotObjects)
{
    int alive = 0;
    CKVDataSelection selection;
    for (int i = 0; i < 4; ++i) {
        auto& entry = selection.Add(MakeEntry("Electrode Raw Data", "El_" + std::to_string(i), -1, 10 + i));
        entry.value = 25000;
        entry.object = std::make_unique<CountingObject>(alive);
    }
    selection.Insert(0, MakeEntry("Analog Raw Data", "A1", -1, 60));
    {
        CKVDataSelection copy(selection);
        ASSERT_EQ(copy.GetCount(), 5);
        std::string stream, channel;
        ASSERT_TRUE(copy.GetEntry(1, stream, channel));
        EXPECT_EQ(channel, "El_0");
        EXPECT_EQ(copy.At(4)->channelId, 13);
        EXPECT_EQ(copy.At(4)->value, 25000);
        EXPECT_EQ(copy.At(4)->object, nullptr);
        EXPECT_FALSE(copy.GetEntry(5, stream, channel));
    }
    EXPECT_EQ(alive, 4); // the copy's end freed nothing of the original's
    selection.DeleteEntryObjects();
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(selection.GetCount(), 5);
}
