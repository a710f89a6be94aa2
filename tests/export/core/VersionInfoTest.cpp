#include "export/core/StringHelpers.h"
#include "export/core/VersionInfo.h"

#include "platform/AppPaths.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

TEST(VersionInfo, FileVersionTextShowsThreeParts)
{
    VS_FIXEDFILEINFO info;
    info.dwFileVersionMS = 2u << 16 | 6u;
    info.dwFileVersionLS = 1u << 16 | 0u;
    EXPECT_EQ(FileVersionText(info), "2.6.1");
    info.dwFileVersionMS = 0xFFFFFFFFu; // no sign trouble at the top of each half
    info.dwFileVersionLS = 0xFFFF0007u;
    EXPECT_EQ(FileVersionText(info), "65535.65535.65535");
}

TEST(VersionInfo, NothingLoadedGivesEmptyResults)
{
    VersionInfo version;
    VS_FIXEDFILEINFO info;
    EXPECT_FALSE(version.GetFixedInfo(info));
    EXPECT_EQ(version.GetStringValue("LegalCopyright"), "");
    EXPECT_EQ(version.GetFileVersionText(), "");
    EXPECT_EQ(version.GetTranslation(), 0u);
}

TEST(VersionInfo, TheProgramCarriesTheProjectVersion)
{
    VersionInfo version;
    ASSERT_TRUE(version.LoadFromModule());
    const std::string expected = std::to_string(SONDREL_VERSION_MAJOR) + "."
        + std::to_string(SONDREL_VERSION_MINOR) + "." + std::to_string(SONDREL_VERSION_PATCH);
    EXPECT_EQ(version.GetFileVersionText(), expected);
    VS_FIXEDFILEINFO info;
    ASSERT_TRUE(version.GetFixedInfo(info));
    EXPECT_EQ(info.dwSignature, kFixedFileInfoSignature);
    EXPECT_EQ(version.GetTranslation(), 0x040904E4u);
    EXPECT_FALSE(version.GetStringValue("LegalCopyright").empty());
    EXPECT_EQ(version.GetStringValue("legalcopyright", 0x040904E4u), version.GetStringValue("LegalCopyright"));
    EXPECT_EQ(version.GetStringValue("FileVersion"), expected);
    EXPECT_EQ(version.GetStringValue("LegalCopyright", 0x04070000u), ""); // another table
    EXPECT_EQ(version.GetStringValue("NoSuchKey"), "");

    // Another file has no version block; the failed load leaves nothing behind.
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("other"), {0x7F, 'E', 'L', 'F'}));
    EXPECT_FALSE(version.LoadFromFile(dir.File("other")));
    EXPECT_EQ(version.GetFileVersionText(), "");
    EXPECT_EQ(version.GetTranslation(), 0u);
    EXPECT_FALSE(version.LoadFromFile(dir.File("missing")));

    // Any path to the program itself works, a link included.
    const std::string link = dir.File("link");
    ASSERT_EQ(symlink(GetModuleFileName().c_str(), link.c_str()), 0);
    EXPECT_TRUE(version.LoadFromFile(link));
    version.Free();
    EXPECT_EQ(version.GetStringValue("FileVersion"), "");
}

TEST(StringHelpers, FormatString)
{
    EXPECT_EQ(FormatString("%s-%d", "a%d", 5), "a%d-5"); // a "%" in an argument is text
    const std::string longText(5000, 'x');
    const std::string formatted = FormatString("<%s|%s>", longText.c_str(), longText.c_str());
    EXPECT_EQ(formatted, "<" + longText + "|" + longText + ">");
    EXPECT_EQ(FormatString("%s", ""), "");
    EXPECT_EQ(FormatString("%.3f", 0.5), "0.500"); // the "C" locale's point
    const char* noFormat = nullptr;
    EXPECT_EQ(FormatString(noFormat), "");
}

TEST(StringHelpers, ToLowerInPlace)
{
    struct Row { std::string in, out; };
    const Row rows[] = {
        {"-ABF", "-abf"}, {"", ""}, {"MiXeD 123 Z@[", "mixed 123 z@["},
        {"\xB5V \xC4", "\xB5v \xC4"}, // bytes above 0x7F stay as they are
    };
    for (Row row : rows) {
        SCOPED_TRACE(row.out);
        std::string& result = ToLowerInPlace(row.in);
        EXPECT_EQ(&result, &row.in);
        EXPECT_EQ(row.in, row.out);
    }
}
