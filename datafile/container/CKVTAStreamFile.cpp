#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/container/CKVTADataBlock.h"

#include <algorithm>
#include <cstring>

#include "datafile/container/KvdFormat.h"
#include "platform/Clock.h"
#include "platform/File64.h"
#include "platform/FileTime.h"
#include "platform/Numeric.h"

namespace FH = Kvd::FileHeader;

int32_t KvtOpenedProgramVersion = 0;
int32_t KvtOpenedProgramVersion2 = 0;

namespace {

// Old recordings name this many blocks of their first stream to tell triggered from
// continuous recording, and to measure the first sweep.
constexpr int kRepairBlocks = 46;
constexpr uint64_t kLongChunkNs = 128000000;
constexpr size_t kProgressTextMax = 511;
constexpr uint32_t kProgressIntervalMs = 200;

bool IsRawType(const std::string& type)
{
    return type == "analog" || type == "digital" || type == "chat" || type == "filter";
}

uint64_t Duration(const CKVTADataBlock& block)
{
    return block.GetStopTime() > block.GetStartTime() ? block.GetStopTime() - block.GetStartTime() : 0;
}

} // namespace

CKVTAStreamFile::CKVTAStreamFile() = default;

CKVTAStreamFile::~CKVTAStreamFile()
{
    Close();
}

void CKVTAStreamFile::ResetPerFileState()
{
    m_firstChunkTime = 0;
    m_startTrigger = -2;
    m_stopTrigger = -2;
    m_onlyRawStreams = false;
    m_longChunk = false;
    m_discardIndexEntries = false;
    m_listHeaderSize = 0;
    m_dataStart = 0;
    m_indexPosition = 0;
    m_storedIndexPosition = 0;
}

int CKVTAStreamFile::Open(const std::string& pathGiven)
{
    // A copy: the caller may pass GetPath(), which Close empties.
    const std::string path = pathGiven;
    Close();
    ResetPerFileState();
    ClearIndex();
    m_file = fopen(path.c_str(), "rb");
    if (!m_file)
        return kOpenCannotOpen;
    m_path = path;
    m_reader.Attach(m_file);
    char magic[Kvd::kIdBytes];
    if (!m_reader.Read(magic, sizeof magic) || std::memcmp(magic, Kvd::kIdMagic, Kvd::kIdBytes) != 0) {
        Close();
        return kOpenNotRecording;
    }
    if (!ReadHeader()) {
        Close();
        return kOpenBadHeader;
    }
    const uint64_t start = m_header.GetStartTime();
    m_fileStamp = CKVTATimeStamp(m_header.GetRecordingTime(), start);
    m_startStamp = CKVTATimeStamp(start, start);
    m_stopStamp = CKVTATimeStamp(m_header.GetStopTime(), start);
    KvtOpenedProgramVersion = m_header.GetProgramVersion();
    KvtOpenedProgramVersion2 = m_header.GetProgramVersion2();
    const int32_t storedMode = m_header.GetRecordingMode();
    RepairOldRecording();
    // The chunks were judged as those of the mode stored; a mode told by the gaps judges them
    // anew (sweeps leave gaps that a continuous recording has only where data were lost).
    if (m_header.GetRecordingMode() != storedMode) {
        ResetChain(m_indexPosition);
        StartFromFirstBlockAgain(start);
        MeasureFirstSweepAgain();
    }
    return kOpenOk;
}

void CKVTAStreamFile::Close()
{
    m_streams.clear();
    m_chain.Reset(nullptr, 0, 0);
    m_reader.Attach(nullptr);
    if (m_file)
        fclose(m_file);
    m_file = nullptr;
    m_hasHeader = false;
    m_header.Clear();
    ClearIndex();
    m_indexCacheFolder.clear();
    m_path.clear();
}

int CKVTAStreamFile::Reset()
{
    Close();
    ResetPerFileState();
    return 0;
}

int CKVTAStreamFile::ReadHeader()
{
    if (!m_file)
        return 0;
    m_streams.clear();
    m_chain.Reset(nullptr, 0, 0);
    m_hasHeader = m_header.Read(m_reader, m_listHeaderSize);
    if (!m_hasHeader || !ReadLayoutAndStimulator() || !ReadStreams() || !ReadDataStart())
        return 0;
    m_storedIndexPosition = m_indexPosition;
    CheckIndexPosition();
    ResetChain(m_indexPosition);
    if (m_header.GetStartTime() == 0)
        m_header.Set<uint64_t>(FH::kStartTime, GetEarliestChunkTime());
    return 1;
}

void CKVTAStreamFile::ResetChain(uint64_t indexPosition)
{
    KvtResetChain(m_chain, &m_reader, m_dataStart, indexPosition, *this, m_streams);
}

