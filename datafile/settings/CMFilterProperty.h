#pragma once
// Settings of the recording program's digital filter ("filter" streams) and the names of its
// filter designs.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "datafile/settings/CMCloneObject.h"
#include "platform/CByteReader.h"

// The filter designs, index = design index.
constexpr size_t kFilterTypeCount = 9;
constexpr const char* KvtFilterTypeNames[kFilterTypeCount] = {
    "Bessel 2nd order",
    "Bessel 4th order",
    "Butterworth 2nd order",
    "Chebyshev 2nd order 0.5 dB",
    "Chebyshev 2nd order 1.0 dB",
    "Chebyshev 2nd order 2.0 dB",
    "Chebyshev 2nd order 3.0 dB",
    "Bandstop Resonator",
    "Savitzky-Golay",
};

class CMFilterProperty : public CMCloneObject
{
public:
    std::unique_ptr<CMCloneObject> Clone() const override;

    // Reads the record behind the "PARAMFLT" tag into a fresh default object, which then
    // replaces these settings; fields the version does not reach get their defaults. Returns
    // false, leaving these settings unchanged, when the record or one of its lists runs past
    // the reader's end.
    [[nodiscard]] bool Read(CByteReader& in, uint16_t version);

    // Index of the design name in KvtFilterTypeNames; 2 (Butterworth) when it is none of them.
    int GetDesignIndex() const;
    bool IsSavitzkyGolay() const;
    // First cutoff frequency truncated toward zero (clamped to the int range); -1 when there is
    // none or it is not a number.
    int GetCutoffFrequency() const;
    double GetCenterFrequency() const { return m_centerFrequency; }
    double GetQFactor() const { return m_qFactor; }
    int GetOrder() const { return static_cast<int>(m_order); }
    int GetNumPoints() const { return static_cast<int>(m_numPoints); }
    // "Undefined", "Low Pass", "High Pass", "Band Pass", "Band Stop", else "Unknown".
    const char* GetPassKindText() const;
    std::string GetDesignName() const { return m_designName; }

    uint32_t m_passKind = 0;     // 0 undefined, 1 low, 2 high, 3 band pass, 4 band stop
    std::string m_designName;
    std::vector<std::string> m_firstTexts;
    std::vector<std::string> m_secondTexts;
    std::vector<float> m_cutoffFrequencies;   // Hz
    double m_centerFrequency = 50.0;          // Hz
    double m_qFactor = 2.0;
    uint8_t m_flag = 0;
    uint32_t m_word = 100;
    std::vector<double> m_values;
    uint32_t m_numPoints = 4;
    uint32_t m_secondWord = 4;
    uint32_t m_order = 2;
};
