#include "datafile/settings/CMIAnalyzerProperty.h"

#include <cmath>

#include "datafile/settings/KvtSettingsRecord.h"

namespace {

const char* const kQuantityNames[kParamQuantityCount] = {
    "Min", "Max", "T-Min", "T-Max", "Height", "Width", "Ampl.", "Area", "Number", "Rate",
    "Slope", "Slope 10%-90%", "Slope 20%-80%", "Slope 30%-70", ""};

// An entry record of the "PRTBLPAR" table without its name bytes.
constexpr size_t kMinEntryRecordBytes = 4 + 4 + 4 + 8 + 4 + 4 + 2;

// Reads a u16-counted table of u32 values; more than 15 values do not fit the model.
bool ReadTable(CByteReader& in, const char* tag, uint32_t* values)
{
    uint16_t count = 0;
    if (!ReadTag(in, tag) || !in.Read(count))
        return false;
    if (count > kParamQuantityCount) {
        in.Fail();
        return false;
    }
    for (uint16_t i = 0; i < count; ++i)
        in.Read(values[i]);
    return in.Ok();
}

void SetEntry(KvtQuantity& entry, float min, float max, double factor, int32_t exponent,
              int32_t unitKind)
{
    entry.rangeMin = min;
    entry.rangeMax = max;
    entry.factor = factor;
    entry.exponent = exponent;
    entry.unitKind = unitKind;
}

} // namespace

double KvtRoundRangeLimit(double x)
{
    if (x == 0.0 || !std::isfinite(x))
        return x;
    double magnitude = std::fabs(x);
    int power = 0;
    while (magnitude >= 10.0) {
        magnitude /= 10.0;
        ++power;
    }
    while (magnitude < 1.0) {
        magnitude *= 10.0;
        --power;
    }
    // Scaling by ten leaves a trace of binary rounding (0.3 scales to 3.0000000000000004);
    // a whole number that close is taken as exact rather than rounded up a digit.
    const double nearest = std::round(magnitude);
    const double digit = std::fabs(magnitude - nearest) <= 1e-9 * nearest ? nearest
                                                                          : std::ceil(magnitude);
    // Dividing by an exact power of ten rounds once: 4 / 100 is 0.04, 4 * 0.01 need not be.
    const double scaled =
        power >= 0 ? digit * std::pow(10.0, power) : digit / std::pow(10.0, -power);
    return x < 0 ? -scaled : scaled;
}

CMIAnalyzerProperty::CMIAnalyzerProperty() = default;

std::unique_ptr<CMCloneObject> CMIAnalyzerProperty::Clone() const
{
    return std::make_unique<CMIAnalyzerProperty>(*this);
}