bool CKVTAStreamFile::ReadLayoutAndStimulator()
{
    // Both readers work on the FILE*; the header reader goes on where they stopped.
    const int32_t kind = m_header.GetLayoutKind();
    if (kind == CKVLayout::kIndividualLayout) {
        if (!Seek64(m_file, static_cast<int64_t>(m_reader.Tell())) || !m_layout.ReadLayoutChunk(m_file))
            return false;
        const int64_t at = Tell64(m_file);
        if (at < 0)
            return false;
        m_reader.Seek(static_cast<uint64_t>(at));
    } else {
        const auto u16 = [this](size_t offset) {
            return static_cast<int32_t>(m_header.Get<uint16_t>(offset));
        };
        m_layout.BuildDefault(kind, u16(FH::kTotalChannels),
                              u16(FH::kElectrodeCount1) + u16(FH::kElectrodeCount2),
                              u16(FH::kAnalogCount1) + u16(FH::kAnalogCount2), u16(FH::kDigitalCount));
    }
    if (m_header.GetStimulatorFlag() != 0) {
        if (!Seek64(m_file, static_cast<int64_t>(m_reader.Tell())) || !m_stimulator.ReadChunk(m_file))
            return false;
        const int64_t at = Tell64(m_file);
        if (at < 0)
            return false;
        m_reader.Seek(static_cast<uint64_t>(at));
    }
    return true;
}

bool CKVTAStreamFile::ReadStreams()
{
    // No room is reserved by the count: it is a claim, and every stream must really be there.
    const int32_t count = m_header.GetStreamCount();
    for (int32_t i = 0; i < count; ++i) {
        auto stream = std::make_unique<CKVTAStream>(this);
        if (stream->Read(m_reader) != 0)
            return false;
        m_streams.push_back(std::move(stream));
    }
    return true;
}

bool CKVTAStreamFile::ReadDataStart()
{
    const uint16_t version = m_header.GetVersion();
    m_indexPosition = 0;
    if (version == 0) {
        int64_t listStreamsSize = 0;
        if (!CKVTAFileHeader::ReadListStreams(m_reader, listStreamsSize))
            return false;
        m_dataStart = m_reader.Tell();
        return true;
    }
    if (version < 5) {
        // Old files name their start trigger by the chunk number of its stream.
        const uint16_t number = m_header.GetTriggerStreamNumber();
        for (const auto& stream : m_streams)
            if (stream->GetHeaderWord() == number)
                m_header.SetText(FH::kStartTriggerId, FH::kTriggerIdWidth, stream->GetId());
    }
    const char* block = reinterpret_cast<const char*>(m_header.Block().data());
    switch (m_header.GetRecordingMode()) {
    case 0:
        m_startTrigger = m_stopTrigger = -1;
        break;
    case 1:
        m_startTrigger = FindStream(block + FH::kStartTriggerId);
        m_stopTrigger = -1;
        break;
    case 2:
        m_startTrigger = FindStream(block + FH::kStartTriggerId);
        m_stopTrigger = FindStream(block + FH::kStopTriggerId);
        break;
    default:
        return false;
    }
    m_dataStart = m_reader.Tell();
    if (version >= 3) {
        int64_t position = 0;
        if (!CKVTAFileHeader::ReadIndexPosition(m_reader, position)) {
            m_header.Set<int32_t>(FH::kIndexFlag, 0);
            return false;
        }
        m_indexPosition = static_cast<uint64_t>(position);
        m_dataStart = m_reader.Tell();
    }
    return true;
}

void CKVTAStreamFile::CheckIndexPosition()
{
    if (m_header.GetVersion() < 3)
        return;
    // The data ends at the index position: one that does not lead to an index record would cut
    // every walk short there, so it counts as no index at all.
    if (m_indexPosition != 0) {
        char id[Kvd::kIdBytes];
        if (m_indexPosition < m_dataStart || !m_reader.ReadAt(m_indexPosition, id, sizeof id)
            || std::memcmp(id, Kvd::kIdIndex, Kvd::kIdBytes) != 0) {
            m_indexPosition = 0;
            m_header.Set<int32_t>(FH::kIndexFlag, 0);
        }
    }
    if (m_header.GetIndexFlag() != 0 && !ReadStoredIndex()) {
        m_header.Set<int32_t>(FH::kIndexFlag, 0);
        ClearIndex();
    }
}

bool CKVTAStreamFile::WroteNoModeOrWindow() const
{
    const int32_t program = m_header.GetProgramVersion();
    return static_cast<int16_t>(program >> 16) == 1 && (program & 0xFFFF) < 34;
}

