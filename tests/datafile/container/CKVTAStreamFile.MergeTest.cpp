#include "datafile/container/CKVTAStreamFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <tuple>

#include "datafile/container/KvdFormat.h"
#include "platform/CByteWriter.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace FH = Kvd::FileHeader;

namespace {

constexpr uint64_t T0 = kKvdDefaultStart;
constexpr uint64_t kMs = 1000000;
constexpr uint64_t kHour = 3600000 * kMs;

// A stream of channels given as (number, id).
KvdStreamPlan Stream(const std::string& type, const std::string& name, const std::string& id, uint16_t chunkNumber,
                     const std::vector<std::pair<int, int>>& channels)
{
    KvdStreamPlan plan;
    plan.bufferType = type;
    plan.name = name;
    plan.id = id;
    plan.chunkNumber = chunkNumber;
    for (const auto& c : channels) {
        plan.channels.emplace_back();
        plan.channels.back().number = c.first;
        plan.channels.back().id = c.second;
    }
    return plan;
}

// Spike cutouts of stream header version 8 (time, channel id, head words, 2 samples).
std::vector<uint8_t> Spikes(const std::vector<std::pair<uint64_t, uint16_t>>& records)
{
    std::vector<uint8_t> bytes;
    CByteWriter out(bytes);
    for (const auto& r : records)
        out.Put<uint64_t>(r.first).Put<uint16_t>(r.second).Put<uint32_t>(1).Put<uint32_t>(0).Put<int32_t>(2)
            .Put<uint16_t>(11).Put<uint16_t>(22);
    return bytes;
}

// Id (up to its first NUL), start, stop and payload of a data chunk.
using Chunk = std::tuple<std::string, uint64_t, uint64_t, std::vector<uint8_t>>;

// Every data chunk of a file in file order.
std::vector<Chunk> Chunks(CKVTAStreamFile& file)
{
    std::vector<Chunk> chunks;
    for (auto block = file.GetFirstChunk(); block; block = file.GetNextChunk(*block)) {
        chunks.emplace_back(block->GetChunkId().c_str(), block->GetStartTime(), block->GetStopTime(), std::vector<uint8_t>());
        EXPECT_TRUE(block->ReadPayload(std::get<3>(chunks.back())));
    }
    return chunks;
}

struct Merge
{
    TempDir dir;
    std::vector<std::unique_ptr<CKVTAStreamFile>> inputs;
    std::vector<CKVTAStreamFile*> files;
    CKVTAStreamFile output;
    CKVTAStreamFile merged;

    void Add(const KvdBuilder& b)
    {
        const std::string path = NextInput();
        ASSERT_TRUE(b.WriteTo(path));
        AddFile(path);
    }
    void Add(const KvdRecordingPlan& plan)
    {
        const std::string path = NextInput();
        ASSERT_TRUE(WriteKvdRecording(plan, path));
        AddFile(path);
    }
    // Opens the recording at `path` as the next input.
    void AddFile(const std::string& path)
    {
        inputs.push_back(std::make_unique<CKVTAStreamFile>());
        ASSERT_EQ(inputs.back()->Open(path), 0);
        files.push_back(inputs.back().get());
    }
    std::string NextInput() { return dir.File("in" + std::to_string(inputs.size()) + ".kvd"); }
    int Run(KvtProgressCallback progress = nullptr, const std::string& name = "out.kvd")
    {
        const int result = output.MergeFiles(files.data(), static_cast<int>(files.size()), dir.File(name), progress);
        EXPECT_EQ(result == 0 || result == 2 ? merged.Open(dir.File(name)) : 0, 0);
        return result;
    }
};

// 300 ms of continuous recording in header version v: 3 chunks of 2 electrodes and a spike chunk.
// The later file names its chunks in upper case, numbers its spike channels differently (number 5
// is id 7 first, id 3 later) and holds a chunk of no stream.
KvdBuilder Continuous(uint16_t v, uint64_t start, bool later)
{
    KvdBuilder b(v);
    b.Set<uint64_t>(FH::kRecordingTime, start).Set<uint64_t>(FH::kStartTime, start);
    b.Set<uint64_t>(FH::kStopTime, start + 300 * kMs);
    b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001", 1, {{0, 0}, {1, 1}}));
    b.AddStream(Stream("spikes", "Spikes 1", "spks0001", 2, later ? std::vector<std::pair<int, int>> {{6, 2}, {5, 3}}
                                                                  : std::vector<std::pair<int, int>> {{5, 7}, {6, 8}}));
    const std::string elec = v < 5 ? (later ? "00001RAW" : "00001raw") : (later ? "ELEC0001" : "elec0001");
    const std::string spks = v < 5 ? (later ? "00002SPK" : "00002spk") : (later ? "SPKS0001" : "spks0001");
    for (int i = 0; i < 3; ++i)
        b.AddChunk(elec, start + i * 100 * kMs, start + (i + 1) * 100 * kMs, KvdFrames(4, 2, (later ? 10 : 0) + 4 * i));
    b.AddChunk(spks, start, start + 300 * kMs,
               later ? Spikes({{start + 20 * kMs, 3}, {start + 30 * kMs, 99}}) : Spikes({{start + 10 * kMs, 7}}));
    if (later)
        b.AddChunk("zzzz0001", start + kMs, start + 2 * kMs, {1, 2, 3});
    return b;
}

} // namespace

