#pragma once
// The control's own artwork, drawn in code: its icon (32 x 32 and 16 x 16) and the 16 x 15
// toolbox bitmap, a small panel of buttons with one of them lit.

#include <QIcon>
#include <QPixmap>

QPixmap KeyrowIconPixmap(int size);
QIcon KeyrowIcon();
QPixmap KeyrowToolboxBitmap();
