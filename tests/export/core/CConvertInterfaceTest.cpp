#include "export/core/CConvertInterface.h"

#include <gtest/gtest.h>

#include <utility>

#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace {

// Records what the frame asks of a converter and reads through the shared readers.
class CProbeConverter : public CConvertInterface
{
public:
    using CConvertInterface::CConvertInterface;
    using CConvertInterface::ReadContinuousRawData;

    const char* GetFileExtension() const override { return "tst"; }
    const char* GetTaskOption() const override { return "-test"; }
    bool OpenOutputFile(const std::string& path) override
    {
        opened.push_back(path);
        isOpen = true;
        return true;
    }
    bool CloseOutputFile() override
    {
        const bool was = isOpen;
        isOpen = false;
        ++closes;
        return was;
    }
    int WriteContinuousData(int64_t*, bool, bool) override
    {
        return ForEachContinuousBlock([this](int64_t from, int64_t to) {
            blocks.emplace_back(from, to);
            return 0;
        }, true);
    }
    int WriteSweepData(unsigned sweep, int*, int64_t*, bool newOutput, bool firstSweep) override
    {
        sweeps.push_back(sweep);
        flags.emplace_back(newOutput, firstSweep);
        return 0;
    }
    void ReportError(const std::string& text) override { messages.push_back(text); }

    std::vector<std::string> opened;
    bool isOpen = false;
    int closes = 0;
    std::vector<std::pair<int64_t, int64_t>> blocks;
    std::vector<unsigned> sweeps;
    std::vector<std::pair<bool, bool>> flags;
    std::vector<std::string> messages;
};

CKVDataSelection::Entry Entry(const std::string& stream, const std::string& channel)
{
    CKVDataSelection::Entry entry;
    entry.streamName = stream;
    entry.channelName = channel;
    entry.value = 10000;
    return entry;
}

struct Progress
{
    std::vector<std::pair<int, std::string>> calls;
    int cancelAfter = -1;   // answer nonzero on this call (0-based)
    static int Callback(void* context, int percent, const char* text)
    {
        auto* self = static_cast<Progress*>(context);
        self->calls.emplace_back(percent, text);
        return static_cast<int>(self->calls.size()) - 1 == self->cancelAfter;
    }
};

// An opened recording with a selection of every channel of its first stream.
struct Opened
{
    TempDir dir;
    KvdRecordingPlan plan;
    CKVD kvd;
    CKVDataSelection selection;

    explicit Opened(const KvdRecordingPlan& p) : plan(p)
    {
        EXPECT_TRUE(WriteKvdRecording(plan, dir.File("in.kvd")));
        EXPECT_TRUE(kvd.Open(dir.File("in.kvd")));
        for (const std::string& channel : plan.streams[0].channels)
            selection.Add(Entry(plan.streams[0].name, channel));
    }
};

KvdRawStreamPlan AnalogStream()
{
    KvdRawStreamPlan analog;
    analog.name = "Analog Raw Data";
    analog.id = "anlg0001";
    analog.channels = {"A1", "A2", "A3"};
    analog.adcZero = 2048;
    return analog;
}

} // namespace

TEST(CConvertInterface, SweepFileNamesChangeOnlyTheFileName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"out.raw", "out_sweep3.raw"},
        {"a.b.raw", "a.b_sweep3.raw"},
        {"out", "out_sweep3"},
        {"../data/run.1/x.raw", "../data/run.1/x_sweep3.raw"},
        {"./dir.d/out", "./dir.d/out_sweep3"},
        {"/abs/x.", "/abs/x_sweep3."},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CConvertInterface::SweepFileName(name, 3), expected);
    }
    EXPECT_EQ(CConvertInterface::SweepFilePattern("../run.1/x.y.txt"), "../run.1/x.y_sweep*.txt");
    EXPECT_EQ(CConvertInterface::SweepFilePattern("dir.d/out"), "dir.d/out_sweep*");
}

