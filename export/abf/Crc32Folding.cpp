#include "export/abf/Crc32Folding.h"

#include <zlib.h>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define SONDREL_CRC_FOLDING 1
#endif

namespace {

// Below this the folding set-up costs more than it saves.
constexpr size_t kFoldingMinimum = 256;

#ifdef SONDREL_CRC_FOLDING

bool HasCarryLessMultiply()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}

// One 128-bit lane moved on by the distance the constants stand for, added to the next lane.
__attribute__((target("pclmul,sse4.1"))) inline __m128i FoldLane(__m128i lane, __m128i next, __m128i k)
{
    const __m128i low = _mm_clmulepi64_si128(lane, k, 0x00);
    const __m128i high = _mm_clmulepi64_si128(lane, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(high, next), low);
}

// Folds a whole number of 16-byte blocks (at least four) into the complemented CRC register
// `crc` of the reflected CRC-32 polynomial 0xEDB88320 and returns the register. Four lanes of
// 128 bits are folded 64 bytes at a time, then into one lane, then reduced to 32 bits (Barrett).
// The constants are x^n mod P for the fold distances, and P and floor(x^64 / P), bit-reflected.
__attribute__((target("pclmul,sse4.1"))) uint32_t FoldBlocks(const uint8_t* data, size_t length,
                                                                uint32_t crc)
{
    const auto load = [](const uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);

    __m128i x1 = load(data);
    __m128i x2 = load(data + 16);
    __m128i x3 = load(data + 32);
    __m128i x4 = load(data + 48);
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(crc)));
    data += 64;
    length -= 64;

    while (length >= 64) {
        const __m128i x5 = _mm_clmulepi64_si128(x1, k1k2, 0x00);
        const __m128i x6 = _mm_clmulepi64_si128(x2, k1k2, 0x00);
        const __m128i x7 = _mm_clmulepi64_si128(x3, k1k2, 0x00);
        const __m128i x8 = _mm_clmulepi64_si128(x4, k1k2, 0x00);
        x1 = _mm_clmulepi64_si128(x1, k1k2, 0x11);
        x2 = _mm_clmulepi64_si128(x2, k1k2, 0x11);
        x3 = _mm_clmulepi64_si128(x3, k1k2, 0x11);
        x4 = _mm_clmulepi64_si128(x4, k1k2, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, x5), load(data));
        x2 = _mm_xor_si128(_mm_xor_si128(x2, x6), load(data + 16));
        x3 = _mm_xor_si128(_mm_xor_si128(x3, x7), load(data + 32));
        x4 = _mm_xor_si128(_mm_xor_si128(x4, x8), load(data + 48));
        data += 64;
        length -= 64;
    }

    // Four lanes into one.
    x1 = FoldLane(x1, x2, k3k4);
    x1 = FoldLane(x1, x3, k3k4);
    x1 = FoldLane(x1, x4, k3k4);
    while (length >= 16) {
        x1 = FoldLane(x1, load(data), k3k4);
        data += 16;
        length -= 16;
    }

    // 128 bits to 64, then to 32.
    __m128i x = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x);
    x = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, low32);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, k5, 0x00), x);

    x = _mm_and_si128(x1, low32);
    x = _mm_clmulepi64_si128(x, poly, 0x10);
    x = _mm_and_si128(x, low32);
    x = _mm_clmulepi64_si128(x, poly, 0x00);
    x1 = _mm_xor_si128(x1, x);
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

#endif

} // namespace

bool Crc32FoldingAvailable()
{
#ifdef SONDREL_CRC_FOLDING
    static const bool available = HasCarryLessMultiply();
    return available;
#else
    return false;
#endif
}

uint32_t Crc32Folding(const void* data, size_t length, uint32_t previous)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    uint32_t crc = previous;
#ifdef SONDREL_CRC_FOLDING
    if (length >= kFoldingMinimum && Crc32FoldingAvailable()) {
        // zlib hands out the complemented register; the folding works on the register itself.
        const size_t blocks = length & ~static_cast<size_t>(15);
        crc = ~FoldBlocks(bytes, blocks, ~crc);
        bytes += blocks;
        length -= blocks;
    }
#endif
    return length == 0 ? crc : static_cast<uint32_t>(crc32_z(crc, bytes, length));
}
