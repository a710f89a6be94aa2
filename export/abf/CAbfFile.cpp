#include "export/abf/CAbfFile.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "export/abf/AbfFileLibrary.h"
#include "export/abf/AbfMessages.h"
#include "platform/Guid.h"

namespace {

// Header fields whose values are those of the header written at open, whatever the caller's
// header says at the end: pre-trigger samples, trigger threshold, DAC holding levels, digital
// holding values, telegraph gains (byte ranges, end exclusive).
struct ByteRange
{
    size_t from;
    size_t to;
};
constexpr ByteRange kKeptFromOpen[] = {{142, 146}, {164, 168}, {1394, 1410}, {1584, 1588}, {4576, 4640}};

// Section positions and counts that only the library sets.
constexpr size_t kLibraryCounts[] = {
    AbfField::lActualAcqLength, AbfField::lActualEpisodes, AbfField::lTagSectionPtr,
    AbfField::lNumTagEntries, AbfField::lScopeConfigPtr, AbfField::lNumScopes,
    AbfField::lDACFilePtrOld, AbfField::lDACFileNumEpisodesOld, AbfField::lDeltaArrayPtr,
    AbfField::lNumDeltas, AbfField::lVoiceTagPtr, AbfField::lVoiceTagEntries,
    AbfField::lSynchArrayPtr, AbfField::lSynchArraySize, AbfField::lStatisticsConfigPtr,
    AbfField::lAnnotationSectionPtr, AbfField::lNumAnnotations, AbfField::lDACFilePtr,
    AbfField::lDACFilePtr + 4, AbfField::lDACFileNumEpisodes, AbfField::lDACFileNumEpisodes + 4,
};

constexpr int32_t kDataSectionBlock = static_cast<int32_t>(kAbfHeaderBytes / kAbfBlockBytes);

int32_t BlockOf(uint64_t position)
{
    return static_cast<int32_t>(position / kAbfBlockBytes);
}

} // namespace

CAbfFile::~CAbfFile()
{
    if (m_fd >= 0)
        close(m_fd);
}

int CAbfFile::Create(const std::string& path, unsigned flags)
{
    // A file that was there before (a device such as /dev/full, a named pipe, a user's file) is
    // never removed by Discard: only one that this open created.
    m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    m_created = m_fd >= 0;
    if (m_fd < 0 && errno == EEXIST)
        m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return errno == EMFILE || errno == ENFILE ? kAbfNoFileHandles : kAbfOpenFailed;
    m_name = path;
    m_mode = kModeWrite;
    m_options = flags & 1;
    m_output.reset(new CAbfOutput(m_fd, kAbfHeaderBytes));
    m_dataEnd = m_output->GetMark();
    return 0;
}

int CAbfFile::Start(AbfFileHeader& header)
{
    AbfFileHeader start = header;
    for (size_t offset : kLibraryCounts)
        start.Set<int32_t>(offset, 0);
    start.Set<int32_t>(AbfField::lDataSectionPtr, kDataSectionBlock);
    start.Set<uint32_t>(AbfField::ulFileCRC, 0);

    GUID guid;
    if (!CoCreateGuid(&guid))
        return kAbfOpenFailed;
    GuidToBytes(guid, m_guid);
    std::memcpy(start.bytes + AbfField::FileGUID, m_guid, sizeof m_guid);
    m_sampleSize = AbfGetSampleSize(start);

    if (int rc = WriteWholeHeader(start))
        return rc;
    m_openHeader = start;
    header = start;
    return 0;
}

int CAbfFile::WriteWholeHeader(AbfFileHeader& header)
{
    // The checksum covers the whole file with its own field at zero.
    header.Set<uint32_t>(AbfField::ulFileCRC, 0);
    header.Set<uint32_t>(AbfField::ulFileCRC, m_output->FileCrc(header.bytes));
    return m_output->WriteHeader(header.bytes, kAbfHeaderBytes) ? 0 : kAbfDiskFull;
}

