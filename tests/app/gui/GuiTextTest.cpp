#include "app/gui/GuiText.h"

#include <gtest/gtest.h>

TEST(GuiText, AnsiRoundTripsEveryByte)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(ToAnsi(FromAnsi(all)), all);
}

TEST(GuiText, AnsiUsesTheWindowsCodePage)
{
    EXPECT_EQ(FromAnsi("\xB5V"), QString::fromUtf8("\xC2\xB5V"));          // micro sign
    EXPECT_EQ(FromAnsi("\x80\x96\x9F"), QString::fromUtf8("\xE2\x82\xAC\xE2\x80\x93\xC5\xB8"));
    EXPECT_EQ(ToAnsi(QString::fromUtf8("\xE2\x82\xAC")), "\x80");
}

TEST(GuiText, UnmappableCharactersBecomeOneQuestionMark)
{
    // A Greek letter and a character outside the basic plane (two UTF-16 units).
    EXPECT_EQ(ToAnsi(QString::fromUtf8("a\xCE\xB1" "b\xF0\x9F\x98\x80" "c")), "a?b?c");
}

TEST(GuiText, PathsKeepTheirBytes)
{
    const std::string path = "/tmp/r\xC3\xA9sultat.kvd";
    EXPECT_EQ(ToPath(FromPath(path)), path);
}
