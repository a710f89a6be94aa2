// Fuzzes opening a recorded-data file: the input is written to an in-memory file and opened by
// its path, the index is generated, and every stream is asked for its header, channels and
// settings, walked block by block and record by record with every getter of its cursor kind,
// and its samples are copied over a few windows and sweeps.
//
// Input: the whole file, starting at its magic.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/container/KvdFormat.h"
#include "datafile/events/CKVTAEvent.h"
#include "datafile/events/CKVTAEvtAverage.h"
#include "datafile/events/CKVTAEvtBurstParameter.h"
#include "datafile/events/CKVTAEvtParam.h"
#include "datafile/events/CKVTAEvtRaw.h"
#include "datafile/events/CKVTAEvtSpike.h"
#include "datafile/events/CKVTAEvtSpikeParameter.h"
#include "datafile/events/CKVTAEvtTrigger.h"
#include "fuzz/AskInfo.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/RecordingBudget.h"

namespace {

// Values asked for at most in one sample copy: small, so a run stays short.
constexpr int kMaxValues = 512;
// Sweeps whose samples are copied.
constexpr int kSweepsAsked = 3;

// t + ns, held at the largest time: a window must not wrap round to before its start.
uint64_t Later(uint64_t t, uint64_t ns)
{
    return t > UINT64_MAX - ns ? UINT64_MAX : t + ns;
}

// The in-memory file the input is written to, made once; opened by its /proc path.
struct MemoryFile
{
    int fd = -1;
    std::string path;

