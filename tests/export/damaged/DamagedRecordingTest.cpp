// Damaged and cut-off recordings through every converter, one recording kind per test: each
// chunk head field broken in turn, two broken heads, cut-offs and sound files with zeros behind
// them. An export keeps every frame the file holds, fills (raw, ABF) or leaves out (text) only
// the frames of chunks it could not read, names those stretches, and counts as a success only
// when it names none. A triggered export writes the sweeps before the first one a loss meets.

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/container/KvdFormat.h"
#include "export/core/CConvertInterface.h"
#include "tests/datafile/settings/SettingsBytes.h"
#include "tests/export/damaged/DamageTable.h"
#include "tests/export/damaged/LossOracle.h"
#include "tests/export/damaged/TableExport.h"
#include "tests/support/TempDir.h"

namespace {

const std::vector<ExportFormat> kAllFormats = {ExportFormat::Bin, ExportFormat::Ascii, ExportFormat::Abf};

ExportSelection EveryRawStream()
{
    return {"every raw stream",
            {{"Electrode Raw Data", "12", 0}, {"Electrode Raw Data", "13", 1}, {"Digital Data", "D1", 0}},
            kAllFormats};
}

ExportSelection ElectrodesOnly()
{
    return {"electrodes only", {{"Electrode Raw Data", "12", 0}, {"Electrode Raw Data", "13", 1}}, kAllFormats};
}

std::vector<ExportSelection> RawSelections()
{
    return {EveryRawStream(), ElectrodesOnly()};
}

// 1 s of two electrodes and a digital channel at 1 kHz in 100 ms chunks, with triggers at 50,
// 450 and 850 ms.
KvdRecordingPlan Continuous(uint16_t version, bool storedIndex)
{
    KvdRecordingPlan plan;
    plan.fileVersion = version;
    plan.storedIndex = storedIndex;
    plan.rateHz = 1000;
    plan.chunks = 10;
    plan.streams.push_back(KvdDigitalStreamPlan());
    plan.triggerMs = {50, 450, 850};
    return plan;
}

// Three sweeps of 200 ms, 300 ms apart, of the same streams, with a trigger stream.
KvdRecordingPlan Triggered(uint16_t version, bool storedIndex)
{
    KvdRecordingPlan plan = Continuous(version, storedIndex);
    plan.triggerMs.clear();
    plan.triggered = true;
    return plan;
}

// The continuous recording with a spike stream, and trigger settings so that the text
// converter writes the trigger events.
KvdRecordingPlan WithEvents()
{
    KvdRecordingPlan plan = Continuous(11, false);
    plan.spikeMs = {30, 420, 470, 980};
    plan.triggerSettings = SettingsBytes()
                               .Tag("PARAMTRG")
                               .U32(0).U32(2).U32(0).U32(1).U32(5).I32(0).I32(0).U32(0).I32(3).U32(0)
                               .Zeros(20).U8(0).U32(1).U32(1).Str32("").U32(1).U8(1)
                               .Get();
    return plan;
}

std::vector<ExportSelection> EventSelections()
{
    return {{"spikes", {{"Spikes 1", "E1", 0}}, {ExportFormat::Ascii}},
            {"triggers", {{"Trigger 1", "T1", 0}}, {ExportFormat::Ascii}},
            EveryRawStream()};
}

// One sound recording of `plan` with the oracle that judges its damaged copies.
struct Table
{
    TempDir dir;
    SoundRecording sound;
    std::unique_ptr<LossOracle> oracle;
    std::string name;
    std::vector<ExportSelection> selections;

    // False after a failure: the writer refused the plan or a sound export is not what the
    // plan holds.
    bool Prepare(const std::string& recording, const KvdRecordingPlan& plan,
                 const std::vector<ExportSelection>& exports)
    {
        name = recording;
        selections = exports;
        if (!WriteSoundRecording(plan, Sound(), sound)) {
            ADD_FAILURE() << name << ": the writer refused the plan";
            return false;
        }
        oracle = std::make_unique<LossOracle>(sound, Sound(), dir.Path());
        bool ok = true;
        ForEachExport([&](const ExportSelection& selection, ExportFormat format) {
            const std::string problem = oracle->SoundProblem(selection, format);
            if (!problem.empty()) {
                ADD_FAILURE() << name << " | sound | " << selection.name << " | " << FormatName(format) << ": "
                              << problem;
                ok = false;
            }
        });
        return ok;
    }

    std::string Sound() const { return dir.File("sound.kvd"); }
    std::string Damaged() const { return dir.File("damaged.kvd"); }

    // Writes the sound recording with `damage` done to it as Damaged().
    bool WriteDamaged(const Damage& damage) const
    {
        std::vector<uint8_t> bytes = sound.bytes;
        damage.apply(bytes);
        return WriteFileBytes(Damaged(), bytes);
    }

    void ForEachExport(const std::function<void(const ExportSelection&, ExportFormat)>& run) const
    {
        for (const ExportSelection& selection : selections)
            for (ExportFormat format : selection.formats)
                run(selection, format);
    }

    // Exports the damaged file and judges the export; `during` runs at every progress call.
    // Returns the export's result.
    int ExpectJudged(const Damage& damage, const ExportSelection& selection, ExportFormat format,
                     const std::function<void()>& during = {})
    {
        const ExportOutcome got =
            RunExport(format, selection, sound.plan.rateHz, Damaged(), dir.File("damaged.out"), 0, during);
        const std::string problem = oracle->Judge(damage, selection, format, got);
        if (!problem.empty())
            ADD_FAILURE() << name << " | " << damage.name << " | " << selection.name << " | " << FormatName(format)
                          << ": " << problem;
        return got.rc;
    }

    void ExpectJudged(const Damage& damage)
    {
        ForEachExport([&](const ExportSelection& selection, ExportFormat format) {
            (void)ExpectJudged(damage, selection, format);
        });
    }

    void ExpectEveryDamageJudged()
    {
        for (const Damage& damage : TableDamages(sound)) {
            ASSERT_TRUE(WriteDamaged(damage));
            ExpectJudged(damage);
        }
    }
};

void RunTable(const std::string& recording, const KvdRecordingPlan& plan,
              const std::vector<ExportSelection>& selections = RawSelections())
{
    Table table;
    if (table.Prepare(recording, plan, selections))
        table.ExpectEveryDamageJudged();
}

} // namespace

TEST(DamagedRecording, ContinuousVersion0)
{
    RunTable("continuous version 0", Continuous(0, false));
}

TEST(DamagedRecording, ContinuousVersion5)
{
    RunTable("continuous version 5", Continuous(5, false));
}

TEST(DamagedRecording, ContinuousVersion5StoredIndex)
{
    RunTable("continuous version 5 with stored index", Continuous(5, true));
}

TEST(DamagedRecording, ContinuousVersion11)
{
    RunTable("continuous version 11", Continuous(11, false));
}

TEST(DamagedRecording, ContinuousVersion11StoredIndex)
{
    RunTable("continuous version 11 with stored index", Continuous(11, true));
}

TEST(DamagedRecording, TriggeredVersion0)
{
    RunTable("triggered version 0", Triggered(0, false));
}

TEST(DamagedRecording, TriggeredVersion11)
{
    RunTable("triggered version 11", Triggered(11, false));
}

TEST(DamagedRecording, TriggeredVersion11StoredIndex)
{
    RunTable("triggered version 11 with stored index", Triggered(11, true));
}

// Sweeps of the electrodes alone with their trigger stream.
TEST(DamagedRecording, TriggeredOneRawStream)
{
    for (bool index : {false, true}) {
        KvdRecordingPlan plan = Triggered(11, index);
        plan.streams.pop_back();
        RunTable(index ? "triggered, one raw stream, with stored index" : "triggered, one raw stream", plan,
                 {ElectrodesOnly()});
    }
}

// A trigger chunk in every slot, empty in most: an empty event head behind a damaged size is
// no chunk of samples.
TEST(DamagedRecording, EmptyTriggerChunks)
{
    KvdRecordingPlan plan = Continuous(11, false);
    plan.triggerEverySlot = true;
    RunTable("continuous with a trigger chunk in every slot", plan);
}

// Two analog streams whose ids differ in one byte: a damaged id byte may name the other.
TEST(DamagedRecording, IdsOneByteApart)
{
    KvdRecordingPlan plan = Continuous(11, true);
    plan.triggerMs.clear();
    plan.streams[1] = KvdRawStreamPlan();
    plan.streams[1].name = "Analog Raw Data";
    plan.streams[1].id = "elec0002";
    plan.streams[1].channels = {"A1"};
    RunTable("two streams with ids one byte apart", plan,
             {{"both streams", {{"Electrode Raw Data", "12", 0}, {"Analog Raw Data", "A1", 0}}, kAllFormats}});
}