int CAbfFile::WriteMultiplexData(AbfFileHeader& header, unsigned flags, const void* samples,
                                 int32_t start, uint32_t count)
{
    if (m_mode != kModeWrite)
        return kAbfReadOnly;
    if (count > 0 && !samples)
        return kAbfInvalidParameters;
    // ABF 1.x counts every sample of the file in 32 bits.
    if (static_cast<int64_t>(count) > INT32_MAX - m_samplesWritten)
        return kAbfInvalidParameters;
    if (count == 0)
        return 0;

    if (m_sectionsWritten) {
        // New samples go where the sections of an earlier completion start.
        if (!m_output->Rewind(m_dataEnd))
            return kAbfDiskFull;
        m_sectionsWritten = false;
    }
    const bool gapFree = header.Get<int16_t>(AbfField::nOperationMode) == 3;
    const bool haveOpenEntry = m_openSynchLength > 0;
    const bool extend = !gapFree && (flags & kAbfAppendToEpisode) && haveOpenEntry;
    if (!gapFree && !extend && haveOpenEntry) {
        uint8_t entry[kAbfSynchEntryBytes];
        StoreLE<int32_t>(entry, m_openSynchStart);
        StoreLE<int32_t>(entry + 4, static_cast<int32_t>(m_openSynchLength));
        if (int rc = m_synch.Append(entry, sizeof entry))
            return rc;
        m_openSynchLength = 0;
    }

    m_completed = false;
    if (!m_output->Append(samples, static_cast<size_t>(count) * m_sampleSize))
        return kAbfDiskFull;
    m_dataEnd = m_output->GetMark();

    if (gapFree) {
        // Every append extends the one episode of a gap-free file.
        m_episodes = 1;
    } else if (extend) {
        m_openSynchLength += count;
    } else {
        m_openSynchStart = start;
        m_openSynchLength = count;
        ++m_synchCount;
        ++m_episodes;
    }
    m_samplesWritten += count;
    header.Set<int32_t>(AbfField::lActualAcqLength, static_cast<int32_t>(m_samplesWritten));
    header.Set<int32_t>(AbfField::lActualEpisodes, m_episodes);
    return 0;
}

int CAbfFile::WriteTag(AbfFileHeader& header, const AbfTag& tag)
{
    if (m_mode != kModeWrite)
        return kAbfReadOnly;
    if (m_tagCount == INT32_MAX)
        return kAbfInvalidParameters;
    uint8_t record[kAbfTagBytes] = {};
    StoreLE<int32_t>(record, tag.time);
    std::memcpy(record + 4, tag.comment, kAbfTagCommentWidth);
    StoreLE<int16_t>(record + 60, tag.type);
    StoreLE<int16_t>(record + 62, tag.voiceTagNumber);
    if (int rc = m_tags.Append(record, sizeof record))
        return rc;
    ++m_tagCount;
    m_completed = false;
    header.Set<int32_t>(AbfField::lNumTagEntries, m_tagCount);
    return 0;
}