TEST(CKVTAStreamFileMerge, ContinuousFilesFollowEachOtherWithEveryChunkAndAStoredIndex)
{
    for (uint16_t v : {4, 11}) {
        SCOPED_TRACE(v);
        CMOrvexStimulatorProperty stimulator;
        stimulator.SetDefaults(1, true);
        stimulator.m_text = "pulse train";
        std::vector<uint8_t> chunk;
        stimulator.WriteChunk(chunk);
        const uint64_t later = T0 + kHour;
        Merge m;
        m.Add(Continuous(v, later, true));
        m.Add(v < 10 ? Continuous(v, T0, false)
                     : Continuous(v, T0, false).Set<uint8_t>(FH::kStimulatorFlag, 1).AddHeaderChunk(chunk));
        ASSERT_EQ(m.Run(), 0) << CKVTAStreamFile::GetLastErrorText();
        EXPECT_EQ(CKVTAStreamFile::GetLastErrorText(), "");
        EXPECT_EQ(m.files[0], m.inputs[1].get());  // given later first, merged earlier first

        const uint64_t shift = T0 + 300 * kMs - later;
        const std::vector<Chunk> expected = {
            {"elec0001", T0, T0 + 100 * kMs, KvdFrames(4, 2, 0)},
            {"elec0001", T0 + 100 * kMs, T0 + 200 * kMs, KvdFrames(4, 2, 4)},
            {"elec0001", T0 + 200 * kMs, T0 + 300 * kMs, KvdFrames(4, 2, 8)},
            {"spks0001", T0, T0 + 300 * kMs, Spikes({{T0 + 10 * kMs, 7}})},
            {"elec0001", T0 + 300 * kMs, T0 + 400 * kMs, KvdFrames(4, 2, 10)},
            {"elec0001", T0 + 400 * kMs, T0 + 500 * kMs, KvdFrames(4, 2, 14)},
            {"elec0001", T0 + 500 * kMs, T0 + 600 * kMs, KvdFrames(4, 2, 18)},
            // id 3 is number 5, which is 7 in the first file; no channel has id 99
            {"spks0001", T0 + 300 * kMs, T0 + 600 * kMs, Spikes({{T0 + 320 * kMs, 7}, {T0 + 330 * kMs, 99}})},
            {"zzzz0001", later + kMs + shift, later + 2 * kMs + shift, {1, 2, 3}},
        };
        CKVTAStreamFile& out = m.merged;
        EXPECT_EQ(Chunks(out), expected);
        EXPECT_EQ(out.GetHeaderVersion(), 11);
        EXPECT_EQ(out.GetHeader()->GetDataChunkCount(), 9);
        EXPECT_EQ(out.GetStopTimeStamp().GetTime(), T0 + 600 * kMs);
        for (int s = 0, blocks = 0; s < 2; ++s, blocks = 0) {
            for (auto b = out.GetStream(s)->GetFirstChunk(); b; b = out.GetStream(s)->GetNextChunk(*b))
                ++blocks;
            EXPECT_EQ(blocks, s == 0 ? 6 : 2);  // each stream reads all its chunks
        }
        std::vector<uint8_t> want;
        std::vector<uint8_t> got;
        (v >= 10 ? stimulator : CMOrvexStimulatorProperty()).WriteChunk(want);
        out.GetStimulator().WriteChunk(got);
        EXPECT_EQ(got, want);

        // The stored index starts right behind the last chunk and equals a generated one.
        uint64_t dataEnd = out.GetDataStart();
        for (const Chunk& c : expected)
            dataEnd += 32 + std::get<3>(c).size();
        EXPECT_EQ(out.GetIndexPosition(), dataEnd);
        ASSERT_TRUE(out.HasStoredIndex() && out.GetIndex().IsBuilt());
        const std::vector<KvtIndexEntry> stored = out.GetIndex().GetEntries();
        EXPECT_EQ(out.GetSweepCount(), 1);
        EXPECT_EQ(out.GetIndex().GetSweepStopValue(0), T0 + 600 * kMs);
        ASSERT_TRUE(out.GenerateIndex());
        const std::vector<KvtIndexEntry>& fresh = out.GetIndex().GetEntries();
        EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), stored.begin(), stored.end(),
                               [](auto& a, auto& b) { return a.time == b.time && a.offset == b.offset; }));
    }
}

TEST(CKVTAStreamFileMerge, TimesOfTriggeredSplitAndOverlappingRecordings)
{
    // Triggered recordings 10 s apart, of two sweeps each, keep their times; files before header
    // version 5 name their trigger stream by its chunk number and their chunks by number.
    for (uint16_t v : {4, 11}) {
        SCOPED_TRACE(v);
        Merge triggered;
        for (uint64_t start : {T0 + 20000 * kMs, T0, T0 + 10000 * kMs}) {
            KvdBuilder b(v);
            b.Set<uint64_t>(FH::kRecordingTime, start).Set<uint64_t>(FH::kStartTime, start);
            b.Set<int32_t>(FH::kRecordingMode, 1);
            if (v < 5)
                b.Set<uint16_t>(FH::kTriggerStreamNumber, 2);
            else
                b.SetText(FH::kStartTriggerId, "trig0001");
            // 20 Hz: the two frames of each chunk last its 100 ms, so every sweep reads whole.
            KvdStreamPlan electrodes = Stream("analog", "Electrode Raw Data", "elec0001", 1, {{0, 0}});
            electrodes.sampleRate = 20000;
            b.AddStream(electrodes);
            b.AddStream(Stream("trigger", "Trigger 1", "trig0001", 2, {{0, 0}}));
            for (uint64_t sweep : {start, start + 1000 * kMs})
                for (uint64_t i = 0; i < 2; ++i)
                    b.AddChunk(v < 5 ? "00001raw" : "elec0001", sweep + i * 100 * kMs,
                               sweep + (i + 1) * 100 * kMs, KvdFrames(2, 1));
            triggered.Add(b);
        }
        EXPECT_EQ(triggered.files[0]->GetTriggerStreamIndex(), 1);
        EXPECT_EQ(CKVTAStreamFile::CheckMergeCompatibility(triggered.files.data(), 3), 1);
        ASSERT_EQ(triggered.Run(), 0) << CKVTAStreamFile::GetLastErrorText();
        EXPECT_EQ(triggered.merged.GetRecordingMode(), 1);
        EXPECT_EQ(triggered.merged.GetTriggerStreamIndex(), 1);
        ASSERT_EQ(triggered.merged.GetSweepCount(), 6);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(triggered.merged.GetSweepStartValue(i), T0 + (i / 2) * 10000 * kMs + (i % 2) * 1000 * kMs) << i;
    }

    // Continuous recordings: parts of one recording (one press time) that follow on exactly;
    // then a first file that stopped (stamp 0) before its last chunk ended and a second one with
    // data before its start time. Data never moves into what was written already.
    struct Case {
        uint64_t press2, start2, stop1, chunk2, expectedStart2; int check;
    };
    const Case cases[] = {
        {T0, T0 + 200 * kMs, T0 + 200 * kMs, T0 + 200 * kMs, T0 + 200 * kMs, 3},
        {T0 + kHour, T0 + kHour, 0, T0 + kHour - 50 * kMs, T0 + 200 * kMs, 1},
    };
    for (const Case& c : cases) {
        Merge m;
        for (int f = 0; f < 2; ++f) {
            KvdBuilder b(11);
            const uint64_t chunk = f ? c.chunk2 : T0;
            b.Set<uint64_t>(FH::kRecordingTime, f ? c.press2 : T0).Set<uint64_t>(FH::kStartTime, f ? c.start2 : T0);
            b.Set<uint64_t>(FH::kStopTime, f ? chunk + 200 * kMs : c.stop1);
            b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001", 1, {{0, 0}}));
            b.AddChunk("elec0001", chunk, chunk + 100 * kMs, KvdFrames(2, 1));
            b.AddChunk("elec0001", chunk + 100 * kMs, chunk + 200 * kMs, KvdFrames(2, 1, 2));
            m.Add(b);
        }
        EXPECT_EQ(CKVTAStreamFile::CheckMergeCompatibility(m.files.data(), 2), c.check);
        ASSERT_EQ(m.Run(), 0);
        const std::vector<Chunk> chunks = Chunks(m.merged);
        ASSERT_EQ(chunks.size(), 4u);
        EXPECT_EQ(std::get<1>(chunks[2]), c.expectedStart2);
        EXPECT_EQ(std::get<2>(chunks[3]), c.expectedStart2 + 200 * kMs);
        EXPECT_EQ(m.merged.GetSweepCount(), 1);
    }
}

