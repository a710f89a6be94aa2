#include "platform/CByteReader.h"
#include "platform/CByteWriter.h"
#include "platform/Numeric.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

TEST(CByteReader, ReadsWhatTheWriterWroteAndFailsStickily)
{
    std::vector<uint8_t> bytes;
    CByteWriter(bytes).Put<uint16_t>(0x1234).Put<int64_t>(-5).Put<float>(1.5f).PutText("ABCDEFGH", 4).PutId("KVT");
    ASSERT_EQ(bytes.size(), 2u + 8 + 4 + 4 + 8);

    CByteReader in(bytes);
    EXPECT_EQ(in.Get<uint16_t>(), 0x1234);
    EXPECT_EQ(in.Get<int64_t>(), -5);
    EXPECT_EQ(in.Get<float>(), 1.5f);
    std::string text;
    EXPECT_TRUE(in.ReadText(text, 4));
    EXPECT_EQ(text, "ABCD"); // an unterminated field stops at its width
    EXPECT_TRUE(in.ReadText(text, 8));
    EXPECT_EQ(text, "KVT     ");
    EXPECT_TRUE(in.Ok());

    EXPECT_EQ(in.Get<uint32_t>(), 0u);
    EXPECT_FALSE(in.Ok());
    EXPECT_FALSE(in.Seek(0)); // the failure sticks
    EXPECT_EQ(in.Remaining(), 0u);
}

TEST(CByteReader, RefusesCountsBeyondTheBuffer)
{
    const uint8_t bytes[3] = {1, 2, 3};
    CByteReader in(bytes, sizeof bytes);
    uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_FALSE(in.ReadBytes(out, 4));
    EXPECT_EQ(out[0], 0);
    CByteReader again(bytes, sizeof bytes);
    EXPECT_FALSE(again.Skip(SIZE_MAX));
    EXPECT_FALSE(again.Ok());
}

TEST(Numeric, TruncationAndMulDivMatchTheOldPlatform)
{
    EXPECT_EQ(TruncateToInt32(-1.9), -1);
    EXPECT_EQ(TruncateToInt32(NAN), INT_MIN);
    EXPECT_EQ(TruncateToInt32(3e9), INT_MIN);
    EXPECT_EQ(MulDiv(12500, 100, 1000), 1250);
    EXPECT_EQ(MulDiv(5, 1, 2), 3);   // half away from zero
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, 1), -1);
}
