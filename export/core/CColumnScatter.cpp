#include "export/core/CColumnScatter.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define SONDREL_VECTOR_SCATTER 1
#endif

namespace {

// A frame and a run of columns fit two 512-bit registers of 16-bit values each; the byte
// shuffles take frames of up to eight 16-byte blocks.
constexpr size_t kVectorValues = 64;
constexpr size_t kBlockValues = 8;
// Runs this long on average are copied whole: no shuffle beats a straight copy of them.
constexpr size_t kLongRun = 8;
// Runs shorter than this on average cost more as runs than value by value.
constexpr size_t kShortRun = 2;

std::atomic<unsigned> g_methodsUsed {0};

// dst[i] = src[i] - zero for n values; dst and src do not overlap. The last piece is placed to
// end at n and may rewrite values the piece before wrote, with the same values: nothing
// outside dst[0..n) is touched.
inline void CopyValues(uint16_t* dst, const uint16_t* src, size_t n, uint16_t zero)
{
#ifdef SONDREL_VECTOR_SCATTER
    const __m128i zeros = _mm_set1_epi16(static_cast<short>(zero));
    if (n >= 8) {
        if (zero == 0 && n >= 256) {
            std::memcpy(dst, src, n * sizeof(uint16_t));
            return;
        }
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_sub_epi16(v, zeros));
        }
        if (i < n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 8));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 8), _mm_sub_epi16(v, zeros));
        }
        return;
    }
    if (n >= 4) {
        const __m128i head = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src));
        const __m128i tail = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + n - 4));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_sub_epi16(head, zeros));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + n - 4), _mm_sub_epi16(tail, zeros));
        return;
    }
#endif
    for (size_t i = 0; i < n; ++i)
        dst[i] = static_cast<uint16_t>(src[i] - zero);
}

#ifdef SONDREL_VECTOR_SCATTER

__mmask32 LowLanes(size_t n)
{
    return n >= 32 ? 0xFFFFFFFFu : static_cast<__mmask32>((1u << n) - 1u);
}

// Each row: the frame in two masked loads, two permutes pick the channels of the column run,
// the zero comes off, two masked stores write the run. Masked lanes are neither read nor
// written, so nothing outside the frame or the run is touched.
__attribute__((target("avx512f,avx512bw"))) void PermuteRows(const uint16_t* frames, size_t channels,
                                                               size_t rows, uint16_t* out, size_t entries,
                                                               const uint16_t* index, size_t used,
                                                               uint16_t zero)
{
    const __mmask32 loadLow = LowLanes(channels);
    const __mmask32 loadHigh = channels > 32 ? LowLanes(channels - 32) : 0;
    const __mmask32 storeLow = LowLanes(used);
    const __mmask32 storeHigh = used > 32 ? LowLanes(used - 32) : 0;
    const __m512i indexLow = _mm512_loadu_si512(index);
    const __m512i indexHigh = _mm512_loadu_si512(index + 32);
    const __m512i zeros = _mm512_set1_epi16(static_cast<short>(zero));
    for (size_t k = 0; k < rows; ++k) {
        const uint16_t* frame = frames + k * channels;
        uint16_t* target = out + k * entries;
        const __m512i low = _mm512_maskz_loadu_epi16(loadLow, frame);
        const __m512i high = _mm512_maskz_loadu_epi16(loadHigh, frame + 32);
        const __m512i picked = _mm512_permutex2var_epi16(low, indexLow, high);
        _mm512_mask_storeu_epi16(target, storeLow, _mm512_sub_epi16(picked, zeros));
        if (storeHigh != 0) {
            const __m512i picked = _mm512_permutex2var_epi16(low, indexHigh, high);
            _mm512_mask_storeu_epi16(target + 32, storeHigh, _mm512_sub_epi16(picked, zeros));
        }
    }
}

// Each row: the frame's first `Blocks` 16-byte blocks, each in both halves of a register;
// every chunk of 16 columns shuffles each block's values to their places (the other bytes
// become 0), ors the blocks together and takes the zero off. `shuffles` holds 32 bytes per
// chunk and block, `offsets` each chunk's first column.
template <size_t Blocks>
__attribute__((target("avx2"))) void ShuffleRowsWide(const uint16_t* frames, size_t channels, size_t rows,
                                                     uint16_t* out, size_t entries, const uint32_t* offsets,
                                                     size_t chunks, const uint8_t* shuffles, uint16_t zero)
{
    const __m256i zeros = _mm256_set1_epi16(static_cast<short>(zero));
    for (size_t k = 0; k < rows; ++k) {
        const uint16_t* frame = frames + k * channels;
        uint16_t* target = out + k * entries;
        __m256i block[Blocks];
#pragma GCC unroll 8
        for (size_t b = 0; b < Blocks; ++b)
            block[b] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(frame + 8 * b)));
        for (size_t c = 0; c < chunks; ++c) {
            const uint8_t* shuffle = shuffles + 32 * Blocks * c;
            __m256i picked = _mm256_shuffle_epi8(block[0], _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shuffle)));
