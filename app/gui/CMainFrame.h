#pragma once
// The windowed program's main window: menus, a movable toolbar, the status bar and the view.

#include <map>
#include <memory>
#include <string>

#include <QMainWindow>

class CSondrelApp;
class CSondrelGuiDoc;
class CSondrelView;
class QAction;
class QLabel;
class QMenu;
class QStyle;
class QToolBar;

class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    CMainFrame(CSondrelApp& app, CSondrelGuiDoc& doc);
    ~CMainFrame() override;

    // The action of a command id (also for commands on no menu, such as "Open batch");
    // nullptr for an unknown id.
    QAction* Action(int id) const;
    QToolBar* ToolBar() const { return m_toolBar; }
    QMenu* FileMenu() const { return m_fileMenu; }
    QMenu* ToolsMenu() const { return m_toolsMenu; }
    // The recent-file entries as they stand on the File menu now.
    QList<QAction*> RecentFileActions() const;

    // Runs the command as a click on its menu item would, when it is enabled; false otherwise.
    bool RunCommand(int id);
    // Applies every update rule to the actions, and the document's title to the window.
    void UpdateCommandUI();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddAction(int id);
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void RebuildRecentFileMenu();
    void OnCommand(int id);

    CSondrelApp& m_app;
    CSondrelGuiDoc& m_doc;
    CSondrelView* m_view = nullptr;
    QToolBar* m_toolBar = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_toolsMenu = nullptr;
    QAction* m_recentSeparator = nullptr;
    QAction* m_exitSeparator = nullptr;
    // The menus' style; the destructor takes it from them before it goes.
    std::unique_ptr<QStyle> m_menuStyle;
    std::map<int, QAction*> m_actions;
    QList<QAction*> m_recentActions;
};
