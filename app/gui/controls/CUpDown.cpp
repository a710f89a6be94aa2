#include "app/gui/controls/CUpDown.h"

#include <algorithm>

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

CUpDown::CUpDown(QLineEdit* buddy, QWidget* parent)
    : QWidget(parent)
    , m_buddy(buddy)
{
    m_up = new QToolButton(this);
    m_down = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
    m_buddyObject = buddy;
    if (buddy)
        buddy->installEventFilter(this);
}

void CUpDown::SetRange(int lower, int upper)
{
    m_lower = lower;
    m_upper = upper;
}

void CUpDown::SetPos(int pos)
{
    if (m_buddy)
        m_buddy->setText(QString::number(pos));
}

int CUpDown::GetPos() const
{
    bool ok = false;
    const int value = m_buddy ? m_buddy->text().trimmed().toInt(&ok) : 0;
    return ok ? value : m_lower;
}

void CUpDown::Step(int delta)
{
    if (!m_buddy || !isEnabled())
        return;
    const int lo = std::min(m_lower, m_upper);
    const int hi = std::max(m_lower, m_upper);
    const int next = std::clamp(GetPos() + delta, lo, hi);
    // A user's step: the buddy's text changes as if typed, so its checks run.
    m_buddy->setText(QString::number(next));
    emit m_buddy->textEdited(m_buddy->text());
}

bool CUpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_buddyObject && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CUpDown::resizeEvent(QResizeEvent*)
{
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

void CUpDown::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        m_up->setEnabled(isEnabled());
        m_down->setEnabled(isEnabled());
    }
    QWidget::changeEvent(event);
}
