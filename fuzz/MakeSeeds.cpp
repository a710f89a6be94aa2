// Writes the seed corpus of every fuzz target, built with the project's own code:
//   make_fuzz_seeds <folder>   ->   <folder>/<target>/seed-NN
// A target without seeds here starts from an empty corpus.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/container/KvdFormat.h"
#include "datafile/layout/CKVLayout.h"
#include "datafile/settings/CMOrvexStimulatorProperty.h"
#include "fuzz/LayoutTextSamples.h"
#include "platform/CByteWriter.h"
#include "platform/CProfile.h"
#include "tests/datafile/settings/ParamRecordBytes.h"
#include "tests/datafile/settings/SettingsBytes.h"
#include "tests/datafile/settings/SettingsRecords.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdRecording.h"
#include "tests/support/TempDir.h"

namespace {

using Seeds = std::vector<std::string>;

// A string as FuzzedDataProvider::ConsumeRandomLengthString reads it back: backslashes doubled,
// ended by a backslash and one other byte.
std::string ProviderString(const std::string& text)
{
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\\')
            out += '\\';
    }
    return out + "\\|";
}

std::string ProfileSeed(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& otherSection,
                        const std::string& otherKey, int32_t number, const std::string& text)
{
    std::string seed = ProviderString(section) + ProviderString(key) + ProviderString(value)
        + ProviderString(otherSection) + ProviderString(otherKey);
    // ConsumeIntegral takes its bytes from the end of the data; the text comes between.
    std::string number4(4, '\0');
    std::memcpy(number4.data(), &number, 4);
    return seed + text + number4;
}

Seeds ProfileSeeds()
{
    CProfile profile;
    // Every entry is one a profile stores: a refusal would leave the seed without it.
    const bool stored = profile.SetString("Settings", "LastFolder", "/home/lab/recordings")
                        && profile.SetInt("Settings", "Format", 2)
                        && profile.SetString("Settings", "Separator", " \t ")
                        && profile.SetString("Recent File List", "File1", "/data/day 1.kvd")
                        && profile.SetString("Recent File List", "File2", "\"quoted\"")
                        && profile.SetInt("Export", "Channels", -64);
    if (!stored)
        std::fprintf(stderr, "MakeSeeds: a profile entry of the seeds was refused\n");
    const std::string lf = "; written by the settings\n" + profile.Text();
    std::string crlf;
    for (char c : lf) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    const std::string odd = "\xEF\xBB\xBF[ settings ]\n  lastfolder = ' x ' \n[broken\nk=\n"
                            "=nokey\n;[Settings]\n[Settings]\nFormat=+0012abc\n";
    return {
        ProfileSeed("Settings", "Format", "3", "Export", "Channels", 7, lf),
        ProfileSeed("settings", "LASTFOLDER", " padded ", "Recent File List", "File1", -1, crlf),
        ProfileSeed("New", "Key", "\"\"", "Settings", "Separator", 2147483647, lf),
        ProfileSeed("Settings", "Format", "x", "settings", "lastfolder", 0, odd),
        ProfileSeed("a]", "=", "v", "", "", 5, ""),
    };
}

Seeds CmdLineSeeds()
{
    const char* const lines[] = {
        "-abf -in:\"/data/day 1.kvd\" -out=/tmp/out -select:1,2,3 -list",
        "-txt -IN /data/a.kvd -in /data/b.kvd -channels:\"A1 A2\" -",
        "/usr/bin/tool -version -help -x: -y=-z -q=\"unterminated",
        "-raw -From:10 -To:20.5 -Merge -MERGE -merge",
    };
    Seeds seeds;
    for (int flags = 0; flags < 4; ++flags)
        seeds.push_back(std::string(1, static_cast<char>(flags)) + lines[flags]);
    return seeds;
}

std::string LayoutChunk(const CKVLayout& layout)
{
    std::vector<uint8_t> bytes;
    layout.AppendLayoutChunk(bytes);
    return std::string(bytes.begin(), bytes.end());
}

// The chunk rewritten as an older version: version field changed, each record cut short.
std::string OlderChunk(const CKVLayout& layout, int32_t version)
{
    std::vector<uint8_t> bytes;
    layout.AppendLayoutChunk(bytes);
    StoreLE<int32_t>(bytes.data() + 16, version);
    std::string chunk(bytes.begin(), bytes.begin() + CKVLayout::kChunkHeadBytes);
    const size_t keep = CKVLayout::RecordBytes(version);
    for (size_t at = CKVLayout::kChunkHeadBytes; at < bytes.size(); at += LayoutRecordBytes::kBytes)
        chunk.append(bytes.begin() + at, bytes.begin() + at + keep);
    return chunk;
}