int CMIAnalyzerProperty::Read(CByteReader& in, uint16_t version, uint16_t& bytesPerChannel,
                              CMTimeWindowProperty& window, KvtParamPositions& positions,
                              KvtParamQuantities& entries, uint16_t adcBits, uint16_t adcZero,
                              double voltsPerStep)
{
    if (!ReadTable(in, "FMTBLPAR", m_valueSizes) || !ReadTable(in, "PSTBLPAR", positions.data()))
        return 0;

    uint16_t entryCount = 0;
    if (!ReadTag(in, "PRTBLPAR") || !in.Read(entryCount))
        return 0;
    if (entryCount > kParamQuantityCount || !CountFits(in, entryCount, kMinEntryRecordBytes))
        return 0;
    for (uint16_t i = 0; i < entryCount; ++i) {
        KvtQuantity& entry = entries[i];
        in.Read(entry.rangeMin);
        in.Read(entry.rangeMax);
        in.Read(entry.recorded);
        in.Read(entry.factor);
        in.Read(entry.exponent);
        in.Read(entry.unitKind);
        if (!ReadText16(in, entry.name))
            return 0;
    }

    uint32_t sum = 0;
    for (uint16_t i = 0; i < entryCount; ++i) {
        if (positions[i] != kParamNotSelected)
            sum += m_valueSizes[i] & 0xFFFF;
    }
    if (sum > 0xFFFF)
        return 0;   // a record could not say where one channel's values end
    bytesPerChannel = static_cast<uint16_t>(sum);

    window.m_windowWord = -1;
    m_description = "not recorded";

    if (version != 0) {
        in.Read(m_analyzerWord);
        in.Read(m_timeSelector);
        for (uint16_t i = 0; i < entryCount; ++i)
            in.Read(m_selected[i]);
        in.Read(m_word);
        uint16_t descriptionCount = 0;
        if (!in.Read(descriptionCount))
            return 0;
        // Records of this shape end here; their entries stay as stored.
        if (in.Remaining() == 0)
            return 1;
        if (!in.ReadText(m_description, descriptionCount))
            return 0;

        if (version >= 2) {
            in.Read(m_version2Word);
            m_secondText.clear();
            if (version >= 4)
                ReadText16(in, m_secondText);
            (void)window.Read(in, version);   // a record cut short fails `in`, checked below
            if (version >= 5)
                in.Read(m_version5Word);
        }
        if (!in.Ok())
            return 0;
    }

    BuildQuantityTable(adcBits, adcZero, voltsPerStep, positions, entries);
    return 1;
}

void CMIAnalyzerProperty::BuildQuantityTable(uint16_t adcBits, uint16_t adcZero,
                                             double voltsPerStep, KvtParamPositions& positions,
                                             KvtParamQuantities& entries) const
{
    const uint32_t maxCode = adcBits >= 16 ? 0xFFFF : (1u << adcBits) - 1;
    const float lowProduct = static_cast<float>((0.0 - adcZero) * voltsPerStep);
    const float highProduct = static_cast<float>((double(maxCode) - adcZero) * voltsPerStep);
    const float low = static_cast<float>(KvtRoundRangeLimit(lowProduct) * 1000000.0);
    const float high = static_cast<float>(KvtRoundRangeLimit(highProduct) * 1000000.0);

    SetEntry(entries[0], low, high, 1.0, -6, kUnitVolt);
    SetEntry(entries[1], low, high, 1.0, -6, kUnitVolt);
    if (m_timeSelector == 0) {
        SetEntry(entries[2], 0.0f, 1000.0f, 1.0, 6, kUnitSecond2);
        entries[3].factor = 1e-9;
        entries[3].unitKind = kUnitSecond2;
    } else if (m_timeSelector == 1) {
        SetEntry(entries[2], 0.0f, 1000.0f, 1000.0, -3, kUnitSecond3);
        SetEntry(entries[3], 0.0f, 1000.0f, 1000.0, -3, kUnitSecond3);
    }
    SetEntry(entries[4], 0.0f, high, 1.0, -6, kUnitVolt);
    SetEntry(entries[5], 0.0f, 1000.0f, 1000.0, -3, kUnitSecond3);
    SetEntry(entries[6], low, high, 1.0, -6, kUnitVolt);
    SetEntry(entries[7], 0.0f, 1000.0f, 1000000.0, -6, kUnitVoltSecond);
    SetEntry(entries[8], 0.0f, 100.0f, 1.0, 0, kUnitCount);
    SetEntry(entries[9], 0.0f, 100.0f, 1.0, 0, kUnitHertz);
    for (size_t i = 10; i <= 13; ++i)
        SetEntry(entries[i], -1.0f, 1.0f, 1.0, 0, kUnitVoltPerSecond);
    for (size_t i = 0; i < kParamQuantityCount - 1; ++i)
        entries[i].name = kQuantityNames[i];

    uint32_t next = 0;
    for (size_t i = 0; i < kParamQuantityCount; ++i) {
        if (m_selected[i] == 1) {
            entries[i].recorded = 1;
            positions[i] = next++;
        } else {
            entries[i].recorded = 0;
            positions[i] = kParamNotSelected;
        }
    }
}
