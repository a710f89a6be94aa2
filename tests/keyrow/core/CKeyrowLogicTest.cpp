// The control's behaviour on plain button records: selection modes, the all button, quad
// states, setters with ids beyond the per-channel arrays, and what each click fires.

#include "keyrow/core/CKeyrowLogic.h"

#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "keyrow/core/KeyrowIds.h"
#include "tests/keyrow/core/FakeButtons.h"
#include "tests/keyrow/core/KeyrowLabels.h"

namespace {

using Kind = KeyrowEvent::Kind;

struct Panel
{
    FakeButtons buttons;
    CKeyrowLogic logic{buttons};

    // A plain layout of `count` buttons, button i standing for hwid i + offset.
    void Create(int mode, int count, int16_t offset = 0)
    {
        logic.SetSelectionMode(mode);
        logic.CreateButtons(Labels(300), 0, offset == 0 ? 0 : 1, offset,
                            static_cast<int16_t>(count));
    }
    KeyrowEvent Click(int index)
    {
        buttons.ToggleAsClicked(index);
        return logic.OnChannelClicked(CKeyrowLogic::kFirstButtonId + index);
    }
    KeyrowRgb Background(int index)
    {
        return buttons.At(index).colors.GetColor(CButtonColors::kNormalBackground)
            .Resolve(KeyrowSystemColors());
    }
};

constexpr KeyrowRgb kBlue = MakeRgb(102, 204, 255);

} // namespace

TEST(CKeyrowLogic, CreateButtonsMakesOneButtonPerChannel)
{
    Panel p;
    p.logic.SetTitle("All", 1);
    p.logic.SetTitleType(1);
    p.Create(0, 10);
    ASSERT_EQ(p.buttons.ButtonCount(), 10);
    const FakeButton& b = p.buttons.At(3);
    EXPECT_EQ(b.plan.label, "E3");
    EXPECT_EQ(b.plan.commandId, 1003);
    EXPECT_EQ(b.plan.style, KeyrowButtonStyle::PushLikeCheckBox);
    EXPECT_EQ(b.plan.fontPoints, 8);
    EXPECT_EQ(b.colors.GetColor(CButtonColors::kPressedBackground), KeyrowColor::Face(30));
    EXPECT_TRUE(p.buttons.titleBold);
    EXPECT_TRUE(p.buttons.showButton);
    EXPECT_FALSE(p.buttons.showStatic);
    // Centred over 8 columns: 176 / 2 - 18 / 2 - 3.
    EXPECT_EQ(p.buttons.buttonRect, (KeyrowRect{76, 0, 100, 13}));
    EXPECT_TRUE(p.logic.IsCreated());

    p.logic.SetSelectionMode(1);
    p.logic.SetTitle("", 0);
    p.logic.CreateButtons({"1", "22", "333", "4444"}, 0, 0, 0, 4);
    EXPECT_EQ(p.buttons.At(0).plan.style, KeyrowButtonStyle::CheckBox);
    EXPECT_EQ(p.buttons.At(1).plan.fontPoints, 8);
    EXPECT_EQ(p.buttons.At(2).plan.fontPoints, 7);
    EXPECT_EQ(p.buttons.At(3).plan.fontPoints, 6);
    EXPECT_FALSE(p.buttons.showButton);
    EXPECT_FALSE(p.buttons.showStatic);
    p.logic.SetSelectionMode(2);
    p.logic.CreateButtons(Labels(4), 0, 0, 0, 4);
    EXPECT_EQ(p.buttons.At(0).plan.style, KeyrowButtonStyle::PushButton);
}

TEST(CKeyrowLogic, NameBlockIsReadWithinItsSlots)
{
    auto block = std::make_unique<KeyrowNameBlock>();
    std::memset(block.get(), 'x', sizeof(KeyrowNameBlock));   // no slot is terminated
    std::strcpy(block->names[1], "E1");
    block->count = 3;
    std::vector<std::string> names = CKeyrowLogic::NamesFromBlock(*block);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], std::string(32, 'x'));
    EXPECT_EQ(names[1], "E1");
    block->count = 100000;
    EXPECT_EQ(CKeyrowLogic::NamesFromBlock(*block).size(), 256u);
    block->count = -4;
    EXPECT_TRUE(CKeyrowLogic::NamesFromBlock(*block).empty());
}

