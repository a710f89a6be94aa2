#pragma once
// Settings of the recording program's parameter analyser ("params" streams): which of the 15
// quantities are measured, how many bytes each takes in a record, and their display ranges.

#include <array>
#include <cstdint>
#include <string>

#include "datafile/settings/CMCloneObject.h"
#include "datafile/settings/CMTimeWindowProperty.h"
#include "datafile/settings/KvtQuantity.h"
#include "platform/CByteReader.h"

constexpr size_t kParamQuantityCount = 15;
constexpr uint32_t kParamNotSelected = 0xFFFFFFFF;

using KvtParamQuantities = std::array<KvtQuantity, kParamQuantityCount>;
using KvtParamPositions = std::array<uint32_t, kParamQuantityCount>;

// Rounds a range limit away from zero to one significant digit: 3.2 -> 4, 0.032 -> 0.04,
// 25 -> 30, 10 -> 10, -3.2 -> -4. Zero and non-finite values come back unchanged.
double KvtRoundRangeLimit(double x);

class CMIAnalyzerProperty : public CMCloneObject
{
public:
    CMIAnalyzerProperty();

    std::unique_ptr<CMCloneObject> Clone() const override;

    // Reads a parameter settings record (the whole reader, no tag) into these settings, the time
    // window, the output positions and the quantity entries, and works out the bytes one
    // channel's values take in a parameter record. `adcBits`, `adcZero` and `voltsPerStep` are
    // the stream's format-head values as stored (the scale at head offset 8, unchanged); they set
    // the display ranges. Returns 1, or 0 on a wrong table tag, a table of more than 15 entries,
    // a per-channel size beyond 65535 bytes or a field past the reader's end.
    [[nodiscard]] int Read(CByteReader& in, uint16_t version, uint16_t& bytesPerChannel,
                           CMTimeWindowProperty& window, KvtParamPositions& positions,
                           KvtParamQuantities& entries, uint16_t adcBits, uint16_t adcZero,
                           double voltsPerStep);

    // Sets the display ranges, factors, exponents, unit kinds and names of the entries, then the
    // recorded flags and output positions from the selected flags.
    void BuildQuantityTable(uint16_t adcBits, uint16_t adcZero, double voltsPerStep,
                            KvtParamPositions& positions, KvtParamQuantities& entries) const;

    int32_t m_analyzerWord = -1;
    uint32_t m_timeSelector = 1;     // 0 or 1: units of the time quantities
    uint32_t m_selected[kParamQuantityCount] = {};
    uint32_t m_valueSizes[kParamQuantityCount] = {4, 4, 8, 8, 4, 8, 4, 4, 2, 4, 4, 4, 4, 4, 0};
    uint32_t m_word = 1;
    std::string m_description;       // the analyser's input stream; "not recorded" when none
    uint32_t m_version2Word = 0;
    std::string m_secondText;
    uint32_t m_version5Word = 0;
};
