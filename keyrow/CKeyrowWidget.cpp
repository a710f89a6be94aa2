// The control's window and its buttons.

#include "keyrow/CKeyrowWidget.h"

#include <QFontMetrics>
#include <QLabel>

#include "keyrow/CButtonST.h"
#include "keyrow/core/CKeyrowLogic.h"
#include "platform/TextEncoding.h"

namespace {

constexpr const char* kFontFace = "Tahoma";
// Where Tahoma is missing, the desktop's default sans face is wider and clips four-character
// labels in a 20-pixel button; these draw every label inside it, in this order of preference.
constexpr const char* kFontSubstitutes[] = {"Liberation Sans", "Arimo"};

// The control's face in `points`, falling back to a face of the same metrics first.
QFont ControlFont(int points)
{
    QFont font(QString::fromLatin1(kFontFace));
    QStringList families{font.family()};
    for (const char* substitute : kFontSubstitutes)
        families << QString::fromLatin1(substitute);
    font.setFamilies(families);
    font.setPointSize(points);
    return font;
}

QRect ToQRect(const KeyrowRect& r)
{
    return QRect(r.left, r.top, r.Width(), r.Height());
}

uint32_t StyleBits(KeyrowButtonStyle style)
{
    switch (style) {
    case KeyrowButtonStyle::PushLikeCheckBox:
        return 0x50001003;
    case KeyrowButtonStyle::CheckBox:
        return 0x50000002;
    case KeyrowButtonStyle::PushButton:
        break;
    }
    return 0x50000000;
}

// A window destroyed while a click may still be on its way out is hidden now, deleted later.
void DisposeOf(QWidget* widget, bool later)
{
    if (!widget)
        return;
    if (later) {
        widget->hide();
        widget->deleteLater();
    } else {
        delete widget;
    }
}

} // namespace

CKeyrowWidget::CKeyrowWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName("KeyrowCtrl");
}

QString CKeyrowWidget::ToDisplay(const std::string& ansi)
{
    return QString::fromStdString(Cp1252ToUtf8(ansi));
}

QFont CKeyrowWidget::LabelFont(int points) const
{
    return ControlFont(points);
}

QFont CKeyrowWidget::TitleFont(bool bold) const
{
    QFont f = ControlFont(8);
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    return f;
}

void CKeyrowWidget::DestroyButtons()
{
    const bool later = IsDispatching();
    for (QPointer<CButtonST>& button : m_buttons)
        DisposeOf(button, later);
    m_buttons.clear();
    DisposeOf(m_titleButton, later);
    DisposeOf(m_titleStatic, later);
}

void CKeyrowWidget::CreateTitleWindows(const std::string& text, bool bold)
{
    m_titleBold = bold;
    const QRect rect(0, 0, 150, 18);
    auto* label = new QLabel(ToDisplay(text), this);
    label->setObjectName("KeyrowTitleStatic");
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(rect);
    label->setFont(TitleFont(bold));
    label->hide();
    m_titleStatic = label;

    auto* button = new CButtonST(this);
    button->setObjectName("KeyrowTitleButton");
    button->Create(ToDisplay(text), 0x40000000, rect, this, CKeyrowLogic::kTitleButtonId);
    button->setFont(TitleFont(bold));
    button->SetFlat(false);
    button->hide();
    connect(button, &CButtonST::command, this, &CKeyrowWidget::OnButtonCommand);
    m_titleButton = button;
}

KeyrowSize CKeyrowWidget::TitleTextExtent(const std::string& text, bool bold) const
{
    const QFontMetrics metrics(TitleFont(bold));
    return KeyrowSize{metrics.horizontalAdvance(ToDisplay(text)), metrics.height()};
}

void CKeyrowWidget::PlaceTitle(bool showStatic, const KeyrowRect& staticRect, bool showButton,
                               const KeyrowRect& buttonRect)
{
    if (m_titleStatic) {
        if (showStatic)
            m_titleStatic->setGeometry(ToQRect(staticRect));
        m_titleStatic->setVisible(showStatic);
    }
    if (m_titleButton) {
        if (showButton)
            m_titleButton->setGeometry(ToQRect(buttonRect));
        m_titleButton->setVisible(showButton);
    }
}

void CKeyrowWidget::EnableTitleButton(bool enable)
{
    if (m_titleButton)
        m_titleButton->setEnabled(enable);
}

void CKeyrowWidget::AddButton(const KeyrowButtonPlan& plan)
{
    auto* button = new CButtonST(this);
    button->setObjectName(QString("KeyrowButton%1").arg(m_buttons.size()));
    button->Create(ToDisplay(plan.label), StyleBits(plan.style), ToQRect(plan.rect), this,
                   plan.commandId);
    button->setFont(LabelFont(plan.fontPoints));
    button->SetFlat(false);
    connect(button, &CButtonST::command, this, &CKeyrowWidget::OnButtonCommand);
    m_buttons.emplace_back(button);
}

int CKeyrowWidget::ButtonCount() const
{
    return static_cast<int>(m_buttons.size());
}

CButtonST* CKeyrowWidget::Button(int index) const
{
    if (index < 0 || index >= ButtonCount())
        return nullptr;
    return m_buttons[static_cast<size_t>(index)];
}

void CKeyrowWidget::MoveButton(int index, const KeyrowRect& rect)
{
    if (CButtonST* b = Button(index))
        b->setGeometry(ToQRect(rect));
}

bool CKeyrowWidget::IsCheckBox(int index) const
{
    CButtonST* b = Button(index);
    return b && b->IsCheckBox();
}

int CKeyrowWidget::GetCheck(int index) const
{
    CButtonST* b = Button(index);
    return b ? b->GetCheck() : 0;
}

void CKeyrowWidget::SetCheck(int index, int check)
{
    if (CButtonST* b = Button(index))
        b->SetCheck(check);
}

bool CKeyrowWidget::IsShown(int index) const
{
    CButtonST* b = Button(index);
    return b && !b->isHidden();
}

void CKeyrowWidget::SetShown(int index, bool shown)
{
    if (CButtonST* b = Button(index))
        b->setVisible(shown);
}

void CKeyrowWidget::SetEnabled(int index, bool enabled)
{
    if (CButtonST* b = Button(index))
        b->setEnabled(enabled);
}

CButtonColors& CKeyrowWidget::Colors(int index)
{
    if (CButtonST* b = Button(index))
        return b->Colors();
    static CButtonColors unused;   // never reached: callers check the index
    return unused;
}

void CKeyrowWidget::ColorsChanged(int index)
{
    if (CButtonST* b = Button(index))
        b->ColorsChanged();
}

void CKeyrowWidget::Repaint()
{
    update();
}

void CKeyrowWidget::OnButtonCommand(int commandId)
{
    // The handler may destroy this very button, or the whole window, through a sink that calls
    // back into the control; the guard notices the second.
    QPointer<CKeyrowWidget> guard(this);
    ++m_dispatching;
    if (commandId == CKeyrowLogic::kTitleButtonId)
        emit allCommand();
    else
        emit channelCommand(commandId);
    if (guard)
        --m_dispatching;
}
