// The export dialog's output folder and its test for outputs that exist already.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/gui/dialogs/ExportNames.h"
#include "tests/support/TempDir.h"

TEST(ExportNames, OutputFolder)
{
    EXPECT_EQ(ChooseOutputFolder("/w", "/r", "/in/x.kvd", "/docs"), "/w");
    EXPECT_EQ(ChooseOutputFolder("", "/tmp", "/in/x.kvd", "/docs"), "/tmp");
    // No folder kept (a file opened from the command line): the input's folder, not the root.
    EXPECT_EQ(ChooseOutputFolder("", "", "/in/sub/x.kvd", "/docs"), "/in/sub");
    EXPECT_EQ(ChooseOutputFolder("", "", "x.kvd", "/docs"), "");
    // A read-only volume (the process file system is one) gives the documents folder.
    if (IsReadOnlyVolume("/proc/self")) {
        EXPECT_EQ(ChooseOutputFolder("", "/proc/self", "/in/x.kvd", "/docs"), "/docs");
    }
}

TEST(ExportNames, CountsTheFilesThatWouldBeWritten)
{
    TempDir dir;
    const std::string name = dir.File("run.d/out.txt");
    ASSERT_EQ(mkdir(dir.File("run.d").c_str(), 0700), 0);
    ASSERT_TRUE(WriteFileBytes(dir.File("run.d/out_sweep2.txt"), {1}));
    ASSERT_TRUE(WriteFileBytes(dir.File("run.d/out_sweep4.txt"), {1}));
    std::string shown;
    EXPECT_EQ(CountExistingOutputs(name, true, 1, 3, shown), 1);
    EXPECT_EQ(shown, dir.File("run.d/out_sweep*.txt"));
    EXPECT_EQ(CountExistingOutputs(name, true, 1, 4, shown), 2);
    EXPECT_EQ(CountExistingOutputs(name, false, 1, 4, shown), 0);
    EXPECT_EQ(shown, name);
    ASSERT_TRUE(WriteFileBytes(name, {1}));
    EXPECT_EQ(CountExistingOutputs(name, false, 1, 4, shown), 1);

    // Unreadable still exists; a missing folder on the way does not.
    const std::string locked = dir.File("locked.txt");
    ASSERT_TRUE(WriteFileBytes(locked, {1}));
    chmod(locked.c_str(), 0);
    EXPECT_TRUE(OutputFileExists(locked));
    EXPECT_FALSE(OutputFileExists(dir.File("none/x.txt")));
    EXPECT_FALSE(OutputFileExists(dir.File("locked.txt/x")));
}