TEST(CConvertInterface, CollectsStreamNamesAndTellsWritableKinds)
{
    CKVDataSelection selection;
    CProbeConverter converter(nullptr, &selection);
    selection.Add(Entry("A", "1"));
    selection.Add(Entry("A", "2"));
    std::vector<std::string> names;
    EXPECT_FALSE(converter.CollectSelectedStreamNames(names));
    EXPECT_EQ(names, std::vector<std::string>({"A"}));
    selection.Add(Entry("B", "1"));
    names.clear();
    EXPECT_TRUE(converter.CollectSelectedStreamNames(names));
    EXPECT_EQ(names, std::vector<std::string>({"A", "B"}));

    EXPECT_TRUE(CConvertInterface::IsWritableRawStream("Electrode Raw Data"));
    EXPECT_TRUE(CConvertInterface::IsWritableRawStream("Digital Data"));
    EXPECT_TRUE(CConvertInterface::IsWritableRawStream("Filtered Data 2"));
    EXPECT_FALSE(CConvertInterface::IsWritableRawStream("Digital Data Event"));
    EXPECT_FALSE(CConvertInterface::IsWritableRawStream("Spikes 1"));
}

// Nothing is opened for an empty selection or a sweep range the recording does not have.
TEST(CConvertInterface, RefusesBeforeOpening)
{
    KvdRecordingPlan plan;
    plan.triggered = true;
    Opened in(plan);
    CKVDataSelection empty;
    CProbeConverter none(&in.kvd, &empty);
    EXPECT_EQ(none.Convert(nullptr, nullptr, true, true), kConvertNoChannels);
    EXPECT_TRUE(none.opened.empty());

    const std::pair<unsigned, unsigned> ranges[] = {{0, 0}, {0, 2}, {1, 4}, {3, 2}};
    for (const auto& [first, last] : ranges) {
        SCOPED_TRACE(testing::Message() << first << ".." << last);
        CProbeConverter converter(&in.kvd, &in.selection);
        converter.SetSweepRange(first, last);
        EXPECT_EQ(converter.Convert(nullptr, nullptr, true, true), kConvertReported);
        EXPECT_TRUE(converter.opened.empty());
        EXPECT_TRUE(converter.sweeps.empty());
        EXPECT_EQ(converter.messages.size(), 1u);
    }
}

TEST(CConvertInterface, SweepFramesOpenWriteReportAndCancel)
{
    KvdRecordingPlan plan;
    plan.triggered = true;
    Opened in(plan);
    ASSERT_EQ(in.kvd.GetStreamFile().GetSweepCount(), 3);
    const std::string out = in.dir.File("o.ut/x.tst");
    {
        SCOPED_TRACE("one file per sweep, sweep 3 only");
        CProbeConverter c(&in.kvd, &in.selection);
        Progress progress;
        c.SetProgressCallback(&Progress::Callback, &progress);
        c.SetOutputName(out);
        c.SetSingleOutput(false);
        c.SetSweepRange(3, 3);
        EXPECT_EQ(c.Convert(nullptr, nullptr, true, true), kConvertOk);
        EXPECT_EQ(c.opened, std::vector<std::string>({in.dir.File("o.ut/x_sweep3.tst")}));
        EXPECT_EQ(c.sweeps, std::vector<unsigned>({2}));
        EXPECT_EQ(progress.calls, (std::vector<std::pair<int, std::string>>{{100, "Sweep 3"}}));
        EXPECT_FALSE(c.isOpen);
    }
    {
        SCOPED_TRACE("all sweeps into one file");
        CProbeConverter c(&in.kvd, &in.selection);
        Progress progress;
        c.SetProgressCallback(&Progress::Callback, &progress);
        c.SetOutputName(out);
        c.SetSweepRange(1, 3);
        EXPECT_EQ(c.Convert(nullptr, nullptr, true, false), kConvertOk);
        EXPECT_EQ(c.opened.size(), 1u);
        EXPECT_EQ(c.sweeps, std::vector<unsigned>({0, 1, 2}));
        // New output only for the first sweep; first sweep only with the first input.
        EXPECT_EQ(c.flags, (std::vector<std::pair<bool, bool>>{{true, false}, {false, false}, {false, false}}));
        ASSERT_EQ(progress.calls.size(), 3u);
        EXPECT_EQ(progress.calls[1].first, 50);
        EXPECT_EQ(progress.calls[2].first, 100);
    }
    {
        SCOPED_TRACE("cancel after the first sweep");
        CProbeConverter c(&in.kvd, &in.selection);
        Progress progress;
        progress.cancelAfter = 0;
        c.SetProgressCallback(&Progress::Callback, &progress);
        c.SetOutputName(out);
        c.SetSweepRange(1, 3);
        EXPECT_EQ(c.Convert(nullptr, nullptr, true, true), kConvertCancelled);
        EXPECT_EQ(c.sweeps, std::vector<unsigned>({0}));
        EXPECT_FALSE(c.isOpen);
    }
}

