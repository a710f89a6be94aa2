#include "app/gui/CMainFrame.h"

#include <gtest/gtest.h>

#include <fstream>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include "app/CSettingsFile.h"
#include "app/gui/CommandIds.h"
#include "app/gui/CSondrelApp.h"
#include "app/gui/CSondrelGuiDoc.h"
#include "app/gui/MessagePump.h"
#include "datafile/container/KvdFormat.h"
#include "export/model/CKVD.h"
#include "tests/app/gui/GuiScript.h"
#include "tests/support/KvdBuilder.h"

namespace {

const QString kDataFilter = QStringLiteral("Harpstead data (*.kvd);;All data (*)");

struct Started
{
    GuiScript ui;
    CSondrelApp app;
    Started() { EXPECT_TRUE(app.InitInstance({QStringLiteral("Sondrel.exe")})); }
    CMainFrame& Frame() { return *app.MainFrame(); }
    CSondrelGuiDoc& Doc() { return *app.Document(); }
    // The open-multiple command with these files chosen.
    void OpenSet(const std::vector<std::string>& paths)
    {
        QStringList chosen;
        for (const std::string& path : paths)
            chosen << QString::fromStdString(path);
        ui.choices.push_back(chosen);
        EXPECT_TRUE(Frame().RunCommand(ID_FILE_OPEN_MULTIPLE));
    }
};

QStringList Texts(const QList<QAction*>& actions)
{
    QStringList texts;
    for (QAction* action : actions)
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

KvdRecordingPlan Triggered()
{
    KvdRecordingPlan plan;
    plan.triggered = true;
    return plan;
}

} // namespace

TEST(CMainFrame, MenusToolbarAndStatusBarHoldTheCommands)
{
    Started s;
    QStringList menus;
    for (QAction* menu : s.Frame().menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList {"&File", "&Tools", "&View", "&Help"}));
    // "Open batch" is on no menu and no button.
    EXPECT_EQ(Texts(s.Frame().FileMenu()->actions()),
              (QStringList {"&Open KVD", "Open &multiple", "-", "Recent File", "-", "E&xit"}));
    EXPECT_FALSE(s.Frame().Action(ID_FILE_MRU_FILE1)->isEnabled());
    EXPECT_EQ(Texts(s.Frame().ToolsMenu()->actions()),
              (QStringList {"Convert KVD to &ASCII", "Convert KVD to AB&F", "Convert KVD to &BIN",
                            "Merge multiple files"}));
    QList<int> buttons;
    for (QAction* action : s.Frame().ToolBar()->actions())
        buttons << (action->isSeparator() ? 0 : action->data().toInt());
    EXPECT_EQ(buttons, (QList<int> {ID_FILE_OPEN_KVD, ID_FILE_OPEN_MULTIPLE, 0, ID_TOOLS_CONVERT_TO_BIN,
                                    ID_TOOLS_CONVERT_TO_ASCII, ID_TOOLS_CONVERT_TO_ABF, ID_TOOLS_MERGE, 0,
                                    ID_HELP_FINDER}));
    EXPECT_FALSE(s.Frame().ToolBar()->actions()[0]->icon().isNull());

    QAction* open = s.Frame().Action(ID_FILE_OPEN_KVD);
    EXPECT_EQ(open->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(open->statusTip(), "Open a Calverin Harpstead file");
    EXPECT_EQ(open->toolTip(), "Open Harpstead file");
    EXPECT_EQ(s.Frame().Action(ID_FILE_OPEN_MULTIPLE)->shortcut(), QKeySequence(QStringLiteral("Ctrl+M")));
    EXPECT_EQ(s.Frame().Action(ID_TOOLS_CONVERT_TO_BIN)->statusTip(), "Convert KVD to binary");
    EXPECT_TRUE(s.Frame().ToolBar()->isMovable());
    EXPECT_EQ(s.Frame().ToolBar()->allowedAreas(), Qt::AllToolBarAreas);
}

TEST(CMainFrame, CtrlBOpensABatchListThoughNoMenuShowsIt)
{
    Started s;
    const std::string a = s.ui.Recording("a.kvd");
    WriteText(s.ui.File("list.bcd"), a + "\n");
    s.ui.choices.push_back({s.ui.Path("list.bcd")});
    s.Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.Frame()));
    QTest::keyClick(&s.Frame(), Qt::Key_B, Qt::ControlModifier);
    ASSERT_EQ(s.ui.dialogs.size(), 1u);
    EXPECT_EQ(s.ui.dialogs[0].filter, QStringLiteral("Batch file (*.bcd);;All data (*)"));
    EXPECT_EQ(s.Doc().GetFileCount(), 1);
    EXPECT_TRUE(s.Doc().IsMultiFile());
}

