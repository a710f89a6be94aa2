#include "app/gui/CSondrelApp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QMenu>
#include <QUrl>

#include "app/CSettingsFile.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CommandIds.h"
#include "app/gui/CSondrelGuiDoc.h"
#include "export/model/CKVD.h"
#include "tests/app/gui/GuiScript.h"

namespace {

const QString kHint = QString::fromLatin1(kConsoleHint);

QStringList Args(std::initializer_list<std::string> words)
{
    QStringList args {QStringLiteral("Sondrel.exe")};
    for (const std::string& word : words)
        args << QString::fromStdString(word);
    return args;
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Records the URLs the desktop would open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    std::vector<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls.push_back(url); }
};

} // namespace

TEST(CSondrelApp, StartUpOpensNothingOneFileOrAListAndSendsEverythingElseToTheConsole)
{
    GuiScript ui;
    const std::string a = ui.Recording("a.kvd");
    const std::string b = ui.Recording("b.kvd");
    WriteText(ui.File("list.bcd"), "# two\n" + a + "\n" + b + "\n");
    WriteText(ui.File("notes.txt"), "text\n");
    struct Case {
        const char* name;
        QStringList args;
        bool started;
        int files;
        QString title;
        std::vector<QString> messages;
    };
    const Case cases[] = {
        {"no argument", Args({}), true, 0, "Untitled - Sondrel", {}},
        {"one recording (an absolute path: '/' is no option)", Args({a}), true, 1, "a.kvd - Sondrel", {}},
        {"a batch list", Args({ui.File("list.bcd")}), true, 2, "Untitled - Sondrel", {}},
        {"a console option", Args({"-list"}), false, 0, "", {kHint}},
        {"an option with a file", Args({"-i", a}), false, 0, "", {kHint}},
        {"two files", Args({a, b}), false, 0, "", {kHint}},
        {"a missing file", Args({ui.File("gone.kvd")}), false, 0, "",
         {"Error while opening the file: " + ui.Path("gone.kvd"), kHint}},
        {"a file of another kind", Args({ui.File("notes.txt")}), false, 0, "",
         {"File has no valid extension!\n" + ui.Path("notes.txt"), kHint}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.messages.clear();
        CSondrelApp app;
        EXPECT_EQ(CSondrelApp::Instance(), &app);
        EXPECT_EQ(app.InitInstance(c.args), c.started);
        EXPECT_EQ(ui.messages, c.messages);
        if (c.started) {
            ASSERT_NE(app.MainFrame(), nullptr);
            EXPECT_TRUE(app.MainFrame()->isVisible());
            EXPECT_EQ(app.MainFrame()->windowTitle(), c.title);
            EXPECT_EQ(app.Document()->GetFileCount(), c.files);
            EXPECT_FALSE(app.ModulePath().empty());
        } else {
            EXPECT_EQ(app.MainFrame(), nullptr);
            EXPECT_TRUE(app.ModulePath().empty());
        }
    }
    EXPECT_EQ(CSondrelApp::Instance(), nullptr);
}

TEST(CSondrelApp, RecentFilesKeepFourAcrossRunsAndDropOneThatNoLongerOpens)
{
    GuiScript ui;
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i)
        paths.push_back(ui.Recording("r" + std::to_string(i) + ".kvd"));
    {
        CSondrelApp app;
        ASSERT_TRUE(app.InitInstance(Args({})));
        for (const std::string& path : paths)
            ASSERT_TRUE(app.Document()->OnOpenDocument(path.c_str()));
        EXPECT_EQ(app.RecentFiles().Entries(),
                  (std::vector<std::string> {paths[4], paths[3], paths[2], paths[1]}));
    }
    CSondrelApp app;
    ASSERT_TRUE(app.InitInstance(Args({})));
    ASSERT_EQ(app.RecentFiles().Entries().size(), 4u);
    EXPECT_EQ(app.RecentFiles().Entries().front(), paths[4]);
    emit app.MainFrame()->FileMenu()->aboutToShow();
    const QList<QAction*> entries = app.MainFrame()->RecentFileActions();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0]->text(), "&1 " + QString::fromStdString(paths[4]));
    EXPECT_FALSE(app.MainFrame()->Action(ID_FILE_MRU_FILE1)->isVisible());

    // Reopening the second entry; then the third, which is gone.
    entries[1]->trigger();
    EXPECT_EQ(app.Document()->GetFile(0)->GetPath(), paths[3]);
    EXPECT_EQ(app.RecentFiles().Entries().front(), paths[3]);
    std::remove(paths[2].c_str());
    app.OnOpenRecentFile(2);
    EXPECT_EQ(ui.messages.back(), "Error while opening the file: " + QString::fromStdString(paths[2]));
    EXPECT_EQ(app.RecentFiles().Entries(), (std::vector<std::string> {paths[3], paths[4], paths[1]}));
    CRecentFileList stored;
    stored.Read(app.Settings());
    EXPECT_EQ(stored.Entries(), app.RecentFiles().Entries());
}

TEST(CSondrelApp, AFileNamedRelativeOnTheCommandLineIsRememberedByItsFullPath)
{
    GuiScript ui;
    const std::string recording = ui.Recording("rel.kvd");
    WriteText(ui.File("rel.bcd"), "rel.kvd\n");
    const QString started = QDir::currentPath();
    struct Case {
        const char* name;
        std::string argument;
        std::string remembered;
    };
    const Case cases[] = {
        {"a recording", "rel.kvd", recording},
        {"a recording through ./ and ..", "./sub/../rel.kvd", recording},
        {"a batch list", "rel.bcd", ui.File("rel.bcd")},
    };
    ASSERT_TRUE(QDir().mkpath(ui.Path("sub")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(ui.Folder())));
        {
            CSondrelApp app;
            ASSERT_TRUE(app.InitInstance(Args({c.argument})));
            ASSERT_FALSE(app.RecentFiles().Entries().empty());
            EXPECT_EQ(app.RecentFiles().Entries().front(), c.remembered);
        }
        // The next run starts elsewhere and reopens the entry.
        ASSERT_TRUE(QDir::setCurrent(QStringLiteral("/")));
        CSondrelApp app;
        ASSERT_TRUE(app.InitInstance(Args({})));
        ui.messages.clear();
        app.OnOpenRecentFile(0);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(app.Document()->GetFileCount(), 1);
        EXPECT_EQ(app.RecentFiles().Entries().front(), c.remembered);
    }
    QDir::setCurrent(started);
}

TEST(CSondrelApp, HelpOpensThePageBesideTheProgramOrSaysItFailed)
{
    GuiScript ui;
    UrlCatcher browser;
    CSondrelApp::OpenHelpPage(ui.Path("missing.html"));
    EXPECT_EQ(ui.messages, std::vector<QString> {"Failed to launch help."});
    EXPECT_TRUE(browser.urls.empty());

    WriteText(ui.File("help.html"), "<html></html>");
    ui.messages.clear();
    CSondrelApp::OpenHelpPage(ui.Path("help.html"));
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(browser.urls.size(), 1u);
    EXPECT_EQ(browser.urls[0], QUrl::fromLocalFile(ui.Path("help.html")));
    EXPECT_TRUE(CSondrelApp::HelpPagePath().endsWith("/Sondrel.html"));
}

#include "CSondrelAppTest.moc"
