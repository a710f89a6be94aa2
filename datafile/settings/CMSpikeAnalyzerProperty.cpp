#include "datafile/settings/CMSpikeAnalyzerProperty.h"

#include "datafile/settings/KvtSettingsRecord.h"

namespace {

// A quantity record: min, max, recorded, f64 factor, exponent, unit kind, u32 name count.
constexpr size_t kMinQuantityRecordBytes = 4 + 4 + 4 + 8 + 4 + 4 + 4;

KvtQuantity MakeQuantity(const char* name, float min, float max, uint32_t recorded,
                         int32_t exponent, int32_t unitKind)
{
    KvtQuantity quantity;
    quantity.rangeMin = min;
    quantity.rangeMax = max;
    quantity.recorded = recorded;
    quantity.factor = 1.0;
    quantity.exponent = exponent;
    quantity.unitKind = unitKind;
    quantity.name = name;
    return quantity;
}

bool ReadQuantity(CByteReader& in, KvtQuantity& quantity)
{
    in.Read(quantity.rangeMin);
    in.Read(quantity.rangeMax);
    in.Read(quantity.recorded);
    in.Read(quantity.factor);
    in.Read(quantity.exponent);
    in.Read(quantity.unitKind);
    return ReadText32(in, quantity.name);
}

} // namespace

CMSpikeAnalyzerProperty::CMSpikeAnalyzerProperty()
    : m_quantities(kQuantityCount), m_unitWords{1, 0, 0, 0}
{
    CMSpikeAnalyzerProperty::SetDefaults();
}

std::unique_ptr<CMCloneObject> CMSpikeAnalyzerProperty::Clone() const
{
    return std::make_unique<CMSpikeAnalyzerProperty>(*this);
}

void CMSpikeAnalyzerProperty::SetDefaults()
{
    m_quantities[0] = MakeQuantity("ISI", 0.0f, 100.0f, 1, -3, kUnitSecond3);
    m_quantities[1] = MakeQuantity("Rate", 0.0f, 100.0f, 0, 0, kUnitHertz);
    m_quantities[2] = MakeQuantity("Timestamp", -1.0f, 4.0f, 0, 0, kUnitMarker);
}

bool CMSpikeAnalyzerProperty::ReadCommon(CByteReader& in)
{
    uint32_t count = 0;
    in.Read(count);
    if (!CountFits(in, count, kMinQuantityRecordBytes))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        KvtQuantity discarded;
        if (!ReadQuantity(in, i < m_quantities.size() ? m_quantities[i] : discarded))
            return false;
    }

    in.Read(count);
    if (!CountFits(in, count, sizeof(uint32_t)))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t word = in.Get<uint32_t>();
        if (i < m_unitWords.size())
            m_unitWords[i] = word;
    }

    ReadText32(in, m_inputStreamName);
    in.Read(m_unitsSelected);
    return in.Ok();
}

bool CMSpikeAnalyzerProperty::Read(CByteReader& in)
{
    return ReadCommon(in);
}
