#include "datafile/container/CKVTAStream.h"

#include <algorithm>
#include <cstring>

#include "datafile/container/CFileReader.h"
#include "datafile/container/CKVTAFileContext.h"
#include "datafile/container/CKVTAStreamIndex.h"
#include "datafile/container/KvdFormat.h"
#include "datafile/events/CKVTAEvent.h"
#include "datafile/info/KvtCreateInfo.h"
#include "platform/AsciiCase.h"
#include "platform/CByteWriter.h"

namespace SH = StreamHeaderRecord;
namespace SF = StreamFormatHead;

namespace {

bool ReadId(CFileReader& file, const char* expected)
{
    char id[Kvd::kIdBytes];
    if (!file.Read(id, sizeof id))
        return false;
    for (char& c : id)
        c = AsciiToUpper(c);
    return std::memcmp(id, expected, Kvd::kIdBytes) == 0;
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The decimal number after the name's last blank (leading digits; 0 when there are none).
// Saturates instead of overflowing: any value above 0xFFFF makes the id too long anyway.
uint64_t NumberAfterLastBlank(const std::string& name)
{
    const size_t blank = name.rfind(' ');
    if (blank == std::string::npos)
        return 0;
    uint64_t number = 0;
    for (size_t i = blank + 1; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i)
        number = number > 0xFFFFFFFFull ? number : number * 10 + static_cast<uint64_t>(name[i] - '0');
    return number;
}

struct OldTypeNames
{
    const char* type;
    const char* suffix;
    const char* idPrefix;  // NULL: only the raw-data names give an id
};

constexpr OldTypeNames kOldTypes[] = {
    {"analog", "raw", nullptr}, {"digital", "raw", nullptr}, {"params", "par", "para"},
    {"trigger", "trg", "trig"}, {"spikes", "spk", "spks"},   {"average", "evp", "mean"},
    {"chat", "cht", "chtl"},    {"filter", "flt", "filt"},
};

} // namespace

CKVTAStream::CKVTAStream(CKVTAFileContext* file) : m_file(file) {}

CKVTAStream::~CKVTAStream() = default;

int CKVTAStream::Read(CFileReader& file)
{
    const uint16_t v = m_file ? m_file->GetHeaderVersion() : 0;
    m_hasHeader = false;
    m_hasHead = false;
    m_channels.clear();
    m_settings.clear();
    m_header.fill(0);
    m_head.fill(0);

    if (!file.File() || !ReadId(file, Kvd::kIdStreamHeader) || !file.ReadValue(m_headerChunkSize))
        return 2;
    if (!file.Read(m_header.data(), v < 5 ? SH::kOldBytes : SH::kBytes))
        return 2;
    m_hasHeader = true;
    if (v == 0)
        StoreLE<uint16_t>(m_header.data() + SH::kVersion, 0);

    // A header followed at once by the format chunk has no channel records, whatever it says.
    const uint64_t channelsAt = file.Tell();
    if (ReadId(file, Kvd::kIdStreamFormat))
        StoreLE<int32_t>(m_header.data() + SH::kChannelCount, 0);
    file.Seek(channelsAt);

    const int32_t count = Header<int32_t>(SH::kChannelCount);
    if (count < 0 || count > SH::kMaxChannels
        || static_cast<uint64_t>(count) > file.Remaining() / ChannelRecord::kOldBytes) {
        m_hasHeader = false;
        return 2;
    }
    const std::string type = GetBufferType();
    const bool renumber = ((v == 7 || v == 8) && StartsWith(type, "digital"))
                          || (v < 7 && !StartsWith(type, "spikes") && !StartsWith(type, "average"));
    m_channels.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        auto channel = std::make_unique<CKVTAChannel>();
        if (channel->Read(file, v) != 0)
            break;  // only the channels read stay; the format chunk read below fails as a rule
        if (renumber)
            channel->SetId(i);
        m_channels.push_back(std::move(channel));
    }
    StoreLE<int32_t>(m_header.data() + SH::kChannelCount, static_cast<int32_t>(m_channels.size()));

