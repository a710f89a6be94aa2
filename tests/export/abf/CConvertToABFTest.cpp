#include "export/abf/CConvertToABF.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "export/abf/AbfHeader.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "platform/CMessageReporter.h"
#include "platform/FileTime.h"
#include "platform/Numeric.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/KvdBuilder.h"
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
    size_t stream;    // in the plan
    size_t channel;
};

struct Export
{
    TempDir dir;
    KvdRecordingPlan plan;
    std::vector<Column> columns;
    CKVD kvd;
    CKVDataSelection selection;
    Messages messages;
    std::unique_ptr<CConvertToABF> converter;

    Export(const KvdRecordingPlan& p, const std::vector<Column>& c) : plan(p), columns(c)
    {
        EXPECT_TRUE(WriteKvdRecording(plan, dir.File("in.kvd")));
        EXPECT_TRUE(kvd.Open(dir.File("in.kvd")));
        for (const Column& column : columns) {
            CKVDataSelection::Entry entry;
            entry.streamName = plan.streams[column.stream].name;
            entry.channelName = plan.streams[column.stream].channels[column.channel];
            entry.value = plan.rateHz;
            selection.Add(std::move(entry));
        }
        converter = std::make_unique<CConvertToABF>(&kvd, &selection);
        converter->SetReporter(&messages);
        converter->SetOutputName(dir.File("out.abf"));
        // Sweep questions build the index, which ends a continuous recording at its data.
        if (plan.triggered)
            converter->SetSweepRange(1, static_cast<unsigned>(kvd.GetStreamFile().GetSweepCount()));
    }
    int Run() { return converter->Convert(nullptr, nullptr, true, true); }
    std::string Out() const { return dir.File("out.abf"); }

    // The ABF value of one stored sample: 16-bit streams lose their offset-binary zero.
    int16_t AbfValue(const Column& c, uint64_t frame) const
    {
        const KvdRawStreamPlan& s = plan.streams[c.stream];
        const uint16_t stored = KvdRecordingSample(plan, c.stream, c.channel, frame);
        return static_cast<int16_t>(s.adcBits == 16 ? stored - 32768 : stored);
    }
    int16_t ZeroVolt(const Column& c) const
    {
        const KvdRawStreamPlan& s = plan.streams[c.stream];
        return static_cast<int16_t>(s.adcBits == 16 ? s.adcZero - 32768 : s.adcZero);
    }

    // Episodes (channel-major) of the samples the file must hold.
    std::vector<std::vector<std::vector<int>>> Expected() const
    {
        std::vector<std::vector<std::vector<int>>> episodes;
        const uint64_t rate = static_cast<uint64_t>(plan.rateHz);
        if (!plan.triggered) {
            episodes.emplace_back(columns.size());
            const uint64_t rows = rate * static_cast<uint64_t>(plan.chunks) * plan.chunkMs / 1000;
            // The rows of a dropped chunk hold 0 V, and only those.
            const uint64_t chunkRows = rate * static_cast<uint64_t>(plan.chunkMs) / 1000;
            const auto dropped = [&](uint64_t f) {
                const int chunk = static_cast<int>(f / chunkRows);
                return std::find(plan.dropChunks.begin(), plan.dropChunks.end(), chunk) != plan.dropChunks.end();
            };
            for (size_t c = 0; c < columns.size(); ++c)
                for (uint64_t f = 0; f < rows; ++f)
                    episodes[0][c].push_back(dropped(f) ? ZeroVolt(columns[c]) : AbfValue(columns[c], f));
            return episodes;
        }
        const int length = MulDiv(plan.rateHz, plan.sweepLengthMs, 1000);
        for (int s = 0; s < plan.sweeps; ++s) {
            episodes.emplace_back(columns.size());
            const bool shortSweep = std::find(plan.shortSweeps.begin(), plan.shortSweeps.end(), s) != plan.shortSweeps.end();
            const int have = static_cast<int>(rate * static_cast<uint64_t>(plan.sweepMs - (shortSweep ? plan.chunkMs : 0)) / 1000);
            const uint64_t first = KvdSweepStartNs(plan, s) * rate / 1000000000u;
            for (size_t c = 0; c < columns.size(); ++c)
                for (int k = 0; k < length; ++k)
                    episodes.back()[c].push_back(k < have ? AbfValue(columns[c], first + k) : ZeroVolt(columns[c]));
        }
        return episodes;
    }
};