void CKVTAStreamFile::MeasureFirstSweepAgain()
{
    // The first measure judged the chunks as those of a continuous recording, where a damaged
    // head at the start or end of a sweep costs its chunk and so a part of the sweep. Judged as
    // sweeps, where the length differs, the chunks are judged again with it.
    if (!WroteNoModeOrWindow() || m_header.GetRecordingMode() == 0)
        return;
    const float length = static_cast<float>(GetFirstSweepLength());
    if (length == m_header.GetWindowExtent())
        return;
    m_header.Set<float>(FH::kWindowExtent, length);
    ResetChain(m_indexPosition);
}

void CKVTAStreamFile::RepairOldRecording()
{
    if (WroteNoModeOrWindow()) {
        // These versions wrote neither the mode nor the window: gaps in the first stream
        // mean triggered recording, and the first gap ends the first sweep.
        m_header.Set<int32_t>(FH::kRecordingMode, HasChunkGaps());
        m_header.Set<float>(FH::kWindowExtent, static_cast<float>(GetFirstSweepLength()));
    }
    if (m_startTrigger == -2) {
        // Only version-0 files get here: they name no trigger stream.
        if (m_header.GetRecordingMode() <= 0) {
            m_startTrigger = -1;
        } else {
            m_onlyRawStreams = true;
            int triggers = 0;
            int trigger = -1;
            for (size_t i = 0; i < m_streams.size(); ++i) {
                const std::string type = m_streams[i]->GetBufferType();
                if (type == "trigger") {
                    ++triggers;
                    trigger = static_cast<int>(i);
                } else if (!IsRawType(type)) {
                    m_onlyRawStreams = false;
                }
            }
            if (triggers == 1)
                SetTriggerStreamIndex(trigger);
            if (m_onlyRawStreams && m_longChunk)
                m_discardIndexEntries = true;
        }
        // A file without streams has no format word to tell the rate by: it keeps its rate.
        if (!m_streams.empty() && static_cast<int16_t>(m_streams[0]->GetFormatWord2()) < 1500)
            m_header.Set<int32_t>(FH::kSampleRate, 2500000);
    } else {
        m_header.Set<int32_t>(FH::kRecordingMode, m_startTrigger == -1 ? 0 : m_stopTrigger > -1 ? 2 : 1);
    }
    if (m_startTrigger <= -1)
        m_header.Set<int32_t>(FH::kRecordingMode, 0);
}

void CKVTAStreamFile::OnBlockHandedOut(uint64_t chunkStart)
{
    const uint16_t version = m_header.GetVersion();
    if (KvtFirstBlockMovesStart(version, m_firstChunkTime, m_header.GetStartTime(), chunkStart))
        MoveStart(chunkStart);
}

void CKVTAStreamFile::MoveStart(uint64_t start)
{
    m_header.Set<uint64_t>(FH::kStartTime, start);
    m_startStamp.SetTime(start);
    m_fileStamp.SetStart(start);
    m_startStamp.SetStart(start);
    m_stopStamp.SetStart(start);
}

void CKVTAStreamFile::StartFromFirstBlockAgain(uint64_t headerStart)
{
    // The block that moved the start was judged as one of a continuous recording; judged as
    // one of sweeps, its start may have been put back onto its period, and the first block of
    // the same stream fixes the start anew.
    if (m_firstChunkTime == 0 || m_header.GetStartTime() == headerStart)
        return;
    MoveStart(headerStart);
    m_firstChunkTime = 0;
    std::unique_ptr<CKVTADataBlock> first;
    (void)FirstStreamWithData(first);
}

CKVTAStream* CKVTAStreamFile::FirstStreamWithData(std::unique_ptr<CKVTADataBlock>& first)
{
    for (const auto& stream : m_streams) {
        first = stream->GetFirstChunk();
        if (first)
            return stream.get();
    }
    return nullptr;
}

int CKVTAStreamFile::HasChunkGaps()
{
    std::unique_ptr<CKVTADataBlock> block;
    CKVTAStream* stream = FirstStreamWithData(block);
    if (!stream)
        return 0;
    uint64_t longest = Duration(*block);
    for (int seen = 1; seen < kRepairBlocks; ++seen) {
        auto next = stream->GetNextChunk(*block);
        if (!next)
            return GoesOnAfterPause(*block, longest) || DamagedCopyPauses()
                           || DamagedCopyPausesBehind(*block, longest)
                           || DamagedHeadsPauseBehind(*block, longest)
                       ? 1
                       : 0;
        if (next->GetStartTime() != block->GetStopTime())
            return 1;
        longest = std::max(longest, Duration(*next));
        block = std::move(next);
    }
    return DamagedCopyPauses() ? 1 : 0;
}

bool CKVTAStreamFile::DamagedCopyPauses()
{
    // A sound file is told by its first stream alone, as the recording program told it.
    if (!m_chain.Coverage().HasHoles())
        return false;
    return KvtSamplesPause(StreamList(), m_chain);
}

