// Sample access of raw streams: copies by time window and by sweep, one channel or all, and
// the counts that size the callers' buffers.

#include "datafile/container/CKVTAStream.h"

#include <algorithm>
#include <climits>

#include "datafile/container/CFileReader.h"
#include "datafile/container/CKVTAFileContext.h"

namespace {

using U128 = unsigned __int128;

constexpr uint64_t kNsPerSecondTimesMilli = 1000000000000ull;  // ns per s x mHz per Hz
constexpr size_t kScratchBytes = 256 * 1024;
constexpr uint64_t kNsPerSecond = 1000000000;

uint64_t Saturate(U128 value)
{
    return value > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(value);
}

// Frames of a block sampled before `since` ns after the block start, at `rate` 1/1000 Hz.
// Rounding up keeps a window boundary that falls between two samples from splitting a frame,
// and puts a boundary taken in whole microseconds on the sample it was meant for. A time that
// lies a sixteenth of a frame or less past a sample is that sample's: block times are whole
// nanoseconds, and one a nanosecond off the frame grid must neither drop nor shift a row.
uint64_t FramesBefore(uint64_t since, int32_t rate)
{
    constexpr U128 kSlack = kNsPerSecondTimesMilli / 16;
    const U128 scaled = static_cast<U128>(since) * static_cast<uint32_t>(rate);
    if (scaled <= kSlack)
        return 0;
    return Saturate((scaled - kSlack + kNsPerSecondTimesMilli - 1) / kNsPerSecondTimesMilli);
}

// Payload values are little-endian; straight reads need turning round on a big-endian host.
void ToHostOrder(uint16_t* values, size_t count)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (size_t i = 0; i < count; ++i)
        values[i] = static_cast<uint16_t>((values[i] >> 8) | (values[i] << 8));
#else
    (void)values;
    (void)count;
#endif
}

} // namespace

uint64_t CKVTAStream::FrameBytes() const
{
    const int channels = GetChannelCount();
    if (!IsRawStream() || channels <= 0 || GetSampleRateMilliHz() <= 0)
        return 0;
    return 2 * static_cast<uint64_t>(channels);
}

uint64_t CKVTAStream::CopyWindow(uint64_t from, uint64_t to, uint64_t maxFrames, const FrameRun& take)
{
    const uint64_t frameBytes = FrameBytes();
    if (frameBytes == 0 || from > to || maxFrames == 0 || !FindChunkForTime(CKVTATimeStamp(from)))
        return 0;
    // Go on from the block that holds `from`; consecutive windows find it without a walk.
    CKVTAChunkChain* chain = Chain();
    const CKVTAChunkChain::Key key = GetChunkKey();
    size_t n = 0;
    if (!chain || !chain->FindOfKeyFrom(key, m_current->GetChunkOffset(), n))
        return 0;
    const int32_t rate = GetSampleRateMilliHz();
    uint64_t done = 0;
    size_t i = 0;
    while (done < maxFrames && chain->HasOfKey(key, n, i)) {
        const KvtChunkInfo chunk = chain->At(i);
        if (chunk.start >= to)
            break;
        m_file->OnBlockHandedOut(chunk.start);
        const uint64_t frames = static_cast<uint64_t>(chunk.payloadSize) / frameBytes;
        const uint64_t first =
            from > chunk.start ? std::min(frames, FramesBefore(from - chunk.start, rate)) : 0;
        // A block that ends inside the window gives all its frames, whatever its time span says.
        const uint64_t end =
            chunk.stop <= to ? frames : std::min(frames, FramesBefore(to - chunk.start, rate));
        if (end > first) {
            const uint64_t want = std::min(end - first, maxFrames - done);
            const uint64_t row = chunk.start > from ? FramesBefore(chunk.start - from, rate) : 0;
            const uint64_t got = take(chunk.PayloadPosition() + first * frameBytes, want, row);
            done += got;
            if (got < want)
                break;
        }
        if (chunk.stop > to)
            break;
        ++n;
    }
    return done;
}