TEST(DamagedRecording, SpikesAndTriggers)
{
    RunTable("spikes and triggers", WithEvents(), EventSelections());
}

// 3 s of data cut short at 1.2 s while an export reads it (at its first progress call, after
// its first block): what the export reads behind the cut is lost and named; never a success.
TEST(DamagedRecording, AnInputCutWhileItIsReadIsNamed)
{
    Table table;
    KvdRecordingPlan plan = Continuous(11, false);
    plan.chunks = 30;
    plan.triggerMs.clear();
    ASSERT_TRUE(table.Prepare("continuous version 11, 3 s", plan, RawSelections()));
    const size_t cut = 24;   // the first chunk of the slot at 1.2 s
    ASSERT_EQ(table.sound.chunks[cut].startNs, 1200000000u);
    Damage damage;
    damage.name = "cut before " + ChunkName(table.sound, cut) + " while it is read";
    for (LostChunk lost : LostFrom(table.sound, cut))
        damage.lost.push_back({lost.chunk, false});
    table.ForEachExport([&](const ExportSelection& selection, ExportFormat format) {
        ASSERT_TRUE(WriteFileBytes(table.Damaged(), table.sound.bytes));
        bool whole = true;
        const int rc = table.ExpectJudged(damage, selection, format, [&] {
            if (whole) {
                EXPECT_EQ(truncate(table.Damaged().c_str(), static_cast<off_t>(table.sound.layout.chunkAt[cut])), 0);
            }
            whole = false;
        });
        EXPECT_EQ(rc, kConvertReported) << selection.name << " " << FormatName(format);
    });
}

// Version 0 stores no stop time, and without a stored index nothing else tells where the
// recording ended. A copy cut inside a chunk head keeps too few of its bytes to hold any time,
// so no stretch can be named as lost; every format says once, at its end, where the file
// ends, and none counts as a success.
TEST(DamagedRecording, Version0CutInsideAHeadSaysWhereTheFileEnds)
{
    Table table;
    KvdRecordingPlan plan = Continuous(0, false);
    plan.triggerMs.clear();
    ASSERT_TRUE(table.Prepare("continuous version 0", plan, RawSelections()));
    const size_t cut = 12;   // the first chunk of the slot at 0.6 s
    ASSERT_EQ(table.sound.chunks[cut].startNs, 600000000u);
    Damage damage;
    damage.name = "cut inside the head of " + ChunkName(table.sound, cut);
    damage.openEnd = true;
    damage.lost = LostFrom(table.sound, cut);
    for (size_t k = 1; k < damage.lost.size(); ++k)
        damage.lost[k].must = false;
    const std::vector<uint8_t> bytes(table.sound.bytes.begin(),
                                     table.sound.bytes.begin() + table.sound.layout.chunkAt[cut] + 12);
    ASSERT_TRUE(WriteFileBytes(table.Damaged(), bytes));
    table.ForEachExport([&](const ExportSelection& selection, ExportFormat format) {
        SCOPED_TRACE(selection.name + " " + FormatName(format));
        const ExportOutcome got =
            RunExport(format, selection, plan.rateHz, table.Damaged(), table.dir.File("damaged.out"));
        EXPECT_EQ(got.rc, kConvertReported);
        EXPECT_EQ(got.messages, std::vector<std::string> {
                                    "The file ends inside a chunk at 0.600 s: it was cut short; the rest is missing."});
        EXPECT_EQ(table.oracle->Judge(damage, selection, format, got), "");
    });
}

// Every header version, continuous and triggered: the header's stop time and the stored sweep
// stops set to 0, 1, the largest value or with a high bit flipped change nothing of what is
// exported, and nothing is reported.
TEST(DamagedRecording, DamagedStopTimesOutsideTheChunksChangeNothing)
{
    const std::pair<const char*, std::function<uint64_t(uint64_t)>> values[] = {
        {"0", [](uint64_t) { return uint64_t(0); }},
        {"1", [](uint64_t) { return uint64_t(1); }},
        {"largest", [](uint64_t) { return UINT64_MAX; }},
        {"bit 40 flipped", [](uint64_t v) { return v ^ (uint64_t(1) << 40); }},
        {"bit 63 flipped", [](uint64_t v) { return v ^ (uint64_t(1) << 63); }},
    };
    for (uint16_t version = 0; version <= Kvd::FileHeader::kHighestVersion; ++version) {
        for (bool triggered : {false, true}) {
            Table table;
            const bool index = version >= 3;
            const KvdRecordingPlan plan = triggered ? Triggered(version, index) : Continuous(version, index);
            const std::string name = "version " + std::to_string(version) + (triggered ? " triggered" : " continuous");
            if (!table.Prepare(name, plan, {EveryRawStream()}))
                continue;
            std::vector<std::pair<std::string, size_t>> fields;
            // Version 0 stores no stop time in its header.
            if (version >= 1)
                fields.emplace_back("header stop", table.sound.layout.fileHeaderAt + Kvd::FileHeader::kStopTime);
            if (plan.storedIndex)
                for (int sweep = 0; sweep < (triggered ? plan.sweeps : 1); ++sweep)
                    fields.emplace_back("stored stop of sweep " + std::to_string(sweep + 1),
                                        StoredSweepStopAt(table.sound, static_cast<size_t>(sweep)));
            for (const auto& [field, at] : fields) {
                for (const auto& [what, value] : values) {
                    std::vector<uint8_t> bytes = table.sound.bytes;
                    PatchLE<uint64_t>(bytes, at, value(LoadLE<uint64_t>(&bytes[at])));
                    ASSERT_TRUE(WriteFileBytes(table.Damaged(), bytes));
                    Damage damage;
                    damage.name = field + " " + what;
                    table.ExpectJudged(damage);
                }
            }
        }
    }
}

namespace {

// 1 s of the electrodes alone at 1 kHz in 100 ms chunks, without the slots in `pauses`.
KvdRecordingPlan LoneStream(uint16_t version, bool storedIndex, std::vector<int> pauses)
{
    KvdRecordingPlan plan = Continuous(version, storedIndex);
    plan.streams.resize(1);
    plan.triggerMs.clear();
    plan.dropChunks = std::move(pauses);
    return plan;
}

// A head change of the chunk of `stream` that starts `ms` into the recording.
struct HeadChangeAt
{
    const char* stream;
    int ms;
    const char* change;
};

// The stop of chunk `chunk` a nanosecond late: within a frame of its neighbour's start, as a
// recorder's rounding may leave it; the chunk may read as lost.
Damage StopOneNsLate(const SoundRecording& sound, size_t chunk)
{
    const size_t at = sound.layout.chunkAt[chunk] + Kvd::DataChunk::kStop;
    Damage d;
    d.name = ChunkName(sound, chunk) + ": stop 1 ns late";
    d.apply = [at](std::vector<uint8_t>& bytes) { PatchLE<uint64_t>(bytes, at, LoadLE<uint64_t>(&bytes[at]) + 1); };
    d.lost = {{chunk, false}};
    return d;
}

// Both times of chunk `chunk` a chunk earlier: its head tells another slot than it holds; the
// chunk may read as lost.
Damage BothTimesOneChunkEarlier(const SoundRecording& sound, size_t chunk)
{
    const size_t at = sound.layout.chunkAt[chunk];
    const uint64_t span = sound.chunks[chunk].stopNs - sound.chunks[chunk].startNs;
    Damage d;
    d.name = ChunkName(sound, chunk) + ": both times one chunk earlier";
    d.apply = [at, span](std::vector<uint8_t>& bytes) {
        for (size_t field : {at + Kvd::DataChunk::kStart, at + Kvd::DataChunk::kStop})
            PatchLE<uint64_t>(bytes, field, LoadLE<uint64_t>(&bytes[field]) - span);
    };
    d.lost = {{chunk, false}};
    return d;
}

// A version-0 copy without index cut 100 bytes into the payload of chunk `chunk`: that chunk is
// lost, and whatever came behind it may be; where the recording ended no longer shows.
Damage CutInsideVersion0(const SoundRecording& sound, size_t chunk)
{
    const size_t cut = sound.layout.chunkAt[chunk] + Kvd::DataChunk::kHeaderBytes + 100;
    Damage d;
    d.name = "cut inside " + ChunkName(sound, chunk);
    d.apply = [cut](std::vector<uint8_t>& bytes) { bytes.resize(cut); };
    d.openEnd = true;
    d.unnamedHead = true;
    d.lost = LostFrom(sound, chunk);
    for (size_t k = 1; k < d.lost.size(); ++k)
        d.lost[k].must = false;
    d.untold = UntoldBehind(sound, chunk);
    return d;
}

// The chunk (file order) of `stream` that starts `ms` into the recording; none: the count.
size_t ChunkAt(const SoundRecording& sound, const std::string& stream, int ms)
{
    for (size_t k = 0; k < sound.chunks.size(); ++k)
        if (sound.chunks[k].stream == stream && sound.chunks[k].startNs == static_cast<uint64_t>(ms) * 1000000)
            return k;
    return sound.chunks.size();
}

// The head changes `heads` made together; without a way to apply where a chunk they name is
// missing from the recording.
Damage HeadsChanged(const SoundRecording& sound, const std::vector<HeadChangeAt>& heads)
{
    Damage damage;
    for (const HeadChangeAt& head : heads) {
        const size_t chunk = ChunkAt(sound, head.stream, head.ms);
        if (chunk >= sound.chunks.size())
            return {};
        const Damage one = std::string(head.change) == "stop 1 ns late" ? StopOneNsLate(sound, chunk)
                                                                       : HeadDamage(sound, chunk, head.change);
        damage = damage.apply ? Both(damage, one) : one;
    }
    return damage;
}

// Chunk `chunk` given the id of chunk `from`'s stream; it may read as lost.
Damage IdOfChunk(const SoundRecording& sound, size_t chunk, size_t from, const std::string& what)
{
    const size_t source = sound.layout.chunkAt[from] + Kvd::DataChunk::kId;
    const size_t target = sound.layout.chunkAt[chunk] + Kvd::DataChunk::kId;
    Damage d;
    d.name = ChunkName(sound, chunk) + ": " + what;
    d.apply = [source, target](std::vector<uint8_t>& bytes) {
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(source), 8,
                    bytes.begin() + static_cast<std::ptrdiff_t>(target));
    };
    d.lost = {{chunk, false}};
    return d;
}

