#include "datafile/container/CKVTAStreamIndex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "datafile/container/CFileReader.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdTestFile.h"
#include "tests/support/TempDir.h"

namespace {

constexpr uint64_t T0 = kKvdDefaultStart;

struct Chunk
{
    int stream;
    uint64_t start;
    uint64_t stop;
    size_t payload;
};

std::string Id(int s)
{
    return "strm000" + std::to_string(s);
}

KvdBuilder Recording(int streams, const std::vector<Chunk>& chunks)
{
    KvdBuilder builder(11);
    for (int s = 0; s < streams; ++s) {
        KvdStreamPlan plan;
        plan.bufferType = "spikes";
        plan.id = Id(s);
        builder.AddStream(plan);
    }
    for (const Chunk& c : chunks)
        builder.AddChunk(Id(c.stream), T0 + c.start, T0 + c.stop, std::vector<uint8_t>(c.payload, 0));
    return builder;
}

// The index generation as a plain reading of the algorithm, over the file bytes, each stream
// walking the chunk chain on its own: the oracle of the chain-based generation.
struct LiteralIndex
{
    std::vector<std::pair<uint64_t, int64_t>> entries;
    std::vector<uint64_t> starts, stops;
};

struct LiteralBlock
{
    bool valid = false;
    uint64_t position = 0, size = 0, start = 0, stop = 0;
};

LiteralBlock LiteralNext(const std::vector<uint8_t>& file, uint64_t pos, const std::string& id)
{
    while (pos + 32 <= file.size()) {
        const int64_t size = LoadLE<int64_t>(file.data() + pos + 8);
        if (size < 16 || static_cast<uint64_t>(size) > file.size() - pos - 16)
            break;
        if (std::memcmp(file.data() + pos, id.data(), 8) == 0)
            return LiteralBlock {true, pos + 32, static_cast<uint64_t>(size) - 16, LoadLE<uint64_t>(file.data() + pos + 16),
                                 LoadLE<uint64_t>(file.data() + pos + 24)};
        pos += 16 + static_cast<uint64_t>(size);
    }
    return LiteralBlock {};
}

LiteralIndex Literal(const std::vector<uint8_t>& file, size_t dataStart, int streams)
{
    LiteralIndex out;
    std::vector<LiteralBlock> blocks;
    int reference = -1, candidate = -1;
    for (int s = 0; s < streams; ++s) {
        blocks.push_back(LiteralNext(file, dataStart, Id(s)));
        if (!blocks.back().valid)
            continue;
        reference = s;
        if (candidate < 0 || blocks.back().position < blocks[static_cast<size_t>(candidate)].position)
            candidate = s;
    }
    if (reference < 0)
        return out;
    uint64_t candidateTime = blocks[static_cast<size_t>(candidate)].start;
    uint64_t candidatePosition = blocks[static_cast<size_t>(candidate)].position;
    out.entries.push_back({candidateTime, static_cast<int64_t>(candidatePosition - 32)});
    uint64_t previousStop = blocks[static_cast<size_t>(reference)].start;
    out.starts.push_back(previousStop);
    int state = 0;
    while (blocks[static_cast<size_t>(reference)].valid) {
        const LiteralBlock& ref = blocks[static_cast<size_t>(reference)];
        if (ref.start > previousStop) {
            out.stops.push_back(previousStop);
            out.starts.push_back(ref.start);
        }
        previousStop = ref.stop;
        if (state == 1) {
            state = 2;
            candidateTime = 0;
        }
        for (int s = 0; s < streams; ++s) {
            LiteralBlock& b = blocks[static_cast<size_t>(s)];
            if (!b.valid)
                continue;
            b = LiteralNext(file, b.position + b.size, Id(s));
            if (!b.valid)
                continue;
            if (state == 0 && b.position > candidatePosition + 250000) {
                state = 1;
            } else if (state == 2 && (candidateTime == 0 || b.position < candidatePosition)) {
                candidateTime = b.start;
                candidatePosition = b.position;
            }
        }
        if (state == 2) {
            if (candidateTime != 0)
                out.entries.push_back({candidateTime, static_cast<int64_t>(candidatePosition - 32)});
            state = 0;
        }
    }
    out.stops.push_back(previousStop);
    return out;
}

std::vector<std::pair<uint64_t, int64_t>> Entries(const CKVTAStreamIndex& index)
{
    std::vector<std::pair<uint64_t, int64_t>> out;
    for (const KvtIndexEntry& e : index.GetEntries())
        out.push_back({e.time, e.offset});
    return out;
}

std::vector<uint64_t> Sweeps(const CKVTAStreamIndex& index, bool starts)
{
    std::vector<uint64_t> out;
    for (int i = 0; i < index.GetSweepCount(); ++i)
        out.push_back((starts ? index.GetSweepStartValue(i) : index.GetSweepStopValue(i)) - T0);
    return out;
}

struct Generated
{
    TempDir dir;
    KvdTestFile file;
    KvdLayout layout;
    std::vector<uint8_t> bytes;
};

std::unique_ptr<Generated> Generate(const KvdBuilder& builder, bool discard = false)
{
    auto g = std::make_unique<Generated>();
    g->bytes = builder.Build(&g->layout);
    EXPECT_TRUE(WriteFileBytes(g->dir.File("i.kvd"), g->bytes));
    EXPECT_EQ(g->file.Open(g->dir.File("i.kvd")), 0);
    EXPECT_TRUE(g->file.index.GenerateIndex(g->file.StreamList(), g->file, g->file.reader.Length(), discard));
    return g;
}

} // namespace

