#include "export/core/CConvertInterface.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "datafile/container/CKVTAChunkChain.h"
#include "datafile/container/CKVTAStream.h"
#include "datafile/container/CKVTAStreamFile.h"
#include "datafile/container/CKVTATimeStamp.h"
#include "export/core/CColumnScatter.h"
#include "export/core/StringHelpers.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "platform/CMessageReporter.h"
#include "platform/ConsoleOutput.h"
#include "platform/File64.h"

namespace {

bool Contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

CConvertInterface::CConvertInterface(CKVD* dataSource, CKVDataSelection* selection,
                                     const uint16_t* recordingType)
    : m_dataSource(dataSource), m_selection(selection), m_recordingType(recordingType)
{
}

CConvertInterface::~CConvertInterface() = default;

void CConvertInterface::SetSweepRange(unsigned first, unsigned last)
{
    m_firstSweep = first;
    m_lastSweep = last;
}

void CConvertInterface::ReportError(const std::string& text)
{
    if (m_console || !m_reporter) {
        ConsolePrint(text + "\n");
        std::fflush(stdout);
        return;
    }
    m_reporter->Report(text);
}

bool CConvertInterface::RemoveSelectedChannel(const std::string& streamName, const std::string& channelName,
                                              int bit)
{
    return m_selection && m_selection->Remove(streamName, channelName, bit);
}

bool CConvertInterface::CollectSelectedStreamNames(std::vector<std::string>& names) const
{
    const size_t before = names.size();
    for (int i = 0; m_selection && i < m_selection->GetCount(); ++i) {
        const std::string& name = m_selection->At(i)->streamName;
        bool seen = false;
        for (size_t j = before; j < names.size() && !seen; ++j)
            seen = names[j] == name;
        if (!seen)
            names.push_back(name);
    }
    return names.size() - before != 1;
}

bool CConvertInterface::HaveSameSampleRate(const std::vector<std::string>& names) const
{
    if (!m_dataSource)
        return true;
    bool haveReference = false;
    int32_t reference = 0;
    for (const std::string& name : names) {
        const CKVTAStream* stream = m_dataSource->FindStream(name);
        if (!stream)
            continue;
        if (!haveReference) {
            reference = stream->GetSampleRate();
            haveReference = true;
        } else if (stream->GetSampleRate() != reference) {
            return false;
        }
    }
    return true;
}

std::string CConvertInterface::InsertBeforeExtension(const std::string& outputName,
                                                     const std::string& text)
{
    const size_t slash = outputName.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = outputName.rfind('.');
    std::string name = outputName;
    name.insert(dot == std::string::npos || dot < nameStart ? name.size() : dot, text);
    return name;
}

std::string CConvertInterface::SweepFileName(const std::string& outputName, unsigned sweep)
{
    return InsertBeforeExtension(outputName, FormatString("_sweep%u", sweep));
}

std::string CConvertInterface::SweepFilePattern(const std::string& outputName)
{
    return InsertBeforeExtension(outputName, "_sweep*");
}

bool CConvertInterface::IsWritableRawStream(const std::string& streamName)
{
    return Contains(streamName, "Electrode Raw Data") || Contains(streamName, "Channel Tool Data")
           || Contains(streamName, "Analog Raw Data") || Contains(streamName, "Filtered Data")
           || (Contains(streamName, "Digital Data") && !Contains(streamName, "Digital Data Event"));
}

int CConvertInterface::FinishOutput(bool, bool)
{
    return kConvertOk;
}

bool CConvertInterface::IsContinuous() const
{
    if (m_recordingType)
        return *m_recordingType == kRecordingContinuous;
    return m_dataSource && m_dataSource->GetStreamFile().GetRecordingMode() == 0;
}

int CConvertInterface::GetSweepCount() const
{
    return m_dataSource ? m_dataSource->GetStreamFile().GetSweepCount() : 0;
}

int64_t CConvertInterface::RecordingStopUs() const
{
    return m_dataSource ? m_dataSource->GetRecordingStopTimeUs() : 0;
}

int CConvertInterface::ReportProgress(int percent, const char* text)
{
    return m_progress ? m_progress(m_progressContext, percent, text) : 0;
}

int CConvertInterface::CheckRawSelection(std::vector<std::string>& names) const
{
    names.clear();
    CollectSelectedStreamNames(names);
    if (names.empty())
        return kConvertNoChannels;
    if (!HaveSameSampleRate(names))
        return kConvertRatesDiffer;
    for (const std::string& name : names) {
        const CKVTAStream* stream = m_dataSource ? m_dataSource->FindStream(name) : nullptr;
        if (!stream || !stream->IsRawStream() || !IsWritableRawStream(name))
            return kConvertIncompatible;
    }
    return kConvertOk;
}

bool CConvertInterface::IsInputFile(const std::string& path) const
{
    struct stat output {};
    if (path.empty() || stat(path.c_str(), &output) != 0)
        return false;
    if (m_dataSource && SameFile(output, m_dataSource->GetPath()))
        return true;
    if (m_fileList)
        for (const CKVD* file : *m_fileList)
            if (file && SameFile(output, file->GetPath()))
                return true;
    return false;
}

// ---- The conversion frame ----

int CConvertInterface::Convert(int* sweepBase, int64_t* timeOffset, bool openAndClose, bool firstInput)
{
    m_dataMissing = false;
    m_missingNamed = false;
    if (!m_selection || m_selection->GetCount() == 0 || !m_dataSource)
        return kConvertNoChannels;
    // The sweeps and the stop time as far as the file holds data: the walks below never go
    // through time that holds nothing, however far a damaged field claims the data goes.
    m_dataSource->GetStreamFile().SettleSweeps();
    const bool continuous = IsContinuous();
    if (!continuous) {
        // Sweep indexes below are first - 1 .. last - 1: an unset range must not wrap round.
        const int count = GetSweepCount();
        if (m_firstSweep < 1 || m_firstSweep > m_lastSweep || count < 0
            || m_lastSweep > static_cast<unsigned>(count)) {
            ReportError(FormatString("Sweeps %u to %u do not exist: the recording holds %d sweeps.",
                                     m_firstSweep, m_lastSweep, count));
            return kConvertReported;
        }
    }
    if (const int rc = CheckBeforeOpen())
        return rc;

    if (continuous) {
        if (openAndClose && !OpenOutputFile(m_outputName))
            return kConvertOpenFailed;
        int rc = WriteContinuousData(timeOffset, openAndClose || firstInput, firstInput);
        if (rc == kConvertOk)
            rc = FinishOutput(false, true);
        if (rc != kConvertOk) {
            // The output is closed on every failure; the failure's code is the result.
            (void)CloseOutputFile();
            return rc;
        }
        if (openAndClose && !CloseOutputFile())
            return kConvertCloseFailed;
        NameCutWithoutEnd();
        // Finished whole, with the blocks that could not be read named: no success all the same.
        m_dataMissing = m_missingNamed;
        return m_dataMissing ? kConvertReported : kConvertOk;
    }

    const unsigned first = m_firstSweep;
    const unsigned last = m_lastSweep;
    const auto progress = [&](unsigned s) {
        const unsigned percent = first >= last ? 100u : (s - first) * 100u / (last - first);
        return ReportProgress(static_cast<int>(percent), FormatString("Sweep %u", s).c_str());
    };

    if (m_singleOutput) {
        if (openAndClose && !OpenOutputFile(m_outputName))
            return kConvertOpenFailed;
        for (unsigned s = first; s <= last; ++s) {
            const bool newOutput = s == first && (openAndClose || firstInput);
            const int rc = WriteSweepData(s - 1, sweepBase, timeOffset, newOutput, s == first && firstInput);
            if (rc != kConvertOk) {
                (void)CloseOutputFile();
                return rc;
            }
            if (progress(s)) {
                (void)CloseOutputFile();
                return kConvertCancelled;
            }
        }
        if (const int rc = FinishOutput(true, openAndClose)) {
            (void)CloseOutputFile();
            return rc;
        }
        if (openAndClose && !CloseOutputFile())
            return kConvertCloseFailed;
        return SweepsResult();
    }

    for (unsigned s = first; s <= last; ++s) {
        if (openAndClose && !OpenOutputFile(SweepFileName(m_outputName, s)))
            return kConvertOpenFailed;
        int rc = WriteSweepData(s - 1, sweepBase, timeOffset, true, firstInput && s == first);
        if (rc == kConvertOk)
            rc = FinishOutput(true, true);
        if (rc != kConvertOk) {
            (void)CloseOutputFile();
            return rc;
        }
        if (progress(s)) {
            (void)CloseOutputFile();
            return kConvertCancelled;
        }
        if (openAndClose && !CloseOutputFile())
            return kConvertCloseFailed;
    }
    return SweepsResult();
}

int CConvertInterface::SweepsResult()
{
    NameCutWithoutEnd();
    // Every sweep written, with time lost from an event stream named: no success all the same.
    m_dataMissing = m_missingNamed;
    return m_dataMissing ? kConvertReported : kConvertOk;
}

void CConvertInterface::NameCutWithoutEnd()
{
    CKVTAChunkChain* chain = m_dataSource->GetStreamFile().GetChunkChain();
    if (!chain || !chain->Coverage().EndUnknown())
        return;
    // Where the readable data end, counted as the "Data missing" lines count their times.
    const int64_t endUs = SinceStartUs(chain->Coverage().ExtentEnd());
    ReportError(FormatString("The file ends inside a chunk at %.3f s: it was cut short; the rest is missing.",
                             static_cast<double>(endUs) / 1e6));
    m_missingNamed = true;
}

int64_t CConvertInterface::SinceStartUs(uint64_t t) const
{
    const uint64_t origin = m_dataSource ? m_dataSource->GetStreamFile().GetStartTime() : 0;
    return static_cast<int64_t>(std::min<uint64_t>((t > origin ? t - origin : 0) / 1000, INT64_MAX));
}

std::vector<std::pair<int64_t, int64_t>> CConvertInterface::HolesWithin(CKVTAStream& stream, int64_t startUs,
                                                                        int64_t endUs) const
{
    std::vector<std::pair<int64_t, int64_t>> within;
    for (const KvtHole& hole : stream.GetHoles()) {
        const int64_t from = std::max(startUs, SinceStartUs(hole.from));
        const int64_t to = std::min(endUs, SinceStartUs(hole.to));
        if (to > from)
            within.emplace_back(from, to);
    }
    return within;
}

void CConvertInterface::NameSelectedHoles(int64_t startUs, int64_t endUs)
{
    std::vector<std::string> names;
    CollectSelectedStreamNames(names);
    m_missing.clear();
    for (const std::string& name : names) {
        CKVTAStream* stream = m_dataSource ? m_dataSource->FindStream(name) : nullptr;
        if (!stream)
            continue;
        for (const auto& [from, to] : HolesWithin(*stream, startUs, endUs))
            NoteMissing(name, from, to, MissingRows::kLeftOut);
    }
    ReportMissing();
}

int CConvertInterface::ForEachContinuousBlock(const std::function<int(int64_t, int64_t)>& writeBlock,
                                              bool withProgress, MissingRows missingRows)
{
    m_missing.clear();
    m_missingRows = missingRows;
    const int rc = WalkContinuousBlocks(writeBlock, withProgress);
    m_missingRows = MissingRows::kFilled;
    ReportMissing();
    return rc;
}

void CConvertInterface::NoteMissing(const std::string& stream, int64_t startUs, int64_t endUs, MissingRows done)
{
    // A stretch that goes on from the last one of its stream (the next block), its rows treated
    // alike, is one stretch.
    for (auto it = m_missing.rbegin(); it != m_missing.rend(); ++it) {
        if (it->stream != stream)
            continue;
        if (it->endUs == startUs && it->done == done) {
            it->endUs = endUs;
            return;
        }
        break;
    }
    m_missing.push_back(MissingStretch {stream, startUs, endUs, done});
}

void CConvertInterface::ReportMissing()
{
    if (m_missing.empty())
        return;
    m_missingNamed = true;
    std::stable_sort(m_missing.begin(), m_missing.end(),
                     [](const MissingStretch& a, const MissingStretch& b) { return a.startUs < b.startUs; });
    std::string text;
    for (const MissingStretch& range : m_missing) {
        const char* done = range.done == MissingRows::kFilled      ? "filled with 0 V"
                           : range.done == MissingRows::kLeftEmpty ? "left empty"
                                                                   : "not written";
        if (!text.empty())
            text += "\n";
        text += FormatString("Data missing from %.3f s to %.3f s in %s: %s.", static_cast<double>(range.startUs) / 1e6,
                             static_cast<double>(range.endUs) / 1e6, range.stream.c_str(), done);
    }
    m_missing.clear();
    ReportError(text);
}

void CConvertInterface::NoteWindowLosses(int64_t startUs, int64_t endUs, size_t rows, bool rowsWritten)
{
    const StreamColumns& lead = m_mapped.front();
    const int64_t rate = lead.stream ? std::max(0, lead.stream->GetSampleRate()) : 0;
    // Row k lies k / rate seconds after the window's start.
    const auto rowUs = [&](size_t row) {
        return row >= rows || rate <= 0 ? endUs : startUs + static_cast<int64_t>(row) * 1000000 / rate;
    };
    const auto firstRowFrom = [&](int64_t us) {
        const int64_t k = rate > 0 ? ((us - startUs) * rate + 999999) / 1000000 : 0;
        return std::min(rows, static_cast<size_t>(std::max<int64_t>(0, k)));
    };
    // A row is left out when every stream lacks it: the streams that lack each row are counted
    // once a loss asks.
    std::vector<size_t> lacking;
    const auto isLeftOut = [&](size_t row) { return lacking[row] == m_mapped.size(); };
    for (size_t i = 0; i < m_mapped.size(); ++i) {
        const StreamColumns& s = m_mapped[i];
        if (!s.stream)
            continue;
        std::vector<std::pair<int64_t, int64_t>> lost = HolesWithin(*s.stream, startUs, endUs);
        // Rows a trusted chunk holds but a failed read left unfilled were lost as well.
        for (const MissingCells& cells : m_missingCells)
            if (cells.stream == i && cells.toRow > s.unreadFrom)
                lost.emplace_back(rowUs(std::max(cells.fromRow, s.unreadFrom)), rowUs(cells.toRow));
        std::sort(lost.begin(), lost.end());
        for (size_t k = 0; k < lost.size(); ++k) {
            int64_t from = lost[k].first;
            int64_t to = lost[k].second;
            while (k + 1 < lost.size() && lost[k + 1].first <= to)
                to = std::max(to, lost[++k].second);
            if (m_missingRows != MissingRows::kLeftEmpty || !rowsWritten) {
                const bool filled = m_missingRows == MissingRows::kFilled;
                NoteMissing(s.name, from, to, filled ? MissingRows::kFilled : MissingRows::kLeftOut);
                continue;
            }
            if (lacking.empty()) {
                lacking.assign(rows, 0);
                for (const MissingCells& cells : m_missingCells)
                    for (size_t r = cells.fromRow; r < cells.toRow; ++r)
                        ++lacking[r];
            }
            // Split where the rows go from written with empty cells to not written at all; a
            // stretch too short to hold a row has nothing written for it.
            const size_t endRow = firstRowFrom(to);
            size_t row = firstRowFrom(from);
            if (row == endRow)
                NoteMissing(s.name, from, to, MissingRows::kLeftOut);
            while (row < endRow) {
                size_t next = row + 1;
                while (next < endRow && isLeftOut(next) == isLeftOut(row))
                    ++next;
                const int64_t until = next == endRow ? to : rowUs(next);
                NoteMissing(s.name, from, until, isLeftOut(row) ? MissingRows::kLeftOut : MissingRows::kLeftEmpty);
                from = until;
                row = next;
            }
        }
    }
}

int CConvertInterface::WalkContinuousBlocks(const std::function<int(int64_t, int64_t)>& writeBlock,
                                            bool withProgress)
{
    constexpr int64_t kBlockUs = 1000000;
    const int64_t stop = RecordingStopUs();
    int64_t start = 0;
    for (int64_t end = kBlockUs; end < stop; end += kBlockUs) {
        if (const int rc = writeBlock(start, end))
            return rc;
        if (withProgress && ReportProgress(static_cast<int>(end * 100 / stop), "Raw data streams"))
            return kConvertCancelled;
        start = end;
    }
    if (stop > start) {
        if (const int rc = writeBlock(start, stop))
            return rc;
        if (withProgress && ReportProgress(100, "Raw data streams"))
            return kConvertCancelled;
    }
    return kConvertOk;
}

// ---- Raw-data readers ----

bool CConvertInterface::MapStreams(std::vector<StreamColumns>& streams) const
{
    streams.clear();
    std::vector<std::string> names;
    CollectSelectedStreamNames(names);
    if (names.empty() || !m_dataSource)
        return false;
    bool complete = true;
    for (const std::string& name : names) {
        StreamColumns s;
        s.name = name;
        s.stream = m_dataSource->FindStream(name);
        s.channels = s.stream ? s.stream->GetChannelCount() : 0;
        complete = complete && s.stream && s.channels > 0;
        std::vector<std::string> channelNames;
        for (int c = 0; c < s.channels; ++c)
            channelNames.push_back(s.stream->GetChannelName(c));
        for (int e = 0; e < m_selection->GetCount(); ++e) {
            const CKVDataSelection::Entry* entry = m_selection->At(e);
            if (entry->streamName != name)
                continue;
            int channel = -1;
            for (int c = 0; c < s.channels && channel < 0; ++c)
                if (channelNames[static_cast<size_t>(c)] == entry->channelName)
                    channel = c;
            s.columns.emplace_back(e, channel);
        }
        s.identity = static_cast<int>(s.columns.size()) == s.channels && s.channels == m_selection->GetCount();
        for (size_t k = 0; s.identity && k < s.columns.size(); ++k)
            s.identity = s.columns[k].first == static_cast<int>(k) && s.columns[k].second == static_cast<int>(k);
        streams.push_back(std::move(s));
    }
    return complete;
}

size_t CConvertInterface::ReadIntoColumns(const StreamColumns& s, size_t want, const CKVTATimeStamp& from,
                                          const CKVTATimeStamp& to, uint16_t* out, size_t entries,
                                          bool subtractAdcZero, std::vector<std::pair<size_t, size_t>>* placed,
                                          uint64_t* failedRow)
{
    const uint16_t zero = subtractAdcZero && s.stream ? s.stream->GetAdcZero() : 0;
    const size_t channels = static_cast<size_t>(s.channels);
    const size_t rows = want / channels;
    const CColumnScatter scatter(s.columns, channels, entries, zero);
    // Pieces small enough that the frames read and the rows they go to stay in the cache.
    constexpr size_t kPieceValues = 192 * 1024;
    size_t row = 0;
    const int got = s.stream->GetRawDataPieces(
        static_cast<int>(want), from, to, kPieceValues / channels, m_streamBuffer,
        [&](const uint16_t* frames, size_t count, uint64_t at) {
            // Frames go to the row their time gives when a chunk is missing before them; one row
            // of slack keeps a boundary between two samples from opening a gap.
            if (placed && at > row + 1 && at < rows)
                row = static_cast<size_t>(at);
            count = std::min(count, rows > row ? rows - row : 0);
            if (count == 0)
                return;
            scatter.Apply(frames, count, out + row * entries);
            if (placed) {
                if (!placed->empty() && placed->back().second == row)
                    placed->back().second = row + count;
                else
                    placed->emplace_back(row, row + count);
            }
            row += count;
        },
        failedRow);
    return static_cast<size_t>(got);
}

void CConvertInterface::FillStreamRows(const StreamColumns& s, size_t from, size_t to, uint16_t* out,
                                       size_t entries, bool subtractAdcZero) const
{
    for (const auto& column : s.columns) {
        const uint16_t zero = ZeroVoltValue(column.first, subtractAdcZero);
        for (size_t r = from; r < to; ++r)
            out[r * entries + static_cast<size_t>(column.first)] = zero;
    }
}

void CConvertInterface::ReadStreamRows(StreamColumns& s, size_t rows, const CKVTATimeStamp& from,
                                       const CKVTATimeStamp& to, std::vector<uint16_t>& out, size_t entries,
                                       bool direct, bool subtractAdcZero)
{
    const size_t want = rows * static_cast<size_t>(s.channels);
    if (want == 0)
        return;
    // The whole selection is this stream in channel order: its frames are the rows, read
    // straight into `out` while nothing is missing.
    if (direct) {
        const size_t got = static_cast<size_t>(s.stream->GetRawData(out.data(), static_cast<int>(want), from, to));
        if (got == want) {
            if (subtractAdcZero)
                CColumnScatter::SubtractZero(out.data(), out.size(), s.stream->GetAdcZero());
            return;
        }
    }
    // Frames go to the rows their times give; the rows no chunk of the stream fills are missing
    // for this stream only. Whether they were lost is for the holes and failed reads to say:
    // a stream may end or pause before the others.
    std::vector<std::pair<size_t, size_t>> placed;
    uint64_t failedRow = UINT64_MAX;
    (void)ReadIntoColumns(s, want, from, to, out.data(), entries, subtractAdcZero, &placed, &failedRow);
    s.unreadFrom = static_cast<size_t>(std::min<uint64_t>(failedRow, rows));
    size_t row = 0;
    placed.emplace_back(rows, rows);
    for (const auto& run : placed) {
        if (run.first > row) {
            FillStreamRows(s, row, run.first, out.data(), entries, subtractAdcZero);
            m_missingCells.push_back(MissingCells {static_cast<size_t>(&s - m_mapped.data()), row, run.first});
        }
        row = std::max(row, run.second);
    }
}

uint16_t CConvertInterface::ZeroVoltValue(int entry, bool subtractAdcZero) const
{
    if (subtractAdcZero || !m_selection || !m_dataSource || !m_selection->At(entry))
        return 0;
    const CKVTAStream* stream = m_dataSource->FindStream(m_selection->At(entry)->streamName);
    return stream ? stream->GetAdcZero() : 0;
}

void CConvertInterface::FillZeroVolts(std::vector<uint16_t>& out, size_t rows, bool subtractAdcZero) const
{
    const size_t entries = m_selection ? static_cast<size_t>(m_selection->GetCount()) : 0;
    std::vector<uint16_t> zeros(entries);
    for (size_t e = 0; e < entries; ++e)
        zeros[e] = ZeroVoltValue(static_cast<int>(e), subtractAdcZero);
    out.resize(rows * entries);
    for (size_t k = 0; k < rows; ++k)
        std::copy(zeros.begin(), zeros.end(), out.begin() + static_cast<std::ptrdiff_t>(k * entries));
}

bool CConvertInterface::ReadContinuousRawData(int64_t startUs, int64_t endUs, std::vector<uint16_t>& out,
                                              int& samplesPerChannel, bool subtractAdcZero)
{
    samplesPerChannel = 0;
    m_missingCells.clear();
    std::vector<StreamColumns>& streams = m_mapped;
    // A stream missing from the map is named below, with the block it leaves out.
    (void)MapStreams(streams);
    if (streams.empty()) {
        out.clear();
        return false;
    }
    const size_t entries = static_cast<size_t>(m_selection->GetCount());
    const uint64_t origin = m_dataSource->GetStreamFile().GetStartTime();
    const CKVTATimeStamp from(origin + static_cast<uint64_t>(startUs) * 1000u, origin);
    const CKVTATimeStamp to(origin + static_cast<uint64_t>(endUs) * 1000u, origin);

    // The rows the window's time holds: the walk ends at the extent of the data.
    const StreamColumns& lead = streams.front();
    size_t rows = 0;
    if (lead.stream && lead.channels > 0)
        rows = static_cast<size_t>(lead.stream->GetSampleCountInWindow(from, to) / lead.channels);
    std::string failed;
    for (const StreamColumns& s : streams) {
        // One read counts its values in an int: more in one window is not a recording to trust.
        if (failed.empty() && (!s.stream || s.channels <= 0
                               || rows * static_cast<size_t>(s.channels) > static_cast<size_t>(INT_MAX)))
            failed = s.name;
    }
    const bool direct = streams.size() == 1 && lead.identity;
    // Columns of channels a stream lacks stay at 0; when every column has its channel, the
    // streams fill the rows completely.
    bool covered = true;
    for (const StreamColumns& s : streams)
        for (const auto& column : s.columns)
            covered = covered && column.second >= 0;
    out.resize(rows * entries);
    if (!direct && !covered)
        std::fill(out.begin(), out.end(), 0);
    samplesPerChannel = static_cast<int>(rows);
    if (!failed.empty()) {
        ReportError(FormatString("Error reading raw data stream %s. Excluded from conversion.", failed.c_str()));
        // The window holds no value of any stream: reported, so never a success, though only
        // the time the holes hold was lost.
        m_missingNamed = true;
        FillZeroVolts(out, rows, subtractAdcZero);
        NoteWindowLosses(startUs, endUs, rows, false);
        return false;
    }
    for (StreamColumns& s : streams)
        ReadStreamRows(s, rows, from, to, out, entries, direct, subtractAdcZero);
    NoteWindowLosses(startUs, endUs, rows, true);
    return true;
}

bool CConvertInterface::IsCellMissing(size_t row, size_t entry) const
{
    for (const MissingCells& cells : m_missingCells) {
        if (row < cells.fromRow || row >= cells.toRow)
            continue;
        for (const auto& column : m_mapped[cells.stream].columns)
            if (static_cast<size_t>(column.first) == entry)
                return true;
    }
    return false;
}

bool CConvertInterface::ReadSweepRawData(int sweep, std::vector<uint16_t>& out, int& samplesPerChannel,
                                         bool subtractAdcZero)
{
    samplesPerChannel = 0;
    std::vector<StreamColumns> streams;
    // A sweep a hole of a selected stream meets reads short and is refused below.
    if (!MapStreams(streams)) {
        out.clear();
        return false;
    }
    const size_t entries = static_cast<size_t>(m_selection->GetCount());
    const StreamColumns& lead = streams.front();
    const size_t rows = static_cast<size_t>(lead.stream->GetSweepSampleCount(sweep) / lead.channels);
    const bool direct = streams.size() == 1 && lead.identity;
    // A sweep count stops at the most values one read can count (INT_MAX): a sweep that reaches
    // it would be written cut short, so it is refused before anything is allocated.
    for (const StreamColumns& s : streams) {
        if (s.stream->GetSweepSampleCount(sweep) / s.channels >= INT_MAX / s.channels) {
            out.clear();
            return false;
        }
    }
    // Every stream fills all rows of its columns or the sweep is refused: only columns of
    // channels a stream lacks need clearing.
    bool covered = true;
    for (const StreamColumns& s : streams)
        for (const auto& column : s.columns)
            covered = covered && column.second >= 0;
    out.resize(rows * entries);
    if (!covered)
        std::fill(out.begin(), out.end(), 0);
    for (const StreamColumns& s : streams) {
        const int count = s.stream->GetSweepSampleCount(sweep);
        if (static_cast<size_t>(count / s.channels) != rows) {
            out.clear();
            return false;
        }
        if (count > 0 && direct && s.stream->GetSweepSamples(out.data(), count, sweep) < count) {
            out.clear();
            return false;
        }
        if (count > 0 && !direct) {
            // The window GetSweepSamples reads, piece by piece into the stream's columns.
            CKVTAStreamFile& file = m_dataSource->GetStreamFile();
            const auto start = file.GetSweepStartTime(sweep);
            const auto stop = file.GetSweepStopTime(sweep);
            if (!start || !stop || s.stream->IsContinuous()
                || ReadIntoColumns(s, static_cast<size_t>(count), *start, *stop, out.data(), entries,
                                   subtractAdcZero, nullptr) < static_cast<size_t>(count)) {
                out.clear();
                return false;
            }
        }
        if (direct && subtractAdcZero)
            CColumnScatter::SubtractZero(out.data(), out.size(), s.stream->GetAdcZero());
    }
    samplesPerChannel = static_cast<int>(rows);
    return true;
}
