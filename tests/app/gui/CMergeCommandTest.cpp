#include "app/gui/CMergeCommand.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include "app/CSettingsFile.h"
#include "app/gui/CSondrelGuiDoc.h"
#include "app/gui/dialogs/OCProgressDlg.h"
#include "datafile/container/CKVTAStreamFile.h"
#include "tests/app/gui/GuiScript.h"
#include "datafile/container/KvdFormat.h"
#include "tests/support/KvdBuilder.h"
#include "tests/support/KvdRecording.h"

namespace {

const QString kQuestion = QStringLiteral("Do you really want to cancel merging?");

struct MergeSet
{
    GuiScript ui;
    CSettingsFile settings {ui.File("s.ini")};
    CSondrelGuiDoc doc {settings, nullptr};
    QWidget window;
    std::vector<std::string> inputs;

    MergeSet()
    {
        window.resize(800, 600);
        window.show();
    }
    void Open(const std::vector<std::string>& paths)
    {
        inputs = paths;
        doc.GetPathList() = paths;
        ASSERT_TRUE(doc.OnOpenDocument(nullptr));
        ui.messages.clear();
    }
    void OpenTwo()
    {
        Open({ui.Recording("a.kvd"), ui.Recording("b.kvd")});
    }
    void Run(const QString& output)
    {
        ui.choices.push_back({output});
        CMergeCommand(doc, settings).Run(&window);
    }
    bool Exists(const std::string& name) const { return QFile::exists(ui.Path(name)); }
};

// Presses Cancel on the progress window as soon as the merge pumps events.
void PressCancelSoon()
{
    QTimer::singleShot(0, [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dlg = qobject_cast<OCProgressDlg*>(widget); dlg && dlg->isVisible())
                dlg->CancelButton()->click();
    });
}

bool ProgressWindowShown()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<OCProgressDlg*>(widget) && widget->isVisible())
            return true;
    return false;
}

} // namespace

TEST(CMergeCommand, MergesTheSetSilentlyAndKeepsTheFolder)
{
    MergeSet m;
    m.OpenTwo();
    // A name typed without extension gets ".kvd".
    m.Run(m.ui.Path("joined"));
    EXPECT_TRUE(m.ui.messages.empty()) << m.ui.messages.front().toStdString();
    ASSERT_EQ(m.ui.dialogs.size(), 1u);
    EXPECT_EQ(m.ui.dialogs[0].kind, FileDialogRequest::Save);
    EXPECT_EQ(m.ui.dialogs[0].filter, QStringLiteral("Harpstead data (*.kvd);;All data (*)"));
    ASSERT_TRUE(m.Exists("joined.kvd"));
    CKVTAStreamFile merged;
    EXPECT_EQ(merged.Open(m.ui.File("joined.kvd")), 0);
    EXPECT_EQ(m.settings.GetString("Settings", "WriteDirectory", ""), m.ui.Folder());
    EXPECT_FALSE(ProgressWindowShown());
    EXPECT_TRUE(m.window.isEnabled());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // The document still has its two files; the new one is not opened.
    EXPECT_EQ(m.doc.GetFileCount(), 2);

    // The next save dialog starts in that folder; cancelling it does nothing.
    m.ui.dialogs.clear();
    CMergeCommand(m.doc, m.settings).Run(&m.window);
    ASSERT_EQ(m.ui.dialogs.size(), 1u);
    EXPECT_EQ(m.ui.dialogs[0].folder, QString::fromStdString(m.ui.Folder()));
    EXPECT_TRUE(m.ui.messages.empty());
}

// An input that lacks a chunk (its head zeroed): the merge keeps the output, which holds every
// other chunk, and says which input lacks which time.
TEST(CMergeCommand, AnInputThatLacksDataIsNamedAndTheMergedFileKept)
{
    MergeSet m;
    const std::string damaged = m.ui.File("b.kvd");
    KvdLayout layout;
    ASSERT_TRUE(WriteKvdRecording(KvdRecordingPlan(), damaged, &layout));
    std::vector<uint8_t> bytes = ReadFileBytes(damaged);
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(layout.chunkAt[3]), Kvd::DataChunk::kHeaderBytes, 0);
    ASSERT_TRUE(WriteFileBytes(damaged, bytes));
    m.Open({m.ui.Recording("a.kvd"), damaged});
    m.Run(m.ui.Path("joined.kvd"));
    ASSERT_EQ(m.ui.messages.size(), 1u);
    EXPECT_EQ(m.ui.messages[0].toStdString(),
              "The merged file holds all the data the files could give, but they lack some:\n"
              "Data missing from 0.300 s to 0.400 s in Electrode Raw Data of " + damaged + ".");
    CKVTAStreamFile merged;
    ASSERT_EQ(merged.Open(m.ui.File("joined.kvd")), 0);
    int chunks = 0;
    for (auto block = merged.GetStream(0)->GetFirstChunk(); block; block = merged.GetStream(0)->GetNextChunk(*block))
        ++chunks;
    EXPECT_EQ(chunks, 2 * 25 - 1);
}

