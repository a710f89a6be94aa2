#pragma once
// Settings object of an "average" stream: the averager's settings.

#include "datafile/info/CKVTAInfo.h"
#include "datafile/settings/CMEvokedProperty.h"

class CKVTAInfoAverage : public CKVTAInfo
{
public:
    // Reads the record behind the "PARAMEVP" tag; false when it runs past the reader's end.
    [[nodiscard]] bool Read(CByteReader& in, uint16_t version)
    {
        return m_settings.Read(in, version) != 0;
    }

    // Start of the averaging window in ms.
    float GetWindowTime1() const { return m_settings.m_window.m_firstTime; }

    const CMEvokedProperty& GetSettings() const { return m_settings; }

private:
    CMEvokedProperty m_settings;
};
