#include "datafile/settings/CMBurstAnalyzerProperty.h"
#include "datafile/settings/CMSpikeAnalyzerProperty.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/datafile/settings/SettingsBytes.h"

namespace {

void PutQuantity(SettingsBytes& b, int i)
{
    b.F32(-1.0f * i).F32(10.0f * i).U32(i % 2).F64(0.5 * i).I32(-3 * i).I32(i);
    b.Str32("q" + std::to_string(i));
}

// An analyser record with n quantities and m unit words; burst records add the five limits.
SettingsBytes AnalyserRecord(uint32_t n, uint32_t m, bool burst)
{
    SettingsBytes b;
    b.U32(n);
    for (uint32_t i = 0; i < n; ++i)
        PutQuantity(b, static_cast<int>(i));
    b.U32(m);
    for (uint32_t i = 0; i < m; ++i)
        b.U32(100 + i);
    b.Str32("spks0001").U32(1);
    if (burst)
        b.I32(11000).I32(12000).I32(13000).I32(24000).I32(5);
    return b;
}

} // namespace

TEST(CMSpikeAnalyzerProperty, ReadsRecordsOfEveryShape)
{
    struct Case {
        const char* name;
        uint32_t n, m;
        bool burst;
    };
    const Case cases[] = {
        {"spike, exact", 3, 4, false},
        {"spike, short tables keep the rest", 1, 2, false},
        {"spike, longer tables are skipped", 5, 6, false},
        {"burst, exact", 3, 4, true},
        {"burst, longer tables are skipped", 5, 6, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsBytes b = AnalyserRecord(c.n, c.m, c.burst);
        b.U8(0x77);
        CByteReader in(b.Get());
        CMBurstAnalyzerProperty burst;
        CMSpikeAnalyzerProperty spike;
        CMSpikeAnalyzerProperty& p = c.burst ? burst : spike;
        const CMSpikeAnalyzerProperty defaults = p;
        ASSERT_TRUE(p.Read(in));
        EXPECT_EQ(in.Get<uint8_t>(), 0x77);

        ASSERT_EQ(p.m_quantities.size(), 3u);
        ASSERT_EQ(p.m_unitWords.size(), 4u);
        for (uint32_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            const KvtQuantity& q = p.m_quantities[i];
            const KvtQuantity& d = defaults.m_quantities[i];
            const int k = static_cast<int>(i);
            EXPECT_EQ(std::tie(q.rangeMin, q.rangeMax, q.recorded, q.factor, q.exponent, q.unitKind, q.name),
                      i < c.n ? std::make_tuple(-1.0f * k, 10.0f * k, i % 2, 0.5 * k, -3 * k, k, "q" + std::to_string(k))
                              : std::make_tuple(d.rangeMin, d.rangeMax, d.recorded, d.factor, d.exponent, d.unitKind, d.name));
        }
        for (uint32_t i = 0; i < 4; ++i)
            EXPECT_EQ(p.m_unitWords[i], i < c.m ? 100 + i : defaults.m_unitWords[i]);
        EXPECT_EQ(p.m_inputStreamName, "spks0001");
        EXPECT_EQ(p.m_unitsSelected, 1u);
        if (c.burst) {
            EXPECT_EQ(std::make_tuple(burst.m_maxIntervalToStart, burst.m_maxIntervalToEnd, burst.m_minIntervalBetween,
                                      burst.m_minDuration, burst.m_minSpikeCount),
                      std::make_tuple(11000, 12000, 13000, 24000, 5));
        }
    }
}

TEST(CMSpikeAnalyzerProperty, RefusesOversizedCounts)
{
    const std::vector<uint8_t> full = AnalyserRecord(3, 4, false).Get();
    const size_t unitCountAt = 4 + 3 * 32 + 3 * 3;   // names "q0".."q2" take 3 bytes each
    for (size_t at : {size_t(0), size_t(4 + 28), unitCountAt}) {
        SCOPED_TRACE(at);
        std::vector<uint8_t> bytes = full;
        Patch<uint32_t>(bytes, at, 0xFFFFFFFFu);
        CByteReader in(bytes);
        CMSpikeAnalyzerProperty s;
        EXPECT_FALSE(s.Read(in));
    }
}
