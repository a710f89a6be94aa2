#include "export/core/CColumnScatter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>

namespace {

using Method = CColumnScatter::Method;
using Pairs = std::vector<std::pair<int, int>>;

struct Shape
{
    std::string name;
    size_t channels;
    size_t entries;
    Pairs columns;
    bool oneSpan;   // consecutive columns, each written once: every method can take it
};

// `count` columns from `first` on, fed by `channels` in that order.
Pairs Columns(int first, const std::vector<int>& channels)
{
    Pairs columns;
    for (size_t j = 0; j < channels.size(); ++j)
        columns.emplace_back(first + static_cast<int>(j), channels[j]);
    return columns;
}

std::vector<int> Iota(int count, int from = 0)
{
    std::vector<int> values(static_cast<size_t>(count));
    std::iota(values.begin(), values.end(), from);
    return values;
}

// The selections a raw export can give one stream of `n` channels: in order, reordered, in a
// few long runs, repeated, partial, with holes and with pairs that name nothing.
std::vector<Shape> ShapesOf(int n, std::mt19937& random)
{
    const size_t channels = static_cast<size_t>(n);
    const int before = static_cast<int>(random() % 4);
    const size_t entries = channels + static_cast<size_t>(before) + random() % 4;
    std::vector<Shape> shapes;
    shapes.push_back({"in order", channels, entries, Columns(before, Iota(n)), true});
    shapes.push_back({"whole rows", channels, channels, Columns(0, Iota(n)), true});
    std::vector<int> shuffled = Iota(n);
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    shapes.push_back({"reordered", channels, entries, Columns(before, shuffled), true});
    std::vector<int> rotated = Iota(n);
    std::rotate(rotated.begin(), rotated.begin() + n / 3, rotated.end());
    shapes.push_back({"two runs swapped", channels, entries, Columns(before, rotated), true});
    std::vector<int> reversed = Iota(n);
    std::reverse(reversed.begin(), reversed.end());
    shapes.push_back({"reversed", channels, entries, Columns(before, reversed), true});
    // Every channel twice: in order, then reordered, in the columns after.
    std::vector<int> twice = Iota(n);
    twice.insert(twice.end(), shuffled.begin(), shuffled.end());
    shapes.push_back({"each channel twice", channels, 2 * channels + 1, Columns(1, twice), true});
    // One column named twice: the later pair wins.
    Pairs overwritten = Columns(before, Iota(n));
    overwritten.emplace_back(before, n - 1);
    shapes.push_back({"a column named twice", channels, entries, overwritten, false});
    // A subset: every other channel, and a random third of them, in consecutive columns.
    std::vector<int> everyOther;
    for (int c = 0; c < n; c += 2)
        everyOther.push_back(c);
    shapes.push_back({"every other channel", channels, entries, Columns(before, everyOther), true});
    std::vector<int> some(shuffled.begin(), shuffled.begin() + (n + 2) / 3);
    shapes.push_back({"a third, reordered", channels, entries, Columns(before, some), true});
    // Columns with holes, which keep what they held.
    Pairs holes;
    for (int c = 0; c < n; ++c)
        holes.emplace_back(2 * c, shuffled[static_cast<size_t>(c)]);
    shapes.push_back({"columns with holes", channels, 2 * channels, holes, n == 1});
    // Pairs that name no channel or no column are left out; the rest is one span.
    Pairs stray = Columns(before, shuffled);
    stray.insert(stray.begin() + n / 2, {before + n / 2, -1});
    stray.emplace_back(static_cast<int>(entries), 0);
    stray.emplace_back(before, n);
    stray.emplace_back(-1, 0);
    shapes.push_back({"stray pairs", channels, entries, stray, true});
    return shapes;
}

bool ProcessorRuns(Method method)
{
    switch (method) {
    case Method::kAvx2:
        return SimdPathRuns(SimdPath::kAvx2);
    case Method::kAvx512:
        return SimdPathRuns(SimdPath::kAvx512);
    default:
        return true;
    }
}

// The shapes a method takes on, all others going to the runs.
bool TakesShape(Method method, const Shape& shape, size_t used)
{
    switch (method) {
    case Method::kAvx2:
        return shape.oneSpan && used >= 8 && used <= 64;
    case Method::kAvx512:
        return shape.oneSpan && used >= 1 && used <= 64;
    default:
        return true;
    }
}

size_t UsedPairs(const Shape& s)
{
    size_t used = 0;
    for (const auto& [column, channel] : s.columns)
        used += column >= 0 && static_cast<size_t>(column) < s.entries && channel >= 0
                && static_cast<size_t>(channel) < s.channels;
    return used;
}

class CColumnScatterMethod : public testing::TestWithParam<Method>
{
};

} // namespace

