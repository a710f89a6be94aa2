#include "app/gui/dialogs/DluMapper.h"

#include <QFontMetrics>

namespace {

// value * numerator / denominator rounded half away from zero (the rounding of MulDiv).
int ScaleRounded(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

} // namespace

DluMapper::DluMapper(const QFont& dialogFont)
{
    const QFontMetrics metrics(dialogFont);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_cx = qMax(1, (letters / 26 + 1) / 2);
    m_cy = qMax(1, metrics.height());
}

int DluMapper::X(int dluX) const
{
    return ScaleRounded(dluX, m_cx, 4);
}

int DluMapper::Y(int dluY) const
{
    return ScaleRounded(dluY, m_cy, 8);
}

QRect DluMapper::Map(int x, int y, int cx, int cy) const
{
    // Edges are mapped, not sizes, so adjacent controls stay adjacent.
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + cx) - left, Y(y + cy) - top);
}

QSize DluMapper::BaseUnits() const
{
    return QSize(m_cx, m_cy);
}
