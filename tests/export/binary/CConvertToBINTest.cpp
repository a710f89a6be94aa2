#include "export/binary/CConvertToBIN.h"

#include <gtest/gtest.h>

#include "export/core/VersionInfo.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "platform/CByteWriter.h"
#include "platform/CMessageReporter.h"
#include "tests/support/KvdLostHeads.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace {

struct Messages : CMessageReporter
{
    void Report(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

struct Column
{
    const char* stream;
    const char* channel;
    size_t planStream;     // index in the plan
    size_t planChannel;
};

// A recording of 2.5 s: electrodes "12", "13" (zero 32768) and analog "A1".."A3" (zero 2048).
KvdRecordingPlan TwoStreams()
{
    KvdRecordingPlan plan;
    plan.streams[0].voltsPerStep = 1.192e-7;
    KvdRawStreamPlan analog;
    analog.name = "Analog Raw Data";
    analog.id = "anlg0001";
    analog.channels = {"A1", "A2", "A3"};
    analog.adcZero = 2048;
    analog.voltsPerStep = 5.96e-8;
    plan.streams.push_back(analog);
    return plan;
}

struct Export
{
    TempDir dir;
    CKVD kvd;
    CKVDataSelection selection;
    Messages messages;
    std::unique_ptr<CConvertToBIN> converter;

    // `lostHeads` are chunks whose heads the file lost.
    Export(const KvdRecordingPlan& plan, const std::vector<Column>& columns,
           const std::vector<KvdChunkAt>& lostHeads = {})
    {
        EXPECT_TRUE(WriteKvdRecordingWithoutHeads(plan, dir.File("in.kvd"), lostHeads));
        EXPECT_TRUE(kvd.Open(dir.File("in.kvd")));
        for (const Column& c : columns) {
            CKVDataSelection::Entry entry;
            entry.streamName = c.stream;
            entry.channelName = c.channel;
            entry.value = plan.rateHz;
            selection.Add(std::move(entry));
        }
        converter = std::make_unique<CConvertToBIN>(&kvd, &selection);
        converter->SetReporter(&messages);
        converter->SetOutputName(dir.File("out.raw"));
        const int sweeps = kvd.GetStreamFile().GetSweepCount();
        converter->SetSweepRange(1, static_cast<unsigned>(sweeps));
    }
    int Run() { return converter->Convert(nullptr, nullptr, true, true); }
};

// Rows of the given frames as the file must hold them (little-endian values).
void AppendRows(std::vector<uint8_t>& bytes, const KvdRecordingPlan& plan, const std::vector<Column>& columns,
                uint64_t firstFrame, uint64_t frames, bool toSigned)
{
    CByteWriter out(bytes);
    for (uint64_t f = firstFrame; f < firstFrame + frames; ++f)
        for (const Column& c : columns) {
            const uint16_t zero = toSigned ? plan.streams[c.planStream].adcZero : 0;
            out.Put<uint16_t>(static_cast<uint16_t>(KvdRecordingSample(plan, c.planStream, c.planChannel, f) - zero));
        }
}

std::string Text(const std::vector<uint8_t>& bytes, size_t size)
{
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(size, bytes.size())));
}

} // namespace

TEST(CConvertToBIN, HeadIsByteExact)
{
    const std::vector<Column> columns = {{"Electrode Raw Data", "12", 0, 0},
                                         {"Electrode Raw Data", "13", 0, 1},
                                         {"Analog Raw Data", "A1", 1, 0}};
    Export e(TwoStreams(), columns);
    e.converter->Options().WriteHeader = 1;
    ASSERT_EQ(e.Run(), kConvertOk);
    VersionInfo version;
    ASSERT_TRUE(version.LoadFromModule());
    const std::string head = "Sondrel binary conversion\r\nVersion " + version.GetFileVersionText()
                             + "\r\nKV_REC file = \"" + e.dir.File("in.kvd") + "\"\r\n"
                             + "Sample rate = 10000\r\nADC zero = 32768\r\n"
                             + "El = 0.1192\xB5V/AD;An = 0.0596\xB5V/AD\r\n"
                             + "Streams = El_12;El_13;An_A1\r\nEOH\r\n";
    const std::vector<uint8_t> bytes = ReadFileBytes(e.dir.File("out.raw"));
    EXPECT_EQ(Text(bytes, head.size()), head);
    EXPECT_EQ(bytes.size(), head.size() + 25000u * 3 * 2);
}