bool CKVTAStream::CopyChannelRun(uint16_t* out, size_t channel, uint64_t position, uint64_t frames)
{
    // Reads the run slice by slice: memory stays small whatever the block size.
    CKVTAChunkChain* chain = Chain();
    const uint64_t frameBytes = FrameBytes();
    if (!chain || frameBytes == 0)
        return false;
    const uint64_t perSlice = std::max<uint64_t>(1, kScratchBytes / frameBytes);
    m_scratch.resize(static_cast<size_t>(std::min(frames, perSlice) * frameBytes));
    for (uint64_t done = 0; done < frames;) {
        const uint64_t k = std::min(perSlice, frames - done);
        const size_t bytes = static_cast<size_t>(k * frameBytes);
        if (!chain->Reader()->ReadAt(position + done * frameBytes, m_scratch.data(), bytes))
            return false;
        const uint8_t* value = m_scratch.data() + 2 * channel;
        for (uint64_t j = 0; j < k; ++j, value += frameBytes)
            out[done + j] = LoadLE<uint16_t>(value);
        done += k;
    }
    return true;
}

uint64_t CKVTAStream::CopyChannelWindow(uint16_t* out, int channel, uint64_t maxFrames, uint64_t from,
                                        uint64_t to)
{
    uint64_t copied = 0;
    return CopyWindow(from, to, maxFrames, [&](uint64_t position, uint64_t frames, uint64_t) -> uint64_t {
        if (!CopyChannelRun(out + copied, static_cast<size_t>(channel), position, frames))
            return 0;
        copied += frames;
        return frames;
    });
}

int CKVTAStream::GetRawData(uint16_t* out, int max, const CKVTATimeStamp& from, const CKVTATimeStamp& to)
{
    const uint64_t frameBytes = FrameBytes();
    if (frameBytes == 0 || !out || max <= 0)
        return 0;
    const uint64_t channels = frameBytes / 2;
    uint16_t* at = out;
    CFileReader* reader = Chain() ? Chain()->Reader() : nullptr;
    if (!reader)
        return 0;
    // Runs go straight into the caller's buffer, one read per block.
    const uint64_t frames = CopyWindow(from.GetTime(), to.GetTime(), static_cast<uint64_t>(max) / channels,
                                       [&](uint64_t position, uint64_t run, uint64_t) -> uint64_t {
                                           const size_t values = static_cast<size_t>(run * channels);
                                           if (!reader->ReadAt(position, at, values * 2))
                                               return 0;
                                           ToHostOrder(at, values);
                                           at += values;
                                           return run;
                                       });
    return static_cast<int>(frames * channels);
}

int CKVTAStream::GetRawDataPieces(int max, const CKVTATimeStamp& from, const CKVTATimeStamp& to,
                                  size_t pieceFrames, std::vector<uint16_t>& scratch, const RawPiece& take,
                                  uint64_t* failedRow)
{
    const uint64_t frameBytes = FrameBytes();
    CFileReader* reader = Chain() ? Chain()->Reader() : nullptr;
    if (frameBytes == 0 || max <= 0 || !reader)
        return 0;
    const uint64_t channels = frameBytes / 2;
    const uint64_t maxFrames = static_cast<uint64_t>(max) / channels;
    const uint64_t piece = std::max<uint64_t>(1, std::min<uint64_t>(pieceFrames, maxFrames));
    if (maxFrames > 0 && scratch.size() < piece * channels)
        scratch.resize(static_cast<size_t>(piece * channels));
    const auto readRun = [&](uint64_t position, uint64_t run, uint64_t row) -> uint64_t {
        // Pieces of equal size: no short last piece that costs a read of its own.
        const uint64_t pieces = (run + piece - 1) / piece;
        const uint64_t even = pieces > 0 ? (run + pieces - 1) / pieces : 0;
        for (uint64_t done = 0; done < run;) {
            const uint64_t k = std::min(even, run - done);
            const size_t values = static_cast<size_t>(k * channels);
            if (!reader->ReadAt(position + done * frameBytes, scratch.data(), values * 2)) {
                if (failedRow)
                    *failedRow = row + done;
                return 0;
            }
            ToHostOrder(scratch.data(), values);
            take(scratch.data(), static_cast<size_t>(k), row + done);
            done += k;
        }
        return run;
    };
    const uint64_t frames = CopyWindow(from.GetTime(), to.GetTime(), maxFrames, readRun);
    return static_cast<int>(frames * channels);
}

