#include "platform/CProfile.h"
#include "platform/Profile.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::string Text(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

const char kSample[] =
    "; written by hand\r\n"
    "[Settings]\r\n"
    "  SingleOutfile =  1  \r\n"
    "CommentCharText=\"  # \"\r\n"
    "Quoted='x'\r\n"
    "HalfQuoted=\"x\r\n"
    "Empty=\r\n"
    "Path = /home/a b/c=d\r\n"
    ";Commented=5\r\n"
    "NoEquals\r\n"
    "\r\n"
    "[ ascii ]\r\n"
    "SweepHeader=12abc\r\n"
    "Digital=abc\r\n"
    "Negative=-7\r\n"
    "Plus=+3\r\n"
    "Huge=99999999999999\r\n"
    "[Settings]\r\n"
    "SingleOutfile=0\r\n"
    "Late=yes\r\n";

} // namespace

TEST(CProfile, ReadsValuesLikeThePrivateProfileCalls)
{
    CProfile profile;
    profile.Parse(kSample);
    struct Row { const char* section; const char* key; const char* expected; };
    const Row rows[] = {
        {"Settings", "SingleOutfile", "1"},         // blanks around key and value trimmed
        {"SETTINGS", "singleoutfile", "1"},         // names case-insensitive; first one wins
        {" Settings ", " SingleOutfile ", "1"},     // blanks around the asked names too
        {"Settings", "CommentCharText", "  # "},    // quotes removed, blanks inside kept
        {"Settings", "Quoted", "x"},
        {"Settings", "HalfQuoted", "\"x"},          // an unmatched quote is text
        {"Settings", "Empty", ""},
        {"Settings", "Path", "/home/a b/c=d"},      // only the first "=" separates
        {"Ascii", "SweepHeader", "12abc"},          // "[ ascii ]" names section Ascii
        {"settings", "Late", "yes"},                // a repeated section is searched as well
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.section) + "/" + row.key);
        std::string value;
        ASSERT_TRUE(profile.Find(row.section, row.key, value));
        EXPECT_EQ(value, row.expected);
    }
    const Row missing[] = {
        {"Settings", "Commented", nullptr}, {"Settings", "NoEquals", nullptr},
        {"Settings", "SweepHeader", nullptr}, {"Binary", "SingleOutfile", nullptr},
        {"", "SingleOutfile", nullptr},
    };
    for (const Row& row : missing) {
        SCOPED_TRACE(std::string(row.section) + "/" + row.key);
        std::string value;
        EXPECT_FALSE(profile.Find(row.section, row.key, value));
        EXPECT_EQ(profile.GetString(row.section, row.key, "dflt"), "dflt");
    }
}

TEST(CProfile, ReadsIntegersLikeTheWindowsProfileFunctions)
{
    CProfile profile;
    profile.Parse(kSample);
    struct Row { const char* section; const char* key; int32_t expected; };
    const Row rows[] = {
        {"Settings", "SingleOutfile", 1},
        {"Ascii", "SweepHeader", 12},     // leading digits only
        {"Ascii", "Digital", 0},          // present but not a number: 0, not the default
        {"Ascii", "Negative", -7},
        {"Ascii", "Plus", 3},
        {"Ascii", "Huge", INT32_MAX},     // saturates instead of wrapping
        {"Settings", "Empty", 42},        // empty value: the default
        {"Settings", "Missing", 42},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        EXPECT_EQ(profile.GetInt(row.section, row.key, 42), row.expected);
    }
    EXPECT_EQ(ProfileTextToInt("-99999999999"), INT32_MIN);
    EXPECT_EQ(ProfileTextToInt("--1"), 0);
    EXPECT_EQ(ProfileTextToInt(" 0x10"), 0);
}

TEST(CProfile, EditsKeepEveryOtherLineInOrder)
{
    CProfile profile;
    profile.Parse("; head\r\n[A]\r\nk1=1\r\n; about B\r\n\r\n[B]\r\nx=1\r\n[a]\r\nk2=2\r\n");
    EXPECT_TRUE(profile.SetString("a", "K2", "two"));    // rewritten where it stands, key kept
    EXPECT_TRUE(profile.SetString("A", "k3", "3"));      // after A's last entry, before the comment
    EXPECT_TRUE(profile.SetInt("C", "n", -5));           // a new section at the end
    EXPECT_TRUE(profile.SetString("B", "x", " padded ")); // blanks survive through quotes
    EXPECT_TRUE(profile.SetString("B", "q", "\"quoted\""));
    EXPECT_EQ(profile.Text(), "; head\n[A]\nk1=1\nk3=3\n; about B\n\n[B]\nx=\" padded \"\n"
                              "q=\"\"quoted\"\"\n[a]\nk2=two\n[C]\nn=-5\n");

    CProfile reread;
    reread.Parse(profile.Text());
    EXPECT_EQ(reread.GetString("B", "x", ""), " padded ");
    EXPECT_EQ(reread.GetString("B", "q", ""), "\"quoted\"");
    EXPECT_EQ(reread.GetInt("c", "N", 0), -5);

    reread.DeleteKey("b", "X");
    EXPECT_EQ(reread.GetString("B", "x", "gone"), "gone");
    EXPECT_EQ(reread.GetString("B", "q", ""), "\"quoted\"");
}

