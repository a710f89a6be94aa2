#include "platform/TempFiles.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>
#include <unistd.h>

TEST(TempFiles, UsesTmpdirOnlyWhenItIsAWritableFolder)
{
    TempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    const std::string file = dir.File("plain-file");
    ASSERT_TRUE(WriteFileBytes(file, {1, 2, 3}));

    const struct {
        const char* name;
        std::string value;
        std::string expected;
    } cases[] = {
        {"writable folder", dir.Path(), dir.Path()},
        {"missing folder", dir.File("missing"), "/tmp"},
        {"a file, not a folder", file, "/tmp"},
        {"empty", "", "/tmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv scoped("TMPDIR", c.value.c_str());
        EXPECT_EQ(GetTempDirectory(), c.expected);
    }
    EXPECT_FALSE(IsDirectoryWritable(file));
    EXPECT_FALSE(IsDirectoryWritable(""));
}

TEST(TempFiles, TempFileIsNamedAndScratchFileIsNot)
{
    TempDir dir;
    ScopedEnv scoped("TMPDIR", dir.Path().c_str());

    std::string path;
    const int named = CreateTempFile(dir.Path(), "synch", &path);
    ASSERT_GE(named, 0);
    EXPECT_EQ(path.compare(0, dir.Path().size() + 6, dir.Path() + "/synch"), 0) << path;
    struct stat info;
    EXPECT_EQ(stat(path.c_str(), &info), 0);
    close(named);

    const int scratch = CreateScratchFile("tags");
    ASSERT_GE(scratch, 0);
    EXPECT_EQ(write(scratch, "abc", 3), 3);
    ASSERT_EQ(fstat(scratch, &info), 0);
    EXPECT_EQ(info.st_nlink, 0u) << "a scratch file has no name left";
    close(scratch);

    EXPECT_LT(CreateTempFile(dir.File("missing"), "x", nullptr), 0);
}
