#include "platform/Guid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

TEST(Guid, RandomVersion4InWindowsByteOrder)
{
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        GUID guid;
        ASSERT_TRUE(CoCreateGuid(&guid));
        uint8_t bytes[kGuidBytes];
        GuidToBytes(guid, bytes);
        EXPECT_EQ(bytes[7] & 0xF0, 0x40) << "version nibble, high byte of Data3 stored last";
        EXPECT_EQ(bytes[8] & 0xC0, 0x80) << "variant bits 10";
        seen.insert(std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
        const GUID back = GuidFromBytes(bytes);
        EXPECT_EQ(std::memcmp(&back, &guid, sizeof guid), 0);
    }
    EXPECT_EQ(seen.size(), 200u);
    EXPECT_FALSE(CoCreateGuid(nullptr));

    GUID fixed;   // every field little-endian
    fixed.Data1 = 0x01020304;
    fixed.Data2 = 0x0506;
    fixed.Data3 = 0x0708;
    for (int i = 0; i < 8; ++i)
        fixed.Data4[i] = static_cast<uint8_t>(9 + i);
    uint8_t bytes[kGuidBytes];
    GuidToBytes(fixed, bytes);
    const uint8_t expected[kGuidBytes] = {4, 3, 2, 1, 6, 5, 8, 7, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof expected), 0);
}
