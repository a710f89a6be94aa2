#include "datafile/settings/CMOrvexStimulatorProperty.h"

#include <algorithm>
#include <cstdint>

#include "platform/CByteReader.h"
#include "platform/CByteWriter.h"
#include "platform/File64.h"

namespace {

constexpr char kChunkId[] = "VESPRA  ";
constexpr size_t kStreamIdBytes = 8;

// Smallest stored element (name length, stream count), stream (id, pair count) and pair.
constexpr size_t kMinElementBytes = 4 + 4;
constexpr size_t kMinStreamBytes = kStreamIdBytes + 4;
constexpr size_t kPairBytes = 2 + 2;

const uint32_t kDefaultSettings[CMOrvexStimulatorProperty::kSettingCount] = {
    12000000, 500, 1500000, 50, 16, 0, 6, 6, 6};

// Reads the chunk from the rest of an open file, field by field, with the same interface as
// CByteReader: reads are bounded by the bytes left in the file and the first failure sticks.
class CFileFieldReader
{
public:
    explicit CFileFieldReader(FILE* file) : m_file(file)
    {
        const int64_t length = FileLength(file);
        const int64_t position = Tell64(file);
        if (length < 0 || position < 0 || position > length)
            m_ok = false;
        else
            m_remaining = static_cast<uint64_t>(length - position);
    }

    template <class T>
    bool Read(T& value)
    {
        uint8_t bytes[sizeof(T)];
        if (!Take(bytes, sizeof(T))) {
            value = T();
            return false;
        }
        value = LoadLE<T>(bytes);
        return true;
    }

    bool ReadText(std::string& out, size_t width)
    {
        out.clear();
        if (!Has(width)) {
            m_ok = false;
            return false;
        }
        std::string bytes(width, '\0');
        if (!Take(&bytes[0], width))
            return false;
        out = TextField(reinterpret_cast<const uint8_t*>(bytes.data()), width);
        return true;
    }

    bool Ok() const { return m_ok; }
    size_t Remaining() const
    {
        return m_ok ? static_cast<size_t>(std::min<uint64_t>(m_remaining, SIZE_MAX)) : 0;
    }

private:
    bool Has(size_t n) const { return m_ok && n <= m_remaining; }

    bool Take(void* destination, size_t n)
    {
        if (!Has(n) || (n && std::fread(destination, 1, n, m_file) != n)) {
            m_ok = false;
            return false;
        }
        m_remaining -= n;
        return true;
    }

    FILE* m_file;
    uint64_t m_remaining = 0;
    bool m_ok = true;
};

template <class Reader>
bool CountFits(Reader& in, uint32_t count, size_t minBytesEach)
{
    return in.Ok() && count <= in.Remaining() / minBytesEach;
}

template <class Reader>
bool ReadElements(Reader& in, std::vector<KvtStimulatorElement>& elements)
{
    uint32_t elementCount = 0;
    in.Read(elementCount);
    if (!CountFits(in, elementCount, kMinElementBytes))
        return false;
    elements.reserve(elementCount);
    for (uint32_t e = 0; e < elementCount; ++e) {
        KvtStimulatorElement element;
        uint32_t nameLength = 0;
        in.Read(nameLength);
        in.ReadText(element.name, nameLength);
        uint32_t streamCount = 0;
        in.Read(streamCount);
        if (!CountFits(in, streamCount, kMinStreamBytes))
            return false;
        for (uint32_t s = 0; s < streamCount; ++s) {
            std::string streamId;
            in.ReadText(streamId, kStreamIdBytes);
            uint32_t pairCount = 0;
            in.Read(pairCount);
            if (!CountFits(in, pairCount, kPairBytes))
                return false;
            std::map<uint16_t, uint16_t>& pairs = element.streams[streamId];
            for (uint32_t p = 0; p < pairCount; ++p) {
                uint16_t key = 0, value = 0;
                in.Read(key);
                in.Read(value);
                pairs[key] = value;
            }
        }
        if (!in.Ok())
            return false;
        elements.push_back(std::move(element));
    }
    return true;
}

template <class Reader>
bool ParseChunk(Reader& in, CMOrvexStimulatorProperty& out)
{
    std::string id;
    if (!in.ReadText(id, 8) || id != kChunkId)
        return false;
    int32_t version = 0;
    if (!in.Read(version) || version <= 0)
        return false;

    if (version >= 5) {
        if (!ReadElements(in, out.m_elements))
            return false;
    } else {
        KvtStimulatorElement element;
        element.name = "new";
        out.m_elements.push_back(element);
    }

    uint32_t groupCount = 0;
    in.Read(groupCount);   // three groups are stored whatever it says
    for (size_t g = 0; g < CMOrvexStimulatorProperty::kGroupCount; ++g) {
        KvtStimulatorGroup& group = out.m_groups[g];
        KvtStimulatorPair& pair = out.m_pairs[g];
        for (uint32_t& word : group.words)
            in.Read(word);
        if (version >= 3)
            in.Read(group.groupWord);
        else
            group.groupWord = 1;
        if (version >= 2) {
            in.Read(pair.kind);
            in.Read(pair.value);
            // Before version 3 these values were stored 16 lower.
            if (version < 3 && pair.kind == 1 && pair.value >= 1 && pair.value <= 16)
                pair.value += 16;
        } else {
            pair.kind = 0;
            pair.value = -1;
        }
    }

    for (uint32_t& setting : out.m_settings)
        in.Read(setting);
    in.Read(out.m_mode);
    in.Read(out.m_flag1);
    if (version >= 6) {
        in.Read(out.m_flag3);
        uint32_t textLength = 0;
        in.Read(textLength);
        in.ReadText(out.m_text, textLength);
    } else {
        out.m_flag3 = 0;
    }
    if (version >= 7)
        in.Read(out.m_lastFlag);
    else
        out.m_lastFlag = 0;
    return in.Ok();
}

} // namespace

