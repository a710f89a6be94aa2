#pragma once
// Dialog units to pixels, from the dialog font, so dialogs keep their templates' layouts.

#include <QFont>
#include <QRect>
#include <QSize>

class DluMapper {
public:
    // Base units of the font: cx = the average width of the 52 Latin letters (rounded), cy = the
    // font's line height.
    explicit DluMapper(const QFont& dialogFont);

    // Horizontal and vertical dialog units to pixels: x * cx / 4 and y * cy / 8, rounded to the
    // nearest pixel (negative values round symmetrically).
    int X(int dluX) const;
    int Y(int dluY) const;
    // A template rectangle (left, top, width, height in dialog units) in pixels.
    QRect Map(int x, int y, int cx, int cy) const;
    QSize BaseUnits() const;

private:
    int m_cx = 1;
    int m_cy = 1;
};
