// The event writers of the text converter: spikes, averages, parameters, spike and burst
// parameters, triggers and digital events, continuous or sweep by sweep.

#include "export/text/CConvertToASCII.h"

#include <cmath>
#include <functional>

#include "datafile/container/CKVTAChannel.h"
#include "datafile/container/CKVTAStream.h"
#include "datafile/events/CKVTAEvtAverage.h"
#include "datafile/events/CKVTAEvtBurstParameter.h"
#include "datafile/events/CKVTAEvtParam.h"
#include "datafile/events/CKVTAEvtSpike.h"
#include "datafile/events/CKVTAEvtSpikeParameter.h"
#include "datafile/events/CKVTAEvtTrigger.h"
#include "datafile/info/CKVTAInfoAverage.h"
#include "datafile/info/CKVTAInfoParam.h"
#include "datafile/info/CKVTAInfoSpike.h"
#include "datafile/info/CKVTAInfoSpikeParameter.h"
#include "datafile/info/CKVTAInfoTrigger.h"
#include "datafile/settings/KvtQuantity.h"
#include "export/core/StringHelpers.h"
#include "export/model/CKVD.h"
#include "export/model/CKVDataSelection.h"
#include "export/text/CSpillBuffer.h"

namespace {

constexpr int kDigitalBlockSamples = 1000000;

// Time of a record in ms since the recording start, to the nanosecond.
double EventTimeMs(const CKVTAEvent& e)
{
    const int64_t ms = static_cast<int64_t>(e.GetSecondsSinceStart()) * 1000 + e.GetMilliseconds();
    return static_cast<double>(ms) + e.GetMicroseconds() / 1000.0 + e.GetNanoseconds() / 1000000.0;
}

// Time of a record in whole microseconds since the recording start.
int64_t EventTimeUs(const CKVTAEvent& e)
{
    return (static_cast<int64_t>(e.GetSecondsSinceStart()) * 1000 + e.GetMilliseconds()) * 1000
           + e.GetMicroseconds();
}

// Nanoseconds from the recording start to a burst's own start; negative for a burst that began
// before it.
int64_t BurstSinceStartNs(const CKVTAEvtBurstParameter& e)
{
    return static_cast<int64_t>(static_cast<uint64_t>(e.GetTime1()) - e.GetTimeStamp().GetStart());
}

template <class Info>
std::unique_ptr<Info> InfoOf(const CKVTAStream* stream)
{
    if (!stream)
        return nullptr;
    std::unique_ptr<CKVTAInfo> info = stream->CreateInfo();
    if (auto* typed = dynamic_cast<Info*>(info.get())) {
        info.release();
        return std::unique_ptr<Info>(typed);
    }
    return nullptr;
}

// The entries of one stream and how its records reach them: records name their channel by id,
// entries by channel number.
struct StreamGroup
{
    std::string name;
    CKVTAStream* stream = nullptr;
    std::vector<int> entries;
    std::map<int, std::vector<int>> entriesOfNumber;
    std::map<int16_t, int> numberOfId;

