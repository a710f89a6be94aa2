#pragma once
// Copies the frames of one stream into the selection's rows: each selected channel to its
// output column, less the stream's zero. The raw writers do this for every sample they write.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class CColumnScatter
{
public:
    // `columns` pairs an output column (0..entries-1) with a channel of frames of `channels`
    // values; a channel below 0 leaves its column untouched, as does any pair outside those
    // ranges.
    CColumnScatter(const std::vector<std::pair<int, int>>& columns, size_t channels, size_t entries,
                   uint16_t zero);

    // For each of `rows` frames: out[row x entries + column] = frame[channel] - zero.
    void Apply(const uint16_t* frames, size_t rows, uint16_t* out) const;
    // The same, one value at a time in the order of the pairs: the reference Apply is tested
    // against.
    void ApplyPlain(const uint16_t* frames, size_t rows, uint16_t* out) const;

    // True when Apply moves whole rows with vector permutes on this machine.
    bool UsesVectorPath() const { return m_vector; }

private:
    void ApplyVector(const uint16_t* frames, size_t rows, uint16_t* out) const;

    std::vector<std::pair<int, int>> m_columns;
    size_t m_channels;
    size_t m_entries;
    uint16_t m_zero;
    std::vector<uint32_t> m_from;   // channel of each used pair
    std::vector<uint32_t> m_to;     // its column
    bool m_vector = false;
    size_t m_firstColumn = 0;       // the vector path: columns firstColumn.. in a row
};