int64_t CKVTAStream::CopyChannelSamples(uint16_t* out, int channel, int64_t maxValues)
{
    const uint64_t frameBytes = FrameBytes();
    CKVTAChunkChain* chain = Chain();
    if (frameBytes == 0 || !chain || !out || maxValues <= 0 || !IsContinuous() || channel < 0
        || channel >= GetChannelCount())
        return 0;
    const CKVTAChunkChain::Key key = GetChunkKey();
    const uint64_t max = static_cast<uint64_t>(maxValues);
    uint64_t done = 0;
    size_t i = 0;
    for (size_t n = 0; done < max && chain->HasOfKey(key, n, i); ++n) {
        const KvtChunkInfo chunk = chain->At(i);
        m_file->OnBlockHandedOut(chunk.start);
        const uint64_t frames = std::min(static_cast<uint64_t>(chunk.payloadSize) / frameBytes, max - done);
        if (!CopyChannelRun(out + done, static_cast<size_t>(channel), chunk.PayloadPosition(), frames))
            break;
        done += frames;
    }
    return static_cast<int64_t>(done);
}

bool CKVTAStream::ExtendFrameTable(uint64_t frame)
{
    CKVTAChunkChain* chain = Chain();
    const uint64_t frameBytes = FrameBytes();
    if (!chain || frameBytes == 0)
        return false;
    const CKVTAChunkChain::Key key = GetChunkKey();
    size_t i = 0;
    while (m_frameEnds.empty() || m_frameEnds.back() <= frame) {
        if (!chain->HasOfKey(key, m_frameEnds.size(), i))
            return false;
        const uint64_t before = m_frameEnds.empty() ? 0 : m_frameEnds.back();
        m_frameEnds.push_back(before + static_cast<uint64_t>(chain->At(i).payloadSize) / frameBytes);
    }
    return true;
}

int CKVTAStream::CopyChannelSamplesRange(uint16_t* out, uint32_t channel, uint64_t firstFrame, int max)
{
    const uint64_t frameBytes = FrameBytes();
    CKVTAChunkChain* chain = Chain();
    if (frameBytes == 0 || !chain || !out || max <= 0 || !IsContinuous()
        || channel >= static_cast<uint32_t>(GetChannelCount()) || !ExtendFrameTable(firstFrame))
        return 0;
    // The block that holds the first frame, by binary search over the cumulative counts.
    size_t n = static_cast<size_t>(std::upper_bound(m_frameEnds.begin(), m_frameEnds.end(), firstFrame)
                                   - m_frameEnds.begin());
    uint64_t offset = firstFrame - (n == 0 ? 0 : m_frameEnds[n - 1]);
    const CKVTAChunkChain::Key key = GetChunkKey();
    const uint64_t limit = static_cast<uint64_t>(max);
    uint64_t done = 0;
    size_t i = 0;
    for (; done < limit && chain->HasOfKey(key, n, i); ++n, offset = 0) {
        const KvtChunkInfo chunk = chain->At(i);
        m_file->OnBlockHandedOut(chunk.start);
        const uint64_t frames = static_cast<uint64_t>(chunk.payloadSize) / frameBytes;
        if (offset >= frames)
            continue;
        const uint64_t want = std::min(frames - offset, limit - done);
        if (!CopyChannelRun(out + done, channel, chunk.PayloadPosition() + offset * frameBytes, want))
            break;
        done += want;
    }
    return static_cast<int>(done);
}

