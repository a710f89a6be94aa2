#include "tests/export/damaged/DamageTable.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "datafile/container/KvdFormat.h"
#include "tests/support/TempDir.h"

namespace Chunk = Kvd::DataChunk;

namespace {

constexpr uint64_t kNsPerMs = 1000000;

// What changing a head field may cost. A chunk whose bytes are all there may be read back as
// sound ("mended") whatever its head says, or lost; nothing in its head must cost it.
enum class Cost {
    Chunk,          // the chunk
    ChunkAndNext,   // the chunk and the one behind it, whose head its size field swallows
};

struct ChunkHead
{
    int64_t size;
    uint64_t start;
    uint64_t stop;
};

struct HeadChange
{
    std::string name;
    Cost cost;
    std::function<void(uint8_t* head, const ChunkHead& sound)> change;
};

template <class T>
HeadChange SetField(std::string name, Cost cost, size_t field, std::function<T(const ChunkHead&)> value)
{
    return HeadChange {std::move(name), cost, [field, value](uint8_t* head, const ChunkHead& sound) {
                           StoreLE<T>(head + field, value(sound));
                       }};
}

std::vector<HeadChange> TimeChanges(const char* which, size_t field, uint64_t ChunkHead::*time)
{
    const auto set = [&](const char* what, std::function<uint64_t(const ChunkHead&)> value) {
        return SetField<uint64_t>(std::string(which) + " " + what, Cost::Chunk, field, std::move(value));
    };
    return {
        set("0", [](const ChunkHead&) { return uint64_t(0); }),
        set("1", [](const ChunkHead&) { return uint64_t(1); }),
        set("UINT64 max", [](const ChunkHead&) { return UINT64_MAX; }),
        set("one chunk earlier", [time](const ChunkHead& h) { return h.*time - (h.stop - h.start); }),
        set("one chunk later", [time](const ChunkHead& h) { return h.*time + (h.stop - h.start); }),
    };
}

// Every change the table makes to one head; `record` is the bytes of one frame or record.
std::vector<HeadChange> HeadChanges(size_t record)
{
    const auto size = [](const char* what, Cost cost, std::function<int64_t(const ChunkHead&)> value) {
        return SetField<int64_t>(std::string("size ") + what, cost, Chunk::kSize, std::move(value));
    };
    const int64_t one = static_cast<int64_t>(record);
    std::vector<HeadChange> changes = {
        size("0", Cost::Chunk, [](const ChunkHead&) { return int64_t(0); }),
        size("1", Cost::Chunk, [](const ChunkHead&) { return int64_t(1); }),
        size("one record more", Cost::ChunkAndNext, [one](const ChunkHead& h) { return h.size + one; }),
        size("one record less", Cost::Chunk, [one](const ChunkHead& h) { return h.size - one; }),
        size("32 more", Cost::ChunkAndNext, [](const ChunkHead& h) { return h.size + 32; }),
        size("INT64 max", Cost::ChunkAndNext, [](const ChunkHead&) { return INT64_MAX; }),
        {"id byte changed", Cost::Chunk, [](uint8_t* head, const ChunkHead&) { head[Chunk::kId] ^= 0x20; }},
    };
    for (const HeadChange& c : TimeChanges("start", Chunk::kStart, &ChunkHead::start))
        changes.push_back(c);
    for (const HeadChange& c : TimeChanges("stop", Chunk::kStop, &ChunkHead::stop))
        changes.push_back(c);
    changes.push_back({"start and stop swapped", Cost::Chunk, [](uint8_t* head, const ChunkHead& h) {
                           StoreLE<uint64_t>(head + Chunk::kStart, h.stop);
                           StoreLE<uint64_t>(head + Chunk::kStop, h.start);
                       }});
    changes.push_back({"head zeroed", Cost::Chunk,
                       [](uint8_t* head, const ChunkHead&) { std::fill_n(head, Chunk::kHeaderBytes, 0); }});
    changes.push_back({"head 0xFF", Cost::Chunk,
                       [](uint8_t* head, const ChunkHead&) { std::fill_n(head, Chunk::kHeaderBytes, 0xFF); }});
    changes.push_back({"head of random bytes", Cost::Chunk, [](uint8_t* head, const ChunkHead&) {
                           uint32_t x = 2463534242u;
                           for (size_t k = 0; k < Chunk::kHeaderBytes; ++k) {
                               x ^= x << 13, x ^= x >> 17, x ^= x << 5;
                               head[k] = static_cast<uint8_t>(x);
                           }
                       }});
    const auto both = [](const char* name, std::function<uint64_t(const ChunkHead&)> by) {
        return HeadChange {name, Cost::Chunk, [by](uint8_t* head, const ChunkHead& h) {
                               StoreLE<uint64_t>(head + Chunk::kStart, h.start + by(h));
                               StoreLE<uint64_t>(head + Chunk::kStop, h.stop + by(h));
                           }};
    };
    changes.push_back(both("both times one chunk later", [](const ChunkHead& h) { return h.stop - h.start; }));
    changes.push_back(both("both times 10 s later", [](const ChunkHead&) { return uint64_t(10000000000); }));
    return changes;
}

ChunkHead ReadHead(const SoundRecording& sound, size_t chunk)
{
    const uint8_t* head = sound.bytes.data() + sound.layout.chunkAt[chunk];
    return ChunkHead {LoadLE<int64_t>(head + Chunk::kSize), LoadLE<uint64_t>(head + Chunk::kStart),
                      LoadLE<uint64_t>(head + Chunk::kStop)};
}

// The chunks a head change may cost.
std::vector<LostChunk> MayCost(const SoundRecording& sound, size_t chunk, Cost cost)
{
    std::vector<LostChunk> lost = {{chunk, false}};
    if (cost == Cost::ChunkAndNext && chunk + 1 < sound.chunks.size())
        lost.push_back({chunk + 1, false});
    return lost;
}

// A change that costs nothing by itself.
Damage Change(std::string name, std::function<void(std::vector<uint8_t>&)> apply)
{
    Damage d;
    d.name = std::move(name);
    d.apply = std::move(apply);
    return d;
}

Damage Cut(std::string name, size_t at)
{
    return Change(std::move(name), [at](std::vector<uint8_t>& bytes) { bytes.resize(std::min(bytes.size(), at)); });
}

Damage HeadDamage(const SoundRecording& sound, size_t chunk, const HeadChange& change)
{
    const size_t at = sound.layout.chunkAt[chunk];
    const ChunkHead head = ReadHead(sound, chunk);
    Damage d;
    d.name = ChunkName(sound, chunk) + ": " + change.name;
    d.apply = [at, head, change](std::vector<uint8_t>& bytes) { change.change(bytes.data() + at, head); };
    d.lost = MayCost(sound, chunk, change.cost);
    d.unnamedHead = change.name == "head zeroed" || change.name == "head 0xFF" || change.name == "head of random bytes";
    return d;
}

// The chunks of each stream in file order, the streams in the order of their first chunk.
std::vector<std::vector<size_t>> ChunksByStream(const SoundRecording& sound)
{
    std::vector<std::string> names;
    std::map<std::string, std::vector<size_t>> chunks;
    for (size_t i = 0; i < sound.chunks.size(); ++i) {
        const std::string& name = sound.chunks[i].stream;
        if (chunks[name].empty())
            names.push_back(name);
        chunks[name].push_back(i);
    }
    std::vector<std::vector<size_t>> byStream;
    for (const std::string& name : names)
        byStream.push_back(chunks[name]);
    return byStream;
}

// A continuous recording cut after its first half of time slots, a triggered one after its
// first half of sweeps: the plan of what is left, and the first chunk cut off.
std::pair<KvdRecordingPlan, size_t> FirstHalf(const SoundRecording& sound)
{
    KvdRecordingPlan shorter = sound.plan;
    uint64_t endNs = 0;
    if (sound.plan.triggered) {
        shorter.sweeps = sound.plan.sweeps / 2;
        endNs = KvdSweepStartNs(sound.plan, shorter.sweeps);
    } else {
        shorter.chunks = sound.plan.chunks / 2;
        endNs = static_cast<uint64_t>(shorter.chunks) * static_cast<uint64_t>(sound.plan.chunkMs) * kNsPerMs;
    }
    size_t first = 0;
    while (first < sound.chunks.size() && sound.chunks[first].startNs < endNs)
        ++first;
    return {shorter, first};
}

bool HasStopTime(const KvdRecordingPlan& plan)
{
    return plan.fileVersion >= 1;
}

} // namespace

