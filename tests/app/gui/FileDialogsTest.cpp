#include "app/gui/FileDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

TEST(FileDialogs, ConvertsWindowsFilters)
{
    const struct {
        const char* windows;
        const char* qt;
    } cases[] = {
        {"A|*.x|B|*.*||", "A (*.x);;B (*)"},
        {"Harpstead data (*.kvd)|*.kvd|All data (*.*)|*.*||",
         "Harpstead data (*.kvd);;All data (*)"},
        {"Text|*.txt;*.TXT|", "Text (*.txt *.TXT)"},
        {"No end|*.raw", "No end (*.raw)"},
        {"Empty pattern||Raw|*.raw||", "Raw (*.raw)"},
        {"", ""},
        {"||", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windows);
        EXPECT_EQ(ConvertFilter(c.windows).toStdString(), c.qt);
    }
}

TEST(FileDialogs, HookAnswersInsteadOfTheDialog)
{
    FileDialogRequest seen;
    SetFileDialogHook([&](const FileDialogRequest& r) {
        seen = r;
        return QStringList{QStringLiteral("/tmp/out.kvd")};
    });
    FileDialogRequest request;
    request.kind = FileDialogRequest::Save;
    request.title = QStringLiteral("Save");
    request.filter = ConvertFilter("Harpstead data (*.kvd)|*.kvd||");
    const QStringList chosen = RunFileDialog(nullptr, request);
    SetFileDialogHook({});
    EXPECT_EQ(chosen, QStringList{QStringLiteral("/tmp/out.kvd")});
    EXPECT_EQ(seen.kind, FileDialogRequest::Save);
    EXPECT_EQ(seen.filter, QStringLiteral("Harpstead data (*.kvd)"));
}

TEST(FileDialogs, SaveTakesAnExistingNameWithoutAskingAndAddsTheSuffix)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString existing = folder.filePath(QStringLiteral("old.kvd"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    FileDialogRequest request;
    request.kind = FileDialogRequest::Save;
    request.folder = folder.path();
    request.filter = ConvertFilter("Harpstead data (*.kvd)|*.kvd|All data (*.*)|*.*||");
    request.defaultSuffix = QStringLiteral("kvd");

    // Answers the dialog once it runs; an overwrite question would be a second modal window.
    auto answer = [](const QString& name) {
        QTimer::singleShot(0, [name] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->selectFile(name);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    };
    answer(existing);
    EXPECT_EQ(RunFileDialog(nullptr, request), QStringList{existing});
    answer(QStringLiteral("new"));
    EXPECT_EQ(RunFileDialog(nullptr, request), QStringList{folder.filePath(QStringLiteral("new.kvd"))});

    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_TRUE(RunFileDialog(nullptr, request).isEmpty());
}