int32_t I32(const std::vector<uint8_t>& b, size_t at) { return LoadLE<int32_t>(b.data() + at); }
int16_t I16(const std::vector<uint8_t>& b, size_t at) { return LoadLE<int16_t>(b.data() + at); }
float F32(const std::vector<uint8_t>& b, size_t at) { return LoadLE<float>(b.data() + at); }
std::string Field(const std::vector<uint8_t>& b, size_t at, size_t width)
{
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + width));
}

// Length a multiple of 512 and the CRC field the CRC-32 of the file with that field zeroed.
void ExpectSoundFile(const std::vector<uint8_t>& bytes)
{
    ASSERT_GE(bytes.size(), kAbfHeaderBytes);
    EXPECT_EQ(bytes.size() % 512, 0u);
    std::vector<uint8_t> zeroed = bytes;
    StoreLE<uint32_t>(zeroed.data() + AbfField::ulFileCRC, 0);
    EXPECT_EQ(LoadLE<uint32_t>(bytes.data() + AbfField::ulFileCRC),
              static_cast<uint32_t>(crc32(0, zeroed.data(), static_cast<uInt>(zeroed.size()))));
}

// Every sample of the data section against the expected episodes, one after the other.
void ExpectSamples(const std::vector<uint8_t>& bytes, const std::vector<std::vector<std::vector<int>>>& episodes)
{
    size_t at = kAbfHeaderBytes;
    for (size_t e = 0; e < episodes.size(); ++e) {
        const size_t rows = episodes[e][0].size();
        const size_t channels = episodes[e].size();
        ASSERT_LE(at + rows * channels * 2, bytes.size());
        for (size_t k = 0; k < rows; ++k)
            for (size_t c = 0; c < channels; ++c, at += 2)
                ASSERT_EQ(I16(bytes, at), episodes[e][c][k]) << "episode " << e << " row " << k << " channel " << c;
    }
}

KvdRawStreamPlan Analog(uint16_t bits, uint16_t zero)
{
    KvdRawStreamPlan analog;
    analog.name = "Analog Raw Data";
    analog.id = "anlg0001";
    analog.channels = {"A1", "A2"};
    analog.adcBits = bits;
    analog.adcZero = zero;
    analog.voltsPerStep = 2.5e-6;
    return analog;
}

} // namespace

