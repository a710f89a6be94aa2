#include "app/gui/dialogs/DluMapper.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

TEST(DluMapper, BaseUnitsComeFromTheFont)
{
    QFont font;
    font.setPixelSize(13);
    const DluMapper mapper(font);
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(mapper.BaseUnits(), QSize((letters / 26 + 1) / 2, metrics.height()));

    // Four horizontal units are one average character, eight vertical ones a line.
    EXPECT_EQ(mapper.X(4), mapper.BaseUnits().width());
    EXPECT_EQ(mapper.Y(8), mapper.BaseUnits().height());
    EXPECT_EQ(mapper.X(0), 0);
    EXPECT_EQ(mapper.X(-4), -mapper.BaseUnits().width());
}

TEST(DluMapper, RectanglesKeepNeighboursAdjacent)
{
    QFont font;
    font.setPixelSize(11);
    const DluMapper mapper(font);
    // Two controls side by side in the template stay side by side in pixels, whatever rounding.
    for (int x = 0; x < 40; ++x) {
        SCOPED_TRACE(x);
        const QRect left = mapper.Map(x, 3, 7, 9);
        const QRect right = mapper.Map(x + 7, 3, 5, 9);
        EXPECT_EQ(left.right() + 1, right.left());
        EXPECT_EQ(left.top(), mapper.Y(3));
        EXPECT_EQ(left.bottom() + 1, mapper.Y(12));
    }
}
