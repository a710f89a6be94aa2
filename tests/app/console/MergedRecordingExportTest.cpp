// A merged split recording exports as its parts do, one after the other.

#include <gtest/gtest.h>

#include <filesystem>

#include "datafile/container/CKVTAStreamFile.h"
#include "tests/app/console/ConsoleRun.h"
#include "tests/support/KvdRecording.h"

namespace fs = std::filesystem;

namespace {

std::string Text(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Electrodes and a digital stream at 25 kHz (the rate header version 0 implies), 10 chunks of
// 100 ms or 4 sweeps, cut after 6 chunks or 2 sweeps.
void WriteParts(uint16_t version, bool triggered, const std::string& first, const std::string& second)
{
    KvdRecordingPlan plan;
    plan.fileVersion = version;
    // Version 0 files take the channel names of the default electrode layout.
    if (version == 0)
        plan.streams[0].channels = {"47", "48"};
    plan.rateHz = 25000;
    plan.triggered = triggered;
    KvdRawStreamPlan digital = KvdDigitalStreamPlan();
    digital.adcBits = 2;   // values 0..3: bits 0 and 1 change often
    plan.streams.push_back(digital);
    KvdRecordingPlan a = plan;
    KvdRecordingPlan b = plan;
    if (triggered) {
        a.sweeps = 2;
        b.firstSweep = 2;
        b.sweeps = 2;
    } else {
        a.chunks = 6;
        b.firstChunk = 6;
        b.chunks = 4;
    }
    ASSERT_TRUE(WriteKvdRecording(a, first));
    ASSERT_TRUE(WriteKvdRecording(b, second));
}

// The text without the second column of each line. The trigger time of an input's first
// sweep is measured back from its end (the sweep may have begun in the input before): in the
// parts that is sweep 3 of the whole, in the merged file it is sweep 1 only.
std::string WithoutTriggerTimes(const std::string& text)
{
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(at, end - at);
        const size_t tab = line.find('\t');
        const size_t next = tab == std::string::npos ? tab : line.find('\t', tab + 1);
        out += next == std::string::npos ? line : line.substr(0, tab) + line.substr(next);
        at = end;
    }
    return out;
}

} // namespace

TEST(MergedRecording, ExportsAsItsPartsJoined)
{
    for (uint16_t version : {0, 3, 11}) {
        for (bool triggered : {false, true}) {
            SCOPED_TRACE(std::to_string(version) + (triggered ? " triggered" : " continuous"));
            TempDir dir;
            const std::string first = dir.File("first.kvd");
            const std::string second = dir.File("second.kvd");
            const std::string merged = dir.File("merged.kvd");
            WriteParts(version, triggered, first, second);
            {
                CKVTAStreamFile a, b, output;
                ASSERT_EQ(a.Open(first), 0);
                ASSERT_EQ(b.Open(second), 0);
                CKVTAStreamFile* files[] = {&b, &a};
                ASSERT_EQ(output.MergeFiles(files, 2, merged, nullptr), 0) << CKVTAStreamFile::GetLastErrorText();
            }
            const struct
            {
                const char* task;
                const char* selection;
                const char* extension;
                const char* option;
            } exports[] = {
                {"-bin", "El:all", "raw", "-NoWriteHeader"},
                {"-ascii", "El:all", "txt", "-NoCommentChar"},
                {"-ascii", "Di:D1", "txt", "-NoCommentChar"},
                // The second part goes on from the first one's last value.
                {"-ascii", "DiEv:D1:1", "txt", "-DigitalEventInitialValue"},
            };
            for (const auto& e : exports) {
                SCOPED_TRACE(std::string(e.task) + " " + e.selection + " " + e.option);
                const std::string joined = dir.File(std::string("joined.") + e.extension);
                const std::string whole = dir.File(std::string("whole.") + e.extension);
                const ConsoleRun parts = RunConsoleMain({e.task, "-i", first, "-i", second, "-o", joined, "-s",
                                                         e.selection, e.option, "-AssumeSplittedFile", "-SingleOutfile"});
                ASSERT_EQ(parts.status, 0) << parts.out;
                const ConsoleRun one = RunConsoleMain({e.task, "-i", merged, "-o", whole, "-s", e.selection, e.option});
                ASSERT_EQ(one.status, 0) << one.out;
                EXPECT_GT(fs::file_size(whole), 0u);
                const std::string got = triggered && e.extension[0] == 't' ? WithoutTriggerTimes(Text(whole)) : Text(whole);
                const std::string want = triggered && e.extension[0] == 't' ? WithoutTriggerTimes(Text(joined)) : Text(joined);
                size_t at = 0;
                while (at < got.size() && at < want.size() && got[at] == want[at])
                    ++at;
                const size_t from = got.rfind('\n', at) == std::string::npos ? 0 : got.rfind('\n', at);
                EXPECT_TRUE(got == want) << "sizes " << got.size() << " " << want.size() << " at " << at << "\n"
                                         << got.substr(from, 300) << "\n----\n" << want.substr(from, 300);
            }
        }
    }
}