TEST(CKeyrowLogic, TitleAndBoundingSize)
{
    Panel p;
    EXPECT_EQ(p.logic.GetTitle(), "");
    p.logic.SetTitle("MEA A", 0);
    EXPECT_EQ(p.logic.GetTitle(), "MEA A");
    p.Create(0, 64);
    KeyrowSize size = p.logic.GetBoundingSize();
    EXPECT_EQ(size.cx, 176);
    EXPECT_EQ(size.cy, 166);
    // The title windows keep their text until the next CreateButtons.
    p.logic.SetTitle("", 0);
    EXPECT_EQ(p.logic.GetTitle(), "MEA A");
    EXPECT_EQ(p.logic.GetBoundingSize().cy, 166);
    p.Create(0, 64);
    EXPECT_EQ(p.logic.GetTitle(), "");
    EXPECT_EQ(p.logic.GetBoundingSize().cy, 144);

    // Columns only changes the width: the buttons keep their rectangles.
    const KeyrowRect before = p.buttons.At(9).plan.rect;
    p.logic.SetColumns(4);
    EXPECT_TRUE(p.logic.IsModified());
    EXPECT_EQ(p.logic.GetBoundingSize().cx, 88);
    EXPECT_EQ(p.buttons.At(9).plan.rect, before);
    p.logic.SetColumns(-3);
    EXPECT_EQ(p.logic.GetBoundingSize().cx, 0);
    p.Create(0, 64);
    EXPECT_EQ(p.logic.GetColumns(), 8);
}

TEST(CKeyrowLogic, SettersKeepTheirRanges)
{
    Panel p;
    EXPECT_EQ(p.logic.GetSelectionMode(), 1);
    EXPECT_FALSE(p.logic.IsModified());
    p.logic.SetSelectionMode(7);
    EXPECT_EQ(p.logic.GetSelectionMode(), 1);
    EXPECT_TRUE(p.logic.IsModified());
    p.logic.SetSelectionMode(3);
    EXPECT_EQ(p.logic.GetSelectionMode(), 3);

    p.logic.SetQuadSelectionState(4);
    EXPECT_EQ(p.logic.QuadSelectionState(), QuadStateYellow);
    p.logic.SetQuadSelectionState(9);
    EXPECT_EQ(p.logic.QuadSelectionState(), QuadStateNone);
    p.logic.SetToggleDefaultQuadState(-2);
    EXPECT_EQ(p.logic.ToggleDefaultQuadState(), QuadStateNone);

    // Title type 5 is ignored: the title stays a static on top.
    p.logic.SetTitleType(5);
    p.logic.SetTitle("T", 0);
    p.Create(0, 4);
    EXPECT_TRUE(p.buttons.showStatic);
    EXPECT_EQ(p.buttons.staticRect, (KeyrowRect{0, 0, 88, 18}));
}

TEST(CKeyrowLogic, HwidQueries)
{
    Panel p;
    EXPECT_EQ(p.logic.GetHWIDFromIndex(0), 0);
    p.logic.CreateButtons(Labels(64), 1, 0, 0, 64);
    EXPECT_EQ(p.logic.GetHWIDFromIndex(7), 61);
    EXPECT_EQ(p.logic.GetHWIDFromIndex(64), 0);
    EXPECT_EQ(p.logic.GetHWIDFromIndex(65535), 0);
    EXPECT_EQ(p.logic.GetHWIDFromIndex(64), 0);   // asking did not add the index

    EXPECT_EQ(p.logic.GetChannelState(61), 0);
    EXPECT_EQ(p.logic.GetChannelState(64), -1);
    EXPECT_EQ(p.logic.GetChannelState(-1), -1);
    EXPECT_EQ(p.logic.GetChannelState(70000), -1);
    p.logic.SelectChannels({61}, 1);
    EXPECT_EQ(p.logic.GetChannelState(61), 1);
}

