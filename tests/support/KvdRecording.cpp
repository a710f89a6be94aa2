#include "tests/support/KvdRecording.h"

#include <algorithm>

#include "datafile/KvdFormat.h"
#include "platform/CByteWriter.h"
#include "tests/support/KvdBuilder.h"

namespace FH = Kvd::FileHeader;

namespace {

constexpr uint64_t kNsPerMs = 1000000;

int StreamRate(const KvdRecordingPlan& plan, size_t stream)
{
    const int rate = plan.streams[stream].rateHz;
    return rate > 0 ? rate : plan.rateHz;
}

bool Listed(const std::vector<int>& list, int value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

uint16_t KvdRecordingSample(const KvdRecordingPlan& plan, size_t stream, size_t channel, uint64_t frame)
{
    const uint32_t mix = static_cast<uint32_t>(frame * 2654435761u + channel * 40503u + stream * 9973u);
    const int bits = plan.streams[stream].adcBits;
    const uint32_t mask = bits >= 16 ? 0xFFFFu : (1u << bits) - 1u;
    return static_cast<uint16_t>((mix >> 7) & mask);
}

uint64_t KvdSweepStartNs(const KvdRecordingPlan& plan, int sweep)
{
    return static_cast<uint64_t>(sweep) * static_cast<uint64_t>(plan.sweepMs + plan.gapMs) * kNsPerMs;
}

bool WriteKvdRecording(const KvdRecordingPlan& plan, const std::string& path)
{
    const uint64_t t0 = kKvdDefaultStart;
    const uint64_t chunkNs = static_cast<uint64_t>(plan.chunkMs) * kNsPerMs;
    KvdBuilder b(plan.fileVersion);
    b.Set<int32_t>(FH::kSampleRate, plan.rateHz * 1000);
    b.Set<uint64_t>(FH::kRecordingTime, t0).Set<uint64_t>(FH::kStartTime, t0);
    b.Set<int32_t>(FH::kVersion8Value, plan.rangeCode);
    b.Set<int32_t>(FH::kRecordingMode, plan.triggered ? 1 : 0);
    b.Set<float>(FH::kWindowStart, 0.0f);
    b.Set<float>(FH::kWindowExtent, plan.triggered ? static_cast<float>(plan.sweepLengthMs) : 0.0f);

    const bool trigger = plan.triggered && plan.triggerStream;
    if (trigger) {
        b.SetText(FH::kStartTriggerId, "trig0001");
        KvdStreamPlan t;
        t.bufferType = "trigger";
        t.name = "Trigger 1";
        t.id = "trig0001";
        t.sampleRate = plan.rateHz * 1000;
        t.channels.resize(1);
        t.channels[0].name = t.channels[0].displayName = "T1";
        b.AddStream(t);
    }
    int32_t nextId = 0;
    for (const KvdRawStreamPlan& raw : plan.streams) {
        KvdStreamPlan s;
        s.bufferType = raw.type;
        s.name = raw.name;
        s.id = raw.id;
        s.sampleRate = (raw.rateHz > 0 ? raw.rateHz : plan.rateHz) * 1000;
        s.adcBits = raw.adcBits;
        s.adcZero = raw.adcZero;
        s.voltsPerStep = raw.voltsPerStep;
        s.formatByte = raw.unit;
        s.words[1] = 2000;
        for (size_t c = 0; c < raw.channels.size(); ++c) {
            KvdChannelPlan channel;
            channel.id = nextId++;
            channel.number = static_cast<int32_t>(c);
            channel.name = channel.displayName = channel.label = raw.channels[c];
            channel.extension = raw.extension;
            s.channels.push_back(channel);
        }
        b.AddStream(s);
    }

    // One chunk of every raw stream for the time slot that starts `since` ns after the start.
    int slot = 0;
    const auto addSlot = [&](uint64_t since) {
        const int thisSlot = slot++;
        for (size_t s = 0; s < plan.streams.size(); ++s) {
            if (Listed(plan.streams[s].missingSlots, thisSlot))
                continue;
            const uint64_t rate = static_cast<uint64_t>(StreamRate(plan, s));
            const uint64_t firstFrame = since * rate / 1000000000u;
            const size_t frames = static_cast<size_t>(rate * static_cast<uint64_t>(plan.chunkMs) / 1000u);
            const size_t channels = plan.streams[s].channels.size();
            std::vector<uint8_t> payload;
            CByteWriter out(payload);
            for (size_t f = 0; f < frames; ++f)
                for (size_t c = 0; c < channels; ++c)
                    out.Put<uint16_t>(KvdRecordingSample(plan, s, c, firstFrame + f));
            b.AddChunk(plan.streams[s].id, t0 + since, t0 + since + chunkNs, payload);
        }
    };

    uint64_t stop = t0;
    if (!plan.triggered) {
        for (int k = 0; k < plan.chunks; ++k) {
            if (Listed(plan.dropChunks, k))
                ++slot;
            else
                addSlot(static_cast<uint64_t>(k) * chunkNs);
        }
        stop = t0 + static_cast<uint64_t>(plan.chunks) * chunkNs + static_cast<uint64_t>(plan.stopExtraUs) * 1000u;
    } else {
        for (int sweep = 0; sweep < plan.sweeps; ++sweep) {
            const uint64_t start = KvdSweepStartNs(plan, sweep);
            if (trigger) {
                std::vector<uint8_t> record;
                CByteWriter(record).Put<uint64_t>(t0 + start).Put<uint16_t>(1).Put<uint32_t>(0).Put<uint32_t>(0).Put<uint32_t>(0);
                b.AddChunk("trig0001", t0 + start, t0 + start + chunkNs, record);
            }
            const int chunks = plan.sweepMs / plan.chunkMs - (Listed(plan.shortSweeps, sweep) ? 1 : 0);
            for (int k = 0; k < chunks; ++k)
                addSlot(start + static_cast<uint64_t>(k) * chunkNs);
            stop = t0 + start + static_cast<uint64_t>(chunks) * chunkNs;
        }
    }
    b.Set<uint64_t>(FH::kStopTime, stop);
    return b.WriteTo(path);
}
