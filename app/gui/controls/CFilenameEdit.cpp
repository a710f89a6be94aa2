#include "app/gui/controls/CFilenameEdit.h"

#include <QEvent>
#include <QStyle>
#include <QStyleOptionFrame>

#include "app/gui/ElidePath.h"

namespace {

// QLineEdit keeps this many pixels free on each side of its text, plus one for the cursor.
constexpr int kLineEditMargin = 2;

} // namespace

CFilenameEdit::CFilenameEdit(QWidget* parent)
    : QLineEdit(parent)
{
    setReadOnly(true);
}

void CFilenameEdit::SetPath(const QString& path)
{
    m_path = path;
    setToolTip(path);
    ShowCompacted();
}

int CFilenameEdit::TextWidth() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const QMargins margins = textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * kLineEditMargin - 1;
}

void CFilenameEdit::ShowCompacted()
{
    setText(ElidePath(m_path, fontMetrics(), TextWidth()));
    setCursorPosition(0);
}

void CFilenameEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    ShowCompacted();
}

void CFilenameEdit::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        ShowCompacted();
}
