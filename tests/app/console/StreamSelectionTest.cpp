#include "app/console/StreamSelection.h"

#include <gtest/gtest.h>

#include <tuple>

#include "app/console/CCmdLineParser.h"
#include "datafile/container/KvdFormat.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/model/CStreamChannelMap.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/TempDir.h"

namespace {

using EntryTuple = std::tuple<std::string, std::string, int, int>;  // stream, channel, id, bit

CStreamChannelMap::CStream MapStream(const std::string& name, const std::vector<uint16_t>& ids,
                                     const std::vector<std::string>& names)
{
    CStreamChannelMap::CStream stream;
    stream.m_name = name;
    stream.m_channelIds = ids;
    stream.m_channelNames = names;
    return stream;
}

CStreamChannelMap TestMap()
{
    CStreamChannelMap map;
    map.AddStream(MapStream("Electrode Raw Data", {0, 1, 2}, {"47", "48", "12"}));
    map.AddStream(MapStream("Digital Data", {63, 64}, {"D1", "D2"}));
    map.AddStream(MapStream("Analog Raw Data 2", {60}, {"A1"}));
    return map;
}

std::vector<EntryTuple> Entries(const CKVDataSelection& selection)
{
    std::vector<EntryTuple> out;
    for (int i = 0; i < selection.GetCount(); ++i) {
        const auto* e = selection.At(i);
        out.emplace_back(e->streamName, e->channelName, e->channelId, e->bit);
    }
    return out;
}

// Runs the selection over one command line; returns the result and the printed text.
int RunSelection(const char* line, const CStreamChannelMap& map, const CKVD* file, bool debug,
        CKVDataSelection& selection, std::string& printed)
{
    CCmdLineParser parser(line, false, true);
    testing::internal::CaptureStdout();
    const int rc = ParseSelection(parser, map, file, debug, selection);
    printed = testing::internal::GetCapturedStdout();
    return rc;
}

} // namespace

TEST(StreamSelection, ShortcutsExpandExactlyAndInOrder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"El", "Electrode Raw Data"},
        {"El2", "Electrode Raw Data 2"},
        {"El99999999999999999999", "Electrode Raw Data 99999999999999999999"},
        {"Di", "Digital Data"},
        {"DiEv", "Digital Data Event"},
        {"DiEv2", "Digital Data Event 2"},
        {"Sp", "Spikes"},
        {"SpPa", "Spikes Parameter"},
        {"Fi3x", "Filtered Data 3x"},
        {"Digital Data", "Digital Data"},
        {"el", "el"},
        {"El0", "El0"},
        {"El-2", "El-2"},
        {"", ""},
    };
    for (const auto& [typed, expected] : cases) {
        SCOPED_TRACE(typed);
        EXPECT_EQ(ExpandStreamShortcut(typed), expected);
    }
}

