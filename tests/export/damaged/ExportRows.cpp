#include "tests/export/damaged/ExportRows.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "export/abf/AbfHeader.h"
#include "platform/CByteReader.h"
#include "tests/export/damaged/ProblemText.h"

namespace {

// ABF holds 16-bit samples as signed values: the stored value less 32768.
uint16_t AbfValue(uint16_t stored)
{
    return static_cast<uint16_t>(stored - 32768u);
}

bool FindRawStream(const KvdRecordingPlan& plan, const std::string& name, size_t& index)
{
    for (index = 0; index < plan.streams.size(); ++index)
        if (plan.streams[index].name == name)
            return true;
    return false;
}

std::string Seconds(int64_t us)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f s", static_cast<double>(us) / 1e6);
    return text;
}

// ---- ".raw" and ABF samples ----

// The rows of a ".raw" file, or of the data section of an ABF file (which its header places and
// counts; whole blocks follow).
class RawRows
{
public:
    RawRows(const std::vector<uint8_t>& bytes, ExportFormat format, size_t columns)
        : m_bytes(bytes), m_columns(columns), m_end(bytes.size())
    {
        if (format != ExportFormat::Abf)
            return;
        m_start = m_end;
        if (bytes.size() < kAbfHeaderBytes)
            return;
        const size_t blocks = static_cast<size_t>(LoadLE<int32_t>(bytes.data() + AbfField::lDataSectionPtr));
        const size_t samples = static_cast<size_t>(LoadLE<int32_t>(bytes.data() + AbfField::lActualAcqLength));
        const size_t start = blocks * kAbfBlockBytes;
        if (start <= bytes.size() && samples <= (bytes.size() - start) / 2) {
            m_start = start;
            m_end = start + 2 * samples;
        }
    }

    size_t Count() const { return (m_end - m_start) / (2 * m_columns); }
    bool EndsInsideARow() const { return (m_end - m_start) % (2 * m_columns) != 0; }
    uint16_t At(size_t row, size_t column) const
    {
        return LoadLE<uint16_t>(m_bytes.data() + m_start + 2 * (row * m_columns + column));
    }
    // True when the bytes around the rows (an ABF file's header and what follows its data)
    // equal `other`'s.
    bool FramedAs(const RawRows& other) const
    {
        return m_start == other.m_start && m_bytes.size() - m_end == other.m_bytes.size() - other.m_end
               && std::equal(m_bytes.begin(), m_bytes.begin() + static_cast<long>(m_start), other.m_bytes.begin())
               && std::equal(m_bytes.begin() + static_cast<long>(m_end), m_bytes.end(),
                             other.m_bytes.begin() + static_cast<long>(other.m_end));
    }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_columns;
    size_t m_start = 0;
    size_t m_end;
};

// The frame (at the recording's rate, from its start) of row `row` of a raw export.
uint64_t FrameOfRow(const KvdRecordingPlan& plan, size_t row)
{
    if (!plan.triggered)
        return row;
    const size_t sweepRows = static_cast<size_t>(plan.sweepMs) * static_cast<size_t>(plan.rateHz) / 1000;
    const uint64_t start = KvdSweepStartNs(plan, static_cast<int>(row / sweepRows));
    return start * static_cast<uint64_t>(plan.rateHz) / 1000000000u + row % sweepRows;
}

size_t PlannedRows(const KvdRecordingPlan& plan)
{
    const int ms = plan.triggered ? plan.sweeps * plan.sweepMs : plan.chunks * plan.chunkMs;
    return static_cast<size_t>(ms) * static_cast<size_t>(plan.rateHz) / 1000;
}

// True when the writer left stream `stream` without a chunk at `frame` of a continuous
// recording: a pause of all streams, or a slot that stream lacks. Its rows there hold 0 V.
bool PlannedWithout(const KvdRecordingPlan& plan, size_t stream, uint64_t frame)
{
    if (plan.triggered)
        return false;
    const uint64_t slotFrames = static_cast<uint64_t>(plan.rateHz) * static_cast<uint64_t>(plan.chunkMs) / 1000;
    const int slot = static_cast<int>(frame / slotFrames);
    const auto listed = [slot](const std::vector<int>& slots) {
        return std::find(slots.begin(), slots.end(), slot) != slots.end();
    };
    return listed(plan.dropChunks) || listed(plan.streams[stream].missingSlots);
}

// Text leaves out the rows in which no selected stream has data.
size_t PlannedTextRows(const KvdRecordingPlan& plan, const std::vector<RawColumn>& columns)
{
    size_t rows = 0;
    for (size_t r = 0; r < PlannedRows(plan); ++r)
        rows += std::any_of(columns.begin(), columns.end(), [&](const RawColumn& c) {
            return !PlannedWithout(plan, c.planStream, FrameOfRow(plan, r));
        });
    return rows;
}

