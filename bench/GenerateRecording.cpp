// Writes a realistic recorded-data file of any length for the demo and the benchmarks:
// electrode, analog and digital raw streams in 100 ms chunks, continuous or triggered, with a
// spike stream (cutouts of the electrode channels) and a trigger stream, each carrying the
// recording program's settings record. The file is written chunk by chunk: memory stays small
// whatever the length.
//
//   sondrel-generate OUT.kvd [--seconds S | --megabytes M] [--rate HZ] [--electrodes N]
//                            [--analog N] [--triggered] [--raw-only]

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "datafile/container/KvdFormat.h"
#include "datafile/layout/CKVLayout.h"
#include "platform/CByteWriter.h"
#include "tests/support/KvdBuilder.h"

namespace FH = Kvd::FileHeader;

namespace {

constexpr int kChunkMs = 100;
constexpr uint64_t kChunkNs = kChunkMs * 1000000ULL;
// 2024-03-01 10:00:00 UTC as nanoseconds since 1601.
constexpr uint64_t kStart = 13353760800000000000ULL;
// Triggered: a sweep of this many chunks at the start of every second.
constexpr int kSweepChunks = 2;
constexpr int kChunksPerSecond = 1000 / kChunkMs;
// Spike cutouts: 1 ms before and 2 ms after the threshold crossing; on average one spike per
// electrode and chunk (10 Hz).
constexpr int kPreMs = 1;
constexpr int kCutoutMs = 3;
constexpr size_t kSpikeHeadBytes = 22;
constexpr size_t kTriggerRecordBytes = 22;
// Recording program 3.1: its trigger records carry the parameter part.
constexpr int32_t kProgramVersion = (3 << 16) | 1;

struct Options
{
    std::string out;
    double seconds = 10;
    double megabytes = 0;
    int rate = 25000;
    int electrodes = 60;
    int analog = 4;
    bool triggered = false;
    bool rawOnly = false;
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
        else if (a == "--raw-only")
            o.rawOnly = true;
        else if (o.out.empty() && a[0] != '-')
            o.out = a;
        else
            return false;
    }
    return !o.out.empty() && o.rate > 0 && o.rate <= 1000000 && o.rate % kChunksPerSecond == 0
           && o.electrodes >= 0 && o.electrodes <= 256 && o.analog >= 0 && o.analog <= 32
           && o.seconds > 0 && o.megabytes >= 0;
}

