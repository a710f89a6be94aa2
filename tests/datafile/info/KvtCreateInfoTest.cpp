#include "datafile/info/KvtCreateInfo.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "datafile/info/CKVTAChannelToolInfo.h"
#include "datafile/info/CKVTAFilterInfo.h"
#include "datafile/info/CKVTAInfoAverage.h"
#include "datafile/info/CKVTAInfoBurstParameter.h"
#include "datafile/info/CKVTAInfoParam.h"
#include "datafile/info/CKVTAInfoSpike.h"
#include "datafile/info/CKVTAInfoSpikeParameter.h"
#include "datafile/info/CKVTAInfoTrigger.h"
#include "tests/datafile/settings/SettingsBytes.h"
#include "tests/datafile/settings/SettingsRecords.h"

namespace {

const int32_t kProgram2 = ProgramVersion(2, 7);
const int32_t kProgram3 = ProgramVersion(3, 1);

std::vector<uint8_t> TriggerSettings(int32_t level, bool parameterPart)
{
    SettingsBytes b;
    b.Tag("PARAMTRG").U32(0).U32(1).U32(2).U32(3).U32(4).I32(level).I32(0).U32(1).I32(-2).U32(0);
    b.Zeros(20).U8(1).U32(3).U32(4).Str32("").U32(0xFF);
    if (parameterPart)
        b.U8(1).I32(0).Str32("Rate").Str32("Hz");
    return b.Get();
}

std::vector<uint8_t> SpikeSettings(std::initializer_list<uint16_t> unitsOfLowestChannel)
{
    SettingsBytes b;
    b.Tag("PARAMSPK").U32(0).U32(0).U32(0).F32(-5.0f).U32(1500).U32(2500).U32(999);
    b.Str16("elec0001");
    b.U16(2);
    b.U16(40).U16(0).Zeros(20).U16(1).U16(0).U16(77).Zeros(20);   // channel 40: unit 77
    b.U16(12).U16(0).Zeros(20).U16(static_cast<uint16_t>(unitsOfLowestChannel.size()));
    for (uint16_t id : unitsOfLowestChannel)
        b.U16(0).U16(id).Zeros(20);
    return b.Get();
}

std::vector<uint8_t> ParamSettings()
{
    SettingsBytes b;
    b.Tag("FMTBLPAR").U16(1).U32(4).Tag("PSTBLPAR").U16(1).U32(0).Tag("PRTBLPAR").U16(1);
    b.F32(0).F32(1).I32(1).F64(1.0).I32(-6).I32(0).Str16("Min");
    return b.Get();
}

std::unique_ptr<CKVTAInfo> Create(const char* type, uint16_t version,
                                  const std::vector<uint8_t>& bytes, int32_t program = kProgram3)
{
    return KvtCreateInfo(type, version, bytes.data(), bytes.size(), 16, 32768, 1e-7, program);
}

struct Kind
{
    const char* type;
    uint16_t version;
    std::vector<uint8_t> bytes;
    std::function<bool(const CKVTAInfo*)> isRightClass;
    size_t firstCountAt;   // the first count or text length behind the tag
    bool countIsU16;
};

template <class T>
std::function<bool(const CKVTAInfo*)> Is()
{
    return [](const CKVTAInfo* info) { return dynamic_cast<const T*>(info) != nullptr; };
}

std::vector<Kind> Kinds()
{
    return {
        {"trigger", 5, TriggerSettings(-1205, true), Is<CKVTAInfoTrigger>(), 8 + 69, false},
        {"spikes", 7, SpikeSettings({3, 1}), Is<CKVTAInfoSpike>(), 8 + 28, true},
        {"spkparam", 5, AnalyserSettings("PARAMSPP", false), Is<CKVTAInfoSpikeParameter>(), 8,
         false},
        {"bstparam", 5, AnalyserSettings("PARAMBSP", true), Is<CKVTAInfoBurstParameter>(), 8,
         false},
        {"average", 5, AverageSettings(), Is<CKVTAInfoAverage>(), 8 + 8, false},
        {"filter", 3, FilterSettings(), Is<CKVTAFilterInfo>(), 8 + 4, false},
        {"chat", 1, ChannelToolSettings(), Is<CKVTAChannelToolInfo>(), 8 + 2, false},
        {"params", 0, ParamSettings(), Is<CKVTAInfoParam>(), 8, true},
    };
}

} // namespace

TEST(KvtCreateInfo, PicksTheSettingsObjectByBufferType)
{
    for (const Kind& kind : Kinds()) {
        SCOPED_TRACE(kind.type);
        std::unique_ptr<CKVTAInfo> info = Create(kind.type, kind.version, kind.bytes);
        ASSERT_NE(info, nullptr);
        EXPECT_TRUE(kind.isRightClass(info.get()));

        // The same bytes under a type that wants another tag, or none.
        for (const char* other : {"analog", "digital", "spikes ", "Trigger", "unknown"})
            EXPECT_EQ(Create(other, kind.version, kind.bytes), nullptr) << other;
        EXPECT_EQ(KvtCreateInfo(nullptr, 1, kind.bytes.data(), kind.bytes.size(), 16, 0, 1, 0),
                  nullptr);
    }
    EXPECT_EQ(Create("trigger", 6, SpikeSettings({})), nullptr);   // tag of another kind
}