Damage HeadDamage(const SoundRecording& sound, size_t chunk, const std::string& changeName)
{
    for (const HeadChange& change : HeadChanges(sound.chunks[chunk].recordBytes))
        if (change.name == changeName)
            return HeadDamage(sound, chunk, change);
    return Change("no head change named " + changeName, [](std::vector<uint8_t>&) {});
}

Damage Both(const Damage& a, const Damage& b)
{
    Damage d;
    d.name = a.name + " and " + b.name;
    d.apply = [a, b](std::vector<uint8_t>& bytes) {
        a.apply(bytes);
        b.apply(bytes);
    };
    d.lost = a.lost;
    d.lost.insert(d.lost.end(), b.lost.begin(), b.lost.end());
    d.unnamedHead = a.unnamedHead || b.unnamedHead;
    return d;
}

bool WriteSoundRecording(const KvdRecordingPlan& plan, const std::string& path, SoundRecording& sound)
{
    sound.plan = plan;
    if (!WriteKvdRecording(plan, path, &sound.layout, &sound.chunks))
        return false;
    sound.bytes = ReadFileBytes(path);
    return sound.chunks.size() == sound.layout.chunkAt.size();
}

std::string ChunkName(const SoundRecording& sound, size_t chunk)
{
    const KvdPlannedChunk& c = sound.chunks[chunk];
    char text[160];
    std::snprintf(text, sizeof text, "chunk %zu (%s %.3f-%.3f s)", chunk, c.stream.c_str(), c.startNs / 1e9,
                  c.stopNs / 1e9);
    return text;
}

