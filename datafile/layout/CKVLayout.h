#pragma once
// Electrode and hardware layout of a recording: one layout record per channel, read from the
// "LAYOUT  " chunk or built from the file header's channel counts.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// One channel of a layout. Fields start at the values a record has before anything fills it.
struct LayoutRecord
{
    int32_t hwid = -1;               // channel number
    int32_t subtype = -1;            // 0 electrode, 1 analog input, 2 digital input
    int32_t channelValue1 = -1;
    int32_t channelValue2 = 0;
    int32_t channelValue3 = 50000000;
    std::string name;                // channel label
    std::string secondName;          // label with the array letter in double-array layouts
    int32_t unitId = -1;             // electrode array of the channel, -1 none
    std::string unitName;
    int32_t positionValue0 = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t positionValue3 = 0;
    int32_t positionValue4 = 1000;
    int32_t positionValue5 = 1000;
    int32_t positionValue6 = 1000;
    int32_t dx = 0;                  // grid column x 100
    int32_t dy = 0;                  // grid row x 100
    int32_t dxextend = 100;          // cell width, percent of a cell
    int32_t dyextend = 100;
    std::string thirdName;
    std::string hardwareName;
    int32_t firstChannel = -1;
    int32_t reserved = 0;
};

// Byte layout of one layout record on disk. Versions 1 and 2 of the chunk store only the first
// kBytesV1 or kBytesV2 bytes of it.
namespace LayoutRecordBytes {
constexpr size_t kHwid = 0;
constexpr size_t kSubtype = 4;
constexpr size_t kChannelValue1 = 8;
constexpr size_t kChannelValue2 = 12;
constexpr size_t kChannelValue3 = 16;
constexpr size_t kName = 20;
constexpr size_t kNameWidth = 257;
constexpr size_t kSecondName = 277;
constexpr size_t kPadding = 534;           // 2 bytes, written 0
constexpr size_t kUnitId = 536;
constexpr size_t kUnitName = 540;
constexpr size_t kUnitNameWidth = 260;
constexpr size_t kPositionValue0 = 800;
constexpr size_t kX = 804;
constexpr size_t kY = 808;
constexpr size_t kPositionValue3 = 812;
constexpr size_t kPositionValue4 = 816;
constexpr size_t kPositionValue5 = 820;
constexpr size_t kPositionValue6 = 824;
constexpr size_t kDx = 828;
constexpr size_t kDy = 832;
constexpr size_t kDxExtend = 836;
constexpr size_t kDyExtend = 840;
constexpr size_t kThirdName = 844;
constexpr size_t kHardwareName = 1101;
constexpr size_t kHardwareNameWidth = 259;
constexpr size_t kFirstChannel = 1360;
constexpr size_t kReserved = 1364;
constexpr size_t kBytes = 1368;
constexpr size_t kBytesV1 = 844;
constexpr size_t kBytesV2 = 1360;
}
static_assert(LayoutRecordBytes::kSecondName + LayoutRecordBytes::kNameWidth
                  == LayoutRecordBytes::kPadding, "layout record drifted");
static_assert(LayoutRecordBytes::kUnitName + LayoutRecordBytes::kUnitNameWidth
                  == LayoutRecordBytes::kPositionValue0, "layout record drifted");
static_assert(LayoutRecordBytes::kThirdName + LayoutRecordBytes::kNameWidth
                  == LayoutRecordBytes::kHardwareName, "layout record drifted");
static_assert(LayoutRecordBytes::kHardwareName + LayoutRecordBytes::kHardwareNameWidth
                  == LayoutRecordBytes::kFirstChannel, "layout record drifted");
static_assert(LayoutRecordBytes::kReserved + 4 == LayoutRecordBytes::kBytes, "layout record drifted");

class CKVLayout
{
public:
    // Unit catalogues loaded from layout description text files (CKVLayoutCType.h,
    // CKVLayoutCAvailTypes.h).
    class CType;
    class CHardware;
    class CAmplifier;
    class CMea;
    class CAvailTypes;
    class CAvailHard;
    class CAvailAmpl;
    class CAvailMeas;

    enum LayoutKind : int32_t {
        kPlainLayout = 0,
        kSingleArrayLayout = 1,
        kDoubleArrayLayout = 2,
        kIndividualLayout = 3,      // stored in the "LAYOUT  " chunk
    };

    static constexpr size_t kChunkHeadBytes = 48;   // id, size and the eight int32 of the chunk
    static constexpr int32_t kWrittenChunkVersion = 3;

    CKVLayout();
    ~CKVLayout();
    // Copies kind, counts, records and deep copies of the catalogues with their selections.
    CKVLayout(const CKVLayout& other);
    CKVLayout& operator=(const CKVLayout& other);