int CKVTAStream::GetSampleCountInWindow(const CKVTATimeStamp& from, const CKVTATimeStamp& to) const
{
    const uint64_t frameBytes = FrameBytes();
    if (frameBytes == 0 || from.GetTime() > to.GetTime())
        return 0;
    const uint64_t channels = frameBytes / 2;
    const uint64_t span = to.GetTime() - from.GetTime();
    const U128 frames = static_cast<U128>(static_cast<uint32_t>(GetSampleRate())) * span / 1000000000u;
    const uint64_t maxFrames = static_cast<uint64_t>(INT_MAX) / channels;
    return static_cast<int>(std::min<U128>(frames, maxFrames) * channels);
}

int64_t CKVTAStream::GetTotalSampleCount() const
{
    if (FrameBytes() == 0 || !IsContinuous())
        return 0;
    const uint64_t start = m_file->GetStartTime();
    const uint64_t stop = m_file->GetStopTime();
    if (stop <= start)
        return 0;
    const U128 values = static_cast<U128>(stop - start) * static_cast<uint32_t>(GetSampleRateMilliHz())
                        / kNsPerSecondTimesMilli;
    return static_cast<int64_t>(std::min<U128>(values, INT64_MAX));
}

uint64_t CKVTAStream::GetPayloadDuration(uint64_t payloadBytes) const
{
    return GetCoverageFacts().Duration(payloadBytes);
}

uint64_t CKVTAStream::GetDataStopTime(uint64_t start, uint64_t stop, int64_t payloadSize) const
{
    const uint64_t duration = payloadSize > 0 ? GetPayloadDuration(static_cast<uint64_t>(payloadSize)) : 0;
    if (duration == 0)
        return std::max(start, stop);
    const uint64_t framesEnd = Saturate(static_cast<U128>(start) + duration);
    const uint64_t latest = Saturate(static_cast<U128>(framesEnd) + std::max(duration, kNsPerSecond));
    // A stop short of the last frame's end by less than a frame is that end, off by a rounding:
    // the sweep it ends keeps its last row.
    const bool shortOfFrames = StopOnFrames(start, stop, payloadSize) != stop;
    return stop >= start && stop <= latest && !shortOfFrames ? stop : framesEnd;
}

uint64_t CKVTAStream::StopOnFrames(uint64_t start, uint64_t stop, int64_t payloadSize) const
{
    const uint64_t duration = payloadSize > 0 ? GetPayloadDuration(static_cast<uint64_t>(payloadSize)) : 0;
    const uint64_t framesEnd = Saturate(static_cast<U128>(start) + duration);
    const bool justShort = duration > 0 && stop >= start && stop < framesEnd
                       && framesEnd - stop < GetCoverageFacts().FrameTime();
    return justShort ? framesEnd : stop;
}

uint64_t CKVTAStream::GetDataStopTime(const CKVTADataBlock& block) const
{
    return GetDataStopTime(block.GetStartTime(), block.GetStopTime(), block.GetPayloadSize());
}

const std::vector<KvtHole>& CKVTAStream::GetHoles()
{
    static const std::vector<KvtHole> none;
    CKVTAChunkChain* chain = Chain();
    return chain ? chain->Coverage().HolesOf(GetChunkKey()) : none;
}

const KvtHole* CKVTAStream::GetHoleAt(uint64_t t)
{
    CKVTAChunkChain* chain = Chain();
    return chain ? chain->Coverage().HoleAt(GetChunkKey(), t) : nullptr;
}

int CKVTAStream::GetSweepSampleCount(int sweep) const
{
    if (FrameBytes() == 0 || !m_file || IsContinuous())
        return 0;
    const auto start = m_file->GetSweepStartTime(sweep);
    const auto stop = m_file->GetSweepStopTime(sweep);
    return start && stop ? GetSampleCountInWindow(*start, *stop) : 0;
}

