#include "platform/AppPaths.h"

#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

TEST(AppPaths, AppDataFolderFollowsTheEnvironment)
{
    struct Row { const char* config; const char* home; const char* expected; };
    const Row rows[] = {
        {"/cfg", "/home/u", "/cfg"},
        {nullptr, "/home/u", "/home/u/.config"},
        {"", "/home/u/", "/home/u/.config"},  // empty counts as unset
        {"rel/cfg", "/home/u", "/home/u/.config"}, // a relative folder would follow the cwd
        {nullptr, nullptr, ""},
        {"", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.config ? row.config : "(unset)") + " " + (row.home ? row.home : "(unset)"));
        ScopedEnv config("XDG_CONFIG_HOME", row.config);
        ScopedEnv home("HOME", row.home);
        EXPECT_EQ(GetAppDataFolder(), row.expected);
    }
}

TEST(AppPaths, CreatesFolders)
{
    TempDir dir;
    const std::string one = dir.File("one");
    EXPECT_TRUE(CreateDirectory(one));
    EXPECT_FALSE(CreateDirectory(one)); // exists already
    EXPECT_FALSE(CreateDirectory(dir.File("no/parent")));
    EXPECT_FALSE(CreateDirectory(""));

    const std::string deep = dir.File("a/b/c");
    EXPECT_TRUE(CreateDirectories(deep + "/"));
    EXPECT_TRUE(IsFolder(deep));
    EXPECT_TRUE(CreateDirectories(deep)); // already there
    ASSERT_TRUE(WriteFileBytes(dir.File("file"), {1}));
    EXPECT_FALSE(CreateDirectories(dir.File("file/below")));
    EXPECT_FALSE(IsFolder(dir.File("file")));
    EXPECT_FALSE(IsFolder(""));
}

TEST(AppPaths, ModuleFileNameIsThisProgram)
{
    const std::string path = GetModuleFileName();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "platform_tests");
}
