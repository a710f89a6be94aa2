#pragma once
// Dialog units of the control's two dialogs: x * cx / 4 and y * cy / 8 from the dialog font's
// average character width and height, as the dialog templates are measured.

#include <QFont>
#include <QRect>

class KeyrowDialogUnits
{
public:
    explicit KeyrowDialogUnits(const QFont& font);
    int X(int dluX) const { return dluX * m_cx / 4; }
    int Y(int dluY) const { return dluY * m_cy / 8; }
    QRect Map(int x, int y, int cx, int cy) const { return QRect(X(x), Y(y), X(cx), Y(cy)); }

private:
    int m_cx;
    int m_cy;
};