Seeds LayoutChunkSeeds()
{
    CKVLayout plain;
    plain.BuildDefault(CKVLayout::kPlainLayout, 4, 2, 1, 1);
    CKVLayout single;
    single.BuildDefault(CKVLayout::kSingleArrayLayout, 6, 60, 3, 1);
    CKVLayout twoArrays;
    twoArrays.BuildDefault(CKVLayout::kDoubleArrayLayout, 3, 120, 6, 1);
    CKVLayout individual;
    individual.BuildDefault(CKVLayout::kPlainLayout, 3, 3, 0, 0);
    std::vector<uint8_t> bytes;
    individual.AppendLayoutChunk(bytes);
    // Hand-made units: two arrays on named hardware.
    LayoutRecord record;
    for (int i = 0; individual.GetRecord(record, i); ++i) {
        record.unitId = i % 2;
        record.unitName = i % 2 ? "Array B" : "Array A";
        record.hardwareName = "Rack";
        record.subtype = 0;
        bytes.resize(CKVLayout::kChunkHeadBytes + i * LayoutRecordBytes::kBytes);
        CKVLayout::AppendRecord(bytes, record);
    }
    StoreLE<int32_t>(bytes.data() + 20, CKVLayout::kIndividualLayout);
    const std::string individualChunk(bytes.begin(), bytes.end());

    CKVLayout empty;
    return {LayoutChunk(plain), LayoutChunk(single), LayoutChunk(twoArrays), individualChunk,
            OlderChunk(single, 1), OlderChunk(twoArrays, 2), LayoutChunk(empty)};
}

Seeds LayoutTextSeeds()
{
    // Names one byte short of their record fields: a mutation away from the longest refused.
    namespace B = LayoutRecordBytes;
    const std::string name(B::kNameWidth - 1, 'n');
    const std::string hardware(B::kHardwareNameWidth - 1, 'h');
    const std::string longHardware = "KVT Hardware Layout\nName: Long\nLayout:\n0 " + name
        + " 0 1000 0 " + hardware + " 0 0\n";
    const std::string longMea = "KVT MEA Layout\nLayout:\n0 " + name + " " + name + " " + name
        + " 0 0 0 0 0 0 100 100 1000 0\n";
    return {LayoutTextSamples::kHardware, LayoutTextSamples::kAmplifier, LayoutTextSamples::kMea,
            longHardware, longMea};
}

// ---- Recordings and settings records ----

