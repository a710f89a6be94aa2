#include "export/text/CConvertToASCII.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <functional>

#include "datafile/container/KvdFormat.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "platform/CByteWriter.h"
#include "platform/CMessageReporter.h"
#include "tests/datafile/settings/ParamRecordBytes.h"
#include "tests/datafile/settings/SettingsBytes.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdLostHeads.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace FH = Kvd::FileHeader;

namespace {

constexpr uint64_t T0 = kKvdDefaultStart;
constexpr uint64_t kMs = 1000000;

struct Reporter : CMessageReporter
{
    std::vector<std::string> messages;
    void Report(const std::string& text) override { messages.push_back(text); }
};

struct Result
{
    int rc = -1;
    std::string text;
    std::vector<std::string> messages;
    std::vector<std::pair<int, std::string>> progress;
};

int Record(void* context, int percent, const char* text)
{
    static_cast<Result*>(context)->progress.emplace_back(percent, text);
    return 0;
}

std::string ReadText(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Runs one conversion into `path` with the fast and with the plain formatting; both must write
// the very same bytes. Returns the fast run.
Result ConvertBoth(CKVD& kvd, CKVDataSelection& selection, const std::string& path,
           const std::function<void(CConvertToASCII&)>& setup = {})
{
    Result results[2];
    for (int plain = 0; plain < 2; ++plain) {
        Result& r = results[plain];
        Reporter reporter;
        CConvertToASCII converter(&kvd, &selection);
        converter.SetReporter(&reporter);
        converter.SetProgressCallback(&Record, &r);
        converter.SetPlainFormatting(plain != 0);
        converter.SetOutputName(path + (plain ? ".plain" : ""));
        const int sweeps = kvd.GetStreamFile().GetSweepCount();
        converter.SetSweepRange(1, static_cast<unsigned>(sweeps));
        if (setup)
            setup(converter);
        r.rc = converter.Convert(nullptr, nullptr, true, true);
        r.text = ReadText(path + (plain ? ".plain" : ""));
        r.messages = reporter.messages;
        selection.DeleteEntryObjects();
    }
    EXPECT_EQ(results[0].text, results[1].text);
    return results[0];
}

// The lines of a text file; every line must end in CR LF.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        EXPECT_NE(end, std::string::npos) << "unterminated last line";
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(at, end - at));
        EXPECT_EQ(lines.back().find('\n'), std::string::npos) << "bare line feed";
        at = end + 2;
    }
    return lines;
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

CKVDataSelection::Entry Entry(const std::string& stream, const std::string& channel, int bit = -1,
                              int channelId = -1, int rate = 10000)
{
    CKVDataSelection::Entry entry;
    entry.streamName = stream;
    entry.channelName = channel;
    entry.bit = bit;
    entry.channelId = channelId;
    entry.value = rate;
    return entry;
}

KvdRawStreamPlan RawStream(const std::string& type, const std::string& name, const std::string& id,
                           std::vector<std::string> channels, uint16_t zero)
{
    KvdRawStreamPlan s;
    s.type = type;
    s.name = name;
    s.id = id;
    s.channels = std::move(channels);
    s.adcZero = zero;
    return s;
}

struct Recording
{
    TempDir dir;
    KvdRecordingPlan plan;
    CKVD kvd;

    // `lostHeads` are chunks whose heads the file lost.
    explicit Recording(const KvdRecordingPlan& p, const std::string& name = "in.kvd",
                       const std::vector<KvdChunkAt>& lostHeads = {})
        : plan(p)
    {
        EXPECT_TRUE(WriteKvdRecordingWithoutHeads(plan, dir.File(name), lostHeads));
        EXPECT_TRUE(kvd.Open(dir.File(name)));
    }
};

} // namespace

TEST(CConvertToASCII, ChoosesTheWriterByTheKindsOfAllStreams)
{
    using C = CConvertToASCII;
    const std::pair<std::vector<std::string>, C::WriterKind> cases[] = {
        {{"Electrode Raw Data", "Digital Data", "Analog Raw Data 2", "Filtered Data"}, C::kRawWriter},
        {{"Digital Data 2"}, C::kRawWriter},
        {{"Electrode Raw Data", "Spikes 1"}, C::kNoWriter},
        {{"Spikes 1", "Spikes 2"}, C::kSpikeWriter},
        {{"Averager 1"}, C::kAveragerWriter},
        {{"Parameter 1"}, C::kParameterWriter},
        {{"Spike Parameter 1"}, C::kSpikeParameterWriter},
        {{"Burst Parameter"}, C::kBurstParameterWriter},
        {{"Parameter 1", "Averager 1"}, C::kNoWriter},
        {{"Trigger 1"}, C::kTriggerWriter},
        {{"Digital Data Event"}, C::kDigitalEventWriter},
        {{"Digital Data Event", "Digital Data"}, C::kNoWriter},
        {{}, C::kNoWriter},
    };
    for (const auto& [names, kind] : cases) {
        SCOPED_TRACE(testing::PrintToString(names));
        EXPECT_EQ(C::ChooseWriter(names), kind);
    }
}

