#include "datafile/settings/CMFilterProperty.h"

#include <cmath>

#include "datafile/settings/KvtSettingsRecord.h"

namespace {

bool ReadTextList(CByteReader& in, std::vector<std::string>& list)
{
    uint32_t count = 0;
    in.Read(count);
    if (!CountFits(in, count, sizeof(uint32_t)))
        return false;
    list.assign(count, std::string());
    for (std::string& text : list) {
        if (!ReadText32(in, text))
            return false;
    }
    return true;
}

template <class T>
bool ReadList(CByteReader& in, std::vector<T>& list)
{
    uint32_t count = 0;
    in.Read(count);
    if (!CountFits(in, count, sizeof(T)))
        return false;
    list.assign(count, T());
    for (T& value : list)
        in.Read(value);
    return in.Ok();
}

bool SkipOldList(CByteReader& in)
{
    uint32_t count = 0;
    in.Read(count);
    return CountFits(in, count, 4) && in.Skip(size_t(count) * 4);
}

} // namespace

std::unique_ptr<CMCloneObject> CMFilterProperty::Clone() const
{
    return std::make_unique<CMFilterProperty>(*this);
}

bool CMFilterProperty::Read(CByteReader& in, uint16_t version)
{
    CMFilterProperty read;
    in.Read(read.m_passKind);
    ReadText32(in, read.m_designName);
    if (!ReadTextList(in, read.m_firstTexts) || !ReadTextList(in, read.m_secondTexts)
        || !ReadList(in, read.m_cutoffFrequencies))
        return false;
    if (version < 2 && (!SkipOldList(in) || !SkipOldList(in)))
        return false;
    if (version != 0) {
        if (!ReadList(in, read.m_values))
            return false;
        in.Read(read.m_numPoints);
        in.Read(read.m_secondWord);
        in.Read(read.m_order);
    }
    if (version > 2) {
        in.Read(read.m_centerFrequency);
        in.Read(read.m_qFactor);
        in.Read(read.m_flag);
        in.Read(read.m_word);
    }
    if (!in.Ok())
        return false;
    *this = std::move(read);
    return true;
}

int CMFilterProperty::GetDesignIndex() const
{
    static const int kSearchOrder[kFilterTypeCount] = {2, 0, 1, 3, 4, 5, 6, 7, 8};
    for (int index : kSearchOrder) {
        if (m_designName == KvtFilterTypeNames[index])
            return index;
    }
    return 2;
}

bool CMFilterProperty::IsSavitzkyGolay() const
{
    return m_designName == "Savitzky-Golay";
}

int CMFilterProperty::GetCutoffFrequency() const
{
    if (m_cutoffFrequencies.empty() || std::isnan(m_cutoffFrequencies.front()))
        return -1;
    const double value = m_cutoffFrequencies.front();
    if (value >= 2147483647.0)
        return 2147483647;
    if (value <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(value);
}

const char* CMFilterProperty::GetPassKindText() const
{
    static const char* const kTexts[] = {"Undefined", "Low Pass", "High Pass", "Band Pass",
                                         "Band Stop"};
    return m_passKind < 5 ? kTexts[m_passKind] : "Unknown";
}
