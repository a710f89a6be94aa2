// Channel maps, button rectangles, labels and sizes of the control's layouts.

#include "keyrow/core/CKeyrowLayout.h"

#include <string>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> NumberedNames(int count, const char* prefix = "N")
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(prefix + std::to_string(i));
    return names;
}

CKeyrowLayout Built(int32_t layoutType, int32_t subType, int16_t offset, int16_t channels,
                    std::vector<std::string> names = NumberedNames(300),
                    std::string title = std::string(), int32_t titleType = 0)
{
    KeyrowLayoutRequest request;
    request.names = std::move(names);
    request.layoutType = layoutType;
    request.subType = subType;
    request.offset = offset;
    request.numChannels = channels;
    request.titleText = std::move(title);
    request.titleType = titleType;
    CKeyrowLayout layout;
    layout.Build(request);
    return layout;
}

uint16_t HwidOf(const CKeyrowLayout& layout, int index)
{
    uint16_t hwid = 0xFFFF;
    EXPECT_TRUE(layout.HwidOfIndex(index, &hwid)) << "index " << index;
    return hwid;
}

std::string Descriptor(const std::string& name, int hwid, int subtype, int show, int dx, int dy,
                       int dxextend = 100, int dyextend = 100)
{
    return name + ":name=" + name + ":hwid=" + std::to_string(hwid) + ":subtype="
           + std::to_string(subtype) + ":show=" + std::to_string(show) + ":dx="
           + std::to_string(dx) + ":dy=" + std::to_string(dy) + ":dxextend="
           + std::to_string(dxextend) + ":dyextend=" + std::to_string(dyextend);
}

} // namespace

TEST(CKeyrowLayout, GridSizesAndColumns)
{
    const CKeyrowLayout sixtyFour = Built(0, 0, 0, 64);
    EXPECT_EQ(sixtyFour.Columns(), 8);
    EXPECT_EQ(sixtyFour.Rows(), 8);
    KeyrowSize size = sixtyFour.BoundingSize(64, false);
    EXPECT_EQ(size.cx, 176);
    EXPECT_EQ(size.cy, 144);
    size = sixtyFour.BoundingSize(64, true);
    EXPECT_EQ(size.cy, 144 + 22);
    // Fewer buttons than columns: only as wide as the buttons.
    EXPECT_EQ(Built(0, 0, 0, 3).BoundingSize(3, false).cx, 66);

    const CKeyrowLayout none = Built(0, 0, 0, 0);
    EXPECT_EQ(none.Rows(), 1);
    EXPECT_EQ(none.ButtonCount(), 0);
    size = none.BoundingSize(0, true);
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, 0);

    EXPECT_EQ(Built(0, 0, 0, 128).Columns(), 8);
    EXPECT_EQ(Built(0, 0, 0, 129).Columns(), 16);
    EXPECT_EQ(Built(0, 0, 0, 129).Rows(), 9);
    EXPECT_EQ(Built(0, 0, 0, -5).ButtonCount(), 0);
}

TEST(CKeyrowLayout, GridRectangles)
{
    const CKeyrowLayout layout = Built(0, 0, 0, 20);
    EXPECT_EQ(layout.ButtonRect(0), (KeyrowRect{0, 0, 20, 16}));
    EXPECT_EQ(layout.ButtonRect(9), (KeyrowRect{22, 18, 42, 34}));
    EXPECT_EQ(layout.ButtonRect(19), (KeyrowRect{66, 36, 86, 52}));
    EXPECT_EQ(layout.ButtonRect(-1), KeyrowRect());
    EXPECT_EQ(layout.ButtonRect(100000), KeyrowRect());

    // A static title on top pushes the buttons down by its height; a bottom title does not.
    EXPECT_EQ(Built(0, 0, 0, 20, NumberedNames(20), "All", 0).ButtonRect(0).top, 18);
    EXPECT_EQ(Built(0, 0, 0, 20, NumberedNames(20), "All", 1).ButtonRect(0).top, 18);
    EXPECT_EQ(Built(0, 0, 0, 20, NumberedNames(20), "All", 2).ButtonRect(0).top, 0);
    EXPECT_EQ(Built(0, 0, 0, 20, NumberedNames(20), "", 0).ButtonRect(0).top, 0);
    // The double array's first panel with a title button starts 5 pixels lower.
    EXPECT_EQ(Built(2, 0, 0, 64, NumberedNames(128), "MEA A", 1).ButtonRect(0).top, 23);
    EXPECT_EQ(Built(2, 0, 0, 64, NumberedNames(128), "MEA A", 0).ButtonRect(0).top, 18);
    EXPECT_EQ(Built(1, 0, 0, 64, NumberedNames(128), "MEA A", 1).ButtonRect(0).top, 18);
}

