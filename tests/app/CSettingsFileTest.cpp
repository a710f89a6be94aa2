#include "app/CRecentFileList.h"
#include "app/CSettingsFile.h"

#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

// Points the application-data folder at a scratch folder for one test, so the user's real
// settings are never touched.
struct ScratchAppData
{
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.Path().c_str()};
    ScopedEnv home{"HOME", dir.Path().c_str()};
};

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string FileText(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Every value in one line, so a whole settings record compares in one expectation.
std::string Describe(const ExportSettings& s)
{
    const ConvertOptions& o = s.Options;
    return "SingleOutfile=" + std::to_string(s.SingleOutfile) + " AssumeSplittedFile="
        + std::to_string(s.AssumeSplittedFile) + " BaseIsPressedStart=" + std::to_string(s.BaseIsPressedStart)
        + " SingleFile=" + std::to_string(s.SingleFile) + " CommentChar=" + std::to_string(o.CommentChar)
        + " CommentCharText=[" + o.CommentCharText + "] SweepHeader=" + std::to_string(o.SweepHeader)
        + " DigitalEventInitialValue=" + std::to_string(o.DigitalEventInitialValue)
        + " WriteHeader=" + std::to_string(o.WriteHeader) + " ToSigned=" + std::to_string(o.ToSigned);
}

void WriteText(const std::string& path, const std::string& text)
{
    ASSERT_TRUE(WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}

} // namespace

TEST(BuildProfilePath, CreatesBothFoldersButNotTheFile)
{
    ScratchAppData appData;
    const std::string base = appData.dir.Path();
    EXPECT_EQ(BuildProfilePath(kProgramName), base + "/Calverin/Sondrel/Sondrel.ini");
    EXPECT_TRUE(IsFolder(base + "/Calverin/Sondrel"));
    EXPECT_EQ(FileText(base + "/Calverin/Sondrel/Sondrel.ini"), "");
    // Again, with the folders there: the same path.
    EXPECT_EQ(BuildProfilePath(kProgramName), base + "/Calverin/Sondrel/Sondrel.ini");

    // A fresh account has no configuration folder yet; it is made on the way.
    setenv("XDG_CONFIG_HOME", (base + "/fresh/.config/").c_str(), 1);
    EXPECT_EQ(BuildProfilePath("Prog"), base + "/fresh/.config/Calverin/Prog/Prog.ini");
    EXPECT_TRUE(IsFolder(base + "/fresh/.config/Calverin/Prog"));

    EXPECT_EQ(BuildProfilePath(""), "");
    EXPECT_EQ(BuildProfilePath("../x"), "");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(BuildProfilePath(kProgramName), "");
}

TEST(CSettingsFile, MissingFileOrPathGivesTheDefaults)
{
    ScratchAppData appData;
    for (const std::string& path : {std::string(), appData.dir.File("none.ini")}) {
        SCOPED_TRACE(path);
        const CSettingsFile file(path);
        EXPECT_EQ(Describe(file.Read()),
                  "SingleOutfile=0 AssumeSplittedFile=0 BaseIsPressedStart=0 SingleFile=1 CommentChar=0 "
                  "CommentCharText=[%] SweepHeader=0 DigitalEventInitialValue=0 WriteHeader=0 ToSigned=0");
        EXPECT_EQ(file.GetString(SettingsKey::kSettings, SettingsKey::kWriteDirectory, ""), "");
    }
    // Nothing is ever written for an empty path.
    CSettingsFile none("");
    EXPECT_FALSE(none.WriteInt(SettingsKey::kSettings, SettingsKey::kSingleOutfile, 1));
    EXPECT_FALSE(none.WriteExportSettings(ExportSettings(), true, true));
    EXPECT_FALSE(none.WriteAsciiSettings(ConvertOptions()));
}

TEST(CSettingsFile, ReadsEveryKeyOfTheTable)
{
    ScratchAppData appData;
    const std::string path = appData.dir.File("s.ini");
    WriteText(path,
              "[Settings]\r\nSingleOutfile=1\r\nassumesplittedfile=1\r\nBaseIsPressedStart=1\r\n"
              "CommentChar=1\r\nCommentCharText=#\r\nSingleFile=0\r\nWriteDirectory=/out dir\r\n"
              "[ASCII]\r\nSweepHeader=1\r\nDigitalEventInitialValue=1\r\n"
              "[Binary]\r\nWriteHeader=1\r\nToSigned=yes\r\n");
    const CSettingsFile file(path);
    // ToSigned=yes is not a number: 0.
    EXPECT_EQ(Describe(file.Read()),
              "SingleOutfile=1 AssumeSplittedFile=1 BaseIsPressedStart=1 SingleFile=0 CommentChar=1 "
              "CommentCharText=[#] SweepHeader=1 DigitalEventInitialValue=1 WriteHeader=1 ToSigned=0");
    EXPECT_EQ(file.GetString(SettingsKey::kSettings, SettingsKey::kWriteDirectory, ""), "/out dir");
}

TEST(CSettingsFile, WritesOnlyTheKeysTheDialogOwns)
{
    ScratchAppData appData;
    const std::string path = appData.dir.File("s.ini");
    WriteText(path, "[Settings]\nCommentCharText=;\nReadDirectory=/in\n[Other]\nx=1\n");
    CSettingsFile file(path);

    ExportSettings settings;
    settings.SingleOutfile = 1;
    settings.AssumeSplittedFile = 1;
    settings.SingleFile = 0;
    settings.Options.CommentChar = 0;
    settings.Options.CommentCharText = "!";
    // A continuous recording without split permission: neither SingleFile nor
    // AssumeSplittedFile; a cleared comment keeps the stored comment text.
    ASSERT_TRUE(file.WriteExportSettings(settings, false, false));
    EXPECT_EQ(FileText(path), "[Settings]\nCommentCharText=;\nReadDirectory=/in\nSingleOutfile=1\n"
                              "CommentChar=0\nBaseIsPressedStart=0\n[Other]\nx=1\n");

    settings.Options.CommentChar = 1;
    settings.Options.CommentCharText = " ";
    ASSERT_TRUE(file.WriteExportSettings(settings, true, true));
    settings.Options.SweepHeader = 1;
    settings.Options.WriteHeader = 1;
    settings.Options.ToSigned = 1;
    ASSERT_TRUE(file.WriteAsciiSettings(settings.Options));
    ASSERT_TRUE(file.WriteBinarySettings(settings.Options));
    ASSERT_TRUE(file.WriteString(SettingsKey::kSettings, SettingsKey::kWriteDirectory, "/out"));

    // The blank comment text survives the trip.
    EXPECT_EQ(Describe(file.Read()),
              "SingleOutfile=1 AssumeSplittedFile=1 BaseIsPressedStart=0 SingleFile=0 CommentChar=1 "
              "CommentCharText=[ ] SweepHeader=1 DigitalEventInitialValue=0 WriteHeader=1 ToSigned=1");
    EXPECT_EQ(file.GetString(SettingsKey::kSettings, SettingsKey::kReadDirectory, ""), "/in");
    EXPECT_EQ(file.GetInt("other", "X", 0), 1);

    // A folder name that would split the line is refused, and the file stays as it was.
    const std::string before = FileText(path);
    EXPECT_FALSE(file.WriteString(SettingsKey::kSettings, SettingsKey::kWriteDirectory, "/a\nSingleFile=1"));
    EXPECT_EQ(FileText(path), before);
}

TEST(CRecentFileList, KeepsFourMostRecentWithoutRepeats)
{
    ScratchAppData appData;
    const std::string path = appData.dir.File("s.ini");
    WriteText(path, "[Recent File List]\nFile1=/a.kvd\nFile2=\nFile3=/a.kvd\nFile4=/b.kvd\n"
                    "File5=/ignored.kvd\n[Settings]\nSingleFile=0\n");
    CSettingsFile file(path);
    CRecentFileList list;
    list.Read(file);
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"/a.kvd", "/b.kvd"}));

    for (const char* opened : {"/c.kvd", "/d.kvd", "/b.kvd", "/e.kvd", ""})
        list.Add(opened);
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"/e.kvd", "/b.kvd", "/d.kvd", "/c.kvd"}));
    ASSERT_TRUE(list.Write(file));

    CRecentFileList shorter;
    shorter.Add("/only.kvd");
    ASSERT_TRUE(shorter.Write(file));
    EXPECT_EQ(FileText(path), "[Recent File List]\nFile1=/only.kvd\nFile5=/ignored.kvd\n"
                              "[Settings]\nSingleFile=0\n");
    CRecentFileList reread;
    reread.Read(file);
    EXPECT_EQ(reread.Entries(), shorter.Entries());
}
