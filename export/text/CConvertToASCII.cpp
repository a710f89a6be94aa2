#include "export/text/CConvertToASCII.h"

#include <algorithm>
#include <cmath>

#include "datafile/container/CKVTAStream.h"
#include "datafile/events/CKVTAEvent.h"
#include "export/core/StringHelpers.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/text/CSpillBuffer.h"

namespace {

// Output is handed to the file in blocks of about this size.
constexpr size_t kFlushBytes = 1 << 20;
// Memory that the per-entry blocks of one writer may hold before they spill to scratch files.
constexpr size_t kBlockMemory = 32u << 20;

const char kTitle[] = "Sondrel ASCII conversion";
const char kCannotOpen[] = "Can not open Output file";
const char kCannotWrite[] = "Can not write Output file";

bool Contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

CConvertToASCII::CConvertToASCII(CKVD* dataSource, CKVDataSelection* selection, const uint16_t* recordingType)
    : CConvertInterface(dataSource, selection, recordingType)
{
}

CConvertToASCII::~CConvertToASCII() = default;

int CConvertToASCII::Convert(int* sweepBase, int64_t* timeOffset, bool openAndClose, bool firstInput)
{
    m_cursors.clear();
    m_cursorSource = GetDataSource();
    return CConvertInterface::Convert(sweepBase, timeOffset, openAndClose, firstInput);
}

// ---- Output file ----

bool CConvertToASCII::OpenOutputFile(const std::string& path)
{
    if (m_output.IsOpen() || IsInputFile(path) || !m_output.Open(path)) {
        ReportError(kCannotOpen);
        return false;
    }
    m_pending.clear();
    m_writeReported = false;
    Prefix(m_pending);
    m_pending += kTitle;
    Eol(m_pending);
    if (!Flush()) {
        (void)m_output.Close();
        ReportError(kCannotOpen);
        return false;
    }
    return true;
}

bool CConvertToASCII::CloseOutputFile()
{
    if (!m_output.IsOpen())
        return false;
    (void)Flush();   // a failed write makes Close fail
    m_pending.clear();
    return m_output.Close();
}

bool CConvertToASCII::Flush()
{
    if (!m_pending.empty()) {
        (void)m_output.Write(m_pending.data(), m_pending.size());   // a failure stays in Failed()
        m_pending.clear();
    }
    return !m_output.Failed();
}

void CConvertToASCII::Prefix(std::string& out) const
{
    if (m_options.CommentChar)
        out += m_options.CommentCharText;
}

void CConvertToASCII::Eol(std::string& out)
{
    out += kTextLineEnd;
    // A failed write stays on the output: FinishWrite reports it.
    if (&out == &m_pending && m_pending.size() >= kFlushBytes)
        (void)Flush();
}

void CConvertToASCII::EmptyHeadLine(std::string& out)
{
    Prefix(out);
    Eol(out);
}

void CConvertToASCII::Columns(std::string& out, const std::vector<std::string>& texts) const
{
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            out += '\t';
        m_format.Text(out, texts[i], 12);
    }
}

void CConvertToASCII::HeadRow(std::string& out, bool sweepColumns, const char* sweepFirst,
                              const char* sweepSecond, const std::vector<std::string>& titles)
{
    Prefix(out);
    if (sweepColumns)
        SweepTitles(out, sweepFirst, sweepSecond);
    Columns(out, titles);
    Eol(out);
}

void CConvertToASCII::SweepTitles(std::string& out, const char* first, const char* second) const
{
    m_format.Text(out, first, 12);
    out += '\t';
    m_format.Text(out, second, 12);
    out += '\t';
}

std::vector<CSpillBuffer> CConvertToASCII::MakeBlocks(size_t count) const
{
    const size_t limit = std::max<size_t>(16 * 1024, kBlockMemory / std::max<size_t>(count, 1));
    std::vector<CSpillBuffer> blocks;
    blocks.reserve(count);
    for (size_t i = 0; i < count; ++i)
        blocks.emplace_back(limit);
    return blocks;
}

