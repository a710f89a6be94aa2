#pragma once
// One data stream of a recorded-data file: header, channels, format head, settings bytes and
// the walk over its data chunks.

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datafile/container/CKVTAChannel.h"
#include "datafile/container/CKVTAChunkChain.h"
#include "datafile/container/CKVTADataBlock.h"
#include "datafile/container/CKVTATimeStamp.h"
#include "datafile/info/CKVTAInfo.h"
#include "platform/CByteReader.h"

class CFileReader;
class CKVTAEvent;
class CKVTAFileContext;

// Stream header record ("STRMHDR " payload): 804 bytes in memory; 792 on disk below file
// header version 5, where the stream id is derived instead.
namespace StreamHeaderRecord {
constexpr size_t kVersion = 0;        // u16; event record layouts follow it
constexpr size_t kBufferType = 2;     // char[9]
constexpr size_t kBufferTypeWidth = 9;
constexpr size_t kName = 11;          // char[257]
constexpr size_t kNameWidth = 257;
constexpr size_t kSecondText = 268;   // char[514]
constexpr size_t kSecondTextWidth = 514;
constexpr size_t kChunkNumber = 782;  // u16, names the data chunks below version 5
constexpr size_t kSampleRate = 784;   // i32, 1/1000 Hz
constexpr size_t kChannelCount = 788; // i32
constexpr size_t kId = 792;           // char[8] and four zero bytes
constexpr size_t kIdWidth = 12;
constexpr size_t kBytes = 804;
constexpr size_t kOldBytes = 792;
constexpr int32_t kMaxChannels = 32767;
}
static_assert(StreamHeaderRecord::kSecondText + StreamHeaderRecord::kSecondTextWidth
                  == StreamHeaderRecord::kChunkNumber, "stream header layout drifted");

// Stream-format head ("STRMFMT " payload start): 32 bytes; old files store 24 (version 0).
namespace StreamFormatHead {
constexpr size_t kVersion = 0;        // u16
constexpr size_t kFormatByte = 2;     // i8
constexpr size_t kAdcBits = 4;        // u16
constexpr size_t kAdcZero = 6;        // u16
constexpr size_t kVoltsPerStep = 8;   // f64
constexpr size_t kWord1 = 16;         // u16
constexpr size_t kWord2 = 18;
constexpr size_t kWord3 = 20;
constexpr size_t kSecondScale = 24;   // f64
constexpr size_t kBytes = 32;
constexpr size_t kOldBytes = 24;
}

class CKVTAStream
{
public:
    explicit CKVTAStream(CKVTAFileContext* file);
    virtual ~CKVTAStream();
    CKVTAStream(const CKVTAStream&) = delete;
    CKVTAStream& operator=(const CKVTAStream&) = delete;

    // Reads "STRMHDR " (header and channel records) and "STRMFMT " (head and settings bytes)
    // from the reader's position, by the owning file's header version, and derives the stream
    // and chunk ids. 0 ok; 2 on a short read, a wrong id, a channel count outside 0..32767 or
    // beyond the bytes left, or a format size outside head length..bytes left; 5 when the stream
    // id would be longer than 8 characters.
    [[nodiscard]] int Read(CFileReader& file);

    // Header getters: 0, -1 or empty without header.
    int GetChannelCount() const;
    int GetHeaderVersion() const;
    std::string GetBufferType() const;
    std::string GetName() const;
    std::string GetSecondName() const;
    uint16_t GetHeaderWord() const;
    int32_t GetSampleRateMilliHz() const;
    int32_t GetSampleRate() const { return GetSampleRateMilliHz() / 1000; }
    // The 8-character stream id (e.g. "elec0001").
    std::string GetId() const;
    // The 8 bytes that this stream's data chunks carry as id (NUL-padded when shorter).
    std::string GetChunkId() const { return std::string(m_chunkId, 8); }

