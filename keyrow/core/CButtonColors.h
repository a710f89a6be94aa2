#pragma once
// The six colour slots of an owner-drawn button (pressed or hovered, normal and focused, each a
// background and a text colour) and the shade operation on one of them.

#include <array>
#include <cstddef>

#include "keyrow/core/KeyrowColor.h"

class CButtonColors
{
public:
    enum Slot {
        kPressedBackground = 0,
        kPressedText = 1,
        kNormalBackground = 2,
        kNormalText = 3,
        kFocusBackground = 4,
        kFocusText = 5,
        kSlotCount = 6
    };
    // Result codes of OffsetColor.
    enum { kColorOk = 0, kColorInvalidIndex = 3, kColorBadParam = 5 };

    CButtonColors();
    // Every pair back to the system's button face and text.
    void Reset();
    // False (and nothing changed) for a slot outside 0..5.
    bool SetColor(int slot, const KeyrowColor& colour);
    // The slot's colour; the system face for a slot outside 0..5.
    KeyrowColor GetColor(int slot) const;
    // Moves one slot by a shade: kColorInvalidIndex for a slot outside 0..5 (negative too),
    // kColorBadParam for a shade outside -255..255, else kColorOk.
    int OffsetColor(int shade, int slot);

private:
    static bool ValidSlot(int slot) { return slot >= 0 && slot < kSlotCount; }
    std::array<KeyrowColor, kSlotCount> m_slots;
};
