#pragma once
// One recorded channel of a stream: its channel record and its list of 8-byte items.

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/CByteReader.h"

class CFileReader;

// Byte layout of one channel record. In memory it is always the full zero-filled 1104 bytes;
// on disk: 788 bytes below file header version 6, else 792 plus 260 (kind 1) or 312 (any other
// nonzero kind).
namespace ChannelRecord {
constexpr size_t kKind = 0;            // u16: 0 plain, 1 short extension, else long extension
constexpr size_t kId = 4;              // i32
constexpr size_t kNumber = 8;          // i32
constexpr size_t kName = 12;           // char[257]
constexpr size_t kNameWidth = 257;
constexpr size_t kLabel = 269;         // char[515]
constexpr size_t kLabelWidth = 515;
constexpr size_t kItemCount = 784;     // i32
constexpr size_t kGroup = 788;         // u16
constexpr size_t kDisplayName = 790;   // char[258]
constexpr size_t kDisplayNameWidth = 258;
constexpr size_t kExtension = 1048;    // i32
constexpr size_t kValues = 1056;       // 12 x i32
constexpr size_t kBytes = 1104;
constexpr size_t kOldBytes = 788;      // whole record below version 6
constexpr size_t kBaseBytes = 792;     // from version 6
constexpr size_t kShortExtensionBytes = 260;
constexpr size_t kLongExtensionBytes = 312;
constexpr size_t kItemBytes = 8;
constexpr int32_t kMaxItems = 65535;
}
static_assert(ChannelRecord::kLabel + ChannelRecord::kLabelWidth == ChannelRecord::kItemCount,
              "channel record layout drifted");
static_assert(ChannelRecord::kBaseBytes + ChannelRecord::kLongExtensionBytes == ChannelRecord::kBytes,
              "channel record layout drifted");

class CKVTAChannel
{
public:
    struct Item
    {
        uint16_t word = 0;
        int32_t value = 0;
    };

    CKVTAChannel() = default;
    virtual ~CKVTAChannel() = default;

    // Reads one record of file header version v and its items from the reader's position.
    // 0 ok; 2 on a short record or items: the items read before the failure are kept. An item
    // count below 0 or above 65535 fails before anything is allocated.
    [[nodiscard]] int Read(CFileReader& file, uint16_t v);

    bool HasRecord() const { return m_hasRecord; }
    uint16_t GetKind() const { return m_hasRecord ? Field<uint16_t>(ChannelRecord::kKind) : 0; }
    int32_t GetId() const { return m_hasRecord ? Field<int32_t>(ChannelRecord::kId) : -1; }
    int32_t GetNumber() const { return m_hasRecord ? Field<int32_t>(ChannelRecord::kNumber) : -1; }
    // The display name (twice, for callers that keep one while asking for another) and the label;
    // empty without record, cut at 263 characters.
    std::string GetName() const;
    std::string GetName2() const { return GetName(); }
    std::string GetLabel() const;
    int GetGroup() const { return m_hasRecord ? Field<uint16_t>(ChannelRecord::kGroup) : -1; }
    int32_t GetItemCount() const { return m_hasRecord ? Field<int32_t>(ChannelRecord::kItemCount) : 0; }
    // Item word and value of item i; -1 when i is outside the items read.
    int GetItemWord(int i) const;
    int32_t GetItemValue(int i) const;
    int32_t GetExtensionValue() const { return m_hasRecord ? Field<int32_t>(ChannelRecord::kExtension) : -1; }
    // Values 1 to 12 of the long extension (0 when not stored); n outside 1..12 gives 0.
    int32_t GetValue(int n) const;
    int32_t GetValue1() const { return GetValue(1); }
    int32_t GetValue2() const { return GetValue(2); }
    int32_t GetValue3() const { return GetValue(3); }
    int32_t GetValue4() const { return GetValue(4); }
    int32_t GetValue5() const { return GetValue(5); }
    int32_t GetValue6() const { return GetValue(6); }
    int32_t GetValue7() const { return GetValue(7); }
    int32_t GetValue8() const { return GetValue(8); }
    int32_t GetValue9() const { return GetValue(9); }
    int32_t GetValue10() const { return GetValue(10); }
    int32_t GetValue11() const { return GetValue(11); }
    int32_t GetValue12() const { return GetValue(12); }

    void SetId(int32_t id);

    // A copy with kind 2 (so a written record reads back whole), the items and the merge values.
    std::unique_ptr<CKVTAChannel> Clone() const;
    // The full 1104-byte record and the items.
    size_t GetWriteSize() const { return ChannelRecord::kBytes + ChannelRecord::kItemBytes * m_items.size(); }
    void AppendTo(std::vector<uint8_t>& out) const;
    // 0 written, 1 when the write failed.
    [[nodiscard]] int Write(FILE* file) const;

    // Set by the merge's compatibility check, kept by Clone.
    int GetMergeId() const { return m_mergeId; }
    void SetMergeId(int id) { m_mergeId = id; }
    int GetMergeColumn() const { return m_mergeColumn; }
    void SetMergeColumn(int column) { m_mergeColumn = column; }

    const std::array<uint8_t, ChannelRecord::kBytes>& Record() const { return m_record; }

private:
    template <class T>
    T Field(size_t offset) const
    {
        return LoadLE<T>(m_record.data() + offset);
    }
    void FinishRecord(uint16_t v);

    bool m_hasRecord = false;
    std::array<uint8_t, ChannelRecord::kBytes> m_record {};
    std::vector<Item> m_items;
    int m_mergeId = 0;
    int m_mergeColumn = 0;
};
