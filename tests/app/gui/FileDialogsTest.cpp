#include "app/gui/FileDialogs.h"

#include <gtest/gtest.h>

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