TEST(CKeyrowLogic, ModeZeroTogglesAndReportsTheCheck)
{
    Panel p;
    p.Create(0, 4);
    KeyrowEvent e = p.Click(2);
    EXPECT_EQ(e.kind, Kind::ButtonClicked);
    EXPECT_TRUE(e.selected);
    EXPECT_EQ(e.hwid, 2);
    e = p.Click(2);
    EXPECT_FALSE(e.selected);
    // Ids beyond the buttons, and the title's id, fire nothing.
    EXPECT_EQ(p.logic.OnChannelClicked(1004).kind, Kind::None);
    EXPECT_EQ(p.logic.OnChannelClicked(999).kind, Kind::None);
    EXPECT_EQ(p.logic.OnChannelClicked(1).kind, Kind::None);
}

TEST(CKeyrowLogic, ModeOneNeedsListedChannels)
{
    Panel p;
    p.Create(1, 4);
    // Never listed: nothing fires and the button stays unchecked.
    KeyrowEvent e = p.Click(1);
    EXPECT_EQ(e.kind, Kind::None);
    EXPECT_EQ(p.buttons.At(1).check, 0);

    p.logic.SelectChannels({1, 3}, 0);
    EXPECT_TRUE(p.logic.ExistsOf(1));
    EXPECT_EQ(p.buttons.At(1).check, 1);
    EXPECT_EQ(p.buttons.At(0).check, 0);
    EXPECT_EQ(p.buttons.At(1).colors.GetColor(CButtonColors::kNormalBackground),
              KeyrowColor::Face(-30));

    e = p.Click(1);
    EXPECT_EQ(e.kind, Kind::ButtonStateChanged);
    EXPECT_EQ(e.state, 1);
    EXPECT_EQ(p.buttons.At(1).check, 1);   // the colours carry on/off, the check stays 1
    EXPECT_EQ(p.buttons.At(1).colors.GetColor(CButtonColors::kPressedBackground)
                  .Resolve(KeyrowSystemColors()), MakeRgb(222, 0, 0));
    e = p.Click(1);
    EXPECT_EQ(e.state, 0);
    EXPECT_EQ(p.buttons.At(1).check, 1);
    EXPECT_EQ(p.buttons.At(1).colors.GetColor(CButtonColors::kPressedBackground),
              KeyrowColor::Face());
}

TEST(CKeyrowLogic, ModeTwoPaintsTheSelectionState)
{
    Panel p;
    p.Create(2, 4);
    p.logic.SetQuadSelectionState(4);   // yellow
    KeyrowEvent e = p.Click(0);
    EXPECT_EQ(e.kind, Kind::ButtonClicked);
    EXPECT_FALSE(e.selected);   // push buttons keep no check
    EXPECT_EQ(p.logic.QuadStateOf(0), QuadStateYellow);
    EXPECT_EQ(p.Background(0), MakeRgb(255, 255, 0));

    p.logic.SetQuadSelectionState(9);   // none: colours stay as they are
    p.Click(0);
    EXPECT_EQ(p.logic.QuadStateOf(0), QuadStateNone);
    EXPECT_EQ(p.Background(0), MakeRgb(255, 255, 0));
}

TEST(CKeyrowLogic, ModeThreeTogglesBetweenSelectionAndDefault)
{
    Panel p;
    p.Create(3, 4);
    p.logic.SetQuadSelectionState(1);
    p.logic.SetToggleDefaultQuadState(0);
    const struct { int32_t state; KeyrowRgb background; } expected[] = {
        {1, kBlue}, {0, KeyrowSystemColors().face}, {1, kBlue}};
    for (const auto& step : expected) {
        const KeyrowEvent e = p.Click(2);
        EXPECT_EQ(e.kind, Kind::ButtonStateChanged);
        EXPECT_EQ(e.state, step.state);
        EXPECT_EQ(e.hwid, 2);
        EXPECT_EQ(p.Background(2), step.background);
    }
}