std::string PlannedSamplesProblem(const KvdRecordingPlan& plan, const std::vector<RawColumn>& columns,
                                  ExportFormat format, const RawRows& rows)
{
    if (rows.Count() != PlannedRows(plan))
        return std::to_string(rows.Count()) + " rows where the plan has " + std::to_string(PlannedRows(plan));
    for (size_t r = 0; r < rows.Count(); ++r) {
        for (size_t c = 0; c < columns.size(); ++c) {
            const uint64_t frame = FrameOfRow(plan, r);
            const uint16_t stored = KvdRecordingSample(plan, columns[c].planStream, columns[c].channel, frame);
            const uint16_t want = PlannedWithout(plan, columns[c].planStream, frame) ? columns[c].zeroVolts
                                  : format == ExportFormat::Abf                     ? AbfValue(stored)
                                                                                    : stored;
            if (rows.At(r, c) != want)
                return "row " + std::to_string(r) + " " + columns[c].name + " holds " + std::to_string(rows.At(r, c))
                       + " where the plan has " + std::to_string(want);
        }
    }
    return {};
}

std::string SamplesProblem(const RawRows& sound, const RawRows& got, const std::vector<RawColumn>& columns,
                           const MissingNames& names, int rateHz, bool openEnd)
{
    std::string problems;
    if (got.EndsInsideARow())
        AddProblem(problems, "ends inside a row");
    if (got.Count() > sound.Count() || (got.Count() < sound.Count() && !openEnd))
        AddProblem(problems, std::to_string(got.Count()) + " rows, sound " + std::to_string(sound.Count()));
    else if (got.Count() == sound.Count() && !got.FramedAs(sound))
        AddProblem(problems, "its header or what follows the rows differs from the sound export's");
    size_t wrong = 0;
    std::string first;
    for (size_t r = 0; r < std::min(sound.Count(), got.Count()); ++r) {
        const int64_t us = static_cast<int64_t>(r) * 1000000 / rateHz;
        for (size_t c = 0; c < columns.size(); ++c) {
            const bool named = names.Names(columns[c].stream, us);
            const uint16_t want = named ? columns[c].zeroVolts : sound.At(r, c);
            if (got.At(r, c) != want && wrong++ == 0)
                first = Seconds(us) + " " + columns[c].name + " holds " + std::to_string(got.At(r, c))
                        + (named ? " in a stretch named as filled (0 V is " : " where nothing is named (sound ")
                        + std::to_string(want) + ")";
        }
    }
    if (wrong)
        AddProblem(problems, std::to_string(wrong) + " samples wrong, first at " + first);
    return problems;
}

// ---- Text lines ----

// The lines of a text export, CR LF taken off (views into `text`).
std::vector<std::string_view> TextLines(const std::string& text)
{
    std::vector<std::string_view> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find("\r\n", at), text.size());
        lines.emplace_back(text.data() + at, end - at);
        at = end + 2;
    }
    return lines;
}

bool IsRow(std::string_view line)
{
    return !line.empty() && (std::isdigit(static_cast<unsigned char>(line[0])) || line[0] == '-');
}

// The time of a row (its first field) in microseconds. The field ends at a tab, where strtod
// stops.
int64_t RowUs(std::string_view row)
{
    return std::llround(std::strtod(row.data(), nullptr) * 1000);
}

// Row `row` of the sound export as it is due, into `due`: the cells of named stretches
// emptied. False when no value is left: the row is left out.
bool DueTextRow(std::string_view row, const std::vector<RawColumn>& columns, const MissingNames& names,
                std::string& due)
{
    const int64_t us = RowUs(row);
    std::vector<bool> empty(columns.size());
    bool any = false;
    bool all = true;
    for (size_t c = 0; c < columns.size(); ++c) {
        empty[c] = names.Names(columns[c].stream, us);
        any |= empty[c];
        all &= empty[c];
    }
    due.assign(row);
    if (!any)
        return true;
    if (all)
        return false;
    due.clear();
    size_t field = 0;
    for (size_t at = 0; at <= row.size(); ++field) {
        const size_t end = std::min(row.find('\t', at), row.size());
        if (field > 0)
            due += '\t';
        if (field == 0 || field > columns.size() || !empty[field - 1])
            due.append(row.substr(at, end - at));
        at = end + 1;
    }
    return true;
}

