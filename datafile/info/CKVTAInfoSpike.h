#pragma once
// Settings object of a "spikes" stream: the spike detector's settings and selected units.

#include <cstdint>
#include <string>
#include <vector>

#include "datafile/info/CKVTAInfo.h"
#include "datafile/settings/KvtSpikeSettings.h"

class CKVTAInfoSpike : public CKVTAInfo
{
public:
    // Reads the record behind the "PARAMSPK" tag (see KvtSpikeSettings::Read).
    [[nodiscard]] bool Read(CByteReader& in, uint16_t version, int32_t programVersion);

    int GetPreTrigger() const { return m_settings.preTrigger; }    // microseconds
    int GetPostTrigger() const { return m_settings.postTrigger; }
    int GetDeadTime() const { return m_settings.deadTime; }
    float GetPreTriggerSeconds() const { return static_cast<float>(m_settings.preTrigger / 1e6); }
    float GetPostTriggerSeconds() const { return static_cast<float>(m_settings.postTrigger / 1e6); }

    // The unit ids, ascending, of the lowest channel's record.
    int GetSelectedUnitCount() const { return static_cast<int>(m_selectedUnits.size()); }
    // Unit id i, or -1 when i is outside 0 .. count - 1.
    int GetSelectedUnit(int16_t i) const;

    const std::string& GetInputStreamName() const { return m_settings.inputStreamName; }

private:
    KvtSpikeSettings m_settings;
    std::vector<uint16_t> m_selectedUnits;   // settings are read-only once read
};
