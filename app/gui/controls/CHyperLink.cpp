#include "app/gui/controls/CHyperLink.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QUrl>

#include "app/gui/GuiMessages.h"

namespace {

constexpr int kSuccess = 33;           // any value above 32 means success
constexpr int kFileNotFound = 2;
constexpr int kNoAssociation = 31;

QUrl UrlOf(const QString& text)
{
    const QString trimmed = text.trimmed();
    QUrl url(trimmed, QUrl::TolerantMode);
    // "www.example.com" or a plain file path: let Qt guess what the user meant.
    if (url.scheme().isEmpty())
        url = QUrl::fromUserInput(trimmed);
    return url;
}

} // namespace

CHyperLink::CHyperLink(QWidget* parent)
    : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover, true);
}

CHyperLink::CHyperLink(const QString& text, QWidget* parent)
    : CHyperLink(parent)
{
    setText(text);
}

void CHyperLink::PreSubclassWindow()
{
    m_subclassed = true;
    setTextFormat(Qt::PlainText);
    if (m_url.isEmpty())
        m_url = text();
    if (text().isEmpty())
        setText(m_url);
    m_normalFont = font();
    m_normalFont.setUnderline(false);
    m_underlinedFont = m_normalFont;
    m_underlinedFont.setUnderline(true);
    if (m_adjustToFit)
        PositionWindow();
    setCursor(Qt::PointingHandCursor);
    // Applies the font the current mode and pointer call for.
    ApplyFont(m_underline == kUnderlineAlways || (m_underline == kUnderlineHover && m_over));
    ApplyColour();
    setToolTip(m_url);
}

void CHyperLink::SetURL(const QString& url)
{
    m_url = url;
    if (!m_subclassed)
        return;
    if (m_adjustToFit)
        PositionWindow();
    setToolTip(url);
}

void CHyperLink::SetUnderline(int mode)
{
    if (mode == m_underline)
        return;
    m_underline = mode;
    if (m_subclassed)
        ApplyFont(mode == kUnderlineAlways || (mode == kUnderlineHover && m_over));
}

int CHyperLink::GotoURL(const QString& url)
{
    const QUrl target = UrlOf(url);
    if (!target.isValid() || target.isEmpty())
        return kFileNotFound;
    return QDesktopServices::openUrl(target) ? kSuccess : kNoAssociation;
}

QString CHyperLink::ErrorText(int result)
{
    switch (result) {
    case 0: return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2: return QStringLiteral("The specified file was not found.");
    case 3: return QStringLiteral("The specified path was not found.");
    case 5: return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11:
        return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26: return QStringLiteral("A sharing violation occurred. ");
    case 27: return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28:
        return QStringLiteral(
            "The DDE transaction could not\nbe completed because the request timed out.");
    case 29: return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not\nbe completed because other DDE "
                              "transactions\nwere being processed.");
    case 31:
        return QStringLiteral(
            "There is no application associated\nwith the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QStringLiteral("Unknown Error (%1) occurred.").arg(result);
    }
}

QColor CHyperLink::CurrentColour() const
{
    if (m_over)
        return m_hoverColour;
    return m_visited ? m_visitedColour : m_linkColour;
}

void CHyperLink::showEvent(QShowEvent* event)
{
    if (!m_subclassed)
        PreSubclassWindow();
    QLabel::showEvent(event);
}

void CHyperLink::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    if (m_over)
        return;
    m_over = true;
    if (m_underline == kUnderlineHover)
        ApplyFont(true);
    ApplyColour();
}

void CHyperLink::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    if (!m_over)
        return;
    m_over = false;
    if (m_underline != kUnderlineAlways)
        ApplyFont(false);
    ApplyColour();
}

void CHyperLink::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton
                       && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click) {
        event->accept();
        OnClicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CHyperLink::OnClicked()
{
    m_over = false;
    const int result = GotoURL(m_url);
    if (result > 32) {
        m_visited = true;
        ApplyColour();
        return;
    }
    ApplyColour();
    MessageBeep();
    ReportError(result);
}

void CHyperLink::ReportError(int result)
{
    ShowMessage(QStringLiteral("Unable to open hyperlink:\n\n") + ErrorText(result),
                QMessageBox::Ok, QMessageBox::Warning);
}

void CHyperLink::ApplyFont(bool underlined)
{
    setFont(underlined ? m_underlinedFont : m_normalFont);
    if (m_adjustToFit)
        PositionWindow();
}

void CHyperLink::ApplyColour()
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, CurrentColour());
    setPalette(colours);
}

// Shrinks or grows the label to its text in the underlined font; the horizontal alignment says
// which edge (or the centre) stays where the dialog put it; the top always stays.
void CHyperLink::PositionWindow()
{
    const QFontMetrics metrics(m_underlinedFont);
    const QSize textSize = metrics.size(Qt::TextSingleLine, text());
    const QMargins frame = contentsMargins();
    const QSize size(textSize.width() + frame.left() + frame.right() + 2 * margin(),
                     textSize.height() + frame.top() + frame.bottom() + 2 * margin());
    const QRect area = geometry();
    QPoint topLeft = area.topLeft();
    if (alignment() & Qt::AlignHCenter)
        topLeft.setX(area.center().x() - size.width() / 2);
    else if (alignment() & Qt::AlignRight)
        topLeft.setX(area.right() + 1 - size.width());
    setGeometry(QRect(topLeft, size));
}