TEST(CKVTAStreamIndex, SweepsAreTheGapFreeRunsOfTheReferenceStream)
{
    struct Case
    {
        const char* name;
        std::vector<Chunk> chunks;
        std::vector<uint64_t> starts, stops;
    };
    const Case cases[] = {
        {"continuous", {{0, 0, 10, 8}, {1, 0, 10, 8}, {0, 10, 20, 8}, {1, 10, 20, 8}, {1, 20, 30, 8}}, {0}, {30}},
        {"triggered", {{1, 0, 10, 8}, {1, 10, 20, 8}, {1, 50, 60, 8}, {0, 55, 56, 8}, {1, 90, 95, 8}, {1, 95, 99, 8}},
         {0, 50, 90}, {20, 60, 99}},
        // The reference stream has one chunk more than the other stream: its end is not lost.
        {"reference runs longer", {{0, 0, 10, 8}, {1, 0, 10, 8}, {1, 10, 20, 8}, {1, 30, 40, 8}}, {0, 30}, {20, 40}},
        {"no chunks", {}, {}, {}},
        {"only the first stream has data", {{0, 0, 10, 8}, {0, 20, 30, 8}}, {0, 20}, {10, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto g = Generate(Recording(2, c.chunks));
        EXPECT_TRUE(g->file.index.IsBuilt());
        EXPECT_EQ(Sweeps(g->file.index, true), c.starts);
        EXPECT_EQ(Sweeps(g->file.index, false), c.stops);
        EXPECT_EQ(g->file.index.HasEntries(), !c.chunks.empty());
    }
}

TEST(CKVTAStreamIndex, GeneratedIndexMatchesTheLiteralScan)
{
    std::mt19937 random(11);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const int streams = 2 + round % 3;
        std::vector<Chunk> chunks;
        std::vector<uint64_t> clock(static_cast<size_t>(streams), 0);
        const int count = 20 + static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i) {
            // Streams end at different times; the reference stream sometimes has gaps.
            const int s = static_cast<int>(random() % static_cast<unsigned>(streams - (i > count * 3 / 4 ? 1 : 0)));
            const uint64_t gap = random() % 5 == 0 ? 100 : 0;
            const size_t payload = random() % 3 == 0 ? 100000 + random() % 150000 : random() % 500;
            chunks.push_back({s, clock[static_cast<size_t>(s)] + gap, clock[static_cast<size_t>(s)] + gap + 1000, payload});
            clock[static_cast<size_t>(s)] += gap + 1000;
        }
        auto g = Generate(Recording(streams, chunks));
        const LiteralIndex expected = Literal(g->bytes, g->layout.dataStart, streams);
        EXPECT_EQ(Entries(g->file.index), expected.entries);
        std::vector<uint64_t> starts, stops;
        for (int i = 0; i < g->file.index.GetSweepCount(); ++i) {
            starts.push_back(g->file.index.GetSweepStartValue(i));
            stops.push_back(g->file.index.GetSweepStopValue(i));
        }
        EXPECT_EQ(starts, expected.starts);
        EXPECT_EQ(stops, expected.stops);
        // One scan of the chain serves every stream's walk.
        EXPECT_EQ(g->file.chain.HeadersRead(), chunks.size());
        EXPECT_LT(g->file.reader.FileReads(), chunks.size() + 10);
    }
}

