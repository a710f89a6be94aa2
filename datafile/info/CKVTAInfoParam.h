#pragma once
// Settings object of a "params" stream: the parameter analyser's settings, its 15 quantities,
// their output positions and the bytes one channel's values take in a record.

#include <cstdint>
#include <string>

#include "datafile/info/CKVTAInfo.h"
#include "datafile/settings/CMIAnalyzerProperty.h"
#include "datafile/settings/CMTimeWindowProperty.h"

class CKVTAInfoParam : public CKVTAInfo
{
public:
    CKVTAInfoParam();

    // Reads the parameter settings record (no tag) with the stream's format-head values: ADC
    // bits, ADC zero and the scale at head offset 8 as stored. False on a bad record.
    [[nodiscard]] bool Read(CByteReader& in, uint16_t version, uint16_t adcBits, uint16_t adcZero,
                            double voltsPerStep);

    static constexpr int GetQuantityCount() { return static_cast<int>(kParamQuantityCount); }
    // Quantity i, or NULL when i is outside 0 .. 14.
    const KvtQuantity* GetQuantity(int i) const;
    bool IsQuantityRecorded(int i) const;
    // Position of quantity i among the recorded values; -1 when it is not recorded. A record
    // that ends right after its description count keeps the positions as stored: callers bound
    // a position by the number of decoded values before they index with it.
    int GetOutputPosition(int i) const;
    // Bytes of one channel's values in a parameter record.
    uint16_t GetBytesPerChannel() const { return m_bytesPerChannel; }
    // The analyser's input stream text ("not recorded" when the record names none).
    const std::string& GetInputStreamText() const { return m_analyzer.m_description; }

    const CMIAnalyzerProperty& GetAnalyzer() const { return m_analyzer; }
    const CMTimeWindowProperty& GetTimeWindow() const { return m_window; }

private:
    KvtParamQuantities m_quantities;
    KvtParamPositions m_positions;
    CMIAnalyzerProperty m_analyzer;
    CMTimeWindowProperty m_window;
    uint16_t m_bytesPerChannel = 0;
};
