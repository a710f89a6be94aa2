#include "app/CFileInfoReport.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "datafile/container/CKVTAChannel.h"
#include "datafile/container/CKVTAStream.h"
#include "datafile/info/CKVTAChannelToolInfo.h"
#include "datafile/info/CKVTAFilterInfo.h"
#include "datafile/info/CKVTAInfoBurstParameter.h"
#include "datafile/info/CKVTAInfoParam.h"
#include "datafile/info/CKVTAInfoSpike.h"
#include "datafile/info/CKVTAInfoSpikeParameter.h"
#include "datafile/info/CKVTAInfoTrigger.h"
#include "datafile/layout/CKVLayout.h"
#include "export/core/StringHelpers.h"
#include "export/model/CKVD.h"
#include "platform/TextEncoding.h"

namespace {

const char kTitle[] = "Harpstead Data File Information";
const char kIndent[] = "     ";
// The filter design that takes a centre frequency and a Q factor.
constexpr int kBandstopResonatorDesign = 7;

const char* LayoutText(int layoutType)
{
    switch (layoutType) {
    case 0: return "Plain electrode layout";
    case 1: return "MEA electrode layout";
    case 2: return "Double MEA electrode layout";
    case 3: return "Individual Layout";
    default: return "unknown layout";
    }
}

// Names joined by "; ". Unlike cutting the separator after the loop, nothing is cut from the
// label when no name is recorded.
std::string JoinNames(const std::vector<std::string>& names)
{
    std::string joined;
    for (size_t i = 0; i < names.size(); ++i)
        joined += (i == 0 ? "" : "; ") + names[i];
    return joined;
}

template <class Info>
std::unique_ptr<Info> InfoOf(const CKVTAStream& stream)
{
    std::unique_ptr<CKVTAInfo> info = stream.CreateInfo();
    if (auto* typed = dynamic_cast<Info*>(info.get())) {
        info.release();
        return std::unique_ptr<Info>(typed);
    }
    return nullptr;
}

} // namespace

CFileInfoReport::CFileInfoReport(CKVD& file, LineSink sink, bool windowed)
    : m_file(file), m_sink(std::move(sink)), m_windowed(windowed)
{
}

void CFileInfoReport::Write()
{
    m_sink(kTitleLine, kTitle);
    if (!m_file.IsOpen())
        return;
    std::string sizeText;
    m_file.GetFileSizeText(sizeText);
    Line(m_file.GetPath() + " (" + sizeText + " Bytes)");
    WriteLayoutLine();
    if (m_windowed && m_file.GetLayoutType() == CKVLayout::kIndividualLayout)
        WriteLayoutUnits();
    WriteRecordingKind();
    WriteTimes();

    const CKVTAStreamFile& streamFile = m_file.GetStreamFile();
    Line(FormatString(m_windowed ? "Data Acquisition Sample Rate was %dHz" : "Sample Rate was %dHz",
                      streamFile.GetSampleRate() / 1000));
    std::vector<std::string> names;
    m_file.GetStreamNames(names);
    const int count = static_cast<int>(names.size());
    Line(FormatString(count == 1 ? "File contains %d data stream" : "File contains %d data streams",
                      count));
    for (const std::string& name : names)
        if (CKVTAStream* stream = m_file.FindStream(name))
            WriteStream(*stream);
    WriteVersionLine();
}

void CFileInfoReport::WriteLayoutLine()
{
    const CKVTAStreamFile& streamFile = m_file.GetStreamFile();
    const std::string layout = LayoutText(m_file.GetLayoutType());
    const std::string title = streamFile.GetHeaderTitle();
    if (title.empty())
        Line("Layout: " + layout);
    else
        Line(title + " (" + streamFile.GetHeaderSubtitle() + ") / Layout: " + layout);
}

