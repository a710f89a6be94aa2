// Colour rows of the quad states and of mode 1.

#include "keyrow/core/KeyrowQuadStates.h"

namespace {

constexpr KeyrowRgb kBlack = MakeRgb(0, 0, 0);

void SetRow(CButtonColors& colors, const KeyrowColor& background, const KeyrowColor& text,
            const KeyrowColor* focusText)
{
    colors.SetColor(CButtonColors::kNormalBackground, background);
    colors.SetColor(CButtonColors::kNormalText, text);
    colors.SetColor(CButtonColors::kFocusBackground, background);
    if (focusText)
        colors.SetColor(CButtonColors::kFocusText, *focusText);
}

} // namespace

KeyrowQuadStates MapQuadState(int32_t value)
{
    if (value >= QuadStateNormal && value <= QuadStateBlank)
        return static_cast<KeyrowQuadStates>(value);
    if (value == QuadStateNone)
        return QuadStateYellow;
    return QuadStateNone;
}

void ApplyQuadStateColors(CButtonColors& colors, KeyrowQuadStates state)
{
    const KeyrowColor black = KeyrowColor::Fixed(kBlack);
    const KeyrowColor face = KeyrowColor::Face();
    switch (state) {
    case QuadStateNormal:
        SetRow(colors, face, black, &black);
        break;
    case QuadStateBlue:
        SetRow(colors, KeyrowColor::Fixed(MakeRgb(102, 204, 255)), black, nullptr);
        break;
    case QuadStateRed:
        SetRow(colors, KeyrowColor::Fixed(MakeRgb(255, 0, 102)), black, nullptr);
        break;
    case QuadStateBlank:
        SetRow(colors, face, face, &face);
        break;
    case QuadStateYellow:
        SetRow(colors, KeyrowColor::Fixed(MakeRgb(255, 255, 0)), black, nullptr);
        break;
    case QuadStateNone:
        break;
    }
}

void ApplyOnOffColors(CButtonColors& colors, bool on)
{
    colors.SetColor(CButtonColors::kPressedBackground,
                    on ? KeyrowColor::Fixed(MakeRgb(222, 0, 0)) : KeyrowColor::Face());
    colors.SetColor(CButtonColors::kFocusBackground,
                    on ? KeyrowColor::Fixed(MakeRgb(255, 0, 0)) : KeyrowColor::Face());
}

void ApplyListedOffColors(CButtonColors& colors)
{
    colors.SetColor(CButtonColors::kPressedBackground, KeyrowColor::Face(30));
    colors.SetColor(CButtonColors::kNormalBackground, KeyrowColor::Face(-30));
    colors.SetColor(CButtonColors::kFocusBackground, KeyrowColor::Face(30));
}
