// Descriptor-string fields and their bounded number conversion.

#include "keyrow/core/KeyrowDescriptor.h"

#include <climits>

#include <gtest/gtest.h>

TEST(KeyrowDescriptor, KeyValues)
{
    const std::string d = "E12:name=E12:hwid=7:subtype=0:show=1:dx=100:dy=200:dxextend=50:dyextend=100";
    EXPECT_EQ(GetKeyValue(d, "name="), "E12");
    EXPECT_EQ(GetKeyValue(d, "hwid="), "7");
    EXPECT_EQ(GetKeyValue(d, "dyextend="), "100");   // the last field runs to the end
    EXPECT_EQ(GetKeyValue(d, "dx="), "100");         // not confused with "dxextend="
    EXPECT_EQ(GetKeyValue(d, "missing="), "");
    EXPECT_EQ(GetKeyValue("", "hwid="), "");
    EXPECT_EQ(GetKeyValue("hwid=", "hwid="), "");

    const KeyrowDescriptor parsed = ParseDescriptor(d);
    EXPECT_EQ(parsed.name, "E12");
    EXPECT_EQ(parsed.hwid, 7);
    EXPECT_EQ(parsed.show, 1);
    EXPECT_EQ(parsed.dx, 100);
    EXPECT_EQ(parsed.dy, 200);
    EXPECT_EQ(parsed.dxextend, 50);
    EXPECT_EQ(parsed.dyextend, 100);
}

TEST(KeyrowDescriptor, NumbersAreReadLikeAtoiButSaturate)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"12", 12},
        {"  -7", -7},
        {"+5", 5},
        {"42abc", 42},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-99999999999999999999999", INT32_MIN},
        {"99999999999999999999999", INT32_MAX},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseDescriptorInt(text), value);
    }
}

TEST(KeyrowDescriptor, CellValuesAreClamped)
{
    const KeyrowDescriptor d =
        ParseDescriptor("x:dx=99999999999:dy=-99999999999:dxextend=abc:dyextend=100001");
    EXPECT_EQ(d.dx, kMaxDescriptorPercent);
    EXPECT_EQ(d.dy, -kMaxDescriptorPercent);
    EXPECT_EQ(d.dxextend, 0);
    EXPECT_EQ(d.dyextend, kMaxDescriptorPercent);
    EXPECT_EQ(d.hwid, 0);   // absent
}