bool CKVTAStreamFile::DamagedCopyPausesBehind(const CKVTADataBlock& last, uint64_t chunkTime)
{
    // A sound file is told by its first stream alone, as the recording program told it.
    if (!m_chain.Coverage().HasHoles())
        return false;
    size_t i = 0;
    if (!m_chain.FindFrom(last.GetChunkOffset(), i))
        return false;
    // The chunks the recorder wrote next, each where the one before it ends: those of the same
    // period start before `last` stops; the first one after it tells the pause. A chunk the
    // account does not trust, or bytes between, may hold the time in between.
    const uint64_t stop = last.GetStopTime();
    uint64_t end = m_chain.At(i).End();
    while (m_chain.Has(++i)) {
        const KvtChunkInfo& c = m_chain.At(i);
        const std::vector<size_t>& trusted = m_chain.Coverage().ChunksOf(c.key);
        if (c.offset != end || !std::binary_search(trusted.begin(), trusted.end(), i))
            return false;
        if (c.start >= stop)
            return c.start - stop >= chunkTime;
        end = c.End();
    }
    return false;
}

bool CKVTAStreamFile::GoesOnAfterPause(const CKVTADataBlock& last, uint64_t chunkTime)
{
    // A sound file whose first stream ends early says nothing of a pause.
    return m_chain.Coverage().FileCut() && PauseBehind(last, chunkTime);
}

bool CKVTAStreamFile::PauseBehind(const CKVTADataBlock& last, uint64_t chunkTime)
{
    const CKVTACoverage& coverage = m_chain.Coverage();
    // The earliest chunk behind `last` in the file that starts at or after its stop: a chunk of
    // the next slot of a continuous recording starts within a chunk's time of it (a trigger
    // chunk at its event), the next sweep's later.
    const uint64_t stop = last.GetStopTime();
    uint64_t next = UINT64_MAX;
    for (const auto& stream : m_streams) {
        const std::vector<size_t>& chunks = coverage.ChunksOf(stream->GetChunkKey());
        // A stream's trusted chunks rise in file order and in time alike.
        const auto behind = std::partition_point(chunks.begin(), chunks.end(), [&](size_t i) {
            return m_chain.At(i).offset <= last.GetChunkOffset() || m_chain.At(i).start < stop;
        });
        if (behind != chunks.end())
            next = std::min(next, m_chain.At(*behind).start);
    }
    return next != UINT64_MAX && next - stop >= chunkTime;
}

uint64_t CKVTAStreamFile::GetFirstSweepLength()
{
    std::unique_ptr<CKVTADataBlock> block;
    CKVTAStream* stream = FirstStreamWithData(block);
    if (!stream)
        return 0;
    // Time lost before the first block, or between two blocks, is the sweep's too: a lost chunk
    // neither shortens the first sweep nor ends it. Lost apart from the first block, it is the
    // whole first sweep.
    uint64_t firstStart = block->GetStartTime();
    const uint64_t runStart = firstStart;
    uint64_t longest = Duration(*block);
    uint64_t length = 0;
    const std::vector<KvtHole>& holes = stream->GetHoles();
    if (!holes.empty() && holes.front().cause != KvtHoleCause::kFileCut && holes.front().from < firstStart) {
        firstStart = holes.front().from;
        if (holes.front().to < block->GetStartTime())
            return (holes.front().to - firstStart) / 1000000;
    }
    for (int seen = 1; seen < kRepairBlocks; ++seen) {
        auto next = stream->GetNextChunk(*block);
        const uint64_t stop = SweepLostUntil(*stream, firstStart, StopOfFrames(*stream, *block));
        if (!next) {
            // A copy cut short in a later sweep: the first sweep ended with the stream's data.
            // So it did where the damaged copy's streams pause (HasChunkGaps) and a later sweep
            // goes on behind it (its start read a frame early at most).
            const uint64_t frame = stream->GetCoverageFacts().FrameTime();
            if (GoesOnAfterPause(*block, longest) || DamagedCopyPausesBehind(*block, longest)
                || DamagedHeadsPauseBehind(*block, longest)
                || (DamagedCopyPauses() && PauseBehind(*block, longest - std::min(longest, frame))))
                length = stop > firstStart ? (stop - firstStart) / 1000000 : 0;
            else
                length = TriggerSpanningRun(*stream, runStart, stop) / 1000000;
            break;
        }
        longest = std::max(longest, Duration(*next));
        if (PausesBefore(*stream, stop, next->GetStartTime())) {
            length = stop > firstStart ? (stop - firstStart) / 1000000 : 0;
            break;
        }
        block = std::move(next);
    }
    if (longest > kLongChunkNs)
        m_longChunk = true;
    return length;
}

bool CKVTAStreamFile::PausesBefore(const CKVTAStream& stream, uint64_t stop, uint64_t nextStart)
{
    // A gap shorter than a frame is a time field a nanosecond or so off, not the end of a sweep.
    return nextStart > stop && nextStart - stop > stream.GetCoverageFacts().FrameTime();
}

