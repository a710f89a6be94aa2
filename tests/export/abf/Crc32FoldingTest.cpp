#include "export/abf/Crc32Folding.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

// The folded CRC is zlib's to the bit: every length around the block and folding limits, every
// start offset within a 16-byte block, and a running CRC carried in from bytes before.
TEST(Crc32Folding, GivesZlibsValueForEveryLengthAlignmentAndStart)
{
    std::mt19937 random(3);
    std::vector<uint8_t> bytes(70000);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random());
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 600; ++n)
        lengths.push_back(n);
    for (size_t n : {1023u, 1024u, 1025u, 4096u + 15u, 65536u, 69000u})
        lengths.push_back(n);
    for (size_t length : lengths) {
        for (size_t offset : {0u, 1u, 7u, 15u}) {
            for (uint32_t previous : {0u, 0xFFFFFFFFu, 0x12345678u}) {
                const uint8_t* at = bytes.data() + offset;
                const uint32_t expected = static_cast<uint32_t>(crc32_z(previous, at, length));
                ASSERT_EQ(Crc32Folding(at, length, previous), expected)
                    << "length " << length << ", offset " << offset << ", previous " << previous;
            }
        }
    }
}
