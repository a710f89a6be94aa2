#include "datafile/settings/CMFilterProperty.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <tuple>

#include "tests/datafile/settings/SettingsBytes.h"

namespace {

// A filter record of the given version with two texts in each list, two cutoffs, two old
// lists (below version 2), three values and the version-3 tail.
SettingsBytes FilterRecord(uint16_t version)
{
    SettingsBytes b;
    b.U32(3).Str32("Bessel 4th order");
    b.U32(2).Str32("a").Str32("bb");
    b.U32(2).Str32("c").Str32("");
    b.U32(2).F32(299.9f).F32(3000.0f);
    if (version < 2)
        b.U32(1).U32(0xAAAAAAAA).U32(2).U32(0xBBBBBBBB).U32(0xCCCCCCCC);
    if (version != 0)
        b.U32(3).F64(0.25).F64(0.5).F64(0.75).U32(11).U32(12).U32(6);
    if (version > 2)
        b.F64(60.0).F64(30.0).U8(1).U32(200);
    return b;
}

} // namespace

TEST(CMFilterProperty, ReadsEveryRecordVersion)
{
    for (uint16_t version : {0, 1, 2, 3}) {
        SCOPED_TRACE(version);
        SettingsBytes b = FilterRecord(version);
        b.U8(0x77);
        CByteReader in(b.Get());
        CMFilterProperty f;
        f.m_order = 99;   // a read replaces every setting, reached or not
        ASSERT_TRUE(f.Read(in, version));
        EXPECT_EQ(in.Get<uint8_t>(), 0x77);

        EXPECT_EQ(f.m_passKind, 3u);
        EXPECT_EQ(f.GetDesignName(), "Bessel 4th order");
        EXPECT_EQ(f.m_firstTexts, (std::vector<std::string>{"a", "bb"}));
        EXPECT_EQ(f.m_secondTexts, (std::vector<std::string>{"c", ""}));
        EXPECT_EQ(f.m_cutoffFrequencies, (std::vector<float>{299.9f, 3000.0f}));
        const bool tables = version != 0;
        EXPECT_EQ(f.m_values, tables ? std::vector<double>({0.25, 0.5, 0.75}) : std::vector<double>());
        EXPECT_EQ(std::make_tuple(f.m_numPoints, f.m_secondWord, f.m_order),
                  tables ? std::make_tuple(11u, 12u, 6u) : std::make_tuple(4u, 4u, 2u));
        EXPECT_EQ(std::make_tuple(f.m_centerFrequency, f.m_qFactor, f.m_flag, f.m_word),
                  version > 2 ? std::make_tuple(60.0, 30.0, uint8_t(1), 200u)
                              : std::make_tuple(50.0, 2.0, uint8_t(0), 100u));
    }
}

TEST(CMFilterProperty, DesignNamesPassKindsAndCutoffs)
{
    for (int i = 0; i < 9; ++i) {
        CMFilterProperty f;
        f.m_designName = KvtFilterTypeNames[i];
        EXPECT_EQ(f.GetDesignIndex(), i);
        EXPECT_EQ(f.IsSavitzkyGolay(), i == 8);
    }
    CMFilterProperty unknown;
    unknown.m_designName = "Elliptic";
    EXPECT_EQ(unknown.GetDesignIndex(), 2);

    const std::pair<uint32_t, const char*> kinds[] = {
        {0, "Undefined"}, {1, "Low Pass"}, {4, "Band Stop"}, {5, "Unknown"}, {0xFFFFFFFF, "Unknown"}};
    for (const auto& [kind, text] : kinds) {
        CMFilterProperty f;
        f.m_passKind = kind;
        EXPECT_STREQ(f.GetPassKindText(), text);
    }

    const std::pair<std::vector<float>, int> cutoffs[] = {
        {{}, -1}, {{299.9f}, 299}, {{-5.5f}, -5}, {{NAN}, -1}, {{1e20f}, INT_MAX},
        {{-1e20f}, INT_MIN}, {{INFINITY}, INT_MAX},
    };
    for (const auto& [list, expected] : cutoffs) {
        SCOPED_TRACE(expected);
        CMFilterProperty f;
        f.m_cutoffFrequencies = list;
        EXPECT_EQ(f.GetCutoffFrequency(), expected);
    }
}

TEST(CMFilterProperty, RefusesCutAndOversizedRecordsAndKeepsItsSettings)
{
    const std::vector<uint8_t> full = FilterRecord(1).Get();
    for (size_t n = 0; n < full.size(); ++n) {
        SCOPED_TRACE(n);
        const std::vector<uint8_t> cut = Prefix(full, n);
        CByteReader in(cut);
        CMFilterProperty f;
        f.m_designName = "kept";
        EXPECT_FALSE(f.Read(in, 1));
        EXPECT_EQ(f.m_designName, "kept");
    }

    // Offsets of the counts in FilterRecord(1): the design name (17 bytes stored) ends at 25;
    // then the two text lists, the cutoffs, the first old list and the values.
    const size_t counts[] = {4, 25, 42, 57, 69, 89};
    for (size_t at : counts) {
        SCOPED_TRACE(at);
        for (uint32_t huge : {0xFFFFFFFFu, 0x40000000u}) {
            std::vector<uint8_t> bytes = full;
            Patch<uint32_t>(bytes, at, huge);
            CByteReader in(bytes);
            CMFilterProperty f;
            EXPECT_FALSE(f.Read(in, 1));
        }
    }
}
