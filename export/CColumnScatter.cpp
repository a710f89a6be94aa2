#include "export/CColumnScatter.h"

#include <algorithm>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define SONDREL_VECTOR_SCATTER 1
#endif

namespace {

// A frame and a run of columns fit two 512-bit registers of 16-bit values each.
constexpr size_t kVectorValues = 64;

#ifdef SONDREL_VECTOR_SCATTER

bool HasVectorUnit()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

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

#endif

} // namespace

CColumnScatter::CColumnScatter(const std::vector<std::pair<int, int>>& columns, size_t channels,
                               size_t entries, uint16_t zero)
    : m_columns(columns), m_channels(channels), m_entries(entries), m_zero(zero)
{
    for (const auto& [column, channel] : columns) {
        if (column < 0 || static_cast<size_t>(column) >= entries || channel < 0
            || static_cast<size_t>(channel) >= channels)
            continue;
        m_to.push_back(static_cast<uint32_t>(column));
        m_from.push_back(static_cast<uint32_t>(channel));
    }
#ifdef SONDREL_VECTOR_SCATTER
    // The vector path takes a frame of at most 64 channels whose used columns are one run,
    // each column written once.
    if (m_to.empty() || channels > kVectorValues || m_to.size() > kVectorValues)
        return;
    const auto [low, high] = std::minmax_element(m_to.begin(), m_to.end());
    if (*high - *low + 1 != m_to.size())
        return;
    std::vector<char> seen(m_to.size(), 0);
    for (uint32_t column : m_to) {
        if (seen[column - *low])
            return;
        seen[column - *low] = 1;
    }
    static const bool hasVectorUnit = HasVectorUnit();
    m_vector = hasVectorUnit;
    m_firstColumn = *low;
#endif
}

void CColumnScatter::ApplyPlain(const uint16_t* frames, size_t rows, uint16_t* out) const
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
    if (m_vector) {
        ApplyVector(frames, rows, out);
        return;
    }
    const size_t used = m_to.size();
    for (size_t k = 0; k < rows; ++k) {
        const uint16_t* frame = frames + k * m_channels;
        uint16_t* target = out + k * m_entries;
        for (size_t j = 0; j < used; ++j)
            target[m_to[j]] = static_cast<uint16_t>(frame[m_from[j]] - m_zero);
    }
}

void CColumnScatter::ApplyVector(const uint16_t* frames, size_t rows, uint16_t* out) const
{
#ifdef SONDREL_VECTOR_SCATTER
    uint16_t index[kVectorValues] = {};
    for (size_t j = 0; j < m_to.size(); ++j)
        index[m_to[j] - m_firstColumn] = static_cast<uint16_t>(m_from[j]);
    PermuteRows(frames, m_channels, rows, out + m_firstColumn, m_entries, index, m_to.size(), m_zero);
#else
    (void)frames;
    (void)rows;
    (void)out;
#endif
}
