// Drawing and click handling of the owner-drawn button.

#include "keyrow/CButtonST.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPaintEvent>

namespace {

QColor ToQColor(const KeyrowRgb& rgb)
{
    return QColor(rgb.r, rgb.g, rgb.b);
}

KeyrowRgb FromQColor(const QColor& colour)
{
    return MakeRgb(static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
                   static_cast<uint8_t>(colour.blue()));
}

// One-pixel edges: top and left in one colour, bottom and right in the other.
void Edge(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    painter.setPen(topLeft);
    painter.drawLine(r.left(), r.bottom() - 1, r.left(), r.top());
    painter.drawLine(r.left(), r.top(), r.right() - 1, r.top());
    painter.setPen(bottomRight);
    painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    painter.drawLine(r.right(), r.bottom(), r.right(), r.top());
}

} // namespace

CButtonST::CButtonST(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    // Connected first, so the own toggle runs before any handler of the parent's.
    connect(this, &QAbstractButton::clicked, this, &CButtonST::OnClicked);
}

void CButtonST::Create(const QString& label, uint32_t style, const QRect& rect, QWidget* parent,
                       int commandId)
{
    if (parent != parentWidget())
        setParent(parent);
    setText(label);
    setGeometry(rect);
    m_commandId = commandId;
    const uint32_t kind = style & 0x0F;
    m_isDefault = kind == kStyleDefaultPush;
    m_isCheckBox = !m_isDefault && (kind & kStyleCheckBox) != 0;
    setEnabled((style & kStyleDisabled) == 0);
    setVisible((style & kStyleVisible) != 0);
}

void CButtonST::OnClicked()
{
    setFocus(Qt::MouseFocusReason);
    if (m_isCheckBox) {
        m_check = m_check ? 0 : 1;
        update();
    }
    emit command(m_commandId);
}

void CButtonST::SetCheck(int check)
{
    if (!m_isCheckBox)
        return;
    m_check = check != 0 ? 1 : 0;
    update();
}

void CButtonST::SetFlat(bool flat)
{
    m_flat = flat;
    if (!flat)
        m_hovered = false;
    update();
}

bool CButtonST::SetColor(int slot, const KeyrowColor& colour)
{
    if (!m_colors.SetColor(slot, colour))
        return false;
    update();
    return true;
}

bool CButtonST::SetColor(int slot, const QColor& colour)
{
    return SetColor(slot, KeyrowColor::Fixed(FromQColor(colour)));
}

QColor CButtonST::GetColor(int slot) const
{
    return ToQColor(m_colors.GetColor(slot).Resolve(SystemColors()));
}

int CButtonST::OffsetColor(int shade, int slot)
{
    const int result = m_colors.OffsetColor(shade, slot);
    if (result == CButtonColors::kColorOk)
        update();
    return result;
}

KeyrowSystemColors CButtonST::SystemColors() const
{
    KeyrowSystemColors system;
    system.face = FromQColor(palette().color(QPalette::Button));
    system.text = FromQColor(palette().color(QPalette::ButtonText));
    return system;
}

void CButtonST::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    // Only flat buttons track the pointer; a held mouse button starts no hover.
    if (m_flat && (!(QGuiApplication::mouseButtons() & Qt::LeftButton) || m_hovered)) {
        m_hovered = true;
        update();
    }
}

void CButtonST::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    if (m_hovered) {
        m_hovered = false;
        update();
    }
}

void CButtonST::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    // The system-based colour slots resolve against the new palette when painted.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange)
        update();
}

void CButtonST::DrawEdges(QPainter& painter, const QRect& r, bool pressed) const
{
    const QPalette& pal = palette();
    if (pressed) {
        Edge(painter, r, pal.color(QPalette::Dark), pal.color(QPalette::Light));
        return;
    }
    // Raised: highlight and dark shadow outside, light and shadow inside.
    Edge(painter, r, pal.color(QPalette::Light), pal.color(QPalette::Shadow));
    Edge(painter, r.adjusted(1, 1, -1, -1), pal.color(QPalette::Midlight),
         pal.color(QPalette::Dark));
}

void CButtonST::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QRect r = rect();
    const bool pressed = m_isCheckBox ? (isDown() || m_check != 0) : isDown();
    const bool focused = hasFocus();
    const bool disabled = !isEnabled();

    if (!m_flat && m_drawBorder && (focused || m_isDefault)) {
        painter.setPen(Qt::black);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }

    int background = CButtonColors::kNormalBackground;
    if (m_hovered || pressed)
        background = CButtonColors::kPressedBackground;
    else if (focused)
        background = CButtonColors::kFocusBackground;
    painter.fillRect(r, GetColor(background));

    if (!m_flat) {
        if (m_drawBorder)
            DrawEdges(painter, r, pressed);
    } else if (m_hovered) {
        Edge(painter, r, pressed ? palette().color(QPalette::Dark) : palette().color(QPalette::Light),
             pressed ? palette().color(QPalette::Light) : palette().color(QPalette::Dark));
    }

    if (!text().isEmpty()) {
        QRect textRect = r;
        if (pressed && !m_isCheckBox)
            textRect.translate(1, 1);
        const int flags = Qt::AlignCenter | Qt::TextWordWrap;
        painter.setFont(font());
        if (disabled) {
            painter.setPen(palette().color(QPalette::Light));
            painter.drawText(textRect.translated(1, 1), flags, text());
            painter.setPen(palette().color(QPalette::Dark));
        } else {
            painter.setPen(GetColor(background + 1));
        }
        painter.drawText(textRect, flags, text());
    }

    if (focused && (!m_flat || m_drawFlatFocus)) {
        QPen pen(palette().color(QPalette::WindowText), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}
