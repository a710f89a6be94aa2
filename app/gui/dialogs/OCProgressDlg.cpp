#include "app/gui/dialogs/OCProgressDlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "app/gui/GuiMessages.h"

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 90;

QFont ProgressFont()
{
    // A small sans-serif face, 10 pixels high, a little heavier than normal.
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(10);
    font.setWeight(QFont::Medium);
    return font;
}

} // namespace

OCProgressDlg::OCProgressDlg(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    // A frame of the window manager's (a title line without buttons), so the window stands out
    // from the report behind it; closing it is still only Cancel.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QString());
    setFixedSize(kWidth, kHeight);
    CreateControls();
    // Modal to its own window only, so the parent cannot start a second command meanwhile, while
    // this window (unlike under a disabled parent) still takes the Cancel click.
    setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    CentreOnParent();
    show();
    m_bar->setRange(0, 100);
    PumpWaitingMessages();
}

OCProgressDlg::~OCProgressDlg() = default;

void OCProgressDlg::CreateControls()
{
    const int w = kWidth;
    const QFont font = ProgressFont();

    m_text = new QLabel(this);
    m_text->setGeometry(0, 0, w, 20);
    m_text->setFont(font);

    m_bar = new QProgressBar(this);
    m_bar->setGeometry(0, 25, w, 20);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);

    m_percent = new QLabel(this);
    m_percent->setGeometry(0, 50, 200, 20);
    m_percent->setFont(font);

    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setGeometry(w - 80, 50, 80, 30);
    m_cancel->setFont(font);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, [this] { OnCommand(kCancelId); });
}

void OCProgressDlg::CentreOnParent()
{
    QRect area;
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
        area = owner->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(kWidth / 2, kHeight / 2));
}

void OCProgressDlg::OnCommand(int id)
{
    if (id == kCancelId)
        m_cancelled = true;
}

void OCProgressDlg::SetPos(int percent)
{
    m_bar->setValue(qBound(0, percent, 100));
}

int OCProgressDlg::GetPos() const
{
    return m_bar->value();
}

void OCProgressDlg::SetText(const QString& text)
{
    m_text->setText(text);
}

void OCProgressDlg::SetPercentText(const QString& text)
{
    m_percent->setText(text);
}

bool OCProgressDlg::TakeCancelled()
{
    const bool cancelled = m_cancelled;
    m_cancelled = false;
    return cancelled;
}

void OCProgressDlg::DestroyWindow()
{
    hide();
    setWindowModality(Qt::NonModal);
}

void OCProgressDlg::closeEvent(QCloseEvent* event)
{
    // The window manager's close and Alt+F4 ask to stop; the operation decides, never the window.
    event->ignore();
    OnCommand(kCancelId);
}

void OCProgressDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        OnCommand(kCancelId);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool ProgressStep(OCProgressDlg& dlg, int percent, const QString& text,
                  const QString& cancelQuestion)
{
    const int shown = qBound(0, percent, 100);
    PumpWaitingMessages();
    dlg.SetPos(shown);
    dlg.SetText(text);
    PumpWaitingMessages();
    dlg.SetPercentText(QStringLiteral("%1%").arg(shown));
    PumpWaitingMessages();
    if (!dlg.TakeCancelled())
        return false;
    return ShowMessage(cancelQuestion, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

CProgressScope::CProgressScope(QWidget* parent)
    : m_dlg(new OCProgressDlg(parent))
{
    // Without a parent nothing else would delete the window.
    if (!parent)
        m_orphan.reset(m_dlg.data());
}

CProgressScope::~CProgressScope()
{
    if (m_dlg) {
        m_dlg->DestroyWindow();
        if (!m_orphan)
            delete m_dlg.data();
    }
}

OCProgressDlg& CProgressScope::Dlg()
{
    if (!m_dlg) {
        // The parent went away under a running operation: a hidden stand-in keeps callers safe.
        m_orphan = std::make_unique<OCProgressDlg>(nullptr);
        m_orphan->DestroyWindow();
        m_dlg = m_orphan.get();
    }
    return *m_dlg;
}