// The amplifiers (the distinct hardware names of the electrodes) and the electrode arrays (the
// layout's units) of an individual layout.
void CFileInfoReport::WriteLayoutUnits()
{
    const CKVLayout& layout = m_file.GetStreamFile().GetLayout();
    std::vector<std::string> amplifiers;
    std::vector<std::string> arrays;
    for (int32_t unit : layout.GetSortedUnitIds()) {
        arrays.push_back(layout.GetUnitName(unit));
        for (const LayoutRecord& record : layout.GetRecordsOfUnit(unit)) {
            if (record.subtype == 0 && !record.hardwareName.empty()
                && std::find(amplifiers.begin(), amplifiers.end(), record.hardwareName) == amplifiers.end())
                amplifiers.push_back(record.hardwareName);
        }
    }
    const auto list = [this](const std::vector<std::string>& names, const char* none, const char* count) {
        if (names.empty()) {
            Line(none);
            return;
        }
        Line(FormatString(count, static_cast<int>(names.size())));
        for (size_t i = 0; i < names.size(); ++i)
            Line(FormatString("%d: ", static_cast<int>(i + 1)) + names[i]);
    };
    list(amplifiers, "No amplifiers configured", "Number of Amplifiers: %d");
    list(arrays, "No MEAs configured", "Number of MEAs: %d");
}

void CFileInfoReport::WriteRecordingKind()
{
    CKVTAStreamFile& streamFile = m_file.GetStreamFile();
    const int trigger = streamFile.GetTriggerStreamIndex();
    if (trigger < 0) {
        Line("Continuous recording");
        return;
    }
    const int sweeps = streamFile.GetSweepCount();
    switch (streamFile.GetRecordingMode()) {
    case 1:
        Line(FormatString("Triggered recording (start on trigger), containing %d Sweeps", sweeps));
        Line(FormatString("  Start time: %d ms / Window extent: %d ms", streamFile.GetWindowStart(),
                          streamFile.GetWindowExtent()));
        if (const CKVTAStream* stream = streamFile.GetStream(trigger))
            Line("  Trigger stream: " + stream->GetName());
        break;
    case 2:
        Line(FormatString("Triggered recording (start/stop on trigger), containing %d Sweeps", sweeps));
        break;
    default:
        Line(FormatString("Triggered recording (unknown), containing %d Sweeps", sweeps));
        break;
    }
}

void CFileInfoReport::WriteTimes()
{
    // A header without stop time (version 0 stores none): the index knows where the data ends,
    // for continuous recordings as for triggered ones.
    CKVTAStreamFile& streamFile = m_file.GetStreamFile();
    if (streamFile.GetStopTimeStamp().GetTime() == 0)
        streamFile.GetSweepCount();
    std::string press, start, stop, duration;
    m_file.GetRecordingTimeTexts(press, start, stop, duration);
    Line("Recording button pressed on " + press);
    Line("Recording started on " + start + " stopped at " + stop + " (duration " + duration + ")");
}

void CFileInfoReport::WriteStream(CKVTAStream& stream)
{
    const int channels = stream.GetChannelCount();
    // The id is an 8-character field; never more of it.
    const std::string id = stream.GetId().substr(0, 8);
    Line(" * " + stream.GetName() + " (" + id + ")"
         + FormatString(channels < 2 ? " with %d channel" : " with %d channels", channels));
    if (m_windowed)
        Line(FormatString("     Sample Rate: %dHz", stream.GetSampleRate()));

    const std::string kind = stream.GetBufferType();
    if (kind == "params")
        WriteParameterLines(stream);
    else if (kind == "trigger")
        WriteTriggerLines(stream);
    else if (kind == "spikes")
        WriteSpikeLines(stream);
    else if (kind == "spkparam")
        WriteAnalyserLines(stream, false);
    else if (kind == "bstparam")
        WriteAnalyserLines(stream, true);
    else if (kind == "chat")
        WriteChannelToolLines(stream);
    else if (kind == "filter" && m_windowed)
        WriteFilterLines(stream);
}