    // Format head getters: 0 without head.
    uint16_t GetFormatVersion() const { return Head<uint16_t>(StreamFormatHead::kVersion); }
    int GetFormatByte() const { return Head<int8_t>(StreamFormatHead::kFormatByte); }
    uint16_t GetAdcBits() const { return Head<uint16_t>(StreamFormatHead::kAdcBits); }
    uint16_t GetAdcZero() const { return Head<uint16_t>(StreamFormatHead::kAdcZero); }
    double GetVoltsPerStep() const { return Head<double>(StreamFormatHead::kVoltsPerStep); }
    uint16_t GetFormatWord1() const { return Head<uint16_t>(StreamFormatHead::kWord1); }
    uint16_t GetFormatWord2() const { return Head<uint16_t>(StreamFormatHead::kWord2); }
    uint16_t GetFormatWord3() const { return Head<uint16_t>(StreamFormatHead::kWord3); }
    double GetSecondScale() const { return Head<double>(StreamFormatHead::kSecondScale); }
    const std::array<uint8_t, StreamFormatHead::kBytes>& GetFormatHead() const { return m_head; }
    // The settings bytes behind the head; returns their length (format size - 32).
    size_t GetFormatData(const uint8_t*& data) const;

    // Channel i, NULL when i is outside 0..count-1; owned by the stream.
    CKVTAChannel* GetChannel(int i) const;
    CKVTAChannel* FindChannelByNumber(int number) const;
    CKVTAChannel* FindChannelById(int id) const;
    // Channel i's display name; empty when i is outside 0..count-1.
    std::string GetChannelName(int i) const;

    // A new settings object built from the settings bytes, or NULL (no settings for this type,
    // a missing tag, or a reader failure). The caller owns it.
    std::unique_ptr<CKVTAInfo> CreateInfo() const;

    // True when the owning file's recording mode is 0.
    bool IsContinuous() const;
    // "analog", "chat", "filter" or "digital".
    bool IsRawStream() const;
    int GetReserved() const { return 0; }

    // The stream's data blocks, in file order; each is new and belongs to the caller.
    // NULL when there is none (or no file). The given block stays the caller's either way.
    std::unique_ptr<CKVTADataBlock> GetFirstChunk();
    std::unique_ptr<CKVTADataBlock> GetNextChunk(const CKVTADataBlock& block);
    // The first block whose stop time is after the stamp's time (starting at the index entry
    // that precedes the time, when the file has index entries); NULL when the blocks run out.
    std::unique_ptr<CKVTADataBlock> GetChunk(const CKVTATimeStamp& stamp);
    // Moves the current block to the first block whose stop time is after t (from the current
    // block on, or from the first when t lies before the current block's start). False when
    // there is none; the current block is then kept.
    [[nodiscard]] bool FindChunkForTime(const CKVTATimeStamp& stamp);
    const CKVTADataBlock* GetCurrentBlock() const { return m_current.get(); }
    void ClearChunks() { m_current.reset(); }

    // A new cursor on the first block that has records; NULL when none. The caller owns it.
    std::unique_ptr<CKVTAEvent> GetFirstEvent();
    // A new cursor on the first record at or after the stamp's time (or on the last record of
    // the stream when all lie before it); NULL when no block from there on has records. Raw
    // streams try only the block holding the time and the one after it.
    std::unique_ptr<CKVTAEvent> GetChunkEvent(const CKVTATimeStamp& stamp);
    // Counts the records from `from` up to before `to`: per channel id for "spikes" streams (ids
    // outside 0..length-1 are not counted), else all in counts[0]. The caller zeroes counts.
    void CountEventsPerChannel(const CKVTATimeStamp& from, const CKVTATimeStamp& to, int* counts, size_t length);

    // Writes "STRMHDR " and "STRMFMT " in the layout of file header version 6 and later
    // (804-byte header, 1104-byte channel records). 0 written, 1 when a write failed.
    [[nodiscard]] int Write(FILE* file) const;
    void AppendTo(std::vector<uint8_t>& out) const;
    // A copy for an output file owned by `file`: header, channels (kind 2), head, settings
    // bytes and ids. Data chunks of the output carry the stream id, whatever the source used.
    std::unique_ptr<CKVTAStream> CloneForOutput(CKVTAFileContext* file) const;
    // Gives a stream of an output file its stream id, which its chunks then carry too. An id
    // longer than 8 characters is cut to 8. Nothing happens without a header.
    void SetId(const std::string& id);

