#include "export/abf/CABF.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

std::string Field(const AbfFileHeader& header, size_t offset, size_t width)
{
    return std::string(reinterpret_cast<const char*>(header.bytes + offset), width);
}

// What a reader makes of a stored sample: raw x range / (scale x resolution) + offset.
double ReadBack(const AbfFileHeader& h, int channel, int raw)
{
    return raw * h.Get<float>(AbfField::fADCRange)
               / (h.Get<float>(AbfField::fInstrumentScaleFactor + 4 * channel)
                  * double(h.Get<int32_t>(AbfField::lADCResolution)))
           + h.Get<float>(AbfField::fInstrumentOffset + 4 * channel);
}

} // namespace

TEST(CABF, DefaultNamesChannelCountNamesAndUnits)
{
    CABF abf;
    const AbfFileHeader& h = abf.Header();
    // Default names are blank-padded and cut to their field, never into the next one.
    EXPECT_EQ(Field(h, AbfField::sADCChannelName + 10 * 14, 20), "AI #14    AI #15    ");
    EXPECT_EQ(Field(h, AbfField::sADCUnits, 8), "pA      ");
    EXPECT_EQ(Field(h, AbfField::sDACChannelName + 10 * 3, 10), "AO #3     ");
    EXPECT_EQ(Field(h, AbfField::sDACChannelUnits, 8), "mV      ");

    abf.SetAdcChannelCount(3);
    EXPECT_EQ(h.Get<int16_t>(AbfField::nADCNumChannels), 3);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(h.Get<int16_t>(AbfField::nADCSamplingSeq + 2 * i), i < 3 ? i : -1) << i;
    abf.SetAdcChannelCount(17);   // the count field describes at most 16 channels
    EXPECT_EQ(h.Get<int16_t>(AbfField::nADCNumChannels), 3);
    EXPECT_EQ(h.Get<int16_t>(AbfField::nADCSamplingSeq + 2 * 15), 15);

    abf.SetAdcChannelName(0, CABF::MakeChannelName("Electrode Raw Data", "12"));
    abf.SetAdcChannelName(1, CABF::MakeChannelName("Analog Data", "A1234567890"));
    abf.SetAdcChannelName(16, "beyond");
    EXPECT_EQ(Field(h, AbfField::sADCChannelName, 10), "El_12     ");
    EXPECT_EQ(Field(h, AbfField::sADCChannelName + 10, 10), "An_A123456");
    EXPECT_EQ(Field(h, AbfField::sADCUnits, 8), "pA      ") << "channel 16 wrote nothing";

    abf.SetAdcUnits(0, 'V');
    abf.SetAdcUnits(1, 'A');
    EXPECT_EQ(Field(h, AbfField::sADCUnits, 8), "\xB5V      ");
    EXPECT_EQ(Field(h, AbfField::sADCUnits + 8, 8), "A       ");
}

TEST(CABF, RangeCodes)
{
    const struct {
        int32_t code;
        double range;
    } cases[] = {{2500, 2.5}, {3000, 3.0}, {410, 0.4096}, {10, 0.0098}, {313, 0.3125}, {1250, 1.25}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_DOUBLE_EQ(CABF::AmplifierRange(c.code), c.range);
        CABF abf;
        AbfStreamScaling stream;
        stream.rangeCode = c.code;
        abf.SetAdcResolution(stream);
        EXPECT_EQ(abf.Header().Get<float>(AbfField::fADCRange), static_cast<float>(2 * c.range));
        EXPECT_EQ(abf.Header().Get<int32_t>(AbfField::lADCResolution), 65536);
    }
}

TEST(CABF, ScalingGivesMicrovoltsAndNeverFlipsSign)
{
    const struct {
        const char* name;
        AbfStreamScaling stream;
        double extension;
        double perStep;       // expected user units per stored step
        double zeroValue;     // expected value of a stored 0
    } cases[] = {
        {"16 bits, channel scale", {16, 32768, 1e-7, 2500}, 1.0e5, 2 * 2.5 / 65536 / 1e-4, 0.0},
        {"16 bits, no channel scale (old file)", {16, 32768, 1e-7, 2500}, -1.0, 0.1, 0.0},
        {"16 bits, no range code (old file)", {16, 32768, 1e-7, 0}, 1.0e5, 0.1, 0.0},
        {"16 bits, negative range code", {16, 32768, 5e-8, -7}, 1.0e5, 0.05, 0.0},
        {"12 bits, mid-scale zero", {12, 2048, 2.5e-3, 0}, 0.0, 2500.0, -2048 * 2500.0},
        {"24 bits, zero 0", {24, 0, 1e-8, 0}, 0.0, 0.01, 0.0},
        {"no volts per step: bare steps", {16, 32768, 0.0, 0}, 0.0, 1.0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CABF abf;
        abf.SetAdcResolution(c.stream);
        abf.SetChannelScaling(5, c.stream, c.extension);
        const AbfFileHeader& h = abf.Header();
        EXPECT_GT(h.Get<float>(AbfField::fADCRange), 0.0f);
        EXPECT_GT(h.Get<float>(AbfField::fInstrumentScaleFactor + 4 * 5), 0.0f);
        EXPECT_NEAR(ReadBack(h, 5, 0), c.zeroValue, 1e-3 * std::fabs(c.zeroValue) + 1e-9);
        EXPECT_NEAR(ReadBack(h, 5, 1000) - ReadBack(h, 5, 0), 1000 * c.perStep, 1e-5 * 1000 * c.perStep);
    }
}

TEST(CABF, StartTimeAndErrorMessages)
{
    CABF abf;
    abf.SetFileStartTime(SYSTEMTIME{2021, 3, 0, 14, 15, 9, 26, 535});
    EXPECT_EQ(abf.Header().Get<int32_t>(AbfField::lFileStartDate), 20210314);
    EXPECT_EQ(abf.Header().Get<int32_t>(AbfField::lFileStartTime), 15 * 3600 + 9 * 60 + 26);
    EXPECT_EQ(abf.Header().Get<int16_t>(AbfField::nFileStartMillisecs), 535);

    EXPECT_EQ(abf.ErrorMessage(1003), "ERROR: INTERNAL ERROR: too many files open.");
    EXPECT_EQ(abf.ErrorMessage(7777), "Unknown error number: 7777\r\n");
}