// 2.5 s in one-second blocks: a time column and bit, whole-word and microvolt columns, with the
// head lines under a comment prefix that is written as data.
TEST(CConvertToASCII, ContinuousRawDataColumnsBlocksAndProgress)
{
    KvdRecordingPlan plan;
    plan.streams = {RawStream("analog", "Electrode Raw Data", "elec0001", {"12", "13"}, 32768),
                    RawStream("digital", "Digital Data", "digi0001", {"D1"}, 0),
                    RawStream("digital", "Digital Data 2", "digi0002", {"D1"}, 0)};
    Recording in(plan);
    CKVDataSelection selection;
    selection.Add(Entry("Electrode Raw Data", "12"));
    selection.Add(Entry("Digital Data", "D1", 3));
    selection.Add(Entry("Digital Data", "D1"));
    selection.Add(Entry("Digital Data 2", "D1"));
    const Result r = ConvertBoth(in.kvd, selection, in.dir.File("out.txt"), [](CConvertToASCII& c) {
        c.Options().CommentChar = 1;
        c.Options().CommentCharText = "%d";
    });
    ASSERT_EQ(r.rc, kConvertOk);
    const std::vector<std::string> lines = Lines(r.text);
    ASSERT_EQ(lines.size(), 4u + 25000u);
    EXPECT_EQ(lines[0], "%dSondrel ASCII conversion");
    EXPECT_EQ(lines[1], "%d");
    EXPECT_EQ(lines[2], "%dt           \tEl 12       \tDi D1 03    \tDi D1       \tDi D1       ");
    EXPECT_EQ(lines[3], "%d[ms]        \t[\xB5V]        \t[]          \t[]          \t[\xB5V]        ");
    for (int k : {0, 1, 9999, 10000, 17777, 24999}) {
        SCOPED_TRACE(k);
        const int64_t blockUs = k / 10000 * 1000000;
        const double time = static_cast<double>(blockUs) / 1000.0 + static_cast<double>(k % 10000) / 10000 * 1000.0;
        const uint16_t el = KvdRecordingSample(plan, 0, 0, static_cast<uint64_t>(k));
        const uint16_t di = KvdRecordingSample(plan, 1, 0, static_cast<uint64_t>(k));
        const uint16_t di2 = KvdRecordingSample(plan, 2, 0, static_cast<uint64_t>(k));
        EXPECT_EQ(lines[4 + static_cast<size_t>(k)],
                  Printf("%-12.3f\t%-12.2lf\t%-12d\t%-12.0lf\t%-12.2lf", time, (el - 32768) * (1e-7 * 1000000.0),
                         (di >> 3) & 1, static_cast<double>(di), di2 * (1e-7 * 1000000.0)));
    }
    EXPECT_EQ(lines[4].substr(0, 13), "0.000       \t");
    const std::vector<std::pair<int, std::string>> progress = {
        {40, "Raw data streams"}, {80, "Raw data streams"}, {100, "Raw data streams"}};
    EXPECT_EQ(r.progress, progress);
}

TEST(CConvertToASCII, EmptyRecordingWritesTheHeadOnlyAndOutputFailuresAreReported)
{
    KvdRecordingPlan plan;
    plan.chunks = 0;   // stop time = start time
    Recording in(plan);
    CKVDataSelection selection;
    selection.Add(Entry("Electrode Raw Data", "13"));
    const Result empty = ConvertBoth(in.kvd, selection, in.dir.File("empty.txt"));
    EXPECT_EQ(empty.rc, kConvertOk);
    EXPECT_EQ(empty.text, "Sondrel ASCII conversion\r\n\r\nt           \tEl 13       \r\n[ms]        \t[\xB5V]        \r\n");

    {
        SCOPED_TRACE("the rows of a lost chunk are left out, named, and the rest written");
        Recording broken(KvdRecordingPlan(), "in.kvd", {{"Electrode Raw Data", 1200}});
        const Result r = ConvertBoth(broken.kvd, selection, broken.dir.File("gap.txt"));
        EXPECT_EQ(r.rc, kConvertReported);
        const std::vector<std::string> lines = Lines(r.text);
        ASSERT_EQ(lines.size(), 4u + 25000u - 1000u);
        EXPECT_EQ(lines[4 + 11999].substr(0, 12), "1199.900    ");
        EXPECT_EQ(lines[4 + 12000].substr(0, 12), "1300.000    ");
        EXPECT_EQ(r.messages, std::vector<std::string>({"Data missing from 1.200 s to 1.300 s in Electrode Raw Data: not written."}));
    }
    {
        SCOPED_TRACE("a pause of the only stream leaves its rows out, with nothing lost to name");
        KvdRecordingPlan pause;
        pause.dropChunks = {12};
        Recording paused(pause);
        const Result r = ConvertBoth(paused.kvd, selection, paused.dir.File("pause.txt"));
        EXPECT_EQ(r.rc, kConvertOk);
        EXPECT_EQ(Lines(r.text).size(), 4u + 25000u - 1000u);
        EXPECT_TRUE(r.messages.empty());
    }
    {
        SCOPED_TRACE("no output open");
        CConvertToASCII converter(&in.kvd, &selection);
        int64_t offset = 0;
        EXPECT_EQ(converter.WriteContinuousData(&offset, true, true), kConvertOpenFailed);
    }
    {
        SCOPED_TRACE("a full disk");
        KvdRecordingPlan big;
        Recording long_(big);
        CKVDataSelection both;
        both.Add(Entry("Electrode Raw Data", "12"));
        both.Add(Entry("Electrode Raw Data", "13"));
        Reporter reporter;
        CConvertToASCII converter(&long_.kvd, &both);
        converter.SetReporter(&reporter);
        converter.SetOutputName("/dev/full");
        const int rc = converter.Convert(nullptr, nullptr, true, true);
        EXPECT_TRUE(rc == kConvertReported || rc == kConvertCloseFailed) << rc;
    }
}