uint64_t CKVTAStreamFile::LostUntil(CKVTAStream& stream, uint64_t stop)
{
    const KvtHole* hole = stream.GetHoleAt(stop);
    return hole && hole->cause != KvtHoleCause::kFileCut ? hole->to : stop;
}

uint64_t CKVTAStreamFile::StopOfFrames(CKVTAStream& stream, const CKVTADataBlock& block)
{
    // A stop a nanosecond or so short would cut the sweep by a millisecond. A sound file's times
    // stand as the recorder wrote them.
    if (!m_chain.Coverage().HasHoles())
        return block.GetStopTime();
    return stream.StopOnFrames(block.GetStartTime(), block.GetStopTime(), block.GetPayloadSize());
}

uint64_t CKVTAStreamFile::GetEarliestChunkTime()
{
    bool found = false;
    uint64_t earliest = 0;
    for (const auto& stream : m_streams) {
        const auto first = stream->GetFirstChunk();
        if (first && (!found || first->GetStartTime() < earliest)) {
            earliest = first->GetStartTime();
            found = true;
        }
    }
    return earliest;
}

int CKVTAStreamFile::ReportProgress(const char* text, int percent)
{
    if (!m_progress)
        return 0;
    std::string current = text ? text : "";
    if (current.size() > kProgressTextMax)
        current.resize(kProgressTextMax);
    const uint32_t now = GetTickCount();
    if (m_progressReported && current == m_progressText && percent == m_progressPercent
        && now - m_progressTick < kProgressIntervalMs)
        return 0;
    m_progressReported = true;
    m_progressText = current;
    m_progressPercent = percent;
    m_progressTick = now;
    return m_progress(m_progressText.c_str(), percent);
}

int32_t CKVTAStreamFile::GetProgramVersion() const
{
    return m_hasHeader ? m_header.GetProgramVersion() : 0;
}

int32_t CKVTAStreamFile::GetProgramVersion2() const
{
    return m_hasHeader ? m_header.GetProgramVersion2() : 0;
}

uint16_t CKVTAStreamFile::GetHeaderVersion() const
{
    return m_hasHeader ? m_header.GetVersion() : 0;
}

int32_t CKVTAStreamFile::GetRecordingMode() const
{
    return m_hasHeader ? m_header.GetRecordingMode() : 0;
}

int CKVTAStreamFile::GetSourceType() const
{
    return m_hasHeader ? static_cast<int>(static_cast<uint16_t>(m_header.GetLayoutKind())) : 0;
}

int32_t CKVTAStreamFile::GetSampleRate() const
{
    return m_hasHeader ? m_header.GetSampleRate() : 0;
}

std::string CKVTAStreamFile::GetTextBlock() const
{
    return m_hasHeader ? m_header.GetTextBlock() : std::string();
}

SYSTEMTIME CKVTAStreamFile::StartCalendar() const
{
    SYSTEMTIME calendar;
    if (m_hasHeader) {
        const FILETIME start = U64ToFileTime(m_header.GetStartTime() / 100);
        if (!FileTimeToSystemTime(&start, &calendar))
            calendar = SYSTEMTIME();
    }
    return calendar;
}

int CKVTAStreamFile::GetStartYear() const
{
    return StartCalendar().wYear;
}

int CKVTAStreamFile::GetStartMonth() const
{
    return StartCalendar().wMonth;
}

int CKVTAStreamFile::GetStartDay() const
{
    return StartCalendar().wDay;
}

int CKVTAStreamFile::GetStartHour() const
{
    return StartCalendar().wHour;
}

int CKVTAStreamFile::GetStartMinute() const
{
    return StartCalendar().wMinute;
}

int CKVTAStreamFile::GetStartSecond() const
{
    return StartCalendar().wSecond;
}

int CKVTAStreamFile::GetStartMillisecond() const
{
    return StartCalendar().wMilliseconds;
}

uint32_t CKVTAStreamFile::GetStartTimeSeconds() const
{
    return m_hasHeader ? static_cast<uint32_t>(m_header.GetStartTime() / 1000000) / 1000 : 0;
}

uint64_t CKVTAStreamFile::GetStartTimeMicroseconds() const
{
    return m_hasHeader ? m_header.GetStartTime() / 1000 : 0;
}

uint64_t CKVTAStreamFile::GetStartTime() const
{
    return m_hasHeader ? m_header.GetStartTime() : 0;
}

int CKVTAStreamFile::GetStreamCount() const
{
    return static_cast<int>(m_streams.size());
}

CKVTAStream* CKVTAStreamFile::GetStream(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_streams.size())
        return nullptr;
    return m_streams[static_cast<size_t>(i)].get();
}