TEST(CMainFrame, TheStatusBarShowsTheItemUnderThePointerEnabledOrNot)
{
    Started s;
    QStatusBar* bar = s.Frame().statusBar();
    EXPECT_EQ(bar->currentMessage(), "Ready");
    QMenu* tools = s.Frame().ToolsMenu();
    QMenu* file = s.Frame().FileMenu();
    struct Case {
        const char* name;
        QMenu* menu;
        int id;
        bool enabled;
        std::string prompt;
    };
    // Nothing is open: the Tools commands are disabled.
    const Case cases[] = {
        {"enabled", file, ID_FILE_OPEN_KVD, true, "Open a Calverin Harpstead file"},
        {"disabled", tools, ID_TOOLS_CONVERT_TO_BIN, false, "Convert KVD to binary"},
        {"disabled, other menu", tools, ID_TOOLS_MERGE, false, "Merge multiple files"},
        {"the grey recent-file place", file, ID_FILE_MRU_FILE1, false, "Open this file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.menu->popup(s.Frame().mapToGlobal(QPoint(10, 10)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(c.menu));
        QAction* action = s.Frame().Action(c.id);
        EXPECT_EQ(action->isEnabled(), c.enabled);
        QTest::mouseMove(c.menu, c.menu->actionGeometry(action).center());
        EXPECT_EQ(bar->currentMessage().toStdString(), c.prompt);
        // Clicking a disabled item still runs nothing.
        QTest::mouseClick(c.menu, Qt::LeftButton, {}, c.menu->actionGeometry(action).center());
        EXPECT_EQ(c.menu->isVisible(), !c.enabled);
        c.menu->hide();
        s.ui.dialogs.clear();
    }
    // The arrow keys stop on disabled items too.
    tools->popup(s.Frame().mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tools));
    QTest::keyClick(tools, Qt::Key_Down);
    EXPECT_EQ(tools->activeAction(), s.Frame().Action(ID_TOOLS_CONVERT_TO_ASCII));
    EXPECT_EQ(bar->currentMessage().toStdString(), "Convert KVD to ASCII");
    tools->hide();
}

