// Colour shades, colour slots and the quad-state colour rows.

#include <gtest/gtest.h>

#include "keyrow/core/CButtonColors.h"
#include "keyrow/core/KeyrowQuadStates.h"
#include "keyrow/core/KeyrowResources.h"

namespace {

KeyrowRgb Resolved(const CButtonColors& colors, int slot)
{
    return colors.GetColor(slot).Resolve(KeyrowSystemColors());
}

} // namespace

TEST(CButtonColors, OffsetColorKeepsEveryComponentInRange)
{
    struct Case {
        const char* name;
        KeyrowRgb start;
        int shade;
        int slot;
        int result;
        KeyrowRgb expected;
    };
    const Case cases[] = {
        {"light grey clipped at white", MakeRgb(240, 240, 240), 30, 0, 0, MakeRgb(255, 255, 255)},
        {"room for the whole shade", MakeRgb(200, 100, 0), 30, 0, 0, MakeRgb(230, 130, 30)},
        {"darker, clipped at black", MakeRgb(20, 100, 200), -30, 2, 0, MakeRgb(0, 80, 180)},
        {"slot 6 is refused", MakeRgb(10, 10, 10), 10, 6, 3, MakeRgb(10, 10, 10)},
        {"a negative slot is refused", MakeRgb(10, 10, 10), 10, -1, 3, MakeRgb(10, 10, 10)},
        {"shade above 255", MakeRgb(10, 10, 10), 256, 1, 5, MakeRgb(10, 10, 10)},
        {"shade below -255", MakeRgb(10, 10, 10), -256, 5, 5, MakeRgb(10, 10, 10)},
        {"full shade", MakeRgb(0, 0, 0), 255, 5, 0, MakeRgb(255, 255, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CButtonColors colors;
        const int slot = c.slot >= 0 && c.slot < 6 ? c.slot : 0;
        colors.SetColor(slot, KeyrowColor::Fixed(c.start));
        EXPECT_EQ(colors.OffsetColor(c.shade, c.slot), c.result);
        EXPECT_EQ(Resolved(colors, slot), c.expected);
    }
}

TEST(CButtonColors, SystemColoursFollowAPaletteChange)
{
    CButtonColors colors;
    ASSERT_EQ(colors.OffsetColor(30, CButtonColors::kPressedBackground), 0);
    KeyrowSystemColors grey;
    grey.face = MakeRgb(200, 200, 200);
    EXPECT_EQ(colors.GetColor(0).Resolve(grey), MakeRgb(230, 230, 230));
    KeyrowSystemColors dark;
    dark.face = MakeRgb(60, 60, 60);
    EXPECT_EQ(colors.GetColor(0).Resolve(dark), MakeRgb(90, 90, 90));
    EXPECT_EQ(colors.GetColor(1).Resolve(dark), dark.text);
    colors.Reset();
    EXPECT_EQ(colors.GetColor(0), KeyrowColor::Face());
}

TEST(KeyrowQuadStates, CallerValuesMapToStoredStates)
{
    const std::pair<int32_t, KeyrowQuadStates> cases[] = {
        {0, QuadStateNormal}, {1, QuadStateBlue},  {2, QuadStateRed},  {3, QuadStateBlank},
        {4, QuadStateYellow}, {5, QuadStateNone}, {9, QuadStateNone}, {-1, QuadStateNone},
        {65535, QuadStateNone},
    };
    for (const auto& [value, stored] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(MapQuadState(value), stored);
    }
}

TEST(KeyrowQuadStates, ColourRows)
{
    const KeyrowRgb face = KeyrowSystemColors().face;
    const KeyrowRgb black = MakeRgb(0, 0, 0);
    const KeyrowRgb marker = MakeRgb(1, 2, 3);
    struct Case {
        KeyrowQuadStates state;
        KeyrowRgb background;
        KeyrowRgb text;
        KeyrowRgb focusText;
    };
    const Case cases[] = {
        {QuadStateNormal, face, black, black},
        {QuadStateBlue, MakeRgb(102, 204, 255), black, marker},
        {QuadStateRed, MakeRgb(255, 0, 102), black, marker},
        {QuadStateBlank, face, face, face},
        {QuadStateNone, marker, marker, marker},
        {QuadStateYellow, MakeRgb(255, 255, 0), black, marker},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.state));
        CButtonColors colors;
        for (int slot = 0; slot < 6; ++slot)
            colors.SetColor(slot, KeyrowColor::Fixed(marker));
        ApplyQuadStateColors(colors, c.state);
        EXPECT_EQ(Resolved(colors, CButtonColors::kNormalBackground), c.background);
        EXPECT_EQ(Resolved(colors, CButtonColors::kFocusBackground), c.background);
        EXPECT_EQ(Resolved(colors, CButtonColors::kNormalText), c.text);
        EXPECT_EQ(Resolved(colors, CButtonColors::kFocusText), c.focusText);
        EXPECT_EQ(Resolved(colors, CButtonColors::kPressedBackground), marker);
        EXPECT_EQ(Resolved(colors, CButtonColors::kPressedText), marker);
    }
}

TEST(KeyrowQuadStates, ModeOneColours)
{
    CButtonColors colors;
    ApplyOnOffColors(colors, true);
    EXPECT_EQ(Resolved(colors, CButtonColors::kPressedBackground), MakeRgb(222, 0, 0));
    EXPECT_EQ(Resolved(colors, CButtonColors::kFocusBackground), MakeRgb(255, 0, 0));
    ApplyOnOffColors(colors, false);
    EXPECT_EQ(colors.GetColor(CButtonColors::kPressedBackground), KeyrowColor::Face());
    EXPECT_EQ(colors.GetColor(CButtonColors::kFocusBackground), KeyrowColor::Face());

    KeyrowSystemColors system;
    system.face = MakeRgb(212, 208, 200);
    ApplyListedOffColors(colors);
    EXPECT_EQ(colors.GetColor(0).Resolve(system), MakeRgb(242, 238, 230));
    EXPECT_EQ(colors.GetColor(2).Resolve(system), MakeRgb(182, 178, 170));
    EXPECT_EQ(colors.GetColor(4).Resolve(system), MakeRgb(242, 238, 230));
}

TEST(KeyrowResources, StringTable)
{
    EXPECT_EQ(KeyrowString(1), "Keyrow Control");
    EXPECT_EQ(KeyrowString(2), "Keyrow Property Page");
    EXPECT_EQ(KeyrowString(200), "General");
    EXPECT_EQ(KeyrowString(3), "");
}