TEST(CMergeCommand, CancelAnsweredNoGoesOnAndYesStopsWithoutAFile)
{
    {
        SCOPED_TRACE("No");
        MergeSet m;
        m.OpenTwo();
        m.ui.answers = {QMessageBox::No};
        PressCancelSoon();
        m.Run(m.ui.Path("out.kvd"));
        EXPECT_EQ(m.ui.messages, std::vector<QString> {kQuestion});
        EXPECT_TRUE(m.Exists("out.kvd"));
        CKVTAStreamFile merged;
        EXPECT_EQ(merged.Open(m.ui.File("out.kvd")), 0);
    }
    {
        SCOPED_TRACE("Yes");
        MergeSet m;
        m.OpenTwo();
        m.ui.answers = {QMessageBox::Yes};
        PressCancelSoon();
        m.Run(m.ui.Path("out.kvd"));
        EXPECT_EQ(m.ui.messages, (std::vector<QString> {kQuestion, "Merge fails!\nMerging canceled."}));
        EXPECT_FALSE(m.Exists("out.kvd"));
        EXPECT_FALSE(ProgressWindowShown());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST(CMergeCommand, RefusesAnInputAsOutputAndLeavesItAlone)
{
    MergeSet m;
    m.OpenTwo();
    const std::vector<uint8_t> before = ReadFileBytes(m.inputs[1]);
    m.ui.answers = {QMessageBox::Yes};   // replace it? yes
    m.Run(QString::fromStdString(m.inputs[1]));
    ASSERT_EQ(m.ui.messages.size(), 2u);
    EXPECT_EQ(m.ui.messages[0], "b.kvd already exists.\nDo you want to replace it?");
    EXPECT_EQ(m.ui.messages[1], "The merged file cannot replace one of the files it is made of:\n"
                                    + QString::fromStdString(m.inputs[1]));
    EXPECT_EQ(ReadFileBytes(m.inputs[1]), before);
}

TEST(CMergeCommand, AnExistingOutputStaysWhenTheUserKeepsItOrTheMergeFailsBeforeOpeningIt)
{
    MergeSet m;
    // Two streams under one id: the set opens and may be merged, the merge itself refuses.
    KvdBuilder builder(11);
    KvdStreamPlan first;
    first.channels.resize(1);
    KvdStreamPlan second = first;
    second.name = "Analog Raw Data";
    builder.AddStream(first).AddStream(second);
    ASSERT_TRUE(builder.WriteTo(m.ui.File("dup.kvd")));
    m.Open({m.ui.File("dup.kvd"), m.ui.File("dup.kvd")});
    ASSERT_NE(m.doc.GetCanMerge(), 0);
    ASSERT_TRUE(WriteFileBytes(m.ui.File("keep.kvd"), {'k', 'e', 'e', 'p'}));

    {
        SCOPED_TRACE("replace? no: asked again, then cancelled");
        m.ui.answers = {QMessageBox::No};
        m.Run(m.ui.Path("keep.kvd"));
        EXPECT_EQ(m.ui.dialogs.size(), 2u);
        EXPECT_EQ(m.ui.dialogs[1].fileName, QStringLiteral("keep.kvd"));
        EXPECT_EQ(m.ui.messages.size(), 1u);
        EXPECT_EQ(ReadFileBytes(m.ui.File("keep.kvd")), (std::vector<uint8_t> {'k', 'e', 'e', 'p'}));
    }
    {
        SCOPED_TRACE("replace? yes: the merge fails before it opens the file");
        m.ui.messages.clear();
        m.ui.answers = {QMessageBox::Yes};
        m.Run(m.ui.Path("keep.kvd"));
        ASSERT_EQ(m.ui.messages.size(), 2u);
        EXPECT_EQ(m.ui.messages[1], "Merge fails!\nStreams without a unique id cannot be merged.");
        EXPECT_EQ(ReadFileBytes(m.ui.File("keep.kvd")), (std::vector<uint8_t> {'k', 'e', 'e', 'p'}));
    }
}

TEST(CMergeCommand, ASetThatCannotBeMergedShowsTheReasonAndAsksNothing)
{
    MergeSet m;
    KvdRecordingPlan faster;
    faster.rateHz = 20000;
    m.Open({m.ui.Recording("a.kvd"), m.ui.Recording("fast.kvd", faster)});
    ASSERT_EQ(m.doc.GetCanMerge(), 0);
    ASSERT_TRUE(m.doc.IsMergeEnabled());
    CMergeCommand(m.doc, m.settings).Run(&m.window);
    EXPECT_EQ(m.ui.messages, std::vector<QString> {"Files cannot be merged because:\n"
                                                   + QString::fromStdString(m.doc.GetMergeRefusalText())});
    EXPECT_FALSE(m.doc.GetMergeRefusalText().empty());
    EXPECT_TRUE(m.ui.dialogs.empty());
}
