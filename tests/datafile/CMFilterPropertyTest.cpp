#include "datafile/CMFilterProperty.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "tests/datafile/SettingsBytes.h"

namespace {

// A filter record of the given version with two texts in each list, two cutoffs, two old
// lists (below version 2), three values and the version-3 tail.
SettingsBytes FilterRecord(uint16_t version, const std::string& design = "Bessel 4th order",
                           float cutoff = 299.9f)
{
    SettingsBytes b;
    b.U32(3).Str32(design);
    b.U32(2).Str32("a").Str32("bb");
    b.U32(2).Str32("c").Str32("");
    b.U32(2).F32(cutoff).F32(3000.0f);
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
    for (uint16_t version : {0, 1, 2, 3, 4}) {
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
        EXPECT_EQ(f.GetDesignIndex(), 1);
        EXPECT_EQ(f.m_firstTexts, (std::vector<std::string>{"a", "bb"}));
        EXPECT_EQ(f.m_secondTexts, (std::vector<std::string>{"c", ""}));
        EXPECT_EQ(f.m_cutoffFrequencies, (std::vector<float>{299.9f, 3000.0f}));
        EXPECT_EQ(f.GetCutoffFrequency(), 299);
        const bool tables = version != 0;
        EXPECT_EQ(f.m_values.size(), tables ? 3u : 0u);
        EXPECT_EQ(f.GetNumPoints(), tables ? 11 : 4);
        EXPECT_EQ(f.m_secondWord, tables ? 12u : 4u);
        EXPECT_EQ(f.GetOrder(), tables ? 6 : 2);
        const bool tail = version > 2;
        EXPECT_EQ(f.GetCenterFrequency(), tail ? 60.0 : 50.0);
        EXPECT_EQ(f.GetQFactor(), tail ? 30.0 : 2.0);
        EXPECT_EQ(f.m_flag, tail ? 1 : 0);
        EXPECT_EQ(f.m_word, tail ? 200u : 100u);
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
        {0, "Undefined"}, {1, "Low Pass"}, {4, "Band Stop"}, {7, "Unknown"},
        {0xFFFFFFFF, "Unknown"}};
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

    // Offsets in FilterRecord(1) with the design "Bessel 4th order" (17 bytes stored).
    const size_t firstList = 4 + 4 + 17;
    const size_t secondList = firstList + 4 + 6 + 7;
    const size_t cutoffs = secondList + 4 + 6 + 5;
    const size_t oldList = cutoffs + 4 + 8;
    const size_t values = oldList + 8 + 12;
    const std::pair<const char*, size_t> counts[] = {
        {"design name", 4},       {"first list", firstList}, {"second list", secondList},
        {"cutoffs", cutoffs},     {"old list", oldList},     {"values", values},
    };
    for (const auto& [name, at] : counts) {
        SCOPED_TRACE(name);
        for (uint32_t huge : {0xFFFFFFFFu, 0x40000000u}) {
            std::vector<uint8_t> bytes = full;
            Patch<uint32_t>(bytes, at, huge);
            CByteReader in(bytes);
            CMFilterProperty f;
            EXPECT_FALSE(f.Read(in, 1));
        }
    }
}
