#include "tests/support/KvdLostHeads.h"

#include <algorithm>

#include "datafile/container/KvdFormat.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/TempDir.h"

bool WriteKvdRecordingWithoutHeads(const KvdRecordingPlan& plan, const std::string& path,
                                   const std::vector<KvdChunkAt>& lost)
{
    KvdLayout layout;
    std::vector<KvdPlannedChunk> chunks;
    if (!WriteKvdRecording(plan, path, &layout, &chunks))
        return false;
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    for (const auto& [stream, startMs] : lost) {
        const auto chunk = std::find_if(chunks.begin(), chunks.end(), [&](const KvdPlannedChunk& c) {
            return c.stream == stream && c.startNs == static_cast<uint64_t>(startMs) * 1000000u;
        });
        if (chunk == chunks.end())
            return false;
        const size_t at = layout.chunkAt[static_cast<size_t>(chunk - chunks.begin())];
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), Kvd::DataChunk::kHeaderBytes, 0);
    }
    return WriteFileBytes(path, bytes);
}