bool CConvertToASCII::DrainBlocks(std::vector<CSpillBuffer>& blocks)
{
    bool ok = true;
    for (CSpillBuffer& block : blocks) {
        const bool drained = block.Drain([this](const char* data, size_t size) {
            if (!Flush())
                return false;
            return m_output.Write(data, size);
        });
        ok = ok && drained;
    }
    if (!ok && !m_output.Failed() && !m_writeReported) {
        ReportError("Can not write a temporary file");
        m_writeReported = true;
    }
    return ok;
}

int CConvertToASCII::FinishEntryBlocks(std::vector<CSpillBuffer>& blocks, const std::vector<char>& written,
                                       int rc)
{
    for (size_t e = 0; e < blocks.size() && e < written.size(); ++e)
        if (!written[e] && rc == kConvertOk)
            EmptyHeadLine(blocks[e].Text());
    if (!DrainBlocks(blocks))
        return kConvertReported;
    return rc;
}

// ---- Writer choice and time base ----

CConvertToASCII::WriterKind CConvertToASCII::ChooseWriter(const std::vector<std::string>& streamNames)
{
    bool kinds[kNoWriter];
    for (bool& kind : kinds)
        kind = !streamNames.empty();
    for (const std::string& name : streamNames) {
        kinds[kRawWriter] = kinds[kRawWriter]
                            && (Contains(name, "Electrode Raw Data") || Contains(name, "Channel Tool Data")
                                || Contains(name, "Analog Raw Data")
                                || (Contains(name, "Digital Data") && !Contains(name, "Digital Data Event"))
                                || Contains(name, "Filtered Data"));
        kinds[kSpikeWriter] = kinds[kSpikeWriter] && Contains(name, "Spikes");
        kinds[kAveragerWriter] = kinds[kAveragerWriter] && Contains(name, "Averager");
        kinds[kParameterWriter] = kinds[kParameterWriter] && name.rfind("Parameter", 0) == 0;
        kinds[kSpikeParameterWriter] = kinds[kSpikeParameterWriter] && Contains(name, "Spike Parameter");
        kinds[kBurstParameterWriter] = kinds[kBurstParameterWriter] && Contains(name, "Burst Parameter");
        kinds[kTriggerWriter] = kinds[kTriggerWriter] && Contains(name, "Trigger");
        kinds[kDigitalEventWriter] = kinds[kDigitalEventWriter] && Contains(name, "Digital Data Event");
    }
    for (int kind = 0; kind < kNoWriter; ++kind)
        if (kinds[kind])
            return static_cast<WriterKind>(kind);
    return kNoWriter;
}

CKVTAStream* CConvertToASCII::FindSelectedStream(const std::string& name) const
{
    const CKVD* source = GetDataSource();
    if (!source)
        return nullptr;
    if (CKVTAStream* stream = source->FindStream(name))
        return stream;
    std::string read;
    return StripEventWord(name, read) ? source->FindStream(read) : nullptr;
}

int CConvertToASCII::PrepareWrite(int64_t* timeOffset, bool newOutput, bool firstInput, WriterKind& kind)
{
    kind = kNoWriter;
    std::vector<std::string> names;
    CollectSelectedStreamNames(names);
    if (names.empty() || !GetDataSource())
        return kConvertNoChannels;
    // The rates of the streams the entries really read (a digital-event entry reads the
    // digital stream).
    std::vector<std::string> found;
    for (const std::string& name : names)
        if (const CKVTAStream* stream = FindSelectedStream(name))
            found.push_back(stream->GetName());
    if (!HaveSameSampleRate(found))
        return kConvertRatesDiffer;
    kind = ChooseWriter(names);
    m_newOutput = newOutput;
    m_firstInput = firstInput;
    SetTimeBase(timeOffset);
    return kind == kNoWriter ? kConvertIncompatible : kConvertOk;
}

void CConvertToASCII::SetTimeBase(int64_t* timeOffset)
{
    const int64_t startUs =
        static_cast<int64_t>(GetDataSource()->GetStreamFile().GetStartTimeStamp().GetTime() / 1000u);
    if (timeOffset && *timeOffset == 0)
        *timeOffset = startUs;
    m_fileTimeShift = startUs - (timeOffset ? *timeOffset : startUs);
}