size_t StoredSweepStopAt(const SoundRecording& sound, size_t sweep)
{
    const char* id = Kvd::kIdIndexSweeps;
    const auto at = std::search(sound.bytes.begin(), sound.bytes.end(), id, id + Kvd::kIdBytes);
    if (sound.layout.indexAt == 0 || at == sound.bytes.end())
        return 0;
    return static_cast<size_t>(at - sound.bytes.begin()) + Kvd::kFrameBytes + 16 * sweep + 8;
}

std::vector<LostChunk> LostFrom(const SoundRecording& sound, size_t first)
{
    std::vector<LostChunk> lost;
    for (size_t i = first; i < sound.chunks.size(); ++i)
        lost.push_back({i, true});
    return lost;
}

std::vector<UntoldTime> UntoldBehind(const SoundRecording& sound, size_t first)
{
    const KvdRecordingPlan& plan = sound.plan;
    std::vector<UntoldTime> untold;
    if (plan.triggered)
        return untold;
    const auto samples = [&](const std::string& stream) {
        return std::any_of(plan.streams.begin(), plan.streams.end(),
                           [&](const KvdRawStreamPlan& s) { return s.name == stream; });
    };
    // A gap in a stream ends where its next chunk begins: the copy tells the gaps that end by
    // the latest start of a chunk of samples it keeps.
    uint64_t told = 0;
    for (size_t i = 0; i < first && i < sound.chunks.size(); ++i)
        if (samples(sound.chunks[i].stream))
            told = std::max(told, sound.chunks[i].startNs);
    const uint64_t chunkNs = static_cast<uint64_t>(plan.chunkMs) * kNsPerMs;
    const auto listed = [](const std::vector<int>& slots, int slot) {
        return std::find(slots.begin(), slots.end(), slot) != slots.end();
    };
    for (const KvdRawStreamPlan& stream : plan.streams)
        for (int slot = plan.firstChunk; slot < plan.firstChunk + plan.chunks; ++slot) {
            const uint64_t start = static_cast<uint64_t>(slot) * chunkNs;
            if (start + chunkNs > told && (listed(plan.dropChunks, slot) || listed(stream.missingSlots, slot)))
                untold.push_back({stream.name, start, start + chunkNs});
        }
    return untold;
}

std::vector<size_t> ChunksToDamage(const SoundRecording& sound)
{
    std::vector<size_t> chunks;
    for (const std::vector<size_t>& stream : ChunksByStream(sound))
        for (size_t pick : {size_t(0), stream.size() / 2, stream.size() - 1})
            if (std::find(chunks.begin(), chunks.end(), stream[pick]) == chunks.end())
                chunks.push_back(stream[pick]);
    std::sort(chunks.begin(), chunks.end());
    return chunks;
}

std::vector<Damage> HeadDamages(const SoundRecording& sound, size_t chunk)
{
    std::vector<Damage> damages;
    for (const HeadChange& change : HeadChanges(sound.chunks[chunk].recordBytes))
        damages.push_back(HeadDamage(sound, chunk, change));
    return damages;
}

std::vector<Damage> TwoHeadDamages(const SoundRecording& sound)
{
    const std::vector<std::vector<size_t>> streams = ChunksByStream(sound);
    const std::vector<size_t>& a = streams.front();
    const std::vector<size_t>& b = streams.back();
    const size_t last = sound.chunks.size() - 1;
    return {
        Both(HeadDamage(sound, a.front(), "size 0"), HeadDamage(sound, b[b.size() / 2], "stop UINT64 max")),
        Both(HeadDamage(sound, a[a.size() / 2], "head zeroed"), HeadDamage(sound, a.back(), "id byte changed")),
        Both(HeadDamage(sound, 0, "start 0"), HeadDamage(sound, last, "size INT64 max")),
    };
}