TEST(CKeyrowLogic, AllButton)
{
    Panel p;
    p.Create(0, 3);
    for (int i = 0; i < 3; ++i)
        p.Click(i);
    KeyrowEvent e = p.logic.OnAllClicked();
    EXPECT_EQ(e.kind, Kind::AllClicked);
    EXPECT_FALSE(e.selected);
    EXPECT_EQ(e.hwids, (std::vector<uint16_t>{0, 1, 2}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(p.buttons.At(i).check, 0);

    p.Click(0);
    p.Click(1);
    e = p.logic.OnAllClicked();
    EXPECT_TRUE(e.selected);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(p.buttons.At(i).check, 1);

    // Only shown buttons take part.
    p.logic.ShowChannels({0, 2, 250});
    EXPECT_FALSE(p.buttons.At(1).shown);
    e = p.logic.OnAllClicked();
    EXPECT_EQ(e.hwids, (std::vector<uint16_t>{0, 2}));
    EXPECT_FALSE(e.selected);
    EXPECT_EQ(p.buttons.At(1).check, 1);

    // Once a "V" method ran, the array form fires, and stays.
    p.logic.SetVFlag();
    EXPECT_EQ(p.logic.OnAllClicked().kind, Kind::AllClickedV);

    Panel quad;
    quad.Create(2, 3);
    quad.logic.SetQuadSelectionState(2);
    e = quad.logic.OnAllClicked();
    EXPECT_TRUE(e.selected);
    EXPECT_EQ(quad.logic.QuadStateOf(1), QuadStateRed);
    quad.logic.ShowChannels({});
    EXPECT_FALSE(quad.logic.OnAllClicked().selected);
    EXPECT_TRUE(quad.logic.OnAllClicked().hwids.empty());
}

TEST(CKeyrowLogic, QuadStatesTakeTheShorterList)
{
    Panel p;
    p.Create(2, 4);
    p.logic.ApplyQuadStates({0, 1, 2}, {1, 4});
    EXPECT_EQ(p.logic.QuadStateOf(0), QuadStateBlue);
    EXPECT_EQ(p.logic.QuadStateOf(1), QuadStateYellow);
    EXPECT_EQ(p.logic.QuadStateOf(2), QuadStateNormal);
    EXPECT_TRUE(p.logic.ExistsOf(1));
    EXPECT_FALSE(p.logic.ExistsOf(2));
    p.logic.ApplyQuadStates({3}, {});
    EXPECT_FALSE(p.logic.ExistsOf(3));
    // States survive a new set of buttons.
    p.Create(2, 4);
    EXPECT_EQ(p.logic.QuadStateOf(0), QuadStateBlue);
}

TEST(CKeyrowLogic, HwidsBeyondTheArraysHaveNoState)
{
    for (int mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        Panel p;
        p.Create(mode, 3, 299);   // hwids 299, 300, 301
        EXPECT_EQ(p.logic.GetHWIDFromIndex(1), 300);
        p.logic.SelectChannels({300, 261, 65535}, 0);
        p.logic.ShowChannels({300});
        p.logic.ApplyQuadStates({300}, {1});
        EXPECT_FALSE(p.logic.ExistsOf(300));
        EXPECT_EQ(p.logic.QuadStateOf(300), QuadStateNone);
        const KeyrowEvent e = p.Click(1);
        if (mode == 0 || mode == 2) {
            EXPECT_EQ(e.kind, Kind::ButtonClicked);
            EXPECT_EQ(e.hwid, 300);
        } else {
            EXPECT_EQ(e.kind, Kind::None);
        }
        const KeyrowEvent all = p.logic.OnAllClicked();
        EXPECT_EQ(all.hwids, (std::vector<uint16_t>{300}));
    }
}

TEST(CKeyrowLogic, EnableControlOnceButtonsExist)
{
    Panel p;
    p.logic.EnableControl(false);
    EXPECT_TRUE(p.buttons.titleEnabled);
    p.Create(0, 3);
    p.logic.EnableControl(false);
    EXPECT_FALSE(p.buttons.At(2).enabled);
    EXPECT_FALSE(p.buttons.titleEnabled);
    p.logic.EnableControl(true);
    EXPECT_TRUE(p.buttons.At(2).enabled);
}

TEST(CKeyrowLogic, NoWindowMeansNoButtons)
{
    // A panel whose window is gone reports no buttons; every call stays harmless.
    struct Gone : FakeButtons {
        void AddButton(const KeyrowButtonPlan&) override {}
    } gone;
    CKeyrowLogic logic(gone);
    logic.CreateButtons(Labels(10), 0, 0, 0, 10);
    logic.SelectChannels({1}, 0);
    logic.ShowChannels({1});
    logic.ApplyQuadStates({1}, {1});
    EXPECT_EQ(logic.OnChannelClicked(1001).kind, Kind::None);
    EXPECT_EQ(logic.GetChannelState(1), -1);
    EXPECT_EQ(logic.GetBoundingSize().cx, 0);
}