#pragma GCC unroll 8
            for (size_t b = 1; b < Blocks; ++b) {
                const __m256i control = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shuffle + 32 * b));
                picked = _mm256_or_si256(picked, _mm256_shuffle_epi8(block[b], control));
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + offsets[c]), _mm256_sub_epi16(picked, zeros));
        }
    }
}

// The same for spans of 8 to 15 columns, 8 columns a chunk (the first 16 bytes of each shuffle).
template <size_t Blocks>
__attribute__((target("avx2"))) void ShuffleRowsNarrow(const uint16_t* frames, size_t channels, size_t rows,
                                                       uint16_t* out, size_t entries, const uint32_t* offsets,
                                                       size_t chunks, const uint8_t* shuffles, uint16_t zero)
{
    const __m128i zeros = _mm_set1_epi16(static_cast<short>(zero));
    for (size_t k = 0; k < rows; ++k) {
        const uint16_t* frame = frames + k * channels;
        uint16_t* target = out + k * entries;
        __m128i block[Blocks];
#pragma GCC unroll 8
        for (size_t b = 0; b < Blocks; ++b)
            block[b] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame + 8 * b));
        for (size_t c = 0; c < chunks; ++c) {
            const uint8_t* shuffle = shuffles + 32 * Blocks * c;
            __m128i picked = _mm_shuffle_epi8(block[0], _mm_loadu_si128(reinterpret_cast<const __m128i*>(shuffle)));
#pragma GCC unroll 8
            for (size_t b = 1; b < Blocks; ++b) {
                const __m128i control = _mm_loadu_si128(reinterpret_cast<const __m128i*>(shuffle + 32 * b));
                picked = _mm_or_si128(picked, _mm_shuffle_epi8(block[b], control));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target + offsets[c]), _mm_sub_epi16(picked, zeros));
        }
    }
}

using ShuffleRows = void (*)(const uint16_t*, size_t, size_t, uint16_t*, size_t, const uint32_t*, size_t,
                             const uint8_t*, uint16_t);

// The shuffle for frames of 1 to 8 blocks.
ShuffleRows ShuffleFor(bool wide, size_t blocks)
{
    static const ShuffleRows kWide[] = {ShuffleRowsWide<1>, ShuffleRowsWide<2>, ShuffleRowsWide<3>,
                                        ShuffleRowsWide<4>, ShuffleRowsWide<5>, ShuffleRowsWide<6>,
                                        ShuffleRowsWide<7>, ShuffleRowsWide<8>};
    static const ShuffleRows kNarrow[] = {ShuffleRowsNarrow<1>, ShuffleRowsNarrow<2>, ShuffleRowsNarrow<3>,
                                          ShuffleRowsNarrow<4>, ShuffleRowsNarrow<5>, ShuffleRowsNarrow<6>,
                                          ShuffleRowsNarrow<7>, ShuffleRowsNarrow<8>};
    return (wide ? kWide : kNarrow)[blocks - 1];
}

#endif

} // namespace

CColumnScatter::CColumnScatter(const std::vector<std::pair<int, int>>& columns, size_t channels,
                               size_t entries, uint16_t zero)
    : m_columns(columns), m_channels(channels), m_entries(entries), m_zero(zero)
{
    Analyse(columns);
    Prepare(Choose(SimdPathAllowed()));
}

CColumnScatter::CColumnScatter(const std::vector<std::pair<int, int>>& columns, size_t channels,
                               size_t entries, uint16_t zero, Method wanted)
    : m_columns(columns), m_channels(channels), m_entries(entries), m_zero(zero)
{
    Analyse(columns);
    Prepare(Fits(wanted) ? wanted : Method::kRuns);
}

