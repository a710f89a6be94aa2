#pragma once
// What the control's logic asks of its buttons and title windows. The widgets implement it; the
// logic's tests implement it with plain records. Every index is checked by the caller against
// ButtonCount(); an implementation whose window is gone reports no buttons.

#include <string>

#include "keyrow/core/CButtonColors.h"
#include "keyrow/core/CKeyrowLayout.h"

// The window styles of the channel buttons by selection mode.
enum class KeyrowButtonStyle {
    PushLikeCheckBox,   // mode 0: an auto check box drawn as a push button
    CheckBox,           // mode 1
    PushButton          // modes 2 and 3: keeps no check state
};

// What a channel button is created with.
struct KeyrowButtonPlan
{
    std::string label;
    KeyrowButtonStyle style = KeyrowButtonStyle::PushButton;
    KeyrowRect rect;
    int commandId = 0;
    int fontPoints = 8;
};

class IKeyrowButtons
{
public:
    virtual ~IKeyrowButtons() = default;

    // Destroys every channel button and both title windows.
    virtual void DestroyButtons() = 0;
    // Creates the title static and the title ("all") button, hidden, with their text and font.
    virtual void CreateTitleWindows(const std::string& text, bool bold) = 0;
    // The extent of a text in the title font.
    virtual KeyrowSize TitleTextExtent(const std::string& text, bool bold) const = 0;
    // Shows or hides each title window; a shown one is moved to its rectangle.
    virtual void PlaceTitle(bool showStatic, const KeyrowRect& staticRect, bool showButton,
                            const KeyrowRect& buttonRect) = 0;
    virtual void EnableTitleButton(bool enable) = 0;

    // Appends a visible, 3-D channel button.
    virtual void AddButton(const KeyrowButtonPlan& plan) = 0;
    virtual int ButtonCount() const = 0;
    virtual void MoveButton(int index, const KeyrowRect& rect) = 0;
    virtual bool IsCheckBox(int index) const = 0;
    virtual int GetCheck(int index) const = 0;
    // Ignored by push buttons.
    virtual void SetCheck(int index, int check) = 0;
    virtual bool IsShown(int index) const = 0;
    virtual void SetShown(int index, bool shown) = 0;
    virtual void SetEnabled(int index, bool enabled) = 0;
    // The button's colour slots; the button repaints after ColorsChanged.
    virtual CButtonColors& Colors(int index) = 0;
    virtual void ColorsChanged(int index) = 0;
    virtual void Repaint() = 0;
};