bool CKVTAStream::SweepWindow(int sweep, uint64_t first, uint64_t count, uint64_t& from, uint64_t& to) const
{
    const int32_t rate = GetSampleRateMilliHz();
    if (FrameBytes() == 0 || !m_file || IsContinuous() || rate <= 0)
        return false;
    const auto start = m_file->GetSweepStartTime(sweep);
    if (!start)
        return false;
    // Sample k lies k x 10^9 / rate microseconds (truncated) after the sweep start.
    const auto offset = [rate](uint64_t sample) {
        return Saturate(static_cast<U128>(sample) * 1000000000u / static_cast<uint32_t>(rate) * 1000u);
    };
    from = start->GetTime() + offset(first);
    to = start->GetTime() + offset(first + count);
    return from >= start->GetTime() && to >= from;
}

int CKVTAStream::GetSweepData(uint16_t* out, int max, int sweep, int first, int count)
{
    uint64_t from = 0;
    uint64_t to = 0;
    if (first < 0 || count <= 0
        || !SweepWindow(sweep, static_cast<uint64_t>(first), static_cast<uint64_t>(count), from, to))
        return 0;
    return GetRawData(out, max, CKVTATimeStamp(from), CKVTATimeStamp(to));
}

int CKVTAStream::GetSweepSamples(uint16_t* out, int max, int sweep)
{
    if (FrameBytes() == 0 || !m_file || IsContinuous())
        return 0;
    const auto start = m_file->GetSweepStartTime(sweep);
    const auto stop = m_file->GetSweepStopTime(sweep);
    return start && stop ? GetRawData(out, max, *start, *stop) : 0;
}

bool CKVTAStream::HoldsWholeSweep(int sweep)
{
    const uint64_t frameBytes = FrameBytes();
    if (frameBytes == 0 || !m_file || IsContinuous())
        return false;
    const auto start = m_file->GetSweepStartTime(sweep);
    const auto stop = m_file->GetSweepStopTime(sweep);
    if (!start || !stop)
        return false;
    const uint64_t frames = static_cast<uint64_t>(GetSampleCountInWindow(*start, *stop)) / (frameBytes / 2);
    const auto count = [](uint64_t, uint64_t run, uint64_t) { return run; };
    return frames == 0 || CopyWindow(start->GetTime(), stop->GetTime(), frames, count) == frames;
}

int CKVTAStream::GetSweepChannelData(uint16_t* out, int max, int sweep, int channel, int first, int count)
{
    uint64_t from = 0;
    uint64_t to = 0;
    if (!out || max <= 0 || channel < 0 || channel >= GetChannelCount() || first < 0 || count <= 0
        || !SweepWindow(sweep, static_cast<uint64_t>(first), static_cast<uint64_t>(count), from, to))
        return 0;
    // At most `count` frames, as many as the all-channel copy of the window would hold.
    const uint64_t frames = std::min(static_cast<uint64_t>(count), static_cast<uint64_t>(max));
    return static_cast<int>(CopyChannelWindow(out, channel, frames, from, to));
}

int CKVTAStream::GetSweepChannelSamples(uint16_t* out, int max, int sweep, int channel)
{
    if (!out || max <= 0 || channel < 0 || channel >= GetChannelCount() || !m_file || IsContinuous())
        return 0;
    const auto start = m_file->GetSweepStartTime(sweep);
    const auto stop = m_file->GetSweepStopTime(sweep);
    if (!start || !stop)
        return 0;
    // As many frames as the sweep's sample count holds, as a buffer of that size would take.
    const uint64_t frames = static_cast<uint64_t>(GetSampleCountInWindow(*start, *stop))
                            / static_cast<uint64_t>(GetChannelCount());
    return static_cast<int>(CopyChannelWindow(out, channel, std::min(frames, static_cast<uint64_t>(max)),
                                              start->GetTime(), stop->GetTime()));
}
