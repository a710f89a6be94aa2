#include "datafile/settings/CMMEATriggerProperty.h"

#include <algorithm>

#include "datafile/settings/KvtSettingsRecord.h"

namespace {

// Byte layout of the old settings image (versions 0 to 2); only bytes 4 to 59 are taken.
namespace TriggerImage {
constexpr size_t kWord1 = 4;
constexpr size_t kDeadTime = 16;
constexpr size_t kLevel = 20;
constexpr size_t kSecondLevel = 24;
constexpr size_t kSlope = 28;
constexpr size_t kInputHwid = 32;
constexpr size_t kSourceKind = 36;
constexpr size_t kWords4To8 = 40;
constexpr size_t kUsedBytes = 60;
}
static_assert(TriggerImage::kWords4To8 + 5 * 4 == TriggerImage::kUsedBytes,
              "trigger image layout drifted");

// Smallest trigger record of a list: the u32 image size (versions 1, 2) or the fixed part of
// the version-3 record with an empty input stream name (73 bytes + the digital mask).
constexpr size_t kMinOldRecordBytes = 4;
constexpr size_t kMinRecordBytes = 77;

// Old trigger lists may hold a pre time at or above this value; it is read as one second.
constexpr int64_t kPreTimePlaceholder = 100000001;

template <class T>
void TakeFromImage(const uint8_t* image, size_t size, size_t offset, T& field)
{
    if (offset + sizeof(T) <= size)
        field = LoadLE<T>(image + offset);
}

} // namespace

std::unique_ptr<CMCloneObject> CMMEATriggerProperty::Clone() const
{
    return std::make_unique<CMMEATriggerProperty>(*this);
}

bool CMMEATriggerProperty::HasParameterPart(int32_t programVersion)
{
    const int16_t major = static_cast<int16_t>(static_cast<uint32_t>(programVersion) >> 16);
    return major >= 3;
}

void CMMEATriggerProperty::ReadImage(const uint8_t* image, size_t size)
{
    using namespace TriggerImage;
    size = std::min(size, kUsedBytes);
    TakeFromImage(image, size, kWord1, m_word1);
    TakeFromImage(image, size, kWord1 + 4, m_word2);
    TakeFromImage(image, size, kWord1 + 8, m_word3);
    TakeFromImage(image, size, kDeadTime, m_deadTime);
    TakeFromImage(image, size, kLevel, m_level);
    TakeFromImage(image, size, kSecondLevel, m_secondLevel);
    TakeFromImage(image, size, kSlope, m_slope);
    TakeFromImage(image, size, kInputHwid, m_inputHwid);
    TakeFromImage(image, size, kSourceKind, m_sourceKind);
    for (size_t i = 0; i < 5; ++i)
        TakeFromImage(image, size, kWords4To8 + 4 * i, m_words4To8[i]);

    m_digitalFlag = 0;
    m_digitalValue = 0;
    m_digitalType = 1;
    m_digitalMask = 65535;
    switch (m_sourceKind) {
    case 0: m_inputStreamName = "elec0001"; break;
    case 1: m_inputStreamName = "anlg0001"; break;
    case 2: m_inputStreamName = "digi0001"; break;
    default: m_inputStreamName.clear(); break;
    }
}

bool CMMEATriggerProperty::ReadParameterAndExtra(CByteReader& in, uint16_t version,
                                                 int32_t programVersion)
{
    m_parameterName.clear();
    m_parameterUnit.clear();
    if (version >= 4 && HasParameterPart(programVersion)) {
        in.Read(m_parameterFlag);
        in.Read(m_parameterWord);
        ReadText32(in, m_parameterName);
        ReadText32(in, m_parameterUnit);
    } else {
        m_parameterFlag = 0;
        m_parameterWord = -1;
    }
    if (version >= 6)
        in.Read(m_extraFlag);
    else
        m_extraFlag = 0;
    return in.Ok();
}

bool CMMEATriggerProperty::Read(CByteReader& in, uint16_t version, int32_t programVersion)
{
    if (version <= 2) {
        uint32_t imageSize = 0;
        if (!in.Read(imageSize) || !in.Has(imageSize)) {
            in.Fail();
            return false;
        }
        ReadImage(in.Cursor(), imageSize);
        in.Skip(imageSize);
        return ReadParameterAndExtra(in, version, programVersion);
    }

    in.Skip(4); // never interpreted
    in.Read(m_word1);
    in.Read(m_word2);
    in.Read(m_word3);
    in.Read(m_deadTime);
    in.Read(m_level);
    in.Read(m_secondLevel);
    in.Read(m_slope);
    in.Read(m_inputHwid);
    in.Read(m_sourceKind);
    for (uint32_t& word : m_words4To8)
        in.Read(word);
    in.Read(m_digitalFlag);
    in.Read(m_digitalValue);
    in.Read(m_digitalType);
    ReadText32(in, m_inputStreamName);
    in.Read(m_digitalMask);
    return ReadParameterAndExtra(in, version, programVersion);
}

int CMMEATriggerProperty::ReadList(CByteReader& in, uint16_t version, int32_t programVersion,
                                   std::vector<std::unique_ptr<CMMEATriggerProperty>>& triggers,
                                   int64_t& deadTime, int64_t& preTime, int64_t& postTime)
{
    if (version == 0) {
        if (preTime >= kPreTimePlaceholder)
            preTime = 1000000;
        return 1;
    }

    uint32_t count = 0;
    in.Read(count);
    if (!CountFits(in, count, version >= 3 ? kMinRecordBytes : kMinOldRecordBytes))
        return 0;
    triggers.clear();
    triggers.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        auto trigger = std::make_unique<CMMEATriggerProperty>();
        if (!trigger->Read(in, version, programVersion))
            return 0;
        triggers.push_back(std::move(trigger));
    }

    uint32_t dead = 0, pre = 0, post = 0;
    in.Read(dead);
    in.Read(pre);
    in.Read(post);
    if (!in.Ok())
        return 0;
    deadTime = dead;
    preTime = pre;
    postTime = post;

    if (version == 3) {
        // These lists stored their times only in the first trigger; without one the stored
        // values are all there is.
        if (!triggers.empty()) {
            const CMMEATriggerProperty& first = *triggers.front();
            deadTime = int64_t(first.m_word1) * 1000000;
            preTime = int64_t(first.m_word3) * 1000000;
            postTime = (int64_t(first.m_deadTime) - int64_t(first.m_word3)) * 1000000;
        }
    } else if (version <= 2) {
        if (preTime >= kPreTimePlaceholder)
            preTime = 1000000;
    }
    return 1;
}
