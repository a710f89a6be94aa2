#include "tests/export/damaged/RandomDamage.h"

#include <algorithm>
#include <array>
#include <functional>

#include "datafile/container/KvdFormat.h"
#include "platform/CByteReader.h"
#include "tests/datafile/settings/SettingsBytes.h"

namespace Chunk = Kvd::DataChunk;

namespace {

constexpr uint64_t kNsPerMs = 1000000;
constexpr uint64_t kNsPerDay = 86400ull * 1000000000ull;

template <class T>
T Pick(std::mt19937_64& random, const std::vector<T>& from)
{
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
}

int Between(std::mt19937_64& random, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(random);
}

bool Chance(std::mt19937_64& random, double p)
{
    return std::bernoulli_distribution(p)(random);
}

// Event times (ms) in [0, endMs), a few, none at times, at least `apartMs` apart.
std::vector<int> EventTimes(std::mt19937_64& random, int endMs, int most, int apartMs)
{
    std::vector<int> times;
    const int count = Between(random, 0, most);
    for (int k = 0; k < count; ++k)
        times.push_back(Between(random, 0, endMs - 1));
    std::sort(times.begin(), times.end());
    std::vector<int> apart;
    for (int t : times)
        if (apart.empty() || t >= apart.back() + std::max(1, apartMs))
            apart.push_back(t);
    return apart;
}

// Trigger settings that make the text converter write a trigger stream's events.
std::vector<uint8_t> TriggerSettings()
{
    return SettingsBytes()
        .Tag("PARAMTRG")
        .U32(0).U32(2).U32(0).U32(1).U32(5).I32(0).I32(0).U32(0).I32(3).U32(0)
        .Zeros(20).U8(0).U32(1).U32(1).Str32("").U32(1).U8(1)
        .Get();
}

// A second analog stream; from version 5 its id is one byte off the electrodes' (below, the
// chunk numbers that name chunks are too).
KvdRawStreamPlan AnalogStream()
{
    KvdRawStreamPlan analog;
    analog.name = "Analog Raw Data";
    analog.id = "elec0002";
    analog.channels = {"A1"};
    return analog;
}

struct HeadBytes
{
    uint8_t* at;
    int64_t size;
    uint64_t start;
    uint64_t stop;
    uint64_t span;
};

using HeadChange = std::function<void(HeadBytes&, std::mt19937_64&)>;

struct NamedChange
{
    const char* name;
    HeadChange change;
    // A change that moves both times by one amount: by `movedNs`, or by `movedChunks` of the
    // chunk's own span; both 0 for every other change.
    int64_t movedNs = 0;
    int movedChunks = 0;
};

void SetSize(HeadBytes& h, int64_t size) { StoreLE<int64_t>(h.at + Chunk::kSize, size); }
void SetStart(HeadBytes& h, uint64_t t) { StoreLE<uint64_t>(h.at + Chunk::kStart, t); }
void SetStop(HeadBytes& h, uint64_t t) { StoreLE<uint64_t>(h.at + Chunk::kStop, t); }

std::vector<NamedChange> TimeChanges(const char* which, void (*set)(HeadBytes&, uint64_t),
                                     uint64_t HeadBytes::*time)
{
    const std::string w = which;
    std::vector<NamedChange> changes;
    const auto add = [&](const char* name, std::function<uint64_t(const HeadBytes&, std::mt19937_64&)> value) {
        changes.push_back({name, [set, value](HeadBytes& h, std::mt19937_64& r) { set(h, value(h, r)); }});
    };
    add(w == "start" ? "start 0" : "stop 0", [](const HeadBytes&, std::mt19937_64&) { return uint64_t(0); });
    add(w == "start" ? "start 1" : "stop 1", [](const HeadBytes&, std::mt19937_64&) { return uint64_t(1); });
    add(w == "start" ? "start largest" : "stop largest",
        [](const HeadBytes&, std::mt19937_64&) { return UINT64_MAX; });
    add(w == "start" ? "start one chunk earlier" : "stop one chunk earlier",
        [time](const HeadBytes& h, std::mt19937_64&) { return h.*time - h.span; });
    add(w == "start" ? "start one chunk later" : "stop one chunk later",
        [time](const HeadBytes& h, std::mt19937_64&) { return h.*time + h.span; });
    add(w == "start" ? "start 1 ns early" : "stop 1 ns early",
        [time](const HeadBytes& h, std::mt19937_64&) { return h.*time - 1; });
    add(w == "start" ? "start 1 ns late" : "stop 1 ns late",
        [time](const HeadBytes& h, std::mt19937_64&) { return h.*time + 1; });
    add(w == "start" ? "start random" : "stop random", [](const HeadBytes&, std::mt19937_64& r) { return r(); });
    return changes;
}

// Every way the random damage changes one head. `record` is its chunk's frame or record bytes.
std::vector<NamedChange> HeadChanges(int64_t record)
{
    const auto size = [](const char* name, std::function<int64_t(const HeadBytes&, std::mt19937_64&)> value) {
        return NamedChange {name, [value](HeadBytes& h, std::mt19937_64& r) { SetSize(h, value(h, r)); }};
    };
    const auto both = [](const char* name, uint64_t ns, bool forward) {
        return NamedChange {name,
                            [ns, forward](HeadBytes& h, std::mt19937_64&) {
                                SetStart(h, forward ? h.start + ns : h.start - ns);
                                SetStop(h, forward ? h.stop + ns : h.stop - ns);
                            },
                            forward ? static_cast<int64_t>(ns) : -static_cast<int64_t>(ns)};
    };
    std::vector<NamedChange> changes = {
        size("size 0", [](const HeadBytes&, std::mt19937_64&) { return int64_t(0); }),
        size("size 1", [](const HeadBytes&, std::mt19937_64&) { return int64_t(1); }),
        size("size -1", [](const HeadBytes&, std::mt19937_64&) { return int64_t(-1); }),
        size("size one record more", [record](const HeadBytes& h, std::mt19937_64&) { return h.size + record; }),
        size("size one record less", [record](const HeadBytes& h, std::mt19937_64&) { return h.size - record; }),
        size("size 32 more", [](const HeadBytes& h, std::mt19937_64&) { return h.size + 32; }),
        size("size 1 more", [](const HeadBytes& h, std::mt19937_64&) { return h.size + 1; }),
        size("size largest", [](const HeadBytes&, std::mt19937_64&) { return INT64_MAX; }),
        size("size random", [](const HeadBytes&, std::mt19937_64& r) { return static_cast<int64_t>(r()); }),
        {"id byte changed", [](HeadBytes& h, std::mt19937_64& r) {
             h.at[Between(r, 0, 7)] ^= static_cast<uint8_t>(Between(r, 1, 255));
         }},
        {"id letter case", [](HeadBytes& h, std::mt19937_64& r) {
             for (int tries = 0; tries < 16; ++tries) {
                 uint8_t& b = h.at[Between(r, 0, 7)];
                 if ((b | 0x20) >= 'a' && (b | 0x20) <= 'z') {
                     b ^= 0x20;
                     return;
                 }
             }
         }},
        {"start and stop swapped", [](HeadBytes& h, std::mt19937_64&) {
             SetStart(h, h.stop);
             SetStop(h, h.start);
         }},
        both("both times 1 ns later", 1, true),
        both("both times one chunk later", 0, true),
        both("both times one chunk earlier", 0, false),
        both("both times 10 s later", 10000000000ull, true),
        both("both times a day later", kNsPerDay, true),
        {"head zeroed", [](HeadBytes& h, std::mt19937_64&) { std::fill_n(h.at, Chunk::kHeaderBytes, 0); }},
        {"head 0xFF", [](HeadBytes& h, std::mt19937_64&) { std::fill_n(h.at, Chunk::kHeaderBytes, 0xFF); }},
        {"head random", [](HeadBytes& h, std::mt19937_64& r) {
             for (size_t k = 0; k < Chunk::kHeaderBytes; ++k)
                 h.at[k] = static_cast<uint8_t>(r());
         }},
    };
    // "One chunk" moves by the chunk's own span.
    for (NamedChange& c : changes) {
        const std::string name = c.name;
        if (name == "both times one chunk later" || name == "both times one chunk earlier") {
            const bool forward = name == "both times one chunk later";
            c.change = [forward](HeadBytes& h, std::mt19937_64&) {
                SetStart(h, forward ? h.start + h.span : h.start - h.span);
                SetStop(h, forward ? h.stop + h.span : h.stop - h.span);
            };
            c.movedChunks = forward ? 1 : -1;
        }
    }
    for (const NamedChange& c : TimeChanges("start", SetStart, &HeadBytes::start))
        changes.push_back(c);
    for (const NamedChange& c : TimeChanges("stop", SetStop, &HeadBytes::stop))
        changes.push_back(c);
    return changes;
}

bool NamesNoStream(const std::string& change)
{
    return change == "head zeroed" || change == "head 0xFF" || change == "head random" || change == "id byte changed"
           || change == "id of another stream";
}

// The chunks of another stream in the time of chunk `chunk`: a head given their id may take
// their place.
std::vector<size_t> OthersAtItsTime(const SoundRecording& sound, size_t chunk, const std::string& stream)
{
    std::vector<size_t> others;
    const KvdPlannedChunk& c = sound.chunks[chunk];
    for (size_t k = 0; k < sound.chunks.size(); ++k) {
        const KvdPlannedChunk& o = sound.chunks[k];
        if (o.stream == stream && o.startNs < c.stopNs && o.stopNs > c.startNs)
            others.push_back(k);
    }
    return others;
}

std::string JoinNames(const std::vector<std::string>& names)
{
    std::string joined;
    for (const std::string& n : names)
        joined += (joined.empty() ? "" : " and ") + n;
    return joined;
}

void AddLost(Damage& d, size_t chunk, bool must = false)
{
    for (LostChunk& l : d.lost)
        if (l.chunk == chunk) {
            l.must = l.must || must;
            return;
        }
    d.lost.push_back({chunk, must});
}

// Damaged heads of chunks `chosen`, one change each.
RandomDamage HeadsDamage(const SoundRecording& sound, const std::vector<size_t>& chosen, std::mt19937_64& random)
{
    RandomDamage r;
    r.heads = chosen.size();
    std::vector<std::function<void(std::vector<uint8_t>&)>> steps;
    std::vector<std::string> names;
    for (size_t chunk : chosen) {
        const KvdPlannedChunk& c = sound.chunks[chunk];
        std::vector<NamedChange> changes = HeadChanges(static_cast<int64_t>(c.recordBytes));
        // Ids of another stream of the file.
        std::vector<std::string> streams;
        for (const KvdPlannedChunk& o : sound.chunks)
            if (o.stream != c.stream && std::find(streams.begin(), streams.end(), o.stream) == streams.end())
                streams.push_back(o.stream);
        std::string other;
        if (!streams.empty()) {
            other = Pick(random, streams);
            size_t otherAt = 0;
            while (sound.chunks[otherAt].stream != other)
                ++otherAt;
            std::array<uint8_t, 8> id;
            std::copy_n(sound.bytes.begin() + static_cast<std::ptrdiff_t>(sound.layout.chunkAt[otherAt]), 8,
                        id.begin());
            changes.push_back({"id of another stream", [id](HeadBytes& h, std::mt19937_64&) {
                                   std::copy(id.begin(), id.end(), h.at);
                               }});
        }
        const NamedChange change = Pick(random, changes);
        const uint64_t seed = random();
        const size_t at = sound.layout.chunkAt[chunk];
        steps.push_back([at, change, seed](std::vector<uint8_t>& bytes) {
            HeadBytes h {bytes.data() + at, LoadLE<int64_t>(bytes.data() + at + Chunk::kSize),
                         LoadLE<uint64_t>(bytes.data() + at + Chunk::kStart),
                         LoadLE<uint64_t>(bytes.data() + at + Chunk::kStop), 0};
            h.span = h.stop - h.start;
            std::mt19937_64 own(seed);
            change.change(h, own);
        });
        names.push_back(ChunkName(sound, chunk) + ": " + change.name);
        const int64_t span = static_cast<int64_t>(c.stopNs - c.startNs);
        const int64_t moved = change.movedChunks != 0 ? change.movedChunks * span : change.movedNs;
        r.changed.push_back({chunk, moved != 0 ? std::optional<int64_t>(moved) : std::nullopt});
        r.kind = chosen.size() == 1 ? std::string(change.name) : std::to_string(chosen.size()) + " heads";
        AddLost(r.damage, chunk);
        if (chunk + 1 < sound.chunks.size())
            AddLost(r.damage, chunk + 1);
        if (std::string(change.name) == "id of another stream")
            for (size_t k : OthersAtItsTime(sound, chunk, other))
                AddLost(r.damage, k);
        r.damage.unnamedHead = r.damage.unnamedHead || NamesNoStream(change.name);
    }
    r.damage.name = JoinNames(names);
    r.damage.apply = [steps](std::vector<uint8_t>& bytes) {
        for (const auto& step : steps)
            step(bytes);
    };
    return r;
}

} // namespace