TEST(CKVTAStreamFileMerge, FilterColumnsFollowTheFirstFilesChannelOrder)
{
    // Channel numbers 1, 2, 3 of the first file are stored as 3, 1, 2 in the second, whose chunk
    // ends in a partial frame and is long enough to be copied in several pieces.
    constexpr size_t kFrames = 800000;
    const auto frames = [&](const std::vector<int>& numbers, bool tail) {
        std::vector<uint8_t> bytes(kFrames * 6 + (tail ? 2 : 0), 7);
        for (size_t f = 0; f < kFrames; ++f)
            for (size_t c = 0; c < 3; ++c)
                StoreLE<uint16_t>(bytes.data() + 6 * f + 2 * c, static_cast<uint16_t>(100 * f + numbers[c]));
        return bytes;
    };
    Merge m;
    for (bool second : {false, true}) {
        const std::vector<int> numbers = second ? std::vector<int> {3, 1, 2} : std::vector<int> {1, 2, 3};
        KvdBuilder b(11);
        b.Set<int32_t>(FH::kRecordingMode, 1).SetText(FH::kStartTriggerId, "filt0001");
        b.AddStream(Stream("filter", "Filter 1", "filt0001", 1, {{numbers[0], 0}, {numbers[1], 1}, {numbers[2], 2}}));
        b.AddChunk("filt0001", T0 + second * kHour, T0 + second * kHour + kMs, frames(numbers, second));
        m.Add(b);
    }
    ASSERT_EQ(m.Run(), 0);
    const std::vector<Chunk> chunks = Chunks(m.merged);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_TRUE(std::get<3>(chunks[0]) == frames({1, 2, 3}, false));
    EXPECT_TRUE(std::get<3>(chunks[1]) == frames({1, 2, 3}, true));
}