TEST(CKVTAStreamIndex, EntriesAreSpacedByAQuarterMegabyte)
{
    // 100 kB chunks of two streams: the pass that reads a chunk more than 250000 bytes past the
    // last entry is followed by an entry at the lowest chunk read in the next pass.
    std::vector<Chunk> chunks;
    for (int i = 0; i < 12; ++i)
        chunks.push_back({i % 2, static_cast<uint64_t>(i / 2) * 10, static_cast<uint64_t>(i / 2) * 10 + 10, 100000});
    auto g = Generate(Recording(2, chunks));
    const auto& at = g->layout.chunkAt;
    const std::vector<std::pair<uint64_t, int64_t>> expected = {
        {T0, static_cast<int64_t>(at[0])}, {T0 + 20, static_cast<int64_t>(at[4])}, {T0 + 40, static_cast<int64_t>(at[8])}};
    EXPECT_EQ(Entries(g->file.index), expected);
    // A second generation in the same Open reads nothing from the file again.
    const size_t reads = g->file.reader.FileReads();
    EXPECT_TRUE(g->file.index.GenerateIndex(g->file.StreamList(), g->file, g->file.reader.Length(), false));
    EXPECT_EQ(g->file.reader.FileReads(), reads);
    EXPECT_EQ(Entries(g->file.index), expected);

    auto small = Generate(Recording(2, {{0, 0, 10, 50}, {1, 0, 10, 50}, {0, 10, 20, 50}}));
    EXPECT_EQ(small->file.index.GetEntries().size(), 1u);
    auto discarded = Generate(Recording(2, chunks), true);
    EXPECT_FALSE(discarded->file.index.HasEntries());
    EXPECT_EQ(discarded->file.index.GetSweepCount(), 1);
}

TEST(CKVTAStreamIndex, ProgressAndCancel)
{
    auto g = Generate(Recording(1, {{0, 0, 10, 8}, {0, 10, 20, 8}, {0, 20, 30, 8}}));
    std::vector<int> percents;
    g->file.progress = [&](const char* text, int percent) {
        EXPECT_STREQ(text, "Generating index");
        percents.push_back(percent);
        return percents.size() == 2 ? 1 : 0;
    };
    EXPECT_FALSE(g->file.index.GenerateIndex(g->file.StreamList(), g->file, g->file.reader.Length(), false));
    EXPECT_FALSE(g->file.index.IsBuilt());
    EXPECT_EQ(g->file.index.GetSweepCount(), 0);
    EXPECT_FALSE(g->file.index.HasEntries());
    // A length below 100 bytes (or unknown) reports 100 % instead of dividing by zero.
    percents.clear();
    g->file.progress = [&](const char*, int percent) {
        percents.push_back(percent);
        return 0;
    };
    EXPECT_TRUE(g->file.index.GenerateIndex(g->file.StreamList(), g->file, 50, false));
    EXPECT_EQ(percents, std::vector<int>(3, 100));
}

