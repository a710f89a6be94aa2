#pragma once
// One ABF file open for writing in the ABF file library: its descriptor, the counts of samples
// and episodes, the synch array and tags waiting for the end, and the checked output.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "export/abf/AbfHeader.h"
#include "export/abf/CAbfBlockQueue.h"
#include "export/abf/CAbfOutput.h"
#include "export/abf/CAbfTempStore.h"

class CAbfFile
{
public:
    enum Mode { kModeRead = 2, kModeWrite = 4 };

    CAbfFile() = default;
    ~CAbfFile();   // closes the descriptor when still open; the file stays on disk
    CAbfFile(const CAbfFile&) = delete;
    CAbfFile& operator=(const CAbfFile&) = delete;

    // Creates (or empties) the file for reading and writing. 0, 1025 when the process or
    // system has no descriptor left, else 1004.
    [[nodiscard]] int Create(const std::string& path, unsigned flags);
    // Writes the first header of a new file (GUID, zeroed counts and positions, CRC) and hands
    // it back through `header`. 0 or 1004 (no GUID) / 1015 (not written).
    [[nodiscard]] int Start(AbfFileHeader& header);
    // Appends `count` samples of all channels that start at `start` (synch time in samples).
    [[nodiscard]] int WriteMultiplexData(AbfFileHeader& header, unsigned flags, const void* samples,
                                         int32_t start, uint32_t count);
    [[nodiscard]] int WriteTag(AbfFileHeader& header, const AbfTag& tag);
    [[nodiscard]] int UpdateHeader(AbfFileHeader& header);
    // Closes the descriptor. 0, or 1015 when the system reports that written data was lost.
    [[nodiscard]] int Close();
    // Closes the descriptor and removes the file (a file that never got a good header).
    void Discard();

    int Fd() const { return m_fd; }
    CAbfBlockQueue& VoiceTagBlocks() { return m_voiceTags; }

private:
    [[nodiscard]] int AppendSections(AbfFileHeader& header);
    [[nodiscard]] int WriteWholeHeader(AbfFileHeader& header);

    int m_fd = -1;
    int m_mode = kModeWrite;
    unsigned m_options = 0;
    std::string m_name;
    bool m_created = false;   // this open made the file, so a failed start may remove it
    std::unique_ptr<CAbfOutput> m_output;
    AbfFileHeader m_openHeader;            // as written at open; some fields are kept from it
    uint8_t m_guid[16] = {};
    size_t m_sampleSize = 2;

    CAbfOutput::Mark m_dataEnd;            // end of the samples (sections follow it)
    int64_t m_samplesWritten = 0;
    int32_t m_episodes = 0;

    CAbfTempStore m_synch{"synch"};        // finished synch entries, 8 bytes each
    int32_t m_synchCount = 0;              // entries, the open one included
    int32_t m_openSynchStart = 0;          // the newest entry, which an append may extend
    int64_t m_openSynchLength = 0;

    CAbfTempStore m_tags{"tags"};
    int32_t m_tagCount = 0;
    CAbfBlockQueue m_voiceTags;

    bool m_completed = false;              // sections and final header written, nothing since
    bool m_sectionsWritten = false;        // bytes after m_dataEnd belong to an earlier completion
};
