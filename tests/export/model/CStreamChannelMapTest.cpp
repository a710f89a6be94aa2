#include "export/model/CStreamChannelMap.h"

#include <gtest/gtest.h>

#include <random>

#include "datafile/container/CKVTAStreamFile.h"
#include "export/model/CKVDataSelection.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/TempDir.h"

namespace {

using CStream = CStreamChannelMap::CStream;

CStream Stream(const std::string& name, std::vector<uint16_t> ids, int32_t rate = 10000000,
               const std::string& kind = "analog")
{
    CStream stream;
    stream.m_name = name;
    stream.m_kind = kind;
    stream.m_sampleRate = rate;
    for (uint16_t id : ids)
        stream.m_channelNames.push_back("C" + std::to_string(id));
    stream.m_channelIds = std::move(ids);
    return stream;
}

void Fill(CStreamChannelMap& map, const std::vector<CStream>& streams)
{
    for (const CStream& stream : streams)
        map.AddStream(stream);
}

CKVDataSelection::Entry Entry(const std::string& stream, int id)
{
    CKVDataSelection::Entry entry;
    entry.streamName = stream;
    entry.channelName = "x";
    entry.channelId = id;
    return entry;
}

// The selection sort written straight from its description, over the public comparator.
std::vector<std::string> ReferenceSort(std::vector<std::string> names)
{
    std::vector<std::string> out;
    while (!names.empty()) {
        size_t best = 0;
        for (size_t i = 1; i < names.size(); ++i) {
            if (!CStreamChannelMap::CompareChannelNames(names[best], names[i]))
                best = i;
        }
        out.push_back(names[best]);
        names.erase(names.begin() + best);
    }
    return out;
}

} // namespace

TEST(CStreamChannelMap, MergeCountsStreamAndChannelDifferences)
{
    const std::vector<CStream> base = {Stream("Electrode Raw Data", {0, 1, 2}),
                                       Stream("Trigger", {0}, 0, "trigger"),
                                       Stream("Analog Raw Data", {60, 61})};
    struct Case
    {
        const char* name;
        std::vector<CStream> second;
        int result;
        std::vector<std::string> streamsAfter;
    };
    const Case cases[] = {
        {"identical", base, 0, {"Electrode Raw Data", "Trigger", "Analog Raw Data"}},
        {"trigger missing", {base[0], base[2]}, 10000, {"Electrode Raw Data", "Analog Raw Data"}},
        {"analog rate differs", {base[0], base[1], Stream("Analog Raw Data", {60, 61}, 20000000)},
         20000, {"Electrode Raw Data", "Trigger"}},
        {"two more electrodes", {Stream("Electrode Raw Data", {0, 1, 2, 7, 5}), base[1], base[2]},
         2, {"Electrode Raw Data", "Trigger", "Analog Raw Data"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CStreamChannelMap set, first, second;
        Fill(first, base);
        Fill(second, c.second);
        EXPECT_EQ(set.Merge(first, true), 0);
        EXPECT_EQ(set.Merge(second, false), c.result);
        std::vector<std::string> names;
        for (int i = 0; i < set.GetStreamCount(); ++i)
            names.push_back(set.GetStream(i)->m_name);
        EXPECT_EQ(names, c.streamsAfter);
    }

    // Merged channels: own ids stay, the other file's new ids follow in its order with names.
    CStreamChannelMap set, first, second;
    Fill(first, {Stream("Electrode Raw Data", {0, 1, 2})});
    Fill(second, {Stream("Electrode Raw Data", {2, 9, 4})});
    set.Merge(first, true);
    EXPECT_EQ(set.Merge(second, false), 4);
    const CStream* merged = set.GetStream(0);
    EXPECT_EQ(merged->m_channelIds, (std::vector<uint16_t> {0, 1, 2, 9, 4}));
    EXPECT_EQ(merged->m_channelNames.back(), "C4");
    // A third file like the second adds nothing new, but still misses ids 0 and 1.
    EXPECT_EQ(set.Merge(second, false), 2);
}

TEST(CStreamChannelMap, LookupsAndRemovingWhatAFileLacks)
{
    CStreamChannelMap map;
    Fill(map, {Stream("Digital Data", {63}, 10000000, "digital"),
               Stream("Trigger", {1}, 0, "trigger"),
               Stream("Digital Data", {64}, 20000000, "digital")});
    map.AddStream(Stream("Spikes", {}, 0, "spikes"));

    std::vector<uint16_t> ids = {99};
    map.GetChannelIds("Digital Data Event", ids);
    EXPECT_EQ(ids, std::vector<uint16_t> {63});
    map.GetChannelIds("digital data", ids);
    EXPECT_TRUE(ids.empty());
    EXPECT_EQ(map.GetChannelId("Digital Data Event", "C63"), 63);
    EXPECT_EQ(map.GetChannelId("Digital Data", "C64"), -1);   // only the first stream is asked
    EXPECT_EQ(map.GetChannelId("Digital", "C63"), -1);

    std::vector<std::string> names;
    EXPECT_FALSE(map.GetChannelNames("Digital Data Event", names));
    EXPECT_TRUE(map.GetChannelNames("Digital Data", names));
    EXPECT_EQ(names, (std::vector<std::string> {"C63", "C64"}));

    std::vector<std::string> kinds;
    EXPECT_TRUE(map.GetStreamKinds(kinds));
    EXPECT_EQ(kinds, (std::vector<std::string> {"digital", "digitalevent", "trigger", "digital",
                                                "digitalevent", "spikes"}));
    EXPECT_TRUE(map.HasRawDataStream());
    EXPECT_TRUE(map.HasTriggerStream());
    EXPECT_TRUE(map.HasSpikeStream());
    EXPECT_FALSE(map.HasAverageStream());
    EXPECT_FALSE(CStreamChannelMap().GetStreamKinds(kinds));

    CKVDataSelection selection;
    selection.Add(Entry("Digital Data Event", 63));   // kept
    selection.Add(Entry("Digital Data", 64));         // the first "Digital Data" lacks 64
    selection.Add(Entry("Trigger", 12345));           // trigger entries stay whatever the id
    selection.Add(Entry("Analog Raw Data", 0));       // no such stream
    selection.Add(Entry("Digital Data", -1));         // -1 is no channel, not id 65535
    selection.Add(Entry("Digital Data", 65599));      // not a 16-bit id
    EXPECT_EQ(map.RemoveUnavailable(selection), 4);
    ASSERT_EQ(selection.GetCount(), 2);
    EXPECT_EQ(selection.At(0)->streamName, "Digital Data Event");
    EXPECT_EQ(selection.At(1)->streamName, "Trigger");
}

TEST(CStreamChannelMap, ChannelNamesSortForDisplay)
{
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{"10", "2", "A3", "A1"}, {"2", "10", "A1", "A3"}},
        {{"D1", "D10", "D2"}, {"D1", "D10", "D2"}},
        {{"A12", "El", "A2", "99999999999999999999", "7"},
         {"7", "El", "99999999999999999999", "A2", "A12"}},
        {{}, {}},
    };
    for (const auto& [input, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(input));
        std::vector<std::string> names = input;
        CStreamChannelMap::SortChannelNames(names);
        EXPECT_EQ(names, expected);
    }

    // Random mixtures, where the comparator is not a strict weak order: the fast sort gives the
    // very order of the plain selection sort.
    std::mt19937 random(7);
    const char* prefixes[] = {"", "A", "D", "E", "0", "-", " "};
    for (int round = 0; round < 20; ++round) {
        std::vector<std::string> names;
        for (int i = 0; i < 60; ++i) {
            std::string name = prefixes[random() % 7];
            if (random() % 4)
                name += std::to_string(random() % 30);
            names.push_back(name);
        }
        std::vector<std::string> sorted = names;
        CStreamChannelMap::SortChannelNames(sorted);
        ASSERT_EQ(sorted, ReferenceSort(names)) << "round " << round;
    }

    CStreamChannelMap map;
    map.AddStream(Stream("S", {}));
    CStream second = Stream("S", {});
    second.m_channelNames = {"A1", "1"};
    map.AddStream(second);
    std::vector<std::string> names = {"first"};
    EXPECT_TRUE(map.GetSortedChannelNames("S", names));
    EXPECT_EQ(names, (std::vector<std::string> {"first", "1", "A1"}));
}