namespace {

// 2.5 s of electrodes "12" and "13" and analog "A1" (zero 2048), without the chunks of the time
// slots (100 ms each) listed for each stream.
KvdRecordingPlan ElectrodesAndAnalog(std::vector<int> electrodesLack, std::vector<int> analogLacks)
{
    KvdRecordingPlan plan;
    plan.streams[0].missingSlots = std::move(electrodesLack);
    plan.streams.push_back(RawStream("analog", "Analog Raw Data", "anlg0001", {"A1"}, 2048));
    plan.streams[1].missingSlots = std::move(analogLacks);
    return plan;
}

CKVDataSelection ElectrodeAndAnalog()
{
    CKVDataSelection selection;
    selection.Add(Entry("Electrode Raw Data", "12"));
    selection.Add(Entry("Analog Raw Data", "A1"));
    return selection;
}

// True when `line` is a row whose analog cell (the last) is empty.
bool AnalogEmpty(const std::string& line)
{
    return std::count(line.begin(), line.end(), '\t') == 2 && line.back() == '\t';
}

} // namespace

// Rows a stream has no chunk for, with nothing lost there (a chunk it does not have, an end a
// chunk before the other stream's), keep their rows with that stream's cells empty, named
// nowhere: the export is a success.
TEST(CConvertToASCII, CellsAStreamDoesNotHaveAreLeftEmptyAndNotNamed)
{
    Recording in(ElectrodesAndAnalog({}, {12, 24}));
    CKVDataSelection selection = ElectrodeAndAnalog();
    const Result r = ConvertBoth(in.kvd, selection, in.dir.File("out.txt"));
    EXPECT_EQ(r.rc, kConvertOk);
    EXPECT_TRUE(r.messages.empty());
    const std::vector<std::string> lines = Lines(r.text);
    ASSERT_EQ(lines.size(), 4u + 25000u);
    for (size_t row : {11999u, 12000u, 12999u, 13000u, 23999u, 24000u, 24999u}) {
        const bool lacking = (row >= 12000 && row < 13000) || row >= 24000;
        EXPECT_EQ(AnalogEmpty(lines[4 + row]), lacking) << row;
    }
}

// Lost time is named as its rows are written: "left empty" where the other stream's values keep
// the rows, "not written" where the rows hold no value at all and are left out.
TEST(CConvertToASCII, LostTimeIsNamedLeftEmptyOrNotWritten)
{
    // The analog chunks at 1.0 s and 1.3 s lost their heads; the electrodes have no chunk at
    // 1.3 s. Three electrode channels keep the electrodes' frames from fitting the lost bytes.
    KvdRecordingPlan plan = ElectrodesAndAnalog({13}, {});
    plan.streams[0].channels = {"12", "13", "14"};
    Recording in(plan, "in.kvd", {{"Analog Raw Data", 1000}, {"Analog Raw Data", 1300}});
    CKVDataSelection selection = ElectrodeAndAnalog();
    const Result r = ConvertBoth(in.kvd, selection, in.dir.File("out.txt"));
    EXPECT_EQ(r.rc, kConvertReported);
    EXPECT_EQ(r.messages, std::vector<std::string>({"Data missing from 1.000 s to 1.100 s in Analog Raw Data: left empty.\n"
                                                    "Data missing from 1.300 s to 1.400 s in Analog Raw Data: not written."}));
    const std::vector<std::string> lines = Lines(r.text);
    ASSERT_EQ(lines.size(), 4u + 25000u - 1000u);
    for (size_t row : {9999u, 10000u, 10999u, 11000u, 12999u}) {
        EXPECT_EQ(AnalogEmpty(lines[4 + row]), row >= 10000 && row < 11000) << row;
    }
    EXPECT_EQ(lines[4 + 12999].substr(0, 12), "1299.900    ");
    EXPECT_EQ(lines[4 + 13000].substr(0, 12), "1400.000    ");
}

