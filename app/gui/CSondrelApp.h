#pragma once
// The windowed program's application object: start-up, the settings file, the recent-file list,
// the one document and its main window, the about box and the help page.

#include <memory>
#include <string>

#include <QStringList>

#include "app/CRecentFileList.h"

class CMainFrame;
class CSettingsFile;
class CSondrelGuiDoc;

class CSondrelApp
{
public:
    static constexpr size_t kRecentFileCount = CRecentFileList::kMaxEntries;

    // Made after the QApplication and before anything else of the program.
    CSondrelApp();
    ~CSondrelApp();
    CSondrelApp(const CSondrelApp&) = delete;
    CSondrelApp& operator=(const CSondrelApp&) = delete;

    // The living application object; nullptr before it is made and after it is gone.
    static CSondrelApp* Instance();

    // Start-up with the program's arguments (args[0] the program itself, Qt's own options already
    // removed). Without arguments an empty document, with one argument that is no option that
    // file opened by its full path (which the recent-file list keeps); then the main window is
    // shown and the result is true. Any other command line, or a file that cannot be opened,
    // shows the hint to use the console program: false, and the program ends.
    bool InitInstance(const QStringList& args);

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CSondrelGuiDoc* Document() const { return m_doc.get(); }
    CSettingsFile& Settings() { return *m_settings; }
    CRecentFileList& RecentFiles() { return m_recentFiles; }
    // The program's own file, set once start-up succeeded.
    const std::string& ModulePath() const { return m_modulePath; }

    // Puts the path first in the recent-file list and stores the list.
    void AddToRecentFileList(const std::string& path);
    // Opens recent-file entry `index`; an entry that no longer opens leaves the list.
    void OnOpenRecentFile(int index);
    void OnAppAbout();
    // Opens the help page beside the program in the desktop's browser.
    void OnHelpFinder();

    // The help page's path: "Sondrel.html" beside the program.
    static QString HelpPagePath();
    // Opens `page` with the desktop's browser; "Failed to launch help." when it is missing or
    // no browser takes it.
    static void OpenHelpPage(const QString& page);

private:
    bool ProcessCommandLine(const QStringList& args);

    std::unique_ptr<CSettingsFile> m_settings;
    CRecentFileList m_recentFiles;
    std::unique_ptr<CSondrelGuiDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    std::string m_modulePath;
};

// The message that sends command-line use to the console program.
extern const char kConsoleHint[];
