#include "app/gui/ElidePath.h"

#include <gtest/gtest.h>

#include <QFont>

namespace {

QFontMetrics TestMetrics()
{
    QFont font;
    font.setPixelSize(12);
    return QFontMetrics(font);
}

} // namespace

TEST(ElidePath, ShortPathsStayWhole)
{
    const QFontMetrics metrics = TestMetrics();
    const QString path = QStringLiteral("/data/a.kvd");
    EXPECT_EQ(ElidePath(path, metrics, metrics.horizontalAdvance(path)), path);
}

TEST(ElidePath, TheMiddleGivesWayAndTheFileNameStays)
{
    const QFontMetrics metrics = TestMetrics();
    const QString path = QStringLiteral("/home/someone/recordings/2026/december/session-04.kvd");
    const int full = metrics.horizontalAdvance(path);
    for (int width : {full - 1, full * 3 / 4, full / 2, metrics.horizontalAdvance(
                                                           QStringLiteral(".../session-04.kvd"))}) {
        SCOPED_TRACE(width);
        const QString shown = ElidePath(path, metrics, width);
        EXPECT_TRUE(shown.endsWith(QStringLiteral(".../session-04.kvd"))) << shown.toStdString();
        EXPECT_TRUE(path.startsWith(shown.left(shown.indexOf(QStringLiteral("...")))));
        EXPECT_LE(metrics.horizontalAdvance(shown), width);
    }
}

TEST(ElidePath, ANameWiderThanTheBoxIsCutAtItsEnd)
{
    const QFontMetrics metrics = TestMetrics();
    const QString shown =
        ElidePath(QStringLiteral("/data/a-very-long-recording-name.kvd"), metrics, 40);
    EXPECT_FALSE(shown.contains(QLatin1Char('/')));
    EXPECT_LE(metrics.horizontalAdvance(shown), 40);
    EXPECT_LE(metrics.horizontalAdvance(ElidePath(QStringLiteral("/x/y.kvd"), metrics, 0)), 0);
}