// A row of a table of damaged recordings: the plan and the heads to change.
struct HeadsRow
{
    const char* recording;
    KvdRecordingPlan plan;
    std::vector<HeadChangeAt> heads;
};

// The electrodes' exports of `plan` with the head changes `heads` judged from the plan.
void ExpectElectrodesJudged(const char* recording, const KvdRecordingPlan& plan,
                            const std::vector<HeadChangeAt>& heads)
{
    Table table;
    if (!table.Prepare(recording, plan, {ElectrodesOnly()}))
        return;
    const Damage damage = HeadsChanged(table.sound, heads);
    ASSERT_TRUE(damage.apply) << recording << ": a head to change is missing";
    ASSERT_TRUE(table.WriteDamaged(damage));
    table.ExpectJudged(damage);
}

} // namespace

// Continuous recordings with two or three damaged heads close together, or one next to a pause:
// the export names the time of the chunks lost and keeps every other chunk.
TEST(DamagedRecording, NeighbouringDamagedHeadsInContinuousRecordings)
{
    const char* electrodes = "Electrode Raw Data";
    const HeadsRow rows[] = {
        {"a pause before a chunk whose start is 1", LoneStream(5, false, {4}), {{electrodes, 500, "start 1"}}},
        {"a pause behind the first chunk, whose stop is a chunk later", LoneStream(5, false, {1}),
         {{electrodes, 0, "stop one chunk later"}}},
        {"the first chunk's stop a chunk later, the second's head zeroed", LoneStream(5, true, {}),
         {{electrodes, 0, "stop one chunk later"}, {electrodes, 100, "head zeroed"}}},
        {"no stop time, the last chunk's head zeroed but for a stop of 1", LoneStream(0, false, {}),
         {{electrodes, 900, "head zeroed"}, {electrodes, 900, "stop 1"}}},
        {"no stop time, the last chunk's times swapped", LoneStream(0, false, {}),
         {{electrodes, 900, "start and stop swapped"}}},
        {"the last chunk but one with a stop 1 ns late", LoneStream(5, false, {}), {{electrodes, 800, "stop 1 ns late"}}},
    };
    for (const auto& row : rows)
        ExpectElectrodesJudged(row.recording, row.plan, row.heads);
}

// Version-0 recordings whose damage lies at their very start: a copy cut inside its first chunk
// (a lone stream, or the first of two), and a stream's first chunk moved a chunk before the
// header's start beside another stream that begins there. Each names the time lost.
TEST(DamagedRecording, Version0DamageAtTheStartIsNamed)
{
    const char* electrodes = "Electrode Raw Data";
    const struct
    {
        const char* recording;
        KvdRecordingPlan plan;
        bool moved;   // the first electrode chunk's times a chunk earlier; else cut inside it
    } rows[] = {
        {"a lone stream cut inside its first chunk", LoneStream(0, false, {}), false},
        {"two streams cut inside the first chunk", Continuous(0, false), false},
        {"the first electrode chunk's times a chunk earlier", Continuous(0, false), true},
    };
    for (const auto& row : rows) {
        Table table;
        if (!table.Prepare(row.recording, row.plan, {ElectrodesOnly()}))
            continue;
        const size_t first = ChunkAt(table.sound, electrodes, 0);
        ASSERT_LT(first, table.sound.chunks.size()) << row.recording;
        Damage damage;
        if (row.moved) {
            damage = BothTimesOneChunkEarlier(table.sound, first);
        } else {
            damage = CutInsideVersion0(table.sound, first);
        }
        ASSERT_TRUE(table.WriteDamaged(damage));
        table.ExpectJudged(damage);
    }
}

// A version-0 copy cut inside a chunk of samples keeps the head of the chunk cut in two, which
// tells where that chunk ended but not the recording: the events of the time behind it are
// gone, and their export says where the file ends instead of passing for whole.
TEST(DamagedRecording, Version0CutInsideAChunkSaysWhereTheEventsEnd)
{
    Table table;
    KvdRecordingPlan plan = Continuous(0, false);
    plan.triggerSettings = WithEvents().triggerSettings;
    const std::vector<ExportSelection> selections = {
        {"triggers", {{"Trigger 1", "T1", 0}}, {ExportFormat::Ascii}}, EveryRawStream()};
    if (!table.Prepare("continuous version 0 with triggers", plan, selections))
        return;
    const size_t cut = ChunkAt(table.sound, "Electrode Raw Data", 300);
    ASSERT_LT(cut, table.sound.chunks.size());
    const Damage damage = CutInsideVersion0(table.sound, cut);
    ASSERT_TRUE(table.WriteDamaged(damage));
    table.ExpectJudged(damage);
}

// A version-0 recording whose analog stream has the digital stream's frame size: an analog
// chunk given the digital stream's id is a twin of the digital chunk of its time, and its
// bytes are the analog stream's loss, named, not the digital stream's.
TEST(DamagedRecording, AChunkWithTheIdOfAStreamOfItsFrameSizeIsNamedLost)
{
    KvdRecordingPlan plan = Continuous(0, false);
    KvdRawStreamPlan analog;
    analog.name = "Analog Raw Data";
    analog.id = "elec0002";
    analog.channels = {"A1"};
    plan.streams.push_back(analog);
    const ExportSelection selection = {
        "analog and digital", {{"Analog Raw Data", "A1", 0}, {"Digital Data", "D1", 0}}, kAllFormats};
    Table table;
    if (!table.Prepare("continuous version 0 with analog", plan, {selection}))
        return;
    for (int ms : {0, 400}) {
        const size_t chunk = ChunkAt(table.sound, "Analog Raw Data", ms);
        const size_t digital = ChunkAt(table.sound, "Digital Data", ms);
        ASSERT_LT(std::max(chunk, digital), table.sound.chunks.size());
        Damage damage = IdOfChunk(table.sound, chunk, digital, "the digital stream's id");
        damage.lost.push_back({digital, false});
        if (chunk + 1 < table.sound.chunks.size())
            damage.lost.push_back({chunk + 1, false});
        ASSERT_TRUE(table.WriteDamaged(damage));
        table.ExpectJudged(damage);
    }
}