// A triggered recording at 12.5 kHz with a sweep length of 201 ms: episodes of exactly the
// header's length (2513 rows, not 12 x 201), a short sweep padded, tags at the sweep starts.
TEST(CConvertToABF, EpisodicFileByteByByte)
{
    KvdRecordingPlan plan;
    plan.triggered = true;
    plan.rateHz = 12500;
    plan.sweepLengthMs = 201;
    plan.shortSweeps = {1};
    plan.streams.push_back(Analog(16, 32768));
    Export e(plan, {{0, 1}, {1, 0}, {0, 0}});
    e.converter->SetSaveTriggersAsTags(true);
    ASSERT_EQ(e.Run(), kConvertOk);
    EXPECT_TRUE(e.messages.texts.empty());
    const std::vector<uint8_t> b = ReadFileBytes(e.Out());
    ExpectSoundFile(b);
    const int32_t episode = 3 * 2513;
    EXPECT_EQ(Field(b, 0, 4), "ABF ");
    EXPECT_EQ(LoadLE<uint32_t>(b.data() + 4), 0x3FEA3D71u);
    EXPECT_EQ(LoadLE<uint32_t>(b.data() + 32), 0x3FEA3D71u);
    EXPECT_EQ(I16(b, 8), 2);
    EXPECT_EQ(I32(b, 10), 3 * episode);
    EXPECT_EQ(I32(b, 16), 3);
    EXPECT_EQ(I32(b, 40), 12);
    EXPECT_EQ(I16(b, 120), 3);
    EXPECT_EQ(F32(b, 122), static_cast<float>(1.0 / (3 * 12500.0) * 1000000.0));
    EXPECT_EQ(F32(b, 130), 0.0f);
    EXPECT_EQ(I32(b, 138), episode);
    EXPECT_EQ(I32(b, 2034), 6144);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(I16(b, 410 + 2 * i), i < 3 ? i : -1) << i;
    EXPECT_EQ(Field(b, 442, 30), "El_13     An_A1     El_12     ");
    EXPECT_EQ(Field(b, 602, 8), "\xB5V      ");
    EXPECT_GT(F32(b, 244), 0.0f);

    FILETIME local;
    SYSTEMTIME start;
    const FILETIME utc = U64ToFileTime(kKvdDefaultStart / 100);
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local) && FileTimeToSystemTime(&local, &start));
    EXPECT_EQ(I32(b, 20), start.wYear * 10000 + start.wMonth * 100 + start.wDay);
    EXPECT_EQ(I32(b, 24), start.wHour * 3600 + start.wMinute * 60 + start.wSecond);

    ExpectSamples(b, e.Expected());
    const size_t synch = static_cast<size_t>(I32(b, 92)) * 512;
    ASSERT_EQ(I32(b, 96), 3);
    ASSERT_EQ(synch, kAbfHeaderBytes + 3u * episode * 2 + (512 - 3u * episode * 2 % 512) % 512);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(I32(b, synch + 8 * k), k * episode);
        EXPECT_EQ(I32(b, synch + 8 * k + 4), episode);
    }
    const size_t tags = static_cast<size_t>(I32(b, 44)) * 512;
    ASSERT_EQ(I32(b, 48), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(I32(b, tags + 64 * k), static_cast<int32_t>(KvdSweepStartNs(plan, k) / 80000));   // 12.5 kHz
        EXPECT_EQ(Field(b, tags + 64 * k + 4, 4), "T1  ");
        EXPECT_EQ(I16(b, tags + 64 * k + 60), 0);
    }
}

// A continuous recording with trigger events is gap-free and holds them as tags, counted in
// rows from the recording start; without the option it holds none.
TEST(CConvertToABF, GapFreeFileCarriesTriggerTags)
{
    KvdRecordingPlan plan;
    plan.triggerMs = {0, 250, 1210};
    for (bool tags : {false, true}) {
        SCOPED_TRACE(tags);
        Export e(plan, {{0, 0}, {0, 1}});
        e.converter->SetSaveTriggersAsTags(tags);
        ASSERT_EQ(e.Run(), kConvertOk);
        EXPECT_TRUE(e.messages.texts.empty());
        const std::vector<uint8_t> b = ReadFileBytes(e.Out());
        ExpectSoundFile(b);
        EXPECT_EQ(I16(b, 8), 3);
        ExpectSamples(b, e.Expected());
        ASSERT_EQ(I32(b, 48), tags ? 3 : 0);
        if (!tags)
            continue;
        const size_t at = static_cast<size_t>(I32(b, 44)) * 512;
        EXPECT_GE(at, static_cast<size_t>(kAbfHeaderBytes) + 2 * 2 * 25000);
        ASSERT_LE(at + 3 * 64, b.size());
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(I32(b, at + 64 * k), plan.triggerMs[static_cast<size_t>(k)] * 10);   // 10 kHz
            EXPECT_EQ(Field(b, at + 64 * k + 4, 4), "T1  ");
            EXPECT_EQ(I16(b, at + 64 * k + 60), 0);
        }
    }
}

