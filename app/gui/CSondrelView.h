#pragma once
// The main window's view: for every opened file the file-information report, drawn as text
// lines on a light-grey page that scrolls when it is larger than the window.

#include <cstdint>
#include <vector>

#include <QAbstractScrollArea>
#include <QFont>
#include <QSize>
#include <QString>

class CSondrelDoc;

class CSondrelView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    static constexpr int kBlockGap = 20;      // above each file's block
    static constexpr int kTitleIndent = 20;
    static constexpr int kBodyIndent = 30;
    static constexpr int kLineSlack = 5;      // a measured line is this much wider than its text

    CSondrelView(CSondrelDoc& doc, QWidget* parent = nullptr);

    // The document changed: its lines are built again before the next paint.
    void OnDocumentChanged();

    // The page: the widest line and the total height of every block, at least the viewport's size.
    QSize ComputeExtent();

    struct Line
    {
        bool title;
        QString text;
        int y;        // top of the line on the page
    };
    // The lines as they are drawn (built on demand).
    const std::vector<Line>& Lines();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void BuildLines();
    void UpdateScrollBars();

    CSondrelDoc& m_doc;
    QFont m_titleFont;
    QFont m_bodyFont;
    bool m_dirty = true;
    std::vector<Line> m_lines;
    int m_widest = 0;
    int m_height = 0;
};