    if (const int rc = ReadFormat(file)) {
        m_hasHeader = false;
        m_channels.clear();
        return rc;
    }
    return DeriveIds(v);
}

int CKVTAStream::ReadFormat(CFileReader& file)
{
    if (!ReadId(file, Kvd::kIdStreamFormat) || !file.ReadValue(m_formatSize))
        return 2;
    if (!file.Read(m_head.data(), SF::kOldBytes))
        return 2;
    if (LoadLE<uint16_t>(m_head.data() + SF::kVersion) == 0) {
        // An old 24-byte head: the second scale is the volts per step, and the stored size
        // grows by 8 so that size - 32 stays the length of the settings bytes.
        std::memcpy(m_head.data() + SF::kSecondScale, m_head.data() + SF::kVoltsPerStep, 8);
        if (m_formatSize > INT64_MAX - 8)
            return 2;
        m_formatSize += 8;
    } else {
        if (!file.Read(m_head.data() + SF::kOldBytes, SF::kBytes - SF::kOldBytes))
            return 2;
    }
    StoreLE<uint16_t>(m_head.data() + SF::kVersion, 1);
    const int64_t settings = m_formatSize - static_cast<int64_t>(SF::kBytes);
    if (settings < 0 || static_cast<uint64_t>(settings) > file.Remaining())
        return 2;
    m_settings.resize(static_cast<size_t>(settings));
    if (!file.Read(m_settings.data(), m_settings.size())) {
        m_settings.clear();
        return 2;
    }
    m_hasHead = true;
    return 0;
}

int CKVTAStream::DeriveIds(uint16_t v)
{
    // Buffer types compare exactly elsewhere; the recording program wrote some in upper case.
    for (size_t i = 0; i < 8 && m_header[SH::kBufferType + i] != 0; ++i)
        m_header[SH::kBufferType + i] = static_cast<uint8_t>(AsciiToLower(static_cast<char>(m_header[SH::kBufferType + i])));
    std::memset(m_chunkId, 0, sizeof m_chunkId);
    m_suffix.clear();

    std::string streamId;
    if (v >= 5) {
        streamId = TextField(m_header.data() + SH::kId, SH::kIdWidth);
        if (streamId.size() > 8)
            return 5;
        std::memcpy(m_chunkId, streamId.data(), streamId.size());
        return 0;
    }

    const std::string name = GetName();
    const std::string type = GetBufferType();
    uint64_t number = 1;
    if (StartsWith(name, "Electrode Raw Data"))
        streamId = "elec";
    else if (StartsWith(name, "Analog Raw Data"))
        streamId = "anlg";
    else if (StartsWith(name, "Digital Raw Data"))
        streamId = "digi";
    else
        number = NumberAfterLastBlank(name);
    for (const OldTypeNames& old : kOldTypes) {
        if (type != old.type)
            continue;
        m_suffix = old.suffix;
        if (old.idPrefix)
            streamId = old.idPrefix;
    }
    char text[32];
    if (!streamId.empty()) {
        std::snprintf(text, sizeof text, "%s%04llx", streamId.c_str(), static_cast<unsigned long long>(number));
        streamId = text;
    }
    // Too long an id is refused before anything is stored.
    if (streamId.size() > 8)
        return 5;
    std::memset(m_header.data() + SH::kId, 0, SH::kIdWidth);
    std::memcpy(m_header.data() + SH::kId, streamId.data(), streamId.size());
    std::snprintf(text, sizeof text, "%05x%s", static_cast<unsigned>(GetHeaderWord()), m_suffix.c_str());
    std::memcpy(m_chunkId, text, std::min<size_t>(8, std::strlen(text)));
    return 0;
}

int CKVTAStream::GetChannelCount() const
{
    return m_hasHeader ? Header<int32_t>(SH::kChannelCount) : 0;
}

