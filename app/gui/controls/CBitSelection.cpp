#include "app/gui/controls/CBitSelection.h"

#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>

CBitSelection::CBitSelection(QWidget* parent)
    : QWidget(parent)
{
}

bool CBitSelection::Create(const QRect& rect, QWidget* parent)
{
    if (m_buttons[0])
        return false;
    setParent(parent);
    setWindowTitle(QStringLiteral("Bit Selection"));
    setGeometry(rect);
    for (int i = 0; i < kButtonCount; ++i) {
        auto* button = new QPushButton(QString::number(i), this);
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
        connect(button, &QPushButton::clicked, this, [this] { emit command(m_commandId); });
        m_buttons[i] = button;
    }
    LayoutButtons();
    hide();
    return true;
}

void CBitSelection::LayoutButtons()
{
    if (!m_buttons[0])
        return;
    // Eight columns, the height in three: the top third holds the caption, then two rows.
    const int columns = kButtonCount / 2;
    const int w = width() / columns;
    const int h = height() / 3;
    for (int i = 0; i < kButtonCount; ++i) {
        const int column = i % columns;
        const int row = i / columns;
        m_buttons[i]->setGeometry(column * w, (row + 1) * h, w - 2, h - 2);
    }
}

void CBitSelection::SetCheck(int bit, bool checked)
{
    if (QAbstractButton* button = Button(bit)) {
        const QSignalBlocker blocker(button);
        button->setChecked(checked);
    }
}

bool CBitSelection::GetCheck(int bit) const
{
    const QAbstractButton* button = Button(bit);
    return button && button->isChecked();
}

QAbstractButton* CBitSelection::Button(int bit) const
{
    return bit >= 0 && bit < kButtonCount ? m_buttons[bit] : nullptr;
}

void CBitSelection::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                   QPalette::WindowText));
    painter.drawText(QRect(0, 0, width(), height() / 3), Qt::AlignLeft | Qt::AlignTop,
                     windowTitle());
}

void CBitSelection::resizeEvent(QResizeEvent*)
{
    LayoutButtons();
}