int CAbfFile::AppendSections(AbfFileHeader& header)
{
    const int32_t samples = static_cast<int32_t>((m_dataEnd.end - kAbfHeaderBytes) / m_sampleSize);
    if (m_synchCount > 0) {
        if (!m_output->PadTo(kAbfBlockBytes))
            return kAbfDiskFull;
        header.Set<int32_t>(AbfField::lSynchArrayPtr, BlockOf(m_output->End()));
        if (int rc = m_synch.CopyTo(*m_output))
            return rc;
        if (m_openSynchLength > 0) {
            uint8_t entry[kAbfSynchEntryBytes];
            StoreLE<int32_t>(entry, m_openSynchStart);
            StoreLE<int32_t>(entry + 4, static_cast<int32_t>(m_openSynchLength));
            if (!m_output->Append(entry, sizeof entry))
                return kAbfDiskFull;
        }
        header.Set<int32_t>(AbfField::lSynchArraySize, m_synchCount);
        header.Set<int32_t>(AbfField::lActualEpisodes, m_synchCount);
        header.Set<int32_t>(AbfField::lActualAcqLength, samples);
    } else {
        const int16_t mode = header.Get<int16_t>(AbfField::nOperationMode);
        const int32_t perEpisode = header.Get<int32_t>(AbfField::lNumSamplesPerEpisode);
        int32_t acquired = samples;
        int32_t episodes = m_episodes;
        if (mode == 3) {
            header.Set<int32_t>(AbfField::lEpisodesPerRun, 1);
            header.Set<int32_t>(AbfField::lRunsPerTrial, 1);
            // Gap-free data is read in pieces of the episode length.
            if (perEpisode > 0)
                episodes = samples / perEpisode + (samples % perEpisode != 0 ? 1 : 0);
        } else if (mode == 5 && perEpisode > 0) {
            episodes = samples / perEpisode;
            acquired = episodes * perEpisode;
        }
        header.Set<int32_t>(AbfField::lActualAcqLength, acquired);
        header.Set<int32_t>(AbfField::lActualEpisodes, episodes);
    }
    if (m_tagCount > 0) {
        if (!m_output->PadTo(kAbfBlockBytes))
            return kAbfDiskFull;
        header.Set<int32_t>(AbfField::lTagSectionPtr, BlockOf(m_output->End()));
        if (int rc = m_tags.CopyTo(*m_output))
            return rc;
        header.Set<int32_t>(AbfField::lNumTagEntries, m_tagCount);
    }
    if (m_voiceTags.Count() > 0) {
        if (!m_output->PadTo(kAbfBlockBytes))
            return kAbfDiskFull;
        header.Set<int32_t>(AbfField::lVoiceTagPtr, BlockOf(m_output->End()));
        if (int rc = m_voiceTags.AppendTo(*m_output))
            return rc;
        header.Set<int32_t>(AbfField::lVoiceTagEntries, static_cast<int32_t>(m_voiceTags.Count()));
    }
    return m_output->PadTo(kAbfBlockBytes) ? 0 : kAbfDiskFull;
}

int CAbfFile::UpdateHeader(AbfFileHeader& header)
{
    if (m_mode != kModeWrite)
        return kAbfReadOnly;
    // Completed before and nothing added since: the file is already what it should be.
    if (m_completed)
        return 0;
    if (m_sectionsWritten) {
        if (!m_output->Rewind(m_dataEnd))
            return kAbfDiskFull;
        m_sectionsWritten = false;
    }

    AbfFileHeader completed = header;
    for (size_t offset : kLibraryCounts)
        completed.Set<int32_t>(offset, 0);
    completed.Set<int32_t>(AbfField::lDataSectionPtr, kDataSectionBlock);
    std::memcpy(completed.bytes + AbfField::FileGUID, m_guid, sizeof m_guid);
    for (const ByteRange& kept : kKeptFromOpen)
        std::memcpy(completed.bytes + kept.from, m_openHeader.bytes + kept.from, kept.to - kept.from);

    int rc = AppendSections(completed);
    if (rc == 0)
        rc = WriteWholeHeader(completed);
    if (rc != 0) {
        // Back to the samples alone; the header at open still describes a readable file.
        const bool cut = m_output->Rewind(m_dataEnd);
        static_cast<void>(cut);
        return rc;
    }
    m_sectionsWritten = m_output->End() > m_dataEnd.end;
    m_completed = true;
    header = completed;
    return 0;
}

int CAbfFile::Close()
{
    if (m_fd < 0)
        return 0;
    const int rc = close(m_fd);
    m_fd = -1;
    return rc == 0 ? 0 : kAbfDiskFull;
}

void CAbfFile::Discard()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    if (m_created && !m_name.empty())
        unlink(m_name.c_str());
}
