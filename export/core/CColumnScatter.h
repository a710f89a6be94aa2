#pragma once
// Copies the frames of one stream into the selection's rows: each selected channel to its
// output column, less the stream's zero. The raw writers do this for every sample they write.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "export/core/SimdPath.h"

class CColumnScatter
{
public:
    // How Apply moves the values, from the simplest to the widest.
    enum class Method : int {
        kValueByValue = 0,   // one value at a time through the list of pairs
        kRuns = 1,           // runs of consecutive channels to consecutive columns, copied whole
        kAvx2 = 2,           // byte shuffles of the frame's 16-byte blocks, 16 or 8 columns at once
        kAvx512 = 3,         // one or two 512-bit permutes per row
    };

    // `columns` pairs an output column (0..entries-1) with a channel of frames of `channels`
    // values; a channel below 0 leaves its column untouched, as does any pair outside those
    // ranges. The pairs are applied in their order: a column named twice gets the later one.
    // Chooses the quickest method the shape allows within SimdPathAllowed().
    CColumnScatter(const std::vector<std::pair<int, int>>& columns, size_t channels, size_t entries,
                   uint16_t zero);
    // The same with `wanted` where the shape and the processor allow it (SONDREL_SIMD aside),
    // else kRuns: the tests drive every method with it.
    CColumnScatter(const std::vector<std::pair<int, int>>& columns, size_t channels, size_t entries,
                   uint16_t zero, Method wanted);

    // For each of `rows` frames: out[row x entries + column] = frame[channel] - zero.
    void Apply(const uint16_t* frames, size_t rows, uint16_t* out) const;
    // The same, one value at a time in the order of the pairs: the reference every method is
    // tested against.
    void ApplyValueByValue(const uint16_t* frames, size_t rows, uint16_t* out) const;

    Method GetMethod() const { return m_method; }
    static const char* MethodName(Method method);
    // The methods Apply has used in this process, bit 1 << Method each: the benchmark reports
    // them.
    static unsigned MethodsUsed();

    // values[i] -= zero for `count` values, a vector at a time.
    static void SubtractZero(uint16_t* values, size_t count, uint16_t zero);

private:
    // Consecutive channels from..from+count-1 to columns to..to+count-1.
    struct Run
    {
        uint32_t from;
        uint32_t to;
        uint32_t count;
    };

    void Analyse(const std::vector<std::pair<int, int>>& columns);
    bool Fits(Method method) const;
    Method Choose(SimdPath limit) const;
    void Prepare(Method wanted);
    void PrepareShuffles();
    void ApplyRuns(const uint16_t* frames, size_t rows, uint16_t* out) const;
    void ApplyIndexed(const uint16_t* frames, size_t rows, uint16_t* out) const;
    void ApplyAvx2(const uint16_t* frames, size_t rows, uint16_t* out) const;
    void ApplyAvx512(const uint16_t* frames, size_t rows, uint16_t* out) const;

    std::vector<std::pair<int, int>> m_columns;
    size_t m_channels;
    size_t m_entries;
    uint16_t m_zero;
    std::vector<uint32_t> m_from;   // channel of each used pair
    std::vector<uint32_t> m_to;     // its column
    std::vector<Run> m_runs;
    // The used columns are firstColumn.. firstColumn + used - 1, each written once.
    bool m_oneSpan = false;
    size_t m_firstColumn = 0;
    Method m_method = Method::kValueByValue;

    // The vector methods: the channel of each column of the span.
    std::vector<uint16_t> m_spanChannels;
    // kAvx2: the first column of each chunk of 16 (or 8) columns, and per chunk and frame
    // block the 32-byte shuffle that puts the block's values in the chunk's columns.
    std::vector<uint32_t> m_chunkOffsets;
    std::vector<uint8_t> m_shuffles;
    size_t m_blocks = 0;          // 16-byte blocks of a frame the shuffles read
    bool m_wideChunks = false;    // 16 columns a chunk, else 8
};
