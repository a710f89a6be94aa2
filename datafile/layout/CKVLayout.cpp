#include "datafile/layout/CKVLayout.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <utility>

#include "datafile/layout/CKVLayoutCAvailTypes.h"
#include "platform/CByteReader.h"
#include "platform/CByteWriter.h"
#include "platform/File64.h"

struct CKVLayout::ChunkHead
{
    int32_t version = 0;
    int32_t kind = 0;
    int32_t total = 0;
    int32_t electrodes = 0;
    int32_t analog = 0;
    int32_t digital = 0;
    int32_t recordCount = 0;
};

namespace {

constexpr char kChunkId[] = "LAYOUT  ";
constexpr size_t kRecordsPerBlock = 256;      // file reads and writes go in blocks of records
// The header's total channel count is a u16: a default layout never needs more records.
constexpr int32_t kMaxDefaultRecords = 65535;

// Electrode labels of the single-array layout: column-row numbers of an 8 x 8 grid without its
// corners, in channel order.
const char* const kElectrodeLabels[60] = {
    "47", "48", "46", "45", "38", "37", "28", "36", "27", "17", "26", "16", "35", "25", "15",
    "14", "24", "34", "13", "23", "12", "22", "33", "21", "32", "31", "44", "43", "41", "42",
    "52", "51", "53", "54", "61", "62", "71", "63", "72", "82", "73", "83", "64", "74", "84",
    "85", "75", "65", "86", "76", "87", "77", "66", "78", "67", "68", "55", "56", "58", "57"};

int32_t LabelNumber(const char* label)
{
    return (label[0] - '0') * 10 + (label[1] - '0');
}

void SetChannel(LayoutRecord& record, int32_t channel, int32_t subtype, const std::string& label)
{
    record.hwid = channel;
    record.firstChannel = channel;
    record.subtype = subtype;
    record.channelValue1 = subtype == 0 ? 1000 : 1;
    record.channelValue2 = 0;
    record.channelValue3 = 50000000;
    record.name = label;
    record.secondName = label;
    record.thirdName = label;
    record.unitId = 0;
}

void SetPosition(LayoutRecord& record, int32_t x, int32_t y, int32_t dx, int32_t dy)
{
    record.positionValue0 = 1;
    record.x = x;
    record.y = y;
    record.positionValue3 = 0;
    record.positionValue4 = 1000;
    record.positionValue5 = 1000;
    record.positionValue6 = 1000;
    record.dx = dx;
    record.dy = dy;
    record.dxextend = 100;
    record.dyextend = 100;
}

// An electrode of an array; the second array sits 8 rows below the first.
void SetArrayElectrode(LayoutRecord& record, int32_t channel, const char* label, int32_t rowShift)
{
    const int32_t n = LabelNumber(label);
    const int32_t column = n / 10;
    const int32_t row = n % 10 + rowShift;
    SetChannel(record, channel, 0, label);
    SetPosition(record, column * 1000 - 1000, row * 1000 - 1000, column * 100 - 100, row * 100 - 100);
}

void SetArrayAnalog(LayoutRecord& record, int32_t channel, int32_t k)
{
    SetChannel(record, channel, 1, "A" + std::to_string(k + 1));
    SetPosition(record, k, 0, 100 * k, 0);
}

void SetArrayDigital(LayoutRecord& record, int32_t channel)
{
    SetChannel(record, channel, 2, "D1");
    SetPosition(record, 0, 0, 0, 0);
}

void FillSingleArray(LayoutRecord& record, int32_t i)
{
    if (i < 60) {
        SetArrayElectrode(record, i, kElectrodeLabels[i], 0);
        record.unitName = "Zelto";
    } else if (i < 63) {
        SetArrayAnalog(record, i, i - 60);
    } else {
        SetArrayDigital(record, i);
    }
}

void FillDoubleArray(LayoutRecord& record, int32_t i)
{
    if (i < 60 || (i >= 64 && i < 124)) {
        const bool second = i >= 64;
        const std::string letter = second ? "B" : "A";
        SetArrayElectrode(record, i, kElectrodeLabels[second ? i - 64 : i], second ? 8 : 0);
        record.secondName += letter;
        record.unitId = second ? 1 : 0;
        record.unitName = "MEA " + letter;
    } else if (i < 64) {
        SetArrayAnalog(record, i, i - 60);
    } else if (i < 127) {
        SetArrayAnalog(record, i, i - 120);
    } else {
        SetArrayDigital(record, i);
    }
}

void FillPlain(LayoutRecord& record, int32_t i, int32_t electrodes, int32_t analog)
{
    // The counts come from the file header; the sums are taken in 64 bits.
    const int64_t firstDigital = int64_t(electrodes) + analog;
    int32_t subtype;
    int32_t k;
    int32_t width = 8;
    std::string label;
    if (i < electrodes) {
        subtype = 0;
        k = i;
        width = electrodes > 128 ? 16 : 8;
        char text[16];
        std::snprintf(text, sizeof text, "%02d", i + 1);
        label = text;
    } else if (i < firstDigital) {
        subtype = 1;
        k = i - electrodes;
        width = analog > 128 ? 16 : 8;
        label = "A" + std::to_string(k + 1);
    } else {
        subtype = 2;
        k = static_cast<int32_t>(i - firstDigital);
        label = "D1";
    }
    SetChannel(record, i, subtype, label);
    SetPosition(record, (k % width) * 1000, (k / width) * 1000, (k % width) * 100, (k / width) * 100);
}

int32_t GetInt(const uint8_t* record, size_t offset)
{
    return LoadLE<int32_t>(record + offset);
}

void PutInt(uint8_t* record, size_t offset, int32_t value)
{
    StoreLE<int32_t>(record + offset, value);
}

// Cut at the field width; a text that fills the field has no terminating zero, as in old files.
void PutTextField(uint8_t* record, size_t offset, const std::string& text, size_t width)
{
    std::memcpy(record + offset, text.data(), std::min(text.size(), width));
}

}  // namespace

