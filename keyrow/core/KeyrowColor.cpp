// Colour arithmetic of the control's buttons.

#include "keyrow/core/KeyrowColor.h"

#include <algorithm>

bool operator==(const KeyrowRgb& a, const KeyrowRgb& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

KeyrowRgb ShadeColor(const KeyrowRgb& colour, int shade)
{
    const int components[3] = {colour.r, colour.g, colour.b};
    int move = shade;
    for (int c : components) {
        if (shade > 0)
            move = std::min(move, 255 - c);
        else
            move = std::max(move, -c);
    }
    auto moved = [move](int c) { return static_cast<uint8_t>(std::clamp(c + move, 0, 255)); };
    return MakeRgb(moved(colour.r), moved(colour.g), moved(colour.b));
}

KeyrowRgb KeyrowColor::Resolve(const KeyrowSystemColors& system) const
{
    switch (m_source) {
    case Source::Face:
        return ShadeColor(system.face, m_shade);
    case Source::Text:
        return ShadeColor(system.text, m_shade);
    case Source::Fixed:
        break;
    }
    return m_rgb;
}

void KeyrowColor::Offset(int shade)
{
    if (m_source == Source::Fixed)
        m_rgb = ShadeColor(m_rgb, shade);
    else
        m_shade = std::clamp(m_shade + shade, -255, 255);
}

bool KeyrowColor::operator==(const KeyrowColor& other) const
{
    return m_source == other.m_source && m_shade == other.m_shade
           && (m_source != Source::Fixed || m_rgb == other.m_rgb);
}