// Sweep blocks: the sweep header lines, the titles of a new output led by the sweep columns,
// one file per sweep, and the trigger times of the first and later sweeps.
TEST(CConvertToASCII, SweepBlocksFollowTheBlockFlags)
{
    KvdRecordingPlan plan;
    plan.triggered = true;
    plan.streams = {RawStream("analog", "Electrode Raw Data", "elec0001", {"12"}, 32768)};
    Recording in(plan);
    ASSERT_EQ(in.kvd.GetStreamFile().GetSweepCount(), 3);
    CKVDataSelection selection;
    selection.Add(Entry("Electrode Raw Data", "12"));
    const std::string titles = "nSweep      \tnTr-Time    \tt           \tEl 12       ";
    const std::string units = "            \t[ms]        \t[ms]        \t[\xB5V]        ";
    {
        SCOPED_TRACE("one output for all sweeps");
        const Result r = ConvertBoth(in.kvd, selection, in.dir.File("all.txt"));
        ASSERT_EQ(r.rc, kConvertOk);
        const std::vector<std::string> lines = Lines(r.text);
        ASSERT_EQ(lines.size(), 4u + 3 * 2000u);
        EXPECT_EQ(lines[2], titles);
        EXPECT_EQ(lines[3], units);
        EXPECT_EQ(lines[4].substr(0, 38), "1           \t-0.100      \t0.000       ");
        EXPECT_EQ(lines[4 + 2000].substr(0, 38), "2           \t500.000     \t500.000     ");
        EXPECT_EQ(lines[4 + 4001].substr(0, 38), "3           \t1000.000    \t1000.100    ");
    }
    {
        SCOPED_TRACE("sweep header lines");
        const Result r = ConvertBoth(in.kvd, selection, in.dir.File("head.txt"),
                             [](CConvertToASCII& c) { c.Options().SweepHeader = 1; });
        const std::vector<std::string> lines = Lines(r.text);
        ASSERT_EQ(lines.size(), 1u + 3 * (6u + 2000u));
        const std::vector<std::string> head(lines.begin() + 2007, lines.begin() + 2013);
        const std::vector<std::string> expected = {"", "Sweep = 2", "Trigger-Time = 500.000 ms", "",
                                                   "t           \tEl 12       ", "[ms]        \t[\xB5V]        "};
        EXPECT_EQ(head, expected);
        EXPECT_EQ(lines[2013].substr(0, 13), "500.000     \t");
    }
    {
        SCOPED_TRACE("one file per sweep");
        const Result r = ConvertBoth(in.kvd, selection, in.dir.File("per.txt"), [](CConvertToASCII& c) {
            c.SetSingleOutput(false);
            c.SetSweepRange(2, 3);
        });
        EXPECT_EQ(r.rc, kConvertOk);
        const std::vector<std::string> lines = Lines(ReadText(in.dir.File("per_sweep3.txt")));
        ASSERT_EQ(lines.size(), 4u + 2000u);
        EXPECT_EQ(lines[2], titles);
        EXPECT_EQ(lines[4].substr(0, 13), "3           \t");
    }
}

// An input that ends inside a sweep and the next input that holds its rest: one sweep number,
// one block, rows that go on.
TEST(CConvertToASCII, SweepSplitAcrossTwoInputsKeepsOneNumber)
{
    KvdRecordingPlan plan;
    plan.triggered = true;
    plan.sweeps = 2;
    plan.shortSweeps = {1};   // the second sweep stops after 100 of its 200 ms
    plan.streams = {RawStream("analog", "Electrode Raw Data", "elec0001", {"12", "13"}, 32768)};
    Recording first(plan);

    // The rest of the sweep: 100.1 ms from 600 ms on, so its trigger time is the same 500 ms.
    const uint64_t start = T0 + 600 * kMs;
    const uint64_t stop = start + 100 * kMs + 100000;
    KvdBuilder rest(11);
    rest.Set<int32_t>(FH::kSampleRate, 10000000).Set<int32_t>(FH::kRecordingMode, 1);
    rest.Set<uint64_t>(FH::kStartTime, start).Set<uint64_t>(FH::kRecordingTime, start).Set<uint64_t>(FH::kStopTime, stop);
    rest.Set<float>(FH::kWindowExtent, 200.0f).SetText(FH::kStartTriggerId, "trig0001");
    KvdStreamPlan trigger;
    trigger.bufferType = "trigger";
    trigger.name = "Trigger 1";
    trigger.id = "trig0001";
    trigger.channels.resize(1);
    KvdStreamPlan raw;
    raw.sampleRate = 10000000;
    raw.channels.resize(2);
    raw.channels[0].name = raw.channels[0].displayName = "12";
    raw.channels[1].name = raw.channels[1].displayName = "13";
    raw.channels[1].id = raw.channels[1].number = 1;
    rest.AddStream(trigger).AddStream(raw).AddChunk("elec0001", start, stop, KvdFrames(1001, 2));
    KvdIndexPlan index;
    index.sweeps = {{start, stop}};
    index.streamCount = 2;
    rest.AddIndex(index);
    CKVD second;
    ASSERT_TRUE(rest.WriteTo(first.dir.File("rest.kvd")));
    ASSERT_TRUE(second.Open(first.dir.File("rest.kvd")));

    CKVDataSelection selection;
    selection.Add(Entry("Electrode Raw Data", "13"));
    CConvertToASCII converter(&first.kvd, &selection);
    ASSERT_TRUE(converter.OpenOutputFile(first.dir.File("joined.txt")));
    int base = 0;
    int64_t offset = 0;
    converter.SetSweepRange(1, 2);
    ASSERT_EQ(converter.Convert(&base, &offset, false, true), kConvertOk);
    base += 2;
    converter.SetDataSource(&second);
    converter.SetSweepRange(1, 1);
    ASSERT_EQ(converter.Convert(&base, &offset, false, false), kConvertOk);
    ASSERT_TRUE(converter.CloseOutputFile());
    EXPECT_EQ(base, 1);

    const std::vector<std::string> lines = Lines(ReadText(first.dir.File("joined.txt")));
    ASSERT_EQ(lines.size(), 4u + 2000u + 1000u + 1001u);
    EXPECT_EQ(lines[4 + 2999].substr(0, 38), "2           \t500.000     \t599.900     ");
    EXPECT_EQ(lines[4 + 3000], "2           \t500.000     \t600.000     \t" + Printf("%-12.2lf", (1 - 32768) * (1e-7 * 1000000.0)));
}