CMOrvexStimulatorProperty::CMOrvexStimulatorProperty()
{
    SetDefaults(0, true);
}

std::unique_ptr<CMCloneObject> CMOrvexStimulatorProperty::Clone() const
{
    return std::make_unique<CMOrvexStimulatorProperty>(*this);
}

void CMOrvexStimulatorProperty::SetDefaults(uint32_t mode, bool reset)
{
    for (size_t i = 0; i < kSettingCount; ++i)
        m_settings[i] = kDefaultSettings[i];
    m_mode = mode;

    for (KvtStimulatorGroup& group : m_groups) {
        const uint32_t fixed[9] = {0, group.words[1], 100, group.words[3], 100, 10000, 1, 3000, 10};
        for (size_t i = 0; i < 9; ++i)
            group.words[i] = fixed[i];
        if (mode == 0) {
            group.words[1] = static_cast<uint32_t>(-2000000);
            group.words[3] = 2000000;
        } else if (mode == 1) {
            group.words[1] = static_cast<uint32_t>(-100000);
            group.words[3] = 100000;
        }
        if (reset)
            group.groupWord = 1;
    }
    if (reset) {
        for (KvtStimulatorPair& pair : m_pairs)
            pair = KvtStimulatorPair();
        m_flag1 = 1;
        m_flag2 = 1;
        m_flag3 = 0;
        m_word = 0;
        m_lastFlag = 1;
    }
}

void CMOrvexStimulatorProperty::InsertElement(size_t position, const KvtStimulatorElement& element)
{
    if (position > m_elements.size())
        position = m_elements.size();
    m_elements.insert(m_elements.begin() + static_cast<std::ptrdiff_t>(position), element);
}

bool CMOrvexStimulatorProperty::ReadChunk(FILE* file)
{
    CMOrvexStimulatorProperty read;
    bool ok = false;
    if (file) {
        CFileFieldReader in(file);
        ok = ParseChunk(in, read);
    }
    *this = ok ? std::move(read) : CMOrvexStimulatorProperty();
    return ok;
}

bool CMOrvexStimulatorProperty::ReadChunk(const uint8_t* data, size_t size, size_t* consumed)
{
    CMOrvexStimulatorProperty read;
    CByteReader in(data, size);
    const bool ok = ParseChunk(in, read);
    *this = ok ? std::move(read) : CMOrvexStimulatorProperty();
    if (ok && consumed)
        *consumed = in.Position();
    return ok;
}

void CMOrvexStimulatorProperty::WriteChunk(std::vector<uint8_t>& out) const
{
    CByteWriter w(out);
    w.PutId(kChunkId);
    w.Put<uint32_t>(kChunkVersion);
    w.Put<uint32_t>(static_cast<uint32_t>(m_elements.size()));
    for (const KvtStimulatorElement& element : m_elements) {
        w.Put<uint32_t>(static_cast<uint32_t>(element.name.size()));
        w.PutBytes(element.name.data(), element.name.size());
        w.Put<uint32_t>(static_cast<uint32_t>(element.streams.size()));
        for (const auto& stream : element.streams) {
            w.PutText(stream.first, kStreamIdBytes);
            w.Put<uint32_t>(static_cast<uint32_t>(stream.second.size()));
            for (const auto& pair : stream.second)
                w.Put<uint16_t>(pair.first).Put<uint16_t>(pair.second);
        }
    }
    w.Put<uint32_t>(kGroupCount);
    for (size_t g = 0; g < kGroupCount; ++g) {
        for (uint32_t word : m_groups[g].words)
            w.Put<uint32_t>(word);
        w.Put<uint32_t>(m_groups[g].groupWord);
        w.Put<int32_t>(m_pairs[g].kind).Put<int32_t>(m_pairs[g].value);
    }
    for (uint32_t setting : m_settings)
        w.Put<uint32_t>(setting);
    w.Put<uint32_t>(m_mode);
    w.Put<uint8_t>(m_flag1).Put<uint8_t>(m_flag3);
    w.Put<uint32_t>(static_cast<uint32_t>(m_text.size()));
    w.PutBytes(m_text.data(), m_text.size());
    w.Put<uint8_t>(m_lastFlag);
}

bool CMOrvexStimulatorProperty::WriteChunk(FILE* file) const
{
    std::vector<uint8_t> bytes;
    WriteChunk(bytes);
    return file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}