// Every byte of continuous exports: one stream read straight through, streams mixed in any
// column order, with and without the ADC zero taken off.
TEST(CConvertToBIN, ContinuousRowsAreExact)
{
    const KvdRecordingPlan plan = TwoStreams();
    const std::vector<std::vector<Column>> selections = {
        {{"Electrode Raw Data", "12", 0, 0}, {"Electrode Raw Data", "13", 0, 1}},
        {{"Analog Raw Data", "A3", 1, 2}, {"Electrode Raw Data", "12", 0, 0}, {"Analog Raw Data", "A1", 1, 0}},
    };
    for (const auto& columns : selections) {
        for (bool toSigned : {false, true}) {
            SCOPED_TRACE(testing::Message() << columns.size() << " columns, ToSigned " << toSigned);
            Export e(plan, columns);
            e.converter->Options().ToSigned = toSigned;
            ASSERT_EQ(e.Run(), kConvertOk);
            std::vector<uint8_t> expected;
            AppendRows(expected, plan, columns, 0, 25000, toSigned);
            EXPECT_TRUE(ReadFileBytes(e.dir.File("out.raw")) == expected);
            EXPECT_TRUE(e.messages.texts.empty());
        }
    }
}

TEST(CConvertToBIN, SweepsIntoOneFileOrOneFileEach)
{
    KvdRecordingPlan plan = TwoStreams();
    plan.triggered = true;
    plan.shortSweeps = {1};
    const std::vector<Column> columns = {{"Analog Raw Data", "A2", 1, 1}, {"Electrode Raw Data", "13", 0, 1}};
    const uint64_t rows[] = {2000, 1000, 2000};
    {
        SCOPED_TRACE("one file");
        Export e(plan, columns);
        ASSERT_EQ(e.Run(), kConvertOk);
        std::vector<uint8_t> expected;
        for (int s = 0; s < 3; ++s)
            AppendRows(expected, plan, columns, KvdSweepStartNs(plan, s) / 100000, rows[s], false);
        EXPECT_TRUE(ReadFileBytes(e.dir.File("out.raw")) == expected);
    }
    {
        SCOPED_TRACE("one file per sweep, each with its head");
        Export e(plan, columns);
        e.converter->SetSingleOutput(false);
        e.converter->Options().WriteHeader = 1;
        e.converter->Options().ToSigned = 1;
        ASSERT_EQ(e.Run(), kConvertOk);
        const std::string head = e.converter->BuildHeader();
        for (int s = 0; s < 3; ++s) {
            std::vector<uint8_t> expected(head.begin(), head.end());
            AppendRows(expected, plan, columns, KvdSweepStartNs(plan, s) / 100000, rows[s], true);
            EXPECT_TRUE(ReadFileBytes(e.dir.File("out_sweep" + std::to_string(s + 1) + ".raw")) == expected) << s;
        }
    }
}

// Rows a stream has no chunk for hold its 0-volt values, so later rows keep their time: a
// pause of every stream, a chunk one stream does not have, and a stream that ends a chunk
// before the others. The file shows nothing lost there, so nothing is named and the export
// is a success.
TEST(CConvertToBIN, RowsAStreamDoesNotHaveAreFilledAndNotNamed)
{
    KvdRecordingPlan plan = TwoStreams();
    plan.dropChunks = {4};
    plan.streams[1].missingSlots = {7, 24};
    const std::vector<Column> columns = {{"Electrode Raw Data", "12", 0, 0}, {"Analog Raw Data", "A1", 1, 0}};
    Export e(plan, columns);
    EXPECT_EQ(e.Run(), kConvertOk);
    EXPECT_TRUE(e.messages.texts.empty());
    std::vector<uint8_t> expected;
    AppendRows(expected, plan, columns, 0, 4000, false);
    CByteWriter zeros(expected);
    for (int k = 0; k < 1000; ++k)
        zeros.Put<uint16_t>(32768).Put<uint16_t>(2048);
    AppendRows(expected, plan, columns, 5000, 2000, false);
    CByteWriter out(expected);
    for (uint64_t f = 7000; f < 8000; ++f)
        out.Put<uint16_t>(KvdRecordingSample(plan, 0, 0, f)).Put<uint16_t>(2048);
    AppendRows(expected, plan, columns, 8000, 16000, false);
    for (uint64_t f = 24000; f < 25000; ++f)
        out.Put<uint16_t>(KvdRecordingSample(plan, 0, 0, f)).Put<uint16_t>(2048);
    EXPECT_TRUE(ReadFileBytes(e.dir.File("out.raw")) == expected);
}

// A chunk whose head the file lost is a hole of its stream: its rows are filled in that
// stream's columns only, the hole is named, and the export is no success.
TEST(CConvertToBIN, ALostChunkIsFilledAndNamed)
{
    KvdRecordingPlan plan = TwoStreams();
    plan.streams[1].missingSlots = {24};
    const std::vector<Column> columns = {{"Analog Raw Data", "A2", 1, 1}, {"Electrode Raw Data", "13", 0, 1}};
    Export e(plan, columns, {{"Analog Raw Data", 1000}});
    EXPECT_EQ(e.Run(), kConvertReported);
    EXPECT_EQ(e.messages.texts,
              std::vector<std::string>({"Data missing from 1.000 s to 1.100 s in Analog Raw Data: filled with 0 V."}));
    std::vector<uint8_t> expected;
    AppendRows(expected, plan, columns, 0, 10000, false);
    CByteWriter out(expected);
    for (uint64_t f = 10000; f < 11000; ++f)
        out.Put<uint16_t>(2048).Put<uint16_t>(KvdRecordingSample(plan, 0, 1, f));
    AppendRows(expected, plan, columns, 11000, 13000, false);
    for (uint64_t f = 24000; f < 25000; ++f)
        out.Put<uint16_t>(2048).Put<uint16_t>(KvdRecordingSample(plan, 0, 1, f));
    EXPECT_TRUE(ReadFileBytes(e.dir.File("out.raw")) == expected);
}