CKVLayout::CKVLayout()
    : m_availHard(std::make_unique<CAvailHard>()),
      m_availAmpl(std::make_unique<CAvailAmpl>()),
      m_availMeas(std::make_unique<CAvailMeas>())
{
}

CKVLayout::~CKVLayout() = default;

CKVLayout::CKVLayout(const CKVLayout& other)
    : m_kind(other.m_kind),
      m_totalChannels(other.m_totalChannels),
      m_electrodeChannels(other.m_electrodeChannels),
      m_analogChannels(other.m_analogChannels),
      m_digitalChannels(other.m_digitalChannels),
      m_records(other.m_records),
      m_availHard(std::make_unique<CAvailHard>(*other.m_availHard)),
      m_availAmpl(std::make_unique<CAvailAmpl>(*other.m_availAmpl)),
      m_availMeas(std::make_unique<CAvailMeas>(*other.m_availMeas))
{
}

CKVLayout& CKVLayout::operator=(const CKVLayout& other)
{
    if (this != &other) {
        CKVLayout copy(other);     // every allocation happens before this object changes
        std::swap(m_kind, copy.m_kind);
        std::swap(m_totalChannels, copy.m_totalChannels);
        std::swap(m_electrodeChannels, copy.m_electrodeChannels);
        std::swap(m_analogChannels, copy.m_analogChannels);
        std::swap(m_digitalChannels, copy.m_digitalChannels);
        m_records.swap(copy.m_records);
        m_availHard.swap(copy.m_availHard);
        m_availAmpl.swap(copy.m_availAmpl);
        m_availMeas.swap(copy.m_availMeas);
    }
    return *this;
}

size_t CKVLayout::RecordBytes(int32_t version)
{
    switch (version) {
    case 1: return LayoutRecordBytes::kBytesV1;
    case 2: return LayoutRecordBytes::kBytesV2;
    case 3: return LayoutRecordBytes::kBytes;
    default: return 0;
    }
}

