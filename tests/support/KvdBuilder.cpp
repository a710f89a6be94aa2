#include "tests/support/KvdBuilder.h"

#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "platform/CByteWriter.h"
#include "tests/support/TempDir.h"

namespace {

void PutField(std::vector<uint8_t>& block, size_t offset, const std::string& text, size_t width)
{
    std::memset(block.data() + offset, 0, width);
    std::memcpy(block.data() + offset, text.data(), std::min(text.size(), width));
}

size_t HeaderBytes(uint16_t version)
{
    constexpr size_t bytes[] = {808, 872, 872, 888, 888, 912, 1232, 1232, 2208, 2208, 2320, 2328};
    return version < 12 ? bytes[version] : 2328;
}

} // namespace

KvdBuilder::KvdBuilder(uint16_t headerVersion)
{
    Set<uint16_t>(0, headerVersion);
    Set<int32_t>(4, (1 << 16) | 40);          // recording program 1.40
    Set<int32_t>(804, 25000000);              // 25 kHz
    Set<int32_t>(868, 128000000);
    Set<uint64_t>(792, kKvdDefaultStart);
    Set<uint64_t>(872, kKvdDefaultStart);
    Set<uint64_t>(848, kKvdDefaultStart + 10000000000ull);
}

KvdBuilder& KvdBuilder::SetText(size_t offset, const std::string& text)
{
    std::memcpy(m_header.data() + offset, text.data(), text.size());
    return *this;
}

KvdBuilder& KvdBuilder::AddStream(const KvdStreamPlan& stream)
{
    m_streams.push_back(stream);
    return *this;
}

KvdBuilder& KvdBuilder::AddChunk(const std::string& id, uint64_t start, uint64_t stop,
                                 const std::vector<uint8_t>& payload)
{
    m_chunks.push_back(Chunk {id, static_cast<int64_t>(16 + payload.size()), start, stop, payload});
    return *this;
}

KvdBuilder& KvdBuilder::AddRawChunk(const std::string& id, int64_t size, uint64_t start, uint64_t stop,
                                    const std::vector<uint8_t>& bytes)
{
    m_chunks.push_back(Chunk {id, size, start, stop, bytes});
    return *this;
}

KvdBuilder& KvdBuilder::AddIndex(const KvdIndexPlan& index)
{
    m_hasIndex = true;
    m_index = index;
    return *this;
}

KvdBuilder& KvdBuilder::AddHeaderChunk(const std::vector<uint8_t>& bytes)
{
    m_headerChunks.insert(m_headerChunks.end(), bytes.begin(), bytes.end());
    return *this;
}

KvdBuilder& KvdBuilder::OmitIndexPosition()
{
    m_omitIndexPosition = true;
    return *this;
}

KvdBuilder& KvdBuilder::StreamCount(int32_t count)
{
    m_streamCount = count;
    return *this;
}

std::vector<uint8_t> KvdBuilder::ChannelBytes(const KvdChannelPlan& channel, uint16_t fileVersion)
{
    std::vector<uint8_t> record(1104, 0);
    StoreLE<uint16_t>(record.data(), channel.kind);
    StoreLE<int32_t>(record.data() + 4, channel.id);
    StoreLE<int32_t>(record.data() + 8, channel.number);
    PutField(record, 12, channel.name, 257);
    PutField(record, 269, channel.label, 515);
    const int32_t count = channel.itemCount != -1 ? channel.itemCount : static_cast<int32_t>(channel.items.size());
    StoreLE<int32_t>(record.data() + 784, count);
    StoreLE<uint16_t>(record.data() + 788, channel.group);
    PutField(record, 790, channel.displayName, 258);
    StoreLE<int32_t>(record.data() + 1048, channel.extension);
    for (int i = 0; i < 12; ++i)
        StoreLE<int32_t>(record.data() + 1056 + 4 * i, channel.values[static_cast<size_t>(i)]);
    size_t onDisk = 788;
    if (fileVersion >= 6)
        onDisk = channel.kind == 0 ? 792 : channel.kind == 1 ? 1052 : 1104;
    record.resize(onDisk);
    CByteWriter out(record);
    for (const auto& item : channel.items)
        out.Put<uint16_t>(item.first).Put<uint16_t>(0).Put<int32_t>(item.second);
    return record;
}