// A continuous recording of two streams of one frame size whose electrode chunk moved far off
// while the digital chunk of its period took the trigger stream's id: both streams lack the
// time of those bytes, so the digital export names it lost instead of filling it in silence.
TEST(DamagedRecording, SamplesUnderTheTriggersIdBesideAMovedChunkAreNamedLost)
{
    KvdRecordingPlan plan = Continuous(5, false);
    plan.rateHz = 2000;
    plan.chunkMs = 200;
    plan.chunks = 7;
    KvdRawStreamPlan electrodes;
    electrodes.channels = {"12"};   // frames of the digital stream's size
    plan.streams.insert(plan.streams.begin(), electrodes);
    const ExportSelection digital = {"digital", {{"Digital Data", "D1", 0}}, kAllFormats};
    Table table;
    if (!table.Prepare("continuous version 5, electrodes and digital", plan, {digital}))
        return;
    const size_t electrode = ChunkAt(table.sound, "Electrode Raw Data", 600);
    const size_t samples = ChunkAt(table.sound, "Digital Data", 600);
    const size_t trigger = ChunkAt(table.sound, "Trigger 1", 450);
    ASSERT_LT(std::max({electrode, samples, trigger}), table.sound.chunks.size());
    const Damage damage = Both(HeadDamage(table.sound, electrode, "both times 10 s later"),
                               IdOfChunk(table.sound, samples, trigger, "the trigger stream's id"));
    ASSERT_TRUE(table.WriteDamaged(damage));
    table.ExpectJudged(damage);
}

namespace {

// Three sweeps of one 100 ms chunk each, 300 ms apart.
KvdRecordingPlan OneChunkSweeps(uint16_t version)
{
    KvdRecordingPlan plan = Triggered(version, false);
    plan.sweepMs = 100;
    return plan;
}

// Time field `field` of chunk `chunk` moved by `ns` nanoseconds: within a frame of its value.
Damage TimeNsOff(const SoundRecording& sound, size_t chunk, size_t field, int64_t ns, const std::string& what)
{
    const size_t at = sound.layout.chunkAt[chunk] + field;
    Damage d;
    d.name = ChunkName(sound, chunk) + ": " + what;
    d.apply = [at, ns](std::vector<uint8_t>& bytes) {
        PatchLE<uint64_t>(bytes, at, LoadLE<uint64_t>(&bytes[at]) + static_cast<uint64_t>(ns));
    };
    d.lost = {{chunk, false}};
    return d;
}

// The electrodes' export of `input` merged alone into `merged`; `result` the merge's result.
ExportOutcome MergedExport(const Table& table, const std::string& input, const std::string& merged,
                           int& result)
{
    CKVTAStreamFile in;
    CKVTAStreamFile out;
    CKVTAStreamFile* files[] = {&in};
    result = in.Open(input) == 0 ? out.MergeFiles(files, 1, merged, nullptr) : -1;
    return RunExport(ExportFormat::Bin, ElectrodesOnly(), table.sound.plan.rateHz, merged,
                     table.dir.File("merged.out"));
}

} // namespace

// The last chunk of a recording or of a sweep with its stop a nanosecond early, or its start a
// nanosecond late: its frames are all read, no row goes missing, and a merge keeps them so.
TEST(DamagedRecording, ATimeANanosecondOffKeepsTheLastRow)
{
    const char* electrodes = "Electrode Raw Data";
    const struct
    {
        const char* recording;
        KvdRecordingPlan plan;
        int ms;
        bool stop;   // the stop a nanosecond early; else the start a nanosecond late
    } rows[] = {
        {"a lone stream's last stop", LoneStream(0, false, {}), 900, true},
        {"the last electrode stop beside a digital stream", Continuous(0, false), 900, true},
        {"the stop ending the first sweep", Triggered(11, false), 100, true},
        {"a lone stream's last start", LoneStream(0, false, {}), 900, false},
        {"the start of the first chunk of the second sweep", Triggered(5, true), 500, false},
        {"the start of a sweep of one chunk", OneChunkSweeps(0), 0, false},
    };
    for (const auto& row : rows) {
        Table table;
        if (!table.Prepare(row.recording, row.plan, {ElectrodesOnly()}))
            continue;
        const size_t chunk = ChunkAt(table.sound, electrodes, row.ms);
        ASSERT_LT(chunk, table.sound.chunks.size()) << row.recording;
        const Damage damage =
            row.stop ? TimeNsOff(table.sound, chunk, Kvd::DataChunk::kStop, -1, "stop 1 ns early")
                     : TimeNsOff(table.sound, chunk, Kvd::DataChunk::kStart, 1, "start 1 ns late");
        ASSERT_TRUE(table.WriteDamaged(damage));
        table.ExpectJudged(damage);
        // A merge that succeeds holds what a merge of the sound recording does.
        int soundResult = 0;
        int damagedResult = 0;
        const ExportOutcome sound =
            MergedExport(table, table.Sound(), table.dir.File("sound.merged.kvd"), soundResult);
        const ExportOutcome got =
            MergedExport(table, table.Damaged(), table.dir.File("damaged.merged.kvd"), damagedResult);
        ASSERT_EQ(soundResult, 0) << row.recording;
        if (damagedResult == 0)
            EXPECT_EQ(got.bytes, sound.bytes) << row.recording << ": the merge returned 0";
        else
            EXPECT_EQ(damagedResult, 2) << row.recording;
    }
}

// An old file's first chunk may begin before the header's start and then moves it; one whose
// start alone is a nanosecond early, its stop on the frames of the header's start, moves nothing.
TEST(DamagedRecording, AnOldFilesFirstStartANanosecondEarlyKeepsTheHeadersStart)
{
    KvdRecordingPlan everySlot = LoneStream(0, false, {});
    everySlot.triggerEverySlot = true;
    const struct
    {
        const char* recording;
        KvdRecordingPlan plan;
    } rows[] = {
        {"a lone stream", LoneStream(0, false, {})},
        {"electrodes beside a digital stream and triggers", Continuous(0, false)},
        {"a lone stream with a trigger chunk in every slot", everySlot},
    };
    for (const auto& row : rows) {
        Table table;
        if (!table.Prepare(row.recording, row.plan, {ElectrodesOnly()}))
            continue;
        const size_t chunk = ChunkAt(table.sound, "Electrode Raw Data", 0);
        ASSERT_LT(chunk, table.sound.chunks.size()) << row.recording;
        const Damage damage = TimeNsOff(table.sound, chunk, Kvd::DataChunk::kStart, -1, "start 1 ns early");
        ASSERT_TRUE(table.WriteDamaged(damage));
        table.ExpectJudged(damage);
    }
}

namespace {

// Sweeps of a version-0 recording, which tells them from a continuous one by its pauses alone:
// `sweeps` of `sweepMs`, of the electrodes alone or with the digital stream.
KvdRecordingPlan Version0Sweeps(int sweeps, int sweepMs, bool digital)
{
    KvdRecordingPlan plan = Triggered(0, false);
    if (!digital)
        plan.streams.resize(1);
    plan.sweeps = sweeps;
    plan.sweepMs = sweepMs;
    plan.sweepLengthMs = sweepMs;
    return plan;
}

// The file cut inside the head of chunk `chunk`: that chunk is lost, and with no end to go by,
// those behind it may be.
Damage CutInsideHead(const SoundRecording& sound, size_t chunk)
{
    const size_t at = sound.layout.chunkAt[chunk] + 12;
    Damage d;
    d.name = "cut inside the head of " + ChunkName(sound, chunk);
    d.apply = [at](std::vector<uint8_t>& bytes) { bytes.resize(std::min(bytes.size(), at)); };
    d.lost = LostFrom(sound, chunk);
    d.openEnd = true;
    for (size_t k = 1; k < d.lost.size(); ++k)
        d.lost[k].must = false;
    return d;
}

// Every export of the damaged file gives the sound file's bytes with status 0.
void ExpectExportsAsSound(Table& table, const std::string& recording)
{
    table.ForEachExport([&](const ExportSelection& selection, ExportFormat format) {
        const ExportOutcome got = RunExport(format, selection, table.sound.plan.rateHz, table.Damaged(),
                                            table.dir.File("damaged.out"), 0, {});
        const ExportOutcome sound = RunExport(format, selection, table.sound.plan.rateHz, table.Sound(),
                                              table.dir.File("sound.out"), 0, {});
        EXPECT_EQ(got.rc, 0) << recording << " | " << FormatName(format);
        EXPECT_TRUE(got.bytes == sound.bytes) << recording << " | " << FormatName(format);
    });
}

} // namespace

