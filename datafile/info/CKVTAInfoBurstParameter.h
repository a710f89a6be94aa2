#pragma once
// Settings object of a "bstparam" stream: the burst analyser's settings with the spike-parameter
// getters and the five burst limits.

#include "datafile/info/CKVTAInfoSpikeParameter.h"
#include "datafile/settings/CMBurstAnalyzerProperty.h"

class CKVTAInfoBurstParameter : public CKVTAInfoSpikeParameter
{
public:
    CKVTAInfoBurstParameter();

    const CMBurstAnalyzerProperty& GetBurstSettings() const;
};
