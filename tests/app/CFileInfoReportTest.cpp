#include "app/CFileInfoReport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "datafile/container/KvdFormat.h"
#include "datafile/layout/CKVLayout.h"
#include "export/model/CKVD.h"
#include "tests/datafile/settings/ParamRecordBytes.h"
#include "tests/datafile/settings/SettingsBytes.h"
#include "tests/datafile/settings/SettingsRecords.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace FH = Kvd::FileHeader;

namespace {

KvdStreamPlan Stream(const std::string& type, const std::string& name, const std::string& id,
                     int channels, std::vector<uint8_t> settings = {})
{
    KvdStreamPlan plan;
    plan.bufferType = type;
    plan.name = name;
    plan.id = id;
    plan.settings = std::move(settings);
    for (int i = 0; i < channels; ++i) {
        KvdChannelPlan channel;
        channel.id = channel.number = i;
        channel.name = channel.displayName = "E" + std::to_string(i + 1);
        plan.channels.push_back(channel);
    }
    return plan;
}

// A trigger record of stream header version 8 from a program that stores the parameter part.
std::vector<uint8_t> Trigger(const std::string& input, int32_t hwid, uint8_t digital, uint8_t parameter)
{
    SettingsBytes b;
    b.Tag("PARAMTRG").U32(0).U32(2).U32(0).U32(1).U32(5).I32(-1205).I32(0).U32(0).I32(hwid).U32(0);
    b.Zeros(20).U8(digital).U32(3).U32(4).Str32(input).U32(255);
    b.U8(parameter).I32(0).Str32("Rate").Str32("Hz").U8(0);
    return b.Get();
}

std::vector<uint8_t> Spikes(const std::string& input, std::initializer_list<uint16_t> units)
{
    SettingsBytes b;
    b.Tag("PARAMSPK").U32(0).U32(0).U32(0).F32(-5.0f).U32(1000).U32(2000).U32(3000);
    b.Str16(input).U16(1).U16(4).U16(0).Zeros(20).U16(static_cast<uint16_t>(units.size()));
    for (uint16_t id : units)
        b.U16(0).U16(id).Zeros(20);
    return b.Get();
}

// Quantities "ISI" and "Timestamp" recorded, "Rate" not.
std::vector<uint8_t> Analyser(const char* tag, std::vector<uint32_t> unitWords, uint32_t unitsSelected,
                              const std::string& input, bool burst)
{
    SettingsBytes b;
    b.Tag(tag).U32(3);
    const std::pair<const char*, uint32_t> quantities[] = {{"ISI", 1}, {"Rate", 0}, {"Timestamp", 1}};
    for (const auto& [name, recorded] : quantities)
        b.F32(0).F32(1).U32(recorded).F64(1.0).I32(0).I32(3).Str32(name);
    b.U32(static_cast<uint32_t>(unitWords.size()));
    for (uint32_t word : unitWords)
        b.U32(word);
    b.Str32(input).U32(unitsSelected);
    if (burst)
        b.I32(12000).I32(8999).I32(30000).I32(50000).I32(5);
    return b.Get();
}

std::vector<uint8_t> ChannelTool()
{
    return SettingsBytes().Tag("PARAMCHT").U16(0).Str32("elec0001").Str32("E12").Get();
}

struct BuiltFile
{
    TempDir dir;
    CKVD kvd;
    std::string path;

    explicit BuiltFile(const KvdBuilder& builder) : path(dir.File("rec.kvd"))
    {
        EXPECT_TRUE(builder.WriteTo(path));
        EXPECT_TRUE(kvd.Open(path));
    }
};

// The lines with the two time lines (local calendar texts) checked by their start only.
void ExpectReport(CKVD& kvd, std::vector<std::string> expected)
{
    std::vector<std::string> lines = CFileInfoReport::Lines(kvd);
    ASSERT_GE(lines.size(), 6u);
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].rfind("Recording button pressed on ", 0) == 0
            || lines[i].rfind("Recording started on ", 0) == 0)
            lines[i] = lines[i].substr(0, lines[i].find(" on ") + 4);
    }
    EXPECT_EQ(lines, expected);
}

} // namespace

