#include "tests/support/KvdRecording.h"

#include <algorithm>
#include <cstdio>

#include "datafile/container/KvdFormat.h"
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

namespace {

// The chunk id of a stream: its stream id, or below header version 5 its chunk number and the
// suffix of its buffer type.
std::string ChunkId(uint16_t fileVersion, const KvdStreamPlan& stream)
{
    if (fileVersion >= 5)
        return stream.id;
    const std::string type = stream.bufferType;
    const char* suffix = type == "trigger" ? "trg" : type == "spikes" ? "spk" : "raw";
    char text[16];
    std::snprintf(text, sizeof text, "%05x%s", static_cast<unsigned>(stream.chunkNumber), suffix);
    return text;
}

// One trigger event: its time, id 1 and, from stream header version 5, the values.
std::vector<uint8_t> TriggerRecord(uint64_t time, uint16_t streamVersion)
{
    std::vector<uint8_t> record;
    CByteWriter out(record);
    out.Put<uint64_t>(time).Put<uint16_t>(1);
    if (streamVersion >= 5)
        out.Put<uint32_t>(0);
    if (streamVersion >= 6)
        out.Put<uint32_t>(0).Put<uint32_t>(0);
    return record;
}

// One spike of channel `channel` at `time` with a cutout of four samples, as stream header
// version 8 stores it.
std::vector<uint8_t> SpikeRecord(uint64_t time, uint16_t channel)
{
    std::vector<uint8_t> record;
    CByteWriter out(record);
    out.Put<uint64_t>(time).Put<uint16_t>(channel).Put<uint32_t>(1).Put<uint16_t>(1).Put<uint16_t>(0xFFFF);
    out.Put<int32_t>(4).Put<uint16_t>(32778).Put<uint16_t>(32868).Put<uint16_t>(32668).Put<uint16_t>(32758);
    return record;
}

// The spikes of `plan` in [since, since + chunkNs) ns from the recording start `t0`.
std::vector<uint8_t> SpikeRecords(const KvdRecordingPlan& plan, uint64_t t0, uint64_t since, uint64_t chunkNs,
                                  uint16_t channel)
{
    std::vector<uint8_t> records;
    for (int ms : plan.spikeMs) {
        const uint64_t at = static_cast<uint64_t>(ms) * kNsPerMs;
        if (at >= since && at < since + chunkNs) {
            const std::vector<uint8_t> record = SpikeRecord(t0 + at, channel);
            records.insert(records.end(), record.begin(), record.end());
        }
    }
    return records;
}

KvdStreamPlan SpikeStream(int rateHz, int32_t channelId)
{
    KvdStreamPlan spike;
    spike.bufferType = "spikes";
    spike.name = "Spikes 1";
    spike.id = "spks0001";
    spike.sampleRate = rateHz * 1000;
    spike.channels.resize(1);
    spike.channels[0].id = channelId;
    spike.channels[0].name = spike.channels[0].displayName = spike.channels[0].label = "E1";
    return spike;
}

} // namespace

namespace {

struct AddedChunk
{
    std::string id;
    uint64_t start;
    uint64_t stop;
    std::string stream;
    size_t recordBytes;
};

// The index the recording program stores behind the chunks `added` (in file order), which the
// first build of `b` placed at `where`.
KvdIndexPlan StoredIndex(const std::vector<AddedChunk>& added, const KvdLayout& where,
                         const std::vector<KvdStreamPlan>& streams, uint16_t version)
{
    KvdIndexPlan index;
    index.streamCount = static_cast<int32_t>(streams.size());
    for (size_t i = 0; i < added.size(); ++i)
        if (index.entries.empty()
            || where.chunkAt[i] > static_cast<size_t>(index.entries.back().second) + 250000)
            index.entries.emplace_back(added[i].start, static_cast<int64_t>(where.chunkAt[i]));
    // The sweeps come from the last stream of the file that has chunks.
    std::string reference;
    for (const KvdStreamPlan& stream : streams)
        for (const AddedChunk& chunk : added)
            if (chunk.id == ChunkId(version, stream))
                reference = chunk.id;
    for (const AddedChunk& chunk : added) {
        if (chunk.id != reference)
            continue;
        if (index.sweeps.empty() || chunk.start > index.sweeps.back().second)
            index.sweeps.emplace_back(chunk.start, chunk.stop);
        else
            index.sweeps.back().second = chunk.stop;
    }
    return index;
}

} // namespace