namespace {

// ---- A recording of every event kind ----

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<uint8_t> Spike(uint64_t ms10, uint16_t channel, uint16_t unit, std::vector<uint16_t> samples)
{
    std::vector<uint8_t> b;
    CByteWriter out(b);
    out.Put<uint64_t>(T0 + ms10 * kMs / 10).Put<uint16_t>(channel).Put<uint32_t>(25).Put<uint16_t>(unit);
    out.Put<uint16_t>(0xFFFF).Put<int32_t>(static_cast<int32_t>(samples.size()));
    for (uint16_t s : samples)
        out.Put<uint16_t>(s);
    return b;
}

std::vector<uint8_t> Average(uint64_t ms, uint16_t channel, std::vector<uint16_t> samples)
{
    std::vector<uint8_t> b;
    CByteWriter out(b);
    out.Put<uint64_t>(T0 + ms * kMs).Put<uint16_t>(channel).Put<uint16_t>(0).Put<uint16_t>(0);
    out.Put<int32_t>(static_cast<int32_t>(samples.size()));
    for (uint16_t s : samples)
        out.Put<uint16_t>(s);
    return b;
}

std::vector<uint8_t> Analyser(const char* tag, std::vector<std::tuple<const char*, uint32_t, int32_t, int32_t>> quantities)
{
    SettingsBytes b;
    b.Tag(tag).U32(static_cast<uint32_t>(quantities.size()));
    for (const auto& [name, recorded, exponent, kind] : quantities)
        b.F32(0).F32(1).U32(recorded).F64(1.0).I32(exponent).I32(kind).Str32(name);
    b.U32(4).U32(1).U32(0).U32(0).U32(0).Str32("spks0001").U32(0);
    if (std::string(tag) == "PARAMBSP")
        b.I32(1).I32(2).I32(3).I32(4).I32(5);
    return b.Get();
}

KvdStreamPlan EventStream(const std::string& type, const std::string& name, const std::string& id,
                          std::vector<uint8_t> settings, int32_t rate = 25000000)
{
    KvdStreamPlan plan;
    plan.bufferType = type;
    plan.name = name;
    plan.id = id;
    plan.sampleRate = rate;
    plan.settings = std::move(settings);
    // Records name channels by id; the selection by number.
    const std::pair<int32_t, int32_t> channels[] = {{5, 2}, {6, 7}};
    for (const auto& [id, number] : channels) {
        KvdChannelPlan channel;
        channel.id = id;
        channel.number = number;
        channel.name = channel.displayName = "E" + std::to_string(number + 1);
        plan.channels.push_back(channel);
    }
    return plan;
}

// An entry to select: stream, channel, bit, channel number, rate in Hz.
struct Want
{
    std::string stream;
    std::string channel;
    int bit = -1;
    int channelId = -1;
    int rate = 25000;
};

struct EventRecording
{
    TempDir dir;
    CKVD kvd;