// Gap-free files: one episode whatever the writing, samples counted exactly; the scaling gives
// readers microvolts from volts per step, the stored zero included.
TEST(CConvertToABF, GapFreeFilesAndTheirScaling)
{
    struct Case
    {
        const char* name;
        KvdRecordingPlan plan;
        std::vector<Column> columns;
    };
    std::vector<Case> cases(3);
    cases[0] = {"continuous, 16-bit, volts per step", KvdRecordingPlan(), {{0, 0}, {0, 1}}};
    cases[1] = {"continuous, 12-bit offset binary", KvdRecordingPlan(), {{0, 1}, {0, 0}}};
    cases[1].plan.streams = {Analog(12, 2048)};
    cases[2] = {"continuous, two streams, a pause written as 0 V", KvdRecordingPlan(), {{1, 1}, {0, 0}}};
    cases[2].plan.streams.push_back(Analog(16, 30000));
    cases[2].plan.dropChunks = {13};
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        Export e(c.plan, c.columns);
        // A pause the file shows nothing lost in is written as 0 V, and is no loss to name.
        ASSERT_EQ(e.Run(), kConvertOk);
        EXPECT_TRUE(e.messages.texts.empty());
        const std::vector<uint8_t> b = ReadFileBytes(e.Out());
        ExpectSoundFile(b);
        const auto expected = e.Expected();
        ASSERT_EQ(expected.size(), 1u);
        const int32_t samples = static_cast<int32_t>(expected[0].size() * expected[0][0].size());
        EXPECT_EQ(I16(b, 8), 3);
        EXPECT_EQ(I32(b, 10), samples);
        // Gap-free files count their samples in pieces of the episode length, without synch array.
        EXPECT_EQ(I32(b, 16), (samples + I32(b, 138) - 1) / I32(b, 138));
        EXPECT_EQ(I32(b, 92), 0);
        ExpectSamples(b, expected);
        for (size_t i = 0; i < c.columns.size(); ++i) {
            const KvdRawStreamPlan& s = c.plan.streams[c.columns[i].stream];
            const double gain = F32(b, 244) / (F32(b, 922 + 4 * i) * static_cast<double>(I32(b, 252)));
            const double offset = F32(b, 986 + 4 * i);
            const int16_t v = e.AbfValue(c.columns[i], 7);
            const double stored = KvdRecordingSample(c.plan, c.columns[i].stream, c.columns[i].channel, 7);
            const double microvolts = (stored - s.adcZero) * s.voltsPerStep * 1e6;
            EXPECT_NEAR(v * gain + offset, microvolts, 1e-3 + 1e-6 * std::abs(microvolts)) << i;
        }
    }
}

// Refusals come before any file exists; a cancel or a write failure leaves a complete file.
TEST(CConvertToABF, RefusalsCancelAndWriteFailures)
{
    KvdRecordingPlan wide;
    wide.streams[0].channels.clear();
    for (int i = 0; i < 17; ++i)
        wide.streams[0].channels.push_back(std::to_string(i + 11));
    std::vector<Column> seventeen;
    for (size_t i = 0; i < 17; ++i)
        seventeen.push_back({0, i});
    KvdRecordingPlan rates;
    rates.streams.push_back(Analog(16, 32768));
    rates.streams[1].rateHz = 20000;
    KvdRecordingPlan bits;
    bits.streams.push_back(Analog(12, 2048));
    KvdRecordingPlan events;
    events.streams.push_back(Analog(16, 32768));
    events.streams[1].name = "Digital Data Event";
    // 16 channels x 25 kHz for 6000 s pass 2^31 samples: one chunk at the end, the rest a gap.
    KvdRecordingPlan huge;
    huge.rateHz = 25000;
    huge.streams[0].channels = std::vector<std::string>(seventeen.size() - 1, "x");
    huge.chunkMs = 1000;
    huge.chunks = 6000;
    for (int k = 0; k + 1 < huge.chunks; ++k)
        huge.dropChunks.push_back(k);
    const std::vector<Column> sixteen(seventeen.begin(), seventeen.end() - 1);
    const struct
    {
        const char* name;
        KvdRecordingPlan plan;
        std::vector<Column> columns;
        int result;
    } cases[] = {
        {"17 entries", wide, seventeen, kConvertIncompatible},
        {"different rates", rates, {{0, 0}, {1, 0}}, kConvertRatesDiffer},
        {"16-bit and 12-bit streams", bits, {{0, 0}, {1, 0}}, kConvertIncompatible},
        {"digital events", events, {{0, 0}, {1, 0}}, kConvertIncompatible},
        {"more samples than 32 bits count", huge, sixteen, kConvertReported},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Export e(c.plan, c.columns);
        EXPECT_EQ(e.Run(), c.result);
        EXPECT_NE(access(e.Out().c_str(), F_OK), 0);
        EXPECT_EQ(e.messages.texts.size(), c.result == kConvertReported ? 1u : 0u);
    }
    {
        SCOPED_TRACE("the output is the input");
        Export e(KvdRecordingPlan(), {{0, 0}});
        const std::vector<uint8_t> before = ReadFileBytes(e.dir.File("in.kvd"));
        e.converter->SetOutputName(e.dir.File("in.kvd"));
        EXPECT_EQ(e.Run(), kConvertOpenFailed);
        EXPECT_TRUE(ReadFileBytes(e.dir.File("in.kvd")) == before);
        EXPECT_EQ(e.messages.texts, std::vector<std::string>({"ERROR: Cannot open file '" + e.dir.File("in.kvd") + "'."}));
    }
    {
        SCOPED_TRACE("cancel after the first block");
        Export e(KvdRecordingPlan(), {{0, 0}, {0, 1}});
        e.converter->SetProgressCallback([](void*, int, const char*) { return 1; }, nullptr);
        EXPECT_EQ(e.Run(), kConvertCancelled);
        const std::vector<uint8_t> b = ReadFileBytes(e.Out());
        ExpectSoundFile(b);
        EXPECT_EQ(I32(b, 10), 2 * 10000);
        EXPECT_EQ(I16(b, 120), 2);
    }
    {
        SCOPED_TRACE("the disk fills during the second block");
        Export e(KvdRecordingPlan(), {{0, 0}});
        int rc = 0;
        {
            FileSizeLimit limit(32768);
            rc = e.Run();
        }
        EXPECT_EQ(rc, kConvertReported);
        ASSERT_EQ(e.messages.texts.size(), 1u);
        EXPECT_EQ(e.messages.texts[0], "ERROR: Insufficient disk space for file '" + e.Out() + "'.");
        const std::vector<uint8_t> b = ReadFileBytes(e.Out());
        ExpectSoundFile(b);
        EXPECT_EQ(I32(b, 10), 10000);
        const std::vector<int> all = e.Expected()[0][0];
        ExpectSamples(b, {{std::vector<int>(all.begin(), all.begin() + 10000)}});
    }
}