    MemoryFile()
    {
        fd = memfd_create("recording", 0);
        FUZZ_CHECK(fd >= 0);
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    void Fill(const uint8_t* data, size_t size) const
    {
        FUZZ_CHECK(ftruncate(fd, 0) == 0);
        FUZZ_CHECK(size == 0 || pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
    }
};

void AskHeader(CKVTAStreamFile& file)
{
    file.GetProgramVersion();
    file.GetProgramVersion2();
    file.GetHeaderVersion();
    file.GetRecordingMode();
    file.GetSourceType();
    file.GetSampleRate();
    FuzzInfo::Touch(file.GetTextBlock());
    file.GetStartYear();
    file.GetStartMonth();
    file.GetStartDay();
    file.GetStartHour();
    file.GetStartMinute();
    file.GetStartSecond();
    file.GetStartMillisecond();
    file.GetStartTimeSeconds();
    file.GetStartTimeMicroseconds();
    file.GetStartTime();
    file.GetStopTime();
    file.GetSweepLength();
    file.GetWindowStart();
    file.GetWindowExtent();
    file.HasStoredIndex();
    file.GetChunkTimeLimit();
    file.GetVersion8Value();
    FuzzInfo::Touch(file.GetHeaderTitle());
    FuzzInfo::Touch(file.GetHeaderSubtitle());
    for (int i = -1; i <= Kvd::FileHeader::kInfoRecordCount; ++i) {
        int32_t ints[6];
        double doubles[4];
        const bool inside = i >= 0 && i < Kvd::FileHeader::kInfoRecordCount;
        FUZZ_CHECK(file.GetHeaderRecordValues(i, ints, doubles) == inside);
        FuzzInfo::Touch(file.GetHeaderRecordText(i));
    }
    const int count = file.GetStreamCount();
    const int start = file.GetTriggerStreamIndex();
    const int stop = file.GetStopTriggerStreamIndex();
    FUZZ_CHECK(start >= -2 && start < count && stop >= -2 && stop < count);
    file.GetLayout().GetRecordCount();
    FuzzInfo::Touch(file.GetStimulator().m_text);
}

void AskChannels(const CKVTAStream& stream)
{
    const int count = stream.GetChannelCount();
    FUZZ_CHECK(stream.GetChannel(-1) == nullptr && stream.GetChannel(count) == nullptr);
    FUZZ_CHECK(stream.GetChannelName(count).empty());
    for (int i = 0; i < count; ++i) {
        const CKVTAChannel* channel = stream.GetChannel(i);
        FUZZ_CHECK(channel != nullptr);
        FuzzInfo::Touch(stream.GetChannelName(i));
        FuzzInfo::Touch(channel->GetName());
        FuzzInfo::Touch(channel->GetLabel());
        channel->GetGroup();
        channel->GetExtensionValue();
        const int32_t items = channel->GetItemCount();
        for (int item = -1; item <= std::min(items, 4); ++item) {
            channel->GetItemWord(item);
            channel->GetItemValue(item);
        }
        for (int n = 0; n <= 13; ++n)
            channel->GetValue(n);
        if (i < 4) {
            stream.FindChannelByNumber(channel->GetNumber());
            stream.FindChannelById(channel->GetId());
        }
    }
}

void AskStream(const CKVTAStream& stream)
{
    stream.GetHeaderVersion();
    FuzzInfo::Touch(stream.GetBufferType());
    FuzzInfo::Touch(stream.GetName());
    FuzzInfo::Touch(stream.GetSecondName());
    stream.GetHeaderWord();
    stream.GetSampleRate();
    FUZZ_CHECK(stream.GetId().size() <= 8);
    FUZZ_CHECK(stream.GetChunkId().size() == 8);
    stream.GetFormatVersion();
    stream.GetFormatByte();
    stream.GetAdcBits();
    stream.GetAdcZero();
    stream.GetVoltsPerStep();
    stream.GetSecondScale();
    const uint8_t* settings = nullptr;
    const size_t length = stream.GetFormatData(settings);
    size_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum += settings[i];
    (void)sum;
    stream.IsContinuous();
    stream.IsRawStream();
    AskChannels(stream);
    FuzzInfo::AskEverything(stream.CreateInfo().get());
}

// The blocks of one stream, in file order, inside the file and after the data start. True when
// their time spans follow one another without overlapping, as a recording program writes them.
bool WalkBlocks(CKVTAStreamFile& file, CKVTAStream& stream, size_t size)
{
    size_t blocks = 0;
    uint64_t previous = 0;
    uint64_t previousStop = 0;
    bool inOrder = true;
    for (auto block = stream.GetFirstChunk(); block; block = stream.GetNextChunk(*block)) {
        FUZZ_CHECK(++blocks <= size / Kvd::DataChunk::kHeaderBytes);
        FUZZ_CHECK(block->GetChunkOffset() >= file.GetDataStart());
        FUZZ_CHECK(blocks == 1 || block->GetChunkOffset() > previous);
        FUZZ_CHECK(block->GetPayloadSize() >= 0 && block->GetEnd() <= size);
        previous = block->GetChunkOffset();
        inOrder = inOrder && block->GetStartTime() <= block->GetStopTime()
                  && (blocks == 1 || block->GetStartTime() >= previousStop);
        previousStop = block->GetStopTime();
    }
    return inOrder;
}

// Every getter of the cursor's kind on its current record. A cursor that ran out of records
// has let its block go, but still describes its last record.
void AskRecord(CKVTAEvent& cursor)
{
    const CKVTADataBlock* block = cursor.GetBlock();
    const int64_t payload = block ? block->GetPayloadSize() : INT64_MAX;
    if (block)
        FUZZ_CHECK(cursor.GetRecordOffset() < static_cast<uint64_t>(payload));
    FUZZ_CHECK(cursor.GetDataSize() >= 0);
    cursor.GetSecondsSinceStart();
    cursor.GetMilliseconds();
    cursor.GetMicroseconds();
    cursor.GetNanoseconds();
    cursor.GetChannelId();
    cursor.IsValid();
    uint16_t samples[64];
    if (auto* spike = dynamic_cast<CKVTAEvtSpike*>(&cursor)) {
        const int32_t count = spike->GetSampleCount();
        FUZZ_CHECK(count >= 0 && 2 * static_cast<int64_t>(count) <= payload);
        spike->GetPreTrigger();
        spike->GetWord3();
        const int copied = spike->GetSamples(samples, 64);
        FUZZ_CHECK(copied >= 0 && copied <= std::min(count, 64));
    } else if (auto* average = dynamic_cast<CKVTAEvtAverage*>(&cursor)) {
        const int32_t count = average->GetSampleCount();
        FUZZ_CHECK(count >= 0 && 2 * static_cast<int64_t>(count) <= payload);
        const int copied = average->GetSamples(samples, 64);
        FUZZ_CHECK(copied >= 0 && copied <= std::min(count, 64));
    } else if (auto* trigger = dynamic_cast<CKVTAEvtTrigger*>(&cursor)) {
        trigger->GetId();
        trigger->GetValue1();
        trigger->GetValue2();
        trigger->GetValue3();
    } else if (auto* spp = dynamic_cast<CKVTAEvtSpikeParameter*>(&cursor)) {
        for (int i = -1; i <= 3; ++i)
            spp->GetValue(i);
    } else if (auto* bsp = dynamic_cast<CKVTAEvtBurstParameter*>(&cursor)) {
        bsp->GetTime1();
        for (int i = -1; i <= 3; ++i)
            bsp->GetValue(i);
    } else if (auto* param = dynamic_cast<CKVTAEvtParam*>(&cursor)) {
        std::vector<float> values;
        for (int channel : {-1, 0, 1, cursor.GetStream()->GetChannelCount()})
            (void)param->GetValues(channel, values);
        FuzzInfo::AskEverything(param->GetInfo());
    } else if (auto* raw = dynamic_cast<CKVTAEvtRaw*>(&cursor)) {
        raw->GetFrameStep();
    }
}

// Every record of the stream. Each takes at least two payload bytes and no two blocks overlap,
// so a walk longer than half the file has gone round in a loop. Returns the record count.
size_t WalkRecords(CKVTAStream& stream, size_t size)
{
    auto cursor = stream.GetFirstEvent();
    if (!cursor)
        return 0;
    FUZZ_CHECK(cursor->GetStream() == &stream);
    size_t records = 0;
    do {
        FUZZ_CHECK(++records <= size / 2);
        FUZZ_CHECK(cursor->GetBlock() != nullptr);
        AskRecord(*cursor);
    } while (cursor->Next());
    AskRecord(*cursor);
    FUZZ_CHECK(!cursor->Next());

    // Positioned by time: on the first block's start, and a little later.
    auto firstBlock = stream.GetFirstChunk();
    if (!firstBlock)
        return records;
    const uint64_t t0 = firstBlock->GetStartTime();
    for (uint64_t t : {t0, Later(t0, 1000000)}) {
        auto at = stream.GetChunkEvent(CKVTATimeStamp(t, t0));
        if (at) {
            AskRecord(*at);
            (void)at->AdvanceTo(Later(t, 500000));
            AskRecord(*at);
        }
        stream.GetChunk(CKVTATimeStamp(t, t0));
        (void)stream.FindChunkForTime(CKVTATimeStamp(t, t0));
    }
    int counts[4] = {0, 0, 0, 0};
    stream.CountEventsPerChannel(CKVTATimeStamp(t0), CKVTATimeStamp(Later(t0, 1000000000)), counts, 4);
    for (int c : counts)
        FUZZ_CHECK(c >= 0 && static_cast<size_t>(c) <= size / 2);
    return records;
}

// Sample copies of a raw stream: windows from its first block on, the first sweeps, and the
// continuous copies by frame.
void CopySamples(CKVTAStreamFile& file, CKVTAStream& stream, int sweeps, bool inOrder)
{
    if (!stream.IsRawStream())
        return;
    const int channels = stream.GetChannelCount();
    static uint16_t out[kMaxValues];
    static uint16_t parts[kMaxValues];
    auto firstBlock = stream.GetFirstChunk();
    if (firstBlock) {
        // Two windows that share a boundary, then both as one.
        const uint64_t t0 = firstBlock->GetStartTime();
        const uint64_t t1 = Later(t0, 1000000);
        const uint64_t t2 = Later(t0, 50000000);
        const uint64_t windows[][2] = {{t0, t1}, {t1, t2}, {t0, t2}, {t0, file.GetStopTime()}};
        int copied[4] = {0, 0, 0, 0};
        for (int w = 0; w < 4; ++w) {
            const CKVTATimeStamp from(windows[w][0], t0);
            const CKVTATimeStamp to(windows[w][1], t0);
            uint16_t* into = w == 0 ? parts : w == 1 ? parts + copied[0] : out;
            const int room = w == 1 ? kMaxValues - copied[0] : kMaxValues;
            copied[w] = stream.GetRawData(into, room, from, to);
            FUZZ_CHECK(copied[w] >= 0 && copied[w] <= room);
            FUZZ_CHECK(copied[w] == 0 || copied[w] % channels == 0);
            FUZZ_CHECK(stream.GetSampleCountInWindow(from, to) >= 0);
            if (w == 2 && inOrder && channels > 0 && copied[2] < kMaxValues / channels * channels) {
                // Windows that share their boundary split the samples exactly.
                FUZZ_CHECK(copied[0] + copied[1] == copied[2]);
                FUZZ_CHECK(std::equal(out, out + copied[2], parts));
            }
        }
    }
    stream.GetTotalSampleCount();
    for (int channel : {0, channels - 1, channels}) {
        const int64_t all = stream.CopyChannelSamples(out, channel, kMaxValues);
        FUZZ_CHECK(all >= 0 && all <= kMaxValues);
        // Copies by frame go through the same values, in pieces.
        const int first = stream.CopyChannelSamplesRange(parts, static_cast<uint32_t>(channel), 0, 64);
        FUZZ_CHECK(first >= 0 && first <= 64);
        const int next = stream.CopyChannelSamplesRange(parts + first, static_cast<uint32_t>(channel),
                                                        static_cast<uint64_t>(first), 64);
        FUZZ_CHECK(next >= 0 && next <= 64);
        FUZZ_CHECK(first + next == std::min<int64_t>(all, 2 * 64));
        FUZZ_CHECK(std::equal(parts, parts + first + next, out));
    }
    for (int sweep = 0; sweep < std::min(sweeps, kSweepsAsked); ++sweep) {
        FUZZ_CHECK(stream.GetSweepSampleCount(sweep) >= 0);
        int copied = stream.GetSweepSamples(out, kMaxValues, sweep);
        FUZZ_CHECK(copied >= 0 && copied <= kMaxValues);
        copied = stream.GetSweepData(out, kMaxValues, sweep, 1, 5);
        FUZZ_CHECK(copied >= 0 && copied <= kMaxValues);
        copied = stream.GetSweepChannelSamples(out, kMaxValues, sweep, channels - 1);
        FUZZ_CHECK(copied >= 0 && copied <= kMaxValues);
        copied = stream.GetSweepChannelData(out, kMaxValues, sweep, 0, 2, 7);
        FUZZ_CHECK(copied >= 0 && copied <= 7);
    }
    FUZZ_CHECK(stream.GetSweepSampleCount(sweeps) == 0);
}

// The file-level walk over every chunk, as the merge copies them.
void WalkFileChunks(CKVTAStreamFile& file, size_t size)
{
    size_t chunks = 0;
    for (auto block = file.GetFirstChunk(); block;
         block = file.GetNextChunk(*block)) {
        FUZZ_CHECK(++chunks <= size / Kvd::DataChunk::kHeaderBytes);
        FUZZ_CHECK(block->GetEnd() <= size);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!FuzzRecording::WithinBudget(data, size))
        return 0;
    static const MemoryFile memory;
    memory.Fill(data, size);

    CKVTAStreamFile file;
    const int opened = file.Open(memory.path);
    FUZZ_CHECK(opened == CKVTAStreamFile::kOpenOk || opened == CKVTAStreamFile::kOpenNotRecording
               || opened == CKVTAStreamFile::kOpenBadHeader);
    FUZZ_CHECK(file.IsOpen() == (opened == CKVTAStreamFile::kOpenOk));
    if (opened != CKVTAStreamFile::kOpenOk) {
        FUZZ_CHECK(file.GetStreamCount() == 0 && file.GetHeader() == nullptr);
        return 0;
    }
    FUZZ_CHECK(file.GetDataStart() <= size);
    const uint64_t start = file.GetStartTime();
    AskHeader(file);
    file.HasChunkGaps();
    file.GetFirstSweepLength();
    file.GetEarliestChunkTime();

    const int sweeps = file.GetSweepCount();
    FUZZ_CHECK(sweeps >= 0);
    FUZZ_CHECK(file.GetSweepStartTime(sweeps) == nullptr && file.GetSweepStopTime(-1) == nullptr);
    for (int i = 0; i < std::min(sweeps, kSweepsAsked); ++i) {
        FUZZ_CHECK(file.GetSweepStartTime(i) != nullptr && file.GetSweepStopTime(i) != nullptr);
        file.GetSweepStartValue(i);
    }

    const int count = file.GetStreamCount();
    FUZZ_CHECK(count >= 0 && file.GetStream(count) == nullptr && file.GetStream(-1) == nullptr);
    std::vector<size_t> records;
    for (int i = 0; i < count; ++i) {
        CKVTAStream* stream = file.GetStream(i);
        FUZZ_CHECK(stream != nullptr && stream->GetFile() == &file);
        AskStream(*stream);
        file.FindStream(stream->GetChunkId().c_str());
        const bool inOrder = WalkBlocks(file, *stream, size);
        records.push_back(WalkRecords(*stream, size));
        CopySamples(file, *stream, sweeps, inOrder);
    }
    WalkFileChunks(file, size);

    // Opened again on the same object, nothing of the first opening carries over.
    FUZZ_CHECK(file.Open(memory.path) == CKVTAStreamFile::kOpenOk);
    FUZZ_CHECK(file.GetStartTime() == start && file.GetStreamCount() == count);
    FUZZ_CHECK(file.GetSweepCount() == sweeps);
    for (int i = 0; i < count; ++i)
        FUZZ_CHECK(WalkRecords(*file.GetStream(i), size) == records[static_cast<size_t>(i)]);
    return 0;
}