std::vector<Damage> CutOffs(const SoundRecording& sound)
{
    const bool index = sound.layout.indexAt != 0;
    const auto [shorter, first] = FirstHalf(sound);
    const size_t inside = std::min(first + 1, sound.chunks.size() - 1);
    const size_t insideAt = sound.layout.chunkAt[inside];
    std::vector<Damage> cuts;

    Damage between = Cut("cut before " + ChunkName(sound, first), sound.layout.chunkAt[first]);
    if (index)
        between.lost = LostFrom(sound, first);
    else
        between.shorter = shorter;
    cuts.push_back(between);
    // Nothing whole is left: the header still tells what was recorded. (A version-0 file
    // without index cut at its data start holds nothing that tells it from an empty recording.)
    const bool told = index || HasStopTime(sound.plan);
    for (size_t at : {size_t(0), size_t(12)}) {
        if (at == 0 && !told)
            continue;
        Damage first = Cut(std::string(at == 0 ? "cut before " : "cut inside the head of ") + ChunkName(sound, 0),
                           sound.layout.chunkAt[0] + at);
        first.lost = LostFrom(sound, 0);
        first.openEnd = !index && !HasStopTime(sound.plan);
        for (size_t k = 0; first.openEnd && k < first.lost.size(); ++k)
            first.lost[k].must = false;
        cuts.push_back(first);
    }
    if (index) {
        // Without a stored index a cut between two streams' chunks of one time slot leaves no
        // telling whether the recording ended there; with one it is plainly cut.
        cuts.push_back(Cut("cut before " + ChunkName(sound, inside), insideAt));
        cuts.back().lost = LostFrom(sound, inside);
    }
    const auto cutInside = [&](const std::string& where, size_t at) {
        Damage d = Cut("cut inside " + where, at);
        d.lost = LostFrom(sound, inside);
        d.openEnd = !index && !HasStopTime(sound.plan);
        // Without an end to go by, only the chunk cut in two is plainly lost.
        for (size_t k = 1; d.openEnd && k < d.lost.size(); ++k)
            d.lost[k].must = false;
        return d;
    };
    const size_t record = sound.chunks[inside].recordBytes;
    const size_t payload = static_cast<size_t>(ReadHead(sound, inside).size) - Chunk::kMinSize;
    cuts.push_back(cutInside("the head of " + ChunkName(sound, inside), insideAt + 12));
    cuts.push_back(cutInside(ChunkName(sound, inside), insideAt + Chunk::kHeaderBytes + payload / record / 2 * record));
    if (index) {
        cuts.push_back(Cut("cut inside the stored index", sound.layout.indexAt + 20));
        // Fewer bytes than a head are left of it: they are no data chunk's.
        cuts.push_back(Cut("cut 2 bytes into the stored index", sound.layout.indexAt + 2));
    }
    return cuts;
}

std::vector<Damage> SoundVariants(const SoundRecording& sound)
{
    const auto pad = [](std::vector<uint8_t>& bytes) { bytes.resize(bytes.size() + 4096, 0); };
    std::vector<Damage> variants = {Change("4096 zero bytes appended", pad)};
    if (!HasStopTime(sound.plan))
        return variants;
    const size_t at = sound.layout.fileHeaderAt + Kvd::FileHeader::kStopTime;
    const uint64_t stop = LoadLE<uint64_t>(sound.bytes.data() + at);
    const uint64_t chunkNs = static_cast<uint64_t>(sound.plan.chunkMs) * kNsPerMs;
    const auto stopPast = [&](const char* name, uint64_t ns, bool padded) {
        return Change(name, [at, stop, ns, padded, pad](std::vector<uint8_t>& bytes) {
            StoreLE<uint64_t>(bytes.data() + at, stop + ns);
            if (padded)
                pad(bytes);
        });
    };
    variants.push_back(stopPast("header stop half a chunk past the data, 4096 zero bytes appended", chunkNs / 2, true));
    variants.push_back(stopPast("header stop one chunk past the data, 4096 zero bytes appended", chunkNs, true));
    variants.push_back(stopPast("header stop one chunk past the data", chunkNs, false));
    return variants;
}

std::vector<Damage> TableDamages(const SoundRecording& sound)
{
    std::vector<Damage> damages;
    const auto append = [&](const std::vector<Damage>& more) {
        damages.insert(damages.end(), more.begin(), more.end());
    };
    for (size_t chunk : ChunksToDamage(sound))
        append(HeadDamages(sound, chunk));
    append(TwoHeadDamages(sound));
    append(CutOffs(sound));
    append(SoundVariants(sound));
    return damages;
}
