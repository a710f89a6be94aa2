// The raw-data writers of the text converter: a time column and one value column per selection
// entry, continuous in one-second blocks or sweep by sweep.

#include "export/text/CConvertToASCII.h"

#include "datafile/container/CKVTAStream.h"
#include "export/core/StringHelpers.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"

void CConvertToASCII::PrepareColumns(std::vector<const CSampleText*>& columns,
                                     std::vector<std::string>& titles, std::vector<std::string>& units)
{
    const CKVDataSelection* selection = GetSelection();
    for (int e = 0; e < selection->GetCount(); ++e) {
        const CKVDataSelection::Entry& entry = *selection->At(e);
        const CKVTAStream* stream = FindSelectedStream(entry.streamName);
        const bool wholeDigital = entry.streamName == "Digital Data";
        if (entry.bit >= 0)
            columns.push_back(SampleText(CSampleText::kBit, entry.bit, 0, 1.0));
        else if (wholeDigital)
            columns.push_back(SampleText(CSampleText::kWord, -1, 0, 1.0));
        else
            columns.push_back(SampleText(CSampleText::kMicrovolts, -1, stream ? stream->GetAdcZero() : 0,
                                         stream ? stream->GetVoltsPerStep() * 1000000.0 : 0.0));
        std::string title = entry.streamName.substr(0, 2) + " " + entry.channelName;
        if (entry.bit >= 0)
            title += FormatString(" %02d", entry.bit);
        titles.push_back(title);
        units.push_back(wholeDigital ? "[]" : "[\xB5V]");
    }
}

void CConvertToASCII::WriteRawHead(bool sweepColumns, const std::vector<std::string>& titles,
                                   const std::vector<std::string>& units)
{
    EmptyHeadLine(m_pending);
    Prefix(m_pending);
    if (sweepColumns)
        SweepTitles(m_pending, "nSweep", "nTr-Time");
    m_format.Text(m_pending, "t", 12);
    for (const std::string& title : titles) {
        m_pending += '\t';
        m_format.Text(m_pending, title, 12);
    }
    Eol(m_pending);
    Prefix(m_pending);
    if (sweepColumns)
        SweepTitles(m_pending, "", "[ms]");
    m_format.Text(m_pending, "[ms]", 12);
    for (const std::string& unit : units) {
        m_pending += '\t';
        m_format.Text(m_pending, unit, 12);
    }
    Eol(m_pending);
}

int CConvertToASCII::WriteRawContinuous()
{
    std::vector<const CSampleText*> columns;
    std::vector<std::string> titles, units;
    PrepareColumns(columns, titles, units);
    if (m_newOutput)
        WriteRawHead(false, titles, units);
    return ForEachContinuousBlock(
        [&](int64_t fromUs, int64_t toUs) { return WriteRawBlock(fromUs, toUs, columns); }, true,
        MissingRows::kLeftEmpty);
}

int CConvertToASCII::WriteRawBlock(int64_t fromUs, int64_t toUs,
                                   const std::vector<const CSampleText*>& columns)
{
    std::vector<uint16_t>& samples = m_samples;
    int rows = 0;
    // A block with a stream that cannot be read at all was reported by the reader. It is left
    // out: every row carries its own time, so the gap shows and later rows keep their times.
    if (!ReadContinuousRawData(fromUs, toUs, samples, rows, false))
        return m_output.Failed() ? kConvertReported : kConvertOk;
    const double rate = SampleRateHz();
    const double blockStartMs = static_cast<double>(fromUs + m_fileTimeShift) / 1000.0;
    const size_t entries = columns.size();
    const bool holed = HasMissingCells();
    std::vector<bool> missing(holed ? entries : 0);
    for (int k = 0; k < rows; ++k) {
        const size_t r = static_cast<size_t>(k);
        // A cell its stream has no value for (a hole, or a stream that ends before the others)
        // is left empty: a reader sees a missing value, never one that reads as measured. A row
        // with nothing measured is left out.
        size_t lacking = 0;
        for (size_t e = 0; holed && e < entries; ++e)
            lacking += (missing[e] = IsCellMissing(r, e)) ? 1 : 0;
        if (holed && lacking == entries)
            continue;
        m_format.Fixed(m_pending, blockStartMs + static_cast<double>(k) / rate * 1000.0, 3, 12);
        const uint16_t* row = samples.data() + r * entries;
        for (size_t e = 0; e < entries; ++e) {
            if (holed && missing[e])
                m_pending += '\t';
            else
                columns[e]->Append(m_pending, row[e]);
        }
        Eol(m_pending);
    }
    return m_output.Failed() ? kConvertReported : kConvertOk;
}

bool CConvertToASCII::WriteRawSweep(unsigned index)
{
    std::vector<const CSampleText*> columns;
    std::vector<std::string> titles, units;
    PrepareColumns(columns, titles, units);
    const double rate = SampleRateHz();
    const Sweep sweep = BeginSweep(index);
    const double sweepStartMs = static_cast<double>(sweep.startUs + m_fileTimeShift) / 1000.0;

    std::vector<uint16_t>& samples = m_samples;
    int rows = 0;
    if (!ReadSweepRawData(static_cast<int>(index), samples, rows, false)) {
        ReportError(FormatString("Error reading sweep %i. Stopped conversion.", sweep.number));
        return false;
    }
    if (!sweep.continuation) {
        if (m_blockFlags & kSweepHeaderLines)
            WriteSweepHeaderLines(sweep);
        const bool newOutputTitles = m_newOutput && (m_blockFlags & kNewOutputTitles);
        if ((m_blockFlags & kColumnTitles) || newOutputTitles)
            WriteRawHead(newOutputTitles, titles, units);
    }
    const size_t entries = columns.size();
    for (int k = 0; k < rows; ++k) {
        m_pending += sweep.columns;
        m_format.Fixed(m_pending, static_cast<double>(k) / rate * 1000.0 + sweepStartMs, 3, 12);
        const uint16_t* row = samples.data() + static_cast<size_t>(k) * entries;
        for (size_t e = 0; e < entries; ++e)
            columns[e]->Append(m_pending, row[e]);
        Eol(m_pending);
    }
    return true;
}
