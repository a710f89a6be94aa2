#pragma once
// Composes recorded-data files for tests, chunk by chunk, good or deliberately broken.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/CByteReader.h"

// Start time of built files: a 2019 date, above INT64_MAX as every current date is.
constexpr uint64_t kKvdDefaultStart = 13200000000000000000ull;

struct KvdChannelPlan
{
    uint16_t kind = 2;           // 0 plain, 1 short extension, else long extension
    int32_t id = 0;
    int32_t number = 0;
    std::string name = "A1";
    std::string label;
    uint16_t group = 0;
    std::string displayName;     // stored only for a nonzero kind from version 6
    int32_t extension = 0;
    std::array<int32_t, 12> values {};
    std::vector<std::pair<uint16_t, int32_t>> items;
    int32_t itemCount = -1;      // -1: the number of items; else written as given (to break it)
};

struct KvdStreamPlan
{
    uint16_t headerVersion = 8;
    std::string bufferType = "analog";
    std::string name = "Electrode Raw Data";
    std::string secondText;
    uint16_t chunkNumber = 1;
    int32_t sampleRate = 25000000;
    std::string id = "elec0001";  // written from file header version 5
    std::vector<KvdChannelPlan> channels;
    int32_t channelCount = -1;     // -1: the number of channels; else written as given
    bool oldHead = false;          // 24-byte format head of format version 0
    int8_t formatByte = 0;
    uint16_t adcBits = 16;
    uint16_t adcZero = 32768;
    double voltsPerStep = 1e-7;
    uint16_t words[3] = {0, 0, 0};
    double secondScale = 0.5;
    std::vector<uint8_t> settings;
    int64_t formatSize = -1;       // -1: head + settings; else written as given
};

struct KvdIndexPlan
{
    std::vector<std::pair<uint64_t, int64_t>> entries;  // time, chunk offset
    std::vector<std::pair<uint64_t, uint64_t>> sweeps;  // start, stop
    int32_t entryCount = -1;       // -1: the number of entries; else written as given
    int32_t sweepCount = -1;
    int64_t entryBytes = -1;       // -1: 16 x entries
    int64_t sweepBytes = -1;
    std::string path = "test.kvd";
    int32_t streamCount = 0;
};

// Where Build() put things, for tests that break a file at a known place.
struct KvdLayout
{
    size_t fileHeaderAt = 48;
    std::vector<size_t> streamAt;  // offset of each "STRMHDR "
    size_t indexPositionAt = 0;    // offset of "IDX1POS " (0: none)
    size_t dataStart = 0;
    std::vector<size_t> chunkAt;   // offset of each data chunk
    size_t indexAt = 0;            // offset of "IDX1KVT " (0: none)
};

class KvdBuilder
{
public:
    // A file of the given header version with stream count, recording mode 0 and a start time.
    explicit KvdBuilder(uint16_t headerVersion = 11);

    // Fields of the 2328-byte header block; only the version's length is written. The version
    // field (offset 0) chooses every record layout of the file.
    template <class T>
    KvdBuilder& Set(size_t offset, T value)
    {
        StoreLE<T>(m_header.data() + offset, value);
        return *this;
    }
    KvdBuilder& SetText(size_t offset, const std::string& text);

    KvdBuilder& AddStream(const KvdStreamPlan& stream);
    KvdBuilder& AddChunk(const std::string& id, uint64_t start, uint64_t stop,
                         const std::vector<uint8_t>& payload);
    // A chunk header with any size field and the given bytes behind it (to break the chain).
    KvdBuilder& AddRawChunk(const std::string& id, int64_t size, uint64_t start, uint64_t stop,
                            const std::vector<uint8_t>& bytes);
    // Appends the index records behind the data; the header's index flag is set and
    // "IDX1POS " points at them (from version 3).
    KvdBuilder& AddIndex(const KvdIndexPlan& index);
    // Bytes written between the file header and the stream records, in the order added (the
    // "LAYOUT  " and "VESPRA  " chunks).
    KvdBuilder& AddHeaderChunk(const std::vector<uint8_t>& bytes);
    // Leaves "IDX1POS " (or "LISTstrm") out.
    KvdBuilder& OmitIndexPosition();
    // Stream count written in the header (default: the streams added).
    KvdBuilder& StreamCount(int32_t count);

    std::vector<uint8_t> Build(KvdLayout* layout = nullptr) const;
    // Build() written to `path`; false when the file cannot be written.
    bool WriteTo(const std::string& path, KvdLayout* layout = nullptr) const;
    // The same file with every chunk where the size field before it says: payload bytes that a
    // chunk promises but was not given stay a hole, so files of many gigabytes cost a few
    // writes on a file system with sparse files. The index goes behind the last chunk.
    bool WriteSparseTo(const std::string& path, KvdLayout* layout = nullptr) const;

    // The channel record and stream record bytes as this version stores them.
    static std::vector<uint8_t> ChannelBytes(const KvdChannelPlan& channel, uint16_t fileVersion);
    static std::vector<uint8_t> StreamBytes(const KvdStreamPlan& stream, uint16_t fileVersion);
    static std::vector<uint8_t> IndexBytes(const KvdIndexPlan& index);

private:
    struct Chunk
    {
        std::string id;
        int64_t size;
        uint64_t start;
        uint64_t stop;
        std::vector<uint8_t> bytes;
    };

    std::array<uint8_t, 2328> m_header {};
    int32_t m_streamCount = -1;
    std::vector<KvdStreamPlan> m_streams;
    std::vector<uint8_t> m_headerChunks;
    std::vector<Chunk> m_chunks;
    bool m_hasIndex = false;
    KvdIndexPlan m_index;
    bool m_omitIndexPosition = false;
};

// Little-endian patching of built bytes.
template <class T>
void PatchLE(std::vector<uint8_t>& bytes, size_t offset, T value)
{
    StoreLE<T>(bytes.data() + offset, value);
}

// A payload of frames: frames x channels u16 values, value = frame * 100 + channel.
std::vector<uint8_t> KvdFrames(int frames, int channels, int firstFrame = 0);