    EventRecording()
    {
        KvdBuilder b(11);   // continuous; stop time = start time: no duration to divide by
        b.Set<uint64_t>(FH::kStopTime, T0);
        b.AddStream(EventStream("spikes", "Spikes 1", "spks0001",
                                SettingsBytes().Tag("PARAMSPK").U32(0).U32(0).U32(0).F32(-5).U32(1000).U32(2000)
                                    .U32(3000).Str16("elec0001").U16(0).Get()));
        b.AddStream(EventStream("spikes", "Spikes 2", "spks0002", {}));
        b.AddStream(EventStream("average", "Averager 1", "mean0001",
                                SettingsBytes().Tag("PARAMEVP").U32(5).U32(4).Str32("w").Str32("t").U16(8)
                                    .F32(-20.0f).F32(80.0f).Get()));
        ParamRecord params;
        params.Select({8, 9, 10});
        KvdStreamPlan param = EventStream("params", "Parameter 1", "para0001", params.Bytes());
        param.channels[0].id = 0;
        param.channels[1].id = 1;
        b.AddStream(param);
        b.AddStream(EventStream("spkparam", "Spike Parameter 1", "spar0001",
                                Analyser("PARAMSPP", {{"ISI", 1, -3, 3}, {"Rate", 0, 0, 5}, {"Timestamp", 1, 0, 8}})));
        b.AddStream(EventStream("bstparam", "Burst Parameter 1", "bpar0001",
                                Analyser("PARAMBSP", {{"Marker", 1, 0, 8}, {"Spike Frequency", 1, 0, 5}, {"N", 0, 0, 6}})));
        b.AddStream(EventStream("trigger", "Trigger 1", "trig0001",
                                SettingsBytes().Tag("PARAMTRG").U32(0).U32(2).U32(0).U32(1).U32(5).I32(0).I32(0)
                                    .U32(0).I32(3).U32(0).Zeros(20).U8(0).U32(1).U32(1).Str32("").U32(1).U8(1).Get()));
        KvdStreamPlan digital = EventStream("digital", "Digital Data", "digi0001", {}, 2500000);
        digital.channels[0].name = digital.channels[0].displayName = "D1";
        digital.channels[1].name = digital.channels[1].displayName = "D2";
        b.AddStream(digital);

        b.AddChunk("spks0001", T0, T0 + 10 * kMs,
                   Join({Spike(10, 5, 1, {32778, 32748}), Spike(20, 6, 2, {32768}), Spike(30, 9, 3, {1})}));
        b.AddChunk("mean0001", T0, T0 + 200 * kMs, Join({Average(100, 6, {32768, 32778}), Average(150, 5, {0})}));
        std::vector<uint8_t> values;
        CByteWriter(values).Put<uint64_t>(T0 + 10 * kMs).Put<uint16_t>(7).Put<float>(2.5f).Put<float>(-1.25f)
            .Put<uint16_t>(9).Put<float>(0.5f).Put<float>(3.0f);
        b.AddChunk("para0001", T0, T0 + 20 * kMs, values);
        std::vector<uint8_t> spar;
        CByteWriter(spar).Put<uint64_t>(T0 + 40 * kMs).Put<uint16_t>(5).Put<uint16_t>(0).Put<uint16_t>(0)
            .Put<int64_t>(25000000).Put<float>(1.0f).Put<uint64_t>(T0 + 5 * kMs);
        b.AddChunk("spar0001", T0, T0 + 50 * kMs, spar);
        std::vector<uint8_t> bursts;
        CByteWriter(bursts).Put<uint64_t>(T0 + 1 * kMs).Put<uint16_t>(6).Put<uint16_t>(0).Put<uint16_t>(0)
            .Put<uint64_t>(T0 - 2 * kMs).Put<int64_t>(3000000).Put<int32_t>(4).Put<float>(12.5f);
        b.AddChunk("bpar0001", T0, T0 + 50 * kMs, bursts);
        std::vector<uint8_t> triggers;
        CByteWriter(triggers).Put<uint64_t>(T0 + 5 * kMs).Put<uint16_t>(3).Put<uint32_t>(0).Put<uint32_t>(4)
            .Put<uint32_t>(5);
        b.AddChunk("trig0001", T0, T0 + 10 * kMs, triggers);
        // D1 and D2 at 2.5 kHz, 40 frames (16 ms): bits 0 and 3 of D1 change, D2 changes once.
        std::vector<uint8_t> frames;
        CByteWriter out(frames);
        for (int f = 0; f < 40; ++f) {
            const uint16_t d1 = f < 2 ? 0 : f < 5 ? 1 : f < 9 ? 9 : f < 12 ? 0x8009 : 8;
            out.Put<uint16_t>(d1).Put<uint16_t>(f < 30 ? 0x00FF : 0x0F0F);
        }
        b.AddChunk("digi0001", T0, T0 + 16 * kMs, frames);
        EXPECT_TRUE(b.WriteTo(dir.File("events.kvd")));
        EXPECT_TRUE(kvd.Open(dir.File("events.kvd")));
    }