// ---- Public readers ----
// Files written from generated recordings are read back by python3-neo and python3-stfio
// through tests/export/abf/check_abf_readers.py: channel count, names, units, rate, episode
// count and every sample value. Tags are checked above, byte by byte: neo 0.11 looks for the
// ABF 1.x tag section at its block number instead of at block x 512, and the stfio module does
// not hand tags to Python.

namespace {

std::string ReaderScript()
{
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of('/') + 1) + "check_abf_readers.py";
}

std::string Trimmed(const std::vector<uint8_t>& b, size_t at, size_t width)
{
    std::string text = Field(b, at, width);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    std::string json;
    for (unsigned char c : text)
        json += c == 0xB5 ? std::string("\\u00b5") : c == '"' || c == '\\' ? std::string("\\") + char(c) : std::string(1, char(c));
    return json;
}

// The expectations file of check_abf_readers.py, from the written header and the samples.
void WriteExpectations(const Export& e, const std::string& path, bool neoOnly)
{
    const std::vector<uint8_t> b = ReadFileBytes(e.Out());
    std::ostringstream json;
    json.precision(17);
    json << "{\"mode\": \"" << (I16(b, 8) == 2 ? "episodic" : "gapfree") << "\", \"rate\": " << e.plan.rateHz
         << (neoOnly ? ", \"readers\": [\"neo\"]" : "") << ", \"channels\": [";
    for (size_t i = 0; i < e.columns.size(); ++i) {
        const double gain = F32(b, 244) / (F32(b, 922 + 4 * i) * static_cast<double>(I32(b, 252)));
        json << (i ? ", " : "") << "{\"name\": \"" << Trimmed(b, 442 + 10 * i, 10) << "\", \"units\": \""
             << Trimmed(b, 602 + 8 * i, 8) << "\", \"gain\": " << gain << ", \"offset\": " << F32(b, 986 + 4 * i) << "}";
    }
    json << "], \"episodes\": [";
    const auto episodes = e.Expected();
    for (size_t k = 0; k < episodes.size(); ++k) {
        json << (k ? ", " : "") << "[";
        for (size_t c = 0; c < episodes[k].size(); ++c) {
            json << (c ? ", " : "") << "[";
            for (size_t i = 0; i < episodes[k][c].size(); ++i)
                json << (i ? "," : "") << episodes[k][c][i];
            json << "]";
        }
        json << "]";
    }
    json << "]}";
    std::ofstream(path) << json.str();
}

} // namespace

