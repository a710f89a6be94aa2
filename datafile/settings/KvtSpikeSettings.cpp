#include "datafile/settings/KvtSpikeSettings.h"

#include <memory>
#include <vector>

#include "datafile/settings/CMMEATriggerProperty.h"
#include "datafile/settings/KvtSettingsRecord.h"

namespace {
constexpr size_t kUnitRecordBytes = 2 + 2 + 5 * 4;
constexpr size_t kMinChannelRecordBytes = 2 + 2 + 5 * 4 + 2;
}

bool KvtSpikeChannelSettings::Read(CByteReader& in)
{
    in.Read(channel);
    in.Read(word);
    in.Read(threshold);
    in.Read(mode);
    in.Read(secondThreshold);
    in.Read(value1);
    in.Read(value2);
    uint16_t unitCount = 0;
    in.Read(unitCount);
    if (!CountFits(in, unitCount, kUnitRecordBytes))
        return false;
    for (uint16_t i = 0; i < unitCount; ++i) {
        KvtSpikeUnitSettings unit;
        in.Read(unit.word);
        in.Read(unit.unitId);
        for (float& value : unit.values)
            in.Read(value);
        for (uint32_t& value : unit.words)
            in.Read(value);
        units[unit.unitId] = unit;
    }
    return in.Ok();
}

bool KvtSpikeSettings::Read(CByteReader& in, uint16_t version, int32_t programVersion)
{
    if (version <= 4)
        return ReadOldTriggerList(in, version, programVersion);

    in.Read(wordB); // the first stored word is word B
    in.Read(wordA);
    in.Read(wordC);
    in.Read(threshold);
    if (version >= 7) {
        uint32_t pre = 0, post = 0, dead = 0;
        in.Read(pre);
        in.Read(post);
        in.Read(dead);
        preTrigger = static_cast<int32_t>(pre);
        postTrigger = static_cast<int32_t>(post);
        deadTime = static_cast<int32_t>(dead);
    } else {
        float pre = 0, post = 0, dead = 0;
        in.Read(pre);
        in.Read(post);
        in.Read(dead);
        preTrigger = SecondsToMicroseconds(pre);
        postTrigger = SecondsToMicroseconds(post);
        deadTime = SecondsToMicroseconds(dead);
    }
    ReadText16(in, inputStreamName);

    uint16_t channelCount = 0;
    in.Read(channelCount);
    if (!CountFits(in, channelCount, kMinChannelRecordBytes))
        return false;
    for (uint16_t i = 0; i < channelCount; ++i) {
        KvtSpikeChannelSettings record;
        if (!record.Read(in))
            return false;
        channels[record.channel] = std::move(record);
    }
    return in.Ok();
}

bool KvtSpikeSettings::ReadOldTriggerList(CByteReader& in, uint16_t version,
                                          int32_t programVersion)
{
    std::vector<std::unique_ptr<CMMEATriggerProperty>> triggers;
    int64_t dead = 0, pre = 0, post = 0;
    if (!CMMEATriggerProperty::ReadList(in, version, programVersion, triggers, dead, pre, post))
        return false;

    preTrigger = ClampToInt32(pre / 1000000);
    postTrigger = ClampToInt32(post / 1000000);
    deadTime = ClampToInt32(dead / 1000000);
    wordA = 0;
    wordB = 0;
    inputStreamName = triggers.empty() ? std::string() : triggers.front()->m_inputStreamName;
    for (const auto& trigger : triggers) {
        KvtSpikeChannelSettings record;
        record.channel = static_cast<uint16_t>(trigger->m_inputHwid);
        record.threshold = static_cast<float>(trigger->m_level / 10000000.0);
        record.mode = trigger->m_slope;
        channels[record.channel] = std::move(record);
    }
    return true;
}
