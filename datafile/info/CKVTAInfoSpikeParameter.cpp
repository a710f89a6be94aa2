#include "datafile/info/CKVTAInfoSpikeParameter.h"

namespace {
const std::string kNoText;
}

CKVTAInfoSpikeParameter::CKVTAInfoSpikeParameter()
    : m_settings(std::make_unique<CMSpikeAnalyzerProperty>())
{
}

CKVTAInfoSpikeParameter::CKVTAInfoSpikeParameter(std::unique_ptr<CMSpikeAnalyzerProperty> settings)
    : m_settings(std::move(settings))
{
}

const KvtQuantity* CKVTAInfoSpikeParameter::GetParameter(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_settings->m_quantities.size())
        return nullptr;
    return &m_settings->m_quantities[static_cast<size_t>(i)];
}

bool CKVTAInfoSpikeParameter::IsParameterRecorded(int i) const
{
    const KvtQuantity* quantity = GetParameter(i);
    return quantity && quantity->recorded != 0;
}

int CKVTAInfoSpikeParameter::GetParameterField(int i) const
{
    const KvtQuantity* quantity = GetParameter(i);
    return quantity ? quantity->exponent : 0;
}

const std::string& CKVTAInfoSpikeParameter::GetParameterName(int i) const
{
    const KvtQuantity* quantity = GetParameter(i);
    return quantity ? quantity->name : kNoText;
}

int CKVTAInfoSpikeParameter::GetSelectedUnit(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_settings->m_unitWords.size())
        return -1;
    return static_cast<int>(m_settings->m_unitWords[static_cast<size_t>(i)]);
}
