#include "app/gui/dialogs/CAboutDlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/gui/controls/CHyperLink.h"

TEST(CAboutDlg, ShowsVersionCopyrightAndTheReadmeLinksInItsTemplate)
{
    CAboutDlg dlg;
    dlg.show();
    const QString version = QStringLiteral("Sondrel Version %1.%2.%3")
                                .arg(SONDREL_VERSION_MAJOR).arg(SONDREL_VERSION_MINOR).arg(SONDREL_VERSION_PATCH);
    EXPECT_EQ(dlg.VersionLabel()->text(), version);
    EXPECT_EQ(dlg.CopyrightLabel()->text(), QStringLiteral("Copyright (C) Calverin"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About Sondrel"));
    for (CHyperLink* link : {dlg.HomepageLink(), dlg.SupportLink()}) {
        EXPECT_TRUE(link->GetURL().startsWith("file:///")) << link->GetURL().toStdString();
        EXPECT_TRUE(link->GetURL().endsWith("/README.md")) << link->GetURL().toStdString();
        EXPECT_EQ(link->GetUnderline(), CHyperLink::kUnderlineAlways);
    }
    // Every caption fits its place, and everything lies inside the dialog.
    for (QLabel* label : dlg.findChildren<QLabel*>()) {
        SCOPED_TRACE(label->text().toStdString());
        if (!label->text().isEmpty()) {
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
        }
        EXPECT_TRUE(dlg.rect().contains(label->geometry()));
    }
    EXPECT_TRUE(dlg.OkButton()->isDefault());
    QTest::mouseClick(dlg.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());
}
