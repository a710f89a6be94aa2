// Fuzzes the merge: the input is opened twice as two recordings, checked for compatibility and,
// when they may be merged, merged into an in-memory output file that must then open with the
// same streams and hold every chunk of both inputs.
//
// Input: the whole file, starting at its magic.

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "datafile/CKVTAStreamFile.h"
#include "datafile/KvdFormat.h"
#include "fuzz/FuzzCheck.h"

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
    for (auto block = file.ReadChunkHeader(file.GetDataStart()); block;
         block = file.GetNextChunk(*block)) {
        ++chunks;
        FUZZ_CHECK(chunks <= size / Kvd::DataChunk::kHeaderBytes);
    }
    return chunks;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const MemoryFile input("merge-input");
    static const MemoryFile output("merge-output");
    input.Fill(data, size);
    output.Fill(nullptr, 0);

    CKVTAStreamFile first;
    CKVTAStreamFile second;
    if (first.Open(input.path) != CKVTAStreamFile::kOpenOk)
        return 0;
    FUZZ_CHECK(second.Open(input.path) == CKVTAStreamFile::kOpenOk);
    const size_t chunks = CountChunks(first, size);

    CKVTAStreamFile* files[] = {&first, &second};
    const int compatible = CKVTAStreamFile::CheckMergeCompatibility(files, 2);
    // Against itself only a stream that cannot be merged at all (channels that share a number
    // in a stream whose columns are reordered) refuses; otherwise both carry one press time.
    FUZZ_CHECK(compatible == 0 || compatible == 3);

    CKVTAStreamFile merged;
    const int result = merged.MergeFiles(files, 2, output.path, nullptr);
    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(result == 1 || CKVTAStreamFile::GetLastErrorText().empty());
    if (result != 0)
        return 0;

    CKVTAStreamFile reopened;
    FUZZ_CHECK(reopened.Open(output.path) == CKVTAStreamFile::kOpenOk);
    FUZZ_CHECK(reopened.GetStreamCount() == first.GetStreamCount());
    struct stat written {};
    FUZZ_CHECK(fstat(output.fd, &written) == 0);
    FUZZ_CHECK(CountChunks(reopened, static_cast<uint64_t>(written.st_size)) == 2 * chunks);
    reopened.GetSweepCount();
    return 0;
}