// Little-endian record bytes, as the recording program stores its settings.
class Record
{
public:
    template <class T>
    Record& Put(T value)
    {
        CByteWriter(m_bytes).Put<T>(value);
        return *this;
    }
    Record& Tag(const char* tag)
    {
        CByteWriter(m_bytes).PutBytes(tag, 8);
        return *this;
    }
    // Counted texts include their terminating NUL.
    Record& Text32(const std::string& text)
    {
        Put<uint32_t>(static_cast<uint32_t>(text.size() + 1));
        CByteWriter(m_bytes).PutBytes(text.c_str(), text.size() + 1);
        return *this;
    }
    Record& Text16(const std::string& text)
    {
        Put<uint16_t>(static_cast<uint16_t>(text.size() + 1));
        CByteWriter(m_bytes).PutBytes(text.c_str(), text.size() + 1);
        return *this;
    }
    Record& Zeros(size_t n)
    {
        CByteWriter(m_bytes).PutZeros(n);
        return *this;
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// Spike detection on every electrode: -5 SD threshold, the cutout times in microseconds.
std::vector<uint8_t> SpikeSettings(int electrodes)
{
    Record r;
    r.Tag("PARAMSPK").Put<uint32_t>(0).Put<uint32_t>(0).Put<uint32_t>(0).Put<float>(-5.0f);
    r.Put<uint32_t>(kPreMs * 1000).Put<uint32_t>((kCutoutMs - kPreMs) * 1000).Put<uint32_t>(1000);
    r.Text16("elec0001");
    r.Put<uint16_t>(static_cast<uint16_t>(electrodes));
    for (int c = 0; c < electrodes; ++c) {
        r.Put<uint16_t>(static_cast<uint16_t>(c)).Put<uint16_t>(0);
        r.Put<float>(-2.0e-5f).Put<uint32_t>(0).Put<float>(0.0f).Put<float>(0.0f).Put<float>(0.0f);
        r.Put<uint16_t>(0); // no sorted units
    }
    return r.Bytes();
}

// An analog threshold trigger on the first electrode, with a parameter part and the extra flag.
std::vector<uint8_t> TriggerSettings()
{
    Record r;
    r.Tag("PARAMTRG").Put<uint32_t>(0);
    r.Put<uint32_t>(1).Put<uint32_t>(2).Put<uint32_t>(3); // words 1 to 3
    r.Put<uint32_t>(100);                                 // dead time
    r.Put<int32_t>(-1000).Put<int32_t>(0);                // levels
    r.Put<uint32_t>(0);                                   // slope
    r.Put<int32_t>(0);                                    // input hwid
    r.Put<uint32_t>(0);                                   // source kind: electrodes
    r.Zeros(20);                                          // words 4 to 8
    r.Put<uint8_t>(0).Put<uint32_t>(0).Put<uint32_t>(1);  // not a digital trigger
    r.Text32("elec0001");
    r.Put<uint32_t>(0xFFFF);                              // digital mask
    r.Put<uint8_t>(0).Put<int32_t>(-1).Text32("").Text32("");
    r.Put<uint8_t>(0);                                    // extra flag
    return r.Bytes();
}

KvdStreamPlan Stream(const std::string& type, const std::string& name, const std::string& id,
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

uint32_t NextRandom(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state;
}

// One chunk of interleaved frames: a slow sine per channel plus a little deterministic noise;
// the digital channel counts 100 ms periods in its low bits.
void FillFrames(std::vector<uint8_t>& payload, int channels, int frames, uint64_t firstFrame, int rate,
                bool digital, uint32_t& noise)
{
    payload.resize(static_cast<size_t>(channels) * frames * 2);
    uint8_t* p = payload.data();
    for (int f = 0; f < frames; ++f) {
        if (digital) {
            const uint16_t value = static_cast<uint16_t>((firstFrame + f) / (rate / 10) & 0xF);
            for (int c = 0; c < channels; ++c, p += 2)
                StoreLE<uint16_t>(p, value);
            continue;
        }
        // Channels share seven frequencies: work each sine out once per frame.
        const double t = static_cast<double>(firstFrame + f) / rate;
        int wave[7];
        for (int k = 0; k < 7; ++k)
            wave[k] = static_cast<int>(2000.0 * std::sin(2 * M_PI * (1.0 + k) * t));
        for (int c = 0; c < channels; ++c, p += 2) {
            NextRandom(noise);
            const int value = 32768 + wave[c % 7] + static_cast<int>(noise >> 26) - 32;
            StoreLE<uint16_t>(p, static_cast<uint16_t>(value));
        }
    }
}

// The spike records of one chunk, in time order: every electrode fires 0, 1 or 2 times.
void FillSpikes(std::vector<uint8_t>& payload, int electrodes, uint64_t chunkStart, int rate,
                uint32_t& random)
{
    struct Spike { uint64_t time; uint16_t channel; };
    std::vector<Spike> spikes;
    for (int c = 0; c < electrodes; ++c) {
        const uint32_t count = (NextRandom(random) >> 16) % 3;
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t at = (NextRandom(random) >> 8) % kChunkNs;
            spikes.push_back({chunkStart + at, static_cast<uint16_t>(c)});
        }
    }
    std::sort(spikes.begin(), spikes.end(), [](const Spike& a, const Spike& b) {
        return a.time < b.time || (a.time == b.time && a.channel < b.channel);
    });
    const int samples = rate / 1000 * kCutoutMs;
    const int pre = rate / 1000 * kPreMs;
    payload.clear();
    CByteWriter out(payload);
    for (const Spike& s : spikes) {
        out.Put<uint64_t>(s.time).Put<uint16_t>(s.channel).Put<uint32_t>(static_cast<uint32_t>(pre));
        out.Put<uint16_t>(0).Put<uint16_t>(0xFFFF).Put<int32_t>(samples);
        for (int i = 0; i < samples; ++i) {
            // A negative peak at the crossing, back to baseline with a small overshoot.
            const double x = static_cast<double>(i - pre) / (rate / 1000.0) * 4.0;
            const double shape = i < pre ? -0.1 * (i * 1.0 / pre) : -std::exp(-x) * std::cos(x);
            NextRandom(random);
            out.Put<uint16_t>(static_cast<uint16_t>(32768 + static_cast<int>(1500.0 * shape)
                                                    + static_cast<int>(random >> 27) - 16));
        }
    }
}

bool WriteChunk(FILE* out, const std::string& id, uint64_t start, uint64_t stop,
                const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> head;
    CByteWriter(head).PutId(id).Put<int64_t>(static_cast<int64_t>(16 + payload.size())).Put<uint64_t>(start)
        .Put<uint64_t>(stop);
    return std::fwrite(head.data(), 1, head.size(), out) == head.size()
           && (payload.empty() || std::fwrite(payload.data(), 1, payload.size(), out) == payload.size());
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s OUT.kvd [--seconds S | --megabytes M] [--rate HZ] "
                             "[--electrodes N] [--analog N] [--triggered] [--raw-only]\n", argv[0]);
        return 2;
    }
    const int channelsPerFrame = o.electrodes + o.analog + 1;
    const int framesPerChunk = o.rate / kChunksPerSecond;
    const bool spikes = !o.rawOnly && o.electrodes > 0;
    const bool triggers = !o.rawOnly || o.triggered;
    if (o.megabytes > 0) {
        // Bytes of one recorded 100 ms slot, chunk headers and the average spike load included.
        const int rawStreams = (o.electrodes > 0) + (o.analog > 0) + 1;
        double slot = 2.0 * channelsPerFrame * framesPerChunk + 32.0 * rawStreams;
        if (spikes)
            slot += 32 + o.electrodes * (kSpikeHeadBytes + 2.0 * (o.rate / 1000 * kCutoutMs));
        if (triggers)
            slot += (32.0 + kTriggerRecordBytes) / (o.triggered ? kSweepChunks : kChunksPerSecond);
        const double recordedShare = o.triggered ? kSweepChunks / static_cast<double>(kChunksPerSecond) : 1.0;
        o.seconds = o.megabytes * 1e6 / (slot * recordedShare * kChunksPerSecond);
    }
    const uint64_t chunkCount = static_cast<uint64_t>(std::ceil(o.seconds * kChunksPerSecond));

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