int CKVTAStream::GetHeaderVersion() const
{
    return m_hasHeader ? Header<uint16_t>(SH::kVersion) : -1;
}

std::string CKVTAStream::GetBufferType() const
{
    return m_hasHeader ? TextField(m_header.data() + SH::kBufferType, SH::kBufferTypeWidth) : std::string();
}

std::string CKVTAStream::GetName() const
{
    return m_hasHeader ? TextField(m_header.data() + SH::kName, SH::kNameWidth) : std::string();
}

std::string CKVTAStream::GetSecondName() const
{
    return m_hasHeader ? TextField(m_header.data() + SH::kSecondText, SH::kSecondTextWidth) : std::string();
}

uint16_t CKVTAStream::GetHeaderWord() const
{
    return m_hasHeader ? Header<uint16_t>(SH::kChunkNumber) : 0;
}

int32_t CKVTAStream::GetSampleRateMilliHz() const
{
    return m_hasHeader ? Header<int32_t>(SH::kSampleRate) : 0;
}

std::string CKVTAStream::GetId() const
{
    return m_hasHeader ? TextField(m_header.data() + SH::kId, 8) : std::string();
}

size_t CKVTAStream::GetFormatData(const uint8_t*& data) const
{
    data = m_settings.empty() ? nullptr : m_settings.data();
    return m_settings.size();
}

CKVTAChannel* CKVTAStream::GetChannel(int i) const
{
    return i >= 0 && static_cast<size_t>(i) < m_channels.size() ? m_channels[static_cast<size_t>(i)].get()
                                                                 : nullptr;
}

CKVTAChannel* CKVTAStream::FindChannelByNumber(int number) const
{
    for (const auto& channel : m_channels)
        if (channel->GetNumber() == number)
            return channel.get();
    return nullptr;
}

CKVTAChannel* CKVTAStream::FindChannelById(int id) const
{
    for (const auto& channel : m_channels)
        if (channel->GetId() == id)
            return channel.get();
    return nullptr;
}

std::string CKVTAStream::GetChannelName(int i) const
{
    const CKVTAChannel* channel = GetChannel(i);
    return channel ? channel->GetName() : std::string();
}

std::unique_ptr<CKVTAInfo> CKVTAStream::CreateInfo() const
{
    if (!m_hasHeader)
        return nullptr;
    return KvtCreateInfo(GetBufferType().c_str(), static_cast<uint16_t>(GetHeaderVersion()),
                         m_settings.data(), m_settings.size(), GetAdcBits(), GetAdcZero(),
                         GetVoltsPerStep(), m_file ? m_file->GetProgramVersion() : 0);
}

bool CKVTAStream::IsContinuous() const
{
    return m_file && m_file->GetRecordingMode() == 0;
}

bool CKVTAStream::IsRawStream() const
{
    const std::string type = GetBufferType();
    return type == "analog" || type == "chat" || type == "filter" || type == "digital";
}

CKVTAChunkChain* CKVTAStream::Chain() const
{
    return m_file && m_hasHeader ? m_file->GetChunkChain() : nullptr;
}

std::unique_ptr<CKVTADataBlock> CKVTAStream::MakeBlock(size_t chainIndex)
{
    CKVTAChunkChain* chain = Chain();
    const KvtChunkInfo& chunk = chain->At(chainIndex);
    m_file->OnBlockHandedOut(chunk.start);
    auto block = std::make_unique<CKVTADataBlock>(chunk, chain->Reader(), m_file->GetStartTime());
    block->SetStream(this);
    return block;
}

std::unique_ptr<CKVTADataBlock> CKVTAStream::GetFirstChunk()
{
    CKVTAChunkChain* chain = Chain();
    size_t i = 0;
    if (!chain || !chain->HasOfKey(GetChunkKey(), 0, i))
        return nullptr;
    return MakeBlock(i);
}

