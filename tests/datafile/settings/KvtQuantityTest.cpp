#include "datafile/settings/KvtQuantity.h"

#include <gtest/gtest.h>

TEST(KvtQuantity, UnitTextsPrefixesAndDefaultExponents)
{
    struct Case {
        int32_t kind;
        int32_t exponent;
        const char* text;
    };
    const Case cases[] = {
        {0, -6, "\xB5V"}, {7, 0, "V/s"}, {6, -6, "\xB5"}, {5, 3, "kHz"}, {1, -9, "ns"},
        {2, -3, "ms"},    {3, 0, "s"},   {4, 6, "MVs"},   {8, 9, "G"},   {42, 2, ""},
        {-1, -6, "\xB5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(KvtQuantityUnitText(c.kind, c.exponent), c.text);
    }
    EXPECT_EQ(std::string(KvtSiPrefixText(-6)).size(), 1u);   // one Windows-1252 byte

    const std::pair<int32_t, int32_t> exponents[] = {{0, -6}, {8, -6}, {1, -9}, {2, -9}, {3, -9},
                                                     {4, -15}, {7, -3}, {5, 0}, {6, 0}, {99, 0}};
    for (const auto& [kind, exponent] : exponents) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(KvtUnitKindDefaultExponent(kind), exponent);
    }
}
