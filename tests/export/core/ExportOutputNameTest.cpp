// The output name of each input, as the console task and the export dialog both take it.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "export/core/CConvertInterface.h"
#include "export/core/ExportOutputName.h"
#include "tests/support/TempDir.h"

TEST(ExportOutputName, NamesTheOutputOfAnInputInTheOutputFolder)
{
    TempDir dir;
    const std::string dotted = dir.File("run.d");
    ASSERT_EQ(mkdir(dotted.c_str(), 0700), 0);
    const std::string input = "/data/rec.1/a.b.kvd";
    // Both front ends: a folder, with or without its "/"; dots in folders are never taken.
    for (OutputPathKind kind : {OutputPathKind::kFolder, OutputPathKind::kFolderOrFile}) {
        SCOPED_TRACE(kind == OutputPathKind::kFolder ? "dialog" : "console");
        EXPECT_EQ(ExportOutputName(dotted, kind, input, "txt"), dotted + "/a.b.txt");
        EXPECT_EQ(ExportOutputName(dotted + "/", kind, input, "txt"), dotted + "/a.b.txt");
        EXPECT_EQ(ExportOutputName(dotted, kind, "/in/x", "raw"), dotted + "/x.raw");
        EXPECT_EQ(ExportOutputName(dotted, kind, "/in/.kvd", "raw"), dotted + "/.kvd.raw");
        EXPECT_EQ(ExportOutputName("", kind, "x.kvd", "abf"), "x.abf");
        EXPECT_EQ(ExportOutputName("/", kind, "/in/x.kvd", "abf"), "/x.abf");
    }
    // The console's "-o" may name a file: its folder takes the outputs of several inputs. The
    // dialog's folder may not exist yet: it is made when the export writes.
    EXPECT_EQ(ExportOutputName(dotted + "/x.txt", OutputPathKind::kFolderOrFile, input, "txt"), dotted + "/a.b.txt");
    EXPECT_EQ(ExportOutputName("x.txt", OutputPathKind::kFolderOrFile, input, "txt"), "a.b.txt");
    EXPECT_EQ(ExportOutputName("out/x.txt", OutputPathKind::kFolderOrFile, input, "txt"), "out/a.b.txt");
    EXPECT_EQ(ExportOutputName("/x.txt", OutputPathKind::kFolderOrFile, input, "txt"), "/a.b.txt");
    EXPECT_EQ(ExportOutputName(dir.File("new.d"), OutputPathKind::kFolderOrFile, input, "txt"), dir.File("a.b.txt"));
    EXPECT_EQ(ExportOutputName(dir.File("new.d"), OutputPathKind::kFolder, input, "txt"), dir.File("new.d/a.b.txt"));

    // One file per sweep: the number goes before the extension of the file name, or behind a
    // name without one; the dotted folder stays as it is.
    EXPECT_EQ(CConvertInterface::SweepFileName(ExportOutputName(dotted, OutputPathKind::kFolder, input, "txt"), 3),
              dotted + "/a.b_sweep3.txt");
    EXPECT_EQ(CConvertInterface::SweepFileName(dotted + "/a", 2), dotted + "/a_sweep2");

    EXPECT_EQ(FolderOf("/a/b.txt"), "/a");
    EXPECT_EQ(FolderOf("/b.txt"), "/");
    EXPECT_EQ(FolderOf("b.txt"), "");
}
