#pragma once
// Settings object of a "trigger" stream: the trigger detector's settings and their getters.

#include <cstdint>
#include <string>

#include "datafile/info/CKVTAInfo.h"
#include "datafile/settings/CMMEATriggerProperty.h"

class CKVTAInfoTrigger : public CKVTAInfo
{
public:
    // Reads the record behind the "PARAMTRG" tag; `programVersion` is the first recording-program
    // version of this stream's own file. False when the record runs past the reader's end.
    [[nodiscard]] bool Read(CByteReader& in, uint16_t version, int32_t programVersion) {
        return m_settings.Read(in, version, programVersion);
    }

    int GetInputHwid() const { return m_settings.m_inputHwid; }
    int GetLevel() const { return m_settings.m_level / 10; }   // microvolts, toward zero
    uint32_t GetSlope() const { return m_settings.m_slope; }   // 0 rising, else falling
    int GetDeadTime() const { return static_cast<int>(m_settings.m_deadTime); }   // ms
    int GetSourceKind() const { return static_cast<int>(m_settings.m_sourceKind); }
    bool IsDigitalTrigger() const { return m_settings.m_digitalFlag != 0; }
    int GetDigitalValue() const { return static_cast<int>(m_settings.m_digitalValue); }
    int GetDigitalMask() const { return static_cast<int>(m_settings.m_digitalMask); }
    int GetDigitalType() const { return static_cast<int>(m_settings.m_digitalType); }
    bool IsParameterTrigger() const { return m_settings.m_parameterFlag != 0; }
    const std::string& GetParameterName() const { return m_settings.m_parameterName; }
    const std::string& GetParameterUnit() const { return m_settings.m_parameterUnit; }
    bool GetExtraFlag() const { return m_settings.m_extraFlag != 0; }
    const std::string& GetInputStreamName() const { return m_settings.m_inputStreamName; }


private:
    CMMEATriggerProperty m_settings;
};