void CKVLayout::ParseRecord(const uint8_t* data, int32_t version, LayoutRecord& record)
{
    namespace B = LayoutRecordBytes;
    record = LayoutRecord();
    record.hwid = GetInt(data, B::kHwid);
    record.subtype = GetInt(data, B::kSubtype);
    record.channelValue1 = GetInt(data, B::kChannelValue1);
    record.channelValue2 = GetInt(data, B::kChannelValue2);
    record.channelValue3 = GetInt(data, B::kChannelValue3);
    record.name = TextField(data + B::kName, B::kNameWidth);
    record.secondName = TextField(data + B::kSecondName, B::kNameWidth);
    record.unitId = GetInt(data, B::kUnitId);
    record.unitName = TextField(data + B::kUnitName, B::kUnitNameWidth);
    record.positionValue0 = GetInt(data, B::kPositionValue0);
    record.x = GetInt(data, B::kX);
    record.y = GetInt(data, B::kY);
    record.positionValue3 = GetInt(data, B::kPositionValue3);
    record.positionValue4 = GetInt(data, B::kPositionValue4);
    record.positionValue5 = GetInt(data, B::kPositionValue5);
    record.positionValue6 = GetInt(data, B::kPositionValue6);
    record.dx = GetInt(data, B::kDx);
    record.dy = GetInt(data, B::kDy);
    record.dxextend = GetInt(data, B::kDxExtend);
    record.dyextend = GetInt(data, B::kDyExtend);
    if (version >= 2) {
        record.thirdName = TextField(data + B::kThirdName, B::kNameWidth);
        record.hardwareName = TextField(data + B::kHardwareName, B::kHardwareNameWidth);
    } else {
        record.thirdName = record.name;     // version 1 has no third name
    }
    if (version >= 3) {
        record.firstChannel = GetInt(data, B::kFirstChannel);
        record.reserved = GetInt(data, B::kReserved);
    } else {
        record.firstChannel = record.hwid;
    }
}

void CKVLayout::AppendRecord(std::vector<uint8_t>& out, const LayoutRecord& record)
{
    namespace B = LayoutRecordBytes;
    const size_t at = out.size();
    out.resize(at + B::kBytes, 0);           // padding and the rest of each text field stay 0
    uint8_t* data = out.data() + at;
    PutInt(data, B::kHwid, record.hwid);
    PutInt(data, B::kSubtype, record.subtype);
    PutInt(data, B::kChannelValue1, record.channelValue1);
    PutInt(data, B::kChannelValue2, record.channelValue2);
    PutInt(data, B::kChannelValue3, record.channelValue3);
    PutTextField(data, B::kName, record.name, B::kNameWidth);
    PutTextField(data, B::kSecondName, record.secondName, B::kNameWidth);
    PutInt(data, B::kUnitId, record.unitId);
    PutTextField(data, B::kUnitName, record.unitName, B::kUnitNameWidth);
    PutInt(data, B::kPositionValue0, record.positionValue0);
    PutInt(data, B::kX, record.x);
    PutInt(data, B::kY, record.y);
    PutInt(data, B::kPositionValue3, record.positionValue3);
    PutInt(data, B::kPositionValue4, record.positionValue4);
    PutInt(data, B::kPositionValue5, record.positionValue5);
    PutInt(data, B::kPositionValue6, record.positionValue6);
    PutInt(data, B::kDx, record.dx);
    PutInt(data, B::kDy, record.dy);
    PutInt(data, B::kDxExtend, record.dxextend);
    PutInt(data, B::kDyExtend, record.dyextend);
    PutTextField(data, B::kThirdName, record.thirdName, B::kNameWidth);
    PutTextField(data, B::kHardwareName, record.hardwareName, B::kHardwareNameWidth);
    PutInt(data, B::kFirstChannel, record.firstChannel);
    PutInt(data, B::kReserved, record.reserved);
}

bool CKVLayout::ParseChunkHead(const uint8_t* data, size_t size, ChunkHead& head)
{
    CByteReader in(data, size);
    char id[8];
    in.ReadBytes(id, sizeof id);
    in.Skip(8);                              // the size field is not trusted: records are read by count
    in.Read(head.version);
    in.Read(head.kind);
    in.Read(head.total);
    in.Read(head.electrodes);
    in.Read(head.analog);
    in.Read(head.digital);
    in.Skip(4);                              // reserved
    in.Read(head.recordCount);
    return in.Ok() && std::memcmp(id, kChunkId, sizeof id) == 0 && RecordBytes(head.version) != 0
           && head.recordCount >= 0;
}

void CKVLayout::Commit(const ChunkHead& head, std::vector<LayoutRecord>&& records)
{
    m_kind = head.kind;
    m_totalChannels = head.total;
    m_electrodeChannels = head.electrodes;
    m_analogChannels = head.analog;
    m_digitalChannels = head.digital;
    m_records = std::move(records);
}