TEST(KvtCreateInfo, CutAndOversizedSettingsGiveNoObject)
{
    for (const Kind& kind : Kinds()) {
        SCOPED_TRACE(kind.type);
        for (size_t n = 0; n < kind.bytes.size(); ++n) {
            SCOPED_TRACE(n);
            EXPECT_EQ(Create(kind.type, kind.version, Prefix(kind.bytes, n)), nullptr);
        }
        std::vector<uint8_t> huge = kind.bytes;
        huge.resize(huge.size() + 64, 0);
        if (kind.countIsU16)
            Patch<uint16_t>(huge, kind.firstCountAt, 0xFFFF);
        else
            Patch<uint32_t>(huge, kind.firstCountAt, 0xFFFFFFF0u);
        EXPECT_EQ(Create(kind.type, kind.version, huge), nullptr);
    }
    EXPECT_EQ(Create("trigger", 6, {}), nullptr);
    EXPECT_EQ(KvtCreateInfo("trigger", 6, nullptr, 100, 16, 0, 1, 0), nullptr);
}

TEST(KvtCreateInfo, TriggerRecordsFollowTheProgramVersionOfTheirOwnFile)
{
    // Two files opened together: one written by program 2, one by program 3.
    const std::vector<uint8_t> fromProgram2 = TriggerSettings(1205, false);
    const std::vector<uint8_t> fromProgram3 = TriggerSettings(-1205, true);

    auto first = Create("trigger", 5, fromProgram2, kProgram2);
    auto second = Create("trigger", 5, fromProgram3, kProgram3);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const auto& a = dynamic_cast<const CKVTAInfoTrigger&>(*first);
    const auto& b = dynamic_cast<const CKVTAInfoTrigger&>(*second);
    EXPECT_EQ(a.GetLevel(), 120);   // microvolts, toward zero
    EXPECT_EQ(b.GetLevel(), -120);
    EXPECT_FALSE(a.IsParameterTrigger());
    EXPECT_TRUE(b.IsParameterTrigger());
    EXPECT_EQ(b.GetParameterName() + " " + b.GetParameterUnit(), "Rate Hz");
    EXPECT_EQ(a.GetDigitalMask(), 0xFF);

    // Read with the other file's version, the first record is too short for its parameter part.
    EXPECT_EQ(Create("trigger", 5, fromProgram2, kProgram3), nullptr);
}

TEST(KvtCreateInfo, DerivedAndBoundedGetters)
{
    auto spikes = Create("spikes", 7, SpikeSettings({3, 1}));
    const auto& s = dynamic_cast<const CKVTAInfoSpike&>(*spikes);
    EXPECT_FLOAT_EQ(s.GetPreTriggerSeconds(), 0.0015f);
    ASSERT_EQ(s.GetSelectedUnitCount(), 2);   // the units of channel 12, the lowest, sorted
    EXPECT_EQ(s.GetSelectedUnit(0), 1);
    EXPECT_EQ(s.GetSelectedUnit(1), 3);
    EXPECT_EQ(s.GetSelectedUnit(2), -1);
    EXPECT_EQ(s.GetSelectedUnit(-1), -1);
    auto noUnits = Create("spikes", 7, SpikeSettings({}));
    EXPECT_EQ(dynamic_cast<const CKVTAInfoSpike&>(*noUnits).GetSelectedUnit(0), -1);

    auto burst = Create("bstparam", 5, AnalyserSettings("PARAMBSP", true));
    const auto& bp = dynamic_cast<const CKVTAInfoBurstParameter&>(*burst);
    EXPECT_EQ(bp.GetParameterName(0), "Interval");
    EXPECT_EQ(bp.GetParameterField(0), -3);
    EXPECT_TRUE(bp.IsParameterRecorded(0));
    EXPECT_EQ(bp.GetParameterName(3), "");
    EXPECT_FALSE(bp.IsParameterRecorded(-1));
    EXPECT_EQ(bp.GetSelectedUnit(2), 1);
    EXPECT_EQ(bp.GetSelectedUnit(4), -1);
    EXPECT_EQ(bp.GetBurstSettings().m_minSpikeCount, 5);

    // The averager's window texts and codes are stored once and serve both ends.
    auto average = Create("average", 5, AverageSettings());
    const CMEvokedProperty& e = dynamic_cast<const CKVTAInfoAverage&>(*average).GetSettings();
    EXPECT_EQ(std::make_tuple(e.m_word32, e.m_word16, e.m_text), std::make_tuple(5u, uint16_t(4), std::string("text")));
    EXPECT_EQ(e.m_window.m_firstText + "/" + e.m_window.m_secondText, "window/window");
    EXPECT_EQ(std::make_tuple(e.m_window.m_firstCode, e.m_window.m_secondCode, e.m_window.m_firstTime,
                              e.m_window.m_secondTime),
              std::make_tuple(uint16_t(8), uint16_t(8), -20.0f, 80.0f));

    auto chat = Create("chat", 1, ChannelToolSettings());
    const auto& c = dynamic_cast<const CKVTAChannelToolInfo&>(*chat);
    EXPECT_EQ(c.GetInputStreamName() + " " + c.GetReferenceChannel(), "elec0001 E12");
    EXPECT_EQ(c.m_word, 3);
}
