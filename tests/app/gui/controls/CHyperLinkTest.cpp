#include "app/gui/controls/CHyperLink.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QGuiApplication>
#include <QTest>
#include <QUrl>

#include "app/gui/GuiMessages.h"

namespace {

// Receives what QDesktopServices hands to the handler of a scheme.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(const QString& scheme) : m_scheme(scheme)
    {
        QDesktopServices::setUrlHandler(m_scheme, this, "Open");
    }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(m_scheme); }

    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.append(url); }

private:
    QString m_scheme;
};

struct MessageRecorder {
    MessageRecorder()
    {
        SetMessageHook([this](const QString& text, QMessageBox::StandardButtons) {
            messages.append(text);
            return int(QMessageBox::Ok);
        });
        SetBeepHook([this] { ++beeps; });
    }
    ~MessageRecorder()
    {
        SetMessageHook({});
        SetBeepHook({});
    }
    QStringList messages;
    int beeps = 0;
};

} // namespace

TEST(CHyperLink, AClickOpensTheUrlThroughTheDesktopHandler)
{
    UrlCatcher catcher(QStringLiteral("https"));
    MessageRecorder recorder;
    QWidget dialog;
    CHyperLink link(QStringLiteral("Project page"), &dialog);
    link.move(10, 10);
    link.SetURL(QStringLiteral("https://example.org/readme"));
    link.SetUnderline(CHyperLink::kUnderlineAlways);
    dialog.show();

    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.toolTip(), QStringLiteral("https://example.org/readme"));
    EXPECT_EQ(link.CurrentColour(), QColor(0, 0, 238));
    EXPECT_EQ(link.width(), QFontMetrics(link.font()).horizontalAdvance(link.text()));

    QTest::mouseClick(&link, Qt::LeftButton);
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0], QUrl(QStringLiteral("https://example.org/readme")));
    EXPECT_TRUE(link.IsVisited());
    EXPECT_EQ(link.CurrentColour(), QColor(85, 26, 139));
    EXPECT_TRUE(recorder.messages.isEmpty());
    EXPECT_EQ(recorder.beeps, 0);
}

TEST(CHyperLink, AnEmptyUrlTakesTheText)
{
    UrlCatcher catcher(QStringLiteral("mailto"));
    CHyperLink link(QStringLiteral("mailto:help@example.org"));
    link.show();
    EXPECT_EQ(link.GetURL(), QStringLiteral("mailto:help@example.org"));
    QTest::mouseClick(&link, Qt::LeftButton);
    EXPECT_EQ(catcher.opened.size(), 1);
}

TEST(CHyperLink, AFailedOpenBeepsReportsAndStaysUnvisited)
{
    MessageRecorder recorder;
    CHyperLink link(QStringLiteral("broken"));
    link.SetURL(QStringLiteral("http://exa mple.org/%zz"));
    link.show();
    QTest::mouseClick(&link, Qt::LeftButton);
    EXPECT_FALSE(link.IsVisited());
    EXPECT_EQ(link.CurrentColour(), QColor(0, 0, 238));
    EXPECT_EQ(recorder.beeps, 1);
    ASSERT_EQ(recorder.messages.size(), 1);
    EXPECT_EQ(recorder.messages[0],
              QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."));
}

TEST(CHyperLink, AUrlNothingOpensIsReported)
{
    // The offscreen platform has no desktop services: a scheme without a handler fails to open.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        GTEST_SKIP() << "a desktop platform may find a program for any scheme";
    MessageRecorder recorder;
    EXPECT_EQ(CHyperLink::GotoURL(QStringLiteral("sondrel-nothing:readme")), 31);
    EXPECT_TRUE(recorder.messages.isEmpty());  // GotoURL itself never reports
}

TEST(CHyperLink, ErrorTexts)
{
    EXPECT_EQ(CHyperLink::ErrorText(31),
              QStringLiteral("There is no application associated\nwith the given filename extension."));
    EXPECT_EQ(CHyperLink::ErrorText(26), QStringLiteral("A sharing violation occurred. "));
    EXPECT_EQ(CHyperLink::ErrorText(7), QStringLiteral("Unknown Error (7) occurred."));
}

TEST(CHyperLink, HoverUnderlinesInTheDefaultMode)
{
    CHyperLink link(QStringLiteral("link"));
    link.show();
    EXPECT_FALSE(link.font().underline());
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&link, &enter);
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.CurrentColour(), QColor(255, 0, 0));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&link, &leave);
    EXPECT_FALSE(link.font().underline());
}

#include "CHyperLinkTest.moc"