void CColumnScatter::Analyse(const std::vector<std::pair<int, int>>& columns)
{
    for (const auto& [column, channel] : columns) {
        if (column < 0 || static_cast<size_t>(column) >= m_entries || channel < 0
            || static_cast<size_t>(channel) >= m_channels)
            continue;
        const uint32_t to = static_cast<uint32_t>(column);
        const uint32_t from = static_cast<uint32_t>(channel);
        // Runs keep the order of the pairs, so a column named twice still ends with the later.
        if (!m_runs.empty() && m_runs.back().to + m_runs.back().count == to
            && m_runs.back().from + m_runs.back().count == from)
            ++m_runs.back().count;
        else
            m_runs.push_back(Run {from, to, 1});
        m_to.push_back(to);
        m_from.push_back(from);
    }
    if (m_to.empty())
        return;
    // One span: the used columns are consecutive, each written once.
    const auto [low, high] = std::minmax_element(m_to.begin(), m_to.end());
    if (*high - *low + 1 != m_to.size())
        return;
    std::vector<char> seen(m_to.size(), 0);
    for (uint32_t column : m_to) {
        if (seen[column - *low])
            return;
        seen[column - *low] = 1;
    }
    m_oneSpan = true;
    m_firstColumn = *low;
}

bool CColumnScatter::Fits(Method method) const
{
    switch (method) {
    case Method::kValueByValue:
    case Method::kRuns:
        return true;
    case Method::kAvx2:
#ifdef SONDREL_VECTOR_SCATTER
        return SimdPathRuns(SimdPath::kAvx2) && m_oneSpan && m_channels <= kVectorValues
               && m_to.size() >= kBlockValues && m_to.size() <= kVectorValues;
#else
        return false;
#endif
    case Method::kAvx512:
#ifdef SONDREL_VECTOR_SCATTER
        return SimdPathRuns(SimdPath::kAvx512) && m_oneSpan && m_channels <= kVectorValues
               && m_to.size() <= kVectorValues;
#else
        return false;
#endif
    }
    return false;
}

CColumnScatter::Method CColumnScatter::Choose(SimdPath limit) const
{
    const size_t used = m_to.size();
    const size_t runs = m_runs.size();
    if (limit >= SimdPath::kAvx512 && Fits(Method::kAvx512))
        return Method::kAvx512;
    if (used >= kLongRun * runs)
        return Method::kRuns;
    if (limit >= SimdPath::kAvx2 && Fits(Method::kAvx2))
        return Method::kAvx2;
    return used >= kShortRun * runs ? Method::kRuns : Method::kValueByValue;
}

void CColumnScatter::Prepare(Method method)
{
    m_method = method;
    if (method == Method::kAvx2 || method == Method::kAvx512) {
        m_spanChannels.assign(kVectorValues, 0);
        for (size_t j = 0; j < m_to.size(); ++j)
            m_spanChannels[m_to[j] - m_firstColumn] = static_cast<uint16_t>(m_from[j]);
    }
    if (method == Method::kAvx2)
        PrepareShuffles();
}

void CColumnScatter::PrepareShuffles()
{
    const size_t used = m_to.size();
    m_wideChunks = used >= 2 * kBlockValues;
    const size_t width = m_wideChunks ? 2 * kBlockValues : kBlockValues;
    // Chunks side by side; a last one that would run past the span ends at the span's end
    // instead, overlapping the one before with the same values.
    for (size_t offset = 0; offset + width <= used; offset += width)
        m_chunkOffsets.push_back(static_cast<uint32_t>(m_firstColumn + offset));
    if (used % width != 0)
        m_chunkOffsets.push_back(static_cast<uint32_t>(m_firstColumn + used - width));
    // Blocks up to the last one a used channel lies in.
    m_blocks = 1 + *std::max_element(m_from.begin(), m_from.end()) / kBlockValues;
    m_shuffles.assign(m_chunkOffsets.size() * m_blocks * 32, 0x80);
    for (size_t c = 0; c < m_chunkOffsets.size(); ++c) {
        for (size_t j = 0; j < width; ++j) {
            const size_t channel = m_spanChannels[m_chunkOffsets[c] - m_firstColumn + j];
            // A shuffle picks bytes within its 16-byte half; the block is in both halves.
            uint8_t* shuffle = &m_shuffles[32 * (c * m_blocks + channel / kBlockValues)];
            shuffle[2 * j] = static_cast<uint8_t>(2 * (channel % kBlockValues));
            shuffle[2 * j + 1] = static_cast<uint8_t>(2 * (channel % kBlockValues) + 1);
        }
    }
}

const char* CColumnScatter::MethodName(Method method)
{
    switch (method) {
    case Method::kValueByValue:
        return "value-by-value";
    case Method::kRuns:
        return "runs";
    case Method::kAvx2:
        return "avx2";
    case Method::kAvx512:
        return "avx512";
    }
    return "?";
}

unsigned CColumnScatter::MethodsUsed()
{
    return g_methodsUsed.load(std::memory_order_relaxed);
}

