#include "app/gui/CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QStatusBar>
#include <QToolBar>

#include "app/gui/CommandIds.h"
#include "app/gui/CommandTable.h"
#include "app/gui/CSondrelApp.h"
#include "app/gui/CSondrelGuiDoc.h"
#include "app/gui/CSondrelView.h"
#include "app/gui/GuiText.h"
#include "app/gui/MessagePump.h"

namespace {

constexpr char kAppTitle[] = "Sondrel";
constexpr char kIdleMessage[] = "Ready";

// The toolbar: command ids in button order, 0 = separator. The image strip holds one 16 x 15
// picture per command, in this order without the separators.
constexpr int kToolBarButtons[] = {ID_FILE_OPEN_KVD, ID_FILE_OPEN_BATCH, ID_FILE_OPEN_MULTIPLE, 0,
                                   ID_TOOLS_CONVERT_TO_BIN, ID_TOOLS_CONVERT_TO_ASCII,
                                   ID_TOOLS_CONVERT_TO_ABF, ID_TOOLS_MERGE, 0, ID_HELP_FINDER};
// "Open batch" keeps its picture in the strip but has no button: only Ctrl+B reaches it.
constexpr int kHiddenButton = ID_FILE_OPEN_BATCH;
constexpr int kButtonWidth = 16;
constexpr int kButtonHeight = 15;

// Qt's styles skip disabled menu items as the pointer or the arrow keys pass over them, so their
// prompt never reaches the status bar; a disabled command still tells what it does here.
class CPromptingMenuStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QString MenuText(const char* text)
{
    // The key shown after the tab comes from the action's shortcut.
    QString menu = QString::fromLatin1(text);
    return menu.left(menu.indexOf('\t') < 0 ? menu.size() : menu.indexOf('\t'));
}

} // namespace

CMainFrame::CMainFrame(CSondrelApp& app, CSondrelGuiDoc& doc) : m_app(app), m_doc(doc)
{
    setWindowIcon(QIcon(QStringLiteral(":/res/Sondrel.png")));
    for (const CommandInfo& info : CommandTable())
        AddAction(info.id);
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    // Ctrl+B opens a batch list although no menu item or button shows the command.
    addAction(Action(ID_FILE_OPEN_BATCH));

    m_view = new CSondrelView(doc, this);
    setCentralWidget(m_view);
    resize(800, 600);
    m_doc.AddObserver([frame = QPointer<CMainFrame>(this)] {
        if (frame) {
            frame->m_view->OnDocumentChanged();
            frame->UpdateCommandUI();
        }
    });
    UpdateCommandUI();
}

CMainFrame::~CMainFrame()
{
    // The menus go with the window, after this style: they give it back first.
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        menu->setStyle(nullptr);
}

QAction* CMainFrame::AddAction(int id)
{
    const CommandInfo* info = FindCommand(id);
    auto* action = new QAction(MenuText(info->text), this);
    std::string statusTip, toolTip;
    SplitPrompt(info->prompt, statusTip, toolTip);
    action->setStatusTip(QString::fromLatin1(statusTip.c_str()));
    action->setToolTip(QString::fromLatin1((toolTip.empty() ? statusTip : toolTip).c_str()));
    if (*info->shortcut)
        action->setShortcut(QKeySequence(QString::fromLatin1(info->shortcut)));
    action->setData(id);
    // The pictures belong to the toolbar; menus show text alone.
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions[id] = action;
    return action;
}