std::string TextProblem(const ExportOutcome& sound, const ExportOutcome& got, const std::vector<RawColumn>& columns,
                        const MissingNames& names, bool openEnd)
{
    const std::string soundText(sound.bytes.begin(), sound.bytes.end());
    const std::string gotText(got.bytes.begin(), got.bytes.end());
    const std::vector<std::string_view> soundLines = TextLines(soundText);
    const std::vector<std::string_view> gotLines = TextLines(gotText);
    const size_t head = static_cast<size_t>(std::find_if(soundLines.begin(), soundLines.end(), IsRow)
                                            - soundLines.begin());
    if (gotLines.size() < head
        || !std::equal(soundLines.begin(), soundLines.begin() + static_cast<long>(head), gotLines.begin()))
        return "its head lines differ from the sound export's";
    size_t g = head;
    size_t due = 0;
    std::string want;
    for (size_t i = head; i < soundLines.size(); ++i) {
        if (!DueTextRow(soundLines[i], columns, names, want))
            continue;
        ++due;
        if (g == gotLines.size())
            return openEnd ? std::string() : "it ends before row " + std::to_string(due - 1) + " \"" + want + "\"";
        if (gotLines[g] != want)
            return "row " + std::to_string(due - 1) + " is \"" + std::string(gotLines[g]) + "\" where \"" + want
                   + "\" is due";
        ++g;
    }
    if (g < gotLines.size())
        return std::to_string(gotLines.size() - g) + " lines more than due, the first \"" + std::string(gotLines[g])
               + "\"";
    return {};
}

} // namespace

bool IsRawSelection(const KvdRecordingPlan& plan, const ExportSelection& selection)
{
    size_t index = 0;
    return !selection.channels.empty() && FindRawStream(plan, selection.channels.front().stream, index);
}

std::vector<RawColumn> RawColumns(const KvdRecordingPlan& plan, const ExportSelection& selection, ExportFormat format)
{
    std::vector<RawColumn> columns;
    for (const SelectedChannel& selected : selection.channels) {
        RawColumn c;
        c.stream = selected.stream;
        if (!FindRawStream(plan, selected.stream, c.planStream))
            continue;
        c.channel = static_cast<size_t>(selected.number);
        const uint16_t zero = plan.streams[c.planStream].adcZero;
        c.zeroVolts = format == ExportFormat::Abf ? AbfValue(zero) : zero;
        c.name = selected.stream + " " + selected.channel;
        columns.push_back(c);
    }
    return columns;
}

std::string PlannedRowsProblem(const KvdRecordingPlan& plan, const std::vector<RawColumn>& columns,
                               ExportFormat format, const ExportOutcome& sound)
{
    if (format != ExportFormat::Ascii)
        return PlannedSamplesProblem(plan, columns, format, RawRows(sound.bytes, format, columns.size()));
    const std::string text(sound.bytes.begin(), sound.bytes.end());
    const std::vector<std::string_view> lines = TextLines(text);
    const size_t rows = static_cast<size_t>(std::count_if(lines.begin(), lines.end(), IsRow));
    if (rows != PlannedTextRows(plan, columns))
        return std::to_string(rows) + " text rows where the plan has " + std::to_string(PlannedTextRows(plan, columns));
    return {};
}

std::string RowsProblem(ExportFormat format, const std::vector<RawColumn>& columns, int rateHz,
                        const ExportOutcome& sound, const ExportOutcome& got, const MissingNames& names,
                        bool openEnd)
{
    if (names.named.empty() && got.bytes == sound.bytes)
        return {};
    if (format == ExportFormat::Ascii)
        return TextProblem(sound, got, columns, names, openEnd);
    return SamplesProblem(RawRows(sound.bytes, format, columns.size()), RawRows(got.bytes, format, columns.size()),
                          columns, names, rateHz, openEnd);
}

int64_t RowsEndMs(ExportFormat format, const std::vector<RawColumn>& columns, int rateHz, const ExportOutcome& got)
{
    if (format != ExportFormat::Ascii)
        return static_cast<int64_t>(RawRows(got.bytes, format, columns.size()).Count()) * 1000 / rateHz;
    const std::string text(got.bytes.begin(), got.bytes.end());
    const std::vector<std::string_view> lines = TextLines(text);
    const auto last = std::find_if(lines.rbegin(), lines.rend(), IsRow);
    return last == lines.rend() ? 0 : (RowUs(*last) + 1000000 / rateHz) / 1000;
}

bool HoldsNoRow(ExportFormat format, const ExportOutcome& got)
{
    if (format != ExportFormat::Ascii)
        return got.bytes.size() <= (format == ExportFormat::Abf ? kAbfHeaderBytes : 0);
    const std::string text(got.bytes.begin(), got.bytes.end());
    const std::vector<std::string_view> lines = TextLines(text);
    return std::none_of(lines.begin(), lines.end(), IsRow);
}
