#pragma once
// The file header block of a recorded-data file, read by version with its by-version defaults.

#include <array>
#include <cstdint>
#include <string>

#include "datafile/container/CFileReader.h"
#include "datafile/container/KvdFormat.h"
#include "platform/CByteReader.h"

// One zero-filled 2328-byte block whatever the version on disk; fields are read by offset, so a
// field that the version does not store reads as its default. Text getters stop at their field
// width: files do not always terminate them.
class CKVTAFileHeader
{
public:
    CKVTAFileHeader() { Clear(); }

    void Clear() { m_block.fill(0); }

    // Reads "LISThdr " (at file offset 16) and "KVTHDR  " with the header of its version, then
    // applies the by-version rules. Leaves the reader behind the header. False on a short read,
    // another id, a version above 11 or, from version 1, a recording mode other than 0, 1, 2;
    // the block is then cleared.
    [[nodiscard]] bool Read(CFileReader& file, int64_t& listHeaderSize);
    // Same from the header payload alone (version field first); false when `size` is too short
    // for the version it names, or as above.
    [[nodiscard]] bool Parse(const uint8_t* payload, size_t size);

    // "LISTstrm" behind the streams of a version-0 file: false when missing or short.
    [[nodiscard]] static bool ReadListStreams(CFileReader& file, int64_t& size);
    // "IDX1POS " behind the streams from version 3: false when missing or short.
    [[nodiscard]] static bool ReadIndexPosition(CFileReader& file, int64_t& indexPosition);

    template <class T>
    T Get(size_t offset) const
    {
        static_assert(sizeof(T) <= Kvd::FileHeader::kBytes, "field too wide");
        return offset <= Kvd::FileHeader::kBytes - sizeof(T) ? LoadLE<T>(m_block.data() + offset) : T();
    }
    template <class T>
    void Set(size_t offset, T value)
    {
        if (offset <= Kvd::FileHeader::kBytes - sizeof(T))
            StoreLE<T>(m_block.data() + offset, value);
    }
    // The characters of a text field before its first NUL, at most `width`.
    std::string GetText(size_t offset, size_t width) const;
    void SetText(size_t offset, size_t width, const std::string& text);

    uint16_t GetVersion() const { return Get<uint16_t>(Kvd::FileHeader::kVersion); }
    int32_t GetProgramVersion() const { return Get<int32_t>(Kvd::FileHeader::kProgramVersion1); }
    int32_t GetProgramVersion2() const { return Get<int32_t>(Kvd::FileHeader::kProgramVersion2); }
    std::string GetTextBlock() const;
    uint64_t GetRecordingTime() const { return Get<uint64_t>(Kvd::FileHeader::kRecordingTime); }
    int32_t GetStreamCount() const { return Get<int32_t>(Kvd::FileHeader::kStreamCount); }
    int32_t GetSampleRate() const { return Get<int32_t>(Kvd::FileHeader::kSampleRate); }
    int32_t GetRecordingMode() const { return Get<int32_t>(Kvd::FileHeader::kRecordingMode); }
    float GetWindowStart() const { return Get<float>(Kvd::FileHeader::kWindowStart); }
    float GetWindowExtent() const { return Get<float>(Kvd::FileHeader::kWindowExtent); }
    uint16_t GetTriggerStreamNumber() const { return Get<uint16_t>(Kvd::FileHeader::kTriggerStreamNumber); }
    int32_t GetLayoutKind() const { return Get<int32_t>(Kvd::FileHeader::kLayoutKind); }
    uint64_t GetStopTime() const { return Get<uint64_t>(Kvd::FileHeader::kStopTime); }
    int64_t GetDataChunkCount() const { return Get<int64_t>(Kvd::FileHeader::kDataChunkCount); }
    int32_t GetIndexFlag() const { return Get<int32_t>(Kvd::FileHeader::kIndexFlag); }
    int32_t GetChunkTimeLimit() const { return Get<int32_t>(Kvd::FileHeader::kChunkTimeLimit); }
    uint64_t GetStartTime() const { return Get<uint64_t>(Kvd::FileHeader::kStartTime); }
    std::string GetStartTriggerId() const;
    int32_t GetVersion8Value() const { return Get<int32_t>(Kvd::FileHeader::kVersion8Value); }
    std::string GetTitle() const;
    std::string GetSubtitle() const;
    uint8_t GetStimulatorFlag() const { return Get<uint8_t>(Kvd::FileHeader::kStimulatorFlag); }

    // Info record i (0..3): six int32 then four float64; false for i outside 0..3.
    [[nodiscard]] bool GetInfoRecordValues(int i, int32_t ints[6], double doubles[4]) const;
    // Text of info record i, empty for i outside 0..3.
    std::string GetInfoRecordText(int i) const;

    std::array<uint8_t, Kvd::FileHeader::kBytes>& Block() { return m_block; }

private:
    void ApplyVersionRules();

    std::array<uint8_t, Kvd::FileHeader::kBytes> m_block;
};