// Every method gives the very bytes of the value-by-value copy on the same frames, for 1 to 64
// channels, each shape of selection, with and without the zero taken off, and leaves the
// columns it does not own alone. A method the processor lacks is skipped.
TEST_P(CColumnScatterMethod, GivesTheRowsOfTheValueByValueCopy)
{
    const Method method = GetParam();
    if (!ProcessorRuns(method))
        GTEST_SKIP() << "this processor has no " << CColumnScatter::MethodName(method) << " path";
    std::mt19937 random(17);
    size_t taken = 0;
    for (int n = 1; n <= 64; ++n) {
        SCOPED_TRACE("channels " + std::to_string(n));
        for (const Shape& shape : ShapesOf(n, random)) {
            SCOPED_TRACE(shape.name);
            for (uint16_t zero : {uint16_t(0), uint16_t(32768), uint16_t(2047)}) {
                SCOPED_TRACE(zero);
                const CColumnScatter scatter(shape.columns, shape.channels, shape.entries, zero, method);
                const bool takes = TakesShape(method, shape, UsedPairs(shape));
                EXPECT_EQ(scatter.GetMethod(), takes ? method : Method::kRuns);
                taken += takes;
                for (size_t rows : {size_t(0), size_t(1), size_t(2), size_t(7), size_t(61)}) {
                    SCOPED_TRACE("rows " + std::to_string(rows));
                    // Buffers of exactly their size: the sanitizer sees any access past them.
                    std::vector<uint16_t> frames(rows * shape.channels);
                    for (uint16_t& v : frames)
                        v = static_cast<uint16_t>(random());
                    std::vector<uint16_t> fast(rows * shape.entries);
                    for (uint16_t& v : fast)
                        v = static_cast<uint16_t>(random());
                    std::vector<uint16_t> reference = fast;
                    scatter.Apply(frames.data(), rows, fast.data());
                    scatter.ApplyValueByValue(frames.data(), rows, reference.data());
                    ASSERT_EQ(fast, reference);
                }
            }
        }
    }
    EXPECT_GT(taken, 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryMethod, CColumnScatterMethod,
                         testing::Values(Method::kValueByValue, Method::kRuns, Method::kAvx2, Method::kAvx512),
                         [](const testing::TestParamInfo<Method>& info) {
                             std::string name = CColumnScatter::MethodName(info.param);
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

// The method chosen on its own: whichever it is on this processor, the same rows.
TEST(CColumnScatter, ChosenMethodGivesTheSameRows)
{
    std::mt19937 random(7);
    for (int n : {1, 4, 12, 33, 60, 64}) {
        for (const Shape& shape : ShapesOf(n, random)) {
            SCOPED_TRACE(shape.name + ", channels " + std::to_string(n));
            const size_t rows = 37;
            std::vector<uint16_t> frames(rows * shape.channels);
            for (uint16_t& v : frames)
                v = static_cast<uint16_t>(random());
            std::vector<uint16_t> fast(rows * shape.entries, 0xABCD);
            std::vector<uint16_t> reference = fast;
            const CColumnScatter scatter(shape.columns, shape.channels, shape.entries, 32768);
            scatter.Apply(frames.data(), rows, fast.data());
            scatter.ApplyValueByValue(frames.data(), rows, reference.data());
            EXPECT_EQ(fast, reference);
        }
    }
    // 65 channels are too wide for the registers; long in-order runs are copied whole.
    EXPECT_NE(CColumnScatter(Columns(0, Iota(65)), 65, 65, 0).GetMethod(), Method::kAvx2);
    if (SimdPathAllowed() < SimdPath::kAvx512) {
        EXPECT_EQ(CColumnScatter(Columns(0, Iota(60)), 60, 65, 0).GetMethod(), Method::kRuns);
    }
}

TEST(CColumnScatter, PutsEachChannelLessTheZeroInItsColumn)
{
    const std::vector<uint16_t> frames = {10, 20, 30, 40, 50, 60};
    std::vector<uint16_t> out(8, 7);
    CColumnScatter({{3, 0}, {0, 2}}, 3, 4, 11).Apply(frames.data(), 2, out.data());
    EXPECT_EQ(out, (std::vector<uint16_t> {19, 7, 7, 65535, 49, 7, 7, 29}));
}

TEST(CColumnScatter, SubtractsTheZeroFromEveryValue)
{
    for (size_t count : {size_t(0), size_t(1), size_t(7), size_t(8), size_t(9), size_t(100)}) {
        SCOPED_TRACE(count);
        std::vector<uint16_t> values(count);
        std::iota(values.begin(), values.end(), uint16_t(32760));
        std::vector<uint16_t> expected = values;
        for (uint16_t& v : expected)
            v = static_cast<uint16_t>(v - 32768);
        CColumnScatter::SubtractZero(values.data(), values.size(), 32768);
        EXPECT_EQ(values, expected);
    }
}
