#pragma once
// Settings of the recording program's burst analyser ("bstparam" streams).

#include <cstdint>

#include "datafile/settings/CMSpikeAnalyzerProperty.h"

class CMBurstAnalyzerProperty : public CMSpikeAnalyzerProperty
{
public:
    CMBurstAnalyzerProperty();

    std::unique_ptr<CMCloneObject> Clone() const override;

    // The three default quantities ("Marker", "Spike Frequency", "Spike Number").
    void SetDefaults() override;

    // The analyser record followed by the five burst limits.
    [[nodiscard]] bool Read(CByteReader& in) override;

    int32_t m_maxIntervalToStart = 10000;    // microseconds
    int32_t m_maxIntervalToEnd = 10000;
    int32_t m_minIntervalBetween = 10000;
    int32_t m_minDuration = 20000;
    int32_t m_minSpikeCount = 4;
};