std::vector<uint8_t> KvdBuilder::StreamBytes(const KvdStreamPlan& stream, uint16_t fileVersion)
{
    std::vector<uint8_t> header(804, 0);
    StoreLE<uint16_t>(header.data(), stream.headerVersion);
    PutField(header, 2, stream.bufferType, 9);
    PutField(header, 11, stream.name, 257);
    PutField(header, 268, stream.secondText, 514);
    StoreLE<uint16_t>(header.data() + 782, stream.chunkNumber);
    StoreLE<int32_t>(header.data() + 784, stream.sampleRate);
    StoreLE<int32_t>(header.data() + 788, stream.channelCount != -1 ? stream.channelCount
                                                                     : static_cast<int32_t>(stream.channels.size()));
    PutField(header, 792, stream.id, 12);
    header.resize(fileVersion < 5 ? 792 : 804);

    std::vector<uint8_t> channels;
    for (const KvdChannelPlan& channel : stream.channels) {
        const std::vector<uint8_t> bytes = ChannelBytes(channel, fileVersion);
        channels.insert(channels.end(), bytes.begin(), bytes.end());
    }

    std::vector<uint8_t> head;
    CByteWriter h(head);
    h.Put<uint16_t>(stream.oldHead ? 0 : 1).Put<int8_t>(stream.formatByte).Put<uint8_t>(0);
    h.Put<uint16_t>(stream.adcBits).Put<uint16_t>(stream.adcZero).Put<double>(stream.voltsPerStep);
    h.Put<uint16_t>(stream.words[0]).Put<uint16_t>(stream.words[1]).Put<uint16_t>(stream.words[2]).Put<uint16_t>(0);
    if (!stream.oldHead)
        h.Put<double>(stream.secondScale);

    std::vector<uint8_t> bytes;
    CByteWriter out(bytes);
    out.PutId("STRMHDR ").Put<int64_t>(static_cast<int64_t>(header.size() + channels.size()));
    out.PutBytes(header.data(), header.size()).PutBytes(channels.data(), channels.size());
    const int64_t formatSize = stream.formatSize != -1 ? stream.formatSize
                                                       : static_cast<int64_t>(head.size() + stream.settings.size());
    out.PutId("STRMFMT ").Put<int64_t>(formatSize).PutBytes(head.data(), head.size());
    out.PutBytes(stream.settings.data(), stream.settings.size());
    return bytes;
}

std::vector<uint8_t> KvdBuilder::IndexBytes(const KvdIndexPlan& index)
{
    const int32_t entries = index.entryCount != -1 ? index.entryCount : static_cast<int32_t>(index.entries.size());
    const int32_t sweeps = index.sweepCount != -1 ? index.sweepCount : static_cast<int32_t>(index.sweeps.size());
    std::vector<uint8_t> bytes;
    CByteWriter out(bytes);
    out.PutId("IDX1KVT ").Put<int64_t>(303).Put<uint16_t>(1).PutText(index.path, 257);
    out.Put<int32_t>(index.streamCount).Put<int32_t>(entries);
    out.Put<uint64_t>(index.entries.empty() ? 0 : index.entries.front().first);
    out.Put<uint64_t>(index.entries.empty() ? 0 : index.entries.back().first);
    out.Put<int32_t>(sweeps);
    out.Put<uint64_t>(index.sweeps.empty() ? 0 : index.sweeps.front().first);
    out.Put<uint64_t>(index.sweeps.empty() ? 0 : index.sweeps.back().second);
    out.PutId("IDXIDX  ").Put<int64_t>(index.entryBytes != -1 ? index.entryBytes
                                                               : static_cast<int64_t>(16 * index.entries.size()));
    for (const auto& entry : index.entries)
        out.Put<uint64_t>(entry.first).Put<int64_t>(entry.second);
    out.PutId("IDXSWEEP").Put<int64_t>(index.sweepBytes != -1 ? index.sweepBytes
                                                               : static_cast<int64_t>(16 * index.sweeps.size()));
    for (const auto& sweep : index.sweeps)
        out.Put<uint64_t>(sweep.first).Put<uint64_t>(sweep.second);
    return bytes;
}

