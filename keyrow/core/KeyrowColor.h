#pragma once
// Colours of the control's buttons: plain RGB values, the one-shade movement that keeps a colour's
// proportions, and colours that follow the system's button colours through a palette change.

#include <cstdint>

struct KeyrowRgb
{
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
};
bool operator==(const KeyrowRgb& a, const KeyrowRgb& b);
constexpr KeyrowRgb MakeRgb(uint8_t r, uint8_t g, uint8_t b) { return KeyrowRgb{r, g, b}; }

// The system's button-face and button-text colours (BTNFACE, BTNTEXT).
struct KeyrowSystemColors
{
    KeyrowRgb face = MakeRgb(240, 240, 240);
    KeyrowRgb text = MakeRgb(0, 0, 0);
};

// Moves all three components by one amount: for a positive shade the smallest of the shade and
// each component's room to 255, for a negative one the largest of the shade and each component's
// negated value, so no component leaves 0..255. The caller keeps shade within -255..255.
KeyrowRgb ShadeColor(const KeyrowRgb& colour, int shade);

// A colour slot's value: a fixed RGB, or the system face or text colour moved by a shade. The
// system-based forms are resolved when the button paints, so a palette change carries them over.
class KeyrowColor
{
public:
    enum class Source { Face, Text, Fixed };

    static KeyrowColor Face(int shade = 0) { return KeyrowColor(Source::Face, KeyrowRgb(), shade); }
    static KeyrowColor Text() { return KeyrowColor(Source::Text, KeyrowRgb(), 0); }
    static KeyrowColor Fixed(const KeyrowRgb& rgb) { return KeyrowColor(Source::Fixed, rgb, 0); }

    KeyrowRgb Resolve(const KeyrowSystemColors& system) const;
    // Moves the colour by a shade (-255..255): a fixed colour at once, a system-based one by
    // adding to its shade (kept within -255..255).
    void Offset(int shade);

    bool operator==(const KeyrowColor& other) const;

private:
    KeyrowColor(Source source, const KeyrowRgb& rgb, int shade)
        : m_source(source), m_rgb(rgb), m_shade(shade)
    {
    }
    Source m_source;
    KeyrowRgb m_rgb;
    int m_shade;
};
