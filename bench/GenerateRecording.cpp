// Writes a realistic recorded-data file of any length for the demo and the benchmarks:
// electrode, analog and digital raw streams in 100 ms chunks, continuous or triggered.
//
//   sondrel-generate OUT.kvd [--seconds S | --megabytes M] [--rate HZ] [--electrodes N]
//                            [--analog N] [--triggered]

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "datafile/CKVLayout.h"
#include "datafile/KvdFormat.h"
#include "platform/CByteWriter.h"
#include "tests/support/KvdBuilder.h"

namespace FH = Kvd::FileHeader;

namespace {

constexpr uint64_t kNsPerSecond = 1000000000ULL;
constexpr int kChunkMs = 100;
// 2024-03-01 10:00:00 UTC as nanoseconds since 1601.
constexpr uint64_t kStart = 13353760800000000000ULL;

struct Options
{
    std::string out;
    double seconds = 10;
    double megabytes = 0;
    int rate = 25000;
    int electrodes = 60;
    int analog = 4;
    bool triggered = false;
};

bool Parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--seconds" && hasValue)
            o.seconds = std::atof(argv[++i]);
        else if (a == "--megabytes" && hasValue)
            o.megabytes = std::atof(argv[++i]);
        else if (a == "--rate" && hasValue)
            o.rate = std::atoi(argv[++i]);
        else if (a == "--electrodes" && hasValue)
            o.electrodes = std::atoi(argv[++i]);
        else if (a == "--analog" && hasValue)
            o.analog = std::atoi(argv[++i]);
        else if (a == "--triggered")
            o.triggered = true;
        else if (o.out.empty() && a[0] != '-')
            o.out = a;
        else
            return false;
    }
    return !o.out.empty() && o.rate > 0 && o.rate % (1000 / kChunkMs) == 0 && o.electrodes >= 0
           && o.electrodes <= 256 && o.analog >= 0 && o.analog <= 32 && o.seconds > 0;
}

KvdStreamPlan RawStream(const std::string& type, const std::string& name, const std::string& id,
                        int firstChannel, const std::vector<std::string>& labels, const Options& o)
{
    KvdStreamPlan plan;
    plan.headerVersion = 8;
    plan.bufferType = type;
    plan.name = name;
    plan.id = id;
    plan.sampleRate = o.rate * 1000;
    plan.adcBits = 16;
    plan.adcZero = 32768;
    plan.voltsPerStep = type == "digital" ? 1.0 : 1.0e-7;
    plan.words[1] = 2000;
    for (size_t i = 0; i < labels.size(); ++i) {
        KvdChannelPlan channel;
        channel.id = firstChannel + static_cast<int32_t>(i);
        channel.number = firstChannel + static_cast<int32_t>(i); // the hardware id: layout index
        channel.name = labels[i];
        channel.displayName = labels[i];
        channel.label = labels[i];
        channel.extension = type == "digital" ? 0 : 1000000; // 1 mV range in nV per unit
        plan.channels.push_back(channel);
    }
    return plan;
}