    const std::vector<int>* Route(uint16_t channelId) const
    {
        const auto id = numberOfId.find(static_cast<int16_t>(channelId));
        if (id == numberOfId.end())
            return nullptr;
        const auto entriesIt = entriesOfNumber.find(id->second);
        return entriesIt == entriesOfNumber.end() ? nullptr : &entriesIt->second;
    }
};

std::vector<StreamGroup> GroupByStream(const CKVDataSelection& selection,
                                       const std::function<CKVTAStream*(const std::string&)>& find)
{
    std::vector<StreamGroup> groups;
    for (int e = 0; e < selection.GetCount(); ++e) {
        const CKVDataSelection::Entry& entry = *selection.At(e);
        StreamGroup* group = nullptr;
        for (StreamGroup& g : groups)
            if (g.name == entry.streamName)
                group = &g;
        if (!group) {
            groups.emplace_back();
            group = &groups.back();
            group->name = entry.streamName;
            group->stream = find(entry.streamName);
            for (int c = 0; group->stream && c < group->stream->GetChannelCount(); ++c)
                if (const CKVTAChannel* channel = group->stream->GetChannel(c))
                    group->numberOfId[static_cast<int16_t>(channel->GetId())] = channel->GetNumber();
        }
        group->entries.push_back(e);
        group->entriesOfNumber[entry.channelId].push_back(e);
    }
    return groups;
}

std::string Label(const CKVDataSelection::Entry& entry)
{
    return entry.streamName + " " + entry.channelName;
}

// Whole ms of a settings time in seconds, rounded half up as the recording program does.
int64_t RoundedMsToUs(float seconds)
{
    return static_cast<int64_t>(static_cast<double>(seconds) * 1000.0 + 0.5) * 1000;
}

// Reads the cutout of a spike or average record into `samples`; returns the values read.
template <class Record>
int ReadCutout(const Record& record, std::vector<uint16_t>& samples)
{
    const int n = std::max(record.GetSampleCount(), 0);
    samples.resize(static_cast<size_t>(n));
    return n > 0 ? record.GetSamples(samples.data(), n) : 0;
}

// Appends one record's text to the block of each entry in `targets` and, with `written`, marks
// those entries as holding data.
void HandToEntries(const std::string& record, const std::vector<int>& targets,
                   std::vector<CSpillBuffer>& blocks, std::vector<char>* written)
{
    for (int e : targets) {
        blocks[static_cast<size_t>(e)].Text() += record;
        // A failed spill is reported when the blocks are drained.
        (void)blocks[static_cast<size_t>(e)].Settle();
        if (written)
            (*written)[static_cast<size_t>(e)] = 1;
    }
}

} // namespace

// ---- Spikes ----

int CConvertToASCII::WriteSpikes(const Sweep* sweep)
{
    const CKVDataSelection& selection = *GetSelection();
    const size_t count = static_cast<size_t>(selection.GetCount());
    std::vector<CSpillBuffer> blocks = MakeBlocks(count);
    std::vector<char> written(count, 0);
    const bool sweepColumns = sweep && (m_blockFlags & kSweepColumns);
    for (size_t e = 0; e < count; ++e) {
        std::string& out = blocks[e].Text();
        if (!sweep)
            EmptyHeadLine(out);
        HeadRow(out, sweepColumns, "nSweep", "nTr-Time", {"t", Label(*selection.At(static_cast<int>(e))), "Unit"});
        HeadRow(out, sweepColumns, "", "[ms]", {"[ms]", "[\xB5V]", " "});
    }

    int rc = kConvertOk;
    std::string record;
    std::vector<uint16_t> samples;
    // One walk over each stream hands every record to the entries of its channel; the blocks
    // come out in entry order, as if each entry had walked the stream on its own.
    for (const StreamGroup& group :
         GroupByStream(selection, [this](const std::string& n) { return FindSelectedStream(n); })) {
        if (!group.stream || rc != kConvertOk)
            continue;
        const int32_t rate = group.stream->GetSampleRateMilliHz() / 1000;
        const double period = rate > 0 ? 1000.0 / rate : 0.0;
        const CSampleText* values = SampleText(CSampleText::kMicrovolts, -1, group.stream->GetAdcZero(),
                                               group.stream->GetVoltsPerStep() * 1000000.0);
        const auto emit = [&](const CKVTAEvtSpike& spike, double startMs, const std::string& columns) {
            const std::vector<int>* targets = group.Route(spike.GetChannelId());
            if (!targets)
                return false;
            const int got = ReadCutout(spike, samples);
            record.clear();
            for (int k = 0; k < got; ++k) {
                record += columns;
                m_format.Fixed(record, startMs + k * period, 3, 12);
                values->Append(record, samples[static_cast<size_t>(k)]);
                record += '\t';
                m_format.Int(record, spike.GetWord3(), 12);
                Eol(record);
            }
            EmptyHeadLine(record);
            HandToEntries(record, *targets, blocks, &written);
            return true;
        };

        if (!sweep) {
            const std::string firstLabel = Label(*selection.At(group.entries.front()));
            if (ReportProgress(0, firstLabel.c_str())) {
                rc = kConvertCancelled;
                break;
            }
            std::unique_ptr<CKVTAEvent> cursor = group.stream->GetFirstEvent();
            auto* spike = dynamic_cast<CKVTAEvtSpike*>(cursor.get());
            if (!spike)
                continue;
            // The cutouts start this long before their event: the first record says for all.
            const double preMs = rate > 0 ? spike->GetPreTrigger() * 1000.0 / rate : 0.0;
            do {
                const double timeMs = EventTimeMs(*spike);
                if (!emit(*spike, timeMs + m_fileTimeShift / 1000.0 - preMs, std::string()))
                    continue;
                const std::vector<int>& targets = *group.Route(spike->GetChannelId());
                rc = ReportEventProgress(timeMs, Label(*selection.At(targets.front())));
            } while (rc == kConvertOk && spike->Next());
            continue;
        }

        const std::unique_ptr<CKVTAInfoSpike> info = InfoOf<CKVTAInfoSpike>(group.stream);
        Cursor& cursor = CursorFor("s:" + group.name, group.stream);
        auto* spike = dynamic_cast<CKVTAEvtSpike*>(cursor.event.get());
        if (!info || !spike || cursor.ended)
            continue;
        const int64_t preUs = RoundedMsToUs(info->GetPreTriggerSeconds());
        const int64_t postUs = RoundedMsToUs(info->GetPostTriggerSeconds());
        const int64_t endUs = sweep->startUs + sweep->lengthUs;
        for (;;) {
            const int64_t timeUs = EventTimeUs(*spike);
            // The first record past the sweep stays for the next one. Records of the sweep's
            // last moments never end the walk, whatever their channel.
            if (timeUs > endUs && timeUs + postUs > endUs)
                break;
            if (sweep->startUs <= timeUs && timeUs <= endUs)
                emit(*spike, static_cast<double>(m_fileTimeShift - preUs + timeUs) / 1000.0, sweep->columns);
            if (!spike->Next()) {
                cursor.ended = true;
                break;
            }
        }
    }
    return FinishEntryBlocks(blocks, written, rc);
}

