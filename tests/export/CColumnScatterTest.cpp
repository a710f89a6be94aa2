#include "export/CColumnScatter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

namespace {

// `count` columns from `first` on, fed by channels 0.. in a shuffled order.
std::vector<std::pair<int, int>> ShuffledRun(int first, int count, std::mt19937& random)
{
    std::vector<int> channels(static_cast<size_t>(count));
    std::iota(channels.begin(), channels.end(), 0);
    std::shuffle(channels.begin(), channels.end(), random);
    std::vector<std::pair<int, int>> columns;
    for (int j = 0; j < count; ++j)
        columns.emplace_back(first + j, channels[static_cast<size_t>(j)]);
    return columns;
}

} // namespace

// The fast copy gives the very bytes of the value-by-value one, on every shape of selection,
// and leaves the columns it does not own alone.
TEST(CColumnScatter, GivesTheSameRowsAsThePlainCopy)
{
    std::mt19937 random(7);
    struct Case {
        const char* name;
        size_t channels;
        size_t entries;
        std::vector<std::pair<int, int>> columns;
        uint16_t zero;
    };
    const Case cases[] = {
        {"60 electrodes first of 65 columns", 60, 65, ShuffledRun(0, 60, random), 0},
        {"4 analog inputs inside the row", 4, 65, ShuffledRun(60, 4, random), 32768},
        {"one channel, last column", 1, 65, {{64, 0}}, 0},
        {"64 channels, the widest run", 64, 64, ShuffledRun(0, 64, random), 12345},
        {"33 channels across the register halves", 33, 40, ShuffledRun(5, 33, random), 1},
        {"12 of 60 channels", 60, 16, {{0, 59}, {1, 0}, {2, 31}, {3, 32}, {4, 1}, {5, 2}, {6, 40},
                                       {7, 41}, {8, 3}, {9, 4}, {10, 33}, {11, 30}}, 0},
        {"65 channels: too wide for registers", 65, 65, ShuffledRun(0, 65, random), 7},
        {"columns with a hole", 8, 20, {{0, 0}, {1, 1}, {3, 2}, {4, 3}}, 0},
        {"a column written twice", 8, 8, {{0, 0}, {1, 1}, {1, 2}, {2, 3}}, 0},
        {"missing and stray channels", 8, 8, {{0, 0}, {1, -1}, {2, 8}, {-1, 3}, {9, 4}, {3, 7}}, 0},
        {"nothing to copy", 8, 8, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (size_t rows : {size_t(0), size_t(1), size_t(37)}) {
            SCOPED_TRACE(rows);
            // Buffers of exactly their size, so that the sanitizer sees any access past them.
            std::vector<uint16_t> frames(rows * c.channels);
            for (uint16_t& v : frames)
                v = static_cast<uint16_t>(random());
            std::vector<uint16_t> fast(rows * c.entries, 0xABCD);
            std::vector<uint16_t> plain = fast;
            const CColumnScatter scatter(c.columns, c.channels, c.entries, c.zero);
            scatter.Apply(frames.data(), rows, fast.data());
            scatter.ApplyPlain(frames.data(), rows, plain.data());
            EXPECT_EQ(fast, plain);
        }
    }
}

TEST(CColumnScatter, PutsEachChannelLessTheZeroInItsColumn)
{
    const std::vector<uint16_t> frames = {10, 20, 30, 40, 50, 60};
    std::vector<uint16_t> out(8, 7);
    CColumnScatter({{3, 0}, {0, 2}}, 3, 4, 11).Apply(frames.data(), 2, out.data());
    EXPECT_EQ(out, (std::vector<uint16_t> {19, 7, 7, 65535, 49, 7, 7, 29}));
}