int CConvertToASCII::SampleRateHz() const
{
    const CKVDataSelection* selection = GetSelection();
    const int value = selection ? selection->GetFirstEntryValue() : 0;
    if (value > 0)
        return value;
    // An entry added without its rate: the first selected stream's own rate.
    const CKVDataSelection::Entry* first = selection ? selection->At(0) : nullptr;
    const CKVTAStream* stream = first ? FindSelectedStream(first->streamName) : nullptr;
    return stream ? stream->GetSampleRate() : 0;
}

int CConvertToASCII::FinishWrite(int rc)
{
    if (!Flush() && !m_writeReported) {
        ReportError(kCannotWrite);
        m_writeReported = true;
    }
    return m_output.Failed() || rc == kConvertReported ? kConvertReported : rc;
}

int CConvertToASCII::WriteContinuousData(int64_t* timeOffset, bool newOutput, bool firstInput)
{
    if (!m_output.IsOpen())
        return kConvertOpenFailed;
    WriterKind kind = kNoWriter;
    if (const int rc = PrepareWrite(timeOffset, newOutput, firstInput, kind))
        return rc;
    int rc = kConvertOk;
    switch (kind) {
    case kRawWriter: rc = WriteRawContinuous(); break;
    case kSpikeWriter: rc = WriteSpikes(nullptr); break;
    case kAveragerWriter: rc = WriteAverages(nullptr); break;
    case kParameterWriter: rc = WriteParameters(nullptr); break;
    case kSpikeParameterWriter: rc = WriteAnalyserParameters(nullptr, false); break;
    case kBurstParameterWriter: rc = WriteAnalyserParameters(nullptr, true); break;
    case kTriggerWriter: rc = WriteTriggers(nullptr); break;
    case kDigitalEventWriter: rc = WriteDigitalEvents(nullptr); break;
    case kNoWriter: break;
    }
    // Events are written as the trusted chunks hold them; the time an event stream lost is named.
    if (kind != kRawWriter && kind != kNoWriter)
        NameSelectedHoles(0, INT64_MAX);
    return FinishWrite(rc);
}

int CConvertToASCII::GetBlockFlags(unsigned sweep) const
{
    if (m_options.SweepHeader)
        return kSweepHeaderLines | kColumnTitles;
    if (GetSingleOutput() && sweep + 1 != GetFirstSweep())
        return kSweepColumns;
    return kNewOutputTitles | kSweepColumns;
}

int CConvertToASCII::WriteSweepData(unsigned sweep, int* sweepBase, int64_t* timeOffset, bool newOutput,
                                    bool firstSweep)
{
    if (!m_output.IsOpen())
        return kConvertOpenFailed;
    WriterKind kind = kNoWriter;
    m_blockFlags = GetBlockFlags(sweep);
    m_sweepBase = sweepBase ? sweepBase : &m_ownSweepBase;
    if (const int rc = PrepareWrite(timeOffset, newOutput, firstSweep, kind))
        return rc;
    if (m_cursorSource != GetDataSource()) {
        m_cursors.clear();
        m_cursorSource = GetDataSource();
    }
    int rc = kConvertOk;
    if (kind == kRawWriter) {
        rc = WriteRawSweep(sweep) ? kConvertOk : kConvertReported;
    } else {
        const Sweep frame = BeginSweep(sweep);
        if ((m_blockFlags & kSweepHeaderLines) && !frame.continuation)
            WriteSweepHeaderLines(frame);
        switch (kind) {
        case kSpikeWriter: rc = WriteSpikes(&frame); break;
        case kAveragerWriter: rc = WriteAverages(&frame); break;
        case kParameterWriter: rc = WriteParameters(&frame); break;
        case kSpikeParameterWriter: rc = WriteAnalyserParameters(&frame, false); break;
        case kBurstParameterWriter: rc = WriteAnalyserParameters(&frame, true); break;
        case kTriggerWriter: rc = WriteTriggers(&frame); break;
        case kDigitalEventWriter: rc = WriteDigitalEvents(&frame); break;
        default: break;
        }
        NameSelectedHoles(frame.startUs, frame.startUs + frame.lengthUs);
    }
    return FinishWrite(rc);
}