// ---- Averages ----

int CConvertToASCII::WriteAverages(const Sweep* sweep)
{
    const CKVDataSelection& selection = *GetSelection();
    const size_t count = static_cast<size_t>(selection.GetCount());
    std::vector<CSpillBuffer> blocks = MakeBlocks(count);
    std::vector<char> written(count, 0);
    const bool sweepColumns = sweep && (m_blockFlags & kSweepColumns);
    for (size_t e = 0; e < count; ++e) {
        std::string& out = blocks[e].Text();
        if (!sweep)
            EmptyHeadLine(out);
        HeadRow(out, sweepColumns, "nSweep", "nTr-Time", {"t", Label(*selection.At(static_cast<int>(e)))});
        HeadRow(out, sweepColumns, "", "[ms]", {"[ms]", "[\xB5V]"});
    }

    int rc = kConvertOk;
    std::string record;
    std::vector<uint16_t> samples;
    for (const StreamGroup& group :
         GroupByStream(selection, [this](const std::string& n) { return FindSelectedStream(n); })) {
        const std::unique_ptr<CKVTAInfoAverage> info = InfoOf<CKVTAInfoAverage>(group.stream);
        if (!info || rc != kConvertOk)
            continue;
        const int32_t rate = group.stream->GetSampleRateMilliHz() / 1000;
        const double period = rate > 0 ? 1000.0 / rate : 0.0;
        const CSampleText* values = SampleText(CSampleText::kMicrovolts, -1, group.stream->GetAdcZero(),
                                               group.stream->GetVoltsPerStep() * 1000000.0);
        const float windowMs = info->GetWindowTime1();
        const auto emit = [&](const CKVTAEvtAverage& average, double startMs, const std::string& columns) {
            const std::vector<int>* targets = group.Route(average.GetChannel());
            if (!targets)
                return false;
            const int got = ReadCutout(average, samples);
            record.clear();
            for (int k = 0; k < got; ++k) {
                record += columns;
                m_format.Fixed(record, startMs + k * period, 3, 12);
                values->Append(record, samples[static_cast<size_t>(k)]);
                Eol(record);
            }
            EmptyHeadLine(record);
            HandToEntries(record, *targets, blocks, &written);
            return true;
        };

        if (!sweep) {
            std::unique_ptr<CKVTAEvent> cursor = group.stream->GetFirstEvent();
            auto* average = dynamic_cast<CKVTAEvtAverage*>(cursor.get());
            if (!average)
                continue;
            do {
                const double timeMs = EventTimeMs(*average);
                if (!emit(*average, timeMs + m_fileTimeShift / 1000.0 + windowMs, std::string()))
                    continue;
                const std::vector<int>& targets = *group.Route(average->GetChannel());
                rc = ReportEventProgress(timeMs, Label(*selection.At(targets.front())));
            } while (rc == kConvertOk && average->Next());
            continue;
        }

        Cursor& cursor = CursorFor("s:" + group.name, group.stream);
        auto* average = dynamic_cast<CKVTAEvtAverage*>(cursor.event.get());
        if (!average || cursor.ended)
            continue;
        const int64_t windowUs =
            static_cast<int64_t>(windowMs >= 0 ? windowMs + 0.5 : windowMs - 0.5) * 1000;
        const int64_t endUs = sweep->startUs + sweep->lengthUs;
        for (;;) {
            const int64_t timeUs = EventTimeUs(*average);
            if (timeUs > endUs)
                break;
            if (sweep->startUs <= timeUs)
                emit(*average, static_cast<double>(m_fileTimeShift + timeUs + windowUs) / 1000.0,
                     sweep->columns);
            if (!average->Next()) {
                cursor.ended = true;
                break;
            }
        }
    }
    return FinishEntryBlocks(blocks, written, rc);
}