TEST(StreamSelection, ValuesBecomeEntriesOrRefusals)
{
    const CStreamChannelMap map = TestMap();
    struct Case
    {
        const char* line;
        int result;
        std::vector<EntryTuple> entries;
        const char* printed;
    };
    const Case cases[] = {
        {"-s El:all", 0,
         {{"Electrode Raw Data", "47", 0, -1}, {"Electrode Raw Data", "48", 1, -1},
          {"Electrode Raw Data", "12", 2, -1}},
         "Shortcut: El, expanded to: Electrode Raw Data.\n"
         "Selected Stream: Electrode Raw Data, Channels All\n"},
        {"-s Di:D2:3", 0, {{"Digital Data", "D2", 64, 3}},
         "Shortcut: Di, expanded to: Digital Data.\n"
         "Selected Stream: Digital Data, Channel D2, Bit: 3\n"},
        {"-s \"Digital Data:ALL:15\"", 0,
         {{"Digital Data", "D1", 63, 15}, {"Digital Data", "D2", 64, 15}},
         "Selected Stream: Digital Data, Channels All\n"},
        {"-s DiEv -s An2:", 0,
         {{"Digital Data Event", "D1", 63, -1}, {"Digital Data Event", "D2", 64, -1},
          {"Analog Raw Data 2", "A1", 60, -1}},
         "Shortcut: DiEv, expanded to: Digital Data Event.\n"
         "Selected Stream: Digital Data Event, Channels All\n"
         "Shortcut: An2, expanded to: Analog Raw Data 2.\n"
         "Selected Stream: Analog Raw Data 2, Channels All\n"},
        {"-s el:all", 1, {}, "Stream: el, Channels all does not exist\n"},
        {"-s Di:D1 -s Di:D9 -s El", 1, {{"Digital Data", "D1", 63, -1}},
         "Shortcut: Di, expanded to: Digital Data.\n"
         "Selected Stream: Digital Data, Channel D1\n"
         "Shortcut: Di, expanded to: Digital Data.\n"
         "Stream: Digital Data, Channel D9 does not exist\n"},
        {"-s \"Digital Data:D9:2\"", 1, {},
         "Stream: Digital Data, Channel D9, Bit: 2 does not exist\n"},
        {"-s \"Digital Data:D1:16\"", 1, {},
         "Stream: Digital Data, Channel D1, Bit: 16 does not exist\n"},
        {"-s \"Digital Data:all:-1\"", 1, {},
         "Stream: Digital Data, Channel all, Bit: -1 does not exist\n"},
        {"-s \"Digital Data:D1:x\"", 1, {},
         "Stream: Digital Data, Channel D1, Bit: x does not exist\n"},
        {"-s \"Digital Data:D1:99999999999\"", 1, {},
         "Stream: Digital Data, Channel D1, Bit: 2147483647 does not exist\n"},
        {"-i a.kvd", 0, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        CKVDataSelection selection;
        std::string printed;
        EXPECT_EQ(RunSelection(c.line, map, nullptr, false, selection, printed), c.result);
        EXPECT_EQ(Entries(selection), c.entries);
        EXPECT_EQ(printed, c.printed);
    }

    CKVDataSelection selection;
    std::string printed;
    EXPECT_EQ(RunSelection("-s Di:all:3", map, nullptr, true, selection, printed), 0);
    EXPECT_EQ(printed, "Shortcut: Di, expanded to: Digital Data.\n"
                       "Selected Stream: Digital Data, Channels All\n"
                       "Expanded to following channels:\n"
                       "Stream: Digital Data, Channel D1, Bit: 3\n"
                       "Stream: Digital Data, Channel D2, Bit: 3\n");
}

TEST(StreamSelection, WholeStreamsTakeLayoutNamesAndTheFirstFilesRate)
{
    namespace FH = Kvd::FileHeader;
    KvdStreamPlan electrodes;
    electrodes.sampleRate = 20000000;
    electrodes.channels.resize(2);
    electrodes.channels[0].name = electrodes.channels[0].displayName = "own12";
    electrodes.channels[0].number = 12;
    electrodes.channels[1].name = electrodes.channels[1].displayName = "own200";
    electrodes.channels[1].number = 200;  // beyond the layout's records
    KvdBuilder b(11);
    b.Set<int32_t>(FH::kLayoutKind, 1).Set<uint16_t>(FH::kTotalChannels, 64);
    b.AddStream(electrodes);
    TempDir dir;
    ASSERT_TRUE(b.WriteTo(dir.File("a.kvd")));
    CKVD kvd;
    ASSERT_TRUE(kvd.Open(dir.File("a.kvd")));
    CStreamChannelMap map;
    map.AddFileStreams(kvd.GetStreamFile());
    const std::string layoutName = kvd.GetStreamFile().GetLayout().GetSecondName(12);
    ASSERT_FALSE(layoutName.empty());

    CKVDataSelection selection;
    std::string printed;
    ASSERT_EQ(RunSelection("-s El -s El:own200", map, &kvd, false, selection, printed), 0);
    EXPECT_EQ(Entries(selection), (std::vector<EntryTuple> {
                                      {"Electrode Raw Data", layoutName, 12, -1},
                                      {"Electrode Raw Data", "own200", 200, -1},
                                      {"Electrode Raw Data", "own200", 200, -1}}));
    for (int i = 0; i < selection.GetCount(); ++i)
        EXPECT_EQ(selection.At(i)->value, 20000);
}