int CKVTAStreamFile::GetSweepCount()
{
    if (!m_hasHeader)
        return 0;
    EnsureIndex();
    const int count = IndexSweepCount();
    uint64_t start = 0;
    uint64_t stop = 0;
    if (count > 0 && IndexSweep(count - 1, start, stop))
        m_stopStamp.SetTime(stop);
    else
        m_stopStamp.SetTime(m_startStamp.GetTime());
    return count;
}

std::unique_ptr<CKVTATimeStamp> CKVTAStreamFile::GetSweepStartTime(int i)
{
    uint64_t start = 0;
    uint64_t stop = 0;
    if (!IndexSweep(i, start, stop))
        return nullptr;
    return std::make_unique<CKVTATimeStamp>(start, GetStartTime());
}

std::unique_ptr<CKVTATimeStamp> CKVTAStreamFile::GetSweepStopTime(int i)
{
    uint64_t start = 0;
    uint64_t stop = 0;
    if (!IndexSweep(i, start, stop))
        return nullptr;
    return std::make_unique<CKVTATimeStamp>(stop, GetStartTime());
}

bool CKVTAStreamFile::StoredSweepsInOrder() const
{
    const int count = IndexSweepCount();
    for (int i = 0; i < count; ++i) {
        const uint64_t start = m_index.GetSweepStartValue(i);
        if (start > m_index.GetSweepStopValue(i) || (i > 0 && start < m_index.GetSweepStartValue(i - 1)))
            return false;
    }
    return true;
}

void CKVTAStreamFile::SettleSweeps()
{
    if (!m_hasHeader || !m_file)
        return;
    GetSweepCount();
    if (m_index.SweepStopsChecked())
        return;
    // Sweeps the recording program stored are kept while they are in order; damaged ones give
    // way to the sweeps of the trusted chunks.
    if (!StoredSweepsInOrder()) {
        m_index.Clear();
        (void)GenerateIndex();
    }
    m_index.SetSweepStopsChecked();
    const uint64_t end = m_chain.Coverage().SamplesEnd();
    std::vector<uint64_t> ends;
    std::vector<bool> has;
    SweepDataEnds(ends, has);
    // A stop less than a frame past the data is theirs: a time a nanosecond off the frame grid
    // must not cost the sweep's last row.
    uint64_t slack = UINT64_MAX;
    for (const auto& stream : m_streams)
        if (stream->FrameBytes() > 0)
            slack = std::min(slack, stream->GetCoverageFacts().FrameTime() - 1);
    if (slack == UINT64_MAX)
        slack = 0;
    const int last = IndexSweepCount() - 1;
    for (int i = 0; i <= last; ++i) {
        const uint64_t start = m_index.GetSweepStartValue(i);
        const uint64_t stop = m_index.GetSweepStopValue(i);
        // A stop past the sweep's own data (a damaged stored stop) ends where its data end, and
        // nothing is read past the extent; a continuous recording reaches it, however far its
        // header or index claims it went.
        uint64_t bounded = stop;
        const size_t k = static_cast<size_t>(i);
        const uint64_t dataEnd = std::max(ends[k], start);
        if (has[k] && (stop < start || (stop > dataEnd && stop - dataEnd > slack)))
            bounded = dataEnd;
        if (bounded > end && bounded - end > slack)
            bounded = std::max(start, end);
        if (i == last && GetRecordingMode() == 0)
            bounded = std::max(start, end);
        if (bounded != stop)
            m_index.SetSweepStopValue(i, bounded);
    }
    // The stop stamp follows the last sweep.
    GetSweepCount();
}

void CKVTAStreamFile::SweepDataEnds(std::vector<uint64_t>& ends, std::vector<bool>& has)
{
    const size_t count = static_cast<size_t>(IndexSweepCount());
    std::vector<uint64_t> starts(count);
    for (size_t i = 0; i < count; ++i)
        starts[i] = m_index.GetSweepStartValue(static_cast<int>(i));
    ends.assign(count, 0);
    has.assign(count, false);
    for (const auto& stream : m_streams) {
        if (stream->FrameBytes() == 0)
            continue;
        const CKVTAChunkChain::Key key = stream->GetChunkKey();
        size_t i = 0;
        for (size_t n = 0; m_chain.HasOfKey(key, n, i); ++n) {
            const KvtChunkInfo& chunk = m_chain.At(i);
            const auto after = std::upper_bound(starts.begin(), starts.end(), chunk.start);
            if (after == starts.begin())
                continue;
            const size_t sweep = static_cast<size_t>(after - starts.begin()) - 1;
            // Time a lost chunk held right behind this one is the sweep's too.
            const KvtHole* hole = stream->GetHoleAt(chunk.stop);
            const uint64_t dataEnd = hole ? hole->to : chunk.stop;
            ends[sweep] = has[sweep] ? std::max(ends[sweep], dataEnd) : dataEnd;
            has[sweep] = true;
        }
    }
}