std::string AsSeed(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// Settings records of every stream kind, each behind its tag. The trigger record has its
// parameter part from recording program 3 on and its extra flag from stream header version 6.
std::vector<uint8_t> TriggerSettings(bool parameterPart, bool extraFlag = false)
{
    SettingsBytes b;
    b.Tag("PARAMTRG").U32(0).U32(1).U32(2).U32(3).U32(4).I32(-1205).I32(0).U32(1).I32(-2).U32(0);
    b.Zeros(20).U8(1).U32(3).U32(4).Str32("").U32(0xFF);
    if (parameterPart)
        b.U8(1).I32(0).Str32("Rate").Str32("Hz");
    if (extraFlag)
        b.U8(1);
    return b.Get();
}

std::vector<uint8_t> SpikeSettings()
{
    SettingsBytes b;
    b.Tag("PARAMSPK").U32(0).U32(0).U32(0).F32(-5.0f).U32(1500).U32(2500).U32(999);
    b.Str16("elec0001");
    b.U16(2);
    b.U16(40).U16(0).Zeros(20).U16(1).U16(0).U16(77).Zeros(20);
    b.U16(12).U16(0).Zeros(20).U16(2).U16(0).U16(3).Zeros(20).U16(0).U16(1).Zeros(20);
    return b.Get();
}

std::vector<uint8_t> ParamSettings(uint16_t version)
{
    ParamRecord record;
    record.version = version;
    record.Select({8, 0});
    return record.Bytes();
}

std::vector<uint8_t> StimulatorChunk()
{
    CMOrvexStimulatorProperty stimulator;
    KvtStimulatorElement element;
    element.name = "Pulse";
    element.streams["elec0001"] = {{1, 2}, {3, 4}};
    element.streams["trig0001"] = {{5, 6}};
    stimulator.InsertElement(0, element);
    stimulator.m_text = "protocol";
    stimulator.m_mode = 1;
    std::vector<uint8_t> bytes;
    stimulator.WriteChunk(bytes);
    return bytes;
}

// One record of a cutout kind ("spikes", "average") in the layout of stream header version v.
std::vector<uint8_t> Cutout(bool spike, int v, uint64_t time, uint16_t channel)
{
    std::vector<uint8_t> bytes;
    CByteWriter out(bytes);
    out.Put<uint64_t>(time).Put<uint16_t>(channel);
    if (spike && v >= 8)
        out.Put<uint32_t>(3);
    else
        out.Put<uint16_t>(3);
    if (v >= 5)
        out.Put<uint16_t>(9);
    if (spike && v >= 6)
        out.Put<uint16_t>(0xFFFF);
    out.Put<int32_t>(4);
    for (uint16_t s : {100, 200, 300, 400})
        out.Put<uint16_t>(s);
    return bytes;
}

// A fixed-size record: time, a channel or id word, then `size` - 10 patterned bytes.
std::vector<uint8_t> FixedRecord(uint64_t time, uint16_t first, size_t size)
{
    std::vector<uint8_t> bytes;
    CByteWriter out(bytes);
    out.Put<uint64_t>(time).Put<uint16_t>(first);
    for (size_t i = 10; i < size; ++i)
        out.Put<uint8_t>(static_cast<uint8_t>(i));
    return bytes;
}

struct KindPlan
{
    const char* type;
    const char* id;
    uint16_t version;
    std::vector<uint8_t> settings;
    int channels;
    // Two records starting at the time given.
    std::function<std::vector<uint8_t>(uint64_t)> records;
};

std::vector<uint8_t> Twice(const std::function<std::vector<uint8_t>(uint64_t)>& one, uint64_t t)
{
    std::vector<uint8_t> a = one(t);
    const std::vector<uint8_t> b = one(t + 400000);
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Streams of every kind with settings and records, newer (stream header versions of the
// current program) or older layouts.
std::vector<KindPlan> EveryKind(bool newer)
{
    const uint16_t trig = newer ? 6 : 4;
    const uint16_t spk = newer ? 8 : 4;
    const uint16_t spp = newer ? 2 : 1;
    const uint16_t avg = newer ? 5 : 4;
    const auto fixed = [](size_t size) {
        return [size](uint64_t t) { return Twice([size](uint64_t u) { return FixedRecord(u, 1, size); }, t); };
    };
    const auto cutout = [](bool spike, int v) {
        return [spike, v](uint64_t t) { return Twice([spike, v](uint64_t u) { return Cutout(spike, v, u, 1); }, t); };
    };
    const auto frames = [](int channels) {
        return [channels](uint64_t) { return KvdFrames(8, channels); };
    };
    const auto params = [](uint64_t t) {
        return Twice([](uint64_t u) {
            std::vector<uint8_t> bytes;
            CByteWriter(bytes).Put<uint64_t>(u).Put<uint16_t>(32778).Put<uint32_t>(5).Put<uint16_t>(32788).Put<uint32_t>(6);
            return bytes;
        }, t);
    };
    return {
        {"trigger", "trig0001", trig, TriggerSettings(newer, newer), 1, fixed(trig >= 6 ? 22 : 10)},
        {"spikes", "spks0001", spk, SpikeSettings(), 2, cutout(true, spk)},
        {"spkparam", "sppa0001", spp, AnalyserSettings("PARAMSPP", false), 2, fixed(spp >= 2 ? 34 : 26)},
        {"bstparam", "bspa0001", 3, AnalyserSettings("PARAMBSP", true), 2, fixed(38)},
        {"average", "aver0001", avg, AverageSettings(), 1, cutout(false, avg)},
        {"filter", "filt0001", newer ? uint16_t(3) : uint16_t(1), FilterSettings(), 2, frames(2)},
        {"chat", "chat0001", 1, ChannelToolSettings(), 1, frames(1)},
        {"params", "para0001", newer ? uint16_t(5) : uint16_t(1), ParamSettings(newer ? 5 : 1), 2, params},
        {"analog", "elec0001", 8, {}, 2, frames(2)},
        {"digital", "digi0001", 8, {}, 1, frames(1)},
    };
}

// The chunk id of each stream of the built file, as the reader derives it (older files name
// their chunks by the stream's chunk number and kind).
std::vector<std::string> ChunkIds(const KvdBuilder& builder)
{
    TempDir dir;
    const std::string path = dir.File("streams.kvd");
    std::vector<std::string> ids;
    CKVTAStreamFile file;
    if (!builder.WriteTo(path) || file.Open(path) != CKVTAStreamFile::kOpenOk)
        return ids;
    for (int i = 0; i < file.GetStreamCount(); ++i)
        ids.push_back(file.GetStream(i)->GetChunkId());
    return ids;
}

// A recording with one stream of every kind, two chunks each, in file header version
// `fileVersion`; optionally with a layout chunk, a stimulator chunk and a stored index.
std::vector<uint8_t> EveryKindRecording(uint16_t fileVersion, bool newer, bool extras)
{
    constexpr uint64_t t0 = kKvdDefaultStart;
    constexpr uint64_t ms = 1000000;
    namespace FH = Kvd::FileHeader;
    KvdBuilder b(fileVersion);
    b.Set<int32_t>(FH::kProgramVersion1, newer ? ProgramVersion(3, 1) : ProgramVersion(2, 7));
    b.Set<int32_t>(FH::kSampleRate, 10000000);
    b.Set<uint64_t>(FH::kStopTime, t0 + 4 * ms);
    if (extras) {
        CKVLayout layout;
        layout.BuildDefault(CKVLayout::kPlainLayout, 4, 2, 1, 1);
        std::vector<uint8_t> chunk;
        layout.AppendLayoutChunk(chunk);
        b.Set<int32_t>(FH::kLayoutKind, CKVLayout::kIndividualLayout);
        b.AddHeaderChunk(chunk);
        if (fileVersion >= 11) {   // older headers end before the stimulator flag
            b.Set<uint8_t>(FH::kStimulatorFlag, 1);
            b.AddHeaderChunk(StimulatorChunk());
        }
    }
    const std::vector<KindPlan> kinds = EveryKind(newer);
    for (const KindPlan& kind : kinds) {
        KvdStreamPlan plan;
        plan.chunkNumber = static_cast<uint16_t>(&kind - kinds.data() + 1);
        plan.headerVersion = kind.version;
        plan.bufferType = kind.type;
        plan.name = std::string(kind.type) + " 1";
        plan.id = kind.id;
        plan.sampleRate = 10000000;
        plan.settings = kind.settings;
        plan.oldHead = !newer;
        plan.words[1] = 2000;
        for (int c = 0; c < kind.channels; ++c) {
            KvdChannelPlan channel;
            channel.kind = static_cast<uint16_t>(c % 3);
            channel.id = c;
            channel.number = c + 1;
            channel.name = channel.displayName = "C" + std::to_string(c + 1);
            channel.items = {{1, 10}, {2, 20}};
            plan.channels.push_back(channel);
        }
        b.AddStream(plan);
    }
    const std::vector<std::string> ids = ChunkIds(b);
    for (int block = 0; block < 2; ++block) {
        const uint64_t start = t0 + static_cast<uint64_t>(block) * 2 * ms;
        for (size_t k = 0; k < kinds.size() && k < ids.size(); ++k)
            b.AddChunk(ids[k], start, start + 2 * ms, kinds[k].records(start + 100000));
    }
    if (extras && fileVersion >= 3) {
        KvdLayout where;
        b.Build(&where);
        KvdIndexPlan index;
        index.entries = {{t0, static_cast<int64_t>(where.chunkAt[0])},
                         {t0 + 2 * ms, static_cast<int64_t>(where.chunkAt[kinds.size()])}};
        index.sweeps = {{t0, t0 + 2 * ms}, {t0 + 2 * ms, t0 + 4 * ms}};
        index.streamCount = static_cast<int32_t>(kinds.size());
        b.AddIndex(index);
    }
    return b.Build();
}

std::string RecordingOf(const KvdRecordingPlan& plan)
{
    TempDir dir;
    const std::string path = dir.File("seed.kvd");
    if (!WriteKvdRecording(plan, path))
        return std::string();
    return AsSeed(ReadFileBytes(path));
}

// A recording of an old program that stored neither recording mode nor window: chunk gaps in
// the first stream tell a triggered recording, and the first gap ends the first sweep.
std::vector<uint8_t> GappedOldRecording()
{
    constexpr uint64_t t0 = kKvdDefaultStart;
    constexpr uint64_t ms = 1000000;
    KvdBuilder b(3);
    b.Set<int32_t>(Kvd::FileHeader::kProgramVersion1, ProgramVersion(1, 20));
    b.Set<int32_t>(Kvd::FileHeader::kSampleRate, 1000000);
    KvdStreamPlan analog;
    analog.sampleRate = 1000000;
    analog.channels.resize(2);
    analog.channels[1].id = analog.channels[1].number = 1;
    KvdStreamPlan trigger;
    trigger.bufferType = "trigger";
    trigger.name = "Trigger 1";
    trigger.headerVersion = 4;
    trigger.chunkNumber = 2;
    trigger.channels.resize(1);
    b.AddStream(analog).AddStream(trigger);
    const std::vector<std::string> ids = ChunkIds(b);
    if (ids.size() != 2)
        return b.Build();
    for (uint64_t sweep = 0; sweep < 3; ++sweep) {
        const uint64_t start = t0 + sweep * 50 * ms;
        b.AddChunk(ids[1], start, start + 10 * ms, FixedRecord(start, 1, 10));
        for (uint64_t k = 0; k < 2; ++k)
            b.AddChunk(ids[0], start + k * 10 * ms, start + (k + 1) * 10 * ms, KvdFrames(10, 2));
    }
    return b.Build();
}

Seeds RecordingSeeds()
{
    KvdRecordingPlan continuous;
    continuous.rateHz = 1000;
    continuous.chunkMs = 10;
    continuous.chunks = 6;
    continuous.dropChunks = {3};
    KvdRawStreamPlan digital;
    digital.type = "digital";
    digital.name = "Digital Data";
    digital.id = "digi0001";
    digital.channels = {"D1"};
    digital.missingSlots = {1};
    continuous.streams.push_back(digital);

    KvdRecordingPlan triggered = continuous;
    triggered.triggered = true;
    triggered.sweeps = 3;
    triggered.sweepMs = 20;
    triggered.gapMs = 30;
    triggered.sweepLengthMs = 20;
    triggered.shortSweeps = {1};

    KvdRecordingPlan older = continuous;
    older.fileVersion = 5;
    KvdRecordingPlan oldest = triggered;
    oldest.fileVersion = 0;
    oldest.streams[0].id = "00001raw";

    return {RecordingOf(continuous),
            RecordingOf(triggered),
            RecordingOf(older),
            RecordingOf(oldest),
            AsSeed(GappedOldRecording()),
            AsSeed(EveryKindRecording(11, true, true)),
            AsSeed(EveryKindRecording(11, true, false)),
            AsSeed(EveryKindRecording(7, false, true)),
            AsSeed(EveryKindRecording(4, false, false))};
}

// The settings target's head (program version, ADC bits, ADC zero, volts per step), then a record.
std::string SettingsSeed(int32_t program, const std::vector<uint8_t>& record)
{
    std::vector<uint8_t> bytes;
    CByteWriter(bytes).Put<int32_t>(program).Put<uint16_t>(12).Put<uint16_t>(2048).Put<double>(1e-6);
    bytes.insert(bytes.end(), record.begin(), record.end());
    return AsSeed(bytes);
}

Seeds SettingsSeeds()
{
    const int32_t newer = ProgramVersion(3, 1);
    const int32_t older = ProgramVersion(2, 7);
    std::vector<uint8_t> oldStimulator = StimulatorChunk();
    StoreLE<int32_t>(oldStimulator.data() + 8, 4);   // version 4: no elements
    return {
        SettingsSeed(newer, TriggerSettings(true)),
        SettingsSeed(older, TriggerSettings(false)),
        SettingsSeed(newer, SpikeSettings()),
        SettingsSeed(newer, AnalyserSettings("PARAMSPP", false)),
        SettingsSeed(newer, AnalyserSettings("PARAMBSP", true)),
        SettingsSeed(newer, AverageSettings()),
        SettingsSeed(newer, FilterSettings()),
        SettingsSeed(newer, ChannelToolSettings()),
        SettingsSeed(newer, ParamSettings(5)),
        SettingsSeed(older, ParamSettings(1)),
        SettingsSeed(newer, StimulatorChunk()),
        SettingsSeed(newer, oldStimulator),
    };
}

bool WriteSeeds(const std::string& folder, const Seeds& seeds)
{
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return false;
    for (size_t i = 0; i < seeds.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/seed-%02zu", i);
        FILE* file = std::fopen((folder + name).c_str(), "wb");
        if (!file)
            return false;
        const bool ok = std::fwrite(seeds[i].data(), 1, seeds[i].size(), file) == seeds[i].size();
        if (std::fclose(file) != 0 || !ok)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds <folder>\n");
        return 2;
    }
    const std::map<std::string, std::function<Seeds()>> targets = {
        {"profile", ProfileSeeds},
        {"cmdline", CmdLineSeeds},
        {"layout_chunk", LayoutChunkSeeds},
        {"layout_text", LayoutTextSeeds},
        {"recording", RecordingSeeds},
        {"merge", RecordingSeeds},
        {"settings", SettingsSeeds},
    };
    const std::string folder = argv[1];
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "cannot create %s\n", folder.c_str());
        return 1;
    }
    for (const auto& [name, seeds] : targets) {
        if (!WriteSeeds(folder + "/" + name, seeds())) {
            std::fprintf(stderr, "cannot write the seeds of %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
