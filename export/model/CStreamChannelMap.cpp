#include "export/model/CStreamChannelMap.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "datafile/container/CKVTAStream.h"
#include "datafile/container/CKVTAStreamFile.h"
#include "export/core/StringHelpers.h"
#include "export/model/CKVDataSelection.h"

namespace {

constexpr int kStreamDifferenceWeight = 10000;

// Which of the 65536 possible ids a channel list holds.
class CIdSet
{
public:
    explicit CIdSet(const std::vector<uint16_t>& ids) : m_bits(65536, false)
    {
        for (uint16_t id : ids)
            m_bits[id] = true;
    }
    bool Has(uint16_t id) const { return m_bits[id]; }
    void Add(uint16_t id) { m_bits[id] = true; }

private:
    std::vector<bool> m_bits;
};

bool NameMatches(const std::string& wanted, const std::string& streamName)
{
    if (wanted == streamName)
        return true;
    std::string read;
    return StripEventWord(wanted, read) && read == streamName;
}

bool SameStream(const CStreamChannelMap::CStream& a, const CStreamChannelMap::CStream& b)
{
    return a.m_name == b.m_name && a.m_sampleRate == b.m_sampleRate;
}

// The leading decimal number of a text as the C library reads it (blanks and a sign allowed),
// held to the int range so a long run of digits cannot overflow.
int LeadingNumber(const char* text)
{
    errno = 0;
    const long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// What the display order looks at in one name, worked out once per name.
struct NameKey
{
    const std::string* text;
    int number;          // leading number of the whole name
    int numberAfterA;    // leading number after a first "A"
    bool startsWithA;
    bool bytewiseAsSecond;  // shorter than 2 characters or starting with "D"
};

NameKey MakeKey(const std::string& name)
{
    NameKey key;
    key.text = &name;
    key.number = LeadingNumber(name.c_str());
    key.startsWithA = !name.empty() && name[0] == 'A';
    key.numberAfterA = key.startsWithA ? LeadingNumber(name.c_str() + 1) : 0;
    key.bytewiseAsSecond = name.size() < 2 || name[0] == 'D';
    return key;
}

bool Less(const NameKey& a, const NameKey& b)
{
    if (a.number != 0 && b.number != 0)
        return a.number < b.number;
    if (b.bytewiseAsSecond)
        return std::strcmp(a.text->c_str(), b.text->c_str()) < 0;
    if (a.startsWithA != b.startsWithA)
        return !a.startsWithA;
    if (a.startsWithA)
        return a.numberAfterA < b.numberAfterA;
    return a.number < b.number;
}

} // namespace

int CStreamChannelMap::CStream::MergeChannels(const CStream& other)
{
    const CIdSet otherIds(other.m_channelIds);
    int missing = 0;
    for (uint16_t id : m_channelIds) {
        if (!otherIds.Has(id))
            ++missing;
    }
    CIdSet ownIds(m_channelIds);
    int appended = 0;
    for (size_t i = 0; i < other.m_channelIds.size(); ++i) {
        const uint16_t id = other.m_channelIds[i];
        if (ownIds.Has(id))
            continue;
        ownIds.Add(id);
        m_channelIds.push_back(id);
        m_channelNames.push_back(i < other.m_channelNames.size() ? other.m_channelNames[i]
                                                                  : std::string());
        ++appended;
    }
    return missing + appended;
}

void CStreamChannelMap::AddFileStreams(const CKVTAStreamFile& file)
{
    for (int i = 0; i < file.GetStreamCount(); ++i) {
        const CKVTAStream* source = file.GetStream(i);
        if (!source)
            continue;
        auto stream = std::make_unique<CStream>();
        stream->m_name = source->GetName();
        stream->m_kind = source->GetBufferType();
        const int channels = source->GetChannelCount();
        stream->m_channelIds.reserve(channels);
        stream->m_channelNames.reserve(channels);
        for (int c = 0; c < channels; ++c) {
            const CKVTAChannel* channel = source->GetChannel(c);
            // A channel number is a 16-bit hardware id wherever the system uses it.
            stream->m_channelIds.push_back(
                static_cast<uint16_t>(channel ? channel->GetNumber() : -1));
            stream->m_channelNames.push_back(source->GetChannelName(c));
        }
        stream->m_sampleRate = source->GetSampleRateMilliHz();
        m_streams.push_back(std::move(stream));
    }
}

CStreamChannelMap::CStream& CStreamChannelMap::AddStream(const CStream& stream)
{
    m_streams.push_back(std::make_unique<CStream>(stream));
    return *m_streams.back();
}

const CStreamChannelMap::CStream* CStreamChannelMap::GetStream(int i) const
{
    if (i < 0 || i >= GetStreamCount())
        return nullptr;
    return m_streams[i].get();
}

int CStreamChannelMap::Merge(const CStreamChannelMap& other, bool first)
{
    if (first) {
        for (const auto& stream : other.m_streams)
            AddStream(*stream);
        return 0;
    }

    auto inOther = [&other](const std::unique_ptr<CStream>& stream) {
        return std::any_of(other.m_streams.begin(), other.m_streams.end(),
                           [&stream](const auto& o) { return SameStream(*stream, *o); });
    };
    const auto kept = std::stable_partition(m_streams.begin(), m_streams.end(), inOther);
    const int64_t removed = m_streams.end() - kept;
    m_streams.erase(kept, m_streams.end());

    int64_t onlyInOther = 0;
    int64_t channelDifference = 0;
    for (const auto& o : other.m_streams) {
        bool found = false;
        for (auto& stream : m_streams) {
            if (SameStream(*stream, *o)) {
                channelDifference += stream->MergeChannels(*o);
                found = true;
            }
        }
        if (!found)
            ++onlyInOther;
    }
    const int64_t total = (removed + onlyInOther) * kStreamDifferenceWeight + channelDifference;
    return static_cast<int>(std::min<int64_t>(total, INT_MAX));
}

const CStreamChannelMap::CStream* CStreamChannelMap::FindStream(const std::string& streamName) const
{
    for (const auto& stream : m_streams) {
        if (NameMatches(streamName, stream->m_name))
            return stream.get();
    }
    return nullptr;
}

int CStreamChannelMap::GetChannelId(const std::string& streamName,
                                    const std::string& channelName) const
{
    const CStream* stream = FindStream(streamName);
    if (!stream)
        return -1;
    const auto& names = stream->m_channelNames;
    const auto it = std::find(names.begin(), names.end(), channelName);
    const size_t index = it - names.begin();
    if (it == names.end() || index >= stream->m_channelIds.size())
        return -1;
    return stream->m_channelIds[index];
}

void CStreamChannelMap::GetChannelIds(const std::string& streamName,
                                      std::vector<uint16_t>& ids) const
{
    ids.clear();
    if (const CStream* stream = FindStream(streamName))
        ids = stream->m_channelIds;
}

bool CStreamChannelMap::GetChannelNames(const std::string& streamName,
                                        std::vector<std::string>& names) const
{
    bool appended = false;
    for (const auto& stream : m_streams) {
        if (stream->m_name != streamName)
            continue;
        names.insert(names.end(), stream->m_channelNames.begin(), stream->m_channelNames.end());
        appended = appended || !stream->m_channelNames.empty();
    }
    return appended;
}

bool CStreamChannelMap::GetSortedChannelNames(const std::string& streamName,
                                              std::vector<std::string>& names) const
{
    std::vector<std::string> found;
    if (!GetChannelNames(streamName, found))
        return false;
    SortChannelNames(found);
    names.insert(names.end(), std::make_move_iterator(found.begin()),
                 std::make_move_iterator(found.end()));
    return true;
}

int CStreamChannelMap::RemoveUnavailable(CKVDataSelection& selection) const
{
    // One id table per stream asked about, so a long selection costs no channel scans.
    std::unordered_map<const CStream*, CIdSet> idSets;
    int removed = 0;
    for (int i = 0; i < selection.GetCount();) {
        const CKVDataSelection::Entry* entry = selection.At(i);
        const CStream* stream = FindStream(entry->streamName);
        bool keep = false;
        if (stream) {
            if (entry->streamName.find("Trigger") != std::string::npos) {
                keep = true;
            } else if (entry->channelId >= 0 && entry->channelId <= 0xFFFF) {
                auto set = idSets.find(stream);
                if (set == idSets.end())
                    set = idSets.emplace(stream, CIdSet(stream->m_channelIds)).first;
                keep = set->second.Has(static_cast<uint16_t>(entry->channelId));
            }
        }
        if (keep) {
            ++i;
        } else {
            selection.RemoveAt(i);
            ++removed;
        }
    }
    return removed;
}

bool CStreamChannelMap::GetStreamKinds(std::vector<std::string>& kinds) const
{
    for (const auto& stream : m_streams) {
        kinds.push_back(stream->m_kind);
        if (stream->m_kind == "digital")
            kinds.push_back("digitalevent");
    }
    return !m_streams.empty();
}

bool CStreamChannelMap::HasRawDataStream() const
{
    for (const auto& stream : m_streams) {
        const std::string& kind = stream->m_kind;
        if (kind.empty() || kind == "analog" || kind == "filter" || kind == "digital"
            || kind == "chat")
            return true;
    }
    return false;
}

bool CStreamChannelMap::HasKind(const char* kind) const
{
    for (const auto& stream : m_streams) {
        if (stream->m_kind == kind)
            return true;
    }
    return false;
}

bool CStreamChannelMap::CompareChannelNames(const std::string& a, const std::string& b)
{
    return Less(MakeKey(a), MakeKey(b));
}

void CStreamChannelMap::SortChannelNames(std::vector<std::string>& names)
{
    std::vector<NameKey> remaining;
    remaining.reserve(names.size());
    for (const std::string& name : names)
        remaining.push_back(MakeKey(name));

    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    while (!remaining.empty()) {
        size_t candidate = 0;
        for (size_t i = 1; i < remaining.size(); ++i) {
            if (!Less(remaining[candidate], remaining[i]))
                candidate = i;
        }
        sorted.push_back(*remaining[candidate].text);
        remaining.erase(remaining.begin() + candidate);
    }
    names = std::move(sorted);
}