KvtRecordingFacts CKVTAStreamFile::GetRecordingFacts() const
{
    KvtRecordingFacts facts = CKVTAFileContext::GetRecordingFacts();
    if (!m_hasHeader)
        return facts;
    facts.claimedStop = m_header.GetStopTime();
    // Only sweeps the file stores claim a stop: those worked out from its chunks say what the
    // account said.
    const int sweeps = m_header.GetIndexFlag() != 0 ? m_index.GetSweepCount() : 0;
    if (sweeps > 0)
        facts.claimedStop = std::max(facts.claimedStop, m_index.GetSweepStopValue(sweeps - 1));
    facts.indexPositionField = m_storedIndexPosition;
    facts.claimedChunks = static_cast<uint64_t>(std::max<int64_t>(0, m_header.GetDataChunkCount()));
    facts.sweepLength = SweepLengthNs();
    if (sweeps > 0 && StoredSweepsInOrder())
        for (int i = 0; i < sweeps; ++i)
            facts.storedSweeps.emplace_back(m_index.GetSweepStartValue(i), m_index.GetSweepStopValue(i));
    return facts;
}

uint64_t CKVTAStreamFile::GetSweepStartValue(int i) const
{
    uint64_t start = 0;
    uint64_t stop = 0;
    return IndexSweep(i, start, stop) ? start : 0;
}

int CKVTAStreamFile::GetSweepLength() const
{
    if (!m_hasHeader)
        return 0;
    return m_header.GetRecordingMode() == 0 ? -1 : TruncateToInt32(m_header.GetWindowExtent());
}

int CKVTAStreamFile::GetWindowStart() const
{
    return m_hasHeader ? TruncateToInt32(m_header.GetWindowStart()) : 0;
}

int CKVTAStreamFile::GetWindowExtent() const
{
    return m_hasHeader ? TruncateToInt32(m_header.GetWindowExtent()) : 0;
}

int CKVTAStreamFile::SetTriggerStreamIndex(int index)
{
    m_startTrigger = index;
    return 0;
}

int CKVTAStreamFile::SetStopTriggerStreamIndex(int index)
{
    m_stopTrigger = index;
    return 0;
}