TEST(CMainFrame, ViewMenuTogglesToolbarAndStatusBar)
{
    Started s;
    EXPECT_TRUE(s.Frame().Action(ID_VIEW_TOOLBAR)->isChecked());
    s.Frame().RunCommand(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(s.Frame().ToolBar()->isHidden());
    EXPECT_FALSE(s.Frame().Action(ID_VIEW_TOOLBAR)->isChecked());
    s.Frame().RunCommand(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(s.Frame().statusBar()->isHidden());
    s.Frame().RunCommand(ID_VIEW_TOOLBAR);
    s.Frame().RunCommand(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(s.Frame().ToolBar()->isHidden());
    EXPECT_FALSE(s.Frame().statusBar()->isHidden());
    EXPECT_TRUE(s.Frame().Action(ID_VIEW_STATUS_BAR)->isChecked());
}

TEST(CMainFrame, RefusesToCloseWhileALongOperationPumps)
{
    Started s;
    {
        CBusyScope busy;
        EXPECT_FALSE(s.Frame().close());
        EXPECT_TRUE(s.Frame().isVisible());
    }
    EXPECT_TRUE(s.Frame().close());
}

TEST(CMainFrame, OpenCommandsAskWithTheirFiltersAndKeepTheFolder)
{
    Started s;
    const std::string a = s.ui.Recording("a.KVD");
    EXPECT_TRUE(s.Frame().RunCommand(ID_FILE_OPEN_KVD));   // cancelled
    EXPECT_EQ(s.Doc().GetFileCount(), 0);
    ASSERT_EQ(s.ui.dialogs.size(), 1u);
    EXPECT_EQ(s.ui.dialogs[0].kind, FileDialogRequest::Open);
    EXPECT_EQ(s.ui.dialogs[0].filter, kDataFilter);
    EXPECT_TRUE(s.ui.dialogs[0].folder.isEmpty());

    // An upper-case extension is a recording too.
    s.ui.choices.push_back({QString::fromStdString(a)});
    s.Frame().RunCommand(ID_FILE_OPEN_KVD);
    EXPECT_EQ(s.Doc().GetFileCount(), 1);
    EXPECT_EQ(s.Frame().windowTitle(), "a.KVD - Sondrel");
    EXPECT_EQ(s.app.Settings().GetString("Settings", "ReadDirectory", ""), s.ui.Folder());
    s.Frame().RunCommand(ID_FILE_OPEN_MULTIPLE);
    EXPECT_EQ(s.ui.dialogs.back().kind, FileDialogRequest::OpenMultiple);
    EXPECT_EQ(s.ui.dialogs.back().folder, QString::fromStdString(s.ui.Folder()));
    EXPECT_TRUE(s.ui.messages.empty());
}

TEST(CMainFrame, RefusedOpensLeaveAnUntitledDocumentWithoutFiles)
{
    Started s;
    const std::string a = s.ui.Recording("a.kvd");
    const std::string b = s.ui.Recording("b.kvd");
    WriteText(s.ui.File("noext"), "");
    struct Case {
        const char* name;
        std::vector<std::string> set;
        QString message;
    };
    const Case cases[] = {
        {"a name without extension", {a, s.ui.File("noext")}, "File has no valid extension!\n" + s.ui.Path("noext")},
        {"a text file", {s.ui.File("b.txt"), a}, "File has no valid extension!\n" + s.ui.Path("b.txt")},
        {"one file missing", {a, s.ui.File("gone.kvd"), b}, "Error while opening the file: " + s.ui.Path("gone.kvd")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s.OpenSet({a, b});
        ASSERT_EQ(s.Doc().GetFileCount(), 2);
        s.ui.messages.clear();
        s.OpenSet(c.set);
        EXPECT_EQ(s.ui.messages, std::vector<QString> {c.message});
        EXPECT_EQ(s.Doc().GetFileCount(), 0);
        EXPECT_EQ(s.Frame().windowTitle(), "Untitled - Sondrel");
        EXPECT_FALSE(s.Frame().Action(ID_TOOLS_MERGE)->isEnabled());
    }
}

TEST(CMainFrame, UpdateRulesFollowTheOpenedSet)
{
    Started s;
    const std::string a = s.ui.Recording("a.kvd");
    const std::string b = s.ui.Recording("b.kvd");
    const std::string t = s.ui.Recording("t.kvd", Triggered());
    WriteText(s.ui.File("comments.bcd"), "# nothing\n\n; here\n");
    struct Case {
        const char* name;
        std::function<void()> open;
        bool convert, ascii, merge;
        QString title;
    };
    const Case cases[] = {
        {"nothing open", [] {}, false, false, false, "Untitled - Sondrel"},
        {"one recording", [&] { EXPECT_TRUE(s.Doc().OnOpenDocument(a.c_str())); }, true, true, false, "a.kvd - Sondrel"},
        {"a set of two", [&] { s.OpenSet({a, b}); }, true, true, true, "Multiple - Sondrel"},
        {"a set of one", [&] { s.OpenSet({a}); }, true, true, true, "Multiple - Sondrel"},
        {"continuous and triggered", [&] { s.OpenSet({a, t}); }, false, false, false, "Multiple - Sondrel"},
        {"a comment-only batch list", [&] { (void)s.Doc().OnOpenDocument(s.ui.File("comments.bcd").c_str()); },
         false, false, false, "Multiple - Sondrel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.open();
        s.Frame().UpdateCommandUI();
        EXPECT_EQ(s.Frame().Action(ID_TOOLS_CONVERT_TO_ABF)->isEnabled(), c.convert);
        EXPECT_EQ(s.Frame().Action(ID_TOOLS_CONVERT_TO_BIN)->isEnabled(), c.convert);
        EXPECT_EQ(s.Frame().Action(ID_TOOLS_CONVERT_TO_ASCII)->isEnabled(), c.ascii);
        EXPECT_EQ(s.Frame().Action(ID_TOOLS_MERGE)->isEnabled(), c.merge);
        for (int id : {ID_FILE_OPEN_KVD, ID_FILE_OPEN_BATCH, ID_FILE_OPEN_MULTIPLE, ID_APP_ABOUT, ID_HELP_FINDER})
            EXPECT_TRUE(s.Frame().Action(id)->isEnabled()) << id;
        EXPECT_EQ(s.Frame().windowTitle(), c.title);
        // A disabled command does not run, whatever reaches it.
        if (!c.merge) {
            EXPECT_FALSE(s.Frame().RunCommand(ID_TOOLS_MERGE));
        }
    }
}

TEST(CMainFrame, CompatibilityMessagesNameWhatDiffers)
{
    Started s;
    KvdRecordingPlan twoStreams;
    KvdRawStreamPlan analog;
    analog.name = "Analog Raw Data";
    analog.id = "anlg0001";
    twoStreams.streams.push_back(analog);
    KvdRecordingPlan otherChannels;
    otherChannels.streams[0].channels = {"12", "13", "14"};   // numbers 0-2 against 0-1
    const std::string a = s.ui.Recording("a.kvd");
    const std::string t = s.ui.Recording("t.kvd", Triggered());
    const std::string two = s.ui.Recording("two.kvd", twoStreams);
    const std::string other = s.ui.Recording("other.kvd", otherChannels);
    const QString mixed = QStringLiteral(
        "One or more of the selected files contain continuous data.\n"
        "One or more of the selected files contain triggered data.\n"
        "The data cannot be processed. Please load the files separately into Sondrel.\n"
        "(See the Harpstead Help for more information on continuous and triggered data.)");
    const QString streams = QStringLiteral(
        "The data streams of the selected files do not match.\n"
        "Only data streams present in all data files can be extracted.\n");
    const QString channels = QStringLiteral(
        "Info: The channel numbers of one or more data streams in the selected files do not match.\n"
        "You can select any channel numbers that are present in at least one file.");
    struct Case {
        const char* name;
        std::vector<std::string> set;
        std::vector<QString> messages;
    };
    const Case cases[] = {
        {"one file", {a}, {}},
        {"equal files", {a, a}, {}},
        {"mixed kinds, streams differing too: only the first message", {two, t}, {mixed}},
        {"streams differ", {a, two}, {streams}},
        {"channel numbers differ", {a, other}, {channels}},
        {"both differ: one message, streams first", {two, other}, {streams + channels}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s.ui.messages.clear();
        s.OpenSet(c.set);
        EXPECT_EQ(s.ui.messages, c.messages);
        EXPECT_EQ(s.Doc().GetFileCount(), static_cast<int>(c.set.size()));
    }
}

TEST(CMainFrame, OpenMultipleOrdersTheSetByRecordingStart)
{
    Started s;
    const auto write = [&](const std::string& name, uint64_t start) {
        KvdBuilder builder(11);
        builder.Set<uint64_t>(Kvd::FileHeader::kStartTime, start)
            .Set<uint64_t>(Kvd::FileHeader::kStopTime, start + 1000000000);
        KvdStreamPlan raw;
        raw.channels.resize(1);
        builder.AddStream(raw);
        EXPECT_TRUE(builder.WriteTo(s.ui.File(name)));
        return s.ui.File(name);
    };
    const std::string late = write("late.kvd", kKvdDefaultStart + 3600ull * 1000000000ull);
    const std::string early = write("early.kvd", kKvdDefaultStart);
    s.OpenSet({late, early});
    ASSERT_EQ(s.Doc().GetFileCount(), 2);
    EXPECT_EQ(s.Doc().GetFile(0)->GetPath(), early);
    EXPECT_EQ(s.Doc().GetFile(1)->GetPath(), late);
    EXPECT_EQ(s.Doc().GetPathList(), (std::vector<std::string> {late, early}));
    EXPECT_TRUE(s.app.RecentFiles().Entries().empty());
}
