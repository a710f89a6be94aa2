#pragma once
// Settings object of a "spkparam" stream; the burst-parameter object shares its getters.

#include <cstdint>
#include <memory>
#include <string>

#include "datafile/info/CKVTAInfo.h"
#include "datafile/settings/CMSpikeAnalyzerProperty.h"

class CKVTAInfoSpikeParameter : public CKVTAInfo
{
public:
    CKVTAInfoSpikeParameter();

    // Reads the analyser record behind the "PARAMSPP" (or "PARAMBSP") tag.
    [[nodiscard]] bool Read(CByteReader& in) { return m_settings->Read(in); }

    int GetParameterCount() const { return static_cast<int>(m_settings->m_quantities.size()); }
    // Entry i's recorded flag, decimal exponent and name; false, 0 and an empty text when i is
    // outside 0 .. count - 1.
    bool IsParameterRecorded(int i) const;
    int GetParameterField(int i) const;
    const std::string& GetParameterName(int i) const;
    const KvtQuantity* GetParameter(int i) const;   // NULL outside 0 .. count - 1

    // The unit words: the count, and word i (-1 when i is outside 0 .. count - 1).
    int GetSelectedUnitCount() const { return static_cast<int>(m_settings->m_unitWords.size()); }
    int GetSelectedUnit(int i) const;

    // Nonzero when units are selected.
    uint32_t GetDigitalValue() const { return m_settings->m_unitsSelected; }
    const std::string& GetInputStreamName() const { return m_settings->m_inputStreamName; }


protected:
    explicit CKVTAInfoSpikeParameter(std::unique_ptr<CMSpikeAnalyzerProperty> settings);

    std::unique_ptr<CMSpikeAnalyzerProperty> m_settings;   // never NULL
};