TEST(CKVTAStreamIndex, StoredIndexIsUsedOnlyWhenItFits)
{
    const std::vector<Chunk> chunks = {{0, 0, 10, 8}, {0, 10, 20, 8}, {0, 40, 50, 8}};
    KvdLayout layout;
    Recording(1, chunks).Build(&layout);
    const int64_t last = static_cast<int64_t>(layout.chunkAt[2]);
    KvdIndexPlan good;
    good.entries = {{T0, static_cast<int64_t>(layout.chunkAt[0])}, {T0 + 40, last}};
    good.sweeps = {{T0, T0 + 20}, {T0 + 40, T0 + 50}};
    struct Case
    {
        const char* name;
        std::function<void(KvdIndexPlan&)> breakIt;
        bool accepted;
    };
    const Case cases[] = {
        {"good", [](KvdIndexPlan&) {}, true},
        {"entry count mismatch", [](KvdIndexPlan& i) { i.entryCount = 3; }, false},
        {"negative entry count", [](KvdIndexPlan& i) { i.entryCount = -1; i.entryBytes = -16; }, false},
        {"huge entry count", [](KvdIndexPlan& i) { i.entryCount = INT32_MAX; i.entryBytes = int64_t(INT32_MAX) * 16; }, false},
        {"sweep bytes mismatch", [](KvdIndexPlan& i) { i.sweepBytes = 48; }, false},
        {"huge sweep count", [](KvdIndexPlan& i) { i.sweepCount = 200000000; i.sweepBytes = 3200000000; }, false},
        {"last entry time mismatch", [&](KvdIndexPlan& i) { i.entries.back().first += 1; }, false},
        {"offset before the data", [](KvdIndexPlan& i) { i.entries.front().second = 10; }, false},
        {"offset past the index", [](KvdIndexPlan& i) { i.entries.front().second = 1 << 30; }, false},
        {"no entries", [](KvdIndexPlan& i) { i.entries.clear(); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KvdIndexPlan index = good;
        c.breakIt(index);
        KvdBuilder builder = Recording(1, chunks);
        builder.AddIndex(index);
        TempDir dir;
        ASSERT_TRUE(builder.WriteTo(dir.File("x.kvd")));
        KvdTestFile file;
        ASSERT_EQ(file.Open(dir.File("x.kvd")), 0);
        EXPECT_EQ(!file.storedIndexRejected, c.accepted);
        EXPECT_EQ(file.header.GetIndexFlag(), c.accepted ? 1 : 0);
        EXPECT_EQ(file.index.IsBuilt(), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(file.index.GetSweepCount(), 2);
            EXPECT_EQ(file.index.GetRecordPath(), "test.kvd");
        }
    }

    // Whole index records cut anywhere: refused, never read past the end.
    KvdBuilder builder = Recording(1, chunks);
    builder.AddIndex(good);
    KvdLayout where;
    const std::vector<uint8_t> bytes = builder.Build(&where);
    for (size_t cut = where.indexAt; cut < bytes.size(); cut += 7) {
        TempDir dir;
        ASSERT_TRUE(WriteFileBytes(dir.File("c.kvd"), std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut)));
        KvdTestFile file;
        ASSERT_EQ(file.Open(dir.File("c.kvd")), 0);
        EXPECT_TRUE(file.storedIndexRejected) << cut;
    }
}

TEST(CKVTAStreamIndex, TimeLookupsWithEntriesMatchTheLinearWalk)
{
    std::vector<Chunk> chunks;
    for (int i = 0; i < 40; ++i)
        chunks.push_back({i % 2, static_cast<uint64_t>(i / 2) * 100 + (i > 20 ? 1000 : 0),
                          static_cast<uint64_t>(i / 2) * 100 + 100 + (i > 20 ? 1000 : 0), 30000});
    auto g = Generate(Recording(2, chunks));
    ASSERT_GT(g->file.index.GetEntries().size(), 3u);
    KvdTestFile plain;  // the same file without entries: walks from the first block
    ASSERT_EQ(plain.Open(g->dir.File("i.kvd")), 0);
    for (uint64_t t = 0; t < 3200; t += 37) {
        SCOPED_TRACE(t);
        const CKVTATimeStamp stamp(T0 + t, T0);
        for (int s = 0; s < 2; ++s) {
            auto indexed = g->file.Stream(static_cast<size_t>(s))->GetChunk(stamp);
            auto linear = plain.Stream(static_cast<size_t>(s))->GetChunk(stamp);
            ASSERT_EQ(indexed == nullptr, linear == nullptr);
            if (indexed) {
                EXPECT_EQ(indexed->GetChunkOffset(), linear->GetChunkOffset());
            }
        }
    }
    uint64_t offset = 0;
    ASSERT_TRUE(g->file.index.FindEntryOffset(0, offset));
    EXPECT_EQ(offset, g->layout.chunkAt[0]);
}

TEST(CKVTAStreamIndex, RecordsAndCacheFilesRoundTrip)
{
    auto g = Generate(Recording(2, {{0, 0, 10, 8}, {1, 0, 10, 8}, {0, 20, 30, 8}}));
    CKVTAStreamIndex& index = g->file.index;
    EXPECT_EQ(index.GetSweepStartTime(-1, T0), nullptr);
    EXPECT_EQ(index.GetSweepStopTime(1, T0), nullptr);  // the reference stream has one sweep
    EXPECT_EQ(index.GetSweepStartValue(5), 0u);
    const auto stop = index.GetSweepStopTime(0, T0);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->GetTime(), T0 + 10);
    EXPECT_EQ(stop->GetStart(), T0);

    EXPECT_EQ(CKVTAStreamIndex::CacheFileName("/tmp/c/", 123), "/tmp/c/kvtidx123");
    const std::string folder = g->dir.Path() + "/";
    const std::string longPath(400, 'p');
    ASSERT_TRUE(index.WriteCache(folder, 42, longPath, 2));
    CKVTAStreamIndex loaded;
    ASSERT_TRUE(loaded.LoadCache(folder, 42, g->file.reader, g->file.dataStart));
    EXPECT_EQ(Entries(loaded), Entries(index));
    EXPECT_EQ(loaded.GetSweepCount(), 1);
    EXPECT_EQ(loaded.GetRecordPath(), std::string(256, 'p'));
    EXPECT_EQ(loaded.GetRecordStreamCount(), 2);
    EXPECT_FALSE(loaded.LoadCache(folder, 43, g->file.reader, g->file.dataStart));
    EXPECT_FALSE(loaded.LoadCache("", 42, g->file.reader, g->file.dataStart));

    // A cache whose entries do not match this data file is refused and leaves nothing.
    index.AddEntry(T0 + 999, static_cast<int64_t>(g->layout.chunkAt[1]));
    ASSERT_TRUE(index.WriteCache(folder, 44, "x", 2));
    EXPECT_FALSE(loaded.LoadCache(folder, 44, g->file.reader, g->file.dataStart));
    EXPECT_FALSE(loaded.IsBuilt());
    EXPECT_EQ(loaded.GetSweepCount(), 0);
    EXPECT_EQ(index.Write(nullptr), 1);
}
