#include "datafile/info/CKVTAInfoParam.h"

CKVTAInfoParam::CKVTAInfoParam()
{
    m_positions.fill(kParamNotSelected);
}

bool CKVTAInfoParam::Read(CByteReader& in, uint16_t version, uint16_t adcBits, uint16_t adcZero,
                          double voltsPerStep)
{
    return m_analyzer.Read(in, version, m_bytesPerChannel, m_window, m_positions, m_quantities,
                           adcBits, adcZero, voltsPerStep) != 0;
}

const KvtQuantity* CKVTAInfoParam::GetQuantity(int i) const
{
    if (i < 0 || i >= GetQuantityCount())
        return nullptr;
    return &m_quantities[static_cast<size_t>(i)];
}

bool CKVTAInfoParam::IsQuantityRecorded(int i) const
{
    const KvtQuantity* quantity = GetQuantity(i);
    return quantity && quantity->recorded != 0;
}

int CKVTAInfoParam::GetOutputPosition(int i) const
{
    if (i < 0 || i >= GetQuantityCount())
        return -1;
    const uint32_t position = m_positions[static_cast<size_t>(i)];
    return position == kParamNotSelected ? -1 : static_cast<int>(position);
}