void CKVLayout::Clear()
{
    Commit(ChunkHead(), {});
}

bool CKVLayout::ReadLayoutChunk(const uint8_t* data, size_t size, size_t* consumed)
{
    ChunkHead head;
    if (!data || !ParseChunkHead(data, size, head)) {
        Clear();
        return false;
    }
    const size_t recordBytes = RecordBytes(head.version);
    const size_t count = static_cast<size_t>(head.recordCount);
    if (count > (size - kChunkHeadBytes) / recordBytes) {
        Clear();
        return false;
    }
    std::vector<LayoutRecord> records(count);
    for (size_t i = 0; i < count; ++i)
        ParseRecord(data + kChunkHeadBytes + i * recordBytes, head.version, records[i]);
    Commit(head, std::move(records));
    if (consumed)
        *consumed = kChunkHeadBytes + count * recordBytes;
    return true;
}

bool CKVLayout::ReadLayoutChunk(FILE* file)
{
    uint8_t headBytes[kChunkHeadBytes];
    ChunkHead head;
    if (!file || std::fread(headBytes, 1, sizeof headBytes, file) != sizeof headBytes
        || !ParseChunkHead(headBytes, sizeof headBytes, head)) {
        Clear();
        return false;
    }
    const size_t recordBytes = RecordBytes(head.version);
    const size_t count = static_cast<size_t>(head.recordCount);
    const int64_t length = FileLength(file);
    const int64_t position = Tell64(file);
    if (length >= 0 && position >= 0
        && (position > length || count > static_cast<uint64_t>(length - position) / recordBytes)) {
        Clear();
        return false;
    }
    // Read in blocks: memory follows the bytes really read, even where the length is unknown.
    std::vector<LayoutRecord> records;
    std::vector<uint8_t> block;
    for (size_t done = 0; done < count;) {
        const size_t n = std::min(count - done, kRecordsPerBlock);
        block.resize(n * recordBytes);
        if (std::fread(block.data(), 1, block.size(), file) != block.size()) {
            Clear();
            return false;
        }
        for (size_t i = 0; i < n; ++i) {
            records.emplace_back();
            ParseRecord(block.data() + i * recordBytes, head.version, records.back());
        }
        done += n;
    }
    Commit(head, std::move(records));
    return true;
}

void CKVLayout::AppendChunkHead(std::vector<uint8_t>& out) const
{
    const int32_t count = static_cast<int32_t>(m_records.size());
    CByteWriter w(out);
    w.PutId(kChunkId);
    w.Put<int64_t>(int64_t(count) * int64_t(LayoutRecordBytes::kBytes) + 32);
    w.Put<int32_t>(kWrittenChunkVersion);
    w.Put<int32_t>(m_kind);
    w.Put<int32_t>(m_totalChannels);
    w.Put<int32_t>(m_electrodeChannels);
    w.Put<int32_t>(m_analogChannels);
    w.Put<int32_t>(m_digitalChannels);
    w.Put<int32_t>(0);
    w.Put<int32_t>(count);
}

void CKVLayout::AppendLayoutChunk(std::vector<uint8_t>& out) const
{
    AppendChunkHead(out);
    for (const LayoutRecord& record : m_records)
        AppendRecord(out, record);
}

bool CKVLayout::WriteLayoutChunk(FILE* file) const
{
    if (!file)
        return false;
    std::vector<uint8_t> block;
    AppendChunkHead(block);
    if (std::fwrite(block.data(), 1, block.size(), file) != block.size())
        return false;
    for (size_t done = 0; done < m_records.size();) {
        const size_t n = std::min(m_records.size() - done, kRecordsPerBlock);
        block.clear();
        for (size_t i = 0; i < n; ++i)
            AppendRecord(block, m_records[done + i]);
        if (std::fwrite(block.data(), 1, block.size(), file) != block.size())
            return false;
        done += n;
    }
    return true;
}