QAction* CMainFrame::Action(int id) const
{
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

void CMainFrame::CreateMenus()
{
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    // "Open batch" is not on the menu; its key stays.
    m_fileMenu->addAction(Action(ID_FILE_OPEN_KVD));
    m_fileMenu->addAction(Action(ID_FILE_OPEN_MULTIPLE));
    m_recentSeparator = m_fileMenu->addSeparator();
    m_fileMenu->addAction(Action(ID_FILE_MRU_FILE1));
    m_exitSeparator = m_fileMenu->addSeparator();
    m_fileMenu->addAction(Action(ID_APP_EXIT));

    m_toolsMenu = menuBar()->addMenu(QStringLiteral("&Tools"));
    for (int id : {ID_TOOLS_CONVERT_TO_ASCII, ID_TOOLS_CONVERT_TO_ABF, ID_TOOLS_CONVERT_TO_BIN, ID_TOOLS_MERGE})
        m_toolsMenu->addAction(Action(id));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    Action(ID_VIEW_TOOLBAR)->setCheckable(true);
    Action(ID_VIEW_STATUS_BAR)->setCheckable(true);
    view->addAction(Action(ID_VIEW_TOOLBAR));
    view->addAction(Action(ID_VIEW_STATUS_BAR));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(Action(ID_HELP_FINDER));
    help->addSeparator();
    help->addAction(Action(ID_APP_ABOUT));

    m_menuStyle = std::make_unique<CPromptingMenuStyle>();
    for (QMenu* menu : {m_fileMenu, m_toolsMenu, view, help}) {
        menu->setStyle(m_menuStyle.get());
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    }
    connect(m_fileMenu, &QMenu::aboutToShow, this, &CMainFrame::RebuildRecentFileMenu);
    RebuildRecentFileMenu();
}

void CMainFrame::CreateToolBar()
{
    m_toolBar = new QToolBar(QStringLiteral("Standard"), this);
    m_toolBar->setObjectName(QStringLiteral("toolbar"));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setIconSize(QSize(kButtonWidth, kButtonHeight));
    const QPixmap strip(QStringLiteral(":/res/Toolbar.png"));
    int image = 0;
    for (int id : kToolBarButtons) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = Action(id);
        action->setIcon(QIcon(strip.copy(image * kButtonWidth, 0, kButtonWidth, kButtonHeight)));
        ++image;
        if (id != kHiddenButton)
            m_toolBar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    // The lock-key panes: Qt does not tell the state of the lock keys, so they stay blank.
    for (const char* name : {"CAP", "NUM", "SCRL"}) {
        auto* pane = new QLabel(this);
        pane->setObjectName(QString::fromLatin1(name));
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QString::fromLatin1(name)) + 8);
        bar->addPermanentWidget(pane);
    }
    bar->showMessage(QString::fromLatin1(kIdleMessage));
    connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& text) {
        if (text.isEmpty())
            bar->showMessage(QString::fromLatin1(kIdleMessage));
    });
}

QList<QAction*> CMainFrame::RecentFileActions() const
{
    return m_recentActions;
}

void CMainFrame::RebuildRecentFileMenu()
{
    for (QAction* action : m_recentActions) {
        m_fileMenu->removeAction(action);
        action->deleteLater();
    }
    m_recentActions.clear();
    const std::vector<std::string>& entries = m_app.RecentFiles().Entries();
    QAction* placeholder = Action(ID_FILE_MRU_FILE1);
    // Without entries the grey "Recent File" stands in their place.
    placeholder->setVisible(entries.empty());
    placeholder->setEnabled(false);
    for (size_t i = 0; i < entries.size(); ++i) {
        QString path = FromPath(entries[i]);
        path.replace('&', QStringLiteral("&&"));
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path), this);
        action->setStatusTip(placeholder->statusTip());
        const int index = static_cast<int>(i);
        connect(action, &QAction::triggered, this, [this, index] {
            m_app.OnOpenRecentFile(index);
            UpdateCommandUI();
        });
        m_fileMenu->insertAction(m_exitSeparator, action);
        m_recentActions.push_back(action);
    }
}

void CMainFrame::UpdateCommandUI()
{
    for (const auto& [id, action] : m_actions) {
        if (id != ID_FILE_MRU_FILE1)
            action->setEnabled(m_doc.IsCommandEnabled(id));
    }
    Action(ID_VIEW_TOOLBAR)->setChecked(!m_toolBar->isHidden());
    Action(ID_VIEW_STATUS_BAR)->setChecked(!statusBar()->isHidden());
    setWindowTitle(FromPath(m_doc.GetTitle()) + " - " + kAppTitle);
}

bool CMainFrame::RunCommand(int id)
{
    UpdateCommandUI();
    QAction* action = Action(id);
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return true;
}

void CMainFrame::OnCommand(int id)
{
    if (!m_doc.OnCommand(id, this)) {
        switch (id) {
        case ID_APP_EXIT: close(); break;
        case ID_APP_ABOUT: m_app.OnAppAbout(); break;
        case ID_HELP_FINDER: m_app.OnHelpFinder(); break;
        case ID_VIEW_TOOLBAR: m_toolBar->setVisible(m_toolBar->isHidden()); break;
        case ID_VIEW_STATUS_BAR: statusBar()->setVisible(statusBar()->isHidden()); break;
        default: break;
        }
    }
    UpdateCommandUI();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // A long operation is pumping events under us: the window stays until it is done.
    if (IsBusy()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
