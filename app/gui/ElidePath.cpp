#include "app/gui/ElidePath.h"

namespace {

const QString kEllipsis = QStringLiteral("...");

bool Fits(const QFontMetrics& metrics, const QString& text, int width)
{
    return metrics.horizontalAdvance(text) <= width;
}

} // namespace

QString ElidePath(const QString& path, const QFontMetrics& metrics, int width)
{
    if (Fits(metrics, path, width))
        return path;

    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString tail = slash < 0 ? path : path.mid(slash);  // with its separator
    const QString name = slash < 0 ? path : path.mid(slash + 1);
    if (slash <= 0 || !Fits(metrics, kEllipsis + tail, width))
        return metrics.elidedText(name, Qt::ElideRight, qMax(0, width));

    // The longest start of the folder part that still fits; width grows with length.
    const QString head = path.left(slash);
    qsizetype low = 0;
    qsizetype high = head.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (Fits(metrics, head.left(mid) + kEllipsis + tail, width))
            low = mid;
        else
            high = mid - 1;
    }
    return head.left(low) + kEllipsis + tail;
}
