#include "app/gui/GuiMessages.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

TEST(GuiMessages, TheRealBoxShowsPlainTextUnderTheProgramsTitle)
{
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        box->button(QMessageBox::No)->click();
    });
    const int answer = ShowMessage(QStringLiteral("Cannot open <b>x</b>.kvd"),
                                   QMessageBox::Yes | QMessageBox::No, QMessageBox::Question);
    EXPECT_EQ(answer, QMessageBox::No);
    EXPECT_EQ(title, QStringLiteral("Sondrel"));
    EXPECT_EQ(text, QStringLiteral("Cannot open <b>x</b>.kvd"));
    EXPECT_EQ(format, Qt::PlainText);
}

TEST(GuiMessages, TheHookAnswersInstead)
{
    QStringList seen;
    SetMessageHook([&](const QString& text, QMessageBox::StandardButtons buttons) {
        seen << text;
        EXPECT_EQ(buttons, QMessageBox::Ok);
        return int(QMessageBox::Ok);
    });
    EXPECT_EQ(ShowMessage(QStringLiteral("Merge fails!\nno space")), QMessageBox::Ok);
    SetMessageHook({});
    EXPECT_EQ(seen, QStringList{QStringLiteral("Merge fails!\nno space")});
}