// ---- Parameters ----

int CConvertToASCII::WriteParameters(const Sweep* sweep)
{
    const CKVDataSelection& selection = *GetSelection();
    const CKVDataSelection::Entry& first = *selection.At(0);
    CKVTAStream* stream = FindSelectedStream(first.streamName);
    const std::unique_ptr<CKVTAInfoParam> info = InfoOf<CKVTAInfoParam>(stream);
    std::vector<int> quantities;
    for (int q = 0; info && q < CKVTAInfoParam::GetQuantityCount(); ++q)
        if (info->GetQuantity(q) && info->IsQuantityRecorded(q))
            quantities.push_back(q);

    const bool heads =
        sweep ? !sweep->continuation
                    && ((m_blockFlags & kColumnTitles) || (m_newOutput && (m_blockFlags & kNewOutputTitles)))
              : m_newOutput;
    if (heads) {
        const bool sweepTitles = sweep && m_newOutput && (m_blockFlags & kNewOutputTitles);
        EmptyHeadLine(m_pending);
        Prefix(m_pending);
        if (sweepTitles)
            SweepTitles(m_pending, "", "");
        m_format.Text(m_pending, "t", 12);
        for (int e = 0; e < selection.GetCount(); ++e)
            for (size_t j = 0; j < quantities.size(); ++j) {
                m_pending += '\t';
                m_format.Text(m_pending, Label(*selection.At(e)), 12);
            }
        Eol(m_pending);
        Prefix(m_pending);
        if (sweepTitles)
            SweepTitles(m_pending, "nSweep", "nTr-Time");
        m_format.Text(m_pending, "", 12);
        for (int e = 0; e < selection.GetCount(); ++e)
            for (int q : quantities) {
                m_pending += '\t';
                m_format.Text(m_pending, info->GetQuantity(q)->name, 12);
            }
        Eol(m_pending);
        Prefix(m_pending);
        if (sweepTitles)
            SweepTitles(m_pending, "", "[ms]");
        m_format.Text(m_pending, sweep ? "ms" : "[ms]", 12);
        for (int e = 0; e < selection.GetCount(); ++e)
            for (int q : quantities) {
                const KvtQuantity& quantity = *info->GetQuantity(q);
                m_pending += '\t';
                m_format.Text(m_pending,
                              "[" + KvtQuantityUnitText(quantity.unitKind, quantity.exponent) + "]", 12);
            }
        Eol(m_pending);
    }
    if (!info || !stream)
        return kConvertOk;

    std::vector<int> channels;
    for (int e = 0; e < selection.GetCount(); ++e)
        channels.push_back(
            GetDataSource()->GetChannelId(selection.At(e)->streamName, selection.At(e)->channelName));
    std::vector<float> values;
    // One value column per entry and quantity; a value the record lacks is left blank so the
    // columns stay in line.
    const auto writeValues = [&](const CKVTAEvtParam& record) {
        for (size_t e = 0; e < channels.size(); ++e) {
            values.clear();
            const bool ok = channels[e] >= 0 && record.GetValues(channels[e], values);
            for (size_t j = 0; j < quantities.size(); ++j) {
                const int at = sweep ? info->GetOutputPosition(quantities[j]) : static_cast<int>(j);
                m_pending += '\t';
                if (!ok || at < 0 || static_cast<size_t>(at) >= values.size()) {
                    m_format.Text(m_pending, "", 12);
                    continue;
                }
                const KvtQuantity& quantity = *info->GetQuantity(quantities[j]);
                m_format.Fixed(m_pending, values[static_cast<size_t>(at)] / quantity.factor
                                              * std::pow(10.0, -quantity.exponent), 3, 12);
            }
        }
        Eol(m_pending);
    };

    if (!sweep) {
        std::unique_ptr<CKVTAEvent> cursor = stream->GetFirstEvent();
        auto* record = dynamic_cast<CKVTAEvtParam*>(cursor.get());
        if (!record)
            return kConvertOk;
        do {
            const double timeMs = EventTimeMs(*record);
            m_format.Fixed(m_pending, timeMs + m_fileTimeShift / 1000.0, 3, 12);
            writeValues(*record);
            if (ReportEventProgress(timeMs, "Parameter stream"))
                return kConvertCancelled;
        } while (record->Next());
        return kConvertOk;
    }

    Cursor& cursor = CursorFor("s:" + first.streamName, stream);
    auto* record = dynamic_cast<CKVTAEvtParam*>(cursor.event.get());
    if (!record || cursor.ended)
        return kConvertOk;
    const int64_t endUs = sweep->startUs + sweep->lengthUs;
    for (;;) {
        const int64_t timeUs = EventTimeUs(*record);
        if (timeUs > endUs)
            break;
        if (sweep->startUs <= timeUs) {
            m_pending += sweep->columns;
            m_format.Fixed(m_pending, static_cast<double>(timeUs + m_fileTimeShift) / 1000.0, 3, 12);
            writeValues(*record);
        }
        if (!record->Next()) {
            cursor.ended = true;
            break;
        }
    }
    return kConvertOk;
}

