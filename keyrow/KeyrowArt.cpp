// Drawing of the control's icon and toolbox bitmap.

#include "keyrow/KeyrowArt.h"

#include <QPainter>

namespace {

// A 3 x 3 panel of raised keys in a w x h box; the centre key is lit red.
QPixmap PanelPixmap(int w, int h)
{
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const int cellW = w / 3;
    const int cellH = h / 3;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const QRect key(c * cellW, r * cellH, cellW - 1, cellH - 1);
            const bool lit = r == 1 && c == 1;
            p.fillRect(key, lit ? QColor(222, 0, 0) : QColor(212, 208, 200));
            p.setPen(lit ? QColor(128, 0, 0) : QColor(64, 64, 64));
            p.drawLine(key.bottomLeft(), key.bottomRight());
            p.drawLine(key.topRight(), key.bottomRight());
            p.setPen(Qt::white);
            p.drawLine(key.topLeft(), key.topRight());
            p.drawLine(key.topLeft(), key.bottomLeft());
        }
    }
    return pixmap;
}

} // namespace

QPixmap KeyrowIconPixmap(int size)
{
    return PanelPixmap(size, size);
}

QIcon KeyrowIcon()
{
    QIcon icon;
    icon.addPixmap(KeyrowIconPixmap(16));
    icon.addPixmap(KeyrowIconPixmap(32));
    return icon;
}

QPixmap KeyrowToolboxBitmap()
{
    return PanelPixmap(16, 15);
}