    CKVTAFileContext* GetFile() const { return m_file; }
    // What the coverage needs of this stream: its key, and its frames when it holds samples.
    KvtStreamFacts GetCoverageFacts() const;
    // Bytes of one frame of a raw stream with channels and a rate; 0 otherwise.
    uint64_t FrameBytes() const;
    CKVTAChunkChain::Key GetChunkKey() const { return CKVTAChunkChain::MakeKey(m_chunkId); }

private:
    template <class T>
    T Head(size_t offset) const
    {
        return m_hasHead ? LoadLE<T>(m_head.data() + offset) : T();
    }
    template <class T>
    T Header(size_t offset) const
    {
        return LoadLE<T>(m_header.data() + offset);
    }
    [[nodiscard]] int ReadFormat(CFileReader& file);
    [[nodiscard]] int DeriveIds(uint16_t fileVersion);
    std::unique_ptr<CKVTADataBlock> MakeBlock(size_t chainIndex);
    CKVTAChunkChain* Chain() const;
    uint64_t IndexStartOffset(uint64_t t) const;

    CKVTAFileContext* m_file;
    bool m_hasHeader = false;
    std::array<uint8_t, StreamHeaderRecord::kBytes> m_header {};
    int64_t m_headerChunkSize = 0;
    std::vector<std::unique_ptr<CKVTAChannel>> m_channels;
    bool m_hasHead = false;
    std::array<uint8_t, StreamFormatHead::kBytes> m_head {};
    int64_t m_formatSize = 0;  // counts a 32-byte head even when the file held 24
    std::vector<uint8_t> m_settings;
    char m_chunkId[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    std::string m_suffix;
    std::unique_ptr<CKVTADataBlock> m_current;

    // ---- Sample access of raw streams (CKVTAStream.Samples.cpp) ----
    // A raw stream's payloads are frames of one u16 value per channel, in channel order. Frame k
    // of a block was sampled at block start + k / rate; a window [from, to) holds the frames
    // sampled inside it, so windows that share their boundaries split the stream exactly, and
    // only whole frames that were really read are ever copied. Every operation gives 0 for a
    // stream that is not raw, has no channels or a rate of 0 or below, and for a channel outside
    // 0..count-1. Counts are u16 values unless said otherwise; `max` bounds what is written.
public:
    // All channels, interleaved, of the window [from, to); values copied (whole frames).
    int GetRawData(uint16_t* out, int max, const CKVTATimeStamp& from, const CKVTATimeStamp& to);
    // GetRawData's frames handed to `take` (frames, frame count, row) in pieces of at most
    // `pieceFrames` frames, each read into `scratch`: a caller that rearranges the frames works
    // on memory that stays in the cache. `row` is where the piece's first frame belongs among
    // the window's frames by its time (consecutive pieces of chunks that follow each other go on
    // row by row; a chunk that is not there leaves its rows out). Returns what GetRawData would:
    // a block whose read fails is not counted, though pieces of it may have been handed out.
    // When a read of a trusted chunk fails (a file cut while it is read), the copy stops there
    // and `failedRow`, when given, gets the row of the first frame not handed out; it is left
    // alone otherwise.
    using RawPiece = std::function<void(const uint16_t* frames, size_t count, uint64_t row)>;
    int GetRawDataPieces(int max, const CKVTATimeStamp& from, const CKVTATimeStamp& to, size_t pieceFrames,
                         std::vector<uint16_t>& scratch, const RawPiece& take, uint64_t* failedRow = nullptr);
    // Continuous recordings: one channel's values of the whole stream, at most maxValues.
    // Returns the values copied (one per frame).
    int64_t CopyChannelSamples(uint16_t* out, int channel, int64_t maxValues);
    // Continuous recordings: one channel's values from frame `firstFrame` on (counted over the
    // stream's blocks); values copied. Consecutive calls go on from the frame table.
    int CopyChannelSamplesRange(uint16_t* out, uint32_t channel, uint64_t firstFrame, int max);
    // channels x floor(rate in Hz x (to - from) / 10^9), clamped to whole frames within INT_MAX.
    int GetSampleCountInWindow(const CKVTATimeStamp& from, const CKVTATimeStamp& to) const;
    // Continuous recordings: values per channel between the file's start and stop stamps,
    // floor((stop - start) x rate in 1/1000 Hz / 10^12).
    int64_t GetTotalSampleCount() const;
    // Triggered recordings; `sweep` must be below the file's sweep count, else 0.
    int GetSweepSampleCount(int sweep) const;

    // Where the samples of a chunk end: its stop field, unless that lies before its start or
    // further past the end of its frames than the frames last and a second more (a damaged
    // field) or short of it by less than a frame (a rounding); then the time after its last
    // frame. Streams that are not raw, and chunks without frames, keep their stop field (or the
    // start, when the field lies before it).
    uint64_t GetDataStopTime(uint64_t start, uint64_t stop, int64_t payloadSize) const;
    uint64_t GetDataStopTime(const CKVTADataBlock& block) const;
    // The end of the frames of a chunk from `start` holding `payloadSize` bytes where `stop`
    // falls short of it by less than a frame (a rounding); `stop` otherwise.
    uint64_t StopOnFrames(uint64_t start, uint64_t stop, int64_t payloadSize) const;
    // The time (ns, rounded up) that the whole frames of `payloadBytes` bytes last at this
    // stream's rate; 0 for streams that are not raw.
    uint64_t GetPayloadDuration(uint64_t payloadBytes) const;
    // The holes of this stream: times the file shows were recorded but no trusted chunk of it
    // covers (see CKVTACoverage). None without a file.
    const std::vector<KvtHole>& GetHoles();
    // The hole that holds t; NULL when none does.
    const KvtHole* GetHoleAt(uint64_t t);
    // Samples first..first+count-1 of the sweep; their times are whole microseconds after the
    // sweep start (the fraction is dropped), as the recording program numbers them.
    int GetSweepData(uint16_t* out, int max, int sweep, int first, int count);
    int GetSweepSamples(uint16_t* out, int max, int sweep);
    // True when GetSweepSamples would copy every value GetSweepSampleCount counts: the frames
    // are counted, not read. False for streams that are not raw and in continuous recordings.
    bool HoldsWholeSweep(int sweep);
    int GetSweepChannelData(uint16_t* out, int max, int sweep, int channel, int first, int count);
    int GetSweepChannelSamples(uint16_t* out, int max, int sweep, int channel);

private:
    // Receives a run of whole frames (payload position of the first, frame count, and the row
    // of the first among the window's frames by its time) and returns the frames it really
    // took; fewer ends the copy.
    using FrameRun = std::function<uint64_t(uint64_t position, uint64_t frames, uint64_t row)>;
    uint64_t CopyWindow(uint64_t from, uint64_t to, uint64_t maxFrames, const FrameRun& take);
    uint64_t CopyChannelWindow(uint16_t* out, int channel, uint64_t maxFrames, uint64_t from, uint64_t to);
    [[nodiscard]] bool CopyChannelRun(uint16_t* out, size_t channel, uint64_t position,
                                      uint64_t frames);
    [[nodiscard]] bool SweepWindow(int sweep, uint64_t first, uint64_t count, uint64_t& from,
                                   uint64_t& to) const;
    [[nodiscard]] bool ExtendFrameTable(uint64_t frame);

    // Cumulative frame counts of this stream's blocks in file order: entry n is the number of
    // frames in blocks 0..n. Grows as far as callers ask; valid for one opening of the file.
    std::vector<uint64_t> m_frameEnds;
    std::vector<uint8_t> m_scratch;
};

// Starts `chain` afresh on `reader` from dataStart for the streams of `file`: the coverage then
// takes the streams' and the recording's facts from them as they are when it is built.
void KvtResetChain(CKVTAChunkChain& chain, CFileReader* reader, uint64_t dataStart, uint64_t indexPosition,
                   CKVTAFileContext& file, const std::vector<std::unique_ptr<CKVTAStream>>& streams);
