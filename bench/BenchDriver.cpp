// Runs one library operation on a recording, for the benchmark script: the work the console
// program cannot be asked for on its own (opening with index generation, ABF export, merge),
// and a walk that checks a generated recording reads back whole.
//
//   sondrel-bench index IN.kvd
//   sondrel-bench walk IN.kvd
//   sondrel-bench abf IN.kvd OUT.abf
//   sondrel-bench raw IN.kvd OUT.raw
//   sondrel-bench merge OUT.kvd IN.kvd IN.kvd...
//   sondrel-bench scatter

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <numeric>
#include <random>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/CSettingsFile.h"
#include "datafile/container/CKVTAChannel.h"
#include "datafile/container/CKVTAStream.h"
#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/events/CKVTAEvent.h"
#include "datafile/info/CKVTAInfo.h"
#include "export/abf/CConvertToABF.h"
#include "export/binary/CConvertToBIN.h"
#include "export/core/CColumnScatter.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"

namespace {

// ABF 1.x holds at most 16 channels: the first 12 electrodes and 4 analog inputs.
constexpr int kAbfElectrodes = 12;
constexpr int kAbfAnalog = 4;

// "scatter: runs avx2", the methods the exports' column scatter took, and the path cap.
void PrintScatterMethods()
{
    std::printf("scatter:");
    const unsigned used = CColumnScatter::MethodsUsed();
    for (int m = 0; m < 4; ++m)
        if (used & (1u << m))
            std::printf(" %s", CColumnScatter::MethodName(static_cast<CColumnScatter::Method>(m)));
    std::printf(" (processor: %s, allowed: %s)\n", SimdPathName(SimdPathSupported()),
                SimdPathName(SimdPathAllowed()));
}

int Usage(const char* program)
{
    std::fprintf(stderr, "usage: %s index IN.kvd | walk IN.kvd | abf IN.kvd OUT.abf | raw IN.kvd OUT.raw | "
                         "merge OUT.kvd IN.kvd IN.kvd... | scatter\n", program);
    return 2;
}

int Index(const std::string& path)
{
    CKVTAStreamFile file;
    if (file.Open(path) != CKVTAStreamFile::kOpenOk) {
        std::fprintf(stderr, "Cannot open %s\n", path.c_str());
        return 1;
    }
    if (!file.GenerateIndex())
        return 1;
    std::printf("%d streams, %d sweeps, %zu index entries\n", file.GetStreamCount(), file.GetSweepCount(),
                file.GetIndex().GetEntries().size());
    return 0;
}

// Opens the file, builds the index and reads every record of every stream and its settings;
// fails when a stream that should carry records or settings has none.
int Walk(const std::string& path)
{
    CKVD kvd;
    if (!kvd.Open(path)) {
        std::fprintf(stderr, "Cannot open %s\n", path.c_str());
        return 1;
    }
    CKVTAStreamFile& file = kvd.GetStreamFile();
    std::printf("%d sweeps, mode %d\n", file.GetSweepCount(), file.GetRecordingMode());
    int failures = 0;
    for (int i = 0; i < file.GetStreamCount(); ++i) {
        CKVTAStream* stream = file.GetStream(i);
        const std::string type = stream->GetBufferType();
        uint64_t records = 0;
        uint64_t lastTime = 0;
        bool ordered = true;
        if (!stream->IsRawStream()) {
            for (std::unique_ptr<CKVTAEvent> event = stream->GetFirstEvent(); event;) {
                ++records;
                const uint64_t t = event->GetTimeStamp().GetTime();
                ordered = ordered && t >= lastTime;
                lastTime = t;
                if (!event->Next())
                    break;
            }
        }
        const std::unique_ptr<CKVTAInfo> info = stream->CreateInfo();
        const bool wantsInfo = type == "spikes" || type == "trigger";
        const bool bad = (!stream->IsRawStream() && records == 0) || (wantsInfo && !info) || !ordered;
        failures += bad;
        std::printf("%-20s %-8s %3d channels, %" PRIu64 " samples, %" PRIu64 " records%s%s\n",
                    stream->GetName().c_str(), type.c_str(), stream->GetChannelCount(),
                    stream->IsRawStream() ? stream->GetTotalSampleCount() : 0, records,
                    info ? ", settings" : "", bad ? "  <- FAILED" : "");
    }
    return failures == 0 ? 0 : 1;
}

int Abf(const std::string& in, const std::string& out)
{
    CKVD kvd;
    if (!kvd.Open(in)) {
        std::fprintf(stderr, "Cannot open %s\n", in.c_str());
        return 1;
    }
    CKVDataSelection selection;
    const auto select = [&](const char* streamName, int count) {
        const CKVTAStream* stream = kvd.FindStream(streamName);
        for (int c = 0; stream && c < count && c < stream->GetChannelCount(); ++c) {
            CKVDataSelection::Entry entry;
            entry.streamName = streamName;
            entry.channelName = stream->GetChannel(c)->GetName();
            entry.channelId = stream->GetChannel(c)->GetId();
            entry.value = stream->GetSampleRate();
            selection.Add(std::move(entry));
        }
    };
    select("Electrode Raw Data", kAbfElectrodes);
    select("Analog Raw Data", kAbfAnalog);

    CConvertToABF converter(&kvd, &selection);
    converter.SetConsole(true);
    converter.SetInputName(in);
    converter.SetOutputName(out);
    converter.SetSaveTriggersAsTags(true);
    if (kvd.GetStreamFile().GetRecordingMode() != 0)
        converter.SetSweepRange(1, static_cast<unsigned>(kvd.GetStreamFile().GetSweepCount()));
    const int rc = converter.Convert(nullptr, nullptr, true, true);
    if (rc != kConvertOk)
        std::fprintf(stderr, "ABF export failed: %d\n", rc);
    PrintScatterMethods();
    return rc == kConvertOk ? 0 : 1;
}

// The ".raw" export of bench/run's console job (-bin -s El -s An -s Di: every channel of the
// three streams, named as the console names them, the console's default settings), made
// through the library so that the scatter methods it took can be printed. bench/run checks
// that its bytes are the console's.
int Raw(const std::string& in, const std::string& out)
{
    CKVD kvd;
    if (!kvd.Open(in)) {
        std::fprintf(stderr, "Cannot open %s\n", in.c_str());
        return 1;
    }
    CKVDataSelection selection;
    for (const char* streamName : {"Electrode Raw Data", "Analog Raw Data", "Digital Data"}) {
        const CKVTAStream* stream = kvd.FindStream(streamName);
        for (int c = 0; stream && c < stream->GetChannelCount(); ++c) {
            CKVDataSelection::Entry entry;
            entry.streamName = streamName;
            entry.channelId = stream->GetChannel(c)->GetId();
            entry.channelName = kvd.GetStreamFile().GetLayout().GetSecondName(entry.channelId);
            if (entry.channelName.empty())
                entry.channelName = stream->GetChannel(c)->GetName();
            entry.value = stream->GetSampleRate();
            selection.Add(std::move(entry));
        }
    }
    CConvertToBIN converter(&kvd, &selection);
    converter.Options() = CSettingsFile("").Read().Options;
    converter.SetConsole(true);
    converter.SetInputName(kvd.GetPath());
    converter.SetOutputName(out);
    converter.SetSweepRange(1, static_cast<unsigned>(kvd.GetStreamFile().GetSweepCount()));
    int sweepBase = 0;
    int64_t timeOffset = 0;
    const int rc = converter.Convert(&sweepBase, &timeOffset, true, true);
    if (rc != kConvertOk)
        std::fprintf(stderr, "Raw export failed: %d\n", rc);
    PrintScatterMethods();
    return rc == kConvertOk ? 0 : 1;
}

int Merge(const std::string& out, const std::vector<std::string>& inputs)
{
    std::vector<std::unique_ptr<CKVTAStreamFile>> files;
    std::vector<CKVTAStreamFile*> list;
    for (const std::string& path : inputs) {
        files.push_back(std::make_unique<CKVTAStreamFile>());
        if (files.back()->Open(path) != CKVTAStreamFile::kOpenOk) {
            std::fprintf(stderr, "Cannot open %s\n", path.c_str());
            return 1;
        }
        list.push_back(files.back().get());
    }
    CKVTAStreamFile output;
    if (output.MergeFiles(list.data(), static_cast<int>(list.size()), out, nullptr) != 0) {
        std::fprintf(stderr, "Merge failed: %s\n", CKVTAStreamFile::GetLastErrorText().c_str());
        return 1;
    }
    return 0;
}

// Times every scatter method on the shapes the exports meet, in memory: frames of 60
// electrodes into rows of 65 columns, in order and reordered, and the ABF export's 12 of them.
int Scatter()
{
    using Method = CColumnScatter::Method;
    struct Shape
    {
        const char* name;
        size_t channels;
        size_t entries;
        std::vector<std::pair<int, int>> columns;
    };
    std::mt19937 random(1);
    const auto run = [](int first, std::vector<int> channels) {
        std::vector<std::pair<int, int>> columns;
        for (size_t j = 0; j < channels.size(); ++j)
            columns.emplace_back(first + static_cast<int>(j), channels[j]);
        return columns;
    };
    std::vector<int> order(60);
    std::iota(order.begin(), order.end(), 0);
    std::vector<int> shuffled = order;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    const Shape shapes[] = {
        {"60 of 65 columns, in order", 60, 65, run(0, order)},
        {"60 of 65 columns, reordered", 60, 65, run(0, shuffled)},
        {"12 of 60 channels, in order", 60, 16, run(0, std::vector<int>(order.begin(), order.begin() + 12))},
        {"12 of 60 channels, reordered", 60, 16, run(0, std::vector<int>(shuffled.begin(), shuffled.begin() + 12))},
    };
    // One piece of the raw readers: frames and rows stay in the cache, as they do there.
    constexpr size_t kPieceValues = 192 * 1024;
    std::printf("processor path: %s (allowed: %s)\n", SimdPathName(SimdPathSupported()),
                SimdPathName(SimdPathAllowed()));
    for (const Shape& shape : shapes) {
        const size_t rows = kPieceValues / shape.channels;
        std::vector<uint16_t> frames(rows * shape.channels);
        for (uint16_t& v : frames)
            v = static_cast<uint16_t>(random());
        std::vector<uint16_t> out(rows * shape.entries);
        std::printf("%-30s", shape.name);
        for (Method method : {Method::kValueByValue, Method::kRuns, Method::kAvx2, Method::kAvx512}) {
            const CColumnScatter scatter(shape.columns, shape.channels, shape.entries, 32768, method);
            if (scatter.GetMethod() != method) {
                std::printf("  %s -", CColumnScatter::MethodName(method));
                continue;
            }
            double best = 1e9;
            for (int repeat = 0; repeat < 5; ++repeat) {
                const auto begin = std::chrono::steady_clock::now();
                for (int i = 0; i < 50; ++i)
                    scatter.Apply(frames.data(), rows, out.data());
                best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
            }
            // Gigabytes of frames a second.
            std::printf("  %s %.1f", CColumnScatter::MethodName(method), 50.0 * frames.size() * 2 / best / 1e9);
        }
        const CColumnScatter chosen(shape.columns, shape.channels, shape.entries, 32768);
        std::printf("  (chosen: %s)\n", CColumnScatter::MethodName(chosen.GetMethod()));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "scatter")
        return Scatter();
    if (argc < 3)
        return Usage(argv[0]);
    const std::string command = argv[1];
    if (command == "index" && argc == 3)
        return Index(argv[2]);
    if (command == "walk" && argc == 3)
        return Walk(argv[2]);
    if (command == "abf" && argc == 4)
        return Abf(argv[2], argv[3]);
    if (command == "raw" && argc == 4)
        return Raw(argv[2], argv[3]);
    if (command == "merge" && argc >= 4)
        return Merge(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    return Usage(argv[0]);
}