// One chunk of interleaved frames: a slow sine per channel plus a little deterministic noise;
// the digital channel counts 100 ms periods in its low bits.
void FillFrames(std::vector<uint8_t>& payload, int channels, int frames, uint64_t firstFrame, int rate,
                bool digital, uint32_t& noise)
{
    payload.resize(static_cast<size_t>(channels) * frames * 2);
    uint8_t* p = payload.data();
    for (int f = 0; f < frames; ++f) {
        const double t = static_cast<double>(firstFrame + f) / rate;
        for (int c = 0; c < channels; ++c) {
            uint16_t value;
            if (digital) {
                value = static_cast<uint16_t>((firstFrame + f) / (rate / 10) & 0xF);
            } else {
                noise = noise * 1664525u + 1013904223u;
                const double wave = 2000.0 * std::sin(2 * M_PI * (1.0 + c % 7) * t);
                value = static_cast<uint16_t>(32768 + static_cast<int>(wave) + static_cast<int>(noise >> 26) - 32);
            }
            StoreLE<uint16_t>(p, value);
            p += 2;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s OUT.kvd [--seconds S | --megabytes M] [--rate HZ] "
                             "[--electrodes N] [--analog N] [--triggered]\n", argv[0]);
        return 2;
    }
    const int channelsPerFrame = o.electrodes + o.analog + 1;
    if (o.megabytes > 0)
        o.seconds = o.megabytes * 1e6 / (2.0 * channelsPerFrame * o.rate);
    // Triggered: a 200 ms sweep at the start of every second; continuous: every chunk.
    const uint64_t chunkCount = static_cast<uint64_t>(std::ceil(o.seconds * 1000 / kChunkMs));

    CKVLayout layout;
    layout.BuildDefault(1, channelsPerFrame, o.electrodes, o.analog, 1);
    std::vector<std::string> names;
    layout.GetRecordNames(names);
    names.resize(static_cast<size_t>(channelsPerFrame));
    for (int i = 0; i < channelsPerFrame; ++i)
        if (names[static_cast<size_t>(i)].empty())
            names[static_cast<size_t>(i)] = "Ch" + std::to_string(i + 1);
    const std::vector<std::string> electrodeNames(names.begin(), names.begin() + o.electrodes);
    const std::vector<std::string> analogNames(names.begin() + o.electrodes, names.end() - 1);

    const uint64_t chunkNs = kChunkMs * 1000000ULL;
    const uint64_t stop = kStart + chunkCount * chunkNs;
    KvdBuilder header(11);
    header.Set<int32_t>(FH::kSampleRate, o.rate * 1000)
        .Set<int32_t>(FH::kRecordingMode, o.triggered ? 1 : 0)
        .Set<float>(FH::kWindowStart, 0.0f)
        .Set<float>(FH::kWindowExtent, o.triggered ? 200.0f : 0.0f)
        .Set<int32_t>(FH::kLayoutKind, 1)
        .Set<uint16_t>(FH::kElectrodeCount1, static_cast<uint16_t>(o.electrodes))
        .Set<uint16_t>(FH::kElectrodeFirst1, 0)
        .Set<uint16_t>(FH::kAnalogCount1, static_cast<uint16_t>(o.analog))
        .Set<uint16_t>(FH::kAnalogFirst1, static_cast<uint16_t>(o.electrodes))
        .Set<uint16_t>(FH::kDigitalCount, 1)
        .Set<uint16_t>(FH::kDigitalFirst, static_cast<uint16_t>(o.electrodes + o.analog))
        .Set<uint16_t>(FH::kTotalChannels, static_cast<uint16_t>(channelsPerFrame))
        .Set<uint64_t>(FH::kRecordingTime, kStart)
        .Set<uint64_t>(FH::kStartTime, kStart)
        .Set<uint64_t>(FH::kStopTime, stop)
        .Set<int32_t>(FH::kChunkTimeLimit, 128000000)
        .SetText(FH::kTitle, "Generated recording");
    if (o.triggered)
        header.SetText(FH::kStartTriggerId, "trig0001");
    struct Raw { KvdStreamPlan plan; bool digital; };
    std::vector<Raw> streams;
    if (o.electrodes > 0)
        streams.push_back({RawStream("analog", "Electrode Raw Data", "elec0001", 0, electrodeNames, o), false});
    if (o.analog > 0)
        streams.push_back({RawStream("analog", "Analog Raw Data", "anlg0001", o.electrodes, analogNames, o), false});
    streams.push_back({RawStream("digital", "Digital Data", "digi0001", o.electrodes + o.analog, {"D1"}, o), true});
    for (const Raw& raw : streams)
        header.AddStream(raw.plan);
    if (o.triggered) {
        KvdStreamPlan trigger;
        trigger.bufferType = "trigger";
        trigger.name = "Trigger 1";
        trigger.id = "trig0001";
        trigger.channels.resize(1);
        header.AddStream(trigger);
    }

    FILE* out = std::fopen(o.out.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "Cannot create %s\n", o.out.c_str());
        return 1;
    }
    const std::vector<uint8_t> prefix = header.Build();
    bool ok = std::fwrite(prefix.data(), 1, prefix.size(), out) == prefix.size();
    std::vector<uint8_t> chunk;
    std::vector<uint8_t> payload;
    uint32_t noise = 12345;
    const int framesPerChunk = o.rate / (1000 / kChunkMs);
    for (uint64_t k = 0; ok && k < chunkCount; ++k) {
        if (o.triggered && k % 10 >= 2)
            continue; // between sweeps nothing is recorded
        const uint64_t start = kStart + k * chunkNs;
        for (const Raw& raw : streams) {
            FillFrames(payload, static_cast<int>(raw.plan.channels.size()), framesPerChunk,
                       k * static_cast<uint64_t>(framesPerChunk), o.rate, raw.digital, noise);
            chunk.clear();
            CByteWriter(chunk).PutId(raw.plan.id).Put<int64_t>(static_cast<int64_t>(16 + payload.size()))
                .Put<uint64_t>(start).Put<uint64_t>(start + chunkNs);
            ok = std::fwrite(chunk.data(), 1, chunk.size(), out) == chunk.size()
                 && std::fwrite(payload.data(), 1, payload.size(), out) == payload.size();
        }
    }
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "Writing %s failed\n", o.out.c_str());
        return 1;
    }
    std::printf("%s: %.1f s, %d Hz, %d channels%s\n", o.out.c_str(), chunkCount * kChunkMs / 1000.0, o.rate,
                channelsPerFrame, o.triggered ? ", triggered" : "");
    return 0;
}