    Result Convert(const std::vector<Want>& wanted, int initialValue = 0)
    {
        CKVDataSelection selection;
        for (const Want& w : wanted)
            selection.Add(Entry(w.stream, w.channel, w.bit, w.channelId, w.rate));
        const Result r = ConvertBoth(kvd, selection, dir.File("out.txt"),
                             [&](CConvertToASCII& c) { c.Options().DigitalEventInitialValue = initialValue; });
        EXPECT_EQ(r.rc, kConvertOk);
        for (const auto& [percent, text] : r.progress)
            EXPECT_TRUE(percent >= 0 && percent <= 100) << percent << " " << text;
        return r;
    }
};

std::string Body(const Result& r)
{
    return r.text.substr(r.text.find("\r\n") + 2);
}

} // namespace

// Spikes, averages and the analyser streams: one block per entry in entry order, rows of the
// entry's channel only (a record of an unknown channel goes nowhere), an empty line after each
// record, and for a stream without records the head and one empty line.
TEST(CConvertToASCII, EventBlocksPerEntry)
{
    EventRecording in;
    const std::string mu = "[\xB5V]        ";
    const Result spikes = in.Convert({Want{"Spikes 1", "E8", -1, 7, 25000}, Want{"Spikes 2", "E3", -1, 2, 25000},
                                      Want{"Spikes 1", "E3", -1, 2, 25000}});
    EXPECT_EQ(Body(spikes),
              "\r\nt           \tSpikes 1 E8 \tUnit        \r\n[ms]        \t" + mu + "\t            \r\n"
              "1.000       \t0.00        \t2           \r\n\r\n"
              "\r\nt           \tSpikes 2 E3 \tUnit        \r\n[ms]        \t" + mu + "\t            \r\n\r\n"
              "\r\nt           \tSpikes 1 E3 \tUnit        \r\n[ms]        \t" + mu + "\t            \r\n"
              "0.000       \t1.00        \t1           \r\n0.040       \t-2.00       \t1           \r\n\r\n");

    const Result averages = in.Convert({Want{"Averager 1", "E8", -1, 7, 25000}});
    EXPECT_EQ(Body(averages), "\r\nt           \tAverager 1 E8\r\n[ms]        \t" + mu + "\r\n"
                              "80.000      \t0.00        \r\n80.040      \t1.00        \r\n\r\n");

    const Result spar = in.Convert({Want{"Spike Parameter 1", "E3", -1, 2, 25000}});
    EXPECT_EQ(Body(spar), "\r\n            \tSpike Parameter 1 E3\tSpike Parameter 1 E3\r\n"
                          "t           \tISI         \tTimestamp   \r\n[ms]        \t[ms]        \t[]          \r\n"
                          "40.000      \t25.000      \t5.000       \r\n");

    // A burst that began before the recording start has a negative time.
    const Result bursts = in.Convert({Want{"Burst Parameter 1", "E8", -1, 7, 25000}});
    EXPECT_NE(Body(bursts).find("\r\n-2.000      \t3.000       \t12.500      \r\n"), std::string::npos) << bursts.text;
}

TEST(CConvertToASCII, ParameterTriggerAndDigitalEventRows)
{
    EventRecording in;
    {
        SCOPED_TRACE("three quantities of two channels: seven columns");
        const Result r = in.Convert({Want{"Parameter 1", "E3", -1, 2, 25000}, Want{"Parameter 1", "E8", -1, 7, 25000}});
        const std::vector<std::string> lines = Lines(r.text);
        ASSERT_EQ(lines.size(), 6u);
        EXPECT_EQ(lines[3], "            \tNumber      \tRate        \tSlope       \tNumber      \tRate        \tSlope       ");
        EXPECT_EQ(lines[4], "[ms]        \t[]          \t[Hz]        \t[V/s]       \t[]          \t[Hz]        \t[V/s]       ");
        EXPECT_EQ(lines[5], "10.000      \t7.000       \t2.500       \t-1.250      \t9.000       \t0.500       \t3.000       ");
    }
    {
        SCOPED_TRACE("triggers with the two extra values");
        const Result r = in.Convert({Want{"Trigger 1", "E3", -1, 2, 25000}});
        EXPECT_EQ(Body(r), "\r\nChannel     \tEvent Time  \tInfo        \r\n            \t[ms]        \t            \r\n"
                           "Trigger 1   \t5.000       \t3           4           5           \r\n");
    }
    // Bits 0 and 3 of D1 (its entries apart) and the whole word of D2. Every channel has its own
    // previous value, so D2 makes no event at its first sample, and the rows go on past the
    // stop time to the last sample.
    const std::vector<Want> digital = {Want{"Digital Data Event", "D1", 0, -1, 2500},
                                                          Want{"Digital Data Event", "D2", -1, -1, 2500},
                                                          Want{"Digital Data Event", "D1", 3, -1, 2500}};
    const std::string rows =
        "Di_D1_00    \t0.800       \t1           \r\n"
        "Di_D1_03    \t2.000       \t1           \r\n"
        "Di_D1_00    \t4.800       \t0           \r\n"
        "Di_D2       \t12.000      \t3855        \r\n";
    {
        SCOPED_TRACE("digital events");
        const Result r = in.Convert(digital);
        EXPECT_EQ(Body(r), "\r\nChannel     \tEvent Time  \tValue       \r\n            \t[ms]        \t            \r\n" + rows);
    }
    {
        SCOPED_TRACE("digital events with initial values");
        const Result r = in.Convert(digital, 1);
        EXPECT_EQ(Lines(r.text).size(), 4u + 4u + 3u);
        EXPECT_NE(r.text.find("Di_D1_00    \t0.000       \t0           \r\nDi_D1_03    \t0.000       \t0           \r\n"
                              "Di_D1_00    \t0.800"), std::string::npos);
        EXPECT_NE(r.text.find("Di_D2       \t0.000       \t255         \r\nDi_D2       \t12.000"), std::string::npos);
    }
}

