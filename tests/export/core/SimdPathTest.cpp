#include "export/core/SimdPath.h"

#include <gtest/gtest.h>

// SONDREL_SIMD takes exactly the three names; anything else caps nothing, so a typing error
// never makes an export slower than the processor allows.
TEST(SimdPath, NamesAreTheOnlyCaps)
{
    for (SimdPath path : {SimdPath::kPlain, SimdPath::kAvx2, SimdPath::kAvx512}) {
        SimdPath parsed = SimdPath::kPlain;
        EXPECT_TRUE(ParseSimdPath(SimdPathName(path), parsed));
        EXPECT_EQ(parsed, path);
    }
    for (const char* other : {"", "AVX2", "avx", "sse2", "avx512 ", "none"}) {
        SCOPED_TRACE(other);
        SimdPath parsed = SimdPath::kAvx2;
        EXPECT_FALSE(ParseSimdPath(other, parsed));
        EXPECT_EQ(parsed, SimdPath::kAvx2);
    }
    SimdPath parsed = SimdPath::kAvx2;
    EXPECT_FALSE(ParseSimdPath(nullptr, parsed));
    // The cap never goes above the processor.
    EXPECT_LE(SimdPathAllowed(), SimdPathSupported());
    EXPECT_TRUE(SimdPathRuns(SimdPathAllowed()));
    EXPECT_TRUE(SimdPathRuns(SimdPath::kPlain));
}
