#pragma once
// A text label that opens its URL with the desktop's handler when clicked.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>

class CHyperLink : public QLabel {
    Q_OBJECT
public:
    static constexpr int kUnderlineHover = -1;
    static constexpr int kUnderlineNever = 0;
    static constexpr int kUnderlineAlways = 1;

    explicit CHyperLink(QWidget* parent = nullptr);
    CHyperLink(const QString& text, QWidget* parent = nullptr);

    // Takes the label as placed by its dialog: an empty URL becomes the text and an empty text the
    // URL, the fonts come from the label's font, the label shrinks to its text, the tool tip shows
    // the URL. Runs by itself when the label is first shown; call it after changing the text.
    void PreSubclassWindow();

    void SetURL(const QString& url);
    QString GetURL() const { return m_url; }
    // kUnderlineHover (underlined while the pointer is over it), kUnderlineNever, kUnderlineAlways.
    void SetUnderline(int mode);
    int GetUnderline() const { return m_underline; }
    bool IsVisited() const { return m_visited; }

    // Opens `url` with the desktop's handler (never a shell command line). Returns a value above
    // 32 on success; otherwise 2 for a URL that cannot be parsed, 31 when nothing opened it.
    static int GotoURL(const QString& url);
    // The text shown for a failed GotoURL result.
    static QString ErrorText(int result);

    QColor CurrentColour() const;

protected:
    void showEvent(QShowEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void OnClicked();
    void ApplyFont(bool underlined);
    void ApplyColour();
    void PositionWindow();
    void ReportError(int result);

    QColor m_linkColour = QColor(0, 0, 238);
    QColor m_visitedColour = QColor(85, 26, 139);
    QColor m_hoverColour = QColor(255, 0, 0);
    bool m_over = false;
    bool m_visited = false;
    int m_underline = kUnderlineHover;
    bool m_adjustToFit = true;
    QString m_url;
    QFont m_normalFont;
    QFont m_underlinedFont;
    bool m_subclassed = false;
    bool m_pressed = false;
};