// Version-0 sweeps where the damage hides the pause the first stream shows, or the chunk that
// measures the first sweep: still read as sweeps of the recording's length, each whole or
// refused. A continuous one cut behind the chunk of an event in the next slot stays continuous.
TEST(DamagedRecording, Version0SweepsWhoseFirstStreamHidesThePause)
{
    const char* electrodes = "Electrode Raw Data";
    const struct
    {
        const char* recording;
        KvdRecordingPlan plan;
        const char* stream;  // the chunk damaged: its stream and start
        int ms;
        const char* change;  // a head change, or "cut" inside its head
        const char* next = nullptr;  // a head change of the chunk behind it, if any
    } rows[] = {
        {"the first chunk's stop far off", Version0Sweeps(3, 200, false), electrodes, 0, "stop UINT64 max"},
        {"the first sweep's only electrode chunk with a stop far off, two sweeps",
         Version0Sweeps(2, 100, true), electrodes, 0, "stop UINT64 max"},
        {"the first sweep's middle chunk with its head zeroed", Version0Sweeps(3, 300, true), electrodes, 100, "head zeroed"},
        {"the second sweep's trigger one record longer", Version0Sweeps(3, 200, true), "Trigger 1", 500,
         "size one record more"},
        {"the last sweep's trigger with a start far off, its chunk one record longer", Version0Sweeps(3, 100, false),
         "Trigger 1", 800, "start UINT64 max", "size one record more"},
        {"cut inside the head of the second sweep's only chunk", Version0Sweeps(2, 100, false), electrodes, 400, "cut"},
        {"cut inside the head of the second sweep's second chunk", Version0Sweeps(2, 200, true), electrodes, 600,
         "cut"},
        {"continuous, cut inside the head of the slot of a trigger", Continuous(0, false), electrodes, 400, "cut"},
        {"the last sweep's only chunk with a start far off", Version0Sweeps(2, 100, false), electrodes, 400,
         "start UINT64 max"},
        {"the last sweep's only chunk with its start and stop swapped", Version0Sweeps(2, 100, false), electrodes,
         400, "start and stop swapped"},
        {"the trigger of the last sweep of one chunk with random bytes for its head", Version0Sweeps(2, 100, false),
         "Trigger 1", 400, "head of random bytes"},
        {"the trigger of the middle sweep of one chunk with its head 0xFF", Version0Sweeps(3, 100, false),
         "Trigger 1", 400, "head 0xFF"},
    };
    for (const auto& row : rows) {
        Table table;
        if (!table.Prepare(row.recording, row.plan, {row.plan.streams.size() > 1 ? EveryRawStream() : ElectrodesOnly()}))
            continue;
        const size_t chunk = ChunkAt(table.sound, row.stream, row.ms);
        ASSERT_LT(chunk, table.sound.chunks.size()) << row.recording;
        Damage damage = std::string(row.change) == "cut" ? CutInsideHead(table.sound, chunk)
                                                         : HeadDamage(table.sound, chunk, row.change);
        if (row.next)
            damage = Both(damage, HeadDamage(table.sound, chunk + 1, row.next));
        ASSERT_TRUE(table.WriteDamaged(damage));
        table.ExpectJudged(damage);
        // Its sweeps last as long as the recording's, as every export writes them.
        CKVTAStreamFile file;
        ASSERT_EQ(file.Open(table.Damaged()), 0) << row.recording;
        EXPECT_EQ(file.GetSweepLength(), row.plan.triggered ? row.plan.sweepMs : -1) << row.recording;
    }
}

// Version-0 sweeps with a chunk a nanosecond off. One that begins a sweep and starts a
// nanosecond before its frames: the trigger or the other streams of its sweep start it where its
// frames do, and the first sweep's chunk, judged as one of a continuous recording before the gaps
// told sweeps, does not move the recording's start either. One moved a nanosecond later as a
// whole leaves a gap shorter than a frame, which ends no sweep. Of two sweeps of one chunk, the
// one whose start is far off its frames is held to them once the gaps told sweeps: the other
// chunk shows that the stream keeps to its frames. The last sweep's trigger stopping a
// nanosecond behind its samples tells no cut. Every export is the sound one's.
TEST(DamagedRecording, Version0SweepsWithAChunkANanosecondOff)
{
    const std::string early = "start 1 ns early";
    const std::string later = "both times 1 ns later";
    const struct
    {
        const char* recording;
        KvdRecordingPlan plan;
        int ms;               // the chunk's start
        std::string change;   // a nanosecond off as named, else a head change
        const char* stream = "Electrode Raw Data";
    } rows[] = {
        {"the first sweep's electrodes beside digital data", Version0Sweeps(3, 100, true), 0, early},
        {"a lone stream's first chunk of a sweep of two", Version0Sweeps(2, 200, false), 0, early},
        {"a lone stream's first chunk of the second sweep", Version0Sweeps(2, 200, false), 500, early},
        {"the first sweep's second chunk, a lone stream", Version0Sweeps(2, 200, false), 100, later},
        {"the first sweep's second electrode chunk beside digital data", Version0Sweeps(2, 300, true), 200,
         later},
        {"a lone stream's first of two sweeps of one chunk", Version0Sweeps(2, 100, false), 0, "start 0"},
        {"the electrodes' first of two sweeps of one chunk beside digital data", Version0Sweeps(2, 100, true),
         0, "start 0"},
        {"the last sweep's trigger, stopping a nanosecond behind its samples", Version0Sweeps(2, 300, true), 600,
         "stop 1 ns late", "Trigger 1"},
    };
    for (const auto& row : rows) {
        Table table;
        if (!table.Prepare(row.recording, row.plan, {row.plan.streams.size() > 1 ? EveryRawStream() : ElectrodesOnly()}))
            continue;
        const size_t chunk = ChunkAt(table.sound, row.stream, row.ms);
        ASSERT_LT(chunk, table.sound.chunks.size()) << row.recording;
        const auto off = [&](size_t field, int64_t ns, const char* what) {
            return TimeNsOff(table.sound, chunk, field, ns, what);
        };
        const Damage damage =
            row.change == later ? Both(off(Kvd::DataChunk::kStart, 1, "start 1 ns late"),
                                       off(Kvd::DataChunk::kStop, 1, "stop 1 ns late"))
            : row.change == early ? off(Kvd::DataChunk::kStart, -1, "start 1 ns early")
            : row.change == "stop 1 ns late" ? off(Kvd::DataChunk::kStop, 1, "stop 1 ns late")
                                             : HeadDamage(table.sound, chunk, row.change);
        ASSERT_TRUE(table.WriteDamaged(damage));
        ExpectExportsAsSound(table, row.recording);
    }
}

// A continuous recording of a program that told sweeps by their gaps, cut inside the head of a
// slot whose trigger chunk (at the event, inside the slot) lies before it: the trigger shows no
// pause, and the copy reads as continuous.
TEST(DamagedRecording, OldContinuousRecordingCutBehindATriggerStaysContinuous)
{
    Table table;
    ASSERT_TRUE(table.Prepare("continuous version 0", Continuous(0, false), {EveryRawStream()}));
    const size_t slot = ChunkAt(table.sound, "Electrode Raw Data", 400);
    ASSERT_EQ(table.sound.chunks[slot - 1].stream, "Trigger 1");   // the trigger at 450 ms
    std::vector<uint8_t> bytes = table.sound.bytes;
    PatchLE<int32_t>(bytes, table.sound.layout.fileHeaderAt + Kvd::FileHeader::kProgramVersion1, (1 << 16) | 33);
    CutInsideHead(table.sound, slot).apply(bytes);
    ASSERT_TRUE(WriteFileBytes(table.Damaged(), bytes));
    CKVTAStreamFile file;
    ASSERT_EQ(file.Open(table.Damaged()), 0);
    EXPECT_EQ(file.GetSweepLength(), -1);
}

