#include "app/gui/controls/CAutoFont.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

TEST(CAutoFont, MakesTheFontFromItsDescription)
{
    CAutoFont font(QStringLiteral("Arial"));
    EXPECT_EQ(font.Description().height, 16);
    EXPECT_EQ(font.Description().weight, 400);
    EXPECT_EQ(font.Font().weight(), QFont::Normal);
    EXPECT_LE(QFontMetrics(font).height(), 16);
    EXPECT_GE(QFontMetrics(font).height(), 12);

    font.Description().height = 24;
    font.Description().weight = 700;
    font.CreateFont();
    EXPECT_EQ(font.Font().weight(), QFont::Bold);
    EXPECT_LE(QFontMetrics(font).height(), 24);
    EXPECT_GT(QFontMetrics(font).height(), 16);

    font.Description().height = -10;
    font.CreateFont();
    EXPECT_EQ(font.Font().pixelSize(), 10);

    EXPECT_EQ(CAutoFont(QString(40, QLatin1Char('x'))).Description().faceName.size(), 31);
}
