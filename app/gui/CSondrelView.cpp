#include "app/gui/CSondrelView.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>

#include "app/CFileInfoReport.h"
#include "app/CSondrelDoc.h"
#include "app/gui/controls/CAutoFont.h"
#include "app/gui/GuiText.h"
#include "export/model/CKVD.h"

namespace {

const QColor kPageColour(230, 230, 230);

// A report line for display: the file's path is a file name (bytes as the file system has them),
// everything else is the recording's Windows-1252 text.
QString DisplayLine(const std::string& line, const std::string& path)
{
    if (!path.empty() && line.compare(0, path.size(), path) == 0)
        return FromPath(path) + FromAnsi(line.substr(path.size()));
    return FromAnsi(line);
}

QFont ReportFont(int height, int weight)
{
    CAutoFont font(QStringLiteral("Arial"));
    font.Description().height = height;
    font.Description().weight = weight;
    font.CreateFont();
    return font.Font();
}

} // namespace

CSondrelView::CSondrelView(CSondrelDoc& doc, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_doc(doc),
      m_titleFont(ReportFont(24, 700)),
      m_bodyFont(ReportFont(16, 400))
{
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
}

void CSondrelView::OnDocumentChanged()
{
    m_dirty = true;
    UpdateScrollBars();
    viewport()->update();
}

void CSondrelView::BuildLines()
{
    m_lines.clear();
    m_widest = 0;
    int y = 0;
    const QFontMetrics titleMetrics(m_titleFont);
    const QFontMetrics bodyMetrics(m_bodyFont);
    for (int i = 0; i < m_doc.GetFileCount(); ++i) {
        CKVD& file = *m_doc.GetFile(i);
        y += kBlockGap;
        const std::string path = file.IsOpen() ? file.GetPath() : std::string();
        CFileInfoReport report(file, [&](CFileInfoReport::LineKind kind, const std::string& text) {
            const bool title = kind == CFileInfoReport::kTitleLine;
            const QFontMetrics& metrics = title ? titleMetrics : bodyMetrics;
            const int indent = title ? kTitleIndent : kBodyIndent;
            Line line{title, title ? FromAnsi(text) : DisplayLine(text, path), y};
            m_widest = std::max(m_widest, indent + metrics.horizontalAdvance(line.text) + kLineSlack);
            y += metrics.height();
            m_lines.push_back(std::move(line));
        }, true);
        report.Write();
    }
    m_height = y;
    m_dirty = false;
}

const std::vector<CSondrelView::Line>& CSondrelView::Lines()
{
    if (m_dirty)
        BuildLines();
    return m_lines;
}

QSize CSondrelView::ComputeExtent()
{
    Lines();
    const QSize client = viewport()->size();
    return QSize(std::max(m_widest, client.width()), std::max(m_height, client.height()));
}

void CSondrelView::UpdateScrollBars()
{
    const QSize extent = ComputeExtent();
    const QSize client = viewport()->size();
    horizontalScrollBar()->setRange(0, extent.width() - client.width());
    verticalScrollBar()->setRange(0, extent.height() - client.height());
    horizontalScrollBar()->setPageStep(std::max(1, extent.width() / 10));
    horizontalScrollBar()->setSingleStep(std::max(1, extent.width() / 100));
    verticalScrollBar()->setPageStep(std::max(1, extent.height() / 10));
    verticalScrollBar()->setSingleStep(std::max(1, extent.height() / 100));
}

void CSondrelView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CSondrelView::scrollContentsBy(int /*dx*/, int /*dy*/)
{
    viewport()->update();
}

void CSondrelView::paintEvent(QPaintEvent* /*event*/)
{
    const QSize extent = ComputeExtent();
    QPainter painter(viewport());
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(kPageColour);
    painter.drawRect(0, 0, extent.width() - 1, extent.height() - 1);
    painter.setPen(Qt::black);
    for (const Line& line : Lines()) {
        const QFont& font = line.title ? m_titleFont : m_bodyFont;
        painter.setFont(font);
        painter.drawText(line.title ? kTitleIndent : kBodyIndent, line.y + QFontMetrics(font).ascent(),
                         line.text);
    }
}
