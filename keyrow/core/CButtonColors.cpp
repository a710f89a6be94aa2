// The colour slots of an owner-drawn button.

#include "keyrow/core/CButtonColors.h"

CButtonColors::CButtonColors()
    : m_slots{KeyrowColor::Face(), KeyrowColor::Text(), KeyrowColor::Face(),
              KeyrowColor::Text(), KeyrowColor::Face(), KeyrowColor::Text()}
{
}

void CButtonColors::Reset()
{
    *this = CButtonColors();
}

bool CButtonColors::SetColor(int slot, const KeyrowColor& colour)
{
    if (!ValidSlot(slot))
        return false;
    m_slots[static_cast<size_t>(slot)] = colour;
    return true;
}

KeyrowColor CButtonColors::GetColor(int slot) const
{
    return ValidSlot(slot) ? m_slots[static_cast<size_t>(slot)] : KeyrowColor::Face();
}

int CButtonColors::OffsetColor(int shade, int slot)
{
    if (!ValidSlot(slot))
        return kColorInvalidIndex;
    if (shade < -255 || shade > 255)
        return kColorBadParam;
    m_slots[static_cast<size_t>(slot)].Offset(shade);
    return kColorOk;
}
