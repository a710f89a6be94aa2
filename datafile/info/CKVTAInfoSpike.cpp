#include "datafile/info/CKVTAInfoSpike.h"

bool CKVTAInfoSpike::Read(CByteReader& in, uint16_t version, int32_t programVersion)
{
    m_selectedUnits.clear();
    if (!m_settings.Read(in, version, programVersion))
        return false;
    if (!m_settings.channels.empty()) {
        for (const auto& unit : m_settings.channels.begin()->second.units)
            m_selectedUnits.push_back(unit.first);
    }
    return true;
}

int CKVTAInfoSpike::GetSelectedUnit(int16_t i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_selectedUnits.size())
        return -1;
    return m_selectedUnits[static_cast<size_t>(i)];
}