// Sweeps of 100 ms at 1000 ms and 1150 ms: a spike before the sweep is skipped, one past it
// waits for the next sweep, and a spike of another channel in the sweep's last moments does not
// end an entry's walk early.
TEST(CConvertToASCII, SpikeSweepsTakeTheRecordsOfTheirWindow)
{
    KvdBuilder b(11);
    b.Set<int32_t>(FH::kRecordingMode, 1).SetText(FH::kStartTriggerId, "trig0001");
    b.Set<float>(FH::kWindowExtent, 100.0f).Set<uint64_t>(FH::kStopTime, T0 + 1250 * kMs);
    KvdStreamPlan trigger;
    trigger.bufferType = "trigger";
    trigger.name = "Trigger 1";
    trigger.id = "trig0001";
    trigger.channels.resize(1);
    b.AddStream(trigger);
    b.AddStream(EventStream("spikes", "Spikes 1", "spks0001",
                            SettingsBytes().Tag("PARAMSPK").U32(0).U32(0).U32(0).F32(-5).U32(1000).U32(2000)
                                .U32(3000).Str16("elec0001").U16(0).Get()));
    b.AddChunk("spks0001", T0 + 900 * kMs, T0 + 1300 * kMs,
               Join({Spike(9900, 5, 1, {32778}), Spike(10500, 5, 1, {32778, 32748}), Spike(10990, 6, 2, {32768}),
                     Spike(10995, 5, 1, {32768}), Spike(12000, 5, 1, {32788})}));
    KvdIndexPlan index;
    index.sweeps = {{T0 + 1000 * kMs, T0 + 1100 * kMs}, {T0 + 1150 * kMs, T0 + 1250 * kMs}};
    index.streamCount = 2;
    b.AddIndex(index);
    TempDir dir;
    CKVD kvd;
    ASSERT_TRUE(b.WriteTo(dir.File("sweeps.kvd")));
    ASSERT_TRUE(kvd.Open(dir.File("sweeps.kvd")));
    CKVDataSelection selection;
    selection.Add(Entry("Spikes 1", "E3", -1, 2, 25000));
    selection.Add(Entry("Spikes 1", "E8", -1, 7, 25000));
    const Result r = ConvertBoth(kvd, selection, dir.File("out.txt"));
    ASSERT_EQ(r.rc, kConvertOk);

    const std::string title = "nSweep      \tnTr-Time    \tt           \tSpikes 1 E";
    const std::string sweep1 = "1           \t999.960     \t";
    const std::string sweep2 = "2           \t1150.000    \t";
    const std::string expected =
        title + "3 \tUnit        \r\n            \t[ms]        \t[ms]        \t[\xB5V]        \t            \r\n"
        + sweep1 + "1049.000    \t1.00        \t1           \r\n"
        + sweep1 + "1049.040    \t-2.00       \t1           \r\n\r\n"
        + sweep1 + "1098.500    \t0.00        \t1           \r\n\r\n"
        + title + "8 \tUnit        \r\n            \t[ms]        \t[ms]        \t[\xB5V]        \t            \r\n"
        + sweep1 + "1098.000    \t0.00        \t2           \r\n\r\n"
        + title + "3 \tUnit        \r\n            \t[ms]        \t[ms]        \t[\xB5V]        \t            \r\n"
        + sweep2 + "1199.000    \t2.00        \t1           \r\n\r\n"
        + title + "8 \tUnit        \r\n            \t[ms]        \t[ms]        \t[\xB5V]        \t            \r\n\r\n";
    EXPECT_EQ(Body(r), expected);
}

// 2.5 s of a digital stream in one block of samples: the progress reaches the end.
TEST(CConvertToASCII, DigitalEventProgressCountsMilliseconds)
{
    KvdRecordingPlan plan;
    plan.streams = {RawStream("digital", "Digital Data", "digi0001", {"D1"}, 0)};
    Recording in(plan);
    CKVDataSelection selection;
    selection.Add(Entry("Digital Data Event", "D1", 1));
    const Result r = ConvertBoth(in.kvd, selection, in.dir.File("out.txt"));
    ASSERT_EQ(r.rc, kConvertOk);
    ASSERT_FALSE(r.progress.empty());
    EXPECT_EQ(r.progress.back(), std::make_pair(100, std::string("Digital events")));
}
