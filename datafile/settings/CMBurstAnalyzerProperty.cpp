#include "datafile/settings/CMBurstAnalyzerProperty.h"

namespace {

KvtQuantity MakeQuantity(const char* name, float min, float max, uint32_t recorded,
                         int32_t unitKind)
{
    KvtQuantity quantity;
    quantity.rangeMin = min;
    quantity.rangeMax = max;
    quantity.recorded = recorded;
    quantity.factor = 1.0;
    quantity.exponent = 0;
    quantity.unitKind = unitKind;
    quantity.name = name;
    return quantity;
}

} // namespace

CMBurstAnalyzerProperty::CMBurstAnalyzerProperty()
{
    CMBurstAnalyzerProperty::SetDefaults();
}

std::unique_ptr<CMCloneObject> CMBurstAnalyzerProperty::Clone() const
{
    return std::make_unique<CMBurstAnalyzerProperty>(*this);
}

void CMBurstAnalyzerProperty::SetDefaults()
{
    m_quantities[0] = MakeQuantity("Marker", -1.0f, 4.0f, 1, kUnitMarker);
    m_quantities[1] = MakeQuantity("Spike Frequency", 0.0f, 100.0f, 0, kUnitHertz);
    m_quantities[2] = MakeQuantity("Spike Number", 0.0f, 100.0f, 0, kUnitCount);
}

bool CMBurstAnalyzerProperty::Read(CByteReader& in)
{
    if (!ReadCommon(in))
        return false;
    in.Read(m_maxIntervalToStart);
    in.Read(m_maxIntervalToEnd);
    in.Read(m_minIntervalBetween);
    in.Read(m_minDuration);
    in.Read(m_minSpikeCount);
    return in.Ok();
}
