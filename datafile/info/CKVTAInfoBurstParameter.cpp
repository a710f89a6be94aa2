#include "datafile/info/CKVTAInfoBurstParameter.h"

CKVTAInfoBurstParameter::CKVTAInfoBurstParameter()
    : CKVTAInfoSpikeParameter(std::make_unique<CMBurstAnalyzerProperty>())
{
}

const CMBurstAnalyzerProperty& CKVTAInfoBurstParameter::GetBurstSettings() const
{
    // The constructor put a burst analyser there and nothing replaces it.
    return static_cast<const CMBurstAnalyzerProperty&>(*m_settings);
}