TEST(CKeyrowLayout, ElectrodeArrayMaps)
{
    const CKeyrowLayout single = Built(1, 0, 0, 64);
    EXPECT_EQ(HwidOf(single, 0), 60);
    EXPECT_EQ(HwidOf(single, 7), 61);
    EXPECT_EQ(HwidOf(single, 56), 62);
    EXPECT_EQ(HwidOf(single, 63), 63);
    EXPECT_EQ(HwidOf(single, 35), 3);
    EXPECT_EQ(single.Label(0), "N60");   // names are indexed by hwid
    uint16_t index = 0;
    ASSERT_TRUE(single.IndexOfHwid(0, &index));
    EXPECT_EQ(index, 51);

    // All 64 cells are mapped whatever the channel count.
    const CKeyrowLayout few = Built(1, 0, 0, 10);
    EXPECT_EQ(HwidOf(few, 63), 63);
    EXPECT_EQ(few.ButtonCount(), 10);

    const CKeyrowLayout second = Built(2, 0, 64, 64);
    EXPECT_EQ(HwidOf(second, 0), 124);
    EXPECT_EQ(HwidOf(second, 35), 67);
    EXPECT_EQ(second.Label(35), "N67");

    const CKeyrowLayout analog = Built(2, 1, 0, 7);
    const uint16_t expected[] = {60, 61, 62, 63, 124, 125, 126};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(HwidOf(analog, i), expected[i]);
    EXPECT_EQ(HwidOf(Built(1, 1, 0, 3), 2), 62);
    EXPECT_EQ(HwidOf(Built(1, 2, 0, 1), 0), 63);
    EXPECT_EQ(HwidOf(Built(2, 2, 0, 1), 0), 127);
}

TEST(CKeyrowLayout, PlainMapsAndMissingNames)
{
    const CKeyrowLayout electrodes = Built(0, 0, 50, 4);
    EXPECT_EQ(HwidOf(electrodes, 3), 3);   // sub-type 0 ignores the offset
    const CKeyrowLayout analog = Built(0, 1, 60, 4);
    EXPECT_EQ(HwidOf(analog, 3), 63);

    // 256 names, hwids up to 260: the labels past the list are empty.
    const CKeyrowLayout beyond = Built(0, 1, 250, 11, NumberedNames(256));
    EXPECT_EQ(beyond.Label(5), "N255");
    EXPECT_EQ(beyond.Label(6), "");
    EXPECT_EQ(HwidOf(beyond, 10), 260);

    // A negative offset gives the first buttons no hwid at all.
    const CKeyrowLayout negative = Built(0, 2, -2, 4);
    uint16_t hwid = 0;
    EXPECT_FALSE(negative.HwidOfIndex(0, &hwid));
    EXPECT_FALSE(negative.HwidOfIndex(1, &hwid));
    EXPECT_EQ(HwidOf(negative, 2), 0);
    EXPECT_EQ(negative.Label(0), "");

    // An unknown sub-type or layout type maps nothing, but still lays out its buttons.
    const CKeyrowLayout unknown = Built(7, 0, 0, 4);
    EXPECT_EQ(unknown.ButtonCount(), 4);
    EXPECT_FALSE(unknown.HwidOfIndex(0, &hwid));
    EXPECT_FALSE(Built(0, 5, 0, 4).HwidOfIndex(0, &hwid));
}

TEST(CKeyrowLayout, FreeLayoutFromDescriptors)
{
    const std::vector<std::string> descriptors = {
        Descriptor("A", 10, 0, 1, 0, 0),
        Descriptor("B", 11, 0, 1, 100, 0),
        Descriptor("C", 12, 0, 1, 200, 100, 50, 200),
        Descriptor("X", -1, 0, 1, 300, 0),       // bit 15 set: no channel
        Descriptor("D", 40000, 0, 1, 0, 300),    // bit 15 set
        Descriptor("An", 13, 1, 1, 900, 900),    // another sub-type: not counted in the size
        Descriptor("Hid", 14, 0, 0, 900, 900),   // not shown: not counted
    };
    const CKeyrowLayout layout = Built(3, 0, 0, 7, descriptors);
    EXPECT_EQ(layout.ButtonCount(), 7);
    EXPECT_EQ(layout.ButtonRect(0), (KeyrowRect{0, 0, 20, 16}));
    EXPECT_EQ(layout.ButtonRect(1), (KeyrowRect{22, 0, 42, 16}));
    EXPECT_EQ(layout.ButtonRect(2), (KeyrowRect{44, 18, 54, 50}));
    EXPECT_EQ(layout.Columns(), 4);
    EXPECT_EQ(layout.Rows(), 4);
    EXPECT_EQ(HwidOf(layout, 1), 11);
    EXPECT_EQ(layout.Label(1), "B");
    uint16_t hwid = 0;
    EXPECT_FALSE(layout.HwidOfIndex(3, &hwid));
    EXPECT_FALSE(layout.HwidOfIndex(4, &hwid));
    EXPECT_EQ(layout.Label(3), "");

    // Fewer descriptors than channels: no more buttons than descriptors.
    EXPECT_EQ(Built(3, 0, 0, 60, descriptors).ButtonCount(), 7);
    EXPECT_EQ(Built(3, 0, 0, 2, descriptors).ButtonCount(), 2);
    EXPECT_EQ(Built(3, 0, 0, 5, {}).ButtonCount(), 0);

    // Out-of-range cell values stay bounded.
    const CKeyrowLayout huge = Built(3, 0, 0, 1, {"Z:hwid=1:show=1:dx=99999999999999:dxextend=-99999999999"});
    EXPECT_EQ(huge.ButtonRect(0).left, 22 * 1000);
    EXPECT_EQ(huge.ButtonRect(0).Width(), -20 * 1000);
    EXPECT_EQ(huge.Columns(), 0);
}

TEST(CKeyrowLayout, TitleRectangles)
{
    const KeyrowSize bounds{176, 166};
    const KeyrowSize text{30, 13};
    EXPECT_EQ(CKeyrowLayout::TitleRect(0, bounds, text), (KeyrowRect{0, 0, 176, 18}));
    EXPECT_EQ(CKeyrowLayout::TitleRect(1, bounds, text), (KeyrowRect{70, 0, 106, 13}));
    EXPECT_EQ(CKeyrowLayout::TitleRect(2, bounds, text), (KeyrowRect{70, 153, 106, 166}));
}