TEST(CKVTAStreamFileMerge, EachDifferenceStopsTheCheckWithItsMessage)
{
    using Change = std::function<void(KvdBuilder&, std::vector<KvdStreamPlan>&)>;
    const auto build = [](const Change& change) {
        KvdBuilder b(11);
        std::vector<KvdStreamPlan> streams = {Stream("analog", "Electrode Raw Data", "elec0001", 1, {{0, 0}, {1, 1}}),
                                              Stream("spikes", "Spikes 1", "spks0001", 2, {{5, 0}, {6, 1}}),
                                              Stream("filter", "Filter 1", "filt0001", 3, {{1, 0}, {2, 1}, {3, 2}})};
        if (change)
            change(b, streams);
        for (const KvdStreamPlan& stream : streams)
            b.AddStream(stream);
        return b;
    };
    struct Case {
        const char* message; Change change; bool inFirst;
    };
    const char* const kVersions = "Files were recorded with different Harpstead versions.";
    const char* const kSpike = "Different recorded channels in spike stream.";
    const Case cases[] = {
        {kVersions, [](KvdBuilder& b, auto&) { b.Set<int32_t>(FH::kProgramVersion1, (1 << 16) | 41); }, false},
        {kVersions, [](KvdBuilder& b, auto&) { b.Set<int32_t>(FH::kProgramVersion2, 9); }, false},
        {"Different source types.", [](KvdBuilder& b, auto&) { b.Set<int32_t>(FH::kLayoutKind, 1); }, false},
        {"Different recording modes.",
         [](KvdBuilder& b, auto&) { b.Set<int32_t>(FH::kRecordingMode, 1).SetText(FH::kStartTriggerId, "elec0001"); },
         false},
        {"Different sample rate.", [](KvdBuilder& b, auto&) { b.Set<int32_t>(FH::kSampleRate, 10000000); }, false},
        {"Different stream count in files.", [](KvdBuilder&, auto& s) { s.pop_back(); }, false},
        {"Different stream types in files.", [](KvdBuilder&, auto& s) { s[1].id = "spks0002"; }, false},
        {"Different channel count in one stream.", [](KvdBuilder&, auto& s) { s[0].channels.pop_back(); }, false},
        {"Different sample rate in one stream.", [](KvdBuilder&, auto& s) { s[0].sampleRate = 10000000; }, false},
        // Spike records of version 8 appended to a stream of version 11 would be misread.
        {"Different header version in one stream.", [](KvdBuilder&, auto& s) { s[1].headerVersion = 11; }, false},
        {"Different recorded channels in one stream.", [](KvdBuilder&, auto& s) { s[0].channels[1].number = 2; },
         false},
        {kSpike, [](KvdBuilder&, auto& s) { s[1].channels[1].number = 7; }, false},
        // Two channels in one sample column would lose one of them.
        {kSpike, [](KvdBuilder&, auto& s) { s[2].channels[1].number = 1; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Merge m;
        m.Add(build(c.inFirst ? c.change : nullptr));
        m.Add(build(c.inFirst ? nullptr : c.change));
        EXPECT_EQ(CKVTAStreamFile::CheckMergeCompatibility(m.files.data(), 2), 0);
        EXPECT_EQ(CKVTAStreamFile::GetLastErrorText(), c.message);
        CKVTAStreamFile::SetLastErrorText(nullptr);
        EXPECT_EQ(m.Run(), 1);
        EXPECT_EQ(CKVTAStreamFile::GetLastErrorText(), c.message);
        EXPECT_NE(access(m.dir.File("out.kvd").c_str(), F_OK), 0);
    }
    EXPECT_EQ(CKVTAStreamFile::CheckMergeCompatibility(nullptr, 0), 3);
    CKVTAStreamFile output;
    EXPECT_EQ(output.MergeFiles(nullptr, 0, "unused.kvd", nullptr), 1);
    EXPECT_EQ(CKVTAStreamFile::GetLastErrorText(), "No files to merge.");

    // A caller's buffer always ends in a terminator, however long the text.
    CKVTAStreamFile::SetLastErrorText(std::string(400, 'x').c_str());
    EXPECT_EQ(CKVTAStreamFile::GetLastErrorText().size(), kKvtLastErrorTextBytes - 1);
    char buffer[8] = "#######";
    CKVTAStreamFile::GetLastErrorText(buffer, 5);
    EXPECT_EQ(std::string(buffer, 7), std::string("xxxx\0##", 7));
}

TEST(CKVTAStreamFileMerge, RefusesAnOutputThatIsAnInputUnderAnyName)
{
    for (const char* name : {"in1.kvd", "alias.kvd"}) {
        SCOPED_TRACE(name);
        Merge m;
        m.Add(Continuous(11, T0, false));
        m.Add(Continuous(11, T0 + kHour, true));
        const std::string input = m.inputs[1]->GetPath();
        const std::vector<uint8_t> before = ReadFileBytes(input);
        link(input.c_str(), m.dir.File("alias.kvd").c_str());
        EXPECT_EQ(m.Run(nullptr, name), 1);
        EXPECT_EQ(CKVTAStreamFile::GetLastErrorText(), "Error opening output file.");
        EXPECT_EQ(ReadFileBytes(input), before);
    }
}

TEST(CKVTAStreamFileMerge, AWriteFailureAnywhereIsReportedAndNeverTouchesAnInput)
{
    // A chunk larger than the output's buffer makes a data write itself fail.
    Merge m;
    m.Add(Continuous(11, T0, false));
    m.Add(Continuous(11, T0 + kHour, true).AddChunk("elec0001", T0 + kHour, T0 + kHour + kMs, KvdFrames(400000, 2)));
    const std::vector<uint8_t> first = ReadFileBytes(m.inputs[0]->GetPath());
    const std::vector<uint8_t> second = ReadFileBytes(m.inputs[1]->GetPath());
    ASSERT_EQ(m.Run(), 0);
    const size_t whole = ReadFileBytes(m.dir.File("out.kvd")).size();
    // In the header area, in the data, in the index behind it.
    for (size_t limit : {size_t(100), static_cast<size_t>(m.merged.GetDataStart() + 40), whole - 4}) {
        SCOPED_TRACE(limit);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit size {limit, limit};
            setrlimit(RLIMIT_FSIZE, &size);
            CKVTAStreamFile output;
            const int result = output.MergeFiles(m.files.data(), 2, m.dir.File("full.kvd"), nullptr);
            _exit(result == 1 && CKVTAStreamFile::GetLastErrorText() == "Error writing output file." ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(ReadFileBytes(m.inputs[0]->GetPath()), first);
    EXPECT_EQ(ReadFileBytes(m.inputs[1]->GetPath()), second);
}

TEST(CKVTAStreamFileMerge, ProgressStaysInRangeAndCancelStopsEitherStep)
{
    // The first file claims one chunk of its four, the second none.
    for (const std::string cancelAt : {"", "Merging file: ", "Generating index"}) {
        SCOPED_TRACE(cancelAt);
        Merge m;
        m.Add(Continuous(11, T0, false).Set<int64_t>(FH::kDataChunkCount, 1));
        m.Add(Continuous(11, T0 + kHour, true));
        std::vector<std::string> texts;
        const int result = m.Run([&](const char* text, int percent) {
            EXPECT_TRUE(percent >= 0 && percent <= 100) << percent;
            texts.push_back(text);
            return !cancelAt.empty() && texts.back().compare(0, cancelAt.size(), cancelAt) == 0;
        });
        EXPECT_EQ(result, cancelAt.empty() ? 0 : 1);
        EXPECT_EQ(CKVTAStreamFile::GetLastErrorText(), cancelAt.empty() ? "" : "Merging canceled.");
        EXPECT_EQ(texts.front(), "Merging file: " + m.inputs[0]->GetPath());
    }
}

namespace {

// Electrodes and the digital stream that files before header version 5 name "Digital Data",
// at the 25 kHz that header version 0 implies; 10 chunks or 4 sweeps.
KvdRecordingPlan SplitPlan(uint16_t version, bool triggered)
{
    KvdRecordingPlan plan;
    plan.fileVersion = version;
    plan.rateHz = 25000;
    plan.chunks = 10;
    plan.triggered = triggered;
    plan.sweeps = 4;
    plan.streams.push_back(KvdDigitalStreamPlan());
    return plan;
}

// The first `count` chunks or sweeps of the whole (from 0) or the rest (from `count`).
KvdRecordingPlan Part(const KvdRecordingPlan& whole, int count, bool rest)
{
    KvdRecordingPlan part = whole;
    if (whole.triggered) {
        part.firstSweep = rest ? count : 0;
        part.sweeps = rest ? whole.sweeps - count : count;
    } else {
        part.firstChunk = rest ? count : 0;
        part.chunks = rest ? whole.chunks - count : count;
    }
    return part;
}

} // namespace

TEST(CKVTAStreamFileMerge, SplitRecordingsOfEveryHeaderVersionMergeIntoTheWhole)
{
    // Given later part first. Version 0 stores neither stop time nor mode, nor ids for the
    // trigger and the digital streams; version 3 names its trigger stream by chunk number.
    for (uint16_t v : {0, 3, 11}) {
        for (bool triggered : {false, true}) {
            SCOPED_TRACE(std::to_string(v) + (triggered ? " triggered" : " continuous"));
            const KvdRecordingPlan plan = SplitPlan(v, triggered);
            Merge whole;
            whole.Add(plan);
            CKVTAStreamFile& w = *whole.files[0];
            Merge m;
            m.Add(Part(plan, triggered ? 2 : 6, true));
            m.Add(Part(plan, triggered ? 2 : 6, false));
            ASSERT_EQ(m.Run(), 0) << CKVTAStreamFile::GetLastErrorText();
            CKVTAStreamFile& out = m.merged;

            const uint64_t stop = T0 + (triggered ? 1700 : 1000) * kMs;
            EXPECT_EQ(out.GetHeader()->GetStopTime(), stop);
            EXPECT_EQ(out.GetRecordingMode(), triggered ? 1 : 0);
            EXPECT_EQ(out.GetTriggerStreamIndex(), w.GetTriggerStreamIndex());
            ASSERT_EQ(out.GetSweepCount(), w.GetSweepCount());
            for (int i = 0; i < w.GetSweepCount(); ++i) {
                EXPECT_EQ(out.GetSweepStartValue(i), w.GetSweepStartValue(i)) << i;
                EXPECT_EQ(out.GetSweepStopTime(i)->GetTime(), w.GetSweepStopTime(i)->GetTime()) << i;
            }
            EXPECT_EQ(out.GetStopTimeStamp().GetTime(), stop);
            EXPECT_EQ(w.GetStopTimeStamp().GetTime(), stop);
            EXPECT_EQ(out.GetSweepLength(), w.GetSweepLength());

            // The whole's chunks, each under the id of its stream in a current file.
            std::vector<std::string> ids;
            for (int s = 0; s < out.GetStreamCount(); ++s)
                ids.push_back(out.GetStream(s)->GetId());
            std::vector<std::string> expectedIds = {"elec0001", "digi0001"};
            if (triggered)
                expectedIds.insert(v == 0 ? expectedIds.end() : expectedIds.begin(), "trig0001");
            EXPECT_EQ(ids, expectedIds);
            std::vector<Chunk> expected = Chunks(w);
            for (Chunk& c : expected)
                for (int s = 0; s < w.GetStreamCount(); ++s)
                    if (std::get<0>(c) == w.GetStream(s)->GetChunkId().c_str())
                        std::get<0>(c) = ids[static_cast<size_t>(s)];
            std::vector<Chunk> got = Chunks(out);
            ASSERT_EQ(got.size(), expected.size());
            for (size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(std::get<0>(got[i]), std::get<0>(expected[i])) << i;
                EXPECT_EQ(std::get<1>(got[i]), std::get<1>(expected[i])) << i;
                EXPECT_EQ(std::get<2>(got[i]), std::get<2>(expected[i])) << i;
                EXPECT_TRUE(std::get<3>(got[i]) == std::get<3>(expected[i])) << i;
            }
        }
    }
}

TEST(CKVTAStreamFileMerge, AnInputWithoutStopTimeEndsAtItsLastChunk)
{
    // Two recordings of version 0 (no stop time on disk), and of version 11 with a stop time
    // of 0 in the later one: the output stops where the later one's data ends, never wrapped.
    for (uint16_t v : {0, 11}) {
        SCOPED_TRACE(v);
        const KvdRecordingPlan plan = SplitPlan(v, false);
        Merge m;
        m.Add(Part(plan, 6, true));
        m.Add(Part(plan, 6, false));
        if (v == 11) {
            std::vector<uint8_t> bytes = ReadFileBytes(m.inputs[0]->GetPath());
            PatchLE<uint64_t>(bytes, Kvd::kFileHeaderAt + FH::kStopTime, 0);
            ASSERT_TRUE(WriteFileBytes(m.inputs[0]->GetPath(), bytes));
            ASSERT_EQ(m.inputs[0]->Open(m.inputs[0]->GetPath()), 0);
        }
        ASSERT_EQ(m.Run(), 0) << CKVTAStreamFile::GetLastErrorText();
        EXPECT_EQ(m.merged.GetHeader()->GetStopTime(), T0 + 1000 * kMs);
        EXPECT_EQ(m.merged.GetStopTimeStamp().GetTime(), T0 + 1000 * kMs);

        // Merged again with a later recording, which follows on at once.
        KvdRecordingPlan later = Part(plan, 10, true);
        later.firstChunk = 20;
        later.chunks = 2;
        Merge again;
        again.Add(later);
        again.files.push_back(&m.merged);
        ASSERT_EQ(again.Run(), 0) << CKVTAStreamFile::GetLastErrorText();
        const std::vector<Chunk> chunks = Chunks(again.merged);
        ASSERT_EQ(chunks.size(), 24u);
        EXPECT_EQ(std::get<1>(chunks[20]), T0 + 1000 * kMs);
        EXPECT_EQ(again.merged.GetHeader()->GetStopTime(), T0 + 1200 * kMs);
    }
}

TEST(CKVTAStreamFileMerge, RefusesTriggeredRecordingsThatOverlap)
{
    // The later file starts with the earlier one's last sweep; given in either order.
    for (uint16_t v : {0, 11}) {
        for (bool laterFirst : {false, true}) {
            SCOPED_TRACE(std::to_string(v) + (laterFirst ? " later first" : ""));
            const KvdRecordingPlan plan = SplitPlan(v, true);
            KvdRecordingPlan early = Part(plan, 3, false);
            KvdRecordingPlan late = Part(plan, 2, true);
            Merge m;
            m.Add(laterFirst ? late : early);
            m.Add(laterFirst ? early : late);
            EXPECT_EQ(m.Run(), 1);
            EXPECT_EQ(CKVTAStreamFile::GetLastErrorText(), "Triggered recordings overlapping in time cannot be merged.");
            EXPECT_NE(access(m.dir.File("out.kvd").c_str(), F_OK), 0);
        }
    }
}

TEST(CKVTAStreamFileMerge, DigitalStreamsOfOldFilesGetAnIdUnlessTwoWouldShareIt)
{
    for (bool twice : {false, true}) {
        SCOPED_TRACE(twice);
        KvdRecordingPlan plan = SplitPlan(3, false);
        if (twice) {
            plan.streams.push_back(plan.streams[1]);
            plan.streams.back().name = "Digital Data 1";
        }
        Merge m;
        m.Add(Part(plan, 6, false));
        m.Add(Part(plan, 6, true));
        EXPECT_EQ(m.Run(), twice ? 1 : 0);
        EXPECT_EQ(CKVTAStreamFile::GetLastErrorText(), twice ? "Streams without a unique id cannot be merged." : "");
        if (!twice) {
            EXPECT_EQ(m.merged.GetStream(1)->GetId(), "digi0001");
        }
    }
}

// Found by fuzzing: the merge copied the chunks head by head and stopped at a damaged head (a
// size field below 16), so every chunk behind it was left out of the merged file, although the
// chunk chain, and so every reader of the input, goes on at the next sound head. The same once
// the first head was the damaged one: the merge's walk began at the data start and found none.
TEST(CKVTAStreamFileMerge, FuzzRegressionChunksBehindADamagedHeadAreMerged)
{
    for (int damaged : {0, 1}) {
        SCOPED_TRACE(damaged == 0 ? "the first head damaged" : "the second head damaged");
        KvdBuilder b(11);
        b.Set<uint64_t>(FH::kRecordingTime, T0).Set<uint64_t>(FH::kStartTime, T0);
        b.Set<uint64_t>(FH::kStopTime, T0 + 300 * kMs);
        b.AddStream(Stream("analog", "Electrode Raw Data", "elec0001", 1, {{0, 0}, {1, 1}}));
        for (int k = 0; k < 3; ++k) {
            const uint64_t start = T0 + static_cast<uint64_t>(k) * 100 * kMs;
            if (k == damaged)
                b.AddRawChunk("elec0001", 0, start, start + 100 * kMs, std::vector<uint8_t>(16, 0));
            else
                b.AddChunk("elec0001", start, start + 100 * kMs, KvdFrames(4, 2, static_cast<uint16_t>(4 * k)));
        }
        Merge m;
        m.Add(b);
        m.Add(b);
        // Cancelled once every input is copied: a failure, which names no loss (found by fuzzing).
        const auto cancelAfterCopying = [](const char* text, int) {
            return std::string(text).find("Merging file") == std::string::npos ? 1 : 0;
        };
        EXPECT_EQ(m.Run(cancelAfterCopying, "cancelled.kvd"), 1);
        EXPECT_EQ(m.output.GetMergeLossText(), "");
        // Merged with every chunk the inputs give; the time each lost is named.
        ASSERT_EQ(m.Run(), 2);
        EXPECT_NE(m.output.GetMergeLossText().find("in Electrode Raw Data of " + m.files[1]->GetPath() + "."),
                  std::string::npos) << m.output.GetMergeLossText();

        const std::vector<Chunk> merged = Chunks(m.merged);
        ASSERT_EQ(merged.size(), 4u);
        EXPECT_EQ(std::get<3>(merged[1]), KvdFrames(4, 2, 8));
        EXPECT_EQ(std::get<3>(merged[3]), KvdFrames(4, 2, 8));
        // The second part follows on, its chunks where they lay in it.
        EXPECT_EQ(std::get<1>(merged[2]), std::get<1>(merged[0]) + 300 * kMs);
        CKVTAStream& electrodes = *m.merged.GetStream(0);
        size_t blocks = 0;
        for (auto block = electrodes.GetFirstChunk(); block; block = electrodes.GetNextChunk(*block))
            ++blocks;
        EXPECT_EQ(blocks, 4u);
    }
}

// An old file names its chunks by number: one damaged id byte is mended on reading (the chunk's
// times and neighbours leave no doubt), and the merge copies that chunk under its stream's id
// instead of leaving it behind under the damaged one.
TEST(CKVTAStreamFileMerge, AChunkWhoseDamagedIdWasMendedIsMergedIntoItsStream)
{
    KvdRecordingPlan plan;
    plan.fileVersion = 3;
    plan.rateHz = 1000;
    plan.chunks = 5;
    TempDir dir;
    KvdLayout layout;
    std::vector<KvdPlannedChunk> planned;
    ASSERT_TRUE(WriteKvdRecording(plan, dir.File("sound.kvd"), &layout, &planned));
    std::vector<uint8_t> bytes = ReadFileBytes(dir.File("sound.kvd"));
    bytes[layout.chunkAt[2] + 7] ^= 0x01;   // "00001raw" -> "00001rav"
    ASSERT_TRUE(WriteFileBytes(dir.File("damaged.kvd"), bytes));

    Merge m;
    ASSERT_NO_FATAL_FAILURE(m.AddFile(dir.File("damaged.kvd")));
    ASSERT_EQ(m.Run(), 0) << m.output.GetMergeLossText();
    const std::vector<Chunk> merged = Chunks(m.merged);
    ASSERT_EQ(merged.size(), planned.size());
    for (size_t i = 0; i < merged.size(); ++i)
        EXPECT_EQ(std::get<0>(merged[i]), "elec0001") << i;
}

namespace {

// How a test breaks one chunk head of a recording in sweeps.
enum class HeadDamage {
    kNone,
    kStartOneChunkEarlier,
    kStopOneChunkLater,
    kStartOneNsLate,
    kStopOneNsEarly,
    kIdOfTheTriggerStream
};

// The chunk of plan stream `stream` that begins `atNs` after the recording start, in file order.
size_t PlannedChunk(const KvdRecordingPlan& plan, const std::vector<KvdPlannedChunk>& chunks, size_t stream,
                    uint64_t atNs)
{
    const auto found = std::find_if(chunks.begin(), chunks.end(), [&](const KvdPlannedChunk& c) {
        return c.stream == plan.streams[stream].name && c.startNs == atNs;
    });
    return static_cast<size_t>(found - chunks.begin());
}

void BreakHead(std::vector<uint8_t>& bytes, size_t at, HeadDamage damage, uint64_t chunkNs, const char* triggerId)
{
    const auto move = [&](size_t field, int64_t ns) {
        uint64_t t = 0;
        std::memcpy(&t, &bytes[at + field], sizeof t);
        t += static_cast<uint64_t>(ns);
        std::memcpy(&bytes[at + field], &t, sizeof t);
    };
    if (damage == HeadDamage::kStartOneChunkEarlier)
        move(Kvd::DataChunk::kStart, -static_cast<int64_t>(chunkNs));
    else if (damage == HeadDamage::kStopOneChunkLater)
        move(Kvd::DataChunk::kStop, static_cast<int64_t>(chunkNs));
    else if (damage == HeadDamage::kStartOneNsLate)
        move(Kvd::DataChunk::kStart, 1);
    else if (damage == HeadDamage::kStopOneNsEarly)
        move(Kvd::DataChunk::kStop, -1);
    else if (damage == HeadDamage::kIdOfTheTriggerStream)
        std::memcpy(&bytes[at + Kvd::DataChunk::kId], triggerId, Kvd::kIdBytes);
}

// True when sweep `sweep` of `file` holds, in every stream of the plan, the plan's samples of
// sweep `planned`.
bool SweepReadsAsPlanned(CKVTAStreamFile& file, int sweep, const KvdRecordingPlan& plan, int planned)
{
    for (size_t s = 0; s < plan.streams.size(); ++s) {
        CKVTAStream* stream = nullptr;
        for (int i = 0; i < file.GetStreamCount(); ++i)
            if (file.GetStream(i)->GetName() == plan.streams[s].name)
                stream = file.GetStream(i);
        const size_t channels = plan.streams[s].channels.size();
        const uint64_t rows = static_cast<uint64_t>(plan.rateHz) * static_cast<uint64_t>(plan.sweepMs) / 1000;
        std::vector<uint16_t> values(rows * channels);
        if (!stream || stream->GetSweepSampleCount(sweep) != static_cast<int>(values.size())
            || stream->GetSweepSamples(values.data(), static_cast<int>(values.size()), sweep)
                   != static_cast<int>(values.size()))
            return false;
        const uint64_t first = KvdSweepStartNs(plan, planned) * static_cast<uint64_t>(plan.rateHz) / 1000000000u;
        for (uint64_t row = 0; row < rows; ++row)
            for (size_t c = 0; c < channels; ++c)
                if (values[row * channels + c] != KvdRecordingSample(plan, s, c, first + row))
                    return false;
    }
    return true;
}

} // namespace

// A damaged head the account trusts (its times no longer fit its frames) or one that now names
// another stream can leave a sweep that a stream cannot give whole though no hole was found:
// every reader refuses that sweep. The merge then names the sweep, with every other sweep read
// back as recorded, or gives back the whole recording with nothing named. The merged file keeps
// the sweeps its input's readers see: a head a nanosecond off, or a stop that the stored sweeps
// outweigh, costs no row.
TEST(CKVTAStreamFileMerge, ASweepAStreamCannotGiveWholeIsNamed)
{
    struct Case
    {
        const char* name;
        uint16_t version;
        bool storedIndex;
        int chunkMs;        // 100: one chunk a sweep
        bool digital;       // a digital stream beside the electrodes
        size_t stream;      // plan stream of the damaged chunk
        int sweep;          // the sweep of the damaged chunk
        int chunk;          // and its place in the sweep
        HeadDamage damage;
    };
    const Case cases[] = {
        {"sound", 11, true, 50, true, 0, 1, 0, HeadDamage::kNone},
        {"v0, start one chunk earlier", 0, false, 100, false, 0, 1, 0, HeadDamage::kStartOneChunkEarlier},
        {"v11 stored index, start one chunk earlier", 11, true, 100, false, 0, 0, 0, HeadDamage::kStartOneChunkEarlier},
        {"v5 stored index, two streams, start one chunk earlier", 5, true, 100, true, 0, 1, 0,
         HeadDamage::kStartOneChunkEarlier},
        {"v0, stop one chunk later", 0, false, 100, false, 0, 0, 0, HeadDamage::kStopOneChunkLater},
        {"v0, a hole found: start one chunk earlier", 0, false, 50, true, 0, 1, 1, HeadDamage::kStartOneChunkEarlier},
        {"v0, electrodes under the trigger's id", 0, false, 50, true, 0, 1, 1, HeadDamage::kIdOfTheTriggerStream},
        {"v5 stored index, digital under the trigger's id", 5, true, 50, true, 1, 0, 0,
         HeadDamage::kIdOfTheTriggerStream},
        {"v11 stored index, start 1 ns late", 11, true, 50, false, 0, 0, 0, HeadDamage::kStartOneNsLate},
        {"v5 stored index, stop 1 ns early", 5, true, 50, false, 0, 1, 1, HeadDamage::kStopOneNsEarly},
        {"v11 stored index, digital stop one chunk later", 11, true, 100, true, 1, 1, 0,
         HeadDamage::kStopOneChunkLater},
        {"v5 stored index, stop one chunk later", 5, true, 100, true, 0, 0, 0, HeadDamage::kStopOneChunkLater},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KvdRecordingPlan plan;
        plan.fileVersion = c.version;
        plan.storedIndex = c.storedIndex;
        plan.rateHz = 2000;
        plan.chunkMs = c.chunkMs;
        plan.triggered = true;
        plan.sweeps = 2;
        plan.sweepMs = 100;
        plan.gapMs = 700;
        plan.sweepLengthMs = 100;
        if (c.digital)
            plan.streams.push_back(KvdDigitalStreamPlan());
        TempDir dir;
        KvdLayout layout;
        std::vector<KvdPlannedChunk> planned;
        ASSERT_TRUE(WriteKvdRecording(plan, dir.File("sound.kvd"), &layout, &planned));
        const uint64_t chunkNs = static_cast<uint64_t>(plan.chunkMs) * kMs;
        const uint64_t damagedNs = KvdSweepStartNs(plan, c.sweep) + static_cast<uint64_t>(c.chunk) * chunkNs;
        const size_t damaged = PlannedChunk(plan, planned, c.stream, damagedNs);
        std::vector<uint8_t> bytes = ReadFileBytes(dir.File("sound.kvd"));
        const char* triggerId = c.version < 5 ? "00003trg" : "trig0001";
        BreakHead(bytes, layout.chunkAt[damaged], c.damage, chunkNs, triggerId);
        ASSERT_TRUE(WriteFileBytes(dir.File("damaged.kvd"), bytes));

        Merge m;
        ASSERT_NO_FATAL_FAILURE(m.AddFile(dir.File("damaged.kvd")));
        const int result = m.Run();
        const std::string& loss = m.output.GetMergeLossText();
        ASSERT_TRUE(result == 0 || result == 2) << result;
        if (c.damage == HeadDamage::kNone) {
            EXPECT_EQ(result, 0) << loss;
        }
        // Every sweep that is not named reads back as recorded.
        for (int k = 0; k < plan.sweeps; ++k) {
            if (result == 2 && k == c.sweep)
                continue;
            const uint64_t start = T0 + KvdSweepStartNs(plan, k);
            int found = -1;
            for (int i = 0; i < m.merged.GetSweepCount(); ++i)
                if (m.merged.GetSweepStartValue(i) == start)
                    found = i;
            EXPECT_TRUE(found >= 0 && SweepReadsAsPlanned(m.merged, found, plan, k)) << "sweep " << k;
        }
        if (result != 2)
            continue;
        // One line names the damaged chunk's stream, a stretch that holds the chunk's planned time.
        int lines = 0;
        bool holds = false;
        const std::string tail = " in " + plan.streams[c.stream].name + " of " + m.files[0]->GetPath() + ".";
        for (size_t from = 0, end = 0; from < loss.size(); from = end + 1) {
            end = std::min(loss.find('\n', from), loss.size());
            const std::string line = loss.substr(from, end - from);
            double a = 0, b = 0;
            if (line.size() <= tail.size() || line.compare(line.size() - tail.size(), tail.size(), tail) != 0
                || std::sscanf(line.c_str(), "Data missing from %lf s to %lf s", &a, &b) != 2)
                continue;
            ++lines;
            holds = a * 1e9 <= damagedNs + 1e6 && b * 1e9 + 1e6 >= damagedNs + chunkNs;
        }
        EXPECT_TRUE(lines == 1 && holds) << loss;
    }
}

// An old file takes the start of the first chunk handed out as its start time. A reader's walk
// begins with its first stream that has data; the merge settles the start the same way, so a
// damaged start of the trigger chunk that comes first in the file neither moves the merged
// recording back to it nor costs any sample.
TEST(CKVTAStreamFileMerge, AnOldFilesStartIsThatOfItsFirstStreamWithData)
{
    for (const uint64_t damagedStart : {uint64_t {0}, uint64_t {1}, T0 / 2}) {
        SCOPED_TRACE(damagedStart);
        KvdRecordingPlan plan;
        plan.fileVersion = 0;
        plan.rateHz = 1000;
        plan.chunks = 4;
        plan.triggerMs = {59};
        TempDir dir;
        KvdLayout layout;
        std::vector<KvdPlannedChunk> planned;
        ASSERT_TRUE(WriteKvdRecording(plan, dir.File("sound.kvd"), &layout, &planned));
        ASSERT_EQ(planned[0].stream, "Trigger 1");
        std::vector<uint8_t> bytes = ReadFileBytes(dir.File("sound.kvd"));
        if (damagedStart != 0)
            std::memcpy(&bytes[layout.chunkAt[0] + Kvd::DataChunk::kStart], &damagedStart, sizeof damagedStart);
        ASSERT_TRUE(WriteFileBytes(dir.File("damaged.kvd"), bytes));

        Merge m;
        ASSERT_NO_FATAL_FAILURE(m.AddFile(dir.File("damaged.kvd")));
        ASSERT_EQ(m.Run(), 0) << m.output.GetMergeLossText();
        EXPECT_EQ(m.merged.GetStartTime(), T0);
        const size_t channels = plan.streams[0].channels.size();
        const uint64_t frames = static_cast<uint64_t>(plan.chunks * plan.chunkMs * plan.rateHz / 1000);
        std::vector<uint16_t> values(frames * channels + 1);
        ASSERT_EQ(m.merged.GetStream(0)->GetRawData(values.data(), static_cast<int>(values.size()), CKVTATimeStamp(T0),
                                                    CKVTATimeStamp(T0 + plan.chunks * plan.chunkMs * kMs)),
                  static_cast<int>(frames * channels));
        for (uint64_t f = 0; f < frames; ++f)
            for (size_t c = 0; c < channels; ++c)
                ASSERT_EQ(values[f * channels + c], KvdRecordingSample(plan, 0, c, f)) << f;
    }
}