bool WriteKvdRecording(const KvdRecordingPlan& plan, const std::string& path, KvdLayout* layout,
                       std::vector<KvdPlannedChunk>* chunks)
{
    const uint64_t t0 = kKvdDefaultStart;
    const uint64_t chunkNs = static_cast<uint64_t>(plan.chunkMs) * kNsPerMs;
    const uint16_t version = plan.fileVersion;
    const bool spikes = !plan.triggered && !plan.spikeMs.empty();
    if (spikes && version == 0)
        return false;
    const uint64_t partStart = t0 + (plan.triggered ? KvdSweepStartNs(plan, plan.firstSweep)
                                                    : static_cast<uint64_t>(plan.firstChunk) * chunkNs);
    KvdBuilder b(version);
    b.Set<int32_t>(FH::kSampleRate, plan.rateHz * 1000);
    b.Set<uint64_t>(FH::kRecordingTime, version >= 3 ? t0 : partStart).Set<uint64_t>(FH::kStartTime, partStart);
    b.Set<int32_t>(FH::kVersion8Value, plan.rangeCode);
    b.Set<int32_t>(FH::kRecordingMode, plan.triggered ? 1 : 0);
    b.Set<float>(FH::kWindowStart, 0.0f);
    b.Set<float>(FH::kWindowExtent, plan.triggered ? static_cast<float>(plan.sweepLengthMs) : 0.0f);
    // Version 0 stores no mode: only programs before 1.34 tell a triggered recording by its gaps.
    if (version == 0 && plan.triggered)
        b.Set<int32_t>(FH::kProgramVersion1, (1 << 16) | 33);

    std::vector<KvdStreamPlan> streams;
    std::vector<AddedChunk> added;
    // A chunk of streams[stream] holding records of `recordBytes` each.
    const auto addChunk = [&](size_t stream, uint64_t start, uint64_t stop, const std::vector<uint8_t>& payload,
                              size_t recordBytes) {
        const std::string id = ChunkId(version, streams[stream]);
        b.AddChunk(id, start, stop, payload);
        added.push_back(AddedChunk {id, start, stop, streams[stream].name, recordBytes});
    };

    const bool trigger = plan.triggered ? plan.triggerStream : !plan.triggerMs.empty() || plan.triggerEverySlot;
    KvdStreamPlan t;
    t.bufferType = "trigger";
    t.name = "Trigger 1";
    t.id = "trig0001";
    t.sampleRate = plan.rateHz * 1000;
    t.words[1] = 2000;
    t.settings = plan.triggerSettings;
    t.channels.resize(1);
    t.channels[0].name = t.channels[0].displayName = "T1";
    const uint16_t triggerVersion = version == 0 ? 0 : t.headerVersion;

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
        streams.push_back(s);
    }
    // The stored index takes its sweeps from the last stream, a raw one as the recording
    // program has it.
    if (spikes)
        streams.insert(streams.begin(), SpikeStream(plan.rateHz, nextId));
    // Version 0 files tell the mode and the sweep length by their first stream: a raw one.
    if (trigger)
        streams.insert(version == 0 ? streams.end() : streams.begin(), t);
    for (size_t i = 0; i < streams.size(); ++i) {
        streams[i].chunkNumber = static_cast<uint16_t>(i + 1);
        b.AddStream(streams[i]);
    }
    const size_t spikeAt = trigger ? 1 : 0;
    const size_t firstRaw = (trigger && version != 0 ? 1 : 0) + (spikes ? 1 : 0);
    const size_t triggerAt = version == 0 ? streams.size() - 1 : 0;
    const size_t triggerBytes = TriggerRecord(0, triggerVersion).size();
    if (plan.triggered && trigger) {
        if (version >= 5)
            b.SetText(FH::kStartTriggerId, "trig0001");
        else if (version >= 1)
            b.Set<uint16_t>(FH::kTriggerStreamNumber, streams[triggerAt].chunkNumber);
    }

    // One chunk of every raw stream for the time slot that starts `since` ns after the start.
    int slot = plan.triggered ? plan.firstSweep * (plan.sweepMs / plan.chunkMs) : plan.firstChunk;
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
            addChunk(firstRaw + s, t0 + since, t0 + since + chunkNs, payload, 2 * channels);
        }
        if (!spikes)
            return;
        const std::vector<uint8_t> records =
            SpikeRecords(plan, t0, since, chunkNs, static_cast<uint16_t>(streams[spikeAt].channels[0].id));
        if (!records.empty())
            addChunk(spikeAt, t0 + since, t0 + since + chunkNs, records, SpikeRecord(0, 0).size());
    };

    uint64_t stop = t0;
    if (!plan.triggered) {
        for (int k = plan.firstChunk; k < plan.firstChunk + plan.chunks; ++k) {
            const uint64_t since = static_cast<uint64_t>(k) * chunkNs;
            std::vector<uint8_t> slotEvents;
            for (int ms : plan.triggerMs) {
                const uint64_t at = static_cast<uint64_t>(ms) * kNsPerMs;
                if (at < since || at >= since + chunkNs)
                    continue;
                const std::vector<uint8_t> record = TriggerRecord(t0 + at, triggerVersion);
                if (!plan.triggerEverySlot)
                    addChunk(triggerAt, t0 + at, t0 + at + chunkNs, record, triggerBytes);
                slotEvents.insert(slotEvents.end(), record.begin(), record.end());
            }
            if (plan.triggerEverySlot)
                addChunk(triggerAt, t0 + since, t0 + since + chunkNs, slotEvents, triggerBytes);
            if (Listed(plan.dropChunks, k))
                ++slot;
            else
                addSlot(since);
        }
        stop = t0 + static_cast<uint64_t>(plan.firstChunk + plan.chunks) * chunkNs
               + static_cast<uint64_t>(plan.stopExtraUs) * 1000u;
    } else {
        for (int sweep = plan.firstSweep; sweep < plan.firstSweep + plan.sweeps; ++sweep) {
            const uint64_t start = KvdSweepStartNs(plan, sweep);
            const int chunks = plan.sweepMs / plan.chunkMs - (Listed(plan.shortSweeps, sweep) ? 1 : 0);
            // The last stream with data gives the sweeps: in version 0 the trigger stream, whose
            // chunk then spans the sweep.
            const uint64_t triggerNs = version == 0 ? static_cast<uint64_t>(chunks) * chunkNs : chunkNs;
            if (trigger)
                addChunk(triggerAt, t0 + start, t0 + start + triggerNs, TriggerRecord(t0 + start, triggerVersion),
                         triggerBytes);
            for (int k = 0; k < chunks; ++k)
                addSlot(start + static_cast<uint64_t>(k) * chunkNs);
            stop = t0 + start + static_cast<uint64_t>(chunks) * chunkNs;
        }
    }
    b.Set<uint64_t>(FH::kStopTime, stop);
    // The recording program counts its data chunks when it closes the file.
    b.Set<int64_t>(FH::kDataChunkCount, static_cast<int64_t>(added.size()));
    if (plan.storedIndex && version >= 3) {
        KvdLayout where;
        b.Build(&where);
        b.AddIndex(StoredIndex(added, where, streams, version));
    }
    if (chunks) {
        chunks->clear();
        for (const AddedChunk& chunk : added)
            chunks->push_back(KvdPlannedChunk {chunk.stream, chunk.start - t0, chunk.stop - t0, chunk.recordBytes});
    }
    return b.WriteTo(path, layout);
}

KvdRawStreamPlan KvdDigitalStreamPlan()
{
    KvdRawStreamPlan digital;
    digital.type = "digital";
    digital.name = "Digital Data";
    digital.id = "digi0001";
    digital.channels = {"D1"};
    return digital;
}