// Sweeps of a lone stream where a later sweep's trigger and first chunk are lost with nothing
// telling their time: the sweep before is whole, so the time lost begins the sweep behind, which
// alone is refused; the sweeps before it are exported whole.
TEST(DamagedRecording, TimeLostBehindAWholeSweepBeginsTheNext)
{
    const char* electrodes = "Electrode Raw Data";
    const char* trigger = "Trigger 1";
    const auto lone = [](uint16_t version, int gapMs) {
        KvdRecordingPlan plan = Triggered(version, false);
        plan.streams.resize(1);
        plan.gapMs = gapMs;
        return plan;
    };
    // Sweeps of 100 ms in chunks of 50 ms.
    const auto shortChunks = [](KvdRecordingPlan plan) {
        plan.rateHz = 5000;
        plan.chunkMs = 50;
        plan.sweeps = 4;
        plan.sweepMs = plan.sweepLengthMs = 100;
        return plan;
    };
    const HeadsRow rows[] = {
        {"version 5, the second sweep's trigger and first chunk far off", lone(5, 60000),
         {{trigger, 60200, "start largest"}, {electrodes, 60200, "both times a day later"}}},
        {"version 11, the second sweep's trigger and first chunk far off", lone(11, 3000),
         {{trigger, 3200, "start largest"}, {electrodes, 3200, "both times a day later"}}},
        {"version 5, sweeps of two chunks, the second sweep's trigger and both chunks damaged",
         shortChunks(lone(5, 700)),
         {{trigger, 800, "stop 0"}, {electrodes, 800, "stop 1"}, {electrodes, 850, "stop 0"}}},
    };
    for (const auto& row : rows)
        ExpectElectrodesJudged(row.recording, row.plan, row.heads);
}

// Version-0 sweeps where heads between a later sweep's trigger and its chunk moved off (the
// trigger's head damaged too, or not): judged as a continuous recording first, the trigger still
// tells that chunk's period (by its start, or by its stop, which ends the sweep; an id a byte off
// still names it), so the file reads as sweeps of the first sweep's length; the time lost begins
// the later sweep, since the first one's trigger shows it whole. That sweep alone is refused; a
// selection that lost nothing is exported whole.
TEST(DamagedRecording, Version0SweepTriggerPastHeadsThatMovedOffTellsItsSweep)
{
    const char* electrodes = "Electrode Raw Data";
    const char* trigger = "Trigger 1";
    const ExportSelection digitalOnly {"digital only", {{"Digital Data", "D1", 0}}, kAllFormats};
    const struct
    {
        const char* recording;
        KvdRecordingPlan plan;
        std::vector<HeadChangeAt> heads;
        bool triggerOneNsEarly = false;  // the second sweep's trigger starts a nanosecond early
    } rows[] = {
        {"sweeps of one chunk, the second's trigger stop 1 and its electrodes 10 s later",
         Version0Sweeps(2, 100, true),
         {{trigger, 400, "stop 1"}, {electrodes, 400, "both times 10 s later"}}},
        {"sweeps of one chunk, the second's trigger a nanosecond early and its electrodes 10 s later",
         Version0Sweeps(2, 100, true), {{electrodes, 400, "both times 10 s later"}}, true},
        {"a lone stream's sweeps of two chunks, the second's trigger start 1 and first chunk 10 s later",
         Version0Sweeps(2, 200, false),
         {{trigger, 500, "start 1"}, {electrodes, 500, "both times 10 s later"}}},
        {"a lone stream's sweeps of two chunks, the first's second start far off, the second's first "
         "stop one chunk earlier",
         Version0Sweeps(2, 200, false),
         {{electrodes, 100, "start UINT64 max"}, {electrodes, 500, "stop one chunk earlier"}}},
        {"a lone stream's sweeps of three chunks, the second's trigger id a byte off, its first chunk "
         "10 s later and its second's start far off",
         Version0Sweeps(2, 300, false),
         {{trigger, 600, "id byte changed"}, {electrodes, 600, "both times 10 s later"},
          {electrodes, 700, "start UINT64 max"}}},
    };
    for (const auto& row : rows) {
        Table table;
        const bool digital = row.plan.streams.size() > 1;
        if (!table.Prepare(row.recording, row.plan,
                           digital ? std::vector<ExportSelection> {EveryRawStream(), digitalOnly}
                                   : std::vector<ExportSelection> {ElectrodesOnly()}))
            continue;
        Damage damage = HeadsChanged(table.sound, row.heads);
        ASSERT_TRUE(damage.apply) << row.recording;
        const size_t second = ChunkAt(table.sound, trigger, 400);
        if (row.triggerOneNsEarly)
            damage = Both(TimeNsOff(table.sound, second, Kvd::DataChunk::kStart, -1, "start 1 ns early"),
                          damage);
        ASSERT_TRUE(table.WriteDamaged(damage));
        table.ExpectJudged(damage);
    }
}

// Version-0 sweeps where every head of the last sweep is damaged, so that no chunk the account
// trusts shows the pause: the heads it could not trust all claim a time well past the first
// sweep, so the file still reads as sweeps: the first is exported whole, the second refused.
TEST(DamagedRecording, Version0SweepOfDamagedHeadsStillTellsThePause)
{
    const char* electrodes = "Electrode Raw Data";
    const char* trigger = "Trigger 1";
    const auto apart = [](KvdRecordingPlan plan, int chunkMs, int gapMs) {
        plan.chunkMs = chunkMs;
        plan.gapMs = gapMs;
        return plan;
    };
    const HeadsRow rows[] = {
        {"sweeps of two chunks, the second's trigger a record short, its first chunk's start far off",
         apart(Version0Sweeps(2, 100, false), 50, 700),
         {{trigger, 800, "size one record less"}, {electrodes, 800, "start UINT64 max"}}},
        {"sweeps of two chunks, the first's last size 1, the second's trigger a record long, its last "
         "chunk a chunk earlier",
         apart(Version0Sweeps(2, 100, false), 50, 700),
         {{electrodes, 50, "size 1"}, {trigger, 800, "size one record more"},
          {electrodes, 850, "start one chunk earlier"}, {electrodes, 850, "stop one chunk earlier"}}},
    };
    for (const auto& row : rows)
        ExpectElectrodesJudged(row.recording, row.plan, row.heads);
}

// Version-0 sweeps where every head of one sweep is damaged, so that the first stream shows no
// pause: the triggers, each spanning its sweep, still measure the sweeps. Where the last sweep's
// heads are damaged, the time they lost lies right behind the first sweep, whose trigger shows
// it whole all the same: the lost time is a later sweep's, which alone is refused. Where the
// first sweep's are, a trigger as long as the run of chunks behind them measures it, and the
// first sweep is refused.
TEST(DamagedRecording, Version0SweepsMeasuredByTheirTriggersWhereASweepsHeadsAreDamaged)
{
    const char* electrodes = "Electrode Raw Data";
    const char* trigger = "Trigger 1";
    const auto apart = [](KvdRecordingPlan plan, int gapMs) {
        plan.gapMs = gapMs;
        return plan;
    };
    const auto shortChunks = [apart](KvdRecordingPlan plan, int gapMs) {
        plan.rateHz = 2000;
        plan.chunkMs = 50;
        return apart(plan, gapMs);
    };
    const HeadsRow rows[] = {
        {"sweeps of one chunk, the second's trigger zeroed and its electrodes a chunk earlier",
         apart(Version0Sweeps(2, 100, true), 3000),
         {{trigger, 3100, "head zeroed"}, {electrodes, 3100, "start one chunk earlier"},
          {electrodes, 3100, "stop one chunk earlier"}}},
        {"a lone stream's sweeps of one chunk, the second's trigger stop 0 and its chunk 10 s later",
         apart(Version0Sweeps(2, 200, false), 400),
         {{trigger, 600, "stop 0"}, {electrodes, 600, "both times 10 s later"}}},
        {"a lone stream's three sweeps, the second's trigger stop 0 and its chunk zeroed, the third's "
         "trigger a record long",
         apart(Version0Sweeps(3, 100, false), 700),
         {{trigger, 800, "stop 0"}, {electrodes, 800, "head zeroed"},
          {trigger, 1600, "size one record more"}}},
        {"sweeps of two chunks, the first's trigger start a chunk later, its first chunk's stop a chunk "
         "later and its second one's size far off",
         shortChunks(Version0Sweeps(2, 100, false), 100),
         {{trigger, 0, "start one chunk later"}, {electrodes, 0, "stop one chunk later"},
          {electrodes, 50, "size INT64 max"}}},
        {"sweeps of two chunks, the first's trigger start a chunk later and its chunks' starts far off "
         "and 1",
         apart(Version0Sweeps(2, 200, false), 200),
         {{trigger, 0, "start one chunk later"}, {electrodes, 0, "start UINT64 max"}, {electrodes, 100, "start 1"}}},
        {"sweeps of two chunks, the first's size 1 and the second's head 0xFF, the last trigger's size 0",
         apart(Version0Sweeps(2, 200, false), 200),
         {{electrodes, 0, "size 1"}, {electrodes, 100, "head 0xFF"}, {trigger, 400, "size 0"}}},
    };
    for (const auto& row : rows) {
        Table table;
        if (!table.Prepare(row.recording, row.plan,
                           {row.plan.streams.size() > 1 ? EveryRawStream() : ElectrodesOnly()}))
            continue;
        const Damage damage = HeadsChanged(table.sound, row.heads);
        ASSERT_TRUE(damage.apply) << row.recording << ": a head to change is missing";
        ASSERT_TRUE(table.WriteDamaged(damage));
        table.ExpectJudged(damage);
        CKVTAStreamFile file;
        ASSERT_EQ(file.Open(table.Damaged()), 0) << row.recording;
        EXPECT_EQ(file.GetSweepLength(), row.plan.sweepMs) << row.recording;
    }
}