std::vector<uint8_t> KvdBuilder::Build(KvdLayout* layout) const
{
    KvdLayout where;
    std::array<uint8_t, 2328> header = m_header;
    // The version field decides every layout, so a test may change it with Set.
    const uint16_t version = LoadLE<uint16_t>(header.data());
    StoreLE<int32_t>(header.data() + 800, m_streamCount != -1 ? m_streamCount : static_cast<int32_t>(m_streams.size()));
    if (m_hasIndex)
        StoreLE<int32_t>(header.data() + 864, 1);

    std::vector<uint8_t> bytes;
    CByteWriter out(bytes);
    out.PutId("KVTSTRM ").PutBytes("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8);
    out.PutId("LISThdr ").Put<int64_t>(0);
    out.PutId("KVTHDR  ").Put<int64_t>(2328).PutBytes(header.data(), HeaderBytes(version));
    out.PutBytes(m_headerChunks.data(), m_headerChunks.size());
    for (const KvdStreamPlan& stream : m_streams) {
        where.streamAt.push_back(bytes.size());
        const std::vector<uint8_t> record = StreamBytes(stream, version);
        out.PutBytes(record.data(), record.size());
    }
    if (!m_omitIndexPosition && version == 0)
        out.PutId("LISTstrm").Put<int64_t>(0);
    if (!m_omitIndexPosition && version >= 3) {
        where.indexPositionAt = bytes.size();
        out.PutId("IDX1POS ").Put<int64_t>(8).Put<int64_t>(0);
    }
    where.dataStart = bytes.size();
    for (const Chunk& chunk : m_chunks) {
        where.chunkAt.push_back(bytes.size());
        out.PutId(chunk.id).Put<int64_t>(chunk.size).Put<uint64_t>(chunk.start).Put<uint64_t>(chunk.stop);
        out.PutBytes(chunk.bytes.data(), chunk.bytes.size());
    }
    if (m_hasIndex) {
        where.indexAt = bytes.size();
        if (where.indexPositionAt)
            StoreLE<int64_t>(bytes.data() + where.indexPositionAt + 16, static_cast<int64_t>(where.indexAt));
        const std::vector<uint8_t> index = IndexBytes(m_index);
        out.PutBytes(index.data(), index.size());
    }
    if (layout)
        *layout = where;
    return bytes;
}

bool KvdBuilder::WriteTo(const std::string& path, KvdLayout* layout) const
{
    return WriteFileBytes(path, Build(layout));
}

bool KvdBuilder::WriteSparseTo(const std::string& path, KvdLayout* layout) const
{
    KvdBuilder head = *this;
    head.m_chunks.clear();
    head.m_hasIndex = false;
    if (m_hasIndex)
        head.Set<int32_t>(864, 1);
    KvdLayout where;
    std::vector<uint8_t> bytes = head.Build(&where);

    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const auto put = [fd](uint64_t at, const std::vector<uint8_t>& data) {
        return data.empty()
               || pwrite(fd, data.data(), data.size(), static_cast<off_t>(at)) == static_cast<ssize_t>(data.size());
    };
    bool ok = put(0, bytes);
    uint64_t at = bytes.size();
    for (const Chunk& chunk : m_chunks) {
        where.chunkAt.push_back(static_cast<size_t>(at));
        std::vector<uint8_t> framed;
        CByteWriter(framed).PutId(chunk.id).Put<int64_t>(chunk.size).Put<uint64_t>(chunk.start).Put<uint64_t>(chunk.stop);
        framed.insert(framed.end(), chunk.bytes.begin(), chunk.bytes.end());
        ok = ok && put(at, framed);
        at += 16 + static_cast<uint64_t>(chunk.size);
    }
    if (m_hasIndex) {
        where.indexAt = static_cast<size_t>(at);
        std::vector<uint8_t> position;
        CByteWriter(position).Put<int64_t>(static_cast<int64_t>(at));
        ok = ok && (where.indexPositionAt == 0 || put(where.indexPositionAt + 16, position));
        const std::vector<uint8_t> index = IndexBytes(m_index);
        ok = ok && put(at, index);
        at += index.size();
    }
    ok = ok && ftruncate(fd, static_cast<off_t>(at)) == 0;
    ok = close(fd) == 0 && ok;
    if (layout)
        *layout = where;
    return ok;
}

std::vector<uint8_t> KvdFrames(int frames, int channels, int firstFrame)
{
    std::vector<uint8_t> bytes;
    CByteWriter out(bytes);
    for (int f = firstFrame; f < firstFrame + frames; ++f)
        for (int c = 0; c < channels; ++c)
            out.Put<uint16_t>(static_cast<uint16_t>(f * 100 + c));
    return bytes;
}