namespace {

// The chunks to damage: one to three, often neighbours in the file.
std::vector<size_t> ChunksToBreak(const SoundRecording& sound, std::mt19937_64& random)
{
    const int count = std::min<int>(Between(random, 1, 3), static_cast<int>(sound.chunks.size()));
    const bool neighbours = Chance(random, 0.4);
    std::vector<size_t> chosen;
    const size_t first = static_cast<size_t>(Between(random, 0, static_cast<int>(sound.chunks.size()) - count));
    for (int k = 0; k < count; ++k) {
        size_t chunk = neighbours ? first + static_cast<size_t>(k)
                                  : static_cast<size_t>(Between(random, 0, static_cast<int>(sound.chunks.size()) - 1));
        if (std::find(chosen.begin(), chosen.end(), chunk) == chosen.end())
            chosen.push_back(chunk);
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

bool HasStopTime(const KvdRecordingPlan& plan)
{
    return plan.fileVersion >= 1;
}

// Leaves out the triggers of `plan` from `triggersNs` on and its spikes from `spikesNs` on.
void KeepEventsBefore(KvdRecordingPlan& plan, uint64_t triggersNs, uint64_t spikesNs)
{
    const auto keep = [](std::vector<int>& times, uint64_t endNs) {
        const auto past = [endNs](int ms) { return static_cast<uint64_t>(ms) * kNsPerMs >= endNs; };
        times.erase(std::remove_if(times.begin(), times.end(), past), times.end());
    };
    keep(plan.triggerMs, triggersNs);
    keep(plan.spikeMs, spikesNs);
}

// The plan of what is left of a recording without stored index cut cleanly before chunk `k`:
// before the first chunk of a time slot (continuous) or of a sweep; none where the writer's
// plan cannot say it (a cut inside a slot or a sweep).
std::optional<KvdRecordingPlan> ShorterPlan(const SoundRecording& sound, size_t k)
{
    const KvdRecordingPlan& plan = sound.plan;
    const uint64_t chunkNs = static_cast<uint64_t>(plan.chunkMs) * kNsPerMs;
    KvdRecordingPlan shorter = plan;
    uint64_t endNs = 0;
    if (plan.triggered) {
        int sweeps = 0;
        while (sweeps < plan.sweeps && KvdSweepStartNs(plan, sweeps) <= sound.chunks[k].startNs)
            ++sweeps;
        shorter.sweeps = sweeps - 1;
        endNs = KvdSweepStartNs(plan, shorter.sweeps);
    } else {
        shorter.chunks = static_cast<int>(sound.chunks[k].startNs / chunkNs);
        endNs = static_cast<uint64_t>(shorter.chunks) * chunkNs;
        // A cut between the chunks of one slot leaves the streams behind it without that slot:
        // the same file as a recording whose streams end apart.
        std::vector<bool> present(plan.streams.size(), false);
        bool inSlot = false;
        for (size_t i = 0; i < k; ++i) {
            if (sound.chunks[i].startNs < endNs)
                continue;
            inSlot = true;
            for (size_t p = 0; p < plan.streams.size(); ++p)
                present[p] = present[p] || plan.streams[p].name == sound.chunks[i].stream;
        }
        if (inSlot) {
            for (size_t p = 0; p < plan.streams.size(); ++p)
                if (!present[p])
                    shorter.streams[p].missingSlots.push_back(shorter.chunks);
            ++shorter.chunks;
            // The slot's trigger chunks come before its samples, its spikes after them.
            KeepEventsBefore(shorter, endNs + chunkNs, endNs);
            return shorter;
        }
    }
    // Every chunk before the cut belongs to an earlier slot or sweep.
    for (size_t i = 0; i < k; ++i)
        if (sound.chunks[i].startNs >= endNs)
            return std::nullopt;
    if (endNs == 0)
        return std::nullopt;
    KeepEventsBefore(shorter, endNs, endNs);
    return shorter;
}

RandomDamage CutDamage(const SoundRecording& sound, std::mt19937_64& random)
{
    const bool index = sound.layout.indexAt != 0;
    // A version-0 sweep recording is told from a continuous one by its pauses alone: cut inside
    // its first sweep, it has none left, and nothing tells what it lost. Such cuts are left out.
    size_t firstCut = 0;
    if (sound.plan.triggered && sound.plan.fileVersion == 0 && !index)
        while (firstCut + 1 < sound.chunks.size()
               && sound.chunks[firstCut].startNs < static_cast<uint64_t>(sound.plan.sweepMs) * kNsPerMs)
            ++firstCut;
    size_t k = static_cast<size_t>(
        Between(random, static_cast<int>(firstCut), static_cast<int>(sound.chunks.size()) - 1));
    const size_t at = sound.layout.chunkAt[k];
    const size_t end = k + 1 < sound.chunks.size() ? sound.layout.chunkAt[k + 1]
                                                   : (index ? sound.layout.indexAt : sound.bytes.size());
    RandomDamage r;
    size_t cut = at;
    int where = Between(random, 0, index ? 3 : 2);
    // A version-0 file without index cut at its data start holds nothing that tells it from an
    // empty recording: cut inside the first head instead.
    if (where == 0 && k == 0 && !index && !HasStopTime(sound.plan))
        where = 1;
    // Nor does one of sweeps cut cleanly between two chunks: with neither stop time nor count,
    // it reads as a recording whose streams stopped there.
    if (where == 0 && sound.plan.triggered && !index && !HasStopTime(sound.plan))
        where = 2;
    if (where == 0) {
        r.kind = k == 0 ? "cut before the first chunk" : "cut between chunks";
    } else if (where == 1) {
        cut = at + static_cast<size_t>(Between(random, 1, static_cast<int>(Chunk::kHeaderBytes) - 1));
        r.kind = "cut inside a head";
    } else if (where == 2) {
        const size_t payload = end - at - Chunk::kHeaderBytes;
        cut = at + Chunk::kHeaderBytes + (payload == 0 ? 0 : static_cast<size_t>(Between(random, 0, static_cast<int>(payload) - 1)));
        r.kind = cut == at + Chunk::kHeaderBytes ? "cut behind a head" : "cut inside a chunk";
    } else {
        cut = sound.layout.indexAt + static_cast<size_t>(Between(random, 1, 40));
        r.kind = "cut inside the stored index";
    }
    r.damage.name = r.kind + " (" + ChunkName(sound, k) + ", offset " + std::to_string(cut) + ")";
    r.damage.apply = [cut](std::vector<uint8_t>& bytes) { bytes.resize(std::min(bytes.size(), cut)); };
    // Behind the head of an empty chunk the cut lies between that chunk and the next: at the
    // end of the data without index, nothing at all is cut off.
    if (cut == end) {
        if (k + 1 == sound.chunks.size() && !index)
            return r;
        if (k + 1 < sound.chunks.size()) {
            where = 0;
            ++k;
        }
    }
    if (where == 3)
        return r;
    r.damage.lost = LostFrom(sound, k);
    // The copy no longer tells a pause or a slot a stream lacks behind the cut from lost time.
    r.damage.untold = UntoldBehind(sound, k);
    // An event stream may have lost events anywhere behind the cut, none of which the plan
    // may hold.
    r.damage.unnamedHead = true;
    // Without an end to go by (no index, no stop time) only the chunk cut in two is plainly lost.
    r.damage.openEnd = !index && !HasStopTime(sound.plan);
    for (size_t n = 1; r.damage.openEnd && n < r.damage.lost.size(); ++n)
        r.damage.lost[n].must = false;
    if (where == 0 && !index && k > 0)
        r.shorter = ShorterPlan(sound, k);
    return r;
}

RandomDamage SoundVariant(const SoundRecording& sound, std::mt19937_64& random)
{
    RandomDamage r;
    const size_t padding = static_cast<size_t>(Pick(random, std::vector<int> {0, 1, 31, 32, 4096}));
    const uint64_t chunkNs = static_cast<uint64_t>(sound.plan.chunkMs) * kNsPerMs;
    const uint64_t past = HasStopTime(sound.plan) ? Pick(random, std::vector<uint64_t> {0, chunkNs / 2, chunkNs}) : 0;
    const size_t stopAt = sound.layout.fileHeaderAt + Kvd::FileHeader::kStopTime;
    r.kind = "sound: " + std::to_string(padding) + " zero bytes appended, stop "
             + (past == 0 ? "as written" : past == chunkNs ? "a chunk past the data" : "half a chunk past the data");
    r.damage.name = r.kind;
    r.damage.apply = [padding, past, stopAt](std::vector<uint8_t>& bytes) {
        if (past != 0)
            StoreLE<uint64_t>(bytes.data() + stopAt, LoadLE<uint64_t>(bytes.data() + stopAt) + past);
        bytes.resize(bytes.size() + padding, 0);
    };
    return r;
}

} // namespace

KvdRecordingPlan RandomPlan(std::mt19937_64& random)
{
    KvdRecordingPlan plan;
    plan.fileVersion = static_cast<uint16_t>(Pick(random, std::vector<int> {0, 5, 11}));
    plan.triggered = Chance(random, 0.5);
    plan.rateHz = Pick(random, std::vector<int> {1000, 2000, 5000});
    plan.chunkMs = Pick(random, std::vector<int> {50, 100, 200});
    plan.storedIndex = plan.fileVersion >= 3 && Chance(random, 0.5);
    plan.streams[0].channels.resize(static_cast<size_t>(Between(random, 1, 3)));
    for (size_t c = 0; c < plan.streams[0].channels.size(); ++c)
        plan.streams[0].channels[c] = std::to_string(12 + c);
    if (Chance(random, 0.5))
        plan.streams.push_back(KvdDigitalStreamPlan());
    if (Chance(random, 0.3))
        plan.streams.push_back(AnalogStream());
    if (plan.triggered) {
        plan.sweeps = Between(random, 2, 4);
        plan.sweepMs = plan.chunkMs * Between(random, 1, 3);
        plan.sweepLengthMs = plan.sweepMs;
        plan.gapMs = Pick(random, std::vector<int> {plan.chunkMs, 2 * plan.chunkMs, 700, 3000, 60000});
        return plan;
    }
    plan.chunks = Between(random, 4, 10);
    const int endMs = plan.chunks * plan.chunkMs;
    if (Chance(random, 0.5)) {
        // A chunk per event spans a chunk's time from the event: the program writes no two
        // that overlap.
        plan.triggerEverySlot = Chance(random, 0.5);
        plan.triggerMs = EventTimes(random, plan.triggerEverySlot ? endMs : endMs - plan.chunkMs, 4,
                                    plan.triggerEverySlot ? 1 : plan.chunkMs);
        plan.triggerSettings = TriggerSettings();
    }
    if (plan.fileVersion >= 1 && Chance(random, 0.3))
        plan.spikeMs = EventTimes(random, endMs, 6, 1);
    // A pause inside the recording. Right before the last slot of a lone stream without stop
    // time it is the same file as the last chunk's times moved on by a chunk: left out.
    const bool endKnown = plan.fileVersion >= 1 || plan.storedIndex;
    if (Chance(random, 0.1))
        plan.dropChunks = {Between(random, 1, plan.chunks - (endKnown || plan.streams.size() > 1 ? 2 : 3))};
    // A stream that ends a slot before the others: nothing is lost.
    if (plan.streams.size() > 1 && Chance(random, 0.15))
        plan.streams.back().missingSlots = {plan.chunks - 1};
    return plan;
}

std::string DescribePlan(const KvdRecordingPlan& plan)
{
    std::string text = "v" + std::to_string(plan.fileVersion) + (plan.triggered ? " triggered" : " continuous")
                       + (plan.storedIndex ? " index" : "") + " " + std::to_string(plan.rateHz) + " Hz "
                       + std::to_string(plan.chunkMs) + " ms chunks, streams";
    for (const KvdRawStreamPlan& s : plan.streams)
        text += " " + s.id + (s.missingSlots.empty() ? "" : "(ends early)");
    if (plan.triggered)
        text += ", " + std::to_string(plan.sweeps) + " sweeps of " + std::to_string(plan.sweepMs) + " ms, "
                + std::to_string(plan.gapMs) + " ms apart" + (plan.triggerStream ? ", trigger stream" : "");
    else
        text += ", " + std::to_string(plan.chunks) + " chunks" + (plan.dropChunks.empty() ? "" : ", a gap")
                + (plan.triggerMs.empty() && !plan.triggerEverySlot ? "" : ", triggers")
                + (plan.triggerEverySlot ? " in every slot" : "") + (plan.spikeMs.empty() ? "" : ", spikes");
    return text;
}

std::vector<ExportSelection> RandomSelections(const KvdRecordingPlan& plan, std::mt19937_64& random)
{
    const std::vector<ExportFormat> all = {ExportFormat::Bin, ExportFormat::Ascii, ExportFormat::Abf};
    std::vector<ExportSelection> selections;
    const unsigned every = (1u << plan.streams.size()) - 1;
    const unsigned pick = static_cast<unsigned>(Between(random, 1, static_cast<int>(every)));
    ExportSelection raw {"", {}, all};
    for (size_t s = 0; s < plan.streams.size(); ++s) {
        if (!((pick >> s) & 1u))
            continue;
        raw.name += (raw.name.empty() ? "" : " + ") + plan.streams[s].name;
        for (size_t c = 0; c < plan.streams[s].channels.size(); ++c)
            raw.channels.push_back({plan.streams[s].name, plan.streams[s].channels[c], static_cast<int>(c)});
    }
    selections.push_back(raw);
    if (!plan.spikeMs.empty())
        selections.push_back({"spikes", {{"Spikes 1", "E1", 0}}, {ExportFormat::Ascii}});
    if (!plan.triggered && !plan.triggerSettings.empty())
        selections.push_back({"triggers", {{"Trigger 1", "T1", 0}}, {ExportFormat::Ascii}});
    return selections;
}

RandomDamage MakeRandomDamage(const SoundRecording& sound, std::mt19937_64& random)
{
    const int kind = Between(random, 0, 9);
    if (kind < 7)
        return HeadsDamage(sound, ChunksToBreak(sound, random), random);
    if (kind < 9)
        return CutDamage(sound, random);
    return SoundVariant(sound, random);
}

bool UntellableMove(const SoundRecording& sound, const RandomDamage& damage)
{
    const KvdRecordingPlan& plan = sound.plan;
    const bool loneStream =
        plan.streams.size() == 1 && plan.triggerMs.empty() && !plan.triggerEverySlot && plan.spikeMs.empty();
    if (plan.triggered || !loneStream || HasStopTime(plan) || plan.storedIndex || damage.changed.empty())
        return false;
    const int rateHz = plan.streams[0].rateHz != 0 ? plan.streams[0].rateHz : plan.rateHz;
    const int64_t frameNs = 1000000000 / rateHz;
    std::vector<KvdPlannedChunk> heads = sound.chunks;
    for (const ChangedHead& h : damage.changed) {
        // The first chunk starts the recording; any other change, or a time off the sample
        // clock, leaves a trace.
        if (h.chunk == 0 || !h.movedNs || *h.movedNs % frameNs != 0
            || static_cast<int64_t>(heads[h.chunk].startNs) + *h.movedNs < 0)
            return false;
        heads[h.chunk].startNs += static_cast<uint64_t>(*h.movedNs);
        heads[h.chunk].stopNs += static_cast<uint64_t>(*h.movedNs);
    }
    for (size_t k = 1; k < heads.size(); ++k)
        if (heads[k].startNs < heads[k - 1].stopNs)
            return false;
    return true;
}