// Every stream kind with its settings lines, on one file: file texts printed as data, the
// singular below two channels, trigger inputs found, missing and absent, and a stream whose
// settings cannot be read.
TEST(CFileInfoReport, ReportsEveryStreamKindLineByLine)
{
    KvdBuilder b(11);
    b.Set<int32_t>(FH::kProgramVersion1, (4 << 16) | 5).Set<int32_t>(FH::kProgramVersion2, (6 << 16) | 7);
    b.Set<int32_t>(FH::kLayoutKind, 1).SetText(FH::kTitle, "Rat %s%n cortex").SetText(FH::kSubtitle, "slice 2");
    ParamRecord noneSelected;
    ParamRecord minAndNumber;
    minAndNumber.Select({0, 8});
    b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001", 8))
        .AddStream(Stream("analog", "Analog Raw Data", "anlg0001", 1))
        .AddStream(Stream("digital", "Digital Data", "digi0001", 0))
        .AddStream(Stream("trigger", "Trigger 1", "trig0001", 1, Trigger("elec0001", 3, 0, 0)))
        .AddStream(Stream("trigger", "Trigger 2", "trig0002", 1, Trigger("elec0001", 99, 1, 0)))
        .AddStream(Stream("trigger", "Trigger 3", "trig0003", 1, Trigger("para0009", 2, 1, 1)))
        .AddStream(Stream("trigger", "Trigger 4", "trig0004", 1, Trigger("", -2, 0, 0)))
        .AddStream(Stream("spikes", "Spikes 1", "spks0001", 2, Spikes("elec0001", {2, 5})))
        .AddStream(Stream("spikes", "Spikes 2", "spks0002", 2, Spikes("filt0009", {})))
        .AddStream(Stream("params", "Parameter 1", "para0001", 2, minAndNumber.Bytes()))
        .AddStream(Stream("params", "Parameter 2", "para0002", 2, noneSelected.Bytes()))
        .AddStream(Stream("spkparam", "Spike Parameter", "para0003", 2,
                          Analyser("PARAMSPP", {1, 0, 1, 1}, 1, "spks0001", false)))
        .AddStream(Stream("bstparam", "Burst Parameter", "para0004", 2,
                          Analyser("PARAMBSP", {1, 1, 1, 1}, 0, "", true)))
        .AddStream(Stream("chat", "Channel Tool", "chtl0001", 1, ChannelTool()))
        .AddStream(Stream("params", "Broken Parameter", "para0005", 1, {1, 2, 3}));
    BuiltFile file(b);
    const std::string size = CKVD::FormatFileSize(ReadFileBytes(file.path).size());
    ExpectReport(file.kvd, {
        "Harpstead Data File Information",
        file.path + " (" + size + " Bytes)",
        "Rat %s%n cortex (slice 2) / Layout: MEA electrode layout",
        "Continuous recording",
        "Recording button pressed on ",
        "Recording started on ",
        "Sample Rate was 25000Hz",
        "File contains 15 data streams",
        " * Electrode Raw Data (elec0001) with 8 channels",
        " * Analog Raw Data (anlg0001) with 1 channel",
        " * Digital Data (digi0001) with 0 channel",
        " * Trigger 1 (trig0001) with 1 channel",
        "     Input Stream: Electrode Raw Data (E4)",
        "     Dead time: 5 ms",
        "     Level: -120 \xB5V",
        "     Slope: pos ",
        " * Trigger 2 (trig0002) with 1 channel",
        "     Input Stream: Electrode Raw Data (HWID 99)",
        "     Dead time: 5 ms",
        "     Digital Trigger Value: 3 / Mask: 255 / Type: 4",
        " * Trigger 3 (trig0003) with 1 channel",
        "     Input Stream: para0009  (HWID 2)",
        "     Dead time: 5 ms",
        "     Parameter Trigger",
        "     Parameter: Rate ",
        "     Unit: Hz ",
        " * Trigger 4 (trig0004) with 1 channel",
        "     Automatic Trigger",
        " * Spikes 1 (spks0001) with 2 channels",
        "     Selected Units: 2 5 ",
        "     Input Stream: Electrode Raw Data",
        " * Spikes 2 (spks0002) with 2 channels",
        "     No Spike Sorting",
        "     Input Stream: filt0009",
        " * Parameter 1 (para0001) with 2 channels",
        "     Recorded Parameters: Min; Number",
        "     Input Stream: elec0001",
        " * Parameter 2 (para0002) with 2 channels",
        "     Recorded Parameters: ",
        "     Input Stream: elec0001",
        " * Spike Parameter (para0003) with 2 channels",
        "     Recorded Parameters: ISI; Timestamp / Selected Units: 2 3 ",
        "     Input Stream: spks0001",
        " * Burst Parameter (para0004) with 2 channels",
        "     Recorded Parameters: ISI; Timestamp",
        "     Max. Interval To Start Burst: 12 ms",
        "     Max. Interval To End Burst: 8 ms",
        "     Min. Interval Between Bursts: 30 ms",
        "     Min. Duration Of Burst: 50 ms",
        "     Min. Number Of Spikes In Burst: 5",
        " * Channel Tool (chtl0001) with 1 channel",
        "     Input Stream: elec0001 (Reference Channel: E12)",
        " * Broken Parameter (para0005) with 1 channel",
        "Harpstead Software Version was 4.5.6.7",
    });
}

