// The panel window driven by the control logic: real buttons, real clicks.

#include "keyrow/CKeyrowWidget.h"

#include <gtest/gtest.h>

#include <set>

#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>

#include "datafile/layout/CKVLayout.h"
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

namespace {

// One panel as the export dialog builds it: names or descriptors, layout kind, part, offset, count.
struct PanelCall
{
    std::string what;
    std::vector<std::string> names;
    int layoutType, subType, offset, count;
};

// Every panel the export dialog makes from a recording's default layout: each part of the grid
// kinds, and the same records as a free layout.
std::vector<PanelCall> DefaultLayoutPanels(const char* name, int kind, int electrodes, int analog,
                                           int digital)
{
    const int total = kind == 1 ? 64 : kind == 2 ? 128 : electrodes + analog + digital;
    CKVLayout layout;
    layout.BuildDefault(kind, total, electrodes, analog, digital);
    std::vector<std::string> names;
    layout.GetRecordNames(names);
    const std::string prefix = std::string(name) + ", ";
    std::vector<PanelCall> calls;
    if (kind == 0)
        calls.push_back({prefix + "electrodes", names, 0, 0, 0, electrodes});
    else
        calls.push_back({prefix + "electrodes", names, kind, 0, 0, 64});
    if (kind == 2)
        calls.push_back({prefix + "second array", names, 2, 0, 64, 64});
    calls.push_back({prefix + "analog", names, kind, 1, electrodes, analog});
    calls.push_back({prefix + "digital", names, kind, 2, total - digital, digital});
    for (int32_t unit : layout.GetSortedUnitIds()) {
        std::vector<std::string> descriptors;
        layout.GetRecordDescriptors(descriptors, unit);
        for (int sub = 0; sub < 3; ++sub)
            calls.push_back({prefix + "free layout, unit " + std::to_string(unit) + ", part "
                                 + std::to_string(sub),
                             descriptors, 3, sub, 0, total});
    }
    return calls;
}

} // namespace

TEST(CKeyrowWidget, EveryDefaultLabelOfEveryLayoutFitsItsButton)
{
    std::vector<PanelCall> calls;
    for (const auto& kind : {DefaultLayoutPanels("plain", 0, 256, 256, 1),
                             DefaultLayoutPanels("one array", 1, 60, 3, 1),
                             DefaultLayoutPanels("two arrays", 2, 120, 7, 1)})
        calls.insert(calls.end(), kind.begin(), kind.end());
    int checked = 0;
    std::set<std::string> requested;
    std::set<std::string> faces;
    for (const PanelCall& call : calls) {
        SCOPED_TRACE(call.what);
        CKeyrowWidget widget;
        CKeyrowLogic logic(widget);
        logic.SetSelectionMode(0);
        logic.CreateButtons(call.names, call.layoutType, call.subType,
                            static_cast<int16_t>(call.offset), static_cast<int16_t>(call.count));
        ASSERT_GT(widget.ButtonCount(), 0);
        std::vector<std::string> clipped;
        for (int i = 0; i < widget.ButtonCount(); ++i) {
            const CButtonST* button = widget.Button(i);
            if (button->text().isEmpty())
                continue;
            ++checked;
            requested.insert(button->font().family().toStdString());
            faces.insert(QFontInfo(button->font()).family().toStdString());
            const QRect drawn = QFontMetrics(button->font())
                                    .boundingRect(button->rect(), Qt::AlignCenter | Qt::TextWordWrap,
                                                  button->text());
            if (!button->rect().contains(drawn))
                clipped.push_back(button->text().toStdString() + " ("
                                  + QFontInfo(button->font()).family().toStdString() + " "
                                  + std::to_string(button->font().pointSize()) + " pt: "
                                  + std::to_string(drawn.width()) + " x "
                                  + std::to_string(drawn.height()) + " in "
                                  + std::to_string(button->width()) + " x "
                                  + std::to_string(button->height()) + ")");
        }
        EXPECT_TRUE(clipped.empty()) << ::testing::PrintToString(clipped);
    }
    // Two-, three- and four-character labels were all seen.
    EXPECT_GT(checked, 1000);
    // The family asked for stays the control's own; where it is missing, the face of the same
    // metrics draws, not whatever the desktop falls back to.
    EXPECT_EQ(requested, std::set<std::string>{"Tahoma"});
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_TRUE(*faces.begin() == "Tahoma" || *faces.begin() == "Liberation Sans") << *faces.begin();
}
