#include "app/gui/CSondrelView.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QFontMetrics>
#include <QScrollBar>

#include "app/CFileInfoReport.h"
#include "app/CSettingsFile.h"
#include "app/gui/CMessageBoxReporter.h"
#include "app/gui/CSondrelGuiDoc.h"
#include "datafile/container/KvdFormat.h"
#include "export/model/CKVD.h"
#include "tests/app/gui/GuiScript.h"
#include "tests/support/KvdBuilder.h"

namespace {

struct Shown
{
    GuiScript ui;
    CSettingsFile settings {ui.File("s.ini")};
    CSondrelGuiDoc doc {settings, nullptr};
    CSondrelView view {doc};
    explicit Shown(QSize size = QSize(400, 300))
    {
        doc.AddObserver([this] { view.OnDocumentChanged(); });
        view.resize(size);
        view.show();
    }
};

} // namespace

TEST(CSondrelView, EmptyPageFillsTheWindow)
{
    Shown s;
    EXPECT_EQ(s.view.ComputeExtent(), s.view.viewport()->size());
    EXPECT_TRUE(s.view.Lines().empty());
    EXPECT_EQ(s.view.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(s.view.verticalScrollBar()->maximum(), 0);
    const QImage shot = s.view.viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(230, 230, 230));
}

TEST(CSondrelView, DrawsTheWindowedReportOfEveryFileInBlocks)
{
    Shown s;
    const std::string a = s.ui.Recording("a.kvd");
    const std::string b = s.ui.Recording("b.kvd");
    s.doc.GetPathList() = {a, b};
    ASSERT_TRUE(s.doc.OnOpenDocument(nullptr));

    std::vector<QString> expected;
    for (int i = 0; i < s.doc.GetFileCount(); ++i)
        for (const std::string& line : CFileInfoReport::Lines(*s.doc.GetFile(i), true))
            expected.push_back(QString::fromStdString(line));
    const std::vector<CSondrelView::Line>& lines = s.view.Lines();
    std::vector<QString> texts;
    for (const CSondrelView::Line& line : lines)
        texts.push_back(line.text);
    EXPECT_EQ(texts, expected);
    ASSERT_GT(lines.size(), 4u);
    EXPECT_TRUE(lines[0].title);
    EXPECT_FALSE(lines[1].title);
    EXPECT_EQ(lines[0].y, CSondrelView::kBlockGap);
    const size_t second = std::find_if(lines.begin() + 1, lines.end(),
                                       [](const CSondrelView::Line& l) { return l.title; }) - lines.begin();
    ASSERT_LT(second, lines.size());
    EXPECT_EQ(lines[second].y, lines[second - 1].y + lines[second - 1].y - lines[second - 2].y
                                   + CSondrelView::kBlockGap);
    // Larger than the window: the page is the widest line + 5 wide and as tall as the text.
    const QSize extent = s.view.ComputeExtent();
    EXPECT_GT(extent.height(), s.view.viewport()->height());
    EXPECT_EQ(s.view.verticalScrollBar()->maximum(), extent.height() - s.view.viewport()->height());
    EXPECT_EQ(s.view.verticalScrollBar()->pageStep(), extent.height() / 10);
    EXPECT_EQ(s.view.verticalScrollBar()->singleStep(), extent.height() / 100);
    EXPECT_GT(s.view.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(s.view.horizontalScrollBar()->maximum(), extent.width() - s.view.viewport()->width());

    // A failed open empties the page again.
    EXPECT_FALSE(s.doc.OnOpenDocument(s.ui.File("gone.kvd").c_str()));
    EXPECT_TRUE(s.view.Lines().empty());
    EXPECT_EQ(s.view.ComputeExtent(), s.view.viewport()->size());
}

TEST(CSondrelView, RecordingTextsAreShownFromWindows1252)
{
    Shown s(QSize(2000, 1000));
    KvdBuilder builder(11);
    builder.SetText(Kvd::FileHeader::kTitle, "Rat \xB5-slice").SetText(Kvd::FileHeader::kSubtitle, "caf\xE9");
    KvdStreamPlan raw;
    raw.channels.resize(1);
    builder.AddStream(raw);
    ASSERT_TRUE(builder.WriteTo(s.ui.File("t.kvd")));
    ASSERT_TRUE(s.doc.OnOpenDocument(s.ui.File("t.kvd").c_str()));
    const auto& lines = s.view.Lines();
    ASSERT_GT(lines.size(), 2u);
    EXPECT_EQ(lines[2].text, QString::fromUtf8("Rat \u00B5-slice (caf\u00E9) / Layout: Plain electrode layout"));
    EXPECT_TRUE(lines[1].text.startsWith(s.ui.Path("t.kvd") + " ("));
    // The widest line decides the page width when it is wider than the window.
    int widest = 0;
    QFontMetrics title(s.view.font());
    for (const auto& line : lines)
        widest = std::max(widest, static_cast<int>(line.text.size()));
    EXPECT_GT(widest, 0);
    EXPECT_EQ(s.view.ComputeExtent().width(), 2000 - (s.view.width() - s.view.viewport()->width()));
}
