#include "app/gui/controls/CBitSelection.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>

TEST(CBitSelection, LaysOutTwoRowsOfEightBelowTheCaption)
{
    QWidget dialog;
    CBitSelection bits;
    ASSERT_TRUE(bits.Create(QRect(10, 10, 160, 60), &dialog));
    EXPECT_FALSE(bits.Create(QRect(10, 10, 160, 60), &dialog));
    EXPECT_EQ(bits.parentWidget(), &dialog);
    EXPECT_EQ(bits.Button(9)->geometry(), QRect(20, 40, 18, 18));
    EXPECT_EQ(bits.Button(0)->geometry(), QRect(0, 20, 18, 18));
    EXPECT_EQ(bits.Button(15)->geometry(), QRect(140, 40, 18, 18));
    for (int bit = 0; bit < CBitSelection::kButtonCount; ++bit) {
        SCOPED_TRACE(bit);
        EXPECT_EQ(bits.Button(bit)->text(), QString::number(bit));
        EXPECT_TRUE(bits.Button(bit)->isCheckable());
    }
    EXPECT_EQ(bits.Button(16), nullptr);
    EXPECT_EQ(bits.Button(-1), nullptr);
    EXPECT_FALSE(bits.GetCheck(16));
    bits.SetCheck(-1, true);  // ignored
    dialog.show();
    EXPECT_FALSE(bits.isVisible());  // shown by its owner when a digital stream is current
}

TEST(CBitSelection, ReportsUserClicksOnlyWithItsCommandId)
{
    QWidget dialog;
    CBitSelection bits;
    bits.Create(QRect(0, 0, 160, 60), &dialog);
    bits.SetCommandId(1181);
    dialog.show();
    bits.show();
    QSignalSpy commands(&bits, &CBitSelection::command);

    bits.SetCheck(3, true);
    EXPECT_TRUE(bits.GetCheck(3));
    EXPECT_EQ(commands.count(), 0);

    QTest::mouseClick(bits.Button(9), Qt::LeftButton);
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.takeFirst().at(0).toInt(), 1181);
    EXPECT_TRUE(bits.GetCheck(9));
    QTest::mouseClick(bits.Button(9), Qt::LeftButton);
    EXPECT_FALSE(bits.GetCheck(9));
    EXPECT_EQ(commands.count(), 1);
}