std::unique_ptr<CKVTADataBlock> CKVTAStream::GetNextChunk(const CKVTADataBlock& block)
{
    CKVTAChunkChain* chain = Chain();
    size_t n = 0;
    size_t i = 0;
    if (!chain || !chain->FindOfKeyFrom(GetChunkKey(), block.GetEnd(), n) || !chain->HasOfKey(GetChunkKey(), n, i))
        return nullptr;
    return MakeBlock(i);
}

uint64_t CKVTAStream::IndexStartOffset(uint64_t t) const
{
    const uint64_t dataStart = Chain() ? Chain()->DataStart() : 0;
    const CKVTAStreamIndex* index = m_file ? m_file->GetStreamIndex() : nullptr;
    uint64_t offset = 0;
    if (!index || !index->FindEntryOffset(t, offset) || offset < dataStart)
        return dataStart;
    return offset;
}

std::unique_ptr<CKVTADataBlock> CKVTAStream::GetChunk(const CKVTATimeStamp& stamp)
{
    CKVTAChunkChain* chain = Chain();
    const CKVTAChunkChain::Key key = GetChunkKey();
    size_t first = 0;
    size_t n = 0;
    size_t i = 0;
    if (!chain || !chain->FindOfKeyFrom(key, IndexStartOffset(stamp.GetTime()), first))
        return nullptr;
    // The walk starts by reading this block: it counts as handed out for the start-time rule.
    m_file->OnBlockHandedOut(chain->At(chain->IndexOfKey(key, first)).start);
    if (!chain->FindStopAfter(key, first, stamp.GetTime(), n) || !chain->HasOfKey(key, n, i))
        return nullptr;
    return MakeBlock(i);
}

bool CKVTAStream::FindChunkForTime(const CKVTATimeStamp& stamp)
{
    const uint64_t t = stamp.GetTime();
    if (!m_current) {
        m_current = GetFirstChunk();
        if (!m_current)
            return false;
    }
    if (t < m_current->GetStartTime()) {
        auto first = GetFirstChunk();
        if (!first)
            return false;
        m_current = std::move(first);
    }
    if (t < m_current->GetStopTime())
        return true;
    CKVTAChunkChain* chain = Chain();
    const CKVTAChunkChain::Key key = GetChunkKey();
    size_t from = 0;
    size_t n = 0;
    size_t i = 0;
    if (!chain || !chain->FindOfKeyFrom(key, m_current->GetEnd(), from)
        || !chain->FindStopAfter(key, from, t, n) || !chain->HasOfKey(key, n, i))
        return false;
    m_current = MakeBlock(i);
    return true;
}

std::unique_ptr<CKVTAEvent> CKVTAStream::GetFirstEvent()
{
    for (auto block = GetFirstChunk(); block; block = GetNextChunk(*block))
        if (auto cursor = KvtCreateEvent(block))
            return cursor;
    return nullptr;
}

std::unique_ptr<CKVTAEvent> CKVTAStream::GetChunkEvent(const CKVTATimeStamp& stamp)
{
    auto block = GetChunk(stamp);
    if (!block)
        return nullptr;
    std::unique_ptr<CKVTAEvent> cursor = KvtCreateEvent(block);
    const std::string type = GetBufferType();
    const bool oneMore = type == "analog" || type == "chat" || type == "filter";
    for (int tried = 0; !cursor && (!oneMore || tried < 1); ++tried) {
        block = GetNextChunk(*block);
        if (!block)
            return nullptr;
        cursor = KvtCreateEvent(block);
    }
    // Records that all lie before the time leave the cursor on the last one: it is still given.
    if (cursor)
        (void)cursor->AdvanceTo(stamp.GetTime());
    return cursor;
}

