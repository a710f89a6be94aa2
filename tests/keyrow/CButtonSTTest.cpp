// The owner-drawn button: its own check state, the order of toggle and command, colour slots.

#include "keyrow/CButtonST.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

namespace {

struct Host
{
    QWidget parent;
    CButtonST* button = new CButtonST(&parent);
    explicit Host(uint32_t style)
    {
        button->Create("E1", style, QRect(0, 0, 20, 16), &parent, 1005);
        parent.resize(40, 40);
        parent.show();
    }
};

} // namespace

TEST(CButtonST, PushStyleIgnoresSetCheck)
{
    Host h(0x50000000);
    EXPECT_FALSE(h.button->IsCheckBox());
    h.button->SetCheck(1);
    EXPECT_EQ(h.button->GetCheck(), 0);
    QSignalSpy commands(h.button, &CButtonST::command);
    QTest::mouseClick(h.button, Qt::LeftButton);
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 1005);
    EXPECT_EQ(h.button->GetCheck(), 0);
    EXPECT_EQ(h.parent.focusWidget(), h.button);   // the click takes the focus

    Host defaultPush(0x50000001);
    EXPECT_TRUE(defaultPush.button->IsDefault());
    EXPECT_FALSE(defaultPush.button->IsCheckBox());
}

TEST(CButtonST, CheckBoxTogglesBeforeTheCommand)
{
    const uint32_t styles[] = {0x50000002, 0x50001003};
    for (uint32_t style : styles) {
        SCOPED_TRACE(style);
        Host h(style);
        EXPECT_TRUE(h.button->IsCheckBox());
        EXPECT_FALSE(h.button->isCheckable());   // Qt's own check state is not used
        std::vector<int> seen;
        QObject::connect(h.button, &CButtonST::command,
                         [&](int) { seen.push_back(h.button->GetCheck()); });
        QTest::mouseClick(h.button, Qt::LeftButton);
        QTest::mouseClick(h.button, Qt::LeftButton);
        EXPECT_EQ(seen, (std::vector<int>{1, 0}));
        h.button->SetCheck(2);   // indeterminate counts as checked
        EXPECT_EQ(h.button->GetCheck(), 1);
        // The keyboard click toggles as well.
        QTest::keyClick(h.button, Qt::Key_Space);
        EXPECT_EQ(h.button->GetCheck(), 0);
    }
}

TEST(CButtonST, ColourSlots)
{
    Host h(0x50000000);
    EXPECT_EQ(h.button->GetColor(0), h.button->palette().color(QPalette::Button));
    EXPECT_TRUE(h.button->SetColor(2, QColor(200, 100, 0)));
    EXPECT_EQ(h.button->OffsetColor(30, 2), 0);
    EXPECT_EQ(h.button->GetColor(2), QColor(230, 130, 30));
    EXPECT_EQ(h.button->OffsetColor(10, 6), 3);
    EXPECT_EQ(h.button->OffsetColor(300, 2), 5);
    EXPECT_EQ(h.button->GetColor(2), QColor(230, 130, 30));
    EXPECT_FALSE(h.button->SetColor(-1, QColor(1, 2, 3)));

    // A system-based slot follows a palette change.
    h.button->OffsetColor(-30, 4);
    QPalette pal = h.button->palette();
    pal.setColor(QPalette::Button, QColor(100, 100, 100));
    h.button->setPalette(pal);
    EXPECT_EQ(h.button->GetColor(4), QColor(70, 70, 70));
}

TEST(CButtonST, DisabledAndFocusedButtonsPaint)
{
    Host h(0x50000002);
    h.button->SetFlat(false);
    h.button->setFocus();
    h.button->SetCheck(1);
    EXPECT_FALSE(h.button->grab().isNull());
    h.button->setEnabled(false);
    EXPECT_FALSE(h.button->grab().isNull());
}