TEST(CConvertInterface, ContinuousBlocksAndProgress)
{
    struct Case
    {
        int chunks;
        std::vector<std::pair<int64_t, int64_t>> blocks;
        std::vector<int> percents;
    };
    const Case cases[] = {
        {20, {{0, 1000000}, {1000000, 2000000}}, {50, 100}},
        {5, {{0, 500000}}, {100}},
        {25, {{0, 1000000}, {1000000, 2000000}, {2000000, 2500000}}, {40, 80, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chunks);
        KvdRecordingPlan plan;
        plan.chunks = c.chunks;
        Opened in(plan);
        CProbeConverter converter(&in.kvd, &in.selection);
        Progress progress;
        converter.SetProgressCallback(&Progress::Callback, &progress);
        converter.SetOutputName(in.dir.File("x.tst"));
        EXPECT_EQ(converter.Convert(nullptr, nullptr, true, true), kConvertOk);
        EXPECT_EQ(converter.blocks, c.blocks);
        std::vector<int> percents;
        for (const auto& call : progress.calls) {
            percents.push_back(call.first);
            EXPECT_EQ(call.second, "Raw data streams");
        }
        EXPECT_EQ(percents, c.percents);
        EXPECT_EQ(converter.closes, 1);
    }
}

// Columns follow the selection across streams, and a channel the stream lacks reads as zeros
// (every byte is checked through the binary export). The rows of a missing chunk hold 0 V in
// its stream's columns, so later rows keep their time, and are named once the walk ends; a
// recording whose header stop lies past its data ends where the data end, without a message.
TEST(CConvertInterface, ReadersKeepRowsAndColumnsInPlace)
{
    KvdRecordingPlan plan;
    plan.streams.push_back(AnalogStream());
    plan.dropChunks = {13};
    plan.stopExtraUs = 30000;
    Opened in(plan);
    CKVDataSelection selection;
    selection.Add(Entry("Analog Raw Data", "A3"));
    selection.Add(Entry("Electrode Raw Data", "99"));
    selection.Add(Entry("Electrode Raw Data", "12"));
    CProbeConverter c(&in.kvd, &selection);
    std::vector<uint16_t> out;
    int rows = 0;
    ASSERT_TRUE(c.ReadContinuousRawData(500000, 1000000, out, rows, true));
    ASSERT_EQ(rows, 5000);
    EXPECT_EQ(out[3 * 4999], static_cast<uint16_t>(KvdRecordingSample(plan, 1, 2, 9999) - 2048));
    EXPECT_EQ(out[3 * 4999 + 1], 0);
    EXPECT_EQ(out[3 * 4999 + 2], static_cast<uint16_t>(KvdRecordingSample(plan, 0, 0, 9999) - 32768));

    EXPECT_TRUE(c.ReadContinuousRawData(1000000, 2000000, out, rows, false));
    EXPECT_EQ(rows, 10000);
    ASSERT_EQ(out.size(), 30000u);
    EXPECT_EQ(std::vector<uint16_t>(out.begin() + 3 * 2999, out.begin() + 3 * 3000),
              std::vector<uint16_t>({KvdRecordingSample(plan, 1, 2, 12999), 0, KvdRecordingSample(plan, 0, 0, 12999)}));
    EXPECT_EQ(std::vector<uint16_t>(out.begin() + 3 * 3000, out.begin() + 3 * 3001),
              std::vector<uint16_t>({2048, 32768, 32768}));
    EXPECT_EQ(std::vector<uint16_t>(out.end() - 3, out.end()),
              std::vector<uint16_t>({KvdRecordingSample(plan, 1, 2, 19999), 0, KvdRecordingSample(plan, 0, 0, 19999)}));
    EXPECT_TRUE(c.messages.empty());   // named when the walk ends
    in.kvd.GetStreamFile().SettleSweeps();
    EXPECT_EQ(in.kvd.GetRecordingStopTimeUs(), 2500000);
    EXPECT_TRUE(c.ReadContinuousRawData(2000000, 2500000, out, rows, false));
    EXPECT_EQ(rows, 5000);
    EXPECT_EQ(out[3 * 4999 + 2], KvdRecordingSample(plan, 0, 0, 24999));
    EXPECT_TRUE(c.messages.empty());
}
