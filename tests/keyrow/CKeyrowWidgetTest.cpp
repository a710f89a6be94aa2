// The panel window driven by the control logic: real buttons, real clicks.

#include "keyrow/CKeyrowWidget.h"

#include <gtest/gtest.h>

#include <QTest>

#include "keyrow/CButtonST.h"
#include "keyrow/core/CKeyrowLogic.h"
#include "tests/keyrow/core/KeyrowLabels.h"

namespace {

struct Panel
{
    CKeyrowWidget widget;
    CKeyrowLogic logic{widget};
    std::vector<KeyrowEvent> events;

    Panel()
    {
        QObject::connect(&widget, &CKeyrowWidget::channelCommand,
                         [this](int id) { events.push_back(logic.OnChannelClicked(id)); });
        QObject::connect(&widget, &CKeyrowWidget::allCommand,
                         [this] { events.push_back(logic.OnAllClicked()); });
        widget.resize(400, 200);
        widget.show();
    }
};

} // namespace

TEST(CKeyrowWidget, ButtonsSitWhereTheLayoutSays)
{
    Panel p;
    p.logic.SetTitle("MEA A", 1);
    p.logic.SetTitleType(1);
    p.logic.SetSelectionMode(0);
    p.logic.CreateButtons(Labels(128), 2, 0, 0, 64);
    ASSERT_EQ(p.widget.ButtonCount(), 64);
    EXPECT_EQ(p.widget.Button(9)->geometry(), QRect(22, 18 + 5 + 18, 20, 16));
    EXPECT_EQ(p.widget.Button(0)->text(), "E60");
    EXPECT_EQ(p.widget.Button(0)->font().pointSize(), 7);
    EXPECT_FALSE(p.widget.Button(0)->IsFlat());
    ASSERT_NE(p.widget.TitleButton(), nullptr);
    EXPECT_FALSE(p.widget.TitleButton()->isHidden());
    EXPECT_TRUE(p.widget.TitleStatic()->isHidden());
    EXPECT_TRUE(p.widget.TitleButton()->font().bold());
    EXPECT_EQ(p.widget.TitleButton()->geometry().top(), 0);
    const QRect title = p.widget.TitleButton()->geometry();
    EXPECT_NEAR(title.left() + title.width() / 2, 176 / 2, 1);
}

TEST(CKeyrowWidget, ClicksReachTheLogic)
{
    Panel p;
    p.logic.SetSelectionMode(0);
    p.logic.SetTitle(" All ", 0);
    p.logic.SetTitleType(1);
    p.logic.CreateButtons(Labels(8), 0, 0, 0, 8);
    QTest::mouseClick(p.widget.Button(3), Qt::LeftButton);
    ASSERT_EQ(p.events.size(), 1u);
    EXPECT_EQ(p.events[0].kind, KeyrowEvent::Kind::ButtonClicked);
    EXPECT_TRUE(p.events[0].selected);
    EXPECT_EQ(p.events[0].hwid, 3);
    EXPECT_EQ(p.logic.GetChannelState(3), 1);

    QTest::mouseClick(p.widget.TitleButton(), Qt::LeftButton);
    ASSERT_EQ(p.events.size(), 2u);
    EXPECT_EQ(p.events[1].kind, KeyrowEvent::Kind::AllClicked);
    EXPECT_TRUE(p.events[1].selected);
    EXPECT_EQ(p.events[1].hwids.size(), 8u);
    EXPECT_EQ(p.widget.Button(7)->GetCheck(), 1);

    // A disabled panel takes no clicks.
    p.logic.EnableControl(false);
    QTest::mouseClick(p.widget.Button(1), Qt::LeftButton);
    QTest::mouseClick(p.widget.TitleButton(), Qt::LeftButton);
    EXPECT_EQ(p.events.size(), 2u);
}

TEST(CKeyrowWidget, NewButtonsFromInsideAClick)
{
    // A handler that rebuilds the panel while the clicked button is still on the stack: the old
    // buttons go away later, never under the click.
    CKeyrowWidget widget;
    CKeyrowLogic logic(widget);
    logic.SetSelectionMode(0);
    logic.CreateButtons(Labels(4), 0, 0, 0, 4);
    int rebuilt = 0;
    QObject::connect(&widget, &CKeyrowWidget::channelCommand, [&](int) {
        logic.OnChannelClicked(1001);
        logic.CreateButtons(Labels(6), 0, 0, 0, 6);
        ++rebuilt;
    });
    widget.show();
    QPointer<CButtonST> old = widget.Button(1);
    QTest::mouseClick(old, Qt::LeftButton);
    EXPECT_EQ(rebuilt, 1);
    EXPECT_EQ(widget.ButtonCount(), 6);
    EXPECT_TRUE(old && old->isHidden());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
}