TEST(CConvertToBIN, FailuresAreReportedAndNeverSuccess)
{
    const std::vector<Column> raw = {{"Electrode Raw Data", "12", 0, 0}};
    {
        SCOPED_TRACE("digital events cannot be written: only the head");
        KvdRecordingPlan plan;
        KvdRawStreamPlan events;
        events.type = "digital";
        events.name = "Digital Data Event";
        events.id = "digi0001";
        events.channels = {"D1"};
        plan.streams.push_back(events);
        Export e(plan, {{"Electrode Raw Data", "12", 0, 0}, {"Digital Data Event", "D1", 1, 0}});
        e.converter->Options().WriteHeader = 1;
        EXPECT_EQ(e.Run(), kConvertIncompatible);
        EXPECT_EQ(ReadFileBytes(e.dir.File("out.raw")).size(), e.converter->BuildHeader().size());
    }
    {
        SCOPED_TRACE("the output is the input");
        Export e(KvdRecordingPlan(), raw);
        const std::vector<uint8_t> before = ReadFileBytes(e.dir.File("in.kvd"));
        e.converter->SetOutputName(e.dir.File("./in.kvd"));
        EXPECT_EQ(e.Run(), kConvertOpenFailed);
        EXPECT_TRUE(ReadFileBytes(e.dir.File("in.kvd")) == before);
        EXPECT_EQ(e.messages.texts, std::vector<std::string>({"Can not open Output file"}));
    }
    {
        SCOPED_TRACE("a full disk: the first write that fails is reported once");
        KvdRecordingPlan plan;
        plan.rateHz = 50000;
        plan.streams[0].channels = {"1", "2", "3", "4", "5", "6", "7", "8"};
        Export e(plan, raw);
        for (int c = 2; c <= 8; ++c) {
            CKVDataSelection::Entry entry;
            entry.streamName = "Electrode Raw Data";
            entry.channelName = std::to_string(c);
            e.selection.Add(std::move(entry));
        }
        e.selection.At(0)->channelName = "1";
        e.converter->SetOutputName("/dev/full");
        EXPECT_EQ(e.Run(), kConvertReported);
        EXPECT_EQ(e.messages.texts, std::vector<std::string>({"Can not write Output file"}));
    }
    {
        SCOPED_TRACE("streams of 10 kHz and 20 kHz: nothing written");
        KvdRecordingPlan plan = TwoStreams();
        plan.streams[1].rateHz = 20000;
        Export e(plan, {{"Electrode Raw Data", "12", 0, 0}, {"Analog Raw Data", "A1", 1, 0}});
        EXPECT_EQ(e.Run(), kConvertRatesDiffer);
        EXPECT_TRUE(ReadFileBytes(e.dir.File("out.raw")).empty());
    }
    {
        SCOPED_TRACE("a sweep whose streams disagree stops the conversion");
        KvdRecordingPlan plan = TwoStreams();
        plan.triggered = true;
        plan.streams[0].missingSlots = {3};   // the second chunk of sweep 2
        const std::vector<Column> columns = {{"Electrode Raw Data", "12", 0, 0}, {"Analog Raw Data", "A1", 1, 0}};
        Export e(plan, columns);
        EXPECT_EQ(e.Run(), kConvertReported);
        EXPECT_EQ(e.messages.texts, std::vector<std::string>({"Error reading sweep 2. Stopped conversion."}));
        std::vector<uint8_t> expected;
        AppendRows(expected, plan, columns, 0, 2000, false);
        EXPECT_TRUE(ReadFileBytes(e.dir.File("out.raw")) == expected);
    }
}

// Blocks are written on a helper thread while the next is read: a cancel after the first block
// still leaves that block whole in the file, and nothing after it.
TEST(CConvertToBIN, CancelKeepsTheBlocksHandedOver)
{
    const KvdRecordingPlan plan = TwoStreams();
    const std::vector<Column> columns = {{"Electrode Raw Data", "13", 0, 1}, {"Analog Raw Data", "A2", 1, 1}};
    Export e(plan, columns);
    e.converter->SetProgressCallback([](void*, int, const char*) { return 1; }, nullptr);
    EXPECT_EQ(e.Run(), kConvertCancelled);
    std::vector<uint8_t> expected;
    AppendRows(expected, plan, columns, 0, static_cast<uint64_t>(plan.rateHz), false);
    EXPECT_TRUE(ReadFileBytes(e.dir.File("out.raw")) == expected);
    EXPECT_TRUE(e.messages.texts.empty());
}