namespace {

// Version-0 electrodes and a digital stream at 1 kHz in 100 ms chunks, no triggers: `chunks`
// slots without those in `pauses`; the digital stream ends a slot early with `digitalShort`.
KvdRecordingPlan TwoStreamsVersion0(int chunks, std::vector<int> pauses, bool digitalShort)
{
    KvdRecordingPlan plan = Continuous(0, false);
    plan.triggerMs.clear();
    plan.chunks = chunks;
    plan.dropChunks = std::move(pauses);
    if (digitalShort)
        plan.streams.back().missingSlots = {chunks - 1};
    return plan;
}

} // namespace

// Version-0 continuous recordings whose damaged heads only the order of the file, a pause of
// all streams, or the times a damaged size's head keeps can place. Each exports every chunk
// whose bytes are whole where it was recorded and names the time of the others.
TEST(DamagedRecording, Version0HeadsThatTheFileOrderPlaces)
{
    const char* electrodes = "Electrode Raw Data";
    const char* digital = "Digital Data";
    const ExportSelection digitalOnly {"digital only", {{digital, "D1", 0}}, kAllFormats};
    const auto idOf = [](const char* stream, int ms, const char* source, int sourceMs) {
        return [=](const SoundRecording& sound) {
            const size_t chunk = ChunkAt(sound, stream, ms);
            const size_t from = ChunkAt(sound, source, sourceMs);
            return std::max(chunk, from) < sound.chunks.size()
                       ? IdOfChunk(sound, chunk, from, std::string("the id of ") + source)
                       : Damage {};
        };
    };
    const auto heads = [](std::vector<HeadChangeAt> changes) {
        return [changes](const SoundRecording& sound) { return HeadsChanged(sound, changes); };
    };
    KvdRecordingPlan withTrigger = TwoStreamsVersion0(6, {2}, false);
    withTrigger.triggerMs = {50};
    const struct
    {
        const char* recording;
        KvdRecordingPlan plan;
        std::function<Damage(const SoundRecording&)> damage;
        bool digitalAlone = false;
    } rows[] = {
        {"the first digital chunk behind a pause under the trigger's id", withTrigger,
         idOf(digital, 300, "Trigger 1", 50)},
        {"the first electrode chunk, a pause behind it, under the digital id, the digital stop 0",
         TwoStreamsVersion0(5, {1}, false), [=](const SoundRecording& sound) {
             const Damage id = idOf(electrodes, 0, digital, 0)(sound);
             const Damage stop = HeadsChanged(sound, {{digital, 0, "stop 0"}});
             return id.apply && stop.apply ? Both(id, stop) : Damage {};
         }},
        {"a digital size past the end, the electrode head behind it 0xFF, the digital stream short",
         TwoStreamsVersion0(6, {}, true),
         heads({{digital, 300, "size INT64 max"}, {electrodes, 400, "head 0xFF"}})},
        {"a digital chunk a chunk later, the electrode head behind it zeroed, the next digital "
         "stop far off", TwoStreamsVersion0(10, {}, false),
         heads({{digital, 700, "both times one chunk later"}, {electrodes, 800, "head zeroed"},
                {digital, 800, "stop UINT64 max"}})},
        {"an electrode chunk a chunk later onto the last, the digital stream short",
         TwoStreamsVersion0(8, {}, true), heads({{electrodes, 600, "both times one chunk later"}})},
        // The text of every stream ends where the lost time at the end begins.
        {"the last electrode chunk 10 s later, the digital stream short",
         TwoStreamsVersion0(8, {}, true), heads({{electrodes, 700, "both times 10 s later"}}),
         true},
    };
    for (const auto& row : rows) {
        Table table;
        const std::vector<ExportSelection> both {EveryRawStream(), digitalOnly};
        if (!table.Prepare(row.recording, row.plan,
                           row.digitalAlone ? std::vector<ExportSelection> {digitalOnly} : both))
            continue;
        const Damage damage = row.damage(table.sound);
        ASSERT_TRUE(damage.apply) << row.recording;
        ASSERT_TRUE(table.WriteDamaged(damage));
        table.ExpectJudged(damage);
    }
}

namespace {

// A version-0 continuous recording of the electrodes alone with one trigger at `triggerMs`, and
// its trigger settings so that the text converter writes the trigger's events.
KvdRecordingPlan ElectrodesAndATriggerVersion0(int triggerMs)
{
    KvdRecordingPlan plan = WithEvents();
    plan.fileVersion = 0;
    plan.spikeMs.clear();
    plan.streams.resize(1);
    plan.triggerMs = {triggerMs};
    return plan;
}

const ExportSelection kTriggers {"triggers", {{"Trigger 1", "T1", 0}}, {ExportFormat::Ascii}};

} // namespace

// A version-0 continuous recording whose trigger chunk's size reaches a head's bytes into the
// chunk behind it, whose own size is damaged: the trigger keeps its one record, and the chunk of
// samples behind it is named lost, never its head and frames taken for records.
TEST(DamagedRecording, Version0TriggerSizeAHeadLongKeepsItsRecords)
{
    Table table;
    if (!table.Prepare("continuous version 0, electrodes and a trigger",
                       ElectrodesAndATriggerVersion0(17), {kTriggers, ElectrodesOnly()}))
        return;
    // The electrode chunk's own size a frame long: the chain cannot go on at its head.
    const Damage damage = HeadsChanged(table.sound, {{"Trigger 1", 17, "size 32 more"},
                                                     {"Electrode Raw Data", 0, "size one record more"}});
    ASSERT_TRUE(damage.apply);
    ASSERT_TRUE(table.WriteDamaged(damage));
    table.ExpectJudged(damage);
}

// Version-0 sweeps whose last sweep's heads are all damaged, the sweep before it whole: the time
// they lost cannot go on that sweep, though its trigger's start moved back onto it; its stop,
// kept, puts the lost sweep past a pause, and the time lies up against the end of the data. The
// sweeps before are exported whole; the last alone is refused.
TEST(DamagedRecording, Version0TimeLostBehindAWholeLastSweepLiesPastAPause)
{
    const char* electrodes = "Electrode Raw Data";
    const char* digital = "Digital Data";
    const char* trigger = "Trigger 1";
    const auto apart = [](KvdRecordingPlan plan, int gapMs) {
        plan.gapMs = gapMs;
        return plan;
    };
    const HeadsRow rows[] = {
        {"four sweeps of one chunk, the last's trigger start a chunk earlier, its electrodes' start far off "
         "and its digital data's 0xFF",
         apart(Version0Sweeps(4, 200, true), 200),
         {{trigger, 1200, "start one chunk earlier"}, {electrodes, 1200, "start UINT64 max"},
          {digital, 1200, "head 0xFF"}}},
        {"four sweeps of one chunk, the last's trigger start a chunk earlier, its chunks' heads 0xFF",
         apart(Version0Sweeps(4, 200, true), 200),
         {{trigger, 1200, "start one chunk earlier"}, {electrodes, 1200, "head 0xFF"},
          {digital, 1200, "head 0xFF"}}},
    };
    for (const auto& row : rows) {
        Table table;
        if (!table.Prepare(row.recording, row.plan, {EveryRawStream()}))
            continue;
        const Damage damage = HeadsChanged(table.sound, row.heads);
        ASSERT_TRUE(damage.apply) << row.recording << ": a head to change is missing";
        ASSERT_TRUE(table.WriteDamaged(damage));
        table.ExpectJudged(damage);
    }
}