void CKVLayout::BuildDefault(int32_t kind, int32_t total, int32_t electrodes, int32_t analog,
                             int32_t digital, bool /*useCatalogues*/)
{
    const int32_t count = std::clamp(total, 0, kMaxDefaultRecords);
    std::vector<LayoutRecord> records(static_cast<size_t>(count));
    switch (kind) {
    case kSingleArrayLayout:
        // A header total that disagrees with the table fills only what both cover.
        for (int32_t i = 0; i < std::min(count, 64); ++i)
            FillSingleArray(records[i], i);
        break;
    case kDoubleArrayLayout:
        for (int32_t i = 0; i < std::min(count, 128); ++i)
            FillDoubleArray(records[i], i);
        break;
    case kPlainLayout:
        for (int32_t i = 0; i < count; ++i)
            FillPlain(records[i], i, std::max(electrodes, 0), std::max(analog, 0));
        break;
    default:
        break;
    }
    ChunkHead head;
    head.kind = kind;
    head.total = total;
    head.electrodes = electrodes;
    head.analog = analog;
    head.digital = digital;
    Commit(head, std::move(records));
}

bool CKVLayout::GetRecord(LayoutRecord& out, int i) const
{
    if (i < 0 || i >= GetRecordCount())
        return false;
    out = m_records[i];
    return true;
}

int32_t CKVLayout::GetUnitIdOfRecord(int i) const
{
    return i >= 0 && i < GetRecordCount() ? m_records[i].unitId : -1;
}

int32_t CKVLayout::GetSubtypeOfRecord(int i) const
{
    return i >= 0 && i < GetRecordCount() ? m_records[i].subtype : -1;
}

std::string CKVLayout::GetRecordName(int i) const
{
    return i >= 0 && i < GetRecordCount() ? m_records[i].name : std::string();
}

std::string CKVLayout::GetSecondName(int i) const
{
    return i >= 0 && i < GetRecordCount() ? m_records[i].secondName : std::string();
}

std::string CKVLayout::GetRecordDescriptor(int i, int32_t unitId) const
{
    if (i < 0 || i >= GetRecordCount())
        return std::string();
    const LayoutRecord& r = m_records[i];
    std::string text = r.name;
    text += ":name=" + r.name;
    text += ":hwid=" + std::to_string(r.hwid);
    text += ":subtype=" + std::to_string(r.subtype);
    text += ":show=" + std::to_string(r.unitId == unitId ? 1 : 0);
    text += ":dx=" + std::to_string(r.dx);
    text += ":dy=" + std::to_string(r.dy);
    text += ":dxextend=" + std::to_string(r.dxextend);
    text += ":dyextend=" + std::to_string(r.dyextend);
    return text;
}

void CKVLayout::GetRecordNames(std::vector<std::string>& names) const
{
    names.clear();
    names.reserve(m_records.size());
    for (const LayoutRecord& r : m_records)
        names.push_back(r.name);
}

void CKVLayout::GetRecordDescriptors(std::vector<std::string>& descriptors, int32_t unitId) const
{
    descriptors.clear();
    descriptors.reserve(m_records.size());
    for (int i = 0; i < GetRecordCount(); ++i)
        descriptors.push_back(GetRecordDescriptor(i, unitId));
}

std::string CKVLayout::GetUnitName(int32_t unitId) const
{
    for (const LayoutRecord& r : m_records)
        if (r.subtype == 0 && r.unitId == unitId)
            return r.unitName;
    return std::string();
}

std::string CKVLayout::GetUnitNameById(int32_t unitId) const
{
    for (const LayoutRecord& r : m_records)
        if (r.subtype == 0 && r.unitId == unitId)
            return r.hardwareName;
    return std::string();
}

std::vector<int32_t> CKVLayout::GetSortedUnitIds() const
{
    std::vector<int32_t> ids;
    for (const LayoutRecord& r : m_records)
        if (r.unitId != -1)
            ids.push_back(r.unitId);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

int CKVLayout::GetUnitCount() const
{
    return static_cast<int>(GetSortedUnitIds().size());
}

std::vector<LayoutRecord> CKVLayout::GetRecordsOfUnit(int32_t unitId) const
{
    std::vector<LayoutRecord> records;
    for (const LayoutRecord& r : m_records)
        if (r.unitId == unitId)
            records.push_back(r);
    return records;
}

int CKVLayout::GetConfiguredUnitCount() const
{
    // A record without a hardware name has no hardware configured for it.
    std::set<std::pair<int32_t, std::string>> configured;
    for (const LayoutRecord& r : m_records)
        if (r.subtype == 0 && r.unitId != -1 && !r.hardwareName.empty())
            configured.emplace(r.unitId, r.hardwareName);
    return static_cast<int>(configured.size());
}
