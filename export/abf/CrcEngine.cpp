#include "export/abf/CrcEngine.h"

#include <zlib.h>

#include "export/abf/Crc32Folding.h"

namespace {

constexpr uint32_t kCrc32Polynomial = 0x04C11DB7;

constexpr uint32_t Reflect(uint32_t value, int width)
{
    uint32_t result = 0;
    for (int i = 0; i < width; ++i)
        if (value & (1u << i))
            result |= 1u << (width - 1 - i);
    return result;
}

constexpr uint32_t WidthMask(int width)
{
    return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
}

struct ReflectedTable
{
    uint32_t entries[256] = {};
};

constexpr ReflectedTable BuildReflectedTable(uint32_t polynomial, int width)
{
    ReflectedTable table;
    const uint32_t reflected = Reflect(polynomial, width);
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ reflected : value >> 1;
        table.entries[i] = value;
    }
    return table;
}

// The standard reflected CRC-32 table, built by the compiler.
constexpr ReflectedTable kCrc32Table = BuildReflectedTable(kCrc32Polynomial, 32);
static_assert(kCrc32Table.entries[1] == 0x77073096 && kCrc32Table.entries[255] == 0x2D02EF8D,
              "CRC-32 table drifted");

} // namespace

std::unique_ptr<CrcEngine> CrcEngine::Create(int kind)
{
    std::unique_ptr<CrcEngine> engine;
    if (kind == kCrc16) {
        engine.reset(new CrcEngine);
        engine->Configure(16, 0x8005, 0, 0, nullptr);
    } else if (kind == kCrc32) {
        engine.reset(new CrcEngine);
        engine->Configure(32, kCrc32Polynomial, 0xFFFFFFFF, 0xFFFFFFFF, kCrc32Table.entries);
    }
    return engine;
}

void CrcEngine::Configure(int width, uint32_t polynomial, uint32_t initialValue,
                          uint32_t finalXor, const uint32_t* table)
{
    m_width = width < 1 ? 1 : (width > 32 ? 32 : width);
    m_polynomial = polynomial & WidthMask(m_width);
    m_initialValue = initialValue & WidthMask(m_width);
    m_finalXor = finalXor;
    m_reflectInput = 1;
    m_reflectOutput = 1;
    if (table) {
        for (int i = 0; i < 256; ++i)
            m_table[i] = table[i];
    } else {
        const ReflectedTable built = BuildReflectedTable(m_polynomial, m_width);
        for (int i = 0; i < 256; ++i)
            m_table[i] = built.entries[i];
    }
    m_isZlibCrc32 = m_width == 32 && m_polynomial == kCrc32Polynomial;
    Reset();
}

void CrcEngine::Reset()
{
    m_register = Reflect(m_initialValue, m_width);
}

void CrcEngine::Update(const void* data, size_t length)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (!bytes || length == 0)
        return;
    if (m_isZlibCrc32) {
        // zlib keeps the complemented register between calls.
        m_register = ~Crc32Folding(bytes, length, ~m_register);
        return;
    }
    uint32_t reg = m_register;
    for (size_t i = 0; i < length; ++i)
        reg = m_table[(reg ^ bytes[i]) & 0xFF] ^ (reg >> 8);
    m_register = reg;
}

uint32_t CrcEngine::GetResult() const
{
    return (m_register ^ m_finalXor) & WidthMask(m_width);
}

uint32_t CrcEngine::Combine32(uint32_t crcA, uint32_t crcB, uint64_t lengthB)
{
    return static_cast<uint32_t>(crc32_combine(crcA, crcB, static_cast<z_off_t>(lengthB)));
}

uint32_t CrcEngine::Crc32(const void* data, size_t length, uint32_t previous)
{
    if (!data || length == 0)
        return previous;
    return Crc32Folding(data, length, previous);
}