// ---- Spike and burst parameters ----

int CConvertToASCII::WriteAnalyserParameters(const Sweep* sweep, bool burst)
{
    const CKVDataSelection& selection = *GetSelection();
    const size_t count = static_cast<size_t>(selection.GetCount());
    std::vector<CSpillBuffer> blocks = MakeBlocks(count);
    const bool sweepColumns = sweep && (m_blockFlags & kSweepColumns);
    std::vector<StreamGroup> groups =
        GroupByStream(selection, [this](const std::string& n) { return FindSelectedStream(n); });

    int rc = kConvertOk;
    std::string record;
    for (const StreamGroup& group : groups) {
        const std::unique_ptr<CKVTAInfoSpikeParameter> info = InfoOf<CKVTAInfoSpikeParameter>(group.stream);
        std::vector<int> quantities;
        for (int q = 0; info && q < info->GetParameterCount(); ++q)
            if (info->GetParameter(q) && info->IsParameterRecorded(q))
                quantities.push_back(q);
        std::vector<double> scales;
        for (int q : quantities)
            scales.push_back(std::pow(10.0, KvtUnitKindDefaultExponent(info->GetParameter(q)->unitKind))
                             * std::pow(10.0, -info->GetParameterField(q)));

        for (int e : group.entries) {
            std::string& out = blocks[static_cast<size_t>(e)].Text();
            const std::string label = Label(*selection.At(e));
            std::vector<std::string> labels(1, "");
            std::vector<std::string> names(1, "t");
            std::vector<std::string> units(1, "[ms]");
            for (int q : quantities) {
                const KvtQuantity& quantity = *info->GetParameter(q);
                labels.push_back(label);
                names.push_back(info->GetParameterName(q));
                units.push_back("[" + KvtQuantityUnitText(quantity.unitKind, quantity.exponent) + "]");
            }
            EmptyHeadLine(out);
            HeadRow(out, sweepColumns, "", "", labels);
            HeadRow(out, sweepColumns, "nSweep", "nTr-Time", names);
            HeadRow(out, sweepColumns, "", "[ms]", units);
        }
        if (!info || !group.stream || rc != kConvertOk)
            continue;

        // Time of a record in ns since the recording start: a burst carries its own start.
        const auto sinceStartNs = [burst](const CKVTAEvent& e) {
            if (burst)
                return BurstSinceStartNs(static_cast<const CKVTAEvtBurstParameter&>(e));
            return EventTimeUs(e) * 1000;
        };
        const auto value = [burst](const CKVTAEvent& e, int q) {
            return burst ? static_cast<const CKVTAEvtBurstParameter&>(e).GetValue(q)
                         : static_cast<const CKVTAEvtSpikeParameter&>(e).GetValue(q);
        };
        const auto emit = [&](const CKVTAEvent& e, double timeMs, const std::string& columns) {
            const std::vector<int>* targets = group.Route(e.GetChannelId());
            if (!targets)
                return static_cast<const std::vector<int>*>(nullptr);
            record = columns;
            m_format.Fixed(record, timeMs, 3, 12);
            for (size_t j = 0; j < quantities.size(); ++j) {
                record += '\t';
                m_format.Fixed(record, static_cast<double>(value(e, quantities[j])) * scales[j], 3, 12);
            }
            Eol(record);
            HandToEntries(record, *targets, blocks, nullptr);
            return targets;
        };
        const auto isRecord = [burst](const CKVTAEvent* e) {
            return burst ? dynamic_cast<const CKVTAEvtBurstParameter*>(e) != nullptr
                         : dynamic_cast<const CKVTAEvtSpikeParameter*>(e) != nullptr;
        };

        if (!sweep) {
            std::unique_ptr<CKVTAEvent> cursor = group.stream->GetFirstEvent();
            if (!isRecord(cursor.get()))
                continue;
            do {
                const double timeMs = burst ? static_cast<double>(sinceStartNs(*cursor)) / 1000000.0
                                            : EventTimeMs(*cursor);
                const std::vector<int>* targets =
                    emit(*cursor, timeMs + m_fileTimeShift / 1000.0, std::string());
                if (targets)
                    rc = ReportEventProgress(timeMs, Label(*selection.At(targets->front())));
            } while (rc == kConvertOk && cursor->Next());
            continue;
        }

        Cursor& cursor = CursorFor("s:" + group.name, group.stream);
        if (!isRecord(cursor.event.get()) || cursor.ended)
            continue;
        const int64_t endUs = sweep->startUs + sweep->lengthUs;
        for (;;) {
            const int64_t timeUs = sinceStartNs(*cursor.event) / 1000;
            if (timeUs > endUs)
                break;
            if (sweep->startUs <= timeUs)
                emit(*cursor.event, static_cast<double>(timeUs + m_fileTimeShift) / 1000.0, sweep->columns);
            if (!cursor.event->Next()) {
                cursor.ended = true;
                break;
            }
        }
    }
    if (!DrainBlocks(blocks))
        return kConvertReported;
    return rc;
}

