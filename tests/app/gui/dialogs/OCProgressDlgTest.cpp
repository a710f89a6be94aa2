#include "app/gui/dialogs/OCProgressDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "app/gui/GuiMessages.h"

namespace {

// Records the questions asked and answers them from a script.
class ScriptedMessages {
public:
    explicit ScriptedMessages(std::vector<int> answers) : m_answers(std::move(answers))
    {
        SetMessageHook([this](const QString& text, QMessageBox::StandardButtons buttons) {
            questions.push_back(text);
            EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
            if (m_next >= m_answers.size())
                return int(QMessageBox::No);
            return m_answers[m_next++];
        });
    }
    ~ScriptedMessages() { SetMessageHook({}); }

    std::vector<QString> questions;

private:
    std::vector<int> m_answers;
    size_t m_next = 0;
};

const QString kQuestion = QStringLiteral("Do you really want to cancel merging?");

} // namespace

TEST(OCProgressDlg, IsShownModalToItsParentWithTheFixedLayout)
{
    QWidget parent;
    parent.resize(800, 600);
    parent.show();
    {
        OCProgressDlg dlg(&parent);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_TRUE(dlg.isWindow());
        EXPECT_EQ(dlg.windowModality(), Qt::WindowModal);
        EXPECT_EQ(QApplication::activeModalWidget(), &dlg);
        EXPECT_EQ(dlg.size(), QSize(600, 90));
        EXPECT_EQ(dlg.CancelButton()->text(), QStringLiteral("Cancel"));
        EXPECT_EQ(dlg.CancelButton()->geometry(), QRect(520, 50, 80, 30));
        EXPECT_EQ(dlg.findChild<QProgressBar*>()->geometry(), QRect(0, 25, 600, 20));
        // Centred up to QRect's rounding of odd sizes.
        EXPECT_LE((dlg.frameGeometry().center() - parent.frameGeometry().center()).manhattanLength(), 2);
        dlg.DestroyWindow();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(OCProgressDlg, ClampsThePosition)
{
    QWidget parent;
    OCProgressDlg dlg(&parent);
    const std::pair<int, int> cases[] = {{-5, 0}, {0, 0}, {37, 37}, {100, 100}, {250, 100}};
    for (const auto& [given, shown] : cases) {
        SCOPED_TRACE(given);
        dlg.SetPos(given);
        EXPECT_EQ(dlg.GetPos(), shown);
    }
    EXPECT_FALSE(ProgressStep(dlg, 140, QStringLiteral("step"), kQuestion));
    EXPECT_EQ(dlg.GetPos(), 100);
    dlg.DestroyWindow();
}

TEST(OCProgressDlg, CancelAnsweredNoGoesOnAndASecondPressAsksAgain)
{
    QWidget parent;
    parent.show();
    ScriptedMessages messages({QMessageBox::No, QMessageBox::Yes});
    OCProgressDlg dlg(&parent);

    EXPECT_FALSE(ProgressStep(dlg, 10, QStringLiteral("Merging"), kQuestion));
    EXPECT_TRUE(messages.questions.empty());

    QTest::mouseClick(dlg.CancelButton(), Qt::LeftButton);
    EXPECT_FALSE(ProgressStep(dlg, 20, QStringLiteral("Merging"), kQuestion));
    ASSERT_EQ(messages.questions.size(), 1u);
    EXPECT_EQ(messages.questions[0], kQuestion);
    // The flag was read and cleared: no new press, no new question.
    EXPECT_FALSE(ProgressStep(dlg, 30, QStringLiteral("Merging"), kQuestion));
    EXPECT_EQ(messages.questions.size(), 1u);

    QTest::mouseClick(dlg.CancelButton(), Qt::LeftButton);
    EXPECT_TRUE(ProgressStep(dlg, 40, QStringLiteral("Merging"), kQuestion));
    EXPECT_EQ(messages.questions.size(), 2u);
    dlg.DestroyWindow();
}

TEST(OCProgressDlg, ACloseRequestCountsAsCancelAndKeepsTheWindow)
{
    QWidget parent;
    parent.show();
    ScriptedMessages messages({QMessageBox::No});
    QPointer<OCProgressDlg> dlg = new OCProgressDlg(&parent);

    EXPECT_FALSE(dlg->close());
    ASSERT_FALSE(dlg.isNull());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(ProgressStep(*dlg, 50, QStringLiteral("x"), kQuestion));
    EXPECT_EQ(messages.questions.size(), 1u);

    QTest::keyClick(dlg.data(), Qt::Key_Escape);
    EXPECT_TRUE(dlg->TakeCancelled());
    EXPECT_TRUE(dlg->isVisible());
    delete dlg.data();
}

TEST(OCProgressDlg, TheStepShowsTextAndPercentage)
{
    QWidget parent;
    OCProgressDlg dlg(&parent);
    ProgressStep(dlg, 42, QStringLiteral("Merging file 2"), kQuestion);
    const QList<QLabel*> labels = dlg.findChildren<QLabel*>();
    QStringList texts;
    for (QLabel* label : labels)
        texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("Merging file 2")));
    EXPECT_TRUE(texts.contains(QStringLiteral("42%")));
    dlg.DestroyWindow();
}

TEST(CProgressScope, EndsTheWindowOnEveryPath)
{
    QWidget parent;
    parent.show();
    QPointer<OCProgressDlg> seen;
    auto run = [&](bool fail) {
        CProgressScope scope(&parent);
        seen = &scope.Dlg();
        EXPECT_TRUE(IsBusy());
        EXPECT_EQ(QApplication::activeModalWidget(), seen.data());
        if (fail)
            throw std::runtime_error("operation failed");
    };
    run(false);
    EXPECT_TRUE(seen.isNull());
    EXPECT_FALSE(IsBusy());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    EXPECT_THROW(run(true), std::runtime_error);
    EXPECT_TRUE(seen.isNull());
    EXPECT_FALSE(IsBusy());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    {
        CProgressScope orphan(nullptr);
        EXPECT_EQ(orphan.Dlg().windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(QApplication::activeModalWidget(), &orphan.Dlg());
    }
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(CProgressScope, SurvivesTheParentGoingFirst)
{
    auto* parent = new QWidget;
    parent->show();
    CProgressScope scope(parent);
    delete parent;
    EXPECT_FALSE(ProgressStep(scope.Dlg(), 5, QStringLiteral("x"), kQuestion));
}

TEST(CBusyScope, Nests)
{
    EXPECT_FALSE(IsBusy());
    {
        CBusyScope outer;
        {
            CBusyScope inner;
            EXPECT_TRUE(CBusyScope::IsBusy());
        }
        EXPECT_TRUE(IsBusy());
    }
    EXPECT_FALSE(IsBusy());
}
