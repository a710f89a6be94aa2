#include "app/gui/CSondrelApp.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "app/CSettingsFile.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CSondrelGuiDoc.h"
#include "app/gui/dialogs/CAboutDlg.h"
#include "app/gui/GuiMessages.h"
#include "app/gui/GuiText.h"
#include "platform/AppPaths.h"

#if __has_include("com/CreateControl.h")
#include "com/CreateControl.h"
#define SONDREL_HAS_COM 1
#endif

const char kConsoleHint[] =
    "You need to start Sondrel.com, if you want to use Sondrel with command line parameters.\n"
    "Please use only Sondrel without the extension exe, then cmd will start Sondrel.com.\n"
    "Type Sondrel -help to get a list of options.";

namespace {

const char kOleFailed[] =
    "OLE initialization failed.  Make sure that the OLE libraries are the correct version.";
const char kHelpFailed[] = "Failed to launch help.";
const char kHelpPage[] = "Sondrel.html";

CSondrelApp* g_app = nullptr;

// The document and the recent-file list keep what they are given: a path named relative to the
// folder the program was started from would no longer open from anywhere else.
QString FullPath(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

CSondrelApp::CSondrelApp()
{
    // The images live in the program; a static library needs its resources named once.
    Q_INIT_RESOURCE(Sondrel);
    g_app = this;
}

CSondrelApp::~CSondrelApp()
{
    // The window goes before the document it shows.
    m_frame.reset();
    m_doc.reset();
#ifdef SONDREL_HAS_COM
    CoUninitialize();
#endif
    if (g_app == this)
        g_app = nullptr;
}

CSondrelApp* CSondrelApp::Instance()
{
    return g_app;
}

bool CSondrelApp::InitInstance(const QStringList& args)
{
#ifdef SONDREL_HAS_COM
    // The export dialogs host the button-panel control through our COM layer.
    if (FAILED(CoInitialize())) {
        ShowMessage(QString::fromLatin1(kOleFailed), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
#endif
    m_settings = std::make_unique<CSettingsFile>(BuildProfilePath(kProgramName));
    m_recentFiles.Read(*m_settings);
    m_doc = std::make_unique<CSondrelGuiDoc>(*m_settings,
                                             [this](const std::string& path) { AddToRecentFileList(path); });
    m_frame = std::make_unique<CMainFrame>(*this, *m_doc);

    if (!ProcessCommandLine(args)) {
        ShowMessage(QString::fromLatin1(kConsoleHint), QMessageBox::Ok, QMessageBox::Warning);
        m_frame.reset();
        return false;
    }
    m_frame->show();
    m_frame->UpdateCommandUI();
    m_modulePath = GetModuleFileName();
    return true;
}

bool CSondrelApp::ProcessCommandLine(const QStringList& args)
{
    if (args.size() < 2)
        return true;   // an empty document
    // Only "-" starts an option: "/" starts every absolute path here.
    if (args.size() > 2 || args[1].startsWith('-') || args[1].isEmpty())
        return false;
    return m_doc->OnOpenDocument(ToPath(FullPath(args[1])).c_str());
}

void CSondrelApp::AddToRecentFileList(const std::string& path)
{
    m_recentFiles.Add(path);
    // The menu keeps the list; storing it for the next run is best effort, like every setting.
    (void)m_recentFiles.Write(*m_settings);
}

void CSondrelApp::OnOpenRecentFile(int index)
{
    const std::vector<std::string>& entries = m_recentFiles.Entries();
    if (index < 0 || index >= static_cast<int>(entries.size()))
        return;
    const std::string path = entries[index];
    if (m_doc->OnOpenDocument(path.c_str()))
        return;
    // The file is gone or broken: it leaves the list, as the others move up.
    CRecentFileList kept;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (*it != path)
            kept.Add(*it);
    m_recentFiles = kept;
    (void)m_recentFiles.Write(*m_settings); // best effort, as in AddToRecentFileList
}

void CSondrelApp::OnAppAbout()
{
    CAboutDlg dialog(m_frame.get());
    dialog.exec();
}

QString CSondrelApp::HelpPagePath()
{
    return QCoreApplication::applicationDirPath() + '/' + kHelpPage;
}

void CSondrelApp::OnHelpFinder()
{
    OpenHelpPage(HelpPagePath());
}

void CSondrelApp::OpenHelpPage(const QString& page)
{
    if (!QFileInfo(page).isFile() || !QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        ShowMessage(QString::fromLatin1(kHelpFailed), QMessageBox::Ok, QMessageBox::Warning);
}