// A version-0 continuous recording whose last electrode chunk took the trigger's id while the
// stop of the chunk before it ran off: the frames of that damaged head lead to its start, so it
// is the electrodes' last chunk, never records of the trigger.
TEST(DamagedRecording, Version0LastChunkUnderTheTriggersIdBehindADamagedStop)
{
    Table table;
    if (!table.Prepare("continuous version 0, electrodes and a trigger",
                       ElectrodesAndATriggerVersion0(50), {kTriggers, ElectrodesOnly()}))
        return;
    const size_t last = ChunkAt(table.sound, "Electrode Raw Data", 900);
    const size_t trigger = ChunkAt(table.sound, "Trigger 1", 50);
    ASSERT_LT(std::max(last, trigger), table.sound.chunks.size());
    const Damage stop = HeadsChanged(table.sound, {{"Electrode Raw Data", 800, "stop UINT64 max"}});
    ASSERT_TRUE(stop.apply);
    const Damage damage = Both(stop, IdOfChunk(table.sound, last, trigger, "the trigger's id"));
    ASSERT_TRUE(table.WriteDamaged(damage));
    table.ExpectJudged(damage);
}

// Version-0 continuous recordings whose heads alone place a damaged chunk. A chunk moved a chunk
// later past a pause longer than itself, with the next head's stop far off: that head starts
// where the moved chunk does, so the chunk lay a chunk earlier. A lone stream of four chunks with
// a trigger chunk in every slot, two of whose stops moved by a chunk: half its heads last their
// frames, and the triggers beside the other two last just as long, so all are held to them.
// Every export is the sound one's.
TEST(DamagedRecording, Version0ChunksTheirNeighboursPlace)
{
    const char* electrodes = "Electrode Raw Data";
    KvdRecordingPlan fourSlots = LoneStream(0, false, {});
    fourSlots.chunks = 4;
    fourSlots.triggerEverySlot = true;
    const HeadsRow rows[] = {
        {"a chunk a chunk later past a pause of one, the next one's stop far off", LoneStream(0, false, {1}),
         {{electrodes, 200, "both times one chunk later"}, {electrodes, 300, "stop UINT64 max"}}},
        {"four chunks beside triggers, the second's stop a chunk later, the last's a chunk earlier", fourSlots,
         {{electrodes, 100, "stop one chunk later"}, {electrodes, 300, "stop one chunk earlier"}}},
    };
    for (const auto& row : rows) {
        Table table;
        if (!table.Prepare(row.recording, row.plan, {ElectrodesOnly()}))
            continue;
        const Damage damage = HeadsChanged(table.sound, row.heads);
        ASSERT_TRUE(damage.apply) << row.recording;
        ASSERT_TRUE(table.WriteDamaged(damage));
        ExpectExportsAsSound(table, row.recording);
    }
}

// Merges of damaged sweeps of a lone stream, version 5. A chunk whose stop is a nanosecond late,
// with the next one of its sweep under the trigger stream's id, which the input's reader gives
// back to the electrodes: the stop goes back onto the frames, so the copy reads whole and the
// merge returns 0 with the sound merge's bytes. Two sweeps of one chunk, the first's start a
// chunk later, the second's trigger a record long and its chunk's id naming no stream: the input's
// sweeps, stored with the copy, leave the first trigger outside them, so the copy reads
// otherwise than its input; the merge names that loss and returns 2.
TEST(DamagedRecording, AMergeReturns0OnlyWhereItsCopyReadsAsItsInput)
{
    const char* electrodes = "Electrode Raw Data";
    const char* trigger = "Trigger 1";
    KvdRecordingPlan threeSweeps = Triggered(5, false);
    threeSweeps.streams.resize(1);
    KvdRecordingPlan twoShort = threeSweeps;
    twoShort.rateHz = 2000;
    twoShort.chunkMs = 50;
    twoShort.sweeps = 2;
    twoShort.sweepMs = twoShort.sweepLengthMs = 50;
    twoShort.gapMs = 700;
    const struct
    {
        const char* recording;
        KvdRecordingPlan plan;
        std::vector<HeadChangeAt> heads;
        int result;   // the merge's
    } rows[] = {
        {"a stop a nanosecond late, the next chunk under the trigger's id", threeSweeps,
         {{electrodes, 500, "stop 1 ns late"}}, 0},
        {"sweeps of one chunk, the first's start a chunk later, the second's trigger long, its chunk's id off",
         twoShort,
         {{electrodes, 0, "start one chunk later"}, {trigger, 750, "size one record more"}}, 2},
    };
    for (const auto& row : rows) {
        Table table;
        ASSERT_TRUE(table.Prepare(row.recording, row.plan, {ElectrodesOnly()}));
        Damage damage = HeadsChanged(table.sound, row.heads);
        ASSERT_TRUE(damage.apply) << row.recording;
        if (row.result == 0) {
            const size_t late = ChunkAt(table.sound, electrodes, 500);
            const size_t first = ChunkAt(table.sound, trigger, 500);
            damage = Both(damage, IdOfChunk(table.sound, late + 1, first, "the trigger stream's id"));
        } else {
            // An id that names no stream: "elec0I01".
            const size_t at = table.sound.layout.chunkAt[ChunkAt(table.sound, electrodes, 750)] + 6;
            Damage id;
            id.name = "an id naming no stream";
            id.apply = [at](std::vector<uint8_t>& bytes) { bytes[at] = 'I'; };
            damage = Both(damage, id);
        }
        ASSERT_TRUE(table.WriteDamaged(damage));
        CKVTAStreamFile in;
        CKVTAStreamFile out;
        CKVTAStreamFile* files[] = {&in};
        ASSERT_EQ(in.Open(table.Damaged()), 0) << row.recording;
        EXPECT_EQ(out.MergeFiles(files, 1, table.dir.File("damaged.merged.kvd"), nullptr), row.result)
            << row.recording;
        EXPECT_EQ(out.GetMergeLossText().empty(), row.result == 0) << row.recording;
        if (row.result != 0)
            continue;
        int soundResult = 0;
        const ExportOutcome sound =
            MergedExport(table, table.Sound(), table.dir.File("sound.merged.kvd"), soundResult);
        const ExportOutcome got = RunExport(ExportFormat::Bin, ElectrodesOnly(), table.sound.plan.rateHz,
                                            table.dir.File("damaged.merged.kvd"), table.dir.File("merged.out"));
        EXPECT_EQ(got.bytes, sound.bytes) << row.recording;
    }
}

// Version-0 sweeps, whose streams of samples are not held to their spans, where a head of the
// electrodes is one no recorder wrote: a payload breaking off inside a frame (a trigger under
// the electrodes' id), or a later chunk beginning hours before the header's start, its frames
// not lasting to its stop, while the first chunk's stop lies far off. Neither is trusted: each
// sweep is whole or refused.
TEST(DamagedRecording, Version0SweepsWithElectrodeHeadsNoRecorderWrote)
{
    const char* electrodes = "Electrode Raw Data";
    const char* trigger = "Trigger 1";
    KvdRecordingPlan farApart = Version0Sweeps(2, 50, false);
    farApart.rateHz = 5000;
    farApart.chunkMs = 50;
    farApart.gapMs = 3000;
    KvdRecordingPlan withDigital = Version0Sweeps(2, 200, true);
    withDigital.rateHz = 5000;
    withDigital.chunkMs = 200;
    withDigital.gapMs = 700;
    const struct
    {
        const char* recording;
        KvdRecordingPlan plan;
        std::vector<HeadChangeAt> heads;
        int triggerUnderElectrodesId;  // ms of the trigger given the electrodes' id; -1: none
    } rows[] = {
        {"the first chunk a chunk later, the second sweep's trigger under the electrodes' id and "
         "its chunk's start 1",
         farApart,
         {{electrodes, 0, "both times one chunk later"}, {electrodes, 3050, "start 1"}},
         3050},
        {"the first trigger's size 0, its electrodes' stop far off, the second's start 1",
         withDigital,
         {{trigger, 0, "size 0"}, {electrodes, 0, "stop UINT64 max"}, {electrodes, 900, "start 1"}},
         -1},
    };
    for (const auto& row : rows) {
        Table table;
        const ExportSelection selection = row.plan.streams.size() > 1 ? EveryRawStream() : ElectrodesOnly();
        if (!table.Prepare(row.recording, row.plan, {selection}))
            continue;
        Damage damage = HeadsChanged(table.sound, row.heads);
        ASSERT_TRUE(damage.apply) << row.recording;
        if (row.triggerUnderElectrodesId >= 0) {
            const size_t moved = ChunkAt(table.sound, trigger, row.triggerUnderElectrodesId);
            const size_t from = ChunkAt(table.sound, electrodes, 0);
            damage = Both(damage, IdOfChunk(table.sound, moved, from, "the electrodes' id"));
        }
        ASSERT_TRUE(table.WriteDamaged(damage));
        table.ExpectJudged(damage);
    }
}