void CKVTAStream::CountEventsPerChannel(const CKVTATimeStamp& from, const CKVTATimeStamp& to, int* counts,
                                        size_t length)
{
    auto cursor = GetChunkEvent(from);
    if (!cursor || !counts || length == 0)
        return;
    const bool perChannel = GetBufferType() == "spikes";
    do {
        if (cursor->GetTimeStamp().GetTime() >= to.GetTime())
            break;
        const size_t slot = perChannel ? cursor->GetChannelId() : 0;
        if (slot < length)
            ++counts[slot];
    } while (cursor->Next());
}

void CKVTAStream::AppendTo(std::vector<uint8_t>& out) const
{
    CByteWriter writer(out);
    int64_t size = static_cast<int64_t>(SH::kBytes);
    for (const auto& channel : m_channels)
        size += static_cast<int64_t>(channel->GetWriteSize());
    writer.PutId(Kvd::kIdStreamHeader).Put<int64_t>(size).PutBytes(m_header.data(), m_header.size());
    for (const auto& channel : m_channels)
        channel->AppendTo(out);
    writer.PutId(Kvd::kIdStreamFormat).Put<int64_t>(m_formatSize).PutBytes(m_head.data(), m_head.size());
    writer.PutBytes(m_settings.data(), m_settings.size());
}

int CKVTAStream::Write(FILE* file) const
{
    std::vector<uint8_t> bytes;
    AppendTo(bytes);
    return file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() ? 0 : 1;
}

void CKVTAStream::SetId(const std::string& id)
{
    if (!m_hasHeader)
        return;
    const size_t n = std::min<size_t>(id.size(), 8);
    std::memset(m_header.data() + SH::kId, 0, SH::kIdWidth);
    std::memcpy(m_header.data() + SH::kId, id.data(), n);
    std::memset(m_chunkId, 0, sizeof m_chunkId);
    std::memcpy(m_chunkId, id.data(), n);
}

std::unique_ptr<CKVTAStream> CKVTAStream::CloneForOutput(CKVTAFileContext* file) const
{
    auto copy = std::make_unique<CKVTAStream>(file);
    copy->m_hasHeader = m_hasHeader;
    copy->m_header = m_header;
    copy->m_headerChunkSize = m_headerChunkSize;
    for (const auto& channel : m_channels)
        copy->m_channels.push_back(channel->Clone());
    copy->m_hasHead = m_hasHead;
    copy->m_head = m_head;
    StoreLE<uint16_t>(copy->m_head.data() + SF::kVersion, 1);
    copy->m_formatSize = m_formatSize;
    copy->m_settings = m_settings;
    copy->m_suffix = m_suffix;
    // The output is read back as a current file, whose chunks carry the stream id: old files'
    // chunk-number ids would leave the written data unreachable.
    const std::string id = GetId();
    std::memcpy(copy->m_chunkId, m_chunkId, 8);
    if (!id.empty()) {
        std::memset(copy->m_chunkId, 0, 8);
        std::memcpy(copy->m_chunkId, id.data(), id.size());
    }
    return copy;
}

KvtStreamFacts CKVTAStream::GetCoverageFacts() const
{
    KvtStreamFacts facts;
    facts.key = GetChunkKey();
    facts.frameBytes = FrameBytes();
    facts.rateMilliHz = facts.frameBytes > 0 ? GetSampleRateMilliHz() : 0;
    return facts;
}

void KvtResetChain(CKVTAChunkChain& chain, CFileReader* reader, uint64_t dataStart, uint64_t indexPosition,
                   CKVTAFileContext& file, const std::vector<std::unique_ptr<CKVTAStream>>& streams)
{
    chain.Reset(reader, dataStart, indexPosition,
                [&file, &streams](std::vector<KvtStreamFacts>& facts, KvtRecordingFacts& recording) {
                    for (const auto& stream : streams)
                        // A stream without an id of its own has no chunks to look for.
                        if (stream->GetChunkId() != std::string(8, '\0'))
                            facts.push_back(stream->GetCoverageFacts());
                    recording = file.GetRecordingFacts();
                });
}