void CFileInfoReport::WriteParameterLines(CKVTAStream& stream)
{
    const std::unique_ptr<CKVTAInfoParam> info = InfoOf<CKVTAInfoParam>(stream);
    if (!info)
        return;
    std::vector<std::string> names;
    for (int i = 0; i < CKVTAInfoParam::GetQuantityCount(); ++i)
        if (const KvtQuantity* quantity = info->GetQuantity(i); quantity && info->IsQuantityRecorded(i))
            names.push_back(quantity->name);
    Line(std::string(kIndent) + "Recorded Parameters: " + JoinNames(names));
    Line(std::string(kIndent) + "Input Stream: " + info->GetInputStreamText());
}

void CFileInfoReport::WriteTriggerLines(CKVTAStream& stream)
{
    const std::unique_ptr<CKVTAInfoTrigger> info = InfoOf<CKVTAInfoTrigger>(stream);
    if (!info)
        return;
    const std::string& input = info->GetInputStreamName();
    const int hwid = info->GetInputHwid();
    if (const CKVTAStream* source = m_file.FindStreamById(input)) {
        if (const CKVTAChannel* channel = source->FindChannelByNumber(hwid))
            Line(std::string(kIndent) + "Input Stream: " + source->GetName() + " (" + channel->GetName()
                 + ")");
        else
            Line(std::string(kIndent) + "Input Stream: " + source->GetName()
                 + FormatString(" (HWID %d)", hwid));
    } else if (input.empty()) {
        if (!m_windowed)
            Line(std::string(kIndent) + "Automatic Trigger");
        else if (hwid == -2)
            Line(std::string(kIndent) + "Automatic Trigger");
        else if (hwid == -3)
            Line(std::string(kIndent) + "Manual Trigger");
        else
            Line(std::string(kIndent) + "Unknown Trigger");
        return;
    } else {
        Line(std::string(kIndent) + "Input Stream: " + input + FormatString("  (HWID %d)", hwid));
    }
    Line(FormatString("     Dead time: %d ms", info->GetDeadTime()));
    if (!info->IsDigitalTrigger()) {
        Line(FormatString("     Level: %d \xB5V", info->GetLevel()));
        Line(std::string(kIndent) + "Slope: " + (info->GetSlope() == 0 ? "pos" : "neg") + " ");
    } else if (info->IsParameterTrigger()) {
        Line(std::string(kIndent) + "Parameter Trigger");
        Line(std::string(kIndent) + "Parameter: " + info->GetParameterName() + " ");
        Line(std::string(kIndent) + "Unit: " + info->GetParameterUnit() + " ");
    } else {
        Line(FormatString("     Digital Trigger Value: %d / Mask: %d / Type: %d", info->GetDigitalValue(),
                          info->GetDigitalMask(), info->GetDigitalType()));
    }
}

void CFileInfoReport::WriteSpikeLines(CKVTAStream& stream)
{
    const std::unique_ptr<CKVTAInfoSpike> info = InfoOf<CKVTAInfoSpike>(stream);
    if (!info)
        return;
    const int units = info->GetSelectedUnitCount();
    if (units == 0) {
        Line(std::string(kIndent) + "No Spike Sorting");
    } else {
        std::string line = std::string(kIndent) + "Selected Units: ";
        for (int i = 0; i < units; ++i)
            line += FormatString("%d ", info->GetSelectedUnit(static_cast<int16_t>(i)));
        Line(line);
    }
    const std::string& input = info->GetInputStreamName();
    if (!input.empty()) {
        const CKVTAStream* source = m_file.FindStreamById(input);
        Line(std::string(kIndent) + "Input Stream: " + (source ? source->GetName() : input));
    }
    if (m_windowed) {
        // Stored in microseconds, shown in whole milliseconds.
        Line(FormatString("     Pre Trigger: %d ms", info->GetPreTrigger() / 1000));
        Line(FormatString("     Post Trigger: %d ms", info->GetPostTrigger() / 1000));
        Line(FormatString("     Dead Time: %d ms", info->GetDeadTime() / 1000));
    }
}

