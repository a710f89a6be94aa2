// Recordings of many gigabytes, built as sparse files: opening, the index, sample access and the
// exports of the data that lies beyond 4 GB (and beyond 2^32 frames).

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/container/KvdFormat.h"
#include "export/abf/AbfHeader.h"
#include "export/abf/CConvertToABF.h"
#include "export/binary/CConvertToBIN.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/text/CConvertToASCII.h"
#include "platform/CByteWriter.h"
#include "platform/CMessageReporter.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace FH = Kvd::FileHeader;

namespace {

constexpr int kRate = 25000;
constexpr uint64_t kFrameBytes = 4;                 // two channels
constexpr uint64_t kHolePayload = 3ull << 29;       // 1.5 GiB per early chunk, never written
constexpr int kHoles = 12;                          // 18 GiB in all: 4.8 x 10^9 frames
constexpr uint64_t kHoleFrames = kHolePayload / kFrameBytes;
constexpr uint64_t kNsPerFrame = 1000000000 / kRate;
constexpr uint64_t kHoleNs = kHoleFrames * kNsPerFrame;
constexpr int kLastChunks = 10;                     // the last second, really written
constexpr uint64_t kLastChunkFrames = kRate / kLastChunks;
constexpr uint64_t kLastFirstFrame = kHoles * kHoleFrames;
constexpr uint64_t kSecond = 1000000000;
static_assert(kLastFirstFrame > (1ull << 32), "the last second must lie beyond 2^32 frames");

// Never 0, so that a read that lands in a hole shows.
uint16_t Value(uint64_t frame, int channel)
{
    return static_cast<uint16_t>(1 + (frame * 3 + static_cast<uint64_t>(channel) * 1000) % 65535);
}

struct Messages : CMessageReporter
{
    void Report(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// True when `folder` holds files of 20 GiB that are mostly holes: a probe stretched that far
// occupies next to nothing.
bool KeepsHoles(const std::string& folder)
{
    constexpr off_t kProbeBytes = off_t {20} << 30;
    const std::string probe = folder + "/probe";
    const int fd = open(probe.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    struct stat info {};
    // A file-size limit below the probe must fail the probe, not end the process.
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    const bool sparse = ftruncate(fd, kProbeBytes) == 0 && pwrite(fd, "x", 1, kProbeBytes - 1) == 1
                        && fstat(fd, &info) == 0 && info.st_blocks * 512 < (1 << 20);
    std::signal(SIGXFSZ, handler);
    close(fd);
    unlink(probe.c_str());
    return sparse;
}

// Twelve chunks of 1.5 GiB left as holes, then one second of real frames in ten chunks. A
// triggered recording makes every `holesPerSweep` hole chunks a sweep, one second apart, each
// with a trigger event, and the last second the last sweep.
struct LargeRecording
{
    bool triggered = false;
    int holesPerSweep = 1;
    uint64_t start = kKvdDefaultStart;
    uint64_t lastSecond = 0;            // start of the last second
    std::vector<uint64_t> rawOffsets;   // offset of every raw chunk
    std::vector<uint64_t> rawStarts;

    bool Write(const std::string& path, const KvdIndexPlan* index = nullptr)
    {
        KvdBuilder b(11);
        b.Set<int32_t>(FH::kSampleRate, kRate * 1000);
        b.Set<int32_t>(FH::kRecordingMode, triggered ? 1 : 0);
        b.Set<float>(FH::kWindowExtent, triggered ? 1000.0f : 0.0f);
        b.Set<uint64_t>(FH::kRecordingTime, start).Set<uint64_t>(FH::kStartTime, start);
        if (triggered) {
            b.SetText(FH::kStartTriggerId, "trig0001");
            KvdStreamPlan t;
            t.bufferType = "trigger";
            t.name = "Trigger 1";
            t.id = "trig0001";
            t.sampleRate = kRate * 1000;
            t.channels.resize(1);
            t.channels[0].name = t.channels[0].displayName = "T1";
            b.AddStream(t);
        }
        KvdStreamPlan raw;
        raw.id = "elec0001";
        raw.sampleRate = kRate * 1000;
        raw.words[1] = 2000;
        raw.channels.resize(2);
        for (int c = 0; c < 2; ++c) {
            raw.channels[c].id = raw.channels[c].number = c;
            raw.channels[c].name = raw.channels[c].displayName = std::to_string(12 + c);
        }
        b.AddStream(raw);

        std::vector<bool> isRaw;
        const auto trigger = [&](uint64_t at) {
            if (!triggered)
                return;
            std::vector<uint8_t> record;
            CByteWriter(record).Put<uint64_t>(at).Put<uint16_t>(1).Put<uint32_t>(0).Put<uint32_t>(0)
                .Put<uint32_t>(0);
            b.AddChunk("trig0001", at, at + kSecond / 10, record);
            isRaw.push_back(false);
        };
        rawStarts.clear();
        uint64_t t = start;
        for (int h = 0; h < kHoles; ++h) {
            if (h % holesPerSweep == 0)
                trigger(t);
            b.AddRawChunk("elec0001", static_cast<int64_t>(16 + kHolePayload), t, t + kHoleNs, {});
            isRaw.push_back(true);
            rawStarts.push_back(t);
            t += kHoleNs + (triggered && (h + 1) % holesPerSweep == 0 ? kSecond : 0);
        }
        lastSecond = t;
        trigger(t);
        for (int k = 0; k < kLastChunks; ++k) {
            std::vector<uint8_t> payload;
            CByteWriter out(payload);
            for (uint64_t f = 0; f < kLastChunkFrames; ++f)
                out.Put<uint16_t>(Value(kLastFirstFrame + k * kLastChunkFrames + f, 0))
                    .Put<uint16_t>(Value(kLastFirstFrame + k * kLastChunkFrames + f, 1));
            const uint64_t from = t + static_cast<uint64_t>(k) * kSecond / kLastChunks;
            b.AddChunk("elec0001", from, from + kSecond / kLastChunks, payload);
            isRaw.push_back(true);
            rawStarts.push_back(from);
        }
        b.Set<uint64_t>(FH::kStopTime, t + kSecond);
        if (index)
            b.AddIndex(*index);
        KvdLayout layout;
        if (!b.WriteSparseTo(path, &layout))
            return false;
        rawOffsets.clear();
        for (size_t i = 0; i < layout.chunkAt.size(); ++i)
            if (isRaw[i])
                rawOffsets.push_back(layout.chunkAt[i]);
        return true;
    }

    // The last second's frames (both channels, interleaved), or one channel of them.
    static std::vector<uint16_t> LastSecond(int onlyChannel = -1)
    {
        std::vector<uint16_t> values;
        for (uint64_t f = kLastFirstFrame; f < kLastFirstFrame + kRate; ++f)
            for (int c = 0; c < 2; ++c)
                if (onlyChannel < 0 || onlyChannel == c)
                    values.push_back(Value(f, c));
        return values;
    }
};

} // namespace

TEST(LargeRecording, OpensIndexesAndReadsPastFourGigabytes)
{
    TempDir dir;
    if (!KeepsHoles(dir.Path()))
        GTEST_SKIP() << dir.Path() << " cannot hold a sparse file of 20 GiB";
    LargeRecording recording;
    const std::string path = dir.File("long.kvd");
    ASSERT_TRUE(recording.Write(path));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    ASSERT_GT(static_cast<uint64_t>(info.st_size), kHoles * kHolePayload);
    ASSERT_LT(info.st_blocks * 512, 64 << 20);

    KvdIndexPlan stored;
    for (bool withStoredIndex : {false, true}) {
        SCOPED_TRACE(withStoredIndex ? "index stored behind the data" : "index generated");
        if (withStoredIndex) {
            ASSERT_TRUE(recording.Write(path, &stored));
        }
        CKVTAStreamFile file;
        ASSERT_EQ(file.Open(path), CKVTAStreamFile::kOpenOk);
        EXPECT_EQ(file.HasStoredIndex(), withStoredIndex ? 1 : 0);
        CKVTAStream* stream = file.GetStream(0);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(stream->GetTotalSampleCount(), static_cast<int64_t>(kLastFirstFrame + kRate));

        EXPECT_EQ(file.GetSweepCount(), 1);
        EXPECT_EQ(file.GetSweepStartValue(0), recording.start);
        const std::vector<KvtIndexEntry>& entries = file.GetIndex().GetEntries();
        ASSERT_FALSE(entries.empty());
        EXPECT_GT(static_cast<uint64_t>(entries.back().offset), 4ull << 32);
        for (const KvtIndexEntry& entry : entries) {
            const auto at = std::find(recording.rawOffsets.begin(), recording.rawOffsets.end(),
                                      static_cast<uint64_t>(entry.offset));
            if (at == recording.rawOffsets.end()) {
                ADD_FAILURE() << "an index entry points to no chunk: " << entry.offset;
                break;
            }
            const size_t k = static_cast<size_t>(at - recording.rawOffsets.begin());
            EXPECT_EQ(entry.time, recording.rawStarts[k]);
        }
        if (!withStoredIndex) {
            for (const KvtIndexEntry& entry : entries)
                stored.entries.emplace_back(entry.time, entry.offset);
            stored.sweeps.emplace_back(file.GetSweepStartValue(0), recording.lastSecond + kSecond);
        }

        const CKVTATimeStamp from(recording.lastSecond, recording.start);
        const CKVTATimeStamp to(recording.lastSecond + kSecond, recording.start);
        const auto block = stream->GetChunk(from);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block->GetChunkOffset(), recording.rawOffsets[kHoles]);
        EXPECT_EQ(stream->GetSampleCountInWindow(from, to), 2 * kRate);
        std::vector<uint16_t> values(2 * kRate + 8);
        ASSERT_EQ(stream->GetRawData(values.data(), static_cast<int>(values.size()), from, to), 2 * kRate);
        values.resize(2 * kRate);
        EXPECT_TRUE(values == LargeRecording::LastSecond());
        std::vector<uint16_t> channel(kRate);
        ASSERT_EQ(stream->CopyChannelSamplesRange(channel.data(), 1, kLastFirstFrame, kRate), kRate);
        EXPECT_TRUE(channel == LargeRecording::LastSecond(1));
    }
}

CKVDataSelection BothChannels()
{
    CKVDataSelection selection;
    for (const char* name : {"12", "13"}) {
        CKVDataSelection::Entry entry;
        entry.streamName = "Electrode Raw Data";
        entry.channelName = name;
        entry.value = kRate;
        selection.Add(std::move(entry));
    }
    return selection;
}

// The last sweep of a triggered recording, 18 GiB into the file, exported to ".raw", ABF and
// ".txt".
TEST(LargeRecording, ExportsTheSweepBeyondFourGigabytes)
{
    TempDir dir;
    if (!KeepsHoles(dir.Path()))
        GTEST_SKIP() << dir.Path() << " cannot hold a sparse file of 20 GiB";
    LargeRecording recording;
    recording.triggered = true;
    ASSERT_TRUE(recording.Write(dir.File("sweeps.kvd")));
    CKVD kvd;
    ASSERT_TRUE(kvd.Open(dir.File("sweeps.kvd")));
    ASSERT_EQ(kvd.GetStreamFile().GetSweepCount(), kHoles + 1);
    EXPECT_EQ(kvd.GetStreamFile().GetSweepStartValue(kHoles), recording.lastSecond);
    CKVDataSelection selection = BothChannels();
    const std::vector<uint16_t> expected = LargeRecording::LastSecond();
    {
        SCOPED_TRACE(".raw");
        Messages messages;
        CConvertToBIN converter(&kvd, &selection);
        converter.SetReporter(&messages);
        converter.SetOutputName(dir.File("last.raw"));
        converter.SetSweepRange(kHoles + 1, kHoles + 1);
        EXPECT_EQ(converter.Convert(nullptr, nullptr, true, true), kConvertOk);
        EXPECT_TRUE(messages.texts.empty());
        const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("last.raw"));
        ASSERT_EQ(bytes.size(), 2 * expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(LoadLE<uint16_t>(bytes.data() + 2 * i), expected[i]) << i;
    }
    {
        SCOPED_TRACE("ABF");
        Messages messages;
        CConvertToABF converter(&kvd, &selection);
        converter.SetReporter(&messages);
        converter.SetOutputName(dir.File("last.abf"));
        converter.SetSweepRange(kHoles + 1, kHoles + 1);
        EXPECT_EQ(converter.Convert(nullptr, nullptr, true, true), kConvertOk);
        EXPECT_TRUE(messages.texts.empty());
        const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("last.abf"));
        ASSERT_GE(bytes.size(), kAbfHeaderBytes + 2 * expected.size());
        EXPECT_EQ(LoadLE<int32_t>(bytes.data() + AbfField::lActualAcqLength),
                  static_cast<int32_t>(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(LoadLE<int16_t>(bytes.data() + kAbfHeaderBytes + 2 * i),
                      static_cast<int16_t>(expected[i] - 32768)) << i;
    }
    {
        SCOPED_TRACE(".txt");
        Messages messages;
        CConvertToASCII converter(&kvd, &selection);
        converter.SetReporter(&messages);
        converter.SetOutputName(dir.File("last.txt"));
        converter.SetSweepRange(kHoles + 1, kHoles + 1);
        EXPECT_EQ(converter.Convert(nullptr, nullptr, true, true), kConvertOk);
        EXPECT_TRUE(messages.texts.empty());
        // Rows of sweep number, trigger time, time, and each channel in microvolts (0.1 per step).
        const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("last.txt"));
        std::vector<std::vector<double>> rows;
        size_t at = 0;
        for (int line = 0; at < bytes.size(); ++line) {
            const size_t end = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(), '\n')
                               - bytes.begin();
            std::vector<double> fields;
            const std::string text(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(end));
            for (size_t from = 0; line >= 4 && from < text.size();) {
                const size_t tab = std::min(text.find('\t', from), text.size());
                fields.push_back(std::stod(text.substr(from, tab - from)));
                from = tab + 1;
            }
            if (!fields.empty())
                rows.push_back(fields);
            at = end + 1;
        }
        ASSERT_EQ(rows.size(), static_cast<size_t>(kRate));
        const double startMs = static_cast<double>(recording.lastSecond - recording.start) / 1e6;
        for (size_t k : {size_t {0}, size_t {kRate - 1}}) {
            SCOPED_TRACE(k);
            ASSERT_EQ(rows[k].size(), 5u);
            EXPECT_EQ(rows[k][0], kHoles + 1);
            EXPECT_NEAR(rows[k][1], startMs, 1e-3);
            EXPECT_NEAR(rows[k][2], startMs + static_cast<double>(k) * 0.04, 1e-3);
            for (size_t c = 0; c < 2; ++c)
                EXPECT_NEAR(rows[k][3 + c], (expected[2 * k + c] - 32768.0) * 0.1, 1e-2);
        }
    }
}

// A sweep of more values than one read counts (2.4 x 10^9) is refused, never written cut short.
TEST(LargeRecording, RefusesASweepTooLongForOneRead)
{
    TempDir dir;
    if (!KeepsHoles(dir.Path()))
        GTEST_SKIP() << dir.Path() << " cannot hold a sparse file of 20 GiB";
    LargeRecording recording;
    recording.triggered = true;
    recording.holesPerSweep = 3;
    ASSERT_TRUE(recording.Write(dir.File("long.kvd")));
    CKVD kvd;
    ASSERT_TRUE(kvd.Open(dir.File("long.kvd")));
    ASSERT_EQ(kvd.GetStreamFile().GetSweepCount(), kHoles / 3 + 1);
    CKVDataSelection selection = BothChannels();
    Messages messages;
    CConvertToBIN converter(&kvd, &selection);
    converter.SetReporter(&messages);
    converter.SetOutputName(dir.File("first.raw"));
    converter.SetSweepRange(1, 1);
    EXPECT_EQ(converter.Convert(nullptr, nullptr, true, true), kConvertReported);
    EXPECT_EQ(messages.texts, std::vector<std::string>({"Error reading sweep 1. Stopped conversion."}));
    EXPECT_TRUE(ReadFileBytes(dir.File("first.raw")).empty());
}

// A stop time 160 years after the start (a damaged header) never sizes the export: the data
// ends at 2.5 s, and so does the file.
TEST(LargeRecording, AbfEndsADamagedStopTimeAtTheData)
{
    TempDir dir;
    KvdRecordingPlan plan;
    plan.stopExtraUs = 5000000000000000LL;
    ASSERT_TRUE(WriteKvdRecording(plan, dir.File("in.kvd")));
    CKVD kvd;
    ASSERT_TRUE(kvd.Open(dir.File("in.kvd")));
    CKVDataSelection selection;
    CKVDataSelection::Entry entry;
    entry.streamName = "Electrode Raw Data";
    entry.channelName = "12";
    entry.value = plan.rateHz;
    selection.Add(std::move(entry));
    Messages messages;
    CConvertToABF converter(&kvd, &selection);
    converter.SetReporter(&messages);
    converter.SetOutputName(dir.File("out.abf"));
    EXPECT_EQ(converter.Convert(nullptr, nullptr, true, true), kConvertOk);
    EXPECT_TRUE(messages.texts.empty());
    const std::vector<uint8_t> abf = ReadFileBytes(dir.File("out.abf"));
    ASSERT_GE(abf.size(), 14u);
    EXPECT_EQ(LoadLE<int32_t>(abf.data() + 10), 25000);   // samples in the file
}
