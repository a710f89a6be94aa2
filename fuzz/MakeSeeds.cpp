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

#include "datafile/CKVLayout.h"
#include "fuzz/LayoutTextSamples.h"
#include "platform/CByteWriter.h"
#include "platform/CProfile.h"

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
    profile.SetString("Settings", "LastFolder", "/home/lab/recordings");
    profile.SetInt("Settings", "Format", 2);
    profile.SetString("Settings", "Separator", " \t ");
    profile.SetString("Recent File List", "File1", "/data/day 1.kvd");
    profile.SetString("Recent File List", "File2", "\"quoted\"");
    profile.SetInt("Export", "Channels", -64);
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
    for (int i = 0; i < individual.GetRecordCount(); ++i) {
        individual.GetRecord(record, i);
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