    // A triggered recording stops at the end of its last sweep.
    uint64_t lastChunk = chunkCount;
    if (o.triggered)
        lastChunk = (chunkCount - 1) / kChunksPerSecond * kChunksPerSecond
                    + std::min<uint64_t>(kSweepChunks, (chunkCount - 1) % kChunksPerSecond + 1);
    const uint64_t stop = kStart + lastChunk * kChunkNs;
    KvdBuilder header(11);
    header.Set<int32_t>(FH::kProgramVersion1, kProgramVersion)
        .Set<int32_t>(FH::kSampleRate, o.rate * 1000)
        .Set<int32_t>(FH::kRecordingMode, o.triggered ? 1 : 0)
        .Set<float>(FH::kWindowStart, 0.0f)
        .Set<float>(FH::kWindowExtent, o.triggered ? static_cast<float>(kSweepChunks * kChunkMs) : 0.0f)
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
        streams.push_back({Stream("analog", "Electrode Raw Data", "elec0001", 0, electrodeNames, o), false});
    if (o.analog > 0)
        streams.push_back({Stream("analog", "Analog Raw Data", "anlg0001", o.electrodes, analogNames, o), false});
    streams.push_back({Stream("digital", "Digital Data", "digi0001", o.electrodes + o.analog, {"D1"}, o), true});
    // The event streams come first: the sweeps of a file follow the gaps of its last stream,
    // which must be a raw stream.
    if (triggers) {
        KvdStreamPlan plan = Stream("trigger", "Trigger 1", "trig0001", 0, {"T1"}, o);
        plan.settings = TriggerSettings();
        header.AddStream(plan);
    }
    if (spikes) {
        KvdStreamPlan plan = Stream("spikes", "Spikes 1", "spks0001", 0, electrodeNames, o);
        plan.settings = SpikeSettings(o.electrodes);
        header.AddStream(plan);
    }
    for (const Raw& raw : streams)
        header.AddStream(raw.plan);

    FILE* out = std::fopen(o.out.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "Cannot create %s\n", o.out.c_str());
        return 1;
    }
    std::vector<char> outBuffer(4 << 20);
    std::setvbuf(out, outBuffer.data(), _IOFBF, outBuffer.size());
    const std::vector<uint8_t> prefix = header.Build();
    bool ok = std::fwrite(prefix.data(), 1, prefix.size(), out) == prefix.size();
    std::vector<uint8_t> payload;
    uint32_t noise = 12345;
    uint32_t spikeRandom = 54321;
    for (uint64_t k = 0; ok && k < chunkCount; ++k) {
        if (o.triggered && k % kChunksPerSecond >= kSweepChunks)
            continue; // between sweeps nothing is recorded
        const uint64_t start = kStart + k * kChunkNs;
        if (triggers && k % kChunksPerSecond == 0) {
            // One trigger a second, at the sweep start of a triggered recording.
            payload.clear();
            CByteWriter(payload).Put<uint64_t>(start).Put<uint16_t>(1).Put<uint32_t>(0).Put<uint32_t>(0)
                .Put<uint32_t>(0);
            ok = ok && WriteChunk(out, "trig0001", start, start + kChunkNs, payload);
        }
        for (const Raw& raw : streams) {
            FillFrames(payload, static_cast<int>(raw.plan.channels.size()), framesPerChunk,
                       k * static_cast<uint64_t>(framesPerChunk), o.rate, raw.digital, noise);
            ok = ok && WriteChunk(out, raw.plan.id, start, start + kChunkNs, payload);
        }
        if (spikes) {
            FillSpikes(payload, o.electrodes, start, o.rate, spikeRandom);
            ok = ok && WriteChunk(out, "spks0001", start, start + kChunkNs, payload);
        }
    }
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "Writing %s failed\n", o.out.c_str());
        return 1;
    }
    std::printf("%s: %.1f s, %d Hz, %d channels%s%s\n", o.out.c_str(), chunkCount * kChunkMs / 1000.0, o.rate,
                channelsPerFrame, spikes ? ", spikes" : "", o.triggered ? ", triggered" : "");
    return 0;
}