void CColumnScatter::SubtractZero(uint16_t* values, size_t count, uint16_t zero)
{
    if (zero == 0)
        return;
    size_t i = 0;
#ifdef SONDREL_VECTOR_SCATTER
    const __m128i zeros = _mm_set1_epi16(static_cast<short>(zero));
    for (; i + 8 <= count; i += 8) {
        __m128i* at = reinterpret_cast<__m128i*>(values + i);
        _mm_storeu_si128(at, _mm_sub_epi16(_mm_loadu_si128(at), zeros));
    }
#endif
    for (; i < count; ++i)
        values[i] = static_cast<uint16_t>(values[i] - zero);
}

void CColumnScatter::ApplyValueByValue(const uint16_t* frames, size_t rows, uint16_t* out) const
{
    for (size_t k = 0; k < rows; ++k) {
        const uint16_t* frame = frames + k * m_channels;
        uint16_t* target = out + k * m_entries;
        for (const auto& [column, channel] : m_columns)
            if (column >= 0 && static_cast<size_t>(column) < m_entries && channel >= 0
                && static_cast<size_t>(channel) < m_channels)
                target[column] = static_cast<uint16_t>(frame[channel] - m_zero);
    }
}

void CColumnScatter::Apply(const uint16_t* frames, size_t rows, uint16_t* out) const
{
    const unsigned bit = 1u << static_cast<int>(m_method);
    if (!(g_methodsUsed.load(std::memory_order_relaxed) & bit))
        g_methodsUsed.fetch_or(bit, std::memory_order_relaxed);
    switch (m_method) {
    case Method::kValueByValue:
        ApplyIndexed(frames, rows, out);
        return;
    case Method::kRuns:
        ApplyRuns(frames, rows, out);
        return;
    case Method::kAvx2:
        ApplyAvx2(frames, rows, out);
        return;
    case Method::kAvx512:
        ApplyAvx512(frames, rows, out);
        return;
    }
}

void CColumnScatter::ApplyIndexed(const uint16_t* frames, size_t rows, uint16_t* out) const
{
    const size_t used = m_to.size();
    for (size_t k = 0; k < rows; ++k) {
        const uint16_t* frame = frames + k * m_channels;
        uint16_t* target = out + k * m_entries;
        for (size_t j = 0; j < used; ++j)
            target[m_to[j]] = static_cast<uint16_t>(frame[m_from[j]] - m_zero);
    }
}

void CColumnScatter::ApplyRuns(const uint16_t* frames, size_t rows, uint16_t* out) const
{
    if (m_runs.empty())
        return;
    if (m_runs.size() == 1) {
        const Run run = m_runs.front();
        // Whole frames to whole rows: the rows are one run.
        if (run.count == m_channels && run.count == m_entries) {
            CopyValues(out, frames, rows * m_channels, m_zero);
            return;
        }
        for (size_t k = 0; k < rows; ++k)
            CopyValues(out + k * m_entries + run.to, frames + k * m_channels + run.from, run.count, m_zero);
        return;
    }
    for (size_t k = 0; k < rows; ++k) {
        const uint16_t* frame = frames + k * m_channels;
        uint16_t* target = out + k * m_entries;
        for (const Run& run : m_runs)
            CopyValues(target + run.to, frame + run.from, run.count, m_zero);
    }
}

void CColumnScatter::ApplyAvx2(const uint16_t* frames, size_t rows, uint16_t* out) const
{
#ifdef SONDREL_VECTOR_SCATTER
    // A row's loads reach the end of its last block, up to 7 values past its frame: the last
    // rows, whose loads would leave the frames, go value by value.
    const size_t reach = m_blocks * kBlockValues;
    const size_t total = rows * m_channels;
    const size_t safe = total >= reach ? std::min(rows, (total - reach) / m_channels + 1) : 0;
    ShuffleFor(m_wideChunks, m_blocks)(frames, m_channels, safe, out, m_entries, m_chunkOffsets.data(),
                                       m_chunkOffsets.size(), m_shuffles.data(), m_zero);
    ApplyIndexed(frames + safe * m_channels, rows - safe, out + safe * m_entries);
#else
    ApplyIndexed(frames, rows, out);
#endif
}

void CColumnScatter::ApplyAvx512(const uint16_t* frames, size_t rows, uint16_t* out) const
{
#ifdef SONDREL_VECTOR_SCATTER
    PermuteRows(frames, m_channels, rows, out + m_firstColumn, m_entries, m_spanChannels.data(), m_to.size(),
                m_zero);
#else
    ApplyIndexed(frames, rows, out);
#endif
}