TEST(CStreamChannelMap, BuiltFromAFileByChannelNumber)
{
    KvdStreamPlan electrodes;
    electrodes.channels.resize(2);
    electrodes.channels[0].name = electrodes.channels[0].displayName = "47";
    electrodes.channels[0].id = 3;
    electrodes.channels[0].number = 12;
    electrodes.channels[1].name = electrodes.channels[1].displayName = "48";
    electrodes.channels[1].id = 4;
    electrodes.channels[1].number = 13;
    KvdStreamPlan spikes;
    spikes.bufferType = "spikes";
    spikes.name = "Spikes";
    spikes.id = "spks0001";
    spikes.sampleRate = 1234567;
    KvdBuilder b(11);
    b.AddStream(electrodes).AddStream(spikes);
    TempDir dir;
    ASSERT_TRUE(b.WriteTo(dir.File("a.kvd")));
    CKVTAStreamFile file;
    ASSERT_EQ(file.Open(dir.File("a.kvd")), CKVTAStreamFile::kOpenOk);

    CStreamChannelMap map;
    map.AddFileStreams(file);
    ASSERT_EQ(map.GetStreamCount(), 2);
    const CStream* raw = map.GetStream(0);
    EXPECT_EQ(raw->m_name, "Electrode Raw Data");
    EXPECT_EQ(raw->m_kind, "analog");
    EXPECT_EQ(raw->m_channelIds, (std::vector<uint16_t> {12, 13}));
    EXPECT_EQ(raw->m_channelNames, (std::vector<std::string> {"47", "48"}));
    EXPECT_EQ(raw->m_sampleRate, 25000000);
    EXPECT_EQ(map.GetStream(1)->m_sampleRate, 1234567);
    EXPECT_TRUE(map.HasSpikeStream());
}
