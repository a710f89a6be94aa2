#include "datafile/container/CKVTAFileHeader.h"

#include <cstring>

namespace FH = Kvd::FileHeader;

namespace {

// Reads an 8-byte id and the int64 size behind it; false on a short read or another id.
bool ReadFrame(CFileReader& file, const char* expectedId, int64_t& size)
{
    char id[Kvd::kIdBytes];
    return file.Read(id, sizeof id) && std::memcmp(id, expectedId, Kvd::kIdBytes) == 0
           && file.ReadValue(size);
}

constexpr uint16_t kVersion0ChannelGroups[7] = {60, 0, 3, 60, 1, 63, 64};

} // namespace

bool CKVTAFileHeader::Read(CFileReader& file, int64_t& listHeaderSize)
{
    Clear();
    int64_t headerSize = 0;
    file.Seek(Kvd::kListHeaderAt);
    uint16_t version = 0;
    if (!ReadFrame(file, Kvd::kIdListHeader, listHeaderSize)
        || !ReadFrame(file, Kvd::kIdFileHeader, headerSize) || !file.ReadValue(version))
        return false;
    const size_t bytes = Kvd::FileHeaderBytesOnDisk(version);
    if (bytes == 0)
        return false;
    uint8_t payload[FH::kBytes];
    StoreLE<uint16_t>(payload, version);
    if (!file.Read(payload + 2, bytes - 2))
        return false;
    return Parse(payload, bytes);
}

bool CKVTAFileHeader::Parse(const uint8_t* payload, size_t size)
{
    Clear();
    if (!payload || size < 2)
        return false;
    const uint16_t version = LoadLE<uint16_t>(payload);
    const size_t bytes = Kvd::FileHeaderBytesOnDisk(version);
    if (bytes == 0 || size < bytes)
        return false;
    if (version == 0) {
        Set<int32_t>(FH::kLayoutKind, 1);
        for (int i = 0; i < 7; ++i)
            Set<uint16_t>(FH::kElectrodeCount1 + 2 * i, kVersion0ChannelGroups[i]);
    }
    // The file's bytes win over the version-0 presets where the version stores them.
    std::memcpy(m_block.data(), payload, bytes);
    ApplyVersionRules();
    if (version >= 1 && (GetRecordingMode() < 0 || GetRecordingMode() > 2)) {
        Clear();
        return false;
    }
    return true;
}

void CKVTAFileHeader::ApplyVersionRules()
{
    const uint16_t version = GetVersion();
    if (version == 0) {
        Set<float>(FH::kWindowStart, -1.0f);
        Set<float>(FH::kWindowExtent, -1.0f);
        Set<int32_t>(FH::kChunkTimeLimit, 128000000);
        Set<int32_t>(FH::kSampleRate, 25000000);
    }
    if (version == 1)
        Set<int32_t>(FH::kChunkTimeLimit, 128000000);
    if (version <= 2)
        Set<uint64_t>(FH::kStartTime, GetRecordingTime());
    if (version < 8) {
        const uint16_t electrodeFirst2 = static_cast<uint16_t>(Get<uint16_t>(FH::kAnalogCount1)
                                                               + Get<uint16_t>(FH::kElectrodeCount1));
        Set<uint16_t>(FH::kElectrodeFirst2, electrodeFirst2);
        Set<uint16_t>(FH::kAnalogFirst2,
                      static_cast<uint16_t>(Get<uint16_t>(FH::kElectrodeCount2) + electrodeFirst2));
        Set<int32_t>(FH::kVersion8Value, -1);
    }
}

bool CKVTAFileHeader::ReadListStreams(CFileReader& file, int64_t& size)
{
    return ReadFrame(file, Kvd::kIdListStreams, size);
}

bool CKVTAFileHeader::ReadIndexPosition(CFileReader& file, int64_t& indexPosition)
{
    int64_t size = 0;
    return ReadFrame(file, Kvd::kIdIndexPosition, size) && file.ReadValue(indexPosition);
}

std::string CKVTAFileHeader::GetText(size_t offset, size_t width) const
{
    if (offset >= FH::kBytes)
        return std::string();
    if (width > FH::kBytes - offset)
        width = FH::kBytes - offset;
    return TextField(m_block.data() + offset, width);
}

void CKVTAFileHeader::SetText(size_t offset, size_t width, const std::string& text)
{
    if (offset >= FH::kBytes || width == 0)
        return;
    if (width > FH::kBytes - offset)
        width = FH::kBytes - offset;
    std::memset(m_block.data() + offset, 0, width);
    std::memcpy(m_block.data() + offset, text.data(), std::min(text.size(), width - 1));
}

std::string CKVTAFileHeader::GetTextBlock() const
{
    return GetText(FH::kTextBlock, FH::kTextBlockWidth);
}

std::string CKVTAFileHeader::GetStartTriggerId() const
{
    return GetText(FH::kStartTriggerId, FH::kTriggerIdWidth);
}

std::string CKVTAFileHeader::GetTitle() const
{
    return GetText(FH::kTitle, FH::kTitleWidth);
}

std::string CKVTAFileHeader::GetSubtitle() const
{
    return GetText(FH::kSubtitle, FH::kSubtitleWidth);
}

bool CKVTAFileHeader::GetInfoRecordValues(int i, int32_t ints[6], double doubles[4]) const
{
    if (i < 0 || i >= FH::kInfoRecordCount)
        return false;
    const size_t at = FH::kInfoRecords + FH::kInfoRecordBytes * static_cast<size_t>(i);
    for (int k = 0; k < 6; ++k)
        ints[k] = Get<int32_t>(at + 4 * k);
    for (int k = 0; k < 4; ++k)
        doubles[k] = Get<double>(at + 24 + 8 * k);
    return true;
}

std::string CKVTAFileHeader::GetInfoRecordText(int i) const
{
    if (i < 0 || i >= FH::kInfoRecordCount)
        return std::string();
    return GetText(FH::kInfoRecords + FH::kInfoRecordBytes * static_cast<size_t>(i) + FH::kInfoRecordText,
                   FH::kInfoRecordTextWidth);
}