// ---- Sweep frame ----

double CConvertToASCII::GetTriggerTimeMs(unsigned sweep)
{
    CKVD* source = GetDataSource();
    if (!source)
        return 0.0;
    const CKVTAStreamFile& file = source->GetStreamFile();
    const int64_t windowStartUs = static_cast<int64_t>(file.GetWindowStart()) * 1000;
    const int64_t lengthUs = static_cast<int64_t>(file.GetSweepLength()) * 1000;
    const int sweepIndex = static_cast<int>(sweep);
    if (sweep > 0)
        return static_cast<double>(m_fileTimeShift + source->GetSweepStartTimeUs(sweepIndex) - windowStartUs)
               / 1000.0;
    const int rate = SampleRateHz();
    const double oneSample = rate > 0 ? 1000.0 / rate : 0.0;
    return static_cast<double>(m_fileTimeShift + source->GetSweepStopTimeUs(0) - lengthUs - windowStartUs)
               / 1000.0
           - oneSample;
}

CConvertToASCII::Sweep CConvertToASCII::BeginSweep(unsigned index)
{
    Sweep sweep;
    sweep.index = index;
    sweep.triggerMs = GetTriggerTimeMs(index);
    // An input that ends inside a sweep hands its rest to the next input of the batch: both
    // parts share one trigger time and so one number and one block.
    if (*m_sweepBase != 0 && std::fabs(m_previousTriggerMs - sweep.triggerMs) < 0.000001) {
        --*m_sweepBase;
        sweep.continuation = !m_newOutput;
    }
    m_previousTriggerMs = sweep.triggerMs;
    sweep.number = *m_sweepBase + static_cast<int>(index) + 1;
    sweep.startUs = GetDataSource()->GetSweepStartTimeUs(static_cast<int>(index));
    sweep.lengthUs = static_cast<int64_t>(GetDataSource()->GetStreamFile().GetSweepLength()) * 1000;
    if (m_blockFlags & kSweepColumns) {
        m_format.Int(sweep.columns, sweep.number, 12);
        sweep.columns += '\t';
        m_format.Fixed(sweep.columns, sweep.triggerMs, 3, 12);
        sweep.columns += '\t';
    }
    return sweep;
}

void CConvertToASCII::WriteSweepHeaderLines(const Sweep& sweep)
{
    EmptyHeadLine(m_pending);
    Prefix(m_pending);
    m_pending += "Sweep = ";
    m_format.Int(m_pending, sweep.number, 0);
    Eol(m_pending);
    Prefix(m_pending);
    m_pending += "Trigger-Time = ";
    m_format.Fixed(m_pending, sweep.triggerMs, 3, 0);
    m_pending += " ms";
    Eol(m_pending);
}

// ---- Shared by the writers ----

const CSampleText* CConvertToASCII::SampleText(CSampleText::Kind kind, int bit, uint16_t zero, double scale)
{
    for (const auto& text : m_sampleTexts)
        if (text->Matches(kind, bit, zero, scale))
            return text.get();
    m_sampleTexts.push_back(std::make_unique<CSampleText>(kind, bit, zero, scale, m_format));
    return m_sampleTexts.back().get();
}

CConvertToASCII::Cursor& CConvertToASCII::CursorFor(const std::string& key, CKVTAStream* stream)
{
    Cursor& cursor = m_cursors[key];
    if (!cursor.created) {
        cursor.created = true;
        cursor.event = stream ? stream->GetFirstEvent() : nullptr;
        cursor.ended = !cursor.event;
    }
    return cursor;
}

int CConvertToASCII::ReportEventProgress(double timeMs, const std::string& text)
{
    const double durationMs = static_cast<double>(RecordingStopUs()) / 1000.0;
    double percent = durationMs > 0.0 ? timeMs * 100.0 / durationMs : 100.0;
    if (!(percent >= 0.0))
        percent = 0.0;
    if (percent > 100.0)
        percent = 100.0;
    return ReportProgress(static_cast<int>(percent), text.c_str()) ? kConvertCancelled : kConvertOk;
}