TEST(CConvertToABF, PublicReadersReadTheExports)
{
    if (access("/usr/bin/python3", X_OK) != 0)
        GTEST_SKIP() << "python3 is not installed";
    struct Case
    {
        const char* name;
        KvdRecordingPlan plan;
        std::vector<Column> columns;
        bool neoOnly;   // stfio misreads offset-binary samples of other widths than 16 bits
        bool tags = false;
    };
    std::vector<Case> cases(7);
    cases[0] = {"continuous, 1 channel, 10 kHz, range code and channel scale", KvdRecordingPlan(), {{0, 1}}, false};
    cases[0].plan.rangeCode = 2500;
    cases[0].plan.streams[0].extension = 100000;
    cases[1] = {"continuous, 3 channels of two streams, 12.5 kHz", KvdRecordingPlan(), {{0, 0}, {1, 1}, {0, 1}}, false};
    cases[1].plan.rateHz = 12500;
    cases[1].plan.chunks = 12;
    cases[1].plan.streams.push_back(Analog(16, 32768));
    cases[2] = {"continuous, 12-bit offset binary, 5 kHz", KvdRecordingPlan(), {{0, 0}, {0, 1}}, true};
    cases[2].plan.rateHz = 5000;
    cases[2].plan.streams = {Analog(12, 2048)};
    cases[3] = {"triggered, 4 channels, 12.5 kHz, sweep length 201 ms", KvdRecordingPlan(), {}, false};
    cases[3].plan.triggered = true;
    cases[3].plan.rateHz = 12500;
    cases[3].plan.sweepLengthMs = 201;
    cases[3].plan.shortSweeps = {2};
    cases[3].plan.streams[0].channels = {"11", "12", "13", "14"};
    cases[3].columns = {{0, 0}, {0, 1}, {0, 2}, {0, 3}};
    cases[4] = {"triggered, 16 channels, 25 kHz", KvdRecordingPlan(), {}, false};
    cases[4].plan.triggered = true;
    cases[4].plan.rateHz = 25000;
    cases[4].plan.sweeps = 2;
    cases[4].plan.rangeCode = 410;
    cases[4].plan.streams[0].extension = 200000;
    for (size_t i = 0; i < 16; ++i) {
        cases[4].plan.streams[0].channels.resize(16, "");
        cases[4].plan.streams[0].channels[i] = std::to_string(21 + i);
        cases[4].columns.push_back({0, i});
    }
    cases[5] = {"continuous, 8 channels, 20 kHz, a gap written as 0 V", KvdRecordingPlan(), {}, false};
    cases[5].plan.rateHz = 20000;
    cases[5].plan.dropChunks = {4};
    cases[5].plan.streams[0].channels = {"1", "2", "3", "4", "5", "6", "7", "8"};
    cases[5].columns = {{0, 7}, {0, 6}, {0, 5}, {0, 4}, {0, 3}, {0, 2}, {0, 1}, {0, 0}};
    cases[6] = {"continuous with trigger tags, 2 channels", KvdRecordingPlan(), {{0, 1}, {0, 0}}, false, true};
    cases[6].plan.triggerMs = {100, 1500};

    std::vector<std::unique_ptr<Export>> exports;
    std::string command = "/usr/bin/python3 '" + ReaderScript() + "'";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        exports.push_back(std::make_unique<Export>(c.plan, c.columns));
        Export& e = *exports.back();
        e.converter->SetSaveTriggersAsTags(c.tags);
        ASSERT_EQ(e.Run(), kConvertOk);
        WriteExpectations(e, e.dir.File("expect.json"), c.neoOnly);
        command += " '" + e.Out() + "' '" + e.dir.File("expect.json") + "'";
    }
    // One run of the readers for all files: loading them takes most of the time.
    const std::string report = exports[0]->dir.File("readers.out");
    const int status = std::system((command + " >'" + report + "' 2>&1").c_str());
    std::ifstream in(report);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(WIFEXITED(status)) << text;
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << text;
    EXPECT_EQ(WEXITSTATUS(status), 0) << text;
}