void CFileInfoReport::WriteAnalyserLines(CKVTAStream& stream, bool burst)
{
    const std::unique_ptr<CKVTAInfoSpikeParameter> info = InfoOf<CKVTAInfoSpikeParameter>(stream);
    if (!info)
        return;
    std::vector<std::string> names;
    for (int i = 0; i < info->GetParameterCount(); ++i)
        if (info->IsParameterRecorded(i))
            names.push_back(info->GetParameterName(i));
    std::string line = std::string(kIndent) + "Recorded Parameters: " + JoinNames(names);
    if (info->GetDigitalValue() != 0) {
        line += " / Selected Units: ";
        for (int i = 1; i < info->GetSelectedUnitCount(); ++i)
            if (info->GetSelectedUnit(i) != 0)
                line += FormatString("%d ", i);
    }
    Line(line);
    if (!info->GetInputStreamName().empty())
        Line(std::string(kIndent) + "Input Stream: " + info->GetInputStreamName());

    const auto* burstInfo = dynamic_cast<const CKVTAInfoBurstParameter*>(info.get());
    if (!burst || !burstInfo)
        return;
    const CMBurstAnalyzerProperty& limits = burstInfo->GetBurstSettings();
    Line(FormatString("     Max. Interval To Start Burst: %d ms", limits.m_maxIntervalToStart / 1000));
    Line(FormatString("     Max. Interval To End Burst: %d ms", limits.m_maxIntervalToEnd / 1000));
    Line(FormatString("     Min. Interval Between Bursts: %d ms", limits.m_minIntervalBetween / 1000));
    Line(FormatString("     Min. Duration Of Burst: %d ms", limits.m_minDuration / 1000));
    Line(FormatString("     Min. Number Of Spikes In Burst: %d", limits.m_minSpikeCount));
}

void CFileInfoReport::WriteChannelToolLines(CKVTAStream& stream)
{
    const std::unique_ptr<CKVTAChannelToolInfo> info = InfoOf<CKVTAChannelToolInfo>(stream);
    if (!info)
        return;
    Line(std::string(kIndent) + "Input Stream: " + info->GetInputStreamName() + " (Reference Channel: "
         + info->GetReferenceChannel() + ")");
}

void CFileInfoReport::WriteFilterLines(CKVTAStream& stream)
{
    const std::unique_ptr<CKVTAFilterInfo> info = InfoOf<CKVTAFilterInfo>(stream);
    if (!info)
        return;
    Line(std::string(kIndent) + "Filter: " + info->GetDesignName());
    if (info->IsSavitzkyGolay()) {
        Line(FormatString("     Order: %d", info->GetOrder()));
        Line(FormatString("     Num. Points: %d", info->GetNumPoints()));
    } else if (info->GetDesignIndex() == kBandstopResonatorDesign) {
        Line(FormatString("     Center Frequency: %.0f Hz", info->GetCenterFrequency()));
        Line(FormatString("     Q-Factor: %.0f", info->GetQFactor()));
    } else {
        Line(std::string(kIndent) + "Type: " + info->GetPassKindText());
        Line(FormatString("     Cutoff frequency: %d Hz", info->GetCutoffFrequency()));
    }
}

void CFileInfoReport::WriteVersionLine()
{
    const CKVTAStreamFile& streamFile = m_file.GetStreamFile();
    const auto first = static_cast<uint32_t>(streamFile.GetProgramVersion());
    const auto second = static_cast<uint32_t>(streamFile.GetProgramVersion2());
    Line(FormatString("Harpstead Software Version was %u.%u.%u.%u", first >> 16, first & 0xFFFFu,
                      second >> 16, second & 0xFFFFu));
}

std::vector<std::string> CFileInfoReport::Lines(CKVD& file, bool windowed)
{
    std::vector<std::string> lines;
    CFileInfoReport(file, [&lines](LineKind, const std::string& line) { lines.push_back(line); }, windowed)
        .Write();
    return lines;
}

bool CFileInfoReport::Print(CKVD& file, FILE* out)
{
    bool ok = true;
    CFileInfoReport(file, [&](LineKind, const std::string& line) {
        const std::string text = ToDisplayText(line) + "\n";
        if (ok && std::fwrite(text.data(), 1, text.size(), out) != text.size())
            ok = false;
    }).Write();
    return ok && std::fflush(out) == 0 && !std::ferror(out);
}
