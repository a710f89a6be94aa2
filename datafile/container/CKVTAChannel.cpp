#include "datafile/container/CKVTAChannel.h"

#include <algorithm>
#include <cstring>

#include "datafile/container/CFileReader.h"

namespace CR = ChannelRecord;

namespace {

constexpr size_t kGetterTextMax = 263;

std::string Cut(std::string text)
{
    if (text.size() > kGetterTextMax)
        text.resize(kGetterTextMax);
    return text;
}

} // namespace

int CKVTAChannel::Read(CFileReader& file, uint16_t v)
{
    m_hasRecord = false;
    m_items.clear();
    m_record.fill(0);
    const size_t head = v < 6 ? CR::kOldBytes : CR::kBaseBytes;
    if (!file.Read(m_record.data(), head))
        return 2;
    if (v >= 6) {
        const uint16_t kind = Field<uint16_t>(CR::kKind);
        size_t extension = kind == 0 ? 0 : kind == 1 ? CR::kShortExtensionBytes : CR::kLongExtensionBytes;
        // A short extension is taken as far as it goes, as the recording program did.
        extension = static_cast<size_t>(std::min<uint64_t>(extension, file.Remaining()));
        if (!file.Read(m_record.data() + CR::kBaseBytes, extension))
            return 2;
    }
    FinishRecord(v);
    m_hasRecord = true;

    const int32_t count = Field<int32_t>(CR::kItemCount);
    if (count < 0 || count > CR::kMaxItems)
        return 2;
    const size_t present = static_cast<size_t>(
        std::min<uint64_t>(static_cast<uint64_t>(count), file.Remaining() / CR::kItemBytes));
    m_items.reserve(present);
    for (int32_t i = 0; i < count; ++i) {
        uint8_t bytes[CR::kItemBytes];
        if (!file.Read(bytes, sizeof bytes))
            return 2;
        m_items.push_back(Item {LoadLE<uint16_t>(bytes), LoadLE<int32_t>(bytes + 4)});
    }
    return 0;
}

void CKVTAChannel::FinishRecord(uint16_t v)
{
    const uint16_t kind = Field<uint16_t>(CR::kKind);
    if (v < 6)
        StoreLE<uint16_t>(m_record.data() + CR::kGroup, 0);
    if (v < 6 || kind == 0) {
        // The name field may lack its NUL: copy at most its width, the display name keeps a NUL.
        const std::string name = TextField(m_record.data() + CR::kName, CR::kNameWidth);
        std::memset(m_record.data() + CR::kDisplayName, 0, CR::kDisplayNameWidth);
        std::memcpy(m_record.data() + CR::kDisplayName, name.data(),
                    std::min(name.size(), CR::kDisplayNameWidth - 1));
        StoreLE<int32_t>(m_record.data() + CR::kExtension, -1);
    }
}

std::string CKVTAChannel::GetName() const
{
    if (!m_hasRecord)
        return std::string();
    return Cut(TextField(m_record.data() + CR::kDisplayName, CR::kDisplayNameWidth));
}

std::string CKVTAChannel::GetLabel() const
{
    if (!m_hasRecord)
        return std::string();
    return Cut(TextField(m_record.data() + CR::kLabel, CR::kLabelWidth));
}

int CKVTAChannel::GetItemWord(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_items.size())
        return -1;
    return m_items[static_cast<size_t>(i)].word;
}

int32_t CKVTAChannel::GetItemValue(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_items.size())
        return -1;
    return m_items[static_cast<size_t>(i)].value;
}

int32_t CKVTAChannel::GetValue(int n) const
{
    if (!m_hasRecord || n < 1 || n > 12)
        return 0;
    return Field<int32_t>(CR::kValues + 4 * static_cast<size_t>(n - 1));
}

void CKVTAChannel::SetId(int32_t id)
{
    if (m_hasRecord)
        StoreLE<int32_t>(m_record.data() + CR::kId, id);
}

std::unique_ptr<CKVTAChannel> CKVTAChannel::Clone() const
{
    auto copy = std::make_unique<CKVTAChannel>();
    copy->m_hasRecord = m_hasRecord;
    copy->m_record = m_record;
    StoreLE<uint16_t>(copy->m_record.data() + CR::kKind, 2);
    copy->m_items = m_items;
    // The written record must say how many items follow it.
    StoreLE<int32_t>(copy->m_record.data() + CR::kItemCount, static_cast<int32_t>(m_items.size()));
    copy->m_mergeId = m_mergeId;
    copy->m_mergeColumn = m_mergeColumn;
    return copy;
}

void CKVTAChannel::AppendTo(std::vector<uint8_t>& out) const
{
    out.insert(out.end(), m_record.begin(), m_record.end());
    for (const Item& item : m_items) {
        uint8_t bytes[CR::kItemBytes] = {};
        StoreLE<uint16_t>(bytes, item.word);
        StoreLE<int32_t>(bytes + 4, item.value);
        out.insert(out.end(), bytes, bytes + sizeof bytes);
    }
}

int CKVTAChannel::Write(FILE* file) const
{
    std::vector<uint8_t> bytes;
    bytes.reserve(GetWriteSize());
    AppendTo(bytes);
    return file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() ? 0 : 1;
}
