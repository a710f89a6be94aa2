// Dialog-unit mapping from a font's character size.

#include "keyrow/KeyrowDialogUnits.h"

#include <QFontMetrics>

KeyrowDialogUnits::KeyrowDialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_cx = (metrics.horizontalAdvance(kLetters) / 26 + 1) / 2;
    m_cy = metrics.height();
    if (m_cx <= 0)
        m_cx = 6;
    if (m_cy <= 0)
        m_cy = 13;
}
