// Fuzzes the merge: the input is opened twice as two recordings, checked for compatibility and,
// when they may be merged, merged into an in-memory output file that must then open with the
// same streams and hold every chunk of both inputs.
//
// Input: the whole file, starting at its magic.

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "datafile/container/CKVTAChunkChain.h"
#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/container/KvdFormat.h"
#include "datafile/events/CKVTAEvent.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/RecordingBudget.h"

namespace {

struct MemoryFile
{
    int fd = -1;
    std::string path;

    explicit MemoryFile(const char* name)
    {
        fd = memfd_create(name, 0);
        FUZZ_CHECK(fd >= 0);
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    void Fill(const uint8_t* data, size_t size) const
    {
        FUZZ_CHECK(ftruncate(fd, 0) == 0);
        FUZZ_CHECK(size == 0 || pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
    }
};

// Chunks of the file-level walk; a walk longer than the file allows has gone round in a loop.
size_t CountChunks(CKVTAStreamFile& file, uint64_t size)
{
    size_t chunks = 0;
    for (auto block = file.GetFirstChunk(); block;
         block = file.GetNextChunk(*block)) {
        ++chunks;
        FUZZ_CHECK(chunks <= size / Kvd::DataChunk::kHeaderBytes);
    }
    return chunks;
}

// Chunks of the file-level walk that a merge into `output` copies: all but those of no stream of
// `file` that carry the id of one of the output's streams.
size_t CountCopiedChunks(CKVTAStreamFile& file, CKVTAStreamFile& output, uint64_t size)
{
    std::set<CKVTAChunkChain::Key> own;
    std::set<CKVTAChunkChain::Key> given;
    for (int i = 0; i < file.GetStreamCount(); ++i)
        own.insert(file.GetStream(i)->GetChunkKey());
    for (int i = 0; i < output.GetStreamCount(); ++i)
        given.insert(output.GetStream(i)->GetChunkKey());
    size_t chunks = 0;
    for (auto block = file.GetFirstChunk(); block; block = file.GetNextChunk(*block)) {
        const CKVTAChunkChain::Key key = block->GetChunkKey();
        chunks += own.count(key) || !given.count(key) ? 1 : 0;
        FUZZ_CHECK(chunks <= size / Kvd::DataChunk::kHeaderBytes);
    }
    return chunks;
}

// Records of a stream, walked with its cursor.
size_t CountRecords(CKVTAStream& stream, uint64_t size)
{
    auto cursor = stream.GetFirstEvent();
    size_t records = 0;
    if (cursor) {
        do
            FUZZ_CHECK(++records <= size / 2);
        while (cursor->Next());
    }
    return records;
}

// True when every data chunk belongs to exactly one stream, as in a file a recording program
// wrote. A chunk of no stream keeps its id in the merge, and an old file's stray chunk whose id
// reads as a stream id of the new layout would join that stream there.
bool OwnChunksEach(CKVTAStreamFile& file)
{
    std::set<CKVTAChunkChain::Key> keys;
    for (int i = 0; i < file.GetStreamCount(); ++i)
        if (!keys.insert(file.GetStream(i)->GetChunkKey()).second)
            return false;
    for (auto block = file.GetFirstChunk(); block;
         block = file.GetNextChunk(*block))
        if (keys.count(block->GetChunkKey()) == 0)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!FuzzRecording::WithinBudget(data, size))
        return 0;
    static const MemoryFile input("merge-input");
    static const MemoryFile output("merge-output");
    input.Fill(data, size);
    output.Fill(nullptr, 0);

    CKVTAStreamFile first;
    CKVTAStreamFile second;
    if (first.Open(input.path) != CKVTAStreamFile::kOpenOk)
        return 0;
    FUZZ_CHECK(second.Open(input.path) == CKVTAStreamFile::kOpenOk);
    std::vector<size_t> records;
    for (int i = 0; i < first.GetStreamCount(); ++i)
        records.push_back(CountRecords(*first.GetStream(i), size));

    CKVTAStreamFile* files[] = {&first, &second};
    const int compatible = CKVTAStreamFile::CheckMergeCompatibility(files, 2);
    // Against itself only a stream that cannot be merged at all (channels that share a number
    // in a stream whose columns are reordered) refuses; otherwise both carry one press time.
    FUZZ_CHECK(compatible == 0 || compatible == 3);

    CKVTAStreamFile merged;
    const int result = merged.MergeFiles(files, 2, output.path, nullptr);
    // 2: merged, and the time the damaged input lacks is named.
    FUZZ_CHECK(result == 0 || result == 1 || result == 2);
    FUZZ_CHECK(result == 1 || CKVTAStreamFile::GetLastErrorText().empty());
    FUZZ_CHECK((result == 2) == !merged.GetMergeLossText().empty());
    if (result == 1)
        return 0;

    CKVTAStreamFile reopened;
    FUZZ_CHECK(reopened.Open(output.path) == CKVTAStreamFile::kOpenOk);
    FUZZ_CHECK(reopened.GetStreamCount() == first.GetStreamCount());
    struct stat outputStat {};
    FUZZ_CHECK(fstat(output.fd, &outputStat) == 0);
    const uint64_t writtenSize = static_cast<uint64_t>(outputStat.st_size);
    // Every chunk copied is written twice (the merged file reads all its heads whole); how the
    // merged file judges a copy whose times were nonsense already is its own affair.
    CKVTAChunkChain& written = *reopened.GetChunkChain();
    written.ScanAll();
    size_t heads = 0;
    while (written.Has(heads))
        ++heads;
    FUZZ_CHECK(written.LostSpans().empty());
    FUZZ_CHECK(heads == 2 * CountCopiedChunks(first, merged, size));
    const size_t trusted = CountChunks(reopened, writtenSize);
    FUZZ_CHECK(trusted <= heads);
    reopened.GetSweepCount();
    // Each stream keeps its id, and holds its records twice where the merged file trusts every
    // chunk it holds.
    const bool wellFormed = OwnChunksEach(first) && trusted == heads;
    for (int i = 0; i < reopened.GetStreamCount(); ++i) {
        CKVTAStream& stream = *reopened.GetStream(i);
        // An old file's digital stream carries no id; the merged file gives it a "digi" one.
        const std::string before = first.GetStream(i)->GetId();
        FUZZ_CHECK(stream.GetId() == before
                   || (before.empty() && stream.GetId().compare(0, 4, "digi") == 0));
        const size_t count = CountRecords(stream, writtenSize);
        FUZZ_CHECK(!wellFormed || count == 2 * records[static_cast<size_t>(i)]);
    }
    return 0;
}
