#include "app/gui/controls/CFilenameEdit.h"
#include "app/gui/controls/CFilenameListBox.h"
#include "app/gui/CurrentFolder.h"
#include "app/gui/dialogs/CFolderDlg.h"
#include "app/gui/FileDialogs.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTest>

namespace {

const QString kLongPath =
    QStringLiteral("/home/someone/recordings/2026/december/a-long-folder-name/session-04.kvd");

} // namespace

TEST(CFilenameEdit, ShowsTheCompactedPathButGivesTheFullOne)
{
    QWidget dialog;
    CFilenameEdit edit(&dialog);
    edit.setGeometry(0, 0, 200, 24);
    dialog.show();
    EXPECT_TRUE(edit.isReadOnly());

    edit.SetPath(kLongPath);
    EXPECT_EQ(edit.GetPath(), kLongPath);
    EXPECT_EQ(edit.toolTip(), kLongPath);
    EXPECT_TRUE(edit.text().contains(QStringLiteral("...")));
    EXPECT_TRUE(edit.text().endsWith(QStringLiteral("/session-04.kvd")));
    EXPECT_LT(edit.fontMetrics().horizontalAdvance(edit.text()), 200);

    // Recompacted when resized: wide enough, the whole path shows.
    edit.resize(edit.fontMetrics().horizontalAdvance(kLongPath) + 40, 24);
    EXPECT_EQ(edit.text(), kLongPath);
    edit.resize(150, 24);
    EXPECT_NE(edit.text(), kLongPath);
    EXPECT_EQ(edit.GetPath(), kLongPath);
}

TEST(CFilenameListBox, KeepsFullPathsAndTheirToolTips)
{
    CFilenameListBox list;
    list.resize(120, 80);
    list.SetPaths({kLongPath, QStringLiteral("/b.kvd")});
    list.AddPath(QStringLiteral("/c.kvd"));
    EXPECT_EQ(list.Paths(),
              QStringList({kLongPath, QStringLiteral("/b.kvd"), QStringLiteral("/c.kvd")}));
    EXPECT_EQ(list.item(0)->toolTip(), kLongPath);
    EXPECT_EQ(list.Path(7), QString());
    list.SetPaths({QStringLiteral("/d.kvd")});
    EXPECT_EQ(list.count(), 1);
    list.show();
    QTest::qWait(1);  // one paint through the eliding delegate
}

TEST(CFolderDlg, ReturnsTheChosenFolderOrNone)
{
    CurrentFolder().clear();
    CFolderDlg dlg(nullptr);
    EXPECT_EQ(CurrentFolder(), QDir::currentPath());
    dlg.SetTitle(QStringLiteral("Choose save path"));

    FileDialogRequest seen;
    QStringList answer{QStringLiteral("/tmp/out")};
    SetFileDialogHook([&](const FileDialogRequest& r) {
        seen = r;
        return answer;
    });
    EXPECT_EQ(dlg.DoModal(), CFolderDlg::kChosen);
    EXPECT_EQ(dlg.GetPath(), QStringLiteral("/tmp/out"));
    EXPECT_EQ(seen.kind, FileDialogRequest::Folder);
    EXPECT_EQ(seen.title, QStringLiteral("Choose save path"));
    EXPECT_EQ(seen.folder, QDir::currentPath());

    // Cancelled, or an item without a path: none, and the old choice is gone.
    for (const QStringList& none : {QStringList(), QStringList{QString()}}) {
        answer = none;
        EXPECT_EQ(dlg.DoModal(), CFolderDlg::kNone);
        EXPECT_EQ(dlg.GetPath(), QString());
    }
    SetFileDialogHook({});

    CurrentFolder() = QStringLiteral("/data");
    CFolderDlg kept(nullptr);
    EXPECT_EQ(CurrentFolder(), QStringLiteral("/data"));
    CurrentFolder().clear();
}