TEST(CFileInfoReport, RecordingKindsLayoutsAndClosedFiles)
{
    {
        SCOPED_TRACE("a closed file gives the title alone");
        CKVD closed;
        EXPECT_EQ(CFileInfoReport::Lines(closed), std::vector<std::string> {"Harpstead Data File Information"});
    }
    {
        SCOPED_TRACE("triggered, no title, a layout of no known kind, a version with the top bit set");
        KvdBuilder b(11);
        b.Set<int32_t>(FH::kRecordingMode, 1).SetText(FH::kStartTriggerId, "trig0001");
        b.Set<float>(FH::kWindowStart, -20.0f).Set<float>(FH::kWindowExtent, 100.0f);
        b.Set<int32_t>(FH::kLayoutKind, 9).Set<uint32_t>(FH::kProgramVersion1, 0x80010002u);
        b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001", 2))
            .AddStream(Stream("trigger", "Trigger 1", "trig0001", 1, Trigger("", -2, 0, 0)));
        KvdIndexPlan index;
        index.sweeps = {{kKvdDefaultStart, kKvdDefaultStart + 1000}, {kKvdDefaultStart + 5000, kKvdDefaultStart + 6000}};
        index.streamCount = 2;
        b.AddIndex(index);
        BuiltFile file(b);
        const std::vector<std::string> lines = CFileInfoReport::Lines(file.kvd);
        ASSERT_GE(lines.size(), 7u);
        EXPECT_EQ(lines[2], "Layout: unknown layout");
        EXPECT_EQ(lines[3], "Triggered recording (start on trigger), containing 2 Sweeps");
        EXPECT_EQ(lines[4], "  Start time: -20 ms / Window extent: 100 ms");
        EXPECT_EQ(lines[5], "  Trigger stream: Trigger 1");
        EXPECT_EQ(lines.back(), "Harpstead Software Version was 32769.2.0.0");
    }
}

// The console sees the micro sign as UTF-8, with "\n" line ends.
TEST(CFileInfoReport, PrintsUtf8Lines)
{
    KvdBuilder b(11);
    b.AddStream(Stream("trigger", "Trigger 1", "trig0001", 1, Trigger("elec0009", 1, 0, 0)));
    BuiltFile file(b);
    TempDir dir;
    FILE* out = std::fopen(dir.File("report.txt").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(CFileInfoReport::Print(file.kvd, out));
    std::fclose(out);
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("report.txt"));
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("Harpstead Data File Information\n", 0), 0u);
    EXPECT_NE(text.find("\n     Level: -120 \xC2\xB5V\n"), std::string::npos);
}

// Header version 0 stores no stop time: the end of the data gives it.
TEST(CFileInfoReport, AContinuousRecordingWithoutStopTimeStopsWithItsData)
{
    KvdRecordingPlan plan;
    plan.fileVersion = 0;
    plan.rateHz = 25000;
    TempDir dir;
    ASSERT_TRUE(WriteKvdRecording(plan, dir.File("rec.kvd")));
    CKVD kvd;
    ASSERT_TRUE(kvd.Open(dir.File("rec.kvd")));
    const std::vector<std::string> lines = CFileInfoReport::Lines(kvd);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[3], "Continuous recording");
    const std::string& times = lines[5];
    EXPECT_EQ(times.rfind("Recording started on ", 0), 0u) << times;
    EXPECT_EQ(times.find("Unknown"), std::string::npos) << times;
    EXPECT_NE(times.find(" (duration 00:00:02.500)"), std::string::npos) << times;
}