    // Reads the "LAYOUT  " chunk at the file's current position. False on a wrong id, a chunk
    // version other than 1-3, a negative record count, a count larger than the bytes left in the
    // file could hold, or a short read. Whatever the outcome, nothing of an earlier layout
    // remains: on failure the layout is empty (kind 0, no records). The catalogues are kept.
    [[nodiscard]] bool ReadLayoutChunk(FILE* file);
    // The same over bytes in memory that start at the chunk id; `consumed`, when given, receives
    // the chunk's length as read (head and records).
    [[nodiscard]] bool ReadLayoutChunk(const uint8_t* data, size_t size,
                                       size_t* consumed = nullptr);

    // Writes the chunk (version 3) with the current kind, counts and every record. False when a
    // write fails, leaving the file position wherever that write stopped.
    [[nodiscard]] bool WriteLayoutChunk(FILE* file) const;
    // Appends the same bytes to `out`.
    void AppendLayoutChunk(std::vector<uint8_t>& out) const;

    // Replaces kind, counts and records with the default layout of `kind` (0 plain, 1 single
    // array, 2 double array) over `total` records; a negative total gives no records. Records
    // that the kind's label table does not reach, and every record of any other kind, keep
    // their initial values. No default layout is built from the catalogues: `useCatalogues`
    // is accepted and changes nothing.
    void BuildDefault(int32_t kind, int32_t total, int32_t electrodes, int32_t analog,
                      int32_t digital, bool useCatalogues = false);

    int32_t GetLayoutKind() const { return m_kind; }
    int32_t GetTotalChannels() const { return m_totalChannels; }
    int32_t GetElectrodeChannels() const { return m_electrodeChannels; }
    int32_t GetAnalogChannels() const { return m_analogChannels; }
    int32_t GetDigitalChannels() const { return m_digitalChannels; }
    int GetRecordCount() const { return static_cast<int>(m_records.size()); }

    // Record queries. An index outside 0..GetRecordCount()-1 gives false, -1 or an empty text.
    [[nodiscard]] bool GetRecord(LayoutRecord& out, int i) const;
    int32_t GetUnitIdOfRecord(int i) const;
    int32_t GetSubtypeOfRecord(int i) const;
    std::string GetRecordName(int i) const;
    std::string GetSecondName(int i) const;
    // "<name>:name=<name>:hwid=..:subtype=..:show=..:dx=..:dy=..:dxextend=..:dyextend=..", show
    // being 1 when the record belongs to `unitId`. Names are not escaped: a ':' or '=' in a
    // name reaches the reader of the string as it is.
    std::string GetRecordDescriptor(int i, int32_t unitId) const;
    void GetRecordNames(std::vector<std::string>& names) const;
    void GetRecordDescriptors(std::vector<std::string>& descriptors, int32_t unitId) const;

    // Unit queries; a unit is the set of records sharing a unit id other than -1.
    // Unit name / hardware name of the first electrode record of the unit; empty when none.
    std::string GetUnitName(int32_t unitId) const;
    std::string GetUnitNameById(int32_t unitId) const;
    int GetUnitCount() const;
    std::vector<int32_t> GetSortedUnitIds() const;
    std::vector<LayoutRecord> GetRecordsOfUnit(int32_t unitId) const;
    // Summed over the units: the distinct non-empty hardware names of the unit's electrodes.
    int GetConfiguredUnitCount() const;

    CAvailMeas& GetAvailMeas() { return *m_availMeas; }

    // Record (de)serialisation for a chunk of the given version (1, 2 or 3). The caller has
    // checked that RecordBytes(version) bytes are there; RecordBytes gives 0 for other versions.
    static size_t RecordBytes(int32_t version);
    static void ParseRecord(const uint8_t* data, int32_t version, LayoutRecord& record);
    static void AppendRecord(std::vector<uint8_t>& out, const LayoutRecord& record);

private:
    struct ChunkHead;
    [[nodiscard]] static bool ParseChunkHead(const uint8_t* data, size_t size, ChunkHead& head);
    void AppendChunkHead(std::vector<uint8_t>& out) const;
    void Commit(const ChunkHead& head, std::vector<LayoutRecord>&& records);
    void Clear();

    int32_t m_kind = kPlainLayout;
    int32_t m_totalChannels = 0;
    int32_t m_electrodeChannels = 0;
    int32_t m_analogChannels = 0;
    int32_t m_digitalChannels = 0;
    std::vector<LayoutRecord> m_records;   // index = channel number
    std::unique_ptr<CAvailHard> m_availHard;
    std::unique_ptr<CAvailAmpl> m_availAmpl;
    std::unique_ptr<CAvailMeas> m_availMeas;
};