TEST(CProfile, RefusesNamesAndValuesThatWouldBreakTheFile)
{
    CProfile profile;
    profile.Parse("[S]\nk=1\n");
    const std::string before = profile.Text();
    struct Row { const char* name; std::string section, key, value; };
    const std::vector<Row> rows = {
        {"empty section", "  ", "k", "v"},
        {"empty key", "S", "", "v"},
        {"bracket in section", "S]x", "k", "v"},
        {"equals in key", "S", "a=b", "v"},
        {"comment key", "S", ";k", "v"},
        {"section-like key", "S", "[k", "v"},
        {"line break in value", "S", "k", "1\nInjected=1"},
        {"carriage return in value", "S", "k", "1\r"},
        {"line break in key", "S", "k\nx", "v"},
        {"NUL in value", "S", "k", std::string("a\0b", 3)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(profile.SetString(row.section, row.key, row.value));
        EXPECT_EQ(profile.Text(), before);
    }
}

TEST(CProfile, SavesAtomicallyAndKeepsTheFileMode)
{
    TempDir dir;
    const std::string path = dir.File("s.ini");
    ASSERT_TRUE(WriteFileBytes(path, Bytes("\xEF\xBB\xBF[S]\r\nk=1\r\n")));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);

    CProfile profile;
    ASSERT_TRUE(profile.Load(path));
    EXPECT_EQ(profile.GetInt("S", "k", 0), 1); // the byte-order mark does not hide [S]
    ASSERT_TRUE(profile.SetString("S", "k", "2"));
    ASSERT_TRUE(profile.Save(path));
    EXPECT_EQ(Text(ReadFileBytes(path)), "\xEF\xBB\xBF[S]\nk=2\n");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"s.ini"}); // no temporary left

    // A link to the settings file stays a link; its target gets the new text.
    const std::string link = dir.File("link.ini");
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(profile.SetString("S", "k", "3"));
    ASSERT_TRUE(profile.Save(link));
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(Text(ReadFileBytes(path)), "\xEF\xBB\xBF[S]\nk=3\n");

    // A folder where the file should be, or a folder that does not exist: false, nothing made.
    EXPECT_FALSE(profile.Save(dir.Path()));
    EXPECT_FALSE(profile.Save(dir.File("missing/s.ini")));
    EXPECT_FALSE(profile.Save(""));
}

TEST(PrivateProfile, ReadsAndWritesThroughTheFile)
{
    TempDir dir;
    const std::string path = dir.File("p.ini");
    // Nothing there yet: defaults, and the first write creates the file.
    EXPECT_EQ(GetPrivateProfileString("S", "k", "d", path), "d");
    EXPECT_EQ(GetPrivateProfileInt("S", "k", 7, path), 7);
    EXPECT_TRUE(WritePrivateProfileString("S", "k", nullptr, path)); // removing nothing
    EXPECT_TRUE(FolderEntries(dir.Path()).empty());
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "12", path));
    ASSERT_TRUE(WritePrivateProfileString("T", "j", "x", path));
    EXPECT_EQ(GetPrivateProfileInt("s", "K", 7, path), 12);
    EXPECT_EQ(GetPrivateProfileString("t", "J", "d", path), "x");
    ASSERT_TRUE(WritePrivateProfileString("S", "k", nullptr, path));
    EXPECT_EQ(Text(ReadFileBytes(path)), "[S]\n[T]\nj=x\n");

    // No path: defaults, and nothing is written anywhere.
    EXPECT_EQ(GetPrivateProfileString("T", "j", "d", ""), "d");
    EXPECT_FALSE(WritePrivateProfileString("T", "j", "y", ""));
}

TEST(PrivateProfile, NeverReplacesAFileItCannotRead)
{
    TempDir dir;
    // A folder in place of the file: read fails, so defaults come back and no write happens.
    EXPECT_EQ(GetPrivateProfileInt("S", "k", 5, dir.Path()), 5);
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "1", dir.Path()));
    CProfile profile;
    EXPECT_FALSE(profile.Load(dir.Path()));

    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files whatever their mode";
    const std::string path = dir.File("locked.ini");
    ASSERT_TRUE(WriteFileBytes(path, Bytes("[S]\nkeep=1\n")));
    ASSERT_EQ(chmod(path.c_str(), 0200), 0);
    EXPECT_EQ(GetPrivateProfileInt("S", "keep", 5, path), 5);
    EXPECT_FALSE(WritePrivateProfileString("S", "other", "2", path));
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(Text(ReadFileBytes(path)), "[S]\nkeep=1\n");
}