// ---- Triggers ----

int CConvertToASCII::WriteTriggers(const Sweep* sweep)
{
    if (m_newOutput) {
        const bool sweepTitles = sweep && (m_blockFlags & kNewOutputTitles);
        EmptyHeadLine(m_pending);
        Prefix(m_pending);
        if (sweepTitles)
            SweepTitles(m_pending, "nSweep", "nTr-Time");
        Columns(m_pending, sweep ? std::vector<std::string>{"t", "Channel", "Info"}
                                 : std::vector<std::string>{"Channel", "Event Time", "Info"});
        Eol(m_pending);
        Prefix(m_pending);
        if (sweepTitles)
            SweepTitles(m_pending, "", "[ms]");
        Columns(m_pending, sweep ? std::vector<std::string>{"[ms]", "", ""}
                                 : std::vector<std::string>{"", "[ms]", ""});
        Eol(m_pending);
    }

    const CKVDataSelection& selection = *GetSelection();
    std::string info;
    for (int e = 0; e < selection.GetCount(); ++e) {
        const std::string& name = selection.At(e)->streamName;
        if (!sweep && ReportProgress(0, name.c_str()))
            return kConvertCancelled;
        CKVTAStream* stream = FindSelectedStream(name);
        const std::unique_ptr<CKVTAInfoTrigger> settings = InfoOf<CKVTAInfoTrigger>(stream);
        if (!settings)
            continue;
        const auto infoText = [&](const CKVTAEvtTrigger& trigger) {
            info.clear();
            const int channel = settings->GetSourceKind() == -3 ? static_cast<int>(trigger.GetValue1())
                                                                : trigger.GetId();
            m_format.Int(info, channel, 12);
            if (settings->GetExtraFlag()) {
                m_format.Int(info, static_cast<int32_t>(trigger.GetValue2()), 12);
                m_format.Int(info, static_cast<int32_t>(trigger.GetValue3()), 12);
            }
            return info;
        };

        if (!sweep) {
            std::unique_ptr<CKVTAEvent> cursor = stream->GetFirstEvent();
            auto* trigger = dynamic_cast<CKVTAEvtTrigger*>(cursor.get());
            if (!trigger)
                continue;
            do {
                const double timeMs = EventTimeMs(*trigger);
                m_format.Text(m_pending, name, 12);
                m_pending += '\t';
                m_format.Fixed(m_pending, timeMs + m_fileTimeShift / 1000.0, 3, 12);
                m_pending += '\t';
                m_pending += infoText(*trigger);
                Eol(m_pending);
                if (ReportEventProgress(timeMs, name))
                    return kConvertCancelled;
            } while (trigger->Next());
            continue;
        }

        // Every entry walks its stream on its own: several entries of one trigger stream each
        // write all of its records.
        Cursor& cursor = CursorFor("e:" + std::to_string(e), stream);
        auto* trigger = dynamic_cast<CKVTAEvtTrigger*>(cursor.event.get());
        if (!trigger || cursor.ended)
            continue;
        const int64_t endUs = sweep->startUs + sweep->lengthUs;
        for (;;) {
            const int64_t timeUs = EventTimeUs(*trigger);
            if (timeUs > endUs)
                break;
            if (sweep->startUs <= timeUs) {
                m_pending += sweep->columns;
                m_format.Fixed(m_pending, static_cast<double>(timeUs + m_fileTimeShift) / 1000.0, 3, 12);
                m_pending += '\t';
                m_format.Text(m_pending, name, 12);
                m_pending += '\t';
                m_pending += infoText(*trigger);
                Eol(m_pending);
            }
            if (!trigger->Next()) {
                cursor.ended = true;
                break;
            }
        }
    }
    return kConvertOk;
}

