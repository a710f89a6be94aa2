#pragma once
// Table-driven CRC with two ready-made kinds: CRC-16/ARC (kind 0) and CRC-32 as zlib computes it
// (kind 1), the checksum every ABF file carries in its header.

#include <cstddef>
#include <cstdint>
#include <memory>

class CrcEngine
{
public:
    enum Kind { kCrc16 = 0, kCrc32 = 1 };

    // A new engine of that kind, or nullptr for any other kind.
    static std::unique_ptr<CrcEngine> Create(int kind);

    // Reflected CRC of `width` bits (1..32): stores the parameters, resets the register and takes
    // a copy of `table` (256 entries) or builds the table when it is null.
    void Configure(int width, uint32_t polynomial, uint32_t initialValue, uint32_t finalXor,
                   const uint32_t* table);

    void Reset();
    void Update(const void* data, size_t length);
    // The CRC of every byte fed since creation or the last Reset.
    uint32_t GetResult() const;

    // The CRC-32 (kind 1) of A followed by B, from the CRC-32 of each and the length of B.
    static uint32_t Combine32(uint32_t crcA, uint32_t crcB, uint64_t lengthB);
    // The CRC-32 (kind 1) of `previous`'s bytes followed by these (previous = 0: none before).
    static uint32_t Crc32(const void* data, size_t length, uint32_t previous = 0);

private:
    CrcEngine() = default;

    uint32_t m_table[256] = {};
    int m_width = 32;
    uint32_t m_polynomial = 0;
    uint32_t m_initialValue = 0;
    uint8_t m_reflectInput = 1;
    uint8_t m_reflectOutput = 1;
    uint32_t m_finalXor = 0;
    uint32_t m_register = 0;
    bool m_isZlibCrc32 = false;   // same register arithmetic as zlib: hand the bytes to it
};
