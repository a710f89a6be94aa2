#include "export/abf/CrcEngine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// Bit-by-bit reflected CRC straight from the definition: the oracle for the table and zlib paths.
// `reflected` is the polynomial with its bits reversed (0xEDB88320 for CRC-32, 0xA001 for CRC-16).
uint32_t BitwiseCrc(const std::vector<uint8_t>& data, uint32_t reflected, uint32_t init, uint32_t finalXor)
{
    uint32_t reg = init;
    for (uint8_t byte : data) {
        reg ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 1) ? (reg >> 1) ^ reflected : reg >> 1;
    }
    return reg ^ finalXor;
}

uint32_t EngineCrc(int kind, const std::vector<uint8_t>& data)
{
    std::unique_ptr<CrcEngine> engine = CrcEngine::Create(kind);
    engine->Update(data.data(), data.size());
    return engine->GetResult();
}

} // namespace

TEST(CrcEngine, CheckValuesEmptyInputAndPieces)
{
    const char* nine = "123456789";
    const std::vector<uint8_t> check(nine, nine + 9);
    EXPECT_EQ(EngineCrc(CrcEngine::kCrc32, check), 0xCBF43926u);
    EXPECT_EQ(EngineCrc(CrcEngine::kCrc16, check), 0xBB3Du);
    EXPECT_EQ(EngineCrc(CrcEngine::kCrc32, {}), 0u);
    EXPECT_EQ(EngineCrc(CrcEngine::kCrc16, {}), 0u);
    EXPECT_EQ(CrcEngine::Create(2), nullptr);
    EXPECT_EQ(CrcEngine::Create(-1), nullptr);

    for (int kind : {CrcEngine::kCrc16, CrcEngine::kCrc32}) {
        SCOPED_TRACE(kind);
        std::unique_ptr<CrcEngine> engine = CrcEngine::Create(kind);
        engine->Update("1234", 4);
        engine->Update("56789", 5);
        EXPECT_EQ(engine->GetResult(), EngineCrc(kind, check));
        engine->Reset();
        engine->Update(nine, 9);
        EXPECT_EQ(engine->GetResult(), EngineCrc(kind, check));
    }
}

TEST(CrcEngine, MatchesTheDefinitionOnRandomBuffers)
{
    std::mt19937 random(7);
    for (size_t length : {1u, 15u, 16u, 17u, 255u, 4096u, 100003u}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> data(length);
        for (uint8_t& byte : data)
            byte = static_cast<uint8_t>(random());
        EXPECT_EQ(EngineCrc(CrcEngine::kCrc32, data), BitwiseCrc(data, 0xEDB88320, 0xFFFFFFFF, 0xFFFFFFFF));
        EXPECT_EQ(EngineCrc(CrcEngine::kCrc16, data), BitwiseCrc(data, 0xA001, 0, 0));
        EXPECT_EQ(CrcEngine::Crc32(data.data(), data.size()), EngineCrc(CrcEngine::kCrc32, data));

        // Split anywhere: the running form and the combination give the whole buffer's CRC.
        const size_t split = random() % (length + 1);
        const uint32_t first = CrcEngine::Crc32(data.data(), split);
        const uint32_t second = CrcEngine::Crc32(data.data() + split, length - split);
        EXPECT_EQ(CrcEngine::Crc32(data.data() + split, length - split, first), EngineCrc(CrcEngine::kCrc32, data));
        EXPECT_EQ(CrcEngine::Combine32(first, second, length - split), EngineCrc(CrcEngine::kCrc32, data));
    }
}