// ---- Digital events ----

int CConvertToASCII::WriteDigitalEvents(const Sweep* sweep)
{
    if (m_newOutput) {
        // A new file starts from the initial values; only an input continued into the same
        // file carries the previous values over.
        m_previousDigital.clear();
        const bool sweepTitles = sweep && (m_blockFlags & kNewOutputTitles);
        EmptyHeadLine(m_pending);
        Prefix(m_pending);
        if (sweepTitles)
            SweepTitles(m_pending, "nSweep", "nTr-Time");
        Columns(m_pending, {"Channel", "Event Time", "Value"});
        Eol(m_pending);
        Prefix(m_pending);
        if (sweepTitles)
            SweepTitles(m_pending, "", "[ms]");
        Columns(m_pending, {"", "[ms]", ""});
        Eol(m_pending);
    }

    // Each watched channel once, in the order of its first entry, with every entry of it.
    struct Watch
    {
        std::string stream;
        std::string channel;
        std::vector<int> entries;
        std::vector<std::string> names;
        uint16_t bitMask = 0;
        bool anyBit = false;
    };
    const CKVDataSelection& selection = *GetSelection();
    std::vector<Watch> watches;
    for (int e = 0; e < selection.GetCount(); ++e) {
        const CKVDataSelection::Entry& entry = *selection.At(e);
        Watch* watch = nullptr;
        for (Watch& w : watches)
            if (w.stream == entry.streamName && w.channel == entry.channelName)
                watch = &w;
        if (!watch) {
            watches.push_back(Watch{entry.streamName, entry.channelName, {}, {}, 0, false});
            watch = &watches.back();
        }
        std::string name = entry.streamName.substr(0, 2) + "_" + entry.channelName;
        if (entry.bit >= 0) {
            name += FormatString("_%02d", entry.bit);
            watch->anyBit = true;
            if (entry.bit < 16)
                watch->bitMask = static_cast<uint16_t>(watch->bitMask | (1u << entry.bit));
        }
        watch->entries.push_back(e);
        watch->names.push_back(name);
    }

    const int rate = SampleRateHz();
    const std::string& columns = sweep ? sweep->columns : std::string();
    std::vector<uint16_t> samples;
    for (const Watch& watch : watches) {
        CKVTAStream* stream = FindSelectedStream(watch.stream);
        int channel = -1;
        for (int c = 0; stream && c < stream->GetChannelCount() && channel < 0; ++c)
            if (stream->GetChannelName(c) == watch.channel)
                channel = c;
        if (channel < 0)
            continue;
        const uint16_t wordMask = watch.anyBit ? watch.bitMask : 0xFFFF;
        const auto key = std::make_pair(watch.stream, watch.channel);
        uint16_t* previous = nullptr;   // set with the channel's first sample
        const auto emit = [&](uint16_t sample, double timeMs) {
            const uint16_t changes = static_cast<uint16_t>(sample ^ *previous);
            *previous = sample;
            if (!changes)
                return;
            for (size_t i = 0; i < watch.entries.size(); ++i) {
                const int bit = selection.At(watch.entries[i])->bit;
                int value = 0;
                if (bit < 0) {
                    if (!(changes & wordMask))
                        continue;
                    value = sample;
                } else {
                    if (bit > 15 || !((changes & watch.bitMask) >> bit & 1))
                        continue;
                    value = sample >> bit & 1;
                }
                m_pending += columns;
                m_format.Text(m_pending, watch.names[i], 12);
                m_pending += '\t';
                m_format.Fixed(m_pending, timeMs, 3, 12);
                m_pending += '\t';
                m_format.Int(m_pending, value, 12);
                Eol(m_pending);
            }
        };
        const auto initial = [this](uint16_t sample) {
            return m_options.DigitalEventInitialValue ? static_cast<uint16_t>(~sample) : sample;
        };

        if (sweep) {
            const int values = stream->GetSweepSampleCount(static_cast<int>(sweep->index));
            samples.resize(static_cast<size_t>(std::max(values / std::max(stream->GetChannelCount(), 1), 0)));
            const int got =
                samples.empty()
                    ? 0
                    : stream->GetSweepChannelSamples(samples.data(), static_cast<int>(samples.size()),
                                                     static_cast<int>(sweep->index), channel);
            if (got <= 0)
                continue;
            if (!sweep->continuation || m_previousDigital.count(key) == 0)
                m_previousDigital[key] = initial(samples[0]);
            previous = &m_previousDigital[key];
            const double startMs = static_cast<double>(sweep->startUs + m_fileTimeShift) / 1000.0;
            for (int k = 0; k < got; ++k)
                emit(samples[static_cast<size_t>(k)], static_cast<double>(k) / rate * 1000.0 + startMs);
            continue;
        }

        // The whole channel in blocks, until the stream has no more samples.
        const int32_t rateMilliHz = stream->GetSampleRateMilliHz();
        samples.resize(kDigitalBlockSamples);
        uint64_t position = 0;
        for (;;) {
            const int got = stream->CopyChannelSamplesRange(samples.data(), static_cast<uint32_t>(channel),
                                                            position, kDigitalBlockSamples);
            if (got <= 0)
                break;
            if (m_previousDigital.count(key) == 0)
                m_previousDigital[key] = initial(samples[0]);
            previous = &m_previousDigital[key];
            for (int k = 0; k < got; ++k, ++position)
                emit(samples[static_cast<size_t>(k)],
                     static_cast<double>(position) * 1000.0 / rateMilliHz * 1000.0
                         + m_fileTimeShift / 1000.0);
            const double lastMs = static_cast<double>(position) * 1000.0 / rateMilliHz * 1000.0;
            if (ReportEventProgress(lastMs, "Digital events"))
                return kConvertCancelled;
            if (got < kDigitalBlockSamples)
                break;
        }
    }
    return kConvertOk;
}
