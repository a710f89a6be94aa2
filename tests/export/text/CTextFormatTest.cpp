#include "export/text/CTextFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "export/text/CSampleText.h"
#include "export/text/CSpillBuffer.h"
#include "tests/support/FileSizeLimit.h"

namespace {

std::string Printf(const char* format, int width, int precision, double value)
{
    char text[512];
    std::snprintf(text, sizeof text, format, width, precision, value);
    return text;
}

} // namespace

// The fast fields are the snprintf bytes: exact binary ties (round half to even), carries,
// negative zero, huge values and the non-numbers included.
TEST(CTextFormat, FixedFieldsEqualSnprintf)
{
    std::vector<double> values = {0.0, -0.0, 0.0625, 0.125, 2.5, 0.0005, 0.9995, 999.9995, 1.005, -1.005,
                                  123456789.0125, -2.675, 1e15, 1e300, -1e308, 5e-324, 12345678.901234,
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  std::nan(""), -std::nan("")};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> wide(-1e7, 1e7);
    for (int i = 0; i < 20000; ++i)
        values.push_back(wide(random));
    for (int i = 0; i < 2000; ++i)   // thousandths and their ties
        values.push_back(static_cast<double>(static_cast<int64_t>(random() % 2000001) - 1000000) / 2000.0);

    const CTextFormat fast;
    for (double value : values) {
        for (const auto& [precision, width] : {std::pair{3, 12}, {2, 12}, {0, 12}, {3, 0}}) {
            std::string out = "x";
            fast.Fixed(out, value, precision, width);
            ASSERT_EQ(out, "x" + Printf("%-*.*f", width, precision, value)) << value << " " << precision;
        }
    }
    for (int64_t value : {int64_t(0), int64_t(-1), int64_t(7), int64_t(123456789012), INT64_MIN}) {
        std::string out;
        fast.Int(out, value, 12);
        char text[64];
        std::snprintf(text, sizeof text, "%-12lld", static_cast<long long>(value));
        EXPECT_EQ(out, text);
    }
    std::string text;
    fast.Text(text, "Electrode Raw Data 12", 12);
    fast.Text(text, "El", 12);
    fast.Text(text, "%s", 0);
    EXPECT_EQ(text, "Electrode Raw Data 12El          %s");
}

// Every one of the 65536 texts of a column, for each kind, equals its plain formatting.
TEST(CTextFormat, SampleTablesEqualPlainFormatting)
{
    const CTextFormat fast;
    const CTextFormat plain(true);
    const struct
    {
        CSampleText::Kind kind;
        int bit;
        uint16_t zero;
        double scale;
    } columns[] = {
        {CSampleText::kMicrovolts, -1, 32768, 0.1},
        {CSampleText::kMicrovolts, -1, 2048, 1.2207031250000002},
        {CSampleText::kWord, -1, 0, 1.0},
        {CSampleText::kBit, 3, 0, 1.0},
        {CSampleText::kBit, 15, 0, 1.0},
        {CSampleText::kMicrovolts, -1, 0, 1e300},   // too long for a table: formatted per value
    };
    for (const auto& c : columns) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.bit << " " << c.zero << " " << c.scale);
        const CSampleText table(c.kind, c.bit, c.zero, c.scale, fast);
        const CSampleText reference(c.kind, c.bit, c.zero, c.scale, plain);
        EXPECT_EQ(table.HasTable(), c.scale < 1e100);
        for (uint32_t v = 0; v <= 0xFFFF; ++v) {
            std::string a, b;
            table.Append(a, static_cast<uint16_t>(v));
            reference.Append(b, static_cast<uint16_t>(v));
            ASSERT_EQ(a, b) << v;
        }
    }
    std::string one;
    CSampleText(CSampleText::kMicrovolts, -1, 32768, 0.1, fast).Append(one, 32767);
    EXPECT_EQ(one, "\t-0.10       ");
}

// Blocks spill to scratch files beyond their memory and drain in the order written.
TEST(CTextFormat, SpillBuffersKeepOrder)
{
    CSpillBuffer buffer(100);
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        const std::string line = std::to_string(i) + "\r\n";
        buffer.Text() += line;
        expected += line;
        ASSERT_TRUE(buffer.Settle());
    }
    std::string drained;
    EXPECT_TRUE(buffer.Drain([&](const char* data, size_t size) {
        drained.append(data, size);
        return true;
    }));
    EXPECT_EQ(drained, expected);
    EXPECT_TRUE(buffer.Empty());
}

// A scratch file that cannot take more (a full disk) fails the buffer; the text appended after
// that is never written, so it must not pile up in memory for the rest of a long export.
TEST(CTextFormat, AFailedSpillBufferKeepsItsMemoryBounded)
{
    CSpillBuffer buffer(100);
    {
        const FileSizeLimit limit(1000);
        bool failed = false;
        for (int i = 0; i < 100000; ++i) {
            buffer.Text() += "0123456789\r\n";
            failed = !buffer.Settle() || failed;
            ASSERT_LT(buffer.Text().size(), 200u) << "line " << i;
        }
        EXPECT_TRUE(failed);
    }
    EXPECT_FALSE(buffer.Drain([](const char*, size_t) { return true; }));
    EXPECT_TRUE(buffer.Empty());
}