int CKVTAStreamFile::FindStream(const char* id8) const
{
    if (!id8)
        return -1;
    for (size_t i = 0; i < m_streams.size(); ++i) {
        const std::string id = m_streams[i]->GetId();
        char padded[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        std::memcpy(padded, id.data(), std::min<size_t>(id.size(), sizeof padded));
        if (std::memcmp(padded, id8, sizeof padded) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int32_t CKVTAStreamFile::HasStoredIndex() const
{
    return m_hasHeader ? m_header.GetIndexFlag() : 0;
}

int32_t CKVTAStreamFile::GetChunkTimeLimit() const
{
    return m_hasHeader ? m_header.GetChunkTimeLimit() : 0;
}

int32_t CKVTAStreamFile::GetVersion8Value() const
{
    return m_hasHeader ? m_header.GetVersion8Value() : 0;
}

std::string CKVTAStreamFile::GetHeaderTitle() const
{
    return m_hasHeader ? m_header.GetTitle() : std::string();
}

std::string CKVTAStreamFile::GetHeaderSubtitle() const
{
    return m_hasHeader ? m_header.GetSubtitle() : std::string();
}

bool CKVTAStreamFile::GetHeaderRecordValues(int i, int32_t ints[6], double doubles[4]) const
{
    return m_hasHeader && m_header.GetInfoRecordValues(i, ints, doubles);
}

std::string CKVTAStreamFile::GetHeaderRecordText(int i) const
{
    return m_hasHeader ? m_header.GetInfoRecordText(i) : std::string();
}

// ---- Index ----

bool CKVTAStreamFile::ReadStoredIndex()
{
    return m_indexPosition != 0 && m_index.ReadStored(m_reader, m_indexPosition, m_dataStart);
}

std::vector<CKVTAStream*> CKVTAStreamFile::StreamList() const
{
    std::vector<CKVTAStream*> list;
    list.reserve(m_streams.size());
    for (const auto& stream : m_streams)
        list.push_back(stream.get());
    return list;
}

bool CKVTAStreamFile::LoadIndexCache()
{
    if (m_indexCacheFolder.empty() || !m_hasHeader)
        return false;
    return m_index.LoadCache(m_indexCacheFolder, m_header.GetRecordingTime(), m_reader, m_dataStart);
}

uint64_t CKVTAStreamFile::SweepLengthNs() const
{
    // A triggered recording's sweeps last the header's window extent.
    const double extentMs = m_header.GetRecordingMode() != 0 ? m_header.GetWindowExtent() : 0.0;
    return extentMs > 0 && extentMs < 1e12 ? static_cast<uint64_t>(extentMs * 1e6) : 0;
}

bool CKVTAStreamFile::GenerateIndex()
{
    if (!m_hasHeader || !m_file)
        return false;
    if (!m_index.GenerateIndex(StreamList(), *this, m_reader.Length(), m_discardIndexEntries, SweepLengthNs()))
        return false;
    // Never taken while nothing sets a cache folder. A cache file that cannot be written is
    // skipped: the index in memory is what counts.
    if (!m_discardIndexEntries && !m_indexCacheFolder.empty())
        (void)m_index.WriteCache(m_indexCacheFolder, m_header.GetRecordingTime(), m_path,
                                 GetStreamCount());
    return true;
}

void CKVTAStreamFile::EnsureIndex()
{
    // A file that discards its entries keeps only sweeps; built once per open all the same.
    if (m_index.IsBuilt())
        return;
    if (!LoadIndexCache()) {
        m_index.Clear();
        // Only a cancel fails it: the index then stays empty (no sweeps) and is built anew on
        // the next call.
        (void)GenerateIndex();
    }
}

bool CKVTAStreamFile::IndexSweep(int i, uint64_t& start, uint64_t& stop) const
{
    if (i < 0 || i >= m_index.GetSweepCount()) {
        start = stop = 0;
        return false;
    }
    start = m_index.GetSweepStartValue(i);
    stop = m_index.GetSweepStopValue(i);
    return true;
}

std::unique_ptr<CKVTADataBlock> CKVTAStreamFile::GetFirstChunk()
{
    return m_file ? KvtGetFirstChunk(*this) : nullptr;
}

std::unique_ptr<CKVTADataBlock> CKVTAStreamFile::GetNextChunk(const CKVTADataBlock& block)
{
    return m_file ? KvtGetNextChunk(*this, block) : nullptr;
}

bool CKVTAStreamFile::DamagedHeadsPauseBehind(const CKVTADataBlock& last, uint64_t chunkTime)
{
    // Where no trusted chunk goes on behind the first stream's last one, the heads the account
    // could not trust may still tell a pause: all of them claim a time a chunk or more later.
    const CKVTACoverage& coverage = m_chain.Coverage();
    if (!coverage.HasHoles())
        return false;
    const uint64_t stop = last.GetStopTime();
    for (const auto& stream : m_streams)
        for (size_t i : coverage.ChunksOf(stream->GetChunkKey()))
            if (m_chain.At(i).offset > last.GetChunkOffset() && m_chain.At(i).start >= stop
                && m_chain.At(i).start - stop < chunkTime)
                return false;
    return coverage.UnreadHeadsClaimLater(last.GetChunkOffset(), stop, chunkTime);
}

// Old files: the trigger that measures the first sweep.
uint64_t CKVTAStreamFile::SweepLostUntil(CKVTAStream& stream, uint64_t sweepStart, uint64_t stop)
{
    // Old files write one trigger chunk per sweep, spanning it: a trusted one that starts with
    // the sweep and stops with its data says the sweep ended there, and time lost behind them
    // is a later sweep's.
    const CKVTACoverage& coverage = m_chain.Coverage();
    const uint64_t frame = stream.GetCoverageFacts().FrameTime();
    for (const auto& trigger : m_streams) {
        if (trigger->FrameBytes() != 0 || trigger->GetBufferType() != "trigger")
            continue;
        for (size_t i : coverage.ChunksOf(trigger->GetChunkKey())) {
            const KvtChunkInfo& c = m_chain.At(i);
            if (c.start > sweepStart + frame)
                break;
            if (c.start + frame >= sweepStart && c.stop + frame >= stop && c.stop <= stop + frame)
                return stop;
        }
    }
    return LostUntil(stream, stop);
}

uint64_t CKVTAStreamFile::TriggerSpanningRun(CKVTAStream& stream, uint64_t runStart, uint64_t stop)
{
    // Where the first stream shows no pause (the first sweep's chunks all lost), a trusted
    // trigger chunk as long as the run of its blocks still measures a sweep: an old file writes
    // one per sweep, spanning it, and a run of chunks that lasts as long is one whole sweep.
    const CKVTACoverage& coverage = m_chain.Coverage();
    const uint64_t frame = stream.GetCoverageFacts().FrameTime();
    if (stop <= runStart)
        return 0;
    const uint64_t run = stop - runStart;
    for (const auto& trigger : m_streams) {
        if (trigger->FrameBytes() != 0 || trigger->GetBufferType() != "trigger")
            continue;
        for (size_t i : coverage.ChunksOf(trigger->GetChunkKey())) {
            const KvtChunkInfo& c = m_chain.At(i);
            if (c.start < c.stop && c.stop - c.start + frame >= run && c.stop - c.start <= run + frame)
                return run;
        }
    }
    return 0;
}
