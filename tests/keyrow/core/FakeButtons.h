#pragma once
// Plain records standing in for the control's button widgets in the logic tests.

#include <vector>

#include "keyrow/core/IKeyrowButtons.h"

struct FakeButton
{
    KeyrowButtonPlan plan;
    int check = 0;
    bool shown = true;
    bool enabled = true;
    CButtonColors colors;
};

class FakeButtons : public IKeyrowButtons
{
public:
    void DestroyButtons() override
    {
        buttons.clear();
        titleCreated = false;
        ++destroyCount;
    }
    void CreateTitleWindows(const std::string& text, bool bold) override
    {
        titleCreated = true;
        titleText = text;
        titleBold = bold;
    }
    KeyrowSize TitleTextExtent(const std::string& text, bool) const override
    {
        return KeyrowSize{static_cast<int32_t>(text.size()) * 6, 13};
    }
    void PlaceTitle(bool showStatic_, const KeyrowRect& staticRect_, bool showButton_,
                    const KeyrowRect& buttonRect_) override
    {
        showStatic = showStatic_;
        staticRect = staticRect_;
        showButton = showButton_;
        buttonRect = buttonRect_;
    }
    void EnableTitleButton(bool enable) override { titleEnabled = enable; }
    void AddButton(const KeyrowButtonPlan& plan) override
    {
        FakeButton b;
        b.plan = plan;
        buttons.push_back(b);
    }
    int ButtonCount() const override { return static_cast<int>(buttons.size()); }
    void MoveButton(int index, const KeyrowRect& rect) override { At(index).plan.rect = rect; }
    bool IsCheckBox(int index) const override
    {
        return buttons.at(static_cast<size_t>(index)).plan.style != KeyrowButtonStyle::PushButton;
    }
    int GetCheck(int index) const override { return buttons.at(static_cast<size_t>(index)).check; }
    void SetCheck(int index, int check) override
    {
        if (IsCheckBox(index))
            At(index).check = check ? 1 : 0;
    }
    bool IsShown(int index) const override { return buttons.at(static_cast<size_t>(index)).shown; }
    void SetShown(int index, bool shown) override { At(index).shown = shown; }
    void SetEnabled(int index, bool enabled) override { At(index).enabled = enabled; }
    CButtonColors& Colors(int index) override { return At(index).colors; }
    void ColorsChanged(int) override {}
    void Repaint() override {}

    // What the owner-drawn button does on a click before the control's handler runs.
    void ToggleAsClicked(int index)
    {
        if (IsCheckBox(index))
            At(index).check = At(index).check ? 0 : 1;
    }
    FakeButton& At(int index) { return buttons.at(static_cast<size_t>(index)); }

    std::vector<FakeButton> buttons;
    bool titleCreated = false;
    std::string titleText;
    bool titleBold = false;
    bool showStatic = false;
    bool showButton = false;
    bool titleEnabled = true;
    KeyrowRect staticRect;
    KeyrowRect buttonRect;
    int destroyCount = 0;
};