// The windowed view's variant: the same report with sample rates, trigger kinds by input HWID,
// spike windows and filter settings added; the console lines around them stay as they are.
TEST(CFileInfoReport, WindowedVariantAddsTheViewsDetails)
{
    KvdBuilder b(11);
    b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001", 2))
        .AddStream(Stream("trigger", "Trigger 1", "trig0001", 1, Trigger("", -2, 0, 0)))
        .AddStream(Stream("trigger", "Trigger 2", "trig0002", 1, Trigger("", -3, 0, 0)))
        .AddStream(Stream("trigger", "Trigger 3", "trig0003", 1, Trigger("", 7, 0, 0)))
        .AddStream(Stream("spikes", "Spikes 1", "spks0001", 1, Spikes("", {})))
        .AddStream(Stream("filter", "Filter 1", "filt0001", 1, FilterSettings()));
    BuiltFile file(b);
    const std::vector<std::string> console = CFileInfoReport::Lines(file.kvd);
    const std::vector<std::string> windowed = CFileInfoReport::Lines(file.kvd, true);
    const auto has = [](const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has(console, "Sample Rate was 25000Hz"));
    EXPECT_TRUE(has(windowed, "Data Acquisition Sample Rate was 25000Hz"));
    EXPECT_FALSE(has(windowed, "Sample Rate was 25000Hz"));
    EXPECT_FALSE(has(console, "     Sample Rate: 25000Hz"));
    EXPECT_EQ(std::count(windowed.begin(), windowed.end(), "     Sample Rate: 25000Hz"), 6);

    const auto after = [](const std::vector<std::string>& lines, const std::string& line, size_t n) {
        const auto at = std::find(lines.begin(), lines.end(), line);
        return at == lines.end() || lines.end() - at <= static_cast<std::ptrdiff_t>(n)
                   ? std::vector<std::string>()
                   : std::vector<std::string>(at + 1, at + 1 + n);
    };
    EXPECT_EQ(after(windowed, " * Trigger 1 (trig0001) with 1 channel", 2),
              (std::vector<std::string> {"     Sample Rate: 25000Hz", "     Automatic Trigger"}));
    EXPECT_EQ(after(windowed, " * Trigger 2 (trig0002) with 1 channel", 2),
              (std::vector<std::string> {"     Sample Rate: 25000Hz", "     Manual Trigger"}));
    EXPECT_EQ(after(windowed, " * Trigger 3 (trig0003) with 1 channel", 2),
              (std::vector<std::string> {"     Sample Rate: 25000Hz", "     Unknown Trigger"}));
    // The console knows only the automatic trigger.
    EXPECT_EQ(after(console, " * Trigger 2 (trig0002) with 1 channel", 1),
              (std::vector<std::string> {"     Automatic Trigger"}));
    // Stored as 1000, 2000 and 3000 microseconds.
    EXPECT_EQ(after(windowed, " * Spikes 1 (spks0001) with 1 channel", 5),
              (std::vector<std::string> {"     Sample Rate: 25000Hz", "     No Spike Sorting",
                                         "     Pre Trigger: 1 ms", "     Post Trigger: 2 ms",
                                         "     Dead Time: 3 ms"}));
    const std::vector<std::string> filter = after(windowed, " * Filter 1 (filt0001) with 1 channel", 4);
    ASSERT_EQ(filter.size(), 4u);
    EXPECT_EQ(filter[1], "     Filter: Savitzky-Golay");
    EXPECT_EQ(filter[2].rfind("     Order: ", 0), 0u);
    EXPECT_EQ(filter[3].rfind("     Num. Points: ", 0), 0u);
    EXPECT_FALSE(has(console, "     Filter: Savitzky-Golay"));
    EXPECT_EQ(windowed.back(), console.back());
}

TEST(CFileInfoReport, WindowedVariantListsTheUnitsOfAnIndividualLayout)
{
    // A default single-array layout stored as an individual one: one array, no amplifier.
    CKVLayout layout;
    layout.BuildDefault(CKVLayout::kSingleArrayLayout, 3, 2, 1, 0);
    std::vector<uint8_t> chunk;
    layout.AppendLayoutChunk(chunk);
    const size_t kindAt = 20;   // behind id, size and version
    StoreLE<int32_t>(chunk.data() + kindAt, CKVLayout::kIndividualLayout);
    KvdBuilder b(11);
    b.Set<int32_t>(FH::kLayoutKind, CKVLayout::kIndividualLayout).AddHeaderChunk(chunk);
    b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001", 2));
    BuiltFile file(b);
    const std::vector<std::string> lines = CFileInfoReport::Lines(file.kvd, true);
    ASSERT_GT(lines.size(), 6u);
    EXPECT_EQ(lines[2], "Layout: Individual Layout");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.begin() + 6),
              (std::vector<std::string> {"No amplifiers configured", "Number of MEAs: 1", "1: Zelto"}));
    EXPECT_EQ(CFileInfoReport::Lines(file.kvd)[3], "Continuous recording");
}
